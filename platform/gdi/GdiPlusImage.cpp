// GDI+ images: bitmaps (ARGB32 pixels, lock and unlock), metafiles (recorded drawing saved as
// SVG), image attributes, and the codec list with its encoders (GIF through giflib).
#include "GdiInternal.h"
#include "GdiPlus.h"
#include "Clipboard.h"
#include "../testing/GdiPlusSeams.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>

#include <gif_lib.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <unordered_map>

namespace Gdiplus {
// The seam that makes bitmap allocations fail for tests.
std::atomic<int> g_failAllocations{0};
std::atomic<int> g_failStatus{OutOfMemory};

const GUID EncoderQuality = {0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};
const GUID EncoderCompression = {0xe09d739d, 0xccd4, 0x44ee, {0x8e, 0xba, 0x3f, 0xbf, 0x8b, 0xe4, 0xfc, 0x58}};
const GUID ImageFormatJPEG = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatTIFF = {0xb96b3cb1, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
// Our own identifiers for the formats whose identifiers nothing outside this program compares.
const GUID ImageFormatBMP = {0x51c0a201, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x01}};
const GUID ImageFormatGIF = {0x51c0a201, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x02}};
const GUID ImageFormatPNG = {0x51c0a201, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x03}};
const GUID ImageFormatEMF = {0x51c0a201, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x04}};

namespace {

// The codecs, in the order the file dialogs list them.
struct Codec {
  CLSID clsid;
  const GUID* format;
  const wchar_t* name;
  const wchar_t* description;
  const wchar_t* extensions;
  const wchar_t* mime;
  const char* qtFormat;
};
const Codec kCodecs[] = {
    {{0x51c0a202, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x01}}, &ImageFormatBMP,
     L"Built-in BMP Codec", L"BMP", L"*.BMP;*.DIB;*.RLE", L"image/bmp", "bmp"},
    {{0x51c0a202, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x02}}, &ImageFormatJPEG,
     L"Built-in JPEG Codec", L"JPEG", L"*.JPG;*.JPEG;*.JPE;*.JFIF", L"image/jpeg", "jpeg"},
    {{0x51c0a202, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x03}}, &ImageFormatGIF,
     L"Built-in GIF Codec", L"GIF", L"*.GIF", L"image/gif", "gif"},
    {{0x51c0a202, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x04}}, &ImageFormatTIFF,
     L"Built-in TIFF Codec", L"TIFF", L"*.TIF;*.TIFF", L"image/tiff", "tiff"},
    {{0x51c0a202, 0x6d4e, 0x4b1a, {0x9f, 0x21, 0x5a, 0x10, 0x7e, 0x3c, 0x00, 0x05}}, &ImageFormatPNG,
     L"Built-in PNG Codec", L"PNG", L"*.PNG", L"image/png", "png"},
};

Status ListCodecs(UINT count, UINT size, ImageCodecInfo* codecs, bool decoders) {
  constexpr UINT n = sizeof(kCodecs) / sizeof(kCodecs[0]);
  if (!codecs || count != n || size < n * sizeof(ImageCodecInfo)) return InvalidParameter;
  for (UINT i = 0; i < n; ++i) {
    const Codec& c = kCodecs[i];
    codecs[i] = ImageCodecInfo{c.clsid, *c.format, c.name, nullptr, c.description, c.extensions, c.mime,
                               decoders ? 0x2u : 0x1u, 1, 0, 0, nullptr, nullptr};
  }
  return Ok;
}

const Codec* CodecByClsid(const CLSID* clsid) {
  if (!clsid) return nullptr;
  for (const Codec& c : kCodecs)
    if (c.clsid == *clsid) return &c;
  return nullptr;
}


GUID FormatFromQt(const QByteArray& qtFormat) {
  for (const Codec& c : kCodecs)
    if (qtFormat == c.qtFormat || (qtFormat == "jpg" && std::strcmp(c.qtFormat, "jpeg") == 0) ||
        (qtFormat == "tif" && std::strcmp(c.qtFormat, "tiff") == 0))
      return *c.format;
  return GUID{};
}

LONG ParameterValue(const EncoderParameters* params, const GUID& which, LONG fallback) {
  if (!params) return fallback;
  for (UINT i = 0; i < params->Count; ++i) {
    const EncoderParameter& p = params->Parameter[i];
    if (p.Guid == which && p.NumberOfValues >= 1 && p.Value) return *static_cast<const LONG*>(p.Value);
  }
  return fallback;
}

// GIF has 256 colours: the image's own when it has at most 255, otherwise a 6 x 7 x 6 cube with
// ordered dithering; the last index stands for transparent pixels (alpha below half).
bool WriteGif(const QImage& source, const QString& path) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const int w = image.width(), h = image.height();
  std::vector<QRgb> palette;
  std::unordered_map<QRgb, int> index;
  bool exact = true;
  for (int y = 0; y < h && exact; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      if (qAlpha(row[x]) < 128) continue;
      QRgb c = row[x] | 0xFF000000u;
      if (index.count(c)) continue;
      if (palette.size() == 255) {
        exact = false;
        break;
      }
      index[c] = int(palette.size());
      palette.push_back(c);
    }
  }
  if (!exact) {
    palette.clear();
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 6; ++b) palette.push_back(qRgb(r * 255 / 5, g * 255 / 6, b * 255 / 5));
  }
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  std::vector<GifPixelType> pixels(size_t(w) * h);
  bool anyTransparent = false;
  for (int y = 0; y < h; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      QRgb c = row[x];
      GifPixelType& out = pixels[size_t(y) * w + x];
      if (qAlpha(c) < 128) {
        out = 255;
        anyTransparent = true;
      } else if (exact) {
        out = GifPixelType(index[c | 0xFF000000u]);
      } else {
        double d = (bayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
        int r = std::clamp(int(std::lround(qRed(c) * 5 / 255.0 + d)), 0, 5);
        int g = std::clamp(int(std::lround(qGreen(c) * 6 / 255.0 + d)), 0, 6);
        int b = std::clamp(int(std::lround(qBlue(c) * 5 / 255.0 + d)), 0, 5);
        out = GifPixelType((r * 7 + g) * 6 + b);
      }
    }
  }
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  if (!map) return false;
  for (int i = 0; i < 256; ++i) {
    QRgb c = i < int(palette.size()) ? palette[size_t(i)] : 0xFF000000u;
    map->Colors[i] = GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
  }
  QByteArray file = QFile::encodeName(path);
  int error = 0;
  // Opened here so that the file gets the usual permissions (giflib's own open makes it private).
  int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  GifFileType* gif = fd >= 0 ? EGifOpenFileHandle(fd, &error) : nullptr;
  if (fd >= 0 && !gif) ::close(fd);
  bool ok = gif != nullptr;
  if (ok) {
    EGifSetGifVersion(gif, true);
    ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    if (ok && anyTransparent) {
      // Graphics control extension: transparent colour index 255.
      GifByteType control[4] = {0x01, 0, 0, 255};
      ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y) ok = EGifPutLine(gif, pixels.data() + size_t(y) * w, w) == GIF_OK;
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  }
  GifFreeMapObject(map);
  if (!ok) QFile::remove(path);
  return ok;
}

bool Encode(const QImage& image, REAL dpiX, REAL dpiY, const QString& path, const Codec& codec,
            const EncoderParameters* params) {
  QImage out = image;
  out.setDotsPerMeterX(int(std::lround(dpiX / 0.0254)));
  out.setDotsPerMeterY(int(std::lround(dpiY / 0.0254)));
  if (std::strcmp(codec.qtFormat, "gif") == 0) return WriteGif(out, path);
  QImageWriter writer(path, codec.qtFormat);
  if (std::strcmp(codec.qtFormat, "jpeg") == 0) {
    writer.setQuality(int(ParameterValue(params, EncoderQuality, 75)));
    out = out.convertToFormat(QImage::Format_RGB32);
  } else if (std::strcmp(codec.qtFormat, "tiff") == 0) {
    // Qt's TIFF writer: 1 is LZW, 0 none.
    writer.setCompression(ParameterValue(params, EncoderCompression, EncoderValueCompressionLZW) ==
                                  EncoderValueCompressionLZW
                              ? 1
                              : 0);
  }
  return writer.write(out);
}
}  // namespace

Status GetImageEncodersSize(UINT* count, UINT* size) {
  if (!count || !size) return InvalidParameter;
  *count = sizeof(kCodecs) / sizeof(kCodecs[0]);
  *size = *count * sizeof(ImageCodecInfo);
  return Ok;
}
Status GetImageEncoders(UINT count, UINT size, ImageCodecInfo* codecs) { return ListCodecs(count, size, codecs, false); }
Status GetImageDecodersSize(UINT* count, UINT* size) { return GetImageEncodersSize(count, size); }
Status GetImageDecoders(UINT count, UINT size, ImageCodecInfo* codecs) { return ListCodecs(count, size, codecs, true); }

Image::~Image() = default;

Image* Image::FromFile(const WCHAR* path, BOOL) { return new Bitmap(path); }

Image* Image::Clone() const { return nullptr; }

UINT Image::GetWidth() const {
  if (m_type == ImageTypeMetafile) return UINT(std::ceil(static_cast<const Metafile*>(this)->Frame().width()));
  return UINT(m_image.width());
}
UINT Image::GetHeight() const {
  if (m_type == ImageTypeMetafile) return UINT(std::ceil(static_cast<const Metafile*>(this)->Frame().height()));
  return UINT(m_image.height());
}
Status Image::GetBounds(RectF* bounds, Unit* unit) const {
  if (!bounds || !unit) return InvalidParameter;
  *unit = UnitPixel;
  if (m_type == ImageTypeMetafile) {
    QRectF f = static_cast<const Metafile*>(this)->Frame();
    *bounds = RectF(REAL(f.x()), REAL(f.y()), REAL(f.width()), REAL(f.height()));
  } else {
    *bounds = RectF(0, 0, REAL(m_image.width()), REAL(m_image.height()));
  }
  return Ok;
}
Status Image::Save(const WCHAR* path, const CLSID* clsid, const EncoderParameters* params) {
  if (!path) return SetStatus(InvalidParameter);
  QString file = QString::fromWCharArray(path);
  if (m_type == ImageTypeMetafile)
    return static_cast<Metafile*>(this)->SaveSvg(file) ? Ok : SetStatus(Win32Error);
  const Codec* codec = CodecByClsid(clsid);
  if (!codec) return SetStatus(InvalidParameter);
  if (m_image.isNull()) return SetStatus(WrongState);
  const QImage& image =
      m_image.format() == QImage::Format_ARGB32 ? m_image : m_image.convertToFormat(QImage::Format_ARGB32);
  return Encode(image, m_dpiX, m_dpiY, file, *codec, params) ? Ok : SetStatus(Win32Error);
}

// 32bppPARGB keeps premultiplied pixels, as the raster engine composes them: drawing into such
// a bitmap and copying it are about twice as fast. Every other format keeps straight ARGB.
Bitmap::Bitmap(INT width, INT height, PixelFormat format) : Image(ImageTypeBitmap) {
  m_rawFormat = ImageFormatPNG;
  if (width <= 0 || height <= 0) {
    SetStatus(InvalidParameter);
    return;
  }
  if (g_failAllocations.load() > 0) {
    --g_failAllocations;
    SetStatus(Status(g_failStatus.load()));
    return;
  }
  // Beyond a gigapixel the allocation is refused rather than left to overcommit.
  if (qint64(width) * height > (qint64(1) << 28)) {
    SetStatus(OutOfMemory);
    return;
  }
  m_image = QImage(width, height,
                   format == PixelFormat32bppPARGB ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
  if (m_image.isNull()) {
    SetStatus(OutOfMemory);
    return;
  }
  m_image.fill(0u);
}

Bitmap::Bitmap(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0) : Bitmap(width, height, format) {
  if (m_image.isNull() || !scan0) return;
  // The pixels are copied: the caller's buffer is not drawn into.
  for (INT y = 0; y < height; ++y) {
    const BYTE* src = scan0 + ptrdiff_t(y) * stride;
    auto* dst = reinterpret_cast<QRgb*>(m_image.scanLine(y));
    for (INT x = 0; x < width; ++x) {
      if (format == PixelFormat24bppRGB) dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
      else {
        uint32_t v;
        std::memcpy(&v, src + 4 * x, 4);
        if (format == PixelFormat32bppRGB) v |= 0xFF000000u;
        else if (format == PixelFormat32bppPARGB && !Premultiplied()) v = qUnpremultiply(v);
        dst[x] = v;
      }
    }
  }
}

Bitmap::Bitmap(const WCHAR* path, BOOL) : Image(ImageTypeBitmap) {
  QString file = path ? QString::fromWCharArray(path) : QString();
  QImageReader reader(file);
  QImage image = reader.read();
  if (image.isNull()) {
    SetStatus(QFile::exists(file) ? UnknownImageFormat : FileNotFound);
    return;
  }
  m_rawFormat = FormatFromQt(reader.format());
  m_image = image.convertToFormat(QImage::Format_ARGB32);
  if (image.dotsPerMeterX() > 0) m_dpiX = REAL(image.dotsPerMeterX() * 0.0254);
  if (image.dotsPerMeterY() > 0) m_dpiY = REAL(image.dotsPerMeterY() * 0.0254);
}

Bitmap::Bitmap(HBITMAP bitmap, void*) : Image(ImageTypeBitmap) {
  QImage* image = qlw::ImageOf(bitmap);
  if (!image) {
    SetStatus(InvalidParameter);
    return;
  }
  // A GDI bitmap carries no alpha for GDI+: the result is opaque.
  m_image = image->convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
  m_rawFormat = ImageFormatBMP;
}

Bitmap::Bitmap(const QImage& image) : Image(ImageTypeBitmap) {
  m_image = image.convertToFormat(QImage::Format_ARGB32);
  if (m_image.isNull()) SetStatus(OutOfMemory);
  m_rawFormat = ImageFormatPNG;
}

Image* Bitmap::Clone() const {
  auto* b = new Bitmap(m_image.copy());
  b->m_dpiX = m_dpiX, b->m_dpiY = m_dpiY, b->m_rawFormat = m_rawFormat;
  return b;
}
Bitmap* Bitmap::Clone(const RectF& r, PixelFormat format) const {
  return Clone(Rect(INT(std::floor(r.X)), INT(std::floor(r.Y)), INT(std::lround(r.Width)), INT(std::lround(r.Height))), format);
}
Bitmap* Bitmap::Clone(const Rect& r, PixelFormat) const {
  if (!QRect(0, 0, m_image.width(), m_image.height()).contains(QRect(r.X, r.Y, r.Width, r.Height))) return nullptr;
  auto* b = new Bitmap(m_image.copy(r.X, r.Y, r.Width, r.Height));
  b->m_dpiX = m_dpiX, b->m_dpiY = m_dpiY;
  return b;
}
Status Bitmap::SetResolution(REAL dpiX, REAL dpiY) {
  if (!(dpiX > 0) || !(dpiY > 0)) return SetStatus(InvalidParameter);
  m_dpiX = dpiX, m_dpiY = dpiY;
  return Ok;
}
Status Bitmap::GetPixel(INT x, INT y, Color* colour) const {
  if (!colour || !m_image.valid(x, y)) return InvalidParameter;
  const QRgb stored = reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x];
  *colour = Color(Premultiplied() ? qUnpremultiply(stored) : stored);
  return Ok;
}
Status Bitmap::SetPixel(INT x, INT y, const Color& colour) {
  if (!m_image.valid(x, y)) return SetStatus(InvalidParameter);
  reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = Premultiplied() ? qPremultiply(colour.GetValue()) : colour.GetValue();
  return Ok;
}

Status Bitmap::LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* data) {
  if (!data || m_image.isNull()) return SetStatus(InvalidParameter);
  if (m_lock) return SetStatus(WrongState);
  QRect area = rect ? QRect(rect->X, rect->Y, rect->Width, rect->Height) : m_image.rect();
  if (area.isEmpty() || !m_image.rect().contains(area)) return SetStatus(InvalidParameter);
  if (format != PixelFormat32bppARGB && format != PixelFormat32bppPARGB && format != PixelFormat32bppRGB &&
      format != PixelFormat24bppRGB)
    return SetStatus(InvalidParameter);
  auto lock = std::make_unique<Lock>();
  lock->rect = area;
  lock->flags = flags;
  lock->format = format;
  int bpp = format == PixelFormat24bppRGB ? 3 : 4;
  bool userBuffer = flags & ImageLockModeUserInputBuf;
  if (DirectLock(format) && !userBuffer) {
    data->Scan0 = m_image.scanLine(area.y()) + area.x() * 4;
    data->Stride = INT(m_image.bytesPerLine());
  } else {
    INT stride = userBuffer ? data->Stride : ((area.width() * bpp + 3) & ~3);
    uint8_t* buffer = nullptr;
    if (userBuffer) {
      if (!data->Scan0) return SetStatus(InvalidParameter);
      buffer = static_cast<uint8_t*>(data->Scan0);
    } else {
      lock->copy.resize(size_t(stride) * area.height());
      buffer = lock->copy.data();
    }
    if (flags & ImageLockModeRead) {
      for (int y = 0; y < area.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(m_image.constScanLine(area.y() + y)) + area.x();
        uint8_t* dst = buffer + ptrdiff_t(y) * stride;
        for (int x = 0; x < area.width(); ++x) {
          const QRgb stored = src[x];
          const QRgb c = Premultiplied() ? qUnpremultiply(stored) : stored;
          if (bpp == 3) {
            dst[3 * x] = uint8_t(qBlue(c)), dst[3 * x + 1] = uint8_t(qGreen(c)), dst[3 * x + 2] = uint8_t(qRed(c));
          } else {
            uint32_t v = format == PixelFormat32bppPARGB ? (Premultiplied() ? stored : qPremultiply(c))
                         : format == PixelFormat32bppRGB ? (c | 0xFF000000u)
                                                         : c;
            std::memcpy(dst + 4 * x, &v, 4);
          }
        }
      }
    }
    data->Scan0 = buffer;
    data->Stride = stride;
  }
  data->Width = UINT(area.width());
  data->Height = UINT(area.height());
  data->PixelFormat = format;
  data->Reserved = 0;
  m_lock = std::move(lock);
  return Ok;
}

Status Bitmap::UnlockBits(BitmapData* data) {
  if (!data || !m_lock) return SetStatus(WrongState);
  std::unique_ptr<Lock> lock = std::move(m_lock);
  bool direct = DirectLock(lock->format) && !(lock->flags & ImageLockModeUserInputBuf);
  if (!direct && (lock->flags & ImageLockModeWrite)) {
    int bpp = lock->format == PixelFormat24bppRGB ? 3 : 4;
    const QRect& area = lock->rect;
    for (int y = 0; y < area.height(); ++y) {
      QRgb* dst = reinterpret_cast<QRgb*>(m_image.scanLine(area.y() + y)) + area.x();
      const uint8_t* src = static_cast<const uint8_t*>(data->Scan0) + ptrdiff_t(y) * data->Stride;
      for (int x = 0; x < area.width(); ++x) {
        if (bpp == 3) {
          dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        } else {
          uint32_t v;
          std::memcpy(&v, src + 4 * x, 4);
          if (lock->format == PixelFormat32bppPARGB)
            dst[x] = Premultiplied() ? v : qUnpremultiply(v);
          else if (lock->format == PixelFormat32bppRGB)
            dst[x] = v | 0xFF000000u;
          else
            dst[x] = Premultiplied() ? qPremultiply(v) : v;
        }
      }
    }
  }
  return Ok;
}

Status Bitmap::GetHBITMAP(const Color& background, HBITMAP* out) {
  if (!out || m_image.isNull()) return SetStatus(InvalidParameter);
  QImage flat(m_image.size(), QImage::Format_ARGB32);
  flat.fill(QColor(background.GetR(), background.GetG(), background.GetB(), background.GetA()));
  {
    QPainter p(&flat);
    p.drawImage(0, 0, m_image);
  }
  *out = qlw::CreateBitmapFromImage(flat);
  if (auto* b = qlw::gdi::As<qlw::gdi::Bitmap>(*out, qlw::gdi::Kind::Bitmap)) {
    b->dibSection = true;
    b->xPelsPerMeter = LONG(m_dpiX / 0.0254);
    b->yPelsPerMeter = LONG(m_dpiY / 0.0254);
  }
  return *out ? Ok : SetStatus(OutOfMemory);
}

QPainter* Bitmap::AcquirePainter() {
  if (m_image.isNull()) return nullptr;
  if (!m_painter) {
    m_image.detach();
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(&m_image)) {
      m_painter.reset();
      return nullptr;
    }
  }
  ++m_painterUsers;
  return m_painter.get();
}
void Bitmap::ReleasePainter() {
  if (m_painterUsers > 0 && --m_painterUsers == 0) {
    m_painter->end();
    m_painter.reset();
  }
}

Status ImageAttributes::SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags, ColorAdjustType) {
  if (!matrix) return SetStatus(InvalidParameter);
  m_matrix = *matrix;
  m_hasMatrix = true;
  return Ok;
}
Status ImageAttributes::SetColorKey(const Color& low, const Color& high, ColorAdjustType) {
  m_keyLow = low, m_keyHigh = high;
  m_hasKey = true;
  return Ok;
}
Status ImageAttributes::Reset(ColorAdjustType) {
  m_hasMatrix = m_hasKey = false;
  return Ok;
}
QImage ImageAttributes::Apply(const QImage& image) const {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  if (!m_hasMatrix && !m_hasKey) return out;
  for (int y = 0; y < out.height(); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      QRgb c = row[x];
      if (m_hasKey && qRed(c) >= m_keyLow.GetR() && qRed(c) <= m_keyHigh.GetR() && qGreen(c) >= m_keyLow.GetG() &&
          qGreen(c) <= m_keyHigh.GetG() && qBlue(c) >= m_keyLow.GetB() && qBlue(c) <= m_keyHigh.GetB()) {
        row[x] = 0;
        continue;
      }
      if (m_hasMatrix) {
        // [r g b a 1] times the matrix, channels as fractions.
        float in[5] = {qRed(c) / 255.0f, qGreen(c) / 255.0f, qBlue(c) / 255.0f, qAlpha(c) / 255.0f, 1.0f};
        float res[4];
        for (int j = 0; j < 4; ++j) {
          float v = 0;
          for (int i = 0; i < 5; ++i) v += in[i] * m_matrix.m[i][j];
          res[j] = std::clamp(v, 0.0f, 1.0f);
        }
        row[x] = qRgba(int(res[0] * 255 + 0.5f), int(res[1] * 255 + 0.5f), int(res[2] * 255 + 0.5f), int(res[3] * 255 + 0.5f));
      }
    }
  }
  return out;
}

}  // namespace Gdiplus

// A metafile handle: the recording, its frame and resolution.
struct HENHMETAFILE__ {
  QPicture picture;
  QRectF frame;
  float dpi = 96;
};

namespace {
std::mutex g_emfLock;
std::set<HENHMETAFILE>& LiveEmfs() {
  static std::set<HENHMETAFILE> live;
  return live;
}
bool ValidEmf(HENHMETAFILE h) {
  std::lock_guard<std::mutex> lock(g_emfLock);
  return h && LiveEmfs().count(h);
}

void DrawPictureInto(QPaintDevice* device, const QPicture& picture, const QRectF& frame, double scale = 1.0) {
  QPainter p(device);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.scale(scale, scale);
  p.translate(-frame.x(), -frame.y());
  p.drawPicture(QPointF(0, 0), picture);
}

bool WriteSvg(QIODevice* out, const QPicture& picture, const QRectF& frame, float dpi, const QString& description) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  const int w = int(std::ceil(frame.width())), h = int(std::ceil(frame.height()));
  svg.setSize(QSize(w, h));
  svg.setViewBox(QRectF(0, 0, frame.width(), frame.height()));
  svg.setResolution(int(dpi));
  svg.setDescription(description);
  QPainter p;
  if (!p.begin(&svg)) return false;
  p.translate(-frame.x(), -frame.y());
  p.drawPicture(QPointF(0, 0), picture);
  if (!p.end()) return false;
  // The size in pixels rather than millimetres, which readers convert at differing resolutions.
  static const QRegularExpression size(QStringLiteral("<svg width=\"[^\"]*\" height=\"[^\"]*\""));
  QString text = QString::fromUtf8(bytes);
  text.replace(size, QStringLiteral("<svg width=\"%1\" height=\"%2\"").arg(w).arg(h));
  QByteArray fixed = text.toUtf8();
  return out->write(fixed) == fixed.size();
}

QImage RenderPicture(const QPicture& picture, const QRectF& frame, const QColor& background) {
  QImage image(std::max(1, int(std::ceil(frame.width()))), std::max(1, int(std::ceil(frame.height()))),
               QImage::Format_ARGB32);
  if (image.isNull()) return image;
  image.fill(background);
  DrawPictureInto(&image, picture, frame);
  return image;
}
}  // namespace

BOOL DeleteEnhMetaFile(HENHMETAFILE emf) {
  std::lock_guard<std::mutex> lock(g_emfLock);
  if (!emf || !LiveEmfs().erase(emf)) return FALSE;
  delete emf;
  return TRUE;
}

namespace qlw {
bool EnhMetaFileToSvg(HENHMETAFILE emf, QByteArray* svg, QImage* image) {
  if (!ValidEmf(emf)) return false;
  if (svg) {
    QBuffer buffer(svg);
    buffer.open(QIODevice::WriteOnly);
    if (!WriteSvg(&buffer, emf->picture, emf->frame, emf->dpi, QString())) return false;
  }
  if (image) *image = RenderPicture(emf->picture, emf->frame, Qt::transparent);
  return true;
}
}  // namespace qlw

namespace Gdiplus {

void Metafile::Init(HDC referenceDc, const QString& path, const QRectF& frame) {
  m_rawFormat = ImageFormatEMF;
  int dpi = referenceDc ? GetDeviceCaps(referenceDc, LOGPIXELSX) : 96;
  m_dpiX = m_dpiY = REAL(dpi > 0 ? dpi : 96);
  m_path = path;
  m_frame = frame;
  if (!path.isEmpty()) {
    // The file must be writable now, as creating an EMF file would fail at once.
    QFile probe(path);
    bool existed = probe.exists();
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) SetStatus(Win32Error);
    else if (!existed) probe.remove();
  }
}
Metafile::Metafile(HDC referenceDc, EmfType, const WCHAR* description) : Image(ImageTypeMetafile) {
  Init(referenceDc, QString(), QRectF());
  if (description) m_description = QString::fromWCharArray(description);
}
Metafile::Metafile(const WCHAR* path, HDC referenceDc, EmfType, const WCHAR* description) : Image(ImageTypeMetafile) {
  if (!path) {
    SetStatus(InvalidParameter);
    return;
  }
  Init(referenceDc, QString::fromWCharArray(path), QRectF());
  if (description) m_description = QString::fromWCharArray(description);
}
Metafile::Metafile(const WCHAR* path, HDC referenceDc, const RectF& frame, MetafileFrameUnit unit, EmfType,
                   const WCHAR* description)
    : Image(ImageTypeMetafile) {
  if (!path) {
    SetStatus(InvalidParameter);
    return;
  }
  Init(referenceDc, QString::fromWCharArray(path), QRectF());
  SetFrame(frame, unit, description);
}
Metafile::Metafile(HDC referenceDc, const RectF& frame, MetafileFrameUnit unit, EmfType, const WCHAR* description)
    : Image(ImageTypeMetafile) {
  Init(referenceDc, QString(), QRectF());
  SetFrame(frame, unit, description);
}
void Metafile::SetFrame(const RectF& frame, MetafileFrameUnit unit, const WCHAR* description) {
  // The frame in pixels of the reference resolution; the GDI unit is 0.01 mm.
  double k = unit == MetafileFrameUnitGdi        ? m_dpiX / 2540.0
             : unit == MetafileFrameUnitMillimeter ? m_dpiX / 25.4
             : unit == MetafileFrameUnitInch     ? m_dpiX
             : unit == MetafileFrameUnitPoint    ? m_dpiX / 72.0
             : unit == MetafileFrameUnitDocument ? m_dpiX / 300.0
                                                 : 1.0;
  if (frame.Width > 0 && frame.Height > 0) m_frame = QRectF(frame.X * k, frame.Y * k, frame.Width * k, frame.Height * k);
  if (description) m_description = QString::fromWCharArray(description);
}
Metafile::Metafile(HENHMETAFILE emf, BOOL deleteEmf) : Image(ImageTypeMetafile) {
  m_rawFormat = ImageFormatEMF;
  if (!ValidEmf(emf)) {
    SetStatus(InvalidParameter);
    return;
  }
  m_picture = emf->picture;
  m_frame = emf->frame;
  m_dpiX = m_dpiY = emf->dpi;
  if (deleteEmf) DeleteEnhMetaFile(emf);
}
Metafile::~Metafile() = default;

Image* Metafile::Clone() const {
  auto* m = new Metafile(static_cast<HDC>(nullptr));
  m->m_picture = m_picture;
  m->m_frame = m_frame;
  m->m_dpiX = m_dpiX, m->m_dpiY = m_dpiY;
  m->m_valid = m_valid;
  return m;
}

void Metafile::BeginRecording() { m_recording = true; }

void Metafile::EndRecording() {
  m_recording = false;
  if (m_frame.isEmpty()) {
    QRect drawn = m_picture.boundingRect();
    m_frame = drawn.isValid() ? QRectF(drawn) : QRectF(0, 0, 1, 1);
  }
  if (!m_path.isEmpty() && !SaveSvg(m_path)) SetStatus(Win32Error);
}

QRectF Metafile::Frame() const { return m_frame; }

QByteArray Metafile::SvgBytes() const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  WriteSvg(&buffer, m_picture, m_frame, m_dpiX, m_description);
  return bytes;
}

bool Metafile::SaveSvg(const QString& path) const {
  if (m_recording || !m_valid) return false;
  // Written beside the old file and renamed when complete.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!WriteSvg(&file, m_picture, m_frame, m_dpiX, m_description)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

QImage Metafile::Render(const QColor& background) const { return RenderPicture(m_picture, m_frame, background); }

namespace {
bool RenderForClipboard(HANDLE emf, std::vector<std::pair<std::string, std::string>>& out) {
  QByteArray svg;
  QImage image;
  if (!qlw::EnhMetaFileToSvg(static_cast<HENHMETAFILE>(emf), &svg, &image)) return false;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return false;
  out.emplace_back("image/svg+xml", svg.toStdString());
  out.emplace_back("image/png", png.toStdString());
  return true;
}
void ReleaseForClipboard(HANDLE emf) { DeleteEnhMetaFile(static_cast<HENHMETAFILE>(emf)); }
}  // namespace

HENHMETAFILE Metafile::GetHENHMETAFILE() {
  static std::once_flag once;
  std::call_once(once, [] { qlw::SetMetafileClipboardExport({&RenderForClipboard, &ReleaseForClipboard}); });
  if (m_recording || !m_valid) {
    SetStatus(WrongState);
    return nullptr;
  }
  auto* emf = new HENHMETAFILE__;
  emf->picture = m_picture;
  emf->frame = m_frame;
  emf->dpi = m_dpiX;
  m_valid = false;
  std::lock_guard<std::mutex> lock(g_emfLock);
  LiveEmfs().insert(emf);
  return emf;
}

}  // namespace Gdiplus

namespace qlw::testing {
void FailNextBitmapAllocations(int count, Gdiplus::Status status) {
  Gdiplus::g_failStatus = int(status);
  Gdiplus::g_failAllocations = count;
}
}  // namespace qlw::testing
