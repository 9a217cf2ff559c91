// CFile over the platform's file handles and the class library's file exceptions.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "CFile.h"
#include "TestSupport.h"

namespace {
std::wstring Scratch(const char* name) {
  const auto dir = std::filesystem::path(qlwtest::ScratchDir()) / "cfile";
  std::filesystem::create_directories(dir);
  return (dir / name).wstring();
}
}  // namespace

TEST(CFile, WritesReadsSeeksAndSizes) {
  const std::wstring path = Scratch("round.bin");
  {
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite));
    file.Write("abcdefgh", 8);
    EXPECT_EQ(file.GetLength(), 8u);
    EXPECT_EQ(file.Seek(2, CFile::begin), 2u);
    char two[3] = {};
    EXPECT_EQ(file.Read(two, 2), 2u);
    EXPECT_STREQ(two, "cd");
    EXPECT_EQ(file.GetPosition(), 4u);
    file.SetLength(5);
    EXPECT_EQ(file.GetLength(), 5u);
    EXPECT_EQ(file.SeekToEnd(), 5u);
    char rest[8] = {};
    EXPECT_EQ(file.Read(rest, 8), 0u);  // at the end: nothing, no exception
    file.Close();
    EXPECT_EQ(file.m_hFile, CFile::hFileNull);
  }
  CFile reading(path.c_str(), CFile::modeRead);
  EXPECT_EQ(reading.GetLength(), 5u);
  EXPECT_EQ(reading.GetFileName().Str(), L"round.bin");
  EXPECT_EQ(reading.GetFileTitle().Str(), L"round");
}

TEST(CFile, FailuresNameTheirCauseAndFile) {
  const std::wstring missing = Scratch("missing.dat");
  CFileException error;
  CFile file;
  EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_strFileName.Str(), missing);
  wchar_t text[256];
  ASSERT_TRUE(error.GetErrorMessage(text, 256));
  EXPECT_NE(std::wstring(text).find(L"missing.dat"), std::wstring::npos);
  // A short buffer gets what fits, terminated.
  wchar_t small[8];
  ASSERT_TRUE(error.GetErrorMessage(small, 8));
  EXPECT_EQ(std::wstring(small).size(), 7u);

  // The opening constructor throws the class library's heap-allocated exception.
  try {
    CFile thrown(missing.c_str(), CFile::modeRead);
    FAIL() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::fileNotFound);
    e->Delete();
  }
  // A folder is no file.
  const std::wstring folder = Scratch("");
  EXPECT_FALSE(file.Open(folder.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::accessDenied);
}

TEST(CFile, ErrnoAndPlatformErrorsMapToCauses) {
  const struct {
    int err;
    int cause;
  } errnos[] = {{ENOENT, CFileException::fileNotFound}, {EACCES, CFileException::accessDenied},
                {ENOSPC, CFileException::diskFull},     {EMFILE, CFileException::tooManyOpenFiles},
                {ENAMETOOLONG, CFileException::badPath}, {EINVAL, CFileException::genericException}};
  for (const auto& e : errnos) EXPECT_EQ(CFileException::ErrnoToException(e.err), e.cause) << e.err;
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_SHARING_VIOLATION), CFileException::sharingViolation);
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_HANDLE_EOF), CFileException::endOfFile);
}
