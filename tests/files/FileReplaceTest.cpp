// Writers put the new file beside the old one and rename it over only when complete; a failed
// write leaves the old file whole and is reported.
#include "LXStdioFile.h"

#include "FilesTestUtil.h"
#include "testing/SyncRecorder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using filestest::Slurp;
using filestest::Wide;
using filestest::WriteScratch;

namespace {
// Writes `size` bytes of `fill` as its one block, through the buffered file base.
struct BinaryWriter : CQlwFile {
  size_t size = 0;
  char fill = 'n';
  void ReadBlock(uint32_t) override {}
  void WriteBlock(uint32_t) override {
    const std::string chunk(4096, fill);
    for (size_t done = 0; done < size; done += chunk.size())
      Write(chunk.data(), static_cast<uint32_t>(std::min(chunk.size(), size - done)));
  }
};

// Patches a length and appends a trailer, each of which flushes the buffer on the way.
struct TrailerWriter : BinaryWriter {
  void WriteBlock(uint32_t index) override {
    Write("\0\0\0\0", 4);
    BinaryWriter::WriteBlock(index);
    PatchBlockLength(0);
    AppendCRC();
  }
};

// The same through a text stream.
struct TextWriter : CLXStdioFile<CQlwFile> {
  size_t size = 0;
  void ReadBlock(uint32_t) override {}
  void WriteBlock(uint32_t) override {
    for (size_t i = 0; i < size; ++i) std::fputc('t', Stream());
  }
};

// A text or binary writer of `size` bytes.
std::unique_ptr<CQlwFile> MakeWriter(bool text, size_t size) {
  if (text) {
    auto writer = std::make_unique<TextWriter>();
    writer->size = size;
    return writer;
  }
  auto writer = std::make_unique<BinaryWriter>();
  writer->size = size;
  return writer;
}

// Everything in the folder except the names given.
std::vector<std::string> OtherEntries(const std::string& folder, std::initializer_list<std::string> known) {
  std::vector<std::string> others;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
  }
  return others;
}

std::string FreshFolder(const std::string& name) {
  const std::string folder = qlwtest::ScratchDir() + "/" + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Lowers the largest file this process may write, so that a write fails for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = m_saved;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }

 private:
  rlimit m_saved{};
  void (*m_handler)(int) = nullptr;
};
}  // namespace

TEST(FileReplace, OldFileStaysUntilTheNewOneIsCompleteAndKeepsItsPermissions) {
  const std::string folder = FreshFolder("replace");
  const std::string path = folder + "/data.bin";
  WriteScratch("replace/data.bin", "old contents");
  chmod(path.c_str(), 0640);
  for (bool text : {false, true}) {
    const std::unique_ptr<CQlwFile> file = MakeWriter(text, 100);
    ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
    EXPECT_EQ(Slurp(path).substr(0, 3), text ? "nnn" : "old") << "the old file is replaced only when complete";
    ASSERT_TRUE(file->WriteFile(nullptr, nullptr, nullptr));
    file->Close();
    EXPECT_EQ(Slurp(path), std::string(100, text ? 't' : 'n'));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(OtherEntries(folder, {"data.bin"}).empty()) << "no file is left beside it";
  }
}

TEST(FileReplace, LinkedFileIsReplacedAndTheLinkKept) {
  const std::string folder = FreshFolder("linked");
  WriteScratch("linked/real.bin", "old");
  std::filesystem::create_symlink("real.bin", folder + "/link.bin");
  BinaryWriter file;
  file.size = 10;
  ASSERT_TRUE(file.Open(Wide(folder + "/link.bin").c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
  ASSERT_TRUE(file.WriteFile(nullptr, nullptr, nullptr));
  file.Close();
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/link.bin"));
  EXPECT_EQ(Slurp(folder + "/real.bin"), std::string(10, 'n'));
}

TEST(FileReplace, FailedWriteIsReportedAndLeavesTheOldFileWhole) {
  const std::string folder = FreshFolder("failed");
  const std::string path = folder + "/data.bin";
  const std::string old(1000, 'o');
  WriteScratch("failed/data.bin", old);
  for (bool text : {false, true}) {
    const std::unique_ptr<CQlwFile> file = MakeWriter(text, 1 << 20);
    ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
    bool written;
    testing::internal::CaptureStderr();
    {
      const FileSizeLimit limit(64 * 1024);
      written = file->WriteFile(nullptr, nullptr, nullptr);
    }
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(written) << (text ? "text" : "binary");
    EXPECT_NE(report.find("file system error"), std::string::npos) << report;
    file->Close();
    EXPECT_EQ(Slurp(path), old);
    EXPECT_TRUE(OtherEntries(folder, {"data.bin"}).empty());
  }
}

TEST(FileReplace, UnfinishedWriteDroppedWithoutClose) {
  const std::string folder = FreshFolder("unfinished");
  const std::string path = folder + "/data.bin";
  WriteScratch("unfinished/data.bin", "old");
  {
    BinaryWriter file;
    ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
    file.Write("new", 3);
  }
  EXPECT_EQ(Slurp(path), "old");
  EXPECT_TRUE(OtherEntries(folder, {"data.bin"}).empty());
}

TEST(FileReplace, PlacesThatTakeNoFileFailToOpenAndAFullDeviceFailsTheWrite) {
  const std::string notAFolder = WriteScratch("plain-file", "x");
  for (bool text : {false, true}) {
    const std::unique_ptr<CQlwFile> file = MakeWriter(text, 0);
    LXFileOpenError error;
    EXPECT_FALSE(file->Open(Wide(notAFolder + "/out.txt").c_str(), CLXFile::modeWrite | CLXFile::modeCreate, &error));
    EXPECT_EQ(error.m_lOsError, ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(file->Open(Wide(qlwtest::ScratchDir()).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
  }
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (bool text : {false, true}) {
    const std::unique_ptr<CQlwFile> file = MakeWriter(text, 100);
    ASSERT_TRUE(file->Open(L"/dev/full", CLXFile::modeWrite | CLXFile::modeCreate));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file->WriteFile(nullptr, nullptr, nullptr)) << (text ? "text" : "binary");
    testing::internal::GetCapturedStderr();
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST(FileReplace, AWrittenFileIsSyncedOnceWhenComplete) {
  const std::string path = qlwtest::ScratchDir() + "/synced.bin";
  for (bool text : {false, true}) {
    std::unique_ptr<CQlwFile> file;
    if (text) {
      auto* writer = new TextWriter;
      writer->size = 100000;
      file.reset(writer);
    } else {
      auto* writer = new TrailerWriter;
      writer->size = 100000;
      file.reset(writer);
    }
    const qlw::testing::SyncRecorder syncs;
    ASSERT_TRUE(file->Open(Wide(path).c_str(), CLXFile::modeReadWrite | CLXFile::modeCreate));
    ASSERT_TRUE(file->WriteFile(nullptr, nullptr, nullptr));
    file->Close();
    EXPECT_EQ(syncs.Count(), 1) << (text ? "text" : "binary");
  }
  const qlw::testing::SyncRecorder syncs;
  BinaryWriter file;
  ASSERT_TRUE(file.Open(Wide(path).c_str(), CLXFile::modeWrite | CLXFile::modeCreate));
  file.Write("abc", 3);
  file.Flush();
  file.Flush();
  EXPECT_EQ(syncs.Count(), 0);
  file.Close();
  EXPECT_EQ(syncs.Count(), 1);
  EXPECT_EQ(Slurp(path), "abc");
}
