// Device contexts over QPainter: creation, attributes, clipping, shapes, blits and text.
#include "GdiInternal.h"
#include "WndQt.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_set>

using namespace qlw::gdi;

namespace {
std::mutex g_dcLock;
std::unordered_set<HDC>& LiveDCs() {
  static std::unordered_set<HDC> live;
  return live;
}

// Controls of the window layer draw their custom-draw cells into DCs made here.
const bool g_painterDCMakerInstalled = [] {
  qlw::SetPainterDCMaker([](QPainter* painter, const RECT& bounds) { return qlw::CreatePainterDC(painter, bounds); },
                         [](HDC dc) { qlw::DeletePainterDC(dc); });
  return true;
}();
}  // namespace

bool qlw::gdi::ValidDC(HDC dc) {
  std::lock_guard<std::mutex> lock(g_dcLock);
  return dc && LiveDCs().count(dc);
}

namespace {
bool Valid(HDC dc) { return qlw::gdi::ValidDC(dc); }
HDC Track(HDC dc) {
  std::lock_guard<std::mutex> lock(g_dcLock);
  LiveDCs().insert(dc);
  return dc;
}
void Untrack(HDC dc) {
  std::lock_guard<std::mutex> lock(g_dcLock);
  LiveDCs().erase(dc);
}

void Select(HDC, HGDIOBJ& slot, HGDIOBJ object) {
  if (Object* old = FromHandle(slot)) --old->selections;
  slot = object;
  if (Object* o = FromHandle(object)) ++o->selections;
}

void InitState(HDC dc) {
  Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.pen), GetStockObject(BLACK_PEN));
  Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.brush), GetStockObject(WHITE_BRUSH));
  Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.font), GetStockObject(DEFAULT_GUI_FONT));
}

void ReleaseSelections(HDC dc) {
  for (HGDIOBJ* slot : {reinterpret_cast<HGDIOBJ*>(&dc->s.pen), reinterpret_cast<HGDIOBJ*>(&dc->s.brush),
                        reinterpret_cast<HGDIOBJ*>(&dc->s.font), reinterpret_cast<HGDIOBJ*>(&dc->s.bitmap)})
    Select(dc, *slot, nullptr);
  for (auto& st : dc->saved)
    for (HGDIOBJ o : {HGDIOBJ(st.pen), HGDIOBJ(st.brush), HGDIOBJ(st.font), HGDIOBJ(st.bitmap)})
      if (Object* obj = FromHandle(o)) --obj->selections;
  dc->saved.clear();
}

HDC NewScratchDC() {
  auto* dc = new HDC__;
  dc->kind = HDC__::Kind::Scratch;
  dc->scratch = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
  dc->scratch.fill(0xFFFFFFFFu);
  dc->ownPainter = std::make_unique<QPainter>(&dc->scratch);
  dc->painter = dc->ownPainter.get();
  dc->deviceBounds = RECT{0, 0, 1, 1};
  InitState(dc);
  return Track(dc);
}

QPen PenOf(HDC dc) {
  auto* p = As<Pen>(dc->s.pen, Kind::Pen);
  if (!p || p->log.lopnStyle == PS_NULL) return QPen(Qt::NoPen);
  COLORREF c = p->dcPen ? dc->s.dcPenColour : p->log.lopnColor;
  QPen pen(ToQColor(c));
  pen.setWidthF(std::max<LONG>(1, p->log.lopnWidth.x));
  pen.setJoinStyle(Qt::MiterJoin);
  pen.setCapStyle(Qt::FlatCap);
  switch (p->log.lopnStyle) {
    case PS_DASH: pen.setStyle(Qt::DashLine); break;
    case PS_DOT: pen.setStyle(Qt::DotLine); break;
    case PS_DASHDOT: pen.setStyle(Qt::DashDotLine); break;
    case PS_DASHDOTDOT: pen.setStyle(Qt::DashDotDotLine); break;
    default: break;
  }
  return pen;
}

QBrush BrushOf(HDC dc, HBRUSH handle) {
  auto* b = As<Brush>(handle, Kind::Brush);
  if (!b || b->log.lbStyle == BS_NULL) return QBrush(Qt::NoBrush);
  QColor c = ToQColor(b->dcBrush ? dc->s.dcBrushColour : b->log.lbColor);
  if (b->log.lbStyle == BS_HATCHED) {
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern, Qt::FDiagPattern,
                                             Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(c, b->log.lbHatch < 6 ? hatches[b->log.lbHatch] : Qt::HorPattern);
  }
  return QBrush(c);
}

double PenWidth(HDC dc) {
  auto* p = As<Pen>(dc->s.pen, Kind::Pen);
  if (!p || p->log.lopnStyle == PS_NULL) return 0;
  return std::max<LONG>(1, p->log.lopnWidth.x);
}

// GDI's closed shapes cover [left, right) x [top, bottom); the outline is drawn inside.
template <typename Fn>
BOOL Shape(HDC dc, int left, int top, int right, int bottom, Fn draw) {
  if (!Valid(dc)) return FALSE;
  Scope p(dc);
  QRectF box(QPointF(std::min(left, right), std::min(top, bottom)), QPointF(std::max(left, right), std::max(top, bottom)));
  double w = PenWidth(dc);
  p->setPen(Qt::NoPen);
  p->setBrush(BrushOf(dc, dc->s.brush));
  draw(*p, box);
  if (w > 0) {
    p->setBrush(Qt::NoBrush);
    p->setPen(PenOf(dc));
    draw(*p, box.adjusted(w / 2, w / 2, -w / 2, -w / 2));
  }
  p.Touch(box);
  return TRUE;
}

}  // namespace

namespace qlw {
HDC CreatePainterDC(QPainter* painter, const RECT& bounds, int dpi) {
  if (!painter) return nullptr;
  auto* dc = new HDC__;
  dc->kind = HDC__::Kind::Painter;
  dc->painter = painter;
  dc->base = painter->transform();
  dc->deviceBounds = bounds;
  dc->dpi = dpi;
  if (painter->device()) dc->pixelRatio = std::max<qreal>(1, painter->device()->devicePixelRatioF());
  InitState(dc);
  return Track(dc);
}

void DeletePainterDC(HDC dc) { DeleteDC(dc); }

QPainter* PainterOf(HDC dc) { return Valid(dc) ? dc->painter : nullptr; }

HDC CreatePictureDC(const RECT& bounds, int dpi) {
  auto* dc = new HDC__;
  dc->kind = HDC__::Kind::Painter;
  dc->picture = std::make_unique<QPicture>();
  dc->ownPainter = std::make_unique<QPainter>(dc->picture.get());
  dc->painter = dc->ownPainter.get();
  dc->deviceBounds = bounds;
  dc->dpi = dpi;
  InitState(dc);
  return Track(dc);
}

bool FinishPictureDC(HDC dc, QPicture& picture) {
  if (!Valid(dc) || !dc->picture) return false;
  dc->ownPainter->end();
  picture = *dc->picture;
  DeleteDC(dc);
  return true;
}

HDC CreateScreenDC() { return NewScratchDC(); }
}  // namespace qlw

HDC CreateCompatibleDC(HDC source) {
  auto* dc = new HDC__;
  dc->kind = HDC__::Kind::Memory;
  if (Valid(source)) dc->pixelRatio = source->pixelRatio;
  dc->defaultBitmap = CreateBitmap(1, 1, 1, 1, nullptr);
  InitState(dc);
  Track(dc);
  SelectObject(dc, dc->defaultBitmap);
  return dc;
}

BOOL DeleteDC(HDC dc) {
  if (!Valid(dc)) return FALSE;
  Untrack(dc);
  if (dc->ownPainter && dc->ownPainter->isActive()) dc->ownPainter->end();
  if (auto* b = As<Bitmap>(dc->s.bitmap, Kind::Bitmap)) b->selectedInto = nullptr;
  ReleaseSelections(dc);
  if (dc->defaultBitmap) DeleteObject(dc->defaultBitmap);
  delete dc;
  return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!Valid(dc)) return 0;
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return dc->dpi;
    case HORZRES: return dc->deviceBounds.right - dc->deviceBounds.left;
    case VERTRES: return dc->deviceBounds.bottom - dc->deviceBounds.top;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    default: return 0;
  }
}

int SaveDC(HDC dc) {
  if (!Valid(dc)) return 0;
  dc->saved.push_back(dc->s);
  for (HGDIOBJ o : {HGDIOBJ(dc->s.pen), HGDIOBJ(dc->s.brush), HGDIOBJ(dc->s.font), HGDIOBJ(dc->s.bitmap)})
    if (Object* obj = FromHandle(o)) ++obj->selections;
  return int(dc->saved.size());
}

BOOL RestoreDC(HDC dc, int savedDc) {
  if (!Valid(dc)) return FALSE;
  int n = int(dc->saved.size());
  int index = savedDc < 0 ? n + savedDc : savedDc - 1;
  if (index < 0 || index >= n) return FALSE;
  HBITMAP bitmap = dc->saved[size_t(index)].bitmap;
  // Drop the newer levels and the current selection, then take the saved level's.
  for (HGDIOBJ* slot : {reinterpret_cast<HGDIOBJ*>(&dc->s.pen), reinterpret_cast<HGDIOBJ*>(&dc->s.brush),
                        reinterpret_cast<HGDIOBJ*>(&dc->s.font)})
    Select(dc, *slot, nullptr);
  HBITMAP current = dc->s.bitmap;
  for (int i = n - 1; i > index; --i)
    for (HGDIOBJ o : {HGDIOBJ(dc->saved[size_t(i)].pen), HGDIOBJ(dc->saved[size_t(i)].brush),
                      HGDIOBJ(dc->saved[size_t(i)].font), HGDIOBJ(dc->saved[size_t(i)].bitmap)})
      if (Object* obj = FromHandle(o)) --obj->selections;
  HDC__::State restored = dc->saved[size_t(index)];
  dc->saved.resize(size_t(index));
  dc->s.bitmap = current;
  restored.bitmap = current;
  dc->s = restored;
  if (dc->kind == HDC__::Kind::Memory && bitmap != current) {
    // The saved level's selection count moves back to the current slot through SelectObject.
    if (Object* obj = FromHandle(bitmap)) --obj->selections;
    SelectObject(dc, bitmap);
  } else if (Object* obj = FromHandle(bitmap)) {
    --obj->selections;
  }
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (!Valid(dc)) return nullptr;
  Object* o = FromHandle(object);
  if (!o) return nullptr;
  switch (o->kind) {
    case Kind::Pen: {
      HGDIOBJ old = dc->s.pen;
      Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.pen), object);
      return old;
    }
    case Kind::Brush: {
      HGDIOBJ old = dc->s.brush;
      Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.brush), object);
      return old;
    }
    case Kind::Font: {
      HGDIOBJ old = dc->s.font;
      Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.font), object);
      return old;
    }
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      if (dc->kind != HDC__::Kind::Memory || (b->selectedInto && b->selectedInto != dc)) return nullptr;
      HGDIOBJ old = dc->s.bitmap;
      if (dc->ownPainter && dc->ownPainter->isActive()) dc->ownPainter->end();
      if (auto* ob = As<Bitmap>(old, Kind::Bitmap)) ob->selectedInto = nullptr;
      Select(dc, reinterpret_cast<HGDIOBJ&>(dc->s.bitmap), object);
      b->selectedInto = dc;
      dc->ownPainter = std::make_unique<QPainter>(&b->image);
      dc->painter = dc->ownPainter.get();
      dc->base = QTransform();
      const qreal ratio = b->image.devicePixelRatio();
      dc->deviceBounds = RECT{0, 0, LONG(std::lround(b->image.width() / ratio)), LONG(std::lround(b->image.height() / ratio))};
      return old;
    }
    case Kind::Region: return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(SelectClipRgn(dc, static_cast<HRGN>(object))));
  }
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT kind) {
  if (!Valid(dc)) return nullptr;
  switch (kind) {
    case OBJ_PEN: return dc->s.pen;
    case OBJ_BRUSH: return dc->s.brush;
    case OBJ_FONT: return dc->s.font;
    case OBJ_BITMAP: return dc->s.bitmap;
    default: return nullptr;
  }
}

COLORREF SetTextColor(HDC dc, COLORREF c) {
  if (!Valid(dc)) return CLR_INVALID;
  return std::exchange(dc->s.textColour, c);
}
COLORREF GetTextColor(HDC dc) { return Valid(dc) ? dc->s.textColour : CLR_INVALID; }
COLORREF SetBkColor(HDC dc, COLORREF c) {
  if (!Valid(dc)) return CLR_INVALID;
  return std::exchange(dc->s.bkColour, c);
}
COLORREF GetBkColor(HDC dc) { return Valid(dc) ? dc->s.bkColour : CLR_INVALID; }
int SetBkMode(HDC dc, int mode) {
  if (!Valid(dc) || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->s.bkMode, mode);
}
int GetBkMode(HDC dc) { return Valid(dc) ? dc->s.bkMode : 0; }
UINT SetTextAlign(HDC dc, UINT align) {
  if (!Valid(dc)) return 0xFFFFFFFFu;
  return std::exchange(dc->s.textAlign, align);
}
COLORREF SetDCBrushColor(HDC dc, COLORREF c) {
  if (!Valid(dc)) return CLR_INVALID;
  return std::exchange(dc->s.dcBrushColour, c);
}
COLORREF SetDCPenColor(HDC dc, COLORREF c) {
  if (!Valid(dc)) return CLR_INVALID;
  return std::exchange(dc->s.dcPenColour, c);
}
BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT old) {
  if (!Valid(dc)) return FALSE;
  if (old) *old = dc->s.viewportOrg;
  dc->s.viewportOrg = POINT{x, y};
  return TRUE;
}
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
  if (!Valid(dc) || !origin) return FALSE;
  *origin = dc->s.viewportOrg;
  return TRUE;
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT old) {
  if (!Valid(dc)) return FALSE;
  if (old) *old = dc->s.viewportOrg;
  dc->s.viewportOrg.x += dx;
  dc->s.viewportOrg.y += dy;
  return TRUE;
}

// Clipping: regions are kept in device coordinates; the calls take logical ones.
namespace {
QRegion VisibleRegion(HDC dc) {
  const RECT& b = dc->deviceBounds;
  QRegion all(QRect(b.left, b.top, b.right - b.left, b.bottom - b.top));
  return dc->s.clipped ? all.intersected(dc->s.clip) : all;
}
QRect DeviceRect(HDC dc, int left, int top, int right, int bottom) {
  return QRect(QPoint(left + dc->s.viewportOrg.x, top + dc->s.viewportOrg.y),
               QSize(right - left, bottom - top));
}
int ClipKind(HDC dc) {
  QRegion r = VisibleRegion(dc);
  return r.isEmpty() ? NULLREGION : (r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION);
}
}  // namespace

int GetClipBox(HDC dc, LPRECT rect) {
  if (!Valid(dc) || !rect) return ERROR;
  QRect box = VisibleRegion(dc).boundingRect();
  if (box.isEmpty()) *rect = RECT{0, 0, 0, 0};
  else
    *rect = RECT{box.left() - dc->s.viewportOrg.x, box.top() - dc->s.viewportOrg.y,
                 box.left() + box.width() - dc->s.viewportOrg.x, box.top() + box.height() - dc->s.viewportOrg.y};
  return ClipKind(dc);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (!Valid(dc)) return ERROR;
  dc->s.clip = VisibleRegion(dc).subtracted(QRegion(DeviceRect(dc, left, top, right, bottom)));
  dc->s.clipped = true;
  return ClipKind(dc);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (!Valid(dc)) return ERROR;
  dc->s.clip = VisibleRegion(dc).intersected(QRegion(DeviceRect(dc, left, top, right, bottom)));
  dc->s.clipped = true;
  return ClipKind(dc);
}

int SelectClipRgn(HDC dc, HRGN rgn) {
  if (!Valid(dc)) return ERROR;
  if (!rgn) {
    dc->s.clipped = false;
    dc->s.clip = QRegion();
    return ClipKind(dc);
  }
  auto* r = As<Region>(rgn, Kind::Region);
  if (!r) return ERROR;
  dc->s.clip = r->region;  // region coordinates are device coordinates, as in GDI
  dc->s.clipped = true;
  return ClipKind(dc);
}

BOOL PtVisible(HDC dc, int x, int y) {
  return Valid(dc) && VisibleRegion(dc).contains(QPoint(x + dc->s.viewportOrg.x, y + dc->s.viewportOrg.y));
}
BOOL RectVisible(HDC dc, const RECT* rect) {
  return Valid(dc) && rect &&
         VisibleRegion(dc).intersects(DeviceRect(dc, rect->left, rect->top, rect->right, rect->bottom));
}

UINT GetBoundsRect(HDC dc, LPRECT rect, UINT flags) {
  if (!Valid(dc) || !rect) return 0;
  QRect b = dc->drawnBounds;
  UINT result = b.isEmpty() ? DCB_RESET : DCB_SET;
  *rect = b.isEmpty() ? RECT{0, 0, 0, 0}
                      : RECT{b.left() - dc->s.viewportOrg.x, b.top() - dc->s.viewportOrg.y,
                             b.left() + b.width() - dc->s.viewportOrg.x, b.top() + b.height() - dc->s.viewportOrg.y};
  if (flags & DCB_RESET) dc->drawnBounds = QRect();
  return result;
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT old) {
  if (!Valid(dc)) return FALSE;
  if (old) *old = dc->s.current;
  dc->s.current = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  if (!Valid(dc)) return FALSE;
  Scope p(dc);
  POINT from = dc->s.current;
  QPen pen = PenOf(dc);
  p->setPen(pen);
  // GDI leaves out the end point: stop one pixel short along the line, through pixel centres.
  double dx = x - from.x, dy = y - from.y, len = std::hypot(dx, dy);
  if (len >= 1 && pen.style() != Qt::NoPen) {
    QPointF a(from.x + 0.5, from.y + 0.5), b(x + 0.5 - dx / len, y + 0.5 - dy / len);
    if (pen.widthF() <= 1) p->drawLine(a, b);
    else p->drawLine(QPointF(from.x, from.y), QPointF(x, y));
    p.Touch(QRectF(a, b).normalized().adjusted(-pen.widthF(), -pen.widthF(), pen.widthF(), pen.widthF()));
  }
  dc->s.current = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  if (!Valid(dc) || !points || count < 2) return FALSE;
  POINT saved = dc->s.current;
  MoveToEx(dc, points[0].x, points[0].y, nullptr);
  for (int i = 1; i < count; ++i) LineTo(dc, points[i].x, points[i].y);
  dc->s.current = saved;
  return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  if (!Valid(dc) || !points || count < 2) return FALSE;
  Scope p(dc);
  QPolygonF poly;
  for (int i = 0; i < count; ++i) poly << QPointF(points[i].x, points[i].y);
  p->setBrush(BrushOf(dc, dc->s.brush));
  p->setPen(Qt::NoPen);
  p->drawPolygon(poly);
  p->setBrush(Qt::NoBrush);
  p->setPen(PenOf(dc));
  p->drawPolygon(poly.translated(0.5, 0.5));
  p.Touch(poly.boundingRect());
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return Shape(dc, left, top, right, bottom, [](QPainter& p, const QRectF& r) { p.drawRect(r); });
}
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  return Shape(dc, left, top, right, bottom,
               [&](QPainter& p, const QRectF& r) { p.drawRoundedRect(r, width / 2.0, height / 2.0); });
}
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return Shape(dc, left, top, right, bottom, [](QPainter& p, const QRectF& r) { p.drawEllipse(r); });
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (!Valid(dc) || !rect) return 0;
  // A system colour index + 1 stands for that colour's brush.
  if (reinterpret_cast<uintptr_t>(brush) <= 32 && brush)
    brush = GetSysColorBrush(int(reinterpret_cast<uintptr_t>(brush)) - 1);
  Scope p(dc);
  QRectF r(QPointF(rect->left, rect->top), QPointF(rect->right, rect->bottom));
  p->fillRect(r, BrushOf(dc, brush));
  p.Touch(r);
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (!Valid(dc) || !rect || rect->right <= rect->left || rect->bottom <= rect->top) return 0;
  QBrush b = BrushOf(dc, brush);
  Scope p(dc);
  const RECT& r = *rect;
  p->fillRect(QRect(r.left, r.top, r.right - r.left, 1), b);
  p->fillRect(QRect(r.left, r.bottom - 1, r.right - r.left, 1), b);
  p->fillRect(QRect(r.left, r.top, 1, r.bottom - r.top), b);
  p->fillRect(QRect(r.right - 1, r.top, 1, r.bottom - r.top), b);
  p.Touch(QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top));
  return 1;
}

BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
  auto* r = As<Region>(rgn, Kind::Region);
  if (!Valid(dc) || !r) return FALSE;
  Scope p(dc);
  QPainterPath path;
  path.addRegion(r->region);
  p->fillPath(path, BrushOf(dc, brush));
  p.Touch(path.boundingRect());
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  if (!Valid(dc) || !rect) return FALSE;
  Scope p(dc);
  // Exclusive-or with white inverts what lies under the dots (black would leave it unchanged),
  // so that a second call takes the rectangle away again.
  QPen pen(Qt::white);
  pen.setStyle(Qt::DotLine);
  pen.setWidth(1);
  p->setPen(pen);
  p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p->setBrush(Qt::NoBrush);
  p->drawRect(QRectF(rect->left + 0.5, rect->top + 0.5, rect->right - rect->left - 1, rect->bottom - rect->top - 1));
  return TRUE;
}

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
  if (!Valid(dc) || !rect) return FALSE;
  Scope p(dc);
  QColor light = ToQColor(GetSysColor(20)), shadow = ToQColor(GetSysColor(16));
  QColor dark = ToQColor(GetSysColor(21)), mid = ToQColor(GetSysColor(22));
  RECT r = *rect;
  auto ring = [&](QColor topLeft, QColor bottomRight) {
    if (flags & BF_TOP) p->fillRect(QRect(r.left, r.top, r.right - r.left, 1), topLeft);
    if (flags & BF_LEFT) p->fillRect(QRect(r.left, r.top, 1, r.bottom - r.top), topLeft);
    if (flags & BF_BOTTOM) p->fillRect(QRect(r.left, r.bottom - 1, r.right - r.left, 1), bottomRight);
    if (flags & BF_RIGHT) p->fillRect(QRect(r.right - 1, r.top, 1, r.bottom - r.top), bottomRight);
    r.left += 1, r.top += 1, r.right -= 1, r.bottom -= 1;
  };
  if (edge & BDR_RAISEDOUTER) ring(mid, dark);
  else if (edge & BDR_SUNKENOUTER) ring(shadow, light);
  if (edge & BDR_RAISEDINNER) ring(light, shadow);
  else if (edge & BDR_SUNKENINNER) ring(dark, mid);
  return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (!Valid(dc)) return FALSE;
  Scope p(dc);
  QRectF r(x, y, width, height);
  if (rop == BLACKNESS) p->fillRect(r.normalized(), Qt::black);
  else if (rop == WHITENESS) p->fillRect(r.normalized(), Qt::white);
  else p->fillRect(r.normalized(), BrushOf(dc, dc->s.brush));
  p.Touch(r.normalized());
  return TRUE;
}

namespace {
// The source DC's pixels in device coordinates: the selected bitmap's image, or a grab of the
// painter's device when it is an image.
const QImage* SourceImage(HDC src) {
  if (src->kind == HDC__::Kind::Memory) {
    auto* b = As<Bitmap>(src->s.bitmap, Kind::Bitmap);
    return b ? &b->image : nullptr;
  }
  if (src->kind == HDC__::Kind::Scratch) return &src->scratch;
  if (src->painter && src->painter->device() && src->painter->device()->devType() == QInternal::Image)
    return static_cast<QImage*>(src->painter->device());
  return nullptr;
}
}  // namespace

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  if (!Valid(dst)) return FALSE;
  if (!src || rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY) return PatBlt(dst, x, y, width, height, rop);
  if (!Valid(src)) return FALSE;
  const QImage* image = SourceImage(src);
  if (!image) return FALSE;
  // The source in its own pixels: a buffer made at the device pixel ratio keeps its detail.
  const qreal ratio = image->devicePixelRatio();
  QRectF logical(srcX + src->s.viewportOrg.x, srcY + src->s.viewportOrg.y, srcWidth, srcHeight);
  QRect from = QRectF(logical.topLeft() * ratio, logical.size() * ratio).toRect();
  QImage piece = image->copy(from);
  Scope p(dst);
  p->setCompositionMode(rop == SRCAND   ? QPainter::RasterOp_SourceAndDestination
                        : rop == SRCPAINT ? QPainter::RasterOp_SourceOrDestination
                                          : QPainter::CompositionMode_Source);
  // GDI copies bytes, alpha included; a painter on a premultiplied device takes them as they come.
  p->drawImage(QRectF(x, y, width, height), piece);
  p.Touch(QRectF(x, y, width, height));
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  return StretchBlt(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (!Valid(dc)) return CLR_INVALID;
  const QImage* image = SourceImage(dc);
  const qreal ratio = image ? image->devicePixelRatio() : 1;
  QPoint pt(int((x + dc->s.viewportOrg.x) * ratio), int((y + dc->s.viewportOrg.y) * ratio));
  if (!image || !image->rect().contains(pt)) return CLR_INVALID;
  QRgb px = image->pixel(pt);
  return RGB(qRed(px), qGreen(px), qBlue(px));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  if (!Valid(dc)) return CLR_INVALID;
  Scope p(dc);
  p->fillRect(QRect(x, y, 1, 1), ToQColor(colour));
  p.Touch(QRectF(x, y, 1, 1));
  return colour;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT) {
  auto* b = As<Bitmap>(bitmap, Kind::Bitmap);
  if (!b || !info) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  int width = b->image.width(), height = b->image.height();
  if (!bits) {
    if (h.biBitCount == 0) {
      h.biSize = sizeof(BITMAPINFOHEADER);
      h.biWidth = width;
      h.biHeight = height;
      h.biPlanes = 1;
      h.biBitCount = 32;
      h.biCompression = BI_RGB;
      h.biXPelsPerMeter = b->xPelsPerMeter;
      h.biYPelsPerMeter = b->yPelsPerMeter;
    }
    h.biSizeImage = DWORD(width) * 4 * DWORD(height);
    return height;
  }
  if (h.biBitCount != 32 || h.biWidth != width) return 0;
  bool topDown = h.biHeight < 0;
  UINT copied = 0;
  for (UINT i = 0; i < lines && start + i < UINT(height); ++i) {
    // Row i of the DIB counts from its first row in memory: the bottom for a bottom-up DIB.
    int dibRow = int(start + i);
    int imageRow = topDown ? dibRow : height - 1 - dibRow;
    std::memcpy(static_cast<uint8_t*>(bits) + size_t(i) * width * 4, b->image.constScanLine(imageRow), size_t(width) * 4);
    ++copied;
  }
  return int(copied);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT) {
  auto* b = As<Bitmap>(bitmap, Kind::Bitmap);
  if (!b || !info || !bits || info->bmiHeader.biBitCount != 32 || info->bmiHeader.biWidth != b->image.width())
    return 0;
  int width = b->image.width(), height = b->image.height();
  bool topDown = info->bmiHeader.biHeight < 0;
  UINT copied = 0;
  for (UINT i = 0; i < lines && start + i < UINT(height); ++i) {
    int dibRow = int(start + i);
    int imageRow = topDown ? dibRow : height - 1 - dibRow;
    std::memcpy(b->image.scanLine(imageRow), static_cast<const uint8_t*>(bits) + size_t(i) * width * 4, size_t(width) * 4);
    ++copied;
  }
  return int(copied);
}
