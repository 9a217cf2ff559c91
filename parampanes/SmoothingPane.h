// CSmoothingPane: the Parameters pane "Smoothing" of observed patterns: smoothing on or off, its
// radius in points, and whether and how the smoothed curve is drawn over the data.
#pragma once
#include "DiscloseablePane.h"
#include "IDCombo.h"
#include "LXSlider.h"

class CSmoothingPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5800;
  enum : UINT {
    kHeader = 2420, kSmooth = 2421, kLineStyleLabel = 2422, kLineStyle = 2423, kMarkerStyleLabel = 2424,
    kMarkerStyle = 2425, kOverlay = 2426, kColour = 2427, kColourLabel = 2428, kRadius = 2429, kRadiusLabel = 2430,
    kRadiusSlider = 2431, kRadiusSpinner = 2432, kSize = 2433, kSizeLabel = 2434, kSizeSpinner = 2435,
    kWidth = 2436, kWidthLabel = 2437, kWidthSpinner = 2438,
  };
  static constexpr int kHint = 15;

  explicit CSmoothingPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

 protected:
  CButton m_smooth, m_overlay;
  CLXEdit<int> m_radius;
  CLXSlider<int> m_radiusSlider;
  CLXSpinner<int> m_radiusSpinner;
  CPaneField<int> m_radiusField;
  CColorButton m_colour;
  CIDCombo<LXTypes::QLLineStyle> m_lineStyle;
  CIDCombo<LXTypes::QLMarkerStyle> m_markerStyle;
  CLXEdit<double> m_width, m_size;
  CLXSpinner<double> m_widthSpinner, m_sizeSpinner;
  CPaneField<double> m_widthField, m_sizeField;
  DECLARE_MESSAGE_MAP()
};
