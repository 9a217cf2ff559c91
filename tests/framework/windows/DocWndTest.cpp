// The document window: lookup from a window while it closes, its identity, its creation flag and
// the options-applied message.
#include <gtest/gtest.h>

#include <QApplication>

#include "LXDocWnd.h"
#include "LXMessage.h"
#include "WidgetApp.h"

namespace {
void EnsureQt() { qlwtest::EnsureWidgetApp("test_windows"); }

class TestDocWnd : public CLXDocWnd {
 public:
  bool HasPatterns() override { return false; }
  bool IsEmptyWindow() override { return true; }
  void SaveWindowPlacement() override {}
  void OnOptionsApplied(WPARAM wParam, LPARAM lParam) override {
    ++applied;
    lastW = wParam, lastL = lParam;
  }
  int applied = 0;
  WPARAM lastW = 0;
  LPARAM lastL = 0;
};

RPC_STATUS FailingUuid(UUID* uuid) {
  uuid->Data1 = 0x12345678;  // whatever it left behind must not survive
  return 1824;
}
}  // namespace

TEST(LXDocWnd, FromWindowWhileClosing) {
  EnsureQt();
  // Frames delete themselves when their window goes.
  auto* frame = new TestDocWnd;
  TestDocWnd& main = *frame;
  EXPECT_FALSE(main.m_bCreated);
  ASSERT_TRUE(main.Create(nullptr, L"Main"));
  EXPECT_TRUE(main.m_bCreated);
  LXAppWindows::SetMainWindow(main.m_hWnd, true);
  CWnd control;
  ASSERT_TRUE(control.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, &main, 100));

  EXPECT_EQ(CLXDocWnd::FromWindow(&control), &main);
  EXPECT_EQ(CLXDocWnd::FromWindow(nullptr), &main);
  main.m_bClosing = true;
  EXPECT_EQ(CLXDocWnd::FromWindow(&control), nullptr) << "a closing window is no target, and not replaced by the main one";
  EXPECT_EQ(CLXDocWnd::FromWindow(nullptr), &main) << "the main window is answered even while closing";
  main.m_bClosing = false;
  control.DestroyWindow();
  LXAppWindows::SetMainWindow(nullptr, false);
  main.DestroyWindow();
}

TEST(LXDocWnd, EachWindowHasItsOwnUuidAndNilWhenCreationFails) {
  TestDocWnd a, b;
  RPC_STATUS status = 0;
  EXPECT_FALSE(UuidIsNil(&a.m_uuid, &status));
  EXPECT_FALSE(UuidEqual(&a.m_uuid, &b.m_uuid, &status));
  CLXDocWnd::SetUuidMaker(&FailingUuid);
  TestDocWnd failed;
  CLXDocWnd::SetUuidMaker(nullptr);
  EXPECT_TRUE(UuidIsNil(&failed.m_uuid, &status));
}

TEST(LXDocWnd, OptionsAppliedReachesTheWindowInBothForms) {
  EnsureQt();
  auto* frame = new TestDocWnd;
  TestDocWnd& w = *frame;
  ASSERT_TRUE(w.Create(nullptr, L"W"));
  EXPECT_EQ(w.SendMessage(g_msgOptionsAppliedSync, 3, 4), 1);
  EXPECT_EQ(w.SendMessage(g_msgOptionsAppliedAsync, 5, 6), 1);
  EXPECT_EQ(w.applied, 2);
  EXPECT_EQ(w.lastW, 5u);
  EXPECT_EQ(w.lastL, 6);
  w.DestroyWindow();
}
