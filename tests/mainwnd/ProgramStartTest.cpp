// The program's start-up with its diffraction window: the files of the command line become one
// document whose patterns the shown graphics pane draws, although each file opened into the
// window moves the pane to a new document.
#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "LXMessage.h"
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
}  // namespace

TEST(ProgramStart, TwoStructuresOpenIntoOneDocumentThatTheGraphicsPaneDraws) {
  qlwtest::EnsureWidgetApp("quillonographic");
  const fs::path scratch = fs::path(qlwtest::ScratchDir()) / "program";
  std::vector<std::string> args = {"quillonographic", CopyOfRutile(scratch / "a.cif"), CopyOfRutile(scratch / "b.cif")};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());

  CQlwApp app;
  app.SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  app.SetArguments(static_cast<int>(argv.size()), argv.data());
  ASSERT_TRUE(app.InitInstance());
  auto* frame = dynamic_cast<CDiffractWnd*>(app.GetDocWindow());
  ASSERT_NE(frame, nullptr);
  auto patterns = [&] {
    auto* doc = dynamic_cast<CQlwDoc*>(frame->GetActiveDocument());
    return doc ? doc->GetPatterns().size() : 0u;
  };
  QTimer poll;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (patterns() >= 2 || std::chrono::steady_clock::now() > end) PostQuitMessage(0);
  });
  poll.start(20);
  app.Run();

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
