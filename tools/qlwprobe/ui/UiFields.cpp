// `field settings NAME…` and `field ROW NAME…`: values of the document's settings, or of the
// pattern at a row of the structures pane, under the names the preferences give them.
#include "UiApi.h"

#include <cstdio>
#include <map>

#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"

namespace qlwui {
namespace {
std::map<std::string, SettingsField>& SettingsFields() {
  static std::map<std::string, SettingsField> fields;
  return fields;
}

std::map<std::string, PatternField>& PatternFields() {
  static std::map<std::string, PatternField> fields;
  return fields;
}

// Rows as the structures pane lists the tree: an expanded mixture's components below it.
void CollectPatterns(const CQLPatternList& list, std::vector<CQLPattern*>& rows) {
  for (const CQLPatternPtr& p : list) {
    rows.push_back(p.get());
    if (const CQLPatternList* components = p->GetComponents(); components && p->IsExpanded())
      CollectPatterns(*components, rows);
  }
}

const char* KindPrefix(const CQLPattern& p) {
  switch (p.GetPatternType()) {
    case kPatternCrystal: return "Crystal";
    case kPatternMixture: return "Mixture";
    case kPatternObserved: return "Observed";
    default: return "";
  }
}

std::map<std::string, PatternKeyField>& PatternKeyFields() {
  static std::map<std::string, PatternKeyField> fields;
  return fields;
}

// A PREFIX:KEY name read by its family; false when the name is none of them.
bool ReadKeyField(CQLPattern& pattern, const std::string& name, std::string& value) {
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return false;
  const auto family = PatternKeyFields().find(name.substr(0, colon));
  return family != PatternKeyFields().end() && family->second(pattern, name.substr(colon + 1), value);
}

void RunField(const Line& line) {
  const std::string& where = line.Word(1, "settings or row");
  if (line.words.size() < 3) throw Failure("missing field name");
  if (where == "settings") {
    CDiffractionSettings* settings = Document()->GetSettings();
    if (!settings) throw Failure("the document has no settings");
    for (size_t i = 2; i < line.words.size(); ++i) {
      const auto field = SettingsFields().find(line.words[i]);
      if (field == SettingsFields().end()) throw Failure("no settings field " + line.words[i]);
      Print(line.words[i] + ": " + field->second(*settings));
    }
    return;
  }
  std::vector<CQLPattern*> rows;
  CollectPatterns(Document()->GetPatterns(), rows);
  const int row = ParseInt(where, "row");
  if (row < 0 || static_cast<size_t>(row) >= rows.size())
    throw Failure("row " + where + " is out of range (" + std::to_string(rows.size()) + ")");
  CQLPattern& pattern = *rows[static_cast<size_t>(row)];
  for (size_t i = 2; i < line.words.size(); ++i) {
    const std::string& name = line.words[i];
    std::string value;
    auto field = PatternFields().find(name);
    // The kind's line and marker values are named with the kind first (CrystalLineWidth).
    const std::string prefix = KindPrefix(pattern);
    if (field == PatternFields().end() && !prefix.empty() && name.rfind(prefix, 0) == 0) {
      std::string starred = "*";
      starred.append(name, prefix.size(), std::string::npos);
      field = PatternFields().find(starred);
    }
    if (ReadKeyField(pattern, name, value)) {
      Print(name + ": " + value);
      continue;
    }
    if (field == PatternFields().end() || !field->second(pattern, value))
      throw Failure("no field " + name + " in the pattern of row " + where);
    Print(name + ": " + value);
  }
}

template <class Kind>
Kind* As(CQLPattern& p) {
  return dynamic_cast<Kind*>(&p);
}

struct StandardFields {
  StandardFields() {
    using S = const CDiffractionSettings&;
    AddSettingsField("FontName", [](S s) { return FieldText(s.m_fontName); });
    AddSettingsField("FontColor", [](S s) { return FieldColour(s.m_fontColor); });
    AddSettingsField("FontSize", [](S s) { return FieldNumber(s.m_fontSize); });
    AddSettingsField("FontStyle", [](S s) { return FieldNumber(s.m_fontStyle); });
    AddSettingsField("TitleSize", [](S s) { return FieldNumber(s.m_titleSize); });
    AddSettingsField("GridColor", [](S s) { return FieldColour(s.m_gridColor); });
    AddSettingsField("GraphPaperColor", [](S s) { return FieldColour(s.m_graphPaperColor); });
    AddSettingsField("FrameColor", [](S s) { return FieldColour(s.m_frameColor); });
    AddSettingsField("SolidBackgroundColour", [](S s) { return FieldColour(s.m_solidBackgroundColor); });
    AddSettingsField("UseSolidBackground", [](S s) { return FieldFlag(s.m_useSolidBackground); });
    AddSettingsField("LogarithmicYAxis", [](S s) { return FieldFlag(s.m_logarithmicYAxis); });
    AddSettingsField("ShowGrid", [](S s) { return FieldFlag(s.m_showGrid); });
    AddSettingsField("ShowLegend", [](S s) { return FieldFlag(s.m_showLegend); });
    AddSettingsField("ShowPlotTitle", [](S s) { return FieldFlag(s.m_showPlotTitle); });
    AddSettingsField("ShowPeakTips", [](S s) { return FieldFlag(s.m_showPeakTips); });
    AddSettingsField("FilmMode", [](S s) { return FieldFlag(s.m_filmMode); });
    AddSettingsField("FilmType", [](S s) { return FieldNumber(s.m_filmType); });
    AddSettingsField("FilmGamma", [](S s) { return FieldNumber(s.m_filmGamma); });
    AddSettingsField("SimulationType", [](S s) { return FieldNumber(s.m_simulationType); });
    AddSettingsField("ProfileType", [](S s) { return FieldNumber(s.m_profileType); });
    AddSettingsField("AxisType", [](S s) { return FieldNumber(s.m_axisType); });
    AddSettingsField("DMin", [](S s) { return FieldNumber(s.m_dMin); });
    AddSettingsField("RestrictMaxNumRefs", [](S s) { return FieldFlag(s.m_restrictMaxNumRefs); });
    AddSettingsField("MaxNumRefs", [](S s) { return FieldNumber(s.m_maxNumRefs); });
    AddSettingsField("TTHPeakWidth", [](S s) { return FieldNumber(s.m_tthPeakWidth); });
    AddSettingsField("Monochromatic", [](S s) { return FieldFlag(s.m_monochromatic); });
    AddSettingsField("Lambda", [](S s) { return FieldNumber(s.m_lambda); });
    AddSettingsField("Lambda2", [](S s) { return FieldNumber(s.m_lambda2); });
    AddSettingsField("LambdaRatio", [](S s) { return FieldNumber(s.m_lambdaRatio); });
    AddSettingsField("EDXTheta", [](S s) { return FieldNumber(s.m_edxTheta); });
    AddSettingsField("EDXPeakWidth", [](S s) { return FieldNumber(s.m_edxPeakWidth); });
    AddSettingsField("TOFTheta", [](S s) { return FieldNumber(s.m_tofTheta); });
    AddSettingsField("TOFDistance", [](S s) { return FieldNumber(s.m_tofDistance); });
    AddSettingsField("TOFResolution", [](S s) { return FieldNumber(s.m_tofResolution); });
    AddSettingsField("LambdaTEM", [](S s) { return FieldNumber(s.m_lambdaTEM); });
    AddSettingsField("PeakWidthTEM", [](S s) { return FieldNumber(s.m_peakWidthTEM); });
    AddSettingsField("Eta", [](S s) { return FieldNumber(s.m_eta); });
    AddSettingsField("AutoColor", [](S s) { return FieldFlag(s.m_autoColor); });
    AddSettingsField("FixedColor", [](S s) { return FieldColour(s.m_fixedColor); });
    AddSettingsField("HideOverlappingLabels", [](S s) { return FieldFlag(s.m_hideOverlappingLabels); });

    // "*" stands for the kind: CrystalLineStyle, ObservedLineStyle, MixtureLineStyle.
    using P = CQLPattern&;
    using V = std::string&;
    AddPatternField("*LineStyle", [](P p, V v) { return v = FieldNumber(p.m_lineStyle), true; });
    AddPatternField("*LineWidth", [](P p, V v) { return v = FieldNumber(p.m_lineWidth), true; });
    AddPatternField("*MarkerStyle", [](P p, V v) { return v = FieldNumber(p.m_markerStyle), true; });
    AddPatternField("*MarkerSize", [](P p, V v) { return v = FieldNumber(p.m_markerSize), true; });
    AddPatternField("*UseShadow", [](P p, V v) { return v = FieldFlag(p.m_useShadow), true; });
    AddPatternField("ShowLabels", [](P p, V v) { return v = FieldFlag(p.m_showLabels), true; });
    AddPatternField("LabelThreshold", [](P p, V v) { return v = FieldNumber(p.m_labelThreshold), true; });
    AddPatternField("LabelHKL", [](P p, V v) { return v = FieldFlag(p.m_labelHKL), true; });
    AddPatternField("LabelDSpacing", [](P p, V v) { return v = FieldFlag(p.m_labelDSpacing), true; });
    AddPatternField("LabelXUnits", [](P p, V v) { return v = FieldFlag(p.m_labelXUnits), true; });
    AddPatternField("LabelRelIntensity", [](P p, V v) { return v = FieldFlag(p.m_labelRelIntensity), true; });
    AddPatternField("LabelPhaseName", [](P p, V v) { return v = FieldFlag(p.m_labelPhaseName), true; });
    AddPatternField("LabelColor", [](P p, V v) { return v = FieldColour(p.m_labelColor), true; });
    AddPatternField("LabelAlignment", [](P p, V v) { return v = FieldNumber(p.m_labelAlignment), true; });
    AddPatternField("RotateLabels", [](P p, V v) { return v = FieldFlag(p.m_rotateLabels), true; });
    AddPatternField("ShowLabelArrowhead", [](P p, V v) { return v = FieldFlag(p.m_labelArrowhead), true; });
    AddPatternField("ShowLabelOutline", [](P p, V v) { return v = FieldFlag(p.m_labelOutline), true; });
    AddPatternField("ShowLabelShadow", [](P p, V v) { return v = FieldFlag(p.m_labelShadow), true; });
    AddPatternField("ShowLabelFrame", [](P p, V v) { return v = FieldFlag(p.m_labelFrame), true; });
    AddPatternField("ShowOverlay", [](P p, V v) {
      auto* c = As<CQLCrystalPattern>(p);
      return c && (v = FieldFlag(c->m_showOverlay), true);
    });
    AddPatternField("OverlayColor", [](P p, V v) {
      auto* c = As<CQLCrystalPattern>(p);
      return c && (v = FieldColour(c->m_overlayColor), true);
    });
    AddPatternField("OverlayLineStyle", [](P p, V v) {
      auto* c = As<CQLCrystalPattern>(p);
      return c && (v = FieldNumber(c->m_overlayLineStyle), true);
    });
    AddPatternField("OverlayLineWidth", [](P p, V v) {
      auto* c = As<CQLCrystalPattern>(p);
      return c && (v = FieldNumber(c->m_overlayLineWidth), true);
    });
    AddPatternField("ParticleSize", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldNumber(c->m_particleSize), true);
    });
    AddPatternField("IsotropicStrain", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldNumber(c->m_isotropicStrain), true);
    });
    AddPatternField("UseThermalEllipsoids", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldFlag(c->m_useThermalEllipsoids), true);
    });
    AddPatternField("UsePreferredOrientation", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldFlag(c->m_usePreferredOrientation != 0), true);
    });
    AddPatternField("PreferredOrientationGeometry", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldNumber(c->m_poGeometry), true);
    });
    AddPatternField("PreferredOrientationVectorType", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldNumber(c->m_poVectorType), true);
    });
    AddPatternField("PreferredOrientationVector", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      if (!c) return false;
      v = FieldNumber(c->m_poVector[0]) + " " + FieldNumber(c->m_poVector[1]) + " " + FieldNumber(c->m_poVector[2]);
      return true;
    });
    AddPatternField("PreferredOrientationAlignment", [](P p, V v) {
      const CQLCrystal* c = p.GetCrystal();
      return c && (v = FieldNumber(c->m_poAlignment), true);
    });
    AddPatternField("ObservedAutoSetYScale", [](P p, V v) {
      auto* o = As<CQLObservedPattern>(p);
      return o && (v = FieldFlag(o->m_autoYScale), true);
    });
  }
} g_standardFields;
}  // namespace

void AddSettingsField(const char* name, SettingsField read) { SettingsFields()[name] = read; }
void AddPatternField(const char* name, PatternField read) { PatternFields()[name] = read; }
void AddPatternKeyField(const char* prefix, PatternKeyField read) { PatternKeyFields()[prefix] = read; }

std::string FieldNumber(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  return buffer;
}

std::string FieldFlag(bool value) { return value ? "1" : "0"; }

std::string FieldColour(std::uint32_t argb) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(argb));
  return buffer;
}

std::string FieldText(const CString& text) { return text.ToUtf8(); }
}  // namespace qlwui

QLW_UI_COMMAND(field, "field", "settings|ROW NAME...", qlwui::RunField);
