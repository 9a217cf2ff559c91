// The headless probe's subcommand table; each subcommand registers itself from its own file.
#pragma once
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class CQlwDoc;

namespace qlwprobe {
// args: the words after the subcommand's name. Returns the process exit code.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;
  CommandFn run;
};

std::vector<Command>& Commands();

// The pattern tree, one line per pattern ("DEPTH KIND TITLE shown|hidden", " selected" added when
// asked), then the plot ranges and the x axis, as `doc` prints a document.
std::vector<std::string> DocumentLines(CQlwDoc& doc, bool marksSelected);

// The process ends once its command returns: what a command read is left to the system then,
// not freed piece by piece (a large structure's sites took a tenth of a read to free).
template <class T>
void KeepUntilExit(T&& value) {
  new std::decay_t<T>(std::move(value));
}

struct Registrar {
  Registrar(const char* name, const char* usage, CommandFn run) { Commands().push_back({name, usage, run}); }
};
}  // namespace qlwprobe

#define QLW_PROBE_COMMAND(ident, name, usage, fn) \
  static const ::qlwprobe::Registrar ident##_registrar(name, usage, fn)
