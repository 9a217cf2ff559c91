// qlwregdump [HKCU|HKLM|HKU|HKCR] KEYPATH: prints the key's values (name, type, stored bytes in
// hex, strings as text) and the names of its sub-keys. Exit 1 when the key does not exist.
#include "Registry.h"
#include "Utf16.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct HiveName {
  const char* shortName;
  const char* longName;
  HKEY key;
};
const HiveName kHives[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_UNKNOWN";
  }
}

std::string Quoted(const std::wstring& text) {
  std::string out = "\"";
  for (char c : qlw::ToUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The text shown after the bytes: strings as text, numbers in decimal.
std::string Interpretation(DWORD type, const std::vector<BYTE>& bytes) {
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::wstring text = qlw::FromUtf16LE(bytes.data(), bytes.size());
    if (type != REG_MULTI_SZ) {
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      return Quoted(text);
    }
    std::string out;
    size_t start = 0;
    while (start < text.size() && text[start] != L'\0') {
      size_t end = text.find(L'\0', start);
      if (end == std::wstring::npos) end = text.size();
      if (!out.empty()) out += ' ';
      out += Quoted(text.substr(start, end - start));
      start = end + 1;
    }
    return out;
  }
  if (type == REG_DWORD && bytes.size() == 4) {
    uint32_t v;
    memcpy(&v, bytes.data(), 4);
    return std::to_string(v);
  }
  if (type == REG_QWORD && bytes.size() == 8) {
    uint64_t v;
    memcpy(&v, bytes.data(), 8);
    return std::to_string(v);
  }
  return {};
}

int Usage() {
  fprintf(stderr, "usage: qlwregdump [HKCU|HKLM|HKU|HKCR] KEYPATH\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return Usage();
  const HiveName* hive = &kHives[0];
  std::string path = argv[argc - 1];
  if (argc == 3) {
    hive = nullptr;
    for (const auto& h : kHives)
      if (strcasecmp(argv[1], h.shortName) == 0 || strcasecmp(argv[1], h.longName) == 0) hive = &h;
    if (!hive) return Usage();
  }
  const std::wstring widePath = qlw::FromUtf8(path);
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(hive->key, widePath.c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    if (status == ERROR_FILE_NOT_FOUND)
      fprintf(stderr, "qlwregdump: key %s\\%s does not exist\n", hive->shortName, path.c_str());
    else
      fprintf(stderr, "qlwregdump: cannot open %s\\%s (error %d)\n", hive->shortName, path.c_str(), int(status));
    return 1;
  }
  printf("%s\\%s\n", hive->shortName, path.c_str());
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD chars = 16384;
    if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    if (qlw::RegQueryStoredValue(key, name, &type, &bytes) != ERROR_SUCCESS) continue;
    const std::string shown = chars ? Quoted(std::wstring(name, chars)) : "(default)";
    printf("  %s  %s  %zu bytes ", shown.c_str(), TypeName(type), bytes.size());
    for (BYTE b : bytes) printf(" %02x", b);
    const std::string text = Interpretation(type, bytes);
    if (!text.empty()) printf("  %s", text.c_str());
    printf("\n");
  }
  bool first = true;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD chars = 256;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (first) printf("sub-keys:\n");
    first = false;
    printf("  %s\n", qlw::ToUtf8(std::wstring(name, chars)).c_str());
  }
  RegCloseKey(key);
  return 0;
}
