// Shared state of the window layer (WindowLayer.cpp, MessageQueue.cpp); not for use outside platform/.
#pragma once
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "WindowLayer.h"

class QObject;
class QWidget;

namespace qlw::wnd {
using Clock = std::chrono::steady_clock;

struct Window {
  HWND handle{};
  DWORD threadId{};
  HWND parent{};  // WS_CHILD windows only
  HWND owner{};   // top-level windows created with a parent
  bool messageOnly{};
  bool destroying{};
  DWORD style{};
  DWORD exStyle{};
  LONG_PTR id{};
  LONG_PTR userData{};
  HINSTANCE instance{};
  WNDPROC proc{};
  std::wstring className;
  std::wstring text;
  std::vector<HWND> children;  // top of the Z order first
  std::map<std::wstring, HANDLE> props;
  std::vector<BYTE> extra;
  // The window's widget on the UI thread (null for message-only windows and windows of other
  // threads, whose placement lives in `placed` alone).
  QWidget* widget{};
  RECT placed{};       // window rectangle in the parent's client (child) or screen (top-level) coordinates
  SIZE lastClient{-1, -1};  // client size last announced with WM_SIZE
  POINT lastPos{INT32_MIN, INT32_MIN};  // position last announced with WM_MOVE
  HMENU menu{};
};

struct ThreadQueue;

// A message sent from another thread, waiting for (or done by) the window's thread.
struct SentMessage {
  HWND hwnd{};
  UINT message{};
  WPARAM wParam{};
  LPARAM lParam{};
  LRESULT result{};
  bool started{};
  bool done{};
  Clock::time_point queuedAt;
  std::shared_ptr<ThreadQueue> sender;
  std::shared_ptr<void> keepAlive;  // what lParam points into, when the sender may leave before the end
};

struct QueuedMessage {
  MSG msg;
  Clock::time_point queuedAt;
};

struct Timer {
  HWND hwnd{};
  UINT_PTR id{};
  UINT elapse{};
  TIMERPROC proc{};
  Clock::time_point due;
};

struct ThreadQueue {
  DWORD threadId{};
  bool alive{true};
  std::condition_variable cv;  // waits use Lock()
  std::deque<QueuedMessage> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  // When the oldest message taken back unanswered was queued; max once the thread takes messages.
  Clock::time_point unansweredSince{Clock::time_point::max()};
  std::vector<Timer> timers;
  bool quitPending{};
  int quitCode{};
  QObject* pump{};  // set when the thread's messages flow through Qt's event loop
  bool wakePending{};
  int held{};  // HoldPostedMessages depth
  ThreadMessageHandler handler{};
  MessagePump messagePump{};
};

// The one lock of the window layer; never held while a window procedure, hook or callback runs.
std::mutex& Lock();
std::shared_ptr<Window> FindWindowLocked(HWND hwnd);
std::shared_ptr<ThreadQueue> FindQueueLocked(DWORD threadId);
// The calling thread's queue, created on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
// Wakes a thread blocked on its queue and, for a Qt thread, schedules a drain on its event loop.
void WakeLocked(ThreadQueue& queue);
void RemoveWindowTimersLocked(const Window& window);
// Called for a window's thread when it ends: forgets the thread's windows.
void ForgetThreadWindowsLocked(DWORD threadId);
// Top-level windows of every thread of this process, top of the Z order first.
const std::vector<HWND>& TopLevelWindowsLocked();
// Window handle numbers (WindowHandles.cpp): non-zero, below 2^31, from blocks each process
// reserves in the runtime folder; the block of a handle names the process that owns it (0: none).
HWND NewWindowHandle();
DWORD ProcessOfHandle(HWND hwnd);
// Windows of other processes (RemoteWindows.cpp).
bool IsRemoteHandle(HWND hwnd);
LRESULT RemoteSend(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                   PDWORD_PTR result);
BOOL RemotePost(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers a message another process sends (on the thread that serves those requests). Unlike a
// send between threads, the wait also ends once the window's thread hangs, even inside the
// handler: the data lParam points into is held by keepAlive, and stillWaiting runs about once a
// second while the wait goes on.
LRESULT SendForOtherProcess(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            std::shared_ptr<void> keepAlive, const std::function<void()>& stillWaiting,
                            PDWORD_PTR result);
bool RemoteIsWindow(HWND hwnd);
// The style and extended style of another process's window; false when it cannot be asked.
bool RemoteStyles(HWND hwnd, DWORD* style, DWORD* exStyle);
bool RemoteBringToFront(HWND hwnd);
// Widgets of the window layer (WndWidget.cpp): made after the window enters the table and before
// WM_NCCREATE (without the lock: Qt may send events meanwhile), deleted when the handle goes away.
using WidgetFactory = QWidget* (*)(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parentWidget);
void AttachWidget(HWND hwnd, const CREATESTRUCTW& cs);
void ReleaseWidget(QWidget* widget);
// A window of the layer's own widget with WS_TABSTOP is reached by Tab like a control.
void ApplyTabStop(HWND hwnd, bool tabStop);
// Built-in window classes (controls) bring their own widget.
ATOM RegisterBuiltinClass(const wchar_t* name, WNDPROC proc, WidgetFactory factory);
WidgetFactory FactoryOfClassLocked(const std::wstring& className);
// Runs the calling thread's WH_CALLWNDPROC hooks, then the window procedure.
LRESULT CallWindowWithHooks(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool fromThisThread);
}  // namespace qlw::wnd
