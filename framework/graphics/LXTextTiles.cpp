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
    std::size_t Hash() const
    {
        std::size_t h = 0;
        for (float f : {size, dpiX, dpiY, textScale}) LXGraphics::MixHash(h, LXGraphics::FloatBits(f));
        for (std::size_t v : {std::size_t(style), std::size_t(colour), std::size_t(drawDpi), std::size_t(screenDpi),
                              std::size_t(smoothing)})
            LXGraphics::MixHash(h, v);
        return h;
    }
};

// The line's measured size, and the pixels it covers.
struct TextTile : LXGraphics::CTextTile
{
    SizeF measured;
};

using TextTileCache = LXGraphics::CTextKeyedCache<TileLook, TextTile>;
using TileKey = TextTileCache::Key;

TextTileCache& TextTiles()
{
    static TextTileCache cache(std::size_t(1) << 20);  // pixels: about 4 MB
    return cache;
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
        static_cast<LXGraphics::CTextTile&>(tile) = LXGraphics::CropCovered(drawn, pad, pad);
        TextTiles().Keep(key, tile, LXGraphics::TileCost(tile));
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

LXGraphics::CTextTile LXGraphics::CropCovered(Bitmap& drawn, int originX, int originY)
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
    CTextTile tile;
    if (right < 0) return tile;
    tile.left = left - originX, tile.top = top - originY;
    tile.bitmap = std::make_shared<Bitmap>(right - left + 1, bottom - top + 1, PixelFormat32bppPARGB);
    tile.bitmap->SetResolution(drawn.GetHorizontalResolution(), drawn.GetVerticalResolution());
    QImage& cropped = tile.bitmap->Q();
    for (int y = top; y <= bottom; ++y)
        std::memcpy(cropped.scanLine(y - top), image.constScanLine(y) + 4 * left, std::size_t(4) * (right - left + 1));
    return tile;
}
