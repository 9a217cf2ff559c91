// The structures pane through the window-script runner: patterns added from files (one alert
// for the files that give none), selection by clicks, mixtures and their refusals, hide and show,
// the triangle, delete with its question, and the question before showing many patterns.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct Folder {
  fs::path path;
  explicit Folder(const std::string& name) : path(fs::path(qlwtest::ScratchDir()) / name) {
    fs::remove_all(path);
    fs::create_directories(path);
    for (const char* file : {"anatase.cif", "nacl.cif"})
      fs::copy_file(fs::path(QLW_SOURCE_DIR) / "tests/data" / file, path / file);
    std::ofstream(path / "notes.cif") << "no structure here\n";
  }
  qlwtest::ProbeRun Run(const std::string& script) const {
    std::ofstream(path / "script.txt") << script;
    return qlwtest::RunShell("cd '" + path.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                             qlwtest::ProbeCommand("ui '" + (path / "script.txt").string() + "'") + " 2>/dev/null");
  }
};
}  // namespace

TEST(UiStructures, PatternsAreListedSelectedMixedHiddenAndDeleted) {
  const Folder folder("ui-structures");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const std::string dir = folder.path.string();
  const qlwtest::ProbeRun run = folder.Run("open " + rutile + "\n" +
                                           "files " + dir + "/anatase.cif " + dir + "/nacl.cif " + dir + "/notes.cif\n"
                                           "command 34368\n"
                                           "rows 3606\n"
                                           "print 3606\n"
                                           "select 0 1\n"
                                           "command 34373\n"
                                           "rows 3606\n"
                                           "select 1\n"
                                           "command 34373\n"
                                           "select 0 3\n"
                                           "command 34373\n"
                                           "select 1\n"
                                           "command 34375\n"
                                           "rows 3606\n"
                                           "command 34369\n"
                                           "select 0\n"
                                           "cell 3606 0 1\n"
                                           "rows 3606\n"
                                           "cell 3606 0 1\n"
                                           "rows 3606\n"
                                           "select 2\n"
                                           "answer no\n"
                                           "command 34374\n"
                                           "rows 3606\n"
                                           "answer yes\n"
                                           "command 34374\n"
                                           "rows 3606\n"
                                           "command 34378\n"
                                           "rows 3606\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open " + rutile + "\n"
            "> files " + dir + "/anatase.cif " + dir + "/nacl.cif " + dir + "/notes.cif\n"
            "> command 34368\n"
            "alert: No pattern could be made from some files. | These files hold no pattern that Quillonographic can "
            "read: notes.cif\n"
            "> rows 3606\n"
            ". | crystal | rutile | [x] #FF000000 *\n"
            ". | crystal | anatase | [x] #FFCC0000 *\n"
            ". | crystal | NaCl | [x] #FF00CC00 *\n"
            "> print 3606\n"
            "3606: 3 rows, 3 selected\n"
            "> select 0 1\n"
            "> command 34373\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF0000CC *\n"
            ". | > crystal | rutile | [x] #FF000000 *\n"
            ". | > crystal | anatase | [x] #FFCC0000 *\n"
            ". | crystal | NaCl | [x] #FF00CC00\n"
            "> select 1\n"
            "> command 34373\n"
            "alert: Cannot create nested mixtures. | A new mixture cannot be created within another mixture. Please "
            "choose patterns that are not part of a mixture.\n"
            "> select 0 3\n"
            "> command 34373\n"
            "alert: Cannot create mixtures with other mixtures. | A new mixture cannot contain another mixture. "
            "Please remove any mixtures from your selection.\n"
            "> select 1\n"
            "> command 34375\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF0000CC\n"
            ". | > crystal | rutile | [ ] #FF000000 *\n"
            ". | > crystal | anatase | [x] #FFCC0000\n"
            ". | crystal | NaCl | [x] #FF00CC00\n"
            "> command 34369\n"
            "> select 0\n"
            "> cell 3606 0 1\n"
            "> rows 3606\n"
            "+ | mixture | New Mixture | [x] #FF0000CC *\n"
            ". | crystal | NaCl | [x] #FF00CC00\n"
            "> cell 3606 0 1\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF0000CC *\n"
            ". | > crystal | rutile | [x] #FF000000\n"
            ". | > crystal | anatase | [x] #FFCC0000\n"
            ". | crystal | NaCl | [x] #FF00CC00\n"
            "> select 2\n"
            "> answer no\n"
            "> command 34374\n"
            "alert: Are you sure you want to discard the selected diffraction patterns? | The selected patterns will "
            "be deleted from this session.\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF0000CC\n"
            ". | > crystal | rutile | [x] #FF000000\n"
            ". | > crystal | anatase | [x] #FFCC0000 *\n"
            ". | crystal | NaCl | [x] #FF00CC00\n"
            "> answer yes\n"
            "> command 34374\n"
            "alert: Are you sure you want to discard the selected diffraction patterns? | The selected patterns will "
            "be deleted from this session.\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF0000CC\n"
            ". | > crystal | rutile | [x] #FF000000\n"
            ". | crystal | NaCl | [x] #FF00CC00\n"
            "> command 34378\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF0000CC *\n"
            ". | > crystal | rutile | [x] #FF000000 *\n"
            ". | crystal | NaCl | [x] #FF00CC00 *\n");
}

// Each `field 3 YScale` of the output with the `dump` after it.
std::vector<std::string> ScaleStates(const std::string& out) {
  const std::string marker = "> field 3 YScale\n";
  std::vector<std::string> states;
  for (size_t at = out.find(marker); at != std::string::npos; at = out.find(marker, at + 1)) {
    const size_t from = at + marker.size();
    const size_t dump = out.find("> dump\n", from);
    states.push_back(out.substr(from, out.find("\n> ", dump + 1) + 1 - from));
  }
  return states;
}

// A session of the tutorial's patterns (a mixture, the measured pattern smoothed after it was
// scaled, the plot fitted to the peaks) comes back as saved, and clicking rows, a mixture's
// triangle among them, writes no pattern's scale and leaves the plot's height alone.
TEST(UiStructures, ClickingRowsOfAReopenedSessionChangesNoScale) {
  const Folder folder("ui-structures-scale");
  const std::string examples = std::string(QLW_SOURCE_DIR) + "/examples/";
  const std::string session = (folder.path / "titania.diffract").string();
  const qlwtest::ProbeRun saved = folder.Run("open " + examples + "rutile.cif " + examples + "anatase-TiO2.cif\n" +
                                             "select 0 1\ncommand 34373\n"
                                             "files " + examples + "rutile-anatase-measured.dat\ncommand 34368\n"
                                             "select 3\ntab Parameters\nclick 2420\nclick 2421\ntype 2429 4\n"
                                             "key Return\ncommand 34469\nsave " + session + "\n");
  ASSERT_EQ(saved.status, 0) << saved.out;
  const std::string show = "field 3 YScale\ndump\n";
  const qlwtest::ProbeRun run = folder.Run("open " + session + "\n" + show + "cell 3606 3 1\n" + show +
                                           "cell 3606 0 1\nrows 3606\ncell 3606 1 2\ncell 3606 0 1\ncell 3606 3 2\n" + show);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> rows 3606\n+ | mixture | New Mixture | [x] #FF00CC00 *\n"
                         ". | observed | rutile-anatase-measured | [x] #FF0000CC\n"),
            std::string::npos)
      << run.out;
  const std::vector<std::string> states = ScaleStates(run.out);
  ASSERT_EQ(states.size(), 3u) << run.out;
  EXPECT_NE(states[0].find("0 observed rutile-anatase-measured shown selected\n"), std::string::npos) << states[0];
  EXPECT_EQ(states[1], states[0]);
  EXPECT_EQ(states[2], states[0]);
}

// Twenty hidden patterns are shown at once; a twenty-first makes the pane ask first.
TEST(UiStructures, ShowingMoreThanTwentyPatternsAsksFirst) {
  const Folder folder("ui-structures-many");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  std::string script = "open " + rutile + "\nselect 0\ncommand 34375\n";
  // 1, 2, 4, 8, 16, then four more: 20 hidden copies.
  for (int i = 0; i < 4; ++i) script += "command 34371\ncommand 57642\n";
  script += "select 0 1 2 3\ncommand 34371\ncommand 57642\nprint 3606\ncommand 34369\ndump\n";
  // Hidden again, one more copy: 21.
  script += "command 57642\ncommand 34375\nselect 0\ncommand 34371\ncommand 57642\nprint 3606\n";
  script += "answer no\ncommand 34369\ncommand 34378\nanswer yes\ncommand 34369\ncommand 34378\n";
  const qlwtest::ProbeRun run = folder.Run(script);
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string question =
      "alert: You are adding a large number of patterns to the plot. Are you sure want to do this? | This "
      "operation could take a long time.\n";
  // No question: the next line follows at once, and only once every pattern is shown (the work
  // lets events through between patterns; a line run meanwhile saw two of twenty shown).
  const std::string twenty = "> print 3606\n3606: 20 rows, 20 selected\n> command 34369\n> dump\n";
  const size_t dump = run.out.find(twenty);
  ASSERT_NE(dump, std::string::npos) << run.out;
  const std::string tree = run.out.substr(dump + twenty.size(), run.out.find("data range:", dump) - dump - twenty.size());
  std::string expected = "0 crystal rutile shown selected\n";
  for (int i = 1; i <= 19; ++i)
    expected += "0 crystal rutile copy" + (i == 1 ? std::string() : " " + std::to_string(i)) + " shown selected\n";
  EXPECT_EQ(tree, expected);
  const std::string twentyOne = "> print 3606\n3606: 21 rows, 21 selected\n> answer no\n> command 34369\n" + question +
                                "> command 34378\ndisabled\n> answer yes\n> command 34369\n" + question +
                                "> command 34378\n";
  EXPECT_NE(run.out.find(twentyOne), std::string::npos) << run.out;
}

namespace {
struct ReflexionRow {
  int no = 0, h = 0, k = 0, l = 0, m = 0, n = 0;
  double d = 0, x = 0, intensity = 0, relative = 0, lp = 0;
};

// The rows printed by `rows 3100` after the line `marker` of the output.
std::vector<ReflexionRow> ReflexionRows(const std::string& out, const std::string& marker) {
  std::vector<ReflexionRow> rows;
  size_t at = out.find(marker);
  if (at == std::string::npos) return rows;
  std::istringstream lines(out.substr(at + marker.size()));
  std::string line;
  while (std::getline(lines, line) && line.rfind("> ", 0) != 0) {
    ReflexionRow r;
    char bar = 0;
    std::istringstream in(line);
    in >> r.no >> bar >> r.h >> bar >> r.k >> bar >> r.l >> bar >> r.d >> bar >> r.x >> bar >> r.intensity >> bar >>
        r.relative >> bar >> bar >> r.m >> bar >> r.n >> bar >> r.lp;
    if (in) rows.push_back(r);
  }
  return rows;
}
}  // namespace

// Rutile's list against the formulas of its columns, NaCl's against its cell, the list
// following the selection, and sorting from the header.
TEST(UiStructures, ReflexionsListTheSelectedCrystal) {
  const Folder folder("ui-reflexions");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const std::string dir = folder.path.string();
  const qlwtest::ProbeRun run = folder.Run("open " + rutile + "\ncommand 33589\nprint 3100\nrows 3100\n" +
                                           "files " + dir + "/nacl.cif\ncommand 34368\n"
                                           "select 0 1\nprint 3100\nselect 1\nprint 3100\nrows 3100\n"
                                           "header 3100 5\nheader 3100 5\nheader 3100 1\nrows 3100\ncolumns 3100\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> print 3100\n3100: 49 rows, 0 selected\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("> select 0 1\n> print 3100\ndisabled 3100: 0 rows, 0 selected\n"), std::string::npos);
  EXPECT_NE(run.out.find("> select 1\n> print 3100\n3100: 22 rows, 0 selected\n"), std::string::npos);

  const std::vector<ReflexionRow> titania = ReflexionRows(run.out, "> print 3100\n3100: 49 rows, 0 selected\n> rows 3100\n");
  ASSERT_EQ(titania.size(), 49u);
  const double lambda = 1.5405, rad = std::acos(-1.0) / 180.0;
  for (size_t i = 0; i < titania.size(); ++i) {
    const ReflexionRow& r = titania[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(r.no, static_cast<int>(i) + 1);
    if (i) EXPECT_GE(r.x, titania[i - 1].x) << "sorted by 2θ first";
    // d is shown to 5 decimals: its rounding moves 2θ by up to 2 tan θ / d × 5e-6 rad.
    const double theta = std::asin(lambda / (2.0 * r.d));
    EXPECT_NEAR(r.x, 2.0 * theta / rad, 6e-5 + 2.0 * std::tan(theta) / r.d * 5e-6 / rad);
    const double t = r.x * rad;
    EXPECT_NEAR(r.lp, (1.0 + std::cos(t) * std::cos(t)) / 2.0 / (std::sin(t) * std::sin(t / 2.0)), 2e-3);
    EXPECT_EQ(r.n, r.h * r.h + r.k * r.k + r.l * r.l);
    EXPECT_GE(r.d, 0.77025 - 5e-6);
  }
  EXPECT_EQ(std::tie(titania[0].h, titania[0].k, titania[0].l), std::make_tuple(1, 1, 0));
  EXPECT_DOUBLE_EQ(titania[0].relative, 100.0);
  EXPECT_EQ(std::tie(titania[1].h, titania[1].k, titania[1].l), std::make_tuple(0, 1, 1));
  EXPECT_NEAR(titania[1].relative, 45.0, 2.0);

  // NaCl by d descending: "No." counts the new order; a click on "No." sorts nothing.
  const std::vector<ReflexionRow> salt = ReflexionRows(run.out, "> header 3100 1\n> rows 3100\n");
  ASSERT_EQ(salt.size(), 22u);
  const ReflexionRow* strongest = &salt[0];
  for (size_t i = 0; i < salt.size(); ++i) {
    EXPECT_EQ(salt[i].no, static_cast<int>(i) + 1);
    if (i) EXPECT_LE(salt[i].d, salt[i - 1].d);
    EXPECT_NEAR(salt[i].d * std::sqrt(salt[i].n), 5.6393, 1e-4);
    if (salt[i].relative > strongest->relative) strongest = &salt[i];
  }
  EXPECT_EQ(strongest->n, 4) << "0 0 2 is the strongest";
  EXPECT_NE(run.out.find("5 d-Spacing (Å) 95 v\n"), std::string::npos) << run.out;
}

// The position column follows the x axis: after each change of unit or instrument its title is
// the new unit's and its rows stay sorted ascending on the values it now shows.
TEST(UiStructures, ReflexionsPositionColumnFollowsTheAxis) {
  const Folder folder("ui-reflexions-axis");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const struct {
    const char* command;
    const char* title;
  } steps[] = {{"33470", "d-Spacing"}, {"33481", "1/d"},       {"33480", "2π/d"},
               {"33478", "2π/d"},      {"33470", "d-Spacing"}, {"33486", "d-Spacing"},
               {"33484", "2θ"},        {"33478", "Time-of-Flight"}, {"33471", "Energy"},
               {"33472", "2θ"}};
  std::string script = "open " + rutile + "\ncommand 33589\n";
  for (const auto& step : steps) script += std::string("command ") + step.command + "\ncolumns 3100\nrows 3100\n";
  const qlwtest::ProbeRun run = folder.Run(script);
  ASSERT_EQ(run.status, 0) << run.out;
  size_t at = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.command);
    at = run.out.find(std::string("> command ") + step.command + "\n> columns 3100\n", at);
    ASSERT_NE(at, std::string::npos) << run.out;
    const size_t title = run.out.find("\n6 ", at);
    ASSERT_NE(title, std::string::npos);
    EXPECT_EQ(run.out.compare(title, 4 + std::strlen(step.title), "\n6 " + std::string(step.title) + " "), 0) << run.out;
    const std::vector<ReflexionRow> rows = ReflexionRows(run.out.substr(at), "> rows 3100\n");
    ASSERT_GT(rows.size(), 40u);
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_GE(rows[i].x, rows[i - 1].x) << i;
    ++at;
  }
}

// The wavelength and the reflexion limit set from their dialogs, which the list hears of only as
// a plot update: the rows are the new ones, and a click on one centres the plot on its peak.
TEST(UiStructures, ReflexionsFollowTheWavelengthAndLimitDialogs) {
  const Folder folder("ui-reflexions-dialogs");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const qlwtest::ProbeRun run = folder.Run("open " + rutile + "\ncommand 33589\n"
                                           "command 33485\nclick 3910\nkey Return\nrows 3100\n"
                                           "command 33578\ntype 2704 30\ntype 2701 40\nkey Return\n"
                                           "cell 3100 2 1\nplot\n"
                                           "command 33482\ntype 3002 1.5\nkey Return\nrows 3100\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const double lambda = 0.70926, rad = std::acos(-1.0) / 180.0;
  const std::vector<ReflexionRow> mo = ReflexionRows(run.out, "> key Return\n> rows 3100\n");
  ASSERT_GT(mo.size(), 49u) << "Mo reaches reflexions that Cu does not\n" << run.out;
  for (const ReflexionRow& r : mo) {
    SCOPED_TRACE(r.no);
    const double theta = std::asin(lambda / (2.0 * r.d));
    EXPECT_NEAR(r.x, 2.0 * theta / rad, 6e-5 + 2.0 * std::tan(theta) / r.d * 5e-6 / rad);
  }
  EXPECT_EQ(std::tie(mo[0].h, mo[0].k, mo[0].l), std::make_tuple(1, 1, 0));

  // The 10° window is centred on the third row's peak.
  const size_t plot = run.out.find("> plot\nplot: ");
  ASSERT_NE(plot, std::string::npos) << run.out;
  double left = 0, right = 0;
  ASSERT_EQ(std::sscanf(run.out.c_str() + run.out.find("\nx: ", plot), "\nx: %lf %lf", &left, &right), 2) << run.out;
  EXPECT_NEAR((left + right) / 2.0, mo[2].x, 1e-3) << run.out;
  EXPECT_NEAR(right - left, 10.0, 1e-6);

  const std::vector<ReflexionRow> limited = ReflexionRows(run.out, "> command 33482\n> type 3002 1.5\n> key Return\n> rows 3100\n");
  ASSERT_FALSE(limited.empty()) << run.out;
  EXPECT_LT(limited.size(), mo.size());
  for (const ReflexionRow& r : limited) EXPECT_GE(r.d, 1.5) << r.no;
}

// Rows dragged inside the list move (before, into a mixture's middle band, after); a block from
// another process adds computed copies, whatever pid it carries; a short block or one with an
// unknown kind is refused whole; dropped files land where they are dropped.
TEST(UiStructures, DragsMoveRowsAndForeignBlocksAddCheckedCopies) {
  const Folder folder("ui-structures-drag");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const std::string dir = folder.path.string();
  const std::string setup = "open " + rutile + "\nfiles " + dir + "/anatase.cif " + dir + "/nacl.cif\ncommand 34368\n" +
                            "select 0 1\ncommand 34373\n";
  const qlwtest::ProbeRun first = folder.Run(setup + "drag-out 3 " + dir + "/nacl.bin\n");
  ASSERT_EQ(first.status, 0) << first.out;
  const std::string block = qlwtest::Slurp(dir + "/nacl.bin");
  ASSERT_GT(block.size(), 24u);
  std::ofstream(dir + "/short.bin", std::ios::binary) << block.substr(0, block.size() - 1);
  std::string tagged = block;
  tagged[20] = 3;
  std::ofstream(dir + "/tag.bin", std::ios::binary) << tagged;

  const qlwtest::ProbeRun run = folder.Run(setup + "drag 3 to 0 above\nrows 3606\ndrag 0 to 1 middle\nrows 3606\n" +
                                           "drag 3 to 0 below\nrows 3606\n"
                                           "drop-in " + dir + "/nacl.bin end ownpid\nrows 3606\n"
                                           "drop-in " + dir + "/short.bin end\ndrop-in " + dir + "/tag.bin 0 above\n"
                                           "print 3606\n"
                                           "drop-files 0 above " + dir + "/anatase.cif " + dir + "/notes.cif\nrows 3606\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string expected =
      "> drag 3 to 0 above\n> rows 3606\n"
      ". | crystal | NaCl | [x] #FF00CC00 *\n"
      "- | mixture | New Mixture | [x] #FF0000CC\n"
      ". | > crystal | rutile | [x] #FF000000\n"
      ". | > crystal | anatase | [x] #FFCC0000\n"
      "> drag 0 to 1 middle\n> rows 3606\n"
      "- | mixture | New Mixture | [x] #FF0000CC\n"
      ". | > crystal | rutile | [x] #FF000000\n"
      ". | > crystal | anatase | [x] #FFCC0000\n"
      ". | > crystal | NaCl | [x] #FF00CC00 *\n"
      "> drag 3 to 0 below\n> rows 3606\n"
      "- | mixture | New Mixture | [x] #FF0000CC\n"
      ". | > crystal | rutile | [x] #FF000000\n"
      ". | > crystal | anatase | [x] #FFCC0000\n"
      ". | crystal | NaCl | [x] #FF00CC00 *\n"
      "> drop-in " + dir + "/nacl.bin end ownpid\n> rows 3606\n"
      "- | mixture | New Mixture | [x] #FF0000CC\n"
      ". | > crystal | rutile | [x] #FF000000\n"
      ". | > crystal | anatase | [x] #FFCC0000\n"
      ". | crystal | NaCl | [x] #FF00CC00 *\n"
      ". | crystal | NaCl | [x] #FF00CC00 *\n"
      "> drop-in " + dir + "/short.bin end\ndrop: refused\n"
      "> drop-in " + dir + "/tag.bin 0 above\ndrop: refused\n"
      "> print 3606\n3606: 5 rows, 2 selected\n"
      "> drop-files 0 above " + dir + "/anatase.cif " + dir + "/notes.cif\n"
      "alert: No pattern could be made from some files. | These files hold no pattern that Quillonographic can "
      "read: notes.cif\n"
      "> rows 3606\n"
      ". | crystal | anatase | [x] #FF004400 *\n";
  EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
}

// A right click on the selection opens one menu, whose command runs once: four patterns
// duplicated twice are sixteen; a label of the inspector passes its click on to one menu too.
TEST(UiStructures, ARightClickOpensOneMenuWhoseCommandRunsOnce) {
  const Folder folder("ui-right-click");
  const std::string dir = folder.path.string();
  const std::string data = std::string(QLW_SOURCE_DIR) + "/tests/data/";
  const qlwtest::ProbeRun run =
      folder.Run("open " + std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif " + data + "Quartz.cif " + dir +
                 "/anatase.cif " + dir + "/nacl.cif\nselect 0\n" +
                 "rclick 3606 menu \"Select All\"\nrclick 3606 menu \"Duplicate\"\n"
                 "rclick 3606 menu \"Select All\"\nrclick 3606 menu \"Duplicate\"\nprint 3606\nrclick 2515\n");
  ASSERT_EQ(run.status, 0) << run.out;
  size_t menus = 0;
  for (size_t at = run.out.find("\nmenu: "); at != std::string::npos; at = run.out.find("\nmenu: ", at + 1)) ++menus;
  EXPECT_EQ(menus, 5u) << run.out;
  EXPECT_NE(run.out.find("> print 3606\n3606: 16 rows, 8 selected\n"), std::string::npos) << run.out;
}
