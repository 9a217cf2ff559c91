// The probe's `plot` command: a structure drawn to PNG at a chosen resolution and to SVG.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {
std::string RunPlot(const std::string& arguments, int& status) {
  const qlwtest::ProbeRun run = qlwtest::RunShell(qlwtest::ProbeCommand("plot " + arguments) + " 2>/dev/null");
  status = run.status;
  return run.out;
}

std::string Head(const std::string& path, size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::string head(n, '\0');
  in.read(head.data(), std::streamsize(n));
  return head;
}

unsigned BigEndian(const std::string& bytes, size_t at) {
  unsigned v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}
}  // namespace

TEST(ProbePlot, DrawsAStructureAtTwiceTheResolution) {
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const std::string png = qlwtest::ScratchDir() + "/rutile.png";
  int status = -1;
  const std::string text = RunPlot("'" + png + "' '" + rutile + "' --width 640 --height 480 --dpi 192", status);
  ASSERT_EQ(status, 0) << text;
  const size_t at = text.find(": 1280 x 960, 1 pattern(s), x ");
  ASSERT_NE(at, std::string::npos) << text;
  // The window fits rutile's lines, the first (110) at 27.4° for copper.
  const double from = std::stod(text.substr(at + 30));
  EXPECT_GT(from, 20.0) << text;
  EXPECT_LT(from, 27.4) << text;
  const std::string head = Head(png, 24);
  ASSERT_EQ(head.substr(0, 4), "\x89PNG");
  EXPECT_EQ(BigEndian(head, 16), 1280u);
  EXPECT_EQ(BigEndian(head, 20), 960u);

  const std::string svg = qlwtest::ScratchDir() + "/rutile.svg";
  RunPlot("'" + svg + "' '" + rutile + "' --film --unit d", status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Head(svg, 5), "<?xml");
}

TEST(ProbePlot, RefusesUnknownOptionsAndMissingInput) {
  int status = -1;
  RunPlot("/tmp/x.png " + std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif --unit furlong", status);
  EXPECT_EQ(status, 2);
  RunPlot("'" + qlwtest::ScratchDir() + "/none.png' /nonexistent/file.cif", status);
  EXPECT_EQ(status, 1);
}
