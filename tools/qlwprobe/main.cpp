// Entry of the headless probe: dispatches to the registered subcommands.
#include "Probe.h"

#include "FileTypes.h"

#include <cstdio>
#include <cstring>

namespace qlwprobe {
std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace qlwprobe

static int Usage() {
  std::fprintf(stderr, "usage: qlwprobe COMMAND [ARGS...]\ncommands:\n");
  for (const auto& c : qlwprobe::Commands()) std::fprintf(stderr, "  %s %s\n", c.name, c.usage);
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  InstallFileTypeRecogniser();
  for (const auto& c : qlwprobe::Commands()) {
    if (std::strcmp(c.name, argv[1]) == 0) {
      std::vector<std::string> args(argv + 2, argv + argc);
      return c.run(args);
    }
  }
  std::fprintf(stderr, "qlwprobe: unknown command '%s'\n", argv[1]);
  return Usage();
}
