// Text boxes copied from tiles against the same boxes drawn in place.
#include "GraphicsTestSupport.h"
#include "LXGdiplus.h"
#include "LXText.h"
#include "LXTextTiles.h"

#include <gtest/gtest.h>

using namespace Gdiplus;
using namespace graphicstest;

namespace {
// Opaque white, a colour ramp and a half-transparent band: text is blended over each.
void Background(Graphics& g) {
  g.Clear(Color(0xFFFFFFFFu));
  LinearGradientBrush ramp(PointF(0, 0), PointF(480, 0), Color(0xFF102030u), Color(0xFFF0C080u));
  g.FillRectangle(&ramp, 0.0f, 60.0f, 480.0f, 70.0f);
  g.SetCompositingMode(CompositingModeSourceCopy);
  SolidBrush glass(Color(0x6040A0E0u));
  g.FillRectangle(&glass, 0.0f, 150.0f, 480.0f, 60.0f);
  g.SetCompositingMode(CompositingModeSourceOver);
}
}  // namespace

TEST(DrawTextBoxFromTile, GivesTheSamePixelsAsTheTextDrawnInPlace) {
  EnsureApp();
  struct Case {
    const wchar_t* text;
    float size;
    UINT style;
    ARGB colour;
  };
  const Case cases[] = {
      {L"0.05", 9, 0x500, 0xFF000000u},         {L"1.10", 9, 0x600, 0xFF000000u},
      {L"180", 12.5f, 0x400, 0xFF2040A0u},      {L"2\u03B8 [\u00B0]", 10, 0x600 | kTextBold, 0xFF000000u},
      {L"AVATAR ffi", 11, kTextItalic, 0xFF802000u}, {L"-3", 9, 0x500, 0x80FF0000u},
      {L"a rather long line", 9, 0x600, 0xFF000000u}};
  // Onto a bitmap that is not premultiplied the text is drawn in place.
  for (PixelFormat format : {PixelFormat32bppPARGB, PixelFormat32bppARGB}) {
    SCOPED_TRACE(format);
    Bitmap tiles(480, 240, format), direct(480, 240, format);
    for (int pass = 0; pass < 2; ++pass) {
      Bitmap& target = pass ? direct : tiles;
      Graphics g(&target);
      Background(g);
      g.SetSmoothingMode(SmoothingModeHighQuality);
      g.TranslateTransform(3, 2);  // whole pixels
      for (int i = 0; i < 5; ++i)
        for (const Case& c : cases) {
          // Boxes at fractions of a pixel, over each background; the last box is too narrow and wraps.
          const float x = 7.3f * float(&c - cases) * 9 + 0.37f * float(i), y = 8.0f + 45.5f * float(i) + 0.21f * float(&c - cases);
          LXGraphics::CSyncRect box;
          box.SetXYWH(x, y, c.text[0] == L'a' ? 40.0f : 60.0f, 18.0f);
          if (pass)
            DrawTextBox(&g, c.text, CString(L"Arial"), c.size, c.style, c.colour, box);
          else
            DrawTextBoxFromTile(&g, c.text, CString(L"Arial"), c.size, c.style, c.colour, box);
        }
    }
    EXPECT_TRUE(tiles.Q() == direct.Q());
    EXPECT_GT(InkedCount(tiles), 2000);
  }
}
