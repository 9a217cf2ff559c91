// CGraphPane: the Format pane "Plot" that sets how the selected patterns are drawn: colour, line
// and marker style, their sizes, solid fill with its opacity.
#pragma once
#include "DiscloseablePane.h"
#include "IDCombo.h"

class CGraphPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5730;
  enum : UINT {
    kHeader = 2250, kColour = 2251, kColourLabel = 2252, kLineStyleLabel = 2253, kLineStyle = 2254,
    kMarkerStyleLabel = 2255, kMarkerStyle = 2256, kOpacity = 2257, kOpacityLabel = 2258, kOpacitySpinner = 2259,
    kShadow = 2268, kSize = 2269, kSizeLabel = 2270, kSizeSpinner = 2271, kSolidFill = 2272, kWidth = 2273,
    kWidthLabel = 2274, kWidthSpinner = 2275,
  };
  static constexpr int kHint = 5;

  explicit CGraphPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

 protected:
  CColorButton m_colour;
  CIDCombo<LXTypes::QLLineStyle> m_lineStyle;
  CIDCombo<LXTypes::QLMarkerStyle> m_markerStyle;
  CLXEdit<double> m_opacity, m_size, m_width;
  CLXSpinner<double> m_opacitySpinner, m_sizeSpinner, m_widthSpinner;
  CButton m_shadow, m_solidFill;
  CPaneField<double> m_opacityField, m_sizeField, m_widthField;
  DECLARE_MESSAGE_MAP()
};
