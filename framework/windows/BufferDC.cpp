#include "BufferDC.h"

CBufferDC::CBufferDC(HDC target, const RECT* rect) : m_hTarget(target) {
  if (rect != nullptr && !IsRectEmpty(rect)) m_rect = *rect;
  else ::GetClipBox(target, &m_rect);
  Attach(::CreateCompatibleDC(target));
  m_hBitmap = ::CreateCompatibleBitmap(target, m_rect.right, m_rect.bottom);
  m_hOldBitmap = ::SelectObject(m_hDC, m_hBitmap);
  if (m_rect.top > 0) ::ExcludeClipRect(m_hDC, 0, 0, m_rect.right, m_rect.top);
  if (m_rect.left >= 1) ::ExcludeClipRect(m_hDC, 0, m_rect.top, m_rect.left, m_rect.bottom);
}

CBufferDC::~CBufferDC() {
  ::BitBlt(m_hTarget, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC, m_rect.left,
           m_rect.top, SRCCOPY);
  ::SelectObject(m_hDC, m_hOldBitmap);
  ::DeleteObject(m_hBitmap);
  ::DeleteDC(Detach());
}

BOOL CBufferDC::PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }
BOOL CBufferDC::RectVisible(LPCRECT rect) const { return ::RectVisible(m_hDC, rect); }
BOOL CBufferDC::TextOut(int x, int y, LPCWSTR text, int count) { return ::TextOutW(m_hDC, x, y, text, count); }
BOOL CBufferDC::ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, LPINT dx) {
  return ::ExtTextOutW(m_hDC, x, y, options, rect, text, count, dx);
}
CSize CBufferDC::TabbedTextOut(int x, int y, LPCWSTR text, int count, int tabCount, LPINT tabs, int origin) {
  const LONG r = ::TabbedTextOutW(m_hDC, x, y, text, count, tabCount, tabs, origin);
  return CSize(LOWORD(r), HIWORD(r));
}
int CBufferDC::DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) {
  return ::DrawTextW(m_hDC, text, count, rect, format);
}
int CBufferDC::DrawTextEx(LPWSTR text, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params) {
  return ::DrawTextExW(m_hDC, text, count, rect, format, params);
}
BOOL CBufferDC::GrayString(CBrush* brush, GRAYSTRINGPROC output, LPARAM data, int count, int x, int y, int cx, int cy) {
  return ::GrayStringW(m_hDC, brush ? HBRUSH(*brush) : nullptr, output, data, count, x, y, cx, cy);
}
int CBufferDC::Escape(int escape, int inCount, LPCSTR in, LPVOID out) { return ::Escape(m_hDC, escape, inCount, in, out); }
