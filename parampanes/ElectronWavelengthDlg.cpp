// The electron wavelength dialog: two coupled fields and the presets.
#include "ElectronWavelengthDlg.h"

#include <algorithm>
#include <cmath>

#include "DiffractionSettings.h"
#include "ElectronWavelength.h"

const double ElectronWavelengthDlg::kPresetVoltages[6] = {60.0, 80.0, 100.0, 200.0, 300.0, 400.0};

BEGIN_MESSAGE_MAP(ElectronWavelengthDlg, CDialog)
  ON_COMMAND_RANGE(ElectronWavelengthDlg::kFirstPreset, ElectronWavelengthDlg::kLastPreset,
                   &ElectronWavelengthDlg::OnPreset)
END_MESSAGE_MAP()

ElectronWavelengthDlg::ElectronWavelengthDlg(CWnd* parent, const CDiffractionSettings* settings)
    : CDialog(kTemplateId, parent), m_initial(settings ? settings->m_lambdaTEM : CDiffractionSettings(true).m_lambdaTEM) {}

void ElectronWavelengthDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kWavelength, m_wavelength);
  DDX_Control(dx, kVoltage, m_voltage);
}

BOOL ElectronWavelengthDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_wavelength.SetFormat(L"%#.4f");
  m_voltage.SetFormat(L"%.0f");
  m_wavelength.SetRange(MinElectronWavelength(), MaxElectronWavelength());
  m_voltage.SetRange(kMinBeamVoltage, kMaxBeamVoltage);
  for (auto [relay, edit, handler] : {std::tuple{&m_wavelengthRelay, &m_wavelength, &ElectronWavelengthDlg::OnWavelengthChanged},
                                      std::tuple{&m_voltageRelay, &m_voltage, &ElectronWavelengthDlg::OnVoltageChanged}}) {
    relay->m_onChange = [this, handler = handler] { (this->*handler)(); };
    relay->CreateEx(0, nullptr, L"", WS_CHILD, CRect(0, 0, 0, 0), this, 0);
    edit->AddNotifyTarget(relay);
  }
  // A stored wavelength outside the range shows the nearest one the fields can hold.
  double lambda = std::isfinite(m_initial) ? m_initial : MaxElectronWavelength();
  m_wavelength.SetValue(std::clamp(lambda, MinElectronWavelength(), MaxElectronWavelength()), true);
  OnWavelengthChanged();
  GotoDlgCtrl(&m_wavelength);
  m_wavelength.SetSel(0, -1);
  return FALSE;
}

void ElectronWavelengthDlg::OnWavelengthChanged() {
  m_wavelength.m_refused = false;
  if (m_coupling) return;
  m_coupling = true;
  const double voltage = ElectronEnergyFromWavelength(m_wavelength.m_value);
  if (std::isfinite(voltage)) m_voltage.SetValue(std::clamp(voltage, kMinBeamVoltage, kMaxBeamVoltage), true);
  m_coupling = false;
}

void ElectronWavelengthDlg::OnVoltageChanged() {
  m_voltage.m_refused = false;
  if (m_coupling) return;
  m_coupling = true;
  const double lambda = ElectronWavelengthFromEnergy(m_voltage.m_value);
  if (std::isfinite(lambda))
    m_wavelength.SetValue(std::clamp(lambda, MinElectronWavelength(), MaxElectronWavelength()), true);
  m_coupling = false;
}

void ElectronWavelengthDlg::OnPreset(UINT id) {
  if (id < kFirstPreset || id > kLastPreset) return;
  m_voltage.SetValue(kPresetVoltages[id - kFirstPreset], true);
}

bool ElectronWavelengthDlg::Accept(CElectronField& edit) {
  CString text;
  edit.GetWindowText(text);
  if (text.Trim() == edit.FormatValue(edit.m_value) && edit.m_value >= edit.m_min && edit.m_value <= edit.m_max)
    return true;
  return edit.Validate(true);
}

void ElectronWavelengthDlg::OnOK() {
  // Each refused value has said why; the dialog stays open.
  const bool refused = m_voltage.m_refused || m_wavelength.m_refused;
  m_voltage.m_refused = m_wavelength.m_refused = false;
  if (refused || !Accept(m_voltage) || !Accept(m_wavelength)) return;
  m_result = m_wavelength.m_value;
  CDialog::OnOK();
}

void ElectronWavelengthDlg::OnCancel() {
  m_result = -1.0;
  CDialog::OnCancel();
}
