// The recent-file list in the registry under the application's key.
#include "RecentFileList.h"

#include <QFileInfo>
#include <QString>

#include "AfxApp.h"
#include "RecentDocuments.h"
#include "Registry.h"

namespace {
// The application's key: "Software\<registry key>\<profile name>\<section>"; empty without a registry key.
CString SectionKey(const CString& section) {
  const CWinApp* app = AfxGetApp();
  if (!app || !app->m_pszRegistryKey || !*app->m_pszRegistryKey || !app->m_pszProfileName) return {};
  return CString(L"Software\\") + app->m_pszRegistryKey + L"\\" + app->m_pszProfileName + L"\\" + section;
}

CString Absolute(LPCWSTR path) {
  return CString(QFileInfo(QString::fromWCharArray(path)).absoluteFilePath().toStdWString().c_str());
}
}  // namespace

CRecentFileList::CRecentFileList(UINT start, LPCWSTR section, LPCWSTR entryFormat, int size)
    : m_arrNames(static_cast<size_t>(size > 0 ? size : 0)),
      m_strSectionName(section),
      m_strEntryFormat(entryFormat),
      m_nSize(size > 0 ? size : 0),
      m_nStart(start) {}

void CRecentFileList::Add(LPCWSTR path) {
  if (!path || !*path || m_nSize == 0) return;
  const CString file = Absolute(path);
  ReadList();
  std::vector<CString> names{file};
  for (const CString& name : m_arrNames)
    if (!name.IsEmpty() && name != file && static_cast<int>(names.size()) < m_nSize) names.push_back(name);
  names.resize(static_cast<size_t>(m_nSize));
  m_arrNames = names;
  WriteList();
  SHAddToRecentDocs(SHARD_PATHW, file.GetString());
}

void CRecentFileList::Remove(int index) {
  if (index < 0 || index >= m_nSize) return;
  m_arrNames.erase(m_arrNames.begin() + index);
  m_arrNames.emplace_back();
}

void CRecentFileList::ReadList() {
  const CString key = SectionKey(m_strSectionName);
  if (key.IsEmpty()) return;
  HKEY section = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &section) != ERROR_SUCCESS) {
    for (CString& name : m_arrNames) name.Empty();
    return;
  }
  for (int i = 0; i < m_nSize; ++i) {
    CString entry;
    entry.Format(m_strEntryFormat, static_cast<int>(m_nStart + i + 1));
    std::wstring text;
    DWORD type = 0;
    const bool read = qlw::RegQueryStringValue(section, entry, &text, &type) == ERROR_SUCCESS &&
                      (type == REG_SZ || type == REG_EXPAND_SZ);
    m_arrNames[static_cast<size_t>(i)] = read ? CString(text.c_str()) : CString();
  }
  RegCloseKey(section);
}

void CRecentFileList::WriteList() {
  const CString key = SectionKey(m_strSectionName);
  if (key.IsEmpty()) return;
  HKEY section = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &section,
                      nullptr) != ERROR_SUCCESS)
    return;
  for (int i = 0; i < m_nSize; ++i) {
    CString entry;
    entry.Format(m_strEntryFormat, static_cast<int>(m_nStart + i + 1));
    const CString& name = m_arrNames[static_cast<size_t>(i)];
    if (name.IsEmpty()) {
      RegDeleteValueW(section, entry);
    } else {
      qlw::RegSetStringValue(section, entry, std::wstring_view(name.GetString(), name.GetLength()));
    }
  }
  RegCloseKey(section);
}
