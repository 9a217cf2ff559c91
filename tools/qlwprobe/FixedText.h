// Numbers printed as printf's %.Nf prints them, for the probe's long listings.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace qlwprobe {
// As printf's %.Nf, without its cost per call: a large structure prints hundreds of thousands of
// sites. A value below 1e9 is rounded here to a whole number of units of 10^-N; the rounding error
// of the scaled product is known exactly (fma), so that number is the one of the exact value unless
// it lies within a hair of halfway. Such values, and all others, go to std::to_chars.
inline void AppendFixed(std::string& text, double value, int decimals) {
  static constexpr double kScales[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  const double magnitude = std::fabs(value);
  if (decimals >= 0 && decimals <= 8 && magnitude < 1e9) {
    const double scale = kScales[decimals];
    const double product = magnitude * scale;
    const double error = std::fma(magnitude, scale, -product);
    const double count = std::nearbyint(product);
    const double rest = (product - count) + error;
    if (std::fabs(rest) < 0.5 - 1e-7) {
      char buffer[32];
      char* end = buffer + sizeof buffer;
      char* p = end;
      auto digits = static_cast<uint64_t>(count);
      for (int i = 0; i < decimals; ++i, digits /= 10) *--p = static_cast<char>('0' + digits % 10);
      if (decimals > 0) *--p = '.';
      do {
        *--p = static_cast<char>('0' + digits % 10);
        digits /= 10;
      } while (digits);
      if (std::signbit(value)) *--p = '-';
      text.append(p, end);
      return;
    }
  }
  char buffer[400];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  text.append(buffer, end);
}
}  // namespace qlwprobe
