// Windows of another process: found by EnumWindows, reached by SendMessage with WM_COPYDATA and
// by PostMessage, and forgotten when the process has gone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ProcessTestSupport.h"
#include "Win.h"

namespace {
constexpr UINT kQuitPlease = WM_USER + 5;

LRESULT CALLBACK ServedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    LRESULT sum = static_cast<LRESULT>(copy->dwData) + static_cast<LRESULT>(wParam);
    for (DWORD i = 0; i < copy->cbData; ++i) sum += static_cast<const BYTE*>(copy->lpData)[i];
    return sum;
  }
  if (message == kQuitPlease) {
    PostQuitMessage(3);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int ServeOneWindow() {
  if (!qlw::StartWindowServer()) return 2;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ServedProc;
  wc.lpszClassName = L"ServedWindow";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowW(L"ServedWindow", L"served", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (!wnd) return 3;
  qlwtest::ChildReport("R");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

const int g_childJob = [] {
  const char* job = qlwtest::ChildJob();
  if (job && std::strcmp(job, "remote-serve-window") == 0) _exit(ServeOneWindow());
  return 0;
}();

std::vector<HWND> WindowsOfProcess(pid_t pid) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{static_cast<DWORD>(pid), {}};
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == s->pid) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}
}  // namespace

TEST(RemoteWindows, AnotherProcessesWindowIsFoundSentToAndForgotten) {
  auto child = qlwtest::StartChild("remote-serve-window");
  ASSERT_EQ(qlwtest::ReadReport(child, 1), "R");
  const std::vector<HWND> found = WindowsOfProcess(child.pid);
  ASSERT_EQ(found.size(), 1u);
  const HWND wnd = found[0];
  EXPECT_TRUE(IsWindow(wnd));

  const char data[] = "abc";
  COPYDATASTRUCT copy{7, 3, const_cast<char*>(data)};
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(wnd, WM_COPYDATA, 1000, reinterpret_cast<LPARAM>(&copy), SMTO_BLOCK, 500, &result));
  EXPECT_EQ(result, DWORD_PTR(7 + 1000 + 'a' + 'b' + 'c'));
  EXPECT_FALSE(PostMessageW(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)));

  EXPECT_TRUE(PostMessageW(wnd, kQuitPlease, 0, 0));
  EXPECT_EQ(qlwtest::WaitChild(child), 3);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_TRUE(WindowsOfProcess(child.pid).empty());
  EXPECT_FALSE(SendMessageTimeoutW(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_BLOCK, 500, &result));
}
