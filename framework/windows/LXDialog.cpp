// The dialog base: document-window messages under the apply guard, apply and refresh, the OK
// button, tooltips, context help and popup-menu updating.
#include "LXDialog.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwchar>

#include "Frame.h"
#include "LXDocWnd.h"
#include "LXGdiplus.h"
#include "LXMessage.h"
#include "MenuXP.h"
#include "ResourceText.h"
#include "Resources.h"

namespace {
std::atomic<bool> g_appQuitting{false};
}

// Context help.
int CContextHelpHelper::GetHelpCommand(LPARAM) { return ID_DEFAULT_HELP; }

LRESULT CContextHelpHelper::OnCommandHelp(HWND window, WPARAM, LPARAM context) {
  const int command = GetHelpCommand(context);
  if (command == -1) return 1;
  CLXMsgMenuCmd(window, static_cast<UINT>(command)).Send(CLXMessage::kModeAsync);
  return 1;
}

// Command-UI updating of a popup before it opens.
void CInitMenuPopupHelper::OnInitMenuPopup(CWnd* owner, CMenu* popup) {
  if (!owner || !popup || !popup->m_hMenu) return;
  CCmdUI state;
  state.m_pMenu = popup;
  state.m_nIndexMax = popup->GetMenuItemCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
    state.m_nID = popup->GetMenuItemID(static_cast<int>(state.m_nIndex));
    if (state.m_nID == 0) continue;  // separator
    state.m_pSubMenu = nullptr;
    if (state.m_nID == static_cast<UINT>(-1)) {
      CMenu* sub = popup->GetSubMenu(static_cast<int>(state.m_nIndex));
      if (!sub || sub->GetMenuItemCount() == 0) continue;
      state.m_nID = sub->GetMenuItemID(0);
      if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1)) continue;
      state.m_pSubMenu = sub;
    }
    state.DoUpdate(owner, FALSE);
    // An update that removed items moves the index back; items that still carry the id are passed.
    const UINT count = popup->GetMenuItemCount();
    if (count < state.m_nIndexMax) {
      state.m_nIndex -= (state.m_nIndexMax - count);
      while (state.m_nIndex < count && popup->GetMenuItemID(static_cast<int>(state.m_nIndex)) == state.m_nID)
        ++state.m_nIndex;
    }
    state.m_nIndexMax = count;
  }
  CMenuXP::UpdateMenu(owner, popup, true, false);
}

// Tooltips.
CToolTipHelper::~CToolTipHelper() {
  delete[] m_pszToolTip;
  m_pszToolTip = nullptr;
}

int CToolTipHelper::MaxTipWidth(int clientWidth) {
  const double dpi = g_screenDpi > 0 ? g_screenDpi : 96;
  const int lower = static_cast<int>(std::floor(144 * dpi / 72));
  const int upper = static_cast<int>(std::ceil(288 * dpi / 72));
  return std::clamp(clientWidth / 3, lower, upper);
}

bool CToolTipHelper::AnswerToolTipNotify(LPARAM lParam, LRESULT* result, BOOL& answer) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (!hdr || hdr->code != TTN_NEEDTEXTW) return false;
  if (result) *result = 0;
  answer = m_bToolTipsEnabled && OnToolTipText(reinterpret_cast<NMTTDISPINFOW*>(hdr)) ? TRUE : FALSE;
  return true;
}

void CToolTipHelper::AddChildTools(CToolTipCtrl& tip, HWND dialog) {
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (child != tip.m_hWnd) tip.AddTool(CWnd::FromHandle(child));
}

UINT CToolTipHelper::GetToolTipTemplate() {
  if (auto* dialog = dynamic_cast<CDialog*>(this)) return dialog->m_nIDHelp;
  if (auto* form = dynamic_cast<CFormView*>(this)) return form->m_nIDTemplate;
  return 0;
}

bool CToolTipHelper::GetToolTipText(UINT id, CString& text) {
  text.Empty();
  if (id == static_cast<UINT>(-1)) return false;
  const UINT templateId = GetToolTipTemplate();
  const UINT stringId = templateId != 0 ? qlw::FindToolTipString(templateId, static_cast<int>(id)) : id + kTextOffset;
  if (stringId == 0) return false;
  LoadString(stringId, text);
  return !text.IsEmpty();
}

bool CToolTipHelper::OnToolTipText(NMTTDISPINFOW* info) {
  auto* window = dynamic_cast<CWnd*>(this);
  RECT client{0, 0, 0, 0};
  if (window && window->m_hWnd) window->GetClientRect(&client);
  ::SendMessageW(info->hdr.hwndFrom, TTM_SETMAXTIPWIDTH, 0, MaxTipWidth(client.right - client.left));
  const UINT id = (info->uFlags & TTF_IDISHWND) ? static_cast<UINT>(::GetDlgCtrlID(reinterpret_cast<HWND>(info->hdr.idFrom)))
                                                  : static_cast<UINT>(info->hdr.idFrom);
  CString text;
  if (!GetToolTipText(id, text)) return false;
  if (!m_pszToolTip) m_pszToolTip = new wchar_t[kBufferLength]();
  const size_t n = std::min<size_t>(static_cast<size_t>(text.GetLength()), kBufferLength - 1);
  std::wmemcpy(m_pszToolTip, text.GetString(), n);
  m_pszToolTip[n] = L'\0';
  info->lpszText = m_pszToolTip;
  info->szText[0] = L'\0';
  info->hinst = nullptr;
  return true;
}

// The dialog.
IMPLEMENT_DYNAMIC(CLXDialog, CDialog)

BEGIN_MESSAGE_MAP(CLXDialog, CDialog)
  ON_COMMAND(IDOK, &CLXDialog::ApplyIfModifiedCommand)
  ON_REGISTERED_MESSAGE(g_msgDocWndActiveSync, &CLXDialog::OnDocWndActiveMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndActiveAsync, &CLXDialog::OnDocWndActiveMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndClosedSync, &CLXDialog::OnDocWndClosedMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndClosedAsync, &CLXDialog::OnDocWndClosedMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndInactiveSync, &CLXDialog::OnDocWndInactiveMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndInactiveAsync, &CLXDialog::OnDocWndInactiveMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndModifiedSync, &CLXDialog::OnDocWndModifiedMsg)
  ON_REGISTERED_MESSAGE(g_msgDocWndModifiedAsync, &CLXDialog::OnDocWndModifiedMsg)
  ON_MESSAGE(WM_COMMANDHELP, &CLXDialog::OnCommandHelpMsg)
  ON_MESSAGE(WM_HELP, &CLXDialog::OnHelpMsg)
  ON_WM_INITMENUPOPUP()
  ON_LX_MENUXP_HANDLERS()
END_MESSAGE_MAP()

CLXDialog::CLXDialog() { Construct(); }
CLXDialog::CLXDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) { Construct(); }

void CLXDialog::Construct() {
  m_pszToolTip = new wchar_t[kBufferLength]();
  m_bToolTipsEnabled = false;
  // Held until the controls exist: RefreshControls does nothing of its own before OnInitDialog.
  m_refreshGuard.Take();
}

CLXDialog::~CLXDialog() {
  if (m_okButton.m_hWnd) m_okButton.UnsubclassWindow();
}

void CLXDialog::SetAppQuitting(bool quitting) { g_appQuitting = quitting; }
bool CLXDialog::IsAppQuitting() { return g_appQuitting; }

void CLXDialog::DoDataExchange(CDataExchange* dx) {
  if (m_manageOKButton && ::GetDlgItem(m_hWnd, IDOK)) DDX_Control(dx, IDOK, m_okButton);
}

BOOL CLXDialog::Create(UINT templateId, CWnd* parent) { return CDialog::Create(templateId, parent); }

BOOL CLXDialog::OnInitDialog() {
  const bool result = CDialog::OnInitDialog() != FALSE;
  CMenuXP::SetWindowMenuProp(this);
  CMenuXP::UpdateWindowMenu(this);
  m_target = CLXDocWnd::FromWindow(nullptr);
  SetModified(false, true);
  if (m_useToolTips != m_bToolTipsEnabled) EnableToolTips(m_useToolTips);
  m_bToolTipsEnabled = m_useToolTips;
  if (auto big = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON, 0, 0, 0))) {
    auto small = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SetIcon(big, TRUE);
    SetIcon(small ? small : big, FALSE);
  }
  CLXMsgChild(m_hWnd, g_msgDialogInitialized, 0, 0).Send(CLXMessage::kModeKeep);
  m_refreshGuard.Release();
  return result;
}

void CLXDialog::OnOK() {
  if (m_manageOKButton && ApplyChanges()) CDialog::OnOK();
}

void CLXDialog::ApplyIfModified() {
  if (m_manageOKButton) OnOK();
}

bool CLXDialog::ApplyChanges() {
  if (!m_applyGuard.held) {
    m_applyGuard.Take();
    if (CLXDocWnd* doc = CLXDocWnd::FromWindow(this)) {
      if (CDocument* active = doc->GetActiveDocument()) active->SetModifiedFlag(TRUE);
      HWND to = doc->m_hWnd ? doc->m_hWnd : LXAppWindows::GetMainWindow();
      CLXMsgTarget(to, g_msgOptionsApplied, 0, 0).Send(CLXMessage::kModeKeep);
      if (doc->m_hWnd) doc->ShowWindow(SW_SHOW);
    }
    m_applyGuard.Release();
  }
  SetModified(false, true);
  return true;
}

void CLXDialog::RefreshAndSetModified(bool modified) {
  RefreshControls();
  SetModified(modified, true);
}

LRESULT CLXDialog::SetModified(bool modified, bool force) {
  if (modified || force) m_modified = modified;
  if (m_manageOKButton && m_okButton.m_hWnd) m_okButton.EnableWindow(m_modified ? TRUE : FALSE);
  return 0;
}

void CLXDialog::RefreshControls() {
  if (m_refreshGuard.Take()) {
    CLXDocWnd* doc = CLXDocWnd::FromWindow(nullptr);
    m_target = doc && !doc->IsClosing() ? doc : nullptr;
    m_refreshGuard.Release();
  }
  SetModified(false, true);
}

void CLXDialog::UpdateControls(bool) {
  if (m_manageOKButton && m_okButton.m_hWnd) m_okButton.EnableWindow(m_modified ? TRUE : FALSE);
}

void CLXDialog::ForwardCurrentMessage() {
  const MSG* current = GetCurrentMessage();
  if (!current) return;
  CLXMsgChild(m_hWnd, current->message, current->lParam, current->wParam).Send(CLXMessage::kModeKeep);
}

void CLXDialog::OnDocWndActivated(CLXDocWnd* window) {
  if (window == m_target || !window || window->IsClosing()) return;
  m_target = window;
  ForwardCurrentMessage();
  RefreshControls();
}

void CLXDialog::OnDocWndClosed(CLXDocWnd* window) {
  if (window != m_target) return;
  m_target = nullptr;
  ForwardCurrentMessage();
  if (!IsAppQuitting()) RefreshControls();
}

void CLXDialog::OnDocWndDeactivated(CLXDocWnd* window) {
  if (window != m_target) return;
  m_target = nullptr;
  ForwardCurrentMessage();
  RefreshControls();
}

void CLXDialog::OnDocWndUpdated(CLXDocWnd* window) {
  if (window != m_target || !m_target) return;
  UpdateControls(true);
  ForwardCurrentMessage();
}

#define LX_GUARDED_DOCWND_HANDLER(name, call)                      \
  LRESULT CLXDialog::name(WPARAM, LPARAM lParam) {                 \
    if (!m_applyGuard.Take()) return 1;                            \
    call(reinterpret_cast<CLXDocWnd*>(lParam));                    \
    m_applyGuard.Release();                                        \
    return 1;                                                      \
  }
LX_GUARDED_DOCWND_HANDLER(OnDocWndActiveMsg, OnDocWndActivated)
LX_GUARDED_DOCWND_HANDLER(OnDocWndClosedMsg, OnDocWndClosed)
LX_GUARDED_DOCWND_HANDLER(OnDocWndInactiveMsg, OnDocWndDeactivated)
LX_GUARDED_DOCWND_HANDLER(OnDocWndModifiedMsg, OnDocWndUpdated)
#undef LX_GUARDED_DOCWND_HANDLER

LRESULT CLXDialog::OnCommandHelpMsg(WPARAM wParam, LPARAM lParam) { return OnCommandHelp(m_hWnd, wParam, lParam); }

LRESULT CLXDialog::OnHelpMsg(WPARAM, LPARAM) {
  SendMessage(WM_COMMAND, ID_HELP, 0);
  return TRUE;
}

void CLXDialog::OnInitMenuPopup(CMenu* popup, UINT, BOOL) { CInitMenuPopupHelper::OnInitMenuPopup(this, popup); }

void CLXDialog::EnableToolTips(bool enable) {
  if (enable && !m_toolTip.m_hWnd) m_toolTip.Create(this, TTS_ALWAYSTIP);
  if (!m_toolTip.m_hWnd) return;
  if (enable) AddChildTools(m_toolTip, m_hWnd);
  m_toolTip.Activate(enable ? TRUE : FALSE);
}

BOOL CLXDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  BOOL answer = FALSE;
  if (AnswerToolTipNotify(lParam, result, answer)) return answer;
  return CDialog::OnNotify(wParam, lParam, result);
}
