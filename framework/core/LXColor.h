// A 32-bit ARGB colour with hue-based conversions and the palette sort order; the hue
// helpers WrapHue and HLSValue stand beside it.
#pragma once

#include <cstdint>

namespace LXGraphics {

// Alpha in bits 24-31, red 16-23, green 8-15, blue 0-7; in memory the bytes run B, G, R, A.
class CColor {
 public:
  static constexpr uint32_t kOpaqueBlack = 0xFF000000u;

  constexpr CColor() = default;
  constexpr explicit CColor(uint32_t argb) : m_argb(argb) {}
  constexpr CColor(uint8_t a, uint8_t r, uint8_t g, uint8_t b)
      : m_argb(uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b) {}

  constexpr uint32_t GetValue() const { return m_argb; }
  constexpr void SetValue(uint32_t argb) { m_argb = argb; }
  constexpr uint8_t GetA() const { return uint8_t(m_argb >> 24); }
  constexpr uint8_t GetR() const { return uint8_t(m_argb >> 16); }
  constexpr uint8_t GetG() const { return uint8_t(m_argb >> 8); }
  constexpr uint8_t GetB() const { return uint8_t(m_argb); }

  // Hue in degrees [0, 360), lightness and saturation in [0, 1]; null pointers are skipped.
  void GetHLS(float* hue, float* lightness, float* saturation) const;
  static CColor FromHLS(float hue, float lightness, float saturation);
  static CColor FromHSV(float hue, float saturation, float value);

  // Channels as fractions of 255, truncated and clamped to 0..255.
  void SetRGB(float r, float g, float b);
  void SetARGB(float a, float r, float g, float b);

  // amount is clamped to [0, 1]; alpha is kept.
  CColor& Darken(float amount);
  CColor& Lighten(float amount);

  // Palette order: greys by lightness first, then colours by hue, lightness, saturation.
  static bool LessForPalette(const CColor& a, const CColor& b);

  // The theme's system colour (0x00BBGGRR) as the opaque 0xFFRRGGBB. Without visual themes
  // here, the theme handle is not consulted.
  static CColor FromThemeSysColor(void* theme, int colourIndex);

  friend constexpr bool operator==(const CColor& a, const CColor& b) { return a.m_argb == b.m_argb; }
  friend constexpr bool operator!=(const CColor& a, const CColor& b) { return a.m_argb != b.m_argb; }

 private:
  uint32_t m_argb = kOpaqueBlack;
};

static_assert(sizeof(CColor) == 4, "stored as four bytes by the preferences");

}  // namespace LXGraphics

// degrees reduced into [0, 360).
float WrapHue(float degrees);
// One channel of the HLS conversion for the given hue.
float HLSValue(float m1, float m2, float hue);
