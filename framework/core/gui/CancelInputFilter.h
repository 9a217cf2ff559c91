// The Qt side of the application base's cancellable operations: an application event filter that
// turns Escape (and, while an operation blocks the mouse, a mouse click) into a cancel, and lets
// the user's input through while a long operation keeps the user-interface thread busy.
#pragma once

// Connects the filter to CLXApp's cancellable operations. Call once, after the QApplication exists.
void InstallCancelInputFilter();
void RemoveCancelInputFilter();
