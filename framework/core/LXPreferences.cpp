// The framework preference store: construction, load with version checks, group checksums and saves.
#include "LXPreferences.h"

#include <QLocale>
#include <QStringList>

#include <memory>

#include "LXRegistry.h"
#include "LXUtils.h"
#include "Status.h"
#include "StatusMgr.h"
#include "Watchdog.h"

CLXPreferences* g_pStore = nullptr;

namespace {
CLXPreferences::CStateWriter* g_helpViewerWriter = nullptr;
CLXPreferences::DocWindowStateWriter g_docWindowWriter = nullptr;

HKEY OpenCurrentStoreKey() { return g_pStore ? g_pStore->OpenKey(nullptr) : nullptr; }

// "en_GB" or "en-GB" into language and country.
void SplitLocaleName(const QString& name, CString& language, CString& country) {
  QString normal = name;
  normal.replace(QLatin1Char('-'), QLatin1Char('_'));
  const QStringList parts = normal.split(QLatin1Char('_'));
  language.Empty();
  country.Empty();
  if (parts.isEmpty() || parts[0] == QLatin1String("C")) return;
  language = CString(parts[0].toStdWString());
  // A script part ("zh_Hant_TW") comes before the country.
  for (qsizetype i = 1; i < parts.size(); ++i) {
    if (parts[i].size() == 2 && parts[i].toUpper() == parts[i]) {
      country = CString(parts[i].toStdWString());
      break;
    }
  }
}
}  // namespace

uint32_t GetAppVersionNumber() {
  static const uint32_t version = [] {
    CString product, legal, text;
    uint32_t packed = 0;
    return CUtils::GetAppVersionInfo(product, legal, text, &packed) ? packed : 0u;
  }();
  return version;
}

bool PauseFrameworkThreads(bool pause) {
  CLXStatusMgr* manager = CStatus::GetManager();
  if (!pause) {
    if (manager) manager->Resume();
    CWatchdog::Resume();
    return true;
  }
  const bool watchdog = !CWatchdog::Get() || CWatchdog::Pause();
  const bool status = !manager || manager->Pause(CLXStatusMgr::kStopWait);
  return watchdog && status;
}

CLXPreferences::CLXPreferences() {
  // The list was filled by the value members; the previous store goes now.
  delete g_pStore;
  g_pStore = this;
  CPrefValue::SetKeyOpener(&OpenCurrentStoreKey);
}

CLXPreferences::~CLXPreferences() {
  if (g_pStore == this) g_pStore = nullptr;
}

HKEY CLXPreferences::OpenKey(LPCWSTR subKey) {
  return LXRegistry::OpenPreferenceRoot(subKey ? subKey : L"Preferences", true);
}

void CLXPreferences::GetKeyPath(CString& out) const {
  HKEY root = nullptr;
  const CString path = LXRegistry::PreferenceRootPath(L"Preferences", false, &root);
  const wchar_t* rootName = root == HKEY_USERS ? L"HKEY_USERS" : L"HKEY_CURRENT_USER";
  out = CString(rootName) + L"\\" + path;
}

void CLXPreferences::SetHelpViewerWriter(CStateWriter* writer) { g_helpViewerWriter = writer; }
void CLXPreferences::SetDocWindowStateWriter(DocWindowStateWriter writer) { g_docWindowWriter = writer; }

CPrefValue* CLXPreferences::FindValue(LPCWSTR name) const {
  for (CPrefValue* value : m_values)
    if (value->GetName().CompareNoCase(name) == 0) return value;
  return nullptr;
}

void CLXPreferences::SaveDocWindowState() {
  if (g_docWindowWriter && g_docWindowWriter()) SaveGroup(kGroupWindows, false);
}

void CLXPreferences::SavePaletteStates(const std::vector<CStateWriter*>* windows, bool skip) {
  if (skip) return;
  std::vector<CStateWriter*> list;
  if (windows) list = *windows;
  list.push_back(g_helpViewerWriter);
  bool wrote = false;
  for (CStateWriter* window : list)
    if (window && window->WriteStateToPreferences()) wrote = true;
  if (wrote && GroupChanged(kGroupWindows)) {
    for (CPrefValue* value : m_values)
      if (value->GetGroups() & kGroupWindows) value->Write();
  }
}

void CLXPreferences::SaveFileSettings() { SaveGroup(kGroupFiles | kGroupFilesMore, false); }

void CLXPreferences::SaveAllWindowStates() {
  SavePaletteStates(nullptr, false);
  SaveMainFrameState();
  SaveDocWindowState();
}

void CLXPreferences::SetDefaults() {
  m_BasePrefsVersion.Set(23);
  m_PrefsVersion.Set(0);
  m_AppVersionInt.Set(0);
  m_UpdateCheckNotify.Set(true);
  m_UpdateCheckHadInternet.Set(true);
  m_UpdateCheckInterval.Set(0);
  // 1 January 1970, a Thursday.
  m_UpdateCheckLastCheck.Set(SYSTEMTIME{1970, 1, 4, 1, 0, 0, 0, 0});
  m_UpdateCheckLastUpdate.Set(0);
  m_UpdateCheckLastUpgrade.Set(0);
  m_FirstLaunch.Set(true);
  m_LastVisitedFolder.Set(CPath());
  m_LastFileType.Clear();
  m_ToolbarVis.Set(true);
  m_ToolbarLarge.Set(false);
  m_ToolbarShowIcon.Set(true);
  m_ToolbarShowText.Set(true);
  m_ToolbarState.Clear();
  m_HelpWinVisible.Set(false);
  m_HelpWinRect.Set(CRect(0, 0, 0, 0));
  m_DontHidePalettes.Set(false);
  m_DontInitPalettes.Set(false);
}

bool CLXPreferences::Upgrade(uint32_t, bool skip) {
  if (!skip) {
    CPrefScalar<bool> legacy(L"UpdateCheckAuto", kGroupLegacy, nullptr);
    if (legacy.Read() == CPrefValue::kReadOK) m_UpdateCheckNotify.Set(legacy.Get());
  }
  return true;
}

void CLXPreferences::Load(bool skipRead) {
  m_PrefsVersion.Read();
  if (GetMinPrefsVersion() <= m_PrefsVersion.Get()) {
    auto stored = std::make_unique<CPrefScalar<unsigned>>(L"PrefsVersion", m_PrefsVersion.GetGroups(), nullptr);
    const bool storedRead = stored->Read() == CPrefValue::kReadOK;
    if (storedRead && GetPrefsVersion() < stored->Get()) {
      CLXXBadPrefsVersion(kLXSeverityMessage, 0, 0).Report();
    } else if (!skipRead) {
      bool failed = false;
      for (CPrefValue* value : m_values) {
        if (!(value->GetGroups() & kLoadMask)) continue;
        const int result = value->Read();
        if (result != CPrefValue::kReadOK && result != CPrefValue::kReadAbsent) failed = true;
      }
      const bool upgraded = Upgrade(stored->Get(), false);
      for (CPrefValue* value : m_values)
        if (value->GetGroups() & kGroupStartup) value->Read();
      if (failed || !upgraded) CLXXBadPrefs(kLXSeverityMessage, 0, 0).Report();
    }
  }
  m_PrefsVersion.Set(GetPrefsVersion());
  m_AppVersionInt.Set(GetAppVersionNumber());
}

bool CLXPreferences::GroupChanged(uint16_t mask) {
  const uint16_t m = mask & 0x3FFF;
  uint32_t crc = 0xFFFFFFFFu;
  for (CPrefValue* value : m_values)
    if (value->GetGroups() & m) crc = value->Checksum(crc);
  const uint32_t checksum = ~crc;
  auto it = m_groupChecksums.find(m);
  if (it != m_groupChecksums.end() && it->second == checksum) return false;
  m_groupChecksums[m] = checksum;
  return true;
}

size_t CLXPreferences::SaveGroup(uint16_t mask, bool force) {
  const uint16_t m = mask & kSaveMask;
  if (!force && !GroupChanged(m)) return 0;
  size_t written = 0;
  for (CPrefValue* value : m_values) {
    if (!(value->GetGroups() & m)) continue;
    value->Write();
    ++written;
  }
  return written;
}

void CLXPreferences::InitLocale() {
  // The user's formats locale and the language of the interface, as the system reports them.
  SplitLocaleName(QLocale::system().name(), m_userLanguage, m_userCountry);
  const QStringList ui = QLocale::system().uiLanguages();
  if (ui.isEmpty()) {
    m_uiLanguage.Empty();
    m_uiCountry.Empty();
  } else {
    SplitLocaleName(ui.first(), m_uiLanguage, m_uiCountry);
  }
}

void CLXPreferences::GetLocaleTag(CString& out) const {
  out = m_userCountry + L":" + m_userLanguage + L":" + m_uiCountry + L":" + m_uiLanguage;
}
