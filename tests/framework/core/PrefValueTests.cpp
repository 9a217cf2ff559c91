// Preference values: exact stored bytes in the registry, read results, arrays, checksums, locks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "PrefValue.h"
#include "Win.h"

namespace {

const wchar_t kTestKey[] = L"Software\\QlwPrefValueTest\\Preferences";

HKEY OpenTestKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return key;
}

enum class TestEnum : int32_t { kOne = 1, kBig = 0x7FFFFFF0 };

// An 8-byte record kept as its raw bytes, like the file-dialog and toolbar records.
struct Rec8 {
  uint32_t a;
  uint16_t b;
  uint8_t c, d;
};

// Holds its text as the class library's path class does.
struct TestPath {
  CString m_strPath;
};

// A record whose stored form refuses the byte 0xEE, to reach the failure path of an array read.
struct Fussy {
  uint8_t v = 0;
};

}  // namespace

template <>
struct CPrefStoredForm<Rec8> : CPrefRawStoredForm<Rec8> {};

template <>
struct CPrefStoredForm<Fussy> {
  static constexpr size_t kSize = 1;
  static void Put(const Fussy& f, uint8_t* p) { p[0] = f.v; }
  static void Get(const uint8_t* p, Fussy& f) {
    if (p[0] == 0xEE) throw std::runtime_error("bad record");
    f.v = p[0];
  }
};

class PrefValue : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QlwPrefValueTest");
    CPrefValue::SetKeyOpener(OpenTestKey);
  }
  void TearDown() override {
    CPrefValue::SetKeyOpener(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QlwPrefValueTest");
  }

  static std::vector<uint8_t> Stored(const wchar_t* name, DWORD* typeOut = nullptr) {
    HKEY key = OpenTestKey();
    DWORD type = 0, bytes = 0;
    std::vector<uint8_t> data;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
      data.resize(bytes);
      RegQueryValueExW(key, name, nullptr, &type, data.data(), &bytes);
    }
    RegCloseKey(key);
    if (typeOut) *typeOut = type;
    return data;
  }

  static void Store(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = OpenTestKey();
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // Writes the value, checks the registry's bytes, and reads them back into a fresh value.
  template <typename T>
  void ExpectStoredForm(const T& value, const std::vector<uint8_t>& bytes) {
    CPrefScalar<T> written(L"Value", 8, nullptr);
    written.Set(value);
    written.Write();
    DWORD type = 0;
    EXPECT_EQ(Stored(L"Value", &type), bytes);
    EXPECT_EQ(type, REG_BINARY);
    CPrefScalar<T> read(L"Value", 8, nullptr);
    EXPECT_EQ(read.Read(), CPrefValue::kReadOK);
    EXPECT_TRUE(read.Get() == value);
    EXPECT_EQ(read.ElementSize(), bytes.size());
  }
};

TEST_F(PrefValue, FixedSizeTypesStoreTheirExactBytes) {
  ExpectStoredForm(true, {1});
  ExpectStoredForm(false, {0});
  ExpectStoredForm<int>(-2, {0xFE, 0xFF, 0xFF, 0xFF});
  ExpectStoredForm<unsigned>(0x01020304u, {4, 3, 2, 1});
  ExpectStoredForm(1.5f, {0x00, 0x00, 0xC0, 0x3F});
  ExpectStoredForm(-2.0, {0, 0, 0, 0, 0, 0, 0, 0xC0});
  ExpectStoredForm(LXGraphics::CColor(0x80112233u), {0x33, 0x22, 0x11, 0x80});
  ExpectStoredForm(TestEnum::kBig, {0xF0, 0xFF, 0xFF, 0x7F});
  ExpectStoredForm(LXTypes::CPointT<float>(1.0f, -1.0f), {0, 0, 0x80, 0x3F, 0, 0, 0x80, 0xBF});
  ExpectStoredForm(CRect(1, -1, 256, 2), {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 2, 0, 0, 0});
  ExpectStoredForm(LXTypes::CVectorT<double>(1.0, 0.0, 2.0),
                   {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40});
}

TEST_F(PrefValue, AScopeOpensTheStoreKeyOnceForAllValuesOnItsThread) {
  static std::atomic<int> opened;
  opened = 0;
  CPrefValue::SetKeyOpener([]() -> HKEY {
    ++opened;
    return OpenTestKey();
  });
  CPrefScalar<int> number(L"Number", 8, nullptr);
  CPrefScalar<CString> text(L"Text", 8, nullptr);
  {
    CPrefValue::CStoreKeyScope scope;
    CPrefValue::CStoreKeyScope inner;  // uses the outer scope's key
    number.Set(7);
    number.Write();
    text.Set(CString(L"abc"));
    text.Write();
    CPrefScalar<int> readBack(L"Number", 8, nullptr);
    EXPECT_EQ(readBack.Read(), CPrefValue::kReadOK);
    EXPECT_EQ(readBack.Get(), 7);
    // Another thread opens its own.
    std::thread([] {
      CPrefScalar<CString> other(L"Text", 8, nullptr);
      EXPECT_EQ(other.Read(), CPrefValue::kReadOK);
      EXPECT_TRUE(other.Get() == CString(L"abc"));
    }).join();
    EXPECT_EQ(opened, 2);
  }
  // The writes were kept, and without a scope each access opens the key again.
  EXPECT_EQ(Stored(L"Number"), (std::vector<uint8_t>{7, 0, 0, 0}));
  CPrefScalar<CString> after(L"Text", 8, nullptr);
  EXPECT_EQ(after.Read(), CPrefValue::kReadOK);
  EXPECT_TRUE(after.Get() == CString(L"abc"));
  EXPECT_EQ(opened, 3);

  CPrefValue::SetKeyOpener(nullptr);  // no key to hold: values read as absent
  CPrefValue::CStoreKeyScope none;
  EXPECT_EQ(after.Read(), CPrefValue::kReadAbsent);
}

TEST_F(PrefValue, TimesStoreEightLittleEndianFields) {
  const SYSTEMTIME t{2026, 12, 3, 9, 21, 5, 59, 999};
  CPrefScalar<SYSTEMTIME> written(L"LastCheck", 8, nullptr);
  written.Set(t);
  written.Write();
  EXPECT_EQ(Stored(L"LastCheck"),
            (std::vector<uint8_t>{0xEA, 0x07, 12, 0, 3, 0, 9, 0, 21, 0, 5, 0, 59, 0, 0xE7, 0x03}));
  CPrefScalar<SYSTEMTIME> read(L"LastCheck", 8, nullptr);
  EXPECT_EQ(read.Read(), CPrefValue::kReadOK);
  const SYSTEMTIME back = read.Get();
  EXPECT_EQ(std::memcmp(&back, &t, sizeof t), 0);
  EXPECT_EQ(read.ElementSize(), 16u);
}

TEST_F(PrefValue, StringsAreStoredWithOneTerminator) {
  CPrefScalar<CString> s(L"Name", 8, nullptr);
  s.Set(CString(L"A\u00e9z"));
  s.Write();
  DWORD type = 0;
  EXPECT_EQ(Stored(L"Name", &type), (std::vector<uint8_t>{'A', 0, 0xE9, 0, 'z', 0, 0, 0}));
  EXPECT_EQ(type, REG_SZ);

  CPrefScalar<CString> back(L"Name", 8, nullptr);
  EXPECT_EQ(back.Read(), CPrefValue::kReadOK);
  EXPECT_EQ(back.Get(), CString(L"A\u00e9z"));
}

TEST_F(PrefValue, ReadResultsForMissingAndMisfitValues) {
  CPrefScalar<int> value(L"Int", 8, nullptr, 42);
  EXPECT_EQ(value.Read(), CPrefValue::kReadAbsent);
  for (DWORD size : {3u, 5u}) {
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    Store(L"Int", REG_BINARY, bytes, size);
    EXPECT_EQ(value.Read(), CPrefValue::kReadWrongSize) << size;
    EXPECT_EQ(value.Get(), 42);
  }
  const DWORD dword = 7;
  Store(L"Int", REG_DWORD, &dword, 4);  // the right size, but not a binary value
  EXPECT_EQ(value.Read(), CPrefValue::kReadAbsent);
  EXPECT_EQ(value.Get(), 42);

  CPrefValue::SetKeyOpener(nullptr);  // no store key at all
  EXPECT_EQ(value.Read(), CPrefValue::kReadAbsent);
}

TEST_F(PrefValue, StringReadResults) {
  CPrefScalar<CString> s(L"Str", 8, nullptr, CString(L"default"));
  const char16_t inner[] = {u'a', 0, u'b', 0};
  Store(L"Str", REG_SZ, inner, sizeof inner);  // a NUL inside the value
  EXPECT_EQ(s.Read(), CPrefValue::kReadUnreadable);
  EXPECT_EQ(s.Get(), CString(L"default"));

  const char16_t unterminated[] = {u'a', u'b'};
  Store(L"Str", REG_SZ, unterminated, sizeof unterminated);
  EXPECT_EQ(s.Read(), CPrefValue::kReadUnreadable);

  const char16_t odd[] = {u'a', 0};
  Store(L"Str", REG_SZ, odd, 3);  // an odd byte count
  EXPECT_EQ(s.Read(), CPrefValue::kReadUnreadable);

  const uint8_t binary[] = {'a', 0, 0, 0};
  Store(L"Str", REG_BINARY, binary, 4);
  EXPECT_EQ(s.Read(), CPrefValue::kReadAbsent);
  EXPECT_EQ(s.Get(), CString(L"default"));

  const char16_t nul[] = {0};
  Store(L"Str", REG_SZ, nul, sizeof nul);
  EXPECT_EQ(s.Read(), CPrefValue::kReadOK);
  EXPECT_EQ(s.Get(), CString());

  const char16_t expand[] = {u'%', u'x', 0};
  Store(L"Str", REG_EXPAND_SZ, expand, sizeof expand);  // accepted as it stands, not expanded
  EXPECT_EQ(s.Read(), CPrefValue::kReadOK);
  EXPECT_EQ(s.Get(), CString(L"%x"));
}

TEST_F(PrefValue, ColourListsGrowWithOpaqueBlackAndStoreFourBytesEach) {
  CPrefArray<LXGraphics::CColor, std::deque<LXGraphics::CColor>> colours(L"CustomColors", 0x18, nullptr);
  colours.At(0)->SetValue(0xFF102030u);
  colours.At(1)->SetValue(0x00ABCDEFu);
  ASSERT_EQ(colours.Count(), 2u);
  LXGraphics::CColor* sixth = colours.At(5);
  EXPECT_EQ(colours.Count(), 6u);
  EXPECT_EQ(sixth, colours.At(5));
  for (size_t i = 2; i < 6; ++i) EXPECT_EQ(colours.At(i)->GetValue(), 0xFF000000u) << i;

  colours.Write();
  const std::vector<uint8_t> stored = Stored(L"CustomColors");
  ASSERT_EQ(stored.size(), 24u);
  EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.begin() + 8),
            (std::vector<uint8_t>{0x30, 0x20, 0x10, 0xFF, 0xEF, 0xCD, 0xAB, 0x00}));

  CPrefArray<LXGraphics::CColor, std::deque<LXGraphics::CColor>> back(L"CustomColors", 0x18, nullptr);
  back.At(9);
  EXPECT_EQ(back.Read(), CPrefValue::kReadOK);
  EXPECT_EQ(back.Count(), 6u);
  EXPECT_EQ(back.At(1)->GetValue(), 0x00ABCDEFu);
}

TEST_F(PrefValue, EmptyArrayStoresNoBytesAndReadsAsAbsent) {
  CPrefArray<LXGraphics::CColor, std::deque<LXGraphics::CColor>> empty(L"Colours", 8, nullptr);
  empty.Write();
  EXPECT_TRUE(Stored(L"Colours").empty());

  CPrefArray<LXGraphics::CColor, std::deque<LXGraphics::CColor>> other(L"Colours", 8, nullptr);
  other.At(2);
  EXPECT_EQ(other.Read(), CPrefValue::kReadAbsent);
  EXPECT_EQ(other.Count(), 3u);
}

TEST_F(PrefValue, ArrayOfMisfitSizeStaysUnchanged) {
  CPrefArray<Rec8> records(L"LastFileType", 0x10, nullptr);
  *records.At(0) = Rec8{0x11223344u, 0x5566, 7, 8};
  std::vector<uint8_t> bytes(17, 0);
  Store(L"LastFileType", REG_BINARY, bytes.data(), 17);
  EXPECT_EQ(records.Read(), CPrefValue::kReadWrongSize);
  ASSERT_EQ(records.Count(), 1u);
  EXPECT_EQ(records.At(0)->a, 0x11223344u);

  records.Write();
  const std::vector<uint8_t> stored = Stored(L"LastFileType");
  EXPECT_EQ(stored, (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 7, 8}));
  EXPECT_EQ(records.ElementSize(), 8u);
}

TEST_F(PrefValue, ArrayElementThatCannotBeBuiltReadsAsUnreadable) {
  CPrefArray<Fussy> values(L"Fussy", 8, nullptr);
  const uint8_t bytes[] = {1, 2, 0xEE, 4};
  Store(L"Fussy", REG_BINARY, bytes, 4);
  EXPECT_EQ(values.Read(), CPrefValue::kReadUnreadable);
  ASSERT_EQ(values.Count(), 2u);  // the elements before the bad one are kept
  EXPECT_EQ(values.At(1)->v, 2);
}

TEST_F(PrefValue, ClearAndSwap) {
  CPrefArray<Rec8> records(L"ToolbarState", 0x58, nullptr);
  records.At(3);
  records.ClearKeepStorage();
  EXPECT_TRUE(records.IsEmpty());
  records.At(1);
  records.Clear();
  EXPECT_TRUE(records.IsEmpty());

  std::vector<Rec8> mine(2, Rec8{1, 2, 3, 4});
  records.Swap(mine);
  EXPECT_EQ(records.Count(), 2u);
  EXPECT_TRUE(mine.empty());
}

TEST_F(PrefValue, ChecksumIsTheUnreflectedCrcOfTheStoredBytes) {
  // The published check value of this CRC (polynomial 0x04C11DB7, start 0xFFFFFFFF, no final XOR).
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(CPrefValue::Crc(0xFFFFFFFFu, digits, 9), 0x0376E6E7u);

  CPrefScalar<unsigned> u(L"U", 8, nullptr, 0x34333231u);  // stored as "1234"
  EXPECT_EQ(u.Checksum(0xFFFFFFFFu), CPrefValue::Crc(0xFFFFFFFFu, digits, 4));

  CPrefScalar<CString> s(L"S", 8, nullptr);
  EXPECT_EQ(s.Checksum(0x12345678u), 0x12345678u);
  s.Set(CString(L"12"));
  const uint8_t utf16[] = {'1', 0, '2', 0};
  EXPECT_EQ(s.Checksum(7), CPrefValue::Crc(7, utf16, 4));
  // A character beyond the basic plane counts as the surrogate pair the registry stores.
  s.Set(CString(L"\U0001F600"));
  const uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_EQ(s.Checksum(7), CPrefValue::Crc(7, pair, 4));

  CPrefArray<LXGraphics::CColor> colours(L"C", 8, nullptr);
  EXPECT_EQ(colours.Checksum(99), 99u);
  colours.At(1);
  const uint8_t black2[] = {0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
  EXPECT_EQ(colours.Checksum(99), CPrefValue::Crc(99, black2, 8));
}

TEST_F(PrefValue, ValuesJoinAndLeaveTheirOwnersList) {
  CPrefValue::OwnerList list;
  {
    CPrefScalar<int> a(L"A", 8, &list);
    CPrefScalar<bool> b(L"B", 8, &list);
    {
      CPrefScalar<double> c(L"C", 8, &list);
      ASSERT_EQ(list.size(), 3u);
      EXPECT_EQ(list[0], &a);
      EXPECT_EQ(list[2], &c);
      EXPECT_EQ(list[1]->GetName(), CString(L"B"));
    }
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], &b);
  }
  EXPECT_TRUE(list.empty());
}

TEST_F(PrefValue, AccessorsAreAtomicPerValue) {
  using Vec = LXTypes::CVectorT<double>;
  CPrefScalar<Vec> v(L"V", 8, nullptr, Vec(0, 0, 0));
  std::atomic<bool> torn{false}, stop{false};
  std::thread reader([&] {
    while (!stop) {
      const Vec got = v.Get();
      if (got.x != got.y || got.y != got.z) torn = true;
    }
  });
  for (int i = 1; i < 20000; ++i) v.Set(Vec(i, i, i));
  stop = true;
  reader.join();
  EXPECT_FALSE(torn);

  Vec out;
  EXPECT_EQ(v.Set(Vec(1, 2, 3), out), Vec(1, 2, 3));
  EXPECT_EQ(*v.GetRef(), Vec(1, 2, 3));
}

TEST_F(PrefValue, PathsAreStoredWithAFolderMacroAndExpandedWhenRead) {
  // A scratch home, so that the documents folder is ours.
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  const auto scratch = std::filesystem::temp_directory_path() / ("qlw-prefhome-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch / "Documents" / "phases");
  setenv("HOME", scratch.c_str(), 1);
  const CString documents = CString((scratch / "Documents").wstring());

  CPrefScalar<TestPath> path(L"LastVisitedFolder", 0x10, nullptr);
  path.Set(TestPath{documents + L"/phases"});
  path.Write();
  HKEY key = OpenTestKey();
  std::wstring text;
  DWORD type = 0;
  ASSERT_EQ(qlw::RegQueryStringValue(key, L"LastVisitedFolder", &text, &type), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(text.find(L"<CSIDL_PERSONAL>"), 0u) << qlw::ToUtf8(text);

  CPrefScalar<TestPath> back(L"LastVisitedFolder", 0x10, nullptr);
  EXPECT_EQ(back.Read(), CPrefValue::kReadOK);
  CString expanded = back.Get().m_strPath;
  CUtils::CanonicalizePath(expanded);
  EXPECT_EQ(expanded, documents + L"/phases");

  const char16_t unknown[] = u"<CSIDL_NOSUCH>x";
  Store(L"LastVisitedFolder", REG_SZ, unknown, sizeof unknown);
  EXPECT_EQ(back.Read(), CPrefValue::kReadUnreadable);
  EXPECT_EQ(back.Get().m_strPath, expanded);  // unchanged by the failed read

  setenv("HOME", savedHome.c_str(), 1);
  std::filesystem::remove_all(scratch);
}
