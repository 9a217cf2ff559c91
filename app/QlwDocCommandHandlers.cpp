// The document commands that open a dialog or do more than set one value: pattern editors,
// exports, Go to Peak, the instrument and peak function, colours, stacking and z-order.
#include "QlwDoc.h"

#include "CommonDialogs.h"
#include "FileTypes.h"
#include "LXDocTypes.h"
#include "LXFileDialog.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwFile.h"
#include "RecentDocuments.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {
// The last indices of Go to Peak, kept between runs.
double g_findPeakH = 1.0, g_findPeakK = 1.0, g_findPeakL = 1.0;

// Intensities smaller than this count as zero.
constexpr double kZeroIntensity = 1.8189894035458565e-12;
// The factory step of the keyboard's intensity scaling, and its largest sound value: a step of 1
// or more would make 1 − step zero or negative.
constexpr double kDefaultYScaleStep = 0.01, kLargestYScaleStep = 0.5;
// Create, read-write and exclusive, as a session save opens its file.
constexpr uint32_t kExportOpenFlags = 4114;

COLORREF ToColorRef(std::uint32_t argb) {
  return RGB((argb >> 16) & 0xFFu, (argb >> 8) & 0xFFu, argb & 0xFFu);
}

std::uint32_t ToOpaqueArgb(COLORREF colour) {
  return 0xFF000000u | (std::uint32_t(GetRValue(colour)) << 16) | (std::uint32_t(GetGValue(colour)) << 8) |
         std::uint32_t(GetBValue(colour));
}

CWnd* ParentOf(const CQlwDocWindow* window) {
  HWND handle = window ? window->GetSafeHwnd() : nullptr;
  return handle ? CWnd::FromHandle(handle) : nullptr;
}
}  // namespace

// ----- pattern editors -----

void CQlwDoc::EditCrystalPattern(bool isNew) {
  CQlwDocWindow* window = GetDiffractWnd();
  if (!window) return;
  std::shared_ptr<CQLCrystalPattern> pattern;
  CQLCrystal crystal;
  if (!isNew) {
    pattern = FindFirstPatternOfType<CQLCrystalPattern>(m_patterns, true, false);
    if (!pattern) return;
    crystal = pattern->m_crystal;
  }
  // The editor works on a copy, so that Cancel leaves the pattern as it was.
  if (window->RunEditCrystal(crystal) != IDOK) return;
  if (isNew) {
    AddCrystalPattern(crystal);
  } else {
    pattern->m_crystal = crystal;
    pattern->ClearProfile();
  }
  RecomputeAllPatterns(true, false, true);
  CUpdateHint hint(kHintPatternsRecomputed, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::EditObservedPattern(bool isNew) {
  CQlwDocWindow* window = GetDiffractWnd();
  if (!window) return;
  std::shared_ptr<CQLObservedPattern> pattern;
  CQLProfile points;
  if (!isNew) {
    pattern = FindFirstPatternOfType<CQLObservedPattern>(m_patterns, true, false);
    if (!pattern) return;
    points = pattern->m_profile;
  }
  if (window->RunEditData(points) != IDOK) return;
  if (isNew) {
    AddObservedPattern(points);
  } else {
    pattern->ReplacePoints(points);
  }
  RecomputeAllPatterns(true, false, true);
  CUpdateHint hint(kHintPatternsRecomputed, this);
  DispatchUpdateHint(hint);
}

// ----- export -----

void CQlwDoc::ExportPatterns(UINT fileType) {
  CQLPatternList list;
  if (fileType == kFileTypeProfile) {
    CQLPatternPtr first;
    GetFirstPattern(first, true);
    if (first) list.push_back(first);
  } else if (auto crystal = FindFirstPatternOfType<CQLCrystalPattern>(m_patterns, true, false)) {
    list.push_back(crystal);
  }
  if (list.empty()) return;

  CString typeName, suffix;
  if (const CLXDocTypeRow* row = LXDocTypes::FindRowForFileType(fileType)) LXDocTypes::GetDocString(*row, 2, typeName);
  // Listings share their extension: the name says which one a file holds.
  switch (fileType) {
    case kFileTypeStructFac: suffix.LoadString(3500); break;
    case kFileTypeProfile: suffix.LoadString(3501); break;
    case kFileTypeListing: suffix.LoadString(3502); break;
    default: break;
  }
  const CString name = list.size() == 1 ? list.front()->m_title : m_strTitle;
  CQlwDocWindow* window = GetDiffractWnd();
  UINT type = fileType;
  CString path;
  if (!CLXFileDialog::PromptExportFile(ParentOf(window), name, suffix, typeName, false, &type, &path)) return;

  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, __LINE__, path);
  LXFileOpenError error;
  if (!file->Open(path.GetString(), kExportOpenFlags, &error)) {
    throw CLXXMFC(DescribeOpenError(error.m_lOsError, path), kLXSeverityMessage, error.m_lOsError, __LINE__);
  }
  WindowState state = m_windowState;
  FillWindowStateFromWindow(state);
  // A failed write has been reported by the file, which drops what it had written.
  if (!file->WriteFile(&list, &m_settings, &state)) return;
  file->Close();
  // A file the user chose goes on the desktop's recently-used list, as one opened or saved does.
  SHAddToRecentDocs(SHARD_PATHW, path.GetString());
}

// ----- Go to Peak -----

void CQlwDoc::GoToPeak() {
  CQlwDocWindow* window = GetDiffractWnd();
  if (!window) return;
  if (window->RunFindPeak(g_findPeakH, g_findPeakK, g_findPeakL) != IDOK) return;
  // Indices are whole numbers; what is kept for the next run is what was searched for.
  const int h = static_cast<int>(std::lround(g_findPeakH));
  const int k = static_cast<int>(std::lround(g_findPeakK));
  const int l = static_cast<int>(std::lround(g_findPeakL));
  g_findPeakH = h;
  g_findPeakK = k;
  g_findPeakL = l;
  const auto pattern = FindFirstPatternOfType<CQLCrystalPattern>(m_patterns, true, false);
  if (!pattern) return;
  const std::shared_ptr<CQLReflexion> reflexion = pattern->m_crystal.FindReflexion(h, k, l);
  if (!reflexion) {
    CLXXFindPeakNoReflexion(kLXSeverityMessage, 0, __LINE__, h, k, l).Report();
    return;
  }
  CentrePlotOn(reflexion->d);
  CUHReflexionSelected hint(this, nullptr, reflexion.get(), pattern.get());
  DispatchUpdateHint(hint);
}

// ----- instrument -----

void CQlwDoc::EditPeakWidth() {
  CQlwDocWindow* window = GetDiffractWnd();
  if (!window) return;
  CDiffractionSettings& s = m_settings;
  double* field = &s.m_tthPeakWidth;
  LXTypes::QLAxisType fieldUnit = LXTypes::kAxis2Theta;
  if (s.m_simulationType == LXTypes::kSimEnergyDispersive) {
    field = &s.m_edxPeakWidth;
    fieldUnit = LXTypes::kAxisEnergy;
  } else if (s.m_simulationType == LXTypes::kSimElectrons) {
    field = &s.m_peakWidthTEM;
    fieldUnit = LXTypes::kAxisInverseD;
  }
  const double shown = s.ConvertWidth(*field, fieldUnit, s.m_axisType);
  double width = shown;
  if (window->RunPeakWidth(width) != IDOK) return;
  // The value shown and confirmed unchanged must not differ by the rounding of two conversions.
  const double stored = width == shown ? *field : s.ConvertWidth(width, s.m_axisType, fieldUnit);
  if (std::isfinite(stored) && stored > 0.0 && stored != *field) {
    *field = stored;
    RefreshReflexionPositions();
    Autoscale(false);
  }
  CUpdateHint hint(kHintPeakWidth, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::SetSimulationType(LXTypes::QLSimulationType type) {
  CDiffractionSettings& s = m_settings;
  if (type == s.m_simulationType) return;
  using namespace LXTypes;
  QLAxisType unit = s.m_axisType;
  switch (type) {
    case kSimEnergyDispersive:
      if (unit == kAxis2Theta || unit == kAxisTimeOfFlight) unit = kAxisEnergy;
      break;
    case kSimTimeOfFlight:
      if (unit == kAxis2Theta || unit == kAxisEnergy) unit = kAxisTimeOfFlight;
      break;
    default:
      if (unit == kAxisTimeOfFlight || unit == kAxisEnergy) unit = kAxis2Theta;
      break;
  }
  // The window's 2θ ends were shown with the old instrument's wavelength.
  const double shownWavelength = s.m_simulationType == kSimElectrons ? s.m_lambdaTEM : s.m_lambda;
  s.m_simulationType = type;
  // The reflexion limits hang on the unit shown: the new instrument's unit is in place before the
  // recompute, so that the list is the one any later recompute gives.
  const bool unitChanges = unit != s.m_axisType;
  // A new wavelength may move every peak out of the window, or squeeze them into a sliver of it;
  // then the plot is fitted to them. A window that keeps as much of the peaks is left as chosen.
  const double spanBefore = GetDataSpanInView();
  if (unitChanges) SetAxisType(unit, shownWavelength, false);
  RecomputeHintedPatterns(false, false);
  RefreshReflexionPositions();
  Autoscale(unitChanges);
  const double spanAfter = GetDataSpanInView();
  if (spanAfter < spanBefore && spanAfter < (s.m_visibleXMax - s.m_visibleXMin) * 0.1) FitPlotToPatterns();
  CUpdateHint hint(kHintSimulationType, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::SetPeakFunction(LXTypes::QLProfileType function) {
  CDiffractionSettings& s = m_settings;
  if (function == s.m_profileType) return;
  s.m_profileType = function;
  if (s.m_filmMode || function != LXTypes::kProfileDelta)
    for (const CQLPatternPtr& p : CollectPatternsOfType<CQLCrystalPattern>(m_patterns, false, false, true))
      p->GetCrystal()->UpdatePeakWidths(s);
  // Profiles are drawn from their cache: computed again, they take the new shape.
  for (const CQLPatternPtr& p : CollectPatterns(m_patterns, false, false, true))
    if (p->GetCrystal() || p->GetComponents()) p->ClearProfile();
  CUpdateHint hint(kHintPeakFunction, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::RunSettingsDialog(CQlwDocWindow::SettingsDialog dialog) {
  CQlwDocWindow* window = GetDiffractWnd();
  if (!window || window->RunSettingsDialog(dialog, *this) != IDOK) return;
  switch (dialog) {
    case CQlwDocWindow::kPlotTitle: {
      CUpdateHint hint(kHintPlotTitle, this);
      DispatchUpdateHint(hint);
      return;
    }
    case CQlwDocWindow::kPlotLimits:
      break;
    default:
      RecomputeAllPatterns(true, false, true);
      break;
  }
  PlotHint();
}

// ----- colours -----

void CQlwDoc::ChoosePatternColour() {
  if (m_patterns.empty()) return;
  CColorDialog dialog(ToColorRef(m_patterns.front()->m_color), CC_ANYCOLOR | CC_RGBINIT, ParentOf(GetDiffractWnd()));
  if (dialog.DoModal() != IDOK) return;
  const std::uint32_t colour = ToOpaqueArgb(dialog.GetColor());
  for (const CQLPatternPtr& p : CollectPatterns(m_patterns, true, false, true)) p->m_color = colour;
  CUpdateHint hint(kHintColours, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::ChooseGridColour() {
  const std::uint32_t initial = g_pPreferences ? g_pPreferences->m_GridColor.Get().GetValue() : m_settings.m_gridColor;
  CColorDialog dialog(ToColorRef(initial), CC_ANYCOLOR | CC_RGBINIT, ParentOf(GetDiffractWnd()));
  if (dialog.DoModal() != IDOK) return;
  m_settings.m_gridColor = ToOpaqueArgb(dialog.GetColor());
  CUpdateHint hint(kHintGridColour, this);
  DispatchUpdateHint(hint);
}

// ----- vertical offsets -----

void CQlwDoc::StackPatterns() {
  CDiffractionSettings& s = m_settings;
  for (const CQLPatternPtr& p : m_patterns)
    if (p->IsShown() && p->GetProfile().empty()) p->ComputeProfile(s);
  const CQLPatternList shown = CollectPatterns(m_patterns, false, true, true);
  // Each pattern's own minimum is taken off as well as the heights of those after it, so that a
  // pattern spanning 100..150 sits on the one below rather than 100 above it.
  double total = 0.0;
  for (const CQLPatternPtr& p : shown) {
    p->m_yOffset = 0.0;
    const double top = p->GetMaxIntensityInRange(s.m_visibleXMin, s.m_visibleXMax);
    const double bottom = p->GetMinIntensityInRange(s.m_visibleXMin, s.m_visibleXMax);
    total += top - bottom;
    p->m_yOffset = -total - bottom;
  }
  for (const CQLPatternPtr& p : shown) p->m_yOffset += total;
  s.m_visibleYMin = 0.0;
  // Flat patterns leave the y range as it was, as Autoscale does, rather than 0 to 0.
  if (std::abs(total) >= kZeroIntensity) s.m_visibleYMax = total;
  PlotHint();
}

void CQlwDoc::CollapsePatterns() {
  CDiffractionSettings& s = m_settings;
  for (const CQLPatternPtr& p : CollectPatterns(m_patterns, false, false, true)) p->m_yOffset = 0.0;
  double top = 0.0;
  for (const CQLPatternPtr& p : CollectPatterns(m_patterns, false, false, true))
    top = std::max(top, p->GetMaxIntensityInRange(s.m_visibleXMin, s.m_visibleXMax));
  s.m_visibleYMin = 0.0;
  if (top >= kZeroIntensity) s.m_visibleYMax = top;
  PlotHint();
}

// ----- observed data -----

void CQlwDoc::ScaleObservedX() {
  CQlwDocWindow* window = GetDiffractWnd();
  if (!window) return;
  double factor = 1.0;
  if (window->RunScaleX(factor) != IDOK) return;
  // A zero or non-finite factor would collapse the data or fill it with NaN.
  if (!std::isfinite(factor) || factor <= 0.0) return;
  for (const CQLPatternPtr& p : CollectPatternsOfType<CQLObservedPattern>(m_patterns, true, false, true))
    static_cast<CQLObservedPattern&>(*p).ScaleX(factor);
  // The data range, and the window on it, follow the scaled data.
  UpdateDataRange();
  m_settings.m_visibleXMin = m_settings.m_defaultXMin;
  m_settings.m_visibleXMax = m_settings.m_defaultXMax;
  RefreshReflexionPositions();
  Autoscale(true);
}

// ----- plot tools -----

void CQlwDoc::ToggleTool(bool cursor) {
  CTool* tool = cursor ? static_cast<CTool*>(m_settings.GetCursor(true)) : m_settings.GetRuler(true);
  if (!tool) return;
  if (tool->IsActive()) {
    tool->Hide();
    tool->m_rec.visible = 0;
    tool->m_on = 0;
  } else {
    tool->m_rec.visible = 1;
  }
  tool->Notify(4, 0);
  CUHRequestPlotUpdate hint(this, nullptr, true, 4);
  DispatchUpdateHint(hint);
}

// ----- z-order -----

namespace {
bool IsSelected(const CQLPatternPtr& p) { return p->IsSelected(); }

// Moves the selected patterns of one list (the end of a list is the back), then those inside
// its mixtures. A list of one is not reordered, but a mixture in it still is.
void Reorder(CQLPatternList& list, UINT command) {
  if (CountPatterns(list, true, false, false) == 0) return;
  if (command == 33668) {  // Send to Back: std::list::sort is stable
    list.sort(&CQlwDoc::LessUnselectedFirst);
  } else if (command == 33671) {  // Bring to Front
    list.sort(&CQlwDoc::LessSelectedFirst);
  } else if (list.size() >= 2) {
    std::vector<CQLPatternPtr> v(list.begin(), list.end());
    if (command == 33669) {  // Send Backward: from the back, each selected one past its neighbour
      for (size_t i = v.size() - 1; i-- > 0;)
        if (IsSelected(v[i]) && !IsSelected(v[i + 1])) std::swap(v[i], v[i + 1]);
    } else {  // 33670 Bring Forward: the mirror, from the front
      for (size_t i = 1; i < v.size(); ++i)
        if (IsSelected(v[i]) && !IsSelected(v[i - 1])) std::swap(v[i], v[i - 1]);
    }
    list.assign(v.begin(), v.end());
  }
  for (const CQLPatternPtr& p : list)
    if (CQLPatternList* components = p->GetComponents()) Reorder(*components, command);
}
}  // namespace

void CQlwDoc::ReorderSelectedPatterns(UINT command) {
  Reorder(m_patterns, command);
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
}

double CQlwDoc::RelativeYScaleStep() {
  const double step = g_pPreferences ? g_pPreferences->m_RelScaleYFactInc.Get() : kDefaultYScaleStep;
  // A step of 1 or more, or NaN, would give a negative, infinite or NaN y maximum that a save keeps.
  if (!(step > 0.0)) return kDefaultYScaleStep;
  return std::min(step, kLargestYScaleStep);
}
