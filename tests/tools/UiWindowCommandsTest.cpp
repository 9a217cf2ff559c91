// The diffraction window's own commands through the window-script runner: Copy puts the plot on
// the clipboard at the canvas's size, and Visualise starts the visualiser found on PATH with the
// session, the window and the written file as three arguments.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// Another program sees what Copy put on the system clipboard: the plot as PNG and as SVG, at one
// size. Needs a display server, so it runs under Xvfb, and xclip as the other program.
TEST(UiWindowCommands, CopyOffersThePlotToOtherProgramsAsPngAndSvg) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xclip >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run and xclip are needed";
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-system-clipboard";
  fs::remove_all(folder);
  fs::create_directories(folder / "run");
  fs::permissions(folder / "run", fs::perms::owner_all);
  std::ofstream(folder / "script.txt") << "open " << qlwtest::DataPath("Quartz.cif") << "\n"
                                       << "command 57634\n"
                                       << "wait 90000\n";
  // The window keeps the clipboard while it runs: read it then, and end the window once read. A busy
  // machine may take long to bring the window up, so it waits well beyond its usual second.
  std::ofstream(folder / "read.sh")
      << "cd '" << folder.string() << "'\n"
      << qlwtest::ProbeCommand("ui script.txt --show") << " >/dev/null 2>&1 &\n"
      << "P=$!\ni=0\n"
      << "while [ $i -lt 400 ] && kill -0 $P 2>/dev/null; do\n"
      << "  t=$(xclip -o -selection clipboard -t TARGETS 2>/dev/null)\n"
      << "  case \"$t\" in *image/svg+xml*) break;; esac\n"
      << "  sleep 0.2; i=$((i+1))\n"
      << "done\n"
      << "printf '%s\\n' \"$t\" > targets.txt\n"
      << "xclip -o -selection clipboard -t image/png > plot.png\n"
      << "xclip -o -selection clipboard -t image/svg+xml > plot.svg\n"
      << "kill $P; wait $P\n";
  // The display server outlives a run that is cut short: it must not keep the descriptors it
  // would inherit, such as a lock held by whoever runs the tests.
  const qlwtest::ProbeRun run = qlwtest::RunShell(
      "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; "
      "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR -u DISPLAY QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR='" + (folder / "run").string() +
      "' xvfb-run -a -s '-screen 0 1280x800x24' sh '" + (folder / "read.sh").string() + "' 2>&1");
  const std::string targets = qlwtest::Slurp((folder / "targets.txt").string());
  EXPECT_NE(targets.find("image/png\n"), std::string::npos) << targets << run.out;
  EXPECT_NE(targets.find("image/svg+xml\n"), std::string::npos) << targets;
  const std::string png = qlwtest::Slurp((folder / "plot.png").string());
  ASSERT_GT(png.size(), 24u);
  ASSERT_EQ(png.compare(1, 3, "PNG"), 0);
  auto be32 = [&png](size_t at) {
    return (unsigned(static_cast<unsigned char>(png[at])) << 24) | (unsigned(static_cast<unsigned char>(png[at + 1])) << 16) |
           (unsigned(static_cast<unsigned char>(png[at + 2])) << 8) | unsigned(static_cast<unsigned char>(png[at + 3]));
  };
  const unsigned width = be32(16), height = be32(20);
  EXPECT_GT(width, 200u);
  EXPECT_GT(height, 200u);
  const std::string svg = qlwtest::Slurp((folder / "plot.svg").string());
  EXPECT_NE(svg.find("<svg width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\""),
            std::string::npos)
      << svg.substr(0, 300);
  EXPECT_NE(svg.find("<path"), std::string::npos);
}
