// The GDI+ Graphics over a QPainter: transforms, state, clipping, shapes and images. On a
// metafile every shape is clipped into its geometry, because SVG output drops painter clips.
#include "GdiInternal.h"
#include "GdiPlus.h"
#include "WndGeometry.h"
#include "WndQt.h"

#include <QMutex>
#include <QPaintEngine>
#include <QPainterPathStroker>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <vector>

namespace Gdiplus {
namespace {
QPainterPath RectPath(const QRectF& r) {
  QPainterPath p;
  p.addRect(r.normalized());
  return p;
}

// The raster engine splits every batch of more than about a hundred spans across the global
// thread pool and waits for the pieces, unless it already runs on a pool thread: an
// anti-aliased line of a thousand pixels costs a dozen such waits. A large shape on an image
// is handed whole to one pool thread instead, one wait in all.
template <class Draw>
void PaintLarge(QPainter* painter, const QRectF& deviceBounds, Draw&& draw) {
  const QPaintDevice* device = painter->device();
  if (deviceBounds.width() + deviceBounds.height() < 96 || !device || device->devType() != QInternal::Image) {
    draw();
    return;
  }
  DrawOnOneThread([&] { draw(); });
}

// A pen the engine strokes with its one-pixel line stepper: at most a pixel wide on the device,
// under a transform without rotation.
bool IsThinPen(const QPen& pen, const QTransform& toDevice) {
  if (pen.isCosmetic()) return pen.widthF() <= 1;
  if (toDevice.type() > QTransform::TxScale) return false;
  return pen.widthF() * std::max(std::fabs(toDevice.m11()), std::fabs(toDevice.m22())) <= 1;
}

// More than one figure: a bundle of lines (a grid) gives the engine span batches large enough
// to be split across the pool and waited for, unless it already runs there.
bool ManyFigures(const QPainterPath& path) {
  for (int i = 1, n = path.elementCount(); i < n; ++i)
    if (path.elementAt(i).isMoveTo()) return true;
  return false;
}

// Runs draw(from, to) for `bands` horizontal bands of the rows [top, bottom) on the global pool
// and waits for all of them; the first exception is thrown on here.
template <class Draw>
void RunInBands(QThreadPool* pool, int top, int bottom, int bands, Draw&& draw) {
  QSemaphore done;
  std::exception_ptr failure;
  QMutex failureLock;
  for (int band = 0; band < bands; ++band) {
    const int from = top + (bottom - top) * band / bands, to = top + (bottom - top) * (band + 1) / bands;
    pool->start([&, from, to] {
      try {
        draw(from, to);
      } catch (...) {
        QMutexLocker guard(&failureLock);
        if (!failure) failure = std::current_exception();
      }
      done.release();
    });
  }
  done.acquire(bands);
  if (failure) std::rethrow_exception(failure);
}

// A path with storage of its own: the engine caches its conversion inside a path, so threads
// must not share one.
QPainterPath OwnCopy(const QPainterPath& path) {
  QPainterPath own;
  own.setFillRule(path.fillRule());
  own.reserve(path.elementCount());
  for (int i = 0, n = path.elementCount(); i < n; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (e.isMoveTo()) {
      own.moveTo(e.x, e.y);
    } else if (e.isLineTo()) {
      own.lineTo(e.x, e.y);
    } else if (e.isCurveTo() && i + 2 < n) {
      own.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
      i += 2;
    }
  }
  return own;
}

// The pool, when work may be handed to it from this thread (never from one of its own threads,
// which could wait on itself).
QThreadPool* BandPool() {
  QThreadPool* pool = QThreadPool::globalInstance();
  return pool && pool->maxThreadCount() >= 2 && !pool->contains(QThread::currentThread()) ? pool : nullptr;
}

// Closed when every figure ends where it starts, with more than a line's two points.
// An inset pen on a closed shape: a pen twice as wide, clipped to the shape, gives the same band
// without a boolean path operation. Leaves the shape as the painter's clip.
void StrokeInset(QPainter& painter, const QPainterPath& path, const QPen& pen, REAL width) {
  QPainterPath inside = path;
  inside.setFillRule(Qt::WindingFill);
  QPen wide = pen;
  wide.setWidthF(2.0 * width);
  wide.setJoinStyle(Qt::MiterJoin);
  painter.setClipPath(inside, Qt::IntersectClip);
  painter.strokePath(path, wide);
}

bool AllFiguresClosed(const QPainterPath& q) {
  const int n = q.elementCount();
  bool closed = n > 0;
  for (int start = 0, i = 1; closed && i <= n; ++i) {
    if (i < n && !q.elementAt(i).isMoveTo()) continue;
    const QPainterPath::Element &first = q.elementAt(start), &last = q.elementAt(i - 1);
    closed = i - start > 2 && first.x == last.x && first.y == last.y;
    start = i;
  }
  return closed;
}

// An axis-aligned rectangle: one figure whose corners each share x or y with the next.
bool IsRectangle(const QPainterPath& path) {
  const int n = path.elementCount();
  if (n != 4 && n != 5) return false;
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element &a = path.elementAt(i), &b = path.elementAt((i + 1) % n);
    if ((i == 0) != a.isMoveTo() || a.isCurveTo()) return false;
    if (a.x != b.x && a.y != b.y) return false;
  }
  return !path.controlPointRect().isEmpty();
}

// Qt's byte multiply, t * a / 255 rounded, on each channel of a premultiplied pixel.
inline quint32 ByteMul(quint32 x, quint32 a) {
  quint64 t = ((quint64(x) | (quint64(x) << 24)) & 0x00FF00FF00FF00FFull) * a;
  t = ((t + ((t >> 8) & 0x00FF00FF00FF00FFull) + 0x0080008000800080ull) >> 8) & 0x00FF00FF00FF00FFull;
  return quint32(t) | quint32(t >> 24);
}

// Fills a small outline (device coordinates, lines only) anti-aliased onto a premultiplied image
// in an opaque colour, as the raster engine would: vertices on its 1/64-pixel grid, coverage the
// exact area under the non-zero rule in 255 levels, blended source-over with its arithmetic.
// Each call of the engine sets up spans, blending and a rasterizer pool; for the few dozen
// pixels of a label's stem that set-up is most of the cost. `box` is the outline's device bounds;
// only the columns [from, to) are written (the coverage of each pixel is the same whatever they are).
void FillSmallOutline(QImage& image, const QPainterPath& outline, const QTransform& toDevice, const QRectF& box,
                      QRgb colour, int from = INT_MIN, int to = INT_MAX) {
  const int left = int(std::floor(box.left())) - 1, top = int(std::floor(box.top())) - 1;
  const int w = int(std::ceil(box.right())) - left + 3, h = int(std::ceil(box.bottom())) - top + 2;
  const int width = image.width(), height = image.height();
  uchar* const bits = image.bits();  // once: each scan line fetch would check for sharing
  const qsizetype stride = image.bytesPerLine();
  // Scattered over a large image, the rows under the shape are rarely cached: ask for them now
  // and rasterize while they arrive.
  const int firstX = std::clamp(std::max(left, from), 0, width - 1);
  const int lastX = std::clamp(std::min(left + w, to) - 1, 0, width - 1);
  const int firstColumn = std::max(0, from), endColumn = std::min(width, to);
  for (int y = std::max(top, 0); y < std::min(top + h, height); ++y) {
    __builtin_prefetch(bits + y * stride + 4 * firstX, 1);
    __builtin_prefetch(bits + y * stride + 4 * lastX, 1);
  }
  thread_local std::vector<double> acc;
  acc.assign(std::size_t(w) * h + 2, 0.0);
  auto line = [&](QPointF p0, QPointF p1) {
    if (p0.y() == p1.y()) return;
    double dir = 1;
    if (p0.y() > p1.y()) {
      std::swap(p0, p1);
      dir = -1;
    }
    const double dxdy = (p1.x() - p0.x()) / (p1.y() - p0.y());
    double x = p0.x();
    for (int y = int(p0.y()); y < int(std::ceil(p1.y())); ++y) {
      double* row = acc.data() + std::size_t(y) * w;
      const double dy = std::min(double(y + 1), p1.y()) - std::max(double(y), p0.y());
      const double xnext = x + dxdy * dy, d = dy * dir;
      const double x0 = std::min(x, xnext), x1 = std::max(x, xnext);
      const double x0floor = std::floor(x0), x1ceil = std::ceil(x1);
      const int x0i = int(x0floor), x1i = int(x1ceil);
      if (x1i <= x0i + 1) {
        const double xmf = 0.5 * (x + xnext) - x0floor;
        row[x0i] += d - d * xmf;
        row[x0i + 1] += d * xmf;
      } else {
        const double s = 1 / (x1 - x0), x0f = x0 - x0floor, x1f = x1 - x1ceil + 1;
        const double a0 = 0.5 * s * (1 - x0f) * (1 - x0f), am = 0.5 * s * x1f * x1f;
        row[x0i] += d * a0;
        if (x1i == x0i + 2) {
          row[x0i + 1] += d * (1 - a0 - am);
        } else {
          const double a1 = s * (1.5 - x0f);
          row[x0i + 1] += d * (a1 - a0);
          for (int xi = x0i + 2; xi < x1i - 1; ++xi) row[xi] += d * s;
          const double a2 = a1 + (x1i - x0i - 3) * s;
          row[x1i - 1] += d * (1 - a2 - am);
        }
        row[x1i] += d * am;
      }
      x = xnext;
    }
  };
  auto snap = [&](const QPointF& p) {
    const QPointF q = toDevice.map(p);
    return QPointF(std::floor(q.x() * 64 + 0.5) / 64 - left, std::floor(q.y() * 64 + 0.5) / 64 - top);
  };
  QPointF first, last;
  for (int i = 0, n = outline.elementCount(); i <= n; ++i) {
    if (i == n || outline.elementAt(i).isMoveTo()) {
      if (i > 0) line(last, first);  // every figure of a fill is closed
      if (i == n) break;
      first = last = snap(outline.elementAt(i));
      continue;
    }
    const QPointF next = snap(outline.elementAt(i));
    line(last, next);
    last = next;
  }
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    const int iy = top + y;
    quint32* pixels = iy >= 0 && iy < height ? reinterpret_cast<quint32*>(bits + iy * stride) : nullptr;
    for (int x = 0; x < w; ++x) {
      sum += acc[std::size_t(y) * w + x];
      const int ix = left + x;
      if (!pixels || ix < firstColumn || ix >= endColumn) continue;
      const int coverage = std::min(255, int(std::fabs(sum) * 256 + 0.5));
      if (coverage == 0) continue;
      if (coverage == 255) {
        pixels[ix] = colour;
      } else {
        const quint32 c = ByteMul(colour, quint32(coverage));
        pixels[ix] = c + ByteMul(pixels[ix], 255 - (c >> 24));
      }
    }
  }
}
}  // namespace

void Graphics::Init(QPainter* painter, const QRectF& deviceBounds, REAL dpiX, REAL dpiY) {
  m_painter = painter;
  if (!painter || !painter->isActive()) {
    SetStatus(InvalidParameter);
    m_painter = nullptr;
    return;
  }
  m_base = painter->transform();
  m_deviceBounds = deviceBounds;
  m_dpiX = dpiX;
  m_dpiY = dpiY;
}

Graphics::Graphics(HDC dc) {
  QPainter* painter = qlw::PainterOf(dc);
  if (!painter) {
    SetStatus(InvalidParameter);
    return;
  }
  m_dc = dc;
  const RECT& b = dc->deviceBounds;
  Init(painter, QRectF(b.left, b.top, b.right - b.left, b.bottom - b.top), REAL(dc->dpi), REAL(dc->dpi));
  // The DC's own origin and clip carry over, as they do for a Graphics made on a GDI DC.
  m_base = QTransform::fromTranslate(dc->s.viewportOrg.x, dc->s.viewportOrg.y) * dc->base;
  if (dc->s.clipped) {
    QPainterPath clip;
    clip.addRegion(dc->s.clip);
    m_st.clipped = true;
    m_st.clip = clip.translated(-dc->s.viewportOrg.x, -dc->s.viewportOrg.y);
  }
}

Graphics::Graphics(HDC dc, HANDLE) : Graphics(dc) {}

Graphics::Graphics(Image* image) {
  if (!image) {
    SetStatus(InvalidParameter);
    return;
  }
  if (auto* meta = dynamic_cast<Metafile*>(image)) {
    if (meta->Recording()) {
      SetStatus(WrongState);
      return;
    }
    meta->BeginRecording();
    m_metafile = meta;
    m_ownPainter = std::make_unique<QPainter>(&meta->Picture());
    QRectF bounds = meta->Frame().isEmpty() ? QRectF(0, 0, 32767, 32767) : meta->Frame();
    Init(m_ownPainter.get(), bounds, meta->GetHorizontalResolution(), meta->GetVerticalResolution());
    return;
  }
  auto* bitmap = dynamic_cast<Bitmap*>(image);
  QPainter* painter = bitmap ? bitmap->AcquirePainter() : nullptr;
  if (!painter) {
    SetStatus(bitmap ? OutOfMemory : InvalidParameter);
    return;
  }
  m_bitmap = bitmap;
  Init(painter, QRectF(0, 0, bitmap->GetWidth(), bitmap->GetHeight()), bitmap->GetHorizontalResolution(),
       bitmap->GetVerticalResolution());
  m_base = QTransform();
}

// On a window: during its paint straight onto it; otherwise recorded and drawn at its next paint.
Graphics::Graphics(HWND hwnd, BOOL) {
  RECT client{};
  if (!IsWindow(hwnd) || !GetClientRect(hwnd, &client)) {
    SetStatus(InvalidParameter);
    return;
  }
  QPainter* paint = qlw::PaintPainter(hwnd);
  HDC dc = paint ? qlw::CreatePainterDC(paint, client) : qlw::CreatePictureDC(client);
  QPainter* painter = qlw::PainterOf(dc);
  if (!painter) {
    if (dc) DeleteDC(dc);
    SetStatus(InvalidParameter);
    return;
  }
  m_hwnd = hwnd;
  m_dc = dc;
  const RECT& b = dc->deviceBounds;
  Init(painter, QRectF(b.left, b.top, b.right - b.left, b.bottom - b.top), REAL(dc->dpi), REAL(dc->dpi));
  m_base = dc->base;
}

Graphics::~Graphics() {
  if (m_handedOutDc) DeleteDC(m_handedOutDc);
  if (m_metafile) {
    if (m_ownPainter) m_ownPainter->end();
    m_metafile->EndRecording();
  }
  if (m_bitmap) m_bitmap->ReleasePainter();
  if (m_hwnd && m_dc) {
    QPicture picture;
    if (m_dc->picture && qlw::FinishPictureDC(m_dc, picture)) {
      if (!picture.isNull() && IsWindow(m_hwnd)) qlw::QueuePaintPicture(m_hwnd, picture);
    } else {
      DeleteDC(m_dc);
    }
  }
}

HDC Graphics::GetHDC() {
  if (!m_painter || m_handedOutDc) {
    SetStatus(m_painter ? ObjectBusy : InvalidParameter);
    return nullptr;
  }
  m_drawn = true;  // whatever the DC's holder draws
  m_painter->save();
  m_painter->setTransform(m_base);
  RECT bounds{LONG(m_deviceBounds.left()), LONG(m_deviceBounds.top()), LONG(m_deviceBounds.right()),
              LONG(m_deviceBounds.bottom())};
  m_handedOutDc = qlw::CreatePainterDC(m_painter, bounds, int(m_dpiX));
  m_painter->restore();
  return m_handedOutDc;
}

void Graphics::ReleaseHDC(HDC dc) {
  if (!dc || dc != m_handedOutDc) {
    SetStatus(InvalidParameter);
    return;
  }
  DeleteDC(dc);
  m_handedOutDc = nullptr;
}

void Graphics::Flush(INT) {}

bool Graphics::DrawsWholePixels() const {
  if (!m_painter || m_metafile) return false;
  const QPaintDevice* device = m_painter->device();
  if (!device || device->devType() != QInternal::Image || device->devicePixelRatioF() != 1.0) return false;
  const QTransform t = m_st.world * m_base;
  return t.type() <= QTransform::TxTranslate && t.dx() == std::round(t.dx()) && t.dy() == std::round(t.dy());
}

bool Graphics::DrawsOnPremultiplied() const {
  if (!DrawsWholePixels()) return false;
  return static_cast<const QImage*>(m_painter->device())->format() == QImage::Format_ARGB32_Premultiplied;
}

void Graphics::Begin() const {
  m_drawn = true;
  m_painter->save();
  m_painter->setTransform(m_base);
  if (m_st.clipped && !m_metafile) m_painter->setClipPath(m_st.clip, Qt::IntersectClip);
  m_painter->setTransform(m_st.world * m_base);
  bool smooth = m_st.smoothing == SmoothingModeAntiAlias || m_st.smoothing == SmoothingModeHighQuality;
  m_painter->setRenderHint(QPainter::Antialiasing, smooth);
  m_painter->setRenderHint(QPainter::SmoothPixmapTransform, m_st.interpolation != InterpolationModeNearestNeighbor);
  m_painter->setCompositionMode(m_st.compositing == CompositingModeSourceCopy ? QPainter::CompositionMode_Source
                                                                              : QPainter::CompositionMode_SourceOver);
}

void Graphics::End() const { m_painter->restore(); }

Status Graphics::SetTransform(const Matrix* m) {
  if (!m) return SetStatus(InvalidParameter);
  m_st.world = m->Q();
  return Ok;
}
Status Graphics::GetTransform(Matrix* m) const {
  if (!m) return InvalidParameter;
  m->SetQ(m_st.world);
  return Ok;
}
Status Graphics::ResetTransform() {
  m_st.world.reset();
  return Ok;
}
Status Graphics::MultiplyTransform(const Matrix* m, MatrixOrder order) {
  if (!m) return SetStatus(InvalidParameter);
  m_st.world = order == MatrixOrderPrepend ? m->Q() * m_st.world : m_st.world * m->Q();
  return Ok;
}
Status Graphics::TranslateTransform(REAL dx, REAL dy, MatrixOrder order) {
  Matrix m(1, 0, 0, 1, dx, dy);
  return MultiplyTransform(&m, order);
}
Status Graphics::ScaleTransform(REAL sx, REAL sy, MatrixOrder order) {
  Matrix m(sx, 0, 0, sy, 0, 0);
  return MultiplyTransform(&m, order);
}
Status Graphics::RotateTransform(REAL degrees, MatrixOrder order) {
  Matrix m;
  m.Rotate(degrees);
  return MultiplyTransform(&m, order);
}
Status Graphics::SetPageUnit(Unit unit) {
  // Every Graphics here works in pixels; other page units are not needed.
  return unit == UnitPixel || unit == UnitDisplay ? Ok : SetStatus(NotImplemented);
}
Status Graphics::SetSmoothingMode(SmoothingMode m) {
  if (m == SmoothingModeInvalid) return SetStatus(InvalidParameter);
  m_st.smoothing = m == SmoothingModeDefault || m == SmoothingModeHighSpeed ? SmoothingModeNone : m;
  return Ok;
}

GraphicsState Graphics::Save() {
  GraphicsState id = m_nextState++;
  m_saved.emplace_back(id, m_st);
  return id;
}
Status Graphics::Restore(GraphicsState state) {
  for (size_t i = m_saved.size(); i-- > 0;) {
    if (m_saved[i].first == state) {
      m_st = m_saved[i].second;
      m_saved.resize(i);
      return Ok;
    }
  }
  return Ok;  // an unknown or already restored state changes nothing, as in GDI+
}

// Clipping is kept in device coordinates; shapes given in world coordinates are mapped first.
Status Graphics::Combine(const QPainterPath& shape, bool infinite, CombineMode mode) {
  Region r;
  if (m_st.clipped) r.SetQ(m_st.clip, false);
  Region other;
  other.SetQ(shape, infinite);
  switch (mode) {
    case CombineModeReplace: r.SetQ(shape, infinite); break;
    case CombineModeIntersect: r.Intersect(&other); break;
    case CombineModeUnion: r.Union(&other); break;
    case CombineModeXor: r.Xor(&other); break;
    case CombineModeExclude: r.Exclude(&other); break;
    case CombineModeComplement: r.Complement(&other); break;
  }
  m_st.clipped = !r.Infinite();
  m_st.clip = r.Q();
  return Ok;
}
Status Graphics::SetClip(const Graphics* g, CombineMode mode) {
  if (!g) return SetStatus(InvalidParameter);
  return Combine(g->m_st.clip, !g->m_st.clipped, mode);
}
Status Graphics::SetClip(const RectF& rect, CombineMode mode) {
  return Combine(m_st.world.map(RectPath(QRectF(rect.X, rect.Y, rect.Width, rect.Height))), false, mode);
}
Status Graphics::SetClip(const GraphicsPath* path, CombineMode mode) {
  if (!path) return SetStatus(InvalidParameter);
  return Combine(m_st.world.map(path->Q()), false, mode);
}
Status Graphics::SetClip(const Region* region, CombineMode mode) {
  if (!region) return SetStatus(InvalidParameter);
  return Combine(m_st.world.map(region->Q()), region->Infinite(), mode);
}
Status Graphics::SetClip(HRGN rgn, CombineMode mode) {
  RECT box{};
  if (!rgn || GetRgnBox(rgn, &box) == ERROR) return SetStatus(InvalidParameter);
  auto* r = qlw::gdi::As<qlw::gdi::Region>(rgn, qlw::gdi::Kind::Region);
  QPainterPath p;
  p.addRegion(r->region);
  return Combine(p, false, mode);  // an HRGN is in device units already
}
Status Graphics::ResetClip() {
  m_st.clipped = false;
  m_st.clip = QPainterPath();
  return Ok;
}
Status Graphics::TranslateClip(REAL dx, REAL dy) {
  if (m_st.clipped) m_st.clip = m_st.world.map(m_st.world.inverted().map(m_st.clip).translated(dx, dy));
  return Ok;
}
Status Graphics::GetClip(Region* region) const {
  if (!region) return InvalidParameter;
  region->SetQ(m_st.clipped ? m_st.world.inverted().map(m_st.clip) : QPainterPath(), !m_st.clipped);
  return Ok;
}
Status Graphics::GetClipBounds(RectF* rect) const {
  if (!rect) return InvalidParameter;
  QRectF r = m_st.clipped ? m_st.world.inverted().map(m_st.clip).boundingRect()
                          : QRectF(-4194304, -4194304, 8388608, 8388608);
  *rect = RectF(REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height()));
  return Ok;
}
Status Graphics::GetVisibleClipBounds(RectF* rect) const {
  if (!rect) return InvalidParameter;
  QPainterPath visible = RectPath(m_deviceBounds);
  if (m_st.clipped) visible = visible.intersected(m_st.clip);
  QRectF r = m_st.world.inverted().map(visible).boundingRect();
  *rect = RectF(REAL(r.x()), REAL(r.y()), REAL(r.width()), REAL(r.height()));
  return Ok;
}
BOOL Graphics::IsClipEmpty() const { return m_st.clipped && m_st.clip.simplified().isEmpty(); }
BOOL Graphics::IsVisible(REAL x, REAL y) const {
  QPointF d = m_st.world.map(QPointF(x, y));
  return m_deviceBounds.contains(d) && (!m_st.clipped || m_st.clip.contains(d));
}
BOOL Graphics::IsVisible(const RectF& rect) const {
  QPainterPath d = m_st.world.map(RectPath(QRectF(rect.X, rect.Y, rect.Width, rect.Height)));
  if (!d.intersects(m_deviceBounds)) return FALSE;
  return !m_st.clipped || m_st.clip.intersects(d);
}

// Fills a world-space path. A path-gradient brush paints only inside its own path.
Status Graphics::Fill(const QPainterPath& path, const Brush* brush) {
  if (!m_painter) return SetStatus(InvalidParameter);
  if (!brush) return SetStatus(InvalidParameter);
  QPainterPath shape = path;
  QPainterPath coverage = brush->Coverage();
  if (!coverage.isEmpty()) shape = shape.intersected(coverage);
  QBrush qb = brush->Q(m_st.world, shape.boundingRect());
  if (m_metafile) {
    QPainterPath device = m_st.world.map(shape);
    if (m_st.clipped) device = device.intersected(m_st.clip);
    qb.setTransform(qb.transform() * m_st.world);
    m_drawn = true;
    m_painter->save();
    m_painter->setTransform(m_base);
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->fillPath(device, qb);
    m_painter->restore();
    return Ok;
  }
  Begin();
  // A fill makes a span or a few per row: a shape a few rows high stays on this thread.
  const QRectF box = m_painter->transform().mapRect(shape.controlPointRect());
  if (!FillInBands(shape, qb, box))
    PaintLarge(m_painter, box.height() > 48 ? box : QRectF(), [&] { m_painter->fillPath(shape, qb); });
  End();
  return Ok;
}

// Strokes a world-space path. An inset pen on a closed shape draws inside it: the band of the
// pen's width along the outline, within the shape.
Status Graphics::Stroke(const QPainterPath& path, const Pen* pen, bool closedShape) {
  if (!m_painter) return SetStatus(InvalidParameter);
  if (!pen) return SetStatus(InvalidParameter);
  QRectF bounds = path.boundingRect();
  QPen qp = pen->Q(m_st.world, bounds);
  const Brush* penBrush = pen->GetBrushObject();
  if (pen->GetAlignment() == PenAlignmentInset && closedShape && pen->GetWidth() > 0 && !m_metafile) {
    Begin();
    PaintLarge(m_painter, m_painter->transform().mapRect(bounds),
               [&] { StrokeInset(*m_painter, path, qp, pen->GetWidth()); });
    End();
    return Ok;
  }
  if (pen->GetAlignment() == PenAlignmentInset && closedShape && pen->GetWidth() > 0) {
    // A recording keeps no clips: the band itself, the shape's inside of the wide stroke.
    QPainterPathStroker stroker(qp);
    stroker.setWidth(2.0 * pen->GetWidth());
    stroker.setJoinStyle(Qt::MiterJoin);
    QPainterPath filled = path;
    filled.setFillRule(Qt::WindingFill);
    QPainterPath band = stroker.createStroke(path).intersected(filled);
    return Fill(band, penBrush);
  }
  if (m_metafile) {
    QPainterPath outline;
    if (qp.isCosmetic()) {
      QPainterPathStroker stroker(qp);
      stroker.setWidth(1);
      outline = stroker.createStroke(m_st.world.map(path));
    } else {
      outline = m_st.world.map(QPainterPathStroker(qp).createStroke(path));
    }
    if (m_st.clipped) outline = outline.intersected(m_st.clip);
    QBrush qb = qp.brush();
    qb.setTransform(qb.transform() * m_st.world);
    m_drawn = true;
    m_painter->save();
    m_painter->setTransform(m_base);
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->fillPath(outline, qb);
    m_painter->restore();
    return Ok;
  }
  if (StrokeSmall(path, qp)) return Ok;
  // The engine rasterizes a stroke's whole outline, seen or not: a curve magnified past the
  // image's edges would cost a second.
  QPainterPath cut;
  const bool isCut = CutToImage(path, qp, cut);
  const QPainterPath& stroked = isCut ? cut : path;
  if (isCut) bounds = cut.boundingRect();
  Begin();
  const QRectF deviceBounds = m_painter->transform().mapRect(bounds);
  if (StrokeInPieces(*m_painter, stroked, qp) || StrokeInBands(stroked, qp, deviceBounds)) {
    End();
    return Ok;
  }
  // The engine steps a thin line pixel by pixel on the calling thread whatever its length: handing
  // it to the pool would only add a wait.
  if (IsThinPen(qp, m_painter->transform()) && !ManyFigures(stroked))
    m_painter->strokePath(stroked, qp);
  else
    PaintLarge(m_painter, deviceBounds, [&] { m_painter->strokePath(stroked, qp); });
  End();
  return Ok;
}

bool Graphics::StrokeInPieces(QPainter& painter, const QPainterPath& path, const QPen& pen) const {
  constexpr int kPiece = 8;
  const int n = path.elementCount();
  if (n <= 2 * kPiece || !painter.testRenderHint(QPainter::Antialiasing)) return false;
  if (pen.style() != Qt::SolidLine || pen.joinStyle() != Qt::RoundJoin || pen.brush().style() != Qt::SolidPattern)
    return false;
  const QTransform& toDevice = painter.transform();
  const double width = pen.isCosmetic() ? pen.widthF() : pen.widthF() * std::sqrt(std::fabs(toDevice.determinant()));
  if (width <= 1.5) return false;
  for (int i = 0; i < n; ++i)
    if (path.elementAt(i).type == QPainterPath::CurveToElement) return false;
  // Round caps where the pieces meet draw the round joins.
  QPen piecePen = pen;
  piecePen.setCapStyle(Qt::RoundCap);
  QPainterPath piece;
  int segments = 0;
  std::vector<QPainterPath> pieces;
  auto flush = [&] {
    if (segments > 0) pieces.push_back(piece);
    piece = QPainterPath();
    segments = 0;
  };
  QPointF last;
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    const QPointF point(e.x, e.y);
    if (e.isMoveTo()) {
      flush();
      piece.moveTo(point);
    } else {
      if (segments == kPiece) {
        flush();
        piece.moveTo(last);
      }
      piece.lineTo(point);
      ++segments;
    }
    last = point;
  }
  flush();
  if (&painter == m_painter && StrokePiecesInBands(pieces, piecePen)) return true;
  PaintLarge(&painter, toDevice.mapRect(path.controlPointRect()), [&] {
    for (const QPainterPath& p : pieces) painter.strokePath(p, piecePen);
  });
  return true;
}

bool Graphics::StrokePiecesInBands(const std::vector<QPainterPath>& pieces, const QPen& pen) const {
  QImage* own = OwnImage();
  QThreadPool* pool = BandPool();
  if (!own || !pool) return false;
  QImage& image = *own;
  const QTransform toDevice = m_painter->transform();
  // Where each piece can leave pixels: its points, half the pen (round caps and joins) and a pixel
  // of anti-aliasing out.
  const double half = pen.isCosmetic() ? 0 : pen.widthF() / 2, reach = (pen.isCosmetic() ? pen.widthF() / 2 : 0) + 2;
  std::vector<std::pair<double, double>> rows(pieces.size());
  double low = image.height(), high = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const QRectF box = toDevice.mapRect(pieces[i].controlPointRect().adjusted(-half, -half, half, half));
    rows[i] = {box.top() - reach, box.bottom() + reach};
    low = std::min(low, rows[i].first);
    high = std::max(high, rows[i].second);
  }
  const int top = std::max(0, int(std::floor(low))), bottom = std::min(image.height(), int(std::ceil(high)));
  const int bands = std::min({8, pool->maxThreadCount(), (bottom - top) / 48});
  if (bands < 2) return false;
  const bool antialias = m_painter->testRenderHint(QPainter::Antialiasing);
  const QPainter::CompositionMode mode = m_painter->compositionMode();
  uchar* const bits = image.bits();
  RunInBands(pool, top, bottom, bands, [&](int from, int to) {
    // The band's rows as the painter's system clip: the engine then rasterizes only those rows,
    // where a clip alone would keep them but still rasterize every row of each piece.
    QImage view(bits, image.width(), image.height(), image.bytesPerLine(), image.format());
    view.paintEngine()->setSystemClip(QRegion(0, from, image.width(), to - from));
    QPainter painter(&view);
    SetUpBandPainter(painter, QRect(0, from, image.width(), to - from), toDevice, antialias);
    painter.setCompositionMode(mode);
    for (size_t i = 0; i < pieces.size(); ++i)
      if (rows[i].second >= from && rows[i].first <= to) painter.strokePath(OwnCopy(pieces[i]), pen);
  });
  m_drawn = true;
  return true;
}

QImage* Graphics::OwnImage() const {
  if (m_metafile || m_handedOutDc || !m_bitmap || !m_painter) return nullptr;
  QPaintDevice* device = m_painter->device();
  if (!device || device->devType() != QInternal::Image) return nullptr;
  QImage* image = static_cast<QImage*>(device);
  return image->devicePixelRatio() == 1.0 ? image : nullptr;
}

bool Graphics::BandsMayStroke(const QPen& pen, size_t pointCount) const {
  if (!OwnImage() || pointCount < 256) return false;
  // Only the engine's thin-line stroker with flat caps: it steps each segment from its own ends
  // and clips by pixels, so a band gets exactly the pixels the whole stroke gives there from the
  // segments that reach it (a cap would move the end of a segment that starts a piece).
  const QTransform toDevice = m_st.world * m_base;
  return toDevice.type() <= QTransform::TxTranslate && pen.style() == Qt::SolidLine &&
         pen.brush().style() == Qt::SolidPattern && pen.widthF() <= 1 && pen.capStyle() == Qt::FlatCap;
}

bool Graphics::BandsCanStroke(const std::vector<QPointF>& points, const QPen& pen, const QRectF& deviceBounds,
                              int& top, int& bottom) const {
  if (!BandsMayStroke(pen, points.size())) return false;
  const QImage& image = *OwnImage();
  top = std::max(0, int(std::floor(deviceBounds.top())) - 2);
  bottom = std::min(image.height(), int(std::ceil(deviceBounds.bottom())) + 2);
  if (bottom - top < 64) return false;
  // A long line: a smooth curve across the image strokes in less time than handing its bands to
  // the pool and waiting costs.
  double length = 0;
  for (size_t i = 1; i < points.size(); ++i)
    length += std::fabs(points[i].x() - points[i - 1].x()) + std::fabs(points[i].y() - points[i - 1].y());
  return length >= 8192;
}

namespace {
// The points of a single polyline; false for a bundle of figures (a grid) or curved segments.
bool PolylinePoints(const QPainterPath& path, std::vector<QPointF>& points) {
  const int n = path.elementCount();
  points.resize(size_t(n));
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (i > 0 && e.type != QPainterPath::LineToElement) return false;
    points[size_t(i)] = QPointF(e.x, e.y);
  }
  return n > 0;
}
}  // namespace

bool Graphics::StrokeInBands(const QPainterPath& path, const QPen& pen, const QRectF& deviceBounds) const {
  // Most strokes are turned away by the pen or the device: before their points are copied.
  if (!BandsMayStroke(pen, size_t(std::max(0, path.elementCount())))) return false;
  BandLine line{{}, pen, 0, 0};
  if (!PolylinePoints(path, line.points) || !BandsCanStroke(line.points, pen, deviceBounds, line.top, line.bottom))
    return false;
  return StrokeLinesInBands(&line, 1);
}

bool Graphics::StrokeLinesInBands(const BandLine* lines, size_t count) const {
  QThreadPool* pool = BandPool();
  if (!pool || count == 0) return false;
  QImage& image = *static_cast<QImage*>(m_painter->device());
  int top = image.height(), bottom = 0;
  for (size_t k = 0; k < count; ++k) {
    top = std::min(top, lines[k].top);
    bottom = std::max(bottom, lines[k].bottom);
  }
  const int bands = std::min({8, pool->maxThreadCount(), (bottom - top) / 32});
  if (bands < 2) return false;
  const QTransform toDevice = m_st.world * m_base;
  const double shiftY = toDevice.dy();
  // Bands of equal work rather than equal height: a pattern's curve spends most of its pixels
  // near its base line. A segment costs about a pixel step along its longer side, spread over
  // its rows, and a little for itself.
  const int rows = bottom - top;
  std::vector<double> work(size_t(rows) + 1, 0.0);
  for (size_t k = 0; k < count; ++k) {
    const std::vector<QPointF>& p = lines[k].points;
    for (size_t i = 1; i < p.size(); ++i) {
      const double low = std::min(p[i - 1].y(), p[i].y()) + shiftY, high = std::max(p[i - 1].y(), p[i].y()) + shiftY;
      const int first = std::clamp(int(std::floor(low)) - top, 0, rows - 1);
      const int last = std::clamp(int(std::floor(high)) - top, 0, rows - 1);
      const double steps = std::max(std::fabs(p[i].x() - p[i - 1].x()), high - low) + 8;
      const double each = steps / (last - first + 1);
      work[size_t(first)] += each;
      work[size_t(last) + 1] -= each;
    }
  }
  std::vector<int> edges{top};
  double total = 0, running = 0;
  for (int r = 0; r < rows; ++r) total += (running += work[size_t(r)]);
  running = 0;
  double done = 0;
  for (int r = 0, band = 1; r < rows && band < bands; ++r) {
    done += (running += work[size_t(r)]);
    if (done >= total * band / bands && r + 1 < rows && top + r + 1 > edges.back()) {
      edges.push_back(top + r + 1);
      ++band;
    }
  }
  edges.push_back(bottom);
  const bool antialias = m_st.smoothing == SmoothingModeAntiAlias || m_st.smoothing == SmoothingModeHighQuality;
  const QPainter::CompositionMode mode =
      m_st.compositing == CompositingModeSourceCopy ? QPainter::CompositionMode_Source : QPainter::CompositionMode_SourceOver;
  uchar* const bits = image.bits();
  const int pieces = int(edges.size()) - 1;
  RunInBands(pool, 0, pieces, pieces, [&](int piece, int) {
    const int from = edges[size_t(piece)], to = edges[size_t(piece) + 1];
    // A painter of its own on another image over the same pixels: a painter is never shared
    // across threads.
    QImage view(bits, image.width(), image.height(), image.bytesPerLine(), image.format());
    QPainter painter(&view);
    SetUpBandPainter(painter, QRect(0, from, image.width(), to - from), toDevice, antialias);
    painter.setCompositionMode(mode);
    const double low = from - 4 - shiftY, high = to + 4 - shiftY;
    for (size_t k = 0; k < count; ++k) {
      // Only rows the line's own stroke reaches: no line is drawn outside them.
      if (lines[k].bottom <= from || lines[k].top >= to) continue;
      // The segments that reach the band (a pixel or two of anti-aliasing beyond their ends), in
      // their order; a path of its own, since the engine caches its conversion in a path.
      QPainterPath own;
      bool open = false;
      const std::vector<QPointF>& p = lines[k].points;
      for (size_t i = 1; i < p.size(); ++i) {
        if (std::max(p[i - 1].y(), p[i].y()) < low || std::min(p[i - 1].y(), p[i].y()) > high) {
          open = false;
          continue;
        }
        if (!open) own.moveTo(p[i - 1]);
        own.lineTo(p[i]);
        open = true;
      }
      if (!own.isEmpty()) painter.strokePath(own, lines[k].pen);
    }
  });
  m_drawn = true;
  return true;
}

// A band's own painter: the graphics' clip and transform, its pixels only.
void Graphics::SetUpBandPainter(QPainter& painter, const QRect& band, const QTransform& toDevice, bool antialias) const {
  painter.setTransform(m_base);
  if (m_st.clipped) painter.setClipPath(m_st.clip);
  painter.setTransform(QTransform());
  painter.setClipRect(band, m_st.clipped ? Qt::IntersectClip : Qt::ReplaceClip);
  painter.setTransform(toDevice);
  painter.setRenderHint(QPainter::Antialiasing, antialias);
}

bool Graphics::FillInBands(const QPainterPath& shape, const QBrush& brush, const QRectF& deviceBounds) const {
  // Scanline fills: each row's coverage comes from the shape alone, a clip only keeps or drops it.
  QImage* own = OwnImage();
  if (!own || m_painter->hasClipping()) return false;
  QImage& image = *own;
  const QRectF onImage = deviceBounds & QRectF(0, 0, image.width(), image.height());
  if (onImage.width() * onImage.height() < 262144.0) return false;
  // One figure: a bundle of small ones far apart costs each band a pass over all of them.
  for (int i = 1, n = shape.elementCount(); i < n; ++i)
    if (shape.elementAt(i).isMoveTo()) return false;
  QThreadPool* pool = BandPool();
  if (!pool) return false;
  const int top = std::max(0, int(std::floor(onImage.top())) - 1);
  const int bottom = std::min(image.height(), int(std::ceil(onImage.bottom())) + 1);
  const int bands = std::min({8, pool->maxThreadCount(), (bottom - top) / 64});
  if (bands < 2) return false;
  // Laid out as the painter lays it: the state Begin gave it, a clip of the band's rows more.
  const QTransform toDevice = m_painter->transform();
  const bool antialias = m_painter->testRenderHint(QPainter::Antialiasing);
  const bool smooth = m_painter->testRenderHint(QPainter::SmoothPixmapTransform);
  const QPainter::CompositionMode mode = m_painter->compositionMode();
  const QPoint origin = m_painter->brushOrigin();
  uchar* const bits = image.bits();
  RunInBands(pool, top, bottom, bands, [&](int from, int to) {
    const QPainterPath own = OwnCopy(shape);
    QImage view(bits, image.width(), image.height(), image.bytesPerLine(), image.format());
    QPainter painter(&view);
    SetUpBandPainter(painter, QRect(0, from, image.width(), to - from), toDevice, antialias);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.setCompositionMode(mode);
    painter.setBrushOrigin(origin);
    painter.fillPath(own, brush);
  });
  m_drawn = true;
  return true;
}

bool Graphics::CutToImage(const QPainterPath& path, const QPen& pen, QPainterPath& cut) const {
  const int n = path.elementCount();
  if (n < 2 || m_metafile) return false;
  // Breaking the line restarts its dashes.
  if (pen.style() != Qt::SolidLine) return false;
  const QPaintDevice* device = m_painter->device();
  if (!device || device->devType() != QInternal::Image) return false;
  const QTransform toDevice = m_st.world * m_base;
  const double scale = pen.isCosmetic() ? 1.0 : std::sqrt(std::fabs(toDevice.determinant()));
  // Far enough out that a cap or join at a cut lies wholly off the image.
  const double reach = std::max(pen.widthF(), 1.0) * scale / 2 *
                           (pen.joinStyle() == Qt::MiterJoin ? std::max(pen.miterLimit(), 1.5) : 1.5) + 2;
  const QRectF area = QRectF(0, 0, device->width(), device->height()).adjusted(-reach, -reach, reach, reach);
  if (area.contains(toDevice.mapRect(path.controlPointRect()))) return false;
  for (int i = 0; i < n; ++i)
    if (path.elementAt(i).type == QPainterPath::CurveToElement) return false;
  // The part of the segment a→b (device points) inside the area, as parameters t0 ≤ t1 of the
  // segment; false when none is.
  auto clip = [&](const QPointF& a, const QPointF& b, double& t0, double& t1) {
    t0 = 0;
    t1 = 1;
    const double d[2] = {b.x() - a.x(), b.y() - a.y()};
    const double lo[2] = {area.left() - a.x(), area.top() - a.y()}, hi[2] = {area.right() - a.x(), area.bottom() - a.y()};
    for (int k = 0; k < 2; ++k) {
      if (d[k] == 0) {
        if (lo[k] > 0 || hi[k] < 0) return false;
        continue;
      }
      double enter = lo[k] / d[k], leave = hi[k] / d[k];
      if (enter > leave) std::swap(enter, leave);
      t0 = std::max(t0, enter);
      t1 = std::min(t1, leave);
      if (t0 > t1) return false;
    }
    return true;
  };
  bool changed = false, open = false;
  QPointF last = path.elementAt(0), lastDevice = toDevice.map(last);
  for (int i = 1; i < n; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    const QPointF point(e.x, e.y), pointDevice = toDevice.map(point);
    double t0 = 0, t1 = 1;
    if (e.isMoveTo()) {
      open = false;
    } else if (!clip(lastDevice, pointDevice, t0, t1)) {
      changed = true;
      open = false;
    } else {
      if (!open || t0 > 0) cut.moveTo(last + (point - last) * t0);
      cut.lineTo(last + (point - last) * t1);
      open = t1 >= 1;
      changed = changed || t0 > 0 || t1 < 1;
    }
    last = point;
    lastDevice = pointDevice;
  }
  return changed;
}

// A small anti-aliased stroke wider than a pixel onto a premultiplied image with no clip in the
// way, in an opaque solid colour: the pen's outline filled here in place of the engine's own fill.
// Thinner pens take the engine's line drawing, which this would not match.
bool Graphics::StrokeSmall(const QPainterPath& path, const QPen& pen) const {
  QPainterPath outline;
  QTransform placed;
  QRectF box;
  if (!SmallStrokeOutline(path, pen, outline, placed, box)) return false;
  FillSmallOutline(*static_cast<QImage*>(m_painter->device()), outline, placed, box, pen.color().rgba());
  m_drawn = true;
  return true;
}

bool Graphics::SmallStrokeOutline(const QPainterPath& path, const QPen& pen, QPainterPath& outline, QTransform& placed,
                                  QRectF& box) const {
  if (m_metafile || m_handedOutDc || m_painter->hasClipping()) return false;
  if (m_st.smoothing != SmoothingModeAntiAlias && m_st.smoothing != SmoothingModeHighQuality) return false;
  if (m_st.compositing != CompositingModeSourceOver) return false;
  if (pen.isCosmetic() || pen.style() != Qt::SolidLine || pen.brush().style() != Qt::SolidPattern) return false;
  const QRgb colour = pen.color().rgba();
  if (qAlpha(colour) != 255) return false;
  QPaintDevice* device = m_painter->device();
  if (!device || device->devType() != QInternal::Image) return false;
  QImage& image = *static_cast<QImage*>(device);
  if (image.format() != QImage::Format_ARGB32_Premultiplied || image.devicePixelRatio() != 1.0) return false;
  const QTransform toBase = m_st.world, toDevice = m_st.world * m_base;
  if (toDevice.type() > QTransform::TxTranslate || pen.widthF() <= 1) return false;
  const int n = path.elementCount();
  if (n == 0) return false;
  // Labels stroke the same shape at thousands of places: the outlines of the last few shapes are
  // kept, relative to their first point (to 1/4096 pixel), and moved into place.
  const QPointF origin = path.elementAt(0);
  thread_local std::vector<double> key;
  key.assign({pen.widthF(), double(pen.capStyle()), double(pen.joinStyle()), pen.miterLimit()});
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (e.type == QPainterPath::CurveToElement) return false;
    key.insert(key.end(), {double(e.type), std::round((e.x - origin.x()) * 4096), std::round((e.y - origin.y()) * 4096)});
  }
  struct Kept {
    std::vector<double> key;
    QPainterPath outline;
    QRectF bounds;
  };
  thread_local Kept kept[4];
  thread_local int nextKept = 0;
  const Kept* found = nullptr;
  for (const Kept& k : kept)
    if (k.key == key) found = &k;
  if (!found) {
    QPainterPath shape;
    for (std::size_t i = 4; i < key.size(); i += 3) {
      const QPointF p(key[i + 1] / 4096, key[i + 2] / 4096);
      if (key[i] == QPainterPath::MoveToElement)
        shape.moveTo(p);
      else
        shape.lineTo(p);
    }
    Kept& slot = kept[nextKept];
    nextKept = (nextKept + 1) % 4;
    slot.key = key;
    slot.outline = QPainterPathStroker(pen).createStroke(shape);
    slot.bounds = slot.outline.controlPointRect();
    found = &slot;
  }
  placed = QTransform::fromTranslate(origin.x(), origin.y()) * toDevice;
  box = placed.mapRect(found->bounds);
  if (!(box.width() + box.height() < 96)) return false;
  const QTransform toBasePlaced = QTransform::fromTranslate(origin.x(), origin.y()) * toBase;
  if (m_st.clipped && !m_st.clip.contains(toBasePlaced.mapRect(found->bounds).adjusted(-1, -1, 1, 1)))
    return false;
  outline = found->outline;
  return true;
}

Status Graphics::Clear(const Color& colour) {
  if (!m_painter) return SetStatus(InvalidParameter);
  m_drawn = true;
  if (m_bitmap && !m_st.clipped && m_bitmap->Q().format() == QImage::Format_ARGB32) {
    // Straight into the pixels: a painter would drop the colour of a transparent clear (0x00FFFFFF
    // must not become 0), and the bitmap is not premultiplied.
    m_bitmap->Q().fill(static_cast<uint>(colour.GetValue()));
    return Ok;
  }
  if (m_bitmap && !m_st.clipped && m_base.isIdentity() &&
      m_bitmap->Q().format() == QImage::Format_ARGB32_Premultiplied) {
    // The same pixels as the source fill below, without rasterizing a path over the whole bitmap;
    // a large one in bands on several threads, since one thread cannot write memory that fast.
    QImage& image = m_bitmap->Q();
    const QRgb value = qPremultiply(static_cast<QRgb>(colour.GetValue()));
    QThreadPool* pool = image.width() * image.height() >= 524288 ? BandPool() : nullptr;
    if (!pool) {
      image.fill(value);
      return Ok;
    }
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int width = image.width();
    RunInBands(pool, 0, image.height(), std::min(4, pool->maxThreadCount()), [&](int from, int to) {
      for (int y = from; y < to; ++y) std::fill_n(reinterpret_cast<QRgb*>(bits + y * stride), width, value);
    });
    return Ok;
  }
  QColor c(colour.GetR(), colour.GetG(), colour.GetB(), colour.GetA());
  QPainterPath all = RectPath(m_deviceBounds);
  if (m_st.clipped) all = all.intersected(m_st.clip);
  m_painter->save();
  m_painter->setTransform(m_base);
  m_painter->setCompositionMode(QPainter::CompositionMode_Source);
  m_painter->fillPath(all, c);
  m_painter->restore();
  return Ok;
}

Status Graphics::DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
  QPainterPath p;
  p.moveTo(x1, y1);
  p.lineTo(x2, y2);
  return Stroke(p, pen, false);
}
Status Graphics::DrawLines(const Pen* pen, const PointF* points, INT count) {
  if (!points || count < 2) return SetStatus(InvalidParameter);
  QPainterPath p;
  p.moveTo(points[0].X, points[0].Y);
  for (INT i = 1; i < count; ++i) p.lineTo(points[i].X, points[i].Y);
  return Stroke(p, pen, false);
}
Status Graphics::DrawRectangle(const Pen* pen, REAL x, REAL y, REAL w, REAL h) {
  return Stroke(RectPath(QRectF(x, y, w, h)), pen, true);
}
Status Graphics::DrawEllipse(const Pen* pen, REAL x, REAL y, REAL w, REAL h) {
  QPainterPath p;
  p.addEllipse(QRectF(x, y, w, h));
  return Stroke(p, pen, true);
}
Status Graphics::DrawArc(const Pen* pen, REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  GraphicsPath p;
  p.AddArc(x, y, w, h, start, sweep);
  return Stroke(p.Q(), pen, false);
}
Status Graphics::DrawBezier(const Pen* pen, const PointF& p1, const PointF& p2, const PointF& p3, const PointF& p4) {
  QPainterPath p;
  p.moveTo(p1.X, p1.Y);
  p.cubicTo(p2.X, p2.Y, p3.X, p3.Y, p4.X, p4.Y);
  return Stroke(p, pen, false);
}
Status Graphics::DrawPolygon(const Pen* pen, const PointF* points, INT count) {
  if (!points || count < 2) return SetStatus(InvalidParameter);
  QPolygonF poly;
  for (INT i = 0; i < count; ++i) poly << QPointF(points[i].X, points[i].Y);
  QPainterPath p;
  p.addPolygon(poly);
  p.closeSubpath();
  return Stroke(p, pen, true);
}
Status Graphics::DrawPath(const Pen* pen, const GraphicsPath* path) {
  if (!path) return SetStatus(InvalidParameter);
  const QPainterPath& q = path->Q();
  return Stroke(q, pen, AllFiguresClosed(q));
}
Status Graphics::FillRectangle(const Brush* brush, REAL x, REAL y, REAL w, REAL h) {
  return Fill(RectPath(QRectF(x, y, w, h)), brush);
}
Status Graphics::FillRectangles(const Brush* brush, const RectF* rects, INT count) {
  if (!rects || count < 0) return SetStatus(InvalidParameter);
  QPainterPath p;
  p.setFillRule(Qt::WindingFill);
  for (INT i = 0; i < count; ++i) p.addRect(QRectF(rects[i].X, rects[i].Y, rects[i].Width, rects[i].Height).normalized());
  return Fill(p, brush);
}
Status Graphics::FillRectanglesEach(const RectF* rects, const ARGB* colours, INT count) {
  if (!rects || !colours || count < 0) return SetStatus(InvalidParameter);
  if (!m_painter) return SetStatus(InvalidParameter);
  QThreadPool* pool = count >= 64 && m_bitmap && !m_metafile && !m_handedOutDc ? BandPool() : nullptr;
  QPaintDevice* device = m_painter->device();
  const bool image = device && device->devType() == QInternal::Image && device->devicePixelRatioF() == 1.0;
  if (!pool || !image || m_painter->hasClipping()) {
    for (INT i = 0; i < count; ++i) {
      SolidBrush brush{Color(colours[i])};
      if (const Status status = FillRectangle(&brush, rects[i]); status != Ok) return status;
    }
    return Ok;
  }
  QImage& target = *static_cast<QImage*>(device);
  const QTransform toDevice = m_st.world * m_base;
  std::vector<QRectF> shapes(count), onDevice(count);
  QRectF all;
  for (INT i = 0; i < count; ++i) {
    shapes[i] = QRectF(rects[i].X, rects[i].Y, rects[i].Width, rects[i].Height).normalized();
    onDevice[i] = toDevice.mapRect(shapes[i]);
    all |= onDevice[i];
  }
  const int top = std::max(0, int(std::floor(all.top())) - 1);
  const int bottom = std::min(target.height(), int(std::ceil(all.bottom())) + 1);
  const int bands = std::min({8, pool->maxThreadCount(), (bottom - top) / 32});
  if (bands < 2) {
    for (INT i = 0; i < count; ++i) {
      SolidBrush brush{Color(colours[i])};
      if (const Status status = FillRectangle(&brush, rects[i]); status != Ok) return status;
    }
    return Ok;
  }
  const bool antialias = m_st.smoothing == SmoothingModeAntiAlias || m_st.smoothing == SmoothingModeHighQuality;
  const QPainter::CompositionMode mode =
      m_st.compositing == CompositingModeSourceCopy ? QPainter::CompositionMode_Source : QPainter::CompositionMode_SourceOver;
  uchar* const bits = target.bits();
  // Each band fills, in their order, the rectangles that reach its rows, clipped to them: the
  // same pixels as the fills one after another.
  RunInBands(pool, top, bottom, bands, [&](int from, int to) {
    QImage view(bits, target.width(), target.height(), target.bytesPerLine(), target.format());
    QPainter painter(&view);
    SetUpBandPainter(painter, QRect(0, from, target.width(), to - from), toDevice, antialias);
    painter.setCompositionMode(mode);
    for (INT i = 0; i < count; ++i) {
      if (onDevice[i].bottom() < from - 1 || onDevice[i].top() > to + 1) continue;
      SolidBrush brush{Color(colours[i])};
      const QPainterPath shape = RectPath(shapes[i]);
      painter.fillPath(shape, brush.Q(m_st.world, shape.boundingRect()));
    }
  });
  m_drawn = true;
  return Ok;
}

Status Graphics::DrawLinesEach(const Pen* const* pens, const PointF* const* points, const INT* counts, INT count) {
  if (!pens || !points || !counts || count < 0) return SetStatus(InvalidParameter);
  if (!m_painter) return SetStatus(InvalidParameter);
  auto oneByOne = [&] {
    for (INT i = 0; i < count; ++i)
      if (const Status status = DrawLines(pens[i], points[i], counts[i]); status != Ok) return status;
    return Ok;
  };
  QPaintDevice* device = m_painter->device();
  if (count < 2 || !m_bitmap || m_metafile || m_handedOutDc || !device || device->devType() != QInternal::Image ||
      m_st.compositing != CompositingModeSourceOver)
    return oneByOne();
  QImage& target = *static_cast<QImage*>(device);
  const QTransform toDevice = m_st.world * m_base;
  if (target.format() != QImage::Format_ARGB32 || target.devicePixelRatio() != 1.0) {
    // Long thin curves that Stroke would each share out in bands: all of them in one set of bands,
    // each band stroking them in their order, so no band waits on another between curves.
    std::vector<BandLine> bandLines(static_cast<size_t>(count));
    const QRectF image(0, 0, target.width(), target.height());
    for (INT i = 0; i < count; ++i) {
      if (!pens[i] || !points[i] || counts[i] < 2) return oneByOne();
      BandLine& line = bandLines[size_t(i)];
      line.points.resize(size_t(counts[i]));
      double left = points[i][0].X, right = left, high = points[i][0].Y, low = high;
      for (INT k = 0; k < counts[i]; ++k) {
        const double x = points[i][k].X, y = points[i][k].Y;
        line.points[size_t(k)] = QPointF(x, y);
        left = std::min(left, x);
        right = std::max(right, x);
        high = std::min(high, y);
        low = std::max(low, y);
      }
      QRectF bounds(QPointF(left, high), QPointF(right, low));
      line.pen = pens[i]->Q(m_st.world, bounds);
      // Only a line reaching past the image can be cut to it.
      if (!image.contains(toDevice.mapRect(bounds))) {
        QPainterPath path, cut;
        path.moveTo(points[i][0].X, points[i][0].Y);
        for (INT k = 1; k < counts[i]; ++k) path.lineTo(points[i][k].X, points[i][k].Y);
        if (CutToImage(path, line.pen, cut)) {
          if (!PolylinePoints(cut, line.points)) return oneByOne();
          bounds = cut.boundingRect();
        }
      }
      if (!BandsCanStroke(line.points, line.pen, toDevice.mapRect(bounds), line.top, line.bottom)) return oneByOne();
    }
    if (!StrokeLinesInBands(bandLines.data(), bandLines.size())) return oneByOne();
    return Ok;
  }
  // Thin lines only, each the path Stroke would give the engine.
  std::vector<std::pair<QPainterPath, QPen>> lines(count);
  QRectF all;
  for (INT i = 0; i < count; ++i) {
    if (!pens[i] || !points[i] || counts[i] < 2) return oneByOne();
    QPainterPath path;
    path.moveTo(points[i][0].X, points[i][0].Y);
    for (INT k = 1; k < counts[i]; ++k) path.lineTo(points[i][k].X, points[i][k].Y);
    QPen pen = pens[i]->Q(m_st.world, path.boundingRect());
    if (!IsThinPen(pen, toDevice)) return oneByOne();
    QPainterPath cut;
    lines[i] = {CutToImage(path, pen, cut) ? cut : path, pen};
    all |= toDevice.mapRect(lines[i].first.controlPointRect());
  }
  // A non-premultiplied image whose pixels are all opaque holds the same bytes as its premultiplied
  // form, and opaque pixels stay opaque under source-over. Drawn as premultiplied, the engine
  // blends in place instead of converting every short span of a line there and back.
  const int top = std::max(0, int(std::floor(all.top())) - 3);
  const int bottom = std::min(target.height(), int(std::ceil(all.bottom())) + 3);
  if (top >= bottom) return oneByOne();
  for (int y = top; y < bottom; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(target.constScanLine(y));
    QRgb opaque = 0xFF000000u;
    for (int x = 0, w = target.width(); x < w; ++x) opaque &= row[x];
    if (opaque != 0xFF000000u) return oneByOne();
  }
  QImage view(target.bits(), target.width(), target.height(), target.bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&view);
  SetUpBandPainter(painter, QRect(0, top, target.width(), bottom - top), toDevice,
                   m_st.smoothing == SmoothingModeAntiAlias || m_st.smoothing == SmoothingModeHighQuality);
  for (const auto& [path, pen] : lines) painter.strokePath(path, pen);
  m_drawn = true;
  return Ok;
}

Status Graphics::FillEllipse(const Brush* brush, REAL x, REAL y, REAL w, REAL h) {
  QPainterPath p;
  p.addEllipse(QRectF(x, y, w, h));
  return Fill(p, brush);
}
Status Graphics::FillPolygon(const Brush* brush, const PointF* points, INT count, FillMode mode) {
  if (!points || count < 3) return SetStatus(InvalidParameter);
  QPolygonF poly;
  for (INT i = 0; i < count; ++i) poly << QPointF(points[i].X, points[i].Y);
  QPainterPath p;
  p.addPolygon(poly);
  p.closeSubpath();
  p.setFillRule(mode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  return Fill(p, brush);
}
Status Graphics::FillPath(const Brush* brush, const GraphicsPath* path) {
  if (!path) return SetStatus(InvalidParameter);
  return Fill(path->Q(), brush);
}
Status Graphics::FillRegion(const Brush* brush, const Region* region) {
  if (!region) return SetStatus(InvalidParameter);
  return Fill(region->Infinite() ? m_st.world.inverted().map(RectPath(m_deviceBounds)) : region->Q(), brush);
}

void DrawOnOneThread(const std::function<void()>& draw) {
  QThreadPool* pool = QThreadPool::globalInstance();
  if (!pool || pool->contains(QThread::currentThread())) {
    draw();
    return;
  }
  QSemaphore done;
  std::exception_ptr failure;
  pool->start([&] {
    try {
      draw();
    } catch (...) {
      failure = std::current_exception();  // thrown on where the caller can catch it
    }
    done.release();
  });
  done.acquire();
  if (failure) std::rethrow_exception(failure);
}

namespace {
// The engine shares out among its threads fills of 96 rows and more; bands of these many rows
// it keeps on the calling thread.
constexpr int kOwnThreadRows = 95;
constexpr qreal kNarrowImage = 64;
}  // namespace

Status Graphics::DrawImageRect(Image* image, const QRectF& dest, const QRectF& source, const ImageAttributes* attributes) {
  if (!m_painter) return SetStatus(InvalidParameter);
  if (!image) return SetStatus(InvalidParameter);
  if (auto* meta = dynamic_cast<Metafile*>(image)) {
    if (meta->Recording()) return SetStatus(WrongState);
    QRectF frame = meta->Frame();
    if (frame.isEmpty()) return Ok;
    Begin();
    if (m_metafile && m_st.clipped) {
      // Replaying into a recording: clip by the clip's bounds (the recording keeps no clips).
      m_painter->setTransform(m_base);
      m_painter->setClipRect(m_st.clip.boundingRect(), Qt::IntersectClip);
      m_painter->setTransform(m_st.world * m_base);
    }
    m_painter->translate(dest.x(), dest.y());
    m_painter->scale(dest.width() / source.width(), dest.height() / source.height());
    m_painter->translate(-source.x(), -source.y());
    m_painter->drawPicture(QPointF(0, 0), meta->Picture());
    End();
    return Ok;
  }
  auto* bitmap = dynamic_cast<Bitmap*>(image);
  if (!bitmap) return SetStatus(InvalidParameter);
  // Rectangles are in pixels here; the short DrawImage(x, y) form applies the resolutions.
  QImage pixels = attributes ? attributes->Apply(bitmap->Q()) : QImage();
  const QImage& src = attributes ? pixels : bitmap->Q();
  Begin();
  if (m_metafile && m_st.clipped) {
    m_painter->setTransform(m_base);
    m_painter->setClipRect(m_st.clip.boundingRect(), Qt::IntersectClip);
    m_painter->setTransform(m_st.world * m_base);
  }
  const QTransform t = m_painter->transform();
  auto whole = [](qreal v) { return v == std::round(v); };
  if (m_hwnd && !m_st.clipped && m_st.compositing == CompositingModeSourceCopy && dest.size() == source.size() &&
      t.type() <= QTransform::TxTranslate && whole(t.dx()) && whole(t.dy()) && whole(dest.x()) && whole(dest.y()) &&
      whole(source.x()) && whole(source.y()) && m_painter->hasClipping()) {
    // A copy onto a window paint whose update region has several pieces: piece by piece in
    // bands of rows, each a plain copy on this thread. Through the whole region at once the
    // engine goes pixel by pixel over every row, and hands taller copies to its threads, whose
    // wake-ups cost more than these small copies.
    const QRegion region = m_painter->clipRegion();
    if (region.rectCount() > 1) {
      const QPointF shift = source.topLeft() - dest.topLeft();
      for (const QRect& piece : region) {
        for (int top = piece.top(); top <= piece.bottom(); top += kOwnThreadRows) {
          const QRect band(piece.left(), top, piece.width(), std::min(kOwnThreadRows, piece.bottom() + 1 - top));
          const QRectF part = dest.intersected(QRectF(band));
          if (part.isEmpty()) continue;
          m_painter->setClipRect(band, Qt::ReplaceClip);
          m_painter->drawImage(part, src, part.translated(shift));
        }
      }
      End();
      return Ok;
    }
  }
  const QRectF onDevice = t.mapRect(dest);
  if (!m_metafile && m_bitmap && m_base.isIdentity() && t.type() <= QTransform::TxTranslate &&
      onDevice.width() <= kNarrowImage && onDevice.height() >= 1.5 * kOwnThreadRows) {
    // A tall narrow image (the shadow of a guide line): the engine would hand its rows to its
    // threads, whose wake-ups cost more than its few pixels. Drawn band by band of rows, each
    // clipped to whole pixel rows, it stays on this thread and samples as it would whole.
    for (int top = int(std::floor(onDevice.top())); top < onDevice.bottom(); top += kOwnThreadRows) {
      m_painter->save();
      m_painter->setTransform(QTransform());
      m_painter->setClipRect(QRect(int(std::floor(onDevice.left())) - 1, top, int(std::ceil(onDevice.width())) + 3, kOwnThreadRows),
                             Qt::IntersectClip);
      m_painter->setTransform(t);
      m_painter->drawImage(dest, src, source);
      m_painter->restore();
    }
    End();
    return Ok;
  }
  m_painter->drawImage(dest, src, source);
  End();
  return Ok;
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y) {
  if (!image) return SetStatus(InvalidParameter);
  RectF b;
  Unit u;
  image->GetBounds(&b, &u);
  // Drawn at its physical size: pixels scaled by the Graphics' DPI over the image's.
  REAL w = b.Width * m_dpiX / image->GetHorizontalResolution();
  REAL h = b.Height * m_dpiY / image->GetVerticalResolution();
  return DrawImageRect(image, QRectF(x, y, w, h), QRectF(b.X, b.Y, b.Width, b.Height), nullptr);
}
Status Graphics::DrawImage(Image* image, const RectF& d) { return DrawImage(image, d.X, d.Y, d.Width, d.Height); }
Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL w, REAL h) {
  if (!image) return SetStatus(InvalidParameter);
  RectF b;
  Unit u;
  image->GetBounds(&b, &u);
  return DrawImageRect(image, QRectF(x, y, w, h), QRectF(b.X, b.Y, b.Width, b.Height), nullptr);
}
Status Graphics::DrawImage(Image* image, const RectF& d, REAL sx, REAL sy, REAL sw, REAL sh, Unit unit,
                           const ImageAttributes* attributes) {
  if (unit != UnitPixel) return SetStatus(NotImplemented);
  return DrawImageRect(image, QRectF(d.X, d.Y, d.Width, d.Height), QRectF(sx, sy, sw, sh), attributes);
}

BandedDrawing::BandedDrawing(Graphics* graphics) : m_graphics(graphics) {}

bool BandedDrawing::Available() const {
  const Graphics* g = m_graphics;
  if (!g || !g->m_painter || !g->m_bitmap || g->m_metafile || g->m_handedOutDc || !BandPool()) return false;
  // A rectangle clips whole pixels, the same in a strip as across the image.
  if (g->m_st.clipped && !IsRectangle(g->m_st.clip)) return false;
  if (g->m_painter->hasClipping() || g->m_st.compositing != CompositingModeSourceOver) return false;
  if (!g->DrawsWholePixels()) return false;
  const QImage& image = *static_cast<const QImage*>(g->m_painter->device());
  return image.format() == QImage::Format_ARGB32_Premultiplied;
}

void BandedDrawing::Run(int left, int right, const std::function<void(Strip&)>& draw) {
  if (!Available()) return;
  QImage& image = *static_cast<QImage*>(m_graphics->m_painter->device());
  left = std::max(left, 0);
  right = std::min(right, image.width());
  if (right <= left) return;
  uchar* const bits = image.bits();  // here: never a detach on a pool thread
  m_graphics->m_drawn = true;
  QThreadPool* pool = BandPool();
  const int strips = std::min({8, pool->maxThreadCount(), (right - left) / 32});
  auto run = [&](int from, int to) {
    Strip strip(*m_graphics, bits, from, to);
    draw(strip);
  };
  if (strips < 2)
    run(left, right);
  else
    RunInBands(pool, left, right, strips, run);
}

BandedDrawing::Strip::Strip(const Graphics& graphics, uchar* bits, int from, int to)
    : m_graphics(graphics), m_from(from), m_to(to) {
  const QImage& image = *static_cast<const QImage*>(graphics.m_painter->device());
  m_view = QImage(bits, image.width(), image.height(), image.bytesPerLine(), image.format());
}

// Made only when a strip has the engine's work to do; set up as Begin sets up the Graphics'
// painter, and clipped to the strip.
QPainter& BandedDrawing::Strip::Painter() {
  if (!m_painter) {
    m_painter = std::make_unique<QPainter>(&m_view);
    const Graphics::State& st = m_graphics.m_st;
    m_graphics.SetUpBandPainter(*m_painter, QRect(m_from, 0, m_to - m_from, m_view.height()),
                                st.world * m_graphics.m_base,
                                st.smoothing == SmoothingModeAntiAlias || st.smoothing == SmoothingModeHighQuality);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, st.interpolation != InterpolationModeNearestNeighbor);
  }
  return *m_painter;
}

// As Graphics::Stroke draws on an image, each figure clipped to the strip's columns: the engine's
// scanlines and thin lines give a pixel the same value with or without such a clip.
Status BandedDrawing::Strip::DrawPath(const Pen* pen, const GraphicsPath* path) {
  if (!pen || !path) return InvalidParameter;
  const QPainterPath q = path->Q();
  const QPen qp = pen->Q(m_graphics.m_st.world, q.boundingRect());
  if (pen->GetAlignment() == PenAlignmentInset && AllFiguresClosed(q) && pen->GetWidth() > 0) {
    QPainter& painter = Painter();
    painter.save();
    StrokeInset(painter, q, qp, pen->GetWidth());
    painter.restore();
    return Ok;
  }
  QPainterPath outline;
  QTransform placed;
  QRectF box;
  if (m_graphics.SmallStrokeOutline(q, qp, outline, placed, box)) {
    FillSmallOutline(m_view, outline, placed, box, qp.color().rgba(), m_from, m_to);
    return Ok;
  }
  // Long lines as the Graphics strokes them (its bands of a thin line give the pixels of one stroke).
  QPainterPath cut;
  const QPainterPath& stroked = m_graphics.CutToImage(q, qp, cut) ? cut : q;
  QPainter& painter = Painter();
  if (!m_graphics.StrokeInPieces(painter, stroked, qp)) painter.strokePath(stroked, qp);
  return Ok;
}

Status BandedDrawing::Strip::FillPath(const Brush* brush, const GraphicsPath* path) {
  if (!brush || !path) return InvalidParameter;
  QPainterPath shape = path->Q();
  const QPainterPath coverage = brush->Coverage();
  if (!coverage.isEmpty()) shape = shape.intersected(coverage);
  Painter().fillPath(shape, brush->Q(m_graphics.m_st.world, shape.boundingRect()));
  return Ok;
}

Status BandedDrawing::Strip::DrawImage(Image* image, const RectF& dest, REAL srcX, REAL srcY, REAL srcWidth,
                                      REAL srcHeight, Unit srcUnit) {
  auto* bitmap = dynamic_cast<Bitmap*>(image);
  if (!bitmap) return InvalidParameter;
  if (srcUnit != UnitPixel) return NotImplemented;
  Painter().drawImage(QRectF(dest.X, dest.Y, dest.Width, dest.Height), bitmap->Q(),
                      QRectF(srcX, srcY, srcWidth, srcHeight));
  return Ok;
}

}  // namespace Gdiplus
