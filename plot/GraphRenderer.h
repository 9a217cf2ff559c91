// The graph renderer: one drawing of the pattern tree onto a caller's Graphics, and the
// coordinate authority (data <-> pixels, tick steps) for everything drawn over the plot.
// Frame and legend are in GraphFrame.cpp, curves in GraphBody.cpp, peak labels in
// GraphLabels.cpp, film strips and the overview in GraphFilm.cpp.
#pragma once

#include "GdiPlus.h"
#include "LXColor.h"
#include "LXSyncRect.h"
#include "QLPattern.h"

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

class CFloatingPeakTip;
class CQLCrystalPattern;
class CQLObservedPattern;
struct CQLControlPoint;

namespace LXTypes {
enum QLFilmTypeCode : int { kFilmPositive = 1, kFilmNegative = 2, kFilmFire = 3, kFilmIce = 4, kFilmRainbow = 5 };
}

// Colour ramp of a film type: stops evenly spread over [0, 1]; none for an unknown type.
std::vector<LXGraphics::CColor> MakeColorRamp(int filmType);
// The ramp's colour at t (0..1); NaN counts as 0, no stops give opaque black.
LXGraphics::CColor InterpolateColorRamp(const std::vector<LXGraphics::CColor>& stops, double t);
// 1 Solid, 2 Dash, 3 Dot, 4 DashDot, anything else Solid.
Gdiplus::DashStyle LineStyleToDashStyle(std::uint32_t lineStyle);

// The editable parts of a background node: hit test, relative and absolute moves.
namespace CControlNode {
// The anchor, then the second handle, then the first, inside box (edges included); with select
// the flags are cleared first and the part found is flagged.
bool HitTest(CQLControlPoint& node, const LXGraphics::CSyncRect& box, bool select);
void MoveBy(CQLControlPoint& node, const double delta[2]);
void MoveTo(CQLControlPoint& node, const double point[2]);
}  // namespace CControlNode

// Held by shared pointer (the canvas) so that the peak tip can hold it weakly.
class CGraphRenderer : public std::enable_shared_from_this<CGraphRenderer>
{
public:
    // Measures text as (width, height) for a size in points and a style word; tests install a
    // fixed one so the layout does not depend on installed fonts.
    using TextMeasurer = std::function<Gdiplus::SizeF(const CString& text, float size, UINT style)>;
    static void SetTextMeasurer(TextMeasurer measurer);
    // Through the installed measurer when there is one.
    static Gdiplus::SizeF MeasureText(const CString& text, const CString& family, float size, UINT style);

    CGraphRenderer(const CQLPatternList& tree, const CDiffractionSettings& settings,
                   const LXGraphics::CSyncRect& whole, bool output);
    ~CGraphRenderer();
    CGraphRenderer(const CGraphRenderer&) = delete;
    CGraphRenderer& operator=(const CGraphRenderer&) = delete;

    void DrawFrame(Gdiplus::Graphics* graphics, bool clear);
    void DrawPlot(Gdiplus::Graphics* graphics);
    // Every switched-on tool, last in the list first, with elevations 2, 3, ...
    void DrawTools(Gdiplus::Graphics* graphics);
    // Hands a visible peak tip this renderer and the settings, and has it refresh.
    void DrawTopLayer(Gdiplus::Graphics* graphics);
    void AttachPeakTip(CFloatingPeakTip* tip) { m_peakTip = tip; }
    bool DrawOverview(Gdiplus::Graphics* graphics, const LXGraphics::CSyncRect& area, int& low, int& high);

    // False when there is nothing to draw: no room, or a displayed span that is not positive
    // and finite (then only background, titles and frame are drawn).
    bool UpdateLayout();
    // Keeps this many pixels between the title and the top of the plot (and at least as many
    // above the plot when there is no title), for what a tool draws there.
    void SetTitleClearance(float pixels) { m_titleClearance = pixels; }
    bool HasValidRanges() const { return m_rangesValid; }
    double GetYPixelsPerUnit() const;
    Gdiplus::PointF DataToPixel(double x, double y) const;
    std::pair<double, double> PixelToData(const Gdiplus::PointF& point) const;
    LXGraphics::CSyncRect GetPatternBandRect(const CQLPattern* pattern) const;

    float MajorTickStep(bool xAxis) const;
    float MinorTickStep(float step, bool xAxis, int target) const;

    // Tick labels as the axes draw them: value and text, in drawing order.
    struct TickLabel
    {
        double value;
        CString text;
    };
    std::vector<TickLabel> GetXTickLabels() const;
    std::vector<TickLabel> GetYTickLabels() const;
    CString GetYAxisTitle() const;

    // Read access for tools, the canvas and tests.
    const LXGraphics::CSyncRect& GetPlotRect() const { return m_plotRect; }
    const LXGraphics::CSyncRect& GetWholeRect() const { return m_wholeRect; }
    const CDiffractionSettings& GetSettings() const { return *m_settings; }
    double GetXPixelsPerUnit() const { return m_xPixelsPerUnit; }
    double GetXMin() const { return m_settings->m_visibleXMin; }
    double GetXMax() const { return m_settings->m_visibleXMax; }
    double GetYMin() const { return m_settings->m_visibleYMin; }
    double GetYMax() const { return m_settings->m_visibleYMax; }
    Gdiplus::Graphics* GetGraphics() const { return m_graphics; }
    const std::vector<CQLPatternPtr>& GetDrawingList() const { return m_drawing; }
    const std::vector<LXGraphics::CColor>& GetColorRamp() const { return m_ramp; }
    float GetTickLength() const { return m_tickLength; }
    float GetNodeSize() const { return m_nodeSize; }
    // Frames of the peak labels drawn in the last label pass.
    const std::vector<LXGraphics::CSyncRect>& GetPlacedLabels() const { return m_placedLabels; }
    // What the readouts over the plot keep clear of while the tools are drawn: the legend's box,
    // then each readout as a tool places it. A readout drawn later moves aside from those before.
    bool OverlapsReadout(const Gdiplus::RectF& box) const;
    void AddReadout(const Gdiplus::RectF& box) { m_readouts.push_back(box); }
    const std::vector<Gdiplus::RectF>& GetReadouts() const { return m_readouts; }
    // A peak label at the given pixel point (public for the film strips and the tests).
    void DrawPeakLabel(const CString& text, int alignment, const Gdiplus::PointF& point, const CQLPattern& owner,
                       const LXGraphics::CSyncRect& area);
    // The label pass over collected peaks: area is the plot rectangle or a film band.
    void DrawPeakLabels(CQLPeakLabelList& peaks, const LXGraphics::CSyncRect& area, bool film);
    // The same pass over the plot rectangle as its own draw entry (benchmarks and tests).
    void DrawPeakLabels(Gdiplus::Graphics* graphics, CQLPeakLabelList& peaks);
    // The point buffer as BuildPixelPoints leaves it (for the tests of thinning).
    void BuildPixelPoints(const CQLPattern& pattern, const CQLProfile& points);
    // The same into a buffer of the caller's; safe to run on several threads at once.
    void BuildPixelPoints(const CQLPattern& pattern, const CQLProfile& points,
                          std::vector<Gdiplus::PointF>& out) const;
    const std::vector<Gdiplus::PointF>& GetPointBuffer() const { return m_points; }

private:
    // Draw-entry protocol: set the graphics, lay out, set smoothing and compositing; undone by
    // EndEntry.
    struct EntryState
    {
        Gdiplus::Graphics* previous = nullptr;
        Gdiplus::SmoothingMode smoothing = Gdiplus::SmoothingModeNone;
        Gdiplus::CompositingMode compositing = Gdiplus::CompositingModeSourceOver;
    };
    bool BeginEntry(Gdiplus::Graphics* graphics, EntryState& state);
    void EndEntry(const EntryState& state);
    void RestoreSmoothing(Gdiplus::SmoothingMode saved);
    float Metric(int k) const;
    float Scale() const { return float(m_drawDpi) / float(m_screenDpi); }
    Gdiplus::SizeF Measure(const CString& text, float size, UINT style) const;

    // Frame
    void DrawTitle();
    void DrawAxes();
    void DrawXTickLabel(double value, const CString& text);
    void DrawYTickLabel(double value, const CString& text);
    void DrawGridLines(bool xAxis, const double steps[3]);
    void DrawXAxisTitle();
    void DrawYAxisTitle();
    void DrawRotatedText(const CString& text, const Gdiplus::PointF& centre, float width, float height);
    void DrawFrameRect();
    struct LegendLayout
    {
        LXGraphics::CSyncRect box;
        std::vector<CString> texts;
        std::vector<Gdiplus::SizeF> sizes;
        float spare = 0;  // above the first row and below the last
    };
    // The legend's box and the rows that fit in it; false when no legend is drawn.
    bool LayOutLegend(bool withCursorValues, LegendLayout& out) const;
    void DrawLegend(bool withCursorValues);
    double CursorDataX();
    bool CursorOn();
    // Tick values k × step between the displayed limits, computed in double.
    std::vector<double> TickValues(double min, double max, double step, double upperFactor) const;
    // The visible span in the axis's own units: LogAxisUnits on a logarithmic y axis.
    std::pair<double, double> AxisRange(bool xAxis) const;
    void AxisSteps(bool xAxis, double steps[3]) const;

    // Body
    void DrawPatterns(bool overview);
    // mapped: the points already mapped to pixels (and thinned where the curve would thin them),
    // or null to map them here.
    void DrawCurve(const CQLPattern& pattern, const CQLProfile& points, std::uint32_t colour,
                   std::uint32_t lineStyle, float lineWidth, std::uint32_t markerStyle, float markerSize, bool fill,
                   float fillOpacity, std::vector<Gdiplus::PointF>* mapped = nullptr);
    // Strokes the plain curves gathered so far, together and in their order.
    void StrokeGatheredLines();
    void DrawMarker(const Gdiplus::PointF& at, std::uint32_t style, float size, std::uint32_t colour);
    void DrawPeakCurves(const CQLCrystalPattern& pattern);
    void DrawControlNode(const CQLControlPoint& node);
    void DrawHighlightBox(const LXGraphics::CSyncRect& rect, std::uint32_t fill, std::uint32_t outline,
                          bool highlight);

    // Film
    void DrawFilm();
    void SetFilmSamples(int count);
    void DrawFilmStrip(const CQLPattern& pattern);
    void DrawFilmLabels(bool withCursorValues);
    void DrawStripLabel(const CString& text, const LXGraphics::CSyncRect& band, bool selected);

    Gdiplus::Graphics* m_graphics = nullptr;
    std::vector<CQLPatternPtr> m_drawing;
    std::vector<CQLPatternPtr> m_legend;
    std::unique_ptr<CDiffractionSettings> m_settings;
    std::vector<LXGraphics::CColor> m_ramp;
    LXGraphics::CSyncRect m_wholeRect;
    LXGraphics::CSyncRect m_plotRect;
    double m_xPixelsPerUnit = 1.0;
    double m_yPixelsPerUnit = 1.0;
    bool m_rangesValid = false;
    std::uint32_t m_paperColor = 0;
    std::vector<std::pair<double, double>> m_filmSamples;
    std::vector<Gdiplus::PointF> m_points;
    // While the curves are drawn, plain lines (no fill, no markers) wait here to be stroked
    // together in one pass: a hundred short curves cost more in set-up than in pixels.
    struct GatheredLine {
        std::unique_ptr<Gdiplus::Pen> pen;
        std::vector<Gdiplus::PointF> points;
    };
    std::vector<GatheredLine> m_gathered;
    bool m_gathering = false;
    bool m_output = false;
    std::vector<LXGraphics::CSyncRect> m_placedLabels;
    // The peak labels placed since the curves or strips began, with their stems and arrows: a
    // film strip's name badge keeps clear of them.
    std::vector<Gdiplus::RectF> m_labelReach;
    std::vector<Gdiplus::RectF> m_readouts;
    // The x unit as peak labels show it in place of their placeholder, once looked up.
    CString m_unitPlaceholder, m_unitSymbol;
    bool m_unitsKnown = false;
    // The placed frames filed by bands of pixel columns, and how many of them are filed.
    bool OverlapsPlacedLabel(const LXGraphics::CSyncFloatRect& frame);
    // By bands of 32 columns from m_labelBandsBase, over the plot and a margin; the last one holds
    // the frames that reach outside.
    std::vector<std::vector<size_t>> m_labelBands;
    int m_labelBandsBase = 0;
    size_t m_labelBandsFiled = 0;
    // A placed label's shapes and text tile; while a label pass draws onto an image they are
    // collected here and then drawn in strips of columns at once.
    struct LabelDrawing;
    std::vector<LabelDrawing>* m_labelDrawings = nullptr;
    template <class Target>
    void DrawLabel(Target& target, const LabelDrawing& label) const;
    void PlacePeakLabels(CQLPeakLabelList& peaks, const LXGraphics::CSyncRect& area, bool film);
    LXGraphics::CSyncRect m_overviewRect;
    CFloatingPeakTip* m_peakTip = nullptr;

    int m_drawDpi = 96;
    int m_screenDpi = 96;
    float m_titleClearance = 0;
    float m_tickLength = 6, m_nodeSize = 6, m_outerMargin = 30, m_gap = 2, m_minTickSpacing = 4;
    float m_labelMargin = 2, m_referenceFontSize = 12, m_labelGap = 5;
    float m_arrowHalfWidth = 3, m_arrowLength = 5, m_stemLength = 7, m_labelLineWidth = 1, m_labelOutlineWidth = 3;

    // Long profiles from the `first` on, mapped to pixels on threads of their own; started with the
    // frame, the curves find them ready. Taken only while all that the mapping reads is as it was.
    // Last member: its threads end before what they read is destroyed.
    std::vector<double> MappingKey() const;
    void MapLongProfilesAhead(size_t first);
    std::vector<double> m_aheadKey;
    std::vector<std::future<std::vector<Gdiplus::PointF>>> m_ahead;
};
