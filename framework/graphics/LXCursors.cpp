#include "LXCursors.h"

#include "LXImages.h"
#include "Win.h"

#include <memory>
#include <vector>

using namespace Gdiplus;

std::map<UINT, HCURSOR> g_cursorCache;
CLXThreadMutex g_cursorMutex;

namespace {
// The identifiers that stand for the system's own cursors.
LPCWSTR SystemCursor(int identifier) {
  switch (identifier) {
    case 2105: return IDC_ARROW;
    case 2106: return IDC_HAND;
    case 2107: return IDC_IBEAM;
    case 2108: return IDC_WAIT;
    case 2109: return IDC_SIZENS;
    case 2110: return IDC_SIZEWE;
    default: return nullptr;
  }
}
}  // namespace

bool LoadCursorById(int identifier, HCURSOR& cursor) {
  cursor = nullptr;
  if (LPCWSTR system = SystemCursor(identifier)) {
    cursor = static_cast<HCURSOR>(LoadImageW(nullptr, system, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE | LR_LOADMAP3DCOLORS));
    return cursor != nullptr;
  }
  return LoadColorCursor(UINT(identifier), qlw::ProgramModule(), cursor);
}

bool LoadColorCursor(UINT resourceId, HINSTANCE module, HCURSOR& cursor) {
  cursor = nullptr;
  if (!module) {
    cursor = static_cast<HCURSOR>(LoadImageW(nullptr, MAKEINTRESOURCEW(resourceId), IMAGE_CURSOR, 0, 0,
                                             LR_SHARED | LR_DEFAULTSIZE | LR_LOADMAP3DCOLORS));
    return cursor != nullptr;
  }
  if (resourceId >= 0x10000) return false;
  std::unique_ptr<Bitmap> bitmap(LoadBitmapResource(resourceId));
  if (!bitmap) return false;
  HBITMAP mask = nullptr, colour = nullptr;
  if (!MakeCursorBitmaps(bitmap.get(), mask, colour)) return false;
  ICONINFO info{FALSE, 0, 0, mask, colour};
  if (HRSRC spot = FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"HOTSPOT")) {
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, spot)));
    if (bytes && SizeofResource(module, spot) >= 4) {
      info.xHotspot = DWORD(bytes[0] | bytes[1] << 8);
      info.yHotspot = DWORD(bytes[2] | bytes[3] << 8);
    }
  }
  cursor = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  return cursor != nullptr;
}

bool MakeCursorBitmaps(Bitmap* bitmap, HBITMAP& mask, HBITMAP& colour) {
  mask = colour = nullptr;
  if (!bitmap) return false;
  const INT w = INT(bitmap->GetWidth()), h = INT(bitmap->GetHeight());
  HBITMAP image = nullptr;
  if (bitmap->GetHBITMAP(Color(255, 0, 0, 0), &image) != Ok) return false;
  // The mask marks the transparent pixels (set bits over black show the screen): left empty it
  // would turn every transparent pixel into black.
  const int rowBytes = ((w + 15) / 16) * 2;
  std::vector<BYTE> bits(size_t(rowBytes) * size_t(h), 0);
  for (INT y = 0; y < h; ++y)
    for (INT x = 0; x < w; ++x) {
      Color c;
      bitmap->GetPixel(x, y, &c);
      if (c.GetA() < 128) bits[size_t(y) * rowBytes + size_t(x / 8)] |= BYTE(0x80 >> (x % 8));
    }
  HDC screen = GetDC(nullptr);
  mask = ::CreateBitmap(w, h, 1, 1, bits.data());
  colour = CreateCompatibleBitmap(screen, w, h);
  HDC source = CreateCompatibleDC(screen), target = CreateCompatibleDC(screen);
  HGDIOBJ oldSource = SelectObject(source, image), oldTarget = SelectObject(target, colour);
  BOOL copied = BitBlt(target, 0, 0, w, h, source, 0, 0, SRCCOPY);
  SelectObject(source, oldSource);
  SelectObject(target, oldTarget);
  DeleteDC(source);
  DeleteDC(target);
  ReleaseDC(nullptr, screen);
  DeleteObject(image);
  if (!copied || !mask || !colour) {
    if (mask) DeleteObject(mask);
    if (colour) DeleteObject(colour);
    mask = colour = nullptr;
    return false;
  }
  return true;
}

void LoadCursorCache() {
  for (UINT first : {2500u, 2100u}) {
    for (UINT id = first;; ++id) {
      HCURSOR cursor = nullptr;
      if (!LoadCursorById(int(id), cursor)) break;
      g_cursorCache[id] = cursor;
    }
  }
}

HCURSOR SetCursorById(UINT identifier) {
  // Made when a cursor is first set rather than at start-up, where they took a twentieth of it.
  static bool loaded = false;
  if (!loaded && g_cursorCache.empty()) LoadCursorCache();
  loaded = true;
  auto it = g_cursorCache.find(identifier);
  return it == g_cursorCache.end() ? nullptr : SetCursorHandle(it->second);
}

HCURSOR SetCursorHandle(HCURSOR cursor) {
  CLXMutexLock lock(g_cursorMutex);
  if (GetCursor() == cursor) return nullptr;
  SetLastError(0);
  HCURSOR previous = SetCursor(cursor);
  if (GetLastError() != 0 && previous) SetCursor(previous);
  ShowCursor(TRUE);
  return previous;
}
