// The watchdog's wait cursor: the watchdog thread decides (Watchdog.h) and, on X11, shows it at
// once; the user-interface thread sets and restores the application's override cursor.
#pragma once

// Installs the hook that posts the wait cursor (+1) and its removal (-1) to the user-interface
// thread. Call once at start-up, after the QApplication exists.
void InstallWaitCursorHook();
// Removes the hook and restores any wait cursor it still holds.
void RemoveWaitCursorHook();
