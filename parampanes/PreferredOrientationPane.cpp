// The preferred orientation pane: March–Dollase correction settings of the selected crystals.
#include "PreferredOrientationPane.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "ParameterPaneTools.h"
#include "SliderRowList.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"

namespace {
constexpr UINT kLabelIds[] = {CPreferredOrientationPane::kLabel1, CPreferredOrientationPane::kLabel2,
                              CPreferredOrientationPane::kLabel3};
constexpr UINT kComponentIds[] = {CPreferredOrientationPane::kComponent1, CPreferredOrientationPane::kComponent2,
                                  CPreferredOrientationPane::kComponent3};
// Combo items in this order; the index, not the text, is the geometry.
constexpr int kPlatesIndex = 0;

int Truncated(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::trunc(std::clamp(value, double(INT_MIN), double(INT_MAX))));
}
}  // namespace

BEGIN_MESSAGE_MAP(CPreferredOrientationPane, CDiscloseablePane)
  ON_BN_CLICKED(CPreferredOrientationPane::kCorrect, &CPreferredOrientationPane::OnControlChanged)
  ON_CBN_SELCHANGE(CPreferredOrientationPane::kGeometry, &CPreferredOrientationPane::OnControlChanged)
  ON_COMMAND(CPreferredOrientationPane::kPlaneNormal, &CPreferredOrientationPane::OnPlaneNormal)
  ON_COMMAND(CPreferredOrientationPane::kLatticeVector, &CPreferredOrientationPane::OnLatticeVector)
END_MESSAGE_MAP()

void CPreferredOrientationPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kCorrect, m_correct);
  DDX_Control(dx, kGeometry, m_geometry);
  for (int i = 0; i < 3; ++i) {
    DDX_Control(dx, static_cast<int>(kLabelIds[i]), m_labels[i]);
    DDX_Control(dx, static_cast<int>(kComponentIds[i]), m_components[i]);
  }
  DDX_Control(dx, kVectorButton, m_vectorButton);
  DDX_Control(dx, kAlignmentSlider, m_alignmentSlider);
  DDX_Control(dx, kAlignment, m_alignment);
  DDX_Control(dx, kAlignmentSpinner, m_alignmentSpinner);
}

BOOL CPreferredOrientationPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_geometry.AddString(L"Plates");
  m_geometry.AddString(L"Needles");
  m_geometry.SetCurSel(kPlatesIndex);
  SetUpField(m_alignmentField, m_alignment, &m_alignmentSpinner, 0.0, 1.0, 100, L"%.4f");
  LinkSlider(m_alignmentSlider, m_alignment, 100);
  m_alignment.SetValue(0.9, true);
  const int start[] = {0, 0, 1};
  for (int i = 0; i < 3; ++i) {
    SetUpField(m_componentFields[i], m_components[i], static_cast<CLXSpinner<int>*>(nullptr), INT_MIN, INT_MAX, 0, L"%0d");
    m_components[i].SetValue(start[i], true);
  }
  FixControlSize(m_vectorButton.m_hWnd, 22, 22);
  m_vectorButton.SetPopupMenu(kVectorMenu, this);
  m_vectorButton.SetMenuKind(CAlphaButton::kMenuOnPress);
  ShowVectorType();
  UnlockUpdates();
  RefreshControls();
  m_alignment.SetFocus();
  return result;
}

CPrefScalar<bool>* CPreferredOrientationPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenPreferredOrientation : nullptr;
}

void CPreferredOrientationPane::ShowVectorType() {
  if (CMenu* menu = m_vectorButton.GetPopupMenu(); menu && menu->GetSubMenu(0)) {
    CMenu* popup = menu->GetSubMenu(0);
    popup->CheckMenuItem(kPlaneNormal, MF_BYCOMMAND | (m_vectorType == 2 ? MF_UNCHECKED : MF_CHECKED));
    popup->CheckMenuItem(kLatticeVector, MF_BYCOMMAND | (m_vectorType == 2 ? MF_CHECKED : MF_UNCHECKED));
  }
  const wchar_t* const direct[] = {L"U", L"V", L"W"};
  const wchar_t* const plane[] = {L"h", L"k", L"l"};
  for (int i = 0; i < 3; ++i)
    if (m_labels[i].m_hWnd) m_labels[i].SetWindowText(m_vectorType == 2 ? direct[i] : plane[i]);
}

void CPreferredOrientationPane::ChooseVectorType(std::int32_t type) {
  m_vectorType = type;
  ShowVectorType();
  if (IsUpdateLocked()) return;
  SetModified(true, false);
  ApplyChanges();
  UpdateControls(false);
}

bool CPreferredOrientationPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc && doc->GetSettings()) {
    const bool correct = IsChecked(m_correct);
    const int geometry = m_geometry.GetCurSel();
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(doc->GetPatterns(), true, true, true)) {
      CQLCrystal* crystal = p->GetCrystal();
      if (!crystal) continue;
      crystal->m_usePreferredOrientation = correct ? 1 : 0;
      if (!correct) continue;
      for (int i = 0; i < 3; ++i)
        crystal->m_poVector[size_t(i)] = m_componentFields[i].ValueOr(Truncated(crystal->m_poVector[size_t(i)]));
      crystal->m_poAlignment = m_alignmentField.ValueOr(crystal->m_poAlignment);
      if (geometry >= 0)
        crystal->m_poGeometry = geometry == kPlatesIndex ? CQLCrystal::kPOPlates : CQLCrystal::kPONeedles;
      crystal->m_poVectorType = m_vectorType == 2 ? CQLCrystal::kDirectVector : CQLCrystal::kReciprocalVector;
    }
    ShowVectorType();
    doc->RecomputeAllPatterns(false, false, true);
  }
  return ApplyFinished(kHint);
}

void CPreferredOrientationPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLCrystalPattern* selected = doc ? doc->GetSelectedCrystalPattern() : nullptr;
  static const CQLCrystalPattern defaults;
  const CQLCrystal& crystal = *(selected ? *selected : defaults).GetCrystal();
  if (fromModel) {
    ShowCheck(m_correct, crystal.m_usePreferredOrientation != 0);
    m_alignmentField.Show(crystal.m_poAlignment, true);
    m_alignmentSlider.SetFromValue(m_alignment.m_value);
    for (int i = 0; i < 3; ++i) m_componentFields[i].Show(Truncated(crystal.m_poVector[size_t(i)]), true);
    m_geometry.SetCurSel(crystal.m_poGeometry == CQLCrystal::kPONeedles ? 1 : kPlatesIndex);
    m_vectorType = crystal.m_poVectorType == CQLCrystal::kDirectVector ? 2 : 1;
    ShowVectorType();
  }
  const bool enabled = selected && !doc->GetSelectedObservedPattern() && !doc->GetSelectedMixturePattern();
  m_correct.EnableWindow(enabled);
  static const UINT dependent[] = {kAlignment, kGeometry, kComponent1, kComponent2, kComponent3, kVectorButton, 0};
  EnableControls(dependent, enabled && IsChecked(m_correct));
}

void CPreferredOrientationPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kCorrect,   kGeometryLabel, kGeometry,  kOrientationLabel, kLabel1,
                             kComponent1, kLabel2,       kComponent2, kLabel3,          kComponent3,
                             kVectorButton, kAlignmentSlider, kAlignmentLabel, kAlignment, kAlignmentSpinner, 0};
  ShowControls(ids, show);
}
