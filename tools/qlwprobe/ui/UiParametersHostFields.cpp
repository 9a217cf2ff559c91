// Field names of the values the inspector's Format panes edit that the standard table names
// otherwise (the settings' fill and title flags).
#include "UiApi.h"

#include "DiffractionSettings.h"

namespace qlwui {
namespace {
struct InspectorFields {
  InspectorFields() {
    using S = const CDiffractionSettings&;
    AddSettingsField("SolidFill", [](S s) { return FieldFlag(s.m_useSolidBackground); });
    AddSettingsField("SolidFillColor", [](S s) { return FieldColour(s.m_solidBackgroundColor); });
    AddSettingsField("ShowTitle", [](S s) { return FieldFlag(s.m_showPlotTitle); });
  }
} g_inspectorFields;
}  // namespace
}  // namespace qlwui
