// The background pane follows a control point picked in the plot: "Remove Point" waits for one; the
// overlay pane offers its drawing only while there is a background to draw.
#include <gtest/gtest.h>

#include <QAbstractButton>

#include "BackgroundOverlayPane.h"
#include "BackgroundPane.h"
#include "MainWindowFixture.h"
#include "ParametersPane.h"
#include "QLObservedPattern.h"
#include "UpdateHint.h"
#include "WndQt.h"

using qlwtest::MainWindowFixture;

namespace {
// An observed pattern, the only one selected, with the inspector on its Parameters tab.
CQLPatternPtr SelectObservedOnParametersTab(MainWindowFixture& m, CParametersPane*& host) {
  host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  const CQLPatternPtr observed = m.doc->AddObservedPattern(CQLProfile{{10, 5}, {20, 50}, {30, 10}, {40, 8}});
  for (const CQLPatternPtr& p : CollectPatterns(m.doc->GetPatterns(), false, false, false)) p->SetSelected(false);
  observed->SetSelected(true);
  if (host) host->ShowParametersTab();
  return observed;
}
}  // namespace

TEST(BackgroundPane, RemovePointWaitsForAPointPickedInThePlot) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = nullptr;
  const CQLPatternPtr observed = SelectObservedOnParametersTab(m, host);
  ASSERT_NE(host, nullptr);
  CDiscloseablePane* pane = host->FindPane(CBackgroundPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  auto enabled = [&](UINT id) { return ::IsWindowEnabled(::GetDlgItem(pane->m_hWnd, static_cast<int>(id))) != FALSE; };
  auto plotUpdate = [&] {
    CUHRequestPlotUpdate hint(m.doc, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
    m.doc->DispatchUpdateHint(hint);
  };
  plotUpdate();
  EXPECT_TRUE(enabled(CBackgroundPane::kAddCurve));
  EXPECT_FALSE(enabled(CBackgroundPane::kRemovePoint));

  pane->SendMessage(WM_COMMAND, MAKEWPARAM(CBackgroundPane::kAddCurve, BN_CLICKED),
                    reinterpret_cast<LPARAM>(::GetDlgItem(pane->m_hWnd, CBackgroundPane::kAddCurve)));
  auto& pattern = static_cast<CQLObservedPattern&>(*observed);
  ASSERT_EQ(pattern.m_controlPoints.size(), 2u);
  EXPECT_FALSE(enabled(CBackgroundPane::kAddCurve));
  EXPECT_TRUE(enabled(CBackgroundPane::kAddPoint));
  EXPECT_FALSE(enabled(CBackgroundPane::kRemovePoint));

  // The canvas marks the picked handle and asks for a plot update, which refreshes the panes.
  pattern.m_controlPoints[1].rightFlag = 1;
  plotUpdate();
  EXPECT_TRUE(enabled(CBackgroundPane::kRemovePoint));
  pane->SendMessage(WM_COMMAND, MAKEWPARAM(CBackgroundPane::kRemovePoint, BN_CLICKED),
                    reinterpret_cast<LPARAM>(::GetDlgItem(pane->m_hWnd, CBackgroundPane::kRemovePoint)));
  // Fewer than two points are no curve.
  EXPECT_TRUE(pattern.m_controlPoints.empty());
  EXPECT_TRUE(enabled(CBackgroundPane::kAddCurve));
}

// Both groups of the overlay follow the curve, "Show background" and the preview switch.
TEST(BackgroundOverlayPane, GroupsGreyedWhileTheBackgroundIsHidden) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = nullptr;
  const CQLPatternPtr observed = SelectObservedOnParametersTab(m, host);
  ASSERT_NE(host, nullptr);
  CDiscloseablePane* background = host->FindPane(CBackgroundPane::kTemplateId);
  CDiscloseablePane* overlay = host->FindPane(CBackgroundOverlayPane::kTemplateId);
  ASSERT_TRUE(background && overlay);
  auto click = [&](UINT id) {
    auto* button = qobject_cast<QAbstractButton*>(qlw::WidgetOf(::GetDlgItem(background->m_hWnd, static_cast<int>(id))));
    ASSERT_NE(button, nullptr) << id;
    button->click();
  };
  auto enabled = [&](UINT id) { return ::IsWindowEnabled(::GetDlgItem(overlay->m_hWnd, static_cast<int>(id))) != FALSE; };
  auto groups = [&] {
    return std::make_pair(enabled(CBackgroundOverlayPane::kColour), enabled(CBackgroundOverlayPane::kPreviewColour));
  };
  auto& pattern = static_cast<CQLObservedPattern&>(*observed);
  pattern.m_previewSubtraction = 1;
  m.doc->UpdateAllViews(nullptr);
  EXPECT_EQ(groups(), std::make_pair(false, false)) << "no curve";

  click(CBackgroundPane::kAddCurve);
  ASSERT_EQ(pattern.m_controlPoints.size(), 2u);
  EXPECT_EQ(groups(), std::make_pair(true, true));

  click(CBackgroundPane::kShow);
  ASSERT_NE(pattern.m_subtractBackground, 0) << "background hidden";
  EXPECT_EQ(groups(), std::make_pair(false, false)) << "hidden background";
  EXPECT_FALSE(enabled(CBackgroundOverlayPane::kWidth));
  EXPECT_FALSE(enabled(CBackgroundOverlayPane::kPreviewMarker));

  click(CBackgroundPane::kShow);
  EXPECT_EQ(groups(), std::make_pair(true, true));
  click(CBackgroundPane::kPreview);
  EXPECT_EQ(groups(), std::make_pair(true, false)) << "no preview";
}
