#include "LXAboutDlg.h"

#include "GdiPlus.h"
#include "LXApp.h"
#include "LXException.h"
#include "LXImages.h"
#include "LXUtils.h"

BEGIN_MESSAGE_MAP(CLXAboutDlg, CLXDialog)
  ON_BN_CLICKED(CLXAboutDlg::kWebsite, &CLXAboutDlg::OnWebsite)
  ON_COMMAND(IDOK, &CLXAboutDlg::OnOK)
END_MESSAGE_MAP()

// Nothing is edited here: OK is always there to close the box.
CLXAboutDlg::CLXAboutDlg(CWnd* parent) : CLXDialog(kTemplateId, parent) { m_manageOKButton = false; }

CLXAboutDlg::~CLXAboutDlg() = default;

void CLXAboutDlg::DoDataExchange(CDataExchange* dx) {
  CLXDialog::DoDataExchange(dx);
  DDX_Control(dx, kName, m_name);
  DDX_Control(dx, kVersion, m_version);
  DDX_Control(dx, kNotices, m_notices);
  DDX_Control(dx, kWebsite, m_website);
  DDX_Control(dx, kPicture, m_picture);
}

CString CLXAboutDlg::FormatVersionLine(const CString& versionText, int build) {
  CString format;
  if (!format.LoadString(kVersionFormat)) format = L"version %s (%d)";
  CString line;
  line.Format(format, versionText.GetString(), build);
  return line;
}

BOOL CLXAboutDlg::OnInitDialog() {
  CLXDialog::OnInitDialog();
  CLXApp* app = CLXApp::GetApp();
  if (CWnd* main = AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr) CenterWindow(main);
  m_name.SetWindowText(app ? app->m_productName : CString(AfxGetApp()->m_pszAppName));
  m_version.SetWindowText(FormatVersionLine(app ? app->m_productVersion : CString(), CLXApp::GetProgramBuildNumber()));
  CString first, second;
  first.LoadString(kNotice1);
  second.LoadString(kNotice2);
  m_notices.SetWindowText(first + L"\n\n" + second);
  m_pBitmap.reset(LoadBitmapResource(kPictureId));
  ShowAboutBoxOnWhite(m_hWnd, m_picture.m_hWnd, m_pBitmap.get(), m_name.m_hWnd, m_version.m_hWnd, m_notices.m_hWnd);
  return TRUE;
}

// A browser that is missing or fails is not reported: the box stays as it is. Without an
// address the button says so rather than doing nothing.
void CLXAboutDlg::OnWebsite() {
  CString address;
  if (!address.LoadString(kWebAddress) || address.IsEmpty()) {
    CLXXNoWebAddress(kLXSeverityMessage, 0, __LINE__).Report();
    return;
  }
  CUtils::OpenWithShell(address, false);
}
