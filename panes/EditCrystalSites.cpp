// The crystal editor's rows and site list: cell texts and edits, the Type menu, the sort
// orders, the occupancy text and the snapping of coordinates.
#include "EditCrystal.h"

#include <algorithm>
#include <cmath>

#include "EditorSupport.h"
#include "LXUtils.h"

namespace {
// 2π², as the displacement factors take it.
const double kTwoPiSquared = 2.0 * 3.141592653589793 * 3.141592653589793;
// The stored fractions are the single-precision values widened to double.
constexpr double kSixth = static_cast<double>(1.0f / 6.0f), kThird = static_cast<double>(1.0f / 3.0f),
                 kTwoThirds = static_cast<double>(2.0f / 3.0f), kFiveSixths = static_cast<double>(5.0f / 6.0f);
// Sums of typed fractions miss 1 by rounding alone ("Fe0.2Ni0.4Co0.3Cu0.1" sums to 1 + 2e-16).
constexpr double kOccupancySumTolerance = 1e-6;
constexpr double kEmptyOccupancy = static_cast<double>(1e-4f);
const wchar_t kNumberChars[] = L"0123456789./";

const editors::ColumnUnits kSiteColumns[] = {
    {LVCFMT_CENTER, 5, 2409, CSubEditList::kKindCheck}, {LVCFMT_LEFT, 10, 2406, CSubEditList::kKindText},
    {LVCFMT_LEFT, 20, 2405, CSubEditList::kKindText},   {LVCFMT_RIGHT, 11, 1068, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 11, 1069, CSubEditList::kKindText},  {LVCFMT_RIGHT, 11, 1070, CSubEditList::kKindText},
    {LVCFMT_LEFT, 11, 1056, CSubEditList::kKindText},   {LVCFMT_LEFT, 11, 1059, CSubEditList::kKindText},
    {LVCFMT_LEFT, 11, 1061, CSubEditList::kKindText},   {LVCFMT_LEFT, 11, 1060, CSubEditList::kKindText},
    {LVCFMT_LEFT, 11, 1058, CSubEditList::kKindText},   {LVCFMT_LEFT, 11, 1057, CSubEditList::kKindText},
    {LVCFMT_LEFT, 11, 1062, CSubEditList::kKindText},   {LVCFMT_CENTER, 13, 2400, CSubEditList::kKindMenu},
};
constexpr int kSiteColumnCount = 14;

// The element of U that columns 7 to 12 show: U11, U22, U33, U23, U13, U12 (upper triangle).
int UElement(int column) {
  static const int elements[] = {0, 4, 8, 5, 2, 1};
  return column >= 7 && column <= 12 ? elements[column - 7] : -1;
}

// The leading run of `text` made of (`inSet`) or free of (!`inSet`) the number characters.
CString LeadingRun(const CString& text, bool inSet) {
  int n = 0;
  const CString set(kNumberChars);
  while (n < text.GetLength() && (set.Find(text[n]) >= 0) == inSet) ++n;
  return text.Left(n);
}

bool IsKnownElement(const CString& name) { return ElementCodeFromText(name) != kUnknownElementCode; }
}  // namespace

// ---- rows ----

CEditCrystal::SiteRec CEditCrystal::SiteRec::FromSite(const CQLSite& site, const std::array<double, 3>& star,
                                                      std::uint64_t number) {
  SiteRec r;
  r.number = number;
  r.label = site.m_label;
  r.x = site.m_x, r.y = site.m_y, r.z = site.m_z;
  r.species = site.m_species;
  r.on = site.m_included;
  if (const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(site.m_displacement.get())) {
    r.adpType = kADPUij;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        // Off the diagonal the element below it is read, and both halves take it.
        const int below = i >= j ? 3 * i + j : 3 * j + i;
        const double scale = kTwoPiSquared * star[static_cast<size_t>(i)] * star[static_cast<size_t>(j)];
        r.u[static_cast<size_t>(3 * i + j)] = scale != 0.0 ? aniso->m_beta[below] / scale : 0.0;
      }
    r.uiso = aniso->m_u;
  } else if (site.m_displacement) {
    r.adpType = kADPUiso;
    r.uiso = site.m_displacement->m_u;
  }
  return r;
}

CEditCrystal::SiteRec CEditCrystal::SiteRec::NewRow(std::uint64_t number) {
  SiteRec r;
  r.number = number;
  r.label.LoadString(2403);
  r.species.emplace_back(L"C", 1.0);
  return r;
}

double CEditCrystal::SnapCoordinate(double value) {
  const double scaled = value * 10000.0;
  double snapped = 0.0, exact = 0.0;
  switch (static_cast<long long>(scaled)) {
    case 1666:
    case 1667: snapped = kSixth, exact = 1.0 / 6.0; break;
    case 3333: snapped = kThird, exact = 1.0 / 3.0; break;
    case 6666:
    case 6667: snapped = kTwoThirds, exact = 2.0 / 3.0; break;
    case 8333: snapped = kFiveSixths, exact = 5.0 / 6.0; break;
    default: return value;
  }
  // Only the fraction written to four decimals (0.3333) or in full (1/3) is meant as the fraction;
  // a value with a further digit of its own (0.33334) is the user's.
  const bool fourDecimals = std::fabs(scaled - std::round(scaled)) < 1e-6;
  return fourDecimals || std::fabs(value - exact) < 1e-6 ? snapped : value;
}

std::vector<CSiteSpecies> CEditCrystal::ParseOccupancy(const CString& label, const CString& text) {
  std::vector<CSiteSpecies> species;
  double sum = 0.0;
  CString t = text;
  t.Trim();
  CString n = LeadingRun(t, false);
  CString m;
  do {
    m = n;
    m.Trim();
    if (!m.IsEmpty()) {
      t = t.Mid(n.GetLength());
      const CString d = LeadingRun(t, true);
      if (!d.IsEmpty()) {
        double occupancy = 1.0;
        if (!CUtils::ParseNumberChecked(d, false, &occupancy) || !std::isfinite(occupancy)) occupancy = 1.0;
        sum += occupancy;
        species.emplace_back(m.GetString(), occupancy);
        t = t.Mid(d.GetLength());
      } else if (IsKnownElement(m)) {
        sum += 1.0;
        species.emplace_back(m.GetString(), 1.0);
      }
    }
    t.Trim();
    if (!t.IsEmpty()) n = LeadingRun(t, false);
  } while (!m.IsEmpty() && !t.IsEmpty());

  if (!t.IsEmpty()) throw CLXXInvalidSiteOcc(kLXSeverityMessage, 0, __LINE__);
  if (sum > 1.0 + kOccupancySumTolerance) throw CLXXSiteOccSumNotOne(kLXSeverityMessage, 0, __LINE__);
  if (sum < kEmptyOccupancy) {
    if (!species.empty() && !species.front().m_name.IsEmpty()) {
      species.resize(1);
      species.front().m_occupancy = 1.0;
    } else {
      const uint16_t code = ElementCodeFromText(label);
      if (code == kUnknownElementCode) throw CLXXInvalidSiteOcc(kLXSeverityMessage, 0, __LINE__);
      species.clear();
      species.emplace_back(ElementCodeToString(code).GetString(), 1.0);
    }
  }
  std::stable_sort(species.begin(), species.end(), [](const CSiteSpecies& a, const CSiteSpecies& b) {
    if (a.m_occupancy != b.m_occupancy) return a.m_occupancy > b.m_occupancy;
    return a.m_name.Compare(b.m_name) > 0;
  });
  return species;
}

// ---- the list ----

CEditCrystal::CSiteList::~CSiteList() {
  if (m_typeMenu.GetSafeHmenu()) m_typeMenu.DestroyMenu();
}

CEditCrystal* CEditCrystal::CSiteList::Dialog() const { return dynamic_cast<CEditCrystal*>(GetOwnerWindow()); }

CEditCrystal::SiteRec* CEditCrystal::CSiteList::Row(int row) const {
  CEditCrystal* d = Dialog();
  if (!d || row < 0 || row >= static_cast<int>(d->m_rows.size())) return nullptr;
  return &d->m_rows[static_cast<size_t>(row)];
}

bool CEditCrystal::CSiteList::IsCellEditable(int row, int column) {
  if (column < 7 || column > 13 || row == -1) return CSubEditList::IsCellEditable(row, column);
  const SiteRec* r = Row(row);
  if (!r) return false;
  switch (r->adpType) {
    case kADPUiso: return column == 13;
    case kADPUij: return column <= 12;
    default: return false;
  }
}

// Header clicks sort by any column.
bool CEditCrystal::CSiteList::IsColumnSortable(int column) { return column >= 1 && column <= kSiteColumnCount; }

bool CEditCrystal::CSiteList::GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) {
  if (m_specs.empty()) m_specs = editors::MeasureColumns(*this, kSiteColumns, kSiteColumnCount);
  specs = m_specs.data();
  stretch = false;
  stretchColumn = -1;
  return true;
}

void CEditCrystal::CSiteList::SortBy(int column, bool ascending) {
  CSubEditList::SortBy(column, ascending);
  CEditCrystal* d = Dialog();
  if (!d) return;
  SortKeepingSelection(d->m_rows, [this](const SiteRec& a, const SiteRec& b) { return CompareRows(a, b); });
  Invalidate();
}

void CEditCrystal::CSiteList::AccessCellCheck(int row, int column, bool set, UINT& state) {
  SiteRec* r = Row(row);
  if (!r || column != 1) return;
  if (set) {
    r->on = (state & 1u) != 0;
    InvalidateRow(row);
  } else {
    state = r->on ? 1u : 0u;
  }
}

void CEditCrystal::CSiteList::AccessCellMenu(int row, int column, bool set, HMENU& menu, int& choice, bool& disabled) {
  SiteRec* r = Row(row);
  if (!r || column != 14) return CSubEditList::AccessCellMenu(row, column, set, menu, choice, disabled);
  if (set) {
    r->adpType = choice == static_cast<int>(kCmdUiso) ? kADPUiso : choice == static_cast<int>(kCmdUij) ? kADPUij : kADPNone;
    InvalidateRow(row);
    return;
  }
  if (!m_typeMenu.GetSafeHmenu() && !m_typeMenu.LoadMenu(kTypeMenu))
    throw CLXXCantLoadResource(kLXSeverityMessage, kTypeMenu, __LINE__);
  HMENU popup = ::GetSubMenu(m_typeMenu.GetSafeHmenu(), 0);
  const UINT checked = r->adpType == kADPUiso ? kCmdUiso : r->adpType == kADPUij ? kCmdUij : kCmdNone;
  for (UINT command : {kCmdNone, kCmdUiso, kCmdUij})
    ::CheckMenuItem(popup, command, MF_BYCOMMAND | (command == checked ? MF_CHECKED : MF_UNCHECKED));
  menu = popup;
  choice = 0;
  disabled = false;
}

void CEditCrystal::CSiteList::AccessCellText(int row, int column, bool set, CString& text) {
  SiteRec* r = Row(row);
  if (!r) {
    if (!set) text.Empty();
    return;
  }
  if (!set) {
    text.Empty();
    switch (column) {
      case 2: text = r->label; break;
      case 3:
        for (const CSiteSpecies& s : r->species)
          if (s.m_occupancy > 0.0) text.AppendFormat(L"%-2s %0.2f  ", s.m_name.GetString(), s.m_occupancy);
        text.Trim();
        break;
      case 4: text.Format(L"%10.4f", r->x); break;
      case 5: text.Format(L"%10.4f", r->y); break;
      case 6: text.Format(L"%10.4f", r->z); break;
      case 7: case 8: case 9: case 10: case 11: case 12: case 13: {
        text = L"\u2022";
        if (r->adpType == kADPUij && column <= 12) text.Format(L"%8.5f", r->u[static_cast<size_t>(UElement(column))]);
        else if (r->adpType == kADPUiso && column == 13) text.Format(L"%8.5f", r->uiso);
        break;
      }
      case 14: text.LoadString(r->adpType == kADPUiso ? 2416 : r->adpType == kADPUij ? 2415 : 2414); break;
      default: break;
    }
    return;
  }
  if (column == 2) {
    r->label = text;
    return;
  }
  if (column == 3) {
    try {
      r->species = ParseOccupancy(r->label, text);
    } catch (CLXException& e) {
      e.Report();
    }
    return;
  }
  double value = 0.0;
  if (column < 4 || column > 13 || !editors::ParseFiniteNumber(text, value)) return;
  if (column == 4) r->x = value;
  else if (column == 5) r->y = value;
  else if (column == 6) r->z = value;
  else if (column == 13) r->uiso = value;
  else {
    // Both halves of the symmetric tensor, so that the record never holds two values for one element.
    const int e = UElement(column);
    r->u[static_cast<size_t>(e)] = value;
    r->u[static_cast<size_t>(3 * (e % 3) + e / 3)] = value;
  }
}

bool CEditCrystal::CSiteList::CompareADP(const SiteRec& a, const SiteRec& b, int element, bool ascending) const {
  if (a.adpType != b.adpType) {
    if (a.adpType == kADPNone) return ascending;
    if (b.adpType == kADPNone) return !ascending;
    if (a.adpType == kADPUiso) return ascending;
    return !ascending;
  }
  if (a.adpType != kADPUij) return false;
  const double va = a.u[static_cast<size_t>(element)], vb = b.u[static_cast<size_t>(element)];
  return ascending ? va < vb : va > vb;
}

bool CEditCrystal::CSiteList::CompareRows(const SiteRec& a, const SiteRec& b) {
  const int column = GetSortColumn();
  const ColumnRecord* record = GetColumnRecord(column);
  const bool ascending = record ? record->ascending : true;
  const auto order = [ascending](double x, double y) { return ascending ? x < y : x > y; };
  switch (column) {
    case 1: return order(a.on ? 1 : 0, b.on ? 1 : 0);
    case 2: {
      const int c = a.label.Compare(b.label);
      return ascending ? c < 0 : c > 0;
    }
    case 3: {
      const size_t n = std::min(a.species.size(), b.species.size());
      for (size_t i = 0; i < n; ++i) {
        const int c = a.species[i].m_name.Compare(b.species[i].m_name);
        if (c != 0) return ascending ? c < 0 : c > 0;
        if (a.species[i].m_occupancy != b.species[i].m_occupancy)
          return order(a.species[i].m_occupancy, b.species[i].m_occupancy);
      }
      return false;
    }
    case 4: return order(a.x, b.x);
    case 5: return order(a.y, b.y);
    case 6: return order(a.z, b.z);
    case 7: case 8: case 9: case 10: case 11: case 12: return CompareADP(a, b, UElement(column), ascending);
    case 13:
      if (a.adpType == kADPNone) return b.adpType == kADPNone ? false : ascending;
      if (b.adpType == kADPNone) return !ascending;
      return order(a.uiso, b.uiso);
    case 14: return order(a.adpType, b.adpType);
    default: return false;
  }
}
