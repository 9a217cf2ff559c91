// The framework pen (an inset GDI+ pen) and the pixel-snapped point of all plot and tool drawing.
#pragma once
#include "GdiPlus.h"

#include <cstdint>

namespace LXGraphics {

// A GDI+ pen drawn inside the shapes it outlines, so that a rectangle snapped to whole pixels
// keeps its outline within its pixels. A failing GDI+ call leaves its status in the pen.
class CLXPen : public Gdiplus::Pen {
 public:
  // argb: 32-bit colour; width in world units (0 draws one-pixel lines).
  CLXPen(Gdiplus::ARGB argb, Gdiplus::REAL width);
  ~CLXPen() override;
};

}  // namespace LXGraphics

// A point rounded to whole pixels (half away from zero), with the exact values kept beside.
struct PixelPoint {
  int32_t x = 0, y = 0;
  int32_t x2 = 0, y2 = 0;  // the same two rounded values, as the record repeats them
  float exactX = 0, exactY = 0;

  static void Set(PixelPoint& point, double x, double y);
};
