// The pre-version-5 binary crystal file (read only): a big-endian stream of length-prefixed
// records behind a fixed header.
#pragma once

#include "QLCrystalFile.h"

class CQLPre5CrystalFile : public CQLCrystalFile {
 public:
  CQLPre5CrystalFile() : CQLCrystalFile(6) {}

  // First word 72 and magic LXDF with the maker's signature at 11 give type 6; a molecule file
  // (magic LXMF) is refused with its alert.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  void ReadBlock(uint32_t index) override;
  bool IsBigEndian() const override { return true; }

 private:
  bool ReadPre5Header();
  void ReadPre5Sites();
  void ReadPre5Symmetry();
  void ReadPre5Positions();
  void ReadPolygons();
};
