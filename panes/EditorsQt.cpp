// The editors' two needs of Qt: the status line's warning picture, and image buttons that keep
// their own small width in a row of the dialog's layout.
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "EditorSupport.h"
#include "WndQt.h"

namespace editors {
void ShowWarningIcon(HWND label) {
  auto* widget = qobject_cast<QLabel*>(qlw::WidgetOf(label));
  if (!widget) return;
  const int size = widget->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, widget);
  widget->setPixmap(widget->style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, widget).pixmap(size, size));
}

void KeepButtonNarrow(HWND button) {
  QWidget* widget = qlw::WidgetOf(button);
  if (!widget) return;
  const int height = widget->sizeHint().height();
  widget->setFixedWidth(height * 3 / 2 + 8);
}
}  // namespace editors
