// CSubclassWnd: watches and filters another window's messages through a chain of hooks kept in one
// process-wide map; CLockBar is the hook that keeps a docked control bar from being dragged away.
#pragma once
#include <unordered_map>

#include "Frame.h"

class CSubclassWnd : public CObject {
 public:
  CSubclassWnd() = default;
  ~CSubclassWnd() override;
  CSubclassWnd(const CSubclassWnd&) = delete;
  CSubclassWnd& operator=(const CSubclassWnd&) = delete;

  // With a window, attaches this hook in front of its others; with null, detaches it.
  BOOL HookWindow(HWND window);
  bool IsHooked() const { return m_hWnd != nullptr; }
  // Passes the message down the chain: the next hook, else the window's own procedure.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  WNDPROC m_pfnOldWndProc = nullptr;
  CSubclassWnd* m_pNext = nullptr;
};

// From window handle to its most recently attached hook.
class CSubclassWndMap {
 public:
  static CSubclassWndMap& GetHookMap();
  void Add(HWND window, CSubclassWnd* hook);
  void Remove(CSubclassWnd* hook);
  CSubclassWnd* Lookup(HWND window) const;

 private:
  std::unordered_map<HWND, CSubclassWnd*> m_map;
};

// Sent to the bar to find the tool under a client point (LPARAM: POINT*); -1 when none.
#define TB_HITTEST (WM_USER + 69)
#define CBRS_GRIPPER 0x00400000u

class CLockBar : public CSubclassWnd {
 public:
  explicit CLockBar(CControlBar* bar = nullptr) : m_pBar(bar) {}
  void Lock();
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  CControlBar* m_pBar = nullptr;
  bool m_bLocked = false;
};
