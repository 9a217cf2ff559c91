// The small modal dialogs of the document's commands.
#include "SmallDialogs.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "DiffractionSettings.h"
#include "LXMessage.h"
#include "Gdi.h"

namespace {
void SetAppIcon(CDialog* dialog) {
  if (auto big = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON, 0, 0, 0))) {
    auto small = static_cast<HICON>(LoadImageW(qlw::ProgramModule(), MAKEINTRESOURCEW(1000), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    dialog->SetIcon(big, TRUE);
    dialog->SetIcon(small ? small : big, FALSE);
  }
}

void FocusAll(CDialog* dialog, CEdit& edit) {
  dialog->GotoDlgCtrl(&edit);
  edit.SetSel(0, -1);
}

// The range, its bounds in order, with the edit's value moved inside it first.
template <class T>
void SetEditRange(CLXEdit<T>& edit, T low, T high) {
  if (high < low) std::swap(low, high);
  edit.SetRange(low, high);
}

// Reads what is typed; false when the edit refused it (it has said why).
bool Accept(std::initializer_list<CWnd*> edits) {
  for (CWnd* w : edits) {
    if (auto* d = dynamic_cast<CLXEdit<double>*>(w); d && !d->Validate(true)) return false;
    if (auto* i = dynamic_cast<CLXEdit<int>*>(w); i && !i->Validate(true)) return false;
  }
  return true;
}
}  // namespace

// ----- Go to Peak -----

double CFindPeak::s_LastHKL[3] = {1.0, 1.0, 1.0};

CFindPeak::CFindPeak(CWnd* parent) : CToolTipDialog(kTemplateId, parent) {}

void CFindPeak::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 2004, m_h);
  DDX_Control(dx, 2005, m_k);
  DDX_Control(dx, 2006, m_l);
}

BOOL CFindPeak::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  CLXEdit<int>* edits[] = {&m_h, &m_k, &m_l};
  for (int i = 0; i < 3; ++i) {
    SetEditRange(*edits[i], -100, 100);
    edits[i]->SetFormat(L"%d");
    // A remembered value outside the range is not shown.
    const double v = s_LastHKL[i];
    if (std::isfinite(v) && std::fabs(v) < 1e9) edits[i]->SetValue(static_cast<int>(v), true);
  }
  SetAppIcon(this);
  FocusAll(this, m_h);
  return FALSE;
}

void CFindPeak::OnOK() {
  if (!Accept({&m_h, &m_k, &m_l})) return;
  if (m_h.m_value == 0 && m_k.m_value == 0 && m_l.m_value == 0) {
    CLXXFindPeakZeroIndices(kLXSeverityMessage, 0, __LINE__).Report();
    return;
  }
  s_LastHKL[0] = m_h.m_value;
  s_LastHKL[1] = m_k.m_value;
  s_LastHKL[2] = m_l.m_value;
  CToolTipDialog::OnOK();
}

// ----- instrumental broadening -----

CPeakWidth::CPeakWidth(CWnd* parent, const CDiffractionSettings* settings, double width)
    : CToolTipDialog(kTemplateId, parent), m_width(width), m_settings(settings) {}

void CPeakWidth::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 2601, m_edit);
  DDX_Control(dx, 2600, m_spinner);
  DDX_Control(dx, 2604, m_units);
}

namespace {
// The unit in which the settings keep the width of their instrument.
LXTypes::QLAxisType StoredWidthUnit(const CDiffractionSettings* s) {
  if (!s) return LXTypes::kAxis2Theta;
  if (s->m_simulationType == LXTypes::kSimElectrons) return LXTypes::kAxisInverseD;
  if (s->m_simulationType == LXTypes::kSimEnergyDispersive) return LXTypes::kAxisEnergy;
  return LXTypes::kAxis2Theta;
}

// The range of the stored width, in its stored unit: electron widths are 0.001 to 1 Å⁻¹.
struct WidthRange {
  double low, high;
};
WidthRange StoredWidthRange(const CDiffractionSettings* s) {
  if (s && s->m_simulationType == LXTypes::kSimElectrons) return {0.001, 1.0};
  return {0.0, 1000.0};
}

// The top of a width's range stays this fraction below the conversion's pole, where a width in
// another unit would turn negative or infinite.
constexpr double kBelowPole = 1e-9;
// A width typed at a bound shown in another unit comes back from the conversion this close to it.
constexpr double kRoundTrip = 1e-9;
}  // namespace

BOOL CPeakWidth::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  const bool electron = m_settings && m_settings->m_simulationType == LXTypes::kSimElectrons;
  const WidthRange stored = StoredWidthRange(m_settings);
  double low = stored.low, high = stored.high;
  const LXTypes::QLAxisType shownUnit = m_settings ? m_settings->m_axisType : LXTypes::kAxis2Theta;
  if (m_settings && shownUnit != StoredWidthUnit(m_settings)) {
    // The range's numbers are the stored unit's: shown in the plot's unit, as far as the conversion
    // reaches (past its pole only the pole bounds the width).
    const double shownLow = m_settings->ConvertWidth(stored.low, StoredWidthUnit(m_settings), shownUnit);
    const double shownHigh = m_settings->ConvertWidth(stored.high, StoredWidthUnit(m_settings), shownUnit);
    low = std::isfinite(shownLow) && shownLow > 0.0 ? shownLow : 0.0;
    high = std::isfinite(shownHigh) && shownHigh > low ? shownHigh : DBL_MAX;
  }
  if (m_settings) {
    const double pole = m_settings->GetWidthPole(shownUnit);
    if (pole > 0.0 && std::isfinite(pole)) high = std::min(high, pole * (1.0 - kBelowPole));
  }
  m_spinner.SetBuddy(&m_edit);
  m_edit.SetFormat(electron ? L"%.4f" : L"%.3f");
  // A stored width outside the range must still be shown as it is, so that OK without an edit
  // keeps it.
  const double shown = m_width;
  if (std::isfinite(shown)) {
    low = std::min(low, shown);
    high = std::max(high, shown);
  }
  SetEditRange(m_edit, low, high);
  if (std::isfinite(shown)) m_edit.SetValue(shown, true);
  const double steps = std::round((high - low) / 0.1);
  if (steps > 0 && steps < INT_MAX) m_spinner.SetStepCount(static_cast<int>(steps));
  UINT unit = 0;
  switch (shownUnit) {
    case LXTypes::kAxis2Theta: unit = 2102; break;
    case LXTypes::kAxisDSpacing: unit = 1105; break;
    case LXTypes::kAxisInverseD:
    case LXTypes::kAxisTwoPiOverD: unit = 1115; break;
    case LXTypes::kAxisTimeOfFlight: unit = 1111; break;
    case LXTypes::kAxisEnergy: unit = 1109; break;
    default: break;
  }
  CString text;
  if (unit && text.LoadString(unit)) m_units.SetWindowText(text);
  m_edit.GetWindowText(m_shownText);
  SetAppIcon(this);
  FocusAll(this, m_edit);
  return FALSE;
}

void CPeakWidth::OnOK() {
  // The text shows the width rounded; unedited, the width stays exactly what it was.
  CString text;
  m_edit.GetWindowText(text);
  if (text == m_shownText) return CToolTipDialog::OnOK();
  if (!Accept({&m_edit})) return;
  if (m_settings) {
    // In the stored unit the width must lie below that unit's pole too (2/3 Å⁻¹ for electrons).
    const LXTypes::QLAxisType storedUnit = StoredWidthUnit(m_settings);
    const double stored = m_settings->ConvertWidth(m_edit.m_value, m_settings->m_axisType, storedUnit);
    const double pole = m_settings->GetWidthPole(storedUnit);
    const WidthRange range = StoredWidthRange(m_settings);
    const bool inRange = stored >= range.low * (1.0 - kRoundTrip) && stored <= range.high * (1.0 + kRoundTrip);
    if (!(std::isfinite(stored) && stored >= 0.0 && inRange && (pole <= 0.0 || stored < pole))) {
      CLXXFloatRange error(kLXSeverityMessage, 0, __LINE__, m_edit.FormatValue(m_edit.m_min),
                           m_edit.FormatValue(m_edit.m_max));
      error.SetOwnerWindow(m_edit.m_hWnd);
      error.Report();
      return;
    }
  }
  m_width = m_edit.m_value;
  CToolTipDialog::OnOK();
}

// ----- plot limits and title -----

CPlotLimits::CPlotLimits(CWnd* parent, CDiffractionSettings* settings)
    : CToolTipDialog(kTemplateId, parent), m_settings(settings) {}

void CPlotLimits::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 2704, m_min);
  DDX_Control(dx, 2706, m_minSpinner);
  DDX_Control(dx, 2701, m_max);
  DDX_Control(dx, 2703, m_maxSpinner);
}

BOOL CPlotLimits::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  if (!m_settings) return TRUE;
  struct Pair {
    CLXEdit<double>* edit;
    CLXSpinner<double>* spinner;
    double value;
  } pairs[] = {{&m_min, &m_minSpinner, m_settings->m_visibleXMin}, {&m_max, &m_maxSpinner, m_settings->m_visibleXMax}};
  for (Pair& p : pairs) {
    p.spinner->SetBuddy(p.edit);
    p.spinner->SetStepCount(100);
    p.edit->SetFormat(L"%.3f");
    SetEditRange(*p.edit, m_settings->m_defaultXMin, m_settings->m_defaultXMax);
    p.edit->SetValue(p.value, true);
  }
  SetAppIcon(this);
  FocusAll(this, m_min);
  return FALSE;
}

void CPlotLimits::OnOK() {
  if (!Accept({&m_min, &m_max})) return;
  if (!m_settings) return CToolTipDialog::OnCancel();
  if (!(m_min.m_value < m_max.m_value)) {
    m_min.SetValue(m_settings->m_visibleXMin, true);
    m_max.SetValue(m_settings->m_visibleXMax, true);
    CLXXPlotLimitsBadRange(kLXSeverityMessage, 0, __LINE__).Report();
    return;
  }
  m_settings->m_visibleXMin = m_min.m_value;
  m_settings->m_visibleXMax = m_max.m_value;
  CToolTipDialog::OnOK();
}

BEGIN_MESSAGE_MAP(CPlotTitle, CToolTipDialog)
  ON_CONTROL(EN_UPDATE, 2801, &CPlotTitle::OnTitleChanged)
  ON_EN_CHANGE(2801, &CPlotTitle::OnTitleChanged)
END_MESSAGE_MAP()

CPlotTitle::CPlotTitle(CWnd* parent, CDiffractionSettings* settings)
    : CToolTipDialog(kTemplateId, parent), m_settings(settings) {}

void CPlotTitle::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 2801, m_edit);
}

BOOL CPlotTitle::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  if (m_settings) m_edit.SetWindowText(m_settings->m_fourthText);
  FocusAll(this, m_edit);
  OnTitleChanged();
  SetAppIcon(this);
  return FALSE;
}

void CPlotTitle::OnTitleChanged() {
  if (CWnd* ok = GetDlgItem(IDOK)) ok->EnableWindow(m_edit.GetWindowTextLength() > 0);
}

void CPlotTitle::OnOK() {
  // Return reaches here even while OK is disabled.
  if (m_edit.GetWindowTextLength() == 0) return;
  CString text;
  m_edit.GetWindowText(text);
  if (m_settings) m_settings->m_fourthText = text;
  CToolTipDialog::OnOK();
}

// ----- wavelength -----

const CWavelength::Preset CWavelength::kPresets[5] = {
    {3904, 1.78890f, 1.79279f}, {3905, 2.28962f, 2.29352f}, {3906, 1.54060f, 1.54434f},
    {3907, 1.93597f, 1.93991f}, {3910, 0.70926f, 0.71354f},
};

BEGIN_MESSAGE_MAP(CWavelength, CToolTipDialog)
  ON_COMMAND_RANGE(3904, 3910, &CWavelength::OnElement)
  ON_BN_CLICKED(3911, &CWavelength::OnMonochromatic)
  ON_BN_CLICKED(1150, &CWavelength::OnHelp)
  ON_COMMAND(ID_HELP, &CWavelength::OnHelp)
  ON_MESSAGE(WM_HELP, &CWavelength::OnHelpRequest)
END_MESSAGE_MAP()

CWavelength::CWavelength(CWnd* parent, CDiffractionSettings* settings)
    : CToolTipDialog(kTemplateId, parent), m_settings(settings) {}

void CWavelength::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, 3900, m_alpha1);
  DDX_Control(dx, 3902, m_alpha2);
  DDX_Control(dx, 3912, m_ratio);
  DDX_Control(dx, 3911, m_monochromatic);
}

BOOL CWavelength::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  // One range for λ wherever it is typed: 0.0001 to 100000 Å.
  const double lowest = 0.0001;
  for (CLXEdit<double>* e : {&m_alpha1, &m_alpha2}) {
    e->SetFormat(L"%.5f");
    SetEditRange(*e, lowest, 100000.0);
  }
  m_ratio.SetFormat(L"%.5f");
  SetEditRange(m_ratio, 0.0, DBL_MAX);
  if (m_settings) {
    m_alpha1.SetValue(m_settings->m_lambda, true);
    m_alpha2.SetValue(m_settings->m_lambda2, true);
    m_ratio.SetValue(m_settings->m_lambdaRatio, true);
    m_monochromatic.SetCheck(m_settings->m_monochromatic ? BST_CHECKED : BST_UNCHECKED);
  }
  const std::pair<int, UINT> labels[] = {{3909, 4100}, {3901, 4101}, {3903, 4102}};
  for (const auto& [control, string] : labels) {
    CString text;
    if (text.LoadString(string)) SetDlgItemText(control, text);
  }
  SetAppIcon(this);
  OnMonochromatic();
  FocusAll(this, m_alpha1);
  return FALSE;
}

void CWavelength::OnMonochromatic() {
  const int show = m_monochromatic.GetCheck() == BST_CHECKED ? SW_HIDE : SW_SHOW;
  for (int id : {3901, 3902, 3903, 3915, 3912, 3913})
    if (CWnd* w = GetDlgItem(id)) w->ShowWindow(show);
}

void CWavelength::OnElement(UINT id) {
  for (const Preset& p : kPresets) {
    if (p.id != id) continue;
    m_alpha1.SetValue(p.alpha1, true);
    m_alpha2.SetValue(p.alpha2, true);
    return;
  }
}

void CWavelength::OnHelp() { CLXMsgMenuCmd(nullptr, kHelpCommand).Send(CLXMessage::kModeAsync); }

LRESULT CWavelength::OnHelpRequest(WPARAM, LPARAM) {
  SendMessage(WM_COMMAND, ID_HELP, 0);
  return TRUE;
}

void CWavelength::OnOK() {
  if (!Accept({&m_alpha1, &m_alpha2, &m_ratio})) return;
  if (m_settings) {
    m_settings->m_monochromatic = m_monochromatic.GetCheck() == BST_CHECKED ? 1 : 0;
    m_settings->m_lambda = m_alpha1.m_value;
    m_settings->m_lambda2 = m_alpha2.m_value;
    m_settings->m_lambdaRatio = m_ratio.m_value;
  }
  CToolTipDialog::OnOK();
}
