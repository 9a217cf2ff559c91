// Text conversions that the file layer needs at its byte boundaries: paths for the operating
// system, UTF-8 and UTF-16 fields, and the Macintosh code page of the binary formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace LXText {
std::string Utf8FromWide(const std::wstring& text);
// Strict: an invalid sequence gives no result.
std::optional<std::wstring> WideFromUtf8Strict(const std::string& bytes);
// Lenient: each invalid byte becomes U+FFFD.
std::wstring WideFromUtf8(const std::string& bytes);
wchar_t WideFromMacRoman(uint8_t byte);
}  // namespace LXText
