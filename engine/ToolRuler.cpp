// The measuring ruler's behaviour: preferences, geometry, hit parts, drags, clamping, menu
// commands and the values it reads at its measuring points. Its drawing and the zoom to its
// measuring points are in plot/MeasuringRuler.cpp.
#include "ToolRecords.h"

#include "LXUtils.h"
#include "Menus.h"
#include "Preferences.h"
#include "WndGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kGuideSlack = 5.0f;       // pixels either side of a guide line
constexpr float kBodyExtra = 50.0f;       // body width beyond the measuring points
constexpr float kBodyHeight = 80.0f;
constexpr float kLabelWidth = 90.0f, kLabelHeight = 16.0f;
constexpr float kMinLength = 90.0f;
constexpr UINT kRulerMenu = 141;
constexpr UINT kStringCopyDeltaX = 3046;
constexpr UINT kIdBody = 2105, kIdEndLine = 2110, kIdLevelLine = 2109;
}  // namespace

CRuler::CRuler() : CTool(DefaultRec())
{
    if (CPreferences* p = g_pPreferences) {
        m_length = UsableLength(p->m_RulerLength.Get());
        m_numDivisions = p->m_RulerNumDivisions.Get();
        const LXTypes::CPointT<float> offset = p->m_RulerOffset.Get();
        // A damaged stored offset must not put infinities into pixel positions.
        m_rec.x = std::isfinite(offset.x) ? offset.x : 0.0f;
        m_rec.y = std::isfinite(offset.y) ? offset.y : 0.0f;
        m_rec.locked = p->m_RulerLocked.Get() ? 1 : 0;
        const std::uint32_t colour = p->m_RulerColor.Get().GetValue();
        if (colour != m_rec.color) {
            m_rec.color = colour;
            Notify(4, 0);
        }
        SetAngle(0);
        if (IsActive() != p->m_RulerVisible.Get()) ToggleActive();
    }
    LoadContextMenu(kRulerMenu);
}

void CRuler::SetFromRulerRec(const FlatRec& rec)
{
    SetFromFlatRec(rec);
    m_length = UsableLength(rec.length);
    m_numDivisions = rec.numDivisions;
}

void CRuler::CopyFrom(const CTool& other)
{
    if (&other == this) return;
    FlatRec rec;
    if (const auto* ruler = dynamic_cast<const CRuler*>(&other))
        ruler->GetRulerRec(rec);
    else
        other.GetFlatRec(rec);
    SetFromRulerRec(rec);
}

void CRuler::GetEndPoint(int index, float& x, float& y) const
{
    GetCentreF(x, y);
    x += index == 0 ? m_length / 2 : -m_length / 2;
}

LXGraphics::CSyncRect CRuler::GetBodyRect() const
{
    float x = 0, y = 0;
    GetCentreF(x, y);
    const float w = m_length + kBodyExtra;
    LXGraphics::CSyncRect r;
    r.SetXYWH(x - w / 2, y - kBodyHeight / 2, w, kBodyHeight);
    r.Sync();
    return r;
}

LXGraphics::CSyncRect CRuler::GetLabelRect() const
{
    float x = 0, y = 0;
    GetCentreF(x, y);
    LXGraphics::CSyncRect r;
    r.SetXYWH(x - kLabelWidth / 2, y - kLabelHeight / 2, kLabelWidth, kLabelHeight);
    r.Sync();
    return r;
}

namespace {
bool InBody(const LXGraphics::CSyncRect& body, const POINT& p)
{
    const auto& r = body.m_float;
    return p.x >= r.X && p.x <= r.X + r.Width && p.y >= r.Y && p.y <= r.Y + r.Height;
}
}  // namespace

bool CRuler::HitLevelLine(const POINT& point) const
{
    if (!m_shown || InBody(GetBodyRect(), point)) return false;
    float x = 0, y = 0;
    GetCentreF(x, y);
    return std::fabs(point.y - y) <= kGuideSlack;
}

bool CRuler::HitLeftLine(const POINT& point) const
{
    if (!m_shown || InBody(GetBodyRect(), point)) return false;
    float x = 0, y = 0;
    GetEndPoint(1, x, y);
    return std::fabs(point.x - x) <= kGuideSlack;
}

bool CRuler::HitRightLine(const POINT& point) const
{
    if (!m_shown || InBody(GetBodyRect(), point)) return false;
    float x = 0, y = 0;
    GetEndPoint(0, x, y);
    return std::fabs(point.x - x) <= kGuideSlack;
}

bool CRuler::HitTest(const POINT& point)
{
    return InBody(GetBodyRect(), point) || HitLevelLine(point) || HitLeftLine(point) || HitRightLine(point);
}

void CRuler::Hide()
{
    m_grabLeft = m_grabRight = m_grabLevel = false;
    CTool::Hide();
}

void CRuler::Draw(CGraphRenderer* renderer)
{
    if (auto draw = ToolPlotHooks().drawRuler) draw(*this, renderer);
}

UINT CRuler::GetCursorIdAt(const POINT& point, bool dragging)
{
    if (dragging) {
        if (m_grabLeft || m_grabRight) return kIdEndLine;
        return m_grabLevel ? kIdLevelLine : kIdBody;
    }
    if (InBody(GetBodyRect(), point)) return kIdBody;
    if (HitLeftLine(point) || HitRightLine(point)) return kIdEndLine;
    if (HitLevelLine(point)) return kIdLevelLine;
    return 0xFFFFFFFFu;
}

void CRuler::SelectGrabPart(const POINT& point)
{
    const bool level = HitLevelLine(point);
    const bool left = !level && HitLeftLine(point);
    const bool right = !level && !left && HitRightLine(point);
    const bool changed = level != m_grabLevel || left != m_grabLeft || right != m_grabRight;
    m_grabLevel = level;
    m_grabLeft = left;
    m_grabRight = right;
    if (changed) Notify(4, 0);
}

bool CRuler::OnLButtonDown(const POINT& point, bool down)
{
    if (!HitTest(point)) return false;
    if (down) {
        Show();
        SelectGrabPart(point);
        return true;
    }
    m_moving = false;
    Notify(4, 0);
    return false;
}

void CRuler::SetFromEndPoints(float leftX, float leftY, float rightX, float rightY)
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    const float cx = (leftX + rightX) / 2, cy = (leftY + rightY) / 2;
    m_length = std::max(std::hypot(rightX - leftX, rightY - leftY), m_minLength);
    m_rec.x = cx - (plot.m_float.X + plot.m_float.Width * 0.5f);
    m_rec.y = cy - (plot.m_float.Y + plot.m_float.Height * 0.5f);
    SetAngle(0);
}

void CRuler::DragBy(const POINT&, float dx, float dy)
{
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) {
        if (std::fabs(dx) <= std::fabs(dy))
            dx = 0;
        else
            dy = 0;
    }
    if (dx == 0 && dy == 0) return;
    float lx = 0, ly = 0, rx = 0, ry = 0;
    GetEndPoint(1, lx, ly);
    GetEndPoint(0, rx, ry);
    if (m_grabLeft) {
        SetFromEndPoints(lx + dx, ly, rx, ry);
    } else if (m_grabRight) {
        SetFromEndPoints(lx, ly, rx + dx, ry);
    } else if (m_grabLevel) {
        SetFromEndPoints(lx, ly + dy, rx, ry + dy);
    } else {
        if (!m_shown) return;
        m_moving = true;
        MoveBy(dx, dy);
        return;
    }
    Notify(4, 0);
}

bool CRuler::ShowContextMenu(HWND owner, const POINT& screen)
{
    HMENU sub = m_contextMenu ? GetSubMenu(m_contextMenu, 0) : nullptr;
    if (!sub) return false;
    TrackPopupMenu(sub, TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
    return true;
}

void CRuler::ResetToDefaults()
{
    SetFromRulerRec(FlatRec());
    if (!IsActive()) {
        m_rec.visible = 1;
        m_on = 1;
        Notify(4, 0);
    }
}

void CRuler::OnUpdateMenuCommand(CCmdUI* ui)
{
    auto setText = ToolPlotHooks().setMenuText;
    if (!ui || !setText) return;
    CString text;
    text.LoadString(kStringCopyDeltaX);
    setText(ui, 34169, text);
}

void CRuler::EnsureInitialised()
{
    if (m_initialised) return;
    m_initialised = 1;
    if (m_minLength == 0) m_minLength = kMinLength;
}

void CRuler::ClampToPlot()
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    const auto& r = plot.m_float;
    if (!(r.Width > 1.1920929e-7f) || !(r.Height > 1.1920929e-7f)) return;
    float lx = 0, ly = 0, rx = 0, ry = 0;
    GetEndPoint(1, lx, ly);
    GetEndPoint(0, rx, ry);
    // The bar may hang over the plot's edges; its measuring points may not.
    if (lx < r.X)
        m_rec.x += r.X - lx;
    else if (rx > r.X + r.Width)
        m_rec.x -= rx - (r.X + r.Width);
    if (ly < r.Y)
        m_rec.y += r.Y - ly;
    else if (ly > r.Y + r.Height)
        m_rec.y -= ly - (r.Y + r.Height);
}

double CRuler::GetDeltaX() const
{
    float lx = 0, ly = 0, rx = 0, ry = 0;
    GetEndPoint(1, lx, ly);
    GetEndPoint(0, rx, ry);
    return PixelToDataX(rx) - PixelToDataX(lx);
}

double CRuler::GetIntensityAtLevel() const
{
    const double ppu = m_axes.yPixelsPerUnit;
    if (!(ppu > 0) || !std::isfinite(ppu)) return 0.0;
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    float x = 0, y = 0;
    GetCentreF(x, y);
    const double t = (plot.m_float.Y + plot.m_float.Height) - y;
    if (m_axes.logY) return std::pow(10.0, t / ppu + LogAxisUnits(m_axes.yMin)) - 1.0;
    return t / ppu + m_axes.yMin;
}

CString CRuler::FormatIntensity(double intensity)
{
    int decimals = 3;
    const double magnitude = std::fabs(intensity);
    if (std::isfinite(intensity) && intensity != 0) {
        if (magnitude < 1)
            decimals = 4;
        else
            decimals = std::max(0, 3 - int(std::floor(std::log10(magnitude))));
    }
    CString text;
    text.Format(L"%.*f", decimals, intensity);
    return text;
}

CString CRuler::FormatPointX(double x, const CString& unitSymbol)
{
    CString text;
    text.Format(L"%.3f %s", x, unitSymbol.GetString());
    return text;
}

CString CRuler::FormatDeltaX(double dx, const CString& unitSymbol)
{
    CString text;
    text.Format(L"\u0394x: %.3f%s", dx, unitSymbol.GetString());
    return text;
}

bool CRuler::OnMenuCommand(CGraphRenderer* renderer, UINT id)
{
    CGraphRenderer* const previous = m_renderer;
    const LXGraphics::CSyncRect previousPlot = m_rendererPlot;
    const CToolAxes previousAxes = m_axes;
    if (renderer) AttachRenderer(renderer);
    bool handled = true;
    CString text;
    switch (id) {
        case 34168:
            ChooseColour();
            break;
        case 57634:
            // Copy belongs to the plot unless the ruler is the selected tool.
            if (!IsShown()) {
                handled = false;
                break;
            }
            [[fallthrough]];
        case 34169:
            text.Format(L"%.5f", GetDeltaX());
            CUtils::CopyTextToClipboard(m_target, text);
            break;
        case 34170:
            text.Format(L"%.6f", m_intensity);
            CUtils::CopyTextToClipboard(m_target, text);
            break;
        case 34171:
            if (IsActive()) {
                Hide();
                m_rec.visible = 0;
                m_on = 0;
                Notify(4, 0);
            }
            break;
        case 34172: {
            LXGraphics::CSyncRect plot;
            GetPlotGeometry(plot);
            const LXGraphics::CSyncRect body = GetBodyRect();
            const int dy = (plot.m_rect.bottom - body.m_rect.bottom) / 2;
            MoveBy(0, float(dy));
            break;
        }
        default:
            handled = false;
    }
    m_renderer = previous;
    m_rendererPlot = previousPlot;
    m_axes = previousAxes;
    return handled;
}
