#include "QLCIFFile.h"

#include "FilesTestUtil.h"
#include "StructureTestUtil.h"
#include "LXUtils.h"
#include "QLCrystal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <map>

using filestest::Wide;
using filestest::WriteScratch;

namespace {
// Reads every structure block and lets the reader's errors through, unlike ReadFile.
struct CifReader : CQLCIFFile {
  CQLPatternList ReadAll() {
    CQLPatternList list;
    m_readTarget = &list;
    IndexBlocks();
    for (uint32_t i = 0; i < GetBlockCount(false); ++i) ReadBlock(i);
    m_readTarget = nullptr;
    return list;
  }
};

CQLPatternList ReadText(const std::string& name, const std::string& text, CifReader& reader) {
  const std::string path = WriteScratch(name, text);
  EXPECT_TRUE(reader.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite));
  return reader.ReadAll();
}

CQLPatternList ReadText(const std::string& name, const std::string& text) {
  CifReader reader;
  return ReadText(name, text, reader);
}

const CQLCrystal& Crystal(const CQLPatternList& list, size_t i = 0) {
  auto it = list.begin();
  std::advance(it, i);
  return *(*it)->GetCrystal();
}

std::vector<std::wstring> Labels(const CQLCrystal& c) {
  std::vector<std::wstring> labels;
  for (const auto& s : c.m_sites) labels.push_back(s.m_label.GetString());
  return labels;
}

const std::string kCubicCell =
    "_cell_length_a 5.0\n_cell_length_b 5.0\n_cell_length_c 5.0\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
    "_symmetry_space_group_name_H-M 'P 1'\n";
}  // namespace

TEST(Cif, ParsesNumbersWithStandardUncertainties) {
  struct Case {
    const char* text;
    bool ok;
    double value, su;
    bool hasSU;
  } cases[] = {
      {"5.4307(2)", true, 5.4307f, 0.0002f, true}, {"1.2E3(4)", true, 1200, 400, true},
      {"0.25", true, 0.25, 0, false},             {"-1.5e-2", true, static_cast<float>(-1.5f * (1.0f / 100.0f)), 0, false},
      {"12(3)", true, 12, 3, true},               {"abc", false, -DBL_MAX, 0, false},
      {"", false, -DBL_MAX, 0, false},
      // Exponents far beyond single precision stay defined: infinite or zero, never garbage.
      {"1e99999999999999999999", true, HUGE_VAL, 0, false},  {"1e-99999999999999999999", true, 0, 0, false},
      {"0e99999999999999999999", true, 0, 0, false},
  };
  for (const auto& c : cases) {
    double v, su;
    bool hasSU;
    EXPECT_EQ(CQLCIFFile::ParseNumberWithSU(c.text, v, su, hasSU), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    EXPECT_NEAR(su, c.su, 1e-9 + 1e-6 * c.su) << c.text;
    EXPECT_EQ(hasSU, c.hasSU) << c.text;
  }
}

TEST(Cif, PlainDecimalsReadBitForBitAsStrtofReadsThem) {
  std::vector<std::string> texts = {"0.25", "-0", "-0.0", ".5", "5.", "007.50", "0.1000000000000000055511151231257827",
                                    "340282356779733661637539395458142568448",
                                    "999999999999999999999999999999999999999999", "0.0000000000000000000000000000000000000000000014",
                                    "0.00000000000000000000000000000000000000000000000001", "16777217", "1.00000005960464477539",
                                    "1.0000000596046447753906250001"};  // just past a tie: rounds up
  uint32_t state = 99;
  for (int n = 0; n < 20000; ++n) {
    std::string text = (n % 3 == 0) ? "-" : "";
    for (int i = 0; i < 1 + n % 12; ++i) {
      state = state * 1103515245u + 12345u;
      text += static_cast<char>('0' + (state >> 16) % 10);
      if (i == n % 5) text += '.';
    }
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    char* end = nullptr;
    const float expected = strtof_l(text.c_str(), &end, qlw::CNumericLocale());
    float got = -1;
    // Out of single precision's range the long way reads it (to infinity or zero).
    if (!ReadPlainDecimal(text, got)) {
      EXPECT_TRUE(std::isinf(expected) || expected == 0.0f || std::fpclassify(expected) == FP_SUBNORMAL) << text;
      continue;
    }
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
  }
  // Anything else is left to the long way.
  for (const char* text : {"", "-", ".", "1.2.3", "1e5", "+1", " 1", "1 ", "12(3)", "inf", "nan", "0x10", "1,5"}) {
    float got = 0;
    EXPECT_FALSE(ReadPlainDecimal(text, got)) << text;
  }
}

TEST(Cif, CellLengthsInAllUnitsAndUnreadableAngles) {
  const auto list = ReadText("cell.cif",
                             "data_cell\n_cell_length_a_pm 543.07\n_cell_length_b 6.1\n_cell_length_c_nm 0.5\n"
                             "_cell_angle_alpha 80\n_cell_angle_gamma abc\n"
                             "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                             "Na1 0 0 0\n");
  ASSERT_EQ(list.size(), 1u);
  const CQLCrystal& c = Crystal(list);
  EXPECT_NEAR(c.m_a, 5.4307, 1e-6);
  EXPECT_NEAR(c.m_b, 6.1, 1e-6);
  EXPECT_NEAR(c.m_c, 5.0, 1e-6);
  EXPECT_NEAR(c.m_alpha, 80, 1e-9);
  EXPECT_EQ(c.m_beta, 90.0);  // an angle the file leaves out is a right angle
  EXPECT_EQ(c.m_gamma, 90.0);
}

// "_cell_length_a ?" read as 8 Å, "." as 10 Å and a missing b as 9 Å, and a whole list was
// computed from the made-up cell without a word.
TEST(Cif, ACellLengthOrAngleTheFileDoesNotGiveIsAnErrorNamingIt) {
  const std::string atoms =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nNa1 0 0 0\n";
  const struct {
    const char* cell;
    const char* item;  // the item named, or null when the cell is read
  } cases[] = {
      {"_cell_length_a ?\n_cell_length_b 5\n_cell_length_c 5\n", "_cell_length_a"},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c .\n", "_cell_length_c"},
      {"_cell_length_a 5\n_cell_length_c 5\n", "_cell_length_b"},
      {"_cell_length_b 5\n_cell_length_c 5\n", "_cell_length_a"},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c_nm ?\n", "_cell_length_c_nm"},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_Cell_Angle_Beta ?\n", "_Cell_Angle_Beta"},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_gamma .\n", "_cell_angle_gamma"},
      {"loop_\n_cell_length_a\n_cell_length_b\n_cell_length_c\n5 ? 5\n", "_cell_length_b"},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n", nullptr},
  };
  for (const auto& c : cases) {
    const std::string path = WriteScratch("unknown-cell.cif", std::string("data_x\n") + c.cell + atoms);
    CQLPatternList list;
    testing::internal::CaptureStderr();
    EXPECT_EQ(filestest::ReadStructures(path, list), c.item == nullptr) << c.cell;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(list.size(), c.item ? 0u : 1u) << c.cell;
    if (c.item) {
      EXPECT_NE(err.find("The unit cell cannot be built"), std::string::npos) << c.cell << err;
      EXPECT_NE(err.find(std::string("'") + c.item + "'"), std::string::npos) << c.cell << err;
    }
  }
}

// The session readers refuse a cell no editor takes; the CIF reader took it, and a structure saved
// in a session did not come back from it. The file's other blocks are read on.
TEST(Cif, ACellNoEditorTakesLeavesItsBlockOutByName) {
  const std::string rest = "_symmetry_space_group_name_H-M 'P 1'\n"
                           "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                           "Na1 0 0 0\n";
  const struct {
    const char* cell;
    bool read;
  } cases[] = {
      {"_cell_length_a 5\n_cell_length_b 15000\n_cell_length_c 5\n", false},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_gamma 0.5\n", false},
      {"_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 179.5\n", false},
      {"_cell_length_a_pm 0.005\n_cell_length_b 5\n_cell_length_c 5\n", false},
      {"_cell_length_a 5\n_cell_length_b 1.5e4\n_cell_length_c 5\n", false},
      {"_cell_length_a 5\n_cell_length_b 10000\n_cell_length_c 5\n", true},
      {"_cell_length_a 0.0001\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_beta 1\n", true},
  };
  for (const auto& c : cases) {
    const std::string odd = std::string("data_odd\n") + c.cell + rest;
    const std::string good = "data_good\n" + kCubicCell + rest;
    for (const bool alone : {true, false}) {
      const std::string path = WriteScratch("cells.cif", alone ? odd : odd + good);
      CQLPatternList list;
      testing::internal::CaptureStderr();
      EXPECT_EQ(filestest::ReadStructures(path, list), c.read || !alone) << c.cell;
      const std::string err = testing::internal::GetCapturedStderr();
      std::vector<std::wstring> titles;
      for (const CQLPatternPtr& p : list) titles.push_back(p->m_title.GetString());
      std::vector<std::wstring> expected;
      if (c.read) expected.push_back(L"odd");
      if (!alone) expected.push_back(L"good");
      EXPECT_EQ(titles, expected) << c.cell;
      EXPECT_EQ(err.find("The unit cell of odd is out of range") != std::string::npos, !c.read) << c.cell << err;
      EXPECT_EQ(err.find("out of range"), err.rfind("out of range")) << c.cell << err;  // one alert only
    }
  }
}

TEST(Cif, UnreadableCellLengthIsAnErrorNamingItemAndValue) {
  try {
    ReadText("badcell.cif", "data_x\n_cell_length_b xyz\n");
    FAIL() << "no error";
  } catch (const CLXXFileCIFReadError& e) {
    EXPECT_NE(std::wstring(e.GetExplanation().GetString()).find(L"xyz"), std::wstring::npos);
    EXPECT_NE(std::wstring(e.GetExplanation().GetString()).find(L"_cell_length_b"), std::wstring::npos);
  }
}

TEST(Cif, MalformedLoopsAreSyntaxErrors) {
  // A ragged loop, and a loop without item names, which must end rather than spin.
  EXPECT_THROW(ReadText("ragged.cif", "data_x\n" + kCubicCell + "loop_\n_a\n_b\n_c\n1 2 3\n4 5 6\n7\n"),
               CLXXFileCIFInvalidLoop);
  EXPECT_THROW(ReadText("nonames.cif", "data_x\n" + kCubicCell + "loop_\n1 2 3\n"), CLXXFileCIFInvalidLoop);
  EXPECT_THROW(ReadText("stray.cif", "data_x\n" + kCubicCell + "lattice\n"), CLXXFileCIFUnexpectedItem);
}

TEST(Cif, AnisotropicRowsMergeByWholeLabel) {
  const auto list = ReadText(
      "aniso.cif",
      "data_x\n" + kCubicCell +
          "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
          "O10 O 0.1 0.1 0.1\nO1 O 0.3 0.3 0.3\n"
          "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n_atom_site_aniso_U_33\n"
          "_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n"
          "O1 0.01 0.02 0.03 0 0 0\nO3 0.01 0.01 0.01 0 0 0\n");
  const CQLCrystal& c = Crystal(list);
  ASSERT_EQ(Labels(c), (std::vector<std::wstring>{L"O1", L"O10"}));
  // O1 carries the tensor; O10 has none; O3 had no coordinates and was left out.
  EXPECT_NE(dynamic_cast<const CQLAnisoThermalEllipsoid*>(c.m_sites[0].m_displacement.get()), nullptr);
  EXPECT_NEAR(c.m_sites[0].m_x, 0.3, 1e-6);
  EXPECT_EQ(c.m_sites[1].m_displacement, nullptr);
  EXPECT_TRUE(c.m_hasDisplacements);
}

TEST(Cif, AnisotropicBTensorGivesTheSameTensorAsU) {
  const double k = 8 * std::acos(-1.0) * std::acos(-1.0);
  const double u[6] = {0.011, 0.012, 0.013, 0.002, -0.003, 0.004};  // 11 22 33 12 13 23
  std::string loops[2];
  for (int useB = 0; useB < 2; ++useB) {
    const char* letter = useB ? "B" : "U";
    std::string names = "loop_\n_atom_site_aniso_label\n", row = "Fe1";
    for (const char* ij : {"11", "22", "33", "12", "13", "23"}) names += std::string("_atom_site_aniso_") + letter + "_" + ij + "\n";
    for (double v : u) row.append(" ").append(std::to_string(useB ? v * k : v));
    loops[useB] = names + row + "\n";
  }
  const std::string atoms =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nFe1 0.1 0.2 0.3\n";
  const std::string cell = "data_x\n_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 80\n"
                           "_cell_angle_beta 85\n_cell_angle_gamma 95\n_symmetry_space_group_name_H-M 'P 1'\n";
  const auto fromU = ReadText("aniso_u.cif", cell + atoms + loops[0]);
  const auto fromB = ReadText("aniso_b.cif", cell + atoms + loops[1]);
  const auto* a = dynamic_cast<const CQLAnisoThermalEllipsoid*>(Crystal(fromU).m_sites.at(0).m_displacement.get());
  const auto* b = dynamic_cast<const CQLAnisoThermalEllipsoid*>(Crystal(fromB).m_sites.at(0).m_displacement.get());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  for (int i = 0; i < 9; ++i) {
    EXPECT_NE(a->m_beta[i], 0.0) << i;  // every element given, off-diagonal ones included
    EXPECT_NEAR(b->m_beta[i], a->m_beta[i], 1e-5 * std::fabs(a->m_beta[i])) << i;  // B printed to six decimals
  }
}

TEST(Cif, TensorsWithANegativeDirectionAreDroppedWithAWarningNamingTheSite) {
  // U11 U22 U33 U12 U13 U23: a positive diagonal does not make a tensor positive definite.
  struct Case {
    const char* what;
    const char* letter;
    const char* row;
    const char* uIso;  // "" for none
    enum { kNone, kIsotropic, kTensor } kept;
  } cases[] = {
      {"U with a large off-diagonal term", "U", "0.01 0.01 0.01 0.02 0 0", "", Case::kNone},
      {"U with a negative diagonal term", "U", "0.01 -0.01 0.01 0 0 0", "", Case::kNone},
      {"B with a large off-diagonal term", "B", "1 1 1 0 1.5 0", "", Case::kNone},
      {"U with an isotropic value beside it", "U", "0.01 0.01 0.01 0 0 0.02", "0.015", Case::kIsotropic},
      // Singular but with no negative direction, as a published table prints it: kept.
      {"U with a zero principal value", "U", "0.00843 0 0.02019 0 0.0052 0", "0.015", Case::kTensor},
  };
  for (const Case& c : cases) {
    std::string aniso = "loop_\n_atom_site_aniso_label\n";
    for (const char* ij : {"11", "22", "33", "12", "13", "23"})
      aniso += std::string("_atom_site_aniso_") + c.letter + "_" + ij + "\n";
    const std::string iso = *c.uIso ? "_atom_site_U_iso_or_equiv\n" : "";
    const std::string text =
        "data_x\n" + kCubicCell + "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n" +
        iso + "Fe1 0.1 0.2 0.3 " + c.uIso + "\nO2 0.3 0.2 0.1 " + c.uIso + "\n" + aniso + "Fe1 " + c.row +
        "\nO2 0.01 0.01 0.01 0 0 0\n";
    CLXLogCapture log(false);
    const auto list = ReadText("notpositive.cif", text);
    const CQLCrystal& crystal = Crystal(list);
    ASSERT_EQ(Labels(crystal), (std::vector<std::wstring>{L"Fe1", L"O2"})) << c.what;
    const CQLThermalEllipsoid* fe = crystal.m_sites[0].m_displacement.get();
    EXPECT_EQ(dynamic_cast<const CQLAnisoThermalEllipsoid*>(fe) != nullptr, c.kept == Case::kTensor) << c.what;
    EXPECT_EQ(fe != nullptr, c.kept != Case::kNone) << c.what;
    if (c.kept == Case::kIsotropic && fe) EXPECT_FLOAT_EQ(fe->m_u, 0.015f) << c.what;
    // The other site's sound tensor stays.
    EXPECT_NE(dynamic_cast<const CQLAnisoThermalEllipsoid*>(crystal.m_sites[1].m_displacement.get()), nullptr) << c.what;
    const std::vector<CString> warnings = log.GetWarnings();
    if (c.kept == Case::kTensor) {
      EXPECT_TRUE(warnings.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u) << c.what;
    const std::wstring warning = warnings[0].GetString();
    EXPECT_NE(warning.find(L"'Fe1'"), std::wstring::npos) << c.what;
    EXPECT_NE(warning.find(L"positive definite"), std::wstring::npos) << c.what;
  }
}

TEST(Cif, SitesThatCannotBePlacedAreSkipped) {
  CifReader reader;
  const auto list = ReadText(
      "badcoord.cif",
      "data_x\n" + kCubicCell +
          "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n_atom_site_occupancy\n"
          "Na1 0.5 0.5 0.5 1\nCl1 abc 0 0 1\n'Fe 1' 0.25 0.25 0.25 0.5\nCa1234567 0.1 0.2 0.3 1\n'O'1' 0 0 0 1\n",
      reader);
  const CQLCrystal& c = Crystal(list);
  // The Cl site would otherwise sit at the origin; labels lose blanks and are cut to six characters.
  EXPECT_EQ(Labels(c), (std::vector<std::wstring>{L"Ca1234", L"Fe1", L"Na1", L"O'1"}));
  EXPECT_EQ(reader.WarningCount(), 1u);
  EXPECT_NEAR(c.m_sites[1].m_species.at(0).m_occupancy, 0.5, 1e-9);
  EXPECT_EQ(std::wstring(c.m_sites[1].m_species.at(0).m_name.GetString()), L"Fe");
}

TEST(Cif, SortsSitesByLetterThenNumber) {
  const auto list = ReadText(
      "sort.cif", "data_x\n" + kCubicCell +
                      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                      "O10 0.1 0 0\nO2 0.2 0 0\nFe1 0.3 0 0");  // no newline at the very end
  EXPECT_EQ(Labels(Crystal(list)), (std::vector<std::wstring>{L"Fe1", L"O2", L"O10"}));
  EXPECT_FALSE(Crystal(list).m_hasDisplacements);  // no displacement given for any site
}

// The order of sorting by whole written-out keys: the label without white space (80 characters at
// most), its trailing digits moved to the 80th column by '#', compared logically.
std::vector<std::wstring> OrderByWrittenOutKeys(const std::vector<std::wstring>& labels) {
  auto key = [](const std::wstring& label) {
    std::wstring text;
    for (size_t i = 0; i < label.size() && i < 80; ++i)
      if (!std::iswspace(static_cast<wint_t>(label[i]))) text += label[i];
    size_t start = text.size();
    while (start > 0 && std::iswdigit(static_cast<wint_t>(text[start - 1]))) --start;
    if (start == text.size()) return text;
    const std::wstring digits = text.substr(start);
    text.erase(start);
    return text + std::wstring(80 - text.size() - digits.size(), L'#') + digits;
  };
  std::vector<std::wstring> sorted = labels;
  std::stable_sort(sorted.begin(), sorted.end(), [&](const std::wstring& a, const std::wstring& b) {
    return CompareLogically(key(a).c_str(), key(b).c_str()) < 0;
  });
  return sorted;
}

TEST(Cif, SiteSortMatchesWrittenOutKeysAndKeepsTies) {
  std::vector<std::wstring> labels = {L"O10", L"O2", L"o3", L"O02", L"O002", L"OA", L"O#1", L"O#", L"A1B2", L"A1B10",
                                      L"a1b3", L"Fe 1", L"Fe1", L"Fe01", L"", L"12", L"012", L"7", L"Na", L"na", L"#",
                                      L"##9", L"Ca1234", L"Ca999", L"O'1", L"O_1", L"O!1", L"O\"2", L"O!", L"O\"",
                                      L"O\x1F" L"3", L"!", L"12345678901234567", L"Ab123456789012"};
  labels.push_back(std::wstring(78, L'x') + L"123");  // cut at 80: the trailing 3 is dropped
  labels.push_back(std::wstring(79, L'x') + L"5");
  labels.push_back(std::wstring(85, L'y'));
  // Outside ASCII the locale's own lower case and classes apply, as inside it through a table.
  for (const wchar_t* label : {L"\u00C4b1", L"\u00E4b2", L"\u00C4B10", L"\u0130\u00A0x", L"\u00DF 3", L"\u0661"})
    labels.push_back(label);
  // And many short labels from a few characters that meet every branch of the comparison, enough
  // to be sorted in pieces and merged.
  const std::wstring alphabet = L"aA0019# _b";
  uint32_t state = 12345;
  for (int n = 0; n < 24000; ++n) {
    std::wstring label;
    state = state * 1103515245u + 12345u;
    const int length = static_cast<int>((state >> 16) % 7);
    for (int i = 0; i < length; ++i) {
      state = state * 1103515245u + 12345u;
      label += alphabet[(state >> 16) % alphabet.size()];
    }
    labels.push_back(label);
  }
  std::vector<CQLSite> sites(labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    sites[i].m_label = CString(labels[i].c_str());
    sites[i].m_x = static_cast<double>(i);  // tells equal labels apart
  }
  SortSitesByLogicalLabel(sites);
  const std::vector<std::wstring> expected = OrderByWrittenOutKeys(labels);
  ASSERT_EQ(sites.size(), expected.size());
  std::vector<std::wstring> got;
  for (const CQLSite& site : sites) got.push_back(site.m_label.GetString());
  EXPECT_EQ(got, expected);
  for (size_t i = 1; i < sites.size(); ++i)
    if (got[i] == got[i - 1]) {
      EXPECT_LT(sites[i - 1].m_x, sites[i].m_x) << "equal labels keep their order";
    }

  // Sorted already, the list stays as it is; reversed, it comes back with its ties reversed too.
  std::vector<double> sortedX;
  for (const CQLSite& site : sites) sortedX.push_back(site.m_x);
  SortSitesByLogicalLabel(sites);
  for (size_t i = 0; i < sites.size(); ++i) ASSERT_EQ(sites[i].m_x, sortedX[i]) << "moved at " << i;
  std::reverse(sites.begin(), sites.end());
  std::vector<std::wstring> reversed(got.rbegin(), got.rend());
  SortSitesByLogicalLabel(sites);
  got.clear();
  for (const CQLSite& site : sites) got.push_back(site.m_label.GetString());
  EXPECT_EQ(got, OrderByWrittenOutKeys(reversed));
  for (size_t i = 1; i < sites.size(); ++i)
    if (got[i] == got[i - 1]) {
      EXPECT_GT(sites[i - 1].m_x, sites[i].m_x) << "ties keep the reversed order";
    }
}

TEST(Cif, Utf8TextInUnquotedValuesIsKept) {
  CifReader reader;
  const auto list = ReadText("utf8.cif", "data_x\n_chemical_name_mineral B\xC3\xA4" "ckstr\xC3\xB6mite\n" + kCubicCell +
                                             "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
                                             "_atom_site_fract_z\nK1 0 0 0\n",
                             reader);
  EXPECT_EQ(Crystal(list).m_sites.size(), 1u);
  EXPECT_EQ(reader.WarningCount(), 0u);  // a refused value would only be warned about and skipped
}

TEST(Cif, FilesWithoutStructuresAreErrors) {
  EXPECT_THROW(ReadText("nodata.cif", "# nothing here\n_cell_length_a 5\n"), CLXXFileImportNoAtoms);
  EXPECT_THROW(ReadText("nocell.cif", "data_a\n_journal_year 1999\n"), CLXXFileImportNoAtoms);
  EXPECT_THROW(ReadText("noatoms.cif", "data_a\n" + kCubicCell), CLXXFileImportNoAtoms);
}

TEST(Cif, BlocksBecomePatternsNamedAfterThem) {
  const std::string atoms =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nC1 0 0 0\n";
  const auto list = ReadText("two.cif", "data_first\n" + kCubicCell + atoms + "data_global\n_database_code_amcsd 0012345\n" +
                                            kCubicCell + atoms);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(std::wstring(list.front()->m_title.GetString()), L"first");
  EXPECT_EQ(std::wstring(list.back()->m_title.GetString()), L"0012345");
}

TEST(Cif, MissingSymmetryFallsBackToP1) {
  testing::internal::CaptureStderr();
  const auto list = ReadText("nosym.cif",
                             "data_x\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n"
                             "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                             "Cu1 0 0 0\n");
  const std::string alerts = testing::internal::GetCapturedStderr();
  const CQLCrystal& c = Crystal(list);
  EXPECT_EQ(std::wstring(c.m_spaceGroupSymbol.GetString()), L"P 1");
  EXPECT_EQ(c.m_sites.at(0).m_positions.size(), 1u);
  EXPECT_NE(alerts.find("Missing symmetry"), std::string::npos) << alerts;
}

// The example structure cut short before its symmetry, or before its atoms, cannot be read: the
// one alert says so, with no word of a space group that would not be used.
TEST(Cif, AFileCutBeforeItsAtomsSaysOnlyWhyItCannotBeRead) {
  const std::string whole = filestest::Slurp(QLW_SOURCE_DIR "/examples/rutile.cif");
  for (const char* cutBefore : {"_cell_volume", "_symmetry_space_group_name_H-M", "loop_"}) {
    ASSERT_NE(whole.find(cutBefore), std::string::npos) << cutBefore;
    testing::internal::CaptureStderr();
    EXPECT_THROW(ReadText("cut.cif", whole.substr(0, whole.find(cutBefore))), CLXXFileImportNoAtoms) << cutBefore;
    const std::string alerts = testing::internal::GetCapturedStderr();
    EXPECT_EQ(alerts.find("symmetry"), std::string::npos) << cutBefore << ": " << alerts;
  }
}

TEST(Cif, RecognisesCifByItsItemsWithinTheFirstLines) {
  const std::string items =
      "_cell_length_a 1\n_cell_length_b 1\n_cell_length_c 1\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
      "_cell_angle_gamma 90\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
  uint32_t code = 99;
  EXPECT_TRUE(CQLCIFFile::TestFile(Wide(WriteScratch("early.dat", "data_x\n" + items)).c_str(), code));
  EXPECT_EQ(code, 22u);
  std::string padding;
  for (int i = 0; i < 9000; ++i) padding += "# filler\n";
  EXPECT_FALSE(CQLCIFFile::TestFile(Wide(WriteScratch("late.dat", padding + items)).c_str(), code));
  EXPECT_EQ(code, 0u);
}

TEST(Cif, CountsStructureBlocksAndNoneForAFileWithout) {
  const std::string atoms =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nC1 0 0 0\n";
  struct Case {
    const char* name;
    std::string text;
    uint32_t count;
  } cases[] = {
      {"count2.cif", "data_a\n" + kCubicCell + atoms + "data_notes\n_journal_year 1999\ndata_b\n" + kCubicCell + atoms, 2},
      {"count0.cif", "data_notes\n_journal_year 1999\n", 0},
      {"count_none.cif", "no blocks at all\n", 0},
  };
  for (const Case& c : cases) {
    CQLCIFFile file;
    EXPECT_EQ(file.CountBlocks(Wide(WriteScratch(c.name, c.text)).c_str()), c.count) << c.name;
    EXPECT_FALSE(file.IsOpen()) << c.name;
  }
}

TEST(Cif, OperatorsOutrankTheSymbolWhicheverComesFirst) {
  const std::string cell = "_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 80\n"
                           "_cell_angle_beta 85\n_cell_angle_gamma 95\n";
  const std::string symbol = "_symmetry_space_group_name_H-M 'P 1'\n";
  // Listed under the old and again under the new item name, as some files do.
  const std::string operators = "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,-y,-z\n"
                                "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n'-x, -y, -z'\n";
  const std::string atoms =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nC1 0.1 0.2 0.3\n";
  for (bool symbolFirst : {true, false}) {
    const auto list = ReadText("ops.cif", "data_x\n" + cell + (symbolFirst ? symbol + operators : operators + symbol) + atoms);
    const CQLCrystal& c = Crystal(list);
    EXPECT_EQ(c.m_operators.size(), 2u) << symbolFirst;
    EXPECT_EQ(c.m_sites.at(0).m_positions.size(), 2u) << symbolFirst;  // the centre of symmetry, not P 1
    EXPECT_EQ(std::wstring(c.m_spaceGroupSymbol.GetString()), L"P -1") << symbolFirst;
  }
}

TEST(Cif, ASiteGivenBySingleItemsIsRead) {
  const auto list = ReadText("single.cif", "data_cu\n_cell_length_a 3.615\n_cell_length_b 3.615\n_cell_length_c 3.615\n"
                                           "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                                           "_symmetry_space_group_name_H-M 'F m -3 m'\n_atom_site_label Cu1\n"
                                           "_atom_site_fract_x 0\n_atom_site_fract_y 0\n_atom_site_fract_z 0\n"
                                           "_atom_site_U_iso_or_equiv 0.0076\n");
  const CQLCrystal& c = Crystal(list);
  ASSERT_EQ(Labels(c), (std::vector<std::wstring>{L"Cu1"}));
  EXPECT_EQ(c.m_sites[0].m_positions.size(), 4u);
  EXPECT_NE(c.m_sites[0].m_displacement, nullptr);
  EXPECT_TRUE(c.m_hasDisplacements);
}

TEST(Cif, AProblemInsideALoopIsWarnedOnce) {
  CifReader reader;
  const auto list = ReadText("warnonce.cif",
                             "data_x\n" + kCubicCell +
                                 "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                                 "'Na\x01" "1' 0 0 0\n",
                             reader);
  EXPECT_EQ(Labels(Crystal(list)), (std::vector<std::wstring>{L"Na1"}));  // the control character is dropped
  EXPECT_EQ(reader.WarningCount(), 1u);
}

TEST(Cif, StreamAndMappedFormsReadAlike) {
  const std::string text =
      "data_both\r\n_publ_section_title\r\n;\r\nA text field; with # and 'quotes'\r\n;\r\n" + kCubicCell +
      "# comment line\r\nloop_\r\n_atom_site_label # trailing comment\r\n_atom_site_fract_x\r\n_atom_site_fract_y\r\n"
      "_atom_site_fract_z\r\n_atom_site_occupancy\r\n'Na 1' 0.1(2) 0.2 0.3 0.5\r\n\"Cl1\" 0.5 0.5 0.5 ?\r\n";
  const std::string path = WriteScratch("forms.cif", text);
  std::vector<std::vector<double>> seen[2];
  for (bool stream : {false, true}) {
    CifReader reader;
    // Read-write leaves the file in the stream form; read-only maps it.
    ASSERT_TRUE(reader.Open(Wide(path).c_str(), stream ? CLXFile::modeReadWrite : CLXFile::modeRead));
    ASSERT_EQ(reader.IsMappedView(), !stream);
    const auto list = reader.ReadAll();
    const CQLCrystal& c = Crystal(list);
    EXPECT_EQ(Labels(c), (std::vector<std::wstring>{L"Cl1", L"Na1"})) << stream;
    for (const CQLSite& s : c.m_sites) seen[stream].push_back({s.m_x, s.m_y, s.m_z, s.m_species.at(0).m_occupancy});
    EXPECT_EQ(reader.WarningCount(), 0u) << stream;
  }
  EXPECT_EQ(seen[0], seen[1]);
  ASSERT_EQ(seen[0].size(), 2u);
  EXPECT_NEAR(seen[0][1][0], 0.1, 1e-6);
  EXPECT_NEAR(seen[0][1][3], 0.5, 1e-6);
}

TEST(Cif, SettingSuffixSelectsTheOriginChoice) {
  // Si on 8a of F d -3 m, at 1/8 1/8 1/8 in origin choice 2; no operators, so the symbol decides.
  const std::string si = "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                         "Si1 0.125 0.125 0.125\n";
  const std::string cell = "_cell_length_a 5.431\n_cell_length_b 5.431\n_cell_length_c 5.431\n"
                           "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";
  const std::string hm = "_symmetry_space_group_name_H-M 'F d -3 m :2'\n";
  const std::string number = "_space_group_IT_number 227\n";
  for (const std::string& symmetry : {hm, number + hm, hm + number}) {
    const auto list = ReadText("fd3m2.cif", "data_si\n" + cell + symmetry + si);
    const CQLCrystal& c = Crystal(list);
    EXPECT_EQ(c.m_originChoice, 2) << symmetry;
    EXPECT_EQ(c.m_sites.at(0).m_positions.size(), 8u) << symmetry;
  }
  const auto origin1 =
      ReadText("fd3m1.cif", "data_si\n" + cell + "_symmetry_space_group_name_H-M 'F d -3 m :1'\n" +
                                "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                                "Si1 0 0 0\n");
  EXPECT_EQ(Crystal(origin1).m_originChoice, 1);
  EXPECT_EQ(Crystal(origin1).m_sites.at(0).m_positions.size(), 8u);
}

TEST(Cif, SiteMultiplicitiesChooseTheOriginASymbolLeavesOpen) {
  // FeSe in P 4/n m m, whose symbol names no origin: Fe on 2a, Se on 2c, written in origin 2.
  const std::string origin2 = filestest::Slurp(qlwtest::DataPath("fese-origin2.cif"));
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  // The same sites shifted into origin 1, where they are 2a and 2c again.
  const std::string origin1 = replaced(replaced(origin2, "0.75 0.25 0 1", "0.5 0.5 0 1"), "0.25 0.25 0.2668", "0 0.5 0.2668");
  // Without the multiplicities nothing tells the origins apart.
  const std::string silent =
      replaced(replaced(replaced(origin2, "_atom_site_symmetry_multiplicity\n", ""), "Fe 2 a", "Fe a"), "Se 2 c", "Se c");
  const double volume = 3.7734 * 3.7734 * 5.5258;
  const double density = 2 * (55.845 + 78.971) * 1.66054 / volume;  // two FeSe in the cell, g/cm³
  struct Case {
    const char* what;
    const std::string& text;
    int originChoice;
    bool warned;
  } cases[] = {
      {"origin 2 by multiplicity", origin2, 2, false},
      {"origin 1 by multiplicity", origin1, 1, false},
      {"no multiplicity: the first origin, with a warning", silent, 0, true},
  };
  for (const Case& c : cases) {
    CLXLogCapture log(false);
    const auto list = ReadText("fese.cif", c.text);
    const CQLCrystal& crystal = Crystal(list);
    EXPECT_EQ(crystal.m_originChoice, c.originChoice) << c.what;
    const std::vector<CString> warnings = log.GetWarnings();
    ASSERT_EQ(warnings.size(), c.warned ? 1u : 0u) << c.what;
    if (c.warned) {
      const std::wstring warning = warnings[0].GetString();
      EXPECT_NE(warning.find(L"'P 4/n m m'"), std::wstring::npos) << c.what;
      EXPECT_NE(warning.find(L"origin choice 1"), std::wstring::npos) << c.what;
      continue;
    }
    size_t atoms = 0;
    for (const CQLSite& site : crystal.m_sites) atoms += site.m_positions.size();
    EXPECT_EQ(atoms, 4u) << c.what;
    CQLCrystal weighed;
    weighed.CopyFrom(crystal);
    weighed.ComputeDensity();
    EXPECT_NEAR(weighed.m_density / 1000, density, 0.01) << c.what;  // kg/m³
  }
}

TEST(Cif, ASymbolAlongANegativeAxisGivesItsOperators) {
  // A general position of I 1 2/c 1 (C 2/c along -b, third cell): 4 operators, 2 lattice points.
  const auto list = ReadText("i2c.cif", "data_m\n_cell_length_a 9.0\n_cell_length_b 6.0\n_cell_length_c 5.0\n"
                                        "_cell_angle_alpha 90\n_cell_angle_beta 104\n_cell_angle_gamma 90\n"
                                        "_symmetry_space_group_name_H-M 'I 1 2/c 1'\n"
                                        "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
                                        "_atom_site_fract_z\nO1 0.1 0.2 0.3\n");
  const CQLCrystal& c = Crystal(list);
  EXPECT_EQ(c.m_spaceGroupSymbol, CString(L"I 1 2/c 1"));
  EXPECT_EQ(c.m_sites.at(0).m_positions.size(), 8u);
}

TEST(Cif, AByteOrderMarkIsNotPartOfTheText) {
  const std::string text = "\xEF\xBB\xBF" "data_bom\n" + kCubicCell +
                           "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                           "Na1 0 0 0\n";
  const auto list = ReadText("bom.cif", text);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::wstring(list.front()->m_title.GetString()), L"bom");
  uint32_t type = 0;
  EXPECT_TRUE(CQLCIFFile::TestFile(Wide(WriteScratch("bom2.cif", "\xEF\xBB\xBF" + kCubicCell +
                                                                     "loop_\n_atom_site_fract_x\n_atom_site_fract_y\n"
                                                                     "_atom_site_fract_z\n0 0 0\n")).c_str(),
                                  type));
}

TEST(Cif, SitesWithValuesThatBreakTheSumsAreRefusedByName) {
  struct Case {
    const char* item;
    const char* value;
  } cases[] = {
      {"_atom_site_occupancy", "nan"},        {"_atom_site_occupancy", "-0.5"},
      {"_atom_site_occupancy", "1e39"},       {"_atom_site_U_iso_or_equiv", "1e39"},
      {"_atom_site_U_iso_or_equiv", "NaN"},   {"_atom_site_B_iso_or_equiv", "inf"},
  };
  for (const Case& c : cases) {
    CifReader reader;
    const auto list =
        ReadText("badvalue.cif",
                 "data_x\n" + kCubicCell +
                     "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n" +
                     c.item + "\nNa1 0 0 0 0.5\nCl1 0.5 0.5 0.5 " + c.value + "\n",
                 reader);
    EXPECT_EQ(Labels(Crystal(list)), (std::vector<std::wstring>{L"Na1"})) << c.item << " " << c.value;
    EXPECT_EQ(reader.WarningCount(), 1u) << c.item << " " << c.value;
  }
  // A tensor element that does not fit single precision refuses its site too.
  CifReader reader;
  const auto list = ReadText(
      "badtensor.cif",
      "data_x\n" + kCubicCell +
          "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
          "Na1 0 0 0\nCl1 0.5 0.5 0.5\n"
          "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n_atom_site_aniso_U_33\n"
          "_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n"
          "Cl1 0.01 0.01 1e39 0 0 0\n",
      reader);
  EXPECT_EQ(Labels(Crystal(list)), (std::vector<std::wstring>{L"Na1"}));
}

TEST(Cif, ReservedWordsAreNeverValuesAndEndTheBlock) {
  const std::string atoms =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
  // The first block's last item has lost its value: it must not take the next block's name.
  CifReader reader;
  const auto list = ReadText("reserved.cif",
                             "data_first\n" + kCubicCell + atoms + "C1 0 0 0\n_journal_name_full\n" +
                                 "data_second\n" + kCubicCell + atoms + "O1 0.5 0.5 0.5\nO2 0.25 0.25 0.25\n",
                             reader);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(std::wstring(list.front()->m_title.GetString()), L"first");
  EXPECT_EQ(Labels(Crystal(list, 0)), (std::vector<std::wstring>{L"C1"}));
  EXPECT_EQ(Labels(Crystal(list, 1)), (std::vector<std::wstring>{L"O1", L"O2"}));
  EXPECT_EQ(reader.WarningCount(), 1u);  // the missing value
  // The other reserved words are passed over where an item lost its value.
  CifReader quiet;
  const auto frames = ReadText("frames.cif",
                               "data_f\n_journal_name_full\nglobal_\n_journal_volume\nsave_frame\n" + kCubicCell +
                                   "_journal_year\nstop_\n" + atoms + "K1 0 0 0\n",
                               quiet);
  EXPECT_EQ(Labels(Crystal(frames)), (std::vector<std::wstring>{L"K1"}));
  EXPECT_EQ(quiet.WarningCount(), 3u);
  // Inside a loop a reserved word ends the rows; a quoted one is an ordinary value.
  const auto quoted = ReadText("quotedword.cif", "data_q\n" + kCubicCell + atoms + "'data_x' 0 0 0\nstop_\n");
  EXPECT_EQ(Labels(Crystal(quoted)), (std::vector<std::wstring>{L"data_x"}));
  // In any case; a word that only starts like one is a value.
  const auto cased = ReadText("casedword.cif", "data_c\n" + kCubicCell + atoms +
                                                   "Loop_1 0 0 0\nglobal_x 0.5 0.5 0.5\nDATA 0 0 0.5\nSTOP_\n");
  EXPECT_EQ(Labels(Crystal(cased)), (std::vector<std::wstring>{L"DATA", L"global", L"Loop_1"}));
  const auto saved = ReadText("savedword.cif", "data_s\n" + kCubicCell + atoms + "S1 0 0 0\nSave_f\n");
  EXPECT_EQ(Labels(Crystal(saved)), (std::vector<std::wstring>{L"S1"}));
}

// The element of each type symbol, also where one block names many, alike at their start or not.
TEST(Cif, TypeSymbolsGiveTheirElementOnEveryRow) {
  const std::vector<std::string> types = {"Fe3+", "F", "Fe", "fE", "O2-", "Oh", "OH-", "S", "Si4+", "Sn", "X", "?x", "1"};
  std::string rows;
  std::vector<std::wstring> expected;
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 0; i < types.size(); ++i) {
      const size_t t = pass ? types.size() - 1 - i : i;
      rows += "A" + std::to_string(expected.size() + 10) + " " + types[t] + " 0." + std::to_string(expected.size() + 10) +
              " 0 0\n";
      CString name;
      ElementCodeToText(ElementCodeFromString(Wide(types[t]).c_str()), name);
      expected.push_back(name.GetString());
    }
  const auto list = ReadText("types.cif", "data_t\n" + kCubicCell +
                                              "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
                                              "_atom_site_fract_y\n_atom_site_fract_z\n" + rows);
  std::vector<std::wstring> got;
  for (const CQLSite& site : Crystal(list).m_sites) got.push_back(site.m_species.at(0).m_name.GetString());
  EXPECT_EQ(got, expected);
}

namespace {
// One site in a hexagonal cell of 23 Å by 20 Å, in P 63/m m c, as atom-site row values after the label.
std::string LargeHexagonalCell(const std::string& row) {
  return "data_large\n_cell_length_a 23\n_cell_length_b 23\n_cell_length_c 20\n_cell_angle_alpha 90\n"
         "_cell_angle_beta 90\n_cell_angle_gamma 120\n_symmetry_space_group_name_H-M 'P 63/m m c'\n"
         "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
         "Mg1 " + row + "\n";
}

// |F|² of each reflexion, by index.
std::map<std::array<int, 3>, double> SquaredStructureFactors(const CQLCrystal& crystal) {
  CQLCrystal c = crystal;
  CDiffractionSettings settings(true);
  EXPECT_TRUE(c.Recompute(settings));
  std::map<std::array<int, 3>, double> out;
  for (const auto& r : c.m_reflexions) out[{r->h, r->k, r->l}] = r->A * r->A + r->B * r->B;
  return out;
}
}  // namespace

TEST(Cif, SitesBesideASpecialPositionAreOneAtomWithinTheRoundingOfTheirDecimals) {
  const auto exact = ReadText("exact.cif", LargeHexagonalCell("0.33333333 0.66666667 0.25"));
  const auto expected = SquaredStructureFactors(Crystal(exact));
  ASSERT_EQ(Crystal(exact).m_sites.at(0).m_positions.size(), 2u);
  struct Case {
    const char* row;
    size_t positions;
  } cases[] = {
      {"0.333 0.667 0.25", 2},          // images up to 0.027 Å apart, within what three decimals explain
      {"0.333(1) 0.667(1) 0.25", 2},    // an uncertainty after the digits does not count as one
      {"3.33e-1 6.67E-1 2.5e-1", 2},    // three decimals too
      {"0.3330 0.6670 0.2500", 6},      // four decimals say the site is off the axis
  };
  for (const Case& c : cases) {
    CifReader reader;
    CLXLogCapture log(false);
    const auto list = ReadText("rounded.cif", LargeHexagonalCell(c.row), reader);
    const CQLCrystal& crystal = Crystal(list);
    EXPECT_EQ(crystal.m_sites.at(0).m_positions.size(), c.positions) << c.row;
    EXPECT_TRUE(log.GetWarnings().empty()) << c.row;  // a full site joined is no news
    if (c.positions != 2) continue;
    // |F|² of 0 1 0 was 387 where the exact coordinates give 16.
    const auto got = SquaredStructureFactors(crystal);
    ASSERT_EQ(got.size(), expected.size()) << c.row;
    for (const auto& [hkl, f2] : expected)
      EXPECT_NEAR(got.at(hkl), f2, 1e-4 * (1 + f2)) << c.row << " " << hkl[0] << hkl[1] << hkl[2];
  }
}

TEST(Cif, JoinedImagesOfAPartlyOccupiedSiteAreNamedInTheWarnings) {
  // A mirror at x = 0 in a cell of 19 Å: the half-occupied Fe1 has two images 0.019 Å apart, one
  // atom at occupancy 0.5 from now on; Co2 is full and Ni3 lies exactly on the mirror.
  CifReader reader;
  CLXLogCapture log(false);
  const auto list = ReadText(
      "halfpair.cif",
      "data_x\n_cell_length_a 19\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
      "_cell_angle_gamma 90\n_symmetry_space_group_name_H-M 'P m m m'\n"
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n_atom_site_occupancy\n"
      "Fe1 0.0005 0 0 0.5\nCo2 0.0005 0.5 0.5 1\nNi3 0 0 0.5 0.5\n",
      reader);
  const CQLCrystal& c = Crystal(list);
  ASSERT_EQ(Labels(c), (std::vector<std::wstring>{L"Co2", L"Fe1", L"Ni3"}));
  for (const CQLSite& site : c.m_sites) EXPECT_EQ(site.m_positions.size(), 1u) << site.m_label.ToUtf8();
  const std::vector<CString> warnings = log.GetWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  const std::wstring warning = warnings[0].GetString();
  EXPECT_NE(warning.find(L"'Fe1'"), std::wstring::npos) << warnings[0].ToUtf8();
  EXPECT_NE(warning.find(L"0.5000"), std::wstring::npos) << warnings[0].ToUtf8();
  EXPECT_EQ(reader.WarningCount(), 1u);
}

TEST(Cif, AnOccupancyAboveOneIsTakenAsAFullSiteAndNamed) {
  struct Case {
    const char* value;
    double occupancy;
    bool warned;
  } cases[] = {{"2.2", 1.0, true}, {"1.05", 1.0, true}, {"1.00005", 1.00005, false}, {"0.75", 0.75, false}};
  for (const Case& c : cases) {
    CLXLogCapture log(false);
    const auto list = ReadText(
        "overfull.cif", "data_x\n" + kCubicCell +
                            "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                            "_atom_site_occupancy\nNa1 0 0 0 1\nCl1 0.5 0.5 0.5 " + c.value + "\n");
    const CQLCrystal& crystal = Crystal(list);
    ASSERT_EQ(Labels(crystal), (std::vector<std::wstring>{L"Cl1", L"Na1"})) << c.value;
    EXPECT_NEAR(crystal.m_sites[0].m_species.at(0).m_occupancy, c.occupancy, 1e-6) << c.value;
    const std::vector<CString> warnings = log.GetWarnings();
    ASSERT_EQ(warnings.size(), c.warned ? 1u : 0u) << c.value;
    if (c.warned) EXPECT_NE(std::wstring(warnings[0].GetString()).find(L"'Cl1'"), std::wstring::npos) << c.value;
  }
}

TEST(Cif, BetaTensorsAreReadAsTheUTensorTheyStandFor) {
  // A monoclinic cell, where a* and c* are not 1/a and 1/c.
  const std::string cell =
      "_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 90\n_cell_angle_beta 100\n"
      "_cell_angle_gamma 90\n_symmetry_space_group_name_H-M 'P 1'\n"
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
      "_atom_site_U_iso_or_equiv\nFe1 0.1 0.2 0.3 0.015\nO2 0.3 0.2 0.1 0.015\n";
  CQLCrystal metric;
  metric.m_a = 5, metric.m_b = 6, metric.m_c = 7, metric.m_beta = 100;
  metric.ComputeMetrics();
  const double star[3] = {metric.m_aStar, metric.m_bStar, metric.m_cStar};
  const double twoPiSquared = 2 * std::acos(-1.0) * std::acos(-1.0);
  // U11 U22 U33 U12 U13 U23 and the indices they stand at.
  const double u[6] = {0.011, 0.023, 0.017, 0.0012, 0.0034, -0.0021};
  const int at[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
  auto loop = [&](const char* letter, bool asBeta, const char* omit) {
    std::string text = "loop_\n_atom_site_aniso_label\n";
    std::string row = "Fe1";
    for (int n = 0; n < 6; ++n) {
      const std::string ij = std::to_string(at[n][0] + 1) + std::to_string(at[n][1] + 1);
      if (ij == omit) continue;
      text += std::string("_atom_site_aniso_") + letter + "_" + ij + "\n";
      const double value = asBeta ? twoPiSquared * star[at[n][0]] * star[at[n][1]] * u[n] : u[n];
      char printed[40];
      std::snprintf(printed, sizeof printed, " %.8g", value);
      row += printed;
    }
    return text + row + "\n";
  };
  const auto fromU = ReadText("aniso-u.cif", "data_x\n" + cell + loop("U", false, ""));
  const auto* expected = dynamic_cast<const CQLAnisoThermalEllipsoid*>(
      filestest::FindSite(Crystal(fromU), L"Fe1")->m_displacement.get());
  ASSERT_NE(expected, nullptr);
  for (const char* letter : {"beta", "Beta", "BETA"}) {
    CLXLogCapture log(false);
    const auto fromBeta = ReadText("aniso-beta.cif", "data_x\n" + cell + loop(letter, true, ""));
    const auto* got = dynamic_cast<const CQLAnisoThermalEllipsoid*>(
        filestest::FindSite(Crystal(fromBeta), L"Fe1")->m_displacement.get());
    ASSERT_NE(got, nullptr) << letter;
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(got->m_beta[i], expected->m_beta[i], 1e-6 * std::fabs(expected->m_beta[0]));
    EXPECT_NEAR(got->m_u, expected->m_u, 1e-7) << letter;
    EXPECT_TRUE(log.GetWarnings().empty()) << letter;
  }
  // A tensor that cannot be taken is named, never computed silently as the isotropic value.
  for (const char* omit : {"33", "13"}) {
    CLXLogCapture log(false);
    const auto list = ReadText("aniso-part.cif", "data_x\n" + cell + loop("beta", true, omit));
    const CQLThermalEllipsoid* fe = filestest::FindSite(Crystal(list), L"Fe1")->m_displacement.get();
    ASSERT_NE(fe, nullptr) << omit;
    EXPECT_EQ(dynamic_cast<const CQLAnisoThermalEllipsoid*>(fe), nullptr) << omit;
    const std::vector<CString> warnings = log.GetWarnings();
    ASSERT_EQ(warnings.size(), 1u) << omit;
    EXPECT_NE(std::wstring(warnings[0].GetString()).find(L"'Fe1'"), std::wstring::npos) << omit;
  }
}
