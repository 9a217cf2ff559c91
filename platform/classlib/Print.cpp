#include "Print.h"

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <memory>

#include "CommonDialogs.h"
#include "Frame.h"
#include "GdiQt.h"
#include "WndQt.h"

namespace {
constexpr int kPrinterDpi = 600;

QWidget* OwnerWidget(HWND owner) { return owner ? qlw::WidgetOf(::GetAncestor(owner, GA_ROOT)) : nullptr; }

void CopyPrinterSettings(const QPrinter& from, QPrinter& to) {
  to.setPrinterName(from.printerName());
  to.setOutputFormat(from.outputFormat());
  to.setOutputFileName(from.outputFileName());
  to.setPageLayout(from.pageLayout());
  to.setColorMode(from.colorMode());
  to.setDuplex(from.duplex());
  to.setCopyCount(from.copyCount());
  to.setFullPage(from.fullPage());
}

// Paper and margins in the unit that the page-setup flags name.
LONG ToSetupUnit(qreal millimetres, DWORD flags) {
  return static_cast<LONG>(flags & PSD_INTHOUSANDTHSOFINCHES ? millimetres / 25.4 * 1000.0 + 0.5 : millimetres * 100.0 + 0.5);
}

// The pages of one job drawn by the view on the printer.
void PrintPages(CView* view, CPrintInfo& info, QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer)) return;
  // Device units are the printer's pixels of the printable area, as on the platform.
  const RECT bounds{0, 0, printer.width(), printer.height()};
  HDC hdc = qlw::CreatePainterDC(&painter, bounds, printer.resolution());
  CDC dc;
  dc.Attach(hdc);
  dc.m_bPrinting = TRUE;
  info.m_bContinuePrinting = TRUE;
  view->OnBeginPrinting(&dc, &info);
  const UINT first = std::max<UINT>(1, info.GetFromPage() ? info.GetFromPage() : info.GetMinPage());
  const UINT last = std::max<UINT>(first, info.GetToPage() ? info.GetToPage() : info.GetMaxPage());
  for (UINT page = first; page <= last && info.m_bContinuePrinting; ++page) {
    info.m_nCurPage = page;
    view->OnPrepareDC(&dc, &info);
    if (!info.m_bContinuePrinting) break;
    if (page != first) printer.newPage();
    info.m_rectDraw.SetRect(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
    view->OnPrint(&dc, &info);
  }
  view->OnEndPrinting(&dc, &info);
  dc.Detach();
  qlw::DeletePainterDC(hdc);
  painter.end();
}
}  // namespace

namespace qlw {
QPrinter& ApplicationPrinter() {
  static QPrinter* printer = [] {
    auto* p = new QPrinter(QPrinter::HighResolution);
    p->setResolution(kPrinterDpi);
    // No print system: the job becomes a PDF file, which the print dialog lets the user name.
    if (p->outputFormat() != QPrinter::NativeFormat && p->outputFileName().isEmpty())
      p->setOutputFileName(QStringLiteral("print.pdf"));
    return p;
  }();
  return *printer;
}

BOOL GetPrinterDeviceDefaults(PRINTDLGW* defaults) {
  if (!defaults) return FALSE;
  QPrinter& printer = ApplicationPrinter();
  defaults->lStructSize = sizeof(PRINTDLGW);
  defaults->hDevMode = &printer;
  defaults->hDevNames = nullptr;
  defaults->nCopies = static_cast<WORD>(std::max(1, printer.copyCount()));
  defaults->nFromPage = defaults->nToPage = 0;
  return printer.isValid() ? TRUE : FALSE;
}

void SelectPrinter(HGLOBAL, HGLOBAL devMode) {
  QPrinter& target = ApplicationPrinter();
  if (!devMode || devMode == &target) return;
  CopyPrinterSettings(*static_cast<const QPrinter*>(devMode), target);
  target.setResolution(kPrinterDpi);
}
}  // namespace qlw

// ---- Dialogs ------------------------------------------------------------------------------
CPrintDialog::CPrintDialog(BOOL, DWORD flags, CWnd* parent) : CDialog(0, parent) {
  m_pd.lStructSize = sizeof(PRINTDLGW);
  m_pd.Flags = flags;
  m_pd.nMinPage = m_pd.nMaxPage = 1;
  m_pd.nCopies = 1;
  m_pd.hwndOwner = parent ? parent->m_hWnd : nullptr;
}

INT_PTR CPrintDialog::DoModal() {
  QPrinter& printer = qlw::ApplicationPrinter();
  QPrintDialog dialog(&printer, OwnerWidget(m_pd.hwndOwner ? m_pd.hwndOwner : (m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr)));
  dialog.setMinMax(m_pd.nMinPage, m_pd.nMaxPage);
  QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
  options.setFlag(QAbstractPrintDialog::PrintSelection, !(m_pd.Flags & PD_NOSELECTION));
  options.setFlag(QAbstractPrintDialog::PrintPageRange, !(m_pd.Flags & PD_NOPAGENUMS) && m_pd.nMaxPage > m_pd.nMinPage);
  dialog.setOptions(options);
  if (qlw::RunCommonDialog(dialog) != QDialog::Accepted) return IDCANCEL;
  printer.setResolution(kPrinterDpi);
  const bool range = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
  m_pd.nFromPage = static_cast<WORD>(range ? printer.fromPage() : m_pd.nMinPage);
  m_pd.nToPage = static_cast<WORD>(range ? printer.toPage() : m_pd.nMaxPage);
  m_pd.nCopies = static_cast<WORD>(std::max(1, printer.copyCount()));
  m_pd.hDevMode = &printer;
  return IDOK;
}

CPageSetupDialog::CPageSetupDialog(DWORD flags, CWnd* parent) : CDialog(0, parent) {
  m_psd.lStructSize = sizeof(PAGESETUPDLGW);
  m_psd.Flags = flags;
  m_psd.hwndOwner = parent ? parent->m_hWnd : nullptr;
}

CPageSetupDialog::~CPageSetupDialog() { delete m_printer; }

INT_PTR CPageSetupDialog::DoModal() {
  delete m_printer;
  m_printer = new QPrinter(QPrinter::HighResolution);
  CopyPrinterSettings(qlw::ApplicationPrinter(), *m_printer);
  QPageSetupDialog dialog(m_printer, OwnerWidget(m_psd.hwndOwner ? m_psd.hwndOwner : (m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr)));
  if (qlw::RunCommonDialog(dialog) != QDialog::Accepted) return IDCANCEL;
  const QPageLayout layout = m_printer->pageLayout();
  const QSizeF paper = layout.fullRect(QPageLayout::Millimeter).size();
  const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
  QPageLayout inMillimetres = layout;
  inMillimetres.setUnits(QPageLayout::Millimeter);
  const QMarginsF minimum = inMillimetres.minimumMargins();
  m_psd.ptPaperSize = {ToSetupUnit(paper.width(), m_psd.Flags), ToSetupUnit(paper.height(), m_psd.Flags)};
  m_psd.rtMargin = {ToSetupUnit(margins.left(), m_psd.Flags), ToSetupUnit(margins.top(), m_psd.Flags),
                    ToSetupUnit(margins.right(), m_psd.Flags), ToSetupUnit(margins.bottom(), m_psd.Flags)};
  m_psd.rtMinMargin = {ToSetupUnit(minimum.left(), m_psd.Flags), ToSetupUnit(minimum.top(), m_psd.Flags),
                       ToSetupUnit(minimum.right(), m_psd.Flags), ToSetupUnit(minimum.bottom(), m_psd.Flags)};
  m_psd.hDevMode = m_printer;
  return IDOK;
}

void CPageSetupDialog::GetMargins(LPRECT margins, LPRECT minMargins) const {
  if (margins) *margins = m_psd.rtMargin;
  if (minMargins) *minMargins = m_psd.rtMinMargin;
}

CPrintInfo::CPrintInfo() : m_pPD(new CPrintDialog(FALSE)) {}

CPrintInfo::~CPrintInfo() { delete m_pPD; }

// ---- The view's print job -----------------------------------------------------------------
BOOL CView::DoPreparePrinting(CPrintInfo* info) {
  if (!info) return FALSE;
  if (info->m_bPreview || info->m_bDirect) {
    info->m_pPD->m_pd.nFromPage = static_cast<WORD>(info->GetMinPage());
    info->m_pPD->m_pd.nToPage = static_cast<WORD>(info->GetMaxPage());
    return TRUE;
  }
  info->m_pPD->m_pd.hwndOwner = m_hWnd;
  return info->m_pPD->DoModal() == IDOK ? TRUE : FALSE;
}

void CView::OnFilePrint() {
  CPrintInfo info;
  if (!OnPreparePrinting(&info)) return;
  PrintPages(this, info, qlw::ApplicationPrinter());
}

void CView::OnFilePrintPreview() {
  CPrintInfo info;
  info.m_bPreview = TRUE;
  if (!OnPreparePrinting(&info)) return;
  QPrintPreviewDialog dialog(&qlw::ApplicationPrinter(), OwnerWidget(m_hWnd));
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [this, &info](QPrinter* printer) { PrintPages(this, info, *printer); });
  qlw::RunCommonDialog(dialog);
}
