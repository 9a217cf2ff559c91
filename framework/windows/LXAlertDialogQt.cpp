// The alert's look on Qt: fonts, the kind's icon, word wrap, default button and placement.
#include "LXAlertDialog.h"

#include "WndQt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <thread>

namespace {
QWidget* Item(HWND dialog, int id) { return qlw::WidgetOf(::GetDlgItem(dialog, id)); }

void SetLabelFont(HWND dialog, int id, double points, bool bold) {
  QWidget* w = Item(dialog, id);
  if (!w) return;
  // The alert's Arial and Verdana are mapped to the installed sans-serif family.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(points);
  font.setBold(bold);
  w->setFont(font);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
}
}  // namespace

namespace LXAlertLook {
void Apply(HWND dialog, UINT kind, UINT defaultId, HWND owner) {
  QWidget* window = qlw::WidgetOf(dialog);
  if (!window) return;
  SetLabelFont(dialog, CLXAlertDialog::kIdMessage, 10.0, true);
  SetLabelFont(dialog, CLXAlertDialog::kIdExplanation, 9.0, false);
  SetLabelFont(dialog, CLXAlertDialog::kIdCode, 7.5, false);
  if (auto* message = qobject_cast<QLabel*>(Item(dialog, CLXAlertDialog::kIdMessage)))
    message->setMinimumWidth(320);

  const QStyle::StandardPixmap icon = kind == CLXAlert::kQuestion ? QStyle::SP_MessageBoxWarning
                                      : kind == CLXAlert::kError  ? QStyle::SP_MessageBoxCritical
                                                                  : QStyle::SP_MessageBoxInformation;
  if (auto* label = qobject_cast<QLabel*>(Item(dialog, CLXAlertDialog::kIdIcon))) {
    const int size = window->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, window);
    label->setPixmap(window->style()->standardIcon(icon, nullptr, window).pixmap(size, size));
    label->setAlignment(Qt::AlignTop);
  }
  for (int id : {IDOK, IDNO, IDCANCEL})
    if (auto* button = qobject_cast<QPushButton*>(Item(dialog, id))) {
      button->setDefault(static_cast<UINT>(id) == defaultId);
      button->setAutoDefault(static_cast<UINT>(id) == defaultId);
    }
  if (QWidget* chosen = Item(dialog, static_cast<int>(defaultId))) chosen->setFocus(Qt::OtherFocusReason);

  // Fitted to its texts, then centred on its owner (or the screen). The layout does not carry a
  // wrapped label's height for its width up to the window, so each label is given it.
  window->adjustSize();
  bool grew = false;
  for (int id : {CLXAlertDialog::kIdMessage, CLXAlertDialog::kIdExplanation})
    if (auto* label = qobject_cast<QLabel*>(Item(dialog, id)); label && !label->isHidden()) {
      const int width = label->width();
      label->setFixedWidth(width);
      const int height = label->heightForWidth(width);
      if (height > label->height()) grew = true;
      label->setMinimumHeight(height);
    }
  if (grew) window->adjustSize();
  QWidget* ownerWidget = owner ? qlw::WidgetOf(::GetAncestor(owner, GA_ROOT)) : nullptr;
  if (ownerWidget) {
    // Kept above its owner by the window manager, also when the owner is shown after it.
    ownerWidget->window()->winId();
    window->winId();
    window->windowHandle()->setTransientParent(ownerWidget->window()->windowHandle());
  }
  // Centred on a shown owner, else on its screen; wholly inside that screen's work area either way.
  const HWND around = ownerWidget && ownerWidget->isVisible() ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  CWnd::FromHandle(dialog)->CenterWindow(around ? CWnd::FromHandle(around) : nullptr);
  window->raise();
  window->activateWindow();
}

void RepaintAfterClose() {
  // The window system takes the box away first; a window manager's frame goes a moment later,
  // and the exposures it brings are handled in that moment too.
  QGuiApplication::sync();
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible()) window->update();
  QElapsedTimer elapsed;
  elapsed.start();
  do {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (elapsed.elapsed() < 100);
}
}  // namespace LXAlertLook
