// The crash report: a child process that fails on purpose leaves its report, even after another
// library tried to take the fatal signals.
#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>
#include <string>

#include "ChildProcess.h"
#include "LXCrashReport.h"
#include "TestSupport.h"

TEST(CrashReport, ChildJobs) {
  if (!apptest::Job()) GTEST_SKIP() << "runs in child processes only";
  InstallCrashHandler();
  // A library loaded later tries to take the signal, once each way.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGSEGV, &ignore, nullptr);
  signal(SIGSEGV, SIG_DFL);
  apptest::Report(GetCrashReportPath().ToUtf8() + "\n");
  volatile int* nowhere = nullptr;
  *nowhere = 7;
  _exit(0);
}

TEST(CrashReport, AFatalSignalLeavesAReportAndTheSystemsHandlingFollows) {
  const std::string home = qlwtest::ScratchDir() + "/crash-home";
  auto child = apptest::Start("CrashReport.ChildJobs", "crash", {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config"});
  std::string path = apptest::ReadUntil(child, "\n");
  EXPECT_EQ(apptest::Wait(child), 128 + SIGSEGV);
  ASSERT_FALSE(path.empty());
  path.pop_back();
  EXPECT_EQ(path, home + "/Documents/Lumaxisworks Software/Quillonographic/Quillonographic_Crash_Info.dmp");
  std::ifstream in(path);
  std::stringstream report;
  report << in.rdbuf();
  const std::string text = report.str();
  EXPECT_EQ(text.rfind("Quillonographic crash report\nsignal 11 (SIGSEGV)\n", 0), 0u) << text;
  EXPECT_NE(text.find("\naddress 0x0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nthread "), std::string::npos);
  EXPECT_NE(text.find("\nbacktrace:\n"), std::string::npos);
  EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 8);
}
