// The reflexions-limit and Scale X dialogs.
#include "ReflexionLimit.h"

#include <cfloat>
#include <climits>

#include "DiffractionSettings.h"
#include "LXUtils.h"

BEGIN_MESSAGE_MAP(CReflexionLimit, CToolTipDialog)
  ON_BN_CLICKED(3000, &CReflexionLimit::OnLimitNumberClicked)
END_MESSAGE_MAP()

CReflexionLimit::CReflexionLimit(CWnd* parent, CDiffractionSettings* settings)
    : CToolTipDialog(kTemplateId, parent), m_settings(settings) {}

void CReflexionLimit::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 3002, m_dMin);
  DDX_Control(dx, 3000, m_limit);
  DDX_Control(dx, 3001, m_count);
}

BOOL CReflexionLimit::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  // At least one reflexion: a limit of 0 would leave every pattern empty.
  m_count.SetRange(1u, UINT_MAX);
  m_count.SetFormat(L"%u");
  m_count.m_options |= CLXEdit<unsigned int>::kKeepOnEmpty;
  // Four decimals: one would show a d-spacing of 0.75 Å as 0.8.
  m_dMin.SetRange(0.0, DBL_MAX);
  m_dMin.SetFormat(L"%.4f");
  if (m_settings) {
    m_dMin.SetValue(m_settings->m_dMin, false);
    m_count.SetValue(m_settings->m_maxNumRefs, false);
    m_limit.SetCheck(m_settings->m_restrictMaxNumRefs ? BST_CHECKED : BST_UNCHECKED);
  }
  m_dMin.GetWindowText(m_shownDMin);
  CUtils::SetAppIcon(m_hWnd);
  OnLimitNumberClicked();
  GotoDlgCtrl(&m_dMin);
  m_dMin.SetSel(0, -1);
  return FALSE;
}

void CReflexionLimit::OnLimitNumberClicked() { m_count.EnableWindow(m_limit.GetCheck() == BST_CHECKED); }

void CReflexionLimit::OnOK() {
  if (!m_settings) return EndDialog(IDCANCEL);
  CString text;
  m_dMin.GetWindowText(text);
  const bool dMinEdited = text != m_shownDMin;
  if (dMinEdited && !m_dMin.Validate(true)) return;
  if (m_count.IsWindowEnabled() && !m_count.Validate(true)) return;
  if (dMinEdited) m_settings->m_dMin = m_dMin.m_value;
  m_settings->m_restrictMaxNumRefs = m_limit.GetCheck() == BST_CHECKED ? 1 : 0;
  m_settings->m_maxNumRefs = m_count.m_value >= m_count.m_min ? m_count.m_value : m_count.m_accepted;
  EndDialog(IDOK);
}

CScaleX::CScaleX(CWnd* parent) : CToolTipDialog(kTemplateId, parent) {}

void CScaleX::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 3400, m_edit);
}

BOOL CScaleX::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  m_edit.SetFormat(L"%0#.3f");
  m_edit.SetRange(0.001, 100.0);
  m_edit.SetValue(10.0, true);
  CUtils::SetAppIcon(m_hWnd);
  m_updating = false;
  GotoDlgCtrl(&m_edit);
  m_edit.SetSel(0, -1);
  return FALSE;
}

void CScaleX::OnOK() {
  if (!m_edit.Validate(true)) return;
  m_factor = m_edit.m_value;
  EndDialog(IDOK);
}
