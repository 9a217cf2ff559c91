// GDI text: drawing, measuring and metrics with the DC's font.
#include "GdiInternal.h"

#include <QFontMetricsF>

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

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
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
  if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
  QRectF box(QPointF(rect->left, rect->top), QPointF(rect->right, rect->bottom));
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
    s = fm.elidedText(s, (format & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight, box.width());
  QRectF needed = fm.boundingRect(box, flags, s);
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
  p->drawText(box, flags, s);
  p.Touch(needed);
  return int(std::ceil(needed.height()));
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
