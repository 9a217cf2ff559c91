// The floating peak tip: finding the reflexion, composing and measuring its texts, drawing them.
#include "FloatingPeakTip.h"

#include "GraphRenderer.h"
#include "ImagingPane.h"
#include "LXColor.h"
#include "LXText.h"
#include "QLCrystal.h"
#include "ReflexionText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
const wchar_t kValueLabels[] = L"x =\nd =\nI(int) =\nm =\nFWHM =\n";
const wchar_t kValuesFormat[] = L"%.3f%s\n%.3f \u00C5\n%.3f (%.1f%%)\n%d\n%.3f\u00B0";
constexpr float kMaxWidth = 256;
}  // namespace

BEGIN_MESSAGE_MAP(CFloatingPeakTip, CFloatingInfoTip)
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

CFloatingPeakTip::CFloatingPeakTip() : m_valueLabels(kValueLabels), m_settings(std::make_unique<CDiffractionSettings>(true)) {}

CFloatingPeakTip::~CFloatingPeakTip() = default;

BOOL CFloatingPeakTip::OnInitDialog()
{
    CFloatingInfoTip::OnInitDialog();
    SetTipSize(160, 115, 40);
    return TRUE;
}

void CFloatingPeakTip::SetPeak(float dataX, const CQLPatternPtr& pattern)
{
    m_dataX = dataX;
    m_pattern = pattern;
    if (pattern) {
        const LXGraphics::CColor colour(pattern->m_color);
        LXGraphics::CColor light = colour, rim = colour;
        light.Lighten(0.9f);
        rim.Darken(0.5f).Lighten(0.3f);
        SetColours(colour.GetValue(), light.GetValue(), rim.GetValue());
    }
    // The pointer resting where it found the peak keeps the tip up; the timer hides it once the
    // pointer has moved and is not over the balloon.
    POINT mouse{0, 0};
    ::GetCursorPos(&mouse);
    SetAnchor((ULONGLONG(std::uint32_t(mouse.y)) << 32) | std::uint32_t(mouse.x));
    if (GetSafeHwnd() && IsWindowVisible()) StartTimer(kExpandedMs);
}

void CFloatingPeakTip::SetRenderer(const std::weak_ptr<CGraphRenderer>& renderer, const CDiffractionSettings& settings)
{
    m_renderer = renderer;
    *m_settings = settings;
}

float CFloatingPeakTip::Measure(const CString& text, float size) const
{
    return CGraphRenderer::MeasureText(text, m_settings->m_fontName, size, 0).Width;
}

bool CFloatingPeakTip::FindAndPlace()
{
    const std::shared_ptr<CGraphRenderer> renderer = m_renderer.lock();
    if (!renderer || !m_pattern || !(renderer->GetXPixelsPerUnit() > 0)) return false;
    const CQLCrystal* crystal = m_pattern->GetCrystal();
    if (!crystal) return false;
    const double tolerance = 4 / renderer->GetXPixelsPerUnit();
    // Reflexion positions are before the pattern's x offset; the plot draws them after it.
    std::shared_ptr<CQLReflexion> found = crystal->FindReflexionsNear(m_dataX - m_pattern->m_xOffset, tolerance);
    if (!found) return false;
    m_reflexion = found;
    const double x = found->x + m_pattern->m_xOffset;
    Gdiplus::PointF p = renderer->DataToPixel(x, m_pattern->GetIntensityAt(x));
    if (renderer->GetSettings().m_filmMode) {
        const LXGraphics::CSyncRect band = renderer->GetPatternBandRect(m_pattern.get());
        p.Y = band.m_float.Y + band.m_float.Height / 2;
    }
    if (m_target && m_target->GetSafeHwnd() && GetSafeHwnd()) {
        CRect target, tip;
        m_target->GetWindowRect(&target);
        GetWindowRect(&tip);
        int left = target.left + int(p.X) - tip.Width() / 2;
        int top = target.top + int(p.Y) - tip.Height();
        if (!(p.Y < float(target.top - tip.Height()))) top = std::min(top, int(target.bottom) - tip.Height());
        // A peak cut off by the top of the plot, or a plot near the screen's edge, would put the
        // tip off the screen: it stays inside the work area of the plot's screen.
        MONITORINFO screen{sizeof screen, {}, {}, 0};
        if (::GetMonitorInfoW(::MonitorFromWindow(m_target->m_hWnd, MONITOR_DEFAULTTONEAREST), &screen)) {
            const RECT& work = screen.rcWork;
            left = std::max<int>(work.left, std::min<int>(left, work.right - tip.Width()));
            top = std::max<int>(work.top, std::min<int>(top, work.bottom - tip.Height()));
        }
        SetWindowPos(nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

void CFloatingPeakTip::ComputeContent()
{
    if (!m_reflexion || !m_pattern) return;
    const CQLReflexion& r = *m_reflexion;
    m_hklText = QLReflexionText::FormatHKL(r.h, r.k, r.l);
    m_phaseName = m_pattern->m_title;
    m_valuesText.Format(kValuesFormat, r.x, m_settings->m_unitSymbol.GetString(), r.d, r.intensity,
                        r.relativeIntensity * 100, r.multiplicity, 2 * r.width);
    float nameWidth = Measure(m_phaseName, 8);
    // Shortened six characters at a time; an empty name ends it even when "..." alone is too wide.
    while (nameWidth + 120 > kMaxWidth && !m_phaseName.IsEmpty()) {
        const int keep = std::max(0, m_phaseName.GetLength() - 6);
        const CString head = m_phaseName.Left(keep);
        m_phaseName = head.IsEmpty() ? CString() : head + L"...";
        if (head.IsEmpty()) break;
        nameWidth = Measure(m_phaseName, 8);
    }
    const float a = std::min(std::trunc(Measure(m_valuesText, 8) + 80), kMaxWidth);
    const float b = std::min(std::trunc(nameWidth + 80), kMaxWidth);
    const float w = std::max(a, b);
    SetTipSize(w, 115, 40);
    m_tipWidth = w;
    m_compactOffset = int((w - b) / 2);
    m_expandedOffset = w > 192 ? 2 * int(w - 192) : 0;
}

void CFloatingPeakTip::UpdateContent()
{
    if (!FindAndPlace()) return;
    ComputeContent();
    if (GetSafeHwnd())
        SetWindowPos(nullptr, 0, 0, int(m_tipWidth) + 1, 115, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFloatingPeakTip::RestartRefreshTimer()
{
    if (!GetSafeHwnd()) return;
    KillTimer(kTimerId);
    StartTimer(GetTimerInterval() ? GetTimerInterval() : kCollapsedMs);
}

void CFloatingPeakTip::OnLButtonDown(UINT flags, CPoint point)
{
    // A tip opened over a peak next to a background node can cover the node: the press is the
    // node's, and the tip makes way for the drag that follows.
    auto* canvas = dynamic_cast<CImagingPane*>(m_target);
    if (canvas && canvas->GetSafeHwnd() && GetSafeHwnd()) {
        POINT at = point;
        ClientToScreen(&at);
        canvas->ScreenToClient(&at);
        if (canvas->HitTestControlNodes(at, false)) {
            HandPressTo(canvas, flags, at);
            return;
        }
    }
    CFloatingInfoTip::OnLButtonDown(flags, point);
}

void CFloatingPeakTip::OnLButtonUp(UINT flags, CPoint point)
{
    UpdateContent();
    CFloatingInfoTip::OnLButtonUp(flags, point);
}

void CFloatingPeakTip::DrawContent(Gdiplus::Graphics* graphics, const Gdiplus::RectF& balloon)
{
    if (!graphics || !m_pattern) return;
    const std::uint32_t c = m_pattern->m_color;
    const Gdiplus::ARGB text = (c & 0xFF000000u) | ((c >> 1) & 0x7F7F7Fu);
    const float x0 = IsExpanded() ? 0.0f : float(m_compactOffset);
    const CString& font = m_settings->m_fontName;
    DrawTextString(graphics, m_hklText.GetString(), -1, font, 9, 0x40111, text, x0 + 53, balloon.Y + 5, 0, false, false,
                   nullptr);
    DrawTextString(graphics, m_phaseName.GetString(), -1, font, 8, 0x40010, text, x0 + 59, balloon.Y + 6, 0, false,
                   false, nullptr);
    if (!IsExpanded()) return;
    const float o = float(m_expandedOffset);
    // The labels end 4 px right of where the values begin, and our text is drawn flush with its
    // anchor: each column keeps this far off the shared edge, so "FWHM =" stays apart from its value.
    constexpr float kColumnInset = 3.5f;
    DrawTextString(graphics, m_valueLabels.GetString(), -1, font, 8, 0x40111, 0xFF444444u, o + 73 - kColumnInset,
                   balloon.Y + 26, 0, false, false, nullptr);
    DrawTextString(graphics, m_valuesText.GetString(), -1, font, 8, 0x40010, 0xFF444444u, o + 69 + kColumnInset,
                   balloon.Y + 26, 0, false, false, nullptr);
}
