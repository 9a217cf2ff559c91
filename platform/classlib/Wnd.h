// CWnd, the class library's window: it owns a window of the window layer (and with it a QWidget),
// receives its messages through its message map, and routes commands. CMenu wraps a menu handle.
#pragma once
#include "CmdTarget.h"
#include "Controls.h"
#include "Menus.h"
#include "WndGeometry.h"

class CDC;
class CFont;
class CScrollBar;

class CMenu : public CObject {
 public:
  CMenu() = default;
  ~CMenu() override;
  HMENU m_hMenu = nullptr;

  BOOL Attach(HMENU menu);
  HMENU Detach();
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }
  static CMenu* FromHandle(HMENU menu);

  BOOL CreateMenu() { return Attach(::CreateMenu()); }
  BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
  BOOL LoadMenu(UINT id) { return Attach(::LoadMenuW(nullptr, MAKEINTRESOURCEW(id))); }
  BOOL DestroyMenu();
  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) { return ::AppendMenuW(m_hMenu, flags, id, text); }
  BOOL InsertMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) { return ::InsertMenuW(m_hMenu, pos, flags, id, text); }
  BOOL ModifyMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) { return ::ModifyMenuW(m_hMenu, pos, flags, id, text); }
  BOOL DeleteMenu(UINT pos, UINT flags) { return ::DeleteMenu(m_hMenu, pos, flags); }
  BOOL RemoveMenu(UINT pos, UINT flags) { return ::RemoveMenu(m_hMenu, pos, flags); }
  UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
  UINT GetMenuItemID(int pos) const { return ::GetMenuItemID(m_hMenu, pos); }
  UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
  int GetMenuString(UINT id, CString& text, UINT flags) const;
  CMenu* GetSubMenu(int pos) const { return FromHandle(::GetSubMenu(m_hMenu, pos)); }
  UINT EnableMenuItem(UINT id, UINT flags) { return ::EnableMenuItem(m_hMenu, id, flags); }
  UINT CheckMenuItem(UINT id, UINT flags) { return ::CheckMenuItem(m_hMenu, id, flags); }
  BOOL CheckMenuRadioItem(UINT first, UINT last, UINT check, UINT flags) {
    return ::CheckMenuRadioItem(m_hMenu, first, last, check, flags);
  }
  BOOL GetMenuItemInfo(UINT item, LPMENUITEMINFOW info, BOOL byPos = FALSE) { return ::GetMenuItemInfoW(m_hMenu, item, byPos, info); }
  BOOL SetMenuItemInfo(UINT item, const MENUITEMINFOW* info, BOOL byPos = FALSE) { return ::SetMenuItemInfoW(m_hMenu, item, byPos, info); }
  BOOL SetDefaultItem(UINT item, BOOL byPos = FALSE) { return ::SetMenuDefaultItem(m_hMenu, item, byPos); }
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);
};

class CWnd : public CCmdTarget {
  DECLARE_DYNCREATE(CWnd)
 public:
  CWnd();
  ~CWnd() override;
  HWND m_hWnd = nullptr;

  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  // The permanent object of a window, or a temporary one made for it (kept until the window goes).
  static CWnd* FromHandle(HWND hwnd);
  static CWnd* FromHandlePermanent(HWND hwnd);
  BOOL Attach(HWND hwnd);
  HWND Detach();
  // Makes this object receive the window's messages ahead of its present procedure.
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                      void* context = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id, void* param = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int cx, int cy,
                HWND parent, HMENU idOrMenu, void* param = nullptr);
  virtual BOOL DestroyWindow();
  virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Called once the object is attached to its window, created or subclassed.
  virtual void PreSubclassWindow() {}
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A control's own chance at the notification it sends to its parent (ON_*_REFLECT).
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual void PostNcDestroy() {}
  virtual void CalcWindowRect(LPRECT, UINT = 0) {}
  // The message being handled, answered by the platform's default handling.
  LRESULT Default();
  static const MSG* GetCurrentMessage();

  // Window state and placement.
  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* GetOwner() const;
  CWnd* GetParentFrame() const;
  CWnd* GetTopLevelParent() const { return FromHandle(::GetAncestor(m_hWnd, GA_ROOT)); }
  CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  int SetDlgCtrlID(int id) { return static_cast<int>(::SetWindowLongPtrW(m_hWnd, GWLP_ID, id)); }
  CWnd* SetParent(CWnd* parent) { return FromHandle(::SetParent(m_hWnd, parent ? parent->m_hWnd : nullptr)); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
  void ClientToScreen(LPRECT r) const;
  void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
  void ScreenToClient(LPRECT r) const;
  void MapWindowPoints(CWnd* to, LPPOINT points, UINT count) const { ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : nullptr, points, count); }
  void MapWindowPoints(CWnd* to, LPRECT rect) const { ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : nullptr, reinterpret_cast<LPPOINT>(rect), 2); }
  void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, cx, cy, repaint); }
  void MoveWindow(LPCRECT r, BOOL repaint = TRUE) { MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, repaint); }
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags);
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL IsChild(const CWnd* wnd) const { return ::IsChild(m_hWnd, wnd ? wnd->m_hWnd : nullptr); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  static CWnd* GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
  CWnd* SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
  BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
  void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  BOOL RedrawWindow(LPCRECT rect = nullptr, HRGN rgn = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
    return ::RedrawWindow(m_hWnd, rect, rgn, flags);
  }
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw, 0); }
  void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
  void SetDlgItemText(int id, LPCWSTR text) { ::SetWindowTextW(::GetDlgItem(m_hWnd, id), text); }
  int GetDlgItemText(int id, CString& text) const;
  void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE);
  UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const;
  void CheckDlgButton(int id, UINT check) { ::SendMessageW(::GetDlgItem(m_hWnd, id), BM_SETCHECK, check, 0); }
  UINT IsDlgButtonChecked(int id) const { return static_cast<UINT>(::SendMessageW(::GetDlgItem(m_hWnd, id), BM_GETCHECK, 0, 0)); }
  void CheckRadioButton(int first, int last, int check);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const { return ::SendMessageW(m_hWnd, message, wParam, lParam); }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const { return ::PostMessageW(m_hWnd, message, wParam, lParam); }
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(::GetDlgItem(m_hWnd, id), message, wParam, lParam);
  }
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE);
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, elapse, proc); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  CMenu* GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
  BOOL SetMenu(CMenu* menu) { return ::SetMenu(m_hWnd, menu ? menu->m_hMenu : nullptr); }
  void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  HICON SetIcon(HICON icon, BOOL big) { return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon))); }
  void CenterWindow(CWnd* alternate = nullptr);
  CDC* GetDC();
  int ReleaseDC(CDC* dc);
  virtual void OnUpdateCmdUI(CCmdTarget*, BOOL) {}
  // Runs the update handlers of the child controls whose ids are commands (dialog bars).
  void UpdateDialogControls(CCmdTarget* target, BOOL disableIfNoHandler);

  // Handlers of the usual names; the base ones do the platform's default handling.
  int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
  void OnDestroy() { Default(); }
  void OnNcDestroy();
  void OnSize(UINT, int, int) { Default(); }
  void OnMove(int, int) { Default(); }
  void OnPaint() { Default(); }
  BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
  void OnTimer(UINT_PTR) { Default(); }
  void OnLButtonDown(UINT, CPoint) { Default(); }
  void OnLButtonUp(UINT, CPoint) { Default(); }
  void OnLButtonDblClk(UINT, CPoint) { Default(); }
  void OnRButtonDown(UINT, CPoint) { Default(); }
  void OnRButtonUp(UINT, CPoint) { Default(); }
  void OnMButtonDown(UINT, CPoint) { Default(); }
  void OnMButtonUp(UINT, CPoint) { Default(); }
  void OnMouseMove(UINT, CPoint) { Default(); }
  BOOL OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
  void OnKeyDown(UINT, UINT, UINT) { Default(); }
  void OnKeyUp(UINT, UINT, UINT) { Default(); }
  void OnChar(UINT, UINT, UINT) { Default(); }
  void OnSetFocus(CWnd*) { Default(); }
  void OnKillFocus(CWnd*) { Default(); }
  void OnContextMenu(CWnd*, CPoint) { Default(); }
  BOOL OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
  void OnActivate(UINT, CWnd*, BOOL) { Default(); }
  BOOL OnNcActivate(BOOL) { return static_cast<BOOL>(Default()); }
  void OnClose() { Default(); }
  void OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
  void OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
  void OnShowWindow(BOOL, UINT) { Default(); }
  void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
  void OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
  void OnCaptureChanged(CWnd*) { Default(); }
  void OnEnable(BOOL) { Default(); }
  UINT OnGetDlgCode() { return static_cast<UINT>(Default()); }

 protected:
  DECLARE_MESSAGE_MAP()
 protected:
  WNDPROC m_pfnSuper = nullptr;
  friend LRESULT CALLBACK QlwWndProc(HWND, UINT, WPARAM, LPARAM);
};

class CScrollBar : public CWnd {};

// Window-message entries calling the handlers of the usual names with the usual arguments.
#define ON_WM_CREATE() {WM_CREATE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lp_)); return true; }},
#define ON_WM_DESTROY() {WM_DESTROY, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnDestroy(); return true; }},
#define ON_WM_SIZE() {WM_SIZE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnSize((UINT)wp_, (short)LOWORD(lp_), (short)HIWORD(lp_)); return true; }},
#define ON_WM_MOVE() {WM_MOVE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnMove((short)LOWORD(lp_), (short)HIWORD(lp_)); return true; }},
#define ON_WM_PAINT() {WM_PAINT, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnPaint(); return true; }},
#define ON_WM_ERASEBKGND() {WM_ERASEBKGND, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->OnEraseBkgnd(qlw::DCFromHandle(reinterpret_cast<HDC>(wp_))); return true; }},
#define ON_WM_TIMER() {WM_TIMER, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnTimer((UINT_PTR)wp_); return true; }},
#define QLW_MOUSE(msg, fn) {msg, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->fn((UINT)wp_, CPoint((short)LOWORD(lp_), (short)HIWORD(lp_))); return true; }},
#define ON_WM_LBUTTONDOWN() QLW_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() QLW_MOUSE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() QLW_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() QLW_MOUSE(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() QLW_MOUSE(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MBUTTONDOWN() QLW_MOUSE(WM_MBUTTONDOWN, OnMButtonDown)
#define ON_WM_MBUTTONUP() QLW_MOUSE(WM_MBUTTONUP, OnMButtonUp)
#define ON_WM_MOUSEMOVE() QLW_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_MOUSEWHEEL() {WM_MOUSEWHEEL, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->OnMouseWheel(LOWORD(wp_), (short)HIWORD(wp_), CPoint((short)LOWORD(lp_), (short)HIWORD(lp_))); return true; }},
#define QLW_KEY(msg, fn) {msg, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->fn((UINT)wp_, LOWORD(lp_), HIWORD(lp_)); return true; }},
#define ON_WM_KEYDOWN() QLW_KEY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() QLW_KEY(WM_KEYUP, OnKeyUp)
#define ON_WM_CHAR() QLW_KEY(WM_CHAR, OnChar)
#define ON_WM_SETFOCUS() {WM_SETFOCUS, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wp_))); return true; }},
#define ON_WM_KILLFOCUS() {WM_KILLFOCUS, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wp_))); return true; }},
#define ON_WM_CONTEXTMENU() {WM_CONTEXTMENU, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(wp_)), CPoint((short)LOWORD(lp_), (short)HIWORD(lp_))); return true; }},
#define ON_WM_SETCURSOR() {WM_SETCURSOR, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wp_)), LOWORD(lp_), HIWORD(lp_)); return true; }},
#define ON_WM_ACTIVATE() {WM_ACTIVATE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnActivate(LOWORD(wp_), CWnd::FromHandle(reinterpret_cast<HWND>(lp_)), HIWORD(wp_)); return true; }},
#define ON_WM_NCACTIVATE() {WM_NCACTIVATE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->OnNcActivate((BOOL)wp_); return true; }},
#define ON_WM_CLOSE() {WM_CLOSE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnClose(); return true; }},
#define ON_WM_HSCROLL() {WM_HSCROLL, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnHScroll(LOWORD(wp_), HIWORD(wp_), static_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(lp_)))); return true; }},
#define ON_WM_VSCROLL() {WM_VSCROLL, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnVScroll(LOWORD(wp_), HIWORD(wp_), static_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(lp_)))); return true; }},
#define ON_WM_SHOWWINDOW() {WM_SHOWWINDOW, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnShowWindow((BOOL)wp_, (UINT)lp_); return true; }},
#define ON_WM_GETMINMAXINFO() {WM_GETMINMAXINFO, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp_)); return true; }},
#define ON_WM_INITMENUPOPUP() {WM_INITMENUPOPUP, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnInitMenuPopup(CMenu::FromHandle(reinterpret_cast<HMENU>(wp_)), LOWORD(lp_), HIWORD(lp_)); return true; }},
#define ON_WM_CAPTURECHANGED() {WM_CAPTURECHANGED, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(lp_))); return true; }},
#define ON_WM_ENABLE() {WM_ENABLE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->OnEnable((BOOL)wp_); return true; }},
#define ON_WM_GETDLGCODE() {WM_GETDLGCODE, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->OnGetDlgCode(); return true; }},

namespace qlw {
// The DC wrapper of a handle (temporary), for handlers that take a CDC*.
CDC* DCFromHandle(HDC dc);
}  // namespace qlw
