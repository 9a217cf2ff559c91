// Per-thread message queues: posting, sending across threads, GetMessage/PeekMessage, timers,
// hooks, and the bridge that drains a Qt thread's queue from its event loop.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include "WndInternal.h"
#include "testing/TimerQuery.h"

using namespace qlw::wnd;

namespace {
constexpr size_t kPostedLimit = 10000;        // as on Windows; beyond it posting fails
constexpr auto kHungAfter = std::chrono::milliseconds(5000);
constexpr int kDrainBudget = 1000;            // messages per event-loop turn, so Qt events keep flowing
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x51);

std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>>& Queues() {
  static std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
  return queues;
}

struct Hook {
  HHOOK handle{};
  int type{};
  HOOKPROC proc{};
  DWORD threadId{};
};

// Newest first: the first hook of a thread and type is called, and passes on with CallNextHookEx.
std::vector<Hook>& Hooks() {
  static std::vector<Hook> hooks;
  return hooks;
}

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;
thread_local bool t_exiting = false;

void ThreadEnded(const std::shared_ptr<ThreadQueue>& q);

struct ThreadRegistration {
  std::shared_ptr<ThreadQueue> queue;
  ~ThreadRegistration() {
    t_exiting = true;
    if (queue) ThreadEnded(queue);
  }
};
thread_local ThreadRegistration t_registration;

Clock::time_point NextTimerLocked(const ThreadQueue& q) {
  auto next = Clock::time_point::max();
  for (const Timer& t : q.timers) next = std::min(next, t.due);
  return next;
}

DWORD ThreadIdOfCaller() {
  if (!t_threadId) t_threadId = g_nextThreadId.fetch_add(1);
  return t_threadId;
}

class QueuePump : public QObject {
 public:
  QueuePump() {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, this, [] { qlw::ProcessPendingMessages(); });
  }
  bool event(QEvent* e) override {
    if (e->type() != kWakeEvent) return QObject::event(e);
    qlw::ProcessPendingMessages();
    return true;
  }
  // Runs on the pump's thread: arms the Qt timer for the next due window or thread timer.
  void Schedule(const ThreadQueue& q) {
    const auto next = NextTimerLocked(q);
    if (next == Clock::time_point::max()) {
      m_timer.stop();
      return;
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
    m_timer.start(static_cast<int>(std::clamp<long long>(ms + 1, 0, 0x7FFFFFFF)));
  }

 private:
  QTimer m_timer;
};

void ThreadEnded(const std::shared_ptr<ThreadQueue>& q) {
  QObject* pump = nullptr;
  {
    std::lock_guard<std::mutex> lock(Lock());
    q->alive = false;
    Queues().erase(q->threadId);
    // Senders waiting on this thread get 0 rather than waiting for ever.
    for (auto& s : q->sent) {
      s->done = true;
      if (s->sender) s->sender->cv.notify_all();
    }
    q->sent.clear();
    q->posted.clear();
    q->timers.clear();
    auto& hooks = Hooks();
    hooks.erase(std::remove_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.threadId == q->threadId; }),
                hooks.end());
    ForgetThreadWindowsLocked(q->threadId);
    pump = std::exchange(q->pump, nullptr);
  }
  delete pump;
}

bool Matches(const MSG& m, HWND filter, UINT first, UINT last) {
  if (filter == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd) return false;
  } else if (filter && m.hwnd != filter) {
    return false;
  }
  return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return MSG{hwnd, message, wParam, lParam, GetTickCount(), POINT{0, 0}};
}

bool IsThreadMessage(const MSG& m) { return !m.hwnd && m.message != WM_QUIT; }

// Takes the next retrievable message in Windows order: posted, then WM_QUIT, then due timers.
// keepThreadMessages leaves messages posted to the thread itself where they are.
bool TakeMessageLocked(ThreadQueue& q, MSG& out, HWND filter, UINT first, UINT last, bool remove,
                       bool keepThreadMessages = false) {
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (keepThreadMessages && IsThreadMessage(it->msg)) continue;
    if (it->msg.message == WM_QUIT || Matches(it->msg, filter, first, last)) {
      out = it->msg;
      if (remove) q.posted.erase(it);
      return true;
    }
  }
  if (q.quitPending) {
    out = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
    if (remove) q.quitPending = false;
    return true;
  }
  const auto now = Clock::now();
  Timer* due = nullptr;
  for (Timer& t : q.timers) {
    MSG probe = MakeMsg(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
    if (t.due <= now && Matches(probe, filter, first, last) && (!due || t.due < due->due)) due = &t;
  }
  if (!due) return false;
  out = MakeMsg(due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
  if (remove) due->due = now + std::chrono::milliseconds(due->elapse);
  return true;
}

bool IsHungLocked(const ThreadQueue& q) {
  auto oldest = Clock::time_point::max();
  if (!q.sent.empty()) oldest = std::min(oldest, q.sent.front()->queuedAt);
  if (!q.posted.empty()) oldest = std::min(oldest, q.posted.front().queuedAt);
  oldest = std::min(oldest, q.unansweredSince);
  return oldest != Clock::time_point::max() && Clock::now() - oldest > kHungAfter;
}

// Puts a message on another thread's sent queue and wakes it; the caller waits on s->done.
std::shared_ptr<SentMessage> QueueSentLocked(ThreadQueue& target, HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam, std::shared_ptr<ThreadQueue> sender,
                                             std::shared_ptr<void> keepAlive = nullptr) {
  auto s = std::make_shared<SentMessage>();
  s->hwnd = hwnd;
  s->message = message;
  s->wParam = wParam;
  s->lParam = lParam;
  s->queuedAt = Clock::now();
  s->sender = std::move(sender);
  s->keepAlive = std::move(keepAlive);
  target.sent.push_back(s);
  WakeLocked(target);
  return s;
}

// Takes back a message the receiver has not started on. Its wait is remembered: the thread that
// left it unanswered stays hung for the next sender, until it takes its messages again.
void UnqueueSentLocked(ThreadQueue& target, const std::shared_ptr<SentMessage>& s) {
  auto& q = target.sent;
  const auto it = std::find(q.begin(), q.end(), s);
  if (it == q.end()) return;
  target.unansweredSince = std::min(target.unansweredSince, s->queuedAt);
  q.erase(it);
}

// Handles one message sent to the calling thread by another thread; false when there is none.
bool ProcessOneSent(ThreadQueue& q) {
  std::shared_ptr<SentMessage> s;
  {
    std::lock_guard<std::mutex> lock(Lock());
    q.unansweredSince = Clock::time_point::max();  // the thread looks at its queue again
    if (q.sent.empty()) return false;
    s = q.sent.front();
    q.sent.pop_front();
    s->started = true;
  }
  LRESULT r = IsWindow(s->hwnd) ? CallWindowWithHooks(s->hwnd, s->message, s->wParam, s->lParam, false) : 0;
  std::lock_guard<std::mutex> lock(Lock());
  s->result = r;
  s->done = true;
  if (s->sender) s->sender->cv.notify_all();
  return true;
}

void ProcessAllSent(ThreadQueue& q) {
  while (ProcessOneSent(q)) {
  }
}

HOOKPROC FirstHookLocked(DWORD threadId, int type, HHOOK* handle) {
  for (const Hook& h : Hooks()) {
    if (h.threadId == threadId && h.type == type) {
      *handle = h.handle;
      return h.proc;
    }
  }
  return nullptr;
}

void RunGetMessageHooks(MSG* msg, UINT removeFlags) {
  HHOOK handle = nullptr;
  HOOKPROC proc;
  const DWORD me = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> lock(Lock());
    proc = FirstHookLocked(me, WH_GETMESSAGE, &handle);
  }
  if (proc) proc(HC_ACTION, removeFlags & PM_REMOVE, reinterpret_cast<LPARAM>(msg));
}

BOOL PostToQueue(DWORD threadId, const MSG& msg) {
  std::lock_guard<std::mutex> lock(Lock());
  auto q = FindQueueLocked(threadId);
  if (!q) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  if (q->posted.size() >= kPostedLimit) {
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
  }
  q->posted.push_back(QueuedMessage{msg, Clock::now()});
  WakeLocked(*q);
  return TRUE;
}

// False when no event loop runs on the thread (events processed by hand): the quit has nothing to
// end yet, and told to Qt it would make every later loop of the thread return at once.
bool QuitQtLoop(int code) {
  if (QThread::currentThread()->loopLevel() == 0) return false;
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() == app->thread()) QCoreApplication::exit(code);
  else QThread::currentThread()->exit(code);
  return true;
}

void ScheduleQtTimer(ThreadQueue& q) {
  std::lock_guard<std::mutex> lock(Lock());
  if (q.pump) static_cast<QueuePump*>(q.pump)->Schedule(q);
}
}  // namespace

namespace qlw::wnd {
std::shared_ptr<ThreadQueue> FindQueueLocked(DWORD threadId) {
  auto it = Queues().find(threadId);
  return it == Queues().end() ? nullptr : it->second;
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
  // Once the thread's registration is destroyed (at thread or process exit, before static
  // destructors run) it must not be read again: an ending thread gets a queue nobody can reach.
  if (t_exiting) {
    auto q = std::make_shared<ThreadQueue>();
    q->threadId = ThreadIdOfCaller();
    return q;
  }
  if (t_registration.queue) return t_registration.queue;
  auto q = std::make_shared<ThreadQueue>();
  q->threadId = ThreadIdOfCaller();
  std::lock_guard<std::mutex> lock(Lock());
  Queues()[q->threadId] = q;
  t_registration.queue = q;
  return q;
}

void WakeLocked(ThreadQueue& q) {
  q.cv.notify_all();
  if (q.pump && !q.wakePending && QCoreApplication::instance()) {
    q.wakePending = true;
    QCoreApplication::postEvent(q.pump, new QEvent(kWakeEvent));
  }
}

void RemoveWindowTimersLocked(const Window& w) {
  if (auto q = FindQueueLocked(w.threadId)) {
    auto& t = q->timers;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == w.handle; }), t.end());
  }
}

LRESULT CallWindowWithHooks(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool fromThisThread) {
  HHOOK handle = nullptr;
  HOOKPROC hook;
  WNDPROC proc;
  const DWORD me = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto w = FindWindowLocked(hwnd);
    if (!w) return 0;
    proc = w->proc;
    hook = FirstHookLocked(me, WH_CALLWNDPROC, &handle);
  }
  if (hook) {
    CWPSTRUCT cwp{lParam, wParam, message, hwnd};
    hook(HC_ACTION, fromThisThread ? 1 : 0, reinterpret_cast<LPARAM>(&cwp));
  }
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}
}  // namespace qlw::wnd

DWORD GetCurrentThreadId() {
  if (!t_exiting) CurrentQueue();
  return ThreadIdOfCaller();
}

LRESULT SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            PDWORD_PTR result) {
  auto me = CurrentQueue();
  std::unique_lock<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) {
    // Whose handle it is may take a look at the disk: not under the window lock.
    lock.unlock();
    if (IsRemoteHandle(hwnd)) return RemoteSend(hwnd, message, wParam, lParam, flags, timeoutMs, result);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (w->threadId == me->threadId) {
    lock.unlock();
    LRESULT r = CallWindowWithHooks(hwnd, message, wParam, lParam, true);
    if (result) *result = static_cast<DWORD_PTR>(r);
    return TRUE;
  }
  auto target = FindQueueLocked(w->threadId);
  if (!target || ((flags & SMTO_ABORTIFHUNG) && IsHungLocked(*target))) {
    SetLastError(ERROR_TIMEOUT);
    return 0;
  }
  auto s = QueueSentLocked(*target, hwnd, message, wParam, lParam, me);

  const bool infinite = timeoutMs == INFINITE;
  const auto deadline = s->queuedAt + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
  for (;;) {
    if (s->done) {
      if (result) *result = static_cast<DWORD_PTR>(s->result);
      return TRUE;
    }
    // Messages sent to this thread meanwhile are handled, so that two threads can send to each other.
    if (!(flags & SMTO_BLOCK) && !me->sent.empty()) {
      lock.unlock();
      ProcessOneSent(*me);
      lock.lock();
      continue;
    }
    const auto now = Clock::now();
    if (!infinite && now >= deadline) {
      const bool keepWaiting = (flags & SMTO_NOTIMEOUTIFNOTHUNG) && target->alive && !IsHungLocked(*target);
      // Once the receiver has started, lParam may point into this caller's data: wait for the end.
      if (!keepWaiting && !s->started) {
        UnqueueSentLocked(*target, s);
        SetLastError(ERROR_TIMEOUT);
        return 0;
      }
    }
    auto wake = now + std::chrono::milliseconds(100);
    if (!infinite && deadline > now) wake = std::min(wake, deadline);
    me->cv.wait_until(lock, wake);
  }
}

namespace qlw::wnd {
LRESULT SendForOtherProcess(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            std::shared_ptr<void> keepAlive, const std::function<void()>& stillWaiting,
                            PDWORD_PTR result) {
  auto me = CurrentQueue();
  std::unique_lock<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w || w->threadId == me->threadId) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  auto target = FindQueueLocked(w->threadId);
  // A thread that already does not answer is not waited for, whatever the flags.
  if (!target || IsHungLocked(*target)) {
    SetLastError(ERROR_TIMEOUT);
    return 0;
  }
  auto s = QueueSentLocked(*target, hwnd, message, wParam, lParam, me, std::move(keepAlive));

  const bool infinite = timeoutMs == INFINITE;
  const bool untilHung = infinite || (flags & SMTO_NOTIMEOUTIFNOTHUNG);
  const auto deadline = s->queuedAt + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
  // While the handler runs, an empty message queued behind it tells whether the thread still
  // takes messages (a modal loop does); one left waiting past the hung time means it does not.
  std::shared_ptr<SentMessage> probe;
  auto nextSign = Clock::now() + std::chrono::seconds(1);
  for (;;) {
    if (s->done) {
      if (result) *result = static_cast<DWORD_PTR>(s->result);
      return TRUE;
    }
    const auto now = Clock::now();
    if (s->started && (!probe || probe->done)) {
      probe = QueueSentLocked(*target, nullptr, 0, 0, 0, nullptr);
    }
    const bool hung = !target->alive || IsHungLocked(*target);
    if (hung || (!untilHung && now >= deadline)) {
      UnqueueSentLocked(*target, s);
      SetLastError(ERROR_TIMEOUT);
      return 0;
    }
    if (stillWaiting && now >= nextSign) {
      nextSign = now + std::chrono::seconds(1);
      lock.unlock();
      stillWaiting();
      lock.lock();
      continue;
    }
    auto wake = std::min(now + std::chrono::milliseconds(100), nextSign);
    if (!untilHung && deadline > now) wake = std::min(wake, deadline);
    me->cv.wait_until(lock, wake);
  }
}
}  // namespace qlw::wnd

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, INFINITE, &result);
  return static_cast<LRESULT>(result);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
  DWORD threadId = 0;
  bool local = false;
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (auto w = FindWindowLocked(hwnd)) {
      local = true;
      threadId = w->threadId;
    }
  }
  if (!local) {
    // Whose handle it is may take a look at the disk: not under the window lock.
    if (IsRemoteHandle(hwnd)) return RemotePost(hwnd, message, wParam, lParam);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return PostToQueue(threadId, MakeMsg(hwnd, message, wParam, lParam));
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToQueue(threadId, MakeMsg(nullptr, message, wParam, lParam));
}

void PostQuitMessage(int exitCode) {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(Lock());
  q->quitPending = true;
  q->quitCode = exitCode;
  WakeLocked(*q);
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg || (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !IsWindow(hwnd))) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto q = CurrentQueue();
  for (;;) {
    ProcessAllSent(*q);
    std::unique_lock<std::mutex> lock(Lock());
    if (TakeMessageLocked(*q, *msg, hwnd, filterMin, filterMax, true)) {
      lock.unlock();
      RunGetMessageHooks(msg, PM_REMOVE);
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    if (!q->sent.empty()) continue;
    auto next = NextTimerLocked(*q);
    if (next == Clock::time_point::max()) q->cv.wait(lock);
    else q->cv.wait_until(lock, next);
  }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto q = CurrentQueue();
  ProcessAllSent(*q);
  bool found;
  {
    std::lock_guard<std::mutex> lock(Lock());
    found = TakeMessageLocked(*q, *msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
  }
  if (found) RunGetMessageHooks(msg, removeFlags);
  return found ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }  // no keyboard input reaches these queues

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, static_cast<UINT_PTR>(msg->wParam), GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto w = FindWindowLocked(msg->hwnd);
    if (!w) return 0;
    proc = w->proc;
  }
  return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  qlw::AttachQueueToQtEventLoop();
  auto q = CurrentQueue();
  elapseMs = std::clamp<UINT>(elapseMs, USER_TIMER_MINIMUM, 0x7FFFFFFF);
  UINT_PTR result;
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (hwnd) {
      auto w = FindWindowLocked(hwnd);
      if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      if (w->threadId != q->threadId) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
      }
    }
    auto existing = std::find_if(q->timers.begin(), q->timers.end(),
                                 [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (!hwnd && (id == 0 || existing == q->timers.end())) {
      // A thread timer gets a fresh id, away from the small ids that window timers use.
      static UINT_PTR nextThreadTimer = 0x10000;
      id = ++nextThreadTimer;
      existing = q->timers.end();
    }
    Timer t{hwnd, id, elapseMs, proc, Clock::now() + std::chrono::milliseconds(elapseMs)};
    if (existing != q->timers.end()) *existing = t;
    else q->timers.push_back(t);
    result = hwnd && id == 0 ? 1 : id;
    WakeLocked(*q);
  }
  ScheduleQtTimer(*q);
  return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto q = CurrentQueue();
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto target = q;
    if (hwnd) {
      auto w = FindWindowLocked(hwnd);
      if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
      }
      target = FindQueueLocked(w->threadId);
      if (!target) return FALSE;
    }
    auto& t = target->timers;
    auto it = std::find_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
    if (it == t.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    t.erase(it);
    if (target != q) WakeLocked(*target);
  }
  ScheduleQtTimer(*q);
  return TRUE;
}

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (threadId == GetCurrentThreadId()) qlw::AttachQueueToQtEventLoop();
  std::lock_guard<std::mutex> lock(Lock());
  if (!proc || threadId == 0 || (idHook != WH_CALLWNDPROC && idHook != WH_GETMESSAGE) || !FindQueueLocked(threadId)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  static uintptr_t nextHook = 0x20000;
  nextHook += 4;
  Hook h{reinterpret_cast<HHOOK>(nextHook), idHook, proc, threadId};
  Hooks().insert(Hooks().begin(), h);
  return h.handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  std::lock_guard<std::mutex> lock(Lock());
  auto& hooks = Hooks();
  auto it = std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.handle == hook; });
  if (it == hooks.end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  HOOKPROC next = nullptr;
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto& hooks = Hooks();
    auto it = std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.handle == hook; });
    if (it != hooks.end()) {
      for (auto n = it + 1; n != hooks.end(); ++n) {
        if (n->threadId == it->threadId && n->type == it->type) {
          next = n->proc;
          break;
        }
      }
    }
  }
  return next ? next(code, wParam, lParam) : 0;
}

namespace qlw {
namespace testing {
long NextTimerDueMs() {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(Lock());
  const auto next = NextTimerLocked(*q);
  if (next == Clock::time_point::max()) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
  return left < 0 ? 0 : static_cast<long>(left);
}
}  // namespace testing

void SetThreadMessageHandler(ThreadMessageHandler handler) {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(Lock());
  q->handler = handler;
  if (handler && !q->posted.empty()) WakeLocked(*q);
}

MessagePump SetThreadMessagePump(MessagePump pump) {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(Lock());
  // Thread messages that waited for a taker are handed on now.
  if (pump && !q->posted.empty()) WakeLocked(*q);
  return std::exchange(q->messagePump, pump);
}

void AttachQueueToQtEventLoop() {
  auto q = CurrentQueue();
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (q->pump) return;
  }
  if (!QCoreApplication::instance() || !QThread::currentThread()->eventDispatcher()) return;
  auto* pump = new QueuePump();
  std::lock_guard<std::mutex> lock(Lock());
  q->pump = pump;
  if (!q->posted.empty() || !q->sent.empty() || q->quitPending) WakeLocked(*q);
  pump->Schedule(*q);
}

void HoldPostedMessages(bool hold) {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(Lock());
  if (hold) {
    ++q->held;
    return;
  }
  if (q->held == 0 || --q->held > 0) return;
  // What waited is taken on the next turn of the event loop.
  WakeLocked(*q);
}

void ProcessPendingMessages() {
  auto q = CurrentQueue();
  {
    std::lock_guard<std::mutex> lock(Lock());
    q->wakePending = false;
  }
  int budget = kDrainBudget;
  for (; budget > 0; --budget) {
    if (ProcessOneSent(*q)) continue;
    MSG msg;
    ThreadMessageHandler handler;
    MessagePump pump;
    {
      std::lock_guard<std::mutex> lock(Lock());
      if (q->held > 0) return;
      // With nobody to take them yet, messages posted to the thread wait for the pump or handler
      // that comes, as they wait on Windows for the loop that gets them.
      if (!TakeMessageLocked(*q, msg, nullptr, 0, 0, true, !q->handler && !q->messagePump)) break;
      handler = q->handler;
      pump = q->messagePump;
    }
    RunGetMessageHooks(&msg, PM_REMOVE);
    if (pump && pump(msg)) continue;
    if (msg.message == WM_QUIT) {
      if (!QuitQtLoop(static_cast<int>(msg.wParam))) {
        // Left for the loop that comes, as a quit no loop has taken stays in the queue.
        std::lock_guard<std::mutex> lock(Lock());
        q->quitPending = true;
        q->quitCode = static_cast<int>(msg.wParam);
      }
      break;
    }
    if (!msg.hwnd && !(msg.message == WM_TIMER && msg.lParam)) {
      if (handler) handler(msg);
      continue;
    }
    DispatchMessageW(&msg);
  }
  if (budget == 0) {
    std::lock_guard<std::mutex> lock(Lock());
    WakeLocked(*q);  // more may be waiting: come back on the next turn of the event loop
  }
  ScheduleQtTimer(*q);
}
}  // namespace qlw
