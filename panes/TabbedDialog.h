// CTabbedDialog<TBase>: a dialog (TBase, a CLXDialog) that shows its pages as the tabs of one
// CLXTabCtrl (control 1500): commands go to the page shown first, Save follows the pages' modified
// state, and the dialog is never made narrower than it opened.
#pragma once
#include "LXDialog.h"
#include "LXTabCtrl.h"

template <class TBase>
class CTabbedDialog : public TBase {
 public:
  static constexpr UINT kTabControlId = 1500;
  CTabbedDialog(UINT templateId, CWnd* parent);

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  bool ApplyChanges() override;
  void RefreshControls() override;

  // Selects tabIndex (or the page of fallbackPageId, or tab 0) and writes the tab shown back.
  virtual int SelectTab(int& tabIndex, UINT fallbackPageId);
  // Called by OnTabChanged after the modified state is set.
  virtual void OnTabSelected() {}
  virtual void OnGetMinMaxInfo(MINMAXINFO* info);
  virtual BOOL OnNcActivate(BOOL active);
  virtual void OnTabChanged();

  CLXTabCtrl m_tabCtrl;
  RECT m_initialClient{};
  int m_minTrackWidth = 0;

 protected:
  void OnTabChangeNotify(NMHDR* header, LRESULT* result);
  LRESULT OnPaneModified(WPARAM wParam, LPARAM lParam);
  void OnDestroy();
  void RaiseLock() {
    ++this->m_refreshGuard.count;
    this->m_refreshGuard.held = true;
  }
  DECLARE_MESSAGE_MAP()
};

extern template class CTabbedDialog<CLXDialog>;
