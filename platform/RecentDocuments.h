// The shell's recent documents: on this desktop the freedesktop recently-used list,
// $XDG_DATA_HOME/recently-used.xbel, which file dialogs and file managers show. The class
// library's own recent-file list is in RecentFileList.h.
#pragma once
#include "WinTypes.h"

#include <ctime>
#include <string>

#define SHARD_PIDL 0x00000001u
#define SHARD_PATHA 0x00000002u
#define SHARD_PATHW 0x00000003u

// Adds a file (SHARD_PATHW: a wide path; SHARD_PATHA: a UTF-8 path) for this program, with the
// type that the program gives it. Anything else, or a null path, does nothing.
void SHAddToRecentDocs(UINT flags, LPCVOID pv);

namespace qlw {
// One use of a file by a program.
struct RecentUse {
  std::string path;      // absolute
  std::string mimeType;
  std::string appName;   // the program's name, as the list names it
  std::string exec;      // its command line, "%u" standing for the file
  std::time_t when = 0;  // 0: now
};

// $XDG_DATA_HOME/recently-used.xbel (or ~/.local/share/recently-used.xbel).
std::string RecentlyUsedPath();

// Adds the file to the list, or marks it used again: its entry's times and the program's count of
// uses change, every other entry and program stays as written. Other writers are kept off by a
// lock while the list is read and replaced, and readers only ever see a whole file. False when the
// list cannot be read as a list (it is left as it is) or cannot be written.
bool AddRecentlyUsed(const RecentUse& use);

// The MIME type the program gives a file, or "" to let the desktop's database say. The
// application installs it; without one the desktop's database decides.
using RecentMimeTypeResolver = std::string (*)(const std::wstring& path);
void SetRecentMimeTypeResolver(RecentMimeTypeResolver resolver);
}  // namespace qlw
