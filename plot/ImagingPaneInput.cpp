// The imaging canvas's input side: mouse, wheel, keys, cursor shapes, tool routing, control-node
// drags, the hover peak tip, the overview box, the context menu and the plot commands.
// Not built yet: every handler below does nothing, so the canvas only shows the plot.
#include "ImagingPane.h"

#include "QLReflexion.h"

HWND g_hPlotCaptureWnd = nullptr;
bool g_bPlotDragging = false;

// The input side's message entries; the canvas's own map chains to these.
const AFX_MSGMAP* CImagingPane::GetInputMessageMap()
{
    typedef CImagingPane ThisClass;
    (void)sizeof(ThisClass*);
    static const AFX_MSGMAP_ENTRY entries[] = {
        {0, nullptr, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {&CWnd::GetThisMessageMap, entries};
    return &map;
}

BOOL CImagingPane::PreTranslateMessage(MSG* msg) { return CWnd::PreTranslateMessage(msg); }

void CImagingPane::EndDrag() { ClearDragState(); }

void CImagingPane::ClearDragState()
{
    m_bDragging = m_bDragNode = m_bDragPan = m_bDragTool = false;
    m_bButtonDown = m_bDoubleClick = m_bScrollerDrag = false;
}

CTool* CImagingPane::ToolAt(const POINT&) { return nullptr; }
CTool* CImagingPane::GetActiveTool() { return nullptr; }
void CImagingPane::SelectTool(CTool*) {}
UINT CImagingPane::GetCursorIdForState() { return 2105; }
bool CImagingPane::HitTestControlNodes(const POINT&, bool) { return false; }

bool CImagingPane::FindReflexionsAt(std::shared_ptr<CQLReflexion>& out, const CQLPatternList&, double, double,
                                    std::shared_ptr<CQLPattern>& outPattern, bool)
{
    out.reset();
    outPattern.reset();
    return false;
}

void CImagingPane::TrackHover() {}
void CImagingPane::ShowScroller(bool) {}
void CImagingPane::BeginMouseAction() {}
void CImagingPane::PanDrag() {}
void CImagingPane::DragTool() {}
void CImagingPane::DragControlNode() {}
void CImagingPane::SetCursorForState() {}

void CImagingPane::OnLButtonDown(UINT, CPoint) {}
void CImagingPane::OnLButtonDblClk(UINT, CPoint) {}
void CImagingPane::OnLButtonUp(UINT, CPoint) {}
void CImagingPane::OnMouseMove(UINT, CPoint) {}
BOOL CImagingPane::OnMouseWheel(UINT, short, CPoint) { return FALSE; }
void CImagingPane::OnMouseHWheel(UINT, short, CPoint) {}
void CImagingPane::OnKeyDown(UINT, UINT, UINT) {}
void CImagingPane::OnKeyUp(UINT, UINT, UINT) {}
void CImagingPane::OnKillFocus(CWnd*) {}
BOOL CImagingPane::OnSetCursor(CWnd*, UINT, UINT) { return FALSE; }
UINT CImagingPane::OnGetDlgCode() { return 0; }
void CImagingPane::OnTimer(UINT_PTR) {}
void CImagingPane::OnContextMenu(CWnd*, CPoint) {}
BOOL CImagingPane::OnPlotCommand(UINT) { return FALSE; }
void CImagingPane::OnUpdatePlotCommand(CCmdUI* cmdUI)
{
    if (cmdUI) cmdUI->ContinueRouting();
}
void CImagingPane::OnInitMenuPopup(CMenu* popup, UINT, BOOL) { CInitMenuPopupHelper::OnInitMenuPopup(this, popup); }
LRESULT CImagingPane::OnColorChanged(WPARAM, LPARAM) { return 0; }
LRESULT CImagingPane::OnIdle(WPARAM, LPARAM) { return 0; }
