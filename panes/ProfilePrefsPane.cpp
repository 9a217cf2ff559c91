// The Profile page: the default peak shape, its pseudo-Voigt mixing, and the reflexion limits.
#include "PrefsPages.h"

#include <cfloat>
#include <climits>

using PrefsControls::IsChecked;
using PrefsControls::SetCheck;
using PrefsControls::Value;

BEGIN_MESSAGE_MAP(CProfilePrefsPane, CPreferencesPane)
  ON_CBN_SELCHANGE(2979, &CProfilePrefsPane::MarkModified)
  ON_EN_CHANGE(2973, &CProfilePrefsPane::MarkModified)
  ON_EN_CHANGE(2970, &CProfilePrefsPane::MarkModified)
  ON_EN_CHANGE(2977, &CProfilePrefsPane::MarkModified)
  ON_BN_CLICKED(2975, &CProfilePrefsPane::MarkModified)
END_MESSAGE_MAP()

CProfilePrefsPane::CProfilePrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

void CProfilePrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 2979, m_profile);
  DDX_Control(dx, 2973, m_eta);
  DDX_Control(dx, 2970, m_dMin);
  DDX_Control(dx, 2975, m_restrict);
  DDX_Control(dx, 2977, m_maxRefs);
}

BOOL CProfilePrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  m_profile.Fill(IDComboTables::kProfileTypes, true);
  m_eta.SetRange(0.0, 1.0);
  m_eta.SetFormat(L"%.3f");
  m_dMin.SetRange(0.0, DBL_MAX);
  m_dMin.SetFormat(L"%.4f");
  m_maxRefs.SetRange(1u, UINT_MAX);
  if (m_maxRefs.m_value == 0) m_maxRefs.SetValue(1u, true);
  // Unsigned, so that the range alert names 4294967295 and not -1.
  m_maxRefs.SetFormat(L"%u");
  // An emptied count is not a count of 0 (which would leave every pattern empty).
  m_maxRefs.m_options |= CLXEdit<unsigned int>::kKeepOnEmpty;
  CString caption;
  if (caption.LoadString(3417)) SetDlgItemText(2974, caption);
  SetHeaderFont({2980, 2976});
  return FinishInit(m_profile);
}

void CProfilePrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  NoteLoaded(2979, m_profile.SelectID(p->m_ProfileType.Get()) >= 0);
  NoteLoaded(2973, m_eta.SetValue(p->m_Eta.Get(), false));
  NoteLoaded(2970, m_dMin.SetValue(p->m_DMin.Get(), false));
  SetCheck(*this, 2975, p->m_RestrictMaxNumRefs.Get());
  NoteLoaded(2977, m_maxRefs.SetValue(p->m_MaxNumRefs.Get(), false));
  UpdateControls(false);
  m_refreshGuard.Release();
}

bool CProfilePrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  if (MayWrite(2979)) p->m_ProfileType.Set(m_profile.GetSelectedID());
  if (MayWrite(2973)) p->m_Eta.Set(Value<double>(m_eta));
  if (MayWrite(2970)) p->m_DMin.Set(Value<double>(m_dMin));
  p->m_RestrictMaxNumRefs.Set(IsChecked(*this, 2975));
  if (MayWrite(2977)) p->m_MaxNumRefs.Set(Value<unsigned int>(m_maxRefs));
  return CPreferencesPane::ApplyChanges();
}
