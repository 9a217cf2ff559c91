// The overview box: the window frame from the renderer's overview, dimming and hit codes.
#include "GraphRenderer.h"
#include "OverviewBox.h"

#include "LXGdiplus.h"
#include "QLObservedPattern.h"

#include <QApplication>
#include <gtest/gtest.h>
#include "WidgetApp.h"

namespace {
class OverviewBoxTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qlwtest::EnsureWidgetApp("test_plot");
    }
    void SetUp() override
    {
        settings.m_defaultXMin = 0;
        settings.m_defaultXMax = 100;
        settings.m_visibleYMin = 0;
        settings.m_visibleYMax = 10;
        auto p = std::make_shared<CQLObservedPattern>(CQLProfile{{0, 0}, {100, 10}}, true);
        p->SetShown(true);
        tree.push_back(p);
    }
    void Draw(double xMin, double xMax, float width = 200)
    {
        settings.m_visibleXMin = xMin;
        settings.m_visibleXMax = xMax;
        LXGraphics::CSyncRect whole;
        whole.SetXYWH(0, 0, 780, 570);
        CGraphRenderer renderer(tree, settings, whole, false);
        LXGraphics::CSyncRect box;
        box.SetXYWH(100, 50, width, 40);
        canvas.Clear(Gdiplus::Color(0xFFFFFFFFu));
        overview.Draw(&canvas, box, renderer);
    }
    bool Press(float x, float y)
    {
        COverviewBox::MouseEvent event;
        event.point = LXGraphics::CSyncPoint(x, y);
        return overview.HitTest(event);
    }

    CDiffractionSettings settings{true};
    CQLPatternList tree;
    Gdiplus::Bitmap bitmap{400, 200};
    Gdiplus::Graphics canvas{&bitmap};
    COverviewBox overview;
};

TEST_F(OverviewBoxTest, PressesAreSortedByTheWindow)
{
    Draw(25, 50);
    EXPECT_EQ(overview.GetLow(), 50);
    EXPECT_EQ(overview.GetHigh(), 100);
    EXPECT_EQ(overview.GetWindowRect().m_int.X, 150);
    EXPECT_TRUE(Press(150, 70));
    EXPECT_EQ(overview.GetHitCode(), COverviewBox::kHitWindow);
    EXPECT_TRUE(Press(149, 70));
    EXPECT_EQ(overview.GetHitCode(), COverviewBox::kHitLeft);
    EXPECT_TRUE(Press(260, 70));
    EXPECT_EQ(overview.GetHitCode(), COverviewBox::kHitRight);
    // Five pixels outside the thumbnail still hit, six do not.
    EXPECT_TRUE(Press(305, 70));
    EXPECT_FALSE(Press(306, 70));
    EXPECT_EQ(overview.GetHitCode(), COverviewBox::kHitRight);
    EXPECT_FALSE(Press(200, 96));
}

TEST_F(OverviewBoxTest, OnlyThePartsOutsideTheWindowAreDimmed)
{
    overview.SetColour(0, 0, 0);
    Draw(0, 100);
    EXPECT_EQ(overview.GetLow(), 0);
    EXPECT_EQ(overview.GetHigh(), 200);
    Gdiplus::Color left;
    bitmap.GetPixel(140, 70, &left);
    EXPECT_EQ(left.GetValue(), 0xFFFFFFFFu);

    Draw(50, 100);
    EXPECT_EQ(overview.GetLow(), 100);
    Gdiplus::Color dimmed, kept;
    bitmap.GetPixel(140, 70, &dimmed);
    bitmap.GetPixel(250, 85, &kept);
    EXPECT_LT(dimmed.GetR(), 160);
    EXPECT_EQ(kept.GetValue(), 0xFFFFFFFFu);
}

TEST_F(OverviewBoxTest, ANewBoxSizeMakesANewThumbnail)
{
    Draw(0, 100, 200);
    ASSERT_TRUE(overview.GetThumbnail());
    EXPECT_EQ(overview.GetThumbnail()->Q().width(), 200);
    const Gdiplus::Bitmap* first = overview.GetThumbnail();
    Draw(0, 100, 200);
    EXPECT_EQ(overview.GetThumbnail(), first);
    Draw(0, 100, 250);
    EXPECT_EQ(overview.GetThumbnail()->Q().width(), 250);
}
}  // namespace
