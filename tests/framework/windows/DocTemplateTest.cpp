// The document template: document strings and filters, and opening a file into the window that
// is already open (views handed over, the old document kept when the file cannot be read).
#include <gtest/gtest.h>

#include <QApplication>

#include "LXDocTemplate.h"
#include "LXDocWnd.h"
#include "LXMessage.h"
#include "WidgetApp.h"

namespace {
constexpr UINT kSessionStrings = 1030;  // filter extensions ".diffract;.quillonographic;.quillono"
constexpr UINT kLegacyStrings = 1031;   // filter extensions ".qlsf"

void EnsureQt() { qlwtest::EnsureWidgetApp("test_windows"); }

std::vector<std::string> g_events;

class TDoc : public CDocument {
  DECLARE_DYNCREATE(TDoc)
 public:
  ~TDoc() override { g_events.push_back("delete " + Name()); }
  BOOL OnOpenDocument(LPCWSTR path) override {
    const std::wstring p = path;
    if (p.find(L"bad") != std::wstring::npos) return FALSE;
    m_strPathName = path;
    g_events.push_back("read " + Name());
    return TRUE;
  }
  std::string Name() const { return std::string(m_strPathName.GetString(), m_strPathName.GetString() + m_strPathName.GetLength()); }
};
IMPLEMENT_DYNCREATE(TDoc, CDocument)

class TView : public CView {
  DECLARE_DYNCREATE(TView)
 public:
  void OnDraw(CDC*) override {}
};
IMPLEMENT_DYNCREATE(TView, CView)

class TFrame : public CLXDocWnd {
  DECLARE_DYNCREATE(TFrame)
 public:
  bool HasPatterns() override { return false; }
  bool IsEmptyWindow() override { return true; }
  void SaveWindowPlacement() override {}
  void OnOptionsApplied(WPARAM, LPARAM) override {}
};
IMPLEMENT_DYNCREATE(TFrame, CLXDocWnd)

class TTemplate : public CLXDocTemplate {
 public:
  using CLXDocTemplate::CLXDocTemplate;
  void TransferDocument(CDocument* oldDoc, CDocument* newDoc) override {
    if (oldDoc) g_events.push_back("transfer " + static_cast<TDoc*>(oldDoc)->Name() + " -> " + static_cast<TDoc*>(newDoc)->Name());
  }
};

struct SameWindowFlag {
  SameWindowFlag() { g_openInSameWindow = true; }
  ~SameWindowFlag() { g_openInSameWindow = false; }
};
}  // namespace

TEST(LXDocTemplate, DocStringsAndFilters) {
  CLXDocTemplate session(kSessionStrings, nullptr, nullptr, nullptr);
  CLXDocTemplate legacy(kLegacyStrings, nullptr, nullptr, nullptr);
  CString text;
  EXPECT_TRUE(session.GetDocString(text, 4));
  EXPECT_EQ(text, L".diffract");
  EXPECT_TRUE(legacy.GetDocString(text, 4));
  EXPECT_EQ(text, L".qlsf");
  EXPECT_TRUE(session.GetDocString(text, 2));
  EXPECT_EQ(text, L"Session File");
  EXPECT_FALSE(session.GetDocString(text, 9));

  CString filter;
  EXPECT_EQ(session.AppendFilter(filter, true, true), 2);
  EXPECT_EQ(filter, L"Session File (*.diffract;*.quillonographic;*.quillono)|*.diffract;*.quillonographic;*.quillono|All Files|*.*||");
  EXPECT_EQ(legacy.AppendFilter(filter, false, false), 1);
  EXPECT_EQ(filter, L"Legacy Session File (*.qlsf)|*.qlsf|");
  CLXDocTemplate none(999999, nullptr, nullptr, nullptr);
  EXPECT_EQ(none.AppendFilter(filter, true, false), 1);
  EXPECT_EQ(filter, L"All Files|*.*|");
}

TEST(LXDocTemplate, OpeningIntoTheSameWindowHandsOverTheViews) {
  EnsureQt();
  TTemplate tmpl(kSessionStrings, RUNTIME_CLASS(TDoc), RUNTIME_CLASS(TFrame), RUNTIME_CLASS(TView));
  g_events.clear();
  auto* first = static_cast<TDoc*>(tmpl.OpenDocumentFile(L"/data/a.diffract", TRUE));
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->Views().size(), 1u);
  auto* frame = DYNAMIC_DOWNCAST(CLXDocWnd, first->Views().front()->GetParentFrame());
  ASSERT_NE(frame, nullptr);
  LXAppWindows::SetMainWindow(frame->m_hWnd, true);
  // A second view of the same document.
  auto* second = new TView;
  ASSERT_TRUE(second->Create(nullptr, nullptr, WS_CHILD, RECT{0, 0, 10, 10}, frame, AFX_IDW_PANE_FIRST + 1));
  first->AddView(second);
  frame->SetActiveView(second, FALSE);
  const std::vector<CView*> views = first->Views();

  SameWindowFlag same;
  g_events.clear();
  auto* next = static_cast<TDoc*>(tmpl.OpenDocumentFile(L"/data/b.diffract", TRUE));
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->Views(), views);
  EXPECT_EQ(frame->GetActiveView(), second);
  EXPECT_EQ(tmpl.GetDocument(), next);
  EXPECT_FALSE(frame->m_bOpening);
  // The old document goes only after the new one has read its file and received the transfer.
  EXPECT_EQ(g_events, (std::vector<std::string>{"read /data/b.diffract",
                                                "transfer /data/a.diffract -> /data/b.diffract",
                                                "delete /data/a.diffract"}));

  g_events.clear();
  EXPECT_EQ(tmpl.OpenDocumentFile(L"/data/bad.diffract", TRUE), nullptr);
  EXPECT_EQ(next->Views(), views) << "a file that cannot be read leaves the window on its document";
  EXPECT_EQ(frame->GetActiveView(), second);
  EXPECT_EQ(tmpl.GetDocument(), next);
  ASSERT_EQ(g_events.size(), 1u);
  EXPECT_EQ(g_events[0].rfind("delete", 0), 0u);

  LXAppWindows::SetMainWindow(nullptr, false);
  tmpl.RemoveDocument(next);
  frame->DestroyWindow();
  delete next;
}
