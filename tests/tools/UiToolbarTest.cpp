// The toolbar through the window-script runner: its buttons as check boxes that follow the
// document, its context menu, and the overflow menu of a narrow window, across two starts.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

struct UiRun {
  std::string out;
  int status = -1;
};

// Runs a script with the registry in `folder`, so that a second run starts where the first left.
UiRun RunScript(const fs::path& folder, const std::string& name, const std::string& script) {
  const qlwtest::ProbeRun run =
      qlwtest::RunUiScript(folder, script, "", "", "env -u QLW_RUNTIME_DIR QLW_REGISTRY_DIR='" + (folder / "registry").string() + "'",
                           name + ".txt");
  return {run.out, run.status};
}

bool Has(const std::string& out, const std::string& line) { return out.find("\n" + line + "\n") != std::string::npos; }
}  // namespace

TEST(UiToolbar, ButtonsFollowTheDocumentAndActOnIt) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-toolbar-buttons";
  fs::remove_all(folder);
  const UiRun run = RunScript(folder, "script",
                              "open " + kRutile + "\n"
                              "state 33576 33569 33579 33484\n"
                              "command 33569\n"
                              "print 3813 3809\n"
                              "command 33471\n"
                              "state 33484\n"
                              "click 3809\n"
                              "print 3809\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open " + kRutile + "\n"
            "> state 33576 33569 33579 33484\n"
            "33576: [x] Graph\n"
            "33569: Film\n"
            "33579: Logarithmic Y Axis\n"
            "33484: [x] 2θ\n"
            "> command 33569\n"
            "> print 3813 3809\n"
            "3813: [x] Display Graph\n"
            "3809: [ ] Use Log Scale\n"
            "> command 33471\n"
            "> state 33484\n"
            "disabled 33484: 2θ\n"
            "> click 3809\n"
            "> print 3809\n"
            "3809: [x] Use Lin Scale\n");
}

TEST(UiToolbar, ContextMenuShowsItemsAndStandardToolsetRestoresTheDefaults) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-toolbar-menu";
  fs::remove_all(folder);
  const UiRun run = RunScript(folder, "script",
                              "open " + kRutile + "\n"
                              "toolbar menu menu 32884\n"
                              "toolbar menu\n"
                              "toolbar\n"
                              "toolbar menu menu 33771\n"
                              "toolbar\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out,
                  "menu: [x] Patterns | [x] Factors | - | [x] Cursor | [x] Ruler | [x] Loupe | [x] Hide Tips | - | "
                  "[x] Zoom Out | [x] Zoom In | [x] Auto Y | [x] Auto XY | [x] Intensity - | Intensity + | [x] Stack | "
                  "[x] Collapse | - | Reset Offsets | - | Scroll Left | Scroll Right | - | [x] Display Film | "
                  "[x] Use Log Scale | - | [x] Inspector | - | [x] Icon and Text | Icon Only | Text Only | - | "
                  "[x] Use Small Size | - | Standard Toolset"))
      << run.out;
  const size_t standard = run.out.find("> toolbar menu menu 33771");
  ASSERT_NE(standard, std::string::npos);
  const std::string before = run.out.substr(0, standard), after = run.out.substr(standard);
  EXPECT_NE(before.find("\n12 ctry shown "), std::string::npos) << before;
  EXPECT_NE(after.find("\n12 ctry off\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\ntoolbar: shown, icon and text, small, "), std::string::npos) << after;
  EXPECT_NE(after.find(", overflow off\n"), std::string::npos) << after;
}

TEST(UiToolbar, ANarrowWindowOffersTheLastItemsInTheOverflowMenu) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-toolbar-overflow";
  fs::remove_all(folder);
  // Large buttons and no side panes, kept for the next start, which can then be narrow.
  const UiRun first = RunScript(folder, "first",
                                "open " + kRutile + "\n"
                                "command 33591\n"
                                "command 33586\n"
                                "toolbar menu menu 32870\n"
                                "answer no\n"
                                "quit\n");
  ASSERT_EQ(first.status, 0) << first.out;
  const UiRun run = RunScript(folder, "second",
                              "open " + kRutile + "\n"
                              "resize 600 400\n"
                              "toolbar\n"
                              "toolbar overflow\n"
                              "state 33586\n"
                              "toolbar overflow menu 32994\n"
                              "state 33586\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "toolbar: shown, icon and text, large, 600 x 62, overflow shown")) << run.out;
  EXPECT_TRUE(Has(run.out, "25 parm overflow")) << run.out;
  EXPECT_TRUE(Has(run.out, "12 ctry off")) << run.out;
  EXPECT_NE(run.out.find("\n0 strc shown 4 46\n"), std::string::npos) << run.out;
  EXPECT_TRUE(Has(run.out, "menu: Collapse | - | Display Film | Use Log Scale | - | Inspector")) << run.out;
  EXPECT_TRUE(Has(run.out, "33586: Show Parameters List")) << run.out;
  EXPECT_TRUE(Has(run.out, "33586: Hide Parameters List")) << run.out;
}

// Keys typed on the plot press the toolbar's items; a chord with Ctrl that no accelerator takes
// presses none, and the arrows still move the cursor.
TEST(UiToolbar, KeysOnThePlotPressTheToolbarsItems) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-toolbar-keys";
  fs::remove_all(folder);
  const UiRun run = RunScript(folder, "script",
                              "open " + kRutile + "\n"
                              "focus 5510\n"
                              "key c r l\n"
                              "tools\n"
                              "key ctrl+r Right\n"
                              "tools\n"
                              "key plus\n"
                              "plot\n"
                              "key minus minus\n"
                              "plot\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> tools\ncursor: on, unselected, x 40.000000"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nruler: on,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nloupe: shown,"), std::string::npos) << run.out;
  const size_t second = run.out.find("> key ctrl+r Right\n> tools\n");
  ASSERT_NE(second, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("cursor: on, unselected, x 40.1", second), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nruler: on,", second), std::string::npos) << run.out;
  // Zoom in narrows the x range of 0 to 80 about its centre; zoom out twice widens it, held at 0.
  EXPECT_NE(run.out.find("> key plus\n> plot\nplot: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nx: 3.63636364 76.3636364 "), std::string::npos) << run.out;
  const size_t out = run.out.find("> key minus minus\n> plot\n");
  ASSERT_NE(out, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nx: 0 88 ", out), std::string::npos) << run.out;
}
