// The text pane: legend and title switches and the chart font of the document's settings.
#include "TextPane.h"

#include <cmath>

#include "DiffractionSettings.h"
#include "GdiPlus.h"
#include "Preferences.h"
#include "QlwDoc.h"

namespace {
constexpr std::uint32_t kBold = 1, kItalic = 2;
constexpr LONG kBoldWeight = 700;  // a face is the family's bold at exactly this weight

CString StyleName(std::uint32_t style) {
  if ((style & kBold) && (style & kItalic)) return L"Bold Italic";
  if (style & kBold) return L"Bold";
  if (style & kItalic) return L"Italic";
  return L"Normal";
}

int SelectText(CComboBox& combo, const CString& text) {
  const int index = combo.FindStringExact(-1, text);
  if (index >= 0) combo.SetCurSel(index);
  return index;
}

CString SelectedText(const CComboBox& combo) {
  CString text;
  if (const int index = combo.GetCurSel(); index >= 0) combo.GetLBText(index, text);
  return text;
}

// The faces a family has, as the style list names them.
struct FamilyStyles {
  bool normal = false, bold = false, italic = false, boldItalic = false;
};

// The installed family a font of that face is drawn with, in the pane's device context.
CString DrawnFamily(HWND window, const CString& face) {
  LOGFONTW lf{};
  std::wcsncpy(lf.lfFaceName, face.GetString(), LF_FACESIZE - 1);
  lf.lfCharSet = DEFAULT_CHARSET;
  HDC dc = ::GetDC(window);
  if (!dc) return {};
  HFONT font = ::CreateFontIndirectW(&lf);
  HGDIOBJ old = ::SelectObject(dc, font);
  WCHAR name[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, name);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::ReleaseDC(window, dc);
  return name;
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

int CALLBACK CTextPane::EnumFamilyProc(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType, LPARAM data) {
  auto* pane = reinterpret_cast<CTextPane*>(data);
  if (font && metrics && (fontType & TRUETYPE_FONTTYPE)) pane->m_fonts[font->lfFaceName] = Face{*font, *metrics};
  return 1;
}

int CALLBACK CTextPane::EnumStyleProc(const LOGFONTW* font, const TEXTMETRICW*, DWORD fontType, LPARAM data) {
  auto* styles = reinterpret_cast<FamilyStyles*>(data);
  if (!font || !(fontType & TRUETYPE_FONTTYPE)) return 1;
  const bool bold = font->lfWeight == kBoldWeight, italic = font->lfItalic != 0;
  if (bold && italic) styles->boldItalic = true;
  else if (bold) styles->bold = true;
  else if (italic) styles->italic = true;
  else styles->normal = true;
  return 1;
}

BOOL CTextPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  SetUpField(m_sizeField, m_size, &m_sizeSpinner, 1, 300, 299, nullptr);
  if (g_pPreferences) {
    m_size.SetValue(static_cast<int>(std::trunc(std::clamp(g_pPreferences->m_FontSize.Get(), 1.0f, 300.0f))), true);
    m_colour.SetColor(g_pPreferences->m_FontColor.Get().GetValue());
  }
  // One entry per family that writes Latin, by its family name.
  if (HDC dc = ::GetDC(m_hWnd)) {
    ::EnumFontFamiliesW(dc, nullptr, &CTextPane::EnumFamilyProc, reinterpret_cast<LPARAM>(this));
    ::ReleaseDC(m_hWnd, dc);
  }
  for (const auto& [name, face] : m_fonts)
    if (face.metrics.tmCharSet == ANSI_CHARSET) m_family.AddString(name);
  if (g_pPreferences) SelectText(m_family, g_pPreferences->m_FontName.Get());
  UnlockUpdates();
  RefreshControls();
  return result;
}

CPrefScalar<bool>* CTextPane::OpenPreference() { return g_pPreferences ? &g_pPreferences->m_ParamOpenText : nullptr; }

void CTextPane::ListStyles(const CString& family, const CString& style) {
  // The style list depends on the family only: listed once per family.
  if (family != m_listedFamily) {
    m_style.ResetContent();
    FamilyStyles styles;
    LOGFONTW lf{};
    std::wcsncpy(lf.lfFaceName, family.GetString(), LF_FACESIZE - 1);
    lf.lfCharSet = DEFAULT_CHARSET;
    if (HDC dc = family.IsEmpty() ? nullptr : ::GetDC(m_hWnd)) {
      ::EnumFontFamiliesExW(dc, &lf, &CTextPane::EnumStyleProc, reinterpret_cast<LPARAM>(&styles), 0);
      ::ReleaseDC(m_hWnd, dc);
    }
    if (styles.normal) m_style.AddString(L"Normal");
    if (styles.bold) m_style.AddString(L"Bold");
    if (styles.italic) m_style.AddString(L"Italic");
    if (styles.boldItalic) m_style.AddString(L"Bold Italic");
    if (m_style.GetCount() == 0) m_style.AddString(L"Normal");
    m_listedFamily = family;
  }
  if (SelectText(m_style, style) < 0 && SelectText(m_style, L"Normal") < 0) m_style.SetCurSel(0);
}

int CTextPane::FindFamily(const CString& name) {
  if (name.IsEmpty()) return -1;
  if (const int index = m_family.FindStringExact(-1, name); index >= 0) return index;
  // A Windows face ("Arial") or a foundry-tagged name stands for the installed family drawn.
  const Gdiplus::FontFamily family(name.GetString());
  if (!family.IsAvailable()) return -1;
  const CString drawn = DrawnFamily(m_hWnd, name);
  return drawn.IsEmpty() ? -1 : m_family.FindStringExact(-1, drawn);
}

void CTextPane::OnFamilyChanged() {
  if (IsUpdateLocked()) return;
  const CString family = SelectedText(m_family), style = SelectedText(m_style);
  LockUpdates();
  ListStyles(family, style);
  UnlockUpdates();
  OnControlChanged();
}

void CTextPane::ApplyFont(CDiffractionSettings& settings) {
  if (m_family.GetCurSel() < 0) return;
  settings.m_fontName = SelectedText(m_family);
  if (m_style.GetCurSel() >= 0) {
    const CString style = SelectedText(m_style);
    // Only bold and italic come from the list; every other bit stays.
    std::uint32_t word = settings.m_fontStyle & ~(kBold | kItalic);
    if (style.Find(L"Bold") >= 0) word |= kBold;
    if (style.Find(L"Italic") >= 0) word |= kItalic;
    settings.m_fontStyle = word;
  }
}

bool CTextPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr) {
    ApplyFont(*settings);
    if (m_sizeField.Writable()) settings->m_fontSize = static_cast<float>(m_size.m_value);
    settings->m_showLegend = IsChecked(m_legend) ? 1 : 0;
    settings->m_showPlotTitle = IsChecked(m_title);
  }
  ApplyFinished(kHint);
  if (doc) doc->RecomputeAllPatterns(true, false, true);
  return true;
}

// A refresh shows the document's font and writes nothing back, but for a font that cannot be
// drawn here (the fallback shown is taken) or one named with a foundry tag (its family is taken).
void CTextPane::UpdateControls(bool fromModel) {
  if (!fromModel) return;
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return;
  const CString name = settings->m_fontName;
  int index = FindFamily(name);
  bool takeShown = false;
  if (index >= 0) {
    CString listed;
    m_family.GetLBText(index, listed);
    takeShown = name.GetLength() > listed.GetLength() + 2 &&
                name.Left(listed.GetLength() + 2).CompareNoCase(listed + L" [") == 0 && name.Right(1) == L"]";
  } else {
    // Not installed: the preference's font, else Arial.
    index = FindFamily(g_pPreferences ? g_pPreferences->m_FontName.Get() : CString());
    if (index < 0) index = FindFamily(L"Arial");
    takeShown = index >= 0;
  }
  m_family.SetCurSel(index);
  ListStyles(SelectedText(m_family), StyleName(settings->m_fontStyle));
  if (takeShown) ApplyFont(*settings);
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
