// Text drawing through one core routine, with the text-style word shared by the GDI font helpers
// (LXGdiplus.h): overbars for negative indices, sub- and superscripts, arrow glyphs, outlines.
#pragma once
#include "CString.h"
#include "GdiPlus.h"
#include "LXSyncRect.h"

// Bits of the text-style word.
enum : UINT {
  kTextBold = 0x1,
  kTextItalic = 0x2,
  kTextUnderline = 0x4,
  kTextStrikeout = 0x8,
  kTextOverbar = 0x10,      // each U+00AF toggles an overbar; the macrons are not drawn
  kTextArrows = 0x20,       // "<" and ">" drawn as filled arrows
  kTextAlignRight = 0x100,
  kTextAlignCentre = 0x200,
  kTextVCentre = 0x400,
  kTextAlignBottom = 0x800,
  kTextSubscript = 0x2000,
  kTextSuperscript = 0x4000,
  kTextEllipsisChar = 0x8000,
  kTextEllipsisWord = 0x10000,
  kTextEllipsisPath = 0x20000,
  kTextTrimming = 0x38000,
  kTextSingleLine = 0x40000,
  kTextHidden = 0x10000000,
  kTextOutlined = 0x20000000,
};

// The argument of MeasureTextBox.
struct CTextBox {
  UINT style = 0;
  Gdiplus::SizeF* measured = nullptr;     // receives the measured width and height
  bool exportScaled = false;              // sizes times g_textScale
  LXGraphics::CSyncRect* box = nullptr;   // none: one unbounded line
  Gdiplus::StringFormat* format = nullptr;  // filled and released during the call
};

// A clone of the typographic format with the style's alignment, line alignment, trimming and
// wrapping; sets the Graphics' text rendering hint. The caller owns the format.
void CreateStringFormat(Gdiplus::Graphics* graphics, UINT style, float size, Gdiplus::StringFormat*& format);
// From the desktop's font smoothing; graphics may be null.
void ChooseTextRenderingHint(Gdiplus::Graphics* graphics, float size, UINT style, Gdiplus::TextRenderingHint& hint,
                             BYTE& quality);
// The family to use for a name ("-" read as blanks), through the substitution table; "Arial" and
// false when nothing is found.
bool ResolveFontFamilyName(const CString& name, CString& family);
// True when the family exists; each output may be null (a family handed out is the caller's).
bool GetFontFamilyMetrics(Gdiplus::Graphics* graphics, const CString& family, float size, UINT style,
                          Gdiplus::FontFamily** familyOut, INT* gdiStyle, float* pixelSize, float* lineHeight,
                          float* ascent, bool exportScaled);
// The core routine: draws (or only measures) the string with its top-left, after alignment, at
// (x, y). length -1: up to the terminator; size 0: from the DC's drawn bounds, else 6 points.
void DrawTextString(Gdiplus::Graphics* graphics, LPCWSTR text, int length, const CString& family, float size,
                    UINT style, Gdiplus::ARGB colour, float x, float y, Gdiplus::ARGB outline, bool exportScaled,
                    bool measureOnly, CTextBox* textBox);
void DrawTextAtPoint(Gdiplus::Graphics* graphics, LPCWSTR text, const CString& family, float size, UINT style,
                     Gdiplus::ARGB colour, const LXGraphics::CSyncPoint& point, Gdiplus::ARGB outline = 0,
                     bool exportScaled = false);
void MeasureTextBox(Gdiplus::Graphics* graphics, LPCWSTR text, const CString& family, float size, CTextBox& textBox);
void DrawTextBox(Gdiplus::Graphics* graphics, LPCWSTR text, const CString& family, float size, UINT style,
                 Gdiplus::ARGB colour, const LXGraphics::CSyncRect& box);
// Where DrawTextBox starts a single line of the measured size: whole pixels.
Gdiplus::PointF TextBoxOrigin(const LXGraphics::CSyncRect& box, UINT style, const Gdiplus::SizeF& measured);
// Turned about the box centre by angle degrees; size 0 fits the text to the box; a non-zero
// emboss offset draws light and dark copies above and below.
void DrawRotatedLabel(Gdiplus::Graphics* graphics, LPCWSTR text, const CString& family, float size, UINT style,
                      Gdiplus::ARGB colour, float angle, float emboss, const LXGraphics::CSyncRect& box,
                      bool scaleOffset);
// The angle a label is drawn at, in (-90, 90]: text is never upside down.
float NormalizeLabelAngle(float degrees);
