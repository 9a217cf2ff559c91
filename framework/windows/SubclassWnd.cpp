// Hook chains on windows of the window layer, and the locked control bar.
#include "SubclassWnd.h"

namespace {

LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CSubclassWndMap& map = CSubclassWndMap::GetHookMap();
  CSubclassWnd* first = map.Lookup(window);
  if (!first) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The window's own procedure must be back in place before it sees its last message.
    const WNDPROC own = first->m_pfnOldWndProc;
    while (CSubclassWnd* hook = map.Lookup(window)) hook->HookWindow(nullptr);
    return ::CallWindowProcW(own, window, message, wParam, lParam);
  }
  return first->WindowProc(message, wParam, lParam);
}

}  // namespace

CSubclassWndMap& CSubclassWndMap::GetHookMap() {
  static CSubclassWndMap map;
  return map;
}

CSubclassWnd* CSubclassWndMap::Lookup(HWND window) const {
  auto it = m_map.find(window);
  return it == m_map.end() ? nullptr : it->second;
}

void CSubclassWndMap::Add(HWND window, CSubclassWnd* hook) {
  hook->m_pNext = Lookup(window);
  m_map[window] = hook;
  if (hook->m_pNext) {
    hook->m_pfnOldWndProc = hook->m_pNext->m_pfnOldWndProc;
  } else {
    hook->m_pfnOldWndProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc)));
  }
}

void CSubclassWndMap::Remove(CSubclassWnd* hook) {
  const HWND window = hook->m_hWnd;
  CSubclassWnd* first = Lookup(window);
  if (first == hook) {
    if (hook->m_pNext) {
      m_map[window] = hook->m_pNext;
    } else {
      m_map.erase(window);
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->m_pfnOldWndProc));
    }
  } else {
    for (CSubclassWnd* p = first; p; p = p->m_pNext) {
      if (p->m_pNext == hook) {
        p->m_pNext = hook->m_pNext;
        break;
      }
    }
  }
  hook->m_pNext = nullptr;
  hook->m_hWnd = nullptr;
  hook->m_pfnOldWndProc = nullptr;
}

CSubclassWnd::~CSubclassWnd() {
  if (m_hWnd) HookWindow(nullptr);
}

BOOL CSubclassWnd::HookWindow(HWND window) {
  if (window) {
    if (m_hWnd) HookWindow(nullptr);
    m_hWnd = window;
    CSubclassWndMap::GetHookMap().Add(window, this);
  } else if (m_hWnd) {
    CSubclassWndMap::GetHookMap().Remove(this);
  }
  return TRUE;
}

LRESULT CSubclassWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pNext) return m_pNext->WindowProc(message, wParam, lParam);
  return ::CallWindowProcW(m_pfnOldWndProc, m_hWnd, message, wParam, lParam);
}

void CLockBar::Lock() {
  m_bLocked = true;
  if (!m_pBar) return;
  m_pBar->m_dwAlign &= ~CBRS_GRIPPER;
  if (auto* frame = DYNAMIC_DOWNCAST(CFrameWnd, m_pBar->GetParentFrame())) frame->RecalcLayout();
}

LRESULT CLockBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_bLocked && m_pBar && (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)) {
    // Only the empty parts of the bar would start a drag.
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (::SendMessageW(m_hWnd, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&at)) == -1) return 0;
  }
  return CSubclassWnd::WindowProc(message, wParam, lParam);
}
