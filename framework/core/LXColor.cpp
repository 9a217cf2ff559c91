// Colour conversions; see LXColor.h.
#include "LXColor.h"

#include <algorithm>
#include <cmath>

#include "Win.h"

namespace LXGraphics {

namespace {
uint8_t ChannelFromFraction(float v) {
  const float scaled = 255.0f * v;
  if (!(scaled > 0.0f)) return 0;  // also catches NaN
  if (scaled >= 255.0f) return 255;
  return static_cast<uint8_t>(static_cast<int>(scaled));
}
}  // namespace

void CColor::GetHLS(float* hue, float* lightness, float* saturation) const {
  const float r = GetR() / 255.0f, g = GetG() / 255.0f, b = GetB() / 255.0f;
  const float mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const float l = (mx + mn) / 2.0f;
  float h = 0.0f, s = 0.0f;
  if (mx != mn) {
    const float d = mx - mn;
    if (r == mx)
      h = (g - b) / d;
    else if (g == mx)
      h = (b - r) / d + 2.0f;
    else
      h = (r - g) / d + 4.0f;
    h = WrapHue(h * 60.0f);
    s = l <= 0.5f ? d / (mx + mn) : d / (2.0f - mx - mn);
  }
  if (hue) *hue = h;
  if (lightness) *lightness = l;
  if (saturation) *saturation = s;
}

CColor CColor::FromHLS(float hue, float lightness, float saturation) {
  hue = WrapHue(hue);
  const float l = std::clamp(lightness, 0.0f, 1.0f);
  const float s = std::clamp(saturation, 0.0f, 1.0f);
  CColor c;
  if (s == 0.0f) {
    c.SetARGB(1.0f, l, l, l);
    return c;
  }
  const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
  const float m1 = 2.0f * l - m2;
  c.SetARGB(1.0f, HLSValue(m1, m2, hue + 120.0f), HLSValue(m1, m2, hue), HLSValue(m1, m2, hue - 120.0f));
  return c;
}

CColor CColor::FromHSV(float hue, float saturation, float value) {
  hue = WrapHue(hue);
  const float s = std::clamp(saturation, 0.0f, 1.0f);
  const float v = std::clamp(value, 0.0f, 1.0f);
  CColor c;
  if (s == 0.0f) {
    c.SetARGB(1.0f, v, v, v);
    return c;
  }
  float sectorF = std::floor(hue / 60.0f);
  // A hue that is not a number would make the sector conversion undefined: treat it as red.
  if (!(sectorF >= 0.0f && sectorF < 6.0f)) hue = sectorF = 0.0f;
  const float f = hue / 60.0f - sectorF;
  const float p = v * (1.0f - s), q = v * (1.0f - s * f), t = v * (1.0f - s * (1.0f - f));
  switch (static_cast<int>(sectorF)) {
    case 0: c.SetARGB(1.0f, v, t, p); break;
    case 1: c.SetARGB(1.0f, q, v, p); break;
    case 2: c.SetARGB(1.0f, p, v, t); break;
    case 3: c.SetARGB(1.0f, p, q, v); break;
    case 4: c.SetARGB(1.0f, t, p, v); break;
    default: c.SetARGB(1.0f, v, p, q); break;
  }
  return c;
}

void CColor::SetRGB(float r, float g, float b) {
  m_argb = (m_argb & 0xFF000000u) | uint32_t(ChannelFromFraction(r)) << 16 | uint32_t(ChannelFromFraction(g)) << 8 |
           ChannelFromFraction(b);
}

void CColor::SetARGB(float a, float r, float g, float b) {
  m_argb = uint32_t(ChannelFromFraction(a)) << 24;
  SetRGB(r, g, b);
}

CColor& CColor::Darken(float amount) {
  const float k = 1.0f - std::clamp(amount, 0.0f, 1.0f);
  SetRGB(GetR() / 255.0f * k, GetG() / 255.0f * k, GetB() / 255.0f * k);
  return *this;
}

CColor& CColor::Lighten(float amount) {
  const float a = std::clamp(amount, 0.0f, 1.0f);
  const float k = 1.0f - a;
  SetRGB(GetR() / 255.0f * k + a, GetG() / 255.0f * k + a, GetB() / 255.0f * k + a);
  return *this;
}

bool CColor::LessForPalette(const CColor& a, const CColor& b) {
  float ha, la, sa, hb, lb, sb;
  a.GetHLS(&ha, &la, &sa);
  b.GetHLS(&hb, &lb, &sb);
  const bool greyA = sa == 0.0f, greyB = sb == 0.0f;
  if (greyA != greyB) return greyA;
  if (greyA) return la < lb;
  if (ha != hb) return ha < hb;
  if (la != lb) return la < lb;
  return sa < sb;
}

CColor CColor::FromThemeSysColor(void*, int colourIndex) {
  const uint32_t colorref = GetSysColor(colourIndex);
  const uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
  return CColor(0xFF000000u | r << 16 | g << 8 | b);
}

}  // namespace LXGraphics

float WrapHue(float degrees) {
  const float whole = std::trunc(degrees);
  float result = std::fmod(whole, 360.0f) + (degrees - whole);
  if (result < 0.0f) result += 360.0f;
  if (result >= 360.0f) result = 0.0f;
  return result;
}

float HLSValue(float m1, float m2, float hue) {
  hue = WrapHue(hue);
  if (hue < 60.0f) return m1 + (m2 - m1) * hue / 60.0f;
  if (hue < 180.0f) return m2;
  if (hue < 240.0f) return m1 + (m2 - m1) * (240.0f - hue) / 60.0f;
  return m1;
}
