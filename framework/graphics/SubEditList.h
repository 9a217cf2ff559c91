// CSubEditList: the framework's report-view list whose cells are edited in place (text), ticked
// (check box), coloured (swatch and colour popup) or set from a menu (push button). A derived list
// gives the column table and answers the cell operations; the mechanics are here, the drawing in
// SubEditListDraw.cpp, the editor and header in SubEdit.h.
#pragma once
#include <algorithm>
#include <numeric>
#include <vector>

#include "AfxGdi.h"
#include "ControlWnds.h"
#include "LXException.h"
#include "OwnerDraw.h"
#include "SubEdit.h"
#include "Themes.h"

namespace Gdiplus {
class Bitmap;
}

// The editable list's errors, one family.
LX_DECLARE_EXCEPTION(CLXXSubEditList, CLXXProduct, 21480);
LX_DECLARE_EXCEPTION(CLXXSubEditInit, CLXXSubEditList, 21481);

class CSubEditList : public CListCtrl {
  DECLARE_DYNAMIC(CSubEditList)
 public:
  // Cell kinds: 1 text, 3 colour, 4 check box, 5 menu button; 0, 2 and 6 the control draws.
  enum CellKind : UINT { kKindNone = 0, kKindText = 1, kKindColor = 3, kKindCheck = 4, kKindMenu = 5, kKindOther = 6 };
  // One visible column as a derived list describes it (columns 1..N).
  struct ColumnSpec {
    UINT format;     // list-column format; the low two bits: 0 left, 1 right, 2 centre
    int width;       // pixels, or percent of the client width when `percent` is set
    UINT percent;    // non-zero: width is a percentage (clamped to 0..100)
    int minWidth;    // -1: none
    int maxWidth;    // -1: none
    UINT title;      // string id of the header text; 0xFFFFFFFF: empty
    UINT kind;
  };
  // What the list keeps for every column, column 0 included.
  struct ColumnRecord {
    UINT kind = 0;
    UINT format = 0;
    int width = 0;
    int reserved = 0;
    int minWidth = -1;
    int maxWidth = -1;
    UINT textFormat = 0xA124;
    bool ascending = true;
    bool visible = true;
  };
  static constexpr int kEditorId = 666;
  static constexpr UINT kCellImageId = 2007;

  CSubEditList();
  ~CSubEditList() override;

  virtual int UpdateRowHeight(int minimum);
  virtual void Initialise(CWnd* owner, int columnCount, void* context);
  virtual bool IsCellEditable(int row, int column);
  virtual bool IsColumnVisible(int column);
  virtual bool IsColumnSortable(int column);
  virtual void OnCellDoubleClick(UINT flags, CPoint point);
  // specs: the N records; stretch and stretchColumn start as true and -1.
  virtual bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn);
  virtual void GetCellControlRect(int column, const CRect& cell, UINT state, CRect& out);
  // No caller in the list: a derived list may say that its rows can be reordered by dragging.
  virtual bool CanDragRows() { return false; }
  virtual void SortBy(int column, bool ascending);
  virtual bool GetCellBackColor(int row, int column, DWORD& argb);
  // state: bit 0 ticked, bit 1 mixed.
  virtual void AccessCellCheck(int row, int column, bool set, UINT& state);
  // state: on the press, whether the row was selected; on the release, whether editing was on.
  virtual bool OnCellClick(bool down, bool state, int row, int column, UINT flags, CPoint point);
  virtual void AccessCellColor(int row, int column, bool set, DWORD& argb, bool& disabled);
  virtual bool DrawCell(CDC* dc, int row, int column, const CRect& cell);
  virtual void DrawCellBackground(CDC* dc, int row, int column, const CRect& cell);
  virtual void AccessCellMenu(int row, int column, bool set, HMENU& menu, int& choice, bool& disabled);
  virtual void AccessCellText(int row, int column, bool set, CString& text);
  virtual bool GetTextColor(int row, int column, DWORD& argb);

  void EnsureRowVisible(int row);
  int GetSelectedRow() const;
  int GetLastVisibleRow() const;
  void ScrollRowToTop(int row);
  void InvalidateRow(int row);
  void SetColumnTitle(int column, const CString& title);
  void SetRowHeight(int pixels);
  void SelectRange(int first, int last, int column, bool select);
  void ApplySort(int column, bool ascending);
  // Puts a derived list's rows in the order of `less` (stable) and keeps the selection, the focus
  // and the selection mark on the same records, wherever the sort puts them.
  template <class Row, class Less>
  void SortKeepingSelection(std::vector<Row>& rows, Less less) {
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return less(rows[static_cast<size_t>(a)], rows[static_cast<size_t>(b)]);
    });
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (int i : order) sorted.push_back(std::move(rows[static_cast<size_t>(i)]));
    rows = std::move(sorted);
    FollowRows(order);
  }
  // order[new row] = the row it was before.
  void FollowRows(const std::vector<int>& order);
  void ActivateCell(int row, int column, bool force);
  void FitColumnsToWidth();
  void RepositionEditor(bool checkVisible);
  static int MeasureListHeaderHeight();

  // State the owner and tests read.
  int GetCurrentRow() const { return m_currentRow; }
  int GetCurrentColumn() const { return m_currentColumn; }
  int GetEditingColumn() const { return m_editingColumn; }
  bool IsEditing() const { return m_editing; }
  int GetSortColumn() const { return m_sortColumn; }
  int GetColumnCount() const { return m_columnCount; }
  UINT GetColumnKind(int column) const;
  const ColumnRecord* GetColumnRecord(int column) const;
  ColumnRecord* GetColumnRecord(int column);
  CSubEdit& GetEditor() { return m_editor; }
  CSubEditHeader& GetHeader() { return m_header; }
  int GetRowHeight() const { return m_rowHeight; }
  void SetHighlightMode(int mode) { m_highlightMode = mode; }
  int GetHighlightMode() const { return m_highlightMode; }
  void SetAlternateShading(bool on) { m_shadeAlternate = on; }
  void SetIgnoreModifiers(bool on) { m_ignoreModifiers = on; }
  CWnd* GetOwnerWindow() const { return m_pOwner; }
  void* GetOwnerContext() const { return m_pContext; }
  // The cell under a client point (row -1 when none).
  bool HitCell(CPoint point, int& row, int& column);

  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  // Enter on a row with an editable text cell starts editing there, ahead of the dialog's default button.
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  // Styles every list is forced to: report view with owner data, no label editing or sorting.
  static constexpr DWORD kStyleRemoved = 0x2632, kStyleAdded = 0x1001;
  static constexpr DWORD kExStyleAdded = 0x10010;

  void LayoutColumns(const ColumnSpec* specs, bool stretch, int stretchColumn);
  void TakeRedrawLock();
  void ReleaseRedrawLock(bool invalidate = false);
  void SelectOnClick(int row, int column, UINT flags);
  bool ModifierHeld(int key) const;
  void StartEdit(int row, int column);
  // Scrolls sideways so that the cell shows whole (its left part when it is wider than the list):
  // an edit that Tab moves past an edge is not typed out of sight.
  void ScrollCellIntoView(int row, int column);
  void EndEdit(bool commit);
  void MoveEditOn();
  int NextEditableColumn(int from, bool forward);
  // The first editable text column of a row in header order; -1 when none.
  int FirstEditableTextColumn(int row);
  void ShowMenu(int row, int column, const CRect& control, int& choice, HMENU menu);
  void UpdateHorizontalScrollBar();
  void OpenTheme();
  bool IsLastVisibleColumn(int column) const;
  bool RowExists(int row) const { return row >= 0 && row < GetItemCount(); }
  void ReportRange(int first, int last, UINT newState);
  bool CellPressed(int row, int column, const CRect& control) const;
  void HighlightColours(int row, int column, DWORD& text, DWORD& back);
  void CellColours(int row, int column, DWORD& text, DWORD& back);
  void OnCustomDraw(NMHDR* hdr, LRESULT* result);
  void DrawCheckCell(CDC* dc, int row, int column, const CRect& cell);
  void DrawMenuCell(CDC* dc, int row, int column, const CRect& cell);
  void DrawColorCell(CDC* dc, int row, int column, const CRect& cell);
  // The "Button" theme, opened on first use.
  HTHEME Theme();

  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnLButtonDblClk(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  void OnHScroll(UINT code, UINT position, CScrollBar* bar);
  void OnVScroll(UINT code, UINT position, CScrollBar* bar);
  void OnKeyDown(UINT key, UINT repeat, UINT flags);
  void OnSize(UINT type, int cx, int cy);
  void OnTimer(UINT_PTR id);
  LRESULT OnSetItemCount(WPARAM count, LPARAM flags);
  LRESULT OnThemeChanged(WPARAM, LPARAM);
  LRESULT OnEditStart(WPARAM column, LPARAM row);
  LRESULT OnEditEnd(WPARAM, LPARAM);
  LRESULT OnEditShift(WPARAM, LPARAM forward);
  LRESULT OnEditCancel(WPARAM, LPARAM);
  LRESULT OnExitSizeMove(WPARAM, LPARAM);
  LRESULT OnColorPickEnd(WPARAM, LPARAM colour);
  DECLARE_MESSAGE_MAP()

  CWnd* m_pOwner = nullptr;
  void* m_pContext = nullptr;
  bool m_initialised = false;
  int m_currentRow = -1;
  int m_currentColumn = 0;
  CSubEditHeader m_header;
  int m_columnCount = 0;
  bool m_hasCheckColumn = false, m_hasColorColumn = false, m_hasMenuColumn = false;
  bool m_shadeAlternate = true;
  bool m_ignoreModifiers = false;
  int m_highlightMode = 0;
  int m_menuRow = -1;
  CSubEdit m_editor;
  bool m_editorPlaced = false, m_editorHidden = false;
  HIMAGELIST m_imageList = nullptr;
  int m_rowHeight = 0;
  int m_sortColumn = 0;
  int m_editingColumn = -1;
  bool m_editing = false, m_shiftPending = false, m_shiftForward = true;
  bool m_rangeSelecting = false, m_mouseDown = false, m_doubleClick = false;
  CPoint m_lastPoint;
  float m_lastPointX = 0, m_lastPointY = 0;
  bool m_controlPressed = false;
  std::vector<ColumnRecord> m_columns;
  int m_clientWidth = -1;
  CFont m_font;
  Gdiplus::Bitmap* m_pCellImage = nullptr;
  int m_cellImageFrames = 2;
  int m_redrawLocks = 0;
  HWND m_redrawWindow = nullptr;
  bool m_hookRegistered = false;
  HTHEME m_hTheme = nullptr;
  int m_selectedAtClick = 0;
  bool m_pressWasSelected = false;  // the pressed row was selected before the press
  int m_lastSelectedRow = -1, m_previousSelectedRow = -1;
  bool m_layingOut = false;
  // The cell a click pressed on, for its release.
  int m_pressRow = -1, m_pressColumn = -1;
};
