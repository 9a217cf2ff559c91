// The dialog pane: creation as a child, host notifications, refresh on showing and activation.
#include "DialogPane.h"

#include "LXDocWnd.h"
#include "LXMessage.h"

IMPLEMENT_DYNAMIC(CDialogPane, CLXDialog)

BEGIN_MESSAGE_MAP(CDialogPane, CLXDialog)
  // Return in a pane presses the host's default button, not the pane's (it has none).
  ON_COMMAND(IDOK, &CDialogPane::OnOKCommand)
  ON_WM_ACTIVATE()
  ON_WM_SHOWWINDOW()
  ON_REGISTERED_MESSAGE(g_msgResetPaneSync, &CDialogPane::OnResetPane)
  ON_REGISTERED_MESSAGE(g_msgResetPaneAsync, &CDialogPane::OnResetPane)
END_MESSAGE_MAP()

BOOL CDialogPane::Create(UINT templateId, CWnd* parent) {
  if (parent) m_pParentWnd = parent;
  m_created = CreateFromTemplate(templateId, m_pParentWnd, true) != FALSE;
  return m_created ? TRUE : FALSE;
}

BOOL CDialogPane::Create(LPCWSTR templateName, CWnd* parent) {
  // Templates are known by number only.
  m_created = IS_INTRESOURCE(templateName) &&
              Create(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(templateName)), parent) != FALSE;
  return m_created ? TRUE : FALSE;
}

BOOL CDialogPane::OnInitDialog() {
  ModifyStyle(0, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  ModifyStyleEx(0, 0x00010000u /* WS_EX_CONTROLPARENT */);
  m_refreshGuard.Release();
  return CLXDialog::OnInitDialog();
}

HWND CDialogPane::HostWindow() const {
  HWND host = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  return host ? host : LXAppWindows::GetMainWindow();
}

void CDialogPane::OnOK() { ::PostMessageW(HostWindow(), WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(m_hWnd)); }
void CDialogPane::OnCancel() { ::PostMessageW(HostWindow(), WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(m_hWnd)); }

LRESULT CDialogPane::SetModified(bool modified, bool force) {
  if (modified || force) m_modified = modified;
  if (m_manageOKButton && m_okButton.m_hWnd) m_okButton.EnableWindow(m_modified ? TRUE : FALSE);
  LRESULT answer = 0;
  CLXMsgTarget(HostWindow(), g_msgPaneModified, reinterpret_cast<LPARAM>(m_hWnd), modified ? 1 : 0, &answer)
      .Send(CLXMessage::kModeKeep);
  return answer;
}

void CDialogPane::ValidateTarget() {
  if (m_target && !::IsWindow(m_target->m_hWnd)) m_target = nullptr;
  if (!m_target) m_target = CLXDocWnd::FromWindow(this);
}

void CDialogPane::OnActivate(UINT state, CWnd* other, BOOL) {
  Default();
  if (state != WA_ACTIVE) return;
  ValidateTarget();
  if (!m_target) return;
  if (DYNAMIC_DOWNCAST(CLXDocWnd, other)) {
    ValidateTarget();
    if (m_target && other->m_hWnd == m_target->m_hWnd) RefreshControls();
  }
}

void CDialogPane::OnShowWindow(BOOL show, UINT) {
  const bool visible = IsWindowVisible() != FALSE;
  Default();
  if (show && !visible) RefreshControls();
}

LRESULT CDialogPane::OnResetPane(WPARAM, LPARAM) {
  RefreshAndSetModified(true);
  return 1;
}
