// The Parameters-tab panes through the window-script runner: the values they write into the
// selected patterns, the units they convert, and the edits they refuse.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
struct UiRun {
  std::string out;
  int status = -1;
};

// Runs from tests/data, where the fixtures are.
UiRun RunScript(const std::string& name, const std::string& script,
              const std::string& workdir = std::string(QLW_SOURCE_DIR) + "/tests/data") {
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-" + name), script, "", workdir);
  return {run.out, run.status};
}
}  // namespace

// A volume of 1000 Å³ for 8 × 9 × 10 Å scales a and b by (1000/720)^(1/3) and sets c; a typed edge
// applies on Enter alone; three angles of 120° close no cell and the last is put back.
TEST(UiParameters, CellPaneAppliesOnEnterAndRefusesACellWithoutVolume) {
  const UiRun run = RunScript("params-cell",
                              "open cell-8-9-10.cif\n"
                              "tab Parameters\n"
                              "command 34068\n"
                              "type 2491 1000\n"
                              "key Return\n"
                              "print 2461 2471 2481\n"
                              "field 0 a b c Volume\n"
                              "type 2461 7\n"
                              "print 2471 2491\n"
                              "key Return\n"
                              "field 0 a b c\n"
                              "print 2491\n"
                              "type 2463 120\n"
                              "key Return\n"
                              "type 2472 120\n"
                              "key Return\n"
                              "type 2486 120\n"
                              "key Return\n"
                              "print 2463 2472 2486\n"
                              "field 0 alpha beta gamma\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open cell-8-9-10.cif\n"
            "> tab Parameters\n"
            "> command 34068\n"
            "> type 2491 1000\n"
            "> key Return\n"
            "> print 2461 2471 2481\n"
            "2461: 8.9258\n"
            "2471: 10.0415\n"
            "2481: 11.1572\n"
            "> field 0 a b c Volume\n"
            "a: 8.925772668\n"
            "b: 10.04149425\n"
            "c: 11.15721583\n"
            "Volume: 1000\n"
            "> type 2461 7\n"
            "> print 2471 2491\n"
            "2471: 10.0415\n"
            "2491: 1000.0\n"
            "> key Return\n"
            "> field 0 a b c\n"
            "a: 7\n"
            "b: 10.04149425\n"
            "c: 11.15721583\n"
            "> print 2491\n"
            "2491: 784.2\n"
            "> type 2463 120\n"
            "> key Return\n"
            "> type 2472 120\n"
            "> key Return\n"
            "> type 2486 120\n"
            "> key Return\n"
            "alert: The unit cell cannot be built. | The cell a = 7, b = 10.0415, c = 11.1572, alpha = 120, beta = 120, gamma = 120 has no volume: every length must be greater than 0 and the three angles must close a cell.\n"
            "> print 2463 2472 2486\n"
            "2463: 120.0\n"
            "2472: 120.0\n"
            "2486: 90.0\n"
            "> field 0 alpha beta gamma\n"
            "alpha: 120\n"
            "beta: 120\n"
            "gamma: 90\n");
}

// Size in µm kept in Å, strain in % kept as a fraction; the [UVW] menu relabels the components and
// applies; unchecking the correction keeps the stored vector type and alignment.
TEST(UiParameters, SampleOrientationAndPositionPanesWriteTheirUnits) {
  const UiRun run = RunScript("params-sample",
                              "open cell-8-9-10.cif\n"
                              "tab Parameters\n"
                              "command 34068\n"
                              "type 2411 2000\n"
                              "key Return\n"
                              "type 2411 0.05\n"
                              "key Return\n"
                              "type 2416 0.5\n"
                              "key Return\n"
                              "field 0 ParticleSize Strain\n"
                              "print 2421@5790 2543\n"
                              "click 2531\n"
                              "click 2545 menu 34669\n"
                              "print 2535 2537 2539 2543\n"
                              "type 2543 1\n"
                              "key Return\n"
                              "type 2536 1\n"
                              "key Return\n"
                              "choose 2533 Needles\n"
                              "field 0 PO POVectorType POVector Alignment POGeometry\n"
                              "click 2531\n"
                              "field 0 PO POVectorType Alignment\n"
                              "tab Format\n"
                              "command 34068\n"
                              "print 2403 2404\n"
                              "type 2395 0.5\n"
                              "key Return\n"
                              "type 2391 0.25\n"
                              "key Return\n"
                              "field 0 XOffset WeightFraction YScale\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open cell-8-9-10.cif\n"
            "> tab Parameters\n"
            "> command 34068\n"
            "> type 2411 2000\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 0.0005 and 1000.0000. The previous value has been restored.\n"
            "> type 2411 0.05\n"
            "> key Return\n"
            "> type 2416 0.5\n"
            "> key Return\n"
            "> field 0 ParticleSize Strain\n"
            "ParticleSize: 500\n"
            "Strain: 0.005\n"
            "> print 2421@5790 2543\n"
            "disabled 2421@5790: [x] Use displacement parameters\n"
            "disabled 2543: 0.9000\n"
            "> click 2531\n"
            "> click 2545 menu 34669\n"
            "menu: [x] Plane Normal: N(hkl) | Lattice Vector: [UVW]\n"
            "> print 2535 2537 2539 2543\n"
            "2535: U\n"
            "2537: V\n"
            "2539: W\n"
            "2543: 0.9000\n"
            "> type 2543 1\n"
            "> key Return\n"
            "> type 2536 1\n"
            "> key Return\n"
            "> choose 2533 Needles\n"
            "> field 0 PO POVectorType POVector Alignment POGeometry\n"
            "PO: 1\n"
            "POVectorType: 2\n"
            "POVector: 1 0 0\n"
            "Alignment: 1\n"
            "POGeometry: 2\n"
            "> click 2531\n"
            "> field 0 PO POVectorType Alignment\n"
            "PO: 0\n"
            "POVectorType: 2\n"
            "Alignment: 1\n"
            "> tab Format\n"
            "> command 34068\n"
            "> print 2403 2404\n"
            "disabled 2403: [ ] Y Scale:\n"
            "disabled 2404: 1.0000\n"
            "> type 2395 0.5\n"
            "> key Return\n"
            "> type 2391 0.25\n"
            "> key Return\n"
            "> field 0 XOffset WeightFraction YScale\n"
            "XOffset: 0.5\n"
            "WeightFraction: 0.25\n"
            "YScale: 1\n");
}

// Twelve points: a radius of 2 leaves 8 smoothed ones; the radius and overlay wait for "Smooth
// data", the overlay style for "Overlay smoothed data:".
TEST(UiParameters, SmoothingPaneEnablesInTiersAndSmoothsOverTheRadius) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-params-smoothing";
  fs::create_directories(folder);
  std::ofstream scan(folder / "scan.xy");
  for (int i = 0; i < 12; ++i) scan << 10 + 0.5 * i << ' ' << 100 + 50 * std::sin(i) << '\n';
  scan.close();
  const UiRun run = RunScript("params-smoothing",
                              "open scan.xy\n"
                              "select 0\n"
                              "tab Parameters\n"
                              "command 34068\n"
                              "print 2429 2426 2427\n"
                              "click 2421@5800\n"
                              "print 2429 2426 2427\n"
                              "type 2429 51\n"
                              "key Return\n"
                              "type 2429 2\n"
                              "key Return\n"
                              "field 0 Smooth SmoothRadius SmoothedPoints\n"
                              "click 2426\n"
                              "colour 2427 FF0000\n"
                              "print 2427 2423\n"
                              "field 0 OverlaySmoothed\n"
                              "click 2421@5800\n"
                              "print 2429 2426 2427\n",
                              folder.string());
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open scan.xy\n"
            "> select 0\n"
            "> tab Parameters\n"
            "> command 34068\n"
            "> print 2429 2426 2427\n"
            "disabled 2429: 3\n"
            "disabled 2426: [ ] Overlay smoothed data:\n"
            "disabled 2427: #FF444444\n"
            "> click 2421@5800\n"
            "> print 2429 2426 2427\n"
            "2429: 3\n"
            "2426: [ ] Overlay smoothed data:\n"
            "disabled 2427: #FF444444\n"
            "> type 2429 51\n"
            "> key Return\n"
            "alert: Value out of range. | Please enter a value between 1 and 50. The previous value has been restored.\n"
            "> type 2429 2\n"
            "> key Return\n"
            "> field 0 Smooth SmoothRadius SmoothedPoints\n"
            "Smooth: 1\n"
            "SmoothRadius: 2\n"
            "SmoothedPoints: 8\n"
            "> click 2426\n"
            "> colour 2427 FF0000\n"
            "> print 2427 2423\n"
            "2427: #FFFF0000\n"
            "2423: Solid (3 of 5)\n"
            "> field 0 OverlaySmoothed\n"
            "OverlaySmoothed: 1\n"
            "> click 2421@5800\n"
            "> print 2429 2426 2427\n"
            "disabled 2429: 2\n"
            "disabled 2426: [x] Overlay smoothed data:\n"
            "disabled 2427: #FFFF0000\n");
}

// Two components at 0.5/0.5: a slider dragged to its end and stepped back by key gives 0.99/0.01
// (an end maps to its value at any slider width); with the total locked a typed 0.05 gives
// the other 0.95; typed text that is no share between 0 and 1 is refused; a rename retitles the
// component; unlocked, a lowered share leaves the total short; zeroing also unlocks.
TEST(UiParameters, MixtureSlidersTypedValuesAndMenuKeepTheFractions) {
  const UiRun run = RunScript("params-mixture",
                              "open anatase.cif\n"
                              "files nacl.cif\n"
                              "command 34368\n"
                              "select 0 1\n"
                              "command 34373\n"
                              "select 0\n"
                              "tab Parameters\n"
                              "command 34069\n"
                              "click 2360\n"
                              "rows 2363\n"
                              "print 2365 2364 2361\n"
                              "slide 2367 100\n"
                              "focus 2367\n"
                              "key Left\n"
                              "field 1 WeightFraction\n"
                              "field 2 WeightFraction\n"
                              "edit 2363 1 3 0.05\n"
                              "rows 2363\n"
                              "print 2365\n"
                              "edit 2363 0 3 nan\n"
                              "edit 2363 0 3 5\n"
                              "edit 2363 0 1 Titania\n"
                              "rows 3606\n"
                              "click 2364\n"
                              "field 0 LockTotal\n"
                              "edit 2363 0 3 0.5\n"
                              "print 2365\n"
                              "click 2361 menu 34070\n"
                              "rows 2363\n"
                              "click 2361 menu 34071\n"
                              "rows 2363\n"
                              "print 2365 2364\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open anatase.cif\n"
            "> files nacl.cif\n"
            "> command 34368\n"
            "> select 0 1\n"
            "> command 34373\n"
            "> select 0\n"
            "> tab Parameters\n"
            "> command 34069\n"
            "> click 2360\n"
            "> rows 2363\n"
            "anatase |  | 0.5000\n"
            "NaCl |  | 0.5000\n"
            "> print 2365 2364 2361\n"
            "2365: 1.000\n"
            "2364: [x] Lock mixture total\n"
            "2361: \n"
            "> slide 2367 100\n"
            "> focus 2367\n"
            "> key Left\n"
            "> field 1 WeightFraction\n"
            "WeightFraction: 0.99\n"
            "> field 2 WeightFraction\n"
            "WeightFraction: 0.01\n"
            "> edit 2363 1 3 0.05\n"
            "> rows 2363\n"
            "anatase |  | 0.9500\n"
            "NaCl |  | 0.0500 *\n"
            "> print 2365\n"
            "2365: 1.000\n"
            "> edit 2363 0 3 nan\n"
            "alert: Value out of range. | Please enter a value between 0.0000 and 1.0000. The previous value has been restored.\n"
            "> edit 2363 0 3 5\n"
            "alert: Value out of range. | Please enter a value between 0.0000 and 1.0000. The previous value has been restored.\n"
            "> edit 2363 0 1 Titania\n"
            "> rows 3606\n"
            "- | mixture | New Mixture | [x] #FF00CC00 *\n"
            ". | > crystal | Titania | [x] #FF000000\n"
            ". | > crystal | NaCl | [x] #FFCC0000\n"
            "> click 2364\n"
            "> field 0 LockTotal\n"
            "LockTotal: 0\n"
            "> edit 2363 0 3 0.5\n"
            "> print 2365\n"
            "2365: 0.550\n"
            "> click 2361 menu 34070\n"
            "menu: Equalise Phase Proportions | Zero Phase Proportions\n"
            "> rows 2363\n"
            "Titania |  | 0.5000 *\n"
            "NaCl |  | 0.5000\n"
            "> click 2361 menu 34071\n"
            "menu: Equalise Phase Proportions | Zero Phase Proportions\n"
            "> rows 2363\n"
            "Titania |  | 0.0000 *\n"
            "NaCl |  | 0.0000\n"
            "> print 2365 2364\n"
            "2365: 0.000\n"
            "2364: [ ] Lock mixture total\n");
}

// One element at 1.0: "+" adds the first symbol of the table not on the site and both take 0.5;
// a rename takes the new element's factors or is refused; "–" needs a chosen row and a second
// element; zeroing unlocks the total.
TEST(UiParameters, OccupancyListAddsRenamesAndRemovesElements) {
  const UiRun run = RunScript("params-occupancy",
                              "open cell-8-9-10.cif\n"
                              "tab Parameters\n"
                              "command 34069\n"
                              "click 2370\n"
                              "print 2382 2377 2378\n"
                              "rows 2375\n"
                              "click 2372\n"
                              "rows 2375\n"
                              "field 0 Site:Fe1\n"
                              "edit 2375 1 1 Zn\n"
                              "edit 2375 1 1 Xx\n"
                              "field 0 Site:Fe1\n"
                              "edit 2375 1 3 0.3\n"
                              "print 2378\n"
                              "edit 2375 0 3 nan\n"
                              "slide 2383 80\n"
                              "rows 2375\n"
                              "click 2376\n"
                              "click 2380\n"
                              "field 0 Site:Fe1\n"
                              "print 2377\n"
                              "click 2377\n"
                              "rows 2375\n"
                              "print 2377\n"
                              "click 2371 menu 34073\n"
                              "print 2378 2376\n"
                              "field 0 Site:Fe1\n"
                              "choose 2382 O1\n"
                              "rows 2375\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open cell-8-9-10.cif\n"
            "> tab Parameters\n"
            "> command 34069\n"
            "> click 2370\n"
            "> print 2382 2377 2378\n"
            "2382: Fe1 (1 of 2)\n"
            "disabled 2377: –\n"
            "2378: 1.000\n"
            "> rows 2375\n"
            "Fe |  | 1.0000\n"
            "> click 2372\n"
            "> rows 2375\n"
            "Fe |  | 0.5000\n"
            "D |  | 0.5000\n"
            "> field 0 Site:Fe1\n"
            "Site:Fe1: Fe=0.5000 D=0.5000 include=1 lock=0\n"
            "> edit 2375 1 1 Zn\n"
            "> edit 2375 1 1 Xx\n"
            "alert: Error matching atomic scattering factors! | No atomic scattering factor data for element symbols provided were found.\n"
            "> field 0 Site:Fe1\n"
            "Site:Fe1: Fe=0.5000 Zn=0.5000 include=1 lock=0\n"
            "> edit 2375 1 3 0.3\n"
            "> print 2378\n"
            "2378: 0.800\n"
            "> edit 2375 0 3 nan\n"
            "alert: Value out of range. | Please enter a value between 0.0000 and 1.0000. The previous value has been restored.\n"
            "> slide 2383 80\n"
            "> rows 2375\n"
            "Fe |  | 0.8000 *\n"
            "Zn |  | 0.2000\n"
            "> click 2376\n"
            "> click 2380\n"
            "> field 0 Site:Fe1\n"
            "Site:Fe1: Fe=0.8000 Zn=0.2000 include=0 lock=1\n"
            "> print 2377\n"
            "2377: –\n"
            "> click 2377\n"
            "> rows 2375\n"
            "Zn |  | 0.2000\n"
            "> print 2377\n"
            "disabled 2377: –\n"
            "> click 2371 menu 34073\n"
            "menu: disabled Equalise Occupancies | Zero Occupancies\n"
            "> print 2378 2376\n"
            "2378: 0.000\n"
            "2376: [ ] Lock occupancy total\n"
            "> field 0 Site:Fe1\n"
            "Site:Fe1: Zn=0.0000 include=0 lock=0\n"
            "> choose 2382 O1\n"
            "> rows 2375\n"
            "O |  | 1.0000\n");
}

// A drop selects both crystals: the panes show no crystal's cell or sites and take no edit, rather
// than write the first crystal's values into both.
TEST(UiParameters, CellAndOccupancyPanesLetGoOfACrystalNoLongerAloneSelected) {
  const UiRun run = RunScript("params-stale",
                              "open anatase.cif\n"
                              "tab Parameters\n"
                              "command 34069\n"
                              "click 2460\n"
                              "click 2370\n"
                              "print 2461 2382\n"
                              "drop-files end nacl.cif\n"
                              "rows 3606\n"
                              "print 2461 2382 2375\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open anatase.cif\n"
            "> tab Parameters\n"
            "> command 34069\n"
            "> click 2460\n"
            "> click 2370\n"
            "> print 2461 2382\n"
            "2461: 3.7852\n"
            "2382: O1 (1 of 2)\n"
            "> drop-files end nacl.cif\n"
            "> rows 3606\n"
            ". | crystal | anatase | [x] #FF000000 *\n"
            ". | crystal | NaCl | [x] #FFCC0000 *\n"
            "> print 2461 2382 2375\n"
            "disabled 2461: 8.0000\n"
            "disabled 2382:  (0 of 0)\n"
            "disabled 2375: 0 rows, 0 selected\n");
}

// NaCl (no displacement parameters) shown first beside quartz read from a text crystal file (with
// them): the box shows NaCl's state, greyed, and a size edit leaves quartz's own choice alone.
TEST(UiParameters, AGreyedDisplacementBoxWritesNoCrystal) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-params-adp";
  fs::create_directories(folder);
  fs::copy_file(fs::path(QLW_SOURCE_DIR) / "tests/data/nacl.cif", folder / "nacl.cif",
                fs::copy_options::overwrite_existing);
  const std::string quartz = (folder / "quartz.lxtx").string();
  ASSERT_EQ(qlwtest::RunShell(qlwtest::ProbeCommand("convert '" + std::string(QLW_SOURCE_DIR) +
                                                    "/tests/data/Quartz.cif' '" + quartz + "' >/dev/null 2>&1"))
                .status,
            0);
  const UiRun run = RunScript("params-adp",
                              "open nacl.cif\n"
                              "files quartz.lxtx\n"
                              "command 34368\n"
                              "tab Parameters\n"
                              "command 34069\n"
                              "click 2410\n"
                              "select 1\n"
                              "click 2421@5790\n"
                              "field 1 HasADP UseADP\n"
                              "select 0 1\n"
                              "print 2421@5790\n"
                              "type 2411 0.5\n"
                              "key Return\n"
                              "field 0 UseADP ParticleSize\n"
                              "field 1 UseADP ParticleSize\n",
                              folder.string());
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open nacl.cif\n"
            "> files quartz.lxtx\n"
            "> command 34368\n"
            "> tab Parameters\n"
            "> command 34069\n"
            "> click 2410\n"
            "> select 1\n"
            "> click 2421@5790\n"
            "> field 1 HasADP UseADP\n"
            "HasADP: 1\n"
            "UseADP: 0\n"
            "> select 0 1\n"
            "> print 2421@5790\n"
            "disabled 2421@5790: [x] Use displacement parameters\n"
            "> type 2411 0.5\n"
            "> key Return\n"
            "> field 0 UseADP ParticleSize\n"
            "UseADP: 1\n"
            "ParticleSize: 5000\n"
            "> field 1 UseADP ParticleSize\n"
            "UseADP: 0\n"
            "ParticleSize: 5000\n");
}

// Two mixtures selected: no list, the lock unticked, everything greyed; one of them again: its rows.
TEST(UiParameters, TwoSelectedMixturesLeaveTheMixturePaneEmpty) {
  const UiRun run = RunScript("params-two-mixtures",
                              "open anatase.cif\n"
                              "files nacl.cif\n"
                              "command 34368\n"
                              "select 0 1\n"
                              "command 34373\n"
                              "files Quartz.cif cell-8-9-10.cif\n"
                              "command 34368\n"
                              "select 3 4\n"
                              "command 34373\n"
                              "select 0 3\n"
                              "tab Parameters\n"
                              "command 34069\n"
                              "click 2360\n"
                              "rows 3606\n"
                              "print 2363 2364 2361\n"
                              "select 3\n"
                              "rows 2363\n"
                              "print 2365\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "> open anatase.cif\n"
            "> files nacl.cif\n"
            "> command 34368\n"
            "> select 0 1\n"
            "> command 34373\n"
            "> files Quartz.cif cell-8-9-10.cif\n"
            "> command 34368\n"
            "> select 3 4\n"
            "> command 34373\n"
            "> select 0 3\n"
            "> tab Parameters\n"
            "> command 34069\n"
            "> click 2360\n"
            "> rows 3606\n"
            "- | mixture | New Mixture 1 | [x] #FF6633CC *\n"
            ". | > crystal | Quartz | [x] #FF0000CC\n"
            ". | > crystal | cell | [x] #FF004400\n"
            "- | mixture | New Mixture | [x] #FF00CC00 *\n"
            ". | > crystal | anatase | [x] #FF000000\n"
            ". | > crystal | NaCl | [x] #FFCC0000\n"
            "> print 2363 2364 2361\n"
            "disabled 2363: 0 rows, 0 selected\n"
            "disabled 2364: [ ] Lock mixture total\n"
            "disabled 2361: \n"
            "> select 3\n"
            "> rows 2363\n"
            "anatase |  | 0.5000\n"
            "NaCl |  | 0.5000\n"
            "> print 2365\n"
            "2365: 1.000\n");
}
