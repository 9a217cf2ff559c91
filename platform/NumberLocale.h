// Numbers read and written in the "C" locale whatever the user's locale (decimal point, no grouping).
#pragma once
#include <locale.h>

#include <string>
#include <string_view>

namespace qlw {
// The process-wide "C" locale object, created on first use.
locale_t CNumericLocale();

// Switches the calling thread to the "C" locale for its lifetime (uselocale), then restores.
class ScopedCLocale {
 public:
  ScopedCLocale();
  ~ScopedCLocale();
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t m_previous;
};

// strtod/wcstod in the "C" locale; end (when given) points past the last character used.
double StringToDouble(const char* text, char** end = nullptr);
double StringToDouble(const wchar_t* text, wchar_t** end = nullptr);
// The whole text (blanks around it allowed) must be one number; false leaves value unchanged.
bool TryParseDouble(std::wstring_view text, double& value);
bool TryParseDouble(std::string_view text, double& value);
bool TryParseFloat(std::wstring_view text, float& value);

// sscanf/swscanf in the "C" locale. In the wide form %s, %c and %[ read wide strings (%S, %C narrow)
// as on Windows.
int ScanC(const char* text, const char* format, ...);
int ScanC(const wchar_t* text, const wchar_t* format, ...);

// Puts LC_NUMERIC back to "C"; call after QApplication is constructed, which applies the user's locale.
void ResetNumericLocale();
}  // namespace qlw
