// The document's commands in the real window: menu states and texts as a user sees them after
// each command, and the plot ranges the commands leave.
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
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / ("ui-doc-" + name);
  fs::create_directories(folder);
  const fs::path path = folder / "script.txt";
  std::ofstream(path) << script;
  const qlwtest::ProbeRun run = qlwtest::RunShell("cd '" + folder.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                                                  qlwtest::ProbeCommand("ui '" + path.string() + "'") + " 2>/dev/null");
  EXPECT_EQ(run.status, 0) << run.out;
  return run.out;
}
}  // namespace

// Film and Graph share one flag; an energy-dispersive instrument takes 2θ off the axis menu.
TEST(UiDocCommands, MenuStatesFollowTheCommands) {
  const std::string out = RunScript("states",
                                    "open " + kRutile + "\n"
                                    "state 33576 33569 33579 33484\n"
                                    "command 33569\n"
                                    "state 33576 33569\n"
                                    "command 33579\n"
                                    "state 33579\n"
                                    "command 33471\n"
                                    "state 33484 33473 33471\n"
                                    "command 34472\n");
  EXPECT_EQ(out,
            "> open " + kRutile + "\n"
            "> state 33576 33569 33579 33484\n"
            "33576: [x] Graph\n"
            "33569: Film\n"
            "33579: Logarithmic Y Axis\n"
            "33484: [x] 2θ\n"
            "> command 33569\n"
            "> state 33576 33569\n"
            "33576: Graph\n"
            "33569: [x] Film\n"
            "> command 33579\n"
            "> state 33579\n"
            "33579: Linear Y Axis\n"
            "> command 33471\n"
            "> state 33484 33473 33471\n"
            "disabled 33484: 2θ\n"
            "33473: [x] Energy\n"
            "33471: [x] Energy-Dispersive X-Rays\n"
            "> command 34472\n"
            "alert: The requested feature has not yet been implemented. | We'll get to it just as soon as we can. Stay "
            "tuned!\n");
}

// Zoom by 1.1 about the middle, then the same window in d spacing (λ 1.5405 Å).
TEST(UiDocCommands, ZoomThenDSpacingKeepsTheWindow) {
  const std::string out = RunScript("zoom", "open " + kRutile + "\ncommand 34475\ndump\ncommand 33470\ndump\n");
  EXPECT_NE(out.find("visible: 3.636364 76.363636\n"), std::string::npos) << out;
  EXPECT_NE(out.find("visible: 1.246039 24.276715\n"), std::string::npos) << out;
  EXPECT_NE(out.find("x axis: d\n"), std::string::npos) << out;
}
