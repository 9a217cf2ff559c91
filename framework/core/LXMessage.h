// The message bus: named registered messages (a synchronous and an asynchronous id per name) and
// the classes that deliver them to a window, its children, the UI thread's windows, the palettes,
// a menu command or a thread. The program-wide ids are defined in LXMessageIds.cpp.
#pragma once
#include "Win.h"

#include <utility>

// The application's windows as the bus sees them; the application layer fills this in.
namespace LXAppWindows {
void SetMainWindow(HWND wnd, bool isFrameWindow);
HWND GetMainWindow();
// The main window when it is a frame window, else null.
HWND GetMainFrameWindow();
// The user-interface thread; by default the thread that started the process.
void SetUIThreadId(DWORD threadId);
DWORD GetUIThreadId();
using WindowTest = bool (*)(HWND wnd);
// Frame windows besides the main one, and frames that have an active document.
void SetFrameWindowTest(WindowTest test);
void SetActiveDocumentTest(WindowTest test);
bool IsFrameWindow(HWND wnd);
bool HasActiveDocument(HWND wnd);
// A live window of the user-interface thread.
bool IsFrameworkWindow(HWND wnd);
// The main frame window has a status bar (a child with the status bar's id) that is visible.
bool MainFrameHasVisibleStatusBar();
}  // namespace LXAppWindows

class CLXMessage {
 public:
  struct IdPair {
    UINT sync = 0;
    UINT async = 0;
  };
  enum Mode { kModeKeep = 0, kModeSync = 1, kModeAsync = 2 };

  CLXMessage(UINT id, LPARAM lParam, WPARAM wParam, LRESULT* result, bool firstOnly);
  virtual ~CLXMessage();

  virtual bool Post() { return Send(kModeAsync); }
  virtual bool Send(int mode) = 0;

  // Registers "LXMsg<name>-<GUID>" and "LXMsg<name>-Async-<GUID>".
  static IdPair RegisterMessage(LPCWSTR name);
  static bool IsAsyncId(UINT id);
  // The pair registered for id; false when id is not a registered message.
  static bool LookupId(UINT id, IdPair& pair);
  // Empties the registry at the program's exit; afterwards no id counts as registered.
  static void DestroyRegistry();
  // Registers the program's names again when the registry was destroyed (a new start-up in the
  // same process).
  static void RestoreRegistry();

  void SetMode(int mode);
  bool Deliver(HWND target);

  UINT GetId() const { return m_id; }
  LPARAM GetLParam() const { return m_lParam; }
  WPARAM GetWParam() const { return m_wParam; }
  bool IsAsync() const { return m_async; }
  bool IsFirstOnly() const { return m_firstOnly; }
  void SetFirstOnly(bool firstOnly) { m_firstOnly = firstOnly; }
  bool IsDone() const { return m_done; }

 protected:
  UINT m_id;
  LPARAM m_lParam;
  WPARAM m_wParam;
  LRESULT* m_result;
  bool m_async;
  bool m_firstOnly;
  bool m_done = false;
};

// To one window (the main frame window when none is given).
class CLXMsgTarget : public CLXMessage {
 public:
  CLXMsgTarget(HWND target, UINT id, LPARAM lParam = 0, WPARAM wParam = 0, LRESULT* result = nullptr);
  CLXMsgTarget(HWND target, const MSG& received);
  bool Send(int mode) override;
  HWND GetTarget() const { return m_target; }

 private:
  HWND m_target;
};

// To the framework windows among a window's descendants.
class CLXMsgChild : public CLXMessage {
 public:
  CLXMsgChild(HWND parent, UINT id, LPARAM lParam = 0, WPARAM wParam = 0, LRESULT* result = nullptr,
              bool firstOnly = false);
  bool Send(int mode) override;

 private:
  HWND m_parent;
};

// To all framework windows of the user-interface thread.
class CLXMsgGeneral : public CLXMessage {
 public:
  CLXMsgGeneral(UINT id, LPARAM lParam = 0, WPARAM wParam = 0, LRESULT* result = nullptr,
                bool mainWindowOnly = false, bool firstOnly = false);
  bool Send(int mode) override;

 protected:
  bool m_mainWindowOnly;
};

// To the floating palettes (tool or topmost windows in front of the main frame).
class CLXMsgToPalettes : public CLXMsgGeneral {
 public:
  CLXMsgToPalettes(UINT id, LPARAM lParam = 0, WPARAM wParam = 0, LRESULT* result = nullptr,
                   bool firstOnly = false);
  bool Send(int mode) override;
};

// A WM_COMMAND to a window (the main frame window when none is given).
class CLXMsgMenuCmd : public CLXMessage {
 public:
  CLXMsgMenuCmd(HWND target, UINT commandId);
  CLXMsgMenuCmd(HWND target, const MSG& received);
  bool Send(int mode) override;

 private:
  HWND m_target;
};

// Posted to a thread's queue.
class CLXMsgThread : public CLXMessage {
 public:
  CLXMsgThread(DWORD threadId, UINT id, LPARAM lParam = 0, WPARAM wParam = 0);
  bool Send(int mode) override;

 private:
  DWORD m_threadId;
};

// The named messages: for each name N, g_msgN (used by senders and message maps, equal to the
// synchronous id), g_msgNSync and g_msgNAsync.
#define LX_MESSAGE_NAMES(X)                                                                        \
  X(AlphaButtonChanged) X(AlphaButtonMenuItem) X(AltKeyEvt) X(AreYouMe) X(LXEditUpdate) X(Cancel)  \
  X(TandemixAction) X(TandemixInit) X(TandemixPending) X(DatasetRead) X(DialogInitialized)         \
  X(DocWndActive) X(DocWndClosed) X(DocWndInactive) X(DocWndModified) X(EditCancel) X(EditEnd)     \
  X(EditShift) X(EditStart) X(ExitSizeMove) X(FrameRendered) X(GetAnchorEdges)                     \
  X(GraphicsDoFindHKL) X(HasEmptyWindow) X(HeaderChanged) X(Idle) X(InitialOpen) X(LogFlush)       \
  X(LogShow) X(LogString) X(LogStringBuffer) X(LogStringColor) X(LogSubtitleNewOutput)             \
  X(MainFrameActivate) X(NewTool) X(OpenDocumentFile) X(OpenDocumentFiles) X(OptionsApplied)       \
  X(PaletteOpened) X(PaletteSync) X(PaneModified) X(ParamMixtureModifed) X(ParamOccupancyModifed)  \
  X(ParametersPaneConfig) X(PlotCursorChanged) X(ProcessShellCmd) X(ReadDocumentBegin)             \
  X(ReadDocumentEnd) X(ResetPalette) X(ResetPane) X(ScreenMode) X(ShowHidePalettes)                \
  X(SplitterDoubleClick) X(SplitterRecalcLayout) X(StatusIncProgress) X(StatusSetProgress)         \
  X(StatusSetSubtitle) X(SubEditExitSizeMove) X(ToolGetPlotRect) X(ToolUpdateRequest)              \
  X(ToolbarChange) X(WatchdogPoke) X(Zoom)

#define LX_DECLARE_MESSAGE_IDS(name) extern UINT g_msg##name##Sync, g_msg##name##Async, g_msg##name;
LX_MESSAGE_NAMES(LX_DECLARE_MESSAGE_IDS)
#undef LX_DECLARE_MESSAGE_IDS
