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
