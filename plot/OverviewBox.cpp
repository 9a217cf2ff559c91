// The overview box: thumbnail, window frame, dimming and hit codes.
#include "OverviewBox.h"

#include "GraphRenderer.h"
#include "LXShapes.h"

namespace {
Gdiplus::ARGB Argb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return Gdiplus::ARGB(a) << 24 | Gdiplus::ARGB(r) << 16 | Gdiplus::ARGB(g) << 8 | b;
}

LXGraphics::CSyncRect Grown(const LXGraphics::CSyncRect& r, float dx, float dy)
{
    LXGraphics::CSyncRect out;
    out.SetXYWH(r.m_float.X - dx, r.m_float.Y - dy, r.m_float.Width + 2 * dx, r.m_float.Height + 2 * dy);
    return out;
}

bool SameFloat(const LXGraphics::CSyncRect& a, const LXGraphics::CSyncRect& b)
{
    return a.m_float.X == b.m_float.X && a.m_float.Y == b.m_float.Y && a.m_float.Width == b.m_float.Width &&
           a.m_float.Height == b.m_float.Height;
}
}  // namespace

COverviewBox::COverviewBox()
    : m_whitePen(std::make_unique<Gdiplus::Pen>(Gdiplus::Color(0xFFFFFFFFu), 2.0f)),
      m_outline(std::make_unique<Gdiplus::GraphicsPath>()),
      m_shadowPen1(std::make_unique<Gdiplus::Pen>(Gdiplus::Color(0x30404040u), 1.0f)),
      m_shadowPen2(std::make_unique<Gdiplus::Pen>(Gdiplus::Color(0x18404040u), 2.0f))
{
    SetColour(255, 255, 255);
}

COverviewBox::~COverviewBox() = default;

void COverviewBox::SetColour(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    m_dimming = std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(Argb(0x80, r, g, b)));
    m_windowPen = std::make_unique<Gdiplus::Pen>(Gdiplus::Color(Argb(0x40, r, g, b)), 6.0f);
    m_borderPen = std::make_unique<Gdiplus::Pen>(Gdiplus::Color(Argb(0xFF, r, g, b)), 1.0f);
}

void COverviewBox::CreateThumbnail(int, int)
{
    m_thumbWidth = 300;
    m_thumbHeight = 100;
    m_thumbGraphics.reset();
    m_thumbnail = std::make_unique<Gdiplus::Bitmap>(m_thumbWidth, m_thumbHeight);
    m_thumbGraphics = std::make_unique<Gdiplus::Graphics>(m_thumbnail.get());
}

void COverviewBox::Draw(Gdiplus::Graphics* graphics, const LXGraphics::CSyncRect& boxIn, CGraphRenderer& renderer)
{
    if (!graphics) return;
    LXGraphics::CSyncRect box = boxIn;
    box.Sync();
    if (!m_thumbnail || !SameFloat(box, m_drawnBox)) {
        m_thumbGraphics.reset();
        m_thumbWidth = std::max(1, box.m_int.Width);
        m_thumbHeight = std::max(1, box.m_int.Height);
        m_thumbnail = std::make_unique<Gdiplus::Bitmap>(m_thumbWidth, m_thumbHeight);
        m_thumbGraphics = std::make_unique<Gdiplus::Graphics>(m_thumbnail.get());
    }
    m_box = m_drawnBox = box;
    m_thumbGraphics->Clear(Gdiplus::Color(0u));
    LXGraphics::CSyncRect area;
    area.SetXYWH(0, 0, float(m_thumbWidth), float(m_thumbHeight));
    renderer.DrawOverview(m_thumbGraphics.get(), area, m_low, m_high);
    m_thumbGraphics->Flush();

    const RECT& b = box.m_rect;
    RECT w{b.left + m_low, b.top - 2, b.left + m_high, b.bottom + 2};
    if (w.left < b.left) w.left = b.left;
    if (w.right > b.right) w.right = b.right;
    m_window.SetLTRB(float(w.left), float(w.top), float(w.right), float(w.bottom));

    Gdiplus::GraphicsPath shadow;
    LXGraphics::CSyncRect shadowRect;
    shadowRect.SetXYWH(box.m_float.X - 1, box.m_float.Y - 2, box.m_float.Width + 2, box.m_float.Height + 4);
    BuildMarkerPath(shadow, shadowRect, 3, false, LXGraphics::CSyncPoint());
    graphics->DrawPath(m_shadowPen2.get(), &shadow);
    graphics->DrawPath(m_shadowPen1.get(), &shadow);
    if (m_thumbWidth >= 1 && m_thumbHeight >= 1)
        graphics->DrawImage(m_thumbnail.get(), box.m_float.X, box.m_float.Y, box.m_float.Width, box.m_float.Height);
    graphics->DrawRectangle(m_borderPen.get(), box.m_float.X, box.m_float.Y - 1, box.m_float.Width - 1,
                            box.m_float.Height + 1);
    if (m_low > 0)
        graphics->FillRectangle(m_dimming.get(), box.m_float.X, box.m_float.Y, float(m_low), box.m_float.Height);
    if (m_high < box.m_int.Width)
        graphics->FillRectangle(m_dimming.get(), box.m_float.X + float(m_high), box.m_float.Y,
                                box.m_float.Width - float(m_high), box.m_float.Height);
    Gdiplus::GraphicsPath frame;
    BuildMarkerPath(frame, Grown(m_window, 4, 4), 3, false, LXGraphics::CSyncPoint());
    graphics->DrawPath(m_shadowPen2.get(), &frame);
    const auto& wf = m_window.m_float;
    graphics->DrawRectangle(m_windowPen.get(), wf.X, wf.Y, wf.Width, wf.Height);
    graphics->DrawRectangle(m_whitePen.get(), wf.X, wf.Y, wf.Width, wf.Height);
    // Presses just outside the thumbnail still count.
    m_box = Grown(box, 5, 5);
}

bool COverviewBox::HitTest(const MouseEvent& event)
{
    m_lastEvent = event;
    const float x = event.point.m_float.X, y = event.point.m_float.Y;
    auto inside = [x, y](const LXGraphics::CSyncRect& r) {
        return x >= r.m_float.X && x <= r.m_float.X + r.m_float.Width && y >= r.m_float.Y &&
               y <= r.m_float.Y + r.m_float.Height;
    };
    if (inside(m_window)) {
        m_hitCode = kHitWindow;
        return true;
    }
    if (!inside(m_box)) return false;
    m_hitCode = x <= float(m_window.m_int.X) ? kHitLeft : kHitRight;
    return true;
}
