// Numbers read in the "C" locale while the process runs under a decimal-comma locale.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "NumberLocale.h"

namespace {
// Switches the whole process to de_DE.UTF-8 for one test, as a user's session would.
class DecimalCommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* current = std::setlocale(LC_ALL, nullptr);
    m_saved = current ? current : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    ASSERT_STREQ(localeconv()->decimal_point, ",");
  }
  void TearDown() override { std::setlocale(LC_ALL, m_saved.c_str()); }

 private:
  std::string m_saved;
};
}  // namespace

TEST_F(DecimalCommaLocale, PointNumbersParse) {
  double d = 0;
  EXPECT_TRUE(qlw::TryParseDouble(L"1.5", d));
  EXPECT_EQ(d, 1.5);
  EXPECT_TRUE(qlw::TryParseDouble(std::string_view("  -2.5e-3 "), d));
  EXPECT_EQ(d, -2.5e-3);
  EXPECT_EQ(qlw::StringToDouble("0.125"), 0.125);
}

TEST_F(DecimalCommaLocale, ScanReadsFloatsWithAPoint) {
  float x = 0, y = 0;
  EXPECT_EQ(qlw::ScanC("10.25 3.5", "%f %f", &x, &y), 2);
  EXPECT_EQ(x, 10.25f);
  EXPECT_EQ(y, 3.5f);
  wchar_t word[16] = {};
  double z = 0;
  EXPECT_EQ(qlw::ScanC(L"Si 0.75", L"%15s %lf", word, &z), 2);
  EXPECT_STREQ(word, L"Si");
  EXPECT_EQ(z, 0.75);
}

TEST_F(DecimalCommaLocale, ResetNumericLocaleRestoresThePoint) {
  qlw::ResetNumericLocale();
  EXPECT_STREQ(localeconv()->decimal_point, ".");
}

TEST(Numbers, WholeTextMustBeANumber) {
  double d = 7;
  for (const wchar_t* bad : {L"", L"  ", L"1,5", L"1.5x", L"x1.5", L"1.5 2"}) {
    EXPECT_FALSE(qlw::TryParseDouble(bad, d)) << bad;
    EXPECT_EQ(d, 7);
  }
  float f = 0;
  EXPECT_TRUE(qlw::TryParseFloat(L"0.1", f));
  EXPECT_EQ(f, 0.1f);
}
