#include "QLSessionPre6File.h"

#include "DiffractionSettings.h"
#include "LXUtils.h"
#include "QLCrystalFile.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "SpaceGroups.h"
#include "ValueRanges.h"

#include <cmath>
#include <cstring>

namespace {
constexpr uint32_t kOpaqueRed = 0xFFFF0000u;
constexpr UINT kIdsUnusableValue = 1319;
constexpr float kPositionTolerance = 0.00011f;

uint32_t ArgbFromColor(const LXGraphics::CColor& c) { return c.GetValue(); }

// Periodic: positions that differ by whole cells are the same.
bool SamePosition(const QLPosition& a, const QLPosition& b) {
  for (int i = 0; i < 3; ++i) {
    const double d = a[i] - b[i];
    if (std::fabs(d - std::round(d)) >= kPositionTolerance) return false;
  }
  return true;
}
}  // namespace

void ApplyLegacyStyle(CQLPattern& pattern, uint32_t color, uint16_t s, uint16_t p) {
  pattern.m_color = color;
  static const int kMarkers[] = {0, 1, 12, 11, 0, 1, 12, 11, 0, 0};
  pattern.m_fill = s == 8 || s == 9;
  if (s > 9) return;
  if (s <= 3 || s == 8 || s == 9) pattern.m_lineStyle = 0;
  if (s >= 4 && s <= 6) pattern.m_lineStyle = p == 1 ? 2 : 1;
  pattern.m_markerStyle = static_cast<uint32_t>(kMarkers[s]);
  if (s == 9) pattern.m_color = (color & 0x00FFFFFFu) | (127u << 24);
}

bool CQLSessionPre6File::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  // A current session shares the first record; read as a legacy one it would only fail. A file
  // that cannot be opened is told once, below.
  uint32_t current = 0;
  if (CQLSessionFile::TestFile(path, current, false)) return false;
  try {
    CQLSessionPre6File file;
    if (!file.OpenForTest(path, true, 598)) return false;
    file.Seek(0, begin);
    if (static_cast<uint32_t>(file.ReadInt32BigEndian()) != QLTag("QLSF")) return false;
    typeCode = 11;
    file.ReadInt32();
    char name[15];
    file.ReadExact(15, name);
    return std::memcmp(name, "Quillonographic", 15) == 0;
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

void CQLSessionPre6File::Need(uint64_t bytes, uint64_t length, uint64_t used) {
  if (used > length || bytes > length - used) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
}

template <class Handler>
void CQLSessionPre6File::ReadGroup(uint32_t closingTag, Handler&& handler) {
  for (;;) {
    const auto tag = static_cast<uint32_t>(ReadInt32BigEndian());
    if (tag == closingTag) return;
    const auto length = static_cast<uint32_t>(ReadInt32());
    if (length > BytesRemaining()) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
    const uint64_t start = GetPosition();
    handler(tag, length);
    if (GetPosition() > start + length) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
    Seek(static_cast<int64_t>(start + length), begin);
  }
}

void CQLSessionPre6File::ReadHeader() {
  Seek(0, begin);
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != QLTag("QLSF")) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1732);
  SkipRecord();
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != QLTag("VERS")) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1744);
  if (ReadInt32() != 10) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1745);
  wchar_t text[11];
  ReadMacString(10, text);
  CString version(text);
  version.Trim();
  m_programVersion = CUtils::VersionFromString(version);
  if (m_programVersion == 0) throw CLXXFileBadVersion(kLXSeverityMessage, 0, 1768);
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != QLTag("FVRS")) {
    m_platform = 0;
    m_formatVersion = 1;
    Seek(-4, current);
    return;
  }
  if (ReadInt32() != 5) throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1779);
  const uint8_t platform = ReadByte();
  if (platform != 'M' && platform != 'W') throw CLXXFileBadHeader(kLXSeverityMessage, 0, 1784);
  m_platform = platform == 'W' ? 1 : 0;
  m_formatVersion = static_cast<uint32_t>(ReadInt32());
  if (m_formatVersion == 2) {
    CString release;
    CUtils::VersionPartsToString(1, 0, 1, L'f', 0, release);
    m_programVersion = CUtils::VersionFromString(release);
  }
}

void CQLSessionPre6File::ReadBlock(uint32_t) {
  ReadHeader();
  if (m_platform == 0 && m_programVersion < 0x05000080u) throw CLXXFileObsoleteMac5(kLXSeverityMessage, 0, 696);
  if (m_formatVersion >= 4) throw CLXXFileTooNew(kLXSeverityMessage, 0, 698);
  if (m_fileType != 11) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, 707, GetFilePath());

  CQlwDocWindowState scratchState;
  CDiffractionSettings scratchSettings(true);
  CQLPatternList scratchList;
  CQlwDocWindowState& state = m_readWindowState ? *m_readWindowState : scratchState;
  CDiffractionSettings& settings = m_readSettings ? *m_readSettings : scratchSettings;
  CQLPatternList& list = m_readTarget ? *m_readTarget : scratchList;
  const CString title = GetFileTitle();

  // The patterns of this file, in file order, which PLST indexes and nPAT counts.
  std::vector<CQLPatternPtr> read;
  int64_t declared = -1;
  bool listed = false;
  for (;;) {
    const auto tag = static_cast<uint32_t>(ReadInt32BigEndian());
    if (tag == QLTag("STOP")) break;
    const auto length = static_cast<uint32_t>(ReadInt32());
    switch (tag) {
      case QLTag("nPAT"):
        if (length != 4) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        declared = static_cast<uint32_t>(ReadInt32());
        break;
      case QLTag("PAT_"): {
        if (declared < 0) throw CLXXFileInvalid(kLXSeverityMessage, 0, 759);
        CQLPatternPtr pattern = ReadPatternGroup();
        // A refused pattern keeps its place in the file's order, which the list of shown ones indexes.
        const CQLCrystal* crystal = pattern->GetCrystal();
        if (crystal && !crystal->AcceptCell(pattern->m_title)) {
          read.push_back(nullptr);
          break;
        }
        pattern->SetShown(false);
        pattern->m_settingsPending = 1;
        list.push_back(pattern);
        read.push_back(pattern);
        break;
      }
      case QLTag("PLST"): {
        if (length < 4 || length > BytesRemaining()) throw CLXXFileInvalid(kLXSeverityMessage, 0, __LINE__);
        const auto n = static_cast<uint32_t>(ReadInt32());
        Need(uint64_t(n) * 4, length, 4);
        for (uint32_t i = 0; i < n; ++i) {
          const auto index = static_cast<uint32_t>(ReadInt32());
          if (index < read.size() && read[index]) read[index]->SetShown(true);
        }
        listed = true;
        Seek(static_cast<int64_t>(length) - 4 - 4 * int64_t(n), current);
        break;
      }
      case QLTag("PLT_"): ReadPlotGroup(settings); break;
      case QLTag("WIN_"): ReadWindowGroup(state); break;
      default:
        if (length > BytesRemaining()) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
        Seek(length, current);
        break;
    }
  }
  if (std::max<int64_t>(declared, 0) != static_cast<int64_t>(read.size()))
    throw CLXXFileSessionNumPatterns(kLXSeverityMessage, 0, 882);
  std::erase(read, nullptr);
  for (const CQLPatternPtr& p : read) {
    if (auto* crystal = dynamic_cast<CQLCrystalPattern*>(p.get())) {
      crystal->m_showOverlay = m_overlayShown;
      crystal->m_overlayLineStyle = m_overlayLineStyle;
      crystal->m_overlayColor = crystal->m_color;
      crystal->m_overlayLineWidth = 1.0f;
    }
  }
  if (m_mixtureFlag) GatherIntoMixtures(list, read);
  if (!listed)
    for (const CQLPatternPtr& p : read) p->SetShown(true);
}

void CQLSessionPre6File::GatherIntoMixtures(CQLPatternList& list, std::vector<CQLPatternPtr>& read) {
  auto simulated = std::make_shared<CQLMixturePattern>(), observed = std::make_shared<CQLMixturePattern>();
  for (const CQLPatternPtr& p : read) {
    if (!p->IsShown()) continue;
    (p->GetCrystal() ? simulated : observed)->m_components.push_back(p);
    list.remove(p);
  }
  const struct {
    std::shared_ptr<CQLMixturePattern> mixture;
    UINT title;
    Style style;
  } made[] = {{simulated, 2106, m_simulatedStyle}, {observed, 2109, m_observedStyle}};
  for (const auto& m : made) {
    if (m.mixture->m_components.empty()) continue;
    m.mixture->m_title.LoadString(m.title);
    m.mixture->SetShown(true);
    ApplyLegacyStyle(*m.mixture, m.style.color, m.style.s, m.style.p);
    m.mixture->m_settingsPending = 1;
    list.push_back(m.mixture);
  }
}

// ----- window and plot groups -----

void CQLSessionPre6File::ReadWindowGroup(CQlwDocWindowState& state) {
  ReadGroup(QLTag("_WIN"), [&](uint32_t tag, uint32_t length) {
    switch (tag) {
      case QLTag("*Fls"): Need(1, length, 0); state.showStructures = ReadByte() != 0; break;
      case QLTag("*Prm"): Need(1, length, 0); state.showParameters = ReadByte() != 0; break;
      case QLTag("RECT"): Need(8, length, 0); ReadRect(state.rect); break;
      case QLTag("TITL"): ReadUTF16String(length / 2, m_windowTitle); break;
      default: break;
    }
  });
}

void CQLSessionPre6File::ReadPlotGroup(CDiffractionSettings& s) {
  double fwhm = 0;
  uint32_t radiation = 0, axis = 0xFFFFFFFFu;
  ReadGroup(QLTag("_PLT"), [&](uint32_t tag, uint32_t length) {
    auto floats = [&](std::initializer_list<double*> out) {
      Need(4 * out.size(), length, 0);
      for (double* v : out) {
        const double value = ReadFloat();
        if (v) *v = value;
      }
    };
    switch (tag) {
      case QLTag("PETA"): floats({&s.m_eta}); break;
      case QLTag("FWHM"): floats({&fwhm}); break;
      case QLTag("XLIM"): floats({&s.m_defaultXMin, &s.m_defaultXMax}); break;
      case QLTag("RANG"): floats({&s.m_visibleXMin, &s.m_visibleXMax, &s.m_visibleYMin, &s.m_visibleYMax}); break;
      case QLTag("dMin"): floats({&s.m_dMin}); break;
      case QLTag("dTOF"): floats({&s.m_tofDistance}); break;
      case QLTag("tEDS"): floats({&s.m_edxTheta}); break;
      case QLTag("tTOF"): floats({&s.m_tofTheta}); break;
      case QLTag("WAVL"): {
        Need(2 + 16, length, 0);
        const uint16_t n = ReadUInt16();
        double lambda1 = 0, lambda2 = 0, weight2 = 0;
        floats({&lambda1, nullptr, &lambda2, &weight2});
        if (n > 2) Need(uint64_t(n - 2) * 8, length, 18);
        // Wavelengths of 0 and a second weight of 0 would give an infinite wavelength ratio.
        auto take = [&](double& field, double value, const wchar_t* what) {
          if (std::isfinite(value) && value > 0) {
            field = value;
            return;
          }
          LogStringColor(kIdsUnusableValue, kOpaqueRed, what, value);
          ++m_warnings;
        };
        take(s.m_lambda, lambda1, L"wavelength");
        take(s.m_lambda2, lambda2, L"second wavelength");
        take(s.m_lambdaRatio, 1.0 / weight2, L"wavelength ratio");
        break;
      }
      case QLTag("PLT?"): {
        Need(4, length, 0);
        const uint16_t a = ReadUInt16(), b = ReadUInt16();
        if (a == 1 || a == 2) s.m_filmMode = a == 1;
        if (b >= 1 && b <= 4) s.m_profileType = static_cast<LXTypes::QLProfileType>(b);
        break;
      }
      case QLTag("RAD?"): Need(2, length, 0); radiation = ReadUInt16(); break;
      case QLTag("AXS?"):
        Need(2, length, 0);
        axis = ReadUInt16();
        if (axis <= 4) s.m_axisType = static_cast<LXTypes::QLAxisType>(axis + 1);
        break;
      case QLTag("GRID"): {
        Need(1 + 6 + 2, length, 0);
        s.m_showGrid = ReadByte() != 0;
        LXGraphics::CColor color;
        ReadColor(color);
        s.m_gridColor = ArgbFromColor(color);
        break;
      }
      case QLTag("MONO"): Need(1, length, 0); s.m_monochromatic = ReadByte() != 0; break;
      case QLTag("OPK?"): {
        Need(2, length, 0);
        const uint16_t k = ReadUInt16();
        if (k == 0) m_overlayShown = false;
        if (k == 1 || k == 2) m_overlayShown = true, m_overlayLineStyle = 2;
        if (k == 3 || k == 4) m_overlayShown = true, m_overlayLineStyle = 1;
        break;
      }
      case QLTag("CURS"): {
        Need(5, length, 0);
        const uint8_t on = ReadByte();
        const double x = ReadFloat();
        CCursor* cursor = s.GetCursor(true);
        if (!on) {
          cursor->Deactivate();
        } else if (!cursor->m_on) {
          cursor->m_on = 1;
          cursor->Notify(4, 0);
        }
        cursor->m_x = x;
        cursor->m_xSet = 1;
        cursor->Notify(4, 0);
        break;
      }
      case QLTag("*LGN"): Need(1, length, 0); s.m_showLegend = ReadByte() != 0; break;
      case QLTag("*MIX"): Need(1, length, 0); m_mixtureFlag = ReadByte() != 0; break;
      case QLTag("XmPS"): m_simulatedStyle = ReadStyle(length); break;
      case QLTag("SPmD"): m_observedStyle = ReadStyle(length); break;
      default: break;  // SCAL, GREY, Max#, *RES, SPsR and unknown tags
    }
  });
  if (!m_windowTitle.IsEmpty()) {
    s.m_fourthText = m_windowTitle;
    s.m_showPlotTitle = true;
  }
  static const uint32_t kSimulation[2][5] = {{1, 1, 1, 2, 3}, {2, 2, 2, 4, 3}};
  if ((radiation == 1 || radiation == 2) && axis <= 4)
    s.m_simulationType = static_cast<LXTypes::QLSimulationType>(kSimulation[radiation - 1][axis]);
  if (fwhm > 0) {
    s.m_tthPeakWidth = s.ConvertWidth(fwhm, s.m_axisType, LXTypes::kAxis2Theta);
    s.m_edxPeakWidth = s.ConvertWidth(fwhm, s.m_axisType, LXTypes::kAxisEnergy);
  }
}

CQLSessionPre6File::Style CQLSessionPre6File::ReadStyle(uint32_t length) {
  Need(6 + 4, length, 0);
  Style style;
  LXGraphics::CColor color;
  ReadColor(color);
  style.color = ArgbFromColor(color);
  style.s = ReadUInt16();
  style.p = ReadUInt16();
  return style;
}

// ----- patterns -----

CQLPatternPtr CQLSessionPre6File::ReadPatternGroup() {
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != QLTag("PAT?") || ReadInt32() != 2)
    throw CLXXFileInvalid(kLXSeverityMessage, 0, 768);
  const uint16_t kind = ReadUInt16();
  CQLPatternPtr pattern;
  std::shared_ptr<CQLObservedPattern> observed;
  if (kind == 1) {
    pattern = std::make_shared<CQLCrystalPattern>(false);
    // The site position counts belong to one crystal: a second crystal starts without them.
    m_positionCounts.clear();
  } else if (kind == 2) {
    pattern = observed = std::make_shared<CQLObservedPattern>(false);
  } else {
    throw CLXXFileSessionUnknownPattern(kLXSeverityMessage, 0, 791, GetFileTitle());
  }
  pattern->m_title.LoadString(1120);
  bool symbolGiven = false;
  ReadGroup(QLTag("_PAT"), [&](uint32_t tag, uint32_t length) {
    switch (tag) {
      case QLTag("Styl"): {
        const Style style = ReadStyle(length);
        Need(6 + 4 + 8, length, 0);
        pattern->m_lineWidth = ReadFloat();
        pattern->m_markerSize = ReadFloat();
        ApplyLegacyStyle(*pattern, style.color, style.s, style.p);
        return;
      }
      case QLTag("Titl"): ReadUTF16String(length / 2, pattern->m_title); return;
      case QLTag("dXdY"):
        Need(8, length, 0);
        pattern->m_xOffset = ReadFloat();
        pattern->m_yOffset = ReadFloat() * 1000.0;
        return;
      case QLTag("Slct"): Need(1, length, 0); pattern->m_selected = ReadByte() != 0; return;
      default: break;
    }
    if (observed) {
      if (tag == QLTag("Data")) {
        Need(4, length, 0);
        const auto n = static_cast<uint32_t>(ReadInt32());
        Need(uint64_t(n) * 8, length, 4);
        observed->m_profile.reserve(observed->m_profile.size() + n);
        for (uint32_t i = 0; i < n; ++i) {
          const double x = ReadFloat();
          observed->m_profile.push_back({x, ReadFloat()});
        }
      } else if (tag == QLTag("RelS")) {
        Need(4, length, 0);
        observed->m_yScale = ReadFloat() * 1000.0;
        observed->m_autoYScale = 0;
      }
      return;
    }
    if (tag == QLTag("Spgr")) symbolGiven = length > 0;
    ReadCrystalRecord(tag, length, *pattern);
  });
  if (CQLCrystal* crystal = pattern->GetCrystal()) {
    // A cell no editor takes is refused with its pattern by the caller, by name.
    if (!QLRanges::CellWithinRanges(crystal->m_a, crystal->m_b, crystal->m_c, crystal->m_alpha, crystal->m_beta,
                                    crystal->m_gamma))
      return pattern;
    // A cell that cannot exist is refused as the structure readers refuse it.
    crystal->ComputeMetrics();
    IdentifySpaceGroup(*crystal, symbolGiven && !crystal->m_spaceGroupSymbol.IsEmpty());
  }
  if (observed) {
    observed->ComputeSmoothedCurve();
    observed->ComputeBackgroundCurve();
  }
  return pattern;
}

bool CQLSessionPre6File::ReadCrystalRecord(uint32_t tag, uint32_t length, CQLPattern& pattern) {
  CQLCrystal& c = *pattern.GetCrystal();
  auto floats = [&](std::initializer_list<double*> out) {
    Need(4 * out.size(), length, 0);
    for (double* v : out) *v = ReadFloat();
  };
  switch (tag) {
    case QLTag("Cell"): floats({&c.m_a, &c.m_b, &c.m_c, &c.m_alpha, &c.m_beta, &c.m_gamma}); return true;
    case QLTag("RCEL"): floats({&c.m_aStar, &c.m_bStar, &c.m_cStar, &c.m_alphaStar, &c.m_betaStar, &c.m_gammaStar}); return true;
    case QLTag("Spgr"): {
      std::vector<wchar_t> text(length + 1u);
      ReadMacString(length, text.data());
      c.m_spaceGroupSymbol = text.data();
      c.m_spaceGroupSymbol.Trim();
      return true;
    }
    case QLTag("Ltc?"): Need(1, length, 0); c.m_latticeLetter = static_cast<char>(ReadByte()); return true;
    case QLTag("DENS"): floats({&c.m_density}); return true;
    case QLTag("DVOL"): floats({&c.m_volume}); return true;
    case QLTag("Size"): floats({&c.m_particleSize}); return true;
    case QLTag("Strn"): floats({&c.m_isotropicStrain}); return true;
    case QLTag("VolF"): floats({&pattern.m_fraction}); return true;
    case QLTag("Labl"): {
      Need(4, length, 0);
      pattern.m_showLabels = ReadByte() != 0;
      pattern.m_labelThreshold = ReadUInt16();
      const uint8_t n = ReadByte();
      Need(n, length, 4);
      for (uint8_t i = 0; i < n; ++i) {
        switch (ReadByte()) {
          case 'D': pattern.m_labelDSpacing = 1; break;
          case 'H': pattern.m_labelHKL = 1; break;
          case 'P': pattern.m_labelPhaseName = 1; break;
          case 'X': pattern.m_labelXUnits = 1; break;
          default: break;
        }
      }
      return true;
    }
    case QLTag("AUni"): ReadSites(length, c); return true;
    case QLTag("Atom"): ReadPositions(length, c); return true;
    case QLTag("AUEL"): ReadDisplacements(length, c); return true;
    default: return false;  // RMTR (recomputed from the cell), IMAX, ADP?, REFS and unknown tags
  }
}

void CQLSessionPre6File::ReadSites(uint32_t length, CQLCrystal& c) {
  c.m_sites.clear();
  m_positionCounts.clear();
  const uint64_t start = GetPosition();
  auto used = [&] { return GetPosition() - start; };
  Need(4, length, 0);
  const auto count = static_cast<uint32_t>(ReadInt32());
  // Smallest site: species count, label length, x y z, two words, position count, included.
  Need(uint64_t(count) * (2 + 1 + 12 + 8 + 4 + 1), length, 4);
  c.m_sites.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    CQLSite site;
    Need(2, length, used());
    const uint16_t species = ReadUInt16();
    Need(uint64_t(species) * 6 + 1, length, used());
    for (uint16_t k = 0; k < species; ++k) {
      const uint16_t raw = ReadUInt16();
      char symbol[2] = {char(raw >> 8), char(raw & 0xFF)};
      NormalizeElementSymbol(symbol);
      uint16_t code = uint16_t(uint16_t(uint8_t(symbol[0])) << 8 | uint8_t(symbol[1]));
      if (!IsElementCodeNormalized(code)) code = kUnknownElementCode;
      site.m_species.emplace_back(ElementCodeToString(code).GetString(), ReadFloat());
    }
    const uint8_t labelLength = ReadByte();
    Need(labelLength + 12u + 8u + 4u + 1u, length, used());
    wchar_t label[256];
    label[0] = 0;
    ReadMacString(labelLength, label);
    site.m_label = label;
    site.m_x = ReadFloat(), site.m_y = ReadFloat(), site.m_z = ReadFloat();
    ReadInt32(), ReadInt32();
    m_positionCounts.push_back(static_cast<uint32_t>(ReadInt32()));
    site.m_included = ReadByte() != 0;
    site.m_fillVacancies = true;
    c.m_sites.push_back(std::move(site));
  }
}

void CQLSessionPre6File::ReadPositions(uint32_t length, CQLCrystal& c) {
  Need(4, length, 0);
  const auto total = static_cast<uint32_t>(ReadInt32());
  if (total == 0) return;
  if (c.m_sites.size() != m_positionCounts.size()) throw CLXXFileNumAtomsPerSiteErr(kLXSeverityMessage, 0, 999);
  uint64_t read = 0;
  for (size_t i = 0; i < c.m_sites.size(); ++i) {
    Need(m_positionCounts[i] * 12, length, 4 + read * 12);
    for (uint64_t k = 0; k < m_positionCounts[i]; ++k, ++read) {
      const double x = ReadFloat(), y = ReadFloat();
      c.m_sites[i].m_positions.push_back({x, y, static_cast<double>(ReadFloat())});
    }
  }
  if (read != total) throw CLXXFileNumAtomsErr(kLXSeverityMessage, 0, 1026);
}

void CQLSessionPre6File::ReadDisplacements(uint32_t length, CQLCrystal& c) {
  Need(4, length, 0);
  const auto count = static_cast<uint32_t>(ReadInt32());
  if (count != c.m_sites.size()) throw CLXXFileSessionADPMismatch(kLXSeverityMessage, 0, 1165);
  uint64_t used = 4;
  bool reported = false;
  for (CQLSite& site : c.m_sites) {
    Need(6, length, used);
    const uint16_t kind = ReadUInt16();
    const double u = ReadFloat();
    used += 6;
    float terms[6] = {};
    if (kind == 2 || kind == 3) {
      Need(24, length, used);
      for (float& t : terms) t = ReadFloat();
      used += 24;
    }
    double tensor[9];
    TensorFromBinaryOrder(terms, tensor);
    site.m_displacement.reset();
    if ((kind == 2 || kind == 3) && !IsPositiveDefinite3x3(tensor)) {
      // One warning per record: it speaks of all the structure's parameters at once.
      if (!reported) CLXXFileBadADP(kLXSeverityMessage, 0, __LINE__).Report();
      reported = true;
      continue;
    }
    if (kind == 1) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(u);
    } else if (kind == 2) {
      site.m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(tensor, c.m_aStar, c.m_bStar, c.m_cStar);
    } else if (kind == 3) {
      const double zero[9] = {};
      auto aniso = std::make_unique<CQLAnisoThermalEllipsoid>(zero, c.m_aStar, c.m_bStar, c.m_cStar);
      std::copy(tensor, tensor + 9, aniso->m_beta);
      aniso->m_u = u;
      site.m_displacement = std::move(aniso);
    }
  }
}

void CQLSessionPre6File::IdentifySpaceGroup(CQLCrystal& c, bool symbolGiven) {
  for (int row = 0; g_SpaceGroupTable[row].number < 231; ++row) {
    const CSpaceGroupRow& r = g_SpaceGroupTable[row];
    const CString symbol(r.shortSymbol[0] ? r.shortSymbol : r.fullSymbol);
    if (symbolGiven && c.m_spaceGroupSymbol != symbol && c.m_spaceGroupSymbol != CString(r.fullSymbol)) continue;
    CQLCrystal copy;
    copy.m_a = c.m_a, copy.m_b = c.m_b, copy.m_c = c.m_c;
    copy.m_alpha = c.m_alpha, copy.m_beta = c.m_beta, copy.m_gamma = c.m_gamma;
    copy.m_spaceGroupSymbol = symbol;
    copy.m_originChoice = r.originChoice;
    copy.m_latticeLetter = r.fullSymbol[0];
    copy.m_operators.clear();
    for (int k = 0; k < r.operatorCount; ++k) copy.m_operators.emplace_back(OperatorTextFromCode(r.codes[k]).GetString());
    copy.m_sites.clear();
    for (const CQLSite& site : c.m_sites) {
      CQLSite bare;
      bare.m_x = site.m_x, bare.m_y = site.m_y, bare.m_z = site.m_z;
      copy.m_sites.push_back(std::move(bare));
    }
    copy.ExpandSitesBySymmetry();
    bool match = true;
    for (size_t i = 0; i < c.m_sites.size() && match; ++i) {
      const auto& mine = c.m_sites[i].m_positions;
      const auto& theirs = copy.m_sites[i].m_positions;
      match = mine.size() == theirs.size();
      for (size_t k = 0; k < theirs.size() && match; ++k)
        match = std::any_of(mine.begin(), mine.end(), [&](const QLPosition& p) { return SamePosition(p, theirs[k]); });
    }
    if (match) {
      c.m_spaceGroupSymbol = symbol;
      c.m_originChoice = r.originChoice;
      c.m_latticeLetter = r.fullSymbol[0];
      c.m_operators.clear();
      c.m_state = 0;
      return;
    }
  }
  // The positions are all there is: each becomes a site of its own in P 1.
  c.SplitMultiPositionSites();
  c.m_spaceGroupSymbol = L"P 1";
  c.m_originChoice = 0;
  c.m_latticeLetter = 'P';
  c.m_operators.clear();
  c.m_state = 0;
}
