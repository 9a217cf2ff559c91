// The renderer's layout, transforms, tick rules, labels, bands, ramps and node editing, with a
// fixed text measurer so that no number depends on installed fonts.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "PlotSettingsSupport.h"
#include "../engine/CrystalFixtures.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "ToolRecords.h"

#include <QApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include "WidgetApp.h"

namespace {
// "0.00" is 24 × 14: a 780 × 570 area then leaves a 700 × 500 plot at (50, 30).
Gdiplus::SizeF FixedMeasure(const CString& text, float, UINT)
{
    return Gdiplus::SizeF(text == L"0.00" ? 24.0f : 6.0f * float(text.GetLength()), 14.0f);
}

class GraphRendererTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qlwtest::EnsureWidgetApp("test_plot");
    }
    void SetUp() override
    {
        CGraphRenderer::SetTextMeasurer(FixedMeasure);
        qlwtest::UsePlainPlot(settings);
        settings.m_yTitle = L"I";
    }
    void TearDown() override
    {
        CGraphRenderer::SetTextMeasurer(nullptr);
        g_drawDpi = g_screenDpi = 96;
        g_textScale = 1.0f;
    }
    static LXGraphics::CSyncRect Area(float w, float h)
    {
        LXGraphics::CSyncRect r;
        r.SetXYWH(0, 0, w, h);
        return r;
    }
    std::unique_ptr<CGraphRenderer> Make(float w = 780, float h = 570, bool output = false)
    {
        auto r = std::make_unique<CGraphRenderer>(tree, settings, Area(w, h), output);
        r->UpdateLayout();
        return r;
    }
    std::shared_ptr<CQLObservedPattern> AddObserved(CQLProfile points)
    {
        auto p = std::make_shared<CQLObservedPattern>(std::move(points), true);
        p->SetShown(true);
        p->m_color = 0xFF0000FFu;
        tree.push_back(p);
        return p;
    }

    CDiffractionSettings settings{true};
    CQLPatternList tree;
};

TEST_F(GraphRendererTest, LayoutLeavesRoomForTicksNumbersAndMargins)
{
    auto r = Make();
    const auto& p = r->GetPlotRect().m_float;
    EXPECT_FLOAT_EQ(p.X, 50);
    EXPECT_FLOAT_EQ(p.Y, 30);
    EXPECT_FLOAT_EQ(p.Width, 700);
    EXPECT_FLOAT_EQ(p.Height, 500);
    EXPECT_TRUE(r->HasValidRanges());
}

TEST_F(GraphRendererTest, DataAndPixelsConvertBothWays)
{
    auto r = Make();
    const Gdiplus::PointF pixel = r->DataToPixel(40, 500);
    EXPECT_FLOAT_EQ(pixel.X, 400);
    EXPECT_FLOAT_EQ(pixel.Y, 280);
    const auto data = r->PixelToData(Gdiplus::PointF(400, 280));
    EXPECT_NEAR(data.first, 40, 1e-9);
    EXPECT_NEAR(data.second, 500, 1e-9);

    settings.m_logarithmicYAxis = 1;
    settings.m_visibleYMax = 999;
    auto log = Make();
    // log10(99 + 1) = 2 of 3 decades: two thirds up the plot.
    EXPECT_NEAR(log->DataToPixel(40, 99).Y, 530 - 500.0 * 2 / 3, 1e-3);
    EXPECT_NEAR(log->PixelToData(log->DataToPixel(40, 99)).second, 99, 1e-3);
}

TEST_F(GraphRendererTest, TickStepsOfBothAxes)
{
    struct Case
    {
        double min, max;
        float width;  // whole-area width: plot width + 80
        bool xAxis;
        float major, minor1, minor2;
    };
    const Case cases[] = {
        {0, 80, 780, true, 10, 5, 0.5f},
        // 0.1 does not divide 1 exactly in binary; it must still be the second minor step.
        {0, 20, 880, true, 2, 1, 0.1f},
        {0, 1000, 780, false, 200, 100, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.max);
        (c.xAxis ? settings.m_visibleXMin : settings.m_visibleYMin) = c.min;
        (c.xAxis ? settings.m_visibleXMax : settings.m_visibleYMax) = c.max;
        auto r = Make(c.width, 570);
        const float major = r->MajorTickStep(c.xAxis);
        const float minor1 = r->MinorTickStep(major, c.xAxis, 40);
        EXPECT_FLOAT_EQ(major, c.major);
        EXPECT_FLOAT_EQ(minor1, c.minor1);
        EXPECT_FLOAT_EQ(r->MinorTickStep(minor1, c.xAxis, 5), c.minor2);
    }
    auto r = Make();
    // A step below 1 has no whole-number base and so no minor step.
    EXPECT_EQ(r->MinorTickStep(0.5f, true, 40), 0.0f);
}

TEST_F(GraphRendererTest, PrintScaledPlotKeepsTheTicksOfTheScreen)
{
    // An 800-pixel client printed 4800 pixels wide draws at 576 DPI: six times the pixels,
    // the same ticks.
    struct Case
    {
        double min, max;
        float width;
        bool xAxis;
    };
    const Case cases[] = {{0, 80, 780, true}, {0, 20, 880, true}, {0, 1000, 780, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.max);
        (c.xAxis ? settings.m_visibleXMin : settings.m_visibleYMin) = c.min;
        (c.xAxis ? settings.m_visibleXMax : settings.m_visibleYMax) = c.max;
        g_drawDpi = 96;
        auto screen = Make(c.width, 570);
        g_drawDpi = 576;
        auto print = Make(c.width * 6, 570 * 6);
        const float major = screen->MajorTickStep(c.xAxis);
        ASSERT_GT(major, 0.0f);
        EXPECT_FLOAT_EQ(print->MajorTickStep(c.xAxis), major);
        const float minor = screen->MinorTickStep(major, c.xAxis, 40);
        EXPECT_FLOAT_EQ(print->MinorTickStep(major, c.xAxis, 40), minor);
        EXPECT_FLOAT_EQ(print->MinorTickStep(minor, c.xAxis, 5), screen->MinorTickStep(minor, c.xAxis, 5));
    }
}

TEST_F(GraphRendererTest, ExportAtTwiceTheResolutionKeepsTheLayoutOfTheScreen)
{
    // Real fonts: tick numbers must be measured at the size they are drawn in an export.
    CGraphRenderer::SetTextMeasurer(nullptr);
    settings.m_visibleYMax = 447;
    settings.m_visibleXMax = 189;
    auto plotAt = [&](int dpi) {
        const float k = float(dpi) / 96.0f;
        g_drawDpi = dpi;
        g_textScale = k;
        Gdiplus::Bitmap bitmap(int(780 * k), int(570 * k));
        Gdiplus::Graphics graphics(&bitmap);
        CGraphRenderer r(tree, settings, Area(780 * k, 570 * k), true);
        r.DrawFrame(&graphics, false);
        return std::make_pair(r.GetPlotRect().m_float, r.MajorTickStep(false));
    };
    const auto [screen, screenStep] = plotAt(96);
    const auto [twice, twiceStep] = plotAt(192);
    // Hinting leaves the two sizes of a font a few pixels apart; unscaled text was 35 off.
    EXPECT_NEAR(twice.X, 2 * screen.X, 5);
    EXPECT_NEAR(twice.Y, 2 * screen.Y, 5);
    EXPECT_NEAR(twice.Width, 2 * screen.Width, 8);
    EXPECT_NEAR(twice.Height, 2 * screen.Height, 8);
    EXPECT_EQ(twiceStep, screenStep);
}

TEST_F(GraphRendererTest, TickMetricsScaleWithDrawDpi)
{
    g_drawDpi = 300;
    auto r = Make();
    EXPECT_EQ(r->GetTickLength(), 18.0f);
}

TEST_F(GraphRendererTest, XLabelsReachTheEndOfAUnitRange)
{
    settings.m_visibleXMax = 1;
    auto r = Make();
    const auto labels = r->GetXTickLabels();
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels.front().text, CString(L"0.0"));
    EXPECT_EQ(labels[3].text, CString(L"0.3"));
    EXPECT_EQ(labels.back().text, CString(L"1.0"));

    settings.m_visibleXMax = 80;
    const auto tens = Make()->GetXTickLabels();
    ASSERT_EQ(tens.size(), 9u);
    EXPECT_EQ(tens[8].text, CString(L"80"));
}

TEST_F(GraphRendererTest, YLabelsAndTitleCarryThePowerOfTen)
{
    auto r = Make();
    const auto labels = r->GetYTickLabels();
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels.front().text, CString(L"0.0"));
    EXPECT_EQ(labels[1].text, CString(L"0.1"));
    EXPECT_EQ(labels.back().text, CString(L"1.0"));
    EXPECT_EQ(r->GetYAxisTitle(), CString(L"I \u00D7 10^-3"));

    settings.m_visibleYMax = 50;
    auto fifty = Make();
    EXPECT_EQ(fifty->GetYAxisTitle(), CString(L"I"));
    EXPECT_EQ(fifty->GetYTickLabels().back().text, CString(L"50"));

    settings.m_visibleYMax = 0.05;
    EXPECT_EQ(Make()->GetYAxisTitle(), CString(L"I \u00D7 10^2"));

    settings.m_logarithmicYAxis = 1;
    settings.m_visibleYMax = 999;
    auto log = Make();
    EXPECT_EQ(log->GetYAxisTitle(), CString(L"log(I)"));
    std::vector<CString> texts;
    for (const auto& l : log->GetYTickLabels()) texts.push_back(l.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), CString(L"3.0")), texts.end());
    EXPECT_NEAR(log->GetYTickLabels().back().value, 3, 1e-9);
}

TEST_F(GraphRendererTest, RangesThatAreNotPositiveAndFiniteDrawOnlyTheFrame)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        double xMin, xMax, yMin, yMax;
    };
    const Case cases[] = {{10, 10, 0, 1000}, {0, 80, 0, 0}, {nan, 80, 0, 1000}, {0, inf, 0, 1000},
                          {0, 80, 0, nan}, {80, 0, 0, 1000}};
    AddObserved({{0, 0}, {40, 1000}, {80, 0}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xMax);
        settings.m_visibleXMin = c.xMin;
        settings.m_visibleXMax = c.xMax;
        settings.m_visibleYMin = c.yMin;
        settings.m_visibleYMax = c.yMax;
        auto r = Make();
        EXPECT_FALSE(r->HasValidRanges());
        const Gdiplus::PointF p = r->DataToPixel(40, 500);
        EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
        EXPECT_TRUE(std::isfinite(r->PixelToData(Gdiplus::PointF(400, 280)).first));
        EXPECT_TRUE(r->GetXTickLabels().empty());
        EXPECT_TRUE(r->GetYTickLabels().empty());
        EXPECT_EQ(r->MajorTickStep(true), 0.0f);

        Gdiplus::Bitmap bitmap(780, 570);
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawFrame(&graphics, false);
        r->DrawPlot(&graphics);
        Gdiplus::Color inside, edge;
        bitmap.GetPixel(400, 280, &inside);
        bitmap.GetPixel(400, 30, &edge);
        EXPECT_EQ(inside.GetValue(), 0xFFFFFFFFu);
        EXPECT_NE(edge.GetValue(), 0xFFFFFFFFu);  // the frame is still there
    }
}

TEST_F(GraphRendererTest, CurvesAreDrawnWhereTheTransformPutsThem)
{
    AddObserved({{0, 0}, {80, 1000}});
    settings.m_showGrid = 0;
    auto r = Make();
    Gdiplus::Bitmap bitmap(780, 570);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawFrame(&graphics, false);
        r->DrawPlot(&graphics);
    }
    const Gdiplus::PointF mid = r->DataToPixel(40, 500);
    int blue = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        Gdiplus::Color c;
        bitmap.GetPixel(int(mid.X), int(mid.Y) + dy, &c);
        if (c.GetB() > 200 && c.GetR() < 150) ++blue;
    }
    EXPECT_GT(blue, 0);
    Gdiplus::Color far;
    bitmap.GetPixel(int(mid.X), 100, &far);
    EXPECT_EQ(far.GetValue(), 0xFFFFFFFFu);
}

// Plain lines are stroked together, yet each in its turn: a filled curve covers the lines drawn
// before it and lies under those drawn after it.
TEST_F(GraphRendererTest, CurvesKeepTheirOrderAroundAFill)
{
    settings.m_showGrid = 0;
    for (double y : {500.0, 450.0}) AddObserved({{0, y}, {80, y}})->m_color = 0xFFFF0000u;
    auto filled = AddObserved({{0, 800}, {80, 800}});
    filled->m_fill = true;
    filled->m_fillOpacity = 1;
    for (double y : {300.0, 250.0}) AddObserved({{0, y}, {80, y}})->m_color = 0xFF00A000u;
    auto r = Make();
    Gdiplus::Bitmap bitmap(780, 570);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawPlot(&graphics);
    }
    for (double y : {500.0, 450.0, 300.0, 250.0}) {
        SCOPED_TRACE(y);
        const Gdiplus::PointF at = r->DataToPixel(20, y);
        int red = 0, green = 0;
        for (int dy = -2; dy <= 2; ++dy) {
            Gdiplus::Color c;
            bitmap.GetPixel(int(at.X), int(at.Y) + dy, &c);
            red += c.GetR() > 100;
            green += c.GetG() > 60 && c.GetR() < 60;
        }
        EXPECT_EQ(red, 0);
        EXPECT_EQ(green > 0, y < 400);
    }
}

// Long profiles are mapped while the frame is drawn: the curves come out as a renderer that maps
// them itself draws them, and a pattern moved after the frame is drawn where it now lies.
TEST_F(GraphRendererTest, CurvesMappedWithTheFrameMatchCurvesMappedWithThePlot)
{
    std::shared_ptr<CQLObservedPattern> middle;
    for (int k = 0; k < 3; ++k) {
        CQLProfile points;
        for (int i = 0; i < 12000; ++i)
            points.push_back({80.0 * i / 12000, 400 + 300 * std::sin(i * 0.013 * (k + 1)) + 37 * std::sin(i * 0.71)});
        auto p = AddObserved(std::move(points));
        p->m_color = 0xFF000000u | (0x00A03000u >> (4 * k));
        if (k == 1) middle = p;
    }
    const auto draw = [&](CGraphRenderer& framed, CGraphRenderer& plotted, bool moveBetween) {
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(780, 570);
        Gdiplus::Graphics graphics(bitmap.get());
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        framed.DrawFrame(&graphics, false);
        if (moveBetween) middle->m_xOffset = 3.5;
        plotted.DrawPlot(&graphics);
        return bitmap;
    };
    for (const bool moveBetween : {false, true}) {
        SCOPED_TRACE(moveBetween);
        middle->m_xOffset = 0;
        auto ahead = Make();
        const auto mappedAhead = draw(*ahead, *ahead, moveBetween);
        middle->m_xOffset = 0;
        auto frameOnly = Make(), plotOnly = Make();
        const auto mappedWithPlot = draw(*frameOnly, *plotOnly, moveBetween);
        int differing = 0, curve = 0;
        for (int y = 0; y < 570; ++y)
            for (int x = 0; x < 780; ++x) {
                differing += mappedAhead->Q().pixel(x, y) != mappedWithPlot->Q().pixel(x, y);
                curve += qRed(mappedWithPlot->Q().pixel(x, y)) > 150 && qGreen(mappedWithPlot->Q().pixel(x, y)) < 100;
            }
        EXPECT_GT(curve, 1000);
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(GraphRendererTest, PatternBandsSplitThePlotHeight)
{
    auto a = AddObserved({{0, 1}, {80, 1}});
    auto b = AddObserved({{0, 1}, {80, 1}});
    auto c = AddObserved({{0, 1}, {80, 1}});
    auto r = Make();
    EXPECT_FLOAT_EQ(r->GetPatternBandRect(a.get()).m_float.Y, 30);
    EXPECT_NEAR(r->GetPatternBandRect(b.get()).m_float.Y, 196.67, 0.01);
    EXPECT_NEAR(r->GetPatternBandRect(c.get()).m_float.Y, 363.33, 0.01);
    CQLObservedPattern absent(CQLProfile{}, true);
    EXPECT_NEAR(r->GetPatternBandRect(&absent).m_float.Y, 530, 0.01);
}

TEST_F(GraphRendererTest, ColourRampsInterpolateAndRefuseNaN)
{
    const auto positive = MakeColorRamp(1);
    EXPECT_EQ(InterpolateColorRamp(positive, 0.5).GetValue(), 0xFF808080u);
    EXPECT_EQ(InterpolateColorRamp(positive, 0).GetValue(), 0xFF020202u);
    EXPECT_EQ(InterpolateColorRamp(positive, 1).GetValue(), 0xFFFFFFFFu);
    EXPECT_EQ(InterpolateColorRamp(positive, std::nan("")).GetValue(), 0xFF020202u);
    EXPECT_EQ(InterpolateColorRamp(MakeColorRamp(0), 0.5).GetValue(), 0xFF000000u);
    const auto fire = MakeColorRamp(3);
    ASSERT_EQ(fire.size(), 4u);
    EXPECT_EQ(InterpolateColorRamp(fire, 2.0 / 3).GetValue(), 0xFFE57219u);
    EXPECT_EQ(MakeColorRamp(5).size(), 33u);
}

TEST_F(GraphRendererTest, FilmStripsColourColumnsByIntensity)
{
    settings.m_filmMode = 1;
    settings.m_filmType = 1;
    settings.m_showLegend = 0;
    AddObserved({{0, 0}, {40, 0}, {40.001, 1000}, {80, 1000}});
    auto r = Make();
    Gdiplus::Bitmap bitmap(780, 570);
    {
        Gdiplus::Graphics graphics(&bitmap);
        r->DrawPlot(&graphics);
    }
    Gdiplus::Color dark, light;
    bitmap.GetPixel(r->DataToPixel(20, 0).X, 280, &dark);
    bitmap.GetPixel(r->DataToPixel(60, 0).X, 280, &light);
    EXPECT_EQ(dark.GetValue(), 0xFF020202u);
    EXPECT_EQ(light.GetValue(), 0xFFFFFFFFu);
}

TEST_F(GraphRendererTest, FilmColumnsKeepPeaksNarrowerThanAPixel)
{
    settings.m_filmMode = 1;
    settings.m_filmType = 1;
    settings.m_showLegend = 0;
    // 0–80 over 700 px: columns 0.114 wide; the spike lies between two column starts.
    AddObserved({{0, 0}, {40.04, 0}, {40.05, 1000}, {40.06, 0}, {80, 0}});
    auto r = Make();
    Gdiplus::Bitmap bitmap(780, 570);
    {
        Gdiplus::Graphics graphics(&bitmap);
        r->DrawPlot(&graphics);
    }
    Gdiplus::Color peak, empty;
    bitmap.GetPixel(r->DataToPixel(40.05, 0).X, 280, &peak);
    bitmap.GetPixel(r->DataToPixel(20, 0).X, 280, &empty);
    EXPECT_EQ(peak.GetValue(), 0xFFFFFFFFu);
    EXPECT_EQ(empty.GetValue(), 0xFF020202u);
}

TEST_F(GraphRendererTest, OverlappingLabelsGiveWayToStrongerPeaks)
{
    auto p = AddObserved({{0, 0}, {80, 0}});
    p->m_labelAlignment = 3;
    p->m_rotateLabels = 0;
    CQLPeakLabelList peaks = {{p.get(), 40, 590, L"weak"}, {p.get(), 40.2, 600, L"strong"}};
    settings.m_hideOverlappingLabels = true;
    auto r = Make();
    r->DrawPeakLabels(peaks, r->GetPlotRect(), false);
    ASSERT_EQ(r->GetPlacedLabels().size(), 1u);
    // The surviving frame sits above the stronger peak.
    EXPECT_LT(r->GetPlacedLabels()[0].m_float.Y, r->DataToPixel(40.2, 600).Y);

    settings.m_hideOverlappingLabels = false;
    auto all = Make();
    all->DrawPeakLabels(peaks, all->GetPlotRect(), false);
    EXPECT_EQ(all->GetPlacedLabels().size(), 2u);
}

TEST_F(GraphRendererTest, ManyLabelsLeaveNoTwoFramesOverlapping)
{
    auto p = AddObserved({{0, 0}, {80, 0}});
    p->m_labelAlignment = 3;
    p->m_rotateLabels = 0;
    settings.m_hideOverlappingLabels = true;
    CQLPeakLabelList peaks;
    for (int i = 0; i < 600; ++i) peaks.push_back({p.get(), 80.0 * ((i * 37) % 600) / 600, 1.0 + (i * 7919) % 997, L"h k l"});
    auto r = Make();
    r->DrawPeakLabels(peaks, r->GetPlotRect(), false);
    const auto& placed = r->GetPlacedLabels();
    ASSERT_GT(placed.size(), 20u);
    ASSERT_LT(placed.size(), peaks.size());
    for (size_t i = 0; i < placed.size(); ++i)
        for (size_t j = i + 1; j < placed.size(); ++j) {
            const auto &a = placed[i].m_float, &b = placed[j].m_float;
            ASSERT_FALSE(a.X < b.X + b.Width && b.X < a.X + a.Width && a.Y < b.Y + b.Height && b.Y < a.Y + a.Height)
                << i << " and " << j;
        }
    // A second pass starts from an empty list and places the same frames.
    const size_t first = placed.size();
    r->DrawPeakLabels(peaks, r->GetPlotRect(), false);
    EXPECT_EQ(r->GetPlacedLabels().size(), first);
}

TEST_F(GraphRendererTest, LabelsNearTheTopFlipBelowThePeak)
{
    auto p = AddObserved({{0, 0}, {80, 0}});
    p->m_labelAlignment = 3;
    p->m_rotateLabels = 0;
    auto r = Make();
    CQLPeakLabelList peaks = {{p.get(), 40, 990, L"top"}};
    r->DrawPeakLabels(peaks, r->GetPlotRect(), false);
    ASSERT_EQ(r->GetPlacedLabels().size(), 1u);
    EXPECT_GT(r->GetPlacedLabels()[0].m_float.Y, r->DataToPixel(40, 990).Y);

    // Rotated labels stand as tall as their text is wide.
    p->m_rotateLabels = 1;
    CQLPeakLabelList low = {{p.get(), 40, 100, L"a long label"}};
    r->DrawPeakLabels(low, r->GetPlotRect(), false);
    EXPECT_GT(r->GetPlacedLabels()[0].m_float.Height, 6.0f * 12);
}

TEST_F(GraphRendererTest, ThinningMergesWithinAPixelAndOutputKeepsAll)
{
    auto p = AddObserved({});
    // 0.05 data units is 0.4375 px: merged into the run's mean.
    const CQLProfile dense = {{10, 0}, {10.05, 0}, {10.1, 0}, {20, 0}};
    auto r = Make();
    r->BuildPixelPoints(*p, dense);
    EXPECT_EQ(r->GetPointBuffer().size(), 2u);
    auto out = Make(780, 570, true);
    out->BuildPixelPoints(*p, dense);
    EXPECT_EQ(out->GetPointBuffer().size(), 4u);

    // Exactly one pixel apart is not merged.
    const CQLProfile spaced = {{0, 0}, {8.0 / 70, 0}, {16.0 / 70, 0}};
    r->BuildPixelPoints(*p, spaced);
    EXPECT_EQ(r->GetPointBuffer().size(), 3u);
}

TEST_F(GraphRendererTest, ControlNodesHitAndMoveTheirParts)
{
    CQLControlPoint node;
    node.x = 10;
    node.y = 5;
    node.leftX = 10;
    node.leftY = 5;
    node.rightX = 12;
    node.rightY = 6;
    LXGraphics::CSyncRect box;
    box.SetXYWH(9, 4, 2, 2);
    ASSERT_TRUE(CControlNode::HitTest(node, box, true));
    EXPECT_EQ(node.flag, 1.0);
    EXPECT_EQ(node.leftFlag, 0.0);

    box.SetXYWH(11.5f, 5.5f, 1, 1);
    ASSERT_TRUE(CControlNode::HitTest(node, box, true));
    EXPECT_EQ(node.flag, 0.0);
    EXPECT_EQ(node.rightFlag, 1.0);
    const double delta[2] = {1, 2};
    CControlNode::MoveBy(node, delta);
    EXPECT_DOUBLE_EQ(node.rightX, 13);
    EXPECT_DOUBLE_EQ(node.rightY, 8);
    EXPECT_DOUBLE_EQ(node.leftX, 7);
    EXPECT_DOUBLE_EQ(node.leftY, 2);

    box.SetXYWH(100, 100, 1, 1);
    EXPECT_FALSE(CControlNode::HitTest(node, box, true));
}

TEST_F(GraphRendererTest, HighResolutionDrawsWithoutSmoothing)
{
    g_drawDpi = 300;
    AddObserved({{0, 0}, {80, 1000}});
    auto r = Make(2400, 1800);
    Gdiplus::Bitmap bitmap(200, 200);
    Gdiplus::Graphics graphics(&bitmap);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    r->DrawFrame(&graphics, false);
    EXPECT_EQ(graphics.GetSmoothingMode(), Gdiplus::SmoothingModeNone);
}

TEST_F(GraphRendererTest, OverviewPutsBackWhatItChanged)
{
    settings.m_defaultXMin = 0;
    settings.m_defaultXMax = 160;
    AddObserved({{0, 0}, {80, 1000}});
    auto r = Make();
    const auto before = r->PixelToData(Gdiplus::PointF(300, 200));
    Gdiplus::Bitmap bitmap(400, 40);
    Gdiplus::Graphics graphics(&bitmap);
    LXGraphics::CSyncRect area;
    area.SetXYWH(0, 0, 400, 40);
    int low = -1, high = -1;
    EXPECT_TRUE(r->DrawOverview(&graphics, area, low, high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 200);
    const auto after = r->PixelToData(Gdiplus::PointF(300, 200));
    EXPECT_DOUBLE_EQ(after.first, before.first);
    EXPECT_DOUBLE_EQ(after.second, before.second);
    EXPECT_EQ(r->GetXMax(), 80);
}
// In film mode the overview draws each strip as the plot does, peak labels included; curves in
// the overview carry none.
TEST_F(GraphRendererTest, OverviewFilmStripsCarryTheirPeakLabels)
{
    settings.m_defaultXMin = 0;
    settings.m_defaultXMax = 160;
    settings.m_showLegend = 0;
    settings.m_filmType = 1;
    auto p = std::make_shared<qlwtest::OneLabelPattern>(CQLProfile{{0, 0}, {160, 1000}}, 120, 500, L"1 1 0");
    p->SetShown(true);
    p->m_labelAlignment = 1;
    p->m_rotateLabels = 0;
    tree.push_back(p);
    for (const int film : {1, 0}) {
        settings.m_filmMode = film;
        auto r = Make();
        Gdiplus::Bitmap bitmap(400, 60);
        Gdiplus::Graphics graphics(&bitmap);
        LXGraphics::CSyncRect area;
        area.SetXYWH(0, 0, 400, 60);
        int low = -1, high = -1;
        ASSERT_TRUE(r->DrawOverview(&graphics, area, low, high));
        if (!film) {
            EXPECT_TRUE(r->GetPlacedLabels().empty());
            continue;
        }
        ASSERT_EQ(r->GetPlacedLabels().size(), 1u);
        // Over the peak's place in the overview (120 of 160 across 400 pixels), inside the strip.
        const auto& frame = r->GetPlacedLabels()[0].m_float;
        EXPECT_LT(frame.X, 300.0f);
        EXPECT_GT(frame.X + frame.Width, 300.0f);
        EXPECT_GE(frame.Y, 0.0f);
        EXPECT_LE(frame.Y + frame.Height, 60.0f);
    }
}

TEST_F(GraphRendererTest, GridDrawnInPiecesMatchesTheGridDrawnAsLines)
{
    settings.m_showGrid = 1;
    settings.m_visibleXMax = 180;
    auto r = Make();
    Gdiplus::Bitmap pieces(780, 570), lines(780, 570);
    {
        Gdiplus::Graphics graphics(&pieces);
        ASSERT_TRUE(graphics.DrawsWholePixels());
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawFrame(&graphics, false);
    }
    {
        // An offset finer than the rasterizer resolves takes the line-by-line path.
        Gdiplus::Graphics graphics(&lines);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        graphics.TranslateTransform(1.0f / 4096, 1.0f / 4096);
        ASSERT_FALSE(graphics.DrawsWholePixels());
        r->DrawFrame(&graphics, false);
    }
    int largest = 0, gridPixels = 0;
    for (int y = 0; y < 570; ++y)
        for (int x = 0; x < 780; ++x) {
            Gdiplus::Color a, b;
            pieces.GetPixel(x, y, &a);
            lines.GetPixel(x, y, &b);
            for (int shift : {0, 8, 16, 24})
                largest = std::max(largest, std::abs(int((a.GetValue() >> shift) & 0xFF) -
                                                     int((b.GetValue() >> shift) & 0xFF)));
            gridPixels += x > 60 && y > 40 && x < 740 && y < 520 && b.GetValue() != 0xFFFFFFFFu;
        }
    EXPECT_GT(gridPixels, 10000);
    EXPECT_LE(largest, 3);
}
TEST_F(GraphRendererTest, GridPiecesKeptFromAnEarlierDrawingFollowEveryChange)
{
    settings.m_showGrid = 1;
    struct Variant
    {
        double xMax, yMax;
        std::uint32_t colour;
    };
    // The first comes back last: its pieces were kept, and must give the same pixels again.
    const Variant variants[] = {
        {180, 1000, 0xFFC0C0C0u}, {180, 1000, 0xFF4080C0u}, {180, 700, 0xFFC0C0C0u}, {95, 1000, 0xFFC0C0C0u},
        {180, 1000, 0xFFC0C0C0u}};
    std::vector<std::unique_ptr<Gdiplus::Bitmap>> drawn;
    for (const Variant& v : variants) {
        SCOPED_TRACE(drawn.size());
        settings.m_visibleXMax = v.xMax;
        settings.m_visibleYMax = v.yMax;
        settings.m_gridColor = v.colour;
        auto r = Make();
        auto pieces = std::make_unique<Gdiplus::Bitmap>(780, 570);
        Gdiplus::Bitmap lines(780, 570);
        {
            Gdiplus::Graphics graphics(pieces.get());
            graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
            r->DrawFrame(&graphics, false);
        }
        {
            Gdiplus::Graphics graphics(&lines);
            graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
            graphics.TranslateTransform(1.0f / 4096, 1.0f / 4096);
            r->DrawFrame(&graphics, false);
        }
        int largest = 0;
        for (int y = 0; y < 570; ++y)
            for (int x = 0; x < 780; ++x) {
                Gdiplus::Color a, b;
                pieces->GetPixel(x, y, &a);
                lines.GetPixel(x, y, &b);
                for (int shift : {0, 8, 16, 24})
                    largest = std::max(largest, std::abs(int((a.GetValue() >> shift) & 0xFF) -
                                                         int((b.GetValue() >> shift) & 0xFF)));
            }
        EXPECT_LE(largest, 3);
        drawn.push_back(std::move(pieces));
    }
    EXPECT_TRUE(drawn.front()->Q() == drawn.back()->Q());
    EXPECT_FALSE(drawn.front()->Q() == drawn[1]->Q());
}
// Compares two renderings channel by channel; counts the pixels the first one changed from white.
int LargestDifference(Gdiplus::Bitmap& a, Gdiplus::Bitmap& b, int* inked)
{
    int largest = 0;
    *inked = 0;
    for (UINT y = 0; y < a.GetHeight(); ++y)
        for (UINT x = 0; x < a.GetWidth(); ++x) {
            Gdiplus::Color p, q;
            a.GetPixel(int(x), int(y), &p);
            b.GetPixel(int(x), int(y), &q);
            *inked += p.GetValue() != 0xFFFFFFFFu;
            for (int shift : {0, 8, 16, 24})
                largest = std::max(largest, std::abs(int((p.GetValue() >> shift) & 0xFF) -
                                                     int((q.GetValue() >> shift) & 0xFF)));
        }
    return largest;
}

TEST_F(GraphRendererTest, LabelTextCopiedFromTilesMatchesTextDrawnInPlace)
{
    CGraphRenderer::SetTextMeasurer(nullptr);  // real text, real sizes
    auto p = AddObserved({{0, 0}, {80, 0}});
    p->m_labelAlignment = 3;
    p->m_labelFrame = 1;
    p->m_labelOutline = 1;
    p->m_labelColor = 0xFF2040A0u;
    for (int rotate : {0, 1}) {
        SCOPED_TRACE(rotate);
        p->m_rotateLabels = rotate;
        CQLPeakLabelList peaks;
        for (int i = 0; i < 12; ++i)
            peaks.push_back({p.get(), 5 + 6.3 * i, 150 + 53.7 * i, i % 2 ? L"1 1 0" : L"2 0 0"});
        auto r = Make();
        Gdiplus::Bitmap tiles(780, 570), direct(780, 570);
        {
            Gdiplus::Graphics graphics(&tiles);
            graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
            CQLPeakLabelList copy = peaks;
            r->DrawPeakLabels(&graphics, copy);
            copy = peaks;
            r->DrawPeakLabels(&graphics, copy);  // the second pass copies every text from its tile
        }
        {
            // An offset finer than the rasterizer resolves draws every text in place.
            Gdiplus::Graphics graphics(&direct);
            graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
            graphics.TranslateTransform(1.0f / 4096, 1.0f / 4096);
            ASSERT_FALSE(graphics.DrawsWholePixels());
            CQLPeakLabelList copy = peaks;
            r->DrawPeakLabels(&graphics, copy);
            copy = peaks;
            r->DrawPeakLabels(&graphics, copy);
        }
        int inked = 0;
        EXPECT_LE(LargestDifference(tiles, direct, &inked), 3);
        EXPECT_GT(inked, 1000);
    }
}
// On an image, placed labels are drawn in strips of columns on several threads; with one thread
// they are drawn one after another. Both leave the same pixels, overlapping and crossing strips.
TEST_F(GraphRendererTest, LabelsDrawnInStripsMatchLabelsDrawnInTurn)
{
    CGraphRenderer::SetTextMeasurer(nullptr);
    settings.m_hideOverlappingLabels = false;  // overlapping labels keep their order
    auto framed = AddObserved({{0, 0}, {80, 0}});
    framed->m_labelAlignment = 3;
    framed->m_labelFrame = 1;
    framed->m_labelOutline = 1;
    framed->m_labelColor = 0xFF2040A0u;
    auto turned = AddObserved({{0, 0}, {80, 0}});
    turned->m_labelAlignment = 3;
    turned->m_labelOutline = 1;
    turned->m_rotateLabels = 1;
    turned->m_labelColor = 0xFFA02020u;
    CQLPeakLabelList peaks;
    for (int i = 0; i < 60; ++i)
        peaks.push_back({i % 2 ? turned.get() : framed.get(), 1.0 + 1.3 * i, 60 + (i * 173) % 900,
                         i % 3 ? L"1 1 0" : L"2 0 0"});
    // Places far out or not finite change nothing in either.
    peaks.push_back({framed.get(), 1e12, 500, L"3 0 0"});
    peaks.push_back({turned.get(), std::numeric_limits<double>::quiet_NaN(), 500, L"3 1 0"});
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    // Unclipped, and clipped to a rectangle through labels as the plot clips them.
    for (const bool clip : {false, true}) {
        SCOPED_TRACE(clip);
        Gdiplus::Bitmap strips(780, 570, Gdiplus::PixelFormat32bppPARGB), inTurn(780, 570, Gdiplus::PixelFormat32bppPARGB);
        for (Gdiplus::Bitmap* bitmap : {&strips, &inTurn}) {
            pool->setMaxThreadCount(bitmap == &strips ? std::max(threads, 6) : 1);
            auto r = Make();
            Gdiplus::Graphics graphics(bitmap);
            graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
            if (clip) graphics.SetClip(Gdiplus::RectF(100.5f, 80.25f, 500.0f, 300.0f));
            CQLPeakLabelList copy = peaks;
            r->DrawPeakLabels(&graphics, copy);
        }
        pool->setMaxThreadCount(threads);
        int inked = 0;
        EXPECT_EQ(LargestDifference(strips, inTurn, &inked), 0);
        EXPECT_GT(inked, clip ? 2000 : 5000);
    }
}
TEST_F(GraphRendererTest, TurnedLabelsGrowWithAnExportAsOtherText)
{
    CGraphRenderer::SetTextMeasurer(nullptr);
    settings.m_showGrid = 0;
    auto p = AddObserved({});
    p->m_labelAlignment = 3;
    p->m_labelColor = 0xFF000000u;
    p->m_rotateLabels = 1;
    auto ink = [&](int dpi) {
        const float k = float(dpi) / 96.0f;
        g_drawDpi = dpi;
        g_textScale = k;
        auto r = Make(780 * k, 570 * k, true);
        Gdiplus::Bitmap bitmap(int(780 * k), int(570 * k));
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        CQLPeakLabelList peaks{{p.get(), 40, 500, L"2 1 1"}};
        r->DrawPeakLabels(&graphics, peaks);
        int dark = 0;
        Gdiplus::Color c;
        for (UINT y = 0; y < bitmap.GetHeight(); ++y)
            for (UINT x = 0; x < bitmap.GetWidth(); ++x)
                if (bitmap.GetPixel(INT(x), INT(y), &c) == Gdiplus::Ok && c.GetR() < 128) ++dark;
        return dark;
    };
    const int screen = ink(96), twice = ink(192);
    ASSERT_GT(screen, 30);
    // Twice the resolution: stem, arrowhead and text all twice as long and as thick.
    EXPECT_GT(twice, 3 * screen);
    EXPECT_LT(twice, 5 * screen);
}

// With the patterns stacked, the legend's cursor readouts give each pattern's own intensity, not
// the height its band lifts it to.
TEST_F(GraphRendererTest, ReadoutsOfAStackedPatternLeaveOutItsBandsOffset)
{
    auto lower = AddObserved({{0, 10}, {80, 10}});
    auto upper = AddObserved({{0, 20}, {80, 20}});
    upper->m_yOffset = 405;  // its band's base, as stacking sets it
    // Plotted where its band puts it, read as its own intensity (legend, film labels, cursor).
    EXPECT_DOUBLE_EQ(upper->GetIntensityAt(50), 425.0);
    EXPECT_DOUBLE_EQ(upper->GetReadoutIntensityAt(50), 20.0);
    EXPECT_DOUBLE_EQ(lower->GetReadoutIntensityAt(50), 10.0);
    EXPECT_DOUBLE_EQ(upper->GetReadoutIntensityAt(90), 0.0);  // outside the profile
}

// Rutile and rutile in a cell of four times the volume, 0.7 : 0.3 by weight, are 0.368 : 0.632 by
// volume: each component's curve is drawn at that share of its profile, as the mixture sums it.
TEST_F(GraphRendererTest, MixtureComponentsAreDrawnAtTheirShareOfTheSum)
{
    settings.m_showGrid = 0;
    settings.m_showLegend = 0;
    auto mixture = std::make_shared<CQLMixturePattern>(true);
    const std::uint32_t colours[2] = {0xFF0000FFu, 0xFFFF0000u};
    const double fractions[2] = {0.7, 0.3};
    for (int i = 0; i < 2; ++i) {
        auto phase = std::make_shared<CQLCrystalPattern>(true);
        const double a = i == 0 ? 4.5937 : 2 * 4.5937;
        phase->m_crystal = crystalfixtures::MakeCrystal(a, a, 2.9587, 90, 90, 90, L"P 42/m n m",
                                                         {{L"Ti", L"Ti", 0, 0, 0}, {L"O", L"O", 0.3053, 0.3053, 0}});
        phase->ApplySettings(settings);
        phase->m_profile = {{0, 1000}, {80, 1000}};  // a flat curve the test can find
        phase->m_fraction = fractions[i];
        phase->m_color = colours[i];
        phase->SetShown(true);
        mixture->m_components.push_back(phase);
    }
    mixture->SetShown(false);
    tree.push_back(mixture);
    const std::vector<double> shares = mixture->GetCurveWeights();
    ASSERT_NEAR(shares[0], 0.7 / (0.7 + 0.3 * 4), 1e-9);

    auto r = Make();
    Gdiplus::Bitmap bitmap(780, 570);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawPlot(&graphics);
    }
    // Blue for the first component, red for the second, smoothed at the edges of the line.
    auto drawnNear = [&](double y, int component) {
        const Gdiplus::PointF at = r->DataToPixel(40, y);
        for (int dy = -1; dy <= 1; ++dy) {
            Gdiplus::Color c;
            bitmap.GetPixel(int(at.X), int(at.Y) + dy, &c);
            const int own = component == 0 ? c.GetB() : c.GetR(), other = component == 0 ? c.GetR() : c.GetB();
            if (own > 200 && other < 150) return true;
        }
        return false;
    };
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(drawnNear(1000 * shares[size_t(i)], i)) << i;
        EXPECT_FALSE(drawnNear(1000 * fractions[i], i)) << i;
    }
}

TEST_F(GraphRendererTest, LegendDrawsOnlyTheRowsThatFitAndOnlyWithItsBox)
{
    settings.m_showGrid = 0;
    settings.m_showLegend = 1;
    for (int i = 0; i < 40; ++i) AddObserved({});  // no curves: only the legend marks the plot
    auto nonWhiteRows = [](Gdiplus::Bitmap& bitmap, int x0, int x1, int y0, int y1) {
        int rows = 0;
        for (int y = y0; y < y1; ++y) {
            bool any = false;
            for (int x = x0; x < x1 && !any; ++x) {
                Gdiplus::Color c;
                bitmap.GetPixel(x, y, &c);
                any = c.GetValue() != 0xFFFFFFFFu;
            }
            rows += any;
        }
        return rows;
    };
    {
        auto r = Make();
        Gdiplus::Bitmap bitmap(780, 570);
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawPlot(&graphics);
        // The box hangs 10 pixels inside the plot's top-right corner; find where it ends.
        int bottom = 40;
        for (int y = 40; y < 530; ++y) {
            Gdiplus::Color c;
            bitmap.GetPixel(700, y, &c);
            if (c.GetValue() != 0xFFFFFFFFu) bottom = y;
        }
        EXPECT_GT(bottom, 300);  // twenty-odd rows of 23 pixels fit
        EXPECT_LE(bottom, 529);
        // Nothing of the rows that did not fit is drawn below the box.
        EXPECT_EQ(nonWhiteRows(bitmap, 600, 745, bottom + 1, 529), 0);
        EXPECT_GT(nonWhiteRows(bitmap, 600, 745, 40, bottom), 300);
    }
    {
        // A plot too narrow for the box shows no legend at all.
        auto r = Make(200, 570);
        Gdiplus::Bitmap bitmap(200, 570);
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawPlot(&graphics);
        EXPECT_EQ(nonWhiteRows(bitmap, 0, 200, 0, 570), 0);
    }
}
}  // namespace
