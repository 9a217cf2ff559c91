// Escape stops the document's long steps: a drop of many files after the file being read, and
// showing many patterns after the pattern being shown; a cancel does not stick to the next step.
#include "DocTestSupport.h"

#include "CancelInputFilter.h"
#include "FileTypes.h"
#include "LXApp.h"
#include "QLCrystalPattern.h"
#include "TestSupport.h"
#include "WidgetApp.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {
class CancelLongWork : public testing::Test {
 protected:
  static void SetUpTestSuite() { InstallFileTypeRecogniser(); }
  void SetUp() override {
    qlwtest::EnsureWidgetApp("test_app");
    InstallCancelInputFilter();
    focus = std::make_unique<QWidget>();
    focus->show();
  }
  void TearDown() override {
    RemoveCancelInputFilter();
    focus.reset();
  }
  // Escape as the window system queues it: seen by the work's next look at the input.
  void PressEscape() {
    QCoreApplication::postEvent(focus.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  }
  std::vector<CString> Copies(int count) {
    const fs::path dir = fs::path(qlwtest::ScratchDir()) / "cancel";
    fs::create_directories(dir);
    std::vector<CString> paths;
    for (int i = 0; i < count; ++i) {
      const fs::path copy = dir / ("rutile" + std::to_string(i) + ".cif");
      fs::copy_file(doctest::RutilePath(), copy, fs::copy_options::overwrite_existing);
      paths.emplace_back(copy.string().c_str());
    }
    return paths;
  }
  std::unique_ptr<QWidget> focus;
};
}  // namespace

TEST_F(CancelLongWork, EscapeStopsADropOfManyFilesAfterTheFileBeingRead) {
  CQlwDoc doc;
  doctest::RecordingView view;
  doc.AddView(&view);
  const std::vector<CString> files = Copies(4);
  PressEscape();
  doc.AddFilesFromDrop(files);
  EXPECT_EQ(doc.GetPatterns().size(), 1u);
  EXPECT_EQ(view.codes, std::vector<int>{19}) << "the tree is still told of the file read";
  EXPECT_FALSE(doc.IsAddingSeveral());
  EXPECT_FALSE(CLXApp::IsCancellableRunning());

  doc.AddFilesFromDrop({files[1], files[2]});
  EXPECT_EQ(doc.GetPatterns().size(), 3u) << "the cancel does not stick to the next drop";
}

TEST_F(CancelLongWork, EscapeStopsShowingManyPatternsAfterThePatternBeingShown) {
  CQlwDoc doc;
  CQLPatternList hidden;
  for (int i = 0; i < 3; ++i) {
    auto pattern = std::make_shared<CQLCrystalPattern>();
    pattern->m_filePath = CString(doctest::RutilePath().c_str());
    pattern->m_title = L"rutile";
    doc.GetPatterns().push_back(pattern);
    hidden.push_back(pattern);
  }
  PressEscape();
  doc.ShowPatterns(hidden);
  const std::vector<CQLPatternPtr> p(hidden.begin(), hidden.end());
  EXPECT_TRUE(p[0]->IsShown());
  EXPECT_FALSE(p[1]->IsShown());
  EXPECT_FALSE(p[2]->IsShown());
  EXPECT_EQ(doc.GetPatterns().size(), 3u) << "the patterns not shown stay in the document";
  EXPECT_FALSE(CLXApp::IsCancellableRunning());

  doc.ShowPatterns({p[1], p[2]});
  EXPECT_TRUE(p[1]->IsShown() && p[2]->IsShown());
}
