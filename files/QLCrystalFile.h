// The binary crystal file (current and version-5/6 forms, read only): header, tagged chunks and
// chunk map. The pre-version-5 form is in QLPre5CrystalFile.h.
#pragma once

#include "QlwFile.h"

#include <cstdint>
#include <map>
#include <vector>

class CQLCrystal;

LX_DECLARE_EXCEPTION(CLXXFileBadADP, CLXXQLFile, 22829);
LX_DECLARE_EXCEPTION(CLXXFileNumAtomsErr, CLXXQLFile, 22839);
LX_DECLARE_EXCEPTION(CLXXFileNumAtomsPerSiteErr, CLXXQLFile, 22840);
LX_DECLARE_EXCEPTION(CLXXFileNumEllipsoidsErr, CLXXQLFile, 22841);

// Four-character code with the first character in the most significant byte.
constexpr uint32_t QLTag(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

class CQLCrystalFile : public CQlwFile {
 public:
  CQLCrystalFile();
  explicit CQLCrystalFile(uint32_t fileType);
  ~CQLCrystalFile() override;

  // Magic LXDF gives 1, LXD5 4, LXMF 2, LXM5 5; true only for the crystal forms.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);

  // One new crystal pattern, appended only when the whole file was read.
  bool ReadFile(CQLPatternList* target, CDiffractionSettings* settings, CQlwDocWindowState* windowState) override;
  void ReadBlock(uint32_t index) override;
  void WriteBlock(uint32_t) override {}
  bool IsBigEndian() const override { return m_formatVersion < 9; }

  uint32_t PackedVersion() const { return m_programVersion; }
  uint32_t FormatVersion() const { return m_formatVersion; }
  bool IsFromWindows() const { return m_fromWindows; }
  const CString& VersionText() const { return m_versionText; }

 protected:
  struct Chunk {
    uint64_t offset = 0;  // of the tag
    uint64_t length = 0;  // of the data after the tag
    bool listed = false;  // the chunk map gave its offset
  };

  void ReadHeader();
  void ReadChunkMap();
  // The CRC check of the trailer where the format puts it: right after the chunk map.
  bool CheckTrailer();
  void ReadCell();
  void ReadSymmetry();
  void ReadSites(bool version7);
  void ReadPositions7();
  void ReadPositionsOld();
  void ReadDisplacements();

  // Starts a site list: the crystal's sites and the position counts are cleared.
  void ClearSites();
  // Throws CLXXFileInvalid unless count records of at least recordSize bytes fit before m_limit,
  // so no count from the file makes the reader allocate or read beyond its chunk.
  void NeedRecords(uint64_t count, uint64_t recordSize);
  uint64_t LimitRemaining() const;
  // Opens an old-style position chunk: the sites' positions cleared, the number of records per
  // site read. expected is the number of positions the sites ask for; none at all is an error.
  std::vector<uint16_t> ReadPositionRecordCounts(int emptyLine, uint64_t& expected);

  CQLCrystal* m_crystal = nullptr;
  std::vector<uint64_t> m_positionCounts;
  CString m_versionText;
  bool m_headerRead = false;
  bool m_fromWindows = false;
  uint64_t m_mapOffset = 0;
  uint64_t m_dataStart = 0;
  uint64_t m_limit = 0;  // end of the chunk or record being read
  std::map<uint32_t, Chunk> m_chunks;
};

// Row-major symmetric tensor from its six terms in the binary formats' order 11, 22, 33, 23, 13, 12.
void TensorFromBinaryOrder(const float terms[6], double out[9]);

// A valid element code, or the unknown code 0x3F3F.
uint16_t CheckedElementCode(uint16_t code, bool normalise);
