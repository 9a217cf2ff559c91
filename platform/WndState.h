// Focus, activation, capture and cursor state of the UI thread's windows, and the bookkeeping
// that turns widget moves into WM_MOVE/WM_SIZE once; shared by WndWidget.cpp and WndPlacement.cpp.
#pragma once
#include "WindowLayer.h"

class QWidget;

namespace qlw::wnd {
struct FocusState {
  HWND focus{};
  HWND active{};
  HWND capture{};
  HCURSOR cursor{};
};
FocusState& Focus();
// Set when the watched message reached DefWindowProc (the end of its procedure chain) on this
// thread; messages that its handlers send on the way do not count.
bool& DefaultReached();
struct DefaultWatch {
  HWND hwnd = nullptr;
  UINT message = 0;
  // DefWindowProc only notes that the message reached it and leaves its default action undone.
  bool skipDefault = false;
};
DefaultWatch& WatchedForDefault();
// The widget under the mouse while a mouse message is handled (where SetCursor puts the cursor).
class ScopedMouseWidget {
 public:
  explicit ScopedMouseWidget(QWidget* w);
  ~ScopedMouseWidget();

 private:
  QWidget* m_saved;
};
QWidget* MouseWidget();
// Modifier keys and buttons of the input event being translated (-1 outside one): GetKeyState
// answers from them, since the desktop's own state may lag behind synthesised events.
int& EventModifiers();
int& EventButtons();
// The caption of a top-level widget, the text of a control.
void ShowTitle(QWidget* widget, const wchar_t* text);
// The window's icon on its widget (null: none).
void ShowIcon(HWND hwnd, HICON icon);
// The standard control classes (WndControls.cpp), registered on first window creation.
void RegisterControlClasses();
// Sends WM_MOVE and WM_SIZE for what changed since they were last sent; WM_SIZE also when only the minimised or maximised state
// changed (kindChanged), as its kind tells it.
void AnnouncePlacement(HWND hwnd, bool kindChanged = false);
// With QLW_CONTROL_MAP set, SIGUSR1 writes where the windows and controls are (WndControlMap.cpp).
void InstallControlMap();
}  // namespace qlw::wnd
