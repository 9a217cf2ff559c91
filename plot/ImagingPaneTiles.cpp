// The imaging canvas's tools tiles: where the tools layer holds pixels, its wipe tile by tile,
// and the composition of the tiles the tools covered or cover now (ImagingPane.cpp decides when).
#include "ImagingPane.h"

#include "LXGdiplus.h"
#include "WorkerTeam.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {
// Rows of tiles a thread takes at a time when the tools' tiles are looked for or composed.
constexpr long kTileRowsAPiece = 8;

// Qt's premultiplied source-over, pixel for pixel as its raster engine blends an image.
inline std::uint32_t ByteMul(std::uint32_t x, std::uint32_t a)
{
    std::uint32_t t = (x & 0xFF00FFu) * a;
    t = (t + ((t >> 8) & 0xFF00FFu) + 0x800080u) >> 8;
    t &= 0xFF00FFu;
    x = ((x >> 8) & 0xFF00FFu) * a;
    x = x + ((x >> 8) & 0xFF00FFu) + 0x800080u;
    x &= 0xFF00FF00u;
    return x | t;
}

void BlendRow(std::uint32_t* dst, const std::uint32_t* src, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t s = src[i];
        if (s >= 0xFF000000u)
            dst[i] = s;
        else if (s != 0)
            dst[i] = s + ByteMul(dst[i], (~s) >> 24);
    }
}

// A bitmap's pixels in place, unlocked however the caller leaves.
struct Pixels
{
    Gdiplus::Bitmap* bitmap = nullptr;
    Gdiplus::BitmapData data{};
    bool Lock(Gdiplus::Bitmap* b, UINT mode)
    {
        if (!b) return false;
        Gdiplus::Rect all(0, 0, INT(b->GetWidth()), INT(b->GetHeight()));
        if (b->LockBits(&all, mode, Gdiplus::PixelFormat32bppPARGB, &data) != Gdiplus::Ok) return false;
        bitmap = b;
        return true;
    }
    std::uint32_t* Row(int y) const
    {
        return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
    }
    ~Pixels()
    {
        if (bitmap) bitmap->UnlockBits(&data);
    }
};
}  // namespace

void CImagingPane::ResetToolTiles()
{
    ToolTiles& t = m_toolTiles;
    const Gdiplus::Bitmap* bitmap = m_toolsBuffer.m_pBitmap;
    t.bitmap = bitmap;
    t.columns = bitmap ? (int(bitmap->GetWidth()) + ToolTiles::kWidth - 1) / ToolTiles::kWidth : 0;
    t.rows = bitmap ? (int(bitmap->GetHeight()) + ToolTiles::kHeight - 1) / ToolTiles::kHeight : 0;
    // A bitmap just made or wiped whole holds nothing; what the composite shows is not known.
    t.drawn.assign(std::size_t(t.columns) * t.rows, 0);
    t.shown.assign(t.drawn.size(), 1);
    t.drawnKnown = true;
    t.shownKnown = false;
    t.shownAsDrawn = false;
}

void CImagingPane::FindToolTiles()
{
    ToolTiles& t = m_toolTiles;
    Gdiplus::Bitmap* bitmap = m_toolsBuffer.m_pBitmap;
    if (!bitmap || t.bitmap != bitmap || t.drawnKnown) return;
    const int w = int(bitmap->GetWidth()), h = int(bitmap->GetHeight());
    std::fill(t.drawn.begin(), t.drawn.end(), 0);
    Pixels pixels;
    if (pixels.Lock(bitmap, Gdiplus::ImageLockModeRead)) {
        // A full-screen read: shared out by rows of tiles, each thread setting its own rows' flags.
        qlw::ParallelFor(t.rows, kTileRowsAPiece, true, [&](long first, long end) {
            for (int y = int(first) * ToolTiles::kHeight, y1 = std::min(int(end) * ToolTiles::kHeight, h); y < y1; ++y) {
                const std::uint32_t* row = pixels.Row(y);
                std::uint8_t* flags = &t.drawn[std::size_t(y / ToolTiles::kHeight) * t.columns];
                for (int c = 0; c < t.columns; ++c) {
                    if (flags[c]) continue;
                    const int x0 = c * ToolTiles::kWidth, x1 = std::min(x0 + ToolTiles::kWidth, w);
                    std::uint32_t any = 0;
                    for (int x = x0; x < x1; ++x) any |= row[x];
                    flags[c] = any != 0;
                }
            }
        });
    } else {
        std::fill(t.drawn.begin(), t.drawn.end(), 1);
    }
    t.drawnKnown = true;
    if (t.shownAsDrawn) {
        t.shown = t.drawn;
        t.shownKnown = true;
        t.shownAsDrawn = false;
    }
}

void CImagingPane::WipeToolsLayer()
{
    CImageBuffer& tools = m_toolsBuffer;
    ToolTiles& t = m_toolTiles;
    if (tools.m_pBitmap && tools.m_bClearPending && !tools.m_bBlank && t.bitmap == tools.m_pBitmap) {
        FindToolTiles();
        Pixels pixels;
        if (pixels.Lock(tools.m_pBitmap, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite)) {
            const int w = int(tools.m_pBitmap->GetWidth()), h = int(tools.m_pBitmap->GetHeight());
            for (int r = 0; r < t.rows; ++r) {
                const int y0 = r * ToolTiles::kHeight, y1 = std::min(y0 + ToolTiles::kHeight, h);
                for (int c = 0; c < t.columns; ++c) {
                    if (!t.drawn[std::size_t(r) * t.columns + c]) continue;
                    int end = c + 1;
                    while (end < t.columns && t.drawn[std::size_t(r) * t.columns + end]) ++end;
                    const int x0 = c * ToolTiles::kWidth, x1 = std::min(end * ToolTiles::kWidth, w);
                    for (int y = y0; y < y1; ++y) std::fill(pixels.Row(y) + x0, pixels.Row(y) + x1, 0u);
                    c = end;
                }
            }
            std::fill(t.drawn.begin(), t.drawn.end(), 0);
            tools.m_bClearPending = false;
            tools.m_bBlank = false;
            return;
        }
    }
    tools.Clear();
    if (t.bitmap == tools.m_pBitmap) {
        std::fill(t.drawn.begin(), t.drawn.end(), 0);
        t.drawnKnown = true;
        t.shownAsDrawn = false;
    }
}

bool CImagingPane::ComposeToolTiles(int width, int height, std::vector<RECT>* changed)
{
    ToolTiles& t = m_toolTiles;
    if (t.bitmap != m_toolsBuffer.m_pBitmap || !t.drawnKnown || !t.shownKnown) return false;
    const bool top = !m_topBuffer.m_bBlank;
    // The window shows the base alone and still may: nothing to compose.
    if (m_bBaseShown && !top && std::find(t.drawn.begin(), t.drawn.end(), 1) == t.drawn.end()) return true;
    Pixels out, base, tools, over;
    if (!out.Lock(m_composite.m_pBitmap, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite) ||
        !base.Lock(m_plotBuffer.m_pBitmap, Gdiplus::ImageLockModeRead) ||
        !tools.Lock(m_toolsBuffer.m_pBitmap, Gdiplus::ImageLockModeRead) ||
        (top && !over.Lock(m_topBuffer.m_pBitmap, Gdiplus::ImageLockModeRead)))
        return false;
    for (const Pixels* p : {&out, &base, &tools}) {
        width = std::min(width, INT(p->bitmap->GetWidth()));
        height = std::min(height, INT(p->bitmap->GetHeight()));
    }
    if (top) {
        width = std::min(width, INT(over.bitmap->GetWidth()));
        height = std::min(height, INT(over.bitmap->GetHeight()));
    }
    if (m_bBaseShown) {
        // The composite was left behind while the base was shown straight: it catches up whole.
        qlw::ParallelFor(height, kTileRowsAPiece * ToolTiles::kHeight, true, [&](long first, long end) {
            for (long y = first; y < end; ++y) std::copy(base.Row(int(y)), base.Row(int(y)) + width, out.Row(int(y)));
        });
        m_bBaseShown = false;
    }
    // Each run of tiles the tools covered or cover now: the base copied, the tools and the top
    // layer blended over it, as the whole composition does.
    struct Run
    {
        int y0, y1, x0, x1;
    };
    std::vector<Run> runs;
    std::vector<std::size_t> rowStarts;  // the first run of each row of tiles
    for (int r = 0; r < t.rows; ++r) {
        const int y0 = r * ToolTiles::kHeight, y1 = std::min(y0 + ToolTiles::kHeight, height);
        if (y0 >= y1) break;
        rowStarts.push_back(runs.size());
        const std::size_t at = std::size_t(r) * t.columns;
        for (int c = 0; c < t.columns; ++c) {
            if (!t.drawn[at + c] && !t.shown[at + c]) continue;
            int end = c + 1;
            while (end < t.columns && (t.drawn[at + end] || t.shown[at + end])) ++end;
            const int x0 = c * ToolTiles::kWidth, x1 = std::min(end * ToolTiles::kWidth, width);
            c = end;
            if (x0 >= x1) continue;
            runs.push_back(Run{y0, y1, x0, x1});
            if (changed) {
                // A run under the same run of the row above lengthens it: a guide line is one rectangle.
                auto above = std::find_if(changed->begin(), changed->end(), [&](const RECT& a) {
                    return a.left == x0 && a.right == x1 && a.bottom == y0;
                });
                if (above != changed->end())
                    above->bottom = y1;
                else
                    changed->push_back(RECT{x0, y0, x1, y1});
            }
        }
    }
    rowStarts.push_back(runs.size());
    // Rows of tiles shared out among threads: each writes only its own rows of the composite.
    qlw::ParallelFor(long(rowStarts.size()) - 1, kTileRowsAPiece, !runs.empty(), [&](long first, long end) {
        for (std::size_t i = rowStarts[std::size_t(first)]; i < rowStarts[std::size_t(end)]; ++i) {
            const Run& run = runs[i];
            for (int y = run.y0; y < run.y1; ++y) {
                std::uint32_t* dst = out.Row(y) + run.x0;
                std::copy(base.Row(y) + run.x0, base.Row(y) + run.x1, dst);
                BlendRow(dst, tools.Row(y) + run.x0, run.x1 - run.x0);
                if (top) BlendRow(dst, over.Row(y) + run.x0, run.x1 - run.x0);
            }
        }
    });
    t.shown = t.drawn;
    return true;
}
