// The watchdog thread: shows the wait cursor while the user-interface thread has sent no heartbeat
// for a while, and removes it when the heartbeat returns.
#pragma once
#include "Win.h"

#include <atomic>
#include <thread>

class CWatchdog {
 public:
  struct Timing {
    DWORD heartbeatInterval = 1500;  // ms between heartbeats posted by the user-interface thread
    DWORD busyAfter = 3000;          // ms without a heartbeat before the thread counts as busy
    DWORD waitSlice = 1000;          // ms the watchdog sleeps between checks
  };
  // The application's wait-cursor operation: +1 shows, -1 removes. Called on the watchdog
  // thread; a GUI layer posts the change to the user-interface thread.
  using WaitCursorHook = void (*)(int delta);
  // Whether a message taken by the user-interface thread counts as activity.
  using ActivityTest = bool (*)(const MSG& msg);

  static constexpr UINT_PTR kHeartbeatTimerId = 5;
  static constexpr DWORD kStopWait = 5000;

  // Both on the user-interface thread.
  static bool Start();
  static bool Stop();
  // Halts the watchdog until Resume; waits up to 5 s for it to acknowledge.
  static bool Pause();
  static void Resume();
  static CWatchdog* Get();
  // Posts "WatchdogPoke" to the watchdog thread; the heartbeat timer and the message hook call it.
  static void Heartbeat();

  static WaitCursorHook SetWaitCursorHook(WaitCursorHook hook);
  static ActivityTest SetActivityTest(ActivityTest test);
  // Shorter intervals for tests; takes effect at the next Start.
  static void SetTiming(const Timing& timing);
  static Timing GetTiming();

  bool IsBusy() const { return m_busyCount.load() != 0; }
  DWORD GetThreadId() const { return m_threadId; }
  // The id that the heartbeat timer's WM_TIMER carries.
  UINT_PTR GetHeartbeatTimerId() const { return m_heartbeatTimerId; }

  ~CWatchdog();

 private:
  CWatchdog();
  DWORD Run();
  void OnPoke();
  void CheckBusy();
  static void CALLBACK HeartbeatTimerProc(HWND wnd, UINT msg, UINT_PTR id, DWORD time);
  static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);

  std::atomic<UINT> m_busyCount{0};
  std::atomic<DWORD> m_lastHeartbeatTick{0};
  UINT_PTR m_heartbeatTimerId = 0;
  HHOOK m_hook = nullptr;
  HANDLE m_stopEvent = nullptr;
  HANDLE m_pauseEvent = nullptr;
  HANDLE m_pausedEvent = nullptr;
  HANDLE m_resumeEvent = nullptr;
  Timing m_timing;
  std::thread m_thread;
  DWORD m_threadId = 0;
};
