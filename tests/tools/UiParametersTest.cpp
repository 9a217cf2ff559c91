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
