// The imaging canvas's input side: the message entries, mouse presses, drags and releases, cursor
// shapes, tool routing, control-node hit tests, the hover peak tip and the overview box. Wheel,
// keys, the context menu and the plot commands are in ImagingPaneCommands.cpp. Every conversion
// between pixels and data goes through the renderer of the last paint: before the first paint
// there is no plot, and handlers that need its geometry do nothing.
#include "ImagingPane.h"

#include "DiffractionSettings.h"
#include "FloatingPeakTip.h"
#include "GraphRenderer.h"
#include "LXAlphaButton.h"
#include "LXCursors.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLObservedPattern.h"
#include "QLReflexion.h"
#include "QlwDoc.h"
#include "ToolRecords.h"
#include "UpdateHint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

HWND g_hPlotCaptureWnd = nullptr;
bool g_bPlotDragging = false;

namespace {
// Mouse cursors: the ordinary plot cursor, the pressed (grab) cursor, the control-node cursor.
constexpr UINT kCursorPlot = 2105, kCursorGrab = 2101, kCursorNode = 2000;
constexpr UINT kNoToolCursor = 0xFFFFFFFFu;
constexpr UINT_PTR kTimerHideScroller = 4001, kTimerScrollerRepeat = 4002;
constexpr UINT kHideScrollerMs = 2500, kScrollerRepeatMs = 100;
// How near, in pixels, the pointer must be to a peak.
constexpr double kPickPixels = 4;
constexpr UINT kMsgMouseHWheel = 0x020E;
// The colour popup's accept and cancel messages; both carry a COLORREF in lParam.
constexpr UINT kMsgColourAccept = 0x7EC, kMsgColourCancel = 0x7ED;
constexpr std::int32_t kHintPeakUnderPointer = 36;
constexpr UINT kSoundPeakTipClick = 2000;

bool Finite(double v) { return std::isfinite(v); }

LXGraphics::CSyncPoint ToSync(const POINT& p) { return LXGraphics::CSyncPoint(float(p.x), float(p.y)); }

bool PreferenceBool(CPrefScalar<bool> CPreferences::*value, bool fallback)
{
    return g_pPreferences ? (g_pPreferences->*value).Get() : fallback;
}

// The part of a background node that is selected, in the pattern's own coordinates.
std::pair<double, double> FlaggedPart(const CQLControlPoint& node)
{
    if (node.flag != 0) return {node.x, node.y};
    if (node.rightFlag != 0) return {node.rightX, node.rightY};
    if (node.leftFlag != 0) return {node.leftX, node.leftY};
    return {node.x, node.y};
}

// Observed patterns at the top of the tree: the only ones whose background nodes are edited.
template <class F>
void ForEachTopObserved(CQLPatternList& patterns, F&& f)
{
    for (const CQLPatternPtr& p : patterns)
        if (p && p->GetPatternType() == kPatternObserved) f(static_cast<CQLObservedPattern&>(*p));
}

// Nodes are drawn, and so take the mouse and the arrow keys, only on a shown, selected pattern.
bool NodesEditable(const CQLObservedPattern& pattern) { return pattern.IsShown() && pattern.IsSelected(); }
}  // namespace

// The input side's message entries; the canvas's own map chains to these.
const AFX_MSGMAP* CImagingPane::GetInputMessageMap()
{
    typedef CImagingPane ThisClass;
    (void)sizeof(ThisClass*);
    static const AFX_MSGMAP_ENTRY entries[] = {
        ON_WM_LBUTTONDOWN()
        ON_WM_LBUTTONDBLCLK()
        ON_WM_LBUTTONUP()
        ON_WM_MOUSEMOVE()
        ON_WM_MOUSEWHEEL()
        {kMsgMouseHWheel, nullptr, 0, 0, 0, QLW_CALL {
             QLW_UNUSED;
             QLW_SELF->OnMouseHWheel(LOWORD(wp_), short(HIWORD(wp_)), CPoint(short(LOWORD(lp_)), short(HIWORD(lp_))));
             *res_ = 0;
             return true;
         }},
        ON_WM_KEYDOWN()
        ON_WM_KEYUP()
        ON_WM_KILLFOCUS()
        ON_WM_SETCURSOR()
        ON_WM_GETDLGCODE()
        ON_WM_TIMER()
        ON_WM_CONTEXTMENU()
        ON_WM_INITMENUPOPUP()
        ON_MESSAGE(kMsgColourAccept, &ThisClass::OnColorChanged)
        ON_MESSAGE(kMsgColourCancel, &ThisClass::OnColorChanged)
        ON_REGISTERED_MESSAGE(g_msgIdleSync, &ThisClass::OnIdle)
        ON_REGISTERED_MESSAGE(g_msgIdleAsync, &ThisClass::OnIdle)
        {0, nullptr, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {&CWnd::GetThisMessageMap, entries};
    return &map;
}

// ----- geometry through the last paint's renderer -----

bool CImagingPane::HasPlot() const { return m_pRenderer && m_pRenderer->HasValidRanges(); }

bool CImagingPane::IsInsidePlot(const POINT& point) const
{
    if (!m_pRenderer) return false;
    const auto& r = m_pRenderer->GetPlotRect().m_int;
    return point.x >= r.X && point.x < r.X + r.Width && point.y >= r.Y && point.y < r.Y + r.Height;
}

std::pair<double, double> CImagingPane::PixelToData(const LXGraphics::CSyncPoint& point) const
{
    if (!HasPlot()) return {0.0, 0.0};
    return m_pRenderer->PixelToData(Gdiplus::PointF(point.m_float.X, point.m_float.Y));
}

CDiffractionSettings* CImagingPane::GetSettings() const
{
    CQlwDoc* doc = GetDocument();
    return doc ? doc->GetSettings() : nullptr;
}

void CImagingPane::RequestPlotUpdate(std::uint16_t mask, bool flag)
{
    CQlwDoc* doc = GetDocument();
    if (!doc || !doc->GetSettings()) return;
    CUHRequestPlotUpdate hint(doc, nullptr, flag, mask);
    doc->DispatchUpdateHint(hint);
}

// ----- tools -----

std::shared_ptr<void> CImagingPane::AttachToolsToRenderer()
{
    CDiffractionSettings* s = GetSettings();
    if (!s || !m_pRenderer) return nullptr;
    struct Saved
    {
        std::shared_ptr<CTool> tool;
        CGraphRenderer* renderer;
        LXGraphics::CSyncRect plot;
        CToolAxes axes;
    };
    struct Guard
    {
        // Kept alive: a paint inside the handler replaces the canvas's renderer.
        std::shared_ptr<CGraphRenderer> renderer;
        std::vector<Saved> saved;
        ~Guard()
        {
            for (Saved& k : saved) {
                k.tool->m_renderer = k.renderer;
                k.tool->m_rendererPlot = k.plot;
                k.tool->m_axes = k.axes;
            }
        }
    };
    auto guard = std::make_shared<Guard>();
    guard->renderer = m_pRenderer;
    for (const auto& tool : s->m_tools) {
        if (!tool) continue;
        guard->saved.push_back({tool, tool->m_renderer, tool->m_rendererPlot, tool->m_axes});
        tool->AttachRenderer(m_pRenderer.get());
    }
    return guard;
}

CTool* CImagingPane::ToolAt(const POINT& point)
{
    CDiffractionSettings* s = GetSettings();
    if (!s) return nullptr;
    for (const auto& tool : s->m_tools)
        if (tool && tool->IsActive() && tool->HitTest(point)) return tool.get();
    return nullptr;
}

CTool* CImagingPane::GetActiveTool()
{
    CDiffractionSettings* s = GetSettings();
    if (!s) return nullptr;
    for (const auto& tool : s->m_tools)
        if (tool && tool->IsActive() && tool->IsShown()) return tool.get();
    return nullptr;
}

void CImagingPane::SelectTool(CTool* selected)
{
    CDiffractionSettings* s = GetSettings();
    if (!s) return;
    auto& tools = s->m_tools;
    if (!selected) {
        for (const auto& tool : tools)
            if (tool) tool->Hide();
        return;
    }
    selected->Show();
    for (const auto& tool : tools)
        if (tool && tool.get() != selected) tool->Hide();
    // The selected tool goes first (it is drawn last, on top); the cursor keeps its place.
    if (dynamic_cast<CCursor*>(selected) || tools.empty() || tools.front().get() == selected) return;
    for (auto& tool : tools)
        if (tool.get() == selected) {
            std::swap(tool, tools.front());
            break;
        }
}

void CImagingPane::EndDrag()
{
    if (m_bDragging && g_bPlotDragging) g_bPlotDragging = false;
    ClearDragState();
    if (m_hWnd) KillTimer(kTimerScrollerRepeat);
    if (CDiffractionSettings* s = GetSettings()) {
        auto& tools = s->m_tools;
        CCursor* cursor = s->GetCursor(true);
        // The cursor goes last, so that it is drawn first, beneath the other tools.
        for (auto& tool : tools)
            if (tool.get() == cursor) {
                std::swap(tool, tools.back());
                break;
            }
        for (const auto& tool : tools)
            if (tool) tool->m_target = m_hWnd;
        m_scroller.SetColour(std::uint8_t(s->m_gridColor >> 16), std::uint8_t(s->m_gridColor >> 8),
                             std::uint8_t(s->m_gridColor));
    }
    // Only our own capture: a popup of ours (the colour picker) may hold it as we lose the focus.
    if (m_hWnd && ::GetCapture() == m_hWnd) ::ReleaseCapture();
    if (g_hPlotCaptureWnd == m_hWnd) g_hPlotCaptureWnd = nullptr;
}

void CImagingPane::ClearDragState()
{
    m_bDragging = m_bDragNode = m_bDragPan = m_bDragTool = false;
    m_bButtonDown = m_bDoubleClick = m_bScrollerDrag = false;
    m_bCentredOnPeak = false;
    m_bPressOnTool = false;
}

// ----- cursor shape -----

UINT CImagingPane::GetCursorIdForState()
{
    const POINT at = m_ptMouse.m_point;
    const UINT plain = m_bButtonDown ? kCursorGrab : kCursorPlot;
    const auto fromTool = [&](CTool* tool, bool dragging) {
        if (!tool) return plain;
        const UINT id = tool->GetCursorIdAt(at, dragging);
        return id == kNoToolCursor ? plain : id;
    };
    if (!m_bDragging) {
        if (!IsInsidePlot(at)) return kCursorPlot;
        if (HitTestControlNodes(at, false)) return kCursorNode;
        return fromTool(ToolAt(at), false);
    }
    if (m_bDragNode) return kCursorNode;
    if (m_bDragTool) return fromTool(GetActiveTool(), true);
    if (m_bDragPan)
        return m_bScrollerDrag && m_scroller.GetHitCode() != COverviewBox::kHitWindow ? kCursorPlot : kCursorGrab;
    return plain;
}

void CImagingPane::SetCursorForState() { SetCursorById(GetCursorIdForState()); }

// ----- hit tests -----

CQLControlPoint* CImagingPane::SelectedNode(CQLObservedPattern** owner)
{
    if (owner) *owner = nullptr;
    CQlwDoc* doc = GetDocument();
    if (!m_pSelectedNode || !doc || !doc->GetSettings()) return nullptr;
    // The node is an element of its pattern's node list: only an address still in a list counts,
    // since the list may have been edited or the pattern removed since it was selected.
    CQLControlPoint* found = nullptr;
    CQLObservedPattern* foundOwner = nullptr;
    ForEachTopObserved(doc->GetPatterns(), [&](CQLObservedPattern& pattern) {
        for (CQLControlPoint& node : pattern.m_controlPoints)
            if (&node == m_pSelectedNode && !found) {
                found = &node;
                foundOwner = &pattern;
            }
    });
    if (!found) m_pSelectedNode = nullptr;
    // A node the user cannot see takes no input: a click on the plot is then a plain click.
    if (!found || !NodesEditable(*foundOwner)) return nullptr;
    if (owner) *owner = foundOwner;
    return found;
}

bool CImagingPane::HitTestControlNodes(const POINT& point, bool select)
{
    CQlwDoc* doc = GetDocument();
    if (!doc || !doc->GetSettings()) return false;
    if (select) {
        ForEachTopObserved(doc->GetPatterns(), [](CQLObservedPattern& pattern) {
            for (CQLControlPoint& node : pattern.m_controlPoints) node.flag = node.leftFlag = node.rightFlag = 0;
        });
        m_pSelectedNode = nullptr;
    }
    if (!HasPlot()) return false;
    const float r = m_pRenderer->GetNodeSize();
    const auto a = m_pRenderer->PixelToData(Gdiplus::PointF(float(point.x) - r, float(point.y) - r));
    const auto b = m_pRenderer->PixelToData(Gdiplus::PointF(float(point.x) + r, float(point.y) + r));
    bool hit = false;
    ForEachTopObserved(doc->GetPatterns(), [&](CQLObservedPattern& pattern) {
        if (hit || !NodesEditable(pattern) || pattern.m_controlPoints.empty()) return;
        const double factor = pattern.GetDrawnScale();
        if (!(factor != 0) || !Finite(factor)) return;
        const double x0 = a.first - pattern.m_xOffset, x1 = b.first - pattern.m_xOffset;
        const double y0 = (a.second - pattern.m_yOffset) / factor, y1 = (b.second - pattern.m_yOffset) / factor;
        LXGraphics::CSyncRect box;
        box.SetLTRB(float(std::min(x0, x1)), float(std::min(y0, y1)), float(std::max(x0, x1)),
                    float(std::max(y0, y1)));
        for (CQLControlPoint& node : pattern.m_controlPoints)
            if (CControlNode::HitTest(node, box, select)) {
                if (select) m_pSelectedNode = &node;
                hit = true;
                return;
            }
    });
    return hit;
}

bool CImagingPane::FindReflexionsAt(std::shared_ptr<CQLReflexion>& out, const CQLPatternList& patterns, double x,
                                    double tolerance, std::shared_ptr<CQLPattern>& outPattern, bool shownOnly)
{
    out.reset();
    outPattern.reset();
    if (!HasPlot()) return false;
    const CDiffractionSettings& s = m_pRenderer->GetSettings();
    for (const CQLPatternPtr& p : patterns) {
        if (!p) continue;
        if (const CQLPatternList* components = p->GetComponents()) {
            if (FindReflexionsAt(out, *components, x, tolerance, outPattern, shownOnly)) return true;
            continue;
        }
        const CQLCrystal* crystal = p->GetCrystal();
        if (!crystal || (shownOnly && !p->IsShown())) continue;
        // Reflexion positions are before the pattern's x offset; the plot draws them after it.
        std::shared_ptr<CQLReflexion> r = crystal->FindReflexionsNear(x - p->m_xOffset, tolerance);
        if (!r) continue;
        bool onPeak;
        if (s.m_filmMode) {
            const auto& band = m_pRenderer->GetPatternBandRect(p.get()).m_float;
            const float px = m_ptMouse.m_float.X, py = m_ptMouse.m_float.Y;
            onPeak = px >= band.X && px <= band.X + band.Width && py >= band.Y && py <= band.Y + band.Height;
        } else {
            const double ppu = m_pRenderer->GetYPixelsPerUnit();
            if (!(ppu > 0)) continue;
            const double y = PixelToData(m_ptMouse).second;
            double lo = p->m_yOffset, hi = p->GetIntensityAt(p->m_xOffset + r->x);
            if (lo > hi) std::swap(lo, hi);
            const double margin = 2 * kPickPixels / ppu;
            onPeak = y >= lo - margin && y <= hi + margin;
        }
        if (!onPeak) continue;
        out = r;
        outPattern = p;
        return true;
    }
    return false;
}

// ----- hover -----

void CImagingPane::TrackHover()
{
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* s = doc ? doc->GetSettings() : nullptr;
    if (!s || !s->m_showPeakTips || m_bScrollerShown || !HasPlot()) return;
    // A tip that has hidden itself takes its peak with it: the next move over that peak opens it
    // again, also when the pointer never left the peak.
    if (m_pPeakTip && m_pPeakTip->GetSafeHwnd() && !m_pPeakTip->IsWindowVisible()) m_pHoverReflexion.reset();
    const double x = PixelToData(m_ptMouse).first;
    std::shared_ptr<CQLReflexion> found;
    CQLPatternPtr pattern;
    FindReflexionsAt(found, doc->GetPatterns(), x, kPickPixels / m_pRenderer->GetXPixelsPerUnit(), pattern, true);
    if (found == m_pHoverReflexion) return;
    m_pHoverReflexion = found;
    if (found) {
        if (!m_pPeakTip) {
            auto tip = std::make_shared<CFloatingPeakTip>();
            if (tip->Create(this)) {
                tip->SetTarget(this);
                m_pPeakTip = tip;
            }
        }
        if (m_pPeakTip) {
            m_pPeakTip->ShowWindow(SW_SHOWNOACTIVATE);
            m_pPeakTip->SetPeak(float(x), pattern);
        }
        if (PreferenceBool(&CPreferences::m_PeakTipClick, true)) CUtils::LoadAndPlaySound(kSoundPeakTipClick);
    }
    // Straight to the views: nothing in the document changed.
    CUpdateHint hint(kHintPeakUnderPointer, doc, nullptr);
    doc->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&hint));
}

// ----- overview box -----

void CImagingPane::ShowScroller(bool restart)
{
    CDiffractionSettings* s = GetSettings();
    if (!s || !PreferenceBool(&CPreferences::m_ShowScroller, true)) return;
    if (s->m_visibleXMin > s->m_defaultXMax || s->m_visibleXMax > s->m_defaultXMax) return;
    const bool wasShown = m_bScrollerShown;
    m_bScrollerShown = true;
    KillTimer(kTimerHideScroller);
    if (restart) SetTimer(kTimerHideScroller, kHideScrollerMs);
    // The box is drawn with the composite; the paint of the step that showed it came before, and
    // no other paint may come before the box is due to hide.
    if (!wasShown) InvalidateLayers(0, false);
}

void CImagingPane::OnTimer(UINT_PTR id)
{
    if (id == kTimerHideScroller) {
        KillTimer(kTimerHideScroller);
        KillTimer(kTimerScrollerRepeat);
        m_bScrollerShown = false;
        InvalidateLayers(kLayerAll, true);
        return;
    }
    if (id == kTimerScrollerRepeat) {
        KillTimer(kTimerScrollerRepeat);
        CQlwDoc* doc = GetDocument();
        CDiffractionSettings* s = doc ? doc->GetSettings() : nullptr;
        if (!m_bButtonDown || !m_bScrollerDrag || !s) return;
        const double step = 0.01 * s->m_defaultXMax;
        doc->ScrollPlotRange(m_scroller.GetHitCode() == COverviewBox::kHitLeft ? -step : step);
        SetTimer(kTimerScrollerRepeat, kScrollerRepeatMs);
        return;
    }
    CWnd::OnTimer(id);
}

// ----- mouse -----

void CImagingPane::StorePointer(const POINT& point)
{
    m_ptPrevMouse = m_ptMouse;
    m_ptMouse = ToSync(point);
}

bool CImagingPane::RedirectPressOutside(const MSG& msg)
{
    if (msg.message != WM_LBUTTONDOWN || msg.hwnd != m_hWnd || ::GetCapture() != m_hWnd) return false;
    POINT at{short(LOWORD(msg.lParam)), short(HIWORD(msg.lParam))};
    CRect client;
    GetClientRect(&client);
    if (client.PtInRect(at)) return false;
    ClientToScreen(&at);
    HWND target = ::WindowFromPoint(at);
    EndDrag();
    InvalidateLayers(kLayerAll, true);
    if (!target || target == m_hWnd) return false;
    ::ScreenToClient(target, &at);
    ::PostMessageW(target, WM_LBUTTONDOWN, msg.wParam, MAKELPARAM(short(at.x), short(at.y)));
    return true;
}

BOOL CImagingPane::PreTranslateMessage(MSG* msg)
{
    if (msg && RedirectPressOutside(*msg)) return TRUE;
    return CWnd::PreTranslateMessage(msg);
}

void CImagingPane::OnLButtonDblClk(UINT flags, CPoint point)
{
    if (!m_bButtonDown) m_bDoubleClick = true;
    OnLButtonDown(flags, point);
}

void CImagingPane::OnLButtonDown(UINT flags, CPoint point)
{
    const auto attached = AttachToolsToRenderer();
    // The mouse comes here while this canvas holds the capture, also for presses elsewhere.
    const MSG press{m_hWnd, WM_LBUTTONDOWN, flags, MAKELPARAM(short(point.x), short(point.y)), 0, POINT{0, 0}};
    if (RedirectPressOutside(press)) return;
    StorePointer(point);
    m_ptPrevDown = m_ptDown;
    m_ptDown = m_ptMouse;
    m_bButtonDown = true;
    BeginMouseAction();
    SetFocus();
    SetCursorForState();
}

bool CImagingPane::CentreOnReflexionAt(const POINT& point)
{
    CQlwDoc* doc = GetDocument();
    if (!doc || !doc->GetSettings() || !HasPlot()) return false;
    const double x = PixelToData(ToSync(point)).first;
    std::shared_ptr<CQLReflexion> reflexion;
    CQLPatternPtr pattern;
    if (!FindReflexionsAt(reflexion, doc->GetPatterns(), x, kPickPixels / m_pRenderer->GetXPixelsPerUnit(),
                          pattern, true))
        return false;
    // The document centres on a d spacing, whatever the axis unit.
    doc->CentrePlotOn(reflexion->d);
    CUHReflexionSelected hint(doc, dynamic_cast<CView*>(GetParent()), reflexion.get(), pattern.get());
    doc->DispatchUpdateHint(hint);
    return true;
}

void CImagingPane::BeginMouseAction()
{
    const POINT at = m_ptDown.m_point;
    m_bPressOnTool = false;
    if (m_bScrollerShown) {
        COverviewBox::MouseEvent event;
        event.point = m_ptDown;
        if (m_scroller.HitTest(event)) {
            m_bScrollerDrag = true;
            m_nScrollerDragX = at.x;
            ShowScroller(false);
            const auto part = m_scroller.GetHitCode();
            if (part == COverviewBox::kHitLeft || part == COverviewBox::kHitRight)
                SetTimer(kTimerScrollerRepeat, kScrollerRepeatMs);
            return;
        }
    }
    CDiffractionSettings* s = GetSettings();
    if (!s || !HasPlot()) return;
    CQLControlPoint* before = SelectedNode();
    bool nodeHit = false;
    if (!m_bDoubleClick) {
        nodeHit = HitTestControlNodes(at, true);
        if (!nodeHit) SelectTool(ToolAt(at));
    }
    m_bNodeChanged = SelectedNode() != before;
    std::uint16_t mask = nodeHit || m_bNodeChanged ? kLayerPlot : 0;
    bool accepted = false;
    // A double click on a peak is about the peak, even where the first click put the cursor.
    if (m_bDoubleClick && CentreOnReflexionAt(at)) {
        m_bCentredOnPeak = true;
    } else if (CTool* tool = ToolAt(at)) {
        if (tool->OnLButtonDown(at, true)) {
            mask |= kLayerTools;
            accepted = true;
        }
        // Selecting the ruler is no click on the plot; a click on the cursor's line still is.
        m_bPressOnTool = !dynamic_cast<CCursor*>(tool);
    } else {
        s->GetCursor(true);
    }
    if (m_bNodeChanged || accepted) RequestPlotUpdate(mask, true);
}

void CImagingPane::OnMouseMove(UINT flags, CPoint point)
{
    const auto attached = AttachToolsToRenderer();
    StorePointer(point);
    // A release lost while a modal window had the mouse: the press is over, nothing pans.
    if ((m_bButtonDown || m_bDragging || m_bScrollerDrag) && !(flags & MK_LBUTTON)) {
        const bool scroller = m_bScrollerShown;
        EndDrag();
        if (scroller) ShowScroller(true);
        SetCursorForState();
        return;
    }
    // WM_SETCURSOR comes before the move, with the pointer's last place: the shape follows here.
    SetCursorForState();
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* s = doc ? doc->GetSettings() : nullptr;
    if (m_bScrollerDrag) {
        if (s && m_scroller.GetHitCode() == COverviewBox::kHitWindow && m_fScrollerScale > 0) {
            // The box spans the unit's whole data range.
            const double span = s->m_defaultXMax - s->m_defaultXMin;
            const double dx = double(point.x - m_nScrollerDragX) / m_fScrollerScale * span;
            if (Finite(dx) && dx != 0) doc->ScrollPlotRange(dx);
            m_nScrollerDragX = point.x;
        }
        return;
    }
    if (m_bButtonDown && !m_bDragging && HasPlot()) {
        m_bDragging = true;
        g_bPlotDragging = true;
        // What the drag moves is decided where the button went down.
        const POINT at = m_ptDown.m_point;
        if (HitTestControlNodes(at, true))
            m_bDragNode = true;
        else if (ToolAt(at))
            m_bDragTool = true;
        else
            m_bDragPan = true;
        if (!g_hPlotCaptureWnd || g_hPlotCaptureWnd == m_hWnd || !::IsWindow(g_hPlotCaptureWnd)) {
            SetCapture();
            g_hPlotCaptureWnd = m_hWnd;
        }
    }
    if (m_bDragPan)
        PanDrag();
    else if (m_bDragTool)
        DragTool();
    else if (m_bDragNode)
        DragControlNode();
    else if (!m_bButtonDown)
        TrackHover();
}

void CImagingPane::PanDrag()
{
    CQlwDoc* doc = GetDocument();
    if (!doc || !doc->GetSettings() || !HasPlot()) return;
    const double dx = PixelToData(m_ptPrevMouse).first - PixelToData(m_ptMouse).first;
    if (Finite(dx) && dx != 0) doc->ScrollPlotRange(dx);
    ShowScroller(false);
}

void CImagingPane::DragTool()
{
    CTool* tool = GetActiveTool();
    if (!tool || !HasPlot()) return;
    const POINT at = m_ptMouse.m_point;
    {
        struct Moving
        {
            bool& flag;
            ~Moving() { flag = false; }
        } moving{m_bMovingTool = true};
        tool->DragBy(at, m_ptMouse.m_float.X - m_ptPrevMouse.m_float.X, m_ptMouse.m_float.Y - m_ptPrevMouse.m_float.Y);
    }
    RequestPlotUpdate(kLayerTools, true);
}

void CImagingPane::DragControlNode()
{
    CQLObservedPattern* owner = nullptr;
    CQLControlPoint* node = SelectedNode(&owner);
    if (!node || !owner || !HasPlot()) return;
    const double factor = owner->GetDrawnScale();
    if (!(factor != 0) || !Finite(factor)) return;
    const auto data = PixelToData(m_ptMouse);
    const double to[2] = {data.first - owner->m_xOffset, (data.second - owner->m_yOffset) / factor};
    if (!Finite(to[0]) || !Finite(to[1])) return;
    CControlNode::MoveTo(*node, to);
    owner->ComputeBackgroundCurve();
    RequestPlotUpdate(kLayerPlot, true);
}

bool CImagingPane::MoveSelectedNodeBy(float dx, float dy)
{
    CQLObservedPattern* owner = nullptr;
    CQLControlPoint* node = SelectedNode(&owner);
    if (!node || !owner || !HasPlot()) return false;
    const double factor = owner->GetDrawnScale();
    if (!(factor != 0) || !Finite(factor)) return false;
    // Through pixels and back, so the step is dx, dy pixels on either kind of y axis.
    const auto part = FlaggedPart(*node);
    const Gdiplus::PointF at = m_pRenderer->DataToPixel(part.first + owner->m_xOffset, owner->PlottedY(part.second));
    const auto data = m_pRenderer->PixelToData(Gdiplus::PointF(at.X + dx, at.Y + dy));
    const double to[2] = {data.first - owner->m_xOffset, (data.second - owner->m_yOffset) / factor};
    if (!Finite(to[0]) || !Finite(to[1])) return false;
    CControlNode::MoveTo(*node, to);
    owner->ComputeBackgroundCurve();
    return true;
}

void CImagingPane::ToggleCursorAt(const POINT& point)
{
    CDiffractionSettings* s = GetSettings();
    if (!s || !HasPlot()) return;
    CCursor* cursor = s->GetCursor(true);
    cursor->m_target = m_hWnd;
    if (!cursor->IsActive()) cursor->MoveTo(float(point.x), float(point.y));
    cursor->ToggleActive();
    cursor->Notify(4, 0);
    RequestPlotUpdate(kLayerTools, true);
}

void CImagingPane::OnLButtonUp(UINT, CPoint point)
{
    const auto attached = AttachToolsToRenderer();
    StorePointer(point);
    if (m_bButtonDown) {
        m_bButtonDown = false;
        if (CTool* tool = ToolAt(point)) tool->OnLButtonDown(point, false);
        if (!m_bScrollerDrag) {
            // A plain click on the plot: the cursor comes or goes.
            if (!m_bDragging && !SelectedNode() && !m_bNodeChanged && !m_bCentredOnPeak && !m_bPressOnTool)
                ToggleCursorAt(point);
        } else {
            m_bScrollerDrag = false;
        }
        if (m_bDragging) {
            g_bPlotDragging = false;
            EndDrag();
        }
        KillTimer(kTimerScrollerRepeat);
        if (m_bScrollerShown) ShowScroller(true);
    }
    m_bDoubleClick = false;
    m_bCentredOnPeak = false;
    m_bPressOnTool = false;
    SetCursorForState();
}
