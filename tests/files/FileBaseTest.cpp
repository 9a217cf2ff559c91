#include "LXFile.h"

#include "FilesTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

using filestest::BigEndianFile;
using filestest::PlainFile;
using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;

TEST(FileBase, CrcOfCheckStringIsTheKnownValue) {
  const std::string path = WriteScratch("check.bin", "123456789");
  PlainFile file;
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeRead));
  EXPECT_TRUE(file.IsMapped());
  EXPECT_EQ(file.ComputeCRC(false), 0xFC891918u);
  const uint8_t bytes[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(~CLXFile::UpdateCRC(0xFFFFFFFFu, bytes, sizeof bytes), 0xFC891918u);
}

TEST(FileBase, AppendedTrailerChecksAndFollowsByteOrder) {
  for (bool big : {false, true}) {
    const std::string path = qlwtest::ScratchDir() + (big ? "/big.bin" : "/little.bin");
    {
      std::unique_ptr<PlainFile> file(big ? new BigEndianFile : new PlainFile);
      ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeReadWrite | CLXFile::modeCreate));
      file->Write("123456789", 9);
      file->AppendCRC();
      file->Close();
    }
    const std::string bytes = Slurp(path);
    ASSERT_EQ(bytes.size(), 17u);
    EXPECT_EQ(bytes.substr(9, 4), "CRCK");
    const std::string crc = bytes.substr(13);
    const std::string expected = big ? std::string("\xFC\x89\x19\x18", 4) : std::string("\x18\x19\x89\xFC", 4);
    EXPECT_EQ(crc, expected) << (big ? "big-endian" : "little-endian");

    std::unique_ptr<PlainFile> reader(big ? new BigEndianFile : new PlainFile);
    ASSERT_TRUE(reader->Open(Wide(path).c_str(), CLXFile::modeRead));
    EXPECT_TRUE(reader->CheckCRC());
  }
}

TEST(FileBase, DamagedFileFailsTrailerCheckAndFileWithoutTrailerPasses) {
  std::string damaged = "123456780CRCK";
  damaged += std::string("\x18\x19\x89\xFC", 4);
  PlainFile a;
  ASSERT_TRUE(a.Open(Wide(WriteScratch("damaged.bin", damaged)).c_str(), CLXFile::modeRead));
  EXPECT_FALSE(a.CheckCRC());
  PlainFile b;
  ASSERT_TRUE(b.Open(Wide(WriteScratch("plain.bin", "no trailer at all")).c_str(), CLXFile::modeRead));
  EXPECT_TRUE(b.CheckCRC());
}

TEST(FileBase, ShortReadThrowsEndOfFileAndMappedSeekStopsAtEnd) {
  PlainFile file;
  ASSERT_TRUE(file.Open(Wide(WriteScratch("short.bin", "abcdef")).c_str(), CLXFile::modeRead));
  char buf[8] = {};
  EXPECT_EQ(file.Read(buf, 4), 4u);
  EXPECT_EQ(file.Read(buf, 8), 2u);
  file.Seek(2, CLXFile::begin);
  EXPECT_THROW(file.ReadExact(8, buf), CLXXFileEOF);
  EXPECT_EQ(file.Seek(100, CLXFile::begin), 6u);
  EXPECT_EQ(file.GetPosition(), 6u);
}

TEST(FileBase, EmptyFileHasNoBufferAndReadsNothing) {
  PlainFile file;
  ASSERT_TRUE(file.Open(Wide(WriteScratch("empty.bin", "")).c_str(), CLXFile::modeRead));
  EXPECT_FALSE(file.IsMapped());
  char c;
  EXPECT_EQ(file.Read(&c, 1), 0u);
}

TEST(FileBase, BufferedWritesReachTheDiskAcrossTheBufferSize) {
  const std::string path = qlwtest::ScratchDir() + "/large.bin";
  std::string data(0x500000 + 12345, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  {
    PlainFile file;
    ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
    for (size_t i = 0; i < data.size(); i += 1000) file.Write(data.data() + i, static_cast<uint32_t>(std::min<size_t>(1000, data.size() - i)));
    file.PatchBlockLength(0);  // overwrites the first four bytes through the buffer
    file.Close();
  }
  const uint32_t patched = static_cast<uint32_t>(data.size() - 4);
  std::memcpy(data.data(), &patched, 4);
  EXPECT_EQ(Slurp(path), data);
}

TEST(FileBase, MacStringsAndUtf8Fields) {
  // "Å" and "é" in the Macintosh code page, then a zero that ends the text.
  PlainFile file;
  ASSERT_TRUE(file.Open(Wide(WriteScratch("mac.bin", std::string("\x81" "b\x8E\0zz" "caf\xC3\xA9" "\xC3\x28", 13))).c_str(),
                        CLXFile::modeRead));
  wchar_t out[7];
  EXPECT_EQ(file.ReadMacString(6, out), 3u);
  EXPECT_EQ(std::wstring(out), L"\u00C5b\u00E9");
  file.Seek(0, CLXFile::begin);
  std::fill(std::begin(out), std::end(out), L'Z');
  EXPECT_EQ(file.ReadMacString(2, out), 2u);  // the whole count used: still terminated
  EXPECT_EQ(std::wstring(out), L"\u00C5b");
  file.Seek(6, CLXFile::begin);
  CString text;
  EXPECT_EQ(file.ReadUTF8String(5, text), 4u);
  EXPECT_EQ(std::wstring(text.GetString()), L"caf\u00E9");
  EXPECT_EQ(file.ReadUTF8String(2, text), 0u);  // an invalid sequence is refused
  EXPECT_TRUE(text.IsEmpty());
}

TEST(FileBase, TitleOfAMultiBlockFileNamesTheBlock) {
  struct Blocks : PlainFile {
    bool IndexBlocks() override {
      m_blocks = {{0, 1}, {10, 1}, {20, 1}};
      return true;
    }
  } file;
  file.SetFilePath(L"/some/folder/sample.cif");
  file.IndexBlocks();
  file.SetCurrentBlock(1);
  EXPECT_EQ(std::wstring(file.GetFileTitle().GetString()), L"sample 2");
}

TEST(FileBase, ExtensionTable) {
  const std::vector<uint32_t> txt = {12, 13, 14, 15, 17, 18, 57};
  for (const wchar_t* ext : {L"TXT", L".txt"}) {
    std::vector<uint32_t> codes;
    EXPECT_TRUE(FileTypesFromExtension(ext, codes));
    EXPECT_EQ(codes, txt) << ext;
  }
  std::vector<uint32_t> none;
  EXPECT_FALSE(FileTypesFromExtension(L"nothing", none));
  std::vector<CString> exts;
  ASSERT_TRUE(GetFileTypeExtensions(10, exts));
  ASSERT_EQ(exts.size(), 3u);
  EXPECT_EQ(std::wstring(exts[1].GetString()), L".quillonographic");
  EXPECT_EQ(std::wstring(exts[2].GetString()), L".diffract");
  CString first;
  EXPECT_TRUE(GetFileTypeExtension(22, first));
  EXPECT_EQ(std::wstring(first.GetString()), L".cif");
  EXPECT_FALSE(GetFileTypeExtension(49, first));
  EXPECT_TRUE(first.IsEmpty());
  EXPECT_TRUE(IsMoleculeFileType(42));
  EXPECT_FALSE(IsMoleculeFileType(22));
}

TEST(FileBase, ShorteningKeepsThePositionWithinTheFile) {
  const std::string path = qlwtest::ScratchDir() + "/shortened.bin";
  PlainFile file;
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeReadWrite | CLXFile::modeCreate));
  file.Write("0123456789", 10);
  file.Seek(8, CLXFile::begin);
  file.SetLength(4);
  EXPECT_LE(file.GetPosition(), 4u);
  EXPECT_EQ(file.GetLength(), 4u);
  char buf[16] = {};
  EXPECT_EQ(file.Read(buf, 8), 0u) << "nothing is left after the new end";
  file.Seek(0, CLXFile::begin);
  EXPECT_EQ(file.Read(buf, 16), 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
  file.Close();
  EXPECT_EQ(Slurp(path), "0123");
}
