// The widget of a window object and the one place where Qt events become window messages.
// Generic windows get a WndWidget; controls bring a native Qt widget, whose events are offered to
// the window procedure chain first and reach Qt only when the chain passes them on.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPicture>
#include <QPointer>
#include <QThread>
#include <QWheelEvent>
#include <QWidget>

#include <vector>

#include "WndGeometry.h"
#include "WndInternal.h"
#include "WndQt.h"
#include "WndState.h"

using namespace qlw::wnd;

namespace {
const char kHwndProperty[] = "qlwHwnd";

qlw::PreTranslateHook g_preTranslate = nullptr;

struct PaintSession {
  HWND hwnd;
  QPainter* painter;
  QRect rect;
};
thread_local std::vector<PaintSession> t_paints;

std::map<HWND, std::vector<QPicture>>& PendingPictures() {
  static std::map<HWND, std::vector<QPicture>> pending;
  return pending;
}

LPARAM PointParam(QPoint p) { return MAKELPARAM(static_cast<short>(p.x()), static_cast<short>(p.y())); }

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  WPARAM k = 0;
  if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  if (mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (mods & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

// Sends a message and tells whether the procedure chain reached its default handling; with
// skipDefault, DefWindowProc leaves its default action to the caller.
bool SendReachesDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr,
                        bool skipDefault = false) {
  const bool saved = qlw::wnd::DefaultReached();
  const qlw::wnd::DefaultWatch savedWatch = qlw::wnd::WatchedForDefault();
  qlw::wnd::DefaultReached() = false;
  qlw::wnd::WatchedForDefault() = qlw::wnd::DefaultWatch{hwnd, message, skipDefault};
  LRESULT r = SendMessageW(hwnd, message, wParam, lParam);
  const bool reached = qlw::wnd::DefaultReached();
  qlw::wnd::DefaultReached() = saved;
  qlw::wnd::WatchedForDefault() = savedWatch;
  if (result) *result = r;
  return reached;
}

bool IsPreTranslated(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!g_preTranslate) return false;
  MSG msg{hwnd, message, wParam, lParam, GetTickCount(), POINT{0, 0}};
  return g_preTranslate(&msg);
}

bool TranslateMouse(HWND hwnd, QWidget* widget, QMouseEvent* e, bool native) {
  UINT message = 0;
  const bool dbl = e->type() == QEvent::MouseButtonDblClick;
  const bool press = e->type() == QEvent::MouseButtonPress || dbl;
  switch (e->type()) {
    case QEvent::MouseMove: message = WM_MOUSEMOVE; break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
      if (e->button() == Qt::LeftButton) message = press ? (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
      else if (e->button() == Qt::RightButton) message = press ? (dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
      else if (e->button() == Qt::MiddleButton) message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      break;
    default: break;
  }
  if (!message) return false;
  // The mouse goes to the window that holds the capture, in its own client coordinates.
  HWND target = hwnd;
  QPoint global = e->globalPosition().toPoint();
  if (HWND capture = GetCapture(); capture && capture != hwnd && IsWindow(capture)) target = capture;
  POINT pt{global.x(), global.y()};
  ScreenToClient(target, &pt);
  const WPARAM keys = MouseKeys(e->buttons(), e->modifiers());
  ScopedMouseWidget scope(widget);
  if (message == WM_MOUSEMOVE && !GetCapture())
    SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN)
    SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, message));
  // The window a left press went to: a capture it took ends with its release, one that another
  // window took meanwhile (a popup opened by the press) is that window's to end.
  static HWND s_pressedWindow = nullptr;
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) s_pressedWindow = target;
  const bool reached = SendReachesDefault(target, message, keys, MAKELPARAM(static_cast<short>(pt.x), static_cast<short>(pt.y)));
  // A release ends Qt's implicit grab: a capture still held by the pressed window is given up with it.
  if (message == WM_LBUTTONUP && e->buttons() == Qt::NoButton && GetCapture() == target && target == s_pressedWindow)
    ReleaseCapture();
  return native ? !reached || target != hwnd : true;
}

int VirtualKeyOf(const QKeyEvent* e) {
  const int key = e->key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return (e->modifiers() & Qt::KeypadModifier) ? VK_NUMPAD0 + (key - Qt::Key_0) : '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return (e->modifiers() & Qt::KeypadModifier) ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus: return (e->modifiers() & Qt::KeypadModifier) ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Period: return (e->modifiers() & Qt::KeypadModifier) ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Comma: return VK_OEM_COMMA;
    case Qt::Key_BracketLeft: return VK_OEM_4;
    case Qt::Key_BracketRight: return VK_OEM_6;
    case Qt::Key_Slash: return VK_DIVIDE;
    default: return 0;
  }
}

bool TranslateKey(HWND hwnd, QKeyEvent* e, bool native) {
  // A popup that holds the mouse capture (a drop-down picker shown without activation) takes the
  // keys too, whichever window has the focus.
  if (HWND capture = GetCapture(); capture && capture != hwnd && IsWindow(capture) &&
                                   (GetWindowLongW(capture, GWL_STYLE) & (WS_POPUP | WS_CHILD)) == WS_POPUP)
    hwnd = capture;
  const int vk = VirtualKeyOf(e);
  const bool down = e->type() == QEvent::KeyPress;
  const bool alt = (e->modifiers() & Qt::AltModifier) != 0;
  const UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
  LPARAM lParam = 1;
  if (e->isAutoRepeat()) lParam |= 1L << 30;
  if (!down) lParam |= (1L << 30) | (1L << 31);
  // The focus window is the target, as with the platform's keyboard.
  if (vk) {
    if (IsPreTranslated(hwnd, message, static_cast<WPARAM>(vk), lParam)) return true;
    if (!SendReachesDefault(hwnd, message, static_cast<WPARAM>(vk), lParam) && native) return true;
    // F1 has asked for help (DefWindowProc): Qt must not hand the key on to the parent widgets too.
    if (vk == VK_F1 && message == WM_KEYDOWN) return true;
  }
  if (!down) return !native;
  bool passOn = true;
  const std::wstring text = e->text().toStdWString();
  for (wchar_t ch : text) {
    if (ch == 0x7F || (ch < 0x20 && ch != L'\r' && ch != L'\t' && ch != L'\b' && ch != 0x1B && !(e->modifiers() & Qt::ControlModifier))) continue;
    const UINT charMessage = alt ? 0x0106 /* WM_SYSCHAR */ : WM_CHAR;
    if (IsPreTranslated(hwnd, charMessage, static_cast<WPARAM>(ch), lParam)) return true;
    if (!SendReachesDefault(hwnd, charMessage, static_cast<WPARAM>(ch), lParam)) passOn = false;
  }
  return native ? !passOn : true;
}

void AnnounceFocus(HWND hwnd, bool gained) {
  FocusState& f = Focus();
  if (gained) {
    if (f.focus == hwnd) return;
    HWND old = f.focus;
    f.focus = hwnd;
    if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (IsWindow(hwnd) && f.focus == hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  } else if (f.focus == hwnd) {
    // Focus left for a widget that is no window of ours (or nothing): announce the loss only.
    QWidget* now = QApplication::focusWidget();
    if (HWND owner = now ? qlw::HwndOf(now) : nullptr) {
      // A part of a control (a tab control's tab row) hears no focus of its own: its control
      // gains it now. A window's own widget announces both itself.
      if (owner != hwnd && qlw::WidgetOf(owner) != now) AnnounceFocus(owner, true);
      return;
    }
    f.focus = nullptr;
    SendMessageW(hwnd, WM_KILLFOCUS, 0, 0);
  }
}

void AnnounceActivation(HWND hwnd, bool active) {
  FocusState& f = Focus();
  if (active) {
    if (f.active == hwnd) return;
    HWND old = f.active;
    f.active = hwnd;
    if (old && IsWindow(old)) {
      SendMessageW(old, 0x0086 /* WM_NCACTIVATE */, FALSE, 0);
      SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    }
    SendMessageW(hwnd, 0x0086 /* WM_NCACTIVATE */, TRUE, 0);
    SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  } else if (f.active == hwnd) {
    f.active = nullptr;
    SendMessageW(hwnd, 0x0086 /* WM_NCACTIVATE */, FALSE, 0);
    SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
  }
}

// A control's own Qt handling of a context-menu event in progress: which control, and whether
// Qt passed the event on beyond the control's widgets.
struct ControlContextMenu {
  HWND control = nullptr;
  bool passedOn = false;
};
thread_local ControlContextMenu* t_controlContextMenu = nullptr;

// One right click (or menu key) makes one WM_CONTEXTMENU, which travels up the parents through
// DefWindowProc. Qt passes an event its widget ignores to the parent widgets as well, which would
// be a second message for each window on the way: every widget but the first consumes it.
bool TranslateContextMenu(HWND hwnd, QWidget* widget, QContextMenuEvent* e, bool native) {
  if (ControlContextMenu* own = t_controlContextMenu) {
    if (own->control == hwnd) return false;  // the control's own widgets (a list's viewport) handle it in Qt
    own->passedOn = true;
    return true;
  }
  const LPARAM where = e->reason() == QContextMenuEvent::Keyboard ? MAKELPARAM(-1, -1) : PointParam(e->globalPos());
  const WPARAM from = reinterpret_cast<WPARAM>(hwnd);
  if (!native) {
    SendMessageW(hwnd, WM_CONTEXTMENU, from, where);
    return true;
  }
  // A control: its procedure chain first, then its Qt widget's own menu (an edit's), and only
  // when neither shows one, its parent.
  if (!SendReachesDefault(hwnd, WM_CONTEXTMENU, from, where, nullptr, true)) return true;
  ControlContextMenu own{hwnd, false};
  QContextMenuEvent copy(e->reason(), e->pos(), e->globalPos(), e->modifiers());
  t_controlContextMenu = &own;
  QApplication::sendEvent(widget, &copy);
  t_controlContextMenu = nullptr;
  if (!copy.isAccepted() || own.passedOn) DefWindowProcW(hwnd, WM_CONTEXTMENU, from, where);
  return true;
}

void DrawPendingPictures(HWND hwnd, QPainter& painter) {
  auto& pending = PendingPictures();
  auto it = pending.find(hwnd);
  if (it == pending.end()) return;
  std::vector<QPicture> pictures = std::move(it->second);
  pending.erase(it);
  for (QPicture& p : pictures) painter.drawPicture(0, 0, p);
}

void Paint(HWND hwnd, QWidget* widget, QPaintEvent* e) {
  QPainter painter(widget);
  const QPoint origin = qlw::ClientOrigin(hwnd);
  painter.translate(origin);
  QRect rect = e->rect().translated(-origin);
  painter.setClipRegion(e->region().translated(-origin));
  t_paints.push_back(PaintSession{hwnd, &painter, rect});
  SendMessageW(hwnd, WM_PAINT, 0, 0);
  t_paints.pop_back();
  painter.setClipping(false);
  DrawPendingPictures(hwnd, painter);
}

// Translates one event for the window; true when the event was consumed.
bool Translate(HWND hwnd, QWidget* widget, QEvent* e, bool native) {
  if (!IsWindow(hwnd)) return false;
  struct InputState {
    int mods, buttons;
    explicit InputState(QEvent* e) : mods(EventModifiers()), buttons(EventButtons()) {
      if (auto* in = dynamic_cast<QInputEvent*>(e)) {
        EventModifiers() = static_cast<int>(in->modifiers());
        if (auto* m = dynamic_cast<QSinglePointEvent*>(e)) EventButtons() = static_cast<int>(m->buttons());
      }
    }
    ~InputState() {
      EventModifiers() = mods;
      EventButtons() = buttons;
    }
  } input(e);
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return TranslateMouse(hwnd, widget, static_cast<QMouseEvent*>(e), native);
    case QEvent::Wheel: {
      auto* w = static_cast<QWheelEvent*>(e);
      const QPoint global = w->globalPosition().toPoint();
      const bool horizontal = w->angleDelta().x() != 0 && w->angleDelta().y() == 0;
      const int delta = horizontal ? w->angleDelta().x() : w->angleDelta().y();
      const WPARAM wParam = MAKEWPARAM(MouseKeys(w->buttons(), w->modifiers()), static_cast<short>(delta));
      const bool reached = SendReachesDefault(hwnd, horizontal ? 0x020E /* WM_MOUSEHWHEEL */ : WM_MOUSEWHEEL, wParam,
                                              PointParam(global));
      return native ? !reached : true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return TranslateKey(hwnd, static_cast<QKeyEvent*>(e), native);
    case QEvent::FocusIn:
      AnnounceFocus(hwnd, true);
      return false;
    case QEvent::FocusOut:
      AnnounceFocus(hwnd, false);
      return false;
    case QEvent::ContextMenu:
      if (!TranslateContextMenu(hwnd, widget, static_cast<QContextMenuEvent*>(e), native)) return false;
      e->accept();
      return true;
    case QEvent::Resize:
    case QEvent::Move:
      AnnouncePlacement(hwnd);
      return false;
    case QEvent::WindowStateChange:
      // The window manager minimises, maximises and restores too: the styles follow Qt's state.
      if (widget->isWindow()) {
        const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        DWORD next = style & ~(WS_MINIMIZE | WS_MAXIMIZE);
        if (widget->isMinimized()) next |= WS_MINIMIZE;
        else if (widget->isMaximized()) next |= WS_MAXIMIZE;
        if (next != style) {
          SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(next));
          AnnouncePlacement(hwnd, true);
        }
      }
      return false;
    case QEvent::ActivationChange:
      // Only top-level windows are activated, whatever Qt tells their children.
      if (widget->isWindow()) AnnounceActivation(hwnd, widget->isActiveWindow());
      return false;
    case QEvent::Close:
      e->ignore();
      SendMessageW(hwnd, WM_CLOSE, 0, 0);
      return true;
    case QEvent::Paint:
      if (!native) {
        Paint(hwnd, widget, static_cast<QPaintEvent*>(e));
        return true;
      }
      return false;
    default:
      return false;
  }
}

class WndWidget : public QWidget {
 public:
  WndWidget(HWND hwnd, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), m_hwnd(hwnd) {
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(true);
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::KeyPress && MovesFocusOnTab(static_cast<QKeyEvent*>(e))) {
      focusNextPrevChild(static_cast<QKeyEvent*>(e)->key() == Qt::Key_Tab &&
                         !(static_cast<QKeyEvent*>(e)->modifiers() & Qt::ShiftModifier));
      e->accept();
      return true;
    }
    if (Translate(m_hwnd, this, e, false)) {
      // A close request stays ignored: WM_CLOSE has destroyed the window when it was to go, and
      // an accepted event would make Qt hide a window whose closing was cancelled.
      if (e->type() != QEvent::Close) e->accept();
      return true;
    }
    return QWidget::event(e);
  }

 private:
  // A tab stop hands Tab and Shift+Tab on to the next control unless it asks for the key itself.
  bool MovesFocusOnTab(const QKeyEvent* e) const {
    if ((e->key() != Qt::Key_Tab && e->key() != Qt::Key_Backtab) ||
        (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
      return false;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE));
    if ((style & (WS_CHILD | WS_TABSTOP)) != (WS_CHILD | WS_TABSTOP)) return false;
    const LRESULT code = SendMessageW(m_hwnd, WM_GETDLGCODE, 0, 0);
    return !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS));
  }

  HWND m_hwnd;
};

// Offers the events of native controls to their window procedure chain first.
class ControlFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return false;
    // Scroll areas take their mouse on the viewport, a child of the control's widget.
    HWND hwnd = qlw::HwndOf(widget);
    if (!hwnd) return false;
    return Translate(hwnd, widget, e, true);
  }
};

ControlFilter& TheControlFilter() {
  static ControlFilter* filter = new ControlFilter;
  return *filter;
}

QWidget* DefaultFactory(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  Qt::WindowFlags flags;
  if (!(cs.style & WS_CHILD)) {
    flags = (cs.dwExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    if (cs.dwExStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if ((cs.style & WS_POPUP) && !(cs.style & WS_CAPTION)) flags |= Qt::FramelessWindowHint;
  }
  return new WndWidget(hwnd, parent, flags);
}
}  // namespace

namespace qlw::wnd {
void ApplyTabStop(HWND hwnd, bool tabStop) {
  QWidget* widget = qlw::WidgetOf(hwnd);
  if (!dynamic_cast<WndWidget*>(widget)) return;  // native controls keep their own policy
  widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

DefaultWatch& WatchedForDefault() {
  thread_local DefaultWatch watched;
  return watched;
}

bool& DefaultReached() {
  thread_local bool reached = false;
  return reached;
}

FocusState& Focus() {
  static FocusState state;
  return state;
}

thread_local QWidget* t_mouseWidget = nullptr;
ScopedMouseWidget::ScopedMouseWidget(QWidget* w) : m_saved(t_mouseWidget) { t_mouseWidget = w; }
ScopedMouseWidget::~ScopedMouseWidget() { t_mouseWidget = m_saved; }
QWidget* MouseWidget() { return t_mouseWidget; }
int& EventModifiers() {
  thread_local int mods = -1;
  return mods;
}
int& EventButtons() {
  thread_local int buttons = -1;
  return buttons;
}

void ShowIcon(HWND hwnd, HICON icon) {
  QWidget* w = qlw::WidgetOf(hwnd);
  if (!w) return;
  QCursor image;
  if (icon && qlw::CursorOf(icon, image) && !image.pixmap().isNull()) w->setWindowIcon(QIcon(image.pixmap()));
  else w->setWindowIcon(QIcon());
}

// The application's activation reaches every top-level window of the UI thread.
void WatchApplicationState() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  InstallControlMap();
  QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp, [](Qt::ApplicationState state) {
    static int last = -1;
    const int active = state == Qt::ApplicationActive ? 1 : 0;
    if (active == last) return;
    last = active;
    std::vector<HWND> tops;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM l) -> BOOL {
      reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&tops));
    for (HWND h : tops)
      if (IsWindow(h)) SendMessageW(h, WM_ACTIVATEAPP, static_cast<WPARAM>(active), 0);
  });
}

void AttachWidget(HWND hwnd, const CREATESTRUCTW& cs) {
  if (!qlw::OnWidgetThread()) return;
  WatchApplicationState();
  WidgetFactory factory;
  QWidget* parentWidget = nullptr;
  RECT placed;
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto w = FindWindowLocked(hwnd);
    if (!w) return;
    factory = FactoryOfClassLocked(w->className);
    HWND above = w->parent ? w->parent : w->owner;
    if (above)
      if (auto p = FindWindowLocked(above)) parentWidget = p->widget;
    placed = w->placed;
  }
  const bool native = factory != nullptr;
  QWidget* widget = (factory ? factory : DefaultFactory)(hwnd, cs, parentWidget);
  if (!widget) return;
  if (parentWidget && !(cs.style & WS_CHILD) && !widget->isWindow()) widget->setParent(parentWidget, Qt::Window);
  widget->setProperty(kHwndProperty, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(hwnd)));
  widget->setAttribute(Qt::WA_DontShowOnScreen, false);
  widget->hide();
  if (cs.style & WS_DISABLED) widget->setEnabled(false);
  if (cs.lpszName && reinterpret_cast<uintptr_t>(cs.lpszName) >= 0x10000 && widget->isWindow())
    widget->setWindowTitle(QString::fromStdWString(cs.lpszName));
  QPoint origin;
  if ((cs.style & WS_CHILD) && parentWidget) {
    HWND parent = GetParent(hwnd);
    origin = qlw::ClientOrigin(parent);
  }
  widget->setGeometry(placed.left + origin.x(), placed.top + origin.y(), std::max<LONG>(0, placed.right - placed.left),
                      std::max<LONG>(0, placed.bottom - placed.top));
  if (native) {
    widget->installEventFilter(&TheControlFilter());
    widget->setMouseTracking(true);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
      area->viewport()->installEventFilter(&TheControlFilter());
      area->viewport()->setMouseTracking(true);
    }
  }
  std::lock_guard<std::mutex> lock(Lock());
  if (auto w = FindWindowLocked(hwnd)) {
    w->widget = widget;
    // Announced sizes start from what the window was created with: WM_SIZE follows changes only.
    QRect r = widget->rect();
    w->lastClient = SIZE{r.width(), r.height()};
    w->lastPos = POINT{placed.left, placed.top};
  }
}

void ReleaseWidget(QWidget* widget) {
  if (!widget) return;
  const HWND hwnd = reinterpret_cast<HWND>(widget->property(kHwndProperty).value<quintptr>());
  PendingPictures().erase(hwnd);
  FocusState& f = Focus();
  if (f.focus == hwnd) f.focus = nullptr;
  if (f.active == hwnd) f.active = nullptr;
  if (f.capture == hwnd) f.capture = nullptr;
  widget->setProperty(kHwndProperty, QVariant());
  widget->removeEventFilter(&TheControlFilter());
  widget->hide();
  // Later, not now: the widget may be in the middle of its own event handler.
  widget->setParent(nullptr);
  widget->deleteLater();
}
}  // namespace qlw::wnd

namespace qlw {
bool OnWidgetThread() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app && QThread::currentThread() == app->thread();
}

QWidget* WidgetOf(HWND hwnd) {
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  return w ? w->widget : nullptr;
}

HWND HwndOf(const QWidget* widget) {
  for (; widget; widget = widget->parentWidget()) {
    const QVariant v = widget->property(kHwndProperty);
    if (v.isValid()) return reinterpret_cast<HWND>(v.value<quintptr>());
  }
  return nullptr;
}

QPoint ClientOrigin(HWND hwnd) {
  QWidget* w = WidgetOf(hwnd);
  return w ? w->contentsRect().topLeft() : QPoint();
}

QPainter* PaintPainter(HWND hwnd) {
  for (auto it = t_paints.rbegin(); it != t_paints.rend(); ++it)
    if (it->hwnd == hwnd) return it->painter;
  return nullptr;
}

QRect PaintRect(HWND hwnd) {
  for (auto it = t_paints.rbegin(); it != t_paints.rend(); ++it)
    if (it->hwnd == hwnd) return it->rect;
  return QRect();
}

void QueuePaintPicture(HWND hwnd, const QPicture& picture) {
  if (!IsWindow(hwnd)) return;
  PendingPictures()[hwnd].push_back(picture);
  if (QWidget* w = WidgetOf(hwnd)) w->update();
}

void SetPreTranslateHook(PreTranslateHook hook) { g_preTranslate = hook; }
}  // namespace qlw
