// Helpers of the structure-writer tests: reading a file as the document does, writing a pattern.
#pragma once

#include "FileTypes.h"
#include "FilesTestUtil.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"

#include <memory>
#include <string>

namespace filestest {
// Every structure in the file, through the recogniser and the factory; false when reading failed.
inline bool ReadStructures(const std::string& path, CQLPatternList& list) {
  const std::wstring wide = Wide(path);
  const uint32_t type = IdentifyFileType(wide.c_str(), true);
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file || !file->Open(wide.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return false;
  return file->ReadFile(&list, nullptr, nullptr);
}

// The pattern written with the writer of the type code; false when writing failed.
inline bool WriteStructure(const std::string& path, uint32_t type, const CQLPatternPtr& pattern) {
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file || !file->Open(Wide(path).c_str(), CLXFile::modeCreate | CLXFile::modeWrite)) return false;
  CQLPatternList source{pattern};
  const bool written = file->WriteFile(&source, nullptr, nullptr);
  file->Close();
  return written;
}

// A new crystal pattern with the cell and symbol given and no sites.
inline std::shared_ptr<CQLCrystalPattern> MakeCrystal(double a, double b, double c, double alpha, double beta,
                                                     double gamma, const wchar_t* symbol, int originChoice = 0) {
  auto pattern = std::make_shared<CQLCrystalPattern>();
  CQLCrystal& x = *pattern->GetCrystal();
  x.m_a = a, x.m_b = b, x.m_c = c;
  x.m_alpha = alpha, x.m_beta = beta, x.m_gamma = gamma;
  x.m_spaceGroupSymbol = symbol;
  x.m_originChoice = originChoice;
  x.m_latticeLetter = static_cast<char>(symbol[0]);
  x.ComputeMetrics();
  return pattern;
}

inline CQLSite& AddSite(CQLCrystal& c, const wchar_t* label, const wchar_t* element, double x, double y, double z,
                        double occupancy = 1.0) {
  CQLSite site;
  site.m_label = label;
  site.m_species.emplace_back(element, occupancy);
  site.m_x = x, site.m_y = y, site.m_z = z;
  c.m_sites.push_back(std::move(site));
  return c.m_sites.back();
}

inline const CQLCrystal& FirstCrystal(const CQLPatternList& list) { return *list.front()->GetCrystal(); }

inline const CQLSite* FindSite(const CQLCrystal& c, const wchar_t* label) {
  for (const CQLSite& s : c.m_sites)
    if (s.m_label == label) return &s;
  return nullptr;
}
}  // namespace filestest
