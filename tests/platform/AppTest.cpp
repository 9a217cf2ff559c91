// The application object: switches on a Linux command line, the message pump and idle periods.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <vector>

#include "AfxApp.h"
#include "TestSupport.h"
#include "WidgetApp.h"

namespace {
// The process's one application is the widget application that its window tests need too.
void EnsureApplication() { qlwtest::EnsureWidgetApp("test_platform"); }

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Records idle calls; wants idle time up to count 4.
class RecordingApp : public CWinApp {
 public:
  std::vector<LONG> idleCounts;
  std::vector<UINT> pumped;
  BOOL OnIdle(LONG count) override {
    idleCounts.push_back(count);
    return count < 4;
  }
  BOOL PumpMessage() override {
    pumped.push_back(m_msgCur.message);
    return CWinApp::PumpMessage();
  }
};
}  // namespace

TEST(CWinApp, SwitchesAreToldApartFromAbsolutePaths) {
  const std::string existing = qlwtest::ScratchDir();
  struct Case {
    CString argument;
    bool isSwitch;
  } cases[] = {
      {L"-p", true},
      {L"/Register", true},
      {L"/DefTypes=cif+lxd", true},
      {L"/DefTypes=\"Qlw.Crystal-5/6\"", true},
      {L"/home/user/rutile.cif", false},
      {CString(existing.c_str()), false},  // an existing path is a file whatever it looks like
      {L"rutile.cif", false},
      {L"/", false},
  };
  for (const Case& c : cases) EXPECT_EQ(CWinApp::IsSwitchArgument(c.argument), c.isSwitch) << c.argument.GetString();
}

TEST(CWinApp, ParsesPrintToAndOpensTheLastFileName) {
  RecordingApp app;
  char a0[] = "qlw", a1[] = "/pt", a2[] = "doc.cif", a3[] = "printer", a4[] = "driver", a5[] = "port";
  char* argv[] = {a0, a1, a2, a3, a4, a5};
  app.SetArguments(6, argv);
  CCommandLineInfo info;
  app.ParseCommandLine(info);
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FilePrintTo);
  EXPECT_EQ(info.m_strFileName, CString(L"doc.cif"));
  EXPECT_EQ(info.m_strPrinterName, CString(L"printer"));
  EXPECT_EQ(info.m_strDriverName, CString(L"driver"));
  EXPECT_EQ(info.m_strPortName, CString(L"port"));

  char b1[] = "/tmp/x.cif";
  char* argv2[] = {a0, b1};
  app.SetArguments(2, argv2);
  CCommandLineInfo open;
  app.ParseCommandLine(open);
  EXPECT_EQ(open.m_nShellCommand, CCommandLineInfo::FileOpen);
  EXPECT_EQ(open.m_strFileName, CString(L"/tmp/x.cif"));
}

TEST(CWinApp, RunPumpsQueuedMessagesAndStartsAnIdlePeriodAfterActivity) {
  EnsureApplication();
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = L"AppTestWindow";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowW(L"AppTestWindow", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);

  RecordingApp app;
  // After the first idle period: one message of activity, then a repaint (not activity), then quit.
  QTimer::singleShot(50, [&] { PostMessageW(wnd, WM_USER + 1, 0, 0); });
  QTimer::singleShot(100, [&] { PostMessageW(wnd, WM_PAINT, 0, 0); });
  QTimer::singleShot(150, [&] { PostQuitMessage(7); });
  const int code = app.Run();

  EXPECT_EQ(code, 7);
  const std::vector<LONG> twoPeriods = {0, 1, 2, 3, 4, 0, 1, 2, 3, 4};
  EXPECT_EQ(app.idleCounts, twoPeriods);
  const std::vector<UINT> pumped = {WM_USER + 1, WM_PAINT, WM_QUIT};
  EXPECT_EQ(app.pumped, pumped);
  DestroyWindow(wnd);
}
