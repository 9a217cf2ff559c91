// The application base: a second start hands its files to the running instance, idle time,
// the message pump's exception handling, and the process's own temporary folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "AlertRecorder.h"
#include "CFile.h"
#include "ChildProcess.h"
#include "OSVersion.h"
#include "Preferences.h"
#include "testing/ProcessRecorder.h"
#include "LXAlert.h"
#include "LXApp.h"
#include "LXException.h"
#include "LXHelpViewer.h"
#include "LXMessage.h"
#include "QlwCommandLineInfo.h"
#include "QlwDocTypes.h"
#include "TestSupport.h"
#include "Watchdog.h"
#include "Wnd.h"
#include "WndQt.h"
#include "WidgetApp.h"

#include <QCoreApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

namespace {
class TestApp : public CLXApp {
 public:
  std::vector<CString> opened;
  TestApp() { LXDocTypes::SetTable(g_DocTypeTable); }
  int GetInstanceScope() override { return 3; }
  CLXCommandLineInfo* CreateCommandLineInfo() override { return new CQlwCommandLineInfo(); }
  CDocument* OpenDocumentFile(const wchar_t* path) override {
    opened.push_back(path);
    // Running instances that misbehave while they take a hand-over.
    const std::string job = apptest::Job() ? apptest::Job() : "";
    if (job == "stalls") std::this_thread::sleep_for(std::chrono::seconds(40));
    if (job == "sends-back") {  // to a window of the process that hands over, which waits for this one
      const std::string name = CString(path).ToUtf8();
      SendMessageW(reinterpret_cast<HWND>(std::stoull(name.substr(name.rfind('/') + 1))), WM_NULL, 0, 0);
    }
    apptest::Report(CString(path).ToUtf8() + "\n");
    return reinterpret_cast<CDocument*>(this);  // any non-null document
  }
  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), "quillonographic");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    SetArguments(static_cast<int>(argv.size()), argv.data());
    ASSERT_TRUE(InitInstance());
  }
};

// A class-library exception, thrown as the class library throws them: as a heap object.
class CountedLibraryException : public CException {
 public:
  static inline int alive = 0;
  CountedLibraryException() { ++alive; }
  ~CountedLibraryException() override { --alive; }
  BOOL GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT*) const override {
    wcsncpy(buffer, L"The volume went away.", maxCount - 1);
    buffer[maxCount - 1] = L'\0';
    return TRUE;
  }
};

int g_idleBroadcasts = 0;
LPARAM g_idleLParam = 0;
std::vector<HWND> g_wheels;
std::vector<WPARAM> g_commands;
LRESULT CALLBACK IdleCounterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEWHEEL) {
    g_wheels.push_back(hwnd);
    return 0;
  }
  if (message == WM_COMMAND) {
    g_commands.push_back(wParam);
    return 0;
  }
  if (message == g_msgIdle) {
    ++g_idleBroadcasts;
    g_idleLParam = lParam;
    return 0;
  }
  if (message == WM_USER + 7) {
    if (wParam == 0) throw std::runtime_error("standard failure");
    throw CLXXNoHelp(static_cast<UINT>(wParam), 0, __LINE__);
  }
  if (message == WM_USER + 8) throw new CountedLibraryException;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = IdleCounterProc;
  wc.lpszClassName = L"AppBaseTestWindow";
  RegisterClassW(&wc);
  return CreateWindowW(L"AppBaseTestWindow", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// The folder the test runs in, as a start names its relative files from it.
std::string Here() {
  char folder[4096];
  return getcwd(folder, sizeof folder) ? std::string(folder) : std::string();
}

bool IsDirectory(const CString& path) {
  struct stat st;
  return stat(path.ToUtf8().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

// Runs only in a child process: the running instance, until it is killed.
TEST(AppBase, ChildJobs) {
  if (!apptest::Job()) GTEST_SKIP() << "runs in child processes only";
  if (std::string(apptest::Job()) == "temp") {  // a process with its temporary folder, until killed
    CString folder;
    if (!CLXApp::GetTempFolder(folder)) _exit(3);
    apptest::Report(folder.ToUtf8() + "\n");
    for (;;) pause();
  }
  TestApp app;
  app.Start({});
  if (!app.FindRunningInstance(-1, true, nullptr)) _exit(3);
  app.CreateInstanceWindow();
  apptest::Report("ready\n");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  _exit(0);
}

TEST(AppBase, ASecondStartHandsItsFilesToTheRunningInstance) {
  auto child = apptest::Start("AppBase.ChildJobs", "instance");
  ASSERT_EQ(apptest::ReadUntil(child, "ready\n"), "ready\n");
  {
    TestApp second;
    second.Start({"x.cif", "/tmp/y z.cif"});
    HWND running = nullptr;
    EXPECT_TRUE(second.FindRunningInstance(-1, false, &running));
    ASSERT_NE(running, nullptr) << GetLastError();
    EXPECT_TRUE(second.HandOverCommandLine(running)) << GetLastError();
    // A relative name goes over from the root: the running instance started elsewhere.
    EXPECT_EQ(apptest::ReadUntil(child, "y z.cif\n"), Here() + "/x.cif\n/tmp/y z.cif\n");
    EXPECT_TRUE(second.opened.empty());
    second.ExitInstance();
  }
  {
    // A name longer than the hand-over's field would arrive cut: this start keeps its files.
    TestApp third;
    third.Start({"/tmp/" + std::string(300, 'n') + ".cif"});
    HWND running = nullptr;
    ASSERT_TRUE(third.FindRunningInstance(-1, false, &running));
    EXPECT_FALSE(third.HandOverCommandLine(running));
    third.ExitInstance();
  }
  kill(child.pid, SIGKILL);
  apptest::Wait(child);
}

// The sender waits without taking messages, so neither a stalled handler nor one that sends back
// to the sender may keep it waiting: the wait ends once the instance's thread hangs.
TEST(AppBase, AHandOverEndsWhenTheRunningInstanceHangsOrSendsBack) {
  for (const std::string job : {"stalls", "sends-back"}) {
    auto child = apptest::Start("AppBase.ChildJobs", job);
    ASSERT_EQ(apptest::ReadUntil(child, "ready\n"), "ready\n");
    HWND mine = MakeWindow();
    const std::string file = std::to_string(reinterpret_cast<uintptr_t>(mine));
    TestApp second;
    second.Start({file});
    HWND running = nullptr;
    EXPECT_TRUE(second.FindRunningInstance(-1, false, &running));
    ASSERT_NE(running, nullptr) << job;
    const auto start = std::chrono::steady_clock::now();
    const bool handed = second.HandOverCommandLine(running);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << job;
    if (job == "stalls") {
      EXPECT_FALSE(handed) << "a hung instance did not take the files";
    } else {
      EXPECT_EQ(apptest::ReadUntil(child, "\n"), Here() + "/" + file + "\n") << "the instance went on after its send failed";
    }
    second.ExitInstance();
    DestroyWindow(mine);
    kill(child.pid, SIGKILL);
    apptest::Wait(child);
  }
}

// A new-window process is handed the window to link to as "LXW=" with a 32-bit number: it names
// that window, of the other process.
TEST(AppBase, ALinkWindowOnTheCommandLineNamesAnotherProcessesWindow) {
  auto child = apptest::Start("AppBase.ChildJobs", "instance");
  ASSERT_EQ(apptest::ReadUntil(child, "ready\n"), "ready\n");
  TestApp app;
  app.Start({});
  HWND running = nullptr;
  EXPECT_TRUE(app.FindRunningInstance(-1, false, &running));
  ASSERT_NE(running, nullptr);
  char text[32];
  std::snprintf(text, sizeof text, "/LXW=%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(running)));
  char program[] = "quillonographic";
  char* argv[] = {program, text};
  app.SetArguments(2, argv);
  CQlwCommandLineInfo info;
  app.ParseCommandLine(info);
  const HWND named = reinterpret_cast<HWND>(static_cast<uintptr_t>(info.m_linkWindow));
  EXPECT_EQ(named, running) << text;
  DWORD owner = 0;
  EXPECT_NE(GetWindowThreadProcessId(named, &owner), 0u);
  EXPECT_EQ(owner, static_cast<DWORD>(child.pid));
  EXPECT_TRUE(IsWindow(named));
  app.ExitInstance();
  kill(child.pid, SIGKILL);
  apptest::Wait(child);
}

TEST(AppBase, AnotherUsersInstanceIsNotThisUsers) {
  auto child = apptest::Start("AppBase.ChildJobs", "instance", {"USER=someone-else"});
  ASSERT_EQ(apptest::ReadUntil(child, "ready\n"), "ready\n");
  {
    TestApp app;
    app.Start({});
    HWND running = nullptr;
    EXPECT_TRUE(app.FindRunningInstance(-1, true, &running));
    EXPECT_EQ(running, nullptr);
    app.ExitInstance();
  }
  kill(child.pid, SIGKILL);
  apptest::Wait(child);
}

TEST(AppBase, IdleIsBroadcastOnceAtCount200) {
  TestApp app;
  HWND wnd = MakeWindow();
  g_idleBroadcasts = 0;
  for (LONG count = 0; count < 200; ++count) EXPECT_TRUE(app.OnIdle(count)) << count;
  EXPECT_EQ(g_idleBroadcasts, 0);
  EXPECT_FALSE(app.OnIdle(200));
  EXPECT_EQ(g_idleBroadcasts, 1);
  EXPECT_EQ(g_idleLParam, 200);
  for (LONG count = 201; count < 260; ++count) app.OnIdle(count);
  EXPECT_EQ(g_idleBroadcasts, 1);
  app.SetClosing(true, false);
  app.OnIdle(200);
  EXPECT_EQ(g_idleBroadcasts, 1) << "no broadcast once the program is closing";
  DestroyWindow(wnd);
}

TEST(AppBase, TheWatchdogsHeartbeatIsNoActivity) {
  TestApp app;
  ASSERT_TRUE(CWatchdog::Start());
  MSG heartbeat{nullptr, WM_TIMER, CWatchdog::Get()->GetHeartbeatTimerId(), 0, 0, {}};
  EXPECT_FALSE(app.IsIdleMessage(&heartbeat));
  MSG other{nullptr, WM_TIMER, CWatchdog::Get()->GetHeartbeatTimerId() + 1, 0, 0, {}};
  EXPECT_TRUE(app.IsIdleMessage(&other));
  CWatchdog::Stop();
}

// The watchdog's message hook asks the running application what counts as activity, so that the
// heartbeat timer's own ticks never keep the wait cursor away.
TEST(AppBase, TheWatchdogAsksTheApplicationWhatCountsAsActivity) {
  TestApp app;
  app.Start({});
  CWatchdog::ActivityTest test = CWatchdog::SetActivityTest(nullptr);
  CWatchdog::SetActivityTest(test);
  ASSERT_NE(test, nullptr);
  ASSERT_NE(CWatchdog::Get(), nullptr);
  const UINT_PTR heartbeat = CWatchdog::Get()->GetHeartbeatTimerId();
  const struct {
    MSG msg;
    bool activity;
  } cases[] = {
      {{nullptr, WM_TIMER, heartbeat, 0, 0, {}}, false},
      {{nullptr, WM_TIMER, heartbeat + 1, 0, 0, {}}, true},
      {{nullptr, WM_PAINT, 0, 0, 0, {}}, false},
      {{nullptr, WM_KEYDOWN, 'A', 0, 0, {}}, true},
  };
  for (const auto& c : cases) EXPECT_EQ(test(c.msg), c.activity) << c.msg.message << " " << c.msg.wParam;
  app.ExitInstance();
  EXPECT_EQ(CWatchdog::SetActivityTest(nullptr), nullptr) << "the exit takes the test away with the watchdog";
}

TEST(AppBase, ThePumpReportsExceptionsAndEndsOnlyOnSevereOnes) {
  HWND wnd = MakeWindow();
  // A class-library exception is reported as a fatal error that names what the library said.
  const struct {
    UINT message;
    WPARAM severity;
    BOOL goOn;
    const char* shown;
  } cases[] = {{WM_USER + 7, kLXSeverityMessage, TRUE, ""},
               {WM_USER + 7, kLXSeverityFatal, FALSE, ""},
               {WM_USER + 7, 0, FALSE, ""},
               {WM_USER + 8, 0, FALSE, "The volume went away."}};
  for (const auto& c : cases) {
    TestApp app;
    app.m_msgCur = MSG{wnd, c.message, c.severity, 0, 0, {}};
    testing::internal::CaptureStderr();
    EXPECT_EQ(app.PumpMessage(), c.goOn) << c.message << " " << c.severity;
    const std::string alert = testing::internal::GetCapturedStderr();
    EXPECT_NE(alert, "") << "reported";
    EXPECT_NE(alert.find(c.shown), std::string::npos) << alert;
    EXPECT_EQ(app.IsClosing(), !c.goOn);
  }
  EXPECT_EQ(CountedLibraryException::alive, 0) << "the library's object is deleted";
  DestroyWindow(wnd);
}

// A wheel message goes to the window under the pointer, whichever window it was queued for; over
// no window of the program (another program's, or none) it is swallowed.
TEST(AppBase, TheWheelGoesToTheWindowUnderThePointer) {
  qlwtest::EnsureWidgetApp("test_app");
  TestApp app;
  DestroyWindow(MakeWindow());  // registers the class
  HWND focused = CreateWindowW(L"AppBaseTestWindow", L"", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
  ASSERT_NE(focused, nullptr);
  HWND under = CreateWindowW(L"AppBaseTestWindow", L"", WS_POPUP | WS_VISIBLE, 300, 10, 100, 100, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(under, nullptr);
  QCoreApplication::processEvents();
  auto wheelAt = [](HWND to, int x, int y) {
    return MSG{to, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(x, y), 0, {}};
  };
  g_wheels.clear();
  MSG over = wheelAt(focused, 350, 50);
  EXPECT_TRUE(app.PreTranslateMessage(&over));
  EXPECT_EQ(g_wheels, std::vector<HWND>{under}) << "redirected";
  g_wheels.clear();
  MSG own = wheelAt(focused, 50, 50);
  EXPECT_FALSE(app.PreTranslateMessage(&own)) << "already the window under the pointer";
  EXPECT_TRUE(g_wheels.empty());
  MSG nowhere = wheelAt(focused, 1000, 700);
  EXPECT_TRUE(app.PreTranslateMessage(&nowhere));
  EXPECT_TRUE(g_wheels.empty()) << "swallowed";
  DestroyWindow(focused);
  DestroyWindow(under);
}

TEST(AppBase, EachProcessHasItsOwnTemporaryFolderRemovedAtExit) {
  TestApp app;
  app.Start({});
  CString folder;
  ASSERT_TRUE(CLXApp::GetTempFolder(folder));
  EXPECT_EQ(folder.Right(static_cast<int>(std::to_string(getpid()).size()) + 1),
            CString(("/" + std::to_string(getpid())).c_str()));
  EXPECT_TRUE(IsDirectory(folder));
  app.ExitInstance();
  EXPECT_FALSE(IsDirectory(folder));
}

// Only folders whose process has certainly ended go: the lock in a folder is held while its process
// runs, whatever its pid names now; a folder without one goes when no process has its pid, or
// when the process with that pid started long after the folder last changed.
TEST(AppBase, TemporaryFoldersOfEndedProcessesAreRemoved) {
  namespace fs = std::filesystem;
  const fs::path tmp = fs::path(qlwtest::ScratchDir()) / "abandoned-tmp";
  const fs::path root = tmp / "Lumaxisworks Software" / "Quillonographic";
  fs::remove_all(tmp);
  fs::create_directories(root);
  setenv("TMPDIR", tmp.c_str(), 1);
  CLXApp::RemoveTempFolder();
  CString own;
  ASSERT_TRUE(CLXApp::GetTempFolder(own));

  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  // Another program, started now, with a pid that a folder may have named before.
  const pid_t other = fork();
  if (other == 0) {
    execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::vector<int> held;
  enum Owner { kNoLock, kFreeLock, kHeldLock };
  const struct {
    std::string name;
    Owner owner;
    bool changedLongAgo;
    bool removed;
  } cases[] = {{std::to_string(ended), kNoLock, false, true},
               {std::to_string(ended), kFreeLock, false, true},
               {std::to_string(other), kFreeLock, false, true},
               {std::to_string(other), kHeldLock, true, false},
               {std::to_string(other), kNoLock, true, true},
               {std::to_string(other), kNoLock, false, false},
               {"notes", kNoLock, true, false}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    const fs::path folder = root / c.name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "work.tmp") << "data";
    if (c.owner != kNoLock) {
      const int fd = open((folder / ".owner").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      ASSERT_GE(fd, 0);
      if (c.owner == kHeldLock) {
        ASSERT_EQ(flock(fd, LOCK_EX), 0);
        held.push_back(fd);
      } else {
        close(fd);
      }
    }
    if (c.changedLongAgo) {
      const timespec hourAgo{time(nullptr) - 3600, 0};
      const timespec times[2] = {hourAgo, hourAgo};
      ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
    }
    CLXApp::RemoveAbandonedTempFolders();
    EXPECT_EQ(fs::exists(folder), !c.removed) << "case " << i << ": " << c.name;
    EXPECT_TRUE(IsDirectory(own)) << "case " << i;
  }
  for (const int fd : held) close(fd);
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);

  // A process of the program holds its folder's lock as long as it runs, and killed, leaves it
  // to the next start.
  auto child = apptest::Start("AppBase.ChildJobs", "temp");
  const std::string reported = apptest::ReadUntil(child, "\n");
  ASSERT_FALSE(reported.empty());
  const fs::path folder = reported.substr(0, reported.size() - 1);
  EXPECT_EQ(folder.parent_path(), root);
  CLXApp::RemoveAbandonedTempFolders();
  EXPECT_TRUE(fs::exists(folder)) << "its process runs";
  kill(child.pid, SIGKILL);
  apptest::Wait(child);
  CLXApp::RemoveAbandonedTempFolders();
  EXPECT_FALSE(fs::exists(folder)) << "its process was killed";

  CLXApp::RemoveTempFolder();
  unsetenv("TMPDIR");
}

TEST(AppBase, NumericExtensionsAreStripped) {
  const struct {
    const wchar_t* name;
    const wchar_t* stripped;
  } cases[] = {{L"Qlw.Crystal.1", L"Qlw.Crystal"}, {L"Qlw.Session-1", L"Qlw.Session-1"}, {L"Qlw.12b", L"Qlw.12b"},
               {L"Qlw.", L"Qlw."}, {L"Qlw.CIF.2024", L"Qlw.CIF"}};
  for (const auto& c : cases) EXPECT_EQ(CLXApp::StripNumericExtension(c.name), CString(c.stripped)) << c.name;
}

TEST(AppBase, RegisteringWithoutChoosingTypesIsQuiet) {
  const struct {
    std::vector<std::string> args;
    bool quiet;
  } cases[] = {{{"/Register"}, true},
               {{"/Unregister"}, true},
               {{"/Register", "/DefTypes=?"}, false},
               {{"/Automation"}, true},
               {{"a.cif"}, false}};
  const CLXAlert::Presenter previous = CLXAlert::SetPresenter([](const CLXAlert&) -> UINT { return 1; });
  const std::string env = std::getenv("QLW_QUIET") ? std::getenv("QLW_QUIET") : "";
  unsetenv("QLW_QUIET");
  for (const auto& c : cases) {
    TestApp app;
    app.Start(c.args);
    EXPECT_EQ(g_silentMode, c.quiet) << c.args[0];
    EXPECT_EQ(CLXAlert::IsQuiet(), c.quiet) << c.args[0];
    app.ExitInstance();
  }
  g_silentMode = false;
  CLXAlert::SetPresenter(previous);
  if (!env.empty()) setenv("QLW_QUIET", env.c_str(), 1);
}

TEST(AppBase, HelpCommandsFindTheirPagesAndWebCommandsHaveNoTarget) {
  TestApp app;
  const struct {
    UINT command;
    const char* folder;
    bool found;
    const wchar_t* url;
  } cases[] = {
      {57671, "/opt/help", true, L"/opt/help/index.html"},
      {32770, "/opt/help/", true, L"/opt/help/pages/Credits.html"},
      {32785, "/opt/help", true, L"/opt/help/pages/WhatsNew.html"},
      {57671, "", false, L""},           // a help page needs the help folder
      {32776, "/opt/help", false, L""},  // no page of its own
      {32774, "/opt/help", true, L"/opt/help/pages/WhatsNew.html"},  // no web address: the local page
      {32774, "", false, L""},
      {32784, "/opt/help", false, L""},  // web addresses: none
      {32783, "/opt/help", false, L""},
      {32782, "", false, L""},
      {12345, "/opt/help", false, L""},
  };
  for (const auto& c : cases) {
    CString url = L"stale";
    EXPECT_EQ(app.GetCommandURL(c.command, CString(c.folder), url), c.found) << c.command;
    EXPECT_EQ(url, CString(c.url)) << c.command;
  }
}

// A guide that no program on the desktop opens is reported; OK then asks for the reader's page,
// for which no web address is known. The desktop's tools are stand-ins first on PATH.
TEST(AppBase, GuideThatNothingOpensIsReportedAndTheReaderPageHasNoAddress) {
  const std::string bin = qlwtest::ScratchDir() + "/no-pdf-viewer";
  std::filesystem::create_directories(bin);
  for (const auto& [name, body] : {std::pair{"xdg-mime", "exit 0"}, std::pair{"xdg-open", "exit 3"}}) {
    std::ofstream(bin + "/" + name) << "#!/bin/sh\n" << body << "\n";
    chmod((bin + "/" + name).c_str(), 0755);
  }
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  static std::vector<std::string> shown;
  static UINT answer = 0;
  const CLXAlert::Presenter previous = CLXAlert::SetPresenter([](const CLXAlert& alert) -> UINT {
    shown.push_back(alert.GetPart(1).ToUtf8());
    return answer;
  });
  const std::string quiet = std::getenv("QLW_QUIET") ? std::getenv("QLW_QUIET") : "";
  unsetenv("QLW_QUIET");
  TestApp app;
  const struct {
    UINT command, cantOpen, answer;
    bool askedForReader;
  } cases[] = {{32779, 20805, 1, true}, {32779, 20805, 2, false}, {32777, 20801, 1, true}, {32777, 20801, 2, false}};
  for (const auto& c : cases) {
    shown.clear();
    answer = c.answer;
    bool noAddress = false;
    try {
      app.OpenHelp(c.command);
    } catch (const CLXXNoWebAddress&) {
      noAddress = true;
    }
    EXPECT_EQ(shown, std::vector<std::string>{qlwtest::AlertMessage(c.cantOpen)}) << c.command;
    EXPECT_EQ(noAddress, c.askedForReader) << c.command << " answered " << c.answer;
  }
  CLXAlert::SetPresenter(previous);
  if (!quiet.empty()) setenv("QLW_QUIET", quiet.c_str(), 1);
  setenv("PATH", path.c_str(), 1);
}

// A guide that nothing opens is said alike from the Help menu and from a link of the help viewer's
// home page; a web link that nothing opens is said as the menu says it of a web address.
TEST(AppBase, AGuideOrLinkThatNothingOpensIsSaidAlikeOnEveryRoad) {
  qlwtest::EnsureWidgetApp("test_app");
  std::unique_ptr<CPreferences> prefs(CPreferences::Create(true));
  setenv("QLW_HELP_DIR", QLW_BIN_DIR "/Quillonographic Help", 1);
  TestApp app;
  static std::vector<std::string> shown;
  // Cancel: the reader's page is not asked for, so each road gives one alert.
  const qlwtest::ScopedPresenter presenter([](const CLXAlert& alert) -> UINT {
    shown.push_back(alert.GetPart(1).ToUtf8());
    return 2;
  });
  if (CLXHelpViewer* old = CLXHelpViewer::Get()) old->DestroyWindow();
  CLXHelpViewer* viewer = CLXHelpViewer::ShowHelp();
  ASSERT_NE(viewer, nullptr);
  viewer->ShowPage(CString(), true);
  QWidget* host = qlw::WidgetOf(::GetDlgItem(viewer->m_hWnd, CLXHelpViewer::kBrowserId));
  auto* browser = host ? host->findChild<QTextBrowser*>() : nullptr;
  ASSERT_NE(browser, nullptr);
  // Clicks the anchor of the home page whose text is `text`, as a user does.
  auto clickLink = [browser](const QString& text) {
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.charFormat().isAnchor() || fragment.text().simplified() != text) continue;
        QTextCursor cursor(document);
        cursor.setPosition(fragment.position() + fragment.length() / 2);
        browser->setTextCursor(cursor);
        browser->ensureCursorVisible();
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(cursor).center());
        return true;
      }
    return false;
  };
  const struct {
    const char* road;
    std::function<void()> take;
    unsigned alert;
  } cases[] = {
      {"Help > User's Guide", [&] { app.OpenHelp(32779); }, 20805},
      {"User's Guide link", [&] { EXPECT_TRUE(clickLink("User's Guide")); }, 20805},
      {"Help > Tutorial", [&] { app.OpenHelp(32777); }, 20801},
      {"Tutorial link", [&] { EXPECT_TRUE(clickLink("Tutorial")); }, 20801},
      {"web link", [&] { browser->setSource(QUrl(QStringLiteral("https://example.org/x"))); }, 20795},
  };
  for (const auto& c : cases) {
    shown.clear();
    qlw::testing::ProcessRecorder noViewer(false);
    c.take();
    EXPECT_EQ(noViewer.Records().size(), 1u) << c.road << ": the desktop was asked once";
    EXPECT_EQ(shown, std::vector<std::string>{qlwtest::AlertMessage(c.alert)}) << c.road;
  }
  viewer->DestroyWindow();
  unsetenv("QLW_HELP_DIR");
}

// The Help menu holds every help command that has a text, the support items between the guides
// and What's New.
TEST(AppBase, HelpMenuOffersTheSupportItems) {
  CMenu bar;
  ASSERT_TRUE(bar.LoadMenu(1000));
  CMenu* help = nullptr;
  for (UINT i = 0; i < bar.GetMenuItemCount(); ++i) {
    CString title;
    bar.GetMenuString(i, title, MF_BYPOSITION);
    if (title == L"&Help") help = bar.GetSubMenu(static_cast<int>(i));
  }
  ASSERT_NE(help, nullptr);
  std::vector<UINT> ids;
  for (UINT i = 0; i < help->GetMenuItemCount(); ++i) ids.push_back(help->GetMenuItemID(static_cast<int>(i)));
  EXPECT_EQ(ids, (std::vector<UINT>{57671, 32779, 32777, 32782, 32784, 32785, 32774, 0, 32769, 57664}));
  CString text;
  help->GetMenuString(32782, text, MF_BYCOMMAND);
  EXPECT_EQ(text, L"Request Technical Support...");
  help->GetMenuString(32784, text, MF_BYCOMMAND);
  EXPECT_EQ(text, L"Web Support Resources");
}

// Each path is one argument of the new process after "--", whatever it holds.
TEST(AppBase, FilesForANewProcessAreOneArgumentEach) {
  TestApp app;
  const std::vector<CString> paths = {L"/tmp/q\" -Unregister \"z.cif", L"/tmp/with blank.cif", L"-dash.cif",
                                      L"/Register", L"sub\\dir/x.cif"};
  {
    qlw::testing::ProcessRecorder recorder;
    EXPECT_TRUE(app.OpenFilesInNewProcess(paths));
    EXPECT_TRUE(app.WasHandedElsewhere());
    const auto records = recorder.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(CString(records[0].program.c_str()), app.GetExecutablePath());
    std::vector<std::wstring> expected = {L"/Embedding", L"--"};
    for (const CString& p : paths) expected.emplace_back(p.GetString());
    EXPECT_EQ(records[0].arguments, expected);
  }
  {
    qlw::testing::ProcessRecorder recorder;
    EXPECT_TRUE(app.OpenFilesInNewProcess({}));
    ASSERT_EQ(recorder.Records().size(), 1u);
    EXPECT_TRUE(recorder.Records()[0].arguments.empty()) << "no file: an empty new window";
  }
  {
    qlw::testing::ProcessRecorder recorder(false);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(app.OpenFilesInNewProcess({L"/tmp/a.cif"}));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "") << "the failure is reported";
    EXPECT_FALSE(app.WasHandedElsewhere());
  }
}

TEST(AppBase, TheSupportQueryNamesTheSystemAndTheProgram) {
  TestApp app;
  app.m_productVersion = L"1.2 beta";
  const struct {
    DWORD major, minor;
    BYTE productType;
    const wchar_t* tag;
  } cases[] = {{5, 1, VER_NT_WORKSTATION, L"winxp"}, {5, 2, VER_NT_WORKSTATION, L"winxp"}, {5, 2, VER_NT_SERVER, L"other"},
               {6, 0, VER_NT_WORKSTATION, L"winvista"}, {6, 1, VER_NT_WORKSTATION, L"win7"},
               {6, 3, VER_NT_WORKSTATION, L"win8_1"}, {6, 1, VER_NT_SERVER, L"other"},
               {10, 0, VER_NT_WORKSTATION, L"other"}};
  for (const auto& c : cases) {
    qlw::SetReportedOSVersion(c.major, c.minor, c.productType);
    CString url = L"https://example.org/support";
    app.GetSystemQuery(url);
    CString expected;
    expected.Format(L"https://example.org/support?os=%s&osver=%lu.%lu(0)&sp=0.0&product=quillonographic&version=1.2%%20beta",
                    c.tag, static_cast<unsigned long>(c.major), static_cast<unsigned long>(c.minor));
    EXPECT_EQ(url, expected);
  }
  qlw::SetReportedOSVersion(10, 0, VER_NT_WORKSTATION);
  CString withQuery = L"https://example.org/s?a=1";
  app.GetSystemQuery(withQuery);
  EXPECT_EQ(withQuery.Left(29), CString(L"https://example.org/s?a=1&os="));
}

TEST(AppBase, TheMessageRegistryIsEmptiedAtExitAndRefilledByAStart) {
  TestApp app;
  app.Start({});
  CLXMessage::IdPair pair;
  EXPECT_TRUE(CLXMessage::LookupId(g_msgAreYouMe, pair));
  app.ExitInstance();
  EXPECT_FALSE(CLXMessage::LookupId(g_msgAreYouMe, pair));
  EXPECT_FALSE(CLXMessage::LookupId(g_msgCancelAsync, pair));
  app.Start({});
  EXPECT_TRUE(CLXMessage::LookupId(g_msgCancelAsync, pair));
  EXPECT_EQ(pair.sync, g_msgCancelSync);
  app.ExitInstance();
}

TEST(AppBase, TheReleaseNotesTimerPostsItsCommandOnce) {
  qlwtest::EnsureWidgetApp("test_app");
  HWND frame = MakeWindow();
  LXAppWindows::SetMainWindow(frame, true);
  g_commands.clear();
  ASSERT_NE(CLXApp::StartReleaseNotesTimer(1), 0u);
  qlwtest::WaitUntil([] {
    QCoreApplication::processEvents();
    return !g_commands.empty();
  });
  // A second shot would come at the timer's next interval.
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(g_commands, std::vector<WPARAM>{CLXApp::kReleaseNotesCommand}) << "one shot";
  LXAppWindows::SetMainWindow(nullptr, false);
  DestroyWindow(frame);
}
