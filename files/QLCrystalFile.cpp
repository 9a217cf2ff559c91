#include "QLCrystalFile.h"

#include "LXUtils.h"
#include "QLCrystalPattern.h"
#include "SpaceGroups.h"
#include "Status.h"
#include "ValueRanges.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {
constexpr uint32_t kLXDF = QLTag("LXDF"), kLXD5 = QLTag("LXD5"), kLXMF = QLTag("LXMF"), kLXM5 = QLTag("LXM5");
constexpr uint32_t kFMAP = QLTag("FMAP");
constexpr uint32_t kOpaqueRed = 0xFFFF0000u;

}  // namespace

void TensorFromBinaryOrder(const float t[6], double out[9]) {
  out[0] = t[0], out[4] = t[1], out[8] = t[2];
  out[5] = out[7] = t[3];
  out[2] = out[6] = t[4];
  out[1] = out[3] = t[5];
}

uint16_t CheckedElementCode(uint16_t code, bool normalise) {
  char symbol[2] = {char(code >> 8), char(code & 0xFF)};
  const bool valid = NormalizeElementSymbol(symbol);
  const uint16_t normal = uint16_t(uint16_t(uint8_t(symbol[0])) << 8 | uint8_t(symbol[1]));
  if (!valid) return kUnknownElementCode;
  if (normalise) return normal;
  return normal == code ? code : kUnknownElementCode;
}

CQLCrystalFile::CQLCrystalFile() { m_fileType = 1; }
CQLCrystalFile::CQLCrystalFile(uint32_t fileType) { m_fileType = fileType; }
CQLCrystalFile::~CQLCrystalFile() = default;

bool CQLCrystalFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLCrystalFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    file.Seek(0, begin);
    switch (static_cast<uint32_t>(file.ReadInt32BigEndian())) {
      case kLXD5: typeCode = 4; break;
      case kLXDF: typeCode = 1; break;
      case kLXM5: typeCode = 5; break;
      case kLXMF: typeCode = 2; break;
      default: break;
    }
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return typeCode == 1 || typeCode == 4;
}

bool CQLCrystalFile::ReadFile(CQLPatternList* target, CDiffractionSettings* settings, CQlwDocWindowState* windowState) {
  m_readTarget = target;
  m_readSettings = settings;
  m_readWindowState = windowState;
  try {
    try {
      if (!IsOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, 508);
      auto pattern = std::make_shared<CQLCrystalPattern>();
      pattern->SetFilePath(GetFilePath());
      m_crystal = pattern->GetCrystal();
      {
        CStatus status(1300u);
        ReadBlock(0);
      }
      m_crystal->m_state = 0;
      m_crystal = nullptr;
      if (!pattern->m_crystal.AcceptCell(pattern->m_title)) {
        Close();
        return false;
      }
      pattern->SetShown(true);
      pattern->m_settingsPending = 1;
      if (target) target->push_back(pattern);
    } catch (const std::bad_alloc&) {
      throw CLXXFile(kLXSeverityMessage, ENOMEM, __LINE__);
    } catch (const std::length_error&) {
      throw CLXXFile(kLXSeverityMessage, ENOMEM, __LINE__);
    }
  } catch (CLXException& e) {
    // Count and atom-number errors are file errors too: reported here, never passed on.
    m_crystal = nullptr;
    Close();
    e.Report();
    return false;
  }
  return true;
}

// ----- header and chunk map -----

void CQLCrystalFile::ReadHeader() {
  if (m_headerRead) return;
  Seek(0, begin);
  const auto magic = static_cast<uint32_t>(ReadInt32BigEndian());
  for (int i = 0; i < 4; ++i) m_fourCC[i] = char(magic >> (24 - 8 * i));
  char signature[12];
  ReadExact(12, signature);
  if ((magic != kLXDF && magic != kLXD5) ||
      (std::memcmp(signature, "Lumaxisworks", 12) != 0 && std::memcmp(signature, "(Lumaxiswork", 12) != 0))
    throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1143);
  const uint8_t platform = ReadByte();
  m_formatVersion = ReadByte();
  wchar_t text[11];
  ReadMacString(10, text);
  m_versionText = text;
  m_versionText.Trim();
  m_programVersion = CUtils::VersionFromString(m_versionText);
  if (m_programVersion == 0) throw CLXXFileBadVersion(kLXSeverityMessage, 0, 1170);
  if (signature[0] == '(') {
    m_fromWindows = false;
    m_formatVersion = m_programVersion >> 24;
  } else {
    m_fromWindows = platform == 'W';
  }
  if (!m_fromWindows) {
    if (m_programVersion < CUtils::PackVersion(5, 0, 0, L'b', 15)) throw CLXXFileObsolete5(kLXSeverityMessage, 0, 1205);
    if (m_programVersion > CUtils::PackVersion(7, 0, 0, L'b', 0) &&
        m_programVersion < CUtils::PackVersion(7, 0, 0, L'b', 10))
      throw CLXXFileObsolete7(kLXSeverityMessage, 0, 1210);
  }
  if (m_formatVersion > 9) throw CLXXFileTooNew(kLXSeverityMessage, 0, 1212);
  m_nativeOrder = !IsBigEndian();
  if (!CheckTrailer()) throw CLXXFileCRCFailed(kLXSeverityMessage, 0, 1225);
  Seek(28, begin);
  m_mapOffset = static_cast<uint32_t>(ReadInt32());
  const uint64_t length = GetLength();
  if (m_mapOffset == 0 || length <= m_mapOffset) throw CLXXFileMapError(kLXSeverityMessage, 0, 1235);
  m_dataStart = GetPosition();
  if (length <= m_dataStart) throw CLXXFileMapError(kLXSeverityMessage, 0, 1238);
  m_headerRead = true;
  ReadChunkMap();
}

bool CQLCrystalFile::CheckTrailer() {
  // The trailer follows the chunk map. A map that cannot be found here is refused as a map error
  // just after.
  const uint64_t length = GetLength();
  Seek(28, begin);
  const uint64_t mapOffset = static_cast<uint32_t>(ReadInt32());
  if (mapOffset < 32 || mapOffset + 6 > length) return true;
  Seek(static_cast<int64_t>(mapOffset), begin);
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != kFMAP) return true;
  const uint64_t mapEnd = mapOffset + 6 + uint64_t(ReadUInt16()) * 4;
  return mapEnd > length || CheckCRCAt(mapEnd);
}

void CQLCrystalFile::ReadChunkMap() {
  const uint64_t length = GetLength();
  // The map must lie after the header and start with its own tag.
  if (m_mapOffset < m_dataStart || m_mapOffset + 6 > length) throw CLXXFileMapError(kLXSeverityMessage, 0, 1291);
  Seek(static_cast<int64_t>(m_mapOffset), begin);
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != kFMAP) throw CLXXFileMapError(kLXSeverityMessage, 0, __LINE__);
  const uint16_t count = ReadUInt16();
  if (uint64_t(count) * 4 > BytesRemaining()) throw CLXXFileMapError(kLXSeverityMessage, 0, __LINE__);
  std::vector<uint64_t> offsets(count);
  for (auto& offset : offsets) offset = static_cast<uint32_t>(ReadInt32());
  m_chunks.clear();
  // Offsets that do not ascend, or that leave the file, would send the chunk walk backwards or
  // round for ever: such a map is refused.
  for (size_t i = 0; i < offsets.size(); ++i) {
    if (offsets[i] < m_dataStart || offsets[i] + 4 > length || (i > 0 && offsets[i] <= offsets[i - 1]))
      throw CLXXFileMapError(kLXSeverityMessage, 0, __LINE__);
  }
  for (size_t i = 0; i < offsets.size(); ++i) {
    const uint64_t end = i + 1 < offsets.size() ? offsets[i + 1] : length;
    Seek(static_cast<int64_t>(offsets[i]), begin);
    const auto tag = static_cast<uint32_t>(ReadInt32BigEndian());
    // One entry per tag: a tag listed twice would make the walk jump back to its first chunk.
    if (!m_chunks.emplace(tag, Chunk{offsets[i], end - offsets[i] - 4, true}).second)
      throw CLXXFileMapError(kLXSeverityMessage, 0, __LINE__);
  }
  Seek(static_cast<int64_t>(m_mapOffset), begin);
}

// ----- chunk walk -----

void CQLCrystalFile::ReadBlock(uint32_t) {
  ReadHeader();
  if (m_fileType != 1 && m_fileType != 4) {
    LogStringColor(1304, kOpaqueRed);
    m_fileType = std::memcmp(m_fourCC, "LXD5", 4) == 0 ? 4 : 1;
  }
  LogString(m_fromWindows ? 1303 : 1302, m_versionText, GetFilePath());

  using Handler = void (CQLCrystalFile::*)();
  static const struct {
    uint32_t tag;
    Handler handler;
  } kHandlers[] = {
      {QLTag("ATO7"), &CQLCrystalFile::ReadPositions7}, {QLTag("ATOM"), &CQLCrystalFile::ReadPositionsOld},
      {QLTag("AUEL"), &CQLCrystalFile::ReadDisplacements}, {QLTag("AUN7"), nullptr},
      {QLTag("AUNI"), nullptr}, {QLTag("CELL"), &CQLCrystalFile::ReadCell},
      {QLTag("SYMM"), &CQLCrystalFile::ReadSymmetry},
  };

  Seek(static_cast<int64_t>(m_dataStart), begin);
  for (;;) {
    const uint64_t at = GetPosition();
    const auto tag = static_cast<uint32_t>(ReadInt32BigEndian());
    if (tag == kFMAP) break;
    const auto entry = m_chunks.find(tag);
    const Handler* handler = nullptr;
    bool sites = false, sites7 = false;
    for (const auto& h : kHandlers)
      if (h.tag == tag) {
        handler = &h.handler;
        sites = tag == QLTag("AUNI") || tag == QLTag("AUN7");
        sites7 = tag == QLTag("AUN7");
      }
    if (entry == m_chunks.end()) {
      // A chunk that is read must be the one the map lists; others are stepped over tag by tag.
      if (handler) throw CLXXFileMapError(kLXSeverityMessage, 0, __LINE__);
      continue;
    }
    if (entry->second.offset != at) throw CLXXFileMapError(kLXSeverityMessage, 0, __LINE__);
    m_limit = entry->second.offset + 4 + entry->second.length;
    if (sites)
      ReadSites(sites7);
    else if (handler && *handler)
      (this->**handler)();
    Seek(static_cast<int64_t>(m_limit), begin);
  }
}

void CQLCrystalFile::NeedRecords(uint64_t count, uint64_t recordSize) {
  if (recordSize && count > LimitRemaining() / recordSize) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
}

uint64_t CQLCrystalFile::LimitRemaining() const {
  const uint64_t p = GetPosition();
  return p < m_limit ? m_limit - p : 0;
}

// ----- chunks -----

void CQLCrystalFile::ReadCell() {
  NeedRecords(6, 4);
  CQLCrystal& c = *m_crystal;
  c.m_a = ReadFloat(), c.m_b = ReadFloat(), c.m_c = ReadFloat();
  c.m_alpha = ReadFloat(), c.m_beta = ReadFloat(), c.m_gamma = ReadFloat();
  // A cell no editor takes refuses the structure by its name once the file is read (ReadFile).
  if (!QLRanges::CellWithinRanges(c.m_a, c.m_b, c.m_c, c.m_alpha, c.m_beta, c.m_gamma)) return;
  c.ComputeMetrics();
}

void CQLCrystalFile::ReadSymmetry() {
  NeedRecords(1, 21 + 1 + 12 + 2);
  CQLCrystal& c = *m_crystal;
  wchar_t symbol[22];
  ReadMacString(21, symbol);
  c.m_spaceGroupSymbol = symbol;
  c.m_spaceGroupSymbol.Trim();
  c.m_latticeLetter = static_cast<char>(ReadByte());
  double offset[3];
  for (double& o : offset) o = ReadFloat();
  const uint16_t count = ReadUInt16();
  NeedRecords(count, 4);

  int choice = 0;
  double shift[3];
  if (GetOriginChoiceShift(c.m_spaceGroupSymbol, shift)) {
    constexpr double kEpsilon = 1.8189894035458565e-12, kDelta = 1e-5;
    bool atZero = true, atShift = true;
    int a = 0, b = 0;
    for (int i = 0; i < 3; ++i) {
      atZero = atZero && std::fabs(offset[i]) < kEpsilon;
      atShift = atShift && std::fabs(offset[i] - shift[i]) < kEpsilon;
      a += std::fabs(offset[i]) > kDelta;
      b += std::fabs(offset[i] - shift[i]) > kDelta;
    }
    if (atZero) {
      choice = 2;
    } else if (atShift || b <= a) {
      // An offset equal to the shift is choice 1 at its own origin: offset − shift, so zero.
      choice = 1;
      for (int i = 0; i < 3; ++i) offset[i] -= shift[i];
    } else {
      choice = 2;
    }
  }
  for (int i = 0; i < 3; ++i) c.m_originShift[i] = offset[i];

  std::vector<CSymmetryOperator> operators;
  operators.reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    const auto code = static_cast<uint32_t>(ReadInt32()) & 0xFFFFFF;
    operators.emplace_back(OperatorTextFromCode(code).GetString());
  }
  c.m_operators = std::move(operators);
  if (c.m_spaceGroupSymbol.IsEmpty()) c.IdentifySpaceGroup();
  c.m_originChoice = choice;
}

void CQLCrystalFile::ClearSites() {
  m_crystal->m_sites.clear();
  m_positionCounts.clear();
}

void CQLCrystalFile::ReadSites(bool version7) {
  ClearSites();
  const int64_t count = version7 ? int64_t(ReadInt32()) : int64_t(ReadUInt16());
  if (count < 0) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  NeedRecords(static_cast<uint64_t>(count), version7 ? 37 : 30);
  m_crystal->m_sites.reserve(static_cast<size_t>(count));
  for (int64_t n = 0; n < count; ++n) {
    CQLSite site;
    const uint8_t species = ReadByte();
    NeedRecords(species, 6);
    for (uint8_t k = 0; k < species; ++k) {
      const uint16_t code = CheckedElementCode(ReadUInt16(), false);
      const double occupancy = ReadFloat();
      site.m_species.emplace_back(ElementCodeToString(code).GetString(), occupancy);
    }
    if (species == 0) LogStringColor(1305, kOpaqueRed, static_cast<long>(n + 1));
    wchar_t label[256];
    if (version7) {
      ReadInt32();
      const uint8_t length = ReadByte();
      NeedRecords(length, 1);
      ReadMacString(length, label);
      if (length == 0) label[0] = 0;
      ReadInt32();
      ReadByte(), ReadByte();
    } else {
      ReadByte();
      ReadMacString(6, label);
      ReadExact(3, nullptr);
    }
    site.m_label = label;
    site.m_label.TrimRight(L' ');  // fixed-width labels are blank-padded
    site.m_x = ReadFloat(), site.m_y = ReadFloat(), site.m_z = ReadFloat();
    int64_t positions;
    if (version7) {
      ReadInt32(), ReadInt32();
      positions = ReadInt32();
    } else {
      ReadUInt16(), ReadUInt16();
      positions = ReadUInt16();
    }
    ReadByte();
    if (positions < 0) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    site.m_included = true;
    m_crystal->m_sites.push_back(std::move(site));
    m_positionCounts.push_back(static_cast<uint64_t>(positions));
  }
}

void CQLCrystalFile::ReadPositions7() {
  NeedRecords(1, 20);
  const int32_t records = ReadInt32();
  const int32_t keep = ReadInt32();
  ReadInt32(), ReadInt32(), ReadInt32();
  if (records < 0) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  NeedRecords(static_cast<uint64_t>(records), 29);
  const size_t sites = m_crystal->m_sites.size();
  std::vector<std::vector<QLPosition>> lists(sites);
  int64_t kept = 0, run = 0, previous = -1;
  for (int32_t r = 0; r < records; ++r) {
    ReadInt32();
    const int32_t s = ReadInt32();
    ReadInt32();
    ReadByte();
    const QLPosition p = {ReadFloat(), ReadFloat(), ReadFloat()};
    const int32_t extra = ReadInt32();
    if (extra < 0) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    NeedRecords(static_cast<uint64_t>(extra), 4);
    ReadExact(uint64_t(extra) * 4, nullptr);
    // A negative index (−1 marks no site) is as wrong as one past the last site.
    if (s < 0 || static_cast<size_t>(s) >= sites) throw CLXXFileNumAtomsErr(kLXSeverityMessage, 0, 1461);
    run = s == previous ? run + 1 : 0;
    previous = s;
    if (static_cast<uint64_t>(run) < m_positionCounts[s]) {
      lists[s].push_back(p);
      ++kept;
    }
  }
  if (kept != keep) throw CLXXFileNumAtomsErr(kLXSeverityMessage, 0, 1518);
  for (size_t i = 0; i < sites; ++i) m_crystal->m_sites[i].m_positions = std::move(lists[i]);
}

std::vector<uint16_t> CQLCrystalFile::ReadPositionRecordCounts(int emptyLine, uint64_t& expected) {
  auto& sites = m_crystal->m_sites;
  expected = 0;
  for (size_t i = 0; i < sites.size(); ++i) {
    sites[i].m_positions.clear();
    expected += m_positionCounts[i];
  }
  if (expected == 0) throw CLXXFileNumAtomsErr(kLXSeverityMessage, 0, emptyLine);
  NeedRecords(1 + sites.size(), 2);
  ReadUInt16();
  std::vector<uint16_t> records(sites.size());
  for (auto& r : records) r = ReadUInt16();
  return records;
}

void CQLCrystalFile::ReadPositionsOld() {
  auto& sites = m_crystal->m_sites;
  uint64_t expected = 0;
  const std::vector<uint16_t> records = ReadPositionRecordCounts(1958, expected);
  uint64_t kept = 0;
  for (size_t i = 0; i < sites.size(); ++i) {
    NeedRecords(records[i], 17);
    for (uint16_t r = 0; r < records[i]; ++r) {
      ReadUInt16();
      ReadByte(), ReadByte();
      const QLPosition p = {ReadFloat(), ReadFloat(), ReadFloat()};
      const uint8_t extra = ReadByte();
      ReadByte();
      NeedRecords(extra, 2);
      ReadExact(uint64_t(extra) * 2, nullptr);
      if (sites[i].m_positions.size() < m_positionCounts[i]) {
        sites[i].m_positions.push_back(p);
        ++kept;
      }
    }
  }
  if (kept != expected) throw CLXXFileNumAtomsErr(kLXSeverityMessage, 0, 2042);
}

void CQLCrystalFile::ReadDisplacements() {
  auto& sites = m_crystal->m_sites;
  const int32_t count = ReadInt32();
  if (count < 0 || static_cast<size_t>(count) != sites.size())
    throw CLXXFileNumEllipsoidsErr(kLXSeverityMessage, 0, 1668);
  NeedRecords(sites.size(), 32);
  CQLCrystal& c = *m_crystal;
  bool valid = true;
  for (CQLSite& site : sites) {
    ReadUInt16();
    const uint16_t type = ReadUInt16();
    const double u = ReadFloat();
    float terms[6];
    for (float& t : terms) t = ReadFloat();
    double tensor[9];
    TensorFromBinaryOrder(terms, tensor);
    if (type < 1 || type > 3) continue;
    c.m_hasDisplacements = true;
    // A tensor that is not positive definite costs its own site its displacement, no other.
    if ((type == 2 || type == 3) && !IsPositiveDefinite3x3(tensor)) {
      valid = false;
      continue;
    }
    if (type == 1) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(u);
    } else if (type == 2) {
      site.m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(tensor, c.m_aStar, c.m_bStar, c.m_cStar);
    } else {
      const double zero[9] = {};
      auto aniso = std::make_unique<CQLAnisoThermalEllipsoid>(zero, c.m_aStar, c.m_bStar, c.m_cStar);
      std::copy(tensor, tensor + 9, aniso->m_beta);
      aniso->m_u = u;
      site.m_displacement = std::move(aniso);
    }
  }
  if (!valid) CLXXFileBadADP(kLXSeverityMessage, 0, 1766).Report();
}
