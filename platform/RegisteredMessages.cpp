// RegisterWindowMessage: a per-user table of names on disk, shared by every process of the user
// under flock, so that the same name always gets the same id (a hash would collide).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "CString.h"
#include "KernelObjects.h"
#include "Utf16.h"
#include "WindowLayer.h"

namespace {
// Names compare without regard to case, as on Windows.
std::string Key(const std::wstring& name) {
  std::wstring lower(name);
  for (wchar_t& c : lower) c = qlw::LowerChar(c);
  return qlw::ToUtf8(lower);
}

// One entry per line: the id in hex, a tab, the key with '\\' and '\n' escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else out.push_back(c);
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      ++i;
      out.push_back(s[i] == 'n' ? '\n' : s[i]);
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

bool ReadAll(int fd, std::string& out) {
  out.clear();
  if (lseek(fd, 0, SEEK_SET) < 0) return false;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Reads every name of the file into `known` and returns the key's id, appending the key with the
// next free id when the file lacks it; 0 on failure. A program registers a hundred names as it
// starts, so one reading serves them all.
UINT LookUpOrAdd(const std::string& key, std::unordered_map<std::string, UINT>& known) {
  const std::string path = qlw::RuntimeFolder() + "/registered-messages";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  UINT id = 0;
  std::string text;
  if (ReadAll(fd, text)) {
    UINT highest = QLW_REGISTERED_MESSAGE_FIRST - 1;
    size_t validEnd = 0;
    for (size_t pos = 0; pos < text.size();) {
      size_t eol = text.find('\n', pos);
      if (eol == std::string::npos) break;  // a line cut short by a crash is ignored and overwritten
      const std::string_view line(text.data() + pos, eol - pos);
      pos = eol + 1;
      size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      UINT lineId = static_cast<UINT>(std::strtoul(std::string(line.substr(0, tab)).c_str(), nullptr, 16));
      if (lineId < QLW_REGISTERED_MESSAGE_FIRST || lineId > QLW_REGISTERED_MESSAGE_LAST) continue;
      validEnd = pos;
      highest = std::max(highest, lineId);
      // The first line of a name is its id; ids never change once given out.
      known.emplace(Unescape(std::string(line.substr(tab + 1))), lineId);
    }
    if (auto it = known.find(key); it != known.end()) {
      id = it->second;
    } else if (highest >= QLW_REGISTERED_MESSAGE_LAST) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%04X\t", highest + 1);
      if (ftruncate(fd, static_cast<off_t>(validEnd)) == 0 && lseek(fd, 0, SEEK_END) >= 0 &&
          WriteAll(fd, hex + Escape(key) + "\n") && fsync(fd) == 0) {
        id = highest + 1;
        known.emplace(key, id);
      } else {
        SetLastError(ERROR_WRITE_FAULT);
      }
    }
  }
  flock(fd, LOCK_UN);
  close(fd);
  return id;
}
}  // namespace

UINT RegisterWindowMessageW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Ids never change once given out: the file is read again only for a name it did not hold.
  static std::mutex mutex;
  static std::unordered_map<std::string, UINT> known;
  const std::string key = Key(name);
  std::lock_guard<std::mutex> lock(mutex);
  if (auto it = known.find(key); it != known.end()) return it->second;
  return LookUpOrAdd(key, known);
}
