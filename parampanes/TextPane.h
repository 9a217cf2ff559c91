// CTextPane: the Format pane for the chart's legend and title switches and its font: family,
// style, size and colour.
#pragma once
#include "DiscloseablePane.h"

class CTextPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5840;
  enum : UINT {
    kHeader = 2510, kLegend = 2511, kTitle = 2512, kFamily = 2513, kStyle = 2514, kAnnotation = 2515,
    kChartFont = 2516, kStyleLabel = 2517, kSizeLabel = 2518, kColourLabel = 2519, kColour = 2522, kSize = 2523,
    kSizeSpinner = 2524,
  };
  static constexpr int kHint = 6;

  explicit CTextPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  void OnFamilyChanged();
  LRESULT OnFontColour(WPARAM, LPARAM);

 protected:
  // Lists the chosen family's styles and selects `style` when listed, else "Normal".
  void ListStyles(const CString& family, const CString& style);
  CButton m_legend, m_title;
  CComboBox m_family, m_style;
  CLXEdit<int> m_size;
  CLXSpinner<int> m_sizeSpinner;
  CPaneField<int> m_sizeField;
  CColorButton m_colour;
  CString m_listedFamily;
  DECLARE_MESSAGE_MAP()
};
