// The runner's view of the structures and reflexions panes: `rows 3606` lists the patterns as
// the pane shows them (triangle state, kind, title, shown flag and colour), `print` of a list
// that selects several rows gives its row and selection counts, and `select` clicks a row's icon.
#include <QAbstractItemView>
#include <QModelIndex>

#include <cstdio>

#include "SubEditList.h"
#include "StructuresList.h"
#include "UiApi.h"
#include "WndQt.h"

namespace qlwui {
namespace {
CStructuresList* StructuresList(HWND hwnd) {
  return hwnd ? dynamic_cast<CStructuresList*>(CWnd::FromHandlePermanent(hwnd)) : nullptr;
}

const char* KindName(const CQLPattern& p) {
  switch (p.GetPatternType()) {
    case kPatternCrystal: return "crystal";
    case kPatternObserved: return "observed";
    case kPatternMixture: return "mixture";
    default: return "pattern";
  }
}

bool ReadStructuresRows(HWND control, QWidget*, std::vector<std::string>& out) {
  CStructuresList* list = StructuresList(control);
  if (!list) return false;
  const auto& rows = list->GetRows();
  for (int r = 0; r < static_cast<int>(rows.size()) && r < list->GetItemCount(); ++r) {
    const CStructuresList::Row& row = rows[static_cast<size_t>(r)];
    const CQLPattern& p = *row.pattern;
    const char* marker = p.GetPatternType() == kPatternMixture ? (p.IsExpanded() ? "-" : "+") : ".";
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%08X", static_cast<unsigned>(p.m_color));
    std::string line = std::string(marker) + " | " + (row.indent ? "> " : "") + KindName(p) + " | " +
                       Utf8(p.m_title.GetString()) + " | " + (p.IsShown() ? "[x] " : "[ ] ") + colour;
    if (list->GetItemState(r, LVIS_SELECTED)) line += " *";
    out.push_back(line);
  }
  return true;
}

// List views that select several rows: their counts, not one chosen row.
bool DescribeMultiSelectionList(HWND control, QWidget*, std::string& text) {
  auto* list = control ? dynamic_cast<CListCtrl*>(CWnd::FromHandlePermanent(control)) : nullptr;
  if (!list || (list->GetStyle() & LVS_SINGLESEL)) return false;
  text = std::to_string(list->GetItemCount()) + " rows, " + std::to_string(list->GetSelectedCount()) + " selected";
  return true;
}

struct Readers {
  Readers() {
    AddPriorityRowsReader(&ReadStructuresRows);
    AddPriorityDescriber(&DescribeMultiSelectionList);
  }
} g_readers;
}  // namespace

QModelIndex RowClickIndex(QAbstractItemView* view, const QModelIndex& row) {
  HWND hwnd = qlw::HwndOf(view);
  // The structures list: its icon, which neither edits the title nor turns a mixture's triangle.
  if (StructuresList(hwnd)) return row.sibling(row.row(), 2);
  if (hwnd && dynamic_cast<CSubEditList*>(CWnd::FromHandlePermanent(hwnd))) {
    const std::vector<int> columns = ListColumns(view);
    if (!columns.empty()) return row.sibling(row.row(), columns.front());
  }
  return row;
}
}  // namespace qlwui
