// Peak shapes of computed profiles: unit-area functions of position with their cut-offs in
// half widths; the profile that sums them is built by CQLCrystalPattern (QLCrystalPattern.h).
#pragma once

#include <cstddef>
#include <cstdint>

// The profile type codes of LXTypes::QLProfileType, as the settings record stores them.
namespace QLPeakShape {
constexpr int32_t kDelta = 1;
constexpr int32_t kLorentzian = 2;
constexpr int32_t kGaussian = 3;
constexpr int32_t kPseudoVoigt = 4;

// ln 2 as the single-precision value widened to double, in the exponent and under the root.
constexpr double kLn2 = 0.6931471824645996;
// Exponents at or below this make the Gaussian exactly 0 (about 6.5788 half widths out).
constexpr double kGaussianExponentFloor = -30.0;
}  // namespace QLPeakShape

// x: position, c: peak centre, w: half width (at half maximum for the Lorentzian and
// Gaussian), all in one x-axis unit; eta: Lorentzian fraction of the pseudo-Voigt.
double TrianglePeak(double x, double c, double w);
double LorentzianPeak(double x, double c, double w);
double GaussianPeak(double x, double c, double w);
double PseudoVoigtPeak(double x, double c, double w, double eta);

// The shape of a profile type; 0 for a type that is none of the four.
double PeakShapeValue(int32_t profileType, double x, double c, double w, double eta);

// out[i] = PeakShapeValue(profileType, x[i], c, w, eta) for i < n, the same bits, in loops that
// the compiler can vectorise (the Gaussian's exp stays one scalar call per point).
void PeakShapeValues(int32_t profileType, const double* x, size_t n, double c, double w, double eta, double* out);

// How many half widths from its centre a peak of this type is summed: 1 triangle,
// 20 Lorentzian, 5 Gaussian, their eta-weighted mean for pseudo-Voigt, 0 for any other type.
double PeakCutOff(int32_t profileType, double eta);
