// The demo's editable lists and splitter through the window-script runner: cells read as the
// list draws them, ticks, sorting from the header, a menu cell, editing in place, Shift
// selection, Delete, and a splitter dragged past its limits.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(UiLists, DemoListsAndSplitterWorkAsAUserDrivesThem) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-lists";
  fs::create_directories(folder);
  const fs::path path = folder / "script.txt";
  std::ofstream(path) << "demo controls\n"
                         "rows 9320\n"
                         "columns 9320\n"
                         "columns 9321\n"
                         "cell 9320 2 1\n"
                         "cell 9320 3 1\n"
                         "rows 9320\n"
                         "header 9320 2\n"
                         "header 9320 2\n"
                         "rows 9320\n"
                         "columns 9320\n"
                         "cell 9321 0 2\n"
                         "cell 9321 1 2 menu 9383\n"
                         "rows 9321\n"
                         "cell 9320 0 2\n"
                         "cell 9320 0 2\n"
                         "focus 666\n"
                         "type 666 Ilmenite\n"
                         "key Return\n"
                         "print 9399\n"
                         "cell 9320 1 2 shift\n"
                         "rows 9320\n"
                         "key Delete\n"
                         "rows 9320\n"
                         "drag-by 9330 300 0\n"
                         "print 9356\n"
                         "drag-by 9330 -1000 0\n"
                         "print 9356\n";
  const qlwtest::ProbeRun run = qlwtest::RunShell("cd '" + folder.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                                                  qlwtest::ProbeCommand("ui '" + path.string() + "'") + " 2>/dev/null");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> demo controls\n"
            "> rows 9320\n"
            "[x] | Rutile | 0.50 | #FFFF0000\n"
            "[x] | Anatase | 0.25 | #FF0000FF\n"
            "[ ] | Brookite | 0.25 | #FF000000\n"
            "[-] | Corundum | 0.00 | #FFFFFFFF\n"
            "> columns 9320\n"
            "9320: client 400\n"
            "1  40\n"
            "2 Name 60\n"
            "3 Fraction 220\n"
            "4  80\n"
            "> columns 9321\n"
            "9321: client 300\n"
            "1 Site 100\n"
            "2 Label 200\n"
            "> cell 9320 2 1\n"
            "> cell 9320 3 1\n"
            "> rows 9320\n"
            "[x] | Rutile | 0.50 | #FFFF0000\n"
            "[x] | Anatase | 0.25 | #FF0000FF\n"
            "[x] | Brookite | 0.25 | #FF000000\n"
            "[x] | Corundum | 0.00 | #FFFFFFFF *\n"
            "> header 9320 2\n"
            "> header 9320 2\n"
            "> rows 9320\n"
            "[x] | Rutile | 0.50 | #FFFF0000\n"
            "[x] | Corundum | 0.00 | #FFFFFFFF *\n"
            "[x] | Brookite | 0.25 | #FF000000\n"
            "[x] | Anatase | 0.25 | #FF0000FF\n"
            "> columns 9320\n"
            "9320: client 400\n"
            "1  40\n"
            "2 Name 60 v\n"
            "3 Fraction 220\n"
            "4  80\n"
            "> cell 9321 0 2\n"
            "menu: Float | Top | Bottom\n"
            "> cell 9321 1 2 menu 9383\n"
            "menu: Float | Top | Bottom\n"
            "> rows 9321\n"
            "Ti1 | Float\n"
            "O1 | Bottom *\n"
            "> cell 9320 0 2\n"
            "> cell 9320 0 2\n"
            "> focus 666\n"
            "> type 666 Ilmenite\n"
            "> key Return\n"
            "> print 9399\n"
            "9399: Pressed 0\n"
            "> cell 9320 1 2 shift\n"
            "> rows 9320\n"
            "[x] | Ilmenite | 0.50 | #FFFF0000 *\n"
            "[x] | Corundum | 0.00 | #FFFFFFFF *\n"
            "[x] | Brookite | 0.25 | #FF000000\n"
            "[x] | Anatase | 0.25 | #FF0000FF\n"
            "> key Delete\n"
            "> rows 9320\n"
            "[x] | Brookite | 0.25 | #FF000000\n"
            "[x] | Anatase | 0.25 | #FF0000FF\n"
            "> drag-by 9330 300 0\n"
            "> print 9356\n"
            "9356: moved: 160\n"
            "> drag-by 9330 -1000 0\n"
            "> print 9356\n"
            "9356: moved: -320\n");
}

// A press in a colour cell opens the colour popup; the press's release chooses nothing, and the
// popup keeps the pointer until an entry is clicked, whose colour the cell then takes.
TEST(UiLists, ColourCellPressOpensThePopup) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-list-colour";
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, "demo controls\ncell 9320 0 4\nrows 9320\nhover 3\npopup 3\nrows 9320\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> cell 9320 0 4\n> rows 9320\n[x] | Rutile | 0.50 | #FFFF0000 *\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("> popup 3\n> rows 9320\n[x] | Rutile | 0.50 | #FFFF8C00 *\n"), std::string::npos) << run.out;
}

// The reflexions list and the species list keep their first column 0 px wide: `choose` clicks a
// cell of the row that is drawn, and the row is chosen.
TEST(UiLists, ChooseClicksADrawnCellWhenTheFirstColumnIsHidden) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-lists-choose";
  fs::remove_all(folder);
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, "open " + std::string(QLW_SOURCE_DIR) +
                                                                 "/tests/data/cell-8-9-10.cif\n"
                                                                 "command 33589\n"
                                                                 "choose 3100 #2\n"
                                                                 "rows 3100\n"
                                                                 "tab Parameters\n"
                                                                 "command 34069\n"
                                                                 "click 2370\n"
                                                                 "click 2372\n"
                                                                 "print 2377\n"
                                                                 "choose 2375 #1\n"
                                                                 "print 2377\n");
  ASSERT_EQ(run.status, 0) << run.out;
  const size_t rows = run.out.find("> rows 3100\n");
  ASSERT_NE(rows, std::string::npos) << run.out;
  // The third row alone carries the selection mark.
  std::vector<std::string> lines;
  for (size_t at = rows + 12; at < run.out.size() && run.out.compare(at, 2, "> ") != 0;) {
    const size_t end = run.out.find('\n', at);
    lines.push_back(run.out.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_GE(lines.size(), 3u) << run.out;
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i].size() > 2 && lines[i].compare(lines[i].size() - 2, 2, " *") == 0, i == 2) << lines[i];
  // "–" needs a chosen element.
  EXPECT_NE(run.out.find("> print 2377\ndisabled 2377: –\n> choose 2375 #1\n> print 2377\n2377: –\n"), std::string::npos)
      << run.out;
}
