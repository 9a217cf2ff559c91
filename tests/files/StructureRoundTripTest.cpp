// Real CIFs that nobody here wrote, written by the program as CIF and as text crystal file and read
// again: the reflexions must be those of the original.
#include "DiffractionSettings.h"
#include "StructureTestUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>

using namespace filestest;

namespace {
std::vector<std::string> RealCifs() {
  std::vector<std::string> files;
  std::vector<std::string> folders = {"/usr/share/doc/cif2hkl/examples", "/usr/share/gdis/models"};
  const std::string shared = qlwtest::SharedTestDataPath("cif");
  if (!shared.empty()) folders.push_back(shared);
  for (const std::string& folder : folders) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
      if (entry.path().extension() == ".cif") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// One reflexion of the engine's list, as the reference tests compare them.
struct Reflexion {
  double d = 0, F2 = 0, relative = 0;
  int mult = 0;
};
using ReflexionMap = std::map<std::array<int, 3>, Reflexion>;

ReflexionMap Reflexions(CQLCrystal& c) {
  CDiffractionSettings settings(true);
  settings.m_axisType = LXTypes::kAxis2Theta;
  settings.m_simulationType = LXTypes::kSimXRays;
  settings.m_lambda = 1.540562;
  settings.m_dMin = settings.m_lambda / (2 * std::sin(std::acos(-1.0) / 3));
  settings.m_restrictMaxNumRefs = 0;
  EXPECT_TRUE(c.Recompute(settings));
  ReflexionMap out;
  for (const auto& r : c.m_reflexions)
    out[{r->h, r->k, r->l}] = {r->d, r->A * r->A + r->B * r->B, r->relativeIntensity, r->multiplicity};
  return out;
}

// The same engine computes both lists, so they agree reflexion by reflexion, to the tolerances of
// the reference tests (numbers are single precision in the files).
void ExpectSameReflexions(const ReflexionMap& expected, const ReflexionMap& actual, const std::string& what) {
  ASSERT_FALSE(expected.empty()) << what;
  EXPECT_EQ(actual.size(), expected.size()) << what;
  double maxF2 = 0;
  for (const auto& [hkl, r] : expected) maxF2 = std::max(maxF2, r.F2);
  int failures = 0;
  for (const auto& [hkl, e] : expected) {
    const auto a = actual.find(hkl);
    if (a == actual.end()) {
      ADD_FAILURE() << what << ": no reflexion " << hkl[0] << " " << hkl[1] << " " << hkl[2];
    } else {
      EXPECT_NEAR(a->second.d, e.d, 1e-5) << what;
      EXPECT_EQ(a->second.mult, e.mult) << what << " d " << e.d;
      EXPECT_NEAR(a->second.F2, e.F2, 1e-4 * maxF2 + 1e-5 * e.F2) << what << " d " << e.d;
      EXPECT_NEAR(a->second.relative, e.relative, 2e-4) << what << " d " << e.d;
    }
    if (::testing::Test::HasFailure() && ++failures > 5) return;
  }
}
}  // namespace

TEST(StructureRoundTrip, RealCifsWrittenAsCifAndTextCrystalKeepTheirReflexions) {
  const std::vector<std::string> files = RealCifs();
  if (files.empty()) GTEST_SKIP() << "neither cif2hkl, gdis-data nor ../shared/testdata is present";
  int compared = 0;
  for (const std::string& path : files) {
    CQLPatternList originals;
    // A file the reader refuses (none of these should be) is the reader tests' concern.
    if (!ReadStructures(path, originals)) {
      ADD_FAILURE() << path << " was not read";
      continue;
    }
    size_t block = 0;
    for (const CQLPatternPtr& original : originals) {
      const std::string name = std::filesystem::path(path).stem().string() + "_" + std::to_string(block++);
      const ReflexionMap expected = Reflexions(*original->GetCrystal());
      // The CIF reader takes the occupancy of a placeholder atom (caox: H1 at -1 -1 -1, 8.6); the
      // text crystal format refuses occupancies above 1, so such a file is written but not read.
      bool overfull = false;
      for (const CQLSite& site : original->GetCrystal()->m_sites)
        for (const CSiteSpecies& species : site.m_species) overfull = overfull || species.m_occupancy > 1;
      for (const auto& [type, extension] : {std::pair{kFileTypeCIF, ".cif"}, std::pair{kFileTypeLXTX, ".lxtx"}}) {
        const std::string written = qlwtest::ScratchDir() + "/roundtrip_" + name + extension;
        ASSERT_TRUE(WriteStructure(written, type, original)) << written;
        CQLPatternList back;
        if (overfull && type == kFileTypeLXTX) {
          EXPECT_FALSE(ReadStructures(written, back)) << written;
          continue;
        }
        ASSERT_TRUE(ReadStructures(written, back)) << written;
        ASSERT_EQ(back.size(), 1u) << written;
        ExpectSameReflexions(expected, Reflexions(*back.front()->GetCrystal()), name + extension);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 0);
}
