// Progress frames per thread, and the manager's timing of the progress window on a fake clock.
#include "Status.h"
#include "StatusMgr.h"

#include "testing/FakeClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
// Waits for the manager thread to reach a state; the bound only ends a test that would hang.
bool WaitFor(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// Returns once the manager thread has been round its loop since the call: a timer or marquee step
// that is due is acted on before a queued message, so whatever it should ignore has been ignored.
void Settle() {
  CLXStatusMgr* manager = CStatus::GetManager();
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(manager->Pause(INFINITE));
  manager->Resume();
}

// What a presenter was given, and on which thread.
struct Presented {
  std::mutex lock;
  std::vector<CLXStatusWnd::State> states;
  std::vector<DWORD> threads;
  CLXStatusWnd::State Last() {
    std::lock_guard<std::mutex> guard(lock);
    return states.empty() ? CLXStatusWnd::State() : states.back();
  }
};
Presented g_presented;

void RecordPresented(const CLXStatusWnd::State& state) {
  std::lock_guard<std::mutex> guard(g_presented.lock);
  g_presented.states.push_back(state);
  g_presented.threads.push_back(GetCurrentThreadId());
}

// Installs the recording presenter for a scope.
struct PresenterScope {
  PresenterScope() {
    std::lock_guard<std::mutex> guard(g_presented.lock);
    g_presented.states.clear();
    g_presented.threads.clear();
    CLXStatusWnd::SetPresenter(RecordPresented);
  }
  ~PresenterScope() { CLXStatusWnd::SetPresenter(nullptr); }
};

class StatusFixture : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CStatus::EnableForThread()); }
  void TearDown() override { CStatus::DisableForThread(); }

  CLXStatusMgr* Manager() { return CStatus::GetManager(); }
  UINT Shows() {
    UINT count = 0;
    Manager()->GetShownState(&count);
    return count;
  }
  CLXStatusWnd::State Shown() { return Manager()->GetShownState(); }
  // The text and fraction the manager was last given.
  std::pair<std::wstring, double> Given() {
    CString text;
    double fraction = -1;
    Manager()->GetStatus(text, fraction);
    return {text.Str(), fraction};
  }
};
}  // namespace

TEST_F(StatusFixture, FractionClampsOrdersAndHandlesAnEmptyRange) {
  struct Case {
    double value, min, max, fraction;
  } cases[] = {
      {10, 10, 10, 0}, {12, 10, 10, 0}, {150, 0, 100, 1}, {25, 100, 0, 0.25}, {50, 0, 200, 0.25}, {-5, 0, 100, 0},
  };
  for (const Case& c : cases) {
    CStatus frame(L"x");
    CStatus::Frame& top = CStatus::GetThreadFrames()->frames.back();
    top.value = c.value;
    top.min = c.min;
    top.max = c.max;
    CStatus::Update();
    EXPECT_DOUBLE_EQ(Given().second, c.fraction) << c.value << " in " << c.min << ".." << c.max;
    EXPECT_LE(top.min, top.max);
  }
}

TEST(StatusFrame, CallsOnAThreadWithoutARecordDoNothing) {
  std::thread other([]() {
    CStatus frame(L"ignored");
    EXPECT_EQ(CStatus::GetThreadFrames(), nullptr);
  });
  other.join();
}

TEST(StatusText, DecorationTrimsAndAppendsTheEllipsisOnce) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"Reading", L"Reading..."}, {L"  Reading data from file...  ", L"Reading data from file..."}, {L"   ", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(CLXStatusMgr::DecorateStatusText(c.in).Str(), c.out);
}

TEST_F(StatusFixture, FramesNestAndTheTopFrameIsReported) {
  {
    CStatus outer(L"Reading %s", L"rutile.cif");
    EXPECT_EQ(Given().first, L"Reading rutile.cif");
    {
      CProgress<int> inner(1102, 10, 20);
      inner.Report(L"Site %d", 15, 3);
      auto given = Given();
      EXPECT_EQ(given.first, L"Site 3");
      EXPECT_DOUBLE_EQ(given.second, 0.5);
      ASSERT_NE(CStatus::GetThreadFrames(), nullptr);
      EXPECT_EQ(CStatus::GetThreadFrames()->frames.size(), 2u);
      inner.Report(L"Site %d", 99, 4);
      EXPECT_DOUBLE_EQ(Given().second, 1.0);
      EXPECT_DOUBLE_EQ(CStatus::GetThreadFrames()->frames.back().value, 20.0);
    }
    EXPECT_EQ(Given().first, L"Reading rutile.cif");
  }
  EXPECT_EQ(Given().first, L"");
  EXPECT_TRUE(CStatus::GetThreadFrames()->frames.empty());
}

TEST_F(StatusFixture, ProgressFromAFormatAndReportsFromTheStringTable) {
  CProgress<double> progress(L"Reading %s", 25.0, 0.0, 100.0, L"x.cif");
  EXPECT_EQ(Given().first, L"Reading x.cif");
  EXPECT_DOUBLE_EQ(Given().second, 0.25);
  progress.ReportFromId(1300, 50.0);
  EXPECT_EQ(Given().first, L"Reading data from file...");
  EXPECT_DOUBLE_EQ(Given().second, 0.5);
  progress.ReportFromId(99999, 75.0);  // no such string: nothing changes
  EXPECT_EQ(Given().first, L"Reading data from file...");
  EXPECT_DOUBLE_EQ(Given().second, 0.5);
}

TEST_F(StatusFixture, SuspendedThreadReportsNothingUntilEnabledAgain) {
  CStatus base(L"Base");
  {
    CStatusDisabler off;
    CStatus hidden(L"Hidden");
    EXPECT_EQ(Given().first, L"Base");
    {
      CStatusEnabler on;
      CStatus::SetTextV(L"Shown", nullptr);
      EXPECT_EQ(Given().first, L"Shown");
    }
  }
}

TEST_F(StatusFixture, StatusMessageDoublesPercentSigns) {
  CStatus::SetMessage(L"%d%% done", 50);
  EXPECT_EQ(CStatus::GetMessageText().Str(), L"50%% done");
  CStatus::ClearMessage();
  EXPECT_TRUE(CStatus::GetMessageText().IsEmpty());
}

TEST_F(StatusFixture, WindowAppearsAfter750msAndRepaintsAtMostEvery100ms) {
  qlwtest::FakeClock clock;
  const UINT before = Shows();
  CStatus frame(L"Reading");
  ASSERT_TRUE(WaitFor([&]() { return Manager()->GetTimerId() != 0; }));
  clock.Advance(749);
  Settle();
  EXPECT_EQ(Shows(), before) << "nothing is shown before 750 ms";
  clock.Advance(1);
  ASSERT_TRUE(WaitFor([&]() { return Shows() == before + 1; }));
  CLXStatusWnd::State state = Shown();
  EXPECT_TRUE(state.visible);
  EXPECT_EQ(state.text.Str(), L"Reading...");
  EXPECT_TRUE(state.marquee) << "fraction 0 shows a moving bar";

  clock.Advance(40);
  CStatus::PushFrame(L"Half", 50, 0, 100, nullptr);
  ASSERT_TRUE(WaitFor([&]() { return Manager()->GetTimerId() != 0; }));
  EXPECT_EQ(Manager()->GetTimerDelay(), 60u);
  clock.Advance(59);
  Settle();
  EXPECT_EQ(Shows(), before + 1);
  clock.Advance(1);
  ASSERT_TRUE(WaitFor([&]() { return Shows() == before + 2; }));
  state = Shown();
  EXPECT_FALSE(state.marquee);
  EXPECT_EQ(state.position, 500);
  EXPECT_EQ(state.text.Str(), L"Half...");

  // Long after the last repaint a report is drawn at once.
  clock.Advance(150);
  CStatus::SetTextV(L"Later", nullptr);
  ASSERT_TRUE(WaitFor([&]() { return Shows() == before + 3; }));
  EXPECT_EQ(Shown().text.Str(), L"Later...");
}

TEST_F(StatusFixture, ReportExactlyOneIntervalAfterTheLastRepaintIsDrawnAtOnce) {
  qlwtest::FakeClock clock;
  CStatus frame(L"Reading");
  ASSERT_TRUE(WaitFor([&]() { return Manager()->GetTimerId() != 0; }));
  clock.Advance(750);
  ASSERT_TRUE(WaitFor([&]() { return Shows() == 1; }));
  clock.Advance(100);
  CStatus::SetTextV(L"Next", nullptr);
  ASSERT_TRUE(WaitFor([&]() { return Shows() == 2; })) << "a zero-length wait must not swallow the report";
  EXPECT_EQ(Shown().text.Str(), L"Next...");
}

TEST_F(StatusFixture, ClosingTheLastFrameDestroysTheWindow) {
  qlwtest::FakeClock clock;
  const UINT before = Shows();
  {
    CStatus frame(L"Writing");
    ASSERT_TRUE(WaitFor([&]() { return Manager()->GetTimerId() != 0; }));
    clock.Advance(750);
    ASSERT_TRUE(WaitFor([&]() { return Shows() == before + 1; }));
    EXPECT_TRUE(Shown().visible);
    clock.Advance(200);
  }
  ASSERT_TRUE(WaitFor([&]() { return Shows() == before + 2; }));
  EXPECT_FALSE(Shown().exists);
  EXPECT_FALSE(Shown().visible);
}

// Where the window system lets it, the manager's thread shows the window itself: the reporting
// thread only reports, and is free to stay busy; the marquee moves every 250 ms meanwhile.
TEST_F(StatusFixture, APresenterShowsTheWindowFromTheManagersOwnThreadAndMovesTheMarquee) {
  qlwtest::FakeClock clock;
  PresenterScope presenter;
  {
    CStatus frame(L"Reading");
    ASSERT_TRUE(WaitFor([&]() { return Manager()->GetTimerId() != 0; }));
    clock.Advance(749);
    Settle();
    EXPECT_FALSE(g_presented.Last().visible) << "nothing before 750 ms";
    clock.Advance(1);
    ASSERT_TRUE(WaitFor([]() { return g_presented.Last().text.Str() == L"Reading..."; }));
    CLXStatusWnd::State shown = g_presented.Last();
    EXPECT_TRUE(shown.visible);
    EXPECT_TRUE(shown.marquee);
    {
      std::lock_guard<std::mutex> guard(g_presented.lock);
      for (DWORD thread : g_presented.threads) EXPECT_EQ(thread, Manager()->GetThreadId());
    }
    for (int step = 1; step <= 2; ++step) {
      clock.Advance(249);
      Settle();
      EXPECT_EQ(g_presented.Last().marqueeStep, shown.marqueeStep + step - 1);
      clock.Advance(1);
      ASSERT_TRUE(WaitFor([&]() { return g_presented.Last().marqueeStep == shown.marqueeStep + step; })) << step;
    }
    // A plain bar does not move.
    clock.Advance(100);
    CStatus::PushFrame(L"Half", 50, 0, 100, nullptr);
    ASSERT_TRUE(WaitFor([]() { return !g_presented.Last().marquee; }));
    const int still = g_presented.Last().marqueeStep;
    clock.Advance(600);
    Settle();
    EXPECT_EQ(g_presented.Last().marqueeStep, still);
    EXPECT_EQ(g_presented.Last().position, 500);
    CStatus::GetThreadFrames()->frames.pop_back();
    clock.Advance(200);
  }
  ASSERT_TRUE(WaitFor([]() { return !g_presented.Last().exists; })) << "closing the last frame takes the window away";
}

// The hold that real-input tests use to look at a long work's progress window is out of reach of a
// start without the control map: its last frame closes at once though the hold file exists.
TEST_F(StatusFixture, TheTestHoldOnTheLastFrameNeedsTheControlMap) {
  const std::string hold = testing::TempDir() + "status-hold";
  std::FILE* file = std::fopen(hold.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  const char* map = std::getenv("QLW_CONTROL_MAP");
  const std::string savedMap = map ? map : "";
  unsetenv("QLW_CONTROL_MAP");
  setenv("QLW_HOLD_PROGRESS", hold.c_str(), 1);
  std::atomic<bool> closed{false};
  std::thread work([&closed] {
    CStatus::EnableForThread();
    { CStatus frame(L"Reading"); }
    CStatus::DisableForThread();
    closed = true;
  });
  const bool closedWhileHeld = WaitFor([&closed] { return closed.load(); });
  std::remove(hold.c_str());
  work.join();
  unsetenv("QLW_HOLD_PROGRESS");
  if (map) setenv("QLW_CONTROL_MAP", savedMap.c_str(), 1);
  EXPECT_TRUE(closedWhileHeld);
}
