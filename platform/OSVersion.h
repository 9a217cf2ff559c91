// The operating-system version the program sees. The stand-in reports a current desktop system
// (10.0, a workstation); tests may have it report another.
#pragma once
#include "WinTypes.h"

#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
BOOL GetVersionExW(OSVERSIONINFOEXW* info);
#define GetVersionEx GetVersionExW

namespace qlw {
// Test seam: the version GetVersionEx reports from now on.
void SetReportedOSVersion(DWORD major, DWORD minor, BYTE productType);
}  // namespace qlw
