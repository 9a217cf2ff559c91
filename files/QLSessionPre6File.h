// The legacy session file (read only): big-endian tagged records whose pattern, plot and window
// groups end with closing tags. The current session file is in QLSessionFile.h.
#pragma once

#include "QLSessionFile.h"

#include <vector>

class CQLMixturePattern;

class CQLSessionPre6File : public CQlwFile {
 public:
  CQLSessionPre6File() { m_fileType = 11; }

  // The first tag QLSF and a text beginning with the program's name; current sessions pass too,
  // so the recogniser asks the current session test first.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  bool CanRead() const override { return true; }
  bool CanWrite() const override { return false; }
  bool IsBigEndian() const override { return true; }
  void ReadBlock(uint32_t index) override;
  void WriteBlock(uint32_t) override {}
  bool WriteFile(CQLPatternList*, CDiffractionSettings*, CQlwDocWindowState*) override { return true; }

  uint32_t ProgramVersion() const { return m_programVersion; }
  uint32_t FormatVersion() const { return m_formatVersion; }
  bool IsFromWindows() const { return m_platform != 0; }
  // Values the reader could not use and replaced, each with a warning in the log.
  uint32_t WarningCount() const { return m_warnings; }

 private:
  // The style of a pattern or of a mixture built at the end: colour and the style pair.
  struct Style {
    uint32_t color = 0xFF000000u;
    uint16_t s = 0, p = 0;
  };

  void ReadHeader();
  // Sub-records up to the bare closing tag; handler(tag, length) reads one it knows and answers
  // true. A record may not take more than its length; what it leaves is skipped.
  template <class Handler>
  void ReadGroup(uint32_t closingTag, Handler&& handler);
  void ReadWindowGroup(CQlwDocWindowState& state);
  void ReadPlotGroup(CDiffractionSettings& settings);
  CQLPatternPtr ReadPatternGroup();
  bool ReadCrystalRecord(uint32_t tag, uint32_t length, CQLPattern& pattern);
  void ReadSites(uint32_t length, CQLCrystal& crystal);
  void ReadPositions(uint32_t length, CQLCrystal& crystal);
  void ReadDisplacements(uint32_t length, CQLCrystal& crystal);
  Style ReadStyle(uint32_t length);
  // Symbol and origin choice of the first table group whose expansion gives the sites' positions.
  void IdentifySpaceGroup(CQLCrystal& crystal, bool symbolGiven);
  void GatherIntoMixtures(CQLPatternList& list, std::vector<CQLPatternPtr>& read);
  void Need(uint64_t bytes, uint64_t length, uint64_t used);

  CString m_windowTitle;
  bool m_mixtureFlag = false;
  bool m_overlayShown = false;
  uint32_t m_overlayLineStyle = 2;
  std::vector<uint64_t> m_positionCounts;
  Style m_simulatedStyle, m_observedStyle;
};

// The style table of legacy files: s and p give line style, marker style and fill; s = 9 also
// makes the colour half transparent.
void ApplyLegacyStyle(CQLPattern& pattern, uint32_t color, uint16_t s, uint16_t p);
