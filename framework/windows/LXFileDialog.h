// The framework's open and save dialog: remembers the last folder and, per list of types, the
// last type chosen; checks the typed name before the dialog closes. The Qt dialog it runs is in
// LXFileDialogQt.cpp; tests answer it through testing/FileDialogAnswer.h.
#pragma once

#include "LXFile.h"
#include "Win.h"

#include <cstdint>
#include <functional>
#include <vector>

LX_DECLARE_EXCEPTION(CLXXFileNotFound, CLXXFile, 21102);
LX_DECLARE_EXCEPTION(CLXXFileOpenMultiBadName, CLXXFile, 21108);
LX_DECLARE_EXCEPTION(CLXXFileSaveAsBadExt, CLXXFile, 21110);
LX_DECLARE_EXCEPTION(CLXXFileSaveAsNeedExt, CLXXFile, 21111);

#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif
#ifndef OFN_ALLOWMULTISELECT
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_ALLOWMULTISELECT 0x00000200u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_EXPLORER 0x00080000u
#endif

class CWnd;

class CLXFileDialog {
 public:
  // filter: description|pattern|…| pairs ending in "||".
  CLXFileDialog(BOOL open, LPCWSTR defaultExtension, LPCWSTR fileName, DWORD flags, LPCWSTR filter, HWND parent);
  virtual ~CLXFileDialog() = default;

  INT_PTR DoModal();

  // The name check before the dialog closes: 0 accepts, non-zero keeps the dialog open.
  virtual BOOL OnFileNameOK();

  // What the user did in the dialog: typed or picked names (several for a multiple selection)
  // with a filter chosen. Adds the default extension where the platform's dialog would, runs the
  // name check, and answers whether the dialog may close.
  bool Submit(const std::vector<CString>& names);

  CString GetPathName() const { return m_names.empty() ? CString() : m_names.front(); }
  const std::vector<CString>& GetPathNames() const { return m_names; }
  int GetFilterIndex() const { return m_filterIndex; }
  void SetFilterIndex(int index) { m_filterIndex = index; }
  void SetTitle(const CString& title) { m_title = title; }
  const CString& GetTitle() const { return m_title; }
  void SetCustomData(LPARAM data) { m_customData = data; }
  LPARAM GetCustomData() const { return m_customData; }
  bool IsOpenDialog() const { return m_open; }
  DWORD GetFlags() const { return m_flags; }
  HWND GetOwner() const { return m_owner; }
  const CString& GetInitialFolder() const { return m_initialFolder; }
  const CString& GetFileName() const { return m_fileName; }
  const CString& GetDefaultExtension() const { return m_defaultExtension; }
  // The description and pattern fields of the filter list, in order, without the empty end.
  const std::vector<CString>& GetFilterFields() const { return m_filterFields; }
  int GetFilterCount() const { return static_cast<int>(m_filterFields.size() / 2); }
  const CString& GetFilter() const { return m_filter; }

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

  // Runs the dialog in place of the user: answers IDOK or IDCANCEL. Null restores the real one.
  using Runner = std::function<INT_PTR(CLXFileDialog& dialog)>;
  static Runner SetRunner(Runner runner);

 private:
  INT_PTR RunQtDialog();
  void SetNames(const std::vector<CString>& names) { m_names = names; }

  bool m_open;
  CString m_defaultExtension;
  CString m_fileName;
  DWORD m_flags;
  CString m_filter;
  std::vector<CString> m_filterFields;
  HWND m_owner;
  CString m_title;
  CString m_initialFolder;
  int m_filterIndex = 0;
  LPARAM m_customData = 0;
  std::vector<CString> m_names;
};
