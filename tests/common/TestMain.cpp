// Test entry point: every test process gets its own registry and runtime folder and quiet alerts.
#include "TestSupport.h"

#include "CString.h"
#include "Resources.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
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
    // Keep the user's real settings out of reach and alerts off the screen: a run of the tests
    // takes its own registry and runtime folder whatever the caller's environment names; a child
    // keeps those its test gave it.
    const int own = owner != 0 ? 1 : 0;
    setenv("QLW_REGISTRY_DIR", (dir + "/registry").c_str(), own);
    setenv("QLW_RUNTIME_DIR", (dir + "/run").c_str(), own);
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

bool WaitUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

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

namespace {
// A test that ends with a mouse button held leaves every later test of the process a pressed
// button it never pressed: name the test that did it rather than the one that trips over it.
class LeakedStateCheck : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& info) override {
    // What the test set going (a closed dialog leaving the program inactive, a window's activation)
    // reaches it here, not the next test, whose popup it would close at once.
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    // A main window that ended asked its thread's loop to quit; the next test's loop would end at once.
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    // A press sent to a widget is kept only in the test library's own record of the buttons.
    const Qt::MouseButtons down = QGuiApplication::mouseButtons() | QTestPrivate::qtestMouseButtons;
    if (down == Qt::NoButton) return;
    ADD_FAILURE() << info.test_suite_name() << "." << info.name() << " left a mouse button down";
    // Released here, so that only the test that left it fails.
    QWindow window;
    window.resize(10, 10);
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
      if (down & b) QTest::mouseRelease(&window, b, {}, QPoint(1, 1));
  }
};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new LeakedStateCheck);
  int rc = RUN_ALL_TESTS();
  if (g_scratch.owner == getpid()) {
    std::error_code ec;
    std::filesystem::remove_all(g_scratch.dir, ec);
  }
  return rc;
}
