#include "ASFTableFile.h"

#include "FilesTestUtil.h"
#include "LXAlert.h"
#include "LXASF.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
// Keeps the message line of every alert shown while it lives.
class AlertLog {
 public:
  AlertLog() {
    s_messages.clear();
    if (const char* quiet = std::getenv("QLW_QUIET")) m_quiet = quiet;
    unsetenv("QLW_QUIET");
    m_previous = CLXAlert::SetPresenter([](const CLXAlert& alert) -> UINT {
      s_messages.push_back(alert.GetPart(1).ToUtf8() + " / " + alert.GetPart(2).ToUtf8());
      return 1;
    });
  }
  ~AlertLog() {
    CLXAlert::SetPresenter(m_previous);
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }
  const std::vector<std::string>& Messages() const { return s_messages; }

 private:
  static inline std::vector<std::string> s_messages;
  CLXAlert::Presenter m_previous = nullptr;
  std::string m_quiet;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

void ExpectSameRecord(const CLXASF& a, const CLXASF& b) {
  EXPECT_STREQ(a.GetSymbol(), b.GetSymbol());
  EXPECT_EQ(a.m_Z, b.m_Z) << CString(a.GetSymbol()).ToUtf8();
  EXPECT_EQ(a.m_note, b.m_note) << CString(a.GetSymbol()).ToUtf8();
}

std::string ReadBack(const std::string& name, const std::string& text, std::vector<CLXASF>& records, bool& ok) {
  const std::string path = WriteScratch(name, text);
  AlertLog log;
  ok = ReadASFFile(Wide(path).c_str(), records);
  return log.Messages().empty() ? std::string() : log.Messages().front();
}

const char kLine[] =
    "Fe     26    55.847   11.769500    4.761100    7.357300    0.307200    3.522200   15.353500    2.304500"
    "   76.880501    1.036900    9.4500";
}  // namespace

TEST(ASFTableFile, LayoutOfTheWrittenTable) {
  const std::vector<std::string> lines = Lines(FormatASFFile(g_ElementTable));
  ASSERT_GT(lines.size(), 40u);
  EXPECT_EQ(lines[0], "!" + std::string(84, '-'));
  EXPECT_EQ(lines[1].rfind("! Atomic scattering factors for use with Quillonographic ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].find("(C)"), lines[2].find("Copyright") + 10) << "the copyright sign is spelt out";
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[5], lines[0]);
  // The description block: 80 characters, 79 with a TAB, 78 for the example note.
  size_t i = 6;
  int tabs = 0;
  for (; lines[i] != "!" + std::string(79, '-'); ++i) {
    const std::string& line = lines[i];
    const bool tab = line.find('\t') != std::string::npos;
    tabs += tab;
    const size_t width = tab ? 79 : line.find("\"this note here\"") != std::string::npos ? 78 : 80;
    EXPECT_EQ(line.size(), width) << line;
  }
  EXPECT_EQ(i - 6, 26u);
  EXPECT_EQ(tabs, 3);
  EXPECT_EQ(lines[++i], "");
  for (int head = 1; head <= 4; ++head) EXPECT_EQ(lines[i + head].size(), 151u) << lines[i + head];
  EXPECT_EQ(lines[i + 1], "!" + std::string(150, '-'));
  EXPECT_EQ(lines[i + 3].rfind("!       Z     W         a(1)", 0), 0u);
  const size_t first = i + 5;
  ASSERT_EQ(lines.size() - first, g_ElementTable.size());
  bool sawD = false;
  for (size_t row = first; row < lines.size(); ++row) {
    const std::string& line = lines[row];
    if (line.find('"') == std::string::npos) {
      EXPECT_EQ(line.size(), 138u) << line;
    }
    if (line.rfind("D ", 0) == 0) {
      sawD = true;
      EXPECT_EQ(line,
                "D       1     2.014     0.493002   10.510900    0.322912   26.125700    0.140191    3.142360    "
                "0.040810   57.799702    0.003038    6.6710   \"f for H\"");
    }
  }
  EXPECT_TRUE(sawD);
}

// Export, Import, Export: the built-in table comes back record for record and byte for byte.
TEST(ASFTableFile, TheBuiltInTableSurvivesWritingAndReading) {
  const std::string path = qlwtest::ScratchDir() + "/builtin-asf.txt";
  WriteASFFile(Wide(path).c_str(), g_ElementTable);
  const std::string first = Slurp(path);
  std::vector<CLXASF> read;
  AlertLog log;
  ASSERT_TRUE(ReadASFFile(Wide(path).c_str(), read));
  EXPECT_TRUE(log.Messages().empty());
  ASSERT_EQ(read.size(), g_ElementTable.size());
  for (size_t r = 0; r < read.size(); ++r) {
    const CLXASF& a = g_ElementTable[r];
    const CLXASF& b = read[r];
    ExpectSameRecord(a, b);
    // Six decimals of the file hold the table's single-precision numbers to within rounding.
    EXPECT_NEAR(a.m_weight, b.m_weight, 5e-4);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(a.m_coefficients[k], b.m_coefficients[k], 5e-7);
    EXPECT_NEAR(a.m_neutronLength, b.m_neutronLength, 5e-5);
  }
  WriteASFFile(Wide(path).c_str(), read);
  EXPECT_EQ(Slurp(path), first);
}

TEST(ASFTableFile, ReaderAcceptsCommentsSeparatorsAndNotes) {
  std::ostringstream text;
  text << "! a comment\r\n"
       << "   // another, after blanks\n"
       << "\n"
       << "\t" << kLine << "   \"iron, \xC3\xA9t\xC3\xA9\"  trailing words\r"  // UTF-8 note, CR alone ends it
       << "CA\t20\t40.08\t8.6266\t10.4421\t7.3873\t0.6599\t1.5899\t85.7484\t1.0211\t178.437\t1.3751\t4.70\n"
       << "xx 1 1 1 1 1 1 1 1 1 1 1\n"  // no column 13: no scattering length
       << "Li+1 3 6.941 0.6968 4.6237 0.7888 1.9557 0.3414 0.6316 0.1563 10.0953 0.0167 -1.90 \"Caf\xE9\"\n"
       << "11B 5 11.009 2.0545 23.2185 1.3326 1.021 1.0979 60.3498 0.7068 0.1403 -0.1932 6.65";
  std::vector<CLXASF> r;
  bool ok = false;
  EXPECT_EQ(ReadBack("accepts.txt", text.str(), r, ok), "");
  ASSERT_TRUE(ok);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_STREQ(r[0].GetSymbol(), L"Fe");
  EXPECT_EQ(r[0].m_Z, 26);
  EXPECT_DOUBLE_EQ(r[0].m_coefficients[7], 76.880501);
  EXPECT_DOUBLE_EQ(r[0].m_neutronLength, 9.45);
  EXPECT_EQ(r[0].m_note, CString(L"iron, \u00E9t\u00E9"));
  EXPECT_STREQ(r[1].GetSymbol(), L"Ca");
  EXPECT_DOUBLE_EQ(r[1].m_neutronLength, 4.70);
  EXPECT_STREQ(r[2].GetSymbol(), L"xx");
  EXPECT_EQ(r[2].m_neutronLength, 0.0) << "a missing column 13 inherits nothing";
  EXPECT_STREQ(r[3].GetSymbol(), L"Li+1");
  EXPECT_EQ(r[3].m_note, CString(L"Caf\u00E9")) << "a line that is no UTF-8 reads as Windows-1252";
  EXPECT_STREQ(r[4].GetSymbol(), L"11B");
  EXPECT_TRUE(r[4].m_note.IsEmpty());
}

// Numbers that fill their column get a blank before them: run together, two fields would read
// back as one and every later column would shift.
TEST(ASFTableFile, NumbersThatFillTheirColumnStaySeparate) {
  const double coefficients[9] = {11.7695, 22200.0, -1000.5, 0.3072, 3.5222, 15.3535, 2.3045, 76.8805, 1.0369};
  const CLXASF wide(L"Fe", 26, 55.847, coefficients, -12345.6789, L"");
  const std::string path = qlwtest::ScratchDir() + "/wide-asf.txt";
  WriteASFFile(Wide(path).c_str(), {wide});
  std::vector<CLXASF> read;
  ASSERT_TRUE(ReadASFFile(Wide(path).c_str(), read));
  ASSERT_EQ(read.size(), 1u);
  for (int k = 0; k < 9; ++k) EXPECT_DOUBLE_EQ(read[0].m_coefficients[k], coefficients[k]) << k;
  EXPECT_DOUBLE_EQ(read[0].m_neutronLength, -12345.6789);
}

TEST(ASFTableFile, SymbolsKeepIonsAndIsotopesAndNormaliseElements) {
  const struct {
    const wchar_t* typed;
    const wchar_t* kept;
  } cases[] = {{L"CA", L"Ca"}, {L"fe", L"Fe"}, {L"FE", L"Fe"}, {L"o", L"O"},        {L"Li+1", L"Li+1"},
               {L"H-1", L"H-1"}, {L"11B", L"11B"}, {L"Fe+3", L"Fe+3"}, {L"xx", L"xx"}, {L"Cx", L"Cx"},
               {L" N a ", L"Na"}, {L"Abcdefghijk", L"Abcdefghi"}};
  for (const auto& c : cases) EXPECT_EQ(NormalizeASFSymbol(c.typed), CString(c.kept)) << CString(c.typed).ToUtf8();
}

TEST(ASFTableFile, NotesAreCappedAndQuotesKeptReadable) {
  CLXASF record;
  record.m_note = CString(std::wstring(100, L'n').c_str());
  record.m_note.SetAt(3, L'"');
  const std::string path = qlwtest::ScratchDir() + "/note-asf.txt";
  WriteASFFile(Wide(path).c_str(), {record});
  std::vector<CLXASF> read;
  ASSERT_TRUE(ReadASFFile(Wide(path).c_str(), read));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].m_note.GetLength(), kMaxASFNoteLength);
  EXPECT_EQ(read[0].m_note[3], L'\'');
  // A character outside the basic plane takes two of the stored form's units and is never split.
  EXPECT_EQ(CapASFNote(CString(std::wstring(79, L'a') + L"\U0001F600")).GetLength(), 79);
}

// Each bad line stops the read at its physical line number, reported once; the caller gets false.
TEST(ASFTableFile, BadLinesAreReportedWithTheirLineNumber) {
  const std::string good = std::string(kLine) + "\n";
  const struct {
    const char* name;
    std::string text;
    int line;
  } cases[] = {
      {"fourteen numbers", "! c\n\n" + good + "Fe 26 1 1 1 1 1 1 1 1 1 1 1 1\n" + good, 4},
      {"eleven fields", good + "Fe 26 1 1 1 1 1 1 1 1 1\n", 2},
      {"Z that does not scan", "Fe x 1 1 1 1 1 1 1 1 1 1\n", 1},
      {"coefficient that does not scan", "Fe 26 1 1 1 abc 1 1 1 1 1 1\n", 1},
      {"nan", "Fe 26 1 1 1 nan 1 1 1 1 1 1\n", 1},
      {"inf", "! c\nFe 26 1 1 1 1 1 1 1 1 1 1 inf\n", 2},
      {"Z too large", "Fe 99999999999 1 1 1 1 1 1 1 1 1 1\n", 1},
      {"note alone", "\"just a note\"\n", 1},
  };
  for (const auto& c : cases) {
    std::vector<CLXASF> r;
    bool ok = true;
    const std::string message = ReadBack("bad.txt", c.text, r, ok);
    EXPECT_FALSE(ok) << c.name;
    EXPECT_NE(message.find("Input line " + std::to_string(c.line) + " "), std::string::npos) << c.name << ": " << message;
  }
}

TEST(ASFTableFile, MissingUnreadableAndEmptyFiles) {
  std::vector<CLXASF> r(3);
  EXPECT_THROW(ReadASFFile(Wide(qlwtest::ScratchDir() + "/absent-asf.txt").c_str(), r), CLXXFileASFNotFound);
  EXPECT_TRUE(r.empty());
  EXPECT_THROW(ReadASFFile(Wide(qlwtest::ScratchDir()).c_str(), r), CLXXFileASFNotOpen);

  // Comments only: nothing to replace the table with, and nothing to report.
  bool ok = true;
  const std::string message = ReadBack("comments.txt", "! only\n// comments\n\n", r, ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(r.empty());
  EXPECT_EQ(message, "");
}

TEST(ASFTableFile, WriteFailuresThrowAndLeaveNoPartFile) {
  EXPECT_THROW(WriteASFFile(Wide(qlwtest::ScratchDir() + "/no/such/folder/asf.txt").c_str(), g_ElementTable), CLXXMFC);
  // A folder in the file's place cannot be replaced; nothing is left beside it.
  const std::string folder = qlwtest::ScratchDir() + "/asf-folder";
  std::system(("mkdir -p '" + folder + "'").c_str());
  EXPECT_THROW(WriteASFFile(Wide(folder).c_str(), g_ElementTable), CLXXMFC);
  const std::string old = WriteScratch("kept-asf.txt", "old contents");
  WriteASFFile(Wide(old).c_str(), {CLXASF()});
  EXPECT_NE(Slurp(old), "old contents");
  EXPECT_EQ(std::system(("ls -A '" + qlwtest::ScratchDir() + "' | grep -q '^\\.asf-folder\\.'").c_str()) == 0, false)
      << "an unfinished file was left behind";
}
