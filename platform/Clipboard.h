// The clipboard and movable global memory blocks; the clipboard rides on the GUI application's
// clipboard and fails cleanly (FALSE or NULL, with an error number) when there is none.
//
// Images: a CF_DIB block (packed DIB: 40-byte header and 32-bit rows) goes out as "image/png" and,
// unchanged, as "application/x-qlw-dib"; a CF_ENHMETAFILE handle (the GDI layer's recording) as
// "image/svg+xml" with an "image/png" beside it, never under an EMF name.
//
// A CF_UNICODETEXT block holds UTF-16 code units (char16_t, not wchar_t), terminator included:
// convert with qlw::ToUtf16 / qlw::FromUtf16 from Utf16.h. A CF_TEXT block holds UTF-8 and a zero
// byte. A registered format carries its block's bytes unchanged under the MIME type
// "application/x-qlw-<name>", so other processes find it by name, not by number.
#pragma once
#include "WinError.h"
#include "WinTypes.h"

#define CF_TEXT 1
#define CF_DIB 8
#define CF_UNICODETEXT 13
#define CF_ENHMETAFILE 14

#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158
#endif
#ifndef ERROR_CLIPBOARD_NOT_OPEN
#define ERROR_CLIPBOARD_NOT_OPEN 1418
#endif

// Global memory. A fixed block's handle is its address; a movable block's handle is an entry of
// our own handle table, turned into an address by GlobalLock.
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// A movable block keeps its handle; a fixed one may move. NULL (block unchanged) on failure.
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
// Returns NULL on success, the handle itself when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL mem);
LPVOID GlobalLock(HGLOBAL mem);
// TRUE while the block stays locked; FALSE with ERROR_SUCCESS when the last lock is released,
// FALSE with ERROR_NOT_LOCKED when it was not locked.
BOOL GlobalUnlock(HGLOBAL mem);
// The requested size; 0 for a handle that is not a live block.
SIZE_T GlobalSize(HGLOBAL mem);

// The clipboard, usable on the GUI application's thread. One thread holds it open at a time.
BOOL OpenClipboard(HWND newOwner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
// On success the clipboard owns the block (freed at the next EmptyClipboard or CloseClipboard).
HANDLE SetClipboardData(UINT format, HANDLE mem);
// The block belongs to the clipboard and is valid until CloseClipboard or EmptyClipboard.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// The same number for the same name (case-insensitive) within the process, from 0xC000 up.
UINT RegisterClipboardFormatW(LPCWSTR name);
#define RegisterClipboardFormat RegisterClipboardFormatW

#include <string>
#include <utility>
#include <vector>

namespace qlw {
// The GDI layer turns a metafile handle into clipboard data (MIME type, bytes) and frees it.
struct MetafileClipboardExport {
  bool (*render)(HANDLE emf, std::vector<std::pair<std::string, std::string>>& out) = nullptr;
  void (*release)(HANDLE emf) = nullptr;
};
void SetMetafileClipboardExport(const MetafileClipboardExport& exporter);
}  // namespace qlw
