// The reported operating-system version.
#include "OSVersion.h"

#include <cstring>

namespace {
DWORD g_major = 10, g_minor = 0;
BYTE g_productType = VER_NT_WORKSTATION;
}  // namespace

BOOL GetVersionExW(OSVERSIONINFOEXW* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(DWORD) * 5) return FALSE;
  const DWORD size = info->dwOSVersionInfoSize;
  std::memset(info, 0, size < sizeof(*info) ? size : sizeof(*info));
  info->dwOSVersionInfoSize = size;
  info->dwMajorVersion = g_major;
  info->dwMinorVersion = g_minor;
  info->dwPlatformId = 2;
  if (size >= sizeof(*info)) info->wProductType = g_productType;
  return TRUE;
}

void qlw::SetReportedOSVersion(DWORD major, DWORD minor, BYTE productType) {
  g_major = major;
  g_minor = minor;
  g_productType = productType;
}
