// Pixel point, framework pen, callout outlines, arrows and marker triangles.
#include "GraphicsTestSupport.h"
#include "LXPen.h"
#include "LXShapes.h"

#include <gtest/gtest.h>

using namespace Gdiplus;
using namespace graphicstest;
using LXGraphics::CSyncPoint;

namespace {
LXGraphics::CSyncRect Box(float x, float y, float w, float h) { return LXGraphics::CSyncRect(x, y, x + w, y + h); }

std::unique_ptr<Bitmap> FillMarker(const LXGraphics::CSyncRect& box, float radius, bool pointer, CSyncPoint tip) {
  return Draw(200, 160, [&](Graphics& g) {
    GraphicsPath path;
    ASSERT_EQ(BuildMarkerPath(path, box, radius, pointer, tip), Ok);
    SolidBrush black(Color(0xFF000000u));
    g.FillPath(&black, &path);
  });
}
}  // namespace

TEST(PixelPoint, RoundsHalfAwayFromZeroAndKeepsTheExactValues) {
  const struct {
    double in;
    int32_t rounded;
  } cases[] = {{2.5, 3}, {-2.5, -3}, {2.49, 2}, {-0.4, 0}, {0.5, 1}, {-0.5, -1}, {7.0, 7}};
  for (const auto& c : cases) {
    PixelPoint p;
    PixelPoint::Set(p, c.in, -c.in);
    EXPECT_EQ(p.x, c.rounded) << c.in;
    EXPECT_EQ(p.x2, c.rounded);
    EXPECT_EQ(p.y, -c.rounded);
    EXPECT_EQ(p.exactX, float(c.in));
    EXPECT_EQ(p.exactY, float(-c.in));
  }
}

TEST(LXPen, IsInsetAndValidAtWidthZero) {
  EnsureApp();
  LXGraphics::CLXPen thin(0xFF000000u, 0);
  EXPECT_EQ(thin.GetLastStatus(), Ok);
  EXPECT_EQ(thin.GetAlignment(), PenAlignmentInset);
  // A 3-wide framework pen on a snapped rectangle covers its outer three rings only.
  auto b = Draw(20, 20, [](Graphics& g) {
    LXGraphics::CLXPen pen(0xFF000000u, 3);
    g.DrawRectangle(&pen, 2.0f, 2.0f, 16.0f, 16.0f);
  });
  for (int x : {2, 3, 4, 15, 16, 17}) EXPECT_TRUE(Inked(*b, x, 10)) << x;
  for (int x : {1, 5, 14, 18}) EXPECT_FALSE(Inked(*b, x, 10)) << x;
}

TEST(BuildMarkerPath, ChoosesThePointerByDirection) {
  const LXGraphics::CSyncRect box = Box(50, 50, 60, 30);
  const struct {
    float x, y;
    unsigned code;
  } cases[] = {
      {80, 65, 0},    // inside: no pointer
      {80, 20, 1},    // above
      {140, 20, 2},   // beyond the top-right corner, closer to its anchor's direction
      {150, 65, 3},   // right
      {140, 110, 4},  // bottom-right
      {80, 120, 5},   // below
      {20, 110, 6},   // bottom-left
      {10, 65, 7},    // left
      {20, 20, 8},    // top-left
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseMarkerPointer(box, CSyncPoint(c.x, c.y)), c.code) << c.x << "," << c.y;
  // A tip in the direction of the corner anchor from the centre of a square box ties the top and
  // corner candidates at the same score only when exactly diagonal: the strictly smaller wins,
  // and a tie goes to the lower code.
  const LXGraphics::CSyncRect square = Box(0, 0, 40, 40);
  EXPECT_EQ(ChooseMarkerPointer(square, CSyncPoint(60, -20)), 2u);
  // Above and right of the box, but nearer the top middle's direction: the top edge.
  EXPECT_EQ(ChooseMarkerPointer(square, CSyncPoint(41, -100)), 1u);
}

TEST(BuildMarkerPath, PlainOutlineWithoutPointerOrWithTipInside) {
  const LXGraphics::CSyncRect box = Box(40, 40, 80, 40);
  auto plain = FillMarker(box, 6, false, CSyncPoint(0, 0));
  auto inside = FillMarker(box, 6, true, CSyncPoint(60, 60));
  EXPECT_EQ(plain->Q(), inside->Q());
  EXPECT_TRUE(Inked(*plain, 80, 60));
  EXPECT_FALSE(Inked(*plain, 40, 40));  // the rounded corner leaves the corner pixel
}

TEST(BuildMarkerPath, TopPointerOnTheEdgeLineHasAnEightPixelBase) {
  // The tip lies on the top edge's line: no distance beyond it, so the base is the minimum 8,
  // centred on the tip.
  const LXGraphics::CSyncRect box = Box(40, 40, 80, 40);
  GraphicsPath path;
  ASSERT_EQ(BuildMarkerPath(path, box, 6, true, CSyncPoint(80, 40)), Ok);
  QPainterPath q = path.Q();
  std::vector<QPointF> onTop;
  for (int i = 0; i < q.elementCount(); ++i)
    if (q.elementAt(i).y == 40) onTop.emplace_back(q.elementAt(i).x, q.elementAt(i).y);
  ASSERT_GE(onTop.size(), 5u);
  bool left = false, right = false;
  for (const QPointF& p : onTop) left |= p.x() == 76, right |= p.x() == 84;
  EXPECT_TRUE(left && right);
}

TEST(BuildMarkerPath, RadiusChoosesRoundedRectangleCapsuleOrCircle) {
  // Radius 0: sharp corners fill the corner pixels.
  auto sharp = FillMarker(Box(40, 40, 80, 40), 0, false, CSyncPoint(0, 0));
  EXPECT_TRUE(Inked(*sharp, 40, 40));
  EXPECT_TRUE(Inked(*sharp, 119, 79));
  // Half the height: a horizontal capsule, round at the ends, straight along the top.
  auto capsule = FillMarker(Box(40, 40, 80, 40), 20, false, CSyncPoint(0, 0));
  EXPECT_FALSE(Inked(*capsule, 41, 41));
  EXPECT_TRUE(Inked(*capsule, 80, 40));
  EXPECT_TRUE(Inked(*capsule, 41, 60));
  // A wide box asked for a radius of half its width or more: a circle of the box's height.
  auto circle = FillMarker(Box(40, 40, 80, 40), 50, false, CSyncPoint(0, 0));
  EXPECT_FALSE(Inked(*circle, 45, 60));
  EXPECT_FALSE(Inked(*circle, 115, 60));
  EXPECT_TRUE(Inked(*circle, 62, 60));
  EXPECT_TRUE(Inked(*circle, 80, 41));
  // A square box with a radius of half its side: a circle too.
  auto round = FillMarker(Box(40, 40, 40, 40), 20, false, CSyncPoint(0, 0));
  EXPECT_FALSE(Inked(*round, 41, 41));
  EXPECT_TRUE(Inked(*round, 60, 60));
}

TEST(BuildMarkerPath, PointerReachesTheTipForEveryVariant) {
  const struct {
    LXGraphics::CSyncRect box;
    float radius, tx, ty;
  } cases[] = {{Box(40, 40, 80, 40), 6, 150, 10},   {Box(40, 40, 80, 40), 6, 80, 120},
               {Box(70, 30, 30, 80), 15, 85, 10},   {Box(70, 30, 30, 80), 15, 130, 70},
               {Box(40, 40, 100, 30), 15, 170, 55}, {Box(40, 40, 100, 30), 15, 90, 100},
               {Box(60, 40, 40, 40), 20, 130, 10},  {Box(60, 40, 40, 40), 20, 30, 60}};
  for (const auto& c : cases) {
    auto b = FillMarker(c.box, c.radius, true, CSyncPoint(c.tx, c.ty));
    // Ink runs from the box towards the tip: a point two thirds of the way out is covered.
    float cx = c.box.m_float.X + c.box.m_float.Width / 2, cy = c.box.m_float.Y + c.box.m_float.Height / 2;
    float ex = c.box.m_float.X + (c.tx > cx ? c.box.m_float.Width : 0), ey = c.box.m_float.Y + (c.ty > cy ? c.box.m_float.Height : 0);
    if (std::abs(c.tx - cx) < c.box.m_float.Width / 2) ex = c.tx;
    if (std::abs(c.ty - cy) < c.box.m_float.Height / 2) ey = c.ty;
    int px = int(ex + (c.tx - ex) * 0.6f), py = int(ey + (c.ty - ey) * 0.6f);
    EXPECT_TRUE(Inked(*b, px, py)) << c.tx << "," << c.ty << " at " << px << "," << py;
  }
}

TEST(BuildMarkerPath, AppendsWithoutJoiningTheOutputsFigure) {
  GraphicsPath out;
  out.AddLine(0, 0, 10, 0);
  ASSERT_EQ(BuildMarkerPath(out, Box(40, 40, 20, 20), 4, false, CSyncPoint(0, 0)), Ok);
  auto b = Draw(80, 80, [&](Graphics& g) {
    SolidBrush black(Color(0xFF000000u));
    g.FillPath(&black, &out);
  });
  EXPECT_FALSE(Inked(*b, 20, 20));  // no fill between the open line and the box
  EXPECT_TRUE(Inked(*b, 50, 50));
}

TEST(FillArrow, PointsAlongTheAngle) {
  auto right = Draw(100, 60, [](Graphics& g) { FillArrow(g, CSyncPoint(50, 30), 20, 20, 40, 4, 0, 0xFF000000u); });
  EXPECT_TRUE(Inked(*right, 78, 30));   // near the tip at x = 80
  EXPECT_FALSE(Inked(*right, 82, 30));
  EXPECT_TRUE(Inked(*right, 21, 30));   // the shaft's back at x = 20
  EXPECT_FALSE(Inked(*right, 25, 36));  // the shaft is 4 wide
  auto down = Draw(60, 100, [](Graphics& g) { FillArrow(g, CSyncPoint(30, 50), 20, 20, 40, 4, 90, 0xFF000000u); });
  EXPECT_TRUE(Inked(*down, 30, 78));
  EXPECT_FALSE(Inked(*down, 30, 82));
}

TEST(DrawMarkerInRect, UnknownDirectionPointsRight) {
  auto draw = [](int direction) {
    return Draw(40, 40, [direction](Graphics& g) {
      DrawMarkerInRect(g, Box(5, 5, 30, 30), direction, 0xFF888888u);
    });
  };
  auto right = draw(0), other = draw(3), down = draw(2);
  EXPECT_EQ(right->Q(), other->Q());
  EXPECT_NE(right->Q(), down->Q());
  // 0.8 of the 30-pixel box: a base 24 tall near x = 9.6, the tip near x = 30.4.
  int tall = 0;
  for (int y = 0; y < 40; ++y) tall += Inked(*right, 10, y);
  EXPECT_NEAR(tall, 23, 2);
  EXPECT_TRUE(Inked(*right, 29, 20));
  EXPECT_FALSE(Inked(*right, 32, 20));
}

TEST(PixelPoint, SnappedOutlinesDrawCrispEvenAntiAliased) {
  auto partial = [](Bitmap& b) {
    int n = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x) {
        ARGB p = Pixel(b, x, y);
        n += p != 0xFFFFFFFFu && p != 0xFF000000u;
      }
    return n;
  };
  auto outline = [](bool snap) {
    return Draw(30, 30, [snap](Graphics& g) {
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      PixelPoint a, b;
      PixelPoint::Set(a, 3.4, 4.6);
      PixelPoint::Set(b, 25.5, 21.2);
      LXGraphics::CLXPen pen(0xFF000000u, 1);
      if (snap) g.DrawRectangle(&pen, float(a.x), float(a.y), float(b.x - a.x), float(b.y - a.y));
      else g.DrawRectangle(&pen, a.exactX, a.exactY, b.exactX - a.exactX, b.exactY - a.exactY);
    });
  };
  auto snapped = outline(true), exact = outline(false);
  EXPECT_EQ(partial(*snapped), 0);
  EXPECT_GT(partial(*exact), 0);
  // The snapped outline covers pixels 3 and 25 (exclusive right edge 26) in x, 5 and 20 in y.
  EXPECT_EQ(Pixel(*snapped, 3, 10), 0xFF000000u);
  EXPECT_EQ(Pixel(*snapped, 25, 10), 0xFF000000u);
  EXPECT_EQ(Pixel(*snapped, 10, 5), 0xFF000000u);
  EXPECT_EQ(Pixel(*snapped, 10, 20), 0xFF000000u);
  EXPECT_EQ(Pixel(*snapped, 26, 10), 0xFFFFFFFFu);
}
