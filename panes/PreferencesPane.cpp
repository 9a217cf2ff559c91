// The page protocol of the preferences dialog: the update lock through construction and loading,
// modified only by the user's changes, and the apply that tells the document window.
#include "PreferencesPane.h"

#include "LXColorPopup.h"
#include "LXUtils.h"
#include "PreferencesDlg.h"
#include "PreferencesQt.h"

IMPLEMENT_DYNAMIC(CPreferencesPane, CDialogPane)

BEGIN_MESSAGE_MAP(CPreferencesPane, CDialogPane)
  ON_MESSAGE(WM_COLORPICK_ACCEPT, &CPreferencesPane::OnColourChosen)
  ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

CPreferencesPane::CPreferencesPane(UINT templateId, CWnd* parent) : CDialogPane(templateId, parent) {
  // The dialog base took the first level; this part and the page each hold one more, so the lock
  // stays held until the page has set up its controls.
  RaiseLock();
  m_manageOKButton = false;
}

BOOL CPreferencesPane::OnInitDialog() {
  // The pane base releases two levels (its own and the dialog base's); the page's own stays.
  const BOOL result = CDialogPane::OnInitDialog();
  PrefsLayout::FitPageToContents(m_hWnd, 0);
  return result;
}

BOOL CPreferencesPane::FinishInit(CWnd& first) {
  m_refreshGuard.Release();
  RefreshControls();
  if (first.m_hWnd) CUtils::ActivateControl(m_hWnd, first.m_hWnd);
  return FALSE;
}

CPreferencesDlg* CPreferencesPane::GetPrefsDialog() const {
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h))
    if (auto* dialog = dynamic_cast<CPreferencesDlg*>(CWnd::FromHandlePermanent(h))) return dialog;
  return nullptr;
}

void CPreferencesPane::SetHeaderFont(std::initializer_list<int> ids) {
  CPreferencesDlg* dialog = GetPrefsDialog();
  if (!dialog || !dialog->GetHeaderFont()) return;
  for (int id : ids)
    if (HWND label = ::GetDlgItem(m_hWnd, id)) PrefsLayout::MakeLabelBold(label);
}

// A page whose edits are not saved yet keeps them when its tab comes back: the store still holds
// the values they replace, and Save writes what the page shows. Reset refreshes it as before.
void CPreferencesPane::OnShowWindow(BOOL show, UINT status) {
  if (show && IsModified()) {
    Default();
    return;
  }
  CDialogPane::OnShowWindow(show, status);
}

LRESULT CPreferencesPane::OnControlChanged(WPARAM, LPARAM) {
  if (IsLocked()) return 1;
  MarkModified();
  return 1;
}

LRESULT CPreferencesPane::OnColourChosen(WPARAM wParam, LPARAM lParam) {
  if (!IsLocked()) m_unshown.erase(static_cast<UINT>(wParam));
  return OnControlChanged(wParam, lParam);
}

void CPreferencesPane::NoteUserChange() {
  const MSG* current = GetCurrentMessage();
  if (current && current->message == WM_COMMAND) m_unshown.erase(LOWORD(current->wParam));
}

void CPreferencesPane::MarkModified() {
  if (IsLocked()) return;
  NoteUserChange();
  UpdateControls(false);
  SetModified(true, false);
}

void CPreferencesPane::NoteLoaded(UINT id, bool shown) {
  if (shown) m_unshown.erase(id);
  else m_unshown.insert(id);
}

bool CPreferencesPane::ApplyChanges() { return CDialogPane::ApplyChanges(); }

// Enter and Escape in a page act on the dialog, whose buttons they stand for.
void CPreferencesPane::OnOK() {
  if (CPreferencesDlg* dialog = GetPrefsDialog()) dialog->PostMessage(WM_COMMAND, IDOK, 0);
}

void CPreferencesPane::OnCancel() {
  if (CPreferencesDlg* dialog = GetPrefsDialog()) dialog->PostMessage(WM_COMMAND, IDCANCEL, 0);
}

namespace PrefsControls {
void SetCheck(CWnd& parent, int id, bool checked) {
  if (HWND button = ::GetDlgItem(parent.m_hWnd, id)) CUtils::SetCheck(button, checked);
}

bool IsChecked(CWnd& parent, int id) {
  HWND button = ::GetDlgItem(parent.m_hWnd, id);
  return button && (::SendMessageW(button, BM_GETCHECK, 0, 0) & 1) != 0;
}
}  // namespace PrefsControls
