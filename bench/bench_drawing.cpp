// Drawing-layer speed, run by hand: peak labels (callout and overbarred text) and a plot-sized
// buffer prepared, wiped and filled, as the graph renderer draws them per frame.
#include "ImageBuffer.h"
#include "LXGdiplus.h"
#include "LXPen.h"
#include "LXShapes.h"
#include "LXText.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace Gdiplus;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  StartGdiplus();
  CImageBuffer buffer;
  const CString arial(L"Arial");
  const int frames = 20, labels = 200;
  // Each part on its own: the callout outline (fill and inset stroke), then the label text.
  for (int part = 0; part < 2; ++part) {
    auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
      buffer.m_bClearPending = true;
      buffer.Prepare(LXGraphics::CSyncRect(0, 0, 1600.0f + float(f), 900), 96, 96);
      std::unique_ptr<Graphics> g(buffer.CreateGraphics());
      g->SetSmoothingMode(SmoothingModeAntiAlias);
      SolidBrush fill(Color(0xFFFFF6D8u));
      LXGraphics::CLXPen pen(0xFF202020u, 1);
      for (int i = 0; i < labels; ++i) {
        float x = float(20 + (i * 37) % 1500), y = float(40 + (i * 53) % 800);
        if (part == 0) {
          GraphicsPath path;
          BuildMarkerPath(path, LXGraphics::CSyncRect(x, y, x + 70, y + 22), 5, true, LXGraphics::CSyncPoint(x + 35, y + 50));
          g->FillPath(&fill, &path);
          g->DrawPath(&pen, &path);
        } else {
          DrawTextAtPoint(g.get(), L"(1 \u00AF2\u00AF 0)", arial, 9, kTextOverbar | kTextAlignCentre | kTextVCentre,
                          0xFF000000u, LXGraphics::CSyncPoint(x + 35, y + 11));
        }
      }
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %d frames of %d: %.1f ms a frame, %.3f ms each\n", part == 0 ? "callouts" : "labels", frames,
                labels, ms / frames, ms / frames / labels);
  }
  StopGdiplus();
  return 0;
}
