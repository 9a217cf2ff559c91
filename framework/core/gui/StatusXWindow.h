// The progress window and the wait cursor on X11, shown by the thread that decides on them (the
// status manager, the watchdog) over a display connection of their own, so that both come on time
// while the user-interface thread is the one at work. The picture is drawn by StatusPicture.h.
#pragma once
#include "StatusMgr.h"

#include <cstdint>
#include <vector>

// On the user-interface thread, after the QApplication exists: when it runs on X11, opens the
// connection and becomes the progress window's presenter. False elsewhere (the widget drawer of
// StatusWidget.h then shows the window).
bool StartStatusXWindow();
// Takes the presenter away, destroys a window still shown and closes the connection.
void StopStatusXWindow();
bool IsStatusXWindowRunning();

// Called by the watchdog's thread: puts the wait cursor on the program's shown windows
// (ShownWindows.h) and the windows inside them, or takes it away again. Nothing without a
// connection.
void SetStatusXWaitCursor(bool on);
// The window that holds the one given on the screen (a window manager's frame), else that one
// itself; 0 without a connection.
uint32_t StatusXFrameOf(uint32_t window);
// Waits, for a moment at most, until the windows given (closed by the user-interface thread) and
// the frames a window manager gave them are off the screen; false at once without a connection.
bool WaitUntilStatusXWindowsGone(const std::vector<uint32_t>& windows);

// The X window of the progress window while it is shown, else 0.
unsigned int GetStatusXWindowId();
