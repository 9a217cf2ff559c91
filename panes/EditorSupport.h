// What the crystal and data editors share: column widths in characters of the list's font, the
// finite-number parse of their cells, the help command and the dialogs' smallest size.
#pragma once
#include <algorithm>
#include <vector>

#include "SubEditList.h"

namespace editors {
// One column as the editors describe it: the width in average characters of the list's font.
struct ColumnUnits {
  UINT format;
  int characters;
  UINT title;
  UINT kind;
};

// The specs with pixel widths for the list's font as it is now.
std::vector<CSubEditList::ColumnSpec> MeasureColumns(CSubEditList& list, const ColumnUnits* units, int count);

// CUtils::ParseNumber in strict mode, refusing what is not finite ("1E999" parses as infinity).
bool ParseFiniteNumber(const CString& text, double& out);

// The editors' help button: the command goes to the main window's active frame, asynchronously.
void PostHelpCommand(UINT command);

// After a row was appended: only it selected, marked, shown, and its column 2 in the editor.
void SelectAndEditLastRow(CSubEditList& list, int last);

// Removes the rows the list has selected from `rows` (their deleteMark set first); rows the list
// shows beyond the vector's end are ignored.
template <class Row>
void EraseSelectedRows(CSubEditList& list, std::vector<Row>& rows) {
  for (int row = list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = list.GetNextItem(row, LVNI_SELECTED)) {
    if (row >= static_cast<int>(rows.size())) break;
    rows[static_cast<size_t>(row)].deleteMark = true;
  }
  rows.erase(std::remove_if(rows.begin(), rows.end(), [](const Row& r) { return r.deleteMark; }), rows.end());
}

// Width and height large enough for the list's columns and a few rows, within the screen.
void FitDialogToList(CWnd& dialog, CSubEditList& list, int rows);
// The status line's warning picture on a label; an image button as narrow as it is tall, or a little more.
void ShowWarningIcon(HWND label);
void KeepButtonNarrow(HWND button);
}  // namespace editors
