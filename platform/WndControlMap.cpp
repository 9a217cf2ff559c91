// Where the windows, controls, list rows and popup-menu items are on screen, written on request
// for tests that act with real X input: with QLW_CONTROL_MAP naming a file, SIGUSR1 makes the
// program write that file (whole, by rename) from its UI thread. A window that has been painted
// since it was last shown gets a "painted" line too, so that a test takes its picture only then.
#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "WndQt.h"
#include "WndState.h"

namespace {
int g_wakeWrite = -1;

// The top-level widgets painted since they were last shown.
class PaintWatch : public QObject {
 public:
  bool Painted(QWidget* window) const {
    for (const QPointer<QWidget>& w : m_painted)
      if (w == window) return true;
    return false;
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() != QEvent::Paint && event->type() != QEvent::Show) return false;
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return false;
    QWidget* window = widget->window();
    if (event->type() == QEvent::Show && widget == window)
      m_painted.removeIf([window](const QPointer<QWidget>& w) { return w.isNull() || w == window; });
    else if (event->type() == QEvent::Paint && !Painted(window))
      m_painted.append(window);
    return false;
  }

 private:
  QList<QPointer<QWidget>> m_painted;
};
PaintWatch* g_paintWatch = nullptr;

void OnSignal(int) {
  const char byte = 1;
  // Nothing but a write is safe in a signal handler; a full pipe already holds a request.
  [[maybe_unused]] const ssize_t n = write(g_wakeWrite, &byte, 1);
}

std::string Quoted(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('\n'), QLatin1Char(' '));
  s.replace(QLatin1Char('"'), QLatin1Char('\''));
  s.remove(QLatin1Char('&'));
  return "\"" + s.toStdString() + "\"";
}

std::string Text(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return Quoted(QString::fromWCharArray(text));
}

std::string Box(const QRect& r) {
  return std::to_string(r.x()) + " " + std::to_string(r.y()) + " " + std::to_string(r.width()) + " " +
         std::to_string(r.height());
}

QRect OnScreen(const QWidget* w, const QRect& local) { return QRect(w->mapToGlobal(local.topLeft()), local.size()); }

void WriteRows(FILE* out, int id, QAbstractItemView* view) {
  const QAbstractItemModel* model = view->model();
  if (!model) return;
  QWidget* port = view->viewport();
  for (int row = 0; row < model->rowCount(); ++row) {
    const QModelIndex index = model->index(row, 0);
    // The first column may be a narrow marker: the row's box spans its visible columns.
    QRect box = view->visualRect(index);
    for (int c = 1; c < model->columnCount(); ++c) box = box.united(view->visualRect(model->index(row, c)));
    box = box.intersected(port->rect());
    if (box.isEmpty()) continue;
    // The row's text is that of its first column that has one.
    QString text;
    for (int c = 0; c < model->columnCount() && text.isEmpty(); ++c) text = model->index(row, c).data().toString();
    std::fprintf(out, "row %d %d %s %s\n", id, row, Quoted(text).c_str(), Box(OnScreen(port, box)).c_str());
  }
}

void WriteMap(const char* path) {
  const std::string temporary = std::string(path) + ".part";
  FILE* out = std::fopen(temporary.c_str(), "w");
  if (!out) return;
  std::vector<HWND> tops;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM l) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&tops));
  for (HWND top : tops) {
    QWidget* widget = qlw::WidgetOf(top);
    if (!widget || !widget->isVisible()) continue;
    std::fprintf(out, "window %s %s\n", Text(top).c_str(), Box(OnScreen(widget, widget->rect())).c_str());
    if (g_paintWatch && g_paintWatch->Painted(widget)) std::fprintf(out, "painted %s\n", Text(top).c_str());
    std::vector<HWND> children;
    EnumChildWindows(top, [](HWND h, LPARAM l) -> BOOL {
      reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
      QWidget* w = qlw::WidgetOf(child);
      const int id = GetDlgCtrlID(child);
      if (!w || !w->isVisible() || id == 0 || w->rect().isEmpty()) continue;
      std::fprintf(out, "control %d %s %s\n", id, Text(child).c_str(), Box(OnScreen(w, w->rect())).c_str());
      if (auto* view = qobject_cast<QAbstractItemView*>(w)) WriteRows(out, id, view);
    }
  }
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
    for (QAction* action : menu->actions())
      if (!action->isSeparator() && action->isVisible())
        std::fprintf(out, "menu %s %s\n", Quoted(action->text().section(QLatin1Char('\t'), 0, 0)).c_str(),
                     Box(OnScreen(menu, menu->actionGeometry(action))).c_str());
  std::fclose(out);
  std::rename(temporary.c_str(), path);
}
}  // namespace

namespace qlw::wnd {
void InstallControlMap() {
  static bool installed = false;
  const char* path = std::getenv("QLW_CONTROL_MAP");
  if (installed || !path || !*path) return;
  installed = true;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  g_wakeWrite = fds[1];
  g_paintWatch = new PaintWatch();
  g_paintWatch->setParent(qApp);
  qApp->installEventFilter(g_paintWatch);
  auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, qApp);
  const std::string target = path;
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [fd = fds[0], target] {
    char buffer[64];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
    WriteMap(target.c_str());
  });
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, nullptr);
}
}  // namespace qlw::wnd
