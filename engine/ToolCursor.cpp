// The data cursor's behaviour: preferences, hit test, drags, placement at a data x and the texts
// of its readouts. Its drawing is in plot/DataCursor.cpp.
#include "ToolRecords.h"

#include "Preferences.h"

#include <cmath>

namespace {
constexpr float kCursorHitSlack = 4.0f;  // pixels either side of the line
constexpr UINT kCursorIdLine = 2003;
}  // namespace

CCursor::CCursor() : CTool(FlatRec())
{
    if (!g_pPreferences) return;
    const std::uint32_t colour = g_pPreferences->m_CursorColor.Get().GetValue();
    if (colour != m_rec.color) {
        m_rec.color = colour;
        Notify(4, 0);
    }
    // A translucent line would vanish on the curves it measures.
    if ((m_rec.color >> 24) != 0xFFu) {
        m_rec.color |= 0xFF000000u;
        Notify(4, 0);
    }
    if (IsActive() != g_pPreferences->m_CursorVisible.Get()) ToggleActive();
}

CCursor& CCursor::operator=(const CCursor& other)
{
    if (&other == this) return *this;
    CopyFrom(other);
    m_x = other.m_x;
    m_xSet = other.m_xSet;
    m_showDSpacing = other.m_showDSpacing;
    m_drawCache.reset();  // the shadows are rebuilt with the next drawing
    return *this;
}

bool CCursor::HitTest(const POINT& point)
{
    float x = 0, y = 0;
    GetCentreF(x, y);
    return std::fabs(float(point.x) - x) <= kCursorHitSlack;
}

void CCursor::Draw(CGraphRenderer* renderer)
{
    if (auto draw = ToolPlotHooks().drawCursor) draw(*this, renderer);
}

UINT CCursor::GetCursorIdAt(const POINT& point, bool)
{
    return HitTest(point) ? kCursorIdLine : 0xFFFFFFFFu;
}

bool CCursor::OnLButtonDown(const POINT& point, bool down)
{
    if (!down || !HitTest(point)) return false;
    Show();
    return true;
}

void CCursor::MoveTo(float x, float)
{
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    CTool::MoveTo(x, plot.m_float.Y + plot.m_float.Height * 0.5f);
}

void CCursor::DragBy(const POINT&, float dx, float dy)
{
    if (dx == 0 && dy == 0) return;
    MoveBy(dx, 0);
}

bool CCursor::ShowContextMenu(HWND owner, const POINT& screen)
{
    auto popup = ToolPlotHooks().showColourPopup;
    if (!popup) return false;
    popup(*this, m_target ? m_target : owner, screen);
    return true;
}

void CCursor::ResetToDefaults()
{
    // The host's choice of a d-spacing readout is not a preference: keep it.
    const std::uint8_t showDSpacing = m_showDSpacing;
    {
        CCursor fresh;
        *this = fresh;
    }
    m_showDSpacing = showDSpacing;
    Notify(4, 0);
}

void CCursor::EnsureInitialised()
{
    if (!m_initialised) m_initialised = 1;
}

void CCursor::SetXValue(double x)
{
    const double ppu = m_axes.xPixelsPerUnit;
    if (!std::isfinite(x) || !(ppu > 0) || !std::isfinite(ppu)) return;
    LXGraphics::CSyncRect plot;
    GetPlotGeometry(plot);
    const double offset =
        (x - m_axes.xMin) * ppu + plot.m_float.X - (plot.m_float.X + plot.m_float.Width * 0.5);
    if (std::isfinite(offset)) m_rec.x = float(offset);
}

double CCursor::GetDataX() const
{
    float x = 0, y = 0;
    GetCentreF(x, y);
    return PixelToDataX(x);
}

void CCursor::PlaceAt(double x)
{
    if (!IsActive()) {
        m_rec.visible = 1;
        m_on = 1;
        Notify(4, 0);
        Show();
    }
    m_x = x;
    m_xSet = 1;
    Notify(4, 0);
}

CString CCursor::FormatIntensity(double intensity)
{
    CString text;
    const double magnitude = std::fabs(intensity);
    if (intensity == 0) {
        text = L"0";
    } else if ((magnitude >= 0.1 && magnitude <= 100) || !std::isfinite(intensity)) {
        text.Format(L"%.3f", intensity);
    } else {
        int e = int(std::floor(std::log10(magnitude)));
        double mantissa = intensity / std::pow(10.0, e);
        // 99999.99 would otherwise read "10.000 × 10^4".
        if (std::fabs(mantissa) >= 9.9995) {
            ++e;
            mantissa = intensity / std::pow(10.0, e);
        }
        text.Format(L"%.3f \u00D7 10^%d", mantissa, e);
    }
    return text;
}

CString CCursor::FormatIntensityLabel(double intensity, double yMax)
{
    if (!(intensity >= 0 && intensity <= yMax)) return CString();
    return FormatIntensity(intensity);
}

CString CCursor::FormatDReadout(double d)
{
    CString text;
    // At 2θ = 0 the d spacing is infinite: no number to show.
    if (std::isfinite(d) && d > 0) text.Format(L"%.3f \u00C5", d);
    return text;
}

CString CCursor::FormatXReadout(double x, const CString& unitSymbol, std::uint32_t axisUnit)
{
    CString unit;
    if (axisUnit != 1) unit = L" ";
    unit += unitSymbol;
    CString text;
    text.Format(L"%.4f%s", x, unit.GetString());
    return text;
}
