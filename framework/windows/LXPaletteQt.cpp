// The window manager moves and sizes top-level windows on its own and tells only where they end
// up, so a palette snaps once the moves have settled rather than step by step.
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "LXPalette.h"
#include "WndQt.h"

namespace {
constexpr int kSettleDelayMs = 300;

class MoveWatcher : public QObject {
 public:
  MoveWatcher(QWidget* widget, HWND hwnd) : QObject(widget), m_widget(widget), m_hwnd(hwnd) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Settle(); });
    m_settled = Current();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != m_widget || (e->type() != QEvent::Move && e->type() != QEvent::Resize)) return false;
    if (!e->spontaneous()) {
      // The program placed the window itself: that is the new resting place.
      if (!m_timer.isActive()) m_settled = Current();
      return false;
    }
    if (e->type() == QEvent::Resize) m_sizing = true;
    m_timer.start(kSettleDelayMs);
    return false;
  }

 private:
  RECT Current() const {
    RECT r{};
    ::GetWindowRect(m_hwnd, &r);
    return r;
  }

  void Settle() {
    const RECT before = m_settled;
    const RECT after = Current();
    const bool sizing = m_sizing;
    m_sizing = false;
    if (::EqualRect(&before, &after)) return;
    if (auto* palette = dynamic_cast<CLXPalette*>(CWnd::FromHandlePermanent(m_hwnd)))
      palette->FinishUserMove(before, after, sizing);
    m_settled = Current();
  }

  QPointer<QWidget> m_widget;
  HWND m_hwnd;
  QTimer m_timer;
  RECT m_settled{};
  bool m_sizing = false;
};
}  // namespace

namespace LXPaletteQt {
void WatchUserMoves(CLXPalette* palette) {
  if (!palette || !palette->m_hWnd) return;
  QWidget* widget = qlw::WidgetOf(palette->m_hWnd);
  if (!widget) return;
  widget->installEventFilter(new MoveWatcher(widget, palette->m_hWnd));
}
}  // namespace LXPaletteQt
