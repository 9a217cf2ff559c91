// Full redraw of the plot at 1920 × 1080: three measured patterns of 72,000 points each, then
// 3,000 peak labels; the goal is under 12 ms a frame. Then one layer: a tool moved over the
// cached plot, its layer redrawn and the layers composed; the goal is under 4 ms.
// Run by hand: bench_plot [--no-grid] [--save PNG] [--runs N]; --save keeps the full redraw's
// picture, --runs sets the number of full redraws (12; fewer under a profiler).
#include "GraphRenderer.h"

#include "LXGdiplus.h"
#include "MeasuredScene.h"
#include "ToolRecords.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Stands in for the data cursor: a line across the plot and a boxed readout beside it.
class BenchTool : public CTool
{
public:
    void Draw(CGraphRenderer* renderer) override
    {
        Gdiplus::Graphics* g = renderer->GetGraphics();
        const auto& plot = renderer->GetPlotRect().m_float;
        const float x = plot.X + plot.Width / 2 + m_rec.x;
        Gdiplus::Pen pen(Gdiplus::Color(0xFFCC0000u), 1.0f);
        g->DrawLine(&pen, x, plot.Y, x, plot.Y + plot.Height);
        Gdiplus::SolidBrush paper(Gdiplus::Color(0xF0FFFFF0u));
        g->FillRectangle(&paper, x + 6, plot.Y + 20, 120, 22);
        g->DrawRectangle(&pen, x + 6, plot.Y + 20, 120, 22);
        Gdiplus::Font font(L"Arial", 9.0f);
        Gdiplus::SolidBrush ink(Gdiplus::Color(0xFF000000u));
        CString text;
        text.Format(L"%.3f", renderer->PixelToData(Gdiplus::PointF(x, plot.Y)).first);
        g->DrawString(text.GetString(), -1, &font, Gdiplus::PointF(x + 10, plot.Y + 23), &ink);
    }
};
}  // namespace

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
    const char* save = nullptr;
    int runs = 12;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        if (!std::strcmp(argv[i], "--no-grid")) settings.m_showGrid = 0;
        if (!std::strcmp(argv[i], "--save") && i + 1 < argc) save = argv[++i];
    }
    CQLPatternList tree;
    AddMeasuredPatterns(tree);
    CQLPeakLabelList peaks;
    for (int i = 0; i < 3000; ++i) {
        // Miller indices as a crystal's labels would read, a thousand different texts.
        CString hkl;
        hkl.Format(L"%d %d %d", (i / 100) % 10, (i / 10) % 10, i % 10);
        peaks.push_back({tree.front().get(), 180.0 * i / 3000, 100 + (i * 37) % 1000, hkl});
    }

    LXGraphics::CSyncRect whole;
    whole.SetXYWH(0, 0, 1920, 1080);
    // Layers kept premultiplied, as the raster engine composes them.
    Gdiplus::Bitmap bitmap(1920, 1080, Gdiplus::PixelFormat32bppPARGB);
    std::vector<double> full, frame, curves, labels;
    std::shared_ptr<CGraphRenderer> renderer;
    for (int run = 0; run < runs; ++run) {
        Gdiplus::Graphics graphics(&bitmap);
        const auto start = std::chrono::steady_clock::now();
        renderer = std::make_shared<CGraphRenderer>(tree, settings, whole, false);
        graphics.Clear(Gdiplus::Color(0xFFFFFFFFu));
        renderer->DrawFrame(&graphics, false);
        const auto framed = std::chrono::steady_clock::now();
        renderer->DrawPlot(&graphics);
        const auto drawn = std::chrono::steady_clock::now();
        CQLPeakLabelList copy = peaks;
        renderer->DrawPeakLabels(&graphics, copy);
        const auto end = std::chrono::steady_clock::now();
        full.push_back(Ms(start, end));
        frame.push_back(Ms(start, framed));
        curves.push_back(Ms(framed, drawn));
        labels.push_back(Ms(drawn, end));
    }
    std::printf("full redraw 1920x1080, 3 x 72000 points + 3000 labels: median %.1f ms "
                "(frame %.1f, curves %.1f, labels %.1f); goal 12 ms\n",
                Median(full), Median(frame), Median(curves), Median(labels));
    if (save) bitmap.Q().save(QString::fromLocal8Bit(save));

    // One layer: the plot layer stays, the tool layer is redrawn and both are composed.
    auto tool = std::make_shared<BenchTool>();
    tool->m_rec.visible = 1;
    settings.m_tools.push_back(tool);
    renderer = std::make_shared<CGraphRenderer>(tree, settings, whole, false);
    Gdiplus::Bitmap tools(1920, 1080, Gdiplus::PixelFormat32bppPARGB), window(1920, 1080, Gdiplus::PixelFormat32bppPARGB);
    std::vector<double> layer;
    for (int run = 0; run < 40; ++run) {
        const auto start = std::chrono::steady_clock::now();
        renderer->GetSettings().m_tools.front()->m_rec.x = float(run * 7 - 140);
        {
            Gdiplus::Graphics graphics(&tools);
            graphics.Clear(Gdiplus::Color(0x00000000u));
            renderer->DrawTools(&graphics);
        }
        {
            Gdiplus::Graphics graphics(&window);
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
            graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
            graphics.DrawImage(&bitmap, 0.0f, 0.0f, 1920.0f, 1080.0f);
            graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
            graphics.DrawImage(&tools, 0.0f, 0.0f, 1920.0f, 1080.0f);
        }
        layer.push_back(Ms(start, std::chrono::steady_clock::now()));
    }
    std::printf("one layer (tool redrawn, layers composed) 1920x1080: median %.2f ms; goal 4 ms\n", Median(layer));
    StopGdiplus();
    return 0;
}
