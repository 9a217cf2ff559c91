// Observed-data files: the x–y data set and the Rigaku file, their content tests, their errors,
// the recogniser and factory for them, and measured files written by others.
#include "FileTypes.h"
#include "FilesTestUtil.h"
#include "QLDatasetFile.h"
#include "QLObservedPattern.h"
#include "QLPatternFlat.h"
#include "QLRigakuFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using filestest::Wide;
using filestest::WriteScratch;
using namespace std::string_literals;

namespace {
CQLPatternPtr ReadThrough(const std::string& path, uint32_t type) {
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file || !file->Open(Wide(path).c_str(), CLXFile::modeRead)) return nullptr;
  CQLPatternList list;
  if (!file->ReadFile(&list, nullptr, nullptr)) return nullptr;
  EXPECT_EQ(list.size(), 1u);
  return list.empty() ? nullptr : list.front();
}

// Reads a data set or a Rigaku file through the factory; the points, or the error's message.
struct ReadResult {
  CQLPatternPtr pattern;
  std::string alert;
};

ReadResult Read(const std::string& name, const std::string& text, uint32_t type) {
  const std::string path = WriteScratch(name, text);
  testing::internal::CaptureStderr();
  ReadResult r;
  r.pattern = ReadThrough(path, type);
  r.alert = testing::internal::GetCapturedStderr();
  return r;
}

std::string FitykSample(const char* name) {
  const std::string path = std::string(QLW_FIXTURES_DIR) + "/fityk/usr/share/fityk/samples/" + name;
  return std::filesystem::exists(path) ? path : std::string();
}

// The file layer's recogniser in the pattern factory for one test, then the stand-in again.
struct RecogniserInstalled {
  RecogniserInstalled() { InstallFileTypeRecogniser(); }
  ~RecogniserInstalled() { CQLPattern::SetFileTypeRecogniser(nullptr); }
};

const std::string kRigakuHeader = "*TYPE = RAW\n*START = 10\n*STOP = 11\n*STEP = 0.5\n*COUNT = 3\n";
}  // namespace

TEST(DatasetFile, ContentTestWantsALineStartingWithTwoNumbers) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {"# scan\ntitle line\n\n10.5 200\n", true},
      {"1.0 2.0 3.0\n", true},
      {"only text\nand more text\n", false},
      {"12.9\n11.3\n10.6\n", false},
      {"", false},
      {"nan nan\n", false},
  };
  for (const auto& c : cases) {
    const std::string path = WriteScratch("test.xy", c.text);
    uint32_t type = 99;
    EXPECT_EQ(CQLDatasetFile::TestFile(Wide(path).c_str(), type), c.accepted) << c.text;
    EXPECT_EQ(type, c.accepted ? 12u : 0u) << c.text;
  }
  uint32_t type = 99;
  EXPECT_FALSE(CQLDatasetFile::TestFile(L"/nonexistent/data.xy", type));
}

TEST(DatasetFile, ReadsPointsAndPassesOverEverythingElse) {
  // CR, CR-LF and LF end lines (a zero byte makes the file no data set); a third number is
  // ignored, a single one skipped.
  std::string text = "Sample 7\r\n2theta counts\r10.0 100\n1.0 2.0 3.0\n42\n\n  11.5\t-3e2 tail\n";
  text += "12 7\r\n13 8\n";
  text += std::string(300, '9') + " 5\n";  // cut to 255 characters: still one number, skipped
  text += "1e39 4\n14 5";                   // an overflowing value is no point; no final line end
  const ReadResult r = Read("mixed.xy", text, 12);
  ASSERT_NE(r.pattern, nullptr) << r.alert;
  const CQLProfile& p = r.pattern->GetProfile(true);
  const CQLProfile expected = {{1.0, 2.0}, {10.0, 100.0}, {11.5, -300.0}, {12.0, 7.0}, {13.0, 8.0}, {14.0, 5.0}};
  ASSERT_EQ(p.size(), expected.size());
  for (size_t i = 0; i < p.size(); ++i) {
    EXPECT_EQ(p[i].x, expected[i].x) << i;
    EXPECT_EQ(p[i].y, expected[i].y) << i;
  }
  EXPECT_EQ(r.pattern->GetPatternType(), kPatternObserved);
  EXPECT_EQ(r.pattern->m_title, CString(L"mixed"));
  EXPECT_TRUE(r.pattern->IsShown());
  EXPECT_EQ(r.pattern->m_settingsPending, 1u);
}

TEST(ObservedDataFiles, FallingXIsReadRising) {
  const struct {
    const char* name;
    std::string text;
    uint32_t type;
  } cases[] = {
      {"falling.xy", "30 5\n20 7\n20 8\n10 9\n", 12},
      {"falling.asc", "*START = 30\n*STOP = 10\n*STEP = -10\n*COUNT = 3\n5, 7, 9\n", 34},
  };
  for (const auto& c : cases) {
    const ReadResult r = Read(c.name, c.text, c.type);
    ASSERT_NE(r.pattern, nullptr) << c.name << r.alert;
    const CQLProfile& p = r.pattern->GetProfile(true);
    ASSERT_GE(p.size(), 3u) << c.name;
    EXPECT_EQ(p.front().x, 10.0) << c.name;
    EXPECT_EQ(p.front().y, 9.0) << c.name;
    EXPECT_EQ(p.back().x, 30.0) << c.name;
    EXPECT_EQ(p.back().y, 5.0) << c.name;
    for (size_t i = 1; i < p.size(); ++i) EXPECT_LE(p[i - 1].x, p[i].x) << c.name << " " << i;
    // Data that rise get a background to edit.
    auto* observed = dynamic_cast<CQLObservedPattern*>(r.pattern.get());
    ASSERT_NE(observed, nullptr);
    observed->AddBackgroundCurve();
    EXPECT_EQ(observed->m_controlPoints.size(), 2u) << c.name;
  }
  // Points at the same x keep the order of the file.
  const ReadResult r = Read("falling.xy", cases[0].text, 12);
  ASSERT_NE(r.pattern, nullptr);
  EXPECT_EQ(r.pattern->GetProfile(true)[1].y, 7.0);
  EXPECT_EQ(r.pattern->GetProfile(true)[2].y, 8.0);
}

TEST(DatasetFile, AFileWithoutPointsIsAnError) {
  for (const char* text : {"", "\n", "# header only\nno numbers here\n"}) {
    const ReadResult r = Read("empty.xy", text, 12);
    EXPECT_EQ(r.pattern, nullptr) << '"' << text << '"';
    EXPECT_NE(r.alert.find("No data in file."), std::string::npos) << r.alert;
  }
  CQLDatasetFile closed;
  CQLPatternList list;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(closed.ReadFile(&list, nullptr, nullptr));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Unable to open file."), std::string::npos);
  EXPECT_TRUE(list.empty());
}

TEST(RigakuFile, ContentTestWantsTheFourKeywords) {
  const struct {
    std::string text;
    bool accepted;
  } cases[] = {
      {kRigakuHeader + "1,2,3\n*END\n", true},
      {"  *COUNT=3\n*STOP 2\n*STEP\n\t*START x\n", true},  // the test looks at the words only
      {"*START = 10\n*STOP = 11\n*STEP = 0.5\n", false},
      {"*start = 10\n*stop = 11\n*step = 0.5\n*count = 3\n", false},
      {"10 20\n", false},
  };
  for (const auto& c : cases) {
    const std::string path = WriteScratch("test.asc", c.text);
    uint32_t type = 99;
    EXPECT_EQ(CQLRigakuFile::TestFile(Wide(path).c_str(), type), c.accepted) << c.text;
    EXPECT_EQ(type, c.accepted ? 34u : 0u) << c.text;
  }
}

TEST(RigakuFile, ReadsIntensitiesFromTheStartByTheStep) {
  const ReadResult r = Read("scan.asc", kRigakuHeader + "100, 120,130\n\n*END\n999\n", 34);
  ASSERT_NE(r.pattern, nullptr) << r.alert;
  const CQLProfile& p = r.pattern->GetProfile(true);
  ASSERT_EQ(p.size(), 3u) << "values after *END are not read";
  EXPECT_EQ(p[0].x, 10.0);
  EXPECT_EQ(p[1].x, 10.5);
  EXPECT_EQ(p[2].x, 11.0);
  EXPECT_EQ(p[2].y, 130.0);
  EXPECT_EQ(r.pattern->m_title, CString(L"scan"));

  // Values may spread over lines; "=" may stand with or without blanks.
  const ReadResult spread =
      Read("spread.asc", "*START=10\n*STOP= 11\n*STEP =0.5\n*COUNT = 3\n100,,\n120\n,130\n", 34);
  ASSERT_NE(spread.pattern, nullptr) << spread.alert;
  EXPECT_EQ(spread.pattern->GetProfile(true).size(), 3u);
}

TEST(RigakuFile, RefusesHeadersThatDoNotAgreeAndWarnsOfValuesThatDoNotCount) {
  const std::string tenToTwenty = "*START = 10\n*STOP = 20\n*STEP = 0.5\n";
  auto values = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? "," : "") + std::to_string(100 + i);
    return s + "\n";
  };
  const std::string kBadRange = qlwtest::AlertMessage(22845);
  const std::string kMissingBlock = qlwtest::AlertMessage(22849);
  ASSERT_FALSE(kBadRange.empty());
  ASSERT_FALSE(kMissingBlock.empty());
  const struct {
    const char* what;
    std::string text;
    std::string message;  // empty: read
    double lastX;         // of a file that is read
    const wchar_t* warning;
  } cases[] = {
      {"count that fits the range", tenToTwenty + "*COUNT = 21\n" + values(21), "", 20.0, nullptr},
      {"count one short of the range", tenToTwenty + "*COUNT = 20\n" + values(20), kBadRange},
      {"count one over the range", tenToTwenty + "*COUNT = 22\n" + values(22), kBadRange},
      {"fewer values than counted", tenToTwenty + "*COUNT = 21\n" + values(20), "", 19.5,
       L"holds 20 values where *COUNT gives 21"},
      {"more values than counted", tenToTwenty + "*COUNT = 21\n" + values(22), "", 20.5,
       L"holds 22 values where *COUNT gives 21"},
      {"zero step", "*START = 10\n*STOP = 20\n*STEP = 0\n*COUNT = 1\n1\n", kBadRange},
      {"a step without '='", "*START = 10\n*STOP = 20\n*STEP 0.5\n*COUNT = 21\n", "Invalid *STEP block."},
      {"a count that is no number", tenToTwenty + "*COUNT = many\n", "Invalid *COUNT block."},
      {"a start that is no number", "*START = ?\n", "Invalid *START block."},
      {"a stop that is no number", "*STOP = nan\n", "Invalid *STOP block."},
      {"no stop", "*START = 10\n*STEP = 0.5\n*COUNT = 21\n" + values(21), kMissingBlock},
      {"letters among the values", tenToTwenty + "*COUNT = 21\n100,abc,120\n", "Invalid data value."},
  };
  for (const auto& c : cases) {
    CLXLogCapture log(false);
    const ReadResult r = Read("range.asc", c.text, 34);
    const std::vector<CString> warnings = log.GetWarnings();
    if (c.message.empty()) {
      ASSERT_NE(r.pattern, nullptr) << c.what << ": " << r.alert;
      EXPECT_EQ(r.pattern->GetProfile(true).back().x, c.lastX) << c.what;
      if (c.warning) {
        ASSERT_EQ(warnings.size(), 1u) << c.what;
        EXPECT_NE(std::wstring(warnings[0].GetString()).find(c.warning), std::wstring::npos) << c.what;
      } else {
        EXPECT_TRUE(warnings.empty()) << c.what;
      }
    } else {
      EXPECT_EQ(r.pattern, nullptr) << c.what;
      EXPECT_NE(r.alert.find(c.message), std::string::npos) << c.what << ": " << r.alert;
    }
  }
}

// A header that agrees with itself but no value after it was opened as a pattern without points,
// with a warning that placed nothing; like an x–y file without a point, it is no data.
TEST(RigakuFile, ASoundHeaderWithoutValuesIsNoData) {
  const std::string header = "*START = 10\n*STOP = 20\n*STEP = 0.5\n*COUNT = 21\n";
  for (const std::string& text : {header, header + "\n  \n\n", header + "*END\n100, 120\n", header + ",,\n"}) {
    const std::string path = WriteScratch("header-only.asc", text);
    uint32_t type = 0;
    ASSERT_TRUE(CQLRigakuFile::TestFile(Wide(path).c_str(), type)) << text;
    std::unique_ptr<CQlwFile> file(CreateFileForType(type));
    ASSERT_TRUE(file && file->Open(Wide(path).c_str(), CLXFile::modeRead)) << text;
    CQLPatternList list;
    CLXLogCapture log(false);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file->ReadFile(&list, nullptr, nullptr)) << text;
    const std::string alert = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(list.empty()) << text;
    EXPECT_NE(alert.find("No data in file."), std::string::npos) << text << alert;
    EXPECT_TRUE(log.GetWarnings().empty()) << text;
  }
}

TEST(ObservedDataFiles, RecogniserAndFactoryFindThem) {
  const std::string dat = WriteScratch("run.dat", "10 1\n11 2\n");
  const std::string asc = WriteScratch("run.asc", kRigakuHeader + "1,2,3\n");
  const std::string ascAsText = WriteScratch("rigaku.txt", kRigakuHeader + "1,2,3\n");
  const std::string column = WriteScratch("column.dat", "1\n2\n3\n");
  EXPECT_EQ(IdentifyFileType(Wide(dat).c_str(), true), 12u);
  EXPECT_EQ(IdentifyFileType(Wide(asc).c_str(), true), 34u);
  EXPECT_EQ(IdentifyFileType(Wide(ascAsText).c_str(), true), 34u);
  EXPECT_EQ(IdentifyFileType(Wide(column).c_str(), true), 0u);

  std::unique_ptr<CQlwFile> rigaku(CreateFileForType(34));
  ASSERT_NE(dynamic_cast<CQLRigakuFile*>(rigaku.get()), nullptr);
  EXPECT_EQ(rigaku->GetFileType(), 12u) << "a Rigaku file object answers the data-set code";
  EXPECT_FALSE(rigaku->CanWrite());
  std::unique_ptr<CQlwFile> dataset(CreateFileForType(12));
  ASSERT_NE(dynamic_cast<CQLDatasetFile*>(dataset.get()), nullptr);
  EXPECT_FALSE(dataset->CanWrite());

  RecogniserInstalled recogniser;
  for (const std::string& path : {dat, asc}) {
    CQLPatternPtr p = CQLPattern::NewPatternFromFilePath(CString(path.c_str()));
    ASSERT_NE(p, nullptr) << path;
    EXPECT_EQ(p->GetPatternType(), kPatternObserved);
    EXPECT_EQ(p->m_title, CString(L"run"));
  }
}

TEST(ObservedDataFiles, MeasuredFilesWrittenByOthers) {
  const std::string nacl = FitykSample("nacl01.dat");
  const std::string sic = FitykSample("SiC_Zn.dat");
  const std::string enso = FitykSample("enso.dat");
  if (nacl.empty() || sic.empty() || enso.empty())
    GTEST_SKIP() << "the fityk samples are not unpacked in " QLW_FIXTURES_DIR " (scripts/fixtures.sh)";

  EXPECT_EQ(IdentifyFileType(Wide(nacl).c_str(), true), 12u);
  CQLPatternPtr salt = ReadThrough(nacl, 12);
  ASSERT_NE(salt, nullptr);
  const CQLProfile& p = salt->GetProfile(true);
  ASSERT_EQ(p.size(), 840u);
  EXPECT_EQ(p.front().x, double(19.9143f));
  EXPECT_EQ(p.front().y, 31.0);
  EXPECT_EQ(p.back().x, double(52.3751f));
  EXPECT_EQ(p.back().y, 104.0);
  EXPECT_EQ(salt->GetDefaultAxisMinimum(LXTypes::kAxis2Theta), double(19.9143f));
  EXPECT_EQ(salt->GetDefaultAxisMaximum(LXTypes::kAxis2Theta), double(52.3751f));

  CQLPatternPtr carbide = ReadThrough(sic, 12);
  ASSERT_NE(carbide, nullptr);
  EXPECT_EQ(carbide->GetProfile(true).size(), 4001u);
  EXPECT_EQ(carbide->GetProfile(true).front().x, 20.0);

  // One column of numbers is not x–y data: refused, not read as points.
  RecogniserInstalled recogniser;
  EXPECT_EQ(IdentifyFileType(Wide(enso).c_str(), true), 0u);
  EXPECT_EQ(CQLPattern::NewPatternFromFilePath(CString(enso.c_str())), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ReadThrough(enso, 12), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No data in file."), std::string::npos);
}

// The program's own executable was identified as x–y data and opened as an observed pattern of
// junk points without a word; so was a saved drag block. A file with a zero byte, or mostly bytes
// that text does not hold, is no data set; text in UTF-8 or an 8-bit code page still is.
TEST(ObservedDataFiles, BinaryFilesAreNoDataSetsAndTextInAnyEncodingIs) {
  // The bytes of this 2θ read "\n1 2\n": a line of two numbers, as a block's doubles may hold by chance.
  constexpr double kTwoNumbersInItsBytes = 0x1.4000a3220310ap+3;
  auto observed = std::make_shared<CQLObservedPattern>(CQLProfile{{kTwoNumbersInItsBytes, 1}, {11, 2}, {12, 3}}, false);
  observed->m_title = L"scan";
  const std::vector<uint8_t> block = FlattenPatternList({observed}, 4242u, 0u);
  std::string control = "10 1\n11 2\n";
  for (int i = 0; i < 300; ++i) control += static_cast<char>(1 + i % 8);
  const std::string points = "10 1\n11 2\n12 3\n";
  const struct {
    const char* what;
    std::string bytes;
    bool data;
  } cases[] = {
      // The program's own has lines of two numbers among its machine code, as this one has.
      {"a program", filestest::Slurp("/bin/sh") + "\n0 8\n" + filestest::Slurp("/bin/sh"), false},
      {"a saved drag block", std::string(block.begin(), block.end()), false},
      {"points with a zero byte", "10 1\n11 2\0\n12 3\n"s, false},
      {"a zero byte past the first 64 KiB", std::string(70000, '\n') + points + "\0"s + points, false},
      {"points among control bytes", control, false},
      {"UTF-8 with degree signs", "# 2\xce\xb8 (\xc2\xb0)\tcounts\n" + points, true},
      {"Latin-1 degree signs", "# 2theta (\xb0)\n" + points, true},
      {"a form feed and a stray DEL", "\f# scan\x7f\n" + points, true},
  };
  for (const auto& c : cases) {
    for (const char* name : {"sample", "sample.dat"}) {
      const std::string path = WriteScratch(name, c.bytes);
      const uint32_t type = IdentifyFileType(Wide(path).c_str(), true);
      // The recogniser reads the start of a file only; the reader sees the rest.
      if (std::string(c.what).find("64 KiB") == std::string::npos) EXPECT_EQ(type, c.data ? 12u : 0u) << c.what;
      testing::internal::CaptureStderr();
      const CQLPatternPtr pattern = ReadThrough(path, 12);
      const std::string alert = testing::internal::GetCapturedStderr();
      EXPECT_EQ(pattern != nullptr, c.data) << c.what << ": " << alert;
      if (pattern) EXPECT_EQ(pattern->GetProfile(true).size(), 3u) << c.what;
      if (!c.data) EXPECT_NE(alert.find("Unsupported file type"), std::string::npos) << c.what << ": " << alert;
    }
  }
}
