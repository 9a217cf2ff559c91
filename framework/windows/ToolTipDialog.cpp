// The tooltip dialog.
#include "ToolTipDialog.h"

#include "MenuXP.h"

IMPLEMENT_DYNAMIC(CToolTipDialog, CDialog)

BEGIN_MESSAGE_MAP(CToolTipDialog, CDialog)
  ON_WM_INITMENUPOPUP()
  ON_LX_MENUXP_HANDLERS()
END_MESSAGE_MAP()

CToolTipDialog::CToolTipDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {
  m_pszToolTip = new wchar_t[kBufferLength]();
  m_bToolTipsEnabled = false;
}

BOOL CToolTipDialog::OnInitDialog() {
  const BOOL result = CDialog::OnInitDialog();
  CMenuXP::SetWindowMenuProp(this);
  CMenuXP::UpdateWindowMenu(this);
  if (!m_bToolTipsEnabled) {
    if (!m_toolTip.m_hWnd) m_toolTip.Create(this, TTS_ALWAYSTIP);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
      if (child != m_toolTip.m_hWnd) m_toolTip.AddTool(CWnd::FromHandle(child));
    m_bToolTipsEnabled = true;
  }
  return result;
}

BOOL CToolTipDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr && hdr->code == TTN_NEEDTEXTW) {
    if (result) *result = 0;
    if (!m_bToolTipsEnabled) return FALSE;
    return OnToolTipText(reinterpret_cast<NMTTDISPINFOW*>(hdr)) ? TRUE : FALSE;
  }
  return CDialog::OnNotify(wParam, lParam, result);
}

void CToolTipDialog::OnInitMenuPopup(CMenu* popup, UINT, BOOL) { CInitMenuPopupHelper::OnInitMenuPopup(this, popup); }
