// Scattering-factor records, species look-up through the "ASF" table, and scattering factors.
#include "LXASF.h"
#include "LXUtils.h"

#include <cmath>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "Utf16.h"

// In ElementTable.cpp (generated).
std::vector<CLXASF> MakeElementTable();
extern const double kDefaultASFCoefficients[9];

namespace {
// Constants of the electron scattering factor: (Z - f_X) * 850 / s².
constexpr double kElectronFactor = 850.0;

// The free-standing "ASF" value, filled on first use from the generated rows, so that it does
// not depend on the order in which files' globals are initialised.
CASFPrefArray& FreeStandingTable() {
  static CASFPrefArray table(L"ASF", 0x10, nullptr);
  static const bool filled = [] {
    std::vector<CLXASF> copy = MakeElementTable();
    table.Swap(copy);
    return true;
  }();
  (void)filled;
  return table;
}

CASFPrefArray* g_pRegisteredTable = nullptr;

void PutUtf16(uint8_t* p, const wchar_t* text, size_t maxChars, size_t fieldBytes) {
  std::memset(p, 0, fieldBytes);
  std::u16string units = qlw::ToUtf16(std::wstring_view(text ? text : L""));
  if (units.size() > maxChars) units.resize(maxChars);
  for (size_t i = 0; i < units.size(); ++i) PrefBytes::PutU16(p + 2 * i, units[i]);
}

std::wstring GetUtf16(const uint8_t* p, size_t fieldBytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < fieldBytes; i += 2) {
    const char16_t u = PrefBytes::GetU16(p + i);
    if (u == 0) break;
    units.push_back(u);
  }
  return qlw::FromUtf16(units);
}
}  // namespace

std::vector<CLXASF> g_ElementTable = MakeElementTable();

namespace {
bool TableHasSymbol(const char* symbol) {
  for (const CLXASF& record : g_ElementTable) {
    const wchar_t* s = record.GetSymbol();
    size_t i = 0;
    while (symbol[i] && s[i] == static_cast<wchar_t>(symbol[i])) ++i;
    if (symbol[i] == '\0' && s[i] == L'\0') return true;
  }
  return false;
}
// Installed right after the table is built, so element codes check against it.
const bool g_symbolTestInstalled = (SetElementSymbolTest(TableHasSymbol), true);
}  // namespace

CLXASF::CLXASF()
    : m_symbolLength(0),
      m_symbolWord(0),
      m_Z(14),
      m_weight(28.0855f),
      m_neutronLength(4.1491f) {
  SetSymbol(L"Si");
  for (int i = 0; i < 9; ++i) m_coefficients[i] = kDefaultASFCoefficients[i];
}

CLXASF::CLXASF(const wchar_t* symbol, int Z, double weight, const double coefficients[9], double neutronLength,
               const wchar_t* note)
    : m_symbolLength(0), m_symbolWord(0), m_Z(Z), m_weight(weight), m_neutronLength(neutronLength), m_note(note) {
  SetSymbol(symbol);
  for (int i = 0; i < 9; ++i) m_coefficients[i] = coefficients[i];
}

void CLXASF::SetSymbol(const wchar_t* text) {
  m_symbolWord = 0;
  size_t length = 0;
  if (text) {
    for (int i = 0; i < kMaxSymbolLength && text[i]; ++i)
      if (!std::iswspace(text[i])) m_symbol[length++] = text[i];
  }
  m_symbol[length] = L'\0';
  m_symbolLength = static_cast<int64_t>(length);
}

double CLXASF::XRayFormFactor(double s2) const {
  const double* c = m_coefficients;
  return c[0] * std::exp(-c[1] * s2) + c[2] * std::exp(-c[3] * s2) + c[4] * std::exp(-c[5] * s2) +
         c[6] * std::exp(-c[7] * s2) + c[8];
}

void CPrefStoredForm<CLXASF>::Put(const CLXASF& v, uint8_t* p) {
  std::memset(p, 0, kSize);
  PutUtf16(p, v.m_symbol, CLXASF::kMaxSymbolLength, 20);
  PrefBytes::PutU32(p + 20, static_cast<uint32_t>(v.m_Z));
  PrefBytes::PutF64(p + 24, v.m_weight);
  for (int i = 0; i < 9; ++i) PrefBytes::PutF64(p + 32 + 8 * i, v.m_coefficients[i]);
  PrefBytes::PutF64(p + 104, v.m_neutronLength);
  PutUtf16(p + 112, v.m_note.GetString(), kMaxNoteLength, 162);
}

void CPrefStoredForm<CLXASF>::Get(const uint8_t* p, CLXASF& v) {
  v.SetSymbol(GetUtf16(p, 20).c_str());
  v.m_Z = static_cast<int32_t>(PrefBytes::GetU32(p + 20));
  v.m_weight = PrefBytes::GetF64(p + 24);
  for (int i = 0; i < 9; ++i) v.m_coefficients[i] = PrefBytes::GetF64(p + 32 + 8 * i);
  v.m_neutronLength = PrefBytes::GetF64(p + 104);
  v.m_note = CString(GetUtf16(p + 112, 162));
}

CASFPrefArray& GetScatteringFactorTable() { return g_pRegisteredTable ? *g_pRegisteredTable : FreeStandingTable(); }

void SetScatteringFactorTable(CASFPrefArray* table) { g_pRegisteredTable = table; }

namespace {
thread_local CScatteringMismatchScope* t_mismatchScope = nullptr;
}

CScatteringMismatchScope::CScatteringMismatchScope(bool silent) : m_outer(t_mismatchScope), m_silent(silent) {
  t_mismatchScope = this;
}

CScatteringMismatchScope::~CScatteringMismatchScope() { t_mismatchScope = m_outer; }

bool CScatteringMismatchScope::TakeReport() {
  CScatteringMismatchScope* scope = t_mismatchScope;
  if (!scope) return true;
  if (scope->m_silent || scope->m_reported) return false;
  scope->m_reported = true;
  return true;
}

CSiteSpecies::CSiteSpecies() : m_occupancy(0.0) {}

CSiteSpecies::CSiteSpecies(const wchar_t* name, double occupancy) : m_name(name), m_occupancy(occupancy) {
  LookupScatteringFactors();
}

bool CSiteSpecies::LookupScatteringFactors() {
  bool found = false;
  {
    CASFPrefArray& table = GetScatteringFactorTable();
    CPrefValue::CMutexLock lock(table);
    const size_t count = table.Count();
    for (size_t i = 0; i < count && !found; ++i) {
      const CLXASF& record = *table.At(i);
      if (std::wcsncmp(record.m_symbol, m_name.GetString(), CLXASF::kMaxSymbolLength) == 0) {
        m_asf = record;
        found = true;
      }
    }
  }
  if (!found) {
    m_asf = CLXASF();
    // Reported, not thrown: the species keeps its name, occupancy and the default record.
    if (CScatteringMismatchScope::TakeReport()) CLXXUnableToMatchScattering(kLXSeverityMessage, 0, 0).Report();
  }
  return found;
}

double CSiteSpecies::GetScatteringFactor(double d, int radiation) const {
  if (!(m_occupancy > 0.0) || radiation == kRadiationNeutrons) return GetScatteringFactor(d, radiation, 0.0);
  return GetScatteringFactor(d, radiation, m_asf.XRayFormFactor(1.0 / (4.0 * d * d)));
}

double CSiteSpecies::GetScatteringFactor(double d, int radiation, double fX) const {
  if (!(m_occupancy > 0.0)) return 0.0;
  if (radiation == kRadiationNeutrons) return m_asf.m_neutronLength * m_occupancy;
  const double s2 = 1.0 / (4.0 * d * d);
  if (radiation == kRadiationElectrons) return (m_asf.m_Z - fX) * kElectronFactor / s2 * m_occupancy;
  return fX * m_occupancy;
}

bool CompareSpeciesByOccupancy(const CSiteSpecies& first, const CSiteSpecies& second) {
  if (first.m_occupancy != second.m_occupancy) return first.m_occupancy < second.m_occupancy;
  return first.m_name < second.m_name;
}

bool CompareSpeciesByOccupancyOnly(const CSiteSpecies& first, const CSiteSpecies& second) {
  return first.m_occupancy < second.m_occupancy;
}
