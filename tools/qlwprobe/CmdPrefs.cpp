// `prefs-create`, `prefs-get NAME` and `prefs-set NAME HEX`: the program's preference store in the
// registry that QLW_REGISTRY_DIR names.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Preferences.h"
#include "Probe.h"

namespace {
constexpr wchar_t kPrefsPath[] = L"Software\\Lumaxisworks Software\\Qlw\\Preferences";

std::string Text(const CString& s) { return s.ToUtf8(); }

template <typename T>
bool Scalar(CPrefValue* value, T& out) {
  auto* typed = dynamic_cast<CPrefScalar<T>*>(value);
  if (typed) out = typed->Get();
  return typed != nullptr;
}

// The value as text, by its type.
std::string ValueText(CPrefValue* value) {
  char buffer[160];
  bool b;
  int i;
  unsigned u;
  float f;
  double d;
  LXGraphics::CColor color;
  CRect rect;
  SYSTEMTIME time;
  LXTypes::CPointT<float> point;
  LXTypes::CVectorT<double> vector;
  CString text;
  CPath path;
  LXTypes::QLSimulationType simulation;
  LXTypes::QLProfileType profile;
  LXTypes::QLAxisType axis;
  CQLCrystal::PreferredOrientationType po;
  CQLCrystal::QLVectorType vectorType;
  if (Scalar(value, b)) return b ? "true" : "false";
  if (Scalar(value, i)) return std::to_string(i);
  if (Scalar(value, u)) return std::to_string(u);
  if (Scalar(value, simulation)) return std::to_string(simulation);
  if (Scalar(value, profile)) return std::to_string(profile);
  if (Scalar(value, axis)) return std::to_string(axis);
  if (Scalar(value, po)) return std::to_string(po);
  if (Scalar(value, vectorType)) return std::to_string(vectorType);
  if (Scalar(value, f)) {
    std::snprintf(buffer, sizeof buffer, "%.9g", f);
  } else if (Scalar(value, d)) {
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
  } else if (Scalar(value, color)) {
    std::snprintf(buffer, sizeof buffer, "0x%08X", color.GetValue());
  } else if (Scalar(value, rect)) {
    std::snprintf(buffer, sizeof buffer, "%d %d %d %d", int(rect.left), int(rect.top), int(rect.right),
                  int(rect.bottom));
  } else if (Scalar(value, time)) {
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
  } else if (Scalar(value, point)) {
    std::snprintf(buffer, sizeof buffer, "%.9g %.9g", point.x, point.y);
  } else if (Scalar(value, vector)) {
    std::snprintf(buffer, sizeof buffer, "%.17g %.17g %.17g", vector.x, vector.y, vector.z);
  } else if (Scalar(value, text)) {
    return Text(text);
  } else if (Scalar(value, path)) {
    return Text(path.m_strPath);
  } else {
    std::snprintf(buffer, sizeof buffer, "%zu entries", value->Count());
  }
  return buffer;
}

int RunPrefsCreate(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: qlwprobe prefs-create\n");
    return 2;
  }
  CPreferences::Create(false);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kPrefsPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    std::fprintf(stderr, "qlwprobe: the preferences were not written\n");
    return 1;
  }
  DWORD values = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  std::printf("%u\n", values);
  return 0;
}

int RunPrefsGet(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe prefs-get NAME\n");
    return 2;
  }
  const CString name(args[0].c_str());
  HKEY key = nullptr;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  const bool found = RegOpenKeyExW(HKEY_CURRENT_USER, kPrefsPath, 0, KEY_READ, &key) == ERROR_SUCCESS &&
                     qlw::RegQueryStoredValue(key, name, &type, &bytes) == ERROR_SUCCESS;
  if (key) RegCloseKey(key);
  if (!found) {
    std::fprintf(stderr, "qlwprobe: no stored value '%s'\n", args[0].c_str());
    return 1;
  }
  // A store with defaults only knows each value's type; it is never destroyed, because its
  // destructor would write to the registry that this command only reads.
  auto* store = new CPreferences(true);
  CPrefValue* value = store->FindValue(name);
  if (!value) {
    std::fprintf(stderr, "qlwprobe: '%s' is no preference value\n", args[0].c_str());
    return 1;
  }
  const int read = value->Read();
  for (BYTE b : bytes) std::printf("%02x", b);
  std::printf("\n");
  if (read == CPrefValue::kReadOK)
    std::printf("%s\n", ValueText(value).c_str());
  else
    std::printf("unreadable (%d)\n", read);
  return 0;
}

int RunPrefsSet(const std::vector<std::string>& args) {
  if (args.size() != 2 || args[1].size() % 2 != 0) {
    std::fprintf(stderr, "usage: qlwprobe prefs-set NAME HEX\n");
    return 2;
  }
  std::vector<BYTE> bytes;
  for (size_t i = 0; i < args[1].size(); i += 2) {
    char* end = nullptr;
    const std::string pair = args[1].substr(i, 2);
    const unsigned long b = std::strtoul(pair.c_str(), &end, 16);
    if (end != pair.c_str() + 2) {
      std::fprintf(stderr, "qlwprobe: '%s' is no hexadecimal byte string\n", args[1].c_str());
      return 2;
    }
    bytes.push_back(static_cast<BYTE>(b));
  }
  const CString name(args[0].c_str());
  // Defaults only, to learn the value's type; never destroyed (its destructor writes).
  auto* store = new CPreferences(true);
  CPrefValue* value = store->FindValue(name);
  if (!value) {
    std::fprintf(stderr, "qlwprobe: '%s' is no preference value\n", args[0].c_str());
    return 1;
  }
  const bool text = dynamic_cast<CPrefScalar<CString>*>(value) || dynamic_cast<CPrefScalar<CPath>*>(value);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kPrefsPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "qlwprobe: the preferences key cannot be opened\n");
    return 1;
  }
  const LSTATUS status = RegSetValueExW(key, value->GetName(), 0, text ? REG_SZ : REG_BINARY, bytes.data(),
                                        static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? 0 : 1;
}
}  // namespace

QLW_PROBE_COMMAND(prefs_create, "prefs-create", "", RunPrefsCreate);
QLW_PROBE_COMMAND(prefs_get, "prefs-get", "NAME", RunPrefsGet);
QLW_PROBE_COMMAND(prefs_set, "prefs-set", "NAME HEX", RunPrefsSet);
