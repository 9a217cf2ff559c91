// An application event filter in place of the keyboard and mouse hooks of cancellable operations.
#include "CancelInputFilter.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>

#include <memory>
#include <utility>
#include <vector>

#include "LXApp.h"

namespace {
bool IsKey(const QEvent* e) { return e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease; }

bool IsMouseButton(const QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
      return true;
    default:
      return false;
  }
}

bool IsPress(const QEvent* e) {
  return e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick ||
         e->type() == QEvent::NonClientAreaMouseButtonPress || e->type() == QEvent::NonClientAreaMouseButtonDblClick;
}

class CancelInputFilter : public QObject {
 public:
  // Qt may hand one event to a window and then to widgets, or up a widget's parents; only an
  // event let through goes on, and letting through has no effect, so each sight is judged alone.
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (!m_keyboard) return false;
    const QEvent::Type type = e->type();
    if (IsKey(e)) {
      if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        if (type == QEvent::KeyPress && !static_cast<QKeyEvent*>(e)->isAutoRepeat()) CLXApp::CancelCancellables();
        return true;  // the Escape is the cancel's, no window's
      }
      return Hold(watched, e);
    }
    // A menu or toolbar shortcut would start a command in the middle of the work.
    if (type == QEvent::ShortcutOverride || type == QEvent::Shortcut) return m_polling;
    if (!watched->isWidgetType() && !watched->isWindowType()) return false;
    if (m_mouse) {
      if (IsMouseButton(e)) {
        if (IsPress(e)) CLXApp::CancelCancellables();
        return true;
      }
      // The mouse is blocked: it neither scrolls nor moves over the windows.
      return type == QEvent::Wheel || type == QEvent::MouseMove;
    }
    if (IsMouseButton(e) || type == QEvent::Wheel) return Hold(watched, e);
    return type == QEvent::MouseMove && m_polling;
  }

  // Runs the pending events, the user's input held back (or cancelling).
  void Poll() {
    if (m_polling || QThread::currentThread() != qApp->thread()) return;
    m_polling = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_polling = false;
  }

  // Input held back while an operation ran goes to its windows now, in its order.
  void Release() {
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held;
    held.swap(m_held);
    for (auto& [target, event] : held)
      if (target) QCoreApplication::postEvent(target, event.release());
  }

  bool m_keyboard = false;
  bool m_mouse = false;

 private:
  // During a poll the user's input waits until the operations are done, as it would in the queue
  // of a busy thread; outside a poll the event loop runs and the input goes on as usual.
  bool Hold(QObject* watched, QEvent* e) {
    if (!m_polling) return false;
    m_held.emplace_back(QPointer<QObject>(watched), std::unique_ptr<QEvent>(e->clone()));
    return true;
  }

  bool m_polling = false;
  std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_held;
};

CancelInputFilter* g_filter = nullptr;
bool g_filterInstalled = false;

void Watch(bool keyboard, bool mouse) {
  if (!g_filter) return;
  g_filter->m_keyboard = keyboard;
  g_filter->m_mouse = mouse;
  if (keyboard && !g_filterInstalled && qApp) {
    qApp->installEventFilter(g_filter);
    g_filterInstalled = true;
  } else if (!keyboard && g_filterInstalled) {
    if (qApp) qApp->removeEventFilter(g_filter);
    g_filterInstalled = false;
    g_filter->Release();
  }
}

void Poll() {
  if (g_filter && g_filterInstalled) g_filter->Poll();
}
}  // namespace

void InstallCancelInputFilter() {
  if (!g_filter) g_filter = new CancelInputFilter;
  CLXApp::SetCancelInputHandlers(Watch, Poll);
}

void RemoveCancelInputFilter() {
  CLXApp::SetCancelInputHandlers(nullptr, nullptr);
  if (!g_filter) return;
  if (g_filterInstalled && qApp) qApp->removeEventFilter(g_filter);
  g_filterInstalled = false;
  g_filter->Release();
  delete g_filter;
  g_filter = nullptr;
}
