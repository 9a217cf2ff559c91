// The question before unsaved work goes: closing the main window (close box, window menu), and a
// document replaced in its window. Cancel keeps the window and the work; Don't Save lets it go;
// Save writes the session first.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXAlert.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwApp.h"
#include "QlwDoc.h"
#include "TestSupport.h"
#include "WidgetApp.h"

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

// A fresh preference store, a document read from path and its diffraction window, shown.
class MainWindow {
 public:
  explicit MainWindow(const std::string& path = kRutile) {
    qlwtest::EnsureWidgetApp("test_mainwnd");
    InstallFileTypeRecogniser();
    CPreferences::Create(true);
    m_template = std::make_unique<CLXDocTemplate>(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd),
                                                  RUNTIME_CLASS(CGraphicsPane));
    doc = dynamic_cast<CQlwDoc*>(m_template->OpenDocumentFile(CString(path.c_str()).GetString(), TRUE));
    if (!doc) return;
    wnd = dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd());
    if (!wnd) return;
    hwnd = wnd->m_hWnd;
    LXAppWindows::SetMainWindow(hwnd, true);
    wnd->SendMessage(g_msgInitialOpen, 0, 0);
    QApplication::processEvents();
    QApplication::processEvents();
  }
  ~MainWindow() {
    if (IsWindow(hwnd)) wnd->DestroyWindow();
    LXAppWindows::SetMainWindow(nullptr, false);
    m_template.reset();
  }
  bool Open() const { return IsWindow(hwnd) != FALSE; }
  CQlwDoc* Document() const {
    return Open() ? dynamic_cast<CQlwDoc*>(static_cast<CFrameWnd*>(wnd)->GetActiveDocument()) : nullptr;
  }

  CQlwDoc* doc = nullptr;
  CDiffractWnd* wnd = nullptr;
  HWND hwnd = nullptr;

 private:
  std::unique_ptr<CLXDocTemplate> m_template;
};

// The program's application object, not started: it asks the questions of the class library.
class App : public CQlwApp {
 public:
  App() {
    SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
    RegisterDocTemplates();
  }
};

// Answers the program's alerts in turn for the scope, as a user at the real box would, and keeps
// what each one asked.
class Answers {
 public:
  explicit Answers(std::deque<UINT> answers) {
    s_answers = std::move(answers);
    s_asked.clear();
    if (const char* quiet = std::getenv("QLW_QUIET")) m_quiet = quiet;
    unsetenv("QLW_QUIET");
    m_silent = std::exchange(g_silentMode, false);
    m_saved = CLXAlert::SetPresenter(&Answer);
  }
  ~Answers() {
    CLXAlert::SetPresenter(m_saved);
    g_silentMode = m_silent;
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }
  // Message and buttons of each alert: "TEXT [FIRST|THIRD|SECOND]".
  static inline std::vector<std::string> s_asked;

 private:
  static UINT Answer(const CLXAlert& alert) {
    s_asked.push_back(alert.GetPart(1).ToUtf8() + " [" + alert.GetPart(3).ToUtf8() + "|" +
                      alert.GetThirdButton().ToUtf8() + "|" + alert.GetPart(4).ToUtf8() + "]");
    if (s_answers.empty()) return IDCANCEL;
    const UINT answer = s_answers.front();
    s_answers.pop_front();
    return answer;
  }
  static inline std::deque<UINT> s_answers;
  std::string m_quiet;
  bool m_silent = false;
  CLXAlert::Presenter m_saved = nullptr;
};

const std::string kAsked = "Save changes to Untitled? [Save|Don't Save|Cancel]";

void CloseBox(MainWindow& m) { m.wnd->SendMessage(WM_CLOSE, 0, 0); }
void WindowMenuClose(MainWindow& m) { m.wnd->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }
}  // namespace

TEST(SaveQuestion, CancelKeepsTheWindowAndTheWork) {
  for (auto close : {&CloseBox, &WindowMenuClose}) {
    App app;
    MainWindow m;
    ASSERT_TRUE(m.Open());
    ASSERT_TRUE(m.doc->IsModified()) << "a structure file read is not saved work";
    Answers answers({IDCANCEL});
    close(m);
    EXPECT_EQ(Answers::s_asked, std::vector<std::string>{kAsked});
    ASSERT_TRUE(m.Open());
    EXPECT_EQ(m.Document(), m.doc);
    EXPECT_EQ(m.doc->GetPatterns().size(), 1u);
    EXPECT_TRUE(m.doc->IsModified());
    EXPECT_FALSE(CQlwMainFrame::IsAppClosing()) << "the program goes on";
  }
}

TEST(SaveQuestion, DontSaveClosesAndSaveWritesTheSessionFirst) {
  const std::string session = qlwtest::ScratchDir() + "/asked.quillonographic";
  App app;
  {
    MainWindow m;
    ASSERT_TRUE(m.Open());
    ASSERT_TRUE(m.doc->OnSaveDocument(CString(session.c_str()).GetString()));
  }
  {
    // A saved session closes without a question.
    MainWindow m(session);
    ASSERT_TRUE(m.Open());
    ASSERT_FALSE(m.doc->IsModified());
    Answers answers({});
    CloseBox(m);
    EXPECT_TRUE(Answers::s_asked.empty());
    EXPECT_FALSE(m.Open());
  }
  for (UINT answer : {IDNO, IDOK}) {
    MainWindow m(session);
    ASSERT_TRUE(m.Open());
    m.doc->GetSettings()->m_lambda = answer == IDOK ? 1.25 : 0.75;
    m.doc->SetModifiedFlag(TRUE);
    Answers answers({answer});
    CloseBox(m);
    EXPECT_EQ(Answers::s_asked, std::vector<std::string>{"Save changes to asked? [Save|Don't Save|Cancel]"});
    EXPECT_FALSE(m.Open()) << answer;
  }
  // Only Save wrote the session.
  MainWindow m(session);
  ASSERT_TRUE(m.Open());
  EXPECT_FLOAT_EQ(float(m.doc->GetSettings()->m_lambda), 1.25f);
}

// A document that holds no pattern gives way to a file opened, or to a new one, in its window;
// with changes, it is asked about first.
TEST(SaveQuestion, AChangedDocumentReplacedInItsWindowIsAskedAbout) {
  App app;
  MainWindow m;
  ASSERT_TRUE(m.Open());
  m.doc->GetPatterns().clear();
  m.doc->SetModifiedFlag(TRUE);
  {
    Answers answers({IDCANCEL, IDCANCEL});
    EXPECT_EQ(app.OpenDocumentFile(CString(kRutile.c_str()).GetString()), nullptr);
    EXPECT_EQ(app.OpenDocumentOfType(kFileTypeSession, nullptr), nullptr);
    EXPECT_EQ(Answers::s_asked, (std::vector<std::string>{kAsked, kAsked}));
    EXPECT_EQ(m.Document(), m.doc) << "the document stays";
    EXPECT_TRUE(m.doc->IsModified());
  }
  {
    // A list of files handed over or dropped is asked about once, and a cancel opens none.
    Answers answers({IDCANCEL});
    const CString path(kRutile.c_str());
    EXPECT_FALSE(app.OpenFileList({path, path, path}, 0));
    EXPECT_EQ(Answers::s_asked, std::vector<std::string>{kAsked});
    EXPECT_EQ(m.Document(), m.doc);
    EXPECT_TRUE(m.doc->GetPatterns().empty());
  }
  {
    Answers answers({IDNO});
    CQlwDoc* opened = app.OpenDocumentOfType(0, CString(kRutile.c_str()).GetString());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(Answers::s_asked, std::vector<std::string>{kAsked});
    EXPECT_EQ(m.Document(), opened);
    EXPECT_EQ(opened->GetPatterns().size(), 1u);
  }
  // An unchanged empty document gives way without a question.
  m.Document()->GetPatterns().clear();
  m.Document()->SetModifiedFlag(FALSE);
  Answers answers({});
  EXPECT_NE(app.OpenDocumentOfType(kFileTypeSession, nullptr), nullptr);
  EXPECT_TRUE(Answers::s_asked.empty());
}
