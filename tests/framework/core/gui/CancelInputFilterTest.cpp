// Cancellable long work on the user-interface thread: Escape (and a click, when the work blocks the
// mouse) cancels it, every running step at once, and the window named gets "Cancel"; other input
// that arrives meanwhile waits and reaches its window once the work is done.
#include "CancelInputFilter.h"

#include "GuiTestApp.h"

#include "LXApp.h"
#include "LXMessage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
class InputRecorder : public QWidget {
 public:
  std::string seen;

 protected:
  void keyPressEvent(QKeyEvent* e) override { seen += e->key() == Qt::Key_Escape ? "<esc>" : e->text().toStdString(); }
  void mousePressEvent(QMouseEvent*) override { seen += "<click>"; }
  void wheelEvent(QWheelEvent*) override { seen += "<wheel>"; }
};

int g_cancelsReceived = 0;
LRESULT CALLBACK CancelTargetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g_msgCancel) ++g_cancelsReceived;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class CancelInput : public testing::Test {
 protected:
  void SetUp() override {
    qlwtest::EnsureGuiApp();
    InstallCancelInputFilter();
    owned = std::make_unique<InputRecorder>();
    owned->resize(100, 100);
    owned->show();
    g_cancelsReceived = 0;
  }
  void TearDown() override {
    while (CLXApp::IsCancellableRunning()) CLXApp::CancelCancellables();
    RemoveCancelInputFilter();
    owned.reset();
  }
  // The user's input as the window system queues it, to be seen at the next poll.
  void Key(Qt::Key key, const QString& text = {}) {
    QCoreApplication::postEvent(&widget(), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
  }
  void Click() {
    const QPointF at(10, 10);
    QCoreApplication::postEvent(&widget(), new QMouseEvent(QEvent::MouseButtonPress, at, widget().mapToGlobal(at),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  }
  void Wheel() {
    const QPointF at(10, 10);
    QCoreApplication::postEvent(&widget(), new QWheelEvent(at, widget().mapToGlobal(at), QPoint(), QPoint(0, 120),
                                                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
  }
  std::unique_ptr<InputRecorder> owned;
  InputRecorder& widget() { return *owned; }
};
}  // namespace

TEST_F(CancelInput, EscapeCancelsEveryRunningStepAndTellsItsWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CancelTargetProc;
  wc.lpszClassName = L"CancelTargetWindow";
  RegisterClassW(&wc);
  HWND target = CreateWindowW(L"CancelTargetWindow", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  bool outer = true, inner = true;
  CLXApp::BeginCancellable(nullptr, &outer, false);
  const DWORD cookie = CLXApp::BeginCancellable(target, &inner, false);
  EXPECT_FALSE(outer || inner) << "a step starts not cancelled";

  CLXApp::PollCancelInput();
  EXPECT_FALSE(outer || inner) << "nothing to cancel yet";
  Key(Qt::Key_Escape);
  CLXApp::PollCancelInput();
  EXPECT_TRUE(outer);
  EXPECT_TRUE(inner);
  EXPECT_EQ(g_cancelsReceived, 1);
  EXPECT_FALSE(CLXApp::IsCancellableRunning());
  CLXApp::EndCancellable(cookie);  // the step's own end after a cancel changes nothing
  QCoreApplication::processEvents();
  EXPECT_EQ(widget().seen, "") << "the Escape was the cancel's";
  DestroyWindow(target);
}

TEST_F(CancelInput, OtherInputWaitsUntilTheWorkIsDone) {
  bool cancelled = false;
  const DWORD cookie = CLXApp::BeginCancellable(nullptr, &cancelled, false);
  Key(Qt::Key_A, "a");
  Click();
  Key(Qt::Key_B, "b");
  Wheel();
  CLXApp::PollCancelInput();
  EXPECT_EQ(widget().seen, "") << "nothing reaches a window while the work runs";
  EXPECT_FALSE(cancelled) << "without blocking the mouse a click does not cancel";
  CLXApp::EndCancellable(cookie);
  ASSERT_TRUE(qlwtest::PumpUntil([&] { return widget().seen.size() >= 10; }));
  EXPECT_EQ(widget().seen, "a<click>b<wheel>");
}

TEST_F(CancelInput, WorkThatBlocksTheMouseIsCancelledByAClick) {
  bool cancelled = false;
  const DWORD cookie = CLXApp::BeginCancellable(nullptr, &cancelled, true);
  EXPECT_TRUE(CLXApp::IsBlockingMouse());
  Wheel();
  CLXApp::PollCancelInput();
  EXPECT_FALSE(cancelled) << "the wheel is swallowed, not a cancel";
  Click();
  CLXApp::PollCancelInput();
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(CLXApp::IsBlockingMouse());
  CLXApp::EndCancellable(cookie);
  QCoreApplication::processEvents();
  EXPECT_EQ(widget().seen, "") << "blocked mouse input never reaches the windows";
}

TEST_F(CancelInput, WithoutWorkInputGoesOnAsUsual) {
  Key(Qt::Key_Escape);
  Key(Qt::Key_A, "a");
  ASSERT_TRUE(qlwtest::PumpUntil([&] { return widget().seen == "<esc>a"; })) << widget().seen;
}
