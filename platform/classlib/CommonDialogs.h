// The class library's file, colour and font dialogs over Qt's own dialogs (QFileDialog in its
// widget form, so the name check runs before the dialog closes; QColorDialog; QFontDialog).
#pragma once
#include <functional>
#include <string>

#include "Dialog.h"
#include "Gdi.h"

class QDialog;

#define OFN_READONLY 0x00000001u
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_ALLOWMULTISELECT 0x00000200u
#define OFN_EXTENSIONDIFFERENT 0x00000400u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_EXPLORER 0x00080000u
#define OFN_ENABLESIZING 0x00800000u

struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;  // pairs of description and pattern, each ended by a NUL, the list by two
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based
  LPWSTR lpstrFile;    // in: the initial name; out: the path, or folder NUL name NUL ... NUL NUL
  DWORD nMaxFile;
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
};
typedef OPENFILENAMEW OPENFILENAME;
typedef void* POSITION;

class CFileDialog : public CDialog {
 public:
  // The filter is "description|pattern|...|" (patterns separated by ";"), as the class library
  // takes it.
  CFileDialog(BOOL openFileDialog, LPCWSTR defaultExt = nullptr, LPCWSTR fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr, CWnd* parent = nullptr,
              DWORD size = 0, BOOL vistaStyle = TRUE);
  INT_PTR DoModal() override;
  // Asked before the dialog accepts a name (the names are in m_ofn.lpstrFile); 0 accepts, any
  // other answer keeps the dialog open. A name written back into the buffer is the one taken.
  virtual BOOL OnFileNameOK() { return 0; }
  CString GetPathName() const;
  CString GetFileName() const;
  CString GetFileExt() const;
  CString GetFileTitle() const;
  CString GetFolderPath() const;
  POSITION GetStartPosition() const;
  CString GetNextPathName(POSITION& position) const;

  OPENFILENAMEW m_ofn{};
  BOOL m_bOpenFileDialog;

 private:
  friend class QlwFileDialog;
  std::wstring m_filter;      // NUL-separated
  std::wstring m_defaultExt;
  std::wstring m_fileBuffer;  // m_ofn.lpstrFile points here
  std::wstring m_title;
  std::wstring m_initialDir;
  void SetChosen(const std::vector<std::wstring>& paths);
};

#define CC_RGBINIT 0x00000001u
#define CC_FULLOPEN 0x00000002u
#define CC_ANYCOLOR 0x00000100u
struct CHOOSECOLORW {
  DWORD lStructSize;
  HWND hwndOwner;
  HWND hInstance;
  COLORREF rgbResult;
  COLORREF* lpCustColors;
  DWORD Flags;
};

class CColorDialog : public CDialog {
 public:
  explicit CColorDialog(COLORREF initial = 0, DWORD flags = 0, CWnd* parent = nullptr);
  INT_PTR DoModal() override;
  COLORREF GetColor() const { return m_cc.rgbResult; }
  void SetCurrentColor(COLORREF colour) { m_cc.rgbResult = colour; }
  CHOOSECOLORW m_cc{};
};

#define CF_SCREENFONTS 0x00000001u
#define CF_INITTOLOGFONTSTRUCT 0x00000040u
#define CF_EFFECTS 0x00000100u
struct CHOOSEFONTW {
  DWORD lStructSize;
  HWND hwndOwner;
  HDC hDC;
  LOGFONTW* lpLogFont;
  INT iPointSize;  // tenths of a point
  DWORD Flags;
  COLORREF rgbColors;
};

class CFontDialog : public CDialog {
 public:
  explicit CFontDialog(const LOGFONTW* initial = nullptr, DWORD flags = CF_EFFECTS | CF_SCREENFONTS, CDC* printer = nullptr,
                       CWnd* parent = nullptr);
  INT_PTR DoModal() override;
  void GetCurrentFont(LOGFONTW* font) const { *font = m_lf; }
  CString GetFaceName() const { return CString(m_lf.lfFaceName); }
  int GetSize() const { return m_cf.iPointSize; }
  BOOL IsBold() const { return m_lf.lfWeight >= FW_BOLD; }
  BOOL IsItalic() const { return m_lf.lfItalic; }
  BOOL IsUnderline() const { return m_lf.lfUnderline; }
  BOOL IsStrikeOut() const { return m_lf.lfStrikeOut; }
  COLORREF GetColor() const { return m_cf.rgbColors; }
  CHOOSEFONTW m_cf{};
  LOGFONTW m_lf{};
};

namespace qlw {
// Test seam: called with Qt's dialog once it is set up, in place of the user; it may fill and
// accept it. A dialog it leaves open is cancelled.
using CommonDialogAnswer = std::function<void(QDialog* dialog)>;
void SetCommonDialogAnswer(CommonDialogAnswer answer);
// Runs Qt's dialog modally, or lets the test seam answer in place of the user, then activates the
// window that owns it (its Qt parent's top-level window); Qt's result code.
int RunCommonDialog(QDialog& dialog);
}  // namespace qlw
