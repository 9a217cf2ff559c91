// Placement state of window objects: visible, minimised and maximised, kept in the window's own
// style bits (WS_VISIBLE, WS_MINIMIZE, WS_MAXIMIZE); the handle table is in WindowLayer.h.
#pragma once
#include "WindowLayer.h"

#ifndef SW_HIDE
#define SW_HIDE 0
#endif
#ifndef SW_SHOWNORMAL
#define SW_SHOWNORMAL 1
#endif
#ifndef SW_SHOWMINIMIZED
#define SW_SHOWMINIMIZED 2
#endif
#ifndef SW_SHOWMAXIMIZED
#define SW_SHOWMAXIMIZED 3
#endif
#ifndef SW_MAXIMIZE
#define SW_MAXIMIZE 3
#endif
#ifndef SW_SHOWNOACTIVATE
#define SW_SHOWNOACTIVATE 4
#endif
#ifndef SW_SHOW
#define SW_SHOW 5
#endif
#ifndef SW_MINIMIZE
#define SW_MINIMIZE 6
#endif
#ifndef SW_SHOWMINNOACTIVE
#define SW_SHOWMINNOACTIVE 7
#endif
#ifndef SW_SHOWNA
#define SW_SHOWNA 8
#endif
#ifndef SW_RESTORE
#define SW_RESTORE 9
#endif

// Sets the show state; WM_SHOWWINDOW is sent first when the visibility changes. Answers whether
// the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
// A child counts as visible only while its parents are visible too.
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
