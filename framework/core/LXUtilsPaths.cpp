// CUtils paths with folder macros, file filters, URLs, processes and registry copies.
#include <dlfcn.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <memory>
#include <set>

#include "LXUtils.h"
#include "LXXUtilities.h"

namespace {

struct FolderMacro {
  LPCWSTR name;
  int csidl;
};
const FolderMacro kFolderMacros[] = {
    {L"CSIDL_PERSONAL", CSIDL_PERSONAL},
    {L"CSIDL_MYDOCUMENTS", CSIDL_MYDOCUMENTS},
    {L"CSIDL_PROFILE", CSIDL_PROFILE},
    {L"CSIDL_COMMON_DOCUMENTS", CSIDL_COMMON_DOCUMENTS},
};

bool GetFolder(int csidl, CString& folder) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
  folder = buffer;
  return !folder.IsEmpty();
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

// ---- Paths and folders ----

void CUtils::CanonicalizePath(CString& path) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (PathCanonicalizeW(buffer, path)) path = buffer;
}

void CUtils::CanonicalizePathCopy(CString& path) {
  CString copy = path;
  CanonicalizePath(copy);
  path = copy;
}

void CUtils::GetLongPath(CString& path) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetLongPathNameW(path, buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) path = buffer;
}

bool CUtils::ExpandFolderMacros(CString& path, CString& out) {
  if (path.Find(L"<CSIDL") != 0) {
    CanonicalizePath(path);
    out = path;
    return true;
  }
  const int close = path.Find(L'>');
  if (close < 0) return false;
  const CString name = path.Mid(1, close - 1);
  const CString rest = path.Mid(close + 1);
  path = rest;
  if (name.IsEmpty() || rest.IsEmpty()) return false;
  for (const FolderMacro& macro : kFolderMacros) {
    if (name.CompareNoCase(macro.name) != 0) continue;
    CString folder;
    if (!GetFolder(macro.csidl, folder)) return false;
    wchar_t buffer[MAX_PATH + 1] = {};
    wcsncpy(buffer, folder, MAX_PATH);
    if (!PathAppendW(buffer, rest)) return false;
    out = buffer;
    return true;
  }
  return false;
}

bool CUtils::MakeFolderMacroPath(const CString& path, bool requirePrefix, CString& out) {
  out = path;
  const bool isFolder = std::filesystem::is_directory(std::filesystem::path(path.GetString()));
  for (const FolderMacro& macro : kFolderMacros) {
    CString folder;
    if (!GetFolder(macro.csidl, folder)) continue;
    if (requirePrefix && out.Find(folder) != 0) continue;
    wchar_t relative[MAX_PATH + 1] = {};
    if (!PathRelativePathToW(relative, folder, FILE_ATTRIBUTE_DIRECTORY, path,
                             isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL))
      continue;
    out = CString(L"<") + macro.name + L">" + relative;
    return true;
  }
  out.Empty();
  return false;
}

void CUtils::MakePortablePath(const CString& path, CString& out) {
  CString canonical = path;
  CanonicalizePath(canonical);
  if (MakeFolderMacroPath(canonical, true, out)) return;
  if (MakeFolderMacroPath(canonical, false, out)) return;
  out = path;
}

void CUtils::GetFileTitle(CString& path) {
  int start = 0;
  for (int i = 0; i < path.GetLength(); ++i)
    if (path[i] == L'/' || path[i] == L'\\') start = i + 1;
  CString name = path.Mid(start);
  const int dot = name.ReverseFind(L'.');
  if (dot > 0) name.Truncate(dot);
  path = name;
}

bool CUtils::DeleteFileSilently(LPCWSTR path) {
  if (!path || wcslen(path) >= MAX_PATH || !*path) return false;
  std::error_code error;
  const auto removed = std::filesystem::remove_all(std::filesystem::path(path), error);
  return !error && removed > 0;
}

bool CUtils::IsShortcut(const CString& path) {
  std::error_code error;
  return std::filesystem::is_symlink(std::filesystem::path(path.GetString()), error);
}

bool CUtils::ResolveShortcut(const CString& path, CString& target) {
  if (!IsShortcut(path)) return false;
  std::error_code error;
  const auto resolved = std::filesystem::canonical(std::filesystem::path(path.GetString()), error);
  if (error) return false;
  target = CString(resolved.wstring());
  return true;
}

namespace {

// visited holds the folders already walked, so that a link back to an enclosing folder ends.
void CollectFilesOnce(const CString& path, std::list<CString>& names, std::set<std::filesystem::path>& visited) {
  CString target = path;
  if (CUtils::IsShortcut(path) && !CUtils::ResolveShortcut(path, target)) return;
  std::error_code error;
  const std::filesystem::path p(target.GetString());
  if (!std::filesystem::is_directory(p, error)) {
    names.push_back(target);
    return;
  }
  const auto canonical = std::filesystem::canonical(p, error);
  if (error || !visited.insert(canonical).second) return;
  // Sorted, so that the order does not depend on the file system.
  std::vector<std::filesystem::path> entries;
  for (const auto& entry : std::filesystem::directory_iterator(p, error)) {
    const std::wstring name = entry.path().filename().wstring();
    if (!name.empty() && name[0] != L'.') entries.push_back(entry.path());
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) CollectFilesOnce(CString(entry.wstring()), names, visited);
}

}  // namespace

void CUtils::CollectFiles(const CString& path, std::list<CString>& names) {
  std::set<std::filesystem::path> visited;
  CollectFilesOnce(path, names, visited);
}

bool CUtils::GetFilterPattern(const CString& filters, int index, CString& pattern) {
  pattern.Empty();
  if (index < 1) return false;
  // Fields alternate description, pattern, description, pattern ...
  int field = 0, start = 0;
  const int wanted = 2 * index - 1;
  while (start <= filters.GetLength()) {
    int bar = filters.Find(L'|', start);
    if (bar < 0) bar = filters.GetLength();
    if (field == wanted) {
      const CString candidate = filters.Mid(start, bar - start);
      if (candidate.IsEmpty() || candidate == L"*.*") return false;
      pattern = candidate;
      return true;
    }
    ++field;
    start = bar + 1;
  }
  return false;
}

bool CUtils::FilterHasExtension(const CString& extension, const CString& filter) {
  if (filter.Find(L"*.*") >= 0) return true;
  CString ext = extension;
  ext.Remove(L'*');
  ext.Remove(L'.');
  ext.MakeLower();
  if (ext.IsEmpty()) return false;
  CString lower = filter;
  lower.MakeLower();
  int position = 0;
  for (CString token = lower.Tokenize(L";|*.", position); position >= 0; token = lower.Tokenize(L";|*.", position))
    if (token == ext) return true;
  return false;
}

bool CUtils::FilterHasExtension(const CString& extension, const std::vector<CString>& filterList) {
  CString joined;
  MultiStringToString(filterList, joined);
  return FilterHasExtension(extension, joined);
}

void CUtils::MultiStringToString(const std::vector<CString>& strings, CString& out) {
  out.Empty();
  for (const CString& s : strings) {
    if (s.IsEmpty()) break;
    out += s;
    out += L'|';
  }
  out += L'|';
}

bool CUtils::FileURLToPath(const CString& text, CString& path) {
  if (text.Left(7).CompareNoCase(L"file://") != 0) return false;
  CString rest = text.Mid(7);
  if (rest.Left(9).CompareNoCase(L"localhost") == 0) rest = rest.Mid(9);
  if (rest.IsEmpty() || rest[0] != L'/') return false;
  // Percent escapes are UTF-8 bytes.
  std::string utf8;
  for (int i = 0; i < rest.GetLength(); ++i) {
    const wchar_t c = rest[i];
    if (c == L'%' && i + 2 < rest.GetLength() && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
      utf8.push_back(char(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2])));
      i += 2;
    } else {
      utf8 += qlw::ToUtf8(std::wstring_view(&c, 1));
    }
  }
  path = CString(utf8.c_str());
  return true;
}

bool CUtils::PathToURL(const CString& path, CString& url) {
  wchar_t buffer[2084] = {};
  DWORD chars = 2084;
  if (UrlCreateFromPathW(path, buffer, &chars, 0) != S_OK) {
    url.Empty();
    return false;
  }
  url = buffer;
  return true;
}

// ---- Processes and the registry ----

bool CUtils::ComposeURL(const URLParts& parts, CString& out) {
  out.Empty();
  if (parts.scheme.IsEmpty()) return false;
  CString scheme = parts.scheme;
  scheme.MakeLower();
  const int defaultPort = scheme == L"http" ? 80 : scheme == L"https" ? 443 : scheme == L"ftp" ? 21 : 0;
  out = parts.scheme + L"://" + parts.host;
  if (parts.port != 0 && parts.port != defaultPort) {
    CString port;
    port.Format(L":%d", parts.port);
    out += port;
  }
  out += parts.path + parts.extra;
  return true;
}

bool CUtils::GetProcessImagePath(HANDLE process, CString& out) {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  if (QueryFullProcessImageNameW(process, 0, buffer, &size)) {
    out = buffer;
    return true;
  }
  if (GetModuleFileNameExW(process, nullptr, buffer, MAX_PATH) > 0) {
    out = buffer;
    return true;
  }
  return false;
}

CUtils::EntryPoint CUtils::GetProcAddressByName(const char* functionName, LPCWSTR libraryName) {
  if (!functionName || !libraryName || !*libraryName) return nullptr;
  const std::string library = qlw::ToUtf8(libraryName);
  void* handle = dlopen(library.c_str(), RTLD_NOW);
  // The library stays loaded: the entry point must remain valid for the caller.
  return handle ? std::bit_cast<EntryPoint>(dlsym(handle, functionName)) : nullptr;
}

bool CUtils::RunProgram(const CString& program, const CString& arguments, bool quoteArguments) {
  if (!PathFileExistsW(program)) return false;
  CString commandLine = CString(L"\"") + program + L"\" ";
  if (quoteArguments)
    commandLine += CString(L"\"") + arguments + L"\"";
  else
    commandLine += arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::vector<wchar_t> buffer(commandLine.GetString(), commandLine.GetString() + commandLine.GetLength() + 1);
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  return true;
}

bool CUtils::RunProgram(const CString& program, const std::vector<CString>& arguments) {
  if (!PathFileExistsW(program)) return false;
  std::vector<std::wstring> list;
  list.reserve(arguments.size());
  for (const CString& a : arguments) list.emplace_back(a.GetString());
  return qlw::LaunchProgram(program.GetString(), list);
}

bool CUtils::OpenWithShell(const CString& pathOrURL, bool report) {
  const bool isURL = pathOrURL.Find(L"://") > 0 || pathOrURL.Left(7).CompareNoCase(L"mailto:") == 0;
  CString target = pathOrURL;
  if (!isURL) CanonicalizePath(target);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = target;
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) return true;
  if (report) {
    const DWORD error = GetLastError();
    if (isURL) throw CLXXBadURL(kLXSeverityMessage, error, __LINE__, target);
    throw CLXXBadPath(kLXSeverityMessage, error, __LINE__, target);
  }
  return false;
}

bool CUtils::CopyRegistryKey(HKEY source, HKEY destination) {
  DWORD maxName = 0, maxData = 0, maxSubKey = 0;
  if (RegQueryInfoKeyW(source, nullptr, nullptr, nullptr, nullptr, &maxSubKey, nullptr, nullptr, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> name(maxName + 2);
  std::vector<BYTE> data(maxData + 2);
  LSTATUS status = ERROR_SUCCESS;
  for (DWORD index = 0;; ++index) {
    DWORD nameChars = static_cast<DWORD>(name.size()), type = 0, bytes = static_cast<DWORD>(data.size());
    status = RegEnumValueW(source, index, name.data(), &nameChars, nullptr, &type, data.data(), &bytes);
    if (status != ERROR_SUCCESS) break;
    if (RegSetValueExW(destination, name.data(), 0, type, data.data(), bytes) != ERROR_SUCCESS) return false;
  }
  if (status != ERROR_NO_MORE_ITEMS) return false;

  std::vector<wchar_t> subName(maxSubKey + 2);
  for (DWORD index = 0;; ++index) {
    DWORD nameChars = static_cast<DWORD>(subName.size());
    status = RegEnumKeyExW(source, index, subName.data(), &nameChars, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    HKEY from = nullptr, to = nullptr;
    if (RegOpenKeyExW(source, subName.data(), 0, KEY_READ, &from) != ERROR_SUCCESS) return false;
    if (RegCreateKeyExW(destination, subName.data(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &to, nullptr) != ERROR_SUCCESS) {
      RegCloseKey(from);
      return false;
    }
    const bool copied = CopyRegistryKey(from, to);
    RegCloseKey(from);
    RegCloseKey(to);
    if (!copied) return false;
  }
  return status == ERROR_NO_MORE_ITEMS;
}

bool CUtils::GetAppVersionInfo(CString& product, CString& legalNotice, CString& versionText, uint32_t* packed) {
  wchar_t exe[MAX_PATH + 1] = {};
  if (GetModuleFileNameW(nullptr, exe, MAX_PATH) == 0) return false;
  const CString file = CString(exe) + L".exe";
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file, &handle);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file, handle, size, block.data())) return false;
  auto query = [&](LPCWSTR sub, CString& out) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), sub, &value, &length) || !value) return false;
    out = static_cast<const wchar_t*>(value);
    return true;
  };
  CString version;
  if (!query(L"\\StringFileInfo\\080904b0\\ProductName", product) ||
      !query(L"\\StringFileInfo\\080904b0\\LegalCopyRight", legalNotice) ||
      !query(L"\\StringFileInfo\\080904b0\\ProductVersion", version))
    return false;
  return ParseVersionResource(version, packed, versionText);
}
