// CLXAboutDlg: the about box, on white, with the program's picture, name, version and build number,
// the legal notices and a button that opens the maker's web site in the user's browser.
#pragma once
#include <memory>

#include "ControlWnds.h"
#include "LXDialog.h"

namespace Gdiplus {
class Bitmap;
}

class CLXAboutDlg : public CLXDialog {
 public:
  static constexpr UINT kTemplateId = 1000;
  enum : UINT { kPicture = 1001, kName = 1002, kVersion = 1003, kNotices = 1004, kWebsite = 1012 };
  static constexpr UINT kPictureId = 2000;
  static constexpr UINT kVersionFormat = 1153, kNotice1 = 1077, kNotice2 = 1079, kWebAddress = 1139;

  explicit CLXAboutDlg(CWnd* parent);
  ~CLXAboutDlg() override;

  UINT GetTemplateID() override { return kTemplateId; }
  BOOL OnInitDialog() override;
  void OnOK() override { CDialog::OnOK(); }
  // The version line: "version %s (%d)" with the version text and the build number.
  static CString FormatVersionLine(const CString& versionText, int build);

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  void OnWebsite();
  DECLARE_MESSAGE_MAP()

  CStatic m_picture, m_name, m_version, m_notices;
  CButton m_website;
  std::unique_ptr<Gdiplus::Bitmap> m_pBitmap;
};

// The Qt side: white behind the dialog and every text, the picture shown in its control, sized to
// it, and the fonts: Arial bold 12 pt for the name, bold 10 pt for the version, 7 pt for the notices.
void ShowAboutBoxOnWhite(HWND dialog, HWND pictureControl, Gdiplus::Bitmap* picture, HWND name, HWND version,
                         HWND notices);
