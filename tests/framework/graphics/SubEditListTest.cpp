// The editable list: column layout, selection with Shift and Ctrl, the cell kinds, the in-place
// editor and its keys, bus messages and their stale rows, sorting with header arrows, the
// header's refusals and the cells' colours as painted.
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "GraphicsTestSupport.h"
#include "LXColorButton.h"
#include "LXColorPopup.h"
#include "LXMessage.h"
#include "Menus.h"
#include "SubEditList.h"
#include "WndQt.h"

namespace {
struct Row {
  CString name, fraction;
  UINT check;
  DWORD colour;
};

// A list like the demo's: tick, name, fraction, colour; Anatase's fraction is read-only.
class TestList : public CSubEditList {
 public:
  std::vector<Row> rows;
  std::vector<ColumnSpec> specs;
  bool stretch = false;
  int stretchColumn = -1;
  bool answerSpecs = true;
  int sortable = 2;
  bool readOnlyText = false;
  std::vector<std::pair<int, bool>> sorts;
  std::vector<int> menuChoices;
  HMENU menu = nullptr;

  bool GetColumnSpecs(const ColumnSpec*& out, bool& s, int& column) override {
    out = specs.data();
    s = stretch;
    column = stretchColumn;
    return answerSpecs;
  }
  bool IsCellEditable(int row, int column) override {
    if (row >= 0 && row < static_cast<int>(rows.size()) && rows[size_t(row)].name == L"Anatase" && column == 3) return false;
    if (readOnlyText && GetColumnKind(column) == kKindText) return false;
    return CSubEditList::IsCellEditable(row, column);
  }
  bool IsColumnSortable(int column) override { return column == sortable; }
  bool sortsRows = false;
  void SortBy(int column, bool ascending) override {
    CSubEditList::SortBy(column, ascending);
    sorts.emplace_back(column, ascending);
    if (sortsRows)
      SortKeepingSelection(rows, [ascending](const Row& a, const Row& b) {
        return ascending ? a.name.Compare(b.name) < 0 : b.name.Compare(a.name) < 0;
      });
  }
  void AccessCellText(int row, int column, bool set, CString& text) override {
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    CString& cell = column == 2 ? rows[size_t(row)].name : rows[size_t(row)].fraction;
    if (set) cell = text;
    else text = (column == 2 || column == 3) ? cell : CString();
  }
  void AccessCellCheck(int row, int, bool set, UINT& state) override {
    if (set) rows[size_t(row)].check = state;
    else state = rows[size_t(row)].check;
  }
  void AccessCellColor(int row, int column, bool set, DWORD& argb, bool& disabled) override {
    disabled = false;
    if (column != 4) {
      argb = 0;
      return;
    }
    if (set) rows[size_t(row)].colour = argb;
    else argb = rows[size_t(row)].colour;
  }
  void AccessCellMenu(int, int column, bool set, HMENU& m, int& choice, bool& disabled) override {
    disabled = false;
    if (set) menuChoices.push_back(choice);
    else m = column == 4 ? menu : nullptr, choice = 0;
  }
};

// The list's parent: records the bus messages, notifications and keys the list passes on.
class Host : public CWnd {
 public:
  std::vector<CString> got;
  LRESULT OnEditEnd(WPARAM, LPARAM) { return got.push_back(L"end"), 0; }
  LRESULT OnEditCancel(WPARAM, LPARAM) { return got.push_back(L"cancel"), 0; }
  void OnKeyDown(UINT key, UINT, UINT) {
    CString s;
    s.Format(L"key %u", key);
    got.push_back(s);
  }
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (CWnd::OnNotify(wParam, lParam, result)) return TRUE;
    CString s;
    if (hdr->code == LVN_ODSTATECHANGED) {
      auto* nm = reinterpret_cast<NMLVODSTATECHANGE*>(lParam);
      s.Format(L"range %d-%d", nm->iFrom, nm->iTo);
    } else if (hdr->code == LVN_ITEMCHANGED) {
      s.Format(L"item %d", reinterpret_cast<NMLISTVIEW*>(lParam)->iItem);
    } else {
      return FALSE;
    }
    got.push_back(s);
    // Left to the default handling, as a parent that only listens does.
    return FALSE;
  }
  bool Has(const wchar_t* what) const { return std::find(got.begin(), got.end(), CString(what)) != got.end(); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Host, CWnd)
  ON_REGISTERED_MESSAGE(g_msgEditEndSync, &Host::OnEditEnd)
  ON_REGISTERED_MESSAGE(g_msgEditCancelSync, &Host::OnEditCancel)
  ON_WM_KEYDOWN()
END_MESSAGE_MAP()

using Spec = CSubEditList::ColumnSpec;
const std::vector<Spec> kDemoSpecs = {{LVCFMT_CENTER, 10, 1, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindCheck},
                                      {LVCFMT_LEFT, 15, 1, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindText},
                                      {LVCFMT_RIGHT, 55, 1, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindText},
                                      {LVCFMT_CENTER, 20, 1, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindColor}};

struct Rig {
  Host host;
  TestList list;
  explicit Rig(int clientWidth = 400, std::vector<Spec> specs = kDemoSpecs, bool stretch = false, int stretchColumn = -1,
               bool answer = true) {
    graphicstest::EnsureApp();
    EXPECT_TRUE(host.CreateEx(0, nullptr, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 600, 400), nullptr, 0));
    EXPECT_TRUE(list.Create(WS_VISIBLE | WS_BORDER, CRect(0, 0, clientWidth, 200), &host, 300));
    // The client area is the window less its frame: widen the window until the client is as asked.
    CRect window, client;
    list.GetWindowRect(&window);
    list.GetClientRect(&client);
    list.MoveWindow(0, 0, clientWidth + window.Width() - client.Width(), 200);
    list.specs = std::move(specs);
    list.stretch = stretch;
    list.stretchColumn = stretchColumn;
    list.answerSpecs = answer;
    list.rows = {{L"Rutile", L"0.50", 1, 0xFFFF0000u},
                 {L"Anatase", L"0.25", 1, 0xFF0000FFu},
                 {L"Brookite", L"0.25", 0, 0xFF000000u},
                 {L"Corundum", L"0.00", 2, 0xFFFFFFFFu}};
    list.Initialise(&host, static_cast<int>(list.specs.size()), nullptr);
    list.SetItemCount(4);
    QApplication::processEvents();
  }
  ~Rig() {
    qlw::SetMenuAnswer(nullptr);
    host.DestroyWindow();
  }
  QTreeView* View() { return qobject_cast<QTreeView*>(qlw::WidgetOf(list.m_hWnd)); }
  CRect Cell(int row, int column) {
    CRect r;
    list.GetSubItemRect(row, column, LVIR_BOUNDS, r);
    return r;
  }
  // Client point -> viewport point for QTest.
  QPoint At(CPoint p) {
    POINT s{p.x, p.y};
    ::ClientToScreen(list.m_hWnd, &s);
    return View()->viewport()->mapFromGlobal(QPoint(s.x, s.y));
  }
  void Click(int row, int column, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, mods, At(Cell(row, column).CenterPoint()));
    qlw::ProcessPendingMessages();
  }
  void ClickControl(int row, int column) {
    CRect control;
    list.GetCellControlRect(column, Cell(row, column), 0, control);
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, At(control.CenterPoint()));
    qlw::ProcessPendingMessages();
  }
  std::vector<int> Selected() {
    std::vector<int> s;
    for (int r = list.GetNextItem(-1, LVNI_SELECTED); r >= 0; r = list.GetNextItem(r, LVNI_SELECTED)) s.push_back(r);
    return s;
  }
  QWidget* Editor() { return qlw::WidgetOf(list.GetEditor().m_hWnd); }
  void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(w, key, mods);
    qlw::ProcessPendingMessages();
  }
  // Starts editing a text cell with two clicks (select, then click the selected row's cell).
  void Edit(int row, int column) {
    Click(row, column);
    Click(row, column);
  }
};
}  // namespace

TEST(SubEditList, ColumnSpecsLayOutPercentagesMinimaMaximaAndTheStretchColumn) {
  {
    Rig rig(400);
    EXPECT_EQ(rig.list.GetColumnCount(), 5);
    const int expected[] = {0, 40, 60, 220, 80};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(rig.list.GetColumnWidth(c), expected[c]) << c;
  }
  {
    // 300 px: a fixed 100-px column and a 60-px one stretched over the rest (the last column by
    // default), within its maximum, or held at its minimum without stretching.
    struct Case {
      int minimum, maximum;
      bool stretch;
      int second;
    };
    for (const Case& c : {Case{-1, -1, true, 200}, Case{-1, 150, true, 150}, Case{70, -1, false, 70}}) {
      Rig rig(300, {{LVCFMT_LEFT, 100, 0, -1, -1, 0xFFFFFFFFu, 1}, {LVCFMT_LEFT, 60, 0, c.minimum, c.maximum, 0xFFFFFFFFu, 5}},
              c.stretch, -1);
      EXPECT_EQ(rig.list.GetColumnWidth(1), 100);
      EXPECT_EQ(rig.list.GetColumnWidth(2), c.second) << c.minimum << " " << c.maximum;
    }
  }
  {
    Rig none(400, kDemoSpecs, false, -1, false);
    EXPECT_EQ(none.list.GetColumnCount(), 1);
    EXPECT_EQ(none.list.GetColumnWidth(0), 0);
  }
}

TEST(SubEditList, EditorIsCentredOnTheCellAndNoHigherThanIt) {
  graphicstest::EnsureApp();
  struct SixteenPixelLine : CSubEdit {
    int MeasureLineHeight(const CRect&) override { return 16; }
  } editor;
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  ASSERT_TRUE(editor.Create(0, &host, CSubEditList::kEditorId));
  struct Case {
    CRect cell, placed;
  };
  // A cell lower than the line gets the cell's height plus the borders, centred on it.
  for (const Case& c : {Case{CRect(0, 0, 100, 12), CRect(-2, -2, 102, 14)}, Case{CRect(10, 20, 110, 60), CRect(8, 30, 112, 50)}}) {
    editor.Place(c.cell);
    EXPECT_EQ(editor.GetPlacedRect(), c.placed);
    CRect r;
    editor.GetWindowRect(&r);
    host.ScreenToClient(&r);
    EXPECT_EQ(r, c.placed);
  }
  host.DestroyWindow();
}

TEST(SubEditList, ShiftSelectsThroughTheClickedRowAndCtrlToggles) {
  Rig rig;
  rig.Click(0, 2);
  EXPECT_EQ(rig.Selected(), std::vector<int>({0}));
  rig.host.got.clear();
  rig.Click(2, 2, Qt::ShiftModifier);
  EXPECT_EQ(rig.Selected(), std::vector<int>({0, 1, 2}));
  // The range reaches the parent once; its single-row changes are swallowed.
  EXPECT_TRUE(rig.host.Has(L"range 0-2"));
  EXPECT_FALSE(rig.host.Has(L"item 1"));
  rig.Click(1, 2, Qt::ControlModifier);
  EXPECT_EQ(rig.Selected(), std::vector<int>({0, 2}));
  rig.Click(3, 2, Qt::ControlModifier);
  EXPECT_EQ(rig.Selected(), std::vector<int>({0, 2, 3}));
  rig.Click(1, 2);
  EXPECT_EQ(rig.Selected(), std::vector<int>({1}));
  EXPECT_FALSE(rig.list.IsEditing());
}

TEST(SubEditList, ClickOnTheSelectedRowEditsAndEnterCommits) {
  Rig rig;
  rig.Click(0, 2);
  EXPECT_FALSE(rig.list.IsEditing());
  rig.Click(0, 2, Qt::ShiftModifier);
  EXPECT_FALSE(rig.list.IsEditing());
  rig.Click(0, 2);
  ASSERT_TRUE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.GetEditingColumn(), 2);
  CString text;
  rig.list.GetEditor().GetWindowText(text);
  EXPECT_EQ(text, CString(L"Rutile"));
  EXPECT_TRUE(rig.Editor()->isVisible());
  QTest::keyClicks(rig.Editor(), "Ilmenite");
  rig.Key(rig.Editor(), Qt::Key_Return);
  EXPECT_FALSE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.rows[0].name, CString(L"Ilmenite"));
  EXPECT_TRUE(rig.host.Has(L"end"));
  EXPECT_FALSE(rig.Editor()->isVisible());
}

TEST(SubEditList, OnlyARowSelectedBeforeTheClickEditsEvenAfterASort) {
  Rig rig;
  rig.Click(1, 2);
  QHeaderView* header = rig.View()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
  qlw::ProcessPendingMessages();
  rig.list.SelectRange(0, rig.list.GetItemCount() - 1, 0, false);
  ASSERT_TRUE(rig.Selected().empty());
  rig.Click(1, 2);
  EXPECT_FALSE(rig.list.IsEditing()) << "the row was not selected: the click only selects it";
  EXPECT_EQ(rig.Selected(), std::vector<int>{1});
  rig.Click(1, 2);
  EXPECT_TRUE(rig.list.IsEditing());
}

TEST(SubEditList, AReleaseOnAnotherCellOfTheSelectedRowEditsThatCell) {
  Rig rig;
  rig.Click(0, 2);
  QTest::mousePress(rig.View()->viewport(), Qt::LeftButton, {}, rig.At(rig.Cell(0, 2).CenterPoint()));
  QTest::mouseRelease(rig.View()->viewport(), Qt::LeftButton, {}, rig.At(rig.Cell(0, 3).CenterPoint()));
  qlw::ProcessPendingMessages();
  ASSERT_TRUE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.GetEditingColumn(), 3);
}

TEST(SubEditList, TabWalksTheEditableTextCellsAndEscapeCancels) {
  Rig rig;
  rig.Edit(0, 2);
  rig.Key(rig.Editor(), Qt::Key_Tab);
  EXPECT_EQ(rig.list.GetEditingColumn(), 3);
  // Past the last text cell the walk wraps to the first; Shift+Tab goes back.
  rig.Key(rig.Editor(), Qt::Key_Tab);
  EXPECT_EQ(rig.list.GetEditingColumn(), 2);
  rig.Key(rig.Editor(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(rig.list.GetEditingColumn(), 3);
  QTest::keyClicks(rig.Editor(), "9");
  rig.Key(rig.Editor(), Qt::Key_Escape);
  EXPECT_FALSE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.rows[0].fraction, CString(L"0.50"));
  EXPECT_TRUE(rig.host.Has(L"cancel"));
  // Anatase has one editable text cell: Tab ends the edit there, with the text kept.
  rig.Edit(1, 2);
  ASSERT_TRUE(rig.list.IsEditing());
  rig.Key(rig.Editor(), Qt::Key_Tab);
  EXPECT_FALSE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.GetEditingColumn(), -1);
}

TEST(SubEditList, EditMessagesForARowThatWentAwayStartNothingAndWriteNothing) {
  Rig rig;
  rig.list.ActivateCell(3, 2, false);
  rig.list.rows.resize(2);
  rig.list.SetItemCount(2);
  qlw::ProcessPendingMessages();
  EXPECT_FALSE(rig.list.IsEditing());

  Rig second;
  second.Edit(3, 2);
  ASSERT_TRUE(second.list.IsEditing());
  QTest::keyClicks(second.Editor(), "X");
  second.list.SetItemCount(2);
  second.host.got.clear();
  second.Key(second.Editor(), Qt::Key_Return);
  EXPECT_FALSE(second.list.IsEditing());
  EXPECT_EQ(second.list.rows[3].name, CString(L"Corundum"));
  EXPECT_TRUE(second.host.Has(L"cancel"));
  EXPECT_FALSE(second.host.Has(L"end"));
}

TEST(SubEditList, EnterEditsTheFirstEditableTextCellOrDoesNothing) {
  Rig rig;
  rig.Click(1, 1);
  rig.list.SetFocus();
  rig.Key(rig.View(), Qt::Key_Return);
  EXPECT_TRUE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.GetEditingColumn(), 2);
  rig.Key(rig.Editor(), Qt::Key_Escape);
  rig.list.readOnlyText = true;
  rig.list.SetFocus();
  rig.Key(rig.View(), Qt::Key_Return);
  EXPECT_FALSE(rig.list.IsEditing());
}

TEST(SubEditList, BackspaceAndDeleteReachTheParentAsKeys) {
  Rig rig;
  rig.Click(0, 2);
  rig.host.got.clear();
  rig.Key(rig.View(), Qt::Key_Backspace);
  rig.Key(rig.View(), Qt::Key_Delete);
  EXPECT_EQ(rig.host.got, std::vector<CString>({L"key 8", L"key 46"}));
}

TEST(SubEditList, CheckCellTogglesInsideItsBoxAndClearsMixed) {
  Rig rig;
  rig.ClickControl(2, 1);
  EXPECT_EQ(rig.list.rows[2].check, 1u);
  rig.ClickControl(3, 1);
  EXPECT_EQ(rig.list.rows[3].check, 1u);
  rig.ClickControl(0, 1);
  EXPECT_EQ(rig.list.rows[0].check, 0u);
  // A click in the cell but outside the box leaves it.
  const CRect cell = rig.Cell(1, 1);
  QTest::mouseClick(rig.View()->viewport(), Qt::LeftButton, {}, rig.At(CPoint(cell.left + 1, cell.top + 1)));
  EXPECT_EQ(rig.list.rows[1].check, 1u);
}

TEST(SubEditList, ColourCellOpensOnThePressAndItsReleaseChoosesNothing) {
  Rig rig;
  CRect control;
  rig.list.GetCellControlRect(4, rig.Cell(0, 4), 0, control);
  const QPoint at = rig.At(control.CenterPoint());
  QTest::mousePress(rig.View()->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(rig.View()->viewport(), Qt::LeftButton, {}, at);
  qlw::ProcessPendingMessages();
  CColorPopup* popup = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND h, LPARAM l) -> BOOL {
    if (auto* p = dynamic_cast<CColorPopup*>(CWnd::FromHandlePermanent(h))) *reinterpret_cast<CColorPopup**>(l) = p;
    return TRUE;
  }, reinterpret_cast<LPARAM>(&popup));
  ASSERT_NE(popup, nullptr) << "the release closed the popup";
  popup->SendMessage(WM_KEYDOWN, VK_RIGHT);
  const DWORD previewed = popup->GetCurrentColour();
  popup->SendMessage(WM_KEYDOWN, VK_RETURN);
  qlw::ProcessPendingMessages();
  EXPECT_EQ(rig.list.rows[0].colour, previewed | 0xFF000000u);
  EXPECT_NE(rig.list.rows[0].colour, 0xFFFF0000u);
}

TEST(SubEditList, MenuCellStoresTheChosenItem) {
  std::vector<Spec> specs = kDemoSpecs;
  specs[3].kind = CSubEditList::kKindMenu;
  Rig rig(400, specs);
  rig.list.menu = ::CreatePopupMenu();
  ::AppendMenuW(rig.list.menu, MF_STRING, 9381, L"Float");
  ::AppendMenuW(rig.list.menu, MF_STRING, 9382, L"Top");
  qlw::SetMenuAnswer([](HMENU, HWND) -> UINT { return 9382; });
  rig.ClickControl(1, 4);
  EXPECT_EQ(rig.list.menuChoices, std::vector<int>({9382}));
  ::DestroyMenu(rig.list.menu);
}

TEST(SubEditList, SortableHeaderClicksToggleTheDirectionAndItsArrow) {
  Rig rig;
  QHeaderView* header = rig.View()->header();
  const auto click = [&](int section) {
    const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    qlw::ProcessPendingMessages();
  };
  const auto format = [&](int section) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    rig.list.GetHeader().SendMessage(HDM_GETITEMW, static_cast<WPARAM>(section), reinterpret_cast<LPARAM>(&item));
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  };
  // The arrow as drawn: +1 when it points up (narrow at its top), -1 down, 0 when none is drawn.
  // It sits at the section's right end, clear of the title at its left.
  const auto arrow = [&](int section) {
    const int left = header->sectionViewportPosition(section), width = header->sectionSize(section);
    const QImage image = header->grab(QRect(left + width / 2, 0, width - width / 2, header->height())).toImage();
    const QColor background = image.pixelColor(1, image.height() / 2);
    std::vector<int> rowWidths;
    for (int y = 0; y < image.height(); ++y) {
      int dark = 0;
      for (int x = 0; x < image.width(); ++x)
        if (background.lightness() - image.pixelColor(x, y).lightness() > 60) ++dark;
      // A row dark across the image is the header's border line, not the arrow.
      if (dark > 0 && dark < image.width() / 2) rowWidths.push_back(dark);
    }
    if (rowWidths.size() < 3) return 0;
    return rowWidths.front() < rowWidths.back() ? 1 : rowWidths.front() > rowWidths.back() ? -1 : 0;
  };
  click(2);
  EXPECT_EQ(arrow(2), 1) << "ascending draws an upward arrow";
  click(2);
  EXPECT_EQ(arrow(2), -1) << "descending draws a downward arrow";
  click(3);
  EXPECT_EQ(rig.list.sorts, (std::vector<std::pair<int, bool>>{{2, true}, {2, false}}));
  EXPECT_EQ(format(2), HDF_SORTDOWN);
  EXPECT_EQ(format(3), 0);
  EXPECT_EQ(rig.list.GetSortColumn(), 2);
}

// A header click sorts the records; the selected ones stay selected wherever they go, and the
// focus and the Shift anchor go with theirs.
TEST(SubEditList, SortFromTheHeaderKeepsTheSelectedRecords) {
  Rig rig;
  rig.list.sortsRows = true;
  rig.Click(0, 2);
  rig.Click(2, 2, Qt::ControlModifier);
  ASSERT_EQ(rig.Selected(), (std::vector<int>{0, 2}));
  QHeaderView* header = rig.View()->header();
  const auto names = [&] {
    std::vector<CString> out;
    for (int r : rig.Selected()) out.push_back(rig.list.rows[size_t(r)].name);
    return out;
  };
  struct Case {
    std::vector<int> selected;
    std::vector<CString> names;
    int focus;
  };
  // Ascending: Anatase, Brookite, Corundum, Rutile; then descending.
  for (const Case& c : {Case{{1, 3}, {L"Brookite", L"Rutile"}, 1}, Case{{0, 2}, {L"Rutile", L"Brookite"}, 2}}) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
    qlw::ProcessPendingMessages();
    EXPECT_EQ(rig.Selected(), c.selected);
    EXPECT_EQ(names(), c.names);
    EXPECT_EQ(rig.list.GetNextItem(-1, LVNI_FOCUSED), c.focus);
  }
  // The Shift anchor is Brookite's row: Shift+click on Anatase's, the last, selects the two.
  rig.Click(3, 2, Qt::ShiftModifier);
  EXPECT_EQ(rig.Selected(), (std::vector<int>{2, 3}));
}

TEST(SubEditList, HeaderRefusesColumnZeroAndHiddenColumnsAndEndsAnEdit) {
  Rig rig;
  rig.list.GetColumnRecord(3)->visible = false;
  const auto notify = [&](UINT code, int item) {
    NMHEADERW nm{};
    nm.hdr.hwndFrom = rig.list.GetHeader().m_hWnd;
    nm.hdr.code = code;
    nm.iItem = item;
    return rig.list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
  };
  EXPECT_EQ(notify(HDN_BEGINTRACKW, 0), 1);
  EXPECT_EQ(notify(HDN_BEGINTRACKW, 3), 1);
  EXPECT_EQ(notify(HDN_BEGINTRACKW, 2), 0);
  const int width = rig.list.GetColumnWidth(3);
  notify(HDN_DIVIDERDBLCLICKW, 3);
  EXPECT_EQ(rig.list.GetColumnWidth(3), width);

  rig.Edit(0, 2);
  QTest::keyClicks(rig.Editor(), "X");
  QHeaderView* header = rig.View()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(4) + 10, header->height() / 2));
  qlw::ProcessPendingMessages();
  EXPECT_FALSE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.rows[0].name, CString(L"X"));
  EXPECT_EQ(rig.Selected(), std::vector<int>{0}) << "the edited row stays selected";
}

TEST(SubEditList, CellsPaintShadedRowsSwatchRimsAndSkipHiddenColumns) {
  Rig rig;
  rig.list.GetColumnRecord(3)->visible = false;
  rig.list.Invalidate();
  const QImage image = rig.View()->viewport()->grab().toImage();
  const auto pixel = [&](CPoint client) {
    const QPoint p = rig.At(client);
    return image.pixel(p.x(), p.y());
  };
  const CRect even = rig.Cell(0, 2), odd = rig.Cell(1, 2);
  EXPECT_EQ(pixel(CPoint(even.right - 3, even.CenterPoint().y)), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(CPoint(odd.right - 3, odd.CenterPoint().y)), 0xFFF2F2F2u);
  // The hidden column of an odd row shows no shading of its own.
  const CRect hidden = rig.Cell(1, 3);
  EXPECT_NE(pixel(CPoint(hidden.left + 3, hidden.CenterPoint().y)), 0xFFF2F2F2u);
  // Rutile's red well: dark rim at its top left, light rim at its bottom right.
  CRect control;
  rig.list.GetCellControlRect(4, rig.Cell(0, 4), 0, control);
  const CRect well = CColorButton::WellRect(control, true);
  EXPECT_EQ(pixel(well.TopLeft()), 0xFFB20000u);
  EXPECT_EQ(pixel(CPoint(well.right - 1, well.bottom - 1)), 0xFFFF9999u);
  EXPECT_EQ(pixel(well.CenterPoint()), 0xFFFF0000u);
}

TEST(SubEditList, HotTrackingMakesTheHotCellCurrentUnlessAnEditRuns) {
  Rig rig;
  rig.list.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_TRACKSELECT, LVS_EX_TRACKSELECT);
  const auto hover = [&](int row, int column) {
    QTest::mouseMove(rig.View()->viewport(), rig.At(rig.Cell(row, column).CenterPoint()));
    qlw::ProcessPendingMessages();
  };
  hover(2, 3);
  EXPECT_EQ(rig.list.GetCurrentRow(), 2);
  EXPECT_EQ(rig.list.GetCurrentColumn(), 3);
  EXPECT_EQ(rig.list.SendMessage(LVM_GETHOTITEM), 2);
  rig.Edit(0, 2);
  ASSERT_TRUE(rig.list.IsEditing());
  hover(3, 3);
  EXPECT_EQ(rig.list.GetCurrentRow(), 0);
  EXPECT_EQ(rig.list.SendMessage(LVM_GETHOTITEM), 2);
}

TEST(SubEditList, DraggingADividerResizesOnlyVisibleColumnsBeyondColumnZero) {
  Rig rig;
  QHeaderView* header = rig.View()->header();
  QWidget* target = header->viewport();
  const auto drag = [&](int x, int dx) {
    const int y = header->height() / 2;
    QTest::mousePress(target, Qt::LeftButton, {}, QPoint(x, y));
    QMouseEvent move(QEvent::MouseMove, QPointF(x + dx, y), header->mapToGlobal(QPointF(x + dx, y)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(x + dx, y));
    qlw::ProcessPendingMessages();
  };
  // Column 0 ends where column 1 begins: its divider is refused.
  drag(header->sectionViewportPosition(1) + 1, 30);
  EXPECT_EQ(rig.list.GetColumnWidth(0), 0);
  EXPECT_EQ(rig.list.GetColumnWidth(1), 40);
  // Column 2's right divider is free.
  drag(header->sectionViewportPosition(2) + header->sectionSize(2) - 1, 30);
  EXPECT_EQ(rig.list.GetColumnWidth(2), 90);
  // A hidden column's divider is refused.
  rig.list.GetColumnRecord(3)->visible = false;
  drag(header->sectionViewportPosition(3) + header->sectionSize(3) - 1, -50);
  EXPECT_EQ(rig.list.GetColumnWidth(3), 220);
}

// Columns wider than the list: an edit that Tab moves past the right edge brings its cell into
// view, and Shift+Tab back to the left edge; a click on a cell scrolled into view edits it.
TEST(SubEditList, EditsScrollTheirCellIntoViewAndClicksEditScrolledCells) {
  const std::vector<Spec> wide = {{LVCFMT_CENTER, 40, 0, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindCheck},
                                  {LVCFMT_LEFT, 120, 0, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindText},
                                  {LVCFMT_RIGHT, 120, 0, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindText},
                                  {LVCFMT_CENTER, 60, 0, -1, -1, 0xFFFFFFFFu, CSubEditList::kKindColor}};
  Rig rig(200, wide);
  CRect client;
  rig.list.GetClientRect(&client);
  rig.Edit(0, 2);
  ASSERT_TRUE(rig.list.IsEditing());
  rig.Key(rig.Editor(), Qt::Key_Tab);
  ASSERT_EQ(rig.list.GetEditingColumn(), 3);
  CRect cell = rig.Cell(0, 3);
  EXPECT_GE(cell.left, client.left);
  EXPECT_LE(cell.right, client.right);
  EXPECT_TRUE(rig.Editor()->isVisible());
  rig.Key(rig.Editor(), Qt::Key_Backtab, Qt::ShiftModifier);
  ASSERT_EQ(rig.list.GetEditingColumn(), 2);
  cell = rig.Cell(0, 2);
  EXPECT_GE(cell.left, client.left);
  EXPECT_LE(cell.right, client.right);
  rig.Key(rig.Editor(), Qt::Key_Escape);

  // Two clicks where the cell shows: the first selects the row and leaves the list where it is.
  QScrollBar* across = rig.View()->horizontalScrollBar();
  across->setValue(across->maximum());
  qlw::ProcessPendingMessages();
  const QPoint at = rig.At(rig.Cell(2, 3).CenterPoint());
  for (int i = 0; i < 2; ++i) {
    QTest::mouseClick(rig.View()->viewport(), Qt::LeftButton, {}, at);
    qlw::ProcessPendingMessages();
    EXPECT_EQ(across->value(), across->maximum()) << "click " << i;
  }
  EXPECT_TRUE(rig.list.IsEditing());
  EXPECT_EQ(rig.list.GetEditingColumn(), 3);
}
