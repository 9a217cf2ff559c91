// GDI+ brushes (solid, hatch, texture, linear and path gradient) and pens as Qt brushes and pens.
#include "GdiPlus.h"

#include <QLinearGradient>
#include <QPen>
#include <QRadialGradient>

namespace Gdiplus {
namespace {
QColor ToQ(const Color& c) { return QColor(c.GetR(), c.GetG(), c.GetB(), c.GetA()); }

// 8 x 8 hatch cells, one byte a row, most significant bit leftmost. The percentage hatches are
// ordered dither patterns of that coverage.
bool HatchBit(HatchStyle style, int x, int y) {
  switch (style) {
    case HatchStyleHorizontal: return y == 0;
    case HatchStyleVertical: return x == 0;
    case HatchStyleForwardDiagonal: return x == y;
    case HatchStyleBackwardDiagonal: return x == 7 - y;
    case HatchStyleCross: return x == 0 || y == 0;
    case HatchStyleDiagonalCross: return x == y || x == 7 - y;
    default: break;
  }
  static const int percent[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
  int index = int(style) - int(HatchStyle05Percent);
  if (index < 0 || index >= 12) return y == 0;
  static const int bayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
                                  {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
                                  {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
                                  {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};
  return bayer[y][x] < percent[index] * 64 / 100;
}

// Hatches and textures stay aligned to device pixels whatever the world transform.
QBrush DeviceAligned(QBrush b, const QTransform& world) {
  b.setTransform(world.inverted());
  return b;
}
}  // namespace

QBrush SolidBrush::Q(const QTransform&, const QRectF&) const { return QBrush(ToQ(m_colour)); }

HatchBrush::HatchBrush(HatchStyle style, const Color& fore, const Color& back)
    : Brush(BrushTypeHatchFill), m_style(style), m_fore(fore), m_back(back) {
  if (int(style) < 0 || int(style) > int(HatchStyle90Percent)) SetStatus(InvalidParameter);
}
QBrush HatchBrush::Q(const QTransform& world, const QRectF&) const {
  QImage cell(8, 8, QImage::Format_ARGB32);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) cell.setPixel(x, y, HatchBit(m_style, x, y) ? m_fore.GetValue() : m_back.GetValue());
  return DeviceAligned(QBrush(cell), world);
}

TextureBrush::TextureBrush(Image* image, WrapMode) : Brush(BrushTypeTextureFill) {
  auto* bitmap = dynamic_cast<Bitmap*>(image);
  if (!bitmap) {
    SetStatus(InvalidParameter);
    return;
  }
  // A deep copy: a shallow one would share pixels that a Graphics may still be drawing into.
  m_image = bitmap->Q().copy();
}
Brush* TextureBrush::Clone() const {
  auto* b = new TextureBrush;
  b->m_image = m_image;
  return b;
}
QBrush TextureBrush::Q(const QTransform&, const QRectF&) const { return QBrush(m_image); }

LinearGradientBrush::LinearGradientBrush(const PointF& p1, const PointF& p2, const Color& c1, const Color& c2)
    : Brush(BrushTypeLinearGradient), m_start(p1.X, p1.Y), m_end(p2.X, p2.Y) {
  m_stops = {{0.0, ToQ(c1)}, {1.0, ToQ(c2)}};
}
LinearGradientBrush::LinearGradientBrush(const RectF& r, const Color& c1, const Color& c2, LinearGradientMode mode)
    : LinearGradientBrush(r, c1, c2, mode == LinearGradientModeHorizontal         ? 0.0f
                                     : mode == LinearGradientModeVertical         ? 90.0f
                                     : mode == LinearGradientModeForwardDiagonal  ? 45.0f
                                                                                  : 135.0f) {}
LinearGradientBrush::LinearGradientBrush(const RectF& r, const Color& c1, const Color& c2, REAL angle, BOOL)
    : Brush(BrushTypeLinearGradient) {
  // The gradient runs along the angle across the whole rectangle.
  double a = qDegreesToRadians(double(angle));
  QPointF u(std::cos(a), std::sin(a));
  double extent = std::abs(r.Width * u.x()) + std::abs(r.Height * u.y());
  QPointF c(r.X + r.Width / 2.0, r.Y + r.Height / 2.0);
  m_start = c - u * (extent / 2);
  m_end = c + u * (extent / 2);
  m_stops = {{0.0, ToQ(c1)}, {1.0, ToQ(c2)}};
}
Brush* LinearGradientBrush::Clone() const {
  auto* b = new LinearGradientBrush;
  b->m_start = m_start, b->m_end = m_end, b->m_stops = m_stops, b->m_wrap = m_wrap;
  return b;
}
Status LinearGradientBrush::SetInterpolationColors(const Color* colours, const REAL* positions, INT count) {
  if (!colours || !positions || count < 2) return SetStatus(InvalidParameter);
  m_stops.clear();
  for (INT i = 0; i < count; ++i) m_stops.append({std::clamp<double>(positions[i], 0, 1), ToQ(colours[i])});
  return Ok;
}
Status LinearGradientBrush::SetBlend(const REAL* factors, const REAL* positions, INT count) {
  if (!factors || !positions || count < 2 || m_stops.size() < 2) return SetStatus(InvalidParameter);
  QColor a = m_stops.front().second, b = m_stops.back().second;
  m_stops.clear();
  for (INT i = 0; i < count; ++i) {
    double f = std::clamp<double>(factors[i], 0, 1);
    QColor c = QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f), float(a.greenF() + (b.greenF() - a.greenF()) * f),
                                float(a.blueF() + (b.blueF() - a.blueF()) * f), float(a.alphaF() + (b.alphaF() - a.alphaF()) * f));
    m_stops.append({std::clamp<double>(positions[i], 0, 1), c});
  }
  return Ok;
}
Status LinearGradientBrush::GetLinearColors(Color* colours) const {
  if (!colours || m_stops.size() < 2) return InvalidParameter;
  auto argb = [](const QColor& c) { return Color(BYTE(c.alpha()), BYTE(c.red()), BYTE(c.green()), BYTE(c.blue())); };
  colours[0] = argb(m_stops.front().second);
  colours[1] = argb(m_stops.back().second);
  return Ok;
}
QBrush LinearGradientBrush::Q(const QTransform&, const QRectF&) const {
  QLinearGradient g(m_start, m_end);
  g.setStops(m_stops);
  g.setSpread(m_wrap == WrapModeClamp ? QGradient::PadSpread
              : m_wrap == WrapModeTile ? QGradient::RepeatSpread
                                       : QGradient::ReflectSpread);
  return QBrush(g);
}

PathGradientBrush::PathGradientBrush(const GraphicsPath* path) : Brush(BrushTypePathGradient) {
  if (!path) {
    SetStatus(InvalidParameter);
    return;
  }
  m_path = path->Q();
  m_centrePoint = m_path.boundingRect().center();
}
PathGradientBrush::PathGradientBrush(const PointF* points, INT count) : Brush(BrushTypePathGradient) {
  if (!points || count < 2) {
    SetStatus(InvalidParameter);
    return;
  }
  QPolygonF poly;
  for (INT i = 0; i < count; ++i) poly << QPointF(points[i].X, points[i].Y);
  m_path.addPolygon(poly);
  m_path.closeSubpath();
  m_centrePoint = m_path.boundingRect().center();
}
Brush* PathGradientBrush::Clone() const {
  auto* b = new PathGradientBrush;
  b->m_path = m_path, b->m_centrePoint = m_centrePoint, b->m_centre = m_centre, b->m_surround = m_surround;
  b->m_focusX = m_focusX, b->m_focusY = m_focusY;
  return b;
}
Status PathGradientBrush::GetCenterPoint(PointF* p) const {
  if (!p) return InvalidParameter;
  *p = PointF(REAL(m_centrePoint.x()), REAL(m_centrePoint.y()));
  return Ok;
}
Status PathGradientBrush::SetSurroundColors(const Color* colours, INT* count) {
  if (!colours || !count || *count < 1) return SetStatus(InvalidParameter);
  // One colour all round: Qt has no per-vertex gradients, so the first colour stands for all.
  m_surround = colours[0];
  return Ok;
}
QBrush PathGradientBrush::Q(const QTransform&, const QRectF&) const {
  QRectF b = m_path.boundingRect();
  double radius = 0;
  for (QPointF corner : {b.topLeft(), b.topRight(), b.bottomLeft(), b.bottomRight()})
    radius = std::max(radius, std::hypot(corner.x() - m_centrePoint.x(), corner.y() - m_centrePoint.y()));
  QRadialGradient g(m_centrePoint, std::max(radius, 1e-3));
  double focus = std::clamp<double>(std::max(m_focusX, m_focusY), 0, 0.999);
  g.setColorAt(0, ToQ(m_centre));
  if (focus > 0) g.setColorAt(focus, ToQ(m_centre));
  g.setColorAt(1, ToQ(m_surround));
  return QBrush(g);
}

Pen::Pen(const Color& colour, REAL width) : m_width(width), m_brush(new SolidBrush(colour)) {}
Pen::Pen(const Brush* brush, REAL width) : m_width(width) {
  if (brush) m_brush.reset(brush->Clone());
  else {
    m_brush.reset(new SolidBrush(Color()));
    SetStatus(InvalidParameter);
  }
}
Pen::~Pen() = default;
Pen* Pen::Clone() const {
  auto* p = new Pen(m_brush.get(), m_width);
  p->m_alignment = m_alignment, p->m_dash = m_dash, p->m_pattern = m_pattern, p->m_dashOffset = m_dashOffset;
  p->m_startCap = m_startCap, p->m_endCap = m_endCap, p->m_join = m_join, p->m_miterLimit = m_miterLimit;
  return p;
}
Status Pen::SetColor(const Color& c) {
  m_brush.reset(new SolidBrush(c));
  return Ok;
}
Status Pen::GetColor(Color* c) const {
  auto* solid = dynamic_cast<const SolidBrush*>(m_brush.get());
  if (!c || !solid) return InvalidParameter;
  return solid->GetColor(c);
}
Status Pen::SetBrush(const Brush* brush) {
  if (!brush) return SetStatus(InvalidParameter);
  m_brush.reset(brush->Clone());
  return Ok;
}
Status Pen::SetDashPattern(const REAL* pattern, INT count) {
  if (!pattern || count < 1) return SetStatus(InvalidParameter);
  m_pattern.assign(pattern, pattern + count);
  if (m_pattern.size() % 2) m_pattern.push_back(m_pattern.back());
  m_dash = DashStyleCustom;
  return Ok;
}
Status Pen::SetLineCap(LineCap start, LineCap end, DashCap) {
  m_startCap = start, m_endCap = end;
  return Ok;
}
QPen Pen::Q(const QTransform& world, const QRectF& bounds) const {
  // Width 0 draws one-pixel lines whatever the transform.
  QPen pen(m_brush->Q(world, bounds), m_width > 0 ? m_width : 0);
  pen.setCosmetic(m_width <= 0);
  LineCap cap = m_endCap;
  pen.setCapStyle(cap == LineCapRound ? Qt::RoundCap : cap == LineCapSquare ? Qt::SquareCap : Qt::FlatCap);
  pen.setJoinStyle(m_join == LineJoinBevel   ? Qt::BevelJoin
                   : m_join == LineJoinRound ? Qt::RoundJoin
                   : m_join == LineJoinMiterClipped ? Qt::SvgMiterJoin
                                                    : Qt::MiterJoin);
  pen.setMiterLimit(m_miterLimit);
  QList<qreal> dashes;
  switch (m_dash) {
    case DashStyleDash: dashes = {3, 1}; break;
    case DashStyleDot: dashes = {1, 1}; break;
    case DashStyleDashDot: dashes = {3, 1, 1, 1}; break;
    case DashStyleDashDotDot: dashes = {3, 1, 1, 1, 1, 1}; break;
    case DashStyleCustom: dashes = QList<qreal>(m_pattern.begin(), m_pattern.end()); break;
    default: break;
  }
  if (!dashes.isEmpty()) {
    pen.setDashPattern(dashes);
    pen.setDashOffset(m_dashOffset);
  }
  return pen;
}

}  // namespace Gdiplus
