// CReflexionsPane: the docked pane of the diffraction window that lists the reflexions of the
// one selected crystal pattern (indices, d, position on the x axis, intensities, multiplicity,
// N and Lp), sorted by a header click; a click on a selected row tells the other panes which
// reflexion was chosen, and a reflexion chosen elsewhere selects its row here.
#pragma once

#include "Frame.h"
#include "LXException.h"
#include "QLPattern.h"
#include "QLReflexion.h"
#include "SubEditList.h"

#include <functional>
#include <memory>
#include <vector>

class CQlwDoc;
class CReflexionsPane;

LX_DECLARE_EXCEPTION(CLXXReflexions, CLXXProduct, 23428);
LX_DECLARE_EXCEPTION(CLXXReflexionsMemErr, CLXXReflexions, 23429);

class CReflList : public CSubEditList {
  DECLARE_DYNAMIC(CReflList)
 public:
  using ReflexionPtr = std::shared_ptr<CQLReflexion>;

  void Initialise(CWnd* owner, int columnCount, void* context) override;
  bool IsCellEditable(int row, int column) override;
  bool IsColumnSortable(int column) override;
  bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override;
  void SortBy(int column, bool ascending) override;
  bool GetTextColor(int row, int column, DWORD& argb) override;
  void AccessCellText(int row, int column, bool set, CString& text) override;
  bool OnCellClick(bool down, bool state, int row, int column, UINT flags, CPoint point) override;

  // The rows in the current sort order.
  void SortRows();
  static std::function<bool(const ReflexionPtr&, const ReflexionPtr&)> RowOrder(int column, bool ascending);
  std::vector<ReflexionPtr>& GetRows() { return m_rows; }
  CQLReflexion* ReflexionAt(int row) const;

 protected:
  CReflexionsPane* GetPane() const;
  std::vector<ReflexionPtr> m_rows;
  // The column table, its minimum widths raised to what the widest values need.
  std::vector<ColumnSpec> m_specs;

  LRESULT OnSplitterRecalcLayout(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};

class CReflexionsPane : public CFormView {
  DECLARE_DYNCREATE(CReflexionsPane)
 public:
  static constexpr UINT kTemplateId = 5900;
  static constexpr UINT kListId = 3100;
  static constexpr int kPositionColumn = 6;

  CReflexionsPane();
  ~CReflexionsPane() override;

  CQlwDoc* GetDocument() const;
  CReflList& GetList() { return m_list; }
  const CQLPatternPtr& GetShownPattern() const { return m_shown; }
  void GetMinSize(SIZE& out) const;

  void RefillList();
  void UpdateHeader();
  // The rows again, the title with them, and the reflexion that was selected selected again.
  void RefillKeepingSelection();
  // Selected crystal patterns as the list counts them: top level ones and, for every top-level
  // mixture, its selected crystal components.
  std::int64_t CountSelectedCrystals() const;
  // Sends the chosen reflexion of a row to the other panes.
  void ReflexionClicked(int row);

  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  void OnInitialUpdate() override;
  void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;
  void DoDataExchange(CDataExchange* dx) override;

 protected:
  // Follows the document's selection: its one selected crystal, or none.
  void FollowSelection();
  void SelectReflexion(const CQLReflexion* reflexion);
  // Whether the rows are still the shown crystal's reflexions, where and as strong as listed.
  bool RowsMatchCrystal() const;
  void LayOut();

  void OnSize(UINT type, int cx, int cy);
  void OnSetFocus(CWnd* old);
  DECLARE_MESSAGE_MAP()

  bool m_bNotInitialised = true;
  CQLPatternPtr m_shown;
  CReflList m_list;
  // The reflexions the rows were taken from, in the crystal's order, with their positions and
  // intensities then: a recompute that regenerates, moves or reweighs them shows as a difference
  // whichever window or hint made it, so the list never lists reflexions the plot no longer has.
  struct ListedReflexion {
    const CQLReflexion* reflexion;
    double x, intensity;
  };
  std::vector<ListedReflexion> m_listed;
  // The unit whose title column 6 shows; 0 before the first title.
  LXTypes::QLAxisType m_titledAxis{};
};
