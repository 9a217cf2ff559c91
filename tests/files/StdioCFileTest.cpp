#include "LXStdioCFile.h"

#include "FilesTestUtil.h"
#include "LXException.h"
#include "LXUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using filestest::Wide;

namespace {
std::wstring ScratchPath(const char* name) {
  const std::string path = qlwtest::ScratchDir() + "/" + name;
  std::remove(path.c_str());
  return Wide(path);
}
}  // namespace

TEST(StdioCFile, ModeStringsFollowTheOpenFlags) {
  struct Case {
    UINT flags;
    const wchar_t* mode;
    UINT adjusted;
  };
  const Case cases[] = {
      {CFile::modeRead, L"rbS", CFile::typeBinary},
      {CFile::modeWrite, L"wtS", CFile::modeWrite | CFile::typeText},
      {CFile::modeWrite | CFile::modeNoTruncate, L"atS", CFile::modeWrite | CFile::modeNoTruncate | CFile::typeText},
      {CFile::modeReadWrite | CFile::modeCreate, L"w+tS", CFile::modeReadWrite | CFile::modeCreate | CFile::typeText},
      {CFile::modeReadWrite | CFile::modeNoTruncate, L"a+tS", CFile::modeReadWrite | CFile::modeNoTruncate | CFile::typeText},
      {CFile::modeReadWrite | CFile::typeBinary, L"r+tS", CFile::modeReadWrite | CFile::typeText},
  };
  for (const Case& c : cases) {
    CLXStdioFile<CFile> file;
    file.SetOpenFlags(c.flags);
    file.BuildModeString();
    EXPECT_EQ(file.ModeString(), CString(c.mode)) << std::hex << c.flags;
    EXPECT_EQ(file.GetOpenFlags(), c.adjusted) << std::hex << c.flags;
  }
}

TEST(StdioCFile, WrittenTextReadsBackThroughTheMappedFile) {
  const std::wstring path = ScratchPath("table.txt");
  {
    CLXStdioFile<CFile> out(path.c_str());
    EXPECT_EQ(out.ModeString(), CString(L"w+tS"));
    EXPECT_FALSE(out.IsMappedView());
    EXPECT_EQ(out.RegionSize(), CLXStdioFile<CFile>::kStreamBufferSize);
    std::fputs("Fe\t26\nO\t8\n", out.Stream());
    out.Close();
  }
  CLXStdioFile<CFile> in;
  ASSERT_TRUE(in.Open(path.c_str(), CFile::modeRead));
  EXPECT_TRUE(in.IsMappedView());
  EXPECT_EQ(in.GetLength(), 10u);
  EXPECT_EQ(in.RegionSize(), 10u);
  std::string line;
  ReadTextLineA(in.Stream(), line);
  EXPECT_EQ(line, "Fe\t26");
  ReadTextLineA(in.Stream(), line);
  EXPECT_EQ(line, "O\t8");
}

TEST(StdioCFile, FailuresAreReportedNeverOpenedQuietly) {
  // Without create, a missing file opens nothing and leaves the error record alone.
  CLXStdioFile<CFile> reader;
  CFileException untouched(CFileException::none, 4242);
  EXPECT_FALSE(reader.Open(ScratchPath("absent.txt").c_str(), CFile::modeRead, &untouched));
  EXPECT_EQ(untouched.m_lOsError, 4242);
  EXPECT_EQ(reader.GetOpenFlags(), 0u);
  EXPECT_EQ(reader.GetLength(), 0u);

  // A folder is no file to write: the writing constructor throws with the class library's text.
  try {
    CLXStdioFile<CFile> writer(Wide(qlwtest::ScratchDir()).c_str());
    FAIL() << "a folder opened for writing";
  } catch (const CLXXMFC& e) {
    EXPECT_EQ(e.GetSeverity(), kLXSeverityMessage);
    EXPECT_FALSE(e.GetErrorText().IsEmpty());
  }
}

// A full disk shows when the last buffer is written: Close says so, the destructor swallows it
// rather than end the program, and a second Close has nothing left to do.
TEST(StdioCFile, AFullDiskShowsAtCloseAndNeverInTheDestructor) {
  {
    CLXStdioFile<CFile> full;
    ASSERT_TRUE(full.Open(L"/dev/full", CFile::modeCreate | CFile::modeReadWrite));
    std::fputs("lost", full.Stream());
    try {
      full.Close();
      ADD_FAILURE() << "a write to a full disk closed quietly";
    } catch (CFileException* e) {
      EXPECT_EQ(e->m_cause, CFileException::diskFull);
      e->Delete();
    }
    EXPECT_NO_THROW(full.Close());
  }
  {
    CLXStdioFile<CFile> full;
    ASSERT_TRUE(full.Open(L"/dev/full", CFile::modeCreate | CFile::modeReadWrite));
    std::fputs("lost", full.Stream());
  }
  CLXStdioFile<CFile> unopened;
}
