// The hand-over of the selected crystal structure to the sibling visualising program: the
// structure is written as a text crystal file into a new folder of its own, a live-link session is
// opened for it, and the visualiser is started with the session, the window and the file's path.
// The folders are in app/TransferFolder.h.
#pragma once
#include <vector>

#include "CString.h"
#include "QLPattern.h"
#include "QlwFile.h"
#include "Uuid.h"
#include "Win.h"

class CDiffractWnd;
class CDiffractionSettings;

LX_DECLARE_EXCEPTION(CLXXFileVisualiseXferFind, CLXXQLFile, 22867);
LX_DECLARE_EXCEPTION(CLXXFileVisualiseXferNoApp, CLXXQLFile, 22868);
LX_DECLARE_EXCEPTION(CLXXFileVisualiseXferNoFile, CLXXQLFile, 22869);
LX_DECLARE_EXCEPTION(CLXXFileVisualiseXferNoLaunch, CLXXQLFile, 22870);
LX_DECLARE_EXCEPTION(CLXXFileVisualiseXferNoWrite, CLXXQLFile, 22872);

// Throws the errors met before the launch (no folder or file: …NoFile; the file not written,
// flushed or closed: …NoWrite), and reports those from the search for the program on.
void SendStructureToVisualiser(CDiffractWnd& window);

namespace VisualiserHandOver {
// The visualiser's program file and its maker, as the messages name them.
inline constexpr wchar_t kProgramName[] = L"Lxw";
inline constexpr wchar_t kMakerName[] = L"Lumaxisworks";

// The hand-over file's name: the first pattern's name as a file title, made safe ('"', '\' and
// control characters become '_', leading '.' and '-' go, "Untitled" when nothing is left), and
// the text crystal format's extension.
CString FileName(const CQLPatternList& patterns);
// The visualiser's arguments, one each: "/LXS=<session>", "/LXW=<window as 16 hex digits>", path.
std::vector<CString> Arguments(const UUID& session, HWND window, const CString& path);
// The program to start: the stored path when it is an executable file, else "Lxw" on PATH, else
// beside this program; empty when none is.
CString FindProgram(const CString& stored);
// Writes the patterns into a new file at path (created only if it does not exist, never through a
// link, readable by this user alone) through file; on any failure the file and its folder are
// removed and …NoFile (not opened) or …NoWrite (not written, flushed or closed) is thrown.
void WriteFile(CQlwFile& file, const CString& path, CQLPatternList& patterns, CDiffractionSettings& settings);
}  // namespace VisualiserHandOver
