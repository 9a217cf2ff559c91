#include "Format.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "NumberLocale.h"
#include "Utf16.h"

namespace qlw {
namespace {
enum class Length { None, Char, Short, Long32, Long64, Pointer, LongDouble, Wide };

template <typename Ch>
void AppendAscii(std::basic_string<Ch>& out, const char* text) {
  for (; *text; ++text) out.push_back(static_cast<Ch>(static_cast<unsigned char>(*text)));
}

template <typename Ch>
void Pad(std::basic_string<Ch>& out, const std::basic_string<Ch>& body, int width, bool left) {
  int fill = width - static_cast<int>(body.size());
  if (!left && fill > 0) out.append(static_cast<size_t>(fill), Ch(' '));
  out += body;
  if (left && fill > 0) out.append(static_cast<size_t>(fill), Ch(' '));
}

// Text of a string argument converted to the output character type; reads no further than
// `precision` source units, so an unterminated buffer with a precision is safe.
template <typename Ch>
std::basic_string<Ch> StringArgument(const void* p, bool wideSource, int precision) {
  if (!p) {
    std::basic_string<Ch> null;
    AppendAscii(null, "(null)");
    if (precision >= 0 && static_cast<int>(null.size()) > precision) null.resize(static_cast<size_t>(precision));
    return null;
  }
  if (wideSource) {
    const wchar_t* w = static_cast<const wchar_t*>(p);
    size_t n = precision >= 0 ? wcsnlen(w, static_cast<size_t>(precision)) : std::wcslen(w);
    if constexpr (sizeof(Ch) == sizeof(wchar_t)) return std::basic_string<Ch>(w, n);
    else return ToUtf8(std::wstring_view(w, n));
  }
  const char* s = static_cast<const char*>(p);
  size_t n = precision >= 0 ? strnlen(s, static_cast<size_t>(precision)) : std::strlen(s);
  if constexpr (sizeof(Ch) == sizeof(wchar_t)) return FromUtf8(std::string_view(s, n));
  else return std::string(s, n);
}

template <typename Ch>
std::basic_string<Ch> CharArgument(int value, bool wideSource) {
  if constexpr (sizeof(Ch) == sizeof(wchar_t)) {
    return std::basic_string<Ch>(1, wideSource ? static_cast<wchar_t>(value)
                                               : static_cast<wchar_t>(static_cast<unsigned char>(value)));
  } else {
    if (wideSource) return ToUtf8(std::wstring(1, static_cast<wchar_t>(value)));
    return std::string(1, static_cast<char>(value));
  }
}

// One numeric conversion through the C runtime, in full however wide the field.
template <typename T>
std::string Printed(const char* format, int width, int precision, T v) {
  char buffer[512];
  const int n = std::snprintf(buffer, sizeof buffer, format, width < 0 ? 0 : width, precision, v);
  if (n < static_cast<int>(sizeof buffer)) return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, width < 0 ? 0 : width, precision, v);
  text.resize(static_cast<size_t>(n));
  return text;
}

template <typename Ch>
std::basic_string<Ch> FormatImpl(const Ch* format, va_list args) {
  std::basic_string<Ch> out;
  if (!format) return out;
  const bool wideFormat = sizeof(Ch) == sizeof(wchar_t);
  for (const Ch* p = format; *p; ++p) {
    if (*p != Ch('%')) {
      out.push_back(*p);
      continue;
    }
    const Ch* specStart = p;
    ++p;
    if (*p == Ch('%')) {
      out.push_back(*p);
      continue;
    }
    std::string flags;
    while (*p == Ch('-') || *p == Ch('+') || *p == Ch(' ') || *p == Ch('#') || *p == Ch('0')) {
      flags.push_back(static_cast<char>(*p));
      ++p;
    }
    int width = -1;
    if (*p == Ch('*')) {
      width = va_arg(args, int);
      if (width < 0) {
        flags.push_back('-');
        width = -width;
      }
      ++p;
    } else {
      for (; *p >= Ch('0') && *p <= Ch('9'); ++p) width = (width < 0 ? 0 : width * 10) + (*p - Ch('0'));
    }
    int precision = -1;
    if (*p == Ch('.')) {
      ++p;
      precision = 0;
      if (*p == Ch('*')) {
        precision = va_arg(args, int);
        ++p;
      } else {
        for (; *p >= Ch('0') && *p <= Ch('9'); ++p) precision = precision * 10 + (*p - Ch('0'));
      }
    }
    Length length = Length::None;
    if (*p == Ch('h')) {
      ++p;
      length = Length::Short;
      if (*p == Ch('h')) ++p, length = Length::Char;
    } else if (*p == Ch('l')) {
      ++p;
      length = Length::Long32;
      if (*p == Ch('l')) ++p, length = Length::Long64;
    } else if (*p == Ch('w')) {
      ++p, length = Length::Wide;
    } else if (*p == Ch('L')) {
      ++p, length = Length::LongDouble;
    } else if (*p == Ch('I')) {
      ++p;
      if (p[0] == Ch('6') && p[1] == Ch('4')) p += 2, length = Length::Long64;
      else if (p[0] == Ch('3') && p[1] == Ch('2')) p += 2, length = Length::Long32;
      else length = Length::Pointer;
    } else if (*p == Ch('z') || *p == Ch('t') || *p == Ch('j')) {
      ++p, length = Length::Pointer;
    }
    const bool left = flags.find('-') != std::string::npos;
    const Ch conv = *p;
    char narrowFormat[64];
    switch (conv) {
      case Ch('d'):
      case Ch('i'): {
        long long v;
        if (length == Length::Long64 || length == Length::Pointer) v = va_arg(args, long long);
        else v = va_arg(args, int);
        if (length == Length::Short) v = static_cast<short>(v);
        if (length == Length::Char) v = static_cast<signed char>(v);
        std::snprintf(narrowFormat, sizeof narrowFormat, "%%%s*.*lld", flags.c_str());
        AppendAscii(out, Printed(narrowFormat, width, precision, v).c_str());
        break;
      }
      case Ch('u'):
      case Ch('o'):
      case Ch('x'):
      case Ch('X'): {
        unsigned long long v;
        if (length == Length::Long64 || length == Length::Pointer) v = va_arg(args, unsigned long long);
        else v = va_arg(args, unsigned int);
        if (length == Length::Short) v = static_cast<unsigned short>(v);
        if (length == Length::Char) v = static_cast<unsigned char>(v);
        std::snprintf(narrowFormat, sizeof narrowFormat, "%%%s*.*ll%c", flags.c_str(), static_cast<char>(conv));
        AppendAscii(out, Printed(narrowFormat, width, precision, v).c_str());
        break;
      }
      case Ch('e'):
      case Ch('E'):
      case Ch('f'):
      case Ch('F'):
      case Ch('g'):
      case Ch('G'):
      case Ch('a'):
      case Ch('A'): {
        // `long double` is `double` on Windows, so %Lf reads a double there as here.
        double v = va_arg(args, double);
        std::snprintf(narrowFormat, sizeof narrowFormat, "%%%s*.*%c", flags.c_str(), static_cast<char>(conv));
        std::string text;
        {
          ScopedCLocale cLocale;
          text = Printed(narrowFormat, width, precision, v);
        }
        AppendAscii(out, text.c_str());
        break;
      }
      case Ch('c'):
      case Ch('C'): {
        bool wide = wideFormat ? conv == Ch('c') : conv == Ch('C');
        if (length == Length::Short) wide = false;
        if (length == Length::Long32 || length == Length::Wide) wide = true;
        int v = va_arg(args, int);
        Pad(out, CharArgument<Ch>(v, wide), width, left);
        break;
      }
      case Ch('s'):
      case Ch('S'): {
        bool wide = wideFormat ? conv == Ch('s') : conv == Ch('S');
        if (length == Length::Short) wide = false;
        if (length == Length::Long32 || length == Length::Wide) wide = true;
        const void* v = va_arg(args, const void*);
        Pad(out, StringArgument<Ch>(v, wide, precision), width, left);
        break;
      }
      case Ch('p'): {
        const void* v = va_arg(args, const void*);
        char buffer[20];
        std::snprintf(buffer, sizeof buffer, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(v)));
        std::basic_string<Ch> body;
        AppendAscii(body, buffer);
        Pad(out, body, width, left);
        break;
      }
      case Ch('n'):
        // Writing through %n is disabled, as in the Windows runtime by default.
        (void)va_arg(args, void*);
        break;
      default:
        // Unknown conversion: keep the text as written.
        out.append(specStart, conv ? p + 1 : p);
        if (!conv) return out;
        break;
    }
  }
  return out;
}
}  // namespace

namespace {
template <typename Char>
std::basic_string<Char> FormatList(const Char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  std::basic_string<Char> s = FormatImpl(format, copy);
  va_end(copy);
  return s;
}
}  // namespace

std::wstring FormatV(const wchar_t* format, va_list args) { return FormatList(format, args); }

std::string FormatV(const char* format, va_list args) { return FormatList(format, args); }

std::wstring FormatC(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring s = FormatImpl(format, args);
  va_end(args);
  return s;
}

std::string FormatC(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatImpl(format, args);
  va_end(args);
  return s;
}
}  // namespace qlw
