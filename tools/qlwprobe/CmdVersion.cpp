// `version`: the program's name and version.
#include "Probe.h"

#include <cstdio>

static int RunVersion(const std::vector<std::string>&) {
  std::printf("Quillonographic %s\n", QLW_VERSION_TEXT);
  return 0;
}

QLW_PROBE_COMMAND(version, "version", "", RunVersion);
