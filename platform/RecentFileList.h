// The class library's recent-file list: the last files opened or saved, newest first, kept under
// the application's registry key as the values "File1", "File2"… of "Recent File List". Each file
// added also goes to the desktop's recently-used list (RecentDocuments.h).
#pragma once
#include <vector>

#include "CString.h"

class CRecentFileList {
 public:
  // start: the number of the first value minus 1 (0 gives "File1"); format: the value names' format.
  CRecentFileList(UINT start, LPCWSTR section, LPCWSTR entryFormat, int size);
  virtual ~CRecentFileList() = default;

  int GetSize() const { return m_nSize; }
  // Entries that are empty hold no file.
  const CString& operator[](int index) const { return m_arrNames[static_cast<size_t>(index)]; }

  // Moves the file (made absolute) to the top, the others down; the last falls off a full list.
  // The stored list is read first and written at once, so that the program's several processes
  // lose none of each other's files.
  virtual void Add(LPCWSTR path);
  virtual void Remove(int index);
  virtual void ReadList();
  virtual void WriteList();

 protected:
  std::vector<CString> m_arrNames;
  CString m_strSectionName;
  CString m_strEntryFormat;
  int m_nSize;
  UINT m_nStart;
};
