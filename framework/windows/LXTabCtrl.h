// CLXTabCtrl: a tab control that owns one child dialog page per tab, shows the page of the selected
// tab, and either fits its pages into its display area or fits itself around the current page.
#pragma once
#include <vector>

#include "ControlWnds.h"

class CDialogPane;

class CLXTabCtrl : public CTabCtrl {
 public:
  struct PageRecord {
    UINT pageId = static_cast<UINT>(-1);  // the page's template id, also the tab's lParam
    int tabIndex = -1;
    CDialogPane* page = nullptr;
    CWnd* formerParent = nullptr;  // the page's parent before it moved under the control
  };

  CLXTabCtrl();
  ~CLXTabCtrl() override;

  // Appends a tab and creates its page from template pageId; −1 (and no tab) when that fails.
  int AddPage(const CString& label, UINT pageId, CDialogPane* page);
  // Called once after the pages are added: shows the control and its first page.
  void ShowPages();
  CDialogPane* GetCurrentPage();
  // The tab index of the page now shown, or −1.
  int SelectPage(UINT pageId);
  const PageRecord* FindPage(UINT pageId) const;
  // Moves every page back under the parent it had before AddPage. A parent that destroys itself
  // calls it from its own WM_DESTROY, so its pages are destroyed as its children.
  void ReleasePages();

  bool m_firstShowPending = true;
  bool m_notificationsOff = false;
  bool m_busy = false;
  std::vector<PageRecord*> m_pages;
  bool m_fitToPage = true;

 protected:
  BOOL OnSelChanging(NMHDR* header, LRESULT* result);
  BOOL OnSelChange(NMHDR* header, LRESULT* result);
  void OnSize(UINT type, int cx, int cy);
  void OnDestroy();
  LRESULT OnSetCurSel(WPARAM wParam, LPARAM lParam);
  LRESULT OnPaneModified(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  PageRecord* Find(UINT pageId) const;
  // The area below the tabs, in the control's client coordinates.
  RECT DisplayArea();
  void LayoutPage(CDialogPane* page);
  void FitToCurrentPage();
  int ShowCommand() const;
  void Notify(UINT code);
};
