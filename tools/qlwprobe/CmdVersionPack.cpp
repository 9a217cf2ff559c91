// `version-pack MAJOR MINOR BUGFIX STAGE BUILD`: the packed program version in hex and as text.
#include "Probe.h"

#include <cstdio>
#include <cstdlib>

#include "LXUtils.h"

static int RunVersionPack(const std::vector<std::string>& args) {
  if (args.size() != 5 || args[3].size() != 1) {
    std::fprintf(stderr, "usage: version-pack MAJOR MINOR BUGFIX STAGE BUILD\n");
    return 2;
  }
  const int major = std::atoi(args[0].c_str()), minor = std::atoi(args[1].c_str());
  const int bugFix = std::atoi(args[2].c_str()), build = std::atoi(args[4].c_str());
  const uint32_t packed =
      CUtils::PackVersion(major, minor, bugFix, static_cast<wchar_t>(static_cast<unsigned char>(args[3][0])), build);
  CString text;
  CUtils::VersionToString(packed, text);
  std::printf("0x%08X\n%s\n", packed, qlw::ToUtf8(text.GetString()).c_str());
  return 0;
}

QLW_PROBE_COMMAND(version_pack, "version-pack", "MAJOR MINOR BUGFIX STAGE BUILD", RunVersionPack);
