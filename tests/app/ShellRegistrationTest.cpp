// Shell registration: the registry entries, the desktop entry and MIME package that the Linux
// desktop reads, whether a type is associated, and unregistration.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "LXApp.h"
#include "LXRegistry.h"
#include "QlwDocTypes.h"
#include "TestSupport.h"

namespace {
class ShellRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LXDocTypes::SetTable(g_DocTypeTable);
    m_data = qlwtest::ScratchDir() + "/xdg-data";
    m_config = qlwtest::ScratchDir() + "/xdg-config";
    setenv("XDG_DATA_HOME", m_data.c_str(), 1);
    setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
  }
  void TearDown() override {
    m_app.UnregisterFileTypes({});
    LXRegistry::SetPerUser(false);
    LXRegistry::SetUserSid(L"");
    std::remove((m_config + "/mimeapps.list").c_str());
  }

  static CString Default(HKEY root, const CString& key, LPCWSTR name = nullptr) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return L"<no key>";
    std::wstring text;
    const LSTATUS status = qlw::RegQueryStringValue(k, name, &text);
    RegCloseKey(k);
    return status == ERROR_SUCCESS ? CString(text.c_str()) : CString(L"<no value>");
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Runs a desktop tool in the private XDG environment and returns its output, trimmed.
  std::string Run(const std::string& command) const {
    const std::string env = "env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID "
                            "XDG_DATA_HOME='" + m_data + "' XDG_CONFIG_HOME='" + m_config +
                            "' XDG_DATA_DIRS=/usr/share BROWSER=false ";
    FILE* pipe = popen((env + command + " 2>&1").c_str(), "r");
    if (!pipe) return "<no pipe>";
    std::string out;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }
  static bool HasTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
  }

  CLXApp m_app;
  std::string m_data, m_config;
};

// The program as the desktop starts it: a script that records its arguments, in a folder of the test's choice.
class CFakeProgram : public CLXApp {
 public:
  explicit CFakeProgram(const std::string& folder) : m_exe(folder + "/quillonographic") {
    std::filesystem::create_directories(folder);
    m_record = folder + "/arguments";
    std::remove(m_record.c_str());
    std::ofstream(m_exe) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/arguments.tmp\"\n"
                            "mv \"$(dirname \"$0\")/arguments.tmp\" \"$(dirname \"$0\")/arguments\"\n";
    chmod(m_exe.c_str(), 0755);
  }
  CString GetExecutablePath() override { return CString(m_exe.c_str()); }
  // The arguments of the last start, once it has written them.
  std::string Arguments() const {
    qlwtest::WaitUntil([this] { return std::filesystem::exists(m_record); });
    std::ifstream in(m_record);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string m_exe, m_record;
};
}  // namespace

TEST_F(ShellRegistrationTest, RegistersTheTypesForTheRegistryAndTheDesktop) {
  ASSERT_TRUE(m_app.RegisterFileTypes({22, 4}));
  const CString exe = m_app.GetExecutablePath();
  const struct {
    const wchar_t* key;
    const wchar_t* name;
    CString data;
  } entries[] = {
      {L"Qlw.CIF", nullptr, L"Crystallographic Information File (CIF)"},
      {L"Qlw.CIF\\shell\\open\\command", nullptr, L"\"" + exe + L"\" \"%1\""},
      {L"Qlw.CIF\\shell\\print\\command", nullptr, L"\"" + exe + L"\" /p \"%1\""},
      {L"Qlw.CIF\\shell\\open\\DropTarget", L"CLSID", L"{13dca11d-78cb-484a-892b-10aa643d11ae}"},
      {L".cif", nullptr, L"Qlw.CIF"},
      {L".cif\\OpenWithProgids", L"Qlw.CIF", L""},
      {L".lxd5", nullptr, L"Qlw.Crystal-5/6"},
      {L"CLSID\\{13dca11d-78cb-484a-892b-10aa643d11ae}\\LocalServer32", nullptr, exe},
      {L".lxtx", nullptr, L"<no key>"},
  };
  for (const auto& e : entries) EXPECT_EQ(Default(HKEY_CLASSES_ROOT, e.key, e.name), e.data) << CString(e.key).ToUtf8();
  EXPECT_EQ(Default(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\test_app"), exe);

  const std::string desktop = Slurp(m_data + "/applications/quillonographic.desktop");
  EXPECT_NE(desktop.find("MimeType=application/x-quillonographic-crystal-5-6;chemical/x-cif;\n"), std::string::npos)
      << desktop;
  // The launcher shows the program's icon and matches its windows to the entry.
  EXPECT_NE(desktop.find("\nIcon=quillonographic\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("\nStartupWMClass=quillonographic\n"), std::string::npos) << desktop;
  EXPECT_NE(Slurp(m_data + "/icons/hicolor/scalable/apps/quillonographic.svg").find("<svg"), std::string::npos);
  const std::string package = Slurp(m_data + "/mime/packages/quillonographic.xml");
  EXPECT_NE(package.find("<glob pattern=\"*.cif\" weight=\"60\"/>"), std::string::npos) << package;
  EXPECT_NE(package.find("value=\"LXD5\""), std::string::npos) << package;
  // The shared database has been rebuilt from the package.
  EXPECT_NE(Slurp(m_data + "/mime/globs2").find("chemical/x-cif:*.cif"), std::string::npos);

  bool associated = false;
  ASSERT_TRUE(m_app.IsFileTypeAssociated(22, associated));
  EXPECT_TRUE(associated);
  ASSERT_TRUE(m_app.IsFileTypeAssociated(3, associated));
  EXPECT_FALSE(associated) << "not registered";

  // The user chose another program for the type: the desktop will not use ours.
  qlw::MakeFolders(m_config);
  std::ofstream(m_config + "/mimeapps.list")
      << "[Default Applications]\nchemical/x-cif=other.desktop;\n";
  ASSERT_TRUE(m_app.IsFileTypeAssociated(22, associated));
  EXPECT_FALSE(associated);
}

TEST_F(ShellRegistrationTest, UnregistrationRemovesWhatRegistrationWrote) {
  ASSERT_TRUE(m_app.RegisterFileTypes({22, 10}));
  ASSERT_TRUE(m_app.UnregisterFileTypes({22}));
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L"Qlw.CIF"), CString(L"<no key>"));
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L".cif"), CString(L"<no key>"));
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L".diffract"), CString(L"Qlw.Session"));
  const std::string desktop = Slurp(m_data + "/applications/quillonographic.desktop");
  EXPECT_NE(desktop.find("MimeType=application/x-quillonographic-session;\n"), std::string::npos) << desktop;
  bool associated = true;
  ASSERT_TRUE(m_app.IsFileTypeAssociated(22, associated));
  EXPECT_FALSE(associated);

  ASSERT_TRUE(m_app.UnregisterFileTypes({}));
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L".diffract"), CString(L"<no key>"));
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L"CLSID\\{13dca11d-78cb-484a-892b-10aa643d11ae}"), CString(L"<no key>"));
  EXPECT_EQ(Slurp(m_data + "/applications/quillonographic.desktop"), "");
  EXPECT_EQ(Slurp(m_data + "/mime/packages/quillonographic.xml"), "");
  EXPECT_EQ(Slurp(m_data + "/icons/hicolor/scalable/apps/quillonographic.svg"), "");
}

TEST_F(ShellRegistrationTest, PerUserRegistrationUsesTheUsersClasses) {
  const struct {
    const wchar_t* sid;
    HKEY root;
    const wchar_t* classes;
  } cases[] = {
      {L"S-1-5-21-9", HKEY_USERS, L"S-1-5-21-9_Classes\\.cif"},
      {L"", HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\.cif"},
  };
  for (const auto& c : cases) {
    LXRegistry::SetPerUser(true);
    LXRegistry::SetUserSid(c.sid);
    ASSERT_TRUE(m_app.RegisterFileTypes({22}));
    EXPECT_EQ(Default(c.root, c.classes), CString(L"Qlw.CIF")) << CString(c.classes).ToUtf8();
    EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L".cif"), CString(L"<no key>"));
    ASSERT_TRUE(m_app.UnregisterFileTypes({}));
    EXPECT_EQ(Default(c.root, c.classes), CString(L"<no key>"));
  }
}

TEST_F(ShellRegistrationTest, TheTypesToAssociateAreTheDefaultOnesNotYetAssociated) {
  std::vector<uint32_t> defaults;
  for (const CLXDocTypeRow& row : g_DocTypeTable)
    if (row.shell) defaults.push_back(row.fileType);
  EXPECT_EQ(m_app.GetTypesToAssociate(), defaults) << "nothing registered yet";
  ASSERT_TRUE(m_app.RegisterFileTypes({22, 4}));
  std::vector<uint32_t> rest;
  for (uint32_t type : defaults)
    if (type != 22 && type != 4) rest.push_back(type);
  EXPECT_EQ(m_app.GetTypesToAssociate(), rest);
}

// What a file manager does after /Register: recognise the files by name and by content, find the
// program as their default, and start it with the file, wherever the program is installed.
TEST_F(ShellRegistrationTest, TheDesktopRecognisesAndOpensTheRegisteredFiles) {
  if (!HasTool("xdg-open") || !HasTool("xdg-mime") || !HasTool("update-mime-database"))
    GTEST_SKIP() << "xdg-utils and shared-mime-info are needed";
  const std::string files = qlwtest::ScratchDir() + "/desktop-files";
  std::filesystem::create_directories(files);
  std::ofstream(files + "/x.cif") << "data_x\n_cell_length_a 5.43\n";
  std::ofstream(files + "/notes.str") << "a plain note\n";
  std::ofstream(files + "/plain.txt") << "a plain note\n";
  std::ofstream(files + "/crystal", std::ios::binary) << std::string("LXD5\0\0\0\x10rest of the file", 22);
  std::ofstream(files + "/older", std::ios::binary)
      << std::string("\0\0\0HLXDF\0\0\0LUMAXISWORKS and the rest", 36);
  std::ofstream(files + "/session", std::ios::binary) << std::string("QLSF\0\0\0\x0fQuillonographic then", 28);
  for (const char* ext : {".quillono", ".quillonographic", ".lxdf", ".lxd5", ".crystal"})
    std::ofstream(files + "/x" + ext) << "x";

  const std::string programs = qlwtest::ScratchDir() + "/programs";
  const struct {
    std::string folder, exec;
  } installs[] = {
      {programs + "/plain", "Exec=" + programs + "/plain/quillonographic %F\n"},
      // Quoted as the desktop-entry rules ask, with the string escaping of the entry on top.
      {programs + "/with blanks, $HOME and `quotes` 100% \\",
       "Exec=\"" + programs + "/with blanks, \\\\$HOME and \\\\`quotes\\\\` 100%% \\\\\\\\/quillonographic\" %F\n"},
  };
  for (const auto& install : installs) {
    SCOPED_TRACE(install.folder);
    CFakeProgram program(install.folder);
    ASSERT_TRUE(program.RegisterFileTypes({}));
    const std::string desktop = m_data + "/applications/quillonographic.desktop";
    EXPECT_NE(Slurp(desktop).find("\n" + install.exec), std::string::npos) << Slurp(desktop);
    if (HasTool("desktop-file-validate")) EXPECT_EQ(Run("desktop-file-validate '" + desktop + "'"), "");

    const struct {
      const char* file;
      const char* type;
    } cases[] = {
        {"x.cif", "chemical/x-cif"},
        {"x.quillono", "application/x-quillonographic-session"},
        {"x.quillonographic", "application/x-quillonographic-session"},
        {"x.lxdf", "application/x-quillonographic-crystal"},
        {"x.crystal", "application/x-quillonographic-crystal"},
        {"x.lxd5", "application/x-quillonographic-crystal-5-6"},
        {"crystal", "application/x-quillonographic-crystal-5-6"},
        {"older", "application/x-quillonographic-crystal"},
        {"session", "application/x-quillonographic-session"},
        {"notes.str", "text/plain"},
        {"plain.txt", "text/plain"},
    };
    for (const auto& c : cases)
      EXPECT_EQ(Run("xdg-mime query filetype '" + files + "/" + c.file + "'"), c.type) << c.file;
    EXPECT_EQ(Run("xdg-mime query default chemical/x-cif"), "quillonographic.desktop");
    EXPECT_EQ(Run("xdg-mime query default application/x-quillonographic-session"), "quillonographic.desktop");
    // The text formats stay open to text editors.
    const std::string package = Slurp(m_data + "/mime/packages/quillonographic.xml");
    EXPECT_NE(package.find("<mime-type type=\"application/x-quillonographic-lxtx\">\n"
                           "    <comment>Lumaxisworks Text Data File</comment>\n"
                           "    <sub-class-of type=\"text/plain\"/>"),
              std::string::npos)
        << package;
    EXPECT_EQ(package.find("*.asc"), std::string::npos) << package;

    // xdg-open asks the desktop's handlers only with a display named; the program never connects to
    // it. Debian's xdg-open reads no quotes in Exec, so it can start only a program that needs none.
    if (&install == &installs[0]) {
      const std::string opened = Run("DISPLAY=:97 xdg-open '" + files + "/x.cif'");
      EXPECT_EQ(program.Arguments(), files + "/x.cif\n") << opened;
    }

    ASSERT_TRUE(program.UnregisterFileTypes({}));
    EXPECT_FALSE(std::filesystem::exists(desktop));
    EXPECT_FALSE(std::filesystem::exists(m_data + "/mime/packages/quillonographic.xml"));
    EXPECT_EQ(Slurp(m_config + "/mimeapps.list").find("quillonographic"), std::string::npos);
    EXPECT_NE(Run("xdg-mime query filetype '" + files + "/x.quillono'"), "application/x-quillonographic-session");
  }
}

// An install script or a remote shell has no display: the program registers the types all the
// same, quietly, and unregisters them; started plainly without one, it says that it has none.
TEST_F(ShellRegistrationTest, TheProgramRegistersWithoutADisplay) {
  const std::string program = std::string(QLW_BIN_DIR) + "/quillonographic";
  ASSERT_TRUE(std::filesystem::exists(program));
  const std::vector<std::string> env = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QLW_QUIET",
                                        "HOME=" + qlwtest::ScratchDir() + "/no-display-home",
                                        "XDG_DATA_HOME=" + m_data, "XDG_CONFIG_HOME=" + m_config};
  const std::string desktop = m_data + "/applications/quillonographic.desktop";
  const std::string package = m_data + "/mime/packages/quillonographic.xml";

  auto reg = apptest::StartProgram(program, {"/Register"}, env);
  std::string said = apptest::ReadUntil(reg, "");
  ASSERT_EQ(apptest::Wait(reg), 0) << said;
  EXPECT_NE(Slurp(desktop).find("chemical/x-cif;"), std::string::npos) << said;
  EXPECT_NE(Slurp(package).find("<glob pattern=\"*.cif\" weight=\"60\"/>"), std::string::npos) << said;
  EXPECT_NE(Slurp(m_data + "/mime/globs2").find("chemical/x-cif:*.cif"), std::string::npos);
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L".cif"), CString(L"Qlw.CIF"));

  auto unreg = apptest::StartProgram(program, {"-unregister"}, env);
  said = apptest::ReadUntil(unreg, "");
  ASSERT_EQ(apptest::Wait(unreg), 0) << said;
  EXPECT_FALSE(std::filesystem::exists(desktop));
  EXPECT_FALSE(std::filesystem::exists(package));
  EXPECT_EQ(Default(HKEY_CLASSES_ROOT, L".cif"), CString(L"<no key>"));

  auto plain = apptest::StartProgram(program, {}, env);
  said = apptest::ReadUntil(plain, "");
  EXPECT_NE(apptest::Wait(plain), 0);
  EXPECT_NE(said.find("could not connect to display"), std::string::npos) << said;
}

// Jobs of the test below, each in a process of its own with the registry folder it was given.
TEST(ShellRegistration, ChildJobs) {
  if (!apptest::Job()) GTEST_SKIP() << "runs in child processes only";
  LXDocTypes::SetTable(g_DocTypeTable);
  const std::string job = apptest::Job();
  CLXApp app;
  if (job == "register") _exit(app.RegisterFileTypes({22}) ? 0 : 1);
  if (job == "registered") {
    HKEY key = nullptr;
    const bool found = RegOpenKeyExW(HKEY_CLASSES_ROOT, L".cif", 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    _exit(found ? 0 : 1);
  }
  _exit(2);
}

// Someone whose own registry holds the program's registration runs the tests: they pass, on a
// registry of their own, and leave the registration where it was.
TEST(ShellRegistration, TestsLeaveTheCallersRegistryAlone) {
  const std::string callers = qlwtest::ScratchDir() + "/callers-registry";
  auto reg = apptest::Start("ShellRegistration.ChildJobs", "register", {"QLW_REGISTRY_DIR=" + callers});
  ASSERT_EQ(apptest::Wait(reg), 0);
  // Started as from a shell, not as a child of this test, which would share its folders.
  auto suite = apptest::Start("ShellRegistrationTest.*", "", {"QLW_REGISTRY_DIR=" + callers, "QLW_TEST_SCRATCH", "QLW_RUNTIME_DIR"});
  EXPECT_EQ(apptest::Wait(suite, 180000), 0);
  auto check = apptest::Start("ShellRegistration.ChildJobs", "registered", {"QLW_REGISTRY_DIR=" + callers});
  EXPECT_EQ(apptest::Wait(check), 0) << "the caller's registration is gone";
}
