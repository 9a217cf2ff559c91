// The instrument pane base: the profile shape, η and the peak width that three of the four
// geometries share, and the apply that sends hint 13 for a width alone and 7 for anything else.
#include "InstrumentPane.h"

#include <cmath>
#include <vector>

#include "LXGeometry.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwDoc.h"

namespace {
constexpr UINT kBaseControls[] = {CInstrumentPane::kProfile,   CInstrumentPane::kProfileLabel,
                                  CInstrumentPane::kEtaSlider, CInstrumentPane::kEta,
                                  CInstrumentPane::kEtaSpinner, CInstrumentPane::kEtaLabel};
constexpr UINT kPeakWidthControls[] = {CInstrumentPane::kPeakWidth, CInstrumentPane::kPeakWidthLabel,
                                       CInstrumentPane::kPeakWidthSlider, CInstrumentPane::kPeakWidthSpinner,
                                       CInstrumentPane::kWidthUnit};
// The edit's top stays this fraction below a pole, where the conversion is still finite.
constexpr double kBelowPole = 1e-9;
}  // namespace

BEGIN_MESSAGE_MAP(CInstrumentFieldRelay, CWnd)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &CInstrumentFieldRelay::OnEditUpdate)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateAsync, &CInstrumentFieldRelay::OnEditUpdate)
END_MESSAGE_MAP()

LRESULT CInstrumentFieldRelay::OnEditUpdate(WPARAM, LPARAM) {
  if (m_onChange) m_onChange();
  return 1;
}

BEGIN_MESSAGE_MAP(CInstrumentPane, CDiscloseablePane)
  ON_CBN_SELCHANGE(CInstrumentPane::kProfile, &CInstrumentPane::OnValueChanged)
END_MESSAGE_MAP()

CInstrumentPane::CInstrumentPane(CWnd* parent, UINT templateId)
    : CDiscloseablePane(kHeader, templateId, parent), m_hasPeakWidth(templateId != 5742) {
  LockUpdates();
}

void CInstrumentPane::BindField(CDataExchange* dx, CInstrumentField& f, UINT editId, UINT sliderId, UINT spinnerId) {
  f.editId = editId;
  f.sliderId = sliderId;
  f.spinnerId = spinnerId;
  DDX_Control(dx, static_cast<int>(editId), f.edit);
  DDX_Control(dx, static_cast<int>(sliderId), f.slider);
  DDX_Control(dx, static_cast<int>(spinnerId), f.spinner);
}

void CInstrumentPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kProfile, m_profile);
  BindField(dx, m_eta, kEta, kEtaSlider, kEtaSpinner);
  if (m_hasPeakWidth) {
    DDX_Control(dx, kWidthUnit, m_widthUnit);
    BindField(dx, m_peakWidth, kPeakWidth, kPeakWidthSlider, kPeakWidthSpinner);
  }
}

void CInstrumentPane::SetUpField(CInstrumentField& f, const CInstrumentFieldSetup& setup,
                                 std::function<void()> onChange) {
  CLXEdit<double>& edit = f.edit;
  edit.m_options = 0;
  UINT previous = 0;
  edit.AddDisplayFlag(previous);
  if (setup.format) edit.SetFormat(setup.format);
  edit.SetRange(setup.low, setup.high);
  f.spinner.SetStepCount(setup.spinnerSteps);
  f.spinner.SetBuddy(&edit);
  f.slider.m_steps = setup.sliderSteps;
  f.slider.m_windowWidth = setup.window;
  f.slider.m_relativeWindow = false;
  f.slider.m_exponent = setup.exponent;
  f.slider.m_buddy = &edit;
  f.slider.m_spanLow = setup.sliderLow;
  f.slider.m_spanHigh = setup.sliderHigh;
  f.slider.SetRange(0, setup.sliderSteps, TRUE);
  f.slider.SetTicFreq(setup.tickSpacing);
  edit.AddNotifyTarget(&f.slider);
  f.relay.m_onChange = std::move(onChange);
  f.relay.CreateEx(0, nullptr, L"", WS_CHILD, CRect(0, 0, 0, 0), this, 0);
  edit.AddNotifyTarget(&f.relay);
  f.field.edit = &edit;
  f.slider.SetFromValue(edit.m_value);
}

BOOL CInstrumentPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_profile.Fill(IDComboTables::kProfileTypes, true);
  SetUpField(m_eta, {0.0, 1.0, nullptr, 50, 25, 0.0, 1, 10}, [this] { OnValueChanged(); });
  m_peakWidthChanged = m_otherChanged = false;
  UnlockUpdates();
  return result;
}

CPrefScalar<bool>* CInstrumentPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenInstrument : nullptr;
}

void CInstrumentPane::OnPeakWidthChanged() {
  // A refill under the lock is no edit: flagged, it would turn the next wavelength edit into a
  // width-only hint and the peaks would keep the old wavelength.
  if (IsUpdateLocked()) return;
  m_peakWidthChanged = true;
  OnControlChanged();
}

void CInstrumentPane::OnValueChanged() {
  if (IsUpdateLocked()) return;
  m_otherChanged = true;
  OnControlChanged();
}

void CInstrumentPane::ShowLocked(CInstrumentField& f, double value) {
  LockUpdates();
  f.field.Show(value, true);
  UnlockUpdates();
}

void CInstrumentPane::ShowPeakWidth(CDiffractionSettings& settings) {
  double* stored = StoredWidth(settings);
  if (!stored) return;
  const LXTypes::QLAxisType unit = settings.m_axisType;
  const double pole = settings.GetWidthPole(unit);
  if (pole > 0.0 && std::isfinite(pole)) m_peakWidth.edit.SetRange(0.0, pole * (1.0 - kBelowPole));
  m_peakWidth.field.Show(settings.ConvertWidth(*stored, StoredWidthUnit(), unit), true);
}

bool CInstrumentPane::ApplyPeakWidth(CDiffractionSettings& settings) {
  double* stored = StoredWidth(settings);
  if (!stored || !m_peakWidth.field.Writable()) return false;
  CLXEdit<double>& edit = m_peakWidth.edit;
  const double width = settings.ConvertWidth(edit.m_value, settings.m_axisType, StoredWidthUnit());
  const double pole = settings.GetWidthPole(StoredWidthUnit());
  if (!(std::isfinite(width) && width >= 0.0 && (pole <= 0.0 || width < pole))) {
    CLXXFloatRange error(kLXSeverityMessage, 0, __LINE__, edit.FormatValue(edit.m_min), edit.FormatValue(edit.m_max));
    error.SetOwnerWindow(edit.m_hWnd);
    error.Report();
    return false;
  }
  *stored = width;
  return true;
}

void CInstrumentPane::ShowWidthUnit(const CDiffractionSettings& settings) {
  if (!m_widthUnit.m_hWnd) return;
  UINT id = 0;
  switch (settings.m_axisType) {
    case LXTypes::kAxis2Theta: id = 1107; break;
    case LXTypes::kAxisDSpacing: id = 1105; break;
    case LXTypes::kAxisInverseD:
    case LXTypes::kAxisTwoPiOverD: id = 1115; break;
    case LXTypes::kAxisEnergy: id = 1109; break;
    default: break;
  }
  CString text;
  if (id) text.LoadString(id);
  CString shown;
  m_widthUnit.GetWindowText(shown);
  if (shown != text) m_widthUnit.SetWindowText(text);
}

bool CInstrumentPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  const bool widthEdited = m_peakWidthChanged, otherEdited = m_otherChanged;
  m_peakWidthChanged = m_otherChanged = false;
  bool widthWritten = false;
  if (settings) {
    ApplyFields(*settings);
    if (m_hasPeakWidth && widthEdited) widthWritten = ApplyPeakWidth(*settings);
    if (m_profile.GetCurSel() >= 0) settings->m_profileType = m_profile.GetSelectedID();
    settings->m_eta = m_eta.field.ValueOr(settings->m_eta);
    // A new wavelength or angle changes how the stored width reads in the axis unit; a refused
    // width shows the stored one again.
    if (m_hasPeakWidth) {
      LockUpdates();
      ShowPeakWidth(*settings);
      UnlockUpdates();
    }
  }
  if (widthEdited && !widthWritten && !otherEdited) {
    CDiscloseablePane::ApplyChanges();
    return false;
  }
  return ApplyFinished(widthEdited && !otherEdited ? kHintPeakWidth : kHintInstrument);
}

void CInstrumentPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (fromModel && settings) {
    // Filling the fields makes them announce: none of that is an edit.
    LockUpdates();
    ShowFields(*settings);
    if (m_hasPeakWidth) {
      ShowPeakWidth(*settings);
      ShowWidthUnit(*settings);
    }
    m_profile.SelectID(settings->m_profileType);
    m_eta.field.Show(settings->m_eta, true);
    UnlockUpdates();
  }
  std::vector<UINT> ids;
  for (const UINT* id = OwnControls(); *id; ++id) ids.push_back(*id);
  ids.insert(ids.end(), {kProfile, kProfileLabel});
  if (m_hasPeakWidth) ids.insert(ids.end(), {kPeakWidth, kPeakWidthLabel, kWidthUnit});
  ids.push_back(0);
  EnableControls(ids.data(), true);
  const bool pseudoVoigt = m_profile.GetCurSel() >= 0 && m_profile.GetSelectedID() == LXTypes::kProfilePseudoVoigt;
  const UINT eta[] = {kEta, kEtaLabel, 0};
  EnableControls(eta, pseudoVoigt);
}

void CInstrumentPane::ShowPaneControls(bool show) {
  std::vector<UINT> ids(std::begin(kBaseControls), std::end(kBaseControls));
  if (m_hasPeakWidth) ids.insert(ids.end(), std::begin(kPeakWidthControls), std::end(kPeakWidthControls));
  for (const UINT* id = OwnControls(); *id; ++id) ids.push_back(*id);
  ids.push_back(0);
  ShowControls(ids.data(), show);
}
