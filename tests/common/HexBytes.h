// Fixtures written as hex: byte pairs separated by blanks, "#" starts a comment to the line end.
#pragma once

#include <cctype>
#include <stdexcept>
#include <string>

namespace qlwtest {
inline std::string ParseHex(const std::string& text) {
  std::string bytes;
  bool comment = false;
  int high = -1;
  for (char c : text) {
    if (c == '\n') comment = false;
    if (comment || c == '#') {
      comment = true;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (high >= 0) throw std::runtime_error("odd hex digit");
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::runtime_error("not a hex digit");
    const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    if (high < 0) {
      high = v;
    } else {
      bytes += static_cast<char>(high << 4 | v);
      high = -1;
    }
  }
  return bytes;
}
}  // namespace qlwtest
