// The watchdog's wait cursor reaches the user-interface thread's override cursor and is restored.
#include "WaitCursorHook.h"

#include "GuiTestApp.h"

#include "LXApp.h"
#include "Watchdog.h"

#include <QCursor>

#include <gtest/gtest.h>

#include <thread>

namespace {
using qlwtest::PumpUntil;

bool ShowsWaitCursor() {
  QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// Calls the installed hook the way the watchdog does: from its own thread.
void CallHookFromAnotherThread(int delta) {
  CWatchdog::WaitCursorHook hook = CWatchdog::SetWaitCursorHook(nullptr);
  CWatchdog::SetWaitCursorHook(hook);
  ASSERT_NE(hook, nullptr);
  std::thread watchdog([hook, delta]() { hook(delta); });
  watchdog.join();
}

class WaitCursorFixture : public testing::Test {
 protected:
  void SetUp() override {
    qlwtest::EnsureGuiApp();
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    InstallWaitCursorHook();
  }
  void TearDown() override {
    RemoveWaitCursorHook();
    while (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
  }
};
}  // namespace

TEST_F(WaitCursorFixture, ShowAndRemoveFromTheWatchdogThreadSetAndRestoreTheOverrideCursor) {
  CallHookFromAnotherThread(1);
  EXPECT_FALSE(ShowsWaitCursor()) << "the change waits for the user-interface thread";
  ASSERT_TRUE(PumpUntil(ShowsWaitCursor));
  EXPECT_TRUE(CLXApp::IsBusy()) << "the application's busy flag follows the wait cursor";
  CallHookFromAnotherThread(-1);
  EXPECT_TRUE(PumpUntil([]() { return QGuiApplication::overrideCursor() == nullptr; }));
  EXPECT_FALSE(CLXApp::IsBusy());

  // A second busy period shows it again.
  CallHookFromAnotherThread(1);
  EXPECT_TRUE(PumpUntil(ShowsWaitCursor));
  CallHookFromAnotherThread(-1);
  EXPECT_TRUE(PumpUntil([]() { return QGuiApplication::overrideCursor() == nullptr; }));
}

TEST_F(WaitCursorFixture, UnmatchedRemovalLeavesAnotherOverrideCursorAlone) {
  QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
  CallHookFromAnotherThread(-1);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
}

TEST_F(WaitCursorFixture, RemovingTheHookRestoresAWaitCursorItStillHolds) {
  CallHookFromAnotherThread(1);
  ASSERT_TRUE(PumpUntil(ShowsWaitCursor));
  CallHookFromAnotherThread(1);  // still queued when the hook goes
  RemoveWaitCursorHook();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
