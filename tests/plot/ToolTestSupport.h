// A renderer laid out as the plot tools see it in the tests: with a fixed text measurer a
// 780 × 570 area gives a 700 × 500 plot at (50, 30); x 0–80 and y 0–1000 make 8.75 pixels per x
// unit and 0.5 per y unit. Tools that count their update requests instead of sending them.
#pragma once

#include "GraphRenderer.h"
#include "LXGdiplus.h"
#include "PlotSettingsSupport.h"
#include "ToolRecords.h"
#include "WidgetApp.h"

#include <gtest/gtest.h>

#include <memory>

namespace qlwtest {
inline Gdiplus::SizeF FixedToolMeasure(const CString& text, float, UINT)
{
    return Gdiplus::SizeF(text == L"0.00" ? 24.0f : 6.0f * float(text.GetLength()), 14.0f);
}

template <class Tool>
class Counting : public Tool
{
public:
    using Tool::Tool;
    void Notify(int, int) override { ++notifications; }
    int notifications = 0;
};

class ToolFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { EnsureWidgetApp("test_plot"); }
    void SetUp() override
    {
        CGraphRenderer::SetTextMeasurer(FixedToolMeasure);
        qlwtest::UsePlainPlot(settings);
    }
    void TearDown() override { CGraphRenderer::SetTextMeasurer(nullptr); }
    // A renderer of the current settings, laid out, drawing into `bitmap`.
    CGraphRenderer& Renderer()
    {
        LXGraphics::CSyncRect whole;
        whole.SetXYWH(0, 0, 780, 570);
        renderer = std::make_shared<CGraphRenderer>(tree, settings, whole, false);
        renderer->UpdateLayout();
        return *renderer;
    }

    CDiffractionSettings settings{true};
    CQLPatternList tree;
    std::shared_ptr<CGraphRenderer> renderer;
};
}  // namespace qlwtest
