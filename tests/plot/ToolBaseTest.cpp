// The tool base: angles, clamping to the plot, switches with their update requests, records
// with damaged values, and the renderer's tool pass.
#include "GraphRenderer.h"

#include "LXGdiplus.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include "WidgetApp.h"

namespace {
class CountingTool : public CTool
{
public:
    void Notify(int, int) override { ++notifications; }
    void Draw(CGraphRenderer* renderer) override
    {
        drawnWith = renderer;
        drawnElevation = m_elevation;
        LXGraphics::CSyncRect plot;
        GetPlotGeometry(plot);
        plotWidthWhileDrawn = plot.m_float.Width;
    }
    int notifications = 0;
    CGraphRenderer* drawnWith = nullptr;
    int drawnElevation = 0;
    float plotWidthWhileDrawn = 0;
};

LXGraphics::CSyncRect Rect(float x, float y, float w, float h)
{
    LXGraphics::CSyncRect r;
    r.SetXYWH(x, y, w, h);
    return r;
}

TEST(ToolBase, AnglesAreKeptInOneTurn)
{
    const struct {
        double in, out;
    } cases[] = {{370.5, 10.5}, {-30, 330}, {360, 0}, {-0.5, 359.5}, {720.25, 0.25},
                 {std::numeric_limits<double>::quiet_NaN(), 0}, {std::numeric_limits<double>::infinity(), 0}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(CTool::NormaliseAngle(c.in), c.out) << c.in;

    CountingTool tool;
    tool.SetAngle(370.5);
    EXPECT_DOUBLE_EQ(tool.m_rec.angle, 10.5);
    EXPECT_EQ(tool.notifications, 1);
    tool.SetAngle(10.5);
    EXPECT_EQ(tool.notifications, 1);
}

TEST(ToolBase, DamagedRecordsReadAsZero)
{
    CTool::FlatRec rec;
    rec.x = std::numeric_limits<float>::quiet_NaN();
    rec.y = -std::numeric_limits<float>::infinity();
    rec.angle = std::numeric_limits<double>::quiet_NaN();
    rec.visible = 1;
    CountingTool tool;
    tool.SetFromFlatRec(rec);
    EXPECT_EQ(tool.m_rec.x, 0.0f);
    EXPECT_EQ(tool.m_rec.y, 0.0f);
    EXPECT_EQ(tool.m_rec.angle, 0.0);
    EXPECT_TRUE(tool.IsActive());
    EXPECT_EQ(tool.notifications, 0);
}

TEST(ToolBase, ADefaultToolIsTranslucentBlueAndAChosenColourKeepsItsAlpha)
{
    CountingTool tool;
    EXPECT_EQ(tool.m_rec.color, 0xD81919FFu);
    CToolPlotHooks& hooks = ToolPlotHooks();
    const auto saved = hooks.pickColour;
    hooks.pickColour = [](HWND, COLORREF& colour) {
        colour = RGB(0xFF, 0, 0);
        return true;
    };
    EXPECT_TRUE(tool.ChooseColour());
    hooks.pickColour = saved;
    EXPECT_EQ(tool.m_rec.color, 0xD8FF0000u);
}

TEST(ToolBase, OffsetsAreClampedToThePlot)
{
    CountingTool tool;
    tool.AttachRenderer(nullptr, Rect(0, 0, 400, 300));
    tool.m_renderer = reinterpret_cast<CGraphRenderer*>(&tool);  // any non-null: the rectangle is attached
    tool.m_rec.x = 250;
    tool.m_rec.y = -200;
    tool.ClampToPlot();
    EXPECT_EQ(tool.m_rec.x, 200);
    EXPECT_EQ(tool.m_rec.y, -150);
    tool.MoveTo(10, 20);
    EXPECT_EQ(tool.m_rec.x, -190);
    EXPECT_EQ(tool.m_rec.y, -130);

    tool.AttachRenderer(reinterpret_cast<CGraphRenderer*>(&tool), Rect(0, 0, 0, 300));
    tool.m_rec.x = 250;
    tool.ClampToPlot();
    EXPECT_EQ(tool.m_rec.x, 250);
}

TEST(ToolBase, SwitchesNotifyOnlyOnChange)
{
    CountingTool tool;
    tool.Hide();
    EXPECT_EQ(tool.notifications, 0);
    tool.ToggleActive();
    tool.Show();
    tool.Show();
    EXPECT_EQ(tool.notifications, 2);
    tool.ToggleActive();  // Hide, then the switch
    EXPECT_EQ(tool.notifications, 4);
    EXPECT_FALSE(tool.IsActive());
    EXPECT_FALSE(tool.IsShown());

    const double before = tool.m_rec.angle;
    tool.CopyFrom(tool);
    EXPECT_EQ(tool.m_rec.angle, before);
}

TEST(ToolBase, TheRendererDrawsActiveToolsLastFirst)
{
    qlwtest::EnsureWidgetApp("test_plot");
    CDiffractionSettings settings(true);
    settings.m_visibleXMax = 80;
    settings.m_visibleYMax = 1000;
    auto first = std::make_shared<CountingTool>(), off = std::make_shared<CountingTool>(),
         last = std::make_shared<CountingTool>();
    first->m_rec.visible = last->m_rec.visible = 1;
    settings.m_tools = {first, off, last};
    CGraphRenderer renderer(CQLPatternList{}, settings, Rect(0, 0, 780, 570), false);
    Gdiplus::Bitmap bitmap(780, 570);
    Gdiplus::Graphics graphics(&bitmap);
    renderer.DrawTools(&graphics);
    EXPECT_EQ(last->drawnElevation, 2);
    EXPECT_EQ(first->drawnElevation, 3);
    EXPECT_EQ(off->drawnWith, nullptr);
    EXPECT_EQ(first->drawnWith, &renderer);
    EXPECT_EQ(first->plotWidthWhileDrawn, renderer.GetPlotRect().m_float.Width);
    EXPECT_EQ(first->m_renderer, nullptr);
}
}  // namespace
