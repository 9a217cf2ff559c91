// The Diffraction page: the default instrument of new documents and the parameters of each kind,
// with the electron wavelength and beam voltage kept in step both ways.
#include "PrefsPages.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "ElectronWavelength.h"
#include "ValueRanges.h"

using PrefsControls::IsChecked;
using PrefsControls::SetCheck;
using PrefsControls::Value;

namespace {
constexpr double kPi = 3.14159265358979323846;
// Stored as the Bragg angle θ in radians, shown as 2θ in degrees.
double ShownTwoTheta(double theta) { return 2.0 * theta * 180.0 / kPi; }
double StoredTheta(double twoTheta) { return twoTheta * 0.5 * kPi / 180.0; }
}  // namespace

BEGIN_MESSAGE_MAP(CDiffractionPrefsPane, CPreferencesPane)
  ON_CBN_SELCHANGE(2948, &CDiffractionPrefsPane::MarkModified)
  ON_BN_CLICKED(2934, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2952, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2953, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2939, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2935, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2942, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2945, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2946, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2930, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2933, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2961, &CDiffractionPrefsPane::MarkModified)
  ON_EN_CHANGE(2959, &CDiffractionPrefsPane::OnElectronWavelengthChanged)
  ON_EN_CHANGE(2960, &CDiffractionPrefsPane::OnBeamVoltageChanged)
END_MESSAGE_MAP()

CDiffractionPrefsPane::CDiffractionPrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

void CDiffractionPrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 2948, m_kind);
  DDX_Control(dx, 2952, m_lambda1);
  DDX_Control(dx, 2953, m_lambda2);
  DDX_Control(dx, 2950, m_lambda1Caption);
  DDX_Control(dx, 2951, m_lambda2Caption);
  DDX_Control(dx, 2939, m_ratio);
  DDX_Control(dx, 2934, m_monochromatic);
  DDX_Control(dx, 2935, m_tthWidth);
  DDX_Control(dx, 2936, m_tthUnit);
  DDX_Control(dx, 2942, m_tofAngle);
  DDX_Control(dx, 2945, m_tofPath);
  DDX_Control(dx, 2946, m_tofResolution);
  DDX_Control(dx, 2930, m_edxAngle);
  DDX_Control(dx, 2933, m_edxWidth);
  DDX_Control(dx, 2959, m_electronLambda);
  DDX_Control(dx, 2960, m_beamVoltage);
  DDX_Control(dx, 2961, m_electronWidth);
  DDX_Control(dx, 2962, m_electronWidthUnit);
}

BOOL CDiffractionPrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  m_kind.Fill(IDComboTables::kSimulationTypes, true);
  struct Field {
    CLXEdit<double>* edit;
    double low, high;
    const wchar_t* format;
  };
  const Field fields[] = {
      {&m_lambda1, QLRanges::kMinLambda, QLRanges::kMaxLambda, L"%.5f"},
      {&m_lambda2, QLRanges::kMinLambda, QLRanges::kMaxLambda, L"%.5f"},
      {&m_ratio, 0.0, DBL_MAX, L"%.5f"},
      {&m_tthWidth, 0.0, 180.0, L"%.3f"},
      {&m_electronLambda, MinElectronWavelength(), MaxElectronWavelength(), L"%.5f"},
      {&m_beamVoltage, kMinBeamVoltage, kMaxBeamVoltage, L"%#.2f"},
      {&m_electronWidth, 0.001, 1.0, L"%.5f"},
      {&m_tofAngle, QLRanges::kMinDetectorTwoTheta, QLRanges::kMaxDetectorTwoTheta, L"%.3f"},
      {&m_tofPath, QLRanges::kMinFlightPath, QLRanges::kMaxFlightPath, L"%.2f"},
      {&m_tofResolution, QLRanges::kMinResolution, QLRanges::kMaxResolution, L"%.5f"},
      {&m_edxAngle, QLRanges::kMinDetectorTwoTheta, QLRanges::kMaxDetectorTwoTheta, L"%.3f"},
      {&m_edxWidth, 0.0, 1000.0, L"%.3f"},
  };
  for (const Field& f : fields) {
    f.edit->SetRange(f.low, f.high);
    f.edit->SetFormat(f.format);
  }
  const std::pair<int, UINT> captions[] = {{2950, 3401}, {2951, 3402}, {2936, 3400}, {2944, 3403}, {2931, 3403}, {2947, 3408}};
  for (const auto& [id, stringId] : captions) {
    CString text;
    if (text.LoadString(stringId)) SetDlgItemText(id, text);
  }
  CString unit;
  unit.Format(L"%c%c%c", 0x00C5, 0x207B, 0x00B9);
  m_electronWidthUnit.SetWindowText(unit);
  SetHeaderFont({2949, 2938, 2943, 2932, 2958});
  return FinishInit(m_kind);
}

void CDiffractionPrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  NoteLoaded(2948, m_kind.SelectID(p->m_SimulationType.Get()) >= 0);
  const std::pair<CLXEdit<double>*, double> shown[] = {
      {&m_lambda1, p->m_Lambda.Get()},
      {&m_lambda2, p->m_Lambda2.Get()},
      {&m_ratio, p->m_LambdaRatio.Get()},
      {&m_tthWidth, p->m_TTHPeakWidth.Get()},
      {&m_tofAngle, ShownTwoTheta(p->m_TOFTheta.Get())},
      {&m_tofPath, p->m_TOFDistance.Get()},
      {&m_tofResolution, p->m_TOFResolution.Get()},
      {&m_edxAngle, ShownTwoTheta(p->m_EDXTheta.Get())},
      {&m_edxWidth, p->m_EDXPeakWidth.Get()},
      {&m_electronLambda, p->m_LambdaTEM.Get()},
      {&m_electronWidth, p->m_PeakWidthTEM.Get()},
  };
  for (const auto& [edit, value] : shown) NoteLoaded(edit->GetDlgCtrlID(), edit->SetValue(value, false));
  SetCheck(*this, 2934, p->m_Monochromatic.Get());
  m_beamVoltage.SetValue(ElectronEnergyFromWavelength(Value<double>(m_electronLambda)), false);
  m_coupling = false;
  UpdateControls(false);
  m_refreshGuard.Release();
}

void CDiffractionPrefsPane::OnElectronWavelengthChanged() {
  if (m_coupling) return;
  m_coupling = true;
  const double lambda = m_electronLambda.m_value;
  if (std::isfinite(lambda) && lambda > 0.0) m_beamVoltage.SetValue(ElectronEnergyFromWavelength(lambda), false);
  MarkModified();
  m_coupling = false;
}

void CDiffractionPrefsPane::OnBeamVoltageChanged() {
  if (m_coupling) return;
  m_coupling = true;
  const double voltage = m_beamVoltage.m_value;
  if (std::isfinite(voltage) && voltage >= kMinBeamVoltage && voltage <= kMaxBeamVoltage) {
    // At the ends of the voltage range the wavelength may fall a rounding outside its own.
    const double lambda = std::clamp(ElectronWavelengthFromEnergy(voltage), MinElectronWavelength(), MaxElectronWavelength());
    m_electronLambda.SetValue(lambda, false);
    m_unshown.erase(2959);
  }
  MarkModified();
  m_coupling = false;
}

bool CDiffractionPrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  if (MayWrite(2948)) p->m_SimulationType.Set(m_kind.GetSelectedID());
  if (MayWrite(2952)) p->m_Lambda.Set(Value<double>(m_lambda1));
  if (MayWrite(2953)) p->m_Lambda2.Set(Value<double>(m_lambda2));
  if (MayWrite(2939)) p->m_LambdaRatio.Set(Value<double>(m_ratio));
  p->m_Monochromatic.Set(IsChecked(*this, 2934));
  if (MayWrite(2935)) p->m_TTHPeakWidth.Set(Value<double>(m_tthWidth));
  if (MayWrite(2942)) p->m_TOFTheta.Set(StoredTheta(Value<double>(m_tofAngle)));
  if (MayWrite(2945)) p->m_TOFDistance.Set(Value<double>(m_tofPath));
  if (MayWrite(2946)) p->m_TOFResolution.Set(Value<double>(m_tofResolution));
  if (MayWrite(2930)) p->m_EDXTheta.Set(StoredTheta(Value<double>(m_edxAngle)));
  if (MayWrite(2933)) p->m_EDXPeakWidth.Set(Value<double>(m_edxWidth));
  if (MayWrite(2959)) p->m_LambdaTEM.Set(Value<double>(m_electronLambda));
  if (MayWrite(2961)) p->m_PeakWidthTEM.Set(Value<double>(m_electronWidth));
  return CPreferencesPane::ApplyChanges();
}
