// ElectronWavelengthDlg: the modal "Wavelength" dialog of electron geometry: the wavelength and the
// beam voltage, each filling the other through the conversion in ElectronWavelength.h, and six
// microscope voltages as presets.
#pragma once
#include "InstrumentPane.h"
#include "LXEdit.h"

class CDiffractionSettings;

// A field that remembers that it refused a value, so that an OK whose click made it check the
// typed text (by taking the focus) leaves the dialog open.
class CElectronField : public CLXEdit<double> {
 public:
  bool Validate(bool checkRange) override {
    const bool accepted = CLXEdit<double>::Validate(checkRange);
    if (!accepted) m_refused = true;
    return accepted;
  }
  bool m_refused = false;
};

class ElectronWavelengthDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 5340;
  enum : UINT { kWavelength = 3950, kVoltage = 3951, kFirstPreset = 3952, kLastPreset = 3957 };
  static const double kPresetVoltages[6];  // keV, for buttons 3952 to 3957

  // `settings` gives the wavelength shown first; without them the factory one.
  explicit ElectronWavelengthDlg(CWnd* parent, const CDiffractionSettings* settings = nullptr);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  void OnWavelengthChanged();
  void OnVoltageChanged();
  void OnPreset(UINT id);

  CElectronField m_wavelength, m_voltage;
  // The chosen wavelength in Å after OK, −1 after Cancel.
  double m_result = -1.0;

 protected:
  // The field's value, read again only when its text is not the one the dialog wrote, so that a
  // preset keeps its exact wavelength; false after the field's range or syntax alert.
  static bool Accept(CElectronField& edit);

  CInstrumentFieldRelay m_wavelengthRelay, m_voltageRelay;
  bool m_coupling = false;
  double m_initial;
  DECLARE_MESSAGE_MAP()
};
