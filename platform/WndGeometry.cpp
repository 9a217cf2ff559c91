// Show state of window objects through their style bits.
#include "WndGeometry.h"

namespace {
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
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
