// GDI and GDI+ over QPainter: pixel convention, DCs, pens, paths, regions, bitmaps, fonts, metafiles.
#include "AfxGdi.h"
#include "GdiPlus.h"
#include "GdiQt.h"
#include "Themes.h"
#include "WidgetApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <vector>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QDir>
#include <QPainter>
#include <QResource>
#include <QSemaphore>
#include <QSet>
#include <QThreadPool>
#include <QSvgRenderer>
#include <QThreadPool>

using namespace Gdiplus;

namespace {
struct GuiApp : ::testing::Environment {
  void SetUp() override {
    qlwtest::EnsureWidgetApp("test_gdi");
  }
};
const auto* g_app = ::testing::AddGlobalTestEnvironment(new GuiApp);

// Pixels where `got` differs from `expected`, and where `expected` differs from the ground it was
// drawn over (so a comparison of two blank pictures cannot pass unnoticed).
struct PixelCount {
  int differing = 0, touched = 0;
};
template <class Ground>
PixelCount CountPixels(const QImage& got, const QImage& expected, int width, int height, Ground ground) {
  PixelCount n;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      n.differing += got.pixel(x, y) != expected.pixel(x, y);
      n.touched += expected.pixel(x, y) != ground(x, y);
    }
  return n;
}

ARGB At(Bitmap& b, int x, int y) {
  Color c;
  b.GetPixel(x, y, &c);
  return c.GetValue();
}
}  // namespace

TEST(GdiPlusPixels, IntegerRectanglesFillWholePixels) {
  Bitmap bitmap(10, 10);
  Graphics g(&bitmap);
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  SolidBrush red(Color(255, 255, 0, 0));
  g.FillRectangle(&red, 2.0f, 3.0f, 4.0f, 5.0f);
  EXPECT_EQ(At(bitmap, 2, 3), 0xFFFF0000u);
  EXPECT_EQ(At(bitmap, 5, 7), 0xFFFF0000u);
  // Nothing leaks into the neighbouring pixels, even anti-aliased.
  EXPECT_EQ(At(bitmap, 1, 3), 0u);
  EXPECT_EQ(At(bitmap, 6, 3), 0u);
  EXPECT_EQ(At(bitmap, 2, 8), 0u);
}

TEST(GdiPlusPixels, InsetPenDrawsTheOutermostRingInside) {
  for (SmoothingMode mode : {SmoothingModeNone, SmoothingModeAntiAlias}) {
    Bitmap bitmap(12, 12);
    Graphics g(&bitmap);
    g.SetSmoothingMode(mode);
    Pen pen(Color(255, 0, 0, 255), 2.0f);
    pen.SetAlignment(PenAlignmentInset);
    g.DrawRectangle(&pen, 1.0f, 1.0f, 10.0f, 10.0f);
    for (int i : {1, 2}) EXPECT_EQ(At(bitmap, i, 5), 0xFF0000FFu) << "column " << i;
    for (int i : {9, 10}) EXPECT_EQ(At(bitmap, i, 5), 0xFF0000FFu) << "column " << i;
    EXPECT_EQ(At(bitmap, 0, 5), 0u);
    EXPECT_EQ(At(bitmap, 3, 5), 0u);
    EXPECT_EQ(At(bitmap, 11, 5), 0u);
  }
}

TEST(GdiPlusPixels, WidthZeroPenDrawsOnePixelLines) {
  Bitmap bitmap(10, 10);
  Graphics g(&bitmap);
  Pen pen(Color(255, 0, 0, 0), 0.0f);
  EXPECT_EQ(pen.GetLastStatus(), Ok);
  g.ScaleTransform(3.0f, 3.0f);  // a cosmetic pen ignores the scale
  g.DrawLine(&pen, 0.0f, 1.5f, 3.0f, 1.5f);
  int dark = 0;
  for (int y = 0; y < 10; ++y) dark += (At(bitmap, 5, y) >> 24) != 0;
  EXPECT_EQ(dark, 1);
}

TEST(GdiPlusBitmap, LockBitsKeepsStraightAlphaUnchanged) {
  Bitmap bitmap(3, 1);
  BitmapData data{};
  Rect all(0, 0, 3, 1);
  ASSERT_EQ(bitmap.LockBits(&all, ImageLockModeWrite, PixelFormat32bppARGB, &data), Ok);
  const uint32_t pixels[3] = {0x01FF8040u, 0x80102030u, 0xFFFFFFFFu};
  std::memcpy(data.Scan0, pixels, sizeof pixels);
  ASSERT_EQ(bitmap.UnlockBits(&data), Ok);
  ASSERT_EQ(bitmap.LockBits(&all, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
  EXPECT_EQ(std::memcmp(data.Scan0, pixels, sizeof pixels), 0);
  bitmap.UnlockBits(&data);
  // A premultiplied lock hands out premultiplied copies and takes them back.
  ASSERT_EQ(bitmap.LockBits(&all, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppPARGB, &data), Ok);
  EXPECT_EQ(static_cast<uint32_t*>(data.Scan0)[1], 0x80081018u);
  bitmap.UnlockBits(&data);
  EXPECT_EQ(At(bitmap, 2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(bitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
  EXPECT_EQ(bitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data), WrongState);
  bitmap.UnlockBits(&data);
}

TEST(GdiPlusBitmap, PremultipliedBitmapKeepsPremultipliedPixels) {
  Bitmap bitmap(3, 1, PixelFormat32bppPARGB);
  Rect all(0, 0, 3, 1);
  BitmapData data{};
  // Its own format is handed out in place; straight ARGB is converted both ways.
  ASSERT_EQ(bitmap.LockBits(&all, ImageLockModeWrite, PixelFormat32bppPARGB, &data), Ok);
  const uint32_t premultiplied[3] = {0x80081018u, 0x00000000u, 0xFF102030u};
  std::memcpy(data.Scan0, premultiplied, sizeof premultiplied);
  ASSERT_EQ(bitmap.UnlockBits(&data), Ok);
  ASSERT_EQ(bitmap.LockBits(&all, ImageLockModeRead, PixelFormat32bppPARGB, &data), Ok);
  EXPECT_EQ(std::memcmp(data.Scan0, premultiplied, sizeof premultiplied), 0);
  bitmap.UnlockBits(&data);
  ASSERT_EQ(bitmap.LockBits(&all, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB, &data), Ok);
  EXPECT_EQ(static_cast<uint32_t*>(data.Scan0)[0], 0x80102030u);
  static_cast<uint32_t*>(data.Scan0)[1] = 0x80FFFFFFu;
  ASSERT_EQ(bitmap.UnlockBits(&data), Ok);
  EXPECT_EQ(At(bitmap, 0, 0), 0x80102030u);
  EXPECT_EQ(At(bitmap, 1, 0), 0x80FFFFFFu);
  EXPECT_EQ(At(bitmap, 2, 0), 0xFF102030u);
  ASSERT_EQ(bitmap.SetPixel(1, 0, Color(0x40FF0000u)), Ok);
  EXPECT_EQ(At(bitmap, 1, 0), 0x40FF0000u);

  // Drawn into and copied like a straight bitmap.
  Bitmap layer(4, 4, PixelFormat32bppPARGB), target(4, 4);
  {
    Graphics g(&layer);
    SolidBrush half(Color(0x80FF0000u));
    g.FillRectangle(&half, 0.0f, 0.0f, 2.0f, 4.0f);
  }
  EXPECT_EQ(At(layer, 0, 0), 0x80FF0000u);
  EXPECT_EQ(At(layer, 3, 0), 0u);
  {
    Graphics g(&target);
    g.Clear(Color(0xFFFFFFFFu));
    g.DrawImage(&layer, 0.0f, 0.0f, 4.0f, 4.0f);
  }
  Color mixed;
  target.GetPixel(1, 1, &mixed);
  EXPECT_EQ(mixed.GetR(), 255);
  EXPECT_NEAR(mixed.GetG(), 127, 1);
  EXPECT_EQ(At(target, 3, 3), 0xFFFFFFFFu);
}

TEST(GdiPlusPixels, WholePixelDrawingOnlyOnImagesWithWholeOffsets) {
  Bitmap bitmap(20, 20);
  Graphics g(&bitmap);
  EXPECT_TRUE(g.DrawsWholePixels());
  g.TranslateTransform(3.0f, -4.0f);
  EXPECT_TRUE(g.DrawsWholePixels());
  g.TranslateTransform(0.5f, 0.0f);
  EXPECT_FALSE(g.DrawsWholePixels());
  g.ResetTransform();
  g.ScaleTransform(2.0f, 2.0f);
  EXPECT_FALSE(g.DrawsWholePixels());
  Metafile meta(static_cast<HDC>(nullptr));
  Graphics recording(&meta);
  EXPECT_FALSE(recording.DrawsWholePixels());
  // A long anti-aliased line (painted whole on a pool thread) lands where a short one would.
  Bitmap wide(400, 400);
  Graphics w(&wide);
  w.SetSmoothingMode(SmoothingModeAntiAlias);
  Pen pen(Color(255, 0, 0, 0), 1.0f);
  w.DrawLine(&pen, 0.0f, 200.5f, 400.0f, 200.5f);
  EXPECT_EQ(At(wide, 300, 200), 0xFF000000u);
  EXPECT_EQ(At(wide, 300, 199), 0u);
  EXPECT_EQ(At(wide, 300, 201), 0u);
}

// Small wide strokes onto premultiplied bitmaps are filled without the raster engine's stroke;
// they must land as the engine's own would, to a level or two of anti-aliasing.
TEST(GdiPlusPixels, SmallWideStrokesMatchThePaintersOwn) {
  struct Case {
    float x, y, width;
    ARGB colour;
    bool clipThrough;  // a clip cutting the shape
  };
  const Case cases[] = {
      {20.3f, 30.7f, 3.0f, 0xFFFDFDFDu, false}, {41.55f, 12.02f, 3.0f, 0xFF2040C0u, false},
      {-1.4f, 5.25f, 2.5f, 0xFF00FF00u, false},  // partly off the left and top edges
      {77.9f, 45.6f, 4.0f, 0xFF000000u, false},  // partly off the right and bottom edges
      {30.37f, 25.81f, 3.0f, 0xFFC02020u, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    Bitmap bitmap(80, 50, PixelFormat32bppPARGB);
    QImage expected(80, 50, QImage::Format_ARGB32_Premultiplied);
    // Something under the stroke to blend with.
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 80; ++x) {
        const QRgb under = qPremultiply(qRgba(x * 3, y * 5, 128, (x * 7 + y * 11) % 256));
        bitmap.Q().setPixel(x, y, under);
        expected.setPixel(x, y, under);
      }
    // A label's arrow: an arrowhead and its stem, as two figures of one path.
    GraphicsPath path;
    path.AddLine(c.x - 3, c.y - 5, c.x, c.y);
    path.AddLine(c.x, c.y, c.x + 3, c.y - 5);
    path.StartFigure();
    path.AddLine(c.x, c.y, c.x, c.y - 12);
    {
      Graphics g(&bitmap);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(1.0f, 2.0f);
      if (c.clipThrough) g.SetClip(RectF(0, 0, c.x, 50));
      Pen pen(Color(c.colour), c.width);
      ASSERT_EQ(g.DrawPath(&pen, &path), Ok);
    }
    const QImage under = expected.copy();
    QPainter painter(&expected);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(1, 2);
    if (c.clipThrough) painter.setClipRect(QRectF(0, 0, c.x, 50));
    QPen pen{QColor::fromRgba(c.colour), c.width};
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.strokePath(path.Q(), pen);
    painter.end();
    int worst = 0, changed = 0, touched = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 80; ++x) {
        const QRgb a = bitmap.Q().pixel(x, y), b = expected.pixel(x, y);
        const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
        worst = std::max(worst, d);
        changed += d > 0;
        touched += b != under.pixel(x, y);
      }
    EXPECT_LE(worst, 2);
    EXPECT_GT(touched, 20);
    EXPECT_LE(changed * 4, touched);  // most pixels exactly alike
  }
}

// A long curve magnified far past the image (a loupe's view), and a grid line much longer than
// the image: cut to what reaches the image and stroked a few segments at a time, they look as
// the painter's own stroke of the whole line does.
TEST(GdiPlusPixels, MagnifiedLongLinesMatchThePaintersOwn) {
  struct Case {
    float scale, width;
    int points;
  };
  const Case cases[] = {{4.0f, 1.0f, 400}, {6.0f, 0.5f, 400}, {4.0f, 1.0f, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points);
    std::vector<PointF> line;
    for (int i = 0; i < c.points; ++i)
      line.emplace_back(float(i) * 300.0f / float(std::max(1, c.points - 1)), c.points == 2 ? 40.0f + 30 * i : 40.0f + 25.0f * float(i % 3) + (i % 7 == 0 ? 18 : 0));
    Bitmap bitmap(90, 70, PixelFormat32bppPARGB);
    bitmap.Q().fill(Qt::white);
    QImage expected(90, 70, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    {
      Graphics g(&bitmap);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(45.0f, 35.0f);
      g.ScaleTransform(c.scale, c.scale);
      g.TranslateTransform(-150.0f, -55.0f);
      Pen pen(Color(0xFF203040u), c.width);
      pen.SetLineJoin(LineJoinRound);
      ASSERT_EQ(g.DrawLines(&pen, line.data(), INT(line.size())), Ok);
    }
    QPainter painter(&expected);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(45, 35);
    painter.scale(c.scale, c.scale);
    painter.translate(-150, -55);
    QPen pen{QColor::fromRgba(0xFF203040u), c.width};
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    QPainterPath path;
    path.moveTo(line[0].X, line[0].Y);
    for (const PointF& p : line) path.lineTo(p.X, p.Y);
    painter.strokePath(path, pen);
    painter.end();
    int worst = 0, touched = 0, differing = 0;
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 90; ++x) {
        const QRgb a = bitmap.Q().pixel(x, y), b = expected.pixel(x, y);
        const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        worst = std::max(worst, d);
        differing += d > 8;
        touched += b != 0xFFFFFFFFu;
      }
    EXPECT_GT(touched, 100);
    // Where pieces meet, their anti-aliased rims overlap: darker there, and only there.
    EXPECT_LE(worst, 96);
    EXPECT_LE(differing * 20, touched) << differing << " of " << touched;
  }
}

// A long curve magnified past a pixel's width is stroked a few segments at a time in bands of rows
// on several threads: every pixel as the same pieces stroked on one thread give it.
TEST(GdiPlusPixels, MagnifiedCurvesInBandsMatchOneThreadExactly) {
  struct Case {
    float sx, sy;
    bool clip;
    ARGB colour;
    PixelFormat format;
  };
  const Case cases[] = {{4.0f, 4.0f, true, 0xFF004400u, PixelFormat32bppARGB},
                        {3.0f, 5.0f, false, 0x80C02060u, PixelFormat32bppPARGB},
                        {2.5f, 2.5f, true, 0xC0FF8000u, PixelFormat32bppARGB}};
  // Tall narrow peaks, as a magnified pattern has, with fractional points.
  std::vector<PointF> line;
  for (int i = 0; i < 300; ++i)
    line.emplace_back(1.3f + float(i) * 0.37f, 70.0f - 55.0f * std::pow(std::fabs(std::sin(float(i) * 0.21f)), 6.0f) +
                                                   float(i % 4) * 0.13f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sy);
    auto draw = [&](Bitmap& b) {
      for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 320; ++x) b.Q().setPixel(x, y, qRgb(255 - x % 90, 230, 170 + y % 80));
      Graphics g(&b);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(160.0f, 150.0f);
      g.ScaleTransform(c.sx, c.sy);
      g.TranslateTransform(-50.0f, -45.0f);
      if (c.clip) g.SetClip(RectF(12.3f, 8.6f, 70.2f, 60.4f));
      Pen pen(Color(c.colour), 1.0f);
      pen.SetLineJoin(LineJoinRound);
      return g.DrawLines(&pen, line.data(), INT(line.size()));
    };
    Bitmap banded(320, 300, c.format), oneThread(320, 300, c.format);
    ASSERT_EQ(draw(banded), Ok);
    // Drawn from a pool thread, nothing is handed on: the pieces are stroked there one by one.
    QSemaphore done;
    Status status = GenericError;
    QThreadPool::globalInstance()->start([&] {
      status = draw(oneThread);
      done.release();
    });
    done.acquire();
    ASSERT_EQ(status, Ok);
    const PixelCount n = CountPixels(banded.Q(), oneThread.Q(), 320, 300, [&](int x, int y) {
      return qRgb(255 - x % 90, 230, 170 + y % 80);
    });
    EXPECT_GT(n.touched, 8000);
    EXPECT_EQ(n.differing, 0);
  }
}

// A long thin curve on an image is stroked in bands on several threads: every pixel as the
// painter's own stroke of the whole curve gives it, with and without a clip and an offset.
TEST(GdiPlusPixels, LongThinCurvesMatchThePaintersOwnExactly) {
  struct Case {
    float width, dx, dy;
    bool clip;
  };
  const Case cases[] = {{1.0f, 0, 0, false}, {1.0f, 3.0f, -2.0f, true}, {0.5f, 0, 5.0f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    // Steep swings over most of the height, as a pattern's peaks are, with fractional points.
    std::vector<PointF> line;
    for (int i = 0; i < 1500; ++i)
      line.emplace_back(2.3f + float(i) * 0.41f,
                        150.0f + 140.0f * std::sin(float(i) * 0.37f) * std::cos(float(i) * 0.011f) + float(i % 3) * 0.3f);
    Bitmap bitmap(640, 320, PixelFormat32bppPARGB);
    QImage expected(640, 320, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 640; ++x) {
        const QRgb under = qPremultiply(qRgba(255 - x % 200, 200 + y % 50, 180, 255));
        bitmap.Q().setPixel(x, y, under);
        expected.setPixel(x, y, under);
      }
    const RectF clip(40.6f, 20.3f, 500.5f, 270.8f);
    for (std::uint32_t colour : {0xFF2030A0u, 0xFFC03020u}) {
      {
        Graphics g(&bitmap);
        g.SetSmoothingMode(SmoothingModeAntiAlias);
        g.TranslateTransform(c.dx, c.dy);
        if (c.clip) g.SetClip(clip);
        Pen pen(Color(colour), c.width);
        pen.SetLineJoin(LineJoinRound);
        ASSERT_EQ(g.DrawLines(&pen, line.data(), INT(line.size())), Ok);
      }
      QPainter painter(&expected);
      painter.translate(c.dx, c.dy);
      if (c.clip) painter.setClipRect(QRectF(clip.X, clip.Y, clip.Width, clip.Height));
      painter.setRenderHint(QPainter::Antialiasing);
      QPen pen{QColor::fromRgba(colour), c.width};
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::RoundJoin);
      QPainterPath path;
      path.moveTo(line[0].X, line[0].Y);
      for (const PointF& p : line) path.lineTo(p.X, p.Y);
      painter.strokePath(path, pen);
    }
    const PixelCount n = CountPixels(bitmap.Q(), expected, 640, 320, [&](int x, int y) {
      return qPremultiply(qRgba(255 - x % 200, 200 + y % 50, 180, 255));
    });
    EXPECT_GT(n.touched, 20000);
    EXPECT_EQ(n.differing, 0);
  }
}

// Several long thin curves handed over together are stroked in one set of bands whose heights
// follow the work: every pixel as the painter's own strokes one after another give it, where
// translucent curves cross, where one keeps to a few rows and where one runs off the image.
TEST(GdiPlusPixels, LongThinCurvesTogetherMatchThePaintersOwnExactly) {
  QThreadPool* pool = QThreadPool::globalInstance();
  const int threads = pool->maxThreadCount();
  pool->setMaxThreadCount(std::max(threads, 6));
  std::vector<std::vector<PointF>> lines(4);
  for (int i = 0; i < 1500; ++i) {
    const float x = 2.3f + float(i) * 0.41f, t = float(i);
    // Mostly near a base line with tall narrow peaks, as a pattern is drawn.
    lines[0].emplace_back(x, 300.0f - 260.0f * std::pow(std::fabs(std::sin(t * 0.05f)), 40.0f) + float(i % 5) * 0.7f);
    lines[1].emplace_back(x + 0.2f, 160.0f + 140.0f * std::sin(t * 0.37f) * std::cos(t * 0.011f));
    lines[2].emplace_back(x, 40.0f + 30.0f * std::sin(t * 0.9f));
    lines[3].emplace_back(x * 1.3f - 60.0f, 170.0f + 120.0f * std::sin(t * 0.23f) + t * 0.02f);
  }
  const ARGB colours[] = {0xFF2030A0u, 0x90C03020u, 0xFF108040u, 0xC0602090u};
  const float widths[] = {1.0f, 1.0f, 0.5f, 1.0f};
  struct Case {
    float dx, dy;
    bool clip;
  };
  for (const Case& c : {Case{0, 0, false}, Case{3.0f, -2.0f, true}, Case{0, 5.0f, true}}) {
    SCOPED_TRACE(testing::Message() << c.dx << " " << c.dy << " " << c.clip);
    Bitmap bitmap(640, 320, PixelFormat32bppPARGB);
    QImage expected(640, 320, QImage::Format_ARGB32_Premultiplied);
    auto under = [](int x, int y) { return qPremultiply(qRgba(255 - x % 200, 200 + y % 50, 180, 255)); };
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 640; ++x) {
        bitmap.Q().setPixel(x, y, under(x, y));
        expected.setPixel(x, y, under(x, y));
      }
    const RectF clip(40.6f, 20.3f, 500.5f, 270.8f);
    std::vector<std::unique_ptr<Pen>> pens;
    std::vector<const Pen*> penList;
    std::vector<const PointF*> pointList;
    std::vector<INT> counts;
    for (size_t i = 0; i < lines.size(); ++i) {
      pens.push_back(std::make_unique<Pen>(Color(colours[i]), widths[i]));
      pens.back()->SetLineJoin(LineJoinRound);
      penList.push_back(pens.back().get());
      pointList.push_back(lines[i].data());
      counts.push_back(INT(lines[i].size()));
    }
    {
      Graphics g(&bitmap);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(c.dx, c.dy);
      if (c.clip) g.SetClip(clip);
      ASSERT_EQ(g.DrawLinesEach(penList.data(), pointList.data(), counts.data(), INT(lines.size())), Ok);
    }
    QPainter painter(&expected);
    painter.translate(c.dx, c.dy);
    if (c.clip) painter.setClipRect(QRectF(clip.X, clip.Y, clip.Width, clip.Height));
    painter.setRenderHint(QPainter::Antialiasing);
    for (size_t i = 0; i < lines.size(); ++i) {
      QPen pen{QColor::fromRgba(colours[i]), widths[i]};
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::RoundJoin);
      QPainterPath path;
      path.moveTo(lines[i][0].X, lines[i][0].Y);
      for (size_t k = 1; k < lines[i].size(); ++k) path.lineTo(lines[i][k].X, lines[i][k].Y);
      painter.strokePath(path, pen);
    }
    painter.end();
    const PixelCount n = CountPixels(bitmap.Q(), expected, 640, 320, [&](int x, int y) { return under(x, y); });
    EXPECT_GT(n.touched, 20000);
    EXPECT_EQ(n.differing, 0);
  }
  pool->setMaxThreadCount(threads);
}

// Large fills on an image are painted in bands on several threads: every pixel as the painter's
// own fill gives it, for a curved outline and for a texture, with and without a clip.
TEST(GdiPlusPixels, LargeFillsMatchThePaintersOwnExactly) {
  QImage texels(7, 5, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) texels.setPixel(x, y, qPremultiply(qRgba(40 * x, 50 * y, 90, (x * 37 + y * 61) % 256)));
  Bitmap tile(7, 5, PixelFormat32bppPARGB);
  tile.Q() = texels.copy();
  for (const bool clip : {false, true}) {
    SCOPED_TRACE(clip);
    Bitmap bitmap(700, 520, PixelFormat32bppPARGB);
    QImage expected(700, 520, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 520; ++y)
      for (int x = 0; x < 700; ++x) {
        const QRgb under = qPremultiply(qRgba(x % 256, 255 - y % 200, 140, 255));
        bitmap.Q().setPixel(x, y, under);
        expected.setPixel(x, y, under);
      }
    const RectF area(30.4f, 12.7f, 610.3f, 480.6f), cut(50.5f, 40.25f, 560.0f, 400.5f);
    {
      Graphics g(&bitmap);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(2.0f, 3.0f);
      if (clip) g.SetClip(cut);
      SolidBrush ink(Color(0x9A3060C0u));
      ASSERT_EQ(g.FillEllipse(&ink, area), Ok);
      TextureBrush texture(&tile);
      ASSERT_EQ(g.FillRectangle(&texture, RectF(20.0f, 8.6f, 640.0f, 490.2f)), Ok);
    }
    QPainter painter(&expected);
    painter.translate(2, 3);
    if (clip) painter.setClipRect(QRectF(cut.X, cut.Y, cut.Width, cut.Height));
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath ellipse;
    ellipse.addEllipse(QRectF(area.X, area.Y, area.Width, area.Height));
    painter.fillPath(ellipse, QColor::fromRgba(0x9A3060C0u));
    QPainterPath rect;
    rect.addRect(QRectF(20.0, 8.6f, 640.0, 490.2f));
    painter.fillPath(rect, QBrush(texels));
    painter.end();
    int differing = 0;
    for (int y = 0; y < 520; ++y)
      for (int x = 0; x < 700; ++x) differing += bitmap.Q().pixel(x, y) != expected.pixel(x, y);
    EXPECT_EQ(differing, 0);
  }
}

// A tall narrow image (drawn band by band of rows), at a fractional place, smoothed, over a moved
// origin, with and without a clip that has a hole, leaves every pixel as the painter's own
// drawing of it does.
TEST(GdiPlusPixels, TallNarrowImagesMatchThePaintersOwnExactly) {
  QImage texels(9, 700, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 700; ++y)
    for (int x = 0; x < 9; ++x) texels.setPixel(x, y, qPremultiply(qRgba(0, 0, 0, (x * 29 + y * 7) % 256)));
  Bitmap image(9, 700, PixelFormat32bppPARGB);
  image.Q() = texels.copy();
  for (const bool clip : {false, true}) {
    SCOPED_TRACE(clip);
    Bitmap bitmap(60, 760, PixelFormat32bppPARGB);
    QImage expected(60, 760, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 760; ++y)
      for (int x = 0; x < 60; ++x) {
        const QRgb under = qPremultiply(qRgba(x * 4, 255 - y % 200, 140, 255));
        bitmap.Q().setPixel(x, y, under);
        expected.setPixel(x, y, under);
      }
    QPainterPath outside;
    outside.addRect(QRectF(-100, -100, 300, 1000));
    QPainterPath hole;
    hole.addEllipse(QRectF(12.5, 200.25, 20, 300));
    outside = outside.subtracted(hole);
    {
      Graphics g(&bitmap);
      g.TranslateTransform(2.0f, 3.5f);
      if (clip) {
        GraphicsPath shape;
        shape.AddEllipse(12.5f, 200.25f, 20.0f, 300.0f);
        g.SetClip(&shape, CombineModeExclude);
      }
      ASSERT_EQ(g.DrawImage(&image, 10.41f, 17.3f, 9.0f, 700.0f), Ok);
    }
    QPainter painter(&expected);
    painter.translate(2, 3.5);
    if (clip) painter.setClipPath(painter.transform().map(outside).translated(-2, -3.5), Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(10.41, 17.3, 9, 700), texels, QRectF(0, 0, 9, 700));
    painter.end();
    int differing = 0;
    for (int y = 0; y < 760; ++y)
      for (int x = 0; x < 60; ++x) differing += bitmap.Q().pixel(x, y) != expected.pixel(x, y);
    EXPECT_EQ(differing, 0);
  }
}

// Many rectangles each of its own colour, filled at once (rows shared out among threads), leave
// every pixel as filling them one after another does: overlaps keep their order.
TEST(GdiPlusPixels, RectanglesEachOfItsColourMatchOneAfterAnother) {
  std::vector<RectF> rects;
  std::vector<ARGB> colours;
  for (int i = 0; i < 300; ++i) {
    // Thin rows, and every tenth one tall and crossing many others.
    const float y = float(i) * 1.7f + 0.3f * float(i % 3);
    rects.emplace_back(10.4f + float(i % 7), y, i % 10 == 0 ? 40.5f : 500.25f, i % 10 == 0 ? 120.6f : 1.0f);
    colours.push_back((ARGB(60 + (i * 13) % 190) << 24) | ARGB(0x00305070u + ARGB(i) * 0x00010203u));
  }
  for (const bool clip : {false, true}) {
    SCOPED_TRACE(clip);
    Bitmap each(560, 540, PixelFormat32bppPARGB), oneByOne(560, 540, PixelFormat32bppPARGB);
    each.Q().fill(0xFFE0E0E0u);
    oneByOne.Q().fill(0xFFE0E0E0u);
    for (Bitmap* b : {&each, &oneByOne}) {
      Graphics g(b);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(3.0f, 2.0f);
      if (clip) g.SetClip(RectF(20.5f, 30.25f, 400.0f, 380.5f));
      if (b == &each) {
        ASSERT_EQ(g.FillRectanglesEach(rects.data(), colours.data(), INT(rects.size())), Ok);
      } else {
        for (size_t i = 0; i < rects.size(); ++i) {
          SolidBrush brush{Color(colours[i])};
          ASSERT_EQ(g.FillRectangle(&brush, rects[i]), Ok);
        }
      }
    }
    const PixelCount n = CountPixels(each.Q(), oneByOne.Q(), 560, 540, [](int, int) { return 0xFFE0E0E0u; });
    EXPECT_GT(n.touched, 50000);
    EXPECT_EQ(n.differing, 0);
  }
}

// Many thin lines stroked at once leave every pixel as DrawLines one after another: dashed and
// solid, translucent pens, with a clip and a scale, on an opaque image and on one with a few
// translucent pixels in the lines' way.
TEST(GdiPlusPixels, LinesEachOfItsPenMatchOneAfterAnother) {
  struct Case {
    bool clip;
    float scale;
    bool translucentUnder;
  };
  const Case cases[] = {{false, 1.0f, false}, {true, 1.0f, false}, {true, 0.5f, false}, {false, 1.0f, true}};
  const DashStyle dashes[] = {DashStyleSolid, DashStyleDash, DashStyleDot, DashStyleDashDot};
  std::vector<std::vector<PointF>> lines;
  for (int c = 0; c < 24; ++c) {
    // Falling curves that crowd together towards the right, with small wiggles, as the
    // scattering factors do; two steep ones cross them all.
    std::vector<PointF> line;
    for (int i = 0; i < 400; ++i) {
      const float x = 5.3f + float(i) * (c % 12 == 5 ? 0.2f : 1.01f);
      const float fall = c % 12 == 5 ? float(i) * 0.7f : (10.0f + 11.0f * float(c)) * std::exp(-float(i) * 0.006f);
      line.emplace_back(x, 290.0f - fall - 0.4f * std::sin(float(i) * 0.3f + float(c)));
    }
    lines.push_back(std::move(line));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.clip << " " << c.scale << " " << c.translucentUnder);
    Bitmap each(420, 300, PixelFormat32bppARGB), oneByOne(420, 300, PixelFormat32bppARGB);
    for (Bitmap* b : {&each, &oneByOne})
      for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 420; ++x)
          b->Q().setPixel(x, y, c.translucentUnder && x == 200 && y % 40 == 0 ? qRgba(90, 160, 30, 128)
                                                                                : qRgb(250 - x % 60, 240, 200 + y % 50));
    std::vector<std::unique_ptr<Pen>> pens;
    std::vector<const Pen*> penList;
    std::vector<const PointF*> pointList;
    std::vector<INT> counts;
    for (size_t i = 0; i < lines.size(); ++i) {
      const ARGB colour = (i % 5 == 2 ? 0x90000000u : 0xFF000000u) | ARGB(0x00A01030u + ARGB(i) * 0x00050A07u);
      pens.push_back(std::make_unique<Pen>(Color(colour), 1.0f / c.scale));
      pens.back()->SetDashStyle(dashes[i % 4]);
      pens.back()->SetLineJoin(LineJoinRound);
      penList.push_back(pens.back().get());
      pointList.push_back(lines[i].data());
      counts.push_back(INT(lines[i].size()));
    }
    for (Bitmap* b : {&each, &oneByOne}) {
      Graphics g(b);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.ScaleTransform(c.scale, c.scale);
      g.TranslateTransform(2.0f, -3.0f);
      if (c.clip) g.SetClip(RectF(20.5f / c.scale, 30.25f / c.scale, 330.0f / c.scale, 240.5f / c.scale));
      if (b == &each) {
        ASSERT_EQ(g.DrawLinesEach(penList.data(), pointList.data(), counts.data(), INT(lines.size())), Ok);
      } else {
        for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(g.DrawLines(penList[i], pointList[i], counts[i]), Ok);
      }
    }
    const PixelCount n = CountPixels(each.Q(), oneByOne.Q(), 420, 300, [&](int x, int y) {
      return qRgb(250 - x % 60, 240, 200 + y % 50);
    });
    EXPECT_GT(n.touched, 4000);
    EXPECT_EQ(n.differing, 0);
  }
}

// Label arrows, framed boxes and text tiles drawn in strips of columns on several threads leave
// every pixel as the same calls on the Graphics one after another do, where they overlap and
// where they cross from one strip into the next.
TEST(GdiPlusPixels, StripsDrawAsTheGraphicsDoesExactly) {
  QThreadPool* pool = QThreadPool::globalInstance();
  const int threads = pool->maxThreadCount();
  pool->setMaxThreadCount(std::max(threads, 6));
  Bitmap tile(11, 23, PixelFormat32bppPARGB);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 11; ++x) tile.Q().setPixel(x, y, qPremultiply(qRgba(30 * (x % 8), 11 * y, 200, (x * 41 + y * 23) % 256)));
  // Each step draws onto the Graphics or onto a strip alike.
  auto steps = [&](auto& target) {
    for (int i = 0; i < 90; ++i) {
      const float x = 9.3f + float(i) * 6.77f, tip = 20.6f + float((i * 53) % 260) + 0.37f * float(i % 3);
      const float up = i % 4 == 0 ? -1.0f : 1.0f;
      GraphicsPath arrow;
      arrow.AddLine(x - 3, tip - up * 5, x, tip);
      arrow.AddLine(x, tip, x + 3, tip - up * 5);
      arrow.StartFigure();
      arrow.AddLine(x, tip, x, tip - up * 12);
      if (i % 5 == 0) {
        // A rounded frame on paper, in the same path as its arrow.
        GraphicsPath box;
        box.AddArc(x - 8, tip - up * 12 - 40, 8, 8, 180, 90);
        box.AddArc(x + 4, tip - up * 12 - 40, 8, 8, 270, 90);
        box.AddArc(x + 4, tip - up * 12 - 8, 8, 8, 0, 90);
        box.AddArc(x - 8, tip - up * 12 - 8, 8, 8, 90, 90);
        box.CloseFigure();
        SolidBrush paper(Color(0xF0FFFFF4u));
        ASSERT_EQ(target.FillPath(&paper, &box), Ok);
        arrow.StartFigure();
        arrow.AddPath(&box, FALSE);
        if (i % 10 == 0) {
          // Alone and closed: an inset pen draws inside it.
          Pen inset(Color(0xFF308030u), 2.0f);
          inset.SetAlignment(PenAlignmentInset);
          ASSERT_EQ(target.DrawPath(&inset, &box), Ok);
        }
      }
      Pen outline(Color(0xFFFDFDFDu), 3.0f), line(Color(0xFF000000u | (0x10305u * ARGB(i))), 1.0f);
      outline.SetAlignment(PenAlignmentInset);
      line.SetAlignment(PenAlignmentInset);
      ASSERT_EQ(target.DrawPath(&outline, &arrow), Ok);
      ASSERT_EQ(target.DrawPath(&line, &arrow), Ok);
      const float left = std::floor(x) - 5, top = std::floor(tip - up * 12) - (up > 0 ? 23 : 0);
      ASSERT_EQ(target.DrawImage(&tile, RectF(left, top, 11, 23), 0, 0, 11, 23, UnitPixel), Ok);
    }
    // A long wide line through every strip, a scaled copy of the tile and a fraction-placed one.
    GraphicsPath across;
    across.AddLine(3.5f, 5.25f, 600.0f, 330.7f);
    across.AddLine(600.0f, 330.7f, 620.0f, 12.0f);
    Pen wide(Color(0xC0A02040u), 2.5f);
    ASSERT_EQ(target.DrawPath(&wide, &across), Ok);
    ASSERT_EQ(target.DrawImage(&tile, RectF(100, 150, 33, 69), 0, 0, 11, 23, UnitPixel), Ok);
    ASSERT_EQ(target.DrawImage(&tile, RectF(300.5f, 200.25f, 11, 23), 0, 0, 11, 23, UnitPixel), Ok);
  };
  // Without a clip, and clipped to a rectangle (as a plot's labels are) cutting through shapes.
  for (const bool clip : {false, true}) {
    SCOPED_TRACE(clip);
    Bitmap whole(640, 340, PixelFormat32bppPARGB), banded(640, 340, PixelFormat32bppPARGB);
    for (Bitmap* b : {&whole, &banded})
      for (int y = 0; y < 340; ++y)
        for (int x = 0; x < 640; ++x) b->Q().setPixel(x, y, qPremultiply(qRgba(255 - x % 150, 180 + y % 70, 220, 255)));
    const RectF cut(40.5f, 30.25f, 500.0f, 250.5f);
    {
      Graphics g(&whole);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(2.0f, 3.0f);
      if (clip) g.SetClip(cut);
      steps(g);
    }
    {
      Graphics g(&banded);
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      g.TranslateTransform(2.0f, 3.0f);
      if (clip) g.SetClip(cut);
      BandedDrawing strips(&g);
      ASSERT_TRUE(strips.Available());
      std::atomic<int> count{0};
      strips.Run(0, 640, [&](BandedDrawing::Strip& strip) {
        ++count;
        steps(strip);
      });
      EXPECT_GE(count, 4);
      // Not on a clip of another shape or at a fraction of a pixel.
      GraphicsPath round;
      round.AddEllipse(10.0f, 10.0f, 300.0f, 200.0f);
      g.SetClip(&round);
      EXPECT_FALSE(strips.Available());
      g.ResetClip();
      g.TranslateTransform(0.5f, 0);
      EXPECT_FALSE(strips.Available());
    }
    const PixelCount n = CountPixels(banded.Q(), whole.Q(), 640, 340, [&](int x, int y) {
      return qPremultiply(qRgba(255 - x % 150, 180 + y % 70, 220, 255));
    });
    EXPECT_GT(n.touched, 20000);
    EXPECT_EQ(n.differing, 0);
  }
  pool->setMaxThreadCount(threads);
}

TEST(GdiPlusGeometry, MatrixOrderAndArcDirection) {
  Matrix m;
  m.Translate(10, 0);
  m.Scale(2, 2);  // prepended: scale first, then move
  PointF p(1, 1);
  m.TransformPoints(&p);
  EXPECT_FLOAT_EQ(p.X, 12);
  EXPECT_FLOAT_EQ(p.Y, 2);
  m.Rotate(90, MatrixOrderAppend);  // clockwise on screen: +x goes to +y
  PointF q(1, 0);
  Matrix r;
  r.Rotate(90);
  r.TransformPoints(&q);
  EXPECT_NEAR(q.X, 0, 1e-6);
  EXPECT_NEAR(q.Y, 1, 1e-6);

  // An arc starting at 0 degrees and sweeping 90 runs from the right to the bottom.
  GraphicsPath path;
  path.AddArc(0, 0, 20, 20, 0, 90);
  PointF last;
  path.GetLastPoint(&last);
  EXPECT_NEAR(last.X, 10, 1e-4);
  EXPECT_NEAR(last.Y, 20, 1e-4);
  // Lines added to an open figure join it; a new figure starts apart.
  GraphicsPath joined;
  joined.AddLine(0, 0, 10, 0);
  joined.AddLine(10, 10, 0, 10);
  joined.CloseFigure();
  EXPECT_TRUE(joined.IsVisible(5, 5));
}

TEST(GdiPlusRegion, CombinesAndClipsDrawing) {
  Region r(RectF(0, 0, 10, 10));
  r.Exclude(RectF(0, 0, 5, 10));
  EXPECT_FALSE(r.IsVisible(2, 2));
  EXPECT_TRUE(r.IsVisible(7, 2));
  Region infinite;
  EXPECT_TRUE(infinite.IsInfinite(nullptr));
  infinite.Intersect(&r);
  EXPECT_FALSE(infinite.IsInfinite(nullptr));

  Bitmap bitmap(10, 10);
  Graphics g(&bitmap);
  g.SetClip(&r);
  SolidBrush black(Color(255, 0, 0, 0));
  g.FillRectangle(&black, 0.0f, 0.0f, 10.0f, 10.0f);
  EXPECT_EQ(At(bitmap, 2, 2), 0u);
  EXPECT_EQ(At(bitmap, 7, 2), 0xFF000000u);
  GraphicsState s = g.Save();
  g.ResetClip();
  g.Restore(s);
  Region back;
  g.GetClip(&back);
  EXPECT_FALSE(back.IsVisible(2, 2));
}

TEST(GdiPlusFonts, WindowsNamesMapToInstalledFamilies) {
  struct Case {
    const wchar_t* name;
    bool available;
  } cases[] = {{L"Arial", true},  {L"Times New Roman", true}, {L"MS Shell Dlg 2", true}, {L"Verdana", true},
               {L"Arial Bold", true}, {L"Courier New", true},  {L"No Such Family", false}};
  for (const Case& c : cases) {
    FontFamily f(c.name);
    EXPECT_EQ(bool(f.IsAvailable()), c.available) << QString::fromWCharArray(c.name).toStdString();
    if (c.available) {
      EXPECT_TRUE(qlw::FontFamilyInstalled(f.Installed()));
      EXPECT_GT(f.GetCellAscent(FontStyleRegular), 1000);
    }
  }
  EXPECT_EQ(qlw::MapFontFamily(QStringLiteral("Arial")), QStringLiteral("Liberation Sans"));
  Font missing(L"No Such Family", 10);
  EXPECT_EQ(missing.GetLastStatus(), FontFamilyNotFound);
}

// Where foundries share a family, Qt lists "C059 [urw]" and "C059 [UKWN]"; the enumeration, the
// name mapping and the realised face all go by the family's own name.
TEST(GdiFonts, FamiliesSharedByFoundriesGoByTheirFamilyName) {
  QStringList tagged;
  for (const QString& f : QFontDatabase::families())
    if (f.endsWith(QLatin1Char(']'))) tagged << f;
  if (tagged.isEmpty()) GTEST_SKIP() << "no family here is shared by foundries";

  std::vector<std::wstring> names;
  EnumFontFamiliesW(nullptr, nullptr, [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM data) {
    reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(lf->lfFaceName);
    return 1;
  }, reinterpret_cast<LPARAM>(&names));
  QSet<QString> seen;
  for (const std::wstring& n : names) {
    const QString name = QString::fromStdWString(n);
    EXPECT_FALSE(name.endsWith(QLatin1Char(']'))) << name.toStdString();
    EXPECT_FALSE(seen.contains(name.toLower())) << "twice: " << name.toStdString();
    seen.insert(name.toLower());
  }
  HDC dc = CreateCompatibleDC(nullptr);
  for (const QString& entry : tagged) {
    const QString family = qlw::FamilyWithoutFoundry(entry);
    EXPECT_NE(family, entry);
    EXPECT_TRUE(seen.contains(family.toLower())) << family.toStdString();
    EXPECT_EQ(qlw::MapFontFamily(family), family) << "drawn in another family";
    // A name saved with its foundry is drawn, and reported, as its family.
    LOGFONTW lf{};
    const std::wstring w = entry.toStdWString();
    std::wcsncpy(lf.lfFaceName, w.c_str(), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    WCHAR face[LF_FACESIZE] = {};
    EXPECT_EQ(GetTextFaceW(dc, LF_FACESIZE, face), int(family.size()) + 1);
    EXPECT_EQ(QString::fromWCharArray(face), family);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  DeleteDC(dc);
}

// The faces of a family by weight and slant: an oblique face is the family's italic.
TEST(GdiFonts, FacesOfAFamilyCountObliqueAsItalic) {
  struct Faces {
    bool bold = false, italic = false;
  } faces;
  const int answer = EnumFontFamiliesW(nullptr, L"DejaVu Sans", [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM data) {
    auto* f = reinterpret_cast<Faces*>(data);
    EXPECT_EQ(type, DWORD(TRUETYPE_FONTTYPE));
    EXPECT_STREQ(lf->lfFaceName, L"DejaVu Sans");
    f->bold = f->bold || lf->lfWeight == FW_BOLD;
    f->italic = f->italic || lf->lfItalic;
    return 1;
  }, reinterpret_cast<LPARAM>(&faces));
  EXPECT_EQ(answer, 1);
  EXPECT_TRUE(faces.bold);
  EXPECT_TRUE(faces.italic);
  HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTW lf{};
  std::wcscpy(lf.lfFaceName, L"Arial");
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  WCHAR face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  EXPECT_STREQ(face, L"Liberation Sans");
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
}

TEST(GdiPlusText, MeasuresAndAlignsAboutThePoint) {
  Bitmap bitmap(200, 60);
  Graphics g(&bitmap);
  Font font(L"Arial", 12, FontStyleRegular, UnitPoint);
  StringFormat format(StringFormat::GenericTypographic());
  RectF left, right;
  g.MeasureString(L"Miller", -1, &font, PointF(100, 10), &format, &left);
  format.SetAlignment(StringAlignmentFar);
  g.MeasureString(L"Miller", -1, &font, PointF(100, 10), &format, &right);
  EXPECT_NEAR(left.X, 100, 0.01);
  EXPECT_NEAR(right.GetRight(), 100, 0.01);
  EXPECT_NEAR(left.Width, right.Width, 0.01);
  EXPECT_GT(left.Width, 20);
  // 12 points at 96 DPI is a 16-pixel em; a line is a little taller.
  EXPECT_GT(left.Height, 16);
  EXPECT_LT(left.Height, 22);
  SolidBrush black(Color(255, 0, 0, 0));
  g.DrawString(L"Miller", -1, &font, PointF(10, 10), StringFormat::GenericTypographic(), &black);
  int inked = 0;
  for (int x = 0; x < 200; ++x)
    for (int y = 0; y < 60; ++y) inked += (At(bitmap, x, y) >> 24) > 128;
  EXPECT_GT(inked, 30);
}

TEST(GdiPlusMetafile, SvgKeepsTheClipping) {
  // The same scene into a bitmap and into a metafile; the SVG rendered back must match the
  // bitmap, the clipped-away half included.
  auto scene = [](Graphics& g) {
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    SolidBrush white(Color(255, 255, 255, 255));
    g.FillRectangle(&white, 0.0f, 0.0f, 80.0f, 60.0f);
    g.SetClip(RectF(0, 0, 40, 60));
    SolidBrush blue(Color(255, 0, 0, 200));
    g.FillEllipse(&blue, 10.0f, 10.0f, 60.0f, 40.0f);
    Pen pen(Color(255, 200, 0, 0), 4.0f);
    g.DrawLine(&pen, 0.0f, 55.0f, 80.0f, 5.0f);
  };
  Bitmap bitmap(80, 60);
  {
    Graphics g(&bitmap);
    scene(g);
  }
  Metafile meta(static_cast<HDC>(nullptr));
  {
    Graphics g(&meta);
    scene(g);
  }
  EXPECT_EQ(meta.GetWidth(), 80u);
  QSvgRenderer svg(meta.SvgBytes());
  ASSERT_TRUE(svg.isValid());
  QImage back(80, 60, QImage::Format_ARGB32);
  back.fill(0u);
  {
    QPainter p(&back);
    svg.render(&p);
  }
  long diff = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) {
      QRgb a = bitmap.Q().pixel(x, y), b = back.pixel(x, y);
      diff += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    }
  EXPECT_LT(diff / (80 * 60), 3) << "mean channel difference";
  // Right of the clip the ellipse and the line are absent in both.
  EXPECT_EQ(back.pixel(60, 30), 0xFFFFFFFFu);
  EXPECT_EQ(bitmap.Q().pixel(60, 30), 0xFFFFFFFFu);
  EXPECT_EQ(qBlue(back.pixel(20, 30)), 200);
}

TEST(GdiDC, PaintDCDrawsThroughThePainter) {
  QImage image(40, 30, QImage::Format_ARGB32);
  image.fill(0xFFFFFFFFu);
  QPainter painter(&image);
  HDC dc = qlw::CreatePainterDC(&painter, RECT{0, 0, 40, 30});
  CDC cdc;
  cdc.Attach(dc);
  cdc.FillSolidRect(2, 2, 5, 5, RGB(255, 0, 0));
  CPen pen(PS_SOLID, 1, RGB(0, 0, 255));
  CBrush brush(RGB(0, 255, 0));
  int saved = cdc.SaveDC();
  cdc.SelectObject(&pen);
  cdc.SelectObject(&brush);
  cdc.Rectangle(10, 10, 20, 20);
  cdc.RestoreDC(saved);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
  cdc.ExcludeClipRect(30, 0, 40, 30);
  cdc.FillSolidRect(25, 25, 15, 5, RGB(0, 0, 0));
  TEXTMETRICW tm{};
  EXPECT_TRUE(cdc.GetTextMetrics(&tm));
  EXPECT_GT(tm.tmHeight, 8);
  cdc.Detach();
  qlw::DeletePainterDC(dc);
  painter.end();
  EXPECT_EQ(image.pixel(2, 2), 0xFFFF0000u);
  EXPECT_EQ(image.pixel(6, 6), 0xFFFF0000u);
  EXPECT_EQ(image.pixel(7, 7), 0xFFFFFFFFu);
  EXPECT_EQ(image.pixel(10, 10), 0xFF0000FFu);  // the outline covers [10, 20)
  EXPECT_EQ(image.pixel(19, 15), 0xFF0000FFu);
  EXPECT_EQ(image.pixel(20, 15), 0xFFFFFFFFu);
  EXPECT_EQ(image.pixel(15, 15), 0xFF00FF00u);
  EXPECT_EQ(image.pixel(29, 27), 0xFF000000u);
  EXPECT_EQ(image.pixel(30, 27), 0xFFFFFFFFu);  // excluded from the clip
}

TEST(GdiDC, MemoryBitmapBlitsAndDIBitsRoundTrip) {
  HDC mem = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(section && bits);
  HGDIOBJ old = SelectObject(mem, section);
  RECT r{1, 0, 3, 1};
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  FillRect(mem, &r, brush);
  DeleteObject(brush);
  EXPECT_EQ(static_cast<uint32_t*>(bits)[1] & 0xFFFFFF, 0x0A141Eu);
  // A bottom-up read starts with the last row.
  BITMAPINFO query{};
  query.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_EQ(GetDIBits(mem, section, 0, 2, nullptr, &query, DIB_RGB_COLORS), 2);
  EXPECT_EQ(query.bmiHeader.biHeight, 2);
  uint32_t rows[8];
  ASSERT_EQ(GetDIBits(mem, section, 0, 2, rows, &query, DIB_RGB_COLORS), 2);
  EXPECT_EQ(rows[4 + 1] & 0xFFFFFF, 0x0A141Eu);
  EXPECT_EQ(rows[1] & 0xFFFFFF, 0u);
  EXPECT_FALSE(DeleteObject(section));  // still selected
  SelectObject(mem, old);
  EXPECT_TRUE(DeleteObject(section));
  DeleteDC(mem);
}

TEST(GdiDC, CompatibleBuffersHaveTheDevicePixelRatio) {
  // A window at twice the density: the buffer has its pixels, so a half-unit detail survives the copy.
  QImage window(40, 40, QImage::Format_ARGB32);
  window.setDevicePixelRatio(2);
  window.fill(0xFFFFFFFFu);
  QPainter painter(&window);
  HDC dc = qlw::CreatePainterDC(&painter, RECT{0, 0, 20, 20});
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP buffer = CreateCompatibleBitmap(dc, 20, 20);
  ASSERT_EQ(qlw::ImageOf(buffer)->size(), QSize(40, 40));
  HGDIOBJ old = SelectObject(mem, buffer);
  RECT all{0, 0, 20, 20};
  FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  {
    Graphics g(mem);
    SolidBrush black(Color(255, 0, 0, 0));
    g.FillRectangle(&black, 5.0f, 5.0f, 0.5f, 10.0f);  // one device pixel wide
  }
  RECT clip{};
  EXPECT_EQ(GetClipBox(mem, &clip), SIMPLEREGION);
  EXPECT_EQ(clip.right, 20);
  BitBlt(dc, 0, 0, 20, 20, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(buffer);
  DeleteDC(mem);
  qlw::DeletePainterDC(dc);
  painter.end();
  EXPECT_EQ(window.pixel(10, 15), 0xFF000000u);
  EXPECT_EQ(window.pixel(11, 15), 0xFFFFFFFFu);
  EXPECT_EQ(window.pixel(9, 15), 0xFFFFFFFFu);
}

TEST(GdiPlusImageAttributes, ColourMatrixAndKeyApplyWhenDrawn) {
  Bitmap source(2, 1);
  source.SetPixel(0, 0, Color(255, 200, 100, 50));
  source.SetPixel(1, 0, Color(255, 0, 255, 0));
  ImageAttributes attributes;
  // Swap red and blue, halve alpha; pure green is keyed out.
  ColorMatrix m{{{0, 0, 1, 0, 0}, {0, 1, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 0, 0, 0.5f, 0}, {0, 0, 0, 0, 1}}};
  attributes.SetColorMatrix(&m);
  attributes.SetColorKey(Color(0, 0, 250, 0), Color(0, 10, 255, 10));
  Bitmap target(2, 1);
  {
    Graphics g(&target);
    g.SetCompositingMode(CompositingModeSourceCopy);
    g.DrawImage(&source, RectF(0, 0, 2, 1), 0, 0, 2, 1, UnitPixel, &attributes);
  }
  Color c;
  target.GetPixel(0, 0, &c);
  EXPECT_EQ(c.GetA(), 128);
  EXPECT_NEAR(c.GetR(), 50, 1);
  EXPECT_NEAR(c.GetB(), 200, 1);
  target.GetPixel(1, 0, &c);
  EXPECT_EQ(c.GetA(), 0);
  EXPECT_EQ(source.GetLastStatus(), Ok);
}

// The bitmaps drawn at build time are the ones the SVGs draw today: a stale or damaged bake would
// show old or broken pictures.
TEST(GdiResources, EveryBitmapIsItsSvgDrawnAtItsOwnSize) {
  const QResource baked(QStringLiteral(":/baked/bitmaps.baked"));
  ASSERT_TRUE(baked.isValid());
  EXPECT_EQ(baked.compressionAlgorithm(), QResource::NoCompression);
  const QStringList svgs = QDir(QStringLiteral(":/images")).entryList({QStringLiteral("bmp*.svg")}, QDir::Files);
  ASSERT_GT(svgs.size(), 40);
  for (const QString& name : svgs) {
    SCOPED_TRACE(name.toStdString());
    const UINT id = name.mid(3, name.indexOf(QLatin1Char('.')) - 3).toUInt();
    QSvgRenderer svg(QStringLiteral(":/images/") + name);
    ASSERT_TRUE(svg.isValid());
    QImage drawn(svg.defaultSize(), QImage::Format_ARGB32);
    drawn.fill(0u);
    {
      QPainter p(&drawn);
      svg.render(&p);
    }
    auto bitmap = static_cast<HBITMAP>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(qlw::ImageOf(bitmap)->convertToFormat(QImage::Format_ARGB32) == drawn);
    DeleteObject(bitmap);
  }
}

TEST(GdiResources, ProgramImagesCursorsAndIcon) {
  HRSRC spot = FindResourceW(qlw::ProgramModule(), MAKEINTRESOURCEW(2102), L"HOTSPOT");
  ASSERT_TRUE(spot);
  ASSERT_EQ(SizeofResource(qlw::ProgramModule(), spot), 4u);
  const auto* b = static_cast<const BYTE*>(LockResource(LoadResource(qlw::ProgramModule(), spot)));
  EXPECT_EQ(b[0] | b[1] << 8, 7);
  EXPECT_EQ(b[2] | b[3] << 8, 7);
  EXPECT_EQ(FindResourceW(qlw::ProgramModule(), MAKEINTRESOURCEW(2105), L"HOTSPOT"), nullptr);
  auto bitmap = static_cast<HBITMAP>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(2102), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(qlw::ImageOf(bitmap)->size(), QSize(21, 21));
  DeleteObject(bitmap);
  // The icon drawn at the size asked for, with the hot spot in its middle.
  auto icon = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON, 16, 16, 0));
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  EXPECT_EQ(qlw::ImageOf(info.hbmColor)->size(), QSize(16, 16));
  EXPECT_EQ(qAlpha(qlw::ImageOf(info.hbmColor)->pixel(0, 0)), 0);  // rounded corner
  EXPECT_EQ(qAlpha(qlw::ImageOf(info.hbmColor)->pixel(8, 4)), 255);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  // A cursor from a bitmap and its hot spot.
  auto cursor = static_cast<HCURSOR>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(2107), IMAGE_CURSOR, 0, 0, 0));
  QCursor q;
  ASSERT_TRUE(qlw::ImageCursorOf(cursor, q));
  EXPECT_EQ(q.hotSpot(), QPoint(4, 8));
  DestroyCursor(cursor);
  EXPECT_FALSE(qlw::ImageCursorOf(cursor, q));
}

// A hot push button has a lighter face than a plain one (pushed or inactive ones do not light
// up), and right-aligned DrawState text ends at the right edge of its box.
TEST(GdiThemes, HotPushFaceIsLighterAndRightTextEndsAtItsBox) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(mem, 120, 30);
  HGDIOBJ old = SelectObject(mem, bitmap);
  const auto face = [&](UINT state) {
    RECT r{0, 0, 40, 30};
    DrawFrameControl(mem, &r, DFC_BUTTON, DFCS_BUTTONPUSH | state);
    return GetPixel(mem, 20, 15) & 0xFFFFFF;
  };
  const COLORREF plain = face(0);
  EXPECT_EQ(plain, GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
  EXPECT_GT(GetRValue(face(DFCS_HOT)), GetRValue(plain));
  EXPECT_EQ(face(DFCS_HOT | DFCS_PUSHED), plain);
  EXPECT_EQ(face(DFCS_HOT | DFCS_INACTIVE), plain);

  // The ink's right end: near the box's right edge with DSS_RIGHT, near its left without.
  const auto inkEnds = [&](UINT flags) {
    RECT all{0, 0, 120, 30};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(mem, &all, white);
    DeleteObject(white);
    SetTextColor(mem, RGB(0, 0, 0));
    DrawStateW(mem, nullptr, nullptr, reinterpret_cast<LPARAM>(L"Go"), 2, 10, 5, 100, 20, DST_TEXT | flags);
    int right = -1;
    for (int x = 0; x < 120; ++x)
      for (int y = 0; y < 30; ++y)
        if ((GetPixel(mem, x, y) & 0xFFFFFF) != 0xFFFFFF) right = x;
    return right;
  };
  EXPECT_LT(inkEnds(DSS_NORMAL), 60);
  const int right = inkEnds(DSS_RIGHT);
  EXPECT_GE(right, 100);
  EXPECT_LT(right, 110);
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
}

// A focus rectangle shows on any ground, and drawing it again takes it away.
TEST(GdiDC, FocusRectangleShowsAndASecondDrawingTakesItAway) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(mem, 20, 20);
  HGDIOBJ old = SelectObject(mem, bitmap);
  RECT all{0, 0, 20, 20}, focus{2, 2, 18, 18};
  HBRUSH face = CreateSolidBrush(RGB(240, 240, 240));
  FillRect(mem, &all, face);
  DeleteObject(face);
  const auto changed = [&] {
    int n = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) n += (GetPixel(mem, x, y) & 0xFFFFFF) != RGB(240, 240, 240);
    return n;
  };
  DrawFocusRect(mem, &focus);
  EXPECT_GT(changed(), 10);
  DrawFocusRect(mem, &focus);
  EXPECT_EQ(changed(), 0);
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
}
