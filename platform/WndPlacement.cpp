// Placement, focus, capture, activation, repainting, cursors, keys and monitors of window objects.
#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "Resources.h"
#include "WndGeometry.h"
#include "WndInternal.h"
#include "WndQt.h"
#include "WndState.h"

using namespace qlw::wnd;

namespace {
struct Placement {
  QWidget* widget{};
  HWND parent{};
  bool child{};
  RECT placed{};
};

bool Lookup(HWND hwnd, Placement& p) {
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  p.widget = w->widget;
  p.parent = w->parent;
  p.child = (w->style & WS_CHILD) != 0;
  p.placed = w->placed;
  return true;
}

// Screen position of the window's client origin.
bool ClientOriginOnScreen(HWND hwnd, POINT& out) {
  Placement p;
  if (!Lookup(hwnd, p)) return false;
  if (p.widget) {
    QPoint g = p.widget->mapToGlobal(p.widget->contentsRect().topLeft());
    out = POINT{g.x(), g.y()};
    return true;
  }
  POINT origin{p.placed.left, p.placed.top};
  if (p.child && p.parent) {
    POINT parentOrigin{};
    if (!ClientOriginOnScreen(p.parent, parentOrigin)) return false;
    origin.x += parentOrigin.x;
    origin.y += parentOrigin.y;
  }
  out = origin;
  return true;
}

// Window rectangle in the parent's client coordinates (child) or on the screen (top-level).
RECT LocalRect(const Placement& p) {
  if (!p.widget) return p.placed;
  QRect g = p.widget->geometry();
  if (p.child && p.parent) g.translate(-qlw::ClientOrigin(p.parent));
  return RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

struct Monitor {
  RECT full;
  RECT work;
  bool primary;
};

std::vector<Monitor> Monitors() {
  std::vector<Monitor> out;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* s : QGuiApplication::screens()) {
      const QRect g = s->geometry();
      QRect a = s->availableGeometry();
      if (a.isEmpty()) a = g;
      out.push_back(Monitor{RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()},
                            RECT{a.left(), a.top(), a.left() + a.width(), a.top() + a.height()}, s == primary});
    }
  }
  if (out.empty()) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    out.push_back(Monitor{RECT{0, 0, w, h}, RECT{0, 0, w, GetSystemMetrics(SM_CYFULLSCREEN)}, true});
  }
  std::stable_partition(out.begin(), out.end(), [](const Monitor& m) { return m.primary; });
  return out;
}

HMONITOR MonitorHandle(size_t index) { return reinterpret_cast<HMONITOR>(index + 1); }

long long DistanceSquared(const RECT& r, POINT p) {
  const long long dx = p.x < r.left ? r.left - p.x : (p.x >= r.right ? p.x - r.right + 1 : 0);
  const long long dy = p.y < r.top ? r.top - p.y : (p.y >= r.bottom ? p.y - r.bottom + 1 : 0);
  return dx * dx + dy * dy;
}

struct DeferredMove {
  HWND hwnd, after;
  int x, y, cx, cy;
  UINT flags;
};
}  // namespace

struct DeferredPositions__ {
  std::vector<DeferredMove> moves;
};

namespace qlw::wnd {
void AnnouncePlacement(HWND hwnd, bool kindChanged) {
  Placement p;
  if (!Lookup(hwnd, p)) return;
  RECT local = LocalRect(p);
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT pos{local.left, local.top};
  if (p.widget && p.widget->isWindow()) {
    QPoint g = p.widget->mapToGlobal(p.widget->contentsRect().topLeft());
    pos = POINT{g.x(), g.y()};
  }
  bool moved = false, sized = false;
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto w = FindWindowLocked(hwnd);
    if (!w) return;
    w->placed = local;
    moved = w->lastPos.x != pos.x || w->lastPos.y != pos.y;
    sized = w->lastClient.cx != client.right || w->lastClient.cy != client.bottom;
    w->lastPos = pos;
    w->lastClient = SIZE{client.right, client.bottom};
  }
  if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<short>(pos.x), static_cast<short>(pos.y)));
  if (sized || kindChanged) {
    WPARAM kind = IsIconic(hwnd) ? SIZE_MINIMIZED : (IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED);
    SendMessageW(hwnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
  }
}
}  // namespace qlw::wnd

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  Placement p;
  if (!rect || !Lookup(hwnd, p)) return FALSE;
  if (p.widget) {
    QPoint g = p.widget->mapToGlobal(QPoint(0, 0));
    *rect = RECT{g.x(), g.y(), g.x() + p.widget->width(), g.y() + p.widget->height()};
    return TRUE;
  }
  RECT r = p.placed;
  if (p.child && p.parent) {
    POINT o{};
    ClientOriginOnScreen(p.parent, o);
    OffsetRect(&r, o.x, o.y);
  }
  *rect = r;
  return TRUE;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
  Placement p;
  if (!placement || !Lookup(hwnd, p)) return FALSE;
  placement->flags = 0;
  placement->showCmd = IsZoomed(hwnd) ? SW_SHOWMAXIMIZED : (IsIconic(hwnd) ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  RECT r{};
  GetWindowRect(hwnd, &r);
  if (p.widget && p.widget->isWindow() && placement->showCmd != SW_SHOWNORMAL) {
    const QRect n = p.widget->normalGeometry();
    if (n.isValid()) r = RECT{n.left(), n.top(), n.left() + n.width(), n.top() + n.height()};
  }
  placement->rcNormalPosition = r;
  return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
  Placement p;
  if (!placement || !Lookup(hwnd, p)) return FALSE;
  const RECT& r = placement->rcNormalPosition;
  if (p.widget && p.widget->isWindow() && (IsZoomed(hwnd) || IsIconic(hwnd))) {
    // Qt keeps the restore geometry of a maximised window itself; it is only set while restored.
    return TRUE;
  }
  return MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

namespace qlw {
BOOL GetWindowFrameRect(HWND hwnd, LPRECT rect) {
  if (!GetWindowRect(hwnd, rect)) return FALSE;
  QWidget* w = WidgetOf(hwnd);
  if (w && w->isWindow() && !w->isVisible() && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
    // Not framed yet: where a window manager will decorate it, reckon with a caption and borders,
    // so that a window placed before it shows keeps its title bar on screen.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform == QLatin1String("wayland")) {
      const int border = GetSystemMetrics(SM_CXFRAME);
      rect->left -= border;
      rect->right += border;
      rect->top -= GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
      rect->bottom += GetSystemMetrics(SM_CYFRAME);
    }
  } else if (w && w->isWindow() && w->isVisible()) {
    const QRect frame = w->frameGeometry();
    const QRect inner = w->geometry();
    // frameGeometry is relative to the same origin as geometry: add the frame around ours.
    rect->left -= inner.left() - frame.left();
    rect->top -= inner.top() - frame.top();
    rect->right += frame.right() - inner.right();
    rect->bottom += frame.bottom() - inner.bottom();
  }
  return TRUE;
}
}  // namespace qlw

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  Placement p;
  if (!rect || !Lookup(hwnd, p)) return FALSE;
  if (p.widget) {
    QRect c = p.widget->contentsRect();
    // Scroll bars lie outside the client area.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(p.widget)) {
      if (area->verticalScrollBar()->isVisibleTo(area)) c.setWidth(c.width() - area->verticalScrollBar()->width());
      if (area->horizontalScrollBar()->isVisibleTo(area)) c.setHeight(c.height() - area->horizontalScrollBar()->height());
    }
    *rect = RECT{0, 0, std::max(0, c.width()), std::max(0, c.height())};
  } else {
    *rect = RECT{0, 0, std::max<LONG>(0, p.placed.right - p.placed.left), std::max<LONG>(0, p.placed.bottom - p.placed.top)};
  }
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  POINT o;
  if (!point || !ClientOriginOnScreen(hwnd, o)) return FALSE;
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  POINT o;
  if (!point || !ClientOriginOnScreen(hwnd, o)) return FALSE;
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from && !ClientOriginOnScreen(from, a)) return 0;
  if (to && !ClientOriginOnScreen(to, b)) return 0;
  const int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; i < count; ++i) points[i].x += dx, points[i].y += dy;
  SetLastError(ERROR_SUCCESS);
  return MAKELONG(static_cast<short>(dx), static_cast<short>(dy));
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  Placement p;
  if (!Lookup(hwnd, p)) return FALSE;
  RECT r = LocalRect(p);
  if (flags & SWP_NOMOVE) x = r.left, y = r.top;
  if (flags & SWP_NOSIZE) width = r.right - r.left, height = r.bottom - r.top;
  width = std::max(0, width);
  height = std::max(0, height);
  if (p.widget) {
    QPoint origin = p.child && p.parent ? qlw::ClientOrigin(p.parent) : QPoint();
    p.widget->setGeometry(x + origin.x(), y + origin.y(), width, height);
  }
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (auto w = FindWindowLocked(hwnd)) w->placed = RECT{x, y, x + width, y + height};
  }
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_BOTTOM) {
      if (p.widget) p.widget->lower();
    } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST) {
      BringWindowToTop(hwnd);
      if (p.widget) p.widget->raise();
    } else if (insertAfter != HWND_NOTOPMOST && p.widget) {
      if (QWidget* below = qlw::WidgetOf(insertAfter)) p.widget->stackUnder(below);
    }
  }
  qlw::wnd::AnnouncePlacement(hwnd);
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  return TRUE;
}

HDWP BeginDeferWindowPos(int count) {
  auto* d = new DeferredPositions__;
  d->moves.reserve(static_cast<size_t>(std::max(0, count)));
  return d;
}

HDWP DeferWindowPos(HDWP dwp, HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  if (!dwp) return nullptr;
  if (!IsWindow(hwnd)) {
    // As on the platform, a bad window spoils the batch: nothing of it is applied.
    delete dwp;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  dwp->moves.push_back(DeferredMove{hwnd, insertAfter, x, y, width, height, flags});
  return dwp;
}

BOOL EndDeferWindowPos(HDWP dwp) {
  if (!dwp) return FALSE;
  for (const DeferredMove& m : dwp->moves) SetWindowPos(m.hwnd, m.after, m.x, m.y, m.cx, m.cy, m.flags);
  delete dwp;
  return TRUE;
}

HWND SetParent(HWND child, HWND newParent) {
  HWND old;
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto w = FindWindowLocked(child);
    auto p = newParent ? FindWindowLocked(newParent) : nullptr;
    if (!w || (newParent && !p) || !(w->style & WS_CHILD) || !p) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    old = w->parent;
    if (auto o = FindWindowLocked(old)) o->children.erase(std::remove(o->children.begin(), o->children.end(), child), o->children.end());
    w->parent = newParent;
    p->children.push_back(child);
  }
  QWidget* widget = qlw::WidgetOf(child);
  QWidget* host = qlw::WidgetOf(newParent);
  if (widget && host) {
    const bool visible = (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0;
    RECT r{};
    GetWindowRect(child, &r);
    widget->setParent(host);
    POINT tl{r.left, r.top};
    ScreenToClient(newParent, &tl);
    SetWindowPos(child, nullptr, tl.x, tl.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    widget->setVisible(visible);
  }
  return old;
}

HWND GetWindow(HWND hwnd, UINT command) {
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) return nullptr;
  if (command == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (command == GW_OWNER) return w->owner;
  if (!w->parent) return nullptr;
  auto p = FindWindowLocked(w->parent);
  if (!p) return nullptr;
  const auto& list = p->children;
  auto it = std::find(list.begin(), list.end(), hwnd);
  switch (command) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return it + 1 < list.end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV: return it > list.begin() ? *(it - 1) : nullptr;
    default: return nullptr;
  }
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  if (!IsWindow(hwnd)) return nullptr;
  if (flags == GA_PARENT) return GetParent(hwnd);
  HWND h = hwnd;
  while ((GetWindowLongW(h, GWL_STYLE) & WS_CHILD) && GetParent(h)) h = GetParent(h);
  if (flags == GA_ROOTOWNER)
    while (HWND owner = GetWindow(h, GW_OWNER)) h = owner;
  return h;
}

HWND GetTopWindow(HWND hwnd) { return hwnd ? GetWindow(hwnd, GW_CHILD) : nullptr; }

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  if (!IsWindow(hwnd)) return FALSE;
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  const bool wasDisabled = (style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
  SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(enable ? style & ~WS_DISABLED : style | WS_DISABLED));
  if (QWidget* w = qlw::WidgetOf(hwnd)) w->setEnabled(enable != FALSE);
  if (!enable && GetFocus() == hwnd) SetFocus(nullptr);
  SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  return IsWindow(hwnd) && !(GetWindowLongW(hwnd, GWL_STYLE) & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetFocus(HWND hwnd) {
  FocusState& f = Focus();
  HWND old = f.focus;
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (hwnd == old) return old;
  // Announced here, as the platform does, whether or not Qt's window is active yet.
  f.focus = hwnd;
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && f.focus == hwnd) {
    if (QWidget* w = qlw::WidgetOf(hwnd)) w->setFocus(Qt::OtherFocusReason);
    SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  } else if (!hwnd) {
    if (QWidget* w = old ? qlw::WidgetOf(old) : nullptr) w->clearFocus();
  }
  return old;
}

HWND GetFocus() {
  HWND f = Focus().focus;
  return f && IsWindow(f) ? f : nullptr;
}

HWND SetCapture(HWND hwnd) {
  FocusState& f = Focus();
  HWND old = f.capture;
  if (!IsWindow(hwnd)) return nullptr;
  f.capture = hwnd;
  if (old && old != hwnd && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  FocusState& f = Focus();
  HWND old = std::exchange(f.capture, nullptr);
  if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  HWND c = Focus().capture;
  return c && IsWindow(c) ? c : nullptr;
}

HWND GetActiveWindow() {
  HWND a = Focus().active;
  return a && IsWindow(a) ? a : nullptr;
}

HWND SetActiveWindow(HWND hwnd) {
  HWND old = GetActiveWindow();
  hwnd = GetAncestor(hwnd, GA_ROOT);
  if (!hwnd) return nullptr;
  if (QWidget* w = qlw::WidgetOf(hwnd)) {
    w->raise();
    w->activateWindow();
  }
  FocusState& f = Focus();
  if (f.active != hwnd) {
    // Qt tells activation later (and not at all for hidden windows): the messages go now.
    f.active = hwnd;
    if (old) {
      SendMessageW(old, WM_NCACTIVATE, FALSE, 0);
      SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    }
    SendMessageW(hwnd, WM_NCACTIVATE, TRUE, 0);
    SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  }
  return old;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (qlw::wnd::IsRemoteHandle(hwnd)) return qlw::wnd::RemoteBringToFront(hwnd) ? TRUE : FALSE;
  if (!IsWindow(hwnd)) return FALSE;
  SetActiveWindow(hwnd);
  return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND WindowFromPoint(POINT point) {
  if (!qlw::OnWidgetThread()) return nullptr;
  return qlw::HwndOf(QApplication::widgetAt(point.x, point.y));
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  if (!hwnd) return FALSE;
  QWidget* w = qlw::WidgetOf(hwnd);
  if (!w) return IsWindow(hwnd);
  if (rect) w->update(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top).translated(qlw::ClientOrigin(hwnd)));
  else w->update();
  // A list's rows are drawn by its viewport, a widget of its own that the frame's update leaves as it was.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
    QWidget* view = area->viewport();
    if (rect)
      view->update(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top)
                       .translated(qlw::ClientOrigin(hwnd) - view->pos()));
    else view->update();
  }
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) { return IsWindow(hwnd); }

BOOL UpdateWindow(HWND hwnd) {
  QWidget* w = qlw::WidgetOf(hwnd);
  if (w && w->isVisible() && qlw::PaintPainter(hwnd) == nullptr) w->repaint();
  return IsWindow(hwnd);
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
  if (!IsWindow(hwnd)) return FALSE;
  if (rect && (flags & RDW_INVALIDATE) && (flags & RDW_UPDATENOW)) {
    // Painted now, with what else is invalid, but not the whole window: a small change to a
    // large window stays a small paint.
    QWidget* w = qlw::WidgetOf(hwnd);
    if (w && w->isVisible() && qlw::PaintPainter(hwnd) == nullptr) {
      w->repaint(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top).translated(qlw::ClientOrigin(hwnd)));
      return TRUE;
    }
  }
  if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
  if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
  return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  QPoint p = QCursor::pos();
  *point = POINT{p.x(), p.y()};
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  QCursor::setPos(x, y);
  return TRUE;
}

SHORT GetKeyState(int vk) {
  const int eventMods = qlw::wnd::EventModifiers(), eventButtons = qlw::wnd::EventButtons();
  const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
  Qt::KeyboardModifiers mods = eventMods >= 0 ? Qt::KeyboardModifiers(eventMods)
                               : gui ? QGuiApplication::queryKeyboardModifiers() : Qt::NoModifier;
  Qt::MouseButtons buttons = eventButtons >= 0 ? Qt::MouseButtons(eventButtons) : gui ? QGuiApplication::mouseButtons() : Qt::NoButton;
  bool down = false;
  switch (vk) {
    case VK_SHIFT: down = mods & Qt::ShiftModifier; break;
    case VK_CONTROL: down = mods & Qt::ControlModifier; break;
    case VK_MENU: down = mods & Qt::AltModifier; break;
    case VK_LBUTTON: down = buttons & Qt::LeftButton; break;
    case VK_RBUTTON: down = buttons & Qt::RightButton; break;
    case VK_MBUTTON: down = buttons & Qt::MiddleButton; break;
    default: break;
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int vk) { return GetKeyState(vk); }

HMONITOR MonitorFromRect(LPCRECT rect, DWORD flags) {
  if (!rect) return nullptr;
  const auto monitors = Monitors();
  long long bestArea = 0;
  size_t best = SIZE_MAX;
  for (size_t i = 0; i < monitors.size(); ++i) {
    RECT overlap;
    if (IntersectRect(&overlap, rect, &monitors[i].full)) {
      long long area = static_cast<long long>(overlap.right - overlap.left) * (overlap.bottom - overlap.top);
      if (area > bestArea) bestArea = area, best = i;
    }
  }
  if (best != SIZE_MAX) return MonitorHandle(best);
  if (flags == MONITOR_DEFAULTTONULL) return nullptr;
  if (flags == MONITOR_DEFAULTTOPRIMARY) return MonitorHandle(0);
  const POINT centre{(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2};
  return MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
  const auto monitors = Monitors();
  size_t nearest = 0;
  long long bestDistance = -1;
  for (size_t i = 0; i < monitors.size(); ++i) {
    long long d = DistanceSquared(monitors[i].full, point);
    if (d == 0) return MonitorHandle(i);
    if (bestDistance < 0 || d < bestDistance) bestDistance = d, nearest = i;
  }
  if (flags == MONITOR_DEFAULTTONULL) return nullptr;
  return MonitorHandle(flags == MONITOR_DEFAULTTOPRIMARY ? 0 : nearest);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorHandle(0);
  if (r.right <= r.left) r.right = r.left + 1;
  if (r.bottom <= r.top) r.bottom = r.top + 1;
  return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info) {
  const auto monitors = Monitors();
  const size_t index = reinterpret_cast<size_t>(monitor);
  if (!info || index == 0 || index > monitors.size()) return FALSE;
  const Monitor& m = monitors[index - 1];
  info->rcMonitor = m.full;
  info->rcWork = m.work;
  info->dwFlags = m.primary ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}
