// The data cursor, the measuring ruler and the loupe driven from the real window: clicks and drags
// on the plot, their context menus, Copy, and the loupe's wheel and lens drag, read back through
// the runner's `plot` and `tools` lines.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

struct PlotRect {
  double x = 0, y = 0, w = 0, h = 0;
};

bool ReadPlot(const std::string& out, PlotRect& rect) {
  std::smatch m;
  if (!std::regex_search(out, m, std::regex("\nplot: ([-0-9.]+) ([-0-9.]+) ([-0-9.]+) ([-0-9.]+)\n"))) return false;
  rect = {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
  return true;
}

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", v);
  return buffer;
}

bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

// Rutile in a window whose plot is 500 pixels high and about 700 wide, showing 8.75 pixels per
// degree with 32° on the whole pixel 280 from the plot's left: measured in a first run, since the
// plot's margins follow the fonts.
struct RulerWindow {
  std::string setup;
  bool ok = false;
};

RulerWindow MakeRulerWindow(const fs::path& folder) {
  RulerWindow window;
  const qlwtest::ProbeRun probe = qlwtest::RunUiScript(folder, "open " + kRutile + "\nresize 1200 700\nplot\n");
  PlotRect plot;
  if (probe.status != 0 || !ReadPlot(probe.out, plot)) return window;
  // The canvas grows with the window, pixel for pixel; the plot's left margin stays.
  const long grow = std::lround(700 - plot.w);
  const int width = 1200 + int(grow), height = 700 + int(std::lround(500 - plot.h));
  const double ppu = 8.75;
  const double xMin = 32 - (std::lround(plot.x + 280) - plot.x) / ppu;
  const double xMax = xMin + (plot.w + double(grow)) / ppu;
  window.setup = "open " + kRutile + "\nresize " + std::to_string(width) + " " + std::to_string(height) +
                 "\ncommand 33578\ntype 2704 " + Number(xMin) + "\ntype 2701 " + Number(xMax) + "\nclick 1\n";
  window.ok = true;
  return window;
}
}  // namespace

TEST(UiPlotTools, TheIssuedTranscriptReadsTheCursorAndCopiesTheRulersDelta) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-plot-tools-transcript";
  fs::remove_all(folder);
  const RulerWindow window = MakeRulerWindow(folder / "measure");
  ASSERT_TRUE(window.ok);
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, window.setup +
                                                                 "plot\n"
                                                                 "mouse click 280px 100px\n"
                                                                 "tools\n"
                                                                 "tool ruler on\n"
                                                                 "mouse rclick 350px 250px menu 34169\n"
                                                                 "clipboard\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\nplot: [0-9.]+ [0-9.]+ (699|700)(\\.\\d+)? 500\nx: [0-9.]+ [0-9.]+ 8.75\n")))
      << run.out;
  EXPECT_TRUE(Has(run.out,
                  "> mouse click 280px 100px\n"
                  "> tools\n"
                  "cursor: on, unselected, x 32.000000, readout \"32.0000°\", d \"2.794 Å\"\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out,
                  "> tool ruler on\n"
                  "> mouse rclick 350px 250px menu 34169\n"
                  "menu: Copy Delta x | Copy Intensity | - | Move Down 50% | Zoom to Cursors | - | Change Colour... | - | Hide Ruler\n"
                  "> clipboard\n"
                  "clipboard: text \"22.85714\"\n"))
      << run.out;
}

// A ruler that is on but not selected leaves Copy to the plot; a click on it selects it without
// touching the cursor, and then Copy is its Δx. Drags move it, Shift only vertically; Zoom to
// Cursors from its menu zooms to its span and level and switches it off.
TEST(UiPlotTools, TheRulerFromTheWindowCopiesDragsAndZooms) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-plot-tools-ruler";
  fs::remove_all(folder);
  const RulerWindow window = MakeRulerWindow(folder / "measure");
  ASSERT_TRUE(window.ok);
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, window.setup +
                                                                 "tool ruler on\n"
                                                                 "command 57634\n"
                                                                 "clipboard\n"
                                                                 "mouse click 400px 250px\n"
                                                                 "tools\n"
                                                                 "command 57634\n"
                                                                 "clipboard\n"
                                                                 "mouse drag 400px 250px 430px 200px\n"
                                                                 "tools\n"
                                                                 "mouse drag 400px 200px 430px 100px 5 shift\n"
                                                                 "tools\n"
                                                                 "mouse rclick 420px 100px menu 34173\n"
                                                                 "tools\n"
                                                                 "dump\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("> command 57634\n> clipboard\nclipboard: image \\d+ x \\d+\n"))) << run.out;
  EXPECT_TRUE(Has(run.out,
                  "\nruler: on, selected, centre 349.78 250.00, length 200.00, left \"28.596 °\", right \"51.454 °\", "
                  "delta \"Δx: 22.857°\", level \"212.9\"\n"))
      << run.out;
  EXPECT_FALSE(Has(run.out, "cursor: on")) << "selecting the ruler is no click on the plot\n" << run.out;
  EXPECT_TRUE(Has(run.out, "> command 57634\n> clipboard\nclipboard: text \"22.85714\"\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "\nruler: on, selected, centre 379.78 200.00,")) << run.out;
  EXPECT_TRUE(Has(run.out, "\nruler: on, selected, centre 379.78 100.00,"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "Zoom to Cursors | - | Change Colour... | - | Hide Ruler\n> tools\ncursor: off")) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\nruler: off, unselected, [^\n]*\nloupe: none\n> dump\n")))
      << "once the window spans the ruler, the ruler goes\n" << run.out;
  EXPECT_TRUE(Has(run.out, "\nvisible: 32.025000 54.882143\ny range: 0.000000 340.588317\n")) << run.out;
}

// The loupe from its command: centred on the plot, the wheel steps its zoom by 10, a drag by the
// lens moves it with the pointer and renders the magnified plot only at the release.
TEST(UiPlotTools, TheLoupeFollowsTheWheelAndALensDragRendersAtTheRelease) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-plot-tools-loupe";
  fs::remove_all(folder);
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder,
                                                     "open " + kRutile + "\n"
                                                     "tools\n"
                                                     "plot\n"
                                                     "tool loupe on\n"
                                                     "tools\n"
                                                     "state 33585\n"
                                                     "mouse loupe wheel 300 300 120\n"
                                                     "mouse loupe wheel 300 300 0\n"
                                                     "mouse loupe press 300 300\n"
                                                     "mouse loupe move 320 310\n"
                                                     "tools\n"
                                                     "mouse loupe release 320 310\n"
                                                     "tools\n"
                                                     "mouse loupe click 390 430 menu 34569\n"
                                                     "tools\n"
                                                     "shot loupe.png loupe\n"
                                                     "tool loupe off\n"
                                                     "tools\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "\nloupe: none\n> plot\n")) << run.out;
  PlotRect plot;
  ASSERT_TRUE(ReadPlot(run.out, plot)) << run.out;
  const long cx = std::lround(plot.x + plot.w / 2) - std::lround(plot.x), cy = std::lround(plot.y + plot.h / 2) - std::lround(plot.y);
  const std::string centre = std::to_string(cx) + " " + std::to_string(cy);
  const std::string moved = std::to_string(cx + 20) + " " + std::to_string(cy + 10);
  EXPECT_TRUE(Has(run.out, "loupe: shown, 400%, circle, lens 300, centre " + centre + ", renders 1\n> state 33585\n33585: Hide Loupe\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "loupe: shown, 410%, circle, lens 300, centre " + moved + ", renders 2\n> mouse loupe release"))
      << "a wheel step renders, a lens drag does not\n" << run.out;
  EXPECT_TRUE(Has(run.out, "loupe: shown, 410%, circle, lens 300, centre " + moved + ", renders 3\n> mouse loupe click"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "> mouse loupe click 390 430 menu 34569\n"
                           "menu: [x] Circle | Square | - | 100% | 200% | 300% | [x] 400% | 500% | 600% | 700% | 800% | - | Hide Loupe\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "loupe: shown, 410%, square, lens 300,")) << run.out;
  EXPECT_TRUE(fs::file_size(folder / "loupe.png") > 0);
  EXPECT_TRUE(Has(run.out, "\nloupe: off, 410%, square, lens 300, centre " + moved + ", renders 4\n")) << run.out;
}

// The film draws the cursor's line without marks or labels: `tools` still names every pattern it
// crosses, with "-" for the label.
TEST(UiPlotTools, ToolsInFilmViewPrintTheCursorsMarksWithoutLabels) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-plot-tools-film";
  fs::remove_all(folder);
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, "open " + kRutile + "\n"
                                                                 "mouse click 40 100px\n"
                                                                 "tools\n"
                                                                 "command 33569\n"
                                                                 "tools\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const size_t graph = run.out.find("> tools\n"), film = run.out.find("> command 33569\n> tools\n");
  ASSERT_NE(film, std::string::npos) << run.out;
  EXPECT_TRUE(std::regex_search(run.out.substr(graph, film - graph), std::regex("\ncursor mark: rutile \\| [0-9.]+\n")))
      << run.out;
  EXPECT_NE(run.out.find("\ncursor mark: rutile | -\n", film), std::string::npos) << run.out;
}

// Stacked, the upper pattern's band starts hundreds of counts up; the cursor's marks read each
// pattern's own intensity, small for both at 50°, where neither has a peak.
TEST(UiPlotTools, CursorMarksOfStackedPatternsReadTheirOwnIntensity) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-plot-tools-stacked";
  fs::remove_all(folder);
  const std::string anatase = std::string(QLW_SOURCE_DIR) + "/examples/anatase-TiO2.cif";
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, "open " + kRutile + " " + anatase + "\n"
                                                                 "command 33592\n"
                                                                 "mouse click 50 100px\n"
                                                                 "tools\n");
  ASSERT_EQ(run.status, 0) << run.out;
  for (const std::string pattern : {"rutile", "anatase"}) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m,
                                  std::regex("\ncursor mark: " + pattern + " \\| ([0-9.]+)(?: × 10\\^(-?[0-9]+))?\n")))
        << run.out;
    const double value = std::stod(m[1]) * std::pow(10.0, m[2].matched ? std::stod(m[2]) : 0.0);
    EXPECT_LT(value, 5.0) << run.out;
  }
}
