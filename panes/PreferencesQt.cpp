// The Qt side of the preferences dialog: template layout released, pages fitted, label fonts.
#include "PreferencesQt.h"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QWidget>

#include <algorithm>

#include "GdiQt.h"
#include "WndQt.h"

namespace {
// A page narrower than this reads as a column of broken lines.
constexpr int kMinPageWidth = 460;
// Plain texts longer than this are explanations, wrapped to the page's width.
constexpr int kWrapLength = 50;
}  // namespace

namespace PrefsLayout {
void ReleaseTemplateLayout(HWND dialog) {
  QWidget* w = qlw::WidgetOf(dialog);
  if (!w || !w->layout()) return;
  w->layout()->activate();
  delete w->layout();
}

SIZE FitPageToContents(HWND page, int width) {
  QWidget* w = qlw::WidgetOf(page);
  if (!w || !w->layout()) return SIZE{0, 0};
  for (QLabel* label : w->findChildren<QLabel*>())
    if (label->text().size() > kWrapLength) label->setWordWrap(true);
  QLayout* column = w->layout();
  column->invalidate();
  column->activate();
  if (width <= 0) width = std::max(column->minimumSize().width(), kMinPageWidth);
  const int height = column->hasHeightForWidth() ? std::max(column->heightForWidth(width), column->minimumSize().height())
                                                 : column->sizeHint().height();
  ::SetWindowPos(page, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  column->activate();
  return SIZE{width, height};
}

void MakeSampleBox(HWND label) {
  if (auto* l = qobject_cast<QLabel*>(qlw::WidgetOf(label))) {
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setFixedHeight(l->fontMetrics().height() * 3);
  }
}

void MakeLabelBold(HWND label) {
  if (QWidget* w = qlw::WidgetOf(label)) {
    QFont font = w->font();
    font.setBold(true);
    w->setFont(font);
  }
}

void SetLabelFont(HWND label, const LOGFONTW& logFont) {
  if (QWidget* w = qlw::WidgetOf(label)) w->setFont(qlw::FontFromLogFont(logFont));
}
}  // namespace PrefsLayout
