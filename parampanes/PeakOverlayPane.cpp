// The peak overlay pane: individual peak profiles of the selected crystal patterns.
#include "PeakOverlayPane.h"

#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"

namespace InspectorTables {
const IDComboEntry kDrawnLineStyles[] = {
    {3324, LXTypes::kLineDotDash, 3302}, {3321, LXTypes::kLineSolid, 3303}, {3322, LXTypes::kLineDashed, 3300},
    {3323, LXTypes::kLineDotted, 3301},  {0, LXTypes::kLineSolid, 0},
};
}  // namespace InspectorTables

BEGIN_MESSAGE_MAP(CPeakOverlayPane, CDiscloseablePane)
  ON_BN_CLICKED(CPeakOverlayPane::kShow, &CPeakOverlayPane::OnControlChanged)
  ON_CBN_SELCHANGE(CPeakOverlayPane::kStyle, &CPeakOverlayPane::OnControlChanged)
END_MESSAGE_MAP()

void CPeakOverlayPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kShow, m_show);
  DDX_Control(dx, kColour, m_colour);
  DDX_Control(dx, kStyle, m_style);
  DDX_Control(dx, kWidth, m_width);
  DDX_Control(dx, kWidthSpinner, m_widthSpinner);
}

BOOL CPeakOverlayPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_style.Fill(InspectorTables::kDrawnLineStyles, false);
  SetUpField(m_widthField, m_width, &m_widthSpinner, 0.1, 10.0, 99, L"%0#.1f");
  UnlockUpdates();
  RefreshControls();
  return result;
}

CPrefScalar<bool>* CPeakOverlayPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenPeakOverlay : nullptr;
}

bool CPeakOverlayPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc) {
    const bool styleChosen = m_style.GetCurSel() >= 0;
    for (const CQLPatternPtr& p : CollectPatterns(doc->GetPatterns(), true, true, true)) {
      auto* crystal = dynamic_cast<CQLCrystalPattern*>(p.get());
      if (!crystal) continue;
      crystal->m_showOverlay = IsChecked(m_show) ? 1 : 0;
      crystal->m_overlayColor = m_colour.GetColor() | 0xFF000000u;
      if (styleChosen) crystal->m_overlayLineStyle = m_style.GetSelectedID();
      crystal->m_overlayLineWidth = static_cast<float>(m_widthField.ValueOr(crystal->m_overlayLineWidth));
    }
  }
  return ApplyFinished(kHint);
}

void CPeakOverlayPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLCrystalPattern* selected = doc ? doc->GetSelectedCrystalPattern() : nullptr;
  static const CQLCrystalPattern defaults;
  const CQLCrystalPattern& source = selected ? *selected : defaults;
  if (fromModel) {
    ShowCheck(m_show, source.m_showOverlay != 0);
    ShowColour(m_colour, source.m_overlayColor);
    m_style.SelectID(static_cast<LXTypes::QLLineStyle>(source.m_overlayLineStyle));
    m_widthField.Show(source.m_overlayLineWidth, true);
  }
  static const UINT ids[] = {kShow, kColour, kColourLabel, kStyleLabel, kStyle, kWidth, kWidthLabel, kWidthSpinner, 0};
  EnableControls(ids, selected != nullptr);
}

void CPeakOverlayPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kShow, kColour, kColourLabel, kStyleLabel, kStyle, kWidth, kWidthLabel, kWidthSpinner, 0};
  ShowControls(ids, show);
}
