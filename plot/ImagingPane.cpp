// The imaging canvas: hint-to-layer invalidation, the throttled paint with its cached layers and
// composite, the overview box's place, printing, and rendering into bitmaps and metafiles.
#include "ImagingPane.h"

#include "FloatingPeakTip.h"
#include "GraphRenderer.h"
#include "LXGdiplus.h"
#include "LXGraphicsErrors.h"
#include "LXMessage.h"
#include "Paint.h"
#include "QLReflexion.h"
#include "QlwDoc.h"
#include "Status.h"
#include "ToolRecords.h"
#include "UpdateHint.h"
#include "WndQt.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr float kEpsilon = 1.1920929e-7f;
constexpr UINT_PTR kDeferredPaintTimer = 4003;
constexpr std::int32_t kHintRepaintFromLayers = 27;
constexpr std::int32_t kHintPeakUnderPointer = 36;
// Posted by a change of the tools alone that need not be painted at once.
constexpr UINT kMsgComposeTools = WM_APP + 0x2D1;

// Draws the top-left w x h pixels of a buffer's bitmap at (x, y), one to one.
void BlitBuffer(Gdiplus::Graphics& g, Gdiplus::Bitmap* bitmap, const LXGraphics::CSyncRect& at)
{
    if (!bitmap) return;
    const auto& r = at.m_int;
    const float w = float(std::min<INT>(r.Width, INT(bitmap->GetWidth())));
    const float h = float(std::min<INT>(r.Height, INT(bitmap->GetHeight())));
    if (w <= 0 || h <= 0) return;
    g.DrawImage(bitmap, Gdiplus::RectF(float(r.X), float(r.Y), w, h), 0, 0, w, h, Gdiplus::UnitPixel);
}

// Puts the program-wide drawing resolution back however a paint ends.
struct DrawScaleReset
{
    ~DrawScaleReset()
    {
        g_drawDpi = g_screenDpi;
        g_textScale = 1.0f;
    }
};
}  // namespace

IMPLEMENT_DYNAMIC(CImagingPane, CWnd)

BEGIN_MESSAGE_MAP(CImagingPane, CImagingPane::InputEntries)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_WM_DESTROY()
  ON_REGISTERED_MESSAGE(g_msgExitSizeMoveSync, &CImagingPane::OnExitSizeMove)
  ON_REGISTERED_MESSAGE(g_msgExitSizeMoveAsync, &CImagingPane::OnExitSizeMove)
  ON_REGISTERED_MESSAGE(g_msgToolGetPlotRectSync, &CImagingPane::OnToolGetPlotRect)
  ON_REGISTERED_MESSAGE(g_msgToolGetPlotRectAsync, &CImagingPane::OnToolGetPlotRect)
  ON_REGISTERED_MESSAGE(g_msgToolUpdateRequestSync, &CImagingPane::OnToolUpdateRequest)
  ON_REGISTERED_MESSAGE(g_msgToolUpdateRequestAsync, &CImagingPane::OnToolUpdateRequest)
  ON_MESSAGE(kMsgComposeTools, &CImagingPane::OnComposeTools)
END_MESSAGE_MAP()

CImagingPane::CImagingPane() = default;

CImagingPane::~CImagingPane()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
}

BOOL CImagingPane::Create(CWnd* parent, const RECT& rect)
{
    if (!CWnd::Create(nullptr, L"Qlw Imaging Pane", kStyle, rect, parent, kControlId)) return FALSE;
    // Every paint covers the whole client area: a background filled first would be a wasted
    // pass over a full-screen picture at each drag step.
    if (QWidget* widget = qlw::WidgetOf(m_hWnd)) widget->setAttribute(Qt::WA_OpaquePaintEvent);
    return TRUE;
}

BOOL CImagingPane::PreCreateWindow(CREATESTRUCTW& cs)
{
    cs.style |= WS_CLIPCHILDREN;
    return CWnd::PreCreateWindow(cs);
}

CQlwDoc* CImagingPane::GetDocument() const
{
    if (m_pDocument) return m_pDocument;
    if (!m_hWnd) return nullptr;
    for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h)) {
        if (auto* view = dynamic_cast<CView*>(CWnd::FromHandlePermanent(h)))
            return dynamic_cast<CQlwDoc*>(view->GetDocument());
    }
    return nullptr;
}

bool CImagingPane::IsPrinting() const { return m_pPrintDC && m_pPrintDC->IsPrinting() && m_pPrintPage; }

// ----- hints and invalidation -----

std::uint16_t CImagingPane::MaskForHint(const CUpdateHint& hint)
{
    switch (hint.code) {
    case kHintBackground: return kLayerPlot | kLayerTools;
    case 5: return kLayerPlot | kLayerTop | kLayerTools;
    case CUHReflexionSelected::kCode: return kLayerPlot | kLayerTop | kLayerTools;
    case kHintRepaintFromLayers: return 0;
    case kHintPeakUnderPointer: return kLayerPlot | kLayerTop;
    case CUHRequestPlotUpdate::kCode:
        if (auto* request = dynamic_cast<const CUHRequestPlotUpdate*>(&hint)) return request->level;
        return kLayerAll;
    default: return kLayerPlot;
    }
}

void CImagingPane::InvalidateLayers(std::uint16_t mask, bool immediate)
{
    // The base layer is opaque and drawn whole (white first) whenever it is drawn: marked for
    // drawing, not wiped, which would be a wasted pass over a full-screen bitmap.
    if (mask & kLayerPlot) m_plotBuffer.m_bClearPending = false;
    if (mask & kLayerTop) m_topBuffer.Clear();
    if (mask & kLayerTools) WipeToolsLayer();
    // The composite is rebuilt at every paint; its pixels are kept, so that a paint the throttle
    // skips still shows the last picture.
    if (m_bSuspended || !m_hWnd || !::IsWindow(m_hWnd)) return;
    if (m_bPainting) {
        // Asked from inside a paint: come back after it rather than invalidate now.
        RequestDeferredPaint(USER_TIMER_MINIMUM);
        return;
    }
    m_bComposedAhead = false;
    if (mask == kLayerTools) {
        // A change of the tools alone: composed before the paint, so that the window gets only
        // the tiles that changed; one that may wait is composed once the queue comes to it.
        if (immediate) {
            m_bToolsComposePosted = false;
            if (ComposeToolsAhead()) return;
        } else {
            if (!m_bToolsComposePosted) m_bToolsComposePosted = ::PostMessage(m_hWnd, kMsgComposeTools, 0, 0) != FALSE;
            if (m_bToolsComposePosted) return;
        }
    } else {
        // The whole window is painted anyway.
        m_bToolsComposePosted = false;
    }
    UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN;
    if (immediate) flags |= RDW_INTERNALPAINT | RDW_UPDATENOW;
    RedrawWindow(nullptr, nullptr, flags);
}

void CImagingPane::OnDocumentUpdate(const CUpdateHint* hint)
{
    if (!hint) return;
    if (m_bSuspended) {
        EndDrag();
        m_bSuspended = false;
    }
    if (hint->code == CUHReflexionSelected::kCode) {
        auto* selected = dynamic_cast<const CUHReflexionSelected*>(hint);
        if (selected && selected->reflexion) {
            // The document centres on a d spacing, whatever the axis unit.
            if (CQlwDoc* doc = GetDocument()) doc->CentrePlotOn(selected->reflexion->d);
            if (m_hWnd && ::IsWindow(m_hWnd)) SetFocus();
        }
    }
    const std::uint16_t mask = MaskForHint(*hint);
    InvalidateLayers(mask, hint->flag);
    if (mask && m_plotChanged) m_plotChanged();
}

// ----- geometry -----

void CImagingPane::GetPlotRect(LXGraphics::CSyncRect& out) const
{
    RECT client{0, 0, 0, 0};
    if (m_hWnd) ::GetClientRect(m_hWnd, &client);
    const float cw = float(client.right - client.left), ch = float(client.bottom - client.top);
    if (!IsPrinting()) {
        out.SetXYWH(float(client.left), float(client.top), cw, ch);
        return;
    }
    const RECT& page = m_pPrintPage->drawRect;
    const float pw = float(page.right - page.left), ph = float(page.bottom - page.top);
    float w = pw, h = ph;
    if (cw > kEpsilon && ch > kEpsilon) {
        h = w * ch / cw;
        if (h > ph) {
            h = ph;
            w = h * cw / ch;
        }
    }
    out.SetXYWH(float(page.left) + (pw - w) / 2, float(page.top) + (ph - h) / 2, w, h);
}

// ----- painting -----

bool CImagingPane::CanPaint()
{
    if (m_bPainting || m_bSuspended) return false;
    CQlwDoc* doc = GetDocument();
    return doc && doc->GetSettings() && !doc->AnyPatternNeedsRecompute();
}

void CImagingPane::OnPaint()
{
    CPaintDC dc(this);
    if (m_bComposedAhead) {
        // Composed when the tools moved: only the copy to the window is left.
        m_bComposedAhead = false;
        LXGraphics::CSyncRect plot;
        GetPlotRect(plot);
        if (!m_composite.NeedsRealloc(plot) && plot.m_int.X == m_composite.m_rect.m_int.X &&
            plot.m_int.Y == m_composite.m_rect.m_int.Y && plot.m_int.Width == m_composite.m_rect.m_int.Width &&
            plot.m_int.Height == m_composite.m_rect.m_int.Height) {
            std::unique_ptr<Gdiplus::Graphics> window(CreateWindowGraphics());
            window->ResetClip();
            window->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
            window->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
            BlitBuffer(*window, ShownBitmap(), m_composite.m_rect);
            window->Flush();
            m_lastPaintTick = GetTickCount();
            return;
        }
    }
    const DWORD now = GetTickCount();
    if (m_bHasPainted && now - m_lastPaintTick < kPaintInterval) {
        PaintLastComposite(&dc);
        RequestDeferredPaint(kPaintInterval - (now - m_lastPaintTick));
        return;
    }
    if (!CanPaint()) {
        // A recompute sends its own plot update; until then the last picture stays.
        PaintLastComposite(&dc);
        return;
    }
    PaintPlot(&dc);
    m_lastPaintTick = GetTickCount();
    m_bHasPainted = true;
}

void CImagingPane::PaintLastComposite(CDC* dc)
{
    Gdiplus::Graphics g(dc->GetSafeHdc());
    RECT client{0, 0, 0, 0};
    ::GetClientRect(m_hWnd, &client);
    g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    g.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFFu));
    g.FillRectangle(&white, 0.0f, 0.0f, float(client.right), float(client.bottom));
    if (m_bHasPainted) BlitBuffer(g, ShownBitmap(), m_composite.m_rect);
}

void CImagingPane::RequestDeferredPaint(DWORD delay)
{
    if (m_bDeferredPaint || !m_hWnd) return;
    m_bDeferredPaint = ::SetTimer(m_hWnd, kDeferredPaintTimer, std::max<DWORD>(delay, USER_TIMER_MINIMUM),
                                  &CImagingPane::DeferredPaintTimer) != 0;
}

void CALLBACK CImagingPane::DeferredPaintTimer(HWND hwnd, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(hwnd, id);
    auto* pane = dynamic_cast<CImagingPane*>(CWnd::FromHandlePermanent(hwnd));
    if (!pane) return;
    pane->m_bDeferredPaint = false;
    pane->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CImagingPane::PreparePrintScale(CDC* dc)
{
    LXGraphics::CSyncRect screen;
    GetPlotRect(screen);
    m_pPrintDC = dc;
    LXGraphics::CSyncRect target;
    GetPlotRect(target);
    const float first = screen.m_float.Width;
    g_drawDpi = first > kEpsilon ? int(target.m_float.Width * float(g_screenDpi) / first) : g_screenDpi;
    if (g_drawDpi <= 0) g_drawDpi = g_screenDpi;
    if (IsPrinting() && m_pPrintPage->preview && g_screenDpi > 0) {
        g_textScale = float(g_drawDpi) / float(g_screenDpi);
    } else if (IsPrinting()) {
        // Text is sized by the page's own resolution; scaled to the draw DPI it keeps the
        // proportions of the screen, as the lines and margins do.
        const int pageDpi = dc->GetDeviceCaps(LOGPIXELSY);
        if (pageDpi > 0) g_textScale = float(g_drawDpi) / float(pageDpi);
    }
}

Gdiplus::Graphics* CImagingPane::CreateWindowGraphics()
{
    Gdiplus::Graphics* g = nullptr;
    if (IsPrinting()) {
        g = new Gdiplus::Graphics(m_pPrintDC->GetSafeHdc());
        g->SetClip(Gdiplus::Rect(0, 0, m_pPrintDC->GetDeviceCaps(HORZRES), m_pPrintDC->GetDeviceCaps(VERTRES)));
    } else {
        g = new Gdiplus::Graphics(m_hWnd, FALSE);
        LXGraphics::CSyncRect plot;
        GetPlotRect(plot);
        g->SetClip(Gdiplus::Rect(plot.m_int.X, plot.m_int.Y, plot.m_int.Width, plot.m_int.Height));
    }
    g->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    g->SetPageUnit(Gdiplus::UnitPixel);
    return g;
}

void CImagingPane::PaintPlot(CDC* dc)
{
    if (m_bPainting || !dc) return;
    m_bPainting = true;
    struct PaintingReset
    {
        CImagingPane* pane;
        ~PaintingReset()
        {
            pane->m_pPrintDC = nullptr;
            pane->m_bPainting = false;
        }
    } paintingReset{this};
    CStatusDisabler quiet;
    DrawScaleReset scaleReset;

    PreparePrintScale(dc);
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
    if (!settings) {
        if (!IsPrinting()) PaintLastComposite(dc);
        return;
    }
    std::unique_ptr<Gdiplus::Graphics> window(CreateWindowGraphics());
    const Gdiplus::GraphicsState saved = window->Save();
    LXGraphics::CSyncRect plot;
    GetPlotRect(plot);

    if (IsPrinting()) {
        // Straight onto the printer's painter, so the page keeps vector drawing; no tools, no
        // overview box.
        CGraphRenderer renderer(doc->GetPatterns(), *settings, plot, true);
        renderer.DrawFrame(window.get(), false);
        renderer.DrawPlot(window.get());
    } else {
        const float dpiX = window->GetDpiX(), dpiY = window->GetDpiY();
        if (m_composite.NeedsRealloc(plot)) m_composedBitmap = nullptr;
        try {
            m_composite.Prepare(plot, dpiX, dpiY);
        } catch (const CLXException&) {
            window->Restore(saved);
            window.reset();
            PaintLastComposite(dc);
            return;
        }
        std::unique_ptr<Gdiplus::Graphics> composite(m_composite.CreateGraphics());
        if (!composite) {
            window.reset();
            PaintLastComposite(dc);
            return;
        }
        // Replaced, not reset in place: a peak tip that still holds the old one weakly finds
        // it gone rather than reading a deleted renderer.
        m_pRenderer = std::make_shared<CGraphRenderer>(doc->GetPatterns(), *settings, plot, false);
        m_pRenderer->AttachPeakTip(m_pPeakTip.get());
        // Laid out now: a paint that keeps the base layer draws no frame, which would.
        m_pRenderer->UpdateLayout();
        DrawLayers(composite.get(), dpiX, dpiY);
        DrawOverviewBox(composite.get());
        composite->Flush();
        composite.reset();
        window->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        // The composite is opaque: copied, not blended.
        window->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        BlitBuffer(*window, ShownBitmap(), m_composite.m_rect);
    }
    window->Flush();
    window->Restore(saved);
}

void CImagingPane::DrawLayers(Gdiplus::Graphics* composite, float dpiX, float dpiY)
{
    LXGraphics::CSyncRect plot;
    GetPlotRect(plot);
    CGraphRenderer& renderer = *m_pRenderer;
    struct Layer
    {
        CImageBuffer& buffer;
        void (CGraphRenderer::*draw)(Gdiplus::Graphics*);
    } layers[] = {{m_plotBuffer, &CGraphRenderer::DrawPlot},
                  {m_toolsBuffer, &CGraphRenderer::DrawTools},
                  {m_topBuffer, &CGraphRenderer::DrawTopLayer}};
    auto draw = [&](Layer& layer) { DrawLayer(layer.buffer, layer.draw); };

    const int width = plot.m_int.Width, height = plot.m_int.Height;
    const bool toolsOnly = OnlyToolsChanged(plot);
    m_composedBitmap = nullptr;
    if (toolsOnly) {
        draw(layers[1]);
        FindToolTiles();
        if (ComposeToolTiles(width, height, nullptr)) {
            m_composedBitmap = m_composite.m_pBitmap;
            return;
        }
    }

    m_bBaseShown = false;
    bool whole = true;
    bool drawn[3] = {false, false, false};
    for (Layer& layer : layers) {
        CImageBuffer& buffer = layer.buffer;
        if (buffer.NeedsRealloc(plot)) {
            if (&buffer == &m_toolsBuffer) m_toolTiles.bitmap = nullptr;
            try {
                buffer.Prepare(plot, dpiX, dpiY);
                if (&buffer == &m_toolsBuffer) ResetToolTiles();
            } catch (const CLXException&) {
                whole = false;
                continue;
            }
        }
        draw(layer);
        drawn[&layer - layers] = buffer.m_pBitmap && (&buffer == &m_plotBuffer || !buffer.m_bBlank);
    }
    // The plot layer is the opaque base: white, the frame and the curves in one bitmap, copied
    // rather than blended, and drawn again only with the curves. With nothing over it, the window
    // shows it as it is.
    if (drawn[0] && !drawn[1] && !drawn[2]) {
        m_bBaseShown = true;
    } else {
        composite->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        if (drawn[0]) {
            composite->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
            BlitBuffer(*composite, m_plotBuffer.m_pBitmap, plot);
            composite->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
        } else {
            composite->Clear(Gdiplus::Color(0xFFFFFFFFu));
            renderer.DrawFrame(composite, false);
        }
        for (int i = 1; i < 3; ++i)
            if (drawn[i]) BlitBuffer(*composite, layers[i].buffer.m_pBitmap, plot);
    }
    ToolTiles& t = m_toolTiles;
    if (!whole || !t.bitmap || t.bitmap != m_toolsBuffer.m_pBitmap) return;
    t.shownKnown = t.drawnKnown;
    t.shownAsDrawn = !t.drawnKnown;
    if (t.drawnKnown) t.shown = t.drawn;
    m_composedBitmap = m_composite.m_pBitmap;
    m_composedWidth = width;
    m_composedHeight = height;
}

void CImagingPane::DrawLayer(CImageBuffer& buffer, void (CGraphRenderer::*drawLayer)(Gdiplus::Graphics*))
{
    CGraphRenderer& renderer = *m_pRenderer;
    const bool base = &buffer == &m_plotBuffer;
    if (buffer.m_bClearPending || !buffer.m_pBitmap) return;
    bool drawn = false;
    {
        std::unique_ptr<Gdiplus::Graphics> g(buffer.CreateGraphics());
        if (g) {
            if (base) {
                g->Clear(Gdiplus::Color(0xFFFFFFFFu));
                renderer.DrawFrame(g.get(), false);
            }
            (renderer.*drawLayer)(g.get());
            g->Flush();
            drawn = g->HasDrawn();
        }
        buffer.m_bClearPending = true;
        // The tools and top layers mostly stay empty: such a bitmap is neither wiped nor composed.
        buffer.m_bBlank = g && !base && !drawn;
    }
    if (&buffer == &m_toolsBuffer) {
        // Looked at only when needed: a whole redraw does not pay for it.
        if (!drawn) std::fill(m_toolTiles.drawn.begin(), m_toolTiles.drawn.end(), 0);
        m_toolTiles.drawnKnown = !drawn;
    }
}

bool CImagingPane::OnlyToolsChanged(const LXGraphics::CSyncRect& plot) const
{
    return m_composedBitmap && m_composedBitmap == m_composite.m_pBitmap && plot.m_int.Width == m_composedWidth &&
           plot.m_int.Height == m_composedHeight && plot.m_int.X == m_composite.m_rect.m_int.X &&
           plot.m_int.Y == m_composite.m_rect.m_int.Y && m_plotBuffer.m_bClearPending && m_topBuffer.m_bClearPending &&
           !m_toolsBuffer.m_bClearPending && !m_plotBuffer.NeedsRealloc(plot) && !m_topBuffer.NeedsRealloc(plot) &&
           !m_toolsBuffer.NeedsRealloc(plot) && m_toolTiles.bitmap == m_toolsBuffer.m_pBitmap && m_toolTiles.shownKnown;
}

bool CImagingPane::ComposeToolsAhead()
{
    // Only when the paint would compose now, neither held back by the throttle nor kept from drawing.
    if (!m_bHasPainted || GetTickCount() - m_lastPaintTick < kPaintInterval || !CanPaint() || !IsWindowVisible())
        return false;
    CQlwDoc* doc = GetDocument();
    LXGraphics::CSyncRect plot;
    GetPlotRect(plot);
    if (m_composite.NeedsRealloc(plot) || !OnlyToolsChanged(plot)) return false;
    std::vector<RECT> changed;
    bool composed = false;
    {
        m_bPainting = true;
        struct PaintingReset
        {
            bool& flag;
            ~PaintingReset() { flag = false; }
        } paintingReset{m_bPainting};
        CStatusDisabler quiet;
        DrawScaleReset scaleReset;
        m_pRenderer = std::make_shared<CGraphRenderer>(doc->GetPatterns(), *doc->GetSettings(), plot, false);
        m_pRenderer->AttachPeakTip(m_pPeakTip.get());
        m_pRenderer->UpdateLayout();
        m_composedBitmap = nullptr;
        DrawLayer(m_toolsBuffer, &CGraphRenderer::DrawTools);
        FindToolTiles();
        composed = ComposeToolTiles(plot.m_int.Width, plot.m_int.Height, &changed);
        if (composed) m_composedBitmap = m_composite.m_pBitmap;
    }
    // Not composed: the paint composes whole from the layers.
    if (!composed) return false;
    m_bComposedAhead = true;
    // Only the changed tiles go to the window; the rest of it shows the composite already.
    if (changed.empty()) return true;
    for (RECT& r : changed) {
        ::OffsetRect(&r, plot.m_int.X, plot.m_int.Y);
        ::InvalidateRect(m_hWnd, &r, FALSE);
    }
    RedrawWindow(&changed.back(), nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return true;
}

void CImagingPane::DrawOverviewBox(Gdiplus::Graphics* composite)
{
    if (!m_bScrollerShown || !m_pRenderer) return;
    // Drawn over the layers: the composite no longer holds them alone.
    m_composedBitmap = nullptr;
    if (m_bBaseShown) {
        LXGraphics::CSyncRect plot;
        GetPlotRect(plot);
        composite->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        composite->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        BlitBuffer(*composite, m_plotBuffer.m_pBitmap, plot);
        composite->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
        m_bBaseShown = false;
    }
    CGraphRenderer& r = *m_pRenderer;
    const CDiffractionSettings& s = r.GetSettings();
    const Gdiplus::PointF topLeft = r.DataToPixel(s.m_visibleXMin, s.m_visibleYMax);
    const double xMaxPixel = (s.m_visibleXMax - r.GetXMin()) * r.GetXPixelsPerUnit() + r.GetPlotRect().m_float.X;
    const float right = float(0.45 * xMaxPixel);
    LXGraphics::CSyncRect box;
    box.SetLTRB(topLeft.X + 10, topLeft.Y + 10, right + 10, topLeft.Y + 85 + 10);
    if (!(box.m_float.Width > kEpsilon) || !(box.m_float.Height > kEpsilon)) return;
    m_fScrollerScale = box.m_float.Width;
    m_scroller.Draw(composite, box, r);
}

// ----- rendering for copy, export and the loupe -----

Gdiplus::Image* CImagingPane::RenderToBuffer(const RenderRequest& request)
{
    LXGraphics::CSyncRect plot;
    GetPlotRect(plot);
    std::unique_ptr<Gdiplus::Image> image;
    std::unique_ptr<Gdiplus::Graphics> g;
    if (request.kind == kRenderBitmap) {
        const double w = std::floor(double(plot.m_float.Width) * request.scale);
        const double h = std::floor(double(plot.m_float.Height) * request.scale);
        if (!(w >= 1 && h >= 1 && w < 2147483647.0 && h < 2147483647.0))
            throw CLXXCopyGrfxNoBitmap(2, Gdiplus::InvalidParameter, __LINE__);
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(INT(w), INT(h), Gdiplus::PixelFormat32bppARGB);
        // Too large an image is an error to report, not an empty picture.
        if (const Gdiplus::Status status = bitmap->GetLastStatus(); status != Gdiplus::Ok)
            throw CLXXCopyGrfxNoBitmap(2, status, __LINE__);
        g = std::make_unique<Gdiplus::Graphics>(bitmap.get());
        image = std::move(bitmap);
    } else if (request.kind == kRenderMetafile) {
        CQlwDoc* doc = GetDocument();
        const CString title = doc ? doc->GetTitle() : CString();
        HDC screen = ::GetDC(nullptr);
        auto metafile = std::make_unique<Gdiplus::Metafile>(
            screen, Gdiplus::RectF(plot.m_float.X, plot.m_float.Y, plot.m_float.Width, plot.m_float.Height),
            Gdiplus::MetafileFrameUnitPixel, Gdiplus::EmfTypeEmfPlusDual, title.GetString());
        ::ReleaseDC(nullptr, screen);
        if (const Gdiplus::Status status = metafile->GetLastStatus(); status != Gdiplus::Ok)
            throw CLXXCopyGrfxNoBitmap(2, status, __LINE__);
        g = std::make_unique<Gdiplus::Graphics>(metafile.get());
        image = std::move(metafile);
    } else {
        return nullptr;
    }
    if (const Gdiplus::Status status = g->GetLastStatus(); status != Gdiplus::Ok)
        throw CLXXCopyGrfxNoBitmap(2, status, __LINE__);
    const Gdiplus::GraphicsState saved = g->Save();
    if (request.kind == kRenderBitmap) g->ScaleTransform(float(request.scale), float(request.scale));

    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
    g->Clear(Gdiplus::Color(request.transparent ? 0x00FFFFFFu : 0xFFFFFFFFu));
    if (settings) {
        CStatusDisabler quiet;
        auto renderer = std::make_shared<CGraphRenderer>(doc->GetPatterns(), *settings, plot, true);
        renderer->DrawFrame(g.get(), false);
        renderer->DrawPlot(g.get());
        renderer->DrawTopLayer(g.get());
    }
    g->Flush();
    g->Restore(saved);
    g.reset();
    return image.release();
}

std::shared_ptr<CGraphRenderer> CImagingPane::CreateRenderer()
{
    CQlwDoc* doc = GetDocument();
    CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
    if (!settings) return nullptr;
    LXGraphics::CSyncRect plot;
    GetPlotRect(plot);
    CStatusDisabler quiet;
    return std::make_shared<CGraphRenderer>(doc->GetPatterns(), *settings, plot, false);
}

void CImagingPane::PrintPlot(CDC* printerDc, const PrintPage& page)
{
    if (!printerDc) return;
    const BOOL wasPrinting = printerDc->m_bPrinting;
    printerDc->m_bPrinting = TRUE;
    m_pPrintPage = &page;
    PaintPlot(printerDc);
    m_pPrintPage = nullptr;
    printerDc->m_bPrinting = wasPrinting;
}

// ----- window messages -----

BOOL CImagingPane::OnEraseBkgnd(CDC*) { return TRUE; }

void CImagingPane::OnSize(UINT, int, int)
{
    if (m_bSuspended) return;
    // A drag converts through the window's plot area, which must follow the new size first.
    if (g_bPlotDragging) {
        CQlwDoc* doc = GetDocument();
        if (CQlwDocWindow* window = doc ? doc->GetDiffractWnd() : nullptr) window->UpdatePlotRect();
    }
    InvalidateLayers(kLayerAll, true);
}

void CImagingPane::OnDestroy()
{
    EndDrag();
    if (g_hPlotCaptureWnd && g_hPlotCaptureWnd == m_hWnd) {
        if (::GetCapture() == m_hWnd) ::ReleaseCapture();
        g_hPlotCaptureWnd = nullptr;
    }
    if (m_bDeferredPaint) ::KillTimer(m_hWnd, kDeferredPaintTimer);
    m_bDeferredPaint = false;
    m_pRenderer.reset();
    CWnd::OnDestroy();
}

LRESULT CImagingPane::OnExitSizeMove(WPARAM, LPARAM lParam)
{
    if (lParam != 2) InvalidateLayers(kLayerAll, false);
    return 0;
}

LRESULT CImagingPane::OnToolGetPlotRect(WPARAM, LPARAM lParam)
{
    auto* rect = reinterpret_cast<RECT*>(lParam);
    if (rect) *rect = RECT{0, 0, 0, 0};
    // No renderer yet means no plot: tools must not place themselves on an empty rectangle.
    if (!m_pRenderer) return FALSE;
    const LXGraphics::CSyncRect& plot = m_pRenderer->GetPlotRect();
    if (rect) *rect = plot.m_rect;
    return plot.m_float.Width > kEpsilon && plot.m_float.Height > kEpsilon;
}

LRESULT CImagingPane::OnComposeTools(WPARAM, LPARAM)
{
    if (!m_bToolsComposePosted) return 0;
    m_bToolsComposePosted = false;
    if (m_bSuspended) return 0;
    if (m_bPainting) {
        RequestDeferredPaint(USER_TIMER_MINIMUM);
        return 0;
    }
    if (!ComposeToolsAhead()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
}

LRESULT CImagingPane::OnToolUpdateRequest(WPARAM, LPARAM lParam)
{
    auto* tool = reinterpret_cast<CTool*>(lParam);
    // A tool that reports its own move during a drag step is painted with the step, not twice.
    InvalidateLayers(dynamic_cast<CCursor*>(tool) ? kLayerPlot | kLayerTools : kLayerTools, !m_bMovingTool);
    return TRUE;
}
