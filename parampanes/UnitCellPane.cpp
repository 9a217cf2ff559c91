// The unit cell pane: the cell of the one selected crystal, applied on Enter or focus loss.
#include "UnitCellPane.h"

#include <cmath>
#include <numbers>

#include "LXMessage.h"
#include "ParameterPaneTools.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"
#include "ValueRanges.h"

namespace {
constexpr UINT kRestoreFields = WM_APP + 0x2460;
constexpr UINT kEditIds[] = {CUnitCellPane::kA, CUnitCellPane::kB, CUnitCellPane::kC, CUnitCellPane::kAlpha,
                             CUnitCellPane::kBeta, CUnitCellPane::kGamma, CUnitCellPane::kVolume};
constexpr UINT kSliderIds[] = {CUnitCellPane::kASlider, CUnitCellPane::kBSlider, CUnitCellPane::kCSlider,
                               CUnitCellPane::kAlphaSlider, CUnitCellPane::kBetaSlider, CUnitCellPane::kGammaSlider,
                               CUnitCellPane::kVolumeSlider};
constexpr UINT kSpinnerIds[] = {CUnitCellPane::kASpinner, CUnitCellPane::kBSpinner, CUnitCellPane::kCSpinner,
                                CUnitCellPane::kAlphaSpinner, CUnitCellPane::kBetaSpinner,
                                CUnitCellPane::kGammaSpinner, CUnitCellPane::kVolumeSpinner};
// Below this the three angles close no cell (the metric has no positive determinant).
constexpr double kMinVolumeFactor = 1e-12;

double VolumeFactor(double alpha, double beta, double gamma) {
  constexpr double k = std::numbers::pi / 180.0;
  const double ca = std::cos(alpha * k), cb = std::cos(beta * k), cg = std::cos(gamma * k);
  return 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
}

double& Field(CQLCrystal& c, int i) {
  switch (i) {
    case 0: return c.m_a;
    case 1: return c.m_b;
    case 2: return c.m_c;
    case 3: return c.m_alpha;
    case 4: return c.m_beta;
    case 5: return c.m_gamma;
    default: return c.m_volume;
  }
}

double Value(const CQLCrystal& c, int i) { return Field(const_cast<CQLCrystal&>(c), i); }
}  // namespace

BEGIN_MESSAGE_MAP(CUnitCellEditRelay, CWnd)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &CUnitCellEditRelay::OnEditUpdate)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateAsync, &CUnitCellEditRelay::OnEditUpdate)
END_MESSAGE_MAP()

LRESULT CUnitCellEditRelay::OnEditUpdate(WPARAM, LPARAM) {
  if (m_pane) m_pane->OnCellEdit(m_code);
  return 1;
}

BEGIN_MESSAGE_MAP(CUnitCellPane, CDiscloseablePane)
  ON_MESSAGE(kRestoreFields, &CUnitCellPane::OnRestoreFields)
END_MESSAGE_MAP()

void CUnitCellPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  for (int i = 0; i < kCount; ++i) {
    DDX_Control(dx, static_cast<int>(kEditIds[i]), m_edits[i]);
    DDX_Control(dx, static_cast<int>(kSliderIds[i]), m_sliders[i]);
    DDX_Control(dx, static_cast<int>(kSpinnerIds[i]), m_spinners[i]);
  }
}

BOOL CUnitCellPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_cellRelay.m_pane = m_volumeRelay.m_pane = this;
  m_cellRelay.m_code = kHintCell;
  m_volumeRelay.m_code = kHintVolume;
  m_cellRelay.CreateEx(0, nullptr, L"", WS_CHILD, CRect(0, 0, 0, 0), this, 0);
  m_volumeRelay.CreateEx(0, nullptr, L"", WS_CHILD, CRect(0, 0, 0, 0), this, 0);
  for (int i = 0; i < kCount; ++i) {
    if (i < 3) {
      SetUpField(m_fields[i], m_edits[i], &m_spinners[i], QLRanges::kMinCellEdge, QLRanges::kMaxCellEdge, 99999,
                 L"%0#.4f");
      LinkSlider(m_sliders[i], m_edits[i], 99, 6.0, false, 1, 1.0, 1000.0);
    } else if (i < 6) {
      SetUpField(m_fields[i], m_edits[i], &m_spinners[i], 1.0, 179.0, 1779, L"%0#.1f");
      LinkSlider(m_sliders[i], m_edits[i], 178);
    } else {
      SetUpField(m_fields[i], m_edits[i], &m_spinners[i], QLRanges::kMinCellVolume, QLRanges::kMaxCellVolume,
                 9999999, L"%0#.1f");
      LinkSlider(m_sliders[i], m_edits[i], 10000, 400.0, false, 1, 1.0, 1000000.0);
    }
    // Each field tells the pane through the relay of its kind.
    m_edits[i].RemoveNotifyTarget(EditRelay());
    m_edits[i].AddNotifyTarget(i < 6 ? &m_cellRelay : &m_volumeRelay);
  }
  UnlockUpdates();
  RefreshControls();
  m_edits[0].SetFocus();
  return result;
}

CPrefScalar<bool>* CUnitCellPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenUnitCell : nullptr;
}

void CUnitCellPane::OnCellEdit(int code) {
  if (IsUpdateLocked()) return;
  const int previous = m_hintCode;
  m_hintCode = code;
  try {
    SetModified(true, false);
    ApplyChanges();
    UpdateControls(false);
  } catch (...) {
    m_hintCode = previous;
    throw;
  }
  m_hintCode = previous;
}

LRESULT CUnitCellPane::OnRestoreFields(WPARAM, LPARAM) {
  // The field that announced cannot be rewritten while it speaks: restored once it is done.
  if (!IsUpdateLocked()) {
    LockUpdates();
    UpdateControls(true);
    UnlockUpdates();
  }
  return 0;
}

bool CUnitCellPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc && doc->GetSettings()) {
    // Shown for another crystal than the one now selected (a drop or a pick changed the selection
    // unseen): writing would give it that crystal's cell.
    const std::shared_ptr<CQLCrystalPattern> target = SoleSelectedPattern<CQLCrystalPattern>(doc->GetPatterns());
    const std::shared_ptr<CQLPattern> shown = m_shown.lock();
    if (!target || target != shown) {
      CDialogPane::ApplyChanges();
      PostMessage(kRestoreFields);
      return false;
    }
    double values[kCount];
    for (int i = 0; i < kCount; ++i) values[i] = m_fields[i].ValueOr(Value(*target->GetCrystal(), i));
    if (!(VolumeFactor(values[3], values[4], values[5]) > kMinVolumeFactor)) {
      CDialogPane::ApplyChanges();
      CLXXDegenerateCell(kLXSeverityMessage, 0, __LINE__, values[0], values[1], values[2], values[3], values[4],
                         values[5])
          .Report();
      PostMessage(kRestoreFields);
      return false;
    }
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(doc->GetPatterns(), true, true, true))
      if (CQLCrystal* crystal = p->GetCrystal())
        for (int i = 0; i < kCount; ++i) Field(*crystal, i) = values[i];
  }
  return ApplyFinished(m_hintCode);
}

void CUnitCellPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  const std::shared_ptr<CQLCrystalPattern> selected =
      doc ? SoleSelectedPattern<CQLCrystalPattern>(doc->GetPatterns()) : nullptr;
  static const CQLCrystalPattern defaults;
  const CQLCrystal& crystal = *(selected ? *selected : defaults).GetCrystal();
  if (fromModel) {
    m_shown = selected;
    for (int i = 0; i < kCount; ++i) {
      double value = Value(crystal, i);
      // A crystal not yet computed has no volume: show what its edges and angles give.
      if (i == 6 && !(value > 0.0)) {
        const double factor = VolumeFactor(crystal.m_alpha, crystal.m_beta, crystal.m_gamma);
        value = factor > 0.0 ? crystal.m_a * crystal.m_b * crystal.m_c * std::sqrt(factor) : 0.0;
      }
      m_fields[i].Show(value, false);
      m_sliders[i].SetFromValue(m_edits[i].m_value);
    }
  }
  const bool enabled = selected && selected->IsShown() && !doc->GetSelectedObservedPattern() &&
                       !doc->GetSelectedMixturePattern();
  static const UINT ids[] = {kA, kALabel, kAUnit, kB, kBLabel, kBUnit, kC, kCLabel, kCUnit, kAlpha, kAlphaLabel,
                             kAlphaUnit, kBeta, kBetaLabel, kBetaUnit, kGamma, kGammaLabel, kGammaUnit, kVolume,
                             kVolumeLabel, kVolumeUnit, 0};
  EnableControls(ids, enabled);
}

bool CUnitCellPane::WantsUpdate(CView* sender, const void* hint) {
  if (!sender) return hint != nullptr;
  if (!hint) return CDiscloseablePane::WantsUpdate(sender, hint);
  switch (static_cast<const CUpdateHint*>(hint)->code) {
    case kHintCell:
    case kHintVolume:
    case kHintPatternTree:
    case kHintReflexionSelected:
    case kHintPatternsRecomputed:
    case 23:
    case kHintPatternsShown:
      return true;
    default:
      return false;
  }
}

void CUnitCellPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kA, kALabel, kASlider, kASpinner, kAUnit, kB, kBLabel, kBSlider, kBSpinner, kBUnit,
                             kC, kCLabel, kCSlider, kCSpinner, kCUnit, kAlpha, kAlphaLabel, kAlphaSlider,
                             kAlphaSpinner, kAlphaUnit, kBeta, kBetaLabel, kBetaSlider, kBetaSpinner, kBetaUnit,
                             kGamma, kGammaLabel, kGammaSlider, kGammaSpinner, kGammaUnit, kVolume, kVolumeLabel,
                             kVolumeSlider, kVolumeSpinner, kVolumeUnit, 0};
  ShowControls(ids, show);
}
