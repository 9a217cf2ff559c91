// The diffraction window's toolbar on real widgets: the default row and its separators, the
// metrics of each display mode, the context and overflow menus, the state kept in the
// preferences across a restart (and a damaged one), and the idle update that repaints only on a
// change.
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DiffractWnd.h"
#include "DiffractionSettings.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "QlwToolbar.h"
#include "WidgetApp.h"

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
using Item = CLXToolbar::Item;

LXToolCode Code(const char* s) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

// A document on rutile and its window; the preferences are fresh unless `readStored`, which
// reads what an earlier window saved, as the next start of the program does.
class Window {
 public:
  explicit Window(bool readStored = false, void (*prefs)(CPreferences&) = nullptr) {
    qlwtest::EnsureWidgetApp("test_mainwnd");
    InstallFileTypeRecogniser();
    CPreferences::Create(!readStored);
    if (!readStored) {
      // The registry is shared by the tests of this program: start each from the defaults, as
      // a program that has run before (a stored version) so that the next start reads them.
      g_pPreferences->m_PrefsVersion.Write();
      g_pPreferences->m_ToolbarState.Write();
      for (auto* value : {&g_pPreferences->m_ToolbarShowIcon, &g_pPreferences->m_ToolbarShowText,
                          &g_pPreferences->m_ToolbarLarge, &g_pPreferences->m_ToolbarVis})
        value->Write();
    }
    g_pPreferences->m_MainFrameRect.Set(CRect(0, 0, 1000, 600));
    if (prefs) prefs(*g_pPreferences);
    m_template = std::make_unique<CLXDocTemplate>(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd),
                                                  RUNTIME_CLASS(CGraphicsPane));
    const CString file(kRutile.c_str());
    doc = dynamic_cast<CQlwDoc*>(m_template->OpenDocumentFile(file.GetString(), TRUE));
    if (!doc) return;
    wnd = dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd());
    if (!wnd) return;
    LXAppWindows::SetMainWindow(wnd->m_hWnd, true);
    wnd->SendMessage(g_msgInitialOpen, 0, 0);
    QApplication::processEvents();
    QApplication::processEvents();
    bar = dynamic_cast<CQlwToolbar*>(wnd->GetToolbar());
  }
  ~Window() {
    if (wnd && wnd->m_hWnd) wnd->DestroyWindow();
    LXAppWindows::SetMainWindow(nullptr, false);
    m_template.reset();
  }
  // A command chosen from one of the toolbar's menus.
  void Choose(UINT id) {
    bar->SendMessage(WM_COMMAND, id, 0);
    QApplication::processEvents();
  }
  const Item& At(size_t i) const { return bar->GetItems().at(i); }
  std::vector<size_t> ShownSeparators() const {
    std::vector<size_t> found;
    for (size_t i = 0; i < bar->GetItems().size(); ++i)
      if (!At(i).button && At(i).shown) found.push_back(i);
    return found;
  }
  size_t ShownButtons() const {
    size_t n = 0;
    for (const Item& item : bar->GetItems()) n += item.button && item.shown && item.button->IsWindowVisible() ? 1 : 0;
    return n;
  }
  bool Visible(const char* code) const {
    for (const Item& item : bar->GetItems())
      if (item.code == Code(code)) return item.visible;
    ADD_FAILURE() << "no item " << code;
    return false;
  }

  CQlwDoc* doc = nullptr;
  CDiffractWnd* wnd = nullptr;
  CQlwToolbar* bar = nullptr;

 private:
  std::unique_ptr<CLXDocTemplate> m_template;
};

std::vector<Item> Row(const char* pattern) {
  // One character an item: 'b' a visible button, '.' a hidden one, 'f' a fixed and 'x' a
  // flexible separator.
  std::vector<Item> items;
  for (const char* p = pattern; *p; ++p) {
    Item item;
    item.code = *p == 'f' ? kToolSepFixed : *p == 'x' ? kToolSepFlex : LXMakeToolCode("butn");
    item.visible = *p != '.';
    items.push_back(item);
  }
  return items;
}

std::string Visibility(const std::vector<Item>& items) {
  std::string out;
  for (const Item& item : items) out += item.visible ? '1' : '0';
  return out;
}
}  // namespace

TEST(QlwToolbar, DefaultRowShowsFifteenButtonsAndFourSeparators) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  EXPECT_TRUE(w.bar->IsWindowVisible());
  ASSERT_EQ(w.bar->GetItems().size(), CQlwToolbar::kDefaultCount);
  EXPECT_EQ(w.ShownSeparators(), (std::vector<size_t>{2, 7, 21, 24}));
  EXPECT_EQ(w.ShownButtons(), 15u);
  EXPECT_FALSE(w.bar->IsOverflowShown());
  // The bar sits above the splitter and spans the client area.
  RECT bar{}, client{};
  w.bar->GetWindowRect(&bar);
  w.wnd->ScreenToClient(&bar);
  w.wnd->GetClientRect(&client);
  EXPECT_EQ(bar.top, 0);
  EXPECT_EQ(bar.right - bar.left, client.right);
  EXPECT_EQ(w.bar->GetItemCode(1450), kToolNull);
  EXPECT_EQ(w.bar->GetItemCode(1451), kToolSepFixed);
  EXPECT_EQ(w.bar->GetItemCode(1452), kToolSepFlex);
  EXPECT_EQ(w.bar->GetItemCode(3823), LXMakeToolCode("ptyp"));
}

TEST(QlwToolbar, SeparatorRuleKeepsOneSeparatorBetweenVisibleItems) {
  struct Case {
    const char* row;
    const char* visible;
  } cases[] = {
      // Hiding curs to tips of the default row: the flexible separator stays, the fixed one goes.
      {"bbx....fbb", "1110000011"},
      // A run of separators: a flexible one wins, otherwise the last fixed one.
      {"bffb", "1011"},
      {"bfxfb", "10101"},
      {"bf.f.b", "100101"},
      {"bx.f.b", "110001"},
      // Never at either end of the row.
      {"fxb.fb.x", "00101100"},
      {"f.x", "000"},
  };
  for (const Case& c : cases) {
    std::vector<Item> items = Row(c.row);
    CLXToolbar::NormaliseSeparators(items);
    EXPECT_EQ(Visibility(items), c.visible) << c.row;
  }
}

TEST(QlwToolbar, HidingCursorToTipsKeepsTheFlexibleSeparator) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  for (size_t index = 3; index <= 6; ++index) w.Choose(CLXToolbar::kCmdItemFirst + static_cast<UINT>(index));
  EXPECT_EQ(w.ShownSeparators(), (std::vector<size_t>{2, 21, 24}));
  EXPECT_EQ(w.ShownButtons(), 11u);
}

TEST(QlwToolbar, MetricsFollowSizeAndDisplayMode) {
  struct Case {
    bool large, icons, text;
    int itemWidth, itemHeight, barHeight;
    bool labels;
  } cases[] = {
      {false, true, false, 36, 28, 35, false},
      {true, true, false, 46, 36, 45, false},
  };
  for (const Case& c : cases) {
    static const Case* s_case;
    s_case = &c;
    Window w(false, [](CPreferences& p) {
      p.m_ToolbarLarge.Set(s_case->large);
      p.m_ToolbarShowIcon.Set(s_case->icons);
      p.m_ToolbarShowText.Set(s_case->text);
    });
    ASSERT_NE(w.bar, nullptr);
    const auto& m = w.bar->GetMetrics();
    EXPECT_EQ(m.itemWidth, c.itemWidth) << c.large;
    EXPECT_EQ(m.itemHeight, c.itemHeight) << c.large;
    EXPECT_EQ(w.bar->GetBarHeight(), c.barHeight) << c.large;
    EXPECT_EQ(w.bar->ShowsLabels(), c.labels);
    RECT client{};
    w.bar->GetClientRect(&client);
    EXPECT_EQ(client.bottom, c.barHeight);
  }
  // Labels add their band to the height; text alone drops the icon from it.
  Window both;
  ASSERT_NE(both.bar, nullptr);
  const int labelled = both.bar->GetBarHeight();
  EXPECT_GT(labelled, 35);
  both.Choose(CLXToolbar::kCmdTextOnly);
  EXPECT_FALSE(both.bar->ShowsLabels());
  EXPECT_LT(both.bar->GetMetrics().itemHeight, 28);
  EXPECT_LT(both.bar->GetBarHeight(), 35);
}

TEST(QlwToolbar, DisplayModeCommandsChangeOnlyWhatDiffersAndAreWrittenAtOnce) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  w.Choose(CLXToolbar::kCmdIconOnly);
  EXPECT_FALSE(g_pPreferences->m_ToolbarShowText.Get());
  // Already icons only: nothing to lay out again.
  unsigned before = w.bar->GetCounters().relayouts;
  w.Choose(CLXToolbar::kCmdIconOnly);
  EXPECT_EQ(w.bar->GetCounters().relayouts, before);
  w.Choose(CLXToolbar::kCmdTextOnly);
  before = w.bar->GetCounters().relayouts;
  w.Choose(CLXToolbar::kCmdTextOnly);
  EXPECT_EQ(w.bar->GetCounters().relayouts, before);
  w.Choose(CLXToolbar::kCmdSmallSize);
  EXPECT_TRUE(g_pPreferences->m_ToolbarLarge.Get());
  // What the store holds on disk is what the next start reads.
  CPreferences::Create(false);
  EXPECT_FALSE(g_pPreferences->m_ToolbarShowIcon.Get());
  EXPECT_TRUE(g_pPreferences->m_ToolbarShowText.Get());
  EXPECT_TRUE(g_pPreferences->m_ToolbarLarge.Get());
}

TEST(QlwToolbar, StandardToolsetHidesTheExtraItemsAndSurvivesARestart) {
  {
    Window w;
    ASSERT_NE(w.bar, nullptr);
    // Show Intensity - and hide Patterns, then ask for the standard set.
    w.Choose(CLXToolbar::kCmdItemFirst + 12);
    w.Choose(CLXToolbar::kCmdItemFirst + 0);
    EXPECT_TRUE(w.Visible("ctry"));
    EXPECT_FALSE(w.Visible("strc"));
    w.Choose(CQlwToolbar::kCmdStandardToolset);
    for (const char* code : {"ctry", "expy", "rest", "scrl", "scrr"}) EXPECT_FALSE(w.Visible(code)) << code;
    EXPECT_TRUE(w.Visible("strc"));
    // A change of the user's after it, kept for the next start.
    w.Choose(CLXToolbar::kCmdItemFirst + 20);
    EXPECT_TRUE(w.Visible("scrr"));
  }
  Window again(true);
  ASSERT_NE(again.bar, nullptr);
  EXPECT_TRUE(again.Visible("strc"));
  EXPECT_TRUE(again.Visible("scrr"));
  for (const char* code : {"ctry", "expy", "rest", "scrl"}) EXPECT_FALSE(again.Visible(code)) << code;
}

TEST(QlwToolbar, SavedStateRestoresVisibilityButNeverOrderAndRejectsDamage) {
  auto record = [](const char (&code)[5], uint8_t visible) {
    CLXToolbarInitRec rec{};
    const LXToolCode c = LXMakeToolCode(code);
    for (int i = 0; i < 4; ++i) rec.bytes[i] = static_cast<uint8_t>(c >> (8 * i));
    rec.bytes[4] = visible;
    return rec;
  };
  // Reordered, with an unknown code, a separator, and a visible byte that is not 1.
  { Window fresh; }
  CPreferences::Create(true);
  std::vector<CLXToolbarInitRec> saved{record("parm", 0), record("zzzz", 1), record("sepx", 0), record("ctry", 2)};
  g_pPreferences->m_ToolbarState.Swap(saved);
  g_pPreferences->m_ToolbarState.Write();
  {
    Window w(true);
    ASSERT_NE(w.bar, nullptr);
    EXPECT_FALSE(w.Visible("parm"));
    EXPECT_TRUE(w.Visible("ctry"));
    EXPECT_EQ(w.At(0).code, LXMakeToolCode("strc"));
    EXPECT_EQ(w.At(25).code, LXMakeToolCode("parm"));
    EXPECT_EQ(w.ShownSeparators(), (std::vector<size_t>{2, 7, 21}));
  }
  // A value cut inside a record is refused as a whole: the defaults stand.
  HKEY key = g_pPreferences->OpenKey();
  ASSERT_NE(key, nullptr);
  const uint8_t partial[13] = {'m', 'r', 't', 's', 0, 0, 0, 0, 'y', 'r', 't', 'c', 1};
  ASSERT_EQ(RegSetValueExW(key, L"ToolbarState", 0, REG_BINARY, partial, sizeof partial), ERROR_SUCCESS);
  RegCloseKey(key);
  Window damaged(true);
  ASSERT_NE(damaged.bar, nullptr);
  EXPECT_TRUE(damaged.Visible("strc"));
  EXPECT_FALSE(damaged.Visible("ctry"));
  EXPECT_EQ(damaged.ShownButtons(), 15u);
}

TEST(QlwToolbar, NarrowWindowMovesTheLastItemsIntoTheOverflowMenu) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  RECT full{};
  w.bar->GetWindowRect(&full);
  w.wnd->ScreenToClient(&full);
  // Narrower than the window allows: the bar alone is resized.
  w.bar->MoveWindow(0, 0, 400, full.bottom - full.top);
  ASSERT_TRUE(w.bar->IsOverflowShown());
  EXPECT_TRUE(w.bar->GetOverflowButton().IsWindowVisible());
  EXPECT_FALSE(w.At(25).shown);
  EXPECT_TRUE(w.At(0).shown);
  // The menu starts at the first item that no longer fits, never with a separator.
  CMenu* popup = w.bar->GetOverflowMenu().GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  const int count = popup->GetMenuItemCount();
  ASSERT_GT(count, 0);
  EXPECT_NE(popup->GetMenuItemID(0), 0u);
  EXPECT_NE(popup->GetMenuItemID(count - 1), 0u);
  EXPECT_EQ(popup->GetMenuItemID(count - 1), CLXToolbar::kCmdOverflowFirst + 25);
  // Buttons placed in the row never reach under the overflow button.
  RECT overflow{};
  w.bar->GetOverflowButton().GetWindowRect(&overflow);
  w.bar->ScreenToClient(&overflow);
  for (const Item& item : w.bar->GetItems())
    if (item.shown && item.button) EXPECT_LE(item.buttonRect.right, overflow.left);
  w.bar->MoveWindow(&full);
  EXPECT_FALSE(w.bar->IsOverflowShown());
  EXPECT_FALSE(w.bar->GetOverflowButton().IsWindowVisible());
}

TEST(QlwToolbar, MenuCommandsPastTheItemsAreRefused) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  const size_t count = w.bar->GetItems().size();
  EXPECT_EQ(w.bar->GetItemIndexForMenuCommand(CLXToolbar::kCmdItemFirst + static_cast<UINT>(count) - 1),
            static_cast<int>(count) - 1);
  EXPECT_EQ(w.bar->GetItemIndexForMenuCommand(CLXToolbar::kCmdItemFirst + static_cast<UINT>(count)), -1);
  EXPECT_EQ(w.bar->GetItemIndexForOverflowCommand(CLXToolbar::kCmdOverflowFirst + static_cast<UINT>(count)), -1);
  EXPECT_EQ(w.bar->GetItemIndexForOverflowCommand(CLXToolbar::kCmdOverflowLast), -1);
  // A stale menu's entry past the end does nothing, and its update disables it.
  const std::string before = [&] {
    std::string s;
    for (const Item& item : w.bar->GetItems()) s += item.visible ? '1' : '0';
    return s;
  }();
  w.Choose(CLXToolbar::kCmdOverflowFirst + static_cast<UINT>(count) + 3);
  w.Choose(CLXToolbar::kCmdItemFirst + static_cast<UINT>(count) + 3);
  std::string after;
  for (const Item& item : w.bar->GetItems()) after += item.visible ? '1' : '0';
  EXPECT_EQ(after, before);
  struct Recorder : CCmdUI {
    bool enabled = true;
    void Enable(BOOL on) override { enabled = on != FALSE; }
  } recorder;
  recorder.m_nID = CLXToolbar::kCmdOverflowFirst + static_cast<UINT>(count);
  EXPECT_TRUE(w.bar->OnUpdateToolbarCommand(&recorder));
  EXPECT_FALSE(recorder.enabled);
}

TEST(QlwToolbar, IdleUpdateWithoutAChangeNeitherLaysOutNorRepaints) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  w.bar->OnUpdateCmdUI(w.wnd, TRUE);
  QApplication::processEvents();
  const auto before = w.bar->GetCounters();
  for (int i = 0; i < 3; ++i) w.bar->OnUpdateCmdUI(w.wnd, TRUE);
  QApplication::processEvents();
  EXPECT_EQ(w.bar->GetCounters().relayouts, before.relayouts);
  EXPECT_EQ(w.bar->GetCounters().repaints, before.repaints);
}

// The context menu's entry that toggles the item of the code (ids follow the item indices).
std::wstring ContextMenuEntry(CQlwToolbar& bar, const char* code) {
  const auto& items = bar.GetItems();
  CMenu* popup = bar.GetContextMenu().GetSubMenu(0);
  if (!popup) return L"(no menu)";
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].code != Code(code)) continue;
    CString text;
    popup->GetMenuString(static_cast<UINT>(32872 + i), text, MF_BYCOMMAND);
    return text.GetString();
  }
  return L"(no item)";
}

TEST(QlwToolbar, TogglesFollowTheSettingsWithTheirLabelsAndTooltips) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  CDiffractionSettings* s = w.wnd->GetDocSettings();
  ASSERT_NE(s, nullptr);
  struct Case {
    const char* code;
    std::uint8_t CDiffractionSettings::*flag;
    const wchar_t* on;
    const wchar_t* off;
  } cases[] = {
      {"ptyp", &CDiffractionSettings::m_filmMode, L"Display Graph", L"Display Film"},
      {"lnlg", &CDiffractionSettings::m_logarithmicYAxis, L"Use Lin Scale", L"Use Log Scale"},
      {"tips", &CDiffractionSettings::m_showPeakTips, L"Hide Tips", L"Show Tips"},
  };
  for (const Case& c : cases) {
    CLXToolButton* button = w.bar->ButtonOf(Code(c.code));
    ASSERT_NE(button, nullptr);
    for (const bool on : {true, false}) {
      s->*c.flag = on ? 1 : 0;
      w.bar->OnUpdateCmdUI(w.wnd, TRUE);
      EXPECT_EQ(button->IsChecked(), on) << c.code;
      CString text;
      button->GetWindowText(text);
      EXPECT_EQ(std::wstring(text.GetString()), on ? c.on : c.off) << c.code;
      // The context menu names the item as the button does now.
      EXPECT_EQ(ContextMenuEntry(*w.bar, c.code), on ? c.on : c.off) << c.code;
      // Always enabled, whatever the document says of the command.
      EXPECT_TRUE(button->IsWindowEnabled()) << c.code;
    }
  }
  CString tip;
  s->m_logarithmicYAxis = 1;
  w.bar->OnUpdateCmdUI(w.wnd, TRUE);
  ASSERT_TRUE(w.bar->GetToolTipText(3809, tip));
  EXPECT_EQ(std::wstring(tip.GetString()), L"Plot using a linear intensity scale");
  s->m_filmMode = 0;
  w.bar->OnUpdateCmdUI(w.wnd, TRUE);
  ASSERT_TRUE(w.bar->GetToolTipText(3813, tip));
  EXPECT_EQ(std::wstring(tip.GetString()), L"Display plot as a simulated film");
  ASSERT_TRUE(w.bar->GetToolTipText(3801, tip));
  EXPECT_EQ(std::wstring(tip.GetString()), L"Autoscale x and y axes");
}

// The plot's commands have keys of their own (table 1002), distinct and none a key of the frame's
// table; one typed on a toolbar button, or its character handed on by the plot, presses the item.
TEST(QlwToolbar, KeysOfTheTablePressTheirItems) {
  Window w;
  ASSERT_NE(w.bar, nullptr);
  std::set<wchar_t> characters;
  for (const char* code : {"curs", "dist", "loup", "mag+", "mag-", "ascy", "asxy", "stck", "unst"}) {
    const CLXToolDef* def = w.bar->FindDefinition(Code(code));
    ASSERT_NE(def, nullptr) << code;
    EXPECT_NE(def->shortcut, 0) << code;
    EXPECT_TRUE(characters.insert(def->shortcut).second) << code;
  }
  auto keys = [](UINT id) {
    HACCEL table = ::LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(id));
    std::vector<ACCEL> entries(static_cast<size_t>(std::max(0, ::CopyAcceleratorTableW(table, nullptr, 0))));
    ::CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
    return entries;
  };
  const std::vector<ACCEL> frame = keys(1000), toolbar = keys(CLXToolbar::kAcceleratorTable);
  ASSERT_FALSE(toolbar.empty());
  for (const ACCEL& a : toolbar)
    for (const ACCEL& b : frame)
      EXPECT_FALSE(a.key == b.key && (a.fVirt | FVIRTKEY) == (b.fVirt | FVIRTKEY)) << "command " << a.cmd;

  CRuler* ruler = w.wnd->GetDocSettings() ? w.wnd->GetDocSettings()->GetRuler(false) : nullptr;
  ASSERT_NE(ruler, nullptr);
  const bool before = ruler->IsActive();
  MSG key{w.bar->ButtonOf(Code("curs"))->m_hWnd, WM_KEYDOWN, 'R', 1, 0, {}};
  EXPECT_TRUE(w.bar->PreTranslateMessage(&key));
  QApplication::processEvents();
  EXPECT_NE(ruler->IsActive(), before);
  EXPECT_TRUE(w.bar->HandleShortcutKey(L'R'));
  QApplication::processEvents();
  EXPECT_EQ(ruler->IsActive(), before);
  EXPECT_FALSE(w.bar->HandleShortcutKey(L'q'));
}
