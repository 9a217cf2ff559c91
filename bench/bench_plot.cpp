// Full redraw of the plot at 1920 × 1080: three measured patterns of 72,000 points each, then
// 3,000 peak labels; the goal is under 16 ms a frame. Run by hand; any argument turns the grid off.
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "QLObservedPattern.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    StartGdiplus();
    CDiffractionSettings settings(true);
    settings.m_visibleXMin = 0;
    settings.m_visibleXMax = 180;
    settings.m_visibleYMin = 0;
    settings.m_visibleYMax = 1200;
    settings.m_hideOverlappingLabels = true;
    if (argc > 1) settings.m_showGrid = 0;
    CQLPatternList tree;
    for (int k = 0; k < 3; ++k) {
        CQLProfile points(72000);
        for (size_t i = 0; i < points.size(); ++i) {
            const double x = 180.0 * double(i) / double(points.size());
            points[i] = {x, 100 + 300 * k + 200 * std::pow(std::sin(x * 3.1 + k), 8)};
        }
        auto p = std::make_shared<CQLObservedPattern>(std::move(points), true);
        p->SetShown(true);
        p->m_color = 0xFF000000u | (0x3F << (8 * k));
        tree.push_back(p);
    }
    CQLPeakLabelList peaks;
    for (int i = 0; i < 3000; ++i)
        peaks.push_back({tree.front().get(), 180.0 * i / 3000, 100 + (i * 37) % 1000, L"1 2 3"});

    LXGraphics::CSyncRect whole;
    whole.SetXYWH(0, 0, 1920, 1080);
    Gdiplus::Bitmap bitmap(1920, 1080);
    std::vector<double> full, labels;
    for (int run = 0; run < 12; ++run) {
        Gdiplus::Graphics graphics(&bitmap);
        const auto start = std::chrono::steady_clock::now();
        auto renderer = std::make_shared<CGraphRenderer>(tree, settings, whole, false);
        const auto built = std::chrono::steady_clock::now();
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        renderer->DrawFrame(&graphics, false);
        const auto framed = std::chrono::steady_clock::now();
        renderer->DrawPlot(&graphics);
        if (run == 11)
            std::printf("construction %.1f ms, frame %.1f ms\n",
                        std::chrono::duration<double, std::milli>(built - start).count(),
                        std::chrono::duration<double, std::milli>(framed - built).count());
        const auto curves = std::chrono::steady_clock::now();
        CQLPeakLabelList copy = peaks;
        renderer->UpdateLayout();
        renderer->DrawPeakLabels(copy, renderer->GetPlotRect(), false);
        const auto end = std::chrono::steady_clock::now();
        full.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        labels.push_back(std::chrono::duration<double, std::milli>(end - curves).count());
    }
    std::sort(full.begin(), full.end());
    std::sort(labels.begin(), labels.end());
    std::printf("full redraw 1920x1080, 3 x 72000 points + 3000 labels: median %.1f ms (labels %.1f ms); goal 16 ms\n",
                full[full.size() / 2], labels[labels.size() / 2]);
    StopGdiplus();
    return 0;
}
