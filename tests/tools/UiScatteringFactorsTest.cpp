// The scattering-factors palette in the running program: its graph of the selected rows, its
// menus and cursor, the table's export, import and reset, and a table that outlives the run.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {
struct UiRun {
  std::string out;
  int status = -1;
};

// Runs a script with the registry in `folder`, so that a second run starts where the first left.
UiRun RunScript(const fs::path& folder, const std::string& name, const std::string& script) {
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(
      folder, script, "", "", "env -u QLW_RUNTIME_DIR QLW_REGISTRY_DIR='" + (folder / "registry").string() + "'",
      name + ".txt");
  return {run.out, run.status};
}

fs::path Fresh(const std::string& name) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

}  // namespace

// Rows 29 to 31 of the built-in table are Fe, Co and Ni: f(0) = a1 + a2 + a3 + a4 + c is near the
// electron count, the y range ends at the largest f, and one sample is taken per pixel of width.
TEST(UiScatteringFactors, GraphOfTheSelectedRows) {
  const UiRun run = RunScript(Fresh("ui-asf-graph"), "graph",
                              "command 33370\n"
                              "cell 3503 29 2\ncell 3503 30 2 ctrl\ncell 3503 31 2 ctrl\n"
                              "print 3506\ngraph 3502\n"
                              "cell 3503 30 2 ctrl\ngraph 3502\n"
                              "cell 3503 31 2 ctrl\ngraph 3502\n"
                              "cell 3503 29 2 ctrl\nprint 3506 3504\ngraph 3502\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "> print 3506\n3506: 3 of 102 factors selected\n> graph 3502\n"
                           "title: X-ray Atomic Scattering Factors for Fe, Co, and Ni\n"
                           "x range: 0 4\ny range: 0 27.9875\n"))
      << run.out;
  const std::regex curve(R"(curve (\w+): (\d+) points, first 0 ([0-9.]+), last ([0-9.]+) ([0-9.]+)\n)");
  std::vector<std::string> firsts;
  for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), curve); it != std::sregex_iterator(); ++it) {
    const int n = std::stoi((*it)[2]);
    ASSERT_GT(n, 100);
    // The last sample is one step short of 4.
    EXPECT_NEAR(std::stod((*it)[4]), 4.0 * (n - 1) / n, 1e-4) << (*it)[0];
    firsts.push_back((*it)[1].str() + " " + (*it)[3].str());
  }
  EXPECT_EQ(firsts, (std::vector<std::string>{"Fe 25.9904", "Co 26.989", "Ni 27.9875", "Fe 25.9904", "Ni 27.9875",
                                              "Fe 25.9904"}));
  EXPECT_TRUE(Has(run.out, "title: X-ray Atomic Scattering Factors for Fe and Ni\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "title: X-ray Atomic Scattering Factor for Fe\n")) << run.out;
  // Nothing selected: axes only, on a span of 0 to 1, and nothing for "-" to remove.
  EXPECT_TRUE(Has(run.out, "3506: 0 of 102 factors selected\ndisabled 3504: -\n> graph 3502\n"
                           "title: \nx range: 0 4\ny range: 0 1\n"))
      << run.out;
}

TEST(UiScatteringFactors, MenusFollowTheGridlinesAndTheCursor) {
  const UiRun run = RunScript(Fresh("ui-asf-menus"), "menus",
                              "command 33370\n"
                              "rclick 3502\nrclick 3502 menu 34275\nrclick 3502\n"
                              // A click puts the cursor where it was made; a drag from there moves it.
                              "click 3502\ndrag-by 3502 80 0\nrclick 3502\n"
                              "click 3500\n"
                              "rclick 3502 menu 34271\nclipboard\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string before = "menu: Hide Gridlines | Show Cursor | - | Copy Graphics | Export Graphics...\n";
  EXPECT_TRUE(Has(run.out, "> rclick 3502\n" + before + "> rclick 3502 menu 34275\n" + before +
                               "> rclick 3502\nmenu: Show Gridlines | Show Cursor | - | Copy Graphics | Export Graphics...\n"))
      << run.out;
  // The cursor went away from the middle with the drag: the middle's menu is the graph's.
  EXPECT_TRUE(Has(run.out, "> drag-by 3502 80 0\n> rclick 3502\n"
                           "menu: Show Gridlines | Hide Cursor | - | Copy Graphics | Export Graphics...\n"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "> click 3500\nmenu: Import | Export | - | Factory Reset | - | Copy Graphics | "
                           "Export Graphics... | - | Help\n"))
      << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(> clipboard\nclipboard: image \d{3} x \d{3}\n)"))) << run.out;
}

// Export, Import, Export gives the same bytes; imported rows arrive unselected; a bad line and a
// file of comments change nothing; an element symbol in capitals is put right; Factory Reset
// brings the built-in table back.
TEST(UiScatteringFactors, ExportImportAndReset) {
  const fs::path folder = Fresh("ui-asf-files");
  const std::string first = (folder / "first.txt").string(), second = (folder / "second.txt").string();
  {
    std::ofstream bad(folder / "bad.txt");
    for (int i = 1; i < 39; ++i) bad << "! comment " << i << "\n";
    bad << "Fe 26 55.847 11.7695 4.7611 7.3573 0.3072 3.5222 15.3535 2.3045 76.8805 1.0369 9.45\n";
    bad << "Fe 26 55.847 11.7695 4.7611 7.3573 0.3072 3.5222 15.3535 2.3045 76.8805 1.0369 9.45 1.0\n";
    std::ofstream(folder / "comments.txt") << "! nothing\n// here\n";
    std::ofstream(folder / "two.txt") << "CA 20 40.08 8.6266 10.4421 7.3873 0.6599 1.5899 85.7484 1.0211 178.437 "
                                         "1.3751 4.70 \"calcium\"\nLi+1 3 6.941 0.6968 4.6237 0.7888 1.9557 0.3414 "
                                         "0.6316 0.1563 10.0953 0.0167\n";
  }
  const UiRun run = RunScript(
      folder, "files",
      "command 33370\n"
      "files " + first + "\nclick 3500 menu 34268\n" +
      "files " + first + "\nclick 3500 menu 34269\n" +
      "files " + second + "\nclick 3500 menu 34268\n" +
      "files " + (folder / "bad.txt").string() + "\nclick 3500 menu 34269\nprint 3506\n" +
      "files " + (folder / "comments.txt").string() + "\nclick 3500 menu 34269\nprint 3506\n" +
      "files " + (folder / "two.txt").string() + "\nclick 3500 menu 34269\nprint 3506\nrows 3503\n" +
      "cell 3503 0 2\ncell 3503 1 2 shift\nprint 3506 3504\n" +
      "click 3500 menu 34270\nprint 3506\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string exported = qlwtest::Slurp(first);
  ASSERT_GT(exported.size(), 10000u);
  EXPECT_EQ(qlwtest::Slurp(second), exported);
  EXPECT_TRUE(Has(run.out, "alert: Invalid line in ASF file. | Input line 40 in the ASF data file")) << run.out;
  // A file of comments only changes nothing and says nothing.
  EXPECT_TRUE(std::regex_search(run.out, std::regex("comments\\.txt\n> click 3500 menu 34269\n(menu: [^\n]*\n)?> print 3506\n"
                                                    "3506: 0 of 102 factors selected\n")))
      << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("Input line 40[^\n]*\n(> [^\n]*\n)+3506: 0 of 102 factors selected\n")))
      << run.out;
  EXPECT_TRUE(Has(run.out, "3506: 0 of 2 factors selected\n> rows 3503\nCa | 20 | 40.080 | 8.62660 | 10.44210 | "
                           "7.38730 | 0.65990 | 1.58990 | 85.74840 | 1.02110 | 178.43700 | 1.37510 | 4.7000 | calcium\n"
                           "Li+1 | 3 | 6.941 | 0.69680 | 4.62370 | 0.78880 | 1.95570 | 0.34140 | 0.63160 | 0.15630 | "
                           "10.09530 | 0.01670 | 0.0000 | \n"))
      << run.out;
  // Removing every row would leave no table: "-" is off while all are selected.
  EXPECT_TRUE(Has(run.out, "3506: 2 of 2 factors selected\ndisabled 3504: -\n")) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("> click 3500 menu 34270\n(menu: [^\n]*\n)?> print 3506\n"
                                                    "3506: 0 of 102 factors selected\n")))
      << run.out;
}

// Rows deleted and added are stored with the preferences when the program ends, and the next
// run starts with them.
TEST(UiScatteringFactors, AnEditedTableOutlivesTheRun) {
  const fs::path folder = Fresh("ui-asf-restart");
  const UiRun before = RunScript(folder, "before",
                                 "command 33370\ncell 3503 0 1\nclick 3504\n"
                                 "click 3501\ntype 666 xx\nkey Return\nprint 3506\nquit\n");
  ASSERT_EQ(before.status, 0) << before.out;
  EXPECT_TRUE(Has(before.out, "3506: 1 of 102 factors selected\n")) << before.out;
  const UiRun after = RunScript(folder, "after", "command 33370\nprint 3506\nrows 3503\n");
  ASSERT_EQ(after.status, 0) << after.out;
  EXPECT_TRUE(Has(after.out, "> rows 3503\nH | 1 | 1.008 |")) << after.out;  // D was removed
  EXPECT_TRUE(std::regex_search(after.out, std::regex("\nxx \\| 14 \\| 28.086 \\|[^\n]*\n$"))) << after.out;
}

// The table is wider than the palette: clicks on f9 and on the notes edit them, and Tab from W to
// f9 brings f9 into view, where its editor shows what is typed.
TEST(UiScatteringFactors, EveryColumnIsEditedWhereItShows) {
  std::string script = "command 33370\nedit 3503 1 12 5\nedit 3503 1 14 note\ncell 3503 0 3\ncell 3503 0 3\n";
  for (int i = 0; i < 9; ++i) script += "key Tab\n";
  script += "rect 666 3503\ntype 666 7.5\nkey Return\nrows 3503\n";
  const UiRun run = RunScript(Fresh("ui-asf-wide"), "wide", script);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "> rows 3503\n"
                           "D | 1 | 2.014 | 0.49300 | 10.51090 | 0.32291 | 26.12570 | 0.14019 | 3.14236 | 0.04081 | "
                           "57.79970 | 7.50000 | 6.6710 | f for H *\n"
                           "H | 1 | 1.008 | 0.49300 | 10.51090 | 0.32291 | 26.12570 | 0.14019 | 3.14236 | 0.04081 | "
                           "57.79970 | 5.00000 | -3.7390 | note\n"))
      << run.out;
  std::smatch editor, list;
  ASSERT_TRUE(std::regex_search(run.out, editor, std::regex("\n666: (-?\\d+) -?\\d+ (\\d+) \\d+\n"))) << run.out;
  ASSERT_TRUE(std::regex_search(run.out, list, std::regex("\n3503: (-?\\d+) -?\\d+ (\\d+) \\d+\n"))) << run.out;
  EXPECT_GE(std::stoi(editor[1]), std::stoi(list[1])) << run.out;
  EXPECT_LE(std::stoi(editor[1]) + std::stoi(editor[2]), std::stoi(list[1]) + std::stoi(list[2])) << run.out;
}

// The cursor's readouts stand clear of the title: switched on in the middle of the graph, under
// the title's centre, the cursor changes no pixel of the rows the title is drawn in.
TEST(UiScatteringFactors, CursorReadoutsLeaveTheTitleAlone) {
  const fs::path folder = Fresh("ui-asf-readout");
  const UiRun run = RunScript(folder, "readout",
                              "command 33370\ncell 3503 29 2\ncell 3503 30 2 ctrl\ncell 3503 31 2 ctrl\n"
                              "shot " + (folder / "off.png").string() + " dialog\n"
                              "click 3502\n"
                              "shot " + (folder / "on.png").string() + " dialog\nrect 3502\n");
  ASSERT_EQ(run.status, 0) << run.out;
  std::smatch graph;
  ASSERT_TRUE(std::regex_search(run.out, graph, std::regex("\n3502: (\\d+) (\\d+) (\\d+) (\\d+)\n"))) << run.out;
  const int left = std::stoi(graph[1]), top = std::stoi(graph[2]), width = std::stoi(graph[3]);
  const QImage off = QImage((folder / "off.png").string().c_str()).convertToFormat(QImage::Format_RGB32);
  const QImage on = QImage((folder / "on.png").string().c_str()).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(off.isNull());
  ASSERT_EQ(off.size(), on.size());
  auto inked = [&](int y) {
    for (int x = left; x < left + width; ++x)
      if (qGray(off.pixel(x, y)) < 128) return true;
    return false;
  };
  // The title: the first run of rows with dark pixels from the graph's top.
  int y = top;
  while (y < off.height() && !inked(y)) ++y;
  const int titleTop = y;
  while (y < off.height() && inked(y)) ++y;
  ASSERT_GT(y - titleTop, 5) << "no title found";
  int changed = 0, elsewhere = 0;
  for (int row = top; row < off.height(); ++row)
    for (int x = left; x < left + width; ++x)
      if (off.pixel(x, row) != on.pixel(x, row)) ++(row >= titleTop && row < y ? changed : elsewhere);
  EXPECT_GT(elsewhere, 500) << "the cursor was not drawn";
  EXPECT_EQ(changed, 0) << "rows " << titleTop << " to " << y;
}
