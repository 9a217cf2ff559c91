// The particle size and strain pane: size, strain and displacement switch of the selected crystals.
#include "SamplePane.h"

#include "ParameterPaneTools.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"
#include "ValueRanges.h"

BEGIN_MESSAGE_MAP(CSamplePane, CDiscloseablePane)
  ON_BN_CLICKED(CSamplePane::kUseADP, &CSamplePane::OnControlChanged)
END_MESSAGE_MAP()

void CSamplePane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kSize, m_size);
  DDX_Control(dx, kSizeSlider, m_sizeSlider);
  DDX_Control(dx, kSizeSpinner, m_sizeSpinner);
  DDX_Control(dx, kStrain, m_strain);
  DDX_Control(dx, kStrainSlider, m_strainSlider);
  DDX_Control(dx, kStrainSpinner, m_strainSpinner);
  DDX_Control(dx, kUseADP, m_useADP);
}

BOOL CSamplePane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  // The edits take sizes up to 1000 µm and strains up to 100 %, as everywhere these are edited;
  // the sliders keep to the usual sizes up to 1 µm and strains up to 10 %.
  SetUpField(m_sizeField, m_size, &m_sizeSpinner, QLRanges::kMinParticleSize, QLRanges::kMaxParticleSize, 1000000,
             L"%0#.4f");
  LinkSlider(m_sizeSlider, m_size, 100, 0.0, false, 2, QLRanges::kMinParticleSize, 1.0);
  SetUpField(m_strainField, m_strain, &m_strainSpinner, QLRanges::kMinStrain, QLRanges::kMaxStrain, 1000, L"%0#.3f");
  LinkSlider(m_strainSlider, m_strain, 100, 0.0, false, 2, 0.0, 10.0);
  UnlockUpdates();
  RefreshControls();
  m_size.SetFocus();
  return result;
}

CPrefScalar<bool>* CSamplePane::OpenPreference() { return g_pPreferences ? &g_pPreferences->m_ParamOpenSample : nullptr; }

bool CSamplePane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  int code = kHint;
  if (doc && doc->GetSettings()) {
    // A disabled box shows another crystal's state: only an enabled one is the user's choice.
    const bool adpChosen = m_useADP.IsWindowEnabled() != FALSE;
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(doc->GetPatterns(), true, true, true)) {
      CQLCrystal* crystal = p->GetCrystal();
      if (!crystal) continue;
      if (m_sizeField.Writable()) crystal->m_particleSize = m_size.m_value * kAngstromPerMicron;
      if (m_strainField.Writable()) crystal->m_isotropicStrain = m_strain.m_value / 100.0;
      const bool use = IsChecked(m_useADP);
      if (adpChosen && crystal->m_useThermalEllipsoids != use) {
        crystal->m_useThermalEllipsoids = use;
        code = kHintADP;
      }
    }
  }
  return ApplyFinished(code);
}

void CSamplePane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLCrystalPattern* selected = doc ? doc->GetSelectedCrystalPattern() : nullptr;
  static const CQLCrystalPattern defaults;
  const CQLCrystal* crystal = (selected ? *selected : defaults).GetCrystal();
  if (fromModel && crystal) {
    m_sizeField.Show(crystal->m_particleSize / kAngstromPerMicron, true);
    m_strainField.Show(crystal->m_isotropicStrain * 100.0, true);
    ShowCheck(m_useADP, crystal->m_useThermalEllipsoids);
  }
  const bool enabled = selected && !doc->GetSelectedObservedPattern() && !doc->GetSelectedMixturePattern();
  static const UINT values[] = {kSize, kSizeLabel, kSizeUnit, kStrain, kStrainLabel, kStrainUnit, 0};
  EnableControls(values, enabled);
  bool allHaveADP = enabled;
  if (enabled)
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(doc->GetPatterns(), true, true, true))
      allHaveADP = allHaveADP && p->GetCrystal() && p->GetCrystal()->m_hasDisplacements;
  static const UINT adp[] = {kUseADP, kTemperatureLabel, 0};
  EnableControls(adp, allHaveADP);
}

void CSamplePane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kSize, kSizeLabel, kSizeSlider, kSizeSpinner, kSizeUnit, kStrain, kStrainLabel,
                             kStrainSlider, kStrainSpinner, kStrainUnit, kUseADP, kTemperatureLabel, 0};
  ShowControls(ids, show);
}
