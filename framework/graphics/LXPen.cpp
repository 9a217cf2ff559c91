#include "LXPen.h"

namespace LXGraphics {
CLXPen::CLXPen(Gdiplus::ARGB argb, Gdiplus::REAL width) : Gdiplus::Pen(Gdiplus::Color(argb), width) {
  SetAlignment(Gdiplus::PenAlignmentInset);
}
CLXPen::~CLXPen() = default;
}  // namespace LXGraphics

namespace {
// Truncate toward zero, then one further away when the dropped fraction is at least a half.
int32_t RoundAway(float v) {
  auto whole = static_cast<int32_t>(v);
  float fraction = v - static_cast<float>(whole);
  if (fraction >= 0.5f) return whole + 1;
  if (fraction <= -0.5f) return whole - 1;
  return whole;
}
}  // namespace

void PixelPoint::Set(PixelPoint& point, double x, double y) {
  point.exactX = static_cast<float>(x);
  point.exactY = static_cast<float>(y);
  point.x = point.x2 = RoundAway(point.exactX);
  point.y = point.y2 = RoundAway(point.exactY);
}
