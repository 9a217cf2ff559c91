// CStructuresList: the owner-drawn, owner-data list of the structures pane. One row per pattern
// of the document's tree in tree order, the components of expanded mixtures indented below them;
// a disclosure triangle, the kind icon, the title edited in place and the shown check with the
// pattern's colour. Rows are dragged out as the pattern drag format (StructuresDrag.cpp).
#pragma once

#include "QLPattern.h"
#include "StructuresDrop.h"
#include "SubEditList.h"

#include <memory>
#include <vector>

class CQlwDoc;
class CStructuresPane;
struct CQLReflexion;

class CStructuresList : public CSubEditList {
  DECLARE_DYNAMIC(CStructuresList)
 public:
  struct Row {
    CQLPatternPtr pattern;
    bool indent = false;  // a component under an expanded mixture
  };
  // Room an indented row's icon and title move right by.
  static constexpr int kIndent = 14;
  static constexpr DWORD kBackground = 0xFFEBEFF4u;

  CStructuresList();
  ~CStructuresList() override;

  void Initialise(CWnd* owner, int columnCount, void* context) override;
  bool IsCellEditable(int row, int column) override;
  bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override;
  void AccessCellCheck(int row, int column, bool set, UINT& state) override;
  bool OnCellClick(bool down, bool state, int row, int column, UINT flags, CPoint point) override;
  void AccessCellColor(int row, int column, bool set, DWORD& argb, bool& disabled) override;
  bool DrawCell(CDC* dc, int row, int column, const CRect& cell) override;
  void AccessCellText(int row, int column, bool set, CString& text) override;
  bool GetCellBackColor(int row, int column, DWORD& argb) override;

  CQlwDoc* GetDocument() const;
  CStructuresPane* GetPane() const;
  // Rebuilds the row vector from the document's tree.
  void BuildRows();
  // Every pattern of the tree gets selected = (it is `pattern` and a reflexion is given); true
  // when a pattern's flag changed.
  bool SelectForReflexion(const CQLPattern* pattern, const CQLReflexion* reflexion);
  // The list's row selection from the patterns' selected flags; true when a row changed.
  bool SyncSelection();

  const std::vector<Row>& GetRows() const { return m_rows; }
  CStructListDrop& GetDropTarget() { return m_dropTarget; }
  // The drag data of the selected rows; the dragged patterns are kept until the drag ends.
  std::vector<std::uint8_t> BuildDragBlock();
  const CQLPatternList& GetDraggedPatterns() const { return m_dragged; }
  void ClearDraggedPatterns() { m_dragged.clear(); }
  // The drop position at a client point: a CStructListDrop code, and the row it refers to.
  int HitTestDrop(CPoint point, int& row);
  void DrawDropFeedback(CPoint point, bool show);
  // Runs a drag of the selected rows (StructuresDragQt.cpp); whether anything took it.
  bool RunDrag();
  // How far the pointer moves before a press becomes a drag (the toolkit's distance).
  static int DragDistance();
  CQLPattern* PatternAt(int row) const;
  // The selected rows' patterns in row order.
  CQLPatternList SelectedPatterns() const;

 protected:
  void SendHint(int code, bool fromPane);
  bool DrawOwnCell(CDC* dc, int row, int column, const CRect& cell);
  void ToggleExpanded(int row);

  std::vector<Row> m_rows;
  CStructListDrop m_dropTarget{this};
  int m_feedbackRow = -1, m_feedbackCode = 0;
  CQLPatternList m_dragged;
  // Where a press on the icon or title may start a drag.
  bool m_dragCandidate = false;
  CPoint m_dragFrom;

  void DrawFeedbackMark(CDC* dc, int row, int column, const CRect& cell);
  void OnMouseMove(UINT flags, CPoint point);
  void OnDestroy();

  LRESULT OnSplitterRecalcLayout(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};
