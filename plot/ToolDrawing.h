// What the data cursor and the measuring ruler share for drawing: their shadow caches, the grey
// readout label, the smoothing rule and the hooks through which the engine's tools reach the plot.
// The cursor's drawing is in DataCursor.cpp, the ruler's in MeasuringRuler.cpp.
#pragma once

#include "CString.h"
#include "GdiPlus.h"
#include "LXShadow.h"

class CGraphRenderer;

struct CToolDrawCache
{
    // Cursor: line, pattern markers, the two readout labels.
    LXGraphics::CShadowPath line{nullptr, nullptr, false, 2, 1.0f};
    LXGraphics::CShadowEllipse marker{Gdiplus::RectF(), 2, 1.0f};
    LXGraphics::CShadowPath label{nullptr, nullptr, false, 2, 1.0f};
    // Ruler: body, end lines, level line, x readouts and intensity readout.
    LXGraphics::CShadowRgn body{nullptr, 2, 1.0f};
    LXGraphics::CShadowPath endLine{nullptr, nullptr, false, 2, 1.0f};
    LXGraphics::CShadowPath levelLine{nullptr, nullptr, false, 2, 1.0f};
    LXGraphics::CShadowPath xLabel{nullptr, nullptr, false, 2, 1.0f};
    LXGraphics::CShadowPath rightXLabel{nullptr, nullptr, false, 2, 1.0f};  // each end keeps its own
    LXGraphics::CShadowPath intensityLabel{nullptr, nullptr, false, 2, 1.0f};
};

// The grey callout label of the tools' readouts, its pointer touching the anchor: the box lies
// below the anchor, or above it with pointerDown; with rotate it stands left of the anchor,
// reading upwards. size in points; alpha 0..1 for the shadow. shift moves the box away from its
// place, the pointer still touching the anchor.
void DrawToolLabel(Gdiplus::Graphics* graphics, const CString& text, const Gdiplus::PointF& anchor, bool pointerDown,
                   bool rotate, const CString& family, UINT style, float size, LXGraphics::CShadowPath* shadow,
                   int elevation, float alpha, const Gdiplus::PointF& shift = Gdiplus::PointF());

// The same onto the renderer's graphics, at its own place unless a readout drawn before is there:
// then moved aside along its row, or else away from its anchor. It becomes a readout in its turn.
void PlaceToolLabel(CGraphRenderer* renderer, const CString& text, const Gdiplus::PointF& anchor, bool pointerDown,
                    bool rotate, const CString& family, UINT style, float size, LXGraphics::CShadowPath* shadow,
                    int elevation, float alpha);

// How far such a label reaches from its anchor, pointer included, for text of this font.
float ToolLabelExtent(const CString& family, UINT style, float size);

// How far the cursor's d-spacing readout reaches above the plot: the room a title needs to keep
// clear of it.
class CDiffractionSettings;
float CursorReadoutExtent(const CDiffractionSettings& settings);

// A tool's stroke changes the smoothing mode; the saved one comes back, except that smoothing is
// not brought back at 300 dots per inch and above.
class CToolSmoothing
{
public:
    CToolSmoothing(Gdiplus::Graphics* graphics, Gdiplus::SmoothingMode mode);
    ~CToolSmoothing();
    CToolSmoothing(const CToolSmoothing&) = delete;
    CToolSmoothing& operator=(const CToolSmoothing&) = delete;

private:
    Gdiplus::Graphics* m_graphics;
    Gdiplus::SmoothingMode m_saved;
};

// The drawing DPI over the screen's: the width of a one-pixel tool pen.
float ToolPenWidth();

// Lends the tools their drawing, transforms, colour dialog and popup; the renderer calls it.
void InstallToolPlotHooks();
