// Special folders mapped onto the XDG folders, the temporary folder, and the path helpers of the
// shell. Paths are written with '/'; the helpers also take '\' as a separator on input.
#pragma once
#include "WinError.h"
#include "WinTypes.h"

#ifndef E_POINTER
#define E_POINTER ((HRESULT)0x80004003u)
#endif

#define CSIDL_PERSONAL 0x0005
#define CSIDL_MYDOCUMENTS CSIDL_PERSONAL
#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_PROFILE 0x0028
#define CSIDL_COMMON_DOCUMENTS 0x002e
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_DONT_VERIFY 0x4000

#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

#ifndef FILE_ATTRIBUTE_DIRECTORY
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#endif
#ifndef FILE_ATTRIBUTE_NORMAL
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#endif

// Folder for a CSIDL code, without a trailing separator, into a buffer of MAX_PATH characters.
// CSIDL_PERSONAL: the XDG documents folder; CSIDL_APPDATA: $XDG_CONFIG_HOME; CSIDL_LOCAL_APPDATA:
// $XDG_DATA_HOME; CSIDL_COMMON_APPDATA: the first of $XDG_DATA_DIRS; CSIDL_PROFILE: $HOME;
// CSIDL_COMMON_DOCUMENTS: the XDG public-share folder. A folder that does not exist answers
// E_FAIL unless CSIDL_FLAG_CREATE asks to create it or CSIDL_FLAG_DONT_VERIFY only asks its name.
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create);
// Creates the folder and its missing parents: ERROR_SUCCESS, ERROR_ALREADY_EXISTS or an error.
int SHCreateDirectoryExW(HWND owner, LPCWSTR path, const void* security);

// $TMPDIR or /tmp, with a trailing '/'; answers the length, or the size needed when it does not fit.
DWORD GetTempPathW(DWORD bufferChars, LPWSTR buffer);

BOOL PathFileExistsW(LPCWSTR path);
// Joins with one '/' (a '\' in more becomes '/'); the buffer holds MAX_PATH characters.
BOOL PathAppendW(LPWSTR path, LPCWSTR more);
// Resolves "." and ".." and turns '\' into '/'; out holds MAX_PATH characters.
BOOL PathCanonicalizeW(LPWSTR out, LPCWSTR path);
// Relative path from one path (a folder when fromAttributes has FILE_ATTRIBUTE_DIRECTORY, else a
// file whose folder counts) to another, "./" or "../" first; FALSE when they share no root.
BOOL PathRelativePathToW(LPWSTR out, LPCWSTR from, DWORD fromAttributes, LPCWSTR to, DWORD toAttributes);
// Paths have no short form here: copies the path when it exists, else 0 with ERROR_FILE_NOT_FOUND.
DWORD GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD bufferChars);
// "file://" URL of an absolute path, with reserved characters escaped.
HRESULT UrlCreateFromPathW(LPCWSTR path, LPWSTR url, LPDWORD urlChars, DWORD reserved);

#define SHGetFolderPath SHGetFolderPathW
#define SHGetSpecialFolderPath SHGetSpecialFolderPathW
#define SHCreateDirectoryEx SHCreateDirectoryExW
#define GetTempPath GetTempPathW
#define PathFileExists PathFileExistsW
#define PathAppend PathAppendW
#define PathCanonicalize PathCanonicalizeW
#define PathRelativePathTo PathRelativePathToW
#define GetLongPathName GetLongPathNameW
#define UrlCreateFromPath UrlCreateFromPathW
