// The diffraction window's own commands through the window-script runner: Copy puts the plot on
// the clipboard at the canvas's size, and Visualise starts the visualiser found on PATH with the
// session, the window and the written file as three arguments.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

TEST(UiWindowCommands, CopyIsAtThePlotsSizeAndVisualiseLaunchesLxw) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-window-commands";
  fs::remove_all(folder);
  fs::create_directories(folder / "bin");
  fs::create_directories(folder / "run");
  fs::permissions(folder / "run", fs::perms::owner_all);
  std::ofstream(folder / "bin/Lxw") << "#!/bin/sh\n";
  fs::permissions(folder / "bin/Lxw", fs::perms::owner_all);
  const fs::path script = folder / "script.txt";
  std::ofstream(script) << "open " << qlwtest::DataPath("Quartz.cif") << "\n"
                        << "rect 5510\n"
                        << "command 57634\n"
                        << "clipboard\n"
                        << "state 33737\n"
                        << "command 33737\n";
  const qlwtest::ProbeRun run = qlwtest::RunShell(
      "cd '" + folder.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR PATH='" + (folder / "bin").string() +
      ":/usr/bin:/bin' XDG_RUNTIME_DIR='" + (folder / "run").string() + "' " +
      qlwtest::ProbeCommand("ui '" + script.string() + "'") + " 2>/dev/null");
  ASSERT_EQ(run.status, 0) << run.out;
  std::smatch rect;
  ASSERT_TRUE(std::regex_search(run.out, rect, std::regex("\n5510: -?\\d+ -?\\d+ (\\d+) (\\d+)\n"))) << run.out;
  EXPECT_NE(run.out.find("> clipboard\nclipboard: image " + rect[1].str() + " x " + rect[2].str() + "\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("> state 33737\n33737: Visualise Crystal Structure\n"), std::string::npos) << run.out;
  const std::string uuid = "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}";
  const std::regex launch("> command 33737\nlaunch: " + (folder / "bin/Lxw").string() + " \"/LXS=" + uuid +
                          "\" \"/LXW=[0-9a-f]{16}\" \"" + (folder / "run/quillonographic/Xfer/").string() + uuid +
                          "/Quartz.lxtx\"\n");
  EXPECT_TRUE(std::regex_search(run.out, launch)) << run.out;
}
