// Film mode: colour ramps, one strip per pattern with its labels; the overview strip.
#include "GraphRenderer.h"
#include "ToolRecords.h"

#include "LXGdiplus.h"
#include "LXText.h"
#include "Resources.h"

#include <algorithm>
#include <cmath>

std::vector<LXGraphics::CColor> MakeColorRamp(int filmType)
{
    using LXGraphics::CColor;
    switch (filmType) {
        case 1: return {CColor(0xFF020202u), CColor(0xFFFFFFFFu)};
        case 2: return {CColor(0xFFF2F2F2u), CColor(0xFF000000u)};
        case 3: return {CColor(0xFF000019u), CColor(0xFFB20019u), CColor(0xFFE57219u), CColor(0xFFFFFF19u)};
        case 4: return {CColor::FromHSV(240, 0.02f, 1), CColor::FromHSV(240, 1, 1), CColor::FromHSV(240, 1, 0.05f)};
        case 5: {
            static const std::uint32_t kRainbow[33] = {
                0xFF3200C8, 0xFF3100F4, 0xFF3240F6, 0xFF3568F6, 0xFF3A8AF8, 0xFF3DA9F1, 0xFF45CFF9, 0xFF4DF4FD,
                0xFF4CFFE7, 0xFF49FFC8, 0xFF46FFA9, 0xFF43FF8A, 0xFF40FF6B, 0xFF3CF64A, 0xFF3CF62E, 0xFF3BF618,
                0xFF42FB11, 0xFF4FF532, 0xFF65F815, 0xFF82FF18, 0xFF9CFF1A, 0xFFBAFF1C, 0xFFD6FF21, 0xFFF4FF24,
                0xFFFAE821, 0xFFF3C21E, 0xFFF0A01B, 0xFFEE7D1A, 0xFFF25E1A, 0xFFEC3B18, 0xFFEC0917, 0xFFF40518,
                0xFFFF0000};
            std::vector<CColor> stops;
            for (std::uint32_t c : kRainbow) stops.emplace_back(c);
            return stops;
        }
        default: return {};
    }
}

LXGraphics::CColor InterpolateColorRamp(const std::vector<LXGraphics::CColor>& stops, double t)
{
    if (stops.empty()) return LXGraphics::CColor(0xFF000000u);
    // NaN would index nothing: it reads as no intensity.
    if (std::isnan(t)) t = 0;
    if (stops.size() == 1 || t < 1.1368683772161603e-13) return stops.front();
    if (t > 0.9999999999998863) return stops.back();
    const size_t n = stops.size();
    size_t lower = std::min(n - 2, size_t(std::floor(t * double(n - 1))));
    while (lower + 1 < n - 1 && double(lower + 1) / double(n - 1) <= t) ++lower;
    while (lower > 0 && double(lower) / double(n - 1) > t) --lower;
    const double lowPos = double(lower) / double(n - 1), highPos = double(lower + 1) / double(n - 1);
    const double f = (highPos - t) / (highPos - lowPos);
    const LXGraphics::CColor &lo = stops[lower], &hi = stops[lower + 1];
    auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return std::uint8_t(std::clamp((a / 255.0 * f + b / 255.0 * (1 - f)) * 255.0, 0.0, 255.0));
    };
    return LXGraphics::CColor(mix(lo.GetA(), hi.GetA()), mix(lo.GetR(), hi.GetR()), mix(lo.GetG(), hi.GetG()),
                              mix(lo.GetB(), hi.GetB()));
}

void CGraphRenderer::SetFilmSamples(int count)
{
    m_filmSamples.assign(size_t(std::max(0, count)), {0.0, 0.0});
    const double step = 1.0 / m_xPixelsPerUnit;
    for (size_t i = 0; i < m_filmSamples.size(); ++i) m_filmSamples[i].first = m_settings->m_visibleXMin + double(i) * step;
}

void CGraphRenderer::DrawFilm()
{
    const auto& r = m_plotRect.m_int;
    Gdiplus::SolidBrush base(Gdiplus::Color(InterpolateColorRamp(m_ramp, 0).GetValue()));
    m_graphics->FillRectangle(&base, float(r.X), float(r.Y), float(r.Width), float(r.Height));
    SetFilmSamples(r.Width);
    m_labelReach.clear();
    for (const CQLPatternPtr& p : m_drawing) DrawFilmStrip(*p);
    DrawFilmLabels(CursorOn());
}

void CGraphRenderer::DrawFilmStrip(const CQLPattern& pattern)
{
    const CDiffractionSettings& s = *m_settings;
    const CQLProfile& profile = pattern.GetProfile();
    for (auto& sample : m_filmSamples) sample.second = 0;
    const double scale = pattern.GetDrawnScale();
    size_t current = 0;
    for (size_t i = 1; i < profile.size() && current < m_filmSamples.size(); ++i) {
        const double x0 = profile[i - 1].x + pattern.m_xOffset, y0 = profile[i - 1].y * scale;
        const double x1 = profile[i].x + pattern.m_xOffset, y1 = profile[i].y * scale;
        if (x1 == x0) continue;
        if (x0 > s.m_visibleXMax) break;
        if (x1 < s.m_visibleXMin) continue;
        while (current < m_filmSamples.size() && m_filmSamples[current].first <= x1) {
            const double x = m_filmSamples[current].first;
            if (x >= x0)
                m_filmSamples[current].second = (std::fabs(x - x0) * y1 + std::fabs(x - x1) * y0) / std::fabs(x1 - x0);
            ++current;
        }
    }

    // A peak narrower than a pixel column falls between two samples and would vanish from the
    // film: each column also takes the highest profile point within it.
    for (const CQLProfilePoint& point : profile) {
        const double x = point.x + pattern.m_xOffset;
        if (x < s.m_visibleXMin || x > s.m_visibleXMax) continue;
        const double column = std::floor((x - s.m_visibleXMin) * m_xPixelsPerUnit);
        if (!(column >= 0) || column >= double(m_filmSamples.size())) continue;
        double& value = m_filmSamples[size_t(column)].second;
        value = std::max(value, point.y * scale);
    }

    const size_t count = m_drawing.size();
    size_t index = 0;
    while (index < count && m_drawing[index].get() != &pattern) ++index;
    const double bandHeight = double(m_plotRect.m_float.Height) / double(count);
    const float top = float(std::floor(m_plotRect.m_float.Y + double(index) * bandHeight));
    const float height = float(bandHeight);
    const double yMax = s.m_visibleYMax;
    const double gamma = s.m_filmGamma > 0 ? s.m_filmGamma : 1.0;
    Gdiplus::Pen pen(Gdiplus::Color(0xFF000000u), Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    for (const auto& sample : m_filmSamples) {
        const double v = std::max(0.0, sample.second);
        double t = s.m_logarithmicYAxis ? std::log10(v + 1) / std::log10(yMax + 1) : v / yMax;
        t = std::min(t, 1.0);
        pen.SetColor(Gdiplus::Color(InterpolateColorRamp(m_ramp, std::pow(t, 1 / gamma)).GetValue()));
        // Through the middle of the pixel column, so that each column is covered once.
        const float x = std::floor(DataToPixel(sample.first, 0).X) + 0.5f;
        m_graphics->DrawLine(&pen, x, top + 1, x, top + height - 1);
    }
    const auto& plot = m_plotRect.m_float;
    if (top + height < plot.Y + plot.Height - 0.5f) {
        Gdiplus::Pen separator(Gdiplus::Color(s.m_frameColor), Scale());
        m_graphics->DrawLine(&separator, plot.X, top + height, plot.X + plot.Width, top + height);
    }
    CQLPeakLabelList peaks;
    pattern.CollectPeaks(s.m_visibleXMin, s.m_visibleXMax, peaks);
    LXGraphics::CSyncRect band;
    band.SetXYWH(plot.X, top, plot.Width, height);
    DrawPeakLabels(peaks, band, true);
}

void CGraphRenderer::DrawFilmLabels(bool withCursorValues)
{
    if (!m_settings->m_showLegend) return;
    const double cursorX = withCursorValues ? CursorDataX() : 0;
    for (const CQLPatternPtr& p : m_drawing) {
        CString text;
        p->GetLegendText(text);
        if (withCursorValues) {
            CString value;
            value.Format(L": %.3f", p->GetReadoutIntensityAt(cursorX));
            text += value;
        }
        DrawStripLabel(text, GetPatternBandRect(p.get()), p->IsSelected());
    }
}

void CGraphRenderer::DrawStripLabel(const CString& text, const LXGraphics::CSyncRect& band, bool selected)
{
    const CDiffractionSettings& s = *m_settings;
    const float m10 = 10 * Scale();
    const float p = m_graphics->GetDpiY() / 72.0f;
    const Gdiplus::SizeF size = Measure(text, s.m_fontSize, s.m_fontStyle);
    const float h = size.Height + 4 * p;
    const float w = std::max(size.Width + h, 2 * h);
    if (!(w < band.m_float.Width)) return;
    // At the band's top right, unless a peak label stands there: then below it, or else left of it.
    const Gdiplus::RectF b(band.m_float.X, band.m_float.Y, band.m_float.Width, band.m_float.Height);
    Gdiplus::RectF place(b.X + b.Width - m10 - w, b.Y + m10, w, h);
    const float gap = 2 * Scale();
    const auto hit = [&](const Gdiplus::RectF& r) -> const Gdiplus::RectF* {
        for (const Gdiplus::RectF& label : m_labelReach)
            if (r.IntersectsWith(label)) return &label;
        return nullptr;
    };
    if (hit(place)) {
        Gdiplus::RectF below = place, aside = place;
        while (const Gdiplus::RectF* label = hit(below)) below.Y = label->Y + label->Height + gap;
        while (const Gdiplus::RectF* label = hit(aside)) aside.X = label->X - gap - w;
        if (b.Contains(below)) place = below;
        else if (b.Contains(aside)) place = aside;
    }
    LXGraphics::CSyncRect box;
    box.SetXYWH(place.X, place.Y, w, h);
    const bool highlight = selected && !m_output;
    DrawHighlightBox(box, m_paperColor, s.m_gridColor, highlight);
    std::uint32_t colour = s.m_fontColor;
    if (highlight) colour = LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_HIGHLIGHTTEXT).GetValue() | 0xFF000000u;
    DrawTextBox(m_graphics, text.GetString(), s.m_fontName, s.m_fontSize, s.m_fontStyle | 0x48600, colour, box);
}

bool CGraphRenderer::DrawOverview(Gdiplus::Graphics* graphics, const LXGraphics::CSyncRect& area, int& low, int& high)
{
    low = high = 0;
    if (!graphics) return false;
    CDiffractionSettings& s = *m_settings;
    const double keptMin = s.m_visibleXMin, keptMax = s.m_visibleXMax;
    const double keptX = m_xPixelsPerUnit, keptY = m_yPixelsPerUnit;
    const LXGraphics::CSyncRect keptPlot = m_plotRect, keptWhole = m_wholeRect;
    Gdiplus::Graphics* previous = m_graphics;
    m_graphics = graphics;
    m_plotRect = m_wholeRect = m_overviewRect = area;
    const double keptYMax = s.m_visibleYMax;

    graphics->Clear(Gdiplus::Color(0x00000000u));
    m_labelReach.clear();
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFFu));
    const auto& a = area.m_int;
    graphics->FillRectangle(&white, float(a.X), float(a.Y), float(a.Width), float(a.Height));
    s.m_visibleXMin = s.m_defaultXMin;
    s.m_visibleXMax = s.m_defaultXMax;
    // The same y units as the plot's transform.
    const double ySpan = s.m_logarithmicYAxis ? LogAxisUnits(s.m_visibleYMax) - LogAxisUnits(s.m_visibleYMin)
                                              : s.m_visibleYMax - s.m_visibleYMin;
    if (s.m_logarithmicYAxis) s.m_visibleYMax = std::log10(s.m_visibleYMax + 1);
    m_xPixelsPerUnit = a.Width / (s.m_visibleXMax - s.m_visibleXMin);
    m_yPixelsPerUnit = a.Height / ySpan;
    const bool valid = std::isfinite(m_xPixelsPerUnit) && m_xPixelsPerUnit > 0 && std::isfinite(m_yPixelsPerUnit) &&
                       m_yPixelsPerUnit > 0;
    const bool drawn = valid && !m_drawing.empty();
    if (drawn) {
        if (!s.m_filmMode) {
            DrawPatterns(true);
        } else {
            Gdiplus::SolidBrush base(Gdiplus::Color(InterpolateColorRamp(m_ramp, 0).GetValue()));
            graphics->FillRectangle(&base, float(a.X), float(a.Y), float(a.Width), float(a.Height));
            SetFilmSamples(a.Width);
            for (const CQLPatternPtr& p : m_drawing) DrawFilmStrip(*p);
        }
    }
    if (valid) {
        low = int((keptMin - s.m_visibleXMin) * m_xPixelsPerUnit);
        high = int((keptMax - s.m_visibleXMin) * m_xPixelsPerUnit);
    }
    // Everything goes back, ranges included: the canvas converts mouse positions through this
    // renderer afterwards.
    s.m_visibleXMin = keptMin;
    s.m_visibleXMax = keptMax;
    s.m_visibleYMax = keptYMax;
    m_xPixelsPerUnit = keptX;
    m_yPixelsPerUnit = keptY;
    m_plotRect = keptPlot;
    m_wholeRect = keptWhole;
    m_graphics = previous;
    return drawn;
}
