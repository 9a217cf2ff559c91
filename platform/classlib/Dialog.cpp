#include "Dialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEventLoop>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "NumberLocale.h"
#include "ResourceText.h"
#include "WndQt.h"

namespace {
qlw::ModalAnswer g_answer;

struct Kind {
  const wchar_t* name;
  const wchar_t* cls;
  DWORD style;
};
const Kind kKinds[] = {
    {L"LABEL", WC_STATIC, SS_LEFT},
    {L"EDIT", WC_EDIT, ES_AUTOHSCROLL | WS_TABSTOP},
    {L"CHECKBOX", WC_BUTTON, BS_AUTOCHECKBOX | WS_TABSTOP},
    {L"RADIO", WC_BUTTON, BS_AUTORADIOBUTTON},
    {L"BUTTON", WC_BUTTON, BS_PUSHBUTTON | WS_TABSTOP},
    {L"GROUPBOX", WC_BUTTON, BS_GROUPBOX},
    {L"COMBO", WC_COMBOBOX, CBS_DROPDOWN | WS_TABSTOP},
    {L"DROPLIST", WC_COMBOBOX, CBS_DROPDOWNLIST | WS_TABSTOP},
    {L"LISTBOX", WC_LISTBOX, LBS_NOTIFY | WS_TABSTOP},
    {L"LIST", WC_LISTVIEW, LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP},
    {L"TREE", WC_TREEVIEW, TVS_HASBUTTONS | TVS_LINESATROOT | WS_TABSTOP},
    {L"TAB", WC_TABCONTROL, WS_TABSTOP},
    {L"SLIDER", TRACKBAR_CLASS, WS_TABSTOP},
    {L"PROGRESS", PROGRESS_CLASS, 0},
    {L"SPIN", UPDOWN_CLASS, 0},
    {L"RICHEDIT", RICHEDIT_CLASS, ES_MULTILINE | WS_TABSTOP},
    {L"CUSTOM", L"QlwWnd", 0},
};

DWORD StyleFor(const qlw::DialogTemplateItem& item, const Kind& kind) {
  DWORD style = WS_CHILD | kind.style;
  if (!item.HasFlag(L"HIDDEN")) style |= WS_VISIBLE;
  if (item.HasFlag(L"DISABLED")) style |= WS_DISABLED;
  if (item.HasFlag(L"GROUP")) style |= WS_GROUP;
  if (item.HasFlag(L"READONLY")) style |= ES_READONLY;
  // MULTILINE: an edit of several lines; a button or label whose text wraps at its width.
  if (item.HasFlag(L"MULTILINE")) {
    if (item.kind == L"LABEL") style |= SS_EDITCONTROL;
    else if (item.kind == L"CHECKBOX" || item.kind == L"RADIO" || item.kind == L"BUTTON") style |= BS_MULTILINE;
    else style |= ES_MULTILINE;
  }
  if (item.HasFlag(L"PASSWORD")) style |= ES_PASSWORD;
  if (item.HasFlag(L"NUMBER")) style |= ES_NUMBER;
  if (item.HasFlag(L"OWNERDATA")) style |= LVS_OWNERDATA;
  if (item.HasFlag(L"SINGLESEL")) style |= LVS_SINGLESEL;
  if (item.HasFlag(L"VERTICAL")) style |= TBS_VERT;
  if (item.HasFlag(L"NOTIFY")) style |= SS_NOTIFY;
  if (item.HasFlag(L"RIGHT")) style |= ES_RIGHT;
  if (item.HasFlag(L"SORT")) style |= CBS_SORT;
  if (item.kind == L"BUTTON" && item.HasFlag(L"DEFAULT")) style = (style & ~BS_TYPEMASK) | BS_DEFPUSHBUTTON;
  if (item.kind == L"RADIO" && item.HasFlag(L"GROUP")) style |= WS_TABSTOP;
  if (item.HasFlag(L"OWNERDRAW")) {
    if (item.kind == L"BUTTON") style = (style & ~BS_TYPEMASK) | BS_OWNERDRAW;
    if (item.kind == L"COMBO" || item.kind == L"DROPLIST") style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
  }
  return style;
}

bool IsGrowing(const std::wstring& kind) {
  return kind == L"LIST" || kind == L"LISTBOX" || kind == L"TREE" || kind == L"RICHEDIT" || kind == L"TAB" || kind == L"CUSTOM";
}

void ReportBadNumber(HWND control, bool integer) {
  // Our own text: the class library's prompt when a field does not hold a number.
  const wchar_t* text = integer ? L"Please enter an integer." : L"Please enter a number.";
  if (std::getenv("QLW_QUIET")) {
    std::fwprintf(stderr, L"%ls\n", text);
    return;
  }
  QMessageBox::warning(qlw::WidgetOf(::GetAncestor(control, GA_ROOT)), QString(), QString::fromStdWString(text));
}
}  // namespace

namespace qlw {
void SetModalAnswer(ModalAnswer answer) { g_answer = std::move(answer); }

bool BuildFromTemplate(CWnd* host, UINT templateId) {
  const DialogTemplate* t = FindDialogTemplate(templateId);
  if (!t || !host->m_hWnd) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
  }
  if (!(host->GetStyle() & WS_CHILD)) host->SetWindowText(t->caption.c_str());
  QWidget* hostWidget = WidgetOf(host->m_hWnd);
  auto* column = hostWidget ? new QVBoxLayout : nullptr;
  // The trailing rows made of buttons alone form the button row at the bottom right.
  size_t buttonsFrom = t->items.size();
  while (buttonsFrom > 0 && t->items[buttonsFrom - 1].kind == L"BUTTON") --buttonsFrom;
  QHBoxLayout* row = nullptr;
  int currentRow = -1;
  bool grows = false;
  std::vector<QWidget*> buttons;
  for (size_t i = 0; i < t->items.size(); ++i) {
    const DialogTemplateItem& item = t->items[i];
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds)
      if (item.kind == k.name) kind = &k;
    if (!kind) continue;
    std::wstring cls = item.FlagValue(L"CLASS=");
    if (cls.empty()) cls = kind->cls;
    HWND h = ::CreateWindowExW(0, cls.c_str(), item.caption.c_str(), StyleFor(item, *kind), 0, 0, 80, 24, host->m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), nullptr, nullptr);
    QWidget* w = h ? WidgetOf(h) : nullptr;
    if (!w || !column) continue;
    if (i >= buttonsFrom) {
      buttons.push_back(w);
      continue;
    }
    if (item.row != currentRow) {
      row = new QHBoxLayout;
      column->addLayout(row, IsGrowing(item.kind) ? 1 : 0);
      currentRow = item.row;
    }
    // WIDTH=n: a label's least width (columns line up), any other control's fixed width.
    if (const std::wstring width = item.FlagValue(L"WIDTH="); !width.empty()) {
      const int pixels = std::wcstol(width.c_str(), nullptr, 10);
      if (item.kind == L"LABEL" || item.kind == L"CHECKBOX" || item.kind == L"RADIO") w->setMinimumWidth(pixels);
      else if (pixels > 0) w->setFixedWidth(pixels);
    }
    // In a row with a STRETCH item only those items take the spare width.
    bool rowStretches = false;
    for (const DialogTemplateItem& other : t->items)
      if (other.row == item.row && other.HasFlag(L"STRETCH")) rowStretches = true;
    const bool stretches = rowStretches ? item.HasFlag(L"STRETCH")
                                        : !(item.kind == L"LABEL" || item.kind == L"BUTTON" || item.kind == L"CHECKBOX");
    row->addWidget(w, stretches ? 1 : 0);
    if (IsGrowing(item.kind)) grows = true;
  }
  if (!column) return true;
  if (!grows) column->addStretch(1);
  if (!buttons.empty()) {
    auto* bar = new QHBoxLayout;
    bar->addStretch(1);
    for (QWidget* b : buttons) bar->addWidget(b);
    column->addLayout(bar);
  }
  delete hostWidget->layout();
  hostWidget->setLayout(column);
  // A top-level dialog takes the size its layout asks for, a pane keeps the one it was given.
  if (!(host->GetStyle() & WS_CHILD)) {
    const QSize size = column->sizeHint().expandedTo(QSize(160, 60));
    ::SetWindowPos(host->m_hWnd, nullptr, 0, 0, size.width(), size.height() + ClientOrigin(host->m_hWnd).y(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  column->activate();
  return true;
}

void MoveDialogFocus(CWnd* host, WPARAM wParam, LPARAM lParam) {
  QWidget* hostWidget = WidgetOf(host->m_hWnd);
  if (LOWORD(lParam)) {
    HWND control = reinterpret_cast<HWND>(wParam);
    if (!::IsWindow(control)) return;
    ::SetFocus(control);
    // The whole text selected, as when tabbing into an edit.
    wchar_t cls[32] = {};
    ::GetClassNameW(control, cls, 32);
    if (std::wcscmp(cls, WC_EDIT) == 0) ::SendMessageW(control, EM_SETSEL, 0, -1);
    else if (std::wcscmp(cls, WC_COMBOBOX) == 0) ::SendMessageW(control, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    return;
  }
  QWidget* f = QApplication::focusWidget();
  if (!f || !hostWidget || !hostWidget->isAncestorOf(f)) return;
  // The next control that takes the focus by Tab, as a tab stop would: labels and hidden or
  // disabled controls (a hidden page's, say) are passed over.
  QWidget* w = f;
  for (int guard = 0; guard < 10000; ++guard) {
    w = wParam ? w->previousInFocusChain() : w->nextInFocusChain();
    if (!w || w == f) return;
    if (hostWidget->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
      w->setFocus(wParam ? Qt::BacktabFocusReason : Qt::TabFocusReason);
      return;
    }
  }
}

BOOL ExchangeData(CWnd* host, BOOL saveAndValidate, const std::function<void(CDataExchange*)>& exchange) {
  CDataExchange dx(host, saveAndValidate);
  try {
    exchange(&dx);
  } catch (const CUserException&) {
    return FALSE;
  }
  return TRUE;
}
}  // namespace qlw

// ---- Data exchange ------------------------------------------------------------------------
void CDataExchange::Fail() {
  if (HWND h = ::GetDlgItem(m_pDlgWnd->m_hWnd, m_idLastControl)) ::SetFocus(h);
  throw CUserException();
}

HWND CDataExchange::PrepareCtrl(int id) {
  m_idLastControl = id;
  return ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) CWnd::FromHandle(h)->GetWindowText(value);
  else ::SetWindowTextW(h, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (!dx->m_bSaveAndValidate) {
    CString text;
    text.Format(L"%d", value);
    ::SetWindowTextW(h, text);
    return;
  }
  CString text;
  CWnd::FromHandle(h)->GetWindowText(text);
  text.Trim();
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(text.GetString(), &end, 10);
  if (text.IsEmpty() || *end || v < INT32_MIN || v > INT32_MAX) {
    ReportBadNumber(h, true);
    dx->Fail();
  }
  value = static_cast<int>(v);
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
  int v = static_cast<int>(value);
  DDX_Text(dx, id, v);
  if (dx->m_bSaveAndValidate) {
    if (v < 0) {
      ReportBadNumber(::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id), true);
      dx->Fail();
    }
    value = static_cast<UINT>(v);
  }
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (!dx->m_bSaveAndValidate) {
    CString text;
    text.Format(L"%.*g", 15, value);
    ::SetWindowTextW(h, text);
    return;
  }
  CString text;
  CWnd::FromHandle(h)->GetWindowText(text);
  text.Trim();
  double v = 0;
  if (!qlw::TryParseDouble(std::wstring_view(text.GetString()), v)) {
    ReportBadNumber(h, false);
    dx->Fail();
  }
  value = v;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(h, BM_GETCHECK, 0, 0));
  else ::SendMessageW(h, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (HWND b = h; b; b = ::GetWindow(b, GW_HWNDNEXT), ++index) {
    if (b != h && (::GetWindowLongW(b, GWL_STYLE) & WS_GROUP)) break;
    if (dx->m_bSaveAndValidate) {
      if (::SendMessageW(b, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessageW(b, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(h, CB_GETCURSEL, 0, 0));
  else ::SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

void DDX_CBString(CDataExchange* dx, int id, CString& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    CWnd::FromHandle(h)->GetWindowText(value);
  } else {
    // The first item that begins with the text is selected; an editable box shows the text itself.
    if (::SendMessageW(h, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(value.GetString())) == CB_ERR)
      ::SetWindowTextW(h, value);
  }
}

void DDX_LBIndex(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(h, LB_GETCURSEL, 0, 0));
  else ::SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

void DDX_Slider(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(h, TBM_GETPOS, 0, 0));
  else ::SendMessageW(h, TBM_SETPOS, TRUE, value);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  HWND h = dx->PrepareCtrl(id);
  if (h) control.SubclassWindow(h);
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum) {
  if (!dx->m_bSaveAndValidate || (value >= minimum && value <= maximum)) return;
  CString text;
  text.Format(L"Enter an integer between %d and %d.", minimum, maximum);
  if (std::getenv("QLW_QUIET")) std::fwprintf(stderr, L"%ls\n", text.GetString());
  else QMessageBox::warning(qlw::WidgetOf(dx->m_pDlgWnd->m_hWnd), QString(), QString::fromStdWString(text.GetString()));
  dx->Fail();
}

void DDV_MinMaxDouble(CDataExchange* dx, double value, double minimum, double maximum) {
  if (!dx->m_bSaveAndValidate || (value >= minimum && value <= maximum)) return;
  CString text;
  text.Format(L"Enter a number between %g and %g.", minimum, maximum);
  if (std::getenv("QLW_QUIET")) std::fwprintf(stderr, L"%ls\n", text.GetString());
  else QMessageBox::warning(qlw::WidgetOf(dx->m_pDlgWnd->m_hWnd), QString(), QString::fromStdWString(text.GetString()));
  dx->Fail();
}

// ---- CDialog ------------------------------------------------------------------------------
IMPLEMENT_DYNAMIC(CDialog, CWnd)

BOOL CDialog::CreateFromTemplate(UINT templateId, CWnd* parent, bool child) {
  m_nIDHelp = templateId;
  if (!qlw::FindDialogTemplate(templateId)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
  }
  const DWORD style = child ? WS_CHILD : (WS_POPUP | WS_CAPTION | WS_SYSMENU);
  HWND owner = parent ? parent->m_hWnd : nullptr;
  if (!child && owner) owner = ::GetAncestor(owner, GA_ROOT);
  if (!CWnd::CreateEx(child ? 0 : m_createExStyle, nullptr, L"", style, 0, 0, 200, 100, owner, nullptr)) return FALSE;
  if (!qlw::BuildFromTemplate(this, templateId)) return FALSE;
  if (!child) CenterWindow();
  ::SendMessageW(m_hWnd, WM_INITDIALOG, 0, 0);
  return TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_modal = false;
  if (!CreateFromTemplate(templateId, parent ? parent : m_pParentWnd, false)) return FALSE;
  ShowWindow(SW_SHOW);
  return TRUE;
}

INT_PTR CDialog::DoModal() {
  m_modal = true;
  m_ended = false;
  m_result = IDCANCEL;
  HWND owner = m_pParentWnd ? ::GetAncestor(m_pParentWnd->m_hWnd, GA_ROOT) : nullptr;
  if (!CreateFromTemplate(m_nIDHelp, m_pParentWnd, false)) return -1;
  // Qt's modality keeps input from the other windows; disabling the owner's widget would grey
  // every control in it.
  if (QWidget* w = qlw::WidgetOf(m_hWnd)) w->setWindowModality(Qt::ApplicationModal);
  if (!m_ended) ShowWindow(SW_SHOW);
  if (g_answer) {
    if (!m_ended) g_answer(this);
    if (!m_ended) EndDialog(IDCANCEL);
  } else if (!m_ended) {
    QEventLoop loop;
    m_loop = &loop;
    loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
  }
  if (m_hWnd) DestroyWindow();
  if (owner) ::SetActiveWindow(owner);
  return m_result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (const CUserException&) {
    return FALSE;
  }
  return TRUE;
}

void CDialog::EndDialog(int result) {
  m_result = result;
  m_ended = true;
  if (m_modal) {
    ShowWindow(SW_HIDE);
    if (m_loop) static_cast<QEventLoop*>(m_loop)->exit(result);
  } else {
    DestroyWindow();
  }
}

void CDialog::NextDlgCtrl() const { qlw::MoveDialogFocus(const_cast<CDialog*>(this), 0, 0); }

void CDialog::PrevDlgCtrl() const { qlw::MoveDialogFocus(const_cast<CDialog*>(this), 1, 0); }

void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control) qlw::MoveDialogFocus(this, reinterpret_cast<WPARAM>(control->m_hWnd), TRUE);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) { return ::IsDialogMessageW(m_hWnd, msg); }

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  // OK and Cancel end the dialog unless a map entry took them.
  if ((nCode == CN_COMMAND || nCode == BN_CLICKED) && (nID == IDOK || nID == IDCANCEL)) {
    if (pHandlerInfo) {
      pHandlerInfo->pTarget = this;
      return TRUE;
    }
    if (nID == IDOK) OnOK();
    else OnCancel();
    return TRUE;
  }
  return FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case DM_GETDEFID: return GetDefID();
    case WM_NEXTDLGCTL: qlw::MoveDialogFocus(this, wParam, lParam); return 0;
    case DM_SETDEFID: m_defId = static_cast<UINT>(wParam); return TRUE;
    case WM_CLOSE:
      // Closing a dialog is cancelling it.
      if (LRESULT r = 0; !OnWndMsg(message, wParam, lParam, &r)) ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return 0;
    default: return CWnd::WindowProc(message, wParam, lParam);
  }
}
