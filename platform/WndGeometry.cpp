// Show state of window objects through their style bits.
#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <set>

#include "Resources.h"
#include "WndGeometry.h"
#include "WndQt.h"
#include "WndState.h"

namespace {
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

// Set on a widget whose minimum size came from WM_GETMINMAXINFO (rather than from a layout).
const char kTrackMinimum[] = "qlwTrackMinimum";

// The window's answer to WM_GETMINMAXINFO limits how far the desktop lets the user size it.
void ApplyTrackSizes(QWidget* w) {
  HWND hwnd = qlw::HwndOf(w);
  if (!hwnd) return;
  MINMAXINFO info{};
  info.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  info.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  info.ptMaxSize = POINT{GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  const MINMAXINFO defaults = info;
  SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  const POINT& mn = info.ptMinTrackSize;
  const POINT& mx = info.ptMaxTrackSize;
  if (mn.x != defaults.ptMinTrackSize.x || mn.y != defaults.ptMinTrackSize.y) {
    w->setMinimumSize(std::max<LONG>(0, mn.x), std::max<LONG>(0, mn.y));
    w->setProperty(kTrackMinimum, true);
  } else if (w->property(kTrackMinimum).toBool()) {
    w->setMinimumSize(0, 0);
    w->setProperty(kTrackMinimum, false);
  }
  if (mx.x != defaults.ptMaxTrackSize.x || mx.y != defaults.ptMaxTrackSize.y)
    w->setMaximumSize(std::max<LONG>(1, mx.x), std::max<LONG>(1, mx.y));
}

// The desktop asks for the limits whenever the user sizes the window; Qt keeps the ones it was
// given. A child shown or hidden (a pane of the window) may change them: they are asked for again
// once the events in hand are done, not in the middle of the layout that hid the child.
void RefreshTrackSizesLater(HWND child) {
  static std::set<HWND> pending;
  const HWND top = GetAncestor(child, GA_ROOT);
  QWidget* w = top && top != child ? qlw::WidgetOf(top) : nullptr;
  if (!w || !w->isWindow() || !w->isVisible() || !pending.insert(top).second) return;
  QMetaObject::invokeMethod(
      w,
      [top] {
        pending.erase(top);
        if (QWidget* widget = qlw::WidgetOf(top); widget && widget->isVisible()) ApplyTrackSizes(widget);
      },
      Qt::QueuedConnection);
}

void ApplyToWidget(QWidget* w, int command) {
  const bool noActivate = command == SW_SHOWNA || command == SW_SHOWNOACTIVATE || command == SW_SHOWMINNOACTIVE;
  w->setAttribute(Qt::WA_ShowWithoutActivating, noActivate);
  if (command == SW_HIDE) {
    w->hide();
    return;
  }
  if (!w->isWindow()) {
    w->show();
    return;
  }
  ApplyTrackSizes(w);
  switch (command) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: w->showMinimized(); break;
    case SW_SHOWMAXIMIZED: w->showMaximized(); break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE: w->showNormal(); break;
    default: w->show(); break;
  }
  // Hiding the active window makes Qt's widgets forget it is active, and the window system,
  // which gives it the focus back at once, tells Qt no change: keys would then reach a field
  // that the program does not know has the focus.
  if (!w->isMinimized() && QGuiApplication::focusWindow() == w->windowHandle() && QApplication::activeWindow() != w)
    QApplication::setActiveWindow(w);
}
}  // namespace

BOOL ShowWindow(HWND hwnd, int command) {
  if (!IsWindow(hwnd)) return FALSE;
  const DWORD style = StyleOf(hwnd);
  const bool wasVisible = (style & WS_VISIBLE) != 0;
  DWORD next = style;
  switch (command) {
    case SW_HIDE: next &= ~WS_VISIBLE; break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE: next = (next | WS_VISIBLE) & ~(WS_MINIMIZE | WS_MAXIMIZE); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: next = (next | WS_VISIBLE | WS_MINIMIZE) & ~WS_MAXIMIZE; break;
    case SW_SHOWMAXIMIZED: next = (next | WS_VISIBLE | WS_MAXIMIZE) & ~WS_MINIMIZE; break;
    case SW_SHOW:
    case SW_SHOWNA: next |= WS_VISIBLE; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return wasVisible ? TRUE : FALSE;
  }
  const bool visible = (next & WS_VISIBLE) != 0;
  if (visible != wasVisible) SendMessageW(hwnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
  if (IsWindow(hwnd)) SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(next));
  if (QWidget* w = qlw::WidgetOf(hwnd)) ApplyToWidget(w, command);
  if (IsWindow(hwnd)) qlw::wnd::AnnouncePlacement(hwnd);
  if (visible != wasVisible && (next & WS_CHILD) && IsWindow(hwnd)) RefreshTrackSizesLater(hwnd);
  return wasVisible ? TRUE : FALSE;
}

// A child is visible only while every window above it is.
BOOL IsWindowVisible(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  for (HWND w = hwnd; w; w = GetParent(w)) {
    const DWORD style = StyleOf(w);
    if (!(style & WS_VISIBLE)) return FALSE;
    if (!(style & WS_CHILD)) break;
  }
  return TRUE;
}
BOOL IsIconic(HWND hwnd) { return IsWindow(hwnd) && (StyleOf(hwnd) & WS_MINIMIZE) ? TRUE : FALSE; }
BOOL IsZoomed(HWND hwnd) { return IsWindow(hwnd) && (StyleOf(hwnd) & WS_MAXIMIZE) ? TRUE : FALSE; }
