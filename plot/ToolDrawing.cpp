// The tools' readout label, their smoothing rule, and the hooks that lend the engine's tools
// the plot's drawing, transforms and colour choosers.
#include "ToolDrawing.h"

#include "CommonDialogs.h"
#include "GraphRenderer.h"
#include "LXColorPopup.h"
#include "LXGdiplus.h"
#include "LXShapes.h"
#include "LXText.h"
#include "ToolRecords.h"

#include <cmath>

namespace {
void ReadAxes(const CGraphRenderer* renderer, LXGraphics::CSyncRect& plot, CToolAxes& axes)
{
    plot = renderer->GetPlotRect();
    axes = CToolAxes();
    axes.xMin = renderer->GetXMin();
    axes.yMin = renderer->GetYMin();
    axes.logY = renderer->GetSettings().m_logarithmicYAxis != 0;
    // Without a usable span the tools read the minimum rather than divide by zero.
    if (renderer->HasValidRanges()) {
        axes.xPixelsPerUnit = renderer->GetXPixelsPerUnit();
        axes.yPixelsPerUnit = renderer->GetYPixelsPerUnit();
    }
}

bool PickColour(HWND parent, COLORREF& colour)
{
    CColorDialog dialog(colour, CC_ANYCOLOR, CWnd::FromHandle(parent));
    if (dialog.DoModal() != IDOK) return false;
    colour = dialog.GetColor();
    return true;
}

bool ShowColourPopup(CCursor& cursor, HWND parent, const POINT& screen)
{
    new CColorPopup(screen, cursor.m_rec.color, CWnd::FromHandle(parent));  // deletes itself
    return true;
}

void SetMenuText(CCmdUI* ui, UINT id, const CString& text)
{
    if (ui->m_nID == id) ui->SetText(text.GetString());
}

void DrawCursorHook(CCursor& cursor, CGraphRenderer* renderer) { cursor.DrawOnPlot(renderer); }
void DrawRulerHook(CRuler& ruler, CGraphRenderer* renderer) { ruler.DrawOnPlot(renderer); }

// Any program that links the renderer lends the tools the plot from the start, so a menu update
// before the first paint already finds them.
const bool kToolHooksInstalled = (InstallToolPlotHooks(), true);
}  // namespace

void InstallToolPlotHooks()
{
    CToolPlotHooks& hooks = ToolPlotHooks();
    if (hooks.drawCursor) return;
    hooks.drawCursor = DrawCursorHook;
    hooks.drawRuler = DrawRulerHook;
    hooks.readAxes = ReadAxes;
    hooks.pickColour = PickColour;
    hooks.showColourPopup = ShowColourPopup;
    hooks.setMenuText = SetMenuText;
}

float ToolPenWidth()
{
    const int draw = g_drawDpi > 0 ? g_drawDpi : 96, screen = g_screenDpi > 0 ? g_screenDpi : 96;
    return float(draw) / float(screen);
}

CToolSmoothing::CToolSmoothing(Gdiplus::Graphics* graphics, Gdiplus::SmoothingMode mode)
    : m_graphics(graphics), m_saved(graphics->GetSmoothingMode())
{
    m_graphics->SetSmoothingMode(mode);
}

CToolSmoothing::~CToolSmoothing()
{
    using namespace Gdiplus;
    const bool smooth = m_saved == SmoothingModeHighQuality || m_saved >= SmoothingModeAntiAlias;
    m_graphics->SetSmoothingMode(smooth && g_drawDpi >= 300 ? SmoothingModeNone : m_saved);
}

namespace {
float LabelBoxHeight(float textHeight) { return 1.8f * textHeight; }
float LabelPointer(float size) { return size < 12 ? 7.0f : size / 12 * 7; }
}  // namespace

float ToolLabelExtent(const CString& family, UINT style, float size)
{
    const float h = CGraphRenderer::MeasureText(L"0", family, size, style).Height;
    // The box's edge is rounded to whole pixels: one more keeps its rim clear.
    return std::ceil(LabelBoxHeight(h) + LabelPointer(size)) + 1;
}

void DrawToolLabel(Gdiplus::Graphics* graphics, const CString& text, const Gdiplus::PointF& anchor, bool pointerDown,
                   bool rotate, const CString& family, UINT style, float size, LXGraphics::CShadowPath* shadow,
                   int elevation, float alpha)
{
    using namespace Gdiplus;
    if (!graphics || !std::isfinite(anchor.X) || !std::isfinite(anchor.Y)) return;
    const SizeF measured = CGraphRenderer::MeasureText(text, family, size, style);
    const float h = measured.Height, w = measured.Width;
    const float radius = 0.9f * h, boxHeight = LabelBoxHeight(h);
    // Whole pixels for the box and its tip, so that a label that moves keeps its shape and its
    // cached shadow.
    const float boxWidth = std::ceil(w + boxHeight);
    const float pointer = LabelPointer(size);
    const PointF at(std::floor(anchor.X + 0.5f), std::floor(anchor.Y + 0.5f));

    const float left = std::floor(at.X - boxWidth / 2), right = std::floor(left + boxWidth);
    const float top = std::floor(pointerDown ? at.Y - boxHeight - pointer : at.Y + pointer);
    const float bottom = std::floor(top + boxHeight);
    LXGraphics::CSyncRect box(left, top, right, bottom);
    const LXGraphics::CSyncPoint tip(at.X, at.Y);

    GraphicsPath outer, inner;
    BuildMarkerPath(outer, box, radius, true, tip);
    const float insetX = box.m_float.Width < 3 ? box.m_float.Width / 2 : 1.5f;
    const float insetY = box.m_float.Height < 3 ? box.m_float.Height / 2 : 1.5f;
    LXGraphics::CSyncRect innerBox(left + insetX, top + insetY, right - insetX, bottom - insetY);
    BuildMarkerPath(inner, innerBox, std::max(0.0f, radius - 1.5f), true, tip);
    if (rotate) {
        Matrix turn;
        turn.RotateAt(-90, at);
        outer.Transform(&turn);
        inner.Transform(&turn);
    }

    RectF outerBounds, innerBounds;
    outer.GetBounds(&outerBounds);
    inner.GetBounds(&innerBounds);
    if (shadow) {
        Pen pen(Color(0xFF000000u), ToolPenWidth());
        shadow->Create(&outer, &pen, true, unsigned(std::max(0, elevation)), alpha);
        shadow->Draw(graphics, outerBounds);
    }
    LinearGradientBrush outerFill(outerBounds, Color(0xFFBFBFBFu), Color(0xFF262626u), LinearGradientModeVertical);
    graphics->FillPath(&outerFill, &outer);
    LinearGradientBrush innerFill(innerBounds, Color(0xFF7F7F7Fu), Color(0xFF3F3F3Fu), LinearGradientModeVertical);
    graphics->FillPath(&innerFill, &inner);

    const GraphicsState state = graphics->Save();
    if (rotate) {
        graphics->TranslateTransform(at.X, at.Y);
        graphics->RotateTransform(-90);
        graphics->TranslateTransform(-at.X, -at.Y);
    }
    const float centreY = (top + bottom) / 2;
    LXGraphics::CSyncRect textBox;
    textBox.SetXYWH(left, centreY - h / 2, right - left, h);
    textBox.Sync();
    const UINT flags = (style & ~UINT(kTextAlignRight | kTextVCentre | kTextAlignBottom)) | kTextAlignCentre;
    DrawTextBox(graphics, text.GetString(), family, size, flags, 0xFFFDFDFDu, textBox);
    graphics->Restore(state);
}
