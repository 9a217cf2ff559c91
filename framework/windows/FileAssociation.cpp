#include "FileAssociation.h"

#include <algorithm>
#include <cwctype>

#include "Frame.h"
#include "LXApp.h"
#include "LXDocTypes.h"
#include "LXFile.h"
#include "LXMessage.h"

BEGIN_MESSAGE_MAP(CFileAssociation, CToolTipDialog)
  ON_BN_CLICKED(CFileAssociation::kChooseAll, &CFileAssociation::OnChooseAll)
  ON_BN_CLICKED(CFileAssociation::kChooseNative, &CFileAssociation::OnChooseNative)
  ON_BN_CLICKED(CFileAssociation::kChooseNone, &CFileAssociation::OnChooseNone)
  ON_WM_GETMINMAXINFO()
  ON_WM_SIZE()
END_MESSAGE_MAP()

namespace {
CLXApp* App() { return dynamic_cast<CLXApp*>(AfxGetApp()); }

// "Prog.Type.3" -> "Type": a trailing version number goes, then the text after the last ".".
CString ShortNameOf(CString id) {
  const int dot = id.ReverseFind(L'.');
  if (dot >= 0 && dot + 1 < id.GetLength()) {
    bool digits = true;
    for (int i = dot + 1; i < id.GetLength(); ++i) digits = digits && std::iswdigit(id[i]);
    if (digits) id = id.Left(dot);
  }
  const int last = id.ReverseFind(L'.');
  return last >= 0 ? id.Mid(last + 1) : id;
}

constexpr int kCellTextInset = 2 * 5;

const CSubEditList::ColumnSpec kTypeColumns[] = {
    {LVCFMT_CENTER, 10, 1, -1, -1, 1250, CSubEditList::kKindCheck},
    {LVCFMT_LEFT, 15, 1, -1, -1, 1253, CSubEditList::kKindText},
    {LVCFMT_LEFT, 55, 1, -1, -1, 1251, CSubEditList::kKindText},
    {LVCFMT_LEFT, 20, 1, -1, -1, 1252, CSubEditList::kKindText},
};
}  // namespace

CFileAssociationItem::CFileAssociationItem(CSubEditList* list, UINT fileType, UINT native, bool ticked)
    : m_pList(list), m_fileType(fileType), m_native(native), m_state(ticked ? 1u : 0u) {
  CLXApp* app = App();
  CDocTemplate* t = app ? app->GetTemplateForFileType(fileType) : nullptr;
  const CLXDocTypeRow* row = LXDocTypes::FindRowForFileType(fileType);
  if (!t || !row) return;
  CString id;
  t->GetDocString(id, LXDocTypes::kRegFileTypeId);
  m_shortName = ShortNameOf(id);
  t->GetDocString(m_description, LXDocTypes::kRegFileTypeName);
  if (m_description.IsEmpty()) m_description = m_shortName;
  // The file-type table's extensions: those by which a file of the type is recognised and saved.
  std::vector<CString> extensions;
  GetFileTypeExtensions(fileType, extensions);
  for (const CString& ext : extensions) {
    if (!m_extensions.IsEmpty()) m_extensions += L"; ";
    m_extensions += ext;
  }
}

// ---- The list ------------------------------------------------------------------------------

CFileAssociation* CFileAssociation::CTypeList::Dialog() const { return dynamic_cast<CFileAssociation*>(GetOwnerWindow()); }

CFileAssociationItem* CFileAssociation::CTypeList::Item(int row) const {
  CFileAssociation* d = Dialog();
  if (!d || row < 0 || row >= static_cast<int>(d->m_rows.size())) return nullptr;
  return &*std::next(d->m_rows.begin(), row);
}

bool CFileAssociation::CTypeList::IsCellEditable(int, int column) { return column == 1; }

bool CFileAssociation::CTypeList::GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) {
  specs = kTypeColumns;
  stretch = false;
  stretchColumn = -1;
  return true;
}

void CFileAssociation::CTypeList::SortBy(int column, bool ascending) {
  CSubEditList::SortBy(column, ascending);
  CFileAssociation* d = Dialog();
  if (!d) return;
  if (column < 0) column = GetSortColumn(), ascending = GetColumnRecord(column) ? GetColumnRecord(column)->ascending : true;
  const auto key = [column](const CFileAssociationItem& a, const CFileAssociationItem& b) -> int {
    switch (column) {
      case 1: return a.m_state < b.m_state ? -1 : a.m_state > b.m_state ? 1 : 0;
      case 2: return a.m_shortName.Compare(b.m_shortName);
      case 3: return a.m_description.Compare(b.m_description);
      case 4: return a.m_extensions.Compare(b.m_extensions);
      default: return 0;
    }
  };
  d->m_rows.sort([&](const CFileAssociationItem& a, const CFileAssociationItem& b) {
    const int c = key(a, b);
    return ascending ? c < 0 : c > 0;
  });
  Invalidate();
}

void CFileAssociation::CTypeList::AccessCellCheck(int row, int, bool set, UINT& state) {
  CFileAssociationItem* item = Item(row);
  if (!item) return;
  if (set) item->m_state = state;
  else state = item->m_state;
}

void CFileAssociation::CTypeList::AccessCellText(int row, int column, bool set, CString& text) {
  CFileAssociationItem* item = Item(row);
  if (set || !item) return;
  text = column == 2 ? item->m_shortName : column == 3 ? item->m_description : column == 4 ? item->m_extensions : CString();
}

// ---- The dialog ----------------------------------------------------------------------------

CFileAssociation::CFileAssociation(CWnd* parent, const std::vector<UINT>* chosen) : CToolTipDialog(kTemplateId, parent) {
  if (chosen) m_chosen = *chosen;
}

void CFileAssociation::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, kList, m_typeList);
  DDX_Control(dx, kChooseAll, m_chooseAll);
  DDX_Control(dx, kChooseNative, m_chooseNative);
  DDX_Control(dx, kChooseNone, m_chooseNone);
}

BOOL CFileAssociation::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  m_typeList.Initialise(this, 4, nullptr);
  m_typeList.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, 0);
  for (int c = 2; c <= 4; ++c)
    if (auto* r = m_typeList.GetColumnRecord(c)) r->textFormat = DT_VCENTER | DT_SINGLELINE | DT_WORDBREAK | DT_NOCLIP;
  if (CDC* dc = m_typeList.GetDC()) {
    CGdiObject* old = dc->SelectObject(m_typeList.GetFont());
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc->m_hDC, &tm);
    if (old) dc->SelectObject(old);
    m_typeList.ReleaseDC(dc);
    m_typeList.SetRowHeight(tm.tmHeight + tm.tmExternalLeading);
  }
  m_typeList.SortBy(2, true);
  CLXApp* app = App();
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    if (!row.shell) continue;
    bool ticked = false;
    if (!m_chosen.empty()) ticked = std::find(m_chosen.begin(), m_chosen.end(), row.fileType) != m_chosen.end();
    else if (app) app->IsFileTypeAssociated(row.fileType, ticked);
    m_rows.emplace_back(&m_typeList, row.fileType, row.main, ticked);
  }
  if (!m_typeList.SendMessage(LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOINVALIDATEALL))
    throw CLXXAllocationFailed(kLXSeverityMessage, static_cast<LONGLONG>(m_rows.size()), __LINE__);
  m_typeList.Invalidate();
  m_typeList.SortBy(-1, true);
  WidenToFitTexts();

  GetClientRect(&m_lastClient);
  CRect window, listClient, listWindow;
  GetWindowRect(&window);
  m_fixedWidth = window.Width();
  m_typeList.GetClientRect(&listClient);
  m_typeList.GetWindowRect(&listWindow);
  int header = 0;
  if (CWnd* h = CWnd::FromHandle(reinterpret_cast<HWND>(m_typeList.SendMessage(LVM_GETHEADER)))) {
    CRect r;
    h->GetWindowRect(&r);
    header = r.Height();
  }
  // A row as the list lays it out, which may be taller than the height asked for.
  int rowHeight = std::max(1, m_typeList.GetRowHeight());
  if (CRect item; !m_rows.empty() && m_typeList.GetItemRect(0, &item, LVIR_BOUNDS) && item.Height() > rowHeight)
    rowHeight = item.Height();
  // Five rows, the window outside the list's client area, and the header.
  m_minHeight = 5 * rowHeight + (window.Height() - listClient.Height()) + header;
  if (window.Height() < m_minHeight)
    SetWindowPos(nullptr, 0, 0, window.Width(), m_minHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (auto big = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON, 0, 0, 0))) {
    auto small = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SetIcon(big, TRUE);
    SetIcon(small ? small : big, FALSE);
  }
  m_initialising = false;
  if (CWnd* ok = GetDlgItem(IDOK)) GotoDlgCtrl(ok);
  return FALSE;
}

void CFileAssociation::WidenToFitTexts() {
  // The window cannot be made wider later: it starts wide enough for every text of its columns.
  CDC* dc = m_typeList.GetDC();
  if (!dc) return;
  CGdiObject* old = dc->SelectObject(m_typeList.GetFont());
  CRect client;
  m_typeList.GetClientRect(&client);
  int needed = client.Width();
  for (int c = 2; c <= 4; ++c) {
    const CSubEditList::ColumnSpec& spec = kTypeColumns[c - 1];
    CString title;
    int widest = spec.title != 0xFFFFFFFFu && title.LoadString(spec.title) ? dc->GetTextExtent(title).cx : 0;
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
      CString text;
      m_typeList.AccessCellText(row, c, false, text);
      widest = std::max(widest, static_cast<int>(dc->GetTextExtent(text).cx));
    }
    // The cell's text keeps 5 px off either side; one pixel more for the column's divider.
    needed = std::max(needed, static_cast<int>((widest + kCellTextInset + 1) * 100 / spec.width + 1));
  }
  if (old) dc->SelectObject(old);
  m_typeList.ReleaseDC(dc);
  if (needed <= client.Width()) return;
  CRect window;
  GetWindowRect(&window);
  // Never wider than the screen it opens on.
  MONITORINFO screen{sizeof screen, {}, {}, 0};
  ::GetMonitorInfoW(::MonitorFromWindow(GetParent() ? GetParent()->m_hWnd : m_hWnd, MONITOR_DEFAULTTONEAREST), &screen);
  const int width = std::min<int>(window.Width() + needed - client.Width(),
                                  screen.rcWork.right - screen.rcWork.left - 2 * GetSystemMetrics(SM_CXFRAME));
  if (width <= window.Width()) return;
  SetWindowPos(nullptr, 0, 0, width, window.Height(),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterWindow();
  m_typeList.FitColumnsToWidth();
}

void CFileAssociation::SetAllStates(UINT (*state)(const CFileAssociationItem&)) {
  for (CFileAssociationItem& item : m_rows) item.m_state = state(item);
  m_typeList.Invalidate();
}

void CFileAssociation::OnChooseAll() {
  SetAllStates([](const CFileAssociationItem&) { return 1u; });
}

void CFileAssociation::OnChooseNative() {
  SetAllStates([](const CFileAssociationItem& item) { return item.m_native ? 1u : 0u; });
}

void CFileAssociation::OnChooseNone() {
  SetAllStates([](const CFileAssociationItem&) { return 0u; });
}

void CFileAssociation::OnOK() {
  m_chosen.clear();
  for (const CFileAssociationItem& item : m_rows)
    if (item.m_state & 1u) m_chosen.push_back(static_cast<UINT>(item.m_fileType));
  EndDialog(IDOK);
}

void CFileAssociation::OnGetMinMaxInfo(MINMAXINFO* info) {
  Default();
  if (m_initialising) return;
  info->ptMinTrackSize = POINT{m_fixedWidth, m_minHeight};
  info->ptMaxTrackSize.x = m_fixedWidth;
  info->ptMaxSize.x = m_fixedWidth;
}

void CFileAssociation::OnSize(UINT type, int cx, int cy) {
  CToolTipDialog::OnSize(type, cx, cy);
  if (m_initialising) return;
  // The dialog's layout places the list and the buttons; the list's columns follow its width.
  GetClientRect(&m_lastClient);
}

bool CFileAssociation::ChooseFileTypes(std::vector<uint32_t>& types) {
  const std::vector<UINT> given(types.begin(), types.end());
  CFileAssociation dialog(CWnd::FromHandle(LXAppWindows::GetMainWindow()), &given);
  if (dialog.DoModal() != IDOK) return false;
  types.assign(dialog.GetChosenTypes().begin(), dialog.GetChosenTypes().end());
  return true;
}
