// The tool base: angle normalisation, clamping to the plot, switches and update requests. The
// cursor's and the ruler's own behaviour is in ToolCursor.cpp and ToolRuler.cpp.
#include "ToolRecords.h"

#include "LXMessage.h"
#include "Menus.h"

#include <cmath>

CToolPlotHooks& ToolPlotHooks()
{
    static CToolPlotHooks hooks;
    return hooks;
}

CTool::~CTool()
{
    if (m_contextMenu) DestroyMenu(m_contextMenu);
}

void CTool::LoadContextMenu(UINT id)
{
    if (m_contextMenu) DestroyMenu(m_contextMenu);
    m_contextMenu = LoadMenuW(nullptr, MAKEINTRESOURCEW(id));
}

void CTool::AttachRenderer(CGraphRenderer* renderer)
{
    m_renderer = renderer;
    m_rendererPlot = LXGraphics::CSyncRect();
    m_axes = CToolAxes();
    if (renderer && ToolPlotHooks().readAxes) ToolPlotHooks().readAxes(renderer, m_rendererPlot, m_axes);
}

double CTool::PixelToDataX(float px) const
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    if (!(m_axes.xPixelsPerUnit > 0) || !std::isfinite(m_axes.xPixelsPerUnit)) return m_axes.xMin;
    return (px - plot.m_float.X) / m_axes.xPixelsPerUnit + m_axes.xMin;
}

bool CTool::ChooseColour()
{
    auto pick = ToolPlotHooks().pickColour;
    if (!pick) return false;
    const std::uint32_t argb = m_rec.color;
    COLORREF rgb = (argb >> 16 & 0xFFu) | (argb & 0xFF00u) | (argb & 0xFFu) << 16;
    if (!pick(m_target, rgb)) return false;
    const std::uint32_t chosen =
        (argb & 0xFF000000u) | (rgb & 0xFFu) << 16 | (rgb & 0xFF00u) | (rgb >> 16 & 0xFFu);
    if (chosen == m_rec.color) return false;
    m_rec.color = chosen;
    Notify(4, 0);
    return true;
}

double CTool::NormaliseAngle(double v)
{
    if (!std::isfinite(v)) return 0.0;
    const double whole = std::trunc(v);
    const double n = std::fmod(std::fabs(whole), 360.0);
    double a = n * (v < 0 ? -1.0 : 1.0) + (v - whole);
    if (a < 0) a += 360.0;
    if (a >= 360.0) a = 0.0;
    return a;
}

void CTool::SetFromFlatRec(const FlatRec& rec)
{
    // A damaged stored record must not put infinities into pixel positions.
    m_rec.x = std::isfinite(rec.x) ? rec.x : 0.0f;
    m_rec.y = std::isfinite(rec.y) ? rec.y : 0.0f;
    m_rec.color = rec.color;
    m_rec.angle = NormaliseAngle(rec.angle);
    m_rec.visible = rec.visible;
    m_on = rec.visible;
    m_rec.locked = rec.locked;
}

void CTool::CopyFrom(const CTool& other)
{
    if (&other == this) return;
    FlatRec rec;
    other.GetFlatRec(rec);
    SetFromFlatRec(rec);
}

void CTool::Hide()
{
    if (!m_shown) return;
    m_shown = false;
    Notify(4, 0);
}

void CTool::Show()
{
    if (m_shown) return;
    m_shown = true;
    Notify(4, 0);
}

void CTool::MoveBy(float dx, float dy)
{
    m_rec.x += dx;
    m_rec.y += dy;
    ClampToPlot();
    Notify(4, 0);
}

void CTool::MoveTo(float x, float y)
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    m_rec.x = x - (plot.m_float.X + plot.m_float.Width * 0.5f);
    m_rec.y = y - (plot.m_float.Y + plot.m_float.Height * 0.5f);
    ClampToPlot();
    Notify(4, 0);
}

void CTool::ClampToPlot()
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    const float w = plot.m_float.Width, h = plot.m_float.Height;
    if (!(w > 1.1920929e-7f) || !(h > 1.1920929e-7f)) return;
    m_rec.x = std::fmax(-w / 2, std::fmin(w / 2, m_rec.x));
    m_rec.y = std::fmax(-h / 2, std::fmin(h / 2, m_rec.y));
}

void CTool::SetAngle(double degrees)
{
    if (degrees == m_rec.angle) return;
    m_rec.angle = NormaliseAngle(degrees);
    Notify(4, 0);
}

void CTool::Notify(int, int)
{
    CLXMsgTarget message(m_target, g_msgToolUpdateRequest, reinterpret_cast<LPARAM>(this), 0, nullptr);
    message.SetFirstOnly(true);
    message.Send(CLXMessage::kModeKeep);
}

void CTool::GetPlotGeometry(LXGraphics::CSyncRect& out) const
{
    out = LXGraphics::CSyncRect();
    if (m_renderer) {
        out = m_rendererPlot;
        return;
    }
    RECT rect{0, 0, 0, 0};
    LRESULT answered = FALSE;
    CLXMsgTarget message(m_target, g_msgToolGetPlotRect, reinterpret_cast<LPARAM>(&rect), 0, &answered);
    message.SetFirstOnly(true);
    if (message.Send(CLXMessage::kModeKeep) && answered)
        out.SetLTRB(float(rect.left), float(rect.top), float(rect.right), float(rect.bottom));
}

void CTool::GetCentre(LXGraphics::CSyncPoint& out) const
{
    float x = 0, y = 0;
    GetCentreF(x, y);
    out = LXGraphics::CSyncPoint(x, y);
}

void CTool::GetCentreF(float& x, float& y) const
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    x = plot.m_float.X + plot.m_float.Width * 0.5f + m_rec.x;
    y = plot.m_float.Y + plot.m_float.Height * 0.5f + m_rec.y;
}

void CTool::Deactivate()
{
    if (!IsActive()) return;
    Hide();
    m_rec.visible = 0;
    m_on = 0;
    Notify(4, 0);
}

void CTool::ToggleActive()
{
    if (IsActive()) {
        Hide();
        m_rec.visible = 0;
        m_on = 0;
    } else {
        m_rec.visible = 1;
        m_on = 1;
    }
    Notify(4, 0);
}
