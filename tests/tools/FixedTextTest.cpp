#include "FixedText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {
std::string Printf(double value, int decimals) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string Fixed(double value, int decimals) {
  std::string text = "x";  // appended to, not replaced
  qlwprobe::AppendFixed(text, value, decimals);
  return text.substr(1);
}
}  // namespace

TEST(FixedText, PrintsAsPrintfEvenNextToHalfway) {
  std::vector<double> values = {0.0,  -0.0,  1e-9,   -1e-9,    0.5,     2.5,      -0.5,   1.0,   0.99999995, 123.456,
                                1e9,  -1e9,  1e300,  -1e-300,  5e-324,  DBL_MAX,  1e15,   999999999.99999994,
                                INFINITY, -INFINITY, NAN};
  // Halfway between two printed values, and the neighbours on each side, where rounding the
  // scaled product alone goes wrong; at many magnitudes.
  for (int decimals : {4, 6}) {
    const double unit = std::pow(10.0, -decimals);
    for (double whole : {0.0, 1.0, 7.0, 12345.0, 99999999.0})
      for (int k = 0; k < 2000; ++k) {
        const double half = whole + (k * 37 + 0.5) * unit;
        values.insert(values.end(), {half, std::nextafter(half, 0.0), std::nextafter(half, 1e12), -half,
                                     static_cast<double>(static_cast<float>(half))});
      }
  }
  // And doubles spread over every exponent a coordinate or occupancy may have.
  uint64_t state = 88172645463325252ull;
  for (int n = 0; n < 200000; ++n) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    const double mantissa = static_cast<double>(state >> 11) / 9007199254740992.0;
    values.push_back((n % 2 ? -1 : 1) * std::ldexp(mantissa, static_cast<int>(state % 40) - 20));
  }
  int wrong = 0;
  for (double value : values)
    for (int decimals : {0, 4, 6}) {
      const std::string expected = Printf(value, decimals);
      if (Fixed(value, decimals) != expected && ++wrong < 10)
        ADD_FAILURE() << value << " at " << decimals << ": " << Fixed(value, decimals) << " for " << expected;
    }
  EXPECT_EQ(wrong, 0);
}
