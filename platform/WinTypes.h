// Windows scalar types, handles and small macros; the tick clock and beep live in WinTypes.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int INT;
typedef int32_t LONG;  // 32-bit as on Windows, not the 64-bit C long
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int BOOL;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef wchar_t WCHAR;
typedef wchar_t TCHAR;
typedef float FLOAT;
typedef double DOUBLE;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int64_t INT64;
typedef uint64_t UINT64;
typedef uint64_t DWORD64;
typedef int32_t INT32;
typedef uint32_t UINT32;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef LONG HRESULT;
typedef DWORD COLORREF;
typedef WORD ATOM;

typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* PBYTE;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* PDWORD;
typedef DWORD* LPDWORD;
typedef DWORD_PTR* PDWORD_PTR;
typedef LONG* PLONG;
typedef LONG* LPLONG;
typedef UINT* PUINT;
typedef BOOL* LPBOOL;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* LPTSTR;
typedef const wchar_t* LPCTSTR;
typedef wchar_t* PWSTR;
typedef const wchar_t* PCWSTR;

// Distinct pointer types per handle kind, so that mixing them up does not compile.
#define QLW_DECLARE_HANDLE(name) \
  struct name##__;               \
  typedef name##__* name
typedef void* HANDLE;
QLW_DECLARE_HANDLE(HWND);
QLW_DECLARE_HANDLE(HINSTANCE);
QLW_DECLARE_HANDLE(HMENU);
QLW_DECLARE_HANDLE(HICON);
QLW_DECLARE_HANDLE(HBRUSH);
QLW_DECLARE_HANDLE(HFONT);
QLW_DECLARE_HANDLE(HPEN);
QLW_DECLARE_HANDLE(HBITMAP);
QLW_DECLARE_HANDLE(HRGN);
QLW_DECLARE_HANDLE(HDC);
QLW_DECLARE_HANDLE(HHOOK);
QLW_DECLARE_HANDLE(HACCEL);
QLW_DECLARE_HANDLE(HMONITOR);
QLW_DECLARE_HANDLE(HENHMETAFILE);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef void* HGDIOBJ;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
typedef SYSTEMTIME* PSYSTEMTIME;
typedef SYSTEMTIME* LPSYSTEMTIME;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WINAPI
#define CALLBACK
#define APIENTRY
#define _T(x) L##x
#define TEXT(x) L##x
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFF
#define UNREFERENCED_PARAMETER(p) (void)(p)
#define _countof(a) (sizeof(a) / sizeof((a)[0]))

#define MAKEWORD(lo, hi) ((WORD)(((BYTE)((DWORD_PTR)(lo) & 0xff)) | ((WORD)((BYTE)((DWORD_PTR)(hi) & 0xff))) << 8))
#define MAKELONG(lo, hi) ((LONG)(((WORD)((DWORD_PTR)(lo) & 0xffff)) | ((DWORD)((WORD)((DWORD_PTR)(hi) & 0xffff))) << 16))
#define LOWORD(l) ((WORD)((DWORD_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((DWORD_PTR)(l) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)((DWORD_PTR)(w) & 0xff))
#define HIBYTE(w) ((BYTE)(((DWORD_PTR)(w) >> 8) & 0xff))
#define MAKEWPARAM(lo, hi) ((WPARAM)(DWORD)MAKELONG(lo, hi))
#define MAKELPARAM(lo, hi) ((LPARAM)(DWORD)MAKELONG(lo, hi))
#define MAKELRESULT(lo, hi) ((LRESULT)(DWORD)MAKELONG(lo, hi))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))

// Sound types for MessageBeep.
#define MB_OK 0x00000000u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK

// Milliseconds since an arbitrary start on a monotonic clock; platform/testing/FakeClock.h can replace it.
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds);
// Stable, never reused 32-bit id of the calling thread (assigned on first use), and getpid().
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
// Current time of day in UTC and in the local time zone.
void GetSystemTime(LPSYSTEMTIME time);
void GetLocalTime(LPSYSTEMTIME time);
// The desktop's event sound for the type (Sound.cpp); FALSE when none could be played.
BOOL MessageBeep(UINT type);

namespace qlw {
// Milliseconds source behind GetTickCount; nullptr restores the monotonic clock.
using TickSource = ULONGLONG (*)();
void SetTickSource(TickSource source);
// Beeps issued so far in this process (tests check that a fault path beeped).
unsigned MessageBeepCount();
}  // namespace qlw

// Show commands of windows and launched programs.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_MAXIMIZE 3
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
