#include <algorithm>
#include <cstring>
#include <utility>
#include <cwchar>
#include <cwctype>

#include "CString.h"
#include "Menus.h"
#include "WndGeometry.h"
#include "WndInternal.h"
#include "WndState.h"

using namespace qlw::wnd;

namespace {
struct WindowClass {
  std::wstring name;  // lookup key, lower case
  std::wstring display;
  ATOM atom{};
  UINT style{};
  WNDPROC proc{};
  int wndExtra{};
  HINSTANCE instance{};
  qlw::wnd::WidgetFactory factory{};
};

std::unordered_map<HWND, std::shared_ptr<Window>>& WindowTable() {
  static std::unordered_map<HWND, std::shared_ptr<Window>> table;
  return table;
}

// Top-level windows of every thread, top of the Z order first.
std::vector<HWND>& ZOrder() {
  static std::vector<HWND> order;
  return order;
}

std::vector<WindowClass>& Classes() {
  static std::vector<WindowClass> classes;
  return classes;
}

std::wstring Lower(const wchar_t* text) {
  std::wstring s(text ? text : L"");
  for (wchar_t& c : s) c = qlw::LowerChar(c);
  return s;
}

bool IsIntAtom(const wchar_t* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

// Property and class names may be integer atoms, as on Windows.
std::wstring NameKey(const wchar_t* name) {
  if (IsIntAtom(name)) return L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(name));
  return Lower(name);
}

WindowClass* FindClassLocked(const wchar_t* name) {
  for (WindowClass& c : Classes()) {
    if (IsIntAtom(name) ? c.atom == reinterpret_cast<uintptr_t>(name) : c.name == Lower(name)) return &c;
  }
  return nullptr;
}

void Unlink(Window& w) {
  auto erase = [&](std::vector<HWND>& v) { v.erase(std::remove(v.begin(), v.end(), w.handle), v.end()); };
  if (w.parent) {
    if (auto p = FindWindowLocked(w.parent)) erase(p->children);
  } else {
    erase(ZOrder());
  }
}

// Children before parents, so that handles go away leaves first.
void CollectSubtreeLocked(HWND hwnd, std::vector<HWND>& out) {
  auto w = FindWindowLocked(hwnd);
  if (!w) return;
  for (HWND c : w->children) CollectSubtreeLocked(c, out);
  out.push_back(hwnd);
}

void DestroyTree(HWND hwnd) {
  CallWindowWithHooks(hwnd, WM_DESTROY, 0, 0, true);
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (auto w = FindWindowLocked(hwnd)) children = w->children;
  }
  for (HWND c : children) {
    bool alive;
    {
      std::lock_guard<std::mutex> lock(Lock());
      auto w = FindWindowLocked(c);
      alive = w && !w->destroying;
      if (alive) w->destroying = true;
    }
    if (alive) DestroyTree(c);
  }
  CallWindowWithHooks(hwnd, WM_NCDESTROY, 0, 0, true);
  QWidget* widget = nullptr;
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (auto w = FindWindowLocked(hwnd)) {
      RemoveWindowTimersLocked(*w);
      Unlink(*w);
      widget = std::exchange(w->widget, nullptr);
      WindowTable().erase(hwnd);
    }
  }
  ReleaseWidget(widget);
}

bool ValidWindow(HWND hwnd, std::shared_ptr<Window>& out) {
  std::lock_guard<std::mutex> lock(Lock());
  out = FindWindowLocked(hwnd);
  if (!out) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return out != nullptr;
}
}  // namespace

namespace qlw::wnd {
ATOM RegisterBuiltinClass(const wchar_t* name, WNDPROC proc, WidgetFactory factory) {
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (WindowClass* c = FindClassLocked(name)) return c->atom;
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  ATOM atom = RegisterClassExW(&wc);
  std::lock_guard<std::mutex> lock(Lock());
  if (WindowClass* c = FindClassLocked(name)) {
    c->factory = factory;
    return c->atom;
  }
  return atom;
}

WidgetFactory FactoryOfClassLocked(const std::wstring& className) {
  WindowClass* c = FindClassLocked(className.c_str());
  return c ? c->factory : nullptr;
}

std::mutex& Lock() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<Window> FindWindowLocked(HWND hwnd) {
  auto& table = WindowTable();
  auto it = table.find(hwnd);
  return it == table.end() ? nullptr : it->second;
}

const std::vector<HWND>& TopLevelWindowsLocked() { return ZOrder(); }

void ForgetThreadWindowsLocked(DWORD threadId) {
  std::vector<HWND> doomed;
  for (auto& [h, w] : WindowTable())
    if (w->threadId == threadId) doomed.push_back(h);
  for (HWND h : doomed) {
    if (auto w = FindWindowLocked(h)) Unlink(*w);
  }
  for (HWND h : doomed) WindowTable().erase(h);
}
}  // namespace qlw::wnd

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || (!IsIntAtom(wc->lpszClassName) && !*wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> lock(Lock());
  if (FindClassLocked(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  static ATOM nextAtom = 0xC000;
  if (nextAtom == 0xFFFF) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  WindowClass c;
  c.name = NameKey(wc->lpszClassName);
  c.display = IsIntAtom(wc->lpszClassName) ? c.name : std::wstring(wc->lpszClassName);
  c.atom = nextAtom++;
  c.style = wc->style;
  c.proc = wc->lpfnWndProc;
  c.wndExtra = std::max(0, wc->cbWndExtra);
  c.instance = wc->hInstance;
  Classes().push_back(c);
  return c.atom;
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,       wc->lpfnWndProc,   wc->cbClsExtra,
                 wc->cbWndExtra,      wc->hInstance,   wc->hIcon,         wc->hCursor,
                 wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
  return RegisterClassExW(&ex);
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* info) {
  if (!info) return FALSE;
  std::lock_guard<std::mutex> lock(Lock());
  WindowClass* c = FindClassLocked(className);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *info = WNDCLASSEXW{};
  info->cbSize = sizeof *info;
  info->style = c->style;
  info->lpfnWndProc = c->proc;
  info->cbWndExtra = c->wndExtra;
  info->hInstance = c->instance;
  info->lpszClassName = c->display.c_str();
  return TRUE;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  std::lock_guard<std::mutex> lock(Lock());
  WindowClass* c = FindClassLocked(className);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (auto& [h, w] : WindowTable()) {
    if (w->className == c->display) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  Classes().erase(Classes().begin() + (c - Classes().data()));
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
  std::shared_ptr<Window> w;
  if (!ValidWindow(hwnd, w) || !buffer || maxCount <= 0) return 0;
  const std::wstring& name = w->className;
  int n = std::min(static_cast<int>(name.size()), maxCount - 1);
  std::wmemcpy(buffer, name.data(), static_cast<size_t>(n));
  buffer[n] = L'\0';
  return n;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  qlw::wnd::RegisterControlClasses();
  qlw::AttachQueueToQtEventLoop();
  const DWORD me = GetCurrentThreadId();  // before taking the lock: it may create the queue
  const HWND handle = NewWindowHandle();   // unique among the user's processes
  auto window = std::make_shared<Window>();
  {
    std::lock_guard<std::mutex> lock(Lock());
    WindowClass* c = FindClassLocked(className);
    if (!c) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    window->placed = RECT{x == CW_USEDEFAULT ? 0 : x, y == CW_USEDEFAULT ? 0 : y, 0, 0};
    window->placed.right = window->placed.left + (width == CW_USEDEFAULT ? 0 : width);
    window->placed.bottom = window->placed.top + (height == CW_USEDEFAULT ? 0 : height);
    if (!(style & WS_CHILD) && parent != HWND_MESSAGE) window->menu = menuOrId;
    const bool child = (style & WS_CHILD) != 0;
    if (parent == HWND_MESSAGE) {
      window->messageOnly = true;
    } else if (parent) {
      if (!FindWindowLocked(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
      (child ? window->parent : window->owner) = parent;
    } else if (child) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    window->handle = handle;
    window->threadId = me;
    window->style = style;
    window->exStyle = exStyle;
    window->id = child ? reinterpret_cast<LONG_PTR>(menuOrId) : 0;
    window->instance = instance;
    window->proc = c->proc;
    window->className = c->display;
    window->extra.assign(static_cast<size_t>(c->wndExtra), 0);
    WindowTable()[window->handle] = window;
    if (window->parent) FindWindowLocked(window->parent)->children.push_back(window->handle);
    else ZOrder().insert(ZOrder().begin(), window->handle);
  }
  const HWND hwnd = window->handle;
  CREATESTRUCTW cs{param, instance, menuOrId, parent == HWND_MESSAGE ? nullptr : parent, height, width, y, x,
                   static_cast<LONG>(style), windowName, className, exStyle};
  if (parent != HWND_MESSAGE) AttachWidget(hwnd, cs);
  if (!(style & WS_CHILD) && menuOrId && parent != HWND_MESSAGE) DrawMenuBar(hwnd);
  bool ok = CallWindowWithHooks(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs), true) != 0;
  if (ok) ok = CallWindowWithHooks(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), true) != -1;
  if (!ok) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (style & WS_VISIBLE) {
    // Shown only now that the window has its content; the style bit says it should be.
    SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style & ~WS_VISIBLE));
    ShowWindow(hwnd, SW_SHOW);
  }
  return hwnd;
}

HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width, int height,
                   HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  return CreateWindowExW(0, className, windowName, style, x, y, width, height, parent, menuOrId, instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
  const DWORD me = GetCurrentThreadId();
  std::vector<HWND> owned;
  {
    std::lock_guard<std::mutex> lock(Lock());
    auto w = FindWindowLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->threadId != me) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    for (auto& [h, other] : WindowTable())
      if (other->owner == hwnd && !other->destroying) owned.push_back(h);
  }
  // Owned windows go first, as on Windows.
  for (HWND h : owned) DestroyWindow(h);
  DestroyTree(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  {
    std::lock_guard<std::mutex> lock(Lock());
    if (FindWindowLocked(hwnd)) return TRUE;
  }
  return IsRemoteHandle(hwnd) && RemoteIsWindow(hwnd);
}

HWND GetParent(HWND hwnd) {
  std::shared_ptr<Window> w;
  if (!ValidWindow(hwnd, w)) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  std::shared_ptr<Window> w;
  if (!ValidWindow(hwnd, w)) return 0;
  return (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

HWND GetDlgItem(HWND parent, int id) {
  std::lock_guard<std::mutex> lock(Lock());
  auto p = FindWindowLocked(parent);
  if (!p) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND c : p->children)
    if (auto w = FindWindowLocked(c); w && w->id == id) return c;
  return nullptr;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  std::lock_guard<std::mutex> lock(Lock());
  for (auto w = FindWindowLocked(hwnd); w && (w->style & WS_CHILD) && w->parent; w = FindWindowLocked(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  bool local;
  {
    std::lock_guard<std::mutex> lock(Lock());
    local = FindWindowLocked(hwnd) != nullptr;
  }
  if (!local && IsRemoteHandle(hwnd) && RemoteIsWindow(hwnd)) {
    if (processId) *processId = ProcessOfHandle(hwnd);
    return 1;  // the other process's thread ids mean nothing here; not 0, which is failure
  }
  std::shared_ptr<Window> w;
  if (!ValidWindow(hwnd, w)) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return w->threadId;
}

BOOL BringWindowToTop(HWND hwnd) {
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::vector<HWND>& list = w->parent ? FindWindowLocked(w->parent)->children : ZOrder();
  list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
  list.insert(list.begin(), hwnd);
  return TRUE;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  // Another process's window answers its styles (palettes find each other by them).
  if ((index == GWL_STYLE || index == GWL_EXSTYLE) && IsRemoteHandle(hwnd)) {
    DWORD style = 0, exStyle = 0;
    if (!RemoteStyles(hwnd, &style, &exStyle)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    return static_cast<LONG_PTR>(index == GWL_STYLE ? style : exStyle);
  }
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    default: break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, w->extra.data() + index, sizeof value);
  return value;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  std::unique_lock<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (!value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_USERDATA: old = std::exchange(w->userData, value); break;
    case GWLP_ID: old = std::exchange(w->id, value); break;
    case GWL_STYLE: old = static_cast<LONG_PTR>(std::exchange(w->style, static_cast<DWORD>(value))); break;
    case GWL_EXSTYLE: old = static_cast<LONG_PTR>(std::exchange(w->exStyle, static_cast<DWORD>(value))); break;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(std::exchange(w->instance, reinterpret_cast<HINSTANCE>(value)));
      break;
    case GWLP_HWNDPARENT:
      // Changes the owner of a top-level window, as on Windows.
      if (w->parent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(std::exchange(w->owner, reinterpret_cast<HWND>(value)));
      break;
    default:
      if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
      }
      std::memcpy(&old, w->extra.data() + index, sizeof old);
      std::memcpy(w->extra.data() + index, &value, sizeof value);
      break;
  }
  const bool tabStopChanged = index == GWL_STYLE && ((static_cast<DWORD>(old) ^ static_cast<DWORD>(value)) & WS_TABSTOP);
  lock.unlock();
  if (tabStopChanged) ApplyTabStop(hwnd, (static_cast<DWORD>(value) & WS_TABSTOP) != 0);
  // Lets a caller tell a previous value of 0 from a failure.
  SetLastError(ERROR_SUCCESS);
  return old;
}

LONG GetWindowLongW(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hwnd, index)); }
LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = L'\0';
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd) { return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const qlw::wnd::DefaultWatch& watched = qlw::wnd::WatchedForDefault();
  if (watched.hwnd == hwnd && watched.message == message) {
    qlw::wnd::DefaultReached() = true;
    if (watched.skipDefault) return 0;
  }
  switch (message) {
    case WM_SETCURSOR: {
      // The parent decides first; otherwise the arrow, except over a native control, which
      // keeps Qt's own cursor (an edit's I-beam).
      if ((GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) && GetParent(hwnd) &&
          SendMessageW(GetParent(hwnd), WM_SETCURSOR, wParam, lParam))
        return TRUE;
      bool native;
      {
        std::lock_guard<std::mutex> lock(Lock());
        auto w = FindWindowLocked(hwnd);
        native = w && FactoryOfClassLocked(w->className) != nullptr;
      }
      // Asked on behalf of a child, a parent leaves the cursor to the child.
      if (!native && LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return FALSE;
    }
    case WM_KEYDOWN:
      // F1 asks the window with the focus for help; unanswered, the request goes up (WM_HELP below).
      if (wParam == VK_F1) {
        HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, GetDlgCtrlID(hwnd), hwnd, 0, POINT{0, 0}};
        GetCursorPos(&info.MousePos);
        SendMessageW(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
      }
      return 0;
    case WM_HELP: {
      // To the parent of a child window, to the owner of a top-level one.
      HWND next = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : GetWindow(hwnd, GW_OWNER);
      return next ? SendMessageW(next, message, wParam, lParam) : 0;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_CONTEXTMENU:
      // Unhandled, these travel up to the parent.
      if ((GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) && GetParent(hwnd))
        return SendMessageW(GetParent(hwnd), message, wParam, lParam);
      return 0;
    case WM_SETICON:
    case WM_GETICON: {
      const wchar_t* name = wParam == ICON_BIG ? L"QlwIconBig" : L"QlwIconSmall";
      HANDLE old = GetPropW(hwnd, name);
      if (message == WM_SETICON) {
        SetPropW(hwnd, name, reinterpret_cast<HANDLE>(lParam));
        if (wParam == ICON_BIG || !GetPropW(hwnd, L"QlwIconBig")) qlw::wnd::ShowIcon(hwnd, reinterpret_cast<HICON>(lParam));
      }
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageW(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_SHOWMAXIMIZED); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_NCCREATE:
    case WM_SETTEXT: {
      const wchar_t* text = message == WM_NCCREATE ? reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpszName
                                                   : reinterpret_cast<const wchar_t*>(lParam);
      QWidget* widget;
      {
        std::lock_guard<std::mutex> lock(Lock());
        auto w = FindWindowLocked(hwnd);
        if (!w) return FALSE;
        w->text = text && !IsIntAtom(text) ? text : L"";
        widget = w->widget;
      }
      if (widget) qlw::wnd::ShowTitle(widget, text && !IsIntAtom(text) ? text : L"");
      return TRUE;
    }
    case WM_GETTEXT: {
      wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
      if (!buffer || wParam == 0) return 0;
      std::lock_guard<std::mutex> lock(Lock());
      auto w = FindWindowLocked(hwnd);
      if (!w) return 0;
      size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
      std::wmemcpy(buffer, w->text.data(), n);
      buffer[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      std::lock_guard<std::mutex> lock(Lock());
      auto w = FindWindowLocked(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    default:
      return 0;
  }
}

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->props[NameKey(name)] = data;
  return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name) {
  if (!name) return nullptr;
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) return nullptr;
  auto it = w->props.find(NameKey(name));
  return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name) {
  if (!name) return nullptr;
  std::lock_guard<std::mutex> lock(Lock());
  auto w = FindWindowLocked(hwnd);
  if (!w) return nullptr;
  auto it = w->props.find(NameKey(name));
  if (it == w->props.end()) return nullptr;
  HANDLE data = it->second;
  w->props.erase(it);
  return data;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  std::vector<HWND> list;
  {
    std::lock_guard<std::mutex> lock(Lock());
    std::vector<HWND> roots;
    if (parent) {
      auto p = FindWindowLocked(parent);
      if (!p) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
      }
      roots = p->children;
    } else {
      for (HWND h : ZOrder())
        if (auto w = FindWindowLocked(h); w && !w->messageOnly) roots.push_back(h);
    }
    // Depth first: each window, then its own descendants, then its next sibling.
    std::vector<HWND> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
      HWND h = stack.back();
      stack.pop_back();
      list.push_back(h);
      if (auto w = FindWindowLocked(h)) stack.insert(stack.end(), w->children.rbegin(), w->children.rend());
    }
  }
  for (HWND h : list) {
    // A window destroyed by an earlier callback is skipped.
    if (!IsWindow(h)) continue;
    if (!proc(h, lParam)) break;
  }
  return TRUE;
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  std::vector<HWND> list;
  {
    std::lock_guard<std::mutex> lock(Lock());
    for (HWND h : ZOrder())
      if (auto w = FindWindowLocked(h); w && w->threadId == threadId && !w->messageOnly) list.push_back(h);
  }
  if (list.empty()) return FALSE;
  for (HWND h : list) {
    if (!IsWindow(h)) continue;
    if (!proc(h, lParam)) return FALSE;
  }
  return TRUE;
}
