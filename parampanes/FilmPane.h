// CFilmPane: the Format pane for the simulated film strip: its colour scheme and gamma.
#pragma once
#include <cstdint>

#include "DiscloseablePane.h"
#include "IDCombo.h"
#include "LXSlider.h"
#include "LXSpinner.h"

class CFilmPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5720;
  enum : UINT { kHeader = 2240, kTypeLabel = 2241, kType = 2242, kGamma = 2243, kGammaLabel = 2244, kSlider = 2245, kSpinner = 2246 };
  static constexpr int kHint = 4;
  static constexpr double kMinGamma = 1.0, kMaxGamma = 3.0;

  explicit CFilmPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

 protected:
  CIDCombo<std::uint32_t> m_type;
  CLXSlider<double> m_slider;
  CLXEdit<double> m_gamma;
  CLXSpinner<double> m_spinner;
  CPaneField<double> m_gammaField;
  DECLARE_MESSAGE_MAP()
};
