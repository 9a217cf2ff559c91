// The file-association dialog: its rows from the document types, the ticks it starts with (given
// or from the registry), the three choice buttons, OK and Cancel, sorting, and a window that
// only grows taller.
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "Dialog.h"
#include "FileAssociation.h"
#include "LXApp.h"
#include "LXDocTemplate.h"
#include "LXFile.h"
#include "LXRegistry.h"
#include "QlwDocTypes.h"
#include "TestSupport.h"
#include "WidgetApp.h"
#include "WndQt.h"

namespace {
// An application whose templates answer the document strings of the program's table.
class TemplatesApp : public CLXApp {
 public:
  CDocTemplate* GetTemplateForFileType(uint32_t type) override {
    if (type == 37) return nullptr;  // a type without a template
    const CLXDocTypeRow* row = LXDocTypes::FindRowForFileType(type);
    if (!row) return nullptr;
    auto& t = m_templates[row->stringId];
    if (!t) t = std::make_unique<CLXDocTemplate>(row->stringId, nullptr, nullptr, nullptr);
    return t.get();
  }
  std::map<UINT, std::unique_ptr<CLXDocTemplate>> m_templates;
};

class FileAssociationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qlwtest::EnsureWidgetApp("test_app");
    LXDocTypes::SetTable(g_DocTypeTable);
    const std::string data = qlwtest::ScratchDir() + "/xdg-data", config = qlwtest::ScratchDir() + "/xdg-config";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  void TearDown() override {
    qlw::SetModalAnswer(nullptr);
    m_app.UnregisterFileTypes({});
  }
  // Runs the dialog; `act` sees it open and ends it.
  INT_PTR Run(CFileAssociation& dialog, std::function<void(CFileAssociation&)> act) {
    qlw::SetModalAnswer([act](CDialog* d) { act(*static_cast<CFileAssociation*>(d)); });
    return dialog.DoModal();
  }
  static std::vector<UINT> Ticked(const CFileAssociation& d) {
    std::vector<UINT> t;
    for (const CFileAssociationItem& item : d.GetRows())
      if (item.m_state & 1u) t.push_back(static_cast<UINT>(item.m_fileType));
    return t;
  }
  static std::vector<CString> Names(const CFileAssociation& d) {
    std::vector<CString> n;
    for (const CFileAssociationItem& item : d.GetRows()) n.push_back(item.m_shortName);
    return n;
  }
  TemplatesApp m_app;
};
}  // namespace

TEST_F(FileAssociationTest, RowsShowTheShellTypesSortedByNameWithTheGivenTicks) {
  const std::vector<UINT> given = {22, 10};
  CFileAssociation dialog(nullptr, &given);
  std::vector<UINT> seen;
  Run(dialog, [&](CFileAssociation& d) {
    seen = Ticked(d);
    EXPECT_EQ(d.GetRows().size(), 8u);
    const std::vector<CString> names = Names(d);
    EXPECT_TRUE(std::is_sorted(names.begin() + 1, names.end()));  // the type without a template sorts first
    EXPECT_TRUE(names.front().IsEmpty());
    for (const CFileAssociationItem& item : d.GetRows())
      if (item.m_fileType == 22) {
        EXPECT_EQ(item.m_shortName, CString(L"CIF"));
        EXPECT_EQ(item.m_description, CString(L"Crystallographic Information File (CIF)"));
        EXPECT_EQ(item.m_extensions, CString(L".cif"));
      }
    CString text;
    d.GetTypeList().AccessCellText(1, 4, false, text);
    EXPECT_EQ(text, std::next(d.GetRows().begin())->m_extensions);
    d.SendMessage(WM_COMMAND, IDOK);
  });
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, std::vector<UINT>({10, 22}));
  std::vector<UINT> chosen = dialog.GetChosenTypes();
  std::sort(chosen.begin(), chosen.end());
  EXPECT_EQ(chosen, std::vector<UINT>({10, 22}));
}

// Every extension a template's dialogs offer is one the file-type table knows for the template's
// type, and the dialog's row lists exactly the table's extensions of that type.
TEST_F(FileAssociationTest, RowsListTheTablesExtensionsWhichHoldEveryOneATemplateOffers) {
  for (const CLXDocTypeRow& row : g_DocTypeTable)
    for (const CString& extension : LXDocTypes::GetExtensions(row)) {
      std::vector<uint32_t> codes;
      FileTypesFromExtension(extension, codes);
      EXPECT_NE(std::find(codes.begin(), codes.end(), row.fileType), codes.end())
          << extension.ToUtf8() << " of template " << row.stringId;
    }
  CFileAssociation dialog(nullptr, nullptr);
  Run(dialog, [&](CFileAssociation& d) {
    for (const CFileAssociationItem& item : d.GetRows()) {
      if (item.m_shortName.IsEmpty()) continue;  // no template: no texts
      std::vector<CString> table;
      GetFileTypeExtensions(static_cast<uint32_t>(item.m_fileType), table);
      CString joined;
      for (const CString& e : table) joined += (joined.IsEmpty() ? L"" : L"; ") + e;
      EXPECT_EQ(item.m_extensions.ToUtf8(), joined.ToUtf8()) << item.m_fileType;
    }
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
}

TEST_F(FileAssociationTest, ChoiceButtonsSetEveryTickAndCancelKeepsTheGivenList) {
  const std::vector<UINT> given = {1, 3};
  CFileAssociation dialog(nullptr, &given);
  EXPECT_EQ(Run(dialog, [&](CFileAssociation& d) {
              d.SendMessage(WM_COMMAND, MAKEWPARAM(CFileAssociation::kChooseAll, BN_CLICKED));
              EXPECT_EQ(Ticked(d).size(), 8u);
              d.SendMessage(WM_COMMAND, MAKEWPARAM(CFileAssociation::kChooseNone, BN_CLICKED));
              EXPECT_TRUE(Ticked(d).empty());
              // Only the session type is the program's own.
              d.SendMessage(WM_COMMAND, MAKEWPARAM(CFileAssociation::kChooseNative, BN_CLICKED));
              EXPECT_EQ(Ticked(d), std::vector<UINT>({10}));
              d.SendMessage(WM_COMMAND, IDCANCEL);
            }),
            IDCANCEL);
  EXPECT_EQ(dialog.GetChosenTypes(), given);
}

TEST_F(FileAssociationTest, WithoutAListTheRegistrySaysWhatIsTicked) {
  ASSERT_TRUE(m_app.RegisterFileTypes({22}));
  CFileAssociation dialog(nullptr, nullptr);
  Run(dialog, [&](CFileAssociation& d) {
    EXPECT_EQ(Ticked(d), std::vector<UINT>({22}));
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
}

TEST_F(FileAssociationTest, SortingByTheTickPutsUntickedRowsFirstWhenAscending) {
  const std::vector<UINT> given = {4, 34};
  CFileAssociation dialog(nullptr, &given);
  Run(dialog, [&](CFileAssociation& d) {
    d.GetTypeList().SortBy(1, true);
    std::vector<UINT> states;
    for (const CFileAssociationItem& item : d.GetRows()) states.push_back(item.m_state);
    EXPECT_EQ(states, std::vector<UINT>({0, 0, 0, 0, 0, 0, 1, 1}));
    d.GetTypeList().SortBy(1, false);
    EXPECT_EQ(d.GetRows().front().m_state, 1u);
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
}

TEST_F(FileAssociationTest, TheWindowGrowsOnlyTaller) {
  CFileAssociation dialog(nullptr, nullptr);
  Run(dialog, [&](CFileAssociation& d) {
    CRect window;
    d.GetWindowRect(&window);
    MINMAXINFO info{};
    info.ptMaxTrackSize = POINT{5000, 5000};
    info.ptMaxSize = POINT{5000, 5000};
    d.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMaxTrackSize.x, window.Width());
    EXPECT_EQ(info.ptMaxSize.x, window.Width());
    EXPECT_EQ(info.ptMinTrackSize.x, window.Width());
    EXPECT_GT(info.ptMinTrackSize.y, 0);
    EXPECT_LE(info.ptMinTrackSize.y, window.Height());
    EXPECT_EQ(info.ptMaxTrackSize.y, 5000);
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
}

// At its least height the list still shows five whole rows under its header, once its columns
// have been fitted beside the scroll bar the rows then need.
TEST_F(FileAssociationTest, TheLeastHeightShowsFiveRows) {
  CFileAssociation dialog(nullptr, nullptr);
  int shown = 0;
  Run(dialog, [&](CFileAssociation& d) {
    MINMAXINFO info{};
    info.ptMaxTrackSize = POINT{5000, 5000};
    d.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    CRect window;
    d.GetWindowRect(&window);
    d.MoveWindow(window.left, window.top, window.Width(), info.ptMinTrackSize.y);
    auto* view = qobject_cast<QAbstractScrollArea*>(qlw::WidgetOf(d.GetTypeList().m_hWnd));
    ASSERT_NE(view, nullptr);
    // The list refits its columns a moment after a change of size.
    QElapsedTimer clock;
    clock.start();
    do QApplication::processEvents(QEventLoop::AllEvents, 20);
    while (view->horizontalScrollBar()->isVisible() && clock.elapsed() < 3000);
    auto* items = qobject_cast<QAbstractItemView*>(view);
    for (int row = 0; row < items->model()->rowCount(); ++row) {
      const QRect r = items->visualRect(items->model()->index(row, 1));
      if (r.isValid() && r.top() >= 0 && r.bottom() < items->viewport()->height()) ++shown;
    }
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
  EXPECT_EQ(shown, 5);
}

namespace {
// Counts the paint events of one widget.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}
}  // namespace

// The ticks a choice button sets are drawn at once, not row by row as the pointer passes.
TEST_F(FileAssociationTest, ChoiceButtonsRepaintTheRows) {
  const std::vector<UINT> given = {22};
  CFileAssociation dialog(nullptr, &given);
  Run(dialog, [&](CFileAssociation& d) {
    auto* view = qobject_cast<QAbstractItemView*>(qlw::WidgetOf(d.GetTypeList().m_hWnd));
    ASSERT_NE(view, nullptr);
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);
    for (UINT button : {CFileAssociation::kChooseAll, CFileAssociation::kChooseNative, CFileAssociation::kChooseNone}) {
      Settle();
      counter.paints = 0;
      d.SendMessage(WM_COMMAND, MAKEWPARAM(button, BN_CLICKED));
      Settle();
      EXPECT_GT(counter.paints, 0) << button;
    }
    view->viewport()->removeEventFilter(&counter);
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
}

// The window can grow only taller: at its first size every text and title of the list is whole,
// unless the window is already as wide as its screen.
TEST_F(FileAssociationTest, EveryTextIsWholeAtTheFirstSize) {
  CFileAssociation dialog(nullptr, nullptr);
  Run(dialog, [&](CFileAssociation& d) {
    auto* view = qobject_cast<QTreeView*>(qlw::WidgetOf(d.GetTypeList().m_hWnd));
    ASSERT_NE(view, nullptr);
    // The list fits its columns to its width a moment after it is sized.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 20);
    // Measured in the font the cells are drawn with; a cell's text keeps 5 px off either side.
    CDC* dc = d.GetTypeList().GetDC();
    ASSERT_NE(dc, nullptr);
    CGdiObject* old = dc->SelectObject(d.GetTypeList().GetFont());
    std::vector<std::string> cut;
    for (int column = 2; column <= 4; ++column) {
      const int width = view->header()->sectionSize(column);
      const QString title = view->model()->headerData(column, Qt::Horizontal).toString();
      if (QFontMetrics(view->header()->font()).horizontalAdvance(title) + 10 > width) cut.push_back(title.toStdString());
      for (int row = 0; row < static_cast<int>(d.GetRows().size()); ++row) {
        CString text;
        d.GetTypeList().AccessCellText(row, column, false, text);
        if (dc->GetTextExtent(text).cx + 10 > width) cut.push_back(text.ToUtf8());
      }
    }
    if (old) dc->SelectObject(old);
    d.GetTypeList().ReleaseDC(dc);
    CRect window;
    d.GetWindowRect(&window);
    const int room = QGuiApplication::primaryScreen()->availableGeometry().width() - 2 * GetSystemMetrics(SM_CXFRAME);
    if (window.Width() < room) EXPECT_EQ(cut, std::vector<std::string>{});
    else EXPECT_EQ(window.Width(), room);
    d.SendMessage(WM_COMMAND, IDCANCEL);
  });
}
