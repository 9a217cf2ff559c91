// Angle helpers, half-away rounding and the plain vector and point values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "LXGeometry.h"

TEST(Geometry, RoundHalfAwayRoundsTiesAwayFromZero) {
  const struct {
    double x;
    int32_t expected;
  } cases[] = {{2.5, 3},   {-2.5, -3}, {-2.4, -2}, {2.4999, 2}, {0.5, 1}, {-0.5, -1}, {0.0, 0}, {7.0, 7}, {-7.6, -8},
               // Beyond the 32-bit range: the nearest end, never a wrapped value of the other sign.
               {2147483646.5, INT32_MAX}, {3e9, INT32_MAX}, {-2147483647.5, INT32_MIN}, {-3e9, INT32_MIN},
               {std::nan(""), 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfAway(c.x), c.expected) << c.x;
}

TEST(Geometry, AngleFunctionsClampTheirArgument) {
  EXPECT_EQ(AcosDegrees(1.0000001), 0.0);
  EXPECT_DOUBLE_EQ(AcosDegrees(-1.5), 180.0);
  EXPECT_DOUBLE_EQ(AsinDegrees(-2.0), -90.0);
  EXPECT_DOUBLE_EQ(AsinDegrees(0.5), 30.0);
  EXPECT_DOUBLE_EQ(AcosDegrees(0.5), 60.0);
}

TEST(Geometry, VectorsAndPointsCompareMemberByMember) {
  using LXTypes::CPointT;
  using LXTypes::CVectorT;
  EXPECT_EQ(CVectorT<double>(), CVectorT<double>(0, 0, 0));
  EXPECT_NE(CVectorT<double>(1, 2, 3), CVectorT<double>(1, 2, 4));
  EXPECT_EQ(CPointT<float>(1.5f, 2), CPointT<float>(1.5f, 2));
  EXPECT_NE(CPointT<float>(1, 2), CPointT<float>(2, 1));
}
