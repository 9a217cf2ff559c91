// The Sample page: particle size and strain, displacement parameters, and the preferred
// orientation correction with its geometry, vector and alignment.
#include "PrefsPages.h"

#include <cmath>

#include "ValueRanges.h"

using PrefsControls::IsChecked;
using PrefsControls::SetCheck;
using PrefsControls::Value;

namespace {
constexpr const wchar_t* kLatticeVector = L"Lattice Vector: [UVW]";
constexpr const wchar_t* kPlaneNormal = L"Plane Normal: N(hkl)";
constexpr const wchar_t* kPlates = L"Plates";
constexpr const wchar_t* kNeedles = L"Needles";
// Particle size is shown in µm and stored in Å; strain shown in percent, stored as a fraction.
constexpr double kAngstromsPerMicron = 10000.0;
constexpr double kPercent = 100.0;
// Indices of either sign, so that directions such as [1 -1 0] can be given.
constexpr int kMaxIndex = 100;
}  // namespace

BEGIN_MESSAGE_MAP(CSamplePrefsPane, CPreferencesPane)
  ON_EN_CHANGE(3050, &CSamplePrefsPane::MarkModified)
  ON_EN_CHANGE(3052, &CSamplePrefsPane::MarkModified)
  ON_EN_CHANGE(3059, &CSamplePrefsPane::MarkModified)
  ON_EN_CHANGE(3060, &CSamplePrefsPane::MarkModified)
  ON_EN_CHANGE(3061, &CSamplePrefsPane::MarkModified)
  ON_EN_CHANGE(3063, &CSamplePrefsPane::MarkModified)
  ON_BN_CLICKED(3055, &CSamplePrefsPane::MarkModified)
  ON_BN_CLICKED(3057, &CSamplePrefsPane::MarkModified)
  ON_CBN_SELCHANGE(3058, &CSamplePrefsPane::MarkModified)
  ON_CBN_SELCHANGE(3062, &CSamplePrefsPane::OnVectorTypeChanged)
END_MESSAGE_MAP()

CSamplePrefsPane::CSamplePrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

void CSamplePrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 3050, m_size);
  DDX_Control(dx, 3052, m_strain);
  DDX_Control(dx, 3057, m_usePO);
  DDX_Control(dx, 3058, m_geometry);
  DDX_Control(dx, 3059, m_h);
  DDX_Control(dx, 3060, m_k);
  DDX_Control(dx, 3061, m_l);
  DDX_Control(dx, 3062, m_vectorKind);
  DDX_Control(dx, 3063, m_alignment);
  DDX_Control(dx, 3055, m_thermal);
}

BOOL CSamplePrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  m_size.SetRange(QLRanges::kMinParticleSize, QLRanges::kMaxParticleSize);
  m_size.SetFormat(L"%.4f");
  m_strain.SetRange(QLRanges::kMinStrain, QLRanges::kMaxStrain);
  m_strain.SetFormat(L"%.2f");
  SetHeaderFont({3051, 3054, 3056});
  m_alignment.SetRange(0.0, 1.0);
  m_alignment.SetFormat(L"%.4f");
  for (CLXEdit<int>* index : {&m_h, &m_k, &m_l}) {
    index->SetRange(-kMaxIndex, kMaxIndex);
    index->SetFormat(L"%0d");
  }
  m_geometry.AddString(kPlates);
  m_geometry.AddString(kNeedles);
  m_vectorKind.AddString(kLatticeVector);
  m_vectorKind.AddString(kPlaneNormal);
  return FinishInit(m_size);
}

int CSamplePrefsPane::IndexOfText(CComboBox& combo, const wchar_t* text) {
  return static_cast<int>(combo.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
}

void CSamplePrefsPane::ShowVectorCaptions(bool latticeVector) {
  SetDlgItemText(3064, latticeVector ? L"U" : L"h");
  SetDlgItemText(3065, latticeVector ? L"V" : L"k");
  SetDlgItemText(3066, latticeVector ? L"W" : L"l");
}

void CSamplePrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  NoteLoaded(3050, m_size.SetValue(p->m_ParticleSize.Get() / kAngstromsPerMicron, false));
  NoteLoaded(3052, m_strain.SetValue(p->m_IsotropicStrain.Get() * kPercent, false));
  SetCheck(*this, 3055, p->m_UseThermalEllipsoids.Get());
  SetCheck(*this, 3057, p->m_UsePreferredOrientation.Get());
  const LXTypes::CVectorT<double> v = p->m_PreferredOrientationVector.Get();
  const double components[] = {v.x, v.y, v.z};
  CLXEdit<int>* indices[] = {&m_h, &m_k, &m_l};
  for (int i = 0; i < 3; ++i) {
    const double c = std::trunc(components[i]);
    const bool fits = std::isfinite(c) && std::fabs(c) <= kMaxIndex;
    NoteLoaded(indices[i]->GetDlgCtrlID(), fits && indices[i]->SetValue(static_cast<int>(c), false));
  }
  const bool lattice = p->m_PreferredOrientationVectorType.Get() == CQLCrystal::kDirectVector;
  ShowVectorCaptions(lattice);
  m_vectorKind.SetCurSel(IndexOfText(m_vectorKind, lattice ? kLatticeVector : kPlaneNormal));
  const bool needles = p->m_PreferredOrientationGeometry.Get() == CQLCrystal::kPONeedles;
  m_geometry.SetCurSel(IndexOfText(m_geometry, needles ? kNeedles : kPlates));
  NoteLoaded(3063, m_alignment.SetValue(p->m_PreferredOrientationAlignment.Get(), false));
  UpdateControls(false);
  m_refreshGuard.Release();
}

void CSamplePrefsPane::OnVectorTypeChanged() {
  ShowVectorCaptions(m_vectorKind.GetCurSel() == IndexOfText(m_vectorKind, kLatticeVector));
  MarkModified();
}

bool CSamplePrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  if (MayWrite(3050)) p->m_ParticleSize.Set(Value<double>(m_size) * kAngstromsPerMicron);
  if (MayWrite(3052)) p->m_IsotropicStrain.Set(Value<double>(m_strain) / kPercent);
  p->m_UseThermalEllipsoids.Set(IsChecked(*this, 3055));
  p->m_UsePreferredOrientation.Set(::SendMessageW(::GetDlgItem(m_hWnd, 3057), BM_GETCHECK, 0, 0) == BST_CHECKED);
  p->m_PreferredOrientationVectorType.Set(m_vectorKind.GetCurSel() == IndexOfText(m_vectorKind, kLatticeVector)
                                              ? CQLCrystal::kDirectVector
                                              : CQLCrystal::kReciprocalVector);
  // The vector is one value: written whole, its unshown components keep what is stored.
  LXTypes::CVectorT<double> v = p->m_PreferredOrientationVector.Get();
  if (MayWrite(3059)) v.x = Value<int>(m_h);
  if (MayWrite(3060)) v.y = Value<int>(m_k);
  if (MayWrite(3061)) v.z = Value<int>(m_l);
  p->m_PreferredOrientationVector.Set(v);
  p->m_PreferredOrientationGeometry.Set(m_geometry.GetCurSel() == IndexOfText(m_geometry, kPlates) ? CQLCrystal::kPOPlates
                                                                                                   : CQLCrystal::kPONeedles);
  if (MayWrite(3063)) p->m_PreferredOrientationAlignment.Set(Value<double>(m_alignment));
  return CPreferencesPane::ApplyChanges();
}
