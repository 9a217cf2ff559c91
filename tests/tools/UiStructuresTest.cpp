// The structures pane through the window-script runner: patterns added from files (one alert
// for the files that give none), selection by clicks, mixtures and their refusals, hide and show,
// the triangle, delete with its question, and the question before showing many patterns.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

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

// Twenty hidden patterns are shown at once; a twenty-first makes the pane ask first.
TEST(UiStructures, ShowingMoreThanTwentyPatternsAsksFirst) {
  const Folder folder("ui-structures-many");
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  std::string script = "open " + rutile + "\nselect 0\ncommand 34375\n";
  // 1, 2, 4, 8, 16, then four more: 20 hidden copies.
  for (int i = 0; i < 4; ++i) script += "command 34371\ncommand 57642\n";
  script += "select 0 1 2 3\ncommand 34371\ncommand 57642\nprint 3606\ncommand 34369\n";
  // Hidden again, one more copy: 21.
  script += "command 57642\ncommand 34375\nselect 0\ncommand 34371\ncommand 57642\nprint 3606\n";
  script += "answer no\ncommand 34369\ncommand 34378\nanswer yes\ncommand 34369\ncommand 34378\n";
  const qlwtest::ProbeRun run = folder.Run(script);
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string question =
      "alert: You are adding a large number of patterns to the plot. Are you sure want to do this? | This "
      "operation could take a long time.\n";
  // No question: the next line follows at once.
  const std::string twenty = "> print 3606\n3606: 20 rows, 20 selected\n> command 34369\n> command 57642\n";
  EXPECT_NE(run.out.find(twenty), std::string::npos) << run.out;
  const std::string twentyOne = "> print 3606\n3606: 21 rows, 21 selected\n> answer no\n> command 34369\n" + question +
                                "> command 34378\ndisabled\n> answer yes\n> command 34369\n" + question +
                                "> command 34378\n";
  EXPECT_NE(run.out.find(twentyOne), std::string::npos) << run.out;
}
