// CEditData: the modal "Edit Data" dialog over a list of x-y points that the caller owns; the
// points are written back only on OK, in the list's order.
#pragma once
#include <cstdint>
#include <vector>

#include "LXAlphaButton.h"
#include "LXDialog.h"
#include "QLPattern.h"
#include "SubEditList.h"
#include "ToolTipDialog.h"

class CEditData : public CToolTipDialog, public CContextHelpHelper {
 public:
  static constexpr UINT kTemplateId = 5210;
  static constexpr UINT kHelpCommand = 32787;
  enum : UINT { kList = 1851, kAdd = 1850, kDelete = 1853, kStatus = 1854, kHelp = 1150 };

  struct PointRec {
    std::uint64_t number = 0;
    double x = 0.0, y = 0.0;
    bool deleteMark = false;
  };

  // The points list (named as the crystal editor's list is).
  class CSiteList : public CSubEditList {
   public:
    bool IsCellEditable(int row, int column) override;
    bool IsColumnSortable(int column) override;
    bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override;
    void SortBy(int column, bool ascending) override;
    void AccessCellText(int row, int column, bool set, CString& text) override;
    bool CompareRows(const PointRec& a, const PointRec& b);

    std::vector<ColumnSpec> m_specs;

   private:
    CEditData* Dialog() const;
  };

  CEditData(CQLProfile& points, CWnd* parent);

  BOOL OnInitDialog() override;
  void OnOK() override;
  int GetHelpCommand(LPARAM context) override;

  void OnAddPoint();
  void OnDeletePoints();
  void UpdateState();

  std::vector<PointRec>& Rows() { return m_rows; }
  CSiteList& List() { return m_list; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  void SetUpPointList();
  void SetItemCountOrThrow(bool atInit);
  LRESULT OnAlphaButton(WPARAM id, LPARAM);
  void OnListChanged(NMHDR*, LRESULT* result);
  void OnGetMinMaxInfo(MINMAXINFO* info);
  void OnHelpCommand();
  // F1 (WM_HELP) does what the Help button does, through ID_HELP.
  LRESULT OnHelpRequest(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

  CQLProfile& m_points;
  // Rows in list order; a vector, so that a row is found at once among many thousands.
  std::vector<PointRec> m_rows;
  CSiteList m_list;
  CAlphaButton m_add, m_delete, m_help;
  std::uint64_t m_counter = 3;
  bool m_initialising = true;
  SIZE m_minTrack{0, 0};
};
