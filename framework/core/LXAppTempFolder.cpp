// The application's temporary folders: one per process, named by its process id, under the
// program's folder in the system's temporary folder. The process holds a lock on a file in its
// folder while it runs; the lock goes with the process however it ends, so that a later start
// can tell a folder left by a killed or crashed process from one in use, whatever its pid now names.
#include "LXApp.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ShellFolders.h"

namespace {
CString g_tempFolder;
int g_ownerLock = -1;
constexpr char kOwnerFile[] = ".owner";
// A process that started this long after a folder last changed did not make it.
constexpr long kStartSlackSeconds = 60;

bool IsDirectory(const CString& path) {
  struct stat st;
  return stat(path.ToUtf8().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The program's folder in the system's temporary folder; empty when there is none.
CString ProgramTempRoot() {
  wchar_t temp[MAX_PATH * 4] = {};
  if (!GetTempPathW(MAX_PATH, temp)) return CString();
  CString programFolder;
  programFolder.LoadString(1063);
  if (!PathAppendW(temp, programFolder)) return CString();
  return CString(temp);
}

// The lock file is locked before it gets its name: whoever finds it by name finds it locked.
int LockOwnerFile(const std::string& folder) {
  const std::string fresh = folder + "/" + kOwnerFile + ".new";
  // Not inherited: a window started from this one must not keep this folder's lock alive.
  const int fd = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(fresh.c_str(), (folder + "/" + kOwnerFile).c_str()) != 0) {
    ::close(fd);
    ::unlink(fresh.c_str());
    return -1;
  }
  return fd;
}

// When the process started, in seconds of the system clock; none when it cannot be read.
std::optional<long long> ProcessStartTime(pid_t pid) {
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(statFile, line)) return std::nullopt;
  // The command name in parentheses may hold blanks; the fields after it are counted from its end.
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  // The start time, in clock ticks after boot, is the 22nd field; the state after ")" the 3rd.
  for (int i = 3; i <= 22; ++i)
    if (!(fields >> field)) return std::nullopt;
  const long long ticks = std::strtoll(field.c_str(), nullptr, 10);
  std::ifstream systemStat("/proc/stat");
  long long boot = -1;
  for (std::string name; systemStat >> name;) {
    if (name == "btime") {
      systemStat >> boot;
      break;
    }
    std::getline(systemStat, line);
  }
  const long tick = ::sysconf(_SC_CLK_TCK);
  if (boot < 0 || tick <= 0) return std::nullopt;
  return boot + ticks / tick;
}

// Whether the process that made the folder has certainly ended; false whenever it may still run.
bool IsAbandoned(const std::string& folder, pid_t pid, time_t changed) {
  const int fd = ::open((folder + "/" + kOwnerFile).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd >= 0) {
    // Held while its process runs, whichever process has that pid now.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
  }
  if (errno != ENOENT) return false;
  // No lock file: the folder is being made this moment, or an earlier version made it. The pid
  // decides: no such process, or one that started well after the folder last changed.
  if (::kill(pid, 0) != 0) return errno == ESRCH;
  const std::optional<long long> started = ProcessStartTime(pid);
  return started && *started > static_cast<long long>(changed) + kStartSlackSeconds;
}

// A folder name that is a process id as this program writes it.
std::optional<pid_t> PidOfName(const std::string& name) {
  if (name.empty() || name.size() > 10 || name[0] == '0') return std::nullopt;
  for (const char c : name)
    if (c < '0' || c > '9') return std::nullopt;
  const long long value = std::strtoll(name.c_str(), nullptr, 10);
  if (value <= 0 || value > INT_MAX) return std::nullopt;
  return static_cast<pid_t>(value);
}
}  // namespace

bool CLXApp::GetTempFolder(CString& out) {
  if (!g_tempFolder.IsEmpty() && IsDirectory(g_tempFolder)) {
    out = g_tempFolder;
    return true;
  }
  const CString root = ProgramTempRoot();
  if (root.IsEmpty()) return false;
  // One folder per process: exit removes it while other windows of the program keep theirs.
  const CString folder = root + L"/" + CString(std::to_string(GetCurrentProcessId()).c_str());
  const int made = SHCreateDirectoryExW(nullptr, folder, nullptr);
  if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS) return false;
  if (g_ownerLock >= 0) ::close(g_ownerLock);
  // Without the lock the folder still serves; a later start then goes by the pid alone.
  g_ownerLock = LockOwnerFile(folder.ToUtf8());
  g_tempFolder = folder;
  out = folder;
  return true;
}

void CLXApp::RemoveTempFolder() {
  if (!g_tempFolder.IsEmpty() && IsDirectory(g_tempFolder)) {
    std::error_code ec;
    std::filesystem::remove_all(g_tempFolder.ToUtf8(), ec);
  }
  g_tempFolder.Empty();
  if (g_ownerLock >= 0) ::close(g_ownerLock);
  g_ownerLock = -1;
}

void CLXApp::RemoveAbandonedTempFolders() {
  const CString root = ProgramTempRoot();
  if (root.IsEmpty()) return;
  const std::string path = root.ToUtf8();
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return;
  std::vector<std::string> abandoned;
  while (const dirent* entry = ::readdir(dir)) {
    const std::optional<pid_t> pid = PidOfName(entry->d_name);
    if (!pid || *pid == ::getpid()) continue;
    const std::string child = path + "/" + entry->d_name;
    struct stat st {};
    // Only folders of this user: another user's are not ours to judge.
    if (::lstat(child.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    if (IsAbandoned(child, *pid, st.st_mtime)) abandoned.push_back(child);
  }
  ::closedir(dir);
  for (const std::string& child : abandoned) {
    std::error_code ignored;
    std::filesystem::remove_all(child, ignored);
  }
}
