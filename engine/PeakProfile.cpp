// Peak shapes of computed profiles.
#include "PeakProfile.h"

#include "EngineConstants.h"

#include <cmath>

using namespace QLEngineConstants;

namespace {
const double kGaussianNorm = std::sqrt(QLPeakShape::kLn2 / kPi);
constexpr double kDeltaCutOff = 1.0;
constexpr double kLorentzianCutOff = 20.0;
constexpr double kGaussianCutOff = 5.0;
}  // namespace

double TrianglePeak(double x, double c, double w) {
  const double distance = std::fabs(x - c);
  return distance < w ? 1.0 - distance / w : 0.0;
}

double LorentzianPeak(double x, double c, double w) {
  const double t = (x - c) / w;
  return 1.0 / (kPi * w * (1.0 + t * t));
}

double GaussianPeak(double x, double c, double w) {
  const double t = (x - c) / w;
  const double e = -QLPeakShape::kLn2 * t * t;
  if (e <= QLPeakShape::kGaussianExponentFloor) return 0.0;
  return kGaussianNorm * std::exp(e) / w;
}

double PseudoVoigtPeak(double x, double c, double w, double eta) {
  return (1.0 - eta) * GaussianPeak(x, c, w) + eta * LorentzianPeak(x, c, w);
}

double PeakShapeValue(int32_t profileType, double x, double c, double w, double eta) {
  switch (profileType) {
    case QLPeakShape::kDelta: return TrianglePeak(x, c, w);
    case QLPeakShape::kLorentzian: return LorentzianPeak(x, c, w);
    case QLPeakShape::kGaussian: return GaussianPeak(x, c, w);
    case QLPeakShape::kPseudoVoigt: return PseudoVoigtPeak(x, c, w, eta);
    default: return 0.0;
  }
}

double PeakCutOff(int32_t profileType, double eta) {
  switch (profileType) {
    case QLPeakShape::kDelta: return kDeltaCutOff;
    case QLPeakShape::kLorentzian: return kLorentzianCutOff;
    case QLPeakShape::kGaussian: return kGaussianCutOff;
    case QLPeakShape::kPseudoVoigt: return (1.0 - eta) * kGaussianCutOff + eta * kLorentzianCutOff;
    default: return 0.0;
  }
}

namespace {
// Each pass repeats its single-point function's operations in the same order, so the values agree
// to the bit; only what that order already computes first (π w) is taken out of the loop.
void TriangleValues(const double* x, size_t n, double c, double w, double* out) {
  for (size_t i = 0; i < n; ++i) {
    const double distance = std::fabs(x[i] - c);
    out[i] = distance < w ? 1.0 - distance / w : 0.0;
  }
}

void LorentzianValues(const double* x, size_t n, double c, double w, double* out) {
  const double piW = kPi * w;
  for (size_t i = 0; i < n; ++i) {
    const double t = (x[i] - c) / w;
    out[i] = 1.0 / (piW * (1.0 + t * t));
  }
}

// In three passes, so that the divisions of the first and last are vectorised around the exp.
// An exponent at the floor gives exp 0, and √(L/π) × 0 / w is the 0.0 of the single-point form.
void GaussianValues(const double* x, size_t n, double c, double w, double* out) {
  for (size_t i = 0; i < n; ++i) {
    const double t = (x[i] - c) / w;
    out[i] = -QLPeakShape::kLn2 * t * t;
  }
  for (size_t i = 0; i < n; ++i) out[i] = out[i] <= QLPeakShape::kGaussianExponentFloor ? 0.0 : std::exp(out[i]);
  for (size_t i = 0; i < n; ++i) out[i] = kGaussianNorm * out[i] / w;
}
}  // namespace

void PeakShapeValues(int32_t profileType, const double* x, size_t n, double c, double w, double eta, double* out) {
  switch (profileType) {
    case QLPeakShape::kDelta: TriangleValues(x, n, c, w, out); break;
    case QLPeakShape::kLorentzian: LorentzianValues(x, n, c, w, out); break;
    case QLPeakShape::kGaussian: GaussianValues(x, n, c, w, out); break;
    case QLPeakShape::kPseudoVoigt: {
      GaussianValues(x, n, c, w, out);
      const double piW = kPi * w;
      for (size_t i = 0; i < n; ++i) {
        const double t = (x[i] - c) / w;
        out[i] = (1.0 - eta) * out[i] + eta * (1.0 / (piW * (1.0 + t * t)));
      }
      break;
    }
    default:
      for (size_t i = 0; i < n; ++i) out[i] = 0.0;
  }
}
