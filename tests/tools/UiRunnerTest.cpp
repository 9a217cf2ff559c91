// The window-script runner `qlwprobe ui`: scripts drive the program's real main window on the
// offscreen platform, and the runner's output is what the window did.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

struct UiRun {
  std::string out;
  int status = -1;
};

// Runs the script in a folder of its own, with a fresh registry and runtime folder.
UiRun RunScript(const std::string& name, const std::string& script, const std::string& options = "") {
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-" + name), script, options);
  return {run.out, run.status};
}
}  // namespace

// Opening, the hkl field typed into and confirmed with Return, a popup menu listed, command
// states and a shot: every line's effect comes through the widgets as a user's would.
TEST(UiRunner, DrivesTheMainWindowFromAScript) {
  const fs::path shots = fs::path(qlwtest::ScratchDir()) / "ui-shots";
  const UiRun run = RunScript("drive",
                              "# rutile, then its 211 reflexion centred through the hkl field\n"
                              "open " + kRutile + "\n"
                              "dump\n"
                              "state 33591 57603 33583\n"
                              "print 2102 2104@5500\n"
                              "field settings Lambda ShowGrid FontName AxisType\n"
                              "field 0 CrystalLineWidth LabelColor ParticleSize\n"
                              "click 2105\n"
                              "\n"
                              "type 2102 2 1 1\n"
                              "key Return\n"
                              "print 2102\n"
                              "dump\n"
                              "shot main.png\n",
                              "--shots '" + shots.string() + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open " + kRutile + "\n"
            "> dump\n"
            "0 crystal rutile shown selected\n"
            "data range: 0.000000 189.000000\n"
            "visible: 0.000000 80.000000\n"
            "y range: 0.000000 425.735396\n"
            "x axis: 2theta\n"
            "> state 33591 57603 33583\n"
            "33591: Hide Patterns List\n"
            "57603: Save\n"
            "33583: Hide Gridlines\n"
            "> print 2102 2104@5500\n"
            "2102: \n"
            "2104@5500: Reflexions\n"
            "> field settings Lambda ShowGrid FontName AxisType\n"
            "Lambda: 1.5405\n"
            "ShowGrid: 1\n"
            "FontName: MS Shell Dlg 2\n"
            "AxisType: 1\n"
            "> field 0 CrystalLineWidth LabelColor ParticleSize\n"
            "CrystalLineWidth: 1\n"
            "LabelColor: 0xFF000000\n"
            "ParticleSize: 10000\n"
            "> click 2105\n"
            "menu: [x] rutile\n"
            "> type 2102 2 1 1\n"
            "> key Return\n"
            "> print 2102\n"
            "2102: 2 1 1\n"
            "> dump\n"
            "0 crystal rutile shown selected\n"
            "data range: 0.000000 189.000000\n"
            "visible: 14.316845 94.316845\n"
            "y range: 0.000000 425.735396\n"
            "x axis: 2theta\n"
            "> shot main.png\n");

  const QImage shot(QString::fromStdString((shots / "main.png").string()));
  ASSERT_FALSE(shot.isNull());
  std::set<QRgb> colours;
  for (int y = 0; y < shot.height(); y += 3)
    for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
  EXPECT_GT(colours.size(), 20u) << "the shot shows the drawn window, not a blank";
}

// Alerts are printed and answered; a file dialog answered with a name its check refuses says so
// (File > Open of a missing file, Save As without a session extension); Save As with a good name
// writes the session; `quit` ends the program and the runner with 0.
TEST(UiRunner, AnswersAlertsAndFileDialogs) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-files";
  fs::create_directories(folder);
  const std::string missing = (folder / "missing.cif").string();
  const std::string odd = (folder / "odd.cif").string();
  std::ofstream(odd) << "hello there\n";
  const std::string saved = (folder / "saved.quillonographic").string();
  const UiRun run = RunScript("files",
                              "open " + missing + "\n"
                              "open " + odd + "\n"
                              "open " + kRutile + "\n"
                              "save " + (folder / "saved.txt").string() + "\n"
                              "files\n"
                              "command 57604\n"
                              "save " + saved + "\n"
                              "quit\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> open " + missing + "\nalert: Unable to locate file. | The specified file could not be found.\nfiles: refused\n> open " + odd + "\nalert: "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("' is of a type not recognised"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("files: refused\n> files\n> command 57604\n> save " + saved + "\n> quit\n"), std::string::npos)
      << run.out;
  EXPECT_TRUE(fs::exists(saved));
  EXPECT_FALSE(fs::exists(folder / "saved.txt"));
}

// `open` of several files is File > Open with them all chosen: the one that cannot be read is
// reported with the line naming it, wherever it stands in the list, and the others still open.
TEST(UiRunner, OpensSeveralFilesAsFileOpenDoesNamingTheOneThatFails) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-open-several";
  fs::create_directories(folder);
  const std::string cut = (folder / "cut.cif").string();
  {
    std::ifstream in(kRutile);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::ofstream(cut) << text.substr(0, text.find("_atom_site_fract_z") + 3);
  }
  const std::string anatase = std::string(QLW_SOURCE_DIR) + "/examples/anatase-TiO2.cif";
  const std::string alert = "alert: Unexpected end of input file. | The file Quillonographic was reading appears to be "
                            "incomplete. The file may be damaged. |  | File: " + cut + "\n";
  struct Case {
    std::string files;
    std::string patterns;
  };
  const Case cases[] = {
      {cut + " " + kRutile, "0 crystal rutile shown selected\n"},
      {kRutile + " " + cut, "0 crystal rutile shown selected\n"},
      {anatase + " " + cut + " " + kRutile, "0 crystal anatase shown selected\n0 crystal rutile shown selected\n"},
  };
  for (const Case& c : cases) {
    const UiRun run = RunScript("open-several", "open " + c.files + "\ndump\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.substr(0, run.out.find("data range:")), "> open " + c.files + "\n" + alert + "> dump\n" + c.patterns);
  }
}

// Save As takes every extension the session template offers, and each file it writes reads back
// as the session it is.
TEST(UiRunner, SavesASessionByEveryExtensionTheTemplateOffers) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-session-extensions";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::string script = "open " + kRutile + "\n";
  for (const char* extension : {"diffract", "quillonographic", "quillono"})
    script += "save " + (folder / "x.").string() + extension + "\n";
  const UiRun run = RunScript("session-extensions", script);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("alert:"), std::string::npos) << run.out;
  for (const char* extension : {"diffract", "quillonographic", "quillono"}) {
    const std::string path = (folder / "x.").string() + extension;
    const qlwtest::ProbeRun read = qlwtest::RunShell(qlwtest::ProbeCommand("session-read " + path) + " 2>&1");
    EXPECT_EQ(read.status, 0) << path << "\n" << read.out;
    EXPECT_NE(read.out.find("0 crystal rutile | 4.593700 4.593700 2.958700 90.0000 90.0000 90.0000 | P 42/m n m\n"), std::string::npos) << path << "\n" << read.out;
    EXPECT_EQ(qlwtest::RunShell(qlwtest::ProbeCommand("identify " + path)).out, "10\n") << path;
  }
}

// The first line that cannot run ends the script with "error: WHY" and exit 1; later lines do not run.
TEST(UiRunner, StopsAtTheFirstLineThatCannotRun) {
  struct Case {
    const char* line;
    const char* error;
  };
  const Case cases[] = {
      {"frobnicate 1", "error: unknown command \"frobnicate\""},
      {"print 9999", "error: no control 9999"},
      {"click 2105 menu 99", "menu: [x] rutile\nerror: the popup menu has no item 99"},
      {"click 2105 menu \"anatase\"", "menu: [x] rutile\nerror: the popup menu has no item \"anatase\""},
      {"type 2104 abc", "error: control 2104 takes no text"},
      {"key ctrl+nonsense", "error: unknown key ctrl+nonsense"},
      {"command 33583 menu 1", "error: no popup menu opened for the menu choice"},
      {"field settings Colour", "error: no settings field Colour"},
      {"field 0 ObservedLineWidth", "error: no field ObservedLineWidth in the pattern of row 0"},
      {"field 1 LabelColor", "error: row 1 is out of range (1)"},
      // The unsaved structure is asked about; its default, Save, wants a file.
      {"quit", "alert: Save changes to Untitled?\nerror: a file dialog opened with no files line before it"},
  };
  for (const Case& c : cases) {
    const UiRun run = RunScript("errors", "open " + kRutile + "\n" + c.line + "\ndump\n");
    EXPECT_EQ(run.status, 1) << c.line << "\n" << run.out;
    EXPECT_EQ(run.out, "> open " + kRutile + "\n> " + c.line + "\n" + c.error + "\n")
        << c.line;
  }
}
