// The interactive plot tools as the settings record holds them: the tool base with its position,
// angle, switches and notifications, a cursor and a ruler. Their drawing lives with the plot.
#pragma once

#include "LXSyncRect.h"
#include "Win.h"

#include <cstdint>

class CCmdUI;
class CGraphRenderer;

class CTool
{
public:
    // Flat state of a tool: position (two floats), ARGB colour, angle in degrees, two flags.
    struct FlatRec
    {
        float x = 0.0f;
        float y = 0.0f;
        std::uint32_t color = 0xFF000000u;
        double angle = 0.0;
        std::uint8_t visible = 0;
        std::uint8_t locked = 0;
    };

    CTool() = default;
    explicit CTool(const FlatRec& rec) : m_rec(rec) {}
    virtual ~CTool() = default;

    // Takes the record with its angle normalised; non-finite offsets and angles read as 0.
    virtual void SetFromFlatRec(const FlatRec& rec);
    virtual void CopyFrom(const CTool& other);
    virtual bool HitTest(const POINT&) { return false; }
    virtual void Hide();
    // The cursor and the ruler draw themselves over the plot; the base draws nothing.
    virtual void Draw(CGraphRenderer*) {}
    virtual void GetFlatRec(FlatRec& rec) const { rec = m_rec; }
    // A mouse-cursor id, or 0xFFFFFFFF when the tool offers none.
    virtual UINT GetCursorIdAt(const POINT&, bool) { return 0xFFFFFFFFu; }
    virtual bool OnLButtonDown(const POINT&, bool) { return false; }
    // A menu command with the renderer of the last paint (may be null); true when handled.
    virtual bool OnMenuCommand(CGraphRenderer*, UINT) { return false; }
    virtual void MoveBy(float dx, float dy);
    // Puts the tool's centre on the point (client pixels).
    virtual void MoveTo(float x, float y);
    // One step of a mouse drag: the pointer and its move since the last step.
    virtual void DragBy(const POINT&, float, float) {}
    // The tool's own context menu at a screen point; false when it has none.
    virtual bool ShowContextMenu(HWND, const POINT&) { return false; }
    virtual void Show();
    virtual void OnUpdateMenuCommand(CCmdUI*) {}
    virtual void EnsureInitialised() { m_initialised = 1; }
    virtual void ClampToPlot();
    // Asks the target window (the main frame without one) to redraw the tool layer; every caller
    // passes (4, 0).
    virtual void Notify(int code, int value);
    virtual void RotateBy(double degrees) { SetAngle(m_rec.angle + degrees); }
    virtual void SetAngle(double degrees);

    // The plot rectangle: the attached renderer's, else asked of the target window.
    void GetPlotGeometry(LXGraphics::CSyncRect& out) const;
    void GetCentre(LXGraphics::CSyncPoint& out) const;
    void Deactivate();
    void ToggleActive();
    // While a renderer draws the tool or converts for it, with its plot rectangle.
    void AttachRenderer(CGraphRenderer* renderer, const LXGraphics::CSyncRect& plot)
    {
        m_renderer = renderer;
        m_rendererPlot = plot;
    }
    void DetachRenderer() { m_renderer = nullptr; }

    // Switched on: the record's flag, or the legacy readers' switch.
    bool IsActive() const { return m_rec.visible != 0 || m_on != 0; }
    bool IsShown() const { return m_shown; }

    // [0, 360): 370.5 gives 10.5, -30 gives 330; non-finite gives 0.
    static double NormaliseAngle(double degrees);

    FlatRec m_rec;
    std::uint8_t m_on = 0;            // switched on
    bool m_shown = false;             // selected: readouts drawn, receives drags
    std::int32_t m_elevation = 2;     // shadow depth, renumbered by the renderer's tool pass
    std::uint64_t m_initialised = 0;
    CGraphRenderer* m_renderer = nullptr;
    LXGraphics::CSyncRect m_rendererPlot;
    HWND m_target = nullptr;
};

class CRuler : public CTool
{
    static CTool::FlatRec DefaultRec()
    {
        CTool::FlatRec rec;
        rec.color = 0xD81919FFu;  // blue at 85 % opacity
        return rec;
    }

public:
    struct FlatRec : CTool::FlatRec
    {
        float length = 200.0f;
        std::int32_t numDivisions = 4;
    };

    // Values of a ruler that nobody has configured yet.
    CRuler() : CTool(DefaultRec()), m_length(200.0f), m_numDivisions(4) {}
    explicit CRuler(const FlatRec& rec) : CTool(rec), m_length(rec.length), m_numDivisions(rec.numDivisions) {}

    void GetRulerRec(FlatRec& rec) const
    {
        static_cast<CTool::FlatRec&>(rec) = m_rec;
        rec.length = m_length;
        rec.numDivisions = m_numDivisions;
    }

    float m_length = 200.0f;
    std::int32_t m_numDivisions = 4;
};

class CCursor : public CTool
{
    static CTool::FlatRec DefaultRec()
    {
        CTool::FlatRec rec;
        rec.color = 0xFFFF0000u;  // opaque red
        return rec;
    }

public:
    using FlatRec = CTool::FlatRec;

    CCursor() : CTool(DefaultRec()) {}
    explicit CCursor(const FlatRec& rec) : CTool(rec) {}

    // When on, the cursor reads out the d spacing of its x position.
    std::uint8_t m_showDSpacing = 0;
    double m_x = 0.0;         // position on the x axis
    std::uint8_t m_xSet = 0;  // m_x has been set
};
