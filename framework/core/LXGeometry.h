// Plain vector and point values, degree-based angle helpers and rounding; the rectangle and
// point kept in several pixel forms are in LXSyncRect.h, the colour type in LXColor.h.
#pragma once

#include <cstdint>

namespace LXTypes {

// Three components; stored by the preferences as three binary64 values.
template <typename T>
struct CVectorT {
  T x{}, y{}, z{};

  constexpr CVectorT() = default;
  constexpr CVectorT(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}

  friend constexpr bool operator==(const CVectorT& a, const CVectorT& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
  }
  friend constexpr bool operator!=(const CVectorT& a, const CVectorT& b) { return !(a == b); }
};

// Two components; stored by the preferences as two binary32 values.
template <typename T>
struct CPointT {
  T x{}, y{};

  constexpr CPointT() = default;
  constexpr CPointT(T x_, T y_) : x(x_), y(y_) {}

  friend constexpr bool operator==(const CPointT& a, const CPointT& b) { return a.x == b.x && a.y == b.y; }
  friend constexpr bool operator!=(const CPointT& a, const CPointT& b) { return !(a == b); }
};

}  // namespace LXTypes

// Arcsine of x clamped to [-1, 1], in degrees.
double AsinDegrees(double x);
// Arccosine of x clamped to [-1, 1], in degrees.
double AcosDegrees(double x);
// Rounds half away from zero: 2.5 -> 3, -2.5 -> -3, -2.4 -> -2. Values beyond the 32-bit range
// give its nearest end, NaN gives 0.
int32_t RoundHalfAway(double x);
// The whole number x (already rounded) as i32, saturated at the ends of the range; NaN gives 0.
int32_t SaturateToInt32(double x);
