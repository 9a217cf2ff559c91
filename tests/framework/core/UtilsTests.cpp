// CUtils text, number, version, path and registry helpers; text lines, fields and element codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "LXUtils.h"
#include "LXXUtilities.h"
#include "testing/ProcessRecorder.h"
#include "Win.h"

TEST(Utils, ParseNumberReadsDecimalsAndFractions) {
  const struct {
    const wchar_t* text;
    bool strict;
    bool ok;
    double value;
  } cases[] = {
      {L" 1/4 ", true, true, 0.25}, {L"/2", true, true, 0.0},     {L"3/", true, true, 3.0},
      {L"1,5", false, false, 0.0},  {L"\t-2.5E2\r\n", true, true, -250.0}, {L"1 2", true, true, 12.0},
      {L"1.5e3", true, false, 0.0},  // lower-case e is outside the accepted set
      {L"1-2", true, false, 0.0},    {L"1-2", false, true, 1.0}, {L"", true, false, 0.0},
      {L".", false, false, 0.0},     {L"3/0", true, false, 0.0}, {L"-6/4", true, true, -1.5},
  };
  for (const auto& c : cases) {
    double value = 99.0;
    EXPECT_EQ(CUtils::ParseNumber(c.text, c.strict, &value), c.ok) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(Utils, ParseNumberCheckedLeavesTheOutputOnFailure) {
  double value = 7.0;
  EXPECT_FALSE(CUtils::ParseNumberChecked(L"abc", false, &value));
  EXPECT_EQ(value, 7.0);
  EXPECT_TRUE(CUtils::ParseNumberChecked(L"0.125", true, &value));
  EXPECT_EQ(value, 0.125);
}

TEST(Utils, TrimZeros) {
  const struct {
    const wchar_t* in;
    bool dropPoint;
    const wchar_t* out;
  } cases[] = {{L"0.500", false, L".5"}, {L"10.000", false, L"10.0"}, {L"10.000", true, L"10"},
               {L"0.000", false, L"0"},  {L"000", false, L"0"},      {L"2.250", true, L"2.25"}};
  for (const auto& c : cases) {
    CString s = c.in;
    CUtils::TrimZeros(s, c.dropPoint);
    EXPECT_EQ(s, CString(c.out)) << c.in;
  }
}

TEST(Utils, FindFirstNotOf) {
  EXPECT_EQ(CUtils::FindFirstNotOf(L"0012x", L"012"), 4);
  EXPECT_EQ(CUtils::FindFirstNotOf(L"0012", L"012"), -1);
  EXPECT_EQ(CUtils::FindFirstNotOf(L"", L"012"), -1);
}

TEST(Utils, CompareLogicallyOrdersNumbersByValueAndLettersWithoutCase) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    int sign;
  } cases[] = {
      {L"O2", L"O10", -1}, {L"o10", L"O2", 1},  {L"Fe1", L"fe1", 0},  {L"a007", L"a7", 0},
      {L"x9y", L"x10", -1}, {L"abc", L"ab", 1}, {L"", L"a", -1},      {L"Z1", L"a1", 1},
      {L"2", L"10", -1},    {L"Na1", L"Na1a", -1},
  };
  for (const Case& c : cases) {
    const int r = CompareLogically(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << L" " << c.b;
  }
}

TEST(Utils, MakeUniqueNameCountsUpPastExistingNames) {
  CString name = L"Phase";
  CUtils::MakeUniqueName(name, L"copy", {L"Phase", L"Phase copy", L"Phase copy 2"}, 2);
  EXPECT_EQ(name, CString(L"Phase copy 3"));

  name = L"Phase";
  CUtils::MakeUniqueName(name, L"", {L"Phase", L"Phase 2"}, 2);
  EXPECT_EQ(name, CString(L"Phase 3"));

  name = L"Phase";
  CUtils::MakeUniqueName(name, L"copy", {L"Other"}, 2);
  EXPECT_EQ(name, CString(L"Phase"));
}

TEST(Utils, TerminateOverbarsClosesOpenSpans) {
  const wchar_t bar = 0xAF;
  const struct {
    CString in, out;
  } cases[] = {
      {CString(L"x") + bar + L"12", CString(L"x") + bar + L"12" + bar},
      {CString(bar) + L"1" + L" 2", CString(bar) + L"1" + bar + L" 2"},
      {CString(bar) + bar + L"1", CString(bar) + bar + L"1"},
      {CString(bar) + L"1" + bar + L"2", CString(bar) + L"1" + bar + L"2"},
      {CString(L"1 ") + bar + L"3 " + bar + L"4", CString(L"1 ") + bar + L"3" + bar + L" " + bar + L"4" + bar},
  };
  for (const auto& c : cases) {
    CString s = c.in;
    CUtils::TerminateOverbars(s);
    EXPECT_EQ(s, c.out);
  }
}

TEST(Utils, PackedVersionsAndTheirTexts) {
  const uint32_t v = CUtils::PackVersion(1, 2, 3, L'b', 4);
  EXPECT_EQ(v, 0x01020384u);
  CString text;
  CUtils::VersionToString(v, text);
  EXPECT_EQ(text, CString(L"1.2.3b4"));

  const struct {
    int major, minor, bugFix;
    wchar_t stage;
    int build;
    uint32_t packed;
    const wchar_t* text;
  } cases[] = {
      {1, 2, 3, L'f', 0, 0x010203FFu, L"1.2.3"},  // a release without a build stores 63
      {1, 2, 3, L'F', 5, 0x010203C5u, L"1.2.3f5"},
      {4, 0, 1, L'A', 7, 0x04000147u, L"4.0.1a7"},
      {4, 0, 1, L'd', 12, 0x0400010Cu, L"4.0.1d12"},
      {9, 10, 11, L' ', 0, 0x090A0BFFu, L"9.10.11"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CUtils::PackVersion(c.major, c.minor, c.bugFix, c.stage, c.build), c.packed) << c.text;
    CUtils::VersionToString(c.packed, text);
    EXPECT_EQ(text, CString(c.text));
    EXPECT_EQ(CUtils::VersionFromString(c.text), c.packed) << c.text;
  }
  EXPECT_EQ(CUtils::VersionFromString(L"5.1b3"), CUtils::PackVersion(5, 1, 0, L'b', 3));
  EXPECT_EQ(CUtils::VersionFromString(L"5.1"), CUtils::PackVersion(5, 1, 0, L' ', 0));
  EXPECT_EQ(CUtils::VersionFromString(L"x"), 0u);
}

TEST(Utils, ParseVersionResource) {
  uint32_t packed = 0;
  CString text;
  EXPECT_TRUE(CUtils::ParseVersionResource(L"2, 1, 0, 204", &packed, text));
  EXPECT_EQ(packed, CUtils::PackVersion(2, 1, 0, L'b', 4));
  EXPECT_EQ(text, CString(L"2.1.0b4"));
  EXPECT_TRUE(CUtils::ParseVersionResource(L"2, 1, 0, 300", &packed, text));
  EXPECT_EQ(packed, 0x020100FFu);
  EXPECT_EQ(text, CString(L"2.1.0"));
  EXPECT_FALSE(CUtils::ParseVersionResource(L"2, 1, 0", &packed, text));
}

TEST(Utils, FourCCToStringPutsTheHighByteFirst) {
  EXPECT_EQ(CUtils::FourCCToString(0x4C584446u), CString(L"LXDF"));
}

TEST(Utils, FilterHelpers) {
  const CString filters = L"Crystal files|*.cif;*.lxtx|All files|*.*||";
  CString pattern;
  EXPECT_TRUE(CUtils::GetFilterPattern(filters, 1, pattern));
  EXPECT_EQ(pattern, CString(L"*.cif;*.lxtx"));
  EXPECT_FALSE(CUtils::GetFilterPattern(filters, 2, pattern));  // "*.*" is no pattern
  EXPECT_FALSE(CUtils::GetFilterPattern(filters, 3, pattern));

  EXPECT_TRUE(CUtils::FilterHasExtension(L".CIF", L"*.cif;*.lxtx"));
  EXPECT_TRUE(CUtils::FilterHasExtension(L"*.lxtx", L"*.cif;*.lxtx"));
  EXPECT_FALSE(CUtils::FilterHasExtension(L"xy", L"*.cif;*.lxtx"));
  EXPECT_TRUE(CUtils::FilterHasExtension(L"xy", L"*.*"));
  EXPECT_TRUE(CUtils::FilterHasExtension(L"xy", std::vector<CString>{L"Data", L"*.xy", L""}));

  CString joined;
  CUtils::MultiStringToString({L"A", L"*.a", L""}, joined);
  EXPECT_EQ(joined, CString(L"A|*.a||"));
}

TEST(Utils, GetFileTitle) {
  CString path = L"/data/sets/quartz.v2.cif";
  CUtils::GetFileTitle(path);
  EXPECT_EQ(path, CString(L"quartz.v2"));
  path = L"C:\\x\\name";
  CUtils::GetFileTitle(path);
  EXPECT_EQ(path, CString(L"name"));
}

// The documents folder of a scratch home, so that the user's own folders are not touched.
class UtilsFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    savedHome = home ? home : "";
    scratch = std::filesystem::temp_directory_path() / ("qlw-home-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch / "Documents");
    setenv("HOME", scratch.c_str(), 1);
    wchar_t buffer[MAX_PATH + 1] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, buffer), S_OK);
    documents = buffer;
  }
  void TearDown() override {
    setenv("HOME", savedHome.c_str(), 1);
    std::filesystem::remove_all(scratch);
  }
  std::string savedHome;
  std::filesystem::path scratch;
  CString documents;
};

TEST_F(UtilsFolders, ExpandFolderMacrosAppendsTheRelativePart) {
  CString path = L"<CSIDL_PERSONAL>sub/quartz.cif", out;
  EXPECT_TRUE(CUtils::ExpandFolderMacros(path, out));
  EXPECT_EQ(out, documents + L"/sub/quartz.cif");

  path = L"<CSIDL_MyDocuments>a.cif";  // names compare without regard to case
  EXPECT_TRUE(CUtils::ExpandFolderMacros(path, out));
  EXPECT_EQ(out, documents + L"/a.cif");

  out = L"unchanged";
  path = L"<CSIDL_NOSUCH>a.cif";
  EXPECT_FALSE(CUtils::ExpandFolderMacros(path, out));
  EXPECT_EQ(out, CString(L"unchanged"));
  path = L"<CSIDL_PERSONAL>";
  EXPECT_FALSE(CUtils::ExpandFolderMacros(path, out));

  path = L"/tmp/x/../y.cif";  // no macro: canonicalised
  EXPECT_TRUE(CUtils::ExpandFolderMacros(path, out));
  EXPECT_EQ(out, CString(L"/tmp/y.cif"));
}

TEST_F(UtilsFolders, PortablePathRoundTrips) {
  const CString original = documents + L"/phases/quartz.cif";
  CString portable, back;
  CUtils::MakePortablePath(original, portable);
  EXPECT_EQ(portable.Find(L"<CSIDL_PERSONAL>"), 0) << portable.GetString();
  EXPECT_TRUE(CUtils::ExpandFolderMacros(portable, back));
  CUtils::CanonicalizePath(back);
  EXPECT_EQ(back, original);
}

TEST(Utils, DeleteFileSilently) {
  const auto dir = std::filesystem::temp_directory_path() / ("qlw-utils-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "inner");
  std::ofstream(dir / "inner" / "f.txt") << "x";
  EXPECT_TRUE(CUtils::DeleteFileSilently(dir.wstring().c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir));
  EXPECT_FALSE(CUtils::DeleteFileSilently(dir.wstring().c_str()));
  EXPECT_FALSE(CUtils::DeleteFileSilently(nullptr));
  EXPECT_FALSE(CUtils::DeleteFileSilently(std::wstring(300, L'a').c_str()));
}

TEST(Utils, FileURLsAndPaths) {
  CString url, path;
  ASSERT_TRUE(CUtils::PathToURL(L"/tmp/a b/\u00e9.cif", url));
  EXPECT_TRUE(CUtils::FileURLToPath(url, path));
  EXPECT_EQ(path, CString(L"/tmp/a b/\u00e9.cif"));
  EXPECT_TRUE(CUtils::FileURLToPath(L"file:///x/y%20z", path));
  EXPECT_EQ(path, CString(L"/x/y z"));
  EXPECT_FALSE(CUtils::FileURLToPath(L"http://example.org/x", path));
}

TEST(Utils, CopyRegistryKeyCopiesValuesAndSubkeysRecursively) {
  HKEY src = nullptr, dst = nullptr, sub = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QlwUtilsTest\\Src", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &src, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(src, L"Deeper\\Deepest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  const DWORD number = 0x12345678;
  RegSetValueExW(src, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  const char16_t odd[] = u"hi";
  RegSetValueExW(sub, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(odd), 5);  // copied byte for byte
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QlwUtilsTest\\Dst", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &dst, nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(CUtils::CopyRegistryKey(src, dst));

  DWORD type = 0, read = 0, bytes = 4;
  EXPECT_EQ(RegQueryValueExW(dst, L"Number", nullptr, &type, reinterpret_cast<BYTE*>(&read), &bytes), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(read, number);
  HKEY copied = nullptr;
  ASSERT_EQ(RegOpenKeyExW(dst, L"Deeper\\Deepest", 0, KEY_READ, &copied), ERROR_SUCCESS);
  std::vector<BYTE> text;
  EXPECT_EQ(qlw::RegQueryStoredValue(copied, L"Text", &type, &text), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(text, (std::vector<BYTE>{'h', 0, 'i', 0, 0}));
  RegCloseKey(copied);
  RegCloseKey(sub);
  RegCloseKey(src);
  RegCloseKey(dst);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QlwUtilsTest");
}

TEST(Utils, RunProgramQuotesTheProgramAndOptionallyTheArguments) {
  qlw::testing::ProcessRecorder recorder;
  EXPECT_FALSE(CUtils::RunProgram(L"/nonexistent/program", L"", false));
  const CString program = QLW_BIN_DIR L"/test_core";
  EXPECT_TRUE(CUtils::RunProgram(program, L"a b", false));
  EXPECT_TRUE(CUtils::RunProgram(program, L"a b", true));
  const auto records = recorder.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].program, std::wstring(program.GetString()));
  EXPECT_EQ(records[0].arguments, (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(records[1].arguments, (std::vector<std::wstring>{L"a b"}));
}

TEST(Utils, OpenWithShellReportsAFailureOnlyWhenAsked) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("qlw-open-" + std::to_string(::getpid()));
  fs::create_directories(folder / "sub");
  std::ofstream(folder / "b.cif") << "x";
  {
    qlw::testing::ProcessRecorder recorder;
    EXPECT_TRUE(CUtils::OpenWithShell(L"https://example.org/x", true));
    EXPECT_TRUE(CUtils::OpenWithShell(CString((folder / "sub" / ".." / "b.cif").wstring()), true));
    const auto records = recorder.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].verb, L"open");
    EXPECT_EQ(records[0].arguments, (std::vector<std::wstring>{L"https://example.org/x"}));
    EXPECT_EQ(records[1].arguments, (std::vector<std::wstring>{(folder / "b.cif").wstring()}));  // canonicalised
  }
  fs::remove_all(folder);

  qlw::testing::ProcessRecorder failing(false);
  const CString missing = CString((folder / "missing.cif").wstring());
  EXPECT_FALSE(CUtils::OpenWithShell(missing, false));
  try {
    CUtils::OpenWithShell(missing, true);
    ADD_FAILURE() << "no exception";
  } catch (const CLXXBadPath& e) {
    EXPECT_EQ(e.GetSeverity(), 2u);
    EXPECT_EQ(e.GetMessageId(), 21581u);
    EXPECT_NE(e.GetMessage().Find(missing), -1);
  }
  EXPECT_THROW(CUtils::OpenWithShell(L"https://example.org/x", true), CLXXBadURL);
}

namespace {
FILE* TextStream(const char* bytes, size_t n) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes, 1, n, f);
  std::rewind(f);
  return f;
}
}  // namespace

TEST(Utils, TextLinesEndAtCRLFOrCRLFOrNul) {
  const char text[] = "one\r\ntwo\rthree\nfour";
  FILE* f = TextStream(text, sizeof text - 1);
  EXPECT_EQ(CountTextLines(f), 5);  // CR and LF of the first line each count
  char buffer[4];
  EXPECT_EQ(ReadTextLine(f, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "one");
  std::string line;
  ReadTextLineA(f, line);
  EXPECT_EQ(line, "two");
  EXPECT_EQ(ReadTextLine(f, buffer, sizeof buffer), 3);  // "three" cut to three characters
  EXPECT_STREQ(buffer, "thr");
  ReadTextLineA(f, line);
  EXPECT_EQ(line, "four");
  std::fclose(f);

  f = TextStream("", 0);
  EXPECT_EQ(CountTextLines(f), 0);
  std::fclose(f);
  f = TextStream("a\n", 2);
  EXPECT_EQ(CountTextLines(f), 1);
  std::fclose(f);
}

TEST(Utils, GetTextFieldHonoursQuotes) {
  char field[21];
  const char* line = "  Si1  'two words' 0.125\t123456789012345678901234";
  EXPECT_TRUE(GetTextField(line, 1, field));
  EXPECT_STREQ(field, "Si1");
  EXPECT_TRUE(GetTextField(line, 2, field));
  EXPECT_STREQ(field, "'two words");
  EXPECT_TRUE(GetTextField(line, 3, field));
  EXPECT_STREQ(field, "0.125");
  EXPECT_TRUE(GetTextField(line, 4, field));
  EXPECT_STREQ(field, "1234567890123456789");
  EXPECT_FALSE(GetTextField(line, 5, field));
}

TEST(Utils, CollectFilesWalksFoldersAndFollowsShortcuts) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("qlw-collect-" + std::to_string(::getpid()));
  const fs::path outside = root.string() + "-outside";
  fs::create_directories(root / "sub");
  fs::create_directories(root / ".hidden");
  fs::create_directories(outside);
  std::ofstream(root / "b.cif") << "x";
  std::ofstream(root / "sub" / "a.xy") << "x";
  std::ofstream(root / ".hidden" / "c.cif") << "x";
  std::ofstream(root / ".dot.cif") << "x";
  std::ofstream(outside / "linked.cif") << "x";
  fs::create_symlink(outside / "linked.cif", root / "link.cif");

  EXPECT_TRUE(CUtils::IsShortcut(CString((root / "link.cif").wstring())));
  EXPECT_FALSE(CUtils::IsShortcut(CString((root / "b.cif").wstring())));
  CString target;
  EXPECT_TRUE(CUtils::ResolveShortcut(CString((root / "link.cif").wstring()), target));
  EXPECT_EQ(target, CString(fs::canonical(outside / "linked.cif").wstring()));

  std::list<CString> names;
  CUtils::CollectFiles(CString(root.wstring()), names);
  const std::list<CString> expected = {CString((root / "b.cif").wstring()),
                                       CString(fs::canonical(outside / "linked.cif").wstring()),
                                       CString((root / "sub" / "a.xy").wstring())};
  EXPECT_EQ(names, expected);
  fs::remove_all(root);
  fs::remove_all(outside);
}

TEST(Utils, AppVersionInfoComesFromTheVersionResource) {
  CString product, legal, text;
  uint32_t packed = 0;
  ASSERT_TRUE(CUtils::GetAppVersionInfo(product, legal, text, &packed));
  EXPECT_EQ(product, CString(L"Quillonographic"));
  EXPECT_FALSE(legal.IsEmpty());
  CString fromPacked;
  CUtils::VersionToString(packed, fromPacked);
  EXPECT_EQ(text, fromPacked);
  EXPECT_NE(packed, 0u);
}

TEST(Utils, CollectFilesEndsAtALinkBackToAnEnclosingFolder) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("qlw-loop-" + std::to_string(::getpid()));
  fs::create_directories(root / "sub");
  std::ofstream(root / "sub" / "a.cif") << "x";
  fs::create_directory_symlink(root, root / "sub" / "up");

  std::list<CString> names;
  CUtils::CollectFiles(CString(root.wstring()), names);
  EXPECT_EQ(names, std::list<CString>{CString((root / "sub" / "a.cif").wstring())});
  fs::remove_all(root);
}

TEST(Utils, GetProcAddressByNameFindsAnEntryPointOrNothing) {
  using Cosine = double (*)(double);
  const auto cosine = reinterpret_cast<Cosine>(CUtils::GetProcAddressByName("cos", L"libm.so.6"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(CUtils::GetProcAddressByName("no_such_entry_point", L"libm.so.6"), nullptr);
  EXPECT_EQ(CUtils::GetProcAddressByName("cos", L"libno-such-library.so"), nullptr);
}

TEST(Utils, ComposeURLLeavesOutTheSchemesDefaultPort) {
  const struct {
    CUtils::URLParts parts;
    bool ok;
    const wchar_t* url;
  } cases[] = {
      {{L"http", L"example.org", 80, L"/a/b.html", L"?x=1"}, true, L"http://example.org/a/b.html?x=1"},
      {{L"https", L"example.org", 8443, L"/", L""}, true, L"https://example.org:8443/"},
      {{L"HTTPS", L"example.org", 443, L"", L"#top"}, true, L"HTTPS://example.org#top"},
      {{L"", L"example.org", 80, L"/", L""}, false, L""},
  };
  for (const auto& c : cases) {
    CString out = L"stale";
    EXPECT_EQ(CUtils::ComposeURL(c.parts, out), c.ok) << c.url;
    EXPECT_EQ(out, CString(c.url));
  }
}
