// The runner's view of editable lists (CSubEditList): `rows` shows the cells as the list draws
// them, leaving out the hidden column 0 (ticks as [x], [ ] or [-], colours as #AARRGGBB), and
// `cell` clicks the middle of a cell's check box, swatch or button.
#include <QAbstractItemView>
#include <QModelIndex>

#include <cstdio>

#include "SubEditList.h"
#include "UiApi.h"
#include "WndQt.h"

namespace qlwui {
namespace {
CSubEditList* EditableList(HWND hwnd) { return hwnd ? dynamic_cast<CSubEditList*>(CWnd::FromHandlePermanent(hwnd)) : nullptr; }

std::string CellText(CSubEditList& list, int row, int column) {
  switch (list.GetColumnKind(column)) {
    case CSubEditList::kKindCheck: {
      UINT state = 0;
      list.AccessCellCheck(row, column, false, state);
      return (state & 2u) ? "[-]" : (state & 1u) ? "[x]" : "[ ]";
    }
    case CSubEditList::kKindColor: {
      DWORD argb = 0;
      bool disabled = false;
      list.AccessCellColor(row, column, false, argb, disabled);
      char text[16];
      std::snprintf(text, sizeof text, "#%08X", static_cast<unsigned>(argb));
      return text;
    }
    default: {
      CString text;
      list.AccessCellText(row, column, false, text);
      return Utf8(text.GetString());
    }
  }
}

bool ReadEditableListRows(HWND control, QWidget* widget, std::vector<std::string>& rows) {
  CSubEditList* list = EditableList(control);
  auto* view = qobject_cast<QAbstractItemView*>(widget);
  if (!list || !view) return false;
  const std::vector<int> columns = ListColumns(view);
  for (int row = 0; row < list->GetItemCount(); ++row) {
    std::string line;
    bool first = true;
    for (int column : columns) {
      if (column == 0) continue;
      if (!first) line += " | ";
      first = false;
      line += CellText(*list, row, column);
    }
    if (list->GetItemState(row, LVIS_SELECTED)) line += " *";
    rows.push_back(line);
  }
  return true;
}

struct Readers {
  Readers() { AddRowsReader(&ReadEditableListRows); }
} g_readers;
}  // namespace

bool IsEditableListHiddenColumn(QAbstractItemView* view, int logical) {
  return logical == 0 && EditableList(qlw::HwndOf(view)) != nullptr;
}

bool EditableListCellPoint(QAbstractItemView* view, const QModelIndex& index, QPoint& point) {
  CSubEditList* list = EditableList(qlw::HwndOf(view));
  if (!list) return false;
  CRect cell;
  if (!list->GetSubItemRect(index.row(), index.column(), LVIR_BOUNDS, cell)) return false;
  CRect control = cell;
  const UINT kind = list->GetColumnKind(index.column());
  if (kind == CSubEditList::kKindColor || kind == CSubEditList::kKindCheck || kind == CSubEditList::kKindMenu)
    list->GetCellControlRect(index.column(), cell, 0, control);
  POINT at{control.left + control.Width() / 2, control.top + control.Height() / 2};
  ::ClientToScreen(list->m_hWnd, &at);
  point = view->viewport()->mapFromGlobal(QPoint(at.x, at.y));
  return true;
}
}  // namespace qlwui
