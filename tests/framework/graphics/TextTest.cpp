// Text drawing: overbars, arrow glyphs, family names, the label angle, default sizes.
#include "GraphicsTestSupport.h"
#include "LXGdiplus.h"
#include "LXText.h"

#include <gtest/gtest.h>

using namespace Gdiplus;
using namespace graphicstest;

namespace {
const CString kArial(L"Arial");

std::unique_ptr<Bitmap> Text(const wchar_t* text, UINT style, float size = 20) {
  return Draw(160, 60, [&](Graphics& g) {
    DrawTextAtPoint(&g, text, kArial, size, style, 0xFF000000u, LXGraphics::CSyncPoint(10, 15));
  });
}

// Rows of the bitmap with ink between columns x0 and x1.
std::vector<int> InkedRows(Bitmap& b, int x0, int x1) {
  std::vector<int> rows;
  for (int y = 0; y < int(b.GetHeight()); ++y)
    for (int x = x0; x < x1; ++x)
      if (Inked(b, x, y)) {
        rows.push_back(y);
        break;
      }
  return rows;
}
}  // namespace

TEST(DrawTextString, OverbarsBetweenMacronsAndNotDrawnMacrons) {
  auto plain = Text(L"1", 0);
  auto barred = Text(L"\u00AF1\u00AF", kTextOverbar);
  auto single = Text(L"\u00AF1", kTextOverbar);
  // One macron opens a bar that never closes: the same as the plain digit.
  EXPECT_EQ(single->Q(), plain->Q());
  // Two macrons: the digit at the same place, plus a bar above its top.
  std::vector<int> digitRows = InkedRows(*plain, 0, 160);
  ASSERT_FALSE(digitRows.empty());
  int topOfDigit = digitRows.front();
  std::vector<int> barredRows = InkedRows(*barred, 0, 160);
  ASSERT_FALSE(barredRows.empty());
  EXPECT_LT(barredRows.front(), topOfDigit);
  // The bar spans the digit's advance and no more.
  int bar = barredRows.front();
  int left = -1, right = -1;
  for (int x = 0; x < 160; ++x)
    if (Inked(*barred, x, bar)) right = x, left = left < 0 ? x : left;
  EXPECT_GE(left, 9);
  EXPECT_LE(right - left, 16);
  EXPECT_GE(right - left, 10);
  // Without the bit the macrons are drawn as glyphs.
  EXPECT_NE(Text(L"\u00AF1\u00AF", 0)->Q(), barred->Q());
}

TEST(DrawTextString, OverbarsDoNotShiftRightAlignedText) {
  // Alignment measures the text without its macrons: the digit ends at the same place.
  auto draw = [](const wchar_t* text, UINT style) {
    return Draw(160, 60, [&](Graphics& g) {
      DrawTextAtPoint(&g, text, kArial, 20, style | kTextAlignRight, 0xFF000000u, LXGraphics::CSyncPoint(150, 15));
    });
  };
  auto plain = draw(L"12", 0), barred = draw(L"\u00AF1\u00AF2", kTextOverbar);
  auto lastColumn = [](Bitmap& b, int y0) {
    int last = -1;
    for (int y = y0; y < 60; ++y)
      for (int x = 0; x < 160; ++x)
        if (Inked(b, x, y)) last = std::max(last, x);
    return last;
  };
  EXPECT_EQ(lastColumn(*barred, 25), lastColumn(*plain, 25));
}

TEST(DrawTextString, ArrowNotationReplacesTheGlyph) {
  auto arrow = Text(L"<<<<", kTextArrows, 20);
  auto glyph = Text(L"<<<<", 0, 20);
  auto blank = Text(L"    ", 0, 20);
  EXPECT_NE(arrow->Q(), glyph->Q());
  EXPECT_GT(InkedCount(*arrow), 0);
  EXPECT_EQ(InkedCount(*blank), 0);
  // One left arrow across the run's four blanks: its tip at the left, its shaft at mid-height
  // reaching the run's right end.
  EnsureApp();
  Bitmap scratch(10, 10);
  Graphics g(&scratch);
  SizeF blanks;
  CTextBox tb;
  tb.style = kTextSingleLine;
  tb.measured = &blanks;
  MeasureTextBox(&g, L"    ", kArial, 20, tb);
  std::vector<int> rows = InkedRows(*arrow, 0, 160);
  ASSERT_FALSE(rows.empty());
  int mid = (rows.front() + rows.back()) / 2;
  int leftmost = 1000, rightmost = -1;
  for (int x = 0; x < 160; ++x)
    for (int y = mid - 1; y <= mid + 1; ++y)
      if (Inked(*arrow, x, y)) leftmost = std::min(leftmost, x), rightmost = std::max(rightmost, x);
  EXPECT_NEAR(leftmost, 10, 2);
  EXPECT_NEAR(rightmost, 10 + blanks.Width, 2);
}

TEST(DrawTextString, SizeZeroOnAnEmptyBoundsRectangleIsSixPoints) {
  EnsureApp();
  Bitmap canvas(50, 50);
  Graphics g(&canvas);
  SizeF zero, six;
  CTextBox a;
  a.measured = &zero;
  DrawTextString(&g, L"Hkl", -1, kArial, 0, kTextSingleLine, 0, 0, 0, 0, false, true, &a);
  CTextBox b;
  b.measured = &six;
  DrawTextString(&g, L"Hkl", -1, kArial, 6, kTextSingleLine, 0, 0, 0, 0, false, true, &b);
  EXPECT_GT(six.Width, 0);
  EXPECT_FLOAT_EQ(zero.Width, six.Width);
  EXPECT_FLOAT_EQ(zero.Height, six.Height);
}

TEST(ResolveFontFamilyName, HyphensAreBlanksAndSubstitutesApply) {
  EnsureApp();
  CString family;
  EXPECT_TRUE(ResolveFontFamilyName(CString(L"Times-New-Roman"), family));
  EXPECT_EQ(family, CString(L"Times New Roman"));
  // Not a Windows name: the first row whose name begins with it ("Helvetica Narrow") decides.
  EXPECT_TRUE(ResolveFontFamilyName(CString(L"Helvetica"), family));
  EXPECT_EQ(family, CString(L"Arial Narrow"));
  EXPECT_TRUE(ResolveFontFamilyName(CString(L"New York"), family));
  EXPECT_EQ(family, CString(L"Times New Roman"));
  EXPECT_FALSE(ResolveFontFamilyName(CString(L"Quite Unknown Face"), family));
  EXPECT_EQ(family, CString(L"Arial"));
  // Asked again, the remembered answer.
  EXPECT_TRUE(ResolveFontFamilyName(CString(L"New York"), family));
  EXPECT_EQ(family, CString(L"Times New Roman"));
}

TEST(DrawRotatedLabel, AnglesAboveTwoSeventyLeanInsteadOfTurningOver) {
  const struct {
    float in, out;
  } cases[] = {{0, 0}, {45, 45}, {90, 90}, {100, -80}, {150, -30}, {180, 0}, {270, 90},
               {300, -60}, {330, -30}, {-30, -30}, {360, 0}, {-200, -20}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(NormalizeLabelAngle(c.in), c.out) << c.in;
  auto draw = [](float angle) {
    return Draw(120, 120, [angle](Graphics& g) {
      g.SetSmoothingMode(SmoothingModeAntiAlias);
      DrawRotatedLabel(&g, L"Label", kArial, 16, kTextAlignCentre, 0xFF000000u, angle, 0, LXGraphics::CSyncRect(10, 10, 110, 110), false);
    });
  };
  auto minus30 = draw(-30), plus330 = draw(330), plus30 = draw(30);
  EXPECT_EQ(minus30->Q(), plus330->Q());
  EXPECT_NE(minus30->Q(), plus30->Q());
  // Leaning up to the right: the ink's right end sits higher than its left end.
  auto meanRow = [](Bitmap& b, int x0, int x1) {
    double sum = 0;
    int n = 0;
    for (int x = x0; x < x1; ++x)
      for (int y = 0; y < 120; ++y)
        if (Inked(b, x, y)) sum += y, ++n;
    return n ? sum / n : 0;
  };
  EXPECT_LT(meanRow(*minus30, 70, 100), meanRow(*minus30, 20, 50));
}

TEST(DrawRotatedLabel, FittedSizeStaysInsideTheBox) {
  auto b = Draw(200, 100, [](Graphics& g) {
    DrawRotatedLabel(&g, L"Fitted label", kArial, 0, kTextAlignCentre, 0xFF000000u, 0, 0,
                     LXGraphics::CSyncRect(50, 30, 150, 60), false);
  });
  int inside = 0, outside = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      if (Inked(*b, x, y)) (x >= 49 && x <= 151 && y >= 29 && y <= 61 ? inside : outside)++;
  EXPECT_GT(inside, 50);
  EXPECT_EQ(outside, 0);
}

TEST(ChooseTextRenderingHint, FollowsTheDesktopsSmoothing) {
  EnsureApp();
  BOOL smoothing = FALSE;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETFONTSMOOTHING, 0, &smoothing, 0));
  TextRenderingHint hint;
  BYTE quality;
  Bitmap b(4, 4);
  Graphics g(&b);
  ChooseTextRenderingHint(&g, 24, 0, hint, quality);  // large text is always smoothed when smoothing is on
  EXPECT_EQ(hint, smoothing ? TextRenderingHintAntiAlias : TextRenderingHintSystemDefault);
  EXPECT_EQ(quality, smoothing ? ANTIALIASED_QUALITY : DEFAULT_QUALITY);
  g.RotateTransform(10);
  ChooseTextRenderingHint(&g, 9, 0, hint, quality);
  EXPECT_EQ(hint, smoothing ? TextRenderingHintAntiAlias : TextRenderingHintSystemDefault);
}

TEST(CreateStringFormat, StyleBitsBecomeAlignmentTrimmingAndWrapping) {
  EnsureApp();
  const struct {
    UINT style;
    StringAlignment align, line;
    StringTrimming trimming;
    bool noWrap;
  } cases[] = {
      {0, StringAlignmentNear, StringAlignmentNear, StringTrimmingNone, false},
      {kTextAlignRight | kTextAlignCentre | kTextVCentre | kTextAlignBottom, StringAlignmentFar, StringAlignmentCenter,
       StringTrimmingNone, false},
      {kTextAlignCentre | kTextAlignBottom | kTextSingleLine, StringAlignmentCenter, StringAlignmentFar, StringTrimmingNone, true},
      {kTextEllipsisWord, StringAlignmentNear, StringAlignmentNear, StringTrimmingEllipsisWord, false},
      {kTextEllipsisPath | kTextSingleLine, StringAlignmentNear, StringAlignmentNear, StringTrimmingEllipsisPath, true},
  };
  for (const auto& c : cases) {
    StringFormat* f = nullptr;
    CreateStringFormat(nullptr, c.style, 10, f);
    std::unique_ptr<StringFormat> owned(f);
    EXPECT_EQ(f->GetAlignment(), c.align) << c.style;
    EXPECT_EQ(f->GetLineAlignment(), c.line) << c.style;
    EXPECT_EQ(f->GetTrimming(), c.trimming) << c.style;
    EXPECT_EQ((f->GetFormatFlags() & StringFormatFlagsNoWrap) != 0, c.noWrap) << c.style;
    EXPECT_NE(f->GetFormatFlags() & StringFormatFlagsNoClip, 0);
    EXPECT_NE(f->GetFormatFlags() & StringFormatFlagsMeasureTrailingSpaces, 0);
  }
}
