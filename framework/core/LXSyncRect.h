// A rectangle and a point kept at once in the window API's integer form and the drawing API's
// integer and float forms, with fixed rounding between them. Angle and rounding helpers are in
// LXGeometry.h.
#pragma once

#include <cstdint>

#include "Win.h"

namespace LXGraphics {

// Integer and float drawing forms, laid out as the drawing API's Rect and RectF.
struct CSyncIntRect {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};
struct CSyncFloatRect {
  float X = 0, Y = 0, Width = 0, Height = 0;
};

class CSyncRect {
 public:
  // Which form was written last; Sync derives the others from it.
  enum Dirty : uint32_t { kInSync = 0, kIntWritten = 1, kFloatWritten = 2, kWindowWritten = 3 };

  CSyncRect() = default;
  // Float form (left, top, right - left, bottom - top); integer forms by inward rounding.
  CSyncRect(float left, float top, float right, float bottom);
  explicit CSyncRect(const CSyncFloatRect& rect);

  void Sync();
  void SetLTRB(float left, float top, float right, float bottom);
  void SetXYWH(float x, float y, float width, float height);
  void AssignFloat(const CSyncRect& src);
  void SetX(float x);
  void SetY(float y);
  void CentreIn(const CSyncRect& frame);
  // Largest size of this aspect ratio inside the frame; the position is kept.
  void FitAspect(const CSyncRect& frame);
  void Deflate(float left, float top, float right, float bottom);
  void ScaleAboutCentre(float sx, float sy);
  // Non-negative width and height, x and y moved to the smaller edges.
  void Normalize();
  // Sets the window form and brings the other two in step.
  void SetFromRECT(const RECT& rect);
  // The window form from a window (client, screen or visible-frame rectangle); nothing for a null
  // or dead window.
  void SetFromClientRect(HWND window);
  void SetFromWindowRect(HWND window);
  void SetFromWindowFrame(HWND window);
  // The window form from screen to the window's client coordinates.
  void ScreenToClient(HWND window);

  RECT m_rect{0, 0, 0, 0};
  CSyncIntRect m_int;
  CSyncFloatRect m_float;
  uint32_t m_dirty = kInSync;

 private:
  void DeriveFromFloat();
};

class CSyncPoint {
 public:
  enum Dirty : uint32_t { kInSync = 0, kIntWritten = 1, kFloatWritten = 2, kWindowWritten = 3 };
  struct IntPoint {
    int32_t X = 0, Y = 0;
  };
  struct FloatPoint {
    float X = 0, Y = 0;
  };

  CSyncPoint() = default;
  // Integer forms rounded half away from zero.
  CSyncPoint(float x, float y);
  void Sync();

  POINT m_point{0, 0};
  IntPoint m_int;
  FloatPoint m_float;
  uint32_t m_dirty = kInSync;
};

}  // namespace LXGraphics
