// The framework's open and save dialog on the class library's: remembers the last folder and, per
// list of types, the last type chosen; checks the typed name before the dialog closes; builds the
// save dialog of an export. Tests answer it through qlw::SetCommonDialogAnswer (CommonDialogs.h).
#pragma once

#include "CommonDialogs.h"
#include "LXFile.h"

#include <cstdint>
#include <string>
#include <vector>

LX_DECLARE_EXCEPTION(CLXXFileNotFound, CLXXFile, 21102);
LX_DECLARE_EXCEPTION(CLXXFileOpenMultiBadName, CLXXFile, 21108);
LX_DECLARE_EXCEPTION(CLXXFileSaveAsBadExt, CLXXFile, 21110);
LX_DECLARE_EXCEPTION(CLXXFileSaveAsNeedExt, CLXXFile, 21111);

class CLXFileDialog : public CFileDialog {
 public:
  // filter: description|pattern|…| pairs ending in "||".
  CLXFileDialog(BOOL open, LPCWSTR defaultExtension, LPCWSTR fileName, DWORD flags, LPCWSTR filter, CWnd* parent);

  INT_PTR DoModal() override;
  // 0 accepts the names in the file buffer, non-zero keeps the dialog open. A save name typed
  // without an extension first gets the chosen type's, as the platform's dialog adds it.
  BOOL OnFileNameOK() override;

  std::vector<CString> GetPathNames() const;
  int GetFilterIndex() const { return static_cast<int>(m_ofn.nFilterIndex); }
  void SetFilterIndex(int index) { m_ofn.nFilterIndex = static_cast<DWORD>(index); }
  void SetTitle(const CString& title);
  CString GetTitle() const { return m_ofn.lpstrTitle ? CString(m_ofn.lpstrTitle) : CString(); }
  const CString& GetFilter() const { return m_filterText; }
  int GetFilterCount() const;

  static uint32_t HashFilter(const CString& filter);
  static uint32_t GetLastFilterIndex(const CString& filter);
  static void SetLastFilterIndex(const CString& filter, uint32_t index);

  // The template's filter: its filter name, then "|", the text inside the name's last
  // parentheses, and "|"; false when empty.
  static bool GetFilterFromName(const CString& filterName, CString& filter);
  // The save dialog for exporting one file type: filter, type name and suffix come from the type
  // where the caller passes them empty; on OK path is the chosen file and fileType the type its
  // extension names when that differs. False when cancelled.
  static bool PromptExportFile(CWnd* parent, const CString& fileName, const CString& suffix, const CString& typeName,
                               bool addAllFiles, UINT* fileType, CString* path);
  // The name an export proposes: without extension, the suffix added, characters a file name
  // cannot hold replaced.
  static CString MakeExportFileName(const CString& name, const CString& suffix);
  // Makes this dialog the one that the application's OpenFilesDialog shows (LXAppTemplates.cpp).
  static void InstallForApplication();

 private:
  CString m_filterText;
  std::wstring m_titleText;
  std::wstring m_initialFolder;
};
