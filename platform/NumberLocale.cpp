#include "NumberLocale.h"

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace qlw {
locale_t CNumericLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

ScopedCLocale::ScopedCLocale() : m_previous(uselocale(CNumericLocale())) {}
ScopedCLocale::~ScopedCLocale() { uselocale(m_previous); }

double StringToDouble(const char* text, char** end) { return strtod_l(text, end, CNumericLocale()); }
double StringToDouble(const wchar_t* text, wchar_t** end) { return wcstod_l(text, end, CNumericLocale()); }

namespace {
template <typename Ch>
bool ParseWhole(std::basic_string_view<Ch> text, double& value) {
  std::basic_string<Ch> copy(text);
  const Ch* begin = copy.c_str();
  while (*begin == ' ' || *begin == '\t' || *begin == '\r' || *begin == '\n') ++begin;
  if (!*begin) return false;
  Ch* end = nullptr;
  double v = StringToDouble(begin, &end);
  if (end == begin) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  if (*end) return false;
  value = v;
  return true;
}

// Windows reads %s, %c and %[ of a wide scan as wide strings; glibc needs the l modifier for that.
std::wstring WindowsWideScanFormat(const wchar_t* format) {
  std::wstring out;
  for (const wchar_t* p = format; *p; ++p) {
    out.push_back(*p);
    if (*p != L'%') continue;
    if (p[1] == L'%') {
      out.push_back(*++p);
      continue;
    }
    ++p;
    while (*p == L'*' || std::iswdigit(static_cast<wint_t>(*p))) out.push_back(*p++);
    if (*p == L'h' && (p[1] == L's' || p[1] == L'c' || p[1] == L'[')) {
      ++p;  // narrow: glibc's default for these
    } else if ((*p == L's' || *p == L'c' || *p == L'[')) {
      out.push_back(L'l');
    } else if (*p == L'S' || *p == L'C') {
      out.push_back(*p == L'S' ? L's' : L'c');
      continue;
    }
    if (!*p) break;
    out.push_back(*p);
  }
  return out;
}
}  // namespace

bool TryParseDouble(std::wstring_view text, double& value) { return ParseWhole(text, value); }
bool TryParseDouble(std::string_view text, double& value) { return ParseWhole(text, value); }

bool TryParseFloat(std::wstring_view text, float& value) {
  double d;
  if (!ParseWhole(text, d)) return false;
  value = static_cast<float>(d);
  return true;
}

int ScanC(const char* text, const char* format, ...) {
  ScopedCLocale c;
  va_list args;
  va_start(args, format);
  int n = std::vsscanf(text, format, args);
  va_end(args);
  return n;
}

int ScanC(const wchar_t* text, const wchar_t* format, ...) {
  ScopedCLocale c;
  std::wstring glibcFormat = WindowsWideScanFormat(format);
  va_list args;
  va_start(args, format);
  int n = std::vswscanf(text, glibcFormat.c_str(), args);
  va_end(args);
  return n;
}

void ResetNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }
}  // namespace qlw
