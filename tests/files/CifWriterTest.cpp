#include "QLCIFFile.h"

#include "StructureTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace filestest;

namespace {
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t Count(const std::vector<std::string>& lines, const std::string& prefix) {
  size_t n = 0;
  for (const std::string& l : lines) n += l.compare(0, prefix.size(), prefix) == 0;
  return n;
}
}  // namespace

TEST(CifWriter, LaysOutBlockCellAndRows) {
  auto pattern = MakeCrystal(4.9134, 4.9134, 5.4052, 90, 90, 120, L"P 31 2 1");
  CQLCrystal& c = *pattern->GetCrystal();
  AddSite(c, L"Si1", L"Si", 0.4697, 0, 0).m_displacement = std::make_unique<CQLThermalEllipsoid>(0.0066);
  AddSite(c, L"O1", L"O", 0.4135, 0.2669, 0.1191);
  CQLSite& mixed = AddSite(c, L"M 2", L"Fe", 0.1, 0.2, 0.3, 0.5);
  mixed.m_species.emplace_back(L"Mg", 0.5);
  const std::string path = qlwtest::ScratchDir() + "/My Quartz.cif";
  ASSERT_TRUE(WriteStructure(path, kFileTypeCIF, pattern));
  const std::vector<std::string> lines = Lines(Slurp(path));
  ASSERT_GT(lines.size(), 20u);
  EXPECT_EQ(lines[0], "data_My_Quartz");
  EXPECT_EQ(lines[2], "_cell_length_a" + std::string(15, ' ') + "    4.9134");
  EXPECT_EQ(lines[9], "_symmetry_space_group_name_H-M     'P 31 2 1'");
  // The six operators of the group, then one row per element on a site; a site without displacement has ".".
  EXPECT_EQ(Count(lines, "  '"), 6u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), " Si1  Si 1.0000  0.4697  0.0000  0.0000  0.0066"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), " O1  O 1.0000  0.4135  0.2669  0.1191  ."), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), " M_2  Fe 0.5000  0.1000  0.2000  0.3000  ."), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), " M_2  Mg 0.5000  0.1000  0.2000  0.3000  ."), lines.end());
  EXPECT_EQ(Count(lines, "_atom_site_aniso_label"), 0u);

  // Read back, the sites without displacement have none, quietly; the others keep theirs.
  CQLPatternList list;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(ReadStructures(path, list));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const CQLCrystal& back = FirstCrystal(list);
  const CQLSite* si = FindSite(back, L"Si1");
  const CQLSite* o = FindSite(back, L"O1");
  ASSERT_TRUE(si && o);
  ASSERT_TRUE(si->m_displacement);
  EXPECT_NEAR(si->m_displacement->m_u, 0.0066, 1e-9);
  EXPECT_FALSE(o->m_displacement);
}

TEST(CifWriter, QuotesWhatCifSyntaxWouldMisread) {
  const struct {
    const char* text;
    const char* written;
  } cases[] = {
      {"O1", "O1"},           {"O1'", "O1'"},          {"_O1", "'_O1'"},      {"#1", "'#1'"},
      {"$a", "'$a'"},         {"'a", "\"'a\""},        {";a", "';a'"},        {"[a]", "'[a]'"},
      {"data_x", "'data_x'"}, {"LOOP_", "'LOOP_'"},    {"global_", "'global_'"}, {"?", "'?'"},
      {".", "'.'"},           {"O 1", "'O 1'"},        {"", "''"},            {"a' \"b\" c", "\n;a' \"b\" c\n;\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(CifValueText(c.text, false), c.written) << c.text;
  EXPECT_EQ(CifValueText("P 1", true), "'P 1'");
}

TEST(CifWriter, LabelsThatNeedQuotingReadBackAsTheyWere) {
  auto pattern = MakeCrystal(5.1, 6.2, 7.3, 90, 101.5, 90, L"C 1 2/c 1");
  CQLCrystal& c = *pattern->GetCrystal();
  const wchar_t* labels[] = {L"_O1", L"#Si", L"$Al", L"'Mg", L";Ca", L"data_x", L"?", L"loop_"};
  double x = 0.05;
  for (const wchar_t* label : labels) AddSite(c, label, L"O", x += 0.04, 0.1, 0.2);
  const std::string path = qlwtest::ScratchDir() + "/labels.cif";
  ASSERT_TRUE(WriteStructure(path, kFileTypeCIF, pattern));
  CQLPatternList list;
  ASSERT_TRUE(ReadStructures(path, list));
  const CQLCrystal& back = FirstCrystal(list);
  ASSERT_EQ(back.m_sites.size(), std::size(labels));
  x = 0.05;
  for (const wchar_t* label : labels) {
    const CQLSite* site = FindSite(back, label);
    ASSERT_NE(site, nullptr) << qlw::ToUtf8(label);
    EXPECT_NEAR(site->m_x, x += 0.04, 1e-6) << qlw::ToUtf8(label);
    EXPECT_EQ(site->m_positions.size(), 8u) << qlw::ToUtf8(label);
  }
}

TEST(CifWriter, OperatorsAndSuffixKeepTheOriginChoice) {
  // Fd-3m in origin choice 2 puts 8a at 1/8: 8 positions; origin 1 would give 16.
  auto pattern = MakeCrystal(8.0485, 8.0485, 8.0485, 90, 90, 90, L"F d -3 m", 2);
  AddSite(*pattern->GetCrystal(), L"Ni", L"Ni", 0.125, 0.125, 0.125);
  const std::string path = qlwtest::ScratchDir() + "/spinel.cif";
  ASSERT_TRUE(WriteStructure(path, kFileTypeCIF, pattern));
  const std::vector<std::string> lines = Lines(Slurp(path));
  EXPECT_EQ(lines[9], "_symmetry_space_group_name_H-M     'F d -3 m :2'");
  EXPECT_EQ(Count(lines, "  '"), 192u);  // 48 operators and the F centring, each once
  CQLPatternList list;
  ASSERT_TRUE(ReadStructures(path, list));
  const CQLCrystal& back = FirstCrystal(list);
  ASSERT_EQ(back.m_sites.size(), 1u);
  EXPECT_EQ(back.m_sites[0].m_positions.size(), 8u);
  EXPECT_EQ(back.m_originChoice, 2);
}

TEST(CifWriter, MixedSiteWithTensorReadsBackAsOneSite) {
  auto pattern = MakeCrystal(5, 6, 7, 90, 90, 90, L"P 1");
  CQLCrystal& c = *pattern->GetCrystal();
  CQLSite& m = AddSite(c, L"M1", L"Fe", 0.1, 0.2, 0.3, 0.6);
  m.m_species.emplace_back(L"Mg", 0.4);
  const double u[9] = {0.011, 0.004, 0.005, 0.004, 0.022, 0.006, 0.005, 0.006, 0.033};
  const CQLAnisoThermalEllipsoid original(u, c.m_aStar, c.m_bStar, c.m_cStar);
  m.m_displacement = original.Clone();
  AddSite(c, L"O1", L"O", 0.5, 0.5, 0.5);
  const std::string path = qlwtest::ScratchDir() + "/mixed.cif";
  ASSERT_TRUE(WriteStructure(path, kFileTypeCIF, pattern));
  CQLPatternList list;
  ASSERT_TRUE(ReadStructures(path, list));
  const CQLCrystal& back = FirstCrystal(list);
  ASSERT_EQ(back.m_sites.size(), 2u);
  const CQLSite* site = FindSite(back, L"M1");
  ASSERT_NE(site, nullptr);
  ASSERT_EQ(site->m_species.size(), 2u);
  const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(site->m_displacement.get());
  ASSERT_NE(aniso, nullptr);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(aniso->m_beta[i], original.m_beta[i], 1e-7 * std::fabs(original.m_beta[i])) << i;
}

TEST(CifWriter, RefusesASourceWithoutCrystal) {
  CQLCIFFile file;
  const std::string path = qlwtest::ScratchDir() + "/nothing.cif";
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeCreate | CLXFile::modeWrite));
  CQLPatternList empty;
  EXPECT_FALSE(file.WriteFile(&empty, nullptr, nullptr));
}
