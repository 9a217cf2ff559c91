// Site records of the CIF reader and their hand-over to the crystal.
#include "QLCIFFile.h"

#include "LXASF.h"
#include "LXUtils.h"
#include "QLCrystal.h"
#include "Status.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <string_view>

namespace {
// "%f" read as single precision, 0 when nothing parses.
double ScanFloat(const std::string& text) {
  char* end = nullptr;
  const float v = strtof_l(text.c_str(), &end, qlw::CNumericLocale());
  return end == text.c_str() ? 0.0 : static_cast<double>(v);
}

bool DisplacementReadable(const CIFSiteRecord& r) {
  auto finite = [](double v, bool has) { return !has || std::isfinite(v); };
  if (!finite(r.uIso, r.hasUIso) || !finite(r.bIso, r.hasBIso)) return false;
  for (int i = 0; i < 9; ++i)
    if (!finite(r.u[i], r.hasU[i]) || !finite(r.b[i], r.hasB[i])) return false;
  return true;
}
}  // namespace

// ----- records -----

bool CIFSiteRecord::IsEmpty() const {
  return !hasElement && !hasXyz[0] && !hasXyz[1] && !hasXyz[2] && !hasOccupancy && !HasDisplacement();
}

bool CIFSiteRecord::HasDisplacement() const {
  return hasUIso || hasBIso || std::any_of(hasU, hasU + 9, [](bool b) { return b; }) ||
         std::any_of(hasB, hasB + 9, [](bool b) { return b; });
}

bool CIFSiteRecord::CanMerge(const CIFSiteRecord& a, const CIFSiteRecord& b) {
  auto both = [](bool x, bool y) { return x && y; };
  if (both(a.hasElement, b.hasElement) || both(a.hasOccupancy, b.hasOccupancy) || both(a.hasUIso, b.hasUIso) ||
      both(a.hasBIso, b.hasBIso))
    return false;
  for (int i = 0; i < 3; ++i)
    if (both(a.hasXyz[i], b.hasXyz[i])) return false;
  for (int i = 0; i < 9; ++i)
    if (both(a.hasU[i], b.hasU[i]) || both(a.hasB[i], b.hasB[i])) return false;
  if (!a.hasLabel || !b.hasLabel) return true;
  // Whole labels only: O1's tensor must never land on O10.
  return a.label == b.label;
}

void CIFSiteRecord::MergeInto(const CIFSiteRecord& src, CIFSiteRecord& dst) {
  if (src.hasLabel) dst.label = src.label, dst.hasLabel = true;
  if (src.hasElement) dst.elementCode = src.elementCode, dst.hasElement = true;
  for (int i = 0; i < 3; ++i) {
    if (src.hasXyz[i]) dst.xyz[i] = src.xyz[i], dst.hasXyz[i] = true;
    if (src.hasSu[i]) dst.su[i] = src.su[i], dst.hasSu[i] = true;
  }
  if (src.hasOccupancy) dst.occupancy = src.occupancy, dst.hasOccupancy = true;
  if (src.hasUIso) dst.uIso = src.uIso, dst.hasUIso = true;
  if (src.hasBIso) dst.bIso = src.bIso, dst.hasBIso = true;
  for (int i = 0; i < 9; ++i) {
    if (src.hasU[i]) dst.u[i] = src.u[i], dst.hasU[i] = true;
    if (src.hasB[i]) dst.b[i] = src.b[i], dst.hasB[i] = true;
  }
}

// ----- item handler -----

void CQLCIFFile::HandleAtomSiteItem(const std::string& name, const std::string& value) {
  CIFSiteRecord& r = m_current;
  // A repeated item starts the next row's record.
  auto field = [this](bool present) {
    if (present) CommitRecord();
  };
  if (name == "_atom_site_label" || name == "_atom_site_aniso_label") {
    field(r.hasLabel);
    std::wstring label;
    for (wchar_t ch : std::wstring(CString(value.c_str()).GetString()))
      if (!std::iswspace(static_cast<wint_t>(ch))) label += ch;
    r.label = label;
    r.hasLabel = true;
    return;
  }
  if (name == "_atom_site_type_symbol") {
    field(r.hasElement);
    r.elementCode = ElementCodeFromString(CString(value.c_str()));
    r.hasElement = true;
    return;
  }
  static const char* const kCoordinates[] = {"_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"};
  for (int i = 0; i < 3; ++i) {
    if (name != kCoordinates[i]) continue;
    field(r.hasXyz[i]);
    bool hasSU = false;
    ParseNumberWithSU(value, r.xyz[i], r.su[i], hasSU);
    r.hasXyz[i] = true;
    r.hasSu[i] = hasSU;
    return;
  }
  auto setScalar = [&](double& v, bool& has) {
    field(has);
    v = ScanFloat(value);
    has = true;
  };
  if (name == "_atom_site_occupancy") return setScalar(r.occupancy, r.hasOccupancy);
  if (name == "_atom_site_u_iso_or_equiv") return setScalar(r.uIso, r.hasUIso);
  if (name == "_atom_site_b_iso_or_equiv") return setScalar(r.bIso, r.hasBIso);
  // _atom_site_aniso_u_ij or _b_ij, i and j 1 to 3: matched in place, as every item of every row comes here.
  static constexpr std::string_view kTensorPrefix = "_atom_site_aniso_";
  const size_t n = kTensorPrefix.size();
  if (name.size() != n + 4 || name.compare(0, n, kTensorPrefix) != 0 || name[n + 1] != '_') return;
  const char kind = name[n];
  const int row = name[n + 2] - '1', column = name[n + 3] - '1';
  if ((kind != 'u' && kind != 'b') || row < 0 || row > 2 || column < 0 || column > 2) return;
  const int i = 3 * row + column;
  if (kind == 'u') return setScalar(r.u[i], r.hasU[i]);
  setScalar(r.b[i], r.hasB[i]);
}

void CQLCIFFile::ClearRecords() {
  m_records.clear();
  m_recordsByLabel.clear();
  m_unlabelledRecords.clear();
  m_unlabelledFirst = 0;
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
  static const std::vector<size_t> kNoRecords;
  const auto found = m_recordsByLabel.find(m_current.label);
  const std::vector<size_t>& same = found != m_recordsByLabel.end() ? found->second : kNoRecords;
  size_t best = none;
  for (size_t i : same)
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
    const size_t target = m_keepRowsApart ? m_records.size() : FindMergeTarget();
    if (target < m_records.size()) {
      CIFSiteRecord& into = m_records[target];
      const bool gainsLabel = !into.hasLabel && m_current.hasLabel;
      CIFSiteRecord::MergeInto(m_current, into);
      // It now answers to its label; its old entry among the unlabelled ones is passed over.
      if (gainsLabel) {
        std::vector<size_t>& same = m_recordsByLabel[into.label];
        same.insert(std::lower_bound(same.begin(), same.end(), target), target);
      }
    } else {
      m_records.push_back(m_current);
      if (m_current.hasLabel)
        m_recordsByLabel[m_current.label].push_back(target);
      else
        m_unlabelledRecords.push_back(target);
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
  const CString label(r.label.c_str());
  auto validate = [&](double* t, bool* has, UINT warning) {
    const bool anyOther = std::any_of(has + 1, has + 9, [](bool b) { return b; });
    if (!has[0]) {
      if (anyOther) Warn(false, warning, label);
      return;
    }
    const bool complete = has[4] && has[8] && (has[1] || has[3]) && (has[2] || has[6]) && (has[5] || has[7]);
    if (!complete) {
      has[0] = false;
      Warn(false, warning, label);
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
  };
  validate(r.b, r.hasB, 2601);
  validate(r.u, r.hasU, 2602);
  if (r.hasBIso && r.bIso <= 0) {
    r.hasBIso = false;
    Warn(false, 2603, r.bIso, label);
  }
  if (r.hasUIso && r.uIso <= 0) {
    r.hasUIso = false;
    Warn(false, 2606, r.uIso, label);
  }
}

bool CQLCIFFile::BuildSite(CIFSiteRecord& r, CQLSite& site) {
  if (!r.hasElement || r.elementCode == 0) {
    r.elementCode = ElementCodeFromString(r.label.c_str());
    r.hasElement = true;
  }
  const double occupancy = r.hasOccupancy ? r.occupancy : 1.0;
  const CString label(r.label.c_str());
  if (!r.hasXyz[0] || !r.hasXyz[1] || !r.hasXyz[2]) {
    Warn(true, 2607, label);
    return false;
  }
  // A coordinate that does not read must not put the site at the origin.
  for (double v : r.xyz) {
    if (!std::isfinite(v) || v == -DBL_MAX) {
      Warn(true, 2605, label);
      return false;
    }
  }
  // A NaN or negative occupancy would silently remove every reflexion, an infinite one or an
  // unreadable displacement would make every intensity NaN: such a site is refused, by name.
  if (!std::isfinite(occupancy) || occupancy < 0.0) {
    Warn(true, 2620, occupancy, label);
    return false;
  }
  if (!DisplacementReadable(r)) {
    Warn(true, 2621, label);
    return false;
  }
  site = CQLSite();
  CString siteLabel = r.label.empty() ? CString() : CString(r.label.substr(0, CIFSiteRecord::kMaxLabel).c_str());
  if (siteLabel.IsEmpty()) siteLabel.LoadString(2600);
  site.m_label = siteLabel;
  site.m_species.emplace_back(ElementCodeToString(r.elementCode).GetString(), occupancy);
  site.m_x = r.xyz[0];
  site.m_y = r.xyz[1];
  site.m_z = r.xyz[2];
  site.m_included = true;
  ValidateDisplacement(r);
  if (r.HasDisplacement()) {
    const double k = 8.0 * std::acos(-1.0) * std::acos(-1.0);
    if (r.hasU[0] || r.hasB[0]) {
      double tensor[9];
      const bool fromB = r.hasB[0];
      for (int i = 0; i < 9; ++i) tensor[i] = fromB ? r.b[i] / k : r.u[i];
      site.m_displacement =
          std::make_unique<CQLAnisoThermalEllipsoid>(tensor, m_crystal->m_aStar, m_crystal->m_bStar, m_crystal->m_cStar);
    } else if (r.hasUIso) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(r.uIso);
    } else if (r.hasBIso) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(r.bIso / k);
    }
  }
  return true;
}

void CQLCIFFile::BuildSites() {
  std::vector<CQLSite> sites;
  sites.reserve(m_records.size());
  for (CIFSiteRecord& r : m_records) {
    CQLSite site;
    // A record that cannot become a site is left out, with its warning, rather than kept empty.
    if (BuildSite(r, site)) {
      // Marked as the text crystal reader marks it, so the sample pane offers its displacement switch.
      if (site.m_displacement) m_crystal->m_hasDisplacements = true;
      sites.push_back(std::move(site));
    }
  }
  m_crystal->m_sites = std::move(sites);
  ClearRecords();
}

namespace {
std::wstring LogicalKey(const CString& label) {
  std::wstring text;
  const std::wstring raw(label.GetString());
  for (size_t i = 0; i < raw.size() && i < 80; ++i)
    if (!std::iswspace(static_cast<wint_t>(raw[i]))) text += raw[i];
  if (text.empty() || !std::iswdigit(static_cast<wint_t>(text.back()))) return text;
  size_t start = text.size();
  while (start > 0 && std::iswdigit(static_cast<wint_t>(text[start - 1]))) --start;
  const std::wstring digits = text.substr(start);
  text.erase(start);
  text.append(80 - text.size() - digits.size(), L'#');
  return text + digits;
}

}  // namespace

void CQLCIFFile::FinishStructure() {
  CStatus status(3704u);
  if (m_crystal->m_operators.empty() && !m_symbolFromHM) {
    CLXXFileMissingSymmetry(kLXSeverityMessage, 0, __LINE__).Report();
    m_crystal->m_spaceGroupSymbol = L"P 1";
  }
  m_crystal->ComputeMetrics();
  BuildSites();
  if (m_crystal->m_sites.empty()) throw CLXXFileImportNoAtoms(kLXSeverityMessage, 0, __LINE__);
  m_crystal->MergeCoincidentSites();
  CStatus::SetText(3729u);
  // The same order as sorting by LessByLogicalLabel, with each site's key made once.
  std::vector<CQLSite>& sites = m_crystal->m_sites;
  std::vector<std::wstring> keys;
  keys.reserve(sites.size());
  for (const CQLSite& site : sites) keys.push_back(LogicalKey(site.m_label));
  std::vector<size_t> order(sites.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return CompareLogically(keys[a].c_str(), keys[b].c_str()) < 0; });
  std::vector<CQLSite> sorted;
  sorted.reserve(sites.size());
  for (size_t i : order) sorted.push_back(std::move(sites[i]));
  sites = std::move(sorted);
  m_crystal->IdentifySpaceGroup();
  m_crystal->ExpandSitesBySymmetry();
}

// ----- sort order -----


bool LessByLogicalLabel(const CQLSite& a, const CQLSite& b) {
  return CompareLogically(LogicalKey(a.m_label).c_str(), LogicalKey(b.m_label).c_str()) < 0;
}
