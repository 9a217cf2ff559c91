#include "LXShapes.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace Gdiplus;

namespace {
struct Box {
  float x, y, w, h;
};
Box FloatBox(const LXGraphics::CSyncRect& r) { return {r.m_float.X, r.m_float.Y, r.m_float.Width, r.m_float.Height}; }

float Truncated(float v) { return std::trunc(v); }
float RoundedAway(float v) { return v < 0 ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f); }

PointF Anchor(const Box& b, unsigned code) {
  switch (code) {
    case 1: return {b.x + b.w / 2, b.y};
    case 2: return {b.x + b.w, b.y};
    case 3: return {b.x + b.w, b.y + b.h / 2};
    case 4: return {b.x + b.w, b.y + b.h};
    case 5: return {b.x + b.w / 2, b.y + b.h};
    case 6: return {b.x, b.y + b.h};
    case 7: return {b.x, b.y + b.h / 2};
    default: return {b.x, b.y};
  }
}

// Builds one figure, remembering the first failing status.
class Figure {
 public:
  Status status = Ok;
  GraphicsPath path;
  void Line(PointF a, PointF b) { Check(path.AddLine(a, b)); }
  void Arc(float x, float y, float side, float start, float sweep) { Check(path.AddArc(x, y, side, side, start, sweep)); }
  void Polyline(std::vector<PointF> points) { Check(path.AddLines(points.data(), INT(points.size()))); }

 private:
  void Check(Status s) {
    if (status == Ok && s != Ok) status = s;
  }
};

// Base of an edge pointer: (start, end) of the base along the edge, centred on the tip's
// coordinate and kept on the straight part [low, high].
std::pair<float, float> PointerBase(float beyond, float straight, float along, float low, float high) {
  float b = std::max(8.0f, std::min(1.5f * beyond, straight));
  float c = along;
  if (c < low + b / 2) c = low + b / 2;
  else if (c > high - b / 2) c = high - b / 2;
  return {c - b / 2, c + b / 2};
}
}  // namespace

unsigned ChooseMarkerPointer(const LXGraphics::CSyncRect& rect, const LXGraphics::CSyncPoint& tipPoint) {
  Box b = FloatBox(rect);
  PointF tip(tipPoint.m_float.X, tipPoint.m_float.Y);
  bool above = tip.Y <= b.y, below = tip.Y >= b.y + b.h, left = tip.X <= b.x, right = tip.X >= b.x + b.w;
  bool candidate[9] = {false, above, above && right, right, right && below, below, below && left, left, left && above};
  double cx = b.x + b.w / 2.0, cy = b.y + b.h / 2.0;
  double ux = tip.X - cx, uy = tip.Y - cy, ul = std::hypot(ux, uy);
  if (ul > 0) ux /= ul, uy /= ul;
  else ux = uy = 0;
  unsigned best = 0;
  double bestScore = 0;
  for (unsigned code = 1; code <= 8; ++code) {
    if (!candidate[code]) continue;
    PointF a = Anchor(b, code);
    double ax = a.X - cx, ay = a.Y - cy, al = std::hypot(ax, ay);
    if (al > 0) ax /= al, ay /= al;
    double score = std::abs(ay * ux - ax * uy);
    if (best == 0 || score < bestScore) best = code, bestScore = score;
  }
  return best;
}

Status BuildMarkerPath(GraphicsPath& out, const LXGraphics::CSyncRect& rect, float radius, bool withPointer,
                       const LXGraphics::CSyncPoint& tipPoint) {
  const Box b = FloatBox(rect);
  const float x = b.x, y = b.y, w = b.w, h = b.h;
  float r = radius;
  bool widthOk = true, heightOk = true;
  if (2 * r >= w) r = w / 2, widthOk = false;
  if (2 * r >= h) r = h / 2, heightOk = false;
  unsigned code = withPointer ? ChooseMarkerPointer(rect, tipPoint) : 0;
  const PointF rawTip(tipPoint.m_float.X, tipPoint.m_float.Y);
  Figure f;

  // Polyline vertices: the tip rounded half away from zero, the others truncated toward zero.
  auto T = [](float px, float py) { return PointF(Truncated(px), Truncated(py)); };
  const PointF tip(RoundedAway(rawTip.X), RoundedAway(rawTip.Y));
  auto topPointer = [&](float from, float to) {  // left to right along y
    auto [b0, b1] = PointerBase(y - rawTip.Y, w - 2 * r, rawTip.X, x + r, x + w - r);
    f.Polyline({T(from, y), T(b0, y), tip, T(b1, y), T(to, y)});
  };
  auto bottomPointer = [&](float from, float to) {  // right to left
    auto [b0, b1] = PointerBase(rawTip.Y - (y + h), w - 2 * r, rawTip.X, x + r, x + w - r);
    f.Polyline({T(from, y + h), T(b1, y + h), tip, T(b0, y + h), T(to, y + h)});
  };
  auto rightPointer = [&](float from, float to) {  // top to bottom
    auto [b0, b1] = PointerBase(rawTip.X - (x + w), h - 2 * r, rawTip.Y, y + r, y + h - r);
    f.Polyline({T(x + w, from), T(x + w, b0), tip, T(x + w, b1), T(x + w, to)});
  };
  auto leftPointer = [&](float from, float to) {  // bottom to top
    auto [b0, b1] = PointerBase(x - rawTip.X, h - 2 * r, rawTip.Y, y + r, y + h - r);
    f.Polyline({T(x, from), T(x, b1), tip, T(x, b0), T(x, to)});
  };

  if (widthOk && heightOk) {
    // Rounded rectangle, clockwise from the top-left.
    if (code == 1) topPointer(x + r, x + w - r);
    else f.Line({x + r, y}, {x + w - r, y});
    if (code == 2) f.Polyline({T(x + w - r, y), tip, T(x + w, y + r)});
    else f.Arc(x + w - 2 * r, y, 2 * r, -90, 90);
    if (code == 3) rightPointer(y + r, y + h - r);
    else f.Line({x + w, y + r}, {x + w, y + h - r});
    if (code == 4) f.Polyline({T(x + w, y + h - r), tip, T(x + w - r, y + h)});
    else f.Arc(x + w - 2 * r, y + h - 2 * r, 2 * r, 0, 90);
    if (code == 5) bottomPointer(x + w - r, x + r);
    else f.Line({x + w - r, y + h}, {x + r, y + h});
    if (code == 6) f.Polyline({T(x + r, y + h), tip, T(x, y + h - r)});
    else f.Arc(x, y + h - 2 * r, 2 * r, 90, 90);
    if (code == 7) leftPointer(y + h - r, y + r);
    else f.Line({x, y + h - r}, {x, y + r});
    if (code == 8) f.Polyline({T(x, y + r), tip, T(x + r, y)});
    else f.Arc(x, y, 2 * r, 180, 90);
  } else if (!widthOk && heightOk) {
    // Vertical capsule, r = w/2.
    if (code == 1 || code == 2 || code == 8) {
      f.Polyline({T(x, y + h - r), T(x, y + r), tip, T(x + w, y + r), T(x + w, y + h - r)});
      f.Arc(x, y + h - 2 * r, 2 * r, 0, 180);
    } else if (code == 4 || code == 5 || code == 6) {
      f.Polyline({T(x + w, y + r), T(x + w, y + h - r), tip, T(x, y + h - r), T(x, y + r)});
      f.Arc(x, y, 2 * r, 180, 180);
    } else {
      if (code == 7) leftPointer(y + h - r, y + r);
      else f.Line({x, y + h - r}, {x, y + r});
      f.Arc(x, y, 2 * r, 180, 180);
      if (code == 3) rightPointer(y + r, y + h - r);
      else f.Line({x + w, y + r}, {x + w, y + h - r});
      f.Arc(x, y + h - 2 * r, 2 * r, 0, 180);
    }
  } else if (widthOk && !heightOk) {
    // Horizontal capsule, r = h/2; closing the figure draws the bottom side.
    if (code == 2 || code == 3 || code == 4) {
      f.Polyline({T(x + r, y), T(x + w - r, y), tip, T(x + w - r, y + h), T(x + r, y + h)});
      f.Arc(x, y, 2 * r, 90, 180);
    } else if (code == 6 || code == 7 || code == 8) {
      f.Polyline({T(x + w - r, y + h), T(x + r, y + h), tip, T(x + r, y), T(x + w - r, y)});
      f.Arc(x + w - 2 * r, y, 2 * r, -90, 180);
    } else {
      f.Arc(x, y, 2 * r, 90, 180);
      if (code == 1) topPointer(x + r, x + w - r);
      else f.Line({x + r, y}, {x + w - r, y});
      f.Arc(x + w - 2 * r, y, 2 * r, -90, 180);
      if (code == 5) bottomPointer(x + w - r, x + r);
    }
  } else {
    // Circle of diameter 2r centred in the rectangle.
    float cx = x + w / 2, cy = y + h / 2;
    float sx = cx - r, sy = cy - r;
    if (code == 0) {
      f.status = f.path.AddEllipse(sx, sy, 2 * r, 2 * r);
    } else {
      auto R = [](float px, float py) { return PointF(RoundedAway(px), RoundedAway(py)); };
      PointF left = R(cx - r, cy), right = R(cx + r, cy), top = R(cx, cy - r), bottom = R(cx, cy + r);
      PointF first, second;
      switch (code) {
        case 1: first = left, second = right; break;
        case 2: first = top, second = right; break;
        case 3: first = top, second = bottom; break;
        case 4: first = right, second = bottom; break;
        case 5: first = right, second = left; break;
        case 6: first = bottom, second = left; break;
        case 7: first = bottom, second = top; break;
        default: first = left, second = top; break;
      }
      f.Polyline({first, tip, second});
      // The half circle opposite the pointer.
      static const float starts[9] = {0, 0, 45, 90, 135, 180, 225, 270, 315};
      f.Arc(sx, sy, 2 * r, starts[code], 180);
    }
  }
  if (f.status != Ok) return f.status;
  Status s = f.path.CloseFigure();
  if (s != Ok) return s;
  s = out.AddPath(&f.path, FALSE);
  if (s != Ok) out.SetStatus(s);
  return s;
}

void FillArrow(Graphics& g, const LXGraphics::CSyncPoint& centre, float headLength, float headWidth, float shaftLength,
               float shaftWidth, float angle, ARGB colour) {
  const float cx = centre.m_float.X, cy = centre.m_float.Y;
  const float length = headLength + shaftLength, height = std::max(headWidth, shaftWidth);
  const float tip = cx + length / 2, back = cx - length / 2, base = tip - headLength;
  const float sw = shaftWidth;
  GraphicsPath path;
  if (headLength != 0 && headWidth != 0) {
    PointF head[] = {{base, cy + sw / 2}, {base, cy + height / 2}, {tip, cy}, {base, cy - height / 2}, {base, cy - sw / 2}};
    path.AddLines(head, 5);
  }
  if (shaftLength != 0 && shaftWidth != 0) {
    PointF shaft[] = {{base, cy - sw / 2}, {back, cy - sw / 2}, {back, cy + sw / 2}, {base, cy + sw / 2}};
    path.AddLines(shaft, 4);
  }
  path.CloseFigure();
  if (angle != 0) {
    Matrix turn;
    turn.Translate(cx, cy);
    turn.Rotate(angle);
    turn.Translate(-cx, -cy);
    path.Transform(&turn);
  }
  SolidBrush brush{Color(colour)};
  Status s = g.FillPath(&brush, &path);
  if (s == Ok) s = path.GetLastStatus();
  if (s != Ok) g.SetStatus(s);
}

void DrawMarkerInRect(Graphics& g, const LXGraphics::CSyncRect& rect, int direction, ARGB colour) {
  LXGraphics::CSyncRect shrunk = rect;
  shrunk.ScaleAboutCentre(0.8f, 0.8f);
  float w = shrunk.m_float.Width;
  LXGraphics::CSyncPoint centre(shrunk.m_float.X + w / 2, shrunk.m_float.Y + shrunk.m_float.Height / 2);
  float angle = direction == 1 ? 45.0f : direction == 2 ? 90.0f : 0.0f;
  FillArrow(g, centre, w * std::sqrt(3.0f) / 2, w, 0, 0, angle, colour);
}
