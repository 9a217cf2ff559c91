// The off-screen image buffer and the menu drawing tools.
#include "GdiQt.h"
#include "ImageBuffer.h"
#include "ScopedDC.h"
#include "WidgetApp.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

using namespace Gdiplus;

namespace {
void EnsureApp() { qlwtest::EnsureWidgetApp("test_windows"); }
LXGraphics::CSyncRect Area(float w, float h) { return LXGraphics::CSyncRect(0, 0, w, h); }
}  // namespace

TEST(ImageBuffer, SizesWithSpareRoomAndKeepsWhatStillFits) {
  EnsureApp();
  CImageBuffer buffer;
  buffer.Prepare(Area(300.5f, 200.7f), 96, 96);
  ASSERT_TRUE(buffer.m_pBitmap);
  EXPECT_EQ(buffer.m_pBitmap->GetWidth(), 300u);
  EXPECT_EQ(buffer.m_pBitmap->GetHeight(), 200u);
  EXPECT_EQ(buffer.m_rect.m_int.Width, 300);

  const struct {
    float w, h;
    UINT bw, bh;
  } cases[] = {{601, 400, 721, 480}, {359, 400, 430, 480}, {360, 240, 600, 400}, {600, 400, 600, 400}};
  for (const auto& c : cases) {
    CImageBuffer b;
    b.Prepare(Area(600, 400), 96, 96);
    Bitmap* first = b.m_pBitmap;
    b.Prepare(Area(c.w, c.h), 150, 150);
    ASSERT_TRUE(b.m_pBitmap);
    EXPECT_EQ(b.m_pBitmap->GetWidth(), c.bw) << c.w << " x " << c.h;
    EXPECT_EQ(b.m_pBitmap->GetHeight(), c.bh) << c.w << " x " << c.h;
    if (c.bw == 600) {
      EXPECT_EQ(b.m_pBitmap, first);
    }
    EXPECT_EQ(b.m_pBitmap->GetHorizontalResolution(), 150.0f);
    EXPECT_FLOAT_EQ(b.m_rect.m_float.Width, c.w);
  }
  buffer.Prepare(Area(0, 10), 96, 96);
  EXPECT_EQ(buffer.m_pBitmap, nullptr);
  EXPECT_EQ(buffer.m_rect.m_float.Width, 0);
}

TEST(ImageBuffer, DrawsInAreaCoordinatesWipesOnRequestAndLocks) {
  EnsureApp();
  CImageBuffer buffer;
  buffer.Prepare(LXGraphics::CSyncRect(100, 50, 200, 110), 96, 96);
  {
    std::unique_ptr<Graphics> g(buffer.CreateGraphics());
    SolidBrush red(Color(0xFFFF0000u));
    g->FillRectangle(&red, 100.0f, 50.0f, 10.0f, 10.0f);  // lands at the bitmap's origin
  }
  Color c;
  buffer.m_pBitmap->GetPixel(0, 0, &c);
  EXPECT_EQ(c.GetValue(), 0xFFFF0000u);
  buffer.m_pBitmap->GetPixel(10, 10, &c);
  EXPECT_EQ(c.GetValue(), 0u);
  // Locked: bitmap, area and contents survive a preparation, even with a wipe pending.
  buffer.m_bLocked = true;
  buffer.m_bClearPending = true;
  Bitmap* kept = buffer.m_pBitmap;
  buffer.Prepare(Area(500, 500), 96, 96);
  EXPECT_EQ(buffer.m_pBitmap, kept);
  EXPECT_FLOAT_EQ(buffer.m_rect.m_float.X, 100);
  buffer.m_pBitmap->GetPixel(0, 0, &c);
  EXPECT_EQ(c.GetValue(), 0xFFFF0000u);
  // Unlocked, the pending wipe clears it to transparent black.
  buffer.m_bLocked = false;
  buffer.Prepare(LXGraphics::CSyncRect(100, 50, 200, 110), 96, 96);
  EXPECT_EQ(buffer.m_pBitmap, kept);
  buffer.m_pBitmap->GetPixel(0, 0, &c);
  EXPECT_EQ(c.GetValue(), 0u);
  EXPECT_FALSE(buffer.m_bClearPending);
}

TEST(AdjustColor, LightnessAndSaturation) {
  const COLORREF colours[] = {RGB(200, 40, 60), RGB(10, 120, 250), RGB(128, 128, 128)};
  for (COLORREF c : colours) {
    for (int saturation : {0, 30}) {
      COLORREF same = AdjustColor(c, 0, saturation);
      EXPECT_NEAR(GetRValue(same), GetRValue(c), 1);
      EXPECT_NEAR(GetGValue(same), GetGValue(c), 1);
      EXPECT_NEAR(GetBValue(same), GetBValue(c), 1);
    }
    EXPECT_EQ(AdjustColor(c, 100, 0), RGB(255, 255, 255));
    EXPECT_EQ(AdjustColor(c, -100, 0), RGB(0, 0, 0));
    COLORREF grey = AdjustColor(c, 0, -100);
    EXPECT_EQ(GetRValue(grey), GetGValue(grey));
    EXPECT_EQ(GetGValue(grey), GetBValue(grey));
  }
}

TEST(ScopedSelectors, RestoreWhatTheyChanged) {
  EnsureApp();
  QImage image(20, 20, QImage::Format_ARGB32);
  image.fill(0xFFFFFFFFu);
  QPainter painter(&image);
  HDC dc = qlw::CreatePainterDC(&painter, RECT{0, 0, 20, 20});
  HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN), brush = GetCurrentObject(dc, OBJ_BRUSH), font = GetCurrentObject(dc, OBJ_FONT);
  {
    CScopedPen p(dc, PS_SOLID, 1, RGB(255, 0, 0));
    CScopedBrush hollow(dc, CLR_INVALID);
    EXPECT_EQ(hollow.m_created, nullptr);
    Rectangle(dc, 2, 2, 18, 18);
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  painter.end();
  EXPECT_EQ(image.pixel(2, 10), 0xFFFF0000u);
  EXPECT_EQ(image.pixel(10, 10), 0xFFFFFFFFu);  // the hollow brush filled nothing
  painter.begin(&image);
  {
    CScopedFontWeight bold(dc, true);
    ASSERT_NE(bold.m_created, nullptr);
    LOGFONTW lf{};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    CScopedFontWeight again(dc, true);
    EXPECT_EQ(again.m_created, nullptr);  // already bold: no font made
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
  {
    CScopedObjectTextColor restore(dc, CreateSolidBrush(RGB(1, 2, 3)), RGB(9, 9, 9));
    EXPECT_EQ(GetTextColor(dc), RGB(9, 9, 9));
  }
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  DeleteDC(dc);
}

TEST(ScopedDC, ReleasesTheDCOnceAndRestoresItsState) {
  EnsureApp();
  HDC screen = GetDC(nullptr);
  {
    CScopedDC scoped(screen, true);
    SetTextColor(scoped, RGB(1, 2, 3));
    scoped.Release();
    EXPECT_EQ(scoped.GetSafeHdc(), nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 0);  // released: the handle is gone
    scoped.Release();                                  // nothing left to release
  }
  HDC kept = GetDC(nullptr);
  {
    CScopedDC borrowed(kept, false);
    SetTextColor(borrowed, RGB(1, 2, 3));
  }
  EXPECT_EQ(GetDeviceCaps(kept, LOGPIXELSX), 96);  // not released without the flag
  EXPECT_EQ(GetTextColor(kept), RGB(0, 0, 0));     // its saved state restored
  ReleaseDC(nullptr, kept);
  Bitmap bitmap(10, 10);
  Graphics g(&bitmap);
  {
    CScopedDC fromGraphics(&g);
    ASSERT_NE(fromGraphics.GetSafeHdc(), nullptr);
    EXPECT_EQ(g.GetHDC(), nullptr);  // held until the guard ends
    g.GetLastStatus();
  }
  HDC again = g.GetHDC();
  EXPECT_NE(again, nullptr);
  g.ReleaseHDC(again);
}
