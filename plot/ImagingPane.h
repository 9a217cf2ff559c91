// The imaging canvas: the child window that shows the plot. It has the graph renderer draw into
// cached layers (plot body, tools, top layer), composes them and copies the result to the window;
// it also renders the graph for copy, export and printing. Painting, layers and rendering are in
// ImagingPane.cpp, the tools layer's tiles in ImagingPaneTiles.cpp; mouse, wheel, keys, menus and
// commands in ImagingPaneInput.cpp.
#pragma once

#include "ImageBuffer.h"
#include "LXDialog.h"
#include "LXSyncRect.h"
#include "OverviewBox.h"
#include "QLPattern.h"
#include "Wnd.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CDC;
class CFloatingPeakTip;
class CGraphRenderer;
class CDiffractionSettings;
class CQLObservedPattern;
class CQlwDoc;
class CTool;
class CUpdateHint;
struct CQLControlPoint;
struct CQLReflexion;
namespace Gdiplus {
class Bitmap;
class Graphics;
class Image;
}  // namespace Gdiplus

// The window that holds the mouse capture for a canvas drag (null when none), and whether a
// drag is in progress in any canvas: only one canvas drags at a time.
extern HWND g_hPlotCaptureWnd;
extern bool g_bPlotDragging;

class CImagingPane : public CWnd, public CInitMenuPopupHelper
{
    DECLARE_DYNAMIC(CImagingPane)

public:
    // Layer mask bits; every invalidation also clears the composite.
    enum LayerMask : std::uint16_t { kLayerPlot = 1, kLayerTop = 2, kLayerTools = 4, kLayerAll = 0xFFFF };
    static constexpr UINT kControlId = 5510;
    static constexpr DWORD kStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP;
    // Shortest time between two full paints, in milliseconds.
    static constexpr DWORD kPaintInterval = 100;

    // What RenderToBuffer makes: kind 1 a bitmap of the plot at `scale` times its size, kind 2 a
    // metafile; transparent leaves the background clear.
    struct RenderRequest
    {
        std::uint32_t kind = 1;
        bool transparent = false;
        double scale = 1.0;
    };
    enum RenderKind : std::uint32_t { kRenderBitmap = 1, kRenderMetafile = 2 };

    // The page a print goes to: the draw rectangle of the page in printer pixels, and whether it
    // is a print preview.
    struct PrintPage
    {
        RECT drawRect{0, 0, 0, 0};
        bool preview = false;
    };

    CImagingPane();
    ~CImagingPane() override;

    // Creates the child window "Qlw Imaging Pane" with id 5510.
    BOOL Create(CWnd* parent, const RECT& rect);
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;

    // The document shown; without one set, the document of the view the canvas sits in.
    void SetDocument(CQlwDoc* document) { m_pDocument = document; }
    CQlwDoc* GetDocument() const;

    // ----- canvas: layers, painting, rendering -----
    void InvalidateLayers(std::uint16_t mask, bool immediate);
    void OnDocumentUpdate(const CUpdateHint* hint);
    // The layer mask a hint code asks to redraw (code 45 carries its own).
    static std::uint16_t MaskForHint(const CUpdateHint& hint);
    // The client rectangle; while printing, the client's aspect fitted and centred in the page.
    void GetPlotRect(LXGraphics::CSyncRect& out) const;
    // A new bitmap or metafile of the graph (caller owns); null for an unknown kind. Throws
    // CLXXCopyGrfxNoBitmap (severity 2) when the image cannot be made.
    Gdiplus::Image* RenderToBuffer(const RenderRequest& request);
    // A renderer for the document as it is now, at the plot rectangle (for the loupe).
    std::shared_ptr<CGraphRenderer> CreateRenderer();
    // Told of every hint that redraws part of the plot (the loupe draws it again).
    void SetPlotChangedListener(std::function<void()> listener) { m_plotChanged = std::move(listener); }
    // Draws the plot into the DC: the window's paint DC, or a printer DC (its printing flag set)
    // while PrintPlot runs.
    void PaintPlot(CDC* dc);
    // Prints the graph on the printer DC, fitted into the page's draw rectangle, without tools.
    void PrintPlot(CDC* printerDc, const PrintPage& page);

    // The renderer of the last screen paint: the geometry that is on screen (null before the
    // first paint, which means there is no plot yet).
    const std::shared_ptr<CGraphRenderer>& GetRenderer() const { return m_pRenderer; }
    const std::shared_ptr<CFloatingPeakTip>& GetPeakTip() const { return m_pPeakTip; }
    bool IsSuspended() const { return m_bSuspended; }
    bool IsPrinting() const;

protected:
    void PreparePrintScale(CDC* dc);
    Gdiplus::Graphics* CreateWindowGraphics();
    void DrawLayers(Gdiplus::Graphics* composite, float dpiX, float dpiY);
    void DrawOverviewBox(Gdiplus::Graphics* composite);
    // Shows the last composite when the throttle skips a paint, and asks for a later one.
    void PaintLastComposite(CDC* dc);
    void RequestDeferredPaint(DWORD delay);
    static void CALLBACK DeferredPaintTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
    bool CanPaint();

    void OnPaint();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnSize(UINT type, int cx, int cy);
    void OnDestroy();
    LRESULT OnExitSizeMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnToolGetPlotRect(WPARAM wParam, LPARAM lParam);
    LRESULT OnToolUpdateRequest(WPARAM wParam, LPARAM lParam);

    bool m_bPainting = false;
    bool m_bSuspended = true;
    CImageBuffer m_plotBuffer;
    CImageBuffer m_toolsBuffer;
    CImageBuffer m_topBuffer;
    CImageBuffer m_composite;
    CDC* m_pPrintDC = nullptr;
    const PrintPage* m_pPrintPage = nullptr;
    std::shared_ptr<CGraphRenderer> m_pRenderer;
    std::shared_ptr<CFloatingPeakTip> m_pPeakTip;
    CQlwDoc* m_pDocument = nullptr;
    DWORD m_lastPaintTick = 0;
    bool m_bHasPainted = false;
    bool m_bDeferredPaint = false;

    // Where the tools layer holds pixels, by tiles of its bitmap: a change of the tools alone wipes
    // and composes the tiles they covered and cover now, not the whole plot.
    struct ToolTiles
    {
        static constexpr int kWidth = 32, kHeight = 16;
        const Gdiplus::Bitmap* bitmap = nullptr;  // the tools bitmap the tiles describe
        int columns = 0, rows = 0;
        std::vector<std::uint8_t> drawn;  // what the tools bitmap holds
        std::vector<std::uint8_t> shown;  // what the composite holds of it
        bool drawnKnown = false;
        bool shownKnown = false;
        bool shownAsDrawn = false;  // the composite shows the bitmap as it is, before it is looked at
    } m_toolTiles;
    // Set while the tools and top layers are blank: the window is given the base layer itself and
    // the composite's pixels are stale until something is composed over the base.
    bool m_bBaseShown = false;
    Gdiplus::Bitmap* ShownBitmap() const { return m_bBaseShown ? m_plotBuffer.m_pBitmap : m_composite.m_pBitmap; }
    // The composite as last composed, when it holds nothing but the three layers.
    const Gdiplus::Bitmap* m_composedBitmap = nullptr;
    int m_composedWidth = 0, m_composedHeight = 0;
    void ResetToolTiles();
    void FindToolTiles();
    void WipeToolsLayer();
    // Composes the tiles the tools covered or cover now; `changed`, when given, gets their
    // rectangles in the composite.
    bool ComposeToolTiles(int width, int height, std::vector<RECT>* changed);
    // Draws a layer that was wiped, and marks it drawn (the flag is dropped by a wipe).
    void DrawLayer(CImageBuffer& buffer, void (CGraphRenderer::*drawLayer)(Gdiplus::Graphics*));
    // The composite holds the three layers as they are but for the tools, which were wiped.
    bool OnlyToolsChanged(const LXGraphics::CSyncRect& plot) const;
    // A change of the tools alone, composed before the paint so that the paint copies only the
    // tiles that changed; false when the paint must compose (throttled, another layer changed).
    bool ComposeToolsAhead();
    bool m_bComposedAhead = false;
    bool m_bToolsComposePosted = false;
    LRESULT OnComposeTools(WPARAM wParam, LPARAM lParam);

    // ----- input: mouse, wheel, keys, menus, commands (ImagingPaneInput.cpp) -----
public:
    BOOL PreTranslateMessage(MSG* msg) override;
    // Plot commands and their updates go to OnPlotCommand and OnUpdatePlotCommand first.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    // Ends any drag: clears the state, tidies the tool list, releases the capture.
    void EndDrag();
    void ClearDragState();
    // Until the guard goes, every tool converts through the painted renderer, as it does while
    // drawing: the plot rectangle a message carries is in whole pixels, the drawn one is not.
    std::shared_ptr<void> AttachToolsToRenderer();
    CTool* ToolAt(const POINT& point);
    CTool* GetActiveTool();
    void SelectTool(CTool* tool);
    UINT GetCursorIdForState();
    bool HitTestControlNodes(const POINT& point, bool select);
    // The first reflexion within tolerance (data units) of x whose peak the pointer is on.
    bool FindReflexionsAt(std::shared_ptr<CQLReflexion>& out, const CQLPatternList& patterns, double x,
                          double tolerance, std::shared_ptr<CQLPattern>& outPattern, bool shownOnly);
    void TrackHover();
    void ShowScroller(bool restart);
    bool IsScrollerShown() const { return m_bScrollerShown; }

protected:
    static const AFX_MSGMAP* GetInputMessageMap();
    // Chains the input side's message entries behind the canvas's own.
    struct InputEntries
    {
        static const AFX_MSGMAP* GetThisMessageMap() { return CImagingPane::GetInputMessageMap(); }
    };

    void BeginMouseAction();
    void PanDrag();
    void DragTool();
    void DragControlNode();
    void SetCursorForState();
    // No renderer (before the first paint) or no usable ranges: no plot to act on.
    bool HasPlot() const;
    bool IsInsidePlot(const POINT& point) const;
    std::pair<double, double> PixelToData(const LXGraphics::CSyncPoint& point) const;
    CDiffractionSettings* GetSettings() const;
    // A plot update (code 45) with the layer mask, through the document's dispatcher.
    void RequestPlotUpdate(std::uint16_t mask, bool flag);
    // The selected background node while it is still in its pattern's list, and that pattern.
    CQLControlPoint* SelectedNode(CQLObservedPattern** owner = nullptr);
    // A press outside the canvas while it holds the capture goes to the window under it.
    bool RedirectPressOutside(const MSG& msg);
    void StorePointer(const POINT& point);
    bool CentreOnReflexionAt(const POINT& point);
    bool MoveSelectedNodeBy(float dx, float dy);
    void ToggleCursorAt(const POINT& point);
    void ZoomAboutCentre(double factor);
    void ScaleIntensityBy(double factor);
    void WheelNotches(UINT flags, int delta, bool horizontal);

    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    void OnMouseHWheel(UINT flags, short delta, CPoint point);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnKeyUp(UINT key, UINT repeat, UINT flags);
    void OnKillFocus(CWnd* newWindow);
    BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
    UINT OnGetDlgCode();
    void OnTimer(UINT_PTR id);
    void OnContextMenu(CWnd* window, CPoint point);
    BOOL OnPlotCommand(UINT id);
    void OnUpdatePlotCommand(CCmdUI* cmdUI);
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
    LRESULT OnColorChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnIdle(WPARAM wParam, LPARAM lParam);

    bool m_bDragging = false;
    bool m_bDragNode = false;
    bool m_bDragPan = false;
    bool m_bDragTool = false;
    bool m_bMovingTool = false;  // inside a tool's drag step, which asks for one paint at its end
    bool m_bButtonDown = false;
    bool m_bDoubleClick = false;
    bool m_bScrollerDrag = false;
    bool m_bCentredOnPeak = false;  // the double click in progress centred on a peak
    bool m_bPressOnTool = false;
    std::function<void()> m_plotChanged;    // the press in progress went to a tool other than the cursor
    LXGraphics::CSyncPoint m_ptMouse;
    LXGraphics::CSyncPoint m_ptPrevMouse;
    LXGraphics::CSyncPoint m_ptDown;
    LXGraphics::CSyncPoint m_ptPrevDown;
    int m_nWheelAccum = 0;
    CQLControlPoint* m_pSelectedNode = nullptr;
    bool m_bNodeChanged = false;
    std::shared_ptr<CQLReflexion> m_pHoverReflexion;
    // The overview box with what the canvas keeps of it: shown, its width in pixels as the
    // painting placed it (the horizontal scale of a box drag), the last x of a box drag.
    COverviewBox m_scroller;
    bool m_bScrollerShown = false;
    float m_fScrollerScale = 0;
    int m_nScrollerDragX = 0;

    DECLARE_MESSAGE_MAP()
};
