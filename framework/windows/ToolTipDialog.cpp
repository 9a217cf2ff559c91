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
    AddChildTools(m_toolTip, m_hWnd);
    m_bToolTipsEnabled = true;
  }
  return result;
}

BOOL CToolTipDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  BOOL answer = FALSE;
  if (AnswerToolTipNotify(lParam, result, answer)) return answer;
  return CDialog::OnNotify(wParam, lParam, result);
}

void CToolTipDialog::OnInitMenuPopup(CMenu* popup, UINT, BOOL) { CInitMenuPopupHelper::OnInitMenuPopup(this, popup); }
