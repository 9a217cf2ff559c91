// The inspector through the window-script runner: its tabs, panes opened and closed by their
// headers, and the Format panes writing the document's settings as a user edits them.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
struct UiRun {
  std::string out;
  int status = -1;
};

UiRun RunScript(const std::string& name, const std::string& script) {
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-" + name), script, "",
                                                     std::string(QLW_SOURCE_DIR) + "/examples");
  return {run.out, run.status};
}
}  // namespace

TEST(UiInspector, GraphOptionsWriteGridAndFill) {
  const UiRun run = RunScript("inspector-graph-options",
                              "open rutile.cif\n"
                              "tab Format\n"
                              "print 2280 2282\n"
                              "click 2280\n"
                              "print 2282\n"
                              "click 2282\n"
                              "field settings ShowGrid\n"
                              "colour 2284 FF0000\n"
                              "field settings ShowGrid GridColor\n"
                              "print 2282 2284\n"
                              "colour 2283 0000FF\n"
                              "field settings SolidFill SolidFillColor\n"
                              "click 2281\n"
                              "field settings SolidFill\n"
                              "click 2280\n"
                              "print 2281\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open rutile.cif\n"
            "> tab Format\n"
            "> print 2280 2282\n"
            "2280: Graph Options\n"
            "2282: hidden\n"
            "> click 2280\n"
            "> print 2282\n"
            "2282: [x] Show grid lines\n"
            "> click 2282\n"
            "> field settings ShowGrid\n"
            "ShowGrid: 0\n"
            "> colour 2284 FF0000\n"
            "> field settings ShowGrid GridColor\n"
            "ShowGrid: 1\n"
            "GridColor: 0xFFFF0000\n"
            "> print 2282 2284\n"
            "2282: [x] Show grid lines\n"
            "2284: #FFFF0000\n"
            "> colour 2283 0000FF\n"
            "> field settings SolidFill SolidFillColor\n"
            "SolidFill: 0\n"
            "SolidFillColor: 0xFF0000FF\n"
            "> click 2281\n"
            "> field settings SolidFill\n"
            "SolidFill: 1\n"
            "> click 2280\n"
            "> print 2281\n"
            "2281: hidden\n");
}

TEST(UiInspector, FilmPaneInFilmViewChecksGammaAndWritesType) {
  const UiRun run = RunScript("inspector-film",
                              "open rutile.cif\n"
                              "tab Format\n"
                              "command 33569\n"
                              "click 2240\n"
                              "print 2242 2243\n"
                              "type 2243 4\n"
                              "key Return\n"
                              "print 2243\n"
                              "field settings FilmGamma\n"
                              "type 2243 2.5\n"
                              "key Return\n"
                              "print 2245\n"
                              "choose 2242 Ice\n"
                              "field settings FilmType FilmGamma\n"
                              "command 33576\n"
                              "print 2240\n");
  // The Film pane goes with the graph view: the last line finds no control.
  ASSERT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(run.out,
            "> open rutile.cif\n"
            "> tab Format\n"
            "> command 33569\n"
            "> click 2240\n"
            "> print 2242 2243\n"
            "2242: Negative (2 of 5)\n"
            "2243: 1.0\n"
            "> type 2243 4\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 1.0 and 3.0. The previous value has been "
            "restored.\n"
            "> print 2243\n"
            "2243: 1.0\n"
            "> field settings FilmGamma\n"
            "FilmGamma: 1\n"
            "> type 2243 2.5\n"
            "> key Return\n"
            "> print 2245\n"
            "2245: 75 of 100\n"
            "> choose 2242 Ice\n"
            "> field settings FilmType FilmGamma\n"
            "FilmType: 4\n"
            "FilmGamma: 2.5\n"
            "> command 33576\n"
            "> print 2240\n"
            "error: no control 2240\n");
}

TEST(UiInspector, PatternPanesWriteTheSelectedCrystal) {
  const UiRun run = RunScript("inspector-patterns",
                              "open rutile.cif\n"
                              "tab Format\n"
                              "command 34068\n"
                              "print 2257 2268\n"
                              "type 2273 12\n"
                              "key Return\n"
                              "print 2273\n"
                              "type 2273 2.5\n"
                              "key Return\n"
                              "field 0 CrystalLineWidth CrystalMarkerSize\n"
                              "click 2272\n"
                              "print 2257\n"
                              "click 2344\n"
                              "type 2346 101\n"
                              "key Return\n"
                              "click 2337\n"
                              "field 0 ShowLabels LabelThreshold\n"
                              "click 2260\n"
                              "colour 2261 FF0000\n"
                              "field 0 ShowOverlay OverlayColor\n"
                              "command 34069\n"
                              "print 2257 2346 2260\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open rutile.cif\n"
            "> tab Format\n"
            "> command 34068\n"
            "> print 2257 2268\n"
            "disabled 2257: 0.1\n"
            "2268: hidden\n"
            "> type 2273 12\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 0.1 and 10.0. The previous value has been "
            "restored.\n"
            "> print 2273\n"
            "2273: 1.0\n"
            "> type 2273 2.5\n"
            "> key Return\n"
            "> field 0 CrystalLineWidth CrystalMarkerSize\n"
            "CrystalLineWidth: 2.5\n"
            "CrystalMarkerSize: 4\n"
            "> click 2272\n"
            "> print 2257\n"
            "2257: 0.1\n"
            "> click 2344\n"
            "> type 2346 101\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 0 and 100. The previous value has been "
            "restored.\n"
            "> click 2337\n"
            "> field 0 ShowLabels LabelThreshold\n"
            "ShowLabels: 1\n"
            "LabelThreshold: 0\n"
            "> click 2260\n"
            "> colour 2261 FF0000\n"
            "> field 0 ShowOverlay OverlayColor\n"
            "ShowOverlay: 1\n"
            "OverlayColor: 0xFFFF0000\n"
            "> command 34069\n"
            "> print 2257 2346 2260\n"
            "2257: hidden\n"
            "2346: hidden\n"
            "2260: hidden\n");
}

TEST(UiInspector, BackgroundOverlayWaitsForABackgroundCurve) {
  const fs::path scan = fs::path(qlwtest::ScratchDir()) / "inspector-scan.xy";
  std::ofstream(scan) << "10.5 100\n11 120.25\n11.5 90\n12 80\n";
  const UiRun run = RunScript("inspector-background",
                              "open " + scan.string() + "\n"
                              "select 0\n"
                              "tab Format\n"
                              "command 34069\n"
                              "click 2240\n"
                              "print 2212 2237 2230\n"
                              "tab Parameters\n"
                              "print 2240\n");
  // No background curve yet: both groups greyed. The Parameters tab holds none of these panes.
  ASSERT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(run.out,
            "> open " + scan.string() + "\n"
            "> select 0\n"
            "> tab Format\n"
            "> command 34069\n"
            "> click 2240\n"
            "> print 2212 2237 2230\n"
            "disabled 2212: #FF000000\n"
            "disabled 2237: 2.0\n"
            "disabled 2230: 0.5\n"
            "> tab Parameters\n"
            "> print 2240\n"
            "error: no control 2240\n");
}

// DejaVu Sans (fonts-dejavu-core) has a bold face and no italic one.
TEST(UiInspector, TextPaneWritesFontAndColour) {
  const UiRun run = RunScript("inspector-text",
                              "open rutile.cif\n"
                              "tab Format\n"
                              "click 2510\n"
                              "choose 2513 DejaVu Sans\n"
                              "rows 2514\n"
                              "choose 2514 Bold\n"
                              "field settings FontName FontStyle\n"
                              "type 2523 14\n"
                              "key Return\n"
                              "type 2523 301\n"
                              "key Return\n"
                              "field settings FontSize FontStyle\n"
                              "colour 2522 FF0000\n"
                              "field settings FontColor\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open rutile.cif\n"
            "> tab Format\n"
            "> click 2510\n"
            "> choose 2513 DejaVu Sans\n"
            "> rows 2514\n"
            "Normal *\n"
            "Bold\n"
            "Italic\n"
            "Bold Italic\n"
            "> choose 2514 Bold\n"
            "> field settings FontName FontStyle\n"
            "FontName: DejaVu Sans\n"
            "FontStyle: 1\n"
            "> type 2523 14\n"
            "> key Return\n"
            "> type 2523 301\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 1 and 300. The previous value has been "
            "restored.\n"
            "> field settings FontSize FontStyle\n"
            "FontSize: 14\n"
            "FontStyle: 1\n"
            "> colour 2522 FF0000\n"
            "> field settings FontColor\n"
            "FontColor: 0xFFFF0000\n");
}
