// The smoothing pane: smoothing and its overlay style of the selected observed patterns.
#include "SmoothingPane.h"

#include "ParameterPaneTools.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"

BEGIN_MESSAGE_MAP(CSmoothingPane, CDiscloseablePane)
  ON_BN_CLICKED(CSmoothingPane::kSmooth, &CSmoothingPane::OnControlChanged)
  ON_BN_CLICKED(CSmoothingPane::kOverlay, &CSmoothingPane::OnControlChanged)
  ON_CBN_SELCHANGE(CSmoothingPane::kLineStyle, &CSmoothingPane::OnControlChanged)
  ON_CBN_SELCHANGE(CSmoothingPane::kMarkerStyle, &CSmoothingPane::OnControlChanged)
END_MESSAGE_MAP()

void CSmoothingPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kSmooth, m_smooth);
  DDX_Control(dx, kOverlay, m_overlay);
  DDX_Control(dx, kRadius, m_radius);
  DDX_Control(dx, kRadiusSlider, m_radiusSlider);
  DDX_Control(dx, kRadiusSpinner, m_radiusSpinner);
  DDX_Control(dx, kColour, m_colour);
  DDX_Control(dx, kLineStyle, m_lineStyle);
  DDX_Control(dx, kMarkerStyle, m_markerStyle);
  DDX_Control(dx, kWidth, m_width);
  DDX_Control(dx, kWidthSpinner, m_widthSpinner);
  DDX_Control(dx, kSize, m_size);
  DDX_Control(dx, kSizeSpinner, m_sizeSpinner);
}

BOOL CSmoothingPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_lineStyle.Fill(IDComboTables::kLineStyles, false);
  m_lineStyle.SelectID(LXTypes::kLineSolid);
  m_markerStyle.Fill(IDComboTables::kMarkerStyles, false);
  SetUpField(m_radiusField, m_radius, &m_radiusSpinner, 1, 50, 49, nullptr);
  LinkSlider(m_radiusSlider, m_radius, 49);
  SetUpField(m_widthField, m_width, &m_widthSpinner, 0.1, 10.0, 99, nullptr);
  SetUpField(m_sizeField, m_size, &m_sizeSpinner, 0.1, 10.0, 99, nullptr);
  UnlockUpdates();
  RefreshControls();
  m_smooth.SetFocus();
  return result;
}

CPrefScalar<bool>* CSmoothingPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenSmoothing : nullptr;
}

bool CSmoothingPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc && doc->GetSettings()) {
    const bool lineChosen = m_lineStyle.GetCurSel() >= 0, markerChosen = m_markerStyle.GetCurSel() >= 0;
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLObservedPattern>(doc->GetPatterns(), true, true, true)) {
      auto& observed = static_cast<CQLObservedPattern&>(*p);
      observed.m_smoothing = IsChecked(m_smooth) ? 1 : 0;
      observed.m_overlaySmoothed = IsChecked(m_overlay) ? 1 : 0;
      observed.m_smoothingPoints = m_radiusField.ValueOr(observed.m_smoothingPoints);
      CQLCurveStyle& style = observed.m_smoothedStyle;
      style.color = m_colour.GetColor() | 0xFF000000u;
      style.lineStyle = lineChosen ? std::uint32_t(m_lineStyle.GetSelectedID()) : 0u;
      style.markerStyle = markerChosen ? std::uint32_t(m_markerStyle.GetSelectedID()) : 0u;
      style.lineWidth = static_cast<float>(m_widthField.ValueOr(style.lineWidth));
      style.markerSize = static_cast<float>(m_sizeField.ValueOr(style.markerSize));
    }
  }
  return ApplyFinished(kHint);
}

void CSmoothingPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLObservedPattern* selected = doc ? doc->GetSelectedObservedPattern() : nullptr;
  static const CQLObservedPattern defaults;
  const CQLObservedPattern& source = selected ? *selected : defaults;
  if (fromModel) {
    ShowCheck(m_smooth, source.m_smoothing != 0);
    ShowCheck(m_overlay, source.m_overlaySmoothed != 0);
    m_radiusField.Show(source.m_smoothingPoints, true);
    ShowColour(m_colour, source.m_smoothedStyle.color);
    m_lineStyle.SelectID(static_cast<LXTypes::QLLineStyle>(source.m_smoothedStyle.lineStyle));
    m_markerStyle.SelectID(static_cast<LXTypes::QLMarkerStyle>(source.m_smoothedStyle.markerStyle));
    m_widthField.Show(source.m_smoothedStyle.lineWidth, true);
    m_sizeField.Show(source.m_smoothedStyle.markerSize, true);
  }
  const bool tier1 = selected && !doc->GetSelectedCrystalPattern() && !doc->GetSelectedMixturePattern();
  const bool tier2 = tier1 && IsChecked(m_smooth);
  const bool tier3 = tier2 && IsChecked(m_overlay);
  m_smooth.EnableWindow(tier1);
  static const UINT radius[] = {kRadius, kRadiusLabel, kOverlay, 0};
  EnableControls(radius, tier2);
  static const UINT overlay[] = {kColour, kColourLabel, kLineStyle, kLineStyleLabel, kMarkerStyle, kMarkerStyleLabel,
                                 kWidth, kWidthLabel, kSize, kSizeLabel, 0};
  EnableControls(overlay, tier3);
}

void CSmoothingPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kSmooth, kRadius, kRadiusLabel, kRadiusSlider, kRadiusSpinner, kOverlay, kColour,
                             kColourLabel, kLineStyle, kLineStyleLabel, kMarkerStyle, kMarkerStyleLabel, kWidth,
                             kWidthLabel, kWidthSpinner, kSize, kSizeLabel, kSizeSpinner, 0};
  ShowControls(ids, show);
}
