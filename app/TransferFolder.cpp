#include "TransferFolder.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Utf16.h"
#include "Uuid.h"
#include "Win.h"

namespace {
constexpr UINT kTextTransferFolder = 1104;  // "Xfer"
constexpr char kProgramFolder[] = "quillonographic";

std::string EnvFolder(const char* name) {
  const char* value = std::getenv(name);
  // Relative values are to be ignored: they would depend on the working folder.
  return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvFolder("HOME");
  if (home.empty())
    if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir) home = user->pw_dir;
  return home;
}

std::string TransferName() {
  CString name;
  if (!name.LoadString(kTextTransferFolder) || name.IsEmpty()) name = L"Xfer";
  return name.ToUtf8();
}

bool IsOwnFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// A folder made for this user alone, or one that is already a real folder of this user: never a
// link or a folder of someone else, into which a file could be planted or read.
bool MakeOwnFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  return errno == EEXIST && IsOwnFolder(path);
}

bool NewFolderName(std::string& name) {
  UUID id{};
  if (!TransferFolder::NewId(id)) return false;
  RPC_WSTR text = nullptr;
  if (UuidToStringW(&id, &text) != RPC_S_OK || !text) return false;
  name = CString(text).ToUtf8();
  RpcStringFreeW(&text);
  return !name.empty();
}
}  // namespace

bool TransferFolder::NewId(UUID& id) {
  const RPC_STATUS status = UuidCreateSequential(&id);
  RPC_STATUS nilStatus = RPC_S_OK;
  return (status == RPC_S_OK || status == RPC_S_UUID_LOCAL_ONLY) && !UuidIsNil(&id, &nilStatus);
}

std::vector<CString> TransferFolder::Roots() {
  std::vector<CString> roots;
  const std::string tail = std::string("/") + kProgramFolder + "/" + TransferName();
  if (const std::string runtime = EnvFolder("XDG_RUNTIME_DIR"); !runtime.empty())
    roots.push_back(CString(qlw::FromUtf8(runtime + tail).c_str()));
  std::string cache = EnvFolder("XDG_CACHE_HOME");
  if (cache.empty())
    if (const std::string home = HomeFolder(); !home.empty()) cache = home + "/.cache";
  if (!cache.empty()) roots.push_back(CString(qlw::FromUtf8(cache + tail).c_str()));
  return roots;
}

bool TransferFolder::Create(CString& folder) {
  std::string name;
  if (!NewFolderName(name)) return false;
  for (const CString& root : Roots()) {
    const std::filesystem::path xfer(root.ToUtf8());
    const std::filesystem::path program = xfer.parent_path();
    // The cache folder itself may not exist yet; the runtime folder always does when it is set.
    std::error_code ignored;
    std::filesystem::create_directories(program.parent_path(), ignored);
    if (!MakeOwnFolder(program.string()) || !MakeOwnFolder(xfer.string())) continue;
    const std::string made = (xfer / name).string();
    // A new name is a new folder: one that exists already is no one's to reuse.
    if (::mkdir(made.c_str(), 0700) != 0) continue;
    folder = CString(qlw::FromUtf8(made).c_str());
    return true;
  }
  return false;
}

void TransferFolder::RemoveStale(std::time_t now) {
  for (const CString& root : Roots()) {
    const std::string path = root.ToUtf8();
    if (!IsOwnFolder(path)) continue;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) continue;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      const std::string child = path + "/" + name;
      struct stat st {};
      if (::lstat(child.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
      if (now - st.st_mtime > kMaxAgeSeconds) stale.push_back(child);
    }
    ::closedir(dir);
    for (const std::string& child : stale) {
      std::error_code ignored;
      std::filesystem::remove_all(child, ignored);
    }
  }
}
