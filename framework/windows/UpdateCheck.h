// The update check: the version file from the maker's server (UpdateCheckQt.cpp fetches it,
// versionfile/ reads it), what to tell the user about it, and the dialog that tells it.
#pragma once
#include <cstdint>
#include <string>

#include "LXAlert.h"
#include "LXException.h"

LX_DECLARE_EXCEPTION(CLXXUpdateFailed, CLXXMain, 20803);
LX_DECLARE_EXCEPTION(CLXXUpdateManual, CLXXMain, 20804);

class CUpdateCheck : public CLXAlert {
 public:
  // Half a second, in days: the rounding of OLE dates.
  static constexpr double kHalfSecondDays = 5.787037037037037e-6;
  static constexpr unsigned kIntervalSeconds = 86400;
  // The largest version file read; a larger answer is not parsed.
  static constexpr size_t kMaxFileBytes = 32768;
  // A request that makes no progress for this long is given up.
  static constexpr int kStallTimeoutMs = 15000;

  CUpdateCheck(const CString& message, const CString& explanation, bool oneButton);
  // Shows the dialog; true when the user chose OK.
  bool Ask();
  // The message (formatted with the version as text) and the explanation, two buttons, Cancel
  // the default; true when the user chose OK.
  static bool AskToVisit(uint32_t packedVersion, UINT messageId, UINT explanationId);

  // The whole check, for the program's own version.
  static void CheckForUpdates(bool automatic, bool ignoreInterval);
  // True while a check waits for its server in a local event loop.
  static bool IsRunning();
  // The same for a given own version.
  static void CheckForUpdates(uint32_t own, bool automatic, bool ignoreInterval);

  // What a version file lists, against own: L the newest, U the newest of own's major.
  struct Listing {
    uint32_t newest = 0;
    uint32_t newestSameMajor = 0;
  };
  // False when the file is not a version file of the expected shape.
  static bool ParseVersionFile(const std::string& bytes, uint32_t own, Listing& listing);
  // A listed version text as packed; 0 when it does not parse or a part is out of range.
  static uint32_t ListedVersion(const std::string& text);

  enum class Tell { Nothing, Update, Upgrade, UpToDate };
  static Tell Decide(uint32_t own, const Listing& listing, bool quiet, bool notify, uint32_t lastUpdate,
                     uint32_t lastUpgrade);
  // Whether an automatic check is due: more than intervalSeconds since last (UTC); a last check in
  // the future is due too.
  static bool IsCheckDue(const SYSTEMTIME& now, const SYSTEMTIME& last, unsigned intervalSeconds);

  // The version file's address: QLW_UPDATE_URL's scheme, host and port with string 1670's path;
  // empty when QLW_UPDATE_URL is not set (no web site exists).
  static std::string VersionFileURL();
  static std::string PageURL(UINT stringId);

 private:
  bool m_oneButton;
};

namespace LXUpdateCheckQt {
enum class Fetch { Ok, NotConnected, Failed, TooLarge };
// A GET of url with the headers, in a local event loop; body holds what was received.
Fetch Get(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers, std::string& body);
// "Name:major.minor:0:build" of the system the program runs on.
std::string PlatformDescription();
}  // namespace LXUpdateCheckQt
