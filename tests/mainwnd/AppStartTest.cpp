// The program's start-up, each instance in a process of its own: files of the command line open
// into one window, a second start hands its files to the running instance, a busy instance makes
// the second start go on by itself, and files for a full window go to another process.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <signal.h>
#include <vector>

#include "../app/ChildProcess.h"
#include "AlertRecorder.h"
#include "CommonDialogs.h"
#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "LXAlert.h"
#include "LXAppDropTarget.h"
#include "LXGdiplus.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwApp.h"
#include "QlwDoc.h"
#include "QlwDocTemplate.h"
#include "QLPattern.h"
#include "StructuresList.h"
#include "StructuresPane.h"
#include "RecentFileList.h"
#include "ShownWindows.h"
#include "TestSupport.h"
#include "WndQt.h"
#include "WidgetApp.h"
#include "testing/ProcessRecorder.h"

namespace fs = std::filesystem;

namespace {
std::string Rutile() { return std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif"; }

// A copy of the example structure under the scratch folder.
std::string CopyOfRutile(const fs::path& path) {
  fs::create_directories(path.parent_path());
  fs::copy_file(Rutile(), path, fs::copy_options::overwrite_existing);
  return path.string();
}

// The application object as the program makes it: its windows are the diffraction window with
// the graphics pane.
class CProgramApp : public CQlwApp {
 public:
  CProgramApp() { SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane)); }
  // While set, the end of a message loop does not end the application, so that a test can go on
  // with it after RunUntil.
  bool m_deferExit = false;
  int ExitInstance() override { return m_deferExit ? 0 : CQlwApp::ExitInstance(); }
};

void SetArguments(CWinApp& app, std::vector<std::string> args) {
  args.insert(args.begin(), "quillonographic");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  app.SetArguments(static_cast<int>(argv.size()), argv.data());
}

CQlwDoc* Document(CQlwApp& app) {
  auto* frame = dynamic_cast<CFrameWnd*>(app.GetDocWindow());
  return frame ? dynamic_cast<CQlwDoc*>(frame->GetActiveDocument()) : nullptr;
}

size_t PatternCount(CQlwApp& app) {
  CQlwDoc* doc = Document(app);
  return doc ? doc->GetPatterns().size() : 0;
}

// Runs the message loop until done answers true or the time is up.
void RunUntil(CQlwApp& app, const std::function<bool()>& done, int timeoutMs) {
  QTimer poll;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // One quit only: on a loaded machine a second tick can come before the loop ends, and its quit
  // would end the next run at once.
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || std::chrono::steady_clock::now() > end) {
      poll.stop();
      PostQuitMessage(0);
    }
  });
  poll.start(20);
  app.Run();
  EXPECT_FALSE(poll.isActive()) << "the loop was ended by a quit other than this wait's";
}

// A window that says it is the running instance, then keeps its thread busy far beyond the
// hand-over's time-out, as an instance computing a large structure would.
LRESULT CALLBACK BusyInstanceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g_msgAreYouMe) {
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    return static_cast<LRESULT>(g_msgAreYouMe);
  }
  if (message == WM_USER + 1) {
    std::this_thread::sleep_for(std::chrono::seconds(12));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr int kManyFiles = 21;

void RunChildJob(const std::string& job) {
  qlwtest::EnsureWidgetApp("quillonographic");
  const fs::path scratch = qlwtest::ScratchDir();
  if (job == "first") {
    CProgramApp app;
    SetArguments(app, {});
    if (!app.InitInstance()) _exit(3);
    apptest::Report("ready\n");
    RunUntil(app, [&] { return PatternCount(app) > 0; }, apptest::kChildWaitMs);
    apptest::Report("patterns " + std::to_string(PatternCount(app)) + "\n");
    _exit(0);
  }
  if (job == "hand-over") {
    CProgramApp app;
    SetArguments(app, {std::getenv("QLW_HANDED_FILE")});
    const BOOL own = app.InitInstance();
    _exit(own ? 4 : 0);
  }
  if (job == "second") {
    CProgramApp app;
    SetArguments(app, {CopyOfRutile(scratch / "handed.cif")});
    const BOOL own = app.InitInstance();
    apptest::Report(own ? "own\n" : "handed\n");
    _exit(app.ExitInstance());
  }
  if (job == "asking") {
    // Many files: the question is up, and answered with QLW_ANSWER once the go file appears.
    unsetenv("QLW_QUIET");
    std::vector<std::string> args;
    for (int i = 0; i < kManyFiles; ++i) args.push_back(CopyOfRutile(scratch / "many" / (std::to_string(i) + ".cif")));
    CProgramApp app;
    SetArguments(app, args);
    const fs::path go = std::getenv("QLW_GO_FILE");
    const std::string answer = std::getenv("QLW_ANSWER");
    QTimer poll;
    bool asked = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box) return;
      if (!asked) apptest::Report("asking\n");
      asked = true;
      if (!fs::exists(go)) return;
      for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
        if (button->text() == QString::fromStdString(answer)) button->click();
    });
    poll.start(20);
    // A file for a window that holds patterns goes to a new process: recorded here.
    qlw::testing::ProcessRecorder launches;
    if (!app.InitInstance()) _exit(3);
    poll.stop();
    // Here, or in a window of its own when it comes after the list.
    auto launched = [&] {
      size_t files = 0;
      for (const auto& record : launches.Records())
        for (const std::wstring& argument : record.arguments) files += argument != L"/Embedding" && argument != L"--";
      return files;
    };
    const size_t opened = answer == "Continue" ? kManyFiles + 1 : 1;
    RunUntil(app, [&] { return PatternCount(app) + launched() >= opened; }, apptest::kChildWaitMs);
    RunUntil(app, [] { return false; }, 300);
    apptest::Report("opened " + std::to_string(PatternCount(app) + launched()) + "\n");
    _exit(0);
  }
  if (job == "at-once") {
    // Ready before the line, then off when the go file appears: the two starts meet within a
    // fraction of a millisecond.
    CProgramApp app;
    SetArguments(app, {});
    const fs::path go = std::getenv("QLW_GO_FILE");
    apptest::Report("waiting\n");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(go) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    const BOOL own = app.InitInstance();
    apptest::Report(own ? "own\n" : "handed\n");
    if (!own) _exit(app.ExitInstance());
    RunUntil(app, [] { return false; }, 30000);
    _exit(0);
  }
  if (job == "origin") {
    CProgramApp app;
    app.m_deferExit = true;
    // A window that holds a pattern: an empty one would take the new document itself.
    SetArguments(app, {CopyOfRutile(scratch / "origin.cif")});
    if (!app.InitInstance()) _exit(5);
    RunUntil(app, [&] { return PatternCount(app) > 0; }, apptest::kChildWaitMs);
    // A window stores its place only once it has been painted and the program is active: a busy
    // machine can take longer than a moment for that.
    RunUntil(app, [&] {
      const auto* frame = dynamic_cast<CQlwMainFrame*>(app.GetDocWindow());
      return frame && !frame->IsFirstPaintPending() && frame->IsAppActive() && !frame->IsSuspended();
    }, 20000);
    RunUntil(app, [] { return false; }, 200);
    // Made small enough for the test's screen, so that the new window below it needs no fitting:
    // without its side panes (which the new window takes over from the preferences).
    if (auto* window = dynamic_cast<CDiffractWnd*>(app.GetDocWindow())) {
      if (window->IsPatternsPaneShown()) window->SendMessage(WM_COMMAND, CDiffractWnd::kCmdShowPatterns, 0);
      if (window->IsParametersPaneShown()) window->SendMessage(WM_COMMAND, CDiffractWnd::kCmdShowParameters, 0);
    }
    RunUntil(app, [] { return false; }, 100);
    app.GetDocWindow()->MoveWindow(17, 41, 600, 400);
    RunUntil(app, [] { return false; }, 100);
    // Moved without a change of size, then asked for a new window.
    RECT before{};
    app.GetDocWindow()->GetWindowRect(&before);
    app.GetDocWindow()->MoveWindow(before.left + 17, before.top + 41, before.right - before.left,
                                   before.bottom - before.top);
    // The window stores that the first launch is over only once it has idled for a while, which a
    // busy machine or a quick user may not give it: the store still says first launch, and a new
    // window placed as on a first launch would not cascade.
    {
      CPrefScalar<bool> firstLaunch(L"FirstLaunch", CLXPreferences::kGroupFiles, nullptr);
      firstLaunch.Set(true);
      firstLaunch.Write();
    }
    {
      // File > New Window, recorded rather than started: the test process plays the new window.
      qlw::testing::ProcessRecorder launches;
      app.GetDocWindow()->SendMessage(WM_COMMAND, 57600, 0);
      if (launches.Records().size() != 1) _exit(6);
    }
    RECT r{};
    app.GetDocWindow()->GetWindowRect(&r);
    // Its session, saved where the window is but at a size of its own, for the new window to open;
    // the window's stored place keeps the size from before.
    app.GetDocWindow()->MoveWindow(r.left, r.top, 680, 450);
    RunUntil(app, [] { return false; }, 100);
    RECT saved{};
    app.GetDocWindow()->GetWindowRect(&saved);
    const std::string session = (scratch / "origin.quillonographic").string();
    if (!Document(app) || !Document(app)->OnSaveDocument(CString(session.c_str()).GetString())) _exit(7);
    app.GetDocWindow()->MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
    RunUntil(app, [] { return false; }, 100);
    g_pPreferences->SaveAllWindowStates();
    apptest::Report("ready " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                    std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + " " +
                    std::to_string(saved.right - saved.left) + " " + std::to_string(saved.bottom - saved.top) + " " +
                    session + "\n");
    RunUntil(app, [] { return false; }, 30000);
    _exit(0);
  }
  if (job == "busy") {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BusyInstanceProc;
    wc.lpszClassName = L"BusyInstance";
    RegisterClassW(&wc);
    CreateWindowW(L"BusyInstance", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    qlw::StartWindowServer();
    apptest::Report("ready\n");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    _exit(0);
  }
  if (job == "after-busy") {
    CProgramApp app;
    SetArguments(app, {CopyOfRutile(scratch / "late.cif")});
    if (!app.InitInstance()) _exit(4);
    RunUntil(app, [&] { return PatternCount(app) > 0; }, apptest::kChildWaitMs);
    apptest::Report("own window, patterns " + std::to_string(PatternCount(app)) + "\n");
    _exit(0);
  }
  _exit(2);
}

// Each test leaves no main window behind for the next application object of this process.
class AppStart : public testing::Test {
 protected:
  void SetUp() override {
    qlwtest::EnsureWidgetApp("quillonographic");
    // A start is a new process: the start would take a store left by an earlier test's window
    // (nobody's now) for its own instead of reading the stored preferences.
    delete g_pPreferences;
  }
  void TearDown() override { EndApp(); }
  // Ends the application of the test, as TearDown does, for a test that starts several in turn.
  void EndApp() {
    if (m_app) {
      if (CWnd* window = m_app->GetDocWindow()) window->DestroyWindow();
      m_app->m_deferExit = false;
      m_app->ExitInstance();
      m_app.reset();
    }
    LXAppWindows::SetMainWindow(nullptr, false);
    // The main window going asked the ended application's loop to quit: left in the queue, that
    // quit would end the next application's first loop at once.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  CQlwApp& NewApp(const std::vector<std::string>& args) {
    m_app = std::make_unique<CProgramApp>();
    m_app->m_deferExit = true;
    SetArguments(*m_app, args);
    return *m_app;
  }
  std::unique_ptr<CProgramApp> m_app;
};
}  // namespace

// Runs only in child processes: one instance of the program each.
TEST(AppStartChild, Jobs) {
  if (!apptest::Job()) GTEST_SKIP() << "runs in child processes only";
  RunChildJob(apptest::Job());
}

TEST_F(AppStart, FilesOfTheCommandLineOpenAsOneDropIntoOneDocument) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "start";
  const std::string a = CopyOfRutile(scratch / "a.cif");
  // A folder is walked like a dropped one: its files open, a link to another folder is not followed.
  CopyOfRutile(scratch / "folder" / "b.cif");
  CopyOfRutile(scratch / "elsewhere" / "c.cif");
  fs::create_directory_symlink(scratch / "elsewhere", scratch / "folder" / "link");

  CQlwApp& app = NewApp({a, (scratch / "folder").string()});
  ASSERT_TRUE(app.InitInstance());
  ASSERT_NE(app.GetDocWindow(), nullptr) << "the window exists before the files arrive";
  EXPECT_TRUE(IsWindowVisible(app.GetMainFrame()));
  RunUntil(app, [&] { return PatternCount(app) >= 2; }, apptest::kChildWaitMs);
  ASSERT_NE(Document(app), nullptr);
  EXPECT_EQ(PatternCount(app), 2u);
  EXPECT_FALSE(g_openInSameWindow);
}

TEST_F(AppStart, ManyFilesOnTheCommandLineAskOnceBeforeOpening) {
  std::vector<std::string> args;
  for (int i = 0; i < 21; ++i) args.push_back(qlwtest::ScratchDir() + "/missing-" + std::to_string(i) + ".cif");
  CQlwApp& app = NewApp(args);
  testing::internal::CaptureStderr();
  const BOOL started = app.InitInstance();
  RunUntil(app, [] { return false; }, 300);
  const std::string alerts = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(started);
  size_t questions = 0;
  for (size_t at = alerts.find("21 files"); at != std::string::npos; at = alerts.find("21 files", at + 1)) ++questions;
  EXPECT_EQ(questions, 1u) << alerts;
  EXPECT_EQ(PatternCount(app), 0u);
}

// A list of files, as dropped on the window, stops at the file being opened when Escape comes.
TEST_F(AppStart, EscapeStopsOpeningAListOfFiles) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "escape";
  std::vector<CString> files;
  for (const char* name : {"a.cif", "b.cif", "c.cif"}) files.emplace_back(CopyOfRutile(scratch / name).c_str());
  CQlwApp& app = NewApp({});
  ASSERT_TRUE(app.InitInstance());
  RunUntil(app, [&] { return Document(app) != nullptr; }, apptest::kChildWaitMs);
  ASSERT_NE(Document(app), nullptr);
  QWidget focus;
  focus.show();
  QCoreApplication::postEvent(&focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  EXPECT_FALSE(app.OpenFileList(files, 0));
  EXPECT_EQ(PatternCount(app), 1u);
  // The cancel does not stick: the next list (into this window) opens whole.
  qlw::testing::ProcessRecorder launches;
  g_openInSameWindow = true;
  EXPECT_TRUE(app.OpenFileList({files[1], files[2]}, 0));
  g_openInSameWindow = false;
  EXPECT_EQ(PatternCount(app), 3u);
  EXPECT_TRUE(launches.Records().empty());
}

TEST_F(AppStart, ExitRevokesTheDropTargetOfTheProgram) {
  CQlwApp& app = NewApp({});
  ASSERT_TRUE(app.InitInstance());
  ASSERT_NE(CLXAppDropTarget::GetFactory(), nullptr);
  if (CWnd* window = app.GetDocWindow()) window->DestroyWindow();
  m_app->m_deferExit = false;
  m_app->ExitInstance();
  m_app.reset();
  EXPECT_EQ(CLXAppDropTarget::GetFactory(), nullptr);
  EXPECT_FALSE(CLXAppDropTarget::DropFiles({CString(Rutile().c_str())}));
}

// Start-up loads the list of ten; a file opened through the window and a session saved from it
// become recent, in the registry and on the desktop's list with the program's types and name.
TEST_F(AppStart, FilesOpenedAndSavedBecomeRecent) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "recent";
  const fs::path data = scratch / "data";
  fs::remove_all(scratch);
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  const std::string cif = CopyOfRutile(scratch / "rutile.cif");
  const std::string session = (scratch / "work.diffract").string();
  CQlwApp& app = NewApp({});
  ASSERT_TRUE(app.InitInstance());
  ASSERT_NE(app.m_pRecentFileList, nullptr);
  EXPECT_EQ(app.m_pRecentFileList->GetSize(), 10);
  ASSERT_NE(app.OpenDocumentFile(CString(cif.c_str())), nullptr);
  EXPECT_EQ((*app.m_pRecentFileList)[0].ToUtf8(), cif);
  ASSERT_NE(Document(app), nullptr);
  ASSERT_TRUE(Document(app)->DoSave(CString(session.c_str()), true));
  CRecentFileList stored(0, L"Recent File List", L"File%d", 10);
  stored.ReadList();
  EXPECT_EQ(stored[0].ToUtf8(), session);
  EXPECT_EQ(stored[1].ToUtf8(), cif);

  std::ifstream in(data / "recently-used.xbel");
  const std::string list((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  setenv("XDG_DATA_HOME", (fs::path(qlwtest::ScratchDir()) / "data").c_str(), 1);
  for (const std::string& expected :
       {"href=\"file://" + cif + "\"", "href=\"file://" + session + "\"", std::string("type=\"chemical/x-cif\""),
        std::string("type=\"application/x-quillonographic-session\""), std::string("name=\"Quillonographic\"")})
    EXPECT_NE(list.find(expected), std::string::npos) << expected << "\n" << list;
}

TEST_F(AppStart, TheGraphicsLibraryStopsWithTheApplicationThatStartedIt) {
  if (GdiplusStarted()) StopGdiplus();  // left running by another test
  CQlwApp& app = NewApp({});
  ASSERT_TRUE(app.InitInstance());
  EXPECT_TRUE(GdiplusStarted());
  if (CWnd* window = app.GetDocWindow()) window->DestroyWindow();
  m_app->m_deferExit = false;
  m_app->ExitInstance();
  m_app.reset();
  EXPECT_FALSE(GdiplusStarted());
  EXPECT_EQ(g_blackPixel, nullptr);
}

TEST_F(AppStart, ASecondStartHandsItsFileToTheRunningInstance) {
  auto first = apptest::Start("AppStartChild.Jobs", "first");
  ASSERT_EQ(apptest::ReadUntil(first, "ready\n"), "ready\n");
  auto second = apptest::Start("AppStartChild.Jobs", "second");
  EXPECT_EQ(apptest::ReadUntil(second, "\n"), "handed\n");
  EXPECT_EQ(apptest::Wait(second), 0);
  EXPECT_EQ(apptest::ReadUntil(first, "\n"), "patterns 1\n");
  EXPECT_EQ(apptest::Wait(first), 0);
}

// Two starts at the same moment behave as two a second apart: one instance, to which the other
// hands over. Several rounds, since the race they run is not the same each time.
TEST_F(AppStart, StartsAtTheSameMomentMakeOneInstance) {
  for (int round = 0; round < 4; ++round) {
    const fs::path go = fs::path(qlwtest::ScratchDir()) / ("go-" + std::to_string(round));
    auto a = apptest::Start("AppStartChild.Jobs", "at-once", {"QLW_GO_FILE=" + go.string()});
    auto b = apptest::Start("AppStartChild.Jobs", "at-once", {"QLW_GO_FILE=" + go.string()});
    ASSERT_EQ(apptest::ReadUntil(a, "waiting\n"), "waiting\n");
    ASSERT_EQ(apptest::ReadUntil(b, "waiting\n"), "waiting\n");
    std::ofstream(go).put('\n');
    std::vector<std::string> outcomes{apptest::ReadUntil(a, "\n"), apptest::ReadUntil(b, "\n")};
    std::sort(outcomes.begin(), outcomes.end());
    EXPECT_EQ(outcomes, (std::vector<std::string>{"handed\n", "own\n"})) << "round " << round;
    kill(a.pid, SIGKILL);
    kill(b.pid, SIGKILL);
    apptest::Wait(a);
    apptest::Wait(b);
  }
}

// A second start while the first still asks about its many files: the handed file opens after the
// first's files once the user continues, and alone after Cancel. The second start ends once the first
// has taken its file.
TEST_F(AppStart, AFileHandedOverWhileTheManyFilesQuestionIsUpOpensAfterIt) {
  const struct {
    const char* answer;
    std::string report;
  } cases[] = {{"Continue", "opened " + std::to_string(kManyFiles + 1) + "\n"}, {"Cancel", "opened 1\n"}};
  for (const auto& c : cases) {
    const fs::path go = fs::path(qlwtest::ScratchDir()) / (std::string("go-") + c.answer);
    auto first = apptest::Start("AppStartChild.Jobs", "asking",
                                {"QLW_GO_FILE=" + go.string(), std::string("QLW_ANSWER=") + c.answer});
    ASSERT_EQ(apptest::ReadUntil(first, "asking\n"), "asking\n") << c.answer;
    auto second = apptest::Start("AppStartChild.Jobs", "second");
    EXPECT_EQ(apptest::ReadUntil(second, "\n"), "handed\n") << c.answer;
    EXPECT_EQ(apptest::Wait(second), 0) << c.answer;
    std::ofstream(go).put('\n');
    EXPECT_EQ(apptest::ReadUntil(first, "\n"), c.report) << c.answer;
    EXPECT_EQ(apptest::Wait(first), 0) << c.answer;
  }
}

// Files handed to a window that holds patterns go to a new window: the user is asked about many
// of them in the window that received them, and the new window opens them without asking again.
TEST_F(AppStart, ManyFilesPassedToANewWindowAreAskedAboutOnce) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "passed-on";
  std::vector<CString> files;
  for (int i = 0; i < kManyFiles; ++i) files.emplace_back(CopyOfRutile(scratch / (std::to_string(i) + ".cif")).c_str());
  auto questions = [](const std::string& alerts) {
    const std::string asked = std::to_string(kManyFiles) + " files";
    size_t count = 0;
    for (size_t at = alerts.find(asked); at != std::string::npos; at = alerts.find(asked, at + 1)) ++count;
    return count;
  };
  std::vector<std::wstring> arguments;
  {
    CQlwApp& app = NewApp({Rutile()});
    ASSERT_TRUE(app.InitInstance());
    RunUntil(app, [&] { return PatternCount(app) > 0; }, apptest::kChildWaitMs);
    qlw::testing::ProcessRecorder launches;
    testing::internal::CaptureStderr();
    // As a second start's files arrive.
    ASSERT_TRUE(CLXAppDropTarget::DropFiles(files));
    RunUntil(app, [&] { return !launches.Records().empty(); }, apptest::kChildWaitMs);
    EXPECT_EQ(questions(testing::internal::GetCapturedStderr()), 1u);
    ASSERT_EQ(launches.Records().size(), 1u);
    arguments = launches.Records()[0].arguments;
    EXPECT_EQ(PatternCount(app), 1u);
    EndApp();
    // The new window's start is a process of its own, with no store of this one's.
    delete g_pPreferences;
  }
  std::vector<std::string> args;
  for (const std::wstring& argument : arguments) args.push_back(CString(argument.c_str()).ToUtf8());
  ASSERT_EQ(args.size(), files.size() + 2);
  CQlwApp& app = NewApp(args);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(app.InitInstance());
  RunUntil(app, [&] { return PatternCount(app) >= files.size(); }, apptest::kChildWaitMs);
  EXPECT_EQ(questions(testing::internal::GetCapturedStderr()), 0u);
  EXPECT_EQ(PatternCount(app), files.size());
}

TEST_F(AppStart, ASecondStartThatABusyInstanceDoesNotTakeOpensItsOwnWindow) {
  auto busy = apptest::Start("AppStartChild.Jobs", "busy");
  ASSERT_EQ(apptest::ReadUntil(busy, "ready\n"), "ready\n");
  auto second = apptest::Start("AppStartChild.Jobs", "after-busy");
  EXPECT_EQ(apptest::ReadUntil(second, "\n"), "own window, patterns 1\n");
  EXPECT_EQ(apptest::Wait(second), 0);
  kill(busy.pid, SIGKILL);
  apptest::Wait(busy);
}

TEST_F(AppStart, FilesForAWindowThatHoldsPatternsGoToAnotherProcess) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "routing";
  const std::string a = CopyOfRutile(scratch / "a.cif");
  const std::string b = CopyOfRutile(scratch / "b.cif");
  CQlwApp& app = NewApp({a});
  ASSERT_TRUE(app.InitInstance());
  RunUntil(app, [&] { return PatternCount(app) > 0; }, apptest::kChildWaitMs);
  ASSERT_EQ(PatternCount(app), 1u);

  qlw::testing::ProcessRecorder launches;
  EXPECT_EQ(app.OpenDocumentFile(CString(b.c_str())), nullptr);
  app.OnNewWindow();
  const auto records = launches.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].arguments, (std::vector<std::wstring>{L"/Embedding", L"--", CString(b.c_str()).GetString()}));
  EXPECT_EQ(records[1].arguments, std::vector<std::wstring>{L"/Embedding"});
  // File > New Window from the window's menu takes the same road.
  app.GetDocWindow()->SendMessage(WM_COMMAND, 57600, 0);
  ASSERT_EQ(launches.Records().size(), 3u);
  EXPECT_EQ(launches.Records()[2].arguments, std::vector<std::wstring>{L"/Embedding"});
  // A list of files, dropped or handed over, goes whole to one new window.
  EXPECT_TRUE(app.OpenFileList({CString(a.c_str()), CString(b.c_str())}, 0));
  ASSERT_EQ(launches.Records().size(), 4u);
  EXPECT_EQ(launches.Records()[3].arguments,
            (std::vector<std::wstring>{L"/Embedding", L"--", CString(a.c_str()).GetString(), CString(b.c_str()).GetString()}));
  EXPECT_EQ(PatternCount(app), 1u) << "this window is left as it was";
  EXPECT_FALSE(g_openInSameWindow);

  // Open in Same Window adds to it instead.
  g_openInSameWindow = true;
  EXPECT_NE(app.OpenDocumentFile(CString(b.c_str())), nullptr);
  g_openInSameWindow = false;
  EXPECT_EQ(PatternCount(app), 2u);
  EXPECT_EQ(launches.Records().size(), 4u);
}

TEST_F(AppStart, FilesThatCannotBeReadAreReportedHereAndOpenNoNewWindow) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "unreadable";
  const std::string a = CopyOfRutile(scratch / "a.cif");
  const std::string good = CopyOfRutile(scratch / "good.cif");
  std::string text;
  {
    std::ifstream in(Rutile());
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string cut = (scratch / "cut.cif").string();
  std::ofstream(cut) << text.substr(0, text.find("_atom_site_fract_z") + 3);
  CQlwApp& app = NewApp({a});
  ASSERT_TRUE(app.InitInstance());
  RunUntil(app, [&] { return PatternCount(app) > 0; }, apptest::kChildWaitMs);
  ASSERT_EQ(PatternCount(app), 1u);

  qlw::testing::ProcessRecorder launches;
  testing::internal::CaptureStderr();
  EXPECT_EQ(app.OpenDocumentFile(CString(cut.c_str())), nullptr);
  EXPECT_FALSE(app.OpenFileList({CString(cut.c_str()), CString(cut.c_str())}, 0));
  const std::string alerts = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(launches.Records().empty()) << "a new window would stay empty";
  EXPECT_NE(alerts.find("Unexpected end of input file"), std::string::npos) << alerts;
  // Of a list, only what can be read goes to the new window.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(app.OpenFileList({CString(cut.c_str()), CString(good.c_str())}, 0));
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(launches.Records().size(), 1u);
  EXPECT_EQ(launches.Records()[0].arguments,
            (std::vector<std::wstring>{L"/Embedding", L"--", CString(good.c_str()).GetString()}));
  EXPECT_EQ(PatternCount(app), 1u);
}

namespace {
// The start of the example rutile up to and with the first `through` characters of `item`.
std::string RutileCutAt(const std::string& item, size_t through) {
  std::ifstream in(Rutile());
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  return text.substr(0, text.find(item) + through);
}

void AnswerFileDialogWith(const std::string& path) {
  qlw::SetCommonDialogAnswer([path](QDialog* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(files, nullptr);
    files->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(files)->accept();
  });
}

// A rutile cut inside its atom loop, in a scratch folder of its own.
std::string CutRutileIn(const char* folder) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / folder;
  fs::create_directories(scratch);
  const std::string cut = (scratch / "cut.cif").string();
  std::ofstream(cut) << RutileCutAt("_atom_site_fract_z", 3);
  return cut;
}

// A way for a file to reach the running program.
struct Road {
  const char* name;
  std::vector<std::string> args;
  std::function<void(CQlwApp&)> open;
};

// The roads of this process's own to a reading of `path`: a hand-over ends in the command line's.
std::vector<Road> OwnRoadsTo(const std::string& path) {
  return {
      {"command line", {path}, [](CQlwApp&) {}},
      {"drop", {}, [path](CQlwApp&) { CLXAppDropTarget::DropFiles({CString(path.c_str())}); }},
      {"File > Open", {},
       [path](CQlwApp& app) {
         AnswerFileDialogWith(path);
         app.ShowOpenDialog();
         qlw::SetCommonDialogAnswer(nullptr);
       }},
  };
}
}  // namespace

// A file that cannot be read into the window is reported once, by its reader, whichever road it
// came by; the document adds no alert of its own after it.
TEST_F(AppStart, AFileThatCannotBeReadGivesOnlyItsReadersAlert) {
  const std::string cut = CutRutileIn("reader-alert");
  // A second start hands its file over to this running instance.
  static std::optional<apptest::Child> second;
  std::vector<Road> roads = OwnRoadsTo(cut);
  roads.push_back({"hand-over", {}, [cut](CQlwApp&) {
                     second.emplace(apptest::Start("AppStartChild.Jobs", "hand-over",
                                                   {"QLW_HANDED_FILE=" + cut, "QLW_QUIET=1"}));
                   }});
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    delete g_pPreferences;
    CQlwApp& app = NewApp(road.args);
    ASSERT_TRUE(app.InitInstance());
    // After the start-up, which installs the program's own alert box.
    std::optional<qlwtest::AlertRecorder> alerts(std::in_place);
    road.open(app);
    RunUntil(app, [] { return !qlwtest::AlertRecorder::Seen().empty(); }, apptest::kChildWaitMs);
    RunUntil(app, [] { return false; }, 300);
    if (second) {
      // The loop goes on meanwhile: a second start still looking for this instance waits on it.
      int exitCode = -1;
      RunUntil(app, [&] { return apptest::Ended(*second, exitCode); }, apptest::kChildWaitMs);
      EXPECT_EQ(exitCode, 0) << "the second start opened its own window";
    }
    second.reset();
    EXPECT_EQ(qlwtest::AlertRecorder::Messages(), std::vector<std::wstring>{L"Unexpected end of input file."});
    EXPECT_EQ(PatternCount(app), 0u);
    alerts.reset();
    EndApp();
  }
}

// The new window plays the process that File > New Window, or files for a full window, start.
// newApp makes the application from the origin's session; a session gives the new window its size.
void ExpectCascadeFromOrigin(const std::function<CQlwApp&(const std::string&)>& newApp, size_t patterns,
                             bool sessionSize = false) {
  auto origin = apptest::Start("AppStartChild.Jobs", "origin");
  const std::string ready = apptest::ReadUntil(origin, "\n");
  int left = 0, top = 0, width = 0, height = 0, sessionWidth = 0, sessionHeight = 0;
  char session[4096] = {};
  ASSERT_EQ(std::sscanf(ready.c_str(), "ready %d %d %d %d %d %d %4095s", &left, &top, &width, &height, &sessionWidth,
                        &sessionHeight, session),
            7)
      << ready;
  ASSERT_NE(sessionWidth, width) << "the session holds a size other than the stored one";
  if (sessionSize) {
    width = sessionWidth;
    height = sessionHeight;
  }
  // As File > New Window starts from a window that has long been there: the first window answers
  // other processes once they can reach it.
  qlwtest::WaitUntil([] { return CLXApp::FindOtherInstanceWindow() != nullptr; });
  ASSERT_NE(CLXApp::FindOtherInstanceWindow(), nullptr) << "the first window never answered";
  CQlwApp& app = newApp(session);
  ASSERT_TRUE(app.InitInstance());
  RunUntil(app, [&] { return PatternCount(app) >= patterns; }, apptest::kChildWaitMs);
  RunUntil(app, [] { return false; }, 300);
  EXPECT_EQ(PatternCount(app), patterns);
  RECT r{};
  app.GetDocWindow()->GetWindowRect(&r);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  EXPECT_EQ(r.left, left + caption);
  EXPECT_EQ(r.top, top + caption);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
  kill(origin.pid, SIGKILL);
  apptest::Wait(origin);
}

TEST_F(AppStart, ANewWindowCascadesFromTheWindowItComesFrom) {
  ExpectCascadeFromOrigin([&](const std::string&) -> CQlwApp& { return NewApp({"/Embedding"}); }, 0);
}

// A structure file says nothing of where its window goes: its reading leaves the cascade alone.
TEST_F(AppStart, ANewWindowForAFileCascadesFromTheWindowItComesFrom) {
  const std::string file = CopyOfRutile(fs::path(qlwtest::ScratchDir()) / "cascade" / "handed.cif");
  ExpectCascadeFromOrigin([&](const std::string&) -> CQlwApp& { return NewApp({"/Embedding", "--", file}); }, 1);
}

// A session saved by the window it comes from holds that window's place: the new window for it
// cascades all the same, rather than landing exactly over the other, and takes the session's size.
TEST_F(AppStart, ANewWindowForASessionCascadesFromTheWindowItComesFrom) {
  ExpectCascadeFromOrigin(
      [&](const std::string& session) -> CQlwApp& { return NewApp({"/Embedding", "--", session}); }, 1, true);
}

TEST_F(AppStart, RegisteringFromTheCommandLineEndsCleanlyAndUnregisteringLeavesNothing) {
  const fs::path home = fs::path(qlwtest::ScratchDir()) / "register-home";
  fs::remove_all(home);
  fs::create_directories(home);
  const std::string program = std::string(QLW_BIN_DIR) + "/quillonographic";
  ASSERT_TRUE(fs::exists(program));
  // A new user's home: no documents folder and no desktop database yet.
  const std::string prefix = "env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u QLW_REGISTRY_DIR HOME='" + home.string() +
                             "' '" + program + "' ";
  const fs::path entry = home / ".local/share/applications/quillonographic.desktop";
  // Several rounds: the exit once crashed in the preference store's last registry write.
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(std::system((prefix + "/Register").c_str()), 0) << round;
    EXPECT_TRUE(fs::exists(entry)) << round;
    EXPECT_FALSE(fs::exists(home / "Documents")) << round;
    EXPECT_EQ(std::system((prefix + "/Unregister").c_str()), 0) << round;
    EXPECT_FALSE(fs::exists(entry)) << round;
  }
  // Only the settings store and the desktop's base folders stay.
  std::vector<std::string> left;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(home)) {
    const std::string path = fs::relative(e.path(), home).string();
    if (path != ".config" && path != ".local" && path != ".local/share" && path.rfind(".config/quillonographic", 0) != 0)
      left.push_back(path);
  }
  EXPECT_EQ(left, std::vector<std::string>{});
}

TEST_F(AppStart, EveryDocumentTypeHasItsTemplateAndTheSessionsIsTheMainOne) {
  CQlwApp& app = NewApp({});
  app.RegisterDocTemplates();
  ASSERT_NE(app.GetMainDocTemplate(), nullptr);
  EXPECT_EQ(app.GetMainDocTemplate()->m_nIDResource, 1030u);
  const struct {
    uint32_t fileType;
    UINT stringId;
  } cases[] = {{1, 1001}, {6, 1001}, {4, 1003}, {22, 1009}, {10, 1030}, {11, 1031}, {12, 1035}};
  for (const auto& c : cases) {
    CDocTemplate* docTemplate = app.GetTemplateForFileType(c.fileType);
    ASSERT_NE(docTemplate, nullptr) << c.fileType;
    EXPECT_EQ(docTemplate->m_nIDResource, c.stringId) << c.fileType;
    EXPECT_EQ(docTemplate->m_pFrameClass, RUNTIME_CLASS(CDiffractWnd)) << c.fileType;
  }
  EXPECT_EQ(app.GetTemplateForFileType(99), nullptr);
}

// Each file after the first opens into a new document that takes the patterns shown before: the
// plot's height must be fitted to them too. Anatase's strongest peak is higher than rutile's, and
// it stood cut off at the top when rutile came second.
TEST_F(AppStart, EveryFileOfTheCommandLineFitsUnderTheAutoscaledTop) {
  const std::string anatase = std::string(QLW_SOURCE_DIR) + "/examples/anatase-TiO2.cif";
  CQlwApp& app = NewApp({anatase, Rutile()});
  ASSERT_TRUE(app.InitInstance());
  RunUntil(app, [&] { return PatternCount(app) >= 2; }, apptest::kChildWaitMs);
  CQlwDoc* doc = Document(app);
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(PatternCount(app), 2u);
  const CDiffractionSettings& s = *doc->GetSettings();
  for (const auto& p : doc->GetPatterns()) {
    const double top = p->GetMaxIntensityInRange(s.m_visibleXMin, s.m_visibleXMax);
    EXPECT_GT(top, 0.0) << p->m_title.ToUtf8();
    EXPECT_LE(top, s.m_visibleYMax) << p->m_title.ToUtf8();
  }
}

namespace {
// The titles of the document's top-level patterns, top to bottom.
std::vector<std::wstring> Titles(CQlwApp& app) {
  std::vector<std::wstring> titles;
  if (CQlwDoc* doc = Document(app))
    for (const CQLPatternPtr& p : doc->GetPatterns()) titles.push_back(p->m_title.GetString());
  return titles;
}

// The patterns the list of the window shows, top to bottom.
std::vector<const CQLPattern*> ListedPatterns(CQlwApp& app) {
  std::vector<const CQLPattern*> listed;
  auto* window = dynamic_cast<CDiffractWnd*>(app.GetDocWindow());
  auto* pane = window ? dynamic_cast<CStructuresPane*>(window->GetPatternsPane()) : nullptr;
  if (pane)
    for (const auto& row : pane->GetList().GetRows()) listed.push_back(row.pattern.get());
  return listed;
}

std::vector<const CQLPattern*> TreePatterns(CQlwApp& app) {
  std::vector<const CQLPattern*> tree;
  if (CQlwDoc* doc = Document(app))
    for (const CQLPatternPtr& p : doc->GetPatterns()) tree.push_back(p.get());
  return tree;
}

}  // namespace

// Files opened together are listed in the order given, the first with the first colour; a measured
// pattern among them is scaled to the crystals' height, as every change of the tree scales it.
// The command line listed them the other way round and left the measured one unscaled.
TEST_F(AppStart, FilesOpenedTogetherKeepTheirOrderAndAMeasuredOneIsScaled) {
  static const std::string measured = std::string(QLW_SOURCE_DIR) + "/examples/rutile-anatase-measured.dat";
  struct Road {
    const char* name;
    std::vector<std::string> args;
    std::function<void(CQlwApp&)> open;
  };
  const Road roads[] = {
      {"command line", {Rutile(), measured}, [](CQlwApp&) {}},
      {"File > Open", {},
       [](CQlwApp& app) {
         qlw::SetCommonDialogAnswer([](QDialog* dialog) {
           auto* files = qobject_cast<QFileDialog*>(dialog);
           ASSERT_NE(files, nullptr);
           files->setDirectory(QString::fromStdString(std::string(QLW_SOURCE_DIR) + "/examples"));
           files->selectFile("\"rutile.cif\" \"rutile-anatase-measured.dat\"");
           static_cast<QDialog*>(files)->accept();
         });
         app.ShowOpenDialog();
         qlw::SetCommonDialogAnswer(nullptr);
       }},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    delete g_pPreferences;
    ResetDefaultPatternColourIndex();
    const uint32_t first = TakeNextDefaultPatternColour(), second = TakeNextDefaultPatternColour();
    ResetDefaultPatternColourIndex();
    CQlwApp& app = NewApp(road.args);
    ASSERT_TRUE(app.InitInstance());
    road.open(app);
    RunUntil(app, [&] { return PatternCount(app) >= 2; }, apptest::kChildWaitMs);
    EXPECT_EQ(Titles(app), (std::vector<std::wstring>{L"rutile", L"rutile-anatase-measured"}));
    EXPECT_EQ(ListedPatterns(app), TreePatterns(app));
    CQlwDoc* doc = Document(app);
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(PatternCount(app), 2u);
    const CQLPattern& crystal = *doc->GetPatterns().front();
    const CQLPattern& observed = *doc->GetPatterns().back();
    EXPECT_EQ(crystal.m_color, first);
    EXPECT_EQ(observed.m_color, second);
    const double top = crystal.GetMaxIntensityInRange(0.0, 0.0);
    ASSERT_GT(top, 0.0);
    EXPECT_NEAR(observed.GetMaxIntensityInRange(0.0, 0.0) / top, 1.0, 1e-9) << "scale " << observed.m_yScale;
    EndApp();
  }
}

// Of files opened together, each one that cannot be read gives one alert, which names it; the
// others are read and listed. A folder with a good CIF and cut ones left the list empty, and a
// CIF cut among its cell items was said to have been read with warnings as well.
TEST_F(AppStart, FilesThatCannotBeReadAmongOthersGiveOneNamedAlertEachAndTheRestAreListed) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "damaged-among-others";
  CopyOfRutile(folder / "a-good.cif");
  const std::string cell = (folder / "b-cut-in-cell.cif").string();
  const std::string atoms = (folder / "c-cut-in-atoms.cif").string();
  std::ofstream(cell) << RutileCutAt("_cell_length_c", 15);
  std::ofstream(atoms) << RutileCutAt("O1  O  0.30480", 9);
  CQlwApp& app = NewApp({folder.string()});
  ASSERT_TRUE(app.InitInstance());
  qlwtest::AlertRecorder alerts;
  const auto& seen = qlwtest::AlertRecorder::Seen();
  RunUntil(app, [&] { return seen.size() >= 2 && PatternCount(app) == 1 && ListedPatterns(app) == TreePatterns(app); },
           20000);
  EXPECT_EQ(Titles(app), std::vector<std::wstring>{L"rutile"});
  EXPECT_EQ(ListedPatterns(app), TreePatterns(app)) << "every pattern drawn is listed";
  ASSERT_EQ(seen.size(), 2u) << "one alert for each file that cannot be read";
  const std::string paths[] = {cell, atoms};
  for (size_t i = 0; i < 2; ++i) {
    const std::wstring path = CString(paths[i].c_str()).GetString();
    EXPECT_NE(seen[i].explanation.find(path), std::wstring::npos) << CString(seen[i].explanation.c_str()).ToUtf8();
    EXPECT_EQ(seen[i].message.find(L"warnings"), std::wstring::npos) << CString(seen[i].message.c_str()).ToUtf8();
  }
}

namespace {
// Whether the main window has been painted since a window of the program was last hidden.
class DrawnSinceClose : public QObject {
 public:
  QWidget* main = nullptr;
  bool drawn = false;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return false;
    if (event->type() == QEvent::Hide && widget->isWindow() && widget != main) drawn = false;
    else if (event->type() == QEvent::Paint && main != nullptr && widget->window() == main) drawn = true;
    return false;
  }
};

// What the reading found, seen from the alert that it raises about a cut file.
struct AtTheReading {
  bool alerted = false;
  bool drawn = false;
  std::vector<uint32_t> shown;
};
DrawnSinceClose* g_drawnSinceClose = nullptr;
AtTheReading g_atTheReading;

UINT NoteTheReading(const CLXAlert&) {
  g_atTheReading = {true, g_drawnSinceClose->drawn, ShownWindowIds()};
  return 1;
}

}  // namespace

// Whichever road a file comes by (a hand-over ends in the command line's), its reading, which keeps
// the thread from its event loop, finds the main window drawn (the picture of a file dialog closed
// a moment before gone from it) and first among the windows that the wait cursor goes on.
TEST_F(AppStart, EveryRoadToReadingDrawsTheMainWindowAndGivesItTheWaitCursor) {
  const std::string cut = CutRutileIn("drawn-before-reading");
  std::vector<Road> roads = OwnRoadsTo(cut);
  roads.push_back({"+", {}, [cut](CQlwApp& app) {
                     AnswerFileDialogWith(cut);
                     auto* window = dynamic_cast<CDiffractWnd*>(app.GetDocWindow());
                     CWnd* pane = window ? window->GetPatternsPane() : nullptr;
                     ASSERT_NE(pane, nullptr);
                     ::SendMessageW(pane->m_hWnd, WM_COMMAND, CStructuresPane::kCmdAddFromFile, 0);
                     qlw::SetCommonDialogAnswer(nullptr);
                   }});
  DrawnSinceClose watch;
  qApp->installEventFilter(&watch);
  g_drawnSinceClose = &watch;
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    delete g_pPreferences;
    CQlwApp& app = NewApp(road.args);
    ASSERT_TRUE(app.InitInstance());
    QWidget* main = qlw::WidgetOf(app.GetMainFrame());
    ASSERT_NE(main, nullptr);
    watch.main = main->window();
    g_atTheReading = {};
    {
      qlwtest::ScopedPresenter presenter(&NoteTheReading);
      road.open(app);
      RunUntil(app, [] { return g_atTheReading.alerted; }, apptest::kChildWaitMs);
    }
    ASSERT_TRUE(g_atTheReading.alerted) << "the file was not read";
    EXPECT_TRUE(g_atTheReading.drawn) << "the main window was not drawn before the reading";
    ASSERT_FALSE(g_atTheReading.shown.empty());
    EXPECT_EQ(g_atTheReading.shown.front(), static_cast<uint32_t>(watch.main->winId()));
    watch.main = nullptr;
    EndApp();
  }
  qApp->removeEventFilter(&watch);
  g_drawnSinceClose = nullptr;
}
