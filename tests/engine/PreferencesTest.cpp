// The preference stores against the registry: creation, version checks, unreadable values,
// group saves and the migration of an old name.
#include <gtest/gtest.h>

#include <limits>

#include <memory>
#include <string>
#include <vector>

#include "LXRegistry.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "Status.h"
#include "Watchdog.h"

namespace {
constexpr wchar_t kPrefsPath[] = L"Software\\Lumaxisworks Software\\Qlw\\Preferences";

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lumaxisworks Software"); }
  void TearDown() override {
    delete g_pStore;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lumaxisworks Software");
  }

  static void Store(LPCWSTR name, const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPrefsPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }
  static std::vector<BYTE> U32(uint32_t v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }
  static std::vector<BYTE> F64(double v) {
    std::vector<BYTE> bytes(8);
    std::memcpy(bytes.data(), &v, 8);
    return bytes;
  }
  static std::string Hex(const std::vector<BYTE>& bytes) {
    std::string hex;
    char two[3];
    for (BYTE b : bytes) {
      std::snprintf(two, sizeof two, "%02x", b);
      hex += two;
    }
    return hex;
  }

  // The stored bytes of a value in hex; "absent" when there is none.
  static std::string StoredHex(LPCWSTR name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPrefsPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return "absent";
    DWORD type = 0;
    std::vector<BYTE> bytes;
    const LSTATUS status = qlw::RegQueryStoredValue(key, name, &type, &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "absent";
    return Hex(bytes);
  }

  static DWORD StoredValueCount() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPrefsPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
  }

  // Creates the store and gives what quiet alerts wrote meanwhile.
  static std::string CreateCapturingAlerts(bool defaultsOnly) {
    testing::internal::CaptureStderr();
    CPreferences::Create(defaultsOnly);
    return testing::internal::GetCapturedStderr();
  }
};
}  // namespace

TEST_F(PreferencesTest, CreationOnAnEmptyRegistryWritesEveryValueWithItsDefault) {
  EXPECT_EQ(CreateCapturingAlerts(false), "");
  ASSERT_NE(g_pPreferences, nullptr);
  EXPECT_EQ(g_pPreferences->GetValues().size(), 153u);
  // Every value but the two start-up switches, which are never saved.
  EXPECT_EQ(StoredValueCount(), 151u);
  const struct {
    LPCWSTR name;
    const char* hex;
  } stored[] = {
      {L"PrefsVersion", "09000000"},      {L"BasePrefsVersion", "17000000"}, {L"MaxNumRefs", "10270000"},
      {L"GridColor", "ffba9719"},         {L"RulerColor", "ff1919d8"},       {L"LabelHKL", "01"},
      {L"PrefsTabChoice", "ffffffff"},    {L"DontInitPalettes", "absent"},   {L"CustomColors", ""},
      {L"UpdateCheckLastCheck", "b207010004000100000000000000" "0000"},
  };
  for (const auto& s : stored) EXPECT_EQ(StoredHex(s.name), s.hex) << CString(s.name).ToUtf8();
  EXPECT_EQ(StoredHex(L"FontName"), Hex(qlw::ToUtf16LE(std::wstring_view(L"MS Shell Dlg 2\0", 15))));
  EXPECT_EQ(g_pPreferences->m_StructuresWinWidth.Get(), static_cast<int>(GetSystemMetrics(SM_CXMINTRACK) * 1.6));
  EXPECT_EQ(g_pPreferences->m_ASF.Count(), g_ElementTable.size());
  EXPECT_EQ(g_pPreferences->m_AppVersionInt.Get(), GetAppVersionNumber());
  EXPECT_EQ(&GetScatteringFactorTable(), &g_pPreferences->m_ASF);
}

TEST_F(PreferencesTest, AWrongSizedValueIsReportedOnceAndRewritten) {
  Store(L"PrefsVersion", U32(9));
  Store(L"MaxNumRefs", {0x10, 0x27, 0x00});
  Store(L"Lambda", F64(2.0));
  Store(L"AutoColor", {0x00, 0x00});  // a second bad value still gives one report
  const std::string alerts = CreateCapturingAlerts(false);
  EXPECT_EQ(alerts,
            "Quillonographic : [5385:0000] : Error reading preferences. (Some of your preferences could not be read "
            "and have been set to default values.)\n");
  EXPECT_EQ(g_pPreferences->m_Lambda.Get(), 2.0);
  EXPECT_EQ(g_pPreferences->m_MaxNumRefs.Get(), 10000u);
  EXPECT_EQ(StoredHex(L"MaxNumRefs"), "10270000");
  EXPECT_EQ(StoredHex(L"AutoColor"), "01");
}

TEST_F(PreferencesTest, PreferencesOfANewerVersionKeepEveryDefault) {
  Store(L"PrefsVersion", U32(10));
  Store(L"Lambda", F64(2.0));
  EXPECT_EQ(CreateCapturingAlerts(false).substr(0, 32), "Quillonographic : [5387:0000] : ");
  EXPECT_EQ(g_pPreferences->m_Lambda.Get(), 1.5405);
  EXPECT_EQ(StoredHex(L"PrefsVersion"), "09000000");
}

TEST_F(PreferencesTest, PreferencesOlderThanReadableAreReplacedSilently) {
  Store(L"PrefsVersion", U32(8));
  Store(L"Lambda", F64(2.0));
  EXPECT_EQ(CreateCapturingAlerts(false), "");
  EXPECT_EQ(g_pPreferences->m_Lambda.Get(), 1.5405);
  EXPECT_EQ(StoredHex(L"Lambda"), Hex(F64(1.5405))) << "the whole store is written afresh";
  EXPECT_EQ(StoredHex(L"PrefsVersion"), "09000000");
}

TEST_F(PreferencesTest, DefaultsOnlyReadsAndWritesNothing) {
  Store(L"PrefsVersion", U32(9));
  Store(L"Lambda", F64(2.0));
  EXPECT_EQ(CreateCapturingAlerts(true), "");
  EXPECT_TRUE(g_pPreferences->HasStoredPreferences());
  EXPECT_EQ(g_pPreferences->m_Lambda.Get(), 1.5405);
  EXPECT_EQ(StoredHex(L"Lambda"), Hex(F64(2.0)));
  EXPECT_EQ(StoredValueCount(), 2u);
}

TEST_F(PreferencesTest, GroupsAreWrittenOnlyWhenTheyChangedUnlessForced) {
  CPreferences::Create(false);
  CPreferences& prefs = *g_pPreferences;
  // The creation pass kept a checksum for its own mask only: the first save of 0x40 writes.
  const size_t windowValues = prefs.SaveGroup(0x40, false);
  EXPECT_GT(windowValues, 20u);
  EXPECT_EQ(prefs.SaveGroup(0x40, false), 0u);
  EXPECT_EQ(prefs.SaveGroup(0x40, true), windowValues);
  EXPECT_GT(prefs.SaveGroup(0x8, false), 0u);
  EXPECT_EQ(prefs.SaveGroup(0x8, false), 0u);
  // A value in both the settings and the window group goes out with either group once it changed.
  prefs.m_ToolbarLarge.Set(true);
  EXPECT_GT(prefs.SaveGroup(0x8, false), 0u);
  EXPECT_EQ(StoredHex(L"ToolbarLarge"), "01");
  EXPECT_EQ(prefs.SaveGroup(0x40, false), windowValues);
}

TEST_F(PreferencesTest, TheOldUpdateCheckNameIsMigrated) {
  Store(L"PrefsVersion", U32(9));
  Store(L"UpdateCheckAuto", {0x00});
  CPreferences::Create(false);
  EXPECT_FALSE(g_pPreferences->m_UpdateCheckNotify.Get());
  EXPECT_EQ(StoredHex(L"UpdateCheckNotify"), "00");
  EXPECT_EQ(StoredHex(L"UpdateCheckAuto"), "00");  // read, never written or removed
}

TEST_F(PreferencesTest, PreferencesOfANamedUserLiveInThatUsersHive) {
  LXRegistry::SetUserSid(L"S-1-5-21-7");
  CPreferences::Create(false);
  LXRegistry::SetUserSid(L"");
  EXPECT_EQ(StoredValueCount(), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_USERS, L"S-1-5-21-7\\Software\\Lumaxisworks Software\\Qlw\\Preferences", 0, KEY_READ,
                          &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
  RegDeleteTreeW(HKEY_USERS, L"S-1-5-21-7");
}

TEST_F(PreferencesTest, ReplacingTheStoreWaitsOnlyUntilTheThreadsAcknowledge) {
  ASSERT_TRUE(CWatchdog::Start());
  ASSERT_TRUE(CStatus::EnableForThread());
  const DWORD start = GetTickCount();
  EXPECT_TRUE(PauseFrameworkThreads(true));
  PauseFrameworkThreads(false);
  CPreferences::Create(false);
  CPreferences::Create(true);
  // Without acknowledgements each replacement would sit out 10 s and 5 s.
  EXPECT_LT(GetTickCount() - start, 8000u);
  CStatus::DisableForThread();
  CWatchdog::Stop();
  EXPECT_LT(GetTickCount() - start, 8000u) << "the threads end at once: none is left paused";
}

TEST_F(PreferencesTest, NewSettingsCrystalsAndPatternsStartFromTheStore) {
  CPreferences::Create(false);
  CPreferences& p = *g_pPreferences;
  p.m_Lambda.Set(2.0);
  p.m_FontSize.Set(10.0f);
  p.m_RulerLength.Set(150.0);
  p.m_ParticleSize.Set(500.0);
  p.m_CrystalLineWidth.Set(3.0);
  p.m_LabelHKL.Set(false);

  CDiffractionSettings settings(false);
  EXPECT_EQ(settings.m_lambda, 2.0);
  EXPECT_FLOAT_EQ(settings.m_titleSize, 14.0f);
  EXPECT_FLOAT_EQ(settings.GetRuler(false)->m_length, 150.0f);
  EXPECT_EQ(CQLCrystal(false).m_particleSize, 500.0);
  CQLCrystalPattern pattern(false);
  EXPECT_FLOAT_EQ(pattern.m_lineWidth, 3.0f);
  EXPECT_EQ(pattern.m_labelHKL, 0);

  // Factory objects ignore the store.
  EXPECT_EQ(CDiffractionSettings(true).m_lambda, 1.5405);
  EXPECT_EQ(CQLCrystal(true).m_particleSize, 10000.0);
  CQLCrystalPattern factory(true);
  EXPECT_FLOAT_EQ(factory.m_lineWidth, 1.0f);
  EXPECT_EQ(factory.m_labelHKL, 1);
}

TEST_F(PreferencesTest, ToolsStartFromTheStoreWithAnOpaqueCursorAndFiniteOffsets) {
  CPreferences::Create(false);
  CPreferences& p = *g_pPreferences;
  p.m_CursorColor.Set(LXGraphics::CColor(0x8000FF00u));
  p.m_CursorVisible.Set(true);
  p.m_RulerOffset.Set(LXTypes::CPointT<float>(std::numeric_limits<float>::quiet_NaN(), 12.0f));
  p.m_RulerLength.Set(std::numeric_limits<double>::infinity());
  p.m_RulerVisible.Set(true);

  CDiffractionSettings settings(false);
  const CCursor* cursor = settings.GetCursor(false);
  EXPECT_EQ(cursor->m_rec.color, 0xFF00FF00u);  // a translucent line would vanish on the curves
  EXPECT_TRUE(cursor->IsActive());
  const CRuler* ruler = settings.GetRuler(false);
  EXPECT_EQ(ruler->m_rec.x, 0.0f);
  EXPECT_EQ(ruler->m_rec.y, 12.0f);
  EXPECT_FLOAT_EQ(ruler->m_length, 200.0f);
  EXPECT_TRUE(ruler->IsActive());
}

TEST_F(PreferencesTest, KeyPathNamesTheKeyTheStoreWrites) {
  CPreferences::Create(false);
  CString path;
  g_pStore->GetKeyPath(path);
  EXPECT_EQ(path, CString(L"HKEY_CURRENT_USER\\") + kPrefsPath);
  EXPECT_NE(StoredHex(L"PrefsVersion"), "absent") << "the store writes where its path says";

  // A user named on the command line moves the store below HKEY_USERS.
  LXRegistry::SetUserSid(L"S-1-5-21-7");
  g_pStore->GetKeyPath(path);
  LXRegistry::SetUserSid(L"");
  EXPECT_EQ(path, CString(L"HKEY_USERS\\S-1-5-21-7\\") + kPrefsPath);
}

// The store belongs to the program: a new one destroys the one it replaces (whose destructor writes
// its last folder for the new one to read), so a caller that deletes the old store frees it twice.
TEST_F(PreferencesTest, ReplacingALiveStoreDestroysItAndLeavesOnlyTheNewOne) {
  CPreferences* first = CPreferences::Create(false);
  first->m_LastVisitedFolder.Set(CPath(L"/data/patterns"));
  EXPECT_EQ(&GetScatteringFactorTable(), &first->m_ASF);

  CPreferences* second = CPreferences::Create(false);
  EXPECT_EQ(g_pPreferences, second);
  EXPECT_EQ(g_pStore, second);
  EXPECT_EQ(&GetScatteringFactorTable(), &second->m_ASF) << "the old store's destructor unregistered the new table";
  EXPECT_EQ(CString(second->m_LastVisitedFolder.Get().m_strPath), CString(L"/data/patterns"));

  const CASFPrefArray* secondTable = &second->m_ASF;
  delete second;
  EXPECT_EQ(g_pPreferences, nullptr);
  EXPECT_EQ(g_pStore, nullptr);
  EXPECT_NE(&GetScatteringFactorTable(), secondTable);
}
