// CUtils and the free text and element-code helpers; see LXUtils.h.
#include "LXUtils.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <memory>

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

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r'; }

// Reads a decimal integer that must fill the whole piece; an empty piece gives emptyValue.
bool ParseIntegerPiece(const CString& piece, bool strict, long emptyValue, double& value) {
  if (piece.IsEmpty()) {
    value = static_cast<double>(emptyValue);
    return true;
  }
  const wchar_t* start = piece.GetString();
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(start, &end, 10);
  if (end == start) return false;
  if (strict && *end != L'\0') return false;
  value = static_cast<double>(v);
  return true;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Symbols with a record in the element table.
const char* const kElementSymbols[] = {
    "D",  "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "OH", "Ne", "Na", "Mg", "Al", "Si", "P",  "S",
    "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se",
    "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te",
    "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb",
    "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra",
    "Ac", "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf",
};

bool IsAsciiLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char ToUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
char ToLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsValidSymbol(const char symbol[2]) {
  const bool single = symbol[1] == ' ' || symbol[1] == '\0';
  for (const char* s : kElementSymbols) {
    if (s[0] != symbol[0]) continue;
    if (single ? s[1] == '\0' : s[1] == symbol[1]) return true;
  }
  return false;
}

uint16_t CodeFromSymbol(const char symbol[2]) {
  const char second = symbol[1] == '\0' ? ' ' : symbol[1];
  return uint16_t(uint8_t(symbol[0]) << 8 | uint8_t(second));
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
  for (const FolderMacro& macro : kFolderMacros) {
    CString folder;
    if (!GetFolder(macro.csidl, folder)) continue;
    if (requirePrefix && out.Find(folder) != 0) continue;
    const bool isFolder = std::filesystem::is_directory(std::filesystem::path(path.GetString()));
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

// ---- Text, numbers and versions ----

bool CUtils::ParseNumber(const CString& text, bool strict, double* out) {
  double value = 0.0;
  bool ok = false;
  CString s;
  for (int i = 0; i < text.GetLength(); ++i)
    if (!IsBlank(text[i])) s += text[i];
  if (!s.IsEmpty() && FindFirstNotOf(s, L"+-.E/0123456789") < 0) {
    const int slash = s.Find(L'/');
    if (slash < 0) {
      const wchar_t* start = s.GetString();
      wchar_t* end = nullptr;
      value = qlw::StringToDouble(start, &end);
      ok = end != start && (!strict || *end == L'\0');
    } else {
      double numerator = 0, denominator = 1;
      ok = ParseIntegerPiece(s.Left(slash), strict, 0, numerator) &&
           ParseIntegerPiece(s.Mid(slash + 1), strict, 1, denominator);
      // A zero denominator is not a number: refuse it rather than answer infinity.
      ok = ok && denominator != 0;
      if (ok) value = numerator / denominator;
    }
  }
  if (out) *out = ok ? value : 0.0;
  return ok;
}

bool CUtils::ParseNumberChecked(const CString& text, bool strict, double* out) {
  double value = 0.0;
  if (!ParseNumber(text, strict, &value)) return false;
  if (out) *out = value;
  return true;
}

int CUtils::FindFirstNotOf(const CString& text, const CString& set) {
  for (int i = 0; i < text.GetLength(); ++i)
    if (set.Find(text[i]) < 0) return i;
  return -1;
}

void CUtils::TrimZeros(CString& number, bool dropPoint) {
  number.TrimRight(L'0');
  number.TrimLeft(L'0');
  if (number.IsEmpty() || number == L".") {
    number = L"0";
    return;
  }
  if (number[number.GetLength() - 1] == L'.') {
    if (dropPoint)
      number.Truncate(number.GetLength() - 1);
    else
      number += L'0';
  }
}

void CUtils::MakeUniqueName(CString& name, const CString& word, const std::list<CString>& existing, int firstNumber) {
  const CString w = word.IsEmpty() ? CString() : CString(L" ") + word;
  bool numberAdded = false;
  auto taken = [&](const CString& n) {
    for (const CString& e : existing)
      if (e == n) return true;
    return false;
  };
  while (taken(name)) {
    const int len = name.GetLength(), wlen = w.GetLength();
    if (!numberAdded && len >= wlen && name.Right(wlen) == w) {
      name.AppendFormat(L" %d", firstNumber);
      numberAdded = true;
      continue;
    }
    // Position of the blank that should stand before a number.
    int blank = -1;
    if (wlen == 0) {
      blank = name.ReverseFind(L' ');
    } else {
      int found = -1;
      for (int at = name.Find(w); at >= 0; at = name.Find(w, at + 1)) found = at;
      if (found >= 0) blank = found + wlen;
    }
    if (blank >= 0 && blank < len && name[blank] == L' ') {
      int end = blank + 1;
      while (end < len && name[end] >= L'0' && name[end] <= L'9') ++end;
      if (end > blank + 1) {
        const int number = std::wcstol(name.Mid(blank + 1, end - blank - 1), nullptr, 10);
        CString replaced = name.Left(blank);
        replaced.AppendFormat(L" %d", number + 1);
        replaced += name.Mid(end);
        name = replaced;
        continue;
      }
    }
    name += w;
  }
  name.Trim();
}

void CUtils::TerminateOverbars(CString& text) {
  constexpr wchar_t kOverbar = 0xAF;
  int i = 0;
  while (i < text.GetLength()) {
    if (text[i] != kOverbar) {
      ++i;
      continue;
    }
    if (i + 1 < text.GetLength() && text[i + 1] == kOverbar) {
      i += 2;
      continue;
    }
    int j = i + 1;
    while (j < text.GetLength() && std::iswalnum(text[j])) ++j;
    // A span that already ends with its own marker is closed.
    if (j < text.GetLength() && text[j] == kOverbar) {
      i = j + 1;
      continue;
    }
    text.Insert(j, kOverbar);
    i = j + 1;
  }
}

int CUtils::FormatStringV(LPCWSTR format, va_list args, CString& out) {
  out.FormatV(format, args);
  return out.GetLength();
}

CString CUtils::FourCCToString(uint32_t code) {
  CString s;
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<wchar_t>((code >> shift) & 0xFF);
  return s;
}

uint32_t CUtils::PackVersion(int major, int minor, int bugFix, wchar_t stage, int build) {
  uint32_t stageBits;
  switch (std::towlower(stage)) {
    case L'a': stageBits = 1; break;
    case L'b': stageBits = 2; break;
    case L'd': stageBits = 0; break;
    default: stageBits = 3; break;
  }
  if (stageBits == 3 && build == 0) build = 63;
  return uint32_t(major & 0xFF) << 24 | uint32_t(minor & 0xFF) << 16 | uint32_t(bugFix & 0xFF) << 8 |
         stageBits << 6 | uint32_t(build & 0x3F);
}

void CUtils::VersionPartsToString(int major, int minor, int bugFix, wchar_t stage, int build, CString& out) {
  if (stage == L'F' || stage == L'f' || stage == L' ') stage = build != 0 ? L'f' : L' ';
  if (stage == L' ')
    out.Format(L"%1d.%1d.%1d", major, minor, bugFix);
  else
    out.Format(L"%1d.%1d.%1d%1c%1d", major, minor, bugFix, stage, build);
  out.MakeLower();
}

void CUtils::VersionToString(uint32_t packed, CString& out) {
  static const wchar_t kStages[4] = {L'd', L'a', L'b', L' '};
  const int stageBits = (packed >> 6) & 3;
  int build = packed & 0x3F;
  if (stageBits == 3 && build == 63) build = 0;
  VersionPartsToString((packed >> 24) & 0xFF, (packed >> 16) & 0xFF, (packed >> 8) & 0xFF, kStages[stageBits], build,
                       out);
}

uint32_t CUtils::VersionFromString(const CString& text) {
  int major = 0, minor = 0, bugFix = 0, build = 0, consumed = 0;
  wchar_t stage = L' ';
  if (qlw::ScanC(text.GetString(), L"%d.%d.%d%1c%d", &major, &minor, &bugFix, &stage, &build) == 5)
    return PackVersion(major, minor, bugFix, stage, build);
  if (qlw::ScanC(text.GetString(), L"%d.%d.%d", &major, &minor, &bugFix) == 3)
    return PackVersion(major, minor, bugFix, L' ', 0);
  if (qlw::ScanC(text.GetString(), L"%d.%d%n%1c%d", &major, &minor, &consumed, &stage, &build) == 4)
    return PackVersion(major, minor, 0, stage, build);
  if (qlw::ScanC(text.GetString(), L"%d.%d", &major, &minor) == 2) return PackVersion(major, minor, 0, L' ', 0);
  return 0;
}

bool CUtils::ParseVersionResource(const CString& text, uint32_t* packed, CString& out) {
  int major = 0, minor = 0, bugFix = 0, n = 0;
  if (qlw::ScanC(text.GetString(), L"%d, %d, %d, %d", &major, &minor, &bugFix, &n) != 4) return false;
  static const wchar_t kStages[3] = {L'd', L'a', L'b'};
  const int stageIndex = n / 100;
  const wchar_t stage = stageIndex >= 0 && stageIndex < 3 ? kStages[stageIndex] : L'f';
  const int build = n % 100;
  if (packed) *packed = PackVersion(major, minor, bugFix, stage, build);
  VersionPartsToString(major, minor, bugFix, stage, build, out);
  return true;
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

// ---- Text lines and fields ----

int CountTextLines(FILE* stream) {
  int count = 0, last = EOF;
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) {
    if (c == '\r' || c == '\n') ++count;
    last = c;
  }
  if (last != EOF && last != '\r' && last != '\n') ++count;
  std::rewind(stream);
  return count;
}

int ReadTextLine(FILE* stream, char* buffer, int size) {
  int kept = 0;
  for (;;) {
    const int c = std::fgetc(stream);
    if (c == EOF || c == '\n' || c == '\0') break;
    if (c == '\r') {
      const int next = std::fgetc(stream);
      if (next != '\n' && next != EOF) std::ungetc(next, stream);
      break;
    }
    if (kept < size - 1) buffer[kept++] = char(c);
  }
  if (size > 0) buffer[kept] = '\0';
  return kept;
}

void ReadTextLineA(FILE* stream, std::string& line) {
  char buffer[256];
  const int n = ReadTextLine(stream, buffer, sizeof buffer);
  line.assign(buffer, n);
}

bool GetTextField(const char* line, int index, char out[21]) {
  out[0] = '\0';
  const char* p = line;
  for (int field = 1;; ++field) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f') ++p;
    if (!*p) return false;
    const char* start = p;
    const char* end;
    if (*p == '\'') {
      ++p;
      while (*p && *p != '\'') ++p;
      end = p;  // the closing quote is dropped
      if (*p) ++p;
    } else {
      while (*p && !(*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f')) ++p;
      end = p;
    }
    if (field == index) {
      const size_t n = std::min<size_t>(end - start, 19);
      std::memcpy(out, start, n);
      out[n] = '\0';
      return true;
    }
  }
}

// ---- Element codes ----

bool NormalizeElementSymbol(char symbol[2]) {
  const bool wasHo = symbol[0] == 'H' && symbol[1] == 'o';
  if (!IsAsciiLetter(static_cast<unsigned char>(symbol[0]))) {
    symbol[0] = ToUpper(symbol[1]);
    symbol[1] = ' ';
  } else {
    symbol[0] = ToUpper(symbol[0]);
    const char second = symbol[1];
    if (symbol[0] == 'O' && (second == 'h' || second == 'H'))
      symbol[1] = 'H';
    else if (symbol[0] == 'H' && (second == 'o' || second == 'O') && !wasHo)
      symbol[1] = 'O';
    else
      symbol[1] = ToLower(second);
  }
  if (!IsAsciiLetter(static_cast<unsigned char>(symbol[0]))) return false;
  return IsValidSymbol(symbol);
}

uint16_t ElementCodeFromString(LPCWSTR text) {
  if (!text || text[0] > 0x7F || !IsAsciiLetter(int(text[0]))) return kUnknownElementCode;
  char symbol[2] = {char(text[0]), ' '};
  if (text[1] <= 0x7F && IsAsciiLetter(int(text[1]))) symbol[1] = char(text[1]);
  if (!NormalizeElementSymbol(symbol)) return kUnknownElementCode;
  return CodeFromSymbol(symbol);
}

uint16_t ElementCodeFromText(const CString& text) {
  const CString copy = text;
  return ElementCodeFromString(copy);
}

void ElementCodeToText(uint16_t code, CString& out) {
  out.Empty();
  const wchar_t first = wchar_t(code >> 8), second = wchar_t(code & 0xFF);
  if (first) out += first;
  if (second && second != L' ') out += second;
}

CString ElementCodeToString(uint16_t code) {
  CString s;
  ElementCodeToText(code, s);
  return s;
}

bool IsElementCodeNormalized(uint16_t code) {
  if (code == 0 || code == kUnknownElementCode) return true;
  char symbol[2] = {char(code >> 8), char(code & 0xFF)};
  NormalizeElementSymbol(symbol);
  return CodeFromSymbol(symbol) == code;
}
