// Special folders from the XDG environment, and the shell's path helpers.
#include "ShellFolders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = getenv(name)) m_old = old, m_had = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_had)
      setenv(m_name, m_old.c_str(), 1);
    else
      unsetenv(m_name);
  }

 private:
  const char* m_name;
  std::string m_old;
  bool m_had = false;
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace

TEST(Folders, SpecialFoldersFollowTheXdgEnvironment) {
  const std::string root = qlwtest::ScratchDir() + "/folders";
  mkdir(root.c_str(), 0700);
  ScopedEnv home("HOME", root);
  ScopedEnv config("XDG_CONFIG_HOME", root + "/config");
  ScopedEnv data("XDG_DATA_HOME", root + "/data");
  wchar_t path[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, path), S_OK);
  EXPECT_EQ(std::wstring(path), Wide(root));
  // Missing folders are an error unless asked to be created.
  EXPECT_TRUE(FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path)));
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  EXPECT_EQ(std::wstring(path), Wide(root + "/config"));
  EXPECT_TRUE(PathFileExistsW(path));
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, TRUE));
  EXPECT_EQ(std::wstring(path), Wide(root + "/data"));
  EXPECT_EQ(SHGetFolderPathW(nullptr, 0x7f, nullptr, 0, path), E_INVALIDARG);
}

TEST(Folders, TempPathEndsWithSeparatorAndReportsTheSizeNeeded) {
  ScopedEnv tmp("TMPDIR", "/var/tmp");
  wchar_t small[4];
  EXPECT_EQ(GetTempPathW(4, small), 10u);  // "/var/tmp/" and its terminator
  wchar_t path[MAX_PATH];
  EXPECT_EQ(GetTempPathW(MAX_PATH, path), 9u);
  EXPECT_EQ(std::wstring(path), L"/var/tmp/");
}

TEST(Folders, CreateDirectoryMakesParentsAndReportsExisting) {
  const std::wstring base = Wide(qlwtest::ScratchDir() + "/made");
  const std::wstring deep = base + L"\\Lumaxisworks Software\\Quillonographic";
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, deep.c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(PathFileExistsW((base + L"/Lumaxisworks Software/Quillonographic").c_str()));
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, deep.c_str(), nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"relative/path", nullptr), ERROR_BAD_PATHNAME);
}

TEST(Folders, CanonicalizeAppendAndRelativePaths) {
  struct Canon {
    const wchar_t* in;
    const wchar_t* out;
  };
  for (const Canon& c : {Canon{L"/a/b/../c/./d", L"/a/c/d"}, Canon{L"\\a\\.\\b\\", L"/a/b/"},
                         Canon{L"/a/../../b", L"/b"}, Canon{L"x/../../y", L"../y"}, Canon{L"/a//b", L"/a/b"}}) {
    wchar_t out[MAX_PATH];
    ASSERT_TRUE(PathCanonicalizeW(out, c.in));
    EXPECT_EQ(std::wstring(out), c.out) << std::string(c.in, c.in + wcslen(c.in));
  }

  wchar_t path[MAX_PATH] = L"/home/user/Documents";
  ASSERT_TRUE(PathAppendW(path, L"Lumaxisworks Software\\Quillonographic"));
  EXPECT_EQ(std::wstring(path), L"/home/user/Documents/Lumaxisworks Software/Quillonographic");
  ASSERT_TRUE(PathAppendW(path, L".\\..\\Help"));
  EXPECT_EQ(std::wstring(path), L"/home/user/Documents/Lumaxisworks Software/Help");
  wchar_t full[MAX_PATH] = L"/x";
  EXPECT_FALSE(PathAppendW(full, std::wstring(MAX_PATH, L'a').c_str()));  // would overflow the buffer

  struct Rel {
    const wchar_t* from;
    DWORD fromAttributes;
    const wchar_t* to;
    const wchar_t* out;
  };
  for (const Rel& r : {Rel{L"/home/u/Documents", FILE_ATTRIBUTE_DIRECTORY, L"/home/u/Documents/x/a.cif", L"./x/a.cif"},
                       Rel{L"/home/u/Documents/notes.txt", 0, L"/home/u/Documents/a.cif", L"./a.cif"},
                       Rel{L"/home/u/Documents", FILE_ATTRIBUTE_DIRECTORY, L"/home/u/Data/a.cif", L"../Data/a.cif"},
                       Rel{L"/a/b/c", FILE_ATTRIBUTE_DIRECTORY, L"/a/x", L"../../x"}}) {
    wchar_t out[MAX_PATH];
    ASSERT_TRUE(PathRelativePathToW(out, r.from, r.fromAttributes, r.to, 0));
    EXPECT_EQ(std::wstring(out), r.out);
  }
  wchar_t out[MAX_PATH];
  EXPECT_FALSE(PathRelativePathToW(out, L"relative", FILE_ATTRIBUTE_DIRECTORY, L"/a", 0));
}

TEST(Folders, FileUrlsEscapeReservedCharacters) {
  wchar_t url[256];
  DWORD chars = 256;
  ASSERT_EQ(UrlCreateFromPathW(L"/home/u/My Files/r\u00e9sum\u00e9#1.cif", url, &chars, 0), S_OK);
  EXPECT_EQ(std::wstring(url), L"file:///home/u/My%20Files/r%C3%A9sum%C3%A9%231.cif");
  EXPECT_EQ(chars, wcslen(url));
  DWORD tiny = 5;
  EXPECT_EQ(UrlCreateFromPathW(L"/a/b", url, &tiny, 0), E_POINTER);
  EXPECT_EQ(tiny, 12u);  // "file:///a/b" and its terminator
}
