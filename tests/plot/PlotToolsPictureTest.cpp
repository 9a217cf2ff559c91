// The cursor and the ruler over a real pattern (rutile), drawn as the canvas draws them: the
// readout labels must sit below and above the plot at the line, the ruler over the plot. With
// QLW_PICTURE_DIR set the picture is also written there as plot-tools.png, for looking at.
#include "GraphRenderer.h"

#include "FileTypes.h"
#include "LXGdiplus.h"
#include "LXImages.h"
#include "QlwDoc.h"
#include "ToolRecords.h"
#include "WidgetApp.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
// Pixels of the labels' near-white text inside a box.
int NearWhite(Gdiplus::Bitmap& bitmap, int left, int top, int right, int bottom)
{
    int count = 0;
    Gdiplus::Color pixel;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            bitmap.GetPixel(x, y, &pixel);
            count += pixel.GetValue() == 0xFFFDFDFDu;
        }
    return count;
}

// Darker greys of the label boxes (the plot's paper is white, the frame black).
int Grey(Gdiplus::Bitmap& bitmap, int left, int top, int right, int bottom)
{
    int count = 0;
    Gdiplus::Color pixel;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            bitmap.GetPixel(x, y, &pixel);
            const int r = pixel.GetRed(), g = pixel.GetGreen(), b = pixel.GetBlue();
            count += r == g && g == b && r > 0x30 && r < 0xC0;
        }
    return count;
}

TEST(PlotTools, ReadoutsAndRulerAreDrawnOverRutile)
{
    qlwtest::EnsureWidgetApp("test_plot");
    StartGdiplus();
    InstallFileTypeRecogniser();
    g_drawDpi = g_screenDpi = 96;
    CQlwDoc doc;
    doc.OnNewDocument();
    doc.AddFilesFromDrop({CString(QLW_SOURCE_DIR "/examples/rutile.cif")});
    ASSERT_FALSE(doc.GetPatterns().empty());
    doc.RecomputeAllPatterns(true, true, false);
    CDiffractionSettings& s = *doc.GetSettings();

    CCursor* cursor = s.GetCursor(true);
    CRuler* ruler = s.GetRuler(true);
    cursor->m_rec.visible = 1;
    cursor->Show();
    ruler->m_rec.visible = 1;
    ruler->Show();

    LXGraphics::CSyncRect whole;
    whole.SetXYWH(0, 0, 900, 600);
    auto renderer = std::make_shared<CGraphRenderer>(doc.GetPatterns(), s, whole, false);
    renderer->UpdateLayout();
    const auto& plot = renderer->GetPlotRect().m_float;
    // The cursor on rutile's strongest line (110, 27.4° 2θ for copper), the ruler in the upper half.
    cursor->AttachRenderer(renderer.get());
    cursor->SetXValue(27.45);
    cursor->DetachRenderer();
    ruler->m_rec.x = 120;
    ruler->m_rec.y = -plot.Height / 4;

    Gdiplus::Bitmap bitmap(900, 600);
    {
        Gdiplus::Graphics graphics(&bitmap);
        Gdiplus::SolidBrush paper{Gdiplus::Color(0xFFFFFFFFu)};
        graphics.FillRectangle(&paper, 0.0f, 0.0f, 900.0f, 600.0f);
        renderer->DrawFrame(&graphics, false);
        renderer->DrawPlot(&graphics);
        renderer->DrawTools(&graphics);
    }
    if (const char* dir = std::getenv("QLW_PICTURE_DIR"))
        SaveImageToFile(&bitmap, CString(dir) + L"/plot-tools.png");

    const int cx = int(plot.X + plot.Width / 2 + cursor->m_rec.x);
    const int bottom = int(plot.Y + plot.Height), top = int(plot.Y);
    // x readout under the plot, d-spacing readout above it, both centred on the line.
    EXPECT_GT(NearWhite(bitmap, cx - 40, bottom + 5, cx + 40, bottom + 30), 2);
    EXPECT_GT(Grey(bitmap, cx - 40, bottom + 5, cx + 40, bottom + 30), 100);
    EXPECT_GT(NearWhite(bitmap, cx - 40, top - 30, cx + 40, top - 5), 2);
    EXPECT_GT(Grey(bitmap, cx - 40, top - 30, cx + 40, top - 5), 100);
    // The ruler's intensity readout stands left of the plot at the ruler's height.
    const int ry = int(plot.Y + plot.Height / 2 + ruler->m_rec.y);
    EXPECT_GT(Grey(bitmap, int(plot.X) - 30, ry - 40, int(plot.X), ry + 40), 100);
    EXPECT_GT(ruler->m_intensity, 0);
}
}  // namespace
