// The framework's preference store CLXPreferences: the ordered list of values, the framework's own
// values, the user's locale codes and the group-wise change detection that decides what is saved.
// The program's store with its named values is CPreferences (engine/Preferences.h).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "CPath.h"
#include "LXException.h"
#include "PrefValue.h"

// 8-byte records that the file dialog and the toolbar keep in the store, stored as their bytes.
struct CLXFilterSelRec {
  uint32_t filterKey;
  uint32_t filterIndex;  // 1-based
};
struct CLXToolbarInitRec {
  uint8_t bytes[8];
};
template <>
struct CPrefStoredForm<CLXFilterSelRec> : CPrefRawStoredForm<CLXFilterSelRec> {};
template <>
struct CPrefStoredForm<CLXToolbarInitRec> : CPrefRawStoredForm<CLXToolbarInitRec> {};

LX_DECLARE_EXCEPTION(CLXXPreferences, CLXXProduct, 21380);
LX_DECLARE_EXCEPTION(CLXXBadPrefs, CLXXPreferences, 21381);
LX_DECLARE_EXCEPTION(CLXXBadPrefsVersion, CLXXPreferences, 21383);

class CLXPreferences;
// The current store for framework code (null while none exists).
extern CLXPreferences* g_pStore;

class CLXPreferences {
 public:
  // Group bits of the values.
  enum : uint16_t {
    kGroupVersion = 0x0001,
    kGroupUpdateCheck = 0x0004,
    kGroupSettings = 0x0008,
    kGroupFiles = 0x0010,
    kGroupFilesMore = 0x0020,
    kGroupWindows = 0x0040,
    kGroupLegacy = 0x4000,
    kGroupStartup = 0x8000,
  };
  static constexpr uint16_t kCreationMask = 0xFFD;
  static constexpr uint16_t kLoadMask = 0xFFC;
  static constexpr uint16_t kSaveMask = 0xFFF;

  // Replaces (deletes) the store that g_pStore points to.
  CLXPreferences();
  // A store of values only, beside the current one: it neither replaces it nor opens the registry.
  struct DetachedTag {};
  explicit CLXPreferences(DetachedTag) : m_detached(true) {}
  CLXPreferences(const CLXPreferences&) = delete;
  CLXPreferences& operator=(const CLXPreferences&) = delete;
  virtual ~CLXPreferences();

  // The "Preferences" key (or subKey) of the program's registry key, read and write; null when
  // it cannot be opened. The caller closes it.
  virtual HKEY OpenKey(LPCWSTR subKey = nullptr);
  // The store's key as a full registry path ("HKEY_CURRENT_USER\\Software\\…\\Preferences").
  void GetKeyPath(CString& out) const;
  virtual uint32_t GetPrefsVersion() = 0;
  virtual uint32_t GetMinPrefsVersion() = 0;
  virtual void SaveDocWindowState();
  virtual void SaveMainFrameState() = 0;
  // Windows that write their state into the preferences: the palettes of the program.
  class CStateWriter {
   public:
    virtual ~CStateWriter() = default;
    // True when the window wrote its state.
    virtual bool WriteStateToPreferences() = 0;
  };
  virtual void SavePaletteStates(const std::vector<CStateWriter*>* windows, bool skip);
  virtual void SaveSettings() = 0;
  virtual void SaveFileSettings();
  virtual void SaveAllWindowStates();
  virtual void Recreate() = 0;
  virtual void SetDefaults();
  virtual bool Upgrade(uint32_t storedVersion, bool skip);

  void Load(bool skipRead);
  bool GroupChanged(uint16_t mask);
  // Writes the values of the groups when their checksum changed (or always with force); the
  // number of values written.
  size_t SaveGroup(uint16_t mask, bool force);
  void InitLocale();
  void GetLocaleTag(CString& out) const;
  static uint8_t* GetPrefBlock(LPCWSTR name, DWORD& size) { return CPrefValue::GetPrefBlock(name, size); }

  bool HasStoredPreferences() const { return m_hasStoredPrefs; }
  const std::vector<CPrefValue*>& GetValues() const { return m_values; }
  // The value of that name, or null.
  CPrefValue* FindValue(LPCWSTR name) const;

  // Hooks of the windows layers: the help viewer palette and the active document window.
  static void SetHelpViewerWriter(CStateWriter* writer);
  using DocWindowStateWriter = bool (*)();
  static void SetDocWindowStateWriter(DocWindowStateWriter writer);

 protected:
  std::vector<CPrefValue*> m_values;

 public:
  CPrefScalar<unsigned> m_BasePrefsVersion{L"BasePrefsVersion", 0x1, &m_values};
  CPrefScalar<unsigned> m_PrefsVersion{L"PrefsVersion", 0x1, &m_values};
  CPrefScalar<unsigned> m_AppVersionInt{L"AppVersionInt", 0x1, &m_values};
  CPrefScalar<bool> m_UpdateCheckNotify{L"UpdateCheckNotify", 0x1C, &m_values};
  CPrefScalar<bool> m_UpdateCheckHadInternet{L"UpdateCheckHadInternet", 0x1C, &m_values};
  CPrefScalar<unsigned> m_UpdateCheckInterval{L"UpdateCheckInterval", 0x1C, &m_values};
  CPrefScalar<SYSTEMTIME> m_UpdateCheckLastCheck{L"UpdateCheckLastCheck", 0x1C, &m_values};
  CPrefScalar<unsigned> m_UpdateCheckLastUpdate{L"UpdateCheckLastUpdate", 0x1C, &m_values};
  CPrefScalar<unsigned> m_UpdateCheckLastUpgrade{L"UpdateCheckLastUpgrade", 0x1C, &m_values};
  CPrefScalar<bool> m_FirstLaunch{L"FirstLaunch", 0x10, &m_values};
  CPrefScalar<CPath> m_LastVisitedFolder{L"LastVisitedFolder", 0x10, &m_values};
  CPrefArray<CLXFilterSelRec> m_LastFileType{L"LastFileType", 0x10, &m_values};
  CPrefArray<LXGraphics::CColor, std::deque<LXGraphics::CColor>> m_CustomColors{L"CustomColors", 0x18, &m_values};
  CPrefScalar<bool> m_ToolbarVis{L"ToolbarVis", 0x58, &m_values};
  CPrefScalar<bool> m_ToolbarLarge{L"ToolbarLarge", 0x58, &m_values};
  CPrefScalar<bool> m_ToolbarShowIcon{L"ToolbarShowIcon", 0x58, &m_values};
  CPrefScalar<bool> m_ToolbarShowText{L"ToolbarShowText", 0x58, &m_values};
  CPrefArray<CLXToolbarInitRec> m_ToolbarState{L"ToolbarState", 0x58, &m_values};
  CPrefScalar<bool> m_HelpWinVisible{L"HelpWinVisible", 0x48, &m_values};
  CPrefScalar<CRect> m_HelpWinRect{L"HelpWinRect", 0x48, &m_values, CRect(0, 0, 0, 0)};
  CPrefScalar<bool> m_DontHidePalettes{L"DontHidePalettes", 0x8000, &m_values};
  CPrefScalar<bool> m_DontInitPalettes{L"DontInitPalettes", 0x8000, &m_values};

 protected:
  CString m_userCountry, m_userLanguage, m_uiCountry, m_uiLanguage;
  bool m_hasStoredPrefs = false;
  bool m_detached = false;
  std::map<uint16_t, uint32_t> m_groupChecksums;
};

// The program's packed version (AppVersionInt); 0 when the version resource cannot be read.
uint32_t GetAppVersionNumber();
// Pauses (true) and resumes (false) the watchdog and the status manager around the replacement of
// the store; each acknowledges, so nothing waits longer than the threads take. True when every
// running thread acknowledged the pause.
bool PauseFrameworkThreads(bool pause);
