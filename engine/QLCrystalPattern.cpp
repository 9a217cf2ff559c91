// The crystal pattern: profile, overlay curves and peak labels.
#include "QLCrystalPattern.h"

#include "EngineConstants.h"
#include "PeakProfile.h"
#include "ReflexionText.h"
#include "Status.h"

#include <algorithm>
#include <cmath>

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

// trunc of a grid index, kept inside [lo, hi] before it becomes an integer.
std::int64_t ClampedIndex(double v, double lo, double hi)
{
    return static_cast<std::int64_t>(std::clamp(std::trunc(v), lo, hi));
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
        const double n = g.count;
        for (const auto& refl : m_crystal.m_reflexions) {
            const double c = refl->x;
            const double intensity = refl->intensity;
            const double w = g.shape == LXTypes::kProfileDelta ? kDeltaWidthInSteps * g.step : refl->width;
            // Without a width a peak has no points; the Lorentzian of width 0 would be NaN off centre.
            if (std::isnan(c) || !(w > 0.0)) continue;
            double c2 = 0.0;
            const bool second = SecondPeakPosition(g, refl->d, c2);
            // The second line may lie on either side of the first (a shorter second wavelength).
            const double lower = second ? std::min(c, c2) : c;
            const double upper = second ? std::max(c, c2) : c;
            const double hi = upper + g.cutOff * w;
            const std::int64_t i0 = ClampedIndex((lower - g.cutOff * w - g.xMin) / g.step, 0.0, n);
            std::int64_t i1 = ClampedIndex((hi - g.xMin) / g.step, -1.0, n);
            if (i1 >= g.count) i1 = g.count - 1;
            for (std::int64_t i = i0; i < i1; ++i) {
                CQLProfilePoint& p = grid[static_cast<size_t>(i)];
                if (second)
                    p.y += PeakShapeValue(g.shape, p.x, c, w, g.eta) * intensity * g.weight1 +
                           PeakShapeValue(g.shape, p.x, c2, w, g.eta) * intensity * g.weight2;
                else
                    p.y += PeakShapeValue(g.shape, p.x, c, w, g.eta) * intensity;
            }
        }
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
        // A delta peak has no width of its own; its curve is the triangle the profile sums.
        const double w = g.shape == LXTypes::kProfileDelta ? kDeltaWidthInSteps * g.step : refl->width;
        double c2 = 0.0;
        const bool second = SecondPeakPosition(g, refl->d, c2);
        // The curve spans both lines of a doublet, as the profile does, not the first line alone.
        const double lower = second ? std::min(c, c2) : c;
        const double upper = second ? std::max(c, c2) : c;
        CQLProfile curve;
        const double n = std::trunc((upper - lower + 2.0 * k * w) / g.step);
        if (std::isfinite(n) && n > 0.0) {
            // A curve never needs more points than the whole grid.
            const auto count = static_cast<size_t>(std::min(n, double(g.count)));
            curve.reserve(count);
            double x = lower - k * w;
            for (size_t i = 0; i < count; ++i, x += g.step) {
                double y = PeakShapeValue(g.shape, x, c, w, g.eta) * intensity;
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
