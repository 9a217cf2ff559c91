// Entry of the headless probe: dispatches to the registered subcommands.
#include "Probe.h"

#include "FileTypes.h"
#include "LXException.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef QLW_PROBE_WINDOW_PROGRAM
#include <unistd.h>
#endif

namespace qlwprobe {
std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace qlwprobe

// The readers' warnings go to standard error, so that standard output stays the command's own.
static void PrintWarning(const LXLogLine& line) {
  if (!line.coloured) return;
  CString text = line.text;
  // "warning: " says it already.
  if (text.Left(9) == L"Warning: ") text = text.Mid(9);
  std::fprintf(stderr, "warning: %s\n", text.ToUtf8().c_str());
}

static int Usage() {
  std::fprintf(stderr, "usage: qlwprobe COMMAND [ARGS...]\ncommands:\n");
  for (const auto& c : qlwprobe::Commands()) std::fprintf(stderr, "  %s %s\n", c.name, c.usage);
  return 2;
}

#ifdef QLW_PROBE_WINDOW_PROGRAM
// This build holds only the commands that compute from files; the rest, which need the window
// system's libraries, run in the program beside it, so that loading those libraries does not
// slow down every computation.
static bool HasCommand(const char* name) {
  for (const auto& c : qlwprobe::Commands())
    if (std::strcmp(c.name, name) == 0) return true;
  return false;
}

static int RunWindowProgram(char** argv) {
  std::string path(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(n > 0 ? static_cast<size_t>(n) : 0);
  path = path.substr(0, path.rfind('/') + 1) + QLW_PROBE_WINDOW_PROGRAM;
  execv(path.c_str(), argv);
  std::fprintf(stderr, "qlwprobe: cannot start %s\n", path.c_str());
  return 127;
}
#endif

int main(int argc, char** argv) {
#ifdef QLW_PROBE_WINDOW_PROGRAM
  if (argc < 2 || !HasCommand(argv[1])) return RunWindowProgram(argv);
#endif
  if (argc < 2) return Usage();
  InstallFileTypeRecogniser();
  SetLogHandlerWithoutWindow(PrintWarning);
  for (const auto& c : qlwprobe::Commands()) {
    if (std::strcmp(c.name, argv[1]) == 0) {
      std::vector<std::string> args(argv + 2, argv + argc);
      return c.run(args);
    }
  }
  std::fprintf(stderr, "qlwprobe: unknown command '%s'\n", argv[1]);
  return Usage();
}
