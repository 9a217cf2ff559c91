// The splitter control's tracker: a rubber band on the screen, in place of lines drawn with an
// inverting pen on the desktop, which a Linux desktop does not offer.
#include <QColor>
#include <QPalette>
#include <QRubberBand>

#include "Geometry.h"

namespace LXSplitterTracker {
struct Band {
  QRubberBand* widget = nullptr;
};

Band* Create(COLORREF colour) {
  auto* band = new Band;
  band->widget = new QRubberBand(QRubberBand::Line);
  QPalette p = band->widget->palette();
  p.setColor(QPalette::Highlight, QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)));
  band->widget->setPalette(p);
  return band;
}

void Show(Band* band, const RECT& r) {
  if (!band) return;
  band->widget->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
  band->widget->show();
}

void Hide(Band* band) {
  if (band) band->widget->hide();
}

bool IsShown(const Band* band) { return band && band->widget->isVisible(); }

RECT Rect(const Band* band) {
  const QRect g = band->widget->geometry();
  return RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void Destroy(Band* band) {
  if (!band) return;
  delete band->widget;
  delete band;
}
}  // namespace LXSplitterTracker
