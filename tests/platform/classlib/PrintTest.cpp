// A view's print job on Qt's print support: the print dialog asked once, the pages drawn on the
// printer's DC in printer pixels, a cancelled dialog printing nothing, and a direct job asking nobody.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>

#include <filesystem>
#include <fstream>
#include <vector>

#include "CommonDialogs.h"
#include "Frame.h"
#include "Print.h"
#include "TestSupport.h"
#include "WidgetApp.h"

namespace {
class PageView : public CView {
 public:
  struct Pass {
    UINT page;
    bool printing;
    CRect drawRect;
    int horzRes, dpi;
  };
  std::vector<Pass> passes;
  int prepared = 0;
  UINT pages = 1;
  BOOL direct = FALSE;

  BOOL OnPreparePrinting(CPrintInfo* info) override {
    info->SetMaxPage(pages);
    info->m_bDirect = direct;
    return DoPreparePrinting(info);
  }
  void OnPrepareDC(CDC*, CPrintInfo*) override { ++prepared; }
  void OnPrint(CDC* dc, CPrintInfo* info) override {
    passes.push_back({info->m_nCurPage, dc->IsPrinting() != FALSE, info->m_rectDraw, dc->GetDeviceCaps(HORZRES),
                      dc->GetDeviceCaps(LOGPIXELSX)});
    CView::OnPrint(dc, info);
  }
  void OnDraw(CDC* dc) override {
    CBrush black(RGB(0, 0, 0));
    RECT r{100, 100, 1100, 600};
    dc->FillRect(&r, &black);
  }
};

std::filesystem::path Pdf(const char* name) {
  const auto dir = std::filesystem::path(qlwtest::ScratchDir()) / "print";
  std::filesystem::create_directories(dir);
  std::filesystem::remove(dir / name);
  return dir / name;
}

// Answers the print dialog with a PDF file of A4 pages without margins.
struct PrintToPdf {
  explicit PrintToPdf(const std::filesystem::path& pdf, bool accept = true) {
    qlw::SetCommonDialogAnswer([this, pdf, accept](QDialog* d) {
      ++dialogs;
      auto* print = qobject_cast<QPrintDialog*>(d);
      if (!print || !accept) return;
      // Accepting applies the dialog's own choices to the printer; the test's come after.
      d->accept();
      print->printer()->setOutputFormat(QPrinter::PdfFormat);
      print->printer()->setOutputFileName(QString::fromStdString(pdf.string()));
      print->printer()->setPageSize(QPageSize(QPageSize::A4));
      print->printer()->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    });
  }
  ~PrintToPdf() { qlw::SetCommonDialogAnswer(nullptr); }
  int dialogs = 0;
};

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST(Print, ViewPrintsItsPagesOnThePrinterInPrinterPixels) {
  qlwtest::EnsureWidgetApp("test_classlib");
  PageView view;
  view.pages = 2;
  const auto pdf = Pdf("two-pages.pdf");
  PrintToPdf answer(pdf);
  view.OnFilePrint();
  EXPECT_EQ(answer.dialogs, 1);
  ASSERT_EQ(view.passes.size(), 2u);
  EXPECT_EQ(view.prepared, 2);
  EXPECT_EQ(view.passes[0].page, 1u);
  EXPECT_EQ(view.passes[1].page, 2u);
  EXPECT_TRUE(view.passes[0].printing);
  // A4 at 600 dpi, the whole sheet printable.
  EXPECT_EQ(view.passes[0].dpi, 600);
  EXPECT_NEAR(view.passes[0].drawRect.Width(), 210 / 25.4 * 600, 4);
  EXPECT_NEAR(view.passes[0].drawRect.Height(), 297 / 25.4 * 600, 4);
  EXPECT_EQ(view.passes[0].horzRes, view.passes[0].drawRect.Width());
  ASSERT_TRUE(std::filesystem::exists(pdf));
  const std::string bytes = Slurp(pdf);
  EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
  size_t pages = 0;
  for (size_t at = bytes.find("/Type /Page\n"); at != std::string::npos; at = bytes.find("/Type /Page\n", at + 1)) ++pages;
  EXPECT_EQ(pages, 2u);
  EXPECT_NE(bytes.find("/MediaBox [0 0 595"), std::string::npos);
}

TEST(Print, CancelledDialogPrintsNothingAndDirectJobAsksNobody) {
  qlwtest::EnsureWidgetApp("test_classlib");
  const auto pdf = Pdf("cancelled.pdf");
  {
    PageView view;
    PrintToPdf answer(pdf, false);
    view.OnFilePrint();
    EXPECT_EQ(answer.dialogs, 1);
    EXPECT_TRUE(view.passes.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(pdf));

  PageView view;
  view.direct = TRUE;
  qlw::ApplicationPrinter().setOutputFormat(QPrinter::PdfFormat);
  qlw::ApplicationPrinter().setOutputFileName(QString::fromStdString(pdf.string()));
  PrintToPdf answer(pdf);
  view.OnFilePrint();
  EXPECT_EQ(answer.dialogs, 0);
  EXPECT_EQ(view.passes.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(pdf));
}
