// The whole platform layer in one include: types, errors, strings, numbers, geometry, resources,
// windows and messages, and (when present) the registry, kernel objects, UUIDs, folders and processes.
#pragma once
#include "WinTypes.h"
#include "WinError.h"
#include "Utf16.h"
#include "Format.h"
#include "CString.h"
#include "NumberLocale.h"
#include "Geometry.h"
#include "Resources.h"
#if __has_include("WindowLayer.h")
#include "WindowLayer.h"
#endif
#if __has_include("WndGeometry.h")
#include "WndGeometry.h"
#endif
#if __has_include("Menus.h")
#include "Menus.h"
#endif
#if __has_include("Registry.h")
#include "Registry.h"
#endif
#if __has_include("KernelObjects.h")
#include "KernelObjects.h"
#endif
#if __has_include("Files.h")
#include "Files.h"
#endif
#if __has_include("Uuid.h")
#include "Uuid.h"
#endif
#if __has_include("ShellFolders.h")
#include "ShellFolders.h"
#endif
#if __has_include("Process.h")
#include "Process.h"
#endif
#if __has_include("VersionInfo.h")
#include "VersionInfo.h"
#endif
#if __has_include("Clipboard.h")
#include "Clipboard.h"
#endif
