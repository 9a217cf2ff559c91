// The floating tip's window on the Qt side: frameless and on top, shaped by its non-white pixels,
// with enter and leave events passed to the tip.
#include "LXFloatingInfoTip.h"

#include <QBitmap>
#include <QEvent>
#include <QMouseEvent>
#include <QRegion>
#include <QWidget>

#include "WndQt.h"

namespace {
class TipHover : public QObject {
 public:
  explicit TipHover(CFloatingInfoTip* tip) : m_tip(tip) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Enter) m_tip->OnMouseEnter();
    else if (e->type() == QEvent::Leave) m_tip->OnMouseLeave();
    return false;
  }

 private:
  CFloatingInfoTip* m_tip;
};

// Ends a grab at the release of the last button.
class GrabEnd : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->buttons() == Qt::NoButton) {
      if (auto* w = qobject_cast<QWidget*>(watched); w && QWidget::mouseGrabber() == w) w->releaseMouse();
      deleteLater();
    }
    return false;
  }
};
}  // namespace

void lxtip::GrabUntilRelease(HWND window) {
  QWidget* w = qlw::WidgetOf(window);
  if (!w || !w->isVisible()) return;
  auto* end = new GrabEnd;
  end->setParent(w);
  w->installEventFilter(end);
  w->grabMouse();
}

void lxtip::PrepareTipWindow(CFloatingInfoTip* tip) {
  QWidget* w = qlw::WidgetOf(tip->m_hWnd);
  if (!w) return;
  w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  auto* hover = new TipHover(tip);
  hover->setParent(w);
  w->installEventFilter(hover);
}

bool lxtip::ApplyTipMask(HWND window, Gdiplus::Bitmap& rendering) {
  QWidget* w = qlw::WidgetOf(window);
  if (!w) return false;
  // A translucent background turns black on some X servers; a mask does not.
  QImage shape = rendering.Q().createMaskFromColor(0xFFFFFFFFu, Qt::MaskInColor);
  QRegion region(QBitmap::fromImage(shape));
  region.translate(qlw::ClientOrigin(window));
  if (w->mask() == region) return false;
  w->setMask(region);
  return true;
}
