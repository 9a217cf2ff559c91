// Construction, metrics, layout, transforms, tick steps and the draw-entry protocol.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "LXText.h"
#include "LXTextTiles.h"
#include "FloatingPeakTip.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "ToolDrawing.h"
#include "ToolRecords.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace {
CGraphRenderer::TextMeasurer& Measurer()
{
    static CGraphRenderer::TextMeasurer measurer;
    return measurer;
}

// Tick candidates are c × 10^n; six significant digits give back the decimal a float step
// stands for, so k × step lands on the round values.
double CleanStep(double step)
{
    if (!std::isfinite(step) || step <= 0) return 0;
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", step);
    return std::strtod(text, nullptr);
}

bool Finite(double v) { return std::isfinite(v); }

// Steps of one axis as the tick rules see it.
double MajorStepFor(double min, double max, double ppu, int drawDpi, int screenDpi, float minSpacing)
{
    const double range = max - min;
    if (!(ppu > 0) || !Finite(ppu) || !Finite(range)) return 0;
    // Spacings are weighed in screen pixels, so that a printout or an export at a higher draw
    // DPI gets the ticks of the screen rather than ticks as dense as 100 of its own pixels.
    const double toScreen = double(screenDpi) / double(drawDpi);
    const double axisLength = screenDpi * (ppu * range) / drawDpi;
    const double base = (range == 0 ? 1.0 : std::pow(10.0, std::floor(std::log10(std::fabs(range))))) * 0.1;
    double best = 0, bestDistance = 0;
    for (double c : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0}) {
        const double spacing = c * ppu * base * toScreen;
        if (spacing < minSpacing * toScreen || spacing > axisLength) continue;
        const double distance = std::fabs(spacing - 100);
        if (best == 0 || distance < bestDistance) {
            best = c;
            bestDistance = distance;
        }
    }
    return CleanStep(base * best);
}

double MinorStepFor(double step, double ppu, int target, int drawDpi, int screenDpi, float minSpacing)
{
    step = CleanStep(step);
    if (!(ppu > 0) || !Finite(ppu) || step <= 0) return 0;
    const double toScreen = double(screenDpi) / double(drawDpi);
    const double limit = screenDpi * (ppu * step) / drawDpi;
    const double base = std::trunc(std::pow(10.0, std::floor(std::log10(step) + 1e-9)));
    double best = 0, bestDistance = 0;
    for (double c : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0}) {
        const double s = CleanStep(base * c);
        if (s <= 0) continue;
        // Divisibility with a tolerance: 1 / 0.1 is not a whole number in binary.
        const double ratio = step / s;
        if (std::fabs(ratio - std::nearbyint(ratio)) > 1e-6 * std::max(1.0, std::fabs(ratio))) continue;
        const double p = s * ppu * toScreen;
        if (p > limit * (1 + 1e-9) || p < minSpacing * toScreen) continue;
        const double distance = std::fabs(p - target);
        if (best == 0 || distance < bestDistance) {
            best = s;
            bestDistance = distance;
        }
    }
    return best;
}
}  // namespace

void CGraphRenderer::SetTextMeasurer(TextMeasurer measurer) { Measurer() = std::move(measurer); }

Gdiplus::DashStyle LineStyleToDashStyle(std::uint32_t lineStyle)
{
    switch (lineStyle) {
        case 2: return Gdiplus::DashStyleDash;
        case 3: return Gdiplus::DashStyleDot;
        case 4: return Gdiplus::DashStyleDashDot;
        default: return Gdiplus::DashStyleSolid;
    }
}

CGraphRenderer::CGraphRenderer(const CQLPatternList& tree, const CDiffractionSettings& settings,
                               const LXGraphics::CSyncRect& whole, bool output)
    : m_settings(std::make_unique<CDiffractionSettings>(settings)), m_wholeRect(whole), m_output(output)
{
    // The settings' tools draw and convert through the plot from here on.
    InstallToolPlotHooks();
    m_drawDpi = g_drawDpi > 0 ? g_drawDpi : 96;
    m_screenDpi = g_screenDpi > 0 ? g_screenDpi : 96;
    m_tickLength = Metric(6);
    m_nodeSize = Metric(6);
    m_outerMargin = Metric(30);
    m_gap = Metric(2);
    m_minTickSpacing = Metric(4);
    m_labelMargin = Metric(2);
    m_referenceFontSize = Metric(12);
    m_labelGap = Metric(5);
    m_arrowHalfWidth = Metric(3);
    m_arrowLength = Metric(5);
    m_stemLength = Metric(7);
    m_labelLineWidth = Metric(1);
    m_labelOutlineWidth = Metric(3);

    m_ramp = MakeColorRamp(int(m_settings->m_filmType));
    m_paperColor = m_settings->m_graphPaperColor;
    m_settings->m_fontStyle &= ~0xF00u;
    m_wholeRect.Sync();

    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLPattern>(tree, false, true, true)) m_drawing.push_back(p);
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLPattern>(tree, false, true, false)) m_legend.push_back(p);
    for (const CQLPatternPtr& p : m_drawing)
        if (p->GetProfile().empty()) p->ComputeProfile(*m_settings);
    // A hidden mixture is not summed here, yet its shown components are drawn at their share of it.
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLMixturePattern>(tree, false, false, false))
        static_cast<CQLMixturePattern&>(*p).LinkComponents();

    if (m_settings->m_fontSize > m_referenceFontSize) {
        const float f = m_settings->m_fontSize / m_referenceFontSize;
        for (float* m : {&m_arrowHalfWidth, &m_arrowLength, &m_stemLength, &m_labelLineWidth, &m_labelOutlineWidth})
            *m *= f;
    }
}

CGraphRenderer::~CGraphRenderer() = default;

float CGraphRenderer::Metric(int k) const { return float((k * m_drawDpi) / m_screenDpi); }

Gdiplus::SizeF CGraphRenderer::Measure(const CString& text, float size, UINT style) const
{
    if (Measurer()) return Measurer()(text, size, style);
    // Labels and ticks repeat the same texts at every redraw; laying each out again dominated
    // the label pass. Sizes are kept by text, face, size, style and the graphics' resolution, and
    // looked up without copying the texts (thousands of labels are looked up at every redraw).
    struct Look
    {
        float size;
        UINT style;
        float dpi, scale;
        bool operator==(const Look&) const = default;
        std::size_t Hash() const
        {
            std::size_t h = 0;
            LXGraphics::MixHash(h, LXGraphics::FloatBits(size));
            LXGraphics::MixHash(h, style);
            LXGraphics::MixHash(h, LXGraphics::FloatBits(dpi));
            LXGraphics::MixHash(h, LXGraphics::FloatBits(scale));
            return h;
        }
    };
    using Sizes = LXGraphics::CTextKeyedCache<Look, Gdiplus::SizeF>;
    static Sizes sizes(8000);  // a flood of distinct texts: start over rather than grow
    const Sizes::Key key{std::wstring_view(text.GetString(), std::size_t(text.GetLength())),
                         std::wstring_view(m_settings->m_fontName.GetString(), std::size_t(m_settings->m_fontName.GetLength())),
                         {size, style, m_graphics ? m_graphics->GetDpiY() : 0.0f, g_textScale}};
    if (Gdiplus::SizeF kept; sizes.Find(key, kept)) return kept;
    Gdiplus::SizeF measured;
    if (!m_graphics) {
        measured = MeasureText(text, m_settings->m_fontName, size * g_textScale, style);
    } else {
        CTextBox box;
        box.style = style;
        box.measured = &measured;
        // Measured as the text routines draw it: scaled for an export.
        box.exportScaled = true;
        MeasureTextBox(m_graphics, text.GetString(), m_settings->m_fontName, size, box);
    }
    sizes.Keep(key, measured);
    return measured;
}

Gdiplus::SizeF CGraphRenderer::MeasureText(const CString& text, const CString& family, float size, UINT style)
{
    if (Measurer()) return Measurer()(text, size, style);
    Gdiplus::Bitmap scratch(1, 1);
    Gdiplus::Graphics graphics(&scratch);
    Gdiplus::SizeF measured;
    CTextBox box;
    box.style = style;
    box.measured = &measured;
    MeasureTextBox(&graphics, text.GetString(), family, size, box);
    return measured;
}

bool CGraphRenderer::UpdateLayout()
{
    m_plotRect = LXGraphics::CSyncRect();
    m_rangesValid = false;
    m_wholeRect.Sync();
    const auto& whole = m_wholeRect.m_float;
    if (!(whole.Width > FLT_EPSILON && whole.Height > FLT_EPSILON)) return false;
    m_plotRect = m_wholeRect;
    const CDiffractionSettings& s = *m_settings;
    float titleBand = 0;
    if (s.m_showPlotTitle && !s.m_fourthText.IsEmpty())
        titleBand = 1.5f * Measure(s.m_fourthText, s.m_fontSize * 1.4f, s.m_fontStyle).Height;
    const Gdiplus::SizeF number = Measure(L"0.00", s.m_fontSize, s.m_fontStyle);
    m_plotRect.Deflate(m_tickLength + m_gap + number.Width + m_gap + number.Height + m_gap,
                       std::max(titleBand + m_titleClearance, m_outerMargin), m_outerMargin,
                       m_tickLength + m_gap + number.Height + m_gap + number.Height + m_gap);
    const double xSpan = s.m_visibleXMax - s.m_visibleXMin;
    m_xPixelsPerUnit = m_plotRect.m_float.Width / xSpan;
    m_yPixelsPerUnit = GetYPixelsPerUnit();
    // A span that is not positive and finite would put infinities into every transform.
    m_rangesValid = Finite(s.m_visibleXMin) && Finite(xSpan) && xSpan > 0 && Finite(m_xPixelsPerUnit) &&
                    m_xPixelsPerUnit > 0 && Finite(s.m_visibleYMin) && Finite(m_yPixelsPerUnit) && m_yPixelsPerUnit > 0;
    if (!m_rangesValid) {
        m_xPixelsPerUnit = 0;
        m_yPixelsPerUnit = 0;
    }
    return m_plotRect.m_float.Width > FLT_EPSILON && m_plotRect.m_float.Height > FLT_EPSILON;
}

double CGraphRenderer::GetYPixelsPerUnit() const
{
    const double h = m_plotRect.m_int.Height;
    if (h <= 0) return h;
    const CDiffractionSettings& s = *m_settings;
    const double span = s.m_logarithmicYAxis ? LogAxisUnits(s.m_visibleYMax) - LogAxisUnits(s.m_visibleYMin)
                                             : s.m_visibleYMax - s.m_visibleYMin;
    const double ppu = h / span;
    return Finite(ppu) && ppu > 0 ? ppu : 0;
}

Gdiplus::PointF CGraphRenderer::DataToPixel(double x, double y) const
{
    const auto& r = m_plotRect.m_float;
    // Without a usable range everything sits at the plot's origin rather than at NaN.
    if (!m_rangesValid) return Gdiplus::PointF(r.X, r.Y + r.Height);
    const CDiffractionSettings& s = *m_settings;
    const double px = (x - s.m_visibleXMin) * m_xPixelsPerUnit + r.X;
    double py;
    if (s.m_logarithmicYAxis)
        py = (r.Y + r.Height) - (LogAxisUnits(y) - LogAxisUnits(s.m_visibleYMin)) * m_yPixelsPerUnit;
    else
        py = (r.Y + r.Height) - (y - s.m_visibleYMin) * m_yPixelsPerUnit;
    return Gdiplus::PointF(float(px), float(py));
}

std::pair<double, double> CGraphRenderer::PixelToData(const Gdiplus::PointF& point) const
{
    const auto& r = m_plotRect.m_float;
    const CDiffractionSettings& s = *m_settings;
    if (!m_rangesValid) return {Finite(s.m_visibleXMin) ? s.m_visibleXMin : 0.0, 0.0};
    const double x = (point.X - r.X) / m_xPixelsPerUnit + s.m_visibleXMin;
    if (m_yPixelsPerUnit <= 0) return {x, 0.0};
    const double v = ((r.Y + r.Height) - point.Y) / m_yPixelsPerUnit;
    return {x, s.m_logarithmicYAxis ? std::pow(10.0, v + LogAxisUnits(s.m_visibleYMin)) - 1 : v + s.m_visibleYMin};
}

LXGraphics::CSyncRect CGraphRenderer::GetPatternBandRect(const CQLPattern* pattern) const
{
    LXGraphics::CSyncRect band;
    if (m_drawing.empty()) return band;
    const float height = m_plotRect.m_float.Height / float(m_drawing.size());
    band = m_plotRect;
    band.m_int.Height = int(height);
    band.m_dirty = LXGraphics::CSyncRect::kIntWritten;
    band.Sync();
    float y = m_plotRect.m_float.Y;
    for (const CQLPatternPtr& p : m_drawing) {
        if (p.get() == pattern) break;
        y += height;
    }
    band.SetY(y);
    return band;
}

float CGraphRenderer::MajorTickStep(bool xAxis) const
{
    const CDiffractionSettings& s = *m_settings;
    if (xAxis)
        return float(MajorStepFor(s.m_visibleXMin, s.m_visibleXMax, m_xPixelsPerUnit, m_drawDpi, m_screenDpi,
                                  m_minTickSpacing));
    return float(MajorStepFor(s.m_visibleYMin, s.m_visibleYMax, m_yPixelsPerUnit, m_drawDpi, m_screenDpi,
                              m_minTickSpacing));
}

float CGraphRenderer::MinorTickStep(float step, bool xAxis, int target) const
{
    return float(MinorStepFor(step, xAxis ? m_xPixelsPerUnit : m_yPixelsPerUnit, target, m_drawDpi, m_screenDpi,
                              m_minTickSpacing));
}

std::pair<double, double> CGraphRenderer::AxisRange(bool xAxis) const
{
    const CDiffractionSettings& s = *m_settings;
    if (xAxis) return {s.m_visibleXMin, s.m_visibleXMax};
    if (s.m_logarithmicYAxis) return {LogAxisUnits(s.m_visibleYMin), LogAxisUnits(s.m_visibleYMax)};
    return {s.m_visibleYMin, s.m_visibleYMax};
}

void CGraphRenderer::AxisSteps(bool xAxis, double steps[3]) const
{
    const auto [min, max] = AxisRange(xAxis);
    const double ppu = xAxis ? m_xPixelsPerUnit : m_yPixelsPerUnit;
    steps[0] = MajorStepFor(min, max, ppu, m_drawDpi, m_screenDpi, m_minTickSpacing);
    steps[1] = MinorStepFor(steps[0], ppu, 40, m_drawDpi, m_screenDpi, m_minTickSpacing);
    steps[2] = MinorStepFor(steps[1], ppu, 5, m_drawDpi, m_screenDpi, m_minTickSpacing);
}

std::vector<double> CGraphRenderer::TickValues(double min, double max, double step, double upperFactor) const
{
    std::vector<double> values;
    if (!(step > 0) || !Finite(min) || !Finite(max)) return values;
    const double limit = max + (upperFactor - 1) * std::fabs(max);
    const double tolerance = step * 1e-9;
    // k × step in double, never accumulated; the cap stops a range that dwarfs its step.
    const double first = std::ceil(min / step - 1e-9);
    for (int k = 0; k < 100000; ++k) {
        double v = (first + k) * step;
        if (std::fabs(v) < tolerance) v = 0;
        if (!(v < limit)) break;
        values.push_back(v);
    }
    return values;
}

bool CGraphRenderer::BeginEntry(Gdiplus::Graphics* graphics, EntryState& state)
{
    state.previous = m_graphics;
    m_graphics = graphics;
    if (!graphics || !UpdateLayout()) {
        m_graphics = state.previous;
        return false;
    }
    state.smoothing = graphics->GetSmoothingMode();
    graphics->SetSmoothingMode(m_drawDpi < 300 ? Gdiplus::SmoothingModeHighQuality : Gdiplus::SmoothingModeNone);
    state.compositing = graphics->GetCompositingMode();
    graphics->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    return true;
}

void CGraphRenderer::RestoreSmoothing(Gdiplus::SmoothingMode saved)
{
    using namespace Gdiplus;
    const bool smooth = saved != SmoothingModeDefault && saved != SmoothingModeHighSpeed && saved != SmoothingModeNone;
    if (!smooth)
        m_graphics->SetSmoothingMode(saved);
    else
        m_graphics->SetSmoothingMode(m_drawDpi < 300 ? saved : SmoothingModeNone);
}

void CGraphRenderer::EndEntry(const EntryState& state)
{
    m_graphics->SetCompositingMode(state.compositing);
    RestoreSmoothing(state.smoothing);
    m_graphics = state.previous;
}

void CGraphRenderer::DrawFrame(Gdiplus::Graphics* graphics, bool clear)
{
    EntryState state;
    if (!BeginEntry(graphics, state)) return;
    if (m_rangesValid && !m_settings->m_filmMode) MapLongProfilesAhead(0);
    const CDiffractionSettings& s = *m_settings;
    if (clear) {
        m_graphics->Clear(Gdiplus::Color(0xFFDDDDDDu));
        Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFDFDFDu));
        m_graphics->FillRectangle(&white, m_wholeRect.m_float.X, m_wholeRect.m_float.Y, m_wholeRect.m_float.Width,
                                  m_wholeRect.m_float.Height);
    }
    if (s.m_useSolidBackground && !s.m_filmMode) {
        Gdiplus::SolidBrush brush(Gdiplus::Color(s.m_solidBackgroundColor));
        const auto& r = m_plotRect.m_float;
        m_graphics->FillRectangle(&brush, r.X, r.Y, r.Width, r.Height);
    }
    DrawTitle();
    if (m_rangesValid) {
        DrawAxes();
        DrawXAxisTitle();
        if (!s.m_filmMode) DrawYAxisTitle();
    }
    DrawFrameRect();
    EndEntry(state);
}

void CGraphRenderer::DrawPlot(Gdiplus::Graphics* graphics)
{
    if (m_drawing.empty() || !graphics) return;
    const Gdiplus::GraphicsState saved = graphics->Save();
    EntryState state;
    if (!BeginEntry(graphics, state)) {
        graphics->Restore(saved);
        return;
    }
    if (m_rangesValid) {
        const auto& r = m_plotRect.m_float;
        const float dx = r.Width < 2 ? r.Width / 2 : 1, dy = r.Height < 2 ? r.Height / 2 : 1;
        m_graphics->SetClip(Gdiplus::RectF(r.X + dx, r.Y + dy, r.Width - 2 * dx, r.Height - 2 * dy));
        if (m_settings->m_filmMode)
            DrawFilm();
        else
            DrawPatterns(false);
        m_graphics->Flush();
    }
    EndEntry(state);
    graphics->Restore(saved);
}

void CGraphRenderer::DrawTopLayer(Gdiplus::Graphics* graphics)
{
    EntryState state;
    if (!BeginEntry(graphics, state)) return;
    if (m_settings->m_showPeakTips && m_peakTip && m_peakTip->GetSafeHwnd() && m_peakTip->IsWindowVisible()) {
        m_peakTip->SetRenderer(weak_from_this(), *m_settings);
        m_peakTip->UpdateContent();
        m_peakTip->RestartRefreshTimer();
        m_peakTip->Invalidate(TRUE);
    }
    EndEntry(state);
}

bool CGraphRenderer::OverlapsReadout(const Gdiplus::RectF& box) const
{
    for (const Gdiplus::RectF& r : m_readouts)
        if (box.IntersectsWith(r)) return true;
    return false;
}

void CGraphRenderer::DrawTools(Gdiplus::Graphics* graphics)
{
    EntryState state;
    if (!BeginEntry(graphics, state)) return;
    m_readouts.clear();
    LegendLayout legend;
    if (!m_settings->m_filmMode && LayOutLegend(CursorOn(), legend)) {
        const auto& b = legend.box.m_float;
        m_readouts.emplace_back(b.X, b.Y, b.Width, b.Height);
    }
    std::int32_t elevation = 2;
    auto& tools = m_settings->m_tools;
    for (auto it = tools.rbegin(); it != tools.rend(); ++it) {
        CTool* tool = it->get();
        if (!tool || !tool->IsActive()) continue;
        tool->m_elevation = elevation++;
        tool->AttachRenderer(this, m_plotRect);
        tool->EnsureInitialised();
        tool->Draw(this);
        tool->DetachRenderer();
    }
    EndEntry(state);
}
