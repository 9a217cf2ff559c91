// GDI+ geometry: rectangles, matrices, paths, regions, and the library's start-up.
#include "GdiPlus.h"

#include <QPainterPathStroker>
#include <QRawFont>

#include <atomic>

namespace Gdiplus {

BOOL RectF::Intersect(RectF& out, const RectF& a, const RectF& b) {
  REAL l = std::max(a.X, b.X), t = std::max(a.Y, b.Y);
  REAL r = std::min(a.GetRight(), b.GetRight()), btm = std::min(a.GetBottom(), b.GetBottom());
  out = RectF(l, t, r - l, btm - t);
  return !out.IsEmptyArea();
}
BOOL RectF::Union(RectF& out, const RectF& a, const RectF& b) {
  REAL l = std::min(a.X, b.X), t = std::min(a.Y, b.Y);
  REAL r = std::max(a.GetRight(), b.GetRight()), btm = std::max(a.GetBottom(), b.GetBottom());
  out = RectF(l, t, r - l, btm - t);
  return !out.IsEmptyArea();
}

Matrix* Matrix::Clone() const {
  auto* m = new Matrix;
  m->m_t = m_t;
  return m;
}
Status Matrix::GetElements(REAL* m) const {
  if (!m) return InvalidParameter;
  m[0] = REAL(m_t.m11()), m[1] = REAL(m_t.m12()), m[2] = REAL(m_t.m21());
  m[3] = REAL(m_t.m22()), m[4] = REAL(m_t.dx()), m[5] = REAL(m_t.dy());
  return Ok;
}
Status Matrix::SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) {
  m_t = QTransform(m11, m12, m21, m22, dx, dy);
  return Ok;
}
Status Matrix::Reset() {
  m_t.reset();
  return Ok;
}
Status Matrix::Combine(const QTransform& t, MatrixOrder order) {
  // Row vectors: prepending applies t first.
  m_t = order == MatrixOrderPrepend ? t * m_t : m_t * t;
  return Ok;
}
Status Matrix::Multiply(const Matrix* m, MatrixOrder order) {
  if (!m) return m_status = InvalidParameter;
  return Combine(m->m_t, order);
}
Status Matrix::Translate(REAL dx, REAL dy, MatrixOrder order) { return Combine(QTransform::fromTranslate(dx, dy), order); }
Status Matrix::Scale(REAL sx, REAL sy, MatrixOrder order) { return Combine(QTransform::fromScale(sx, sy), order); }
Status Matrix::Rotate(REAL degrees, MatrixOrder order) {
  QTransform r;
  r.rotate(degrees);  // clockwise on a y-down device, as GDI+ turns
  return Combine(r, order);
}
Status Matrix::RotateAt(REAL degrees, const PointF& c, MatrixOrder order) {
  QTransform r;
  r.translate(c.X, c.Y);
  r.rotate(degrees);
  r.translate(-c.X, -c.Y);
  return Combine(r, order);
}
Status Matrix::Shear(REAL sx, REAL sy, MatrixOrder order) { return Combine(QTransform(1, sy, sx, 1, 0, 0), order); }
Status Matrix::Invert() {
  bool ok = false;
  QTransform inv = m_t.inverted(&ok);
  if (!ok) return m_status = InvalidParameter;
  m_t = inv;
  return Ok;
}
Status Matrix::TransformPoints(PointF* points, INT count) const {
  if (!points || count < 0) return InvalidParameter;
  for (INT i = 0; i < count; ++i) {
    QPointF p = m_t.map(QPointF(points[i].X, points[i].Y));
    points[i] = PointF(REAL(p.x()), REAL(p.y()));
  }
  return Ok;
}
Status Matrix::TransformVectors(PointF* points, INT count) const {
  if (!points || count < 0) return InvalidParameter;
  for (INT i = 0; i < count; ++i) {
    REAL x = points[i].X, y = points[i].Y;
    points[i] = PointF(REAL(x * m_t.m11() + y * m_t.m21()), REAL(x * m_t.m12() + y * m_t.m22()));
  }
  return Ok;
}

GraphicsPath::GraphicsPath(FillMode mode) : m_fillMode(mode) {}

GraphicsPath* GraphicsPath::Clone() const {
  auto* p = new GraphicsPath(m_fillMode);
  p->m_path = m_path;
  p->m_figureOpen = m_figureOpen;
  return p;
}
Status GraphicsPath::Reset() {
  m_path = QPainterPath();
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::StartFigure() {
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::CloseFigure() {
  if (m_figureOpen) m_path.closeSubpath();
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::CloseAllFigures() {
  // Qt keeps figures as move-to runs: rebuild with every run closed.
  QPainterPath closed;
  for (const QPolygonF& poly : m_path.toSubpathPolygons()) {
    closed.addPolygon(poly);
    closed.closeSubpath();
  }
  m_path = closed;
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::SetFillMode(FillMode mode) {
  m_fillMode = mode;
  return Ok;
}
void GraphicsPath::LineOrMove(const QPointF& p) {
  if (m_figureOpen) m_path.lineTo(p);
  else m_path.moveTo(p);
  m_figureOpen = true;
}
Status GraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
  LineOrMove(QPointF(x1, y1));
  m_path.lineTo(x2, y2);
  return Ok;
}
Status GraphicsPath::AddLines(const PointF* points, INT count) {
  if (!points || count < 1) return SetStatus(InvalidParameter);
  LineOrMove(QPointF(points[0].X, points[0].Y));
  for (INT i = 1; i < count; ++i) m_path.lineTo(points[i].X, points[i].Y);
  return Ok;
}
Status GraphicsPath::AddArc(REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  QRectF box(x, y, w, h);
  double a = qDegreesToRadians(double(start));
  QPointF startPoint(x + w / 2 + w / 2 * std::cos(a), y + h / 2 + h / 2 * std::sin(a));
  LineOrMove(startPoint);
  // A box of no size is a point; Qt's angles run the other way round.
  if (w > 0 && h > 0) m_path.arcTo(box, -start, -sweep);
  return Ok;
}
Status GraphicsPath::AddBezier(const PointF& p1, const PointF& p2, const PointF& p3, const PointF& p4) {
  LineOrMove(QPointF(p1.X, p1.Y));
  m_path.cubicTo(p2.X, p2.Y, p3.X, p3.Y, p4.X, p4.Y);
  return Ok;
}
Status GraphicsPath::AddRectangle(const RectF& r) {
  m_path.addRect(r.X, r.Y, r.Width, r.Height);
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::AddEllipse(REAL x, REAL y, REAL w, REAL h) {
  m_path.addEllipse(QRectF(x, y, w, h));
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::AddPolygon(const PointF* points, INT count) {
  if (!points || count < 3) return SetStatus(InvalidParameter);
  QPolygonF poly;
  for (INT i = 0; i < count; ++i) poly << QPointF(points[i].X, points[i].Y);
  m_path.addPolygon(poly);
  m_path.closeSubpath();
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::AddPie(REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  QRectF box(x, y, w, h);
  m_path.moveTo(box.center());
  m_path.arcTo(box, -start, -sweep);
  m_path.closeSubpath();
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::AddPath(const GraphicsPath* path, BOOL connect) {
  if (!path) return SetStatus(InvalidParameter);
  if (connect && m_figureOpen && path->m_path.elementCount() > 0) {
    // Join the first figure: its move-to becomes a line-to.
    QPainterPath other = path->m_path;
    QPainterPath joined = m_path;
    for (int i = 0; i < other.elementCount(); ++i) {
      const QPainterPath::Element e = other.elementAt(i);
      if (e.isMoveTo()) {
        if (i == 0) joined.lineTo(e.x, e.y);
        else joined.moveTo(e.x, e.y);
      } else if (e.isLineTo()) {
        joined.lineTo(e.x, e.y);
      } else if (e.isCurveTo()) {
        const auto c2 = other.elementAt(i + 1), end = other.elementAt(i + 2);
        joined.cubicTo(e.x, e.y, c2.x, c2.y, end.x, end.y);
        i += 2;
      }
    }
    m_path = joined;
  } else {
    m_path.addPath(path->m_path);
  }
  m_figureOpen = path->m_figureOpen;
  return Ok;
}
Status GraphicsPath::Transform(const Matrix* matrix) {
  if (matrix) m_path = matrix->Q().map(m_path);
  return Ok;
}
Status GraphicsPath::GetBounds(RectF* bounds, const Matrix* matrix, const Pen* pen) const {
  if (!bounds) return InvalidParameter;
  QPainterPath p = matrix ? matrix->Q().map(m_path) : m_path;
  QRectF r = p.controlPointRect().isEmpty() && p.elementCount() == 0 ? QRectF() : p.boundingRect();
  if (pen) {
    qreal w = std::max<qreal>(pen->GetWidth(), 1) / 2;
    r.adjust(-w, -w, w, w);
  }
  *bounds = RectF(REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height()));
  return Ok;
}
Status GraphicsPath::GetLastPoint(PointF* point) const {
  if (!point || m_path.elementCount() == 0) return InvalidParameter;
  QPointF p = m_path.currentPosition();
  *point = PointF(REAL(p.x()), REAL(p.y()));
  return Ok;
}
INT GraphicsPath::GetPointCount() const { return m_path.elementCount(); }
BOOL GraphicsPath::IsVisible(REAL x, REAL y, const Graphics*) const { return Q().contains(QPointF(x, y)); }
BOOL GraphicsPath::IsOutlineVisible(REAL x, REAL y, const Pen* pen, const Graphics*) const {
  QPainterPathStroker stroker;
  stroker.setWidth(pen ? std::max<qreal>(pen->GetWidth(), 1) : 1);
  return stroker.createStroke(m_path).contains(QPointF(x, y));
}
Status GraphicsPath::Widen(const Pen* pen, const Matrix* matrix, REAL) {
  if (!pen) return SetStatus(InvalidParameter);
  QPainterPathStroker stroker(pen->Q(QTransform(), QRectF()));
  m_path = stroker.createStroke(matrix ? matrix->Q().map(m_path) : m_path);
  m_figureOpen = false;
  return Ok;
}
Status GraphicsPath::Flatten(const Matrix* matrix, REAL) {
  QPainterPath flat;
  for (const QPolygonF& poly : (matrix ? matrix->Q().map(m_path) : m_path).toSubpathPolygons()) flat.addPolygon(poly);
  m_path = flat;
  return Ok;
}
QPainterPath GraphicsPath::Q() const {
  QPainterPath p = m_path;
  p.setFillRule(m_fillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  return p;
}

namespace {
QPainterPath RectPath(const QRectF& r) {
  QPainterPath p;
  p.addRect(r.normalized());
  return p;
}
}  // namespace

Region::Region() = default;
Region::Region(const RectF& r) : m_path(RectPath(QRectF(r.X, r.Y, r.Width, r.Height))), m_infinite(false) {}
Region::Region(const Rect& r) : m_path(RectPath(QRectF(r.X, r.Y, r.Width, r.Height))), m_infinite(false) {}
Region::Region(const GraphicsPath* path) : m_infinite(false) {
  if (path) m_path = path->Q();
  else SetStatus(InvalidParameter);
}
Region* Region::Clone() const {
  auto* r = new Region;
  r->SetQ(m_path, m_infinite);
  return r;
}
Status Region::MakeInfinite() {
  SetQ(QPainterPath(), true);
  return Ok;
}
Status Region::MakeEmpty() {
  SetQ(QPainterPath(), false);
  return Ok;
}
Status Region::Combine(const QPainterPath& other, bool otherInfinite, CombineMode mode) {
  // An infinite region stands in as a very large rectangle where set operations need geometry.
  const QPainterPath huge = RectPath(QRectF(-4194304, -4194304, 8388608, 8388608));
  QPainterPath mine = m_infinite ? huge : m_path;
  QPainterPath theirs = otherInfinite ? huge : other;
  switch (mode) {
    case CombineModeReplace: SetQ(other, otherInfinite); return Ok;
    case CombineModeIntersect:
      if (m_infinite) SetQ(other, otherInfinite);
      else if (!otherInfinite) SetQ(mine.intersected(theirs), false);
      return Ok;
    case CombineModeUnion:
      if (m_infinite || otherInfinite) SetQ(QPainterPath(), true);
      else SetQ(mine.united(theirs), false);
      return Ok;
    case CombineModeXor: SetQ(mine.united(theirs).subtracted(mine.intersected(theirs)), false); return Ok;
    case CombineModeExclude: SetQ(mine.subtracted(theirs), false); return Ok;
    case CombineModeComplement: SetQ(theirs.subtracted(mine), false); return Ok;
  }
  return SetStatus(InvalidParameter);
}
Status Region::Intersect(const RectF& r) { return Combine(RectPath(QRectF(r.X, r.Y, r.Width, r.Height)), false, CombineModeIntersect); }
Status Region::Intersect(const GraphicsPath* p) { return p ? Combine(p->Q(), false, CombineModeIntersect) : SetStatus(InvalidParameter); }
Status Region::Intersect(const Region* r) { return r ? Combine(r->m_path, r->m_infinite, CombineModeIntersect) : SetStatus(InvalidParameter); }
Status Region::Union(const RectF& r) { return Combine(RectPath(QRectF(r.X, r.Y, r.Width, r.Height)), false, CombineModeUnion); }
Status Region::Union(const GraphicsPath* p) { return p ? Combine(p->Q(), false, CombineModeUnion) : SetStatus(InvalidParameter); }
Status Region::Union(const Region* r) { return r ? Combine(r->m_path, r->m_infinite, CombineModeUnion) : SetStatus(InvalidParameter); }
Status Region::Exclude(const RectF& r) { return Combine(RectPath(QRectF(r.X, r.Y, r.Width, r.Height)), false, CombineModeExclude); }
Status Region::Exclude(const GraphicsPath* p) { return p ? Combine(p->Q(), false, CombineModeExclude) : SetStatus(InvalidParameter); }
Status Region::Exclude(const Region* r) { return r ? Combine(r->m_path, r->m_infinite, CombineModeExclude) : SetStatus(InvalidParameter); }
Status Region::Xor(const Region* r) { return r ? Combine(r->m_path, r->m_infinite, CombineModeXor) : SetStatus(InvalidParameter); }
Status Region::Complement(const Region* r) { return r ? Combine(r->m_path, r->m_infinite, CombineModeComplement) : SetStatus(InvalidParameter); }
Status Region::Translate(REAL dx, REAL dy) {
  if (!m_infinite) m_path.translate(dx, dy);
  return Ok;
}
Status Region::Transform(const Matrix* m) {
  if (m && !m_infinite) m_path = m->Q().map(m_path);
  return Ok;
}
Status Region::GetBounds(RectF* rect, const Graphics*) const {
  if (!rect) return InvalidParameter;
  QRectF r = m_infinite ? QRectF(-4194304, -4194304, 8388608, 8388608) : m_path.boundingRect();
  *rect = RectF(REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height()));
  return Ok;
}
BOOL Region::IsEmpty(const Graphics*) const { return !m_infinite && m_path.simplified().isEmpty(); }
BOOL Region::IsInfinite(const Graphics*) const { return m_infinite; }
BOOL Region::IsVisible(REAL x, REAL y, const Graphics*) const { return m_infinite || m_path.contains(QPointF(x, y)); }
BOOL Region::Equals(const Region* r, const Graphics*) const {
  if (!r) return FALSE;
  if (m_infinite || r->m_infinite) return m_infinite == r->m_infinite;
  return m_path.subtracted(r->m_path).isEmpty() && r->m_path.subtracted(m_path).isEmpty();
}
HRGN Region::GetHRGN(const Graphics*) const {
  if (m_infinite) return nullptr;  // GDI+ answers null for an infinite region
  QRegion qr(m_path.toFillPolygon().toPolygon(), m_path.fillRule());
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  HRGN part = nullptr;
  for (const QRect& r : qr) {
    part = CreateRectRgn(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    CombineRgn(rgn, rgn, part, RGN_OR);
    DeleteObject(part);
  }
  return rgn;
}

namespace {
std::atomic<int> g_startups{0};
Status WINAPI NotificationHook(ULONG_PTR* token) {
  if (token) *token = 0x51;
  return Ok;
}
void WINAPI NotificationUnhook(ULONG_PTR) {}
}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input || input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
  if (input->SuppressBackgroundThread && !output) return InvalidParameter;
  if (output) {
    output->NotificationHook = input->SuppressBackgroundThread ? &NotificationHook : nullptr;
    output->NotificationUnhook = input->SuppressBackgroundThread ? &NotificationUnhook : nullptr;
  }
  *token = ULONG_PTR(++g_startups);
  return Ok;
}
void GdiplusShutdown(ULONG_PTR) {}

}  // namespace Gdiplus
