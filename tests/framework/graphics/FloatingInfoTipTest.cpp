// The floating info tip: its sizes, the click that toggles it, the timer that hides it once the
// mouse has moved off the balloon, and the see-through white around the balloon.
#include "LXFloatingInfoTip.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "GraphicsTestSupport.h"
#include "WndQt.h"

namespace {
struct Tip {
  CFloatingInfoTip tip;
  Tip() {
    graphicstest::EnsureApp();
    EXPECT_TRUE(tip.Create(nullptr));
  }
  QWidget* W() { return qlw::WidgetOf(tip.m_hWnd); }
  CRect Client() {
    CRect r;
    tip.GetClientRect(&r);
    return r;
  }
};
}  // namespace

TEST(FloatingInfoTip, StartsHiddenAtItsExpandedSizeAndResizesWithoutMoving) {
  Tip t;
  EXPECT_FALSE(t.tip.IsWindowVisible());
  EXPECT_EQ(t.Client().Width(), 151);
  EXPECT_EQ(t.Client().Height(), 115);
  EXPECT_FLOAT_EQ(t.tip.GetCurrentHeight(), 40);
  t.tip.SetWindowPos(nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  CRect before;
  t.tip.GetWindowRect(&before);
  t.tip.SetTipSize(200, 130, 0);  // a collapsed height of 0 keeps 40
  EXPECT_EQ(t.Client().Width(), 201);
  EXPECT_EQ(t.Client().Height(), 130);
  CRect after;
  t.tip.GetWindowRect(&after);
  EXPECT_EQ(after.TopLeft(), before.TopLeft());
  EXPECT_FLOAT_EQ(t.tip.GetCurrentHeight(), 40);
  t.tip.SetTipSize(150, 115, 50);
  EXPECT_FLOAT_EQ(t.tip.GetCurrentHeight(), 50);
}

TEST(FloatingInfoTip, BalloonSitsOnTheBottomCentredForEachState) {
  Tip t;
  Gdiplus::RectF collapsed = t.tip.BalloonRect();
  // The window is one pixel wider than the balloon: the balloon starts on a whole pixel.
  EXPECT_FLOAT_EQ(collapsed.X, 0);
  EXPECT_FLOAT_EQ(collapsed.Y, 115 - 40);
  EXPECT_FLOAT_EQ(collapsed.Width, 150);
  EXPECT_FLOAT_EQ(collapsed.Height, 55);
  t.tip.RestartTimer(0);
  Gdiplus::RectF expanded = t.tip.BalloonRect();
  EXPECT_FLOAT_EQ(expanded.Y, 0);
  EXPECT_FLOAT_EQ(expanded.Height, 130);
}

TEST(FloatingInfoTip, TheRimsAreSharpOnBothSides) {
  Tip t;
  t.tip.SetColours(0xFF000000u, 0xFFFFF3B0u, 0xFF404040u);
  for (const float width : {150.0f, 161.0f}) {
    t.tip.SetTipSize(width, 115, 40);
    CRect client = t.Client();
    Gdiplus::Bitmap image(client.Width(), client.Height());
    t.tip.Render(image);
    const QImage& shot = image.Q();
    const Gdiplus::RectF balloon = t.tip.BalloonRect();
    const int y = int(balloon.Y + (balloon.Height - 30) / 2);  // half-way down the body, between its corners
    const int left = int(balloon.X), right = int(balloon.X + balloon.Width) - 1;
    for (int x : {left, right}) EXPECT_EQ(shot.pixel(x, y), 0xFF404040u) << width << " at " << x;
    EXPECT_EQ(shot.pixel(left + 1, y), 0xFFFFFFFFu) << width;
    if (left > 0) EXPECT_EQ(shot.pixel(left - 1, y), 0xFFFFFFFFu) << width;
  }
}

TEST(FloatingInfoTip, AClickTogglesTheStateAndItsTimerInterval) {
  Tip t;
  t.tip.ShowWindow(SW_SHOWNOACTIVATE);
  QTest::mouseClick(t.W(), Qt::LeftButton, {}, QPoint(75, 100));
  EXPECT_TRUE(t.tip.IsExpanded());
  EXPECT_EQ(t.tip.GetTimerInterval(), CFloatingInfoTip::kExpandedMs);
  QTest::mouseClick(t.W(), Qt::LeftButton, {}, QPoint(75, 100));
  EXPECT_FALSE(t.tip.IsExpanded());
  EXPECT_EQ(t.tip.GetTimerInterval(), CFloatingInfoTip::kCollapsedMs);
}

// A click is a press and a release on the balloon: the release that ends a drag begun on the
// plot below, or a press dragged off the balloon, leaves the state as it was.
TEST(FloatingInfoTip, OnlyAPressAndReleaseOnTheBalloonToggleIt) {
  Tip t;
  t.tip.ShowWindow(SW_SHOWNOACTIVATE);
  const struct {
    const char* what;
    bool pressed;
    CPoint release;
    bool toggles;
  } cases[] = {{"a release with the press elsewhere", false, CPoint(75, 100), false},
               {"a press dragged off the balloon", true, CPoint(75, 5), false},
               {"a press and release on the balloon", true, CPoint(75, 100), true}};
  for (const auto& c : cases) {
    const bool before = t.tip.IsExpanded();
    if (c.pressed) ::SendMessageW(t.tip.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(75, 100));
    ::SendMessageW(t.tip.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(c.release.x, c.release.y));
    EXPECT_EQ(t.tip.IsExpanded() != before, c.toggles) << c.what;
  }
}

// The ▼ of an expanded tip lies above the collapsed balloon: a pointer resting where it clicked
// keeps the collapsed tip up rather than hiding it.
TEST(FloatingInfoTip, CollapsedByAClickItStaysWhileThePointerRests) {
  Tip t;
  t.tip.ShowWindow(SW_SHOWNOACTIVATE);
  POINT saved;
  ::GetCursorPos(&saved);
  QTest::mouseClick(t.W(), Qt::LeftButton, {}, QPoint(75, 100));
  ASSERT_TRUE(t.tip.IsExpanded());
  POINT arrow{15, 12};
  t.tip.ClientToScreen(&arrow);
  ::SetCursorPos(arrow.x, arrow.y);
  QTest::mouseClick(t.W(), Qt::LeftButton, {}, QPoint(15, 12));
  ASSERT_FALSE(t.tip.IsExpanded());
  t.tip.OnMouseLeave();  // off the collapsed balloon's shape
  QTest::qWait(900);
  EXPECT_TRUE(t.tip.IsWindowVisible());
  ::SetCursorPos(arrow.x + 300, arrow.y + 300);
  EXPECT_TRUE(QTest::qWaitFor([&t] { return !t.tip.IsWindowVisible(); }, 30000)) << "the pointer has gone";
  ::SetCursorPos(saved.x, saved.y);
}

TEST(FloatingInfoTip, StaysWhileTheMouseIsStillAndHidesOnceItHasLeft) {
  Tip t;
  t.tip.ShowWindow(SW_SHOWNOACTIVATE);
  POINT cursor;
  ::GetCursorPos(&cursor);
  t.tip.RestartTimer((ULONGLONG(ULONG(cursor.y)) << 32) | ULONG(cursor.x));  // expanded: 1500 ms
  t.tip.RestartTimer((ULONGLONG(ULONG(cursor.y)) << 32) | ULONG(cursor.x));  // collapsed: 750 ms
  QTest::qWait(900);
  EXPECT_TRUE(t.tip.IsWindowVisible());  // the mouse did not move
  ::SetCursorPos(cursor.x + 300, cursor.y + 300);
  t.tip.OnMouseEnter();
  QTest::qWait(900);
  EXPECT_TRUE(t.tip.IsWindowVisible());  // moved, but over the balloon
  t.tip.OnMouseLeave();
  EXPECT_TRUE(QTest::qWaitFor([&t] { return !t.tip.IsWindowVisible(); }, 30000));
  ::SetCursorPos(cursor.x, cursor.y);
}

TEST(FloatingInfoTip, WhiteAroundTheBalloonIsSeeThrough) {
  Tip t;
  t.tip.SetColours(0xFF000000u, 0xFFFFF3B0u, 0xFF404040u);
  t.tip.ShowWindow(SW_SHOWNOACTIVATE);
  QImage shot = t.W()->grab().toImage();
  const QRegion mask = t.W()->mask();
  ASSERT_FALSE(mask.isEmpty());
  EXPECT_FALSE(mask.contains(QPoint(2, 2)));      // above the collapsed balloon
  EXPECT_FALSE(mask.contains(QPoint(0, 75)));     // outside the rounded corner
  EXPECT_TRUE(mask.contains(QPoint(75, 95)));     // inside the body
  EXPECT_TRUE(mask.contains(QPoint(75, 107)));    // the pointer
  EXPECT_FALSE(mask.contains(QPoint(50, 112)));   // beside the pointer
  EXPECT_EQ(shot.pixelColor(75, 95).rgb(), QColor(0xFF, 0xF3, 0xB0).rgb());
}

TEST(FloatingInfoTip, ExpandingPaintsTheWholeBalloonAtOnce) {
  Tip t;
  t.tip.SetColours(0xFF000000u, 0xFFFFF3B0u, 0xFF404040u);
  t.tip.ShowWindow(SW_SHOWNOACTIVATE);
  QApplication::processEvents();
  t.tip.RestartTimer(0);  // expanded
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
  // What the window system shows, not a fresh rendering of the widget.
  const QImage shown = t.W()->screen()->grabWindow(t.W()->winId()).toImage();
  ASSERT_FALSE(shown.isNull());
  EXPECT_TRUE(t.W()->mask().contains(QPoint(75, 20)));
  EXPECT_EQ(shown.pixelColor(75, 20).rgb(), QColor(0xFF, 0xF3, 0xB0).rgb()) << "inside the expanded body";
}
