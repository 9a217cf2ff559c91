// The window handle table: creation, procedure chains, properties, enumeration and destruction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowLayer.h"

namespace {
std::vector<std::wstring> g_log;

std::wstring Name(HWND hwnd) {
  wchar_t text[64];
  GetWindowTextW(hwnd, text, 64);
  return text;
}

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) g_log.push_back(L"destroy " + Name(hwnd));
  if (message == WM_NCDESTROY) g_log.push_back(L"ncdestroy " + Name(hwnd));
  if (message == WM_USER) return 100 + static_cast<LRESULT>(wParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

WNDPROC g_base = nullptr;
LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return 2 * CallWindowProcW(g_base, hwnd, message, wParam + 1, lParam);
  return CallWindowProcW(g_base, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK RefusingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Windows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = LoggingProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = L"Qlw Test Window";
    RegisterClassExW(&wc);
    wc.lpfnWndProc = RefusingProc;
    wc.lpszClassName = L"Qlw Refusing Window";
    RegisterClassExW(&wc);
  }
  void SetUp() override { g_log.clear(); }
  HWND Make(const wchar_t* name, HWND parent = nullptr, int id = 0) {
    return CreateWindowExW(0, L"Qlw Test Window", name, parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<std::vector<std::wstring>*>(lParam)->push_back(Name(hwnd));
  return TRUE;
}
}  // namespace

TEST_F(Windows, CreationSetsTextIdsAndClass) {
  HWND top = Make(L"top");
  ASSERT_TRUE(top);
  HWND child = Make(L"child", top, 1234);
  ASSERT_TRUE(child);
  EXPECT_EQ(Name(child), L"child");
  EXPECT_EQ(GetDlgCtrlID(child), 1234);
  EXPECT_EQ(GetDlgItem(top, 1234), child);
  EXPECT_EQ(GetParent(child), top);
  EXPECT_EQ(GetParent(top), nullptr);
  EXPECT_TRUE(IsChild(top, child));
  wchar_t cls[64];
  EXPECT_EQ(GetClassNameW(child, cls, 64), 15);
  EXPECT_STREQ(cls, L"Qlw Test Window");
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(child, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, GetCurrentProcessId());
  EXPECT_FALSE(CreateWindowExW(0, L"No Such Class", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_FALSE(CreateWindowExW(0, L"Qlw Refusing Window", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  DestroyWindow(top);
}

TEST_F(Windows, SubclassingChainsThroughCallWindowProc) {
  HWND w = Make(L"w");
  EXPECT_EQ(SendMessageW(w, WM_USER, 1, 0), 101);
  g_base = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  EXPECT_EQ(g_base, LoggingProc);
  EXPECT_EQ(SendMessageW(w, WM_USER, 1, 0), 204);
  SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_base));
  EXPECT_EQ(SendMessageW(w, WM_USER, 1, 0), 101);
  SetWindowLongPtrW(w, 0, 77);
  EXPECT_EQ(GetWindowLongPtrW(w, 0), 77);
  EXPECT_EQ(SetWindowLongPtrW(w, 8, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  DestroyWindow(w);
}

TEST_F(Windows, PropertiesAreKeyedByNameWithoutCase) {
  HWND w = Make(L"w");
  int a = 0, b = 0;
  EXPECT_TRUE(SetPropW(w, L"Owner", &a));
  EXPECT_TRUE(SetPropW(w, L"other", &b));
  EXPECT_EQ(GetPropW(w, L"OWNER"), &a);
  EXPECT_EQ(RemovePropW(w, L"owner"), &a);
  EXPECT_EQ(GetPropW(w, L"Owner"), nullptr);
  EXPECT_EQ(GetPropW(w, L"other"), &b);
  DestroyWindow(w);
  EXPECT_EQ(GetPropW(w, L"other"), nullptr);
}

TEST_F(Windows, EnumerationOrder) {
  HWND older = Make(L"older");
  HWND top = Make(L"top");
  HWND a = Make(L"a", top);
  Make(L"a1", a);
  Make(L"b", top);
  std::vector<std::wstring> seen;
  EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"a", L"a1", L"b"}));

  seen.clear();
  EXPECT_TRUE(EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&seen)));
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0], L"top");
  EXPECT_EQ(seen[1], L"older");
  BringWindowToTop(older);
  seen.clear();
  EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ(seen[0], L"older");

  int calls = 0;
  auto stopAtFirst = [](HWND, LPARAM p) -> BOOL {
    ++*reinterpret_cast<int*>(p);
    return FALSE;
  };
  EXPECT_FALSE(EnumThreadWindows(GetCurrentThreadId(), stopAtFirst, reinterpret_cast<LPARAM>(&calls)));
  EXPECT_EQ(calls, 1);
  DestroyWindow(top);
  DestroyWindow(older);
}

TEST_F(Windows, DestroyTakesChildrenAndOwnedWindowsAlong) {
  HWND top = Make(L"top");
  HWND child = Make(L"child", top);
  HWND grandchild = Make(L"grandchild", child);
  HWND owned = CreateWindowExW(0, L"Qlw Test Window", L"owned", WS_POPUP, 0, 0, 1, 1, top, nullptr, nullptr, nullptr);
  EXPECT_EQ(GetParent(owned), top);
  UINT_PTR timer = SetTimer(child, 3, 1000, nullptr);
  EXPECT_EQ(timer, 3u);
  EXPECT_TRUE(DestroyWindow(top));
  EXPECT_EQ(g_log, (std::vector<std::wstring>{L"destroy owned", L"ncdestroy owned", L"destroy top", L"destroy child",
                                              L"destroy grandchild", L"ncdestroy grandchild", L"ncdestroy child",
                                              L"ncdestroy top"}));
  for (HWND h : {top, child, grandchild, owned}) EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(KillTimer(child, 3));
  EXPECT_EQ(SendMessageW(child, WM_USER, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}
