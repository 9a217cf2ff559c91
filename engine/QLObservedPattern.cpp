// The observed pattern: smoothing, the Bézier background, subtraction and resampling.
#include "QLObservedPattern.h"

#include "Preferences.h"
#include "Status.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr UINT kIdsNewData = 2108;
constexpr UINT kIdsSmoothingSuffix = 2110;
constexpr UINT kIdsBackgroundSuffix = 2111;
constexpr UINT kIdsGeneratingAuxiliaryPoints = 3705;
// Axis minimum of a pattern without points.
constexpr double kEmptyAxisMinimum = 999.9;
// Samples per Bézier segment after its start point; the last one is the segment's end point.
constexpr int kSegmentSamples = 101;
constexpr double kSegmentStep = 0.009900990099009901;  // 1/101
// Below this many samples the chain is sampled on the calling thread alone.
constexpr std::int64_t kParallelSamples = 20000;

CQLProfilePoint BezierPoint(const CQLControlPoint& from, const CQLControlPoint& to, double t)
{
    const double u = 1.0 - t;
    const double b0 = u * u * u, b1 = 3.0 * u * u * t, b2 = 3.0 * u * t * t, b3 = t * t * t;
    return {b0 * from.x + b1 * from.rightX + b2 * to.leftX + b3 * to.x,
            b0 * from.y + b1 * from.rightY + b2 * to.leftY + b3 * to.y};
}

CQLControlPoint MakeControlPoint(double x, double y, double handle, CQLObservedPattern* owner)
{
    CQLControlPoint c;
    c.x = x;
    c.y = y;
    c.leftX = x - handle;
    c.leftY = y;
    c.rightX = x + handle;
    c.rightY = y;
    c.owner = owner;
    return c;
}
}  // namespace

CQLObservedPattern::CQLObservedPattern(bool factoryDefaults) : CQLPattern(factoryDefaults)
{
    if (!factoryDefaults && g_pPreferences) {
        m_autoYScale = g_pPreferences->m_ObservedAutoSetYScale.Get() ? 1 : 0;
        m_backgroundStyle.color = g_pPreferences->m_BackgroundColor.Get().GetValue();
    }
    m_title.LoadString(kIdsNewData);
}

CQLObservedPattern::CQLObservedPattern(CQLProfile points, bool factoryDefaults) : CQLObservedPattern(factoryDefaults)
{
    m_profile = std::move(points);
}

CQLObservedPattern::CQLObservedPattern(const CQLObservedPattern& other) : CQLPattern(other)
{
    AssignKindFields(other);
}

CQLPatternPtr CQLObservedPattern::Clone() const
{
    return std::make_shared<CQLObservedPattern>(*this);
}

void CQLObservedPattern::AssignKindFields(const CQLPattern& from)
{
    const auto& other = static_cast<const CQLObservedPattern&>(from);
    m_autoYScale = other.m_autoYScale;
    m_smoothing = other.m_smoothing;
    m_overlaySmoothed = other.m_overlaySmoothed;
    m_smoothingPoints = other.m_smoothingPoints;
    m_smoothedStyle = other.m_smoothedStyle;
    m_subtractBackground = other.m_subtractBackground;
    m_previewSubtraction = other.m_previewSubtraction;
    m_controlPoints = other.m_controlPoints;
    m_backgroundCurve = other.m_backgroundCurve;
    m_backgroundStyle = other.m_backgroundStyle;
    m_extraStyle = other.m_extraStyle;
    m_smoothedCurve = other.m_smoothedCurve;
    m_processedCurve = other.m_processedCurve;
    m_interpolatedCurve = other.m_interpolatedCurve;
    m_interpolatedGrid = other.m_interpolatedGrid;
    m_handleFraction = other.m_handleFraction;
    m_backgroundMonotone = other.m_backgroundMonotone;
    AdoptControlPoints();
}

void CQLObservedPattern::AdoptControlPoints()
{
    // A copied node must not point back at the pattern it was copied from.
    for (CQLControlPoint& c : m_controlPoints) c.owner = this;
}

CQLProfile& CQLObservedPattern::GetProfile(bool raw)
{
    if (raw) return m_profile;
    if (m_subtractBackground && !m_controlPoints.empty() && !m_processedCurve.empty()) return m_processedCurve;
    if (m_smoothing && !m_overlaySmoothed && !m_smoothedCurve.empty()) return m_smoothedCurve;
    return m_profile;
}

const CQLProfile& CQLObservedPattern::GetComputedProfile(const CDiffractionSettings& settings)
{
    const auto count = static_cast<std::int32_t>(settings.m_numProfilePoints);
    const InterpolationGrid grid{count, settings.m_defaultXMin, settings.m_defaultXMax, m_xOffset};
    // A curve made for another grid or offset would be summed point by point against the wrong x.
    if (!m_interpolatedCurve.empty() && !(grid == m_interpolatedGrid)) m_interpolatedCurve.clear();
    if (!m_interpolatedCurve.empty()) return m_interpolatedCurve;

    const CQLProfile& p = GetProfile(false);
    if (p.size() < 2 || count < 1) return m_interpolatedCurve;
    CStatus status(kIdsGeneratingAuxiliaryPoints, m_title);
    CQLProfile shifted(p);
    for (CQLProfilePoint& q : shifted) q.x += m_xOffset;

    const double step = (settings.m_defaultXMax - settings.m_defaultXMin) / count;
    const double first = shifted.front().x;
    const double last = shifted.back().x;
    m_interpolatedCurve.reserve(static_cast<size_t>(count));
    size_t above = 0;  // first point with x above the grid x, found onward from the last find
    for (std::int32_t i = 0; i < count; ++i) {
        const double x = settings.m_defaultXMin + i * step;
        double y = 0.0;
        if (first <= x && x <= last) {
            while (above < shifted.size() && shifted[above].x <= x) ++above;
            if (above == shifted.size()) {
                y = shifted.back().y;  // x is the last point's own
            } else {
                const CQLProfilePoint& a = shifted[above - 1];
                const CQLProfilePoint& b = shifted[above];
                y = a.y + (x - a.x) / (b.x - a.x) * (b.y - a.y);
            }
        }
        m_interpolatedCurve.push_back({x, y});
    }
    m_interpolatedGrid = grid;
    return m_interpolatedCurve;
}

void CQLObservedPattern::GetLegendText(CString& out) const
{
    CQLPattern::GetLegendText(out);
    CString suffix;
    if (m_smoothing && !m_smoothedCurve.empty() && !m_overlaySmoothed) {
        suffix.LoadString(kIdsSmoothingSuffix);
        out += suffix;
    }
    if (m_subtractBackground && !m_controlPoints.empty() && !m_previewSubtraction) {
        suffix.LoadString(kIdsBackgroundSuffix);
        out += suffix;
    }
}

double CQLObservedPattern::GetDefaultAxisMinimum(LXTypes::QLAxisType /*unit*/) const
{
    double v = kEmptyAxisMinimum;
    for (const CQLProfilePoint& p : m_profile) v = std::min(v, p.x);
    return m_profile.empty() ? kEmptyAxisMinimum : v;
}

double CQLObservedPattern::GetDefaultAxisMaximum(LXTypes::QLAxisType /*unit*/) const
{
    double v = 0.0;
    for (const CQLProfilePoint& p : m_profile) v = std::max(v, p.x);
    return v;
}

void CQLObservedPattern::AddBackgroundCurve()
{
    if (m_profile.size() < 2 || !(m_profile.back().x > m_profile.front().x)) return;
    const double first = m_profile.front().x;
    const double last = m_profile.back().x;
    double low = m_profile.front().y;
    for (const CQLProfilePoint& p : m_profile) low = std::min(low, p.y);
    const double handle = (last - first) * m_handleFraction;
    m_controlPoints = {MakeControlPoint(first, low, handle, this), MakeControlPoint(last, low, handle, this)};
    ComputeBackgroundCurve();
}

void CQLObservedPattern::AddBackgroundPoint()
{
    if (m_controlPoints.size() < 2 || m_backgroundCurve.empty()) return;
    const size_t n = m_controlPoints.size();
    const double first = m_controlPoints.front().x;
    const double last = m_controlPoints.back().x;
    const double span = last - first;
    const double oldLastY = m_controlPoints.back().y;
    // Spread the nodes from n to n + 1 even intervals, making room at the right end.
    const double move = span / double(n - 1) - span / double(n);
    for (size_t k = 1; k < n; ++k) {
        CQLControlPoint& c = m_controlPoints[k];
        const double x = std::clamp(c.x - double(k) * move, std::min(first, last), std::max(first, last));
        const double delta = x - c.x;
        c.x = x;
        c.leftX += delta;
        c.rightX += delta;
    }
    m_controlPoints.push_back(MakeControlPoint(last, oldLastY, span * m_handleFraction, this));
    ComputeBackgroundCurve();
}

void CQLObservedPattern::RemoveBackgroundPoint()
{
    if (!m_controlPoints.empty()) {
        auto it = std::find_if(m_controlPoints.begin(), m_controlPoints.end(),
                               [](const CQLControlPoint& c) { return c.IsFlagged(); });
        if (it == m_controlPoints.end()) it = m_controlPoints.end() - 1;
        m_controlPoints.erase(it);
    }
    if (m_controlPoints.size() >= 2)
        ComputeBackgroundCurve();
    else
        RemoveBackgroundCurve();
}

void CQLObservedPattern::RemoveBackgroundCurve()
{
    m_controlPoints.clear();
    m_backgroundCurve.clear();
    m_processedCurve.clear();
}

void CQLObservedPattern::ComputeBackgroundCurve()
{
    if (m_controlPoints.empty()) return;
    const std::int64_t segments = std::int64_t(m_controlPoints.size()) - 1;
    m_backgroundCurve.assign(size_t(kSegmentSamples * segments + 1), CQLProfilePoint{});
    m_backgroundCurve[0] = {m_controlPoints[0].x, m_controlPoints[0].y};
    const std::vector<CQLControlPoint>& nodes = m_controlPoints;
    CQLProfile& curve = m_backgroundCurve;
    // Every sample is written to its own index from the nodes alone; a segment is one chunk.
#pragma omp parallel for schedule(dynamic, 1) if (segments * kSegmentSamples >= kParallelSamples)
    for (std::int64_t i = 1; i <= segments; ++i) {
        for (int j = 0; j < kSegmentSamples; ++j) {
            const CQLControlPoint& from = nodes[size_t(i - 1)];
            const CQLControlPoint& to = nodes[size_t(i)];
            const size_t index = size_t(kSegmentSamples * i - (kSegmentSamples - 1) + j);
            curve[index] = j + 1 < kSegmentSamples ? BezierPoint(from, to, (j + 1) * kSegmentStep)
                                                   : CQLProfilePoint{to.x, to.y};
        }
    }
    m_backgroundMonotone = std::is_sorted(curve.begin(), curve.end(),
                                          [](const CQLProfilePoint& a, const CQLProfilePoint& b) { return a.x < b.x; });

    const CQLProfile& source = (!m_overlaySmoothed && m_smoothing) ? m_smoothedCurve : m_profile;
    m_processedCurve.clear();
    m_processedCurve.reserve(source.size());
    size_t hint = 0;
    for (const CQLProfilePoint& p : source) m_processedCurve.push_back({p.x, p.y - BackgroundAt(p.x, hint)});
    m_interpolatedCurve.clear();
}

void CQLObservedPattern::ReplacePoints(const CQLProfile& points)
{
    m_profile = points;
    m_smoothedCurve.clear();
    m_processedCurve.clear();
    m_interpolatedCurve.clear();
    m_interpolatedGrid = InterpolationGrid{};
    ComputeSmoothedCurve();
    // Too few points to smooth return early, before the background is subtracted anew.
    if (m_smoothedCurve.empty()) ComputeBackgroundCurve();
}

void CQLObservedPattern::ComputeSmoothedCurve()
{
    const std::int64_t m = m_smoothingPoints;
    const std::int64_t n = std::int64_t(m_profile.size());
    if (m < 1 || m > n / 3) {
        m_smoothedCurve.clear();
        return;
    }
    ComputeBackgroundCurve();
    const bool subtract = m_subtractBackground && !m_backgroundCurve.empty() && m_overlaySmoothed;
    m_smoothedCurve.clear();
    m_smoothedCurve.reserve(size_t(n - 2 * m));
    const double norm = double(m + 1);
    size_t hint = 0;
    for (std::int64_t i = m; i <= n - m - 1; ++i) {
        double sum = 0.0;
        for (std::int64_t q = -m; q <= m; ++q) sum += (1.0 - double(std::llabs(q)) / norm) * m_profile[size_t(i + q)].y;
        const double x = m_profile[size_t(i)].x;
        double y = sum / norm;
        if (subtract) y -= BackgroundAt(x, hint);
        m_smoothedCurve.push_back({x, y});
    }
    m_interpolatedCurve.clear();
    ComputeBackgroundCurve();
}

double CQLObservedPattern::GetBackgroundAt(double x) const
{
    size_t hint = 0;
    return BackgroundAt(x, hint);
}

double CQLObservedPattern::BackgroundAt(double x, size_t& hint) const
{
    if (m_controlPoints.empty() || m_backgroundCurve.empty()) return 0.0;
    if (x < m_controlPoints.front().x || x > m_controlPoints.back().x) return 0.0;
    const CQLProfile& c = m_backgroundCurve;
    size_t atOrAbove;
    if (m_backgroundMonotone) {
        atOrAbove = size_t(std::lower_bound(c.begin(), c.end(), x,
                                            [](const CQLProfilePoint& p, double v) { return p.x < v; }) -
                           c.begin());
    } else {
        // The first point at or above x never moves back while x grows, so a rising series of
        // look-ups walks the chain once.
        if (hint > c.size() || (hint > 0 && !(c[hint - 1].x < x))) hint = 0;
        atOrAbove = hint;
        while (atOrAbove < c.size() && c[atOrAbove].x < x) ++atOrAbove;
        hint = atOrAbove;
    }
    if (atOrAbove == c.size()) return 0.0;
    if (atOrAbove == 0) return c[0].y;  // x is the chain's first point
    const CQLProfilePoint& a = c[atOrAbove - 1];
    const CQLProfilePoint& b = c[atOrAbove];
    if (a.x == b.x) return 0.0;
    return a.y + (x - a.x) / (b.x - a.x) * (b.y - a.y);
}

void CQLObservedPattern::ScaleX(double factor)
{
    for (CQLProfilePoint& p : m_profile) p.x *= factor;
    m_smoothedCurve.clear();
    m_processedCurve.clear();
    m_interpolatedCurve.clear();
}
