// The frame around the curves: title, axes with ticks, grid and tick labels, axis titles,
// frame rectangle and legend.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "LXShapes.h"
#include "LXText.h"
#include "LXTextTiles.h"
#include "Resources.h"

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

namespace {
constexpr UINT kIdsUntitled = 1120;
const wchar_t kLogTitle[] = L"log(%s)";
const wchar_t kExponentTitle[] = L" \u00D7 10^%d";

// The y labels' power of ten: 0 for a maximum that has no logarithm.
int YExponent(double yMax)
{
    if (!(yMax > 0) || !std::isfinite(yMax)) return 0;
    return int(std::floor(std::log10(yMax) + 1e-12));
}

std::uint32_t HighlightColour(int index)
{
    return LXGraphics::CColor::FromThemeSysColor(nullptr, index).GetValue() | 0xFF000000u;
}

LXGraphics::CSyncRect RectXYWH(float x, float y, float w, float h)
{
    LXGraphics::CSyncRect r;
    r.SetXYWH(x, y, w, h);
    return r;
}
}  // namespace

void CGraphRenderer::DrawTitle()
{
    const CDiffractionSettings& s = *m_settings;
    if (!s.m_showPlotTitle) return;
    CString text = s.m_fourthText;
    if (text.IsEmpty()) text.LoadString(kIdsUntitled);
    const LXGraphics::CSyncRect box = RectXYWH(float(m_plotRect.m_int.X), m_wholeRect.m_float.Y,
                                               float(m_plotRect.m_int.Width),
                                               m_plotRect.m_float.Y - m_wholeRect.m_float.Y - m_titleClearance);
    DrawTextBox(m_graphics, text.GetString(), s.m_fontName, s.m_fontSize * 1.4f, s.m_fontStyle | 0x600, s.m_fontColor,
                box);
}

std::vector<CGraphRenderer::TickLabel> CGraphRenderer::GetXTickLabels() const
{
    std::vector<TickLabel> labels;
    if (!m_rangesValid) return labels;
    const CDiffractionSettings& s = *m_settings;
    const float w0 = Measure(L"0.00", s.m_fontSize, s.m_fontStyle).Width;
    double steps[3];
    AxisSteps(true, steps);
    const double step = steps[1] > 0 && steps[1] * m_xPixelsPerUnit > 2 * w0 ? steps[1] : steps[0];
    if (!(step > 0)) return labels;
    const int e = int(std::floor(std::log10(step) + 1e-9));
    CString format = L"%.0f";
    if (e < 0) format.Format(L"%%.%df", -e);
    const double tolerance = step * 1e-6;
    for (double v : TickValues(s.m_visibleXMin, s.m_visibleXMax, step, 1.01)) {
        if (v < s.m_visibleXMin - tolerance || v > s.m_visibleXMax + tolerance) continue;
        CString text;
        text.Format(format.GetString(), v);
        labels.push_back({v, text});
    }
    return labels;
}

std::vector<CGraphRenderer::TickLabel> CGraphRenderer::GetYTickLabels() const
{
    std::vector<TickLabel> labels;
    const CDiffractionSettings& s = *m_settings;
    if (!m_rangesValid || s.m_filmMode) return labels;
    const auto [min, max] = AxisRange(false);
    const float h0 = Measure(L"0.00", s.m_fontSize, s.m_fontStyle).Height;
    double steps[3];
    AxisSteps(false, steps);
    const double step =
        steps[1] * m_yPixelsPerUnit > 1.5 * h0 && steps[1] >= 0.1 - 1e-12 ? steps[1] : steps[0];
    if (!(step > 0)) return labels;
    const int e = YExponent(max);
    const double scale = e < 0 || e >= 2 ? std::pow(10.0, e) : 1.0;
    const double shown = step / scale;
    const wchar_t* format = shown >= 1 - 1e-9 ? L"%.0f" : shown >= 0.1 - 1e-10 ? L"%.1f" : L"%.2f";
    const double tolerance = step * 1e-6;
    for (double v : TickValues(min, max, step, 1.01)) {
        if (v < min - tolerance || v > max + tolerance) continue;
        CString text;
        text.Format(format, v / scale);
        labels.push_back({v, text});
    }
    return labels;
}

CString CGraphRenderer::GetYAxisTitle() const
{
    const CDiffractionSettings& s = *m_settings;
    CString title;
    if (s.m_logarithmicYAxis) {
        title.Format(kLogTitle, s.m_yTitle.GetString());
        return title;
    }
    title = s.m_yTitle;
    const int e = YExponent(s.m_visibleYMax);
    if (e < 0 || e >= 2) {
        CString exponent;
        exponent.Format(kExponentTitle, -e);
        title += exponent;
    }
    return title;
}

namespace {
// One grid level: its pen width and the pixel positions of its lines across the axis.
struct GridLevel
{
    float width;
    std::vector<float> at;
    bool operator==(const GridLevel&) const = default;
};

// Lines of every level, each from `from` to `to` along its length; vertical lines stand at x =
// position + shift, horizontal ones at y = position + shift.
void StrokeGridLines(Gdiplus::Graphics& graphics, const std::vector<GridLevel>& levels, std::uint32_t colour,
                     bool vertical, float shift, float from, float to, float along)
{
    // One path a level: each line is still its own figure, stroked as if alone.
    for (const GridLevel& level : levels) {
        Gdiplus::Pen pen(Gdiplus::Color(colour), level.width);
        pen.SetAlignment(Gdiplus::PenAlignmentInset);
        Gdiplus::GraphicsPath path;
        for (float position : level.at) {
            const float across = position + shift;
            path.StartFigure();
            if (vertical)
                path.AddLine(across, from + along, across, to + along);
            else
                path.AddLine(from + along, across, to + along, across);
        }
        if (!level.at.empty()) graphics.DrawPath(&pen, &path);
    }
}

// A piece of the grid drawn into a bitmap of its own: `across` pixels wide across the lines
// from `acrossStart`, `length` pixels along them from `lengthStart`; the lines are cut to a
// margin around it, which leaves its pixels as they were.
Gdiplus::Bitmap* DrawGridPiece(const std::vector<GridLevel>& levels, std::uint32_t colour, bool vertical,
                               Gdiplus::SmoothingMode smoothing, float acrossStart, int across, float from,
                               float to, int lengthStart, int length, int margin)
{
    auto* piece = vertical ? new Gdiplus::Bitmap(across, length, Gdiplus::PixelFormat32bppPARGB)
                           : new Gdiplus::Bitmap(length, across, Gdiplus::PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(piece);
    graphics.SetSmoothingMode(smoothing);
    const float low = float(lengthStart - margin), high = float(lengthStart + length + margin);
    const float a = std::clamp(from, low, high), b = std::clamp(to, low, high);
    if (a != b) StrokeGridLines(graphics, levels, colour, vertical, -acrossStart, a, b, -float(lengthStart));
    return piece;
}

// What a grid's cross-section is drawn from; equal keys give equal pixels.
struct GridPieceKey
{
    std::vector<GridLevel> levels;
    std::uint32_t colour;
    bool vertical;
    int smoothing;
    int across;
    float from, to;
    int first, tile, margin;
    bool operator==(const GridPieceKey&) const = default;
};

// A cross-section and, for horizontal lines, its rows that are not blank (row, colour).
struct GridPiece
{
    std::shared_ptr<Gdiplus::Bitmap> section;
    std::vector<std::pair<int, Gdiplus::ARGB>> rows;
};

// Drawing the cross-sections of a few hundred lines costs more than laying them along the
// plot; redraws with the same axes find them here (a few, for the two directions and a
// second plot).
class GridPieceCache
{
public:
    bool Find(const GridPieceKey& key, GridPiece& piece)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_kept.begin(); it != m_kept.end(); ++it)
            if (it->first == key) {
                piece = it->second;
                m_kept.splice(m_kept.begin(), m_kept, it);
                return true;
            }
        return false;
    }
    void Keep(const GridPieceKey& key, const GridPiece& piece)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_kept.emplace_front(key, piece);
        if (m_kept.size() > 6) m_kept.pop_back();
    }

private:
    std::mutex m_lock;
    std::list<std::pair<GridPieceKey, GridPiece>> m_kept;
};

GridPieceCache& GridPieces()
{
    static GridPieceCache cache;
    return cache;
}

}  // namespace

void CGraphRenderer::DrawGridLines(bool xAxis, const double steps[3])
{
    const CDiffractionSettings& s = *m_settings;
    const auto& r = m_plotRect.m_float;
    static const float kWidths[3] = {0.25f, 0.5f, 1.0f};
    const auto [min, max] = AxisRange(xAxis);
    // Finest level first so the coarser lines are drawn over it.
    std::vector<GridLevel> levels;
    float widest = 0;
    for (int level = 2; level >= 0; --level) {
        const double step = steps[level];
        if (!(step > 0)) continue;
        GridLevel grid{kWidths[2 - level] * Scale(), {}};
        widest = std::max(widest, grid.width);
        for (double v : TickValues(min, max, step, 1.0))
            grid.at.push_back(xAxis ? DataToPixel(v, s.m_visibleYMin).X
                                    : float((r.Y + r.Height) - (v - min) * m_yPixelsPerUnit));
        levels.push_back(std::move(grid));
    }
    // Vertical lines run from the plot's bottom to its top, horizontal ones from left to right.
    const bool vertical = xAxis;
    const float from = vertical ? r.Y + r.Height : r.X, to = vertical ? r.Y : r.X + r.Width;
    const float acrossLow = vertical ? r.X : r.Y, acrossHigh = vertical ? r.X + r.Width : r.Y + r.Height;
    // A grid line is the same at every point between its ends, but the raster engine fills it
    // pixel by pixel: on an image one cross-section is drawn and laid along the lines as a
    // texture, from end to end (the ends lie under the frame).
    const int margin = int(std::ceil(widest / 2)) + 2;
    const float lowEnd = std::min(from, to), highEnd = std::max(from, to);
    const int first = int(std::ceil(lowEnd)) + margin, last = int(std::floor(highEnd)) - margin;
    const int acrossStart = int(std::floor(acrossLow)) - margin;
    if (!m_graphics->DrawsWholePixels() || last - first < 4 * margin || acrossStart < 0) {
        StrokeGridLines(*m_graphics, levels, s.m_gridColor, vertical, 0, from, to, 0);
        return;
    }
    const int across = int(std::ceil(acrossHigh)) + margin - acrossStart;
    // The cross-section starts at the world origin across the lines, where a texture starts;
    // along them it is a few pixels long.
    const int tile = std::min(vertical ? 4 : 8, last - first);
    GridPieceKey key{std::move(levels), s.m_gridColor, vertical, int(m_graphics->GetSmoothingMode()),
                     acrossStart + across, from, to, first, tile, margin};
    GridPiece piece;
    if (!GridPieces().Find(key, piece)) {
        piece.section.reset(DrawGridPiece(key.levels, s.m_gridColor, vertical, m_graphics->GetSmoothingMode(), 0,
                                          acrossStart + across, from, to, first, tile, margin));
        if (!vertical) {
            // A row of horizontal lines is one colour from end to end: one fill a row, each a
            // single span, where a texture would be laid a tile at a time.
            Gdiplus::BitmapData pixels{};
            if (piece.section->LockBits(nullptr, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB,
                                        &pixels) != Gdiplus::Ok)
                return;
            for (UINT row = 0; row < pixels.Height; ++row) {
                const auto* line = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(pixels.Scan0) +
                                                                          std::ptrdiff_t(row) * pixels.Stride);
                const std::uint32_t colour = line[pixels.Width / 2];
                if ((colour >> 24) != 0) piece.rows.emplace_back(int(row), colour);
            }
            piece.section->UnlockBits(&pixels);
        }
        GridPieces().Keep(key, piece);
    }
    const float length = highEnd - lowEnd;
    if (!vertical) {
        std::vector<Gdiplus::RectF> rows;
        std::vector<Gdiplus::ARGB> colours;
        rows.reserve(piece.rows.size());
        colours.reserve(piece.rows.size());
        for (const auto& [row, colour] : piece.rows) {
            rows.emplace_back(lowEnd, float(row), length, 1.0f);
            colours.push_back(colour);
        }
        m_graphics->FillRectanglesEach(rows.data(), colours.data(), INT(rows.size()));
        return;
    }
    Gdiplus::TextureBrush texture(piece.section.get());
    m_graphics->FillRectangle(&texture, Gdiplus::RectF(float(acrossStart), lowEnd, float(across), length));
}

void CGraphRenderer::DrawAxes()
{
    const CDiffractionSettings& s = *m_settings;
    double steps[3];
    AxisSteps(true, steps);
    for (const TickLabel& label : GetXTickLabels()) DrawXTickLabel(label.value, label.text);
    const bool grid = s.m_showGrid && !s.m_filmMode;
    if (grid) DrawGridLines(true, steps);
    if (s.m_filmMode) return;
    for (const TickLabel& label : GetYTickLabels()) DrawYTickLabel(label.value, label.text);
    if (grid) {
        AxisSteps(false, steps);
        DrawGridLines(false, steps);
    }
}

void CGraphRenderer::DrawXTickLabel(double value, const CString& text)
{
    const CDiffractionSettings& s = *m_settings;
    Gdiplus::Pen pen(Gdiplus::Color(s.m_frameColor), Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    const float x = DataToPixel(value, s.m_visibleYMin).X;
    const float bottom = m_plotRect.m_float.Y + m_plotRect.m_float.Height;
    m_graphics->DrawLine(&pen, x, bottom, x, bottom + m_tickLength);
    const Gdiplus::SizeF size = Measure(text, s.m_fontSize, s.m_fontStyle);
    const float w = size.Width + m_labelMargin;
    DrawTextBoxFromTile(m_graphics, text.GetString(), s.m_fontName, s.m_fontSize, s.m_fontStyle | 0x500,
                        s.m_fontColor, RectXYWH(x - w / 2, bottom + m_tickLength + m_gap, w, size.Height));
}

void CGraphRenderer::DrawYTickLabel(double value, const CString& text)
{
    const CDiffractionSettings& s = *m_settings;
    Gdiplus::Pen pen(Gdiplus::Color(s.m_frameColor), Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    const double min = AxisRange(false).first;
    const auto& r = m_plotRect.m_float;
    const float y = float((r.Y + r.Height) - (value - min) * m_yPixelsPerUnit);
    m_graphics->DrawLine(&pen, r.X, y, r.X - m_tickLength, y);
    const Gdiplus::SizeF size = Measure(text, s.m_fontSize, s.m_fontStyle);
    const float w = size.Width + m_labelMargin;
    DrawTextBoxFromTile(m_graphics, text.GetString(), s.m_fontName, s.m_fontSize, s.m_fontStyle | 0x500,
                        s.m_fontColor, RectXYWH(r.X - m_tickLength - m_gap - w, y - size.Height / 2, w, size.Height));
}

void CGraphRenderer::DrawXAxisTitle()
{
    const CDiffractionSettings& s = *m_settings;
    CString text = s.m_unitName;
    if (!s.m_unitSymbol.IsEmpty()) text.Format(L"%s [%s]", s.m_unitName.GetString(), s.m_unitSymbol.GetString());
    const float h = Measure(text, s.m_fontSize, s.m_fontStyle).Height + 2 * m_gap;
    const float bottom = m_wholeRect.m_float.Y + m_wholeRect.m_float.Height;
    DrawTextBoxFromTile(m_graphics, text.GetString(), s.m_fontName, s.m_fontSize, s.m_fontStyle | 0x600,
                        s.m_fontColor, RectXYWH(m_plotRect.m_float.X, bottom - h, m_plotRect.m_float.Width, h));
}

void CGraphRenderer::DrawYAxisTitle()
{
    const CString text = GetYAxisTitle();
    const Gdiplus::SizeF size = Measure(text, m_settings->m_fontSize, m_settings->m_fontStyle);
    const Gdiplus::PointF centre(m_wholeRect.m_float.X + m_gap + size.Height / 2,
                                 m_plotRect.m_float.Y + m_plotRect.m_float.Height / 2);
    DrawRotatedText(text, centre, m_plotRect.m_float.Height, size.Height);
}

void CGraphRenderer::DrawRotatedText(const CString& text, const Gdiplus::PointF& centre, float width, float height)
{
    const CDiffractionSettings& s = *m_settings;
    const float size = std::max(1.0f, s.m_fontSize * g_textScale);
    DrawRotatedLabel(m_graphics, text.GetString(), s.m_fontName, size, (s.m_fontStyle & 0x1F) | 0x48200,
                     s.m_fontColor, -90.0f, 0.0f, RectXYWH(centre.X - width / 2, centre.Y - height / 2, width, height),
                     false);
}

void CGraphRenderer::DrawFrameRect()
{
    Gdiplus::Pen pen(Gdiplus::Color(m_settings->m_frameColor), Scale());
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    const Gdiplus::SmoothingMode saved = m_graphics->GetSmoothingMode();
    m_graphics->SetSmoothingMode(Gdiplus::SmoothingModeNone);
    const auto& r = m_plotRect.m_float;
    m_graphics->DrawRectangle(&pen, r.X, r.Y, r.Width, r.Height);
    RestoreSmoothing(saved);
}

bool CGraphRenderer::CursorOn()
{
    // A figure (copy, export, print) draws no tools: readouts of a cursor it does not show would
    // name a place the reader cannot see.
    if (m_output) return false;
    const CCursor* cursor = m_settings->GetCursor(true);
    return cursor && cursor->IsActive();
}

double CGraphRenderer::CursorDataX()
{
    const CCursor* cursor = m_settings->GetCursor(true);
    // Placed at a data x (centred on a reflexion), the line moves there only when the tools are
    // drawn, after the legend; the legend reads that x already, kept on the plot as the line is.
    if (cursor && cursor->m_xSet && std::isfinite(cursor->m_x)) {
        const CDiffractionSettings& s = *m_settings;
        return std::clamp(cursor->m_x, std::min(s.m_visibleXMin, s.m_visibleXMax),
                          std::max(s.m_visibleXMin, s.m_visibleXMax));
    }
    const auto& r = m_plotRect.m_float;
    // Tool positions are offsets from the plot centre; a stored NaN reads as the centre.
    const float dx = cursor && std::isfinite(cursor->m_rec.x) ? cursor->m_rec.x : 0.0f;
    return PixelToData(Gdiplus::PointF(r.X + r.Width / 2 + dx, r.Y + r.Height / 2)).first;
}

bool CGraphRenderer::LayOutLegend(bool withCursorValues, LegendLayout& out) const
{
    const CDiffractionSettings& s = *m_settings;
    out = LegendLayout();
    if (!s.m_showLegend || m_legend.empty() || !m_graphics) return false;
    const float m6 = 6 * Scale(), m10 = 10 * Scale(), sampleWidth = 32 * Scale();
    const float gap2 = Metric(2);
    const auto& plot = m_plotRect.m_float;
    float height = 0, widest = 0, tallest = 0;
    const float fontPixels = s.m_fontSize * g_textScale * m_graphics->GetDpiY() / 72.0f;
    auto spare = [&](float rowHeight) { return std::max(0.0f, (rowHeight - fontPixels) / 2); };
    for (const CQLPatternPtr& p : m_legend) {
        CString text;
        p->GetLegendText(text);
        if (withCursorValues) text += L": ";
        const Gdiplus::SizeF size = Measure(text, s.m_fontSize, 0);
        if (gap2 + m10 + height + size.Height > plot.Height) break;
        // A row that would push the padded box out of the plot is left out: otherwise many
        // patterns would leave no legend at all.
        const float grown = height + 1.5f * size.Height + gap2;
        if (m10 + grown + 2 * spare(std::max(tallest, 1.5f * size.Height)) > plot.Height) break;
        height = grown;
        widest = std::max(widest, size.Width + size.Height);
        tallest = std::max(tallest, 1.5f * size.Height);
        out.texts.push_back(text);
        out.sizes.push_back(size);
    }
    if (out.texts.empty()) return false;
    float width = widest + sampleWidth + 3 * m6;
    if (withCursorValues) width += Measure(L": 888.888", s.m_fontSize, 0).Width;
    out.spare = spare(tallest);
    height += 2 * out.spare;
    out.box = RectXYWH(plot.X + plot.Width - m10 - width, plot.Y + m10, width, height);
    // Only a box that fits wholly inside the plot is drawn.
    return !(out.box.m_float.X < plot.X || out.box.m_float.Y + out.box.m_float.Height > plot.Y + plot.Height);
}

void CGraphRenderer::DrawLegend(bool withCursorValues)
{
    const CDiffractionSettings& s = *m_settings;
    LegendLayout layout;
    if (!LayOutLegend(withCursorValues, layout)) return;
    const float m6 = 6 * Scale(), sampleWidth = 32 * Scale();
    const float gap2 = Metric(2), radius = Metric(8);
    const LXGraphics::CSyncRect& box = layout.box;
    const std::vector<CString>& texts = layout.texts;
    const std::vector<Gdiplus::SizeF>& sizes = layout.sizes;
    const float d = layout.spare;
    Gdiplus::GraphicsPath outline;
    BuildMarkerPath(outline, box, radius, false, LXGraphics::CSyncPoint());
    Gdiplus::SolidBrush paper{Gdiplus::Color(m_paperColor)};
    Gdiplus::Pen edge(Gdiplus::Color(s.m_gridColor), Scale());
    m_graphics->FillPath(&paper, &outline);
    m_graphics->DrawPath(&edge, &outline);

    const double cursorX = withCursorValues ? CursorDataX() : 0;
    float y = box.m_float.Y + gap2 + d;
    for (size_t i = 0; i < texts.size(); ++i) {
        const CQLPattern& p = *m_legend[i];
        const float rowHeight = 1.5f * sizes[i].Height;
        const LXGraphics::CSyncRect row = RectXYWH(box.m_float.X, y, box.m_float.Width, rowHeight);
        const bool selected = p.IsSelected() && !m_output;
        if (selected)
            DrawHighlightBox(RectXYWH(box.m_float.X + m6 / 2, y, box.m_float.Width - m6, rowHeight),
                             HighlightColour(COLOR_HIGHLIGHT), HighlightColour(COLOR_HIGHLIGHT), true);
        const float sampleX = box.m_float.X + m6, centreY = y + rowHeight / 2;
        if (p.m_fill) {
            Gdiplus::SolidBrush fill(
                Gdiplus::Color((std::uint32_t(p.m_fillOpacity * 255) << 24) | (p.m_color & 0xFFFFFFu)));
            m_graphics->FillRectangle(&fill, sampleX, y + rowHeight / 4, sampleWidth, rowHeight / 2);
        }
        if (p.m_lineStyle != 0) {
            Gdiplus::Pen pen(Gdiplus::Color(p.m_color), p.m_lineWidth * Scale());
            pen.SetDashStyle(LineStyleToDashStyle(p.m_lineStyle));
            m_graphics->DrawLine(&pen, sampleX, centreY, sampleX + sampleWidth, centreY);
        }
        if (p.m_markerStyle != 0)
            DrawMarker(Gdiplus::PointF(sampleX + sampleWidth / 2, centreY), p.m_markerStyle, p.m_markerSize * Scale(),
                       p.m_color);
        std::uint32_t colour = s.m_fontColor;
        if (selected) {
            colour = HighlightColour(COLOR_HIGHLIGHTTEXT);
            if (colour == 0xFFFFFFFFu) colour = 0xFFFDFDFDu;
        }
        const float textX = sampleX + sampleWidth + m6;
        const float textRight = withCursorValues ? box.m_float.X + box.m_float.Width : textX + sizes[i].Width + 1;
        CString text = texts[i];
        if (withCursorValues) {
            CString value;
            value.Format(L"%.3f", p.GetReadoutIntensityAt(cursorX));
            text += value;
        }
        DrawTextBox(m_graphics, text.GetString(), s.m_fontName, s.m_fontSize, 0x48400, colour,
                    RectXYWH(textX, row.m_float.Y, textRight - textX, rowHeight));
        y += rowHeight;
    }
}
