// The probe's `doc` command: a structure opened, a second appended, saved as a session and
// reopened with the same tree and ranges.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {
std::string RunProbe(const std::string& arguments, int& status) {
  const std::string command = std::string(QLW_BIN_DIR) + "/qlwprobe doc " + arguments + " 2>/dev/null";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}
}  // namespace

TEST(ProbeDoc, SavedSessionReopensWithTheSameTreeAndRanges) {
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const std::string out = qlwtest::ScratchDir() + "/probe-doc";
  int status = -1;
  const std::string text = RunProbe("'" + out + "' '" + rutile + "' '" + rutile + "'", status);
  ASSERT_EQ(status, 0) << text;
  const size_t split = text.find("--- reopened " + out + ".quillono\n");
  ASSERT_NE(split, std::string::npos) << "Save As adds the session extension\n" << text;
  const std::string before = text.substr(0, split);
  const std::string after = text.substr(text.find('\n', split) + 1);
  // The y maximum is recomputed from the session's single-precision numbers: equal to 6 digits.
  auto withoutY = [](std::string s) {
    const size_t y = s.find("y range: ");
    return s.erase(y, s.find('\n', y) - y);
  };
  auto yMax = [](const std::string& s) { return std::stod(s.substr(s.find(' ', s.find("y range: ") + 9))); };
  EXPECT_EQ(withoutY(before), withoutY(after));
  EXPECT_NEAR(yMax(before), yMax(after), 1e-6 * yMax(before));
  EXPECT_NE(before.find("0 crystal rutile shown\n0 crystal rutile shown\n"), std::string::npos) << before;
  EXPECT_NE(before.find("x axis: 2theta\n"), std::string::npos) << before;
  EXPECT_NE(before.find("data range: "), std::string::npos);
}
