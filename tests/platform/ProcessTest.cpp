// Process launch, process handles, the executable's path and its version resource.
#include "Process.h"
#include "TestSupport.h"
#include "VersionInfo.h"
#include "testing/ProcessRecorder.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring SelfPath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  return n > 0 ? Wide(std::string(buf, static_cast<size_t>(n))) : std::wstring();
}

}  // namespace

// The id is kept once asked; a forked child must not answer with its parent's.
TEST(Process, AForkedChildKnowsItsOwnId) {
  ASSERT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(GetCurrentProcessId() == static_cast<DWORD>(getpid()) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Process, CommandLineSplitsWithWindowsQuoting) {
  struct Case {
    const wchar_t* line;
    std::vector<std::wstring> args;
  };
  const Case cases[] = {
      {L"prog a  b\tc", {L"prog", L"a", L"b", L"c"}},
      {L"\"C:\\Program Files\\q.exe\" /p \"my file.cif\"", {L"C:\\Program Files\\q.exe", L"/p", L"my file.cif"}},
      {L"x a\\\\b \"c\\\"d\" e\\\\\\\"f", {L"x", L"a\\\\b", L"c\"d", L"e\\\"f"}},
      {L"x \"a\\\\\" b", {L"x", L"a\\", L"b"}},
      {L"x \"\" y", {L"x", L"", L"y"}},
      {L"x \"say \"\"hi\"\"\"", {L"x", L"say \"hi\""}},
      {L"  ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(qlw::SplitCommandLine(c.line), c.args) << std::string(c.line, c.line + wcslen(c.line));
}

TEST(Process, CreateProcessRunsTheCommandAndReportsItsExit) {
  std::wstring command = L"/bin/sh -c \"exit 7\"";
  PROCESS_INFORMATION pi{};
  STARTUPINFOW si{};
  si.cb = sizeof si;
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_NE(pi.dwProcessId, 0u);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(pi.hThread));
  EXPECT_TRUE(CloseHandle(pi.hProcess));

  std::wstring missing = L"/no/such/program --flag";
  EXPECT_FALSE(CreateProcessW(nullptr, missing.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Process, LaunchProgramGivesEachArgumentAsItStands) {
  const std::string out = qlwtest::ScratchDir() + "/launched-args.txt";
  std::remove(out.c_str());
  const std::vector<std::wstring> names = {L"q\" -Unregister \"z.cif", L"a  b", L"-x", L"/Register", L"back\\\"slash", L""};
  std::vector<std::wstring> args = {L"-c", L"for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$0.tmp\" && mv \"$0.tmp\" \"$0\"",
                                    Wide(out)};
  args.insert(args.end(), names.begin(), names.end());
  ASSERT_TRUE(qlw::LaunchProgram(L"/bin/sh", args));
  std::string text;
  qlwtest::WaitUntil([&out] { return std::filesystem::exists(out); });
  std::ifstream in(out);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[q\" -Unregister \"z.cif]\n[a  b]\n[-x]\n[/Register]\n[back\\\"slash]\n[]\n");

  EXPECT_FALSE(qlw::LaunchProgram(L"/no/such/program", {L"a"}));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Process, ImagePathsOfThisProcessAndOfAChild) {
  wchar_t path[PATH_MAX];
  const DWORD n = GetModuleFileNameW(nullptr, path, PATH_MAX);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::wstring(path, n), SelfPath());
  wchar_t tiny[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, tiny, 4), 4u);  // cut, terminated, buffer size back
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(tiny[3], L'\0');

  std::wstring command = L"sleep 30";
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  DWORD size = PATH_MAX;
  // The child may still be between spawn and exec for a moment.
  std::wstring image;
  qlwtest::WaitUntil([&] {
    size = PATH_MAX;
    if (QueryFullProcessImageNameW(pi.hProcess, 0, path, &size)) image.assign(path, size);
    return image.find(L"sleep") != std::wstring::npos;
  });
  EXPECT_EQ(std::filesystem::path(image), std::filesystem::canonical(std::filesystem::path("/proc") / std::to_string(pi.dwProcessId) / "exe"));
  EXPECT_NE(image.find(L"sleep"), std::wstring::npos);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  kill(static_cast<pid_t>(pi.dwProcessId), SIGTERM);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST(Process, ShellExecuteRunsProgramsAndOpensDocuments) {
  const std::string dir = qlwtest::ScratchDir();
  const std::string document = dir + "/My Structure.cif";
  std::ofstream(document) << "data_x\n";
  const std::string script = dir + "/tool.sh";
  std::ofstream(script) << "#!/bin/sh\n";
  chmod(script.c_str(), 0755);

  qlw::testing::ProcessRecorder recorder;
  const std::wstring wideDocument = Wide(document), wideScript = Wide(script);
  SHELLEXECUTEINFOW open{};
  open.cbSize = sizeof open;
  open.lpVerb = L"open";
  open.lpFile = wideDocument.c_str();
  ASSERT_TRUE(ShellExecuteExW(&open));
  EXPECT_GT(reinterpret_cast<intptr_t>(open.hInstApp), 32);

  SHELLEXECUTEINFOW runas{};
  runas.cbSize = sizeof runas;
  runas.lpVerb = L"runas";
  runas.lpFile = wideScript.c_str();
  runas.lpParameters = L"/Register /DefTypes=\"1 2 3\"";
  runas.nShow = SW_HIDE;
  ASSERT_TRUE(ShellExecuteExW(&runas));

  SHELLEXECUTEINFOW url{};
  url.cbSize = sizeof url;
  url.lpFile = L"https://example.org/help?x=1";
  ASSERT_TRUE(ShellExecuteExW(&url));

  const auto records = recorder.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].program, L"xdg-open");
  EXPECT_EQ(records[0].arguments, std::vector<std::wstring>{wideDocument});
  EXPECT_EQ(records[1].program, wideScript);
  EXPECT_EQ(records[1].arguments, (std::vector<std::wstring>{L"/Register", L"/DefTypes=1 2 3"}));
  EXPECT_EQ(records[1].verb, L"runas");
  EXPECT_EQ(records[2].arguments, std::vector<std::wstring>{L"https://example.org/help?x=1"});

  SHELLEXECUTEINFOW missing{};
  missing.cbSize = sizeof missing;
  const std::wstring gone = Wide(dir + "/gone.cif");
  missing.lpFile = gone.c_str();
  EXPECT_FALSE(ShellExecuteExW(&missing));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  SHELLEXECUTEINFOW print{};
  print.cbSize = sizeof print;
  print.lpVerb = L"print";
  print.lpFile = wideDocument.c_str();
  EXPECT_FALSE(ShellExecuteExW(&print));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_ASSOCIATION));
  EXPECT_EQ(recorder.Records().size(), 3u);  // failures launch nothing
}

TEST(ProcessVersion, OwnExecutableHasTheVersionResource) {
  const std::wstring self = SelfPath();
  const std::wstring asExe = self + L".exe";  // callers name the module with ".exe"
  DWORD handle = 1;
  const DWORD size = GetFileVersionInfoSizeW(asExe.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(asExe.c_str(), handle, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);

  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\ProductName", reinterpret_cast<void**>(&text),
                             &length));
  EXPECT_EQ(std::wstring(text), L"Quillonographic");
  EXPECT_EQ(length, 16u);
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\ProductVersion",
                             reinterpret_cast<void**>(&text), &length));
  // The text and the fixed numbers tell the same version.
  int major = -1, minor = -1, bugfix = -1, fourth = -1;
  ASSERT_EQ(swscanf(text, L"%d, %d, %d, %d", &major, &minor, &bugfix, &fourth), 4);
  EXPECT_EQ(fixed->dwProductVersionMS, DWORD(major << 16 | minor));
  EXPECT_EQ(fixed->dwProductVersionLS, DWORD(bugfix << 16 | fourth));
  EXPECT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\LegalCopyRight",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_FALSE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\NoSuchName", reinterpret_cast<void**>(&text),
                              &length));

  EXPECT_EQ(GetFileVersionInfoSizeW(L"/usr/bin/env", &handle), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(ProcessVersion, NamesMatchUnderATurkishLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "tr_TR.UTF-8")) GTEST_SKIP() << "locale tr_TR.UTF-8 is not installed";
  const std::wstring self = SelfPath();
  DWORD handle = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(self.c_str(), &handle));
  wchar_t* text = nullptr;
  UINT length = 0;
  const bool found = !block.empty() && GetFileVersionInfoW(self.c_str(), handle, static_cast<DWORD>(block.size()), block.data()) &&
                     VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\InternalName",
                                    reinterpret_cast<void**>(&text), &length);
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_TRUE(found);  // towlower there makes 'I' a dotless i, so "FileInfo" would not match
  EXPECT_EQ(std::wstring(text), L"Quillonographic");
}

// A caller that waits for the hand-over learns when nothing opens a document: the desktop is asked
// for the type's default application, and without one the opener's exit decides. Stand-ins for
// both desktop tools come first on PATH.
TEST(Process, ShellOpenThatWaitsFailsWhenNothingOpensTheDocument) {
  const std::string dir = qlwtest::ScratchDir() + "/shell-open";
  std::filesystem::create_directories(dir);
  const std::string document = dir + "/Guide.pdf";
  std::ofstream(document) << "%PDF-1.4\n";
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (dir + ":" + path).c_str(), 1);
  auto script = [&](const std::string& name, const std::string& body) {
    std::ofstream(dir + "/" + name) << "#!/bin/sh\necho \"$@\" > '" << dir << "/" << name << ".args'\n" << body << "\n";
    chmod((dir + "/" + name).c_str(), 0755);
  };
  const struct {
    const char* defaultApp;
    const char* opener;
    bool opened;
    DWORD error;
  } cases[] = {
      {"", "exit 3", false, ERROR_NO_ASSOCIATION},  // no program for the type
      {"", "exit 4", false, ERROR_NO_ASSOCIATION},  // the program chosen failed
      {"", "exit 0", true, 0},                      // opened by some other means
      {"viewer.desktop", "sleep 2", true, 0},       // a viewer that stays open
  };
  // What a stand-in was asked, once it has written it down.
  auto asked = [&](const std::string& name) {
    const std::string file = dir + "/" + name + ".args";
    qlwtest::WaitUntil([&file] { return std::filesystem::exists(file); });
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(file);
    return text;
  };
  const std::wstring wide = Wide(document);
  for (const auto& c : cases) {
    script("xdg-mime", std::string("echo ") + c.defaultApp);
    script("xdg-open", c.opener);
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    open.lpVerb = L"open";
    open.lpFile = wide.c_str();
    EXPECT_EQ(ShellExecuteExW(&open) != FALSE, c.opened) << c.opener;
    if (!c.opened) {
      EXPECT_EQ(GetLastError(), c.error) << c.opener;
    }
    EXPECT_EQ(asked("xdg-mime"), "query default application/pdf\n") << c.opener;
    EXPECT_EQ(asked("xdg-open"), document + "\n") << c.opener;
  }
  setenv("PATH", path.c_str(), 1);
}
