// Drop shadows: kernel and bitmap sizes, the cache, the 135-degree offset and the shape kept clear.
#include "LXShadow.h"

#include <gtest/gtest.h>

#include <memory>

#include "GraphicsTestSupport.h"

using namespace Gdiplus;
using LXGraphics::CShadow;
using graphicstest::Draw;
using graphicstest::Inked;

namespace {
unsigned Alpha(Bitmap* b, int x, int y) {
  Color c;
  b->GetPixel(x, y, &c);
  return c.GetA();
}
}  // namespace

TEST(Shadow, RadiusZeroStillBlursWithAFiveTapKernel) {
  LXGraphics::CShadowRect s(RectF(0, 0, 10, 6), 0, 0.5f);
  EXPECT_EQ(s.GetExtent(), 1);
  ASSERT_EQ(s.GetKernel().size(), 5u);
  EXPECT_EQ(s.GetBitmapRect().Width, 16);
  EXPECT_EQ(s.GetBitmapRect().Height, 12);
  const auto& k = s.GetKernel();
  for (size_t i = 0; i < k.size(); ++i) EXPECT_EQ(k[i], k[k.size() - 1 - i]);
  EXPECT_GT(s.GetKernelSum(), 0);
}

TEST(Shadow, SmallMarkersKeepTheirWholeBlurMargin) {
  // A 4 x 4 marker with radius 5 needs 13 pixels on each side; half the marker would cut it.
  LXGraphics::CShadowRect s(RectF(0, 0, 4, 4), 5, 0.5f);
  EXPECT_EQ(s.GetBitmapRect().Width, 4 + 2 * 13);
}

TEST(Shadow, OffsetRunsDownAndRightAlong135Degrees) {
  for (unsigned r : {0u, 3u, 8u}) {
    PointF off = CShadow::Offset(r);
    EXPECT_NEAR(off.X, r * 0.70710678f, 1e-4) << r;
    EXPECT_NEAR(off.Y, r * 0.70710678f, 1e-4) << r;
  }
}

TEST(Shadow, OpacityScalesTheRenderedShapeBeforeBlurring) {
  // Opacity 0.625 and above saturate; 0 leaves nothing to see.
  struct Case {
    float opacity;
    bool visible;
  } cases[] = {{0.0f, false}, {0.625f, true}, {1.0f, true}};
  for (const auto& c : cases) {
    LXGraphics::CShadowRect s(RectF(0, 0, 20, 20), 3, c.opacity);
    auto b = Draw(80, 80, [&](Graphics& g) { s.Draw(&g, RectF(20, 20, 20, 20)); });
    ASSERT_NE(s.GetBitmap(), nullptr);
    EXPECT_EQ(Inked(*b, 42, 30), c.visible) << c.opacity;
  }
  LXGraphics::CShadowRect full(RectF(0, 0, 30, 30), 1, 0.625f), less(RectF(0, 0, 30, 30), 1, 0.3f);
  Draw(10, 10, [&](Graphics& g) { full.Draw(&g, RectF(0, 0, 30, 30)), less.Draw(&g, RectF(0, 0, 30, 30)); });
  // The middle of a large shape keeps the rendered alpha through the blur (up to rounding).
  int mid = full.GetBitmapRect().Width / 2;
  EXPECT_GE(Alpha(full.GetBitmap(), mid, mid), 240u);
  EXPECT_LT(Alpha(less.GetBitmap(), mid, mid), 160u);
}

TEST(Shadow, DrawingAgainRendersOnceAndAChangedShapeRebuilds) {
  LXGraphics::CShadowRect s(RectF(0, 0, 20, 10), 2, 0.5f);
  Draw(60, 60, [&](Graphics& g) { s.Draw(&g, RectF(5, 5, 20, 10)); });
  Bitmap* first = s.GetBitmap();
  ASSERT_NE(first, nullptr);
  Draw(60, 60, [&](Graphics& g) { s.Draw(&g, RectF(15, 25, 20, 10)); });
  EXPECT_EQ(s.GetBitmap(), first);
  EXPECT_FALSE(s.Create(RectF(40, 40, 20, 10), 2, 0.5f));  // same size elsewhere: kept
  EXPECT_EQ(s.GetBitmap(), first);
  EXPECT_TRUE(s.Create(RectF(0, 0, 21, 10), 2, 0.5f));
  EXPECT_EQ(s.GetBitmap(), nullptr);
  EXPECT_TRUE(s.Create(RectF(0, 0, 21, 10), 3, 0.5f));
  EXPECT_TRUE(s.Create(RectF(0, 0, 21, 10), 3, 0.6f));
}

TEST(Shadow, PathsOfOneSizeButAnotherShapeAreNotEqual) {
  GraphicsPath a, b;
  PointF pa[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
  PointF pb[] = {{0, 0}, {20, 20}, {20, 0}, {0, 20}};
  a.AddPolygon(pa, 4);
  b.AddPolygon(pb, 4);
  Pen pen(Color(0xFF000000u), 2);
  LXGraphics::CShadowPath s(&a, &pen, true, 2, 0.5f);
  EXPECT_FALSE(s.Create(&a, &pen, true, 2, 0.5f));
  EXPECT_TRUE(s.Create(&b, &pen, true, 2, 0.5f));
  EXPECT_TRUE(s.Create(&b, &pen, false, 2, 0.5f));
  Pen wide(Color(0xFF000000u), 3);
  EXPECT_TRUE(s.Create(&b, &wide, false, 2, 0.5f));
}

// Each shape, drawn at (30, 30) size 30: the shadow shows below right, never inside the shape.
TEST(Shadow, NeverPaintsInsideTheShapeAndFallsBelowRight) {
  const RectF target(30, 30, 30, 30);
  GraphicsPath tri;
  PointF pts[] = {{30, 0}, {30, 30}, {0, 30}};
  tri.AddPolygon(pts, 3);
  Region region(RectF(0, 0, 30, 30));
  std::unique_ptr<CShadow> shadows[] = {
      std::make_unique<LXGraphics::CShadowRect>(target, 4, 1.0f),
      std::make_unique<LXGraphics::CShadowEllipse>(target, 4, 1.0f),
      std::make_unique<LXGraphics::CShadowPath>(&tri, nullptr, true, 4, 1.0f),
      std::make_unique<LXGraphics::CShadowRgn>(&region, 4, 1.0f),
  };
  const char* names[] = {"rect", "ellipse", "path", "region"};
  for (int i = 0; i < 4; ++i) {
    auto b = Draw(100, 100, [&](Graphics& g) { shadows[i]->Draw(&g, target); });
    // Inside every shape (the triangle's inside is its bottom-right half).
    EXPECT_FALSE(Inked(*b, 50, 50)) << names[i];
    EXPECT_FALSE(Inked(*b, 55, 50)) << names[i];
    // Three pixels below the shape is darker than three above it.
    EXPECT_TRUE(Inked(*b, 45, 63)) << names[i];
    EXPECT_LT(graphicstest::Pixel(*b, 45, 63) & 0xFF, graphicstest::Pixel(*b, 45, 27) & 0xFF) << names[i];
    EXPECT_FALSE(Inked(*b, 45, 18)) << names[i];
  }
}

// Drawn as the caller places it (a guide line, a label's box, a hole-punched bar, at fractional
// places and under a moved origin), a shadow leaves every pixel as the bitmap drawn through the
// clip with the whole shape taken out does.
TEST(Shadow, DrawsAsThroughTheWholeClipWithoutTheShape) {
  GraphicsPath line, box;
  line.AddLine(PointF(40.5f, 170.0f), PointF(40.5f, 12.0f));
  box.AddArc(60.3f, 40.6f, 18.0f, 18.0f, 90, 180);
  box.AddArc(120.3f, 40.6f, 18.0f, 18.0f, 270, 180);
  box.CloseFigure();
  Region bar(RectF(0, 0, 70, 24));
  GraphicsPath hole;
  hole.AddEllipse(10.0f, 2.0f, 20.0f, 20.0f);
  bar.Exclude(&hole);
  Pen pen(Color(0xFF000000u), 1);
  for (const PointF origin : {PointF(0, 0), PointF(3.25f, -1.5f)}) {
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(kind);
      RectF bounds;
      std::unique_ptr<CShadow> shadow;
      if (kind == 0) {
        line.GetBounds(&bounds, nullptr, &pen);
        shadow = std::make_unique<LXGraphics::CShadowPath>(&line, &pen, false, 1, 1.0f);
      } else if (kind == 1) {
        box.GetBounds(&bounds);
        shadow = std::make_unique<LXGraphics::CShadowPath>(&box, &pen, true, 2, 0.8f);
      } else {
        bar.GetBounds(&bounds, nullptr);
        bounds.X = 30.7f, bounds.Y = 120.2f;
        shadow = std::make_unique<LXGraphics::CShadowRgn>(&bar, 2, 1.0f);
      }
      auto prepare = [&](Graphics& g) {
        g.Clear(Color(0xFF808890u));
        g.TranslateTransform(origin.X, origin.Y);
      };
      auto drawn = Draw(200, 200, [&](Graphics& g) {
        prepare(g);
        shadow->Draw(&g, bounds);
      });
      // The shape as the shadow keeps it (moved to the origin), moved back to where it is drawn.
      auto expected = Draw(200, 200, [&](Graphics& g) {
        prepare(g);
        Matrix toOrigin, back;
        if (kind < 2) {
          RectF own;
          (kind ? box : line).GetBounds(&own, nullptr, kind ? nullptr : &pen);
          std::unique_ptr<GraphicsPath> placed((kind ? box : line).Clone());
          toOrigin.Translate(-own.X, -own.Y);
          placed->Transform(&toOrigin);
          back.Translate(bounds.X, bounds.Y);
          placed->Transform(&back);
          g.SetClip(placed.get(), CombineModeExclude);
        } else {
          RectF own;
          bar.GetBounds(&own, nullptr);
          std::unique_ptr<Region> placed(bar.Clone());
          placed->Translate(-own.X, -own.Y);
          placed->Translate(bounds.X, bounds.Y);
          g.SetClip(placed.get(), CombineModeExclude);
        }
        const PointF at = shadow->BitmapOrigin(bounds);
        g.DrawImage(shadow->GetBitmap(), at.X, at.Y, REAL(shadow->GetBitmapRect().Width), REAL(shadow->GetBitmapRect().Height));
      });
      int differing = 0;
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) differing += drawn->Q().pixel(x, y) != expected->Q().pixel(x, y);
      EXPECT_EQ(differing, 0);
    }
  }
}

// A label's box going back and forth between two widths: the shape before comes back with its
// bitmap, and draws as a shadow made for it afresh.
TEST(Shadow, TheShapeBeforeComesBackWithItsBitmap) {
  GraphicsPath narrow, wide;
  narrow.AddEllipse(0.0f, 0.0f, 30.0f, 12.0f);
  wide.AddEllipse(0.0f, 0.0f, 34.0f, 12.0f);
  LXGraphics::CShadowPath s(&narrow, nullptr, true, 2, 0.8f);
  const RectF at(20.3f, 30.6f, 30, 12);
  Draw(100, 80, [&](Graphics& g) { s.Draw(&g, at); });
  Bitmap* first = s.GetBitmap();
  EXPECT_TRUE(s.Create(&wide, nullptr, true, 2, 0.8f));
  Draw(100, 80, [&](Graphics& g) { s.Draw(&g, RectF(20.3f, 30.6f, 34, 12)); });
  EXPECT_NE(s.GetBitmap(), first);
  EXPECT_TRUE(s.Create(&narrow, nullptr, true, 2, 0.8f));
  EXPECT_EQ(s.GetBitmap(), first) << "kept, not rendered again";
  auto back = Draw(100, 80, [&](Graphics& g) { s.Draw(&g, at); });
  LXGraphics::CShadowPath fresh(&narrow, nullptr, true, 2, 0.8f);
  auto made = Draw(100, 80, [&](Graphics& g) { fresh.Draw(&g, at); });
  EXPECT_TRUE(back->Q() == made->Q());
  EXPECT_TRUE(s.Create(&narrow, nullptr, true, 3, 0.8f)) << "another radius is another shadow";
  EXPECT_EQ(s.GetBitmap(), nullptr);
}
