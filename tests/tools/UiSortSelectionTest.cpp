// A header click sorts each of the program's editable lists; the selected records stay selected
// wherever the sort puts them, and what follows the selection (a graph, a status line) stays.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::string RunScript(const std::string& name, const std::string& script) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / ("ui-sort-selection-" + name);
  fs::remove_all(folder);
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, script, "", std::string(QLW_SOURCE_DIR) + "/tests/data",
                                                     "env -u QLW_RUNTIME_DIR QLW_REGISTRY_DIR='" + (folder / "registry").string() + "'");
  EXPECT_EQ(run.status, 0) << run.out;
  return run.out;
}

// The lines printed after `marker` up to the next command.
std::vector<std::string> LinesAfter(const std::string& out, const std::string& marker) {
  std::vector<std::string> lines;
  const size_t at = out.find(marker);
  if (at == std::string::npos) return lines;
  std::istringstream in(out.substr(at + marker.size()));
  for (std::string line; std::getline(in, line) && line.rfind("> ", 0) != 0;) lines.push_back(line);
  return lines;
}

bool Selected(const std::string& row) { return row.size() > 2 && row.compare(row.size() - 2, 2, " *") == 0; }

std::vector<std::string> SelectedRows(const std::vector<std::string>& rows) {
  std::vector<std::string> out;
  for (const std::string& r : rows)
    if (Selected(r)) out.push_back(r.substr(0, r.size() - 2));
  return out;
}

bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

int Count(const std::string& out, const std::string& text) {
  int n = 0;
  for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
  return n;
}
}  // namespace

// Fe and Ni chosen, then the table sorted by Z both ways: the graph keeps drawing the two.
TEST(UiSortSelection, ScatteringFactorsKeepTheirGraph) {
  const std::string out = RunScript("asf", "command 33370\ncell 3503 29 2\ncell 3503 31 2 ctrl\n"
                                     "header 3503 2\nprint 3506\ngraph 3502\nheader 3503 2\nprint 3506\ngraph 3502\n");
  const std::string sorted = "> header 3503 2\n> print 3506\n3506: 2 of 102 factors selected\n> graph 3502\n"
                             "title: X-ray Atomic Scattering Factors for ";
  // The title names the two in the rows' order.
  EXPECT_TRUE(Has(out, sorted + "Fe and Ni\n")) << out;
  EXPECT_TRUE(Has(out, sorted + "Ni and Fe\n")) << out;
  EXPECT_EQ(Count(out, "curve Fe: 640 points"), 2) << out;
  EXPECT_EQ(Count(out, "curve Ni: 640 points"), 2) << out;
}

// Rutile's sites by label, O1 then Ti1; Ti1 chosen and the order turned round: Ti1 stays chosen.
TEST(UiSortSelection, CrystalEditorSitesKeepTheirSelection) {
  const std::string out = RunScript("crystal", "open " + std::string(QLW_SOURCE_DIR) +
                                             "/examples/rutile.cif\ncommand 33371\ncell 1806 1 2\nrows 1806\n"
                                             "header 1806 2\nrows 1806\nkey Escape\n");
  const std::vector<std::string> before = LinesAfter(out, "> cell 1806 1 2\n> rows 1806\n");
  const std::vector<std::string> after = LinesAfter(out, "> header 1806 2\n> rows 1806\n");
  ASSERT_EQ(before.size(), 2u) << out;
  ASSERT_EQ(after.size(), 2u) << out;
  EXPECT_TRUE(Has(before[1], "| Ti1 |") && Selected(before[1])) << out;
  EXPECT_TRUE(Has(after[0], "| Ti1 |") && Selected(after[0])) << out;
  EXPECT_FALSE(Selected(after[1])) << out;
}

// New data: (0, 0), (10, 1), (20, 2); the first point chosen, then x descending puts it last.
TEST(UiSortSelection, DataEditorPointsKeepTheirSelection) {
  const std::string out = RunScript("data", "command 33269\ncell 1851 0 1\nheader 1851 2\nheader 1851 2\nrows 1851\nprint 1854\n"
                                      "key Escape\n");
  EXPECT_TRUE(Has(out, "> rows 1851\n3 |    20.0000 |     2.0000\n2 |    10.0000 |     1.0000\n"
                       "1 |     0.0000 |     0.0000 *\n> print 1854\n1854: 1 of 3 points selected\n"))
      << out;
}

// A reflexion chosen in rutile's list (sorted by 2θ), then the list sorted by d both ways and by
// h: the same reflexion is the one selected row each time.
TEST(UiSortSelection, ReflexionsKeepTheirSelection) {
  const std::string out = RunScript("reflexions", "open " + std::string(QLW_SOURCE_DIR) +
                                                "/examples/rutile.cif\ncommand 33589\nchoose 3100 #4\nrows 3100\n"
                                                "header 3100 5\nrows 3100\nheader 3100 5\nrows 3100\nheader 3100 2\nrows 3100\n");
  const auto chosen = [](const std::vector<std::string>& rows) {
    std::vector<std::string> hkl;
    // The row without its "No.", which counts places, not reflexions.
    for (const std::string& r : SelectedRows(rows)) hkl.push_back(r.substr(r.find('|')));
    return hkl;
  };
  const std::vector<std::string> first = chosen(LinesAfter(out, "> choose 3100 #4\n> rows 3100\n"));
  ASSERT_EQ(first.size(), 1u) << out;
  int sorts = 0;
  for (const char* marker : {"> header 3100 5\n> rows 3100\n", "> header 3100 2\n> rows 3100\n"})
    for (size_t at = out.find(marker); at != std::string::npos; at = out.find(marker, at + 1), ++sorts)
      EXPECT_EQ(chosen(LinesAfter(out.substr(at), marker)), first) << marker << out;
  EXPECT_EQ(sorts, 3) << out;
}
