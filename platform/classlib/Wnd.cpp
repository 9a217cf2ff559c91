#include "Wnd.h"

#include <QWidget>
#include <algorithm>

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "AfxApp.h"
#include "AfxGdi.h"
#include "OwnerDraw.h"
#include "Frame.h"
#include "WndGeometry.h"
#include "WndQt.h"

LRESULT CALLBACK QlwWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

namespace {
const wchar_t kWndClass[] = L"QlwWnd";

std::unordered_map<HWND, CWnd*>& Permanent() {
  static std::unordered_map<HWND, CWnd*> map;
  return map;
}
std::unordered_map<HWND, std::unique_ptr<CWnd>>& Temporary() {
  static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
  return map;
}
// Its objects let go of their handles before they go: a menu object's destructor looks the
// handle up in this map, which at program exit is the map being destroyed.
struct TemporaryMenuMap : std::map<HMENU, std::unique_ptr<CMenu>> {
  ~TemporaryMenuMap() {
    for (auto& entry : *this) entry.second->Detach();
  }
};
std::map<HMENU, std::unique_ptr<CMenu>>& TemporaryMenus() {
  static TemporaryMenuMap map;
  return map;
}
thread_local CWnd* t_creating = nullptr;
thread_local std::vector<MSG> t_current;

// The control that a scroll or owner-draw message to its parent comes from (null for others and
// for menus): the control gets it first, reflected.
HWND ReflectedControl(HWND self, UINT message, WPARAM, LPARAM lParam) {
  if (!lParam) return nullptr;
  switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<HWND>(lParam);
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return item->CtlType == ODT_MENU ? nullptr : item->hwndItem;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      return item->CtlType == ODT_MENU ? nullptr : ::GetDlgItem(self, static_cast<int>(item->CtlID));
    }
    case WM_COMPAREITEM: return reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem;
    case WM_DELETEITEM: return reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem;
    default: return nullptr;
  }
}

// Key messages go first to the focus window's PreTranslateMessage, then up through its parents.
bool PreTranslate(MSG* msg) {
  // The application's own filter first, as its pre-translation runs before the windows'.
  if (CWinApp* app = AfxGetApp(); app && app->PreTranslateMessage(msg)) return true;
  for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
    if (CWnd* w = CWnd::FromHandlePermanent(h))
      if (w->PreTranslateMessage(msg)) return true;
    if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return false;
}

void RegisterWndClass() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = QlwWndProc;
  wc.lpszClassName = kWndClass;
  ::RegisterClassExW(&wc);
  qlw::SetPreTranslateHook(PreTranslate);
}
}  // namespace

LRESULT CALLBACK QlwWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* w = CWnd::FromHandlePermanent(hwnd);
  if (!w && t_creating) {
    w = std::exchange(t_creating, nullptr);
    w->Attach(hwnd);
  }
  if (!w) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  t_current.push_back(MSG{hwnd, message, wParam, lParam, 0, POINT{0, 0}});
  LRESULT r = w->WindowProc(message, wParam, lParam);
  t_current.pop_back();
  if (message == WM_NCDESTROY && CWnd::FromHandlePermanent(hwnd) == w) {
    // The main window going ends the application's message loop.
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == w) {
      app->m_pMainWnd = nullptr;
      ::PostQuitMessage(0);
    }
    w->Detach();
    w->PostNcDestroy();
  }
  if (message == WM_NCDESTROY) Temporary().erase(hwnd);
  return r;
}

namespace qlw {
CDC* DCFromHandle(HDC dc) { return dc ? CDC::FromHandle(dc) : nullptr; }
}  // namespace qlw

// ---- CMenu --------------------------------------------------------------------------------
CMenu::~CMenu() {
  // A menu object owns what it attached; a menu on a window bar is the window's.
  if (m_hMenu && TemporaryMenus().count(m_hMenu) == 0) ::DestroyMenu(m_hMenu);
}

BOOL CMenu::Attach(HMENU menu) {
  if (!menu) return FALSE;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() { return std::exchange(m_hMenu, nullptr); }

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  return ::DestroyMenu(std::exchange(m_hMenu, nullptr));
}

CMenu* CMenu::FromHandle(HMENU menu) {
  if (!menu) return nullptr;
  auto& map = TemporaryMenus();
  auto& slot = map[menu];
  if (!slot) {
    slot = std::make_unique<CMenu>();
    slot->m_hMenu = menu;
  }
  return slot.get();
}

int CMenu::GetMenuString(UINT id, CString& text, UINT flags) const {
  const int n = ::GetMenuStringW(m_hMenu, id, nullptr, 0, flags);
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetMenuStringW(m_hMenu, id, buffer.data(), n + 1, flags);
  buffer.resize(static_cast<size_t>(got));
  text = buffer;
  return got;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect) {
  return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
}

// ---- CWnd ---------------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() { RegisterWndClass(); }

CWnd::~CWnd() {
  if (m_hWnd) {
    HWND h = m_hWnd;
    Detach();
    // A window object that goes first takes its window along.
    if (::IsWindow(h)) ::DestroyWindow(h);
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  auto& map = Permanent();
  auto it = map.find(hwnd);
  return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (CWnd* w = FromHandlePermanent(hwnd)) return w;
  auto& slot = Temporary()[hwnd];
  if (!slot) {
    slot = std::make_unique<CWnd>();
    slot->m_hWnd = hwnd;
  }
  return slot.get();
}

BOOL CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return FALSE;
  m_hWnd = hwnd;
  Permanent()[hwnd] = this;
  // A temporary object made for the window earlier lets go of it: its going must not take the
  // window along.
  if (auto it = Temporary().find(hwnd); it != Temporary().end()) {
    it->second->m_hWnd = nullptr;
    Temporary().erase(it);
  }
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = std::exchange(m_hWnd, nullptr);
  if (h) {
    auto it = Permanent().find(h);
    if (it != Permanent().end() && it->second == this) Permanent().erase(it);
  }
  return h;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (!Attach(hwnd)) return FALSE;
  m_pfnSuper = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&QlwWndProc)));
  // A window of our own class (a template's CUSTOM item) has no procedure of its own beneath:
  // calling QlwWndProc again would come straight back here.
  if (m_pfnSuper == &QlwWndProc) m_pfnSuper = nullptr;
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  HWND h = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
  return h ? SubclassWindow(h) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (m_pfnSuper) ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(std::exchange(m_pfnSuper, nullptr)));
  return Detach();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&) { return TRUE; }
BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  void* context) {
  // The creation context reaches WM_CREATE, where a view joins its document.
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, void* param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int cx, int cy,
                    HWND parent, HMENU idOrMenu, void* param) {
  RegisterWndClass();
  CREATESTRUCTW cs{param, nullptr, idOrMenu, parent, cy, cx, y, x, static_cast<LONG>(style), windowName,
                   className ? className : kWndClass, exStyle};
  if (!PreCreateWindow(cs)) return FALSE;
  // Our own class runs QlwWndProc from the first message on; any other is subclassed once made.
  t_creating = this;
  HWND h = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y, cs.cx,
                             cs.cy, cs.hwndParent, cs.hMenu, nullptr, cs.lpCreateParams);
  t_creating = nullptr;
  if (h && m_hWnd != h) SubclassWindow(h);
  else if (h) PreSubclassWindow();
  return h != nullptr;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::Default() {
  if (t_current.empty()) return 0;
  const MSG& m = t_current.back();
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

const MSG* CWnd::GetCurrentMessage() { return t_current.empty() ? nullptr : &t_current.back(); }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT r = 0;
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    *result = 1;
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr || !OnNotify(wParam, lParam, &r)) return FALSE;
    *result = r;
    return TRUE;
  }
  if (HWND control = ReflectedControl(m_hWnd, message, wParam, lParam)) {
    CWnd* child = FromHandlePermanent(control);
    if (child && child != this && child->OnChildNotify(message, wParam, lParam, &r)) {
      *result = r;
      return TRUE;
    }
  }
  UINT code = 0;
  if (message == WM_REFLECT_BASE + WM_NOTIFY) code = reinterpret_cast<NMHDR*>(lParam)->code;
  if (message == WM_REFLECT_BASE + WM_COMMAND) code = HIWORD(wParam);
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, code, 0);
  if (!e) return FALSE;
  if (!e->call(this, message, wParam, lParam, &r, nullptr)) return FALSE;
  *result = r;
  return TRUE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT r = 0;
  if (!OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, &r)) return FALSE;
  if (result) *result = r;
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (!control) {
    // A menu item or accelerator: a command that its update handler disables is not carried out.
    struct TestCmdUI : CCmdUI {
      BOOL enabled = TRUE;
      void Enable(BOOL on) override {
        enabled = on;
        m_bEnableChanged = TRUE;
      }
      void SetCheck(int) override {}
      void SetRadio(BOOL) override {}
      void SetText(LPCWSTR) override {}
    } state;
    state.m_nID = id;
    OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &state, nullptr);
    if (!state.enabled) return TRUE;
    code = CN_COMMAND;
  } else if (CWnd* child = FromHandlePermanent(control); child && child != this) {
    if (child->OnChildNotify(WM_COMMAND, wParam, lParam, nullptr)) return TRUE;
  }
  return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (CWnd* child = FromHandlePermanent(hdr->hwndFrom); child && child != this)
    if (child->OnChildNotify(WM_NOTIFY, hdr->idFrom, lParam, result)) return TRUE;
  AFX_NOTIFY notify{result, hdr};
  const int code = MAKELONG(LOWORD(hdr->code), WM_NOTIFY);
  return OnCmdMsg(static_cast<UINT>(hdr->idFrom), code, &notify, nullptr);
}

void CWnd::OnNcDestroy() { Default(); }

CWnd* CWnd::GetOwner() const {
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  return FromHandle(owner ? owner : ::GetParent(m_hWnd));
}

CWnd* CWnd::GetParentFrame() const {
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h)) {
    CWnd* w = FromHandlePermanent(h);
    if (w && w->IsKindOf(RUNTIME_CLASS(CFrameWnd))) return w;
  }
  return nullptr;
}

namespace {
// Style or extended style: false when nothing changes; flags, when given, make the frame take it.
BOOL ModifyStyleLong(HWND hwnd, int index, DWORD style, DWORD remove, DWORD add, UINT flags) {
  const DWORD next = (style & ~remove) | add;
  if (next == style) return FALSE;
  ::SetWindowLongW(hwnd, index, static_cast<LONG>(next));
  if (flags) ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  return ModifyStyleLong(m_hWnd, GWL_STYLE, GetStyle(), remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  return ModifyStyleLong(m_hWnd, GWL_EXSTYLE, GetExStyle(), remove, add, flags);
}

void CWnd::ClientToScreen(LPRECT r) const {
  ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(r));
  ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(r) + 1);
}

void CWnd::ScreenToClient(LPRECT r) const {
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(r));
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(r) + 1);
}

BOOL CWnd::SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
  HWND a = after == reinterpret_cast<const CWnd*>(HWND_TOPMOST) || after == reinterpret_cast<const CWnd*>(HWND_NOTOPMOST) ||
                   after == reinterpret_cast<const CWnd*>(HWND_BOTTOM)
               ? reinterpret_cast<HWND>(const_cast<CWnd*>(after))
               : (after ? after->m_hWnd : nullptr);
  return ::SetWindowPos(m_hWnd, a, x, y, cx, cy, flags);
}

void CWnd::GetWindowText(CString& text) const {
  const int n = ::GetWindowTextLengthW(m_hWnd);
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(m_hWnd, buffer.data(), n + 1);
  buffer.resize(static_cast<size_t>(std::max(0, got)));
  text = buffer;
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  CWnd* item = GetDlgItem(id);
  if (!item) {
    text.Empty();
    return 0;
  }
  item->GetWindowText(text);
  return text.GetLength();
}

void CWnd::SetDlgItemInt(int id, UINT value, BOOL isSigned) {
  CString text;
  text.Format(isSigned ? L"%d" : L"%u", value);
  SetDlgItemText(id, text);
}

UINT CWnd::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const {
  CString text;
  GetDlgItemText(id, text);
  text.Trim();
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(text.GetString(), &end, 10);
  const bool ok = !text.IsEmpty() && end && *end == 0 && (isSigned || v >= 0) && v >= INT32_MIN && v <= UINT32_MAX;
  if (translated) *translated = ok ? TRUE : FALSE;
  return ok ? static_cast<UINT>(v) : 0;
}

void CWnd::CheckRadioButton(int first, int last, int check) {
  for (int id = first; id <= last; ++id) CheckDlgButton(id, id == check ? BST_CHECKED : BST_UNCHECKED);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL deep) {
  for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    ::SendMessageW(c, message, wParam, lParam);
    if (deep && ::IsWindow(c)) FromHandle(c)->SendMessageToDescendants(message, wParam, lParam, TRUE);
  }
}

void CWnd::SetFont(CFont* font, BOOL redraw) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw); }

CFont* CWnd::GetFont() const { return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT))); }

void CWnd::CenterWindow(CWnd* alternate) {
  RECT me{}, around{};
  ::GetWindowRect(m_hWnd, &me);
  HWND ref = alternate ? alternate->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
  // A hidden or minimised owner gives no place to centre on: the screen does.
  if (!alternate && ref && !(GetStyle() & WS_CHILD) && (!::IsWindowVisible(ref) || ::IsIconic(ref))) ref = nullptr;
  if (!(GetStyle() & WS_CHILD) || !ref) {
    if (ref) ::GetWindowRect(ref, &around);
    else {
      MONITORINFO mi{sizeof mi, {}, {}, 0};
      ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
      around = mi.rcWork;
    }
  } else {
    ::GetClientRect(ref, &around);
  }
  const int w = me.right - me.left, h = me.bottom - me.top;
  int x = (around.left + around.right - w) / 2, y = (around.top + around.bottom - h) / 2;
  if (GetStyle() & WS_CHILD) {
    POINT p{x, y};
    if (!ref) ::ScreenToClient(::GetParent(m_hWnd), &p);
    x = p.x, y = p.y;
  } else {
    // An owner larger than its screen, or partly off it, would put the window where nobody can
    // reach it: its frame is kept inside the work area of the owner's screen.
    RECT frame{};
    qlw::GetWindowFrameRect(m_hWnd, &frame);
    const RECT margins{me.left - frame.left, me.top - frame.top, frame.right - me.right, frame.bottom - me.bottom};
    MONITORINFO mi{sizeof mi, {}, {}, 0};
    ::GetMonitorInfoW(::MonitorFromWindow(ref ? ref : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    x = std::max<int>(work.left + margins.left, std::min<int>(x, work.right - margins.right - w));
    y = std::max<int>(work.top + margins.top, std::min<int>(y, work.bottom - margins.bottom - h));
  }
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }

int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }

void CWnd::UpdateDialogControls(CCmdTarget* target, BOOL disableIfNoHandler) {
  for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    CCmdUI state;
    state.m_pOther = FromHandle(c);
    state.m_nID = static_cast<UINT>(::GetDlgCtrlID(c));
    state.DoUpdate(target, disableIfNoHandler);
  }
}
