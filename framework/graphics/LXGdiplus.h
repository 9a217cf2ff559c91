// GDI+ start-up and the drawing objects the framework shares, point/pixel conversions, GDI fonts
// for the text-style word (LXText.h), the focus frame, and the accessibility workaround object.
#pragma once
#include "AfxGdi.h"
#include "GdiPlus.h"
#include "LXSyncRect.h"

class CWnd;

// The screen's LOGPIXELSX in both at start-up; the drawing DPI rises while a graph is exported.
extern int g_drawDpi;
extern int g_screenDpi;
// 1 on screen, g_drawDpi / g_screenDpi while a graph is exported.
extern float g_textScale;

// The shared objects (valid between StartGdiplus and StopGdiplus): six hatch brushes (plain
// white; 20, 40, 60, 80 percent black on white; plain black), a 1 x 1 opaque black bitmap and
// white at 75 percent opacity.
extern Gdiplus::HatchBrush* g_hatchBrushes[6];
extern Gdiplus::Bitmap* g_blackPixel;
extern Gdiplus::Color g_whiteThreeQuarters;

// Idempotent; throws CLXXAppInit (fatal) when GDI+ cannot start.
bool StartGdiplus();
void StopGdiplus();
bool GdiplusStarted();

// Sends the registered "GDI+ Accessibility" message to every top-level "GDI+ Window" that exists
// or is created later on this thread. One per process, made when "EnableGDIPlusDCI" asks for it.
class CGDIPlusDCIOff {
 public:
  CGDIPlusDCIOff();
  virtual ~CGDIPlusDCIOff();
  static CGDIPlusDCIOff* Instance();
  static UINT Message();

 private:
  bool m_ownsHook = false;
};

// Sizes as a point pair: m_float exact, m_int and m_point rounded half away from zero. Without a
// DC the screen's resolution is used (the main window's and the desktop's are the same here).
LXGraphics::CSyncPoint PixelsToPoints(HDC dc, float width, float height);
LXGraphics::CSyncPoint PointsToPixels(HDC dc, float width, float height);
LXGraphics::CSyncPoint PointsToGraphicsPixels(Gdiplus::Graphics* graphics, float width, float height);
LXGraphics::CSyncPoint GraphicsPixelsToPoints(Gdiplus::Graphics* graphics, float width, float height);
// A metric that must look alike on screen and in an export: metric x g_drawDpi / g_screenDpi.
int ScaleMetricForDrawing(int metric);

// The DC's font height (without internal leading) in points at the screen's scale; 8 when it
// cannot be read.
float GetDCFontSize(CDC* dc);
// The font's face name with " Bold" (weight 700 or more) and " Italic" appended as it asks.
CString StyledFaceName(const LOGFONTW& font);
void LogFontForStyle(float points, UINT style, LOGFONTW& logFont);
CFont* CreateFontForStyle(LPCWSTR face, float points, UINT style, LOGFONTW* logFontOut);
CFont* CreateFontFromLogFont(const LOGFONTW& logFont);
CFont* CreateBoldWindowFont(CWnd* window);
// Outside a paint the frame is kept and drawn at the window's next paint.
void DrawFocusFrame(CWnd* window, const RECT* rect);
// The frame itself, on any Graphics.
void DrawFocusFrame(Gdiplus::Graphics& graphics, const RECT& rect);
