// `version-pack MAJOR MINOR BUGFIX STAGE BUILD`: the packed program version in hex and as text.
#include "Probe.h"

#include <cstdio>
#include <cstdlib>

#include "LXUtils.h"

namespace {
// A whole decimal number in [0, max]; anything else would be packed silently into other fields.
bool ParseField(const std::string& text, long max, int& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (v > max) return false;
  out = static_cast<int>(v);
  return true;
}
}  // namespace

static int RunVersionPack(const std::vector<std::string>& args) {
  int major = 0, minor = 0, bugFix = 0, build = 0;
  if (args.size() != 5 || args[3].size() != 1 || !ParseField(args[0], 255, major) ||
      !ParseField(args[1], 255, minor) || !ParseField(args[2], 255, bugFix) || !ParseField(args[4], 63, build)) {
    std::fprintf(stderr, "usage: version-pack MAJOR MINOR BUGFIX STAGE BUILD (0-255 each, BUILD 0-63)\n");
    return 2;
  }
  const uint32_t packed =
      CUtils::PackVersion(major, minor, bugFix, static_cast<wchar_t>(static_cast<unsigned char>(args[3][0])), build);
  CString text;
  CUtils::VersionToString(packed, text);
  std::printf("0x%08X\n%s\n", packed, qlw::ToUtf8(text.GetString()).c_str());
  return 0;
}

QLW_PROBE_COMMAND(version_pack, "version-pack", "MAJOR MINOR BUGFIX STAGE BUILD", RunVersionPack);
