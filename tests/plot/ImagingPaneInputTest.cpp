// The canvas's input: clicks, drags, wheel notches, keys, the overview box and its timers, peaks
// under the mouse, the context menu and the colour popup, on a real canvas over a document.
#include "ImagingPane.h"

#include "../engine/CrystalFixtures.h"
#include "FloatingPeakTip.h"
#include "GraphRenderer.h"
#include "LXMessage.h"
#include "Loupe.h"
#include "Menus.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"
#include "WndQt.h"
#include "Sound.h"
#include "testing/FakeClock.h"
#include "testing/SoundRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "WidgetApp.h"

namespace {
constexpr double kNaCl200 = 31.6996;  // 2θ of NaCl 200 at 1.5406 Å (d = 2.82 Å)

// Passes every hint on to its canvas, as the graphics pane does, and keeps the codes. As the
// canvas's parent it is the view that the canvas names as the sender of its own hints.
class HintRelay : public CView
{
public:
    void OnDraw(CDC*) override {}
    void PostNcDestroy() override {}
    void OnUpdate(CView*, LPARAM lHint, CObject*) override
    {
        auto* hint = reinterpret_cast<CUpdateHint*>(lHint);
        if (!hint) return;
        codes.push_back(hint->code);
        if (canvas) canvas->OnDocumentUpdate(hint);
    }
    int Count(int code) const { return int(std::count(codes.begin(), codes.end(), code)); }
    CImagingPane* canvas = nullptr;
    std::vector<int> codes;
};

// The canvas with its input state in reach of the tests.
class TestCanvas : public CImagingPane
{
public:
    using CImagingPane::m_bDragging;
    using CImagingPane::m_bScrollerShown;
    using CImagingPane::m_pHoverReflexion;
    using CImagingPane::m_pSelectedNode;
    using CImagingPane::m_scroller;
};

void Pump(int ms = 0)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (t.elapsed() < ms);
}

LPARAM At(double x, double y) { return MAKELPARAM(short(std::lround(x)), short(std::lround(y))); }

class CanvasInput : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { qlwtest::EnsureWidgetApp("test_plot"); }

    void SetUp() override
    {
        CPreferences::Create(true);
        g_pPreferences->m_ShowScroller.Set(true);
        g_pPreferences->m_MinWheelZDelta.Set(120);
        g_pPreferences->m_RelScaleXFactInc.Set(0.1);
        g_pPreferences->m_RelScaleYFactInc.Set(0.01);
        CDiffractionSettings& s = *doc.GetSettings();
        s.m_lambda = 1.5406;
        s.m_showPeakTips = 1;
        doc.AddView(&relay);
        doc.AddView(&watcher);
        relay.canvas = &canvas;
        canvas.SetDocument(&doc);
        ASSERT_TRUE(host.CreateEx(0, nullptr, L"Canvas host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 780, 570), nullptr, 0));
        ASSERT_TRUE(canvas.Create(&host, CRect(0, 0, 780, 570)));
        host.ShowWindow(SW_SHOW);
        canvas.ShowWindow(SW_SHOW);
        Pump();
    }

    void TearDown() override
    {
        canvas.DestroyWindow();
        host.DestroyWindow();
        doc.RemoveView(&relay);
        doc.RemoveView(&watcher);
        g_bPlotDragging = false;
        g_hPlotCaptureWnd = nullptr;
    }

    // NaCl over 10–90° with x offset `offset`, computed and announced to the canvas.
    void AddNaCl(double offset = 0)
    {
        nacl = doc.AddCrystalPattern(crystalfixtures::NaCl());
        nacl->m_xOffset = offset;
        doc.RecomputeAllPatterns(true, false, true);
        doc.SetPlotRange(10, 90, 0, doc.GetSettings()->m_visibleYMax, true);
    }

    // The window 25–55° (centre 40), painted.
    void ShowAround200()
    {
        doc.SetPlotRange(25, 55, 0, doc.GetSettings()->m_visibleYMax, true);
        Paint();
    }

    // Halfway up the peak drawn at x.
    Gdiplus::PointF PeakPixel(double x) const { return Pixel(x, nacl->GetIntensityAt(x) / 2); }

    // A measured pattern over the whole plot with a background curve, its nodes apart in y.
    CQLObservedPattern& WavyPatternWithBackground()
    {
        CQLProfile points;
        for (int i = 0; i <= 80; ++i) points.push_back({10.0 + i, 100.0 + 10 * std::sin(i * 0.3)});
        CQLPatternPtr p = doc.AddObservedPattern(points);
        auto& observed = static_cast<CQLObservedPattern&>(*p);
        observed.AddBackgroundCurve();
        doc.SetPlotRange(10, 90, 0, 200, true);
        Paint();
        return observed;
    }

    // A paint, so that the canvas has the renderer of what it shows.
    void Paint()
    {
        clock.Advance(500);
        canvas.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump();
        ASSERT_TRUE(canvas.GetRenderer()) << "the canvas painted";
    }

    Gdiplus::PointF Pixel(double x, double y) const { return canvas.GetRenderer()->DataToPixel(x, y); }
    double DataX(float px) const { return canvas.GetRenderer()->PixelToData(Gdiplus::PointF(px, 300)).first; }

    LRESULT Send(UINT message, WPARAM w, LPARAM l) { return ::SendMessageW(canvas.m_hWnd, message, w, l); }
    void Click(double x, double y)
    {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
        Send(WM_LBUTTONUP, 0, At(x, y));
    }
    void DoubleClick(double x, double y)
    {
        Click(x, y);
        Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At(x, y));
        Send(WM_LBUTTONUP, 0, At(x, y));
    }
    void Wheel(int delta, UINT keys = 0) { Send(WM_MOUSEWHEEL, MAKEWPARAM(keys, short(delta)), At(400, 300)); }
    QWidget* Widget() const { return qlw::WidgetOf(canvas.m_hWnd); }
    CCursor* Cursor() { return doc.GetSettings()->GetCursor(true); }
    double Centre() const
    {
        const CDiffractionSettings& s = *const_cast<CQlwDoc&>(doc).GetSettings();
        return (s.m_visibleXMin + s.m_visibleXMax) / 2;
    }

    qlwtest::FakeClock clock;
    CQlwDoc doc;
    CQLPatternPtr nacl;
    HintRelay relay;
    HintRelay watcher;  // every hint, its own included
    CWnd& host = relay;
    TestCanvas canvas;
};

TEST_F(CanvasInput, WithoutAPaintThereIsNoPlotToClickOn)
{
    AddNaCl();
    // A second canvas on the document that no hint has reached: it has never painted.
    TestCanvas fresh;
    fresh.SetDocument(&doc);
    ASSERT_TRUE(fresh.Create(&host, CRect(0, 0, 780, 570)));
    ASSERT_FALSE(fresh.GetRenderer());
    auto send = [&](UINT message, WPARAM w, LPARAM l) { ::SendMessageW(fresh.m_hWnd, message, w, l); };
    send(WM_LBUTTONDOWN, MK_LBUTTON, At(400, 300));
    send(WM_MOUSEMOVE, MK_LBUTTON, At(300, 300));
    send(WM_LBUTTONUP, 0, At(300, 300));
    EXPECT_FALSE(Cursor()->IsActive());
    EXPECT_DOUBLE_EQ(doc.GetSettings()->m_visibleXMin, 10) << "no pan";
    EXPECT_EQ(fresh.GetCursorIdForState(), 2105u);
    fresh.DestroyWindow();
}

TEST_F(CanvasInput, ClickOnEmptyPlotShowsTheCursorThereAndASecondHidesIt)
{
    AddNaCl();
    Paint();
    Click(400, 300);
    ASSERT_TRUE(Cursor()->IsActive());
    LXGraphics::CSyncPoint centre;
    Cursor()->GetCentre(centre);
    EXPECT_EQ(centre.m_int.X, 400);
    Click(400, 300);
    EXPECT_FALSE(Cursor()->IsActive());
    EXPECT_FALSE(canvas.m_bDragging);
}

TEST_F(CanvasInput, CursorShapesFollowTheState)
{
    AddNaCl();
    Paint();
    Send(WM_MOUSEMOVE, 0, At(5, 5));  // outside the plot rectangle
    EXPECT_EQ(canvas.GetCursorIdForState(), 2105u);
    Send(WM_MOUSEMOVE, 0, At(400, 100));
    EXPECT_EQ(canvas.GetCursorIdForState(), 2105u);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(400, 100));
    EXPECT_EQ(canvas.GetCursorIdForState(), 2101u);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(380, 100));
    EXPECT_TRUE(canvas.m_bDragging);
    EXPECT_EQ(canvas.GetCursorIdForState(), 2101u) << "panning";
    Send(WM_LBUTTONUP, 0, At(380, 100));
    EXPECT_EQ(canvas.GetCursorIdForState(), 2105u);
}

TEST_F(CanvasInput, DragPansByTheDataUnderThePointer)
{
    AddNaCl();
    Paint();
    const double ppu = canvas.GetRenderer()->GetXPixelsPerUnit();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(400, 200));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(350, 200));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(300, 200));
    EXPECT_TRUE(g_bPlotDragging);
    EXPECT_EQ(::GetCapture(), canvas.m_hWnd);
    // Dragged 100 px to the left: the plot shows what lay 100 px further right.
    EXPECT_NEAR(doc.GetSettings()->m_visibleXMin, 10 + 100 / ppu, 1e-9);
    Send(WM_LBUTTONUP, 0, At(300, 200));
    EXPECT_FALSE(g_bPlotDragging);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_FALSE(Cursor()->IsActive()) << "a drag is no click";
}

TEST_F(CanvasInput, AMoveWithoutTheButtonEndsADragWhoseReleaseWasLost)
{
    AddNaCl();
    Paint();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(400, 200));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(380, 200));
    ASSERT_TRUE(canvas.m_bDragging);
    const double lo = doc.GetSettings()->m_visibleXMin;
    // The release went to a modal alert; the next moves come without the button.
    Send(WM_MOUSEMOVE, 0, At(300, 200));
    Send(WM_MOUSEMOVE, 0, At(200, 200));
    EXPECT_EQ(doc.GetSettings()->m_visibleXMin, lo) << "no pan";
    EXPECT_FALSE(canvas.m_bDragging);
    EXPECT_FALSE(g_bPlotDragging);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(CanvasInput, WheelNotchesAccumulateSmallDeltas)
{
    AddNaCl();
    struct Case
    {
        int minDelta;
        std::vector<bool> acts;  // after each 40-delta event
    };
    for (const Case& c : {Case{40, {false, false, true, false, false, true}}, Case{120, {true, true, true}}}) {
        g_pPreferences->m_MinWheelZDelta.Set(c.minDelta);
        for (size_t i = 0; i < c.acts.size(); ++i) {
            const double before = doc.GetSettings()->m_visibleYMax;
            Wheel(40);
            const double after = doc.GetSettings()->m_visibleYMax;
            EXPECT_EQ(after != before, c.acts[i]) << "MinWheelZDelta " << c.minDelta << ", event " << i + 1;
            if (after != before) EXPECT_NEAR(after, before / 1.01, 1e-9 * before);
        }
    }
}

TEST_F(CanvasInput, TouchpadWheelEventsWithoutADeltaAreNoNotches)
{
    AddNaCl();
    const double before = doc.GetSettings()->m_visibleYMax;
    QWheelEvent pixelsOnly(QPointF(400, 300), Widget()->mapToGlobal(QPointF(400, 300)), QPoint(0, 6), QPoint(0, 0),
                           Qt::NoButton, Qt::NoModifier, Qt::ScrollUpdate, false);
    for (int i = 0; i < 5; ++i) QCoreApplication::sendEvent(Widget(), &pixelsOnly);
    EXPECT_EQ(doc.GetSettings()->m_visibleYMax, before);
}

TEST_F(CanvasInput, ShiftWheelScrollsOneUnitDownAndControlWheelZoomsAboutTheCentre)
{
    AddNaCl();
    doc.SetPlotRange(30, 70, 0, doc.GetSettings()->m_visibleYMax, true);
    Wheel(120, MK_SHIFT);
    EXPECT_DOUBLE_EQ(doc.GetSettings()->m_visibleXMin, 29);
    EXPECT_DOUBLE_EQ(doc.GetSettings()->m_visibleXMax, 69);
    Wheel(120, MK_CONTROL);
    EXPECT_NEAR(doc.GetSettings()->m_visibleXMax - doc.GetSettings()->m_visibleXMin, 40 / 1.1, 1e-9);
    EXPECT_NEAR(Centre(), 49, 1e-9);
    // The horizontal wheel scrolls as Shift and the vertical wheel do.
    Send(0x020E, MAKEWPARAM(0, 120), At(400, 300));
    EXPECT_NEAR(Centre(), 48, 1e-9);
    // An increment of 1 would zoom out by a factor of 0: refused.
    g_pPreferences->m_RelScaleXFactInc.Set(1.0);
    const double width = doc.GetSettings()->m_visibleXMax - doc.GetSettings()->m_visibleXMin;
    Wheel(-120, MK_CONTROL);
    EXPECT_NEAR(doc.GetSettings()->m_visibleXMax - doc.GetSettings()->m_visibleXMin, width, 1e-12);
    EXPECT_TRUE(std::isfinite(doc.GetSettings()->m_visibleXMin));
}

TEST_F(CanvasInput, OverviewBoxHidesTwoAndAHalfSecondsAfterTheLastScroll)
{
    AddNaCl();
    doc.SetPlotRange(30, 70, 0, doc.GetSettings()->m_visibleYMax, true);
    Wheel(120, MK_SHIFT);
    ASSERT_TRUE(canvas.m_bScrollerShown);
    Pump(1500);
    Wheel(120, MK_SHIFT);  // re-arms the hiding
    Pump(1500);
    EXPECT_TRUE(canvas.m_bScrollerShown) << "3 s after the first scroll, 1.5 s after the last";
    Pump(1800);
    EXPECT_FALSE(canvas.m_bScrollerShown);
}

TEST_F(CanvasInput, HorizontalWheelScrollsShowTheOverviewBoxUntilItsTimerAndZoomsShowNone)
{
    AddNaCl();
    CDiffractionSettings& s = *doc.GetSettings();
    struct Case
    {
        const char* what;
        Qt::KeyboardModifiers keys;
        bool scrolls;  // else zooms
    };
    for (const Case& c : {Case{"plain", Qt::NoModifier, true}, Case{"Shift", Qt::ShiftModifier, true},
                          Case{"Ctrl", Qt::ControlModifier, false}}) {
        SCOPED_TRACE(c.what);
        doc.SetPlotRange(30, 70, 0, s.m_visibleYMax, true);
        ASSERT_FALSE(canvas.m_bScrollerShown);
        // A tilt of the wheel, as the window system delivers it.
        QWheelEvent tilt(QPointF(400, 300), Widget()->mapToGlobal(QPointF(400, 300)), QPoint(0, 0), QPoint(120, 0),
                         Qt::NoButton, c.keys, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(Widget(), &tilt);
        if (!c.scrolls) {
            EXPECT_NEAR(s.m_visibleXMax - s.m_visibleXMin, 40 / 1.1, 1e-9) << "zoomed";
            EXPECT_FALSE(canvas.m_bScrollerShown);
            continue;
        }
        EXPECT_NEAR(Centre(), 49, 1e-9) << "scrolled";
        ASSERT_TRUE(canvas.m_bScrollerShown);
        // No release comes after a wheel: the box's own timer has to hide it.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !canvas.m_bScrollerShown; }, 60000));
    }
}

TEST_F(CanvasInput, HoldingTheButtonOnAScrollerArrowStepsOnePercentEveryTenthOfASecond)
{
    AddNaCl();
    CDiffractionSettings& s = *doc.GetSettings();
    doc.SetPlotRange(50, 70, 0, s.m_visibleYMax, true);
    Wheel(120, MK_SHIFT);
    Paint();
    ASSERT_TRUE(canvas.m_bScrollerShown);
    const auto& box = canvas.m_scroller.GetBoxRect().m_int;
    const auto& window = canvas.m_scroller.GetWindowRect().m_int;
    ASSERT_GT(window.X, box.X + 8) << "room left of the window";
    const double start = s.m_visibleXMin;
    const double step = 0.01 * s.m_defaultXMax;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(box.X + 6, box.Y + box.Height / 2));
    EXPECT_EQ(s.m_visibleXMin, start) << "the first step comes after 100 ms";
    Pump(650);
    const double steps = (start - s.m_visibleXMin) / step;
    EXPECT_GE(steps, 2.0);
    EXPECT_LE(steps, 7.0);
    EXPECT_NEAR(steps, std::round(steps), 1e-6) << "whole steps of 1 % of the data maximum";
    Send(WM_LBUTTONUP, 0, At(box.X + 6, box.Y + box.Height / 2));
    const double stopped = s.m_visibleXMin;
    Pump(300);
    EXPECT_EQ(s.m_visibleXMin, stopped) << "the release stops it";
    EXPECT_FALSE(Cursor()->IsActive()) << "a press on the box is no click on the plot";
}

TEST_F(CanvasInput, DraggingTheOverviewWindowScrollsByTheWholeRangeOverTheBoxWidth)
{
    AddNaCl();
    CDiffractionSettings& s = *doc.GetSettings();
    doc.SetPlotRange(50, 70, 0, s.m_visibleYMax, true);
    Wheel(120, MK_SHIFT);
    Paint();
    ASSERT_TRUE(canvas.m_bScrollerShown);
    const auto& window = canvas.m_scroller.GetWindowRect().m_int;
    // The box as drawn: its hit rectangle less the 5-pixel margin on each side.
    const double boxWidth = canvas.m_scroller.GetBoxRect().m_float.Width - 10;
    const double start = s.m_visibleXMin, span = s.m_defaultXMax - s.m_defaultXMin;
    const int x = window.X + window.Width / 2, y = window.Y + window.Height / 2;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(x + 20, y));
    EXPECT_NEAR(s.m_visibleXMin - start, 20 / boxWidth * span, 1e-6);
    Send(WM_LBUTTONUP, 0, At(x + 20, y));
    EXPECT_FALSE(Cursor()->IsActive()) << "a press on the box is no click on the plot";
    EXPECT_FALSE(g_bPlotDragging);
}

TEST_F(CanvasInput, DoubleClickOnAPeakCentresOnItsDSpacingAndSelectsIt)
{
    AddNaCl();
    doc.GetSettings()->m_showPeakTips = 0;
    ShowAround200();
    const Gdiplus::PointF p = PeakPixel(kNaCl200);

    Click(p.X, p.Y);
    EXPECT_EQ(watcher.Count(21), 0) << "a single click selects nothing";
    EXPECT_NEAR(Centre(), 40, 1e-9);

    DoubleClick(p.X, p.Y);
    EXPECT_EQ(watcher.Count(21), 1);
    EXPECT_NEAR(Centre(), kNaCl200, 0.01) << "centred at 31.70° 2θ, not at the d spacing 2.82";
}

TEST_F(CanvasInput, PeaksAreSoughtWhereTheOffsetPlotDrawsThem)
{
    AddNaCl(5);
    ShowAround200();
    // Drawn at 36.70: found there, and nothing at the unshifted 31.70.
    const Gdiplus::PointF shifted = PeakPixel(kNaCl200 + 5), plain = PeakPixel(kNaCl200);
    Send(WM_MOUSEMOVE, 0, At(plain.X, shifted.Y));
    EXPECT_FALSE(canvas.m_pHoverReflexion);
    Send(WM_MOUSEMOVE, 0, At(shifted.X, shifted.Y));
    ASSERT_TRUE(canvas.m_pHoverReflexion);
    EXPECT_EQ(canvas.m_pHoverReflexion->indexNorm, 4) << "200";
    EXPECT_EQ(watcher.Count(36), 1) << "the peak under the pointer is announced";
    ASSERT_TRUE(canvas.GetPeakTip());
    EXPECT_TRUE(canvas.GetPeakTip()->IsWindowVisible());

    DoubleClick(shifted.X, shifted.Y);
    EXPECT_EQ(watcher.Count(21), 1);
    EXPECT_NEAR(Centre(), kNaCl200, 0.01);
}

TEST_F(CanvasInput, APeakTipClicksAsItAppearsWhileTheClickSoundIsOn)
{
    AddNaCl();
    ShowAround200();
    const Gdiplus::PointF peak = PeakPixel(kNaCl200);
    std::string click;
    ASSERT_TRUE(qlw::ReadWaveResource(2000, click));
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        g_pPreferences->m_PeakTipClick.Set(on);
        qlw::testing::SoundRecorder sounds;
        Send(WM_MOUSEMOVE, 0, At(peak.X - 200, peak.Y));
        Send(WM_MOUSEMOVE, 0, At(peak.X, peak.Y));
        Send(WM_MOUSEMOVE, 0, At(peak.X + 1, peak.Y));  // the same peak: no second click
        ASSERT_TRUE(canvas.m_pHoverReflexion);
        const auto played = sounds.Records();
        ASSERT_EQ(played.size(), on ? 1u : 0u);
        if (on) EXPECT_EQ(played[0].wave, click);
    }
}

// The tip hides itself once the pointer rests off the place where it opened, even on the same
// peak; the next move over that peak brings it back.
TEST_F(CanvasInput, ATipThatHidItselfOpensAgainOnTheNextMoveOverItsPeak)
{
    AddNaCl();
    ShowAround200();
    const Gdiplus::PointF peak = PeakPixel(kNaCl200);
    POINT saved;
    ::GetCursorPos(&saved);
    Send(WM_MOUSEMOVE, 0, At(peak.X, peak.Y));
    ASSERT_TRUE(canvas.GetPeakTip());
    CFloatingPeakTip& tip = *canvas.GetPeakTip();
    ASSERT_TRUE(tip.IsWindowVisible());
    // The pointer rests elsewhere, over no window: the tip's timer finds it off its anchor.
    ::SetCursorPos(3000, 3000);
    QElapsedTimer limit;
    limit.start();
    while (tip.IsWindowVisible() && limit.elapsed() < 20000) Pump(10);
    ASSERT_FALSE(tip.IsWindowVisible()) << "the tip hides once the pointer is off its anchor";
    Send(WM_MOUSEMOVE, 0, At(peak.X + 1, peak.Y));
    EXPECT_TRUE(tip.IsWindowVisible()) << "a move over the same peak opens its tip again";
    ASSERT_TRUE(canvas.m_pHoverReflexion);
    EXPECT_EQ(canvas.m_pHoverReflexion->indexNorm, 4) << "200";
    ::SetCursorPos(saved.x, saved.y);
}

// A tip opened over a peak beside a background node can lie over the node: a press there picks
// and drags the node, and a press on the tip elsewhere is still the tip's.
TEST_F(CanvasInput, ABackgroundNodeBeneathAPeakTipTakesThePressBeforeTheTip)
{
    AddNaCl();
    CQLProfile points;
    for (int i = 0; i <= 80; ++i) points.push_back({10.0 + i, 10.0});
    CQLPatternPtr p = doc.AddObservedPattern(points);
    auto& observed = static_cast<CQLObservedPattern&>(*p);
    observed.AddBackgroundCurve();
    nacl->SetSelected(false);
    p->SetSelected(true);
    ShowAround200();
    // A node a little right of the 200 peak and just above its top, where the peak's tip points.
    const Gdiplus::PointF top = Pixel(kNaCl200, nacl->GetIntensityAt(kNaCl200));
    const auto data = canvas.GetRenderer()->PixelToData(Gdiplus::PointF(std::round(top.X) + 2, std::round(top.Y) - 4));
    CQLControlPoint& node = observed.m_controlPoints[0];
    const double to[2] = {data.first - observed.m_xOffset, (data.second - observed.m_yOffset) / observed.GetDrawnScale()};
    const double dx = to[0] - node.x, dy = to[1] - node.y;
    node.x += dx, node.leftX += dx, node.rightX += dx;
    node.y += dy, node.leftY += dy, node.rightY += dy;
    observed.ComputeBackgroundCurve();
    Paint();
    const Gdiplus::PointF at = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    ASSERT_TRUE(canvas.HitTestControlNodes(POINT{LONG(std::lround(at.X)), LONG(std::lround(at.Y))}, false));

    Send(WM_MOUSEMOVE, 0, At(at.X, at.Y));
    ASSERT_TRUE(canvas.m_pHoverReflexion) << "the pointer on the node is on the peak too";
    ASSERT_TRUE(canvas.GetPeakTip());
    CFloatingPeakTip& tip = *canvas.GetPeakTip();
    Paint();  // the drawing places the tip over its peak
    ASSERT_TRUE(tip.IsWindowVisible());
    POINT onNode{LONG(std::lround(at.X)), LONG(std::lround(at.Y))};
    canvas.ClientToScreen(&onNode);
    CRect tipRect;
    tip.GetWindowRect(&tipRect);
    ASSERT_TRUE(tipRect.PtInRect(onNode)) << "the tip lies over the node";
    const auto pressTip = [&](POINT screen, UINT message, WPARAM keys) {
        tip.ScreenToClient(&screen);
        ::SendMessageW(tip.m_hWnd, message, keys, MAKELPARAM(short(screen.x), short(screen.y)));
    };

    // On the balloon away from the node: the tip's own click, which expands it.
    const Gdiplus::RectF balloon = tip.BalloonRect();
    POINT onBalloon{LONG(balloon.X + balloon.Width / 2), LONG(balloon.Y + (balloon.Height - 30) / 2)};
    tip.ClientToScreen(&onBalloon);
    pressTip(onBalloon, WM_LBUTTONDOWN, MK_LBUTTON);
    pressTip(onBalloon, WM_LBUTTONUP, 0);
    EXPECT_TRUE(tip.IsExpanded());
    EXPECT_FALSE(canvas.m_pSelectedNode);

    // On the node: the node's press, and the tip makes way. The window system gave the press to
    // the tip, so the moves and the release after it come as mouse events that must reach the canvas.
    POINT onNodeInTip = onNode;
    tip.ScreenToClient(&onNodeInTip);
    QTest::mousePress(qlw::WidgetOf(tip.m_hWnd), Qt::LeftButton, {}, QPoint(onNodeInTip.x, onNodeInTip.y));
    EXPECT_EQ(canvas.m_pSelectedNode, &node);
    EXPECT_FALSE(tip.IsWindowVisible());
    EXPECT_EQ(QWidget::mouseGrabber(), Widget()) << "the hidden tip holds no grab that would keep the moves";
    const QPoint pressed(int(std::lround(at.X)), int(std::lround(at.Y)));
    QTest::mouseMove(Widget(), pressed + QPoint(10, 20));
    QTest::mouseMove(Widget(), pressed + QPoint(20, 40));
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, pressed + QPoint(20, 40));
    EXPECT_FALSE(QWidget::mouseGrabber()) << "the press is over";
    const Gdiplus::PointF moved = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    EXPECT_NEAR(moved.X, std::lround(at.X) + 20, 0.01);
    EXPECT_NEAR(moved.Y, std::lround(at.Y) + 40, 0.01);
    EXPECT_FALSE(Cursor()->IsActive()) << "no plain click on the plot";
}

TEST_F(CanvasInput, ShiftArrowsMoveASelectedNodeTenPixels)
{
    CQLObservedPattern& observed = WavyPatternWithBackground();
    ASSERT_FALSE(observed.m_controlPoints.empty());
    // Nothing selected: up and down do nothing, left and right move nothing either.
    const std::vector<CQLControlPoint> before = observed.m_controlPoints;
    QTest::keyClick(Widget(), Qt::Key_Up);
    QTest::keyClick(Widget(), Qt::Key_Down);
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(observed.m_controlPoints[i].y, before[i].y);

    CQLControlPoint& node = observed.m_controlPoints[1];
    const Gdiplus::PointF at = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    Click(at.X, at.Y);
    ASSERT_EQ(canvas.m_pSelectedNode, &node);
    EXPECT_FALSE(Cursor()->IsActive()) << "a click on a node is no click on the plot";

    QTest::keyClick(Widget(), Qt::Key_Right, Qt::ShiftModifier);
    Gdiplus::PointF moved = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    EXPECT_NEAR(moved.X - at.X, 10, 0.01);
    EXPECT_NEAR(moved.Y - at.Y, 0, 0.01);
    QTest::keyClick(Widget(), Qt::Key_Up);
    moved = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    EXPECT_NEAR(moved.Y - at.Y, -1, 0.01);
}

// After a press on a handle the arrows move that handle, not its point: the opposite handle
// stays mirrored through the point, as in a drag.
TEST_F(CanvasInput, ArrowsMoveTheHandleLastPressedAndItsPointStays)
{
    CQLObservedPattern& observed = WavyPatternWithBackground();
    ASSERT_FALSE(observed.m_controlPoints.empty());
    CQLControlPoint& node = observed.m_controlPoints[0];
    const Gdiplus::PointF at = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    Click(at.X, at.Y);
    ASSERT_EQ(canvas.m_pSelectedNode, &node);
    const Gdiplus::PointF handle = Pixel(node.rightX + observed.m_xOffset, observed.PlottedY(node.rightY));
    ASSERT_GT(handle.X - at.X, 2 * canvas.GetRenderer()->GetNodeSize()) << "the handle is clear of its point";
    Click(handle.X, handle.Y);
    ASSERT_EQ(canvas.m_pSelectedNode, &node);

    const double x = node.x, y = node.y;
    QTest::keyClick(Widget(), Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(Widget(), Qt::Key_Right);
    EXPECT_EQ(node.x, x);
    EXPECT_EQ(node.y, y);
    const Gdiplus::PointF moved = Pixel(node.rightX + observed.m_xOffset, observed.PlottedY(node.rightY));
    EXPECT_NEAR(moved.X - handle.X, 1, 0.01);
    EXPECT_NEAR(moved.Y - handle.Y, -10, 0.01);
    EXPECT_NEAR(node.leftX, 2 * x - node.rightX, 1e-9);
    EXPECT_NEAR(node.leftY, 2 * y - node.rightY, 1e-9);
}

TEST_F(CanvasInput, ArrowKeysMoveTheCursorWhenNoNodeIsSelected)
{
    AddNaCl();
    Paint();
    Click(400, 300);
    ASSERT_TRUE(Cursor()->IsActive());
    ASSERT_EQ(::GetFocus(), canvas.m_hWnd) << "a press gives the canvas the focus";
    EXPECT_EQ(Send(WM_GETDLGCODE, 0, 0), 0x81) << "arrows and characters while it has the focus";
    QTest::keyClick(Widget(), Qt::Key_Left, Qt::ShiftModifier);
    LXGraphics::CSyncPoint centre;
    Cursor()->GetCentre(centre);
    EXPECT_EQ(centre.m_int.X, 390);
    QTest::keyClick(Widget(), Qt::Key_Down);
    Cursor()->GetCentre(centre);
    EXPECT_EQ(centre.m_int.X, 390);
}

TEST_F(CanvasInput, ColourPopupChoiceBecomesAnOpaqueCursorColour)
{
    AddNaCl();
    Send(0x7EC, 0, LPARAM(RGB(255, 0, 0)));
    EXPECT_EQ(Cursor()->m_rec.color, 0xFFFF0000u);
    Send(0x7EC, 0, LPARAM(RGB(0x12, 0x34, 0x56)));
    EXPECT_EQ(Cursor()->m_rec.color, 0xFF123456u);
}

TEST_F(CanvasInput, ContextMenuOffersThePlotCommands)
{
    AddNaCl();
    Paint();
    static std::vector<std::wstring> items;
    items.clear();
    qlw::SetMenuAnswer([](HMENU menu, HWND) -> UINT {
        wchar_t text[128];
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i)
            if (::GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION) > 0) items.push_back(text);
        return 0;
    });
    Send(WM_CONTEXTMENU, WPARAM(canvas.m_hWnd), MAKELPARAM(100, 100));
    qlw::SetMenuAnswer(nullptr);
    const std::vector<std::wstring> expected{L"Plot Range...\tCtrl+L", L"Autoscale Y",  L"Autoscale X && Y",
                                             L"Show Peak Tips",         L"Show Cursor",  L"Show Ruler",
                                             L"Show Loupe",             L"Show Legend",  L"Copy Graphics",
                                             L"Export Graphics..."};
    EXPECT_EQ(items, expected);
}
TEST_F(CanvasInput, APressOutsideTheCapturedCanvasEndsTheDragAndGoesWhereItWasMade)
{
    AddNaCl();
    Paint();
    // A sibling beside the canvas that counts its presses.
    struct Sibling : CWnd
    {
        int presses = 0;
        LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override
        {
            if (message == WM_LBUTTONDOWN) ++presses;
            return CWnd::WindowProc(message, w, l);
        }
    } sibling;
    canvas.MoveWindow(0, 0, 600, 570);
    ASSERT_TRUE(sibling.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(620, 0, 780, 570), &host, 7));
    Pump();
    Paint();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(300, 200));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(280, 200));
    ASSERT_EQ(::GetCapture(), canvas.m_hWnd);
    // While the canvas holds the capture, a press over the sibling comes to the canvas.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(700, 100));
    EXPECT_FALSE(canvas.m_bDragging);
    EXPECT_EQ(::GetCapture(), nullptr);
    Pump(50);
    EXPECT_EQ(sibling.presses, 1);
    sibling.DestroyWindow();
}
TEST_F(CanvasInput, PlotCommandsGoToTheSwitchedOnToolsWithoutClaimingTheRange)
{
    AddNaCl();
    Paint();
    struct CommandTool : CTool
    {
        std::vector<UINT> seen;
        bool OnMenuCommand(CGraphRenderer* renderer, UINT id) override
        {
            seen.push_back(id);
            return renderer && id == 34170;
        }
    };
    auto tool = std::make_shared<CommandTool>();
    tool->m_rec.visible = 1;
    doc.GetSettings()->m_tools.push_back(tool);
    EXPECT_TRUE(canvas.OnCmdMsg(34170, CN_COMMAND, nullptr, nullptr)) << "the tool takes it, with the renderer";
    EXPECT_FALSE(canvas.OnCmdMsg(34171, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(tool->seen, (std::vector<UINT>{34170, 34171}));
    // Show Cursor gives the canvas the focus and goes on to the document.
    ::SetFocus(host.m_hWnd);
    EXPECT_FALSE(canvas.OnCmdMsg(33582, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(::GetFocus(), canvas.m_hWnd);
    // Asked only whether it has a handler, the canvas does not claim the plot commands.
    AFX_CMDHANDLERINFO info{};
    EXPECT_FALSE(canvas.OnCmdMsg(34170, CN_COMMAND, nullptr, &info));
    tool->m_rec.visible = 0;
    EXPECT_FALSE(canvas.OnCmdMsg(34170, CN_COMMAND, nullptr, nullptr)) << "a switched-off tool hears nothing";
}
TEST_F(CanvasInput, QtMouseEventsPanAndDoubleClickLikeTheMessages)
{
    AddNaCl();
    ShowAround200();
    const double ppu = canvas.GetRenderer()->GetXPixelsPerUnit();
    QTest::mousePress(Widget(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 150));
    QTest::mouseMove(Widget(), QPoint(350, 150));
    QTest::mouseMove(Widget(), QPoint(300, 150));
    QTest::mouseRelease(Widget(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 150));
    EXPECT_NEAR(doc.GetSettings()->m_visibleXMin, 25 + 100 / ppu, 1e-9);
    EXPECT_FALSE(g_bPlotDragging);
    EXPECT_EQ(::GetCapture(), nullptr) << "the release ended the grab";

    ShowAround200();
    const Gdiplus::PointF p = PeakPixel(kNaCl200);
    QTest::mouseDClick(Widget(), Qt::LeftButton, Qt::NoModifier, QPoint(int(std::lround(p.X)), int(std::lround(p.Y))));
    EXPECT_EQ(watcher.Count(21), 1);
    EXPECT_NEAR(Centre(), kNaCl200, 0.01);
    // A double click ends on a press: the button goes up again before the next test.
    QTest::mouseRelease(Widget(), Qt::LeftButton, Qt::NoModifier, QPoint(int(std::lround(p.X)), int(std::lround(p.Y))));
}
TEST_F(CanvasInput, ZoomToCursorsTakesTheRulersSpanAndRefusesAnEmptyOne)
{
    AddNaCl();
    Paint();
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->m_rec.visible = 1;
    const auto& plot = canvas.GetRenderer()->GetPlotRect().m_float;
    // Level with the plot's bottom: the zoom would give a y range of zero.
    ruler->m_rec.x = 0;
    ruler->m_rec.y = plot.Height / 2;
    EXPECT_TRUE(canvas.OnCmdMsg(34173, CN_COMMAND, nullptr, nullptr));
    EXPECT_DOUBLE_EQ(s.m_visibleXMin, 10);
    EXPECT_DOUBLE_EQ(s.m_visibleXMax, 90);
    EXPECT_TRUE(ruler->IsActive()) << "refused: nothing changed";

    ruler->m_rec.y = -plot.Height / 4;
    float lx = 0, ly = 0, rx = 0, ry = 0;
    ruler->AttachRenderer(canvas.GetRenderer().get());
    ruler->GetEndPoint(1, lx, ly);
    ruler->GetEndPoint(0, rx, ry);
    ruler->DetachRenderer();
    EXPECT_TRUE(canvas.OnCmdMsg(34173, CN_COMMAND, nullptr, nullptr));
    EXPECT_NEAR(s.m_visibleXMin, DataX(lx), 1e-3);
    EXPECT_NEAR(s.m_visibleXMax, DataX(rx), 1e-3);
    EXPECT_GT(s.m_visibleYMax, 0);
    EXPECT_FALSE(ruler->IsActive()) << "once the window spans the ruler, the ruler goes";
    EXPECT_FALSE(ruler->IsShown());
}
TEST_F(CanvasInput, ZoomToCursorsRefusesASpanNarrowerThanTheZoomLimitAndBeeps)
{
    AddNaCl();
    // 0.05° shown of 80°: any ruler span here is under the 1/1000 that the zoom commands allow.
    doc.SetPlotRange(40, 40.05, 0, doc.GetSettings()->m_visibleYMax, true);
    Paint();
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->m_rec.visible = 1;
    ruler->m_rec.y = -canvas.GetRenderer()->GetPlotRect().m_float.Height / 4;
    const unsigned beeps = qlw::MessageBeepCount();
    EXPECT_TRUE(canvas.OnCmdMsg(34173, CN_COMMAND, nullptr, nullptr));
    EXPECT_DOUBLE_EQ(s.m_visibleXMin, 40);
    EXPECT_DOUBLE_EQ(s.m_visibleXMax, 40.05);
    EXPECT_TRUE(ruler->IsActive());
    EXPECT_EQ(qlw::MessageBeepCount(), beeps + 1) << "a refused zoom beeps";
}
TEST_F(CanvasInput, SelectingTheRulerIsNoPlotClickAndItTakesCopyOnlyWhileSelected)
{
    AddNaCl();
    Paint();
    CDiffractionSettings& s = *doc.GetSettings();
    CRuler* ruler = s.GetRuler(true);
    ruler->m_target = canvas.m_hWnd;
    ruler->m_rec.visible = 1;
    const auto& plot = canvas.GetRenderer()->GetPlotRect().m_float;
    const double cx = plot.X + plot.Width / 2, cy = plot.Y + plot.Height / 2;
    // Switched on but not selected: Copy is the plot's.
    EXPECT_FALSE(ruler->IsShown());
    EXPECT_FALSE(canvas.OnCmdMsg(57634, CN_COMMAND, nullptr, nullptr));

    Click(cx, cy);
    EXPECT_TRUE(ruler->IsShown()) << "the click selected the ruler";
    EXPECT_FALSE(Cursor()->IsActive()) << "and did not put the cursor there";
    EXPECT_TRUE(canvas.OnCmdMsg(57634, CN_COMMAND, nullptr, nullptr)) << "selected, the ruler copies its span";

    // A plain click away from the ruler's guide lines shows the cursor; a click on its line
    // hides it again.
    Click(plot.X + 40, plot.Y + 30);
    ASSERT_TRUE(Cursor()->IsActive());
    EXPECT_FALSE(ruler->IsShown());
    EXPECT_FALSE(canvas.OnCmdMsg(57634, CN_COMMAND, nullptr, nullptr));
    Click(plot.X + 40, plot.Y + 30);
    EXPECT_FALSE(Cursor()->IsActive());
}
TEST_F(CanvasInput, APressOnTheCursorSelectsItAndTheDragMovesIt)
{
    AddNaCl();
    Paint();
    Click(400, 300);
    ASSERT_TRUE(Cursor()->IsActive());
    Send(WM_MOUSEMOVE, 0, At(403, 200));
    EXPECT_EQ(canvas.GetCursorIdForState(), 2003u) << "the cursor's own shape over its line";
    const double lo = doc.GetSettings()->m_visibleXMin;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(403, 200));
    EXPECT_TRUE(Cursor()->IsShown());
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(430, 220));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(453, 240));
    Send(WM_LBUTTONUP, 0, At(453, 240));
    LXGraphics::CSyncPoint centre;
    Cursor()->GetCentre(centre);
    EXPECT_EQ(centre.m_int.X, 450);
    EXPECT_EQ(doc.GetSettings()->m_visibleXMin, lo) << "a tool drag does not pan";
    EXPECT_TRUE(Cursor()->IsActive()) << "a drag is no click";
}

TEST_F(CanvasInput, DraggingABackgroundNodePutsItUnderThePointer)
{
    CQLProfile points;
    for (int i = 0; i <= 80; ++i) points.push_back({10.0 + i, 100.0});
    CQLPatternPtr p = doc.AddObservedPattern(points);
    auto& observed = static_cast<CQLObservedPattern&>(*p);
    observed.AddBackgroundCurve();
    observed.m_xOffset = 2;
    doc.SetPlotRange(10, 90, 0, 200, true);
    ASSERT_GE(observed.m_controlPoints.size(), 2u);
    Paint();
    CQLControlPoint& node = observed.m_controlPoints[0];  // at 10 + 2, inside the plot
    const Gdiplus::PointF at = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    const double lo = doc.GetSettings()->m_visibleXMin;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(at.X, at.Y));
    EXPECT_EQ(canvas.GetCursorIdForState(), 2000u);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(at.X + 15, at.Y - 20));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(at.X + 30, at.Y - 40));
    EXPECT_EQ(canvas.GetCursorIdForState(), 2000u);
    Send(WM_LBUTTONUP, 0, At(at.X + 30, at.Y - 40));
    const Gdiplus::PointF moved = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    EXPECT_NEAR(moved.X, std::lround(at.X) + 30, 0.01);
    EXPECT_NEAR(moved.Y, std::lround(at.Y) - 40, 0.01);
    EXPECT_EQ(doc.GetSettings()->m_visibleXMin, lo) << "a node drag does not pan";
    EXPECT_FALSE(Cursor()->IsActive());
}

// A picked node whose pattern is then hidden or unselected is no longer drawn: it must not eat the
// next click on the plot nor take the arrow keys. On a drawn node the first click only unpicks it.
struct PickedNodeCase
{
    const char* name;
    bool hide, unselect;
    bool drawn;
};
void PrintTo(const PickedNodeCase& c, std::ostream* os) { *os << c.name; }

struct PickedNode : CanvasInput, ::testing::WithParamInterface<PickedNodeCase>
{
};

TEST_P(PickedNode, TakesInputOnlyWhileItsPatternIsShownAndSelected)
{
    const PickedNodeCase& c = GetParam();
    AddNaCl();
    CQLProfile points;
    for (int i = 0; i <= 80; ++i) points.push_back({10.0 + i, 100.0 + 10 * std::sin(i * 0.3)});
    CQLPatternPtr p = doc.AddObservedPattern(points);
    auto& observed = static_cast<CQLObservedPattern&>(*p);
    observed.AddBackgroundCurve();
    observed.AddBackgroundPoint();
    nacl->SetSelected(false);
    p->SetSelected(true);
    doc.SetPlotRange(10, 90, 0, 200, true);
    Paint();
    CQLControlPoint& node = observed.m_controlPoints[1];
    const Gdiplus::PointF at = Pixel(node.x + observed.m_xOffset, observed.PlottedY(node.y));
    Click(at.X, at.Y);
    ASSERT_EQ(canvas.m_pSelectedNode, &node);
    ASSERT_FALSE(Cursor()->IsActive());

    if (c.hide) p->SetShown(false);
    if (c.unselect) {
        p->SetSelected(false);
        nacl->SetSelected(true);
    }
    Paint();
    const double x = node.x, y = node.y;
    QTest::keyClick(Widget(), Qt::Key_Right);
    EXPECT_EQ(node.x != x || node.y != y, c.drawn) << "the arrow keys move only a node that is drawn";

    Click(400, 300);
    EXPECT_EQ(Cursor()->IsActive(), !c.drawn) << "the first click shows the cursor unless it unpicks a drawn node";
    EXPECT_FALSE(node.IsFlagged());
    if (c.drawn) {
        Click(400, 300);
        EXPECT_TRUE(Cursor()->IsActive()) << "the second click";
    }
}

INSTANTIATE_TEST_SUITE_P(Patterns, PickedNode,
                         ::testing::Values(PickedNodeCase{"ShownAndSelected", false, false, true},
                                           PickedNodeCase{"RowUnticked", true, false, false},
                                           PickedNodeCase{"AnotherPatternSelected", false, true, false}),
                         [](const ::testing::TestParamInfo<PickedNodeCase>& info) { return info.param.name; });
}  // namespace

// The loupe over the canvas of the fixture, shown, so that its lens draws the plot.
struct LoupeOverCanvas : CanvasInput
{
    void SetUp() override
    {
        CanvasInput::SetUp();
        AddNaCl();
        Paint();
        ASSERT_TRUE(loupe.Create(&host, &canvas));
        canvas.SetPlotChangedListener([this] { loupe.PlotChanged(); });
        loupe.OnLoupeCommand(33585);
        ASSERT_TRUE(loupe.IsLoupeVisible());
    }
    void TearDown() override
    {
        canvas.SetPlotChangedListener(nullptr);
        loupe.DestroyWindow();
        CanvasInput::TearDown();
    }
    LRESULT ToLoupe(UINT message, WPARAM w, LPARAM l) { return ::SendMessageW(loupe.m_hWnd, message, w, l); }
    void PaintLoupe()
    {
        loupe.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump();
    }
    void WheelLoupe(int delta) { ToLoupe(WM_MOUSEWHEEL, MAKEWPARAM(0, short(delta)), At(300, 300)); }
    CLoupe loupe;
};

TEST_F(LoupeOverCanvas, WheelStepsByTenWithinItsLimitsAndIgnoresTouchpadPhases)
{
    for (int k = 0; k < 5; ++k) WheelLoupe(120);
    EXPECT_FLOAT_EQ(loupe.GetZoom(), 450);
    EXPECT_EQ(loupe.GetCheckedZoomCommand(), 34573u) << "450% checks 400%";
    WheelLoupe(0);
    EXPECT_FLOAT_EQ(loupe.GetZoom(), 450) << "a delta of 0 is no step";
    for (int k = 0; k < 60; ++k) WheelLoupe(120);
    EXPECT_FLOAT_EQ(loupe.GetZoom(), 800);
    EXPECT_EQ(loupe.GetCheckedZoomCommand(), 34577u);
    for (int k = 0; k < 80; ++k) WheelLoupe(-120);
    EXPECT_FLOAT_EQ(loupe.GetZoom(), 100);
    loupe.OnLoupeCommand(34571);
    EXPECT_FLOAT_EQ(loupe.GetZoom(), 200);
    EXPECT_EQ(loupe.GetCheckedZoomCommand(), 34571u);
}

TEST_F(LoupeOverCanvas, TheGripResizesWithinItsLimitsAndOnlyFromTwentyPixels)
{
    const POINT grip = loupe.GetGripPoint();
    EXPECT_EQ(loupe.PressModeAt(POINT{grip.x, grip.y + 20}), CLoupe::kModeResize);
    EXPECT_NE(loupe.PressModeAt(POINT{grip.x + 21, grip.y}), CLoupe::kModeResize);
    EXPECT_EQ(loupe.PressModeAt(POINT{300, 300}), CLoupe::kModeLens);
    EXPECT_EQ(loupe.PressModeAt(POINT{5, 5}), CLoupe::kModeFrame);

    ToLoupe(WM_LBUTTONDOWN, MK_LBUTTON, At(grip.x, grip.y));
    ToLoupe(WM_MOUSEMOVE, MK_LBUTTON, At(grip.x, grip.y + 400));
    EXPECT_EQ(loupe.GetLensSize(), 600);
    ToLoupe(WM_MOUSEMOVE, MK_LBUTTON, At(grip.x, grip.y - 400));
    EXPECT_EQ(loupe.GetLensSize(), 280);
    ToLoupe(WM_LBUTTONUP, 0, At(grip.x, grip.y));
    EXPECT_EQ(loupe.GetMode(), CLoupe::kModeNone);
}

TEST_F(LoupeOverCanvas, ALensDragMovesTheWindowAndRendersOnlyAtTheRelease)
{
    PaintLoupe();
    const int renders = loupe.GetRenderCount();
    EXPECT_GE(renders, 1);
    RECT before{};
    loupe.GetWindowRect(&before);
    ToLoupe(WM_LBUTTONDOWN, MK_LBUTTON, At(300, 300));
    ToLoupe(WM_MOUSEMOVE, MK_LBUTTON, At(320, 310));
    PaintLoupe();
    RECT after{};
    loupe.GetWindowRect(&after);
    EXPECT_EQ(after.left - before.left, 20);
    EXPECT_EQ(after.top - before.top, 10);
    EXPECT_EQ(loupe.GetRenderCount(), renders) << "no render while dragged by the lens";
    ToLoupe(WM_LBUTTONUP, 0, At(300, 300));
    PaintLoupe();
    EXPECT_EQ(loupe.GetRenderCount(), renders + 1);
}

TEST_F(LoupeOverCanvas, APressEndsAfterTheMenuOrALostReleaseAndPlotChangesRenderAgain)
{
    // The label's menu: the next press is taken.
    qlw::SetMenuAnswer([](HMENU, HWND) -> UINT { return 34569; });
    const RECT label = loupe.GetLabelRect();
    ToLoupe(WM_LBUTTONDOWN, MK_LBUTTON, At(label.left + 5, label.top + 5));
    qlw::SetMenuAnswer(nullptr);
    EXPECT_FALSE(loupe.IsCircle()) << "Square was chosen";
    EXPECT_EQ(loupe.GetMode(), CLoupe::kModeNone);
    const POINT grip = loupe.GetGripPoint();
    ToLoupe(WM_LBUTTONDOWN, MK_LBUTTON, At(grip.x, grip.y));
    EXPECT_EQ(loupe.GetMode(), CLoupe::kModeResize);
    // The release went elsewhere: a move without the button ends the press.
    ToLoupe(WM_MOUSEMOVE, 0, At(grip.x, grip.y + 50));
    EXPECT_EQ(loupe.GetMode(), CLoupe::kModeNone);
    EXPECT_EQ(loupe.GetLensSize(), 300);

    PaintLoupe();
    const int renders = loupe.GetRenderCount();
    PaintLoupe();
    EXPECT_EQ(loupe.GetRenderCount(), renders) << "nothing changed, nothing rendered";
    doc.SetPlotRange(20, 60, 0, doc.GetSettings()->m_visibleYMax, true);
    PaintLoupe();
    EXPECT_EQ(loupe.GetRenderCount(), renders + 1) << "the plot changed under the lens";

    loupe.OnLoupeCommand(33585);
    EXPECT_FALSE(loupe.IsLoupeVisible());
    EXPECT_FALSE(loupe.IsWindowVisible());
}

TEST_F(LoupeOverCanvas, DraggedByItsLensItShowsThePlotInPlaceDimmedAroundTheFootprint)
{
    PaintLoupe();
    ToLoupe(WM_LBUTTONDOWN, MK_LBUTTON, At(300, 300));
    Gdiplus::Bitmap shown(CLoupe::kWindowSize, CLoupe::kWindowSize, Gdiplus::PixelFormat32bppARGB);
    loupe.Render(shown);
    std::unique_ptr<Gdiplus::Image> image(canvas.RenderToBuffer(CImagingPane::RenderRequest()));
    auto* plot = dynamic_cast<Gdiplus::Bitmap*>(image.get());
    ASSERT_NE(plot, nullptr);
    POINT loupeOrigin{0, 0}, canvasOrigin{0, 0};
    loupe.ClientToScreen(&loupeOrigin);
    canvas.ClientToScreen(&canvasOrigin);
    // A loupe pixel and the plot pixel beneath it.
    const auto pair = [&](int x, int y) {
        Gdiplus::Color a, b;
        shown.GetPixel(x, y, &a);
        plot->GetPixel(x + loupeOrigin.x - canvasOrigin.x, y + loupeOrigin.y - canvasOrigin.y, &b);
        return std::make_pair(a, b);
    };
    // Inside the footprint (a quarter of the lens at 400 %) the plot as it is; between the
    // footprint and the lens's rim, the plot under half-transparent grey.
    for (const POINT p : {POINT{300, 300}, POINT{310, 280}}) {
        const auto [lens, under] = pair(p.x, p.y);
        EXPECT_EQ(lens.GetValue(), under.GetValue()) << p.x << "," << p.y;
    }
    for (const POINT p : {POINT{300, 200}, POINT{220, 320}}) {
        const auto [lens, under] = pair(p.x, p.y);
        const int dimmed = (under.GetR() * 127 + 0x64 * 128 + 127) / 255;
        EXPECT_NEAR(lens.GetR(), dimmed, 2) << p.x << "," << p.y;
    }
    ToLoupe(WM_LBUTTONUP, 0, At(300, 300));
}

TEST_F(LoupeOverCanvas, ItsFrameDrawnOnceRendersAsAFreshLoupeDoesAcrossShapesAndSizes)
{
    const auto rendered = [](CLoupe& l) {
        Gdiplus::Bitmap target(CLoupe::kWindowSize, CLoupe::kWindowSize, Gdiplus::PixelFormat32bppARGB);
        l.Render(target);
        return target.Q().copy();
    };
    const auto grow = [](CLoupe& l, int by) {
        const POINT grip = l.GetGripPoint();
        ::SendMessageW(l.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, At(grip.x, grip.y));
        ::SendMessageW(l.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, At(grip.x, grip.y + by / 2));
        ::SendMessageW(l.m_hWnd, WM_LBUTTONUP, 0, At(grip.x, grip.y + by / 2));
    };
    // Each step changes the loupe, which then renders as a loupe made in that state at once.
    const struct {
        UINT shape;
        int growBy;
    } steps[] = {{34568, 0}, {34569, 0}, {34569, 100}, {34568, 0}};  // Circle, Square
    int grown = 0;
    for (const auto& step : steps) {
        loupe.OnLoupeCommand(step.shape);
        if (step.growBy) grow(loupe, step.growBy);
        grown += step.growBy;
        const QImage cached = rendered(loupe);
        CLoupe fresh;
        ASSERT_TRUE(fresh.Create(&host, &canvas));
        fresh.OnLoupeCommand(33585);
        fresh.OnLoupeCommand(step.shape);
        if (grown) grow(fresh, grown);
        ASSERT_EQ(fresh.GetLensSize(), loupe.GetLensSize());
        EXPECT_TRUE(cached == rendered(fresh)) << "step " << (&step - steps);
        fresh.DestroyWindow();
    }
}

TEST_F(LoupeOverCanvas, ADragStepDrawnOnOneThreadOfThePoolMatchesTheCallingThreadsDrawing)
{
    PaintLoupe();
    ToLoupe(WM_LBUTTONDOWN, MK_LBUTTON, At(300, 300));
    // Steps of the drag, round and square, with the label hovered on the way.
    const struct {
        int dx, dy;
        UINT shape;
    } steps[] = {{3, 0, 34568}, {-7, 5, 34568}, {12, -9, 34569}, {0, 0, 34569}};
    int x = 300, y = 300;
    for (const auto& step : steps) {
        loupe.OnLoupeCommand(step.shape);
        x += step.dx, y += step.dy;
        ToLoupe(WM_MOUSEMOVE, MK_LBUTTON, At(x, y));
        Gdiplus::Bitmap handed(CLoupe::kWindowSize, CLoupe::kWindowSize, Gdiplus::PixelFormat32bppARGB);
        Gdiplus::Bitmap here(CLoupe::kWindowSize, CLoupe::kWindowSize, Gdiplus::PixelFormat32bppARGB);
        loupe.Render(handed);
        loupe.Render(here, false);
        EXPECT_TRUE(handed.Q() == here.Q()) << "step " << (&step - steps);
    }
    ToLoupe(WM_LBUTTONUP, 0, At(x, y));
}
