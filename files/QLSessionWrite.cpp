// Writing the session file: header, WINS, PLOT and PATS blocks, STOP and the CRC trailer.
#include "QLSessionFile.h"

#include "DiffractionSettings.h"
#include "QLCrystalFile.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "TextCodec.h"

#include <cstring>

#ifndef QLW_VERSION_TEXT
#define QLW_VERSION_TEXT "1.0.0"
#endif

namespace {
constexpr const char* kHeaderText = "Quillonographic 6 Session File - a saved working arrangement of patterns and settings";

// At most 255 bytes of UTF-8, cut before a partial character.
std::string ShortUtf8(const CString& text) {
  std::string bytes = qlw::ToUtf8(text.GetString());
  if (bytes.size() > 255) {
    size_t n = 255;
    while (n > 0 && (static_cast<uint8_t>(bytes[n]) & 0xC0) == 0x80) --n;
    bytes.resize(n);
  }
  return bytes;
}
}  // namespace

uint64_t CQLSessionFile::BeginRecord(uint32_t tag) {
  WriteInt32BigEndian(static_cast<int32_t>(tag));
  const uint64_t start = GetPosition();
  WriteInt32(0);
  return start;
}

void CQLSessionFile::EndRecord(uint64_t start) { PatchBlockLength(start); }

void CQLSessionFile::WriteRecordHeader(uint32_t tag, uint32_t length) {
  WriteInt32BigEndian(static_cast<int32_t>(tag));
  WriteInt32(static_cast<int32_t>(length));
}

void CQLSessionFile::WriteBool(uint32_t tag, bool value) {
  WriteRecordHeader(tag, 1);
  WriteByte(value ? 0xFF : 0x00);
}

void CQLSessionFile::WriteByteRecord(uint32_t tag, uint32_t value) {
  WriteRecordHeader(tag, 1);
  WriteByte(static_cast<uint8_t>(value));
}

void CQLSessionFile::WriteU32(uint32_t tag, uint32_t value) {
  WriteRecordHeader(tag, 4);
  WriteInt32(static_cast<int32_t>(value));
}

void CQLSessionFile::WriteFloatRecord(uint32_t tag, double value) {
  WriteRecordHeader(tag, 4);
  WriteFloat(static_cast<float>(value));
}

void CQLSessionFile::WriteString(uint32_t tag, const CString& text) {
  const std::string bytes = qlw::ToUtf8(text.GetString());
  WriteRecordHeader(tag, static_cast<uint32_t>(bytes.size()));
  if (!bytes.empty()) Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void CQLSessionFile::WriteColour(uint32_t tag, uint32_t argb) { WriteColorRecord(tag, LXGraphics::CColor(argb)); }

void CQLSessionFile::WriteBlock(uint32_t) {
  if (!IsOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, 806);
  const std::string header = kHeaderText;
  WriteRecordHeader(QLTag("QLSF"), static_cast<uint32_t>(header.size()));
  Write(header.data(), static_cast<uint32_t>(header.size()));
  WriteString(QLTag("VERS"), CString(QLW_VERSION_TEXT " for Windows"));
  WriteString(QLTag("PLAT"), CString(L"Win"));
  WriteU32(QLTag("FVER"), kFormatVersion);

  const CQlwDocWindowState defaultState;
  const CDiffractionSettings defaultSettings(true);
  const CQLPatternList none;
  uint64_t block = BeginRecord(QLTag("WINS"));
  WriteWindowState(m_writeWindowState ? *m_writeWindowState : defaultState);
  EndRecord(block);
  block = BeginRecord(QLTag("PLOT"));
  WriteSettings(m_writeSettings ? *m_writeSettings : defaultSettings);
  EndRecord(block);
  block = BeginRecord(QLTag("PATS"));
  WritePatternList(m_writeSource ? *m_writeSource : none);
  EndRecord(block);
  WriteRecordHeader(QLTag("STOP"), 0);
  AppendCRC();
}

void CQLSessionFile::WriteWindowState(const CQlwDocWindowState& s) {
  WriteBool(QLTag("*PAT"), s.showStructures);
  WriteBool(QLTag("*PRM"), s.showParameters);
  WriteBool(QLTag("*REF"), s.showReflexions);
  WriteFloatRecord(QLTag("PATW"), s.structuresWidth);
  WriteFloatRecord(QLTag("REFH"), s.reflexionsRelHeight);
  WriteU32(QLTag("ITab"), static_cast<uint32_t>(s.parametersTab));
  uint32_t length = 4;
  for (const CString& name : s.openPanes) length += 4 + static_cast<uint32_t>(name.GetLength());
  WriteRecordHeader(QLTag("VPAN"), length);
  WriteInt32(static_cast<int32_t>(s.openPanes.size()));
  for (const CString& name : s.openPanes) {
    // One byte per character, as the system's single-byte code page stores the pane names.
    std::string bytes;
    for (int i = 0; i < name.GetLength(); ++i) bytes += name[i] < 256 ? static_cast<char>(name[i]) : '?';
    WriteInt32(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  WriteRecordHeader(QLTag("RECT"), 32);
  WriteDoubleRect(s.rect);
}

void CQLSessionFile::WriteSettings(const CDiffractionSettings& s) {
  WriteColour(QLTag("TXCL"), s.m_fontColor);
  WriteFloatRecord(QLTag("TXSZ"), s.m_fontSize);
  WriteString(QLTag("TXNM"), s.m_fontName);
  WriteByteRecord(QLTag("AXS#"), s.m_axisType);
  WriteFloatRecord(QLTag("DMIN"), s.m_dMin);
  WriteFloatRecord(QLTag("FEDX"), s.m_edxPeakWidth);
  WriteFloatRecord(QLTag("TEDX"), s.m_edxTheta);
  WriteFloatRecord(QLTag("PETA"), s.m_eta);
  WriteFloatRecord(QLTag("FLMG"), s.m_filmGamma);
  WriteBool(QLTag("FLM?"), s.m_filmMode);
  WriteByteRecord(QLTag("FLM#"), s.m_filmType);
  WriteColour(QLTag("GRCL"), s.m_gridColor);
  WriteColour(QLTag("GBCL"), s.m_solidBackgroundColor);
  WriteBool(QLTag("*GBk"), s.m_useSolidBackground);
  WriteBool(QLTag("!OVL"), s.m_hideOverlappingLabels);
  WriteFloatRecord(QLTag("LAM1"), s.m_lambda);
  WriteFloatRecord(QLTag("LAM2"), s.m_lambda2);
  WriteFloatRecord(QLTag("LAMR"), s.m_lambdaRatio);
  WriteFloatRecord(QLTag("eLAM"), s.m_lambdaTEM);
  WriteFloatRecord(QLTag("FTEM"), s.m_peakWidthTEM);
  WriteBool(QLTag("MAX?"), s.m_restrictMaxNumRefs);
  WriteBool(QLTag("LOG?"), s.m_logarithmicYAxis);
  WriteFloatRecord(QLTag("LUMg"), s.m_plotValueB);
  WriteU32(QLTag("MAXR"), s.m_maxNumRefs);
  WriteBool(QLTag("MON?"), s.m_monochromatic);
  WriteU32(QLTag("NPTS"), static_cast<uint32_t>(s.m_numProfilePoints));
  WriteByteRecord(QLTag("PRO#"), static_cast<uint32_t>(s.m_profileType));
  WriteBool(QLTag("*GRD"), s.m_showGrid);
  WriteBool(QLTag("*LGD"), s.m_showLegend);
  WriteBool(QLTag("*TIP"), s.m_showPeakTips);
  WriteBool(QLTag("*TIT"), s.m_showPlotTitle);
  WriteByteRecord(QLTag("SIM#"), s.m_simulationType);
  WriteFloatRecord(QLTag("DTOF"), s.m_tofDistance);
  WriteFloatRecord(QLTag("RTOF"), s.m_tofResolution);
  WriteFloatRecord(QLTag("TTOF"), s.m_tofTheta);
  WriteFloatRecord(QLTag("FTTH"), s.m_tthPeakWidth);
  WriteFloatRecord(QLTag("XCUR"), s.m_plotValuesA[0]);
  WriteFloatRecord(QLTag("XMAX"), s.m_visibleXMax);
  WriteFloatRecord(QLTag("LMAX"), s.m_defaultXMax);
  WriteFloatRecord(QLTag("XMIN"), s.m_visibleXMin);
  WriteFloatRecord(QLTag("LMIN"), s.m_defaultXMin);
  WriteFloatRecord(QLTag("YMAX"), s.m_visibleYMax);
  WriteFloatRecord(QLTag("YMIN"), s.m_visibleYMin);
  WriteString(QLTag("TITL"), s.m_fourthText);
  WriteString(QLTag("XLBL"), s.m_unitName);
  WriteString(QLTag("XUni"), s.m_unitSymbol);
  WriteString(QLTag("YLBL"), s.m_yTitle);
}

void CQLSessionFile::WritePatternList(const CQLPatternList& list) {
  for (const CQLPatternPtr& p : list)
    if (p) WritePattern(*p);
}

void CQLSessionFile::WritePattern(const CQLPattern& pattern) {
  const auto* crystal = dynamic_cast<const CQLCrystalPattern*>(&pattern);
  const auto* mixture = dynamic_cast<const CQLMixturePattern*>(&pattern);
  const auto* observed = dynamic_cast<const CQLObservedPattern*>(&pattern);
  const char* type = crystal ? "Sim" : mixture ? "Mix" : observed ? "Obs" : nullptr;
  if (!type) return;  // a kind the session does not store
  const uint64_t entry = GetPosition();
  WriteInt32(0);
  WriteString(QLTag("TYPE"), CString(type));
  const uint64_t base = BeginRecord(QLTag("BASE"));
  WriteBase(pattern);
  EndRecord(base);
  if (crystal) {
    const uint64_t block = BeginRecord(QLTag("CRYS"));
    WriteCrystal(crystal->m_crystal);
    EndRecord(block);
    WriteBool(QLTag("DSP?"), pattern.m_labelDSpacing);
    WriteBool(QLTag("HKL?"), pattern.m_labelHKL);
    WriteBool(QLTag("NAM?"), pattern.m_labelPhaseName);
    WriteBool(QLTag("INT?"), pattern.m_labelRelIntensity);
    WriteFloatRecord(QLTag("LMIN"), pattern.m_labelThreshold);
    WriteBool(QLTag("TTH?"), pattern.m_labelXUnits);
    WriteColour(QLTag("OVCL"), crystal->m_overlayColor);
    WriteByteRecord(QLTag("OVL#"), crystal->m_overlayLineStyle);
    WriteFloatRecord(QLTag("OVLW"), crystal->m_overlayLineWidth);
    WriteBool(QLTag("*LBL"), pattern.m_showLabels);
    WriteBool(QLTag("*OVL"), crystal->m_showOverlay);
  } else if (mixture) {
    WriteBool(QLTag("EXP?"), mixture->IsExpanded());
    WriteBool(QLTag("DSP?"), pattern.m_labelDSpacing);
    WriteBool(QLTag("HKL?"), pattern.m_labelHKL);
    WriteBool(QLTag("NAM?"), pattern.m_labelPhaseName);
    WriteBool(QLTag("INT?"), pattern.m_labelRelIntensity);
    WriteFloatRecord(QLTag("XLBL"), pattern.m_labelThreshold);
    WriteBool(QLTag("TTH?"), pattern.m_labelXUnits);
    WriteBool(QLTag("=TOT"), mixture->m_fillUp);
    WriteBool(QLTag("*LBL"), pattern.m_showLabels);
  } else {
    WriteObserved(*observed);
  }
  PatchBlockLength(entry);
}

void CQLSessionFile::WriteBase(const CQLPattern& p) {
  const CQLPatternList* components = p.GetComponents();
  WriteColour(QLTag("COLR"), p.m_color);
  WriteBool(QLTag("FLL?"), p.m_fill);
  WriteBool(QLTag("CON?"), components != nullptr);
  WriteBool(QLTag("CRY?"), dynamic_cast<const CQLCrystalPattern*>(&p) != nullptr);
  WriteBool(QLTag("*LAH"), p.m_labelArrowhead);
  WriteColour(QLTag("LBCL"), p.m_labelColor);
  WriteBool(QLTag("*LOU"), p.m_labelOutline);
  WriteByteRecord(QLTag("LBA#"), p.m_labelAlignment);
  WriteBool(QLTag("*LSH"), p.m_labelShadow);
  WriteBool(QLTag("*LFR"), p.m_labelFrame);
  WriteByteRecord(QLTag("LIN#"), p.m_lineStyle);
  WriteFloatRecord(QLTag("LNSZ"), p.m_lineWidth);
  WriteFloatRecord(QLTag("MKSZ"), p.m_markerSize);
  WriteByteRecord(QLTag("MRK#"), p.m_markerStyle);
  WriteFloatRecord(QLTag("XMIX"), p.m_fraction);
  WriteFloatRecord(QLTag("OPAC"), p.m_fillOpacity);
  WriteFloatRecord(QLTag("RELS"), p.m_yScale);
  WriteBool(QLTag("ROL?"), p.m_rotateLabels);
  WriteBool(QLTag("SEL?"), p.m_selected);
  WriteBool(QLTag("SHD?"), p.m_useShadow);
  WriteBool(QLTag("VIS?"), p.m_shown);
  WriteFloatRecord(QLTag("XOFF"), p.m_xOffset);
  WriteFloatRecord(QLTag("YOFF"), p.m_yOffset);
  WriteString(QLTag("TITL"), p.m_title);
  if (components) {
    const uint64_t block = BeginRecord(QLTag("CHLD"));
    WritePatternList(*components);
    EndRecord(block);
  }
}

void CQLSessionFile::WriteCrystal(const CQLCrystal& c) {
  WriteFloatRecord(QLTag("DENS"), c.m_density);
  WriteBool(QLTag("ELL?"), c.m_hasDisplacements);
  WriteFloatRecord(QLTag("IMAX"), c.m_maxIntensity);
  WriteFloatRecord(QLTag("SIZE"), c.m_particleSize);
  WriteBool(QLTag("CEN?"), c.m_centrosymmetric);
  WriteByteRecord(QLTag("LTYP"), static_cast<uint8_t>(c.m_latticeLetter));
  WriteByteRecord(QLTag("ORG#"), static_cast<uint32_t>(c.m_originChoice));
  WriteFloatRecord(QLTag("STRN"), c.m_isotropicStrain);
  WriteFloatRecord(QLTag("DVOL"), c.m_volume);
  WriteU32(QLTag("POC#"), static_cast<uint32_t>(c.m_poGeometry));
  WriteBool(QLTag("POC?"), c.m_usePreferredOrientation != 0);
  WriteU32(QLTag("POV#"), static_cast<uint32_t>(c.m_poVectorType));
  WriteFloatRecord(QLTag("POAm"), c.m_poAlignment);
  WriteRecordHeader(QLTag("DCEL"), 24);
  for (double v : {c.m_a, c.m_b, c.m_c, c.m_alpha, c.m_beta, c.m_gamma}) WriteFloat(static_cast<float>(v));
  WriteRecordHeader(QLTag("OSHF"), 24);
  for (double v : c.m_originShift) WriteDouble(v);
  WriteRecordHeader(QLTag("RCEL"), 24);
  for (double v : {c.m_aStar, c.m_bStar, c.m_cStar, c.m_alphaStar, c.m_betaStar, c.m_gammaStar})
    WriteFloat(static_cast<float>(v));
  WriteString(QLTag("SPGR"), c.m_spaceGroupSymbol);

  uint64_t block = BeginRecord(QLTag("GEPS"));
  const size_t operators = std::min<size_t>(c.m_operators.size(), 255);
  WriteByte(static_cast<uint8_t>(operators));
  for (size_t i = 0; i < operators; ++i) {
    const CSymmetryOperator& op = c.m_operators[i];
    for (const auto& row : op.m_rotation)
      for (double v : row) WriteInt32(static_cast<int32_t>(v));
    for (double t : op.m_translation) WriteDouble(t);
  }
  EndRecord(block);

  block = BeginRecord(QLTag("REFS"));
  WriteInt32(static_cast<int32_t>(c.m_reflexions.size()));
  for (const auto& r : c.m_reflexions) {
    for (int32_t v : {r->h, r->k, r->l, r->multiplicity, r->indexNorm}) WriteInt32(v);
    for (double v : {r->d, r->x, r->intensity, r->relativeIntensity, r->phase, r->A, r->B, r->lorentzPolarisation, r->width})
      WriteFloat(static_cast<float>(v));
  }
  EndRecord(block);

  block = BeginRecord(QLTag("AUNI"));
  WriteSites(c);
  EndRecord(block);
  WriteRecordHeader(QLTag("POVe"), 24);
  for (double v : c.m_poVector) WriteDouble(v);
}

void CQLSessionFile::WriteSites(const CQLCrystal& c) {
  WriteInt32(static_cast<int32_t>(c.m_sites.size()));
  for (const CQLSite& site : c.m_sites) {
    const size_t species = std::min<size_t>(site.m_species.size(), 255);
    WriteByte(static_cast<uint8_t>(species));
    for (size_t i = 0; i < species; ++i) {
      const std::string symbol = ShortUtf8(site.m_species[i].m_name);
      WriteByte(static_cast<uint8_t>(symbol.size()));
      if (!symbol.empty()) Write(symbol.data(), static_cast<uint32_t>(symbol.size()));
      WriteFloat(static_cast<float>(site.m_species[i].m_occupancy));
    }
    WriteByte(site.m_fillVacancies ? 0xFF : 0);
    const std::string label = ShortUtf8(site.m_label);
    WriteByte(static_cast<uint8_t>(label.size()));
    if (!label.empty()) Write(label.data(), static_cast<uint32_t>(label.size()));
    for (double v : {site.m_x, site.m_y, site.m_z}) WriteFloat(static_cast<float>(v));
    WriteInt32(static_cast<int32_t>(site.m_positions.size()));
    for (const QLPosition& p : site.m_positions)
      for (double v : p) WriteFloat(static_cast<float>(v));
    WriteByte(site.m_included ? 0xFF : 0);
    const CQLThermalEllipsoid* displacement = site.m_displacement.get();
    WriteByte(displacement ? 0xFF : 0);
    if (!displacement) continue;
    WriteFloat(static_cast<float>(displacement->m_u));
    const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(displacement);
    WriteByte(aniso ? 0xFF : 0);
    if (aniso)
      for (double b : aniso->m_beta) WriteDouble(b);
  }
}

void CQLSessionFile::WriteObserved(const CQLObservedPattern& o) {
  uint64_t block = BeginRecord(QLTag("BNOD"));
  WriteInt32(static_cast<int32_t>(o.m_controlPoints.size()));
  for (const CQLControlPoint& n : o.m_controlPoints)
    for (double v : {n.x, n.y, n.leftX, n.leftY, n.rightX, n.rightY}) WriteDouble(v);
  EndRecord(block);
  block = BeginRecord(QLTag("PNTS"));
  const CQLProfile& points = o.m_profile;  // the measured points
  WriteInt32(static_cast<int32_t>(points.size()));
  for (const CQLProfilePoint& p : points) {
    WriteDouble(p.x);
    WriteDouble(p.y);
  }
  EndRecord(block);
  WriteBool(QLTag("ASYS"), o.m_autoYScale);
  WriteColour(QLTag("BKCL"), o.m_backgroundStyle.color);
  WriteByteRecord(QLTag("BKL#"), o.m_backgroundStyle.lineStyle);
  WriteFloatRecord(QLTag("BKLW"), o.m_backgroundStyle.lineWidth);
  WriteBool(QLTag("SMPV"), o.m_overlaySmoothed);
  WriteBool(QLTag("PVBK"), o.m_previewSubtraction);
  WriteBool(QLTag("SMTH"), o.m_smoothing);
  const CQLCurveStyle* styles[2] = {&o.m_extraStyle, &o.m_smoothedStyle};
  const uint32_t tags[2][5] = {{QLTag("MPCl"), QLTag("MPL#"), QLTag("MPLW"), QLTag("MPMS"), QLTag("MPM#")},
                               {QLTag("SPCl"), QLTag("SPL#"), QLTag("SPLW"), QLTag("SPMS"), QLTag("SPM#")}};
  for (int k = 0; k < 2; ++k) {
    if (k == 1) {
      WriteU32(QLTag("SMRD"), static_cast<uint32_t>(o.m_smoothingPoints));
      WriteBool(QLTag("RMBK"), o.m_subtractBackground);
    }
    WriteColour(tags[k][0], styles[k]->color);
    WriteByteRecord(tags[k][1], styles[k]->lineStyle);
    WriteFloatRecord(tags[k][2], styles[k]->lineWidth);
    WriteFloatRecord(tags[k][3], styles[k]->markerSize);
    WriteByteRecord(tags[k][4], styles[k]->markerStyle);
  }
  WriteBool(QLTag("*BkS"), !o.m_subtractBackground);
}
