// Profile files (written and read back) and the reflexion and structure-factor listings.
#include "QLListingFile.h"
#include "QLProfileFile.h"

#include "FileTypes.h"
#include "FilesTestUtil.h"
#include "QLCIFFile.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
// Writes the list with a fresh file object of the type; what WriteFile answered.
bool Export(uint32_t type, const std::string& path, CQLPatternList& list, CDiffractionSettings& settings) {
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  EXPECT_TRUE(file);
  EXPECT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
  const bool written = file->WriteFile(&list, &settings, nullptr);
  file->Close();
  return written;
}

CQLPatternPtr ComputedRutile(CDiffractionSettings& settings) {
  CQLCIFFile file;
  CQLPatternList list;
  EXPECT_TRUE(file.Open(CString(QLW_SOURCE_DIR "/examples/rutile.cif").GetString(), CLXFile::modeRead));
  EXPECT_TRUE(file.ReadFile(&list, nullptr, nullptr));
  settings.m_lambda = 1.5406;
  list.front()->ApplySettings(settings);
  return list.front();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
}  // namespace

TEST(ProfileFile, WritesTheVisibleRangeAsPlotted) {
  // x offset 0.5: the points land at 9.5, 10, 15, 20, 20.5 and 11.5.
  auto observed = std::make_shared<CQLObservedPattern>(CQLProfile{{9, 1}, {9.5, 100}, {14.5, 2}, {19.5, 3}, {20, 4}, {11, 5}});
  observed->m_xOffset = 0.5;
  observed->m_yOffset = 5;
  observed->m_fraction = 0.5;
  observed->m_yScale = 2;
  CDiffractionSettings settings(true);
  settings.m_visibleXMin = 10;
  settings.m_visibleXMax = 20;
  CQLPatternList list{observed};
  const std::string path = qlwtest::ScratchDir() + "/range.txt";
  ASSERT_TRUE(Export(kFileTypeProfile, path, list, settings));
  EXPECT_EQ(Slurp(path), "10.0000\t1.0500e+02\n15.0000\t7.0000e+00\n20.0000\t8.0000e+00\n");
}

TEST(ProfileFile, TooFewPointsAreRefusedAndTheOldFileKept) {
  CDiffractionSettings settings(true);
  const std::string path = WriteScratch("kept.txt", "old profile\n");
  auto crystal = std::make_shared<CQLCrystalPattern>(true);
  crystal->m_profile = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  auto outside = std::make_shared<CQLObservedPattern>(CQLProfile{{100, 1}, {120, 2}});  // beyond the visible 0 to 80
  for (const CQLPatternPtr& pattern : {CQLPatternPtr(crystal), CQLPatternPtr(outside), CQLPatternPtr()}) {
    CQLPatternList list;
    if (pattern) list.push_back(pattern);
    EXPECT_THROW(Export(kFileTypeProfile, path, list, settings), CLXXFileProfileTooFewPoints);
    EXPECT_EQ(Slurp(path), "old profile\n");
  }
  CQLPatternList single{std::make_shared<CQLObservedPattern>(CQLProfile{{1.5, 2.5}})};
  ASSERT_TRUE(Export(kFileTypeProfile, path, single, settings));
  EXPECT_EQ(Slurp(path), "1.5000\t2.5000e+00\n");
}

TEST(ProfileFile, ContentTest) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {"x intensity\n10.0 5.5\n", true},
      {"x\t\"Rutile\"\n10.0\t5.5\n", true},
      {"10.0 5.5\n10.5 6\n", true},
      {"x intensity\nten five\n", false},
      {"x Intensity\n10.0 5.5\n", false},
      {"10.0 5.5\n", false},
      {"10.0 5.5\nend\n", false},
      {"", false},
      {"\n10.0 5.5\n", false},
  };
  for (const auto& c : cases) {
    uint32_t type = 99;
    EXPECT_EQ(CQLProfileFile::TestFile(Wide(WriteScratch("test.prf", c.text)).c_str(), type), c.accepted) << c.text;
    EXPECT_EQ(type, c.accepted ? 13u : 0u) << c.text;
  }
}

TEST(ProfileFile, WrittenProfileReadsBackAsAnObservedPattern) {
  CDiffractionSettings settings(true);
  CQLPatternPtr rutile = ComputedRutile(settings);
  rutile->GetComputedProfile(settings);
  CQLPatternList list{rutile};
  const std::string path = qlwtest::ScratchDir() + "/rutile.prf";
  ASSERT_TRUE(Export(kFileTypeProfile, path, list, settings));

  CQLProfileFile file;
  CQLPatternList read;
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead));
  ASSERT_TRUE(file.ReadFile(&read, nullptr, nullptr));
  ASSERT_EQ(read.size(), 1u);
  const CQLPattern& observed = *read.front();
  EXPECT_EQ(observed.GetPatternType(), kPatternObserved);
  EXPECT_EQ(observed.m_title, CString(L"rutile"));
  const CQLProfile& written = rutile->GetProfile(false);
  const CQLProfile& points = observed.m_profile;
  // The visible range 0 to 80 of the 0 to 180 grid, both ends included.
  ASSERT_EQ(points.size(), 32001u);
  for (size_t i = 0; i < points.size(); i += 997) {
    EXPECT_NEAR(points[i].x, written[i].x, 5e-5);
    EXPECT_NEAR(points[i].y, written[i].y, std::abs(written[i].y) * 1e-4 + 1e-30);
  }
}

TEST(ProfileFile, FileWithoutPointsIsAnErrorNotAnEmptyPattern) {
  for (const char* text : {"", "x intensity\nno numbers here\n"}) {
    CQLProfileFile file;
    CQLPatternList read;
    ASSERT_TRUE(file.Open(Wide(WriteScratch("nodata.prf", text)).c_str(), CLXFile::modeRead));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file.ReadFile(&read, nullptr, nullptr));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("No data in file."), std::string::npos);
    EXPECT_TRUE(read.empty());
  }
}

TEST(Listings, ReflexionListingLayout) {
  CDiffractionSettings settings(true);
  CQLPatternPtr rutile = ComputedRutile(settings);
  CQLPatternList list{rutile};
  const std::string path = qlwtest::ScratchDir() + "/rutile.lst";
  ASSERT_TRUE(Export(kFileTypeListing, path, list, settings));
  const std::vector<std::string> lines = Lines(Slurp(path));
  const std::string stars(72, '*');
  const size_t count = rutile->GetCrystal()->m_reflexions.size();
  ASSERT_EQ(lines.size(), 5 + count + 1);
  EXPECT_EQ(lines[0], stars);
  EXPECT_EQ(lines[1].rfind("Generated by Quillonographic version ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "  h   k   l   d(hkl)    2-Theta     Intensity  I/Imax   m     N        Lp");
  EXPECT_EQ(lines[4], "");
  // Rutile's strongest line: 1 1 0 at d 3.248 Å, 27.44° for Cu Kα1, four members, h²+k²+l² = 2.
  int h, k, l, m, n;
  double d, x, intensity, relative, lp;
  ASSERT_EQ(std::sscanf(lines[5].c_str(), "%d %d %d %lf %lf %lf %lf%% %d %d %lf", &h, &k, &l, &d, &x, &intensity, &relative,
                        &m, &n, &lp), 10) << lines[5];
  EXPECT_EQ(lines[5].size(), 73u);
  EXPECT_EQ(std::vector<int>({h, k, l, m, n}), std::vector<int>({1, 1, 0, 4, 2}));
  EXPECT_NEAR(d, 3.2482, 1e-4);
  EXPECT_NEAR(x, 27.436, 1e-3);
  EXPECT_EQ(relative, 100.0) << "the strongest line is 100 %";
  EXPECT_EQ(lines.back(), stars);
}

TEST(Listings, StructureFactorLayoutAndPhases) {
  CDiffractionSettings settings(true);
  CQLPatternPtr rutile = ComputedRutile(settings);
  CQLPatternList list{rutile};
  const std::string path = qlwtest::ScratchDir() + "/rutile.sf";
  ASSERT_TRUE(Export(kFileTypeStructFac, path, list, settings));
  const std::vector<std::string> lines = Lines(Slurp(path));
  const auto& reflexions = rutile->GetCrystal()->m_reflexions;
  ASSERT_EQ(lines.size(), 5 + reflexions.size() + 1);
  EXPECT_EQ(lines[3], "ref no.   h   k   l   d(hkl)    Phase       Lp     F(Re)    F(Im)  Intensity");
  EXPECT_EQ(lines[5].substr(0, 28), "[   1]    1   1   0   3.2482") << lines[5];
  char last[8];
  std::snprintf(last, sizeof last, "[%4zu]", reflexions.size());
  EXPECT_EQ(lines[4 + reflexions.size()].substr(0, 6), last);

  const struct {
    double radians, degrees;
  } phases[] = {{-0.5, 331.352}, {2 * std::acos(-1.0), 0.0}, {std::acos(-1.0), 180.0}, {0.25, 14.324}, {-1e-9, 0.0}};
  for (const auto& p : phases) EXPECT_DOUBLE_EQ(PhaseInDegrees(p.radians), p.degrees) << p.radians;
  EXPECT_DOUBLE_EQ(RoundToDecimals(2.0625, 3), 2.063);
  EXPECT_DOUBLE_EQ(RoundToDecimals(-2.0625, 3), -2.063);
  EXPECT_DOUBLE_EQ(RoundToDecimals(2.0624, 3), 2.062);
}

TEST(Listings, NothingToListIsAnErrorAndWritesNoFile) {
  CDiffractionSettings settings(true);
  CQLPatternPtr rutile = ComputedRutile(settings);
  auto mixture = std::make_shared<CQLMixturePattern>(true);
  mixture->m_components.push_back(rutile);
  auto empty = std::make_shared<CQLCrystalPattern>(true);
  for (uint32_t type : {kFileTypeListing, kFileTypeStructFac}) {
    for (const CQLPatternPtr& first : {CQLPatternPtr(mixture), CQLPatternPtr(empty)}) {
      CQLPatternList list{first, rutile};
      const std::string path = qlwtest::ScratchDir() + "/nothing.lst";
      std::remove(path.c_str());
      EXPECT_THROW(Export(type, path, list, settings), CLXXFileNoReflexions);
      EXPECT_FALSE(std::filesystem::exists(path));
    }
  }
}
