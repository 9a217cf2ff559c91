// The crystal pattern: profile, overlay curves and peak labels.
#include "QLCrystalPattern.h"

#include "EngineConstants.h"
#include "PeakProfile.h"
#include "ReflexionText.h"
#include "Status.h"
#include "VectorMath.h"

#include <algorithm>
#include <cmath>
#if defined(__x86_64__) || defined(__i386__)
#endif
#include <memory>
#include <vector>

using namespace QLEngineConstants;

namespace {
constexpr UINT kIdsNewCrystal = 2105;
constexpr UINT kIdsLabelSeparator = 2311;
constexpr UINT kIdsGeneratingProfile = 3707;
// A delta peak is drawn as a triangle this many grid steps wide on each side.
constexpr double kDeltaWidthInSteps = 9.0;

// Values every peak of one profile shares.
struct ProfileGrid
{
    std::int32_t count = 0;     // points N
    double xMin = 0.0;
    double step = 0.0;          // s
    std::int32_t shape = 0;     // profile type
    double eta = 0.0;
    double cutOff = 0.0;        // k, in half widths
    bool doublet = false;
    double lambda2 = 0.0;       // Å
    double weight1 = 1.0;       // a1
    double weight2 = 0.0;       // a2
};

ProfileGrid MakeGrid(const CDiffractionSettings& settings)
{
    ProfileGrid g;
    g.count = static_cast<std::int32_t>(settings.m_numProfilePoints);
    g.xMin = settings.m_defaultXMin;
    g.step = g.count > 0 ? (settings.m_defaultXMax - settings.m_defaultXMin) / g.count : 0.0;
    g.shape = settings.m_profileType;
    g.eta = settings.m_eta;
    g.cutOff = PeakCutOff(g.shape, g.eta);
    // The second wavelength splits a peak only on the 2θ axis; in the other units both lines
    // of one reflexion fall on the same position, where the doublet is the single peak.
    g.doublet = settings.m_simulationType == LXTypes::kSimXRays && !settings.m_monochromatic &&
                settings.m_axisType == LXTypes::kAxis2Theta;
    g.lambda2 = settings.m_lambda2;
    const double r = settings.m_lambdaRatio;
    g.weight1 = r / (r + 1.0);
    g.weight2 = 1.0 / (r + 1.0);
    return g;
}

// The position of a reflexion's second line, when the doublet applies and the line exists.
bool SecondPeakPosition(const ProfileGrid& g, double d, double& c2)
{
    if (!g.doublet) return false;
    const double v = g.lambda2 * 0.5 / d;
    if (!(v >= -1.0 && v <= 1.0)) return false;
    c2 = 2.0 * std::asin(v) * kRadToDeg;
    return true;
}

// The grid points [first, last) whose x lies within [lo, hi]. The index is estimated from the
// step, then settled on the points' own x, which the grid accumulates step by step.
void PointsWithin(const ProfileGrid& g, const std::vector<double>& xs, double lo, double hi, std::int64_t& first,
                  std::int64_t& last)
{
    first = last = 0;
    if (!(lo <= hi)) return;
    const double n = g.count;
    first = static_cast<std::int64_t>(std::clamp(std::ceil((lo - g.xMin) / g.step), 0.0, n));
    last = static_cast<std::int64_t>(std::clamp(std::floor((hi - g.xMin) / g.step) + 1.0, 0.0, n));
    while (first > 0 && xs[size_t(first - 1)] >= lo) --first;
    while (first < g.count && xs[size_t(first)] < lo) ++first;
    while (last < g.count && xs[size_t(last)] <= hi) ++last;
    while (last > 0 && xs[size_t(last - 1)] > hi) --last;
}

// One reflexion's contribution: its lines and the grid points [i0, i1) it is summed over.
struct PeakTerm
{
    double c = 0.0, c2 = 0.0, w = 0.0, intensity = 0.0;
    bool second = false;
    std::int64_t i0 = 0, i1 = 0;
};

std::vector<PeakTerm> CollectPeakTerms(const ProfileGrid& g, const std::vector<std::shared_ptr<CQLReflexion>>& list,
                                       const std::vector<double>& xs)
{
    std::vector<PeakTerm> terms;
    terms.reserve(list.size());
    for (const auto& refl : list) {
        PeakTerm t;
        t.c = refl->x;
        t.intensity = refl->intensity;
        t.w = g.shape == LXTypes::kProfileDelta ? kDeltaWidthInSteps * g.step : refl->width;
        // Without a width a peak has no points; the Lorentzian of width 0 would be NaN off centre.
        if (std::isnan(t.c) || !(t.w > 0.0)) continue;
        t.second = SecondPeakPosition(g, refl->d, t.c2);
        // The second line may lie on either side of the first (a shorter second wavelength).
        const double lower = t.second ? std::min(t.c, t.c2) : t.c;
        const double upper = t.second ? std::max(t.c, t.c2) : t.c;
        // Exactly the points within the cut-off of either line.
        PointsWithin(g, xs, lower - g.cutOff * t.w, upper + g.cutOff * t.w, t.i0, t.i1);
        if (t.i0 < t.i1) terms.push_back(t);
    }
    return terms;
}

// Points per block: a block's values and scratch stay in the first-level cache.
constexpr std::int64_t kBlockPoints = 1024;
// Peak values below which one thread is kept (some 40 ms of work): on a busy machine waking
// threads for less can cost more than they save.
constexpr std::int64_t kParallelPoints = 8000000;

// Adds every term's peak to ys[first, last), term by term in list order, so each point's sum
// is the same whatever the blocks.
void AddPeaksToBlock(const ProfileGrid& g, const std::vector<PeakTerm>& terms, const std::int32_t* which,
                     size_t count, const double* xs, double* ys, std::int64_t first, std::int64_t last)
{
    ClearUpperVectorState();
    double f1[kBlockPoints], f2[kBlockPoints];
    for (size_t k = 0; k < count; ++k) {
        const PeakTerm& t = terms[size_t(which[k])];
        const std::int64_t a = std::max(t.i0, first), b = std::min(t.i1, last);
        if (a >= b) continue;
        const size_t m = size_t(b - a);
        const double* x = xs + a;
        double* y = ys + a;
        PeakShapeValues(g.shape, x, m, t.c, t.w, g.eta, f1);
        const double intensity = t.intensity;
        if (t.second) {
            PeakShapeValues(g.shape, x, m, t.c2, t.w, g.eta, f2);
            for (size_t i = 0; i < m; ++i) y[i] += f1[i] * intensity * g.weight1 + f2[i] * intensity * g.weight2;
        } else {
            for (size_t i = 0; i < m; ++i) y[i] += f1[i] * intensity;
        }
    }
}

// The sum of all peaks over the grid, block by block; a block sees only the terms that reach it.
void SumPeaks(const ProfileGrid& g, const std::vector<PeakTerm>& terms, const std::vector<double>& xs,
              std::vector<double>& ys)
{
    const std::int64_t points = std::int64_t(xs.size());
    const std::int64_t blocks = (points + kBlockPoints - 1) / kBlockPoints;
    // Terms by block in list order, as offsets into one array.
    std::vector<std::int64_t> start(size_t(blocks) + 1, 0);
    for (const PeakTerm& t : terms)
        for (std::int64_t b = t.i0 / kBlockPoints; b <= (t.i1 - 1) / kBlockPoints; ++b) ++start[size_t(b) + 1];
    for (std::int64_t b = 0; b < blocks; ++b) start[size_t(b) + 1] += start[size_t(b)];
    std::vector<std::int32_t> which(size_t(start.back()));
    std::vector<std::int64_t> fill(start.begin(), start.end() - 1);
    for (size_t k = 0; k < terms.size(); ++k) {
        const PeakTerm& t = terms[k];
        for (std::int64_t b = t.i0 / kBlockPoints; b <= (t.i1 - 1) / kBlockPoints; ++b)
            which[size_t(fill[size_t(b)]++)] = std::int32_t(k);
    }
    std::int64_t values = 0;
    for (const PeakTerm& t : terms) values += (t.i1 - t.i0) * (t.second ? 2 : 1);
    const bool parallel = values > kParallelPoints;
    // Blocks are apart, so threads share no point and every point keeps its order of terms.
#pragma omp parallel for schedule(dynamic, 1) if (parallel)
    for (std::int64_t b = 0; b < blocks; ++b) {
        const std::int64_t first = b * kBlockPoints, last = std::min(points, first + kBlockPoints);
        AddPeaksToBlock(g, terms, which.data() + start[size_t(b)], size_t(start[size_t(b) + 1] - start[size_t(b)]),
                        xs.data(), ys.data(), first, last);
    }
}
}  // namespace

CQLCrystalPattern::CQLCrystalPattern(bool factoryDefaults) : CQLPattern(factoryDefaults), m_crystal(factoryDefaults)
{
    StartLabels(factoryDefaults, true, false);
    m_title.LoadString(kIdsNewCrystal);
}

CQLPatternPtr CQLCrystalPattern::Clone() const
{
    return std::make_shared<CQLCrystalPattern>(*this);
}

void CQLCrystalPattern::AssignKindFields(const CQLPattern& from)
{
    const auto& other = static_cast<const CQLCrystalPattern&>(from);
    m_crystal.CopyFrom(other.m_crystal);
    m_showOverlay = other.m_showOverlay;
    m_overlayColor = other.m_overlayColor;
    m_overlayLineStyle = other.m_overlayLineStyle;
    m_overlayLineWidth = other.m_overlayLineWidth;
}

void CQLCrystalPattern::Recompute(const CDiffractionSettings& settings)
{
    m_crystal.Recompute(settings);
}

void CQLCrystalPattern::ApplySettings(const CDiffractionSettings& settings)
{
    m_crystal.Recompute(settings);
    CQLPattern::ApplySettings(settings);
}

bool CQLCrystalPattern::HasData() const
{
    return m_settingsPending == 0 && !m_crystal.m_reflexions.empty();
}

double CQLCrystalPattern::GetDefaultAxisMaximum(LXTypes::QLAxisType unit) const
{
    double max = 0.0;
    ::GetDefaultAxisMaximum(unit, nullptr, &max);
    return max;
}

void CQLCrystalPattern::ComputeProfile(const CDiffractionSettings& settings)
{
    if (!m_profile.empty() || m_crystal.m_reflexions.empty()) return;
    CStatus status(kIdsGeneratingProfile, m_title);
    m_crystal.UpdatePeakWidths(settings);

    const ProfileGrid g = MakeGrid(settings);
    if (g.count < 1) return;
    CQLProfile grid;
    grid.reserve(static_cast<size_t>(g.count));
    double x = g.xMin;
    for (std::int32_t i = 0; i < g.count; ++i, x += g.step) grid.push_back({x, 0.0});

    if (g.step > 0.0 && std::isfinite(g.step)) {
        std::vector<double> xs(grid.size()), ys(grid.size(), 0.0);
        for (size_t i = 0; i < grid.size(); ++i) xs[i] = grid[i].x;
        SumPeaks(g, CollectPeakTerms(g, m_crystal.m_reflexions, xs), xs, ys);
        for (size_t i = 0; i < grid.size(); ++i) grid[i].y = ys[i];
    }
    m_profile = std::move(grid);
}

std::vector<CQLProfile> CQLCrystalPattern::ComputePeakCurves(const CDiffractionSettings& settings) const
{
    std::vector<CQLProfile> curves;
    const ProfileGrid g = MakeGrid(settings);
    if (!(g.step > 0.0) || !std::isfinite(g.step)) return curves;
    const double k = g.cutOff;
    const double lo = settings.m_visibleXMin - m_crystal.PeakWidthAt(settings, settings.m_visibleXMin) * k;
    const double hi = settings.m_visibleXMax + m_crystal.PeakWidthAt(settings, settings.m_visibleXMax) * k;

    for (const auto& refl : m_crystal.m_reflexions) {
        const double c = refl->x;
        if (!(c >= lo && c <= hi)) continue;
        const double intensity = refl->intensity;
        // A delta curve spans the reflexion's width with a triangle one grid step wide at its line.
        const double w = refl->width;
        const double shapeWidth = g.shape == LXTypes::kProfileDelta ? g.step : w;
        double c2 = 0.0;
        const bool second = SecondPeakPosition(g, refl->d, c2);
        // The curve spans both lines of a doublet, as the profile does, not the first line alone.
        const double lower = second ? std::min(c, c2) : c;
        const double upper = second ? std::max(c, c2) : c;
        CQLProfile curve;
        // Every step from the lower cut-off up to and including the upper one.
        const double n = std::trunc((upper - lower + 2.0 * k * w) / g.step) + 1.0;
        if (std::isfinite(n) && n > 0.0) {
            // A curve never needs more points than the whole grid.
            const auto count = static_cast<size_t>(std::min(n, double(g.count)));
            curve.reserve(count);
            double x = lower - k * w;
            for (size_t i = 0; i < count; ++i, x += g.step) {
                double y = PeakShapeValue(g.shape, x, c, shapeWidth, g.eta) * intensity;
                if (second) y = y * g.weight1 + PeakShapeValue(g.shape, x, c2, w, g.eta) * intensity * g.weight2;
                curve.push_back({x, y});
            }
        }
        curves.push_back(std::move(curve));
    }
    return curves;
}

void CQLCrystalPattern::CollectPeaks(double xMin, double xMax, CQLPeakLabelList& list) const
{
    list.clear();
    if (!m_showLabels || m_crystal.m_reflexions.empty()) return;
    const double threshold = m_labelThreshold * 0.01;
    CString separator;
    separator.LoadString(kIdsLabelSeparator);

    for (const auto& refl : m_crystal.m_reflexions) {
        if (refl->x < xMin - m_xOffset || refl->x > xMax - m_xOffset) continue;
        if (!(refl->relativeIntensity > threshold)) continue;
        CString text;
        bool first = true;
        auto add = [&](const CString& part) {
            if (!first) text += separator;
            text += part;
            first = false;
        };
        if (m_labelPhaseName) add(m_title);
        if (m_labelHKL) add(QLReflexionText::FormatHKL(refl->h, refl->k, refl->l));
        if (m_labelDSpacing) add(QLReflexionText::FormatDSpacing(refl->d));
        if (m_labelXUnits) add(QLReflexionText::FormatPosition(refl->x));
        if (m_labelRelIntensity) add(QLReflexionText::FormatIntensity(*refl, 0.0));
        CQLPeakLabel label;
        label.pattern = this;
        label.x = refl->x + m_xOffset;
        label.y = GetIntensityAt(label.x);
        label.text = text;
        list.push_back(std::move(label));
    }
}
