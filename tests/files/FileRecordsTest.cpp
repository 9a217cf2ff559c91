#include "LXFile.h"

#include "FilesTestUtil.h"

#include <gtest/gtest.h>

#include <memory>

using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;
using LittleFile = filestest::PlainFile;
using BigFile = filestest::BigEndianFile;

namespace {

std::unique_ptr<CLXFile> MakeFile(bool big) {
  if (big) return std::make_unique<BigFile>();
  return std::make_unique<LittleFile>();
}

std::unique_ptr<CLXFile> OpenBytes(bool big, const std::string& name, const std::string& bytes) {
  auto file = MakeFile(big);
  EXPECT_TRUE(file->Open(Wide(WriteScratch(name, bytes)).c_str(), CLXFile::modeRead));
  return file;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

constexpr int32_t kTagCRCK = 'C' << 24 | 'R' << 16 | 'C' << 8 | 'K';
}  // namespace

TEST(FileRecords, SingleValuesRoundTripWithExactBytesInBothOrders) {
  struct Case {
    bool big;
    std::string expected;
  };
  // 0xBEEF, -2, the tag "CRCK", 1.0
  const Case cases[] = {
      {false, Bytes({0xEF, 0xBE, 0xFE, 0xFF, 0xFF, 0xFF, 'C', 'R', 'C', 'K', 0, 0, 0, 0, 0, 0, 0xF0, 0x3F})},
      {true, Bytes({0xBE, 0xEF, 0xFF, 0xFF, 0xFF, 0xFE, 'C', 'R', 'C', 'K', 0x3F, 0xF0, 0, 0, 0, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.big ? "big-endian" : "little-endian");
    const std::string path = qlwtest::ScratchDir() + (c.big ? "/values-big.bin" : "/values-little.bin");
    {
      auto file = MakeFile(c.big);
      ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
      file->WriteUInt16(0xBEEF);
      file->WriteInt32(-2);
      file->WriteInt32BigEndian(kTagCRCK);
      file->WriteDouble(1.0);
      file->Close();
    }
    EXPECT_EQ(Slurp(path), c.expected);

    auto file = MakeFile(c.big);
    ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeRead));
    EXPECT_EQ(file->ReadUInt16(), 0xBEEF);
    EXPECT_EQ(file->ReadInt32(), -2);
    EXPECT_EQ(file->ReadInt32BigEndian(), kTagCRCK);
    EXPECT_EQ(file->ReadDouble(), 1.0);
    EXPECT_THROW(file->ReadUInt16(), CLXXFileEOF);
  }
}

TEST(FileRecords, ValuesOfEitherOrderReadFromKnownBytes) {
  EXPECT_EQ(OpenBytes(true, "be16.bin", Bytes({0, 0, 0, 0x10}))->ReadInt32(), 16);
  EXPECT_EQ(OpenBytes(false, "le16.bin", Bytes({0x10, 0, 0, 0}))->ReadInt32(), 16);
  EXPECT_EQ(OpenBytes(true, "beone.bin", Bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}))->ReadDouble(), 1.0);
  const uint64_t bits = 0x0807060504030201ull;  // bytes 01 .. 08 in memory
  EXPECT_EQ(SwapDoubleBytes(bits, false), 0x0102030405060708ull);
  EXPECT_EQ(SwapDoubleBytes(bits, true), bits);
}

TEST(FileRecords, DoubleRectRoundTripsAndWritesEightByteDoubles) {
  LXGraphics::CSyncRect rect;
  rect.SetXYWH(1.5f, -2.0f, 10.25f, 3.0f);
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const std::string path = qlwtest::ScratchDir() + (big ? "/rect-big.bin" : "/rect-little.bin");
    {
      auto file = MakeFile(big);
      ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
      file->WriteDoubleRect(rect);
      file->Close();
    }
    const std::string bytes = Slurp(path);
    ASSERT_EQ(bytes.size(), 32u);
    // x = 1.5 is 3F F8 00 .. 00; y = -2.0 is C0 00 .. 00
    const std::string x = big ? Bytes({0x3F, 0xF8, 0, 0, 0, 0, 0, 0}) : Bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F});
    const std::string y = big ? Bytes({0xC0, 0, 0, 0, 0, 0, 0, 0}) : Bytes({0, 0, 0, 0, 0, 0, 0, 0xC0});
    EXPECT_EQ(bytes.substr(0, 8), x);
    EXPECT_EQ(bytes.substr(8, 8), y);

    auto file = MakeFile(big);
    ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeRead));
    LXGraphics::CSyncRect back;
    file->ReadDoubleRect(back);
    EXPECT_EQ(back.m_float.X, 1.5f);
    EXPECT_EQ(back.m_float.Y, -2.0f);
    EXPECT_EQ(back.m_float.Width, 10.25f);
    EXPECT_EQ(back.m_float.Height, 3.0f);
    EXPECT_EQ(back.m_int.X, 2);  // integer forms rounded inwards
    EXPECT_EQ(back.m_int.Width, 10);
  }
}

TEST(FileRecords, IntegerRectAndColourFromKnownBytes) {
  // top 10, left -3, bottom 30, right 17 as signed 16-bit values; then red, green, blue channels.
  const std::string little = Bytes({10, 0, 0xFD, 0xFF, 30, 0, 17, 0, 0x34, 0x12, 0xFF, 0x80, 0x00, 0xFF});
  const std::string big = Bytes({0, 10, 0xFF, 0xFD, 0, 30, 0, 17, 0x12, 0x34, 0x80, 0xFF, 0xFF, 0x00});
  for (bool isBig : {false, true}) {
    SCOPED_TRACE(isBig ? "big-endian" : "little-endian");
    auto file = OpenBytes(isBig, isBig ? "rc-big.bin" : "rc-little.bin", isBig ? big : little);
    LXGraphics::CSyncRect rect;
    rect.SetXYWH(99.f, 99.f, 99.f, 99.f);
    file->ReadRect(rect);
    EXPECT_EQ(rect.m_rect.left, -3);
    EXPECT_EQ(rect.m_rect.top, 10);
    EXPECT_EQ(rect.m_rect.right, 17);
    EXPECT_EQ(rect.m_rect.bottom, 30);
    EXPECT_EQ(rect.m_int.X, -3);
    EXPECT_EQ(rect.m_int.Y, 10);
    EXPECT_EQ(rect.m_int.Width, 20);
    EXPECT_EQ(rect.m_int.Height, 20);
    EXPECT_EQ(rect.m_float.X, -3.f);
    EXPECT_EQ(rect.m_float.Width, 20.f);
    EXPECT_EQ(rect.m_dirty, LXGraphics::CSyncRect::kInSync);

    LXGraphics::CColor colour(0u);
    file->ReadColor(colour);
    EXPECT_EQ(colour.GetValue(), 0xFF1280FFu);  // opaque, the high byte of each channel
  }
}

TEST(FileRecords, RecordsCutShortByTheEndOfFileThrow) {
  auto file = OpenBytes(false, "cut.bin", std::string(30, '\x01'));
  file->Seek(28, CLXFile::begin);
  EXPECT_THROW(file->ReadDouble(), CLXXFileEOF);
  EXPECT_EQ(file->GetPosition(), 30u);  // after the bytes that were there
  file->Seek(24, CLXFile::begin);
  LXGraphics::CSyncRect rect;
  EXPECT_THROW(file->ReadDoubleRect(rect), CLXXFileEOF);
  file->Seek(26, CLXFile::begin);
  EXPECT_THROW(file->ReadRect(rect), CLXXFileEOF);
  file->Seek(26, CLXFile::begin);
  LXGraphics::CColor colour;
  EXPECT_THROW(file->ReadColor(colour), CLXXFileEOF);
  file->Seek(28, CLXFile::begin);
  EXPECT_THROW(file->ReadInt32BigEndian(), CLXXFileEOF);
}

TEST(FileRecords, StringCountsBeyondTheFileThrowBeforeAllocating) {
  // Counts as a damaged length field would give them: far more than the file holds.
  auto file = OpenBytes(false, "strings.bin", "abcdefgh");
  CString text;
  for (uint64_t count : {uint64_t(9), uint64_t(1) << 40, ~uint64_t(0)}) {
    file->Seek(0, CLXFile::begin);
    EXPECT_THROW(file->ReadUTF8String(count, text), CLXXFileEOF) << count;
    EXPECT_THROW(file->ReadUTF16String(count, text), CLXXFileEOF) << count;
  }
  file->Seek(0, CLXFile::begin);
  wchar_t out[10];
  EXPECT_THROW(file->ReadMacString(9, out), CLXXFileEOF);
  file->Seek(4, CLXFile::begin);
  EXPECT_EQ(file->ReadUTF16String(2, text), 2u);  // what does fit still reads
}

TEST(FileRecords, Utf16FieldsJoinSurrogatePairsInTheFileByteOrder) {
  // "A", U+1F600 as a surrogate pair, a lone high surrogate, then the zero that ends the text.
  const std::string little = Bytes({'A', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x3D, 0xD8, 'B', 0, 0, 0, 'C', 0});
  const std::string big = Bytes({0, 'A', 0xD8, 0x3D, 0xDE, 0x00, 0xD8, 0x3D, 0, 'B', 0, 0, 0, 'C'});
  for (bool isBig : {false, true}) {
    SCOPED_TRACE(isBig ? "big-endian" : "little-endian");
    auto file = OpenBytes(isBig, isBig ? "u16-big.bin" : "u16-little.bin", isBig ? big : little);
    CString text;
    EXPECT_EQ(file->ReadUTF16String(7, text), 4u);
    EXPECT_EQ(std::wstring(text.GetString()), L"A\U0001F600\uFFFDB");
    EXPECT_EQ(file->GetPosition(), 14u);  // the whole count is consumed
  }
}

TEST(FileRecords, ReadingPastTheWindowKeepsBytesWrittenIntoIt) {
  const std::string path = WriteScratch("rw.bin", std::string(100, 'x'));
  {
    LittleFile file;
    ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeReadWrite));
    file.Write("abc", 3);
    char tail[10];
    EXPECT_EQ(file.Read(tail, 10), 10u);
    EXPECT_EQ(std::string(tail, 10), std::string(10, 'x'));
    file.Close();
  }
  EXPECT_EQ(Slurp(path), "abc" + std::string(97, 'x'));
}
