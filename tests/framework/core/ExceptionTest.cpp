// Exception texts from the string table, conversions of caught objects, and reporting once.
#include "LXAlert.h"
#include "LXException.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

namespace {
std::wstring W(const CString& s) { return s.Str(); }

// Lets a test answer the alert as a person would, with QLW_QUIET lifted for its scope.
class ScopedPresenter {
 public:
  explicit ScopedPresenter(CLXAlert::Presenter presenter) : m_previous(CLXAlert::SetPresenter(presenter)) {
    if (const char* quiet = std::getenv("QLW_QUIET")) m_quiet = quiet;
    unsetenv("QLW_QUIET");
  }
  ~ScopedPresenter() {
    CLXAlert::SetPresenter(m_previous);
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }

 private:
  CLXAlert::Presenter m_previous;
  std::string m_quiet;
};

int g_shown = 0;
UINT g_answer = 1;
CString g_lastTitle;
UINT g_lastKind = 99;
UINT CountingPresenter(const CLXAlert& alert) {
  ++g_shown;
  g_lastTitle = alert.GetPart(0);
  g_lastKind = alert.GetKind();
  return g_answer;
}
}  // namespace

LX_DECLARE_EXCEPTION(CLXXTestFamily, CLXXFile, 20483);

TEST(Exception, UnknownErrorTextPadsTheCodeAndTakesTheSeverityTitle) {
  CLXXUnknown e(kLXSeverityInternal, 5, 0);
  EXPECT_EQ(W(e.GetTitle()), L"Internal Error");
  EXPECT_EQ(W(e.GetMessage()), L"An unknown error (   5) has occurred.");
  EXPECT_EQ(W(e.GetCodeText()), L"5001:0005");
  EXPECT_EQ(e.GetMessageId(), 20481u);
}

TEST(Exception, CodeTextCarriesTheSourceLineWhenThereIsOne) {
  CLXXFile e(kLXSeverityMessage, 0x12345, 0x1abcd);
  EXPECT_EQ(W(e.GetCodeText()), L"5003:2345:abcd");
  EXPECT_EQ(W(e.GetTitle()), L"File Error");
  EXPECT_EQ(W(e.GetMessage()), L"A file system error (74565) has occurred.");
}

TEST(Exception, ClassWithoutItsOwnStringShowsTheUnknownErrorText) {
  CLXXMain e(kLXSeverityFatal, 0, 0);
  EXPECT_EQ(e.GetMessageId(), 20780u);
  EXPECT_EQ(W(e.GetTitle()), L"Fatal Error");
  EXPECT_EQ(W(e.GetMessage()), L"An unknown error (   0) has occurred.");
  EXPECT_EQ(W(e.GetCodeText()), L"512c:0000");
}

TEST(Exception, FormatArgumentsFillTheTextBeforeItIsSplit) {
  CLXXFileLotsOfFiles e(kLXSeverityUser, 0, 0, 25L);
  EXPECT_EQ(W(e.GetTitle()), L"Opening Many Files");
  EXPECT_EQ(W(e.GetMessage()), L"You are about to open 25 files.");
  EXPECT_EQ(W(e.GetExplanation()), L"Opening this many files could take a long time.");
  EXPECT_EQ(W(e.GetPart(CLXException::kButton1)), L"Continue");
  EXPECT_EQ(W(e.GetPart(CLXException::kButton2)), L"Cancel");
  EXPECT_TRUE(e.GetPart(CLXException::kButton3).IsEmpty());
}

TEST(Exception, FamiliesAreCaughtByTheirBase) {
  try {
    throw CLXXTestFamily(kLXSeverityMessage, 2, __LINE__);
  } catch (const CLXXFile& e) {
    EXPECT_EQ(e.GetErrorCode(), 2);
    EXPECT_EQ(W(e.GetTitle()), L"File Error");
  }
}

TEST(Exception, SplitKeepsEmptyFieldsAndDropsFieldsBeyondSix) {
  struct Case {
    const wchar_t* text;
    const wchar_t* parts[6];
  } cases[] = {
      {L"A||C", {L"A", L"", L"C", L"", L"", L""}},
      {L"|message", {L"", L"message", L"", L"", L"", L""}},
      {L"1|2|3|4|5|6|7", {L"1", L"2", L"3", L"4", L"5", L"6"}},
      {L"", {L"", L"", L"", L"", L"", L""}},
  };
  for (const Case& c : cases) {
    CString parts[6];
    CLXException::SplitMessage(c.text, parts);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(W(parts[i]), c.parts[i]) << "text " << CString(c.text).ToUtf8() << " part " << i;
  }
}

TEST(Exception, CaughtBadAllocBecomesOutOfMemoryOnlyWhenFatal) {
  std::bad_alloc caught;
  CLXException fatal(caught, kLXSeverityFatal);
  EXPECT_EQ(fatal.GetMessageId(), 20584u);
  EXPECT_EQ(W(fatal.GetTitle()), L"Out of Memory");
  CLXException message(caught, kLXSeverityMessage);
  EXPECT_EQ(message.GetMessageId(), 20583u);
  EXPECT_EQ(W(message.GetTitle()), L"Low Memory");
  EXPECT_EQ(message.GetSeverity(), kLXSeverityMessage);
}

TEST(Exception, ConvertingKeepsAFrameworkExceptionWholeAndWrapsOthersAsUnknown) {
  CLXXFileLotsOfFiles original(kLXSeverityUser, 7, 12, 30L);
  original.SetReported(true);
  const std::exception& asStd = original;
  CLXException copy(asStd, kLXSeverityFatal);
  EXPECT_EQ(copy.GetSeverity(), kLXSeverityUser);
  EXPECT_EQ(copy.GetMessageId(), 21094u);
  EXPECT_EQ(W(copy.GetMessage()), L"You are about to open 30 files.");
  EXPECT_TRUE(copy.IsReported());

  CLXException unknown(std::runtime_error("boom"), kLXSeverityInternal);
  EXPECT_EQ(unknown.GetMessageId(), 20481u);
  EXPECT_EQ(W(unknown.GetCodeText()), L"5001:0000");
}

TEST(Exception, ClassLibraryErrorTextReplacesMessageAndExplanation) {
  CLXXMFC plain(CString(), kLXSeverityInternal, 3, 0);
  EXPECT_EQ(W(plain.GetMessage()), L"An unknown error (   3) has occurred.");
  CLXXMFC withText(CString(L"The disk is full."), kLXSeverityInternal, 112, 0);
  EXPECT_EQ(W(withText.GetMessage()), L"A system error (112) has occurred.");
  EXPECT_EQ(W(withText.GetExplanation()), L"The disk is full.");
  EXPECT_EQ(W(withText.GetTitle()), L"Internal Error");
}

TEST(Exception, QuietAlertWritesOneLineAndReportsOnlyOnce) {
  CLXXFile e(kLXSeverityMessage, 2, 0);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(e.Report());
  EXPECT_TRUE(e.Report());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Quillonographic : [5003:0002] : A file system error (   2) has occurred. ()\n");
  EXPECT_TRUE(e.IsReported());
}

TEST(Exception, ReportDecidesBySeverityAndAnswer) {
  ScopedPresenter presenter(CountingPresenter);
  struct Case {
    UINT severity;
    UINT answer;
    bool goOn;
    UINT kind;
  } cases[] = {
      {kLXSeverityInternal, 1, false, CLXAlert::kError}, {kLXSeverityMessage, 1, true, CLXAlert::kInformation},
      {kLXSeverityUser, 1, true, CLXAlert::kQuestion},   {kLXSeverityUser, 2, false, CLXAlert::kQuestion},
      {kLXSeverityFatal, 1, false, CLXAlert::kError},
  };
  for (const Case& c : cases) {
    g_shown = 0;
    g_answer = c.answer;
    CLXXUnknown e(c.severity, 0, 0);
    EXPECT_EQ(e.Report(), c.goOn) << "severity " << c.severity << " answer " << c.answer;
    EXPECT_EQ(g_shown, 1);
    EXPECT_EQ(g_lastKind, c.kind);
    CLXXUnknown copy = e;
    EXPECT_TRUE(copy.Report());
    EXPECT_EQ(g_shown, 1) << "a copy of a shown exception is not shown again";
  }
}

TEST(Exception, DefaultConstructedObjectShowsNothing) {
  ScopedPresenter presenter(CountingPresenter);
  g_shown = 0;
  CLXException e;
  EXPECT_TRUE(e.Report());
  EXPECT_EQ(g_shown, 0);
}

namespace {
// A text builder that fails halfway, as a broken string or format would.
class CLXXFailingText : public CLXXFile {
 public:
  CLXXFailingText() : CLXXFile(kLXSeverityMessage, 0, 0) { InitMessage(); }

 protected:
  void FormatMessage(va_list* args) override {
    CLXXFile::FormatMessage(args);
    throw std::runtime_error("format failed");
  }
};

UINT ThrowingPresenter(const CLXAlert&) { throw std::runtime_error("no display"); }
}  // namespace

TEST(Exception, FailuresWhileBuildingOrShowingBeepInsteadOfThrowing) {
  const unsigned beeps = qlw::MessageBeepCount();
  CLXXFailingText failing;
  EXPECT_EQ(qlw::MessageBeepCount(), beeps + 1);
  EXPECT_EQ(W(failing.GetTitle()), L"File Error") << "parts set before the failure stay";

  ScopedPresenter presenter(ThrowingPresenter);
  CLXXFile e(kLXSeverityMessage, 0, 0);
  EXPECT_FALSE(e.Report());
  EXPECT_TRUE(e.IsReported());
  EXPECT_EQ(qlw::MessageBeepCount(), beeps + 2);
}
