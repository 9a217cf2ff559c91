// CUtils numbers, versions and text helpers; free functions for text lines, fields and element codes.
#include <atomic>
#include <algorithm>
#include <cstring>
#include <cwctype>

#include "LXUtils.h"

namespace {

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

std::atomic<ElementSymbolTest> g_elementSymbolTest{nullptr};

bool IsAsciiLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char ToUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
char ToLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A symbol is valid when the element table has a record of that name; without a table none is.
bool IsValidSymbol(const char symbol[2]) {
  const ElementSymbolTest test = g_elementSymbolTest.load();
  if (!test) return false;
  const char text[3] = {symbol[0], symbol[1] == ' ' ? '\0' : symbol[1], '\0'};
  return test(text);
}

uint16_t CodeFromSymbol(const char symbol[2]) {
  const char second = symbol[1] == '\0' ? ' ' : symbol[1];
  return uint16_t(uint8_t(symbol[0]) << 8 | uint8_t(second));
}

}  // namespace

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
  // One lock for the line: a locked call per character was most of the time of reading a file.
  flockfile(stream);
  for (;;) {
    const int c = getc_unlocked(stream);
    if (c == EOF || c == '\n' || c == '\0') break;
    if (c == '\r') {
      const int next = getc_unlocked(stream);
      if (next != '\n' && next != EOF) std::ungetc(next, stream);
      break;
    }
    if (kept < size - 1) buffer[kept++] = char(c);
  }
  funlockfile(stream);
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

void SetElementSymbolTest(ElementSymbolTest test) { g_elementSymbolTest.store(test); }

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

namespace {
// iswdigit answers for the ten ASCII digits alone; this says so without a library call per character.
bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
}  // namespace

int CompareLogically(LPCWSTR a, LPCWSTR b) {
  const wchar_t* p = a ? a : L"";
  const wchar_t* q = b ? b : L"";
  while (*p && *q) {
    if (IsDecimalDigit(*p) && IsDecimalDigit(*q)) {
      while (*p == L'0') ++p;
      while (*q == L'0') ++q;
      const wchar_t* pEnd = p;
      const wchar_t* qEnd = q;
      while (IsDecimalDigit(*pEnd)) ++pEnd;
      while (IsDecimalDigit(*qEnd)) ++qEnd;
      if (pEnd - p != qEnd - q) return (pEnd - p) < (qEnd - q) ? -1 : 1;
      for (; p < pEnd; ++p, ++q)
        if (*p != *q) return *p < *q ? -1 : 1;
      continue;
    }
    if (*p == *q) {
      ++p;
      ++q;
      continue;
    }
    const wint_t cp = std::towlower(static_cast<wint_t>(*p));
    const wint_t cq = std::towlower(static_cast<wint_t>(*q));
    if (cp != cq) return cp < cq ? -1 : 1;
    ++p;
    ++q;
  }
  if (*p) return 1;
  if (*q) return -1;
  return 0;
}
