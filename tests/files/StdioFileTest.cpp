#include "LXStdioFile.h"

#include "FilesTestUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

using filestest::Wide;
using filestest::WriteScratch;

namespace {
struct TextFile : CLXStdioFile<CQlwFile> {
  void ReadBlock(uint32_t) override {}
  void WriteBlock(uint32_t) override {}
};
}  // namespace

TEST(StdioFile, MissingFileFailsQuietlyUnlessCreated) {
  const std::string made = qlwtest::ScratchDir() + "/made.txt";
  std::remove(made.c_str());  // the test may run repeatedly in one process
  const std::wstring path = Wide(made);
  TextFile reader;
  LXFileOpenError error;
  error.m_lOsError = 12345;
  EXPECT_FALSE(reader.Open(path.c_str(), CLXFile::modeRead, &error));
  EXPECT_EQ(error.m_lOsError, 12345);
  EXPECT_EQ(reader.GetLength(), 0u);

  TextFile writer;
  ASSERT_TRUE(writer.Open(path.c_str(), CLXFile::modeWrite | CLXFile::modeCreate, &error));
  EXPECT_EQ(writer.ModeString(), L"wtS");
  EXPECT_FALSE(writer.IsMappedView());
  writer.Close();
  EXPECT_EQ(writer.GetLength(), 0u);

  TextFile again;
  ASSERT_TRUE(again.Open(Wide(WriteScratch("r.txt", "x")).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite));
  EXPECT_EQ(again.ModeString(), L"rbS");
  EXPECT_TRUE(again.IsMappedView());
}

// The mapped and the stream forms read lines alike.
class StdioLines : public ::testing::TestWithParam<bool> {};

TEST_P(StdioLines, LineEndsLongLinesAndZeroBytes) {
  const bool stream = GetParam();
  const std::string longLine(3000, 'q');
  const std::string raw = std::string("one\rtwo\r\nthree\nf") + '\0' + "our\n" + longLine + "\nlast";
  const std::string path = WriteScratch(stream ? "lines_stream.txt" : "lines_mapped.txt", raw);
  TextFile file;
  // Read-write opens the stream form; read-only maps the file.
  ASSERT_TRUE(file.Open(Wide(path).c_str(), stream ? CLXFile::modeReadWrite : CLXFile::modeRead));
  EXPECT_EQ(file.IsMappedView(), !stream);
  std::string line;
  std::vector<std::string> lines;
  while (file.ReadLine(line, 2049) >= 0) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1], "two");
  EXPECT_EQ(lines[2], "three");
  EXPECT_EQ(lines[3], "four");  // a zero byte is dropped
  EXPECT_EQ(lines[4], std::string(2048, 'q'));
  EXPECT_EQ(lines[5], "last");
}

INSTANTIATE_TEST_SUITE_P(Forms, StdioLines, ::testing::Values(false, true));

TEST(StdioFile, PushBackAtEndOfFileNeverRereadsTheLastByte) {
  TextFile file;
  ASSERT_TRUE(file.Open(Wide(WriteScratch("noeol.txt", "ab")).c_str(), CLXFile::modeRead));
  ASSERT_TRUE(file.IsMappedView());
  EXPECT_EQ(file.NextChar(), 'a');
  EXPECT_EQ(file.NextChar(), 'b');
  const int end = file.NextChar();
  EXPECT_EQ(end, -1);
  file.PushBack(end);
  EXPECT_EQ(file.NextChar(), -1);
  file.PushBack('b');
  EXPECT_EQ(file.NextChar(), 'b');
}

TEST(StdioFile, SkipLineAndSeekPastTheEnd) {
  TextFile file;
  ASSERT_TRUE(file.Open(Wide(WriteScratch("skip.txt", "ab\r\ncd\rX")).c_str(), CLXFile::modeRead));
  file.SkipLine();
  EXPECT_EQ(file.NextChar(), 'c');
  file.SkipLine();
  EXPECT_EQ(file.Position(), 7);
  EXPECT_EQ(file.NextChar(), 'X');
  EXPECT_EQ(file.SeekTo(100), -1);
  EXPECT_EQ(file.NextChar(), -1);
  EXPECT_EQ(file.SeekTo(1), 0);
  EXPECT_EQ(file.NextChar(), 'b');
}

TEST(StdioFile, FoldersDoNotOpenAndAFailingStreamEndsLineReading) {
  const std::wstring folder = Wide(qlwtest::ScratchDir());
  TextFile text;
  LXFileOpenError error;
  EXPECT_FALSE(text.Open(folder.c_str(), CLXFile::modeRead, &error));
  EXPECT_EQ(error.m_lOsError, ERROR_ACCESS_DENIED);
  filestest::PlainFile plain;
  EXPECT_FALSE(plain.Open(folder.c_str(), CLXFile::modeRead));

  // Reading a stream opened for writing fails at once; the line loop must see an end, not empty lines.
  TextFile writer;
  ASSERT_TRUE(writer.Open(Wide(qlwtest::ScratchDir() + "/wo.txt").c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
  std::string line;
  EXPECT_EQ(writer.ReadLine(line, 80), -1);
}
