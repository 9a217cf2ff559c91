// The program's start-up with its diffraction window: the files of the command line become one
// document whose patterns the shown graphics pane draws, although each file opened into the
// window moves the pane to a new document.
#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwApp.h"
#include "QlwDoc.h"
#include "TestSupport.h"
#include "WidgetApp.h"
#include "WndQt.h"

namespace fs = std::filesystem;

namespace {
std::string CopyOfRutile(const fs::path& path) {
  fs::create_directories(path.parent_path());
  fs::copy_file(std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif", path, fs::copy_options::overwrite_existing);
  return path.string();
}

// Starts the program on the files and runs it until its window holds two patterns (or 20 s).
CDiffractWnd* StartAndWaitForTwoPatterns(CQlwApp& app, std::vector<std::string> args) {
  qlwtest::EnsureWidgetApp("quillonographic");
  delete g_pPreferences;  // a store left by an earlier test is no start's own: it reads the stored one
  args.insert(args.begin(), "quillonographic");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  app.SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  app.SetArguments(static_cast<int>(argv.size()), argv.data());
  if (!app.InitInstance()) return nullptr;
  auto* frame = dynamic_cast<CDiffractWnd*>(app.GetDocWindow());
  if (!frame) return nullptr;
  auto patterns = [&] {
    auto* doc = dynamic_cast<CQlwDoc*>(frame->GetActiveDocument());
    return doc ? doc->GetPatterns().size() : 0u;
  };
  QTimer poll;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  // One quit only, so that no second one ends a later run at once.
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (patterns() >= 2 || std::chrono::steady_clock::now() > end) {
      poll.stop();
      PostQuitMessage(0);
    }
  });
  poll.start(20);
  app.Run();
  return frame;
}
}  // namespace

TEST(ProgramStart, TwoStructuresOpenIntoOneDocumentThatTheGraphicsPaneDraws) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "program";
  CQlwApp app;
  CDiffractWnd* frame = StartAndWaitForTwoPatterns(app, {CopyOfRutile(scratch / "a.cif"), CopyOfRutile(scratch / "b.cif")});
  ASSERT_NE(frame, nullptr);

  auto* doc = dynamic_cast<CQlwDoc*>(frame->GetActiveDocument());
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetPatterns().size(), 2u);
  CGraphicsPane* pane = frame->GetGraphicsPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_TRUE(IsWindowVisible(pane->m_hWnd));
  EXPECT_EQ(pane->GetCanvas().GetDocument(), doc) << "the canvas draws the window's current document";

  // The canvas paints the plot: something other than its background appears.
  QWidget* canvas = qlw::WidgetOf(pane->GetCanvas().m_hWnd);
  ASSERT_NE(canvas, nullptr);
  const QImage shot = canvas->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  const QRgb background = shot.pixel(1, 1);
  int differing = 0;
  for (int y = 0; y < shot.height(); y += 4)
    for (int x = 0; x < shot.width(); x += 4) differing += shot.pixel(x, y) != background;
  EXPECT_GT(differing, 50);

  frame->DestroyWindow();
  LXAppWindows::SetMainWindow(nullptr, false);
}

TEST(ProgramStart, ADataFileOpenedAfterAStructureLeavesTheBandOnTheStructure) {
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "program-data";
  const std::string cif = CopyOfRutile(scratch / "rutile.cif");
  const std::string data = (scratch / "measured.dat").string();
  {
    std::ofstream out(data);
    out << "10 1\n20 5\n30 2\n40 1\n";
  }
  CQlwApp app;
  CDiffractWnd* frame = StartAndWaitForTwoPatterns(app, {cif, data});
  ASSERT_NE(frame, nullptr);
  auto* doc = dynamic_cast<CQlwDoc*>(frame->GetActiveDocument());
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(doc->GetPatterns().size(), 2u);
  CGraphicsPane* pane = frame->GetGraphicsPane();
  ASSERT_NE(pane, nullptr);
  // The structure kept from the first file is in the band: its menu can be used.
  EXPECT_TRUE(pane->m_patternButton.IsWindowEnabled());
  CString caption;
  pane->m_patternButton.GetWindowText(caption);
  EXPECT_EQ(caption, CString(L"Search rutile:"));

  frame->DestroyWindow();
  LXAppWindows::SetMainWindow(nullptr, false);
}
