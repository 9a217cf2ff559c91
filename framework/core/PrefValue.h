// Preference values: one named, typed setting with its own lock and its exact stored form in
// the registry. The stores that own them (CLXPreferences, CPreferences) build on these classes.
#pragma once

#include <cstdint>
#include <concepts>
#include <cstring>
#include <deque>
#include <type_traits>
#include <vector>

#include "LXColor.h"
#include "LXGeometry.h"
#include "LXMutex.h"
#include "LXUtils.h"
#include "Win.h"

// Stored form of one fixed-size element: kSize bytes, little-endian, written by Put and read
// back by Get. A type that has no specialisation cannot be a preference value. Get may throw;
// an array read then answers "unreadable" and keeps the elements read so far.
template <typename T, typename Enable = void>
struct CPrefStoredForm;

namespace PrefBytes {
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void PutU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t GetU32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
inline uint64_t GetU64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
inline void PutF32(uint8_t* p, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(p, u);
}
inline void PutF64(uint8_t* p, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  PutU64(p, u);
}
inline float GetF32(const uint8_t* p) {
  const uint32_t u = GetU32(p);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}
inline double GetF64(const uint8_t* p) {
  const uint64_t u = GetU64(p);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}
}  // namespace PrefBytes

// For records that are stored as the bytes they occupy in memory (file-dialog and toolbar
// records): specialise CPrefStoredForm<Rec> by deriving from this.
template <typename T>
struct CPrefRawStoredForm {
  static_assert(std::is_trivially_copyable_v<T>);
  static constexpr size_t kSize = sizeof(T);
  static void Put(const T& v, uint8_t* p) { std::memcpy(p, &v, sizeof(T)); }
  static void Get(const uint8_t* p, T& v) { std::memcpy(&v, p, sizeof(T)); }
};

template <>
struct CPrefStoredForm<bool> {
  static constexpr size_t kSize = 1;
  static void Put(const bool& v, uint8_t* p) { p[0] = v ? 1 : 0; }
  static void Get(const uint8_t* p, bool& v) { v = p[0] != 0; }
};

// int, unsigned and every enum with a 32-bit stored value.
template <typename T>
struct CPrefStoredForm<T, std::enable_if_t<(std::is_integral_v<T> && sizeof(T) == 4) || std::is_enum_v<T>>> {
  static constexpr size_t kSize = 4;
  static void Put(const T& v, uint8_t* p) { PrefBytes::PutU32(p, static_cast<uint32_t>(v)); }
  static void Get(const uint8_t* p, T& v) { v = static_cast<T>(PrefBytes::GetU32(p)); }
};

template <>
struct CPrefStoredForm<float> {
  static constexpr size_t kSize = 4;
  static void Put(const float& v, uint8_t* p) { PrefBytes::PutF32(p, v); }
  static void Get(const uint8_t* p, float& v) { v = PrefBytes::GetF32(p); }
};

template <>
struct CPrefStoredForm<double> {
  static constexpr size_t kSize = 8;
  static void Put(const double& v, uint8_t* p) { PrefBytes::PutF64(p, v); }
  static void Get(const uint8_t* p, double& v) { v = PrefBytes::GetF64(p); }
};

template <>
struct CPrefStoredForm<LXGraphics::CColor> {
  static constexpr size_t kSize = 4;
  static void Put(const LXGraphics::CColor& v, uint8_t* p) { PrefBytes::PutU32(p, v.GetValue()); }
  static void Get(const uint8_t* p, LXGraphics::CColor& v) { v.SetValue(PrefBytes::GetU32(p)); }
};

template <>
struct CPrefStoredForm<LXTypes::CPointT<float>> {
  static constexpr size_t kSize = 8;
  static void Put(const LXTypes::CPointT<float>& v, uint8_t* p) {
    PrefBytes::PutF32(p, v.x);
    PrefBytes::PutF32(p + 4, v.y);
  }
  static void Get(const uint8_t* p, LXTypes::CPointT<float>& v) {
    v.x = PrefBytes::GetF32(p);
    v.y = PrefBytes::GetF32(p + 4);
  }
};

template <>
struct CPrefStoredForm<LXTypes::CVectorT<double>> {
  static constexpr size_t kSize = 24;
  static void Put(const LXTypes::CVectorT<double>& v, uint8_t* p) {
    PrefBytes::PutF64(p, v.x);
    PrefBytes::PutF64(p + 8, v.y);
    PrefBytes::PutF64(p + 16, v.z);
  }
  static void Get(const uint8_t* p, LXTypes::CVectorT<double>& v) {
    v.x = PrefBytes::GetF64(p);
    v.y = PrefBytes::GetF64(p + 8);
    v.z = PrefBytes::GetF64(p + 16);
  }
};

template <>
struct CPrefStoredForm<CRect> {
  static constexpr size_t kSize = 16;
  static void Put(const CRect& v, uint8_t* p) {
    PrefBytes::PutU32(p, uint32_t(v.left));
    PrefBytes::PutU32(p + 4, uint32_t(v.top));
    PrefBytes::PutU32(p + 8, uint32_t(v.right));
    PrefBytes::PutU32(p + 12, uint32_t(v.bottom));
  }
  static void Get(const uint8_t* p, CRect& v) {
    v.left = int32_t(PrefBytes::GetU32(p));
    v.top = int32_t(PrefBytes::GetU32(p + 4));
    v.right = int32_t(PrefBytes::GetU32(p + 8));
    v.bottom = int32_t(PrefBytes::GetU32(p + 12));
  }
};

// The platform's SYSTEMTIME: eight unsigned 16-bit fields in declaration order.
template <typename T>
concept PrefSystemTimeLike = requires(T t) {
  t.wYear; t.wMonth; t.wDayOfWeek; t.wDay; t.wHour; t.wMinute; t.wSecond; t.wMilliseconds;
};

template <PrefSystemTimeLike T>
struct CPrefStoredForm<T, void> {
  static constexpr size_t kSize = 16;
  static void Put(const T& v, uint8_t* p) {
    const uint16_t f[8] = {v.wYear, v.wMonth, v.wDayOfWeek, v.wDay, v.wHour, v.wMinute, v.wSecond, v.wMilliseconds};
    for (int i = 0; i < 8; ++i) PrefBytes::PutU16(p + 2 * i, f[i]);
  }
  static void Get(const uint8_t* p, T& v) {
    v.wYear = PrefBytes::GetU16(p);
    v.wMonth = PrefBytes::GetU16(p + 2);
    v.wDayOfWeek = PrefBytes::GetU16(p + 4);
    v.wDay = PrefBytes::GetU16(p + 6);
    v.wHour = PrefBytes::GetU16(p + 8);
    v.wMinute = PrefBytes::GetU16(p + 10);
    v.wSecond = PrefBytes::GetU16(p + 12);
    v.wMilliseconds = PrefBytes::GetU16(p + 14);
  }
};

// Text values (REG_SZ). ToText gives the text to store; FromText takes a read text and says
// whether it could be used.
template <typename T>
struct CPrefTextForm;

template <>
struct CPrefTextForm<CString> {
  static CString ToText(const CString& v) { return v; }
  static bool FromText(const CString& text, CString& v) {
    v = text;
    return true;
  }
};

// Paths (any type holding its text in m_strPath, as the class library's CPath does): stored in
// the portable form with a leading folder macro, expanded again when read.
template <typename T>
concept PrefPathLike = requires(T t) {
  { t.m_strPath } -> std::convertible_to<CString>;
};

template <PrefPathLike T>
struct CPrefTextForm<T> {
  static CString ToText(const T& v) {
    CString text;
    if (!v.m_strPath.IsEmpty()) CUtils::MakePortablePath(v.m_strPath, text);
    return text;
  }
  static bool FromText(const CString& text, T& v) {
    if (text.IsEmpty()) {
      v.m_strPath.Empty();
      return true;
    }
    CString path = text, expanded;
    if (!CUtils::ExpandFolderMacros(path, expanded)) return false;
    v.m_strPath = expanded;
    return true;
  }
};

class CPrefValue {
 public:
  using OwnerList = std::vector<CPrefValue*>;

  // Results of Read.
  enum { kReadOK = 0, kReadUnreadable = 1, kReadWrongSize = 2, kReadAbsent = 3 };

  // Appends itself to owner (when not null), so the store's list keeps declaration order.
  CPrefValue(LPCWSTR name, uint16_t groups, OwnerList* owner);
  CPrefValue(const CPrefValue&) = delete;
  CPrefValue& operator=(const CPrefValue&) = delete;
  virtual ~CPrefValue();

  virtual uint32_t Checksum(uint32_t seed) = 0;
  virtual int Read() = 0;
  virtual void Write() = 0;
  virtual size_t Count() = 0;
  virtual size_t ElementSize() = 0;
  // Takes the value of another value of the same type (each under its own lock); false, changing
  // nothing, for another type.
  virtual bool CopyFrom(const CPrefValue& other) {
    (void)other;
    return false;
  }

  const CString& GetName() const { return m_name; }
  uint16_t GetGroups() const { return m_groups; }
  CLXThreadMutex& GetMutex() const { return m_mutex; }

  // The value's own lock for the scope of an accessor.
  class CMutexLock {
   public:
    explicit CMutexLock(const CPrefValue& value) : m_lock(value.m_mutex) {}
    explicit CMutexLock(const CPrefValue* value) : m_lock(value->m_mutex) {}
    virtual ~CMutexLock() = default;

   private:
    CLXMutexLock m_lock;
  };

  // Where Read and Write find the store's key: the store installs a function that opens its
  // "Preferences" key for reading and writing (null when it cannot). No opener: every value
  // reads as absent and writes nothing.
  using KeyOpener = HKEY (*)();
  static void SetKeyOpener(KeyOpener opener);
  static HKEY OpenStoreKey();

  // While one lives, Read and Write on this thread use the one key it opened instead of opening
  // and closing the key once for each value (the store's load and save at start: some hundreds).
  class CStoreKeyScope {
   public:
    CStoreKeyScope();
    ~CStoreKeyScope();
    CStoreKeyScope(const CStoreKeyScope&) = delete;
    CStoreKeyScope& operator=(const CStoreKeyScope&) = delete;

   private:
    bool m_owner = false;
  };

  // A REG_BINARY value of non-zero size as a new block (free with delete[]), size set; null
  // with size 0 otherwise.
  static uint8_t* GetPrefBlock(LPCWSTR name, DWORD& size);

  // CRC with the polynomial 0x04C11DB7, most significant bit first, unreflected.
  static uint32_t Crc(uint32_t crc, const uint8_t* data, size_t count);

 protected:
  // Registry traffic shared by the templates; callers hold the preferences mutex.
  int ReadFixed(size_t storedSize, void (*assign)(const uint8_t*, void*), void* target);
  void WriteBytes(const uint8_t* data, size_t count);
  int ReadText(CString& text);
  void WriteText(const CString& text);
  static uint32_t TextChecksum(uint32_t seed, const CString& text);

  // The lock around every Read and Write of every value of all running instances.
  class CRegistryLock {
   public:
    CRegistryLock();
    ~CRegistryLock();

   private:
    CLXMutexBase* m_mutex;
  };

  uint16_t m_groups;
  CString m_name;
  OwnerList* m_owner;
  mutable CLXThreadMutex m_mutex;
};

template <typename T>
constexpr bool kPrefIsText = std::is_same_v<T, CString> || PrefPathLike<T>;

template <typename T>
class CPrefScalar : public CPrefValue {
 public:
  CPrefScalar(LPCWSTR name, uint16_t groups, OwnerList* owner) : CPrefValue(name, groups, owner), m_value() {}
  CPrefScalar(LPCWSTR name, uint16_t groups, OwnerList* owner, const T& first)
      : CPrefValue(name, groups, owner), m_value(first) {}

  T Get() const {
    CMutexLock lock(*this);
    return m_value;
  }
  T& Get(T& out) const {
    CMutexLock lock(*this);
    out = m_value;
    return out;
  }
  T Set(const T& value) {
    CMutexLock lock(*this);
    m_value = value;
    return m_value;
  }
  T& Set(const T& value, T& out) {
    CMutexLock lock(*this);
    m_value = value;
    out = m_value;
    return out;
  }
  // Unguarded address: for the user-interface thread only.
  T* GetRef() {
    CMutexLock lock(*this);
    return &m_value;
  }

  uint32_t Checksum(uint32_t seed) override {
    CMutexLock lock(*this);
    if constexpr (kPrefIsText<T>) {
      return TextChecksum(seed, CPrefTextForm<T>::ToText(m_value));
    } else {
      uint8_t bytes[CPrefStoredForm<T>::kSize];
      CPrefStoredForm<T>::Put(m_value, bytes);
      return Crc(seed, bytes, sizeof bytes);
    }
  }

  int Read() override {
    CRegistryLock registry;
    if constexpr (kPrefIsText<T>) {
      CString text;
      const int result = ReadText(text);
      if (result != kReadOK) return result;
      T value;
      if (!CPrefTextForm<T>::FromText(text, value)) return kReadUnreadable;
      CMutexLock lock(*this);
      m_value = value;
      return kReadOK;
    } else {
      return ReadFixed(
          CPrefStoredForm<T>::kSize,
          [](const uint8_t* p, void* target) { CPrefStoredForm<T>::Get(p, *static_cast<T*>(target)); }, &m_value);
    }
  }

  void Write() override {
    CRegistryLock registry;
    if constexpr (kPrefIsText<T>) {
      WriteText(CPrefTextForm<T>::ToText(Get()));
    } else {
      uint8_t bytes[CPrefStoredForm<T>::kSize];
      CPrefStoredForm<T>::Put(Get(), bytes);
      WriteBytes(bytes, sizeof bytes);
    }
  }

  size_t Count() override { return 1; }
  bool CopyFrom(const CPrefValue& other) override {
    const auto* from = dynamic_cast<const CPrefScalar<T>*>(&other);
    if (!from) return false;
    if (from != this) Set(from->Get());
    return true;
  }
  size_t ElementSize() override {
    if constexpr (kPrefIsText<T>)
      return sizeof(T);
    else
      return CPrefStoredForm<T>::kSize;
  }

 private:
  T m_value;
};

template <typename T, typename Container = std::vector<T>>
class CPrefArray : public CPrefValue {
 public:
  CPrefArray(LPCWSTR name, uint16_t groups, OwnerList* owner) : CPrefValue(name, groups, owner) {}

  size_t Count() override {
    CMutexLock lock(*this);
    return m_items.size();
  }
  size_t ElementSize() override { return sizeof(T); }
  virtual bool IsEmpty() {
    CMutexLock lock(*this);
    return m_items.empty();
  }

  // Grows the container with default elements up to index + 1, then gives element index.
  T* At(size_t index) {
    CMutexLock lock(*this);
    if (m_items.size() <= index) m_items.resize(index + 1);
    return &m_items[index];
  }

  // Empties the container and releases its storage.
  void Clear() {
    CMutexLock lock(*this);
    Container().swap(m_items);
  }
  // Empties the container but keeps its storage.
  void ClearKeepStorage() {
    CMutexLock lock(*this);
    m_items.clear();
  }

  // Exchanges the stored elements with the caller's in one step.
  void Swap(Container& other) {
    CMutexLock lock(*this);
    m_items.swap(other);
  }

  uint32_t Checksum(uint32_t seed) override {
    CMutexLock lock(*this);
    uint8_t bytes[CPrefStoredForm<T>::kSize];
    uint32_t crc = seed;
    for (const T& item : m_items) {
      CPrefStoredForm<T>::Put(item, bytes);
      crc = Crc(crc, bytes, sizeof bytes);
    }
    return crc;
  }

  int Read() override {
    constexpr size_t kSize = CPrefStoredForm<T>::kSize;
    CRegistryLock registry;
    DWORD size = 0;
    uint8_t* block = GetPrefBlock(m_name, size);
    if (!block) return kReadAbsent;
    int result = kReadOK;
    if (size % kSize != 0) {
      result = kReadWrongSize;
    } else {
      CMutexLock lock(*this);
      m_items.clear();
      try {
        for (size_t offset = 0; offset < size; offset += kSize) {
          T item{};
          CPrefStoredForm<T>::Get(block + offset, item);
          m_items.push_back(std::move(item));
        }
      } catch (...) {
        result = kReadUnreadable;
      }
    }
    delete[] block;
    return result;
  }

  void Write() override {
    constexpr size_t kSize = CPrefStoredForm<T>::kSize;
    CRegistryLock registry;
    try {
      std::vector<uint8_t> bytes;
      {
        CMutexLock lock(*this);
        bytes.resize(m_items.size() * kSize);
        size_t offset = 0;
        for (const T& item : m_items) {
          CPrefStoredForm<T>::Put(item, bytes.data() + offset);
          offset += kSize;
        }
      }
      WriteBytes(bytes.data(), bytes.size());
    } catch (...) {
      // A failed save leaves the stored value as it was; the next save tries again.
    }
  }

 private:
  Container m_items;
};
