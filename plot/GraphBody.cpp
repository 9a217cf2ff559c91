// The curves: pattern profiles with fill and markers, peak curves, the observed pattern's
// smoothed and background curves and its background nodes; the node editing operations.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "LXShapes.h"
#include "QLCrystalPattern.h"
#include "QLObservedPattern.h"
#include "Resources.h"

#include <algorithm>
#include <future>

#include <cmath>

namespace {
const float kCos45 = float(std::cos(M_PI / 4));
const float kCos30 = float(std::cos(M_PI / 6));

std::uint32_t Opaque(std::uint32_t colour) { return colour | 0xFF000000u; }

std::unique_ptr<Gdiplus::Pen> CurvePen(std::uint32_t colour, std::uint32_t lineStyle, float width)
{
    auto pen = std::make_unique<Gdiplus::Pen>(Gdiplus::Color(colour), width);
    pen->SetAlignment(Gdiplus::PenAlignmentInset);
    pen->SetDashStyle(LineStyleToDashStyle(lineStyle));
    // A mitred join overshoots a sharp peak by several line widths.
    pen->SetLineJoin(Gdiplus::LineJoinRound);
    return pen;
}

// A line through many points in one pixel column covers no more than the line through the
// first, the lowest, the highest and the last of them, in their order: the rest are dropped.
void KeepColumnExtremes(std::vector<Gdiplus::PointF>& points)
{
    const size_t n = points.size();
    size_t out = 0;
    for (size_t i = 0; i < n;) {
        const float column = std::floor(points[i].X);
        size_t j = i + 1, low = i, high = i;
        for (; j < n && std::floor(points[j].X) == column; ++j) {
            if (points[j].Y < points[low].Y) low = j;
            if (points[j].Y > points[high].Y) high = j;
        }
        if (j - i <= 4) {
            for (size_t k = i; k < j; ++k) points[out++] = points[k];
        } else {
            size_t keep[4] = {i, std::min(low, high), std::max(low, high), j - 1};
            const Gdiplus::PointF kept[4] = {points[keep[0]], points[keep[1]], points[keep[2]], points[keep[3]]};
            for (int k = 0; k < 4; ++k)
                if (k == 0 || keep[k] != keep[k - 1]) points[out++] = kept[k];
        }
        i = j;
    }
    points.resize(out);
}

// Long profiles are mapped to pixels on threads of their own while what comes before them is
// drawn: mapping is pure arithmetic, drawing keeps its order.
constexpr size_t kLongProfile = 10000, kAhead = 8;
}  // namespace

std::vector<double> CGraphRenderer::MappingKey() const
{
    const CDiffractionSettings& s = *m_settings;
    const auto& r = m_plotRect.m_float;
    std::vector<double> key = {double(m_rangesValid), double(m_output), s.m_visibleXMin, s.m_visibleXMax,
                               s.m_visibleYMin, s.m_visibleYMax, double(s.m_logarithmicYAxis), r.X, r.Y, r.Width,
                               r.Height, m_xPixelsPerUnit, m_yPixelsPerUnit};
    for (const CQLPatternPtr& p : m_drawing) {
        const CQLProfile& profile = p->GetProfile();
        key.insert(key.end(), {double(reinterpret_cast<std::uintptr_t>(profile.data())), double(profile.size()),
                               p->m_xOffset, p->PlottedY(0), p->PlottedY(1), double(p->m_markerStyle)});
    }
    return key;
}

void CGraphRenderer::MapLongProfilesAhead(size_t first)
{
    std::vector<double> key = MappingKey();
    if (!m_ahead.empty() && key == m_aheadKey) return;
    m_ahead.clear();
    m_ahead.resize(m_drawing.size());
    m_aheadKey = std::move(key);
    for (size_t i = first, started = 0; i < m_drawing.size() && started < kAhead; ++i) {
        const CQLPattern& p = *m_drawing[i];
        if (p.GetProfile().size() < kLongProfile) continue;
        const bool thin = !m_output && p.m_markerStyle == 0;
        m_ahead[i] = std::async(std::launch::async, [this, pattern = &p, thin] {
            std::vector<Gdiplus::PointF> points;
            BuildPixelPoints(*pattern, pattern->GetProfile(), points);
            if (thin) KeepColumnExtremes(points);
            return points;
        });
        ++started;
    }
}

void CGraphRenderer::DrawPatterns(bool overview)
{
    m_labelReach.clear();
    CQLPeakLabelList peaks;
    const CDiffractionSettings& s = *m_settings;
    const float markerFactor = overview ? 0.5f : 1.0f;
    struct Gathering {
        CGraphRenderer& r;
        explicit Gathering(CGraphRenderer& renderer) : r(renderer) { r.m_gathering = true; }
        ~Gathering()
        {
            r.m_gathering = false;
            r.m_gathered.clear();
        }
    } gathering(*this);
    // Mapped ahead while the frame was drawn; else now, for all but the first curve, which this
    // thread maps itself.
    MapLongProfilesAhead(1);
    std::vector<std::future<std::vector<Gdiplus::PointF>>> mapped;
    mapped.swap(m_ahead);
    m_aheadKey.clear();
    for (size_t i = 0; i < m_drawing.size(); ++i) {
        const CQLPattern& p = *m_drawing[i];
        const bool ahead = mapped[i].valid();
        std::vector<Gdiplus::PointF> ready = ahead ? mapped[i].get() : std::vector<Gdiplus::PointF>();
        DrawCurve(p, p.GetProfile(), p.m_color, p.m_lineStyle, p.m_lineWidth, p.m_markerStyle,
                  p.m_markerSize * markerFactor, p.m_fill, p.m_fillOpacity, ahead ? &ready : nullptr);
        if (const auto* crystal = dynamic_cast<const CQLCrystalPattern*>(&p))
            if (crystal->m_showOverlay) {
                StrokeGatheredLines();
                DrawPeakCurves(*crystal);
            }
        if (!overview) {
            CQLPeakLabelList collected;
            p.CollectPeaks(s.m_visibleXMin, s.m_visibleXMax, collected);
            peaks.insert(peaks.end(), collected.begin(), collected.end());
        }
        if (const auto* observed = dynamic_cast<const CQLObservedPattern*>(&p)) {
            const CQLCurveStyle& st = observed->m_smoothedStyle;
            if (observed->m_smoothing && observed->m_overlaySmoothed)
                DrawCurve(p, observed->m_smoothedCurve, Opaque(st.color), st.lineStyle, st.lineWidth, st.markerStyle,
                          st.markerSize * markerFactor, false, 0);
            // Subtracting the background hides it: the processed curve is then the pattern's own.
            if (!observed->m_controlPoints.empty() && !observed->m_subtractBackground) {
                const CQLCurveStyle& ex = observed->m_extraStyle;
                if (observed->m_previewSubtraction)
                    DrawCurve(p, observed->m_processedCurve, Opaque(ex.color), ex.lineStyle, ex.lineWidth,
                              ex.markerStyle, ex.markerSize * markerFactor, false, 0);
                const CQLCurveStyle& bg = observed->m_backgroundStyle;
                DrawCurve(p, observed->m_backgroundCurve, Opaque(bg.color), bg.lineStyle, bg.lineWidth, 0, 0, false, 0);
                if (p.IsSelected() && !overview) {
                    StrokeGatheredLines();
                    for (const CQLControlPoint& node : observed->m_controlPoints) DrawControlNode(node);
                }
            }
        }
    }
    StrokeGatheredLines();
    if (overview) return;
    DrawPeakLabels(peaks, m_plotRect, false);
    DrawLegend(CursorOn());
}

void CGraphRenderer::BuildPixelPoints(const CQLPattern& pattern, const CQLProfile& points)
{
    BuildPixelPoints(pattern, points, m_points);
}

void CGraphRenderer::BuildPixelPoints(const CQLPattern& pattern, const CQLProfile& points,
                                      std::vector<Gdiplus::PointF>& out) const
{
    out.clear();
    out.reserve(points.size());
    const CDiffractionSettings& s = *m_settings;
    const double low = s.m_visibleXMin * 0.99, high = s.m_visibleXMax * 1.01;
    const double windowMin = std::min(low, high), windowMax = std::max(low, high);
    // DataToPixel's linear mapping with its constants taken once: a call per point was most of the
    // cost. A logarithmic axis keeps the call.
    const auto& r = m_plotRect.m_float;
    const bool linear = m_rangesValid && !s.m_logarithmicYAxis;
    const double xMin = s.m_visibleXMin, yMin = s.m_visibleYMin, xScale = m_xPixelsPerUnit, yScale = m_yPixelsPerUnit;
    const double left = r.X, bottom = r.Y + r.Height;
    const double xOffset = pattern.m_xOffset, drawnScale = pattern.GetDrawnScale(), yOffset = pattern.m_yOffset;
    auto toPixel = [&](double x, double y) {
        if (!linear) return DataToPixel(x, y);
        return Gdiplus::PointF(float((x - xMin) * xScale + left), float(bottom - (y - yMin) * yScale));
    };
    // Points within a pixel of the run's mean merge into it; the run is kept as sums and compared
    // as such, so that no division stands between one point and the next.
    double sumX = 0, sumY = 0;
    int run = 0;
    const CQLProfilePoint* const end = points.data() + points.size();
    for (const CQLProfilePoint* p = points.data(); p != end; ++p) {
        // The branches below keep the processor from reading far ahead on its own.
        __builtin_prefetch(p + 64);
        const CQLProfilePoint& point = *p;
        const double x = point.x + xOffset;
        if (x < windowMin || x > windowMax) continue;
        const Gdiplus::PointF pixel = toPixel(x, point.y * drawnScale + yOffset);
        if (m_output) {
            out.push_back(pixel);
            continue;
        }
        if (run > 0 && std::fabs(double(pixel.X) * run - sumX) < run &&
            std::fabs(double(pixel.Y) * run - sumY) < run) {
            ++run;
            sumX += pixel.X;
            sumY += pixel.Y;
            continue;
        }
        if (run > 0) out.emplace_back(float(sumX / run), float(sumY / run));
        sumX = pixel.X;
        sumY = pixel.Y;
        run = 1;
    }
    if (run > 0) out.emplace_back(float(sumX / run), float(sumY / run));
}

void CGraphRenderer::DrawCurve(const CQLPattern& pattern, const CQLProfile& points, std::uint32_t colour,
                               std::uint32_t lineStyle, float lineWidth, std::uint32_t markerStyle, float markerSize,
                               bool fill, float fillOpacity, std::vector<Gdiplus::PointF>* mapped)
{
    if (mapped)
        m_points.swap(*mapped);
    else
        BuildPixelPoints(pattern, points);
    if (m_points.size() < 2) {
        m_points.clear();
        return;
    }
    // Markers stand at every point; a plain line or fill looks the same through fewer.
    if (!mapped && !m_output && markerStyle == 0) KeepColumnExtremes(m_points);
    if (m_gathering && !fill && lineStyle != 0 && markerStyle == 0) {
        m_gathered.push_back({CurvePen(colour, lineStyle, lineWidth * Scale()), {}});
        m_gathered.back().points.swap(m_points);
        return;
    }
    StrokeGatheredLines();
    const auto& r = m_plotRect.m_float;
    if (fill) {
        Gdiplus::GraphicsPath path;
        const float bottom = r.Y + r.Height;
        path.AddLine(r.X, bottom, m_points.front().X, m_points.front().Y);
        path.AddLines(m_points.data(), INT(m_points.size()));
        path.AddLine(m_points.back().X, m_points.back().Y, r.X + r.Width, bottom);
        path.CloseFigure();
        const std::uint32_t alpha = std::uint32_t(std::clamp(fillOpacity, 0.0f, 1.0f) * 255);
        Gdiplus::SolidBrush brush(Gdiplus::Color((alpha << 24) | (colour & 0xFFFFFFu)));
        m_graphics->FillPath(&brush, &path);
    }
    if (lineStyle != 0)
        m_graphics->DrawLines(CurvePen(colour, lineStyle, lineWidth * Scale()).get(), m_points.data(),
                              INT(m_points.size()));
    if (markerStyle != 0)
        for (const Gdiplus::PointF& point : m_points) DrawMarker(point, markerStyle, markerSize * Scale(), colour);
    m_points.clear();
}

void CGraphRenderer::StrokeGatheredLines()
{
    if (m_gathered.empty()) return;
    std::vector<const Gdiplus::Pen*> pens;
    std::vector<const Gdiplus::PointF*> points;
    std::vector<INT> counts;
    for (const GatheredLine& line : m_gathered) {
        pens.push_back(line.pen.get());
        points.push_back(line.points.data());
        counts.push_back(INT(line.points.size()));
    }
    m_graphics->DrawLinesEach(pens.data(), points.data(), counts.data(), INT(m_gathered.size()));
    m_gathered.clear();
}

void CGraphRenderer::DrawMarker(const Gdiplus::PointF& at, std::uint32_t style, float size, std::uint32_t colour)
{
    if (style == 0 || style > 12) return;
    Gdiplus::Pen pen(Gdiplus::Color(colour), Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    const float x = at.X, y = at.Y, s = size;
    if (style == 1) {
        m_graphics->DrawLine(&pen, x - s, y, x + s, y);
        m_graphics->DrawLine(&pen, x, y - s, x, y + s);
        return;
    }
    const float h = s * kCos45;
    if (style == 2) {
        m_graphics->DrawLine(&pen, x - h, y - h, x + h, y + h);
        m_graphics->DrawLine(&pen, x - h, y + h, x + h, y - h);
        return;
    }
    const bool solid = style >= 8;
    const std::uint32_t shape = solid ? style - 5 : style;
    Gdiplus::GraphicsPath path;
    switch (shape) {
        case 3: {
            const Gdiplus::PointF tri[3] = {{x, y - s}, {x - s * kCos30, y + s / 2}, {x + s * kCos30, y + s / 2}};
            path.AddPolygon(tri, 3);
            break;
        }
        case 4: {
            const Gdiplus::PointF tri[3] = {{x, y + s}, {x - s * kCos30, y - s / 2}, {x + s * kCos30, y - s / 2}};
            path.AddPolygon(tri, 3);
            break;
        }
        case 5: {
            const Gdiplus::PointF diamond[4] = {{x, y - s}, {x - s, y}, {x, y + s}, {x + s, y}};
            path.AddPolygon(diamond, 4);
            break;
        }
        case 6: path.AddRectangle(Gdiplus::RectF(x - h, y - h, 2 * h, 2 * h)); break;
        default: path.AddEllipse(x - h, y - h, 2 * h, 2 * h); break;
    }
    Gdiplus::SolidBrush brush(Gdiplus::Color(solid ? colour : 0xFFFDFDFDu));
    m_graphics->FillPath(&brush, &path);
    m_graphics->DrawPath(&pen, &path);
}

void CGraphRenderer::DrawPeakCurves(const CQLCrystalPattern& pattern)
{
    Gdiplus::Pen pen(Gdiplus::Color(pattern.m_overlayColor), pattern.m_overlayLineWidth * Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    pen.SetDashStyle(LineStyleToDashStyle(pattern.m_overlayLineStyle));
    pen.SetLineJoin(Gdiplus::LineJoinRound);
    for (const CQLProfile& curve : pattern.ComputePeakCurves(*m_settings)) {
        BuildPixelPoints(pattern, curve);
        if (!m_output) KeepColumnExtremes(m_points);
        if (m_points.size() >= 2) m_graphics->DrawLines(&pen, m_points.data(), INT(m_points.size()));
    }
    m_points.clear();
}

void CGraphRenderer::DrawControlNode(const CQLControlPoint& node)
{
    const CQLPattern* owner = node.owner;
    const double xOffset = owner ? owner->m_xOffset : 0;
    auto pixel = [&](double x, double y) {
        return DataToPixel(x + xOffset, owner ? owner->PlottedY(y) : y);
    };
    const Gdiplus::PointF anchor = pixel(node.x, node.y), first = pixel(node.leftX, node.leftY),
                          second = pixel(node.rightX, node.rightY);
    const float size = m_nodeSize;
    if (!node.IsFlagged()) {
        DrawMarker(anchor, 12, size, 0xFF000000u);
        DrawMarker(anchor, 12, size - 1, 0xFFFF0000u);
        return;
    }
    Gdiplus::Pen pen(Gdiplus::Color(0xFF666666u), Scale());
    m_graphics->DrawLine(&pen, first, anchor);
    m_graphics->DrawLine(&pen, anchor, second);
    DrawMarker(anchor, 7, size, 0xFFFF0000u);
    if (node.flag != 0) DrawMarker(anchor, 12, 1, 0xFF666666u);
    DrawMarker(first, 7, size, 0xFF666666u);
    DrawMarker(second, 7, size, 0xFF666666u);
    if (node.leftFlag != 0) DrawMarker(first, 12, 1, 0xFF666666u);
    if (node.rightFlag != 0) DrawMarker(second, 12, 1, 0xFF666666u);
}

void CGraphRenderer::DrawHighlightBox(const LXGraphics::CSyncRect& rect, std::uint32_t fill, std::uint32_t outline,
                                      bool highlight)
{
    if (highlight) {
        fill = LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_HIGHLIGHT).GetValue() | 0xFF000000u;
        outline = fill;
    }
    Gdiplus::Pen pen(Gdiplus::Color(outline), Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    Gdiplus::SolidBrush brush{Gdiplus::Color(fill)};
    const float radius = std::min(rect.m_float.Width, rect.m_float.Height) / 2;
    Gdiplus::GraphicsPath path;
    BuildMarkerPath(path, rect, radius, false, LXGraphics::CSyncPoint());
    const Gdiplus::SmoothingMode saved = m_graphics->GetSmoothingMode();
    m_graphics->SetSmoothingMode(m_drawDpi < 300 ? Gdiplus::SmoothingModeHighQuality : Gdiplus::SmoothingModeNone);
    m_graphics->FillPath(&brush, &path);
    m_graphics->DrawPath(&pen, &path);
    m_graphics->SetSmoothingMode(saved);
}

namespace CControlNode {
namespace {
bool Inside(const LXGraphics::CSyncRect& box, double x, double y)
{
    const auto& r = box.m_float;
    const float fx = float(x), fy = float(y);
    return fx >= r.X && fx <= r.X + r.Width && fy >= r.Y && fy <= r.Y + r.Height;
}
}  // namespace

bool HitTest(CQLControlPoint& node, const LXGraphics::CSyncRect& box, bool select)
{
    if (select) node.flag = node.leftFlag = node.rightFlag = 0;
    double* flag = nullptr;
    if (Inside(box, node.x, node.y))
        flag = &node.flag;
    else if (Inside(box, node.rightX, node.rightY))
        flag = &node.rightFlag;
    else if (Inside(box, node.leftX, node.leftY))
        flag = &node.leftFlag;
    if (!flag) return false;
    if (select) *flag = 1;
    return true;
}

void MoveBy(CQLControlPoint& node, const double delta[2])
{
    if (node.flag != 0) {
        node.x += delta[0];
        node.y += delta[1];
        node.leftX += delta[0];
        node.leftY += delta[1];
        node.rightX += delta[0];
        node.rightY += delta[1];
    } else if (node.rightFlag != 0) {
        node.rightX += delta[0];
        node.rightY += delta[1];
        node.leftX = 2 * node.x - node.rightX;
        node.leftY = 2 * node.y - node.rightY;
    } else if (node.leftFlag != 0) {
        node.leftX += delta[0];
        node.leftY += delta[1];
        node.rightX = 2 * node.x - node.leftX;
        node.rightY = 2 * node.y - node.leftY;
    }
}

void MoveTo(CQLControlPoint& node, const double point[2])
{
    double delta[2] = {0, 0};
    if (node.flag != 0) {
        delta[0] = point[0] - node.x;
        delta[1] = point[1] - node.y;
    } else if (node.rightFlag != 0) {
        delta[0] = point[0] - node.rightX;
        delta[1] = point[1] - node.rightY;
    } else if (node.leftFlag != 0) {
        delta[0] = point[0] - node.leftX;
        delta[1] = point[1] - node.leftY;
    }
    MoveBy(node, delta);
}
}  // namespace CControlNode
