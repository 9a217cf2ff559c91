// The built-in element table, species look-up and the X-ray, neutron and electron factors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "LXASF.h"

namespace {
const CLXASF* FindRecord(const wchar_t* symbol) {
  for (const CLXASF& r : g_ElementTable)
    if (std::wcscmp(r.m_symbol, symbol) == 0) return &r;
  return nullptr;
}

// Installs a table of its own for the scope of a test.
class ScopedTable {
public:
  explicit ScopedTable(std::vector<CLXASF> records) : m_table(L"ASF", 0x10, nullptr) {
    m_table.Swap(records);
    SetScatteringFactorTable(&m_table);
  }
  ~ScopedTable() { SetScatteringFactorTable(nullptr); }

private:
  CASFPrefArray m_table;
};
}  // namespace

TEST(ElementTable, HoldsTheRecordsInOrderWithTheirNotes) {
  ASSERT_EQ(g_ElementTable.size(), 102u);
  EXPECT_STREQ(g_ElementTable.front().m_symbol, L"D");
  EXPECT_STREQ(g_ElementTable[2].m_symbol, L"H-1");
  EXPECT_STREQ(g_ElementTable[12].m_symbol, L"OH");
  EXPECT_STREQ(g_ElementTable.back().m_symbol, L"Cf");
  struct Case {
    const wchar_t* symbol;
    const wchar_t* note;
  };
  const Case cases[] = {{L"B", L"b for 11B"},
                        {L"Dy", L"b is for natural abundances (16.9 - 0.276i)"},
                        {L"Cf", L"No neutron data."},
                        {L"Po", L""},
                        {L"Fe", L""}};
  for (const Case& c : cases) {
    const CLXASF* r = FindRecord(c.symbol);
    ASSERT_NE(r, nullptr) << c.symbol;
    EXPECT_EQ(r->m_note, CString(c.note)) << c.symbol;
  }
}

TEST(ElementTable, NumbersAreSinglePrecisionValuesOfThePublishedDecimals) {
  struct Case {
    const wchar_t* symbol;
    int Z;
    float weight;
    float coefficients[9];
    float b;
  };
  const Case cases[] = {
      {L"Fe", 26, 55.845f, {11.7695f, 4.7611f, 7.3573f, 0.3072f, 3.5222f, 15.3535f, 2.3045f, 76.8805f, 1.0369f}, 9.45f},
      {L"Cl", 17, 35.453f, {11.4604f, 0.0104f, 7.1964f, 1.1662f, 6.2556f, 18.5194f, 1.6455f, 47.7784f, -9.5574f}, 9.577f},
  };
  for (const Case& c : cases) {
    const CLXASF* r = FindRecord(c.symbol);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->m_Z, c.Z);
    EXPECT_EQ(r->m_weight, static_cast<double>(c.weight));
    EXPECT_EQ(r->m_neutronLength, static_cast<double>(c.b));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(r->m_coefficients[i], static_cast<double>(c.coefficients[i])) << i;
  }
  // Borrowed coefficients: D those of H, OH those of O.
  EXPECT_TRUE(std::equal(FindRecord(L"D")->m_coefficients, FindRecord(L"D")->m_coefficients + 9,
                         FindRecord(L"H")->m_coefficients));
  EXPECT_TRUE(std::equal(FindRecord(L"OH")->m_coefficients, FindRecord(L"OH")->m_coefficients + 9,
                         FindRecord(L"O")->m_coefficients));
}

TEST(ElementTable, DefaultRecordIsValenceSilicon) {
  const CLXASF si;
  EXPECT_STREQ(si.m_symbol, L"Si");
  EXPECT_EQ(si.m_Z, 14);
  EXPECT_EQ(si.m_weight, static_cast<double>(28.0855f));
  EXPECT_EQ(si.m_coefficients[1], static_cast<double>(2.6652f));
  EXPECT_EQ(si.m_coefficients[8], static_cast<double>(1.24707f));
  EXPECT_EQ(si.m_neutronLength, static_cast<double>(4.1491f));
  EXPECT_TRUE(si.m_note.IsEmpty());
}

TEST(ElementTable, SetSymbolDropsWhiteSpaceAndExaminesNineCharacters) {
  struct Case {
    const wchar_t* text;
    const wchar_t* symbol;
  };
  const Case cases[] = {{L" F e ", L"Fe"},
                        {L"ABCDEFGHIJKL", L"ABCDEFGHI"},
                        {L" ABCDEFGHIJ", L"ABCDEFGH"},
                        {L"", L""},
                        {nullptr, L""}};
  for (const Case& c : cases) {
    CLXASF r;
    r.m_symbolWord = 7;
    r.SetSymbol(c.text);
    EXPECT_STREQ(r.m_symbol, c.symbol);
    EXPECT_EQ(r.m_symbolLength, static_cast<int64_t>(std::wcslen(c.symbol)));
    EXPECT_EQ(r.m_symbolWord, 0u);
  }
}

TEST(SiteSpecies, FindsTheRecordByName) {
  const CSiteSpecies fe(L"Fe", 0.75);
  EXPECT_EQ(fe.m_name, CString(L"Fe"));
  EXPECT_EQ(fe.m_occupancy, 0.75);
  EXPECT_STREQ(fe.m_asf.m_symbol, L"Fe");
  EXPECT_EQ(fe.m_asf.m_Z, 26);
  // Case matters.
  const CSiteSpecies lower(L"fe", 1.0);
  EXPECT_STREQ(lower.m_asf.m_symbol, L"Si");
}

TEST(SiteSpecies, UnknownNameKeepsNameAndOccupancyWithTheDefaultRecord) {
  // The mismatch is reported as an alert (standard error in quiet mode), not thrown.
  testing::internal::CaptureStderr();
  const CSiteSpecies known(L"Fe", 1.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  const CSiteSpecies ion(L"Fe3+", 0.5);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error matching atomic scattering factors!"),
            std::string::npos);
  EXPECT_EQ(ion.m_name, CString(L"Fe3+"));
  EXPECT_EQ(ion.m_occupancy, 0.5);
  EXPECT_STREQ(ion.m_asf.m_symbol, L"Si");
  EXPECT_EQ(ion.m_asf.m_Z, 14);
}

TEST(SiteSpecies, LooksUpInTheInstalledTableByTheFirstNineCharacters) {
  const double coefficients[9] = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  ScopedTable table({CLXASF(L"Fe", 1, 1.0, coefficients, 1.0, L"edited"),
                     CLXASF(L"ABCDEFGHI", 99, 2.0, coefficients, 2.0, L"long")});
  EXPECT_EQ(CSiteSpecies(L"ABCDEFGHIJKL", 1.0).m_asf.m_Z, 99);
  EXPECT_EQ(CSiteSpecies(L"Fe", 1.0).m_asf.m_note, CString(L"edited"));
  EXPECT_STREQ(CSiteSpecies(L"O", 1.0).m_asf.m_symbol, L"Si");
  EXPECT_STREQ(CSiteSpecies(L"", 1.0).m_asf.m_symbol, L"Si");
}

TEST(SiteSpecies, EmptyNameMatchesOnlyAnEmptySymbol) {
  const double coefficients[9] = {};
  ScopedTable table({CLXASF(L"X", 5, 1.0, coefficients, 0.0, L""), CLXASF(L"", 7, 1.0, coefficients, 0.0, L"")});
  EXPECT_EQ(CSiteSpecies(L"", 1.0).m_asf.m_Z, 7);
}

TEST(SiteSpecies, XRayFactorOfIron) {
  const CSiteSpecies fe(L"Fe", 1.0);
  EXPECT_DOUBLE_EQ(fe.m_asf.XRayFormFactor(0.0), 25.990399837493896);
  EXPECT_NEAR(fe.GetScatteringFactor(2.0, kRadiationXRays), 18.3626147302406, 1e-12);
  // Any radiation other than electrons and neutrons counts as X-rays.
  EXPECT_EQ(fe.GetScatteringFactor(2.0, 0), fe.GetScatteringFactor(2.0, kRadiationXRays));
  const CSiteSpecies half(L"Fe", 0.5);
  EXPECT_NEAR(half.GetScatteringFactor(2.0, kRadiationXRays), 0.5 * 18.3626147302406, 1e-12);
}

TEST(SiteSpecies, NeutronFactorIsTheScatteringLengthTimesOccupancy) {
  EXPECT_DOUBLE_EQ(CSiteSpecies(L"Cl", 0.25).GetScatteringFactor(1.0, kRadiationNeutrons), 2.39424991607666);
  EXPECT_EQ(CSiteSpecies(L"Po", 1.0).GetScatteringFactor(1.0, kRadiationNeutrons), 0.0);
  EXPECT_LT(CSiteSpecies(L"H", 1.0).GetScatteringFactor(1.0, kRadiationNeutrons), 0.0);
}

TEST(SiteSpecies, ElectronFactorGrowsWithTheSquareOfD) {
  const CSiteSpecies fe(L"Fe", 0.5);
  EXPECT_NEAR(fe.GetScatteringFactor(2.0, kRadiationElectrons), 51934.21983436416, 1e-8);
  // At large d, Z - f_X tends to Z - f_X(0): doubling d multiplies the factor by 4.
  const double d = 1e4;
  EXPECT_NEAR(fe.GetScatteringFactor(2 * d, kRadiationElectrons) / fe.GetScatteringFactor(d, kRadiationElectrons), 4.0,
              1e-3);
  const double limit = 3400.0 * d * d * (26 - 25.990399837493896) * 0.5;
  EXPECT_NEAR(fe.GetScatteringFactor(d, kRadiationElectrons) / limit, 1.0, 1e-3);
  // Z equal to f_X gives 0.
  const double coefficients[9] = {0, 0, 0, 0, 0, 0, 0, 0, 6};
  ScopedTable table({CLXASF(L"C", 6, 12.0, coefficients, 6.6, L"")});
  EXPECT_EQ(CSiteSpecies(L"C", 1.0).GetScatteringFactor(1.5, kRadiationElectrons), 0.0);
}

TEST(SiteSpecies, ZeroOccupancyScattersNothing) {
  const CSiteSpecies fe(L"Fe", 0.0);
  for (int radiation : {0, int(kRadiationElectrons), int(kRadiationXRays), int(kRadiationNeutrons)})
    EXPECT_EQ(fe.GetScatteringFactor(1.0, radiation), 0.0) << radiation;
  EXPECT_EQ(CSiteSpecies(L"Fe", -0.1).GetScatteringFactor(1.0, kRadiationNeutrons), 0.0);
}

TEST(SiteSpecies, OrderingsByOccupancy) {
  std::vector<CSiteSpecies> species = {CSiteSpecies(L"O", 0.5), CSiteSpecies(L"Fe", 0.5), CSiteSpecies(L"Cl", 0.2)};
  std::sort(species.begin(), species.end(), CompareSpeciesByOccupancy);
  EXPECT_EQ(species[0].m_name, CString(L"Cl"));
  EXPECT_EQ(species[1].m_name, CString(L"Fe"));
  EXPECT_EQ(species[2].m_name, CString(L"O"));
  EXPECT_FALSE(CompareSpeciesByOccupancy(species[1], species[1]));
  EXPECT_TRUE(CompareSpeciesByOccupancyOnly(species[0], species[1]));
  EXPECT_FALSE(CompareSpeciesByOccupancyOnly(species[1], species[2]));
  EXPECT_FALSE(CompareSpeciesByOccupancyOnly(species[2], species[1]));
}

TEST(ElementStoredForm, RecordsTakeTwoHundredEightyBytesAtFixedOffsets) {
  const CLXASF& fe = *FindRecord(L"Fe");
  uint8_t bytes[280];
  std::memset(bytes, 0xAB, sizeof bytes);
  CPrefStoredForm<CLXASF>::Put(fe, bytes);
  EXPECT_EQ(bytes[0], 'F');
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 'e');
  EXPECT_EQ(bytes[4], 0);
  EXPECT_EQ(PrefBytes::GetU32(bytes + 20), 26u);
  EXPECT_EQ(PrefBytes::GetF64(bytes + 24), fe.m_weight);
  EXPECT_EQ(PrefBytes::GetF64(bytes + 32), fe.m_coefficients[0]);
  EXPECT_EQ(PrefBytes::GetF64(bytes + 96), fe.m_coefficients[8]);
  EXPECT_EQ(PrefBytes::GetF64(bytes + 104), fe.m_neutronLength);
  for (int i = 112; i < 280; ++i) EXPECT_EQ(bytes[i], 0) << i;

  CLXASF back;
  CPrefStoredForm<CLXASF>::Get(bytes, back);
  EXPECT_STREQ(back.m_symbol, L"Fe");
  EXPECT_EQ(back.m_Z, 26);
  EXPECT_TRUE(std::equal(back.m_coefficients, back.m_coefficients + 9, fe.m_coefficients));
}

TEST(ElementStoredForm, NoteIsCutToEightyCharactersAndSymbolKeepsNine) {
  CLXASF r;
  r.m_note = CString(std::wstring(100, L'n'));
  uint8_t bytes[280];
  CPrefStoredForm<CLXASF>::Put(r, bytes);
  EXPECT_EQ(bytes[112 + 2 * 80], 0);
  EXPECT_EQ(bytes[112 + 2 * 80 + 1], 0);
  // A stored symbol with blanks and more than nine characters is read through SetSymbol.
  const char16_t stored[] = u"A B CDEFGHI";
  std::memset(bytes, 0, 20);
  for (int i = 0; i < 9; ++i) PrefBytes::PutU16(bytes + 2 * i, stored[i]);
  CLXASF back;
  CPrefStoredForm<CLXASF>::Get(bytes, back);
  EXPECT_EQ(back.m_note.GetLength(), 80);
  EXPECT_STREQ(back.m_symbol, L"ABCDEFG");
}
