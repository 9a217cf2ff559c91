// The plot pane: line and marker style of every selected and shown pattern.
#include "GraphPane.h"

#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"

BEGIN_MESSAGE_MAP(CGraphPane, CDiscloseablePane)
  ON_BN_CLICKED(CGraphPane::kShadow, &CGraphPane::OnControlChanged)
  ON_BN_CLICKED(CGraphPane::kSolidFill, &CGraphPane::OnControlChanged)
  ON_CBN_SELCHANGE(CGraphPane::kLineStyle, &CGraphPane::OnControlChanged)
  ON_CBN_SELCHANGE(CGraphPane::kMarkerStyle, &CGraphPane::OnControlChanged)
END_MESSAGE_MAP()

void CGraphPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kColour, m_colour);
  DDX_Control(dx, kLineStyle, m_lineStyle);
  DDX_Control(dx, kMarkerStyle, m_markerStyle);
  DDX_Control(dx, kOpacity, m_opacity);
  DDX_Control(dx, kOpacitySpinner, m_opacitySpinner);
  DDX_Control(dx, kShadow, m_shadow);
  DDX_Control(dx, kSolidFill, m_solidFill);
  DDX_Control(dx, kSize, m_size);
  DDX_Control(dx, kSizeSpinner, m_sizeSpinner);
  DDX_Control(dx, kWidth, m_width);
  DDX_Control(dx, kWidthSpinner, m_widthSpinner);
}

BOOL CGraphPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_lineStyle.Fill(IDComboTables::kLineStyles, false);
  m_markerStyle.Fill(IDComboTables::kMarkerStyles, false);
  SetUpField(m_opacityField, m_opacity, &m_opacitySpinner, 0.0, 1.0, 10, L"%0#.1f");
  SetUpField(m_sizeField, m_size, &m_sizeSpinner, 0.1, 10.0, 99, L"%0#.1f");
  SetUpField(m_widthField, m_width, &m_widthSpinner, 0.1, 10.0, 99, L"%0#.1f");
  UnlockUpdates();
  RefreshControls();
  m_colour.SetFocus();
  return result;
}

CPrefScalar<bool>* CGraphPane::OpenPreference() { return g_pPreferences ? &g_pPreferences->m_ParamOpenGraph : nullptr; }

bool CGraphPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc) {
    const bool lineChosen = m_lineStyle.GetCurSel() >= 0, markerChosen = m_markerStyle.GetCurSel() >= 0;
    for (const CQLPatternPtr& p : CollectPatterns(doc->GetPatterns(), true, true, true)) {
      p->m_color = m_colour.GetColor() | 0xFF000000u;
      if (lineChosen) p->m_lineStyle = m_lineStyle.GetSelectedID();
      p->m_lineWidth = static_cast<float>(m_widthField.ValueOr(p->m_lineWidth));
      if (markerChosen) p->m_markerStyle = m_markerStyle.GetSelectedID();
      p->m_markerSize = static_cast<float>(m_sizeField.ValueOr(p->m_markerSize));
      p->m_useShadow = IsChecked(m_shadow) ? 1 : 0;
      p->m_fill = IsChecked(m_solidFill);
      p->m_fillOpacity = static_cast<float>(m_opacityField.ValueOr(p->m_fillOpacity));
    }
  }
  return ApplyFinished(kHint);
}

void CGraphPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLPattern* selected = doc ? doc->GetSelectedPattern() : nullptr;
  static const CQLCrystalPattern defaults;
  const CQLPattern& source = selected ? *selected : static_cast<const CQLPattern&>(defaults);
  if (fromModel) {
    ShowColour(m_colour, source.m_color);
    m_lineStyle.SelectID(static_cast<LXTypes::QLLineStyle>(source.m_lineStyle));
    m_widthField.Show(source.m_lineWidth, true);
    m_markerStyle.SelectID(static_cast<LXTypes::QLMarkerStyle>(source.m_markerStyle));
    m_sizeField.Show(source.m_markerSize, true);
    m_opacityField.Show(source.m_fillOpacity, true);
    ShowCheck(m_solidFill, source.m_fill);
    ShowCheck(m_shadow, source.m_useShadow != 0);
  }
  const bool any = selected != nullptr;
  static const UINT styled[] = {kColour, kColourLabel, kLineStyle, kLineStyleLabel, kMarkerStyle, kMarkerStyleLabel,
                                kSize, kSizeLabel, kSizeSpinner, kWidth, kWidthLabel, kWidthSpinner, kSolidFill, 0};
  EnableControls(styled, any);
  static const UINT opacity[] = {kOpacity, kOpacityLabel, kOpacitySpinner, 0};
  EnableControls(opacity, any && IsChecked(m_solidFill));
  m_shadow.ShowWindow(SW_HIDE);
}

void CGraphPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kColour, kColourLabel, kLineStyle, kLineStyleLabel, kMarkerStyle, kMarkerStyleLabel,
                             kOpacity, kOpacityLabel, kOpacitySpinner, kShadow, kSize, kSizeLabel, kSizeSpinner,
                             kSolidFill, kWidth, kWidthLabel, kWidthSpinner, 0};
  ShowControls(ids, show);
}
