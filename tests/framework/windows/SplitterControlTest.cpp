// The splitter control: the windows it accepts, drags limited by the parent and by the windows on
// both sides, the move notification, and a drag that loses the capture.
#include <gtest/gtest.h>

#include <array>

#include <QApplication>
#include <QRubberBand>
#include <QTest>
#include <QWidget>

#include "SplitterControl.h"
#include "WidgetApp.h"
#include "WndQt.h"

namespace {
class Host : public CWnd {
 public:
  int narrowMin = INT_MIN, narrowMax = INT_MAX;
  std::vector<int> moves;
  int limitRequests = 0;
  BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* result) override {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->code == SPN_LIMITS) {
      ++limitRequests;
      auto* nm = reinterpret_cast<SPC_NMLIMITS*>(lParam);
      nm->nMin = std::max(nm->nMin, narrowMin);
      nm->nMax = std::min(nm->nMax, narrowMax);
    } else if (hdr->code == SPN_MOVED) {
      moves.push_back(reinterpret_cast<SPC_NMMOVED*>(lParam)->delta);
    }
    *result = 0;
    return TRUE;
  }
};

// A rectangle as gtest prints it.
std::array<LONG, 4> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

CRect InParent(CWnd& w) {
  CRect r;
  w.GetWindowRect(&r);
  w.GetParent()->ScreenToClient(&r);
  return r;
}

// Host 400 x 200: a window 0..195, the bar 195..205, a window 205..400 (vertical), or the same
// along y for a horizontal bar.
struct Rig {
  Host host;
  CStatic before, after;
  CSplitterControl bar;
  explicit Rig(bool vertical) {
    qlwtest::EnsureWidgetApp("test_windows");
    EXPECT_TRUE(host.CreateEx(0, nullptr, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 400, 400), nullptr, 0));
    host.MoveWindow(0, 0, 400, 400);
    CRect client;
    host.GetClientRect(&client);
    EXPECT_GE(client.Width(), 400);
    const auto R = [vertical](int a, int b) { return vertical ? CRect(a, 0, b, 100) : CRect(0, a, 100, b); };
    EXPECT_TRUE(before.Create(L"", WS_VISIBLE, R(0, 195), &host, 101));
    EXPECT_TRUE(after.Create(L"", WS_VISIBLE, R(205, 400), &host, 102));
    EXPECT_TRUE(bar.Create(L"", WS_VISIBLE, R(195, 205), &host, 100));
    bar.SetStyle(vertical ? CSplitterControl::kStyleVertical | CSplitterControl::kStyleNotify : 0);
    EXPECT_TRUE(bar.AddWindow(1, &before));
    EXPECT_TRUE(bar.AddWindow(0, &after));
  }
  ~Rig() { host.DestroyWindow(); }
  // Presses mid-bar, moves by d along the axis, releases.
  void Drag(int d, bool release = true) {
    const CRect r = InParent(bar);
    const int cx = r.Width() / 2, cy = r.Height() / 2;
    const bool v = bar.GetStyle() & CSplitterControl::kStyleVertical;
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    const int x = v ? cx + d : cx, y = v ? cy : cy + d;
    bar.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<short>(x), static_cast<short>(y)));
    if (release) bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(static_cast<short>(x), static_cast<short>(y)));
  }
};
}  // namespace

TEST(SplitterControl, AddsOnlySiblingsToTheTwoLists) {
  Rig rig(true);
  CWnd other;
  ASSERT_TRUE(other.CreateEx(0, nullptr, L"other", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
  CStatic nephew;
  ASSERT_TRUE(nephew.Create(L"", WS_VISIBLE, CRect(0, 0, 10, 10), &other, 5));
  EXPECT_FALSE(rig.bar.AddWindow(0, &nephew));
  EXPECT_FALSE(rig.bar.AddWindow(2, &rig.before));
  EXPECT_FALSE(rig.bar.AddWindow(-1, &rig.before));
  EXPECT_FALSE(rig.bar.AddWindow(0, nullptr));
  other.DestroyWindow();
}

TEST(SplitterControl, DragMovesBarStretchesBothSidesAndReportsTheDistance) {
  Rig rig(true);
  rig.Drag(30);
  EXPECT_EQ(InParent(rig.bar), CRect(225, 0, 235, 100));
  EXPECT_EQ(InParent(rig.before), CRect(0, 0, 225, 100));
  EXPECT_EQ(InParent(rig.after), CRect(235, 0, 400, 100));
  ASSERT_EQ(rig.host.moves.size(), 1u);
  EXPECT_EQ(rig.host.moves[0], 30);
  EXPECT_EQ(rig.host.limitRequests, 1);
  EXPECT_FALSE(rig.bar.IsDragging());
}

TEST(SplitterControl, TrackerShowsAlongTheBarOnlyWhileDragging) {
  Rig rig(true);
  rig.Drag(-20, false);
  CRect bar;
  rig.bar.GetWindowRect(&bar);
  const CRect tracker = rig.bar.GetTrackerRect();
  EXPECT_EQ(tracker.left, bar.CenterPoint().x - 20 - 1);
  EXPECT_EQ(tracker.Width(), 3);
  EXPECT_EQ(tracker.top, bar.top);
  EXPECT_EQ(tracker.bottom, bar.bottom);
  rig.bar.SendMessage(WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(CRect(rig.bar.GetTrackerRect()).IsRectEmpty());
}

// Mouse input through Qt, as a user gives it: the bar's own widget passes the press on to its
// parent, which hands it to the window holding the capture. The tracker still follows the pointer
// from the press to the release, and one drag is one move.
TEST(SplitterControl, TrackerFollowsTheMouseFromPressToRelease) {
  Rig rig(true);
  QWidget* bar = qlw::WidgetOf(rig.bar.m_hWnd);
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(bar->window()));
  CRect onScreen;
  rig.bar.GetWindowRect(&onScreen);
  const int centre = onScreen.CenterPoint().x;
  const QPoint press(bar->width() / 2, bar->height() / 2);
  QTest::mousePress(bar, Qt::LeftButton, {}, press);
  ASSERT_TRUE(rig.bar.IsDragging());
  EXPECT_EQ(Box(rig.bar.GetTrackerRect()), Box(CRect(centre - 1, onScreen.top, centre + 2, onScreen.bottom)));
  const auto followed = [&](int d) {
    QTest::mouseMove(bar, press + QPoint(d, 0));
    EXPECT_EQ(Box(rig.bar.GetTrackerRect()), Box(CRect(centre + d - 1, onScreen.top, centre + d + 2, onScreen.bottom)))
        << d;
  };
  for (int d : {6, 12, -9}) followed(d);
  // Hidden behind the control's back (as a window manager may): the next move shows it again.
  for (QWidget* top : QApplication::topLevelWidgets())
    if (qobject_cast<QRubberBand*>(top)) top->hide();
  followed(30);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, press + QPoint(30, 0));
  EXPECT_FALSE(rig.bar.IsDragging());
  EXPECT_TRUE(CRect(rig.bar.GetTrackerRect()).IsRectEmpty());
  EXPECT_EQ(InParent(rig.bar), CRect(225, 0, 235, 100));
  EXPECT_EQ(rig.host.moves, std::vector<int>{30});
  EXPECT_EQ(rig.host.limitRequests, 1);
}

TEST(SplitterControl, SilentHorizontalBarMovesWindowsWithoutNotifying) {
  Rig rig(false);
  rig.Drag(-50);
  EXPECT_EQ(InParent(rig.bar), CRect(0, 145, 100, 155));
  EXPECT_EQ(InParent(rig.before), CRect(0, 0, 100, 145));
  EXPECT_EQ(InParent(rig.after), CRect(0, 155, 100, 400));
  EXPECT_TRUE(rig.host.moves.empty());
}

TEST(SplitterControl, ParentLimitsAndTheWindowsKeepTheBarInside) {
  struct Case {
    int narrowMin, narrowMax, drag, barLeft;
  };
  // The bar's centre is 200. The parent's range binds first; with the whole client area as
  // range, the windows' far edges bind: neither side goes below a width of 0.
  const Case cases[] = {{180, 260, 100, 255}, {180, 260, -100, 175}, {INT_MIN, INT_MAX, 1000, 390},
                        {INT_MIN, INT_MAX, -1000, 0}};
  for (const Case& c : cases) {
    Rig rig(true);
    rig.host.narrowMin = c.narrowMin;
    rig.host.narrowMax = c.narrowMax;
    rig.Drag(c.drag);
    EXPECT_EQ(InParent(rig.bar).left, c.barLeft) << c.drag;
    EXPECT_GE(InParent(rig.before).Width(), 0);
    EXPECT_GE(InParent(rig.after).Width(), 0);
  }
}

TEST(SplitterControl, LostCaptureEndsTheDragWithoutMoving) {
  Rig rig(true);
  rig.Drag(40, false);
  EXPECT_TRUE(rig.bar.IsDragging());
  ::SetCapture(rig.host.m_hWnd);
  EXPECT_FALSE(rig.bar.IsDragging());
  EXPECT_TRUE(CRect(rig.bar.GetTrackerRect()).IsRectEmpty());
  ::ReleaseCapture();
  rig.bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(45, 50));
  EXPECT_EQ(InParent(rig.bar), CRect(195, 0, 205, 100));
  EXPECT_EQ(InParent(rig.before).right, 195);
  EXPECT_TRUE(rig.host.moves.empty());
}
