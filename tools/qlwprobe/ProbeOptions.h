// What the probe's computing commands share: the radiation and wavelength options, and the
// structure picked from an input file.
#pragma once

#include "DiffractionSettings.h"
#include "QLPattern.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace qlwprobe {
bool LoadPatterns(const std::string& path, CQLPatternList& list);

// The simulation type a --radiation word names; false for a word it does not know.
inline bool SetRadiation(const std::string& word, CDiffractionSettings& settings) {
  if (word == "xray")
    settings.m_simulationType = LXTypes::kSimXRays;
  else if (word == "neutron")
    settings.m_simulationType = LXTypes::kSimNeutrons;
  else if (word == "electron")
    settings.m_simulationType = LXTypes::kSimElectrons;
  else
    return false;
  return true;
}

// A --lambda given (above zero) is the wavelength of the radiation chosen.
inline void SetLambda(double lambda, CDiffractionSettings& settings) {
  if (lambda > 0) (settings.m_simulationType == LXTypes::kSimElectrons ? settings.m_lambdaTEM : settings.m_lambda) = lambda;
}

// Pattern number `block` (from 1) of the file; null, the reason on standard error, when there is none.
inline CQLPatternPtr LoadBlock(const std::string& path, size_t block) {
  CQLPatternList list;
  if (!LoadPatterns(path, list)) return nullptr;
  if (block < 1 || block > list.size()) {
    std::fprintf(stderr, "qlwprobe: %s has %zu structure(s); no block %zu\n", path.c_str(), list.size(), block);
    return nullptr;
  }
  return *std::next(list.begin(), static_cast<long>(block - 1));
}
}  // namespace qlwprobe
