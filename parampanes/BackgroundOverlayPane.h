// CBackgroundOverlayPane: the Format pane for how the selected observed pattern's background curve
// and its subtracted-background preview are drawn.
#pragma once
#include "DiscloseablePane.h"
#include "IDCombo.h"

class CBackgroundOverlayPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5860;
  enum : UINT {
    kHeader = 2240, kColour = 2212, kColourLabel = 2213, kStyleLabel = 2218, kStyle = 2219, kPreviewColour = 2220,
    kPreviewColourLabel = 2221, kPreviewStyleLabel = 2222, kPreviewStyle = 2223, kPreviewMarkerLabel = 2224,
    kPreviewMarker = 2225, kPreviewHeading = 2226, kPreviewSize = 2227, kPreviewSizeLabel = 2228,
    kPreviewSizeSpinner = 2229, kPreviewWidth = 2230, kPreviewWidthLabel = 2231, kPreviewWidthSpinner = 2232,
    kWidth = 2237, kWidthLabel = 2238, kWidthSpinner = 2239,
  };
  static constexpr int kHint = 3;

  explicit CBackgroundOverlayPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

 protected:
  CColorButton m_colour, m_previewColour;
  CIDCombo<LXTypes::QLLineStyle> m_style, m_previewStyle;
  CIDCombo<LXTypes::QLMarkerStyle> m_previewMarker;
  CLXEdit<double> m_width, m_previewWidth, m_previewSize;
  CLXSpinner<double> m_widthSpinner, m_previewWidthSpinner, m_previewSizeSpinner;
  CPaneField<double> m_widthField, m_previewWidthField, m_previewSizeField;
  DECLARE_MESSAGE_MAP()
};
