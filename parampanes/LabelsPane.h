// CLabelsPane: the Format pane for the peak labels of simulated patterns: whether they show, the
// threshold, what they say, their colour, position and style, and the document-wide overlap rule.
#pragma once
#include <cstdint>

#include "DiscloseablePane.h"
#include "IDCombo.h"

class CLabelsPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5750;
  enum : UINT {
    kHeader = 2330, kArrowhead = 2331, kColour = 2332, kColourLabel = 2333, kResetColour = 2334, kFrame = 2335,
    kHideOverlapping = 2336, kLabelAll = 2337, kReset = 2338, kOutline = 2339, kPositionLabel = 2340,
    kPosition = 2341, kRotate = 2342, kShadow = 2343, kShow = 2344, kThreshold = 2346, kThresholdLabel = 2347,
    kThresholdSpinner = 2348, kPercent = 2349, kDSpacing = 2350, kHKL = 2351, kContent = 2352, kPhaseName = 2353,
    kRelIntensity = 2354, kXUnits = 2355,
  };
  static constexpr int kHint = 8;

  explicit CLabelsPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  void OnLabelAll();
  void OnResetThreshold();
  void OnResetColour();

 protected:
  CButton& Box(UINT id);
  CColorButton m_colour;
  CIDCombo<std::uint32_t> m_position;
  CLXEdit<int> m_threshold;
  CLXSpinner<int> m_thresholdSpinner;
  CPaneField<int> m_thresholdField;
  CButton m_boxes[13];
  DECLARE_MESSAGE_MAP()
};
