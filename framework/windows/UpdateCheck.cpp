// The update check: one at a time across instances, the request and its headers, the decision
// what to tell, and the preferences that remember what was told.
#include "UpdateCheck.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "KernelObjects.h"
#include "LXApp.h"
#include "LXMessage.h"
#include "LXMutex.h"
#include "LXPreferences.h"
#include "LXUtils.h"
#include "StaticInit.h"
#include "VersionFileParser.h"

namespace {
constexpr UINT kTitle = 1650, kUpdateMessage = 1663, kUpdateExplanation = 1664, kUpgradeMessage = 1665,
               kUpgradeExplanation = 1666, kUpToDate = 1667, kProductKey = 1668, kUpdatesPage = 1669,
               kVersionFile = 1670, kProductPage = 1671;
constexpr DWORD kMutexWaitMs = 5000;
bool g_running = false;

std::string Utf8(const CString& text) { return text.ToUtf8(); }

CString Load(UINT id) {
  CString text;
  text.LoadString(id);
  return text;
}

// Milliseconds since 1970 of a UTC SYSTEMTIME.
long long MillisecondsOf(const SYSTEMTIME& t) {
  using namespace std::chrono;
  const year_month_day day{year{t.wYear}, month{t.wMonth}, std::chrono::day{t.wDay}};
  if (!day.ok()) return 0;
  const long long days = sys_days(day).time_since_epoch().count();
  return ((days * 24 + t.wHour) * 60 + t.wMinute) * 60000LL + t.wSecond * 1000LL + t.wMilliseconds;
}

// "scheme://host[:port]" of a URL, and the rest.
void SplitOrigin(const std::string& url, std::string& origin, std::string& path) {
  const size_t scheme = url.find("://");
  const size_t slash = scheme == std::string::npos ? std::string::npos : url.find('/', scheme + 3);
  origin = slash == std::string::npos ? url : url.substr(0, slash);
  path = slash == std::string::npos ? "/" : url.substr(slash);
}

void OpenPage(UINT pageId) {
  const std::string url = CUpdateCheck::PageURL(pageId);
  if (!url.empty()) CUtils::OpenWithShell(CString(url.c_str()), false);
}

// The request of a check that found a connection (or will find out), and what follows it.
void Request(uint32_t own, bool quiet) {
  CLXPreferences& store = *g_pStore;
  UINT page = kUpdatesPage;
  bool visit = false;
  try {
    const std::string url = CUpdateCheck::VersionFileURL();
    CString versionText;
    CUtils::VersionToString(own, versionText);
    CString keyPath;
    store.GetKeyPath(keyPath);
    const std::string agent = Utf8(Load(kProductKey)) + ":W:" + Utf8(versionText) + ":" +
                              std::to_string(CLXApp::GetProgramBuildNumber()) + ":(" +
                              LXUpdateCheckQt::PlatformDescription() + ":" + Utf8(keyPath) + ")";
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"Accept", "text/xml"}, {"Pragma", "no-cache"}, {"User-Agent", agent}};
    std::string body;
    LXUpdateCheckQt::Fetch fetched = LXUpdateCheckQt::Fetch::NotConnected;
    if (!url.empty()) {
      g_running = true;
      fetched = LXUpdateCheckQt::Get(url, headers, body);
      g_running = false;
    }
    if (fetched == LXUpdateCheckQt::Fetch::NotConnected) {
      // Linux tells no connection state: a server that cannot be reached stands for "offline".
      if (!quiet || store.m_UpdateCheckHadInternet.Get()) CLXXUpdateFailed(kLXSeverityMessage, 0, __LINE__).Report();
      store.m_UpdateCheckHadInternet.Set(false);
    } else {
      store.m_UpdateCheckHadInternet.Set(true);
      if (fetched == LXUpdateCheckQt::Fetch::Failed) throw CLXXUpdateFailed(kLXSeverityMessage, 0, __LINE__);
      CUpdateCheck::Listing listing;
      if (fetched == LXUpdateCheckQt::Fetch::TooLarge || !CUpdateCheck::ParseVersionFile(body, own, listing))
        throw CLXXUpdateManual(kLXSeverityUser, 0, __LINE__);
      switch (CUpdateCheck::Decide(own, listing, quiet, store.m_UpdateCheckNotify.Get(),
                                   store.m_UpdateCheckLastUpdate.Get(), store.m_UpdateCheckLastUpgrade.Get())) {
        case CUpdateCheck::Tell::Update:
          visit = CUpdateCheck::AskToVisit(listing.newestSameMajor, kUpdateMessage, kUpdateExplanation);
          store.m_UpdateCheckLastUpdate.Set(listing.newestSameMajor);
          break;
        case CUpdateCheck::Tell::Upgrade:
          visit = CUpdateCheck::AskToVisit(listing.newest, kUpgradeMessage, kUpgradeExplanation);
          store.m_UpdateCheckLastUpgrade.Set(listing.newest);
          page = kProductPage;
          break;
        case CUpdateCheck::Tell::UpToDate:
          CUpdateCheck(Load(kUpToDate), CString(), true).Ask();
          break;
        case CUpdateCheck::Tell::Nothing:
          break;
      }
    }
  } catch (CLXXUpdateManual& e) {
    page = kUpdatesPage;
    visit = e.Report();
  } catch (CLXException& e) {
    e.Report();
  }
  if (visit) OpenPage(page);
  SYSTEMTIME now{};
  GetSystemTime(&now);
  store.m_UpdateCheckLastCheck.Set(now);
  store.SaveGroup(CLXPreferences::kGroupUpdateCheck, false);
}
}  // namespace

CUpdateCheck::CUpdateCheck(const CString& message, const CString& explanation, bool oneButton)
    : CLXAlert(LXAppWindows::GetMainWindow()), m_oneButton(oneButton) {
  CString parts[kPartCount];
  parts[0] = Load(kTitle);
  parts[1] = message;
  parts[2] = explanation;
  parts[3] = L"OK";
  // Two buttons: the alert's question form, whose default is the second, Cancel.
  if (!oneButton) parts[4] = L"Cancel";
  SetMessage(oneButton ? kInformation : kQuestion, parts, CString());
}

bool CUpdateCheck::Ask() { return DoModal() == 1; }

bool CUpdateCheck::AskToVisit(uint32_t packedVersion, UINT messageId, UINT explanationId) {
  CString version, message;
  CUtils::VersionToString(packedVersion, version);
  message.Format(Load(messageId).GetString(), version.GetString());
  return CUpdateCheck(message, Load(explanationId), false).Ask();
}

uint32_t CUpdateCheck::ListedVersion(const std::string& text) {
  int major = -1, minor = -1, bugFix = -1, build = 0, used = 0;
  char stage = ' ';
  if (std::sscanf(text.c_str(), " %d.%d.%d%n", &major, &minor, &bugFix, &used) != 3) return 0;
  if (std::sscanf(text.c_str() + used, "%c%d", &stage, &build) != 2) build = 0;
  // Parts past their bits would wrap into other versions: 300.0.0 is no 44.0.0.
  if (major < 0 || major > 255 || minor < 0 || minor > 255 || bugFix < 0 || bugFix > 255 || build < 0 || build > 63)
    return 0;
  return CUtils::VersionFromString(CString(text.c_str()).Trim());
}

bool CUpdateCheck::ParseVersionFile(const std::string& bytes, uint32_t own, Listing& listing) {
  listing = Listing{own, own};
  std::vector<std::string> texts;
  if (!LXVersionFile::ReadVersionTexts(bytes.data(), bytes.size(), Utf8(Load(kProductKey)), "windows", texts))
    return false;
  for (const std::string& text : texts) {
    const uint32_t v = ListedVersion(text);
    if (v == 0) continue;
    if (v > listing.newest) listing.newest = v;
    if (v > listing.newestSameMajor && (v >> 24) == (own >> 24)) listing.newestSameMajor = v;
  }
  return true;
}

CUpdateCheck::Tell CUpdateCheck::Decide(uint32_t own, const Listing& listing, bool quiet, bool notify,
                                        uint32_t lastUpdate, uint32_t lastUpgrade) {
  if (quiet && !notify) return Tell::Nothing;
  if (own < listing.newestSameMajor && (!quiet || listing.newestSameMajor > lastUpdate)) return Tell::Update;
  if (own < listing.newest && (!quiet || listing.newest > lastUpgrade)) return Tell::Upgrade;
  return quiet ? Tell::Nothing : Tell::UpToDate;
}

bool CUpdateCheck::IsCheckDue(const SYSTEMTIME& now, const SYSTEMTIME& last, unsigned intervalSeconds) {
  const long long elapsedMs = MillisecondsOf(now) - MillisecondsOf(last);
  // A last check in the future (a clock set back) must not hold checks off until then.
  if (elapsedMs < 0) return true;
  const long long seconds = (elapsedMs + 500) / 1000;  // to the nearest half second, as OLE dates round
  return seconds > static_cast<long long>(intervalSeconds);
}

std::string CUpdateCheck::VersionFileURL() {
  const char* server = std::getenv("QLW_UPDATE_URL");
  if (!server || !*server) return {};
  std::string origin, path, ignored;
  SplitOrigin(server, origin, ignored);
  SplitOrigin(Utf8(Load(kVersionFile)), ignored, path);
  return origin + path;
}

std::string CUpdateCheck::PageURL(UINT stringId) {
  const std::string url = Utf8(Load(stringId));
  const char* server = std::getenv("QLW_UPDATE_URL");
  if (!server || !*server) return url;
  std::string origin, path, ignored;
  SplitOrigin(server, origin, ignored);
  SplitOrigin(url, ignored, path);
  return origin + path;
}

void CUpdateCheck::CheckForUpdates(bool automatic, bool ignoreInterval) {
  CLXApp* app = CLXApp::GetApp();
  CheckForUpdates(app ? app->m_versionNumber : 0, automatic, ignoreInterval);
}

bool CUpdateCheck::IsRunning() { return g_running; }

void CUpdateCheck::CheckForUpdates(uint32_t own, bool automatic, bool ignoreInterval) {
  CString name = CString(L"Quillonographic-UpdateCheck-") + g_appGuid.GetText();
  if (CLXApp* app = CLXApp::GetApp()) name = app->MakeInstanceName(name, -1);
  CLXNamedMutexWait lock(name, kMutexWaitMs);
  if (!lock.Owned() || !g_pStore) return;
  CLXPreferences& store = *g_pStore;
  store.m_UpdateCheckLastCheck.Read();
  store.m_UpdateCheckInterval.Set(kIntervalSeconds);
  if (automatic && !ignoreInterval) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    if (!IsCheckDue(now, store.m_UpdateCheckLastCheck.Get(), store.m_UpdateCheckInterval.Get())) return;
  }
  // No web site exists: without a server to ask, a start-up check has nothing to do.
  if (automatic && VersionFileURL().empty()) return;
  Request(own, automatic || ignoreInterval);
}
