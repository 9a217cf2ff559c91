#include "SubEditList.h"

#include <algorithm>

#include "LXAlphaButton.h"
#include "LXColorPopup.h"
#include "LXGdiplus.h"
#include "LXImages.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "Paint.h"
#include "Resources.h"

IMPLEMENT_DYNAMIC(CSubEditList, CWnd)

BEGIN_MESSAGE_MAP(CSubEditList, CListCtrl)
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_MOUSEMOVE()
  ON_WM_MOUSEWHEEL()
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_WM_KEYDOWN()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_MESSAGE(LVM_SETITEMCOUNT, &CSubEditList::OnSetItemCount)
  ON_REGISTERED_MESSAGE(g_msgEditStartSync, &CSubEditList::OnEditStart)
  ON_REGISTERED_MESSAGE(g_msgEditStartAsync, &CSubEditList::OnEditStart)
  ON_REGISTERED_MESSAGE(g_msgEditEndSync, &CSubEditList::OnEditEnd)
  ON_REGISTERED_MESSAGE(g_msgEditEndAsync, &CSubEditList::OnEditEnd)
  ON_REGISTERED_MESSAGE(g_msgEditShiftSync, &CSubEditList::OnEditShift)
  ON_REGISTERED_MESSAGE(g_msgEditShiftAsync, &CSubEditList::OnEditShift)
  ON_REGISTERED_MESSAGE(g_msgEditCancelSync, &CSubEditList::OnEditCancel)
  ON_REGISTERED_MESSAGE(g_msgEditCancelAsync, &CSubEditList::OnEditCancel)
  ON_REGISTERED_MESSAGE(g_msgSubEditExitSizeMoveSync, &CSubEditList::OnExitSizeMove)
  ON_REGISTERED_MESSAGE(g_msgSubEditExitSizeMoveAsync, &CSubEditList::OnExitSizeMove)
  ON_MESSAGE(WM_THEMECHANGED, &CSubEditList::OnThemeChanged)
  ON_MESSAGE(WM_COLORPICK_ACCEPT, &CSubEditList::OnColorPickEnd)
  ON_MESSAGE(WM_COLORPICK_CANCEL, &CSubEditList::OnColorPickEnd)
END_MESSAGE_MAP()

namespace {
constexpr UINT_PTR kFitTimer = 0x5E1;
constexpr UINT kFitDelayMs = 120;

UINT TextFormatFor(UINT format) {
  switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT: return 0xA126;
    case LVCFMT_CENTER: return 0xA125;
    default: return 0xA124;
  }
}
}  // namespace

CSubEditList::CSubEditList() = default;

CSubEditList::~CSubEditList() {
  if (m_imageList) ImageList_Destroy(m_imageList);
  if (m_redrawLocks > 0 && m_redrawWindow && ::IsWindow(m_redrawWindow)) ::SendMessageW(m_redrawWindow, WM_SETREDRAW, TRUE, 0);
  delete m_pCellImage;
  if (m_hTheme) CloseThemeData(m_hTheme);
}

BOOL CSubEditList::PreCreateWindow(CREATESTRUCTW& cs) {
  cs.style = static_cast<LONG>((static_cast<DWORD>(cs.style) & ~kStyleRemoved) | kStyleAdded);
  return CListCtrl::PreCreateWindow(cs);
}

UINT CSubEditList::GetColumnKind(int column) const {
  const ColumnRecord* r = GetColumnRecord(column);
  return r ? r->kind : 0;
}

const CSubEditList::ColumnRecord* CSubEditList::GetColumnRecord(int column) const {
  return column >= 0 && column < static_cast<int>(m_columns.size()) ? &m_columns[static_cast<size_t>(column)] : nullptr;
}

CSubEditList::ColumnRecord* CSubEditList::GetColumnRecord(int column) {
  return column >= 0 && column < static_cast<int>(m_columns.size()) ? &m_columns[static_cast<size_t>(column)] : nullptr;
}

// ---- Virtual operations: the base answers ----------------------------------------------------

int CSubEditList::UpdateRowHeight(int minimum) {
  int text = 0;
  if (CDC* dc = GetDC()) {
    CGdiObject* old = dc->SelectObject(GetFont());
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc->m_hDC, &tm);
    text = tm.tmHeight;
    if (old) dc->SelectObject(old);
    ReleaseDC(dc);
  }
  if (m_hasCheckColumn) text = std::max(text, GetSystemMetrics(SM_CYSMSIZE));
  return static_cast<int>(std::ceil(1.1 * std::max(text, minimum)));
}

bool CSubEditList::IsCellEditable(int, int column) {
  const UINT kind = GetColumnKind(column);
  return kind == kKindText || (kind >= kKindColor && kind <= kKindOther);
}

bool CSubEditList::IsColumnVisible(int column) {
  const ColumnRecord* r = GetColumnRecord(column);
  return column > 0 && r && r->visible;
}

bool CSubEditList::IsColumnSortable(int) { return false; }

void CSubEditList::OnCellDoubleClick(UINT flags, CPoint point) {
  OnLButtonDown(flags, point);
  OnLButtonUp(flags, point);
}

bool CSubEditList::GetColumnSpecs(const ColumnSpec*&, bool&, int&) { return false; }

void CSubEditList::AccessCellCheck(int, int, bool, UINT&) {}

void CSubEditList::AccessCellColor(int, int, bool, DWORD&, bool&) {}

void CSubEditList::AccessCellMenu(int, int, bool set, HMENU& menu, int& choice, bool& disabled) {
  if (set) return;
  menu = nullptr;
  choice = 0;
  disabled = false;
}

void CSubEditList::AccessCellText(int, int, bool set, CString& text) {
  if (!set) text.Empty();
}

// ---- Initialisation and column layout ------------------------------------------------------

void CSubEditList::Initialise(CWnd* owner, int columnCount, void* context) {
  m_pOwner = owner;
  m_pContext = context;
  // The end of a window's sizing reaches the list as its own resize, settled by a short timer.
  m_hookRegistered = GetParent() == owner;
  ModifyStyle(kStyleRemoved, kStyleAdded);
  SendMessage(LVM_DELETEALLITEMS);
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | kExStyleAdded, kExStyleAdded);
  if (HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER))) {
    if (!m_header.m_hWnd) m_header.SubclassWindow(header);
    m_header.SetList(this);
    m_header.ModifyStyle(0, HDS_FLAT);
  }
  if (!m_editor.m_hWnd && !m_editor.Create(0, this, kEditorId)) throw CLXXSubEditInit(kLXSeverityMessage, 0, __LINE__);
  m_editor.ModifyStyle(0x1844, 0);
  m_editor.ShowWindow(SW_HIDE);
  SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
  if (InsertColumn(0, L"", LVCFMT_LEFT, 0) != 0) throw CLXXSubEditInit(kLXSeverityMessage, 0, __LINE__);
  m_columns.assign(1, ColumnRecord{});
  m_columnCount = 1;
  m_initialised = true;
  const ColumnSpec* specs = nullptr;
  bool stretch = true;
  int stretchColumn = -1;
  if (GetColumnSpecs(specs, stretch, stretchColumn) && specs) {
    for (int i = 1; i <= columnCount; ++i) {
      const ColumnSpec& s = specs[i - 1];
      CString title;
      if (s.title != 0xFFFFFFFFu) title.LoadString(s.title);
      if (InsertColumn(i, title, static_cast<int>(s.format), 10) != i) throw CLXXSubEditInit(kLXSeverityMessage, i, __LINE__);
      ColumnRecord r;
      r.kind = s.kind;
      r.format = s.format;
      r.textFormat = TextFormatFor(s.format);
      m_columns.push_back(r);
      m_columnCount = i + 1;
      if (s.kind == kKindColor) m_hasColorColumn = true;
      if (s.kind == kKindCheck) m_hasCheckColumn = true;
      if (s.kind == kKindMenu) m_hasMenuColumn = true;
    }
    LayoutColumns(specs, stretch, stretchColumn);
  }
  if (!(GetStyle() & LVS_NOSORTHEADER) && m_columnCount >= 2) {
    SendMessage(LVM_SETSELECTEDCOLUMN, 1);
    m_sortColumn = 1;
  }
  delete m_pCellImage;
  m_pCellImage = LoadBitmapResource(kCellImageId);
  if (!m_pCellImage) throw CLXXCantLoadResource(kLXSeverityMessage, kCellImageId, __LINE__);
  m_cellImageFrames = 2;
}

void CSubEditList::FitColumnsToWidth() {
  const ColumnSpec* specs = nullptr;
  bool stretch = true;
  int stretchColumn = -1;
  if (GetColumnSpecs(specs, stretch, stretchColumn) && specs) LayoutColumns(specs, stretch, stretchColumn);
}

void CSubEditList::LayoutColumns(const ColumnSpec* specs, bool stretch, int stretchColumn) {
  if (!m_initialised || m_layingOut) return;
  m_layingOut = true;
  TakeRedrawLock();
  if (!stretch) stretchColumn = 0;
  else if (stretchColumn == -1) stretchColumn = m_columnCount - 1;
  CRect client;
  GetClientRect(&client);
  const int W = client.Width();
  m_clientWidth = W;
  const auto limit = [](int width, int minimum, int maximum) {
    if (width < 0 || (minimum >= 0 && width < minimum)) width = minimum;
    if (maximum >= 0 && width > maximum) width = maximum;
    return width;
  };
  m_columns[0].width = 0;
  int sum = 0;
  for (int i = 1; i < m_columnCount; ++i) {
    const ColumnSpec& s = specs[i - 1];
    ColumnRecord& r = m_columns[static_cast<size_t>(i)];
    int width = s.width;
    if (s.percent) width = static_cast<int>(static_cast<long long>(W) * std::clamp(s.width, 0, 100) / 100);
    r.minWidth = s.minWidth;
    r.maxWidth = s.maxWidth;
    if (r.visible) width = limit(width, r.minWidth, r.maxWidth);
    r.width = width;
    if (r.visible) sum += width;
  }
  if (stretchColumn >= 1 && stretchColumn < m_columnCount && IsColumnVisible(stretchColumn)) {
    ColumnRecord& r = m_columns[static_cast<size_t>(stretchColumn)];
    r.width = limit(r.width + W - sum, r.minWidth, r.maxWidth);
  }
  for (int i = 0; i < m_columnCount; ++i) {
    const int width = m_columns[static_cast<size_t>(i)].width;
    if (GetColumnWidth(i) != width) SetColumnWidth(i, std::max(0, width));
  }
  ReleaseRedrawLock();
  m_layingOut = false;
  UpdateHorizontalScrollBar();
}

void CSubEditList::TakeRedrawLock() {
  if (m_redrawLocks++ == 0) {
    m_redrawWindow = m_hWnd;
    SendMessage(WM_SETREDRAW, FALSE);
  }
}

void CSubEditList::ReleaseRedrawLock(bool invalidate) {
  if (m_redrawLocks <= 0) return;
  if (--m_redrawLocks == 0) {
    SendMessage(WM_SETREDRAW, TRUE);
    if (invalidate) Invalidate();
  }
}

void CSubEditList::UpdateHorizontalScrollBar() {
  int total = 0;
  for (int i = 1; i < m_columnCount; ++i) total += GetColumnWidth(i);
  CRect client;
  GetClientRect(&client);
  // Shown only while the columns are wider than the client area.
  if (total > client.Width()) ModifyStyle(0, WS_HSCROLL);
  else ModifyStyle(WS_HSCROLL, 0);
}

void CSubEditList::SetRowHeight(int pixels) {
  if (m_imageList) ImageList_Destroy(m_imageList);
  m_imageList = ImageList_Create(1, std::max(1, pixels), ILC_COLOR32, 1, 0);
  m_rowHeight = pixels;
  SendMessage(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_imageList));
}

void CSubEditList::SetColumnTitle(int column, const CString& title) {
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT;
  c.pszText = const_cast<LPWSTR>(title.GetString());
  SendMessage(LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
}

int CSubEditList::MeasureListHeaderHeight() {
  HWND main = LXAppWindows::GetMainWindow();
  HWND list = ::CreateWindowExW(0, WC_LISTVIEW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 200, 100, main,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000)), nullptr, nullptr);
  int height = GetSystemMetrics(SM_CYSMSIZE);
  if (list) {
    RECT r{};
    if (HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)); header && ::GetWindowRect(header, &r) &&
                                                                                        r.bottom > r.top)
      height = r.bottom - r.top;
    ::DestroyWindow(list);
  }
  return height;
}

// ---- Rows, selection and sorting ------------------------------------------------------------

int CSubEditList::GetSelectedRow() const { return GetNextItem(-1, LVNI_SELECTED); }

int CSubEditList::GetLastVisibleRow() const {
  const int last = GetTopIndex() + GetCountPerPage() - 1;
  return std::min(last, GetItemCount() - 1);
}

void CSubEditList::EnsureRowVisible(int row) {
  if (RowExists(row)) EnsureVisible(row, FALSE);
}

void CSubEditList::ScrollRowToTop(int row) {
  if (!RowExists(row)) return;
  CRect top, target;
  GetItemRect(GetTopIndex(), &top, LVIR_BOUNDS);
  GetItemRect(row, &target, LVIR_BOUNDS);
  SendMessage(LVM_SCROLL, 0, target.top - top.top);
}

void CSubEditList::InvalidateRow(int row) {
  CRect r;
  if (RowExists(row) && GetItemRect(row, &r, LVIR_BOUNDS)) InvalidateRect(&r, FALSE);
}

bool CSubEditList::HitCell(CPoint point, int& row, int& column) {
  LVHITTESTINFO info{};
  info.pt = point;
  SubItemHitTest(&info);
  row = info.iItem;
  column = info.iSubItem;
  return row >= 0;
}

bool CSubEditList::ModifierHeld(int key) const {
  return !m_ignoreModifiers && (::GetAsyncKeyState(key) & 0x8000) != 0;
}

void CSubEditList::ReportRange(int first, int last, UINT newState) {
  NMLVODSTATECHANGE nm{};
  nm.hdr.hwndFrom = m_hWnd;
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
  nm.hdr.code = LVN_ODSTATECHANGED;
  nm.iFrom = first;
  nm.iTo = last;
  nm.uNewState = newState;
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void CSubEditList::SelectRange(int first, int last, int, bool select) {
  const int count = GetItemCount();
  first = std::max(first, 0);
  last = std::min(last, count - 1);
  if (first > last) return;
  TakeRedrawLock();
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = select ? LVIS_SELECTED : 0;
  if (first == 0 && last == count - 1) {
    SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  } else {
    for (int r = first; r <= last; ++r) SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
  }
  ReleaseRedrawLock(true);
}

void CSubEditList::SelectOnClick(int row, int column, UINT) {
  const bool shift = ModifierHeld(VK_SHIFT), ctrl = ModifierHeld(VK_CONTROL);
  if (!(ctrl && !shift && row >= 0)) {
    SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row < 0) return;
  }
  if (shift) {
    int mark = static_cast<int>(SendMessage(LVM_GETSELECTIONMARK));
    if (mark < 0 || mark >= GetItemCount()) {
      mark = row;
      SendMessage(LVM_SETSELECTIONMARK, 0, mark);
    }
    // The clicked row belongs to the range: Shift+click selects up to and including it.
    const int first = std::min(mark, row), last = std::max(mark, row);
    m_rangeSelecting = true;
    SelectRange(first, last, column, true);
    SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
    m_rangeSelecting = false;
    ReportRange(first, last, LVIS_SELECTED);
  } else {
    SendMessage(LVM_SETSELECTIONMARK, 0, row);
    const bool was = GetItemState(row, LVIS_SELECTED) != 0;
    SetItemState(row, (ctrl && was) ? 0 : (LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
  }
  const bool fullRow = (SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT) != 0;
  m_currentColumn = (!shift && !ctrl && !fullRow && IsCellEditable(row, column)) ? column : 0;
}

void CSubEditList::SortBy(int column, bool ascending) {
  if (column == -1 || column == -2) {
    column = m_sortColumn;
    if (const ColumnRecord* r = GetColumnRecord(column)) ascending = r->ascending;
  }
  if (column < 0 || column >= m_columnCount) return;
  SendMessage(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(column));
  m_sortColumn = column;
  ApplySort(column, ascending);
}

void CSubEditList::ApplySort(int column, bool ascending) {
  if (!IsColumnSortable(column)) return;
  if (ColumnRecord* r = GetColumnRecord(column)) r->ascending = ascending;
  if (!m_header.m_hWnd) return;
  const int count = static_cast<int>(m_header.SendMessage(HDM_GETITEMCOUNT));
  for (int i = 0; i < count; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    m_header.SendMessage(HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
    m_header.SendMessage(HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
}

void CSubEditList::FollowRows(const std::vector<int>& order) {
  const int count = std::min(GetItemCount(), static_cast<int>(order.size()));
  std::vector<int> newRow(static_cast<size_t>(count), -1);
  for (int i = 0; i < count; ++i)
    if (order[static_cast<size_t>(i)] >= 0 && order[static_cast<size_t>(i)] < count) newRow[static_cast<size_t>(order[static_cast<size_t>(i)])] = i;
  const auto moved = [&](int old) { return old >= 0 && old < count ? newRow[static_cast<size_t>(old)] : -1; };
  std::vector<int> selected;
  for (int r = GetNextItem(-1, LVNI_SELECTED); r >= 0 && r < count; r = GetNextItem(r, LVNI_SELECTED))
    selected.push_back(moved(r));
  const int focus = moved(GetNextItem(-1, LVNI_FOCUSED));
  const int mark = moved(static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)));
  TakeRedrawLock();
  SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  std::sort(selected.begin(), selected.end());
  for (int r : selected)
    if (r >= 0) SetItemState(r, LVIS_SELECTED, LVIS_SELECTED);
  if (focus >= 0) SetItemState(focus, LVIS_FOCUSED, LVIS_FOCUSED);
  SendMessage(LVM_SETSELECTIONMARK, 0, mark);
  ReleaseRedrawLock(true);
}

// ---- Notifications -------------------------------------------------------------------------

BOOL CSubEditList::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_NOTIFY) return CListCtrl::OnChildNotify(message, wParam, lParam, result);
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  LRESULT dummy = 0;
  if (!result) result = &dummy;
  switch (hdr->code) {
    case NM_CUSTOMDRAW: OnCustomDraw(hdr, result); return TRUE;
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
      if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0) return info->item.iSubItem == 0;
      info->item.pszText[0] = L'\0';
      // A cell's text for those who read the list rather than look at it; the cells draw themselves.
      if (info->item.iSubItem > 0 && RowExists(info->item.iItem)) {
        CString text;
        AccessCellText(info->item.iItem, info->item.iSubItem, false, text);
        wcsncpy(info->item.pszText, text.GetString(), static_cast<size_t>(info->item.cchTextMax) - 1);
        info->item.pszText[info->item.cchTextMax - 1] = L'\0';
      }
      return TRUE;
    }
    case LVN_SETDISPINFOW: return reinterpret_cast<NMLVDISPINFOW*>(lParam)->item.iSubItem == 0;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED: return m_rangeSelecting ? TRUE : FALSE;
    case LVN_ODCACHEHINT: *result = 0; return FALSE;
    case LVN_HOTTRACK: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
      if (m_editing || m_controlPressed) {
        *result = -1;
        return TRUE;
      }
      if (RowExists(nm->iItem)) m_currentRow = nm->iItem;
      m_currentColumn = nm->iSubItem;
      *result = 0;
      return TRUE;
    }
    case LVN_COLUMNCLICK: {
      const int column = reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem;
      if (!IsColumnSortable(column)) return FALSE;
      const ColumnRecord* r = GetColumnRecord(column);
      bool ascending = r ? r->ascending : true;
      if (column == m_sortColumn) ascending = !ascending;
      SortBy(column, ascending);
      return FALSE;
    }
    case HDN_ITEMCHANGEDW: {
      auto* nm = reinterpret_cast<NMHEADERW*>(lParam);
      if (nm->pitem && (nm->pitem->mask & HDI_WIDTH)) {
        UpdateHorizontalScrollBar();
        if (m_editing) RepositionEditor(true);
      }
      return FALSE;
    }
    default: return CListCtrl::OnChildNotify(message, wParam, lParam, result);
  }
}

LRESULT CSubEditList::OnSetItemCount(WPARAM count, LPARAM flags) {
  TakeRedrawLock();
  const int perPage = GetCountPerPage();
  if (static_cast<int>(count) > perPage) ModifyStyle(0, WS_VSCROLL);
  const LRESULT r = DefWindowProc(LVM_SETITEMCOUNT, count, flags);
  CRect client;
  GetClientRect(&client);
  if (client.Width() != m_clientWidth) FitColumnsToWidth();
  ReleaseRedrawLock();
  if (m_editing) RepositionEditor(true);
  return r;
}

void CSubEditList::OnSize(UINT type, int cx, int cy) {
  CListCtrl::OnSize(type, cx, cy);
  if (m_initialised) SetTimer(kFitTimer, kFitDelayMs);
}

void CSubEditList::OnTimer(UINT_PTR id) {
  if (id != kFitTimer) {
    Default();
    return;
  }
  KillTimer(kFitTimer);
  CRect client;
  GetClientRect(&client);
  if (client.Width() != m_clientWidth) FitColumnsToWidth();
  if (m_editing) RepositionEditor(true);
}

LRESULT CSubEditList::OnExitSizeMove(WPARAM, LPARAM) {
  FitColumnsToWidth();
  return 0;
}

LRESULT CSubEditList::OnThemeChanged(WPARAM, LPARAM) {
  if (m_hTheme) OpenTheme();
  return Default();
}

void CSubEditList::OpenTheme() {
  if (m_hTheme) CloseThemeData(m_hTheme);
  m_hTheme = OpenThemeData(m_hWnd, L"Button");
}

HTHEME CSubEditList::Theme() {
  if (!m_hTheme) OpenTheme();
  return m_hTheme;
}

// ---- Mouse ---------------------------------------------------------------------------------

void CSubEditList::OnLButtonDown(UINT flags, CPoint point) {
  m_mouseDown = true;
  m_lastPoint = point;
  m_lastPointX = static_cast<float>(point.x), m_lastPointY = static_cast<float>(point.y);
  SetFocus();
  m_currentRow = -1;
  m_currentColumn = 0;
  m_selectedAtClick = static_cast<int>(GetSelectedCount());
  int row = -1, column = 0;
  m_pressRow = m_pressColumn = -1;
  m_pressWasSelected = false;
  if (HitCell(point, row, column)) {
    const bool wasSelected = GetItemState(row, LVIS_SELECTED) != 0;
    m_pressWasSelected = wasSelected;
    SelectOnClick(row, column, flags);
    m_pressRow = row;
    m_pressColumn = column;
    OnCellClick(true, wasSelected, row, column, flags, point);
    m_currentRow = row;
    m_currentColumn = column;
  } else {
    SelectOnClick(-1, column, flags);
  }
}

void CSubEditList::OnLButtonUp(UINT flags, CPoint point) {
  if (!m_mouseDown) {
    Default();
    return;
  }
  CUtils::EndCapture(m_hWnd);
  m_lastPoint = point;
  m_lastPointX = static_cast<float>(point.x), m_lastPointY = static_cast<float>(point.y);
  int row = -1, column = 0;
  HitCell(point, row, column);
  if (m_pressRow >= 0) OnCellClick(false, m_editing, row, column, flags, point);
  m_mouseDown = false;
  m_doubleClick = false;
  m_pressRow = m_pressColumn = -1;
  m_previousSelectedRow = m_lastSelectedRow;
  m_lastSelectedRow = GetSelectedRow();
}

void CSubEditList::OnLButtonDblClk(UINT flags, CPoint point) {
  if (m_mouseDown) return;
  m_doubleClick = true;
  OnCellDoubleClick(flags, point);
}

void CSubEditList::OnMouseMove(UINT, CPoint point) {
  m_lastPoint = point;
  m_lastPointX = static_cast<float>(point.x), m_lastPointY = static_cast<float>(point.y);
  Default();
}

bool CSubEditList::CellPressed(int row, int column, const CRect& control) const {
  return m_mouseDown && m_controlPressed && row == m_pressRow && column == m_pressColumn && control.PtInRect(m_lastPoint);
}

bool CSubEditList::OnCellClick(bool down, bool state, int row, int column, UINT, CPoint point) {
  const UINT kind = GetColumnKind(column);
  CRect cell;
  if (!RowExists(row) || !GetSubItemRect(row, column, LVIR_BOUNDS, cell)) return false;
  CRect control;
  GetCellControlRect(column, cell, 0, control);
  const bool inside = control.PtInRect(point) != FALSE;
  if (down) {
    if (kind < kKindColor || kind > kKindMenu || !inside || !IsCellEditable(row, column)) return false;
    m_controlPressed = true;
    if (kind == kKindColor) {
      DWORD colour = 0xFF000000u;
      bool disabled = false;
      AccessCellColor(row, column, false, colour, disabled);
      if (!disabled) {
        InvalidateRect(&cell, FALSE);
        CPoint at = point;
        ClientToScreen(&at);
        new CColorPopup(at, colour, this);
      }
    } else if (kind == kKindCheck) {
      CUtils::BeginCapture(m_hWnd);
      InvalidateRect(&cell, FALSE);
    } else {
      HMENU menu = nullptr;
      int choice = 0;
      bool disabled = false;
      AccessCellMenu(row, column, false, menu, choice, disabled);
      if (menu && !disabled) {
        InvalidateRect(&cell, FALSE);
        int chosen = 0;
        ShowMenu(row, column, control, chosen, menu);
        if (chosen) AccessCellMenu(row, column, true, menu, chosen, disabled);
      }
    }
    return true;
  }
  // The release.
  if (row == m_pressRow && column == m_pressColumn) {
    if (kind == kKindColor) {
      DWORD colour = 0;
      bool disabled = false;
      AccessCellColor(row, column, false, colour, disabled);
    } else if (kind == kKindCheck && m_controlPressed && inside) {
      UINT check = 0;
      AccessCellCheck(row, column, false, check);
      check = (check ^ 1u) & ~2u;
      AccessCellCheck(row, column, true, check);
    } else if (kind == kKindMenu) {
      HMENU menu = nullptr;
      int choice = 0;
      bool disabled = false;
      AccessCellMenu(row, column, false, menu, choice, disabled);
    }
    InvalidateRect(&cell, FALSE);
  } else if (m_pressRow >= 0) {
    CRect previous;
    if (RowExists(m_pressRow) && GetSubItemRect(m_pressRow, m_pressColumn, LVIR_BOUNDS, previous)) InvalidateRect(&previous, FALSE);
  }
  // Only a row that was the one selected before the press edits: a row remembered from before a
  // sort or a selection made elsewhere may no longer be selected.
  if (kind == kKindText && column >= 1 && (row == m_pressRow || state) && GetSelectedCount() == 1 &&
      m_pressWasSelected && m_selectedAtClick == 1 && !ModifierHeld(VK_SHIFT) && !ModifierHeld(VK_CONTROL))
    ActivateCell(row, column, false);
  m_controlPressed = false;
  return true;
}

LRESULT CSubEditList::OnColorPickEnd(WPARAM, LPARAM colour) {
  // The popup took the press's release: the press ends with the popup.
  m_controlPressed = false;
  m_mouseDown = false;
  m_pressRow = m_pressColumn = -1;
  const int row = m_currentRow, column = m_currentColumn;
  if (!RowExists(row) || GetColumnKind(column) != kKindColor) return 0;
  DWORD current = 0;
  bool disabled = false;
  AccessCellColor(row, column, false, current, disabled);
  const COLORREF c = static_cast<COLORREF>(colour);
  DWORD chosen = 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) | GetBValue(c);
  if (chosen != current) AccessCellColor(row, column, true, chosen, disabled);
  CRect cell;
  if (GetSubItemRect(row, column, LVIR_BOUNDS, cell)) InvalidateRect(&cell, FALSE);
  return 0;
}

void CSubEditList::ShowMenu(int row, int column, const CRect& control, int& choice, HMENU menu) {
  CRect screen = control;
  ClientToScreen(&screen);
  const UINT align = GetColumnRecord(column) ? GetColumnRecord(column)->format & LVCFMT_JUSTIFYMASK : 0;
  CPoint at = align == LVCFMT_RIGHT    ? CPoint(screen.left, screen.bottom)
              : align == LVCFMT_CENTER ? CPoint(static_cast<int>(std::lround((screen.left + screen.right) / 2.0)),
                                                static_cast<int>(std::lround((screen.top + screen.bottom) / 2.0)))
                                       : CPoint(screen.right, screen.top);
  const int savedRow = m_menuRow;
  m_menuRow = row;
  TPMPARAMS params{sizeof(TPMPARAMS), screen};
  choice = static_cast<int>(::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_VERTICAL, at.x, at.y, m_hWnd, &params));
  m_menuRow = savedRow;
  MSG pending;
  while (::PeekMessageW(&pending, m_hWnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {
  }
  // The menu swallowed the release: the press ends here, where it began.
  OnLButtonUp(0, m_lastPoint);
}

// ---- Keyboard ------------------------------------------------------------------------------

int CSubEditList::NextEditableColumn(int from, bool forward) {
  std::vector<int> order(static_cast<size_t>(m_columnCount));
  for (int i = 0; i < m_columnCount; ++i) order[static_cast<size_t>(i)] = i;
  SendMessage(LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(m_columnCount), reinterpret_cast<LPARAM>(order.data()));
  const auto at = std::find(order.begin(), order.end(), from);
  int pos = at == order.end() ? 0 : static_cast<int>(at - order.begin());
  for (int step = 0; step < m_columnCount; ++step) {
    pos = forward ? pos + 1 : pos - 1;
    if (pos >= m_columnCount) pos = 1;
    if (pos <= 0) pos = m_columnCount - 1;
    const int column = order[static_cast<size_t>(pos)];
    if (column == from) return -1;
    if (column == 0 || !IsColumnVisible(column) || GetColumnKind(column) != kKindText) continue;
    if (IsCellEditable(m_currentRow, column)) return column;
  }
  return -1;
}

void CSubEditList::OnKeyDown(UINT key, UINT, UINT) {
  // The list view does nothing with these two; handled here, they reach the parent once.
  if (key != VK_BACK && key != VK_DELETE) Default();
  if (key == VK_BACK || key == VK_DELETE) {
    if (CWnd* parent = GetParent()) {
      const MSG* m = GetCurrentMessage();
      parent->SendMessage(WM_KEYDOWN, key, m ? m->lParam : 1);
    }
    return;
  }
  if (key != VK_RETURN) return;
  const int row = GetSelectedRow();
  const int column = row >= 0 ? FirstEditableTextColumn(row) : -1;
  if (column >= 0) ActivateCell(row, column, false);
}

int CSubEditList::FirstEditableTextColumn(int row) {
  std::vector<int> order(static_cast<size_t>(m_columnCount));
  for (int i = 0; i < m_columnCount; ++i) order[static_cast<size_t>(i)] = i;
  SendMessage(LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(m_columnCount), reinterpret_cast<LPARAM>(order.data()));
  for (size_t pos = 1; pos < order.size(); ++pos) {
    const int column = order[pos];
    if (GetColumnKind(column) == kKindText && IsCellEditable(row, column)) return column;
  }
  return -1;
}

BOOL CSubEditList::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && msg->hwnd == m_hWnd && !m_editing) {
    const int row = GetSelectedRow();
    if (row >= 0 && FirstEditableTextColumn(row) >= 0) {
      SendMessage(WM_KEYDOWN, VK_RETURN, msg->lParam);
      return TRUE;
    }
  }
  return CListCtrl::PreTranslateMessage(msg);
}

// ---- Editing -------------------------------------------------------------------------------

void CSubEditList::ActivateCell(int row, int column, bool force) {
  if (!RowExists(row)) return;
  if (!GetItemState(row, LVIS_SELECTED)) {
    SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessage(LVM_SETSELECTIONMARK, 0, row);
  }
  const bool fullRow = (SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT) != 0;
  const bool otherRow = row != m_currentRow;
  m_currentRow = row;
  m_currentColumn = column;
  if (!force && fullRow && m_editing && (otherRow || column == m_editingColumn)) {
    m_editingColumn = -1;
    SetFocus();
    return;
  }
  CLXMsgTarget(m_hWnd, g_msgEditStart, row, static_cast<WPARAM>(column)).Post();
}

LRESULT CSubEditList::OnEditStart(WPARAM column, LPARAM row) {
  const int r = static_cast<int>(row), c = static_cast<int>(column);
  // Posted earlier: the row may have gone since (the list shrank), and then nothing starts.
  if (!RowExists(r) || c < 1 || c >= m_columnCount) return 0;
  m_currentRow = r;
  m_editingColumn = c;
  if (SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT) SetFocus();
  EnsureVisible(r, FALSE);
  if (!IsCellEditable(r, c)) {
    m_editingColumn = -1;
    return 0;
  }
  ScrollCellIntoView(r, c);
  CString text;
  AccessCellText(r, c, false, text);
  m_editor.SetWindowText(text);
  CRect cell;
  GetSubItemRect(r, c, LVIR_BOUNDS, cell);
  m_editor.SetHidden(false);
  m_editor.Place(cell);
  m_editorPlaced = true;
  m_editorHidden = false;
  m_editor.SetActive(true);
  m_editing = true;
  m_editor.SetFocus();
  m_editor.SetSel(0, -1);
  DrawCellBackground(nullptr, r, c, cell);
  return 0;
}

void CSubEditList::ScrollCellIntoView(int row, int column) {
  CRect cell, client;
  if (!GetSubItemRect(row, column, LVIR_BOUNDS, cell)) return;
  GetClientRect(&client);
  int dx = 0;
  if (cell.right > client.right) dx = cell.right - client.right;
  // A cell wider than the list shows its left part.
  if (cell.left - dx < client.left) dx = cell.left - client.left;
  if (dx) SendMessage(LVM_SCROLL, static_cast<WPARAM>(dx), 0);
}

void CSubEditList::EndEdit(bool commit) {
  if (!m_editing) return;
  const int row = m_currentRow, column = m_editingColumn;
  CString text;
  if (commit) m_editor.GetWindowText(text);
  m_editing = false;
  m_editor.SetActive(false);
  m_editor.ShowWindow(SW_HIDE);
  m_editorPlaced = false;
  // The row was taken when the edit began: only a row that still exists receives the text.
  if (commit && RowExists(row) && column >= 1 && column < m_columnCount) AccessCellText(row, column, true, text);
  CRect cell;
  if (RowExists(row) && column >= 0 && GetSubItemRect(row, column, LVIR_BOUNDS, cell)) InvalidateRect(&cell, FALSE);
}

LRESULT CSubEditList::OnEditEnd(WPARAM wParam, LPARAM lParam) {
  const bool rowGone = m_editing && !RowExists(m_currentRow);
  const bool wasEditing = m_editing;
  EndEdit(!rowGone);
  if (wasEditing && !rowGone) MoveEditOn();
  else m_shiftPending = false;
  if (CWnd* parent = GetParent())
    CLXMsgTarget(parent->m_hWnd, rowGone ? g_msgEditCancel : g_msgEditEnd, lParam, wParam).Send(CLXMessage::kModeSync);
  return 0;
}

LRESULT CSubEditList::OnEditCancel(WPARAM wParam, LPARAM lParam) {
  m_shiftPending = false;
  EndEdit(false);
  if (CWnd* parent = GetParent()) CLXMsgTarget(parent->m_hWnd, g_msgEditCancel, lParam, wParam).Send(CLXMessage::kModeSync);
  return 0;
}

LRESULT CSubEditList::OnEditShift(WPARAM, LPARAM forward) {
  m_shiftPending = true;
  m_shiftForward = forward != 0;
  return 0;
}

void CSubEditList::MoveEditOn() {
  const int from = m_editingColumn;
  if (!m_shiftPending) {
    m_editingColumn = -1;
    return;
  }
  m_shiftPending = false;
  const int next = NextEditableColumn(from, m_shiftForward);
  if (next < 0) {
    m_editingColumn = -1;
    return;
  }
  ActivateCell(m_currentRow, next, false);
}

void CSubEditList::RepositionEditor(bool checkVisible) {
  if (!m_editing || !RowExists(m_currentRow)) return;
  CRect cell;
  if (!GetSubItemRect(m_currentRow, m_editingColumn, LVIR_BOUNDS, cell)) return;
  bool hidden = false;
  if (checkVisible) {
    CRect client;
    GetClientRect(&client);
    CRect header;
    if (m_header.m_hWnd && m_header.IsWindowVisible()) {
      m_header.GetWindowRect(&header);
      ScreenToClient(&header);
      client.top = std::max(client.top, header.bottom);
    }
    hidden = cell.bottom <= client.top || cell.top >= client.bottom;
  }
  m_editorHidden = hidden;
  m_editor.SetHidden(hidden);
  m_editor.Place(cell);
}

BOOL CSubEditList::OnMouseWheel(UINT flags, short delta, CPoint point) {
  const BOOL r = static_cast<BOOL>(Default());
  (void)flags, (void)delta, (void)point;
  if (m_editing) {
    RepositionEditor(true);
    Invalidate();
  }
  return r;
}

void CSubEditList::OnHScroll(UINT, UINT, CScrollBar*) {
  Default();
  if (m_editing) {
    RepositionEditor(true);
    Invalidate();
  }
}

void CSubEditList::OnVScroll(UINT, UINT, CScrollBar*) {
  Default();
  if (m_editing) {
    RepositionEditor(true);
    Invalidate();
  }
}
