// Peak labels: placement above, at the top or at the bottom, stem and arrowhead, frame,
// outline, and hiding of labels that would overlap stronger ones.
#include "GraphRenderer.h"

#include "LXShapes.h"
#include "LXGdiplus.h"
#include "LXText.h"
#include "LXTextTiles.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <tuple>

namespace {
constexpr UINT kIdsXAxisUnits = 2329;

LXGraphics::CSyncRect Centred(float cx, float cy, float w, float h)
{
    LXGraphics::CSyncRect r;
    r.SetXYWH(cx - w / 2, cy - h / 2, w, h);
    return r;
}

// What makes a label's text tile besides text and font: flags, colour, turn, the box centre's place
// within a pixel, the box size, the resolutions and the smoothing.
struct LabelTileLook
{
    float size;
    UINT flags;
    std::uint32_t colour;
    bool rotate;
    float fx, fy, w, h, dpiX, dpiY;
    int drawDpi, screenDpi;
    float textScale;
    int smoothing;
    bool operator==(const LabelTileLook&) const = default;
    std::size_t Hash() const
    {
        std::size_t hash = 0;
        for (float f : {size, fx, fy, w, h, dpiX, dpiY, textScale})
            LXGraphics::MixHash(hash, LXGraphics::FloatBits(f));
        for (std::size_t v : {std::size_t(flags), std::size_t(colour), std::size_t(rotate), std::size_t(drawDpi),
                              std::size_t(screenDpi), std::size_t(smoothing)})
            LXGraphics::MixHash(hash, v);
        return hash;
    }
};

using LabelTile = LXGraphics::CTextTile;
using LabelTileCache = LXGraphics::CTextKeyedCache<LabelTileLook, LabelTile>;
using LabelTileKey = LabelTileCache::Key;

LabelTileCache& LabelTiles()
{
    static LabelTileCache cache(std::size_t(4) << 20);  // pixels: about 16 MB
    return cache;
}

// Strict overlap: touching edges do not count.
bool Overlaps(const LXGraphics::CSyncFloatRect& p, const LXGraphics::CSyncFloatRect& q)
{
    return p.X < q.X + q.Width && q.X < p.X + p.Width && p.Y < q.Y + q.Height && q.Y < p.Y + p.Height;
}
}  // namespace

struct CGraphRenderer::LabelDrawing
{
    const CQLPattern* owner;
    Gdiplus::PointF point;
    float tip, direction;
    LXGraphics::CSyncRect frame;
    LabelTile tile;
    Gdiplus::RectF tileAt;
    int left, right;  // the columns it may reach
};

void CGraphRenderer::DrawPeakLabels(CQLPeakLabelList& peaks, const LXGraphics::CSyncRect& area, bool film)
{
    Gdiplus::BandedDrawing banded(m_graphics);
    if (!m_graphics || !banded.Available()) {
        PlacePeakLabels(peaks, area, film);
        return;
    }
    // Placed one after another (each against those before it), then drawn in strips of columns on
    // several threads: on a large plot most of a label's cost is its drawing. Labels are narrow,
    // so few of them reach into two strips.
    std::vector<LabelDrawing> drawings;
    struct Collecting
    {
        std::vector<LabelDrawing>*& into;
        ~Collecting() { into = nullptr; }
    } collecting{m_labelDrawings};
    m_labelDrawings = &drawings;
    PlacePeakLabels(peaks, area, film);
    // A handful of labels are drawn sooner than the strips are handed out.
    if (drawings.size() < 16) {
        for (const LabelDrawing& d : drawings) DrawLabel(*m_graphics, d);
        return;
    }
    int left = INT_MAX, right = INT_MIN;
    for (const LabelDrawing& d : drawings) {
        left = std::min(left, d.left);
        right = std::max(right, d.right);
    }
    banded.Run(left, right, [&](Gdiplus::BandedDrawing::Strip& strip) {
        for (const LabelDrawing& d : drawings)
            if (d.right > strip.Left() && d.left < strip.Right()) DrawLabel(strip, d);
    });
}

void CGraphRenderer::PlacePeakLabels(CQLPeakLabelList& peaks, const LXGraphics::CSyncRect& area, bool film)
{
    m_placedLabels.clear();
    // Bands over the area's columns and a margin of frames half out of it; fewer for an area too
    // wide to be finite or sensible.
    const float first = std::floor(area.m_float.X / 32) - 8, count = std::ceil(area.m_float.Width / 32) + 17;
    const bool sized = first > -1e6f && first < 1e6f && count > 0 && count < 65536;
    m_labelBandsBase = sized ? int(first) : 0;
    for (std::vector<size_t>& band : m_labelBands) band.clear();
    m_labelBands.resize(sized ? std::size_t(count) + 1 : 1);
    m_labelBandsFiled = 0;
    if (m_settings->m_hideOverlappingLabels) {
        // Strongest first. Sorting their places makes the same comparisons, hence the same order
        // among equals, as sorting the labels, without moving their texts about.
        std::vector<std::pair<double, std::size_t>> order(peaks.size());
        for (std::size_t i = 0; i < peaks.size(); ++i) order[i] = {peaks[i].y, i};
        std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        // Put in place cycle by cycle: label k goes where order[k] says, without a second list.
        for (std::size_t start = 0; start < order.size(); ++start) {
            if (order[start].second == SIZE_MAX) continue;
            CQLPeakLabel held = std::move(peaks[start]);
            std::size_t at = start;
            while (order[at].second != start) {
                const std::size_t from = order[at].second;
                peaks[at] = std::move(peaks[from]);
                order[at].second = SIZE_MAX;
                at = from;
            }
            peaks[at] = std::move(held);
            order[at].second = SIZE_MAX;
        }
    }
    for (const CQLPeakLabel& peak : peaks) {
        if (!peak.pattern) continue;
        int alignment = int(peak.pattern->m_labelAlignment);
        if (film && alignment == 3) alignment = 1;
        Gdiplus::PointF point = DataToPixel(peak.x, peak.y);
        if (alignment == 1)
            point.Y = area.m_float.Y;
        else if (alignment == 2)
            point.Y = area.m_float.Y + area.m_float.Height;
        DrawPeakLabel(peak.text, alignment, point, *peak.pattern, area);
    }
}

// Thousands of peaks against hundreds of placed frames: the frames are filed by the columns of
// pixels they cover, and a new frame is tested only against those sharing a column band.
bool CGraphRenderer::OverlapsPlacedLabel(const LXGraphics::CSyncFloatRect& frame)
{
    constexpr float kBand = 32;
    if (m_labelBands.empty()) m_labelBands.resize(1);
    const int far = int(m_labelBands.size()) - 1;
    // The bands a frame covers; none (-1) for a frame reaching outside them or not finite.
    auto bands = [&](const LXGraphics::CSyncFloatRect& r) {
        const float low = std::floor(r.X / kBand) - float(m_labelBandsBase);
        const float high = std::floor((r.X + r.Width) / kBand) - float(m_labelBandsBase);
        if (!(low >= 0 && high < float(far))) return std::pair<int, int>(-1, -1);
        return std::pair<int, int>(int(low), int(high));
    };
    if (m_labelBandsFiled > m_placedLabels.size()) {
        for (std::vector<size_t>& band : m_labelBands) band.clear();
        m_labelBandsFiled = 0;
    }
    for (; m_labelBandsFiled < m_placedLabels.size(); ++m_labelBandsFiled) {
        const auto [low, high] = bands(m_placedLabels[m_labelBandsFiled].m_float);
        if (low < 0) m_labelBands[std::size_t(far)].push_back(m_labelBandsFiled);
        for (int b = low; b >= 0 && b <= high; ++b) m_labelBands[std::size_t(b)].push_back(m_labelBandsFiled);
    }
    auto hits = [&](int band) {
        for (size_t i : m_labelBands[std::size_t(band)])
            if (Overlaps(frame, m_placedLabels[i].m_float)) return true;
        return false;
    };
    const auto [low, high] = bands(frame);
    if (low < 0) {
        for (const LXGraphics::CSyncRect& placed : m_placedLabels)
            if (Overlaps(frame, placed.m_float)) return true;
        return false;
    }
    for (int b = low; b <= high; ++b)
        if (hits(b)) return true;
    return hits(far);  // frames filed out of range
}

void CGraphRenderer::DrawPeakLabels(Gdiplus::Graphics* graphics, CQLPeakLabelList& peaks)
{
    EntryState state;
    if (!BeginEntry(graphics, state)) return;
    if (m_rangesValid) DrawPeakLabels(peaks, m_plotRect, false);
    EndEntry(state);
}

void CGraphRenderer::DrawPeakLabel(const CString& label, int alignment, const Gdiplus::PointF& point,
                                   const CQLPattern& owner, const LXGraphics::CSyncRect& area)
{
    const CDiffractionSettings& s = *m_settings;
    const float g = m_labelGap, a = m_arrowLength, t = m_stemLength;
    // A copy only for a text that shows the x unit.
    CString replaced;
    const CString* shown = &label;
    UINT flags = 0x210;
    float w = 0, h = 0;
    if (!label.IsEmpty()) {
        if (!m_unitsKnown) {
            // The same for every label of this drawing: looked up once.
            m_unitSymbol = s.m_unitSymbol;
            if (!m_unitSymbol.IsEmpty() && std::iswdigit(m_unitSymbol[0])) m_unitSymbol = L" " + m_unitSymbol;
            m_unitPlaceholder.LoadString(kIdsXAxisUnits);
            if (m_unitPlaceholder.IsEmpty()) m_unitPlaceholder = L"<XAxisUnits>";
            m_unitsKnown = true;
        }
        const std::wstring_view placeholder(m_unitPlaceholder.GetString(), std::size_t(m_unitPlaceholder.GetLength()));
        if (std::wstring_view(label.GetString(), std::size_t(label.GetLength())).find(placeholder) !=
            std::wstring_view::npos) {
            replaced = label;
            replaced.Replace(m_unitPlaceholder.GetString(), m_unitSymbol.GetString());
            shown = &replaced;
        }
    }
    const CString& text = *shown;
    if (!text.IsEmpty()) {
        if (owner.m_labelOutline) flags = 0x20000210;
        const Gdiplus::SizeF size = Measure(text, s.m_fontSize, flags);
        w = size.Width + 1;
        h = size.Height + 1;
    }
    const bool rotate = owner.m_rotateLabels != 0;
    const float extent = rotate ? w : h;
    const float top = area.m_float.Y, bottom = area.m_float.Y + area.m_float.Height;
    float tip, centre, direction;
    if (alignment == 1) {
        centre = top + g + extent / 2;
        tip = centre + extent / 2 + t + a;
        direction = 1;
    } else if (alignment == 2) {
        centre = bottom - g - extent / 2;
        tip = centre - extent / 2 - t - a;
        direction = -1;
    } else {
        tip = point.Y - g;
        centre = tip - g - a - t - extent / 2;
        direction = 1;
        if (centre - extent / 2 < top + g) {
            tip = g + std::max(top, point.Y);
            centre = tip + g + a + t + extent / 2;
            direction = -1;
        }
    }
    const float boxW = rotate ? h : w, boxH = rotate ? w : h;
    LXGraphics::CSyncFloatRect box;
    if (!text.IsEmpty()) {
        const float gx = boxW < 2 * g ? boxW / 2 : g, gy = boxH < 2 * g ? boxH / 2 : g;
        const float frameW = boxW + 2 * gx, frameH = boxH + 2 * gy;
        box = {point.X - frameW / 2, centre - frameH / 2, frameW, frameH};
    } else {
        // A square at the stem's far end, reaching from the tip toward the peak.
        box = {point.X - g, direction > 0 ? tip : tip - 2 * g, 2 * g, 2 * g};
    }
    // Most labels give way: their frames' whole-pixel forms are worked out only when placed.
    if (s.m_hideOverlappingLabels && OverlapsPlacedLabel(box)) return;
    LXGraphics::CSyncRect frame;
    frame.SetXYWH(box.X, box.Y, box.Width, box.Height);
    m_placedLabels.push_back(frame);
    const float stem = m_arrowHalfWidth;
    const float reachLeft = std::min(box.X, point.X - stem), reachRight = std::max(box.X + box.Width, point.X + stem);
    const float reachTop = std::min(box.Y, tip), reachBottom = std::max(box.Y + box.Height, tip);
    m_labelReach.emplace_back(reachLeft, reachTop, reachRight - reachLeft, reachBottom - reachTop);
    if (!m_graphics) return;

    LabelDrawing drawing{&owner, point, tip, direction, frame, {}, {}, 0, 0};
    if (!text.IsEmpty()) {
        const float cx = std::floor(point.X) + 0.5f, cy = std::floor(centre) + 0.5f;
        const float textW = std::ceil(w), textH = std::ceil(h);
        const bool outlined = owner.m_labelOutline != 0;
        auto drawText = [&](Gdiplus::Graphics* graphics, float dx, float dy) {
            const LXGraphics::CSyncRect textBox = Centred(cx + dx, cy + dy, textW, textH);
            if (rotate)
                // Turned text is not scaled for an export by the text routines; the size is given scaled.
                DrawRotatedLabel(graphics, text.GetString(), s.m_fontName, s.m_fontSize * g_textScale, flags,
                                 owner.m_labelColor, -90.0f, 0.0f, textBox, false);
            else
                DrawTextString(graphics, text.GetString(), -1, s.m_fontName, s.m_fontSize, flags & ~0x700u,
                               owner.m_labelColor, textBox.m_float.X, textBox.m_float.Y, outlined ? 0xFFFDFDFDu : 0,
                               true, false, nullptr);
        };
        // A tile copied over would also copy its transparent margin.
        if (!m_graphics->DrawsWholePixels() || m_graphics->GetCompositingMode() != Gdiplus::CompositingModeSourceOver) {
            DrawLabel(*m_graphics, drawing);
            drawText(m_graphics, 0, 0);
            return;
        }
        // Laying out, outlining and filling the glyphs of a label costs far more than copying its
        // pixels: on an image, each text is drawn once into a tile of its own at the same offset
        // within a pixel, and the tile is copied to every label that shows it.
        const int radius = int(std::ceil(std::max(textW, textH) / 2)) + 4, side = 2 * radius + 1;
        const float tileLeft = std::floor(cx) - float(radius), tileTop = std::floor(cy) - float(radius);
        const LabelTileKey key{std::wstring_view(text.GetString(), std::size_t(text.GetLength())),
                               std::wstring_view(s.m_fontName.GetString(), std::size_t(s.m_fontName.GetLength())),
                               {s.m_fontSize, flags, owner.m_labelColor, rotate, cx - std::floor(cx),
                                cy - std::floor(cy), textW, textH, m_graphics->GetDpiX(), m_graphics->GetDpiY(),
                                g_drawDpi, g_screenDpi, g_textScale, int(m_graphics->GetSmoothingMode())}};
        LabelTile& tile = drawing.tile;
        if (!LabelTiles().Find(key, tile)) {
            Gdiplus::Bitmap drawn(side, side, Gdiplus::PixelFormat32bppPARGB);
            drawn.SetResolution(m_graphics->GetDpiX(), m_graphics->GetDpiY());
            {
                Gdiplus::Graphics graphics(&drawn);
                graphics.SetSmoothingMode(m_graphics->GetSmoothingMode());
                graphics.SetCompositingMode(m_graphics->GetCompositingMode());
                drawText(&graphics, -tileLeft, -tileTop);
            }
            tile = LXGraphics::CropCovered(drawn, 0, 0);
            LabelTiles().Keep(key, tile, LXGraphics::TileCost(tile));
        }
        if (tile.bitmap)
            drawing.tileAt = Gdiplus::RectF(tileLeft + float(tile.left), tileTop + float(tile.top),
                                            float(tile.bitmap->GetWidth()), float(tile.bitmap->GetHeight()));
    }
    if (!m_labelDrawings) {
        DrawLabel(*m_graphics, drawing);
        return;
    }
    // The columns of the frame, the arrow and the tile, with the pens' reach beyond them (the
    // mitre at the arrow's tip, up to the pens' limit of 10) and a pixel or two of smoothing.
    const float half = std::max(m_labelOutlineWidth, m_labelLineWidth) / 2, hw = m_arrowHalfWidth;
    const float mitre = hw > 0 ? std::sqrt(hw * hw + a * a) / hw : 10.0f;
    const float reach = half * std::clamp(mitre, 1.5f, 10.0f) + 2;
    float low = std::min(frame.m_float.X, point.X - hw), high = std::max(frame.m_float.X + frame.m_float.Width, point.X + hw);
    if (drawing.tile.bitmap) {
        low = std::min(low, drawing.tileAt.X);
        high = std::max(high, drawing.tileAt.X + drawing.tileAt.Width);
    }
    // A label far out or not finite is given to every strip, which draws what the graphics would.
    drawing.left = low - reach > -1e6f ? int(std::floor(std::min(low - reach, 1e6f))) : -1000000;
    drawing.right = high + reach < 1e6f ? int(std::ceil(std::max(high + reach, -1e6f))) : 1000000;
    m_labelDrawings->push_back(std::move(drawing));
}

// The paper under the frame, the white outline, the arrow and frame, then the text's tile; onto
// the graphics or onto one strip of its columns.
template <class Target>
void CGraphRenderer::DrawLabel(Target& target, const LabelDrawing& label) const
{
    const CQLPattern& owner = *label.owner;
    const float hw = m_arrowHalfWidth, a = m_arrowLength, t = m_stemLength;
    const Gdiplus::PointF& point = label.point;
    const float tip = label.tip, direction = label.direction;
    const LXGraphics::CSyncRect& frame = label.frame;
    Gdiplus::GraphicsPath path;
    if (owner.m_labelArrowhead) {
        path.AddLine(point.X - hw, tip - direction * a, point.X, tip);
        path.AddLine(point.X, tip, point.X + hw, tip - direction * a);
        path.StartFigure();
    }
    path.AddLine(point.X, tip, point.X, tip - direction * (t + a));
    if (owner.m_labelFrame && frame.m_float.Width > FLT_EPSILON && frame.m_float.Height > FLT_EPSILON) {
        Gdiplus::GraphicsPath box;
        BuildMarkerPath(box, frame, float(int(4 * m_drawDpi / m_screenDpi)), false, LXGraphics::CSyncPoint());
        Gdiplus::SolidBrush paper{Gdiplus::Color(m_paperColor)};
        target.FillPath(&paper, &box);
        path.StartFigure();
        BuildMarkerPath(path, frame, float(int(4 * m_drawDpi / m_screenDpi)), false, LXGraphics::CSyncPoint());
    }
    if (owner.m_labelOutline) {
        Gdiplus::Pen outline(Gdiplus::Color(0xFFFDFDFDu), m_labelOutlineWidth);
        outline.SetAlignment(Gdiplus::PenAlignmentInset);
        target.DrawPath(&outline, &path);
    }
    Gdiplus::Pen pen(Gdiplus::Color(owner.m_labelColor), m_labelLineWidth);
    pen.SetAlignment(Gdiplus::PenAlignmentInset);
    target.DrawPath(&pen, &path);
    if (!label.tile.bitmap) return;
    const Gdiplus::RectF& at = label.tileAt;
    target.DrawImage(label.tile.bitmap.get(), at, 0, 0, at.Width, at.Height, Gdiplus::UnitPixel);
}
