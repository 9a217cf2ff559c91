// The document inside the class library: made by a document template with a frame and a view,
// telling the view its hints, and answering File > Save As routed from the frame.
#include "DocTestSupport.h"
#include "WidgetApp.h"

#include "FileTypes.h"
#include "TestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <filesystem>

namespace {
class HintView : public CView {
  DECLARE_DYNCREATE(HintView)

 public:
  void OnDraw(CDC*) override {}
  void OnUpdate(CView*, LPARAM lHint, CObject*) override {
    codes.push_back(lHint ? reinterpret_cast<CUpdateHint*>(lHint)->code : -1);
  }
  std::vector<int> codes;
};
IMPLEMENT_DYNCREATE(HintView, CView)

void EnsureApp() { qlwtest::EnsureWidgetApp("test_app"); }
}  // namespace

TEST(DocFrame, TemplateMadeDocumentTellsItsViewAndTakesFrameCommands) {
  EnsureApp();
  InstallFileTypeRecogniser();
  CSingleDocTemplate tmpl(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CFrameWnd), RUNTIME_CLASS(HintView));
  auto* doc = dynamic_cast<CQlwDoc*>(tmpl.OpenDocumentFile(CString(doctest::RutilePath().c_str()).GetString(), FALSE));
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(doc->Views().size(), 1u);
  auto* view = dynamic_cast<HintView*>(doc->Views().front());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(doc->GetPatterns().size(), 1u);
  view->codes.clear();
  CUpdateHint hint(kHintOccupancy, doc);
  doc->DispatchUpdateHint(hint);
  EXPECT_EQ(view->codes, (std::vector<int>{45, 22, 45, 10}));

  const std::string out = qlwtest::ScratchDir() + "/framed";
  doctest::TypedFileName answer(1, out);
  CWnd* frame = view->GetParentFrame();
  ASSERT_NE(frame, nullptr);
  static_cast<CFrameWnd*>(frame)->SetActiveView(view, FALSE);
  frame->SendMessage(WM_COMMAND, ID_FILE_SAVE_AS, 0);
  EXPECT_EQ(answer.shown, 1);
  EXPECT_TRUE(std::filesystem::exists(out + ".quillono"));
  EXPECT_FALSE(doc->IsModified());
  frame->DestroyWindow();
}
