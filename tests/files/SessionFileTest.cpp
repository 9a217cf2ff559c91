#include "QLSessionFile.h"

#include "DiffractionSettings.h"
#include "FileTypes.h"
#include "HexFixture.h"
#include "QLCIFFile.h"
#include "QLCrystalFile.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using filestest::LE32;
using filestest::LoadHex;
using filestest::Patch;
using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
// The fixture's CRC trailer made to match its (patched) contents again.
std::string Resign(std::string bytes) {
  const size_t body = bytes.size() - 8;
  const uint32_t crc = ~CLXFile::UpdateCRC(0xFFFFFFFFu, reinterpret_cast<const uint8_t*>(bytes.data()), body);
  return bytes.replace(body + 4, 4, LE32(crc));
}

struct Session {
  CQLPatternList patterns;
  CDiffractionSettings settings{true};
  CQlwDocWindowState state;
};

bool ReadSession(const std::string& path, Session& s) {
  CQLSessionFile file;
  if (!file.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return false;
  return file.ReadFile(&s.patterns, &s.settings, &s.state);
}

bool WriteSession(const std::string& path, Session& s) {
  CQLSessionFile file;
  if (!file.Open(Wide(path).c_str(), CLXFile::modeReadWrite | CLXFile::modeCreate)) return false;
  const bool ok = file.WriteFile(&s.patterns, &s.settings, &s.state);
  file.Close();
  return ok;
}

// The error that stops a read, 0 when none.
UINT ReadError(const std::string& bytes) {
  struct Reader : CQLSessionFile {
    UINT Run(CQLPatternList& list) {
      m_readTarget = &list;
      try {
        ReadBlock(0);
      } catch (const CLXException& e) {
        return e.GetMessageId();
      }
      return 0;
    }
  } reader;
  EXPECT_TRUE(reader.Open(Wide(WriteScratch("damaged.quillono", bytes)).c_str(), CLXFile::modeRead));
  CQLPatternList list;
  return reader.Run(list);
}

constexpr size_t kVersionText = 69, kPlatformText = 94, kFormatValue = 105, kPatLength = 121, kUnknownLength = 148,
                 kTypeText = 390, kCellA = 491, kFirstRotation = 535;
}  // namespace

TEST(SessionFile, ReadsEveryBlockOfAHandWrittenFile) {
  Session s;
  ASSERT_TRUE(ReadSession(WriteScratch("fixture.quillono", LoadHex("session-v6.hex")), s));
  EXPECT_TRUE(s.state.showStructures);
  EXPECT_FALSE(s.state.showParameters);
  EXPECT_TRUE(s.state.showReflexions);
  EXPECT_EQ(s.state.structuresWidth, 250);
  EXPECT_DOUBLE_EQ(s.state.reflexionsRelHeight, 0.25);
  EXPECT_EQ(s.state.parametersTab, 2);
  EXPECT_EQ(s.state.openPanes, (std::list<CString>{L"Background", L"Film"}));
  EXPECT_FLOAT_EQ(s.state.rect.m_float.Width, 800.0f);

  EXPECT_EQ(s.settings.m_axisType, LXTypes::kAxisDSpacing);
  EXPECT_EQ(s.settings.m_simulationType, LXTypes::kSimNeutrons);
  EXPECT_FLOAT_EQ(static_cast<float>(s.settings.m_lambda), 0.7093f);
  EXPECT_EQ(s.settings.m_gridColor, 0xFFFF7F00u);
  EXPECT_EQ(s.settings.m_fourthText, CString(L"Zinc blende"));
  EXPECT_DOUBLE_EQ(s.settings.m_tthPeakWidth, CDiffractionSettings(true).m_tthPeakWidth);  // absent: unchanged

  ASSERT_EQ(s.patterns.size(), 1u);
  const auto& p = *s.patterns.front();
  EXPECT_EQ(p.m_title, CString(L"ZnS"));
  EXPECT_EQ(p.m_color, 0xFF0000FFu);
  EXPECT_TRUE(p.IsShown());
  EXPECT_DOUBLE_EQ(p.m_xOffset, 1.5);
  EXPECT_TRUE(p.m_showLabels);
  EXPECT_TRUE(p.m_labelHKL);
  const CQLCrystal& c = *p.GetCrystal();
  EXPECT_FLOAT_EQ(static_cast<float>(c.m_b), 5.5f);
  EXPECT_EQ(c.m_spaceGroupSymbol, CString(L"P 1"));
  ASSERT_EQ(c.m_operators.size(), 1u);
  EXPECT_EQ(c.m_operators[0].m_rotation[2][2], 1.0);
  ASSERT_EQ(c.m_sites.size(), 1u);
  EXPECT_EQ(c.m_sites[0].m_label, CString(L"Zn1"));
  EXPECT_EQ(c.m_sites[0].m_species.at(0).m_name, CString(L"Zn"));
  EXPECT_EQ(c.m_sites[0].m_positions.size(), 1u);
  // The beta tensor is stored row by row, nine doubles.
  const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(c.m_sites[0].m_displacement.get());
  ASSERT_NE(aniso, nullptr);
  EXPECT_DOUBLE_EQ(aniso->m_beta[1], 0.012);
  EXPECT_DOUBLE_EQ(aniso->m_beta[5], 0.023);
  EXPECT_DOUBLE_EQ(aniso->m_beta[8], 0.033);
  EXPECT_FLOAT_EQ(static_cast<float>(aniso->m_u), 0.02f);
}

TEST(SessionFile, RefusesDamagedOrForeignFiles) {
  const std::string v6 = LoadHex("session-v6.hex");
  const std::string bare = v6.substr(0, v6.size() - 8);
  const struct {
    const char* what;
    std::string bytes;
    UINT error;
  } cases[] = {
      {"valid", v6, 0},
      {"wrong CRC", Patch(v6, v6.size() - 1, "\x01"), 21088},
      // The trailer is where STOP ends, not wherever the last eight bytes are.
      {"a byte after the trailer", v6 + "x", 21088},
      {"a flipped bit and a byte after the trailer", Patch(v6, kCellA, "\x01") + "x", 21088},
      {"a trailer after STOP and a byte", bare + "x" + v6.substr(v6.size() - 8), 21088},
      {"Mac file with a byte after STOP", Patch(bare, kPlatformText, "Mac") + "x", 21088},
      {"format version 7", Resign(Patch(v6, kFormatValue, LE32(7))), 21115},
      {"format version 5", Resign(Patch(v6, kFormatValue, LE32(5))), 21085},
      {"Windows file without its trailer", bare, 22852},
      {"Mac file without a trailer", Patch(bare, kPlatformText, "Mac"), 0},
      {"Mac file from 5.0 alpha", Patch(Patch(bare, kPlatformText, "Mac"), kVersionText, "5.0.0a1  "), 22842},
      {"lower-case pattern type", Resign(Patch(v6, kTypeText, "sim")), 22856},
      {"bool record of length 2", Resign(Patch(v6, kPatLength, LE32(2))), 21093},
      {"record longer than its block", Resign(Patch(v6, kUnknownLength, LE32(0xFFFFFFF0u))), 21093},
      // alpha and beta 179°: within the editors' ranges, yet no cell closes.
      {"degenerate cell", Resign(Patch(Patch(v6, kCellA + 12, LE32(0x43330000u)), kCellA + 16, LE32(0x43330000u))), 22960},
      {"rotation entry 2", Resign(Patch(v6, kFirstRotation, LE32(2))), 21093},
      {"not a session", Patch(v6, 0, "QLSX"), 21088},
      {"cut short", v6.substr(0, 400), 21090},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadError(c.bytes), c.error) << c.what;

  uint32_t code = 0;
  EXPECT_TRUE(CQLSessionFile::TestFile(Wide(WriteScratch("ok.quillono", v6)).c_str(), code));
  EXPECT_EQ(code, 10u);
  EXPECT_FALSE(CQLSessionFile::TestFile(Wide(WriteScratch("v5.quillono", Patch(v6, kFormatValue, LE32(5)))).c_str(), code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("session.cif", v6)).c_str(), true), 10u);
}

TEST(SessionFile, SavesByteIdenticallyAndRereadsToTheSameBytes) {
  Session first;
  ASSERT_TRUE(ReadSession(WriteScratch("fixture.quillono", LoadHex("session-v6.hex")), first));
  const std::string a = qlwtest::ScratchDir() + "/a.quillono", b = qlwtest::ScratchDir() + "/b.quillono",
                    c = qlwtest::ScratchDir() + "/c.quillono";
  ASSERT_TRUE(WriteSession(a, first));
  ASSERT_TRUE(WriteSession(b, first));
  EXPECT_EQ(Slurp(a), Slurp(b));
  Session second;
  ASSERT_TRUE(ReadSession(a, second));
  ASSERT_TRUE(WriteSession(c, second));
  EXPECT_EQ(Slurp(a), Slurp(c));

  const std::string bytes = Slurp(a);
  EXPECT_EQ(bytes.substr(0, 4), "QLSF");
  EXPECT_EQ(bytes.substr(bytes.size() - 16, 12), std::string("STOP\0\0\0\0CRCK", 12));
  EXPECT_EQ(second.state.openPanes, first.state.openPanes);
  EXPECT_EQ(second.settings.m_fourthText, CString(L"Zinc blende"));
}

namespace {
void ExpectSameReflexionsAfterSaving(const std::string& cifPath) {
  CQLPatternList cif;
  {
    CQLCIFFile file;
    ASSERT_TRUE(file.Open(Wide(cifPath).c_str(), CLXFile::modeRead));
    ASSERT_TRUE(file.ReadFile(&cif, nullptr, nullptr));
  }
  Session saved;
  saved.patterns = cif;
  for (auto& p : saved.patterns) {
    p->ApplySettings(saved.settings);
    p->Recompute(saved.settings);
  }
  const std::string path = qlwtest::ScratchDir() + "/rutile.quillono";
  ASSERT_TRUE(WriteSession(path, saved));
  Session read;
  ASSERT_TRUE(ReadSession(path, read));
  ASSERT_EQ(read.patterns.size(), 1u);
  const CQLCrystal& original = *saved.patterns.front()->GetCrystal();
  // The stored list comes back as written, and a recompute gives it again.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      read.patterns.front()->ApplySettings(read.settings);
      read.patterns.front()->Recompute(read.settings);
    }
    const CQLCrystal& again = *read.patterns.front()->GetCrystal();
    ASSERT_EQ(again.m_reflexions.size(), original.m_reflexions.size()) << pass;
    for (size_t i = 0; i < original.m_reflexions.size(); ++i) {
      const auto &r = *original.m_reflexions[i], &q = *again.m_reflexions[i];
      EXPECT_EQ(std::make_tuple(q.h, q.k, q.l, q.multiplicity), std::make_tuple(r.h, r.k, r.l, r.multiplicity)) << i;
      EXPECT_NEAR(q.d, r.d, 1e-5 * r.d) << i;
      EXPECT_NEAR(q.intensity, r.intensity, 1e-4 * original.m_reflexions.front()->intensity + 1e-4 * r.intensity) << i;
    }
  }
}
}  // namespace

TEST(SessionFile, ReflexionsOfASavedStructureMatchTheOriginal) {
  // Rutile has isotropic displacements; corundum's anisotropic ones turn with each image.
  for (const std::string& path : {std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif",
                                  qlwtest::SharedTestDataPath("cif/07_corundum_AMCSD0009325.cif")}) {
    if (path.empty()) continue;
    SCOPED_TRACE(path);
    ExpectSameReflexionsAfterSaving(path);
  }
}


TEST(SessionFile, FailedSaveIsReportedAndLeavesTheOldSessionWhole) {
  const std::string path = WriteScratch("kept.quillono", LoadHex("session-v6.hex"));
  const std::string old = Slurp(path);
  Session s;
  ASSERT_TRUE(ReadSession(path, s));
  CQLSessionFile file;
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeReadWrite | CLXFile::modeCreate));
  // The disk refuses every byte beyond the first 200 of the new file.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit lowered = saved;
  lowered.rlim_cur = 200;
  setrlimit(RLIMIT_FSIZE, &lowered);
  testing::internal::CaptureStderr();
  const bool written = file.WriteFile(&s.patterns, &s.settings, &s.state);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_FALSE(written);
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Slurp(path), old);
}

TEST(SessionFile, MixturesAndObservedPatternsRoundTripAsATree) {
  Session s;
  ASSERT_TRUE(ReadSession(WriteScratch("fixture.quillono", LoadHex("session-v6.hex")), s));
  auto crystal = s.patterns.front();
  auto observed = std::make_shared<CQLObservedPattern>(CQLProfile{{10.0, 5.0}, {10.5, 7.25}, {11.0, 6.0}});
  observed->m_title = L"measured";
  observed->m_smoothing = 1;
  observed->m_smoothingPoints = 1;
  observed->m_smoothedStyle.color = 0xFF123456u;
  observed->m_smoothedStyle.markerStyle = 5;
  observed->m_extraStyle.lineStyle = 3;
  observed->m_controlPoints.push_back({10.0, 1.0, 0, 9.9, 1.1, 0, 10.1, 0.9, 0, observed.get()});
  auto inner = std::make_shared<CQLMixturePattern>();
  inner->m_title = L"inner";
  inner->m_components.push_back(observed);
  auto outer = std::make_shared<CQLMixturePattern>();
  outer->m_title = L"outer";
  outer->m_fillUp = 0;
  outer->SetExpanded(false);
  outer->m_components = {crystal, inner};
  s.patterns = {outer};

  const std::string a = qlwtest::ScratchDir() + "/tree-a.quillono", b = qlwtest::ScratchDir() + "/tree-b.quillono";
  ASSERT_TRUE(WriteSession(a, s));
  Session read;
  ASSERT_TRUE(ReadSession(a, read));
  ASSERT_EQ(read.patterns.size(), 1u);  // components live inside their mixture's BASE block
  const auto* m = dynamic_cast<const CQLMixturePattern*>(read.patterns.front().get());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->m_title, CString(L"outer"));
  EXPECT_FALSE(m->IsExpanded());
  EXPECT_EQ(m->m_fillUp, 0);
  ASSERT_EQ(m->m_components.size(), 2u);
  EXPECT_EQ(m->m_components.front()->GetCrystal()->m_sites.size(), 1u);
  const auto* i = dynamic_cast<const CQLMixturePattern*>(m->m_components.back().get());
  ASSERT_NE(i, nullptr);
  ASSERT_EQ(i->m_components.size(), 1u);
  const auto* o = dynamic_cast<const CQLObservedPattern*>(i->m_components.front().get());
  ASSERT_NE(o, nullptr);
  ASSERT_EQ(o->m_profile.size(), 3u);
  EXPECT_DOUBLE_EQ(o->m_profile[1].y, 7.25);
  EXPECT_EQ(o->m_smoothingPoints, 1);
  EXPECT_EQ(o->m_smoothedStyle.color, 0xFF123456u);
  EXPECT_EQ(o->m_smoothedStyle.markerStyle, 5u);
  EXPECT_EQ(o->m_extraStyle.lineStyle, 3u);
  ASSERT_EQ(o->m_controlPoints.size(), 1u);
  EXPECT_DOUBLE_EQ(o->m_controlPoints[0].rightX, 10.1);
  EXPECT_FALSE(o->m_smoothedCurve.empty());  // recomputed after reading
  ASSERT_TRUE(WriteSession(b, read));
  EXPECT_EQ(Slurp(a), Slurp(b));
}

TEST(SessionFile, ACrystalWithACellNoEditorTakesIsLeftOutByName) {
  Session fixture;
  ASSERT_TRUE(ReadSession(WriteScratch("fixture.quillono", LoadHex("session-v6.hex")), fixture));
  const auto& base = dynamic_cast<const CQLCrystalPattern&>(*fixture.patterns.front());
  auto crystal = [&](const wchar_t* title, double CQLCrystal::*field, double value) {
    auto p = std::make_shared<CQLCrystalPattern>(base);
    p->m_title = title;
    if (field) p->m_crystal.*field = value;
    return p;
  };
  const struct {
    const char* what;
    double CQLCrystal::*field;
    double value;
  } cases[] = {
      {"b of 1e30", &CQLCrystal::m_b, 1e30},
      {"a infinite", &CQLCrystal::m_a, INFINITY},
      {"alpha below 1", &CQLCrystal::m_alpha, 0.5},
      {"c beyond 10000", &CQLCrystal::m_c, 2e4},
  };
  for (const auto& c : cases) {
    Session s;
    auto mixture = std::make_shared<CQLMixturePattern>();
    mixture->m_title = L"Mixture";
    mixture->m_components = {crystal(L"Odd part", c.field, c.value), crystal(L"Part", nullptr, 0)};
    s.patterns = {crystal(L"Odd one", c.field, c.value), crystal(L"Good one", nullptr, 0), mixture};
    const std::string path = qlwtest::ScratchDir() + "/odd-cell.quillono";
    ASSERT_TRUE(WriteSession(path, s)) << c.what;
    Session read;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ReadSession(path, read)) << c.what;
    const std::string err = testing::internal::GetCapturedStderr();
    std::vector<CString> titles;
    for (const auto& p : read.patterns) titles.push_back(p->m_title);
    EXPECT_EQ(titles, (std::vector<CString>{L"Good one", L"Mixture"})) << c.what;
    const CQLPatternList* parts = read.patterns.back()->GetComponents();
    ASSERT_NE(parts, nullptr) << c.what;
    ASSERT_EQ(parts->size(), 1u) << c.what;
    EXPECT_EQ(parts->front()->m_title, CString(L"Part")) << c.what;
    for (const char* name : {"Odd one", "Odd part"}) {
      const std::string alert = std::string("The unit cell of ") + name + " is out of range";
      EXPECT_NE(err.find(alert), std::string::npos) << c.what << err;
      EXPECT_EQ(err.find(alert), err.rfind(alert)) << c.what << err;
    }
  }
}

TEST(SessionFile, ProfileGridAboveTwoToTheTwentyPointsIsDamage) {
  for (const uint64_t points : {uint64_t(1) << 20, (uint64_t(1) << 20) + 1, uint64_t(1) << 24}) {
    Session s;
    s.patterns = {std::make_shared<CQLCrystalPattern>()};
    s.settings.m_numProfilePoints = points;
    const std::string path = qlwtest::ScratchDir() + "/grid.quillono";
    ASSERT_TRUE(WriteSession(path, s));
    Session read;
    testing::internal::CaptureStderr();
    const bool ok = ReadSession(path, read);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, points <= (uint64_t(1) << 20)) << points;
    if (ok) EXPECT_EQ(read.settings.m_numProfilePoints, points);
  }
}

TEST(SessionFile, NestingOfMixturesIsBounded) {
  Session s;
  CQLPatternPtr deepest = std::make_shared<CQLMixturePattern>();
  for (int depth = 0; depth <= CQLSessionFile::kMaxNesting; ++depth) {
    auto parent = std::make_shared<CQLMixturePattern>();
    parent->m_components.push_back(deepest);
    deepest = parent;
  }
  s.patterns = {deepest};
  const std::string path = qlwtest::ScratchDir() + "/deep.quillono";
  ASSERT_TRUE(WriteSession(path, s));
  EXPECT_EQ(ReadError(Slurp(path)), 21093u);
}

TEST(SessionFile, TheFontOfAMacSessionIsTheFamilyThisSystemHasForIt) {
  Session saved;
  saved.settings.m_fontName = L"Helvetica";
  const std::string path = WriteScratch("font.quillono", "");
  ASSERT_TRUE(WriteSession(path, saved));
  const std::string windows = Slurp(path);
  const size_t platform = windows.find("PLAT") + 8;
  ASSERT_EQ(windows.substr(platform, 3), "Win");
  // The same file as the Mac platform writes it: no CRC trailer, and from a version that the Mac
  // platform still reads (whatever this build calls itself).
  const size_t version = windows.find("VERS") + 4;
  const uint32_t versionLength = uint32_t(uint8_t(windows[version])) | uint32_t(uint8_t(windows[version + 1])) << 8;
  ASSERT_GE(versionLength, 5u);
  std::string macVersion = "6.0.0";
  macVersion.resize(versionLength, ' ');
  const std::string mac =
      Patch(Patch(windows.substr(0, windows.size() - 8), platform, "Mac"), version + 4, macVersion);

  static std::vector<std::wstring> asked;
  asked.clear();
  CQLSessionFile::SetFontFamilyResolver([](const CString& name, CString& family) {
    asked.emplace_back(name.GetString());
    family = L"Liberation Sans";
    return true;
  });
  Session fromMac, fromWindows;
  const bool macRead = ReadSession(WriteScratch("mac.quillono", mac), fromMac);
  const bool windowsRead = ReadSession(WriteScratch("win.quillono", windows), fromWindows);
  CQLSessionFile::SetFontFamilyResolver(nullptr);
  ASSERT_TRUE(macRead);
  ASSERT_TRUE(windowsRead);
  EXPECT_EQ(fromMac.settings.m_fontName, CString(L"Liberation Sans"));
  EXPECT_EQ(fromWindows.settings.m_fontName, CString(L"Helvetica"));
  EXPECT_EQ(asked, std::vector<std::wstring>{L"Helvetica"});
}
