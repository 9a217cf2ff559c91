#include "LXFile.h"

#include "FilesTestUtil.h"

#include <gtest/gtest.h>

#include <memory>

using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
std::unique_ptr<CLXFile> MakeFile(bool big) {
  if (big) return std::make_unique<filestest::BigEndianFile>();
  return std::make_unique<filestest::PlainFile>();
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}
}  // namespace

TEST(BinaryFields, ReadsBytesFloatsAndSkipsRecordsInBothOrders) {
  struct Case {
    bool big;
    std::string bytes;
  } cases[] = {
      // byte 7, float 1.5, record of 2 bytes (skipped), byte 9
      {false, Bytes({7, 0, 0, 0xC0, 0x3F, 2, 0, 0, 0, 0xAA, 0xBB, 9})},
      {true, Bytes({7, 0x3F, 0xC0, 0, 0, 0, 0, 0, 2, 0xAA, 0xBB, 9})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.big ? "big-endian" : "little-endian");
    auto file = MakeFile(c.big);
    ASSERT_TRUE(file->Open(Wide(WriteScratch("fields.bin", c.bytes)).c_str(), CLXFile::modeRead));
    EXPECT_EQ(file->ReadByte(), 7);
    EXPECT_EQ(file->ReadFloat(), 1.5f);
    file->SkipRecord();
    EXPECT_EQ(file->ReadByte(), 9);
    EXPECT_THROW(file->ReadByte(), CLXXFileEOF);
  }
}

TEST(BinaryFields, FieldsThatRunPastTheEndThrowEndOfFile) {
  auto file = MakeFile(false);
  // A double two bytes before the end; a record whose length leaves the file.
  ASSERT_TRUE(file->Open(Wide(WriteScratch("short.bin", Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}))).c_str(), CLXFile::modeRead));
  file->Seek(8, CLXFile::begin);
  EXPECT_THROW(file->ReadDouble(), CLXXFileEOF);
  file->Seek(0, CLXFile::begin);
  EXPECT_THROW(file->SkipRecord(), CLXXFileEOF);
}

TEST(BinaryFields, ColourRecordWritesTagLengthAndChannelFractions) {
  const uint32_t tag = 'C' << 24 | 'O' << 16 | 'L' << 8 | 'R';
  const std::string little = Bytes({'C', 'O', 'L', 'R', 16, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F});
  const std::string big = Bytes({'C', 'O', 'L', 'R', 0, 0, 0, 16, 0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x80, 0, 0});
  for (bool isBig : {false, true}) {
    const std::string path = qlwtest::ScratchDir() + "/colour.bin";
    {
      auto file = MakeFile(isBig);
      ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
      file->WriteColorRecord(tag, LXGraphics::CColor(0xFF, 0xFF, 0, 0));
      file->Close();
    }
    EXPECT_EQ(Slurp(path), isBig ? big : little);
  }
  // Each channel is its byte over 255 in single precision: 0x80 gives 128/255.
  const std::string path = qlwtest::ScratchDir() + "/half.bin";
  {
    auto file = MakeFile(false);
    ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
    file->WriteColorRGBA(0x80402010u);
    file->Close();
  }
  auto file = MakeFile(false);
  ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeRead));
  for (int channel : {0x40, 0x20, 0x10, 0x80}) EXPECT_EQ(file->ReadFloat(), static_cast<float>(channel) / 255.0f);
}
