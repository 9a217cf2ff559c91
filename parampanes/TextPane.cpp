// The text pane: legend and title switches and the chart font of the document's settings.
#include "TextPane.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <cmath>

#include "DiffractionSettings.h"
#include "Preferences.h"
#include "QlwDoc.h"

namespace {
constexpr std::uint32_t kBold = 1, kItalic = 2;

CString StyleName(std::uint32_t style) {
  if ((style & kBold) && (style & kItalic)) return L"Bold Italic";
  if (style & kBold) return L"Bold";
  if (style & kItalic) return L"Italic";
  return L"Normal";
}

QString ToQt(const CString& s) { return QString::fromStdWString(s.GetString()); }
CString FromQt(const QString& s) { return CString(s.toStdWString().c_str()); }

int SelectText(CComboBox& combo, const CString& text) {
  const int index = combo.FindStringExact(-1, text);
  if (index >= 0) combo.SetCurSel(index);
  return index;
}
}  // namespace

BEGIN_MESSAGE_MAP(CTextPane, CDiscloseablePane)
  ON_BN_CLICKED(CTextPane::kLegend, &CTextPane::OnControlChanged)
  ON_BN_CLICKED(CTextPane::kTitle, &CTextPane::OnControlChanged)
  ON_CBN_SELCHANGE(CTextPane::kFamily, &CTextPane::OnFamilyChanged)
  ON_CBN_SELCHANGE(CTextPane::kStyle, &CTextPane::OnControlChanged)
  ON_MESSAGE(0x7EC, &CTextPane::OnFontColour)
END_MESSAGE_MAP()

void CTextPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kLegend, m_legend);
  DDX_Control(dx, kTitle, m_title);
  DDX_Control(dx, kFamily, m_family);
  DDX_Control(dx, kStyle, m_style);
  DDX_Control(dx, kSize, m_size);
  DDX_Control(dx, kSizeSpinner, m_sizeSpinner);
  DDX_Control(dx, kColour, m_colour);
}

BOOL CTextPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  SetUpField(m_sizeField, m_size, &m_sizeSpinner, 1, 300, 299, nullptr);
  if (g_pPreferences) {
    m_size.SetValue(static_cast<int>(std::trunc(std::clamp(g_pPreferences->m_FontSize.Get(), 1.0f, 300.0f))), true);
    m_colour.SetColor(g_pPreferences->m_FontColor.Get().GetValue());
  }
  // Scalable families that write Latin, by name.
  for (const QString& family : QFontDatabase::families(QFontDatabase::Latin))
    if (QFontDatabase::isScalable(family)) m_family.AddString(FromQt(family));
  UnlockUpdates();
  RefreshControls();
  return result;
}

CPrefScalar<bool>* CTextPane::OpenPreference() { return g_pPreferences ? &g_pPreferences->m_ParamOpenText : nullptr; }

void CTextPane::ListStyles(const CString& family, const CString& style) {
  // The style list depends on the family only: listed once per family.
  if (family != m_listedFamily) {
    m_style.ResetContent();
    m_style.AddString(L"Normal");
    const QString qt = ToQt(family);
    bool bold = false, italic = false, boldItalic = false;
    for (const QString& s : QFontDatabase::styles(qt)) {
      const bool b = QFontDatabase::weight(qt, s) >= QFont::Bold, i = QFontDatabase::italic(qt, s);
      bold |= b && !i;
      italic |= i && !b;
      boldItalic |= b && i;
    }
    if (bold) m_style.AddString(L"Bold");
    if (italic) m_style.AddString(L"Italic");
    if (boldItalic) m_style.AddString(L"Bold Italic");
    m_listedFamily = family;
  }
  if (SelectText(m_style, style) < 0) m_style.SetCurSel(0);
}

void CTextPane::OnFamilyChanged() {
  if (IsUpdateLocked()) return;
  CString family, style;
  const int f = m_family.GetCurSel();
  if (f >= 0) m_family.GetLBText(f, family);
  const int s = m_style.GetCurSel();
  if (s >= 0) m_style.GetLBText(s, style);
  LockUpdates();
  ListStyles(family, style);
  UnlockUpdates();
  OnControlChanged();
}

bool CTextPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr) {
    if (const int f = m_family.GetCurSel(); f >= 0) {
      CString family;
      m_family.GetLBText(f, family);
      settings->m_fontName = family;
    }
    if (const int s = m_style.GetCurSel(); s >= 0) {
      CString style;
      m_style.GetLBText(s, style);
      // Only bold and italic come from the list; every other bit stays.
      std::uint32_t word = settings->m_fontStyle & ~(kBold | kItalic);
      if (style.Find(L"Bold") >= 0) word |= kBold;
      if (style.Find(L"Italic") >= 0) word |= kItalic;
      settings->m_fontStyle = word;
    }
    if (m_sizeField.Writable()) settings->m_fontSize = static_cast<float>(m_size.m_value);
    settings->m_showLegend = IsChecked(m_legend) ? 1 : 0;
    settings->m_showPlotTitle = IsChecked(m_title);
  }
  ApplyFinished(kHint);
  if (doc) doc->RecomputeAllPatterns(true, false, true);
  return true;
}

// A refresh shows the document's font and writes nothing back.
void CTextPane::UpdateControls(bool fromModel) {
  if (!fromModel) return;
  CQlwDoc* doc = GetDocument();
  const CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return;
  CString family = settings->m_fontName;
  if (SelectText(m_family, family) < 0) {
    // Not installed: the family Qt draws it with.
    family = FromQt(QFontInfo(QFont(ToQt(family))).family());
    SelectText(m_family, family);
  }
  ListStyles(family, StyleName(settings->m_fontStyle));
  const int shown = static_cast<int>(std::trunc(std::clamp(settings->m_fontSize, 1.0f, 300.0f)));
  m_sizeField.Show(shown, true);
  if (static_cast<float>(shown) != settings->m_fontSize) m_sizeField.refused = true;
  ShowColour(m_colour, settings->m_fontColor);
  ShowCheck(m_title, settings->m_showPlotTitle);
  ShowCheck(m_legend, settings->m_showLegend != 0);
}

LRESULT CTextPane::OnFontColour(WPARAM, LPARAM) {
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return 1;
  settings->m_fontColor = m_colour.GetColor() | 0xFF000000u;
  doc->RecomputeAllPatterns(true, false, true);
  return 1;
}

void CTextPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kLegend, kTitle,     kFamily, kStyle, kAnnotation,  kChartFont, kStyleLabel,
                             kSizeLabel, kColourLabel, kColour, kSize, kSizeSpinner, 0};
  ShowControls(ids, show);
}
