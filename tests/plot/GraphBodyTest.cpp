// The graph body as drawn: curve joins at sharp peaks, and the background of an observed pattern
// with its subtraction preview, shown or hidden.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "PlotSettingsSupport.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "WidgetApp.h"

namespace {
Gdiplus::SizeF FixedMeasure(const CString& text, float, UINT)
{
    return Gdiplus::SizeF(text == L"0.00" ? 24.0f : 6.0f * float(text.GetLength()), 14.0f);
}

class GraphBodyTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { qlwtest::EnsureWidgetApp("test_plot"); }
    void SetUp() override
    {
        CGraphRenderer::SetTextMeasurer(FixedMeasure);
        qlwtest::UsePlainPlot(settings);
        settings.m_showGrid = 0;
    }
    void TearDown() override { CGraphRenderer::SetTextMeasurer(nullptr); }

    std::shared_ptr<CQLObservedPattern> AddObserved(CQLProfile points, std::uint32_t colour)
    {
        auto p = std::make_shared<CQLObservedPattern>(std::move(points), true);
        p->SetShown(true);
        p->m_color = colour;
        tree.push_back(p);
        return p;
    }
    // Draws the plot at 780 × 570 and hands back the renderer that placed it.
    std::unique_ptr<CGraphRenderer> Draw(Gdiplus::Bitmap& bitmap, bool output = false)
    {
        LXGraphics::CSyncRect area;
        area.SetXYWH(0, 0, 780, 570);
        auto r = std::make_unique<CGraphRenderer>(tree, settings, area, output);
        r->UpdateLayout();
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        r->DrawPlot(&graphics);
        return r;
    }
    // The topmost row in columns x0..x1 with a pixel of that colour family.
    static int TopRow(Gdiplus::Bitmap& bitmap, int x0, int x1, const std::function<bool(const Gdiplus::Color&)>& is)
    {
        for (int y = 0; y < int(bitmap.GetHeight()); ++y)
            for (int x = x0; x <= x1; ++x) {
                Gdiplus::Color c;
                bitmap.GetPixel(x, y, &c);
                if (is(c)) return y;
            }
        return -1;
    }
    static bool Blue(const Gdiplus::Color& c) { return c.GetB() > 150 && c.GetR() < 120 && c.GetG() < 120; }
    static bool Red(const Gdiplus::Color& c) { return c.GetR() > 150 && c.GetG() < 120 && c.GetB() < 120; }
    static bool Green(const Gdiplus::Color& c) { return c.GetG() > 120 && c.GetR() < 100 && c.GetB() < 100; }

    CDiffractionSettings settings{true};
    CQLPatternList tree;
};
}  // namespace

TEST_F(GraphBodyTest, ASharpPeakEndsWhereItsPointIs)
{
    // A peak one pixel wide and 400 pixels high, drawn with a thick line.
    auto p = AddObserved({{0, 0}, {39.9, 0}, {40, 800}, {40.1, 0}, {80, 0}}, 0xFF0000FFu);
    p->m_lineWidth = 6;
    for (const bool output : {false, true}) {
        Gdiplus::Bitmap bitmap(780, 570);
        auto r = Draw(bitmap, output);
        const Gdiplus::PointF tip = r->DataToPixel(40, 800);
        const int top = TopRow(bitmap, int(tip.X) - 10, int(tip.X) + 10, Blue);
        ASSERT_GE(top, 0);
        // Half the line's width above the point at most, not the length of a mitre.
        EXPECT_GE(top, int(tip.Y) - 4) << "output " << output;
    }
}

TEST_F(GraphBodyTest, TheBackgroundAndItsSubtractionPreviewShowUnlessHidden)
{
    // Data rising from 200 to 1000; the background two nodes at 200, so the preview of the
    // subtracted data runs from 0 to 800 and all three lines part at x = 40.
    auto p = AddObserved({{0, 200}, {20, 400}, {40, 600}, {60, 800}, {80, 1000}}, 0xFF0000FFu);
    p->AddBackgroundCurve();
    ASSERT_FALSE(p->m_processedCurve.empty());
    p->m_extraStyle.color = 0xFFFF0000u;
    p->m_extraStyle.lineWidth = 2;
    p->m_backgroundStyle.color = 0xFF00A000u;
    struct Case {
        bool subtract, preview, background, extra;
    } cases[] = {{false, true, true, true}, {false, false, true, false}, {true, true, false, false}};
    for (const Case& c : cases) {
        p->m_subtractBackground = c.subtract;
        p->m_previewSubtraction = c.preview;
        Gdiplus::Bitmap bitmap(780, 570);
        auto r = Draw(bitmap);
        const int x = int(r->DataToPixel(40, 0).X);
        auto near = [&](double y, const std::function<bool(const Gdiplus::Color&)>& is) {
            const int row = int(r->DataToPixel(40, y).Y);
            for (int dy = -2; dy <= 2; ++dy) {
                Gdiplus::Color colour;
                bitmap.GetPixel(x, row + dy, &colour);
                if (is(colour)) return true;
            }
            return false;
        };
        const std::string which = std::to_string(c.subtract) + std::to_string(c.preview);
        EXPECT_EQ(near(200, Green), c.background) << which;
        EXPECT_EQ(near(400, Red), c.extra) << which;
        // Subtracted, the pattern's own curve is the processed one.
        EXPECT_TRUE(near(c.subtract ? 400 : 600, Blue)) << which;
    }
}

TEST_F(GraphBodyTest, ALogarithmicAxisAboveZeroUsesOneMappingForScaleCurvesAndLabels)
{
    settings.m_logarithmicYAxis = 1;
    settings.m_visibleYMin = 100;
    settings.m_visibleYMax = 10000;
    AddObserved({{0, 1000}, {80, 1000}}, 0xFF0000FFu);
    Gdiplus::Bitmap bitmap(780, 570);
    auto r = Draw(bitmap);
    const auto& plot = r->GetPlotRect().m_float;
    const double bottom = plot.Y + plot.Height;
    auto u = [](double y) { return std::log10(y + 1); };
    // The axis ends are the range's ends; 1000 lies where log10(y + 1) puts it between them.
    EXPECT_NEAR(r->DataToPixel(40, 100).Y, bottom, 0.01);
    EXPECT_NEAR(r->DataToPixel(40, 10000).Y, plot.Y, 0.01);
    const double at1000 = bottom - (u(1000) - u(100)) / (u(10000) - u(100)) * plot.Height;
    EXPECT_NEAR(r->DataToPixel(40, 1000).Y, at1000, 0.01);
    EXPECT_NEAR(r->PixelToData(Gdiplus::PointF(200, float(at1000))).second, 1000, 0.01);
    // Each label stands where the transform puts the value it names.
    const auto labels = r->GetYTickLabels();
    ASSERT_FALSE(labels.empty());
    for (const auto& label : labels) {
        const double labelY = bottom - (label.value - u(100)) * r->GetYPixelsPerUnit();
        EXPECT_NEAR(r->DataToPixel(40, std::pow(10.0, label.value) - 1).Y, labelY, 0.01) << label.value;
    }
    // And the curve is drawn there, inside the plot.
    Gdiplus::Color c;
    bool found = false;
    for (int dy = -2; dy <= 2 && !found; ++dy) {
        bitmap.GetPixel(int(r->DataToPixel(40, 1000).X), int(at1000) + dy, &c);
        found = Blue(c);
    }
    EXPECT_TRUE(found);
}
