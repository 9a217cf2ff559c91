// The string table compiled from resources/strings, and the resource compiler's checks.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "Resources.h"
#include "TestSupport.h"

TEST(StringTable, LoadsTextsExactly) {
  CString s;
  ASSERT_TRUE(LoadString(1204, s));
  EXPECT_EQ(s, L"A system error (^0) has occurred.");
  ASSERT_TRUE(s.LoadString(21094));
  EXPECT_EQ(s, L"Opening Many Files|You are about to open %ld files.|Opening this many files could take a long time.|"
               L"Continue|Cancel");
  ASSERT_TRUE(s.LoadString(1115));
  EXPECT_EQ(s, L"Å⁻¹");
  ASSERT_TRUE(s.LoadString(22831));
  EXPECT_NE(s.Find(L"containing\n'%s'.\nPlease"), -1);
  ASSERT_TRUE(s.LoadString(1063));
  EXPECT_EQ(s, L"Lumaxisworks Software\\Quillonographic");
}

TEST(StringTable, MissingIdLeavesTheTextAlone) {
  CString s(L"kept");
  EXPECT_FALSE(LoadString(65000, s));
  EXPECT_FALSE(s.LoadString(0));
  EXPECT_EQ(s, L"kept");
}

TEST(StringTable, BufferFormTruncatesAndTerminates) {
  wchar_t buffer[8];
  EXPECT_EQ(LoadString(nullptr, 1200, buffer, 8), 7);
  EXPECT_STREQ(buffer, L"Interna");
  EXPECT_EQ(LoadString(nullptr, 65000, buffer, 8), 0);
  EXPECT_STREQ(buffer, L"");
}

TEST(StringTable, FormatFromAnId) {
  CString s;
  s.Format(21094u, static_cast<LONG>(25));
  EXPECT_NE(s.Find(L"You are about to open 25 files."), -1);
}

namespace {
struct RcRun {
  int status;
  std::string errors;
};

RcRun RunRc(const std::string& text) {
  const std::string dir = qlwtest::ScratchDir();
  const std::string input = dir + "/rc-input.txt";
  std::ofstream(input) << text;
  const std::string command = std::string(QLW_BIN_DIR) + "/qlwrc " + dir + "/rc-out.cpp " + input + " 2>" + dir +
                              "/rc-errors.txt";
  int status = std::system(command.c_str());
  std::ifstream in(dir + "/rc-errors.txt");
  std::string errors((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, errors};
}
}  // namespace

TEST(ResourceCompiler, RejectsFaultyLinesWithFileAndLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"# c\n5 \"a\"\n\n5 \"b\"\n", ":4: error: duplicate string id 5 (first defined at "},
      {"7 \"a\\q\"\n", ":1: error: unknown escape \\q"},
      {"7 \"open\n", ":1: error: the text has no closing double quote"},
      {"seven \"a\"\n", ":1: error: expected a numeric id"},
      {"70000 \"a\"\n", ":1: error: string id out of range"},
      {"7 \"a\" x\n", ":1: error: unexpected characters after the text"},
      {"7 \"a\xC3(\"\n", ":1: error: text is not valid UTF-8"},
  };
  for (const Case& c : cases) {
    RcRun run = RunRc(c.text);
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
  }
  RcRun good = RunRc("# comment\n\n  12 \"say \\\"hi\\\"\\t\\\\\"\n");
  EXPECT_EQ(good.status, 0) << good.errors;
}
