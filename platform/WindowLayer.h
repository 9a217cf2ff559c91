// Window objects and messages without widgets: the handle table, window classes and procedure
// chains, per-thread message queues (on Qt's event loop for Qt threads, GetMessage for plain
// threads), SendMessage across threads, timers, hooks and the per-user registered-message table.
#pragma once
#include "Geometry.h"
#include "WinError.h"
#include "WinTypes.h"

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);
typedef LRESULT(CALLBACK* HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;
typedef MSG* PMSG;

struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};
struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};
typedef WNDCLASSEXW WNDCLASSEX;
typedef WNDCLASSW WNDCLASS;

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
typedef CREATESTRUCTW CREATESTRUCT;
typedef CREATESTRUCTW* LPCREATESTRUCT;

struct COPYDATASTRUCT {
  ULONG_PTR dwData;
  DWORD cbData;
  PVOID lpData;
};
typedef COPYDATASTRUCT* PCOPYDATASTRUCT;

// Hook records: WH_CALLWNDPROC receives a CWPSTRUCT*, WH_GETMESSAGE a MSG*.
struct CWPSTRUCT {
  LPARAM lParam;
  WPARAM wParam;
  UINT message;
  HWND hwnd;
};

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETREDRAW 0x000B
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SYSCOLORCHANGE 0x0015
#define WM_SHOWWINDOW 0x0018
#define WM_SETTINGCHANGE 0x001A
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_GETMINMAXINFO 0x0024
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_NEXTDLGCTL 0x0028
#define WM_DRAWITEM 0x002B
#define WM_MEASUREITEM 0x002C
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_COPYDATA 0x004A
#define WM_NOTIFY 0x004E
#define WM_HELP 0x0053
#define WM_CONTEXTMENU 0x007B
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_GETDLGCODE 0x0087
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSCHAR 0x0106
#define WM_KEYFIRST 0x0100
#define WM_KEYLAST 0x0109
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_INITMENU 0x0116
#define WM_INITMENUPOPUP 0x0117
#define WM_MENUSELECT 0x011F
#define WM_MENUCHAR 0x0120
#define WM_ENTERIDLE 0x0121
#define WM_CTLCOLORSTATIC 0x0138
#define WM_CTLCOLOREDIT 0x0133
#define WM_CTLCOLORLISTBOX 0x0134
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSEHWHEEL 0x020E
#define WM_PARENTNOTIFY 0x0210
#define WM_ENTERMENULOOP 0x0211
#define WM_EXITMENULOOP 0x0212
#define WM_SIZING 0x0214
#define WM_CAPTURECHANGED 0x0215
#define WM_MOVING 0x0216
#define WM_ENTERSIZEMOVE 0x0231
#define WM_EXITSIZEMOVE 0x0232
#define WM_DROPFILES 0x0233
#define WM_MOUSELEAVE 0x02A3
#define WM_CUT 0x0300
#define WM_COPY 0x0301
#define WM_PASTE 0x0302
#define WM_CLEAR 0x0303
#define WM_UNDO 0x0304
#define WM_USER 0x0400
#define WM_APP 0x8000

// Registered messages are handed out from this range.
#define QLW_REGISTERED_MESSAGE_FIRST 0xC000u
#define QLW_REGISTERED_MESSAGE_LAST 0xFFFFu

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

#define SMTO_NORMAL 0x0000u
#define SMTO_BLOCK 0x0001u
#define SMTO_ABORTIFHUNG 0x0002u
#define SMTO_NOTIMEOUTIFNOTHUNG 0x0008u

#define WH_GETMESSAGE 3
#define WH_CALLWNDPROC 4
#define HC_ACTION 0

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_APPWINDOW 0x00040000u

#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_MESSAGE ((HWND)(LONG_PTR)-3)
#define USER_TIMER_MINIMUM 0x0000000Au

// Window classes.
ATOM RegisterClassExW(const WNDCLASSEXW* wc);
ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount);

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_NOCLOSE 0x0200u
#define CS_DROPSHADOW 0x00020000u
// The class's registration; its name pointer is the one registered. FALSE when unknown.
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* info);
#define GetClassInfoEx GetClassInfoExW

// Windows. A parent of HWND_MESSAGE makes a message-only window (never enumerated). The window
// belongs to the creating thread; its messages are handled there.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param);
HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width, int height,
                   HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
HWND GetParent(HWND hwnd);
// What WM_HELP carries (lParam): the window that asked for help, as F1 in it does.
#define HELPINFO_WINDOW 0x0001
struct HELPINFO {
  UINT cbSize;
  int iContextType;
  int iCtrlId;
  HANDLE hItemHandle;
  DWORD_PTR dwContextId;
  POINT MousePos;
};
using LPHELPINFO = HELPINFO*;
int GetDlgCtrlID(HWND hwnd);
HWND GetDlgItem(HWND parent, int id);
BOOL IsChild(HWND parent, HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
BOOL BringWindowToTop(HWND hwnd);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND hwnd);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data);
HANDLE GetPropW(HWND hwnd, LPCWSTR name);
HANDLE RemovePropW(HWND hwnd, LPCWSTR name);
// Direct children (top first; children keep creation order), depth first through grandchildren.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
// Top-level windows of the thread, top of the Z order first (newest on top, BringWindowToTop raises).
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam);
// Top-level windows of this process, then those that other processes of the user serve
// (qlw::StartWindowServer); a handle tells which process owns the window.
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);

// Messages.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Returns 0 (last error ERROR_TIMEOUT) when the window's thread does not answer in time.
LRESULT SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            PDWORD_PTR result);
// A null hwnd posts a thread message to the calling thread.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// For threads that run their own loop. GetMessage returns 0 for WM_QUIT, -1 on a bad filter window.
BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
// Same name in every process of the user (a per-user table on disk); 0 on failure.
UINT RegisterWindowMessageW(LPCWSTR name);

// Timers. A window timer posts WM_TIMER to its window (or calls proc); a thread timer (hwnd null)
// gets a fresh id and is dispatched to proc on the calling thread.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Hooks that observe messages of one thread of this process (threadId 0 is refused).
HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

#define RegisterClassEx RegisterClassExW
#define RegisterClass RegisterClassW
#define UnregisterClass UnregisterClassW
#define GetClassName GetClassNameW
#define CreateWindowEx CreateWindowExW
#define CreateWindow CreateWindowW
#define GetWindowLongPtr GetWindowLongPtrW
#define SetWindowLongPtr SetWindowLongPtrW
#define GetWindowLong GetWindowLongW
#define SetWindowLong SetWindowLongW
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define GetWindowTextLength GetWindowTextLengthW
#define CallWindowProc CallWindowProcW
#define DefWindowProc DefWindowProcW
#define SetProp SetPropW
#define GetProp GetPropW
#define RemoveProp RemovePropW
#define SendMessage SendMessageW
#define SendMessageTimeout SendMessageTimeoutW
#define PostMessage PostMessageW
#define PostThreadMessage PostThreadMessageW
#define GetMessage GetMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW
#define RegisterWindowMessage RegisterWindowMessageW
#define SetWindowsHookEx SetWindowsHookExW

namespace qlw {
// Handler for thread messages (hwnd null) that reach a Qt thread's event loop; return true when
// handled. WM_QUIT on a Qt thread ends that thread's event loop (QCoreApplication::exit on the main one).
// Thread messages that arrive while a thread has neither handler nor pump wait for one.
using ThreadMessageHandler = bool (*)(const MSG& msg);
void SetThreadMessageHandler(ThreadMessageHandler handler);
// The thread's own message pump (the application object's): every message that the thread's Qt
// event loop takes from the queue, WM_QUIT included, goes to it first; false lets the layer
// handle the message as it would without a pump.
using MessagePump = bool (*)(MSG& msg);
MessagePump SetThreadMessagePump(MessagePump pump);
// Makes the calling thread's queue deliver through Qt's event loop. Called implicitly when a window
// or timer is created on a thread that has a Qt event dispatcher.
void AttachQueueToQtEventLoop();
// Handles every message that is ready for the calling thread (sent, posted, due timers) without waiting.
void ProcessPendingMessages();
// While held (calls nest), the calling thread's Qt event loop hands on sent messages only: posted
// messages and timers wait until the last hold ends, so that a loop run meanwhile for the window
// system's exposures starts none of the program's work.
void HoldPostedMessages(bool hold);

// Makes this process's top-level windows reachable from the user's other processes: EnumWindows,
// IsWindow, SendMessage (WM_COPYDATA with its data, other messages with numeric parameters),
// PostMessage and SetForegroundWindow. Stopped at exit.
bool StartWindowServer();
void StopWindowServer();
}  // namespace qlw
