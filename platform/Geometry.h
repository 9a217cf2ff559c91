// POINT/SIZE/RECT and the class library's CPoint/CSize/CRect (right and bottom edges are exclusive).
#pragma once
#include "WinTypes.h"

struct POINT {
  LONG x;
  LONG y;
};
struct SIZE {
  LONG cx;
  LONG cy;
};
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef POINT* LPPOINT;
typedef const POINT* LPCPOINT;
typedef SIZE* LPSIZE;
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT dst, LPCRECT src);
BOOL IsRectEmpty(LPCRECT rect);
BOOL EqualRect(LPCRECT a, LPCRECT b);
BOOL PtInRect(LPCRECT rect, POINT pt);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
// Both return FALSE and set dst to (0,0,0,0) when the result is empty.
BOOL IntersectRect(LPRECT dst, LPCRECT a, LPCRECT b);
BOOL UnionRect(LPRECT dst, LPCRECT a, LPCRECT b);

class CSize : public SIZE {
 public:
  CSize() : SIZE{0, 0} {}
  CSize(int cx_, int cy_) : SIZE{cx_, cy_} {}
  CSize(SIZE s) : SIZE(s) {}
  CSize(POINT p) : SIZE{p.x, p.y} {}
  CSize(const CSize&) = default;
  // Ref-qualified so that assigning to a temporary does not compile.
  CSize& operator=(const CSize&) & = default;

  bool operator==(SIZE s) const { return cx == s.cx && cy == s.cy; }
  CSize& operator+=(SIZE s) { cx += s.cx, cy += s.cy; return *this; }
  CSize& operator-=(SIZE s) { cx -= s.cx, cy -= s.cy; return *this; }
  CSize operator+(SIZE s) const { return CSize(cx + s.cx, cy + s.cy); }
  CSize operator-(SIZE s) const { return CSize(cx - s.cx, cy - s.cy); }
  CSize operator-() const { return CSize(-cx, -cy); }
};

class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(int x_, int y_) : POINT{x_, y_} {}
  CPoint(POINT p) : POINT(p) {}
  CPoint(SIZE s) : POINT{s.cx, s.cy} {}
  CPoint(const CPoint&) = default;
  CPoint& operator=(const CPoint&) & = default;

  void Offset(int dx, int dy) { x += dx, y += dy; }
  void Offset(POINT p) { Offset(p.x, p.y); }
  void Offset(SIZE s) { Offset(s.cx, s.cy); }
  void SetPoint(int x_, int y_) { x = x_, y = y_; }

  bool operator==(POINT p) const { return x == p.x && y == p.y; }
  CPoint& operator+=(SIZE s) { x += s.cx, y += s.cy; return *this; }
  CPoint& operator-=(SIZE s) { x -= s.cx, y -= s.cy; return *this; }
  CPoint& operator+=(POINT p) { x += p.x, y += p.y; return *this; }
  CPoint& operator-=(POINT p) { x -= p.x, y -= p.y; return *this; }
  CPoint operator+(SIZE s) const { return CPoint(x + s.cx, y + s.cy); }
  CPoint operator-(SIZE s) const { return CPoint(x - s.cx, y - s.cy); }
  CPoint operator+(POINT p) const { return CPoint(x + p.x, y + p.y); }
  CSize operator-(POINT p) const { return CSize(x - p.x, y - p.y); }
  CPoint operator-() const { return CPoint(-x, -y); }
};

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}
  CRect(LPCRECT r) : RECT(*r) {}
  CRect(POINT topLeft, SIZE size) : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
  CRect(POINT topLeft, POINT bottomRight) : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}
  CRect(const CRect&) = default;
  CRect& operator=(const CRect&) & = default;
  CRect& operator=(const RECT& r) & { RECT::operator=(r); return *this; }

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }

  BOOL IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
  BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  BOOL EqualRect(LPCRECT r) const { return ::EqualRect(this, r); }

  void SetRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
  void SetRect(POINT topLeft, POINT bottomRight) { SetRect(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y); }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void CopyRect(LPCRECT r) { RECT::operator=(*r); }
  void NormalizeRect();

  void OffsetRect(int dx, int dy) { left += dx, right += dx, top += dy, bottom += dy; }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void OffsetRect(SIZE s) { OffsetRect(s.cx, s.cy); }
  void MoveToX(int x) { right = x + Width(), left = x; }
  void MoveToY(int y) { bottom = y + Height(), top = y; }
  void MoveToXY(int x, int y) { MoveToX(x), MoveToY(y); }
  void MoveToXY(POINT p) { MoveToXY(p.x, p.y); }

  void InflateRect(int dx, int dy) { left -= dx, top -= dy, right += dx, bottom += dy; }
  void InflateRect(SIZE s) { InflateRect(s.cx, s.cy); }
  void InflateRect(LPCRECT r) { left -= r->left, top -= r->top, right += r->right, bottom += r->bottom; }
  void InflateRect(int l, int t, int r, int b) { left -= l, top -= t, right += r, bottom += b; }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  void DeflateRect(SIZE s) { InflateRect(-s.cx, -s.cy); }
  void DeflateRect(LPCRECT r) { left += r->left, top += r->top, right -= r->right, bottom -= r->bottom; }
  void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }

  BOOL IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b); }
  BOOL UnionRect(LPCRECT a, LPCRECT b) { return ::UnionRect(this, a, b); }

  bool operator==(const RECT& r) const { return ::EqualRect(this, &r); }
  CRect& operator+=(POINT p) { OffsetRect(p); return *this; }
  CRect& operator+=(SIZE s) { OffsetRect(s); return *this; }
  CRect& operator-=(POINT p) { OffsetRect(-p.x, -p.y); return *this; }
  CRect& operator-=(SIZE s) { OffsetRect(-s.cx, -s.cy); return *this; }
  CRect& operator&=(const RECT& r) { ::IntersectRect(this, this, &r); return *this; }
  CRect& operator|=(const RECT& r) { ::UnionRect(this, this, &r); return *this; }
  CRect operator+(POINT p) const { CRect c(*this); c.OffsetRect(p); return c; }
  CRect operator+(SIZE s) const { CRect c(*this); c.OffsetRect(s); return c; }
  CRect operator-(POINT p) const { CRect c(*this); c.OffsetRect(-p.x, -p.y); return c; }
  CRect operator-(SIZE s) const { CRect c(*this); c.OffsetRect(-s.cx, -s.cy); return c; }
  CRect operator&(const RECT& r) const { CRect c; ::IntersectRect(&c, this, &r); return c; }
  CRect operator|(const RECT& r) const { CRect c; ::UnionRect(&c, this, &r); return c; }
};
