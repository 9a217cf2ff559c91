// The shown top-level windows, kept from the widgets' own show and hide events (sent on the
// user-interface thread as they happen), and the drawing of them before long work.
#include "ShownWindows.h"

#include "StatusXWindow.h"
#include "WindowLayer.h"
#include "WndQt.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace {
// Long enough for a window manager to map a window it has just been given.
constexpr int kExposeWaitMs = 2000;
// How long the exposures of what a closed window uncovered may take to come, and how long after
// the first the others of the moment come.
constexpr int kUncoveredWaitMs = 300;
constexpr int kExposuresTogetherMs = 30;
// The windows closed since the last drawing, at most this many.
constexpr size_t kClosedKept = 16;

std::mutex g_lock;
std::vector<uint32_t> g_shown;   // front first
std::vector<uint32_t> g_closed;  // hidden since the last drawing

// Menus and tips come and go with the pointer: they neither stand for the program nor cover it.
bool Counts(const QWidget* widget) {
  if (widget == nullptr || !widget->isWindow()) return false;
  switch (widget->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop: return false;
    default: return true;
  }
}

void Remove(std::vector<uint32_t>& list, uint32_t id) { list.erase(std::remove(list.begin(), list.end(), id), list.end()); }

void ToFront(uint32_t id) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (std::find(g_shown.begin(), g_shown.end(), id) == g_shown.end()) return;
  Remove(g_shown, id);
  g_shown.insert(g_shown.begin(), id);
}

class ShowWatch : public QObject {
 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide) return false;
    auto* widget = qobject_cast<QWidget*>(object);
    if (!Counts(widget)) return false;
    const auto id = static_cast<uint32_t>(widget->internalWinId());
    if (id == 0) return false;
    // The frame a window manager put a closed window in, asked for now, while the window is still in
    // it: that frame goes last.
    const uint32_t frame = type == QEvent::Hide ? StatusXFrameOf(id) : 0;
    std::lock_guard<std::mutex> guard(g_lock);
    Remove(g_shown, id);
    Remove(g_closed, id);
    // A window shown now is the one about to be active, unless it never takes the focus (the
    // progress window drawn by Qt).
    if (type == QEvent::Show) {
      if (widget->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)) g_shown.push_back(id);
      else g_shown.insert(g_shown.begin(), id);
    } else {
      g_closed.push_back(id);
      if (frame != 0 && frame != id) g_closed.push_back(frame);
      while (g_closed.size() > kClosedKept) g_closed.erase(g_closed.begin());
    }
    return false;
  }
};
ShowWatch* g_watch = nullptr;

class ExposeWatch : public QObject {
 public:
  bool seen = false;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Expose && object->isWindowType()) seen = true;
    return false;
  }
};
QMetaObject::Connection g_focusWatch;

void AddShownWindows() {
  std::lock_guard<std::mutex> guard(g_lock);
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (Counts(widget) && widget->isVisible() && widget->internalWinId() != 0)
      g_shown.push_back(static_cast<uint32_t>(widget->internalWinId()));
}

// Qt's own connection to the X server: what it has drawn or unmapped reaches the server now, not
// once its thread is back in the event loop.
void FlushQtRequests() {
  if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
    if (xcb_connection_t* connection = x11->connection()) xcb_flush(connection);
}

std::vector<QWidget*> ShownWidgets() {
  std::vector<QWidget*> shown;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (Counts(widget) && widget->isVisible() && !widget->isMinimized()) shown.push_back(widget);
  return shown;
}

bool Exposed(const QWidget* widget) {
  const QWindow* window = widget->windowHandle();
  return window == nullptr || window->isExposed();
}
}  // namespace

void StartShownWindows() {
  if (g_watch != nullptr || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  g_watch = new ShowWatch();
  g_watch->setParent(qApp);
  qApp->installEventFilter(g_watch);
  AddShownWindows();
  g_focusWatch = QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, qGuiApp, [](QWindow* window) {
    if (window != nullptr && window->flags().testFlag(Qt::Popup)) window = window->transientParent();
    if (window != nullptr && window->handle() != nullptr) ToFront(static_cast<uint32_t>(window->winId()));
  });
}

void StopShownWindows() {
  QObject::disconnect(g_focusWatch);
  delete g_watch;
  g_watch = nullptr;
  std::lock_guard<std::mutex> guard(g_lock);
  g_shown.clear();
  g_closed.clear();
}

std::vector<uint32_t> ShownWindowIds() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_shown;
}

void DrawShownWindowsBeforeWork(HWND main) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  std::vector<uint32_t> closed;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    closed.swap(g_closed);
  }
  FlushQtRequests();
  // Only the window system's exposures are handled meanwhile: input, the program's own messages,
  // timers and other programs' requests wait, so that no other work starts inside this one (a list
  // of files handed over meanwhile would be opened before this one).
  struct Held {
    Held() { qlw::HoldPostedMessages(true); }
    ~Held() { qlw::HoldPostedMessages(false); }
  } held;
  const auto handleExposures = [] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
  };
  // The window manager takes a closed window's frame away a moment after the window itself; what
  // is drawn before then would be covered by the frame's picture.
  if (!closed.empty() && WaitUntilStatusXWindowsGone(closed)) {
    // What the closed windows uncovered is drawn as Qt handles the exposures that the window system
    // sends for it (a repaint of our own alone was not seen to reach the screen): those of each window
    // below come together, a moment after the first.
    ExposeWatch exposed;
    qApp->installEventFilter(&exposed);
    const QDeadlineTimer deadline(kUncoveredWaitMs);
    QDeadlineTimer settled(QDeadlineTimer::Forever);
    while (!deadline.hasExpired() && !settled.hasExpired()) {
      handleExposures();
      if (exposed.seen && settled.isForever()) settled.setRemainingTime(kExposuresTogetherMs);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    qApp->removeEventFilter(&exposed);
  }
  // Only a window the window system has exposed can be drawn.
  QWidget* top = main != nullptr ? qlw::WidgetOf(main) : nullptr;
  if (top != nullptr) top = top->window();
  const QDeadlineTimer deadline(kExposeWaitMs);
  while (top != nullptr && top->isVisible() && !Exposed(top) && !deadline.hasExpired()) {
    handleExposures();
    if (!Exposed(top)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::vector<QWidget*> shown = ShownWidgets();
  for (QWidget* widget : shown) {
    widget->repaint();
    // A child with a native window of its own (the panes) is not drawn with the window around it.
    for (QWidget* child : widget->findChildren<QWidget*>())
      if (child->internalWinId() != 0 && child->isVisible()) child->repaint();
  }
  FlushQtRequests();
}
