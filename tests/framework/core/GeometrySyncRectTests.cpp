// Rounding between the window, integer and float forms of CSyncRect and CSyncPoint.
#include <gtest/gtest.h>

#include <cstdint>

#include "LXSyncRect.h"

using LXGraphics::CSyncPoint;
using LXGraphics::CSyncRect;

namespace {
void ExpectForms(const CSyncRect& r, int x, int y, int w, int h) {
  EXPECT_EQ(r.m_int.X, x);
  EXPECT_EQ(r.m_int.Y, y);
  EXPECT_EQ(r.m_int.Width, w);
  EXPECT_EQ(r.m_int.Height, h);
  EXPECT_EQ(r.m_rect.left, x);
  EXPECT_EQ(r.m_rect.top, y);
  EXPECT_EQ(r.m_rect.right, x + w);
  EXPECT_EQ(r.m_rect.bottom, y + h);
}
}  // namespace

TEST(GeometrySyncRect, FloatFormRoundsInward) {
  CSyncRect r;
  r.m_float = {0.5f, 0.5f, 10.2f, 3.9f};
  r.m_dirty = CSyncRect::kFloatWritten;
  r.Sync();
  ExpectForms(r, 1, 1, 10, 3);
  EXPECT_EQ(r.m_dirty, 0u);

  r.m_float = {-0.5f, -1.0f, -0.5f, 2.0f};
  r.m_dirty = CSyncRect::kFloatWritten;
  r.Sync();
  ExpectForms(r, 0, -1, -1, 2);

  const CSyncRect ltrb(0.5f, 0.5f, 10.7f, 4.4f);
  ExpectForms(ltrb, 1, 1, 10, 3);
  EXPECT_FLOAT_EQ(ltrb.m_float.Width, 10.2f);
  EXPECT_EQ(ltrb.m_dirty, 0u);
}

TEST(GeometrySyncRect, WindowAndIntegerFormsSyncTheOthers) {
  CSyncRect r;
  r.m_rect = RECT{2, 3, 12, 8};
  r.m_dirty = CSyncRect::kWindowWritten;
  r.Sync();
  ExpectForms(r, 2, 3, 10, 5);
  EXPECT_EQ(r.m_float.Width, 10.0f);

  r.m_int = {-4, 1, 3, 3};
  r.m_dirty = CSyncRect::kIntWritten;
  r.Sync();
  ExpectForms(r, -4, 1, 3, 3);
  EXPECT_EQ(r.m_float.X, -4.0f);
}

TEST(GeometrySyncRect, FitAspectKeepsTheRatioInsideTheFrame) {
  const CSyncRect frame(0, 0, 10, 10);
  CSyncRect r(1, 1, 5, 3);  // 4 x 2
  r.FitAspect(frame);
  EXPECT_FLOAT_EQ(r.m_float.Width, 10.0f);
  EXPECT_FLOAT_EQ(r.m_float.Height, 5.0f);
  EXPECT_FLOAT_EQ(r.m_float.X, 1.0f);
  ExpectForms(r, 1, 1, 10, 5);

  CSyncRect tall(0, 0, 2, 4);
  tall.FitAspect(frame);
  EXPECT_FLOAT_EQ(tall.m_float.Width, 5.0f);
  EXPECT_FLOAT_EQ(tall.m_float.Height, 10.0f);

  CSyncRect flat(0, 0, 0, 2);  // degenerate: takes the frame's size
  flat.FitAspect(frame);
  EXPECT_FLOAT_EQ(flat.m_float.Width, 10.0f);
  EXPECT_FLOAT_EQ(flat.m_float.Height, 10.0f);
}

TEST(GeometrySyncRect, DeflateNeverTurnsTheRectangleInsideOut) {
  CSyncRect r(0, 0, 10, 10);
  r.Deflate(6, 1, 6, 2);
  EXPECT_FLOAT_EQ(r.m_float.X, 5.0f);
  EXPECT_FLOAT_EQ(r.m_float.Width, 0.0f);
  EXPECT_FLOAT_EQ(r.m_float.Y, 1.0f);
  EXPECT_FLOAT_EQ(r.m_float.Height, 7.0f);
  ExpectForms(r, 5, 1, 0, 7);
}

TEST(GeometrySyncRect, SetXAndCentreIn) {
  CSyncRect r(0, 0, 4.5f, 2);
  r.SetX(2.5f);
  EXPECT_EQ(r.m_rect.left, 2);
  EXPECT_EQ(r.m_int.X, 2);
  EXPECT_EQ(r.m_rect.right, 7);  // floor(2.5 + 4.5)
  EXPECT_EQ(r.m_int.Width, 4);   // untouched

  CSyncRect box(0, 0, 4, 2);
  box.CentreIn(CSyncRect(10, 20, 20, 30));
  EXPECT_FLOAT_EQ(box.m_float.X, 13.0f);
  EXPECT_FLOAT_EQ(box.m_float.Y, 24.0f);
  EXPECT_EQ(box.m_rect.right, 17);
}

TEST(GeometrySyncRect, ScaleAboutCentreAndNormalize) {
  CSyncRect r(0, 0, 10, 4);
  r.ScaleAboutCentre(-0.5f, 2.0f);
  EXPECT_FLOAT_EQ(r.m_float.Width, 5.0f);
  EXPECT_FLOAT_EQ(r.m_float.Height, 8.0f);
  EXPECT_FLOAT_EQ(r.m_float.X, 2.5f);
  EXPECT_FLOAT_EQ(r.m_float.Y, -2.0f);
  r.ScaleAboutCentre(0.0f, 1.0f);
  ExpectForms(r, 0, 0, 0, 0);
  EXPECT_EQ(r.m_float.Width, 0.0f);

  CSyncRect n;
  n.SetXYWH(10, 5, -4, -2);
  n.Normalize();
  EXPECT_FLOAT_EQ(n.m_float.X, 6.0f);
  EXPECT_FLOAT_EQ(n.m_float.Y, 3.0f);
  ExpectForms(n, 6, 3, 4, 2);
}

TEST(GeometrySyncRect, PointsRoundHalfAwayFromZero) {
  const CSyncPoint p(2.5f, -2.5f);
  EXPECT_EQ(p.m_int.X, 3);
  EXPECT_EQ(p.m_int.Y, -3);
  EXPECT_EQ(p.m_point.x, 3);
  EXPECT_EQ(p.m_point.y, -3);

  CSyncPoint q;
  q.m_float = {-2.4f, 7.5f};
  q.m_dirty = CSyncPoint::kFloatWritten;
  q.Sync();
  EXPECT_EQ(q.m_point.x, -2);
  EXPECT_EQ(q.m_point.y, 8);
  q.m_point = POINT{4, 5};
  q.m_dirty = CSyncPoint::kWindowWritten;
  q.Sync();
  EXPECT_EQ(q.m_float.X, 4.0f);
  EXPECT_EQ(q.m_int.Y, 5);
}

TEST(GeometrySyncRect, HugeCoordinatesSaturateInsteadOfWrapping) {
  CSyncRect r;
  r.m_float = {2e9f, -3e9f, 2e9f, 1e10f};
  r.m_dirty = CSyncRect::kFloatWritten;
  r.Sync();
  EXPECT_EQ(r.m_int.X, 2000000000);
  EXPECT_EQ(r.m_int.Y, INT32_MIN);
  EXPECT_EQ(r.m_int.Height, INT32_MAX);
  EXPECT_EQ(r.m_rect.right, INT32_MAX);
  EXPECT_EQ(r.m_rect.bottom, -1);

  r.m_rect = RECT{-2000000000, 0, 2000000000, 1};
  r.m_dirty = CSyncRect::kWindowWritten;
  r.Sync();
  EXPECT_EQ(r.m_int.Width, INT32_MAX);

  const CSyncPoint p(3e9f, -3e9f);
  EXPECT_EQ(p.m_point.x, INT32_MAX);
  EXPECT_EQ(p.m_point.y, INT32_MIN);
}
