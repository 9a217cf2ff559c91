// The dialog base, the pane and the tooltip dialog: guards, the OK button, document-window
// messages, apply, tooltips, help, and the pane's host messages.
#include "DialogPane.h"
#include "WidgetApp.h"
#include "LXDocWnd.h"
#include "ToolTipDialog.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "LXMessage.h"
#include "ResourceText.h"

namespace {
constexpr UINT kTemplate = 7301;
constexpr UINT kOtherTemplate = 7302;  // shares both control ids, with tips of its own
constexpr int kTipControl = 12085;     // string 20585 is its tip text
constexpr int kNoTipControl = 12086;   // no string 20586

void EnsureApp() {
  qlwtest::EnsureWidgetApp("test_windows");
  // Once per process, whichever test made the application.
  static bool added = false;
  if (added) return;
  added = true;
  std::string error;
  EXPECT_TRUE(qlw::AddResourceText("DIALOG 7301 \"Dialog\"\n"
                                   "  EDIT 12085 \"\" TIP\n"
                                   "  EDIT 12086 \"\"\n"
                                   "  BUTTON 1 \"OK\" DEFAULT\n"
                                   "END\n"
                                   "DIALOG 7302 \"Other\"\n"
                                   "  EDIT 12085 \"\" TIP=20584\n"
                                   "  EDIT 12086 \"\" TIP=20585\n"
                                   "  BUTTON 1 \"OK\" DEFAULT\n"
                                   "END\n",
                                   &error))
      << error;
}

// A child that records the bus messages forwarded to it.
class Child : public CWnd {
 public:
  std::vector<UINT> got;
  LRESULT Record(WPARAM, LPARAM) {
    got.push_back(GetCurrentMessage()->message);
    return 1;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Child, CWnd)
  ON_REGISTERED_MESSAGE(g_msgDocWndActiveSync, &Child::Record)
  ON_REGISTERED_MESSAGE(g_msgDocWndModifiedSync, &Child::Record)
  ON_REGISTERED_MESSAGE(g_msgDocWndInactiveSync, &Child::Record)
  ON_REGISTERED_MESSAGE(g_msgDialogInitializedSync, &Child::Record)
END_MESSAGE_MAP()

// A document window that announces another window's activation when options are applied.
class Doc : public CLXDocWnd {
 public:
  std::function<void()> onApplied;
  int applied = 0;
  bool HasPatterns() override { return false; }
  bool IsEmptyWindow() override { return true; }
  void SaveWindowPlacement() override {}
  void OnOptionsApplied(WPARAM, LPARAM) override {}
  LRESULT OnApplied(WPARAM, LPARAM) {
    ++applied;
    if (onApplied) onApplied();
    return 1;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Doc, CLXDocWnd)
  ON_REGISTERED_MESSAGE(g_msgOptionsAppliedSync, &Doc::OnApplied)
END_MESSAGE_MAP()

class Probe : public CLXDialog {
 public:
  explicit Probe(CWnd* parent = nullptr) : CLXDialog(kTemplate, parent) {}
  UINT GetTemplateID() override { return kTemplate; }
  int refreshes = 0, updates = 0, applies = 0, helpCommands = 0;
  int helpAnswer = ID_DEFAULT_HELP;
  void RefreshControls() override {
    ++refreshes;
    CLXDialog::RefreshControls();
  }
  void UpdateControls(bool fromModel) override {
    ++updates;
    CLXDialog::UpdateControls(fromModel);
  }
  bool ApplyChanges() override {
    ++applies;
    return CLXDialog::ApplyChanges();
  }
  int GetHelpCommand(LPARAM) override { return helpAnswer; }
  BOOL OnCommand(WPARAM w, LPARAM l) override {
    if (LOWORD(w) == ID_DEFAULT_HELP) return ++helpCommands, TRUE;
    return CLXDialog::OnCommand(w, l);
  }
};

struct World {
  Doc main, other;
  World() {
    EnsureApp();
    EXPECT_TRUE(main.Create(nullptr, L"Main"));
    EXPECT_TRUE(other.Create(nullptr, L"Other"));
    LXAppWindows::SetMainWindow(main.m_hWnd, true);
  }
  ~World() { LXAppWindows::SetMainWindow(nullptr, false); }
};

void SendBus(CWnd& to, UINT id, CWnd* about) { to.SendMessage(id, 0, reinterpret_cast<LPARAM>(about)); }
}  // namespace

TEST(LXDialog, GuardsSkipWhenHeldAndReleaseCountsDown) {
  CLXReentryGuard g;
  EXPECT_TRUE(g.Take());
  EXPECT_FALSE(g.Take());
  EXPECT_EQ(g.count, 1);
  g.Release();
  EXPECT_FALSE(g.held);
  g.count = -3, g.held = true;
  g.Release();
  EXPECT_EQ(g.count, 0);
  EXPECT_FALSE(g.held);
  g.count = 2, g.held = true;
  g.Release();
  EXPECT_EQ(g.count, 1);
  EXPECT_TRUE(g.held);
}

TEST(LXDialog, InitialisationAdoptsTheMainDocumentWindowAndDisablesOK) {
  World w;
  Probe d;
  d.RefreshControls();  // before the controls exist: the guard keeps the target unset
  EXPECT_EQ(d.GetTarget(), nullptr);
  Child child;
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  EXPECT_EQ(d.GetTarget(), &w.main);
  EXPECT_FALSE(d.m_refreshGuard.held);
  ASSERT_NE(d.GetOKButton().m_hWnd, nullptr);
  EXPECT_FALSE(d.GetOKButton().IsWindowEnabled());
  EXPECT_NE(d.SendMessage(WM_GETICON, ICON_BIG, 0), 0);  // the program's icon
  d.DestroyWindow();
}

TEST(LXDialog, SetModifiedFollowsItsArguments) {
  World w;
  Probe d;
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  struct Case {
    bool modified, force, flagAfter;
  } cases[] = {{true, false, true}, {false, false, true}, {false, true, false}, {false, false, false}, {true, true, true}};
  for (const auto& c : cases) {
    d.SetModified(c.modified, c.force);
    EXPECT_EQ(d.IsModified(), c.flagAfter) << c.modified << c.force;
    EXPECT_EQ(d.GetOKButton().IsWindowEnabled() != FALSE, c.flagAfter) << c.modified << c.force;
  }
  // (false, false) only brings the button back into line with a set flag.
  d.m_modified = true;
  d.GetOKButton().EnableWindow(FALSE);
  d.SetModified(false, false);
  EXPECT_TRUE(d.GetOKButton().IsWindowEnabled());
  d.DestroyWindow();
}

TEST(LXDialog, DocumentWindowMessagesAdoptDropAndForward) {
  World w;
  Probe d;
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  Child child;
  ASSERT_TRUE(child.CreateEx(0, nullptr, L"", WS_CHILD, CRect(0, 0, 5, 5), &d, 77));
  const int refreshes = d.refreshes;

  // Modified for another window: nothing, nothing forwarded.
  SendBus(d, g_msgDocWndModifiedSync, &w.other);
  EXPECT_EQ(d.updates, 0);
  EXPECT_TRUE(child.got.empty());
  // Modified for the target: update and forward.
  SendBus(d, g_msgDocWndModifiedSync, &w.main);
  EXPECT_EQ(d.updates, 1);
  EXPECT_EQ(child.got, std::vector<UINT>{g_msgDocWndModifiedSync});
  // Another window activated (the main window now): adopted, forwarded, refreshed.
  LXAppWindows::SetMainWindow(w.other.m_hWnd, true);
  SendBus(d, g_msgDocWndActiveSync, &w.other);
  EXPECT_EQ(d.GetTarget(), &w.other);
  EXPECT_EQ(d.refreshes, refreshes + 1);
  EXPECT_EQ(child.got.back(), g_msgDocWndActiveSync);
  // A closing window is never adopted.
  w.main.m_bClosing = true;
  SendBus(d, g_msgDocWndActiveSync, &w.main);
  EXPECT_EQ(d.GetTarget(), &w.other);
  w.main.m_bClosing = false;
  // The target deactivated: dropped, forwarded, and the refresh takes the main window's.
  LXAppWindows::SetMainWindow(w.main.m_hWnd, true);
  SendBus(d, g_msgDocWndInactiveSync, &w.other);
  EXPECT_EQ(d.GetTarget(), &w.main);
  EXPECT_EQ(child.got.back(), g_msgDocWndInactiveSync);
  d.DestroyWindow();
}

TEST(LXDialog, ActivationCausedByItsOwnApplyDoesNotRefreshIt) {
  World w;
  Probe d;
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  w.main.onApplied = [&] { SendBus(d, g_msgDocWndActiveSync, &w.other); };
  const int refreshes = d.refreshes;
  d.SetModified(true, true);
  EXPECT_TRUE(d.ApplyChanges());
  EXPECT_EQ(w.main.applied, 1);
  EXPECT_EQ(d.refreshes, refreshes);
  EXPECT_EQ(d.GetTarget(), &w.main);
  EXPECT_FALSE(d.IsModified());
  EXPECT_FALSE(d.m_applyGuard.held);
  d.DestroyWindow();
}

TEST(LXDialog, OKAppliesOnlyWhenTheDialogManagesItsButton) {
  World w;
  Probe managing, plain;
  plain.m_manageOKButton = false;
  ASSERT_TRUE(managing.Create(kTemplate, nullptr));
  ASSERT_TRUE(plain.Create(kTemplate, nullptr));
  EXPECT_EQ(plain.GetOKButton().m_hWnd, nullptr);
  plain.SendMessage(WM_COMMAND, IDOK, 0);
  EXPECT_EQ(plain.applies, 0);
  EXPECT_TRUE(::IsWindow(plain.m_hWnd));
  managing.SetModified(true, true);
  managing.SendMessage(WM_COMMAND, IDOK, 0);
  EXPECT_EQ(managing.applies, 1);
  EXPECT_EQ(w.main.applied, 1);
  plain.DestroyWindow();
  if (::IsWindow(managing.m_hWnd)) managing.DestroyWindow();
}

// A tip belongs to a template and a control together: the same control id in another template
// shows that template's tip, or none.
TEST(LXDialog, TooltipsAreKeyedByTemplateAndControlWithinWidthBounds) {
  World w;
  Probe d, other;
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  ASSERT_TRUE(other.Create(kOtherTemplate, nullptr));
  auto ask = [&](Probe& dialog, int control, LRESULT* result) {
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = nullptr;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialog.m_hWnd, control));
    info.hdr.code = TTN_NEEDTEXTW;
    info.uFlags = TTF_IDISHWND;
    BOOL answered = dialog.OnNotify(0, reinterpret_cast<LPARAM>(&info), result);
    return std::pair<BOOL, CString>(answered, info.lpszText ? CString(info.lpszText) : CString());
  };
  const struct {
    Probe& dialog;
    int control;
    UINT stringId;  // 0: no tip
  } cases[] = {{d, kTipControl, 20585}, {d, kNoTipControl, 0}, {other, kTipControl, 20584}, {other, kNoTipControl, 20585}};
  for (const auto& c : cases) {
    LRESULT result = 99;
    auto tip = ask(c.dialog, c.control, &result);
    CString expected;
    if (c.stringId != 0) ASSERT_TRUE(LoadString(c.stringId, expected));
    EXPECT_EQ(tip.first, c.stringId != 0) << c.dialog.m_nIDHelp << " " << c.control;
    EXPECT_EQ(tip.second, expected) << c.dialog.m_nIDHelp << " " << c.control;
    EXPECT_EQ(result, 0);
  }
  CString none;
  EXPECT_FALSE(d.GetToolTipText(static_cast<UINT>(-1), none));
  // 144 and 288 points at 96 pixels an inch.
  struct Case {
    int client, width;
  } widths[] = {{0, 192}, {300, 192}, {900, 300}, {3000, 384}};
  for (const auto& c : widths) EXPECT_EQ(CToolTipHelper::MaxTipWidth(c.client), c.width) << c.client;
  d.DestroyWindow();
  other.DestroyWindow();
}

TEST(LXDialog, HelpContextWithoutCommandRunsNothing) {
  World w;
  Probe d;
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  d.helpAnswer = -1;
  EXPECT_EQ(d.SendMessage(WM_COMMANDHELP, 0, 5), 1);
  qlw::ProcessPendingMessages();
  EXPECT_EQ(d.helpCommands, 0);
  d.helpAnswer = ID_DEFAULT_HELP;
  d.SendMessage(WM_COMMANDHELP, 0, 5);
  EXPECT_EQ(d.helpCommands, 0);  // asynchronous
  qlw::ProcessPendingMessages();
  EXPECT_EQ(d.helpCommands, 1);
  d.DestroyWindow();
}

TEST(ToolTipDialog, AnswersTooltipsOnlyAfterItsFirstInitialisation) {
  World w;
  CToolTipDialog d(kTemplate, nullptr);
  NMTTDISPINFOW info{};
  info.hdr.code = TTN_NEEDTEXTW;
  info.hdr.idFrom = kTipControl;
  LRESULT result = 99;
  EXPECT_FALSE(d.OnNotify(0, reinterpret_cast<LPARAM>(&info), &result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(info.lpszText, nullptr);
  ASSERT_TRUE(d.Create(kTemplate, nullptr));
  EXPECT_TRUE(d.OnNotify(0, reinterpret_cast<LPARAM>(&info), &result));
  ASSERT_NE(info.lpszText, nullptr);
  EXPECT_FALSE(CString(info.lpszText).IsEmpty());
  d.DestroyWindow();
}

namespace {
class Pane : public CDialogPane {
 public:
  Pane() = default;
  UINT GetTemplateID() override { return kTemplate; }
  int refreshes = 0;
  void RefreshControls() override {
    ++refreshes;
    CLXDialog::RefreshControls();
  }
};
class Host : public CWnd {
 public:
  std::vector<std::pair<WPARAM, LPARAM>> paneModified;
  std::vector<WPARAM> commands;
  LRESULT OnPaneModified(WPARAM w, LPARAM l) { return paneModified.emplace_back(w, l), 1; }
  BOOL OnCommand(WPARAM w, LPARAM) override { return commands.push_back(w), TRUE; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Host, CWnd)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedSync, &Host::OnPaneModified)
END_MESSAGE_MAP()
}  // namespace

TEST(DialogPane, NeverModal) {
  World w;
  Pane p;
  EXPECT_EQ(p.DoModal(), IDABORT);
  EXPECT_EQ(p.m_hWnd, nullptr);
}

TEST(DialogPane, ResetRefreshesMarksModifiedAndTellsTheHost) {
  World w;
  Host host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  Pane p;
  ASSERT_TRUE(p.Create(kTemplate, &host));
  EXPECT_TRUE(p.m_created);
  EXPECT_TRUE(p.GetStyle() & WS_CHILD);
  const int refreshes = p.refreshes;
  host.paneModified.clear();
  p.SendMessage(g_msgResetPaneSync, 0, 0);
  EXPECT_EQ(p.refreshes, refreshes + 1);
  EXPECT_TRUE(p.IsModified());
  EXPECT_TRUE(p.GetOKButton().IsWindowEnabled());
  ASSERT_FALSE(host.paneModified.empty());
  EXPECT_EQ(host.paneModified.back(), (std::pair<WPARAM, LPARAM>(1, reinterpret_cast<LPARAM>(p.m_hWnd))));
  // OK and Cancel go to the host.
  p.OnOK();
  p.OnCancel();
  qlw::ProcessPendingMessages();
  EXPECT_EQ(host.commands, (std::vector<WPARAM>{IDOK, IDCANCEL}));
  p.DestroyWindow();
}

TEST(DialogPane, ShowingAVisiblePaneOrActivatingFromAnotherWindowDoesNotRefresh) {
  World w;
  Host host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  host.ShowWindow(SW_SHOW);
  Pane p;
  ASSERT_TRUE(p.Create(kTemplate, &host));
  int refreshes = p.refreshes;
  p.SendMessage(WM_SHOWWINDOW, TRUE, 0);
  EXPECT_EQ(p.refreshes, refreshes + 1);  // hidden until now
  p.ShowWindow(SW_SHOW);
  refreshes = p.refreshes;
  p.SendMessage(WM_SHOWWINDOW, TRUE, 0);
  EXPECT_EQ(p.refreshes, refreshes);
  p.SendMessage(WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(w.other.m_hWnd));
  EXPECT_EQ(p.refreshes, refreshes);
  p.SendMessage(WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(w.main.m_hWnd));
  EXPECT_EQ(p.refreshes, refreshes + 1);
  p.DestroyWindow();
}
