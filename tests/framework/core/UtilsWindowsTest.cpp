// CUtils helpers for windows and controls, on window objects without widgets.
#include <gtest/gtest.h>

#include <vector>

#include "LXUtils.h"
#include "Win.h"

namespace {
constexpr UINT kGetCheck = 0x00F0, kSetCheck = 0x00F1;
constexpr WPARAM kRestore = 0xF120;

// A stand-in button and frame: answers the check state it holds and records what it is sent.
struct Received {
  UINT message;
  WPARAM wParam;
};
std::vector<Received> g_received;
LRESULT g_checkState = 0;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kGetCheck) return g_checkState;
  if (message == kSetCheck || message == WM_SYSCOMMAND || message == WM_SHOWWINDOW) {
    g_received.push_back({message, wParam});
    if (message == kSetCheck) g_checkState = static_cast<LRESULT>(wParam);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class UtilsWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"Qlw Utils Recording Window";
    RegisterClassExW(&wc);
  }
  void SetUp() override { g_received.clear(); }
  void TearDown() override {
    for (HWND w : windows) DestroyWindow(w);
  }
  HWND Make(DWORD style) {
    HWND w = CreateWindowExW(0, L"Qlw Utils Recording Window", L"", style, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
    windows.push_back(w);
    return w;
  }
  std::vector<HWND> windows;
};
}  // namespace

TEST_F(UtilsWindows, SetCheckSendsOnlyWhenTheCheckedBitDiffers) {
  HWND button = Make(WS_OVERLAPPED);
  ASSERT_TRUE(button);
  const struct {
    LRESULT state;
    bool checked;
    bool sent;
  } cases[] = {{0, false, false}, {0, true, true}, {1, true, false}, {1, false, true}, {2, false, false}};
  for (const auto& c : cases) {
    g_received.clear();
    g_checkState = c.state;
    CUtils::SetCheck(button, c.checked);
    ASSERT_EQ(g_received.size(), c.sent ? 1u : 0u) << c.state << " " << c.checked;
    if (c.sent) {
      EXPECT_EQ(g_received[0].wParam, c.checked ? 1u : 0u);
    }
  }
  CUtils::SetCheck(nullptr, true);  // no window: nothing happens
}

TEST_F(UtilsWindows, RestoreWindowOnlyForMinimisedOrMaximisedWindows) {
  const struct {
    DWORD style;
    bool restored;
  } cases[] = {{WS_OVERLAPPEDWINDOW, false}, {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, true},
               {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, true}};
  for (const auto& c : cases) {
    g_received.clear();
    CUtils::RestoreWindow(Make(c.style));
    ASSERT_EQ(g_received.size(), c.restored ? 1u : 0u) << c.style;
    if (c.restored) {
      EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_SYSCOMMAND));
      EXPECT_EQ(g_received[0].wParam, kRestore);
    }
  }
}

TEST(Utils, VirtualScreenRectHasAllFormsInAgreement) {
  LXGraphics::CSyncRect rect;
  rect.SetXYWH(5.5f, 6.5f, 1, 1);  // stale contents are replaced
  CUtils::GetVirtualScreenRect(rect);
  EXPECT_EQ(rect.m_dirty, 0u);
  EXPECT_EQ(rect.m_rect.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
  EXPECT_EQ(rect.m_rect.bottom - rect.m_rect.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  EXPECT_EQ(rect.m_int.Width, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(rect.m_float.Height, static_cast<float>(GetSystemMetrics(SM_CYVIRTUALSCREEN)));
}

TEST_F(UtilsWindows, ShowWindowKeepStateRestoresOnlyAMinimisedWindow) {
  const struct {
    DWORD style;
    bool show;
    bool visible, minimised, maximised;
  } cases[] = {
      {WS_OVERLAPPEDWINDOW, true, true, false, false},
      {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, true, true, false, false},
      {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, true, true, false, true},
      {WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MAXIMIZE, false, false, false, true},
  };
  for (const auto& c : cases) {
    HWND w = Make(c.style);
    const BOOL wasVisible = CUtils::ShowWindowKeepState(w, c.show);
    EXPECT_EQ(wasVisible != FALSE, (c.style & WS_VISIBLE) != 0) << c.style;
    EXPECT_EQ(IsWindowVisible(w) != FALSE, c.visible) << c.style;
    EXPECT_EQ(IsIconic(w) != FALSE, c.minimised) << c.style;
    EXPECT_EQ(IsZoomed(w) != FALSE, c.maximised) << c.style;
  }
}

TEST_F(UtilsWindows, AChildIsVisibleOnlyWithItsParent) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW);
  HWND child = CreateWindowExW(0, L"Qlw Utils Recording Window", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, parent,
                               nullptr, nullptr, nullptr);
  ASSERT_TRUE(child);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(parent, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
  g_received.clear();
  ShowWindow(child, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(child, SW_HIDE);  // no change, no message
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_SHOWWINDOW));
  EXPECT_EQ(g_received[0].wParam, static_cast<WPARAM>(FALSE));
}
