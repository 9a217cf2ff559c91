// Test entry point: every test process gets its own registry and runtime folder and quiet alerts.
#include "TestSupport.h"

#include "CString.h"
#include "Resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {
// Set up before every other static initialiser, so that the program's own start-up (named
// mutexes, registered messages) already lands in this process's scratch folder.
struct ScratchEnvironment {
  std::string dir;
  pid_t owner = 0;  // child processes of a test share their parent's folder and leave it be
  ScratchEnvironment() {
    if (const char* inherited = std::getenv("QLW_TEST_SCRATCH")) {
      dir = inherited;
    } else {
      char tmpl[] = "/tmp/qlwtest.XXXXXX";
      if (char* made = mkdtemp(tmpl)) dir = made;
      owner = getpid();
      setenv("QLW_TEST_SCRATCH", dir.c_str(), 1);
      // The desktop's files (recently used, desktop entries) of the user are no test's to change.
      setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    }
    // Keep the user's real settings out of reach and alerts off the screen.
    setenv("QLW_REGISTRY_DIR", (dir + "/registry").c_str(), 0);
    setenv("QLW_RUNTIME_DIR", (dir + "/run").c_str(), 0);
    setenv("QLW_QUIET", "1", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
};
ScratchEnvironment g_scratch __attribute__((init_priority(101)));
}  // namespace

namespace qlwtest {
std::string DataPath(const std::string& name) { return std::string(QLW_SOURCE_DIR) + "/tests/data/" + name; }

std::string SharedTestDataPath(const std::string& relative) {
  std::filesystem::path root(QLW_TESTDATA_DIR);
  if (!std::filesystem::is_directory(root)) return {};
  return (root / relative).string();
}

std::string ScratchDir() { return g_scratch.dir; }

std::string AlertMessage(unsigned id) {
  CString text;
  if (!LoadString(id, text)) return "";
  const std::string all = text.ToUtf8();
  const size_t first = all.find('|');
  if (first == std::string::npos) return all;
  const size_t second = all.find('|', first + 1);
  return all.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}
}  // namespace qlwtest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  if (g_scratch.owner == getpid()) {
    std::error_code ec;
    std::filesystem::remove_all(g_scratch.dir, ec);
  }
  return rc;
}
