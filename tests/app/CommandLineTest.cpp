// The program's command line: switches, the file cursor and the hand-over block.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "LXAlert.h"
#include "LXApp.h"
#include "QlwApp.h"
#include "QlwCommandLineInfo.h"
#include "QlwDocTypes.h"
#include "Utf16.h"
#include "testing/ProcessRecorder.h"

#include <unistd.h>

namespace {
class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { LXDocTypes::SetTable(g_DocTypeTable); }

  // Parses the arguments as the application does.
  static void Parse(CLXCommandLineInfo& info, const std::vector<std::string>& args) {
    CWinApp app;
    std::vector<char*> argv{const_cast<char*>("quillonographic")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    app.SetArguments(static_cast<int>(argv.size()), argv.data());
    app.ParseCommandLine(info);
  }

  static std::vector<CString> Drain(CLXCommandLineInfo& info) {
    std::vector<CString> seen;
    info.BeginFiles();
    while (info.NextFile()) seen.push_back(info.m_strFileName);
    return seen;
  }
};

UINT g_answer = 1;
int g_questions = 0;
UINT Answer(const CLXAlert&) {
  ++g_questions;
  return g_answer;
}
}  // namespace

TEST_F(CommandLineTest, EveryFileNameIsKeptAndProcessedInOrder) {
  CLXCommandLineInfo info;
  Parse(info, {"a.cif", "/tmp/b.lxtx", "./c é.cif", "../d.cif"});
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
  // Named from the root, so that a running program started elsewhere finds them.
  char folder[4096];
  ASSERT_NE(getcwd(folder, sizeof folder), nullptr);
  const std::wstring here = qlw::FromUtf8(folder) + L"/";
  EXPECT_EQ(Drain(info), (std::vector<CString>{(here + L"a.cif").c_str(), L"/tmp/b.lxtx", (here + L"c é.cif").c_str(),
                                               (here + L"../d.cif").c_str()}));
  EXPECT_FALSE(info.NextFile());
}

TEST_F(CommandLineTest, TypesSwitchSelectsDocumentTypes) {
  const struct {
    std::string arg;
    std::vector<uint32_t> types;
    bool choose, none;
  } cases[] = {
      {"/DefTypes=", {}, false, true},
      {"/DefTypes= '*' ", {1, 4, 3, 22, 34, 37, 10, 11, 13, 14, 15, 12}, false, false},
      {"/DefTypes=\"*\"", {1, 4, 3, 22, 34, 37, 10, 11, 13, 14, 15, 12}, false, false},
      {"/DefTypes=&", {1, 4, 3, 22, 34, 37, 10, 11}, false, false},
      {"/DefTypes=?", {}, true, false},
      {"/DefTypes=!", {1, 4, 3, 22, 34, 37, 10, 11, 13, 14, 15, 12}, true, false},
      {"-deftypes=CIF+lxtx", {3, 22}, false, false},  // in the order of the document types
      {"/DefTypes=session", {10, 11}, false, false},   // a part of a name selects every type that holds it
  };
  for (const auto& c : cases) {
    CLXCommandLineInfo info;
    Parse(info, {c.arg});
    EXPECT_EQ(info.m_fileTypes, c.types) << c.arg;
    EXPECT_EQ(info.m_chooseTypes, c.choose) << c.arg;
    EXPECT_EQ(info.m_noTypes, c.none) << c.arg;
  }
  EXPECT_EQ(CLXCommandLineInfo::GetDefTypesText({22, 4, 6, 99}), CString(L"cif+crystal-5/6+crystal"));
}

TEST_F(CommandLineTest, FrameworkAndProgramSwitches) {
  CQlwCommandLineInfo info;
  Parse(info, {"/Register", "-HKCU", "/SavePrefs", "/SID= 'S-1-5-21' ", "/Inst=" + std::to_string(getpid()),
               "/LXS=01234567-89ab-cdef-0123-456789abcdef", "/LXW=0x1234", "/Embedding"});
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::AppRegister);
  EXPECT_TRUE(info.m_perUser);
  EXPECT_TRUE(info.m_savePrefs);
  EXPECT_EQ(info.m_userSid, CString(L"S-1-5-21"));
  EXPECT_EQ(info.m_callerProcessId, getpid());
  EXPECT_EQ(info.m_callerExecutable.Right(9), CString(L"/test_app"));
  EXPECT_EQ(info.m_linkWindow, 0x1234u);
  EXPECT_EQ(info.m_sessionId.Data1, 0x01234567u);
  EXPECT_TRUE(info.m_bRunEmbedded);
  EXPECT_FALSE(info.m_bShowSplash);
  EXPECT_TRUE(info.m_files.empty());

  CLXCommandLineInfo ignored;
  Parse(ignored, {"/Inst=twelve", "/Inst=0x7fffffff"});
  EXPECT_EQ(ignored.m_callerProcessId, -1);
}

TEST_F(CommandLineTest, LiveLinkSwitches) {
  const struct {
    const char* arg;
    uint64_t window;
  } windows[] = {{"/LXW=ff", 255},
                 {"-lxw=0x10", 16},
                 {"/LXW=zz", 0},
                 {"/LXW=00000000000000ff", 255},
                 {"/LXW=  1a2bq", 0x1a2b},
                 {"/LXW=7fffffff", 0x7fffffff},
                 // A 32-bit reading: too large saturates, a sign extends.
                 {"/LXW=123456789", 0x7fffffff},
                 {"/LXW=-1", ~uint64_t{0}}};
  for (const auto& c : windows) {
    CQlwCommandLineInfo info;
    Parse(info, {c.arg});
    EXPECT_EQ(info.m_linkWindow, c.window) << c.arg;
    EXPECT_TRUE(info.m_files.empty()) << c.arg;
  }

  const struct {
    const char* arg;
    bool nil;
  } sessions[] = {{"/lxs=00112233-4455-6677-8899-aabbccddeeff", false},
                  {"-LXS=00112233-4455-6677-8899-AABBCCDDEEFF", false},
                  {"/LXS=", true},
                  {"/LXS=not-a-uuid", true},
                  {"/LXS=00112233-4455-6677-8899-aabbccddeef", true}};
  for (const auto& c : sessions) {
    CQlwCommandLineInfo info;
    info.m_sessionId.Data1 = 5;  // a later switch replaces an earlier one, also with nil
    Parse(info, {c.arg});
    RPC_STATUS status = 0;
    EXPECT_EQ(UuidIsNil(&info.m_sessionId, &status) != 0, c.nil) << c.arg;
  }

  // Without a switch character the same text is a file name.
  CQlwCommandLineInfo plain;
  Parse(plain, {"LXW=ff"});
  EXPECT_EQ(plain.m_linkWindow, 0u);
  ASSERT_EQ(plain.m_files.size(), 1u);
}

TEST_F(CommandLineTest, LiveLinkValuesLeadTheHandOverBlockInTheSystemLayout) {
  CQlwCommandLineInfo info;
  Parse(info, {"/LXS=00112233-4455-6677-8899-aabbccddeeff", "/LXW=0x1234", "one.cif"});
  std::unique_ptr<uint8_t[]> block(info.PackToBlock());
  const uint8_t expected[24] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xaa, 0xbb,
                                0xcc, 0xdd, 0xee, 0xff, 0x34, 0x12, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(block.get(), block.get() + 24), std::vector<uint8_t>(expected, expected + 24));
  CQlwCommandLineInfo back;
  ASSERT_TRUE(back.UnpackFromBlock(block.get(), info.GetBlockSize()));
  EXPECT_TRUE(back.m_sessionId == info.m_sessionId);
  EXPECT_EQ(back.m_linkWindow, 0x1234u);
  EXPECT_EQ(back.m_files, info.m_files);
}

TEST_F(CommandLineTest, HandOverBlockSizesAndTextLimits) {
  CLXCommandLineInfo info;
  EXPECT_EQ(info.GetBlockSize(), 4688u);
  Parse(info, {"a", "b", "c"});
  EXPECT_EQ(info.GetBlockSize(), 6248u);
  CQlwCommandLineInfo program;
  Parse(program, {"a", "b", "c"});
  EXPECT_EQ(program.GetBlockSize(), 6272u);

  CLXCommandLineInfo longName;
  Parse(longName, {"/tmp/" + std::string(300, 'x')});
  EXPECT_FALSE(longName.FilesFitTheBlock());
  std::unique_ptr<uint8_t[]> block(longName.PackToBlock());
  CLXCommandLineInfo back;
  ASSERT_TRUE(back.UnpackFromBlock(block.get(), longName.GetBlockSize()));
  ASSERT_EQ(back.m_files.size(), 1u);
  EXPECT_EQ(back.m_files[0], CString((L"/tmp/" + std::wstring(254, L'x')).c_str()));
  EXPECT_EQ(back.m_strFileName, CString((L"/tmp/" + std::wstring(254, L'x')).c_str()));
  EXPECT_TRUE(back.FilesFitTheBlock());
}

TEST_F(CommandLineTest, PackingAndUnpackingKeepsTheWholeCommandLine) {
  CQlwCommandLineInfo info;
  Parse(info, {"/p", "/DefTypes=cif+lxtx", "/SavePrefs", "/SID=S-1-5-21-42", "one.cif", "two é.cif", "three.cif",
               "/LXW=77"});
  std::unique_ptr<uint8_t[]> block(info.PackToBlock());
  // The user field ends where the types text begins.
  EXPECT_EQ(block[24 + 4172], 'l');
  CQlwCommandLineInfo back;
  back.m_files = {L"stale"};
  ASSERT_TRUE(back.UnpackFromBlock(block.get(), info.GetBlockSize()));
  EXPECT_FALSE(back.UnpackFromBlock(block.get(), info.GetBlockSize() - 1));
  EXPECT_EQ(back.m_nShellCommand, CCommandLineInfo::FilePrint);
  EXPECT_EQ(back.m_files, info.m_files);
  EXPECT_EQ(back.m_fileTypes, (std::vector<uint32_t>{3, 22}));
  EXPECT_TRUE(back.m_savePrefs);
  EXPECT_FALSE(back.m_noTypes);
  EXPECT_EQ(back.m_userSid, CString(L"S-1-5-21-42"));
  EXPECT_EQ(back.m_linkWindow, 0x77u);
  EXPECT_EQ(Drain(back), info.m_files);
}

TEST_F(CommandLineTest, AUserFieldOfAnyLengthLeavesTheTypesIntact) {
  CLXCommandLineInfo info;
  Parse(info, {"/SID=" + std::string(400, 's'), "/DefTypes=cif"});
  std::unique_ptr<uint8_t[]> block(info.PackToBlock());
  CLXCommandLineInfo back;
  ASSERT_TRUE(back.UnpackFromBlock(block.get(), info.GetBlockSize()));
  EXPECT_EQ(back.m_userSid, CString(std::wstring(255, L's')));
  EXPECT_EQ(back.m_fileTypes, (std::vector<uint32_t>{22}));
}

TEST_F(CommandLineTest, ManyFilesAskFirstAndCancelOpensNone) {
  std::vector<std::string> names;
  for (int i = 0; i < 25; ++i) names.push_back("file" + std::to_string(i) + ".cif");
  const CLXAlert::Presenter previous = CLXAlert::SetPresenter(Answer);
  const bool silent = std::exchange(g_silentMode, false);
  const std::string quiet = std::getenv("QLW_QUIET") ? std::getenv("QLW_QUIET") : "";
  unsetenv("QLW_QUIET");
  for (UINT answer : {2u, 1u}) {
    g_answer = answer;
    g_questions = 0;
    CLXCommandLineInfo info;
    Parse(info, names);
    EXPECT_EQ(Drain(info).size(), answer == 1 ? 25u : 0u);
    EXPECT_EQ(g_questions, 1);
  }
  CLXAlert::SetPresenter(previous);
  g_silentMode = silent;
  if (!quiet.empty()) setenv("QLW_QUIET", quiet.c_str(), 1);
}

TEST_F(CommandLineTest, FilesForANewWindowArriveThereAsFilesWhateverTheirNames) {
  const std::vector<CString> names = {L"q\" -Unregister \"z.cif", L"two blanks  here.cif", L"-Unregister",
                                      L"/Register",              L"/tmp/a dir/b.cif",     L"--",
                                      L"back\\\"slash.cif",      L"-DefTypes=*"};
  std::vector<qlw::LaunchRecord> records;
  {
    CQlwApp app;
    qlw::testing::ProcessRecorder recorder;
    ASSERT_TRUE(app.OpenFilesInNewWindow(names));
    records = recorder.Records();
  }
  ASSERT_EQ(records.size(), 1u);
  // One argument each, as given, after the new window's switch.
  std::vector<std::string> args;
  for (const std::wstring& a : records[0].arguments) args.push_back(CString(a.c_str()).ToUtf8());
  ASSERT_EQ(args.size(), names.size() + 2);
  EXPECT_EQ(args[0], "/Embedding");
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(CString(args[i + 2].c_str()), names[i]) << i;

  // The new process reads them back as files, and nothing else.
  CQlwCommandLineInfo info;
  Parse(info, args);
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
  EXPECT_TRUE(info.m_bRunEmbedded);
  EXPECT_TRUE(info.m_fileTypes.empty());
  // Those not named from the root are named from the folder it was started in.
  char folder[4096];
  ASSERT_NE(getcwd(folder, sizeof folder), nullptr);
  std::vector<CString> fromRoot;
  for (const CString& name : names)
    fromRoot.push_back(name[0] == L'/' ? name : CString((qlw::FromUtf8(folder) + L"/" + name.GetString()).c_str()));
  EXPECT_EQ(Drain(info), fromRoot);
}
