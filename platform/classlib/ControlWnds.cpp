#include "ControlWnds.h"

#include <cwchar>

namespace {
CString TextFromBuffer(const std::wstring& buffer) { return CString(buffer.c_str()); }
}  // namespace

void CComboBox::GetLBText(int index, CString& text) const {
  const int n = GetLBTextLen(index);
  if (n < 0) {
    text.Empty();
    return;
  }
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  text = TextFromBuffer(buffer);
}

void CListBox::GetText(int index, CString& text) const {
  const int n = static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
  if (n < 0) {
    text.Empty();
    return;
  }
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  text = TextFromBuffer(buffer);
}

int CListCtrl::InsertColumn(int column, LPCWSTR heading, int format, int width, int subItem) {
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_FMT;
  c.fmt = format;
  c.pszText = const_cast<LPWSTR>(heading);
  if (width >= 0) c.mask |= LVCF_WIDTH, c.cx = width;
  if (subItem >= 0) c.mask |= LVCF_SUBITEM, c.iSubItem = subItem;
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c)));
}

int CListCtrl::InsertItem(int item, LPCWSTR text) {
  LVITEMW i{};
  i.mask = LVIF_TEXT;
  i.iItem = item;
  i.pszText = const_cast<LPWSTR>(text);
  return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&i)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCWSTR text) {
  LVITEMW i{};
  i.iSubItem = subItem;
  i.pszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&i)));
}

CString CListCtrl::GetItemText(int item, int subItem) const {
  // Long cells (formulas, paths) are read whole, growing the buffer until the text fits.
  for (size_t size = 256;; size *= 4) {
    std::wstring buffer(size, L'\0');
    LVITEMW i{};
    i.iSubItem = subItem;
    i.pszText = buffer.data();
    i.cchTextMax = static_cast<int>(size);
    const auto n = static_cast<size_t>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&i)));
    if (n + 1 < size || size >= 0x100000) return CString(buffer.c_str());
  }
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
  LVITEMW i{};
  i.mask = LVIF_PARAM;
  i.iItem = item;
  i.lParam = static_cast<LPARAM>(data);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&i)));
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
  LVITEMW i{};
  i.mask = LVIF_PARAM;
  i.iItem = item;
  SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&i));
  return static_cast<DWORD_PTR>(i.lParam);
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  LVITEMW i{};
  i.state = state;
  i.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&i)));
}

BOOL CListCtrl::GetItemRect(int item, LPRECT rect, UINT code) const {
  rect->left = static_cast<LONG>(code);
  return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}

BOOL CListCtrl::GetSubItemRect(int item, int subItem, int area, RECT& rect) const {
  rect.top = subItem;
  rect.left = area;
  return static_cast<BOOL>(SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)));
}

int CListCtrl::HitTest(CPoint point, UINT* flags) const {
  LVHITTESTINFO info{point, 0, -1, 0};
  const int item = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
  if (flags) *flags = info.flags;
  return item;
}

HTREEITEM CTreeCtrl::InsertItem(LPCWSTR text, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = after;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<LPWSTR>(text);
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
  wchar_t buffer[1024] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = buffer;
  tv.cchTextMax = 1024;
  SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return CString(buffer);
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, LPCWSTR text) {
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)));
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return static_cast<DWORD_PTR>(tv.lParam);
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  tv.lParam = static_cast<LPARAM>(data);
  return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)));
}

LONG CTabCtrl::InsertItem(int item, LPCWSTR text, LPARAM data) {
  TCITEMW t{};
  t.mask = TCIF_TEXT | TCIF_PARAM;
  t.pszText = const_cast<LPWSTR>(text);
  t.lParam = data;
  return static_cast<LONG>(SendMessage(TCM_INSERTITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&t)));
}

TOOLINFOW CToolTipCtrl::Info(CWnd* window, UINT_PTR id, LPCRECT rect, LPCWSTR text) const {
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.lpszText = const_cast<LPWSTR>(text);
  if (rect) {
    info.hwnd = window ? window->m_hWnd : nullptr;
    info.uId = id;
    info.rect = *rect;
  } else {
    // A whole window is its own tool; its parent answers for its text.
    info.uFlags = TTF_IDISHWND;
    info.hwnd = window ? ::GetParent(window->m_hWnd) : nullptr;
    info.uId = reinterpret_cast<UINT_PTR>(window ? window->m_hWnd : nullptr);
  }
  return info;
}

BOOL CToolTipCtrl::AddTool(CWnd* window, LPCWSTR text, LPCRECT rect, UINT_PTR id) {
  TOOLINFOW info = Info(window, id, rect, text);
  return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* window, UINT_PTR id) {
  TOOLINFOW info = Info(window, id, nullptr, nullptr);
  if (id) info = Info(window, id, &info.rect, nullptr);
  SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id) {
  TOOLINFOW info = Info(window, id, nullptr, text);
  if (id) {
    RECT none{};
    info = Info(window, id, &none, text);
  }
  SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}
