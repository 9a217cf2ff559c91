#include "LXText.h"

#include "LXColor.h"
#include "LXGdiplus.h"
#include "LXShapes.h"
#include "StaticInit.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cwchar>
#include <memory>
#include <string>

using namespace Gdiplus;

namespace {
constexpr wchar_t kMacron = 0x00AF;
// Set by DrawRotatedLabel while it draws: its text counts as transformed.
bool g_rotatedText = false;

float Width(Graphics* g, const std::wstring& s, const Font& font, const StringFormat& format) {
  if (s.empty()) return 0;
  RectF r;
  g->MeasureString(s.c_str(), INT(s.size()), &font, PointF(0, 0), &format, &r);
  return r.Width;
}
}  // namespace

void ChooseTextRenderingHint(Graphics* g, float size, UINT style, TextRenderingHint& hint, BYTE& quality) {
  hint = TextRenderingHintSystemDefault;
  quality = DEFAULT_QUALITY;
  BOOL smoothing = FALSE;
  if (!SystemParametersInfoW(SPI_GETFONTSMOOTHING, 0, &smoothing, 0) || !smoothing) return;
  bool transformed = g_rotatedText;
  if (g) {
    Matrix m;
    g->GetTransform(&m);
    REAL e[6];
    m.GetElements(e);
    transformed = transformed || e[1] != 0 || e[2] != 0;
  }
  if (transformed || size > 18 || (g && g->GetCompositingMode() == CompositingModeSourceCopy) || (style & 0x10006030u)) {
    hint = TextRenderingHintAntiAlias;
    quality = ANTIALIASED_QUALITY;
    return;
  }
  UINT type = 0;
  SystemParametersInfoW(SPI_GETFONTSMOOTHINGTYPE, 0, &type, 0);
  if (type == FE_FONTSMOOTHINGSTANDARD) {
    hint = TextRenderingHintAntiAlias;
    quality = ANTIALIASED_QUALITY;
  } else if (type == FE_FONTSMOOTHINGCLEARTYPE) {
    hint = TextRenderingHintClearTypeGridFit;
    quality = CLEARTYPE_QUALITY;
  }
}

void CreateStringFormat(Graphics* g, UINT style, float size, StringFormat*& format) {
  format = StringFormat::GenericTypographic()->Clone();
  TextRenderingHint hint;
  BYTE quality;
  ChooseTextRenderingHint(g, size, style, hint, quality);
  if (g) g->SetTextRenderingHint(hint);
  format->SetAlignment((style & kTextAlignRight)    ? StringAlignmentFar
                       : (style & kTextAlignCentre) ? StringAlignmentCenter
                                                    : StringAlignmentNear);
  format->SetLineAlignment((style & kTextVCentre)       ? StringAlignmentCenter
                           : (style & kTextAlignBottom) ? StringAlignmentFar
                                                        : StringAlignmentNear);
  format->SetTrimming((style & kTextEllipsisChar)   ? StringTrimmingEllipsisCharacter
                      : (style & kTextEllipsisWord) ? StringTrimmingEllipsisWord
                      : (style & kTextEllipsisPath) ? StringTrimmingEllipsisPath
                                                    : StringTrimmingNone);
  INT flags = StringFormat::GenericTypographic()->GetFormatFlags() | StringFormatFlagsNoClip |
              StringFormatFlagsMeasureTrailingSpaces;
  if (style & kTextSingleLine) flags |= StringFormatFlagsNoWrap;
  else flags &= ~StringFormatFlagsNoWrap;
  format->SetFormatFlags(flags);
}

bool ResolveFontFamilyName(const CString& requested, CString& family) {
  static CString lastRequest, lastAnswer;
  static bool remembered = false;
  std::wstring name(requested.GetString());
  std::replace(name.begin(), name.end(), L'-', L' ');
  CString key(name.c_str());
  if (remembered && key == lastRequest) {
    family = lastAnswer;
    return true;
  }
  family = L"Arial";
  bool found = false;
  if (FontFamily(key.GetString()).IsAvailable()) {
    family = key;
    found = true;
  } else {
    for (size_t i = 0; i < g_fontSubstitutionCount && !found; ++i) {
      const CFontSubstitution& s = g_fontSubstitutions[i];
      if (std::wcsncmp(s.macName, key.GetString(), size_t(key.GetLength())) == 0 && FontFamily(s.windowsName).IsAvailable()) {
        family = s.windowsName;
        found = true;
      }
    }
  }
  if (found) {
    lastRequest = key;
    lastAnswer = family;
    remembered = true;
  }
  return found;
}

bool GetFontFamilyMetrics(Graphics* g, const CString& familyName, float size, UINT style, FontFamily** familyOut,
                          INT* gdiStyle, float* pixelSize, float* lineHeight, float* ascent, bool exportScaled) {
  auto family = std::make_unique<FontFamily>(familyName.GetString());
  if (!family->IsAvailable()) return false;
  INT s = ((style & kTextBold) ? FontStyleBold : 0) | ((style & kTextItalic) ? FontStyleItalic : 0) |
          ((style & kTextUnderline) ? FontStyleUnderline : 0) | ((style & kTextStrikeout) ? FontStyleStrikeout : 0);
  if (exportScaled) size *= g_textScale;
  float px = PointsToGraphicsPixels(g, 0, size).m_float.Y;
  float em = family->GetEmHeight(s);
  float up = px * family->GetCellAscent(s) / em, down = px * family->GetCellDescent(s) / em;
  if (gdiStyle) *gdiStyle = s;
  if (pixelSize) *pixelSize = px;
  if (ascent) *ascent = up;
  if (lineHeight) *lineHeight = up + down;
  if (familyOut) *familyOut = family.release();
  return true;
}

void DrawTextString(Graphics* g, LPCWSTR text, int length, const CString& familyName, float size, UINT style,
                    ARGB colour, float x, float y, ARGB outline, bool exportScaled, bool measureOnly, CTextBox* box) {
  if (!g || !text) return;
  GraphicsState state = g->Save();
  std::wstring source(text, length < 0 ? std::wcslen(text) : size_t(length));
  if (size == 0) {
    HDC dc = g->GetHDC();
    RECT bounds{};
    GetBoundsRect(dc, &bounds, 0);
    size = PixelsToPoints(dc, 0, float(bounds.bottom - bounds.top)).m_float.Y;
    g->ReleaseHDC(dc);
    if (!(size > 0)) size = 6;
  }
  if (exportScaled) size *= g_textScale;

  // The working copy: one kind of line break, overbar and arrow notations switched on when used.
  std::wstring drawn;
  for (size_t i = 0; i < source.size(); ++i) {
    if (source[i] == L'\r') {
      drawn += L'\n';
      if (i + 1 < source.size() && source[i + 1] == L'\n') ++i;
    } else {
      drawn += source[i];
    }
  }
  if ((style & kTextOverbar) && drawn.find(kMacron) == std::wstring::npos) style &= ~kTextOverbar;
  const std::wstring withArrows = drawn;
  if (style & kTextArrows) {
    bool any = false;
    for (wchar_t& c : drawn)
      if (c == L'<' || c == L'>') c = L' ', any = true;
    if (!any) style &= ~kTextArrows;
  }

  StringFormat* ownFormat = nullptr;
  if (!(box && box->format)) CreateStringFormat(g, style, size, ownFormat);
  std::unique_ptr<StringFormat> formatHolder(ownFormat);
  StringFormat* format = box && box->format ? box->format : ownFormat;
  // The routine places the text itself horizontally; the format only aligns it vertically.
  StringFormat near(format);
  near.SetAlignment(StringAlignmentNear);

  FontFamily* familyPtr = nullptr;
  INT gdiStyle = 0;
  float px = 0, lineHeight = 0, ascent = 0;
  if (!GetFontFamilyMetrics(g, familyName, size, style, &familyPtr, &gdiStyle, &px, &lineHeight, &ascent, false))
    GetFontFamilyMetrics(g, CString(L"MS Shell Dlg 2"), size, style, &familyPtr, &gdiStyle, &px, &lineHeight, &ascent,
                         false);
  std::unique_ptr<FontFamily> family(familyPtr);
  if (!family) {
    g->Restore(state);
    return;
  }
  if (style & (kTextSubscript | kTextSuperscript)) {
    float baseline = y + ascent;
    if (style & kTextVCentre) baseline -= lineHeight / 2;
    else if (style & kTextAlignBottom) baseline -= lineHeight;
    float reduced = std::max(px / 2, PointsToGraphicsPixels(g, 0, 4 * (exportScaled ? g_textScale : 1)).m_float.Y);
    float em = family->GetEmHeight(gdiStyle);
    float a2 = reduced * family->GetCellAscent(gdiStyle) / em;
    float l2 = a2 + reduced * family->GetCellDescent(gdiStyle) / em;
    y = (style & kTextSubscript) ? baseline - a2 + l2 / 6 : baseline - ascent - l2 / 6;
    if (style & kTextVCentre) y += l2 / 2;
    else if (style & kTextAlignBottom) y += l2;
    px = reduced;
  }
  Font font(family.get(), px, gdiStyle, UnitPixel);

  // Positions and alignment are measured on the text as drawn, macrons removed.
  std::wstring visible;
  for (wchar_t c : drawn)
    if (!((style & kTextOverbar) && c == kMacron)) visible += c;
  RectF measured;
  g->MeasureString(visible.c_str(), INT(visible.size()), &font, PointF(0, 0), &near, &measured);
  if (style & kTextAlignRight) x -= measured.Width;
  else if (style & kTextAlignCentre) x -= measured.Width / 2;
  const float top = y + measured.Y;  // the line alignment moves the text about y

  if (!measureOnly) {
    if (style & kTextOutlined) {
      GraphicsPath path;
      path.AddString(visible.c_str(), INT(visible.size()), family.get(), gdiStyle, px, PointF(x, y), &near);
      Pen pen{Color(outline)};
      pen.SetLineJoin(LineJoinRound);
      g->DrawPath(&pen, &path);
    }
    const float dpiRatio = g_screenDpi > 0 ? float(g_drawDpi) / float(g_screenDpi) : 1.0f;
    SmoothingMode previous = g->GetSmoothingMode();
    if (style & (kTextOverbar | kTextArrows)) g->SetSmoothingMode(g_drawDpi < 300 ? SmoothingModeHighQuality : SmoothingModeNone);
    if (style & kTextOverbar) {
      float width = std::max(1.0f, size / 16);
      Pen bar{Color(colour), width};
      Pen barOutline{Color(outline), width + 3 * (exportScaled ? dpiRatio : 1.0f)};
      std::wstring before;  // the visible text so far
      bool open = false;
      float start = 0;
      for (wchar_t c : drawn) {
        if (c != kMacron) {
          before += c;
          continue;
        }
        float at = x + Width(g, before, font, near);
        if (open) {
          float barY = top + width / 2;
          if (style & kTextOutlined) g->DrawLine(&barOutline, start, barY, at, barY);
          g->DrawLine(&bar, start, barY, at, barY);
        } else {
          start = at;
        }
        open = !open;
      }
    }
    if (style & kTextArrows) {
      // Each run of equal "<" or ">" becomes one arrow across the run's box.
      std::wstring seen;
      for (size_t i = 0; i < withArrows.size();) {
        wchar_t c = withArrows[i];
        if (c != L'<' && c != L'>') {
          if (!((style & kTextOverbar) && c == kMacron)) seen += c;
          ++i;
          continue;
        }
        size_t end = i;
        while (end < withArrows.size() && withArrows[end] == c) ++end;
        float from = x + Width(g, seen, font, near);
        seen.append(end - i, L' ');
        float to = x + Width(g, seen, font, near);
        float w = to - from, h = measured.Height;
        LXGraphics::CSyncPoint centre((from + to) / 2, top + h / 2);
        float angle = c == L'<' ? 180.0f : 0.0f;
        if (style & kTextOutlined) FillArrow(*g, centre, (w + 6) / 3, (h + 6) / 3, 2 * (w + 6) / 3, 3, angle, outline);
        FillArrow(*g, centre, w / 3, h / 3, 2 * w / 3, 1, angle, colour);
        i = end;
      }
    }
    if (style & (kTextOverbar | kTextArrows))
      g->SetSmoothingMode(g_drawDpi >= 300 && (previous == SmoothingModeHighSpeed || previous == SmoothingModeNone)
                              ? SmoothingModeNone
                              : previous);
    SolidBrush brush{Color(colour)};
    g->DrawString(visible.c_str(), INT(visible.size()), &font, PointF(x, y), &near, &brush);
    g->Flush();
  }
  g->Restore(state);
  if (box && box->measured) *box->measured = SizeF(measured.Width, measured.Height);
}

void DrawTextAtPoint(Graphics* g, LPCWSTR text, const CString& family, float size, UINT style, ARGB colour,
                     const LXGraphics::CSyncPoint& point, ARGB outline, bool exportScaled) {
  if (style & kTextHidden) return;
  DrawTextString(g, text, -1, family, size, (style & ~kTextTrimming) | kTextSingleLine, colour, point.m_float.X,
                 point.m_float.Y, outline, exportScaled, false, nullptr);
}

void MeasureTextBox(Graphics* g, LPCWSTR text, const CString& familyName, float size, CTextBox& tb) {
  const LXGraphics::CSyncRect* box = tb.box;
  bool wraps = (tb.style & kTextTrimming) || !(tb.style & kTextSingleLine);
  if (box && box->m_float.Width > FLT_EPSILON && box->m_float.Height > FLT_EPSILON && wraps) {
    float points = tb.exportScaled ? size * g_textScale : size;
    FontFamily family(familyName.GetString());
    const FontFamily* use = family.IsAvailable() ? &family : nullptr;
    FontFamily fallback(L"MS Shell Dlg 2");
    INT s = INT(tb.style & 0xF);
    Font font(use ? use : &fallback, points, s, UnitPoint);
    CreateStringFormat(g, tb.style, points, tb.format);
    RectF layout(box->m_float.X, box->m_float.Y, box->m_float.Width + 0.01f, box->m_float.Height + 0.01f);
    RectF bounds;
    g->MeasureString(text, -1, &font, layout, tb.format, &bounds);
    delete tb.format;
    tb.format = nullptr;
    if (tb.measured) *tb.measured = SizeF(bounds.Width, bounds.Height);
    return;
  }
  CTextBox line = tb;
  line.format = nullptr;
  DrawTextString(g, text, -1, familyName, size, (tb.style & ~kTextTrimming) | kTextSingleLine, 0, 0, 0, 0,
                 tb.exportScaled, true, &line);
}

PointF TextBoxOrigin(const LXGraphics::CSyncRect& box, UINT style, const SizeF& measured) {
  const float bw = box.m_float.Width, bh = box.m_float.Height;
  // Half a pixel at the drawing resolution around the box, whole pixels for the text.
  float grow = 0.5f * (g_screenDpi > 0 ? float(g_drawDpi) / float(g_screenDpi) : 1.0f);
  float gx = std::min(grow, bw / 2), gy = std::min(grow, bh / 2);
  float left = box.m_float.X - gx, topEdge = box.m_float.Y - gy, width = bw + 2 * gx, height = bh + 2 * gy;
  float x = left, y = topEdge;
  if (style & kTextAlignCentre) x = left + (width - measured.Width) / 2;
  else if (style & kTextAlignRight) x = left + width - measured.Width;
  if (style & kTextVCentre) y = topEdge + (height - measured.Height) / 2;
  else if (style & kTextAlignBottom) y = topEdge + height - measured.Height;
  return PointF(std::round(x), std::round(y));
}

void DrawTextBox(Graphics* g, LPCWSTR text, const CString& family, float size, UINT style, ARGB colour,
                 const LXGraphics::CSyncRect& box) {
  if (!g || !text) return;
  SizeF measured;
  LXGraphics::CSyncRect area = box;
  CTextBox tb;
  tb.style = style | kTextSingleLine;
  tb.measured = &measured;
  tb.exportScaled = true;
  tb.box = &area;
  MeasureTextBox(g, text, family, size, tb);
  const float bw = box.m_float.Width, bh = box.m_float.Height;
  bool hasSize = bw > FLT_EPSILON && bh > FLT_EPSILON;
  if (hasSize && measured.Width > bw) {
    tb.style = style & ~kTextSingleLine;
    MeasureTextBox(g, text, family, size, tb);
  }
  float grow = 0.5f * (g_screenDpi > 0 ? float(g_drawDpi) / float(g_screenDpi) : 1.0f);
  float gx = std::min(grow, bw / 2), gy = std::min(grow, bh / 2);
  float left = box.m_float.X - gx, topEdge = box.m_float.Y - gy, width = bw + 2 * gx, height = bh + 2 * gy;
  UINT used = tb.style;
  if (!(used & kTextTrimming) && (used & kTextSingleLine)) {
    const PointF at = TextBoxOrigin(box, style, measured);
    DrawTextString(g, text, -1, family, size, used & ~(kTextAlignRight | kTextAlignCentre | kTextVCentre | kTextAlignBottom),
                   colour, at.X, at.Y, 0, true, false, nullptr);
    return;
  }
  FontFamily fam(family.GetString());
  FontFamily fallback(L"MS Shell Dlg 2");
  Font font(fam.IsAvailable() ? &fam : &fallback, size * g_textScale, INT(used & 0xF), UnitPoint);
  StringFormat* format = nullptr;
  CreateStringFormat(g, used, size, format);
  std::unique_ptr<StringFormat> holder(format);
  SolidBrush brush{Color(colour)};
  g->DrawString(text, -1, &font, RectF(left, topEdge, width, height), format, &brush);
}

float NormalizeLabelAngle(float degrees) {
  float a = std::fmod(degrees, 360.0f);
  if (a < 0) a += 360.0f;
  // Above 270 the text leans the other way, not upside down: -30 stays -30 rather than 150.
  if (a > 270.0f) a -= 360.0f;
  else if (a > 90.0f) a -= 180.0f;
  return a;
}

void DrawRotatedLabel(Graphics* g, LPCWSTR text, const CString& family, float size, UINT style, ARGB colour,
                      float angle, float emboss, const LXGraphics::CSyncRect& box, bool scaleOffset) {
  if (!g || !text) return;
  bool wasRotated = g_rotatedText;
  g_rotatedText = true;
  GraphicsState state = g->Save();
  const float cx = box.m_float.X + box.m_float.Width / 2, cy = box.m_float.Y + box.m_float.Height / 2;
  float a = NormalizeLabelAngle(angle);
  const UINT lineStyle = style | kTextSingleLine | kTextVCentre;
  if (size == 0) {
    // The largest size whose turned extent fits the box, by bisection.
    double rad = a * M_PI / 180.0, c = std::abs(std::cos(rad)), s = std::abs(std::sin(rad));
    auto fits = [&](float points) {
      SizeF m;
      CTextBox tb;
      tb.style = lineStyle;
      tb.measured = &m;
      MeasureTextBox(g, text, family, points, tb);
      return m.Width * c + m.Height * s <= box.m_float.Width + 0.01 && m.Width * s + m.Height * c <= box.m_float.Height + 0.01;
    };
    float start = GraphicsPixelsToPoints(g, 0, box.m_float.Height).m_float.Y;
    float best = 0, step = start / 2, probe = start;
    if (fits(start)) best = start;
    else {
      probe = start / 2;
      while (step > 0.01f) {
        step /= 2;
        if (fits(probe)) best = probe, probe += step;
        else probe -= step;
      }
    }
    size = best > 0 ? best : 0.01f;
  }
  g->TranslateTransform(cx, cy);
  g->RotateTransform(a);
  g->TranslateTransform(-cx, -cy);
  float x = (style & kTextAlignCentre)  ? cx
            : (style & kTextAlignRight) ? box.m_float.X + box.m_float.Width
                                        : box.m_float.X;
  float d = emboss * (scaleOffset && g_screenDpi > 0 ? float(g_drawDpi) / float(g_screenDpi) : 1.0f);
  if (d != 0) {
    LXGraphics::CColor light(colour), dark(colour);
    light.Lighten(0.9f);
    dark.Darken(0.9f);
    DrawTextAtPoint(g, text, family, size, lineStyle, light.GetValue(), LXGraphics::CSyncPoint(x, cy - d));
    DrawTextAtPoint(g, text, family, size, lineStyle, dark.GetValue(), LXGraphics::CSyncPoint(x, cy + d));
  }
  DrawTextAtPoint(g, text, family, size, lineStyle, colour, LXGraphics::CSyncPoint(x, cy));
  g->Restore(state);
  g_rotatedText = wasRotated;
}
