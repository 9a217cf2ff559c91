// Colour conversions, hue helpers and the palette order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "LXColor.h"
#include "Win.h"

using LXGraphics::CColor;

TEST(Color, WrapHueReducesIntoOneTurn) {
  EXPECT_FLOAT_EQ(WrapHue(-30.0f), 330.0f);
  EXPECT_FLOAT_EQ(WrapHue(360.0f), 0.0f);
  EXPECT_FLOAT_EQ(WrapHue(725.5f), 5.5f);
  EXPECT_FLOAT_EQ(WrapHue(-720.0f), 0.0f);
  EXPECT_FLOAT_EQ(WrapHue(120.0f), 120.0f);
}

TEST(Color, GetHLSOfRedAndGrey) {
  float h = -1, l = -1, s = -1;
  CColor(0xFFFF0000u).GetHLS(&h, &l, &s);
  EXPECT_FLOAT_EQ(h, 0.0f);
  EXPECT_FLOAT_EQ(l, 0.5f);
  EXPECT_FLOAT_EQ(s, 1.0f);

  CColor(0xFF808080u).GetHLS(&h, &l, &s);
  EXPECT_EQ(h, 0.0f);
  EXPECT_EQ(s, 0.0f);
  EXPECT_FLOAT_EQ(l, 128.0f / 255.0f);

  // Null outputs are skipped.
  CColor(0xFF00FF00u).GetHLS(&h, nullptr, nullptr);
  EXPECT_FLOAT_EQ(h, 120.0f);
}

TEST(Color, HueModelsGiveThePrimaries) {
  const struct {
    float hue;
    uint32_t argb;
  } cases[] = {{0, 0xFFFF0000u}, {120, 0xFF00FF00u}, {240, 0xFF0000FFu}, {60, 0xFFFFFF00u}, {-120, 0xFF0000FFu}};
  for (const auto& c : cases) {
    EXPECT_EQ(CColor::FromHLS(c.hue, 0.5f, 1.0f).GetValue(), c.argb) << c.hue;
    EXPECT_EQ(CColor::FromHSV(c.hue, 1.0f, 1.0f).GetValue(), c.argb) << c.hue;
  }
  // No saturation: a grey of the lightness or value; out-of-range inputs are clamped.
  EXPECT_EQ(CColor::FromHLS(200, 0.5f, 0.0f).GetValue(), 0xFF7F7F7Fu);
  EXPECT_EQ(CColor::FromHSV(200, -1.0f, 2.0f).GetValue(), 0xFFFFFFFFu);
  // A hue that is not a number gives a defined colour: the hue of 0.
  EXPECT_EQ(CColor::FromHSV(std::nanf(""), 1.0f, 1.0f).GetValue(), 0xFFFF0000u);
  EXPECT_EQ(CColor::FromHSV(INFINITY, 1.0f, 1.0f).GetValue(), 0xFFFF0000u);
}

TEST(Color, HLSRoundTripKeepsTheColour) {
  for (uint32_t rgb : {0x336699u, 0xC01020u, 0x10E0A0u, 0xFEDCBAu}) {
    const CColor c(0xFF000000u | rgb);
    float h, l, s;
    c.GetHLS(&h, &l, &s);
    const CColor back = CColor::FromHLS(h, l, s);
    // Channels are truncated, so a round trip may lose one step.
    EXPECT_NEAR(back.GetR(), c.GetR(), 1) << std::hex << rgb;
    EXPECT_NEAR(back.GetG(), c.GetG(), 1) << std::hex << rgb;
    EXPECT_NEAR(back.GetB(), c.GetB(), 1) << std::hex << rgb;
  }
}

TEST(Color, ChannelSettersTruncateClampAndKeepAlpha) {
  CColor c(0x80000000u);
  c.SetRGB(0.5f, 2.0f, -1.0f);
  EXPECT_EQ(c.GetValue(), 0x807FFF00u);
  c.SetARGB(1.0f, 0.0f, 0.0f, 1.0f);
  EXPECT_EQ(c.GetValue(), 0xFF0000FFu);

  CColor grey(0x40C8C8C8u);
  grey.Darken(0.5f);
  EXPECT_EQ(grey.GetValue(), 0x40646464u);
  CColor black(0xFF000000u);
  black.Lighten(2.0f);  // clamped to 1: white
  EXPECT_EQ(black.GetValue(), 0xFFFFFFFFu);
}

TEST(Color, PaletteOrderPutsGreysByLightnessBeforeColours) {
  const CColor black(0xFF000000u), grey(0xFF808080u), white(0xFFFFFFFFu);
  const CColor red(0xFFFF0000u), darkRed(0xFF800000u), green(0xFF00FF00u), paleRed(0xFFFF8080u);
  std::vector<CColor> colours = {green, red, white, paleRed, darkRed, grey, black};
  std::sort(colours.begin(), colours.end(), CColor::LessForPalette);
  const std::vector<CColor> expected = {black, grey, white, darkRed, red, paleRed, green};
  EXPECT_EQ(colours, expected);
  EXPECT_FALSE(CColor::LessForPalette(red, red));
}

TEST(Color, ThemeSystemColourBecomesOpaqueARGB) {
  const DWORD bgr = GetSysColor(COLOR_HIGHLIGHT);
  const CColor c = CColor::FromThemeSysColor(nullptr, COLOR_HIGHLIGHT);
  EXPECT_EQ(c.GetA(), 0xFF);
  EXPECT_EQ(c.GetR(), GetRValue(bgr));
  EXPECT_EQ(c.GetG(), GetGValue(bgr));
  EXPECT_EQ(c.GetB(), GetBValue(bgr));
}
