// The Labels page: automatic peak labels, their threshold, content, colour, position and style.
#include "PrefsPages.h"

using PrefsControls::IsChecked;
using PrefsControls::SetCheck;
using PrefsControls::Value;

BEGIN_MESSAGE_MAP(CLabelsPrefsPane, CPreferencesPane)
  ON_BN_CLICKED(3070, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3077, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3076, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3075, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3080, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3079, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3083, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3085, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3087, &CLabelsPrefsPane::MarkModified)
  ON_BN_CLICKED(3088, &CLabelsPrefsPane::MarkModified)
  ON_EN_CHANGE(3071, &CLabelsPrefsPane::MarkModified)
  ON_CBN_SELCHANGE(3081, &CLabelsPrefsPane::MarkModified)
END_MESSAGE_MAP()

CLabelsPrefsPane::CLabelsPrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

void CLabelsPrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 3070, m_show);
  DDX_Control(dx, 3071, m_threshold);
  DDX_Control(dx, 3077, m_hkl);
  DDX_Control(dx, 3076, m_dSpacing);
  DDX_Control(dx, 3075, m_xUnits);
  DDX_Control(dx, 3080, m_relIntensity);
  DDX_Control(dx, 3079, m_phaseName);
  DDX_Control(dx, 3073, m_colour);
  DDX_Control(dx, 3081, m_position);
  DDX_Control(dx, 3083, m_rotate);
  DDX_Control(dx, 3085, m_arrowhead);
  DDX_Control(dx, 3087, m_outline);
  DDX_Control(dx, 3088, m_shadow);
}

BOOL CLabelsPrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  m_threshold.SetRange(0.0, 100.0);
  m_threshold.SetFormat(L"%.2f");
  m_position.Fill(IDComboTables::kLabelAlignments, true);
  SetHeaderFont({3072, 3078, 3074, 3082, 3086});
  return FinishInit(m_threshold);
}

void CLabelsPrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  SetCheck(*this, 3070, p->m_ShowLabels.Get());
  NoteLoaded(3071, m_threshold.SetValue(p->m_LabelThreshold.Get(), false));
  SetCheck(*this, 3077, p->m_LabelHKL.Get());
  SetCheck(*this, 3076, p->m_LabelDSpacing.Get());
  SetCheck(*this, 3075, p->m_LabelXUnits.Get());
  SetCheck(*this, 3080, p->m_LabelRelIntensity.Get());
  SetCheck(*this, 3079, p->m_LabelPhaseName.Get());
  if (m_colour.GetColor() != p->m_LabelColor.Get().GetValue()) m_colour.SetColor(p->m_LabelColor.Get().GetValue());
  NoteLoaded(3081, m_position.SelectID(static_cast<LXTypes::QLLabelAlignment>(p->m_LabelAlignment.Get())) >= 0);
  SetCheck(*this, 3083, p->m_RotateLabels.Get());
  SetCheck(*this, 3085, p->m_ShowLabelArrowhead.Get());
  SetCheck(*this, 3087, p->m_ShowLabelOutline.Get());
  SetCheck(*this, 3088, p->m_ShowLabelShadow.Get());
  UpdateControls(false);
  m_refreshGuard.Release();
}

bool CLabelsPrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  p->m_ShowLabels.Set(IsChecked(*this, 3070));
  if (MayWrite(3071)) p->m_LabelThreshold.Set(Value<double>(m_threshold));
  p->m_LabelHKL.Set(IsChecked(*this, 3077));
  p->m_LabelDSpacing.Set(IsChecked(*this, 3076));
  p->m_LabelXUnits.Set(IsChecked(*this, 3075));
  p->m_LabelRelIntensity.Set(IsChecked(*this, 3080));
  p->m_LabelPhaseName.Set(IsChecked(*this, 3079));
  p->m_LabelColor.Set(LXGraphics::CColor(m_colour.GetColor()));
  if (MayWrite(3081)) p->m_LabelAlignment.Set(m_position.GetSelectedID());
  p->m_RotateLabels.Set(IsChecked(*this, 3083));
  p->m_ShowLabelArrowhead.Set(IsChecked(*this, 3085));
  p->m_ShowLabelOutline.Set(IsChecked(*this, 3087));
  p->m_ShowLabelShadow.Set(IsChecked(*this, 3088));
  return CPreferencesPane::ApplyChanges();
}
