// The runner's view of editable lists (CSubEditList): `rows` shows the cells as the list draws
// them, leaving out the hidden column 0 (ticks as [x], [ ] or [-], colours as #AARRGGBB),
// `cell` clicks the middle of a cell's check box, swatch or button, and `edit` types into a cell
// through the list's in-place editor.
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QModelIndex>
#include <QTest>
#include <QTimer>

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

// An edit runs over several turns of the event loop (a click selects, the next opens the
// editor, which is posted); the runner waits for it before the next line.
struct PendingEdit {
  bool active = false;
  HWND list = nullptr;
  int row = 0, column = 0, clicks = 0;
  QString text;
};
PendingEdit g_edit;

bool EditSettled() { return !g_edit.active; }

QAbstractItemView* ViewOf(HWND control) {
  QWidget* widget = qlw::WidgetOf(control);
  if (!widget) return nullptr;
  if (auto* view = qobject_cast<QAbstractItemView*>(widget)) return view;
  return widget->findChild<QAbstractItemView*>();
}

void ClickEditedCell() {
  QAbstractItemView* view = ViewOf(g_edit.list);
  if (!view) return;
  const QModelIndex index = view->model()->index(g_edit.row, g_edit.column, view->rootIndex());
  view->scrollTo(index);
  QPoint at = view->visualRect(index).center();
  EditableListCellPoint(view, index, at);
  ClickAt(view->viewport(), at);
  ++g_edit.clicks;
}

void TypeIntoEditor(QWidget* editor) {
  auto* field = qobject_cast<QLineEdit*>(editor);
  if (!field) field = editor->findChild<QLineEdit*>();
  QWidget* target = field ? static_cast<QWidget*>(field) : editor;
  ActivateWindowOf(target);
  target->setFocus(Qt::OtherFocusReason);
  if (field) field->selectAll();
  if (g_edit.text.isEmpty()) QTest::keyClick(target, Qt::Key_Backspace);
  for (QChar ch : g_edit.text) {
    if (ch.unicode() < 128 && ch.isPrint()) {
      QTest::keyClick(target, ch.toLatin1());
      continue;
    }
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  }
  // Done before Return: what Return brings (an alert) runs in a loop of its own.
  g_edit.active = false;
  PressKey(target, "Return");
}

void StepEdit() {
  if (!g_edit.active) return;
  CSubEditList* list = EditableList(g_edit.list);
  if (!list) {
    g_edit.active = false;
    return;
  }
  QWidget* editor = qlw::WidgetOf(list->GetEditor().m_hWnd);
  if (list->IsEditing() && list->GetEditingColumn() == g_edit.column && list->GetCurrentRow() == g_edit.row && editor &&
      editor->isVisible()) {
    TypeIntoEditor(editor);
    return;
  }
  // A click ends an edit elsewhere or selects the row; the next one opens the editor.
  if (g_edit.clicks >= 3) {
    g_edit.active = false;
    Print("error: the cell's editor did not open");
    return;
  }
  ClickEditedCell();
  QTimer::singleShot(40, &StepEdit);
}

// `edit ID ROW COL [TEXT]`: opens the editor on the cell as clicks open it (a first click selects
// the row), types TEXT over the editor's selected text (none: deletes it) and presses Return. A
// cell the list will not edit prints "read-only" and is left alone.
void RunEdit(const Line& line) {
  static const bool registered = (AddSettledCheck(&EditSettled), true);
  (void)registered;
  const std::string idText = line.Word(1, "control id");
  const HWND control = FindControl(idText);
  WidgetOfControl(control, idText);
  CSubEditList* list = EditableList(control);
  QAbstractItemView* view = ViewOf(control);
  if (!list || !view) throw Failure("control " + idText + " is no editable list");
  const std::vector<QModelIndex> rows = ListRows(view);
  const int row = ParseInt(line.Word(2, "row"), "row");
  if (row < 0 || static_cast<size_t>(row) >= rows.size())
    throw Failure("row " + line.words[2] + " is out of range (" + std::to_string(rows.size()) + ")");
  const std::vector<int> columns = ListColumns(view);
  const int shown = ParseInt(line.Word(3, "column"), "column");
  if (shown < 1 || static_cast<size_t>(shown) > columns.size())
    throw Failure("column " + line.words[3] + " is out of range (" + std::to_string(columns.size()) + ")");
  const int column = columns[static_cast<size_t>(shown - 1)];
  if (list->GetColumnKind(column) != CSubEditList::kKindText || !list->IsCellEditable(row, column)) {
    Print("read-only");
    return;
  }
  g_edit = PendingEdit{true, control, rows[static_cast<size_t>(row)].row(), column, 0,
                       line.words.size() > 4 ? QString::fromStdString(line.Rest(4)) : QString()};
  ClickEditedCell();
  QTimer::singleShot(40, &StepEdit);
}
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

QLW_UI_COMMAND(edit, "edit", "ID ROW COL [TEXT]", qlwui::RunEdit);
