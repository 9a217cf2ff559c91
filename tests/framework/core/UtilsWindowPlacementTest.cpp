// CUtils placement, capture and menu look-ups, CSyncRect from windows, the menu-command message
// and the status-bar branch of progress reporting, on window objects without widgets (one
// 1920 x 1080 monitor whose work area ends at 1017, or the screen of an application made before).
#include <gtest/gtest.h>

#include <vector>

#include "LXMessage.h"
#include "LXSyncRect.h"
#include "LXUtils.h"
#include "Status.h"
#include "StatusMgr.h"
#include "Win.h"
#include "testing/FakeClock.h"

namespace {
std::vector<MSG> g_seen;

LRESULT CALLBACK Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITMENUPOPUP || message == WM_COMMAND || message >= 0xC000)
    g_seen.push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow(HWND parent, DWORD style, int x, int y, int w, int h, UINT id = 0) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Recorder;
    wc.lpszClassName = L"Qlw Placement Recorder";
    RegisterClassExW(&wc);
    registered = true;
  }
  return CreateWindowExW(0, L"Qlw Placement Recorder", L"", style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
}

RECT Fit(RECT r, bool whole, bool noMargin) {
  LXGraphics::CSyncRect s;
  s.m_rect = r;
  s.m_dirty = LXGraphics::CSyncRect::kWindowWritten;
  CUtils::FitRectToMonitor(s, whole, noMargin);
  EXPECT_EQ(s.m_int.Width, s.m_rect.right - s.m_rect.left);  // the other forms follow
  return s.m_rect;
}

// The primary monitor's work area: the fixed 1920 x 1017 without a GUI application, the
// application's own screen once an earlier test of the process has made one.
RECT PrimaryWorkArea() {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcWork;
}

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
}  // namespace

TEST(UtilsPlacement, FitRectToMonitorMovesAndShrinksOrKeepsReachable) {
  const RECT work = PrimaryWorkArea();
  ASSERT_EQ(work.left, 0);
  ASSERT_EQ(work.top, 0);
  const LONG w = work.right, h = work.bottom;
  ASSERT_GE(w, 600);
  ASSERT_GE(h, 400);
  const int caption = GetSystemMetrics(SM_CYCAPTION);  // 23, also the margin
  const struct {
    RECT in;
    bool whole, noMargin;
    RECT out;
  } cases[] = {
      // Whole: moved in from the left and top, then cut to the area.
      {{-100, -50, 300, 250}, true, false, {0, 0, 400, 300}},
      {{-100, 0, w + 180, 200}, true, false, {0, 0, w, 200}},
      // Whole: sticking out right and below moves left and up.
      {{w - 120, h - 117, w + 80, h + 83}, true, false, {w - 200, h - 200, w, h}},
      // Inside stays.
      {{100, 100, 500, 400}, false, false, {100, 100, 500, 400}},
      // Reachable: a window right of the area keeps a margin's width on screen.
      {{w + 580, 100, w + 980, 400}, false, false, {w - caption, 100, w - caption + 400, 400}},
      {{w + 580, 100, w + 980, 400}, false, true, {w, 100, w + 400, 400}},
      // Left of the area: it ends at the inset left edge; a top above the area less the caption
      // comes down to it.
      {{-900, -200, -500, 100}, false, false, {caption - 400, 0, caption, 300}},
  };
  for (const auto& c : cases) {
    const RECT got = Fit(c.in, c.whole, c.noMargin);
    EXPECT_TRUE(Same(got, c.out)) << c.in.left << "," << c.in.top << " -> " << got.left << "," << got.top << ","
                                  << got.right << "," << got.bottom;
  }
  RECT plain{w + 580, 100, w + 980, 400};
  CUtils::FitRECTToMonitor(plain);
  EXPECT_EQ(plain.left, w - caption);
}

// A window rectangle leaves the title bar and borders outside it: they must land in the work area too.
TEST(UtilsPlacement, AWindowIsFittedWithItsDecorationsIntoTheWorkArea) {
  const RECT work{0, 0, 1920, 1017};
  const RECT margins{4, 27, 4, 4};
  const struct {
    RECT in, out;
  } cases[] = {
      {{0, 0, 1000, 600}, {4, 27, 1004, 627}},
      {{1800, 900, 2800, 1500}, {916, 413, 1916, 1013}},
      {{-50, -50, 2000, 1200}, {4, 27, 1916, 1013}},
      {{100, 100, 500, 400}, {100, 100, 500, 400}},
  };
  for (const auto& c : cases) {
    RECT got = c.in;
    CUtils::FitFrameIntoWorkArea(got, margins, work);
    EXPECT_TRUE(Same(got, c.out)) << c.in.left << "," << c.in.top << " -> " << got.left << "," << got.top << ","
                                  << got.right << "," << got.bottom;
  }
}

TEST(UtilsPlacement, SyncRectTakesClientWindowAndScreenToClient) {
  HWND top = MakeWindow(nullptr, WS_OVERLAPPED, 100, 50, 300, 200);
  HWND child = MakeWindow(top, WS_CHILD, 10, 20, 30, 40, 7);
  LXGraphics::CSyncRect r;
  r.SetFromClientRect(child);
  EXPECT_TRUE(Same(r.m_rect, RECT{0, 0, 30, 40}));
  EXPECT_EQ(r.m_dirty, 0u);
  EXPECT_EQ(r.m_float.Height, 40.f);
  r.SetFromWindowRect(child);
  EXPECT_TRUE(Same(r.m_rect, RECT{110, 70, 140, 110}));
  r.ScreenToClient(top);
  EXPECT_TRUE(Same(r.m_rect, RECT{10, 20, 40, 60}));
  r.SetFromWindowFrame(top);
  EXPECT_TRUE(Same(r.m_rect, RECT{100, 50, 400, 250}));
  // A null window leaves the rectangle as it was.
  r.SetFromClientRect(nullptr);
  EXPECT_TRUE(Same(r.m_rect, RECT{100, 50, 400, 250}));
  DestroyWindow(top);
}

TEST(UtilsPlacement, BeginCaptureRecordsOneOwnerUntilItEnds) {
  HWND a = MakeWindow(nullptr, WS_OVERLAPPED, 0, 0, 10, 10);
  HWND b = MakeWindow(nullptr, WS_OVERLAPPED, 0, 0, 10, 10);
  EXPECT_TRUE(CUtils::BeginCapture(a));
  EXPECT_EQ(GetCapture(), a);
  // Another window finds the capture held and does not take it.
  EXPECT_TRUE(CUtils::BeginCapture(b));
  EXPECT_EQ(GetCapture(), a);
  // Only the recorded owner ends it.
  CUtils::EndCapture(b);
  EXPECT_EQ(GetCapture(), a);
  CUtils::EndCapture(a);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(CUtils::GetRecordedCapture(), nullptr);
  // A recorded owner that was destroyed does not keep others out.
  EXPECT_TRUE(CUtils::BeginCapture(a));
  DestroyWindow(a);
  EXPECT_TRUE(CUtils::BeginCapture(b));
  EXPECT_EQ(GetCapture(), b);
  CUtils::EndCapture(b);
  DestroyWindow(b);
}

namespace {
struct MenuFixture : testing::Test {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  HMENU recent = CreatePopupMenu();
  void SetUp() override {
    AppendMenuW(recent, MF_STRING, 501, L"One");
    AppendMenuW(recent, MF_STRING, 502, L"Two");
    AppendMenuW(file, MF_STRING, 401, L"Open");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"Recent");
    AppendMenuW(file, MF_STRING, 402, L"Close");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
  }
  void TearDown() override { DestroyMenu(bar); }
};
}  // namespace

TEST_F(MenuFixture, MenuLookUpsSearchSubmenusDepthFirst) {
  EXPECT_EQ(CUtils::FindMenuItemPosition(file, 402), 3);
  EXPECT_EQ(CUtils::FindMenuItemPosition(file, 502), -1);  // not in this menu itself
  EXPECT_EQ(CUtils::FindMenuItemPosition(nullptr, 402), -1);
  int position = -1;
  EXPECT_EQ(CUtils::FindMenuContainingItem(bar, 502, position), recent);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(CUtils::FindMenuContainingItem(bar, 999, position), nullptr);

  HWND frame = MakeWindow(nullptr, WS_OVERLAPPED, 0, 0, 100, 100);
  ASSERT_TRUE(SetMenu(frame, bar));
  EXPECT_EQ(CUtils::FindMenuItem(frame, 401, &position), file);
  EXPECT_EQ(position, 0);
  LXAppWindows::SetMainWindow(frame, true);
  EXPECT_EQ(CUtils::FindMenuItem(nullptr, 501, &position), recent);
  SetMenu(frame, nullptr);
  LXAppWindows::SetMainWindow(nullptr, false);
  DestroyWindow(frame);
}

TEST_F(MenuFixture, MenuCommandPreparesItsPopupBeforeTheCommand) {
  HWND frame = MakeWindow(nullptr, WS_OVERLAPPED, 0, 0, 100, 100);
  ASSERT_TRUE(SetMenu(frame, bar));
  g_seen.clear();
  CLXMsgMenuCmd command(frame, 502);
  EXPECT_TRUE(command.Send(CLXMessage::kModeKeep));
  qlw::ProcessPendingMessages();
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_INITMENUPOPUP));
  EXPECT_EQ(reinterpret_cast<HMENU>(g_seen[0].wParam), recent);
  EXPECT_EQ(g_seen[1].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(g_seen[1].wParam, 502u);
  // A command in no menu is posted alone.
  g_seen.clear();
  CLXMsgMenuCmd(frame, 777).Send(CLXMessage::kModeKeep);
  qlw::ProcessPendingMessages();
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_COMMAND));
  SetMenu(frame, nullptr);
  DestroyWindow(frame);
}

TEST(StatusBarBranch, AVisibleStatusBarIsToldDirectlyAtMostEvery101ms) {
  qlwtest::FakeClock clock;
  HWND frame = MakeWindow(nullptr, WS_OVERLAPPED | WS_VISIBLE, 0, 0, 200, 100);
  HWND bar = MakeWindow(frame, WS_CHILD | WS_VISIBLE, 0, 80, 200, 20, 0xE801);
  ASSERT_NE(bar, nullptr);
  LXAppWindows::SetMainWindow(frame, true);
  ASSERT_TRUE(CStatus::EnableForThread());
  CLXStatusMgr* manager = CStatus::GetManager();
  ASSERT_NE(manager, nullptr);
  const auto sentToFrame = [&] {
    size_t n = 0;
    for (const MSG& m : g_seen)
      if (m.hwnd == frame && m.message == g_msgStatusSetProgressSync) ++n;
    return n;
  };
  g_seen.clear();
  clock.Advance(1000);
  manager->SetStatus(L"Reading", 0.5);
  EXPECT_EQ(sentToFrame(), 1u);  // sent, not posted: it is there already
  clock.Advance(50);
  manager->SetStatus(L"Reading", 0.6);
  EXPECT_EQ(sentToFrame(), 1u);
  clock.Advance(60);
  manager->SetStatus(L"Reading", 0.7);
  EXPECT_EQ(sentToFrame(), 2u);
  // Opening a frame this soon waits; closing the last one reaches the bar at once.
  {
    CStatus frameScope(L"Working");
    EXPECT_EQ(sentToFrame(), 2u);
    clock.Advance(10);
  }
  EXPECT_EQ(sentToFrame(), 3u);
  // Without a visible bar the frame hears nothing.
  ShowWindow(bar, SW_HIDE);
  clock.Advance(500);
  manager->SetStatus(L"Reading", 0.8);
  EXPECT_EQ(sentToFrame(), 3u);
  CStatus::DisableForThread();
  LXAppWindows::SetMainWindow(nullptr, false);
  DestroyWindow(frame);
}
