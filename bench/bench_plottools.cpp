// The plot tools over the imaging canvas at 1920 × 1080 with three measured patterns of 72,000
// points: the loupe's magnified render of its 600 × 600 lens (goal under 16 ms), one step of a drag
// by the lens, which moves the window and shows the unmagnified snapshot (goal under 4 ms), and one
// step of a ruler drag, from the mouse move to the painted frame with only the tools layer redrawn
// (goal under 4 ms).
// Run by hand: bench_plottools [--runs N] [--save PNG] [--save-lens PNG]; --save keeps the loupe as
// last rendered (dragged by its lens), --save-lens the loupe with its magnified render.
#include "ImagingPane.h"

#include "DiffractionSettings.h"
#include "GraphRenderer.h"
#include "LXGdiplus.h"
#include "Loupe.h"
#include "MeasuredScene.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "ToolRecords.h"
#include "UpdateHint.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {
double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The graphics pane's part: every hint of the document goes on to the canvas.
class Relay : public CView
{
public:
    void OnDraw(CDC*) override {}
    void PostNcDestroy() override {}
    void OnUpdate(CView*, LPARAM lHint, CObject*) override
    {
        if (auto* hint = reinterpret_cast<CUpdateHint*>(lHint); hint && canvas) canvas->OnDocumentUpdate(hint);
    }
    CImagingPane* canvas = nullptr;
};

LPARAM At(int x, int y) { return MAKELPARAM(short(x), short(y)); }

// Waits until the canvas has painted a new frame; false after a second without one.
bool AwaitPaint(CImagingPane& canvas, const CGraphRenderer* before)
{
    QElapsedTimer waited;
    waited.start();
    while (canvas.GetRenderer().get() == before && waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return canvas.GetRenderer().get() != before;
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StartGdiplus();
    CPreferences::Create(true);
    int runs = 30;
    const char* save = nullptr;
    const char* saveLens = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--save") && i + 1 < argc) save = argv[++i];
        if (!std::strcmp(argv[i], "--save-lens") && i + 1 < argc) saveLens = argv[++i];
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    }

    CQlwDoc doc;
    doc.OnNewDocument();
    AddMeasuredPatterns(doc.GetPatterns());
    doc.RecomputeAllPatterns(true, false, false);
    doc.SetPlotRange(0, 180, 0, doc.GetSettings()->m_visibleYMax, false);

    Relay relay;
    CImagingPane canvas;
    doc.AddView(&relay);
    relay.canvas = &canvas;
    canvas.SetDocument(&doc);
    if (!relay.CreateEx(0, nullptr, L"Canvas host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 1920, 1080), nullptr, 0) ||
        !canvas.Create(&relay, CRect(0, 0, 1920, 1080))) {
        std::fprintf(stderr, "bench_plottools: cannot make the canvas\n");
        return 1;
    }
    relay.ShowWindow(SW_SHOW);
    canvas.ShowWindow(SW_SHOW);
    // The canvas paints once the document has told it of a plot.
    CUHRequestPlotUpdate first(&doc, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
    doc.DispatchUpdateHint(first);
    QCoreApplication::processEvents();

    // The loupe over the plot's middle, its lens grown to 600 by its grip.
    CLoupe loupe;
    if (!loupe.Create(&relay, &canvas)) {
        std::fprintf(stderr, "bench_plottools: cannot make the loupe\n");
        return 1;
    }
    loupe.OnLoupeCommand(33585);
    const POINT grip = loupe.GetGripPoint();
    loupe.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(grip.x, grip.y));
    loupe.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(grip.x, grip.y + 200));
    loupe.SendMessage(WM_LBUTTONUP, 0, At(grip.x, grip.y + 200));
    Gdiplus::Bitmap shown(CLoupe::kWindowSize, CLoupe::kWindowSize, Gdiplus::PixelFormat32bppARGB);

    std::vector<double> renders;
    for (int run = 0; run < runs; ++run) {
        loupe.PlotChanged();
        const int before = loupe.GetRenderCount();
        const auto start = std::chrono::steady_clock::now();
        loupe.Render(shown);
        if (loupe.GetRenderCount() != before) renders.push_back(Ms(start));
    }
    if (saveLens) shown.Q().save(QString::fromLocal8Bit(saveLens));

    // The magnified render's parts, drawn as the loupe draws them.
    double parts[4] = {0, 0, 0, 0};
    for (int run = 0; run < runs; ++run) {
        std::shared_ptr<CGraphRenderer> renderer = canvas.CreateRenderer();
        Gdiplus::Bitmap magnified(CLoupe::kWindowSize, CLoupe::kWindowSize, Gdiplus::PixelFormat32bppPARGB);
        Gdiplus::Graphics g(&magnified);
        g.TranslateTransform(float(CLoupe::kCentre), float(CLoupe::kCentre));
        g.ScaleTransform(loupe.GetZoom() / 100, loupe.GetZoom() / 100);
        POINT lens{CLoupe::kCentre, CLoupe::kCentre};
        loupe.ClientToScreen(&lens);
        canvas.ScreenToClient(&lens);
        g.TranslateTransform(-float(lens.x), -float(lens.y));
        auto t = std::chrono::steady_clock::now();
        renderer->DrawFrame(&g, true);
        parts[0] += Ms(t) / runs;
        t = std::chrono::steady_clock::now();
        renderer->DrawPlot(&g);
        parts[1] += Ms(t) / runs;
        t = std::chrono::steady_clock::now();
        renderer->DrawTools(&g);
        parts[2] += Ms(t) / runs;
        t = std::chrono::steady_clock::now();
        renderer->DrawTopLayer(&g);
        parts[3] += Ms(t) / runs;
    }

    std::vector<double> lensSteps;
    loupe.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(300, 300));
    for (int run = 0; run < runs; ++run) {
        const int before = loupe.GetRenderCount();
        const int dx = run % 2 ? -3 : 3;
        const auto start = std::chrono::steady_clock::now();
        loupe.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(300 + dx, 300));
        loupe.Render(shown);
        if (loupe.GetRenderCount() == before) lensSteps.push_back(Ms(start));
    }
    if (save) shown.Q().save(QString::fromLocal8Bit(save));
    loupe.SendMessage(WM_LBUTTONUP, 0, At(300, 300));
    loupe.OnLoupeCommand(33585);

    // The ruler, on and selected by a press on its body, then dragged a few pixels a step.
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->ToggleActive();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    canvas.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QCoreApplication::processEvents();
    if (!AwaitPaint(canvas, nullptr)) {
        std::fprintf(stderr, "bench_plottools: the canvas does not paint\n");
        return 1;
    }
    // A new ruler sits in the middle of the plot.
    const auto& plot = canvas.GetRenderer()->GetPlotRect().m_float;
    int x = int(plot.X + plot.Width / 2), y = int(plot.Y + plot.Height / 2);
    canvas.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    std::vector<double> rulerSteps;
    int missed = 0;
    for (int run = 0; run < runs; ++run) {
        // Past the canvas's paint throttle, so that the step is painted at once: a step asks for
        // the tools layer twice (the drag and the ruler's own request), and the throttle puts the
        // second paint off by its interval.
        for (int wait = 0; wait < 2; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            QCoreApplication::processEvents();
        }
        x += run % 2 ? -4 : 4;
        const CGraphRenderer* before = canvas.GetRenderer().get();
        const auto start = std::chrono::steady_clock::now();
        canvas.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(x, y));
        if (AwaitPaint(canvas, before))
            rulerSteps.push_back(Ms(start));
        else
            ++missed;
    }
    canvas.SendMessage(WM_LBUTTONUP, 0, At(x, y));
    // The same frame without the drag: the tools layer alone asked for.
    std::vector<double> toolPaints;
    for (int run = 0; run < runs; ++run) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        QCoreApplication::processEvents();
        const CGraphRenderer* before = canvas.GetRenderer().get();
        const auto start = std::chrono::steady_clock::now();
        CUHRequestPlotUpdate hint(&doc, nullptr, true, CImagingPane::kLayerTools);
        doc.DispatchUpdateHint(hint);
        if (AwaitPaint(canvas, before)) toolPaints.push_back(Ms(start));
    }

    std::printf("loupe magnified render, 600 x 600 lens over 3 x 72000 points: median %.2f ms over %zu runs; goal 16 ms\n",
                Median(renders), renders.size());
    std::printf("  of which (means) frame %.2f ms, plot %.2f ms, tools %.2f ms, top layer %.2f ms\n", parts[0], parts[1],
                parts[2], parts[3]);
    std::printf("loupe drag step by the lens (move and snapshot): median %.2f ms over %zu runs; goal 4 ms\n",
                Median(lensSteps), lensSteps.size());
    std::printf("ruler drag step to the painted frame (tools layer): median %.2f ms over %zu runs%s; goal 4 ms\n",
                Median(rulerSteps), rulerSteps.size(), missed ? " (some steps were not painted within 1 s)" : "");
    std::printf("tools layer update without the drag (paint only): median %.2f ms over %zu runs\n", Median(toolPaints),
                toolPaints.size());
    loupe.DestroyWindow();
    canvas.DestroyWindow();
    relay.DestroyWindow();
    doc.RemoveView(&relay);
    StopGdiplus();
    return 0;
}
