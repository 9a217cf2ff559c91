// CSamplePane: the Parameters pane "Particle Size & Strain": crystallite size (shown in µm, kept
// in Å), isotropic strain (shown in %, kept as a fraction) and the use of displacement parameters
// of the selected crystals.
#pragma once
#include "DiscloseablePane.h"
#include "LXSlider.h"

class CSamplePane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5790;
  enum : UINT {
    kHeader = 2410, kSize = 2411, kSizeLabel = 2412, kSizeSlider = 2413, kSizeSpinner = 2414, kSizeUnit = 2415,
    kStrain = 2416, kStrainLabel = 2417, kStrainSlider = 2418, kStrainSpinner = 2419, kStrainUnit = 2420,
    kUseADP = 2421, kTemperatureLabel = 2422,
  };
  static constexpr int kHint = 14, kHintADP = 42;
  static constexpr double kAngstromPerMicron = 10000.0;

  explicit CSamplePane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

 protected:
  CLXEdit<double> m_size, m_strain;
  CLXSlider<double> m_sizeSlider, m_strainSlider;
  CLXSpinner<double> m_sizeSpinner, m_strainSpinner;
  CPaneField<double> m_sizeField, m_strainField;
  CButton m_useADP;
  DECLARE_MESSAGE_MAP()
};
