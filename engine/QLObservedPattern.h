// The observed pattern: measured points with their smoothed, background, processed and
// resampled curves. The files that bring the points in are in files/QLDatasetFile.h.
#pragma once

#include "QLPattern.h"

#include <cstdint>
#include <vector>

class CQLObservedPattern;

// One node of the background's Bézier chain: the point and its two handles, each with the
// flag the plot sets while that part is picked.
struct CQLControlPoint
{
    double x = 0.0, y = 0.0, flag = 0.0;
    double leftX = 0.0, leftY = 0.0, leftFlag = 0.0;
    double rightX = 0.0, rightY = 0.0, rightFlag = 0.0;
    CQLObservedPattern* owner = nullptr;

    bool IsFlagged() const { return flag != 0.0 || leftFlag != 0.0 || rightFlag != 0.0; }
};

// Colour and line values of one extra curve, as the plot draws it.
struct CQLCurveStyle
{
    std::uint32_t color = 0xFF000000u;  // ARGB
    std::uint32_t lineStyle = 1;        // LXTypes::QLLineStyle
    float lineWidth = 1.0f;
    std::uint32_t markerStyle = 0;      // LXTypes::QLMarkerStyle
    float markerSize = 2.0f;
};

class CQLObservedPattern : public CQLPattern
{
public:
    explicit CQLObservedPattern(bool factoryDefaults = false);
    // A pattern of the measured points, in file order.
    CQLObservedPattern(CQLProfile points, bool factoryDefaults = false);
    CQLObservedPattern(const CQLObservedPattern& other);
    CQLObservedPattern& operator=(const CQLObservedPattern&) = delete;
    ~CQLObservedPattern() override = default;

    // The measured points stay: only the reader sets them.
    void ClearProfile() override {}
    CQLPatternPtr Clone() const override;
    bool HasData() const override { return !m_profile.empty(); }
    CQLProfile& GetProfile(bool raw = false) override;
    // The curve resampled onto the settings grid, x offset applied; built when empty.
    const CQLProfile& GetComputedProfile(const CDiffractionSettings& settings) override;
    void GetLegendText(CString& out) const override;
    double GetDefaultAxisMinimum(LXTypes::QLAxisType unit) const override;
    double GetDefaultAxisMaximum(LXTypes::QLAxisType unit) const override;
    std::int32_t GetPatternType() const override { return kPatternObserved; }
    std::uint64_t GetFlatSize() const override;
    std::uint64_t Flatten(std::uint8_t*& cursor) const override;

    // Background editing: a chain across the data, a further node, removing one, removing all.
    void AddBackgroundCurve();
    void AddBackgroundPoint();
    void RemoveBackgroundPoint();
    void RemoveBackgroundCurve();
    void ComputeBackgroundCurve();
    void ComputeSmoothedCurve();
    // The background interpolated at x; 0 outside the chain.
    double GetBackgroundAt(double x) const;
    void ScaleX(double factor);
    // New measured points: the curves made from the old ones go (the smoothed one is made anew).
    void ReplacePoints(const CQLProfile& points);

    // Reads the form written by Flatten; the reader sits just behind the kind code.
    static std::shared_ptr<CQLObservedPattern> CreateFromFlatBuffer(CQLFlatReader& reader);


    std::uint8_t m_autoYScale = 1;        // the document rescales y for this pattern
    std::uint8_t m_smoothing = 0;
    std::uint8_t m_overlaySmoothed = 0;   // smoothed curve drawn over the points, not instead
    std::int32_t m_smoothingPoints = 3;   // half width m of the moving average
    CQLCurveStyle m_smoothedStyle{0xFF444444u, 1, 0.5f, 0, 2.0f};
    std::uint8_t m_subtractBackground = 0;
    std::uint8_t m_previewSubtraction = 1;
    std::vector<CQLControlPoint> m_controlPoints;  // in x order
    CQLProfile m_backgroundCurve;
    CQLCurveStyle m_backgroundStyle{0xFF000000u, 1, 2.0f, 1, 0.0f};  // no marker size of its own
    CQLCurveStyle m_extraStyle{0xFF7F7F7Fu, 1, 0.5f, 0, 2.0f};
    CQLProfile m_smoothedCurve;
    CQLProfile m_processedCurve;
    CQLProfile m_interpolatedCurve;
    double m_handleFraction = 0.1;        // handle length per x span of the data

protected:
    void AssignKindFields(const CQLPattern& from) override;

private:
    // The grid and offset the interpolated curve was made for.
    struct InterpolationGrid
    {
        std::int32_t count = 0;
        double xMin = 0.0, xMax = 0.0, xOffset = 0.0;
        bool operator==(const InterpolationGrid&) const = default;
    };

    void AdoptControlPoints();
    // GetBackgroundAt for a series of rising x; hint carries the place found last.
    double BackgroundAt(double x, size_t& hint) const;

    InterpolationGrid m_interpolatedGrid;
    bool m_backgroundMonotone = true;  // background x ascending: looked up by bisection
};

inline std::int64_t CountObservedPatterns(const CQLPatternList& list, bool selectedOnly, bool shownOnly,
                                          bool topLevelOnly)
{
    return CountPatternsOfType<CQLObservedPattern>(list, selectedOnly, shownOnly, topLevelOnly);
}
