// `convert IN OUT [--block N]`: one structure of IN written by the program's own writer in the
// format that OUT's extension names.
#include "Probe.h"

#include "FileTypes.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace qlwprobe {
bool LoadPatterns(const std::string& path, CQLPatternList& list);
}

static int ConvertUsage() {
  std::fprintf(stderr, "usage: qlwprobe convert IN OUT [--block N]   (OUT ends in .cif or .lxtx)\n");
  return 2;
}

static int RunConvert(const std::vector<std::string>& args) {
  if (args.size() != 2 && args.size() != 4) return ConvertUsage();
  size_t block = 1;
  if (args.size() == 4) {
    if (args[2] != "--block") return ConvertUsage();
    char* end = nullptr;
    block = std::strtoul(args[3].c_str(), &end, 10);
    if (end == args[3].c_str() || *end) return ConvertUsage();
  }
  const CString out(args[1].c_str());
  CString extension;
  GetPathExtension(out.GetString(), extension);
  uint32_t type = 0;
  if (extension.CompareNoCase(L".cif") == 0) type = kFileTypeCIF;
  if (extension.CompareNoCase(L".lxtx") == 0) type = kFileTypeLXTX;
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file || !file->CanWrite()) {
    std::fprintf(stderr, "qlwprobe: %s: the extension names no structure format that can be written\n", args[1].c_str());
    return 1;
  }
  CQLPatternList list;
  if (!qlwprobe::LoadPatterns(args[0], list)) return 1;
  if (block < 1 || block > list.size()) {
    std::fprintf(stderr, "qlwprobe: %s has %zu structure(s); no block %zu\n", args[0].c_str(), list.size(), block);
    return 1;
  }
  CQLPatternList source{*std::next(list.begin(), static_cast<long>(block - 1))};
  // A file that does not open is reported by WriteFile itself.
  file->Open(out.GetString(), CLXFile::modeCreate | CLXFile::modeWrite);
  const bool written = file->WriteFile(&source, nullptr, nullptr);
  file->Close();
  return written ? 0 : 1;
}

QLW_PROBE_COMMAND(convert, "convert", "IN OUT [--block N]", RunConvert);
