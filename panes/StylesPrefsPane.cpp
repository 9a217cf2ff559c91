// The Styles page: default line and marker styles of simulated, observed and mixture patterns,
// and the line style and colour of the overlay and the background curve.
#include "PrefsPages.h"

using PrefsControls::Value;

namespace {
// Line styles without "None" (list B), for curves that are always drawn.
const IDComboEntry kDrawnLineStyles[] = {
    {3324, LXTypes::kLineDotDash, 3302}, {3321, LXTypes::kLineSolid, 3303}, {3322, LXTypes::kLineDashed, 3300},
    {3323, LXTypes::kLineDotted, 3301},  {0, LXTypes::kLineSolid, 0},
};
// Widths and sizes: 0.1 to 10 in 99 steps of 0.1.
constexpr double kMinWidth = 0.1, kMaxWidth = 10.0;
constexpr int kSteps = 99;
}  // namespace

BEGIN_MESSAGE_MAP(CStylesPrefsPane, CPreferencesPane)
  ON_CONTROL_RANGE(CBN_SELCHANGE, 3010, 3040, &CStylesPrefsPane::OnStyleControlChanged)
  ON_CONTROL_RANGE(EN_CHANGE, 3010, 3040, &CStylesPrefsPane::OnStyleControlChanged)
END_MESSAGE_MAP()

CStylesPrefsPane::CStylesPrefsPane(CWnd* parent) : CPreferencesPane(kTemplateId, parent) { RaiseLock(); }

void CStylesPrefsPane::DoDataExchange(CDataExchange* dx) {
  CPreferencesPane::DoDataExchange(dx);
  DDX_Control(dx, 3035, m_crystalLine);
  DDX_Control(dx, 3039, m_crystalWidth.edit);
  DDX_Control(dx, 3040, m_crystalWidth.spin);
  DDX_Control(dx, 3036, m_crystalMarker);
  DDX_Control(dx, 3037, m_crystalSize.edit);
  DDX_Control(dx, 3038, m_crystalSize.spin);
  DDX_Control(dx, 3031, m_overlayLine);
  DDX_Control(dx, 3032, m_overlayWidth.edit);
  DDX_Control(dx, 3033, m_overlayWidth.spin);
  DDX_Control(dx, 3041, m_overlayColour);
  DDX_Control(dx, 3024, m_observedLine);
  DDX_Control(dx, 3028, m_observedWidth.edit);
  DDX_Control(dx, 3029, m_observedWidth.spin);
  DDX_Control(dx, 3025, m_observedMarker);
  DDX_Control(dx, 3026, m_observedSize.edit);
  DDX_Control(dx, 3027, m_observedSize.spin);
  DDX_Control(dx, 3011, m_backgroundLine);
  DDX_Control(dx, 3012, m_backgroundWidth.edit);
  DDX_Control(dx, 3013, m_backgroundWidth.spin);
  DDX_Control(dx, 3042, m_backgroundColour);
  DDX_Control(dx, 3017, m_mixtureLine);
  DDX_Control(dx, 3021, m_mixtureWidth.edit);
  DDX_Control(dx, 3022, m_mixtureWidth.spin);
  DDX_Control(dx, 3018, m_mixtureMarker);
  DDX_Control(dx, 3019, m_mixtureSize.edit);
  DDX_Control(dx, 3020, m_mixtureSize.spin);
}

BOOL CStylesPrefsPane::OnInitDialog() {
  CPreferencesPane::OnInitDialog();
  for (auto* combo : {&m_crystalLine, &m_observedLine, &m_mixtureLine}) combo->Fill(IDComboTables::kLineStyles, false);
  for (auto* combo : {&m_overlayLine, &m_backgroundLine}) combo->Fill(kDrawnLineStyles, false);
  for (auto* combo : {&m_crystalMarker, &m_observedMarker, &m_mixtureMarker}) combo->Fill(IDComboTables::kMarkerStyles, false);
  for (SizeField* f : {&m_crystalWidth, &m_crystalSize, &m_observedWidth, &m_observedSize, &m_mixtureWidth,
                       &m_mixtureSize, &m_overlayWidth, &m_backgroundWidth}) {
    f->spin.SetBuddy(&f->edit);
    f->spin.SetStepCount(kSteps);
    f->edit.SetRange(kMinWidth, kMaxWidth);
    UINT previous = 0;
    f->edit.AddDisplayFlag(previous);
  }
  SetHeaderFont({3034, 3023, 3016});
  return FinishInit(m_crystalLine);
}

void CStylesPrefsPane::RefreshControls() {
  CPreferences* p = Store();
  if (IsLocked() || !p) return;
  m_refreshGuard.Take();
  const auto line = [this](CIDCombo<LXTypes::QLLineStyle>& combo, unsigned value) {
    NoteLoaded(combo.GetDlgCtrlID(), combo.SelectID(static_cast<LXTypes::QLLineStyle>(value)) >= 0);
  };
  const auto marker = [this](CIDCombo<LXTypes::QLMarkerStyle>& combo, unsigned value) {
    NoteLoaded(combo.GetDlgCtrlID(), combo.SelectID(static_cast<LXTypes::QLMarkerStyle>(value)) >= 0);
  };
  const auto size = [this](SizeField& f, double value) { NoteLoaded(f.edit.GetDlgCtrlID(), f.edit.SetValue(value, false)); };
  line(m_crystalLine, p->m_CrystalLineStyle.Get());
  size(m_crystalWidth, p->m_CrystalLineWidth.Get());
  marker(m_crystalMarker, p->m_CrystalMarkerStyle.Get());
  size(m_crystalSize, p->m_CrystalMarkerSize.Get());
  line(m_mixtureLine, p->m_MixtureLineStyle.Get());
  size(m_mixtureWidth, p->m_MixtureLineWidth.Get());
  marker(m_mixtureMarker, p->m_MixtureMarkerStyle.Get());
  size(m_mixtureSize, p->m_MixtureMarkerSize.Get());
  line(m_observedLine, p->m_ObservedLineStyle.Get());
  size(m_observedWidth, p->m_ObservedLineWidth.Get());
  marker(m_observedMarker, p->m_ObservedMarkerStyle.Get());
  size(m_observedSize, p->m_ObservedMarkerSize.Get());
  line(m_overlayLine, p->m_OverlayLineStyle.Get());
  size(m_overlayWidth, p->m_OverlayLineWidth.Get());
  if (m_overlayColour.GetColor() != p->m_OverlayColor.Get().GetValue()) m_overlayColour.SetColor(p->m_OverlayColor.Get().GetValue());
  line(m_backgroundLine, p->m_BackgroundLineStyle.Get());
  size(m_backgroundWidth, p->m_BackgroundLineWidth.Get());
  if (m_backgroundColour.GetColor() != p->m_BackgroundColor.Get().GetValue())
    m_backgroundColour.SetColor(p->m_BackgroundColor.Get().GetValue());
  UpdateControls(false);
  m_refreshGuard.Release();
}

void CStylesPrefsPane::OnStyleControlChanged(UINT) {
  if (!IsLocked()) MarkModified();
}

bool CStylesPrefsPane::ApplyChanges() {
  CPreferences* p = Store();
  if (!IsModified() || !p) return false;
  const auto line = [this](CPrefScalar<unsigned>& value, CIDCombo<LXTypes::QLLineStyle>& combo) {
    if (MayWrite(combo.GetDlgCtrlID())) value.Set(combo.GetSelectedID());
  };
  const auto marker = [this](CPrefScalar<unsigned>& value, CIDCombo<LXTypes::QLMarkerStyle>& combo) {
    if (MayWrite(combo.GetDlgCtrlID())) value.Set(combo.GetSelectedID());
  };
  const auto size = [this](CPrefScalar<double>& value, SizeField& f) {
    if (MayWrite(f.edit.GetDlgCtrlID())) value.Set(Value<double>(f.edit));
  };
  line(p->m_CrystalLineStyle, m_crystalLine);
  size(p->m_CrystalLineWidth, m_crystalWidth);
  marker(p->m_CrystalMarkerStyle, m_crystalMarker);
  size(p->m_CrystalMarkerSize, m_crystalSize);
  line(p->m_MixtureLineStyle, m_mixtureLine);
  size(p->m_MixtureLineWidth, m_mixtureWidth);
  marker(p->m_MixtureMarkerStyle, m_mixtureMarker);
  size(p->m_MixtureMarkerSize, m_mixtureSize);
  line(p->m_ObservedLineStyle, m_observedLine);
  size(p->m_ObservedLineWidth, m_observedWidth);
  marker(p->m_ObservedMarkerStyle, m_observedMarker);
  size(p->m_ObservedMarkerSize, m_observedSize);
  line(p->m_OverlayLineStyle, m_overlayLine);
  size(p->m_OverlayLineWidth, m_overlayWidth);
  p->m_OverlayColor.Set(LXGraphics::CColor(m_overlayColour.GetColor()));
  line(p->m_BackgroundLineStyle, m_backgroundLine);
  size(p->m_BackgroundLineWidth, m_backgroundWidth);
  p->m_BackgroundColor.Set(LXGraphics::CColor(m_backgroundColour.GetColor()));
  return CPreferencesPane::ApplyChanges();
}
