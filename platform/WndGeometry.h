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
