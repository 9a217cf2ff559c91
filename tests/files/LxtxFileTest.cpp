#include "QLLXTXFile.h"

#include "SpaceGroups.h"
#include "StructureTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace filestest;

namespace {
struct Read {
  bool ok = false;
  uint32_t warnings = 0;
  CQLPatternList list;
  const CQLCrystal& crystal() const { return FirstCrystal(list); }
};

Read ReadLxtx(const std::string& text) {
  static int n = 0;
  const std::string path = WriteScratch("read" + std::to_string(++n) + ".lxtx", text);
  Read r;
  CQLLXTXFile file;
  EXPECT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite));
  r.ok = file.ReadFile(&r.list, nullptr, nullptr);
  r.warnings = file.WarningCount();
  return r;
}

const std::string kCell = "CELL  5 6 7 90 90 90\n";
const std::string kP1 = "SYMM  x,y,z\n";

const double kTwoPiSquared = 2.0 * std::acos(-1.0) * std::acos(-1.0);
}  // namespace

TEST(Lxtx, ReadsCardsAtomLinesAndOccupancies) {
  const Read r = ReadLxtx("TITL  test\n   " + kCell + "cell 9 9 9 90 90 90\n" + kP1 +
                          "END\n"
                          "Si 1 0.1 0.2 0.3\n"
                          "  Fe 12 0.4 0.5 0.6\n"
                          "O 0.5 0.5 0.5\n"
                          "Co LongLabel123 0.7 0.7 0.7\n"
                          "! a comment\n"
                          "OCCU\n"
                          "12 Fe 0.5 Co 0.5\n"
                          "UISO\n"
                          "LongLabel123 0.02\n"
                          "Si1 0.01\n");
  ASSERT_TRUE(r.ok);
  const CQLCrystal& c = r.crystal();
  EXPECT_DOUBLE_EQ(c.m_a, 5);  // the lower-case card is no card
  ASSERT_EQ(c.m_sites.size(), 4u);
  const CQLSite* fe = FindSite(c, L"Fe12");  // the whole number, not Fe1
  ASSERT_NE(fe, nullptr);
  ASSERT_EQ(fe->m_species.size(), 2u);
  EXPECT_DOUBLE_EQ(fe->m_species[0].m_occupancy + fe->m_species[1].m_occupancy, 1.0);
  ASSERT_NE(FindSite(c, L"O"), nullptr);
  // Records name a site by the label of its atom line or by the label it was given, at any length.
  const CQLSite* longLabel = FindSite(c, L"LongLabel123");
  ASSERT_NE(longLabel, nullptr);
  ASSERT_NE(longLabel->m_displacement, nullptr);
  EXPECT_FLOAT_EQ(longLabel->m_displacement->m_u, 0.02f);  // numbers are read in single precision
  ASSERT_NE(FindSite(c, L"Si1")->m_displacement, nullptr);
  EXPECT_TRUE(c.m_hasDisplacements);
}

TEST(Lxtx, RefusesWhatCannotBeRead) {
  const std::string atom = "ATOM\nSi Si1 0 0 0\n";
  for (const std::string& text : {
           "titl  x\n" + kCell + atom,                       // lower-case title card
           "CELL  5 6 7 90 90\n" + atom,                     // five numbers
           kCell + "LATC  Q\n" + atom,                       // no lattice letter
           kCell + "SPGR\n" + atom,                          // empty symbol
           kCell + "OSHF  0 0\n" + atom,                     // two fields
           kCell + "SYMM  x,y\n" + atom,                     // no operator
           kCell + "MOLE\n" + atom,                          // a molecule
           kCell + kP1,                                      // no site
           kCell + atom + "OCCU\nSi2 Si 1.0\n",              // a site that is not there
           kCell + atom + "OCCU\nSi1 Si -0.2\n",             // occupancy below 0
           kCell + atom + "OCCU\nSi1 Si nan\n",              // occupancy that is no number
           "CELL  5 6 1e39 90 90 90\n" + atom,              // a length beyond single precision
           kCell + atom + "OCCU\nSi1 Si 0.5 Al\n",           // element without occupancy
           "SYMM  x,y,z\nUANI\nSi1 1 1 1 0 0 0\n" + atom,   // tensor before any cell
       }) {
    EXPECT_FALSE(ReadLxtx(text).ok) << text;
  }
}

// A session refuses a cell no editor takes; the text reader took it, and the structure saved in a
// session did not come back from it.
TEST(Lxtx, ACellNoEditorTakesRefusesTheStructureByName) {
  const std::string atom = "SYMM  x,y,z\nATOM\nSi Si1 0 0 0\n";
  const struct {
    const char* cell;
    bool read;
  } cases[] = {
      {"CELL  5 15000 7 90 90 90\n", false}, {"CELL  5 6 7 90 90 0.5\n", false},
      {"CELL  5 6 7 179.5 90 90\n", false}, {"CELL  0.00005 6 7 90 90 90\n", false},
      {"CELL  5 10000 7 90 90 90\n", true},  {"CELL  5 6 7 90 179 90\n", true},
  };
  for (const auto& c : cases) {
    // Read as the file of its extension: the recogniser wants a plausible cell, which some of these lack.
    const std::string path = WriteScratch("odd-cell.lxtx", std::string(c.cell) + atom);
    CQLLXTXFile file;
    ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite));
    CQLPatternList list;
    testing::internal::CaptureStderr();
    EXPECT_EQ(file.ReadFile(&list, nullptr, nullptr), c.read) << c.cell;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(list.size(), c.read ? 1u : 0u) << c.cell;
    EXPECT_EQ(err.find("The unit cell of odd-cell is out of range") != std::string::npos, !c.read) << c.cell << err;
    EXPECT_EQ(err.find("out of range"), err.rfind("out of range")) << c.cell << err;  // one alert only
  }
}

TEST(Lxtx, BadRecordsLoseOnlyThemselves) {
  const Read r = ReadLxtx(kCell + kP1 +
                          "ATOM\nSi A 0 0 0\nSi B 0.5 0.5 0.5\nFe Fe3 0.25 0.25 0.25\nO O1 0.1 0.2\n    \n"
                          "OCCU\nFe3\n"
                          "UANI\nA 0.01 0.02 0.03 0.001\nB 0.01 0.02 0.03 0.001 0.002 0.003\n"
                          "UISO\nFe3\nFe3 nan\nB 1e39\n");
  ASSERT_TRUE(r.ok);
  const CQLCrystal& c = r.crystal();
  EXPECT_EQ(r.warnings, 6u);  // the blank line is no record
  EXPECT_EQ(c.m_sites.size(), 3u);  // the line cut short is warned of
  EXPECT_EQ(FindSite(c, L"A")->m_displacement, nullptr);
  EXPECT_NE(dynamic_cast<const CQLAnisoThermalEllipsoid*>(FindSite(c, L"B")->m_displacement.get()), nullptr);
  const CQLSite* iron = FindSite(c, L"Fe3");
  EXPECT_EQ(iron->m_displacement, nullptr);
  ASSERT_EQ(iron->m_species.size(), 1u);  // a label alone keeps the atom line's species
  EXPECT_EQ(iron->m_species[0].m_name, L"Fe");
}

TEST(Lxtx, TensorOrderIs11_22_33_12_13_23BothWays) {
  const Read r = ReadLxtx(kCell + kP1 + "ATOM\nSi A 0.1 0.2 0.3\nUANI\nA 0.01 0.02 0.03 0.001 0.002 0.003\n");
  ASSERT_TRUE(r.ok);
  const CQLCrystal& c = r.crystal();
  const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(c.m_sites.at(0).m_displacement.get());
  ASSERT_NE(aniso, nullptr);
  // β = 2π² a*_i a*_j U_ij, with a* = 1/a in an orthogonal cell.
  const double u[9] = {0.01, 0.001, 0.002, 0.001, 0.02, 0.003, 0.002, 0.003, 0.03};
  const double star[3] = {1 / 5.0, 1 / 6.0, 1 / 7.0};
  for (int i = 0; i < 9; ++i)
    EXPECT_NEAR(aniso->m_beta[i], kTwoPiSquared * star[i / 3] * star[i % 3] * u[i], 1e-6 * aniso->m_beta[i]) << i;
  const std::string path = qlwtest::ScratchDir() + "/tensor.lxtx";
  ASSERT_TRUE(WriteStructure(path, kFileTypeLXTX, r.list.front()));
  EXPECT_NE(Slurp(path).find("\nUANI\nA       0.010000 0.020000 0.030000 0.001000 0.002000 0.003000\n"), std::string::npos)
      << Slurp(path);
}

TEST(Lxtx, WrittenAndReadAgainKeepsGroupSettingAndSites) {
  struct Case {
    const wchar_t* symbol;
    int originChoice;
    double gamma;
    QLPosition site;
    size_t positions;
  } cases[] = {
      {L"C 1 2/c 1", 0, 90, {0.1, 0.2, 0.3}, 8},
      {L"F d -3 m", 2, 90, {0.125, 0.125, 0.125}, 8},  // origin 1 would give 16
      {L"R -3 c", 0, 120, {0, 0, 0.35}, 12},
      {L"P 1", 0, 90, {0.1, 0.2, 0.3}, 1},
  };
  for (const Case& k : cases) {
    const double a = k.gamma == 120 ? 4.76 : 8.05;
    auto pattern = MakeCrystal(a, a, k.gamma == 120 ? 13 : a, 90, 90, k.gamma, k.symbol, k.originChoice);
    CQLCrystal& c = *pattern->GetCrystal();
    AddSite(c, L"Al 1", L"Al", k.site[0], k.site[1], k.site[2], 0.75).m_species.emplace_back(L"Mg", 0.25);
    c.ExpandSitesBySymmetry();
    ASSERT_EQ(c.m_sites[0].m_positions.size(), k.positions) << qlw::ToUtf8(k.symbol);
    const std::string path = qlwtest::ScratchDir() + "/group.lxtx";
    ASSERT_TRUE(WriteStructure(path, kFileTypeLXTX, pattern));
    EXPECT_EQ(IdentifyFileType(Wide(path).c_str(), true), kFileTypeLXTX);
    const std::string text = Slurp(path);
    EXPECT_NE(text.find("\nNOTE\nData generated by Quillonographic "), std::string::npos) << text;
    EXPECT_NE(text.find(" for Linux\n"), std::string::npos) << text;
    CQLPatternList list;
    ASSERT_TRUE(ReadStructures(path, list)) << qlw::ToUtf8(k.symbol);
    const CQLCrystal& back = FirstCrystal(list);
    const int row = FindSpaceGroupIndex(k.symbol, k.originChoice), backRow = FindSpaceGroupIndex(back.m_spaceGroupSymbol);
    ASSERT_GE(backRow, 0) << qlw::ToUtf8(back.m_spaceGroupSymbol.GetString());
    EXPECT_EQ(g_SpaceGroupTable[backRow].number, g_SpaceGroupTable[row].number) << qlw::ToUtf8(k.symbol);
    EXPECT_EQ(back.m_originChoice, k.originChoice) << qlw::ToUtf8(k.symbol);
    ASSERT_EQ(back.m_sites.size(), 1u);
    EXPECT_EQ(back.m_sites[0].m_label, L"Al_1");
    EXPECT_EQ(back.m_sites[0].m_species.size(), 2u);
    EXPECT_EQ(back.m_sites[0].m_positions.size(), k.positions) << qlw::ToUtf8(k.symbol);
  }
}

TEST(Lxtx, UnsetLatticeLetterIsWrittenAsTheGroupsLetter) {
  auto pattern = MakeCrystal(4, 4, 4, 90, 90, 90, L"F m -3 m");
  CQLCrystal& c = *pattern->GetCrystal();
  AddSite(c, L"Cu", L"Cu", 0, 0, 0);
  c.InstallOperatorsFromSymbol();
  c.m_latticeLetter = 0;
  const std::string path = qlwtest::ScratchDir() + "/unset.lxtx";
  ASSERT_TRUE(WriteStructure(path, kFileTypeLXTX, pattern));
  const std::string text = Slurp(path);
  EXPECT_EQ(text.find('\0'), std::string::npos);
  EXPECT_NE(text.find("\nLATC  F\n"), std::string::npos);
  CQLPatternList list;
  ASSERT_TRUE(ReadStructures(path, list));
  EXPECT_EQ(FirstCrystal(list).m_sites.at(0).m_positions.size(), 4u);
}

TEST(Lxtx, OriginOffsetWrittenOnlyWhenNotZero) {
  for (double z : {1e-13, 0.25}) {
    auto pattern = MakeCrystal(5, 5, 5, 90, 90, 90, L"P 1");
    AddSite(*pattern->GetCrystal(), L"O1", L"O", 0.1, 0.1, 0.1);
    pattern->GetCrystal()->m_originShift = {0, 0, z};
    const std::string path = qlwtest::ScratchDir() + "/shift.lxtx";
    ASSERT_TRUE(WriteStructure(path, kFileTypeLXTX, pattern));
    const bool written = Slurp(path).find("\nOSHF  0.000000 0.000000 0.250000\n") != std::string::npos;
    EXPECT_EQ(written, z == 0.25);
    EXPECT_EQ(Slurp(path).find("OSHF") != std::string::npos, z == 0.25);
  }
}

TEST(Lxtx, RecogniserTest) {
  const std::string atoms = "ATOM\nSi Si1 0.1 0.2 0.3\n";
  const struct {
    std::string text;
    bool accepted;
  } cases[] = {
      {kCell + atoms, true},
      {"CELL  5 6 7 90 90 90 1\n" + kCell + atoms, true},  // seven numbers neither help nor harm
      {"CELL  5 6 7 90 90 90 1\n" + atoms, false},
      {kCell + "SFAC Si\n" + atoms, false},
      {kCell + "UNIT 4\n" + atoms, false},
      {kCell + "ATOM\nSi Si1 3.5 0.2 0.3\n", false},  // a coordinate out of range
      {"MOLE\n", true},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = WriteScratch("sniff" + std::to_string(++n) + ".dat", c.text);
    uint32_t type = 99;
    EXPECT_EQ(CQLLXTXFile::TestFile(Wide(path).c_str(), type), c.accepted) << c.text;
    EXPECT_EQ(type, c.accepted ? 3u : 0u);
  }
  // A file the test accepts for its molecule card is then refused by the reader.
  const std::string path = WriteScratch("molecule.lxtx", "MOLE\n" + kCell + atoms);
  CQLPatternList list;
  EXPECT_FALSE(ReadStructures(path, list));
  EXPECT_TRUE(list.empty());
}

TEST(Lxtx, LabelsThatLookLikeCardsOrCommentsKeepTheirRecords) {
  auto pattern = MakeCrystal(5, 6, 7, 90, 90, 90, L"P 1");
  CQLCrystal& c = *pattern->GetCrystal();
  const wchar_t* labels[] = {L"!x", L"*y", L"//z", L"ABCD", L"TITL"};
  double x = 0;
  for (const wchar_t* label : labels) {
    CQLSite& site = AddSite(c, label, L"Fe", x += 0.1, 0.2, 0.3, 0.5);
    site.m_species.emplace_back(L"Co", 0.25);
    site.m_displacement = std::make_unique<CQLThermalEllipsoid>(x / 10);
  }
  const std::string path = qlwtest::ScratchDir() + "/cardlike.lxtx";
  ASSERT_TRUE(WriteStructure(path, kFileTypeLXTX, pattern));
  CQLPatternList list;
  ASSERT_TRUE(ReadStructures(path, list));
  const CQLCrystal& back = FirstCrystal(list);
  ASSERT_EQ(back.m_sites.size(), std::size(labels));
  x = 0;
  for (const wchar_t* label : labels) {
    const CQLSite* site = FindSite(back, label);
    ASSERT_NE(site, nullptr) << qlw::ToUtf8(label);
    EXPECT_EQ(site->m_species.size(), 2u) << qlw::ToUtf8(label);
    ASSERT_NE(site->m_displacement, nullptr) << qlw::ToUtf8(label);
    EXPECT_FLOAT_EQ(site->m_displacement->m_u, static_cast<float>((x += 0.1) / 10)) << qlw::ToUtf8(label);
  }
}

TEST(Lxtx, AnOccupancyAboveOneIsTakenAsAFullSiteAndNamed) {
  const std::string atoms = kCell + kP1 + "ATOM\nSi Si1 0 0 0\nO O2 0.5 0.5 0.5\nOCCU\nO2 O 0.75\n";
  CLXLogCapture log(false);
  const Read r = ReadLxtx(atoms + "Si1 Si 1.2\n");
  ASSERT_TRUE(r.ok);
  EXPECT_DOUBLE_EQ(FindSite(r.crystal(), L"Si1")->m_species.at(0).m_occupancy, 1.0);
  EXPECT_FLOAT_EQ(FindSite(r.crystal(), L"O2")->m_species.at(0).m_occupancy, 0.75f);
  const std::vector<CString> warnings = log.GetWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(std::wstring(warnings[0].GetString()).find(L"'Si1'"), std::wstring::npos) << warnings[0].ToUtf8();
  EXPECT_EQ(r.warnings, 1u);
  // One rounded is one.
  const Read rounded = ReadLxtx(atoms + "Si1 Si 1.00005\n");
  ASSERT_TRUE(rounded.ok);
  EXPECT_EQ(rounded.warnings, 0u);
}

TEST(Lxtx, SitesBesideASpecialPositionAreOneAtomWithinTheRoundingOfTheirDecimals) {
  const std::string cell = "CELL  23 23 20 90 90 120\nSPGR  P 63/m m c\nATOM\n";
  struct Case {
    const char* line;
    size_t positions;
  } cases[] = {
      {"Mg Mg1 0.333 0.667 0.25", 2},    // images up to 0.027 Å apart, within what three decimals explain
      {"Mg 0.333 0.667 0.25", 2},        // without a label
      {"Mg Mg1 0.3330 0.6670 0.25", 6},  // four decimals say the site is off the axis
      {"Mg Mg1 0.333333 0.666667 0.25", 2},
  };
  for (const Case& c : cases) {
    const Read r = ReadLxtx(cell + c.line + "\n");
    ASSERT_TRUE(r.ok) << c.line;
    EXPECT_EQ(r.crystal().m_sites.at(0).m_positions.size(), c.positions) << c.line;
    EXPECT_EQ(r.warnings, 0u) << c.line;
  }
  // A half-occupied site on a mirror of a cell of 19 Å, its two images 0.019 Å apart: one atom at
  // occupancy 0.5, said by name; the full site beside it is no news.
  CLXLogCapture log(false);
  const Read r = ReadLxtx("CELL  19 5 5 90 90 90\nSPGR  P m m m\nATOM\nFe Fe1 0.0005 0 0\nCo Co2 0.0005 0.5 0.5\n"
                          "OCCU\nFe1 Fe 0.5\n");
  ASSERT_TRUE(r.ok);
  for (const CQLSite& site : r.crystal().m_sites) EXPECT_EQ(site.m_positions.size(), 1u) << site.m_label.ToUtf8();
  const std::vector<CString> warnings = log.GetWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(std::wstring(warnings[0].GetString()).find(L"'Fe1'"), std::wstring::npos) << warnings[0].ToUtf8();
}
