// The instrument panes, the electron wavelength dialog and the background pane through the
// window-script runner, as a user types, chooses and clicks.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// One script line and what the runner prints for it.
struct Step {
  std::string line;
  std::string out;
};

// Runs the steps from the test data folder and compares the transcript.
void ExpectTranscript(const std::string& name, const std::vector<Step>& steps) {
  std::string script, expected;
  for (const Step& s : steps) {
    script += s.line + "\n";
    expected += "> " + s.line + "\n" + s.out;
  }
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-" + name), script, "",
                                                     std::string(QLW_SOURCE_DIR) + "/tests/data");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, expected);
}

const std::string kOpenInstrument[] = {"open nacl.cif", "tab Parameters", "click 2290"};

std::vector<Step> Opened(std::vector<Step> rest) {
  std::vector<Step> steps;
  for (const std::string& line : kOpenInstrument) steps.push_back({line, ""});
  steps.insert(steps.end(), rest.begin(), rest.end());
  return steps;
}

const std::string kRangeAlert = "alert: Value out of range. | Please enter a value between ";
const std::string kRestored = ". The previous value has been restored.\n";
}  // namespace

TEST(UiInstrument, ElectronPaneCouplesVoltageAndWavelength) {
  ExpectTranscript(
      "instrument-electrons",
      Opened({
          {"command 33472", ""},
          {"print 2291@5741 2317@5741 2307@5741", "2291@5741: 100.0\n2317@5741: 0.0370\n2307@5741: 0.0425\n"},
          {"type 2291@5741 200", ""},
          {"key Return", ""},
          // The width in 1/d stays; it reads narrower in 2θ at the shorter wavelength.
          {"print 2317@5741 2307@5741", "2317@5741: 0.0251\n2307@5741: 0.0288\n"},
          {"field settings LambdaTEM PeakWidthTEM", "LambdaTEM: 0.02507933907\nPeakWidthTEM: 0.02\n"},
          {"type 2317@5741 0.0251", ""},
          {"key Return", ""},
          {"print 2291@5741", "2291@5741: 199.7\n"},
          // Every voltage of the range has its wavelength, and the wavelengths stop where it does.
          {"type 2291@5741 1000", ""},
          {"key Return", ""},
          {"field settings LambdaTEM", "LambdaTEM: 0.008719186336\n"},
          {"type 2317@5741 0.5", ""},
          {"key Return", kRangeAlert + "0.00871919 and 0.3876" + kRestored},
          {"print 2291@5741", "2291@5741: 1000.0\n"},
      }));
}

TEST(UiInstrument, PeakWidthIsWrittenOnlyWhenEditedAndStopsBelowThePole) {
  ExpectTranscript(
      "instrument-width",
      Opened({
          {"field settings TTHPeakWidth", "TTHPeakWidth: 0.1\n"},
          {"type 2317 0.7093", ""},
          {"key Return", ""},
          {"command 33470", ""},
          {"print 2307", "2307: 0.0220\n"},
          // A new wavelength keeps the stored 2θ width and shows it again in d.
          {"type 2317 1.5406", ""},
          {"key Return", ""},
          {"field settings TTHPeakWidth Lambda", "TTHPeakWidth: 0.1\nLambda: 1.5406\n"},
          {"print 2307", "2307: 0.0099\n"},
          {"type 2307 0.05", ""},
          {"key Return", ""},
          {"field settings TTHPeakWidth", "TTHPeakWidth: 0.5074378098\n"},
          {"command 33484", ""},
          {"type 2307 60", ""},
          {"key Return", kRangeAlert + "0.0000 and 59.51317" + kRestored},
          {"field settings TTHPeakWidth", "TTHPeakWidth: 0.5074378098\n"},
          // A small edit of the electron width is an edit all the same.
          {"command 33472", ""},
          {"command 33481", ""},
          {"print 2307@5741 2322@5741", "2307@5741: 0.0200\n2322@5741: Å⁻¹\n"},
          {"type 2307@5741 0.03", ""},
          {"key Return", ""},
          {"field settings PeakWidthTEM", "PeakWidthTEM: 0.03\n"},
      }));
}

TEST(UiInstrument, RadiationAndDetectorAngles) {
  ExpectTranscript(
      "instrument-angles",
      Opened({
          {"print 2306 2301", "2306: Gaussian (2 of 4)\ndisabled 2301: 0.2\n"},
          {"choose 2306 Pseudo-Voigt", ""},
          {"print 2301", "2301: 0.2\n"},
          {"choose 2321 Neutrons", ""},
          {"field settings SimulationType ProfileType", "SimulationType: 2\nProfileType: 4\n"},
          {"command 33478", ""},
          {"type 2291@5742 90", ""},
          {"key Return", ""},
          {"field settings TOFTheta", "TOFTheta: 0.7853981634\n"},
          {"print 2291@5742 2292@5742 2312", "2291@5742: 90.000\n2292@5742: 2θ:\n2312: Δd/d:\n"},
          {"type 2291@5742 0", ""},
          {"key Return", kRangeAlert + "0.001 and 180.000" + kRestored},
          {"field settings TOFTheta", "TOFTheta: 0.7853981634\n"},
          // A bound that the field's format would round outside the range is named exactly:
          // 0.01 m is no "0.0", which would invite the 0 it refuses.
          {"type 2296 0", ""},
          {"key Return", kRangeAlert + "0.01 and 100000.0" + kRestored},
          {"command 33471", ""},
          {"type 2291@5740 90", ""},
          {"key Return", ""},
          {"field settings EDXTheta", "EDXTheta: 0.7853981634\n"},
          {"print 2291@5740 2322@5740", "2291@5740: 90.0\n2322@5740: keV\n"},
      }));
}

TEST(UiInstrument, ElectronWavelengthDialogPresetsAndRanges) {
  ExpectTranscript("instrument-dialog",
                   {
                       {"open nacl.cif", ""},
                       {"command 33472", ""},
                       {"command 33485", ""},
                       {"click 3954", ""},
                       {"print 3950 3951", "3950: 0.0370\n3951: 100\n"},
                       {"type 3950 0.0370", ""},
                       {"print 3951", "3951: 100\n"},
                       {"type 3950 0.5", ""},
                       {"click 1", kRangeAlert + "0.00871919 and 0.3876" + kRestored},
                       {"print 3950", "3950: 0.0370\n"},
                       {"type 3951 0", ""},
                       {"click 1", kRangeAlert + "1 and 1000" + kRestored},
                       {"click 3955", ""},
                       {"print 3950", "3950: 0.0251\n"},
                       {"click 1", ""},
                       {"field settings LambdaTEM", "LambdaTEM: 0.02507933907\n"},
                       {"command 33485", ""},
                       {"click 3952", ""},
                       {"click 2", ""},
                       {"field settings LambdaTEM", "LambdaTEM: 0.02507933907\n"},
                   });
}

TEST(UiInstrument, BackgroundPaneBuildsShowsAndRemovesTheCurve) {
  const fs::path scan = fs::path(qlwtest::ScratchDir()) / "instrument-scan.xy";
  std::ofstream(scan) << "10.5 100\n11 120.25\n11.5 90\n12 80\n12.5 70\n13 60\n";
  ExpectTranscript(
      "instrument-background",
      {
          {"open " + scan.string(), ""},
          {"tab Parameters", ""},
          {"click 2210", ""},
          // Nothing selected: nothing to work on.
          {"print 2236 2217 2211", "disabled 2236: [x] Show background\ndisabled 2217: Curve:\ndisabled 2211: Add\n"},
          {"select 0", ""},
          {"print 2236 2211 2233 2214 2216 2226@5710",
           "disabled 2236: [x] Show background\n2211: Add\ndisabled 2233: Remove\ndisabled 2214: Add Point\n"
           "disabled 2216: Remove Point\ndisabled 2226@5710: [x] Preview background subtraction\n"},
          {"click 2211", ""},
          {"field 0 ControlPoints HideBackground PreviewSubtraction",
           "ControlPoints: 2\nHideBackground: 0\nPreviewSubtraction: 1\n"},
          {"print 2236 2211 2233 2216 2226@5710",
           "2236: [x] Show background\ndisabled 2211: Add\n2233: Remove\ndisabled 2216: Remove Point\n"
           "2226@5710: [x] Preview background subtraction\n"},
          {"click 2214", ""},
          {"field 0 ControlPoints", "ControlPoints: 3\n"},
          {"click 2236", ""},
          {"field 0 HideBackground", "HideBackground: 1\n"},
          {"print 2226@5710", "disabled 2226@5710: [x] Preview background subtraction\n"},
          {"click 2234", ""},
          {"field 0 ControlPoints", "ControlPoints: 2\n"},
          {"click 2233", ""},
          {"field 0 ControlPoints", "ControlPoints: 0\n"},
          {"print 2236 2211", "disabled 2236: [ ] Show background\n2211: Add\n"},
      });
}

// A session keeps the wavelengths in single precision: reopened, the field shows the factory
// 1.5405 Å as it did before the save, and the stored values are those saved.
TEST(UiInstrument, WavelengthReadsTheSameAfterTheSessionIsReopened) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-wavelength-reopen";
  fs::create_directories(folder);
  const std::string session = (folder / "wave.diffract").string();
  const std::string data = std::string(QLW_SOURCE_DIR) + "/tests/data";
  const std::string read = "print 2317\nfield settings Lambda Lambda2 LambdaTEM\n";
  const std::string shown = "> print 2317\n2317: 1.540\n> field settings Lambda Lambda2 LambdaTEM\nLambda: 1.5405\n";
  const qlwtest::ProbeRun saved = qlwtest::RunUiScript(
      folder, "open nacl.cif\ntab Parameters\nclick 2290\n" + read + "save " + session + "\n", "", data);
  ASSERT_EQ(saved.status, 0) << saved.out;
  EXPECT_NE(saved.out.find(shown), std::string::npos) << saved.out;
  const qlwtest::ProbeRun reopened = qlwtest::RunUiScript(folder, "open " + session + "\ntab Parameters\n" + read, "", data,
                                                          "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR", "reopen.txt");
  ASSERT_EQ(reopened.status, 0) << reopened.out;
  const auto values = [](const std::string& out) { return out.substr(out.find("> print 2317")); };
  EXPECT_EQ(values(reopened.out), values(saved.out.substr(0, saved.out.find("> save"))));
}
