// Our printf-style formatter with Windows semantics: in wide formats %s is wide and %S narrow
// (UTF-8), %ld/%lu/%lx are 32-bit, %I64d/%lld 64-bit, %hs/%ls force the width, floats use the "C" locale.
#pragma once
#include <cstdarg>
#include <string>
#include <type_traits>
#include <utility>

class CString;

namespace qlw {
std::wstring FormatV(const wchar_t* format, va_list args);
// Narrow formats: %s is narrow, %S wide; the result is UTF-8.
std::string FormatV(const char* format, va_list args);

std::wstring FormatC(const wchar_t* format, ...);
std::string FormatC(const char* format, ...);

// A CString or std::wstring handed to a formatting call travels as its character pointer,
// so `Format(L"%s", text)` works as on Windows although CString is not a single pointer.
template <typename T>
inline decltype(auto) FormatArg(T&& value) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, CString>) {
    return static_cast<const wchar_t*>(value.GetString());
  } else if constexpr (std::is_same_v<U, std::wstring> || std::is_same_v<U, std::string>) {
    return value.c_str();
  } else {
    return std::forward<T>(value);
  }
}

template <typename... Args>
std::wstring Format(const wchar_t* format, Args&&... args) {
  return FormatC(format, FormatArg(std::forward<Args>(args))...);
}
template <typename... Args>
std::string Format(const char* format, Args&&... args) {
  return FormatC(format, FormatArg(std::forward<Args>(args))...);
}
}  // namespace qlw
