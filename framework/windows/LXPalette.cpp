// The palette window: creation and placement, visibility with the program's activation, edge
// snapping, keys for the main window, and the record shared with other instances.
#include "LXPalette.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LXApp.h"
#include "LXDocWnd.h"
#include "LXMessage.h"
#include "LXMutex.h"
#include "LXUtils.h"
#include "StaticInit.h"

namespace {
constexpr DWORD kSyncWaitMs = 5000;
// Read once: the sizing frame does not change while the program runs.
const int g_snapDistance = GetSystemMetrics(SM_CXFRAME) / 2;

bool KeyDown(int key) { return GetAsyncKeyState(key) < 0; }

HWND MainWindow() {
  if (HWND main = LXAppWindows::GetMainWindow()) return main;
  CWinApp* app = AfxGetApp();
  return app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
}

bool IsQuitting() {
  if (CLXDialog::IsAppQuitting()) return true;
  CLXApp* app = CLXApp::GetApp();
  return app && app->IsClosing();
}

// The name of the mutex that serialises the writers of the shared record in this instance.
CString SyncMutexName() {
  CString name = CLXPalette::SyncMappingName();
  if (CLXApp* app = CLXApp::GetApp()) name = app->MakeInstanceName(name, -1);
  return name;
}

struct PaletteTargets {
  HWND self;
  DWORD process;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectOtherPalettes(HWND window, LPARAM lParam) {
  auto* targets = reinterpret_cast<PaletteTargets*>(lParam);
  if (window == targets->self) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == targets->process) return TRUE;
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
  constexpr DWORD kPaletteStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  if ((style & kPaletteStyle) == kPaletteStyle && (exStyle & WS_EX_TOOLWINDOW)) targets->windows.push_back(window);
  return TRUE;
}

// The distance from edge to the nearest of the lines, kept in best when smaller.
void Nearest(int edge, int line, int& best) {
  const long long d = static_cast<long long>(line) - edge;
  if (best == INT_MAX || std::llabs(d) < std::llabs(static_cast<long long>(best))) best = static_cast<int>(d);
}

bool Overlap(int a0, int a1, int b0, int b1) { return a0 <= b1 && b0 <= a1; }
}  // namespace

IMPLEMENT_DYNAMIC(CLXPalette, CLXDialog)

BEGIN_MESSAGE_MAP(CLXPalette, CLXDialog)
  ON_MESSAGE(WM_ENTERSIZEMOVE, &CLXPalette::OnEnterSizeMove)
  ON_MESSAGE(WM_EXITSIZEMOVE, &CLXPalette::OnExitSizeMove)
  ON_MESSAGE(WM_MOVING, &CLXPalette::OnMoving)
  ON_MESSAGE(WM_SIZING, &CLXPalette::OnSizing)
  ON_WM_CLOSE()
  ON_MESSAGE(WM_FLOATSTATUS, &CLXPalette::OnFloatStatus)
  ON_WM_NCACTIVATE()
  ON_REGISTERED_MESSAGE(g_msgIdleSync, &CLXPalette::OnIdleMsg)
  ON_REGISTERED_MESSAGE(g_msgIdleAsync, &CLXPalette::OnIdleMsg)
  ON_REGISTERED_MESSAGE(g_msgMainFrameActivateSync, &CLXPalette::OnMainFrameActivate)
  ON_REGISTERED_MESSAGE(g_msgMainFrameActivateAsync, &CLXPalette::OnMainFrameActivate)
  ON_REGISTERED_MESSAGE(g_msgPaletteSyncSync, &CLXPalette::OnPaletteSync)
  ON_REGISTERED_MESSAGE(g_msgPaletteSyncAsync, &CLXPalette::OnPaletteSync)
  ON_REGISTERED_MESSAGE(g_msgReadDocumentBeginSync, &CLXPalette::OnReadDocumentBegin)
  ON_REGISTERED_MESSAGE(g_msgReadDocumentBeginAsync, &CLXPalette::OnReadDocumentBegin)
  ON_REGISTERED_MESSAGE(g_msgReadDocumentEndSync, &CLXPalette::OnReadDocumentEnd)
  ON_REGISTERED_MESSAGE(g_msgReadDocumentEndAsync, &CLXPalette::OnReadDocumentEnd)
  ON_REGISTERED_MESSAGE(g_msgResetPaletteSync, &CLXPalette::OnResetPalette)
  ON_REGISTERED_MESSAGE(g_msgResetPaletteAsync, &CLXPalette::OnResetPalette)
END_MESSAGE_MAP()

CLXPalette::CLXPalette() { Construct(); }

CLXPalette::CLXPalette(UINT templateId) : CLXDialog(templateId, CWnd::FromHandle(MainWindow())) { Construct(); }

CLXPalette::~CLXPalette() = default;

void CLXPalette::Construct() {
  m_createExStyle = WS_EX_TOOLWINDOW;
  if (UuidCreate(&m_identity) != RPC_S_OK) UuidCreateNil(&m_identity);
  // Nothing is refreshed before OnInitDialog.
  m_refreshGuard.Take();
}

CString CLXPalette::SyncMappingName() { return CString(L"CLXPaletteSync-") + g_appGuid.GetText(); }

int CLXPalette::SnapDistance() { return g_snapDistance; }

BOOL CLXPalette::Create(UINT templateId, CWnd* parent) {
  m_modal = false;
  CWnd* owner = parent ? parent : CWnd::FromHandle(MainWindow());
  m_created = CreateFromTemplate(templateId, owner, false) != FALSE;
  if (m_created) {
    StartCaptionState();
    LXPaletteQt::WatchUserMoves(this);
  }
  return m_created ? TRUE : FALSE;
}

void CLXPalette::PostNcDestroy() { delete this; }

BOOL CLXPalette::OnInitDialog() {
  const BOOL result = CLXDialog::OnInitDialog();
  m_refreshGuard.Release();
  return result;
}

void CLXPalette::OnOK() {
  if (::GetDlgItem(m_hWnd, IDOK)) ApplyChanges();
}

LRESULT CLXPalette::SetModified(bool modified, bool force) {
  const LRESULT result = CLXDialog::SetModified(modified, force);
  if (m_modified && IsSyncKeyDown()) {
    ApplyChanges();
    if (m_okButton.m_hWnd) m_okButton.EnableWindow(m_modified ? TRUE : FALSE);
  }
  return result;
}

bool CLXPalette::WriteStateToPreferences() {
  SaveState();
  return true;
}

bool CLXPalette::IsSyncKeyDown() { return m_syncEnabled && KeyDown(VK_CONTROL); }
void CLXPalette::ReadSyncState(const void*) {}
void CLXPalette::FillSyncState(void*) {}
size_t CLXPalette::GetSyncStateSize() { return 0; }

CLXPalette* CLXPalette::CreatePalette(const RECT* rect, int showMode) {
  try {
    if (!m_hWnd) {
      if (!Create(GetTemplateID(), CWnd::FromHandle(MainWindow()))) throw CLXXNoDialog(kLXSeverityMessage, 0, __LINE__);
      EnableWindow(TRUE);
      RECT placed{};
      GetWindowRect(&placed);
      const bool empty = !rect || ::IsRectEmpty(rect);
      if (empty) {
        const int width = placed.right - placed.left, height = placed.bottom - placed.top;
        RECT around{};
        HWND main = MainWindow();
        if (main && ::GetWindowRect(main, &around)) {
          placed.left = around.left + ((around.right - around.left) - width) / 2;
          placed.top = around.top + ((around.bottom - around.top) - height) / 2;
          placed.right = placed.left + width;
          placed.bottom = placed.top + height;
        }
      } else if (HasFixedSize()) {
        placed = RECT{rect->left, rect->top, rect->left + (placed.right - placed.left),
                      rect->top + (placed.bottom - placed.top)};
      } else {
        placed = *rect;
      }
      CUtils::FitRECTToMonitor(placed);
      MoveWindow(&placed, FALSE);
    }
    if (showMode == 1) {
      ShowWindow(IsIconic() ? SW_RESTORE : (IsZoomed() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL));
      m_shown = true;
      BringWindowToTop();
    } else if (showMode == 2) {
      ShowWindow(SW_HIDE);
      m_shown = false;
    }
    CLXMsgChild(m_hWnd, g_msgPaletteOpened, showMode, 0).Send(CLXMessage::kModeKeep);
    SaveState();
    WriteSyncState();
  } catch (...) {
    if (m_hWnd)
      DestroyWindow();  // PostNcDestroy deletes the object
    else
      delete this;
    throw;
  }
  return this;
}

void CLXPalette::UpdateVisibility(bool active) {
  m_activeLook = active;
  if (active && m_shown) {
    SendFloatStatus(FS_SHOW | FS_ACTIVATE);
    return;
  }
  if (!active && !m_refreshGuard.held && !IsQuitting()) {
    if (g_pStore) {
      std::vector<CLXPreferences::CStateWriter*> only{this};
      g_pStore->SavePaletteStates(&only, false);
    }
    WriteSyncState();
  }
  const bool keep = g_pStore && g_pStore->m_DontHidePalettes.Get();
  SendFloatStatus(keep ? (FS_SHOW | FS_ACTIVATE) : (FS_HIDE | FS_DEACTIVATE));
}

void CLXPalette::WriteSyncState() {
  if (!CanSync() || m_syncGuard || !m_hWnd) return;
  const size_t size = GetSyncStateSize();
  if (size == 0) return;
  CLXNamedMutexWait lock(SyncMutexName(), kSyncWaitMs);
  if (!lock.Owned()) return;
  const size_t total = sizeof(CLXPaletteSyncHeader) + size;
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(total),
                                      SyncMappingName());
  if (!mapping) return;
  // A mapping that a slow reader still holds keeps its old size: a smaller one is not written past.
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, total);
  if (!view) {
    CloseHandle(mapping);
    return;
  }
  auto* header = static_cast<CLXPaletteSyncHeader*>(view);
  header->recordSize = static_cast<uint32_t>(size);
  header->reserved = 0;
  FillSyncState(static_cast<uint8_t*>(view) + sizeof(CLXPaletteSyncHeader));
  PaletteTargets targets{m_hWnd, 0, {}};
  GetWindowThreadProcessId(m_hWnd, &targets.process);
  EnumWindows(CollectOtherPalettes, reinterpret_cast<LPARAM>(&targets));
  for (HWND window : targets.windows) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, g_msgPaletteSyncSync, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG,
                        kSyncWaitMs, &answer);
  }
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}

LRESULT CLXPalette::OnPaletteSync(WPARAM, LPARAM) {
  if (m_syncGuard) return 1;
  const size_t size = GetSyncStateSize();
  if (size == 0) return 1;
  m_syncGuard = true;
  if (HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, SyncMappingName())) {
    const size_t total = sizeof(CLXPaletteSyncHeader) + size;
    // A record of another size is another kind of palette's (or too short to read): not ours.
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, total)) {
      const auto* header = static_cast<const CLXPaletteSyncHeader*>(view);
      if (header->recordSize == size) ReadSyncState(static_cast<const uint8_t*>(view) + sizeof(CLXPaletteSyncHeader));
      UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
  }
  m_syncGuard = false;
  return 1;
}

// Edge snapping.
void CLXPalette::ComputeAnchorDeltas(const RECT& rect, const RECT* areas, size_t areaCount, const RECT* windows,
                                     size_t windowCount, CLXAnchorEdges& edges) {
  edges.left = edges.top = edges.right = edges.bottom = INT_MAX;
  auto addLines = [&](const RECT& a, bool vertical, bool horizontal) {
    if (vertical) {
      for (int x : {a.left, a.right}) {
        Nearest(rect.left, x, edges.left);
        Nearest(rect.right, x, edges.right);
      }
    }
    if (horizontal) {
      for (int y : {a.top, a.bottom}) {
        Nearest(rect.top, y, edges.top);
        Nearest(rect.bottom, y, edges.bottom);
      }
    }
  };
  for (size_t i = 0; i < areaCount; ++i) addLines(areas[i], true, true);
  for (size_t i = 0; i < windowCount; ++i) {
    const RECT& w = windows[i];
    addLines(w, Overlap(rect.top, rect.bottom, w.top, w.bottom), Overlap(rect.left, rect.right, w.left, w.right));
  }
}

bool CLXPalette::SnapRect(RECT& proposed, const RECT& current, const CLXAnchorEdges& edges, POINT drag, bool sizing) {
  const int s = SnapDistance();
  auto within = [s](int delta) { return delta != INT_MAX && std::abs(delta) <= s; };
  const RECT before = proposed;
  if (!sizing) {
    const int dx = within(edges.left) ? edges.left : (within(edges.right) ? edges.right : 0);
    const int dy = within(edges.top) ? edges.top : (within(edges.bottom) ? edges.bottom : 0);
    ::OffsetRect(&proposed, dx, dy);
  } else {
    if (within(edges.left)) proposed.left += edges.left;
    if (within(edges.right)) proposed.right += edges.right;
    if (within(edges.top)) proposed.top += edges.top;
    if (within(edges.bottom)) proposed.bottom += edges.bottom;
  }
  if (!::EqualRect(&proposed, &before)) return true;
  // Nothing snapped: the palette clings where it is until the cursor has gone 3 × s, then follows.
  const bool looseX = std::abs(drag.x) >= 3 * s, looseY = std::abs(drag.y) >= 3 * s;
  if (!sizing) {
    const int width = proposed.right - proposed.left, height = proposed.bottom - proposed.top;
    proposed.left = current.left + (looseX ? drag.x : 0);
    proposed.top = current.top + (looseY ? drag.y : 0);
    proposed.right = proposed.left + width;
    proposed.bottom = proposed.top + height;
    return false;
  }
  // Sizing: the edges being dragged are those that differ from the current rectangle.
  if (proposed.left != current.left) proposed.left = current.left + (looseX ? drag.x : 0);
  if (proposed.right != current.right) proposed.right = current.right + (looseX ? drag.x : 0);
  if (proposed.top != current.top) proposed.top = current.top + (looseY ? drag.y : 0);
  if (proposed.bottom != current.bottom) proposed.bottom = current.bottom + (looseY ? drag.y : 0);
  return false;
}

bool CLXPalette::AskAnchorEdges(const RECT& rect, CLXAnchorEdges& edges) {
  edges = CLXAnchorEdges{};
  edges.palette = this;
  edges.rect.SetFromRECT(rect);
  HWND main = MainWindow();
  if (!main) return false;
  LRESULT answer = 0;
  CLXMsgTarget(main, g_msgGetAnchorEdges, reinterpret_cast<LPARAM>(&edges), 0, &answer).Send(CLXMessage::kModeSync);
  return answer != 0;
}

void CLXPalette::SnapStep(RECT& rect, bool sizing) {
  POINT cursor{};
  GetCursorPos(&cursor);
  RECT current{};
  GetWindowRect(&current);
  CLXAnchorEdges edges;
  if (!AskAnchorEdges(rect, edges)) return;
  const POINT drag{cursor.x - m_dragAnchor.m_point.x, cursor.y - m_dragAnchor.m_point.y};
  SnapRect(rect, current, edges, drag, sizing);
  if (rect.left != current.left) m_dragAnchor.m_point.x = cursor.x;
  if (rect.top != current.top) m_dragAnchor.m_point.y = cursor.y;
}

LRESULT CLXPalette::OnEnterSizeMove(WPARAM, LPARAM) {
  POINT cursor{};
  GetCursorPos(&cursor);
  m_dragAnchor.m_point = cursor;
  return Default();
}

LRESULT CLXPalette::OnExitSizeMove(WPARAM, LPARAM) {
  WriteSyncState();
  return Default();
}

LRESULT CLXPalette::OnMoving(WPARAM, LPARAM lParam) {
  auto* rect = reinterpret_cast<RECT*>(lParam);
  if (rect && !KeyDown(VK_SHIFT)) SnapStep(*rect, false);
  return TRUE;
}

LRESULT CLXPalette::OnSizing(WPARAM, LPARAM lParam) {
  auto* rect = reinterpret_cast<RECT*>(lParam);
  if (rect && !KeyDown(VK_SHIFT)) SnapStep(*rect, true);
  return TRUE;
}

void CLXPalette::FinishUserMove(const RECT& before, const RECT& after, bool sizing) {
  if (!m_hWnd) return;
  RECT rect = after;
  if (!KeyDown(VK_SHIFT)) {
    CLXAnchorEdges edges;
    // The window manager moved the window the whole way: the drag is the move itself.
    const POINT drag{after.left - before.left + (after.right - before.right) * (sizing ? 1 : 0),
                     after.top - before.top + (after.bottom - before.bottom) * (sizing ? 1 : 0)};
    if (AskAnchorEdges(after, edges)) SnapRect(rect, before, edges, drag, sizing);
  }
  if (!::EqualRect(&rect, &after)) MoveWindow(&rect, TRUE);
  WriteSyncState();
}

void CLXPalette::OnClose() {
  ShowWindow(SW_HIDE);
  m_shown = false;
  if (!m_refreshGuard.held && !IsQuitting()) {
    SaveState();
    WriteSyncState();
  }
}

LRESULT CLXPalette::OnFloatStatus(WPARAM flags, LPARAM) {
  const bool syncActive = (GetStyle() & MFS_SYNCACTIVE) != 0;
  if (flags & (FS_SHOW | FS_HIDE)) {
    const bool keep = g_pStore && g_pStore->m_DontHidePalettes.Get();
    const bool show = (flags & FS_SHOW) || keep;
    // Only a palette meant to be seen comes back with the program.
    if (!show || m_shown)
      SetWindowPos(nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
  if (flags & (FS_ENABLE | FS_DISABLE)) EnableWindow((flags & FS_ENABLE) ? TRUE : FALSE);
  if (syncActive && (flags & (FS_ACTIVATE | FS_DEACTIVATE))) {
    ModifyStyle(MFS_SYNCACTIVE, 0);
    SendMessage(WM_NCACTIVATE, (flags & FS_ACTIVATE) ? TRUE : FALSE, 0);
    ModifyStyle(0, MFS_SYNCACTIVE);
  }
  return (syncActive && (flags & FS_SYNCACTIVE)) ? TRUE : FALSE;
}

void CLXPalette::StartCaptionState() {
  ModifyStyle(0, MFS_SYNCACTIVE);
  HWND top = ::GetAncestor(::GetWindow(m_hWnd, GW_OWNER), GA_ROOT);
  HWND foreground = ::GetForegroundWindow();
  bool active = top && foreground == top;
  // Another palette of the same owner in front counts as the owner.
  if (!active && top && foreground && foreground != m_hWnd && ::GetWindow(foreground, GW_OWNER) == top)
    active = ::SendMessageW(foreground, WM_FLOATSTATUS, FS_SYNCACTIVE, 0) != 0;
  SendFloatStatus(active ? FS_ACTIVATE : FS_DEACTIVATE);
}

BOOL CLXPalette::OnNcActivate(BOOL active) {
  BOOL look = m_activeLook ? TRUE : active;
  if (!IsWindowEnabled()) look = FALSE;
  return static_cast<BOOL>(DefWindowProc(WM_NCACTIVATE, look, 0));
}

BOOL CLXPalette::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
    CWnd* served = CLXDocWnd::FromWindow(nullptr);
    if (!served) served = CWnd::FromHandle(MainWindow());
    for (CWnd* frame = served; frame && frame->m_hWnd; frame = frame->GetParentFrame())
      if (frame->PreTranslateMessage(msg)) return TRUE;
  }
  return CLXDialog::PreTranslateMessage(msg);
}

LRESULT CLXPalette::OnIdleMsg(WPARAM, LPARAM) {
  if (m_activeLook) SaveState();
  return 1;
}

LRESULT CLXPalette::OnMainFrameActivate(WPARAM, LPARAM lParam) {
  UpdateVisibility((lParam & 0xFF) != 0);
  return 1;
}

LRESULT CLXPalette::OnReadDocumentBegin(WPARAM, LPARAM lParam) {
  if (lParam >= 2) m_applyGuard.Take();
  return 1;
}

LRESULT CLXPalette::OnReadDocumentEnd(WPARAM, LPARAM) {
  m_applyGuard.Release();
  if (!m_applyGuard.held) {
    CLXDocWnd* target = m_target;
    if (!target || !::IsWindow(target->m_hWnd)) target = CLXDocWnd::FromWindow(this);
    PostMessage(g_msgDocWndModifiedAsync, 0, reinterpret_cast<LPARAM>(target));
  }
  return 1;
}

// A reset reloads the controls and leaves them to be applied, as a reset dialog pane does.
LRESULT CLXPalette::OnResetPalette(WPARAM, LPARAM) {
  RefreshAndSetModified(true);
  return 1;
}
