// Printing as the class library gives it to views, on Qt's print support: the print and
// page-setup dialogs, the information of one print job, and the printer the application keeps.
// The view side (OnPreparePrinting ... OnEndPrinting, OnFilePrint, OnFilePrintPreview) is CView's.
#pragma once
#include "AfxGdi.h"
#include "Dialog.h"

class QPrinter;

#define ID_FILE_PAGE_SETUP 57605
#define ID_FILE_PRINT 57607
#define ID_FILE_PRINT_PREVIEW 57609

#define PD_ALLPAGES 0x00000000u
#define PD_SELECTION 0x00000001u
#define PD_PAGENUMS 0x00000002u
#define PD_NOSELECTION 0x00000004u
#define PD_NOPAGENUMS 0x00000008u
#define PD_RETURNDEFAULT 0x00000400u
#define PD_USEDEVMODECOPIESANDCOLLATE 0x00040000u

// hDevMode carries the chosen printer's settings (see SelectPrinter); hDevNames is unused.
struct PRINTDLGW {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
};
typedef PRINTDLGW PRINTDLG;

#define PSD_INTHOUSANDTHSOFINCHES 0x00000004u
#define PSD_INHUNDREDTHSOFMILLIMETERS 0x00000008u
#define PSD_MARGINS 0x00000002u

struct PAGESETUPDLGW {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  DWORD Flags;
  POINT ptPaperSize;  // in the unit of the flags
  RECT rtMinMargin;
  RECT rtMargin;
};
typedef PAGESETUPDLGW PAGESETUPDLG;

// The print dialog on the application's printer.
class CPrintDialog : public CDialog {
 public:
  explicit CPrintDialog(BOOL printSetupOnly, DWORD flags = PD_ALLPAGES | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION,
                        CWnd* parent = nullptr);
  INT_PTR DoModal() override;
  int GetFromPage() const { return m_pd.nFromPage; }
  int GetToPage() const { return m_pd.nToPage; }
  int GetCopies() const { return m_pd.nCopies; }
  PRINTDLGW m_pd{};
};

// The page-setup dialog on a copy of the application's printer: on OK the copy is what
// m_psd.hDevMode carries to SelectPrinter, and GetMargins tells the chosen margins.
class CPageSetupDialog : public CDialog {
 public:
  explicit CPageSetupDialog(DWORD flags = PSD_MARGINS | PSD_INHUNDREDTHSOFMILLIMETERS, CWnd* parent = nullptr);
  ~CPageSetupDialog() override;
  INT_PTR DoModal() override;
  // In the unit of the flags; either may be null.
  void GetMargins(LPRECT margins, LPRECT minMargins) const;
  CSize GetPaperSize() const { return CSize(m_psd.ptPaperSize.x, m_psd.ptPaperSize.y); }
  PAGESETUPDLGW m_psd{};

 private:
  QPrinter* m_printer = nullptr;
};

// One print job or preview: its dialog, page range and the page's draw rectangle (device units).
class CPrintInfo {
 public:
  CPrintInfo();
  ~CPrintInfo();
  CPrintInfo(const CPrintInfo&) = delete;
  CPrintInfo& operator=(const CPrintInfo&) = delete;

  void SetMinPage(UINT page) { m_pPD->m_pd.nMinPage = static_cast<WORD>(page); }
  void SetMaxPage(UINT page) { m_pPD->m_pd.nMaxPage = static_cast<WORD>(page); }
  UINT GetMinPage() const { return m_pPD->m_pd.nMinPage; }
  UINT GetMaxPage() const { return m_pPD->m_pd.nMaxPage; }
  UINT GetFromPage() const { return m_pPD->m_pd.nFromPage; }
  UINT GetToPage() const { return m_pPD->m_pd.nToPage; }

  CPrintDialog* m_pPD;
  BOOL m_bDirect = FALSE;  // print without asking (the shell's print verbs)
  BOOL m_bPreview = FALSE;
  BOOL m_bContinuePrinting = TRUE;
  UINT m_nCurPage = 1;
  UINT m_nNumPreviewPages = 1;
  void* m_lpUserData = nullptr;
  CRect m_rectDraw;
};

namespace qlw {
// The printer every print job and dialog of the application uses, made on first use at 600 DPI.
QPrinter& ApplicationPrinter();
// The application's printer defaults: copies and page range; FALSE when it has no usable printer.
BOOL GetPrinterDeviceDefaults(PRINTDLGW* defaults);
// Makes the printer that a page-setup dialog's hDevMode carries the application's printer.
void SelectPrinter(HGLOBAL devNames, HGLOBAL devMode);
}  // namespace qlw
