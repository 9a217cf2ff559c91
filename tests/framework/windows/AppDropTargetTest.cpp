// The application's drop target: the many-files question, the cancellable operation only for
// several files, the whole dropped list posted as "OpenDocumentFiles", and one factory per run.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <utility>

#include "LXAlert.h"
#include "LXApp.h"
#include "LXAppDropTarget.h"
#include "LXMessage.h"
#include "WidgetApp.h"

namespace fs = std::filesystem;

namespace {
UINT g_answer = 1;
int g_questions = 0;
UINT Answer(const CLXAlert&) {
  ++g_questions;
  return g_answer;
}

// Alerts answered by the test instead of quiet output.
struct ScriptedAlerts {
  CLXAlert::Presenter previous = CLXAlert::SetPresenter(Answer);
  bool silent = std::exchange(g_silentMode, false);
  std::string quiet = std::getenv("QLW_QUIET") ? std::getenv("QLW_QUIET") : "";
  ScriptedAlerts() {
    unsetenv("QLW_QUIET");
    g_questions = 0;
  }
  ~ScriptedAlerts() {
    CLXAlert::SetPresenter(previous);
    g_silentMode = silent;
    if (!quiet.empty()) setenv("QLW_QUIET", quiet.c_str(), 1);
  }
};

// Takes the posted file list off the thread's queue; empty when none was posted.
std::vector<CString> TakePostedList() {
  MSG msg{};
  std::vector<CString> list;
  while (::PeekMessageW(&msg, nullptr, g_msgOpenDocumentFiles, g_msgOpenDocumentFiles, PM_REMOVE)) {
    if (msg.message != g_msgOpenDocumentFiles) continue;  // a quit comes through any filter
    std::unique_ptr<std::vector<CString>> owned(reinterpret_cast<std::vector<CString>*>(msg.lParam));
    list = *owned;
  }
  return list;
}

class MainWnd : public CWnd {
 public:
  int initialOpens = 0;
  LRESULT OnInitialOpen(WPARAM, LPARAM) {
    ++initialOpens;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MainWnd, CWnd)
  ON_REGISTERED_MESSAGE(g_msgInitialOpenSync, &MainWnd::OnInitialOpen)
END_MESSAGE_MAP()

std::vector<CString> Paths(int count, const char* stem) {
  std::vector<CString> paths;
  for (int i = 0; i < count; ++i)
    paths.push_back(CString((std::string("/nonexistent/") + stem + std::to_string(i) + ".cif").c_str()));
  return paths;
}
}  // namespace

TEST(LXAppDropTarget, ManyFilesAskFirstAndTheWholeListIsPosted) {
  ScriptedAlerts alerts;
  ASSERT_TRUE(CLXAppDropTarget::RegisterFactory(true));
  TakePostedList();

  // Exactly 20 go without a question; none of these paths exists, yet all are handed on.
  EXPECT_FALSE(CLXAppDropTarget::DropFiles(Paths(20, "twenty")));
  EXPECT_EQ(g_questions, 0);
  EXPECT_EQ(TakePostedList(), Paths(20, "twenty"));

  g_answer = 2;
  EXPECT_FALSE(CLXAppDropTarget::DropFiles(Paths(21, "declined")));
  EXPECT_EQ(g_questions, 1);
  EXPECT_TRUE(TakePostedList().empty()) << "declining opens nothing";

  g_answer = 1;
  EXPECT_FALSE(CLXAppDropTarget::DropFiles(Paths(21, "accepted")));
  EXPECT_EQ(g_questions, 2);
  EXPECT_EQ(TakePostedList().size(), 21u);
}

TEST(LXAppDropTarget, ExistingFilesAreAcceptedAndTheMainWindowIsTold) {
  qlwtest::EnsureWidgetApp("test_windows");
  MainWnd main;
  ASSERT_TRUE(main.CreateEx(0, nullptr, L"main", WS_OVERLAPPEDWINDOW, RECT{0, 0, 100, 100}, nullptr, 0));
  LXAppWindows::SetMainWindow(main.m_hWnd, false);
  const fs::path file = fs::temp_directory_path() / ("qlw-appdrop-" + std::to_string(::getpid()) + ".cif");
  std::ofstream(file) << "x";
  const CString path(file.wstring().c_str());

  {
    CLXAppDropTarget target;
    EXPECT_EQ(main.initialOpens, 1) << "made by the factory, the target tells the main window";
    EXPECT_TRUE(target.IsAcceptableFile(nullptr, path));
    EXPECT_FALSE(target.IsAcceptableFile(nullptr, L"/nonexistent/x.cif"));
    CLXDropTarget::FileList one{path};
    EXPECT_TRUE(target.BeginDrop(nullptr, one));
    EXPECT_EQ(target.m_nCancelCookie, 0u) << "a single file is no cancellable operation";
    EXPECT_EQ(main.initialOpens, 2);
    CLXDropTarget::FileList two{path, path};
    EXPECT_TRUE(target.BeginDrop(nullptr, two));
    EXPECT_NE(target.m_nCancelCookie, 0u);
    target.EndDragTracking(nullptr);
    EXPECT_EQ(target.m_nCancelCookie, 0u);
  }
  TakePostedList();
  main.initialOpens = 0;
  ASSERT_TRUE(CLXAppDropTarget::RegisterFactory(true));
  EXPECT_TRUE(CLXAppDropTarget::DropFiles({path}));
  EXPECT_EQ(TakePostedList(), std::vector<CString>{path});
  EXPECT_EQ(main.initialOpens, 2);

  LXAppWindows::SetMainWindow(nullptr, false);
  main.DestroyWindow();
  fs::remove(file);
}

TEST(LXAppDropTarget, FactoryIsMadeOnce) {
  ASSERT_TRUE(CLXAppDropTarget::RegisterFactory(true));
  CLXAppDropTarget::CFactory* factory = CLXAppDropTarget::GetFactory();
  EXPECT_TRUE(CLXAppDropTarget::RegisterFactory(false));
  EXPECT_EQ(CLXAppDropTarget::GetFactory(), factory);
  EXPECT_TRUE(factory->AllowsMultipleInstances());
}
