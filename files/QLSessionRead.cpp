// Reading the session file: content test, header, and the blocks of field records.
#include "QLSessionFile.h"

#include "DiffractionSettings.h"
#include "LXUtils.h"
#include "QLCrystalFile.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "TextCodec.h"
#include "ValueRanges.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {
// Fourteen times the default grid of 72,000 points; more, from a file, is a damaged value, as eight
// patterns on a grid of 2^24 points would take gigabytes.
constexpr uint32_t kMaxProfilePoints = 1u << 20;
constexpr double kStoredPositionTolerance = 1e-4;  // positions are stored as floats

// The positions come from the file, but an anisotropic tensor turns with each image: each
// position gets the rotation of the operator that carries its site there. A position that no
// operator reaches leaves the site's tensor unrotated, as a crystal without rotations has it.
void AssignImageRotations(CQLCrystal& c) {
  std::vector<CSymmetryOperator> ops;
  c.GetFullOperatorList(ops);
  const auto& shift = c.m_originShift;
  for (CQLSite& site : c.m_sites) {
    site.m_imageRotations.clear();
    site.m_positionRotations.clear();
    if (!dynamic_cast<const CQLAnisoThermalEllipsoid*>(site.m_displacement.get())) continue;
    const double p[3] = {site.m_x + shift[0], site.m_y + shift[1], site.m_z + shift[2]};
    for (const QLPosition& q : site.m_positions) {
      bool found = false;
      for (const CSymmetryOperator& op : ops) {
        double image[3];
        op.Apply(p, image);
        bool same = true;
        for (int i = 0; i < 3 && same; ++i) {
          const double d = CQLCrystal::WrapCoordinate(image[i] - shift[i]) - q[i];
          same = std::fabs(d - std::round(d)) < kStoredPositionTolerance;
        }
        if (!same) continue;
        std::array<int, 9> rotation;
        for (int i = 0; i < 9; ++i) rotation[i] = static_cast<int>(std::lround(op.m_rotation[i / 3][i % 3]));
        auto seen = std::find(site.m_imageRotations.begin(), site.m_imageRotations.end(), rotation);
        if (seen == site.m_imageRotations.end()) seen = site.m_imageRotations.insert(seen, rotation);
        site.m_positionRotations.push_back(static_cast<uint16_t>(seen - site.m_imageRotations.begin()));
        found = true;
        break;
      }
      if (!found) {
        site.m_imageRotations.clear();
        site.m_positionRotations.clear();
        break;
      }
    }
  }
}

// Enumerations the engine computes with keep their value unless the file's one is known.
template <class E>
void SetIfInRange(E& field, uint32_t value, uint32_t low, uint32_t high) {
  if (value >= low && value <= high) field = static_cast<E>(value);
}
}  // namespace

bool CQLSessionFile::TestFile(const wchar_t* path, uint32_t& typeCode) { return TestFile(path, typeCode, true); }

bool CQLSessionFile::TestFile(const wchar_t* path, uint32_t& typeCode, bool reportFailedOpen) {
  typeCode = 0;
  try {
    CQLSessionFile file;
    if (!file.OpenForTest(path, reportFailedOpen, 639)) return false;
    file.Seek(0, begin);
    if (file.ReadTag() != QLTag("QLSF")) return false;
    const auto length = static_cast<uint32_t>(file.ReadInt32());
    if (length < 15 || length > file.BytesRemaining()) return false;
    char name[15];
    file.ReadExact(15, name);
    if (std::memcmp(name, "Quillonographic", 15) != 0) return false;
    file.Seek(length - 15, current);
    for (uint32_t tag : {QLTag("VERS"), QLTag("PLAT")}) {
      if (file.ReadTag() != tag) return false;
      file.SkipRecord();
    }
    if (file.ReadTag() != QLTag("FVER") || file.ReadInt32() != 4) return false;
    if (static_cast<uint32_t>(file.ReadInt32()) < kFormatVersion) return false;
    typeCode = 10;
    return true;
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

uint32_t CQLSessionFile::ReadTag() { return static_cast<uint32_t>(ReadInt32BigEndian()); }

template <class Handler>
void CQLSessionFile::ReadRecords(uint64_t length, Handler&& handler) {
  uint64_t remaining = length;
  while (remaining > 0) {
    if (remaining < 8) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    const uint32_t tag = ReadTag();
    const auto size = static_cast<uint32_t>(ReadInt32());
    // The remaining count drops by what the record says; a length beyond the block would wrap it.
    if (size > remaining - 8) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    if (size > BytesRemaining()) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
    const uint64_t start = GetPosition();
    if (!handler(tag, size)) Seek(static_cast<int64_t>(size), current);
    // A reader that took more or less than the record's length means the file is damaged.
    if (GetPosition() != start + size) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    remaining -= 8 + uint64_t(size);
  }
}

bool CQLSessionFile::GetBool(uint32_t length) { return GetByte(length) != 0; }

uint8_t CQLSessionFile::GetByte(uint32_t length) {
  if (length != 1) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  return ReadByte();
}

uint32_t CQLSessionFile::GetU32(uint32_t length) {
  if (length != 4) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  return static_cast<uint32_t>(ReadInt32());
}

float CQLSessionFile::GetFloat(uint32_t length) {
  if (length != 4) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  return ReadFloat();
}

double CQLSessionFile::GetTypedDecimal(uint32_t length) {
  const float value = GetFloat(length);
  if (!std::isfinite(value)) return value;
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  double widened = value;
  std::from_chars(text, written.ptr, widened);
  return widened;
}

uint32_t CQLSessionFile::GetColour(uint32_t length) {
  if (length != 16) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  uint32_t argb = 0;
  const int shifts[4] = {16, 8, 0, 24};  // red, green, blue, alpha
  for (int shift : shifts) {
    const float v = ReadFloat();
    // Truncation of a value outside the channel's range is undefined: such values are clamped.
    const float scaled = std::isfinite(v) ? std::fmin(std::fmax(v * 255.0f, 0.0f), 255.0f) : 0.0f;
    argb |= (static_cast<uint32_t>(scaled) & 0xFF) << shift;
  }
  return argb;
}

CString CQLSessionFile::GetString(uint32_t length) {
  CString text;
  ReadUTF8String(length, text);
  return text;
}

void CQLSessionFile::NeedItems(uint64_t count, uint64_t itemSize, uint64_t length, uint64_t used) {
  const uint64_t left = length > used ? length - used : 0;
  if (itemSize && count > left / itemSize) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
}

// ----- header and top level -----

namespace {
CQLSessionFile::FontFamilyResolver g_fontFamilyResolver = nullptr;
}  // namespace

void CQLSessionFile::SetFontFamilyResolver(FontFamilyResolver resolver) { g_fontFamilyResolver = resolver; }

void CQLSessionFile::ReadHeader() {
  Seek(0, begin);
  if (ReadTag() != QLTag("QLSF")) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1247);
  SkipRecord();
  if (ReadTag() != QLTag("VERS")) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1259);
  CString version = GetString(static_cast<uint32_t>(ReadInt32()));
  m_programVersion = CUtils::VersionFromString(version);
  if (m_programVersion == 0) throw CLXXFileBadVersion(kLXSeverityMessage, 0, 1273);
  if (ReadTag() != QLTag("PLAT")) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1281);
  m_platform = GetString(static_cast<uint32_t>(ReadInt32())) == CString(L"Mac") ? 0 : 1;
  if (ReadTag() != QLTag("FVER")) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1304);
  if (ReadInt32() != 4) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1307);
  m_formatVersion = static_cast<uint32_t>(ReadInt32());
  if (m_formatVersion < kFormatVersion) throw CLXXFileBadVersion(kLXSeverityMessage, 0, 1314);
}

bool CQLSessionFile::FindTrailer(uint64_t& at) {
  constexpr int kTopLevelRecords = 8;  // QLSF, VERS, PLAT, FVER, WINS, PLOT, PATS, STOP
  Seek(0, begin);
  for (int i = 0; i < kTopLevelRecords && BytesRemaining() >= 8; ++i) {
    const uint32_t tag = ReadTag();
    const auto length = static_cast<uint32_t>(ReadInt32());
    if (tag == QLTag("STOP")) {
      at = GetPosition();
      return true;
    }
    if (length > BytesRemaining()) break;
    Seek(static_cast<int64_t>(length), current);
  }
  return false;
}

void CQLSessionFile::ReadBlock(uint32_t) {
  // Checked before anything is read, so that a damaged file adds no pattern. Records that do not
  // lead to STOP leave the file to the checks of the header and blocks.
  uint64_t trailer = 0;
  if (!(FindTrailer(trailer) ? CheckCRCAt(trailer) : CheckCRC()))
    throw CLXXFileCRCFailed(kLXSeverityMessage, 0, 691);
  ReadHeader();
  if (m_platform == 0 && m_programVersion < 0x05000080u) throw CLXXFileObsoleteMac5(kLXSeverityMessage, 0, 705);
  if (m_formatVersion > kFormatVersion) throw CLXXFileTooNew(kLXSeverityMessage, 0, 707);
  if (m_fileType != 10) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, 716, GetFilePath());

  // Records that the caller did not ask for are read into scratch copies and dropped.
  CQlwDocWindowState scratchState;
  CDiffractionSettings scratchSettings(true);
  CQLPatternList scratchList;
  auto block = [&](uint32_t tag, auto expected) {
    if (ReadTag() != tag) throw expected;
    const auto length = static_cast<uint32_t>(ReadInt32());
    if (length > BytesRemaining()) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
    return length;
  };
  const CString title = GetFileTitle();
  uint32_t length = block(QLTag("WINS"), CLXXFileSessionWinDataExpected(kLXSeverityMessage, 0, 728, title));
  ReadWindowState(length, m_readWindowState ? *m_readWindowState : scratchState);
  length = block(QLTag("PLOT"), CLXXFileSessionPlotDataExpected(kLXSeverityMessage, 0, 738, title));
  ReadSettings(length, m_readSettings ? *m_readSettings : scratchSettings);
  length = block(QLTag("PATS"), CLXXFileSessionPatDataExpected(kLXSeverityMessage, 0, 748, title));
  ReadPatternList(length, m_readTarget ? *m_readTarget : scratchList, 0);
  if (ReadTag() != QLTag("STOP")) throw CLXXFileSessionDataExpected(kLXSeverityMessage, 0, 760, title);
  ReadInt32();
  if (m_platform != 0 && (BytesRemaining() < 4 || ReadTag() != QLTag("CRCK")))
    throw CLXXFileSessionDataExpected(kLXSeverityMessage, 0, 772, title);
}

// ----- blocks -----

void CQLSessionFile::ReadWindowState(uint32_t length, CQlwDocWindowState& s) {
  ReadRecords(length, [&](uint32_t tag, uint32_t size) {
    switch (tag) {
      case QLTag("*PAT"): s.showStructures = GetBool(size); return true;
      case QLTag("*PRM"): s.showParameters = GetBool(size); return true;
      case QLTag("*REF"): s.showReflexions = GetBool(size); return true;
      case QLTag("PATW"): {
        const float width = GetFloat(size);
        s.structuresWidth = std::isfinite(width) && std::fabs(width) < 2e9f ? static_cast<int32_t>(width) : 0;
        return true;
      }
      case QLTag("REFH"): s.reflexionsRelHeight = GetFloat(size); return true;
      case QLTag("ITab"): s.parametersTab = static_cast<int32_t>(GetU32(size)); return true;
      case QLTag("RECT"):
        if (size != 32) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        ReadDoubleRect(s.rect);
        return true;
      case QLTag("VPAN"): {
        if (size < 4) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        const auto count = static_cast<uint32_t>(ReadInt32());
        NeedItems(count, 4, size, 4);
        uint64_t used = 4;
        for (uint32_t i = 0; i < count; ++i) {
          NeedItems(1, 4, size, used);
          const auto n = static_cast<uint32_t>(ReadInt32());
          used += 4;
          NeedItems(n, 1, size, used);
          std::string bytes(n, '\0');
          ReadExact(n, bytes.data());
          used += n;
          CString name;
          for (char c : bytes) name.AppendChar(static_cast<wchar_t>(static_cast<uint8_t>(c)));
          s.openPanes.push_back(name);
        }
        return true;
      }
      default: return false;
    }
  });
}

void CQLSessionFile::ReadSettings(uint32_t length, CDiffractionSettings& s) {
  ReadRecords(length, [&](uint32_t tag, uint32_t size) {
    switch (tag) {
      case QLTag("TXCL"): s.m_fontColor = GetColour(size); return true;
      case QLTag("TXSZ"): s.m_fontSize = GetFloat(size); return true;
      case QLTag("TXNM"):
        s.m_fontName = GetString(size);
        // A Mac font name is replaced by the family this system has for it.
        if (m_platform == 0 && g_fontFamilyResolver) {
          CString family;
          g_fontFamilyResolver(s.m_fontName, family);
          s.m_fontName = family;
        }
        return true;
      case QLTag("AXS#"): SetIfInRange(s.m_axisType, GetByte(size), 1, 6); return true;
      case QLTag("DMIN"): s.m_dMin = GetFloat(size); return true;
      case QLTag("FEDX"): s.m_edxPeakWidth = GetFloat(size); return true;
      case QLTag("TEDX"): s.m_edxTheta = GetFloat(size); return true;
      case QLTag("PETA"): s.m_eta = GetFloat(size); return true;
      case QLTag("FLMG"): s.m_filmGamma = GetFloat(size); return true;
      case QLTag("FLM?"): s.m_filmMode = GetBool(size); return true;
      case QLTag("FLM#"): s.m_filmType = GetByte(size); return true;
      case QLTag("GRCL"): s.m_gridColor = GetColour(size); return true;
      case QLTag("GBCL"): s.m_solidBackgroundColor = GetColour(size); return true;
      case QLTag("*GBk"): s.m_useSolidBackground = GetBool(size); return true;
      case QLTag("!OVL"): s.m_hideOverlappingLabels = GetBool(size); return true;
      case QLTag("LAM1"): s.m_lambda = GetTypedDecimal(size); return true;
      case QLTag("LAM2"): s.m_lambda2 = GetTypedDecimal(size); return true;
      case QLTag("LAMR"): s.m_lambdaRatio = GetTypedDecimal(size); return true;
      case QLTag("eLAM"): s.m_lambdaTEM = GetTypedDecimal(size); return true;
      case QLTag("FTEM"): s.m_peakWidthTEM = GetFloat(size); return true;
      case QLTag("MAX?"): s.m_restrictMaxNumRefs = GetBool(size); return true;
      case QLTag("LOG?"): s.m_logarithmicYAxis = GetBool(size); return true;
      case QLTag("LUMg"): s.m_plotValueB = GetFloat(size); return true;
      case QLTag("MAXR"): s.m_maxNumRefs = GetU32(size); return true;
      case QLTag("MON?"): s.m_monochromatic = GetBool(size); return true;
      case QLTag("NPTS"): {
        const uint32_t points = GetU32(size);
        if (points > kMaxProfilePoints) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        if (points >= 2) s.m_numProfilePoints = points;
        return true;
      }
      case QLTag("PRO#"): SetIfInRange(s.m_profileType, GetByte(size), 1, 4); return true;
      case QLTag("*GRD"): s.m_showGrid = GetBool(size); return true;
      case QLTag("*LGD"): s.m_showLegend = GetBool(size); return true;
      case QLTag("*TIP"): s.m_showPeakTips = GetBool(size); return true;
      case QLTag("*TIT"): s.m_showPlotTitle = GetBool(size); return true;
      case QLTag("SIM#"): SetIfInRange(s.m_simulationType, GetByte(size), 1, 5); return true;
      case QLTag("DTOF"): s.m_tofDistance = GetFloat(size); return true;
      case QLTag("RTOF"): s.m_tofResolution = GetFloat(size); return true;
      case QLTag("TTOF"): s.m_tofTheta = GetFloat(size); return true;
      case QLTag("FTTH"): s.m_tthPeakWidth = GetFloat(size); return true;
      case QLTag("XCUR"): s.m_plotValuesA[0] = GetFloat(size); return true;
      case QLTag("XMAX"): s.m_visibleXMax = GetFloat(size); return true;
      case QLTag("LMAX"): s.m_defaultXMax = GetFloat(size); return true;
      case QLTag("XMIN"): s.m_visibleXMin = GetFloat(size); return true;
      case QLTag("LMIN"): s.m_defaultXMin = GetFloat(size); return true;
      case QLTag("YMAX"): s.m_visibleYMax = GetFloat(size); return true;
      case QLTag("YMIN"): s.m_visibleYMin = GetFloat(size); return true;
      case QLTag("TITL"): s.m_fourthText = GetString(size); return true;
      case QLTag("XLBL"): s.m_unitName = GetString(size); return true;
      case QLTag("XUni"): s.m_unitSymbol = GetString(size); return true;
      case QLTag("YLBL"): s.m_yTitle = GetString(size); return true;
      case QLTag("FWHM"): {
        const double w = GetFloat(size);
        s.m_tthPeakWidth = s.ConvertWidth(w, s.m_axisType, LXTypes::kAxis2Theta);
        s.m_edxPeakWidth = s.ConvertWidth(w, s.m_axisType, LXTypes::kAxisEnergy);
        return true;
      }
      case QLTag("LUPt"):
        // The loupe's position: kept at single precision among the plot view's values.
        if (size != 16) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        s.m_plotValuesA[2] = static_cast<float>(ReadDouble());
        s.m_plotValuesA[3] = static_cast<float>(ReadDouble());
        return true;
      case QLTag("LUSz"):
        if (size != 16) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        s.m_plotSize[0] = static_cast<float>(ReadDouble());
        s.m_plotSize[1] = static_cast<float>(ReadDouble());
        return true;
      default: return false;  // RUCL, *CUR, *LOU, *RUL and unknown tags
    }
  });
}

void CQLSessionFile::ReadPatternList(uint64_t length, CQLPatternList& list, int depth) {
  if (depth > kMaxNesting) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
  const CString title = GetFileTitle();
  uint64_t remaining = length;
  while (remaining > 0) {
    if (remaining < 4) throw CLXXFileInvalid(kLXSeverityMessage, 0, 1926);
    const auto entry = static_cast<uint32_t>(ReadInt32());
    if (entry > remaining - 4) throw CLXXFileInvalid(kLXSeverityMessage, 0, 1926);
    const uint64_t end = GetPosition() + entry;
    if (entry < 8 || ReadTag() != QLTag("TYPE")) throw CLXXFileSessionDataExpected(kLXSeverityMessage, 0, 1944, title);
    const auto typeLength = static_cast<uint32_t>(ReadInt32());
    if (typeLength > entry - 8) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    const CString type = GetString(typeLength);
    CQLPatternPtr pattern;
    std::shared_ptr<CQLCrystalPattern> crystal;
    std::shared_ptr<CQLMixturePattern> mixture;
    std::shared_ptr<CQLObservedPattern> observed;
    UINT baseSite = 1502;
    if (type == CString(L"Sim")) {
      pattern = crystal = std::make_shared<CQLCrystalPattern>();
    } else if (type == CString(L"Mix")) {
      pattern = mixture = std::make_shared<CQLMixturePattern>();
      baseSite = 1634;
    } else if (type == CString(L"Obs")) {
      pattern = observed = std::make_shared<CQLObservedPattern>();
      baseSite = 1759;
    } else {
      throw CLXXFileSessionUnknownPattern(kLXSeverityMessage, 0, 1972, title);
    }
    const uint64_t rest = end - GetPosition();
    if (rest < 8 || ReadTag() != QLTag("BASE")) throw CLXXFileSessionDataExpected(kLXSeverityMessage, 0, baseSite, title);
    const auto baseLength = static_cast<uint32_t>(ReadInt32());
    if (baseLength > rest - 8) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    ReadBase(baseLength, *pattern, depth);
    ReadRecords(end - GetPosition(), [&](uint32_t tag, uint32_t size) {
      CQLPattern& p = *pattern;
      switch (tag) {
        case QLTag("DSP?"): p.m_labelDSpacing = GetBool(size); return true;
        case QLTag("HKL?"): p.m_labelHKL = GetBool(size); return true;
        case QLTag("NAM?"): p.m_labelPhaseName = GetBool(size); return true;
        case QLTag("INT?"): p.m_labelRelIntensity = GetBool(size); return true;
        case QLTag("TTH?"): p.m_labelXUnits = GetBool(size); return true;
        case QLTag("*LBL"): p.m_showLabels = GetBool(size); return true;
        default: break;
      }
      if (crystal) {
        switch (tag) {
          case QLTag("CRYS"): ReadCrystal(size, crystal->m_crystal); return true;
          case QLTag("LMIN"): p.m_labelThreshold = GetFloat(size); return true;
          case QLTag("OVCL"): crystal->m_overlayColor = GetColour(size); return true;
          case QLTag("OVL#"): crystal->m_overlayLineStyle = GetByte(size); return true;
          case QLTag("OVLW"): crystal->m_overlayLineWidth = GetFloat(size); return true;
          case QLTag("*OVL"): crystal->m_showOverlay = GetBool(size); return true;
          default: break;
        }
      }
      if (mixture) {
        switch (tag) {
          case QLTag("EXP?"): mixture->SetExpanded(GetBool(size)); return true;
          case QLTag("XLBL"): p.m_labelThreshold = GetFloat(size); return true;
          case QLTag("=TOT"): mixture->m_fillUp = GetBool(size); return true;
          default: break;
        }
      }
      return observed && ReadObservedRecord(tag, size, *observed);
    });
    if (observed) {
      observed->ComputeSmoothedCurve();
      observed->ComputeBackgroundCurve();
    }
    pattern->m_settingsPending = 1;
    // The other patterns of the session are kept.
    if (!crystal || crystal->m_crystal.AcceptCell(pattern->m_title)) list.push_back(pattern);
    remaining -= 4 + uint64_t(entry);
  }
}

void CQLSessionFile::ReadBase(uint32_t length, CQLPattern& p, int depth) {
  ReadRecords(length, [&](uint32_t tag, uint32_t size) {
    switch (tag) {
      case QLTag("COLR"): p.m_color = GetColour(size); return true;
      case QLTag("FLL?"): p.m_fill = GetBool(size); return true;
      case QLTag("*LAH"): p.m_labelArrowhead = GetBool(size); return true;
      case QLTag("LBCL"): p.m_labelColor = GetColour(size); return true;
      case QLTag("*LOU"): p.m_labelOutline = GetBool(size); return true;
      case QLTag("LBA#"): p.m_labelAlignment = GetByte(size); return true;
      case QLTag("*LSH"): p.m_labelShadow = GetBool(size); return true;
      case QLTag("*LFR"): p.m_labelFrame = GetBool(size); return true;
      case QLTag("LIN#"): p.m_lineStyle = GetByte(size); return true;
      case QLTag("LNSZ"): p.m_lineWidth = GetFloat(size); return true;
      case QLTag("MKSZ"): p.m_markerSize = GetFloat(size); return true;
      case QLTag("MRK#"): p.m_markerStyle = GetByte(size); return true;
      case QLTag("XMIX"): p.m_fraction = GetFloat(size); return true;
      case QLTag("OPAC"): p.m_fillOpacity = GetFloat(size); return true;
      case QLTag("RELS"): p.m_yScale = GetFloat(size); return true;
      case QLTag("ROL?"): p.m_rotateLabels = GetBool(size); return true;
      case QLTag("SEL?"): p.m_selected = GetBool(size); return true;
      case QLTag("SHD?"): p.m_useShadow = GetBool(size); return true;
      case QLTag("VIS?"): p.m_shown = GetBool(size); return true;
      case QLTag("XOFF"): p.m_xOffset = GetFloat(size); return true;
      case QLTag("YOFF"): p.m_yOffset = GetFloat(size); return true;
      case QLTag("TITL"): p.m_title = GetString(size); return true;
      case QLTag("CHLD"): {
        CQLPatternList* components = p.GetComponents();
        if (!components) return false;  // only a mixture has components to read
        ReadPatternList(size, *components, depth + 1);
        return true;
      }
      default: return false;  // CON?, CRY? and unknown tags
    }
  });
}

void CQLSessionFile::ReadCrystal(uint32_t length, CQLCrystal& c) {
  auto floats = [&](uint32_t size, std::initializer_list<double*> out) {
    if (size != 4 * out.size()) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    for (double* v : out) *v = ReadFloat();
  };
  auto doubles = [&](uint32_t size, std::array<double, 3>& out) {
    if (size != 24) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    for (double& v : out) v = ReadDouble();
  };
  ReadRecords(length, [&](uint32_t tag, uint32_t size) {
    switch (tag) {
      case QLTag("DENS"): c.m_density = GetFloat(size); return true;
      case QLTag("ELL?"): c.m_hasDisplacements = GetBool(size); return true;
      case QLTag("IMAX"): c.m_maxIntensity = GetFloat(size); return true;
      case QLTag("SIZE"): c.m_particleSize = GetFloat(size); return true;
      case QLTag("CEN?"): c.m_centrosymmetric = GetBool(size); return true;
      case QLTag("LTYP"): c.m_latticeLetter = static_cast<char>(GetByte(size)); return true;
      case QLTag("ORG#"): c.m_originChoice = GetByte(size); return true;
      case QLTag("STRN"): c.m_isotropicStrain = GetFloat(size); return true;
      case QLTag("DVOL"): c.m_volume = GetFloat(size); return true;
      case QLTag("POC#"): SetIfInRange(c.m_poGeometry, GetU32(size), 1, 2); return true;
      case QLTag("POC?"): c.m_usePreferredOrientation = GetBool(size) ? 1 : 0; return true;
      case QLTag("POV#"): SetIfInRange(c.m_poVectorType, GetU32(size), 1, 2); return true;
      case QLTag("POAm"): c.m_poAlignment = GetFloat(size); return true;
      case QLTag("DCEL"): floats(size, {&c.m_a, &c.m_b, &c.m_c, &c.m_alpha, &c.m_beta, &c.m_gamma}); return true;
      case QLTag("OSHF"): doubles(size, c.m_originShift); return true;
      case QLTag("RCEL"):
        floats(size, {&c.m_aStar, &c.m_bStar, &c.m_cStar, &c.m_alphaStar, &c.m_betaStar, &c.m_gammaStar});
        return true;
      case QLTag("SPGR"): c.m_spaceGroupSymbol = GetString(size); return true;
      case QLTag("GEPS"): ReadOperators(size, c); return true;
      case QLTag("REFS"): ReadReflexions(size, c); return true;
      case QLTag("AUNI"): ReadSites(size, c); return true;
      case QLTag("POVe"): doubles(size, c.m_poVector); return true;
      default: return false;
    }
  });
  // A cell no editor takes is refused with its pattern, by name, once the pattern is read whole.
  if (!QLRanges::CellWithinRanges(c.m_a, c.m_b, c.m_c, c.m_alpha, c.m_beta, c.m_gamma)) return;
  // A cell that cannot exist is refused as the structure readers refuse it.
  c.ComputeMetrics();
  AssignImageRotations(c);
  c.m_state = 0;
}

void CQLSessionFile::ReadOperators(uint32_t length, CQLCrystal& c) {
  NeedItems(1, 1, length, 0);
  const uint8_t count = ReadByte();
  NeedItems(count, 60, length, 1);
  std::vector<CSymmetryOperator> operators(count);
  for (CSymmetryOperator& op : operators) {
    for (auto& row : op.m_rotation)
      for (double& v : row) v = ReadInt32();
    for (double& t : op.m_translation) t = ReadDouble();
    // A crystallographic rotation has entries -1, 0 or 1 and determinant ±1; anything else would
    // carry reflexion indices out of range.
    const auto& r = op.m_rotation;
    const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) - r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                       r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
    bool valid = std::fabs(det) == 1.0;
    for (const auto& row : r)
      for (double v : row) valid = valid && std::fabs(v) <= 1.0;
    for (double t : op.m_translation) valid = valid && std::isfinite(t);
    if (!valid) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    op.m_text = op.Format(1);
  }
  c.m_operators = std::move(operators);
}

void CQLSessionFile::ReadReflexions(uint32_t length, CQLCrystal& c) {
  NeedItems(1, 4, length, 0);
  const auto count = static_cast<uint32_t>(ReadInt32());
  NeedItems(count, 56, length, 4);
  std::vector<std::shared_ptr<CQLReflexion>> reflexions;
  reflexions.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    auto r = std::make_shared<CQLReflexion>();
    for (int32_t* v : {&r->h, &r->k, &r->l, &r->multiplicity, &r->indexNorm}) *v = ReadInt32();
    for (double* v : {&r->d, &r->x, &r->intensity, &r->relativeIntensity, &r->phase, &r->A, &r->B,
                      &r->lorentzPolarisation, &r->width})
      *v = ReadFloat();
    reflexions.push_back(std::move(r));
  }
  c.m_reflexions = std::move(reflexions);
}

void CQLSessionFile::ReadSites(uint32_t length, CQLCrystal& c) {
  const uint64_t start = GetPosition();
  auto used = [&] { return GetPosition() - start; };
  NeedItems(1, 4, length, 0);
  const auto count = static_cast<uint32_t>(ReadInt32());
  // Smallest site: species count, fill, label length, x y z, position count, included, displacement.
  NeedItems(count, 1 + 1 + 1 + 12 + 4 + 1 + 1, length, 4);
  std::vector<CQLSite> sites;
  sites.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    CQLSite site;
    NeedItems(1, 1, length, used());
    const uint8_t species = ReadByte();
    for (uint8_t k = 0; k < species; ++k) {
      NeedItems(1, 1, length, used());
      const uint8_t n = ReadByte();
      NeedItems(1, n + 4u, length, used());
      const CString symbol = GetString(n);
      site.m_species.emplace_back(symbol.GetString(), ReadFloat());
    }
    NeedItems(1, 2, length, used());
    site.m_fillVacancies = ReadByte() != 0;
    const uint8_t labelLength = ReadByte();
    NeedItems(1, labelLength + 16u, length, used());
    site.m_label = GetString(labelLength);
    site.m_x = ReadFloat(), site.m_y = ReadFloat(), site.m_z = ReadFloat();
    const auto positions = static_cast<uint32_t>(ReadInt32());
    NeedItems(positions, 12, length, used());
    site.m_positions.reserve(positions);
    for (uint32_t p = 0; p < positions; ++p) site.m_positions.push_back({ReadFloat(), ReadFloat(), ReadFloat()});
    NeedItems(1, 2, length, used());
    site.m_included = ReadByte() != 0;
    if (ReadByte() != 0) {
      NeedItems(1, 5, length, used());
      const double u = ReadFloat();
      if (ReadByte() != 0) {
        NeedItems(9, 8, length, used());
        const double zero[9] = {};
        auto aniso = std::make_unique<CQLAnisoThermalEllipsoid>(zero, c.m_aStar, c.m_bStar, c.m_cStar);
        for (double& b : aniso->m_beta) b = ReadDouble();
        aniso->m_u = u;
        site.m_displacement = std::move(aniso);
      } else {
        site.m_displacement = std::make_unique<CQLThermalEllipsoid>(u);
      }
    }
    sites.push_back(std::move(site));
  }
  if (used() != length) throw CLXXFileInvalid(kLXSeverityMessage, 0, 2491);
  c.m_sites = std::move(sites);
}

bool CQLSessionFile::ReadObservedRecord(uint32_t tag, uint32_t size, CQLObservedPattern& o) {
  CQLCurveStyle* style = nullptr;
  switch (tag) {
    case QLTag("BNOD"): {
      NeedItems(1, 4, size, 0);
      const auto count = static_cast<uint32_t>(ReadInt32());
      NeedItems(count, 48, size, 4);
      std::vector<CQLControlPoint> nodes(count);
      for (CQLControlPoint& n : nodes) {
        for (double* v : {&n.x, &n.y, &n.leftX, &n.leftY, &n.rightX, &n.rightY}) *v = ReadDouble();
        n.owner = &o;
      }
      o.m_controlPoints = std::move(nodes);
      return true;
    }
    case QLTag("PNTS"): {
      NeedItems(1, 4, size, 0);
      const auto count = static_cast<uint32_t>(ReadInt32());
      NeedItems(count, 16, size, 4);
      CQLProfile points(count);
      for (CQLProfilePoint& p : points) {
        p.x = ReadDouble();
        p.y = ReadDouble();
      }
      o.m_profile = std::move(points);
      return true;
    }
    case QLTag("ASYS"): o.m_autoYScale = GetBool(size); return true;
    case QLTag("SMPV"): o.m_overlaySmoothed = GetBool(size); return true;
    case QLTag("PVBK"): o.m_previewSubtraction = GetBool(size); return true;
    case QLTag("SMTH"): o.m_smoothing = GetBool(size); return true;
    case QLTag("SMRD"): {
      const auto points = static_cast<int32_t>(GetU32(size));
      // A smoothing half width beyond any data set would only make the moving average crawl.
      if (points >= 0 && points <= 100000) o.m_smoothingPoints = points;
      return true;
    }
    case QLTag("RMBK"): o.m_subtractBackground = GetBool(size); return true;
    case QLTag("BKCL"): case QLTag("BKL#"): case QLTag("BKLW"): style = &o.m_backgroundStyle; break;
    case QLTag("MPCl"): case QLTag("MPL#"): case QLTag("MPLW"): case QLTag("MPMS"): case QLTag("MPM#"):
      style = &o.m_extraStyle;
      break;
    case QLTag("SPCl"): case QLTag("SPL#"): case QLTag("SPLW"): case QLTag("SPMS"): case QLTag("SPM#"):
      style = &o.m_smoothedStyle;
      break;
    default: return false;  // *BkS repeats RMBK; unknown tags
  }
  // The last two characters say which style value: C? colour, L# line style, M# marker style.
  const char third = static_cast<char>(tag >> 8 & 0xFF);
  if (third == 'C') {
    style->color = GetColour(size);
    return true;
  }
  switch (tag & 0xFF) {
    case '#': (third == 'L' ? style->lineStyle : style->markerStyle) = GetByte(size); break;
    case 'W': style->lineWidth = GetFloat(size); break;
    case 'S': style->markerSize = GetFloat(size); break;
    default: return false;
  }
  return true;
}
