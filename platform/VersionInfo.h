// The program's version resource, built from the QLW_VERSION_* numbers given at build time:
// product name, versions, copyright and the fixed file information.
#pragma once
#include "WinError.h"
#include "WinTypes.h"

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VOS_NT_WINDOWS32 0x00040004u
#define VFT_APP 0x00000001u
#ifndef ERROR_RESOURCE_TYPE_NOT_FOUND
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813
#endif

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};

// Only this program's executable has a version resource: the file's name, without a ".exe", must
// be the executable's name. Others answer 0 / FALSE with ERROR_RESOURCE_TYPE_NOT_FOUND.
DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD bytes, LPVOID data);
// subBlock "\" gives the VS_FIXEDFILEINFO; "\StringFileInfo\080904b0\<name>" a string (length in
// characters, terminator included) for ProductName, ProductVersion, FileVersion, FileDescription,
// CompanyName, LegalCopyRight, InternalName, OriginalFilename; "\VarFileInfo\Translation" the
// language and code page.
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);

#define GetFileVersionInfoSize GetFileVersionInfoSizeW
#define GetFileVersionInfo GetFileVersionInfoW
#define VerQueryValue VerQueryValueW
