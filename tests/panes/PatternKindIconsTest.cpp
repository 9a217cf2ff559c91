// The kind icons of the patterns list stay clear on a selected row's highlight as on white.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "GdiPlus.h"
#include "LXImages.h"
#include "Resources.h"
#include "WidgetApp.h"

namespace {
double Luma(double r, double g, double b) { return (0.299 * r + 0.587 * g + 0.114 * b) / 255.0; }

// The largest difference in luma between the icon laid over a background and that background.
double StrongestContrast(Gdiplus::Bitmap& icon, COLORREF background) {
  const double br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
  const double base = Luma(br, bg, bb);
  double strongest = 0;
  for (UINT y = 0; y < icon.GetHeight(); ++y)
    for (UINT x = 0; x < icon.GetWidth(); ++x) {
      Gdiplus::Color c;
      icon.GetPixel(static_cast<INT>(x), static_cast<INT>(y), &c);
      const double a = c.GetA() / 255.0;
      const double l = Luma(a * c.GetR() + (1 - a) * br, a * c.GetG() + (1 - a) * bg, a * c.GetB() + (1 - a) * bb);
      strongest = std::max(strongest, std::abs(l - base));
    }
  return strongest;
}
}  // namespace

TEST(PatternKindIcons, StandOutOnWhiteAndOnTheSelectionHighlight) {
  qlwtest::EnsureWidgetApp("test_panes");
  for (UINT id : {3400u, 3401u, 3404u}) {  // crystal, observed, mixture
    std::unique_ptr<Gdiplus::Bitmap> icon(LoadBitmapResource(id));
    ASSERT_NE(icon, nullptr) << id;
    EXPECT_GT(StrongestContrast(*icon, RGB(255, 255, 255)), 0.3) << id << " on white";
    EXPECT_GT(StrongestContrast(*icon, GetSysColor(COLOR_HIGHLIGHT)), 0.3) << id << " on the highlight";
  }
}
