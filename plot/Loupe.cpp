#include "Loupe.h"

#include "GraphRenderer.h"
#include "ImagingPane.h"
#include "LXAlphaButton.h"
#include "Paint.h"
#include "WndQt.h"

#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <cmath>

using namespace Gdiplus;

namespace {
constexpr UINT kCmdCircle = 34568, kCmdSquare = 34569, kCmdZoom100 = 34570, kCmdZoom800 = 34577,
               kCmdHideLoupe = 33585;
constexpr ARGB kFrameDark = 0xFF646464, kFrameLight = 0xFF969696, kPill = 0xFF323232, kLensBack = 0xFFDCDCDC,
               kGrip = 0xFFC0C0C0, kFootprint = 0xFFFEFEFE;
}  // namespace

BEGIN_MESSAGE_MAP(CLoupe, CDialog)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_MOUSEWHEEL()
  ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

CLoupe::CLoupe() = default;
CLoupe::~CLoupe()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
}

BOOL CLoupe::Create(CWnd* parent, CImagingPane* target)
{
    m_target = target;
    if (!CreateFromTemplate(kTemplateId, parent, true)) return FALSE;
    ModifyStyle(0, WS_CLIPSIBLINGS);
    SetWindowPos(nullptr, 0, 0, kWindowSize, kWindowSize, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyShape();
    return TRUE;
}

RECT CLoupe::GetLensRect() const
{
    const int half = m_lensSize / 2;
    return RECT{kCentre - half, kCentre - half, kCentre + half, kCentre + half};
}

POINT CLoupe::GetGripPoint() const
{
    const RECT lens = GetLensRect();
    return POINT{lens.right - 10, lens.bottom - 10};
}

RECT CLoupe::GetLabelRect() const
{
    const RECT lens = GetLensRect();
    return RECT{lens.right - 75, lens.bottom - 25, lens.right - 20, lens.bottom - 9};
}

int CLoupe::PressModeAt(POINT p) const
{
    const POINT grip = GetGripPoint();
    const double gx = p.x - grip.x, gy = p.y - grip.y;
    if (std::hypot(gx, gy) <= 20) return kModeResize;
    const double cx = p.x - kCentre, cy = p.y - kCentre;
    if (std::hypot(cx, cy) <= Radius()) return kModeLens;
    // The square lens's corners, measured from the lens: all but the bottom-right quarter, which
    // holds the label and the grip.
    const RECT lens = GetLensRect();
    const bool inside = !m_circle && ((p.x >= lens.left + 2 && p.x <= lens.right - 2 && p.y >= lens.top + 2 &&
                                       p.y <= kCentre) ||
                                      (p.x >= lens.left + 2 && p.x <= kCentre && p.y >= lens.top + 2 &&
                                       p.y <= lens.bottom - 2));
    if (inside) return kModeLens;
    const RECT label = GetLabelRect();
    if (p.x >= label.left && p.x < label.right && p.y >= label.top && p.y < label.bottom) return kModeMenu;
    return kModeFrame;
}

void CLoupe::ApplyShape()
{
    if (!m_hWnd) return;
    QWidget* widget = qlw::WidgetOf(m_hWnd);
    if (!widget) return;
    // The window is shaped by the lens's geometry, not by a colour key: white in the plot must
    // not show what lies beneath.
    const RECT lens = GetLensRect();
    const QRect box(lens.left, lens.top, m_lensSize, m_lensSize);
    QPainterPath outline;
    if (m_circle) {
        outline.addEllipse(QRectF(box));
        outline.addRoundedRect(QRectF(kCentre, kCentre, lens.right - kCentre, lens.bottom - kCentre), 10, 10);
        outline.addRect(QRectF(kCentre, kCentre, lens.right - kCentre - 10, lens.bottom - kCentre - 10));
    } else {
        outline.addRoundedRect(QRectF(box), 10, 10);
    }
    outline.setFillRule(Qt::WindingFill);
    widget->setMask(QRegion(outline.simplified().toFillPolygon().toPolygon()));
}

void CLoupe::PlotChanged()
{
    m_reRender = true;
    if (m_hWnd && m_visible) Invalidate(FALSE);
}

void CLoupe::SetZoom(float zoom)
{
    m_zoom = std::clamp(zoom, 100.0f, 800.0f);
    m_checkedZoom = kCmdZoom100 + UINT(int(m_zoom / 100 - 1));
    m_reRender = true;
}

void CLoupe::EndPress()
{
    m_buttonDown = false;
    m_mode = kModeNone;
    if (m_hWnd && ::GetCapture() == m_hWnd) ::ReleaseCapture();
}

void CLoupe::OnLoupeCommand(UINT id)
{
    if (id == kCmdCircle || id == kCmdSquare) {
        m_circle = id == kCmdCircle;
        ApplyShape();
    } else if (id >= kCmdZoom100 && id <= kCmdZoom800) {
        SetZoom(float((id - kCmdZoom100 + 1) * 100));
        EndPress();
    } else if (id == kCmdHideLoupe) {
        if (!m_visible && m_hWnd && m_target && m_target->m_hWnd) {
            // Shown for the first time, or again: over the middle of the plot.
            // The painted plot's rectangle; before the first paint, the canvas's.
            LXGraphics::CSyncRect plot;
            if (const auto& renderer = m_target->GetRenderer())
                plot = renderer->GetPlotRect();
            else
                m_target->GetPlotRect(plot);
            const auto& area = plot.m_float;
            POINT centre{LONG(std::lround(area.X + area.Width / 2)), LONG(std::lround(area.Y + area.Height / 2))};
            m_target->ClientToScreen(&centre);
            GetParent()->ScreenToClient(&centre);
            SetWindowPos(nullptr, centre.x - kCentre, centre.y - kCentre, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
            m_reRender = true;
        }
        m_visible = !m_visible;
        if (m_hWnd) {
            ShowWindow(m_visible ? SW_SHOWNOACTIVATE : SW_HIDE);
            if (m_visible) ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        return;
    } else {
        return;
    }
    if (m_hWnd) Invalidate(FALSE);
}

void CLoupe::OnLButtonDown(UINT, CPoint point)
{
    if (m_buttonDown) return;
    const POINT p{point.x, point.y};
    m_mode = PressModeAt(p);
    if (m_mode == kModeMenu) {
        CMenu menu;
        if (!menu.LoadMenu(kMenuId)) throw CLXXCantLoadResource(kLXSeverityFatal, kMenuId, __LINE__);
        CMenu* popup = menu.GetSubMenu(0);
        if (!popup) throw CLXXCantLoadResource(kLXSeverityFatal, kMenuId, __LINE__);
        popup->CheckMenuItem(m_circle ? kCmdCircle : kCmdSquare, MF_BYCOMMAND | MF_CHECKED);
        popup->CheckMenuItem(m_checkedZoom, MF_BYCOMMAND | MF_CHECKED);
        POINT screen = p;
        ClientToScreen(&screen);
        const UINT chosen = popup->TrackPopupMenu(TPM_RETURNCMD | TPM_LEFTALIGN, screen.x, screen.y, this);
        // The press ends with the menu, whatever was chosen.
        EndPress();
        if (chosen) OnLoupeCommand(chosen);
        return;
    }
    if (m_mode == kModeLens) TakeSnapshot();
    POINT screen = p;
    ClientToScreen(&screen);
    m_pressScreen = screen;
    RECT window{};
    GetWindowRect(&window);
    m_windowAtPress = POINT{window.left, window.top};
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&m_windowAtPress);
    m_last = p;
    m_buttonDown = true;
    SetCapture();
    Invalidate(FALSE);
}

void CLoupe::OnMouseMove(UINT flags, CPoint point)
{
    const POINT p{point.x, point.y};
    // A release that never came (a menu or another window took it): the press is over.
    if (m_buttonDown && !(flags & MK_LBUTTON)) EndPress();
    if (m_buttonDown && m_mode == kModeResize) {
        const int grow = (p.y - m_last.y) * 2;
        const int size = grow > 0 ? std::min(m_lensSize + grow, kMaxLens) : std::max(m_lensSize + grow, kMinLens);
        if (size != m_lensSize) {
            m_lensSize = size;
            ApplyShape();
            Invalidate(FALSE);
        }
    } else if (m_buttonDown && (m_mode == kModeLens || m_mode == kModeFrame)) {
        // Placed from where the window stood at the press and the pointer's whole move since.
        POINT screen = p;
        ClientToScreen(&screen);
        const int x = m_windowAtPress.x + screen.x - m_pressScreen.x, y = m_windowAtPress.y + screen.y - m_pressScreen.y;
        SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (m_mode == kModeFrame) m_reRender = true;
        Invalidate(FALSE);
    }
    const RECT label = GetLabelRect();
    const bool hover = p.x >= label.left && p.x < label.right && p.y >= label.top && p.y < label.bottom;
    if (hover != m_labelHover) {
        m_labelHover = hover;
        Invalidate(FALSE);
    }
    m_last = p;
}

void CLoupe::OnLButtonUp(UINT, CPoint)
{
    EndPress();
    m_reRender = true;
    Invalidate(FALSE);
}

void CLoupe::OnCaptureChanged(CWnd* window)
{
    if (window != this && m_buttonDown) {
        m_buttonDown = false;
        m_mode = kModeNone;
        m_reRender = true;
        Invalidate(FALSE);
    }
}

BOOL CLoupe::OnMouseWheel(UINT, short delta, CPoint)
{
    // Touchpads send deltas of 0 at the start and end of a gesture: no step.
    if (delta == 0) return TRUE;
    SetZoom(m_zoom + (delta > 0 ? 10.0f : -10.0f));
    Invalidate(FALSE);
    return TRUE;
}

BOOL CLoupe::OnEraseBkgnd(CDC*) { return TRUE; }

POINT CLoupe::LensOffset() const
{
    POINT target{0, 0}, centre{kCentre, kCentre};
    if (m_target && m_target->m_hWnd) m_target->ClientToScreen(&target);
    if (m_hWnd) ClientToScreen(&centre);
    return POINT{target.x - centre.x, target.y - centre.y};
}

void CLoupe::RenderMagnified()
{
    if (!m_target || !m_target->m_hWnd) return;
    std::shared_ptr<CGraphRenderer> renderer = m_target->CreateRenderer();
    if (!renderer) return;
    // Premultiplied: the engine blends into it in place instead of converting each span there and
    // back. The picture is opaque, so its pixels are the same either way.
    if (!m_magnified) m_magnified = std::make_unique<Bitmap>(kWindowSize, kWindowSize, PixelFormat32bppPARGB);
    const POINT offset = LensOffset();
    Graphics g(m_magnified.get());
    g.Clear(Color(kLensBack));
    const float scale = m_zoom / 100.0f;
    g.TranslateTransform(float(kCentre), float(kCentre));
    g.ScaleTransform(scale, scale);
    g.TranslateTransform(float(offset.x), float(offset.y));
    renderer->DrawFrame(&g, true);
    renderer->DrawPlot(&g);
    renderer->DrawTools(&g);
    renderer->DrawTopLayer(&g);
    g.ResetTransform();
    ++m_renders;
    m_reRender = false;
}

void CLoupe::BuildLensPath(GraphicsPath& path) const
{
    const RECT lens = GetLensRect();
    const float l = float(lens.left), t = float(lens.top), r = float(lens.right), b = float(lens.bottom);
    if (m_circle) {
        const float radius = float(Radius());
        path.AddEllipse(kCentre - radius + 2, kCentre - radius + 2, 2 * radius - 4, 2 * radius - 4);
        return;
    }
    // Rounded corners, and a notch at the bottom right (rounded inside too) for the label and grip.
    // Every arc starts where the line before it ends: a step back would put a miter spike there.
    path.AddArc(l + 2, t + 2, 16, 16, 180, 90);
    path.AddLine(l + 10, t + 2, r - 10, t + 2);
    path.AddArc(r - 18, t + 2, 16, 16, 270, 90);
    path.AddLine(r - 2, t + 10, r - 2, b - 32);
    path.AddLine(r - 2, b - 32, r - 80, b - 32);
    path.AddArc(r - 90, b - 32, 20, 20, 270, -90);
    path.AddLine(r - 90, b - 22, r - 90, b - 2);
    path.AddLine(r - 90, b - 2, l + 10, b - 2);
    path.AddArc(l + 2, b - 18, 16, 16, 90, 90);
    path.AddLine(l + 2, b - 10, l + 2, t + 10);
    path.CloseFigure();
}

void CLoupe::TakeSnapshot()
{
    m_snapshot.reset();
    if (!m_target || !m_target->m_hWnd) return;
    CImagingPane::RenderRequest request;
    request.kind = CImagingPane::kRenderBitmap;
    request.scale = 1.0;
    try {
        m_snapshot.reset(m_target->RenderToBuffer(request));
    } catch (const CLXException&) {
        // No plot to show (an empty canvas): the lens shows its background while dragged.
    }
}

void CLoupe::DrawGround(Graphics& g) const
{
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    g.Clear(Color(0xFFFFFFFF));
    const RECT lens = GetLensRect();
    const float r = float(Radius());
    const RectF box(float(lens.left), float(lens.top), float(m_lensSize), float(m_lensSize));
    LinearGradientBrush frame(PointF(0, float(kWindowSize)), PointF(float(kWindowSize), 0), Color(kFrameDark),
                              Color(kFrameLight));
    if (m_circle) {
        g.FillEllipse(&frame, kCentre - r, kCentre - r, 2 * r, 2 * r);
        g.FillRectangle(&frame, float(kCentre), float(kCentre), r - 10, r);
        g.FillRectangle(&frame, float(kCentre), float(kCentre), r, r - 10);
        g.FillEllipse(&frame, float(lens.right - 20), float(lens.bottom - 20), 20.0f, 20.0f);
    } else {
        // The square's corners rounded by discs of 20.
        g.FillRectangle(&frame, box.X + 10, box.Y, box.Width - 20, box.Height);
        g.FillRectangle(&frame, box.X, box.Y + 10, box.Width, box.Height - 20);
        for (const PointF corner : {PointF(box.X, box.Y), PointF(box.X + box.Width - 20, box.Y),
                                    PointF(box.X, box.Y + box.Height - 20), PointF(box.X + box.Width - 20, box.Y + box.Height - 20)})
            g.FillEllipse(&frame, corner.X, corner.Y, 20.0f, 20.0f);
    }
}

void CLoupe::Render(Bitmap& target, bool handOff)
{
    const bool draggedByLens = m_buttonDown && m_mode == kModeLens;
    if (m_reRender && !draggedByLens) RenderMagnified();
    const POINT offset = draggedByLens ? LensOffset() : POINT{0, 0};
    // Dragged by the lens, each step draws the plot over the lens twice and dims it: drawings that
    // the engine would each share out among its threads, whose hand-offs cost more than they do.
    if (draggedByLens && handOff)
        DrawOnOneThread([&] { Paint(target, offset); });
    else
        Paint(target, offset);
}

void CLoupe::Paint(Bitmap& target, POINT offset)
{
    Graphics g(&target);
    // The white ground and the frame change only with the lens: drawn once and copied at every
    // render (a drag by the lens renders at each step).
    const UINT width = target.GetWidth(), height = target.GetHeight();
    const bool premultiplied = target.Premultiplied();
    if (!m_ground || m_ground->GetWidth() != width || m_ground->GetHeight() != height ||
        m_ground->Premultiplied() != premultiplied || m_groundCircle != m_circle || m_groundSize != m_lensSize) {
        m_ground = std::make_unique<Bitmap>(INT(width), INT(height),
                                            premultiplied ? PixelFormat32bppPARGB : PixelFormat32bppARGB);
        Graphics ground(m_ground.get());
        DrawGround(ground);
        m_groundCircle = m_circle;
        m_groundSize = m_lensSize;
    }
    g.SetCompositingMode(CompositingModeSourceCopy);
    g.DrawImage(m_ground.get(), RectF(0, 0, REAL(width), REAL(height)), 0, 0, REAL(width), REAL(height), UnitPixel);
    g.SetCompositingMode(CompositingModeSourceOver);
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    const RECT lens = GetLensRect();
    const RectF box(float(lens.left), float(lens.top), float(m_lensSize), float(m_lensSize));
    LinearGradientBrush frame(PointF(0, float(kWindowSize)), PointF(float(kWindowSize), 0), Color(kFrameDark),
                              Color(kFrameLight));
    GraphicsPath lensPath(FillModeWinding);
    BuildLensPath(lensPath);
    const bool draggedByLens = m_buttonDown && m_mode == kModeLens;
    g.SetClip(&lensPath);
    SolidBrush back{Color(kLensBack)};
    g.FillRectangle(&back, box);
    if (!draggedByLens) {
        if (m_magnified) g.DrawImage(m_magnified.get(), 0.0f, 0.0f);
    } else if (m_snapshot) {
        // The plot in place, unmagnified and dimmed, with the footprint that the magnified view
        // will cover once released.
        const float sx = float(kCentre + offset.x), sy = float(kCentre + offset.y);
        g.DrawImage(m_snapshot.get(), sx, sy);
        SolidBrush dim{Color(0x80646464)};
        g.FillRectangle(&dim, box);
        const float z = m_zoom / 100.0f;
        Matrix footprintMatrix;
        footprintMatrix.Scale(1.0f / z, 1.0f / z);
        footprintMatrix.Translate((z - 1.0f) * kCentre, (z - 1.0f) * kCentre);
        GraphicsPath footprint(FillModeWinding);
        BuildLensPath(footprint);
        footprint.Transform(&footprintMatrix);
        g.SetClip(&footprint);
        g.FillRectangle(&back, box);
        g.DrawImage(m_snapshot.get(), sx, sy);
        g.ResetClip();
        Pen footprintPen(Color(kFootprint), 4.0f);
        footprintPen.SetLineJoin(LineJoinRound);
        g.DrawPath(&footprintPen, &footprint);
    }
    g.ResetClip();
    Pen outline(&frame, 2.0f);
    outline.SetLineJoin(LineJoinRound);
    g.DrawPath(&outline, &lensPath);
    Pen grip(Color(kGrip), 1.75f);
    for (int k : {14, 18, 22})
        g.DrawLine(&grip, float(lens.right - 8), float(lens.bottom - k), float(lens.right - k), float(lens.bottom - 8));
    // The zoom label: a pill while hovered, the text and a chevron for its menu.
    const RECT label = GetLabelRect();
    const float lx = float(label.left), ly = float(label.top);
    if (m_labelHover) {
        SolidBrush pill{Color(kPill)};
        g.FillEllipse(&pill, lx, ly, 16.0f, 16.0f);
        g.FillEllipse(&pill, lx + 36, ly, 16.0f, 16.0f);
        g.FillRectangle(&pill, lx + 8, ly, 36.0f, 16.0f);
    }
    CString text;
    text.Format(L"%i%%", int(m_zoom));
    FontFamily family(L"Sans");
    Font font(&family, 10.0f, FontStyleRegular, UnitPixel);
    StringFormat centred;
    centred.SetAlignment(StringAlignmentCenter);
    SolidBrush ink{Color(kLensBack)};
    g.DrawString(text.GetString(), -1, &font, RectF(lx, ly + 1, 40.0f, 16.0f), &centred, &ink);
    const PointF chevron[3] = {PointF(lx + 48, ly + 5), PointF(lx + 43, ly + 10), PointF(lx + 38, ly + 5)};
    g.DrawLines(&grip, chevron, 3);
}

void CLoupe::OnPaint()
{
    CPaintDC dc(this);
    Bitmap buffer(kWindowSize, kWindowSize, PixelFormat32bppARGB);
    Render(buffer);
    Graphics g(dc.m_hDC);
    g.DrawImage(&buffer, 0.0f, 0.0f);
}
