// The diffraction window's panes at the smallest window through the window-script runner: the
// plot keeps its place, and the reflexions list gives way.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {
// Width and height of the plot that `plot` printed after the line `marker`.
std::pair<double, double> PlotSizeAfter(const std::string& out, const std::string& marker) {
  std::smatch m;
  const size_t at = out.find(marker);
  if (at == std::string::npos) return {0.0, 0.0};
  const std::string rest = out.substr(at + marker.size());
  if (!std::regex_search(rest, m, std::regex("^plot: \\S+ \\S+ (\\S+) (\\S+)\n"))) return {0.0, 0.0};
  return {std::stod(m[1]), std::stod(m[2])};
}
}  // namespace

// Reflexions pressed at 966 × 300, where the plot has no room to spare: the list yields, and the
// plot, its search bar and the Layout command all work once the window is large again.
TEST(UiPaneLayout, ReflexionsAtTheSmallestWindowLeaveThePlotItsRoom) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-pane-layout";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path script = folder / "script.txt";
  std::ofstream(script) << "open " << QLW_SOURCE_DIR << "/examples/rutile.cif\n"
                        << "resize 966 300\n"
                        << "command 33589\n"
                        << "state 33589\n"
                        << "print 2102\n"
                        << "resize 1400 900\n"
                        << "plot\n"
                        << "command 33589\n"
                        << "state 33589\n"
                        << "print 3100\n"
                        << "plot\n"
                        << "command 33589\n"
                        << "state 33589\n"
                        << "plot\n";
  const qlwtest::ProbeRun run = qlwtest::RunShell("cd '" + folder.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                                                  qlwtest::ProbeCommand("ui '" + script.string() + "'") + " 2>/dev/null");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> command 33589\n> state 33589\n33589: Show Reflexions List\n> print 2102\n2102: \n"),
            std::string::npos)
      << "the list gave way; the hkl search field is shown\n"
      << run.out;
  const auto enlarged = PlotSizeAfter(run.out, "> resize 1400 900\n> plot\n");
  EXPECT_GT(enlarged.first, 400.0) << run.out;
  EXPECT_GT(enlarged.second, 200.0) << run.out;

  // With room, the list is shown below the plot and hidden again.
  EXPECT_NE(run.out.find("33589: Hide Reflexions List\n> print 3100\n3100: 49 rows, 0 selected\n"), std::string::npos)
      << run.out;
  const auto shared = PlotSizeAfter(run.out, "3100: 49 rows, 0 selected\n> plot\n");
  EXPECT_GT(shared.first, 400.0) << run.out;
  EXPECT_GT(shared.second, 200.0) << run.out;
  EXPECT_LT(shared.second, enlarged.second);
  EXPECT_NE(run.out.find("33589: Hide Reflexions List\n> print 3100\n3100: 49 rows, 0 selected\n> plot\n"), std::string::npos);
  const auto alone = PlotSizeAfter(run.out, "> command 33589\n> state 33589\n33589: Show Reflexions List\n> plot\n");
  EXPECT_EQ(alone, enlarged);
}
