// The crystal and data editors driven in the real window: what they show, what OK refuses, what
// they write into the document, and a typed structure against the same structure read from a file.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

namespace fs = std::filesystem;

namespace {
// Runs the script from the test data folder.
std::string RunScript(const std::string& name, const std::string& script) {
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-editors-" + name), script,
                                                     "", std::string(QLW_SOURCE_DIR) + "/tests/data");
  EXPECT_EQ(run.status, 0) << run.out;
  return run.out;
}

bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

const std::string kUisoAlert =
    "alert: Invalid displacement parameters for site Label | Please change the Uiso (isotropic) value, or choose a "
    "different parameter type.\n";
}  // namespace

// A new crystal starts with one row; a None row's displacement cells are read-only; an unknown
// symbol disables OK (Return still reports it) and a known one names its system and operators.
TEST(UiEditors, NewCrystalStatusLines) {
  const std::string out = RunScript("status",
                                    "command 33268\nprint 1820 1822\nedit 1806 0 7 0.5\ntype 1821 Q 12\nprint 1820 1 1803\n"
                                    "key Return\nprint 1821\ntype 1821 Fm-3m\nprint 1820 1 1803\nkey Escape\nkey Escape\n"
                                    "print 3606\ncommand 33268\nclick 1819\nprint 1 1822\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> print 1820 1822\n1820: Triclinic spacegroup (No. 1): 1 general equivalent positions.\n"
                       "1822: 1 of 1 sites selected\n"
                       "> edit 1806 0 7 0.5\nread-only\n"))
      << out;
  EXPECT_TRUE(Has(out, "> print 1820 1 1803\n1820: Spacegroup not recognised\ndisabled 1: OK\n1803: \n")) << out;
  EXPECT_TRUE(Has(out, "> key Return\nalert: Invalid spacegroup. | Please enter a valid spacegroup symbol in the "
                       "Spacegroup box.\n> print 1821\n1821: Q 12\n"))
      << out;
  EXPECT_TRUE(Has(out, "1820: Cubic spacegroup (No. 225): 48 general equivalent positions.\n1: OK\n1803: hidden\n"))
      << out;
  EXPECT_TRUE(Has(out, "> print 3606\n3606: 0 rows")) << "Cancel adds no pattern\n" << out;
  EXPECT_TRUE(Has(out, "> print 1 1822\ndisabled 1: OK\n1822: 0 of 0 sites selected\n")) << out;
}

// OK refuses, one check at a time and with the dialog open: Uiso outside 0..100, a Uij tensor
// that is not positive definite although its determinant is, and a cell that cannot close.
TEST(UiEditors, OkRefusesDisplacementsAndCellsThatCannotBe) {
  const std::string out =
      RunScript("refusals",
                "command 33268\ncell 1806 0 14 menu 33870\n"
                "edit 1806 0 13 100.0001\nclick 1\nedit 1806 0 13 -0.0001\nclick 1\nedit 1806 0 13 100\n"
                "cell 1806 0 14 menu 33869\nrows 1806\nedit 1806 0 12 2\nclick 1\nedit 1806 0 12 0.5\n"
                "type 1804 60\ntype 1808 60\ntype 1815 120\nclick 1\ntype 1815 90\nclick 1\nprint 3606\n");
  EXPECT_TRUE(Has(out, "> click 1\n" + kUisoAlert + "> edit 1806 0 13 -0.0001\n> click 1\n" + kUisoAlert)) << out;
  // The identity a new row starts with, shown once the row is switched to Uij.
  EXPECT_TRUE(Has(out, "[x] | Label | C  1.00 |     0.0000 |     0.0000 |     0.0000 |  1.00000 |  1.00000 |  1.00000 |"
                       "  0.00000 |  0.00000 |  0.00000 | • | Uij *\n"))
      << out;
  EXPECT_TRUE(Has(out, "> edit 1806 0 12 2\n> click 1\nalert: Invalid displacement parameters for site Label | Please "
                       "change the Uij (anisotropic) value, or choose a different parameter type.\n"))
      << out;
  EXPECT_TRUE(Has(out, "> type 1815 120\n> click 1\nalert: The unit cell cannot be built.")) << out;
  EXPECT_TRUE(Has(out, "> print 3606\n3606: 1 rows")) << out;
}

// Anisotropic sites are built with the reciprocal lengths of the cell being written: U11 = 0.01
// stays 0.01 when a goes from 5 to 10 Å.
TEST(UiEditors, AnisotropicSitesFollowTheNewCell) {
  const std::string out = RunScript("metrics",
                                    "command 33268\ncell 1806 0 14 menu 33869\nedit 1806 0 7 0.01\ntype 1800 5\nclick 1\n"
                                    "command 33371\ntype 1800 10\nclick 1\ncommand 33371\nrows 1806\nprint 1800\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> rows 1806\n[x] | Label | C  1.00 |     0.0000 |     0.0000 |     0.0000 |  0.01000 |  1.00000 |"
                       "  1.00000 |  0.00000 |  0.00000 |  0.00000 | • | Uij\n> print 1800\n1800: 10.00000\n"))
      << out;
}

// Sorting by Uiso puts rows without displacements first when ascending, last when descending.
TEST(UiEditors, SortingByUisoPutsRowsWithoutDisplacementsFirst) {
  const std::string out = RunScript("sort",
                                    "open " + std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif\ncommand 33371\ncell 1806 0 14 menu 33868\nheader 1806 13\n"
                                    "rows 1806\nheader 1806 13\nrows 1806\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> header 1806 13\n> rows 1806\n[x] | O1 |")) << out;
  EXPECT_TRUE(Has(out, "> header 1806 13\n> rows 1806\n[x] | Ti1 |")) << out;
  EXPECT_TRUE(Has(out, "| • | None *\n> key Escape")) << out << "the row set to None stays selected";
}

namespace {
struct Reflexion {
  double d, intensity;
  int multiplicity;
};

// hkl → d, intensity and multiplicity from the reflexions pane's rows after `marker`.
std::map<std::tuple<int, int, int>, Reflexion> Reflexions(const std::string& out, const std::string& marker) {
  std::map<std::tuple<int, int, int>, Reflexion> table;
  std::istringstream lines(out.substr(out.find(marker) + marker.size()));
  std::string line;
  while (std::getline(lines, line) && line.rfind(">", 0) != 0) {
    std::istringstream fields(line);
    std::string number, bar;
    int h, k, l, multiplicity;
    double d, x, intensity;
    std::string percent;
    if (fields >> number >> bar >> h >> bar >> k >> bar >> l >> bar >> d >> bar >> x >> bar >> intensity >> bar >>
        percent >> bar >> multiplicity)
      table[{h, k, l}] = {d, intensity, multiplicity};
  }
  return table;
}
}  // namespace

// Rock salt typed into a new crystal gives the reflexions of nacl.cif (the file's numbers are
// single precision, so the last digits may differ).
TEST(UiEditors, TypedRockSaltGivesTheReflexionsOfItsFile) {
  const std::string typed =
      RunScript("typed",
                "command 33268\ntype 1821 Fm-3m\ntype 1800 5.6393\ntype 1807 5.6393\ntype 1812 5.6393\n"
                "edit 1806 0 2 Na1\nedit 1806 0 3 Na\nclick 1801\nedit 1806 1 2 Cl1\nedit 1806 1 3 Cl\n"
                "edit 1806 1 4 0.5\nedit 1806 1 5 0.5\nedit 1806 1 6 0.5\n"
                "click 1\ncommand 33589\nrows 3100\n");
  const std::string read = RunScript("read", "open nacl.cif\ncommand 33589\nrows 3100\n");
  const auto fromEditor = Reflexions(typed, "> rows 3100\n");
  const auto fromFile = Reflexions(read, "> rows 3100\n");
  ASSERT_GT(fromFile.size(), 10u) << read;
  ASSERT_EQ(fromEditor.size(), fromFile.size()) << typed;
  for (const auto& [hkl, r] : fromFile) {
    const auto it = fromEditor.find(hkl);
    ASSERT_NE(it, fromEditor.end());
    EXPECT_EQ(it->second.multiplicity, r.multiplicity);
    EXPECT_NEAR(it->second.d, r.d, 2e-5);
    EXPECT_NEAR(it->second.intensity, r.intensity, 1e-4 * r.intensity);
  }
}

// New observed data: three rows to start; letters and infinity are refused in place; "-"
// renumbers; OK writes the rows in the order of the last sort; with no row OK and "-" are off.
TEST(UiEditors, DataEditorPointsAndOrder) {
  const std::string out = RunScript(
      "data", "command 33269\nrows 1851\nedit 1851 0 2 abc\nedit 1851 1 2 30\nclick 1850\nedit 1851 3 2 5\n"
              "edit 1851 3 3 1E999\nclick 1850\nedit 1851 4 2 15\nrows 1851\ncell 1851 1 1\ncell 1851 2 1 ctrl\n"
              "print 1854\nclick 1853\nrows 1851\nheader 1851 2\nheader 1851 2\nclick 1\ncommand 33371\nrows 1851\n"
              "cell 1851 0 1\ncell 1851 2 1 shift\nclick 1853\nprint 1 1853 1854\nkey Escape\ncommand 33371\n"
              "print 1854\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> rows 1851\n1 |     0.0000 |     0.0000\n2 |    10.0000 |     1.0000\n3 |    20.0000 |     2.0000\n"))
      << out;
  EXPECT_TRUE(Has(out, "1 |     0.0000 |     0.0000\n2 |    30.0000 |     1.0000\n3 |    20.0000 |     2.0000\n"
                       "4 |     5.0000 |     0.0000\n5 |    15.0000 |     0.0000 *\n"))
      << out;
  EXPECT_TRUE(Has(out, "1854: 2 of 5 points selected\n")) << out;
  EXPECT_TRUE(Has(out, "> click 1853\n> rows 1851\n1 |     0.0000 |     0.0000\n2 |     5.0000 |     0.0000\n"
                       "3 |    15.0000 |     0.0000\n"))
      << out;
  EXPECT_TRUE(Has(out, "> command 33371\n> rows 1851\n1 |    15.0000 |     0.0000\n2 |     5.0000 |     0.0000\n"
                       "3 |     0.0000 |     0.0000\n"))
      << out;
  EXPECT_TRUE(Has(out, "disabled 1: OK\ndisabled 1853: -\n1854: 0 of 0 points selected\n")) << out;
  EXPECT_TRUE(Has(out, "> print 1854\n1854: 0 of 3 points selected\n")) << "Cancel kept the points\n" << out;
}
