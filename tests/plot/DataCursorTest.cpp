// The data cursor: its hit band, drags, placement at a data x, readout texts and drawing.
#include "ToolTestSupport.h"

#include "QLObservedPattern.h"

#include <cmath>
#include <limits>

namespace {
using CountingCursor = qlwtest::Counting<CCursor>;

class DataCursorTest : public qlwtest::ToolFixture
{
};

TEST_F(DataCursorTest, HitsWithinFourPixelsOfTheLine)
{
    CountingCursor cursor{CCursor::FlatRec{}};
    cursor.m_rec.visible = 1;
    cursor.AttachRenderer(&Renderer());  // line at x = 400
    const struct {
        LONG x;
        bool hit;
    } cases[] = {{400, true}, {404, true}, {396, true}, {405, false}, {395, false}};
    for (const auto& c : cases) {
        const POINT p{c.x, 17};
        EXPECT_EQ(cursor.HitTest(p), c.hit) << c.x;
        EXPECT_EQ(cursor.GetCursorIdAt(p, false), c.hit ? 2003u : 0xFFFFFFFFu) << c.x;
    }
    EXPECT_FALSE(cursor.OnLButtonDown(POINT{405, 300}, true));
    EXPECT_FALSE(cursor.IsShown());
    EXPECT_FALSE(cursor.OnLButtonDown(POINT{404, 300}, false));
    EXPECT_TRUE(cursor.OnLButtonDown(POINT{404, 300}, true));
    EXPECT_TRUE(cursor.IsShown());
}

TEST_F(DataCursorTest, DragsOnlySideways)
{
    CountingCursor cursor{CCursor::FlatRec{}};
    cursor.AttachRenderer(&Renderer());
    cursor.DragBy(POINT{400, 280}, 0, 7);
    EXPECT_EQ(cursor.m_rec.x, 0.0f);
    cursor.DragBy(POINT{400, 280}, 3, 7);
    EXPECT_EQ(cursor.m_rec.x, 3.0f);
    EXPECT_EQ(cursor.m_rec.y, 0.0f);
    // A click puts the line there and keeps it on the plot's mid-line.
    cursor.MoveTo(120, 500);
    EXPECT_EQ(cursor.m_rec.x, -280.0f);
    EXPECT_EQ(cursor.m_rec.y, 0.0f);
    EXPECT_NEAR(cursor.GetDataX(), 70 / 8.75, 1e-6);
}

TEST_F(DataCursorTest, IntensityTexts)
{
    const struct {
        double value;
        const wchar_t* text;
    } cases[] = {{100, L"100.000"},
                 {250, L"2.500 \u00D7 10^2"},
                 {0.05, L"5.000 \u00D7 10^-2"},
                 {0.1, L"0.100"},
                 {0, L"0"},
                 {1500, L"1.500 \u00D7 10^3"},
                 {99999.99, L"1.000 \u00D7 10^5"}};
    for (const auto& c : cases) EXPECT_EQ(CCursor::FormatIntensity(c.value), CString(c.text)) << c.value;
}

TEST_F(DataCursorTest, XReadoutHasABlankBeforeEveryUnitBut2Theta)
{
    EXPECT_EQ(CCursor::FormatXReadout(12.3456, L"\u00B0", 1), CString(L"12.3456\u00B0"));
    EXPECT_EQ(CCursor::FormatXReadout(2.3456, L"\u00C5", 2), CString(L"2.3456 \u00C5"));
}

TEST_F(DataCursorTest, PlacedAtADataValueMovesThereWhenDrawn)
{
    auto cursor = std::make_shared<CountingCursor>(CCursor::FlatRec{});
    settings.m_tools = {cursor};
    cursor->PlaceAt(20);
    EXPECT_TRUE(cursor->IsActive());
    EXPECT_TRUE(cursor->IsShown());
    EXPECT_EQ(cursor->m_xSet, 1);

    Gdiplus::Bitmap bitmap(780, 570);
    Gdiplus::Graphics graphics(&bitmap);
    Renderer().DrawTools(&graphics);
    EXPECT_EQ(cursor->m_xSet, 0);
    EXPECT_FLOAT_EQ(cursor->m_rec.x, 225.0f - 400.0f);  // 50 + 20 × 8.75
    // The line is drawn in the cursor's colour down the whole plot.
    Gdiplus::Color pixel;
    bitmap.GetPixel(225, 280, &pixel);
    EXPECT_EQ(pixel.GetValue(), 0xFFFF0000u);
}

TEST_F(DataCursorTest, WithoutAUsableSpanNothingMovesOrIsDrawn)
{
    auto cursor = std::make_shared<CountingCursor>(CCursor::FlatRec{});
    settings.m_tools = {cursor};
    cursor->PlaceAt(20);
    settings.m_visibleXMax = settings.m_visibleXMin;  // zero span
    Gdiplus::Bitmap bitmap(780, 570);
    Gdiplus::Graphics graphics(&bitmap);
    Renderer().DrawTools(&graphics);
    EXPECT_EQ(cursor->m_xSet, 1);
    EXPECT_EQ(cursor->m_rec.x, 0.0f);

    // A non-finite x leaves the line where it is.
    settings.m_visibleXMax = 80;
    cursor->AttachRenderer(&Renderer());
    cursor->SetXValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(cursor->m_rec.x, 0.0f);
}

TEST_F(DataCursorTest, MarksEachPatternBelowTheTopOfThePlot)
{
    // A flat pattern at 400 gets a marker; one at 2000 lies above the plot and gets none.
    auto low = std::make_shared<CQLObservedPattern>(CQLProfile{{0, 400}, {80, 400}}, true);
    auto high = std::make_shared<CQLObservedPattern>(CQLProfile{{0, 2000}, {80, 2000}}, true);
    for (auto& p : {low, high}) {
        p->SetShown(true);
        p->m_color = 0xFF00C000u;
        tree.push_back(p);
    }
    auto cursor = std::make_shared<CountingCursor>(CCursor::FlatRec{});
    cursor->m_rec.visible = 1;
    cursor->m_rec.x = -100;  // x = 300
    settings.m_tools = {cursor};
    Gdiplus::Bitmap bitmap(780, 570);
    Gdiplus::Graphics graphics(&bitmap);
    Renderer().DrawTools(&graphics);
    Gdiplus::Color pixel;
    bitmap.GetPixel(300, 330, &pixel);  // the marker's centre: 530 − 400 × 0.5
    EXPECT_EQ(pixel.GetValue(), 0xFF00C000u);
    int green = 0;
    for (int y = 30; y < 60; ++y)
        for (int x = 290; x < 360; ++x) {
            bitmap.GetPixel(x, y, &pixel);
            green += pixel.GetValue() == 0xFF00C000u;
        }
    EXPECT_EQ(green, 0);
}

TEST_F(DataCursorTest, ResetKeepsTheDSpacingReadout)
{
    CountingCursor cursor{CCursor::FlatRec{}};
    cursor.m_showDSpacing = 1;
    cursor.m_rec.color = 0xFF00FF00u;
    cursor.m_rec.visible = 1;
    cursor.ResetToDefaults();
    EXPECT_EQ(cursor.m_rec.color, 0xFFFF0000u);
    EXPECT_FALSE(cursor.IsActive());
    EXPECT_EQ(cursor.m_showDSpacing, 1);
    EXPECT_EQ(cursor.notifications, 1);
}
}  // namespace

TEST_F(DataCursorTest, TheLegendReadsAPlacedCursorBeforeTheLineHasMoved)
{
    // A ramp: every x has its own intensity in the legend, measured with the fonts it is drawn in.
    CGraphRenderer::SetTextMeasurer(nullptr);
    auto p = std::make_shared<CQLObservedPattern>(CQLProfile{{0, 0}, {80, 800}}, true);
    p->SetShown(true);
    tree.push_back(p);
    settings.m_showLegend = 1;
    auto cursor = std::make_shared<CCursor>(CCursor::FlatRec{});  // the plot looks for this very class
    settings.m_tools = {cursor};
    auto legend = [&] {
        Gdiplus::Bitmap bitmap(780, 570);
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        Renderer().DrawPlot(&graphics);
        QImage image = bitmap.Q().copy(400, 30, 380, 100);  // the plot's top right corner
        return image;
    };
    // Centred on a reflexion: placed at a data x, the line moves there when the tools are drawn,
    // after the legend.
    cursor->PlaceAt(22.8);
    const QImage placed = legend();
    {
        Gdiplus::Bitmap bitmap(780, 570);
        Gdiplus::Graphics graphics(&bitmap);
        Renderer().DrawTools(&graphics);
    }
    ASSERT_EQ(cursor->m_xSet, 0);
    const QImage moved = legend();
    EXPECT_TRUE(placed == moved) << "the legend shows the value at the placed x at once";
    // And the value is not the one at the plot's middle.
    cursor->m_rec.x = 0;
    EXPECT_FALSE(legend() == moved);
}
