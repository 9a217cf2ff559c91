// A wheel zoom from the event to the painted frame: the imaging canvas at 1920 × 1080 over a
// document with three measured patterns of 72,000 points and a labelled crystal pattern; each
// run sends one control-wheel notch (zooming in and out in turn) to the canvas and times until
// its paint has made a new renderer. The goal is under 12 ms. Then a plot update of the same
// window without the zoom, the paint alone.
// Run by hand: bench_wheel [--cif CIF] [--runs N] [--save PNG]; --save keeps the last painted
// frame, to compare pictures before and after a change. The crystal defaults to the 93,000 Å³ cell of
// the shared test data (thousands of reflexions), or rutile when that is missing.
#include "ImagingPane.h"

#include "GraphRenderer.h"
#include "LXGdiplus.h"
#include "MeasuredScene.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "UpdateHint.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace {
double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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

// The canvas with its composed frame in reach, for --save.
class Canvas : public CImagingPane
{
public:
    Gdiplus::Bitmap* Composite() { return ShownBitmap(); }
};
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StartGdiplus();
    CPreferences::Create(true);
    g_pPreferences->m_MinWheelZDelta.Set(120);
    g_pPreferences->m_RelScaleXFactInc.Set(0.1);

    std::string cif = QLW_TESTDATA_DIR "/cif/20_TaCuAl_giant_COD2104374.cif";
    if (!std::filesystem::exists(cif)) cif = QLW_SOURCE_DIR "/examples/rutile.cif";
    int runs = 30;
    const char* save = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--save") && i + 1 < argc) save = argv[++i];
        if (!std::strcmp(argv[i], "--cif") && i + 1 < argc) cif = argv[++i];
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    }

    CQlwDoc doc;
    doc.OnNewDocument();
    doc.GetSettings()->m_hideOverlappingLabels = true;
    AddMeasuredPatterns(doc.GetPatterns());
    doc.AddFilesFromDrop({CString(cif.c_str())});
    size_t reflexions = 0;
    for (const CQLPatternPtr& p : doc.GetPatterns())
        if (const CQLCrystal* crystal = p->GetCrystal()) {
            p->m_showLabels = 1;
            reflexions += crystal->m_reflexions.size();
        }
    doc.RecomputeAllPatterns(true, false, false);
    doc.SetPlotRange(0, 180, 0, doc.GetSettings()->m_visibleYMax, false);

    Relay relay;
    Canvas canvas;
    doc.AddView(&relay);
    relay.canvas = &canvas;
    canvas.SetDocument(&doc);
    if (!relay.CreateEx(0, nullptr, L"Canvas host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 1920, 1080), nullptr, 0) ||
        !canvas.Create(&relay, CRect(0, 0, 1920, 1080))) {
        std::fprintf(stderr, "bench_wheel: cannot make the canvas\n");
        return 1;
    }
    relay.ShowWindow(SW_SHOW);
    canvas.ShowWindow(SW_SHOW);
    canvas.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QCoreApplication::processEvents();

    std::vector<double> times;
    int missed = 0;
    for (int run = 0; run < runs; ++run) {
        // Past the canvas's paint throttle, so that the notch is painted at once.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        QCoreApplication::processEvents();
        const CGraphRenderer* before = canvas.GetRenderer().get();
        const auto start = std::chrono::steady_clock::now();
        canvas.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, short(run % 2 ? -120 : 120)), MAKELPARAM(960, 540));
        QElapsedTimer waited;
        waited.start();
        while (canvas.GetRenderer().get() == before && waited.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto end = std::chrono::steady_clock::now();
        if (canvas.GetRenderer().get() == before) {
            ++missed;
            continue;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    // The same frame without the zoom: a plot update of the unchanged window, to split the time
    // between the document's zoom and autoscale and the paint.
    std::vector<double> repaints;
    for (int run = 0; run < runs; ++run) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        QCoreApplication::processEvents();
        const CGraphRenderer* before = canvas.GetRenderer().get();
        const auto start = std::chrono::steady_clock::now();
        CUHRequestPlotUpdate hint(&doc, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
        doc.DispatchUpdateHint(hint);
        QElapsedTimer waited;
        waited.start();
        while (canvas.GetRenderer().get() == before && waited.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (canvas.GetRenderer().get() != before)
            repaints.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const CDiffractionSettings& s = *doc.GetSettings();
    std::printf("wheel zoom to painted frame 1920x1080, 3 x 72000 points + crystal of %zu reflexions (labels on): "
                "median %.1f ms, best %.1f ms over %zu runs%s; goal 12 ms; window now %.2f to %.2f\n",
                reflexions, times.empty() ? 0.0 : Median(times),
                times.empty() ? 0.0 : *std::min_element(times.begin(), times.end()), times.size(),
                missed ? " (some notches were not painted within 1 s)" : "", s.m_visibleXMin, s.m_visibleXMax);
    std::printf("plot update without the zoom (paint only): median %.1f ms over %zu runs\n",
                repaints.empty() ? 0.0 : Median(repaints), repaints.size());
    if (save && canvas.Composite()) canvas.Composite()->Q().save(QString::fromLocal8Bit(save));
    canvas.DestroyWindow();
    relay.DestroyWindow();
    doc.RemoveView(&relay);
    StopGdiplus();
    return 0;
}
