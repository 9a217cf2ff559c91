// The interactive plot tools as the settings record holds them: the tool base with its position,
// angle, switches and notifications, the data cursor and the measuring ruler with their hit tests,
// drags and menu commands. Their drawing lives with the plot (plot/DataCursor.cpp,
// plot/MeasuringRuler.cpp), which lends it to the tools through CToolPlotHooks.
#pragma once

#include "CString.h"
#include "LXSyncRect.h"
#include "Win.h"

#include <cmath>
#include <cstdint>
#include <memory>

class CCmdUI;
class CCursor;
class CGraphRenderer;
class CQlwDoc;
class CRuler;
class CTool;

// A logarithmic y axis measures y in these units, for its scale, its transform and its labels
// alike; y at or below 0 sits at the axis's zero.
inline double LogAxisUnits(double y) { return std::log10((y > 0 ? y : 0.0) + 1.0); }

// The renderer's transforms as the tools read them (pixels per data unit; 0 when the displayed
// span is not usable).
struct CToolAxes
{
    double xMin = 0.0;
    double xPixelsPerUnit = 0.0;
    double yMin = 0.0;
    double yPixelsPerUnit = 0.0;
    bool logY = false;
};

// What the tools need from the plot and the windows above the engine. The plot fills it in when it
// builds a renderer; until then tools draw nothing and offer no colour choice.
struct CToolPlotHooks
{
    void (*drawCursor)(CCursor& cursor, CGraphRenderer* renderer) = nullptr;
    void (*drawRuler)(CRuler& ruler, CGraphRenderer* renderer) = nullptr;
    // The renderer's plot rectangle and transforms.
    void (*readAxes)(const CGraphRenderer* renderer, LXGraphics::CSyncRect& plot, CToolAxes& axes) = nullptr;
    // The system colour dialog on an 0x00BBGGRR colour; false when the user cancels.
    bool (*pickColour)(HWND parent, COLORREF& colour) = nullptr;
    // The colour-picker popup of the cursor; its choice reaches the parent window.
    bool (*showColourPopup)(CCursor& cursor, HWND parent, const POINT& screen) = nullptr;
    // Sets a menu item's text when the item has the given command id.
    void (*setMenuText)(CCmdUI* ui, UINT id, const CString& text) = nullptr;
};
CToolPlotHooks& ToolPlotHooks();

class CTool
{
public:
    // Flat state of a tool: position (two floats), ARGB colour, angle in degrees, two flags.
    struct FlatRec
    {
        float x = 0.0f;
        float y = 0.0f;
        std::uint32_t color = 0xD81919FFu;  // blue at 85 % opacity
        double angle = 0.0;
        std::uint8_t visible = 0;
        std::uint8_t locked = 0;
    };

    CTool() = default;
    // As stored, except that non-finite offsets and angles read as 0.
    explicit CTool(const FlatRec& rec) : m_rec(rec) { DropNonFinite(); }
    CTool(const CTool&) = delete;
    CTool& operator=(const CTool&) = delete;
    virtual ~CTool();

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
    // down: a press (true) or a release (false); answers whether the tool took the press.
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
    virtual void ResetToDefaults() {}
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
    // The centre as floats (GetCentre rounds to whole pixels).
    void GetCentreF(float& x, float& y) const;
    void Deactivate();
    void ToggleActive();
    // The system colour dialog; a confirmed colour keeps the tool's alpha and notifies when it
    // changed. Answers whether the colour changed.
    bool ChooseColour();
    // While a renderer draws the tool or converts for it, with its plot rectangle.
    void AttachRenderer(CGraphRenderer* renderer, const LXGraphics::CSyncRect& plot)
    {
        m_renderer = renderer;
        m_rendererPlot = plot;
        m_axes = CToolAxes();
    }
    // The same with the renderer's transforms, read through the plot's hooks.
    void AttachRenderer(CGraphRenderer* renderer);
    void DetachRenderer() { m_renderer = nullptr; }
    // Data x of a pixel column with the attached transforms (x minimum without a usable scale).
    double PixelToDataX(float px) const;

    // Replaces the context menu by a menu resource's (an owned handle).
    void LoadContextMenu(UINT id);

    // Switched on: the record's flag, or the legacy readers' switch.
    bool IsActive() const { return m_rec.visible != 0 || m_on != 0; }
    bool IsShown() const { return m_shown; }

    // [0, 360): 370.5 gives 10.5, -30 gives 330; non-finite gives 0.
    static double NormaliseAngle(double degrees);
    // A damaged record must not put infinities into pixel positions.
    void DropNonFinite()
    {
        if (!std::isfinite(m_rec.x)) m_rec.x = 0.0f;
        if (!std::isfinite(m_rec.y)) m_rec.y = 0.0f;
        if (!std::isfinite(m_rec.angle)) m_rec.angle = 0.0;
    }
    // A usable ruler length: positive and finite, else the factory 200 pixels.
    static float UsableLength(double length)
    {
        return std::isfinite(length) && length > 0 ? float(length) : 200.0f;
    }

    FlatRec m_rec;
    std::uint8_t m_on = 0;            // switched on
    bool m_shown = false;             // selected: readouts drawn, receives drags
    std::int32_t m_elevation = 2;     // shadow depth, renumbered by the renderer's tool pass
    std::uint64_t m_initialised = 0;
    CGraphRenderer* m_renderer = nullptr;
    LXGraphics::CSyncRect m_rendererPlot;
    CToolAxes m_axes;
    HWND m_target = nullptr;
    HMENU m_contextMenu = nullptr;
};

// Shadows and other drawing caches of a tool, owned by the plot side.
struct CToolDrawCache;

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
        FlatRec() { color = 0xD81919FFu; }
        float length = 200.0f;
        std::int32_t numDivisions = 4;
    };

    // The ruler as the preferences describe it (factory values without a preference store).
    CRuler();
    explicit CRuler(const FlatRec& rec)
        : CTool(rec), m_length(UsableLength(rec.length)), m_numDivisions(rec.numDivisions)
    {
    }

    void GetRulerRec(FlatRec& rec) const
    {
        static_cast<CTool::FlatRec&>(rec) = m_rec;
        rec.length = m_length;
        rec.numDivisions = m_numDivisions;
    }
    void SetFromRulerRec(const FlatRec& rec);

    void CopyFrom(const CTool& other) override;
    bool HitTest(const POINT& point) override;
    void Hide() override;
    void Draw(CGraphRenderer* renderer) override;
    UINT GetCursorIdAt(const POINT& point, bool dragging) override;
    bool OnLButtonDown(const POINT& point, bool down) override;
    bool OnMenuCommand(CGraphRenderer* renderer, UINT id) override;
    void DragBy(const POINT& point, float dx, float dy) override;
    bool ShowContextMenu(HWND owner, const POINT& screen) override;
    void ResetToDefaults() override;
    void OnUpdateMenuCommand(CCmdUI* ui) override;
    void EnsureInitialised() override;
    void ClampToPlot() override;

    // Geometry in client pixels: measuring point 0 on the right, 1 on the left.
    void GetEndPoint(int index, float& x, float& y) const;
    LXGraphics::CSyncRect GetBodyRect() const;
    LXGraphics::CSyncRect GetLabelRect() const;
    bool HitLevelLine(const POINT& point) const;
    bool HitLeftLine(const POINT& point) const;
    bool HitRightLine(const POINT& point) const;
    // Picks the grabbed guide line for a press; notifies when a flag changed.
    void SelectGrabPart(const POINT& point);
    void SetFromEndPoints(float leftX, float leftY, float rightX, float rightY);

    // Values at the measuring points with the attached transforms.
    double GetDeltaX() const;
    double GetIntensityAtLevel() const;
    // The intensity readout: 4 decimals below 1, fewer as the value grows (56.7 reads 56.70).
    static CString FormatIntensity(double intensity);
    // "Δx: %.3f" followed by the unit symbol.
    static CString FormatDeltaX(double dx, const CString& unitSymbol);
    // The readout of a measuring point's x: "%.3f", a blank and the unit symbol.
    static CString FormatPointX(double x, const CString& unitSymbol);

    // Drawing with the plot (plot/MeasuringRuler.cpp), reached through Draw.
    void DrawOnPlot(CGraphRenderer* renderer);

    // Zooms the document's plot to the span between the measuring points, the ruler staying on;
    // refuses (false, nothing changed) when that span is empty or not finite.
    bool ZoomToCursors(CQlwDoc* document, CGraphRenderer* renderer);

    bool m_grabLeft = false;
    bool m_grabRight = false;
    bool m_grabLevel = false;
    bool m_moving = false;
    float m_length = 200.0f;           // pixels between the measuring points
    std::int32_t m_numDivisions = 4;   // stored only; the scale follows the plot's ticks
    float m_minLength = 0.0f;          // 90 once initialised
    double m_intensity = 0.0;          // at the ruler's height when last drawn
    std::shared_ptr<CToolDrawCache> m_drawCache;
};

class CCursor : public CTool
{
public:
    struct FlatRec : CTool::FlatRec
    {
        FlatRec() { color = 0xFFFF0000u; }  // opaque red
    };

    // The cursor as the preferences describe it, always opaque (red and off without a store).
    CCursor();
    explicit CCursor(const CTool::FlatRec& rec) : CTool(rec) {}
    CCursor(const CCursor&) = delete;
    CCursor& operator=(const CCursor& other);

    bool HitTest(const POINT& point) override;
    void Draw(CGraphRenderer* renderer) override;
    UINT GetCursorIdAt(const POINT& point, bool dragging) override;
    bool OnLButtonDown(const POINT& point, bool down) override;
    void MoveTo(float x, float y) override;
    void DragBy(const POINT& point, float dx, float dy) override;
    bool ShowContextMenu(HWND owner, const POINT& screen) override;
    void ResetToDefaults() override;
    void EnsureInitialised() override;

    // Drawing with the plot (plot/DataCursor.cpp), reached through Draw.
    void DrawOnPlot(CGraphRenderer* renderer);

    // Moves the line to a data x with the attached transforms.
    void SetXValue(double x);
    // The data x under the line with the attached transforms.
    double GetDataX() const;
    // Switches the cursor on at a data x; the next drawing moves the line there.
    void PlaceAt(double x);

    // The intensity beside a pattern's marker: "0", "%.3f" for 0.1 to 100, else a mantissa with
    // "× 10^e" (250 gives "2.500 × 10^2").
    static CString FormatIntensity(double intensity);
    // The label beside a marker: none (empty) below 0 or above the plot's y maximum.
    static CString FormatIntensityLabel(double intensity, double yMax);
    // The d-spacing readout "%.3f Å"; empty where d is not finite and positive (2θ = 0).
    static CString FormatDReadout(double d);
    // The x readout: four decimals, the unit symbol after a blank except in 2θ (unit 1).
    static CString FormatXReadout(double x, const CString& unitSymbol, std::uint32_t axisUnit);

    // When on, the cursor reads out the d spacing of its x position.
    std::uint8_t m_showDSpacing = 0;
    double m_x = 0.0;         // data x waiting to be applied
    std::uint8_t m_xSet = 0;  // m_x waits for the next drawing
    std::shared_ptr<CToolDrawCache> m_drawCache;
};
