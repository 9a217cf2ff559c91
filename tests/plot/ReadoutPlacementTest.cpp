// Where the plot's readouts go when they would meet: the legend, the cursor's and the ruler's
// readouts and a film strip's name badge never cover one another, nor a peak label. Each case
// draws a part alone and with the others, and compares the pixels of the part drawn first.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "LXImages.h"
#include "PlotSettingsSupport.h"
#include "QLObservedPattern.h"
#include "ToolRecords.h"
#include "WidgetApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

std::uint32_t Pixel(Gdiplus::Bitmap& bitmap, int x, int y)
{
    Gdiplus::Color c;
    bitmap.GetPixel(x, y, &c);
    return c.GetValue();
}

// Pixels inside the box that differ between the two pictures by more than a soft shadow does.
int Covered(Gdiplus::Bitmap& alone, Gdiplus::Bitmap& together, const Gdiplus::Rect& box,
            const std::function<bool(std::uint32_t)>& counts = [](std::uint32_t) { return true; })
{
    int n = 0;
    for (int y = box.Y; y < box.Y + box.Height; ++y)
        for (int x = box.X; x < box.X + box.Width; ++x) {
            const std::uint32_t a = Pixel(alone, x, y), b = Pixel(together, x, y);
            if (!counts(a)) continue;
            for (int shift : {0, 8, 16})
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 48) {
                    ++n;
                    break;
                }
        }
    return n;
}

// The bounds of the pixels that differ between the two pictures.
Gdiplus::Rect Difference(Gdiplus::Bitmap& a, Gdiplus::Bitmap& b)
{
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = 0; y < int(a.GetHeight()); ++y)
        for (int x = 0; x < int(a.GetWidth()); ++x)
            if (Pixel(a, x, y) != Pixel(b, x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right < 0 ? Gdiplus::Rect() : Gdiplus::Rect(left, top, right - left + 1, bottom - top + 1);
}

class ReadoutPlacement : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { qlwtest::EnsureWidgetApp("test_plot"); }
    void SetUp() override
    {
        StartGdiplus();
        qlwtest::UsePlainPlot(settings);
        settings.m_showGrid = 0;
    }
    std::shared_ptr<CGraphRenderer> Make()
    {
        LXGraphics::CSyncRect whole;
        whole.SetXYWH(0, 0, kWidth, kHeight);
        auto r = std::make_shared<CGraphRenderer>(tree, settings, whole, false);
        r->UpdateLayout();
        return r;
    }
    // The plot (with its legend) and, when asked, the tools over it, on white paper.
    std::unique_ptr<Gdiplus::Bitmap> Draw(bool plot, bool tools)
    {
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(kWidth, kHeight);
        auto r = Make();
        Gdiplus::Graphics graphics(bitmap.get());
        graphics.Clear(Gdiplus::Color(kWhite));
        if (plot) r->DrawPlot(&graphics);
        if (tools) r->DrawTools(&graphics);
        return bitmap;
    }
    std::shared_ptr<CQLObservedPattern> AddFlat(double intensity, const wchar_t* title)
    {
        auto p = std::make_shared<CQLObservedPattern>(CQLProfile{{0, intensity}, {80, intensity}}, true);
        p->SetShown(true);
        p->m_color = 0xFF0000CCu;
        p->m_title = title;
        tree.push_back(p);
        return p;
    }
    CCursor* CursorAtPixel(float x)
    {
        CCursor* cursor = settings.GetCursor(true);
        cursor->m_rec.visible = 1;
        cursor->Show();
        cursor->m_xSet = 1;
        cursor->m_x = Make()->PixelToData(Gdiplus::PointF(x, 0)).first;
        return cursor;
    }

    static constexpr int kWidth = 780, kHeight = 570;
    CDiffractionSettings settings{true};
    CQLPatternList tree;
};

// The cursor just left of the legend, on a pattern at the legend's height: its intensity reading
// would be written across the legend's box.
TEST_F(ReadoutPlacement, CursorIntensityKeepsOffTheLegend)
{
    settings.m_showLegend = 1;
    AddFlat(965, L"measured");
    settings.GetCursor(true)->m_on = 1;  // the legend with its cursor column, as the cursor draws it
    auto withLegend = Draw(true, false);
    settings.m_showLegend = 0;
    auto withoutLegend = Draw(true, false);
    const Gdiplus::Rect legend = Difference(*withLegend, *withoutLegend);
    ASSERT_GT(legend.Width, 40);
    settings.m_showLegend = 1;

    const int cx = legend.X - 20;
    CursorAtPixel(float(cx));
    auto together = Draw(true, true);
    EXPECT_EQ(Covered(*withLegend, *together, legend), 0) << "the legend box at " << legend.X << ", " << legend.Y;
    // The reading is still drawn in the plot, away from the line and its marker.
    const auto& plot = Make()->GetPlotRect().m_float;
    int reading = 0;
    for (int y = int(plot.Y) + 2; y < int(plot.Y + plot.Height) - 2; ++y)
        for (int x = int(plot.X) + 2; x < int(plot.X + plot.Width) - 2; ++x)
            reading += std::abs(x - cx) > 8 && !legend.Contains(x, y) && Pixel(*withLegend, x, y) != Pixel(*together, x, y);
    EXPECT_GT(reading, 20);
}

// The cursor's x readout and the ruler's left x readout both hang below the plot; with the cursor
// near the ruler's left end, the one drawn later moves aside and neither covers the other.
TEST_F(ReadoutPlacement, CursorAndRulerReadoutsKeepApartBelowThePlot)
{
    AddFlat(500, L"measured");
    CRuler* ruler = settings.GetRuler(true);
    ruler->m_rec.visible = 1;
    ruler->Show();
    ruler->m_shown = true;  // selected: its readouts are drawn
    ruler->m_rec.y = 100;
    CCursor* cursor = CursorAtPixel(0);
    auto r = Make();
    ruler->AttachRenderer(r.get());
    float lx = 0, ly = 0;
    ruler->GetEndPoint(1, lx, ly);
    ruler->DetachRenderer();
    cursor->m_x = r->PixelToData(Gdiplus::PointF(lx + 12, 0)).first;
    const auto& plot = r->GetPlotRect().m_float;
    const Gdiplus::Rect below(int(plot.X) - 60, int(plot.Y + plot.Height) + 2, int(plot.Width) + 120,
                              kHeight - int(plot.Y + plot.Height) - 2);

    // The tool drawn first is the last of the list.
    const bool rulerFirst = settings.m_tools.back().get() == ruler;
    auto alone = [&](CTool* keep) {
        for (CTool* t : {static_cast<CTool*>(cursor), static_cast<CTool*>(ruler)}) t->m_rec.visible = t == keep;
        auto picture = Draw(false, true);
        cursor->m_rec.visible = ruler->m_rec.visible = 1;
        return picture;
    };
    auto first = alone(rulerFirst ? static_cast<CTool*>(ruler) : cursor);
    auto second = alone(rulerFirst ? static_cast<CTool*>(cursor) : ruler);
    auto together = Draw(false, true);
    if (const char* dir = std::getenv("QLW_PICTURE_DIR")) {
        SaveImageToFile(first.get(), CString(dir) + L"/readouts-first.png");
        SaveImageToFile(second.get(), CString(dir) + L"/readouts-second.png");
        SaveImageToFile(together.get(), CString(dir) + L"/readouts-together.png");
    }
    // Only the readouts' own pixels count (their greys and their text): the faint rim of their
    // shadows may take the other's shadow or leader line.
    auto inked = [](std::uint32_t c) { return (c & 0xFFu) < 0xE0u || c == 0xFFFDFDFDu; };
    ASSERT_GT(Covered(*first, *second, below, inked), 100) << "alone, the readouts share pixels";
    EXPECT_EQ(Covered(*first, *together, below, inked), 0);
    // The later readout is drawn all the same, somewhere below the plot.
    int drawn = 0;
    for (int y = below.Y; y < below.Y + below.Height; ++y)
        for (int x = below.X; x < below.X + below.Width; ++x)
            drawn += Pixel(*together, x, y) != Pixel(*first, x, y);
    EXPECT_GT(drawn, 300);
}

// A film strip's name badge sits at the strip's top right, where a peak label near the end of
// the range stands too: the badge moves below the label.
TEST_F(ReadoutPlacement, FilmBadgeKeepsOffAPeakLabel)
{
    settings.m_filmMode = 1;
    settings.m_filmType = 2;
    auto p = std::make_shared<qlwtest::OneLabelPattern>(CQLProfile{{0, 0}, {80, 0}}, 76, 500, L"1 2 5");
    p->SetShown(true);
    p->m_title = L"anatase";
    p->m_labelAlignment = 1;
    p->m_rotateLabels = 1;
    tree.push_back(p);

    settings.m_showLegend = 0;
    auto r = Make();
    auto alone = std::make_unique<Gdiplus::Bitmap>(kWidth, kHeight);
    {
        Gdiplus::Graphics graphics(alone.get());
        graphics.Clear(Gdiplus::Color(kWhite));
        r->DrawPlot(&graphics);
    }
    ASSERT_EQ(r->GetPlacedLabels().size(), 1u);
    const auto& frame = r->GetPlacedLabels()[0].m_float;
    const Gdiplus::Rect label(int(frame.X), int(frame.Y), int(frame.Width) + 1, int(frame.Height) + 1);
    settings.m_showLegend = 1;
    auto badged = Draw(true, false);
    EXPECT_EQ(Covered(*alone, *badged, label), 0);
    // The badge is drawn, in the strip's right part.
    const auto& plot = r->GetPlotRect().m_float;
    const Gdiplus::Rect right(int(plot.X + plot.Width / 2), int(plot.Y), int(plot.Width / 2), int(plot.Height));
    EXPECT_GT(Covered(*alone, *badged, right), 100);
}
}  // namespace
