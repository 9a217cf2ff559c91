// The formatter's Windows semantics: %s wide in wide formats, 32-bit %l, C-locale floats.
#include <gtest/gtest.h>

#include <clocale>

#include "CString.h"
#include "Format.h"

namespace {
CString FormatThroughVaList(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  CString s;
  s.FormatV(format, args);
  va_end(args);
  return s;
}
}  // namespace

TEST(Format, PercentSIsWideInWideFormatsAndNarrowInNarrowOnes) {
  const wchar_t* wide = L"Åge";
  const char* narrow = "naïve";
  EXPECT_EQ(qlw::Format(L"[%s|%S|%ls|%hs]", wide, narrow, wide, narrow), L"[Åge|naïve|Åge|naïve]");
  EXPECT_EQ(qlw::Format("[%s|%S]", narrow, wide), "[naïve|Åge]");
  EXPECT_EQ(qlw::Format(L"%c%C%lc", L'θ', 'x', L'é'), L"θxé");
  EXPECT_EQ(qlw::Format(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(Format, LongIsThirtyTwoBitsAndI64SixtyFour) {
  EXPECT_EQ(qlw::Format(L"%ld %lu %lx", static_cast<LONG>(-1), static_cast<ULONG>(0xFFFFFFFFu), static_cast<LONG>(-1)),
            L"-1 4294967295 ffffffff");
  const long long big = 0x123456789AbcLL;
  EXPECT_EQ(qlw::Format(L"%I64d %lld %I64X", big, -big, big), L"20015998343868 -20015998343868 123456789ABC");
  EXPECT_EQ(qlw::Format(L"%hd %hu", 70000, 70000), L"4464 4464");
}

TEST(Format, WidthPrecisionFlagsAndStars) {
  struct Case {
    const wchar_t* format;
    int value;
    const wchar_t* expected;
  } cases[] = {
      {L"[%5d]", 42, L"[   42]"},   {L"[%-5d]", 42, L"[42   ]"}, {L"[%05d]", -42, L"[-0042]"},
      {L"[%+d]", 42, L"[+42]"},     {L"[% d]", 42, L"[ 42]"},    {L"[%.4d]", 7, L"[0007]"},
      {L"[%#x]", 255, L"[0xff]"},   {L"[%4ld]", 5, L"[   5]"},  {L"[%04x]", 0x5001, L"[5001]"},
  };
  for (const Case& c : cases) EXPECT_EQ(qlw::Format(c.format, c.value), c.expected) << c.format;
  EXPECT_EQ(qlw::Format(L"[%*d|%-*s|%.*s]", 4, 7, 3, L"a", 2, L"xyz"), L"[   7|a  |xy]");
  EXPECT_EQ(qlw::Format(L"100%% %5.1f%%", 12.34), L"100%  12.3%");
  // Fields wider than any fixed buffer come out whole.
  EXPECT_EQ(qlw::Format(L"%600d|%-600x|", 7, 255u), std::wstring(599, L' ') + L"7|ff" + std::wstring(598, L' ') + L"|");
}

TEST(Format, FloatsUseAPointWhateverTheLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  EXPECT_EQ(qlw::Format(L"%.2f %g %.3e", 1.5, 0.25, 12345.0), L"1.50 0.25 1.234e+04");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(Format, CStringArgumentsAndVaListsPassThrough) {
  CString name(L"quartz");
  CString s;
  s.Format(L"%s has %d sites", name, 3);
  EXPECT_EQ(s, L"quartz has 3 sites");
  s.AppendFormat(L"; %s", std::wstring(L"ok"));
  EXPECT_EQ(s, L"quartz has 3 sites; ok");
  EXPECT_EQ(FormatThroughVaList(L"%s=%ld (%.1f)", L"a", static_cast<LONG>(-7), 2.26), L"a=-7 (2.3)");
}
