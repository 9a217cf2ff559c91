// CRect and friends with the class library's semantics: right and bottom edges are exclusive.
#include <gtest/gtest.h>

#include "Geometry.h"
#include "testing/FakeClock.h"

namespace {
bool Same(const RECT& r, int l, int t, int rr, int b) {
  return r.left == l && r.top == t && r.right == rr && r.bottom == b;
}
}  // namespace

TEST(CRect, PointsOnTheRightAndBottomEdgesAreOutside) {
  CRect r(10, 20, 30, 40);
  EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
  EXPECT_TRUE(r.PtInRect(CPoint(29, 39)));
  EXPECT_FALSE(r.PtInRect(CPoint(30, 25)));
  EXPECT_FALSE(r.PtInRect(CPoint(15, 40)));
  EXPECT_EQ(r.Width(), 20);
  EXPECT_EQ(r.Height(), 20);
  EXPECT_EQ(r.CenterPoint(), CPoint(20, 30));
}

TEST(CRect, EmptyAndNullAreDifferent) {
  CRect flat(5, 5, 5, 10);
  EXPECT_TRUE(flat.IsRectEmpty());
  EXPECT_FALSE(flat.IsRectNull());
  CRect inverted(10, 10, 0, 0);
  EXPECT_TRUE(inverted.IsRectEmpty());
  inverted.NormalizeRect();
  EXPECT_TRUE(Same(inverted, 0, 0, 10, 10));
  EXPECT_TRUE(CRect().IsRectNull());
}

TEST(CRect, IntersectionAndUnion) {
  CRect a(0, 0, 10, 10), b(5, 5, 20, 20), apart(30, 30, 40, 40), empty(50, 50, 50, 60);
  CRect r;
  EXPECT_TRUE(r.IntersectRect(&a, &b));
  EXPECT_TRUE(Same(r, 5, 5, 10, 10));
  // No overlap gives the null rectangle; rectangles that only touch do not overlap.
  EXPECT_FALSE(r.IntersectRect(&a, &apart));
  EXPECT_TRUE(r.IsRectNull());
  EXPECT_FALSE(r.IntersectRect(&a, CRect(10, 0, 20, 10)));
  EXPECT_TRUE(r.UnionRect(&a, &apart));
  EXPECT_TRUE(Same(r, 0, 0, 40, 40));
  // An empty rectangle does not stretch the union.
  EXPECT_TRUE(r.UnionRect(&a, &empty));
  EXPECT_TRUE(Same(r, 0, 0, 10, 10));
  EXPECT_TRUE(Same(a & b, 5, 5, 10, 10));
  EXPECT_TRUE(Same(a | b, 0, 0, 20, 20));
}

TEST(CRect, InflateDeflateAndOffset) {
  CRect r(10, 10, 20, 20);
  r.InflateRect(2, 3);
  EXPECT_TRUE(Same(r, 8, 7, 22, 23));
  r.DeflateRect(1, 2, 3, 4);
  EXPECT_TRUE(Same(r, 9, 9, 19, 19));
  r.OffsetRect(CSize(-9, 1));
  EXPECT_TRUE(Same(r, 0, 10, 10, 20));
  r.MoveToXY(100, 200);
  EXPECT_TRUE(Same(r, 100, 200, 110, 210));
  EXPECT_EQ(CPoint(5, 7) - CPoint(2, 3), CSize(3, 4));
  EXPECT_TRUE(Same(r + CPoint(1, 1), 101, 201, 111, 211));
}

TEST(TickCount, FollowsTheTestClockWhileOneIsInstalled) {
  {
    qlwtest::FakeClock clock(5000);
    EXPECT_EQ(GetTickCount64(), 5000u);
    clock.Advance(1500);
    EXPECT_EQ(GetTickCount(), 6500u);
  }
  ULONGLONG a = GetTickCount64();
  Sleep(20);
  EXPECT_GE(GetTickCount64() - a, 20u);
}
