// Preference values: registration in the store's list, registry access and checksums.
#include "PrefValue.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "StaticInit.h"

namespace {

std::atomic<CPrefValue::KeyOpener> g_keyOpener{nullptr};

struct CrcTable {
  uint32_t entries[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      entries[i] = c;
    }
  }
};

const CrcTable& GetCrcTable() {
  static const CrcTable table;  // built once, on first use
  return table;
}

thread_local HKEY t_heldKey = nullptr;

// The store's key, closed on every path out unless a scope holds it.
struct KeyHolder {
  HKEY key;
  bool owned;
  KeyHolder() : key(t_heldKey), owned(t_heldKey == nullptr) {
    if (owned) key = CPrefValue::OpenStoreKey();
  }
  ~KeyHolder() {
    if (owned && key) RegCloseKey(key);
  }
};

}  // namespace

CPrefValue::CPrefValue(LPCWSTR name, uint16_t groups, OwnerList* owner)
    : m_groups(groups), m_name(name), m_owner(owner) {
  if (m_owner) m_owner->push_back(this);
}

CPrefValue::~CPrefValue() {
  if (m_owner) m_owner->erase(std::remove(m_owner->begin(), m_owner->end(), this), m_owner->end());
}

void CPrefValue::SetKeyOpener(KeyOpener opener) { g_keyOpener.store(opener); }

CPrefValue::CStoreKeyScope::CStoreKeyScope() {
  if (t_heldKey) return;  // an outer scope holds it
  t_heldKey = OpenStoreKey();
  m_owner = t_heldKey != nullptr;
}

CPrefValue::CStoreKeyScope::~CStoreKeyScope() {
  if (!m_owner) return;
  RegCloseKey(t_heldKey);
  t_heldKey = nullptr;
}

HKEY CPrefValue::OpenStoreKey() {
  const KeyOpener opener = g_keyOpener.load();
  return opener ? opener() : nullptr;
}

uint8_t* CPrefValue::GetPrefBlock(LPCWSTR name, DWORD& size) {
  size = 0;
  KeyHolder key;
  if (!key.key) return nullptr;
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_BINARY ||
      bytes == 0)
    return nullptr;
  std::unique_ptr<uint8_t[]> block(new uint8_t[bytes]);
  DWORD bytes2 = bytes;
  if (RegQueryValueExW(key.key, name, nullptr, &type, block.get(), &bytes2) != ERROR_SUCCESS || type != REG_BINARY ||
      bytes2 == 0) {
    // Trace hook "*** Warning: GetPrefBlock(): invalid read for key '%s'": silent in this build.
    return nullptr;
  }
  size = bytes2;
  return block.release();
}

uint32_t CPrefValue::Crc(uint32_t crc, const uint8_t* data, size_t count) {
  const CrcTable& table = GetCrcTable();
  for (size_t i = 0; i < count; ++i) crc = table.entries[((crc >> 24) ^ data[i]) & 0xFF] ^ (crc << 8);
  return crc;
}

uint32_t CPrefValue::TextChecksum(uint32_t seed, const CString& text) {
  // The bytes the registry stores: UTF-16LE, characters beyond the basic plane as surrogate pairs.
  const std::vector<uint8_t> bytes = qlw::ToUtf16LE(std::wstring_view(text.GetString(), text.GetLength()));
  return Crc(seed, bytes.data(), bytes.size());
}

int CPrefValue::ReadFixed(size_t storedSize, void (*assign)(const uint8_t*, void*), void* target) {
  DWORD size = 0;
  std::unique_ptr<uint8_t[]> block(GetPrefBlock(m_name, size));
  if (!block) return kReadAbsent;
  if (size != storedSize) return kReadWrongSize;
  // The value's own lock as well, so that a reader on another thread never sees half a value.
  CMutexLock lock(*this);
  assign(block.get(), target);
  return kReadOK;
}

void CPrefValue::WriteBytes(const uint8_t* data, size_t count) {
  KeyHolder key;
  if (!key.key) return;
  RegSetValueExW(key.key, m_name, 0, REG_BINARY, data, static_cast<DWORD>(count));
}

int CPrefValue::ReadText(CString& text) {
  KeyHolder key;
  if (!key.key) return kReadAbsent;
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.key, m_name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || bytes <= 1)
    return kReadAbsent;
  std::vector<BYTE> buffer(bytes);
  DWORD bytes2 = bytes;
  if (RegQueryValueExW(key.key, m_name, nullptr, &type, buffer.data(), &bytes2) != ERROR_SUCCESS)
    return kReadUnreadable;
  // An odd byte count, a missing terminator or a NUL inside the value is invalid data.
  if (bytes % 2 != 0 || bytes2 != bytes) return kReadUnreadable;
  const std::wstring stored = qlw::FromUtf16LE(buffer.data(), buffer.size());
  if (stored.find(L'\0') != stored.size() - 1) return kReadUnreadable;
  text = CString(stored.c_str());
  return kReadOK;
}

void CPrefValue::WriteText(const CString& text) {
  KeyHolder key;
  if (!key.key) return;
  qlw::RegSetStringValue(key.key, m_name, std::wstring_view(text.GetString(), text.GetLength()));
}

CPrefValue::CRegistryLock::CRegistryLock() : m_mutex(g_prefsNamedMutex) {
  if (m_mutex) m_mutex->Lock(INFINITE);
}

CPrefValue::CRegistryLock::~CRegistryLock() {
  if (m_mutex) m_mutex->Unlock();
}
