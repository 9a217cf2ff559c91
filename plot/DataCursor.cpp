// The data cursor drawn over the plot: the line with its shadow, a marker and an intensity label
// where it crosses each pattern, the x readout below the plot and the d-spacing readout above it.
#include "GraphRenderer.h"
#include "LXMessage.h"
#include "LXText.h"
#include "ToolDrawing.h"
#include "ToolRecords.h"

#include <cmath>
#include <vector>

namespace {
constexpr float kMarkerSize = 8;
constexpr float kLabelPoints = 8;
constexpr float kIntensityLabelGap = 8;
const wchar_t kIntensityFont[] = L"MS Shell Dlg 2";
constexpr UINT kIntensityTextFlags = 0x20040800u;  // outlined, one line, bottom-aligned
constexpr Gdiplus::ARGB kNearWhite = 0xFFFDFDFDu;

float AlphaOf(std::uint32_t argb) { return float(argb >> 24) / 255.0f; }

// Beside the marker on its right, as drawn first; where a readout drawn before (the legend)
// would be covered, on its left, or else below that readout.
void DrawIntensityLabel(CGraphRenderer* renderer, const CQLPattern& pattern, const Gdiplus::PointF& at,
                        double intensity, double yMax)
{
    using namespace Gdiplus;
    Graphics* graphics = renderer->GetGraphics();
    const CString text = CCursor::FormatIntensityLabel(intensity, yMax);
    if (text.IsEmpty()) return;
    SizeF size;
    CTextBox measuring;
    measuring.style = kIntensityTextFlags;
    measuring.measured = &size;
    DrawTextString(graphics, text.GetString(), -1, kIntensityFont, kLabelPoints, kIntensityTextFlags, pattern.m_color,
                   0, 0, kNearWhite, false, true, &measuring);
    // The outline reaches a pixel past the text.
    const auto box = [&](const PointF& p) { return RectF(p.X - 1, p.Y - size.Height - 1, size.Width + 2, size.Height + 2); };
    const PointF right(at.X + kIntensityLabelGap, at.Y), left(at.X - kIntensityLabelGap - size.Width, at.Y);
    std::vector<PointF> places{right, left};
    for (const RectF& other : renderer->GetReadouts()) {
        const float under = other.Y + other.Height + size.Height + 2;
        places.insert(places.end(), {PointF(right.X, under), PointF(left.X, under)});
    }
    const auto& pf = renderer->GetPlotRect().m_float;
    const RectF plot(pf.X, pf.Y, pf.Width, pf.Height);
    PointF chosen = right;
    for (const PointF& p : places) {
        if (p.X == right.X && p.Y == right.Y && !renderer->OverlapsReadout(box(p))) break;
        const RectF r = box(p);
        if (plot.Contains(r) && !renderer->OverlapsReadout(r)) {
            chosen = p;
            break;
        }
    }
    DrawTextString(graphics, text.GetString(), -1, kIntensityFont, kLabelPoints, kIntensityTextFlags, pattern.m_color,
                   chosen.X, chosen.Y, kNearWhite, false, false, nullptr);
    renderer->AddReadout(box(chosen));
}

void DrawMarker(Gdiplus::Graphics* graphics, CToolDrawCache& cache, const Gdiplus::PointF& p, std::uint32_t colour,
                int elevation, Gdiplus::Pen& pen)
{
    using namespace Gdiplus;
    const RectF box(p.X - kMarkerSize / 2, p.Y - kMarkerSize / 2, kMarkerSize, kMarkerSize);
    cache.marker.Create(box, unsigned(std::max(0, elevation)), 1.0f);
    cache.marker.Draw(graphics, box);
    SolidBrush white{Color(kNearWhite)};
    graphics->FillEllipse(&white, box);
    graphics->DrawEllipse(&pen, box);
    const float insetX = box.Width < 4 ? box.Width / 2 : 2, insetY = box.Height < 4 ? box.Height / 2 : 2;
    SolidBrush fill{Color(colour)};
    graphics->FillEllipse(&fill, RectF(box.X + insetX, box.Y + insetY, box.Width - 2 * insetX, box.Height - 2 * insetY));
}
}  // namespace

float CursorReadoutExtent(const CDiffractionSettings& settings)
{
    return ToolLabelExtent(settings.m_fontName, settings.m_fontStyle & 0xFu, kLabelPoints);
}

void CCursor::DrawOnPlot(CGraphRenderer* renderer)
{
    using namespace Gdiplus;
    EnsureInitialised();
    Graphics* graphics = renderer ? renderer->GetGraphics() : nullptr;
    // Without a usable span the plot draws only its frame, and there is no x to read out.
    if (!IsActive() || !graphics || !renderer->HasValidRanges()) return;
    if (!m_drawCache) m_drawCache = std::make_shared<CToolDrawCache>();
    CToolDrawCache& cache = *m_drawCache;

    CGraphRenderer* const previous = m_renderer;
    const LXGraphics::CSyncRect previousPlot = m_rendererPlot;
    const CToolAxes previousAxes = m_axes;
    AttachRenderer(renderer);
    const GraphicsState state = graphics->Save();
    if (m_xSet) {
        SetXValue(m_x);
        m_xSet = 0;
    }
    ClampToPlot();

    const CDiffractionSettings& settings = renderer->GetSettings();
    const auto& plot = m_rendererPlot.m_float;
    const float alpha = AlphaOf(m_rec.color);
    float cx = 0, cy = 0;
    GetCentreF(cx, cy);
    Pen pen(Color(0xFF000000u), ToolPenWidth());
    pen.SetAlignment(PenAlignmentInset);

    // The line, then a marker and a label on every pattern it crosses.
    {
        GraphicsPath line;
        line.AddLine(cx, plot.Y, cx, plot.Y + plot.Height);
        RectF bounds;
        line.GetBounds(&bounds, nullptr, &pen);
        cache.line.Create(&line, &pen, false, unsigned(std::max(0, m_elevation)), alpha);
        cache.line.Draw(graphics, bounds);
        pen.SetColor(Color(m_rec.color));
        pen.SetAlignment(PenAlignmentCenter);
        CToolSmoothing crisp(graphics, SmoothingModeNone);  // a one-pixel line, not a blurred pair
        graphics->DrawPath(&pen, &line);
        pen.SetColor(Color(0xFF000000u));
    }
    const double x = GetDataX();
    if (!settings.m_filmMode) {
        for (const CQLPatternPtr& pattern : renderer->GetDrawingList()) {
            if (!pattern) continue;
            const double intensity = pattern->GetIntensityAt(x);
            if (!(intensity <= renderer->GetYMax())) continue;
            const PointF p = renderer->DataToPixel(x, intensity);
            DrawMarker(graphics, cache, p, pattern->m_color, m_elevation, pen);
            DrawIntensityLabel(renderer, *pattern, p, pattern->GetReadoutIntensityAt(x), renderer->GetYMax());
        }
    }
    CLXMsgGeneral changed(g_msgPlotCursorChanged);
    changed.Send(CLXMessage::kModeKeep);

    // The readouts below and above the plot.
    const UINT style = settings.m_fontStyle & 0xFu;
    PlaceToolLabel(renderer, FormatXReadout(x, settings.m_unitSymbol, settings.m_axisType), PointF(cx, plot.Y + plot.Height),
                  false, false, settings.m_fontName, style, kLabelPoints, &cache.label, m_elevation, alpha);
    if (m_showDSpacing) {
        const CString text = FormatDReadout(settings.ConvertToDSpacing(x));
        if (!text.IsEmpty()) {
            PlaceToolLabel(renderer, text, PointF(cx, plot.Y), true, false, settings.m_fontName, style, kLabelPoints,
                          &cache.label, m_elevation, alpha);
        }
    }

    graphics->Flush();
    graphics->Restore(state);
    m_renderer = previous;
    m_rendererPlot = previousPlot;
    m_axes = previousAxes;
}
