// Messages between threads and processes: SendMessage across threads, posting onto Qt's event
// loop and onto plain threads' queues, timers, hooks and registered messages.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cwctype>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "WidgetApp.h"
#include "WindowLayer.h"

namespace {
// The process's one application is the widget application that its window tests need too.
void EnsureApplication() { qlwtest::EnsureWidgetApp("test_platform"); }

std::atomic<DWORD> g_handledOn{0};
std::atomic<int> g_timerCount{0};
std::atomic<int> g_threadTimerFired{0};
HWND g_mainWindow = nullptr;

LRESULT CALLBACK EchoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_USER:
      g_handledOn = GetCurrentThreadId();
      return static_cast<LRESULT>(wParam * 2);
    case WM_USER + 1:
      // Sends back to the sender's window while the sender waits for this answer.
      return 1000 + SendMessageW(g_mainWindow, WM_USER, wParam, 0);
    case WM_USER + 2:
      reinterpret_cast<QEventLoop*>(lParam)->exit(static_cast<int>(wParam));
      return 0;
    case WM_TIMER:
      if (++g_timerCount == 3) KillTimer(hwnd, wParam);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterEchoClass() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = EchoProc;
  wc.lpszClassName = L"Qlw Echo";
  RegisterClassExW(&wc);
}

HWND MakeEcho() {
  RegisterEchoClass();
  return CreateWindowExW(0, L"Qlw Echo", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// A plain worker thread that owns a window and runs its own GetMessage loop until WM_QUIT.
class Worker {
 public:
  Worker() {
    std::promise<void> ready;
    m_thread = std::thread([this, &ready] {
      m_window = MakeEcho();
      m_id = GetCurrentThreadId();
      ready.set_value();
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      DestroyWindow(m_window);
    });
    ready.get_future().wait();
  }
  ~Worker() {
    PostThreadMessageW(m_id, WM_QUIT, 0, 0);
    m_thread.join();
  }
  HWND Window() const { return m_window; }
  DWORD Id() const { return m_id; }

 private:
  std::thread m_thread;
  HWND m_window{};
  DWORD m_id{};
};
}  // namespace

TEST(Messages, SendMessageRunsOnTheWindowsThread) {
  Worker worker;
  g_mainWindow = MakeEcho();
  EXPECT_EQ(SendMessageW(worker.Window(), WM_USER, 21, 0), 42);
  EXPECT_EQ(g_handledOn.load(), worker.Id());
  EXPECT_NE(worker.Id(), GetCurrentThreadId());
  // The worker's handler sends back to this thread, which handles it while it waits.
  EXPECT_EQ(SendMessageW(worker.Window(), WM_USER + 1, 5, 0), 1010);
  EXPECT_EQ(g_handledOn.load(), GetCurrentThreadId());
  DestroyWindow(g_mainWindow);
}

TEST(Messages, SendMessageTimeoutGivesUpOnABlockedThread) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<HWND> made;
  std::atomic<int> handled{0};
  std::thread blocked([&] {
    HWND w = MakeEcho();
    made.set_value(w);
    released.wait();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) handled++;
    DestroyWindow(w);
  });
  HWND w = made.get_future().get();
  DWORD_PTR result = 99;
  EXPECT_EQ(SendMessageTimeoutW(w, WM_USER, 1, 0, SMTO_NORMAL, 50, &result), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(result, 99u);
  release.set_value();
  blocked.join();
  // The abandoned message is withdrawn rather than handled after its sender returned.
  EXPECT_EQ(handled.load(), 0);
}

// A thread that let a message wait past the hung time is hung for the next sender too, though the
// first gave up and took its message back, until it takes its messages again. A search across a
// stuck program's windows waited the hung time again for each of them.
TEST(Messages, AThreadStaysHungAfterASenderGaveUpUntilItTakesItsMessages) {
  std::promise<void> release, back;
  std::shared_future<void> released = release.get_future().share();
  std::promise<std::pair<HWND, HWND>> made;
  std::atomic<DWORD> stuckId{0};
  std::thread stuck([&] {
    stuckId = GetCurrentThreadId();
    const std::pair<HWND, HWND> windows{MakeEcho(), MakeEcho()};
    made.set_value(windows);
    released.wait();
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    back.set_value();
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(windows.first);
    DestroyWindow(windows.second);
  });
  const auto [first, second] = made.get_future().get();
  DWORD_PTR result = 0;
  // Waited for while the thread is not hung, given up once it is.
  EXPECT_EQ(SendMessageTimeoutW(first, WM_USER, 1, 0, SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG, 0, &result), 0);
  // Without a limit of its own, this send ends only on the hung thread's refusal (or its answer).
  auto refused = std::async(std::launch::async, [second = second] {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(second, WM_USER, 2, 0, SMTO_ABORTIFHUNG, INFINITE, &answer);
  });
  const bool ended = refused.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
  release.set_value();
  back.get_future().wait();
  EXPECT_TRUE(ended);
  EXPECT_EQ(refused.get(), 0) << "the message waited for the stuck thread, which was still hung";
  // Back in its loop, the thread answers again.
  EXPECT_NE(SendMessageTimeoutW(second, WM_USER, 3, 0, SMTO_ABORTIFHUNG, INFINITE, &result), 0);
  EXPECT_EQ(result, 6u);
  PostThreadMessageW(stuckId, WM_QUIT, 0, 0);
  stuck.join();
}

TEST(Messages, PostedMessagesAreDeliveredByTheQtEventLoop) {
  EnsureApplication();
  HWND w = MakeEcho();
  QEventLoop loop;
  std::thread poster([&] { PostMessageW(w, WM_USER + 2, 7, reinterpret_cast<LPARAM>(&loop)); });
  QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
  EXPECT_EQ(loop.exec(), 7);
  poster.join();
  DestroyWindow(w);
}

// A loop run while posted messages are held (for the window system's exposures before long work)
// starts none of them; a message sent by another thread is still answered, and what waited is taken
// once the hold ends.
TEST(Messages, HeldPostedMessagesWaitWhileSentOnesAreAnswered) {
  EnsureApplication();
  HWND w = MakeEcho();
  g_handledOn = 0;
  qlw::HoldPostedMessages(true);
  PostMessageW(w, WM_USER, 1, 0);
  std::atomic<LRESULT> answer{0};
  std::thread sender([&] { answer = SendMessageW(w, WM_USER, 21, 0); });
  while (answer.load() == 0) QCoreApplication::processEvents();
  sender.join();
  EXPECT_EQ(answer.load(), 42);
  g_handledOn = 0;
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(g_handledOn.load(), 0u) << "a held posted message was dispatched";
  qlw::HoldPostedMessages(false);
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (g_handledOn.load() != 0) loop.exit(0);
  });
  poll.start(5);
  QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
  EXPECT_EQ(loop.exec(), 0) << "the held message was not taken after the hold";
  DestroyWindow(w);
}

// Events processed by hand, with no loop running, meet a quit that has nothing to end: it stays for
// the loop that takes it, and the loops after it run as before.
TEST(Messages, AQuitMetWhileNoLoopRunsWaitsForALoop) {
  EnsureApplication();
  qlw::AttachQueueToQtEventLoop();  // as a thread with windows has it
  PostQuitMessage(3);
  QCoreApplication::processEvents();
  MSG quit{};
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 3u);
  QEventLoop loop;
  QTimer::singleShot(0, &loop, [&] { loop.exit(5); });
  EXPECT_EQ(loop.exec(), 5);
}

// A message posted to the thread before its message pump is installed (a start-up's modal loop
// meets it) waits for the pump; window messages posted after it are not held up behind it.
TEST(Messages, AThreadMessageMetBeforeThePumpWaitsForThePump) {
  EnsureApplication();
  HWND w = MakeEcho();
  qlw::AttachQueueToQtEventLoop();
  static std::vector<UINT> pumped;
  pumped.clear();
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 0, 0));
  QEventLoop loop;
  ASSERT_TRUE(PostMessageW(w, WM_USER + 2, 4, reinterpret_cast<LPARAM>(&loop)));
  QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
  EXPECT_EQ(loop.exec(), 4) << "the window message behind the thread message";
  const qlw::MessagePump previous = qlw::SetThreadMessagePump([](MSG& msg) {
    if (msg.hwnd) return false;
    pumped.push_back(msg.message);
    return true;
  });
  QCoreApplication::processEvents();
  qlw::SetThreadMessagePump(previous);
  EXPECT_EQ(pumped, std::vector<UINT>{WM_USER + 7});
  DestroyWindow(w);
}

TEST(Messages, WindowTimerFiresOnTheEventLoop) {
  EnsureApplication();
  HWND w = MakeEcho();
  g_timerCount = 0;
  ASSERT_EQ(SetTimer(w, 9, 10, nullptr), 9u);
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (g_timerCount >= 3) loop.exit(0);
  });
  poll.start(5);
  QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
  EXPECT_EQ(loop.exec(), 0);
  EXPECT_EQ(g_timerCount.load(), 3);  // the third WM_TIMER killed it
  DestroyWindow(w);
}

TEST(Messages, ThreadQueueOrderFiltersTimersAndQuit) {
  std::promise<DWORD> started;
  std::promise<void> posted;
  std::vector<UINT> seen;
  g_threadTimerFired = 0;
  std::thread t([&] {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // creates the queue
    UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++g_threadTimerFired; });
    started.set_value(GetCurrentThreadId());
    // However late the posts arrive, the timer may be due already: posted messages still come first.
    posted.get_future().wait();
    while (GetMessageW(&msg, nullptr, 0, 0)) {
      if (msg.message == WM_TIMER) {
        DispatchMessageW(&msg);
        if (g_threadTimerFired == 1) {
          KillTimer(nullptr, timer);
          PostQuitMessage(4);
        }
        continue;
      }
      seen.push_back(msg.message);
      if (msg.message == WM_APP + 1) {
        // Left in place by PM_NOREMOVE, then taken by a filtered peek.
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 3, WM_APP + 3, PM_NOREMOVE));
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 3, WM_APP + 3, PM_REMOVE));
        seen.push_back(msg.message);
      }
    }
    seen.push_back(static_cast<UINT>(msg.wParam));
  });
  DWORD id = started.get_future().get();
  for (UINT m : {WM_APP + 1, WM_APP + 2, WM_APP + 3, WM_APP + 4}) EXPECT_TRUE(PostThreadMessageW(id, m, 0, 0));
  posted.set_value();
  t.join();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_APP + 1, WM_APP + 3, WM_APP + 2, WM_APP + 4, 4}));
  EXPECT_FALSE(PostThreadMessageW(id, WM_APP, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

TEST(Messages, HooksObserveSentAndRetrievedMessages) {
  static std::vector<UINT> sent, retrieved;
  static HHOOK callHook, getHook;
  sent.clear();
  retrieved.clear();
  HWND w = MakeEcho();
  callHook = SetWindowsHookExW(
      WH_CALLWNDPROC,
      [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
        sent.push_back(reinterpret_cast<CWPSTRUCT*>(lParam)->message);
        return CallNextHookEx(callHook, code, wParam, lParam);
      },
      nullptr, GetCurrentThreadId());
  getHook = SetWindowsHookExW(
      WH_GETMESSAGE,
      [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (wParam == PM_REMOVE) retrieved.push_back(reinterpret_cast<MSG*>(lParam)->message);
        return CallNextHookEx(getHook, code, wParam, lParam);
      },
      nullptr, GetCurrentThreadId());
  ASSERT_TRUE(callHook && getHook);
  SendMessageW(w, WM_USER, 1, 0);
  PostMessageW(w, WM_APP + 5, 0, 0);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_TRUE(UnhookWindowsHookEx(callHook));
  EXPECT_TRUE(UnhookWindowsHookEx(getHook));
  EXPECT_FALSE(UnhookWindowsHookEx(getHook));
  SendMessageW(w, WM_USER + 3, 0, 0);
  EXPECT_EQ(sent, std::vector<UINT>{WM_USER});
  EXPECT_EQ(retrieved, std::vector<UINT>{WM_APP + 5});
  DestroyWindow(w);
}

TEST(RegisteredMessages, EveryProcessGetsTheSameIdForAName) {
  // Several processes register the same names at once, in different orders.
  std::vector<std::wstring> names;
  for (int i = 0; i < 24; ++i) names.push_back(L"QlwTestMessage-" + std::to_wstring(getpid()) + L"-" + std::to_wstring(i));
  constexpr int kChildren = 4;
  int pipes[kChildren][2];
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    ASSERT_EQ(pipe(pipes[c]), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<UINT> ids(names.size());
      for (size_t k = 0; k < names.size(); ++k) {
        size_t i = (c % 2) ? names.size() - 1 - k : k;
        ids[i] = RegisterWindowMessageW(names[i].c_str());
      }
      ssize_t n = write(pipes[c][1], ids.data(), ids.size() * sizeof(UINT));
      _exit(n == static_cast<ssize_t>(ids.size() * sizeof(UINT)) ? 0 : 1);
    }
    close(pipes[c][1]);
    children.push_back(pid);
  }
  std::vector<std::vector<UINT>> results;
  for (int c = 0; c < kChildren; ++c) {
    std::vector<UINT> ids(names.size());
    ASSERT_EQ(read(pipes[c][0], ids.data(), ids.size() * sizeof(UINT)), static_cast<ssize_t>(ids.size() * sizeof(UINT)));
    close(pipes[c][0]);
    int status = 0;
    waitpid(children[c], &status, 0);
    results.push_back(ids);
  }
  std::vector<UINT> mine;
  for (const auto& n : names) mine.push_back(RegisterWindowMessageW(n.c_str()));
  for (const auto& r : results) EXPECT_EQ(r, mine);
  std::set<UINT> distinct(mine.begin(), mine.end());
  EXPECT_EQ(distinct.size(), names.size());
  for (UINT id : mine) {
    EXPECT_GE(id, QLW_REGISTERED_MESSAGE_FIRST);
    EXPECT_LE(id, QLW_REGISTERED_MESSAGE_LAST);
  }
  std::wstring upper = names[0];
  for (wchar_t& ch : upper) ch = static_cast<wchar_t>(towupper(static_cast<wint_t>(ch)));
  EXPECT_EQ(RegisterWindowMessageW(upper.c_str()), mine[0]);
}
