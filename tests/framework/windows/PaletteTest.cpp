// The palette window: snapping arithmetic, anchor edges, visibility with the program's activation,
// closing, Escape, and the record it shares with the palettes of another process.
#include "LXPalette.h"
#include "WidgetApp.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "LXMessage.h"
#include "Preferences.h"
#include "../../platform/ProcessTestSupport.h"
#include "ResourceText.h"

namespace {
constexpr UINT kTemplate = 7311;

void EnsureApp() {
  qlwtest::EnsureWidgetApp("test_windows");
  static bool added = false;
  if (added) return;
  added = true;
  std::string error;
  EXPECT_TRUE(qlw::AddResourceText("DIALOG 7311 \"Palette\"\n"
                                   "  EDIT 12090 \"\"\n"
                                   "END\n"
                                   "DIALOG 7312 \"Applying palette\"\n"
                                   "  EDIT 12090 \"\"\n"
                                   "  BUTTON 1 \"Apply\" DEFAULT\n"
                                   "END\n",
                                   &error))
      << error;
}

void EnsureStore() {
  if (!g_pPreferences) CPreferences::Create(true);
}

// A palette whose record is a kind UUID and a number.
struct Record {
  GUID kind;
  int32_t value;
};
constexpr GUID kKind = {0x1234abcd, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};

class TestPalette : public CLXPalette {
 public:
  TestPalette(size_t recordSize = sizeof(Record)) : CLXPalette(kTemplate), m_recordSize(recordSize) {}
  UINT GetTemplateID() override { return kTemplate; }
  void SaveState() override { ++saves; }
  size_t GetSyncStateSize() override { return m_recordSize; }
  void FillSyncState(void* view) override {
    std::memset(view, 0, m_recordSize);
    if (m_recordSize >= sizeof(Record)) *static_cast<Record*>(view) = Record{kKind, value};
  }
  void ReadSyncState(const void* view) override {
    const auto* record = static_cast<const Record*>(view);
    if (record->kind == kKind) read = record->value;
  }
  int saves = 0;
  int value = 0;
  int read = -1;

 private:
  size_t m_recordSize;
};

// Ends a child left running by a failed check.
struct ChildEnder {
  qlwtest::Child& child;
  ~ChildEnder() {
    if (child.pid > 0 && child.reportFd >= 0) kill(child.pid, SIGKILL), qlwtest::WaitChild(child);
  }
};

// Child job: shows a palette of the same kind and reports its handle, then, once told to stop
// (the palette's WM_CLOSE), the value it has read from the shared record.
int ServePalette() {
  qlwtest::EnsureWidgetApp("palette_child");
  std::string error;
  qlw::AddResourceText("DIALOG 7311 \"Palette\"\nEND\n", &error);
  if (!qlw::StartWindowServer()) return 2;
  struct Quitting : TestPalette {
    Quitting() : TestPalette(qlwtest::ChildArg() == "short" ? 8 : sizeof(Record)) {}
    void OnClose() {
      char text[16];
      std::snprintf(text, sizeof text, "V%08d", read);
      qlwtest::ChildReport(text);
      QApplication::quit();
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == WM_CLOSE) {
        OnClose();
        return 0;
      }
      return TestPalette::WindowProc(message, wParam, lParam);
    }
  };
  auto* palette = new Quitting;
  palette->CreatePalette(nullptr, 1);
  char handle[32];
  std::snprintf(handle, sizeof handle, "R%08llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(palette->m_hWnd)));
  qlwtest::ChildReport(handle);
  QApplication::exec();
  return 3;
}

// Started once every static object exists (the message ids among them), before any test runs.
class ChildJobRunner : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* job = qlwtest::ChildJob();
    if (job && std::strcmp(job, "serve-palette") == 0) _exit(ServePalette());
  }
};
const auto* g_childJob = ::testing::AddGlobalTestEnvironment(new ChildJobRunner);

RECT R(int l, int t, int r, int b) { return RECT{l, t, r, b}; }
}  // namespace

TEST(LXPalette, SnapsWithinSClingsUntil3sThenFollows) {
  const int s = CLXPalette::SnapDistance();
  ASSERT_EQ(s, 2);
  struct Case {
    const char* what;
    int left, top, right, bottom;  // anchor deltas of the proposed rectangle
    POINT drag;
    bool sizing;
    RECT proposed, expected;
    bool snapped;
  };
  const RECT now = R(100, 100, 200, 180);
  const Case cases[] = {
      {"left edge 2 px off snaps", -2, INT_MAX, INT_MAX, INT_MAX, {4, 0}, false, R(104, 100, 204, 180),
       R(102, 100, 202, 180), true},
      {"right edge used when left is far", 40, INT_MAX, 1, INT_MAX, {4, 0}, false, R(104, 100, 204, 180),
       R(105, 100, 205, 180), true},
      {"top and bottom: top first", INT_MAX, 2, INT_MAX, -1, {0, 4}, false, R(100, 104, 200, 184),
       R(100, 106, 200, 186), true},
      {"3 px is too far: clings below 3 s", INT_MAX, 3, INT_MAX, INT_MAX, {0, 5}, false, R(100, 105, 200, 185),
       R(100, 100, 200, 180), false},
      {"tears loose at 3 s", INT_MAX, 3, INT_MAX, INT_MAX, {0, 6}, false, R(100, 106, 200, 186),
       R(100, 106, 200, 186), false},
      {"no edges at all: follows a long drag", INT_MAX, INT_MAX, INT_MAX, INT_MAX, {-30, 12}, false,
       R(70, 112, 170, 192), R(70, 112, 170, 192), false},
      {"sizing snaps each edge on its own", INT_MAX, INT_MAX, -2, 1, {3, 3}, true, R(100, 100, 203, 183),
       R(100, 100, 201, 184), true},
      {"sizing clings the dragged edge", INT_MAX, INT_MAX, 5, INT_MAX, {4, 0}, true, R(100, 100, 204, 180),
       R(100, 100, 200, 180), false},
      {"sizing tears the dragged edge loose", INT_MAX, INT_MAX, 5, INT_MAX, {7, 0}, true, R(100, 100, 207, 180),
       R(100, 100, 207, 180), false},
  };
  for (const Case& c : cases) {
    CLXAnchorEdges edges;
    edges.left = c.left, edges.top = c.top, edges.right = c.right, edges.bottom = c.bottom;
    RECT rect = c.proposed;
    EXPECT_EQ(CLXPalette::SnapRect(rect, now, edges, c.drag, c.sizing), c.snapped) << c.what;
    EXPECT_TRUE(EqualRect(&rect, &c.expected)) << c.what << ": " << rect.left << "," << rect.top << ","
                                               << rect.right << "," << rect.bottom;
  }
}

TEST(LXPalette, AnchorDeltasFaceTheWindowAcrossAndAlwaysTheScreen) {
  const RECT screen = R(0, 0, 1000, 800);
  const RECT main = R(100, 100, 600, 500);
  CLXAnchorEdges edges;
  // Beside the main window's right edge, overlapping it vertically.
  CLXPalette::ComputeAnchorDeltas(R(603, 200, 803, 400), &screen, 1, &main, 1, edges);
  EXPECT_EQ(edges.left, -3);
  EXPECT_EQ(edges.right, 197);  // the screen's right edge
  EXPECT_EQ(edges.top, -200);   // beside the window its top is no edge across: the screen's is
  // Above the main window: its vertical edges do not face the palette, its top edge does.
  CLXPalette::ComputeAnchorDeltas(R(300, 10, 500, 60), &screen, 1, &main, 1, edges);
  EXPECT_EQ(edges.left, -300);
  EXPECT_EQ(edges.bottom, 40);
  // Nothing to meet: every delta says so instead of a zero that would read as "snap here".
  CLXPalette::ComputeAnchorDeltas(R(603, 10, 803, 60), nullptr, 0, nullptr, 0, edges);
  EXPECT_EQ(edges.left, INT_MAX);
  EXPECT_EQ(edges.top, INT_MAX);
  EXPECT_EQ(edges.right, INT_MAX);
  EXPECT_EQ(edges.bottom, INT_MAX);
}

TEST(LXPalette, FollowsActivationClosesToHiddenAndIgnoresEscape) {
  EnsureApp();
  EnsureStore();
  auto* palette = new TestPalette;
  ASSERT_EQ(palette->CreatePalette(nullptr, 1), palette);
  const HWND hwnd = palette->m_hWnd;
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_TRUE(palette->m_shown);
  EXPECT_GE(palette->saves, 1);

  // The program goes inactive: hidden, unless the preference keeps palettes up.
  CLXMsgGeneral(g_msgMainFrameActivate, 0, 0).Send(CLXMessage::kModeSync);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_FALSE(palette->m_activeLook);
  CLXMsgGeneral(g_msgMainFrameActivate, 1, 0).Send(CLXMessage::kModeSync);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  g_pStore->m_DontHidePalettes.Set(true);
  CLXMsgGeneral(g_msgMainFrameActivate, 0, 0).Send(CLXMessage::kModeSync);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  g_pStore->m_DontHidePalettes.Set(false);

  // Escape is the cancel command: nothing happens.
  palette->SendMessage(WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(IsWindowVisible(hwnd));

  // The close box hides; the window and its object stay.
  const int saves = palette->saves;
  palette->SendMessage(WM_CLOSE, 0, 0);
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_FALSE(palette->m_shown);
  EXPECT_EQ(palette->saves, saves + 1);
  // Not meant to be seen: the program's activation leaves it hidden.
  CLXMsgGeneral(g_msgMainFrameActivate, 1, 0).Send(CLXMessage::kModeSync);
  EXPECT_FALSE(IsWindowVisible(hwnd));

  // The modal path is not for palettes; destroying the window deletes the object.
  EXPECT_EQ(palette->DoModal(), 3);
  palette->DestroyWindow();
  EXPECT_FALSE(IsWindow(hwnd));
}

// A reset reloads the controls and leaves them to be applied: the palette's Apply button comes on.
TEST(LXPalette, AResetRefreshesAndMarksItModified) {
  EnsureApp();
  EnsureStore();
  struct Applying : TestPalette {
    UINT GetTemplateID() override { return 7312; }
    void RefreshControls() override {
      ++refreshes;
      TestPalette::RefreshControls();
    }
    int refreshes = 0;
  };
  auto* palette = new Applying;
  ASSERT_EQ(palette->CreatePalette(nullptr, 1), palette);
  CWnd* apply = palette->GetDlgItem(IDOK);
  ASSERT_NE(apply, nullptr);
  for (UINT message : {g_msgResetPaletteSync, g_msgResetPaletteAsync}) {
    palette->SetModified(false, true);
    ASSERT_FALSE(apply->IsWindowEnabled());
    const int before = palette->refreshes;
    EXPECT_EQ(palette->SendMessage(message, 0, 0), 1);
    EXPECT_EQ(palette->refreshes, before + 1);
    EXPECT_TRUE(palette->IsModified());
    EXPECT_TRUE(apply->IsWindowEnabled());
  }
  palette->DestroyWindow();
}

TEST(LXPalette, AFailedCreationLeavesNoWindowAndThrows) {
  EnsureApp();
  struct NoTemplate : TestPalette {
    UINT GetTemplateID() override { return 7399; }
  };
  auto* palette = new NoTemplate;  // deleted by the failure
  EXPECT_THROW(palette->CreatePalette(nullptr, 1), CLXException);
}

// The writer shares its record with the other process's palette, which adopts it; a record of
// another size is left unread, and a palette without a record tells nobody.
TEST(LXPalette, SharesItsRecordWithAnotherProcessesPalette) {
  EnsureApp();
  EnsureStore();
  struct Case {
    const char* mode;
    size_t writerSize;
    const char* read;
  };
  for (const Case& c : {Case{"full", sizeof(Record), "V00004242"}, Case{"short", sizeof(Record), "V-0000001"},
                        Case{"full", 0, "V-0000001"}}) {
    const char* mode = c.mode;
    qlwtest::Child child = qlwtest::StartChild("serve-palette", mode);
    ChildEnder ender{child};
    const std::string handle = qlwtest::ReadReport(child, 9);
    ASSERT_EQ(handle.size(), 9u) << mode;
    const HWND remote = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(handle.substr(1), nullptr, 16)));
    EXPECT_TRUE(GetWindowLongW(remote, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) << mode;

    auto* palette = new TestPalette(c.writerSize);
    palette->value = 4242;
    palette->CreatePalette(nullptr, 2);
    // Its own process's palettes are not asked to adopt it.
    EXPECT_EQ(palette->read, -1);
    PostMessageW(remote, WM_CLOSE, 0, 0);
    const std::string read = qlwtest::ReadReport(child, 9);
    EXPECT_EQ(read, c.read) << mode << " " << c.writerSize;
    EXPECT_EQ(qlwtest::WaitChild(child), 3);
    palette->DestroyWindow();
  }
}
