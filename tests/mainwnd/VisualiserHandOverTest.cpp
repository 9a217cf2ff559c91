// Handing the selected structure to the visualiser: the file's name, the folder it waits in, the
// program searched for and the arguments it is started with (a fake "Lxw" records them).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "MainWindowFixture.h"
#include "QLCrystalPattern.h"
#include "QLLXTXFile.h"
#include "QlwCommandLineInfo.h"
#include "TestSupport.h"
#include "TransferFolder.h"
#include "VisualiserHandOver.h"

namespace fs = std::filesystem;
using qlwtest::AlertRecorder;
using qlwtest::MainWindowFixture;

namespace {
// Sets (or, with nullopt, removes) an environment variable while it lives.
class EnvVar {
 public:
  EnvVar(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~EnvVar() {
    if (m_old) setenv(m_name.c_str(), m_old->c_str(), 1);
    else unsetenv(m_name.c_str());
  }

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

fs::path Scratch(const std::string& name) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all);
  return folder;
}

void WriteExecutable(const fs::path& path, const std::string& text, bool executable = true) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
  fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

CString ToCString(const fs::path& path) { return CString(path.wstring().c_str()); }
std::string Utf8(const CString& text) { return text.ToUtf8(); }

unsigned Mode(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

CQLPatternPtr PatternTitled(const wchar_t* title) {
  auto p = std::make_shared<CQLCrystalPattern>(true);
  p->m_title = title;
  return p;
}

// The argument lists the fake visualiser wrote, one file each.
std::vector<std::vector<std::string>> Records(const fs::path& folder) {
  std::vector<std::vector<std::string>> records;
  if (!fs::is_directory(folder)) return records;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("rec.", 0) != 0) continue;
    std::ifstream in(entry.path());
    records.emplace_back();
    for (std::string line; std::getline(in, line);) records.back().push_back(line);
  }
  return records;
}
}  // namespace

TEST(VisualiserHandOver, FileNameIsASafeTitleOfTheFirstPattern) {
  struct Case {
    const wchar_t* title;
    const char* expected;
  } cases[] = {
      {L"Quartz.cif", "Quartz.lxtx"},
      {L"", "Untitled.lxtx"},
      {L"rutile", "rutile.lxtx"},
      {L"-rf", "rf.lxtx"},
      {L"..", "Untitled.lxtx"},
      {L"...hidden.cif", "hidden.lxtx"},
      {L"say \"hi\"\ttwice", "say _hi__twice.lxtx"},
      {L"C:\\data\\Fe3O4.cif", "Fe3O4.lxtx"},
      {L"minerals/Calcite", "Calcite.lxtx"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8(VisualiserHandOver::FileName({PatternTitled(c.title), PatternTitled(L"second")})), c.expected)
        << CString(c.title).ToUtf8();
  EXPECT_EQ(Utf8(VisualiserHandOver::FileName({})), "Untitled.lxtx");
}

// The window switch is 16 lower-case hex digits, and the program's own command line reads both
// switches back.
TEST(VisualiserHandOver, SwitchesReadBackThroughTheCommandLine) {
  UUID session{};
  ASSERT_EQ(UuidCreate(&session), RPC_S_OK);
  const auto args = VisualiserHandOver::Arguments(session, reinterpret_cast<HWND>(0x1234), L"/x/Quartz.lxtx");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(Utf8(args[1]), "/LXW=0000000000001234");
  EXPECT_EQ(Utf8(args[2]), "/x/Quartz.lxtx");
  CQlwCommandLineInfo info;
  info.ParseParam(args[0].Mid(1).GetString(), TRUE, FALSE);
  info.ParseParam(args[1].Mid(1).GetString(), TRUE, TRUE);
  EXPECT_EQ(info.m_linkWindow, 0x1234u);
  EXPECT_TRUE(info.m_sessionId == session);
}

// The stored path when it is an executable file, else "Lxw" on PATH (absolute entries only).
TEST(VisualiserHandOver, FindsTheStoredProgramFirstThenPath) {
  const fs::path folder = Scratch("find-lxw");
  WriteExecutable(folder / "stored/Lxw", "#!/bin/sh\n");
  WriteExecutable(folder / "onpath/Lxw", "#!/bin/sh\n");
  WriteExecutable(folder / "notexec/Lxw", "#!/bin/sh\n", false);
  const std::string path = "relative:" + (folder / "notexec").string() + ":" + (folder / "onpath").string();
  EnvVar env("PATH", path);
  EXPECT_EQ(Utf8(VisualiserHandOver::FindProgram(ToCString(folder / "stored/Lxw"))), (folder / "stored/Lxw").string());
  EXPECT_EQ(Utf8(VisualiserHandOver::FindProgram(ToCString(folder / "gone/Lxw"))), (folder / "onpath/Lxw").string());
  EXPECT_EQ(Utf8(VisualiserHandOver::FindProgram(ToCString(folder / "stored"))), (folder / "onpath/Lxw").string());
  EnvVar none("PATH", (folder / "notexec").string());
  EXPECT_TRUE(VisualiserHandOver::FindProgram(CString()).IsEmpty());
}

// Quartz goes over as Quartz.lxtx, each time in a new folder of this user alone with a session of
// its own, and the program is started with the three switches as separate arguments; an observed
// pattern selected before it is not what the file holds.
TEST(VisualiserHandOver, HandsQuartzToTheVisualiserInAFolderOfItsOwn) {
  const fs::path folder = Scratch("handover");
  // Each start writes its arguments to a file of its own, complete before it is named rec.PID.
  const fs::path record = folder / "records";
  fs::create_directories(record);
  const std::string r = record.string();
  WriteExecutable(folder / "bin/Lxw", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + r + "'/tmp.$$\nmv '" + r +
                                          "'/tmp.$$ '" + r + "'/rec.$$\n");
  EnvVar path("PATH", (folder / "bin").string() + ":/usr/bin:/bin");
  EnvVar runtime("XDG_RUNTIME_DIR", folder.string());
  MainWindowFixture m(qlwtest::DataPath("Quartz.cif").c_str());
  ASSERT_NE(m.wnd, nullptr);
  g_pPreferences->m_HelperAppVisualisePath.Set(CPath());

  m.Command(33737);
  const CQLPatternPtr observed = m.doc->AddObservedPattern(CQLProfile{{10, 5}, {20, 50}, {30, 10}});
  for (const CQLPatternPtr& p : m.doc->GetPatterns()) p->SetSelected(true);
  ASSERT_EQ(m.doc->GetPatterns().front(), observed);
  m.Command(33737);

  std::vector<std::vector<std::string>> records;
  qlwtest::WaitUntil([&] { return (records = Records(record)).size() >= 2; });
  ASSERT_EQ(records.size(), 2u);
  const auto& sessions = m.wnd->GetSessions();
  ASSERT_EQ(sessions.size(), 2u);
  char window[32];
  std::snprintf(window, sizeof window, "/LXW=%016llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m.wnd->m_hWnd)));
  std::vector<fs::path> folders;
  std::vector<UUID> ids;
  for (const auto& args : records) {
    ASSERT_EQ(args.size(), 3u);
    UUID id{};
    std::wstring text = CString(args[0].substr(5).c_str()).GetString();
    ASSERT_EQ(args[0].substr(0, 5), "/LXS=");
    ASSERT_EQ(UuidFromStringW(text.data(), &id), RPC_S_OK);
    EXPECT_EQ(std::count_if(sessions.begin(), sessions.end(), [&](const CSession& s) { return s.m_id == id; }), 1);
    ids.push_back(id);
    EXPECT_EQ(args[1], window);
    const fs::path file = args[2];
    EXPECT_EQ(file.filename(), "Quartz.lxtx");
    EXPECT_EQ(file.parent_path().parent_path(), folder / "quillonographic/Xfer");
    EXPECT_EQ(Mode(file), 0600u);
    EXPECT_EQ(Mode(file.parent_path()), 0700u);
    std::ifstream in(file);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "TITL  Quartz");
    folders.push_back(file.parent_path());
  }
  EXPECT_NE(folders[0], folders[1]);
  EXPECT_FALSE(ids[0] == ids[1]);
  EXPECT_EQ(Utf8(g_pPreferences->m_HelperAppVisualisePath.Get().m_strPath), (folder / "bin/Lxw").string());
}

// Found nowhere and the browse question declined: the message names the program; the session and
// the written file stay for a later start.
TEST(VisualiserHandOver, DecliningToBrowseEndsWithTheMessageThatNamesTheProgram) {
  const fs::path folder = Scratch("handover-none");
  EnvVar path("PATH", (folder / "empty").string());
  EnvVar runtime("XDG_RUNTIME_DIR", folder.string());
  MainWindowFixture m(qlwtest::DataPath("Quartz.cif").c_str());
  ASSERT_NE(m.wnd, nullptr);
  g_pPreferences->m_HelperAppVisualisePath.Set(CPath(ToCString(folder / "removed/Lxw")));
  AlertRecorder alerts(2);
  m.Command(33737);
  ASSERT_EQ(alerts.Messages().size(), 2u);
  EXPECT_EQ(alerts.Messages()[0], qlwtest::AlertMessage(CLXXFileVisualiseXferFind::kMessageId));
  EXPECT_EQ(alerts.Messages()[1], qlwtest::AlertMessage(CLXXFileVisualiseXferNoApp::kMessageId));
  EXPECT_EQ(m.wnd->GetSessions().size(), 1u);
}

// A file that cannot be completed is not left for the visualiser: it and its folder go. A name
// that is taken is not written through or removed.
TEST(VisualiserHandOver, AFileThatCannotBeCompletedLeavesNothingBehind) {
  struct FailingClose : CQLLXTXFile {
    void Close() override {
      CQLLXTXFile::Close();
      throw CLXXFile(kLXSeverityMessage, ERROR_WRITE_FAULT, __LINE__);
    }
  };
  const fs::path folder = Scratch("handover-fail");
  auto crystal = std::make_shared<CQLCrystalPattern>(true);
  crystal->m_title = L"cubic";
  CQLPatternList patterns{crystal};
  CDiffractionSettings settings(true);

  fs::create_directories(folder / "one");
  FailingClose failing;
  EXPECT_THROW(VisualiserHandOver::WriteFile(failing, ToCString(folder / "one/x.lxtx"), patterns, settings),
               CLXXFileVisualiseXferNoWrite);
  EXPECT_FALSE(fs::exists(folder / "one"));

  fs::create_directories(folder / "two");
  std::ofstream(folder / "two/x.lxtx") << "not ours";
  fs::create_symlink(folder / "elsewhere.lxtx", folder / "two/y.lxtx");
  for (const char* name : {"x.lxtx", "y.lxtx"}) {
    CQLLXTXFile file;
    EXPECT_THROW(VisualiserHandOver::WriteFile(file, ToCString(folder / "two" / name), patterns, settings),
                 CLXXFileVisualiseXferNoFile);
  }
  EXPECT_TRUE(fs::exists(folder / "two/x.lxtx"));
  EXPECT_FALSE(fs::exists(folder / "elsewhere.lxtx"));
}

// The runtime folder first, the cache folder when there is none or its folder is not this
// user's own; at start-up, folders older than a day go and nothing outside is followed.
TEST(TransferFolder, ComesFromTheRuntimeFolderElseTheCacheAndClearsDayOldOnes) {
  const fs::path folder = Scratch("transfer");
  EnvVar cache("XDG_CACHE_HOME", (folder / "cache").string());
  CString made;
  {
    EnvVar runtime("XDG_RUNTIME_DIR", (folder / "run").string());
    fs::create_directories(folder / "run");
    ASSERT_TRUE(TransferFolder::Create(made));
    EXPECT_EQ(fs::path(Utf8(made)).parent_path(), folder / "run/quillonographic/Xfer");
    EXPECT_EQ(Mode(Utf8(made)), 0700u);
  }
  {
    EnvVar runtime("XDG_RUNTIME_DIR", std::nullopt);
    ASSERT_TRUE(TransferFolder::Create(made));
    EXPECT_EQ(fs::path(Utf8(made)).parent_path(), folder / "cache/quillonographic/Xfer");
  }
  {
    // A link planted where the program's folder goes is not used.
    EnvVar runtime("XDG_RUNTIME_DIR", (folder / "planted").string());
    fs::create_directories(folder / "planted");
    fs::create_directories(folder / "theirs");
    fs::create_symlink(folder / "theirs", folder / "planted/quillonographic");
    ASSERT_TRUE(TransferFolder::Create(made));
    EXPECT_EQ(fs::path(Utf8(made)).parent_path(), folder / "cache/quillonographic/Xfer");
    EXPECT_TRUE(fs::is_empty(folder / "theirs"));
  }
  EnvVar runtime("XDG_RUNTIME_DIR", (folder / "run").string());
  const fs::path root = folder / "run/quillonographic/Xfer";
  fs::create_directories(root / "old/inner");
  fs::create_directories(root / "fresh");
  fs::create_directories(folder / "outside");
  std::ofstream(folder / "outside/keep.txt") << "keep";
  fs::create_symlink(folder / "outside", root / "link");
  const std::time_t now = std::time(nullptr);
  for (const char* name : {"old", "link"}) {
    const timespec times[2] = {{now - TransferFolder::kMaxAgeSeconds - 3600, 0}, {now - TransferFolder::kMaxAgeSeconds - 3600, 0}};
    utimensat(AT_FDCWD, (root / name).c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
  TransferFolder::RemoveStale(now);
  EXPECT_FALSE(fs::exists(root / "old"));
  EXPECT_TRUE(fs::exists(root / "fresh"));
  EXPECT_TRUE(fs::exists(folder / "outside/keep.txt"));
}
