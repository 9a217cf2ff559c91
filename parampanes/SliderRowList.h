// CSliderRowList: the editable list of the mixture and occupancy panes: one row per share (a
// component's weight fraction, an element's occupancy) with its name, a slider laid over column 2
// and the share's value; sliders, typed values and names all take one road to the pane.
#pragma once
#include <memory>
#include <vector>

#include "ControlWnds.h"
#include "LXAlphaButton.h"
#include "SubEditList.h"

class CSliderRowList : public CSubEditList {
 public:
  // What changed: a share (slider or typed value) or a name.
  enum Change { kShareChanged, kNameChanged };
  static constexpr int kSliderMax = 100;

  // Widths in percent of columns 1 (name), 2 (slider) and 3 (value).
  CSliderRowList(int nameWidth, int sliderWidth, int valueWidth);
  ~CSliderRowList() override;

  // Sets the columns, the full-row selection and the row height.
  void Setup(CWnd* owner);
  bool IsCellEditable(int, int column) override { return column == 1 || column == 3; }
  bool GetColumnSpecs(const ColumnSpec*& table, bool& stretch, int& stretchColumn) override;
  bool DrawCell(CDC* dc, int row, int column, const CRect& cell) override;
  void AccessCellText(int row, int column, bool set, CString& text) override;

  int GetRowCount() const { return static_cast<int>(m_sliders.size()); }
  // Each slider's thumb from its row's share, and the value column redrawn.
  void RefreshSliders();
  // Shows each row's slider over its cell while the row is in view, hides it otherwise.
  void SyncSliders();
  CSliderCtrl* GetSlider(int row) { return row >= 0 && row < GetRowCount() ? m_sliders[size_t(row)].get() : nullptr; }

 protected:
  // The rows' shares and names, supplied by the pane's list.
  virtual double GetShare(int row) const = 0;
  // Stores the share and balances the others.
  virtual void SetShare(int row, double share) = 0;
  virtual CString GetName(int row) const = 0;
  // False (after telling the user) when the name is refused.
  virtual bool SetName(int row, const CString& name) = 0;
  // Tells the pane that the list changed the model.
  virtual void NotifyChanged(Change change) = 0;
  // Replaces the rows: `count` sliders with ids firstId + row.
  void ResetRows(int count, UINT firstId);

  void OnHScroll(UINT code, UINT position, CScrollBar* bar);
  void OnVScroll(UINT code, UINT position, CScrollBar* bar);
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point);

  ColumnSpec m_layout[3];
  std::vector<std::unique_ptr<CSliderCtrl>> m_sliders;
  std::vector<CRect> m_placed;
  bool m_inSlider = false;
  bool m_syncing = false;
  DECLARE_MESSAGE_MAP()
};

// Gives the list of a pane a fixed height and answers the pane's new open height at its width.
int FitPaneToList(HWND pane, HWND list, int listHeight, int paneWidth);
// Gives a control the layout has no size for (an image button) a fixed one.
void FixControlSize(HWND control, int width, int height);
// Side of the panes' image buttons, which the layout has no size for.
constexpr int kPaneButtonSize = 22;
// A pane built round a slider list: the list takes its owner and shows ROWS rows, the action
// button its image and its menu on press. Answers the pane's open height (0: not measured).
int SetUpSliderListPane(CWnd* pane, CSliderRowList& list, int rows, CAlphaButton& action, UINT image, UINT menu,
                        int paneWidth);
