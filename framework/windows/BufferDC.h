// CBufferDC: a double-buffered device context, copied to its target when it goes. Its companion
// for window layout, CAdjustWindows, is in AdjustWindows.h.
#pragma once
#include "AfxGdi.h"

class CBufferDC : public CDC {
 public:
  // Buffers `rect` of the target (its clip box when rect is null or empty). The bitmap spans
  // from the target's origin to the rectangle's far corner, so drawing uses target coordinates;
  // the bands above and left of the rectangle are clipped away.
  CBufferDC(HDC target, const RECT* rect);
  // Copies the rectangle to the target.
  ~CBufferDC() override;

  BOOL PtVisible(int x, int y) const override;
  BOOL RectVisible(LPCRECT rect) const override;
  BOOL TextOut(int x, int y, LPCWSTR text, int count) override;
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, LPINT dx) override;
  CSize TabbedTextOut(int x, int y, LPCWSTR text, int count, int tabCount, LPINT tabs, int origin) override;
  int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) override;
  int DrawTextEx(LPWSTR text, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params) override;
  BOOL GrayString(CBrush* brush, GRAYSTRINGPROC output, LPARAM data, int count, int x, int y, int cx, int cy) override;
  int Escape(int escape, int inCount, LPCSTR in, LPVOID out) override;
  using CDC::DrawText;
  using CDC::TextOut;

  HDC m_hTarget = nullptr;
  RECT m_rect{};
  HBITMAP m_hBitmap = nullptr;
  HGDIOBJ m_hOldBitmap = nullptr;
};
