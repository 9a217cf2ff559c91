// CQlwMainFrame: the program's main-frame layer between the framework's document window and the
// diffraction window: window class, menu, accelerators and icon, the saved placement, the caption
// kept active while the program is active, the palettes told of activation, and the first showing.
#pragma once
#include "LXDocWnd.h"
#include "LXException.h"
#include "LXSyncRect.h"

#include <deque>

// Set while the user moves or sizes the main window.
extern bool g_sizeMoveInProgress;

class CQlwMainFrame : public CLXDocWnd {
  DECLARE_DYNAMIC(CQlwMainFrame)
 public:
  static constexpr UINT kResourceId = 1000;
  static constexpr wchar_t kWindowClass[] = L"Quillonographic-MainWindow";
  // Posted by the first paint to finish the first showing.
  static constexpr UINT kMsgCompleteFirstShowing = WM_APP + 0x143;

  CQlwMainFrame();
  ~CQlwMainFrame() override;

  // Help requests of any kind become the help command, sent to the main window.
  virtual void WinHelp(DWORD_PTR data, UINT command);
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  // Help id and menu of resource 1000 whatever the template's resource is.
  BOOL LoadFrame(UINT id, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, CWnd* parent = nullptr,
                 CCreateContext* context = nullptr) override;
  void ActivateFrame(int cmdShow = -1) override;
  void SaveWindowPlacement() override;

  // Passes the message being handled on to the window's children as a message of the bus.
  static bool ForwardCurrentMessageToChildren(CWnd* window);
  // The program is closing: set by the first close of the main window.
  static bool IsAppClosing();

  bool IsSuspended() const { return m_bSuspended; }
  bool IsFirstPaintPending() const { return m_bFirstPaintPending; }
  bool IsAppActive() const { return m_bAppActive; }
  bool ArePalettesHidden() const { return m_bPalettesHidden; }
  const LXGraphics::CSyncRect& GetRecordedWindowRect() const { return m_windowRect; }
  // Leaves the suspended state once; the count never goes below 0.
  void Resume();
  // The lines logged to the window ("LogString", "LogStringColor"), oldest first; beyond
  // kLogLines the oldest go.
  static constexpr size_t kLogLines = 1000;
  const std::deque<LXLogLine>& GetLog() const { return m_log; }

  int m_nSuspendCount = 1;
  bool m_bSuspended = true;
  bool m_bFirstPaintPending = true;
  bool m_bPalettesHidden = false;
  bool m_bAppActive = false;
  LXGraphics::CSyncRect m_windowRect;

 protected:
  // The window that takes the focus when the palettes are shown or hidden.
  virtual CWnd* GetFocusPane() { return this; }
  // Marks the program as closing and saves the preference store's window groups, once.
  void BeginClosing();
  // A close the user cancelled: the program is no longer closing.
  static void EndClosing();
  // firstLaunch: the store's first-launch flag as the first paint found it.
  void CompleteFirstShowing(bool firstLaunch);
  void PlaceAnew();

  int OnCreate(LPCREATESTRUCT cs);
  void OnClose();
  void OnPaint();
  BOOL OnNcActivate(BOOL active);
  LRESULT OnActivateApp(WPARAM active, LPARAM threadId);
  LRESULT OnEnterSizeMove(WPARAM, LPARAM);
  LRESULT OnExitSizeMove(WPARAM, LPARAM);
  LRESULT OnSizing(WPARAM, LPARAM);
  LRESULT OnSysCommand(WPARAM command, LPARAM lParam);
  void OnTimer(UINT_PTR id);
  LRESULT OnCompleteFirstShowing(WPARAM firstLaunch, LPARAM);
  LRESULT OnAreYouMe(WPARAM, LPARAM);
  LRESULT OnGetAnchorEdges(WPARAM, LPARAM edges);
  LRESULT OnHasEmptyWindow(WPARAM, LPARAM);
  LRESULT OnIdleMsg(WPARAM, LPARAM);
  LRESULT OnInitialOpen(WPARAM, LPARAM);
  LRESULT OnProcessShellCmd(WPARAM, LPARAM);
  LRESULT OnShowHidePalettes(WPARAM, LPARAM);
  LRESULT OnStatusSetSubtitle(WPARAM, LPARAM);
  LRESULT OnLogString(WPARAM, LPARAM text);
  LRESULT OnLogStringColor(WPARAM argb, LPARAM text);
  void AppendToLog(LPARAM text, bool coloured, DWORD argb);
  DECLARE_MESSAGE_MAP()

 private:
  std::deque<LXLogLine> m_log;
};
