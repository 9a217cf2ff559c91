// The class library's GDI wrappers: CDC and the GDI objects CPen, CBrush, CFont, CBitmap, CRgn.
// The window DCs (paint, client) are made by the window layer over CreatePainterDC (GdiQt.h).
#pragma once
#include "CString.h"
#include "Gdi.h"

class CGdiObject {
 public:
  CGdiObject() = default;
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  virtual ~CGdiObject() { DeleteObject(); }

  BOOL Attach(HGDIOBJ object) {
    if (m_hObject || !object) return FALSE;
    m_hObject = object;
    return TRUE;
  }
  HGDIOBJ Detach() { HGDIOBJ o = m_hObject; m_hObject = nullptr; return o; }
  BOOL DeleteObject() {
    if (!m_hObject) return FALSE;
    return ::DeleteObject(Detach());
  }
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  int GetObject(int size, LPVOID out) const { return ::GetObjectW(m_hObject, size, out); }
  operator HGDIOBJ() const { return m_hObject; }

  HGDIOBJ m_hObject = nullptr;
};

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
  BOOL CreatePen(int style, int width, COLORREF colour) { return Attach(::CreatePen(style, width, colour)); }
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }
  BOOL CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
  BOOL CreateHatchBrush(int hatch, COLORREF colour) { return Attach(::CreateHatchBrush(hatch, colour)); }
  BOOL CreateSysColorBrush(int index) { return Attach(::CreateSolidBrush(GetSysColor(index))); }
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }
  // Height in tenths of a point at the DC's (or the screen's) resolution.
  BOOL CreatePointFont(int tenthsOfPoint, LPCWSTR face, class CDC* dc = nullptr);
  int GetLogFont(LOGFONTW* out) const { return ::GetObjectW(m_hObject, sizeof(LOGFONTW), out); }
  static CFont* FromHandle(HFONT font);
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
 public:
  BOOL CreateCompatibleBitmap(class CDC* dc, int width, int height);
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
    return Attach(::CreateBitmap(width, height, planes, bits, data));
  }
  int GetBitmap(BITMAP* out) const { return ::GetObjectW(m_hObject, sizeof(BITMAP), out); }
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(const RECT* r) { return Attach(::CreateRectRgnIndirect(r)); }
  BOOL CreateEllipticRgn(int l, int t, int r, int b) { return Attach(::CreateEllipticRgn(l, t, r, b)); }
  int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    return ::CombineRgn(*this, a ? HRGN(*a) : nullptr, b ? HRGN(*b) : nullptr, mode);
  }
  int GetRgnBox(LPRECT rect) const { return ::GetRgnBox(*this, rect); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
};

// A device context. It owns its handle only when it made it (CreateCompatibleDC); Attach and
// Detach hand a handle in and out without ownership.
class CDC {
 public:
  CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  virtual ~CDC();

  BOOL Attach(HDC dc);
  HDC Detach();
  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  // Set by whoever prints with this DC (a printer or a print preview).
  BOOL IsPrinting() const { return m_bPrinting; }
  // A temporary wrapper kept per handle for the thread, as the class library gives.
  static CDC* FromHandle(HDC dc);

  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  CGdiObject* SelectStockObject(int index);
  CFont* GetCurrentFont() const;

  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
  CPoint SetViewportOrg(int x, int y) {
    POINT old{};
    ::SetViewportOrgEx(m_hDC, x, y, &old);
    return old;
  }
  CPoint GetViewportOrg() const {
    POINT p{};
    ::GetViewportOrgEx(m_hDC, &p);
    return p;
  }

  int GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }
  int ExcludeClipRect(int l, int t, int r, int b) { return ::ExcludeClipRect(m_hDC, l, t, r, b); }
  int ExcludeClipRect(LPCRECT r) { return ExcludeClipRect(r->left, r->top, r->right, r->bottom); }
  int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
  int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
  int SelectClipRgn(CRgn* rgn) { return ::SelectClipRgn(m_hDC, rgn ? HRGN(*rgn) : nullptr); }
  virtual BOOL PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }
  virtual BOOL RectVisible(LPCRECT rect) const { return ::RectVisible(m_hDC, rect); }

  CPoint MoveTo(int x, int y) {
    POINT old{};
    ::MoveToEx(m_hDC, x, y, &old);
    return old;
  }
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  BOOL Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
  BOOL Polygon(const POINT* points, int count) { return ::Polygon(m_hDC, points, count); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
  BOOL RoundRect(LPCRECT r, POINT corner) { return ::RoundRect(m_hDC, r->left, r->top, r->right, r->bottom, corner.x, corner.y); }
  BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
  BOOL Ellipse(LPCRECT r) { return Ellipse(r->left, r->top, r->right, r->bottom); }
  void FillRect(LPCRECT rect, CBrush* brush) { ::FillRect(m_hDC, rect, brush ? HBRUSH(*brush) : nullptr); }
  void FrameRect(LPCRECT rect, CBrush* brush) { ::FrameRect(m_hDC, rect, brush ? HBRUSH(*brush) : nullptr); }
  void FillSolidRect(LPCRECT rect, COLORREF colour);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour);
  void Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  void DrawFocusRect(LPCRECT rect) { ::DrawFocusRect(m_hDC, rect); }
  BOOL DrawEdge(LPRECT rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rect, edge, flags); }
  BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }
  BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, rop);
  }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }

  virtual BOOL TextOut(int x, int y, LPCWSTR text, int count) { return ::TextOutW(m_hDC, x, y, text, count); }
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text.GetString(), text.GetLength()); }
  virtual BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, LPINT dx) {
    return ::ExtTextOutW(m_hDC, x, y, options, rect, text, count, dx);
  }
  virtual CSize TabbedTextOut(int x, int y, LPCWSTR text, int count, int tabCount, LPINT tabs, int origin) {
    LONG r = ::TabbedTextOutW(m_hDC, x, y, text, count, tabCount, tabs, origin);
    return CSize(LOWORD(r), HIWORD(r));
  }
  virtual int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) {
    return ::DrawTextW(m_hDC, text, count, rect, format);
  }
  int DrawText(const CString& text, LPRECT rect, UINT format) {
    return DrawText(text.GetString(), text.GetLength(), rect, format);
  }
  virtual int DrawTextEx(LPWSTR text, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params) {
    return ::DrawTextExW(m_hDC, text, count, rect, format, params);
  }
  virtual BOOL GrayString(CBrush* brush, GRAYSTRINGPROC output, LPARAM data, int count, int x, int y, int cx, int cy) {
    return ::GrayStringW(m_hDC, brush ? HBRUSH(*brush) : nullptr, output, data, count, x, y, cx, cy);
  }
  virtual int Escape(int escape, int inCount, LPCSTR in, LPVOID out) { return ::Escape(m_hDC, escape, inCount, in, out); }
  CSize GetTextExtent(LPCWSTR text, int count) const {
    SIZE s{};
    ::GetTextExtentPoint32W(m_hDC, text, count, &s);
    return s;
  }
  CSize GetTextExtent(const CString& text) const { return GetTextExtent(text.GetString(), text.GetLength()); }
  BOOL GetTextMetrics(LPTEXTMETRICW metrics) const { return ::GetTextMetricsW(m_hDC, metrics); }

  HDC m_hDC = nullptr;
  BOOL m_bPrinting = FALSE;

 private:
  bool m_owned = false;
};
