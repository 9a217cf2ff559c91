// CUtils helpers for windows and controls that need only window objects and messages.
#include "LXUtils.h"

#include <algorithm>

#include "LXMessage.h"

namespace {
// Button and system-command messages of the standard controls and frames.
constexpr UINT kButtonGetCheck = 0x00F0;
constexpr UINT kButtonSetCheck = 0x00F1;
constexpr WPARAM kButtonChecked = 1;
constexpr WPARAM kButtonUnchecked = 0;
constexpr WPARAM kSystemCommandRestore = 0xF120;
}  // namespace

void CUtils::GetVirtualScreenRect(LXGraphics::CSyncRect& out) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  out.SetFromRECT(
      RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)});
}

void CUtils::RestoreWindow(HWND window) {
  if (IsIconic(window) || IsZoomed(window)) SendMessageW(window, WM_SYSCOMMAND, kSystemCommandRestore, 0);
}

BOOL CUtils::ShowWindowKeepState(HWND window, bool show) {
  int command = SW_SHOWNORMAL;
  if (!show)
    command = SW_HIDE;
  else if (IsIconic(window))
    command = SW_RESTORE;
  else if (IsZoomed(window))
    command = SW_SHOWMAXIMIZED;
  return ShowWindow(window, command);
}

void CUtils::SetCheck(HWND button, bool checked) {
  if (!IsWindow(button)) return;
  const bool isChecked = (SendMessageW(button, kButtonGetCheck, 0, 0) & kButtonChecked) != 0;
  if (isChecked != checked) SendMessageW(button, kButtonSetCheck, checked ? kButtonChecked : kButtonUnchecked, 0);
}

namespace {
constexpr UINT kEditSetSel = 0x00B1;
constexpr UINT kEditScrollCaret = 0x00B7;
constexpr UINT kComboSetEditSel = 0x0142;
constexpr UINT kNextDialogControl = 0x0028;

// The framework's capture owner (user-interface thread only).
HWND g_captureOwner = nullptr;

bool ClassIs(HWND window, const wchar_t* name) {
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  return CString(cls).CompareNoCase(name) == 0;
}

// Work area and full area of the monitor that holds the rectangle (its caption band unless
// the whole rectangle is asked for), else the nearest.
MONITORINFO MonitorFor(const RECT& rect, bool wholeRect) {
  RECT probe = rect;
  if (!wholeRect) probe.bottom = std::min<LONG>(rect.bottom, rect.top + GetSystemMetrics(SM_CYCAPTION));
  if (probe.bottom <= probe.top) probe.bottom = probe.top + 1;
  if (probe.right <= probe.left) probe.right = probe.left + 1;
  MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
  GetMonitorInfoW(MonitorFromRect(&probe, MONITOR_DEFAULTTONEAREST), &info);
  return info;
}

void FitInto(RECT& r, const RECT& area, bool fitWhole, bool noMargin) {
  if (fitWhole) {
    if (r.left < area.left) {
      OffsetRect(&r, area.left - r.left, 0);
      if (r.right > area.right) r.right = area.right;
    } else if (r.right > area.right) {
      OffsetRect(&r, area.right - r.right, 0);
      if (r.left < area.left) r.left = area.left;
    }
    if (r.top < area.top) {
      OffsetRect(&r, 0, area.top - r.top);
      if (r.bottom > area.bottom) r.bottom = area.bottom;
    } else if (r.bottom > area.bottom) {
      OffsetRect(&r, 0, area.bottom - r.bottom);
      if (r.top < area.top) r.top = area.top;
    }
    return;
  }
  const LONG caption = GetSystemMetrics(SM_CYCAPTION);
  RECT inner = area;
  if (!noMargin) {
    // A margin as wide as the caption keeps a grip on the window, at most half the area.
    const LONG mx = std::min<LONG>(caption, (area.right - area.left) / 2);
    const LONG my = std::min<LONG>(caption, (area.bottom - area.top) / 2);
    InflateRect(&inner, -mx, -my);
  }
  if (r.left > inner.right) OffsetRect(&r, inner.right - r.left, 0);
  else if (r.right < inner.left) OffsetRect(&r, inner.left - r.right, 0);
  if (r.top < inner.top - caption) OffsetRect(&r, 0, inner.top - caption - r.top);
  else if (r.top > inner.bottom) OffsetRect(&r, 0, inner.bottom - r.top);
}

// How far the visible frame lies outside the window rectangle on each side.
RECT FrameMargins(HWND window) {
  RECT w{}, v{};
  if (!GetWindowRect(window, &w) || !qlw::GetWindowFrameRect(window, &v)) return RECT{0, 0, 0, 0};
  return RECT{w.left - v.left, w.top - v.top, v.right - w.right, v.bottom - w.bottom};
}
}  // namespace

void CUtils::ActivateControl(HWND dialog, HWND control) {
  if (!IsWindow(control)) return;
  if (dialog == nullptr) dialog = GetParent(control);
  if (dialog != nullptr) {
    SendMessageW(dialog, kNextDialogControl, reinterpret_cast<WPARAM>(control), TRUE);
    return;
  }
  SetFocus(control);
  if (ClassIs(control, L"Edit")) {
    SendMessageW(control, kEditSetSel, 0, -1);
    SendMessageW(control, kEditScrollCaret, 0, 0);
  } else if (ClassIs(control, L"ComboBox")) {
    SendMessageW(control, kComboSetEditSel, 0, MAKELPARAM(0, -1));
  }
}

bool CUtils::BringToFront(HWND window) {
  if (window == nullptr) window = GetActiveWindow();
  if (!IsWindow(window)) return false;
  // One process owns every window here: there is no other thread's input to attach to.
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  BringWindowToTop(window);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return true;
}

void CUtils::FitRectToMonitor(LXGraphics::CSyncRect& rect, bool fitWhole, bool noMargin) {
  rect.Sync();
  RECT r = rect.m_rect;
  const MONITORINFO info = MonitorFor(r, fitWhole || noMargin);
  FitInto(r, info.rcWork, fitWhole, noMargin);
  rect.SetFromRECT(r);
}

void CUtils::FitRECTToMonitor(RECT& rect) {
  LXGraphics::CSyncRect r;
  r.SetFromRECT(rect);
  FitRectToMonitor(r, false, false);
  rect = r.m_rect;
}

void CUtils::FitFrameIntoWorkArea(RECT& rect, const RECT& margins, const RECT& work) {
  RECT frame{rect.left - margins.left, rect.top - margins.top, rect.right + margins.right, rect.bottom + margins.bottom};
  FitInto(frame, work, true, true);
  rect = RECT{frame.left + margins.left, frame.top + margins.top, frame.right - margins.right,
              frame.bottom - margins.bottom};
}

void CUtils::FitWindowRectToMonitor(HWND window, RECT& rect) {
  const RECT m = FrameMargins(window);
  const RECT frame{rect.left - m.left, rect.top - m.top, rect.right + m.right, rect.bottom + m.bottom};
  FitFrameIntoWorkArea(rect, m, MonitorFor(frame, true).rcWork);
}

void CUtils::MoveWindowOnScreen(HWND window, const RECT& rect) {
  RECT r = rect;
  FitWindowRectToMonitor(window, r);
  MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void CUtils::WindowToVisibleRect(HWND window, RECT& rect) {
  const RECT m = FrameMargins(window);
  rect = RECT{rect.left - m.left, rect.top - m.top, rect.right + m.right, rect.bottom + m.bottom};
}

void CUtils::VisibleToWindowRect(HWND window, RECT& rect) {
  const RECT m = FrameMargins(window);
  rect = RECT{rect.left + m.left, rect.top + m.top, rect.right - m.right, rect.bottom - m.bottom};
}

bool CUtils::UseOwnWindowClass(CREATESTRUCTW& cs, LPCWSTR className) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(cs.hInstance, className, &wc)) {
    cs.lpszClass = className;
    return true;
  }
  if (!GetClassInfoExW(cs.hInstance, cs.lpszClass, &wc)) return false;
  wc.style &= ~(CS_HREDRAW | CS_VREDRAW);
  wc.lpszClassName = className;
  if (!RegisterClassExW(&wc)) return false;
  cs.lpszClass = className;
  return true;
}

bool CUtils::BeginCapture(HWND window) {
  // A recorded owner that is gone holds nothing: the record must not lock captures out for good.
  if (g_captureOwner != nullptr && !IsWindow(g_captureOwner)) g_captureOwner = nullptr;
  if (GetCapture() == nullptr && g_captureOwner == nullptr && IsWindow(window)) {
    SetCapture(window);
    g_captureOwner = window;
  }
  return GetCapture() != nullptr || g_captureOwner != nullptr;
}

void CUtils::EndCapture(HWND window) {
  if (g_captureOwner == nullptr || g_captureOwner != window) return;
  if (GetCapture() == window) ReleaseCapture();
  g_captureOwner = nullptr;
}

HWND CUtils::GetRecordedCapture() { return g_captureOwner; }

int CUtils::FindMenuItemPosition(HMENU menu, UINT commandId) {
  if (!IsMenu(menu)) return -1;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i)
    if (GetSubMenu(menu, i) == nullptr && GetMenuItemID(menu, i) == commandId) return i;
  return -1;
}

HMENU CUtils::FindMenuContainingItem(HMENU menu, UINT commandId, int& position) {
  if (!IsMenu(menu)) return nullptr;
  const int at = FindMenuItemPosition(menu, commandId);
  if (at >= 0) {
    position = at;
    return menu;
  }
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i)
    if (HMENU sub = GetSubMenu(menu, i))
      if (HMENU found = FindMenuContainingItem(sub, commandId, position)) return found;
  return nullptr;
}

HMENU CUtils::FindMenuItem(HWND window, UINT commandId, int* position) {
  if (window == nullptr) window = LXAppWindows::GetMainWindow();
  int at = -1;
  HMENU found = window != nullptr ? FindMenuContainingItem(GetMenu(window), commandId, at) : nullptr;
  if (position != nullptr) *position = at;
  return found;
}

bool CUtils::PostCommandToParent(HWND control, UINT notificationCode) {
  HWND parent = IsWindow(control) ? GetParent(control) : nullptr;
  if (parent == nullptr) return false;
  return PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), notificationCode),
                      reinterpret_cast<LPARAM>(control)) != FALSE;
}
