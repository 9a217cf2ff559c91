// The position and scale pane: offsets, y scale and weight fraction of the selected patterns.
#include "OffsetsPane.h"

#include "ParameterPaneTools.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"

namespace {
constexpr double kOffsetLimit = 16383.5;
}  // namespace

BEGIN_MESSAGE_MAP(COffsetsPane, CDiscloseablePane)
  ON_BN_CLICKED(COffsetsPane::kUseYScale, &COffsetsPane::OnYScaleClicked)
END_MESSAGE_MAP()

void COffsetsPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kXOffset, m_xOffset);
  DDX_Control(dx, kXOffsetSlider, m_xOffsetSlider);
  DDX_Control(dx, kXOffsetSpinner, m_xOffsetSpinner);
  DDX_Control(dx, kYOffset, m_yOffset);
  DDX_Control(dx, kYOffsetSlider, m_yOffsetSlider);
  DDX_Control(dx, kYOffsetSpinner, m_yOffsetSpinner);
  DDX_Control(dx, kYScale, m_yScale);
  DDX_Control(dx, kYScaleSlider, m_yScaleSlider);
  DDX_Control(dx, kYScaleSpinner, m_yScaleSpinner);
  DDX_Control(dx, kFraction, m_fraction);
  DDX_Control(dx, kFractionSlider, m_fractionSlider);
  DDX_Control(dx, kFractionSpinner, m_fractionSpinner);
  DDX_Control(dx, kUseYScale, m_useYScale);
}

BOOL COffsetsPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  SetUpField(m_xOffsetField, m_xOffset, &m_xOffsetSpinner, -kOffsetLimit, kOffsetLimit, 32767, L"%0#.3f");
  // Linked first, so that the window is placed around the start value.
  LinkSlider(m_xOffsetSlider, m_xOffset, 100, 20.0);
  m_xOffset.SetValue(0.0, true);
  SetUpField(m_yOffsetField, m_yOffset, &m_yOffsetSpinner, -kOffsetLimit, kOffsetLimit, 32767, L"%0#.3f");
  LinkSlider(m_yOffsetSlider, m_yOffset, 100, 20.0);
  m_yOffset.SetValue(0.0, true);
  SetUpField(m_yScaleField, m_yScale, &m_yScaleSpinner, 0.0001, 32767.0, 32767, L"%0#.4f");
  LinkSlider(m_yScaleSlider, m_yScale, 100, 10.0, true);
  m_yScale.SetValue(1.0, true);
  SetUpField(m_fractionField, m_fraction, &m_fractionSpinner, 0.0, 1.0, 100, L"%0#.2f");
  LinkSlider(m_fractionSlider, m_fraction, 100);
  m_fraction.SetValue(1.0, true);
  UnlockUpdates();
  RefreshControls();
  m_fraction.SetFocus();
  return result;
}

CPrefScalar<bool>* COffsetsPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenPattern : nullptr;
}

void COffsetsPane::OnYScaleClicked() {
  if (IsUpdateLocked()) return;
  UpdateControls(false);
  // The box changes how the pattern is drawn: the plot must hear of it.
  SetModified(true, false);
  ApplyChanges();
}

bool COffsetsPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc && doc->GetSettings()) {
    const CQLPatternList targets = CollectPatterns(doc->GetPatterns(), true, true, true);
    for (const CQLPatternPtr& p : targets) {
      p->m_xOffset = m_xOffsetField.ValueOr(p->m_xOffset);
      p->m_yOffset = m_yOffsetField.ValueOr(p->m_yOffset);
      p->m_fraction = m_fractionField.ValueOr(p->m_fraction);
      p->m_yScale = m_yScaleField.ValueOr(p->m_yScale);
    }
    ClearMixturesHolding(doc->GetPatterns(), targets);
  }
  return ApplyFinished(kHint);
}

void COffsetsPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLPattern* selected = doc ? doc->GetSelectedPattern() : nullptr;
  static const CQLCrystalPattern defaults;
  const CQLPattern& source = selected ? *selected : static_cast<const CQLPattern&>(defaults);
  if (fromModel) {
    m_xOffsetField.Show(source.m_xOffset, false);
    m_yOffsetField.Show(source.m_yOffset, false);
    m_yScaleField.Show(source.m_yScale, false);
    m_fractionField.Show(source.m_fraction, false);
    ShowCheck(m_useYScale, source.m_yScaleOn != 0);
  }
  const bool crystal = doc && doc->GetSelectedCrystalPattern();
  CQLObservedPattern* observed = doc ? doc->GetSelectedObservedPattern() : nullptr;
  const bool mixture = doc && doc->GetSelectedMixturePattern();
  static const UINT placed[] = {kXOffset, kXOffsetLabel, kYOffset, kYOffsetLabel, kFraction, kFractionLabel, 0};
  EnableControls(placed, (crystal || observed) && !mixture);
  const bool ownScale = observed && !crystal && !mixture;
  m_useYScale.EnableWindow(ownScale);
  if (ownScale) observed->m_yScaleOn = IsChecked(m_useYScale) ? 1 : 0;
  m_yScale.EnableWindow(selected && IsChecked(m_useYScale));
}

void COffsetsPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kXOffset, kXOffsetLabel, kXOffsetSlider, kXOffsetSpinner, kYOffset, kYOffsetLabel,
                             kYOffsetSlider, kYOffsetSpinner, kUseYScale, kYScale, kYScaleSlider, kYScaleSpinner,
                             kFraction, kFractionLabel, kFractionSlider, kFractionSpinner, 0};
  ShowControls(ids, show);
}
