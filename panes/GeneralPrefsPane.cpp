// The General page: update check, workspace panes, plot overlays and rescaling on loading.
#include "PrefsPages.h"

#include "LXColorPopup.h"

using PrefsControls::IsChecked;
using PrefsControls::SetCheck;

BEGIN_MESSAGE_MAP(CGeneralPrefsPane, CPreferencesPane)
  ON_BN_CLICKED(2918, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2917, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2916, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2914, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2915, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2912, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2910, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2921, &CGeneralPrefsPane::MarkModified)
  ON_BN_CLICKED(2923, &CGeneralPrefsPane::MarkModified)
END_MESSAGE_MAP()

CGeneralPrefsPane::CGeneralPrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

void CGeneralPrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 2918, m_updateCheck);
  DDX_Control(dx, 2917, m_showStructures);
  DDX_Control(dx, 2916, m_showReflexions);
  DDX_Control(dx, 2914, m_showParameters);
  DDX_Control(dx, 2915, m_showPeakTips);
  DDX_Control(dx, 2912, m_peakTipClick);
  DDX_Control(dx, 2910, m_autoScale);
  DDX_Control(dx, 2921, m_showRuler);
  DDX_Control(dx, 2922, m_rulerColour);
  DDX_Control(dx, 2923, m_showScroller);
}

BOOL CGeneralPrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  SetHeaderFont({2919, 2920, 2913, 2911});
  return FinishInit(m_updateCheck);
}

void CGeneralPrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  SetCheck(*this, 2918, p->m_UpdateCheckNotify.Get());
  SetCheck(*this, 2917, p->m_ShowStructures.Get());
  SetCheck(*this, 2916, p->m_ShowReflexions.Get());
  SetCheck(*this, 2914, p->m_ShowParameters.Get());
  SetCheck(*this, 2915, p->m_ShowPeakTips.Get());
  SetCheck(*this, 2912, p->m_PeakTipClick.Get());
  SetCheck(*this, 2910, p->m_ObservedAutoSetYScale.Get());
  SetCheck(*this, 2921, p->m_RulerVisible.Get());
  const DWORD ruler = p->m_RulerColor.Get().GetValue();
  if (m_rulerColour.GetColor() != ruler) m_rulerColour.SetColor(ruler);
  SetCheck(*this, 2923, p->m_ShowScroller.Get());
  UpdateControls(false);
  m_refreshGuard.Release();
}

bool CGeneralPrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  p->m_UpdateCheckNotify.Set(IsChecked(*this, 2918));
  p->m_ShowStructures.Set(IsChecked(*this, 2917));
  p->m_ShowReflexions.Set(IsChecked(*this, 2916));
  p->m_ShowParameters.Set(IsChecked(*this, 2914));
  const bool peakTips = IsChecked(*this, 2915);
  p->m_ShowPeakTips.Set(peakTips);
  // Without peak tips the click sound box means nothing: the stored choice is kept.
  if (peakTips) p->m_PeakTipClick.Set(IsChecked(*this, 2912));
  p->m_ObservedAutoSetYScale.Set(IsChecked(*this, 2910));
  p->m_RulerVisible.Set(IsChecked(*this, 2921));
  p->m_RulerColor.Set(LXGraphics::CColor(m_rulerColour.GetColor()));
  p->m_ShowScroller.Set(IsChecked(*this, 2923));
  return CPreferencesPane::ApplyChanges();
}
