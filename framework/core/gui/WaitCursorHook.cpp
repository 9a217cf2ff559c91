// The watchdog's wait-cursor hook: on X11 the watchdog's thread shows the cursor at once itself
// (StatusXWindow.h); the change is also queued to the user-interface thread, where Qt's cursor
// lives, and Qt's own cursor comes back from there.
#include "WaitCursorHook.h"

#include "LXApp.h"
#include "StatusXWindow.h"
#include "Watchdog.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>

#include <atomic>

namespace {
std::atomic<bool> g_installed{false};
// Wait cursors set by this hook and not yet restored; touched on the user-interface thread only.
int g_depth = 0;

void ApplyWaitCursor(int delta) {
  if (delta > 0 && g_installed.load()) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++g_depth;
    CLXApp::SetBusy(true);
  } else if (delta < 0 && g_depth > 0) {
    // Only our own cursor is restored: an unmatched removal must not pop someone else's.
    QGuiApplication::restoreOverrideCursor();
    --g_depth;
    if (g_depth == 0) CLXApp::SetBusy(false);
  }
}

void PostWaitCursor(int delta) {
  // The user-interface thread is the busy one: it would show the cursor only once it is done.
  if (delta != 0) SetStatusXWaitCursor(delta > 0);
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || !app->inherits("QGuiApplication")) return;
  QMetaObject::invokeMethod(app, [delta]() { ApplyWaitCursor(delta); }, Qt::QueuedConnection);
}
}  // namespace

void InstallWaitCursorHook() {
  g_installed = true;
  CWatchdog::SetWaitCursorHook(PostWaitCursor);
}

void RemoveWaitCursorHook() {
  CWatchdog::SetWaitCursorHook(nullptr);
  // A show still queued when the hook goes must not leave a cursor that nobody removes.
  g_installed = false;
  SetStatusXWaitCursor(false);
  while (g_depth > 0) ApplyWaitCursor(-1);
}
