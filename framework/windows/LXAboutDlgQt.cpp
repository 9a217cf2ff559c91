#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

#include "GdiPlus.h"
#include "LXAboutDlg.h"
#include "WndQt.h"

namespace {
void SetArial(HWND control, int points, bool bold) {
  QWidget* widget = qlw::WidgetOf(control);
  if (!widget) return;
  QFont font(QStringLiteral("Arial"), points, bold ? QFont::Bold : QFont::Normal);
  widget->setFont(font);
}
}  // namespace

void ShowAboutBoxOnWhite(HWND dialog, HWND pictureControl, Gdiplus::Bitmap* picture, HWND name, HWND version,
                         HWND notices) {
  SetArial(name, 12, true);
  SetArial(version, 10, true);
  SetArial(notices, 7, false);
  if (QWidget* widget = qlw::WidgetOf(dialog)) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    // Labels draw no background of their own, so the white shows behind every text; the
    // button keeps the palette it had.
    for (QLabel* label : widget->findChildren<QLabel*>()) {
      QPalette p = label->palette();
      p.setColor(QPalette::Window, Qt::white);
      label->setPalette(p);
      label->setAutoFillBackground(false);
    }
  }
  auto* label = qobject_cast<QLabel*>(qlw::WidgetOf(pictureControl));
  if (!label || !picture) return;
  const QImage& image = picture->Q();
  label->setPixmap(QPixmap::fromImage(image));
  label->setFixedSize(image.size());
}
