// CUtils: static helpers for paths with folder macros, URLs, processes, the registry, numbers
// and packed versions as text; beside it free functions for text lines, fields and element codes.
// The errors thrown here (CLXXBadPath, CLXXBadURL) are declared in LXXUtilities.h.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

#include "LXSyncRect.h"
#include "Win.h"

class CCmdUI;

class CUtils {
 public:
  // Paths and folders. A portable path may begin with "<CSIDL_PERSONAL>", "<CSIDL_MYDOCUMENTS>",
  // "<CSIDL_PROFILE>" or "<CSIDL_COMMON_DOCUMENTS>" followed by a path relative to that folder.
  static void CanonicalizePath(CString& path);
  static void CanonicalizePathCopy(CString& path);
  static void GetLongPath(CString& path);
  static bool ExpandFolderMacros(CString& path, CString& out);
  static bool MakeFolderMacroPath(const CString& path, bool requirePrefix, CString& out);
  static void MakePortablePath(const CString& path, CString& out);
  static void GetFileTitle(CString& path);
  static bool DeleteFileSilently(LPCWSTR path);
  // Shortcuts are symbolic links here.
  static bool IsShortcut(const CString& path);
  static bool ResolveShortcut(const CString& path, CString& target);
  // Files under path (itself when a file), shortcuts resolved, hidden entries skipped.
  static void CollectFiles(const CString& path, std::list<CString>& names);
  static bool GetFilterPattern(const CString& filters, int index, CString& pattern);
  static bool FilterHasExtension(const CString& extension, const CString& filter);
  static bool FilterHasExtension(const CString& extension, const std::vector<CString>& filterList);
  static void MultiStringToString(const std::vector<CString>& strings, CString& out);
  static bool FileURLToPath(const CString& text, CString& path);
  static bool PathToURL(const CString& path, CString& url);
  // A URL from its parts: scheme "://" host, ":" and the port unless it is the scheme's default
  // (or 0), then path and extra information ("?query" or "#part"). False, out empty, without a scheme.
  struct URLParts {
    CString scheme, host;
    int port = 0;
    CString path, extra;
  };
  static bool ComposeURL(const URLParts& parts, CString& out);

  // Processes and the registry.
  static bool GetProcessImagePath(HANDLE process, CString& out);
  // Loads the shared library (by its file name, as the dynamic loader finds it) and returns the
  // entry point, or null; the caller casts it to the entry point's own type.
  using EntryPoint = void (*)();
  static EntryPoint GetProcAddressByName(const char* functionName, LPCWSTR libraryName);
  static bool RunProgram(const CString& program, const CString& arguments, bool quoteArguments);
  // The program with one argument per entry, never joined into a command line: a file name
  // holding quotes or blanks cannot turn into switches of the child.
  static bool RunProgram(const CString& program, const std::vector<CString>& arguments);
  static bool OpenWithShell(const CString& pathOrURL, bool report);
  static bool CopyRegistryKey(HKEY source, HKEY destination);

  // Text, numbers and versions.
  static bool ParseNumber(const CString& text, bool strict, double* out);
  static bool ParseNumberChecked(const CString& text, bool strict, double* out);
  static int FindFirstNotOf(const CString& text, const CString& set);
  static void TrimZeros(CString& number, bool dropPoint);
  static void MakeUniqueName(CString& name, const CString& word, const std::list<CString>& existing,
                             int firstNumber);
  static void TerminateOverbars(CString& text);
  static int FormatStringV(LPCWSTR format, va_list args, CString& out);
  static CString FourCCToString(uint32_t code);
  // Packed version: major bits 24-31, minor 16-23, bug-fix 8-15, stage 6-7 (0 'd', 1 'a', 2 'b',
  // 3 release), build 0-5 (63: none).
  static uint32_t PackVersion(int major, int minor, int bugFix, wchar_t stage, int build);
  static void VersionPartsToString(int major, int minor, int bugFix, wchar_t stage, int build, CString& out);
  static void VersionToString(uint32_t packed, CString& out);
  static uint32_t VersionFromString(const CString& text);
  static bool ParseVersionResource(const CString& text, uint32_t* packed, CString& out);
  static bool GetAppVersionInfo(CString& product, CString& legalNotice, CString& versionText, uint32_t* packed);

  // The clipboard: its contents become the text alone; false when the clipboard could not be
  // opened or the text not placed on it.
  static bool CopyTextToClipboard(HWND owner, const CString& text);

  // Starts the program's wave resource playing; false, with a line on standard error, when there
  // is no such resource or the desktop cannot play it.
  static bool LoadAndPlaySound(UINT soundId);

  // Windows and controls.
  static void GetVirtualScreenRect(LXGraphics::CSyncRect& out);
  // Sends the system command restore to a minimised or maximised window.
  static void RestoreWindow(HWND window);
  // Hides, or shows restored when minimised, maximised when zoomed, else normally; the result of
  // ShowWindow.
  static BOOL ShowWindowKeepState(HWND window, bool show);
  // Touches the button only when its checked bit differs.
  static void SetCheck(HWND button, bool checked);
  // Focus on the control with its whole text selected: through WM_NEXTDLGCTL in a dialog (null:
  // the control's parent), else SetFocus and the edit's or combo box's selection.
  static void ActivateControl(HWND dialog, HWND control);
  // The window (null: the active one) to the foreground, restored when minimised, on top.
  static bool BringToFront(HWND window);
  // Moves the rectangle into the work area of its monitor (the one under its caption band, else
  // the nearest). fitWhole also shrinks it to fit; otherwise it is only kept reachable, inside a
  // margin unless noMargin.
  static void FitRectToMonitor(LXGraphics::CSyncRect& rect, bool fitWhole, bool noMargin);
  static void FitRECTToMonitor(RECT& rect);
  // Moves, and shrinks when needed, a window rectangle (as GetWindowRect gives it: decorations
  // lie outside it by margins) so that the whole frame lies in the work area.
  static void FitFrameIntoWorkArea(RECT& rect, const RECT& margins, const RECT& work);
  // The same for the window's own decorations and the work area of the monitor it would be on.
  static void FitWindowRectToMonitor(HWND window, RECT& rect);
  // Fits the window rectangle, decorations included, to its monitor and moves the window there.
  static void MoveWindowOnScreen(HWND window, const RECT& rect);
  static void WindowToVisibleRect(HWND window, RECT& rect);
  static void VisibleToWindowRect(HWND window, RECT& rect);
  // Registers, when needed, a copy of the creation structure's class under className without the
  // redraw-on-resize styles, and makes the structure name it; false when registration fails.
  static bool UseOwnWindowClass(CREATESTRUCTW& cs, LPCWSTR className);
  // Captures the mouse for the window when nobody holds it and none is recorded; answers whether
  // a capture is held. EndCapture releases it only while the recorded window holds it, and
  // clears the record.
  static bool BeginCapture(HWND window);
  static void EndCapture(HWND window);
  static HWND GetRecordedCapture();
  // Menus: the position of a command in a menu (-1 when absent); the menu or submenu (depth
  // first) that holds it, with its position; the same on a window's menu (null: the main window).
  static int FindMenuItemPosition(HMENU menu, UINT commandId);
  static HMENU FindMenuContainingItem(HMENU menu, UINT commandId, int& position);
  static HMENU FindMenuItem(HWND window, UINT commandId, int* position = nullptr);
  // Posts the control's notification to its parent as WM_COMMAND (control id, code).
  static bool PostCommandToParent(HWND control, UINT notificationCode = 0);
  // Need the class library and the drawing layer: defined in framework/core/gui.
  static bool SetAppIcon(HWND window);
  static void SetCmdUIText(CCmdUI* ui, bool condition, UINT idIfTrue, UINT idIfFalse);
};

// The shell's logical order of names: runs of digits compare by value (O2 before O10), other
// characters without regard to case. Negative, 0 or positive.
int CompareLogically(LPCWSTR a, LPCWSTR b);

// Lines of a text stream: CR, LF and CR-LF all end a line.
int CountTextLines(FILE* stream);
int ReadTextLine(FILE* stream, char* buffer, int size);
void ReadTextLineA(FILE* stream, std::string& line);
// The index-th (1-based) blank-separated field, at most 19 characters; a field that begins with
// a single quote runs to the next one.
bool GetTextField(const char* line, int index, char out[21]);

// Element codes: the symbol's first letter in the high byte, the second (or a blank) in the low
// byte; 0x3F3F is an unknown symbol and 0 no element.
constexpr uint16_t kUnknownElementCode = 0x3F3F;
// Whether the element table has a record for a symbol of one or two letters; the engine's table
// installs it, so that valid symbols are exactly the table's.
using ElementSymbolTest = bool (*)(const char* symbol);
void SetElementSymbolTest(ElementSymbolTest test);
uint16_t ElementCodeFromString(LPCWSTR text);
uint16_t ElementCodeFromText(const CString& text);
CString ElementCodeToString(uint16_t code);
void ElementCodeToText(uint16_t code, CString& out);
bool NormalizeElementSymbol(char symbol[2]);
bool IsElementCodeNormalized(uint16_t code);
