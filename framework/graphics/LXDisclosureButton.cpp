// The header button of the inspector panes: disclosure triangle and caption.
#include "LXAlphaButton.h"

#include "LXGdiplus.h"
#include "LXText.h"
#include "Resources.h"

namespace {
constexpr Gdiplus::ARGB kSeparator = 0xFFEEEEEEu;

// The face of a DC's font with " Bold" / " Italic" appended as the font asks.
CString StyledFace(CDC* dc) {
  LOGFONTW font{};
  if (HFONT h = static_cast<HFONT>(::GetCurrentObject(dc->GetSafeHdc(), OBJ_FONT))) ::GetObjectW(h, sizeof font, &font);
  return StyledFaceName(font);
}
}  // namespace

Gdiplus::RectF CDisclosureButton::TextBox(const Gdiplus::RectF& button) {
  constexpr float kIndent = 22.5f;
  if (button.Width >= kIndent) return {button.X + kIndent, button.Y, button.Width - kIndent, button.Height};
  return {button.X + button.Width / 2, button.Y, 0.0f, button.Height};
}

void CDisclosureButton::DrawItem(LPDRAWITEMSTRUCT item) {
  CDC* dc = CDC::FromHandle(item->hDC);
  const int saved = dc->SaveDC();
  Gdiplus::Graphics g(item->hDC);
  const auto compositing = g.GetCompositingMode();
  const auto smoothing = g.GetSmoothingMode();
  g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
  g.SetSmoothingMode(g_drawDpi < 300 ? Gdiplus::SmoothingModeHighQuality : Gdiplus::SmoothingModeNone);
  const RECT& r = item->rcItem;
  const float w = float(r.right - r.left), h = float(r.bottom - r.top);
  const bool on = IsChecked();
  Gdiplus::SolidBrush fill{Gdiplus::Color(on ? 0xFFFBFBFBu : 0xFFF7F7F7u)};
  g.FillRectangle(&fill, float(r.left), float(r.top), w, h);
  if (Gdiplus::Bitmap* image = on ? m_openImage : m_closedImage) {
    const Gdiplus::RectF box(float(r.left), float(r.top) + (h - 9.0f) / 2.0f, 15.0f, 9.0f);
    g.DrawImage(image, box, 0.0f, 0.0f, float(image->GetWidth()), float(image->GetHeight()), Gdiplus::UnitPixel);
  }
  if (!on) {
    Gdiplus::Pen pen{Gdiplus::Color(kSeparator), 1.0f};
    g.DrawLine(&pen, float(r.left), float(r.bottom) - 0.5f, float(r.right), float(r.bottom) - 0.5f);
  }
  CString text;
  GetWindowText(text);
  const Gdiplus::RectF box = TextBox({float(r.left), float(r.top), w, h});
  const COLORREF colour = ::GetTextColor(item->hDC);
  const Gdiplus::ARGB argb = 0xFF000000u | (DWORD(GetRValue(colour)) << 16) | (DWORD(GetGValue(colour)) << 8) | GetBValue(colour);
  DrawTextBox(&g, text, StyledFace(dc), GetDCFontSize(dc) + 1.0f, 0x48401, argb,
              LXGraphics::CSyncRect(box.X, box.Y, box.X + box.Width, box.Y + box.Height));
  g.SetCompositingMode(compositing);
  g.SetSmoothingMode(smoothing);
  dc->RestoreDC(saved);
}

