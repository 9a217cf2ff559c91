// The imaging canvas's wheel, keys, focus, context menu, plot commands and colour popup; the
// mouse side is in ImagingPaneInput.cpp.
#include "ImagingPane.h"

#include "DiffractionSettings.h"
#include "GraphRenderer.h"
#include "LXAlphaButton.h"
#include "LXMessage.h"
#include "LXToolbar.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "ToolRecords.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int kWheelNotch = 120;
constexpr UINT kContextMenuId = 137;
constexpr UINT kCmdFirst = 32768, kCmdLast = 34577, kCmdCopyGraphics = 57634;
constexpr UINT kCmdShowCursor = 33582, kCmdShowRuler = 33590, kCmdZoomToCursors = 34173;
constexpr UINT kDlgcWantArrows = 0x0001, kDlgcWantChars = 0x0080;

bool Finite(double v) { return std::isfinite(v); }

int PreferenceInt(CPrefScalar<int> CPreferences::*value, int fallback)
{
    return g_pPreferences ? (g_pPreferences->*value).Get() : fallback;
}

double PreferenceDouble(CPrefScalar<double> CPreferences::*value, double fallback)
{
    return g_pPreferences ? (g_pPreferences->*value).Get() : fallback;
}
}  // namespace

// ----- wheel -----

void CImagingPane::ZoomAboutCentre(double factor)
{
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* s = doc ? doc->GetSettings() : nullptr;
    if (!s) return;
    // A zoom that would leave no finite, positive x span is refused.
    const double width = (s->m_visibleXMax - s->m_visibleXMin) / factor;
    if (!(factor > 0) || !Finite(factor) || !Finite(width) || !(width > 0)) return;
    doc->ZoomPlotRange(factor, 0.5, false);
}

void CImagingPane::ScaleIntensityBy(double factor)
{
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* s = doc ? doc->GetSettings() : nullptr;
    if (!s) return;
    const double top = s->m_visibleYMax / factor;
    if (!(factor > 0) || !Finite(factor) || !Finite(top) || !(top > s->m_visibleYMin)) return;
    doc->ScaleReferenceIntensity(factor);
}

void CImagingPane::WheelNotches(UINT flags, int delta, bool horizontal)
{
    CQlwDoc* doc = GetDocument();
    if (!doc || !doc->GetSettings() || !doc->HasShownPatterns()) return;
    // Touchpads send deltas of zero (pixel scrolling only): no notch.
    if (delta == 0) return;
    const int floor = horizontal ? PreferenceInt(&CPreferences::m_MinHWheelZDelta, 0)
                                 : PreferenceInt(&CPreferences::m_MinWheelZDelta, kWheelNotch);
    if (std::abs(delta) < floor) delta = delta < 0 ? -floor : floor;
    m_nWheelAccum += delta;
    if (std::abs(m_nWheelAccum) < kWheelNotch) return;
    const int sign = m_nWheelAccum < 0 ? -1 : 1;
    const int notches = std::abs(m_nWheelAccum) / kWheelNotch;
    const double xInc = PreferenceDouble(&CPreferences::m_RelScaleXFactInc, 0.1);
    const double yInc = PreferenceDouble(&CPreferences::m_RelScaleYFactInc, 0.01);
    for (int i = 0; i < notches; ++i) {
        if (!horizontal && (flags & MK_SHIFT)) {
            doc->ScrollPlotRange(-sign);
            ShowScroller(true);
        } else if (flags & MK_CONTROL) {
            ZoomAboutCentre(sign > 0 ? 1 + xInc : 1 - xInc);
        } else if (horizontal) {
            // No release follows a wheel: the box hides on its timer, as after Shift + wheel.
            doc->ScrollPlotRange(-sign);
            ShowScroller(true);
        } else {
            ScaleIntensityBy(1 + sign * yInc);
            ShowScroller(true);
        }
        SetFocus();
    }
    m_nWheelAccum = sign * (std::abs(m_nWheelAccum) % kWheelNotch);
}

BOOL CImagingPane::OnMouseWheel(UINT flags, short delta, CPoint)
{
    WheelNotches(flags, delta, false);
    return TRUE;
}

void CImagingPane::OnMouseHWheel(UINT flags, short delta, CPoint) { WheelNotches(flags, delta, true); }

// ----- keys and focus -----

void CImagingPane::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    const bool arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
    if (!arrow) {
        // Other keys are the toolbar's single-key shortcuts; a chord with Ctrl that no
        // accelerator took is not one.
        const wchar_t character = CLXToolbar::ShortcutCharacterOf(key);
        CLXToolbar* toolbar = CLXToolbar::OfFrame(GetParentFrame());
        const bool chord = (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        if (chord || !character || !toolbar || !toolbar->HandleShortcutKey(character)) CWnd::OnKeyDown(key, repeat, flags);
        SetCursorForState();
        return;
    }
    const bool shift = (::GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
    const float step = float(std::max(repeat, 1u)) * (shift ? 10.0f : 1.0f);
    float dx = 0, dy = 0;
    switch (key) {
        case VK_LEFT: dx = -step; break;
        case VK_RIGHT: dx = step; break;
        case VK_UP: dy = -step; break;
        default: dy = step; break;
    }
    std::uint16_t mask = 0;
    if (MoveSelectedNodeBy(dx, dy)) {
        mask = kLayerPlot;
    } else if (dx != 0) {
        CDiffractionSettings* s = GetSettings();
        CCursor* cursor = s ? s->GetCursor(false) : nullptr;
        if (cursor && cursor->IsActive() && HasPlot()) {
            cursor->m_target = m_hWnd;
            cursor->MoveBy(dx, 0);
            mask = kLayerTop | kLayerTools;
        }
    }
    RequestPlotUpdate(mask, true);
    SetCursorForState();
}

void CImagingPane::OnKeyUp(UINT, UINT, UINT) { SetCursorForState(); }

UINT CImagingPane::OnGetDlgCode() { return ::GetFocus() == m_hWnd ? kDlgcWantArrows | kDlgcWantChars : 0; }

void CImagingPane::OnKillFocus(CWnd* newWindow)
{
    if (!(newWindow && newWindow->m_hWnd == m_hWnd) && !m_bButtonDown && !m_bDoubleClick) EndDrag();
}

BOOL CImagingPane::OnSetCursor(CWnd*, UINT, UINT)
{
    const auto attached = AttachToolsToRenderer();
    SetCursorForState();
    return TRUE;
}

LRESULT CImagingPane::OnIdle(WPARAM, LPARAM)
{
    POINT at{0, 0};
    if (::GetCursorPos(&at) && ::WindowFromPoint(at) == m_hWnd) SetCursorForState();
    return 0;
}

// ----- context menu, commands, colour -----

void CImagingPane::OnContextMenu(CWnd*, CPoint point)
{
    if (point.x == -1 && point.y == -1) {
        // From the keyboard: at the pointer's last place on the canvas.
        POINT at = m_ptMouse.m_point;
        ClientToScreen(&at);
        point = CPoint(at.x, at.y);
    }
    {
        const auto attached = AttachToolsToRenderer();
        if (CTool* tool = ToolAt(m_ptMouse.m_point))
            if (tool->ShowContextMenu(m_hWnd, point)) return;
    }
    CMenu menu;
    if (!menu.LoadMenu(kContextMenuId)) throw CLXXCantLoadResource(kLXSeverityFatal, kContextMenuId, __LINE__);
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup) throw CLXXCantLoadResource(kLXSeverityFatal, kContextMenuId, __LINE__);
    CWnd* target = CWnd::FromHandle(LXAppWindows::GetMainFrameWindow());
    if (!target) target = GetTopLevelParent();
    popup->TrackPopupMenu(TPM_RIGHTBUTTON, point.x, point.y, target ? target : this);
}

BOOL CImagingPane::OnPlotCommand(UINT id)
{
    if (id == kCmdShowCursor || id == kCmdShowRuler) {
        SetFocus();
        return FALSE;
    }
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* s = doc ? doc->GetSettings() : nullptr;
    if (!s) return FALSE;
    if (id == kCmdZoomToCursors) {
        CRuler* ruler = s->GetRuler(false);
        const auto renderer = m_pRenderer;
        if (!ruler || !renderer || !ruler->ZoomToCursors(doc, renderer.get())) ::MessageBeep(MB_OK);
        return TRUE;
    }
    // Copies: a tool may add to or remove from the list while it handles the command, and a paint
    // may replace the renderer.
    const auto tools = s->m_tools;
    const auto renderer = m_pRenderer;
    for (const auto& tool : tools)
        if (tool && tool->IsActive() && tool->OnMenuCommand(renderer.get(), id)) return TRUE;
    return FALSE;
}

void CImagingPane::OnUpdatePlotCommand(CCmdUI* cmdUI)
{
    if (!cmdUI) return;
    if (CTool* tool = GetActiveTool()) tool->OnUpdateMenuCommand(cmdUI);
    // The document's own update handlers still run: a selected tool must not freeze the menus.
    cmdUI->ContinueRouting();
}

BOOL CImagingPane::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    // The plot commands are offered to the canvas and its tools, but the canvas claims only those
    // it takes, not the whole range, from the windows that route through it.
    const bool plotCommand = (nID >= kCmdFirst && nID <= kCmdLast) || nID == kCmdCopyGraphics;
    if (plotCommand && !pHandlerInfo) {
        if (nCode == CN_COMMAND && OnPlotCommand(nID)) return TRUE;
        if (nCode == CN_UPDATE_COMMAND_UI && pExtra) OnUpdatePlotCommand(static_cast<CCmdUI*>(pExtra));
    }
    return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CImagingPane::OnInitMenuPopup(CMenu* popup, UINT, BOOL) { CInitMenuPopupHelper::OnInitMenuPopup(this, popup); }

LRESULT CImagingPane::OnColorChanged(WPARAM, LPARAM lParam)
{
    // COLORREF is 0x00BBGGRR; the tools keep ARGB.
    const auto ref = std::uint32_t(lParam);
    const std::uint32_t argb = 0xFF000000u | ((ref & 0xFFu) << 16) | (ref & 0xFF00u) | ((ref >> 16) & 0xFFu);
    CDiffractionSettings* s = GetSettings();
    CCursor* cursor = s ? s->GetCursor(false) : nullptr;
    if (cursor && cursor->m_rec.color != argb) {
        cursor->m_rec.color = argb;
        cursor->Notify(4, 0);
    }
    return 0;
}
