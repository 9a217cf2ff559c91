// Field names of the values the inspector's Parameters panes edit: position and scale, mixture
// lock, smoothing, sample, preferred orientation, the cell and the sites (`Site:LABEL`).
#include "UiApi.h"

#include <cstdio>

#include "QLCrystal.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QLSite.h"

namespace qlwui {
namespace {
using P = CQLPattern&;
using V = std::string&;

// Reads a crystal's value; false for a pattern without a crystal.
template <class Read>
bool FromCrystal(P p, V v, Read read) {
  const CQLCrystal* c = p.GetCrystal();
  return c && (v = read(*c), true);
}

template <class Read>
bool FromObserved(P p, V v, Read read) {
  const auto* o = dynamic_cast<const CQLObservedPattern*>(&p);
  return o && (v = read(*o), true);
}

// "Ti=0.5000 O=0.5000 include=1 lock=0"
bool ReadSite(P p, const std::string& label, V v) {
  const CQLCrystal* c = p.GetCrystal();
  if (!c) return false;
  for (const CQLSite& site : c->m_sites) {
    if (Utf8(site.m_label.GetString()) != label) continue;
    v.clear();
    for (const CSiteSpecies& s : site.m_species) {
      char occupancy[32];
      std::snprintf(occupancy, sizeof occupancy, "%.4f", s.m_occupancy);
      v += Utf8(s.m_name.GetString()) + "=" + occupancy + " ";
    }
    v += "include=" + FieldFlag(site.m_included) + " lock=" + FieldFlag(site.m_fillVacancies);
    return true;
  }
  return false;
}

struct ParameterFields {
  ParameterFields() {
    AddPatternField("XOffset", [](P p, V v) { return v = FieldNumber(p.m_xOffset), true; });
    AddPatternField("YOffset", [](P p, V v) { return v = FieldNumber(p.m_yOffset), true; });
    AddPatternField("YScale", [](P p, V v) { return v = FieldNumber(p.m_yScale), true; });
    AddPatternField("UseYScale", [](P p, V v) { return v = FieldFlag(p.m_yScaleOn), true; });
    AddPatternField("WeightFraction", [](P p, V v) { return v = FieldNumber(p.m_fraction), true; });
    AddPatternField("LockTotal", [](P p, V v) {
      const auto* m = dynamic_cast<const CQLMixturePattern*>(&p);
      return m && (v = FieldFlag(m->m_fillUp), true);
    });
    AddPatternField("Smooth", [](P p, V v) {
      return FromObserved(p, v, [](const CQLObservedPattern& o) { return FieldFlag(o.m_smoothing); });
    });
    AddPatternField("OverlaySmoothed", [](P p, V v) {
      return FromObserved(p, v, [](const CQLObservedPattern& o) { return FieldFlag(o.m_overlaySmoothed); });
    });
    AddPatternField("SmoothRadius", [](P p, V v) {
      return FromObserved(p, v, [](const CQLObservedPattern& o) { return FieldNumber(o.m_smoothingPoints); });
    });
    AddPatternField("SmoothedPoints", [](P p, V v) {
      return FromObserved(p, v, [](const CQLObservedPattern& o) { return FieldNumber(double(o.m_smoothedCurve.size())); });
    });
    AddPatternField("Strain", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_isotropicStrain); });
    });
    AddPatternField("UseADP", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldFlag(c.m_useThermalEllipsoids); });
    });
    AddPatternField("HasADP", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldFlag(c.m_hasDisplacements); });
    });
    AddPatternField("PO", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldFlag(c.m_usePreferredOrientation != 0); });
    });
    AddPatternField("POGeometry", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_poGeometry); });
    });
    AddPatternField("POVectorType", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_poVectorType); });
    });
    AddPatternField("POVector", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) {
        return FieldNumber(c.m_poVector[0]) + " " + FieldNumber(c.m_poVector[1]) + " " + FieldNumber(c.m_poVector[2]);
      });
    });
    AddPatternField("Alignment", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_poAlignment); });
    });
    AddPatternField("a", [](P p, V v) { return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_a); }); });
    AddPatternField("b", [](P p, V v) { return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_b); }); });
    AddPatternField("c", [](P p, V v) { return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_c); }); });
    AddPatternField("alpha", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_alpha); });
    });
    AddPatternField("beta", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_beta); });
    });
    AddPatternField("gamma", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_gamma); });
    });
    AddPatternField("Volume", [](P p, V v) {
      return FromCrystal(p, v, [](const CQLCrystal& c) { return FieldNumber(c.m_volume); });
    });
    AddPatternKeyField("Site", &ReadSite);
  }
} g_parameterFields;
}  // namespace
}  // namespace qlwui
