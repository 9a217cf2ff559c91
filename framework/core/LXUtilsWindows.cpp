// CUtils helpers for windows and controls that need only window objects and messages.
#include "LXUtils.h"

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
  out.m_rect = RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  out.m_dirty = LXGraphics::CSyncRect::kWindowWritten;
  out.Sync();
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
