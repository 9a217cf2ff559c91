// Shell registration: the registry entries, the desktop entry and MIME package that the Linux
// desktop reads, whether a type is associated, and unregistration.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

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
    wchar_t text[1024] = {};
    DWORD bytes = sizeof text - 4;
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &bytes);
    RegCloseKey(k);
    return status == ERROR_SUCCESS ? CString(text) : CString(L"<no value>");
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  CLXApp m_app;
  std::string m_data, m_config;
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
  EXPECT_NE(desktop.find("Exec=\"" + exe.ToUtf8() + "\" %F\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("MimeType=application/x-quillonographic-crystal-5-6;application/x-quillonographic-cif;\n"),
            std::string::npos)
      << desktop;
  // The launcher shows the program's icon and matches its windows to the entry.
  EXPECT_NE(desktop.find("\nIcon=quillonographic\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("\nStartupWMClass=quillonographic\n"), std::string::npos) << desktop;
  EXPECT_NE(Slurp(m_data + "/icons/hicolor/scalable/apps/quillonographic.svg").find("<svg"), std::string::npos);
  const std::string package = Slurp(m_data + "/mime/packages/quillonographic.xml");
  EXPECT_NE(package.find("<glob pattern=\"*.cif\" weight=\"60\"/>"), std::string::npos) << package;
  EXPECT_NE(package.find("value=\"LXD5\""), std::string::npos) << package;
  // The shared database has been rebuilt from the package.
  EXPECT_NE(Slurp(m_data + "/mime/globs2").find("application/x-quillonographic-cif:*.cif"), std::string::npos);

  bool associated = false;
  ASSERT_TRUE(m_app.IsFileTypeAssociated(22, associated));
  EXPECT_TRUE(associated);
  ASSERT_TRUE(m_app.IsFileTypeAssociated(3, associated));
  EXPECT_FALSE(associated) << "not registered";

  // The user chose another program for the type: the desktop will not use ours.
  qlw::MakeFolders(m_config);
  std::ofstream(m_config + "/mimeapps.list")
      << "[Default Applications]\napplication/x-quillonographic-cif=other.desktop;\n";
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
