// The one funnel of every change: mark modified, recompute what the hint's code asks for, then
// tell every view but the sender, so that nested hints of the recompute arrive first.
#include "QlwDoc.h"

#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// A shown pattern, or a mixture holding one: a change of settings reaches the whole of it, since a
// mixture sums its hidden components as well and a hidden part may be ticked again.
bool InView(const CQLPattern& p) {
  if (p.IsShown()) return true;
  if (const CQLPatternList* components = p.GetComponents())
    for (const CQLPatternPtr& c : *components)
      if (InView(*c)) return true;
  return false;
}

// The crystals that a curve in view is computed from.
void CollectCrystalsInView(const CQLPatternList& list, bool insideView, CQLPatternList& out) {
  for (const CQLPatternPtr& p : list) {
    const bool inView = insideView || InView(*p);
    if (inView && dynamic_cast<const CQLCrystalPattern*>(p.get())) out.push_back(p);
    if (const CQLPatternList* components = p->GetComponents()) CollectCrystalsInView(*components, inView, out);
  }
}
}  // namespace

void CQlwDoc::PlotHint() {
  CUHRequestPlotUpdate hint(this, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
  DispatchUpdateHint(hint);
}

void CQlwDoc::DispatchUpdateHint(CUpdateHint& hint) {
  SetModifiedFlag(TRUE);
  switch (hint.code) {
    case kHintBackground:
    case kHintSmoothing: {
      const CQLPatternList observed = CollectPatternsOfType<CQLObservedPattern>(m_patterns, true, true, true);
      for (const CQLPatternPtr& p : observed) static_cast<CQLObservedPattern&>(*p).ComputeSmoothedCurve();
      ClearMixturesHolding(m_patterns, observed);
      break;
    }
    case kHintInstrument:
      RecomputeAllPatterns(true, false, true);
      break;
    case kHintOccupancy:
    case kHintSampleOccupancy:
      RecomputeHintedPatterns(true, true);
      break;
    case kHintReflexionPositions:
      RefreshReflexionPositions();
      Autoscale(true);
      break;
    case kHintSample: {
      RefreshReflexionPositions();
      CUHRequestPlotUpdate plot(this, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
      DispatchUpdateHint(plot);
      break;
    }
    case kHintCellMetrics:
      for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(m_patterns, true, true, false)) {
        CQLCrystal* crystal = p->GetCrystal();
        try {
          crystal->ComputeMetrics();
          crystal->ComputeDensity();
        } catch (CLXException& e) {
          e.Report();
        }
      }
      RecomputeHintedPatterns(true, true);
      break;
    case kHintCellConstantVolume:
      RescaleCellsAtConstantVolume();
      RecomputeHintedPatterns(true, true);
      break;
    case kHintPatternTree:
    case kHintPatternsShown:
      RescaleObservedPatterns();
      break;
    default:
      break;
  }
  CDocument* target = hint.document ? static_cast<CDocument*>(hint.document) : this;
  target->UpdateAllViews(hint.sender, reinterpret_cast<LPARAM>(&hint), nullptr);
}

bool CQlwDoc::RescaleCellsAtConstantVolume() {
  constexpr double k = std::numbers::pi / 180.0;
  bool all = true;
  for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(m_patterns, true, true, false)) {
    CQLCrystal& c = *p->GetCrystal();
    const double v = c.m_volume, cStar = c.m_cStar;
    const double sinG = std::sin(c.m_gamma * k), sinB = std::sin(c.m_beta * k);
    const double vEdited = c.m_a * c.m_b * sinG / cStar;
    const double f = std::cbrt(v / vEdited);
    const double a = c.m_a * f, b = c.m_b * f;
    const double cosAlphaStar =
        (std::cos(c.m_gamma * k) * std::cos(c.m_beta * k) - std::cos(c.m_alpha * k)) / (sinG * sinB);
    const double newC = v / (a * b * sinG * sinB * std::sqrt(1.0 - cosAlphaStar * cosAlphaStar));
    // Impossible angles or a zero reciprocal length would send a length to infinity or collapse
    // the cell: keep the old one.
    const bool sound = cStar > 0.0 && v > 0.0 && std::isfinite(vEdited) && vEdited > 0.0 &&
                       std::abs(cosAlphaStar) < 1.0 && std::isfinite(a) && a > 0.0 && std::isfinite(b) && b > 0.0 &&
                       std::isfinite(newC) && newC > 0.0;
    if (!sound) {
      all = false;
      CLXXCellRescale(kLXSeverityMessage, 0, __LINE__, p->m_title).Report();
      continue;
    }
    c.m_a = a;
    c.m_b = b;
    c.m_c = newC;
  }
  return all;
}

void CQlwDoc::RescaleObservedPatterns() {
  double m = 0.0;
  for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(m_patterns, false, true, false))
    m = std::max(m, p->GetMaxIntensityInRange(0.0, 0.0));
  if (m_patterns.empty() || m == 0.0) return;
  bool anyObserved = false;
  for (const CQLPatternPtr& p : m_patterns) {
    auto* observed = dynamic_cast<CQLObservedPattern*>(p.get());
    if (!observed) continue;
    anyObserved = true;
    if (!observed->m_autoYScale || observed->m_yScale == 0.0) continue;
    const double u = observed->GetMaxIntensityInRange(0.0, 0.0) / observed->m_yScale;
    if (u > 0.0) observed->m_yScale = m / u;
  }
  // Only a non-zero maximum is a reference to scale to.
  if (anyObserved) m_settings.m_visibleYMax = m;
}

void CQlwDoc::RecomputeAllPatterns(bool autoscale, bool fitToData, bool plotHint) {
  UpdateDataRange();
  for (const CQLPatternPtr& p : m_patterns)
    if (InView(*p)) p->ApplySettings(m_settings);
  RememberHiddenPatterns();
  if (autoscale && HasShownPatterns()) {
    if (fitToData)
      FitPlotToPatterns();
    else
      Autoscale(false);
  }
  if (plotHint)
    PlotHint();
  else
    SetModifiedFlag(TRUE);
}

void CQlwDoc::RecomputeHintedPatterns(bool onlySelected, bool withReflexions) {
  // Without a selection to follow, each pattern in view is recomputed whole, a mixture with its
  // hidden components.
  CQLPatternList patterns;
  if (onlySelected)
    patterns = CollectPatterns(m_patterns, true, true, false);
  else
    for (const CQLPatternPtr& p : m_patterns)
      if (InView(*p)) patterns.push_back(p);
  if (!onlySelected) RememberHiddenPatterns();
  for (const CQLPatternPtr& p : patterns) p->Recompute(m_settings);
  if (patterns.empty()) return;
  // A component recomputed alone, as a selected one is, leaves its mixture's sum behind.
  ClearMixturesHolding(m_patterns, patterns);
  if (withReflexions) {
    RefreshReflexionPositions();
    PlotHint();
  }
  CUpdateHint recomputed(kHintPatternsRecomputed, this);
  DispatchUpdateHint(recomputed);
  PlotHint();
}

void CQlwDoc::RefreshReflexionPositions() {
  CQLPatternList crystals;
  CollectCrystalsInView(m_patterns, false, crystals);
  RememberHiddenPatterns();
  for (const CQLPatternPtr& p : crystals) {
    p->GetCrystal()->ComputeReflexionPositions(m_settings);
    p->ClearProfile();
  }
  ClearMixturesHolding(m_patterns, crystals);
}

void CQlwDoc::RememberHiddenPatterns() {
  for (const CQLPatternPtr& p : m_patterns) {
    if (InView(*p)) continue;
    const bool known = std::any_of(m_passedWhileHidden.begin(), m_passedWhileHidden.end(),
                                   [&](const std::weak_ptr<CQLPattern>& w) { return w.lock() == p; });
    if (!known) m_passedWhileHidden.push_back(p);
  }
}

bool CQlwDoc::ApplySettingsToPatternsBackInView() {
  // A pattern hidden through a change of settings would otherwise come back with the curve of the
  // old ones (an X-ray curve under neutrons, a 2θ curve on an energy axis).
  bool any = false;
  std::vector<std::weak_ptr<CQLPattern>> still;
  for (const std::weak_ptr<CQLPattern>& w : m_passedWhileHidden) {
    const CQLPatternPtr p = w.lock();
    if (!p || std::find(m_patterns.begin(), m_patterns.end(), p) == m_patterns.end()) continue;
    if (!InView(*p)) {
      still.push_back(w);
      continue;
    }
    p->ApplySettings(m_settings);
    any = true;
  }
  m_passedWhileHidden.swap(still);
  return any;
}
