// Hook chains on a window: order, removal in any order, automatic removal at destruction; the
// locked bar swallows clicks on its empty parts only.
#include <gtest/gtest.h>

#include <string>

#include "SubclassWnd.h"

namespace {
std::string g_trace;

LRESULT CALLBACK OwnProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 1) {
    g_trace += "own;";
    return 7;
  }
  if (message == WM_NCDESTROY) {
    // The window must have its own procedure back and no hooks left when it sees this.
    g_trace += CSubclassWndMap::GetHookMap().Lookup(hwnd) ? "ncdestroy-hooked;" : "ncdestroy-clean;";
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == &OwnProc) g_trace += "own-proc;";
  }
  if (message == TB_HITTEST) {
    // One tool at x 0..19.
    return reinterpret_cast<POINT*>(lParam)->x < 20 ? 0 : -1;
  }
  if (message == WM_LBUTTONDOWN) g_trace += "click;";
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = OwnProc;
    wc.lpszClassName = L"SubclassTestWnd";
    ::RegisterClassExW(&wc);
    registered = true;
  }
  return ::CreateWindowExW(0, L"SubclassTestWnd", L"", WS_OVERLAPPED, 0, 0, 100, 30, nullptr, nullptr, nullptr, nullptr);
}

struct Tracer : CSubclassWnd {
  explicit Tracer(std::string n) : name(std::move(n)) {}
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_USER + 1) g_trace += name + ";";
    return CSubclassWnd::WindowProc(message, wParam, lParam);
  }
  std::string name;
};
}  // namespace

TEST(SubclassWnd, ChainsHooksNewestFirstAndRestoresTheOwnProcedure) {
  HWND w = MakeWindow();
  {
    Tracer early("early"), late("late");
    early.HookWindow(w);
    late.HookWindow(w);
    g_trace.clear();
    EXPECT_EQ(::SendMessageW(w, WM_USER + 1, 0, 0), 7);
    EXPECT_EQ(g_trace, "late;early;own;");

    late.HookWindow(nullptr);
    g_trace.clear();
    ::SendMessageW(w, WM_USER + 1, 0, 0);
    EXPECT_EQ(g_trace, "early;own;");

    // Removing from the middle of a chain keeps the rest linked.
    late.HookWindow(w);
    Tracer last("last");
    last.HookWindow(w);
    late.HookWindow(nullptr);
    g_trace.clear();
    ::SendMessageW(w, WM_USER + 1, 0, 0);
    EXPECT_EQ(g_trace, "last;early;own;");
    // The destructors detach what is still attached.
  }
  EXPECT_EQ(CSubclassWndMap::GetHookMap().Lookup(w), nullptr);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(w, GWLP_WNDPROC)), &OwnProc);
  ::DestroyWindow(w);
}

TEST(SubclassWnd, DestroyedWindowIsUnhookedBeforeItsLastMessage) {
  HWND w = MakeWindow();
  Tracer a("a"), b("b");
  a.HookWindow(w);
  b.HookWindow(w);
  g_trace.clear();
  ::DestroyWindow(w);
  EXPECT_EQ(g_trace, "ncdestroy-clean;own-proc;");
  EXPECT_FALSE(a.IsHooked());
  EXPECT_FALSE(b.IsHooked());
  EXPECT_EQ(CSubclassWndMap::GetHookMap().Lookup(w), nullptr);
}

TEST(LockBar, SwallowsClicksBetweenToolsOnly) {
  CControlBar bar;
  bar.m_hWnd = MakeWindow();
  bar.m_dwAlign |= CBRS_GRIPPER;
  CLockBar lock(&bar);
  lock.HookWindow(bar.m_hWnd);
  g_trace.clear();
  ::SendMessageW(bar.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(50, 5));
  EXPECT_EQ(g_trace, "click;") << "an unlocked bar passes every click";

  lock.Lock();
  EXPECT_EQ(bar.m_dwAlign & CBRS_GRIPPER, 0u);
  g_trace.clear();
  ::SendMessageW(bar.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(50, 5));
  EXPECT_EQ(g_trace, "");
  ::SendMessageW(bar.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(g_trace, "click;");
  lock.HookWindow(nullptr);
  ::DestroyWindow(bar.m_hWnd);
  bar.m_hWnd = nullptr;
}
