// The film pane: film type and gamma of the document's settings.
#include "FilmPane.h"

#include "DiffractionSettings.h"
#include "Preferences.h"
#include "QlwDoc.h"

BEGIN_MESSAGE_MAP(CFilmPane, CDiscloseablePane)
  ON_CBN_SELCHANGE(CFilmPane::kType, &CFilmPane::OnControlChanged)
END_MESSAGE_MAP()

void CFilmPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kType, m_type);
  DDX_Control(dx, kSlider, m_slider);
  DDX_Control(dx, kGamma, m_gamma);
  DDX_Control(dx, kSpinner, m_spinner);
}

BOOL CFilmPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_type.Fill(IDComboTables::kFilmTypes, false);
  SetUpField(m_gammaField, m_gamma, &m_spinner, kMinGamma, kMaxGamma, 10, L"%0#.1f");
  m_slider.m_steps = 100;
  m_slider.SetRange(0, 100, TRUE);
  for (int tic : {0, 5, 10}) m_slider.SetTic(tic);
  m_slider.m_buddy = &m_gamma;
  m_gamma.AddNotifyTarget(&m_slider);
  m_slider.SetFromValue(m_gamma.m_value);
  UnlockUpdates();
  RefreshControls();
  m_type.SetFocus();
  return result;
}

CPrefScalar<bool>* CFilmPane::OpenPreference() { return g_pPreferences ? &g_pPreferences->m_ParamOpenFilm : nullptr; }

bool CFilmPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr) {
    // A combo with no selection leaves the stored type alone.
    if (m_type.GetCurSel() >= 0) settings->m_filmType = m_type.GetSelectedID();
    settings->m_filmGamma = m_gammaField.ValueOr(settings->m_filmGamma);
  }
  return ApplyFinished(kHint);
}

void CFilmPane::UpdateControls(bool fromModel) {
  if (!fromModel) return;
  CQlwDoc* doc = GetDocument();
  const CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return;
  m_type.SelectID(settings->m_filmType);
  m_gammaField.Show(settings->m_filmGamma, true);
  m_slider.SetFromValue(m_gamma.m_value);
}

void CFilmPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kTypeLabel, kType, kGammaLabel, kGamma, kSlider, kSpinner, 0};
  ShowControls(ids, show);
}
