// Cancellable long operations of the application base: the list of running operations and what a
// cancel does. Watching the user's input is the Qt side's (gui/CancelInputFilter.cpp).
#include "LXApp.h"

#include <algorithm>

#include "LXMessage.h"

namespace {
struct CancellableOp {
  DWORD cookie;
  HWND target;
  bool* cancelled;
  bool blockMouse;
};

// One list for the process: the user-interface thread's long operations.
std::vector<CancellableOp> g_operations;
DWORD g_lastCookie = 0;
CLXApp::CancelInputWatcher g_watcher = nullptr;
CLXApp::CancelInputPoller g_poller = nullptr;

void TellWatcher() {
  if (g_watcher) g_watcher(CLXApp::IsCancellableRunning(), CLXApp::IsBlockingMouse());
}
}  // namespace

DWORD CLXApp::BeginCancellable(HWND target, bool* cancelled, bool blockMouse) {
  if (++g_lastCookie == 0) ++g_lastCookie;
  g_operations.push_back(CancellableOp{g_lastCookie, target, cancelled, blockMouse});
  if (cancelled) *cancelled = false;
  TellWatcher();
  return g_lastCookie;
}

void CLXApp::EndCancellable(DWORD cookie) {
  const auto end = std::remove_if(g_operations.begin(), g_operations.end(),
                                  [cookie](const CancellableOp& op) { return op.cookie == cookie; });
  if (end == g_operations.end()) return;
  g_operations.erase(end, g_operations.end());
  TellWatcher();
}

bool CLXApp::CancelCancellables() {
  if (g_operations.empty()) return false;
  // All of them: an outer operation (a drop) that runs an inner one (reading the files) must not
  // go on with its next step once the user has cancelled.
  while (!g_operations.empty()) {
    const CancellableOp op = g_operations.back();
    g_operations.pop_back();
    if (op.cancelled) *op.cancelled = true;
    const HWND to = op.target ? op.target : LXAppWindows::GetMainFrameWindow();
    if (to && IsWindow(to)) CLXMsgTarget(to, g_msgCancel).Send(CLXMessage::kModeSync);
  }
  TellWatcher();
  return true;
}

bool CLXApp::IsCancellableRunning() { return !g_operations.empty(); }

bool CLXApp::IsBlockingMouse() {
  return std::any_of(g_operations.begin(), g_operations.end(), [](const CancellableOp& op) { return op.blockMouse; });
}

void CLXApp::PollCancelInput() {
  if (g_poller && !g_operations.empty()) g_poller();
}

void CLXApp::SetCancelInputHandlers(CancelInputWatcher watcher, CancelInputPoller poller) {
  g_watcher = watcher;
  g_poller = poller;
  TellWatcher();
}
