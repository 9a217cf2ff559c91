// Small GDI tools of the menus and other drawing code: a colour adjustment in the HLS model, a
// scoped device-context guard, and guards that select a pen, brush or font and put back the
// previous one.
#pragma once
#include "AfxGdi.h"
#include "GdiPlus.h"

class CWnd;

// light and saturation in percent: light >= 1 moves towards white, < 0 towards black;
// a negative saturation reduces it (positive values do nothing).
COLORREF AdjustColor(COLORREF colour, int light, int saturation);

class CScopedDC {
 public:
  // The window's DC (the screen's for null); released when the guard ends.
  explicit CScopedDC(CWnd* window);
  // A given DC, released at the end only when `release` is set.
  CScopedDC(HDC dc, bool release);
  // The DC of a GDI+ Graphics, handed back to it at the end.
  explicit CScopedDC(Gdiplus::Graphics* graphics);
  CScopedDC(const CScopedDC&) = delete;
  CScopedDC& operator=(const CScopedDC&) = delete;
  virtual ~CScopedDC();

  void Release();
  CDC* GetDC() { return m_pDC; }
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  HWND m_hWnd = nullptr;
  Gdiplus::Graphics* m_pGraphics = nullptr;
  void* m_pImageDC = nullptr;  // pooled image DCs are not used here
  HDC m_hDC = nullptr;
  CDC* m_pDC = nullptr;
  CDC m_dc;
  int m_savedDC = 0;
  bool m_bRelease = false;

 private:
  void Hold(HDC dc);
};

// An object selected into a DC for a scope: the previous one goes back and the one made for
// the scope (if any) is deleted at its end.
class CScopedSelection {
 public:
  CScopedSelection(const CScopedSelection&) = delete;
  CScopedSelection& operator=(const CScopedSelection&) = delete;
  HGDIOBJ m_created = nullptr;
  HDC m_hDC = nullptr;
  HGDIOBJ m_previous = nullptr;

 protected:
  explicit CScopedSelection(HDC dc) : m_hDC(dc) {}
  ~CScopedSelection();
};

// Selects a new pen for the scope.
class CScopedPen : public CScopedSelection {
 public:
  CScopedPen(HDC dc, int style, int width, COLORREF colour);
};

// A solid brush of the colour, or the hollow stock brush for CLR_INVALID.
class CScopedBrush : public CScopedSelection {
 public:
  CScopedBrush(HDC dc, COLORREF colour);
};

// The DC's font in bold (700) or normal (400) weight; nothing when it already is.
class CScopedFontWeight : public CScopedSelection {
 public:
  CScopedFontWeight(HDC dc, bool bold);
};

// Selects an object made for the scope (owned) and optionally sets the text colour.
class CScopedObjectTextColor {
 public:
  CScopedObjectTextColor(HDC dc, HGDIOBJ created, COLORREF textColour = CLR_INVALID);
  ~CScopedObjectTextColor();
  HGDIOBJ m_created = nullptr;
  HDC m_hDC = nullptr;
  HGDIOBJ m_previous = nullptr;
  COLORREF m_previousTextColour = CLR_INVALID;
};
