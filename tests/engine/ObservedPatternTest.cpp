// The observed pattern: which curve is shown, smoothing, the Bézier background and its
// subtraction, resampling onto the simulation grid, x scaling, the axis range and the
// preference defaults of new observed and mixture patterns.
#include "Preferences.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
CQLProfile Points(int n, double (*y)(double), double x0 = 0.0, double dx = 1.0)
{
    CQLProfile p;
    for (int i = 0; i < n; ++i) p.push_back({x0 + i * dx, y(x0 + i * dx)});
    return p;
}

double Linear(double x) { return 3.0 + 2.0 * x; }
double Spiky(double x) { return x == 4.0 ? 16.0 : 0.0; }
}  // namespace

TEST(ObservedPattern, NewPatternsAndTheirAxisRange)
{
    CQLObservedPattern empty(true);
    EXPECT_EQ(empty.m_title, CString(L"New Data"));
    EXPECT_EQ(empty.GetPatternType(), kPatternObserved);
    EXPECT_FALSE(empty.HasData());
    EXPECT_DOUBLE_EQ(empty.GetDefaultAxisMinimum(LXTypes::kAxis2Theta), 999.9);
    EXPECT_DOUBLE_EQ(empty.GetDefaultAxisMaximum(LXTypes::kAxis2Theta), 0.0);

    CQLObservedPattern p(CQLProfile{{30.0, 1.0}, {10.0, 2.0}, {20.0, 3.0}}, true);
    EXPECT_TRUE(p.HasData());
    EXPECT_DOUBLE_EQ(p.GetDefaultAxisMinimum(LXTypes::kAxis2Theta), 10.0);
    EXPECT_DOUBLE_EQ(p.GetDefaultAxisMaximum(LXTypes::kAxis2Theta), 30.0);

    // Settings never empty measured points.
    CDiffractionSettings settings(true);
    p.ApplySettings(settings);
    EXPECT_EQ(p.GetProfile(true).size(), 3u);
    EXPECT_NE(p.m_color >> 24, 0u);
}

TEST(ObservedPattern, SmoothsWithATriangularMovingAverage)
{
    CQLObservedPattern p(Points(9, Spiky), true);
    p.m_smoothingPoints = 3;
    p.ComputeSmoothedCurve();
    ASSERT_EQ(p.m_smoothedCurve.size(), 3u);
    // Weights 1 - |q|/4 over q = -3..3, divided by 4: the spike at x 4 spreads to 3 and 5.
    EXPECT_DOUBLE_EQ(p.m_smoothedCurve[0].x, 3.0);
    EXPECT_DOUBLE_EQ(p.m_smoothedCurve[0].y, 16.0 * 0.75 / 4.0);
    EXPECT_DOUBLE_EQ(p.m_smoothedCurve[1].y, 16.0 / 4.0);
    EXPECT_DOUBLE_EQ(p.m_smoothedCurve[2].y, 16.0 * 0.75 / 4.0);

    CQLObservedPattern line(Points(20, Linear), true);
    line.m_smoothingPoints = 2;
    line.ComputeSmoothedCurve();
    ASSERT_EQ(line.m_smoothedCurve.size(), 16u);
    for (const CQLProfilePoint& q : line.m_smoothedCurve) EXPECT_NEAR(q.y, Linear(q.x), 1e-12) << "a line stays";

    for (int m : {0, 3}) {
        CQLObservedPattern few(Points(8, Linear), true);
        few.m_smoothedCurve = {{0.0, 0.0}};
        few.m_smoothingPoints = m;
        few.ComputeSmoothedCurve();
        EXPECT_TRUE(few.m_smoothedCurve.empty()) << "m " << m << " with 8 points";
    }
}

TEST(ObservedPattern, ShowsTheCurveItsFlagsAsk)
{
    CQLObservedPattern p(Points(12, Linear), true);
    p.m_title = L"Scan";
    p.m_smoothing = 1;
    p.ComputeSmoothedCurve();
    EXPECT_EQ(&p.GetProfile(false), &p.m_smoothedCurve);
    EXPECT_EQ(&p.GetProfile(true), &p.m_profile);
    p.m_overlaySmoothed = 1;
    EXPECT_EQ(&p.GetProfile(false), &p.m_profile) << "an overlaid smoothed curve is drawn besides the points";
    p.m_overlaySmoothed = 0;

    p.AddBackgroundCurve();
    p.m_subtractBackground = 1;
    EXPECT_EQ(&p.GetProfile(false), &p.m_processedCurve);

    CString legend;
    p.GetLegendText(legend);
    EXPECT_EQ(legend, CString(L"Scan + smoothing")) << "the preview hides the subtraction from the legend";
    p.m_previewSubtraction = 0;
    p.m_fraction = 0.5;
    p.GetLegendText(legend);
    EXPECT_EQ(legend, CString(L"0.50  Scan + smoothing - background"));
}

TEST(ObservedPattern, BackgroundChainThroughItsControlPoints)
{
    CQLObservedPattern p(CQLProfile{{10.0, 5.0}, {15.0, 2.0}, {20.0, 9.0}, {30.0, 4.0}}, true);
    p.AddBackgroundCurve();
    ASSERT_EQ(p.m_controlPoints.size(), 2u);
    const CQLControlPoint& first = p.m_controlPoints[0];
    EXPECT_DOUBLE_EQ(first.x, 10.0);
    EXPECT_DOUBLE_EQ(first.y, 2.0) << "at the lowest measured value";
    EXPECT_DOUBLE_EQ(first.rightX, 12.0) << "handles a tenth of the span long";
    EXPECT_EQ(first.owner, &p);
    ASSERT_EQ(p.m_backgroundCurve.size(), 102u);
    EXPECT_DOUBLE_EQ(p.m_backgroundCurve.back().x, 30.0);
    EXPECT_DOUBLE_EQ(p.m_backgroundCurve.back().y, 2.0);
    // A flat chain takes 2 off every point.
    ASSERT_EQ(p.m_processedCurve.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(p.m_processedCurve[i].y, p.m_profile[i].y - 2.0, 1e-12);
    EXPECT_DOUBLE_EQ(p.GetBackgroundAt(9.0), 0.0) << "outside the chain";

    // A raised end: the chain runs between the two heights with the shape of a Bézier segment.
    p.m_controlPoints[1].y = p.m_controlPoints[1].leftY = p.m_controlPoints[1].rightY = 12.0;
    p.ComputeBackgroundCurve();
    const CQLProfilePoint mid = p.m_backgroundCurve[51];  // t = 51/101
    const double t = 51.0 / 101.0, u = 1.0 - t;
    EXPECT_NEAR(mid.y, (u * u * u + 3 * u * u * t) * 2.0 + (3 * u * t * t + t * t * t) * 12.0, 1e-12);
    EXPECT_NEAR(p.GetBackgroundAt(mid.x), mid.y, 1e-12);
    EXPECT_DOUBLE_EQ(p.GetBackgroundAt(30.0), 12.0);

    // A further point spreads the nodes evenly and joins at the right end.
    p.AddBackgroundPoint();
    ASSERT_EQ(p.m_controlPoints.size(), 3u);
    EXPECT_DOUBLE_EQ(p.m_controlPoints[1].x, 20.0);
    EXPECT_DOUBLE_EQ(p.m_controlPoints[1].leftX, 18.0) << "handles move with their node";
    EXPECT_DOUBLE_EQ(p.m_controlPoints[2].x, 30.0);
    EXPECT_DOUBLE_EQ(p.m_controlPoints[2].y, 12.0);
    EXPECT_EQ(p.m_backgroundCurve.size(), 203u);

    // The picked node goes; without a pick the last; below two nodes the chain goes.
    p.m_controlPoints[0].rightFlag = 1.0;
    p.RemoveBackgroundPoint();
    ASSERT_EQ(p.m_controlPoints.size(), 2u);
    EXPECT_DOUBLE_EQ(p.m_controlPoints[0].x, 20.0);
    EXPECT_EQ(p.m_backgroundCurve.size(), 102u);
    p.RemoveBackgroundPoint();
    EXPECT_TRUE(p.m_controlPoints.empty());
    EXPECT_TRUE(p.m_backgroundCurve.empty());
    EXPECT_TRUE(p.m_processedCurve.empty());
}

TEST(ObservedPattern, LongChainsSampleEverySegmentInParallel)
{
    CQLObservedPattern p(Points(400, Linear), true);
    p.AddBackgroundCurve();
    for (int i = 0; i < 300; ++i) p.AddBackgroundPoint();
    const auto& nodes = p.m_controlPoints;
    ASSERT_EQ(nodes.size(), 302u);
    ASSERT_EQ(p.m_backgroundCurve.size(), size_t(101 * 301 + 1));
    EXPECT_NEAR(nodes[150].x, 150 * 399.0 / 301.0, 1e-9) << "nodes spread evenly";
    // The chain doubles back here (handles far longer than the node spacing); subtraction still
    // takes the first sample at or above each x.
    for (size_t i : {0, 123, 399}) {
        const double x = p.m_profile[i].x;
        size_t j = 0;
        while (p.m_backgroundCurve[j].x < x) ++j;
        const double expected = j == 0 ? p.m_backgroundCurve[0].y
                                       : p.m_backgroundCurve[j - 1].y + (x - p.m_backgroundCurve[j - 1].x) /
                                                                            (p.m_backgroundCurve[j].x - p.m_backgroundCurve[j - 1].x) *
                                                                            (p.m_backgroundCurve[j].y - p.m_backgroundCurve[j - 1].y);
        EXPECT_NEAR(p.m_processedCurve[i].y, p.m_profile[i].y - expected, 1e-9) << i;
    }
    for (size_t k = 1; k < nodes.size(); k += 37) {
        EXPECT_EQ(p.m_backgroundCurve[101 * k].x, nodes[k].x) << k;
        for (int j : {0, 49, 99}) {
            const double t = (j + 1) / 101.0, u = 1.0 - t;
            const double x = u * u * u * nodes[k - 1].x + 3 * u * u * t * nodes[k - 1].rightX +
                             3 * u * t * t * nodes[k].leftX + t * t * t * nodes[k].x;
            EXPECT_NEAR(p.m_backgroundCurve[101 * k - 100 + j].x, x, 1e-9) << k << " " << j;
        }
    }
}

TEST(ObservedPattern, SmoothedOverlayFollowsTheSubtractedData)
{
    CQLObservedPattern p(Points(12, Linear), true);
    p.AddBackgroundCurve();  // flat at 3
    p.m_smoothing = 1;
    p.m_overlaySmoothed = 1;
    p.m_subtractBackground = 1;
    p.m_smoothingPoints = 1;
    p.ComputeSmoothedCurve();
    ASSERT_EQ(p.m_smoothedCurve.size(), 10u);
    for (const CQLProfilePoint& q : p.m_smoothedCurve) EXPECT_NEAR(q.y, Linear(q.x) - 3.0, 1e-12);
    // With the overlay off the processed curve is made from the smoothed one.
    p.m_overlaySmoothed = 0;
    p.ComputeSmoothedCurve();
    ASSERT_EQ(p.m_processedCurve.size(), 10u);
    for (const CQLProfilePoint& q : p.m_processedCurve) EXPECT_NEAR(q.y, Linear(q.x) - 3.0, 1e-12);
}

TEST(ObservedPattern, ResamplesOntoTheSimulationGrid)
{
    CDiffractionSettings settings(true);
    settings.m_defaultXMin = 0.0;
    settings.m_defaultXMax = 10.0;
    settings.m_numProfilePoints = 20;
    CQLObservedPattern p(CQLProfile{{2.0, 10.0}, {4.0, 20.0}, {7.0, 5.0}}, true);
    const CQLProfile& c = p.GetComputedProfile(settings);
    ASSERT_EQ(c.size(), 20u);
    EXPECT_DOUBLE_EQ(c[3].y, 0.0) << "before the data";
    EXPECT_DOUBLE_EQ(c[4].y, 10.0);
    EXPECT_DOUBLE_EQ(c[6].y, 15.0);
    EXPECT_DOUBLE_EQ(c[10].y, 15.0);
    EXPECT_DOUBLE_EQ(c[14].y, 5.0) << "the last point itself";
    EXPECT_DOUBLE_EQ(c[15].y, 0.0) << "after the data";

    // A new offset or grid makes a new curve.
    p.m_xOffset = 1.0;
    EXPECT_DOUBLE_EQ(p.GetComputedProfile(settings)[6].y, 10.0);
    settings.m_numProfilePoints = 10;
    EXPECT_EQ(p.GetComputedProfile(settings).size(), 10u);

    // Scaling x empties the derived curves; the next request rebuilds on the new x.
    p.m_xOffset = 0.0;
    p.ScaleX(2.0);
    EXPECT_TRUE(p.m_interpolatedCurve.empty());
    EXPECT_DOUBLE_EQ(p.m_profile[1].x, 8.0);
    EXPECT_DOUBLE_EQ(p.GetComputedProfile(settings)[4].y, 10.0);
    EXPECT_DOUBLE_EQ(p.GetComputedProfile(settings)[8].y, 20.0);

    CQLObservedPattern single(CQLProfile{{2.0, 10.0}}, true);
    EXPECT_TRUE(single.GetComputedProfile(settings).empty()) << "one point makes no curve";
}

TEST(ObservedPattern, CopiesOwnTheirControlPoints)
{
    CQLObservedPattern p(Points(10, Linear), true);
    p.AddBackgroundCurve();
    p.m_smoothing = 1;
    auto copy = std::static_pointer_cast<CQLObservedPattern>(p.Clone());
    ASSERT_EQ(copy->m_controlPoints.size(), 2u);
    EXPECT_EQ(copy->m_controlPoints[0].owner, copy.get());
    EXPECT_EQ(copy->m_backgroundCurve.size(), 102u);
    EXPECT_EQ(copy->m_smoothing, 1);

    CQLObservedPattern target(true);
    CQLPattern::CopyPatternSettings(target, p);
    EXPECT_EQ(target.m_controlPoints[1].owner, &target);
    EXPECT_EQ(target.m_profile.size(), 10u);
}

TEST(ObservedPattern, NewPatternsTakeTheirDefaultsFromThePreferences)
{
    CPreferences::Create(true);
    ASSERT_NE(g_pPreferences, nullptr);
    g_pPreferences->m_ObservedAutoSetYScale.Set(false);
    g_pPreferences->m_BackgroundColor.Set(LXGraphics::CColor(0xFF123456u));
    g_pPreferences->m_ShowLabels.Set(true);
    g_pPreferences->m_LabelThreshold.Set(25.0);

    CQLObservedPattern observed;
    EXPECT_EQ(observed.m_autoYScale, 0);
    EXPECT_EQ(observed.m_backgroundStyle.color, 0xFF123456u);
    CQLMixturePattern mixture;
    EXPECT_EQ(mixture.m_showLabels, 1);
    EXPECT_EQ(mixture.m_labelThreshold, 25.0);

    CQLObservedPattern factory(true);
    EXPECT_EQ(factory.m_autoYScale, 1);
    EXPECT_EQ(factory.m_backgroundStyle.color, 0xFF000000u);
    CQLMixturePattern factoryMixture(true);
    EXPECT_EQ(factoryMixture.m_showLabels, 0);
    EXPECT_EQ(factoryMixture.m_labelPhaseName, 1);
    delete g_pStore;
    EXPECT_EQ(g_pPreferences, nullptr);
}
