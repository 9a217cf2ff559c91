// CRedrawLock: turns a list's redraw off for a scope and back on when the last hold goes, so a
// rebuild of many rows is drawn once.
#pragma once

#include "Wnd.h"

class CRedrawLock {
 public:
  explicit CRedrawLock(CWnd* window) : m_window(window ? window->m_hWnd : nullptr) {
    if (m_window && ::IsWindow(m_window)) {
      ::SendMessageW(m_window, WM_SETREDRAW, FALSE, 0);
      m_count = 1;
    }
  }
  ~CRedrawLock() { Release(); }
  CRedrawLock(const CRedrawLock&) = delete;
  CRedrawLock& operator=(const CRedrawLock&) = delete;

  void Release() {
    if (m_count <= 0) return;
    if (--m_count == 0 && ::IsWindow(m_window)) ::SendMessageW(m_window, WM_SETREDRAW, TRUE, 0);
  }
  int Count() const { return m_count; }

 private:
  int m_count = 0;
  HWND m_window = nullptr;
};
