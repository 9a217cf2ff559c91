// Placement state of window objects: visible, minimised and maximised, kept in the window's own
// style bits (WS_VISIBLE, WS_MINIMIZE, WS_MAXIMIZE); the handle table is in WindowLayer.h.
#pragma once
#include "WindowLayer.h"


// Sets the show state; WM_SHOWWINDOW is sent first when the visibility changes. Answers whether
// the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
// A child counts as visible only while its parents are visible too.
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);

// Placement, focus, capture, activation and repainting of windows. A window of the UI thread has
// a widget (WndQt.h) and these act on it; other windows keep their rectangle in the handle table.
// Window rectangles are the widget's own area (a menu bar included, the desktop's frame not).
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOCOPYBITS 0x0100u
#define SWP_NOOWNERZORDER 0x0200u
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)(LONG_PTR)-1)
#define HWND_NOTOPMOST ((HWND)(LONG_PTR)-2)

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
#define HTCLIENT 1
#define SC_SIZE 0xF000u
#define SC_MOVE 0xF010u
#define SC_MINIMIZE 0xF020u
#define SC_MAXIMIZE 0xF030u
#define SC_CLOSE 0xF060u
#define SC_RESTORE 0xF120u

#define RDW_INVALIDATE 0x0001u
#define RDW_INTERNALPAINT 0x0002u
#define RDW_ERASE 0x0004u
#define RDW_VALIDATE 0x0008u
#define RDW_ALLCHILDREN 0x0080u
#define RDW_UPDATENOW 0x0100u
#define RDW_ERASENOW 0x0200u
#define RDW_FRAME 0x0400u

#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5
#define GA_PARENT 1
#define GA_ROOT 2
#define GA_ROOTOWNER 3

#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u
#define MK_MBUTTON 0x0010u
#define WHEEL_DELTA 120

// Asked when a top-level window is shown: its track sizes bound how far the user may size it.
struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

// The normal (restored) rectangle of a top-level window with its show state.
struct WINDOWPLACEMENT {
  UINT length;
  UINT flags;
  UINT showCmd;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};
// A maximised or minimised window answers the rectangle it had when restored.
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);
// Moves a restored window to the normal rectangle; a maximised or minimised one keeps it for its restore.
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement);

BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL ClientToScreen(HWND hwnd, LPPOINT point);
BOOL ScreenToClient(HWND hwnd, LPPOINT point);
// Maps between client areas (null: the screen); answers the offset packed as in the platform.
int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// Sends WM_MOVE and WM_SIZE when the position or client size changed, as the move happens.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
typedef struct DeferredPositions__* HDWP;
HDWP BeginDeferWindowPos(int count);
HDWP DeferWindowPos(HDWP dwp, HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL EndDeferWindowPos(HDWP dwp);
HWND SetParent(HWND child, HWND newParent);
HWND GetWindow(HWND hwnd, UINT command);
HWND GetAncestor(HWND hwnd, UINT flags);
HWND GetTopWindow(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND WindowFromPoint(POINT point);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);
BOOL GetCursorPos(LPPOINT point);
namespace qlw {
// The rectangle the user sees of a window: a top-level window with the desktop's frame and title
// around it (when the desktop says where they are), any other window its window rectangle.
BOOL GetWindowFrameRect(HWND hwnd, LPRECT rect);
}  // namespace qlw
BOOL SetCursorPos(int x, int y);

// Cursors: a cursor is set on the widget under the mouse (or holding it), never pushed on an
// application-wide stack.
#define IDC_ARROW ((LPCWSTR)32512)
#define IDC_IBEAM ((LPCWSTR)32513)
#define IDC_WAIT ((LPCWSTR)32514)
#define IDC_CROSS ((LPCWSTR)32515)
#define IDC_UPARROW ((LPCWSTR)32516)
#define IDC_SIZENWSE ((LPCWSTR)32642)
#define IDC_SIZENESW ((LPCWSTR)32643)
#define IDC_SIZEWE ((LPCWSTR)32644)
#define IDC_SIZENS ((LPCWSTR)32645)
#define IDC_SIZEALL ((LPCWSTR)32646)
#define IDC_NO ((LPCWSTR)32648)
#define IDC_HAND ((LPCWSTR)32649)
#define IDC_APPSTARTING ((LPCWSTR)32650)
#define IDC_HELP ((LPCWSTR)32651)
// System cursors by id (instance null); other instances go to the image cursors of the GDI layer.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
#define LoadCursor LoadCursorW
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// Keys.
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_HELP 0x2F
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_4 0xDB  // [ on a US keyboard
#define VK_OEM_6 0xDD  // ]
// High bit set while the key is down (from Qt's modifier and button state).
SHORT GetKeyState(int virtualKey);
SHORT GetAsyncKeyState(int virtualKey);

// Monitors: Qt's screens, or one 1920 x 1080 screen when there is no GUI.
#define MONITOR_DEFAULTTONULL 0
#define MONITOR_DEFAULTTOPRIMARY 1
#define MONITOR_DEFAULTTONEAREST 2
#define MONITORINFOF_PRIMARY 1
struct MONITORINFO {
  DWORD cbSize;
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags;
};
typedef MONITORINFO* LPMONITORINFO;
HMONITOR MonitorFromRect(LPCRECT rect, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
BOOL GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info);
#define GetMonitorInfo GetMonitorInfoW

// Icons of a window (WM_SETICON); the image itself belongs to the GDI layer.
#define WM_SETICON 0x0080
#define WM_GETICON 0x007F
#define ICON_SMALL 0
#define ICON_BIG 1
