// The four instrument panes: 2θ (X-rays and neutrons), time of flight, energy-dispersive and the
// electron microscope, each with its own fields over the base's profile, width and η.
#include <algorithm>
#include <cmath>

#include "ElectronWavelength.h"
#include "InstrumentPane.h"
#include "LXMessage.h"
#include "ValueRanges.h"

namespace {
constexpr double kDegToRad = 3.141592653589793 / 180.0;
constexpr UINT kCmdXRays = 33486;
constexpr UINT kCmdNeutrons = 33477;
constexpr UINT kTwoThetaLabelText = 3108;
constexpr UINT kResolutionLabelText = 3106;

// Detector angles are stored as the Bragg angle θ in radians and shown as 2θ in degrees.
double ShownTwoTheta(double theta) { return 2.0 * theta / kDegToRad; }
double StoredTheta(double twoTheta) { return twoTheta * 0.5 * kDegToRad; }

void SetLabel(CWnd* pane, UINT control, UINT string) {
  CString text;
  if (text.LoadString(string)) pane->SetDlgItemText(static_cast<int>(control), text);
}
}  // namespace

// ---- 2θ ----

BEGIN_MESSAGE_MAP(CInstrumentTTHPane, CInstrumentPane)
  ON_CBN_SELCHANGE(CInstrumentPane::kRadiation, &CInstrumentTTHPane::OnValueChanged)
END_MESSAGE_MAP()

void CInstrumentTTHPane::DoDataExchange(CDataExchange* dx) {
  CInstrumentPane::DoDataExchange(dx);
  DDX_Control(dx, kRadiation, m_radiation);
  BindField(dx, m_wavelength, kWavelength, kWavelengthSlider, kWavelengthSpinner);
}

BOOL CInstrumentTTHPane::OnInitDialog() {
  const BOOL result = CInstrumentPane::OnInitDialog();
  m_radiation.Fill(IDComboTables::kSimulationTypes2Theta, true);
  SetUpField(m_wavelength, {QLRanges::kMinLambda, QLRanges::kMaxLambda, L"%0#.3f", 300, 100, 3.0, 1, 100000},
             [this] { OnValueChanged(); });
  SetUpField(m_peakWidth, {0.0, 32767.0, L"%0#.4f", 100, 50, 1.0, 1, 32767}, [this] { OnPeakWidthChanged(); });
  UnlockUpdates();
  RefreshControls();
  m_radiation.SetFocus();
  return result;
}

const UINT* CInstrumentTTHPane::OwnControls() const {
  static const UINT ids[] = {kRadiation, kRadiationLabel, kWavelength, kWavelengthLabel, kWavelengthSlider,
                             kWavelengthSpinner, kWavelengthUnit, 0};
  return ids;
}

void CInstrumentTTHPane::ApplyFields(CDiffractionSettings& settings) {
  settings.m_lambda = m_wavelength.field.ValueOr(settings.m_lambda);
  if (m_radiation.GetCurSel() < 0) return;
  const LXTypes::QLSimulationType kind = m_radiation.GetSelectedID();
  // The command switches the document's geometry itself, after this apply.
  if (kind != settings.m_simulationType && (kind == LXTypes::kSimXRays || kind == LXTypes::kSimNeutrons))
    CLXMsgMenuCmd(nullptr, kind == LXTypes::kSimXRays ? kCmdXRays : kCmdNeutrons).Send(CLXMessage::kModeAsync);
}

void CInstrumentTTHPane::ShowFields(const CDiffractionSettings& settings) {
  m_radiation.SelectID(settings.m_simulationType);
  m_wavelength.field.Show(settings.m_lambda, true);
}

// ---- time of flight ----

void CInstrumentTOFPane::DoDataExchange(CDataExchange* dx) {
  CInstrumentPane::DoDataExchange(dx);
  BindField(dx, m_detector, kDetector, kDetectorSlider, kDetectorSpinner);
  BindField(dx, m_flightPath, kFlightPath, kFlightPathSlider, kFlightPathSpinner);
  BindField(dx, m_resolution, kResolution, kResolutionSlider, kResolutionSpinner);
}

BOOL CInstrumentTOFPane::OnInitDialog() {
  const BOOL result = CInstrumentPane::OnInitDialog();
  auto changed = [this] { OnValueChanged(); };
  SetUpField(m_detector,
             {QLRanges::kMinDetectorTwoTheta, QLRanges::kMaxDetectorTwoTheta, L"%0#.3f", 180, 45, 0.0, 1, 1800},
             changed);
  // The edits take the wider ranges; the sliders keep to the usual instruments.
  SetUpField(m_flightPath,
             {QLRanges::kMinFlightPath, QLRanges::kMaxFlightPath, nullptr, 200, 100, 200.0, 1, 100000, 1.0, 32768.0},
             changed);
  SetUpField(m_resolution,
             {QLRanges::kMinResolution, QLRanges::kMaxResolution, L"%0#.5f", 100, 50, 0.0, 2, 100000, 0.00001, 0.1},
             changed);
  SetLabel(this, kDetectorLabel, kTwoThetaLabelText);
  SetLabel(this, kResolutionLabel, kResolutionLabelText);
  UnlockUpdates();
  RefreshControls();
  m_detector.edit.SetFocus();
  return result;
}

const UINT* CInstrumentTOFPane::OwnControls() const {
  static const UINT ids[] = {kDetector,         kDetectorLabel,   kDetectorSlider,  kDetectorSpinner,
                             kDetectorUnit,     kFlightPath,      kFlightPathLabel, kFlightPathSlider,
                             kFlightPathSpinner, kFlightPathUnit, kResolution,      kResolutionLabel,
                             kResolutionSlider, kResolutionSpinner, 0};
  return ids;
}

void CInstrumentTOFPane::ApplyFields(CDiffractionSettings& settings) {
  // Written only when edited: 2θ → θ → 2θ would move the stored angle by its rounding.
  if (m_detector.Edited()) settings.m_tofTheta = StoredTheta(m_detector.edit.m_value);
  settings.m_tofDistance = m_flightPath.field.ValueOr(settings.m_tofDistance);
  settings.m_tofResolution = m_resolution.field.ValueOr(settings.m_tofResolution);
  settings.UpdateTOFFactor();
}

void CInstrumentTOFPane::ShowFields(const CDiffractionSettings& settings) {
  m_detector.field.Show(ShownTwoTheta(settings.m_tofTheta), true);
  m_flightPath.field.Show(settings.m_tofDistance, true);
  m_resolution.field.Show(settings.m_tofResolution, true);
}

// ---- energy-dispersive ----

void CInstrumentEDXPane::DoDataExchange(CDataExchange* dx) {
  CInstrumentPane::DoDataExchange(dx);
  BindField(dx, m_detector, kDetector, kDetectorSlider, kDetectorSpinner);
}

BOOL CInstrumentEDXPane::OnInitDialog() {
  const BOOL result = CInstrumentPane::OnInitDialog();
  SetUpField(m_detector,
             {QLRanges::kMinDetectorTwoTheta, QLRanges::kMaxDetectorTwoTheta, nullptr, 45, 15, 45.0, 1, 1800},
             [this] { OnValueChanged(); });
  SetUpField(m_peakWidth, {0.0, 1.0, L"%0#.4f", 100, 50, 0.0, 1, 100}, [this] { OnPeakWidthChanged(); });
  SetLabel(this, kDetectorLabel, kTwoThetaLabelText);
  UnlockUpdates();
  RefreshControls();
  m_detector.edit.SetFocus();
  return result;
}

const UINT* CInstrumentEDXPane::OwnControls() const {
  static const UINT ids[] = {kDetector, kDetectorLabel, kDetectorSlider, kDetectorSpinner, kDetectorUnit, 0};
  return ids;
}

void CInstrumentEDXPane::ApplyFields(CDiffractionSettings& settings) {
  if (m_detector.Edited()) settings.m_edxTheta = StoredTheta(m_detector.edit.m_value);
  settings.UpdateTOFFactor();
}

void CInstrumentEDXPane::ShowFields(const CDiffractionSettings& settings) {
  m_detector.field.Show(ShownTwoTheta(settings.m_edxTheta), true);
}

// ---- electrons ----

void CInstrumentTEMPane::DoDataExchange(CDataExchange* dx) {
  CInstrumentPane::DoDataExchange(dx);
  BindField(dx, m_voltage, kDetector, kDetectorSlider, kDetectorSpinner);
  BindField(dx, m_wavelength, kWavelength, kWavelengthSlider, kWavelengthSpinner);
}

BOOL CInstrumentTEMPane::OnInitDialog() {
  const BOOL result = CInstrumentPane::OnInitDialog();
  SetUpField(m_voltage, {kMinBeamVoltage, kMaxBeamVoltage, L"%0#.1f", 400, 100, 0.0, 1, 999, 1.0, 400.0},
             [this] { OnBeamVoltageChanged(); });
  SetUpField(m_wavelength,
             {MinElectronWavelength(), MaxElectronWavelength(), L"%0#.4f", 1000, 500, 1.0, 1, 4000, 0.01, 0.1},
             [this] { OnWavelengthChanged(); });
  SetUpField(m_peakWidth, {0.0, 1.0, L"%03.4f", 1000, 500, 1.0, 1, 999}, [this] { OnPeakWidthChanged(); });
  UnlockUpdates();
  RefreshControls();
  m_voltage.edit.SetFocus();
  return result;
}

const UINT* CInstrumentTEMPane::OwnControls() const {
  static const UINT ids[] = {kDetector,         kDetectorLabel,   kDetectorSlider,    kDetectorSpinner,
                             kDetectorUnit,     kWavelength,      kWavelengthLabel,   kWavelengthSlider,
                             kWavelengthSpinner, kWavelengthUnit, 0};
  return ids;
}

void CInstrumentTEMPane::ShowVoltageFor(double wavelength) {
  if (!(std::isfinite(wavelength) && wavelength > 0.0)) return;
  const double voltage = std::clamp(ElectronEnergyFromWavelength(wavelength), kMinBeamVoltage, kMaxBeamVoltage);
  const bool was = m_coupling;
  m_coupling = true;
  m_voltage.edit.SetValue(voltage, true);
  m_coupling = was;
}

void CInstrumentTEMPane::OnBeamVoltageChanged() {
  if (m_coupling) return;
  m_coupling = true;
  const double voltage = m_voltage.edit.m_value;
  if (std::isfinite(voltage) && voltage > 0.0)
    m_wavelength.edit.SetValue(
        std::clamp(ElectronWavelengthFromEnergy(voltage), MinElectronWavelength(), MaxElectronWavelength()), true);
  m_coupling = false;
  OnValueChanged();
}

void CInstrumentTEMPane::OnWavelengthChanged() {
  if (m_coupling) return;
  ShowVoltageFor(m_wavelength.edit.m_value);
  OnValueChanged();
}

void CInstrumentTEMPane::ApplyFields(CDiffractionSettings& settings) {
  settings.m_lambdaTEM = m_wavelength.field.ValueOr(settings.m_lambdaTEM);
  settings.UpdateTOFFactor();
}

void CInstrumentTEMPane::ShowFields(const CDiffractionSettings& settings) {
  m_wavelength.field.Show(settings.m_lambdaTEM, true);
  // Also when the model's wavelength lies outside the field's range and is not shown.
  ShowVoltageFor(settings.m_lambdaTEM);
}
