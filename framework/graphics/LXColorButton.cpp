// The colour button: its popup, the messages to its parent, and the swatch painter.
#include "LXColorButton.h"

#include <algorithm>

#include "GdiPlus.h"
#include "LXColor.h"
#include "LXOwnerDraw.h"
#include "Resources.h"

namespace {
COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }
DWORD Opaque(LPARAM colourRef) {
  const auto c = static_cast<COLORREF>(colourRef);
  return 0xFF000000u | (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c);
}
}  // namespace

BEGIN_MESSAGE_MAP(CColorButton, CButton)
  ON_CONTROL_REFLECT_EX(BN_CLICKED, &CColorButton::OnClicked)
  ON_WM_DRAWITEM_REFLECT()
  ON_MESSAGE(WM_COLORPICK_CHANGE, &CColorButton::OnPopupChange)
  ON_MESSAGE(WM_COLORPICK_ACCEPT, &CColorButton::OnPopupAccept)
  ON_MESSAGE(WM_COLORPICK_CANCEL, &CColorButton::OnPopupCancel)
  ON_MESSAGE(WM_THEMECHANGED, &CColorButton::OnThemeChanged)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CColorButton::CColorButton() {
  LoadString(CColorPopup::kCustomTextId, m_customText);
  LXGraphics::EnsureOwnerDrawDC();
}

CColorButton::~CColorButton() {
  if (m_theme) CloseThemeData(m_theme);
}

void CColorButton::OnDestroy() {
  // An open popup is owned by the button and goes with it, without a word: forget it.
  m_popup = nullptr;
  m_popupOpen = false;
  CButton::OnDestroy();
}

void CColorButton::PreSubclassWindow() {
  ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
  Invalidate();
}

void CColorButton::SetColor(DWORD argb) {
  m_colour = argb;
  if (m_hWnd) Invalidate();
}

BOOL CColorButton::OnClicked() {
  m_popupOpen = true;
  m_colourAtOpen = m_colour;
  CRect window;
  GetWindowRect(&window);
  // The popup deletes itself when it closes; its last message clears m_popupOpen first.
  m_popup = new CColorPopup(CPoint(window.left, window.bottom), m_colour, this, m_defaultText, m_customText);
  if (!m_popup->m_hWnd) {
    // No window, no messages: the button is not left pushed.
    delete m_popup;
    m_popup = nullptr;
    m_popupOpen = false;
    return TRUE;
  }
  Invalidate();
  NotifyParent(WM_COLORPICK_OPEN, ToColorRef(m_colour));
  return TRUE;
}

void CColorButton::NotifyParent(UINT message, DWORD colourRef) {
  if (CWnd* parent = GetParent()) parent->SendMessage(message, static_cast<WPARAM>(GetDlgCtrlID()), colourRef);
}

LRESULT CColorButton::OnPopupChange(WPARAM, LPARAM colour) {
  if (m_livePreview) m_colour = Opaque(colour);
  NotifyParent(WM_COLORPICK_CHANGE, static_cast<DWORD>(colour));
  Invalidate();
  return 0;
}

LRESULT CColorButton::OnPopupAccept(WPARAM, LPARAM colour) {
  m_popupOpen = false;
  m_popup = nullptr;
  m_colour = Opaque(colour);
  NotifyParent(WM_COLORPICK_CLOSE, 0);
  NotifyParent(WM_COLORPICK_ACCEPT, ToColorRef(m_colour));
  // Against the colour at the open: a live preview has already shown the new one.
  if (m_colour != m_colourAtOpen) NotifyParent(WM_COLORPICK_CHANGE, ToColorRef(m_colour));
  Invalidate();
  return 0;
}

LRESULT CColorButton::OnPopupCancel(WPARAM, LPARAM colour) {
  m_popupOpen = false;
  m_popup = nullptr;
  NotifyParent(WM_COLORPICK_CLOSE, 0);
  NotifyParent(WM_COLORPICK_CANCEL, static_cast<DWORD>(colour));
  // A live preview must not outlive a cancelled choice.
  if (m_colour != m_colourAtOpen) {
    m_colour = m_colourAtOpen;
    NotifyParent(WM_COLORPICK_CHANGE, ToColorRef(m_colour));
  }
  Invalidate();
  return 0;
}

LRESULT CColorButton::OnThemeChanged(WPARAM, LPARAM) {
  if (m_theme) CloseThemeData(m_theme);
  m_theme = OpenThemeData(m_hWnd, L"Button");
  Invalidate();
  return 0;
}

void CColorButton::DrawItem(LPDRAWITEMSTRUCT item) {
  if (!m_theme) m_theme = OpenThemeData(m_hWnd, L"Button");
  UINT state = item->itemState;
  if (m_popupOpen) state |= ODS_SELECTED | ODS_FOCUS;
  DrawSwatch(item->hDC, item->rcItem, state, m_colour, m_theme);
}

RECT CColorButton::WellRect(const RECT& rect, bool themed) {
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  const int dx = std::min(GetSystemMetrics(SM_CXEDGE) * (themed ? 2 : 1), w / 2);
  const int dy = std::min(GetSystemMetrics(SM_CYEDGE) * (themed ? 2 : 1), h / 2);
  return RECT{rect.left + dx, rect.top + dy, rect.right - dx, rect.bottom - dy};
}

void CColorButton::DrawSwatch(HDC dc, const RECT& rect, UINT state, DWORD argb, HTHEME theme) {
  const bool pushed = state & ODS_SELECTED, disabled = state & ODS_DISABLED;
  if (theme) {
    const int part = BP_PUSHBUTTON, partState = disabled ? PBS_DISABLED : pushed ? PBS_PRESSED : PBS_NORMAL;
    if (IsThemeBackgroundPartiallyTransparent(theme, part, partState)) DrawThemeParentBackground(nullptr, dc, &rect);
    DrawThemeBackground(theme, dc, part, partState, &rect, nullptr);
  } else {
    RECT frame = rect;
    DrawFrameControl(dc, &frame, DFC_BUTTON,
                     DFCS_BUTTONPUSH | DFCS_FLAT | DFCS_ADJUSTRECT | (pushed ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0));
  }
  const RECT well = WellRect(rect, theme != nullptr);
  Gdiplus::Graphics g(dc);
  const Gdiplus::CompositingMode previous = g.GetCompositingMode();
  g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
  const auto fill = [&g](DWORD colour, LONG l, LONG t, LONG r, LONG b) {
    if (r <= l || b <= t) return;
    Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
    g.FillRectangle(&brush, Gdiplus::REAL(l), Gdiplus::REAL(t), Gdiplus::REAL(r - l), Gdiplus::REAL(b - t));
  };
  if (disabled) {
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    fill((DWORD(0.6 * 255) << 24) | (DWORD(GetRValue(window)) << 16) | (DWORD(GetGValue(window)) << 8) | GetBValue(window),
         rect.left, rect.top, rect.right, rect.bottom);
  } else {
    LXGraphics::CColor light(argb), dark(argb);
    light.Lighten(0.6f);
    dark.Darken(0.3f);
    fill(light.GetValue(), well.left, well.top, well.right, well.bottom);
    fill(dark.GetValue(), well.left, well.top, well.right - 1, well.bottom - 1);
    fill(argb, well.left + 1, well.top + 1, well.right - 1, well.bottom - 1);
  }
  g.SetCompositingMode(previous);
}
