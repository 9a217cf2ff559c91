// The measuring ruler drawn over the plot: the shaded bar with its two holes, the baseline, the
// double tick scale with its numbers, the Δx label and, while selected, the guide lines with
// their readouts; and the zoom of the plot to the span between the measuring points.
#include "GraphRenderer.h"
#include "LXColor.h"
#include "LXGdiplus.h"
#include "LXShapes.h"
#include "LXText.h"
#include "QlwDoc.h"
#include "ToolDrawing.h"
#include "ToolRecords.h"
#include "UpdateHint.h"

#include <algorithm>
#include <cmath>

namespace {
using namespace Gdiplus;

constexpr float kHoleRadius = 10;
constexpr float kLabelPoints = 8;
constexpr float kScaleLabelInset = 13;  // 12 + 1 pixels from the bar's edge
constexpr float kTickLengths[3] = {5.6f, 8.0f, 12.0f};
constexpr ARGB kLeftColour = 0xFFAA0000u, kRightColour = 0xFF009900u, kLevelColour = 0xFF0000CCu;
constexpr int kMaxTicks = 10000;  // a guard: spacings above 2 pixels never get near it

ARGB WithAlpha(ARGB colour, std::uint32_t alpha) { return (colour & 0xFFFFFFu) | alpha << 24; }

// The guide line of a readout: paper colour underneath, then dashed in the readout's colour.
void DrawGuideLine(Graphics* graphics, const PointF& from, const PointF& to, ARGB colour, ARGB paper,
                   LXGraphics::CShadowPath* shadow, int elevation, float alpha)
{
    GraphicsPath path;
    path.AddLine(from, to);
    Pen pen(Color(paper), 1);
    if (shadow) {
        RectF bounds;
        path.GetBounds(&bounds, nullptr, &pen);
        shadow->Create(&path, &pen, false, unsigned(std::max(0, elevation - 1)), alpha);
        shadow->Draw(graphics, bounds);
    }
    CToolSmoothing smoothing(graphics, SmoothingModeNone);
    graphics->DrawPath(&pen, &path);
    const REAL dashes[2] = {6, 2};
    pen.SetColor(Color(colour));
    pen.SetDashPattern(dashes, 2);
    graphics->DrawPath(&pen, &path);
}

// "%.0f" for steps of 1 and more, else as many decimals as the step needs.
CString ScaleFormat(double step)
{
    const int e = int(std::floor(std::log10(step)));
    if (e >= 0) return L"%.0f";
    CString format;
    format.Format(L"%%.%df", -e);
    return format;
}
}  // namespace

void CRuler::DrawOnPlot(CGraphRenderer* renderer)
{
    EnsureInitialised();
    Graphics* graphics = renderer ? renderer->GetGraphics() : nullptr;
    if (!IsActive() || !graphics || !renderer->HasValidRanges()) return;
    if (!m_drawCache) m_drawCache = std::make_shared<CToolDrawCache>();
    CToolDrawCache& cache = *m_drawCache;
    const CDiffractionSettings& settings = renderer->GetSettings();

    // Eight shades of the ruler's hue, light at the edges, dark along the bottom.
    const LXGraphics::CColor colour(m_rec.color);
    const std::uint32_t alphaByte = colour.GetA();
    const float alpha = alphaByte / 255.0f;
    float hue = 0;
    colour.GetHLS(&hue, nullptr, nullptr);
    static const float kShades[8][2] = {{0.4f, 1.0f}, {0.2f, 1.0f}, {0.3f, 1.0f}, {0.4f, 1.0f},
                                        {0.5f, 0.9f}, {0.5f, 0.8f}, {0.6f, 0.7f}, {0.7f, 0.6f}};
    Color shades[8];
    for (int i = 0; i < 8; ++i)
        shades[i] = Color(WithAlpha(LXGraphics::CColor::FromHSV(hue, kShades[i][0], kShades[i][1]).GetValue(), alphaByte));
    Pen pen(Color(m_rec.color), ToolPenWidth());
    pen.SetAlignment(PenAlignmentInset);

    CGraphRenderer* const previous = m_renderer;
    const LXGraphics::CSyncRect previousPlot = m_rendererPlot;
    const CToolAxes previousAxes = m_axes;
    AttachRenderer(renderer);
    const GraphicsState state = graphics->Save();
    CToolSmoothing smoothing(graphics, g_drawDpi < 300 ? SmoothingModeHighQuality : SmoothingModeNone);
    ClampToPlot();

    const auto& plot = m_rendererPlot.m_float;
    const float plotRight = plot.X + plot.Width, plotBottom = plot.Y + plot.Height;
    float cx = 0, cy = 0, lx = 0, ly = 0, rx = 0, ry = 0;
    GetCentreF(cx, cy);
    GetEndPoint(1, lx, ly);
    GetEndPoint(0, rx, ry);
    const RectF body = [&] {
        const auto& b = GetBodyRect().m_float;
        return RectF(b.X, b.Y, b.Width, b.Height);
    }();
    const float bodyRight = body.X + body.Width, bodyBottom = body.Y + body.Height;
    const UINT textStyle = (settings.m_fontStyle & 0xFu) | 0x600u;

    // The readouts of a selected ruler: guide lines through the plot with their labels.
    if (m_shown) {
        const ARGB paper = settings.m_graphPaperColor;
        CString text;
        DrawGuideLine(graphics, PointF(lx, plotBottom), PointF(lx, plot.Y), kLeftColour, paper, &cache.endLine,
                      m_elevation, alpha);
        text = FormatPointX(PixelToDataX(lx), settings.m_unitSymbol);
        PlaceToolLabel(renderer, text, PointF(lx, plotBottom), false, false, settings.m_fontName,
                      settings.m_fontStyle & 0xFu, kLabelPoints, &cache.xLabel, m_elevation, alpha);
        DrawGuideLine(graphics, PointF(rx, plotBottom), PointF(rx, plot.Y), kRightColour, paper, &cache.endLine,
                      m_elevation, alpha);
        text = FormatPointX(PixelToDataX(rx), settings.m_unitSymbol);
        PlaceToolLabel(renderer, text, PointF(rx, plotBottom), false, false, settings.m_fontName,
                      settings.m_fontStyle & 0xFu, kLabelPoints, &cache.rightXLabel, m_elevation, alpha);
        DrawGuideLine(graphics, PointF(plotRight, cy), PointF(plot.X, cy), kLevelColour, paper, &cache.levelLine,
                      m_elevation, alpha);
        m_intensity = GetIntensityAtLevel();
        PlaceToolLabel(renderer, FormatIntensity(m_intensity), PointF(plot.X, cy), true, true, settings.m_fontName,
                      settings.m_fontStyle & 0xFu, kLabelPoints, &cache.intensityLabel, m_elevation, alpha);
    } else {
        m_intensity = GetIntensityAtLevel();
    }

    // The bar: a shaded body with two holes at the measuring points.
    {
        GraphicsPath path(FillModeAlternate);
        path.AddRectangle(body);
        path.AddEllipse(lx - kHoleRadius, cy - kHoleRadius, 2 * kHoleRadius, 2 * kHoleRadius);
        path.AddEllipse(rx - kHoleRadius, cy - kHoleRadius, 2 * kHoleRadius, 2 * kHoleRadius);
        RectF bounds;
        path.GetBounds(&bounds);
        // The shadow's shape at the origin: moving the bar keeps the cached shadow.
        GraphicsPath local(FillModeAlternate);
        local.AddRectangle(RectF(0, 0, body.Width, body.Height));
        const float holeY = cy - body.Y - kHoleRadius;
        local.AddEllipse(lx - body.X - kHoleRadius, holeY, 2 * kHoleRadius, 2 * kHoleRadius);
        local.AddEllipse(rx - body.X - kHoleRadius, holeY, 2 * kHoleRadius, 2 * kHoleRadius);
        Region region(&local);
        cache.body.Create(&region, unsigned(std::max(0, m_elevation)), alpha);
        cache.body.Draw(graphics, bounds);
        LinearGradientBrush fill(bounds, shades[0], shades[7], LinearGradientModeVertical);
        static const REAL kPositions[8] = {0.0f, 0.03f, 0.3f, 0.35f, 0.65f, 0.7f, 0.97f, 1.0f};
        fill.SetInterpolationColors(shades, kPositions, 8);
        graphics->FillPath(&fill, &path);
    }

    // Baseline between the holes and the centre tick; dashed and fainter while the bar moves.
    {
        CToolSmoothing crisp(graphics, SmoothingModeNone);
        Pen line(Color(m_moving ? WithAlpha(m_rec.color, alphaByte / 2) : m_rec.color), 1);
        if (m_moving) {
            const REAL dashes[2] = {6, 2};
            line.SetDashPattern(dashes, 2);
        }
        graphics->DrawLine(&line, lx + kHoleRadius, cy, rx - kHoleRadius, cy);
        const float tick = 0.17f * body.Height;
        graphics->DrawLine(&line, cx, cy - tick, cx, cy + tick);
    }

    if (!m_shown) {
        Pen dashed(Color(m_rec.color), ToolPenWidth());
        const REAL dashes[2] = {6, 2};
        dashed.SetDashPattern(dashes, 2);
        graphics->DrawLine(&dashed, lx, cy, body.X, cy);
        graphics->DrawLine(&dashed, rx, cy, bodyRight, cy);
        graphics->DrawLine(&dashed, lx, body.Y, lx, bodyBottom);
        graphics->DrawLine(&dashed, rx, body.Y, rx, bodyBottom);
    } else if (!m_moving && rx - lx > 90) {
        GraphicsPath arcs;
        arcs.AddPie(lx - kHoleRadius, cy - kHoleRadius, 2 * kHoleRadius, 2 * kHoleRadius, -25, 50);
        arcs.AddPie(rx - kHoleRadius, cy - kHoleRadius, 2 * kHoleRadius, 2 * kHoleRadius, 155, 50);
        SolidBrush fill{Color(WithAlpha(m_rec.color, 153))};
        graphics->FillPath(&fill, &arcs);
        graphics->DrawPath(&pen, &arcs);
    }

    // The scale: ticks from the renderer's rules, counting from the left point along the top edge
    // and from the right point along the bottom edge.
    const double ppu = m_axes.xPixelsPerUnit;
    const double major = renderer->MajorTickStep(true);
    const double middle = renderer->MinorTickStep(float(major), true, 40);
    const double fine = renderer->MinorTickStep(float(middle), true, 5);
    const double steps[3] = {fine, middle, major};
    {
        GraphicsPath ticks;
        for (int i = 0; i < 3; ++i) {
            const double spacing = steps[i] * ppu;
            if (!(spacing > 2) || !std::isfinite(spacing)) continue;
            for (int k = 0; k < kMaxTicks; ++k) {
                const float top = float(lx + k * spacing);
                if (!(top < bodyRight - 3)) break;
                const float bottom = float(rx - k * spacing);
                ticks.StartFigure();
                ticks.AddLine(top, body.Y, top, body.Y + kTickLengths[i]);
                ticks.StartFigure();
                ticks.AddLine(bottom, bodyBottom, bottom, bodyBottom - kTickLengths[i]);
            }
        }
        Pen black(Color(0xFF000000u), ToolPenWidth());
        graphics->DrawPath(&black, &ticks);
    }

    // Scale numbers at the first step whose spacing leaves room for the widest of them.
    for (double step : steps) {
        const double spacing = step * ppu;
        if (!(step > 0) || !std::isfinite(spacing)) continue;
        const CString format = ScaleFormat(step);
        CString widest;
        widest.Format(format.GetString(), body.Width / ppu);
        const SizeF size = CGraphRenderer::MeasureText(widest, settings.m_fontName, settings.m_fontSize, textStyle);
        if (!(spacing > 1.5 * size.Width)) continue;
        for (int k = 0; k < kMaxTicks; ++k) {
            const float topX = float(lx + k * spacing);
            if (!(topX < bodyRight - 3)) break;
            CString text;
            text.Format(format.GetString(), k * step);
            const SizeF box = CGraphRenderer::MeasureText(text, settings.m_fontName, settings.m_fontSize, textStyle);
            LXGraphics::CSyncRect topBox, bottomBox;
            topBox.SetXYWH(topX - box.Width / 2, body.Y + kScaleLabelInset, box.Width, box.Height);
            if (topX + box.Width / 2 <= bodyRight)
                DrawTextBox(graphics, text.GetString(), settings.m_fontName, settings.m_fontSize, textStyle,
                            settings.m_fontColor, topBox);
            const float bottomX = float(rx - k * spacing);
            bottomBox.SetXYWH(bottomX - box.Width / 2, bodyBottom - kScaleLabelInset - box.Height, box.Width,
                              box.Height);
            if (bottomX - box.Width / 2 >= body.X)
                DrawTextBox(graphics, text.GetString(), settings.m_fontName, settings.m_fontSize, textStyle,
                            settings.m_fontColor, bottomBox);
        }
        break;
    }

    // The Δx label, in the ruler's colour made opaque (darkened when too light for white text).
    if (!m_moving) {
        LXGraphics::CColor box(m_rec.color | 0xFF000000u);
        const float luminance = (0.2126f * box.GetR() + 0.7152f * box.GetG() + 0.0722f * box.GetB()) / 255.0f;
        if (luminance > 0.7f)
            box = LXGraphics::CColor(0xFF, std::uint8_t(box.GetR() * 0.3f), std::uint8_t(box.GetG() * 0.3f),
                                     std::uint8_t(box.GetB() * 0.3f));
        const LXGraphics::CSyncRect label = GetLabelRect();
        GraphicsPath rounded;
        BuildMarkerPath(rounded, label, 8, false, LXGraphics::CSyncPoint());
        SolidBrush fill{Color(box.GetValue())};
        graphics->FillPath(&fill, &rounded);
        DrawTextBox(graphics, FormatDeltaX(GetDeltaX(), settings.m_unitSymbol).GetString(), settings.m_fontName,
                    settings.m_fontSize, textStyle, 0xFFFDFDFDu, label);
    }

    graphics->Flush();
    graphics->Restore(state);
    m_renderer = previous;
    m_rendererPlot = previousPlot;
    m_axes = previousAxes;
}

bool CRuler::ZoomToCursors(CQlwDoc* document, CGraphRenderer* renderer)
{
    CDiffractionSettings* settings = document ? document->GetSettings() : nullptr;
    if (!settings || !renderer) return false;
    CGraphRenderer* const previous = m_renderer;
    const LXGraphics::CSyncRect previousPlot = m_rendererPlot;
    const CToolAxes previousAxes = m_axes;
    AttachRenderer(renderer);
    float lx = 0, ly = 0, rx = 0, ry = 0;
    GetEndPoint(1, lx, ly);
    GetEndPoint(0, rx, ry);
    const bool usable = m_axes.xPixelsPerUnit > 0 && m_axes.yPixelsPerUnit > 0;
    const double xMin = std::max(PixelToDataX(lx), settings->m_defaultXMin);
    const double xMax = std::min(PixelToDataX(rx), settings->m_defaultXMax);
    const double yMax = GetIntensityAtLevel();
    m_renderer = previous;
    m_rendererPlot = previousPlot;
    m_axes = previousAxes;
    // A ruler level with the plot's bottom, or a span outside the data, would give the plot a
    // range of zero: refuse rather than divide by it.
    // Narrower than the zoom commands allow, repeated zooms would shrink the window towards zero.
    const double narrowest = (settings->m_defaultXMax - settings->m_defaultXMin) / 1000.0;
    if (!usable || !std::isfinite(xMin) || !std::isfinite(xMax) || !(xMax - xMin > narrowest) ||
        !std::isfinite(yMax) || !(yMax > 0))
        return false;
    settings->m_visibleXMin = xMin;
    settings->m_visibleXMax = xMax;
    settings->m_visibleYMin = 0;
    settings->m_visibleYMax = yMax;
    CUHRequestPlotUpdate hint(document, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
    document->DispatchUpdateHint(hint);
    // The window now spans the ruler: it has done its work.
    if (IsActive()) {
        Hide();
        m_rec.visible = 0;
        m_on = 0;
        Notify(4, 0);
    }
    return true;
}
