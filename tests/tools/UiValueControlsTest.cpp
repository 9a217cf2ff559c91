// The value controls through the window-script runner: the controls demo opened beside the main
// window, typed, stepped, slid and picked as a user does, and what each control then shows.
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
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-" + name), script);
  return {run.out, run.status};
}
}  // namespace

TEST(UiValueControls, NumbersAreCheckedSteppedAndSlid) {
  const UiRun run = RunScript("value-controls",
                              "demo controls\n"
                              "type 9301 11\n"
                              "key Return\n"
                              "print 9301 9399\n"
                              "type 9301 7\n"
                              "key Return\n"
                              "print 9301 9399\n"
                              "slide 9305 37\n"
                              "print 9304 9305\n"
                              "spin 9303 up 3\n"
                              "print 9302 9303\n"
                              "type 9302 2.6\n"
                              "print 9303\n"
                              "type 9306 50\n"
                              "slide 9307 75\n"
                              "print 9306 9307\n"
                              "type 9310 500000\n"
                              "spin 9311 down 2\n"
                              "print 9310 9311\n"
                              "type 9308 3000000000\n"
                              "key Return\n"
                              "print 9308 9309\n"
                              "type 9312 42.5\n"
                              "print 9352\n"
                              "key Return\n"
                              "print 9352\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> demo controls\n"
            "> type 9301 11\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 0.0 and 10.0. The previous value has been restored.\n"
            "> print 9301 9399\n"
            "9301: 5.0\n"
            "9399: Pressed 0\n"
            "> type 9301 7\n"
            "> key Return\n"
            "> print 9301 9399\n"
            "9301: 7\n"
            "9399: Pressed 1\n"
            "> slide 9305 37\n"
            "> print 9304 9305\n"
            "9304: 0.1369\n"
            "9305: 37 of 100\n"
            "> spin 9303 up 3\n"
            "> print 9302 9303\n"
            "9302: 3.00\n"
            "9303: 13 of 20\n"
            "> type 9302 2.6\n"
            "> print 9303\n"
            "9303: 13 of 20\n"
            "> type 9306 50\n"
            "> slide 9307 75\n"
            "> print 9306 9307\n"
            "9306: 50.50\n"
            "9307: 75 of 100\n"
            "> type 9310 500000\n"
            "> spin 9311 down 2\n"
            "> print 9310 9311\n"
            "9310: 499800\n"
            "9311: 4998 of 10000\n"
            "> type 9308 3000000000\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between -2147483648 and 2147483647. The previous value has been restored.\n"
            "> print 9308 9309\n"
            "9308: 0\n"
            "9309: 3000000000\n"
            "> type 9312 42.5\n"
            "> print 9352\n"
            "9352: updates: 0, last: 0\n"
            "> key Return\n"
            "> print 9352\n"
            "9352: updates: 1, last: 42.5\n");
}

TEST(UiValueControls, ColoursAndEnumerationsArePicked) {
  const UiRun run = RunScript("colour-controls",
                              "demo controls\n"
                              "click 9316\n"
                              "hover 5\n"
                              "print 9316\n"
                              "key Escape\n"
                              "print 9316 9355\n"
                              "click 9315\n"
                              "key Right Right\n"
                              "popup 6\n"
                              "print 9315 9355\n"
                              "choose 9313 \"Solid Circle\"\n"
                              "print 9313 9353\n"
                              "choose 9314 Gaussian\n"
                              "print 9354\n"
                              "rect 9315\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string head =
      "> demo controls\n"
      "> click 9316\n"
      "> hover 5\n"
      "> print 9316\n"
      "9316: #FFFFE0A0\n"
      "> key Escape\n"
      "> print 9316 9355\n"
      "9316: #FF00FF00\n"
      "9355: open #FF00FF00, change #FFFFE0A0, close, cancel #FF00FF00, change #FF00FF00\n"
      "> click 9315\n"
      "> key Right Right\n"
      "> popup 6\n"
      "> print 9315 9355\n"
      "9315: #FFFFD700\n"
      "9355: open #FF0000FF, change #FFAA0000, change #FFFF0000, change #FFFFD700, close, accept #FFFFD700, change #FFFFD700\n"
      "> choose 9313 \"Solid Circle\"\n"
      "> print 9313 9353\n"
      "9313: Solid Circle (13 of 13)\n"
      "9353: value: 12\n"
      "> choose 9314 Gaussian\n"
      "> print 9354\n"
      "9354: value: 3\n"
      "> rect 9315\n";
  ASSERT_EQ(run.out.substr(0, head.size()), head);
  // The colour button's place in the dialog's picture: inside it, and as tall as a button.
  int left = -1, top = -1, width = -1, height = -1;
  ASSERT_EQ(std::sscanf(run.out.c_str() + head.size(), "9315: %d %d %d %d", &left, &top, &width, &height), 4) << run.out;
  EXPECT_GT(left, 0);
  EXPECT_GT(top, 0);
  EXPECT_GT(width, 20);
  EXPECT_GE(height, 18);
}

// Tab leaves the field through the focus-loss check: a number past the range comes back as the
// last good one, a good one is shown in the field's format.
TEST(UiValueControls, TabAwayChecksTheNumber) {
  const UiRun run = RunScript("tab-away", "demo controls\ntype 9301 11\nkey Tab\nprint 9301\ntype 9301 8\nkey Tab\nprint 9301\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> demo controls\n"
            "> type 9301 11\n"
            "> key Tab\n"
            "alert: Value out of range. | Please enter a value between 0.0 and 10.0. The previous value has been restored.\n"
            "> print 9301\n"
            "9301: 5.0\n"
            "> type 9301 8\n"
            "> key Tab\n"
            "> print 9301\n"
            "9301: 8.0\n");
}

// A refused text puts the last good value back in the field, and the companion that heard of what
// was typed before hears of the value restored.
TEST(UiValueControls, RestoredValueIsAnnounced) {
  const UiRun run = RunScript("restored", "demo controls\ntype 9301 1\nprint 9351\ntype 9301 12a\nprint 9301 9351\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> demo controls\n"
            "> type 9301 1\n"
            "> print 9351\n"
            "9351: updates: 1, last: 1\n"
            "> type 9301 12a\n"
            "alert: Invalid characters. | You entered one or more invalid characters. The previous value has been "
            "restored.\n"
            "> print 9301 9351\n"
            "9301: 5.0\n"
            "9351: updates: 3, last: 5\n");
}
