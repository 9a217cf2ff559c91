// The status manager thread: coalesces progress reports, delays the first show and limits repaints.
#include "StatusMgr.h"

#include "LXMessage.h"
#include "LXQueueThread.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<CLXStatusWnd::Drawer> g_drawer{nullptr};
std::atomic<CLXStatusWnd::Presenter> g_presenter{nullptr};

// The "..." that ends a status text.
CString Ellipsis() {
  CString text;
  if (!text.LoadString(1102)) text = L"...";
  return text;
}

// Private to the manager's queue: stop until resumed.
constexpr UINT kPauseMessage = WM_APP + 0x51;
// A pause that is never resumed must not stop progress reports for good.
constexpr DWORD kLongestPause = 30000;

bool IsProgressMessage(UINT id) { return id == g_msgStatusSetProgressSync || id == g_msgStatusSetProgressAsync; }
}  // namespace

CLXStatusWnd::CLXStatusWnd() {
  m_state.exists = true;
  m_state.marquee = true;
}

CLXStatusWnd* CLXStatusWnd::Create() { return new CLXStatusWnd(); }

CLXStatusWnd::Drawer CLXStatusWnd::SetDrawer(Drawer drawer) { return g_drawer.exchange(drawer); }
CLXStatusWnd::Presenter CLXStatusWnd::SetPresenter(Presenter presenter) { return g_presenter.exchange(presenter); }
bool CLXStatusWnd::HasPresenter() { return g_presenter.load() != nullptr; }

void CLXStatusWnd::Publish() const {
  if (Presenter presenter = g_presenter.load()) {
    presenter(m_state);
    return;
  }
  Drawer drawer = g_drawer.load();
  QCoreApplication* app = QCoreApplication::instance();
  if (drawer == nullptr || app == nullptr || !app->inherits("QGuiApplication")) return;
  // Widgets live on the user-interface thread: hand it a copy of the state to draw.
  State state = m_state;
  QMetaObject::invokeMethod(app, [drawer, state]() { drawer(state); }, Qt::QueuedConnection);
}

void CLXStatusWnd::Show() {
  m_state.visible = true;
  Publish();
}

void CLXStatusWnd::Destroy() {
  m_state = State();
  Publish();
  delete this;
}

void CLXStatusWnd::SetText(const CString& text) {
  m_state.text = text;
  Publish();
}

void CLXStatusWnd::SetMarquee(bool on) {
  m_state.marquee = on;
  Publish();
}

void CLXStatusWnd::StepMarquee() {
  m_state.marqueeStep = (m_state.marqueeStep + 1) % 1000000;
  Publish();
}

void CLXStatusWnd::SetPosition(double fraction) {
  if (m_state.marquee) return;
  double clamped = std::clamp(fraction, 0.0, 1.0);
  m_state.position = std::min(kRangeMax, static_cast<int>(std::lround(clamped * kRangeMax)));
  Publish();
}

CLXStatusMgr* CLXStatusMgr::Start() {
  auto* manager = new CLXStatusMgr();
  manager->m_threadId = StartQueueThread(manager->m_thread, [manager]() { manager->Run(); });
  return manager;
}

bool CLXStatusMgr::Stop(CLXStatusMgr* manager) {
  if (manager == nullptr) return false;
  PostThreadMessageW(manager->m_threadId, WM_QUIT, 0, 0);
  // A stuck thread and its object are left behind rather than block the exit.
  const bool finished = JoinThreadWithin(manager->m_thread, kStopWait);
  if (finished) delete manager;
  return finished;
}

CLXStatusMgr::~CLXStatusMgr() {
  if (m_window != nullptr) m_window->Destroy();
  if (m_pausedEvent) CloseHandle(m_pausedEvent);
  if (m_resumeEvent) CloseHandle(m_resumeEvent);
}

bool CLXStatusMgr::Pause(DWORD timeout) {
  if (!m_pausedEvent) m_pausedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_resumeEvent) m_resumeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_pausedEvent || !m_resumeEvent) return false;
  if (!PostThreadMessageW(m_threadId, kPauseMessage, 0, 0)) return false;
  // Even a pause that is acknowledged late needs its resume.
  m_pauseRequested = true;
  return WaitForSingleObject(m_pausedEvent, timeout) == WAIT_OBJECT_0;
}

void CLXStatusMgr::Resume() {
  // The event is not reset by the next Pause: a resume the thread has not yet seen stays given.
  if (m_resumeEvent && m_pauseRequested.exchange(false)) SetEvent(m_resumeEvent);
}

bool CLXStatusMgr::AnimatesMarquee() const {
  return m_window != nullptr && m_window->IsVisible() && m_window->IsMarquee() && CLXStatusWnd::HasPresenter();
}

void CLXStatusMgr::Run() {
  MSG msg;
  for (;;) {
    if (m_timerId != 0 && static_cast<LONG>(GetTickCount() - m_timerDueTick) >= 0) {
      OnTimer(RemoveQueuedProgress(false));
      continue;
    }
    const bool animating = AnimatesMarquee();
    if (animating && static_cast<LONG>(GetTickCount() - m_marqueeDueTick) >= 0) {
      m_marqueeDueTick = GetTickCount() + CLXStatusWnd::kMarqueeInterval;
      m_window->StepMarquee();
      continue;
    }
    if (m_timerId == 0 && !animating) {
      if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    } else if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      const DWORD now = GetTickCount();
      DWORD wait = 10;
      if (m_timerId != 0) wait = std::min<DWORD>(wait, m_timerDueTick - now);
      if (animating) wait = std::min<DWORD>(wait, m_marqueeDueTick - now);
      Sleep(wait);
      continue;
    } else if (msg.message == WM_QUIT) {
      break;
    }
    if (msg.message == kPauseMessage) {
      SetEvent(m_pausedEvent);
      WaitForSingleObject(m_resumeEvent, kLongestPause);
    } else if (IsProgressMessage(msg.message))
      OnStatusSetProgress();
    else
      DispatchMessageW(&msg);
  }
  if (m_window != nullptr) {
    m_window->Destroy();
    m_window = nullptr;
  }
}

bool CLXStatusMgr::RemoveQueuedProgress(bool remove) {
  MSG msg;
  bool found = false;
  UINT flags = remove ? PM_REMOVE : PM_NOREMOVE;
  for (UINT id : {g_msgStatusSetProgressSync, g_msgStatusSetProgressAsync}) {
    if (id == 0) continue;
    while (PeekMessageW(&msg, nullptr, id, id, flags)) {
      // A filtered peek also hands out WM_QUIT; it must not be lost among the updates.
      if (msg.message == WM_QUIT) {
        if (remove) PostQuitMessage(static_cast<int>(msg.wParam));
        return found;
      }
      found = true;
      if (!remove) break;
    }
  }
  return found;
}

void CLXStatusMgr::SetStatus(const CString& text, double fraction) {
  {
    CLXMutexLock lock(m_lock);
    m_statusText = text;
    m_fraction = fraction;
  }
  if (LXAppWindows::MainFrameHasVisibleStatusBar()) {
    const DWORD now = GetTickCount();
    if (now - m_lastSendTick.load() < 101) return;
    m_lastSendTick = now;
    CLXMsgTarget message(LXAppWindows::GetMainFrameWindow(), g_msgStatusSetProgressSync, 0, 0);
    message.Send(CLXMessage::kModeSync);
    return;
  }
  CLXMsgThread message(m_threadId, g_msgStatusSetProgressAsync, 0, 0);
  message.Send(CLXMessage::kModeAsync);
}

void CLXStatusMgr::GetStatus(CString& text, double& fraction) {
  CLXMutexLock lock(m_lock);
  text = m_statusText;
  fraction = m_fraction;
}

CLXStatusWnd::State CLXStatusMgr::GetShownState(UINT* showCount) {
  CLXMutexLock lock(m_lock);
  if (showCount != nullptr) *showCount = m_showCount;
  return m_shown;
}

void CLXStatusMgr::OnStatusSetProgress() {
  RemoveQueuedProgress(true);
  if (m_timerId != 0) return;
  DWORD now = GetTickCount();
  DWORD delay = kFirstShowDelay;
  if (m_window != nullptr && m_window->IsVisible()) {
    DWORD elapsed = now - m_lastShowTick;
    // A repaint exactly one interval after the last is due at once (not a timer of 0 ms).
    if (m_shownBefore && elapsed >= kRepaintInterval) {
      ShowStatus();
      return;
    }
    delay = m_shownBefore ? kRepaintInterval - elapsed : kRepaintInterval;
  }
  m_timerId = kTimerId;
  m_timerDelay = delay;
  m_timerDueTick = now + delay;
}

void CLXStatusMgr::OnTimer(bool morePending) {
  if (morePending) {
    m_timerDueTick = GetTickCount() + m_timerDelay;
    ShowStatus();
    return;
  }
  m_timerId = 0;
  m_timerDueTick = 0;
  ShowStatus();
}

CString CLXStatusMgr::DecorateStatusText(const CString& text) {
  CString decorated = text;
  decorated.Trim();
  CString ellipsis = Ellipsis();
  if (!decorated.IsEmpty() && decorated.Right(ellipsis.GetLength()) != ellipsis) decorated += ellipsis;
  return decorated;
}

void CLXStatusMgr::ShowStatus() {
  CString text;
  double fraction;
  GetStatus(text, fraction);
  text = DecorateStatusText(text);
  ShowWindow(!text.IsEmpty());
  if (m_window != nullptr && m_window->IsVisible()) {
    m_window->SetText(text);
    m_window->SetMarquee(fraction == 0);
    m_window->SetPosition(fraction);
  }
  m_lastShowTick = GetTickCount();
  m_shownBefore = true;
  CLXMutexLock lock(m_lock);
  m_shown = m_window != nullptr ? m_window->GetState() : CLXStatusWnd::State();
  ++m_showCount;
}

void CLXStatusMgr::ShowWindow(bool show) {
  if (show) {
    if (m_window == nullptr) m_window = CLXStatusWnd::Create();
    if (!m_window->IsVisible()) {
      m_window->Show();
      m_marqueeDueTick = GetTickCount() + CLXStatusWnd::kMarqueeInterval;
    }
  } else if (m_window != nullptr) {
    m_window->Destroy();
    m_window = nullptr;
  }
}
