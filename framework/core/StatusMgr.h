// The status manager thread, which decides when the progress window shows what, and the progress
// window's state. The user-interface thread draws that state through an installed drawer, or,
// where the window system lets another thread show a window, the manager's thread presents it
// itself, so that it shows on time while the user-interface thread is the one at work.
#pragma once
#include "LXMutex.h"
#include "Win.h"

#include <atomic>
#include <thread>

// What the progress window shows; owned by the manager thread.
class CLXStatusWnd {
 public:
  struct State {
    bool exists = false;
    bool visible = false;
    CString text;
    bool marquee = false;
    int position = 0;     // 0..1000
    int marqueeStep = 0;  // advanced every kMarqueeInterval while a presenter shows the marquee
  };
  // Runs on the user-interface thread with the state to draw.
  using Drawer = void (*)(const State& state);
  // Runs on the manager's thread with the state to show.
  using Presenter = void (*)(const State& state);

  static constexpr int kRangeMax = 1000;
  static constexpr DWORD kMarqueeInterval = 250;
  static constexpr UINT kTextControlId = 1401;
  static constexpr UINT kProgressControlId = 1400;

  // A new, hidden window: empty text, position 0, marquee on.
  static CLXStatusWnd* Create();
  static Drawer SetDrawer(Drawer drawer);
  // With a presenter, the drawer is not used.
  static Presenter SetPresenter(Presenter presenter);
  static bool HasPresenter();

  void Show();
  void Destroy();
  void SetText(const CString& text);
  void SetMarquee(bool on);
  // Ignored in marquee mode; fraction is clamped to 0..1.
  void SetPosition(double fraction);
  // One step of a presented marquee.
  void StepMarquee();

  bool IsVisible() const { return m_state.visible; }
  bool IsMarquee() const { return m_state.marquee; }
  const State& GetState() const { return m_state; }

 private:
  CLXStatusWnd();
  // Hands the state to the user-interface thread when a GUI application runs there.
  void Publish() const;

  State m_state;
};

class CLXStatusMgr {
 public:
  static constexpr DWORD kFirstShowDelay = 750;
  static constexpr DWORD kRepaintInterval = 100;
  static constexpr DWORD kStopWait = 5000;

  static CLXStatusMgr* Start();
  // Ends the manager's thread; deletes the manager when it ended in time.
  static bool Stop(CLXStatusMgr* manager);

  // Halts the manager's thread until Resume; true when it acknowledged within the time-out.
  bool Pause(DWORD timeout);
  void Resume();

  // Called by reporting threads. With a visible status bar on the main frame the frame is told at
  // most every 101 ms (synchronously); otherwise the manager's thread is.
  void SetStatus(const CString& text, double fraction);
  void ResetSendTick() { m_lastSendTick = 0; }
  DWORD GetLastSendTick() const { return m_lastSendTick; }
  DWORD GetThreadId() const { return m_threadId; }

  // The manager thread's work, public so that tests can drive it on a fake clock.
  void OnStatusSetProgress();
  void OnTimer(bool morePending);
  void ShowStatus();
  void ShowWindow(bool show);
  static CString DecorateStatusText(const CString& text);

  UINT GetTimerId() const { return m_timerId; }
  DWORD GetTimerDueTick() const { return m_timerDueTick; }
  DWORD GetTimerDelay() const { return m_timerDelay; }
  DWORD GetLastShowTick() const { return m_lastShowTick; }
  const CLXStatusWnd* GetWindow() const { return m_window; }
  void GetStatus(CString& text, double& fraction);
  // What the last ShowStatus left on screen, and how many there were; safe from any thread.
  CLXStatusWnd::State GetShownState(UINT* showCount = nullptr);

  ~CLXStatusMgr();

 private:
  static constexpr UINT kTimerId = 7;
  CLXStatusMgr() = default;
  void Run();
  // Drops further "StatusSetProgress" already queued; true when there were some.
  bool RemoveQueuedProgress(bool remove);
  // Whether the manager's own thread moves a presented marquee.
  bool AnimatesMarquee() const;

  CLXStatusWnd* m_window = nullptr;
  std::atomic<DWORD> m_lastSendTick{0};
  std::atomic<UINT> m_timerId{0};
  DWORD m_lastShowTick = 0;
  DWORD m_timerDueTick = 0;
  DWORD m_marqueeDueTick = 0;
  std::atomic<DWORD> m_timerDelay{0};
  bool m_shownBefore = false;
  CString m_statusText;
  double m_fraction = 0;
  CLXStatusWnd::State m_shown;
  UINT m_showCount = 0;
  CLXThreadMutex m_lock;
  HANDLE m_pausedEvent = nullptr;
  HANDLE m_resumeEvent = nullptr;
  std::atomic<bool> m_pauseRequested{false};
  std::thread m_thread;
  DWORD m_threadId = 0;
};
