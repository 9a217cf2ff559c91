// Registry roots of the preferences and of shell registration, and the key operations they use.
#include "LXRegistry.h"

#include <vector>

namespace {
CString g_userSid;
bool g_perUser = false;

constexpr wchar_t kPreferenceRoot[] = L"Software\\Lumaxisworks Software\\Qlw";

// Sub-key names of a key (it may change while they are deleted, so they are read first).
std::vector<CString> SubKeyNames(HKEY key) {
  std::vector<CString> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[262];
    DWORD chars = 262;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  return names;
}
}  // namespace

namespace LXRegistry {
void SetUserSid(const CString& sid) { g_userSid = sid; }
const CString& GetUserSid() { return g_userSid; }
void SetPerUser(bool perUser) { g_perUser = perUser; }
bool IsPerUser() { return g_perUser; }

CString PreferenceRootPath(LPCWSTR subKey, bool machine, HKEY* rootOut) {
  HKEY root = HKEY_CURRENT_USER;
  CString path = kPreferenceRoot;
  if (machine) {
    root = HKEY_LOCAL_MACHINE;
  } else if (!g_userSid.IsEmpty()) {
    root = HKEY_USERS;
    path = g_userSid + L"\\" + path;
  }
  if (subKey && *subKey) path += CString(L"\\") + subKey;
  if (rootOut) *rootOut = root;
  return path;
}

HKEY OpenPreferenceRoot(LPCWSTR subKey, bool write, bool machine) {
  HKEY root = nullptr;
  const CString path = PreferenceRootPath(subKey, machine, &root);
  HKEY key = nullptr;
  const LSTATUS status =
      write ? RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
            : RegOpenKeyExW(root, path, 0, KEY_READ, &key);
  return status == ERROR_SUCCESS ? key : nullptr;
}

HKEY OpenClassesRoot() {
  if (!g_perUser) return HKEY_CLASSES_ROOT;
  HKEY key = nullptr;
  LSTATUS status;
  if (!g_userSid.IsEmpty())
    status = RegCreateKeyExW(HKEY_USERS, g_userSid + L"_Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                             nullptr);
  else
    status = RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                             &key, nullptr);
  return status == ERROR_SUCCESS ? key : nullptr;
}

LSTATUS CKey::Open(HKEY root, LPCWSTR subKey, REGSAM access) {
  Close();
  m_wow64 = access & KEY_WOW64_RES;
  return m_transaction ? RegOpenKeyTransactedW(root, subKey, 0, access, &m_key, m_transaction, nullptr)
                       : RegOpenKeyExW(root, subKey, 0, access, &m_key);
}

LSTATUS CKey::Create(HKEY root, LPCWSTR subKey, REGSAM access) {
  Close();
  m_wow64 = access & KEY_WOW64_RES;
  return m_transaction ? RegCreateKeyTransactedW(root, subKey, 0, nullptr, 0, access, nullptr, &m_key, nullptr,
                                                 m_transaction, nullptr)
                       : RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, &m_key, nullptr);
}

void CKey::Close() {
  if (m_key) RegCloseKey(m_key);
  m_key = nullptr;
}

LSTATUS DeleteKey(HKEY root, LPCWSTR subKey, REGSAM wow64, HANDLE transaction) {
  return transaction ? RegDeleteKeyTransactedW(root, subKey, wow64, 0, transaction, nullptr)
                     : RegDeleteKeyExW(root, subKey, wow64, 0);
}

LSTATUS SetStringValue(HKEY root, LPCWSTR subKey, LPCWSTR data, LPCWSTR valueName, HANDLE transaction) {
  CKey key(transaction);
  LSTATUS status = key.Create(root, subKey);
  if (status != ERROR_SUCCESS) return status;
  const CString text(data);
  return qlw::RegSetStringValue(key, valueName, std::wstring_view(text.GetString(), text.GetLength()));
}

bool KeyHoldsValues(HKEY root, LPCWSTR subKey, HANDLE transaction) {
  CKey key(transaction);
  if (key.Open(root, subKey, KEY_READ) != ERROR_SUCCESS) return false;
  wchar_t name[1025];
  DWORD chars = 1025;
  return RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LSTATUS DeleteKeyIfEmpty(HKEY root, LPCWSTR subKey, HANDLE transaction) {
  {
    CKey key(transaction);
    LSTATUS status = key.Open(root, subKey, KEY_READ);
    if (status != ERROR_SUCCESS) return status;
    if (!SubKeyNames(key).empty()) return ERROR_SUCCESS;
  }
  if (KeyHoldsValues(root, subKey, transaction)) return ERROR_SUCCESS;
  return DeleteKey(root, subKey, 0, transaction);
}

LSTATUS DeleteValueAndKey(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HANDLE transaction) {
  {
    CKey key(transaction);
    LSTATUS status = key.Open(root, subKey, KEY_READ | KEY_WRITE);
    if (status != ERROR_SUCCESS) return status;
    status = RegDeleteValueW(key, valueName);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  }
  return DeleteKeyIfEmpty(root, subKey, transaction);
}

LSTATUS DeleteTree(HKEY root, LPCWSTR subKey, HANDLE transaction) {
  std::vector<CString> children;
  {
    CKey key(transaction);
    LSTATUS status = key.Open(root, subKey, KEY_READ);
    if (status != ERROR_SUCCESS) return status;
    children = SubKeyNames(key);
  }
  for (const CString& child : children) {
    const LSTATUS status = DeleteTree(root, CString(subKey) + L"\\" + child, transaction);
    if (status != ERROR_SUCCESS) return status;
  }
  return DeleteKey(root, subKey, 0, transaction);
}
}  // namespace LXRegistry
