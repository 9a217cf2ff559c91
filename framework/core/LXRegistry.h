// Registry helpers of the application base: the preference and classes roots (which hive, for
// which user) and the key operations of shell registration, each inside an optional transaction.
#pragma once
#include "Win.h"

namespace LXRegistry {
// The user named on the command line ("SID="); empty for the current user.
void SetUserSid(const CString& sid);
const CString& GetUserSid();
// Per-user registration ("HKCU" on the command line).
void SetPerUser(bool perUser);
bool IsPerUser();

// "Software\Lumaxisworks Software\Qlw[\subKey]" under HKEY_LOCAL_MACHINE (machine), else
// HKEY_USERS\<SID> when a user was named, else HKEY_CURRENT_USER. Writing creates missing keys;
// read-only opening never does. Null when it cannot be opened.
HKEY OpenPreferenceRoot(LPCWSTR subKey, bool write, bool machine = false);
// The path that OpenPreferenceRoot opens below its root, and that root.
CString PreferenceRootPath(LPCWSTR subKey, bool machine, HKEY* root = nullptr);

// Where file types are registered: HKEY_USERS\<SID>_Classes or HKEY_CURRENT_USER\SOFTWARE\Classes
// for per-user registration, else HKEY_CLASSES_ROOT. The caller closes a key it gets (closing a
// predefined root does nothing). Null when it cannot be opened.
HKEY OpenClassesRoot();

// A key with its transaction, closing what it held before when it opens another.
class CKey {
 public:
  explicit CKey(HANDLE transaction = nullptr) : m_transaction(transaction) {}
  CKey(const CKey&) = delete;
  CKey& operator=(const CKey&) = delete;
  ~CKey() { Close(); }
  LSTATUS Open(HKEY root, LPCWSTR subKey, REGSAM access);
  LSTATUS Create(HKEY root, LPCWSTR subKey, REGSAM access = KEY_READ | KEY_WRITE);
  void Close();
  HKEY Get() const { return m_key; }
  operator HKEY() const { return m_key; }

 private:
  HKEY m_key = nullptr;
  REGSAM m_wow64 = 0;
  HANDLE m_transaction;
};

LSTATUS DeleteKey(HKEY root, LPCWSTR subKey, REGSAM wow64, HANDLE transaction);
LSTATUS SetStringValue(HKEY root, LPCWSTR subKey, LPCWSTR data, LPCWSTR valueName, HANDLE transaction);
// Whether the key holds any value.
bool KeyHoldsValues(HKEY root, LPCWSTR subKey, HANDLE transaction);
// Deletes the value, then the key when it holds neither values nor sub-keys.
LSTATUS DeleteValueAndKey(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HANDLE transaction);
// Deletes the key when it holds neither values nor sub-keys.
LSTATUS DeleteKeyIfEmpty(HKEY root, LPCWSTR subKey, HANDLE transaction);
// Deletes the key with everything below it.
LSTATUS DeleteTree(HKEY root, LPCWSTR subKey, HANDLE transaction);
}  // namespace LXRegistry
