// Measured x–y data brought in as observed patterns: the plain data set of two numbers a line,
// and the base it shares with the Rigaku file (QLRigakuFile.h).
#pragma once

#include "LXStdioFile.h"

#include <memory>
#include <string>

class CQLObservedPattern;

LX_DECLARE_EXCEPTION(CLXXFileNoData, CLXXQLFile, 22837);
LX_DECLARE_EXCEPTION(CLXXFileRigakuBadCount, CLXXQLFile, 22844);
LX_DECLARE_EXCEPTION(CLXXFileRigakuBadRange, CLXXQLFile, 22845);
LX_DECLARE_EXCEPTION(CLXXFileRigakuBadStart, CLXXQLFile, 22846);
LX_DECLARE_EXCEPTION(CLXXFileRigakuBadStep, CLXXQLFile, 22847);
LX_DECLARE_EXCEPTION(CLXXFileRigakuBadStop, CLXXQLFile, 22848);
LX_DECLARE_EXCEPTION(CLXXFileRigakuDataset, CLXXQLFile, 22849);
LX_DECLARE_EXCEPTION(CLXXFileRigakuBadYValue, CLXXQLFile, 22850);

// The common part: the observed pattern under construction and the line reader.
class CQLObservedDataFile : public CLXStdioFile<CQlwFile> {
 public:
  CQLObservedDataFile();
  ~CQLObservedDataFile() override;

  bool CanRead() const override { return true; }
  bool CanWrite() const override { return false; }
  void WriteBlock(uint32_t) override {}

 protected:
  // One line without its end: LF, CR (with an LF after it), a zero byte or the end of the file
  // end it, and at most 255 characters are kept. False at the end of the file with nothing read.
  bool ReadDataLine(std::string& line);
  // Whether the file's start reads as text: no zero byte, and not mostly bytes that text does
  // not hold (control characters, bytes outside any UTF-8 sequence). Reads from the start and
  // leaves the position there.
  bool StartsAsText();

  bool m_zeroByteSeen = false;  // ReadDataLine met a zero byte
  // Makes the pattern of the points read, named after the file, awaiting the document's settings.
  void MakePattern(CQLProfile points);
  // Hands the pattern to the read target.
  void AppendPattern();

  std::unique_ptr<CQLObservedPattern> m_pattern;
};

// Two numbers a line; every other line (header, comment, blank) is passed over.
class CQLDatasetFile : public CQLObservedDataFile {
 public:
  CQLDatasetFile();

  // Accepts the file at its first line that starts with two numbers.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  bool ReadFile(CQLPatternList* target, CDiffractionSettings* settings, CQlwDocWindowState* windowState) override;
  bool WriteFile(CQLPatternList*, CDiffractionSettings*, CQlwDocWindowState*) override { return true; }
  void ReadBlock(uint32_t index) override;
};
