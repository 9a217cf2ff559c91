// The registry: one SQLite database per hive under QLW_REGISTRY_DIR (else
// $XDG_CONFIG_HOME/quillonographic/registry); transactions and the handle table are in KernelObjects.h.
//
// Keys are case-insensitive but keep the case they were created with. Values are raw bytes. A
// string value (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is UTF-16LE text with its terminator, and its
// byte count counts those UTF-16 bytes, as where wchar_t is two bytes: RegSetValueExW stores the
// byteCount bytes at data as they stand, whatever the type, and the queries hand back the stored
// bytes and their count. wchar_t is four bytes here, so wide text is never passed as a value's
// bytes: RegSetStringValue and RegQueryStringValue convert. RegQueryInfoKeyW's largest value size
// is the largest stored byte count.
#pragma once
#include "KernelObjects.h"
#include "WinError.h"
#include "WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

struct QlwRegKey__;
typedef QlwRegKey__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef FILETIME* PFILETIME;
typedef FILETIME* LPFILETIME;

// HKEY_CLASSES_ROOT is the machine hive's SOFTWARE\Classes.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003u)

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_WOW64_RES 0x0300u
#ifndef DELETE
#define DELETE 0x00010000u
#endif
#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000u
#endif
#define KEY_READ 0x00020019u
#define KEY_WRITE 0x00020006u
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0x000F003Fu

#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                        void* security, PHKEY result, LPDWORD disposition);
// Never creates: a missing key answers ERROR_FILE_NOT_FOUND.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegCloseKey(HKEY key);

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD byteCount);
// Null data with a byte count asks for the size; a buffer too small answers ERROR_MORE_DATA and the
// size needed.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD byteCount);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);

// Fails with ERROR_ACCESS_DENIED while the key has subkeys.
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LSTATUS RegDeleteKeyExW(HKEY key, LPCWSTR subKey, REGSAM access, DWORD reserved);
// With a sub-key: deletes it and everything below. Without: empties the key itself.
LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey);
// Deletes the sub-key and everything below it.
LSTATUS SHDeleteKeyW(HKEY key, LPCWSTR subKey);

// Sub-keys and values enumerate in case-insensitive name order; past the end: ERROR_NO_MORE_ITEMS.
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPWSTR keyClass,
                      LPDWORD classChars, PFILETIME lastWrite);
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD byteCount);
LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classChars, LPDWORD reserved, LPDWORD subKeys,
                         LPDWORD maxSubKeyChars, LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars,
                         LPDWORD maxValueBytes, LPDWORD securityDescriptorBytes, PFILETIME lastWrite);

// Transactions: every key opened or created through a transaction reads and writes inside it;
// nothing is visible to others before CommitTransaction, and a rollback (or closing the
// transaction handle uncommitted) leaves nothing behind. CloseHandle closes the transaction.
HANDLE CreateTransaction(void* attributes, void* unitOfWork, DWORD createOptions, DWORD isolationLevel,
                         DWORD isolationFlags, DWORD timeout, LPWSTR description);
BOOL CommitTransaction(HANDLE transaction);
BOOL RollbackTransaction(HANDLE transaction);
LSTATUS RegCreateKeyTransactedW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                REGSAM access, void* security, PHKEY result, LPDWORD disposition, HANDLE transaction,
                                void* extended);
LSTATUS RegOpenKeyTransactedW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result,
                              HANDLE transaction, void* extended);
LSTATUS RegDeleteKeyTransactedW(HKEY key, LPCWSTR subKey, REGSAM access, DWORD reserved, HANDLE transaction,
                                void* extended);

#define RegCreateKeyEx RegCreateKeyExW
#define RegOpenKeyEx RegOpenKeyExW
#define RegSetValueEx RegSetValueExW
#define RegQueryValueEx RegQueryValueExW
#define RegDeleteValue RegDeleteValueW
#define RegDeleteKey RegDeleteKeyW
#define RegDeleteKeyEx RegDeleteKeyExW
#define RegDeleteTree RegDeleteTreeW
#define SHDeleteKey SHDeleteKeyW
#define RegEnumKeyEx RegEnumKeyExW
#define RegEnumValue RegEnumValueW
#define RegQueryInfoKey RegQueryInfoKeyW
#define RegCreateKeyTransacted RegCreateKeyTransactedW
#define RegOpenKeyTransacted RegOpenKeyTransactedW
#define RegDeleteKeyTransacted RegDeleteKeyTransactedW

namespace qlw {
// A value exactly as stored (strings as UTF-16LE bytes), from a key opened for querying.
LSTATUS RegQueryStoredValue(HKEY key, LPCWSTR valueName, DWORD* type, std::vector<BYTE>* bytes);

// Wide text stored as a string value: its UTF-16LE bytes and a terminator.
LSTATUS RegSetStringValue(HKEY key, LPCWSTR valueName, std::wstring_view text, DWORD type = REG_SZ);
// A string value as wide text up to its first NUL, and its type; a value of another type answers
// ERROR_INVALID_DATA with its type.
LSTATUS RegQueryStringValue(HKEY key, LPCWSTR valueName, std::wstring* text, DWORD* type = nullptr);

// Registry calls of this thread inside the scope share one transaction per hive, each call a
// savepoint of it that its failure rolls back alone: a burst of hundreds of writes commits once.
// Other threads' calls on a hive wait until the scope ends. Scopes nest.
class RegistryBatch {
 public:
  RegistryBatch();
  ~RegistryBatch();
  RegistryBatch(const RegistryBatch&) = delete;
  RegistryBatch& operator=(const RegistryBatch&) = delete;
};
}  // namespace qlw
