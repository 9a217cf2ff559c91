// The static splitter: which pane takes a resize in each mode, dragging the bar with the mouse,
// panes that must never be hidden, hiding and showing, and a locked bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "LXMessage.h"
#include "STSplitterWnd.h"
#include "WndQt.h"
#include "WidgetApp.h"

namespace {
void EnsureQt() { qlwtest::EnsureWidgetApp("test_windows"); }

// A pane that counts the end-of-drag announcements it receives.
class Pane : public CWnd {
  DECLARE_DYNCREATE(Pane)
 public:
  LRESULT OnExitSizeMove(WPARAM, LPARAM lParam) {
    exitLParams.push_back(lParam);
    return 0;
  }
  std::vector<LPARAM> exitLParams;
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(Pane, CWnd)
BEGIN_MESSAGE_MAP(Pane, CWnd)
  ON_REGISTERED_MESSAGE(g_msgExitSizeMoveSync, &Pane::OnExitSizeMove)
END_MESSAGE_MAP()

struct Rig {
  CWnd host;
  ST_SplitterWnd split;
  Rig(bool vertical, int mode, CRuntimeClass* second = RUNTIME_CLASS(Pane)) {
    EnsureQt();
    EXPECT_TRUE(host.CreateEx(0, nullptr, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 900, 900}, nullptr, 0));
    split.m_nResizeMode = mode;
    EXPECT_TRUE(split.Create(&host, RUNTIME_CLASS(Pane), second, nullptr, vertical));
  }
  ~Rig() {
    split.DestroyWindow();
    host.DestroyWindow();
  }
  // The inside (panes and bar) is the client area less a one-pixel border.
  void SetInside(int width, int height) { split.MoveWindow(0, 0, width + 2, height + 2); }
  int Extent(int pane) {
    CWnd* w = split.GetSplitPane(pane);
    if (!w || !w->IsWindowVisible()) return -1;
    RECT r{};
    w->GetWindowRect(&r);
    return split.m_bVertical ? r.right - r.left : r.bottom - r.top;
  }
  Pane* PaneAt(int i) { return static_cast<Pane*>(split.GetSplitPane(i)); }
  QWidget* Widget() { return qlw::WidgetOf(split.m_hWnd); }
};
}  // namespace

TEST(SplitterWnd, ResizeModesGiveTheChangeToTheRightPane) {
  {
    Rig r(true, ST_SplitterWnd::kPane1Takes);
    r.SetInside(403, 200);
    r.split.SetPaneSize(0, 300);
    r.split.RecalcLayout();
    EXPECT_EQ(r.Extent(0), 300);
    EXPECT_EQ(r.Extent(1), 100);
    r.SetInside(503, 200);
    EXPECT_EQ(r.Extent(0), 300);
    EXPECT_EQ(r.Extent(1), 200);
    r.SetInside(453, 200);
    EXPECT_EQ(r.Extent(0), 300);
    EXPECT_EQ(r.Extent(1), 150);
  }
  {
    Rig r(true, ST_SplitterWnd::kPane0Takes);
    r.SetInside(403, 200);
    r.split.SetPaneSize(0, 300);
    r.split.RecalcLayout();
    r.SetInside(503, 200);
    EXPECT_EQ(r.Extent(0), 400);
    EXPECT_EQ(r.Extent(1), 100);
  }
  {
    // Proportional: the bar's gap comes out of the rest, so 300/100 grown by 200 is 450/150.
    Rig r(false, ST_SplitterWnd::kProportional);
    r.SetInside(200, 403);
    r.split.SetPaneSize(0, 300);
    r.split.RecalcLayout();
    ASSERT_EQ(r.Extent(1), 100);
    r.SetInside(200, 603);
    EXPECT_EQ(r.Extent(0), 450);
    EXPECT_EQ(r.Extent(1), 150);
    EXPECT_DOUBLE_EQ(r.split.m_dRatio, 3.0);
  }
}

TEST(SplitterWnd, ShrinkingBelowAMinimumHidesUnlessNeverHide) {
  Rig r(true, ST_SplitterWnd::kPane1Takes);
  r.SetInside(403, 200);
  r.split.SetPaneSize(0, 300);
  r.split.SetPaneMinimum(1, 80);
  r.split.RecalcLayout();
  r.SetInside(363, 200);
  EXPECT_EQ(r.split.m_nHidden, 1);
  EXPECT_EQ(r.Extent(0), 363);
  r.split.ShowColumn();
  EXPECT_EQ(r.split.m_nHidden, -1);
  EXPECT_EQ(r.Extent(1), 100) << "the re-shown pane gets its size back";
}

TEST(SplitterWnd, DraggingTheBarMovesItAndAnnouncesTheEnd) {
  Rig r(true, ST_SplitterWnd::kProportional);
  r.SetInside(403, 200);
  r.split.SetPaneSize(0, 200);
  r.split.RecalcLayout();
  ASSERT_EQ(r.Extent(1), 200);
  QWidget* w = r.Widget();
  // Bar at inside x 200..202, inside starting at client x 1.
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(202, 50));
  EXPECT_TRUE(r.split.m_bTracking);
  QTest::mouseMove(w, QPoint(252, 50));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(252, 50));
  EXPECT_FALSE(r.split.m_bTracking);
  EXPECT_EQ(r.Extent(0), 250);
  EXPECT_EQ(r.Extent(1), 150);
  ASSERT_EQ(r.PaneAt(0)->exitLParams.size(), 1u);
  EXPECT_EQ(r.PaneAt(0)->exitLParams[0], 6);
}

TEST(SplitterWnd, NeverHidePaneIsPushedToItsMinimumByADrag) {
  Rig r(true, ST_SplitterWnd::kProportional);
  r.SetInside(403, 200);
  r.split.SetPaneSize(0, 200);
  r.split.SetPaneMinimum(1, 60);
  r.split.m_bNeverHide[1] = true;
  r.split.RecalcLayout();
  QWidget* w = r.Widget();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(202, 50));
  QTest::mouseMove(w, QPoint(395, 50));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(395, 50));
  EXPECT_EQ(r.split.m_nHidden, -1);
  EXPECT_EQ(r.Extent(1), 60);
  EXPECT_EQ(r.Extent(0), 340);

  // Without the mark the same drag hides the pane.
  r.split.m_bNeverHide[1] = false;
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(342, 50));
  QTest::mouseMove(w, QPoint(398, 50));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(398, 50));
  EXPECT_EQ(r.split.m_nHidden, 1);
  EXPECT_EQ(r.Extent(0), 403);
}

// The graph over the reflexions list in a window too low for the graph's minimum: the list,
// pushed below its own by the graph, yields. Hidden instead, the graph never came back: no
// resize, toggle or drag reaches a pane that the splitter has taken away.
TEST(SplitterWnd, NeverHidePaneKeepsItsPlaceWhenThereIsNoRoom) {
  Rig r(false, ST_SplitterWnd::kProportional);
  r.SetInside(400, 210);
  ASSERT_EQ(r.split.m_nHidden, -1);
  // As the window leaves them after a first layout at this size: the graph asks for its
  // minimum, the list got nothing.
  r.split.m_bNeverHide[0] = true;
  r.split.SetPaneMinimum(0, 300);
  r.split.SetPaneMinimum(1, 46);
  r.split.SetPaneSize(0, 300);
  r.split.SplitInfo(1).nCurSize = 0;
  r.split.RecalcLayout();
  EXPECT_EQ(r.split.m_nHidden, 1);
  EXPECT_EQ(r.Extent(0), 210);

  r.SetInside(400, 800);
  EXPECT_EQ(r.Extent(0), 800);
  r.split.ShowRow();
  ASSERT_EQ(r.split.m_nHidden, -1);
  EXPECT_GE(r.Extent(0), 300);
  EXPECT_GE(r.Extent(1), 46);
  EXPECT_EQ(r.Extent(0) + 3 + r.Extent(1), 800);

  // The bar drags again (inside starting at client y 1, the bar one pixel into its gap).
  const int graph = r.Extent(0), list = r.Extent(1);
  ASSERT_GT(list, 46 + 40);
  QWidget* w = r.Widget();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(100, graph + 2));
  QTest::mouseMove(w, QPoint(100, graph + 42));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(100, graph + 42));
  EXPECT_EQ(r.split.m_nHidden, -1);
  EXPECT_EQ(r.Extent(0), graph + 40);
  EXPECT_EQ(r.Extent(1), list - 40);
}

TEST(SplitterWnd, HidingSwapsPaneIdsAndOnlyOnePaneAtATime) {
  Rig r(false, ST_SplitterWnd::kProportional);
  r.SetInside(200, 403);
  Pane* top = r.PaneAt(0);
  Pane* bottom = r.PaneAt(1);
  r.split.HideRow(0);
  EXPECT_EQ(r.split.GetPaneCount(), 1);
  EXPECT_EQ(r.split.GetSplitPane(0), bottom);
  EXPECT_EQ(top->GetDlgCtrlID(), AFX_IDW_PANE_FIRST + 16);
  EXPECT_FALSE(top->IsWindowVisible());
  EXPECT_EQ(r.Extent(0), 403);
  r.split.HideRow(0);  // ignored while one is hidden
  EXPECT_TRUE(bottom->IsWindowVisible());
  r.split.HideColumn(0);  // not a column splitter
  EXPECT_EQ(r.split.GetPaneCount(), 1);
  r.split.ShowRow();
  EXPECT_EQ(r.split.GetSplitPane(0), top);
  EXPECT_EQ(r.split.GetSplitPane(1), bottom);
  EXPECT_TRUE(top->IsWindowVisible());
  EXPECT_EQ(r.Extent(0) + r.Extent(1), 400);
}

TEST(SplitterWnd, LockedBarIgnoresTheMouse) {
  Rig r(true, ST_SplitterWnd::kProportional);
  r.SetInside(403, 200);
  r.split.SetPaneSize(0, 200);
  r.split.RecalcLayout();
  r.split.m_bLocked = true;
  QWidget* w = r.Widget();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(202, 50));
  QTest::mouseMove(w, QPoint(300, 50));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(300, 50));
  EXPECT_FALSE(r.split.m_bTracking);
  EXPECT_EQ(r.Extent(0), 200);
}

TEST(SplitterWnd, NestedSplitterSitsInItsPane) {
  Rig r(true, ST_SplitterWnd::kProportional, nullptr);
  ST_SplitterWnd* nested = r.split.AddSubDivision(1, nullptr, RUNTIME_CLASS(Pane), nullptr, false);
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(nested->m_nLevel, 1);
  EXPECT_EQ(r.split.GetSplitPane(1), nested);
  EXPECT_EQ(nested->SplitInfo(0).nIdealSize, 100);
  r.SetInside(403, 303);
  r.split.SetPaneSize(0, 200);
  r.split.RecalcLayout();
  RECT n{};
  nested->GetWindowRect(&n);
  EXPECT_EQ(n.right - n.left, 200);
  EXPECT_EQ(n.bottom - n.top, 303);
}

// The bar in the face colour, a 3-D border round each pane (shadow above and left, highlight below
// and right), and the window colour round the client area where no border covers it.
TEST(SplitterWnd, DrawsABorderRoundEachPaneAndAWindowColouredFrame) {
  Rig r(true, ST_SplitterWnd::kProportional);
  r.SetInside(403, 200);
  r.split.SetPaneSize(0, 200);
  r.split.RecalcLayout();
  r.host.ShowWindow(SW_SHOW);
  const QImage shot = r.Widget()->grab().toImage();
  const auto colour = [&](int x, int y) {
    const QColor c = shot.pixelColor(x, y);
    return RGB(c.red(), c.green(), c.blue());
  };
  const COLORREF shadow = GetSysColor(COLOR_3DSHADOW), light = GetSysColor(COLOR_3DHILIGHT),
                 face = GetSysColor(COLOR_3DFACE), window = GetSysColor(COLOR_WINDOW);
  // Pane 0 spans x 1..200 and pane 1 x 204..403 (client coordinates), rows 1..200.
  const struct {
    int x, y;
    COLORREF colour;
    const char* what;
  } probes[] = {
      {0, 100, shadow, "left of pane 0"},       {100, 0, shadow, "above pane 0"},
      {100, 201, light, "below pane 0"},        {201, 100, light, "right of pane 0"},
      {202, 100, face, "middle of the bar"},    {203, 100, shadow, "left of pane 1"},
      {404, 100, light, "right of pane 1"},     {300, 201, light, "below pane 1"},
      {202, 0, window, "frame above the bar"},  {202, 201, window, "frame below the bar"},
  };
  for (const auto& p : probes) EXPECT_EQ(colour(p.x, p.y), p.colour) << p.what;
}

// Hiding the pane that holds the keyboard hands it to the other pane; another pane's focus stays.
TEST(SplitterWnd, HidingTheActivePanePassesActivationOn) {
  Rig r(true, ST_SplitterWnd::kProportional);
  r.SetInside(403, 200);
  r.host.ShowWindow(SW_SHOW);
  Pane* left = r.PaneAt(0);
  Pane* right = r.PaneAt(1);
  const struct {
    Pane* focused;
    int hidden;
    Pane* expected;
  } cases[] = {{right, 1, left}, {left, 0, right}, {left, 1, left}};
  for (const auto& c : cases) {
    c.focused->SetFocus();
    ASSERT_EQ(::GetFocus(), c.focused->m_hWnd);
    r.split.HideColumn(c.hidden);
    EXPECT_EQ(::GetFocus(), c.expected->m_hWnd) << "hiding " << c.hidden;
    r.split.ShowColumn();
  }
}
