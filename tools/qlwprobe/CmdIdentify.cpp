// `identify PATH`: the file-type code of a file, from its extension and content.
#include "Probe.h"

#include "FileTypes.h"

#include <cstdio>

static int RunIdentify(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe identify PATH\n");
    return 2;
  }
  std::printf("%u\n", IdentifyFileType(CString(args[0].c_str()).GetString(), true));
  return 0;
}

QLW_PROBE_COMMAND(identify, "identify", "PATH", RunIdentify);
