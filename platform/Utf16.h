// Explicit conversions between wide text (UTF-32 wchar_t here), UTF-16 (little-endian bytes at
// every binary boundary: registry, files, clipboard) and UTF-8 (terminal, narrow APIs).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlw {
// Characters beyond the BMP become surrogate pairs; invalid code points become U+FFFD.
std::u16string ToUtf16(std::wstring_view text);
// Surrogate pairs are joined; an unpaired surrogate becomes U+FFFD.
std::wstring FromUtf16(std::u16string_view text);

// UTF-16LE bytes without a terminator.
std::vector<uint8_t> ToUtf16LE(std::wstring_view text);
// Reads byteCount bytes of UTF-16LE; an odd last byte is ignored.
std::wstring FromUtf16LE(const void* bytes, size_t byteCount);

std::string ToUtf8(std::wstring_view text);
// The same appended to out, for long listings that build one text.
void AppendUtf8(std::string& out, std::wstring_view text);
inline std::string ToUtf8(const wchar_t* text) { return text ? ToUtf8(std::wstring_view(text)) : std::string(); }
inline std::string ToUtf8(const std::wstring& text) { return ToUtf8(std::wstring_view(text)); }
// Malformed or overlong sequences become U+FFFD, one per offending byte.
std::wstring FromUtf8(std::string_view utf8);
// Strict: no result when any sequence is malformed.
std::optional<std::wstring> TryFromUtf8(std::string_view utf8);
}  // namespace qlw
