// The loupe: a magnifier over the plot, a round or square lens that shows the plot under its
// centre drawn again by the graph renderer at 100 % to 800 %. One per diffraction window, a
// frameless child of it, so that it is placed in the window's own coordinates everywhere.
#pragma once

#include "ToolRecords.h"
#include "GdiPlus.h"
#include "Dialog.h"

#include <memory>

class CImagingPane;
class CGraphRenderer;

class CLoupe : public CDialog, public CTool
{
public:
    static constexpr int kWindowSize = 600, kCentre = 300, kMinLens = 280, kMaxLens = 600;
    static constexpr int kMenuId = 147;
    static constexpr UINT kTemplateId = 5560;
    enum Mode { kModeNone = 0, kModeLens = 1, kModeMenu = 2, kModeResize = 3, kModeFrame = 4 };

    CLoupe();
    ~CLoupe() override;

    // Created hidden from its template over `parent`, magnifying the canvas `target`.
    BOOL Create(CWnd* parent, CImagingPane* target);
    // Enter and Escape do not close the loupe: Hide Loupe hides it.
    void OnOK() override {}
    void OnCancel() override {}

    // The commands of the loupe's menu: shape, zoom, and Hide Loupe (which also shows it).
    void OnLoupeCommand(UINT id);
    bool IsLoupeVisible() const { return m_visible; }
    // The plot changed: the lens must be drawn again.
    void PlotChanged();

    // What a press at a client point would start.
    int PressModeAt(POINT point) const;
    float GetZoom() const { return m_zoom; }
    int GetLensSize() const { return m_lensSize; }
    bool IsCircle() const { return m_circle; }
    UINT GetCheckedZoomCommand() const { return m_checkedZoom; }
    int GetMode() const { return m_mode; }
    int GetRenderCount() const { return m_renders; }
    RECT GetLensRect() const;
    RECT GetLabelRect() const;
    POINT GetGripPoint() const;

    // Draws the loupe as the window shows it (the paint, without the window).
    // handOff false keeps a drag step's drawing on the calling thread (what it is compared with).
    void Render(Gdiplus::Bitmap& target, bool handOff = true);

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    void OnCaptureChanged(CWnd* window);
    DECLARE_MESSAGE_MAP()

private:
    int Radius() const { return m_lensSize / 2 - 1; }
    void SetZoom(float zoom);
    void EndPress();
    void ApplyShape();
    void RenderMagnified();
    // Draws the window's picture; offset: from the lens's centre to the plot's origin, while
    // dragged by the lens.
    void Paint(Gdiplus::Bitmap& target, POINT offset);
    // The plot rendered unmagnified at the press that drags the loupe by its lens.
    void TakeSnapshot();
    // The lens's outline: a circle, or a rounded square with a notch for the label and grip.
    void BuildLensPath(Gdiplus::GraphicsPath& path) const;
    POINT LensOffset() const;
    // The window's white ground with the lens's frame, under everything else.
    void DrawGround(Gdiplus::Graphics& g) const;

    CImagingPane* m_target = nullptr;
    UINT m_checkedZoom = 34573;
    bool m_reRender = true, m_visible = false, m_circle = true, m_labelHover = false;
    int m_lensSize = 300;
    int m_mode = kModeNone;
    bool m_buttonDown = false;
    float m_zoom = 400;
    POINT m_pressScreen{0, 0};
    POINT m_windowAtPress{0, 0};
    POINT m_last{0, 0};
    int m_renders = 0;
    std::unique_ptr<Gdiplus::Bitmap> m_magnified;
    std::unique_ptr<Gdiplus::Image> m_snapshot;
    std::unique_ptr<Gdiplus::Bitmap> m_ground;  // DrawGround's picture, for the lens it was drawn for
    bool m_groundCircle = true;
    int m_groundSize = 0;
};
