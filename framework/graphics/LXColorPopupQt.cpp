// The colour popup's window on the Qt side: a popup in Qt's sense, so that it takes the keyboard
// and the pointer while open, and a press anywhere outside it, also outside the program, closes it.
#include "LXColorPopup.h"

#include <QEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QWidget>

#include "WndQt.h"

namespace {
// Qt's own widget closes a popup on a press outside it; the window layer takes the presses
// before that, so the popup does it here. Queued: closing destroys the window and its widget.
class PressOutsideCloses : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->rect().contains(static_cast<QMouseEvent*>(e)->position().toPoint())) return false;
    QMetaObject::invokeMethod(w, [w] { w->close(); }, Qt::QueuedConnection);
    return true;
  }
};
}  // namespace

void lxcolorpopup::MakePopupWindow(HWND popup) {
  QWidget* w = qlw::WidgetOf(popup);
  if (!w) return;
  w->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
  w->installEventFilter(new PressOutsideCloses(w));
}
