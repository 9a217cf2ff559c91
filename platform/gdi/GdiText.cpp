// GDI text: drawing, measuring and metrics with the DC's font.
#include "GdiInternal.h"

#include <QFontMetricsF>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>

using namespace qlw::gdi;

namespace {
bool Valid(HDC dc) { return ValidDC(dc); }

QFont FontOf(HDC dc) {
  auto* f = As<Font>(dc->s.font, Kind::Font);
  return qlw::FontFromLogFont(f ? f->log : As<Font>(DefaultFont(), Kind::Font)->log);
}

void DrawTextRun(HDC dc, Scope& p, double x, double y, const QString& text, const QRectF* opaqueRect) {
  QFont font = FontOf(dc);
  QFontMetricsF fm(font, dc->painter->device());
  double width = fm.horizontalAdvance(text);
  UINT align = dc->s.textAlign;
  if ((align & TA_CENTER) == TA_CENTER) x -= width / 2;
  else if (align & TA_RIGHT) x -= width;
  double top = y;
  if ((align & TA_BASELINE) == TA_BASELINE) top = y - fm.ascent();
  else if (align & TA_BOTTOM) top = y - fm.height();
  QRectF box(x, top, width, fm.height());
  if (opaqueRect) p->fillRect(*opaqueRect, ToQColor(dc->s.bkColour));
  else if (dc->s.bkMode == OPAQUE) p->fillRect(box, ToQColor(dc->s.bkColour));
  auto* f = As<Font>(dc->s.font, Kind::Font);
  bool smooth = !f || f->log.lfQuality != NONANTIALIASED_QUALITY;
  p->setRenderHint(QPainter::TextAntialiasing, smooth);
  p->setFont(font);
  p->setPen(ToQColor(dc->s.textColour));
  p->drawText(QPointF(x, top + fm.ascent()), text);
  p.Touch(box);
  if (align & 1) dc->s.current.x = LONG(std::lround(x + width));  // TA_UPDATECP
}

QString Text(LPCWSTR text, int count) {
  if (!text) return {};
  if (count < 0) count = int(std::wcslen(text));
  return QString::fromWCharArray(text, count);
}
}  // namespace

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  if (!Valid(dc) || !text) return FALSE;
  Scope p(dc);
  DrawTextRun(dc, p, x, y, Text(text, count), nullptr);
  return TRUE;
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT*) {
  if (!Valid(dc)) return FALSE;
  Scope p(dc);
  QRectF box;
  if (rect) box = QRectF(QPointF(rect->left, rect->top), QPointF(rect->right, rect->bottom));
  if (rect && (options & ETO_CLIPPED)) p->setClipRect(box, Qt::IntersectClip);
  if (rect && (options & ETO_OPAQUE) && (!text || count == 0)) {
    p->fillRect(box, ToQColor(dc->s.bkColour));
    p.Touch(box);
    return TRUE;
  }
  DrawTextRun(dc, p, x, y, Text(text, int(count)), rect && (options & ETO_OPAQUE) ? &box : nullptr);
  return TRUE;
}

LONG TabbedTextOutW(HDC dc, int x, int y, LPCWSTR text, int count, int tabCount, const INT* tabs, int tabOrigin) {
  if (!Valid(dc) || !text) return 0;
  QString all = Text(text, count);
  QFontMetricsF fm(FontOf(dc), dc->painter->device());
  double pos = x;
  int tabIndex = 0;
  Scope p(dc);
  const QStringList parts = all.split(QLatin1Char('\t'));
  for (int i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      // Without stops, every eight average characters; with one, its multiples.
      double stop = tabCount > 0 && tabs ? tabs[std::min(tabIndex, tabCount - 1)] : 8 * fm.averageCharWidth();
      if (tabCount > 1 && tabs && tabIndex < tabCount) pos = tabOrigin + tabs[tabIndex++];
      else pos = tabOrigin + (std::floor((pos - tabOrigin) / stop) + 1) * stop;
    }
    DrawTextRun(dc, p, pos, y, parts[i], nullptr);
    pos += fm.horizontalAdvance(parts[i]);
  }
  return MAKELONG(WORD(std::lround(pos - x)), WORD(std::lround(fm.height())));
}

namespace {
// Text without its mnemonic marks: "&&" is one ampersand, a lone "&" goes.
QString WithoutPrefixes(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (int i = 0; i < s.size(); ++i) {
    if (s[i] == QLatin1Char('&')) {
      if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) out += s[++i];
      continue;
    }
    out += s[i];
  }
  return out;
}

// DrawText's body; tabDistance > 0 sets the tab stops (pixels) of DT_EXPANDTABS.
int DrawTextCore(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format, double tabDistance) {
  if (!Valid(dc) || !text || !rect) return 0;
  QString s = Text(text, count);
  QFont font = FontOf(dc);
  QFontMetricsF fm(font, dc->painter->device());
  int flags = 0;
  flags |= (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
  if (format & DT_SINGLELINE)
    flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : (format & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
  else flags |= Qt::AlignTop;
  if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) flags |= Qt::TextWordWrap;
  if (format & DT_EXPANDTABS) flags |= Qt::TextExpandTabs;
  // Qt's own tab stops come only through a text option, which knows no mnemonics: the marks are
  // taken out instead.
  const bool ownTabs = tabDistance > 0 && (format & DT_EXPANDTABS) && s.contains(QLatin1Char('\t'));
  if (ownTabs && !(format & DT_NOPREFIX)) s = WithoutPrefixes(s);
  else if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
  QRectF box(QPointF(rect->left, rect->top), QPointF(rect->right, rect->bottom));
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
    s = fm.elidedText(s, (format & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight, box.width());
  QRectF needed = ownTabs ? fm.boundingRect(box, flags, s, int(std::lround(tabDistance))) : fm.boundingRect(box, flags, s);
  if (format & DT_CALCRECT) {
    rect->right = rect->left + LONG(std::ceil(needed.width()));
    rect->bottom = rect->top + LONG(std::ceil(needed.height()));
    return int(std::ceil(needed.height()));
  }
  Scope p(dc);
  if (!(format & DT_NOCLIP)) p->setClipRect(box, Qt::IntersectClip);
  if (dc->s.bkMode == OPAQUE) p->fillRect(needed, ToQColor(dc->s.bkColour));
  p->setFont(font);
  p->setPen(ToQColor(dc->s.textColour));
  if (ownTabs) {
    QTextOption option(Qt::Alignment(flags & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask)));
    option.setWrapMode((flags & Qt::TextWordWrap) ? QTextOption::WordWrap : QTextOption::NoWrap);
    option.setTabStopDistance(tabDistance);
    p->drawText(box, s, option);
  } else {
    p->drawText(box, flags, s);
  }
  p.Touch(needed);
  return int(std::ceil(needed.height()));
}
}  // namespace

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  return DrawTextCore(dc, text, count, rect, format, 0);
}

int DrawTextExW(HDC dc, LPWSTR text, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params) {
  if (!params) return DrawTextW(dc, text, count, rect, format);
  if (params->cbSize != sizeof(DRAWTEXTPARAMS) || !Valid(dc) || !text || !rect) return 0;
  const int length = count < 0 ? int(std::wcslen(text)) : count;
  double tabDistance = 0;
  if (format & DT_EXPANDTABS) {
    QFontMetricsF fm(FontOf(dc), dc->painter->device());
    const int tabLength = params->iTabLength > 0 ? params->iTabLength : 8;
    tabDistance = tabLength * fm.averageCharWidth();
  }
  RECT inner = *rect;
  inner.left += params->iLeftMargin;
  inner.right -= params->iRightMargin;
  const int height = DrawTextCore(dc, text, length, &inner, format & ~DT_TABSTOP, tabDistance);
  if (format & DT_CALCRECT) {
    rect->right = inner.right + params->iRightMargin;
    rect->bottom = inner.bottom;
  }
  params->uiLengthDrawn = UINT(length);
  return height;
}

BOOL GrayStringW(HDC dc, HBRUSH brush, GRAYSTRINGPROC output, LPARAM data, int count, int x, int y, int cx, int cy) {
  if (!Valid(dc) || (!output && !data)) return FALSE;
  const auto* text = reinterpret_cast<const wchar_t*>(data);
  if (!output && count <= 0) count = int(std::wcslen(text));
  if (cx <= 0 || cy <= 0) {
    if (output) return FALSE;
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, count, &extent);
    cx = extent.cx;
    cy = extent.cy;
  }
  if (cx <= 0 || cy <= 0) return TRUE;
  // The output draws black on white with the DC's font on a bitmap of its own.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, cx, cy);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HGDIOBJ oldFont = SelectObject(memory, dc->s.font ? dc->s.font : DefaultFont());
  const RECT all{0, 0, cx, cy};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(memory, &all, white);
  DeleteObject(white);
  SetTextColor(memory, RGB(0, 0, 0));
  SetBkMode(memory, TRANSPARENT);
  const BOOL drawn = output ? output(memory, data, count) : TextOutW(memory, 0, 0, text, count);
  QImage ink;
  if (auto* b = As<Bitmap>(bitmap, Kind::Bitmap)) ink = b->image.convertToFormat(QImage::Format_ARGB32);
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  if (!drawn) return FALSE;
  // Every other pixel of the ink, in a checkerboard, takes the greying colour.
  COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
  if (auto* b = As<Brush>(brush, Kind::Brush)) colour = b->log.lbColor;
  const QRgb grey = ToQColor(colour).rgba();
  QImage overlay(ink.size(), QImage::Format_ARGB32_Premultiplied);
  overlay.fill(Qt::transparent);
  for (int row = 0; row < ink.height(); ++row) {
    const auto* in = reinterpret_cast<const QRgb*>(ink.constScanLine(row));
    auto* out = reinterpret_cast<QRgb*>(overlay.scanLine(row));
    for (int col = 0; col < ink.width(); ++col) {
      const bool inked = qGray(in[col]) < 160;
      if (inked && ((row + col) & 1) == 0) out[col] = grey;
    }
  }
  Scope p(dc);
  const QRectF target(x, y, cx, cy);
  p->drawImage(target, overlay);
  p.Touch(target);
  return TRUE;
}

int Escape(HDC dc, int escape, int inCount, LPCSTR in, LPVOID) {
  if (!Valid(dc)) return 0;
  if (escape != QUERYESCSUPPORT) return 0;
  if (!in || inCount < int(sizeof(int))) return 0;
  int asked = 0;
  std::memcpy(&asked, in, sizeof asked);
  return asked == QUERYESCSUPPORT ? 1 : 0;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
  if (!Valid(dc) || !size) return FALSE;
  QFontMetricsF fm(FontOf(dc), dc->painter->device());
  size->cx = LONG(std::ceil(fm.horizontalAdvance(Text(text, count))));
  size->cy = LONG(std::ceil(fm.height()));
  return TRUE;
}

int GetTextFaceW(HDC dc, int count, LPWSTR name) {
  if (!Valid(dc)) return 0;
  // The family the selected font is drawn with: a Windows face takes its installed stand-in.
  const std::wstring face = qlw::FamilyWithoutFoundry(FontOf(dc).family()).toStdWString();
  if (!name) return int(face.size()) + 1;
  if (count <= 0) return 0;
  const size_t n = std::min(face.size(), size_t(count - 1));
  std::wmemcpy(name, face.data(), n);
  name[n] = L'\0';
  return int(n) + 1;
}

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW tm) {
  if (!Valid(dc) || !tm) return FALSE;
  QFont font = FontOf(dc);
  QFontMetricsF fm(font, dc->painter->device());
  std::memset(tm, 0, sizeof(*tm));
  tm->tmAscent = LONG(std::lround(fm.ascent()));
  tm->tmDescent = LONG(std::lround(fm.descent()));
  tm->tmHeight = tm->tmAscent + tm->tmDescent;
  double em = font.pixelSize() > 0 ? font.pixelSize() : fm.height();
  tm->tmInternalLeading = std::max<LONG>(0, tm->tmHeight - LONG(std::lround(em)));
  tm->tmExternalLeading = LONG(std::lround(std::max(0.0, fm.leading())));
  tm->tmAveCharWidth = LONG(std::lround(fm.averageCharWidth()));
  tm->tmMaxCharWidth = LONG(std::lround(fm.maxWidth()));
  tm->tmWeight = font.bold() ? FW_BOLD : FW_NORMAL;
  tm->tmItalic = font.italic();
  tm->tmUnderlined = font.underline();
  tm->tmStruckOut = font.strikeOut();
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFFFC;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmCharSet = DEFAULT_CHARSET;
  tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = dc->dpi;
  return TRUE;
}
