// The clipboard and movable global memory blocks; the clipboard rides on the GUI application's
// clipboard and fails cleanly (FALSE or NULL, with an error number) when there is none.
//
// A CF_UNICODETEXT block holds UTF-16 code units (char16_t, not wchar_t), terminator included:
// convert with qlw::ToUtf16 / qlw::FromUtf16 from Utf16.h. A CF_TEXT block holds UTF-8 and a zero
// byte. A registered format carries its block's bytes unchanged under the MIME type
// "application/x-qlw-<name>", so other processes find it by name, not by number.
#pragma once
#include "WinError.h"
#include "WinTypes.h"

#define CF_TEXT 1
#define CF_UNICODETEXT 13

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
