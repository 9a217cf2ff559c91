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

  CWatchdog::Timing m_saved;
  CWatchdog::WaitCursorHook m_previousHook = nullptr;
};
}  // namespace

// A thread with its own message loop plays the user-interface thread, so the heartbeat comes from
// the real timer and message hook.
TEST(Watchdog, BlockedMessageLoopShowsTheWaitCursorOnceUntilTheLoopRunsAgain) {
  const CWatchdog::Timing saved = CWatchdog::GetTiming();
  // A busy limit that a loop kept from running for a moment by a loaded machine does not reach.
  CWatchdog::SetTiming({15, 400, 5});
  const CWatchdog::WaitCursorHook previous = CWatchdog::SetWaitCursorHook(CountCursor);
  g_cursorShows = 0;
  g_cursorRemovals = 0;
  // The bound only ends a test that would hang.
  auto pumpUntil = [](const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done() && std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  };
  // Blocked, taking no messages, until the watchdog has judged, and then past its busy limit again.
  auto blockUntilShown = [](int shows) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (g_cursorShows.load() < shows && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  };
  std::thread ui([&]() {
    ASSERT_TRUE(CWatchdog::Start());
    auto start = std::chrono::steady_clock::now();
    pumpUntil([&]() { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(600); });
    EXPECT_EQ(g_cursorShows.load(), 0) << "a loop that keeps running is not busy";

    blockUntilShown(1);
    EXPECT_EQ(g_cursorShows.load(), 1) << "shown once per busy period";
    EXPECT_TRUE(CWatchdog::Get()->IsBusy());
    EXPECT_TRUE(pumpUntil([]() { return g_cursorRemovals.load() == 1; }));
    EXPECT_FALSE(CWatchdog::Get()->IsBusy());

    blockUntilShown(2);
    EXPECT_EQ(g_cursorShows.load(), 2) << "a second busy period shows it again";
    EXPECT_TRUE(pumpUntil([]() { return g_cursorRemovals.load() == 2; }));
    EXPECT_TRUE(CWatchdog::Stop());
  });
  ui.join();
  CWatchdog::SetWaitCursorHook(previous);
  CWatchdog::SetTiming(saved);
}

TEST_F(WatchdogFixture, PausedWatchdogDoesNotJudgeAndStopsWhilePaused) {
  ASSERT_TRUE(CWatchdog::Pause());
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(g_cursorShows.load(), 0);
}
