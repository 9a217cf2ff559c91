#include "QLPre5CrystalFile.h"

#include "LXUtils.h"
#include "QLCrystal.h"
#include "Status.h"

#include <cstring>

namespace {
constexpr uint32_t kLXDF = QLTag("LXDF"), kLXMF = QLTag("LXMF");
constexpr int32_t kHeaderLength = 72;
}  // namespace

bool CQLPre5CrystalFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLPre5CrystalFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    file.Seek(0, begin);
    const int32_t first = file.ReadInt32BigEndian();
    const auto magic = static_cast<uint32_t>(file.ReadInt32BigEndian());
    if (first != kHeaderLength) return false;
    if (magic == kLXMF) {
      CLXXFileNoMoleculeDiffract(kLXSeverityMessage, 0, 366).Report();
      return false;
    }
    if (magic != kLXDF) return false;
    typeCode = 6;
    char signature[12];
    file.Seek(11, begin);
    file.ReadExact(12, signature);
    return std::memcmp(signature, "LUMAXISWORKS", 12) == 0;
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

bool CQLPre5CrystalFile::ReadPre5Header() {
  Seek(0, begin);
  ReadInt32BigEndian();
  const auto magic = static_cast<uint32_t>(ReadInt32BigEndian());
  for (int i = 0; i < 4; ++i) m_fourCC[i] = char(magic >> (24 - 8 * i));
  if (magic != kLXDF) return false;
  Seek(76, begin);
  ReadInt32();
  wchar_t text[11];
  ReadMacString(10, text);
  m_versionText = text;
  m_versionText.Trim();
  m_programVersion = CUtils::VersionFromString(m_versionText);
  if (m_programVersion == 0) throw CLXXFileBadVersion(kLXSeverityMessage, 0, 739);
  m_formatVersion = m_programVersion >> 24;
  m_nativeOrder = false;
  return true;
}

void CQLPre5CrystalFile::ReadBlock(uint32_t) {
  if (!ReadPre5Header()) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 480);
  if (m_fileType == 2) throw CLXXFileNoMoleculeDiffract(kLXSeverityMessage, 0, 0);
  if (m_fileType != 6) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, 501, GetFilePath());
  if (m_programVersion < CUtils::PackVersion(2, 0, 0, L'b', 11)) throw CLXXFileObsolete2(kLXSeverityMessage, 0, 509);
  CStatus::SetText(1302, m_versionText, GetFilePath());

  // A valid file ends where a record would start; running out inside a record is an error.
  bool sitesRead = false, positionsRead = false;
  while (BytesRemaining() > 0) {
    const int32_t length = ReadInt32();
    const auto tag = static_cast<uint32_t>(ReadInt32BigEndian());
    if (length < 4 || uint64_t(length) - 4 > BytesRemaining()) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
    m_limit = GetPosition() + uint64_t(length) - 4;
    if (tag == QLTag("ATOM")) {
      ReadPre5Positions();
      positionsRead = true;
    } else if (tag == QLTag("AUCR")) {
      ReadPre5Sites();
      sitesRead = true;
      positionsRead = false;
    } else if (tag == QLTag("SYMM"))
      ReadPre5Symmetry();
    else if (tag == QLTag("CELL"))
      ReadCell();
    else if (tag == QLTag("NOTE"))
      SkipRecord();
    else if (tag == QLTag("POLY"))
      ReadPolygons();
    // The record's length says where the next one starts, whatever its reader took.
    Seek(static_cast<int64_t>(m_limit), begin);
  }
  // A file cut at a record boundary ends cleanly too: the sites and their positions must both
  // have come, or the structure is not all there.
  if (!sitesRead || m_crystal->m_sites.empty() || !positionsRead) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
}

void CQLPre5CrystalFile::ReadPre5Sites() {
  ClearSites();
  const uint16_t count = ReadUInt16();
  NeedRecords(count, 33);
  m_crystal->m_sites.reserve(count);
  for (uint16_t n = 0; n < count; ++n) {
    CQLSite site;
    const uint16_t code = CheckedElementCode(ReadUInt16(), true);
    ReadByte();
    wchar_t label[7];
    ReadMacString(6, label);
    ReadUInt16();
    ReadExact(3, nullptr);
    site.m_x = ReadFloat(), site.m_y = ReadFloat(), site.m_z = ReadFloat();
    ReadUInt16(), ReadUInt16();
    const uint16_t positions = ReadUInt16();
    ReadByte();
    site.m_species.emplace_back(ElementCodeToString(code).GetString(), 1.0);
    site.m_label = label;
    site.m_label.TrimRight(L' ');  // the label field is blank-padded
    site.m_included = true;
    m_crystal->m_sites.push_back(std::move(site));
    m_positionCounts.push_back(positions);
  }
}

void CQLPre5CrystalFile::ReadPre5Symmetry() {
  NeedRecords(1, 20 + 1 + 12 + 2);
  wchar_t symbol[21];
  ReadMacString(20, symbol);
  m_crystal->m_spaceGroupSymbol = symbol;
  m_crystal->m_spaceGroupSymbol.TrimRight(L' ');
  m_crystal->m_latticeLetter = static_cast<char>(ReadByte());
  ReadFloat(), ReadFloat(), ReadFloat();
  const uint16_t count = ReadUInt16();
  NeedRecords(count, 25);
  ReadExact(uint64_t(count) * 25, nullptr);
}

void CQLPre5CrystalFile::ReadPre5Positions() {
  auto& sites = m_crystal->m_sites;
  std::vector<std::vector<QLPosition>> lists(sites.size());
  uint64_t expected = 0;
  const std::vector<uint16_t> records = ReadPositionRecordCounts(810, expected);
  uint64_t kept = 0;
  for (size_t i = 0; i < sites.size(); ++i) {
    NeedRecords(records[i], 29);
    for (uint16_t r = 0; r < records[i]; ++r) {
      ReadInt32();
      ReadUInt16();
      ReadByte(), ReadByte();
      ReadExact(6, nullptr);
      const uint8_t extra = ReadByte();
      NeedRecords(extra, 2);
      ReadExact(uint64_t(extra) * 2, nullptr);
      ReadUInt16();
      const QLPosition p = {ReadFloat(), ReadFloat(), ReadFloat()};
      if (lists[i].size() < m_positionCounts[i]) {
        lists[i].push_back(p);
        ++kept;
      }
    }
  }
  if (kept != expected) throw CLXXFileNumAtomsErr(kLXSeverityMessage, 0, 899);
  for (size_t i = 0; i < sites.size(); ++i) sites[i].m_positions = std::move(lists[i]);
}

void CQLPre5CrystalFile::ReadPolygons() {
  const uint16_t count = ReadUInt16();
  NeedRecords(count, 10);
  for (uint16_t n = 0; n < count; ++n) {
    const int32_t length = ReadInt32();
    uint8_t c[6];
    ReadExact(6, c);
    const int64_t size = 3 * c[0] + 4 * c[1] + 5 * c[2] + 6 * c[3] + 7 * c[4] + 8 * c[5];
    if (size != int64_t(length) - 6) throw CLXXFileInvalid(kLXSeverityMessage, 0, 1094);
    NeedRecords(static_cast<uint64_t>(size), 1);
    ReadExact(static_cast<uint64_t>(size), nullptr);
  }
}
