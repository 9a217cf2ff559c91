// The main frame: creation and placement, activation, closing and the first showing.
#include "QlwMainFrame.h"

#include <algorithm>

#include "LXApp.h"
#include "LXHelpViewer.h"
#include "LXMessage.h"
#include "LXPalette.h"
#include "LXUtils.h"
#include "MenuXP.h"
#include "Preferences.h"
#include "Resources.h"
#include "Status.h"

bool g_sizeMoveInProgress = false;

IMPLEMENT_DYNAMIC(CQlwMainFrame, CLXDocWnd)

BEGIN_MESSAGE_MAP(CQlwMainFrame, CLXDocWnd)
  ON_WM_CREATE()
  ON_WM_CLOSE()
  ON_WM_PAINT()
  ON_WM_NCACTIVATE()
  ON_MESSAGE(WM_ACTIVATEAPP, &CQlwMainFrame::OnActivateApp)
  ON_MESSAGE(WM_ENTERSIZEMOVE, &CQlwMainFrame::OnEnterSizeMove)
  ON_MESSAGE(WM_EXITSIZEMOVE, &CQlwMainFrame::OnExitSizeMove)
  ON_MESSAGE(WM_SIZING, &CQlwMainFrame::OnSizing)
  ON_MESSAGE(WM_SYSCOMMAND, &CQlwMainFrame::OnSysCommand)
  ON_WM_TIMER()
  ON_MESSAGE(kMsgCompleteFirstShowing, &CQlwMainFrame::OnCompleteFirstShowing)
  ON_REGISTERED_MESSAGE(g_msgAreYouMeSync, &CQlwMainFrame::OnAreYouMe)
  ON_REGISTERED_MESSAGE(g_msgAreYouMeAsync, &CQlwMainFrame::OnAreYouMe)
  ON_REGISTERED_MESSAGE(g_msgGetAnchorEdgesSync, &CQlwMainFrame::OnGetAnchorEdges)
  ON_REGISTERED_MESSAGE(g_msgGetAnchorEdgesAsync, &CQlwMainFrame::OnGetAnchorEdges)
  ON_REGISTERED_MESSAGE(g_msgHasEmptyWindowSync, &CQlwMainFrame::OnHasEmptyWindow)
  ON_REGISTERED_MESSAGE(g_msgHasEmptyWindowAsync, &CQlwMainFrame::OnHasEmptyWindow)
  ON_REGISTERED_MESSAGE(g_msgIdleSync, &CQlwMainFrame::OnIdleMsg)
  ON_REGISTERED_MESSAGE(g_msgIdleAsync, &CQlwMainFrame::OnIdleMsg)
  ON_REGISTERED_MESSAGE(g_msgInitialOpenSync, &CQlwMainFrame::OnInitialOpen)
  ON_REGISTERED_MESSAGE(g_msgInitialOpenAsync, &CQlwMainFrame::OnInitialOpen)
  ON_REGISTERED_MESSAGE(g_msgProcessShellCmdSync, &CQlwMainFrame::OnProcessShellCmd)
  ON_REGISTERED_MESSAGE(g_msgProcessShellCmdAsync, &CQlwMainFrame::OnProcessShellCmd)
  ON_REGISTERED_MESSAGE(g_msgShowHidePalettesSync, &CQlwMainFrame::OnShowHidePalettes)
  ON_REGISTERED_MESSAGE(g_msgShowHidePalettesAsync, &CQlwMainFrame::OnShowHidePalettes)
  ON_REGISTERED_MESSAGE(g_msgStatusSetSubtitleSync, &CQlwMainFrame::OnStatusSetSubtitle)
  ON_REGISTERED_MESSAGE(g_msgStatusSetSubtitleAsync, &CQlwMainFrame::OnStatusSetSubtitle)
  // Only the synchronous forms: the text lives while the sender waits.
  ON_REGISTERED_MESSAGE(g_msgLogStringSync, &CQlwMainFrame::OnLogString)
  ON_REGISTERED_MESSAGE(g_msgLogStringColorSync, &CQlwMainFrame::OnLogStringColor)
END_MESSAGE_MAP()

namespace {
constexpr float kSizeEpsilon = 1.1920929e-7f;
constexpr UINT kHelpCommand = 57671;
bool g_closingWithoutApp = false;
// Read once: a cascaded window steps by one caption height.
const int g_captionHeight = GetSystemMetrics(SM_CYCAPTION);

bool OwnerDrawnMenus(CWnd* window) {
  return CMenuXP::UseXPMenus() && ::GetPropW(window->m_hWnd, L"XPWndProp_MenuXP") != nullptr;
}
}  // namespace

CQlwMainFrame::CQlwMainFrame() = default;
CQlwMainFrame::~CQlwMainFrame() = default;

bool CQlwMainFrame::IsAppClosing() {
  if (CLXApp* app = CLXApp::GetApp()) return app->IsClosing();
  return g_closingWithoutApp;
}

void CQlwMainFrame::BeginClosing() {
  if (IsAppClosing()) return;
  if (CLXApp* app = CLXApp::GetApp()) {
    app->SetClosing(true, false);
  } else {
    g_closingWithoutApp = true;
  }
  if (g_pPreferences) g_pPreferences->SaveAllWindowStates();
}

void CQlwMainFrame::WinHelp(DWORD_PTR, UINT) {
  CLXMsgMenuCmd(LXAppWindows::GetMainWindow(), kHelpCommand).Send(CLXMessage::kModeAsync);
}

BOOL CQlwMainFrame::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!CLXDocWnd::PreCreateWindow(cs)) return FALSE;
  if (!CUtils::UseOwnWindowClass(cs, kWindowClass)) throw CLXXMFC(L"Unable to register the main window class.", 2, 0, __LINE__);
  return TRUE;
}

BOOL CQlwMainFrame::LoadFrame(UINT id, DWORD style, CWnd* parent, CCreateContext* context) {
  CString title;
  LoadString(id, title);
  // The template's string may carry the document-type fields after a line end.
  if (const int end = title.Find(L'\n'); end >= 0) title = title.Left(end);
  m_nIDHelp = kResourceId;
  if (!Create(nullptr, title, style, RECT{0, 0, 800, 600}, parent, MAKEINTRESOURCEW(kResourceId), 0, context))
    return FALSE;
  if (!m_hAccelTable) m_hAccelTable = ::LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(id));
  if (!m_hAccelTable) m_hAccelTable = ::LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(kResourceId));
  if (OwnerDrawnMenus(this)) CMenuXP::UpdateWindowMenu(this);
  return TRUE;
}

int CQlwMainFrame::OnCreate(LPCREATESTRUCT cs) {
  if (CLXDocWnd::OnCreate(cs) == -1) return -1;
  CMenuXP::SetWindowMenuProp(this);
  const bool maximised = g_pPreferences && g_pPreferences->m_MainFrameMaximized.Get();
  CRect stored = g_pPreferences ? g_pPreferences->m_MainFrameRect.Get() : CRect(0, 0, 0, 0);
  RECT rect{};
  if (static_cast<float>(stored.Width()) > kSizeEpsilon && static_cast<float>(stored.Height()) > kSizeEpsilon) {
    rect = RECT{stored.left, stored.top, stored.right, stored.bottom};
    // A second window of the program cascades below and right of the first.
    // A first window that is slow to answer but not hung still counts.
    if (CLXApp::FindOtherInstanceWindow(SMTO_NOTIMEOUTIFNOTHUNG)) ::OffsetRect(&rect, g_captionHeight, g_captionHeight);
    // A rectangle stored on a monitor that is gone, or cascaded past the edge, is brought back
    // on screen rather than leaving the window where nobody can reach it.
    // The title bar and borders count: a rectangle at (0, 0) would put the title above the screen.
    CUtils::FitWindowRectToMonitor(m_hWnd, rect);
    if (!maximised) MoveWindow(&rect);
  } else {
    GetWindowRect(&rect);
    if (maximised) {
      const int dx = std::min(g_captionHeight, (rect.right - rect.left) / 2);
      const int dy = std::min(g_captionHeight, (rect.bottom - rect.top) / 2);
      ::InflateRect(&rect, -dx, -dy);
    }
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  ::GetWindowPlacement(m_hWnd, &placement);
  placement.flags = 0;
  placement.rcNormalPosition = rect;
  ::SetWindowPlacement(m_hWnd, &placement);
  m_windowRect.SetFromWindowRect(m_hWnd);
  if (CMenuXP::UseXPMenus()) DrawMenuBar();
  return 0;
}

void CQlwMainFrame::ActivateFrame(int cmdShow) {
  if (m_bSuspended || m_bFirstPaintPending) return;
  if (g_pPreferences && g_pPreferences->m_MainFrameMaximized.Get()) cmdShow = SW_MAXIMIZE;
  CLXDocWnd::ActivateFrame(cmdShow);
}

void CQlwMainFrame::Resume() {
  if (m_nSuspendCount > 0) --m_nSuspendCount;
  if (m_nSuspendCount == 0) m_bSuspended = false;
}

void CQlwMainFrame::SaveWindowPlacement() {
  if (!m_bAppActive || m_bSuspended || m_bFirstPaintPending || !g_pPreferences || !m_hWnd) return;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!::GetWindowPlacement(m_hWnd, &placement)) return;
  const bool maximised = placement.showCmd == SW_SHOWMAXIMIZED;
  g_pPreferences->m_MainFrameMaximized.Set(maximised);
  if (!maximised) {
    const RECT& r = placement.rcNormalPosition;
    g_pPreferences->m_MainFrameRect.Set(CRect(r.left, r.top, r.right, r.bottom));
  }
}

LRESULT CQlwMainFrame::OnInitialOpen(WPARAM, LPARAM) {
  if (!g_silentMode) {
    const bool maximised = g_pPreferences && g_pPreferences->m_MainFrameMaximized.Get();
    const int command = ((m_bFirstPaintPending && maximised) || IsZoomed()) ? SW_MAXIMIZE : SW_SHOWNOACTIVATE;
    ShowWindow(command);
    UpdateWindow();
  }
  return 1;
}

void CQlwMainFrame::OnPaint() {
  if (m_bFirstPaintPending) {
    m_bFirstPaintPending = false;
    if (OwnerDrawnMenus(this)) {
      CMenuXP::UpdateWindowMenu(this);
      DrawMenuBar();
    }
    // Hiding and moving a window inside its own paint is not allowed on Qt: the rest of the
    // first showing runs as soon as the paint is over. The first-launch flag is cleared below,
    // before then, so it travels with the message.
    const bool firstLaunch = g_pStore && g_pStore->m_FirstLaunch.Get();
    PostMessage(kMsgCompleteFirstShowing, firstLaunch ? 1 : 0, 0);
  }
  Default();
  if (g_pStore) g_pStore->m_FirstLaunch.Set(false);
}

LRESULT CQlwMainFrame::OnCompleteFirstShowing(WPARAM firstLaunch, LPARAM) {
  CompleteFirstShowing(firstLaunch != 0);
  return 0;
}

void CQlwMainFrame::CompleteFirstShowing(bool firstLaunch) {
  if (g_pStore && !g_pStore->m_DontInitPalettes.Get()) {
    // The help viewer comes back as the last run left it; a failure costs only the viewer.
    try {
      CLXHelpViewer::ShowHelp();
    } catch (CLXException& e) {
      e.Report();
    }
    if (firstLaunch) PlaceAnew();
  }
  SetForegroundWindow();
  Resume();
}

void CQlwMainFrame::PlaceAnew() {
  const bool visible = IsWindowVisible() != FALSE;
  LXGraphics::CSyncRect rect;
  rect.SetFromWindowRect(m_hWnd);
  CUtils::FitRectToMonitor(rect, true, true);
  HDWP positions = ::BeginDeferWindowPos(1);
  positions = ::DeferWindowPos(positions, m_hWnd, nullptr, rect.m_rect.left, rect.m_rect.top,
                               rect.m_rect.right - rect.m_rect.left, rect.m_rect.bottom - rect.m_rect.top,
                               SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  ::EndDeferWindowPos(positions);
  CenterWindow();
  if (visible) CUtils::ShowWindowKeepState(m_hWnd, true);
}

LRESULT CQlwMainFrame::OnActivateApp(WPARAM active, LPARAM threadId) {
  const auto thread = static_cast<DWORD>(threadId);
  // The status manager's progress window coming and going says nothing about the user.
  if (thread != 0 && thread == CStatus::GetManagerThreadId()) return 0;
  const DWORD own = GetWindowThreadProcessId(m_hWnd, nullptr);
  m_bAppActive = active ? (thread != own || thread == 0) : (thread == own);
  Default();
  SendMessage(WM_NCACTIVATE, m_bAppActive ? TRUE : FALSE, 0);
  if (!IsIconic())
    CLXMsgGeneral(g_msgMainFrameActivate, m_bAppActive ? 1 : 0, 0).Send(CLXMessage::kModeSync);
  return 0;
}

BOOL CQlwMainFrame::OnNcActivate(BOOL active) {
  // A palette of ours taking the focus must not make the main window look inactive.
  const BOOL drawActive = IsWindowEnabled() && (m_bAppActive || active) ? TRUE : FALSE;
  return static_cast<BOOL>(DefWindowProc(WM_NCACTIVATE, drawActive, 0));
}

LRESULT CQlwMainFrame::OnShowHidePalettes(WPARAM, LPARAM) {
  m_bPalettesHidden = !m_bPalettesHidden;
  CLXMsgToPalettes(g_msgMainFrameActivate, m_bPalettesHidden ? 0 : 1, 0).Send(CLXMessage::kModeSync);
  if (CWnd* focus = GetFocusPane(); focus && focus->m_hWnd) focus->SetFocus();
  return 1;
}

LRESULT CQlwMainFrame::OnSysCommand(WPARAM command, LPARAM) {
  const LRESULT result = Default();
  switch (command & 0xFFF0) {
    case SC_MINIMIZE:
      CLXMsgGeneral(g_msgMainFrameActivate, 0, 0).Send(CLXMessage::kModeSync);
      break;
    case SC_MAXIMIZE:
    case SC_RESTORE:
      CLXMsgGeneral(g_msgMainFrameActivate, 1, 0).Send(CLXMessage::kModeSync);
      break;
    case SC_CLOSE:
      // The WM_CLOSE that the default processing sent has begun the closing already, or the
      // user kept the window at the save question: then the program is not closing.
      break;
    default:
      break;
  }
  return result;
}

void CQlwMainFrame::OnClose() {
  const HWND window = m_hWnd;
  const bool wasClosing = IsAppClosing();
  BeginClosing();
  CLXDocWnd::OnClose();
  // Cancelled at the save question: the window and the program go on.
  if (!wasClosing && ::IsWindow(window)) EndClosing();
}

void CQlwMainFrame::EndClosing() {
  if (CLXApp* app = CLXApp::GetApp())
    app->SetClosing(false, true);
  else
    g_closingWithoutApp = false;
}

LRESULT CQlwMainFrame::OnSizing(WPARAM, LPARAM) {
  g_sizeMoveInProgress = true;
  return Default();
}

LRESULT CQlwMainFrame::OnEnterSizeMove(WPARAM, LPARAM) {
  g_sizeMoveInProgress = true;
  ForwardCurrentMessageToChildren(this);
  return Default();
}

LRESULT CQlwMainFrame::OnExitSizeMove(WPARAM, LPARAM) {
  m_windowRect.SetFromWindowRect(m_hWnd);
  ForwardCurrentMessageToChildren(this);
  g_sizeMoveInProgress = false;
  return Default();
}

void CQlwMainFrame::OnTimer(UINT_PTR) { Default(); }

LRESULT CQlwMainFrame::OnAreYouMe(WPARAM, LPARAM) {
  const MSG* current = GetCurrentMessage();
  return current ? static_cast<LRESULT>(current->message) : static_cast<LRESULT>(g_msgAreYouMe);
}

LRESULT CQlwMainFrame::OnGetAnchorEdges(WPARAM, LPARAM lParam) {
  auto* edges = reinterpret_cast<CLXAnchorEdges*>(lParam);
  if (!edges) return 0;
  const RECT rect = edges->rect.m_rect;
  // Palettes meet the main window's edges and the edges of the screen's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  const bool onScreen = ::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor) != FALSE;
  RECT window{};
  const bool visible = IsWindowVisible() && !IsIconic() && ::GetWindowRect(m_hWnd, &window);
  CLXPalette::ComputeAnchorDeltas(rect, &monitor.rcWork, onScreen ? 1 : 0, &window, visible ? 1 : 0, *edges);
  return 1;
}

LRESULT CQlwMainFrame::OnHasEmptyWindow(WPARAM, LPARAM) {
  const MSG* current = GetCurrentMessage();
  if (HasPatterns()) return 0;
  return current ? static_cast<LRESULT>(current->message) : static_cast<LRESULT>(g_msgHasEmptyWindow);
}

// The store's idle work (writing the file groups that changed) runs in the application's idle step.
LRESULT CQlwMainFrame::OnIdleMsg(WPARAM, LPARAM) { return 1; }

LRESULT CQlwMainFrame::OnProcessShellCmd(WPARAM, LPARAM) {
  CLXApp* app = CLXApp::GetApp();
  return app && app->ProcessHandedOverCommandLine() ? 1 : 0;
}

LRESULT CQlwMainFrame::OnStatusSetSubtitle(WPARAM, LPARAM) { return ForwardCurrentMessageToChildren(this) ? 1 : 0; }

LRESULT CQlwMainFrame::OnLogString(WPARAM, LPARAM text) {
  AppendToLog(text, false, 0);
  return 1;
}

LRESULT CQlwMainFrame::OnLogStringColor(WPARAM argb, LPARAM text) {
  AppendToLog(text, true, static_cast<DWORD>(argb));
  return 1;
}

void CQlwMainFrame::AppendToLog(LPARAM text, bool coloured, DWORD argb) {
  const auto* line = reinterpret_cast<const CString*>(text);
  if (!line) return;
  m_log.push_back(LXLogLine{*line, coloured, argb});
  while (m_log.size() > kLogLines) m_log.pop_front();
}

bool CQlwMainFrame::ForwardCurrentMessageToChildren(CWnd* window) {
  const MSG* current = GetCurrentMessage();
  if (!window || !window->m_hWnd || !current) return false;
  LRESULT result = 0;
  CLXMsgChild message(window->m_hWnd, current->message, current->lParam, current->wParam, &result);
  const bool async = CLXMessage::IsAsyncId(current->message);
  message.Send(async ? CLXMessage::kModeAsync : CLXMessage::kModeKeep);
  return result != 0;
}
