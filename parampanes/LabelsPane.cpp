// The labels pane: label attributes of the selected crystal and mixture patterns.
#include "LabelsPane.h"

#include <algorithm>
#include <cmath>

#include "DiffractionSettings.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QlwDoc.h"

namespace {
// The check boxes, in the order of CLabelsPane::m_boxes.
constexpr UINT kBoxIds[] = {CLabelsPane::kArrowhead, CLabelsPane::kFrame,     CLabelsPane::kHideOverlapping,
                            CLabelsPane::kOutline,   CLabelsPane::kRotate,    CLabelsPane::kShadow,
                            CLabelsPane::kShow,      CLabelsPane::kDSpacing,  CLabelsPane::kHKL,
                            CLabelsPane::kPhaseName, CLabelsPane::kRelIntensity, CLabelsPane::kXUnits, 0};
constexpr UINT kDependent[] = {CLabelsPane::kThreshold,   CLabelsPane::kThresholdLabel, CLabelsPane::kThresholdSpinner,
                               CLabelsPane::kPercent,     CLabelsPane::kLabelAll,       CLabelsPane::kReset,
                               CLabelsPane::kDSpacing,    CLabelsPane::kHKL,            CLabelsPane::kPhaseName,
                               CLabelsPane::kRelIntensity, CLabelsPane::kXUnits,        CLabelsPane::kContent,
                               CLabelsPane::kColour,      CLabelsPane::kColourLabel,    CLabelsPane::kResetColour,
                               CLabelsPane::kPosition,    CLabelsPane::kPositionLabel,  CLabelsPane::kRotate,
                               CLabelsPane::kArrowhead,   CLabelsPane::kFrame,          CLabelsPane::kOutline, 0};

// The patterns whose labels the pane edits: selected and shown crystals, then mixtures.
CQLPatternList Targets(CQlwDoc& doc) {
  CQLPatternList targets = CollectPatternsOfType<CQLCrystalPattern>(doc.GetPatterns(), true, true, true);
  for (const CQLPatternPtr& p : CollectPatternsOfType<CQLMixturePattern>(doc.GetPatterns(), true, true, true))
    targets.push_back(p);
  return targets;
}

int Truncated(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::trunc(std::clamp(value, -1e9, 1e9)));
}
}  // namespace

BEGIN_MESSAGE_MAP(CLabelsPane, CDiscloseablePane)
  ON_BN_CLICKED(CLabelsPane::kLabelAll, &CLabelsPane::OnLabelAll)
  ON_BN_CLICKED(CLabelsPane::kReset, &CLabelsPane::OnResetThreshold)
  ON_BN_CLICKED(CLabelsPane::kResetColour, &CLabelsPane::OnResetColour)
  ON_BN_CLICKED(CLabelsPane::kArrowhead, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kFrame, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kHideOverlapping, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kOutline, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kRotate, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kShadow, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kShow, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kDSpacing, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kHKL, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kPhaseName, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kRelIntensity, &CLabelsPane::OnControlChanged)
  ON_BN_CLICKED(CLabelsPane::kXUnits, &CLabelsPane::OnControlChanged)
  ON_CBN_SELCHANGE(CLabelsPane::kPosition, &CLabelsPane::OnControlChanged)
END_MESSAGE_MAP()

void CLabelsPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kColour, m_colour);
  DDX_Control(dx, kPosition, m_position);
  DDX_Control(dx, kThreshold, m_threshold);
  DDX_Control(dx, kThresholdSpinner, m_thresholdSpinner);
  for (size_t i = 0; kBoxIds[i]; ++i) DDX_Control(dx, static_cast<int>(kBoxIds[i]), m_boxes[i]);
}

CButton& CLabelsPane::Box(UINT id) {
  size_t i = 0;
  while (kBoxIds[i] && kBoxIds[i] != id) ++i;
  return m_boxes[i];
}

BOOL CLabelsPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_position.Fill(IDComboTables::kLabelAlignments, false);
  SetUpField(m_thresholdField, m_threshold, &m_thresholdSpinner, 0, 100, 100, nullptr);
  UnlockUpdates();
  RefreshControls();
  m_colour.SetFocus();
  return result;
}

CPrefScalar<bool>* CLabelsPane::OpenPreference() { return g_pPreferences ? &g_pPreferences->m_ParamOpenLabels : nullptr; }

void CLabelsPane::OnLabelAll() {
  m_threshold.SetValue(0, true);
  m_thresholdField.refused = false;
  OnControlChanged();
}

void CLabelsPane::OnResetThreshold() {
  const int value = g_pPreferences ? Truncated(g_pPreferences->m_LabelThreshold.Get()) : 0;
  if (m_threshold.SetValue(value, true)) m_thresholdField.refused = false;
  OnControlChanged();
}

void CLabelsPane::OnResetColour() {
  CQlwDoc* doc = GetDocument();
  CQLPattern* source = doc ? static_cast<CQLPattern*>(doc->GetSelectedCrystalPattern()) : nullptr;
  if (!source && doc) source = doc->GetSelectedMixturePattern();
  if (source) ShowColour(m_colour, source->m_color | 0xFF000000u);
  OnControlChanged();
}

bool CLabelsPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc) {
    const bool positioned = m_position.GetCurSel() >= 0;
    for (const CQLPatternPtr& p : Targets(*doc)) {
      if (positioned) p->m_labelAlignment = m_position.GetSelectedID();
      p->m_labelColor = m_colour.GetColor() | 0xFF000000u;
      p->m_rotateLabels = IsChecked(Box(kRotate)) ? 1 : 0;
      p->m_labelArrowhead = IsChecked(Box(kArrowhead)) ? 1 : 0;
      p->m_labelFrame = IsChecked(Box(kFrame)) ? 1 : 0;
      p->m_labelOutline = IsChecked(Box(kOutline)) ? 1 : 0;
      p->m_labelShadow = IsChecked(Box(kShadow)) ? 1 : 0;
      p->m_showLabels = IsChecked(Box(kShow)) ? 1 : 0;
      if (m_thresholdField.Writable()) p->m_labelThreshold = m_threshold.m_value;
      p->m_labelDSpacing = IsChecked(Box(kDSpacing)) ? 1 : 0;
      p->m_labelHKL = IsChecked(Box(kHKL)) ? 1 : 0;
      p->m_labelPhaseName = IsChecked(Box(kPhaseName)) ? 1 : 0;
      p->m_labelRelIntensity = IsChecked(Box(kRelIntensity)) ? 1 : 0;
      p->m_labelXUnits = IsChecked(Box(kXUnits)) ? 1 : 0;
    }
    if (CDiffractionSettings* settings = doc->GetSettings()) settings->m_hideOverlappingLabels = IsChecked(Box(kHideOverlapping));
  }
  return ApplyFinished(kHint);
}

void CLabelsPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLPattern* selected = doc ? static_cast<CQLPattern*>(doc->GetSelectedCrystalPattern()) : nullptr;
  if (!selected && doc) selected = doc->GetSelectedMixturePattern();
  static const CQLCrystalPattern defaults;
  const CQLPattern& source = selected ? *selected : static_cast<const CQLPattern&>(defaults);
  if (fromModel) {
    m_position.SelectID(source.m_labelAlignment);
    ShowColour(m_colour, source.m_labelColor);
    ShowCheck(Box(kRotate), source.m_rotateLabels != 0);
    ShowCheck(Box(kArrowhead), source.m_labelArrowhead != 0);
    ShowCheck(Box(kFrame), source.m_labelFrame != 0);
    ShowCheck(Box(kOutline), source.m_labelOutline != 0);
    ShowCheck(Box(kShadow), source.m_labelShadow != 0);
    ShowCheck(Box(kShow), source.m_showLabels != 0);
    // A threshold with a fraction is shown truncated and kept unless the user changes it.
    const int shown = Truncated(source.m_labelThreshold);
    m_thresholdField.Show(shown, true);
    if (static_cast<double>(shown) != source.m_labelThreshold) m_thresholdField.refused = true;
    ShowCheck(Box(kDSpacing), source.m_labelDSpacing != 0);
    ShowCheck(Box(kHKL), source.m_labelHKL != 0);
    ShowCheck(Box(kPhaseName), source.m_labelPhaseName != 0);
    ShowCheck(Box(kRelIntensity), source.m_labelRelIntensity != 0);
    ShowCheck(Box(kXUnits), source.m_labelXUnits != 0);
    const CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
    if (settings) ShowCheck(Box(kHideOverlapping), settings->m_hideOverlappingLabels);
  }
  Box(kShow).EnableWindow(selected != nullptr);
  EnableControls(kDependent, selected != nullptr && IsChecked(Box(kShow)));
  Box(kHideOverlapping).EnableWindow(TRUE);
  Box(kShadow).ShowWindow(SW_HIDE);
}

void CLabelsPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kArrowhead, kColour, kColourLabel, kResetColour, kFrame, kHideOverlapping, kLabelAll,
                             kReset, kOutline, kPositionLabel, kPosition, kRotate, kShadow, kShow, kThreshold,
                             kThresholdLabel, kThresholdSpinner, kPercent, kDSpacing, kHKL, kContent, kPhaseName,
                             kRelIntensity, kXUnits, 0};
  ShowControls(ids, show);
}
