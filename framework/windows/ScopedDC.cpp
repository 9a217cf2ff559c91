#include "ScopedDC.h"

#include "LXColor.h"
#include "Wnd.h"

COLORREF AdjustColor(COLORREF colour, int light, int saturation) {
  LXGraphics::CColor c(255, GetRValue(colour), GetGValue(colour), GetBValue(colour));
  float h = 0, l = 0, s = 0;
  c.GetHLS(&h, &l, &s);
  if (light >= 1) l = l + (1 - l) * float(light) / 100.0f;
  else if (light < 0) l = l * float(light + 100) / 100.0f;
  if (saturation < 0) s = s * float(saturation + 100) / 100.0f;
  LXGraphics::CColor out = LXGraphics::CColor::FromHLS(h, l, s);
  return RGB(out.GetR(), out.GetG(), out.GetB());
}

void CScopedDC::Hold(HDC dc) {
  m_hDC = dc;
  if (!dc) return;
  m_dc.Attach(dc);
  m_pDC = &m_dc;
  m_savedDC = m_dc.SaveDC();
}

CScopedDC::CScopedDC(CWnd* window) {
  m_hWnd = window ? window->GetSafeHwnd() : nullptr;
  m_bRelease = true;
  Hold(::GetDC(m_hWnd));
}

CScopedDC::CScopedDC(HDC dc, bool release) {
  m_bRelease = release;
  Hold(dc);
}

CScopedDC::CScopedDC(Gdiplus::Graphics* graphics) {
  if (!graphics) return;
  m_pGraphics = graphics;
  Hold(graphics->GetHDC());
}

CScopedDC::~CScopedDC() {
  if (m_hDC || m_pGraphics || m_pDC) Release();
}

void CScopedDC::Release() {
  if (m_pDC) {
    if (m_savedDC) m_dc.RestoreDC(m_savedDC);
    m_dc.Detach();
  }
  if (m_hDC) {
    if (m_pGraphics) m_pGraphics->ReleaseHDC(m_hDC);  // a failure stays in the Graphics' status
    else if (m_hWnd || m_bRelease) ::ReleaseDC(m_hWnd, m_hDC);
  }
  m_hWnd = nullptr;
  m_pGraphics = nullptr;
  m_pImageDC = nullptr;
  m_hDC = nullptr;
  m_pDC = nullptr;
  m_savedDC = 0;
  m_bRelease = false;
}

CScopedPen::CScopedPen(HDC dc, int style, int width, COLORREF colour) : CScopedSelection(dc) {
  m_created = CreatePen(style, width, colour);
  m_previous = SelectObject(dc, m_created);
}
CScopedSelection::~CScopedSelection() {
  if (m_previous) SelectObject(m_hDC, m_previous);
  if (m_created) DeleteObject(m_created);
}

CScopedBrush::CScopedBrush(HDC dc, COLORREF colour) : CScopedSelection(dc) {
  if (colour == CLR_INVALID) {
    m_previous = SelectObject(dc, GetStockObject(NULL_BRUSH));
  } else {
    m_created = CreateSolidBrush(colour);
    m_previous = SelectObject(dc, m_created);
  }
}
CScopedFontWeight::CScopedFontWeight(HDC dc, bool bold) : CScopedSelection(dc) {
  LOGFONTW lf{};
  HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
  if (!current || !GetObjectW(current, sizeof lf, &lf)) return;
  bool isBold = lf.lfWeight == FW_BOLD;
  if (bold == isBold) return;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  m_created = CreateFontIndirectW(&lf);
  if (m_created) m_previous = SelectObject(dc, m_created);
}
CScopedObjectTextColor::CScopedObjectTextColor(HDC dc, HGDIOBJ created, COLORREF textColour)
    : m_created(created), m_hDC(dc) {
  if (created) m_previous = SelectObject(dc, created);
  if (textColour != CLR_INVALID) m_previousTextColour = SetTextColor(dc, textColour);
}
CScopedObjectTextColor::~CScopedObjectTextColor() {
  if (m_previous) {
    SelectObject(m_hDC, m_previous);
    DeleteObject(m_created);
  }
  if (m_previousTextColour != CLR_INVALID) SetTextColor(m_hDC, m_previousTextColour);
}
