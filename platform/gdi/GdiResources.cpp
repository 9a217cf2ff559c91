// The program's bitmap and "HOTSPOT" resources (resources/images, compiled in with Qt's resource
// system), LoadImage for bitmaps, and icons and cursors made from bitmaps.
#include "GdiInternal.h"
#include "WndQt.h"

#include <QDir>
#include <QGuiApplication>
#include <QFile>
#include <QPixmap>
#include <QResource>
#include <QSvgRenderer>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace {
struct ResourceEntry {
  UINT id = 0;
  bool hotspot = false;
  bool drawn = false;
  std::vector<QString> candidates;  // the files of a bitmap not yet drawn, in the folder's order
  QImage image;     // bitmaps
  QString svg;       // the drawing of an SVG bitmap, for other sizes
  std::map<std::pair<int, int>, QImage> sized;  // and what it drew at them: every dialog asks for the small icon
  QByteArray bytes;  // other types
};

std::mutex g_resourceLock;

// Bitmaps "bmp<id>.svg" (drawn at their own size) or "bmp<id>.png", icons "ico<id>.svg" in the
// same numbering; hot spots from hotspots.txt. A bitmap is drawn when it is first found: a start
// needs a few of them, and drawing all took a tenth of it.
std::map<std::pair<bool, UINT>, ResourceEntry>& Table() {
  static std::map<std::pair<bool, UINT>, ResourceEntry> table;
  static bool loaded = false;
  if (loaded) return table;
  loaded = true;
  const QDir dir(QStringLiteral(":/images"));
  for (const QString& name : dir.entryList({QStringLiteral("bmp*.svg"), QStringLiteral("bmp*.png"), QStringLiteral("ico*.svg")},
                                           QDir::Files)) {
    bool ok = false;
    UINT id = name.mid(3, name.indexOf(QLatin1Char('.')) - 3).toUInt(&ok);
    if (!ok) continue;
    ResourceEntry& e = table[{false, id}];
    e.id = id;
    e.candidates.push_back(dir.filePath(name));
  }
  QFile spots(QStringLiteral(":/images/hotspots.txt"));
  if (spots.open(QIODevice::ReadOnly)) {
    for (const QByteArray& raw : spots.readAll().split('\n')) {
      QByteArray line = raw.trimmed();
      if (line.isEmpty() || line.startsWith('#')) continue;
      QList<QByteArray> f = line.simplified().split(' ');
      if (f.size() != 3) continue;
      ResourceEntry e;
      e.id = f[0].toUInt();
      e.hotspot = true;
      e.drawn = true;
      // Two unsigned 16-bit little-endian values: x, then y.
      uint16_t x = uint16_t(f[1].toUInt()), y = uint16_t(f[2].toUInt());
      e.bytes = QByteArray(4, '\0');
      e.bytes[0] = char(x & 0xFF), e.bytes[1] = char(x >> 8), e.bytes[2] = char(y & 0xFF), e.bytes[3] = char(y >> 8);
      table[{true, e.id}] = e;
    }
  }
  return table;
}

// The SVG bitmaps as the build drew them (qlwbitmapbake), by file name: where the file is, its
// pixels in the program's own data.
struct BakedBitmap {
  const uchar* rows = nullptr;
  int width = 0;
  int height = 0;
};

const std::map<QString, BakedBitmap>& Baked() {
  static const std::map<QString, BakedBitmap> baked = [] {
    std::map<QString, BakedBitmap> table;
    const QResource file(QStringLiteral(":/baked/bitmaps.baked"));
    if (!file.isValid() || file.compressionAlgorithm() != QResource::NoCompression) return table;
    const uchar* at = file.data();
    const uchar* const end = at + file.size();
    const auto number = [&](uint32_t& value) {
      if (end - at < 4) return false;
      std::memcpy(&value, at, 4);
      at += 4;
      return true;
    };
    uint32_t count = 0;
    if (file.size() < 8 || std::memcmp(at, "QLWBAKE1", 8) != 0) return table;
    at += 8;
    if (!number(count)) return table;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t nameLength = 0, width = 0, height = 0;
      if (!number(nameLength) || uint64_t(end - at) < nameLength) break;
      const QString name = QString::fromUtf8(reinterpret_cast<const char*>(at), int(nameLength));
      at += nameLength;
      if (!number(width) || !number(height) || width > 4096 || height > 4096) break;
      const uint64_t bytes = uint64_t(width) * height * 4;
      if (uint64_t(end - at) < bytes) break;
      table[name] = BakedBitmap{at, int(width), int(height)};
      at += bytes;
    }
    return table;
  }();
  return baked;
}

// The build's drawing of an SVG bitmap at its own size; null when the build drew none.
QImage BakedImage(const QString& path) {
  const auto& baked = Baked();
  const auto it = baked.find(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
  if (it == baked.end()) return QImage();
  QImage image(it->second.width, it->second.height, QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(image.scanLine(y), it->second.rows + size_t(y) * size_t(image.width()) * 4, size_t(image.width()) * 4);
  return image;
}

// An SVG drawn on a clear ARGB32 picture, at its own size when size is empty; null when it does
// not parse.
QImage DrawSvg(QSvgRenderer& svg, QSize size) {
  if (!svg.isValid()) return QImage();
  QImage image(size.isEmpty() ? svg.defaultSize() : size, QImage::Format_ARGB32);
  image.fill(0u);
  QPainter p(&image);
  svg.render(&p);
  return image;
}

// Draws a bitmap entry from the last of its files that reads (an SVG that does not parse is passed
// over for an earlier file of the same number); false when none does.
bool Draw(ResourceEntry& e) {
  if (e.drawn) return true;
  for (auto it = e.candidates.rbegin(); it != e.candidates.rend(); ++it) {
    const QString& path = *it;
    QImage image;
    if (path.endsWith(QLatin1String(".svg"))) {
      image = BakedImage(path);
      if (image.isNull()) {
        QSvgRenderer svg(path);
        image = DrawSvg(svg, QSize());
      }
      if (image.isNull()) continue;
      e.svg = path;
    } else {
      image.load(path);
      image = image.convertToFormat(QImage::Format_ARGB32);
    }
    e.image = image;
    e.drawn = true;
    e.candidates.clear();
    return true;
  }
  return false;
}

HINSTANCE const kProgramModule = reinterpret_cast<HINSTANCE>(uintptr_t(0x514C5700));

bool IsHotspotType(LPCWSTR type) { return type && !IS_INTRESOURCE(type) && std::wcscmp(type, L"HOTSPOT") == 0; }

// Icons and cursors: the image with its hot spot, and the bitmaps they were made from.
struct IconObject {
  QImage image;
  QPoint hotspot;
  bool icon = false;
};
std::mutex g_iconLock;
std::set<IconObject*>& LiveIcons() {
  static std::set<IconObject*> live;
  return live;
}
IconObject* IconOf(HICON icon) {
  std::lock_guard<std::mutex> lock(g_iconLock);
  auto* o = reinterpret_cast<IconObject*>(icon);
  return LiveIcons().count(o) ? o : nullptr;
}
bool ResolveCursor(HCURSOR cursor, QCursor& out) { return qlw::ImageCursorOf(cursor, out); }
}  // namespace

namespace qlw {
HINSTANCE ProgramModule() { return kProgramModule; }

bool ImageCursorOf(HCURSOR cursor, QCursor& out) {
  IconObject* o = IconOf(cursor);
  if (!o || !QGuiApplication::instance()) return false;
  out = QCursor(QPixmap::fromImage(o->image), o->hotspot.x(), o->hotspot.y());
  return true;
}
}  // namespace qlw

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  if (module && module != kProgramModule) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!IS_INTRESOURCE(name) || !(type == RT_BITMAP || IsHotspotType(type))) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_resourceLock);
  auto& table = Table();
  auto it = table.find({IsHotspotType(type), UINT(reinterpret_cast<uintptr_t>(name))});
  if (it != table.end() && !Draw(it->second)) {
    table.erase(it);
    it = table.end();
  }
  if (it == table.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(&it->second);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) { return resource; }

LPVOID LockResource(HGLOBAL data) {
  auto* e = static_cast<ResourceEntry*>(data);
  if (!e) return nullptr;
  return e->hotspot ? static_cast<void*>(e->bytes.data()) : static_cast<void*>(e->image.bits());
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
  auto* e = reinterpret_cast<ResourceEntry*>(resource);
  if (!e) return 0;
  return e->hotspot ? DWORD(e->bytes.size()) : DWORD(e->image.sizeInBytes());
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  if (!instance) {
    if (type == IMAGE_CURSOR) return LoadCursorW(nullptr, name);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HRSRC res = FindResourceW(instance, name, RT_BITMAP);
  if (!res) return nullptr;
  auto* entry = reinterpret_cast<ResourceEntry*>(res);
  QImage image = entry->image;
  if (width > 0 && height > 0 && image.size() != QSize(width, height)) {
    if (!entry->svg.isEmpty()) {
      // Drawn again at the size asked for rather than scaled, once for each size.
      std::lock_guard<std::mutex> lock(g_resourceLock);
      QImage& drawn = entry->sized[{width, height}];
      if (drawn.isNull()) {
        QSvgRenderer svg(entry->svg);
        drawn = DrawSvg(svg, QSize(width, height));
      }
      image = drawn;
    } else {
      image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
  }
  if (type == IMAGE_BITMAP) {
    HBITMAP bitmap = qlw::CreateBitmapFromImage(image);
    if (auto* b = qlw::gdi::As<qlw::gdi::Bitmap>(bitmap, qlw::gdi::Kind::Bitmap)) b->dibSection = (flags & LR_CREATEDIBSECTION) != 0;
    return bitmap;
  }
  if (type == IMAGE_CURSOR || type == IMAGE_ICON) {
    HBITMAP colour = qlw::CreateBitmapFromImage(image);
    HBITMAP mask = CreateBitmap(image.width(), image.height(), 1, 1, nullptr);
    ICONINFO info{type == IMAGE_ICON, 0, 0, mask, colour};
    if (HRSRC spot = FindResourceW(instance, name, L"HOTSPOT")) {
      const auto* b = static_cast<const uint8_t*>(LockResource(LoadResource(instance, spot)));
      info.xHotspot = DWORD(b[0] | b[1] << 8);
      info.yHotspot = DWORD(b[2] | b[3] << 8);
    }
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HICON CreateIconIndirect(PICONINFO info) {
  QImage* colour = info ? qlw::ImageOf(info->hbmColor) : nullptr;
  QImage* mask = info ? qlw::ImageOf(info->hbmMask) : nullptr;
  if (!colour) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  QImage image = colour->convertToFormat(QImage::Format_ARGB32);
  bool hasAlpha = false;
  for (int y = 0; y < image.height() && !hasAlpha; ++y)
    for (int x = 0; x < image.width() && !hasAlpha; ++x) hasAlpha = qAlpha(image.pixel(x, y)) != 255;
  // Without alpha in the colour bitmap, the mask decides: a set mask bit over black is transparent.
  if (!hasAlpha && mask) {
    for (int y = 0; y < image.height() && y < mask->height(); ++y)
      for (int x = 0; x < image.width() && x < mask->width(); ++x)
        if ((mask->pixel(x, y) & 0xFFFFFF) != 0 && (image.pixel(x, y) & 0xFFFFFF) == 0) image.setPixel(x, y, 0u);
  }
  auto* o = new IconObject;
  o->image = image;
  o->hotspot = info->fIcon ? QPoint(image.width() / 2, image.height() / 2) : QPoint(int(info->xHotspot), int(info->yHotspot));
  o->icon = info->fIcon;
  {
    std::lock_guard<std::mutex> lock(g_iconLock);
    LiveIcons().insert(o);
  }
  static std::once_flag resolver;
  std::call_once(resolver, [] { qlw::SetCursorResolver(&ResolveCursor); });
  return reinterpret_cast<HICON>(o);
}

BOOL GetIconInfo(HICON icon, PICONINFO info) {
  IconObject* o = IconOf(icon);
  if (!o || !info) return FALSE;
  info->fIcon = o->icon;
  info->xHotspot = DWORD(o->hotspot.x());
  info->yHotspot = DWORD(o->hotspot.y());
  info->hbmColor = qlw::CreateBitmapFromImage(o->image);
  info->hbmMask = CreateBitmap(o->image.width(), o->image.height(), 1, 1, nullptr);
  return TRUE;
}

BOOL DestroyIcon(HICON icon) {
  IconObject* o = IconOf(icon);
  if (!o) return FALSE;
  {
    std::lock_guard<std::mutex> lock(g_iconLock);
    LiveIcons().erase(o);
  }
  delete o;
  return TRUE;
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }

namespace {
std::atomic<int> g_cursorDisplayCount{0};
}
int ShowCursor(BOOL show) { return show ? ++g_cursorDisplayCount : --g_cursorDisplayCount; }
