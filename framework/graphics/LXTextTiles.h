// Text boxes drawn again and again with the same texts (tick labels, axis titles).
#pragma once
#include "CString.h"
#include "GdiPlus.h"
#include "LXSyncRect.h"

// DrawTextBox with the same pixels: on an image at whole-pixel offsets, a single line is laid
// out and drawn once into a tile of its own, and copied from there at every later call.
void DrawTextBoxFromTile(Gdiplus::Graphics* graphics, LPCWSTR text, const CString& family, float size, UINT style,
                         Gdiplus::ARGB colour, const LXGraphics::CSyncRect& box);
