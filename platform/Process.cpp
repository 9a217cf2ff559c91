// Process launch on posix_spawn, process handles, and the executable's path from /proc.
#include "Process.h"

#include "CString.h"
#include "Utf16.h"

#include <QMimeDatabase>
#include <QUrl>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qlw {
namespace {

std::mutex g_recorderMutex;
LaunchRecorder& Recorder() {
  static LaunchRecorder recorder;
  return recorder;
}

// Shared by the process handle and its main-thread handle.
struct ProcState {
  pid_t pid = 0;
  bool child = false;
  bool exited = false;
  DWORD exitCode = STILL_ACTIVE;
  std::mutex mutex;

  ~ProcState() {
    // A child nobody waited for is reaped in the background instead of lingering as a zombie.
    if (child && !exited) {
      const pid_t p = pid;
      std::thread([p] { waitpid(p, nullptr, 0); }).detach();
    }
  }

  bool Poll() {
    std::lock_guard<std::mutex> lock(mutex);
    if (exited) return true;
    if (child) {
      int status = 0;
      const pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        exited = true;
        exitCode = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status)) : 128u + WTERMSIG(status);
        return true;
      }
      if (r == 0) return false;
      child = false;  // reaped elsewhere: watch it as any other process
    }
    if (kill(pid, 0) != 0 && errno == ESRCH) {
      exited = true;
      exitCode = 0;
      return true;
    }
    return false;
  }
};

class ProcessObject : public KernelObject {
 public:
  explicit ProcessObject(std::shared_ptr<ProcState> state) : state(std::move(state)) {}
  bool IsWaitable() const override { return true; }
  bool NeedsPolling() const override { return true; }
  bool TryAcquire(DWORD* result) override {
    if (!state->Poll()) return false;
    *result = WAIT_OBJECT_0;
    return true;
  }
  std::shared_ptr<ProcState> state;
};

bool IsCurrentProcess(HANDLE h) { return h == INVALID_HANDLE_VALUE; }

pid_t PidOf(HANDLE h) {
  if (IsCurrentProcess(h)) return getpid();
  auto p = FindHandleOf<ProcessObject>(h);
  return p ? p->state->pid : 0;
}

std::wstring ExePath(pid_t pid) {
  char buf[PATH_MAX + 1];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t n = readlink(link.c_str(), buf, PATH_MAX);
  if (n <= 0) return {};
  std::string path(buf, static_cast<size_t>(n));
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  return FromUtf8(path);
}

// Copies with the module-name rules: cut to the buffer, terminated, length or buffer size back.
DWORD CopyModuleName(const std::wstring& path, LPWSTR out, DWORD chars) {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!out || chars == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() + 1 > chars) {
    std::copy(path.begin(), path.begin() + (chars - 1), out);
    out[chars - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return chars;
  }
  std::copy(path.begin(), path.end(), out);
  out[path.size()] = L'\0';
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

struct Spawned {
  bool ok = false;
  pid_t pid = 0;
};

// environment: "NAME=value" entries for the child, or null for this process's own.
Spawned Spawn(const LaunchRecord& launch, std::vector<std::string>* environment) {
  {
    std::lock_guard<std::mutex> lock(g_recorderMutex);
    if (Recorder()) {
      const bool ok = Recorder()(launch);
      if (!ok) SetLastError(ERROR_FILE_NOT_FOUND);
      return Spawned{ok, 0};
    }
  }
  std::vector<std::string> args;
  args.push_back(ToUtf8(launch.program));
  for (const auto& a : launch.arguments) args.push_back(ToUtf8(a));
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  if (environment) {
    for (auto& e : *environment) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!launch.directory.empty())
    posix_spawn_file_actions_addchdir_np(&actions, ToUtf8(launch.directory).c_str());
  pid_t pid = 0;
  const std::string& program = args[0];
  char** envArg = environment ? envp.data() : environ;
  const int rc = program.find('/') == std::string::npos
                     ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envArg)
                     : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envArg);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    SetLastError(Win32ErrorFromErrno(rc));
    return {};
  }
  return Spawned{true, pid};
}

HANDLE ProcessHandle(const std::shared_ptr<ProcState>& state) {
  return AddHandle(std::make_shared<ProcessObject>(state));
}

std::shared_ptr<ProcState> ChildState(pid_t pid) {
  auto state = std::make_shared<ProcState>();
  state->pid = pid;
  state->child = true;
  return state;
}

// The first line a program writes, or "" when it cannot be run or says nothing within the time.
std::string FirstLineOf(const std::vector<std::string>& command, std::chrono::milliseconds limit) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  if (rc == 0) {
    const auto end = std::chrono::steady_clock::now() + limit;
    char buffer[512];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd p{out[0], POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    ChildState(pid);  // reaped when it ends
  }
  close(out[0]);
  text = text.substr(0, text.find('\n'));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

// Whether the desktop names a default application for the file's type or the address's scheme.
bool DesktopHasDefaultOpener(const std::wstring& target, bool isUrl) {
  const QString name = QString::fromStdWString(target);
  const QString type = isUrl ? QStringLiteral("x-scheme-handler/") + QUrl(name).scheme().toLower()
                             : QMimeDatabase().mimeTypeForFile(name).name();
  return !FirstLineOf({"xdg-mime", "query", "default", type.toStdString()}, std::chrono::seconds(3)).empty();
}

// How xdg-open ends: 0 opened (or still open after the time, a viewer it waits for), else its
// exit code (2: the file is missing, 3: nothing opens it, 4: the program it chose failed).
DWORD WaitForOpener(const std::shared_ptr<ProcState>& state, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!state->Poll()) {
    if (std::chrono::steady_clock::now() >= end) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->exitCode;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> args;
  std::wstring current;
  bool inArg = false, quoted = false;
  const size_t n = commandLine.size();
  for (size_t i = 0; i < n; ++i) {
    const wchar_t c = commandLine[i];
    if (!quoted && (c == L' ' || c == L'\t')) {
      if (inArg) args.push_back(current);
      current.clear();
      inArg = false;
      continue;
    }
    inArg = true;
    if (c == L'\\') {
      size_t slashes = 0;
      while (i < n && commandLine[i] == L'\\') {
        ++slashes;
        ++i;
      }
      if (i < n && commandLine[i] == L'"') {
        current.append(slashes / 2, L'\\');
        if (slashes % 2) {
          current += L'"';
        } else {
          --i;  // the quote is handled as a quote below
        }
      } else {
        current.append(slashes, L'\\');
        --i;
      }
      continue;
    }
    if (c == L'"') {
      if (quoted && i + 1 < n && commandLine[i + 1] == L'"') {
        current += L'"';
        ++i;
      } else {
        quoted = !quoted;
      }
      continue;
    }
    current += c;
  }
  if (inArg) args.push_back(current);
  return args;
}

bool LaunchProgram(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  if (program.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  LaunchRecord launch;
  launch.program = program;
  launch.arguments = arguments;
  const Spawned spawned = Spawn(launch, nullptr);
  // The child's record goes at once: it is reaped in the background when it ends.
  if (spawned.ok && spawned.pid) ChildState(spawned.pid);
  return spawned.ok;
}

void SetLaunchRecorder(LaunchRecorder recorder) {
  std::lock_guard<std::mutex> lock(g_recorderMutex);
  Recorder() = std::move(recorder);
}

}  // namespace qlw

using namespace qlw;

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION info) {
  std::vector<std::wstring> args = commandLine ? SplitCommandLine(commandLine) : std::vector<std::wstring>();
  LaunchRecord launch;
  if (applicationName && *applicationName) {
    launch.program = applicationName;
    if (!args.empty()) args.erase(args.begin());  // the command line repeats the program first
  } else if (!args.empty()) {
    launch.program = args.front();
    args.erase(args.begin());
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  launch.arguments = std::move(args);
  if (currentDirectory) launch.directory = currentDirectory;

  std::vector<std::string> env;
  if (environment) {
    // A block of "NAME=value" entries ending in an empty one; wide when so flagged.
    constexpr DWORD kUnicodeEnvironment = 0x00000400;
    if (creationFlags & kUnicodeEnvironment) {
      for (auto* p = static_cast<const wchar_t*>(environment); *p; p += wcslen(p) + 1) env.push_back(ToUtf8(p));
    } else {
      for (auto* p = static_cast<const char*>(environment); *p; p += strlen(p) + 1) env.emplace_back(p);
    }
  }
  const Spawned spawned = Spawn(launch, environment ? &env : nullptr);
  if (!spawned.ok) return FALSE;
  if (info) {
    *info = PROCESS_INFORMATION{};
    if (spawned.pid) {
      auto state = ChildState(spawned.pid);
      info->hProcess = ProcessHandle(state);
      info->hThread = ProcessHandle(state);
      info->dwProcessId = info->dwThreadId = static_cast<DWORD>(spawned.pid);
    }
  }
  return TRUE;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  if (!info || !info->lpFile || !*info->lpFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring verb = info->lpVerb ? info->lpVerb : L"";
  for (auto& c : verb) c = LowerChar(c);
  auto fail = [info](DWORD error, intptr_t code) {
    SetLastError(error);
    info->hInstApp = reinterpret_cast<HINSTANCE>(code);
    return FALSE;
  };
  if (!verb.empty() && verb != L"open" && verb != L"runas") return fail(ERROR_NO_ASSOCIATION, 31);

  LaunchRecord launch;
  launch.verb = verb;
  if (info->lpDirectory) launch.directory = info->lpDirectory;
  const std::wstring file = info->lpFile;
  std::wstring path = file;
  for (auto& c : path)
    if (c == L'\\') c = L'/';
  if (!path.empty() && path[0] != L'/' && path.find(L"://") == std::wstring::npos && !launch.directory.empty() &&
      path.find(L'/') != std::wstring::npos)
    path = launch.directory + L"/" + path;
  const std::string narrow = ToUtf8(path);
  const bool isUrl = file.find(L"://") != std::wstring::npos || file.rfind(L"mailto:", 0) == 0;
  struct stat st {};
  const bool exists = !isUrl && stat(narrow.c_str(), &st) == 0;
  if (!isUrl && (IsExecutableFile(narrow) || (!exists && path.find(L'/') == std::wstring::npos))) {
    // A program: on disk, or by name on PATH.
    launch.program = path;
    if (info->lpParameters) launch.arguments = SplitCommandLine(info->lpParameters);
  } else if (isUrl || exists) {
    launch.program = L"xdg-open";
    launch.arguments = {isUrl ? file : path};
  } else {
    return fail(ERROR_FILE_NOT_FOUND, 2);
  }
  // xdg-open only says that nothing opens the target by its exit code, and with a viewer that
  // it runs itself it does not exit at all. So a caller that waits for the hand-over has the
  // desktop asked first; only without a default application does the opener's exit decide.
  bool recording = false;
  {
    std::lock_guard<std::mutex> lock(g_recorderMutex);
    recording = static_cast<bool>(Recorder());
  }
  const bool waitForOpener = launch.program == L"xdg-open" && (info->fMask & SEE_MASK_NOASYNC) && !recording &&
                             !DesktopHasDefaultOpener(launch.arguments.front(), isUrl);
  const Spawned spawned = Spawn(launch, nullptr);
  if (!spawned.ok) return fail(GetLastError(), GetLastError() == ERROR_FILE_NOT_FOUND ? 2 : 31);
  info->hInstApp = reinterpret_cast<HINSTANCE>(intptr_t(42));
  info->hProcess = nullptr;
  if (spawned.pid) {
    auto state = ChildState(spawned.pid);
    if (waitForOpener) {
      constexpr auto kHandOver = std::chrono::seconds(5);
      if (const DWORD exitCode = WaitForOpener(state, kHandOver); exitCode != 0)
        return fail(exitCode == 2 ? ERROR_FILE_NOT_FOUND : ERROR_NO_ASSOCIATION, exitCode == 2 ? 2 : 31);
    }
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = ProcessHandle(state);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

HANDLE GetCurrentProcess() { return INVALID_HANDLE_VALUE; }

HANDLE OpenProcess(DWORD, BOOL, DWORD processId) {
  const pid_t pid = static_cast<pid_t>(processId);
  if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<ProcState>();
  state->pid = pid;
  return ProcessHandle(state);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (IsCurrentProcess(process)) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  auto p = FindHandleOf<ProcessObject>(process);
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  p->state->Poll();
  std::lock_guard<std::mutex> lock(p->state->mutex);
  *exitCode = p->state->exitCode;
  return TRUE;
}

DWORD GetProcessId(HANDLE process) { return static_cast<DWORD>(PidOf(process)); }

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD bufferChars) {
  if (module) {
    SetLastError(ERROR_INVALID_HANDLE);  // the program itself is its only module here
    return 0;
  }
  return CopyModuleName(ExePath(getpid()), fileName, bufferChars);
}

DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR fileName, DWORD bufferChars) {
  if (module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const pid_t pid = PidOf(process);
  return CopyModuleName(pid ? ExePath(pid) : std::wstring(), fileName, bufferChars);
}

BOOL QueryFullProcessImageNameW(HANDLE process, DWORD, LPWSTR exeName, PDWORD size) {
  if (!exeName || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const pid_t pid = PidOf(process);
  const std::wstring path = pid ? ExePath(pid) : std::wstring();
  if (path.empty()) {
    SetLastError(pid ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (path.size() + 1 > *size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::copy(path.begin(), path.end(), exeName);
  exeName[path.size()] = L'\0';
  *size = static_cast<DWORD>(path.size());
  return TRUE;
}
