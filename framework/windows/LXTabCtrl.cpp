// The tab control with one dialog page per tab: selection with its notifications, both sizings,
// and the pages' modified state passed on to the control's parent.
#include "LXTabCtrl.h"

#include <algorithm>

#include "DialogPane.h"
#include "LXMessage.h"
#include "WndGeometry.h"

BEGIN_MESSAGE_MAP(CLXTabCtrl, CTabCtrl)
  ON_NOTIFY_REFLECT_EX(TCN_SELCHANGING, &CLXTabCtrl::OnSelChanging)
  ON_NOTIFY_REFLECT_EX(TCN_SELCHANGE, &CLXTabCtrl::OnSelChange)
  ON_WM_SIZE()
  ON_WM_DESTROY()
  ON_MESSAGE(TCM_SETCURSEL, &CLXTabCtrl::OnSetCurSel)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedSync, &CLXTabCtrl::OnPaneModified)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedAsync, &CLXTabCtrl::OnPaneModified)
END_MESSAGE_MAP()

CLXTabCtrl::CLXTabCtrl() { m_pages.reserve(5); }

CLXTabCtrl::~CLXTabCtrl() {
  // The pages belong to their owner: they must not go down with this window.
  if (m_hWnd && ::IsWindow(m_hWnd)) ReleasePages();
  for (PageRecord* record : m_pages) delete record;
  m_pages.clear();
}

CLXTabCtrl::PageRecord* CLXTabCtrl::Find(UINT pageId) const {
  for (PageRecord* record : m_pages)
    if (record->pageId == pageId) return record;
  return nullptr;
}

const CLXTabCtrl::PageRecord* CLXTabCtrl::FindPage(UINT pageId) const { return Find(pageId); }

int CLXTabCtrl::AddPage(const CString& label, UINT pageId, CDialogPane* page) {
  const int index = static_cast<int>(m_pages.size());
  const LONG inserted = InsertItem(index, label, static_cast<LPARAM>(pageId));
  if (inserted == -1) return -1;
  // The window the page belongs with; it gets the page back when this control goes.
  CWnd* former = GetParent();
  if (!page || !page->Create(pageId, this)) {
    DeleteItem(static_cast<int>(inserted));
    return -1;
  }
  page->SetParent(this);
  auto* record = new PageRecord{pageId, static_cast<int>(inserted), page, former};
  m_pages.push_back(record);
  if (!m_fitToPage) LayoutPage(page);
  SetCurSel(static_cast<int>(inserted));
  return static_cast<int>(inserted);
}

int CLXTabCtrl::ShowCommand() const {
  if (::IsIconic(m_hWnd)) return SW_RESTORE;
  if (::IsZoomed(m_hWnd)) return SW_SHOWMAXIMIZED;
  return SW_SHOWNORMAL;
}

void CLXTabCtrl::ShowPages() {
  EnableWindow(TRUE);
  ShowWindow(ShowCommand());
  SetCurSel(0);
  if (CDialogPane* page = GetCurrentPage()) page->SetFocus();
  m_firstShowPending = false;
}

CDialogPane* CLXTabCtrl::GetCurrentPage() {
  const int selected = GetCurSel();
  if (selected < 0) return nullptr;
  TCITEMW item{};
  item.mask = TCIF_PARAM;
  if (!GetItem(selected, &item)) return nullptr;
  PageRecord* record = Find(static_cast<UINT>(item.lParam));
  return record ? record->page : nullptr;
}

void CLXTabCtrl::Notify(UINT code) {
  CWnd* parent = GetParent();
  if (!parent) return;
  NMHDR header{};
  header.hwndFrom = m_hWnd;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
  header.code = code;
  parent->SendMessage(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

int CLXTabCtrl::SelectPage(UINT pageId) {
  if (m_busy) return -1;
  m_busy = true;
  struct Restore {
    bool& flag;
    ~Restore() { flag = false; }
  } restore{m_busy};
  PageRecord* record = Find(pageId);
  if (!record) return -1;
  if (!m_notificationsOff) Notify(TCN_SELCHANGING);
  if (CDialogPane* current = GetCurrentPage(); current && current->m_hWnd) current->ShowWindow(SW_HIDE);
  if (record->page && record->page->m_hWnd) record->page->ShowWindow(SW_SHOWNA);
  const int index = record->tabIndex;
  if (!m_notificationsOff) {
    SetCurSel(index);
    Notify(TCN_SELCHANGE);
  }
  return index;
}

LRESULT CLXTabCtrl::OnSetCurSel(WPARAM wParam, LPARAM lParam) {
  if (m_notificationsOff) return -1;
  m_notificationsOff = true;
  LRESULT result = -1;
  const int index = static_cast<int>(wParam);
  if (index >= 0 && index < static_cast<int>(m_pages.size())) {
    if (!m_busy) {
      TCITEMW item{};
      item.mask = TCIF_PARAM;
      result = GetItem(index, &item) ? SelectPage(static_cast<UINT>(item.lParam)) : -1;
    } else {
      result = index;
    }
    if (result != -1) DefWindowProc(TCM_SETCURSEL, wParam, lParam);
  }
  if (m_fitToPage) FitToCurrentPage();
  m_notificationsOff = false;
  return result;
}

BOOL CLXTabCtrl::OnSelChanging(NMHDR*, LRESULT* result) {
  if (CDialogPane* current = GetCurrentPage(); current && current->m_hWnd) current->ShowWindow(SW_HIDE);
  if (result) *result = 0;
  return FALSE;
}

BOOL CLXTabCtrl::OnSelChange(NMHDR*, LRESULT* result) {
  CDialogPane* current = GetCurrentPage();
  // A selection moved by the keyboard has no TCN_SELCHANGING: no other page may stay shown.
  for (PageRecord* record : m_pages)
    if (record->page != current && record->page && record->page->m_hWnd && record->page->IsWindowVisible())
      record->page->ShowWindow(SW_HIDE);
  if (current && current->m_hWnd) current->ShowWindow(ShowCommand());
  if (m_fitToPage) FitToCurrentPage();
  if (result) *result = 0;
  return FALSE;
}

RECT CLXTabCtrl::DisplayArea() {
  const int cx = ::GetSystemMetrics(SM_CXEDGE), cy = ::GetSystemMetrics(SM_CYEDGE);
  RECT area{};
  GetWindowRect(&area);
  RECT item{};
  GetItemRect(0, &item);
  area.left += 2 * cx;
  area.right -= 2 * cx;
  area.bottom -= 2 * cy;
  area.top += (item.bottom - item.top) + 2 * cy;
  ScreenToClient(&area);
  return area;
}

void CLXTabCtrl::LayoutPage(CDialogPane* page) {
  if (!page || !page->m_hWnd) return;
  const RECT area = DisplayArea();
  page->MoveWindow(area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

void CLXTabCtrl::OnSize(UINT type, int cx, int cy) {
  CTabCtrl::OnSize(type, cx, cy);
  if (m_firstShowPending || m_fitToPage) return;
  for (PageRecord* record : m_pages) LayoutPage(record->page);
}

void CLXTabCtrl::FitToCurrentPage() {
  CDialogPane* page = GetCurrentPage();
  if (!page || !page->m_hWnd) return;
  const int cx = ::GetSystemMetrics(SM_CXEDGE), cy = ::GetSystemMetrics(SM_CYEDGE);
  RECT item{};
  GetItemRect(0, &item);
  const int itemHeight = item.bottom - item.top;
  RECT client{};
  GetClientRect(&client);
  RECT pageRect{};
  page->GetWindowRect(&pageRect);
  const int width = pageRect.right - pageRect.left, height = pageRect.bottom - pageRect.top;
  page->SetWindowPos(nullptr, client.left + 2 * cx, client.top + itemHeight + 2 * cy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(nullptr, 0, 0, width + 4 * cx, height + itemHeight + 4 * cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CLXTabCtrl::OnPaneModified(WPARAM wParam, LPARAM lParam) {
  const MSG* current = GetCurrentMessage();
  const UINT id = current ? current->message : g_msgPaneModifiedSync;
  CWnd* parent = GetParent();
  HWND to = parent ? parent->m_hWnd : LXAppWindows::GetMainWindow();
  CLXMsgTarget(to, id, lParam, wParam).Send(CLXMessage::kModeKeep);
  return 1;
}

void CLXTabCtrl::ReleasePages() {
  for (PageRecord* record : m_pages) {
    CDialogPane* page = record->page;
    if (!page || !page->m_hWnd || !::IsWindow(page->m_hWnd) || ::GetParent(page->m_hWnd) != m_hWnd) continue;
    CWnd* former = record->formerParent;
    if (!former || !former->m_hWnd || !::IsWindow(former->m_hWnd) || former->m_hWnd == m_hWnd) continue;
    page->ShowWindow(SW_HIDE);
    ::SetParent(page->m_hWnd, former->m_hWnd);
  }
}

void CLXTabCtrl::OnDestroy() {
  ReleasePages();
  Default();
}
