// COffsetsPane: the Parameters pane "Position & Scale": x and y offset, y scale and weight
// fraction of every selected, shown pattern, each an edit with a spinner and a slider.
#pragma once
#include "DiscloseablePane.h"
#include "LXSlider.h"

class COffsetsPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5780;
  enum : UINT {
    kHeader = 2390, kFraction = 2391, kFractionLabel = 2392, kFractionSlider = 2393, kFractionSpinner = 2394,
    kXOffset = 2395, kXOffsetLabel = 2396, kXOffsetSlider = 2397, kXOffsetSpinner = 2398, kYOffset = 2399,
    kYOffsetLabel = 2400, kYOffsetSlider = 2401, kYOffsetSpinner = 2402, kUseYScale = 2403, kYScale = 2404,
    kYScaleSlider = 2405, kYScaleSpinner = 2406,
  };
  static constexpr int kHint = 11;

  explicit COffsetsPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  void OnYScaleClicked();

 protected:
  CLXEdit<double> m_xOffset, m_yOffset, m_yScale, m_fraction;
  CLXSlider<double> m_xOffsetSlider, m_yOffsetSlider, m_yScaleSlider, m_fractionSlider;
  CLXSpinner<double> m_xOffsetSpinner, m_yOffsetSpinner, m_yScaleSpinner, m_fractionSpinner;
  CPaneField<double> m_xOffsetField, m_yOffsetField, m_yScaleField, m_fractionField;
  CButton m_useYScale;
  DECLARE_MESSAGE_MAP()
};
