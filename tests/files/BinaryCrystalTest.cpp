#include "QLCrystalFile.h"
#include "QLPre5CrystalFile.h"

#include "FileTypes.h"
#include "HexFixture.h"
#include "QLCrystalPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using filestest::BE32;
using filestest::LE32;
using filestest::LoadHex;
using filestest::Patch;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
// Reads into a crystal of its own and answers the message id of the error that stopped it, 0 when none.
template <class File>
struct Reader : File {
  CQLCrystalPattern pattern;
  UINT Read(const std::string& name, const std::string& bytes) {
    if (!this->Open(Wide(WriteScratch(name, bytes)).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return 1;
    this->m_crystal = pattern.GetCrystal();
    try {
      this->ReadBlock(0);
    } catch (const CLXException& e) {
      return e.GetMessageId();
    }
    return 0;
  }
  const CQLCrystal& Crystal() const { return pattern.m_crystal; }
};

std::string WithCRC(const std::string& bytes, bool bigEndian, uint32_t delta = 0) {
  const uint32_t crc = ~CLXFile::UpdateCRC(0xFFFFFFFFu, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) + delta;
  return bytes + "CRCK" + (bigEndian ? BE32(crc) : LE32(crc));
}

// Offsets in crystal-v9.hex.
constexpr size_t kV9FormatByte = 17, kV9MapOffset = 28, kV9CellA = 36, kV9SiteCount = 112, kV9FirstSiteIndex = 235,
                 kV9EllipsoidCount = 326, kV9FirstEllipsoidType = 332, kV9Map = 394;
}  // namespace

TEST(BinaryCrystal, ReadsCurrentFormatWithEveryChunk) {
  const std::string path = WriteScratch("crystal-v9.lxdf", LoadHex("crystal-v9.hex"));
  CQLCrystalFile file(1);
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite));
  CQLPatternList list;
  ASSERT_TRUE(file.ReadFile(&list, nullptr, nullptr));
  ASSERT_EQ(list.size(), 1u);
  const auto& pattern = *list.front();
  EXPECT_EQ(pattern.m_title, CString(L"crystal-v9"));
  EXPECT_TRUE(pattern.IsShown());
  EXPECT_TRUE(file.IsFromWindows());
  EXPECT_EQ(file.FormatVersion(), 9u);
  EXPECT_EQ(file.VersionText(), CString(L"9.1.0"));

  const CQLCrystal& c = *pattern.GetCrystal();
  EXPECT_DOUBLE_EQ(c.m_a, 5.0);
  EXPECT_DOUBLE_EQ(c.m_c, 7.0);
  EXPECT_DOUBLE_EQ(c.m_alpha, 80.0);
  EXPECT_DOUBLE_EQ(c.m_gamma, 95.0);
  EXPECT_EQ(c.m_spaceGroupSymbol, CString(L"P -1"));
  ASSERT_EQ(c.m_operators.size(), 2u);
  EXPECT_EQ(c.m_operators[1].m_rotation[0][0], -1.0);
  ASSERT_EQ(c.m_sites.size(), 2u);
  EXPECT_EQ(c.m_sites[0].m_label, CString(L"Fe1"));
  EXPECT_EQ(c.m_sites[0].m_species.at(0).m_name, CString(L"Fe"));
  EXPECT_EQ(c.m_sites[1].m_species.at(0).m_name, CString(L"O"));
  EXPECT_EQ(c.m_sites[0].m_positions.size(), 1u);
  ASSERT_EQ(c.m_sites[1].m_positions.size(), 2u);
  EXPECT_DOUBLE_EQ(c.m_sites[1].m_positions[1][1], 0.875);
  EXPECT_DOUBLE_EQ(c.m_sites[1].m_z, 0.375);
  ASSERT_TRUE(c.m_sites[0].m_displacement);
  EXPECT_FLOAT_EQ(static_cast<float>(c.m_sites[0].m_displacement->m_u), 0.01f);
  // Stored in the binary order 11 22 33 23 13 12; all six terms differ.
  const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(c.m_sites[1].m_displacement.get());
  ASSERT_NE(aniso, nullptr);
  const float expected[9] = {0.01f, 0.006f, 0.005f, 0.006f, 0.02f, 0.004f, 0.005f, 0.004f, 0.03f};
  for (int i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(static_cast<float>(aniso->m_beta[i]), expected[i]) << i;
  EXPECT_FLOAT_EQ(static_cast<float>(aniso->m_u), 0.02f);
}

TEST(BinaryCrystal, RefusesDamagedHeadersMapsAndCounts) {
  const std::string v9 = LoadHex("crystal-v9.hex"), v5 = LoadHex("crystal-mac-v5.hex");
  std::string unlistedFirst = v9;  // the CELL chunk at 32 left out of the map
  unlistedFirst = Patch(unlistedFirst, kV9Map + 4, std::string{5, 0}) .erase(kV9Map + 6, 4);
  unlistedFirst = Patch(unlistedFirst, kV9Map + 4, std::string{5, 0});
  struct Case {
    const char* what;
    std::string bytes;
    UINT error;
  } cases[] = {
      {"valid", v9, 0},
      {"valid with its CRC", WithCRC(v9, false), 0},
      {"wrong CRC", WithCRC(v9, false, 1), 21088},
      // The trailer follows the chunk map; a byte after it must not hide it from the check.
      {"a byte after the trailer", WithCRC(v9, false) + "x", 21088},
      {"a flipped bit and a byte after the trailer", Patch(WithCRC(v9, false), kV9CellA, "\x01") + "x", 21088},
      {"a byte after the map", v9 + "x", 21088},
      {"big-endian file with its CRC", WithCRC(v5, true), 0},
      {"big-endian file with a byte after its trailer", WithCRC(v5, true) + "x", 21088},
      {"format 10", Patch(v9, kV9FormatByte, "\x0a"), 21115},
      {"format 8 reads the little-endian map offset big-endian", Patch(v9, kV9FormatByte, "\x08"), 21095},
      {"signature", Patch(v9, 4, "Lumaxisw0rks"), 21084},
      {"magic", Patch(v9, 0, "LXMF"), 21084},
      {"version text", Patch(v9, 18, "garbage   "), 21085},
      {"map offset 0", Patch(v9, kV9MapOffset, LE32(0)), 21095},
      {"map offset past the end", Patch(v9, kV9MapOffset, LE32(5000)), 21095},
      {"map offset not at the map", Patch(v9, kV9MapOffset, LE32(322)), 21095},
      {"offsets that do not ascend", Patch(v9, kV9Map + 10, LE32(60) + LE32(32)), 21095},
      {"chunk offset past the end", Patch(v9, kV9Map + 6 + 16, LE32(100000)), 21095},
      {"a tag listed twice", Patch(v9, 60, "CELL"), 21095},
      {"a read chunk missing from the map", unlistedFirst, 21095},
      {"site index -1", Patch(v9, kV9FirstSiteIndex, LE32(0xFFFFFFFFu)), 22839},
      {"site index past the last site", Patch(v9, kV9FirstSiteIndex, LE32(2)), 22839},
      {"kept positions differ from the count", Patch(v9, 215, LE32(4)), 22839},
      {"ellipsoid count", Patch(v9, kV9EllipsoidCount, LE32(3)), 22841},
      {"site count beyond the chunk", Patch(v9, kV9SiteCount, LE32(0x7FFFFFFF)), 21093},
      // gamma 170° against alpha 80° and beta 85°: within the editors' ranges, yet no cell closes.
      {"degenerate cell", Patch(v9, kV9CellA + 20, LE32(0x432A0000u)), 22960},
      {"cut short", v9.substr(0, 300), 21095},
  };
  for (const Case& c : cases) {
    Reader<CQLCrystalFile> reader;
    EXPECT_EQ(reader.Read("damaged.lxdf", c.bytes), c.error) << c.what;
  }
}

TEST(BinaryCrystal, ReadFileReportsCountErrorsAndAppendsNothing) {
  const std::string path =
      WriteScratch("bad-index.lxdf", Patch(LoadHex("crystal-v9.hex"), kV9FirstSiteIndex, LE32(0xFFFFFFFFu)));
  CQLCrystalFile file(1);
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead));
  CQLPatternList list;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(file.ReadFile(&list, nullptr, nullptr));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Incorrect number of atoms in file."), std::string::npos);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(file.IsOpen());
}

TEST(BinaryCrystal, InvalidTensorDropsOnlyItsOwnSiteWithOneAlert) {
  Reader<CQLCrystalFile> reader;
  testing::internal::CaptureStderr();
  // The first site's type becomes 2 (a U tensor) over six zero terms: not positive definite.
  EXPECT_EQ(reader.Read("adp.lxdf", Patch(LoadHex("crystal-v9.hex"), kV9FirstEllipsoidType, "\x02")), 0u);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("Invalid atomic displacement parameter."), err.rfind("Invalid atomic displacement parameter."));
  EXPECT_NE(err.find("Invalid atomic displacement parameter."), std::string::npos);
  EXPECT_FALSE(reader.Crystal().m_sites[0].m_displacement);
  // The later site's good tensor is kept.
  const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(reader.Crystal().m_sites[1].m_displacement.get());
  ASSERT_NE(aniso, nullptr);
  EXPECT_FLOAT_EQ(static_cast<float>(aniso->m_beta[8]), 0.03f);
  EXPECT_TRUE(reader.Crystal().m_hasDisplacements);
}

TEST(BinaryCrystal, ACellNoEditorTakesRefusesTheStructureByName) {
  auto floatBytes = [](float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    return LE32(bits);
  };
  const struct {
    const char* what;
    size_t field;  // 0 to 5: a, b, c, alpha, beta, gamma
    float value;
    bool read;
  } cases[] = {
      {"b of 1e30", 1, 1e30f, false},       {"a infinite", 0, INFINITY, false}, {"c not a number", 2, NAN, false},
      {"alpha below 1", 3, 0.5f, false},    {"gamma above 179", 5, 179.5f, false},
      {"the shortest edge", 0, 0.0001f, true}, {"the longest edge", 2, 10000.0f, true},
  };
  for (const auto& c : cases) {
    const std::string path = WriteScratch(
        "odd-cell.lxdf", Patch(LoadHex("crystal-v9.hex"), kV9CellA + 4 * c.field, floatBytes(c.value)));
    CQLCrystalFile file(1);
    ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead));
    CQLPatternList list;
    testing::internal::CaptureStderr();
    EXPECT_EQ(file.ReadFile(&list, nullptr, nullptr), c.read) << c.what;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(list.size(), c.read ? 1u : 0u) << c.what;
    const size_t alert = err.find("The unit cell of odd-cell is out of range");
    EXPECT_EQ(alert != std::string::npos, !c.read) << c.what << err;
    EXPECT_EQ(err.find("out of range"), err.rfind("out of range")) << c.what << err;  // one alert only
    EXPECT_EQ(err.find("cannot be built"), std::string::npos) << c.what << err;
  }
  // The files from before version 5 pass the same check: b = 15000 Å (big-endian there).
  const std::string path = WriteScratch("odd-old.lxdf", Patch(LoadHex("crystal-pre5.hex"), 115 + 4, BE32(0x466A6000u)));
  CQLPre5CrystalFile old;
  ASSERT_TRUE(old.Open(Wide(path).c_str(), CLXFile::modeRead));
  CQLPatternList list;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(old.ReadFile(&list, nullptr, nullptr));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(list.empty());
  EXPECT_NE(err.find("The unit cell of odd-old is out of range"), std::string::npos) << err;
  EXPECT_NE(err.find("b = 15000"), std::string::npos) << err;
}

TEST(BinaryCrystal, ReadsBigEndianMacFileWithOlderChunks) {
  Reader<CQLCrystalFile> reader;
  ASSERT_EQ(reader.Read("mac.lxd5", LoadHex("crystal-mac-v5.hex")), 0u);
  EXPECT_FALSE(reader.IsFromWindows());
  EXPECT_EQ(reader.FormatVersion(), 5u);
  EXPECT_EQ(reader.GetFileType(), 1u);  // a type-1 object reading an LXD5 file becomes type 4
  const CQLCrystal& c = reader.Crystal();
  EXPECT_DOUBLE_EQ(c.m_b, 4.5);
  EXPECT_DOUBLE_EQ(c.m_beta, 100.0);
  EXPECT_EQ(c.m_spaceGroupSymbol, CString(L"P 1"));  // identified from the one operator
  ASSERT_EQ(c.m_sites.size(), 1u);
  EXPECT_EQ(c.m_sites[0].m_label, CString(L"T1"));
  ASSERT_EQ(c.m_sites[0].m_species.size(), 2u);
  EXPECT_EQ(c.m_sites[0].m_species[1].m_name, CString(L"Al"));
  EXPECT_FLOAT_EQ(static_cast<float>(c.m_sites[0].m_species[1].m_occupancy), 0.25f);
  ASSERT_EQ(c.m_sites[0].m_positions.size(), 1u);  // the second record is beyond the position count
  EXPECT_FLOAT_EQ(static_cast<float>(c.m_sites[0].m_positions[0][2]), 0.3f);
}

TEST(BinaryCrystal, MacVersionsRefusedAsObsolete) {
  const std::string v5 = LoadHex("crystal-mac-v5.hex");
  const struct {
    const char* version;
    UINT error;
  } cases[] = {{"5.0.0b14  ", 21106}, {"5.0.0b15  ", 0}, {"7.0.0b0   ", 0}, {"7.0.0b5   ", 21107}, {"7.0.0b10  ", 0}};
  for (const auto& c : cases) {
    Reader<CQLCrystalFile> reader;
    reader.SetFilePath(L"x");
    EXPECT_EQ(reader.Read("mac.lxd5", Patch(v5, 18, c.version)), c.error) << c.version;
  }
}

TEST(BinaryCrystal, ContentTestsAndRecogniser) {
  const std::string v9 = LoadHex("crystal-v9.hex"), pre5 = LoadHex("crystal-pre5.hex");
  const struct {
    const char* name;
    std::string bytes;
    uint32_t code;
    bool accepted;
  } cases[] = {
      {"t1.bin", v9, 1, true},
      {"t2.bin", LoadHex("crystal-mac-v5.hex"), 4, true},
      {"t3.bin", Patch(v9, 0, "LXMF"), 2, false},
      {"t4.bin", Patch(v9, 0, "LXM5"), 5, false},
      {"t5.bin", pre5, 0, false},
  };
  for (const auto& c : cases) {
    uint32_t code = 99;
    EXPECT_EQ(CQLCrystalFile::TestFile(Wide(WriteScratch(c.name, c.bytes)).c_str(), code), c.accepted) << c.name;
    EXPECT_EQ(code, c.code) << c.name;
  }
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("current.lxdf", v9)).c_str(), true), 1u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("old.lxdf", pre5)).c_str(), true), 6u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("noext", pre5)).c_str(), true), 6u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("mol.lxmf", Patch(v9, 0, "LXMF"))).c_str(), true), 2u);
  std::unique_ptr<CQlwFile> file(CreateFileForType(4));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->GetFileType(), 4u);
}

TEST(Pre5Crystal, ReadsEveryRecordToTheEndOfTheFile) {
  const std::string path = WriteScratch("old.lxdf", LoadHex("crystal-pre5.hex"));
  uint32_t code = 0;
  EXPECT_TRUE(CQLPre5CrystalFile::TestFile(Wide(path).c_str(), code));
  EXPECT_EQ(code, 6u);
  CQLPre5CrystalFile file;
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead));
  CQLPatternList list;
  ASSERT_TRUE(file.ReadFile(&list, nullptr, nullptr));
  ASSERT_EQ(list.size(), 1u);
  const CQLCrystal& c = *list.front()->GetCrystal();
  EXPECT_FLOAT_EQ(static_cast<float>(c.m_a), 5.2f);
  EXPECT_DOUBLE_EQ(c.m_beta, 101.0);
  EXPECT_EQ(c.m_spaceGroupSymbol, CString(L"P 21/c"));
  EXPECT_EQ(c.m_latticeLetter, 'P');
  ASSERT_EQ(c.m_sites.size(), 1u);
  EXPECT_EQ(c.m_sites[0].m_label, CString(L"Zn1"));
  EXPECT_EQ(c.m_sites[0].m_species.at(0).m_name, CString(L"Zn"));
  ASSERT_EQ(c.m_sites[0].m_positions.size(), 2u);
  EXPECT_DOUBLE_EQ(c.m_sites[0].m_positions[1][2], 0.5);
  EXPECT_EQ(file.FormatVersion(), 4u);
}

TEST(Pre5Crystal, RefusesObsoleteDamagedAndMoleculeFiles) {
  const std::string pre5 = LoadHex("crystal-pre5.hex");
  const struct {
    const char* what;
    std::string bytes;
    UINT error;
  } cases[] = {
      {"2.0.0b11", Patch(pre5, 80, "2.0.0b11  "), 0},
      {"2.0.0b10", Patch(pre5, 80, "2.0.0b10  "), 21105},
      {"POLY item length", Patch(pre5, 260, BE32(15)), 21093},
      {"record running out of the file", pre5.substr(0, pre5.size() - 5), 21090},
      {"record length below its tag", Patch(pre5, 278, BE32(2)), 21090},
      {"magic", Patch(pre5, 4, "LXMF"), 21084},
      {"positions for a crystal without sites", pre5.substr(0, 207) + pre5.substr(294), 22839},
      {"degenerate cell", Patch(pre5, 115 + 20, BE32(0x43330000u)), 22960},  // gamma 179° beside beta 101°
  };
  for (const auto& c : cases) {
    Reader<CQLPre5CrystalFile> reader;
    EXPECT_EQ(reader.Read("old.lxdf", c.bytes), c.error) << c.what;
  }
  // Cut where a record would start: before the sites, or after them but before their positions.
  for (const size_t cut : {90, 107, 139, 207, 250, 278, 294}) {
    Reader<CQLPre5CrystalFile> reader;
    EXPECT_EQ(reader.Read("cut.lxdf", pre5.substr(0, cut)), 21090u) << "cut at " << cut;
  }
  uint32_t code = 99;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CQLPre5CrystalFile::TestFile(Wide(WriteScratch("mol.lxmf", Patch(pre5, 4, "LXMF"))).c_str(), code));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Molecule files not permitted."), std::string::npos);
  EXPECT_EQ(code, 0u);
}
