// The data editor: one row per measured point, "+" and "-", and the points written back on OK.
#include "EditData.h"

#include <algorithm>

#include "EditorSupport.h"
#include "LXMessage.h"
#include "LXUtils.h"

namespace {
const editors::ColumnUnits kPointColumns[] = {
    {LVCFMT_CENTER, 10, 2450, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 15, 1068, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 15, 1069, CSubEditList::kKindText},
};
constexpr int kPointColumnCount = 3;
}  // namespace

// ---- the list ----

CEditData* CEditData::CSiteList::Dialog() const { return dynamic_cast<CEditData*>(GetOwnerWindow()); }

bool CEditData::CSiteList::IsCellEditable(int, int column) { return column != 1; }

// Header clicks sort by any column.
bool CEditData::CSiteList::IsColumnSortable(int column) { return column >= 1 && column <= kPointColumnCount; }

bool CEditData::CSiteList::GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) {
  if (m_specs.empty()) m_specs = editors::MeasureColumns(*this, kPointColumns, kPointColumnCount);
  specs = m_specs.data();
  stretch = false;
  stretchColumn = -1;
  return true;
}

bool CEditData::CSiteList::CompareRows(const PointRec& a, const PointRec& b) {
  const int column = GetSortColumn();
  const ColumnRecord* record = GetColumnRecord(column);
  const bool ascending = record ? record->ascending : true;
  switch (column) {
    case 1: return ascending ? a.number < b.number : a.number > b.number;
    case 2: return ascending ? a.x < b.x : a.x > b.x;
    case 3: return ascending ? a.y < b.y : a.y > b.y;
    default: return false;
  }
}

void CEditData::CSiteList::SortBy(int column, bool ascending) {
  CSubEditList::SortBy(column, ascending);
  CEditData* d = Dialog();
  if (!d) return;
  SortKeepingSelection(d->m_rows, [this](const PointRec& a, const PointRec& b) { return CompareRows(a, b); });
  Invalidate();
}

void CEditData::CSiteList::AccessCellText(int row, int column, bool set, CString& text) {
  CEditData* d = Dialog();
  if (!d || row < 0 || row >= static_cast<int>(d->m_rows.size())) {
    if (!set) text.Empty();
    return;
  }
  PointRec& p = d->m_rows[static_cast<size_t>(row)];
  if (!set) {
    switch (column) {
      case 1: text.Format(L"%d", static_cast<int>(p.number + 1)); break;
      case 2: text.Format(L"%10.4f", p.x); break;
      case 3: text.Format(L"%10.4f", p.y); break;
      default: text.Empty(); break;
    }
    return;
  }
  double value = 0.0;
  if (column < 2 || column > 3 || !editors::ParseFiniteNumber(text, value)) return;
  (column == 2 ? p.x : p.y) = value;
}

// ---- the dialog ----

BEGIN_MESSAGE_MAP(CEditData, CToolTipDialog)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CEditData::OnAlphaButton)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CEditData::OnAlphaButton)
  ON_NOTIFY(LVN_ITEMCHANGED, CEditData::kList, &CEditData::OnListChanged)
  ON_NOTIFY(LVN_ODSTATECHANGED, CEditData::kList, &CEditData::OnListChanged)
  ON_WM_GETMINMAXINFO()
  ON_COMMAND(ID_HELP, &CEditData::OnHelpCommand)
  ON_MESSAGE(WM_HELP, &CEditData::OnHelpRequest)
END_MESSAGE_MAP()

CEditData::CEditData(CQLProfile& points, CWnd* parent)
    : CToolTipDialog(kTemplateId, parent),
      m_points(points),
      m_add(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 0),
      m_delete(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 0),
      m_help(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 0) {}

void CEditData::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, kList, m_list);
}

int CEditData::GetHelpCommand(LPARAM) { return kHelpCommand; }

BOOL CEditData::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  m_rows.reserve(std::max<size_t>(m_points.size(), 3));
  std::uint64_t number = 0;
  for (const CQLProfilePoint& p : m_points) m_rows.push_back({number++, p.x, p.y, false});
  if (m_rows.empty()) {
    m_rows = {{0, 0.0, 0.0, false}, {1, 10.0, 1.0, false}, {2, 20.0, 2.0, false}};
  }
  m_counter = m_rows.size();
  SetUpPointList();
  // The image buttons take over their template items themselves (they prepare their drawing).
  m_add.SubclassDlgItem(kAdd, this);
  m_delete.SubclassDlgItem(kDelete, this);
  m_help.SubclassDlgItem(kHelp, this);
  for (CAlphaButton* button : {&m_add, &m_delete, &m_help}) editors::KeepButtonNarrow(button->m_hWnd);
  m_add.LoadImages(2003, 2003);
  m_delete.LoadImages(2008, 2008);
  m_help.LoadImages(2013, 2013);
  CUtils::SetAppIcon(m_hWnd);
  editors::FitDialogToList(*this, m_list, 12);
  CRect window;
  GetWindowRect(&window);
  m_minTrack = {window.Width(), window.Height() * 3 / 4};
  m_initialising = false;
  UpdateState();
  GotoDlgCtrl(&m_list);
  return FALSE;
}

void CEditData::SetUpPointList() {
  m_list.Initialise(this, kPointColumnCount, nullptr);
  m_list.SetExtendedStyle((m_list.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & ~LVS_EX_GRIDLINES) | LVS_EX_FULLROWSELECT);
  m_list.SetRowHeight(m_list.UpdateRowHeight(0));
  m_list.SortBy(1, true);
  SetItemCountOrThrow(true);
  if (!m_rows.empty()) {
    m_list.EnsureVisible(static_cast<int>(m_rows.size()) - 1, FALSE);
    m_list.EnsureVisible(0, FALSE);
  }
}

void CEditData::SetItemCountOrThrow(bool atInit) {
  const auto count = static_cast<LONGLONG>(m_rows.size());
  if (m_list.SendMessage(LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOINVALIDATEALL)) return;
  if (atInit) throw CLXXAllocationFailed(kLXSeverityMessage, count, __LINE__);
  throw CLXXOutOfMemory(kLXSeverityMessage, count, __LINE__);
}

LRESULT CEditData::OnAlphaButton(WPARAM id, LPARAM) {
  try {
    if (id == kAdd) OnAddPoint();
    else if (id == kDelete) OnDeletePoints();
    else if (id == kHelp) editors::PostHelpCommand(kHelpCommand);
  } catch (CLXException& e) {
    e.Report();
  }
  return 0;
}

void CEditData::OnHelpCommand() { editors::PostHelpCommand(kHelpCommand); }

LRESULT CEditData::OnHelpRequest(WPARAM, LPARAM) {
  SendMessage(WM_COMMAND, ID_HELP, 0);
  return TRUE;
}

void CEditData::OnAddPoint() {
  m_rows.push_back({m_rows.size(), 0.0, 0.0, false});
  m_counter = m_rows.size();
  SetItemCountOrThrow(false);
  editors::SelectAndEditLastRow(m_list, static_cast<int>(m_rows.size()) - 1);
  UpdateState();
}

void CEditData::OnDeletePoints() {
  if (!m_rows.empty()) {
    try {
      editors::EraseSelectedRows(m_list, m_rows);
      std::uint64_t number = 0;
      for (PointRec& r : m_rows) r.number = number++;
      m_counter = m_rows.size();
      m_list.SetItemState(-1, 0, LVIS_SELECTED);
      SetItemCountOrThrow(false);
      m_list.Invalidate();
    } catch (CLXXProduct& e) {
      e.Report();
    }
  }
  UpdateState();
}

void CEditData::UpdateState() {
  const bool any = !m_rows.empty();
  if (CWnd* ok = GetDlgItem(IDOK)) ok->EnableWindow(any);
  m_delete.EnableWindow(any);
  CString format, status;
  format.LoadString(2451);
  status.Format(format, static_cast<int>(m_list.GetSelectedCount()), static_cast<int>(m_rows.size()));
  SetDlgItemText(kStatus, status);
  m_list.Invalidate();
}

void CEditData::OnListChanged(NMHDR*, LRESULT* result) {
  if (result) *result = 0;
  if (!m_initialising) UpdateState();
}

void CEditData::OnGetMinMaxInfo(MINMAXINFO* info) {
  Default();
  if (m_initialising) return;
  info->ptMinTrackSize = POINT{m_minTrack.cx, m_minTrack.cy};
}

void CEditData::OnOK() {
  // Return reaches here even while OK is disabled.
  if (m_rows.empty()) return;
  m_points.clear();
  m_points.reserve(m_rows.size());
  for (const PointRec& r : m_rows) m_points.push_back({r.x, r.y});
  EndDialog(IDOK);
}
