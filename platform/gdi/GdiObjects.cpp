// GDI objects as handles: pens, brushes, fonts, bitmaps, regions, stock objects and their queries.
#include "GdiInternal.h"

#include "Resources.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace qlw::gdi {
namespace {
std::mutex g_objectLock;
std::unordered_set<Object*>& Live() {
  static std::unordered_set<Object*> live;
  return live;
}
}  // namespace

Object* FromHandle(HGDIOBJ handle) {
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> lock(g_objectLock);
  auto* o = static_cast<Object*>(handle);
  return Live().count(o) ? o : nullptr;
}

HGDIOBJ Register(Object* object) {
  std::lock_guard<std::mutex> lock(g_objectLock);
  Live().insert(object);
  return object;
}

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
COLORREF FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

namespace {
template <typename T>
T* MakeStock() {
  auto* o = new T;
  o->stock = true;
  Register(o);
  return o;
}
}  // namespace

HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

}  // namespace qlw::gdi

using namespace qlw::gdi;

HGDIOBJ GetStockObject(int index) {
  static HGDIOBJ stock[20] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    auto brush = [](COLORREF c, UINT style = BS_SOLID) {
      auto* b = MakeStock<Brush>();
      b->log = LOGBRUSH{style, c, 0};
      return static_cast<HGDIOBJ>(b);
    };
    auto pen = [](COLORREF c, UINT style = PS_SOLID) {
      auto* p = MakeStock<Pen>();
      p->log = LOGPEN{style, {1, 0}, c};
      return static_cast<HGDIOBJ>(p);
    };
    stock[WHITE_BRUSH] = brush(RGB(255, 255, 255));
    stock[LTGRAY_BRUSH] = brush(RGB(192, 192, 192));
    stock[GRAY_BRUSH] = brush(RGB(128, 128, 128));
    stock[DKGRAY_BRUSH] = brush(RGB(64, 64, 64));
    stock[BLACK_BRUSH] = brush(RGB(0, 0, 0));
    stock[NULL_BRUSH] = brush(0, BS_NULL);
    stock[WHITE_PEN] = pen(RGB(255, 255, 255));
    stock[BLACK_PEN] = pen(RGB(0, 0, 0));
    stock[NULL_PEN] = pen(0, PS_NULL);
    auto* font = MakeStock<Font>();
    font->log.lfHeight = -11;
    font->log.lfWeight = FW_NORMAL;
    font->log.lfCharSet = DEFAULT_CHARSET;
    std::wcscpy(font->log.lfFaceName, L"MS Shell Dlg 2");
    stock[DEFAULT_GUI_FONT] = font;
    auto* dcBrush = MakeStock<Brush>();
    dcBrush->dcBrush = true;
    stock[DC_BRUSH] = dcBrush;
    auto* dcPen = MakeStock<Pen>();
    dcPen->dcPen = true;
    stock[DC_PEN] = dcPen;
  });
  if (index < 0 || index >= 20) return nullptr;
  return stock[index];
}

HPEN CreatePen(int style, int width, COLORREF colour) {
  auto* p = new Pen;
  p->log = LOGPEN{static_cast<UINT>(style), {width, 0}, colour};
  return static_cast<HPEN>(Register(p));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  auto* b = new Brush;
  b->log = LOGBRUSH{BS_SOLID, colour, 0};
  return static_cast<HBRUSH>(Register(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF colour) {
  auto* b = new Brush;
  b->log = LOGBRUSH{BS_HATCHED, colour, static_cast<ULONG_PTR>(hatch)};
  return static_cast<HBRUSH>(Register(b));
}

HBRUSH GetSysColorBrush(int index) {
  static std::mutex lock;
  static HBRUSH brushes[32] = {};
  if (index < 0 || index >= 32) return nullptr;
  std::lock_guard<std::mutex> guard(lock);
  if (!brushes[index]) {
    auto* b = MakeStock<Brush>();
    b->log = LOGBRUSH{BS_SOLID, GetSysColor(index), 0};
    brushes[index] = static_cast<HBRUSH>(static_cast<HGDIOBJ>(b));
  }
  return brushes[index];
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font || font->lfHeight == INT32_MIN || font->lfWeight < 0 || font->lfWeight > 1000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* f = new Font;
  f->log = *font;
  f->log.lfFaceName[LF_FACESIZE - 1] = 0;
  return static_cast<HFONT>(Register(f));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (width < 0 || height < 0 || width > 32767 * 4 || height > 32767 * 4) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* b = new Bitmap;
  b->monochrome = planes * bitsPerPixel == 1;
  b->image = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32);
  if (b->image.isNull()) {
    delete b;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->image.fill(b->monochrome ? 0xFF000000u : 0u);
  if (bits && b->monochrome) {
    // Rows of 16-bit words, most significant bit first; 1 is white.
    const auto* bytes = static_cast<const uint8_t*>(bits);
    int rowBytes = ((width + 15) / 16) * 2;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (bytes[y * rowBytes + x / 8] & (0x80 >> (x % 8))) b->image.setPixel(x, y, 0xFFFFFFFFu);
  } else if (bits && bitsPerPixel == 32) {
    for (int y = 0; y < height; ++y)
      std::memcpy(b->image.scanLine(y), static_cast<const uint8_t*>(bits) + size_t(y) * width * 4, size_t(width) * 4);
  }
  return static_cast<HBITMAP>(Register(b));
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // A memory DC that still holds its 1 x 1 monochrome bitmap makes monochrome bitmaps, as GDI does.
  if (dc->kind == HDC__::Kind::Memory && dc->s.bitmap == dc->defaultBitmap)
    return CreateBitmap(width, height, 1, 1, nullptr);
  // On a high-density screen the bitmap has the screen's pixels, drawn in the DC's units.
  const qreal ratio = dc->pixelRatio;
  HBITMAP bitmap = CreateBitmap(int(std::ceil(width * ratio)), int(std::ceil(height * ratio)), 1, 32, nullptr);
  if (auto* b = As<Bitmap>(bitmap, Kind::Bitmap)) {
    b->image.fill(0xFF000000u);
    b->image.setDevicePixelRatio(ratio);
  }
  return bitmap;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB ||
      info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LONG h = info->bmiHeader.biHeight;
  HBITMAP handle = CreateBitmap(info->bmiHeader.biWidth, h < 0 ? -h : h, 1, 32, nullptr);
  auto* b = As<Bitmap>(handle, Kind::Bitmap);
  if (!b) return nullptr;
  b->dibSection = true;
  b->topDown = h < 0;
  b->xPelsPerMeter = info->bmiHeader.biXPelsPerMeter;
  b->yPelsPerMeter = info->bmiHeader.biYPelsPerMeter;
  // Only a top-down section's rows lie in memory as the image's; a bottom-up one gives no pointer.
  if (bits && b->topDown) *bits = b->image.bits();
  return handle;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto* r = new Region;
  r->region = QRegion(QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                            QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1)));
  return static_cast<HRGN>(Register(r));
}
HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}
HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  auto* r = new Region;
  r->region = QRegion(QRect(left, top, right - left, bottom - top), QRegion::Ellipse);
  return static_cast<HRGN>(Register(r));
}

namespace {
int RegionKind(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
}  // namespace

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
  auto* d = As<Region>(dst, Kind::Region);
  auto* ra = As<Region>(a, Kind::Region);
  auto* rb = As<Region>(b, Kind::Region);
  if (!d || !ra || (mode != RGN_COPY && !rb)) return ERROR;
  switch (mode) {
    case RGN_AND: d->region = ra->region.intersected(rb->region); break;
    case RGN_OR: d->region = ra->region.united(rb->region); break;
    case RGN_XOR: d->region = ra->region.xored(rb->region); break;
    case RGN_DIFF: d->region = ra->region.subtracted(rb->region); break;
    case RGN_COPY: d->region = ra->region; break;
    default: return ERROR;
  }
  return RegionKind(d->region);
}

int GetRgnBox(HRGN rgn, LPRECT rect) {
  auto* r = As<Region>(rgn, Kind::Region);
  if (!r || !rect) return ERROR;
  QRect box = r->region.boundingRect();
  *rect = r->region.isEmpty() ? RECT{0, 0, 0, 0} : RECT{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
  return RegionKind(r->region);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  auto* r = As<Region>(rgn, Kind::Region);
  return r && r->region.contains(QPoint(x, y));
}

BOOL DeleteObject(HGDIOBJ object) {
  Object* o = FromHandle(object);
  if (!o || o->stock) return o != nullptr;
  if (o->selections > 0) return FALSE;
  {
    std::lock_guard<std::mutex> lock(g_objectLock);
    Live().erase(o);
  }
  delete o;
  return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID out) {
  Object* o = FromHandle(object);
  if (!o) return 0;
  auto copy = [&](const void* src, int n) {
    if (!out) return n;
    if (size < n) return 0;
    std::memcpy(out, src, size_t(n));
    return n;
  };
  switch (o->kind) {
    case Kind::Pen: return copy(&static_cast<Pen*>(o)->log, sizeof(LOGPEN));
    case Kind::Brush: return copy(&static_cast<Brush*>(o)->log, sizeof(LOGBRUSH));
    case Kind::Font: return copy(&static_cast<Font*>(o)->log, sizeof(LOGFONTW));
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      DIBSECTION ds{};
      ds.dsBm.bmWidth = b->image.width();
      ds.dsBm.bmHeight = b->image.height();
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = b->monochrome ? 1 : 32;
      ds.dsBm.bmWidthBytes = b->monochrome ? ((ds.dsBm.bmWidth + 15) / 16) * 2 : ds.dsBm.bmWidth * 4;
      ds.dsBm.bmBits = b->dibSection && b->topDown ? b->image.bits() : nullptr;
      if (b->dibSection && size >= int(sizeof(DIBSECTION))) {
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = ds.dsBm.bmWidth;
        ds.dsBmih.biHeight = b->topDown ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = 32;
        ds.dsBmih.biSizeImage = DWORD(ds.dsBm.bmWidthBytes) * DWORD(ds.dsBm.bmHeight);
        ds.dsBmih.biXPelsPerMeter = b->xPelsPerMeter;
        ds.dsBmih.biYPelsPerMeter = b->yPelsPerMeter;
        return copy(&ds, sizeof(DIBSECTION));
      }
      return copy(&ds.dsBm, sizeof(BITMAP));
    }
    case Kind::Region: return 0;
  }
  return 0;
}

namespace qlw {
QImage* ImageOf(HBITMAP bitmap) {
  auto* b = gdi::As<gdi::Bitmap>(bitmap, gdi::Kind::Bitmap);
  return b ? &b->image : nullptr;
}

HBITMAP CreateBitmapFromImage(const QImage& image) {
  if (image.isNull()) return nullptr;
  auto* b = new gdi::Bitmap;
  b->image = image.convertToFormat(QImage::Format_ARGB32);
  b->xPelsPerMeter = image.dotsPerMeterX();
  b->yPelsPerMeter = image.dotsPerMeterY();
  return static_cast<HBITMAP>(gdi::Register(b));
}
}  // namespace qlw
