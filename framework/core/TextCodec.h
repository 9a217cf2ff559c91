// The Macintosh code page of the binary formats' string fields. UTF-8 and UTF-16 conversions
// are the platform's (Utf16.h).
#pragma once

#include <cstdint>

namespace LXText {
wchar_t WideFromMacRoman(uint8_t byte);
}  // namespace LXText
