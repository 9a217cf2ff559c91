// GDI+ text: font families (Windows names mapped to installed families), fonts, string formats,
// and laying out, measuring and drawing strings with QTextLayout.
#include "GdiInternal.h"
#include "GdiPlus.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <cwchar>
#include <map>
#include <mutex>
#include <tuple>

namespace Gdiplus {
namespace {
constexpr UINT16 kEmHeight = 2048;

// A device for measuring where no painter is at hand.
QPaintDevice* MeasuringDevice() {
  static QImage image(1, 1, QImage::Format_ARGB32);
  return &image;
}

QFont StyledFont(const QString& family, INT style) {
  QFont f(family);
  f.setBold(style & FontStyleBold);
  f.setItalic(style & FontStyleItalic);
  f.setUnderline(style & FontStyleUnderline);
  f.setStrikeOut(style & FontStyleStrikeout);
  // Unhinted outlines: measured widths then scale with the size, as GDI+'s typographic text does.
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setKerning(true);
  return f;
}

QFont AtEm(QFont f, double emPixels, QPaintDevice* device) {
  f.setPointSizeF(std::max(0.01, emPixels * 72.0 / device->logicalDpiY()));
  return f;
}

QString DialogFamily() { return qlw::MapFontFamily(QStringLiteral("MS Shell Dlg 2")); }

struct CellMetrics {
  UINT16 ascent, descent, spacing;
};
CellMetrics Metrics(const QString& family, INT style) {
  static std::mutex lock;
  static std::map<std::pair<QString, INT>, CellMetrics> cache;
  std::lock_guard<std::mutex> guard(lock);
  auto key = std::make_pair(family, style & 3);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  QFontMetricsF fm(AtEm(StyledFont(family, style & 3), kEmHeight, MeasuringDevice()), MeasuringDevice());
  CellMetrics m{UINT16(std::lround(fm.ascent())), UINT16(std::lround(fm.descent())),
                UINT16(std::lround(fm.ascent() + fm.descent() + std::max(0.0, fm.leading())))};
  cache.emplace(key, m);
  return m;
}

// A laid-out string: the layout drawn at `origin`, and the box its lines take.
struct TextBlock {
  std::shared_ptr<const QTextLayout> layout;
  QPointF origin;
  QRectF bounds;
  int lines = 0;
  int charsFitted = 0;
};

TextBlock LayOutNew(const QString& text, const QFont& font, QPaintDevice* device, const QRectF& box, bool hasBox,
                    const StringFormat* format) {
  TextBlock block;
  INT flags = format ? format->GetFormatFlags() : 0;
  bool noWrap = (flags & StringFormatFlagsNoWrap) || !hasBox || box.width() <= 0;
  QString s = text;
  s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  StringTrimming trimming = format ? format->GetTrimming() : StringTrimmingCharacter;
  bool ellipsis = trimming == StringTrimmingEllipsisCharacter || trimming == StringTrimmingEllipsisWord ||
                  trimming == StringTrimmingEllipsisPath;
  if (ellipsis && hasBox && box.width() > 0) {
    QFontMetricsF fm(font, device);
    QStringList lines = s.split(QLatin1Char('\n'));
    bool fitsOneLine = !(flags & StringFormatFlagsNoWrap) && lines.size() == 1 && box.height() > 0 &&
                       box.height() < 2 * fm.height();
    if ((flags & StringFormatFlagsNoWrap) || fitsOneLine)
      for (QString& line : lines)
        line = fm.elidedText(line, trimming == StringTrimmingEllipsisPath ? Qt::ElideMiddle : Qt::ElideRight, box.width());
    s = lines.join(QLatin1Char('\n'));
  }
  s.replace(QLatin1Char('\n'), QChar::LineSeparator);
  auto layout = std::make_shared<QTextLayout>(s, font, device);
  block.layout = layout;
  QTextOption option;
  option.setWrapMode(noWrap ? QTextOption::NoWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
  if (flags & StringFormatFlagsMeasureTrailingSpaces) option.setFlags(QTextOption::IncludeTrailingSpaces);
  if (format && !format->TabStops().empty()) {
    QList<qreal> tabs;
    qreal pos = 0;
    for (REAL t : format->TabStops()) tabs.append(pos += t);
    option.setTabArray(tabs);
  }
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  double width = noWrap ? 1e7 : box.width();
  double y = 0, maxWidth = 0;
  layout->beginLayout();
  for (;;) {
    QTextLine line = layout->createLine();
    if (!line.isValid()) break;
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    // Without wrapping, lines beyond the box are not laid out when the line limit is asked for.
    if (hasBox && box.height() > 0 && (flags & StringFormatFlagsLineLimit) && y + line.height() > box.height() + 0.01 &&
        block.lines > 0)
      break;
    y += line.height();
    maxWidth = std::max(maxWidth, line.naturalTextWidth());
    block.charsFitted = line.textStart() + line.textLength();
    ++block.lines;
  }
  layout->endLayout();
  double pad = format && format->Typographic() ? 0 : QFontMetricsF(font, device).height() / 6.0;
  StringAlignment h = format ? format->GetAlignment() : StringAlignmentNear;
  StringAlignment v = format ? format->GetLineAlignment() : StringAlignmentNear;
  double kh = h == StringAlignmentCenter ? 0.5 : h == StringAlignmentFar ? 1.0 : 0.0;
  double kv = v == StringAlignmentCenter ? 0.5 : v == StringAlignmentFar ? 1.0 : 0.0;
  // In a box the lines align inside it; at a point they align about the point.
  double boxWidth = hasBox && box.width() > 0 ? box.width() : 0;
  double boxHeight = hasBox && box.height() > 0 ? box.height() : 0;
  double left = 1e300;
  for (int i = 0; i < block.layout->lineCount(); ++i) {
    QTextLine line = layout->lineAt(i);
    double lineWidth = line.naturalTextWidth() + 2 * pad;
    double x = kh * (boxWidth - lineWidth) + pad;
    line.setPosition(QPointF(x, line.position().y()));
    left = std::min(left, x - pad);
  }
  if (block.layout->lineCount() == 0) left = kh * boxWidth;
  double top = kv * (boxHeight - y);
  block.origin = QPointF(box.x(), box.y() + top);
  block.bounds = QRectF(box.x() + left, box.y() + top, maxWidth + 2 * pad, y);
  return block;
}

// Laying out is the costly part of measuring and drawing text, and the same strings come back
// at every redraw: layouts are kept by text, font, device resolution, format and box size, and
// moved to the box's place.
TextBlock LayOut(const QString& text, const QFont& font, QPaintDevice* device, const QRectF& box, bool hasBox,
                 const StringFormat* format) {
  struct Key {
    QString text, family;
    qreal points, letters, words;
    int pixels, weight, traits, strategy, hinting, stretch;
    int dpiX, dpiY;
    qreal width, height;
    bool hasBox, typographic;
    INT flags;
    int align, lineAlign, trimming;
    std::vector<REAL> tabs;
    bool operator<(const Key& o) const {
      return std::tie(text, family, points, letters, words, pixels, weight, traits, strategy, hinting, stretch, dpiX, dpiY,
                      width, height, hasBox, typographic, flags, align, lineAlign, trimming, tabs) <
             std::tie(o.text, o.family, o.points, o.letters, o.words, o.pixels, o.weight, o.traits, o.strategy, o.hinting,
                      o.stretch, o.dpiX, o.dpiY, o.width, o.height, o.hasBox, o.typographic, o.flags, o.align,
                      o.lineAlign, o.trimming, o.tabs);
    }
  };
  static std::mutex lock;
  // Never destroyed: layouts hold fonts, which must not be released after the application ends.
  static auto& cache = *new std::map<Key, TextBlock>;
  // The font's own fields: its key() string costs as much to build as a short layout.
  const int traits = int(font.italic()) | int(font.underline()) << 1 | int(font.strikeOut()) << 2 |
                     int(font.kerning()) << 3 | int(font.letterSpacingType()) << 4 | int(font.capitalization()) << 5;
  Key key{text, font.family(), font.pointSizeF(), font.letterSpacing(), font.wordSpacing(),
          font.pixelSize(), font.weight(), traits, int(font.styleStrategy()), int(font.hintingPreference()),
          font.stretch(), device->logicalDpiX(), device->logicalDpiY(), box.width(), box.height(), hasBox,
          format && format->Typographic(), format ? format->GetFormatFlags() : 0,
          format ? int(format->GetAlignment()) : -1, format ? int(format->GetLineAlignment()) : -1,
          format ? int(format->GetTrimming()) : -1, format ? format->TabStops() : std::vector<REAL>()};
  TextBlock block;
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(lock);
    auto it = cache.find(key);
    if (it != cache.end()) block = it->second, found = true;
  }
  if (!found) {
    block = LayOutNew(text, font, device, QRectF(0, 0, box.width(), box.height()), hasBox, format);
    std::lock_guard<std::mutex> guard(lock);
    if (cache.size() > 4000) cache.clear();  // a flood of distinct texts: start over rather than grow
    cache.emplace(std::move(key), block);
  }
  block.origin += box.topLeft();
  block.bounds.translate(box.topLeft());
  return block;
}

// A glyph's outline at one size. Loading an outline runs the font's hinting program each
// time, far slower than copying a path, and labels draw the same few glyphs over and over.
QPainterPath GlyphPath(const QRawFont& raw, quint32 glyph) {
  struct Key {
    QString family, style;
    qreal pixels;
    int weight, fontStyle, hinting;
    quint32 glyph;
    bool operator<(const Key& o) const {
      return std::tie(family, style, pixels, weight, fontStyle, hinting, glyph) <
             std::tie(o.family, o.style, o.pixels, o.weight, o.fontStyle, o.hinting, o.glyph);
    }
  };
  static std::mutex lock;
  static std::map<Key, QPainterPath> cache;
  Key key{raw.familyName(), raw.styleName(), raw.pixelSize(), raw.weight(), int(raw.style()),
          int(raw.hintingPreference()), glyph};
  {
    std::lock_guard<std::mutex> guard(lock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
  }
  QPainterPath path = raw.pathForGlyph(glyph);
  std::lock_guard<std::mutex> guard(lock);
  if (cache.size() > 20000) cache.clear();  // many sizes and faces: start over rather than grow
  cache.emplace(std::move(key), path);
  return path;
}

// Outlines of the laid-out glyphs, with underline and strikeout bars, in world units.
QPainterPath BlockPath(const TextBlock& block, const QFont& font, QPaintDevice* device) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  QFontMetricsF fm(font, device);
  for (int i = 0; i < block.layout->lineCount(); ++i) {
    QTextLine line = block.layout->lineAt(i);
    for (const QGlyphRun& run : line.glyphRuns()) {
      QRawFont raw = run.rawFont();
      const QList<quint32> glyphs = run.glyphIndexes();
      const QList<QPointF> positions = run.positions();
      for (qsizetype g = 0; g < glyphs.size(); ++g)
        path.addPath(GlyphPath(raw, glyphs[g]).translated(block.origin + positions[g]));
    }
    double baseline = block.origin.y() + line.y() + line.ascent();
    double x = block.origin.x() + line.x();
    double w = line.naturalTextWidth();
    double bar = std::max(1.0, fm.lineWidth());
    if (font.underline()) path.addRect(QRectF(x, baseline + fm.underlinePos() - bar / 2, w, bar));
    if (font.strikeOut()) path.addRect(QRectF(x, baseline - fm.strikeOutPos() - bar / 2, w, bar));
  }
  return path;
}
}  // namespace

FontFamily::FontFamily(const WCHAR* name, void*) { Assign(name ? QString::fromWCharArray(name) : QString()); }
void FontFamily::Assign(const QString& requested) {
  m_requested = requested;
  m_installed = qlw::MapFontFamily(m_requested);
  m_available = !m_installed.isEmpty();
  m_lastStatus = m_available ? Ok : FontFamilyNotFound;
}
FontFamily* FontFamily::Clone() const {
  auto* f = new FontFamily;
  f->m_requested = m_requested, f->m_installed = m_installed, f->m_available = m_available;
  f->m_lastStatus = m_lastStatus;
  return f;
}
Status FontFamily::GetFamilyName(WCHAR name[LF_FACESIZE], LANGID) const {
  if (!name) return InvalidParameter;
  std::wstring w = m_requested.left(LF_FACESIZE - 1).toStdWString();
  std::wcscpy(name, w.c_str());
  return Ok;
}
UINT16 FontFamily::GetEmHeight(INT) const { return kEmHeight; }
UINT16 FontFamily::GetCellAscent(INT style) const { return m_available ? Metrics(m_installed, style).ascent : 0; }
UINT16 FontFamily::GetCellDescent(INT style) const { return m_available ? Metrics(m_installed, style).descent : 0; }
UINT16 FontFamily::GetLineSpacing(INT style) const { return m_available ? Metrics(m_installed, style).spacing : 0; }
const FontFamily* FontFamily::GenericSansSerif() {
  static FontFamily f(L"Arial");
  return &f;
}
const FontFamily* FontFamily::GenericSerif() {
  static FontFamily f(L"Times New Roman");
  return &f;
}
const FontFamily* FontFamily::GenericMonospace() {
  static FontFamily f(L"Courier New");
  return &f;
}

void Font::Init(const QString& family, REAL size, INT style, Unit unit) {
  m_family.Assign(family);
  m_size = size;
  m_style = style;
  m_unit = unit;
  if (!m_family.IsAvailable()) SetStatus(FontFamilyNotFound);
  if (!(size > 0)) SetStatus(InvalidParameter);
}
Font::Font(const FontFamily* family, REAL emSize, INT style, Unit unit) {
  if (!family) {
    SetStatus(InvalidParameter);
    return;
  }
  Init(family->Requested(), emSize, style, unit);
}
Font::Font(const WCHAR* familyName, REAL emSize, INT style, Unit unit) {
  Init(familyName ? QString::fromWCharArray(familyName) : QString(), emSize, style, unit);
}
Font::Font(HDC, const LOGFONTW* lf) { InitFromLogFont(lf); }
void Font::InitFromLogFont(const LOGFONTW* lf) {
  if (!lf) {
    SetStatus(InvalidParameter);
    return;
  }
  int style = (lf->lfWeight >= 600 ? FontStyleBold : 0) | (lf->lfItalic ? FontStyleItalic : 0) |
              (lf->lfUnderline ? FontStyleUnderline : 0) | (lf->lfStrikeOut ? FontStyleStrikeout : 0);
  QString face = QString::fromWCharArray(lf->lfFaceName, int(wcsnlen(lf->lfFaceName, LF_FACESIZE)));
  QFont q = qlw::FontFromLogFont(*lf);
  Init(face, REAL(q.pixelSize()), style, UnitPixel);
}
Font::Font(HDC, HFONT font) {
  LOGFONTW lf{};
  if (!GetObjectW(font, sizeof(lf), &lf)) {
    SetStatus(InvalidParameter);
    return;
  }
  InitFromLogFont(&lf);
}
Font* Font::Clone() const {
  std::wstring w = m_family.Requested().toStdWString();
  return new Font(w.c_str(), m_size, m_style, m_unit);
}
Status Font::GetFamily(FontFamily* family) const {
  if (!family) return InvalidParameter;
  family->Assign(m_family.Requested());
  return Ok;
}
REAL Font::EmPixels(REAL dpiY) const {
  switch (m_unit) {
    case UnitPoint: return m_size * dpiY / 72.0f;
    case UnitInch: return m_size * dpiY;
    case UnitDocument: return m_size * dpiY / 300.0f;
    case UnitMillimeter: return m_size * dpiY / 25.4f;
    default: return m_size;
  }
}
QFont Font::Q(REAL dpiY, QPaintDevice* device) const {
  QString family = m_family.IsAvailable() ? m_family.Installed() : DialogFamily();
  return AtEm(StyledFont(family, m_style), EmPixels(dpiY), device ? device : MeasuringDevice());
}
REAL Font::GetHeight(REAL dpi) const {
  QString family = m_family.IsAvailable() ? m_family.Installed() : DialogFamily();
  return EmPixels(dpi) * Metrics(family, m_style).spacing / REAL(kEmHeight);
}
REAL Font::GetHeight(const Graphics* g) const { return GetHeight(g ? g->GetDpiY() : 96.0f); }
Status Font::GetLogFontW(const Graphics* g, LOGFONTW* lf) const {
  if (!lf) return InvalidParameter;
  std::memset(lf, 0, sizeof(*lf));
  lf->lfHeight = -LONG(std::lround(EmPixels(g ? g->GetDpiY() : 96.0f)));
  lf->lfWeight = (m_style & FontStyleBold) ? FW_BOLD : FW_NORMAL;
  lf->lfItalic = (m_style & FontStyleItalic) != 0;
  lf->lfUnderline = (m_style & FontStyleUnderline) != 0;
  lf->lfStrikeOut = (m_style & FontStyleStrikeout) != 0;
  lf->lfCharSet = DEFAULT_CHARSET;
  std::wstring w = m_family.Requested().left(LF_FACESIZE - 1).toStdWString();
  std::wcscpy(lf->lfFaceName, w.c_str());
  return Ok;
}

StringFormat::StringFormat(INT flags, LANGID) : m_flags(flags) {}
StringFormat::StringFormat(const StringFormat* f) {
  if (!f) {
    SetStatus(InvalidParameter);
    return;
  }
  m_flags = f->m_flags, m_align = f->m_align, m_lineAlign = f->m_lineAlign, m_trimming = f->m_trimming;
  m_hotkey = f->m_hotkey, m_tabs = f->m_tabs, m_typographic = f->m_typographic;
}
const StringFormat* StringFormat::GenericTypographic() {
  static StringFormat f = [] {
    StringFormat s(StringFormatFlagsLineLimit | StringFormatFlagsNoClip | StringFormatFlagsNoFitBlackBox);
    s.m_trimming = StringTrimmingNone;
    s.m_typographic = true;
    return s;
  }();
  return &f;
}
const StringFormat* StringFormat::GenericDefault() {
  static StringFormat f;
  return &f;
}
Status StringFormat::SetTabStops(REAL first, INT count, const REAL* stops) {
  if (count < 0 || (count > 0 && !stops)) return SetStatus(InvalidParameter);
  m_tabs.assign(stops, stops + count);
  if (!m_tabs.empty()) m_tabs[0] += first;
  return Ok;
}

QRectF Graphics::MeasureText(const QString& text, const Font* font, const QRectF& layout, bool hasLayout,
                             const StringFormat* format) const {
  QPaintDevice* device = m_painter ? m_painter->device() : MeasuringDevice();
  QFont f = font->Q(m_dpiY, device);
  return LayOut(text, f, device, layout, hasLayout, format).bounds;
}

Status Graphics::DrawText(const QString& text, const Font* font, const QRectF& layout, bool hasLayout,
                          const StringFormat* format, const Brush* brush) {
  if (!m_painter) return SetStatus(InvalidParameter);
  if (!font || !brush) return SetStatus(InvalidParameter);
  QPaintDevice* device = m_painter->device();
  QFont f = font->Q(m_dpiY, device);
  bool aliased = m_st.textHint == TextRenderingHintSingleBitPerPixel ||
                 m_st.textHint == TextRenderingHintSingleBitPerPixelGridFit;
  if (aliased) f.setStyleStrategy(QFont::NoAntialias);
  TextBlock block = LayOut(text, f, device, layout, hasLayout, format);
  INT flags = format ? format->GetFormatFlags() : 0;
  bool clipToBox = hasLayout && !(flags & StringFormatFlagsNoClip) && layout.width() > 0 && layout.height() > 0;
  if (m_metafile) {
    QPainterPath glyphs = BlockPath(block, f, device);
    if (clipToBox) {
      QPainterPath box;
      box.addRect(layout);
      glyphs = glyphs.intersected(box);
    }
    return Fill(glyphs, brush);
  }
  Begin();
  if (clipToBox) m_painter->setClipRect(layout, Qt::IntersectClip);
  m_painter->setRenderHint(QPainter::TextAntialiasing, !aliased);
  m_painter->setPen(QPen(brush->Q(m_st.world, block.bounds), 0));
  block.layout->draw(m_painter, block.origin);
  End();
  return Ok;
}

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin, const Brush* brush) {
  return DrawString(text, length, font, origin, nullptr, brush);
}
Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                            const StringFormat* format, const Brush* brush) {
  if (!text) return SetStatus(InvalidParameter);
  QString s = QString::fromWCharArray(text, length < 0 ? int(std::wcslen(text)) : length);
  return DrawText(s, font, QRectF(origin.X, origin.Y, 0, 0), false, format, brush);
}
Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                            const StringFormat* format, const Brush* brush) {
  if (!text) return SetStatus(InvalidParameter);
  QString s = QString::fromWCharArray(text, length < 0 ? int(std::wcslen(text)) : length);
  return DrawText(s, font, QRectF(layout.X, layout.Y, layout.Width, layout.Height), true, format, brush);
}
Status Graphics::MeasureString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                               const StringFormat* format, RectF* bounds) const {
  if (!text || !font || !bounds) return InvalidParameter;
  QString s = QString::fromWCharArray(text, length < 0 ? int(std::wcslen(text)) : length);
  QRectF r = MeasureText(s, font, QRectF(origin.X, origin.Y, 0, 0), false, format);
  *bounds = RectF(REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height()));
  return Ok;
}
Status Graphics::MeasureString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                               const StringFormat* format, RectF* bounds, INT* charsFitted, INT* linesFilled) const {
  if (!text || !font || !bounds) return InvalidParameter;
  QString s = QString::fromWCharArray(text, length < 0 ? int(std::wcslen(text)) : length);
  QPaintDevice* device = m_painter ? m_painter->device() : MeasuringDevice();
  TextBlock block = LayOut(s, font->Q(m_dpiY, device), device, QRectF(layout.X, layout.Y, layout.Width, layout.Height),
                           true, format);
  QRectF r = block.bounds;
  *bounds = RectF(REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height()));
  if (charsFitted) *charsFitted = block.charsFitted;
  if (linesFilled) *linesFilled = block.lines;
  return Ok;
}

namespace {
Status AddStringPath(QPainterPath& out, const WCHAR* text, INT length, const FontFamily* family, INT style, REAL emSize,
                     const QRectF& box, bool hasBox, const StringFormat* format) {
  if (!text || !family) return InvalidParameter;
  QString s = QString::fromWCharArray(text, length < 0 ? int(std::wcslen(text)) : length);
  QString installed = family->IsAvailable() ? family->Installed() : DialogFamily();
  QFont f = AtEm(StyledFont(installed, style), emSize, MeasuringDevice());
  TextBlock block = LayOut(s, f, MeasuringDevice(), box, hasBox, format);
  out.addPath(BlockPath(block, f, MeasuringDevice()));
  return family->IsAvailable() ? Ok : FontFamilyNotFound;
}
}  // namespace

Status GraphicsPath::AddString(const WCHAR* text, INT length, const FontFamily* family, INT style, REAL emSize,
                               const PointF& origin, const StringFormat* format) {
  Status s = AddStringPath(m_path, text, length, family, style, emSize, QRectF(origin.X, origin.Y, 0, 0), false, format);
  m_figureOpen = false;
  return s == Ok ? Ok : SetStatus(s);
}
Status GraphicsPath::AddString(const WCHAR* text, INT length, const FontFamily* family, INT style, REAL emSize,
                               const RectF& layout, const StringFormat* format) {
  Status s = AddStringPath(m_path, text, length, family, style, emSize,
                           QRectF(layout.X, layout.Y, layout.Width, layout.Height), true, format);
  m_figureOpen = false;
  return s == Ok ? Ok : SetStatus(s);
}

}  // namespace Gdiplus
