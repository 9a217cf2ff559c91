// Angle constants and the zero tolerances that several engine computations share; included by
// engine sources only, so that files with constants of their own see no second kPi.
#pragma once

#include <cmath>

namespace QLEngineConstants
{
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 2.0 * kPi;
inline constexpr double kHalfPi = kPi / 2.0;
inline constexpr double kDegToRad = kPi / 180.0;
inline constexpr double kRadToDeg = 180.0 / kPi;

// Phase and operator sums below 2^-39 count as 0.
inline constexpr double kZero = 1.8189894035458565e-12;
// Sines and cosines below 2^-43 count as 0, so that special positions cancel exactly.
inline constexpr double kSineZero = 1.1368683772161603e-13;
// Reflexions whose d spacings differ by less than this are one (single precision 1e-5).
inline constexpr double kSameD = 9.999999747378752e-06;
// µs per Å and metre of flight path, for the time-of-flight factor.
inline constexpr double kTOFConstant = 0.2527776062488556;

inline double ZeroIfTiny(double v)
{
    return std::fabs(v) < kSineZero ? 0.0 : v;
}
}
