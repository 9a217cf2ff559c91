// The peak tip's content: the reflexion found under the mouse, shortened names, widths and
// offsets, and a renderer that is gone.
#include "FloatingPeakTip.h"
#include "GraphRenderer.h"

#include "QLCrystalPattern.h"

#include <QApplication>
#include <gtest/gtest.h>
#include "WidgetApp.h"

namespace {
float g_valuesWidth = 100;
float g_charWidth = 6;

Gdiplus::SizeF TipMeasure(const CString& text, float, UINT)
{
    if (text.Find(L'\n') >= 0) return Gdiplus::SizeF(g_valuesWidth, 60);
    return Gdiplus::SizeF(text == L"0.00" ? 24.0f : g_charWidth * float(text.GetLength()), 14);
}

class FloatingPeakTipTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qlwtest::EnsureWidgetApp("test_plot");
    }
    void SetUp() override
    {
        CGraphRenderer::SetTextMeasurer(TipMeasure);
        g_valuesWidth = 100;
        g_charWidth = 6;
        settings.m_visibleXMin = 0;
        settings.m_visibleXMax = 80;
        settings.m_visibleYMin = 0;
        settings.m_visibleYMax = 1000;
        pattern = std::make_shared<CQLCrystalPattern>(true);
        pattern->SetShown(true);
        pattern->m_title = L"rutile";
        pattern->m_xOffset = 2;
        auto r = std::make_shared<CQLReflexion>();
        r->h = 1;
        r->k = 1;
        r->l = 0;
        r->x = 30;
        r->d = 3.25;
        r->intensity = 43.162;
        r->relativeIntensity = 1;
        r->multiplicity = 4;
        r->width = 0.05;
        pattern->m_crystal.m_reflexions.push_back(r);
        tree.push_back(pattern);
        LXGraphics::CSyncRect whole;
        whole.SetXYWH(0, 0, 780, 570);
        renderer = std::make_shared<CGraphRenderer>(tree, settings, whole, false);
        renderer->UpdateLayout();
        tip.SetRenderer(renderer, settings);
    }
    void TearDown() override { CGraphRenderer::SetTextMeasurer(nullptr); }

    CDiffractionSettings settings{true};
    CQLPatternList tree;
    std::shared_ptr<CQLCrystalPattern> pattern;
    std::shared_ptr<CGraphRenderer> renderer;
    CFloatingPeakTip tip;
};

TEST_F(FloatingPeakTipTest, FindsTheReflexionWhereThePlotDrawsIt)
{
    // Drawn at 30 + offset 2; four pixels are 0.457 units here.
    tip.SetPeak(32.3f, pattern);
    ASSERT_TRUE(tip.FindAndPlace());
    EXPECT_EQ(tip.GetReflexion()->x, 30);
    tip.ComputeContent();
    EXPECT_EQ(tip.GetHKLText(), CString(L"1 1 0"));
    EXPECT_EQ(tip.GetPhaseName(), CString(L"rutile"));
    EXPECT_EQ(tip.GetValuesText().Left(7), CString(L"30.000\u00B0"));
    EXPECT_NE(tip.GetValuesText().Find(L"43.162 (100.0%)\n4\n0.100"), -1) << tip.GetValuesText().GetString();

    // Four pixels away is a hit, five are not (8.75 pixels per unit).
    tip.SetPeak(float(32 + 3.99 / 8.75), pattern);
    EXPECT_TRUE(tip.FindAndPlace());
    tip.SetPeak(float(32 + 5 / 8.75), pattern);
    EXPECT_FALSE(tip.FindAndPlace());

    // Where the reflexion would be without the offset there is nothing: the content stays.
    tip.SetPeak(30.0f, pattern);
    EXPECT_FALSE(tip.FindAndPlace());
    EXPECT_EQ(tip.GetReflexion()->x, 30);
}

TEST_F(FloatingPeakTipTest, ARendererThatIsGoneFindsNothing)
{
    tip.SetPeak(32, pattern);
    renderer.reset();
    EXPECT_FALSE(tip.FindAndPlace());
}

TEST_F(FloatingPeakTipTest, WidthsAndOffsetsFollowTheTexts)
{
    tip.SetPeak(32, pattern);
    ASSERT_TRUE(tip.FindAndPlace());
    tip.ComputeContent();
    EXPECT_EQ(tip.GetTipWidth(), 180);
    EXPECT_EQ(tip.GetExpandedOffset(), 0);
    EXPECT_EQ(tip.GetCompactOffset(), (180 - (36 + 80)) / 2);

    g_valuesWidth = 150;
    tip.ComputeContent();
    EXPECT_EQ(tip.GetTipWidth(), 230);
    EXPECT_EQ(tip.GetExpandedOffset(), 76);
}

TEST_F(FloatingPeakTipTest, LongNamesAreShortenedAndTheLoopEnds)
{
    pattern->m_title = CString(L'N', 50);  // 300 pixels
    tip.SetPeak(32, pattern);
    ASSERT_TRUE(tip.FindAndPlace());
    tip.ComputeContent();
    const CString name = tip.GetPhaseName();
    EXPECT_EQ(name.Right(3), CString(L"..."));
    EXPECT_LE(6 * name.GetLength() + 120, 256);
    EXPECT_GT(6 * (name.GetLength() + 3) + 120, 256);

    // With a huge font even "..." is too wide: the name empties rather than looping forever.
    g_charWidth = 200;
    pattern->m_title = L"rutile";
    tip.ComputeContent();
    EXPECT_TRUE(tip.GetPhaseName().IsEmpty());
}

// Whether any pixel of column x in rows [top, bottom) is darker than the balloon.
bool Inked(Gdiplus::Bitmap& image, int x, int top, int bottom)
{
    for (int y = top; y < bottom; ++y) {
        Gdiplus::Color c;
        image.GetPixel(x, y, &c);
        if (c.GetR() < 200) return true;
    }
    return false;
}

// The expanded tip's labels and values in real text: the widest label, "FWHM =", keeps a blank
// gap before its value, which starts where every value starts.
TEST_F(FloatingPeakTipTest, LabelsStayApartFromTheirValues)
{
    CFloatingPeakTip expanded;
    expanded.RestartTimer(0);  // as a click expands it
    ASSERT_TRUE(expanded.IsExpanded());
    expanded.SetRenderer(renderer, settings);
    expanded.SetPeak(32, pattern);
    ASSERT_TRUE(expanded.FindAndPlace());
    expanded.ComputeContent();
    const int width = int(expanded.GetTipWidth()), height = 115;
    Gdiplus::Bitmap image(width, height, Gdiplus::PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&image);
        g.Clear(Gdiplus::Color(0xFFFFFFFFu));
        expanded.DrawContent(&g, Gdiplus::RectF(0, 0, float(width), float(height)));
    }
    // The text lines below the heading: runs of rows with ink.
    std::vector<std::pair<int, int>> lines;
    for (int y = 24; y < height; ++y) {
        bool ink = false;
        for (int x = 0; x < width && !ink; ++x) ink = Inked(image, x, y, y + 1);
        if (ink && (lines.empty() || lines.back().second != y)) lines.push_back({y, y + 1});
        else if (ink) lines.back().second = y + 1;
    }
    ASSERT_EQ(lines.size(), 5u);
    // The values' left edge, from the first line, whose label "x =" is short.
    int valuesLeft = 45;
    while (valuesLeft < width && !Inked(image, valuesLeft, lines[0].first, lines[0].second)) ++valuesLeft;
    ASSERT_LT(valuesLeft, width);
    const auto& fwhm = lines.back();
    EXPECT_TRUE(Inked(image, valuesLeft + 1, fwhm.first, fwhm.second)) << "the value starts with the others";
    for (int x = valuesLeft - 2; x < valuesLeft; ++x)
        EXPECT_FALSE(Inked(image, x, fwhm.first, fwhm.second)) << "\"FWHM =\" touches its value at x = " << x;
}
}  // namespace
