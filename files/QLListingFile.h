// Reflexion listings and structure-factor listings: one crystal pattern's reflexion table as
// fixed-width text for people to read. They have no reader. The profile file is in QLProfileFile.h.
#pragma once

#include "LXStdioFile.h"

#include <cstdio>

// A listing that would hold no reflexion at all.
LX_DECLARE_EXCEPTION(CLXXFileNoReflexions, CLXXQLFile, 22879);

// The heading of the program's text listings: a row of asterisks, the title and a blank line
// when there is one, and a line naming the program and its version.
void WriteListingBanner(FILE* stream, const CString& title);

// v rounded to n decimals, halves away from zero.
double RoundToDecimals(double v, int n);
// A structure-factor phase in radians as degrees in [0, 360), rounded to 3 decimals.
double PhaseInDegrees(double radians);

// Common form of both listings: the heading once per file object, then the table of the
// write source's i-th pattern when that is a crystal pattern.
class CQLReflexionTableFile : public CLXStdioFile<CQlwFile> {
 public:
  bool CanRead() const override { return false; }
  bool CanWrite() const override { return true; }
  bool ReadFile(CQLPatternList*, CDiffractionSettings*, CQlwDocWindowState*) override { return true; }
  bool WriteFile(CQLPatternList* source, CDiffractionSettings* settings, CQlwDocWindowState* windowState) override;
  void ReadBlock(uint32_t) override {}
  void WriteBlock(uint32_t index) override;

 protected:
  virtual UINT ProgressStringId() const = 0;
  virtual void WriteTable(const class CQLCrystal& crystal) = 0;

  bool m_bannerWritten = false;
};

class CQLListingFile : public CQLReflexionTableFile {
 public:
  CQLListingFile() { m_fileType = 14; }

 protected:
  UINT ProgressStringId() const override { return 3730; }
  void WriteTable(const CQLCrystal& crystal) override;
};

class CQLStructFacFile : public CQLReflexionTableFile {
 public:
  CQLStructFacFile() { m_fileType = 15; }

 protected:
  UINT ProgressStringId() const override { return 3732; }
  void WriteTable(const CQLCrystal& crystal) override;
};
