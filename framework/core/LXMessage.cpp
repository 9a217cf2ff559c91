// The registry of named messages and the delivery classes of the message bus.
#include "LXMessage.h"

#include "LXUtils.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {
const wchar_t kAppGuidSuffix[] = L"-13dca11d-78cb-484a-892b-10aa643d11ae";
const UINT kFirstRegisteredId = 0xC000;
const UINT kLastRegisteredId = 0xFFFF;

// Created on first use: registration runs from static initialisers in any order.
std::map<UINT, CLXMessage::IdPair>& Registry() {
  static std::map<UINT, CLXMessage::IdPair> registry;
  return registry;
}
std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

struct AppWindowState {
  std::atomic<HWND> mainWindow{nullptr};
  std::atomic<bool> mainIsFrame{false};
  std::atomic<DWORD> uiThreadId{0};
  std::atomic<LXAppWindows::WindowTest> frameTest{nullptr};
  std::atomic<LXAppWindows::WindowTest> activeDocumentTest{nullptr};
};
AppWindowState& AppWindows() {
  static AppWindowState state;
  return state;
}
// The process starts on the user-interface thread; remember it before anything else runs.
const DWORD g_startThreadId = GetCurrentThreadId();

bool IsRegisteredRange(UINT id) { return id >= kFirstRegisteredId && id <= kLastRegisteredId; }
}  // namespace

namespace LXAppWindows {
void SetMainWindow(HWND wnd, bool isFrameWindow) {
  AppWindows().mainIsFrame = isFrameWindow;
  AppWindows().mainWindow = wnd;
}
HWND GetMainWindow() { return AppWindows().mainWindow.load(); }
HWND GetMainFrameWindow() {
  HWND main = AppWindows().mainWindow.load();
  return (main != nullptr && AppWindows().mainIsFrame.load() && IsWindow(main)) ? main : nullptr;
}
void SetUIThreadId(DWORD threadId) { AppWindows().uiThreadId = threadId; }
DWORD GetUIThreadId() {
  DWORD id = AppWindows().uiThreadId.load();
  return id != 0 ? id : g_startThreadId;
}
void SetFrameWindowTest(WindowTest test) { AppWindows().frameTest = test; }
void SetActiveDocumentTest(WindowTest test) { AppWindows().activeDocumentTest = test; }
bool IsFrameWindow(HWND wnd) {
  if (wnd == nullptr) return false;
  if (wnd == GetMainFrameWindow()) return true;
  WindowTest test = AppWindows().frameTest.load();
  return test != nullptr && test(wnd);
}
bool HasActiveDocument(HWND wnd) {
  WindowTest test = AppWindows().activeDocumentTest.load();
  return wnd != nullptr && test != nullptr && test(wnd);
}
bool IsFrameworkWindow(HWND wnd) {
  return wnd != nullptr && IsWindow(wnd) && GetWindowThreadProcessId(wnd, nullptr) == GetUIThreadId();
}
bool MainFrameHasVisibleStatusBar() {
  constexpr int kStatusBarId = 0xE801;  // the class library's status bar id
  HWND main = GetMainFrameWindow();
  HWND bar = main != nullptr ? GetDlgItem(main, kStatusBarId) : nullptr;
  return bar != nullptr && (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) != 0;
}
}  // namespace LXAppWindows

CLXMessage::CLXMessage(UINT id, LPARAM lParam, WPARAM wParam, LRESULT* result, bool firstOnly)
    : m_id(id), m_lParam(lParam), m_wParam(wParam), m_result(result), m_async(IsAsyncId(id)), m_firstOnly(firstOnly) {}

CLXMessage::~CLXMessage() = default;

CLXMessage::IdPair CLXMessage::RegisterMessage(LPCWSTR name) {
  CString syncName = CString(L"LXMsg") + name + kAppGuidSuffix;
  CString asyncName = CString(L"LXMsg") + name + L"-Async" + kAppGuidSuffix;
  IdPair pair;
  pair.sync = RegisterWindowMessageW(syncName);
  pair.async = RegisterWindowMessageW(asyncName);
  std::lock_guard<std::mutex> lock(RegistryLock());
  if (pair.sync != 0) Registry()[pair.sync] = pair;
  if (pair.async != 0) Registry()[pair.async] = pair;
  return pair;
}

bool CLXMessage::LookupId(UINT id, IdPair& pair) {
  if (!IsRegisteredRange(id)) return false;
  std::lock_guard<std::mutex> lock(RegistryLock());
  auto it = Registry().find(id);
  if (it == Registry().end()) return false;
  pair = it->second;
  return true;
}

void CLXMessage::DestroyRegistry() {
  std::lock_guard<std::mutex> lock(RegistryLock());
  std::map<UINT, IdPair>().swap(Registry());
}

bool CLXMessage::IsAsyncId(UINT id) {
  IdPair pair;
  return LookupId(id, pair) && pair.async == id;
}

void CLXMessage::SetMode(int mode) {
  IdPair pair;
  bool registered = LookupId(m_id, pair);
  switch (mode) {
    case kModeSync:
      m_async = false;
      if (registered) m_id = pair.sync;
      break;
    case kModeAsync:
      m_async = true;
      if (registered) m_id = pair.async;
      break;
    default:
      m_async = registered && pair.async == m_id;
      break;
  }
}

bool CLXMessage::Deliver(HWND target) {
  if (target != nullptr && !IsWindow(target)) return false;
  if (m_async) {
    m_done = PostMessageW(target, m_id, m_wParam, m_lParam) != FALSE;
    if (m_result != nullptr) *m_result = 0;
  } else if (target != nullptr) {
    LRESULT answer = SendMessageW(target, m_id, m_wParam, m_lParam);
    if (m_result != nullptr) *m_result = answer;
    m_done = true;
  }
  return m_done;
}

CLXMsgTarget::CLXMsgTarget(HWND target, UINT id, LPARAM lParam, WPARAM wParam, LRESULT* result)
    : CLXMessage(id, lParam, wParam, result, true),
      m_target(target != nullptr ? target : LXAppWindows::GetMainFrameWindow()) {}

CLXMsgTarget::CLXMsgTarget(HWND target, const MSG& received)
    : CLXMsgTarget(target, received.message, received.lParam, received.wParam, nullptr) {}

bool CLXMsgTarget::Send(int mode) {
  SetMode(m_target != nullptr ? mode : kModeAsync);
  return Deliver(m_target);
}

CLXMsgChild::CLXMsgChild(HWND parent, UINT id, LPARAM lParam, WPARAM wParam, LRESULT* result, bool firstOnly)
    : CLXMessage(id, lParam, wParam, result, firstOnly), m_parent(parent) {}

namespace {
struct ChildWalk {
  CLXMessage* message;
};

BOOL CALLBACK DeliverToChild(HWND wnd, LPARAM param) {
  auto* walk = reinterpret_cast<ChildWalk*>(param);
  if (LXAppWindows::IsFrameworkWindow(wnd)) walk->message->Deliver(wnd);
  return walk->message->IsFirstOnly() ? FALSE : TRUE;
}

void DeliverToDescendants(CLXMessage& message, HWND parent) {
  ChildWalk walk{&message};
  EnumChildWindows(parent, DeliverToChild, reinterpret_cast<LPARAM>(&walk));
}

struct TopLevelWalk {
  CLXMessage* message;
  bool frames;  // second pass: frames and their descendants
};

BOOL CALLBACK DeliverToTopLevel(HWND wnd, LPARAM param) {
  auto* walk = reinterpret_cast<TopLevelWalk*>(param);
  if (!LXAppWindows::IsFrameworkWindow(wnd)) return TRUE;
  HWND main = LXAppWindows::GetMainWindow();
  bool activeFrame = LXAppWindows::IsFrameWindow(wnd) && LXAppWindows::HasActiveDocument(wnd);
  if (!walk->frames) {
    if (wnd != main && !activeFrame) walk->message->Deliver(wnd);
  } else if (wnd == main || activeFrame) {
    walk->message->Deliver(wnd);
    DeliverToDescendants(*walk->message, wnd);
  }
  return TRUE;
}
}  // namespace

bool CLXMsgChild::Send(int mode) {
  SetMode(mode);
  if (m_parent != nullptr) DeliverToDescendants(*this, m_parent);
  m_done = true;
  return true;
}

CLXMsgGeneral::CLXMsgGeneral(UINT id, LPARAM lParam, WPARAM wParam, LRESULT* result, bool mainWindowOnly,
                             bool firstOnly)
    : CLXMessage(id, lParam, wParam, result, firstOnly), m_mainWindowOnly(mainWindowOnly) {}

bool CLXMsgGeneral::Send(int mode) {
  SetMode(mode);
  DWORD uiThread = LXAppWindows::GetUIThreadId();
  TopLevelWalk others{this, false};
  EnumThreadWindows(uiThread, DeliverToTopLevel, reinterpret_cast<LPARAM>(&others));
  if (!m_mainWindowOnly) {
    TopLevelWalk frames{this, true};
    EnumThreadWindows(uiThread, DeliverToTopLevel, reinterpret_cast<LPARAM>(&frames));
  } else if (HWND main = LXAppWindows::GetMainFrameWindow()) {
    Deliver(main);
    DeliverToDescendants(*this, main);
  }
  m_done = true;
  return true;
}

CLXMsgToPalettes::CLXMsgToPalettes(UINT id, LPARAM lParam, WPARAM wParam, LRESULT* result, bool firstOnly)
    : CLXMsgGeneral(id, lParam, wParam, result, false, firstOnly) {}

namespace {
struct PaletteWalk {
  CLXMessage* message;
  HWND mainFrame;
};

BOOL CALLBACK DeliverToPalette(HWND wnd, LPARAM param) {
  auto* walk = reinterpret_cast<PaletteWalk*>(param);
  // Windows behind the main frame are not floating in front of it.
  if (wnd == walk->mainFrame) return FALSE;
  LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  LONG_PTR exStyle = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
  bool floating = (exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) != 0;
  if ((style & WS_CHILD) == 0 && floating && LXAppWindows::IsFrameworkWindow(wnd)) {
    walk->message->Deliver(wnd);
    if (walk->message->IsFirstOnly()) return FALSE;
  }
  return TRUE;
}
}  // namespace

bool CLXMsgToPalettes::Send(int mode) {
  SetMode(mode);
  if (HWND mainFrame = LXAppWindows::GetMainFrameWindow()) {
    PaletteWalk walk{this, mainFrame};
    EnumThreadWindows(LXAppWindows::GetUIThreadId(), DeliverToPalette, reinterpret_cast<LPARAM>(&walk));
  }
  m_done = true;
  return true;
}

CLXMsgMenuCmd::CLXMsgMenuCmd(HWND target, UINT commandId)
    : CLXMessage(WM_COMMAND, 0, commandId, nullptr, true),
      m_target(target != nullptr ? target : LXAppWindows::GetMainFrameWindow()) {}

CLXMsgMenuCmd::CLXMsgMenuCmd(HWND target, const MSG& received)
    : CLXMessage(received.message, received.lParam, received.wParam, nullptr, true),
      m_target(target != nullptr ? target : LXAppWindows::GetMainFrameWindow()) {}

bool CLXMsgMenuCmd::Send(int /*mode*/) {
  m_done = false;
  if (m_target != nullptr) {
    // The popup that holds the command is prepared first, as opening it would, so that its
    // update handlers run before the command.
    int position = -1;
    if (HMENU popup = CUtils::FindMenuItem(m_target, static_cast<UINT>(LOWORD(m_wParam)), &position))
      PostMessageW(m_target, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    m_done = PostMessageW(m_target, m_id, m_wParam, m_lParam) != FALSE;
  }
  if (m_result != nullptr) *m_result = 0;
  return m_done;
}

CLXMsgThread::CLXMsgThread(DWORD threadId, UINT id, LPARAM lParam, WPARAM wParam)
    : CLXMessage(id, lParam, wParam, nullptr, false), m_threadId(threadId) {}

bool CLXMsgThread::Send(int /*mode*/) {
  m_done = PostThreadMessageW(m_threadId, m_id, m_wParam, m_lParam) != FALSE;
  return m_done;
}
