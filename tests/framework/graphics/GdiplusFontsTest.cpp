// GDI+ start-up, DPI conversions, the DC font size, GDI fonts for the style word, the focus frame.
#include "GraphicsTestSupport.h"
#include "GdiQt.h"
#include "LXGdiplus.h"
#include "LXText.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <QApplication>

using namespace Gdiplus;
using namespace graphicstest;

namespace {
// Restores the process-wide DPIs after a test changes them.
struct DpiScope {
  DpiScope(int draw, int screen) : m_draw(g_drawDpi), m_screen(g_screenDpi) { g_drawDpi = draw, g_screenDpi = screen; }
  ~DpiScope() { g_drawDpi = m_draw, g_screenDpi = m_screen; }
  int m_draw, m_screen;
};

// A DC at the given resolution over a scratch image, with a font of `pixels` character height.
struct TestDC {
  explicit TestDC(int dpi, int pixels = 0) : image(10, 10, QImage::Format_ARGB32), painter(&image) {
    dc = qlw::CreatePainterDC(&painter, RECT{0, 0, 10, 10}, dpi);
    if (pixels) {
      LOGFONTW lf{};
      lf.lfHeight = -pixels;
      wcscpy(lf.lfFaceName, L"Arial");
      font = CreateFontIndirectW(&lf);
      SelectObject(dc, font);
    }
    cdc.Attach(dc);
  }
  ~TestDC() {
    cdc.Detach();
    DeleteDC(dc);
    if (font) DeleteObject(font);
  }
  QImage image;
  QPainter painter;
  HDC dc = nullptr;
  HFONT font = nullptr;
  CDC cdc;
};
}  // namespace

TEST(DpiConversions, PointsAndPixelsAtTheDCsResolution) {
  EnsureApp();
  EXPECT_EQ(PointsToPixels(nullptr, 12, 12).m_int.Y, 16);
  TestDC at120(120);
  EXPECT_EQ(PointsToPixels(at120.dc, 12, 12).m_int.X, 20);
  EXPECT_FLOAT_EQ(PixelsToPoints(at120.dc, 20, 20).m_float.Y, 12);
  TestDC at300(300);
  EXPECT_FLOAT_EQ(PointsToPixels(at300.dc, 7.2f, 0).m_float.X, 30);
  EXPECT_EQ(PointsToPixels(nullptr, 1.125f, 0).m_int.X, 2);  // 1.5 rounds away from zero
  Bitmap b(10, 10);
  b.SetResolution(300, 300);
  Graphics g(&b);
  EXPECT_FLOAT_EQ(PointsToGraphicsPixels(&g, 72, 72).m_float.X, 300);
  EXPECT_FLOAT_EQ(GraphicsPixelsToPoints(&g, 300, 150).m_float.Y, 36);
}

TEST(DpiConversions, MetricsScaleByDrawingOverScreenDpi) {
  {
    DpiScope dpi(96, 96);
    EXPECT_EQ(ScaleMetricForDrawing(6), 6);
  }
  {
    DpiScope dpi(300, 96);
    EXPECT_EQ(ScaleMetricForDrawing(6), 18);
  }
}

TEST(GetDCFontSize, DividesByTheDpiRatioAsAFloat) {
  EnsureApp();
  TestDC dc(96, 16);
  TEXTMETRICW tm{};
  ASSERT_TRUE(dc.cdc.GetTextMetrics(&tm));
  const float points = float(tm.tmHeight - tm.tmInternalLeading) * 72.0f / 96.0f;
  ASSERT_GT(points, 0);
  const struct {
    int draw, screen;
    float factor;
  } cases[] = {{96, 96, 1.0f}, {72, 96, 96.0f / 72.0f}, {150, 96, 96.0f / 150.0f}, {300, 96, 96.0f / 300.0f}};
  for (const auto& c : cases) {
    DpiScope dpi(c.draw, c.screen);
    EXPECT_FLOAT_EQ(GetDCFontSize(&dc.cdc), points * c.factor) << c.draw << "/" << c.screen;
  }
  CDC none;
  EXPECT_FLOAT_EQ(GetDCFontSize(&none), 8.0f);
  EXPECT_FLOAT_EQ(GetDCFontSize(nullptr), 8.0f);
}

TEST(GdiFonts, StyleWordAndFallbacks) {
  EnsureApp();
  LOGFONTW lf{};
  LogFontForStyle(12, kTextBold | kTextUnderline, lf);
  EXPECT_EQ(lf.lfHeight, 16);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfUnderline, 1);
  LOGFONTW made{};
  std::unique_ptr<CFont> font(CreateFontForStyle(L"Verdana", 9, kTextItalic, &made));
  ASSERT_TRUE(font);
  EXPECT_STREQ(made.lfFaceName, L"Verdana");
  EXPECT_EQ(made.lfItalic, 1);
  EXPECT_GT(made.lfHeight, 0);
  // A face that does not exist still gives a font; one GDI refuses falls back to defaults.
  LOGFONTW missing{};
  missing.lfHeight = -12;
  wcscpy(missing.lfFaceName, L"No Such Face At All");
  std::unique_ptr<CFont> substituted(CreateFontFromLogFont(missing));
  EXPECT_TRUE(substituted);
  LOGFONTW refused = missing;
  refused.lfWeight = 5000;
  std::unique_ptr<CFont> fallback(CreateFontFromLogFont(refused));
  ASSERT_TRUE(fallback);
  LOGFONTW got{};
  fallback->GetLogFont(&got);
  EXPECT_EQ(got.lfWeight, FW_NORMAL);
  EXPECT_STREQ(got.lfFaceName, L"Arial");
}

TEST(StartGdiplus, StartsOnceAndReadsTheAccessibilitySwitch) {
  EnsureApp();
  CString company;
  ASSERT_TRUE(LoadString(1063, company));
  CString path = CString(L"Software\\") + company;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.GetString(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD one = 1;
  RegSetValueExW(key, L"EnableGDIPlusDCI", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  StopGdiplus();
  // The workaround object lives until the process ends: only a fresh process shows its absence.
  const bool fresh = CGDIPlusDCIOff::Instance() == nullptr;
  EXPECT_TRUE(StartGdiplus());
  HatchBrush* first = g_hatchBrushes[1];
  EXPECT_TRUE(StartGdiplus());
  EXPECT_EQ(g_hatchBrushes[1], first);  // not started again
  if (fresh) {
    EXPECT_EQ(CGDIPlusDCIOff::Instance(), nullptr);
  }
  EXPECT_EQ(g_whiteThreeQuarters.GetA(), 191);
  Color black;
  g_blackPixel->GetPixel(0, 0, &black);
  EXPECT_EQ(black.GetValue(), 0xFF000000u);
  StopGdiplus();
  EXPECT_EQ(g_hatchBrushes[1], nullptr);
  BYTE on = 1;
  RegSetValueExW(key, L"EnableGDIPlusDCI", 0, REG_BINARY, &on, 1);
  RegCloseKey(key);
  EXPECT_TRUE(StartGdiplus());
  EXPECT_NE(CGDIPlusDCIOff::Instance(), nullptr);
  EXPECT_NE(CGDIPlusDCIOff::Message(), 0u);
  StopGdiplus();
}

TEST(DrawFocusFrame, TwoRingsOfHighlightAtHalfAndQuarterOpacity) {
  EnsureApp();
  DpiScope dpi(96, 96);
  auto b = std::make_unique<Bitmap>(30, 20);
  {
    Graphics g(b.get());
    DrawFocusFrame(g, RECT{2, 2, 28, 18});
  }
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  ARGB outer = Pixel(*b, 10, 2), inner = Pixel(*b, 10, 3);
  EXPECT_EQ(outer >> 24, 127u);
  EXPECT_EQ(inner >> 24, 63u);
  EXPECT_EQ((outer >> 16) & 0xFF, GetRValue(highlight));
  EXPECT_EQ(outer & 0xFF, GetBValue(highlight));
  EXPECT_EQ(Pixel(*b, 2, 10) >> 24, 127u);
  EXPECT_EQ(Pixel(*b, 27, 10) >> 24, 127u);
  EXPECT_EQ(Pixel(*b, 26, 10) >> 24, 63u);
  EXPECT_EQ(Pixel(*b, 1, 10), 0u);
  EXPECT_EQ(Pixel(*b, 10, 4), 0u);  // inside the two rings nothing is drawn
}

namespace {
int g_accessibilityMessages = 0;
LRESULT CALLBACK GdiplusWindowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == CGDIPlusDCIOff::Message() && message != 0) ++g_accessibilityMessages;
  return DefWindowProcW(hwnd, message, wp, lp);
}
}  // namespace

TEST(CGDIPlusDCIOff, TellsEveryHiddenGdiplusWindowOfThisThread) {
  EnsureApp();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &GdiplusWindowProc;
  wc.lpszClassName = L"GDI+ Hook Window Class";
  RegisterClassExW(&wc);
  g_accessibilityMessages = 0;
  HWND before = CreateWindowExW(0, L"GDI+ Hook Window Class", L"GDI+ Window", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(before);
  std::unique_ptr<CGDIPlusDCIOff> made;
  const bool first = CGDIPlusDCIOff::Instance() == nullptr;
  if (first) made = std::make_unique<CGDIPlusDCIOff>();
  ASSERT_NE(CGDIPlusDCIOff::Message(), 0u);
  if (first) {
    EXPECT_EQ(g_accessibilityMessages, 1);  // the one that existed
  }
  // One made later is told when it is shown; a window of another title is not.
  g_accessibilityMessages = 0;
  HWND later = CreateWindowExW(0, L"GDI+ Hook Window Class", L"GDI+ Window", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExW(0, L"GDI+ Hook Window Class", L"Something else", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(later, SW_SHOWNA);
  ShowWindow(other, SW_SHOWNA);
  qlw::ProcessPendingMessages();
  QApplication::processEvents();
  EXPECT_EQ(g_accessibilityMessages, 1);
  DestroyWindow(before);
  DestroyWindow(later);
  DestroyWindow(other);
}
