#include "LXTextTiles.h"

#include "LXGdiplus.h"
#include "LXText.h"

#include <QImage>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {
using namespace Gdiplus;

// What a tile's pixels and the measured size depend on besides the text and the face.
struct TileLook
{
    float size;
    UINT style;
    ARGB colour;
    float dpiX, dpiY, textScale;
    int drawDpi, screenDpi, smoothing;
    bool operator==(const TileLook&) const = default;
};

struct TileKey
{
    std::wstring_view text, face;
    TileLook look;
};

struct KeptKey
{
    std::wstring text, face;
    TileLook look;
    operator TileKey() const { return {text, face, look}; }
};

struct TileHash
{
    using is_transparent = void;
    std::size_t operator()(const TileKey& k) const
    {
        std::size_t h = std::hash<std::wstring_view>()(k.text);
        auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
        const TileLook& l = k.look;
        mix(std::hash<std::wstring_view>()(k.face));
        for (float f : {l.size, l.dpiX, l.dpiY, l.textScale}) mix(std::hash<float>()(f));
        for (std::size_t v : {std::size_t(l.style), std::size_t(l.colour), std::size_t(l.drawDpi),
                              std::size_t(l.screenDpi), std::size_t(l.smoothing)})
            mix(v);
        return h;
    }
    std::size_t operator()(const KeptKey& k) const { return (*this)(TileKey(k)); }
};

struct TileEqual
{
    using is_transparent = void;
    bool operator()(const TileKey& a, const TileKey& b) const
    {
        return a.text == b.text && a.face == b.face && a.look == b.look;
    }
    bool operator()(const KeptKey& a, const TileKey& b) const { return (*this)(TileKey(a), b); }
    bool operator()(const TileKey& a, const KeptKey& b) const { return (*this)(a, TileKey(b)); }
    bool operator()(const KeptKey& a, const KeptKey& b) const { return (*this)(TileKey(a), TileKey(b)); }
};

// The line's measured size, and the pixels it covers (none when it covers none) at their offset
// from the point the line is drawn from.
struct TextTile
{
    SizeF measured;
    std::shared_ptr<Bitmap> bitmap;
    int left = 0, top = 0;
};

class TextTileCache
{
public:
    bool Find(const TileKey& key, TextTile& tile)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_tiles.find(key);
        if (it == m_tiles.end()) return false;
        tile = it->second;
        return true;
    }
    void Keep(const TileKey& key, const TextTile& tile)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // Many distinct texts: start over rather than grow past about 4 MB.
        const std::size_t pixels =
            tile.bitmap ? std::size_t(tile.bitmap->GetWidth()) * tile.bitmap->GetHeight() + 64 : 64;
        if (m_pixels + pixels > (std::size_t(1) << 20)) {
            m_tiles.clear();
            m_pixels = 0;
        }
        if (m_tiles.emplace(KeptKey{std::wstring(key.text), std::wstring(key.face), key.look}, tile).second)
            m_pixels += pixels;
    }

private:
    std::size_t m_pixels = 0;
    std::mutex m_lock;
    std::unordered_map<KeptKey, TextTile, TileHash, TileEqual> m_tiles;
};

TextTileCache& TextTiles()
{
    static TextTileCache cache;
    return cache;
}

// The covered pixels of a drawn square, cut out.
void Crop(Bitmap& drawn, int originX, int originY, TextTile& tile)
{
    const QImage& image = drawn.Q();
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (row[x]) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    }
    if (right < 0) return;
    tile.left = left - originX, tile.top = top - originY;
    tile.bitmap = std::make_shared<Bitmap>(right - left + 1, bottom - top + 1, PixelFormat32bppPARGB);
    tile.bitmap->SetResolution(drawn.GetHorizontalResolution(), drawn.GetVerticalResolution());
    QImage& cropped = tile.bitmap->Q();
    for (int y = top; y <= bottom; ++y)
        std::memcpy(cropped.scanLine(y - top), image.constScanLine(y) + 4 * left, std::size_t(4) * (right - left + 1));
}

// Lines of these styles are glyphs alone: each pixel is blended once, so a copy blended over the
// same background gives the same pixels as the glyphs drawn there. Bars and arrows are more shapes.
constexpr UINT kMoreThanGlyphs = kTextUnderline | kTextStrikeout | kTextOverbar | kTextArrows | kTextSubscript |
                                 kTextSuperscript | kTextTrimming | kTextHidden | kTextOutlined;
}  // namespace

void DrawTextBoxFromTile(Graphics* g, LPCWSTR text, const CString& family, float size, UINT style, ARGB colour,
                         const LXGraphics::CSyncRect& box)
{
    if (!g || !text) return;
    bool plain = (style & kMoreThanGlyphs) || !g->DrawsOnPremultiplied() ||
                 g->GetCompositingMode() != CompositingModeSourceOver;
    if (!plain) {
        Region clip;
        plain = g->GetClip(&clip) != Ok || !clip.IsInfinite(g);
    }
    if (plain) {
        DrawTextBox(g, text, family, size, style, colour, box);
        return;
    }
    const TileKey key{std::wstring_view(text),
                      std::wstring_view(family.GetString(), std::size_t(family.GetLength())),
                      {size, style, colour, g->GetDpiX(), g->GetDpiY(), g_textScale, g_drawDpi, g_screenDpi,
                       int(g->GetSmoothingMode())}};
    TextTile tile;
    if (!TextTiles().Find(key, tile)) {
        // Measured as DrawTextBox measures a single line.
        LXGraphics::CSyncRect area = box;
        CTextBox tb;
        tb.style = style | kTextSingleLine;
        tb.measured = &tile.measured;
        tb.exportScaled = true;
        tb.box = &area;
        MeasureTextBox(g, text, family, size, tb);
        // Drawn from a whole-pixel point well inside a square with room for overhanging glyphs.
        const int pad = int(std::ceil(std::max(tile.measured.Height, 8.0f))) + 8;
        const int w = int(std::ceil(std::max(tile.measured.Width, 0.0f))) + 2 * pad;
        const int h = int(std::ceil(std::max(tile.measured.Height, 0.0f))) + 2 * pad;
        Bitmap drawn(w, h, PixelFormat32bppPARGB);
        drawn.SetResolution(g->GetDpiX(), g->GetDpiY());
        {
            Graphics graphics(&drawn);
            graphics.SetSmoothingMode(g->GetSmoothingMode());
            graphics.SetTextRenderingHint(g->GetTextRenderingHint());
            DrawTextString(&graphics, text, -1, family, size,
                           (style | kTextSingleLine) & ~(kTextAlignRight | kTextAlignCentre | kTextVCentre | kTextAlignBottom),
                           colour, float(pad), float(pad), 0, true, false, nullptr);
        }
        Crop(drawn, pad, pad, tile);
        TextTiles().Keep(key, tile);
    }
    const float bw = box.m_float.Width, bh = box.m_float.Height;
    // A line too wide for its box is wrapped by DrawTextBox.
    if (bw > FLT_EPSILON && bh > FLT_EPSILON && tile.measured.Width > bw) {
        DrawTextBox(g, text, family, size, style, colour, box);
        return;
    }
    if (!tile.bitmap) return;
    const PointF at = TextBoxOrigin(box, style, tile.measured);
    const float tileW = float(tile.bitmap->GetWidth()), tileH = float(tile.bitmap->GetHeight());
    g->DrawImage(tile.bitmap.get(), RectF(at.X + float(tile.left), at.Y + float(tile.top), tileW, tileH), 0, 0, tileW,
                 tileH, UnitPixel);
}
