// CTextPane: the Format pane for the chart's legend and title switches and its font: family,
// style, size and colour.
#pragma once
#include <map>

#include "DiscloseablePane.h"

class CDiffractionSettings;

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

  static int CALLBACK EnumFamilyProc(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType, LPARAM data);
  static int CALLBACK EnumStyleProc(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType, LPARAM data);

 protected:
  struct NoCaseLess {
    bool operator()(const CString& a, const CString& b) const { return a.CompareNoCase(b) < 0; }
  };
  struct Face {
    LOGFONTW font;
    TEXTMETRICW metrics;
  };
  // Lists the chosen family's styles and selects `style` when listed, else "Normal", else the first.
  void ListStyles(const CString& family, const CString& style);
  // The family list's entry that shows the font `name`: listed as it stands, or the installed family
  // it is drawn with; -1 for a family that is not installed.
  int FindFamily(const CString& name);
  // The chosen family and style into the settings' font fields.
  void ApplyFont(CDiffractionSettings& settings);

  std::map<CString, Face, NoCaseLess> m_fonts;  // the installed TrueType families by name
  CButton m_legend, m_title;
  CComboBox m_family, m_style;
  CLXEdit<int> m_size;
  CLXSpinner<int> m_sizeSpinner;
  CPaneField<int> m_sizeField;
  CColorButton m_colour;
  CString m_listedFamily;
  DECLARE_MESSAGE_MAP()
};
