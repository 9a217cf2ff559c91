// Registry on SQLite: keys, values, size protocol, transactions, concurrent writers, damaged files.
#include "ProcessTestSupport.h"
#include "Registry.h"
#include "TestSupport.h"
#include "Utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWriters = 8;
constexpr int kValuesPerWriter = 40;
const wchar_t* const kSharedKey = L"Software\\QlwTest\\Concurrent";

std::vector<BYTE> WriterPayload(int writer, int value) {
  std::vector<BYTE> bytes(16 + (value % 7) * 13);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(writer * 31 + value * 7 + i);
  return bytes;
}

std::wstring WriterValueName(int writer, int value) {
  return L"w" + std::to_wstring(writer) + L"-v" + std::to_wstring(value);
}

// Child jobs: a writer of the concurrency test, and a user of a damaged hive.
int RunRegistryChildJob(const std::string& job) {
  if (job == "registry-writer") {
    const int writer = std::stoi(qlwtest::ChildArg());
    for (int v = 0; v < kValuesPerWriter; ++v) {
      HKEY key = nullptr;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, kSharedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return 2;
      const auto payload = WriterPayload(writer, v);
      LSTATUS s = RegSetValueExW(key, WriterValueName(writer, v).c_str(), 0, REG_BINARY, payload.data(),
                                 static_cast<DWORD>(payload.size()));
      // Everyone also overwrites one shared value: the last write must be whole, never a mix.
      const auto shared = WriterPayload(writer, 1000);
      s |= RegSetValueExW(key, L"Shared", 0, REG_BINARY, shared.data(), static_cast<DWORD>(shared.size()));
      RegCloseKey(key);
      if (s != ERROR_SUCCESS) return 3;
    }
    return 0;
  }
  if (job == "registry-count") {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Batched", 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
  }
  if (job == "registry-damaged") {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Fresh", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
      return 2;
    const DWORD value = 0x12345678;
    if (RegSetValueExW(key, L"Answer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4)) return 3;
    DWORD read = 0, size = 4, type = 0;
    if (RegQueryValueExW(key, L"Answer", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size)) return 4;
    RegCloseKey(key);
    return read == value && type == REG_DWORD ? 0 : 5;
  }
  return 99;
}

const int g_childJob = [] {
  const char* job = qlwtest::ChildJob();
  if (job && strncmp(job, "registry-", 9) == 0) _exit(RunRegistryChildJob(job));
  return 0;
}();

// Creates a key under HKCU and closes it on scope exit.
struct Key {
  HKEY h = nullptr;
  explicit Key(const wchar_t* path, REGSAM access = KEY_ALL_ACCESS) {
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, access, nullptr, &h, nullptr), ERROR_SUCCESS);
  }
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

std::vector<std::wstring> SubKeyNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD chars = 256;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, chars);
  }
  return names;
}

}  // namespace

TEST(Registry, KeysAndValueNamesIgnoreCaseButKeepIt) {
  Key parent(L"Software\\CaseTest");
  {
    Key child(L"Software\\CaseTest\\MixedCase\\Inner");
    const DWORD v = 7;
    ASSERT_EQ(RegSetValueExW(child.h, L"WidthValue", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
  }
  HKEY again = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\casetest\\MIXEDCASE\\inner", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  DWORD v = 0, size = 4;
  EXPECT_EQ(RegQueryValueExW(again, L"widthVALUE", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size), ERROR_SUCCESS);
  EXPECT_EQ(v, 7u);
  wchar_t name[64];
  DWORD chars = 64;
  ASSERT_EQ(RegEnumValueW(again, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name), L"WidthValue");
  RegCloseKey(again);
  EXPECT_EQ(SubKeyNames(parent.h), std::vector<std::wstring>{L"MixedCase"});
}

TEST(Registry, ReadOnlyOpenNeverCreates) {
  Key parent(L"Software\\ReadOnlyTest");
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(parent.h, L"NotThere\\Deeper", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_TRUE(SubKeyNames(parent.h).empty());
  // The classes root lives below the machine hive; reading it must not create its path either.
  HKEY classes = nullptr;
  const LSTATUS before = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", 0, KEY_READ, &classes);
  if (classes) RegCloseKey(classes);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".qlwnothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  classes = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", 0, KEY_READ, &classes), before);
  if (classes) RegCloseKey(classes);
}

TEST(Registry, QueryFollowsTheTwoCallSizeProtocol) {
  Key key(L"Software\\SizeTest");
  const std::vector<BYTE> binary = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_EQ(RegSetValueExW(key.h, L"Bin", 0, REG_BINARY, binary.data(), 9), ERROR_SUCCESS);
  // "A" and a character beyond the BMP, a surrogate pair, in UTF-16LE with the terminator.
  const std::vector<BYTE> text = {0x41, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0};
  ASSERT_EQ(RegSetValueExW(key.h, L"Text", 0, REG_SZ, text.data(), static_cast<DWORD>(text.size())), ERROR_SUCCESS);

  struct Case {
    const wchar_t* name;
    DWORD type;
    const std::vector<BYTE>& bytes;
  };
  for (const Case& c : {Case{L"Bin", REG_BINARY, binary}, Case{L"Text", REG_SZ, text}}) {
    SCOPED_TRACE(testing::Message() << "value " << (c.type == REG_SZ ? "Text" : "Bin"));
    const DWORD size = static_cast<DWORD>(c.bytes.size());
    DWORD type = 0, asked = 0;
    EXPECT_EQ(RegQueryValueExW(key.h, c.name, nullptr, &type, nullptr, &asked), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(asked, size);
    std::vector<BYTE> buffer(size + 8, '#');
    DWORD small = size - 1;
    EXPECT_EQ(RegQueryValueExW(key.h, c.name, nullptr, nullptr, buffer.data(), &small), ERROR_MORE_DATA);
    EXPECT_EQ(small, size);
    EXPECT_EQ(buffer, std::vector<BYTE>(size + 8, '#')) << "nothing written into a buffer too small";
    DWORD exact = size;
    ASSERT_EQ(RegQueryValueExW(key.h, c.name, nullptr, nullptr, buffer.data(), &exact), ERROR_SUCCESS);
    EXPECT_EQ(exact, size);
    EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + size), c.bytes);
    EXPECT_EQ(std::vector<BYTE>(buffer.begin() + size, buffer.end()), std::vector<BYTE>(8, '#'));
  }
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueExW(key.h, L"Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

// String values are UTF-16LE bytes across the API, as stored: the call took the byte count of
// UTF-16 text but read twice as many bytes as wchar_t, past the end of the caller's buffer.
TEST(Registry, StringValuesGoInAndComeOutByteForByte) {
  Key key(L"Software\\StringBytesTest");
  const struct {
    const char* what;
    std::vector<BYTE> bytes;
    std::wstring text;  // as wide text, up to the first NUL
  } cases[] = {
      {"empty", {}, L""},
      {"a terminator alone", {0, 0}, L""},
      {"text with its terminator", {'A', 0, 'B', 0, 0, 0}, L"AB"},
      {"an odd byte count", {'A', 0, 'B'}, L"A"},
      {"a NUL inside", {'A', 0, 0, 0, 'B', 0, 0, 0}, L"A"},
      {"a character beyond the BMP", {0x3D, 0xD8, 0x00, 0xDE, 0, 0}, L"\U0001F600"},
      {"an unpaired surrogate", {0x3D, 0xD8, 0, 0}, L"\uFFFD"},
  };
  for (const DWORD type : {DWORD(REG_SZ), DWORD(REG_EXPAND_SZ)}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", type " << type);
      // A heap copy of exactly the announced size, so that a read past it is caught under ASan too.
      const std::unique_ptr<BYTE[]> given(new BYTE[std::max<size_t>(c.bytes.size(), 1)]);
      std::copy(c.bytes.begin(), c.bytes.end(), given.get());
      ASSERT_EQ(RegSetValueExW(key.h, L"Value", 0, type, given.get(), static_cast<DWORD>(c.bytes.size())), ERROR_SUCCESS);

      DWORD storedType = 0;
      std::vector<BYTE> stored;
      ASSERT_EQ(qlw::RegQueryStoredValue(key.h, L"Value", &storedType, &stored), ERROR_SUCCESS);
      EXPECT_EQ(stored, c.bytes);
      EXPECT_EQ(storedType, type);

      std::vector<BYTE> queried(c.bytes.size() + 4, 0xCC);
      DWORD bytes = static_cast<DWORD>(queried.size());
      ASSERT_EQ(RegQueryValueExW(key.h, L"Value", nullptr, nullptr, queried.data(), &bytes), ERROR_SUCCESS);
      ASSERT_EQ(bytes, c.bytes.size());
      EXPECT_EQ(std::vector<BYTE>(queried.begin(), queried.begin() + bytes), c.bytes);

      std::vector<BYTE> enumerated(c.bytes.size() + 4, 0xCC);
      wchar_t name[16];
      DWORD chars = 16;
      bytes = static_cast<DWORD>(enumerated.size());
      ASSERT_EQ(RegEnumValueW(key.h, 0, name, &chars, nullptr, nullptr, enumerated.data(), &bytes), ERROR_SUCCESS);
      ASSERT_EQ(bytes, c.bytes.size());
      EXPECT_EQ(std::vector<BYTE>(enumerated.begin(), enumerated.begin() + bytes), c.bytes);

      std::wstring text = L"#";
      EXPECT_EQ(qlw::RegQueryStringValue(key.h, L"Value", &text), ERROR_SUCCESS);
      EXPECT_EQ(text, c.text);
    }
  }
  // Wide text through the conversions: its UTF-16LE and one terminator, and back.
  for (const std::wstring& text : {std::wstring(), std::wstring(L"A"), std::wstring(L"\u00e9t\u00e9 \U0001F600z")}) {
    ASSERT_EQ(qlw::RegSetStringValue(key.h, L"Wide", text), ERROR_SUCCESS);
    std::vector<BYTE> expected = qlw::ToUtf16LE(text);
    expected.insert(expected.end(), {0, 0});
    std::vector<BYTE> stored;
    ASSERT_EQ(qlw::RegQueryStoredValue(key.h, L"Wide", nullptr, &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, expected) << qlw::ToUtf8(text);
    std::wstring back;
    DWORD type = 0;
    ASSERT_EQ(qlw::RegQueryStringValue(key.h, L"Wide", &back, &type), ERROR_SUCCESS);
    EXPECT_EQ(back, text);
    EXPECT_EQ(type, DWORD(REG_SZ));
  }
  const DWORD number = 7;
  ASSERT_EQ(RegSetValueExW(key.h, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  std::wstring text;
  DWORD type = 0;
  EXPECT_EQ(qlw::RegQueryStringValue(key.h, L"Number", &text, &type), ERROR_INVALID_DATA);
  EXPECT_EQ(type, DWORD(REG_DWORD));
}

TEST(Registry, DeletingKeysValuesAndTrees) {
  Key root(L"Software\\DeleteTest");
  { Key leaf(L"Software\\DeleteTest\\A\\B"); }
  const DWORD v = 1;
  ASSERT_EQ(RegSetValueExW(root.h, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(root.h, L"A"), ERROR_ACCESS_DENIED);  // still has a sub-key
  EXPECT_EQ(RegDeleteKeyW(root.h, L"A\\B"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(root.h, L"A\\B"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(root.h, L"v"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(root.h, L"V"), ERROR_FILE_NOT_FOUND);

  { Key deep(L"Software\\DeleteTest\\A\\B\\C"); }
  HKEY stale = nullptr;
  ASSERT_EQ(RegOpenKeyExW(root.h, L"A\\B", 0, KEY_ALL_ACCESS, &stale), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeW(root.h, L"A"), ERROR_SUCCESS);
  DWORD subKeys = 9, values = 9;
  EXPECT_EQ(RegQueryInfoKeyW(root.h, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
  // A handle to a key deleted under it answers instead of touching another key.
  EXPECT_EQ(RegSetValueExW(stale, L"X", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_KEY_DELETED);
  RegCloseKey(stale);
}

TEST(Registry, ReadOnlyHandleRefusesWrites) {
  { Key make(L"Software\\AccessTest"); }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\AccessTest", 0, KEY_READ, &key), ERROR_SUCCESS);
  const DWORD v = 1;
  EXPECT_EQ(RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
}

TEST(Registry, TransactionCommitsAllOrRollsBackEverything) {
  for (bool commit : {false, true}) {
    SCOPED_TRACE(commit ? "commit" : "rollback");
    const wchar_t* path = commit ? L"Software\\TxnCommit\\Inner" : L"Software\\TxnRollback\\Inner";
    HANDLE txn = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
    ASSERT_NE(txn, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyTransactedW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr,
                                      txn, nullptr),
              ERROR_SUCCESS);
    const DWORD v = 42;
    ASSERT_EQ(RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key, L"Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
    // Inside the transaction its own work is visible.
    DWORD read = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, v);
    RegCloseKey(key);
    EXPECT_TRUE(commit ? CommitTransaction(txn) : RollbackTransaction(txn));
    EXPECT_TRUE(CloseHandle(txn));

    HKEY outside = nullptr;
    const LSTATUS s = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &outside);
    if (!commit) {
      EXPECT_EQ(s, ERROR_FILE_NOT_FOUND);
      EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TxnRollback", 0, KEY_READ, &outside),
                ERROR_FILE_NOT_FOUND);
      continue;
    }
    ASSERT_EQ(s, ERROR_SUCCESS);
    read = 0;
    size = 4;
    EXPECT_EQ(RegQueryValueExW(outside, L"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, v);
    EXPECT_EQ(SubKeyNames(outside), std::vector<std::wstring>{L"Sub"});
    RegCloseKey(outside);
  }
}

TEST(Registry, ABatchCommitsItsWritesAtOnceAndAFailedCallAlone) {
  auto othersSee = [] {
    qlwtest::Child child = qlwtest::StartChild("registry-count", "");
    return qlwtest::WaitChild(child);
  };
  {
    qlw::RegistryBatch batch;
    Key key(L"Software\\Batched");
    for (DWORD v = 0; v < 5; ++v)
      ASSERT_EQ(RegSetValueExW(key.h, (L"V" + std::to_wstring(v)).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4),
                ERROR_SUCCESS);
    // A call that fails takes back its own work only.
    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Batched\\Missing", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    DWORD read = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(key.h, L"V3", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, 3u) << "the batch sees its own writes";
    EXPECT_EQ(othersSee(), 0) << "another process sees nothing before the batch ends";
  }
  EXPECT_EQ(othersSee(), 5);
  // Calls after the batch are their own transactions again.
  Key key(L"Software\\Batched");
  const DWORD v = 9;
  ASSERT_EQ(RegSetValueExW(key.h, L"After", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
  EXPECT_EQ(othersSee(), 6);
}

TEST(Registry, UncommittedTransactionIsDiscardedWhenClosed) {
  HANDLE txn = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
  { Key existing(L"Software\\TxnDelete\\Leaf"); }
  EXPECT_EQ(RegDeleteKeyTransactedW(HKEY_CURRENT_USER, L"Software\\TxnDelete\\Leaf", 0, 0, txn, nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(txn));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TxnDelete\\Leaf", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(Registry, EightProcessesWritingAtOnceLoseNothing) {
  std::vector<qlwtest::Child> children;
  for (int w = 0; w < kWriters; ++w) children.push_back(qlwtest::StartChild("registry-writer", std::to_string(w)));
  for (auto& child : children) EXPECT_EQ(qlwtest::WaitChild(child), 0);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSharedKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  for (int w = 0; w < kWriters; ++w) {
    for (int v = 0; v < kValuesPerWriter; ++v) {
      const auto expected = WriterPayload(w, v);
      std::vector<BYTE> read(256);
      DWORD size = 256, type = 0;
      ASSERT_EQ(RegQueryValueExW(key, WriterValueName(w, v).c_str(), nullptr, &type, read.data(), &size), ERROR_SUCCESS)
          << "writer " << w << " value " << v;
      read.resize(size);
      EXPECT_EQ(type, DWORD(REG_BINARY));
      EXPECT_EQ(read, expected) << "writer " << w << " value " << v;
    }
  }
  std::vector<BYTE> shared(256);
  DWORD size = 256;
  ASSERT_EQ(RegQueryValueExW(key, L"Shared", nullptr, nullptr, shared.data(), &size), ERROR_SUCCESS);
  shared.resize(size);
  bool matchesOneWriter = false;
  for (int w = 0; w < kWriters; ++w) matchesOneWriter = matchesOneWriter || shared == WriterPayload(w, 1000);
  EXPECT_TRUE(matchesOneWriter);
  DWORD values = 0;
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, DWORD(kWriters * kValuesPerWriter + 1));
  RegCloseKey(key);
}

TEST(Registry, DamagedDatabaseIsMovedAsideAndReplaced) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(qlwtest::ScratchDir()) / "damaged-registry";
  fs::create_directories(dir);
  const std::string garbage = "this is not a database, just some text that happens to sit here\n";
  {
    std::ofstream out(dir / "HKEY_CURRENT_USER.db", std::ios::binary);
    for (int i = 0; i < 100; ++i) out << garbage;
  }
  auto child = qlwtest::StartChild("registry-damaged", "", {"QLW_REGISTRY_DIR=" + dir.string()});
  EXPECT_EQ(qlwtest::WaitChild(child), 0);

  int movedAside = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("HKEY_CURRENT_USER.db.damaged-", 0) != 0 || name.find("-wal") != std::string::npos ||
        name.find("-shm") != std::string::npos)
      continue;
    ++movedAside;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first + "\n", garbage);  // moved intact, for whoever wants to look at it
  }
  EXPECT_EQ(movedAside, 1);
  // The replacement is a real database again.
  std::ifstream fresh(dir / "HKEY_CURRENT_USER.db", std::ios::binary);
  char header[16] = {};
  fresh.read(header, 15);
  EXPECT_STREQ(header, "SQLite format 3");
}

TEST(Registry, LargestValueSizeHoldsEveryValueOfTheKey) {
  Key key(L"Software\\MaxSizeTest");
  const std::wstring text = L"a longer text value";
  qlw::RegSetStringValue(key.h, L"Text", text);
  const BYTE small[3] = {1, 2, 3};
  RegSetValueExW(key.h, L"Bytes", 0, REG_BINARY, small, 3);
  DWORD maxBytes = 0, maxName = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key.h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxBytes,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(maxName, 5u);
  // A byte buffer of the reported size, as generic copying code allocates it, with a guard after it.
  std::vector<BYTE> buffer(maxBytes + 16, 0xCC);
  for (DWORD i = 0; i < 2; ++i) {
    wchar_t name[16];
    DWORD chars = 16, bytes = maxBytes, type = 0;
    ASSERT_EQ(RegEnumValueW(key.h, i, name, &chars, nullptr, &type, buffer.data(), &bytes), ERROR_SUCCESS);
    if (type == REG_SZ) {
      EXPECT_EQ(bytes, (text.size() + 1) * 2);
      EXPECT_EQ(qlw::FromUtf16LE(buffer.data(), bytes), text + L'\0');
    }
  }
  for (DWORD i = maxBytes; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], 0xCC) << "written past the size at " << i;
  }
}
