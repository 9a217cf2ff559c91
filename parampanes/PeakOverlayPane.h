// CPeakOverlayPane: the Format pane that draws the individual peak profiles of crystal patterns
// over their sum, with their colour, line style and width.
#pragma once
#include "DiscloseablePane.h"
#include "IDCombo.h"

class CPeakOverlayPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5830;
  enum : UINT {
    kHeader = 2500, kShow = 2260, kColour = 2261, kColourLabel = 2262, kStyleLabel = 2263, kStyle = 2264,
    kWidth = 2265, kWidthLabel = 2266, kWidthSpinner = 2267,
  };
  static constexpr int kHint = 6;

  explicit CPeakOverlayPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

 protected:
  CButton m_show;
  CColorButton m_colour;
  CIDCombo<LXTypes::QLLineStyle> m_style;
  CLXEdit<double> m_width;
  CLXSpinner<double> m_widthSpinner;
  CPaneField<double> m_widthField;
  DECLARE_MESSAGE_MAP()
};

// Line styles without "None" (overlays and background curves are always drawn).
namespace InspectorTables {
extern const IDComboEntry kDrawnLineStyles[];
}
