// The probe's `data` command: type, count and end points of observed-data files, and the
// reader's own message when a file holds no usable data.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {
struct DataRun {
  std::string out, err;
  int status = -1;
};

DataRun ProbeData(const std::string& path) {
  const std::string errPath = qlwtest::ScratchDir() + "/probe-data.err";
  const qlwtest::ProbeRun run = qlwtest::RunShell(qlwtest::ProbeCommand("data '" + path + "'") + " 2>'" + errPath + "'");
  return {run.out, qlwtest::Slurp(errPath), run.status};
}

std::string Scratch(const std::string& name, const std::string& text) {
  const std::string path = qlwtest::ScratchDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string FitykSample(const char* name) {
  const std::string path = std::string(QLW_FIXTURES_DIR) + "/fityk/usr/share/fityk/samples/" + name;
  return std::filesystem::exists(path) ? path : std::string();
}
}  // namespace

TEST(ProbeData, PrintsTypeCountAndEndPoints) {
  const struct {
    std::string path, expected, warning;
  } cases[] = {
      {Scratch("scan.xy", "# two columns\n10.5 100\n11 120.25\n11.5 90\n"), "12\n3\n10.5 100\n11.5 90\n", ""},
      {Scratch("scan.asc", "*START = 10\n*STOP = 10.06\n*STEP = 0.02\n*COUNT = 4\n5, 6, 7, 8\n*END\n"),
       "34\n4\n10 5\n10.06 8\n", ""},
      {Scratch("short.asc", "*START = 10\n*STOP = 10.06\n*STEP = 0.02\n*COUNT = 4\n5, 6, 7\n"),
       "34\n3\n10 5\n10.04 7\n", "warning: The file holds 3 values where *COUNT gives 4"},
  };
  for (const auto& c : cases) {
    const DataRun run = ProbeData(c.path);
    EXPECT_EQ(run.status, 0) << c.path << ": " << run.err;
    EXPECT_EQ(run.out, c.expected) << c.path;
    if (c.warning.empty()) EXPECT_EQ(run.err, "") << c.path;
    else EXPECT_NE(run.err.find(c.warning), std::string::npos) << c.path << ": " << run.err;
  }
}

TEST(ProbeData, FailsWithTheReadersMessage) {
  const struct {
    std::string path, message;
  } cases[] = {
      {Scratch("column.dat", "1\n2\n3\n"), "No data in file."},
      {Scratch("range.asc", "*START = 10\n*STOP = 10.06\n*STEP = 0.02\n*COUNT = 5\n5, 6, 7, 8, 9\n"),
       qlwtest::AlertMessage(22845)},
      {"/nonexistent/scan.dat", "Unable to open file."},
  };
  for (const auto& c : cases) {
    const DataRun run = ProbeData(c.path);
    EXPECT_EQ(run.status, 1) << c.path;
    EXPECT_EQ(run.out, "") << c.path;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.path << ": " << run.err;
  }
  const DataRun structure = ProbeData(std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif");
  EXPECT_EQ(structure.status, 1);
  EXPECT_EQ(structure.out, "");
}

TEST(ProbeData, MeasuredFilesWrittenByOthers) {
  const std::string nacl = FitykSample("nacl01.dat");
  const std::string sic = FitykSample("SiC_Zn.dat");
  const std::string enso = FitykSample("enso.dat");
  if (nacl.empty() || sic.empty() || enso.empty())
    GTEST_SKIP() << "the fityk samples are not unpacked in " QLW_FIXTURES_DIR " (scripts/fixtures.sh)";
  EXPECT_EQ(ProbeData(nacl).out, "12\n840\n19.9143 31\n52.3751 104\n");
  const DataRun carbide = ProbeData(sic);
  EXPECT_EQ(carbide.status, 0);
  EXPECT_EQ(carbide.out.substr(0, carbide.out.find('\n', 3) + 1), "12\n4001\n");
  const DataRun column = ProbeData(enso);
  EXPECT_EQ(column.status, 1);
  EXPECT_NE(column.err.find("No data in file."), std::string::npos) << column.err;
}
