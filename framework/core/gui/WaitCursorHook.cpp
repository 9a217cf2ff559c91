// The watchdog's wait-cursor hook: the change is queued to the user-interface thread, where Qt's
// cursor lives.
#include "WaitCursorHook.h"

#include "LXApp.h"
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
  while (g_depth > 0) ApplyWaitCursor(-1);
}
