// The message bus: registration of named messages, and who receives each kind of message.
#include "LXException.h"
#include "LXMessage.h"
#include "Status.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {
struct Received {
  HWND wnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::wstring text;  // for the log and status messages, the text they point at
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= QLW_REGISTERED_MESSAGE_FIRST || message == WM_COMMAND) {
    Received r{wnd, message, wParam, lParam, {}};
    if (message == g_msgLogString || message == g_msgLogStringColor)
      r.text = reinterpret_cast<const CString*>(lParam)->Str();
    else if (message == g_msgStatusSetSubtitle)
      r.text = reinterpret_cast<const wchar_t*>(lParam);
    g_received.push_back(r);
    return 42;
  }
  return DefWindowProcW(wnd, message, wParam, lParam);
}

class MessageFixture : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"QlwMessageTestWindow";
    RegisterClassExW(&wc);
  }
  void SetUp() override {
    g_received.clear();
    m_id = CLXMessage::RegisterMessage(L"MessageTest");
  }
  void TearDown() override {
    LXAppWindows::SetMainWindow(nullptr, false);
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) DestroyWindow(*it);
    qlw::ProcessPendingMessages();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
    }
  }
  HWND Make(HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW, DWORD exStyle = 0) {
    HWND wnd = CreateWindowExW(exStyle, L"QlwMessageTestWindow", L"", style, 0, 0, 10, 10, parent, nullptr, nullptr,
                               nullptr);
    EXPECT_NE(wnd, nullptr);
    m_windows.push_back(wnd);
    return wnd;
  }
  HWND Child(HWND parent) { return Make(parent, WS_CHILD); }
  std::set<HWND> Receivers(UINT id) const {
    std::set<HWND> wnds;
    for (const Received& r : g_received)
      if (r.message == id) wnds.insert(r.wnd);
    return wnds;
  }

  CLXMessage::IdPair m_id;
  std::vector<HWND> m_windows;
};
}  // namespace

TEST(MessageRegistry, SameNameGivesTheSamePairAndOnlyAsyncIdsCountAsAsync) {
  CLXMessage::IdPair first = CLXMessage::RegisterMessage(L"RegistryTest");
  CLXMessage::IdPair second = CLXMessage::RegisterMessage(L"RegistryTest");
  EXPECT_EQ(first.sync, second.sync);
  EXPECT_EQ(first.async, second.async);
  EXPECT_NE(first.sync, first.async);
  EXPECT_GE(first.sync, 0xC000u);
  EXPECT_GE(first.async, 0xC000u);
  CLXMessage::IdPair looked;
  ASSERT_TRUE(CLXMessage::LookupId(first.async, looked));
  EXPECT_EQ(looked.sync, first.sync);

  EXPECT_TRUE(CLXMessage::IsAsyncId(first.async));
  EXPECT_FALSE(CLXMessage::IsAsyncId(first.sync));
  EXPECT_FALSE(CLXMessage::IsAsyncId(WM_USER + 5));
  UINT unregistered = 0xFFFF;
  while (CLXMessage::LookupId(unregistered, looked)) --unregistered;
  EXPECT_FALSE(CLXMessage::IsAsyncId(unregistered));
}

TEST(MessageRegistry, ProgramWideIdsAreRegisteredBeforeTheProgramRuns) {
  EXPECT_NE(g_msgIdleSync, 0u);
  EXPECT_EQ(g_msgIdle, g_msgIdleSync);
  EXPECT_TRUE(CLXMessage::IsAsyncId(g_msgIdleAsync));
  EXPECT_NE(g_msgLogString, g_msgLogStringColor);
  // Registered by name, so a fresh registration of the same name agrees.
  EXPECT_EQ(CLXMessage::RegisterMessage(L"WatchdogPoke").sync, g_msgWatchdogPokeSync);
}

TEST_F(MessageFixture, ModeTwoTurnsASyncIdIntoItsAsyncTwinAndPostsIt) {
  HWND wnd = Make();
  CLXMsgTarget message(wnd, m_id.sync, 7, 3);
  EXPECT_TRUE(message.Send(CLXMessage::kModeAsync));
  EXPECT_TRUE(g_received.empty()) << "posting does not deliver at once";
  qlw::ProcessPendingMessages();
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].message, m_id.async);
  EXPECT_EQ(g_received[0].wParam, 3u);
  EXPECT_EQ(g_received[0].lParam, 7);
}

TEST_F(MessageFixture, ModeOneSendsTheSyncTwinAndReturnsTheResult) {
  HWND wnd = Make();
  LRESULT result = 0;
  CLXMsgTarget message(wnd, m_id.async, 0, 0, &result);
  EXPECT_TRUE(message.IsAsync());
  EXPECT_TRUE(message.Send(CLXMessage::kModeSync));
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].message, m_id.sync);
  EXPECT_EQ(result, 42);
}

TEST_F(MessageFixture, TargetlessMessagePostsAsyncToTheSendersOwnQueue) {
  CLXMsgTarget message(static_cast<HWND>(nullptr), m_id.sync, 11, 0);
  EXPECT_TRUE(message.Send(CLXMessage::kModeSync));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, m_id.async, m_id.async, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.lParam, 11);
}

TEST_F(MessageFixture, ChildMessageReachesDescendantsAndFirstOnlyStopsAfterOne) {
  HWND parent = Make();
  HWND a = Child(parent);
  HWND b = Child(parent);
  HWND grandchild = Child(b);
  CLXMsgChild all(parent, m_id.sync);
  all.Send(CLXMessage::kModeKeep);
  EXPECT_EQ(Receivers(m_id.sync), (std::set<HWND>{a, b, grandchild}));

  g_received.clear();
  CLXMsgChild first(parent, m_id.sync, 0, 0, nullptr, true);
  first.Send(CLXMessage::kModeKeep);
  EXPECT_EQ(g_received.size(), 1u);
}

TEST_F(MessageFixture, GeneralMessageReachesEveryWindowOfTheThreadOnce) {
  HWND main = Make();
  HWND pane = Child(main);
  HWND palette = Make(nullptr, WS_POPUP, WS_EX_TOOLWINDOW);
  HWND paletteChild = Child(palette);
  LXAppWindows::SetMainWindow(main, true);
  CLXMsgGeneral message(m_id.sync, 200);
  message.Send(CLXMessage::kModeKeep);
  std::set<HWND> expected{main, pane, palette};
  EXPECT_EQ(Receivers(m_id.sync), expected) << "other top-level windows get it, but not their children";
  EXPECT_EQ(g_received.size(), expected.size());
  EXPECT_EQ(Receivers(m_id.sync).count(paletteChild), 0u);
}

TEST_F(MessageFixture, PaletteMessageReachesOnlyFloatingWindowsInFrontOfTheMainFrame) {
  HWND behind = Make(nullptr, WS_POPUP, WS_EX_TOOLWINDOW);
  HWND main = Make();
  HWND plain = Make(nullptr, WS_POPUP, 0);
  HWND tool = Make(nullptr, WS_POPUP, WS_EX_TOOLWINDOW);
  HWND topmost = Make(nullptr, WS_POPUP, WS_EX_TOPMOST);

  CLXMsgToPalettes none(m_id.sync);
  none.Send(CLXMessage::kModeKeep);
  EXPECT_TRUE(g_received.empty()) << "without a main frame nothing is sent";

  LXAppWindows::SetMainWindow(main, true);
  CLXMsgToPalettes message(m_id.sync);
  message.Send(CLXMessage::kModeKeep);
  EXPECT_EQ(Receivers(m_id.sync), (std::set<HWND>{tool, topmost}));
  EXPECT_EQ(Receivers(m_id.sync).count(behind), 0u);
  EXPECT_EQ(Receivers(m_id.sync).count(plain), 0u);
}

TEST_F(MessageFixture, MenuCommandIsPostedToTheMainFrameByDefault) {
  HWND main = Make();
  LXAppWindows::SetMainWindow(main, true);
  CLXMsgMenuCmd command(nullptr, 57601);
  EXPECT_TRUE(command.Send(CLXMessage::kModeKeep));
  qlw::ProcessPendingMessages();
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].wnd, main);
  EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(g_received[0].wParam, 57601u);
}

TEST_F(MessageFixture, ThreadMessageReachesTheOtherThreadsQueue) {
  std::atomic<DWORD> threadId{0};
  MSG got{};
  std::thread worker([&]() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    threadId = GetCurrentThreadId();
    if (GetMessageW(&msg, nullptr, 0, 0) > 0) got = msg;
  });
  while (threadId.load() == 0) std::this_thread::yield();
  CLXMsgThread message(threadId, m_id.async, 5, 6);
  EXPECT_TRUE(message.Send(CLXMessage::kModeKeep));
  worker.join();
  EXPECT_EQ(got.message, m_id.async);
  EXPECT_EQ(got.lParam, 5);
  EXPECT_EQ(got.wParam, 6u);
}

TEST_F(MessageFixture, LogTextsReachTheMainFrameSynchronouslyAndOnlyWhenThereIsOne) {
  LogString(21094, 3L);
  EXPECT_TRUE(g_received.empty());
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, g_msgLogStringAsync, g_msgLogStringAsync, PM_REMOVE))
      << "the text's address must not be left in a queue after it is gone";
  HWND main = Make();
  LXAppWindows::SetMainWindow(main, true);
  LogString(21094, 3L);
  LogStringColor(1203, 0xFFFF0000u);
  LogString(999999);
  ASSERT_EQ(g_received.size(), 2u) << "a missing string sends nothing";
  EXPECT_EQ(g_received[0].message, g_msgLogString);
  EXPECT_EQ(g_received[0].wParam, 0u);
  EXPECT_EQ(g_received[0].text,
            L"Opening Many Files|You are about to open 3 files.|Opening this many files could take a long time."
            L"|Continue|Cancel");
  EXPECT_EQ(g_received[1].message, g_msgLogStringColor);
  EXPECT_EQ(g_received[1].wParam, 0xFFFF0000u);
  EXPECT_EQ(g_received[1].text, L"Fatal Error");
}

namespace {
std::vector<LXLogLine> g_handled;
void KeepLine(const LXLogLine& line) { g_handled.push_back(line); }
}  // namespace

TEST_F(MessageFixture, LogLinesAreCapturedPerThreadAndWithoutAWindowGoToTheHandler) {
  g_handled.clear();
  const LXLogHandler previous = SetLogHandlerWithoutWindow(KeepLine);
  {
    CLXLogCapture outer;
    LogString(21094, 3L);
    {
      // A capture that keeps its lines: neither the outer capture nor the handler sees them.
      CLXLogCapture trial(false);
      LogStringColor(1203, 0xFFFF0000u);
      EXPECT_EQ(trial.GetWarnings(), std::vector<CString>{L"Fatal Error"});
    }
    // Another thread's lines are not this thread's capture's.
    std::thread([] { LogStringColor(1202, 0xFFFF0000u); }).join();
    LogStringColor(1203, 0xFF00FF00u);
    ASSERT_EQ(outer.GetLines().size(), 2u);
    EXPECT_FALSE(outer.GetLines()[0].coloured);
    EXPECT_EQ(outer.GetWarnings(), std::vector<CString>{L"Fatal Error"});
    EXPECT_EQ(outer.GetLines()[1].argb, 0xFF00FF00u);
  }
  ASSERT_EQ(g_handled.size(), 3u);
  EXPECT_FALSE(g_handled[0].coloured);
  EXPECT_EQ(g_handled[2].argb, 0xFF00FF00u);

  // With a main window the window takes the lines, not the handler.
  LXAppWindows::SetMainWindow(Make(), true);
  LogStringColor(1203, 0xFFFF0000u);
  EXPECT_EQ(g_handled.size(), 3u);
  EXPECT_EQ(Receivers(g_msgLogStringColor).size(), 1u);
  SetLogHandlerWithoutWindow(previous);
}

TEST_F(MessageFixture, StatusMessageReachesTheMainFrameWithPercentSignsDoubled) {
  HWND main = Make();
  LXAppWindows::SetMainWindow(main, true);
  ASSERT_TRUE(CStatus::EnableForThread());
  CStatus::SetMessage(L"%d%% read", 40);
  CStatus::DisableForThread();
  ASSERT_EQ(Receivers(g_msgStatusSetSubtitle).size(), 1u);
  EXPECT_EQ(g_received.back().text, L"40%% read");
  EXPECT_EQ(g_received.back().wParam, 1u);
}
