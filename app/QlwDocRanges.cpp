// The plot's x window, the data range it moves within and the y range, kept consistent through
// pattern changes, scrolling, zooming, autoscaling and changes of the x-axis unit.
#include "QlwDoc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// Intensities smaller than this count as zero.
constexpr double kZeroIntensity = 1.8189894035458565e-12;
// Smallest x taken for the ends of the window when the unit changes (a single-precision 0.01).
constexpr double kSmallestEnd = static_cast<double>(0.01f);
}  // namespace

void CQlwDoc::UpdateDataRange() {
  double lo = 999.0, hi = 0.0;
  const LXTypes::QLAxisType unit = m_settings.m_axisType;
  for (const CQLPatternPtr& p : m_patterns) {
    if (!p->IsShown()) continue;
    lo = std::min(lo, p->GetDefaultAxisMinimum(unit));
    hi = std::max(hi, p->GetDefaultAxisMaximum(unit));
  }
  if (hi > lo) {
    m_settings.m_defaultXMax = hi * 1.05;
    if (m_settings.m_visibleXMin > lo * 0.95) m_settings.m_defaultXMin = std::max(0.0, lo * 0.95);
  } else {
    double max = 0.0;
    GetDefaultAxisMaximum(unit, nullptr, &max);
    m_settings.m_defaultXMax = max;
    m_settings.m_defaultXMin = 0.0;
  }
}

void CQlwDoc::SetPlotRange(double xMin, double xMax, double yMin, double yMax, bool hint) {
  m_settings.m_visibleXMin = std::max(m_settings.m_defaultXMin, xMin);
  m_settings.m_visibleXMax = std::min(m_settings.m_defaultXMax, xMax);
  m_settings.m_visibleYMin = yMin;
  m_settings.m_visibleYMax = yMax;
  if (hint)
    PlotHint();
  else
    SetModifiedFlag(TRUE);
}

double CQlwDoc::GetMaxVisibleIntensity() const {
  double m = 0.0;
  bool any = false;
  for (const CQLPatternPtr& p : CollectPatterns(m_patterns, false, true, false)) {
    const double v = p->GetMaxIntensityInRange(m_settings.m_visibleXMin, m_settings.m_visibleXMax);
    m = any ? std::max(m, v) : v;
    any = true;
  }
  return m;
}

void CQlwDoc::Autoscale(bool hint) {
  for (const CQLPatternPtr& p : m_patterns) {
    const CQLPatternList* components = p->GetComponents();
    const bool missing = p->IsShown() ? p->GetProfile().empty()
                                      : components && !components->empty() && components->back()->IsProfileMissing();
    if (missing) p->ClearProfile();
  }
  for (const CQLPatternPtr& p : m_patterns) p->ComputeProfile(m_settings);
  double m = HasShownPatterns() ? GetMaxVisibleIntensity() : 0.0;
  if (std::abs(m) < kZeroIntensity) m = m_settings.m_visibleYMax;
  SetPlotRange(m_settings.m_visibleXMin, m_settings.m_visibleXMax, 0.0, m * 1.05, hint);
}

namespace {
// The x span from the first to the last point of data of the shown patterns, and their largest
// drawn intensity over it.
struct DataSpan {
  bool found = false;
  double first = 0.0, last = 0.0, top = 0.0;
};

DataSpan ShownDataSpan(const CQLPatternList& patterns) {
  DataSpan span;
  for (const CQLPatternPtr& p : CollectPatterns(patterns, false, true, false)) {
    const CQLProfile& points = p->GetProfile();
    size_t i0 = points.size(), i1 = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      if (std::abs(points[i].y) < kZeroIntensity) continue;
      if (i0 == points.size()) i0 = i;
      i1 = i;
    }
    if (i0 == points.size()) continue;
    double a = points[i0].x, b = points.size() < 2 ? a : points[i1].x;
    if (a > b) std::swap(a, b);
    // Several patterns: the span that covers the data of all of them.
    span.first = span.found ? std::min(span.first, a) : a;
    span.last = span.found ? std::max(span.last, b) : b;
    const double scale = p->GetDrawnScale();
    for (size_t i = i0; i <= i1; ++i) span.top = std::max(span.top, points[i].y * scale + p->m_yOffset);
    span.found = true;
  }
  return span;
}
}  // namespace

double CQlwDoc::GetDataSpanInView() const {
  const DataSpan span = ShownDataSpan(m_patterns);
  if (!span.found) return 0.0;
  return std::max(0.0, std::min(span.last, m_settings.m_visibleXMax) - std::max(span.first, m_settings.m_visibleXMin));
}

void CQlwDoc::FitPlotToPatterns() {
  // A settings change drops the computed profiles; fitted to those, every pattern would look empty
  // and the window would span the whole data range.
  for (const CQLPatternPtr& p : m_patterns)
    if (p->IsShown() && p->GetProfile().empty()) p->ComputeProfile(m_settings);
  const auto [found, first, last, top] = ShownDataSpan(m_patterns);
  double lo = m_settings.m_defaultXMin, hi = m_settings.m_defaultXMax;
  if (found && last > first) {
    const double margin = (last - first) * 0.025;
    lo = std::max(first - margin, m_settings.m_defaultXMin);
    hi = std::min(last + margin, m_settings.m_defaultXMax);
    if (hi <= lo) {
      lo = m_settings.m_defaultXMin;
      hi = m_settings.m_defaultXMax;
    }
  }
  const double yMax = std::abs(top) < kZeroIntensity ? m_settings.m_visibleYMax * 1.05 : top * 1.05;
  SetPlotRange(lo, hi, 0.0, yMax, true);
  UpdateDataRange();
}

void CQlwDoc::ScrollPlotRange(double dx) {
  if (dx == 0.0) return;
  double& lo = m_settings.m_visibleXMin;
  double& hi = m_settings.m_visibleXMax;
  const double dataLo = m_settings.m_defaultXMin, dataHi = m_settings.m_defaultXMax;
  const double width = hi - lo;
  if (dx > 0.0 && hi + dx > dataHi) {
    hi = dataHi;
    lo = dataHi - width;
  } else if (dx < 0.0 && lo + dx < dataLo) {
    lo = dataLo;
    hi = dataLo + width;
  } else {
    lo += dx;
    hi += dx;
  }
  // A window wider than the data must not leave it at the other end (negative 2θ).
  lo = std::max(lo, dataLo);
  hi = std::min(hi, dataHi);
  UpdateDataRange();
  PlotHint();
}

void CQlwDoc::ZoomPlotRange(double factor, double anchor, bool autoscale) {
  double& lo = m_settings.m_visibleXMin;
  double& hi = m_settings.m_visibleXMax;
  const double dataLo = m_settings.m_defaultXMin, dataHi = m_settings.m_defaultXMax;
  if (factor < 1.0 && lo <= dataLo && hi >= dataHi) return;
  const double w = (hi - lo) / factor;
  if (!(w > (dataHi - dataLo) / 1000.0)) return;
  const double c = (1.0 - anchor) * lo + anchor * hi;
  lo = std::max(c - (c - lo) / factor, dataLo);
  hi = lo + w;
  if (hi > dataHi) {
    hi = dataHi;
    lo = std::max(dataHi - w, dataLo);
  }
  if (autoscale) Autoscale(false);
  PlotHint();
}

void CQlwDoc::ScaleReferenceIntensity(double factor) {
  if (std::abs(factor) < kZeroIntensity) return;
  m_settings.m_visibleYMax /= factor;
  PlotHint();
}

namespace {
double Wavelength(const CDiffractionSettings& s) {
  return s.m_simulationType == LXTypes::kSimElectrons ? s.m_lambdaTEM : s.m_lambda;
}

double ToDSpacing(const CDiffractionSettings& s, LXTypes::QLAxisType unit, double x, double lambda) {
  switch (unit) {
    case LXTypes::kAxis2Theta:
      return lambda / (2.0 * std::sin(x * std::numbers::pi / 360.0));
    case LXTypes::kAxisDSpacing:
      return x;
    case LXTypes::kAxisInverseD:
      return 1.0 / x;
    case LXTypes::kAxisTimeOfFlight:
      return x / s.m_tofFactor;
    case LXTypes::kAxisEnergy:
      return s.m_edxFactor / x;
    case LXTypes::kAxisTwoPiOverD:
      return 2.0 * std::numbers::pi / x;
  }
  return x;
}

// fallback: the whole-range value an end keeps when its d is too small to convert.
double FromDSpacing(const CDiffractionSettings& s, LXTypes::QLAxisType unit, double d, double fallback) {
  const bool inverse = unit == LXTypes::kAxis2Theta || unit == LXTypes::kAxisInverseD ||
                       unit == LXTypes::kAxisEnergy || unit == LXTypes::kAxisTwoPiOverD;
  if (inverse && !(d > kSmallestEnd)) return fallback;
  switch (unit) {
    case LXTypes::kAxis2Theta:
      return 2.0 * std::asin(std::clamp(Wavelength(s) / (2.0 * d), 0.0, 1.0)) * 180.0 / std::numbers::pi;
    case LXTypes::kAxisDSpacing:
      return d;
    case LXTypes::kAxisInverseD:
      return 1.0 / d;
    case LXTypes::kAxisTimeOfFlight:
      return d * s.m_tofFactor;
    case LXTypes::kAxisEnergy:
      return s.m_edxFactor / d;
    case LXTypes::kAxisTwoPiOverD:
      return 2.0 * std::numbers::pi / d;
  }
  return d;
}
}  // namespace

void CQlwDoc::SetAxisType(LXTypes::QLAxisType unit) { SetAxisType(unit, Wavelength(m_settings)); }

void CQlwDoc::SetAxisType(LXTypes::QLAxisType unit, double shownWavelength, bool refresh) {
  CDiffractionSettings& s = m_settings;
  if (unit == s.m_axisType) return;
  const double lo = std::max(s.m_visibleXMin, kSmallestEnd);
  double hi = std::max(s.m_visibleXMax, kSmallestEnd);
  if (lo == hi) hi += kSmallestEnd;
  const double d1 = ToDSpacing(s, s.m_axisType, lo, shownWavelength),
               d2 = ToDSpacing(s, s.m_axisType, hi, shownWavelength);
  s.m_axisType = unit;
  double dataMax = 0.0;
  GetDefaultAxisMaximum(unit, nullptr, &dataMax);
  s.m_defaultXMin = 0.0;
  s.m_defaultXMax = dataMax;
  s.m_visibleXMin = 0.0;
  s.m_visibleXMax = dataMax;
  // The smaller d gives the larger x in units 1, 3, 5, 6; the whole-range value stands in for
  // an end too small to convert.
  const bool inverse = unit == LXTypes::kAxis2Theta || unit == LXTypes::kAxisInverseD ||
                       unit == LXTypes::kAxisEnergy || unit == LXTypes::kAxisTwoPiOverD;
  const double dSmall = std::min(d1, d2), dLarge = std::max(d1, d2);
  double newLo, newHi;
  if (inverse) {
    newLo = FromDSpacing(s, unit, dLarge, 0.0);
    newHi = FromDSpacing(s, unit, dSmall, dataMax);
  } else {
    newLo = FromDSpacing(s, unit, dSmall, 0.0);
    newHi = FromDSpacing(s, unit, dLarge, dataMax);
  }
  newLo = std::clamp(newLo, 0.0, dataMax);
  newHi = std::clamp(newHi, 0.0, dataMax);
  if (newHi > newLo) {
    s.m_visibleXMin = newLo;
    s.m_visibleXMax = newHi;
  }
  s.m_defaultXMin = 0.0;
  s.m_defaultXMax = dataMax;
  s.LoadUnitStrings();
  UpdateDataRange();
  if (!refresh) return;
  RefreshReflexionPositions();
  Autoscale(true);
}

void CQlwDoc::CentrePlotOn(double dSpacing) {
  const double x = m_settings.ConvertFromDSpacing(dSpacing);
  ScrollPlotRange(x - (m_settings.m_visibleXMin + m_settings.m_visibleXMax) / 2.0);
  Autoscale(false);
  // The cursor's offset is in pixels: it moves to the data x when it is next drawn.
  if (CCursor* cursor = m_settings.GetCursor(true)) cursor->PlaceAt(x);
}
