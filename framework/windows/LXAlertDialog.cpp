#include "LXAlertDialog.h"

#include "AfxApp.h"
#include "LXMessage.h"

namespace {
UINT PresentAlert(const CLXAlert& alert) {
  CLXAlertDialog dialog(alert);
  const UINT answer = static_cast<UINT>(dialog.DoModal());
  LXAlertLook::RepaintAfterClose();
  return answer;
}

CWnd* OwnerOf(const CLXAlert& alert) {
  HWND owner = alert.GetOwner();
  if (!owner) owner = LXAppWindows::GetMainWindow();
  // At start-up the main window exists before it is announced: an alert without it as owner
  // opens under it.
  if (!owner)
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd && ::IsWindow(app->m_pMainWnd->m_hWnd))
      owner = app->m_pMainWnd->m_hWnd;
  return owner ? CWnd::FromHandle(owner) : nullptr;
}
}  // namespace

CLXAlertDialog::CLXAlertDialog(const CLXAlert& alert) : CDialog(IDD, OwnerOf(alert)), m_alert(alert) {}

void CLXAlertDialog::Install() { CLXAlert::SetPresenter(&PresentAlert); }

BOOL CLXAlertDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(m_alert.GetPart(0));
  const UINT kind = m_alert.GetKind();
  // Information and errors have one button.
  if (kind != CLXAlert::kQuestion)
    if (CWnd* cancel = GetDlgItem(IDCANCEL)) cancel->ShowWindow(SW_HIDE);

  bool* flag = m_alert.GetDontShowAgain();
  if (CWnd* box = GetDlgItem(kIdDontShow)) {
    box->ShowWindow(flag ? SW_SHOW : SW_HIDE);
    if (flag) CheckDlgButton(kIdDontShow, *flag ? BST_CHECKED : BST_UNCHECKED);
  }
  SetDlgItemText(kIdMessage, m_alert.GetPart(1));
  SetDlgItemText(kIdExplanation, m_alert.GetPart(2));
  SetDlgItemText(kIdCode, m_alert.GetCodeText());
  // An empty explanation takes no room.
  if (m_alert.GetPart(2).IsEmpty())
    if (CWnd* explanation = GetDlgItem(kIdExplanation)) explanation->ShowWindow(SW_HIDE);
  if (!m_alert.GetPart(3).IsEmpty()) SetDlgItemText(IDOK, m_alert.GetPart(3));
  if (!m_alert.GetPart(4).IsEmpty()) SetDlgItemText(IDCANCEL, m_alert.GetPart(4));
  if (CWnd* third = GetDlgItem(IDNO)) {
    const bool shown = kind == CLXAlert::kQuestion && !m_alert.GetThirdButton().IsEmpty();
    third->ShowWindow(shown ? SW_SHOW : SW_HIDE);
    if (shown) third->SetWindowText(m_alert.GetThirdButton());
  }

  // A question defaults to its second button unless the default caption names the first; a
  // one-button alert defaults to the one it shows.
  const CString& defaultCaption = m_alert.GetPart(5);
  if (kind != CLXAlert::kQuestion || (!defaultCaption.IsEmpty() && defaultCaption == m_alert.GetPart(3)))
    m_defaultId = IDOK;
  else
    m_defaultId = IDCANCEL;
  SetDefID(m_defaultId);
  LXAlertLook::Apply(m_hWnd, kind, m_defaultId, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr);
  return FALSE;
}

BOOL CLXAlertDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == IDNO && HIWORD(wParam) == BN_CLICKED) {
    EndDialog(IDNO);
    return TRUE;
  }
  return CDialog::OnCommand(wParam, lParam);
}

void CLXAlertDialog::OnOK() {
  if (bool* flag = m_alert.GetDontShowAgain()) *flag = IsDlgButtonChecked(kIdDontShow) & BST_CHECKED;
  EndDialog(IDOK);
}
