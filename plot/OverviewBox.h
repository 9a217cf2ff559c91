// The plot's scroller: a thumbnail of every pattern over the whole default x range with the
// displayed window framed and the rest dimmed; the canvas draws it and asks it what a press hit.
#pragma once

#include "GdiPlus.h"
#include "LXSyncRect.h"

#include <memory>

class CGraphRenderer;

class COverviewBox
{
public:
    enum HitCode : std::int32_t { kHitNone = 0, kHitLeft = 1, kHitWindow = 2, kHitRight = 3 };

    // A press as the canvas passes it.
    struct MouseEvent
    {
        LXGraphics::CSyncPoint point;
        double value = 0;
        std::int32_t flags = 0;
    };

    COverviewBox();
    ~COverviewBox();
    COverviewBox(const COverviewBox&) = delete;
    COverviewBox& operator=(const COverviewBox&) = delete;

    void SetColour(std::uint8_t r, std::uint8_t g, std::uint8_t b);
    // The thumbnail is always 300 × 100 here; the arguments are not used.
    void CreateThumbnail(int width, int height);
    void Draw(Gdiplus::Graphics* graphics, const LXGraphics::CSyncRect& box, CGraphRenderer& renderer);
    // True for a press in the window (code 2) or in the box left (1) or right (3) of it.
    bool HitTest(const MouseEvent& event);

    HitCode GetHitCode() const { return m_hitCode; }
    int GetLow() const { return m_low; }
    int GetHigh() const { return m_high; }
    const LXGraphics::CSyncRect& GetBoxRect() const { return m_box; }
    const LXGraphics::CSyncRect& GetWindowRect() const { return m_window; }
    const Gdiplus::Bitmap* GetThumbnail() const { return m_thumbnail.get(); }

private:
    std::int32_t m_reserved = 0;
    int m_low = 0, m_high = 0;
    int m_thumbWidth = 0, m_thumbHeight = 0;
    std::unique_ptr<Gdiplus::SolidBrush> m_dimming;
    std::unique_ptr<Gdiplus::Pen> m_windowPen;
    std::unique_ptr<Gdiplus::Pen> m_whitePen;
    std::unique_ptr<Gdiplus::Pen> m_borderPen;
    std::unique_ptr<Gdiplus::Bitmap> m_thumbnail;
    std::unique_ptr<Gdiplus::Graphics> m_thumbGraphics;
    LXGraphics::CSyncRect m_box;
    LXGraphics::CSyncRect m_drawnBox;  // as last given, before the hit margin
    LXGraphics::CSyncRect m_window;
    HitCode m_hitCode = kHitNone;
    MouseEvent m_lastEvent;
    std::unique_ptr<Gdiplus::GraphicsPath> m_outline;
    std::unique_ptr<Gdiplus::Pen> m_shadowPen1;
    std::unique_ptr<Gdiplus::Pen> m_shadowPen2;
};
