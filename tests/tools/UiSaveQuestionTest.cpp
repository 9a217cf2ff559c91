// File > Exit with unsaved work, driven through the real main window: the question comes up;
// Cancel keeps the window and the work, Don't Save ends the program, Save writes the session the
// file dialog names first; Close Without Saving asks nothing.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

qlwtest::ProbeRun RunUi(const std::string& name, const std::string& script) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / ("ui-save-" + name);
  fs::create_directories(folder);
  const fs::path path = folder / "script.txt";
  std::ofstream(path) << script;
  return qlwtest::RunShell("cd '" + folder.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                           qlwtest::ProbeCommand("ui '" + path.string() + "'") + " 2>/dev/null");
}
}  // namespace

TEST(UiSaveQuestion, ExitAsksAndEachAnswerDoesWhatItSays) {
  const std::string open = "> open " + kRutile + "\n";
  const std::string asked = "alert: Save changes to Untitled?\n";

  const qlwtest::ProbeRun kept = RunUi("cancel", "open " + kRutile + "\nanswer cancel\ncommand 57665\ndump\n");
  ASSERT_EQ(kept.status, 0) << kept.out;
  EXPECT_EQ(kept.out.substr(0, kept.out.find("data range")),
            open + "> answer cancel\n> command 57665\n" + asked + "> dump\n0 crystal rutile shown selected\n");

  const qlwtest::ProbeRun dropped = RunUi("no", "open " + kRutile + "\nanswer no\nquit\n");
  EXPECT_EQ(dropped.status, 0) << dropped.out;
  EXPECT_EQ(dropped.out, open + "> answer no\n> quit\n" + asked);

  const fs::path saved = fs::path(qlwtest::ScratchDir()) / "ui-save-yes" / "kept.quillonographic";
  fs::remove(saved);
  const qlwtest::ProbeRun written = RunUi("yes", "open " + kRutile + "\nfiles " + saved.string() + "\nquit\n");
  EXPECT_EQ(written.status, 0) << written.out;
  EXPECT_EQ(written.out, open + "> files " + saved.string() + "\n> quit\n" + asked);
  EXPECT_TRUE(fs::exists(saved));

  const qlwtest::ProbeRun unasked = RunUi("without", "open " + kRutile + "\ncommand 33270\n");
  EXPECT_EQ(unasked.status, 0) << unasked.out;
  EXPECT_EQ(unasked.out, open + "> command 33270\n");
}
