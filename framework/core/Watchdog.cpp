// The watchdog thread and the heartbeat that the user-interface thread sends it.
#include "Watchdog.h"

#include "LXMessage.h"
#include "LXQueueThread.h"

#include <mutex>

namespace {
std::atomic<CWatchdog*> g_watchdog{nullptr};
std::atomic<CWatchdog::WaitCursorHook> g_waitCursorHook{nullptr};
std::atomic<CWatchdog::ActivityTest> g_activityTest{nullptr};
std::mutex g_timingLock;
CWatchdog::Timing g_timing;

// Repaints and the system's own timer ticks come without the user doing anything.
bool DefaultIsActivity(const MSG& msg) { return msg.message != WM_PAINT && msg.message != 0x0118; }

bool IsPoke(UINT id) { return id != 0 && (id == g_msgWatchdogPokeSync || id == g_msgWatchdogPokeAsync); }

void CallWaitCursor(int delta) {
  if (CWatchdog::WaitCursorHook hook = g_waitCursorHook.load()) hook(delta);
}
}  // namespace

CWatchdog::CWatchdog() : m_timing(GetTiming()) {
  m_stopEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_pauseEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_pausedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_resumeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  // Counting from start-up keeps the cursor from flashing before the first heartbeat.
  m_lastHeartbeatTick = GetTickCount();
}

CWatchdog::~CWatchdog() {
  for (HANDLE event : {m_stopEvent, m_pauseEvent, m_pausedEvent, m_resumeEvent})
    if (event != nullptr) CloseHandle(event);
}

CWatchdog* CWatchdog::Get() { return g_watchdog.load(); }

CWatchdog::WaitCursorHook CWatchdog::SetWaitCursorHook(WaitCursorHook hook) { return g_waitCursorHook.exchange(hook); }
CWatchdog::ActivityTest CWatchdog::SetActivityTest(ActivityTest test) { return g_activityTest.exchange(test); }

void CWatchdog::SetTiming(const Timing& timing) {
  std::lock_guard<std::mutex> lock(g_timingLock);
  g_timing = timing;
}

CWatchdog::Timing CWatchdog::GetTiming() {
  std::lock_guard<std::mutex> lock(g_timingLock);
  return g_timing;
}

bool CWatchdog::Start() {
  if (g_watchdog.load() != nullptr) return true;
  auto* watchdog = new CWatchdog();
  if (watchdog->m_stopEvent == nullptr || watchdog->m_pauseEvent == nullptr || watchdog->m_pausedEvent == nullptr ||
      watchdog->m_resumeEvent == nullptr) {
    delete watchdog;
    return false;
  }
  // The hook observes the calling (user-interface) thread's queue.
  watchdog->m_hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
  watchdog->m_threadId = StartQueueThread(watchdog->m_thread, [watchdog]() { watchdog->Run(); });
  g_watchdog = watchdog;
  watchdog->m_heartbeatTimerId =
      SetTimer(nullptr, kHeartbeatTimerId, watchdog->m_timing.heartbeatInterval, HeartbeatTimerProc);
  return true;
}

bool CWatchdog::Stop() {
  CWatchdog* watchdog = g_watchdog.exchange(nullptr);
  if (watchdog == nullptr) return false;
  if (watchdog->m_heartbeatTimerId != 0) KillTimer(nullptr, watchdog->m_heartbeatTimerId);
  if (watchdog->m_hook != nullptr) UnhookWindowsHookEx(watchdog->m_hook);
  SetEvent(watchdog->m_stopEvent);
  const bool finished = JoinThreadWithin(watchdog->m_thread, kStopWait);
  if (finished) delete watchdog;
  return finished;
}

bool CWatchdog::Pause() {
  CWatchdog* watchdog = g_watchdog.load();
  if (watchdog == nullptr) return false;
  SetEvent(watchdog->m_pauseEvent);
  return WaitForSingleObject(watchdog->m_pausedEvent, kStopWait) == WAIT_OBJECT_0;
}

void CWatchdog::Resume() {
  // Its own event: a resume followed at once by the next pause must not merge into one signal.
  if (CWatchdog* watchdog = g_watchdog.load()) SetEvent(watchdog->m_resumeEvent);
}

void CWatchdog::Heartbeat() {
  CWatchdog* watchdog = g_watchdog.load();
  if (watchdog == nullptr) return;
  CLXMsgThread poke(watchdog->m_threadId, g_msgWatchdogPoke, static_cast<LPARAM>(GetTickCount()), 0);
  poke.Send(CLXMessage::kModeKeep);
}

void CALLBACK CWatchdog::HeartbeatTimerProc(HWND, UINT, UINT_PTR, DWORD) { Heartbeat(); }

LRESULT CALLBACK CWatchdog::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && lParam != 0) {
    const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
    ActivityTest test = g_activityTest.load();
    if (test != nullptr ? test(msg) : DefaultIsActivity(msg)) Heartbeat();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD CWatchdog::Run() {
  MSG msg;
  for (;;) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      if (IsPoke(msg.message)) OnPoke();
      continue;
    }
    CheckBusy();
    HANDLE events[2] = {m_stopEvent, m_pauseEvent};
    DWORD wait = WaitForMultipleObjects(2, events, FALSE, m_timing.waitSlice);
    if (wait == WAIT_OBJECT_0) return 0;
    if (wait == WAIT_OBJECT_0 + 1) {
      SetEvent(m_pausedEvent);
      // A stop while paused must still end the thread.
      HANDLE resume[2] = {m_stopEvent, m_resumeEvent};
      if (WaitForMultipleObjects(2, resume, FALSE, INFINITE) == WAIT_OBJECT_0) return 0;
    }
  }
}

void CWatchdog::OnPoke() {
  MSG msg;
  for (UINT id : {g_msgWatchdogPokeSync, g_msgWatchdogPokeAsync}) {
    while (id != 0 && PeekMessageW(&msg, nullptr, id, id, PM_REMOVE)) {
      // A filtered peek also hands out WM_QUIT; keep it for the loop.
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
    }
  }
  if (m_busyCount.load() == 1) {
    CallWaitCursor(-1);
    m_busyCount = 0;
  }
  m_lastHeartbeatTick = GetTickCount();
}

void CWatchdog::CheckBusy() {
  if (GetTickCount() - m_lastHeartbeatTick.load() >= m_timing.busyAfter && m_busyCount.load() == 0) {
    CallWaitCursor(1);
    m_busyCount = 1;
  }
}
