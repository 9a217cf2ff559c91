// `read PATH`: every pattern read from a structure file, with its cell, space group and sites.
#include "Probe.h"

#include "FileTypes.h"
#include "QLCrystalFile.h"
#include "QLCrystal.h"
#include "SpaceGroups.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace qlwprobe {
// Reads a file the way the document opens one; false (the error shown on standard error) when it fails.
bool LoadPatterns(const std::string& path, CQLPatternList& list) {
  const CString widePath(path.c_str());
  uint32_t type = IdentifyFileType(widePath.GetString(), true);
  // A damaged file of a known extension goes to its reader, which says what is wrong with it.
  if (type == 0) type = IdentifyFileType(widePath.GetString(), false);
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file && IsMoleculeFileType(type)) {
    CLXXFileNoMoleculeDiffract(kLXSeverityMessage, 0, __LINE__).Report();
    return false;
  }
  if (!file) {
    if (!std::filesystem::exists(path)) {
      CLXXFileNotOpen(kLXSeverityMessage, 0, __LINE__).Report();
    } else {
      std::fprintf(stderr, "qlwprobe: %s: file type %u cannot be read\n", path.c_str(), type);
    }
    return false;
  }
  // A file that does not open is reported by ReadFile itself.
  file->Open(widePath.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite);
  return file->ReadFile(&list, nullptr, nullptr);
}
}  // namespace qlwprobe

static int RunRead(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe read PATH\n");
    return 2;
  }
  CQLPatternList list;
  if (!qlwprobe::LoadPatterns(args[0], list)) return 1;
  for (const auto& pattern : list) {
    const CQLCrystal* c = pattern->GetCrystal();
    std::printf("pattern: %s\n", qlw::ToUtf8(pattern->m_title.GetString()).c_str());
    if (!c) continue;
    std::printf("cell: %.6f %.6f %.6f %.4f %.4f %.4f\n", c->m_a, c->m_b, c->m_c, c->m_alpha, c->m_beta, c->m_gamma);
    const int row = FindSpaceGroupIndex(c->m_spaceGroupSymbol, c->m_originChoice);
    std::printf("space group: %s (%d)\n", qlw::ToUtf8(c->m_spaceGroupSymbol.GetString()).c_str(),
                row >= 0 ? g_SpaceGroupTable[row].number : 0);
    for (const CQLSite& site : c->m_sites) {
      std::string species;
      for (const CSiteSpecies& s : site.m_species) {
        char part[64];
        std::snprintf(part, sizeof part, "%s%s:%.4f", species.empty() ? "" : " ", qlw::ToUtf8(s.m_name.GetString()).c_str(),
                      s.m_occupancy);
        species += part;
      }
      std::printf("site: %s [%s] %.6f %.6f %.6f positions %zu\n", qlw::ToUtf8(site.m_label.GetString()).c_str(),
                  species.c_str(), site.m_x, site.m_y, site.m_z, site.m_positions.size());
    }
  }
  return 0;
}

QLW_PROBE_COMMAND(read, "read", "PATH", RunRead);
