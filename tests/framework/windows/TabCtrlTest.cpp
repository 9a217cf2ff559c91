// The tab control with dialog pages, driven under a parent that records what it hears.
#include "LXTabCtrl.h"

#include <QApplication>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogPane.h"
#include "LXMessage.h"
#include "ResourceText.h"
#include "WidgetApp.h"
#include "WndQt.h"

namespace {
constexpr UINT kPageA = 7331, kPageB = 7332, kMissingPage = 7399;
constexpr UINT kTabId = 1500;

void EnsureApp() {
  qlwtest::EnsureWidgetApp("test_windows");
  // Once per process, whichever test made the application.
  static bool added = false;
  if (added) return;
  added = true;
  std::string error;
  EXPECT_TRUE(qlw::AddResourceText("DIALOG 7331 \"\"\n  CHECKBOX 7320 \"First\"\nEND\n"
                                   "DIALOG 7332 \"\"\n  EDIT 7321 \"\"\nEND\n",
                                   &error))
      << error;
}

void Pump() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

class Page : public CDialogPane {
 public:
  Page(UINT id, CWnd* parent) : CDialogPane(id, parent), m_id(id) {}
  UINT GetTemplateID() override { return m_id; }
  UINT m_id;
};

// The fake parent: the tab notifications in order, and the pane messages passed on to it
// (a page also sends one, unmodified, each time it is shown and refreshes).
class Parent : public CWnd {
 public:
  std::vector<std::string> heard;  // the tab notifications
  int panes = 0;
  WPARAM paneWParam = 0;
  LPARAM paneLParam = 0;
  void OnChanging(NMHDR*, LRESULT* result) {
    heard.push_back("changing");
    *result = 0;
  }
  void OnChange(NMHDR*, LRESULT* result) {
    heard.push_back("change");
    *result = 0;
  }
  LRESULT OnPane(WPARAM wParam, LPARAM lParam) {
    ++panes;
    paneWParam = wParam;
    paneLParam = lParam;
    return 7;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Parent, CWnd)
  ON_NOTIFY(TCN_SELCHANGING, kTabId, &Parent::OnChanging)
  ON_NOTIFY(TCN_SELCHANGE, kTabId, &Parent::OnChange)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedSync, &Parent::OnPane)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedAsync, &Parent::OnPane)
END_MESSAGE_MAP()

struct Fixture {
  Parent parent;
  CLXTabCtrl tabs;
  Page a{kPageA, &parent};
  Page b{kPageB, &parent};
  explicit Fixture(bool fitToPage = true) {
    EnsureApp();
    EXPECT_TRUE(parent.CreateEx(0, nullptr, L"Tabs", WS_OVERLAPPEDWINDOW, CRect(0, 0, 600, 500), nullptr, 0));
    parent.ShowWindow(SW_SHOW);
    tabs.m_fitToPage = fitToPage;
    EXPECT_TRUE(tabs.Create(WS_VISIBLE, CRect(10, 10, 410, 310), &parent, kTabId));
  }
  void AddBoth() {
    EXPECT_EQ(tabs.AddPage(L"A", kPageA, &a), 0);
    EXPECT_EQ(tabs.AddPage(L"B", kPageB, &b), 1);
  }
  int ItemHeight() {
    RECT item{};
    tabs.GetItemRect(0, &item);
    return item.bottom - item.top;
  }
};

bool Shown(CWnd& w) { return w.IsWindowVisible() != FALSE; }

RECT RectIn(CWnd& w, CWnd& in) {
  RECT r{};
  w.GetWindowRect(&r);
  in.ScreenToClient(&r);
  return r;
}
}  // namespace

TEST(LXTabCtrl, APageThatCannotBeMadeLeavesNoTab) {
  Fixture f;
  Page broken(kMissingPage, &f.parent);
  EXPECT_EQ(f.tabs.AddPage(L"A", kPageA, &f.a), 0);
  EXPECT_EQ(f.tabs.AddPage(L"Broken", kMissingPage, &broken), -1);
  EXPECT_EQ(f.tabs.GetItemCount(), 1);
  EXPECT_EQ(f.tabs.m_pages.size(), 1u);
  EXPECT_EQ(f.tabs.AddPage(L"B", kPageB, &f.b), 1);
  EXPECT_EQ(f.tabs.GetItemCount(), 2);
  EXPECT_EQ(f.a.GetParent()->m_hWnd, f.tabs.m_hWnd);
}

TEST(LXTabCtrl, ProgramAndClickSelectionsNotifyInOrderAndSwapThePages) {
  Fixture f;
  f.AddBoth();
  f.tabs.ShowPages();
  Pump();
  EXPECT_EQ(f.tabs.GetCurSel(), 0);
  EXPECT_EQ(f.tabs.GetCurrentPage(), &f.a);
  EXPECT_TRUE(Shown(f.a));
  EXPECT_FALSE(Shown(f.b));
  f.parent.heard.clear();

  // Selecting by the program: the parent hears both notifications, old page first hidden.
  EXPECT_EQ(f.tabs.SelectPage(kPageB), 1);
  EXPECT_EQ(f.tabs.GetCurSel(), 1);
  EXPECT_EQ(f.tabs.GetCurrentPage(), &f.b);
  EXPECT_FALSE(Shown(f.a));
  EXPECT_TRUE(Shown(f.b));
  EXPECT_EQ(f.parent.heard, (std::vector<std::string>{"changing", "change"}));

  // An id never added changes nothing and says nothing.
  f.parent.heard.clear();
  EXPECT_EQ(f.tabs.SelectPage(kMissingPage), -1);
  EXPECT_EQ(f.tabs.GetCurSel(), 1);
  EXPECT_TRUE(f.parent.heard.empty());

  // A click on a tab goes through the reflected notifications, and the parent hears them too.
  auto* bar = qlw::WidgetOf(f.tabs.m_hWnd)->findChild<QTabBar*>();
  ASSERT_NE(bar, nullptr);
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(0).center());
  Pump();
  EXPECT_EQ(f.tabs.GetCurSel(), 0);
  EXPECT_TRUE(Shown(f.a));
  EXPECT_FALSE(Shown(f.b));
  EXPECT_EQ(f.parent.heard, (std::vector<std::string>{"changing", "change"}));
}

TEST(LXTabCtrl, SetCurSelSelectsQuietlyAndRefusesIndicesPastTheLastTab) {
  Fixture f;
  f.AddBoth();
  f.tabs.ShowPages();
  f.parent.heard.clear();
  EXPECT_EQ(f.tabs.SetCurSel(2), -1);
  EXPECT_EQ(f.tabs.SetCurSel(-1), -1);
  EXPECT_EQ(f.tabs.GetCurSel(), 0);
  EXPECT_TRUE(Shown(f.a));
  EXPECT_EQ(f.tabs.SetCurSel(1), 1);
  EXPECT_EQ(f.tabs.GetCurSel(), 1);
  EXPECT_TRUE(Shown(f.b));
  EXPECT_FALSE(Shown(f.a));
  EXPECT_TRUE(f.parent.heard.empty());
}

TEST(LXTabCtrl, FitsItselfAroundTheCurrentPage) {
  Fixture f;
  f.AddBoth();
  f.a.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  f.b.SetWindowPos(nullptr, 0, 0, 250, 120, SWP_NOMOVE | SWP_NOZORDER);
  f.tabs.ShowPages();
  const int h = f.ItemHeight();
  ASSERT_GT(h, 0);
  const RECT page = RectIn(f.a, f.tabs);
  EXPECT_EQ(page.left, 4);
  EXPECT_EQ(page.top, h + 4);
  RECT control{};
  f.tabs.GetWindowRect(&control);
  EXPECT_EQ(control.right - control.left, 308);
  EXPECT_EQ(control.bottom - control.top, 200 + h + 8);
  // The other page brings the control to its own size, and its place stays.
  f.tabs.SelectPage(kPageB);
  f.tabs.GetWindowRect(&control);
  EXPECT_EQ(control.right - control.left, 258);
  EXPECT_EQ(control.bottom - control.top, 120 + h + 8);
  EXPECT_EQ(RectIn(f.tabs, f.parent).left, 10);
  EXPECT_EQ(RectIn(f.tabs, f.parent).top, 10);
}

TEST(LXTabCtrl, WithoutFittingPagesFillTheDisplayAreaButOnlyAfterTheyWereShown) {
  Fixture f(false);
  f.AddBoth();
  const int h = f.ItemHeight();
  // Laid out once when added: the control's 400 × 300 less the edges and the tab row.
  RECT page = RectIn(f.b, f.tabs);
  EXPECT_EQ(page.left, 4);
  EXPECT_EQ(page.top, h + 4);
  EXPECT_EQ(page.right - page.left, 392);
  EXPECT_EQ(page.bottom - page.top, 300 - h - 8);
  // Before ShowPages a resize leaves the pages alone.
  f.tabs.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  page = RectIn(f.a, f.tabs);
  EXPECT_EQ(page.right - page.left, 392);
  f.tabs.ShowPages();
  f.tabs.SetWindowPos(nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER);
  for (Page* p : {&f.a, &f.b}) {
    page = RectIn(*p, f.tabs);
    EXPECT_EQ(page.right - page.left, 312);
    EXPECT_EQ(page.bottom - page.top, 240 - h - 8);
  }
}

TEST(LXTabCtrl, PassesAPageChangeOnToItsParent) {
  Fixture f;
  f.AddBoth();
  f.tabs.ShowPages();
  f.parent.panes = 0;
  EXPECT_EQ(f.b.SetModified(true, false), 1);
  EXPECT_EQ(f.parent.panes, 1);
  EXPECT_EQ(f.parent.paneWParam, 1u);
  EXPECT_EQ(f.parent.paneLParam, reinterpret_cast<LPARAM>(f.b.m_hWnd));
}

TEST(LXTabCtrl, PagesGoBackToTheirParentBeforeTheControlGoes) {
  Fixture f;
  f.AddBoth();
  f.tabs.ShowPages();
  const HWND a = f.a.m_hWnd, b = f.b.m_hWnd;
  f.tabs.DestroyWindow();
  Pump();
  ASSERT_TRUE(::IsWindow(a));
  ASSERT_TRUE(::IsWindow(b));
  EXPECT_EQ(::GetParent(a), f.parent.m_hWnd);
  EXPECT_EQ(::GetParent(b), f.parent.m_hWnd);
  ASSERT_NE(qlw::WidgetOf(a), nullptr);
  EXPECT_EQ(qlw::WidgetOf(a)->parentWidget(), qlw::WidgetOf(f.parent.m_hWnd));
}
