// The text crystal format (lxtx): four-character cards, one structure a file, read and written.
#pragma once

#include "LXStdioFile.h"
#include "SymmetryOperator.h"

#include <string>
#include <unordered_map>
#include <vector>

class CQLCrystal;

LX_DECLARE_EXCEPTION(CLXXFileTextAnisoParams, CLXXQLFile, 22861);
LX_DECLARE_EXCEPTION(CLXXFileTextInvalidSiteOcc, CLXXQLFile, 22862);
LX_DECLARE_EXCEPTION(CLXXFileTextIsoParams, CLXXQLFile, 22863);
LX_DECLARE_EXCEPTION(CLXXFileTextLowercaseCard, CLXXQLFile, 22864);
LX_DECLARE_EXCEPTION(CLXXFileTextNoLatticeParams, CLXXQLFile, 22865);
LX_DECLARE_EXCEPTION(CLXXFileConversionErr, CLXXFile, 21087);

class CQLLXTXFile : public CLXStdioFile<CQlwFile> {
 public:
  CQLLXTXFile();
  ~CQLLXTXFile() override;

  // Content test of the recogniser: a plausible cell and atom line, or a molecule card.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  void ReadBlock(uint32_t index) override;
  void WriteBlock(uint32_t index) override;
  bool CanRead() const override { return true; }
  bool CanWrite() const override { return true; }

  uint32_t WarningCount() const { return m_warnings; }

 private:
  std::vector<CSymmetryOperator> m_operators;  // from SYMM cards, primitive part
  int32_t m_latticeLetter = 0;
  bool m_hasSpaceGroup = false;
  bool m_molecule = false;
  bool m_hasCell = false;
  CQLCrystal* m_crystal = nullptr;
  // Sites by the label their atom line gave, and by the label they were given; records name
  // a site by either (the first site of a label wins).
  std::unordered_map<std::wstring, size_t> m_siteByFileLabel;
  std::unordered_map<std::wstring, size_t> m_siteByLabel;

  bool HandleCard(const std::string& card, const std::string& text);
  bool HandleCell(const std::string& text);
  bool HandleLattice(const std::string& text);
  bool HandleSymmetry(const std::string& text);
  bool HandleOriginShift(const std::string& text);
  void ReadAtoms();
  void ReadOccupancies();
  void ReadDisplacements(const std::string& card);
  void FinishSymmetry();
  // The next data line of a block; false at the end of the file or at the next card, which is
  // left for the main loop.
  bool NextBlockLine(std::string& line);
  // The site a record names, or -1.
  long FindSite(const std::string& label) const;

  template <typename... Args>
  void Warn(UINT stringId, const Args&... args) {
    LogStringColor(stringId, 0xFFFF0000u, args...);
    ++m_warnings;
  }
};
