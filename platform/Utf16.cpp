#include "Utf16.h"

namespace qlw {
namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

char32_t ValidCodePoint(wchar_t ch) {
  char32_t c = static_cast<char32_t>(ch);
  return (c > 0x10FFFF || IsSurrogate(c)) ? kReplacement : c;
}

template <typename Sink>
void DecodeUtf16(size_t count, char16_t (*unitAt)(const void*, size_t), const void* data, Sink&& put) {
  for (size_t i = 0; i < count; ++i) {
    char16_t u = unitAt(data, i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
      char16_t low = unitAt(data, i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        put(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    put(IsSurrogate(u) ? kReplacement : static_cast<char32_t>(u));
  }
}
}  // namespace

std::u16string ToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t ch : text) {
    char32_t c = ValidCodePoint(ch);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::wstring FromUtf16(std::u16string_view text) {
  std::wstring out;
  out.reserve(text.size());
  DecodeUtf16(
      text.size(), [](const void* d, size_t i) { return static_cast<const char16_t*>(d)[i]; }, text.data(),
      [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
  return out;
}

std::vector<uint8_t> ToUtf16LE(std::wstring_view text) {
  std::u16string units = ToUtf16(text);
  std::vector<uint8_t> out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

std::wstring FromUtf16LE(const void* bytes, size_t byteCount) {
  std::wstring out;
  if (!bytes) return out;
  out.reserve(byteCount / 2);
  DecodeUtf16(
      byteCount / 2,
      [](const void* d, size_t i) {
        const uint8_t* b = static_cast<const uint8_t*>(d);
        return static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
      },
      bytes, [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
  return out;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

void AppendUtf8(std::string& out, std::wstring_view text) {
  // Most texts are ASCII: copied as they are.
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<uint32_t>(text[ascii]) < 0x80) ++ascii;
  const size_t at = out.size();
  out.resize(at + ascii);
  for (size_t k = 0; k < ascii; ++k) out[at + k] = static_cast<char>(text[k]);
  if (ascii == text.size()) return;
  out.reserve(out.size() + text.size() - ascii);
  for (wchar_t ch : text.substr(ascii)) {
    char32_t c = ValidCodePoint(ch);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

namespace {
// Decodes utf8 into out; a malformed sequence fails a strict decode, otherwise it becomes U+FFFD.
bool DecodeUtf8(std::string_view utf8, bool strict, std::wstring& out) {
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    int extra;
    char32_t c;
    char32_t minimum;
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      if (strict) return false;
      out.push_back(static_cast<wchar_t>(kReplacement));
      ++i;
      continue;
    }
    bool ok = i + static_cast<size_t>(extra) < n;
    for (int k = 1; ok && k <= extra; ++k) {
      unsigned char cont = static_cast<unsigned char>(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) ok = false;
      else c = (c << 6) | (cont & 0x3F);
    }
    if (!ok || c < minimum || c > 0x10FFFF || IsSurrogate(c)) {
      if (strict) return false;
      out.push_back(static_cast<wchar_t>(kReplacement));
      ++i;
      continue;
    }
    out.push_back(static_cast<wchar_t>(c));
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}
}  // namespace

std::wstring FromUtf8(std::string_view utf8) {
  std::wstring out;
  DecodeUtf8(utf8, false, out);
  return out;
}

std::optional<std::wstring> TryFromUtf8(std::string_view utf8) {
  std::wstring out;
  if (!DecodeUtf8(utf8, true, out)) return std::nullopt;
  return out;
}
}  // namespace qlw
