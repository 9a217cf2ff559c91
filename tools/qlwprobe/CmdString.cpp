// `string ID`: prints the string-table entry ID exactly, followed by a newline.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Probe.h"
#include "Resources.h"

static int RunString(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe string ID\n");
    return 2;
  }
  const std::string& word = args[0];
  char* end = nullptr;
  errno = 0;
  unsigned long id = std::strtoul(word.c_str(), &end, 10);
  if (word.empty() || word[0] < '0' || word[0] > '9' || *end || errno || id > 0xFFFFFFFFul) {
    std::fprintf(stderr, "qlwprobe string: '%s' is not a string id\n", word.c_str());
    return 1;
  }
  CString text;
  if (!LoadString(static_cast<UINT>(id), text)) {
    std::fprintf(stderr, "qlwprobe string: no string with id %lu\n", id);
    return 1;
  }
  std::string utf8 = text.ToUtf8();
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

QLW_PROBE_COMMAND(string, "string", "ID", RunString);
