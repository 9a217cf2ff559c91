// Site records of the CIF reader and their hand-over to the crystal.
#include "QLCIFFile.h"

#include "LXASF.h"
#include "LXUtils.h"
#include "QLCrystal.h"
#include "SpaceGroups.h"
#include "Status.h"
#include "WorkerTeam.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string_view>

namespace {
// "%f" read as single precision, 0 when nothing parses.
double ScanFloat(const std::string& text) {
  if (float plain; ReadPlainDecimal(text, plain)) return plain;
  char* end = nullptr;
  const float v = strtof_l(text.c_str(), &end, qlw::CNumericLocale());
  return end == text.c_str() ? 0.0 : static_cast<double>(v);
}

bool DisplacementReadable(const CIFSiteRecord& r) {
  auto finite = [](double v, bool has) { return !has || std::isfinite(v); };
  if (!finite(r.uIso, r.hasUIso) || !finite(r.bIso, r.hasBIso)) return false;
  if (const CIFSiteRecord::Tensors* t = r.tensors.get())
    for (int i = 0; i < 9; ++i)
      if (!finite(t->u[i], t->hasU[i]) || !finite(t->b[i], t->hasB[i]) || !finite(t->beta[i], t->hasBeta[i]))
        return false;
  return true;
}

constexpr size_t kNoRecord = SIZE_MAX;

// No direction of negative mean-square displacement: every principal minor of the symmetric tensor
// (upper triangle of t, row-major) is at least 0. Such a tensor never lifts the displacement factor
// above 1; a singular one (U22 = 0 as some published tables print it) is taken as published.
bool IsPositiveSemidefinite3x3(const double t[9]) {
  const double u11 = t[0], u12 = t[1], u13 = t[2], u22 = t[4], u23 = t[5], u33 = t[8];
  const double det = u11 * (u22 * u33 - u23 * u23) - u12 * (u12 * u33 - u23 * u13) + u13 * (u12 * u23 - u22 * u13);
  return u11 >= 0 && u22 >= 0 && u33 >= 0 && u11 * u22 - u12 * u12 >= 0 && u11 * u33 - u13 * u13 >= 0 &&
         u22 * u33 - u23 * u23 >= 0 && det >= 0;
}
}  // namespace

// ----- records -----

CIFSiteRecord::Tensors& CIFSiteRecord::MutableTensors() {
  if (!tensors) tensors = std::make_unique<Tensors>();
  return *tensors;
}

bool CIFSiteRecord::IsEmpty() const {
  return !hasElement && !hasXyz[0] && !hasXyz[1] && !hasXyz[2] && !hasOccupancy && !HasDisplacement();
}

bool CIFSiteRecord::HasDisplacement() const {
  if (hasUIso || hasBIso) return true;
  if (!tensors) return false;
  const auto any = [](const bool* has) { return std::any_of(has, has + 9, [](bool b) { return b; }); };
  return any(tensors->hasU) || any(tensors->hasB) || any(tensors->hasBeta);
}

bool CIFSiteRecord::CanMerge(const CIFSiteRecord& a, const CIFSiteRecord& b) {
  auto both = [](bool x, bool y) { return x && y; };
  if (both(a.hasElement, b.hasElement) || both(a.hasOccupancy, b.hasOccupancy) || both(a.hasUIso, b.hasUIso) ||
      both(a.hasBIso, b.hasBIso) || both(a.hasMultiplicity, b.hasMultiplicity))
    return false;
  for (int i = 0; i < 3; ++i)
    if (both(a.hasXyz[i], b.hasXyz[i])) return false;
  if (a.tensors && b.tensors)
    for (int i = 0; i < 9; ++i)
      if (both(a.tensors->hasU[i], b.tensors->hasU[i]) || both(a.tensors->hasB[i], b.tensors->hasB[i]) ||
          both(a.tensors->hasBeta[i], b.tensors->hasBeta[i]))
        return false;
  if (!a.hasLabel || !b.hasLabel) return true;
  // Whole labels only: O1's tensor must never land on O10.
  return a.label == b.label;
}

void CIFSiteRecord::MergeInto(const CIFSiteRecord& src, CIFSiteRecord& dst) {
  if (src.hasLabel) dst.label = src.label, dst.hasLabel = true;
  if (src.hasElement) dst.elementCode = src.elementCode, dst.hasElement = true;
  for (int i = 0; i < 3; ++i) {
    if (src.hasXyz[i]) dst.xyz[i] = src.xyz[i], dst.rounding[i] = src.rounding[i], dst.hasXyz[i] = true;
    if (src.hasSu[i]) dst.su[i] = src.su[i], dst.hasSu[i] = true;
  }
  if (src.hasOccupancy) dst.occupancy = src.occupancy, dst.hasOccupancy = true;
  if (src.hasUIso) dst.uIso = src.uIso, dst.hasUIso = true;
  if (src.hasBIso) dst.bIso = src.bIso, dst.hasBIso = true;
  if (src.hasMultiplicity) dst.multiplicity = src.multiplicity, dst.hasMultiplicity = true;
  if (!src.tensors) return;
  const Tensors& from = *src.tensors;
  Tensors& to = dst.MutableTensors();
  for (int i = 0; i < 9; ++i) {
    if (from.hasU[i]) to.u[i] = from.u[i], to.hasU[i] = true;
    if (from.hasB[i]) to.b[i] = from.b[i], to.hasB[i] = true;
    if (from.hasBeta[i]) to.beta[i] = from.beta[i], to.hasBeta[i] = true;
  }
}

// ----- item handler -----

int CQLCIFFile::AtomFieldOfItem(const std::string& name) {
  static const std::pair<const char*, int> kFields[] = {
      {"_atom_site_label", kAtomLabel},       {"_atom_site_aniso_label", kAtomLabel},
      {"_atom_site_type_symbol", kAtomType},  {"_atom_site_fract_x", kAtomX},
      {"_atom_site_fract_y", kAtomY},         {"_atom_site_fract_z", kAtomZ},
      {"_atom_site_occupancy", kAtomOccupancy}, {"_atom_site_u_iso_or_equiv", kAtomUIso},
      {"_atom_site_b_iso_or_equiv", kAtomBIso}, {"_atom_site_symmetry_multiplicity", kAtomMultiplicity},
  };
  for (const auto& [itemName, field] : kFields)
    if (name == itemName) return field;
  // _atom_site_aniso_u_ij, _b_ij or _beta_ij, i and j 1 to 3.
  static constexpr std::string_view kTensorPrefix = "_atom_site_aniso_";
  const size_t n = kTensorPrefix.size();
  if (name.size() < n + 4 || name.compare(0, n, kTensorPrefix) != 0) return kAtomOther;
  const std::string_view kind = std::string_view(name).substr(n, name.size() - n - 3);
  const size_t ij = name.size() - 2;
  const int row = name[ij] - '1', column = name[ij + 1] - '1';
  if (name[ij - 1] != '_' || row < 0 || row > 2 || column < 0 || column > 2) return kAtomOther;
  if (kind == "u") return kAtomU + 3 * row + column;
  if (kind == "b") return kAtomB + 3 * row + column;
  if (kind == "beta") return kAtomBeta + 3 * row + column;
  return kAtomOther;
}

void CQLCIFFile::HandleAtomSiteItem(int atomField, const std::string& value) {
  // A repeated item starts the next row's record: each case asks before it sets a value.
  auto field = [this](bool present) {
    if (present) CommitRecord();
  };
  auto setScalar = [&](double CIFSiteRecord::*v, bool CIFSiteRecord::*has) {
    field(m_current.*has);
    m_current.*v = ScanFloat(value);
    m_current.*has = true;
  };
  switch (atomField) {
    case kAtomLabel: {
      field(m_current.hasLabel);
      std::wstring label;
      // ASCII reads the same as UTF-8, without the decoding and its copies.
      const bool ascii = std::all_of(value.begin(), value.end(), [](char ch) { return ch > 0; });
      if (ascii) {
        label.reserve(value.size());
        for (char ch : value)
          if (!m_asciiSpace[static_cast<unsigned char>(ch)]) label += static_cast<wchar_t>(ch);
      } else {
        for (wchar_t ch : std::wstring(CString(value.c_str()).GetString()))
          if (!std::iswspace(static_cast<wint_t>(ch))) label += ch;
      }
      m_current.label = std::move(label);
      m_current.hasLabel = true;
      return;
    }
    case kAtomType:
      field(m_current.hasElement);
      m_current.elementCode = ElementCodeOfType(value);
      m_current.hasElement = true;
      return;
    case kAtomX:
    case kAtomY:
    case kAtomZ: {
      const int i = atomField - kAtomX;
      field(m_current.hasXyz[i]);
      bool hasSU = false;
      ParseNumberWithSU(value, m_current.xyz[i], m_current.su[i], hasSU);
      m_current.rounding[i] = HalfUnitOfLastDecimal(value);
      m_current.hasXyz[i] = true;
      m_current.hasSu[i] = hasSU;
      return;
    }
    case kAtomOccupancy: return setScalar(&CIFSiteRecord::occupancy, &CIFSiteRecord::hasOccupancy);
    case kAtomUIso: return setScalar(&CIFSiteRecord::uIso, &CIFSiteRecord::hasUIso);
    case kAtomBIso: return setScalar(&CIFSiteRecord::bIso, &CIFSiteRecord::hasBIso);
    case kAtomMultiplicity: {
      field(m_current.hasMultiplicity);
      int multiplicity = 0;
      m_current.hasMultiplicity = std::sscanf(value.c_str(), "%d", &multiplicity) == 1 && multiplicity > 0;
      m_current.multiplicity = m_current.hasMultiplicity ? multiplicity : 0;
      return;
    }
    default: break;
  }
  using Tensors = CIFSiteRecord::Tensors;
  static constexpr struct {
    int first;
    double (Tensors::*values)[9];
    bool (Tensors::*given)[9];
  } kTensors[] = {{kAtomU, &Tensors::u, &Tensors::hasU},
                  {kAtomB, &Tensors::b, &Tensors::hasB},
                  {kAtomBeta, &Tensors::beta, &Tensors::hasBeta}};
  for (const auto& kind : kTensors) {
    if (atomField < kind.first || atomField >= kind.first + 9) continue;
    const int i = atomField - kind.first;
    field(m_current.tensors && ((*m_current.tensors).*kind.given)[i]);
    Tensors& t = m_current.MutableTensors();
    (t.*kind.values)[i] = ScanFloat(value);
    (t.*kind.given)[i] = true;
    return;
  }
}

uint16_t CQLCIFFile::ElementCodeOfType(const std::string& value) {
  const auto first = static_cast<unsigned char>(value[0]);
  const auto second = value.size() > 1 ? static_cast<unsigned char>(value[1]) : 0u;
  if (first >= 0x80 || second >= 0x80) return ElementCodeFromString(CString(value.c_str()));
  const auto start = static_cast<uint16_t>(first << 8 | second);
  const auto known = m_elementCodeByStart.find(start);
  if (known != m_elementCodeByStart.end()) return known->second;
  const uint16_t code = ElementCodeFromString(CString(value.c_str()));
  m_elementCodeByStart.emplace(start, code);
  return code;
}

void CIFSiteRecordList::push_back(CIFSiteRecord&& record) {
  if (m_size % kChunk == 0) {
    m_chunks.emplace_back();
    m_chunks.back().reserve(kChunk);
  }
  m_chunks.back().push_back(std::move(record));
  ++m_size;
}

void CIFSiteRecordList::clear() {
  m_chunks.clear();
  m_chunks.shrink_to_fit();
  m_size = 0;
  m_released = 0;
}

void CIFSiteRecordList::ReleaseBefore(size_t record) {
  for (; m_released < record / kChunk && m_released < m_chunks.size(); ++m_released)
    std::vector<CIFSiteRecord>().swap(m_chunks[m_released]);
}

void CQLCIFFile::ClearRecords() {
  m_records.clear();
  m_recordsByLabel.clear();
  std::vector<size_t>().swap(m_nextWithLabel);
  m_recordsIndexed = false;
  std::vector<size_t>().swap(m_unlabelledRecords);
  m_unlabelledFirst = 0;
}

// Files the record at `record`, the last in the list or one that has just gained its label, under
// its label or among the unlabelled ones; the chains stay in list order.
void CQLCIFFile::IndexRecord(size_t record) {
  if (m_nextWithLabel.size() < m_records.size()) m_nextWithLabel.resize(m_records.size(), kNoRecord);
  if (!m_records[record].hasLabel) {
    m_unlabelledRecords.push_back(record);
    return;
  }
  const auto found = m_recordsByLabel.find(std::wstring_view(m_records[record].label));
  if (found == m_recordsByLabel.end()) {
    m_recordsByLabel.emplace(record, LabelChain{record});
    return;
  }
  const size_t first = found->first;
  LabelChain& chain = found->second;
  if (record > chain.last) {
    m_nextWithLabel[chain.last] = record;
    chain.last = record;
    return;
  }
  if (record < first) {
    // It heads the chain now, and the chain is known by its first record.
    const LabelChain moved = chain;
    m_recordsByLabel.erase(found);
    m_nextWithLabel[record] = first;
    m_recordsByLabel.emplace(record, moved);
    return;
  }
  size_t before = first;
  while (m_nextWithLabel[before] < record) before = m_nextWithLabel[before];
  m_nextWithLabel[record] = m_nextWithLabel[before];
  m_nextWithLabel[before] = record;
}

void CQLCIFFile::IndexRecords() {
  m_recordsByLabel.reserve(m_records.size());
  for (size_t i = 0; i < m_records.size(); ++i) IndexRecord(i);
  m_recordsIndexed = true;
}

// The first record that the current one may merge into, or the record count when none.
size_t CQLCIFFile::FindMergeTarget() const {
  const size_t none = m_records.size();
  auto fits = [this](size_t i) { return CIFSiteRecord::CanMerge(m_current, m_records[i]); };
  if (!m_current.hasLabel) {
    for (size_t i = 0; i < none; ++i)
      if (fits(i)) return i;
    return none;
  }
  // A labelled record merges with the same label or with a record that has none: the first of
  // either list that fits.
  size_t best = none;
  const auto found = m_recordsByLabel.find(std::wstring_view(m_current.label));
  if (found != m_recordsByLabel.end())
    for (size_t i = found->first; i != kNoRecord; i = m_nextWithLabel[i])
      if (fits(i)) {
        best = i;
        break;
      }
  for (size_t n = m_unlabelledFirst; n < m_unlabelledRecords.size(); ++n) {
    const size_t i = m_unlabelledRecords[n];
    if (i >= best) break;
    if (!m_records[i].hasLabel && fits(i)) return i;
  }
  return best;
}

void CQLCIFFile::CommitRecord() {
  if (!m_current.IsEmpty()) {
    if (!m_keepRowsApart && !m_recordsIndexed) IndexRecords();
    const size_t target = m_keepRowsApart ? m_records.size() : FindMergeTarget();
    if (target < m_records.size()) {
      CIFSiteRecord& into = m_records[target];
      const bool gainsLabel = !into.hasLabel && m_current.hasLabel;
      CIFSiteRecord::MergeInto(m_current, into);
      // It now answers to its label; its old entry among the unlabelled ones is passed over.
      if (gainsLabel && m_recordsIndexed) IndexRecord(target);
    } else {
      m_records.push_back(std::move(m_current));
      if (m_recordsIndexed) IndexRecord(target);
    }
    // Entries at the front that have since gained a label are passed for good.
    while (m_unlabelledFirst < m_unlabelledRecords.size() && m_records[m_unlabelledRecords[m_unlabelledFirst]].hasLabel)
      ++m_unlabelledFirst;
  }
  m_current = CIFSiteRecord();
  if (++m_committedRows >= m_loopRows) {
    m_keepRowsApart = false;
    m_committedRows = 0;
  }
}

// ----- building sites -----

void CQLCIFFile::ValidateDisplacement(CIFSiteRecord& r) {
  // Made for a warning only: most records have none, and a large file has many records.
  auto label = [&r] { return CString(r.label.c_str()); };
  auto validate = [&](double* t, bool* has, UINT warning, UINT notPositive) {
    const bool anyOther = std::any_of(has + 1, has + 9, [](bool b) { return b; });
    if (!has[0]) {
      if (anyOther) Warn(false, warning, label());
      return;
    }
    const bool complete = has[4] && has[8] && (has[1] || has[3]) && (has[2] || has[6]) && (has[5] || has[7]);
    if (!complete) {
      has[0] = false;
      Warn(false, warning, label());
      return;
    }
    auto pair = [&](int i, int j) {
      if (has[i])
        t[j] = t[i], has[j] = true;
      else
        t[i] = t[j], has[i] = true;
    };
    pair(1, 3);
    pair(2, 6);
    pair(5, 7);
    // A direction of negative displacement makes the factor exceed 1 and grow with the angle.
    if (!IsPositiveSemidefinite3x3(t)) {
      has[0] = false;
      Warn(false, notPositive, label());
    }
  };
  if (r.tensors) {
    validate(r.tensors->b, r.tensors->hasB, 2601, 2622);
    validate(r.tensors->u, r.tensors->hasU, 2602, 2623);
    validate(r.tensors->beta, r.tensors->hasBeta, 2653, 2654);
  }
  if (r.hasBIso && r.bIso <= 0) {
    r.hasBIso = false;
    Warn(false, 2603, r.bIso, label());
  }
  if (r.hasUIso && r.uIso <= 0) {
    r.hasUIso = false;
    Warn(false, 2606, r.uIso, label());
  }
}

bool CQLCIFFile::BuildSite(CIFSiteRecord& r, CQLSite& site) {
  if (!r.hasElement || r.elementCode == 0) {
    r.elementCode = ElementCodeFromString(r.label.c_str());
    r.hasElement = true;
  }
  double occupancy = r.hasOccupancy ? r.occupancy : 1.0;
  auto label = [&r] { return CString(r.label.c_str()); };
  if (!r.hasXyz[0] || !r.hasXyz[1] || !r.hasXyz[2]) {
    Warn(true, 2607, label());
    return false;
  }
  // A coordinate that does not read must not put the site at the origin.
  for (double v : r.xyz) {
    if (!std::isfinite(v) || v == -DBL_MAX) {
      Warn(true, 2605, label());
      return false;
    }
  }
  // A NaN or negative occupancy would silently remove every reflexion, an infinite one or an
  // unreadable displacement would make every intensity NaN: such a site is refused, by name.
  if (!std::isfinite(occupancy) || occupancy < 0.0) {
    Warn(true, 2620, occupancy, label());
    return false;
  }
  // No site holds more than one atom: a larger value (a dummy atom's, or a misprint) is taken as
  // a full site, and said.
  if (occupancy > 1.0 + kOccupancyRounding) {
    Warn(true, 2652, occupancy, label());
    occupancy = 1.0;
  }
  if (!DisplacementReadable(r)) {
    Warn(true, 2621, label());
    return false;
  }
  site = CQLSite();
  // Its warnings name the record by its whole label, which the site may then take over.
  ValidateDisplacement(r);
  CString siteLabel = r.label.empty() ? CString()
                     : r.label.size() <= CIFSiteRecord::kMaxLabel
                         ? CString(std::move(r.label))
                         : CString(r.label.substr(0, CIFSiteRecord::kMaxLabel));
  if (siteLabel.IsEmpty()) siteLabel.LoadString(2600);
  site.m_label = std::move(siteLabel);
  site.m_species.push_back(SpeciesOf(r.elementCode, occupancy));
  site.m_x = r.xyz[0];
  site.m_y = r.xyz[1];
  site.m_z = r.xyz[2];
  std::copy(std::begin(r.rounding), std::end(r.rounding), site.m_rounding.begin());
  site.m_included = true;
  if (r.HasDisplacement()) {
    const double pi = std::acos(-1.0);
    const double k = 8.0 * pi * pi;
    const CIFSiteRecord::Tensors* t = r.tensors.get();
    const double star[3] = {m_crystal->m_aStar, m_crystal->m_bStar, m_crystal->m_cStar};
    if (t && (t->hasU[0] || t->hasB[0] || t->hasBeta[0])) {
      double tensor[9];
      const bool fromB = t->hasB[0], fromU = t->hasU[0];
      // β is U in other units: β_ij = 2π² a*_i a*_j U_ij.
      for (int i = 0; i < 9; ++i)
        tensor[i] = fromB   ? t->b[i] / k
                    : fromU ? t->u[i]
                            : t->beta[i] / (2.0 * pi * pi * star[i / 3] * star[i % 3]);
      site.m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(tensor, star[0], star[1], star[2]);
    } else if (r.hasUIso) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(r.uIso);
    } else if (r.hasBIso) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(r.bIso / k);
    }
  }
  return true;
}

// A species looked up in the scattering-factor table once for each element of the file: the table
// is searched under its lock, and a large file has the same few elements on every site. A name
// without a record is kept too: its alert is raised once for the file, not once for each site.
CSiteSpecies CQLCIFFile::SpeciesOf(uint16_t elementCode, double occupancy) {
  const auto known = m_speciesByElement.find(elementCode);
  if (known != m_speciesByElement.end()) {
    CSiteSpecies species = known->second;
    species.m_occupancy = occupancy;
    return species;
  }
  CSiteSpecies species;
  species.m_name = ElementCodeToString(elementCode);
  species.m_occupancy = occupancy;
  species.LookupScatteringFactors();
  m_speciesByElement.emplace(elementCode, species);
  return species;
}

void CQLCIFFile::BuildSites() {
  m_speciesByElement.clear();
  m_siteMultiplicities.clear();
  std::vector<CQLSite> sites;
  sites.reserve(m_records.size());
  for (size_t i = 0; i < m_records.size(); ++i) {
    // Records already built are freed as the sites grow: a large file never holds both whole.
    m_records.ReleaseBefore(i);
    CIFSiteRecord& r = m_records[i];
    CQLSite site;
    // A record that cannot become a site is left out, with its warning, rather than kept empty.
    if (BuildSite(r, site)) {
      // Marked as the text crystal reader marks it, so the sample pane offers its displacement switch.
      if (site.m_displacement) m_crystal->m_hasDisplacements = true;
      sites.push_back(std::move(site));
      m_siteMultiplicities.push_back(r.hasMultiplicity ? r.multiplicity : 0);
    }
  }
  m_crystal->m_sites = std::move(sites);
  m_speciesByElement.clear();
  ClearRecords();
}

namespace {
// A site's sort key: its label without white space, cut at 80 characters, and when it ends in
// digits those digits moved to the key's far end by a run of '#' up to 80 characters, so that O2
// comes before O10 and O10 before OA. Kept as text and the length of the run: compared through
// CompareKeys exactly as CompareLogically compares the written-out keys, but without 80
// characters made and stepped through for each label.
class LogicalKeys {
 public:
  static constexpr size_t kKeyLength = 80;

  struct Key {
    const wchar_t* text = nullptr;  // the characters kept from the label
    uint32_t length = 0;            // how many
    uint32_t head = 0;              // of them, those before the trailing digits
    uint32_t run = 0;               // the '#' between head and digits
  };
  // What the sort moves: a site's index and, for most labels, the whole key in 16 bytes that
  // compare as the key does (Code).
  struct Entry {
    uint64_t high = 0, low = 0;
    uint32_t site = 0;
    uint32_t coded = 0;  // whether high and low hold the key
  };

  // Room for keys made in `pieces` pieces of text that may be filled at the same time.
  LogicalKeys(size_t count, size_t pieces) : m_keys(count), m_texts(pieces) {
    // The ASCII characters' classes and lower cases are asked of the locale once, not once for
    // each character of every label; the answers are the same.
    for (wint_t c = 0; c < kAscii; ++c) {
      m_lower[c] = static_cast<wchar_t>(std::towlower(c));
      m_space[c] = std::iswspace(c) != 0;
      m_digit[c] = std::iswdigit(c) != 0;
    }
  }

  // The keys of sites [begin, end) and their entries, the text into piece `piece`.
  void MakeKeys(size_t piece, const std::vector<CQLSite>& sites, size_t begin, size_t end, std::vector<Entry>& entries) {
    std::vector<Key>& keys = m_keys;
    std::vector<wchar_t>& text = m_texts[piece];
    text.reserve((end - begin) * 8);
    std::vector<size_t> starts(end - begin);
    for (size_t n = begin; n < end; ++n) {
      Key& key = keys[n];
      const size_t start = text.size();
      starts[n - begin] = start;
      const wchar_t* raw = sites[n].m_label.GetString();
      // Lower-cased here once: the comparison orders two characters that differ by their lower
      // case, and one that does not differ has the same lower case. No letter lowers to a digit.
      for (size_t i = 0; i < kKeyLength && raw[i]; ++i)
        if (!IsSpace(raw[i])) text.push_back(Lower(raw[i]));
      key.length = static_cast<uint32_t>(text.size() - start);
      key.head = key.length;
      while (key.head > 0 && IsClassDigit(text[start + key.head - 1])) --key.head;
      key.run = key.head < key.length ? static_cast<uint32_t>(kKeyLength - key.length) : 0;
      Entry& entry = entries[n];
      entry.site = static_cast<uint32_t>(n);
      entry.coded = Code(key, text.data() + start, entry.high, entry.low);
    }
    // The text has stopped moving: each key points at its own characters from now on.
    for (size_t n = begin; n < end; ++n) keys[n].text = text.data() + starts[n - begin];
  }

  bool Less(const Entry& a, const Entry& b) const {
    if (a.coded & b.coded) return a.high != b.high ? a.high < b.high : a.low < b.low;
    return CompareKeys(m_keys[a.site], m_keys[b.site]) < 0;
  }

  // Below, equal to or above zero as CompareLogically of the two written-out keys.
  static int CompareKeys(const Key& a, const Key& b) {
    const size_t la = a.length + a.run, lb = b.length + b.run;
    size_t i = 0, j = 0;
    while (i < la && j < lb) {
      const wchar_t ca = At(a, i), cb = At(b, j);
      if (IsDigit(ca) && IsDigit(cb)) {
        while (At(a, i) == L'0') ++i;
        while (At(b, j) == L'0') ++j;
        size_t ae = i, be = j;
        while (IsDigit(At(a, ae))) ++ae;
        while (IsDigit(At(b, be))) ++be;
        if (ae - i != be - j) return ae - i < be - j ? -1 : 1;
        for (; i < ae; ++i, ++j) {
          const wchar_t x = At(a, i), y = At(b, j);
          if (x != y) return x < y ? -1 : 1;
        }
        continue;
      }
      if (ca == cb) {
        // Both inside their runs of '#': equal for as long as the shorter lasts.
        if (InRun(a, i) && InRun(b, j)) {
          const size_t step = std::min(a.head + a.run - i, b.head + b.run - j);
          i += step;
          j += step;
        } else {
          ++i;
          ++j;
        }
        continue;
      }
      return static_cast<wint_t>(ca) < static_cast<wint_t>(cb) ? -1 : 1;
    }
    if (i < la) return 1;
    if (j < lb) return -1;
    return 0;
  }

 private:
  static constexpr wint_t kAscii = 128;

  static bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
  bool IsSpace(wchar_t c) const {
    return static_cast<wint_t>(c) < kAscii ? m_space[c] : std::iswspace(static_cast<wint_t>(c)) != 0;
  }
  bool IsClassDigit(wchar_t c) const {
    return static_cast<wint_t>(c) < kAscii ? m_digit[c] : std::iswdigit(static_cast<wint_t>(c)) != 0;
  }
  wchar_t Lower(wchar_t c) const {
    return static_cast<wint_t>(c) < kAscii ? m_lower[c] : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
  // A key of ASCII characters whose head holds neither digits nor '#', and short enough, written
  // as bytes that compare as the written-out key: the head, then '#' where its run would start (0
  // when it has no digits), the number of digits, fewer first, then the digits, which a key of
  // as many compares as text. Zeros beyond. False for any other key.
  static bool Code(const Key& key, const wchar_t* text, uint64_t& high, uint64_t& low) {
    high = low = 0;
    const size_t digits = key.length - key.head;
    if (key.head + digits > 14) return false;
    uint8_t bytes[16] = {};
    size_t at = 0;
    for (size_t i = 0; i < key.head; ++i) {
      const wchar_t c = text[i];
      if (static_cast<wint_t>(c) >= kAscii || c == L'#' || IsDigit(c)) return false;
      bytes[at++] = static_cast<uint8_t>(c);
    }
    if (digits > 0) {
      bytes[at++] = '#';
      bytes[at++] = static_cast<uint8_t>(digits);
      for (size_t i = key.head; i < key.length; ++i) {
        if (!IsDigit(text[i])) return false;
        bytes[at++] = static_cast<uint8_t>(text[i]);
      }
    }
    for (int i = 0; i < 8; ++i) {
      high = high << 8 | bytes[i];
      low = low << 8 | bytes[8 + i];
    }
    return true;
  }
  static bool InRun(const Key& k, size_t i) { return i >= k.head && i < k.head + k.run; }
  // The character at i of the written-out key; 0 past its end.
  static wchar_t At(const Key& k, size_t i) {
    if (i < k.head) return k.text[i];
    if (i < k.head + k.run) return L'#';
    if (i < k.length + k.run) return k.text[i - k.run];
    return 0;
  }

  std::vector<Key> m_keys;
  std::vector<std::vector<wchar_t>> m_texts;
  wchar_t m_lower[kAscii];
  bool m_space[kAscii];
  bool m_digit[kAscii];
};
}  // namespace

void SortSitesByLogicalLabel(std::vector<CQLSite>& sites) {
  // A large list has its keys made and is sorted in pieces on the worker team, then merged; a
  // stable sort has one result, however it is reached.
  constexpr long kPieces = 8;
  constexpr size_t kSortAlone = 20000;
  const bool alone = sites.size() < kSortAlone;
  const long pieces = alone ? 1 : kPieces;
  std::vector<size_t> bounds(static_cast<size_t>(pieces) + 1);
  for (long p = 0; p <= pieces; ++p) bounds[p] = sites.size() * static_cast<size_t>(p) / static_cast<size_t>(pieces);
  using Entry = LogicalKeys::Entry;
  LogicalKeys keys(sites.size(), static_cast<size_t>(pieces));
  std::vector<Entry> order(sites.size());
  const auto less = [&keys](const Entry& a, const Entry& b) { return keys.Less(a, b); };
  qlw::ParallelFor(pieces, 1, !alone, [&](long begin, long end) {
    for (long p = begin; p < end; ++p) {
      keys.MakeKeys(static_cast<size_t>(p), sites, bounds[p], bounds[p + 1], order);
      std::stable_sort(order.begin() + bounds[p], order.begin() + bounds[p + 1], less);
    }
  });
  if (!alone) {
    std::vector<Entry> merged(order.size());
    for (long width = 1; width < kPieces; width *= 2) {
      const long pairs = (kPieces + 2 * width - 1) / (2 * width);
      qlw::ParallelFor(pairs, 1, true, [&](long begin, long end) {
        for (long pair = begin; pair < end; ++pair) {
          const size_t first = bounds[pair * 2 * width];
          const size_t middle = bounds[std::min(kPieces, pair * 2 * width + width)];
          const size_t last = bounds[std::min(kPieces, pair * 2 * width + 2 * width)];
          // On ties std::merge takes the first range's element: the earlier site stays first.
          std::merge(order.begin() + first, order.begin() + middle, order.begin() + middle, order.begin() + last,
                     merged.begin() + first, less);
        }
      });
      order.swap(merged);
    }
  }
  std::vector<size_t> source(order.size());
  for (size_t i = 0; i < order.size(); ++i) source[i] = order[i].site;
  std::vector<Entry>().swap(order);
  // Moved into place along the permutation's cycles rather than into a second list of sites. The
  // sites lie in the permutation's order, far apart: the walk asks for those a few steps ahead of
  // it early, so that it does not wait for each in turn.
  constexpr int kAhead = 8;
  const auto prefetch = [&](size_t i) {
    const char* p = reinterpret_cast<const char*>(&sites[i]);
    for (size_t line = 0; line < sizeof(CQLSite); line += 64) __builtin_prefetch(p + line, 1);
  };
  for (size_t k = 0; k < source.size(); ++k) {
    if (source[k] == k) continue;
    size_t ahead = source[k];
    for (int n = 0; n < kAhead; ++n) {
      prefetch(ahead);
      ahead = source[ahead];
    }
    CQLSite held = std::move(sites[k]);
    size_t j = k;
    while (source[j] != k) {
      const size_t from = source[j];
      prefetch(ahead);
      ahead = source[ahead];
      sites[j] = std::move(sites[from]);
      source[j] = j;
      j = from;
    }
    sites[j] = std::move(held);
    source[j] = j;
  }
}

void CQLCIFFile::FinishStructure() {
  CStatus status(3704u);
  const bool noSymmetry = m_crystal->m_operators.empty() && !m_symbolFromHM;
  if (noSymmetry) m_crystal->m_spaceGroupSymbol = L"P 1";
  m_crystal->ComputeMetrics();
  BuildSites();
  if (m_crystal->m_sites.empty()) throw CLXXFileImportNoAtoms(kLXSeverityMessage, 0, __LINE__);
  // Said only of a structure that is read: a file cut short before its atoms gets one alert, why
  // it cannot be read, not a fallback to P 1 first.
  if (noSymmetry) CLXXFileMissingSymmetry(kLXSeverityMessage, 0, __LINE__).Report();
  ChooseOriginFromMultiplicities();
  m_crystal->MergeCoincidentSites();
  CStatus::SetText(3729u);
  SortSitesByLogicalLabel(m_crystal->m_sites);
  m_crystal->IdentifySpaceGroup();
  for (size_t i : m_crystal->ExpandSitesBySymmetry()) {
    const CQLSite& site = m_crystal->m_sites[i];
    const double occupancy = site.TotalOccupancy();
    if (occupancy < 1.0 - kOccupancyRounding) Warn(true, 2651, site.m_label, occupancy);
  }
}

// A symbol of a group with two origin choices, with neither named nor operators given, leaves the
// coordinates' origin open; read in the wrong one, sites on special positions become general ones.
// The multiplicities the file gives decide where exactly one origin agrees with all of them.
void CQLCIFFile::ChooseOriginFromMultiplicities() {
  CQLCrystal& c = *m_crystal;
  std::vector<int32_t> multiplicities = std::move(m_siteMultiplicities);
  m_siteMultiplicities.clear();
  if (!c.m_operators.empty() || c.m_originChoice != 0) return;
  const int row = FindSpaceGroupIndex(c.m_spaceGroupSymbol);
  if (row < 0 || g_SpaceGroupTable[row].originChoice == 0) return;
  multiplicities.resize(std::min(multiplicities.size(), c.m_sites.size()));
  int agreeing = 0, count = 0;
  if (std::any_of(multiplicities.begin(), multiplicities.end(), [](int32_t m) { return m > 0; })) {
    for (int choice : {1, 2}) {
      CQLCrystal probe(true);
      probe.m_a = c.m_a, probe.m_b = c.m_b, probe.m_c = c.m_c;
      probe.m_alpha = c.m_alpha, probe.m_beta = c.m_beta, probe.m_gamma = c.m_gamma;
      probe.m_spaceGroupSymbol = c.m_spaceGroupSymbol;
      probe.m_latticeLetter = c.m_latticeLetter;
      probe.m_originChoice = choice;
      for (size_t i = 0; i < multiplicities.size(); ++i) {
        if (multiplicities[i] <= 0) continue;
        CQLSite site;
        site.m_x = c.m_sites[i].m_x, site.m_y = c.m_sites[i].m_y, site.m_z = c.m_sites[i].m_z;
        site.m_rounding = c.m_sites[i].m_rounding;
        probe.m_sites.push_back(std::move(site));
      }
      probe.ExpandSitesBySymmetry();
      size_t s = 0;
      bool agrees = true;
      for (int32_t m : multiplicities)
        if (m > 0) agrees = agrees && probe.m_sites[s++].m_positions.size() == static_cast<size_t>(m);
      if (agrees) agreeing = choice, ++count;
    }
  }
  if (count == 1) {
    c.m_originChoice = agreeing;
    return;
  }
  Warn(false, 2624, c.m_spaceGroupSymbol, static_cast<int>(g_SpaceGroupTable[row].originChoice));
}
