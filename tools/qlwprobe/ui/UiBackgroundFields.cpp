// Field names of an observed pattern's background values that the background pane edits.
#include "UiApi.h"

#include "QLObservedPattern.h"

namespace qlwui {
namespace {
CQLObservedPattern* Observed(CQLPattern& pattern) { return dynamic_cast<CQLObservedPattern*>(&pattern); }

struct BackgroundFields {
  BackgroundFields() {
    using P = CQLPattern&;
    using V = std::string&;
    AddPatternField("HideBackground", [](P p, V v) {
      CQLObservedPattern* o = Observed(p);
      return o && (v = FieldFlag(o->m_subtractBackground != 0), true);
    });
    AddPatternField("PreviewSubtraction", [](P p, V v) {
      CQLObservedPattern* o = Observed(p);
      return o && (v = FieldFlag(o->m_previewSubtraction != 0), true);
    });
    AddPatternField("ControlPoints", [](P p, V v) {
      CQLObservedPattern* o = Observed(p);
      return o && (v = FieldNumber(static_cast<double>(o->m_controlPoints.size())), true);
    });
  }
} g_backgroundFields;
}  // namespace
}  // namespace qlwui
