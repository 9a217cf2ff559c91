// The Rigaku data file: a keyword header, then intensities on an even x grid.
#pragma once

#include "QLDatasetFile.h"

// "*START", "*STOP", "*STEP" and "*COUNT" in the header, then intensities separated by commas
// up to "*END"; the x values run from the start by the step.
class CQLRigakuFile : public CQLObservedDataFile {
 public:
  CQLRigakuFile();

  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  void ReadBlock(uint32_t index) override;
};
