// The progress window drawn on real widgets (offscreen platform) from the status manager's decisions.
#include "StatusWidget.h"

#include "StatusPicture.h"

#include "GuiTestApp.h"

#include "Status.h"
#include "StatusMgr.h"
#include "testing/FakeClock.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {
using qlwtest::PumpUntil;

QWidget* g_mainWindow = nullptr;
QWidget* MainWindow() { return g_mainWindow; }

class StatusWidgetFixture : public testing::Test {
 protected:
  void SetUp() override {
    qlwtest::EnsureGuiApp();
    m_main = std::make_unique<QWidget>();
    m_main->setGeometry(100, 50, 800, 600);
    m_main->show();
    g_mainWindow = m_main.get();
    InstallStatusWindowDrawer(MainWindow);
    ASSERT_TRUE(CStatus::EnableForThread());
  }
  void TearDown() override {
    CStatus::DisableForThread();
    RemoveStatusWindowDrawer();
    g_mainWindow = nullptr;
    m_main.reset();
  }
  // Waits for the manager to start its delay, then lets the fake clock run past it.
  void PassDelay(qlwtest::FakeClock& clock, ULONGLONG milliseconds) {
    ASSERT_TRUE(PumpUntil([]() { return CStatus::GetManager()->GetTimerId() != 0; }));
    clock.Advance(milliseconds);
  }

  std::unique_ptr<QWidget> m_main;
};
}  // namespace

TEST_F(StatusWidgetFixture, FrameHeldPastTheDelayShowsTextAndBarUntilTheLastFrameCloses) {
  qlwtest::FakeClock clock;
  {
    CStatus frame(L"  Reading  ");
    PassDelay(clock, 749);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    QCoreApplication::processEvents();
    EXPECT_EQ(GetStatusWidget(), nullptr) << "nothing before 750 ms";
    clock.Advance(1);
    ASSERT_TRUE(PumpUntil([]() { return GetStatusWidget() != nullptr && GetStatusWidget()->isVisible(); }));
    CLXStatusWidget* window = GetStatusWidget();
    ASSERT_TRUE(PumpUntil([&]() { return window->GetText()->text() == QStringLiteral("Reading..."); }));
    EXPECT_TRUE(window->GetBar()->IsMarquee()) << "fraction 0 moves the bar";
    EXPECT_EQ(window->GetBar()->MarqueeInterval(), 250);

    // 250 x 75 points at 96 DPI, centred on the main window's client area, rounded down.
    EXPECT_EQ(window->size(), QSize(333, 100));
    EXPECT_EQ(window->pos(), QPoint(100 + 233, 50 + 250));

    clock.Advance(200);
    CStatus::PushFrame(L"Computing", 50, 0, 100, nullptr);
    ASSERT_TRUE(PumpUntil([&]() { return !window->GetBar()->IsMarquee(); }));
    EXPECT_EQ(window->GetBar()->value(), 500);
    EXPECT_EQ(window->GetBar()->maximum(), 1000);
    EXPECT_EQ(window->GetBar()->MarqueeInterval(), 0) << "a plain bar stops the animation";
    EXPECT_EQ(window->GetText()->text(), QStringLiteral("Computing..."));
    EXPECT_EQ(GetStatusWidget(), window) << "the shown window is updated, not replaced";

    // Closing the inner frame brings the outer one's text and marquee back.
    clock.Advance(200);
    CStatus::GetThreadFrames()->frames.pop_back();
    CStatus::Update();
    ASSERT_TRUE(PumpUntil([&]() { return window->GetBar()->IsMarquee(); }));
    EXPECT_EQ(window->GetText()->text(), QStringLiteral("Reading..."));
    clock.Advance(200);
  }
  EXPECT_TRUE(PumpUntil([]() { return GetStatusWidget() == nullptr; })) << "closing the last frame destroys it";
}

TEST_F(StatusWidgetFixture, WindowIsAnUntitledTopmostToolWindowWithTheTextAboveTheBar) {
  CLXStatusWidget window;
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::Tool));
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(240, 240, 240));

  const QRect inside = window.contentsRect().adjusted(6, 6, -6, -6);
  const QRect bar = window.GetBar()->geometry();
  const QRect text = window.GetText()->geometry();
  EXPECT_EQ(bar.height(), GetSystemMetrics(SM_CYVSCROLL));
  EXPECT_EQ(bar.left(), inside.left());
  EXPECT_EQ(bar.right(), inside.right());
  EXPECT_EQ(bar.bottom(), inside.bottom());
  EXPECT_EQ(text.top(), inside.top());
  EXPECT_LT(text.bottom(), bar.top());
  EXPECT_EQ(window.GetText()->property(CLXStatusWidget::kControlIdProperty).toUInt(), 1401u);
  EXPECT_EQ(window.GetBar()->property(CLXStatusWidget::kControlIdProperty).toUInt(), 1400u);
  EXPECT_TRUE(window.GetBar()->IsMarquee()) << "a new window starts as a marquee";
}

TEST(StatusWidget, CentringRoundsPositionsDown) {
  qlwtest::EnsureGuiApp();
  struct Case {
    QRect area;
    QPoint position;
  } cases[] = {
      {QRect(0, 0, 800, 600), QPoint(233, 250)},
      {QRect(10, 20, 334, 101), QPoint(10, 20)},
      {QRect(0, 0, 300, 90), QPoint(-17, -5)},  // larger than the area: still rounded down
      {QRect(-400, 0, 400, 300), QPoint(-400 + 33, 100)},
  };
  CLXStatusWidget window;
  for (const Case& c : cases) {
    window.CentreOn(c.area);
    EXPECT_EQ(window.pos(), c.position) << c.area.x() << "," << c.area.y() << " " << c.area.width() << "x"
                                        << c.area.height();
  }
}

TEST(StatusWidget, StateQueuedAfterTheDrawerIsRemovedShowsNothing) {
  qlwtest::EnsureGuiApp();
  InstallStatusWindowDrawer();
  CLXStatusWnd* wnd = CLXStatusWnd::Create();
  wnd->Show();
  wnd->SetText(L"Late...");
  RemoveStatusWindowDrawer();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(GetStatusWidget(), nullptr);
  wnd->Destroy();
  QCoreApplication::processEvents();
}

// The picture that the manager's thread shows: dark text in the upper part, the bar filled to its
// position (or a block where the marquee has got to) in the lower.
TEST(StatusPicture, TextAboveABarFilledToItsPositionOrItsMarqueeBlock) {
  qlwtest::EnsureGuiApp();
  const StatusPictureStyle style{StatusFontFamily(), 1};
  auto highlightColumns = [](const QImage& image) {
    // Columns of the bar's middle row in the highlight colour: first and last, -1 when none.
    const int row = image.height() - 1 - 6 - GetSystemMetrics(SM_CYVSCROLL) / 2;
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, row) == QColor(0, 120, 215)) {
        if (first < 0) first = x;
        last = x;
      }
    return std::make_pair(first, last);
  };
  CLXStatusWnd::State state;
  state.exists = state.visible = true;
  state.text = L"Reading CIF file...";

  const QImage text = DrawStatusPicture(state, style);
  EXPECT_EQ(text.size(), QSize(333, 100));
  int dark = 0;
  for (int y = 0; y < text.height() / 2; ++y)
    for (int x = 0; x < text.width(); ++x) dark += text.pixelColor(x, y).lightness() < 90 ? 1 : 0;
  EXPECT_GT(dark, 50) << "the text is drawn";

  // The groove runs from 9 to 323 inside the frame, margin and bar border.
  const struct {
    int position;
    int last;
  } plain[] = {{0, -1}, {500, 9 + 157 - 1}, {1000, 323}};
  for (const auto& c : plain) {
    state.marquee = false;
    state.position = c.position;
    const auto [first, last] = highlightColumns(DrawStatusPicture(state, style));
    EXPECT_EQ(last, c.last) << c.position;
    if (c.last >= 0) EXPECT_EQ(first, 9) << c.position;
  }
  state.marquee = true;
  int previous = -1;
  for (int step : {1, 10, 18}) {
    state.marqueeStep = step;
    const auto [first, last] = highlightColumns(DrawStatusPicture(state, style));
    EXPECT_GT(first, previous) << "the block moves right, step " << step;
    EXPECT_LE(last - first + 1, 315 / 4) << step;
    previous = first;
  }
}
