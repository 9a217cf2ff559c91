// The program preference store: creation and replacement, and the defaults of its named values.
#include "Preferences.h"

#include <memory>

#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "Registry.h"
#include "StaticInit.h"

CPreferences* g_pPreferences = nullptr;

namespace {
CPreferences::MainFrameWriter g_mainFrameWriter = nullptr;
CLXPreferences::CStateWriter* g_scatteringFactorsWriter = nullptr;

LXGraphics::CColor Argb(uint32_t argb) { return LXGraphics::CColor(argb); }
}  // namespace

void CPreferences::SetMainFrameWriter(MainFrameWriter writer) { g_mainFrameWriter = writer; }
void CPreferences::SetScatteringFactorsWriter(CStateWriter* writer) { g_scatteringFactorsWriter = writer; }

CPreferences* CPreferences::Create(bool defaultsOnly) {
  CLXMutexLock lock(g_prefsLock);
  // Without the named mutex, instances of the program may interleave their registry writes.
  ReportPrefsMutexFailure();
  PauseFrameworkThreads(true);
  CPreferences* store = nullptr;
  // Held across the whole load and save, so that the values' own locks of it are taken in-process
  // rather than through the lock file once for each of some hundreds of values.
  CLXMutexLock registry(g_prefsNamedMutex);
  qlw::RegistryBatch batch;  // and its hundreds of writes committed at once
  try {
    store = new CPreferences(defaultsOnly);
    if (!defaultsOnly) {
      CPrefValue::CStoreKeyScope storeKey;  // the new store's key, opened once for all its values
      store->SaveGroup(kCreationMask, false);
    }
  } catch (...) {
    PauseFrameworkThreads(false);
    throw;
  }
  PauseFrameworkThreads(false);
  return store;
}

CPreferences::CPreferences(bool defaultsOnly) {
  g_pPreferences = this;
  SetScatteringFactorTable(&m_ASF);
  try {
    CPrefValue::CStoreKeyScope storeKey;  // this store's key, opened once for all its values
    m_hasStoredPrefs = m_PrefsVersion.Read() == CPrefValue::kReadOK;
    InitLocale();
    SetDefaults();
    Load(defaultsOnly || !m_hasStoredPrefs);
  } catch (...) {
    // No destructor runs for a store that failed to construct: leave no global pointing into it.
    g_pPreferences = nullptr;
    SetScatteringFactorTable(nullptr);
    throw;
  }
}

CPreferences::CPreferences(DetachedTag tag) : CLXPreferences(tag) { SetDefaults(); }

CPreferences::~CPreferences() {
  if (m_detached) return;
  m_LastVisitedFolder.Write();
  if (g_pPreferences == this) g_pPreferences = nullptr;
  SetScatteringFactorTable(nullptr);
}

void CPreferences::SaveMainFrameState() {
  if (g_mainFrameWriter && g_mainFrameWriter()) SaveGroup(kGroupWindows, false);
}

void CPreferences::SavePaletteStates(const std::vector<CStateWriter*>* windows, bool skip) {
  if (skip) return;
  std::vector<CStateWriter*> list;
  if (windows) list = *windows;
  list.push_back(g_scatteringFactorsWriter);
  CLXPreferences::SavePaletteStates(&list, false);
}

void CPreferences::SaveSettings() { SaveGroup(kGroupSettings, false); }

void CPreferences::Recreate() { Create(false); }

void CPreferences::SetDefaults() {
  CLXPreferences::SetDefaults();
  m_PrefsVersion.Set(kPrefsVersion);

  // The engine's factory objects hold the defaults, so the two cannot drift apart.
  auto settings = std::make_unique<CDiffractionSettings>(true);
  auto crystalPattern = std::make_unique<CQLCrystalPattern>(true);
  const CQLCrystal& crystal = crystalPattern->m_crystal;
  auto mixturePattern = std::make_unique<CQLMixturePattern>(true);
  auto observedPattern = std::make_unique<CQLObservedPattern>(true);
  const CQLPattern& mixture = *mixturePattern;
  const CQLPattern& observed = *observedPattern;
  const CQLCurveStyle& background = observedPattern->m_backgroundStyle;
  CTool::FlatRec cursor;
  settings->GetCursor(true)->GetFlatRec(cursor);
  CRuler::FlatRec ruler;
  settings->GetRuler(true)->GetRulerRec(ruler);

  m_MainFrameRect.Set(CRect(0, 0, 0, 0));
  m_MainFrameMaximized.Set(false);
  m_WinBackColor.Set(Argb(0xFF000000u | (GetSysColor(COLOR_WINDOW) & 0xFFu) << 16 |
                          (GetSysColor(COLOR_WINDOW) & 0xFF00u) | (GetSysColor(COLOR_WINDOW) >> 16 & 0xFFu)));
  m_GraphPaperColor.Set(Argb(settings->m_graphPaperColor));
  m_FrameColor.Set(Argb(settings->m_frameColor));
  m_ShowOverlay.Set(crystalPattern->m_showOverlay != 0);
  m_ShowPeakTips.Set(settings->m_showPeakTips != 0);
  m_PeakTipClick.Set(true);
  m_RelScaleXFactInc.Set(0.1);
  m_RelScaleYFactInc.Set(0.01);
  m_MinWheelZDelta.Set(120);
  m_MinHWheelZDelta.Set(0);
  m_HelperAppVisualisePath.Set(CPath());
  m_PrefsWinRect.Set(CRect(0, 0, 0, 0));
  m_PrefsTabChoice.Set(-1);
  m_ShowStructures.Set(true);
  m_ShowParameters.Set(true);
  m_ShowReflexions.Set(false);
  m_ObservedAutoSetYScale.Set(true);
  m_ShowScroller.Set(true);
  m_SimulationType.Set(settings->m_simulationType);
  m_Lambda.Set(settings->m_lambda);
  m_Lambda2.Set(settings->m_lambda2);
  m_LambdaRatio.Set(settings->m_lambdaRatio);
  m_Monochromatic.Set(settings->m_monochromatic != 0);
  m_TTHPeakWidth.Set(settings->m_tthPeakWidth);
  m_TOFTheta.Set(settings->m_tofTheta);
  m_TOFDistance.Set(settings->m_tofDistance);
  m_TOFResolution.Set(settings->m_tofResolution);
  m_EDXTheta.Set(settings->m_edxTheta);
  m_EDXPeakWidth.Set(settings->m_edxPeakWidth);
  m_LambdaTEM.Set(settings->m_lambdaTEM);
  m_PeakWidthTEM.Set(settings->m_peakWidthTEM);
  // The factory record leaves the solid background off: the graph paper shows.
  m_UseSolidBackground.Set(settings->m_useSolidBackground != 0);
  m_SolidBackgroundColour.Set(Argb(settings->m_solidBackgroundColor));
  m_ProfileType.Set(settings->m_profileType);
  m_Eta.Set(settings->m_eta);
  m_DMin.Set(settings->m_dMin);
  m_RestrictMaxNumRefs.Set(settings->m_restrictMaxNumRefs != 0);
  m_MaxNumRefs.Set(settings->m_maxNumRefs);
  m_AutoColor.Set(settings->m_autoColor != 0);
  m_AxisType.Set(settings->m_axisType);
  m_FilmGamma.Set(settings->m_filmGamma);
  m_FilmMode.Set(settings->m_filmMode != 0);
  m_FilmType.Set(settings->m_filmType);
  m_FixedColor.Set(Argb(settings->m_fixedColor));
  m_FontColor.Set(Argb(settings->m_fontColor));
  m_FontName.Set(settings->m_fontName);
  m_FontSize.Set(settings->m_fontSize);
  m_FontStyle.Set(settings->m_fontStyle);
  m_GridColor.Set(Argb(settings->m_gridColor));
  m_LogarithmicYAxis.Set(settings->m_logarithmicYAxis != 0);
  m_ShowGrid.Set(settings->m_showGrid != 0);
  m_ShowLegend.Set(settings->m_showLegend != 0);
  m_ShowPlotTitle.Set(settings->m_showPlotTitle);
  m_TitleSize.Set(settings->m_titleSize);
  m_CrystalLineStyle.Set(crystalPattern->m_lineStyle);
  m_CrystalLineWidth.Set(crystalPattern->m_lineWidth);
  m_CrystalMarkerStyle.Set(crystalPattern->m_markerStyle);
  m_CrystalMarkerSize.Set(crystalPattern->m_markerSize);
  m_CrystalUseShadow.Set(crystalPattern->m_useShadow != 0);
  m_MixtureLineStyle.Set(mixture.m_lineStyle);
  m_MixtureLineWidth.Set(mixture.m_lineWidth);
  m_MixtureMarkerStyle.Set(mixture.m_markerStyle);
  m_MixtureMarkerSize.Set(mixture.m_markerSize);
  m_MixtureUseShadow.Set(mixture.m_useShadow != 0);
  m_ObservedLineStyle.Set(observed.m_lineStyle);
  m_ObservedLineWidth.Set(observed.m_lineWidth);
  m_ObservedMarkerStyle.Set(observed.m_markerStyle);
  m_ObservedMarkerSize.Set(observed.m_markerSize);
  m_ObservedUseShadow.Set(observed.m_useShadow != 0);
  m_OverlayColor.Set(Argb(crystalPattern->m_overlayColor));
  m_OverlayLineStyle.Set(crystalPattern->m_overlayLineStyle);
  m_OverlayLineWidth.Set(crystalPattern->m_overlayLineWidth);
  m_BackgroundColor.Set(Argb(background.color));
  m_BackgroundLineStyle.Set(background.lineStyle);
  m_BackgroundLineWidth.Set(background.lineWidth);
  // The background curve's style has no shadow flag of its own: the observed pattern's.
  m_BackgroundUseShadow.Set(observed.m_useShadow != 0);
  m_ParticleSize.Set(crystal.m_particleSize);
  m_IsotropicStrain.Set(crystal.m_isotropicStrain);
  m_UseThermalEllipsoids.Set(crystal.m_useThermalEllipsoids);
  m_UsePreferredOrientation.Set(crystal.m_usePreferredOrientation != 0);
  m_PreferredOrientationGeometry.Set(crystal.m_poGeometry);
  m_PreferredOrientationVector.Set(
      LXTypes::CVectorT<double>(crystal.m_poVector[0], crystal.m_poVector[1], crystal.m_poVector[2]));
  m_PreferredOrientationVectorType.Set(crystal.m_poVectorType);
  m_PreferredOrientationAlignment.Set(crystal.m_poAlignment);
  m_ShowLabels.Set(crystalPattern->m_showLabels != 0);
  m_LabelThreshold.Set(crystalPattern->m_labelThreshold);
  m_LabelHKL.Set(crystalPattern->m_labelHKL != 0);
  m_LabelDSpacing.Set(crystalPattern->m_labelDSpacing != 0);
  m_LabelXUnits.Set(crystalPattern->m_labelXUnits != 0);
  m_LabelRelIntensity.Set(crystalPattern->m_labelRelIntensity != 0);
  m_LabelPhaseName.Set(crystalPattern->m_labelPhaseName != 0);
  m_LabelColor.Set(Argb(crystalPattern->m_labelColor));
  m_LabelAlignment.Set(crystalPattern->m_labelAlignment);
  m_RotateLabels.Set(crystalPattern->m_rotateLabels != 0);
  m_ShowLabelArrowhead.Set(crystalPattern->m_labelArrowhead != 0);
  m_ShowLabelOutline.Set(crystalPattern->m_labelOutline != 0);
  m_ShowLabelShadow.Set(crystalPattern->m_labelShadow != 0);
  m_ShowLabelFrame.Set(crystalPattern->m_labelFrame != 0);
  m_HideOverlappingLabels.Set(settings->m_hideOverlappingLabels);
  m_ReflexionsRelHeight.Set(0.3);
  {
    std::vector<CLXASF> table = g_ElementTable;
    m_ASF.Swap(table);
  }
  m_ScatteringFactorsVisible.Set(false);
  m_ScatteringFactorsWinRect.Set(CRect(0, 0, 0, 0));
  m_StructuresWinWidth.Set(static_cast<int>(GetSystemMetrics(SM_CXMINTRACK) * 1.6));
  for (CPrefScalar<bool>* open :
       {&m_ParamOpenBackground, &m_ParamOpenFilm, &m_ParamOpenGraph, &m_ParamOpenGraphOptions, &m_ParamOpenInstrument,
        &m_ParamOpenLabels, &m_ParamOpenMixture, &m_ParamOpenOccupancy, &m_ParamOpenPattern, &m_ParamOpenPeakOverlay,
        &m_ParamOpenPreferredOrientation, &m_ParamOpenSample, &m_ParamOpenSmoothing, &m_ParamOpenText,
        &m_ParamOpenUnitCell, &m_ParamTabChoice})
    open->Set(false);
  m_CursorColor.Set(Argb(cursor.color));
  m_CursorVisible.Set(cursor.visible != 0);
  // Nothing else gives the loupe a first state: it starts hidden.
  m_LoupeVisible.Set(false);
  m_RulerOffset.Set(LXTypes::CPointT<float>(ruler.x, ruler.y));
  m_RulerColor.Set(Argb(ruler.color));
  m_RulerVisible.Set(ruler.visible != 0);
  m_RulerLocked.Set(ruler.locked != 0);
  m_RulerLength.Set(ruler.length);
  m_RulerNumDivisions.Set(ruler.numDivisions);
}
