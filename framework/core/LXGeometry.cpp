// Angle helpers in degrees and half-away rounding.
#include "LXGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
const double kPi = std::acos(-1.0);
const double kRadToDeg = 180.0 / kPi;
}  // namespace

double AsinDegrees(double x) { return std::asin(std::clamp(x, -1.0, 1.0)) * kRadToDeg; }

double AcosDegrees(double x) { return std::acos(std::clamp(x, -1.0, 1.0)) * kRadToDeg; }

// A plain conversion of an out-of-range double is undefined and, on x86, turns 3e9 into a
// large negative coordinate: saturate instead.
int32_t SaturateToInt32(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// std::round already rounds halves away from zero.
int32_t RoundHalfAway(double x) { return SaturateToInt32(std::round(x)); }
