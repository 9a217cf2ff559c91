// The splitter control's tracker: a rubber band on the screen, in place of lines drawn with an
// inverting pen on the desktop, which a Linux desktop does not offer.
#include <QColor>
#include <QPalette>
#include <QRubberBand>

#include "Geometry.h"

namespace LXSplitterTracker {
struct Band {
  QRubberBand* widget = nullptr;
  // Whether the control has drawn the tracker, as it last asked: a band hidden by anyone else
  // comes back at the next move, where its visibility would have turned that move's erase into a
  // draw and its draw into an erase.
  bool shown = false;
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
  band->shown = true;
}

void Hide(Band* band) {
  if (!band) return;
  band->widget->hide();
  band->shown = false;
}

bool IsShown(const Band* band) { return band && band->shown; }

bool IsOnScreen(const Band* band) { return band && band->widget->isVisible(); }

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
