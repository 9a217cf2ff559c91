#include "LXImages.h"

#include <utility>

#include "LXGraphicsErrors.h"
#include "LXUtils.h"
#include "Win.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace Gdiplus;

namespace {
// The extension with its dot, from the last dot of the last path component only.
CString PathExtension(const CString& path) {
  std::wstring p(path.GetString());
  size_t slash = p.find_last_of(L"/\\");
  size_t dot = p.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return CString();
  return CString(p.substr(dot).c_str());
}

std::vector<ImageCodecInfo> Codecs(bool decoders) {
  UINT count = 0, size = 0;
  Status s = decoders ? GetImageDecodersSize(&count, &size) : GetImageEncodersSize(&count, &size);
  if (s != Ok || count == 0) return {};
  std::vector<ImageCodecInfo> codecs(count);
  s = decoders ? GetImageDecoders(count, size, codecs.data()) : GetImageEncoders(count, size, codecs.data());
  return s == Ok ? codecs : std::vector<ImageCodecInfo>();
}
}  // namespace

bool CheckGdiplusStatus(GdiplusBase* object, bool lastTry) {
  Status status = object ? object->GetLastStatus() : InvalidParameter;
  if (status == OutOfMemory || status == InsufficientBuffer) {
    if (!lastTry) return true;
    throw CLXXAllocationFailed(kLXSeverityMessage, status, __LINE__);
  }
  if (status != Ok) throw CLXXGDIPlus(kLXSeverityMessage, status, __LINE__);
  return false;
}

Bitmap* CreateBitmap(UINT width, UINT height, PixelFormat format) {
  auto bitmap = std::make_unique<Bitmap>(INT(width), INT(height), format);
  if (CheckGdiplusStatus(bitmap.get(), false)) {
    auto second = std::make_unique<Bitmap>(INT(width), INT(height), format);
    bitmap = std::move(second);
    CheckGdiplusStatus(bitmap.get(), true);
  }
  return bitmap.release();
}

Bitmap* BitmapFromHBITMAP(HBITMAP source) {
  DIBSECTION section{};
  // Only a 32-bit DIB section carries the alpha this conversion keeps.
  if (GetObject(source, sizeof(section), &section) != int(sizeof(section)) || section.dsBm.bmBitsPixel != 32)
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  HDC screen = GetDC(nullptr);
  int lines = GetDIBits(screen, source, 0, 0, nullptr, &info, DIB_RGB_COLORS);
  if (lines == 0) {
    ReleaseDC(nullptr, screen);
    return nullptr;
  }
  const LONG width = info.bmiHeader.biWidth, height = std::abs(info.bmiHeader.biHeight);
  std::unique_ptr<Bitmap> bitmap(CreateBitmap(UINT(width), UINT(height)));
  // Pixels per metre to dots per inch; an axis without a value keeps the bitmap's own.
  REAL dpiX = info.bmiHeader.biXPelsPerMeter ? REAL(info.bmiHeader.biXPelsPerMeter * 2.54 / 100) : bitmap->GetHorizontalResolution();
  REAL dpiY = info.bmiHeader.biYPelsPerMeter ? REAL(info.bmiHeader.biYPelsPerMeter * 2.54 / 100) : bitmap->GetVerticalResolution();
  bitmap->SetResolution(dpiX, dpiY);
  Rect all(0, 0, width, height);
  BitmapData data{};
  if (bitmap->LockBits(&all, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) {
    ReleaseDC(nullptr, screen);
    return nullptr;
  }
  // Rows top row first, bytes unchanged, alpha included.
  BITMAPINFO rows = info;
  rows.bmiHeader.biHeight = -height;
  std::vector<uint8_t> pixels(size_t(width) * 4 * size_t(height));
  int copied = GetDIBits(screen, source, 0, UINT(height), pixels.data(), &rows, DIB_RGB_COLORS);
  for (LONG y = 0; y < height && copied == height; ++y)
    std::memcpy(static_cast<uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride, pixels.data() + size_t(y) * width * 4,
                size_t(width) * 4);
  bitmap->UnlockBits(&data);
  ReleaseDC(nullptr, screen);
  return copied == height ? bitmap.release() : nullptr;
}

Bitmap* LoadBitmapResource(UINT resourceId) {
  auto section = static_cast<HBITMAP>(LoadImage(qlw::ProgramModule(), MAKEINTRESOURCE(resourceId), IMAGE_BITMAP, 0, 0,
                                                LR_CREATEDIBSECTION));
  if (!section) return nullptr;
  Bitmap* bitmap = nullptr;
  try {
    bitmap = BitmapFromHBITMAP(section);
  } catch (...) {
    DeleteObject(section);
    throw;
  }
  DeleteObject(section);
  return bitmap;
}

Bitmap* MakeGrayscaleBitmap(Bitmap* source) {
  if (!source) return nullptr;
  std::unique_ptr<Bitmap> grey(static_cast<Bitmap*>(source->Clone()));
  if (!grey) return nullptr;
  BitmapData data{};
  if (grey->LockBits(nullptr, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) return nullptr;
  for (UINT y = 0; y < data.Height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride);
    for (UINT x = 0; x < data.Width; ++x) {
      uint32_t p = row[x];
      double r = ((p >> 16) & 0xFF) / 255.0, g = ((p >> 8) & 0xFF) / 255.0, b = (p & 0xFF) / 255.0;
      // Rounded, so that white stays white.
      auto v = uint32_t(std::lround((0.2126 * r + 0.7152 * g + 0.0722 * b) * 255.0));
      row[x] = (p & 0xFF000000u) | v << 16 | v << 8 | v;
    }
  }
  grey->UnlockBits(&data);
  return grey.release();
}

HGLOBAL BitmapToPackedDIB(Bitmap* bitmap) {
  if (!bitmap) return nullptr;
  HBITMAP gdiBitmap = nullptr;
  if (bitmap->GetHBITMAP(Color(255, 0, 0, 0), &gdiBitmap) != Ok || !gdiBitmap) return nullptr;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = LONG(bitmap->GetWidth());
  header.biHeight = LONG(bitmap->GetHeight());
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biXPelsPerMeter = LONG(bitmap->GetHorizontalResolution() * 100 * 0.39370078740157477);
  header.biYPelsPerMeter = LONG(bitmap->GetVerticalResolution() * 100 * 0.39370078740157477);
  HDC screen = GetDC(nullptr);
  HGLOBAL block = nullptr;
  auto fail = [&](DWORD error) {
    if (block) GlobalFree(block);
    DeleteObject(gdiBitmap);
    ReleaseDC(nullptr, screen);
    throw CLXXNull(kLXSeverityInternal, error, __LINE__);
  };
  block = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER));
  if (!block) fail(GetLastError());
  auto* info = static_cast<BITMAPINFO*>(GlobalLock(block));
  if (!info) fail(GetLastError());
  std::memcpy(&info->bmiHeader, &header, sizeof header);
  GetDIBits(screen, gdiBitmap, 0, UINT(header.biHeight), nullptr, info, DIB_RGB_COLORS);
  DWORD imageSize = info->bmiHeader.biSizeImage;
  if (imageSize == 0) imageSize = ((DWORD(header.biWidth) * 32 + 31) / 8 & ~3u) * DWORD(header.biHeight);
  GlobalUnlock(block);
  if (!GlobalReAlloc(block, sizeof(BITMAPINFOHEADER) + imageSize, GMEM_MOVEABLE)) fail(GetLastError());
  info = static_cast<BITMAPINFO*>(GlobalLock(block));
  if (!info) fail(GetLastError());
  GetDIBits(screen, gdiBitmap, 0, UINT(header.biHeight), reinterpret_cast<uint8_t*>(info) + sizeof(BITMAPINFOHEADER),
            info, DIB_RGB_COLORS);
  GlobalUnlock(block);
  DeleteObject(gdiBitmap);
  ReleaseDC(nullptr, screen);
  return block;
}

bool CopyImageToClipboard(Image* image, HWND owner) {
  if (!image) return false;
  return CopyImagesToClipboard({image}, owner);
}

bool CopyImagesToClipboard(const std::vector<Image*>& images, HWND owner) {
  if (images.empty()) return false;
  std::vector<HGLOBAL> dibs(images.size(), nullptr);
  auto freeDibs = [&dibs] {
    for (HGLOBAL& dib : dibs)
      if (dib) GlobalFree(std::exchange(dib, nullptr));
  };
  for (size_t i = 0; i < images.size(); ++i) {
    if (!images[i]) return false;
    if (images[i]->GetType() == ImageTypeBitmap) {
      dibs[i] = BitmapToPackedDIB(static_cast<Bitmap*>(images[i]));
      if (!dibs[i]) {
        freeDibs();
        return false;
      }
    }
  }
  if (!OpenClipboard(owner)) {
    freeDibs();
    return false;
  }
  if (!EmptyClipboard()) {
    CloseClipboard();
    freeDibs();
    return false;
  }
  bool taken = true;
  for (size_t i = 0; i < images.size(); ++i) {
    if (dibs[i]) {
      // A refused block stays ours; nothing leaks.
      if (SetClipboardData(CF_DIB, dibs[i]) == nullptr) {
        GlobalFree(dibs[i]);
        taken = false;
      }
      dibs[i] = nullptr;
    } else if (auto* meta = dynamic_cast<Metafile*>(images[i])) {
      HENHMETAFILE emf = meta->GetHENHMETAFILE();
      const bool placed = emf && SetClipboardData(CF_ENHMETAFILE, emf) != nullptr;
      if (emf && !placed) DeleteEnhMetaFile(emf);
      taken = taken && placed;
    } else {
      taken = false;
    }
  }
  CloseClipboard();
  return taken;
}

bool FindEncoderByExtension(const CString& extension, CLSID* encoder, GUID* format) {
  if (extension.IsEmpty()) return false;
  for (const ImageCodecInfo& codec : Codecs(false)) {
    if (codec.FilenameExtension && CUtils::FilterHasExtension(extension, CString(codec.FilenameExtension))) {
      if (encoder) *encoder = codec.Clsid;
      if (format) *format = codec.FormatID;
      return true;
    }
  }
  return false;
}

bool SaveImageToFile(Image* image, const CString& path) {
  if (!image) return false;
  if (image->GetType() == ImageTypeMetafile) {
    HDC reference = CreateCompatibleDC(nullptr);
    auto target = std::make_unique<Metafile>(path.GetString(), reference, EmfTypeEmfPlusDual, path.GetString());
    Status created = target->GetLastStatus();
    if (created != Ok) {
      DeleteDC(reference);
      throw CLXXGDIPlus(kLXSeverityMessage, created, __LINE__);
    }
    Status replay = Ok;
    {
      Graphics g(target.get());
      GraphicsState state = g.Save();
      RectF bounds;
      Unit unit;
      image->GetBounds(&bounds, &unit);
      replay = g.DrawImage(image, bounds, bounds.X, bounds.Y, bounds.Width, bounds.Height, UnitPixel);
      if (replay != Ok) target->SetStatus(replay);
      g.Flush();
      g.Restore(state);
    }  // ending the recording writes the file
    bool written = target->GetLastStatus() == Ok;
    DeleteDC(reference);
    return replay == Ok && written;
  }
  CLSID encoder{};
  GUID format{};
  if (!FindEncoderByExtension(PathExtension(path), &encoder, &format)) return false;
  LONG quality = 95;
  LONG compression = EncoderValueCompressionLZW;
  EncoderParameters params{};
  params.Count = 0;
  if (format == ImageFormatJPEG) {
    params.Count = 1;
    params.Parameter[0] = EncoderParameter{EncoderQuality, 1, EncoderParameterValueTypeLong, &quality};
  } else if (format == ImageFormatTIFF) {
    params.Count = 1;
    params.Parameter[0] = EncoderParameter{EncoderCompression, 1, EncoderParameterValueTypeLong, &compression};
  }
  // A failure stays in the image's last status.
  return image->Save(path.GetString(), &encoder, params.Count ? &params : nullptr) == Ok;
}

int BuildImageCodecFilter(bool decoders, CString& filter, bool addAllFiles) {
  filter.Empty();
  int count = 0;
  CString all;
  for (const ImageCodecInfo& codec : Codecs(decoders)) {
    if (!codec.FormatDescription || !*codec.FormatDescription || !codec.FilenameExtension || !*codec.FilenameExtension)
      continue;
    CString extensions(codec.FilenameExtension);
    filter += CString(codec.FormatDescription) + L" (" + extensions + L")|" + extensions + L"|";
    if (!all.IsEmpty()) all += L";";
    all += extensions;
    ++count;
  }
  if (decoders && count > 0) {
    CString allPictures;
    LoadString(1311, allPictures);
    filter += allPictures + L"|" + all + L"|";
    ++count;
  }
  if (addAllFiles) {
    CString allFiles;
    LoadString(1310, allFiles);
    filter += allFiles;
    ++count;
  }
  filter += count > 0 ? L"|" : L"||";
  return count;
}
