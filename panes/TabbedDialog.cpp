// The tabbed dialog base of the preferences dialog.
#include "TabbedDialog.h"

#include "DialogPane.h"
#include "LXMessage.h"

BEGIN_TEMPLATE_MESSAGE_MAP(CTabbedDialog, TBase, TBase)
  ON_NOTIFY(TCN_SELCHANGE, 1500, &CTabbedDialog::OnTabChangeNotify)
  ON_WM_GETMINMAXINFO()
  ON_WM_NCACTIVATE()
  ON_WM_DESTROY()
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedSync, &CTabbedDialog::OnPaneModified)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedAsync, &CTabbedDialog::OnPaneModified)
END_MESSAGE_MAP()

template <class TBase>
CTabbedDialog<TBase>::CTabbedDialog(UINT templateId, CWnd* parent) : TBase(templateId, parent) {
  RaiseLock();
}

template <class TBase>
BOOL CTabbedDialog<TBase>::OnInitDialog() {
  this->GetClientRect(&m_initialClient);
  const BOOL result = TBase::OnInitDialog();
  m_tabCtrl.DeleteAllItems();
  RECT window{};
  this->GetWindowRect(&window);
  m_minTrackWidth = window.right - window.left;
  this->m_refreshGuard.Release();
  return result;
}

template <class TBase>
void CTabbedDialog<TBase>::DoDataExchange(CDataExchange* dx) {
  TBase::DoDataExchange(dx);
  DDX_Control(dx, kTabControlId, m_tabCtrl);
}

template <class TBase>
BOOL CTabbedDialog<TBase>::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (code == 0 && id != IDOK && id != IDCANCEL && m_tabCtrl.m_hWnd)
    if (CDialogPane* page = m_tabCtrl.GetCurrentPage(); page && page->OnCmdMsg(id, code, extra, handlerInfo))
      return TRUE;
  return TBase::OnCmdMsg(id, code, extra, handlerInfo);
}

template <class TBase>
bool CTabbedDialog<TBase>::ApplyChanges() {
  CDialogPane* page = m_tabCtrl.m_hWnd ? m_tabCtrl.GetCurrentPage() : nullptr;
  if (!page || !page->ApplyChanges()) return false;
  return TBase::ApplyChanges();
}

template <class TBase>
void CTabbedDialog<TBase>::RefreshControls() {
  TBase::RefreshControls();
  this->Invalidate(TRUE);
}

template <class TBase>
int CTabbedDialog<TBase>::SelectTab(int& tabIndex, UINT fallbackPageId) {
  if (tabIndex != -1 && m_tabCtrl.SetCurSel(tabIndex) != -1) return tabIndex = m_tabCtrl.GetCurSel();
  if (const CLXTabCtrl::PageRecord* record = m_tabCtrl.FindPage(fallbackPageId))
    if (m_tabCtrl.SetCurSel(record->tabIndex) != -1) return tabIndex = m_tabCtrl.GetCurSel();
  m_tabCtrl.SetCurSel(0);
  return tabIndex = m_tabCtrl.GetCurSel();
}

template <class TBase>
void CTabbedDialog<TBase>::OnGetMinMaxInfo(MINMAXINFO* info) {
  if (!this->m_refreshGuard.held && info) info->ptMinTrackSize.x = m_minTrackWidth;
}

template <class TBase>
BOOL CTabbedDialog<TBase>::OnNcActivate(BOOL active) {
  const MSG* current = CWnd::GetCurrentMessage();
  HWND other = current ? reinterpret_cast<HWND>(current->lParam) : nullptr;
  if (!other) return TRUE;
  // Focus moving into one of its own windows keeps the caption drawn active.
  if (!active && ::IsChild(this->m_hWnd, other)) return FALSE;
  return TRUE;
}

template <class TBase>
void CTabbedDialog<TBase>::OnTabChanged() {}

template <class TBase>
void CTabbedDialog<TBase>::OnTabChangeNotify(NMHDR*, LRESULT* result) {
  OnTabChanged();
  if (result) *result = 0;
}

template <class TBase>
LRESULT CTabbedDialog<TBase>::OnPaneModified(WPARAM wParam, LPARAM) {
  // The pane sends its flag as wParam, its window as lParam.
  if ((wParam & 0xFF) && !this->m_refreshGuard.held) this->SetModified(true, false);
  return 1;
}

template <class TBase>
void CTabbedDialog<TBase>::OnDestroy() {
  // Before this window's children are listed for destruction, so the pages go with them.
  if (m_tabCtrl.m_hWnd) m_tabCtrl.ReleasePages();
  TBase::OnDestroy();
}

template class CTabbedDialog<CLXDialog>;
