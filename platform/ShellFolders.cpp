// Special folders on the XDG folders, the temporary folder and the shell's path helpers.
#include "ShellFolders.h"

#include "Utf16.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::wstring Slashes(std::wstring path) {
  for (auto& c : path)
    if (c == L'\\') c = L'/';
  return path;
}

std::string Narrow(const std::wstring& path) { return qlw::ToUtf8(Slashes(path)); }

bool CopyOut(const std::wstring& text, LPWSTR out, size_t capacity) {
  if (!out || text.size() + 1 > capacity) return false;
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = L'\0';
  return true;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Env(const char* name) {
  const char* v = getenv(name);
  return v && *v ? std::string(v) : std::string();
}

std::string Home() { return QDir::homePath().toStdString(); }

std::string FolderFor(int code) {
  switch (code) {
    case CSIDL_PERSONAL:
      return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    case CSIDL_APPDATA: {
      std::string config = Env("XDG_CONFIG_HOME");
      return config.empty() ? Home() + "/.config" : config;
    }
    case CSIDL_LOCAL_APPDATA: {
      std::string data = Env("XDG_DATA_HOME");
      return data.empty() ? Home() + "/.local/share" : data;
    }
    case CSIDL_COMMON_APPDATA: {
      std::string dirs = Env("XDG_DATA_DIRS");
      std::string first = dirs.substr(0, dirs.find(':'));
      return first.empty() ? "/usr/local/share" : first;
    }
    case CSIDL_PROFILE:
      return Home();
    case CSIDL_COMMON_DOCUMENTS:
      return QStandardPaths::writableLocation(QStandardPaths::PublicShareLocation).toStdString();
    default:
      return {};
  }
}

// Splits at separators into the parts of a canonical path.
std::vector<std::wstring> CanonicalParts(const std::wstring& path, bool absolute) {
  std::vector<std::wstring> parts;
  std::wstring current;
  auto flush = [&] {
    if (current.empty() || current == L".") {
    } else if (current == L"..") {
      if (!parts.empty() && parts.back() != L"..")
        parts.pop_back();
      else if (!absolute)
        parts.push_back(current);  // a relative path keeps the steps above its start
    } else {
      parts.push_back(current);
    }
    current.clear();
  };
  for (wchar_t c : Slashes(path)) {
    if (c == L'/')
      flush();
    else
      current += c;
  }
  flush();
  return parts;
}

std::wstring Canonical(const std::wstring& path) {
  const std::wstring s = Slashes(path);
  const bool absolute = !s.empty() && s[0] == L'/';
  const bool trailing = s.size() > 1 && s.back() == L'/';
  std::wstring out = absolute ? L"/" : L"";
  const auto parts = CanonicalParts(s, absolute);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += L'/';
    out += parts[i];
  }
  if (trailing && !parts.empty()) out += L'/';
  return out;
}

}  // namespace

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR path) {
  if (!path) return E_INVALIDARG;
  const std::string folder = FolderFor(csidl & 0xFF);
  if (folder.empty()) return E_INVALIDARG;
  if (!(csidl & CSIDL_FLAG_DONT_VERIFY) && !IsDirectory(folder)) {
    if (!(csidl & CSIDL_FLAG_CREATE)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const int rc = SHCreateDirectoryExW(nullptr, qlw::FromUtf8(folder).c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(rc);
  }
  if (!CopyOut(qlw::FromUtf8(folder), path, MAX_PATH)) return E_FAIL;
  return S_OK;
}

BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create) {
  return SUCCEEDED(SHGetFolderPathW(owner, csidl | (create ? CSIDL_FLAG_CREATE : 0), nullptr, 0, path));
}

int SHCreateDirectoryExW(HWND, LPCWSTR path, const void*) {
  if (!path || !*path) return ERROR_BAD_PATHNAME;
  const std::string full = Narrow(Canonical(path));
  if (full.empty() || full[0] != '/') return ERROR_BAD_PATHNAME;
  struct stat st {};
  if (stat(full.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS;
  for (size_t pos = 1; pos != std::string::npos;) {
    pos = full.find('/', pos + 1);
    const std::string partial = full.substr(0, pos);
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return static_cast<int>(qlw::Win32ErrorFromErrno(errno));
  }
  return IsDirectory(full) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

DWORD GetTempPathW(DWORD bufferChars, LPWSTR buffer) {
  std::string dir = Env("TMPDIR");
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  const std::wstring wide = qlw::FromUtf8(dir);
  if (!CopyOut(wide, buffer, bufferChars)) return static_cast<DWORD>(wide.size() + 1);
  return static_cast<DWORD>(wide.size());
}

BOOL PathFileExistsW(LPCWSTR path) {
  if (!path || !*path) return FALSE;
  struct stat st {};
  return stat(Narrow(path).c_str(), &st) == 0;
}

BOOL PathAppendW(LPWSTR path, LPCWSTR more) {
  if (!path || !more) return FALSE;
  std::wstring base = Slashes(path);
  std::wstring tail = Slashes(more);
  while (!tail.empty() && tail[0] == L'/') tail.erase(0, 1);
  std::wstring joined;
  if (base.empty())
    joined = tail;
  else if (tail.empty())
    joined = base;
  else
    joined = base + (base.back() == L'/' ? L"" : L"/") + tail;
  return CopyOut(Canonical(joined), path, MAX_PATH) ? TRUE : FALSE;
}

BOOL PathCanonicalizeW(LPWSTR out, LPCWSTR path) {
  if (!out || !path) return FALSE;
  return CopyOut(Canonical(path), out, MAX_PATH) ? TRUE : FALSE;
}

BOOL PathRelativePathToW(LPWSTR out, LPCWSTR from, DWORD fromAttributes, LPCWSTR to, DWORD) {
  if (!out || !from || !to) return FALSE;
  const std::wstring fromPath = Canonical(from);
  const std::wstring toPath = Canonical(to);
  if (fromPath.empty() || toPath.empty() || fromPath[0] != L'/' || toPath[0] != L'/') return FALSE;
  auto fromParts = CanonicalParts(fromPath, true);
  const auto toParts = CanonicalParts(toPath, true);
  if (!(fromAttributes & FILE_ATTRIBUTE_DIRECTORY) && !fromParts.empty()) fromParts.pop_back();
  size_t common = 0;
  while (common < fromParts.size() && common < toParts.size() && fromParts[common] == toParts[common]) ++common;
  std::wstring result;
  if (common == fromParts.size()) {
    result = L".";
  } else {
    for (size_t i = common; i < fromParts.size(); ++i) result += (i == common ? L".." : L"/..");
  }
  for (size_t i = common; i < toParts.size(); ++i) result += L"/" + toParts[i];
  return CopyOut(result, out, MAX_PATH) ? TRUE : FALSE;
}

DWORD GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD bufferChars) {
  if (!shortPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!PathFileExistsW(shortPath)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const std::wstring path = shortPath;
  if (!CopyOut(path, longPath, bufferChars)) return static_cast<DWORD>(path.size() + 1);
  return static_cast<DWORD>(path.size());
}

HRESULT UrlCreateFromPathW(LPCWSTR path, LPWSTR url, LPDWORD urlChars, DWORD) {
  if (!path || !url || !urlChars) return E_INVALIDARG;
  const std::wstring p = Slashes(path);
  std::wstring text;
  HRESULT result = S_OK;
  if (p.find(L"://") != std::wstring::npos) {
    text = p;  // already a URL
    result = S_FALSE;
  } else {
    if (p.empty() || p[0] != L'/') return E_INVALIDARG;
    text = QUrl::fromLocalFile(QString::fromStdWString(Canonical(p))).toString(QUrl::FullyEncoded).toStdWString();
  }
  if (!CopyOut(text, url, *urlChars)) {
    *urlChars = static_cast<DWORD>(text.size() + 1);
    return E_POINTER;
  }
  *urlChars = static_cast<DWORD>(text.size());
  return result;
}
