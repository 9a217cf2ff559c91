// CInstrumentPane and its four panes, one per instrument geometry (angle-dispersive 2θ, time of
// flight, energy-dispersive, electron microscope): wavelength or voltage, detector, profile shape
// and peak width of the document's settings. The host shows the one the settings' geometry names.
#pragma once
#include <functional>

#include "DiffractionSettings.h"
#include "DiscloseablePane.h"
#include "IDCombo.h"
#include "LXSlider.h"

// Hears one numeric field announce accepted values and calls its handler.
class CInstrumentFieldRelay : public CWnd {
 public:
  std::function<void()> m_onChange;

 protected:
  LRESULT OnEditUpdate(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};

// A value shown as a linked edit, slider and spinner.
struct CInstrumentField {
  CLXEdit<double> edit;
  CLXSlider<double> slider;
  CLXSpinner<double> spinner;
  CPaneField<double> field;
  CInstrumentFieldRelay relay;
  UINT editId = 0, sliderId = 0, spinnerId = 0;

  // The user changed the value since the model's was shown: finite, in range and not the shown one.
  bool Edited() const { return field.Writable() && edit.m_value != field.shown; }
};

// How a field is set up: range, format, slider steps, tick spacing, window and power, spinner steps.
struct CInstrumentFieldSetup {
  double low, high;
  const wchar_t* format;  // null: the edit's default
  int sliderSteps, tickSpacing;
  double window;
  int exponent;
  int spinnerSteps;
  // The slider's own span within the edit's range; equal: the whole range.
  double sliderLow = 0.0, sliderHigh = 0.0;
};

class CInstrumentPane : public CDiscloseablePane {
 public:
  enum : UINT {
    kHeader = 2290, kDetector = 2291, kDetectorLabel = 2292, kDetectorSlider = 2293, kDetectorSpinner = 2294,
    kDetectorUnit = 2295, kFlightPath = 2296, kFlightPathLabel = 2297, kFlightPathSlider = 2298,
    kFlightPathSpinner = 2299, kFlightPathUnit = 2300, kEta = 2301, kEtaLabel = 2302, kEtaSlider = 2303,
    kEtaSpinner = 2304, kProfileLabel = 2305, kProfile = 2306, kPeakWidth = 2307, kPeakWidthLabel = 2308,
    kPeakWidthSlider = 2309, kPeakWidthSpinner = 2310, kResolution = 2311, kResolutionLabel = 2312,
    kResolutionSlider = 2313, kResolutionSpinner = 2314, kWavelengthUnit = 2315, kWavelength = 2317,
    kWavelengthLabel = 2318, kWavelengthSlider = 2319, kWavelengthSpinner = 2320, kRadiation = 2321,
    kWidthUnit = 2322, kRadiationLabel = 2324,
  };
  static constexpr int kHintInstrument = 7;
  static constexpr int kHintPeakWidth = 13;

  CInstrumentPane(CWnd* parent, UINT templateId);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  // A user's edit of the peak width; refills while the update lock is held are not edits.
  void OnPeakWidthChanged();
  // A user's edit of any other value.
  void OnValueChanged();

 protected:
  // The settings field of the peak width and its unit; null for a pane without a peak width.
  virtual double* StoredWidth(CDiffractionSettings&) { return nullptr; }
  virtual LXTypes::QLAxisType StoredWidthUnit() const { return LXTypes::kAxis2Theta; }
  // The concrete pane's values into the settings and out of them.
  virtual void ApplyFields(CDiffractionSettings& settings) = 0;
  virtual void ShowFields(const CDiffractionSettings& settings) = 0;
  // The ids of the concrete pane's own controls, null-terminated.
  virtual const UINT* OwnControls() const = 0;

  void BindField(CDataExchange* dx, CInstrumentField& f, UINT editId, UINT sliderId, UINT spinnerId);
  void SetUpField(CInstrumentField& f, const CInstrumentFieldSetup& setup, std::function<void()> onChange);
  // The stored peak width in the axis unit, with the edit's range up to the pole.
  void ShowPeakWidth(CDiffractionSettings& settings);
  // Writes a width the user typed; false (after the range alert) when it has no stored form.
  bool ApplyPeakWidth(CDiffractionSettings& settings);
  bool HasPeakWidth() const { return m_hasPeakWidth; }
  void ShowWidthUnit(const CDiffractionSettings& settings);
  // Shows a value in a field under the update lock, so that the field's announcement is no edit.
  void ShowLocked(CInstrumentField& f, double value);

  CStatic m_widthUnit;
  CIDCombo<LXTypes::QLProfileType> m_profile;
  CInstrumentField m_eta;
  CInstrumentField m_peakWidth;
  bool m_peakWidthChanged = false;
  bool m_otherChanged = false;
  bool m_hasPeakWidth;
  DECLARE_MESSAGE_MAP()
};

class CInstrumentTTHPane : public CInstrumentPane {
 public:
  static constexpr UINT kTemplateId = 5743;
  explicit CInstrumentTTHPane(CWnd* parent) : CInstrumentPane(parent, kTemplateId) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

 protected:
  double* StoredWidth(CDiffractionSettings& s) override { return &s.m_tthPeakWidth; }
  LXTypes::QLAxisType StoredWidthUnit() const override { return LXTypes::kAxis2Theta; }
  void ApplyFields(CDiffractionSettings& settings) override;
  void ShowFields(const CDiffractionSettings& settings) override;
  const UINT* OwnControls() const override;

  CIDCombo<LXTypes::QLSimulationType> m_radiation;
  CInstrumentField m_wavelength;
  DECLARE_MESSAGE_MAP()
};

class CInstrumentTOFPane : public CInstrumentPane {
 public:
  static constexpr UINT kTemplateId = 5742;
  explicit CInstrumentTOFPane(CWnd* parent) : CInstrumentPane(parent, kTemplateId) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

 protected:
  void ApplyFields(CDiffractionSettings& settings) override;
  void ShowFields(const CDiffractionSettings& settings) override;
  const UINT* OwnControls() const override;

  CInstrumentField m_detector, m_flightPath, m_resolution;
};

class CInstrumentEDXPane : public CInstrumentPane {
 public:
  static constexpr UINT kTemplateId = 5740;
  explicit CInstrumentEDXPane(CWnd* parent) : CInstrumentPane(parent, kTemplateId) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

 protected:
  double* StoredWidth(CDiffractionSettings& s) override { return &s.m_edxPeakWidth; }
  LXTypes::QLAxisType StoredWidthUnit() const override { return LXTypes::kAxisEnergy; }
  void ApplyFields(CDiffractionSettings& settings) override;
  void ShowFields(const CDiffractionSettings& settings) override;
  const UINT* OwnControls() const override;

  CInstrumentField m_detector;
};

class CInstrumentTEMPane : public CInstrumentPane {
 public:
  static constexpr UINT kTemplateId = 5741;
  explicit CInstrumentTEMPane(CWnd* parent) : CInstrumentPane(parent, kTemplateId) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

  // Each fills the other field; the re-entry flag keeps that write from coming back.
  void OnBeamVoltageChanged();
  void OnWavelengthChanged();

 protected:
  double* StoredWidth(CDiffractionSettings& s) override { return &s.m_peakWidthTEM; }
  LXTypes::QLAxisType StoredWidthUnit() const override { return LXTypes::kAxisInverseD; }
  void ApplyFields(CDiffractionSettings& settings) override;
  void ShowFields(const CDiffractionSettings& settings) override;
  const UINT* OwnControls() const override;
  void ShowVoltageFor(double wavelength);

  CInstrumentField m_voltage, m_wavelength;
  bool m_coupling = false;
};
