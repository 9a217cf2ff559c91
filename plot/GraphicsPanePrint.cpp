// Printing the plot: one page, the canvas drawing on the printer's DC with the on-screen aspect
// ratio centred in the page; page setup changes the application's printer.
#include "GraphicsPane.h"

#include "AfxApp.h"
#include "QlwDoc.h"

BOOL CGraphicsPane::OnPreparePrinting(CPrintInfo* info) {
  if (!info) return FALSE;
  info->SetMinPage(1);
  info->SetMaxPage(1);
  if (info->m_bPreview) info->m_nCurPage = 1;
  return DoPreparePrinting(info);
}

void CGraphicsPane::OnPrepareDC(CDC* dc, CPrintInfo* info) {
  CFormView::OnPrepareDC(dc, info);
  if (!dc || !dc->IsPrinting()) return;
  // The printer's DC maps one unit to one printer pixel already; what is drawn stays on the page.
  dc->IntersectClipRect(0, 0, dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(VERTRES));
}

void CGraphicsPane::OnPrint(CDC* dc, CPrintInfo* info) {
  m_pPrintInfo = info;
  m_bPrinting = dc && dc->IsPrinting();
  m_bPreview = info && info->m_bPreview;
  CQlwDoc* doc = GetDocument();
  CQlwDocWindow* window = doc ? doc->GetDiffractWnd() : nullptr;
  if (window) window->UpdatePlotRect();
  CFormView::OnPrint(dc, info);
  m_bPrinting = m_bPreview = false;
  if (window) window->UpdatePlotRect();
  m_pPrintInfo = nullptr;
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CGraphicsPane::OnFilePageSetup() {
  CPageSetupDialog dialog(PSD_MARGINS | PSD_INHUNDREDTHSOFMILLIMETERS, this);
  if (dialog.DoModal() == IDOK) {
    qlw::SelectPrinter(dialog.m_psd.hDevNames, dialog.m_psd.hDevMode);
    dialog.GetMargins(&m_pageMargins, nullptr);
    qlw::GetPrinterDeviceDefaults(&m_printerDefaults);
  }
  RedrawMainFrame();
}

void CGraphicsPane::OnFilePrint() {
  CFormView::OnFilePrint();
  RedrawMainFrame();
}

void CGraphicsPane::OnFilePrintPreview() { CFormView::OnFilePrintPreview(); }

void CGraphicsPane::RedrawMainFrame() {
  CWinApp* app = AfxGetApp();
  CWnd* main = app && app->GetMainWnd() ? app->GetMainWnd() : GetParentFrame();
  if (main && main->m_hWnd) main->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}
