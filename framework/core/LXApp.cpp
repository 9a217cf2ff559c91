// The application base: start-up, the message pump, idle time, exit, folders and file lists.
#include "LXApp.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "CFile.h"
#include "Controls.h"
#include "LXAlert.h"
#include "LXAlertFileScope.h"
#include "LXCrashReport.h"
#include "LXException.h"
#include "LXMessage.h"
#include "LXPreferences.h"
#include "LXRegistry.h"
#include "LXUtils.h"
#include "OSVersion.h"
#include "RecentDocuments.h"
#include "StaticInit.h"
#include "Status.h"
#include "VersionInfo.h"
#include "Watchdog.h"

namespace {
bool g_singleFilePerStart = false;
bool g_registeringWithoutDisplay = false;
CLXApp::OpenFilesPrompt g_openFilesPrompt = nullptr;

// Query values: letters, digits and "-._~" as they are, everything else percent-encoded UTF-8.
CString QueryEscape(const CString& text) {
  static const char kHex[] = "0123456789ABCDEF";
  CString out;
  for (const unsigned char c : text.ToUtf8()) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<wchar_t>(c);
    } else {
      out += L'%';
      out += static_cast<wchar_t>(kHex[c >> 4]);
      out += static_cast<wchar_t>(kHex[c & 15]);
    }
  }
  return out;
}

// The system's tag for the support site: the named Windows releases, workstations only.
const wchar_t* SystemTag(const OSVERSIONINFOEXW& v) {
  if (v.wProductType != VER_NT_WORKSTATION) return L"other";
  if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) return L"winxp";
  // A 5.2 workstation is the x64 edition of XP; this program is 64-bit.
  if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2 && sizeof(void*) == 8) return L"winxp";
  if (v.dwMajorVersion == 6) {
    static const wchar_t* const kTags[] = {L"winvista", L"win7", L"win8", L"win8_1"};
    if (v.dwMinorVersion < 4) return kTags[v.dwMinorVersion];
  }
  return L"other";
}

bool IsDirectory(const CString& path) {
  struct stat st;
  return stat(path.ToUtf8().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

CString JoinPath(const CString& folder, const CString& more) {
  wchar_t buffer[MAX_PATH * 4] = {};
  wcsncpy(buffer, folder.GetString(), MAX_PATH - 1);
  if (!PathAppendW(buffer, more)) return folder + L"/" + more;
  return CString(buffer);
}

CString FolderOf(const CString& path) {
  const int slash = path.ReverseFind(L'/');
  return slash <= 0 ? CString(L"/") : path.Left(slash);
}

CString SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? CString(path) : CString();
}

LRESULT CALLBACK InstanceWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (CLXApp* app = CLXApp::GetApp(); app && app->HandleInstanceMessage(message, wParam, lParam, result))
    return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The watchdog's heartbeat follows what the application counts as activity.
bool AppCountsAsActivity(const MSG& msg) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return true;
  MSG copy = msg;
  return app->IsIdleMessage(&copy) != FALSE;
}

struct FlagScope {
  bool& flag;
  bool old;
  FlagScope(bool& f, bool value) : flag(f), old(f) { flag = value; }
  ~FlagScope() { flag = old; }
};
}  // namespace

bool g_batchOpen = false;

CLXApp::CLXApp(const wchar_t* appName) : CWinApp(appName) {
  // First, so that no library installed later can take the fatal signals from it.
  InstallCrashHandler();
}

CLXApp::~CLXApp() {
  if (m_instanceMutex) CloseHandle(m_instanceMutex);
  if (m_queryMutex) CloseHandle(m_queryMutex);
}

CLXApp* CLXApp::GetApp() { return dynamic_cast<CLXApp*>(AfxGetApp()); }

bool CLXApp::PrepareRegistrationWithoutDisplay(int argc, char** argv) {
  SetArguments(argc, argv);
  CCommandLineInfo info;
  ParseCommandLine(info);
  if (info.m_nShellCommand != CCommandLineInfo::AppRegister && info.m_nShellCommand != CCommandLineInfo::AppUnregister)
    return false;
  // A platform the caller chose is theirs; a plain start without a display still fails on it.
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* value = std::getenv(name); value && *value) return false;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  g_registeringWithoutDisplay = true;
  return true;
}

BOOL CLXApp::InitInstance() {
  CLXMessage::RestoreRegistry();
  SetRegistryKey(L"Lumaxisworks Software");
  CString versionText;
  if (!CUtils::GetAppVersionInfo(m_productName, m_legalNotice, versionText, &m_versionNumber))
    throw CLXXNoVersionInfo(kLXSeverityFatal, 0, __LINE__);
  m_productVersion = versionText;
  CStatus::EnableForThread();

  const CString queryName = MakeInstanceName(CString(kQueryMutexBase) + L"-" + g_appGuid.GetText(), -1);
  SetLastError(ERROR_SUCCESS);
  m_queryMutex = CreateMutexW(nullptr, FALSE, queryName);
  const DWORD error = GetLastError();
  if (!m_queryMutex || (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS))
    throw CLXXNoAppMutex(kLXSeverityFatal, error, __LINE__);

  AddDocTemplates();
  // Files the program names recent carry the types of its own desktop registration.
  qlw::SetRecentMimeTypeResolver(&CLXApp::MimeTypeOfFile);
  m_cmdInfo.reset(CreateCommandLineInfo());
  ParseCommandLine(*m_cmdInfo);
  LXRegistry::SetUserSid(m_cmdInfo->m_userSid);
  LXRegistry::SetPerUser(m_cmdInfo->m_perUser);
  const int command = m_cmdInfo->m_nShellCommand;
  // Without a display nobody sees a box: the alerts of registration go to standard error.
  g_silentMode = ((command == CCommandLineInfo::AppRegister || command == CCommandLineInfo::AppUnregister) &&
                  (!m_cmdInfo->m_chooseTypes || g_registeringWithoutDisplay)) ||
                 m_cmdInfo->m_bRunAutomated;
  // Other instances of the user find this one through its windows.
  qlw::StartWindowServer();
  CWatchdog::SetActivityTest(AppCountsAsActivity);
  CWatchdog::Start();
  return TRUE;
}

int CLXApp::ExitInstance() {
  CStatus::DisableForThread();
  CWatchdog::Stop();
  CWatchdog::SetActivityTest(nullptr);
  RemoveTempFolder();
  if (m_instanceWindow) {
    DestroyWindow(m_instanceWindow);
    m_instanceWindow = nullptr;
  }
  CLXMessage::DestroyRegistry();
  const int result = CWinApp::ExitInstance();
  return m_exitCode != 0 ? m_exitCode : result;
}

BOOL CLXApp::PumpMessage() {
  BOOL result;
  try {
    result = CWinApp::PumpMessage();
  } catch (CLXException& e) {
    result = e.Report();
  } catch (const std::exception& e) {
    CLXException converted(e, kLXSeverityFatal);
    result = converted.Report();
  } catch (CException* e) {
    CLXException converted(e, kLXSeverityFatal);
    result = converted.Report();
  } catch (...) {
    result = FALSE;
  }
  SetClosing(!result, false);
  return result;
}

BOOL CLXApp::OnIdle(LONG count) {
  const BOOL base = CWinApp::OnIdle(count);
  if (m_closing) return base;
  if (count < kIdleBroadcastCount) return TRUE;
  if (count == kIdleBroadcastCount) {
    CLXMsgGeneral idle(g_msgIdle, kIdleBroadcastCount, 0, nullptr, false, false);
    idle.Send(CLXMessage::kModeSync);
    if (g_pStore) g_pStore->SaveGroup(0x30, false);
  }
  return base;
}

BOOL CLXApp::IsIdleMessage(MSG* msg) {
  // The watchdog's heartbeat is no sign of the user.
  if (msg->message == WM_TIMER) {
    if (CWatchdog* watchdog = CWatchdog::Get(); watchdog && msg->wParam == watchdog->GetHeartbeatTimerId())
      return FALSE;
  }
  return CWinApp::IsIdleMessage(msg);
}

BOOL CLXApp::PreTranslateMessage(MSG* msg) {
  // The wheel scrolls what is under the pointer, not what has the focus; over another program's
  // window (or none) it is not ours to scroll.
  if (msg->message == WM_MOUSEWHEEL) {
    const POINT pointer{static_cast<short>(LOWORD(msg->lParam)), static_cast<short>(HIWORD(msg->lParam))};
    const HWND under = WindowFromPoint(pointer);
    DWORD owner = 0;
    if (!under || !GetWindowThreadProcessId(under, &owner) || owner != GetCurrentProcessId()) return TRUE;
    if (under != msg->hwnd) {
      SendMessageW(under, msg->message, msg->wParam, msg->lParam);
      return TRUE;
    }
  }
  return CWinApp::PreTranslateMessage(msg);
}

int CLXApp::DoMessageBox(const wchar_t* prompt, UINT type, UINT helpId) {
  CString parts[CLXAlert::kPartCount];
  parts[0] = L"Quillonographic";
  parts[1] = prompt;
  CLXAlert alert(GetMainFrame());
  if ((type & MB_TYPEMASK) != MB_YESNOCANCEL) {
    alert.SetMessage(CLXAlert::kInformation, parts, CString());
    return static_cast<int>(alert.DoModal());
  }
  // Yes, No and Cancel: the alert's first button, its third, and Cancel (which Escape presses).
  const bool askToSave = helpId == AFX_IDP_ASK_TO_SAVE;
  parts[3] = askToSave ? L"Save" : L"Yes";
  parts[4] = L"Cancel";
  parts[5] = parts[3];
  alert.SetMessage(CLXAlert::kQuestion, parts, CString());
  alert.SetThirdButton(askToSave ? L"Don't Save" : L"No");
  // Nobody can answer a quiet question: it neither writes files nobody chose nor keeps the
  // program from closing, as before there was a question.
  if (CLXAlert::IsQuiet()) {
    alert.DoModal();
    return IDNO;
  }
  switch (alert.DoModal()) {
    case IDOK: return IDYES;
    case IDNO: return IDNO;
    default: return IDCANCEL;
  }
}

bool CLXApp::AcceptsSeveralFiles() { return !g_singleFilePerStart; }

bool CLXApp::OpenOneFile(int, const wchar_t* path) { return OpenDocumentFile(path) != nullptr; }

BOOL CLXApp::ProcessCommandLine(CLXCommandLineInfo& info) {
  FlagScope processing(m_processingCommandLine, true);
  m_handedElsewhere = false;
  // The class library asks no confirmation for an embedded start.
  if (info.m_nShellCommand == CCommandLineInfo::AppUnregister) info.m_bRunEmbedded = TRUE;
  info.BeginFiles();
  BOOL result = TRUE;
  while (info.NextFile()) {
    m_handedElsewhere = false;
    result = ProcessShellCommand(info);
    if (!result && !m_handedElsewhere) break;
  }
  return result;
}

bool CLXApp::ProcessHandedOverCommandLine() {
  if (!m_cmdInfo) m_cmdInfo.reset(CreateCommandLineInfo());
  // Inside the processing of another command line, its info is still in use; the files that
  // came in between open after that command line's.
  std::unique_ptr<CLXCommandLineInfo> later(m_processingCommandLine ? CreateCommandLineInfo() : nullptr);
  CLXCommandLineInfo& info = later ? *later : *m_cmdInfo;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kHandOverMapping);
  if (!mapping) return false;
  const size_t prefix = info.GetBlockPrefixSize();
  bool unpacked = false;
  if (auto* head = static_cast<const uint8_t*>(
          MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, prefix + CLXCommandLineInfo::kFilesOffset))) {
    uint32_t count;
    std::memcpy(&count, head + prefix + CLXCommandLineInfo::kFileCountOffset, 4);
    UnmapViewOfFile(head);
    const size_t size = prefix + CLXCommandLineInfo::kFilesOffset + size_t(count) * CLXCommandLineInfo::kTextField;
    if (count <= 100000) {
      if (auto* block = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size))) {
        unpacked = info.UnpackFromBlock(block, size);
        UnmapViewOfFile(block);
      }
    }
  }
  CloseHandle(mapping);
  if (!unpacked) return false;
  if (later) {
    m_handedOverLater.push_back(std::move(later));
    return true;
  }
  ProcessCommandLine(*m_cmdInfo);
  ProcessHandedOverLater();
  return true;
}

void CLXApp::ProcessHandedOverLater() {
  while (!m_handedOverLater.empty() && !m_processingCommandLine) {
    std::unique_ptr<CLXCommandLineInfo> info = std::move(m_handedOverLater.front());
    m_handedOverLater.erase(m_handedOverLater.begin());
    ProcessCommandLine(*info);
  }
}

void CLXApp::SetClosing(bool closing, bool force) {
  if (!((closing && !m_closing) || force)) return;
  const bool was = m_closing;
  m_closing = closing;
  if (m_closing && !was && g_pStore) SavePreferences();
}

bool CLXApp::PauseWatchdog() { return CWatchdog::Pause(); }

namespace {
// User-interface thread only.
bool g_appBusy = false;
std::vector<std::pair<HWND, UINT>> g_putOffWhileBusy;
}  // namespace

bool CLXApp::IsBusy() { return g_appBusy; }

void CLXApp::SetBusy(bool busy) {
  g_appBusy = busy;
  if (busy) return;
  std::vector<std::pair<HWND, UINT>> due;
  due.swap(g_putOffWhileBusy);
  for (const auto& [window, message] : due)
    if (IsWindow(window)) SendMessageW(window, message, 0, 0);
}

void CLXApp::SendWhenNotBusy(HWND window, UINT message) {
  if (!g_appBusy) {
    if (IsWindow(window)) SendMessageW(window, message, 0, 0);
    return;
  }
  const std::pair<HWND, UINT> item{window, message};
  if (std::find(g_putOffWhileBusy.begin(), g_putOffWhileBusy.end(), item) == g_putOffWhileBusy.end())
    g_putOffWhileBusy.push_back(item);
}

void CLXApp::AddDocTemplates() {}

CLXCommandLineInfo* CLXApp::CreateCommandLineInfo() { return new CLXCommandLineInfo(); }

void CLXApp::SavePreferences() {
  if (g_pStore) g_pStore->SaveGroup(0x30, false);
}

bool CLXApp::HasStoredPreferences() {
  HKEY key = LXRegistry::OpenPreferenceRoot(L"Preferences", false, true);
  if (!key) return false;
  RegCloseKey(key);
  return true;
}

HWND CLXApp::GetMainFrame() { return LXAppWindows::GetMainFrameWindow(); }

CString CLXApp::GetExecutablePath() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return CString(path, static_cast<int>(length));
}

bool CLXApp::GetDataFolder(CString& out, const CString& relative, bool create, bool skipPerUser, bool includeRoaming) {
  CString temp;
  if (!GetTempFolder(temp)) throw CLXXNoDataFolder(kLXSeverityMessage, 0, __LINE__);
  CString programFolder;
  programFolder.LoadString(1063);
  std::vector<CString> candidates;
  const CString exe = GetExecutablePath();
  candidates.push_back(FolderOf(exe));
  {
    const CString exeName = exe.Mid(exe.ReverseFind(L'/') + 1);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CString(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName,
                      0, KEY_READ, &key) == ERROR_SUCCESS) {
      std::wstring registered;
      DWORD type = 0;
      if (qlw::RegQueryStringValue(key, nullptr, &registered, &type) == ERROR_SUCCESS && type == REG_SZ)
        candidates.push_back(FolderOf(registered.c_str()));
      RegCloseKey(key);
    }
  }
  std::vector<CString> perUser;
  if (!skipPerUser) {
    if (includeRoaming) perUser.push_back(JoinPath(SpecialFolder(CSIDL_APPDATA), programFolder));
    perUser.push_back(JoinPath(SpecialFolder(CSIDL_LOCAL_APPDATA), programFolder));
  }
  perUser.push_back(JoinPath(SpecialFolder(CSIDL_COMMON_APPDATA), programFolder));
  candidates.insert(candidates.end(), perUser.begin(), perUser.end());
  for (const CString& folder : candidates) {
    if (folder.IsEmpty()) continue;
    const CString path = JoinPath(folder, relative);
    if (PathFileExistsW(path)) {
      out = path + (IsDirectory(path) ? L"/" : L"");
      return true;
    }
  }
  if (!create || g_silentMode) return false;
  for (const CString& folder : perUser) {
    const CString path = JoinPath(folder, relative);
    const int made = SHCreateDirectoryExW(nullptr, path, nullptr);
    if (made == ERROR_SUCCESS || made == ERROR_ALREADY_EXISTS) {
      out = path + L"/";
      return true;
    }
  }
  return false;
}

bool CLXApp::GetHelpFolder(CString& out) {
  if (const char* forced = std::getenv("QLW_HELP_DIR"); forced && *forced) {
    if (!IsDirectory(CString(forced))) return false;
    out = CString(forced);
    return true;
  }
  CString name;
  name.LoadString(1091);
  CString folder;
  if (!GetDataFolder(folder, name, false, false, false) || !IsDirectory(folder)) return false;
  out = folder;
  return true;
}

namespace {
CLXApp::HelpPageShower g_helpPageShower = nullptr;

bool IsWebAddress(const CString& target) {
  return target.Find(L"://") > 0 || target.Left(7).CompareNoCase(L"mailto:") == 0;
}

// The file names of the PDF guides, string ids.
constexpr UINT kTutorialName = 1356, kUserGuideName = 1357;

// The guide a path or file URL names by its file name: kUserGuideName, kTutorialName, or 0.
UINT GuideNameOf(const CString& target) {
  CString path;
  if (!CUtils::FileURLToPath(target, path)) path = target;
  const CString file = path.Mid(path.ReverseFind(L'/') + 1);
  for (const UINT id : {kUserGuideName, kTutorialName}) {
    CString name;
    if (name.LoadString(id) && file == name) return id;
  }
  return 0;
}
}  // namespace

void CLXApp::SetHelpPageShower(HelpPageShower shower) { g_helpPageShower = shower; }

void CLXApp::OpenHelp(UINT command) {
  static bool running = false;
  if (running) return;
  running = true;
  struct Done {
    ~Done() { running = false; }
  } done;
  constexpr UINT kGuideCommand = 32779, kTutorialCommand = 32777, kHelpCommand = 57671;
  if (command == kGuideCommand || command == kTutorialCommand) {
    const bool guide = command == kGuideCommand;
    CString name, path;
    name.LoadString(guide ? kUserGuideName : kTutorialName);
    if (!GetDataFolder(path, name, false, false, false) || IsDirectory(path)) {
      if (guide) throw CLXXUserGuideNotFound(kLXSeverityMessage, 0, __LINE__);
      throw CLXXTutorialNotFound(kLXSeverityMessage, 0, __LINE__);
    }
    OpenHelpDocument(path);
    return;
  }
  CString folder, url;
  if (!GetHelpFolder(folder)) folder.Empty();
  CString home;
  if (!folder.IsEmpty()) GetCommandURL(kHelpCommand, folder, home);
  const bool haveHelp = !home.IsEmpty() && PathFileExistsW(home) && !IsDirectory(home);
  if (!GetCommandURL(command, folder, url) || url.IsEmpty()) {
    // A page command finds no page only for want of a help folder: the viewer then comes up
    // empty and says so itself. Any other command lacks a web address, which is said plainly.
    if (folder.IsEmpty() && IsHelpPageCommand(command) && g_helpPageShower) {
      g_helpPageShower(CString());
      return;
    }
    throw CLXXNoWebAddress(kLXSeverityMessage, 0, __LINE__);
  }
  if (IsWebAddress(url)) {
    OpenHelpDocument(url);
    return;
  }
  // In an empty help folder the viewer comes up empty and says so itself.
  if (!PathFileExistsW(url) && !haveHelp && g_helpPageShower) {
    g_helpPageShower(CString());
    return;
  }
  // A page that is missing, or no page of the help folder, is no help.
  if (!PathFileExistsW(url) || !g_helpPageShower || !g_helpPageShower(url))
    throw CLXXNoHelp(kLXSeverityMessage, 0, __LINE__);
}

void CLXApp::OpenHelpDocument(const CString& target, UINT progressText) {
  bool opened = false;
  {
    std::optional<CStatus> status;
    if (progressText) status.emplace(progressText);
    opened = CUtils::OpenWithShell(target, false);
  }
  if (opened) return;
  const UINT guide = GuideNameOf(target);
  if (!guide) throw CLXXNoHelp(kLXSeverityMessage, 0, __LINE__);
  UINT answer = 0;
  if (guide == kUserGuideName)
    CLXXUserGuideCantOpen(kLXSeverityUser, 0, __LINE__).ShowAlert(answer);
  else
    CLXXTutorialCantOpen(kLXSeverityUser, 0, __LINE__).ShowAlert(answer);
  if (answer != 1) return;
  CString reader;
  if (!reader.LoadString(1130) || reader.IsEmpty()) throw CLXXNoWebAddress(kLXSeverityMessage, 0, __LINE__);
  CUtils::OpenWithShell(reader, false);
}

bool CLXApp::IsHelpPageCommand(UINT command) {
  // Pages need a folder to be named at all; any folder will do to learn whether one is named.
  CString target;
  return GetCommandURL(command, CString(L"."), target) && !target.IsEmpty() && !IsWebAddress(target);
}

void CLXApp::GetSystemQuery(CString& url) {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  CString product = m_pszAppName ? m_pszAppName : L"";
  product.MakeLower();
  CString query;
  query.Format(L"os=%s&osver=%lu.%lu(%lu)&sp=%u.%u&product=%s&version=%s", SystemTag(version),
               static_cast<unsigned long>(version.dwMajorVersion), static_cast<unsigned long>(version.dwMinorVersion),
               static_cast<unsigned long>(version.dwBuildNumber), static_cast<unsigned>(version.wServicePackMajor),
               static_cast<unsigned>(version.wServicePackMinor), QueryEscape(product).GetString(),
               QueryEscape(m_productVersion).GetString());
  url += url.Find(L'?') >= 0 ? L"&" : L"?";
  url += query;
}

bool CLXApp::GetCommandURL(UINT command, const CString& folder, CString& url) {
  url.Empty();
  struct Target {
    UINT command;
    UINT stringId;
    bool helpPage;
  };
  static const Target kTargets[] = {{57671, 1353, true},  {32770, 1150, true},  {32785, 1358, true},
                                    {32776, 1355, true},  {32774, 1354, false}, {32780, 1142, false},
                                    {32782, 1137, false}, {32783, 1139, false}, {32784, 1140, false}};
  constexpr UINT kReleaseNotesCommand = 32774, kWhatsNewCommand = 32785;
  for (const Target& t : kTargets) {
    if (t.command != command) continue;
    CString target;
    // Release notes with no web address are the local What's New page.
    if (command == kReleaseNotesCommand && (!target.LoadString(t.stringId) || target.IsEmpty()))
      return GetCommandURL(kWhatsNewCommand, folder, url);
    // An empty or missing entry points nowhere: the command has no target.
    if (!target.LoadString(t.stringId) || target.IsEmpty()) return false;
    if (!t.helpPage) {
      url = target;
      if (command == 32782) GetSystemQuery(url);
      return true;
    }
    if (folder.IsEmpty()) return false;
    url = JoinPath(folder, target);
    return true;
  }
  return false;
}

CString CLXApp::MakeInstanceName(const CString& base, int scope) {
  if (scope < 0) scope = GetInstanceScope();
  CString name = base;
  switch (scope) {
    case 1: {
      // The desktop: the display the program runs on.
      const char* display = std::getenv("WAYLAND_DISPLAY");
      if (!display || !*display) display = std::getenv("DISPLAY");
      name += L"-";
      name += CString(display ? display : "");
      break;
    }
    case 2: {
      const char* session = std::getenv("XDG_SESSION_ID");
      const unsigned long long id = session ? std::strtoull(session, nullptr, 10) : 0;
      CString suffix;
      suffix.Format(L"-%08x%08x", static_cast<unsigned>(id >> 32), static_cast<unsigned>(id & 0xFFFFFFFFu));
      name += suffix;
      break;
    }
    case 3: {
      const char* domain = std::getenv("USERDOMAIN");
      char host[256] = {};
      if (!domain || !*domain) domain = gethostname(host, sizeof host - 1) == 0 ? host : "";
      const char* user = std::getenv("USER");
      CString suffix = CString(L"-") + CString(domain) + L"-" + CString(user ? user : "");
      name += suffix.Left(64);
      break;
    }
    default:
      break;
  }
  return name;
}

bool CLXApp::FindRunningInstance(int scope, bool owner, HWND* window) {
  if (window) *window = nullptr;
  if (m_queryMutex && WaitForSingleObject(m_queryMutex, owner ? 0 : kQueryWait) != WAIT_TIMEOUT) {
    if (m_instanceMutex) {
      ReleaseMutex(m_instanceMutex);
      CloseHandle(m_instanceMutex);
    }
    SetLastError(ERROR_SUCCESS);
    m_instanceMutex = CreateMutexW(
        nullptr, owner ? TRUE : FALSE,
        MakeInstanceName(CString(kInstanceMutexBase) + L"-" + g_appGuid.GetText(), scope));
    const DWORD error = GetLastError();
    ReleaseMutex(m_queryMutex);
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return true;
  }
  if (!window && !owner) return true;
  const HWND found = FindOtherInstanceWindow(SMTO_NOTIMEOUTIFNOTHUNG);
  if (found) {
    if (owner) SetForegroundWindow(found);
    if (window) *window = found;
  }
  return !owner;
}

bool CLXApp::IsOtherInstanceGone() { return FindOtherInstanceWindow() == nullptr; }

HWND CLXApp::FindOtherInstanceWindow(UINT extraFlags) {
  struct Search {
    DWORD me;
    UINT flags;
    HWND found;
  } search{GetCurrentProcessId(), SMTO_BLOCK | SMTO_ABORTIFHUNG | extraFlags, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lParam);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->me) return TRUE;
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(hwnd, g_msgAreYouMe, 0, 0, s->flags, kHandOverTimeout, &answer) &&
            answer == g_msgAreYouMe) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found && IsWindow(search.found) ? search.found : nullptr;
}

bool CLXApp::HandOverCommandLine(HWND window) {
  // A name cut to its field would open another file or none: such a start opens its files itself.
  if (!m_cmdInfo || !m_cmdInfo->FilesFitTheBlock()) return false;
  const size_t size = m_cmdInfo->GetBlockSize();
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                      kHandOverMapping);
  if (!mapping) return false;
  bool sent = false;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size)) {
    std::unique_ptr<uint8_t[]> block(m_cmdInfo->PackToBlock());
    std::memcpy(view, block.get(), size);
    DWORD_PTR answer = 0;
    // The receiver opens the mapping while this call waits, so it still exists.
    // Taken only when the receiver answered that it processed the block.
    sent = SendMessageTimeoutW(window, g_msgProcessShellCmd, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG,
                               kHandOverTimeout, &answer) != 0 &&
           answer != 0;
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return sent;
}

bool CLXApp::OpenFileList(const std::vector<CString>& paths, int flag) {
  if (paths.empty()) return OpenOneFile(0, nullptr);
  if (paths.size() == 1) return OpenOneFile(flag, paths[0]);
  FlagScope batch(g_batchOpen, true);
  CLXCancellableScope cancel(true);
  bool all = true;
  for (const CString& path : paths) {
    if (cancel.Cancelled()) return false;
    CLXAlertFileScope named(path);
    all = OpenOneFile(0, path) && all;
  }
  return all;
}

bool CLXApp::StartNewProcess() {
  m_handedElsewhere = CUtils::RunProgram(GetExecutablePath(), CString(), false);
  if (!m_handedElsewhere) CLXXNoNewApp(kLXSeverityMessage, GetLastError(), __LINE__).Report();
  return m_handedElsewhere;
}

bool CLXApp::OpenFilesInNewProcess(const std::vector<CString>& paths) {
  if (paths.empty()) return StartNewProcess();
  // One argument per path after "--", so that the child reads every one as a file, whatever it holds.
  std::vector<CString> arguments{kNewProcessSwitch, L"--"};
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  m_handedElsewhere = CUtils::RunProgram(GetExecutablePath(), arguments);
  if (!m_handedElsewhere) CLXXNoNewApp(kLXSeverityMessage, GetLastError(), __LINE__).Report();
  return m_handedElsewhere;
}

void CLXApp::SetOpenFilesPrompt(OpenFilesPrompt prompt) { g_openFilesPrompt = prompt; }

bool CLXApp::OpenFilesDialog(const std::vector<uint32_t>& fileTypes, std::vector<CString>& paths,
                             uint32_t initialType, bool, bool) {
  std::vector<CDocTemplate*> templates;
  int initialFilter = 0;
  for (const uint32_t type : fileTypes) {
    CDocTemplate* docTemplate = GetTemplateForFileType(type);
    if (!docTemplate) continue;
    templates.push_back(docTemplate);
    if (type == initialType && initialFilter == 0) initialFilter = static_cast<int>(templates.size());
  }
  std::vector<CString> chosen;
  if (!g_openFilesPrompt || !g_openFilesPrompt(templates, initialFilter, AcceptsSeveralFiles(), chosen)) return false;
  paths.insert(paths.end(), chosen.begin(), chosen.end());
  return true;
}

int CLXApp::GetProgramBuildNumber() {
  wchar_t exe[MAX_PATH + 1] = {};
  if (GetModuleFileNameW(nullptr, exe, MAX_PATH) == 0) return 0;
  const CString file = CString(exe) + L".exe";
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file, &handle);
  if (size == 0) return 0;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file, handle, size, block.data())) return 0;
  LPVOID value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO)) return 0;
  return static_cast<int>(static_cast<const VS_FIXEDFILEINFO*>(value)->dwFileVersionLS & 0xFFFF);
}

bool CLXApp::OpenFilesOfTypes(const std::vector<uint32_t>& fileTypes, uint32_t initialType, bool flag1, bool flag2) {
  std::vector<CString> paths;
  if (!OpenFilesDialog(fileTypes, paths, initialType, flag1, flag2) || paths.empty()) return false;
  if (paths.size() > static_cast<size_t>(CLXCommandLineInfo::kLotsOfFiles)) {
    CLXXFileLotsOfFiles question(kLXSeverityUser, 0, 0, static_cast<int>(paths.size()));
    if (!question.Report()) return false;
  }
  return OpenFileList(paths, 0);
}

std::vector<CString> CLXApp::ChooseFilesToOpen(const std::vector<uint32_t>& fileTypes) {
  std::vector<CDocTemplate*> templates;
  for (const uint32_t type : fileTypes) {
    CDocTemplate* docTemplate = GetTemplateForFileType(type);
    if (docTemplate && std::find(templates.begin(), templates.end(), docTemplate) == templates.end())
      templates.push_back(docTemplate);
  }
  std::vector<CString> chosen;
  if (templates.empty() || !g_openFilesPrompt || !g_openFilesPrompt(templates, 0, true, chosen)) return {};
  return chosen;
}

std::vector<uint32_t> CLXApp::GetTypesToAssociate() {
  std::vector<uint32_t> types;
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    bool associated = false;
    if (row.shell && IsFileTypeAssociated(row.fileType, associated) && !associated) types.push_back(row.fileType);
  }
  return types;
}

UINT_PTR CLXApp::StartReleaseNotesTimer(UINT delayMs) {
  return SetTimer(nullptr, 0, delayMs, &CLXApp::ReleaseNotesTimerProc);
}

void CALLBACK CLXApp::ReleaseNotesTimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(hwnd, id);
  CLXMsgMenuCmd(nullptr, kReleaseNotesCommand).Send(CLXMessage::kModeAsync);
}

CString CLXApp::StripNumericExtension(const CString& name) {
  const int dot = name.ReverseFind(L'.');
  if (dot < 0 || dot == name.GetLength() - 1) return name;
  for (int i = dot + 1; i < name.GetLength(); ++i)
    if (name[i] < L'0' || name[i] > L'9') return name;
  return name.Left(dot);
}

const CLXDocTypeRow* CLXApp::FindTemplateForFileType(uint32_t fileType) const {
  return LXDocTypes::FindRowForFileType(fileType);
}

bool CLXApp::HandleInstanceMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == 0) return false;
  CLXMessage::IdPair pair;
  if (!CLXMessage::LookupId(message, pair)) return false;
  const UINT id = pair.sync;
  if (id == g_msgAreYouMeSync) {
    result = static_cast<LRESULT>(message);
    return true;
  }
  if (id == g_msgProcessShellCmdSync) {
    result = ProcessHandedOverCommandLine() ? 1 : 0;
    return true;
  }
  if (id == g_msgOpenDocumentFileSync) {
    std::unique_ptr<CString> path(reinterpret_cast<CString*>(lParam));
    std::vector<CString> paths;
    if (path) paths.push_back(*path);
    result = OpenFileList(paths, static_cast<int>(wParam)) ? 1 : 0;
    return true;
  }
  if (id == g_msgOpenDocumentFilesSync) {
    std::unique_ptr<std::vector<CString>> list(reinterpret_cast<std::vector<CString>*>(lParam));
    result = OpenFileList(list ? *list : std::vector<CString>(), static_cast<int>(wParam)) ? 1 : 0;
    return true;
  }
  return false;
}

HWND CLXApp::CreateInstanceWindow() {
  if (m_instanceWindow) return m_instanceWindow;
  WNDCLASSW wc{};
  wc.lpfnWndProc = InstanceWindowProc;
  wc.lpszClassName = L"LXAppInstanceWindow";
  RegisterClassW(&wc);
  m_instanceWindow = CreateWindowW(L"LXAppInstanceWindow", m_pszAppName, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                   nullptr);
  return m_instanceWindow;
}
