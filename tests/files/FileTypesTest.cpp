#include "FileTypes.h"

#include "FilesTestUtil.h"
#include "QLCIFFile.h"
#include "QLCrystal.h"
#include "QLSessionFile.h"
#include "QLSessionPre6File.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using filestest::Wide;
using filestest::WriteScratch;

namespace {
const std::string kCif =
    "data_nacl\n_cell_length_a 5.64\n_cell_length_b 5.64\n_cell_length_c 5.64\n_cell_angle_alpha 90\n"
    "_cell_angle_beta 90\n_cell_angle_gamma 90\n_symmetry_space_group_name_H-M 'F m -3 m'\n"
    "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
    "Na1 0 0 0\nCl1 0.5 0.5 0.5\n";
}  // namespace

TEST(FileTypes, PathExtension) {
  CString ext;
  EXPECT_EQ(std::wstring(GetPathExtension(L"/a/b.c/name", ext).GetString()), L"");
  EXPECT_EQ(std::wstring(GetPathExtension(L"/x/a.b.cif", ext).GetString()), L".cif");
  EXPECT_EQ(std::wstring(GetPathExtension(L"plain.TXT", ext).GetString()), L".TXT");
}

TEST(FileTypes, FactoryMakesOnlyTheClassesThatExist) {
  for (uint32_t code : {0u, 2u, 35u, 37u}) EXPECT_EQ(CreateFileForType(code), nullptr) << code;
  std::unique_ptr<CQlwFile> cif(CreateFileForType(22));
  ASSERT_NE(cif, nullptr);
  EXPECT_EQ(cif->GetFileType(), 22u);
  EXPECT_NE(dynamic_cast<CQLCIFFile*>(cif.get()), nullptr);
}

TEST(FileTypes, RecognisesByExtensionThenByContent) {
  EXPECT_EQ(IdentifyFileType(Wide(qlwtest::ScratchDir() + "/missing.cif").c_str(), false), 0u);
  // A pipe is no file: sniffing it would wait for a writer that never comes.
  const std::string pipe = qlwtest::ScratchDir() + "/pipe.cif";
  ::unlink(pipe.c_str());
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(IdentifyFileType(Wide(pipe).c_str(), true), 0u);
  // Without sniffing a single candidate is taken on trust.
  const std::wstring junkCif = Wide(WriteScratch("junk.cif", "not a structure\n"));
  EXPECT_EQ(IdentifyFileType(junkCif.c_str(), false), 22u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("a.struplo", "x")).c_str(), false), 37u);
  // With sniffing a refused candidate falls through to every content test.
  EXPECT_EQ(IdentifyFileType(junkCif.c_str(), true), 0u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("xy.cif", "10.0 250\n10.02 260\n")).c_str(), true), 12u);
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("real.cif", kCif)).c_str(), true), 22u);
}

TEST(FileTypes, StrictCifTestRunsBeforeTheLooseXyTest) {
  // Its coordinate rows hold pairs of numbers, so only the order keeps a CIF from passing as x-y data.
  const std::string numericCif = kCif + "loop_\n_refln_index_h\n_refln_F_squared_meas\n1 2.5\n2 3.5\n";
  for (const char* name : {"structure.txt", "structure", "structure.dat"}) {
    const std::wstring path = Wide(WriteScratch(name, numericCif));
    for (bool sniff : {false, true}) {
      if (std::string(name) == "structure.dat" && !sniff) continue;  // a single candidate is taken on trust
      EXPECT_EQ(IdentifyFileType(path.c_str(), sniff), 22u) << name << " sniff " << sniff;
    }
  }
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("profile.txt", "# x y\n20.0 13\n20.1 17\n")).c_str(), true), 12u);
}

TEST(FileTypes, CifCutShortIsReadAsCifAndReportedNotTakenForData) {
  // Cut after a loop whose rows begin with two numbers, before the atom sites.
  const std::string cut = "# comment\n" + kCif.substr(0, kCif.find("loop_")) +
                          "loop_\n_citation_id\n_citation_year\n1 1952\nloop_\n";
  const std::wstring path = Wide(WriteScratch("cut.cif", cut));
  ASSERT_EQ(IdentifyFileType(path.c_str(), true), 22u);
  std::unique_ptr<CQlwFile> file(CreateFileForType(22));
  ASSERT_TRUE(file->Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite));
  CQLPatternList list;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(file->ReadFile(&list, nullptr, nullptr));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Unexpected end of input file."), std::string::npos);
  EXPECT_TRUE(list.empty());
  // The same lines with no data block before them are data, whatever the name.
  EXPECT_EQ(IdentifyFileType(Wide(WriteScratch("nodata.cif", "# x y\n1 1952\n")).c_str(), true), 12u);
}

TEST(FileTypes, ReadFileReportsAndReadsNothingWhenNotOpen) {
  CQLCIFFile file;
  CQLPatternList list;
  EXPECT_FALSE(file.ReadFile(&list, nullptr, nullptr));
  EXPECT_TRUE(list.empty());
}

TEST(FileTypes, ReadFileTurnsReaderErrorsIntoFalseAndKeepsEarlierBlocks) {
  const std::string bad = kCif + "data_second\n_cell_length_a zz\n";
  CQLCIFFile file;
  ASSERT_TRUE(file.Open(Wide(WriteScratch("second_bad.cif", bad)).c_str(), CLXFile::modeRead));
  CQLPatternList list;
  EXPECT_FALSE(file.ReadFile(&list, nullptr, nullptr));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::wstring(list.front()->m_title.GetString()), L"nacl");
  EXPECT_FALSE(file.IsOpen());

  CQLCIFFile good;
  ASSERT_TRUE(good.Open(Wide(WriteScratch("good.cif", kCif)).c_str(), CLXFile::modeRead));
  CQLPatternList one;
  EXPECT_TRUE(good.ReadFile(&one, nullptr, nullptr));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one.front()->GetCrystal()->m_sites.size(), 2u);
}

TEST(FileTypes, ReadFileReadsTheBlocksThatIndexingFinds) {
  // A format that lists no blocks still has its one block; one whose indexing fails has none.
  struct Counting : CQlwFile {
    bool indexes = true;
    int reads = 0;
    bool IndexBlocks() override { return indexes; }
    void ReadBlock(uint32_t) override { ++reads; }
    void WriteBlock(uint32_t) override {}
  };
  const std::wstring path = Wide(WriteScratch("blocks.bin", "x"));
  for (bool indexes : {true, false}) {
    Counting file;
    file.indexes = indexes;
    ASSERT_TRUE(file.Open(path.c_str(), CLXFile::modeRead));
    CQLPatternList list;
    EXPECT_TRUE(file.ReadFile(&list, nullptr, nullptr));
    EXPECT_EQ(file.reads, indexes ? 1 : 0);
  }
}

// The session tests tell the user why a file could not be opened, once each, and answer no; the
// legacy test's own look at the current form stays quiet.
TEST(FileTypes, SessionTestsReportAFileTheyCannotOpen) {
  using TestFn = bool (*)(const wchar_t*, uint32_t&);
  const struct {
    const char* what;
    TestFn test;
  } cases[] = {
      {"current session", &CQLSessionFile::TestFile},
      {"legacy session", &CQLSessionPre6File::TestFile},
  };
  const std::wstring missing = Wide(qlwtest::ScratchDir() + "/gone.quillono");
  for (const auto& c : cases) {
    uint32_t code = 99;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(c.test(missing.c_str(), code)) << c.what;
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 0u) << c.what;
    const size_t first = told.find("gone.quillono' was not found");
    EXPECT_NE(first, std::string::npos) << c.what << ": " << told;
    EXPECT_EQ(told.find("gone.quillono' was not found", first + 1), std::string::npos) << c.what << ": " << told;
  }
}
