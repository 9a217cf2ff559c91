// The program's preference store CPreferences: its 131 named values after the framework's own,
// their defaults taken from the engine's factory objects, and the store's creation. Every
// subsystem reads its settings through g_pPreferences; the framework part is LXPreferences.h.
#pragma once

#include "DiffractionSettings.h"
#include "LXASF.h"
#include "LXPreferences.h"
#include "QLCrystal.h"

class CPreferences;
// The current program store, or null while none exists.
extern CPreferences* g_pPreferences;

class CPreferences : public CLXPreferences {
 public:
  static constexpr uint32_t kPrefsVersion = 9;

  // Builds a new store that replaces the current one. Unless defaultsOnly, values are read
  // from the registry and every changed group is then written back (all of them for a new
  // store). Threads that read preferences are paused around the replacement.
  static CPreferences* Create(bool defaultsOnly);

  explicit CPreferences(bool defaultsOnly);
  // A detached store holding the factory defaults: the current store, the registry and the
  // program-wide pointers are left alone. Used to compare, copy and put back values.
  explicit CPreferences(DetachedTag tag);
  ~CPreferences() override;

  uint32_t GetPrefsVersion() override { return kPrefsVersion; }
  uint32_t GetMinPrefsVersion() override { return kPrefsVersion; }
  void SaveMainFrameState() override;
  void SavePaletteStates(const std::vector<CStateWriter*>* windows, bool skip) override;
  void SaveSettings() override;
  void Recreate() override;
  void SetDefaults() override;

  // The main window's placement writer and the scattering-factors palette, installed by the
  // windows that have them.
  using MainFrameWriter = bool (*)();
  static void SetMainFrameWriter(MainFrameWriter writer);
  static void SetScatteringFactorsWriter(CStateWriter* writer);

  // Line, marker and label-placement values hold the plot view's enumerators as 32-bit numbers.
  CPrefScalar<CRect> m_MainFrameRect{L"MainFrameRect", 0x40, &m_values};
  CPrefScalar<bool> m_MainFrameMaximized{L"MainFrameMaximized", 0x40, &m_values};
  CPrefScalar<LXGraphics::CColor> m_WinBackColor{L"WinBackColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<LXGraphics::CColor> m_GraphPaperColor{L"GraphPaperColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<LXGraphics::CColor> m_FrameColor{L"FrameColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<bool> m_ShowOverlay{L"ShowOverlay", 0x40, &m_values};
  CPrefScalar<bool> m_ShowPeakTips{L"ShowPeakTips", 0x40, &m_values};
  CPrefScalar<bool> m_PeakTipClick{L"PeakTipClick", 0x8, &m_values};
  CPrefScalar<double> m_RelScaleXFactInc{L"RelScaleXFactInc", 0x40, &m_values};
  CPrefScalar<double> m_RelScaleYFactInc{L"RelScaleYFactInc", 0x40, &m_values};
  CPrefScalar<int> m_MinWheelZDelta{L"MinWheelZDelta", 0x40, &m_values};
  CPrefScalar<int> m_MinHWheelZDelta{L"MinHWheelZDelta", 0x40, &m_values};
  CPrefScalar<CPath> m_HelperAppVisualisePath{L"HelperAppVisualisePath", 0x10, &m_values};
  CPrefScalar<CRect> m_PrefsWinRect{L"PrefsWinRect", 0x8, &m_values};
  CPrefScalar<int> m_PrefsTabChoice{L"PrefsTabChoice", 0x8, &m_values};
  CPrefScalar<bool> m_ShowStructures{L"ShowStructures", 0x40, &m_values};
  CPrefScalar<bool> m_ShowParameters{L"ShowParameters", 0x40, &m_values};
  CPrefScalar<bool> m_ShowReflexions{L"ShowReflexions", 0x40, &m_values};
  CPrefScalar<bool> m_ObservedAutoSetYScale{L"ObservedAutoSetYScale", 0x8, &m_values};
  CPrefScalar<bool> m_ShowScroller{L"ShowScroller", 0x8, &m_values};
  CPrefScalar<LXTypes::QLSimulationType> m_SimulationType{L"SimulationType", 0x8, &m_values};
  CPrefScalar<double> m_Lambda{L"Lambda", 0x8, &m_values};
  CPrefScalar<double> m_Lambda2{L"Lambda2", 0x8, &m_values};
  CPrefScalar<double> m_LambdaRatio{L"LambdaRatio", 0x8, &m_values};
  CPrefScalar<bool> m_Monochromatic{L"Monochromatic", 0x8, &m_values};
  CPrefScalar<double> m_TTHPeakWidth{L"TTHPeakWidth", 0x8, &m_values};
  CPrefScalar<double> m_TOFTheta{L"TOFTheta", 0x8, &m_values};
  CPrefScalar<double> m_TOFDistance{L"TOFDistance", 0x8, &m_values};
  CPrefScalar<double> m_TOFResolution{L"TOFResolution", 0x8, &m_values};
  CPrefScalar<double> m_EDXTheta{L"EDXTheta", 0x8, &m_values};
  CPrefScalar<double> m_EDXPeakWidth{L"EDXPeakWidth", 0x8, &m_values};
  CPrefScalar<double> m_LambdaTEM{L"LambdaTEM", 0x8, &m_values};
  CPrefScalar<double> m_PeakWidthTEM{L"PeakWidthTEM", 0x8, &m_values};
  CPrefScalar<bool> m_UseSolidBackground{L"UseSolidBackground", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_SolidBackgroundColour{L"SolidBackgroundColour", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<LXTypes::QLProfileType> m_ProfileType{L"ProfileType", 0x8, &m_values};
  CPrefScalar<double> m_Eta{L"Eta", 0x8, &m_values};
  CPrefScalar<double> m_DMin{L"DMin", 0x8, &m_values};
  CPrefScalar<bool> m_RestrictMaxNumRefs{L"RestrictMaxNumRefs", 0x8, &m_values};
  CPrefScalar<unsigned> m_MaxNumRefs{L"MaxNumRefs", 0x8, &m_values};
  CPrefScalar<bool> m_AutoColor{L"AutoColor", 0x8, &m_values};
  CPrefScalar<LXTypes::QLAxisType> m_AxisType{L"AxisType", 0x8, &m_values};
  CPrefScalar<double> m_FilmGamma{L"FilmGamma", 0x8, &m_values};
  CPrefScalar<bool> m_FilmMode{L"FilmMode", 0x10, &m_values};
  CPrefScalar<LXTypes::QLFilmType> m_FilmType{L"FilmType", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_FixedColor{L"FixedColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<LXGraphics::CColor> m_FontColor{L"FontColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<CString> m_FontName{L"FontName", 0x8, &m_values};
  CPrefScalar<float> m_FontSize{L"FontSize", 0x8, &m_values};
  CPrefScalar<unsigned> m_FontStyle{L"FontStyle", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_GridColor{L"GridColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<bool> m_LogarithmicYAxis{L"LogarithmicYAxis", 0x8, &m_values};
  CPrefScalar<bool> m_ShowGrid{L"ShowGrid", 0x8, &m_values};
  CPrefScalar<bool> m_ShowLegend{L"ShowLegend", 0x8, &m_values};
  CPrefScalar<bool> m_ShowPlotTitle{L"ShowPlotTitle", 0x40, &m_values};
  CPrefScalar<float> m_TitleSize{L"TitleSize", 0x8, &m_values};
  CPrefScalar<unsigned> m_CrystalLineStyle{L"CrystalLineStyle", 0x8, &m_values};
  CPrefScalar<double> m_CrystalLineWidth{L"CrystalLineWidth", 0x8, &m_values};
  CPrefScalar<unsigned> m_CrystalMarkerStyle{L"CrystalMarkerStyle", 0x8, &m_values};
  CPrefScalar<double> m_CrystalMarkerSize{L"CrystalMarkerSize", 0x8, &m_values};
  CPrefScalar<bool> m_CrystalUseShadow{L"CrystalUseShadow", 0x8, &m_values};
  CPrefScalar<unsigned> m_MixtureLineStyle{L"MixtureLineStyle", 0x8, &m_values};
  CPrefScalar<double> m_MixtureLineWidth{L"MixtureLineWidth", 0x8, &m_values};
  CPrefScalar<unsigned> m_MixtureMarkerStyle{L"MixtureMarkerStyle", 0x8, &m_values};
  CPrefScalar<double> m_MixtureMarkerSize{L"MixtureMarkerSize", 0x8, &m_values};
  CPrefScalar<bool> m_MixtureUseShadow{L"MixtureUseShadow", 0x8, &m_values};
  CPrefScalar<unsigned> m_ObservedLineStyle{L"ObservedLineStyle", 0x8, &m_values};
  CPrefScalar<double> m_ObservedLineWidth{L"ObservedLineWidth", 0x8, &m_values};
  CPrefScalar<unsigned> m_ObservedMarkerStyle{L"ObservedMarkerStyle", 0x8, &m_values};
  CPrefScalar<double> m_ObservedMarkerSize{L"ObservedMarkerSize", 0x8, &m_values};
  CPrefScalar<bool> m_ObservedUseShadow{L"ObservedUseShadow", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_OverlayColor{L"OverlayColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<unsigned> m_OverlayLineStyle{L"OverlayLineStyle", 0x8, &m_values};
  CPrefScalar<double> m_OverlayLineWidth{L"OverlayLineWidth", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_BackgroundColor{L"BackgroundColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<unsigned> m_BackgroundLineStyle{L"BackgroundLineStyle", 0x8, &m_values};
  CPrefScalar<double> m_BackgroundLineWidth{L"BackgroundLineWidth", 0x8, &m_values};
  CPrefScalar<bool> m_BackgroundUseShadow{L"BackgroundUseShadow", 0x8, &m_values};
  CPrefScalar<double> m_ParticleSize{L"ParticleSize", 0x8, &m_values};
  CPrefScalar<double> m_IsotropicStrain{L"IsotropicStrain", 0x8, &m_values};
  CPrefScalar<bool> m_UseThermalEllipsoids{L"UseThermalEllipsoids", 0x8, &m_values};
  CPrefScalar<bool> m_UsePreferredOrientation{L"UsePreferredOrientation", 0x8, &m_values};
  CPrefScalar<CQLCrystal::PreferredOrientationType> m_PreferredOrientationGeometry{L"PreferredOrientationGeometry", 0x8, &m_values};
  CPrefScalar<LXTypes::CVectorT<double>> m_PreferredOrientationVector{L"PreferredOrientationVector", 0x8, &m_values};
  CPrefScalar<CQLCrystal::QLVectorType> m_PreferredOrientationVectorType{L"PreferredOrientationVectorType", 0x8, &m_values};
  CPrefScalar<double> m_PreferredOrientationAlignment{L"PreferredOrientationAlignment", 0x8, &m_values};
  CPrefScalar<bool> m_ShowLabels{L"ShowLabels", 0x8, &m_values};
  CPrefScalar<double> m_LabelThreshold{L"LabelThreshold", 0x8, &m_values};
  CPrefScalar<bool> m_LabelHKL{L"LabelHKL", 0x8, &m_values};
  CPrefScalar<bool> m_LabelDSpacing{L"LabelDSpacing", 0x8, &m_values};
  CPrefScalar<bool> m_LabelXUnits{L"LabelXUnits", 0x8, &m_values};
  CPrefScalar<bool> m_LabelRelIntensity{L"LabelRelIntensity", 0x8, &m_values};
  CPrefScalar<bool> m_LabelPhaseName{L"LabelPhaseName", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_LabelColor{L"LabelColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<unsigned> m_LabelAlignment{L"LabelAlignment", 0x8, &m_values};
  CPrefScalar<bool> m_RotateLabels{L"RotateLabels", 0x8, &m_values};
  CPrefScalar<bool> m_ShowLabelArrowhead{L"ShowLabelArrowhead", 0x8, &m_values};
  CPrefScalar<bool> m_ShowLabelOutline{L"ShowLabelOutline", 0x8, &m_values};
  CPrefScalar<bool> m_ShowLabelShadow{L"ShowLabelShadow", 0x8, &m_values};
  CPrefScalar<bool> m_ShowLabelFrame{L"ShowLabelFrame", 0x8, &m_values};
  CPrefScalar<bool> m_HideOverlappingLabels{L"HideOverlappingLabels", 0x8, &m_values};
  CPrefScalar<double> m_ReflexionsRelHeight{L"ReflexionsRelHeight", 0x40, &m_values};
  CASFPrefArray m_ASF{L"ASF", 0x10, &m_values};
  CPrefScalar<bool> m_ScatteringFactorsVisible{L"ScatteringFactorsVisible", 0x40, &m_values};
  CPrefScalar<CRect> m_ScatteringFactorsWinRect{L"ScatteringFactorsWinRect", 0x40, &m_values};
  CPrefScalar<int> m_StructuresWinWidth{L"StructuresWinWidth", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenBackground{L"ParamOpenBackground", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenFilm{L"ParamOpenFilm", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenGraph{L"ParamOpenGraph", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenGraphOptions{L"ParamOpenGraphOptions", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenInstrument{L"ParamOpenInstrument", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenLabels{L"ParamOpenLabels", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenMixture{L"ParamOpenMixture", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenOccupancy{L"ParamOpenOccupancy", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenPattern{L"ParamOpenPattern", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenPeakOverlay{L"ParamOpenPeakOverlay", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenPreferredOrientation{L"ParamOpenPreferredOrientation", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenSample{L"ParamOpenSample", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenSmoothing{L"ParamOpenSmoothing", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenText{L"ParamOpenText", 0x40, &m_values};
  CPrefScalar<bool> m_ParamOpenUnitCell{L"ParamOpenUnitCell", 0x40, &m_values};
  CPrefScalar<bool> m_ParamTabChoice{L"ParamTabChoice", 0x40, &m_values};
  CPrefScalar<LXGraphics::CColor> m_CursorColor{L"CursorColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<bool> m_CursorVisible{L"CursorVisible", 0x8, &m_values};
  CPrefScalar<bool> m_LoupeVisible{L"LoupeVisible", 0x8, &m_values};
  CPrefScalar<LXTypes::CPointT<float>> m_RulerOffset{L"RulerOffset", 0x8, &m_values};
  CPrefScalar<LXGraphics::CColor> m_RulerColor{L"RulerColor", 0x8, &m_values, LXGraphics::CColor(0xFF000000u)};
  CPrefScalar<bool> m_RulerVisible{L"RulerVisible", 0x8, &m_values};
  CPrefScalar<bool> m_RulerLocked{L"RulerLocked", 0x8, &m_values};
  CPrefScalar<double> m_RulerLength{L"RulerLength", 0x8, &m_values};
  CPrefScalar<int> m_RulerNumDivisions{L"RulerNumDivisions", 0x8, &m_values};
};
