// Callout outlines with pointers, arrows and marker triangles, in the float device units of the
// target Graphics; the text that uses the arrows is in LXText.h.
#pragma once
#include "GdiPlus.h"
#include "LXSyncRect.h"

// Appends to `out` the closed outline of a label box (rounded rectangle, capsule or circle, by the
// corner radius) whose pointer, when asked for, touches `tip`. Nothing is appended on failure.
Gdiplus::Status BuildMarkerPath(Gdiplus::GraphicsPath& out, const LXGraphics::CSyncRect& box, float radius,
                                bool withPointer, const LXGraphics::CSyncPoint& tip);
// An arrow pointing along +x before it is turned by `angle` degrees about `centre`.
void FillArrow(Gdiplus::Graphics& graphics, const LXGraphics::CSyncPoint& centre, float headLength, float headWidth,
               float shaftLength, float shaftWidth, float angle, Gdiplus::ARGB colour);
// An equilateral triangle in the rectangle: direction 0 right, 1 down-right, 2 down, else right.
void DrawMarkerInRect(Gdiplus::Graphics& graphics, const LXGraphics::CSyncRect& rect, int direction,
                      Gdiplus::ARGB colour);

// The pointer position BuildMarkerPath chooses: 0 none, 1 top edge, then clockwise to 8 top-left.
unsigned ChooseMarkerPointer(const LXGraphics::CSyncRect& box, const LXGraphics::CSyncPoint& tip);
