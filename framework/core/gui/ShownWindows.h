// The program's shown top-level windows, the active one first: kept by the user-interface thread as
// windows are shown, hidden and activated, and read by the threads that put up the wait cursor and
// the progress window (StatusXWindow.h), which cannot ask Qt while that thread works.
#pragma once
#include "Win.h"

#include <cstdint>
#include <vector>

// On the user-interface thread, after the QApplication exists.
void StartShownWindows();
void StopShownWindows();

// Any thread: the native ids of the shown windows, the active (or last active) one first. A window
// leaves the list as soon as it is hidden, before the window system has caught up, so that a
// dialog closed a moment ago never stands for the program.
std::vector<uint32_t> ShownWindowIds();

// On the user-interface thread, before work that keeps it from its event loop: once the windows
// closed since the last call are off the screen, the shown windows are drawn, so that the work does
// not leave a closed dialog's picture over them; the main window, shown a moment ago at a start, is
// drawn once the window system has exposed it.
void DrawShownWindowsBeforeWork(HWND main);
