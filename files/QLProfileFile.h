// Profile files: one pattern's plotted profile written as x-intensity lines, and read back as an
// observed pattern. The reflexion and structure-factor listings are in QLListingFile.h.
#pragma once

#include "QLDatasetFile.h"

LX_DECLARE_EXCEPTION(CLXXFileProfileTooFewPoints, CLXXQLFile, 22843);

// Read exactly as a data set, under a progress frame of its own.
class CQLProfileFile : public CQLDatasetFile {
 public:
  CQLProfileFile() { m_fileType = 13; }

  // Accepts a file whose first two lines hold two numbers each, or whose first line is the
  // header "x intensity" (or "x" and a quoted name) and whose second line holds two numbers.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  bool CanWrite() const override { return true; }
  bool WriteFile(CQLPatternList* source, CDiffractionSettings* settings, CQlwDocWindowState* windowState) override;
  void ReadBlock(uint32_t index) override;
  // The first pattern of the write source, within the visible x range, as the plot shows it.
  void WriteBlock(uint32_t index) override;
};
