// Windows of another process: found by EnumWindows, reached by SendMessage with WM_COPYDATA and
// by PostMessage, and forgotten when the process has gone.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
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
  char handle[32];
  std::snprintf(handle, sizeof handle, "R%08llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(wnd)));
  qlwtest::ChildReport(handle);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

const int g_childJob = [] {
  const char* job = qlwtest::ChildJob();
  if (job && std::strcmp(job, "remote-serve-window") == 0) _exit(ServeOneWindow());
  return 0;
}();

// Ends a child left serving by a failed check, which would otherwise keep the test running.
struct ChildEnder {
  qlwtest::Child& child;
  bool waited = false;
  ~ChildEnder() {
    if (!waited && child.pid > 0) kill(child.pid, SIGKILL), qlwtest::WaitChild(child);
  }
};

// Starts a child that serves one window; its handle as it reported it.
HWND StartServing(qlwtest::Child& child) {
  child = qlwtest::StartChild("remote-serve-window");
  const std::string report = qlwtest::ReadReport(child, 9);
  if (report.size() != 9 || report[0] != 'R') return nullptr;
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(report.substr(1), nullptr, 16)));
}

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
  qlwtest::Child child;
  ChildEnder ender{child};
  ASSERT_NE(StartServing(child), nullptr);
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
  ender.waited = true;
  EXPECT_EQ(qlwtest::WaitChild(child), 3);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_TRUE(WindowsOfProcess(child.pid).empty());
  EXPECT_FALSE(SendMessageTimeoutW(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_BLOCK, 500, &result));
}

// Handles travel as 32-bit numbers, so they stay below 2^31 in every process, and the number
// alone still tells which process owns the window, also once an ended process's numbers are
// given to a new one.
TEST(RemoteWindows, HandlesStayBelow2To31AndNameTheirProcess) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"LocalWindow";
  RegisterClassW(&wc);
  HWND local = CreateWindowW(L"LocalWindow", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(local, nullptr);
  const auto value = [](HWND h) { return reinterpret_cast<uintptr_t>(h); };
  EXPECT_LT(value(local), uintptr_t{1} << 31);

  HWND previous = nullptr;
  for (int round = 0; round < 2; ++round) {
    qlwtest::Child child;
    const HWND remote = StartServing(child);
    ChildEnder ender{child};
    ASSERT_NE(remote, nullptr) << round;
    EXPECT_LT(value(remote), uintptr_t{1} << 31) << round;
    EXPECT_NE(value(remote) >> 16, value(local) >> 16) << "the processes share a block";
    // The first child has ended: the second takes its block.
    if (previous) {
      EXPECT_EQ(value(remote) >> 16, value(previous) >> 16);
    }

    DWORD owner = 0;
    EXPECT_EQ(GetWindowThreadProcessId(remote, &owner), 1u) << round;
    EXPECT_EQ(owner, static_cast<DWORD>(child.pid)) << round;
    EXPECT_EQ(GetWindowThreadProcessId(local, &owner), GetCurrentThreadId());
    EXPECT_EQ(owner, GetCurrentProcessId());
    const char data[] = "x";
    COPYDATASTRUCT copy{1, 1, const_cast<char*>(data)};
    DWORD_PTR result = 0;
    EXPECT_TRUE(
        SendMessageTimeoutW(remote, WM_COPYDATA, 2, reinterpret_cast<LPARAM>(&copy), SMTO_BLOCK, 5000, &result));
    EXPECT_EQ(result, DWORD_PTR(1 + 2 + 'x')) << round;

    EXPECT_TRUE(PostMessageW(remote, kQuitPlease, 0, 0));
    ender.waited = true;
    EXPECT_EQ(qlwtest::WaitChild(child), 3);
    EXPECT_FALSE(IsWindow(remote)) << round;
    previous = remote;
  }
  DestroyWindow(local);
}
