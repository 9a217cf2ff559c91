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

#include <algorithm>
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

namespace {
// The box of a tool's label, before it is turned: whole pixels, so that a label that moves keeps
// its shape and its cached shadow. shift moves the box (not its tip), in the drawn frame.
struct ToolLabelGeometry
{
    Gdiplus::PointF at;
    float left, top, right, bottom, textHeight, radius;
};

ToolLabelGeometry LayOutToolLabel(const CString& text, const Gdiplus::PointF& anchor, bool pointerDown, bool rotate,
                                  const CString& family, UINT style, float size, const Gdiplus::PointF& shift)
{
    const Gdiplus::SizeF measured = CGraphRenderer::MeasureText(text, family, size, style);
    const float h = measured.Height, w = measured.Width;
    const float boxHeight = LabelBoxHeight(h);
    const float boxWidth = std::ceil(w + boxHeight);
    const float pointer = LabelPointer(size);
    const Gdiplus::PointF at(std::floor(anchor.X + 0.5f), std::floor(anchor.Y + 0.5f));
    // Turned by −90° about the anchor, the drawn (x, y) is the box's (y, −x).
    const float dx = std::round(rotate ? -shift.Y : shift.X), dy = std::round(rotate ? shift.X : shift.Y);
    const float left = std::floor(at.X - boxWidth / 2) + dx, right = std::floor(left + boxWidth);
    const float top = std::floor(pointerDown ? at.Y - boxHeight - pointer : at.Y + pointer) + dy;
    return {at, left, top, right, std::floor(top + boxHeight), h, 0.9f * h};
}

// The box as drawn, turned when the label is.
Gdiplus::RectF DrawnBox(const ToolLabelGeometry& g, bool rotate)
{
    if (!rotate) return Gdiplus::RectF(g.left, g.top, g.right - g.left, g.bottom - g.top);
    return Gdiplus::RectF(g.at.X + (g.top - g.at.Y), g.at.Y - (g.right - g.at.X), g.bottom - g.top, g.right - g.left);
}
}  // namespace

void DrawToolLabel(Gdiplus::Graphics* graphics, const CString& text, const Gdiplus::PointF& anchor, bool pointerDown,
                   bool rotate, const CString& family, UINT style, float size, LXGraphics::CShadowPath* shadow,
                   int elevation, float alpha, const Gdiplus::PointF& shift)
{
    using namespace Gdiplus;
    if (!graphics || !std::isfinite(anchor.X) || !std::isfinite(anchor.Y)) return;
    const ToolLabelGeometry g = LayOutToolLabel(text, anchor, pointerDown, rotate, family, style, size, shift);
    const float h = g.textHeight, radius = g.radius;
    const PointF at = g.at;
    const float left = g.left, right = g.right, top = g.top, bottom = g.bottom;
    LXGraphics::CSyncRect box(left, top, right, bottom);
    const LXGraphics::CSyncPoint tip(at.X, at.Y);

    // A box moved aside reaches its anchor with a leader line from its edge, which passes over the
    // neighbour it was moved for rather than across its corner.
    const bool moved = shift.X != 0 || shift.Y != 0;
    GraphicsPath outer, inner, pointer;
    BuildMarkerPath(outer, box, radius, !moved, tip);
    if (moved) {
        const float edge = at.Y < top ? top : bottom;
        const float lowest = left + radius, highest = right - radius;
        const float base = lowest < highest ? std::clamp(at.X, lowest, highest) : (left + right) / 2;
        pointer.AddLine(PointF(base, edge), at);
    }
    const float insetX = box.m_float.Width < 3 ? box.m_float.Width / 2 : 1.5f;
    const float insetY = box.m_float.Height < 3 ? box.m_float.Height / 2 : 1.5f;
    LXGraphics::CSyncRect innerBox(left + insetX, top + insetY, right - insetX, bottom - insetY);
    BuildMarkerPath(inner, innerBox, std::max(0.0f, radius - 1.5f), !moved, tip);
    if (rotate) {
        Matrix turn;
        turn.RotateAt(-90, at);
        outer.Transform(&turn);
        inner.Transform(&turn);
        pointer.Transform(&turn);
    }

    RectF outerBounds, innerBounds;
    outer.GetBounds(&outerBounds);
    inner.GetBounds(&innerBounds);
    if (shadow) {
        Pen pen(Color(0xFF000000u), ToolPenWidth());
        shadow->Create(&outer, &pen, true, unsigned(std::max(0, elevation)), alpha);
        shadow->Draw(graphics, outerBounds);
    }
    if (moved) {
        // As dark as the box's middle, so that the long slim pointer is seen on white paper.
        Pen leader(Color(0xFF595959u), 1.5f * ToolPenWidth());
        graphics->DrawPath(&leader, &pointer);
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

void PlaceToolLabel(CGraphRenderer* renderer, const CString& text, const Gdiplus::PointF& anchor, bool pointerDown,
                    bool rotate, const CString& family, UINT style, float size, LXGraphics::CShadowPath* shadow,
                    int elevation, float alpha)
{
    using namespace Gdiplus;
    Graphics* graphics = renderer ? renderer->GetGraphics() : nullptr;
    if (!graphics || !std::isfinite(anchor.X) || !std::isfinite(anchor.Y)) return;
    // Room for the shadows between two labels.
    const float gap = 10 * ToolPenWidth();
    auto drawn = [&](const PointF& shift) {
        RectF r = DrawnBox(LayOutToolLabel(text, anchor, pointerDown, rotate, family, style, size, shift), rotate);
        r.Inflate(gap / 2, gap / 2);
        return r;
    };
    const RectF placed = drawn(PointF());
    PointF shift;
    if (renderer->OverlapsReadout(placed)) {
        // Aside along the label's row first (nearest first), then away from its anchor: below a
        // label under the plot, above one over it, left of a turned one.
        const auto& whole = renderer->GetWholeRect().m_float;
        std::vector<std::pair<float, PointF>> aside, away;
        for (const RectF& other : renderer->GetReadouts()) {
            if (rotate) {
                for (float dy : {other.Y - (placed.Y + placed.Height), other.Y + other.Height - placed.Y})
                    aside.push_back({std::fabs(dy), PointF(0, dy)});
                const float dx = other.X - (placed.X + placed.Width);
                away.push_back({std::fabs(dx), PointF(dx, 0)});
            } else {
                for (float dx : {other.X - (placed.X + placed.Width), other.X + other.Width - placed.X})
                    aside.push_back({std::fabs(dx), PointF(dx, 0)});
                const float dy = pointerDown ? other.Y - (placed.Y + placed.Height) : other.Y + other.Height - placed.Y;
                away.push_back({std::fabs(dy), PointF(0, dy)});
            }
        }
        const auto nearest = [](const auto& a, const auto& b) { return a.first < b.first; };
        std::stable_sort(aside.begin(), aside.end(), nearest);
        std::stable_sort(away.begin(), away.end(), nearest);
        aside.insert(aside.end(), away.begin(), away.end());
        for (const auto& [distance, candidate] : aside) {
            const RectF r = drawn(candidate);
            const bool inside = r.X >= whole.X && r.Y >= whole.Y && r.X + r.Width <= whole.X + whole.Width &&
                                r.Y + r.Height <= whole.Y + whole.Height;
            if (inside && !renderer->OverlapsReadout(r)) {
                shift = candidate;
                break;
            }
        }
    }
    DrawToolLabel(graphics, text, anchor, pointerDown, rotate, family, style, size, shadow, elevation, alpha, shift);
    renderer->AddReadout(drawn(shift));
}
