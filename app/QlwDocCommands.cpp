// The document's command table: which ids of 32768 to 34577 it carries out, how each sets the
// settings or the selected patterns, and the state of their menu items. The handlers that open a
// dialog or do more than set a value are in QlwDocCommandHandlers.cpp.
#include "QlwDoc.h"

#include "FileTypes.h"
#include "LXUtils.h"
#include "QLCrystalPattern.h"
#include "QLObservedPattern.h"

#include <cmath>
#include <iterator>

namespace {
constexpr UINT kFirstCommand = 32768, kLastCommand = 34577;

// Ids that only name a value: the value is the index in the row, or the number beside the id.
struct IdValue {
  UINT id;
  double value;
};

constexpr UINT kSimulationIds[] = {33486, 33477, 33471, 33478, 33472};         // types 1 to 5
constexpr UINT kAxisIds[] = {33484, 33470, 33481, 33483, 33473, 33480};        // units 1 to 6
constexpr UINT kPeakFunctionIds[] = {33469, 33476, 33475, 33479};              // functions 1 to 4
constexpr UINT kFilmTypeIds[] = {33573, 33572, 33570, 33571, 33574};           // types 1 to 5
constexpr UINT kLineStyleIds[] = {33722, 33723, 33719, 33720, 33721};          // styles 0 to 4
constexpr UINT kMarkerStyleIds[] = {33697, 33694, 33715, 33714, 33696, 33695, 33713,
                                    33693, 33712, 33710, 33709, 33711, 33698};  // styles 0 to 12
constexpr IdValue kLineWidths[] = {{33738, 0.5}, {33739, 0.25}, {33740, 0.75}, {33741, 0.125},
                                   {33742, 1},   {33743, 1.5},  {33744, 2},    {33745, 2.5},
                                   {33746, 3},   {33747, 4},    {33748, 5}};
constexpr UINT kFirstMarkerSize = 33677, kLastMarkerSize = 33692;
constexpr float kMarkerSizes[] = {0.5f, 0.25f, 0.75f, 0.125f, 1, 1.5f, 2, 2.5f, 3, 4, 5, 6, 7, 8, 9, 10};
constexpr UINT kFirstThreshold = 33727, kLastThreshold = 33736;  // 0 %, 10 % … 90 %

enum : UINT {
  kCmdNewCrystal = 33268,
  kCmdNewObserved = 33269,
  kCmdCloseWithoutSaving = 33270,
  kCmdExportCif = 33271,
  kCmdExportText = 33272,
  kCmdExportReflexions = 33273,
  kCmdExportProfile = 33275,
  kCmdExportStructureFactors = 33276,
  kCmdOpenInSameWindow = 33278,
  kCmdEditPattern = 33371,
  kCmdPeakWidth = 33468,
  kCmdReflexionLimit = 33482,
  kCmdWavelength = 33485,
  kCmdCollapsed = 33568,
  kCmdFilm = 33569,
  kCmdGraph = 33576,
  kCmdGridColour = 33577,
  kCmdPlotRange = 33578,
  kCmdLogY = 33579,
  kCmdSetPlotTitle = 33581,
  kCmdShowCursor = 33582,
  kCmdShowGrid = 33583,
  kCmdShowLegend = 33584,
  kCmdShowLoupe = 33585,
  kCmdShowPeakTips = 33587,
  kCmdShowPlotTitle = 33588,
  kCmdShowRuler = 33590,
  kCmdStacked = 33592,
  kCmdSendToBack = 33668,
  kCmdSendBackward = 33669,
  kCmdBringForward = 33670,
  kCmdBringToFront = 33671,
  kCmdGoToPeak = 33672,
  kCmdLabelDSpacing = 33673,
  kCmdLabelHKL = 33674,
  kCmdLabelPhaseName = 33675,
  kCmdLabelXUnits = 33676,
  kCmdOverlay = 33716,
  kCmdPatternColour = 33717,
  kCmdLabelRelIntensity = 33724,
  kCmdScaleX = 33725,
  kCmdShowLabels = 33726,
  kCmdSpectrumColours = 34370,
  kCmdNewMixture = 34372,
  kCmdResetColours = 34376,
  kCmdSortByColour = 34379,
  kCmdSortByKind = 34380,
  kCmdSortByTitle = 34381,
  kCmdSortByVisibility = 34382,
  kCmdAutoscaleXY = 34468,
  kCmdAutoscaleY = 34469,
  kCmdScaleDown = 34470,
  kCmdScaleUp = 34471,
  kCmdNotImplemented = 34472,
  kCmdScrollLeft = 34473,
  kCmdScrollRight = 34474,
  kCmdZoomIn = 34475,
  kCmdZoomOut = 34476,
};

// Texts of the items that name what they will do: the Hide form first.
constexpr UINT kTextGrid = 2560, kTextLogY = 2562, kTextPeakTips = 2564, kTextCursor = 2566, kTextRuler = 2568,
               kTextLoupe = 2570, kTextLegend = 2572, kTextPlotTitle = 2574, kTextOverlay = 2576, kTextLabels = 2578;
constexpr UINT kText2Theta = 2328, kTextTwoPiOverD = 2325;

// The commands that need no more than the table or one handler, with nothing else to look up.
constexpr UINT kPlainCommands[] = {
    kCmdNewCrystal, kCmdNewObserved, kCmdEditPattern, kCmdExportCif, kCmdExportText, kCmdExportReflexions,
    kCmdExportProfile, kCmdExportStructureFactors, kCmdPeakWidth, kCmdReflexionLimit, kCmdWavelength,
    kCmdCollapsed, kCmdFilm, kCmdGraph, kCmdGridColour, kCmdPlotRange, kCmdLogY, kCmdSetPlotTitle,
    kCmdShowCursor, kCmdShowGrid, kCmdShowLegend, kCmdShowLoupe, kCmdShowPeakTips, kCmdShowPlotTitle,
    kCmdShowRuler, kCmdStacked, kCmdSendToBack, kCmdSendBackward, kCmdBringForward, kCmdBringToFront,
    kCmdGoToPeak, kCmdLabelDSpacing, kCmdLabelHKL, kCmdLabelPhaseName, kCmdLabelXUnits, kCmdOverlay,
    kCmdPatternColour, kCmdLabelRelIntensity, kCmdScaleX, kCmdShowLabels, kCmdSpectrumColours, kCmdNewMixture,
    kCmdResetColours, kCmdSortByColour, kCmdSortByKind, kCmdSortByTitle, kCmdSortByVisibility,
    kCmdAutoscaleXY, kCmdAutoscaleY, kCmdScaleDown, kCmdScaleUp, kCmdNotImplemented, kCmdScrollLeft,
    kCmdScrollRight, kCmdZoomIn, kCmdZoomOut};

// Index of id in the row, or -1.
template <size_t N>
int IndexOf(const UINT (&row)[N], UINT id) {
  for (size_t i = 0; i < N; ++i)
    if (row[i] == id) return static_cast<int>(i);
  return -1;
}

int LineWidthIndex(UINT id) {
  for (size_t i = 0; i < std::size(kLineWidths); ++i)
    if (kLineWidths[i].id == id) return static_cast<int>(i);
  return -1;
}

// The label flag of a crystal pattern that a label-content command names; null for other ids.
std::uint8_t* LabelFlag(CQLPattern& p, UINT id) {
  switch (id) {
    case kCmdLabelDSpacing: return &p.m_labelDSpacing;
    case kCmdLabelHKL: return &p.m_labelHKL;
    case kCmdLabelPhaseName: return &p.m_labelPhaseName;
    case kCmdLabelXUnits: return &p.m_labelXUnits;
    case kCmdLabelRelIntensity: return &p.m_labelRelIntensity;
    case kCmdShowLabels: return &p.m_showLabels;
    case kCmdOverlay:
      if (auto* crystal = dynamic_cast<CQLCrystalPattern*>(&p)) return &crystal->m_showOverlay;
      return nullptr;
    default: return nullptr;
  }
}

void SetItemText(CCmdUI* ui, UINT textId) {
  CString text;
  text.LoadString(textId);
  ui->SetText(text);
}

// A stored width or size read back as the item it was set from.
bool SameValue(double a, double b) { return std::abs(a - b) < 1e-6; }
}  // namespace

bool CQlwDoc::IsDocCommand(UINT id) {
  return IndexOf(kPlainCommands, id) >= 0 || IndexOf(kSimulationIds, id) >= 0 || IndexOf(kAxisIds, id) >= 0 ||
         IndexOf(kPeakFunctionIds, id) >= 0 || IndexOf(kFilmTypeIds, id) >= 0 || IndexOf(kLineStyleIds, id) >= 0 ||
         IndexOf(kMarkerStyleIds, id) >= 0 || LineWidthIndex(id) >= 0 ||
         (id >= kFirstMarkerSize && id <= kLastMarkerSize) || (id >= kFirstThreshold && id <= kLastThreshold);
}

BOOL CQlwDoc::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (nID >= kFirstCommand && nID <= kLastCommand && !m_bClosing) {
    if (nCode == CN_COMMAND) {
      if (pHandlerInfo) {
        if (IsDocCommand(nID)) {
          pHandlerInfo->pTarget = this;
          return TRUE;
        }
      } else if (OnDocCommand(nID)) {
        return TRUE;
      }
    } else if (nCode == CN_UPDATE_COMMAND_UI && pExtra) {
      auto* ui = static_cast<CCmdUI*>(pExtra);
      ui->m_bContinueRouting = FALSE;
      OnUpdateDocCommand(ui);
      if (!ui->m_bContinueRouting) return TRUE;
    }
  }
  return CDocument::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

namespace {
// Stores a value in every selected shown pattern of kind T; the number of patterns set.
template <class T, class Assign>
int SetOnSelected(CQLPatternList& tree, Assign assign) {
  int count = 0;
  for (const CQLPatternPtr& p : CollectPatternsOfType<T>(tree, true, true, true)) {
    assign(*p);
    ++count;
  }
  return count;
}
}  // namespace

bool CQlwDoc::OnDocCommand(UINT id) {
  CDiffractionSettings& s = m_settings;
  auto plotUpdate = [this](std::uint16_t level) {
    CUHRequestPlotUpdate hint(this, nullptr, true, level);
    DispatchUpdateHint(hint);
  };
  auto send = [this](std::int32_t code) {
    CUpdateHint hint(code, this);
    DispatchUpdateHint(hint);
  };
  // A value command: stored in the selected shown patterns, hinted only when one was set.
  auto setStyle = [&](std::int32_t code, auto assign) {
    if (SetOnSelected<CQLPattern>(m_patterns, assign) > 0) send(code);
  };

  if (int i = IndexOf(kSimulationIds, id); i >= 0) {
    SetSimulationType(static_cast<LXTypes::QLSimulationType>(i + 1));
    return true;
  }
  if (int i = IndexOf(kAxisIds, id); i >= 0) {
    SetAxisType(static_cast<LXTypes::QLAxisType>(i + 1));
    return true;
  }
  if (int i = IndexOf(kPeakFunctionIds, id); i >= 0) {
    SetPeakFunction(static_cast<LXTypes::QLProfileType>(i + 1));
    return true;
  }
  if (int i = IndexOf(kFilmTypeIds, id); i >= 0) {
    s.m_filmType = static_cast<LXTypes::QLFilmType>(i + 1);
    send(kHintFilmType);
    return true;
  }
  if (int i = IndexOf(kLineStyleIds, id); i >= 0) {
    setStyle(kHintLineStyle, [i](CQLPattern& p) { p.m_lineStyle = static_cast<std::uint32_t>(i); });
    return true;
  }
  if (int i = IndexOf(kMarkerStyleIds, id); i >= 0) {
    setStyle(kHintMarkerStyle, [i](CQLPattern& p) { p.m_markerStyle = static_cast<std::uint32_t>(i); });
    return true;
  }
  if (int i = LineWidthIndex(id); i >= 0) {
    const float width = static_cast<float>(kLineWidths[i].value);
    setStyle(kHintLineWidth, [width](CQLPattern& p) { p.m_lineWidth = width; });
    return true;
  }
  if (id >= kFirstMarkerSize && id <= kLastMarkerSize) {
    const float size = kMarkerSizes[id - kFirstMarkerSize];
    setStyle(kHintMarkerSize, [size](CQLPattern& p) { p.m_markerSize = size; });
    return true;
  }
  if (id >= kFirstThreshold && id <= kLastThreshold) {
    const double threshold = 10.0 * (id - kFirstThreshold);
    if (SetOnSelected<CQLCrystalPattern>(m_patterns, [threshold](CQLPattern& p) { p.m_labelThreshold = threshold; }) > 0)
      send(kHintLabelThreshold);
    return true;
  }

  switch (id) {
    case kCmdNewCrystal:
      EditCrystalPattern(true);
      return true;
    case kCmdNewObserved:
      EditObservedPattern(true);
      return true;
    case kCmdEditPattern:
      if (GetSelectedCrystalPattern())
        EditCrystalPattern(false);
      else if (GetSelectedObservedPattern())
        EditObservedPattern(false);
      return true;
    case kCmdExportCif: ExportPatterns(kFileTypeCIF); return true;
    case kCmdExportText: ExportPatterns(kFileTypeLXTX); return true;
    case kCmdExportReflexions: ExportPatterns(kFileTypeListing); return true;
    case kCmdExportStructureFactors: ExportPatterns(kFileTypeStructFac); return true;
    case kCmdExportProfile: ExportPatterns(kFileTypeProfile); return true;
    case kCmdWavelength:
      RunSettingsDialog(s.m_simulationType == LXTypes::kSimElectrons ? CQlwDocWindow::kElectronWavelength
                                                                      : CQlwDocWindow::kWavelength);
      return true;
    case kCmdPeakWidth: EditPeakWidth(); return true;
    case kCmdReflexionLimit: RunSettingsDialog(CQlwDocWindow::kReflexionLimit); return true;
    case kCmdPlotRange: RunSettingsDialog(CQlwDocWindow::kPlotLimits); return true;
    case kCmdSetPlotTitle: RunSettingsDialog(CQlwDocWindow::kPlotTitle); return true;
    case kCmdFilm:
    case kCmdGraph:
      // One flag: either item switches between film and graph.
      s.m_filmMode = s.m_filmMode ? 0 : 1;
      plotUpdate(CUHRequestPlotUpdate::kRedrawAll);
      return true;
    case kCmdShowGrid:
      s.m_showGrid = s.m_showGrid ? 0 : 1;
      plotUpdate(0);
      return true;
    case kCmdGridColour: ChooseGridColour(); return true;
    case kCmdLogY:
      s.m_logarithmicYAxis = s.m_logarithmicYAxis ? 0 : 1;
      plotUpdate(CUHRequestPlotUpdate::kRedrawAll);
      return true;
    case kCmdStacked: StackPatterns(); return true;
    case kCmdCollapsed: CollapsePatterns(); return true;
    case kCmdShowPeakTips:
      s.m_showPeakTips = s.m_showPeakTips ? 0 : 1;
      plotUpdate(1);
      return true;
    case kCmdShowCursor: ToggleTool(true); return true;
    case kCmdShowRuler: ToggleTool(false); return true;
    case kCmdShowLoupe:
      if (CQlwDocWindow* window = GetDiffractWnd()) window->ToggleLoupe();
      return true;
    case kCmdShowLegend:
      s.m_showLegend = s.m_showLegend ? 0 : 1;
      plotUpdate(1);
      return true;
    case kCmdShowPlotTitle:
      s.m_showPlotTitle = !s.m_showPlotTitle;
      send(kHintPlotTitle);
      return true;
    case kCmdSendToBack:
    case kCmdSendBackward:
    case kCmdBringForward:
    case kCmdBringToFront:
      ReorderSelectedPatterns(id);
      return true;
    case kCmdGoToPeak: GoToPeak(); return true;
    case kCmdLabelDSpacing:
    case kCmdLabelHKL:
    case kCmdLabelPhaseName:
    case kCmdLabelXUnits:
    case kCmdLabelRelIntensity:
    case kCmdShowLabels:
    case kCmdOverlay: {
      // The first selected crystal pattern's flag, inverted, for every selected shown one.
      CQLCrystalPattern* first = GetSelectedCrystalPattern();
      if (!first) return true;
      const std::uint8_t value = *LabelFlag(*first, id) ? 0 : 1;
      SetOnSelected<CQLCrystalPattern>(m_patterns, [id, value](CQLPattern& p) { *LabelFlag(p, id) = value; });
      send(id == kCmdOverlay ? kHintOverlay : kHintLabels);
      return true;
    }
    case kCmdPatternColour: ChoosePatternColour(); return true;
    case kCmdScaleX: ScaleObservedX(); return true;
    case kCmdSpectrumColours: ResetColours(); return true;
    case kCmdNewMixture: NewMixtureFromPatterns({}); return true;
    case kCmdResetColours:
      ResetDefaultPatternColourIndex();
      AssignPaletteColours(m_patterns);
      send(kHintColours);
      return true;
    case kCmdSortByTitle:
    case kCmdSortByVisibility:
    case kCmdSortByColour:
    case kCmdSortByKind:
      SortPatternTree(m_patterns, id == kCmdSortByTitle        ? &LessByTitle
                                  : id == kCmdSortByVisibility ? &LessShownFirst
                                  : id == kCmdSortByColour     ? &LessByColour
                                                               : &LessByPatternType);
      send(kHintPatternTree);
      return true;
    case kCmdAutoscaleXY: FitPlotToPatterns(); return true;
    case kCmdAutoscaleY: Autoscale(true); return true;
    case kCmdScaleDown:
    case kCmdScaleUp:
      ScaleReferenceIntensity(id == kCmdScaleDown ? 1.0 - RelativeYScaleStep() : 1.0 + RelativeYScaleStep());
      if (CQlwDocWindow* window = GetDiffractWnd()) window->ShowScroller(true);
      return true;
    case kCmdScrollLeft:
    case kCmdScrollRight: {
      const double width = s.m_visibleXMax - s.m_visibleXMin;
      ScrollPlotRange(id == kCmdScrollLeft ? -width : width);
      if (CQlwDocWindow* window = GetDiffractWnd()) window->ShowScroller(true);
      return true;
    }
    case kCmdZoomIn: ZoomPlotRange(1.1, 0.5, true); return true;
    case kCmdZoomOut: ZoomPlotRange(1.0 / 1.1, 0.5, true); return true;
    case kCmdNotImplemented: throw CLXXUnimplemented(kLXSeverityMessage, 0, __LINE__);
    default: return false;
  }
}

void CQlwDoc::OnUpdateDocCommand(CCmdUI* ui) {
  const UINT id = ui->m_nID;
  const CDiffractionSettings& s = m_settings;
  const bool hasPatterns = !m_patterns.empty();
  CQLPatternPtr firstPattern;
  GetFirstPattern(firstPattern, true);
  if (!firstPattern) GetFirstPattern(firstPattern, false);
  // Enabled only with a pattern, and checked on the first pattern's value.
  auto styleItem = [&](bool enabled, auto matches) {
    ui->Enable(enabled);
    ui->SetCheck(enabled && firstPattern && matches(*firstPattern) ? 1 : 0);
  };

  if (int i = IndexOf(kSimulationIds, id); i >= 0) {
    ui->Enable(TRUE);
    ui->SetCheck(s.m_simulationType == static_cast<LXTypes::QLSimulationType>(i + 1));
    return;
  }
  if (int i = IndexOf(kAxisIds, id); i >= 0) {
    const auto unit = static_cast<LXTypes::QLAxisType>(i + 1);
    bool enabled = true;
    switch (unit) {
      case LXTypes::kAxis2Theta:
        enabled = s.m_simulationType != LXTypes::kSimEnergyDispersive && s.m_simulationType != LXTypes::kSimTimeOfFlight;
        SetItemText(ui, kText2Theta);
        break;
      case LXTypes::kAxisTimeOfFlight: enabled = s.m_simulationType == LXTypes::kSimTimeOfFlight; break;
      case LXTypes::kAxisEnergy: enabled = s.m_simulationType == LXTypes::kSimEnergyDispersive; break;
      case LXTypes::kAxisTwoPiOverD: SetItemText(ui, kTextTwoPiOverD); break;
      default: break;
    }
    ui->Enable(enabled);
    ui->SetCheck(s.m_axisType == unit);
    return;
  }
  if (int i = IndexOf(kPeakFunctionIds, id); i >= 0) {
    const bool anyCrystal = CountPatternsOfType<CQLCrystalPattern>(m_patterns, false, false, false) > 0;
    ui->Enable(anyCrystal);
    ui->SetCheck(anyCrystal && s.m_profileType == static_cast<LXTypes::QLProfileType>(i + 1));
    return;
  }
  if (int i = IndexOf(kFilmTypeIds, id); i >= 0) {
    ui->Enable(TRUE);
    ui->SetCheck(s.m_filmType == static_cast<LXTypes::QLFilmType>(i + 1));
    return;
  }
  if (int i = IndexOf(kLineStyleIds, id); i >= 0) {
    styleItem(hasPatterns, [i](const CQLPattern& p) { return p.m_lineStyle == static_cast<std::uint32_t>(i); });
    return;
  }
  if (int i = IndexOf(kMarkerStyleIds, id); i >= 0) {
    styleItem(hasPatterns, [i](const CQLPattern& p) { return p.m_markerStyle == static_cast<std::uint32_t>(i); });
    return;
  }
  if (int i = LineWidthIndex(id); i >= 0) {
    const double width = kLineWidths[i].value;
    styleItem(hasPatterns, [width](const CQLPattern& p) { return SameValue(p.m_lineWidth, width); });
    return;
  }
  if (id >= kFirstMarkerSize && id <= kLastMarkerSize) {
    const double size = kMarkerSizes[id - kFirstMarkerSize];
    styleItem(hasPatterns && !s.m_filmMode, [size](const CQLPattern& p) { return SameValue(p.m_markerSize, size); });
    return;
  }
  if (id >= kFirstThreshold && id <= kLastThreshold) {
    const double threshold = 10.0 * (id - kFirstThreshold);
    const CQLPattern* crystal = GetSelectedCrystalPattern();
    if (!crystal) crystal = GetAnyCrystalPattern();
    ui->Enable(hasPatterns);
    ui->SetCheck(crystal && SameValue(crystal->m_labelThreshold, threshold) ? 1 : 0);
    return;
  }

  const auto selectedCrystals = CountPatternsOfType<CQLCrystalPattern>(m_patterns, true, false, false);
  switch (id) {
    case kCmdPeakWidth:
      ui->Enable(TRUE);
      return;
    case kCmdNewCrystal:
    case kCmdNewObserved:
    case kCmdReflexionLimit:
    case kCmdGridColour:
    case kCmdPlotRange:
    case kCmdSetPlotTitle:
    case kCmdSpectrumColours:
    case kCmdNewMixture:
    case kCmdResetColours:
    case kCmdSortByTitle:
    case kCmdSortByVisibility:
    case kCmdSortByColour:
    case kCmdSortByKind:
      ui->Enable(TRUE);
      break;
    case kCmdEditPattern:
      ui->Enable(selectedCrystals == 1 ||
                 (selectedCrystals == 0 && CountPatternsOfType<CQLObservedPattern>(m_patterns, true, false, false) == 1));
      break;
    case kCmdExportCif:
    case kCmdExportText:
    case kCmdExportReflexions:
    case kCmdExportStructureFactors:
      ui->Enable(CountPatternsOfType<CQLCrystalPattern>(m_patterns, true, true, false) == 1);
      break;
    case kCmdExportProfile:
      ui->Enable(CountPatterns(m_patterns, true, true, true) == 1);
      break;
    case kCmdWavelength:
      ui->Enable(s.m_simulationType == LXTypes::kSimXRays || s.m_simulationType == LXTypes::kSimNeutrons ||
                 s.m_simulationType == LXTypes::kSimElectrons);
      break;
    case kCmdFilm:
      ui->Enable(TRUE);
      ui->SetCheck(s.m_filmMode ? 1 : 0);
      break;
    case kCmdGraph:
      ui->Enable(TRUE);
      ui->SetCheck(s.m_filmMode ? 0 : 1);
      break;
    case kCmdShowGrid:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, s.m_showGrid != 0, kTextGrid, kTextGrid + 1);
      break;
    case kCmdLogY:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, s.m_logarithmicYAxis != 0, kTextLogY, kTextLogY + 1);
      break;
    case kCmdStacked:
    case kCmdCollapsed:
    case kCmdAutoscaleXY:
    case kCmdAutoscaleY:
      ui->Enable(HasShownPatterns());
      break;
    case kCmdShowPeakTips:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, s.m_showPeakTips != 0, kTextPeakTips, kTextPeakTips + 1);
      break;
    case kCmdShowCursor:
    case kCmdShowRuler: {
      const bool cursor = id == kCmdShowCursor;
      auto& settings = const_cast<CDiffractionSettings&>(s);
      const CTool* tool = cursor ? static_cast<CTool*>(settings.GetCursor(false)) : settings.GetRuler(false);
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, tool && tool->IsActive(), cursor ? kTextCursor : kTextRuler,
                           (cursor ? kTextCursor : kTextRuler) + 1);
      break;
    }
    case kCmdShowLoupe: {
      const CQlwDocWindow* window = GetDiffractWnd();
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, window && window->IsLoupeVisible(), kTextLoupe, kTextLoupe + 1);
      break;
    }
    case kCmdShowLegend:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, s.m_showLegend != 0, kTextLegend, kTextLegend + 1);
      break;
    case kCmdShowPlotTitle:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, s.m_showPlotTitle, kTextPlotTitle, kTextPlotTitle + 1);
      break;
    case kCmdSendToBack:
    case kCmdSendBackward:
    case kCmdBringForward:
    case kCmdBringToFront:
      ui->Enable(CountPatterns(m_patterns, true, false, false) > 0);
      break;
    case kCmdGoToPeak:
      ui->Enable(selectedCrystals == 1);
      break;
    case kCmdOverlay:
    case kCmdShowLabels: {
      CQLCrystalPattern* first = GetSelectedCrystalPattern();
      ui->Enable(first != nullptr);
      const bool on = first && *LabelFlag(*first, id);
      if (id == kCmdOverlay)
        CUtils::SetCmdUIText(ui, on, kTextOverlay, kTextOverlay + 1);
      else
        CUtils::SetCmdUIText(ui, on, kTextLabels, kTextLabels + 1);
      break;
    }
    case kCmdLabelDSpacing:
    case kCmdLabelHKL:
    case kCmdLabelPhaseName:
    case kCmdLabelXUnits:
    case kCmdLabelRelIntensity: {
      CQLCrystalPattern* first = GetSelectedCrystalPattern();
      ui->Enable(first != nullptr);
      ui->SetCheck(first && *LabelFlag(*first, id) ? 1 : 0);
      break;
    }
    case kCmdPatternColour:
      ui->Enable(!s.m_filmMode && hasPatterns);
      break;
    case kCmdScaleX:
      ui->Enable(GetSelectedObservedPattern() != nullptr);
      break;
    case kCmdCloseWithoutSaving:
      ui->Enable(IsModified());
      break;
    case kCmdOpenInSameWindow: {
      // The application carries it out; until it has the command the item stays off.
      AFX_CMDHANDLERINFO info{};
      CCmdTarget* app = qlw::ApplicationCommandTarget();
      ui->Enable(hasPatterns && app && app->OnCmdMsg(id, CN_COMMAND, nullptr, &info));
      break;
    }
    default:
      // The keyboard's plot commands and every id of another target.
      ui->ContinueRouting();
      break;
  }
}
