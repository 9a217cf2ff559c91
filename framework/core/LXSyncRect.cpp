// Rounding rules between the forms of CSyncRect and CSyncPoint.
#include "LXSyncRect.h"

#include <cfloat>
#include <cmath>

#include "LXGeometry.h"

namespace LXGraphics {

namespace {
int32_t RoundUp(float v) { return SaturateToInt32(std::ceil(v)); }
int32_t RoundDown(float v) { return SaturateToInt32(std::floor(v)); }
// Edges and sizes from huge coordinates stay at the end of the range instead of wrapping.
int32_t Sum(int32_t a, int32_t b) { return SaturateToInt32(double(a) + double(b)); }
int32_t Difference(int32_t a, int32_t b) { return SaturateToInt32(double(a) - double(b)); }
}  // namespace

CSyncRect::CSyncRect(float left, float top, float right, float bottom) { SetLTRB(left, top, right, bottom); }

CSyncRect::CSyncRect(const CSyncFloatRect& rect) { SetXYWH(rect.X, rect.Y, rect.Width, rect.Height); }

void CSyncRect::DeriveFromFloat() {
  m_int.X = RoundUp(m_float.X);
  m_int.Y = RoundUp(m_float.Y);
  m_int.Width = RoundDown(m_float.Width);
  m_int.Height = RoundDown(m_float.Height);
  m_rect.left = m_int.X;
  m_rect.top = m_int.Y;
  m_rect.right = Sum(m_int.X, m_int.Width);
  m_rect.bottom = Sum(m_int.Y, m_int.Height);
}

void CSyncRect::Sync() {
  switch (m_dirty) {
    case kIntWritten:
      m_rect = RECT{m_int.X, m_int.Y, Sum(m_int.X, m_int.Width), Sum(m_int.Y, m_int.Height)};
      m_float = CSyncFloatRect{float(m_int.X), float(m_int.Y), float(m_int.Width), float(m_int.Height)};
      break;
    case kFloatWritten:
      DeriveFromFloat();
      break;
    case kWindowWritten:
      m_int = CSyncIntRect{m_rect.left, m_rect.top, Difference(m_rect.right, m_rect.left),
                           Difference(m_rect.bottom, m_rect.top)};
      m_float = CSyncFloatRect{float(m_int.X), float(m_int.Y), float(m_int.Width), float(m_int.Height)};
      break;
    default:
      break;
  }
  m_dirty = kInSync;
}

void CSyncRect::SetFromRECT(const RECT& rect) {
  m_rect = rect;
  m_dirty = kWindowWritten;
  Sync();
}

void CSyncRect::SetFromClientRect(HWND window) {
  RECT r;
  if (window != nullptr && ::GetClientRect(window, &r)) SetFromRECT(r);
}

void CSyncRect::SetFromWindowRect(HWND window) {
  RECT r;
  if (window != nullptr && ::GetWindowRect(window, &r)) SetFromRECT(r);
}

void CSyncRect::SetFromWindowFrame(HWND window) {
  RECT r;
  // The desktop's frame around a top-level window is what the user sees of it.
  if (window != nullptr && qlw::GetWindowFrameRect(window, &r)) SetFromRECT(r);
}

void CSyncRect::ScreenToClient(HWND window) {
  POINT corners[2] = {{m_rect.left, m_rect.top}, {m_rect.right, m_rect.bottom}};
  if (window == nullptr || !::ScreenToClient(window, &corners[0]) || !::ScreenToClient(window, &corners[1])) return;
  SetFromRECT(RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y});
}

void CSyncRect::SetLTRB(float left, float top, float right, float bottom) {
  SetXYWH(left, top, right - left, bottom - top);
}

void CSyncRect::SetXYWH(float x, float y, float width, float height) {
  m_float = CSyncFloatRect{x, y, width, height};
  DeriveFromFloat();
}

void CSyncRect::AssignFloat(const CSyncRect& src) {
  const CSyncFloatRect f = src.m_float;
  SetXYWH(f.X, f.Y, f.Width, f.Height);
}

void CSyncRect::SetX(float x) {
  m_float.X = x;
  m_rect.left = m_int.X = RoundDown(x);
  m_rect.right = RoundDown(x + m_float.Width);
}

void CSyncRect::SetY(float y) {
  m_float.Y = y;
  m_rect.top = m_int.Y = RoundDown(y);
  m_rect.bottom = RoundDown(y + m_float.Height);
}

void CSyncRect::CentreIn(const CSyncRect& frame) {
  SetX(frame.m_float.X + (frame.m_float.Width - m_float.Width) * 0.5f);
  SetY(frame.m_float.Y + (frame.m_float.Height - m_float.Height) * 0.5f);
}

void CSyncRect::FitAspect(const CSyncRect& frame) {
  if (m_float.Width > FLT_EPSILON && m_float.Height > FLT_EPSILON) {
    const float h = m_float.Height * frame.m_float.Width / m_float.Width;
    if (h <= frame.m_float.Height) {
      m_float.Width = frame.m_float.Width;
      m_float.Height = h;
    } else {
      m_float.Width = m_float.Width * frame.m_float.Height / m_float.Height;
      m_float.Height = frame.m_float.Height;
    }
  } else {
    m_float.Width = frame.m_float.Width;
    m_float.Height = frame.m_float.Height;
  }
  m_dirty = kFloatWritten;
  Sync();
}

void CSyncRect::Deflate(float left, float top, float right, float bottom) {
  if (left + right > float(m_int.Width)) left = right = float(m_int.Width) / 2;
  if (top + bottom > float(m_int.Height)) top = bottom = float(m_int.Height) / 2;
  m_float.X += left;
  m_float.Y += top;
  m_float.Width -= left + right;
  m_float.Height -= top + bottom;
  m_dirty = kFloatWritten;
  Sync();
}

void CSyncRect::ScaleAboutCentre(float sx, float sy) {
  if (sx == 0.0f || sy == 0.0f) {
    m_rect = RECT{0, 0, 0, 0};
    m_int = CSyncIntRect{};
    m_float = CSyncFloatRect{};
    m_dirty = kInSync;
    return;
  }
  const float cx = m_float.X + m_float.Width / 2, cy = m_float.Y + m_float.Height / 2;
  m_float.Width *= std::fabs(sx);
  m_float.Height *= std::fabs(sy);
  m_dirty = kFloatWritten;
  Sync();
  SetX(cx - m_float.Width / 2);
  SetY(cy - m_float.Height / 2);
}

void CSyncRect::Normalize() {
  if (m_float.Width < 0) {
    m_float.X += m_float.Width;
    m_float.Width = -m_float.Width;
  }
  if (m_float.Height < 0) {
    m_float.Y += m_float.Height;
    m_float.Height = -m_float.Height;
  }
  m_dirty = kFloatWritten;
  Sync();
}

CSyncPoint::CSyncPoint(float x, float y) : m_float{x, y} {
  m_int = IntPoint{RoundHalfAway(x), RoundHalfAway(y)};
  m_point = POINT{m_int.X, m_int.Y};
}

void CSyncPoint::Sync() {
  switch (m_dirty) {
    case kIntWritten:
      m_point = POINT{m_int.X, m_int.Y};
      m_float = FloatPoint{float(m_int.X), float(m_int.Y)};
      break;
    case kFloatWritten:
      m_int = IntPoint{RoundHalfAway(m_float.X), RoundHalfAway(m_float.Y)};
      m_point = POINT{m_int.X, m_int.Y};
      break;
    case kWindowWritten:
      m_int = IntPoint{m_point.x, m_point.y};
      m_float = FloatPoint{float(m_point.x), float(m_point.y)};
      break;
    default:
      break;
  }
  m_dirty = kInSync;
}

}  // namespace LXGraphics
