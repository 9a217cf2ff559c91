// The background pane follows a control point picked in the plot: "Remove Point" waits for one.
#include <gtest/gtest.h>

#include "BackgroundPane.h"
#include "MainWindowFixture.h"
#include "ParametersPane.h"
#include "QLObservedPattern.h"
#include "UpdateHint.h"

using qlwtest::MainWindowFixture;

TEST(BackgroundPane, RemovePointWaitsForAPointPickedInThePlot) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  const CQLPatternPtr observed = m.doc->AddObservedPattern(CQLProfile{{10, 5}, {20, 50}, {30, 10}, {40, 8}});
  for (const CQLPatternPtr& p : CollectPatterns(m.doc->GetPatterns(), false, false, false)) p->SetSelected(false);
  observed->SetSelected(true);
  host->ShowParametersTab();
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
