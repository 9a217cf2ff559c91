// Angle helpers in degrees and half-away rounding.
#include "LXGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
const double kPi = std::acos(-1.0);
const double kRadToDeg = 180.0 / kPi;
}  // namespace

double AsinDegrees(double x) { return std::asin(std::clamp(x, -1.0, 1.0)) * kRadToDeg; }

double AcosDegrees(double x) { return std::acos(std::clamp(x, -1.0, 1.0)) * kRadToDeg; }

int32_t RoundHalfAway(double x) {
  const int32_t t = static_cast<int32_t>(x);
  if (std::fabs(x - t) >= 0.5) return x > 0 ? t + 1 : t - 1;
  return t;
}
