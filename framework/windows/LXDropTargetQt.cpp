// Qt's drag events on a registered window, turned into the drop target's calls; files arrive
// as local `text/uri-list` entries.
#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include "LXDropTarget.h"
#include "WndQt.h"

namespace {

CLXDropData FilesOf(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return CLXDropData();
  std::vector<CString> files;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) files.push_back(CString(url.toLocalFile().toStdWString().c_str()));
  if (files.empty()) return CLXDropData();
  return CLXDropData(std::move(files));
}

// The files, the program's own formats ("application/x-qlw-..."), and the source window when
// the drag started in this process (Qt gives a source only then).
CLXDropData DataOf(const QDropEvent* e) {
  const QMimeData* mime = e->mimeData();
  CLXDropData data = FilesOf(mime);
  if (mime)
    for (const QString& format : mime->formats())
      if (format.startsWith(QStringLiteral("application/x-qlw-"))) {
        const QByteArray bytes = mime->data(format);
        data.SetFormat(format.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
      }
  if (auto* source = qobject_cast<QWidget*>(e->source())) {
    for (QWidget* w = source; w; w = w->parentWidget())
      if (HWND h = qlw::HwndOf(w)) {
        data.SetSourceWindow(h);
        break;
      }
  }
  return data;
}

DWORD KeysOf(const QDropEvent* e) { return (e->modifiers() & Qt::ControlModifier) ? MK_CONTROL : 0; }

class DropBridge : public QObject {
 public:
  DropBridge(CLXDropTarget* target, QWidget* widget) : QObject(widget), m_target(target), m_widget(widget) {
    // A list view gets its drags on its viewport.
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) m_viewport = view->viewport();
  }
  QWidget* Viewport() const { return m_viewport; }
  void Detach() { m_target = nullptr; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!m_target || (watched != m_widget && (!m_viewport || watched != m_viewport))) return false;
    m_watched = static_cast<QWidget*>(watched);
    CWnd* window = m_target->GetWindow();
    switch (event->type()) {
      case QEvent::DragEnter: {
        auto* e = static_cast<QDragEnterEvent*>(event);
        m_data = DataOf(e);
        Answer(e, m_target->OnDragEnter(window, &m_data, KeysOf(e), ClientPoint(e->position().toPoint())));
        return true;
      }
      case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        Answer(e, m_target->OnDragOver(window, &m_data, KeysOf(e), ClientPoint(e->position().toPoint())));
        return true;
      }
      case QEvent::DragLeave:
        m_target->OnDragLeave(window);
        return true;
      case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        CLXDropData data = DataOf(e);
        const BOOL dropped = m_target->OnDrop(window, &data, DROPEFFECT_COPY, ClientPoint(e->position().toPoint()));
        if (dropped) {
          e->setDropAction(Qt::CopyAction);
          e->accept();
        } else {
          e->ignore();
        }
        return true;
      }
      default:
        return false;
    }
  }

 private:
  static void Answer(QDropEvent* e, DWORD effect) {
    if (effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE)) {
      e->setDropAction((effect & DROPEFFECT_COPY) ? Qt::CopyAction : Qt::MoveAction);
      e->accept();
    } else {
      e->ignore();
    }
  }
  CPoint ClientPoint(QPoint p) const {
    if (m_watched && m_watched != m_widget) p = m_watched->mapTo(m_widget, p);
    const QPoint origin = qlw::ClientOrigin(m_target->GetWindow()->m_hWnd);
    return CPoint(p.x() - origin.x(), p.y() - origin.y());
  }

  CLXDropTarget* m_target;
  QWidget* m_widget;
  QWidget* m_viewport = nullptr;
  QWidget* m_watched = nullptr;
  CLXDropData m_data;
};

}  // namespace

BOOL CLXDropTarget::Register(CWnd* window) {
  if (!window || !window->m_hWnd) return FALSE;
  QWidget* widget = qlw::WidgetOf(window->m_hWnd);
  if (!widget) return FALSE;
  Revoke();
  m_pWnd = window;
  auto* bridge = new DropBridge(this, widget);
  widget->installEventFilter(bridge);
  widget->setAcceptDrops(true);
  if (QWidget* viewport = bridge->Viewport()) {
    viewport->installEventFilter(bridge);
    viewport->setAcceptDrops(true);
  }
  m_pBridge = new QPointer<DropBridge>(bridge);
  return TRUE;
}

void CLXDropTarget::Revoke() {
  if (auto* guarded = static_cast<QPointer<DropBridge>*>(m_pBridge)) {
    if (DropBridge* bridge = guarded->data()) {
      bridge->Detach();
      if (auto* widget = qobject_cast<QWidget*>(bridge->parent())) widget->setAcceptDrops(false);
      bridge->deleteLater();
    }
    delete guarded;
  }
  m_pBridge = nullptr;
  m_pWnd = nullptr;
}
