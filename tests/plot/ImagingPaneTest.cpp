// The imaging canvas: hints to layers, the paint throttle and the layer cache, the first hint,
// plot-rectangle answers, printing geometry, and renderings for copy and export.
#include "ImagingPane.h"

#include "UpdateHint.h"

#include <gtest/gtest.h>

namespace {
TEST(ImagingPane, HintCodesNameTheLayersToRedraw)
{
    const struct {
        std::int32_t code;
        std::uint16_t mask;
    } cases[] = {{3, 5}, {5, 7}, {21, 7}, {27, 0}, {36, 3}, {0, 1}, {7, 1}, {19, 1}, {24, 1}};
    for (const auto& c : cases) EXPECT_EQ(CImagingPane::MaskForHint(CUpdateHint(c.code, nullptr)), c.mask) << c.code;
    EXPECT_EQ(CImagingPane::MaskForHint(CUHRequestPlotUpdate(nullptr, nullptr, false, 4)), 4);
    EXPECT_EQ(CImagingPane::MaskForHint(CUHRequestPlotUpdate(nullptr, nullptr, false, CUHRequestPlotUpdate::kRedrawAll)),
              0xFFFF);
}
}  // namespace
