// The version file's GET, from the module beside the program (fetch/), loaded on the first check
// rather than at every start; and the platform's description for the request.
#include <dlfcn.h>

#include <QString>
#include <QStringList>
#include <QSysInfo>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "NetworkFetch.h"
#include "UpdateCheck.h"

namespace {
// Beside the program's own file first, then wherever the loader looks.
QlwFetchGet FetchEntry() {
  static const QlwFetchGet entry = []() -> QlwFetchGet {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    void* module = nullptr;
    if (!error) module = dlopen((self.parent_path() / kQlwFetchModule).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) module = dlopen(kQlwFetchModule, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      std::fprintf(stderr, "update check: %s\n", dlerror());
      return nullptr;
    }
    void* symbol = dlsym(module, kQlwFetchEntry);
    QlwFetchGet entry = nullptr;
    static_assert(sizeof entry == sizeof symbol);
    std::memcpy(&entry, &symbol, sizeof entry);  // a function pointer from dlsym's object pointer
    return entry;
  }();
  return entry;
}
}  // namespace

namespace LXUpdateCheckQt {
Fetch Get(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers, std::string& body) {
  body.clear();
  const QlwFetchGet get = FetchEntry();
  if (!get) return Fetch::Failed;
  std::vector<const char*> pairs;
  for (const auto& [name, value] : headers) {
    pairs.push_back(name.c_str());
    pairs.push_back(value.c_str());
  }
  switch (get(url.c_str(), pairs.data(), headers.size(), CUpdateCheck::kStallTimeoutMs, CUpdateCheck::kMaxFileBytes,
              &body)) {
    case kQlwFetchOk: return Fetch::Ok;
    case kQlwFetchNotConnected: return Fetch::NotConnected;
    case kQlwFetchTooLarge: return Fetch::TooLarge;
    default: return Fetch::Failed;
  }
}

std::string PlatformDescription() {
  const QString kernel = QSysInfo::kernelVersion();
  const QStringList parts = kernel.split(QLatin1Char('.'));
  const int major = parts.size() > 0 ? parts[0].toInt() : 0;
  const int minor = parts.size() > 1 ? parts[1].toInt() : 0;
  const int build = parts.size() > 2 ? parts[2].section(QLatin1Char('-'), 0, 0).toInt() : 0;
  char text[256];
  std::snprintf(text, sizeof text, "%s:%.1d.%.1d:%d:%d", QSysInfo::prettyProductName().toStdString().c_str(), major, minor,
                0, build);
  return text;
}
}  // namespace LXUpdateCheckQt
