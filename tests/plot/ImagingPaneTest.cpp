// The imaging canvas: hints to layers, the paint throttle and the layer cache, the first hint,
// plot-rectangle answers, printing geometry, and renderings for copy and export.
#include "ImagingPane.h"

#include "FileTypes.h"
#include "FloatingPeakTip.h"
#include "GdiQt.h"
#include "GraphRenderer.h"
#include "LXGdiplus.h"
#include "LXGraphicsErrors.h"
#include "LXMessage.h"
#include "QLReflexion.h"
#include "PlotAreaWindow.h"
#include "QlwDoc.h"
#include "TestSupport.h"
#include "ToolRecords.h"
#include "UpdateHint.h"
#include "WidgetApp.h"
#include "WndQt.h"
#include "testing/FakeClock.h"

#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

namespace {
// Counts the tools-layer draws it takes part in.
class CountingTool : public CTool
{
public:
    CountingTool() { m_rec.visible = 1; }
    void Notify(int, int) override {}
    void Draw(CGraphRenderer*) override { ++draws; }
    int draws = 0;
};

// The canvas with its protected state in reach of the tests.
class TestCanvas : public CImagingPane
{
public:
    CImageBuffer& PlotBuffer() { return m_plotBuffer; }
    CImageBuffer& ToolsBuffer() { return m_toolsBuffer; }
    CImageBuffer& TopBuffer() { return m_topBuffer; }
    CImageBuffer& Composite() { return m_composite; }
    // The picture the window is given: the composite, or the base layer when nothing lies over it.
    Gdiplus::Bitmap* Shown() const { return ShownBitmap(); }
    bool DeferredPaintPending() const { return m_bDeferredPaint; }
    void SetScrollerShown(bool shown) { m_bScrollerShown = shown; }
    const COverviewBox& Scroller() const { return m_scroller; }
    void SetPeakTip(const std::shared_ptr<CFloatingPeakTip>& tip) { m_pPeakTip = tip; }
    // Enters the printing state the way a print does, without drawing.
    void BeginPrintState(CDC* dc, const PrintPage& page)
    {
        m_pPrintPage = &page;
        PreparePrintScale(dc);
    }
    void EndPrintState()
    {
        m_pPrintDC = nullptr;
        m_pPrintPage = nullptr;
        g_drawDpi = g_screenDpi;
        g_textScale = 1.0f;
    }
};

std::string Scratch(const std::string& name)
{
    const auto dir = std::filesystem::path(qlwtest::ScratchDir()) / "canvas";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// The bound only ends a test that would hang.
bool PumpUntil(const std::function<bool()>& done, int ms = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class ImagingPaneTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qlwtest::EnsureWidgetApp("test_plot");
        InstallFileTypeRecogniser();
    }

    void SetUp() override
    {
        const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
        ASSERT_TRUE(doc.OnOpenDocument(CString(rutile.c_str()).GetString()));
        ASSERT_FALSE(doc.AnyPatternNeedsRecompute());
        doc.GetSettings()->m_tools.push_back(tool);
        ASSERT_TRUE(parent.CreateEx(0, nullptr, L"Canvas", WS_OVERLAPPEDWINDOW, CRect(0, 0, 900, 700), nullptr, 0));
        ASSERT_TRUE(canvas.Create(&parent, CRect(0, 0, 640, 480)));
        canvas.SetDocument(&doc);
        canvas.ShowWindow(SW_SHOW);
        parent.ShowWindow(SW_SHOW);
        QApplication::processEvents();
    }

    void TearDown() override
    {
        canvas.DestroyWindow();
        parent.DestroyWindow();
    }

    // A hint as the graphics pane hands it on; immediate, so the paint happens now.
    // Prints the plot over the whole page through a DC on the painter; true when the DC is handed
    // back still printing.
    bool PrintOn(QPainter& painter, const QSize& page, int dpi)
    {
        HDC hdc = qlw::CreatePainterDC(&painter, RECT{0, 0, page.width(), page.height()}, dpi);
        CDC dc;
        dc.Attach(hdc);
        CImagingPane::PrintPage target;
        target.drawRect = RECT{0, 0, page.width(), page.height()};
        canvas.PrintPlot(&dc, target);
        const bool printing = dc.IsPrinting() != FALSE;
        dc.Detach();
        qlw::DeletePainterDC(hdc);
        return printing;
    }

    void Hint(std::int32_t code)
    {
        CUpdateHint hint(code, &doc, nullptr, true);
        canvas.OnDocumentUpdate(&hint);
    }
    void PlotUpdate(std::uint16_t mask)
    {
        CUHRequestPlotUpdate hint(&doc, nullptr, true, mask);
        canvas.OnDocumentUpdate(&hint);
    }
    void PaintNow() { canvas.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    QWidget* Widget() { return qlw::WidgetOf(canvas.GetSafeHwnd()); }
    // What the canvas has put on screen: its part of the window's backing store.
    QImage OnScreen()
    {
        QWidget* w = Widget();
        QBackingStore* store = w ? w->window()->backingStore() : nullptr;
        auto* image = store ? dynamic_cast<QImage*>(store->paintDevice()) : nullptr;
        if (!image) return QImage();
        const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
        return image->copy(QRect(at, w->size())).convertToFormat(QImage::Format_ARGB32);
    }
    // Marks a pixel of the canvas on screen, to see whether a paint copies over it.
    void MarkOnScreen(const QPoint& at, QRgb colour)
    {
        QWidget* w = Widget();
        auto* image = dynamic_cast<QImage*>(w->window()->backingStore()->paintDevice());
        if (image) image->setPixel(w->mapTo(w->window(), at), colour);
    }
    static int Differing(const QImage& a, const QImage& b, const QRect& skip = QRect())
    {
        if (a.size() != b.size()) return -1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (!skip.contains(x, y) && a.pixel(x, y) != b.pixel(x, y)) ++n;
        return n;
    }

    qlwtest::FakeClock clock;
    CQlwDoc doc;
    std::shared_ptr<CountingTool> tool = std::make_shared<CountingTool>();
    CWnd parent;
    TestCanvas canvas;
};

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

TEST_F(ImagingPaneTest, LayersAreRedrawnOnlyWhenTheirBitIsInvalidated)
{
    Hint(kHintPatternTree);
    ASSERT_TRUE(canvas.GetRenderer());
    ASSERT_TRUE(canvas.PlotBuffer().m_pBitmap);
    EXPECT_EQ(tool->draws, 1);
    // A mark only the cached plot body holds: a redraw of that layer would wipe it.
    const Gdiplus::Color mark(0xFF123456u);
    canvas.PlotBuffer().m_pBitmap->SetPixel(3, 3, mark);
    auto marked = [&] {
        Gdiplus::Color c;
        canvas.PlotBuffer().m_pBitmap->GetPixel(3, 3, &c);
        return c.GetValue() == mark.GetValue();
    };

    clock.Advance(200);
    PlotUpdate(CImagingPane::kLayerTools);
    EXPECT_EQ(tool->draws, 2) << "the tools layer is drawn again";
    EXPECT_TRUE(marked()) << "the plot body comes from its buffer";

    clock.Advance(200);
    const CGraphRenderer* before = canvas.GetRenderer().get();
    Hint(27);
    EXPECT_NE(canvas.GetRenderer().get(), before) << "the composite was painted again";
    EXPECT_EQ(tool->draws, 2) << "from the cached layers only";
    EXPECT_TRUE(marked());
    Gdiplus::Color shown;
    canvas.Shown()->GetPixel(3, 3, &shown);
    EXPECT_EQ(shown.GetValue(), mark.GetValue()) << "composed as it was cached";

    clock.Advance(200);
    Hint(kHintBackground);
    EXPECT_EQ(tool->draws, 3);
    EXPECT_FALSE(marked()) << "code 3 redraws the plot body";
}

TEST_F(ImagingPaneTest, ToolsMovedAloneComposeTheSamePictureAsAWholeRedrawAndLeaveThePlotElsewhere)
{
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->m_rec.visible = 1;
    CCursor* cursor = s.GetCursor(true);
    cursor->m_target = canvas.m_hWnd;
    cursor->m_rec.visible = 1;
    Hint(kHintPatternTree);
    ASSERT_TRUE(canvas.Composite().m_pBitmap);
    const Gdiplus::Color mark(0xFF123456u);
    // Steps of a drag, a jump across the plot, the ruler selected (guide lines and readouts over
    // the whole plot), hidden and shown again.
    const struct {
        float dx, dy;
        bool shown, visible;
    } steps[] = {{4, 0, false, true},  {-4, 3, false, true}, {250, -120, false, true},
                 {5, 5, true, true},   {-300, 90, true, true}, {0, 0, true, false},
                 {10, 0, false, true}, {0, 0, false, true}};
    for (const auto& step : steps) {
        ruler->m_rec.x += step.dx;
        ruler->m_rec.y += step.dy;
        ruler->m_shown = step.shown;
        ruler->m_rec.visible = step.visible;
        // The top-left pixel lies under no tool: only a whole composition would overwrite it.
        canvas.Composite().m_pBitmap->SetPixel(0, 0, mark);
        clock.Advance(200);
        PlotUpdate(CImagingPane::kLayerTools);
        const QImage stepped = canvas.Composite().m_pBitmap->Q().copy();
        EXPECT_EQ(stepped.pixel(0, 0), mark.GetValue()) << "a tools step composes only where the tools were and are";

        clock.Advance(200);
        PlotUpdate(CUHRequestPlotUpdate::kRedrawAll);
        const QImage whole = canvas.Composite().m_pBitmap->Q();
        ASSERT_EQ(stepped.size(), whole.size());
        int differing = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if ((x || y) && stepped.pixel(x, y) != whole.pixel(x, y)) ++differing;
        EXPECT_EQ(differing, 0) << "step " << (&step - steps);
    }
}

TEST_F(ImagingPaneTest, ToolsMovedAloneReachTheWindowWhereTheyChangedAndNowhereElse)
{
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->m_rec.visible = 1;
    Hint(kHintPatternTree);
    auto shown = [&] { return canvas.Shown()->Q().copy(0, 0, 640, 480).convertToFormat(QImage::Format_ARGB32); };
    ASSERT_FALSE(OnScreen().isNull());
    const QRgb mark = 0xFF123456u;
    // Drag steps, the ruler selected (guide lines across the plot in several pieces), a jump and
    // hidden; each asked at once or left to the queue, as a tool's own request is.
    const struct {
        float dx, dy;
        bool shown, visible, immediate;
    } steps[] = {{4, 0, false, true, true},   {-4, 3, false, true, false}, {5, 5, true, true, true},
                 {-3, 2, true, true, false},  {200, -90, true, true, true}, {0, 0, true, false, true}};
    for (const auto& step : steps) {
        const int i = int(&step - steps);
        ruler->m_rec.x += step.dx;
        ruler->m_rec.y += step.dy;
        ruler->m_shown = step.shown;
        ruler->m_rec.visible = step.visible;
        MarkOnScreen(QPoint(0, 0), mark);
        clock.Advance(200);
        const CGraphRenderer* before = canvas.GetRenderer().get();
        canvas.InvalidateLayers(CImagingPane::kLayerTools, step.immediate);
        EXPECT_TRUE(PumpUntil([&] { return canvas.GetRenderer().get() != before; })) << "step " << i;
        const QImage screen = OnScreen();
        EXPECT_EQ(screen.pixel(0, 0), mark) << "step " << i << ": copied where no tool was or is";
        EXPECT_EQ(Differing(screen, shown(), QRect(0, 0, 1, 1)), 0) << "step " << i;

        clock.Advance(200);
        PlotUpdate(CUHRequestPlotUpdate::kRedrawAll);
        EXPECT_EQ(Differing(screen, OnScreen(), QRect(0, 0, 1, 1)), 0) << "step " << i << ": as a whole redraw shows it";
    }
}

TEST_F(ImagingPaneTest, WithNothingOverThePlotTheWindowShowsThePlotLayerAndLaterCompositionsCatchUp)
{
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->m_rec.visible = 0;
    Hint(kHintPatternTree);
    auto shown = [&] { return canvas.Shown()->Q().copy(0, 0, 640, 480).convertToFormat(QImage::Format_ARGB32); };
    auto base = [&] { return canvas.PlotBuffer().m_pBitmap->Q().copy(0, 0, 640, 480).convertToFormat(QImage::Format_ARGB32); };
    ASSERT_FALSE(OnScreen().isNull());
    EXPECT_EQ(Differing(OnScreen(), base()), 0) << "the plot layer alone, as a copy of it would show";

    // Each step: the ruler shown or hidden, by a tools update or a whole one, with or without the
    // overview box; the picture must be the one a whole redraw of the same state composes.
    const struct {
        bool visible, whole, box;
    } steps[] = {{true, false, false}, {false, false, false}, {true, true, false}, {false, true, false},
                 {false, true, true},  {true, false, false},  {false, true, false}, {true, true, true}};
    for (const auto& step : steps) {
        const int i = int(&step - steps);
        ruler->m_rec.visible = step.visible;
        canvas.SetScrollerShown(step.box);
        clock.Advance(200);
        PlotUpdate(step.whole ? CUHRequestPlotUpdate::kRedrawAll : CImagingPane::kLayerTools);
        const QImage stepped = shown();
        EXPECT_EQ(Differing(OnScreen(), stepped), 0) << "step " << i;
        if (step.box) {
            // Away from the box, the plot layer and the ruler as a composition without the box has them.
            const auto& f = canvas.Scroller().GetBoxRect().m_float;
            const QRect box = QRectF(f.X, f.Y, f.Width, f.Height).toAlignedRect().adjusted(-2, -2, 2, 2);
            canvas.SetScrollerShown(false);
            clock.Advance(200);
            PlotUpdate(CUHRequestPlotUpdate::kRedrawAll);
            const int away = Differing(stepped, shown(), box);
            EXPECT_EQ(away, 0) << "step " << i;
            EXPECT_GT(Differing(stepped, shown()), 0) << "step " << i << ": the box is drawn";
            continue;
        }
        clock.Advance(200);
        PlotUpdate(CUHRequestPlotUpdate::kRedrawAll);
        EXPECT_EQ(Differing(stepped, shown()), 0) << "step " << i;
        if (!step.visible) EXPECT_EQ(Differing(stepped, base()), 0) << "step " << i;
    }
}

TEST_F(ImagingPaneTest, PaintsAtMostEveryHundredMillisecondsAndShowsTheLastPictureMeanwhile)
{
    Hint(kHintPatternTree);
    ASSERT_EQ(tool->draws, 1);
    const CGraphRenderer* first = canvas.GetRenderer().get();

    clock.Advance(50);
    PlotUpdate(CImagingPane::kLayerTools);
    EXPECT_EQ(tool->draws, 1) << "50 ms after a paint nothing is drawn";
    EXPECT_EQ(canvas.GetRenderer().get(), first);
    EXPECT_TRUE(canvas.DeferredPaintPending()) << "but a later paint is asked for";

    // A paint in between shows the last composite, not an empty window.
    const QImage grabbed = Widget()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage& composite = canvas.Shown()->Q();
    int differing = 0;
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7)
            if (grabbed.pixel(x, y) != composite.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0);

    clock.Advance(60);
    EXPECT_TRUE(PumpUntil([&] { return tool->draws == 2; })) << "the deferred paint draws";
    EXPECT_FALSE(canvas.DeferredPaintPending());
}

TEST_F(ImagingPaneTest, NothingIsPaintedBeforeTheFirstHint)
{
    canvas.MoveWindow(0, 0, 500, 400);
    QApplication::processEvents();
    EXPECT_TRUE(canvas.IsSuspended());
    EXPECT_FALSE(canvas.GetRenderer());
    EXPECT_EQ(tool->draws, 0);

    // Without a renderer there is no plot for the tools.
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(canvas.SendMessage(g_msgToolGetPlotRect, 0, reinterpret_cast<LPARAM>(&rect)), FALSE);
    EXPECT_EQ(rect.left | rect.top | rect.right | rect.bottom, 0);

    CUpdateHint hint(kHintPatternTree, &doc, nullptr, false);
    canvas.OnDocumentUpdate(&hint);
    EXPECT_FALSE(canvas.IsSuspended());
    ASSERT_TRUE(PumpUntil([&] { return canvas.GetRenderer() != nullptr; }));
    EXPECT_EQ(canvas.SendMessage(g_msgToolGetPlotRectAsync, 0, reinterpret_cast<LPARAM>(&rect)), TRUE);
    const RECT& plot = canvas.GetRenderer()->GetPlotRect().m_rect;
    EXPECT_EQ(rect.left, plot.left);
    EXPECT_EQ(rect.bottom, plot.bottom);
    EXPECT_GT(rect.right - rect.left, 300);

    // Once announced, a resize redraws every layer at once.
    clock.Advance(200);
    const int draws = tool->draws;
    canvas.MoveWindow(0, 0, 520, 400);
    EXPECT_EQ(tool->draws, draws + 1);
}

TEST_F(ImagingPaneTest, AResizeDuringADragHasTheWindowUpdateItsPlotAreaFirst)
{
    PlotAreaWindow window;
    doc.SetDiffractWnd(&window);
    Hint(kHintPatternTree);
    canvas.MoveWindow(0, 0, 600, 450);
    EXPECT_EQ(window.updates, 0);
    g_bPlotDragging = true;
    canvas.MoveWindow(0, 0, 620, 450);
    g_bPlotDragging = false;
    EXPECT_EQ(window.updates, 1);
    doc.SetDiffractWnd(nullptr);
}

TEST_F(ImagingPaneTest, BusMessagesInvalidateTheirLayers)
{
    Hint(kHintPatternTree);
    clock.Advance(200);
    // A cursor's request redraws the plot body too (its readout sits in the legend).
    auto cursor = std::make_shared<CCursor>();
    canvas.SendMessage(g_msgToolUpdateRequest, 0, reinterpret_cast<LPARAM>(cursor.get()));
    EXPECT_EQ(tool->draws, 2);
    canvas.PlotBuffer().m_pBitmap->SetPixel(3, 3, Gdiplus::Color(0xFF123456u));
    clock.Advance(200);
    canvas.SendMessage(g_msgToolUpdateRequest, 0, reinterpret_cast<LPARAM>(tool.get()));
    EXPECT_EQ(tool->draws, 3);
    Gdiplus::Color c;
    canvas.PlotBuffer().m_pBitmap->GetPixel(3, 3, &c);
    EXPECT_EQ(c.GetValue(), 0xFF123456u) << "another tool's request leaves the plot body";

    canvas.SendMessage(g_msgExitSizeMove, 0, 2);
    EXPECT_TRUE(canvas.PlotBuffer().m_bClearPending) << "lParam 2 is ignored";
    canvas.SendMessage(g_msgExitSizeMove, 0, 6);
    EXPECT_FALSE(canvas.PlotBuffer().m_bClearPending);
    EXPECT_FALSE(canvas.ToolsBuffer().m_bClearPending);
    EXPECT_FALSE(canvas.TopBuffer().m_bClearPending);
}

TEST_F(ImagingPaneTest, PrintingFitsTheOnScreenAspectIntoThePage)
{
    canvas.MoveWindow(0, 0, 800, 600);
    CDC printer;
    printer.m_bPrinting = TRUE;
    const struct {
        RECT page;
        float x, y, w, h;
    } cases[] = {{{0, 0, 4800, 6800}, 0, 1600, 4800, 3600},
                 {{0, 0, 4800, 2000}, 1066.6667f, 0, 2666.6667f, 2000},
                 {{100, 200, 4900, 7000}, 100, 1800, 4800, 3600}};
    for (const auto& c : cases) {
        CImagingPane::PrintPage page;
        page.drawRect = c.page;
        canvas.BeginPrintState(&printer, page);
        LXGraphics::CSyncRect plot;
        canvas.GetPlotRect(plot);
        EXPECT_NEAR(plot.m_float.X, c.x, 0.01) << c.page.bottom;
        EXPECT_NEAR(plot.m_float.Y, c.y, 0.01);
        EXPECT_NEAR(plot.m_float.Width, c.w, 0.01);
        EXPECT_NEAR(plot.m_float.Height, c.h, 0.01);
        if (c.page.bottom == 6800) {
            EXPECT_EQ(g_drawDpi, 576);
            EXPECT_EQ(g_textScale, 1.0f) << "only a preview scales lines";
            CGraphRenderer renderer(doc.GetPatterns(), *doc.GetSettings(), plot, true);
            EXPECT_EQ(renderer.GetTickLength(), 36.0f);
        }
        canvas.EndPrintState();
    }

    {
        // A 600-DPI page drawn at 576 DPI: text follows the draw DPI, as lines and margins do.
        QImage sheet(8, 8, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&sheet);
        HDC hdc = qlw::CreatePainterDC(&painter, RECT{0, 0, 4800, 6800}, 600);
        CDC page600;
        page600.Attach(hdc);
        page600.m_bPrinting = TRUE;
        CImagingPane::PrintPage page;
        page.drawRect = RECT{0, 0, 4800, 6800};
        canvas.BeginPrintState(&page600, page);
        EXPECT_EQ(g_drawDpi, 576);
        EXPECT_FLOAT_EQ(g_textScale, 576.0f / 600.0f);
        canvas.EndPrintState();
        page600.Detach();
        qlw::DeletePainterDC(hdc);
    }

    CImagingPane::PrintPage preview;
    preview.drawRect = RECT{0, 0, 4800, 6800};
    preview.preview = true;
    canvas.BeginPrintState(&printer, preview);
    EXPECT_EQ(g_textScale, 6.0f);
    canvas.EndPrintState();

    // A window without size takes the page as it is.
    canvas.MoveWindow(0, 0, 0, 0);
    CImagingPane::PrintPage page;
    page.drawRect = RECT{0, 0, 4800, 6800};
    canvas.BeginPrintState(&printer, page);
    LXGraphics::CSyncRect plot;
    canvas.GetPlotRect(plot);
    EXPECT_EQ(plot.m_float.Width, 4800);
    EXPECT_EQ(plot.m_float.Height, 6800);
    canvas.EndPrintState();
}

TEST_F(ImagingPaneTest, PrintsOnThePrintersPainterWithoutToolsOrOverview)
{
    canvas.MoveWindow(0, 0, 800, 600);
    Hint(kHintPatternTree);
    const int draws = tool->draws;
    const CGraphRenderer* onScreen = canvas.GetRenderer().get();
    canvas.SetScrollerShown(true);

    const std::string pdf = Scratch("rutile-print.pdf");
    std::filesystem::remove(pdf);
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setResolution(600);
        printer.setFullPage(true);
        printer.setColorMode(QPrinter::Color);
        QPainter painter(&printer);
        const QRect page = printer.pageLayout().fullRectPixels(600);
        EXPECT_FALSE(PrintOn(painter, page.size(), 600)) << "the DC is handed back as it came";
        painter.end();
    }
    EXPECT_EQ(tool->draws, draws) << "no tools on paper";
    EXPECT_EQ(canvas.GetRenderer().get(), onScreen) << "printing leaves the screen's geometry";
    EXPECT_EQ(g_drawDpi, g_screenDpi);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_GT(std::filesystem::file_size(pdf), 2000u);
}

TEST_F(ImagingPaneTest, ExportsBitmapsAtScaleOnAClearOrWhiteBackground)
{
    Hint(kHintPatternTree);
    const int draws = tool->draws;
    for (const bool transparent : {true, false}) {
        CImagingPane::RenderRequest request;
        request.kind = CImagingPane::kRenderBitmap;
        request.scale = 2;
        request.transparent = transparent;
        std::unique_ptr<Gdiplus::Image> image(canvas.RenderToBuffer(request));
        ASSERT_TRUE(image);
        auto* bitmap = dynamic_cast<Gdiplus::Bitmap*>(image.get());
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->GetWidth(), 1280u);
        EXPECT_EQ(bitmap->GetHeight(), 960u);
        Gdiplus::Color corner;
        bitmap->GetPixel(1, 1, &corner);
        EXPECT_EQ(corner.GetValue(), transparent ? 0x00FFFFFFu : 0xFFFFFFFFu);
        // Curves and text are there: a good share of the plot is not background.
        int inked = 0;
        const QImage& q = bitmap->Q();
        for (int y = 0; y < 960; y += 4)
            for (int x = 0; x < 1280; x += 4)
                if (qAlpha(q.pixel(x, y)) == 255 && (q.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++inked;
        EXPECT_GT(inked, 200);
        if (!transparent) q.save(QString::fromStdString(Scratch("rutile-export.png")));
    }
    EXPECT_EQ(tool->draws, draws) << "exports carry no tools";

    CImagingPane::RenderRequest request;
    request.kind = 3;
    EXPECT_EQ(canvas.RenderToBuffer(request), nullptr);

    // The loupe's renderer sees the canvas as it is.
    const std::shared_ptr<CGraphRenderer> loupe = canvas.CreateRenderer();
    ASSERT_TRUE(loupe);
    EXPECT_EQ(loupe->GetWholeRect().m_float.Width, 640);
    EXPECT_EQ(loupe->GetWholeRect().m_float.Height, 480);
}

TEST_F(ImagingPaneTest, ExportsMetafilesAsSvg)
{
    Hint(kHintPatternTree);
    CImagingPane::RenderRequest request;
    request.kind = CImagingPane::kRenderMetafile;
    std::unique_ptr<Gdiplus::Image> image(canvas.RenderToBuffer(request));
    ASSERT_TRUE(image);
    auto* metafile = dynamic_cast<Gdiplus::Metafile*>(image.get());
    ASSERT_TRUE(metafile);
    EXPECT_EQ(metafile->Frame(), QRectF(0, 0, 640, 480));
    const QByteArray svg = metafile->SvgBytes();
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("<path") || svg.contains("<polyline")) << "vector drawing, not a picture";
    EXPECT_TRUE(metafile->SaveSvg(QString::fromStdString(Scratch("rutile-export.svg"))));
}

// A figure draws no cursor line, so its legend carries no cursor readouts either: copied,
// exported and printed, it is the same with the cursor on as with it off.
TEST_F(ImagingPaneTest, FiguresCarryNoReadoutsOfTheCursorTheyDoNotDraw)
{
    CDiffractionSettings& s = *doc.GetSettings();
    s.m_showLegend = 1;
    CCursor* cursor = s.GetCursor(true);
    cursor->m_rec.visible = 0;
    cursor->m_rec.x = -40;  // off the plot's middle, on a flank of the rutile 110 peak
    Hint(kHintPatternTree);
    const auto bitmap = [&] {
        CImagingPane::RenderRequest request;
        request.kind = CImagingPane::kRenderBitmap;
        request.scale = 1;
        std::unique_ptr<Gdiplus::Image> image(canvas.RenderToBuffer(request));
        auto* b = dynamic_cast<Gdiplus::Bitmap*>(image.get());
        return b ? QByteArray(reinterpret_cast<const char*>(b->Q().constBits()), b->Q().sizeInBytes()) : QByteArray();
    };
    const auto metafile = [&] {
        CImagingPane::RenderRequest request;
        request.kind = CImagingPane::kRenderMetafile;
        std::unique_ptr<Gdiplus::Image> image(canvas.RenderToBuffer(request));
        auto* m = dynamic_cast<Gdiplus::Metafile*>(image.get());
        return m ? m->SvgBytes() : QByteArray();
    };
    const auto print = [&] {
        QImage page(1200, 900, QImage::Format_ARGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        PrintOn(painter, page.size(), 192);
        painter.end();
        return QByteArray(reinterpret_cast<const char*>(page.constBits()), page.sizeInBytes());
    };
    const struct {
        const char* figure;
        std::function<QByteArray()> make;
    } figures[] = {{"bitmap", bitmap}, {"metafile", metafile}, {"print", print}};
    for (const auto& f : figures) {
        cursor->m_on = 0;
        const QByteArray off = f.make();
        ASSERT_FALSE(off.isEmpty()) << f.figure;
        cursor->m_on = 1;
        EXPECT_TRUE(f.make() == off) << f.figure;
    }
}

TEST_F(ImagingPaneTest, AnExportTooLargeToMakeIsReportedNotReturned)
{
    canvas.MoveWindow(0, 0, 3840, 2160);
    Hint(kHintPatternTree);
    CImagingPane::RenderRequest request;
    request.kind = CImagingPane::kRenderBitmap;
    request.scale = 8;
    try {
        std::unique_ptr<Gdiplus::Image> image(canvas.RenderToBuffer(request));
        ADD_FAILURE() << "an image of 30720 x 17280 came back";
    } catch (const CLXXCopyGrfxNoBitmap& e) {
        EXPECT_EQ(e.GetSeverity(), 2u);
    }
}

TEST_F(ImagingPaneTest, SelectingAReflexionCentresOnItsPosition)
{
    // NaCl 200 at 1.5406 Å lies at 31.70° 2θ.
    CDiffractionSettings& s = *doc.GetSettings();
    s.m_lambda = 1.5406;
    s.m_axisType = LXTypes::kAxis2Theta;
    doc.SetPlotRange(20, 60, s.m_visibleYMin, s.m_visibleYMax, false);
    CQLReflexion reflexion;
    reflexion.h = 2;
    reflexion.d = 5.6402 / 2;
    reflexion.x = 31.70;
    CUHReflexionSelected hint(&doc, nullptr, &reflexion);
    canvas.OnDocumentUpdate(&hint);
    EXPECT_NEAR((s.m_visibleXMin + s.m_visibleXMax) / 2, 31.70, 0.01);
    CCursor* cursor = s.GetCursor(false);
    ASSERT_TRUE(cursor);
    // The cursor takes the position as a data x, moving there when it is next drawn.
    EXPECT_TRUE(cursor->IsActive());
    EXPECT_EQ(cursor->m_xSet, 1);
    EXPECT_NEAR(cursor->m_x, 31.70, 0.01);
}

TEST_F(ImagingPaneTest, TheOverviewStripLeavesTheOnScreenGeometry)
{
    canvas.SetScrollerShown(true);
    CDiffractionSettings& s = *doc.GetSettings();
    doc.SetPlotRange(30, 50, s.m_visibleYMin, s.m_visibleYMax, false);
    Hint(kHintPatternTree);
    canvas.Shown()->Q().copy(0, 0, 640, 480).save(QString::fromStdString(Scratch("rutile-screen.png")));
    // Placed at the plot's top left, 10 pixels in, 85 high (the hit margin adds 5 each side).
    const CGraphRenderer& r = *canvas.GetRenderer();
    const auto& box = canvas.Scroller().GetBoxRect().m_float;
    EXPECT_NEAR(box.X, r.GetPlotRect().m_float.X + 10 - 5, 0.01);
    EXPECT_NEAR(box.Height, 85 + 10, 0.01);
    EXPECT_DOUBLE_EQ(r.GetXMin(), 30);
    EXPECT_DOUBLE_EQ(r.GetXMax(), 50);
    const auto& plot = r.GetPlotRect().m_float;
    EXPECT_NEAR(r.GetXPixelsPerUnit(), plot.Width / 20.0, 1e-9);
    const auto data = r.PixelToData(Gdiplus::PointF(plot.X + plot.Width / 2, plot.Y + plot.Height / 2));
    EXPECT_NEAR(data.first, 40, 1e-6);
    EXPECT_NEAR(data.second, (s.m_visibleYMin + s.m_visibleYMax) / 2, 1e-6 * s.m_visibleYMax);
}

TEST_F(ImagingPaneTest, APeakTipNeverKeepsAReplacedRenderer)
{
    auto tip = std::make_shared<CFloatingPeakTip>();
    canvas.SetPeakTip(tip);
    Hint(kHintPatternTree);
    std::weak_ptr<CGraphRenderer> first = canvas.GetRenderer();
    tip->SetRenderer(first, *doc.GetSettings());
    tip->SetPeak(27.4f, doc.GetPatterns().front());
    EXPECT_TRUE(tip->FindAndPlace()) << "rutile 110 lies at 27.4°";

    clock.Advance(200);
    Hint(kHintPatternTree);
    EXPECT_TRUE(first.expired()) << "the next paint's renderer replaces it";
    EXPECT_FALSE(tip->FindAndPlace()) << "and the tip finds none rather than a deleted one";
}
}  // namespace
