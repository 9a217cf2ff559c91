// The Display page: film or graph, axis unit, scale, legend, film colours, graph colours, and the
// plot text font with a sample of it.
#include "PrefsPages.h"

#include <cmath>
#include <cstdlib>

#include "CommonDialogs.h"
#include "LXGdiplus.h"
#include "PreferencesQt.h"

using PrefsControls::IsChecked;
using PrefsControls::SetCheck;
using PrefsControls::Value;

namespace {
// The x-axis units in list order; no pictures.
const IDComboEntry kAxisTypes[] = {
    {2118, LXTypes::kAxis2Theta, kIDComboNoBitmap},       {2113, LXTypes::kAxisDSpacing, kIDComboNoBitmap},
    {2116, LXTypes::kAxisInverseD, kIDComboNoBitmap},     {2117, LXTypes::kAxisTimeOfFlight, kIDComboNoBitmap},
    {2114, LXTypes::kAxisEnergy, kIDComboNoBitmap},       {2115, LXTypes::kAxisTwoPiOverD, kIDComboNoBitmap},
    {0, 0, 0},
};
constexpr DWORD kFontDialogFlags = 0x831141;

DWORD ToColorRef(DWORD argb) { return ((argb & 0xFF) << 16) | (argb & 0xFF00) | ((argb >> 16) & 0xFF); }

void ShowColour(CColorButton& button, LXGraphics::CColor colour) {
  if (button.GetColor() != colour.GetValue()) button.SetColor(colour.GetValue());
}

// Points for a pixel height on the page's screen.
float PointsOf(HWND window, LONG height) {
  HDC dc = ::GetDC(window);
  const float points = PixelsToPoints(dc, 0.0f, static_cast<float>(std::abs(height))).m_float.Y;
  ::ReleaseDC(window, dc);
  return points;
}
}  // namespace

BEGIN_MESSAGE_MAP(CDisplayPrefsPane, CPreferencesPane)
  ON_CBN_SELCHANGE(3008, &CDisplayPrefsPane::MarkModified)
  ON_CBN_SELCHANGE(2994, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(2991, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(2996, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(2999, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(3002, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(3001, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(2995, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(2990, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(3009, &CDisplayPrefsPane::MarkModified)
  ON_EN_CHANGE(2992, &CDisplayPrefsPane::MarkModified)
  ON_BN_CLICKED(3006, &CDisplayPrefsPane::OnSelectFont)
END_MESSAGE_MAP()

CDisplayPrefsPane::CDisplayPrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

CDisplayPrefsPane::~CDisplayPrefsPane() { delete m_pFont; }

void CDisplayPrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 2991, m_film);
  DDX_Control(dx, 2996, m_graph);
  DDX_Control(dx, 3008, m_axis);
  DDX_Control(dx, 2999, m_logarithmic);
  DDX_Control(dx, 3002, m_legend);
  DDX_Control(dx, 2994, m_filmType);
  DDX_Control(dx, 2992, m_gamma);
  DDX_Control(dx, 3009, m_solidFill);
  DDX_Control(dx, 3010, m_solidColour);
  DDX_Control(dx, 3001, m_grid);
  DDX_Control(dx, 2998, m_gridColour);
  DDX_Control(dx, 2995, m_fixed);
  DDX_Control(dx, 3000, m_fixedColour);
  DDX_Control(dx, 2990, m_autoColour);
  DDX_Control(dx, 3004, m_sample);
  DDX_Control(dx, 3003, m_fontColour);
}

BOOL CDisplayPrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  m_axis.Fill(kAxisTypes, true);
  m_filmType.Fill(IDComboTables::kFilmTypes, true);
  m_gamma.SetRange(1.0, 3.0);
  m_gamma.SetFormat(L"%.1f");
  PrefsLayout::MakeSampleBox(m_sample.m_hWnd);
  SetHeaderFont({3007, 2993, 2997, 3005});
  return FinishInit(m_film);
}

void CDisplayPrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  const bool film = p->m_FilmMode.Get();
  SetCheck(*this, 2991, film);
  SetCheck(*this, 2996, !film);
  NoteLoaded(3008, m_axis.SelectID(p->m_AxisType.Get()) >= 0);
  SetCheck(*this, 2999, p->m_LogarithmicYAxis.Get());
  SetCheck(*this, 3002, p->m_ShowLegend.Get());
  NoteLoaded(2994, m_filmType.SelectID(p->m_FilmType.Get()) >= 0);
  NoteLoaded(2992, m_gamma.SetValue(p->m_FilmGamma.Get(), false));
  SetCheck(*this, 3001, p->m_ShowGrid.Get());
  ShowColour(m_gridColour, p->m_GridColor.Get());
  const bool autoColour = p->m_AutoColor.Get();
  SetCheck(*this, 2995, !autoColour);
  SetCheck(*this, 2990, autoColour);
  ShowColour(m_fixedColour, p->m_FixedColor.Get());
  ShowColour(m_solidColour, p->m_SolidBackgroundColour.Get());
  SetCheck(*this, 3009, p->m_UseSolidBackground.Get());
  ShowColour(m_fontColour, p->m_FontColor.Get());
  m_points = p->m_FontSize.Get();
  delete m_pFont;
  m_pFont = CreateFontForStyle(p->m_FontName.Get(), m_points, p->m_FontStyle.Get(), &m_logFont);
  UpdateControls(false);
  m_refreshGuard.Release();
}

CString CDisplayPrefsPane::FontSampleText(const LOGFONTW& font, int points) {
  CString name = font.lfFaceName, word;
  if (font.lfWeight > 699 && word.LoadString(1089)) name += L" " + word;
  if (font.lfItalic && word.LoadString(1090)) name += L" " + word;
  CString format, text;
  if (!format.LoadString(3415)) format = L"%s - %d";
  text.Format(format.GetString(), name.GetString(), points);
  return text;
}

unsigned CDisplayPrefsPane::FontStyleOf(const LOGFONTW& font) {
  unsigned style = 0;
  if (font.lfItalic) style |= 2;
  if (font.lfUnderline) style |= 4;
  if (font.lfStrikeOut) style |= 8;
  if (font.lfWeight >= 600) style |= 1;
  return style;
}

void CDisplayPrefsPane::UpdateControls(bool fromModel) {
  CPreferencesPane::UpdateControls(fromModel);
  if (!m_pFont || !m_sample.m_hWnd) return;
  // The sample names the chosen font; it is drawn in a display size that fits the label.
  const int points = static_cast<int>(std::lround(PointsOf(m_hWnd, m_logFont.lfHeight)));
  m_sample.SetWindowText(FontSampleText(m_logFont, points));
  RECT r{};
  m_sample.GetWindowRect(&r);
  LOGFONTW shown = m_logFont;
  shown.lfHeight = static_cast<LONG>(std::lround(0.8 * (r.bottom - r.top)));
  if (shown.lfHeight > 0) PrefsLayout::SetLabelFont(m_sample.m_hWnd, shown);
}

void CDisplayPrefsPane::OnSelectFont() {
  if (IsLocked()) return;
  CFontDialog dialog(&m_logFont, kFontDialogFlags, nullptr, this);
  dialog.m_cf.rgbColors = ToColorRef(m_fontColour.GetColor());
  if (dialog.DoModal() != IDOK) return;
  LOGFONTW chosen{};
  dialog.GetCurrentFont(&chosen);
  chosen.lfHeight = std::abs(chosen.lfHeight);
  delete m_pFont;
  m_pFont = CreateFontFromLogFont(chosen);
  m_logFont = chosen;
  if (dialog.GetSize() > 0) m_points = static_cast<float>(dialog.GetSize()) / 10.0f;
  // The platform's font dialog offers no colour: the colour button keeps its own.
  MarkModified();
}

bool CDisplayPrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  p->m_FilmMode.Set(IsChecked(*this, 2991));
  if (MayWrite(3008)) p->m_AxisType.Set(m_axis.GetSelectedID());
  p->m_LogarithmicYAxis.Set(IsChecked(*this, 2999));
  p->m_ShowLegend.Set(IsChecked(*this, 3002));
  if (MayWrite(2994)) p->m_FilmType.Set(m_filmType.GetSelectedID());
  if (MayWrite(2992)) p->m_FilmGamma.Set(Value<double>(m_gamma));
  p->m_ShowGrid.Set(IsChecked(*this, 3001));
  p->m_GridColor.Set(LXGraphics::CColor(m_gridColour.GetColor()));
  p->m_AutoColor.Set(IsChecked(*this, 2990));
  p->m_FixedColor.Set(LXGraphics::CColor(m_fixedColour.GetColor()));
  p->m_FontName.Set(CString(m_logFont.lfFaceName));
  p->m_FontSize.Set(m_points);
  p->m_FontStyle.Set(FontStyleOf(m_logFont));
  p->m_FontColor.Set(LXGraphics::CColor(m_fontColour.GetColor()));
  p->m_UseSolidBackground.Set(::SendMessageW(::GetDlgItem(m_hWnd, 3009), BM_GETCHECK, 0, 0) == BST_CHECKED);
  p->m_SolidBackgroundColour.Set(LXGraphics::CColor(m_solidColour.GetColor()));
  return CPreferencesPane::ApplyChanges();
}
