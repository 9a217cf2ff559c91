// The preferences dialog driven in the real window, with the registry it saves to read back by the
// probe: what each page shows, what Save, Reset and Cancel leave stored, and how the dialog sizes.
// Also the reflexions-limit and Scale X dialogs.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const std::string kNaCl = std::string(QLW_SOURCE_DIR) + "/tests/data/nacl.cif";

bool Has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

// One registry for a test's runs of the window and of the probe's preference commands.
struct Registry {
  fs::path folder;
  explicit Registry(const std::string& name) : folder(fs::path(qlwtest::ScratchDir()) / ("ui-prefs-" + name)) {
    fs::remove_all(folder);
    fs::create_directories(folder / "registry");
    // A stored store, so that the window reads what the tests set instead of starting afresh.
    EXPECT_EQ(qlwtest::RunShell(Env() + " " + qlwtest::ProbeCommand("prefs-create") + " >/dev/null 2>&1").status, 0);
  }
  std::string Env() const { return "env -u QLW_RUNTIME_DIR QLW_REGISTRY_DIR='" + (folder / "registry").string() + "'"; }
  std::string Run(const std::string& script) const {
    const qlwtest::ProbeRun run = qlwtest::RunUiScript(folder, script, "", "", Env());
    EXPECT_EQ(run.status, 0) << run.out;
    return run.out;
  }
  std::string Get(const std::string& name) const {
    return qlwtest::RunShell(Env() + " " + qlwtest::ProbeCommand("prefs-get " + name) + " 2>&1").out;
  }
  void Set(const std::string& name, const std::string& hex) const {
    const qlwtest::ProbeRun run = qlwtest::RunShell(Env() + " " + qlwtest::ProbeCommand("prefs-set " + name + " " + hex) + " 2>&1");
    EXPECT_EQ(run.status, 0) << name << ": " << run.out;
  }
};
}  // namespace

// The road: a particle size saved on the Sample page is the size of the next crystal
// opened, and the store holds it as little-endian double bytes.
TEST(UiPreferences, SavedPagesReachTheRegistryAndNewPatterns) {
  const Registry registry("road");
  const std::string out = registry.Run("command 33369\nprint 1500 1\n"
                                       "tab Diffraction\nprint 1500\ntype 2960 200\nkey Tab\nprint 2959 2960 1\n"
                                       "tab Sample\ntype 3050 2\nkey Tab\nclick 1\n"
                                       "open " + kNaCl + "\nfield 0 ParticleSize\n");
  EXPECT_TRUE(Has(out, "1500: General (1 of 7)\ndisabled 1: Save\n")) << out;
  EXPECT_TRUE(Has(out, "1500: Diffraction (2 of 7)\n")) << out;
  // The voltage typed is not overwritten by the wavelength it set.
  EXPECT_TRUE(Has(out, "2959: 0.02508\n2960: 200.00\n1: Save\n")) << out;
  EXPECT_TRUE(Has(out, "ParticleSize: 20000\n")) << out;
  EXPECT_EQ(registry.Get("ParticleSize"), "000000000088d340\n20000\n");
}

// A page keeps its unsaved edits when its tab is shown again, Save stays enabled, and Save stores
// what the pages show; a Reset still brings the factory settings into a page that has edits.
TEST(UiPreferences, PagesKeepTheirEditsWhenShownAgainAndSaveStoresThem) {
  const Registry registry("kept");
  const struct {
    std::string tab, id, edit, shown, name, stored;
  } pages[] = {
      {"General", "2918", "click 2918\n", "2918: [ ] Automatic", "UpdateCheckNotify", "00\nfalse\n"},
      {"Diffraction", "2952", "type 2952 0.7093\nkey Tab\n", "2952: 0.70930", "Lambda",
       "8ab0e1e995b2e63f\n0.70930000000000004\n"},
      {"Profile", "2973", "type 2973 0.7\nkey Tab\n", "2973: 0.700", "Eta", "666666666666e63f\n0.69999999999999996\n"},
      {"Display", "2992", "type 2992 2.5\nkey Tab\n", "2992: 2.5", "FilmGamma", "0000000000000440\n2.5\n"},
      {"Styles", "3032", "type 3032 2\nkey Tab\n", "3032: 2.0", "OverlayLineWidth", "0000000000000040\n2\n"},
      {"Sample", "3050", "type 3050 2\nkey Tab\n", "3050: 2.0000", "ParticleSize", "000000000088d340\n20000\n"},
      {"Labels", "3071", "type 3071 25\nkey Tab\n", "3071: 25.00", "LabelThreshold", "0000000000003940\n25\n"},
  };
  std::string script = "command 33369\n";
  for (const auto& page : pages) script += "tab " + page.tab + "\n" + page.edit;
  // Every page is left and shown again: General after Labels, each other one after all the rest.
  for (const auto& page : pages) script += "tab " + page.tab + "\nprint " + page.id + " 1\n";
  const std::string out = registry.Run(script + "click 1\n");
  for (const auto& page : pages) {
    EXPECT_TRUE(Has(out, "> print " + page.id + " 1\n" + page.shown + "\n1: Save\n")) << page.tab << "\n" << out;
    EXPECT_EQ(registry.Get(page.name), page.stored) << page.tab;
  }
  const std::string reset = registry.Run("command 33369\ntab Sample\ntype 3050 3\nkey Tab\nclick 3057\n"
                                         "tab Labels\nclick 2900\ntab Sample\nprint 3050 3057\nclick 2\n");
  EXPECT_TRUE(Has(reset, "> print 3050 3057\n3050: 1.0000\n3057: [ ] ")) << reset;
}

// Wavelength and voltage follow each other; detector angles are stored as θ in radians.
TEST(UiPreferences, ElectronFieldsAreCoupledAndAnglesStoredAsTheta) {
  const Registry registry("units");
  registry.Set("TOFTheta", "182d4454fb21e93f");  // π/4
  const std::string out = registry.Run("command 33369\ntab Diffraction\nprint 2942\n"
                                       "type 2959 0.1\nkey Tab\nprint 2960\n"
                                       "type 2930 90\nkey Tab\nclick 1\n");
  EXPECT_TRUE(Has(out, "2942: 90.000\n")) << out;
  EXPECT_TRUE(Has(out, "2960: 14.83\n")) << out;
  EXPECT_EQ(registry.Get("EDXTheta"), "182d4454fb21e93f\n0.78539816339744828\n");
}

// The count reads fractions and decimals as whole numbers, refuses 0 and negatives with the
// unsigned bounds, and an emptied field goes back to its last count.
TEST(UiPreferences, ReflexionCountTruncatesAndRefusesZeroNegativesAndEmptiness) {
  const Registry registry("count");
  const std::string out = registry.Run("command 33369\ntab Profile\n"
                                       "type 2977 10/4\nkey Tab\nprint 2977\n"
                                       "type 2977 2.9\nkey Tab\nprint 2977\n"
                                       "type 2977 0\nkey Tab\nprint 2977\n"
                                       "type 2977 -1\nkey Tab\nprint 2977\n"
                                       "type 2977 \"\"\nkey Tab\nprint 2977\nclick 1\n");
  EXPECT_TRUE(Has(out, "> print 2977\n2977: 2\n> type 2977 2.9")) << out;
  EXPECT_TRUE(Has(out, "alert: Value out of range. | Please enter a value between 1 and 4294967295. The previous value "
                       "has been restored.\n> print 2977\n2977: 2\n"))
      << out;
  // A negative count is refused on leaving the field, not while it is typed, with the field's bounds.
  EXPECT_TRUE(Has(out, "> type 2977 -1\n> key Tab\nalert: Value out of range. | Please enter a value between 1 and "
                       "4294967295."))
      << out;
  EXPECT_TRUE(Has(out, "2977: 2\n> click 1")) << out;
  EXPECT_EQ(registry.Get("MaxNumRefs"), "02000000\n2\n");
}

// A window opened after "Reflexions list" was ticked and saved shows the list; once the box is
// cleared again, the next window opens without it.
TEST(UiPreferences, NewWindowsOpenTheReflexionsListAsTheGeneralPageSays) {
  const Registry registry("reflexions");
  const std::string tick = "command 33369\nprint 2916\nclick 2916\nclick 1\n";
  EXPECT_TRUE(Has(registry.Run(tick), "2916: [ ] Reflexions list\n"));
  const std::string ticked = registry.Run("state 33589\nopen " + kNaCl + "\nstate 33589\nprint 3100\n");
  EXPECT_TRUE(Has(ticked, "> state 33589\n33589: Hide Reflexions List\n> open")) << ticked;
  EXPECT_TRUE(Has(ticked, "33589: Hide Reflexions List\n> print 3100\n3100: ")) << ticked;
  EXPECT_TRUE(Has(registry.Run(tick), "2916: [x] Reflexions list\n"));
  const std::string cleared = registry.Run("state 33589\n");
  EXPECT_TRUE(Has(cleared, "33589: Show Reflexions List\n")) << cleared;
}

// A stored value its field cannot show is not replaced by what the field shows when another
// control of the page is saved.
TEST(UiPreferences, UnshownStoredValuesAreKeptOnSave) {
  const Registry registry("unshown");
  registry.Set("LabelThreshold", "0000000000c06240");  // 150
  registry.Set("MaxNumRefs", "00000000");
  registry.Set("OverlayLineStyle", "00000000");  // None: not in the overlay's list
  const std::string out = registry.Run("command 33369\ntab Labels\nprint 3071\nclick 3083\n"
                                       "tab Profile\nprint 2977\nclick 2975\n"
                                       "tab Styles\ntype 3032 2\nkey Tab\nclick 1\n");
  EXPECT_TRUE(Has(out, "3071: 0.00\n")) << out;
  EXPECT_TRUE(Has(out, "2977: 1\n")) << out;
  EXPECT_EQ(registry.Get("LabelThreshold"), "0000000000c06240\n150\n");
  EXPECT_EQ(registry.Get("MaxNumRefs"), "00000000\n0\n");
  EXPECT_EQ(registry.Get("OverlayLineStyle"), "00000000\n0\n");
  EXPECT_EQ(registry.Get("OverlayLineWidth"), "0000000000000040\n2\n");
}

// The font sample names face, weight, slant and points; the style bits and the chosen points are
// stored.
TEST(UiPreferences, ChosenFontShowsInTheSampleAndIsStored) {
  const Registry registry("font");
  const std::string out = registry.Run("command 33369\ntab Display\n"
                                       "answer font cancel\nclick 3006\nprint 1\n"
                                       "answer font Arial 12 bold italic\nclick 3006\nprint 3004 1\nclick 1\n");
  EXPECT_TRUE(Has(out, "> print 1\ndisabled 1: Save\n")) << out;
  EXPECT_TRUE(Has(out, "3004: Arial Bold Italic - 12\n1: Save\n")) << out;
  EXPECT_EQ(registry.Get("FontStyle"), "03000000\n3\n");
  EXPECT_EQ(registry.Get("FontSize"), "00004041\n12\n");
}

// Reset then Cancel leaves the store as it was; Reset then Save writes the factory settings.
// Without peak tips the click-sound box is not saved. Colours are stored as B, G, R, A.
TEST(UiPreferences, ResetCancelSaveAndTheGeneralPageRules) {
  const Registry registry("reset");
  registry.Run("command 33369\ntab Diffraction\ntype 2952 0.7093\nkey Tab\n"
                                         "tab General\nclick 2915\nclick 2912\ncolour 2922 AA0000\nclick 1\n");
  EXPECT_EQ(registry.Get("Lambda"), "8ab0e1e995b2e63f\n0.70930000000000004\n");
  EXPECT_EQ(registry.Get("ShowPeakTips"), "00\nfalse\n");
  EXPECT_EQ(registry.Get("PeakTipClick"), "01\ntrue\n");
  EXPECT_EQ(registry.Get("RulerColor"), "0000aaff\n0xFFAA0000\n");
  const std::string second = registry.Run("command 33369\nclick 2900\nprint 1 2918\nclick 2\n");
  EXPECT_TRUE(Has(second, "1: Save\n")) << second;
  EXPECT_EQ(registry.Get("Lambda"), "8ab0e1e995b2e63f\n0.70930000000000004\n");
  EXPECT_EQ(registry.Get("RulerColor"), "0000aaff\n0xFFAA0000\n");
  registry.Run("command 33369\nclick 2900\nclick 1\n");
  EXPECT_EQ(registry.Get("Lambda").substr(0, 17), "d9cef753e3a5f83f\n");
  EXPECT_NE(registry.Get("RulerColor"), "0000aaff\n0xFFAA0000\n");
  EXPECT_EQ(registry.Get("ShowPeakTips").substr(0, 2), "01");
}

// Return in a page is the dialog's Save: an edited page is saved and the dialog closes; with
// nothing edited it closes too.
TEST(UiPreferences, ReturnInAPageSavesAndCloses) {
  const Registry registry("return");
  // The script ends on purpose in a control of the dialog closed by Return.
  const qlwtest::ProbeRun edited = qlwtest::RunUiScript(registry.folder, "command 33369\ntab Profile\ntype 2973 0.7\n"
                                                        "key Return\nprint 2973\n", "", "", registry.Env());
  EXPECT_TRUE(Has(edited.out, "> key Return\n> print 2973\nerror: no control 2973\n")) << edited.out;
  EXPECT_EQ(registry.Get("Eta"), "666666666666e63f\n0.69999999999999996\n");
  const qlwtest::ProbeRun unedited = qlwtest::RunUiScript(registry.folder, "command 33369\ntab Profile\nprint 1 2973\n"
                                                          "focus 2973\nkey Return\nprint 2973\n", "", "", registry.Env());
  EXPECT_TRUE(Has(unedited.out, "disabled 1: Save\n2973: 0.700\n> focus 2973\n> key Return\n> print 2973\nerror: no control 2973\n"))
      << unedited.out;
}

// A window started with the inspector hidden shows it again when Reset and Save turn the box back
// on, and the inspector's command hides and shows it from then on.
TEST(UiPreferences, ResetAndSaveShowTheInspectorStoredHidden) {
  const Registry registry("inspector");
  registry.Set("ShowParameters", "00");
  const std::string out = registry.Run("state 33586\ncommand 33369\nclick 2900\nprint 2914\nclick 1\nstate 33586\n"
                                       "command 33586\nstate 33586\ncommand 33586\nstate 33586\n");
  EXPECT_TRUE(Has(out, "> state 33586\n33586: Show Parameters List\n> command 33369")) << out;
  EXPECT_TRUE(Has(out, "2914: [x] Parameters list\n> click 1\n> state 33586\n33586: Hide Parameters List\n"
                       "> command 33586\n> state 33586\n33586: Show Parameters List\n"
                       "> command 33586\n> state 33586\n33586: Hide Parameters List\n"))
      << out;
  EXPECT_EQ(registry.Get("ShowParameters"), "01\ntrue\n");
}

// Save follows the pages' modified state across tab changes; the dialog keeps its opening width,
// refits its height to each page, and its buttons keep their distance to the bottom.
TEST(UiPreferences, SaveFollowsThePagesAndTheDialogKeepsItsShape) {
  const Registry registry("shape");
  const std::string out = registry.Run("command 33369\nrect dialog\nrect 1\nclick 2918\ntab Profile\nprint 1\n"
                                       "resize dialog 300 900\nrect dialog\nrect 1\ntab General\nrect dialog\nclick 2\n");
  // rect dialog: X Y W H; the three reads are compared by their widths and heights.
  std::vector<std::array<int, 4>> dialogs, buttons;
  for (size_t at = out.find("dialog: "); at != std::string::npos; at = out.find("dialog: ", at + 1)) {
    std::array<int, 4> r{};
    std::sscanf(out.c_str() + at, "dialog: %d %d %d %d", &r[0], &r[1], &r[2], &r[3]);
    dialogs.push_back(r);
  }
  for (size_t at = out.find("\n1: "); at != std::string::npos; at = out.find("\n1: ", at + 1)) {
    std::array<int, 4> r{};
    if (std::sscanf(out.c_str() + at, "\n1: %d %d %d %d", &r[0], &r[1], &r[2], &r[3]) == 4) buttons.push_back(r);
  }
  ASSERT_EQ(dialogs.size(), 3u) << out;
  ASSERT_EQ(buttons.size(), 2u) << out;
  EXPECT_TRUE(Has(out, "> print 1\n1: Save\n")) << out;
  EXPECT_EQ(dialogs[1][2], dialogs[0][2]) << "narrower than at opening";
  EXPECT_EQ(dialogs[1][3], 900);
  EXPECT_EQ(dialogs[0][3] - buttons[0][1], dialogs[1][3] - buttons[1][1]) << "button distance to the bottom";
  EXPECT_EQ(dialogs[2][3], dialogs[0][3]) << "a tab change refits the height";
}

// A page saved marks the open document modified, so that leaving it asks first; a dialog left
// without saving does not.
TEST(UiPreferences, SavedPagesMarkTheDocumentModified) {
  const Registry registry("document");
  const std::string session = (registry.folder / "kept.quillonographic").string();
  const std::string asked = "> quit\nalert: Save changes to ";
  const std::string saved =
      registry.Run("open " + kNaCl + "\nsave " + session + "\ncommand 33369\nclick 2918\nclick 1\nanswer no\nquit\n");
  EXPECT_TRUE(Has(saved, asked)) << saved;
  // A second file: the first one's replace question would leave this document unsaved.
  const std::string other = (registry.folder / "kept2.quillonographic").string();
  const std::string cancelled =
      registry.Run("open " + kNaCl + "\nsave " + other + "\ncommand 33369\nclick 2918\nclick 2\nanswer no\nquit\n");
  EXPECT_FALSE(Has(cancelled, asked)) << cancelled;
}

// Reflexions limit: the count is enabled only with its box; OK writes the document's settings.
// Scale X opens at 10.000, refuses 0.0005 with its bounds, and a factor of 2 doubles the data range.
TEST(UiPreferences, ReflexionLimitAndScaleXDialogs) {
  const Registry registry("small");
  std::ofstream(registry.folder / "scan.xy") << "10 100\n20 200\n30 150\n40 120\n50 300\n60 90\n";
  const std::string out = registry.Run("open " + (registry.folder / "scan.xy").string() + "\nselect 0\n"
                                       "command 33725\nprint 3400\ntype 3400 0.0005\nkey Return\nprint 3400\n"
                                       "type 3400 2\nkey Return\ndump\n"
                                       "command 33482\nclick 3000\nprint 3001\nclick 3000\nprint 3001\n"
                                       "type 3001 0\nkey Return\nprint 3001\ntype 3002 0.75\ntype 3001 25\nkey Return\n"
                                       "field settings MaxNumRefs RestrictMaxNumRefs DMin\n"
                                       "command 33482\nprint 3002\nkey Escape\n");
  EXPECT_TRUE(Has(out, "> print 3400\n3400: 10.000\n")) << out;
  EXPECT_TRUE(Has(out, "Please enter a value between 0.001 and 100.000. The previous value has been restored.\n"
                       "> print 3400\n3400: 10.000\n"))
      << out;
  EXPECT_TRUE(Has(out, "data range: 0.000000 126.000000\n")) << out;
  EXPECT_TRUE(Has(out, "disabled 3001: 10000\n> click 3000\n> print 3001\n3001: 10000\n")) << out;
  EXPECT_TRUE(Has(out, "between 1 and 4294967295")) << out;
  EXPECT_TRUE(Has(out, "MaxNumRefs: 25\nRestrictMaxNumRefs: 1\nDMin: 0.75\n")) << out;
  EXPECT_TRUE(Has(out, "3002: 0.7500\n")) << out;
}
