// `data PATH`: an observed-data file's type code, its number of points and its first and last
// points, one per line.
#include "Probe.h"

#include "FileTypes.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace qlwprobe {
bool LoadPatterns(const std::string& path, CQLPatternList& list);
}  // namespace qlwprobe

namespace {
// The values are read in single precision: the shortest text that gives the same float back.
std::string Number(double v) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, static_cast<float>(v));
  return std::string(text, result.ptr);
}
}  // namespace

static int RunData(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe data PATH\n");
    return 2;
  }
  const CString path(args[0].c_str());
  uint32_t type = IdentifyFileType(path.GetString(), true);
  if (type == 0) type = IdentifyFileType(path.GetString(), false);
  CQLPatternList list;
  if (!qlwprobe::LoadPatterns(args[0], list)) return 1;
  if (list.empty() || list.front()->GetPatternType() != kPatternObserved) {
    std::fprintf(stderr, "qlwprobe: %s: not an observed-data file (type %u)\n", args[0].c_str(), type);
    return 1;
  }
  const CQLProfile& points = list.front()->GetProfile(true);
  std::printf("%u\n%zu\n", type, points.size());
  if (!points.empty()) {
    std::printf("%s %s\n", Number(points.front().x).c_str(), Number(points.front().y).c_str());
    std::printf("%s %s\n", Number(points.back().x).c_str(), Number(points.back().y).c_str());
  }
  return 0;
}

QLW_PROBE_COMMAND(data, "data", "PATH", RunData);
