// `read PATH`: every pattern read from a structure file, with its cell, space group and sites.
#include "Probe.h"

#include "FixedText.h"

#include "FileTypes.h"
#include "QLCrystalFile.h"
#include "QLCrystal.h"
#include "SpaceGroups.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
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

namespace {
// A label or a species name in UTF-8.
void AppendUtf8(std::string& text, const CString& value) {
  qlw::AppendUtf8(text, std::wstring_view(value.GetString(), static_cast<size_t>(value.GetLength())));
}

constexpr size_t kFlushBytes = 1 << 16;
}  // namespace

static int RunRead(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe read PATH\n");
    return 2;
  }
  CQLPatternList list;
  if (!qlwprobe::LoadPatterns(args[0], list)) return 1;
  std::string text;
  text.reserve(2 * kFlushBytes);
  for (const auto& pattern : list) {
    const CQLCrystal* c = pattern->GetCrystal();
    text += "pattern: " + qlw::ToUtf8(pattern->m_title.GetString()) + "\n";
    if (!c) continue;
    char line[512];
    std::snprintf(line, sizeof line, "cell: %.6f %.6f %.6f %.4f %.4f %.4f\n", c->m_a, c->m_b, c->m_c, c->m_alpha,
                  c->m_beta, c->m_gamma);
    text += line;
    const int row = FindSpaceGroupIndex(c->m_spaceGroupSymbol, c->m_originChoice);
    std::snprintf(line, sizeof line, "space group: %s (%d)\n", qlw::ToUtf8(c->m_spaceGroupSymbol.GetString()).c_str(),
                  row >= 0 ? g_SpaceGroupTable[row].number : 0);
    text += line;
    const std::vector<CQLSite>& sites = c->m_sites;
    for (size_t n = 0; n < sites.size(); ++n) {
      const CQLSite& site = sites[n];
      // Sorted by label, the sites' labels and species lie all over the heap: those a few sites
      // on are asked for now, so that the listing does not wait for each in turn.
      constexpr size_t kAhead = 8;
      if (n + kAhead < sites.size()) {
        __builtin_prefetch(sites[n + kAhead].m_label.GetString());
        __builtin_prefetch(sites[n + kAhead].m_species.data());
      }
      if (text.size() > kFlushBytes) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        text.clear();
      }
      text += "site: ";
      AppendUtf8(text, site.m_label);
      text += " [";
      for (size_t i = 0; i < site.m_species.size(); ++i) {
        const CSiteSpecies& s = site.m_species[i];
        if (i) text += ' ';
        AppendUtf8(text, s.m_name);
        text += ':';
        qlwprobe::AppendFixed(text, s.m_occupancy, 4);
      }
      text += "] ";
      qlwprobe::AppendFixed(text, site.m_x, 6);
      text += ' ';
      qlwprobe::AppendFixed(text, site.m_y, 6);
      text += ' ';
      qlwprobe::AppendFixed(text, site.m_z, 6);
      text += " positions ";
      char count[24];
      text.append(count, std::to_chars(count, count + sizeof count, site.m_positions.size()).ptr);
      text += '\n';
    }
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  qlwprobe::KeepUntilExit(std::move(list));
  return 0;
}

QLW_PROBE_COMMAND(read, "read", "PATH", RunRead);
