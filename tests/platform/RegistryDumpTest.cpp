// The registry dump tool prints what the registry API stored.
#include "Registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the dump with the test's registry folder; returns its exit code and standard output.
int RunDump(const std::string& args, std::string* out) {
  const std::string command = std::string(QLW_BIN_DIR) + "/qlwregdump " + args + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe)) *out += buf;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(RegistryDump, PrintsValuesAsBytesAndTextAndSubKeys) {
  if (access((std::string(QLW_BIN_DIR) + "/qlwregdump").c_str(), X_OK) != 0)
    GTEST_SKIP() << "qlwregdump is not built in " << QLW_BIN_DIR;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\DumpTest\\Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\DumpTest", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const std::wstring text = L"\u00e9t\u00e9";
  qlw::RegSetStringValue(key, L"Season", text);
  const DWORD count = 300;
  RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), 4);
  const BYTE blob[] = {0xde, 0xad, 0x01};
  RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, 3);
  RegCloseKey(key);

  std::string out;
  ASSERT_EQ(RunDump("HKCU 'Software\\DumpTest'", &out), 0) << out;
  EXPECT_NE(out.find("\"Season\"  REG_SZ  8 bytes  e9 00 74 00 e9 00 00 00  \"\xc3\xa9t\xc3\xa9\"\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("\"Count\"  REG_DWORD  4 bytes  2c 01 00 00  300\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Blob\"  REG_BINARY  3 bytes  de ad 01\n"), std::string::npos) << out;
  EXPECT_NE(out.find("sub-keys:\n  Child\n"), std::string::npos) << out;

  std::string missing;
  EXPECT_EQ(RunDump("HKCU 'Software\\NoSuchKey'", &missing), 1);
}
