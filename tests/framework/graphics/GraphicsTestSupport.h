// Shared helpers of the drawing-layer tests: an application for fonts, the clipboard and windows, and
// bitmaps to draw into and read back.
#pragma once
#include "GdiPlus.h"
#include "WidgetApp.h"

#include <QApplication>

#include <functional>
#include <memory>

namespace graphicstest {
inline void EnsureApp() { qlwtest::EnsureWidgetApp("test_graphics"); }

// A white w x h bitmap after `draw`, without anti-aliasing unless the drawing sets it.
inline std::unique_ptr<Gdiplus::Bitmap> Draw(int w, int h, const std::function<void(Gdiplus::Graphics&)>& draw) {
  EnsureApp();
  auto b = std::make_unique<Gdiplus::Bitmap>(w, h);
  Gdiplus::Graphics g(b.get());
  g.Clear(Gdiplus::Color(0xFFFFFFFFu));
  draw(g);
  return b;
}

inline Gdiplus::ARGB Pixel(Gdiplus::Bitmap& b, int x, int y) {
  Gdiplus::Color c;
  b.GetPixel(x, y, &c);
  return c.GetValue();
}

inline bool Inked(Gdiplus::Bitmap& b, int x, int y) { return (Pixel(b, x, y) & 0xFFFFFFu) != 0xFFFFFFu; }

inline int InkedCount(Gdiplus::Bitmap& b) {
  int n = 0;
  for (int y = 0; y < int(b.GetHeight()); ++y)
    for (int x = 0; x < int(b.GetWidth()); ++x) n += Inked(b, x, y);
  return n;
}
}  // namespace graphicstest
