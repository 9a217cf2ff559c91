// libFuzzer target of the drag's transfer block from another process: the patterns read from it
// are computed as the receiving document would compute them.
#include "DiffractionSettings.h"
#include "QLPatternFlat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QLW_QUIET", "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CQLFlatDrop drop = ReadFlatPatternList(data, size, 0u);
  CDiffractionSettings settings(true);
  settings.m_numProfilePoints = 2000;
  for (const auto& pattern : drop.patterns) {
    try {
      pattern->ApplySettings(settings);
      pattern->GetComputedProfile(settings);
    } catch (...) {
      // The document reports a pattern that cannot be computed and keeps the rest.
    }
  }
  return 0;
}
