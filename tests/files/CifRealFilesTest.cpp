// Real CIFs that nobody here wrote: Debian's examples, and the shared reference structures whose
// reflexion lists two independent programs computed.
#include "QLCIFFile.h"

#include "DiffractionSettings.h"
#include "FilesTestUtil.h"
#include "QLCrystal.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using filestest::Wide;

namespace {
bool ReadPatterns(const std::string& path, CQLPatternList& list) {
  CQLCIFFile file;
  if (!file.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return false;
  return file.ReadFile(&list, nullptr, nullptr);
}
}  // namespace

TEST(CifRealFiles, DebianExamplesReadIntoStructures) {
  const std::vector<std::string> files = {
      "/usr/share/doc/cif2hkl/examples/2104737.cif", "/usr/share/doc/cif2hkl/examples/9013104.cif",
      "/usr/share/doc/cif2hkl/examples/Al.cif",      "/usr/share/doc/cif2hkl/examples/LaMnO3.cif",
      "/usr/share/gdis/models/adp1.cif",             "/usr/share/gdis/models/adp2.cif",
      "/usr/share/gdis/models/burk1.cif",            "/usr/share/gdis/models/caox.cif",
  };
  int read = 0;
  for (const std::string& path : files) {
    if (!std::filesystem::exists(path)) continue;
    CQLPatternList list;
    EXPECT_TRUE(ReadPatterns(path, list)) << path;
    EXPECT_FALSE(list.empty()) << path;
    for (const auto& p : list) {
      const CQLCrystal& c = *p->GetCrystal();
      EXPECT_FALSE(c.m_sites.empty()) << path;
      EXPECT_GT(c.m_volume, 1.0) << path;
      for (const auto& s : c.m_sites) EXPECT_FALSE(s.m_positions.empty()) << path;
    }
    ++read;
  }
  if (read == 0) GTEST_SKIP() << "cif2hkl and gdis-data are not installed";
}

TEST(CifRealFiles, LaMnO3InPbnmWithIonicTypeSymbols) {
  const std::string path = "/usr/share/doc/cif2hkl/examples/LaMnO3.cif";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "cif2hkl is not installed";
  CQLPatternList list;
  ASSERT_TRUE(ReadPatterns(path, list));
  const CQLCrystal& c = *list.front()->GetCrystal();
  std::map<std::wstring, size_t> positions;
  for (const auto& s : c.m_sites) positions[s.m_species.at(0).m_name.GetString()] += s.m_positions.size();
  EXPECT_EQ(positions[L"La"], 4u);
  EXPECT_EQ(positions[L"Mn"], 4u);
  EXPECT_EQ(positions[L"O"], 12u);
}

TEST(CifRealFiles, AnisotropicLoopBeforeTheAtomLoop) {
  for (const char* name : {"2104737.cif", "9013104.cif"}) {
    const std::string path = std::string("/usr/share/doc/cif2hkl/examples/") + name;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "cif2hkl is not installed";
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t aniso = text.find("_atom_site_aniso_label"), atoms = text.find("_atom_site_fract_x");
    if (aniso == std::string::npos || aniso > atoms) continue;
    CQLPatternList list;
    ASSERT_TRUE(ReadPatterns(path, list));
    const CQLCrystal& c = *list.front()->GetCrystal();
    ASSERT_EQ(c.m_sites.size(), 1u) << name;
    EXPECT_EQ(c.m_sites[0].m_positions.size(), 8u) << name;
    EXPECT_NE(dynamic_cast<const CQLAnisoThermalEllipsoid*>(c.m_sites[0].m_displacement.get()), nullptr) << name;
    return;
  }
  FAIL() << "neither example has its anisotropic loop first";
}

TEST(CifRealFiles, FiveBlocksGiveFivePatterns) {
  const std::string path = "/usr/share/gdis/models/caox.cif";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "gdis-data is not installed";
  CQLPatternList list;
  ASSERT_TRUE(ReadPatterns(path, list));
  EXPECT_EQ(list.size(), 5u);
}

// ----- reference reflexion lists -----

namespace {
struct RefRow {
  double d, F2, relative;
  int mult;
};

std::vector<RefRow> ReadReference(const std::string& path) {
  std::vector<RefRow> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  double maxIntensity = 0;
  while (std::getline(in, line)) {
    std::stringstream ss(line);
    std::string f[14];
    for (auto& x : f) std::getline(ss, x, ',');
    // The engine drops reflexions whose absolute intensity is below 2^-39 (those extinct by a
    // special position). The percentage column has four decimals and reads 0 for weak but real
    // reflexions, so the relative intensity is taken from the absolute one.
    if (std::stod(f[12]) < 1.8189894035458565e-12) continue;
    RefRow r{std::stod(f[3]), std::stod(f[7]), std::stod(f[10]), std::stoi(f[4])};
    maxIntensity = std::max(maxIntensity, r.relative);
    rows.push_back(r);
  }
  for (RefRow& r : rows) r.relative /= maxIntensity;
  return rows;
}

struct Reference {
  const char* cif;
  const char* stem;  // reference file stem
  size_t block;
  // Set where the engine's list is known to differ from the reference for a reason outside the
  // reader; the test then says why instead of comparing.
  const char* knownDifference = nullptr;
};

void CompareWithReference(const Reference& ref, bool neutron, bool displacements) {
  const std::string cif = qlwtest::SharedTestDataPath(std::string("cif/") + ref.cif);
  if (cif.empty()) GTEST_SKIP() << "../shared/testdata is absent";
  if (ref.knownDifference) GTEST_SKIP() << ref.stem << ": " << ref.knownDifference;
  const std::string refPath = qlwtest::SharedTestDataPath(std::string("ref/") + ref.stem +
                                                          (neutron ? ".cctbx.neutron" : ".cctbx.xray") +
                                                          (displacements ? ".csv" : "_noadp.csv"));
  const std::vector<RefRow> rows = ReadReference(refPath);
  ASSERT_FALSE(rows.empty()) << refPath;
  CQLPatternList list;
  ASSERT_TRUE(ReadPatterns(cif, list)) << cif;
  ASSERT_GT(list.size(), ref.block);
  CQLCrystal& c = *std::next(list.begin(), static_cast<long>(ref.block))->get()->GetCrystal();
  CDiffractionSettings settings(true);
  settings.m_axisType = LXTypes::kAxis2Theta;
  settings.m_simulationType = neutron ? LXTypes::kSimNeutrons : LXTypes::kSimXRays;
  settings.m_lambda = neutron ? 1.54 : 1.540562;
  settings.m_dMin = settings.m_lambda / (2 * std::sin(std::acos(-1.0) / 3));
  settings.m_restrictMaxNumRefs = 0;
  c.m_useThermalEllipsoids = displacements;
  ASSERT_TRUE(c.Recompute(settings)) << cif;

  // Compare diffraction lines (all reflexions at one d): families of equal d may be split
  // differently by the two programs, but the line's total multiplicity, Σ mult·|F|² and intensity
  // are fixed by the structure.
  struct Line {
    double d = 0, multF2 = 0, relative = 0;
    int mult = 0;
  };
  // The reference prints d to six decimals, and distinct lines may lie only 1e-6 apart: both
  // sides are grouped by d as printed.
  auto addTo = [](std::vector<Line>& lines, double d, int mult, double f2, double relative) {
    d = std::round(d * 1e6) / 1e6;
    for (Line& l : lines) {
      if (std::fabs(l.d - d) <= 1e-9) {
        l.mult += mult, l.multF2 += mult * f2, l.relative += relative;
        return;
      }
    }
    lines.push_back({d, mult * f2, relative, mult});
  };
  std::vector<Line> expected, actual;
  for (const RefRow& row : rows) addTo(expected, row.d, row.mult, row.F2, row.relative);
  for (const auto& r : c.m_reflexions) addTo(actual, r->d, r->multiplicity, r->A * r->A + r->B * r->B, r->relativeIntensity);
  double maxMultF2 = 0;
  for (const Line& l : expected) maxMultF2 = std::max(maxMultF2, l.multF2);
  // Coordinates and cell are read as single-precision numbers, as the text readers have always
  // done: a position carries ~3e-8 of rounding, so a phase 2π·h·x with h up to ~40 moves by ~1e-5
  // rad, and |F|² agrees to about 1e-4 of the strongest line rather than to cctbx's 1e-6.
  int failures = 0;
  for (const Line& e : expected) {
    const auto a = std::min_element(actual.begin(), actual.end(), [&](const Line& x, const Line& y) {
      return std::fabs(x.d - e.d) < std::fabs(y.d - e.d);
    });
    if (a == actual.end() || std::fabs(a->d - e.d) > 1e-5) {
      ADD_FAILURE() << ref.stem << ": no line at d " << e.d;
    } else {
      EXPECT_EQ(a->mult, e.mult) << ref.stem << " d " << e.d;
      EXPECT_NEAR(a->multF2, e.multF2, 1e-4 * maxMultF2 + 1e-5 * e.multF2) << ref.stem << " d " << e.d;
      EXPECT_NEAR(a->relative, e.relative, 2e-4) << ref.stem << " d " << e.d;
    }
    if (::testing::Test::HasFailure() && ++failures > 5) return;
  }
  EXPECT_EQ(actual.size(), expected.size()) << ref.stem;
}

const Reference kReferences[] = {
    {"02_Si_COD9008565_origin1.cif", "02_Si_COD9008565_origin1", 0},
    {"04_Cu_COD9008468.cif", "04_Cu_COD9008468", 0},
    {"05_CsCl_VESTA.cif", "05_CsCl_VESTA", 0},
    {"06_quartz_COD1526860.cif", "06_quartz_COD1526860", 0},
    {"07_corundum_AMCSD0009325.cif", "07_corundum_AMCSD0009325", 0},
    {"08_calcite_AMCSD0000098.cif", "08_calcite_AMCSD0000098", 0},
    {"12_kyanite_COD9001833.cif", "12_kyanite_COD9001833", 0},
    {"14_NiAl2O4_COD9006030.cif", "14_NiAl2O4_COD9006030", 0},
    {"16_ferrierite_AMCSD.cif", "16_ferrierite_AMCSD", 0, "water sites labelled Wat... have no type symbol; the element taken from the label (unknown) differs from the reference's oxygen"},
    {"17_grunerite+galena_2blocks_AMCSD.cif", "17_grunerite+galena_2blocks_AMCSD.global_00001", 0},
    {"17_grunerite+galena_2blocks_AMCSD.cif", "17_grunerite+galena_2blocks_AMCSD.global_00002", 1},
    {"18_biachellaite_COD9014915.cif", "18_biachellaite_COD9014915", 0, "water sites labelled Wat... have no type symbol; the element taken from the label (unknown) differs from the reference's oxygen"},
    {"20_TaCuAl_giant_COD2104374.cif", "20_TaCuAl_giant_COD2104374", 0,
     "the reference moves every site within 0.5 A of a symmetry image onto the special position (7232 atoms), so "
     "its half-occupied split sites such as A43S lose half their images; here they keep them (7296 positions, "
     "as the formula sum Al3339.8 Cu231.95 Ta2336 requires)"},
    {"21_corundum_duplicate_tag_AMCSD0009325.cif", "07_corundum_AMCSD0009325", 0},
};

// Test listings name the structure rather than dumping the parameter's bytes.
void PrintTo(const Reference& ref, std::ostream* os) { *os << ref.stem; }

class CifReference : public ::testing::TestWithParam<Reference> {};
}  // namespace

TEST_P(CifReference, XRayReflexionsMatchTheReference) { CompareWithReference(GetParam(), false, false); }
TEST_P(CifReference, NeutronReflexionsMatchTheReference) { CompareWithReference(GetParam(), true, false); }
TEST_P(CifReference, XRayReflexionsWithDisplacementsMatchTheReference) { CompareWithReference(GetParam(), false, true); }
TEST_P(CifReference, NeutronReflexionsWithDisplacementsMatchTheReference) {
  CompareWithReference(GetParam(), true, true);
}

INSTANTIATE_TEST_SUITE_P(SharedTestData, CifReference, ::testing::ValuesIn(kReferences),
                         [](const ::testing::TestParamInfo<Reference>& info) {
                           std::string name = std::to_string(info.index) + "_" + info.param.stem;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST(CifRealFiles, GiantCellGivesOneListOnAnyThreadCount) {
  // 93,000 Å³ with 6,400 atoms, tensors on special positions and an F lattice: every parallel and
  // vectorised path of the structure factors runs. The list must not depend on the team's size.
  const std::string cif = qlwtest::SharedTestDataPath("cif/20_TaCuAl_giant_COD2104374.cif");
  if (cif.empty()) GTEST_SKIP() << "../shared/testdata is absent";
  auto run = [&](int threads) {
    omp_set_num_threads(threads);
    CQLPatternList list;
    EXPECT_TRUE(ReadPatterns(cif, list)) << cif;
    std::vector<CQLReflexion> out;
    if (list.empty()) return out;
    CQLCrystal& c = *list.front()->GetCrystal();
    EXPECT_TRUE(c.Recompute(CDiffractionSettings(true)));
    for (const auto& r : c.m_reflexions) out.push_back(*r);
    return out;
  };
  const int saved = omp_get_max_threads();
  const std::vector<CQLReflexion> one = run(1), eight = run(8);
  omp_set_num_threads(saved);
  ASSERT_EQ(one.size(), eight.size());
  ASSERT_GT(one.size(), 5000u);
  for (size_t i = 0; i < one.size(); ++i) {
    const CQLReflexion &a = one[i], &b = eight[i];
    ASSERT_TRUE(a.h == b.h && a.k == b.k && a.l == b.l && a.multiplicity == b.multiplicity) << i;
    EXPECT_EQ(a.d, b.d);
    EXPECT_EQ(a.A, b.A);
    EXPECT_EQ(a.B, b.B);
    EXPECT_EQ(a.intensity, b.intensity);
    EXPECT_EQ(a.relativeIntensity, b.relativeIntensity);
  }
}
