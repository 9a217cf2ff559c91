// The watchdog notices a user-interface thread that sends no heartbeat, and notices its return.
#include "Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {
std::atomic<int> g_cursorShows{0};
std::atomic<int> g_cursorRemovals{0};
void CountCursor(int delta) { (delta > 0 ? g_cursorShows : g_cursorRemovals)++; }

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 400; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// Short intervals keep the test quick; the production values stay 1500/3000/1000 ms.
class WatchdogFixture : public testing::Test {
 protected:
  void SetUp() override {
    m_saved = CWatchdog::GetTiming();
    CWatchdog::SetTiming({15, 60, 5});
    m_previousHook = CWatchdog::SetWaitCursorHook(CountCursor);
    g_cursorShows = 0;
    g_cursorRemovals = 0;
    ASSERT_TRUE(CWatchdog::Start());
  }
  void TearDown() override {
    EXPECT_TRUE(CWatchdog::Stop());
    CWatchdog::SetWaitCursorHook(m_previousHook);
    CWatchdog::SetTiming(m_saved);
  }
  // The test thread plays the user-interface thread: it is "free" while it keeps poking.
  void BeFreeFor(int milliseconds) {
    for (int t = 0; t < milliseconds; t += 10) {
      CWatchdog::Heartbeat();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  CWatchdog::Timing m_saved;
  CWatchdog::WaitCursorHook m_previousHook = nullptr;
};
}  // namespace

TEST_F(WatchdogFixture, BusyPeriodsShowTheWaitCursorOnceAndTheHeartbeatRemovesIt) {
  BeFreeFor(150);
  EXPECT_EQ(g_cursorShows.load(), 0) << "a thread that keeps its heartbeat is not busy";
  EXPECT_FALSE(CWatchdog::Get()->IsBusy());

  // Blocked: no heartbeat for longer than the busy limit.
  ASSERT_TRUE(WaitFor([]() { return g_cursorShows.load() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(g_cursorShows.load(), 1) << "the cursor is shown once per busy period";
  EXPECT_TRUE(CWatchdog::Get()->IsBusy());

  CWatchdog::Heartbeat();
  ASSERT_TRUE(WaitFor([]() { return g_cursorRemovals.load() == 1; }));
  EXPECT_FALSE(CWatchdog::Get()->IsBusy());

  ASSERT_TRUE(WaitFor([]() { return g_cursorShows.load() == 2; })) << "a second busy period shows it again";
  CWatchdog::Heartbeat();
  ASSERT_TRUE(WaitFor([]() { return g_cursorRemovals.load() == 2; }));
}

TEST_F(WatchdogFixture, PausedWatchdogDoesNotJudgeAndStopsWhilePaused) {
  ASSERT_TRUE(CWatchdog::Pause());
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(g_cursorShows.load(), 0);
}
