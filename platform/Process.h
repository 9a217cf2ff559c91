// Processes: launching (CreateProcess with a Windows command line, ShellExecuteEx with the verbs
// "open" and "runas"), process handles and the executable's own path. Tests can record launches
// in place of running them (platform/testing/ProcessRecorder.h).
#pragma once
#include "KernelObjects.h"
#include "WinError.h"
#include "WinTypes.h"

#include <functional>
#include <string>
#include <vector>

struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
};
typedef STARTUPINFOW* LPSTARTUPINFOW;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;


#define SEE_MASK_DEFAULT 0x00000000u
#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_NOASYNC 0x00000100u
#define SEE_MASK_FLAG_NO_UI 0x00000400u

#define PROCESS_TERMINATE 0x0001u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000u
#ifndef STILL_ACTIVE
#define STILL_ACTIVE 259u
#endif

#ifndef ERROR_NO_ASSOCIATION
#define ERROR_NO_ASSOCIATION 1155
#endif

struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;  // above 32 on success
  void* lpIDList;
  LPCWSTR lpClass;
  void* hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;  // with SEE_MASK_NOCLOSEPROCESS
};
typedef SHELLEXECUTEINFOW* LPSHELLEXECUTEINFOW;

// The command line is split with the Windows rules (quotes, backslashes before quotes); the
// program is applicationName when given, else the first word, looked up on PATH when it has no '/'.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// "open" (or no verb) runs an executable file with its parameters and opens anything else (a
// document, a folder, a URL) with xdg-open. "runas" runs the executable as "open" does: there is
// no elevation here, the user's own registry hives need none. With SEE_MASK_NOASYNC, when the
// desktop names no default application for the target, xdg-open's failure within a few seconds
// (nothing opens it: ERROR_NO_ASSOCIATION) is the call's failure.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

// GetCurrentProcessId is in WinTypes.h.
HANDLE GetCurrentProcess();
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
DWORD GetProcessId(HANDLE process);

// The executable's full path (module null: this program); the result is the length copied, or
// the buffer size with ERROR_INSUFFICIENT_BUFFER when it was cut.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD bufferChars);
DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR fileName, DWORD bufferChars);
// size: in the buffer's characters, out the length copied.
BOOL QueryFullProcessImageNameW(HANDLE process, DWORD flags, LPWSTR exeName, PDWORD size);

#define CreateProcess CreateProcessW
#define ShellExecuteEx ShellExecuteExW
#define GetModuleFileName GetModuleFileNameW
#define GetModuleFileNameEx GetModuleFileNameExW
#define QueryFullProcessImageName QueryFullProcessImageNameW
typedef SHELLEXECUTEINFOW SHELLEXECUTEINFO;
typedef STARTUPINFOW STARTUPINFO;

namespace qlw {
// Splits a Windows command line into its arguments.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// Starts the program with these arguments, each reaching the child as it stands: no command line
// is joined or split, so quotes, blanks and leading dashes in a file name stay in that name. The
// child is reaped when it ends. False (with the last error set) when it cannot be started.
bool LaunchProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);

// One launch as the recorder sees it: program, arguments (without the program), verb ("" for
// CreateProcess), working folder.
struct LaunchRecord {
  std::wstring program;
  std::vector<std::wstring> arguments;
  std::wstring verb;
  std::wstring directory;
};
// While set, launches are handed to the recorder instead of run; its result is the launch's
// success. Only tests set it (see platform/testing/ProcessRecorder.h).
using LaunchRecorder = std::function<bool(const LaunchRecord&)>;
void SetLaunchRecorder(LaunchRecorder recorder);
}  // namespace qlw
