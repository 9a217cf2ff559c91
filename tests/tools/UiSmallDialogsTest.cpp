// The small dialogs of the document's commands, driven in the real window: what they show, what
// they refuse and what they leave in the document.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

std::string RunScript(const std::string& name, const std::string& script) {
  const qlwtest::ProbeRun run =
      qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-small-" + name), "open " + kRutile + "\n" + script);
  EXPECT_EQ(run.status, 0) << run.out;
  return run.out;
}

bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }
}  // namespace

// 1 1 1 at the first opening; 0 0 0 is refused with the dialog still open; what OK accepted is
// shown at the next opening.
TEST(UiSmallDialogs, FindPeakRemembersAndRefusesZeroIndices) {
  const std::string out = RunScript("findpeak",
                                    "command 33672\nprint 2004 2005 2006\n"
                                    "type 2004 0\ntype 2005 0\ntype 2006 0\nkey Return\nprint 2004\n"
                                    "type 2006 1\nkey Return\n"
                                    "command 33672\nprint 2004 2005 2006\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> print 2004 2005 2006\n2004: 1\n2005: 1\n2006: 1\n")) << out;
  EXPECT_TRUE(Has(out, "alert: Invalid Miller indices for peak. | At least one Miller index must be non-zero.\n"
                       "> print 2004\n2004: 0\n"))
      << out;
  EXPECT_TRUE(Has(out, "2004: 0\n2005: 0\n2006: 1\n")) << out;
}

// An empty or reversed range is refused and the visible window shown again; a good one is stored.
TEST(UiSmallDialogs, PlotLimitsRefuseABadRangeAndRestore) {
  const std::string out = RunScript("limits",
                                    "command 33578\nprint 2704 2701\n"
                                    "type 2704 30\ntype 2701 30\nkey Return\nprint 2704 2701\n"
                                    "type 2701 500\nprint 2701\n"
                                    "type 2704 20\ntype 2701 40\nkey Return\ndump\n");
  EXPECT_TRUE(Has(out, "2704: 0.000\n2701: 80.000\n> type")) << out;
  EXPECT_TRUE(Has(out, "alert: Invalid plot range. | The range of values you entered does not form a valid plot "
                       "range. The previous values have been restored.\n> print 2704 2701\n2704: 0.000\n2701: 80.000\n"))
      << out;
  EXPECT_TRUE(Has(out, "visible: 20.000000 40.000000\n")) << out;
}

// With only the measured pattern (10° to 80°) shown after a zoom, the data range starts at 9.5°:
// a minimum of 0 is refused with the range it must lie in, and the dialog stays open.
TEST(UiSmallDialogs, PlotLimitsSayWhyAMinimumBelowTheMeasuredDataIsRefused) {
  const std::string measured = std::string(QLW_SOURCE_DIR) + "/examples/rutile-anatase-measured.dat";
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(
      fs::path(qlwtest::ScratchDir()) / "ui-small-limits-measured",
      "open " + kRutile + " " + measured + "\ncommand 33578\ntype 2704 24\ntype 2701 46\nclick 1\n"
      "cell 3606 0 4\ncommand 33578\ntype 2704 0\nkey Return\nprint 2704 2701\nkey Escape\ndump\n");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "> key Return\nalert: Value out of range. | Please enter a value between 9.500 and 84.000. "
                           "The previous value has been restored.\n> print 2704 2701\n2704: 24.000\n2701: 46.000\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "visible: 24.000000 46.000000\n")) << run.out;
}

// OK is disabled while the title is empty, and Return then does not store the empty title.
TEST(UiSmallDialogs, PlotTitleNeedsText) {
  const std::string out = RunScript("title",
                                    "command 33581\nprint 2801 1\nkey Return\nprint 1\n"
                                    "type 2801 Rutile at 300 K\nprint 1\nkey Return\n"
                                    "command 33581\nprint 2801\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> print 2801 1\n2801: \ndisabled 1: OK\n> key Return\n> print 1\ndisabled 1: OK\n")) << out;
  EXPECT_TRUE(Has(out, "> print 1\n1: OK\n")) << out;
  EXPECT_TRUE(Has(out, "> print 2801\n2801: Rutile at 300 K\n")) << out;
}

// A monochromatic source hides the second line and the ratio; a preset still sets both lines and
// OK stores them.
TEST(UiSmallDialogs, WavelengthPresetsAndMonochromaticRule) {
  const std::string out = RunScript("wave",
                                    "command 33485\nprint 3911 3902 3912\nclick 3906\nprint 3900\nkey Return\n"
                                    "command 33485\nprint 3900\nkey Escape\n");
  EXPECT_TRUE(Has(out, "3911: [x] Monochromatic radiation\n3902: hidden\n3912: hidden\n")) << out;
  EXPECT_TRUE(Has(out, "> click 3906\n> print 3900\n3900: 1.54060\n")) << out;
  EXPECT_TRUE(Has(out, "> command 33485\n> print 3900\n3900: 1.54060\n")) << out;
}

// The width in the plot's unit with its label: 0.1° 2θ at 1.5405 Å is 0.00985 Å on a d axis, and
// OK without an edit leaves the stored 2θ width as it was.
TEST(UiSmallDialogs, PeakWidthShowsThePlotUnit) {
  const std::string out = RunScript("width",
                                    "command 33468\nprint 2601 2604\nkey Return\n"
                                    "command 33470\ncommand 33468\nprint 2601 2604\nkey Return\n"
                                    "command 33484\ncommand 33468\nprint 2601\nkey Escape\n");
  EXPECT_TRUE(Has(out, "2601: 0.100\n2604: °2θ\n")) << out;
  EXPECT_TRUE(Has(out, "2601: 0.010\n2604: Å\n")) << out;
  EXPECT_TRUE(Has(out, "> print 2601\n2601: 0.100\n")) << out;
}

// Export Graphics opens on the vector format; a pixel format shows the magnification and size
// lines, and BMP hides the transparency choice behind its white-background note.
TEST(UiSmallDialogs, ExportDialogShowsWhatEachFormatNeeds) {
  const std::string out = RunScript("export",
                                    "command 33280\nprint 4100 4104 4107 4113 4111\n"
                                    "click 4104\nprint 4100 4104 4115 4112 4111\n"
                                    "click 4101\nprint 4111 4112\nkey Escape\n");
  EXPECT_TRUE(Has(out, "4100: [x] SVG\n4104: [ ] PNG\n4107: hidden\n4113: Graphics will be exported in a "
                       "resolution-independent vector format.\n4111: [ ] Transparent background\n"))
      << out;
  EXPECT_TRUE(Has(out, "4100: [ ] SVG\n4104: [x] PNG\n4115: 2.00\n4112: hidden\n4111: [ ] Transparent background\n"))
      << out;
  EXPECT_TRUE(Has(out, "4111: hidden\n4112: Graphics will be drawn on a white background.\n")) << out;
}

// Under time of flight the broadening command stays on and its dialog opens in the axis's unit.
TEST(UiSmallDialogs, BroadeningStaysOnForTimeOfFlight) {
  const std::string out = RunScript("tof", "command 33478\nstate 33468\ncommand 33468\nprint 2601 2604\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> command 33478\n> state 33468\n33468: ")) << out;
  EXPECT_TRUE(Has(out, "> command 33468\n> print 2601 2604\n2601: ")) << out;
  EXPECT_TRUE(Has(out, "\n2604: ms\n")) << out;
}

// Widths stop below the poles of the conversion about d = 3 Å, where they would turn negative in
// another unit: 2θ under twice 2θ at 3 Å (59.509° at 1.5405 Å), 1/d under 2/3 Å⁻¹.
TEST(UiSmallDialogs, PeakWidthStaysBelowThePoles) {
  const std::string out = RunScript("width-poles",
                                    "command 33468\ntype 2601 70\nkey Return\ntype 2601 59\nkey Return\n"
                                    "field settings TTHPeakWidth\ncommand 33472\ncommand 33481\ncommand 33468\n"
                                    "type 2601 0.7\nkey Return\nkey Escape\n"
                                    "command 33470\ncommand 33468\nprint 2601 2604\nkey Return\nfield settings PeakWidthTEM\n");
  EXPECT_TRUE(Has(out, "alert: Value out of range. | Please enter a value between 0.000 and 59.509.")) << out;
  EXPECT_TRUE(Has(out, "TTHPeakWidth: 59\n")) << out;
  EXPECT_TRUE(Has(out, "alert: Value out of range. | Please enter a value between 0.0010 and 0.666666666.")) << out;
  // 0.02 Å⁻¹ about 3 Å on a d axis, confirmed unchanged.
  EXPECT_TRUE(Has(out, "2601: 0.1802\n2604: Å\n> key Return\n> field settings PeakWidthTEM\nPeakWidthTEM: 0.02\n"))
      << out;
}

// The electron width keeps its least 0.001 Å⁻¹ when the plot shows 2θ: 0.0005° 2θ lies below it
// and is refused, leaving the stored width as it was.
TEST(UiSmallDialogs, ElectronWidthKeepsItsLeastInThePlotUnit) {
  const std::string out = RunScript("width-electron", "command 33472\ncommand 33468\nprint 2604\ntype 2601 0.0005\n"
                                                      "key Return\nkey Escape\nfield settings PeakWidthTEM\n");
  EXPECT_TRUE(Has(out, "2604: °2θ\n> type 2601 0.0005\n> key Return\nalert: Value out of range.")) << out;
  EXPECT_TRUE(Has(out, "PeakWidthTEM: 0.02\n")) << out;
}

// A field open at its top (any d-spacing from 0 up) names its bounds readably when it refuses a
// value, not as the 309 digits of the largest double.
TEST(UiSmallDialogs, RangeAlertNamesAnOpenTopReadably) {
  const std::string out = RunScript("open-top", "command 33482\ntype 3002 -1\nkey Return\nprint 3002\nkey Escape\n");
  EXPECT_TRUE(Has(out, "alert: Value out of range. | Please enter a value between 0.0000 and 1.79769e+308. The "
                       "previous value has been restored.\n> print 3002\n3002: 0.7000\n"))
      << out;
}
