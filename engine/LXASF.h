// Scattering-factor records of elements and ions, the species that binds one to a site, and the
// built-in element table (its numbers are generated into ElementTable.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "LXException.h"
#include "PrefValue.h"
#include "Win.h"

// One element or ion: a plain value type, copied by assignment.
class CLXASF {
public:
  static constexpr int kMaxSymbolLength = 9;

  CLXASF();  // valence silicon: what a species gets when its name matches no record
  CLXASF(const wchar_t* symbol, int Z, double weight, const double coefficients[9],
         double neutronLength, const wchar_t* note);

  // Drops white space; only the first 9 characters of text are examined. Null or "" clears it.
  void SetSymbol(const wchar_t* text);
  const wchar_t* GetSymbol() const { return m_symbol; }

  // X-ray form factor f_X at s2 = (sin θ / λ)², in Å⁻².
  double XRayFormFactor(double s2) const;

  wchar_t m_symbol[kMaxSymbolLength + 1];
  int64_t m_symbolLength;
  uint32_t m_symbolWord;  // cleared by SetSymbol; no other use
  int32_t m_Z;            // atomic number, or electron count of a group such as "OH"
  double m_weight;        // g/mol
  // a1, b1, a2, b2, a3, b3, a4, b4, c in this order (b in Å²)
  double m_coefficients[9];
  double m_neutronLength;  // coherent scattering length, fm (real part)
  CString m_note;
};

// Built once at start-up; the "ASF" preference value starts as a copy of it.
extern std::vector<CLXASF> g_ElementTable;

// Radiation kinds of CSiteSpecies::GetScatteringFactor; any other value counts as X-rays.
enum ScatteringRadiation : int {
  kRadiationElectrons = 1,
  kRadiationXRays = 2,
  kRadiationNeutrons = 3,
};

// One element occupying a site, with its occupancy and a copy of its matched record.
class CSiteSpecies {
public:
  CSiteSpecies();
  // Looks the name up at once (LookupScatteringFactors); later table edits do not reach it.
  CSiteSpecies(const wchar_t* name, double occupancy);

  // First record of the "ASF" table whose symbol equals the name in its first 9 characters;
  // the default record and the mismatch alert when none does. True when a record matched.
  bool LookupScatteringFactors();

  // d: d-spacing in Å. Already multiplied by the occupancy.
  double GetScatteringFactor(double d, int radiation) const;
  // The same from fX, the record's X-ray form factor at this d, found beforehand.
  double GetScatteringFactor(double d, int radiation, double fX) const;

  CString m_name;
  CLXASF m_asf;
  double m_occupancy;
};

// Ascending occupancy, ties by ascending name; strict weak ordering.
bool CompareSpeciesByOccupancy(const CSiteSpecies& first, const CSiteSpecies& second);
// True when second has the larger occupancy.
bool CompareSpeciesByOccupancyOnly(const CSiteSpecies& first, const CSiteSpecies& second);

// Stored form of one record in the "ASF" preference value: 280 bytes, little-endian. Symbol
// UTF-16 at 0 (9 characters, NUL, zeros), Z at 20, weight at 24, the nine coefficients at 32,
// neutron length at 104, note UTF-16 at 112 (80 characters, NUL, zeros), 6 reserved zero bytes.
template <>
struct CPrefStoredForm<CLXASF> {
  static constexpr size_t kSize = 280;
  static constexpr int kMaxNoteLength = 80;
  static void Put(const CLXASF& v, uint8_t* p);
  static void Get(const uint8_t* p, CLXASF& v);
};

// The scattering-factor table that look-ups read. It is the program store's "ASF" value when the
// store has registered one (SetScatteringFactorTable), else a free-standing "ASF" value that
// starts as a copy of g_ElementTable, so the engine works without a preference store.
using CASFPrefArray = CPrefArray<CLXASF>;
CASFPrefArray& GetScatteringFactorTable();
void SetScatteringFactorTable(CASFPrefArray* table);  // null returns to the free-standing value

LX_DECLARE_EXCEPTION(CLXXDiffWnd, CLXXProduct, 23028);
LX_DECLARE_EXCEPTION(CLXXUnableToMatchScattering, CLXXDiffWnd, 23729);

// While one lives on this thread, a species with no record is reported at most once: the alert
// names no species, so a file with nine unknown sites tells no more with nine alerts than with
// one. A silent one reports none (a trial read, whose real read reports). Scopes nest; an inner
// one goes by its own rule and leaves the outer one's count alone.
class CScatteringMismatchScope {
 public:
  explicit CScatteringMismatchScope(bool silent = false);
  ~CScatteringMismatchScope();
  CScatteringMismatchScope(const CScatteringMismatchScope&) = delete;
  CScatteringMismatchScope& operator=(const CScatteringMismatchScope&) = delete;
  // False when the scope on this thread, if any, keeps the mismatch unreported; counts it as told.
  static bool TakeReport();

 private:
  CScatteringMismatchScope* m_outer;
  bool m_silent;
  bool m_reported = false;
};
