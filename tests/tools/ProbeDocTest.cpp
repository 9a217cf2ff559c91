// The probe's `doc` command: a structure opened, a second appended, saved as a session and
// reopened with the same tree and ranges.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string RunProbe(const std::string& arguments, int& status) {
  const qlwtest::ProbeRun run = qlwtest::RunShell(qlwtest::ProbeCommand("doc " + arguments) + " 2>/dev/null");
  status = run.status;
  return run.out;
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

TEST(ProbeDoc, AnOutputNamedWithItsExtensionThatExistsIsReplaced) {
  const std::string rutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";
  const std::string out = qlwtest::ScratchDir() + "/probe-doc-again.quillono";
  int status = -1;
  RunProbe("'" + out + "' '" + rutile + "'", status);
  ASSERT_EQ(status, 0);
  // The second save meets the first one's file; the caller named it, so it is replaced.
  // Bounded: a question nobody can answer would hang it.
  const qlwtest::ProbeRun run =
      qlwtest::RunShell("timeout 60 " + qlwtest::ProbeCommand("doc '" + out + "' '" + rutile + "' '" + rutile + "'") + " 2>/dev/null");
  const std::string& text = run.out;
  ASSERT_EQ(run.status, 0) << text;
  const std::string after = text.substr(text.find("--- reopened " + out + "\n"));
  EXPECT_NE(after.find("0 crystal rutile shown\n0 crystal rutile shown\n"), std::string::npos) << text;
}
