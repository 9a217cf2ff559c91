// The alert's window: buttons, default, hidden parts and the "Don't show this again" choice.
#include "LXAlertDialog.h"
#include "AfxApp.h"
#include "Frame.h"
#include "LXMessage.h"
#include "WidgetApp.h"

#include "WndQt.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {
void EnsureApp() { qlwtest::EnsureWidgetApp("test_windows"); }

QWidget* Item(CDialog* d, int id) { return qlw::WidgetOf(::GetDlgItem(d->m_hWnd, id)); }

// Shows alerts as a person would see them, for the scope.
class ShownAlerts {
 public:
  explicit ShownAlerts(std::function<void(CLXAlertDialog*)> answer) {
    EnsureApp();
    const char* quiet = std::getenv("QLW_QUIET");
    if (quiet) m_quiet = quiet;
    unsetenv("QLW_QUIET");
    m_saved = CLXAlert::SetPresenter(nullptr);
    CLXAlertDialog::Install();
    qlw::SetModalAnswer([answer](CDialog* d) { answer(static_cast<CLXAlertDialog*>(d)); });
  }
  ~ShownAlerts() {
    qlw::SetModalAnswer(nullptr);
    CLXAlert::SetPresenter(m_saved);
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }

 private:
  std::string m_quiet;
  CLXAlert::Presenter m_saved = nullptr;
};

CLXAlert Make(UINT kind, std::initializer_list<const wchar_t*> parts, bool* flag = nullptr) {
  CLXAlert alert;
  CString texts[CLXAlert::kPartCount];
  int i = 0;
  for (const wchar_t* p : parts) texts[i++] = p;
  alert.SetMessage(kind, texts, L"0005:0001:0042");
  alert.SetDontShowAgain(flag);
  return alert;
}
}  // namespace

TEST(AlertDialog, ButtonsAndDefaultFollowTheKindAndCaptions) {
  const struct {
    UINT kind;
    std::initializer_list<const wchar_t*> parts;
    bool cancelShown;
    UINT defaultId;
    QString first, second;
  } cases[] = {
      {CLXAlert::kQuestion, {L"Many Files", L"Open 40 files?", L"It may take a while.", L"Continue", L"Cancel", L"Continue"},
       true, IDOK, "Continue", "Cancel"},
      {CLXAlert::kQuestion, {L"Many Files", L"Open 40 files?", L"It may take a while.", L"Continue", L"Stop"},
       true, IDCANCEL, "Continue", "Stop"},
      {CLXAlert::kInformation, {L"Note", L"Saved.", L""}, false, IDOK, "OK", "Cancel"},
      {CLXAlert::kError, {L"Error", L"Failed.", L"Because."}, false, IDOK, "OK", "Cancel"},
  };
  for (const auto& c : cases) {
    bool seen = false;
    ShownAlerts shown([&](CLXAlertDialog* d) {
      seen = true;
      EXPECT_EQ(Item(d, IDCANCEL)->isVisible(), c.cancelShown);
      EXPECT_EQ(d->GetDefaultButton(), c.defaultId);
      EXPECT_TRUE(qobject_cast<QPushButton*>(Item(d, c.defaultId))->isDefault());
      EXPECT_EQ(qobject_cast<QPushButton*>(Item(d, IDOK))->text(), c.first);
      EXPECT_EQ(qobject_cast<QPushButton*>(Item(d, IDCANCEL))->text(), c.second);
      EXPECT_FALSE(Item(d, CLXAlertDialog::kIdDontShow)->isVisible()) << "no flag, no check box";
      EXPECT_FALSE(Item(d, IDNO)->isVisible()) << "no third choice";
      EXPECT_EQ(Item(d, CLXAlertDialog::kIdExplanation)->isVisible(), std::wstring(c.parts.begin()[2]) != L"");
      EXPECT_TRUE(Item(d, CLXAlertDialog::kIdMessage)->font().bold());
      EXPECT_EQ(qobject_cast<QLabel*>(Item(d, CLXAlertDialog::kIdCode))->text(), "0005:0001:0042");
      EXPECT_EQ(::GetWindowTextLengthW(d->m_hWnd), static_cast<int>(wcslen(c.parts.begin()[0])));
      QTest::mouseClick(Item(d, c.defaultId), Qt::LeftButton);
    });
    CLXAlert alert = Make(c.kind, c.parts);
    EXPECT_EQ(alert.DoModal(), c.defaultId);
    EXPECT_TRUE(seen);
  }
}

TEST(AlertDialog, DontShowAgainIsKeptOnlyThroughOK) {
  bool flag = false;
  int shownCount = 0;
  {
    ShownAlerts shown([&](CLXAlertDialog* d) {
      ++shownCount;
      EXPECT_TRUE(Item(d, CLXAlertDialog::kIdDontShow)->isVisible());
      QTest::mouseClick(Item(d, CLXAlertDialog::kIdDontShow), Qt::LeftButton, Qt::NoModifier, QPoint(4, 6));
      QTest::mouseClick(Item(d, IDCANCEL), Qt::LeftButton);
    });
    CLXAlert cancelled = Make(CLXAlert::kQuestion, {L"Q", L"Go on?", L"", L"Yes", L"No"}, &flag);
    EXPECT_EQ(cancelled.DoModal(), static_cast<UINT>(IDCANCEL));
    EXPECT_FALSE(flag) << "Cancel leaves the choice as it was";
  }
  {
    ShownAlerts shown([&](CLXAlertDialog* d) {
      ++shownCount;
      QTest::mouseClick(Item(d, CLXAlertDialog::kIdDontShow), Qt::LeftButton, Qt::NoModifier, QPoint(4, 6));
      QTest::mouseClick(Item(d, IDOK), Qt::LeftButton);
    });
    CLXAlert accepted = Make(CLXAlert::kQuestion, {L"Q", L"Go on?", L"", L"Yes", L"No"}, &flag);
    EXPECT_EQ(accepted.DoModal(), static_cast<UINT>(IDOK));
    EXPECT_TRUE(flag);
    // Once chosen, the alert answers its first button without showing.
    CLXAlert suppressed = Make(CLXAlert::kQuestion, {L"Q", L"Go on?", L"", L"Yes", L"No"}, &flag);
    EXPECT_EQ(suppressed.DoModal(), static_cast<UINT>(IDOK));
  }
  EXPECT_EQ(shownCount, 2);
}

// Save, Don't Save and Cancel: each button answers its own, Escape cancels, Enter saves.
TEST(AlertDialog, AQuestionWithAThirdChoice) {
  const struct {
    const char* what;
    std::function<void(CLXAlertDialog*)> act;
    UINT answer;
  } cases[] = {
      {"Save", [](CLXAlertDialog* d) { QTest::mouseClick(Item(d, IDOK), Qt::LeftButton); }, IDOK},
      {"Don't Save", [](CLXAlertDialog* d) { QTest::mouseClick(Item(d, IDNO), Qt::LeftButton); }, IDNO},
      {"Cancel", [](CLXAlertDialog* d) { QTest::mouseClick(Item(d, IDCANCEL), Qt::LeftButton); }, IDCANCEL},
      {"Escape", [](CLXAlertDialog* d) { QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : qlw::WidgetOf(d->m_hWnd), Qt::Key_Escape); }, IDCANCEL},
      {"Enter", [](CLXAlertDialog* d) { QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : qlw::WidgetOf(d->m_hWnd), Qt::Key_Return); }, IDOK},
  };
  for (const auto& c : cases) {
    bool seen = false;
    ShownAlerts shown([&](CLXAlertDialog* d) {
      seen = true;
      for (int id : {IDOK, IDNO, IDCANCEL}) EXPECT_TRUE(Item(d, id)->isVisible()) << id;
      EXPECT_EQ(qobject_cast<QPushButton*>(Item(d, IDOK))->text(), "Save");
      EXPECT_EQ(qobject_cast<QPushButton*>(Item(d, IDNO))->text(), "Don't Save");
      EXPECT_EQ(qobject_cast<QPushButton*>(Item(d, IDCANCEL))->text(), "Cancel");
      EXPECT_EQ(d->GetDefaultButton(), static_cast<UINT>(IDOK));
      c.act(d);
    });
    CLXAlert alert = Make(CLXAlert::kQuestion, {L"Quillonographic", L"Save changes to Untitled?", L"", L"Save", L"Cancel", L"Save"});
    alert.SetThirdButton(L"Don't Save");
    EXPECT_EQ(alert.DoModal(), c.answer) << c.what;
    EXPECT_TRUE(seen) << c.what;
  }
}

// Work that follows the answer runs without the event loop: the window the box covered has been
// painted again by then, so the box's picture does not stay over it.
TEST(AlertDialog, TheWindowUnderABoxIsPaintedAgainBeforeTheAnswerReturns) {
  EnsureApp();
  struct Counted : QWidget {
    int paints = 0;
    void paintEvent(QPaintEvent*) override { ++paints; }
  } window;
  window.resize(400, 300);
  window.show();
  QApplication::processEvents();
  int paintsWhileUp = -1;
  {
    ShownAlerts shown([&](CLXAlertDialog* d) {
      paintsWhileUp = window.paints;
      d->EndDialog(IDOK);
    });
    Make(CLXAlert::kQuestion, {L"Many Reflexions", L"Go on?", L"", L"Continue", L"Truncate"}).DoModal();
  }
  ASSERT_GE(paintsWhileUp, 0) << "the box was not shown";
  EXPECT_GT(window.paints, paintsWhileUp);
}

TEST(AlertDialog, QuietModeAnswersOKOnOneLine) {
  ASSERT_NE(std::getenv("QLW_QUIET"), nullptr);
  CLXAlert question = Make(CLXAlert::kQuestion, {L"Q", L"Go on?", L"It is late.", L"Yes", L"No"});
  testing::internal::CaptureStderr();
  EXPECT_EQ(question.DoModal(), 1u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quillonographic : [0005:0001:0042] : Go on? (It is late.)\n");
}

TEST(AlertDialog, WrappedTextsGetTheirWholeHeight) {
  const wchar_t* message =
      L"The file \"rutile-anatase-brookite mixture, measured at 300 K.cif\" could not be read, "
      L"because a typing error in it stopped the reader at line 42 before the atom sites; every glyph "
      L"with a descender (g, j, p, q, y) on the last line must show.";
  const wchar_t* explanation =
      L"Check the file in a text editor: the reader stops at the first line it cannot parse, and a "
      L"missing quote or a stray semicolon there is the usual cause, typically.";
  bool seen = false;
  ShownAlerts shown([&](CLXAlertDialog* d) {
    seen = true;
    QApplication::processEvents();
    for (int id : {CLXAlertDialog::kIdMessage, CLXAlertDialog::kIdExplanation}) {
      auto* label = qobject_cast<QLabel*>(Item(d, id));
      ASSERT_NE(label, nullptr);
      const QRect text = label->fontMetrics().boundingRect(label->contentsRect(), Qt::TextWordWrap, label->text());
      EXPECT_GE(label->contentsRect().height(), text.height()) << "label " << id;
      EXPECT_GT(text.height(), 2 * label->fontMetrics().height()) << "the text wraps";
    }
    if (const char* dir = std::getenv("QLW_SHOTS")) qlw::WidgetOf(d->m_hWnd)->grab().save(QString(dir) + "/alert.png");
    QTest::mouseClick(Item(d, IDOK), Qt::LeftButton);
  });
  CLXAlert alert = Make(CLXAlert::kError, {L"Error", message, explanation});
  alert.DoModal();
  EXPECT_TRUE(seen);
}

TEST(AlertDialog, AnAlertBeforeTheMainWindowIsAnnouncedStaysAboveIt) {
  EnsureApp();
  // The application's frame exists, but the message bus does not know it as the main window yet.
  CWinApp app(L"alerttest");
  auto* frame = new CFrameWnd;  // deletes itself with its window
  ASSERT_TRUE(frame->Create(nullptr, L"main", WS_OVERLAPPEDWINDOW, RECT{0, 0, 600, 400}));
  app.m_pMainWnd = frame;
  ASSERT_EQ(LXAppWindows::GetMainWindow(), nullptr);
  QWindow* transientParent = nullptr;
  ShownAlerts shown([&](CLXAlertDialog* d) {
    if (QWindow* w = qlw::WidgetOf(d->m_hWnd)->windowHandle()) transientParent = w->transientParent();
    QTest::mouseClick(Item(d, IDOK), Qt::LeftButton);
  });
  CLXAlert alert = Make(CLXAlert::kError, {L"Error", L"The file could not be read.", L""});
  alert.DoModal();
  ASSERT_NE(qlw::WidgetOf(frame->m_hWnd)->windowHandle(), nullptr);
  EXPECT_EQ(transientParent, qlw::WidgetOf(frame->m_hWnd)->windowHandle());
  frame->DestroyWindow();
}
