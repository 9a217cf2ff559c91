// CString behaviour and the UTF-16/UTF-8 conversions.
#include <gtest/gtest.h>

#include "CString.h"
#include "Utf16.h"

TEST(CString, SubstringsClampToTheText) {
  CString s(L"abcdef");
  EXPECT_EQ(s.Left(3), L"abc");
  EXPECT_EQ(s.Left(99), L"abcdef");
  EXPECT_EQ(s.Left(-1), L"");
  EXPECT_EQ(s.Mid(2), L"cdef");
  EXPECT_EQ(s.Mid(4, 10), L"ef");
  EXPECT_EQ(s.Mid(10), L"");
  EXPECT_EQ(s.Right(2), L"ef");
  EXPECT_EQ(s.Right(10), L"abcdef");
  EXPECT_EQ(s.GetAt(9), L'\0');
}

TEST(CString, SearchesAnswerMinusOneWhenAbsent) {
  CString s(L"a.b.c");
  EXPECT_EQ(s.Find(L'.'), 1);
  EXPECT_EQ(s.Find(L'.', 2), 3);
  EXPECT_EQ(s.Find(L"b.c"), 2);
  EXPECT_EQ(s.Find(L'x'), -1);
  EXPECT_EQ(s.Find(L'.', 99), -1);
  EXPECT_EQ(s.ReverseFind(L'.'), 3);
  EXPECT_EQ(s.FindOneOf(L"cb"), 2);
  EXPECT_EQ(s.FindOneOf(L"xyz"), -1);
}

TEST(CString, EditingCallsReturnCountsAndLengths) {
  CString s(L"one two two");
  EXPECT_EQ(s.Replace(L"two", L"2"), 2);
  EXPECT_EQ(s, L"one 2 2");
  EXPECT_EQ(s.Replace(L' ', L'_'), 2);
  EXPECT_EQ(s.Remove(L'_'), 2);
  EXPECT_EQ(s, L"one22");
  EXPECT_EQ(s.Insert(3, L"-"), 6);
  EXPECT_EQ(s.Insert(99, L'!'), 7);
  EXPECT_EQ(s, L"one-22!");
  EXPECT_EQ(s.Delete(3, 3), 4);
  EXPECT_EQ(s, L"one!");
  EXPECT_EQ(s.Delete(10), 4);
}

TEST(CString, TrimWithAndWithoutTargets) {
  CString blank(L" \t x y \r\n");
  EXPECT_EQ(CString(blank).Trim(), L"x y");
  EXPECT_EQ(CString(blank).TrimLeft(), L"x y \r\n");
  EXPECT_EQ(CString(blank).TrimRight(), L" \t x y");
  EXPECT_EQ(CString(L"xxaxx").Trim(L'x'), L"a");
  EXPECT_EQ(CString(L"0.5000").TrimRight(L"0"), L"0.5");
  EXPECT_EQ(CString(L"----").Trim(L'-'), L"");
}

TEST(CString, TokenizeSkipsEmptyTokensAndEndsWithMinusOne) {
  CString s(L",,a,bc;;d,");
  int pos = 0;
  std::vector<CString> tokens;
  for (CString t = s.Tokenize(L",;", pos); pos != -1; t = s.Tokenize(L",;", pos)) tokens.push_back(t);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0], L"a");
  EXPECT_EQ(tokens[1], L"bc");
  EXPECT_EQ(tokens[2], L"d");
  EXPECT_EQ(CString(L"123abc").SpanIncluding(L"0123456789"), L"123");
  EXPECT_EQ(CString(L"key=value").SpanExcluding(L"="), L"key");
}

TEST(CString, ComparisonsAndCase) {
  CString a(L"Alpha");
  EXPECT_EQ(a.CompareNoCase(L"aLPHA"), 0);
  EXPECT_LT(a.CompareNoCase(L"beta"), 0);
  EXPECT_GT(a.Compare(L"Aardvark"), 0);
  EXPECT_TRUE(a < CString(L"Beta"));
  EXPECT_TRUE(L"Alpha" == a);
  EXPECT_TRUE(a != L"alpha");
  EXPECT_EQ(CString(a).MakeUpper(), L"ALPHA");
  EXPECT_EQ(CString(L"ÄÖ").MakeLower(), L"äö");
  EXPECT_EQ(a + L'-' + L"x" + CString(L"y"), L"Alpha-xy");
}

TEST(CString, BufferAccessTakesTheLengthUpToTheFirstNul) {
  CString s;
  wchar_t* p = s.GetBuffer(10);
  wcscpy(p, L"hello");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 5);
  EXPECT_EQ(s, L"hello");
  p = s.GetBufferSetLength(3);
  p[2] = L'Y';
  s.ReleaseBuffer(3);
  EXPECT_EQ(s, L"heY");
}

TEST(CString, NarrowTextIsUtf8BothWays) {
  CString s("Å⁻¹ 2θ");
  EXPECT_EQ(s.GetLength(), 6);
  EXPECT_EQ(s[0], L'\u00C5');
  EXPECT_EQ(s.ToUtf8(), "Å⁻¹ 2θ");
}

TEST(Utf16, TextBeyondTheBmpRoundTripsThroughLittleEndianBytes) {
  const std::wstring text = L"a\u00E9\u2205\U0001F600\U00010348z";
  std::vector<uint8_t> bytes = qlw::ToUtf16LE(text);
  // U+1F600 is the surrogate pair D83D DE00, low byte first.
  const std::vector<uint8_t> expected = {0x61, 0x00, 0xE9, 0x00, 0x05, 0x22, 0x3D, 0xD8, 0x00, 0xDE,
                                         0x00, 0xD8, 0x48, 0xDF, 0x7A, 0x00};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(qlw::FromUtf16LE(bytes.data(), bytes.size()), text);
  EXPECT_EQ(qlw::FromUtf8(qlw::ToUtf8(text)), text);
  // Appended after what a text holds, an ASCII head copied and the rest encoded.
  std::string listing = "site: ";
  qlw::AppendUtf8(listing, L"O1");
  qlw::AppendUtf8(listing, L"");
  qlw::AppendUtf8(listing, L" " + text);
  EXPECT_EQ(listing, "site: O1 " + qlw::ToUtf8(text));
  EXPECT_EQ(qlw::ToUtf8(text), "a\xC3\xA9\xE2\x88\x85\xF0\x9F\x98\x80\xF0\x90\x8D\x88z");
}

TEST(Utf16, BrokenInputBecomesReplacementCharacters) {
  // A lone high surrogate, a lone low surrogate, and an odd trailing byte.
  const uint8_t bytes[] = {0x3D, 0xD8, 0x41, 0x00, 0x00, 0xDE, 0x42};
  EXPECT_EQ(qlw::FromUtf16LE(bytes, sizeof bytes), L"\uFFFDA\uFFFD");
  EXPECT_EQ(qlw::FromUtf8("a\xC3(b\xF0\x9F\x98"), L"a\uFFFD(b\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(qlw::FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong '/'
}
