#include "QLSessionPre6File.h"

#include "DiffractionSettings.h"
#include "FileTypes.h"
#include "HexFixture.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

using filestest::BE32;
using filestest::LoadHex;
using filestest::Patch;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
struct Legacy {
  CQLPatternList patterns;
  CDiffractionSettings settings{true};
  CQlwDocWindowState state;
  std::vector<CQLPatternPtr> All() const { return {patterns.begin(), patterns.end()}; }
};

// The error that stops the read, 0 when none.
UINT Read(const std::string& bytes, Legacy& out, uint32_t* warnings = nullptr) {
  struct Reader : CQLSessionPre6File {
    UINT Run(Legacy& l) {
      m_readTarget = &l.patterns;
      m_readSettings = &l.settings;
      m_readWindowState = &l.state;
      try {
        ReadBlock(0);
      } catch (const CLXException& e) {
        return e.GetMessageId();
      }
      return 0;
    }
  } reader;
  EXPECT_TRUE(reader.Open(Wide(WriteScratch("legacy.qlsf", bytes)).c_str(), CLXFile::modeRead));
  const UINT error = reader.Run(out);
  if (warnings) *warnings = reader.WarningCount();
  return error;
}

UINT ReadError(const std::string& bytes) {
  Legacy scratch;
  return Read(bytes, scratch);
}

// Offsets in session-legacy.hex.
constexpr size_t kFVRS = 49, kFVRSEnd = 62, kFormatValue = 58, kVersionText = 39, kWeight2 = 157, kGrey = 220,
                 kPatternCount = 242, kFirstKind = 262, kSecondAtomTotal = 650, kFirstAUELCount = 498, kPLST = 826, kFirstCellA = 314,
                 kSTOP = 846;
}  // namespace

TEST(LegacySession, ReadsWindowPlotAndEveryPattern) {
  Legacy l;
  uint32_t warnings = 99;
  ASSERT_EQ(Read(LoadHex("session-legacy.hex"), l, &warnings), 0u);
  EXPECT_EQ(warnings, 0u);
  EXPECT_TRUE(l.state.showStructures);
  EXPECT_EQ(l.state.rect.m_rect.left, 20);
  EXPECT_EQ(l.state.rect.m_rect.bottom, 610);

  const CDiffractionSettings& s = l.settings;
  EXPECT_FLOAT_EQ(static_cast<float>(s.m_lambda), 1.5406f);
  EXPECT_FLOAT_EQ(static_cast<float>(s.m_lambda2), 1.5444f);
  EXPECT_DOUBLE_EQ(s.m_lambdaRatio, 4.0);
  EXPECT_EQ(s.m_axisType, LXTypes::kAxisTimeOfFlight);
  EXPECT_EQ(s.m_simulationType, LXTypes::kSimTimeOfFlight);
  EXPECT_EQ(s.m_fourthText, CString(L"Quartz run"));
  EXPECT_TRUE(s.m_showPlotTitle);
  EXPECT_DOUBLE_EQ(s.m_defaultXMax, 100.0);
  const CCursor* cursor = const_cast<CDiffractionSettings&>(s).GetCursor(false);
  ASSERT_NE(cursor, nullptr);
  EXPECT_TRUE(cursor->m_on);
  EXPECT_DOUBLE_EQ(cursor->m_x, 25.5);

  const auto all = l.All();
  ASSERT_EQ(all.size(), 3u);
  const CQLCrystal& first = *all[0]->GetCrystal();
  EXPECT_EQ(all[0]->m_title, CString(L"CsCl"));
  EXPECT_EQ(first.m_spaceGroupSymbol, CString(L"P m -3 m"));
  ASSERT_EQ(first.m_sites.size(), 2u);
  EXPECT_EQ(first.m_sites[0].m_species.at(0).m_name, CString(L"Cs"));
  EXPECT_FLOAT_EQ(static_cast<float>(first.m_sites[1].m_displacement->m_u), 0.015f);
  EXPECT_EQ(all[0]->m_color, 0xFFFF0000u);
  EXPECT_EQ(all[0]->m_lineStyle, 2u);
  EXPECT_EQ(all[0]->m_markerStyle, 1u);
  EXPECT_FLOAT_EQ(all[0]->m_lineWidth, 1.5f);
  EXPECT_TRUE(all[0]->m_labelDSpacing && all[0]->m_labelXUnits);
  const CQLCrystalPattern fresh(false);
  EXPECT_EQ(all[0]->m_labelHKL, fresh.m_labelHKL);
  EXPECT_EQ(all[0]->m_labelPhaseName, fresh.m_labelPhaseName);
  const auto& overlay = dynamic_cast<const CQLCrystalPattern&>(*all[0]);
  EXPECT_TRUE(overlay.m_showOverlay);
  EXPECT_EQ(overlay.m_overlayLineStyle, 1u);
  EXPECT_EQ(overlay.m_overlayColor, all[0]->m_color);

  // The second crystal reads although the first one's position counts came before it.
  const CQLCrystal& second = *all[1]->GetCrystal();
  EXPECT_EQ(second.m_spaceGroupSymbol, CString(L"P -1"));
  ASSERT_EQ(second.m_sites.size(), 1u);
  EXPECT_EQ(second.m_sites[0].m_positions.size(), 2u);
  // Stored in the binary order 11 22 33 23 13 12; all six terms differ.
  const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(second.m_sites[0].m_displacement.get());
  ASSERT_NE(aniso, nullptr);
  const float expected[9] = {0.01f, 0.006f, 0.005f, 0.006f, 0.02f, 0.004f, 0.005f, 0.004f, 0.03f};
  for (int i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(static_cast<float>(aniso->m_beta[i]), expected[i]) << i;

  const auto* observed = dynamic_cast<const CQLObservedPattern*>(all[2].get());
  ASSERT_NE(observed, nullptr);
  ASSERT_EQ(observed->m_profile.size(), 3u);
  EXPECT_DOUBLE_EQ(observed->m_profile[1].y, 7.25);
  EXPECT_FLOAT_EQ(static_cast<float>(observed->m_yScale), 2.0f);
  EXPECT_EQ(observed->m_autoYScale, 0);
  EXPECT_FLOAT_EQ(static_cast<float>(observed->m_yOffset), 3.0f);
  // PLST shows the first and the third.
  EXPECT_TRUE(all[0]->IsShown());
  EXPECT_FALSE(all[1]->IsShown());
  EXPECT_TRUE(all[2]->IsShown());
}

TEST(LegacySession, RefusesDamagedOrUnsupportedFiles) {
  const std::string legacy = LoadHex("session-legacy.hex");
  const std::string mac = legacy.substr(0, kFVRS) + legacy.substr(kFVRSEnd);
  const struct {
    const char* what;
    std::string bytes;
    UINT error;
  } cases[] = {
      {"valid", legacy, 0},
      {"without FVRS: a Mac file of format 1", mac, 0},
      {"Mac file from 4.0", Patch(mac, kVersionText, std::string("4.0\0\0", 5)), 22842},
      {"format version 4", Patch(legacy, kFormatValue, BE32(4)), 21115},
      {"more patterns than nPAT", Patch(legacy, kPatternCount, BE32(2)), 22853},
      {"a pattern before nPAT", Patch(legacy, kPatternCount - 8, "xPAT"), 21093},
      {"unknown pattern kind", Patch(legacy, kFirstKind, std::string("\0\3", 2)), 22856},
      {"atom total", Patch(legacy, kSecondAtomTotal, BE32(3)), 22839},
      {"ellipsoid count", Patch(legacy, kFirstAUELCount, BE32(3)), 22851},
      // alpha and beta 179°: within the editors' ranges, yet no cell closes.
      {"degenerate cell", Patch(Patch(legacy, kFirstCellA + 12, BE32(0x43330000u)), kFirstCellA + 16, BE32(0x43330000u)),
       22960},
      {"cut short", legacy.substr(0, 700), 21090},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadError(c.bytes), c.error) << c.what;
}

TEST(LegacySession, ACrystalWithACellNoEditorTakesIsLeftOutByName) {
  Legacy whole;
  ASSERT_EQ(Read(LoadHex("session-legacy.hex"), whole), 0u);
  const auto all = whole.All();
  ASSERT_EQ(all.size(), 3u);
  const struct {
    const char* what;
    size_t field;  // 0 to 5: a, b, c, alpha, beta, gamma
    uint32_t bits;
  } cases[] = {
      {"b of 1e30", 1, 0x7149F2CAu},
      {"c infinite", 2, 0x7F800000u},
      {"gamma below 1", 5, 0x3F000000u},  // 0.5
  };
  for (const auto& c : cases) {
    Legacy l;
    testing::internal::CaptureStderr();
    ASSERT_EQ(Read(Patch(LoadHex("session-legacy.hex"), kFirstCellA + 4 * c.field, BE32(c.bits)), l), 0u) << c.what;
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string alert = "The unit cell of CsCl is out of range";
    EXPECT_NE(err.find(alert), std::string::npos) << c.what << err;
    EXPECT_EQ(err.find(alert), err.rfind(alert)) << c.what << err;
    // The others are read, each shown or hidden as the file's list says.
    const auto rest = l.All();
    ASSERT_EQ(rest.size(), 2u) << c.what;
    for (size_t i = 0; i < rest.size(); ++i) {
      EXPECT_EQ(rest[i]->m_title, all[i + 1]->m_title) << c.what;
      EXPECT_EQ(rest[i]->IsShown(), all[i + 1]->IsShown()) << c.what;
    }
  }
}

TEST(LegacySession, UnusableWavelengthRatioKeepsTheDefaultWithAWarning) {
  Legacy l;
  uint32_t warnings = 0;
  ASSERT_EQ(Read(Patch(LoadHex("session-legacy.hex"), kWeight2, BE32(0)), l, &warnings), 0u);
  EXPECT_EQ(warnings, 1u);
  EXPECT_DOUBLE_EQ(l.settings.m_lambdaRatio, CDiffractionSettings(true).m_lambdaRatio);
}

TEST(LegacySession, ShownPatternsWithoutAListAndGatheredIntoMixtures) {
  const std::string legacy = LoadHex("session-legacy.hex");
  Legacy unlisted;
  ASSERT_EQ(Read(legacy.substr(0, kPLST) + legacy.substr(kSTOP), unlisted), 0u);
  for (const auto& p : unlisted.patterns) EXPECT_TRUE(p->IsShown());

  Legacy mixed;  // GREY becomes *MIX with a first byte of 1
  ASSERT_EQ(Read(Patch(legacy, kGrey, std::string("*MIX\0\0\0\2\1\0", 10)), mixed), 0u);
  const auto all = mixed.All();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]->m_title, CString(L"Triclinic"));
  const auto* simulated = dynamic_cast<const CQLMixturePattern*>(all[1].get());
  const auto* observed = dynamic_cast<const CQLMixturePattern*>(all[2].get());
  ASSERT_TRUE(simulated && observed);
  EXPECT_EQ(simulated->m_title, CString(L"Simulated Mixture"));
  EXPECT_EQ(observed->m_title, CString(L"Observed Mixture"));
  ASSERT_EQ(simulated->m_components.size(), 1u);
  EXPECT_EQ(simulated->m_components.front()->m_title, CString(L"CsCl"));
  EXPECT_TRUE(simulated->IsShown());
}

TEST(LegacySession, RecogniserAsksTheCurrentSessionTestFirst) {
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("old.qlsf", LoadHex("session-legacy.hex"))).c_str(), true), 11u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("new.qlsf", LoadHex("session-v6.hex"))).c_str(), true), 10u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("noext", LoadHex("session-legacy.hex"))).c_str(), true), 11u);
  uint32_t code = 0;
  EXPECT_FALSE(CQLSessionPre6File::TestFile(Wide(WriteScratch("new.quillono", LoadHex("session-v6.hex"))).c_str(), code));
  EXPECT_EQ(code, 0u);
}
