// The crash handler: only async-signal-safe calls once a fatal signal has arrived.
#include "LXCrashReport.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kAltStackSize = 64 * 1024;

std::atomic<bool> g_installed{false};
char g_reportPath[4096];  // fixed before any crash, read by the handler
char g_fallbackPath[4096];  // in the temporary folder, when the first cannot be written
CString g_reportPathText;

using SigactionFn = int (*)(int, const struct sigaction*, struct sigaction*);
SigactionFn RealSigaction() {
  static SigactionFn real = [] {
    void* symbol = dlsym(RTLD_NEXT, "sigaction");
    SigactionFn fn;
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
  }();
  return real;
}

bool IsGuarded(int sig) {
  for (int s : kFatalSignals)
    if (s == sig) return true;
  return false;
}

const char* SignalName(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
  }
}

void Put(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = write(fd, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

// Numbers without printf, which is not safe in a signal handler.
void PutNumber(int fd, unsigned long long value, int base) {
  char digits[32];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value && n < 32);
  char out[36];
  int k = 0;
  if (base == 16) {
    out[k++] = '0';
    out[k++] = 'x';
  }
  while (n) out[k++] = digits[--n];
  out[k] = '\0';
  Put(fd, out);
}

// The report's folders are made only when a report is written, so that a run that never fails
// leaves no folder in the user's documents. mkdir is safe in a signal handler.
int OpenReport(const char* path) {
  char partial[sizeof g_reportPath];
  std::memcpy(partial, path, sizeof partial);
  for (char* slash = std::strchr(partial + 1, '/'); slash; slash = std::strchr(slash + 1, '/')) {
    *slash = '\0';
    mkdir(partial, 0777);
    *slash = '/';
  }
  return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

void CrashHandler(int sig, siginfo_t* info, void*) {
  const int saved = errno;
  if (g_reportPath[0]) {
    int fd = OpenReport(g_reportPath);
    if (fd < 0 && g_fallbackPath[0]) fd = open(g_fallbackPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
      Put(fd, "Quillonographic crash report\nsignal ");
      PutNumber(fd, static_cast<unsigned>(sig), 10);
      Put(fd, " (");
      Put(fd, SignalName(sig));
      Put(fd, ")\ncode ");
      PutNumber(fd, static_cast<unsigned>(info ? info->si_code : 0), 10);
      Put(fd, "\naddress ");
      PutNumber(fd, reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr), 16);
      Put(fd, "\nprocess ");
      PutNumber(fd, static_cast<unsigned>(getpid()), 10);
      Put(fd, "\nthread ");
      PutNumber(fd, static_cast<unsigned long long>(syscall(SYS_gettid)), 10);
      Put(fd, "\nbacktrace:\n");
      void* frames[64];
      const int count = backtrace(frames, 64);
      backtrace_symbols_fd(frames, count, fd);
      fsync(fd);
      close(fd);
    }
  }
  // The system's own handling follows: default action, signal raised again.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  if (SigactionFn real = RealSigaction()) real(sig, &dfl, nullptr);
  errno = saved;
  raise(sig);
}

bool SetPath(char* target, const CString& folder, CString* text = nullptr) {
  CString path = folder;
  if (path.Right(1) != L"/") path += L"/";
  path += L"Quillonographic_Crash_Info.dmp";
  if (path.GetLength() > 259) return false;  // as long a path as the program handles anywhere
  const std::string narrow = path.ToUtf8();
  if (narrow.size() >= sizeof g_reportPath) return false;
  std::memcpy(target, narrow.c_str(), narrow.size() + 1);
  if (text) *text = path;
  return true;
}

void ChooseReportPath() {
  wchar_t temp[MAX_PATH] = {};
  const bool hasTemp = GetTempPathW(MAX_PATH, temp) != 0;
  if (hasTemp) SetPath(g_fallbackPath, temp);
  CString programFolder;
  programFolder.LoadString(1063);
  CString folder;
  wchar_t documents[MAX_PATH] = {};
  // Named, not created: a run that never fails leaves no folder in the user's documents.
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT,
                                 documents))) {
    wchar_t path[MAX_PATH] = {};
    wcsncpy(path, documents, MAX_PATH - 1);
    if (PathAppendW(path, programFolder)) folder = path;
  }
  if (folder.IsEmpty() || !SetPath(g_reportPath, folder, &g_reportPathText)) {
    if (hasTemp) SetPath(g_reportPath, temp, &g_reportPathText);
  }
}
}  // namespace

void InstallCrashHandler() {
  if (g_installed.exchange(true)) return;
  ChooseReportPath();
  // The first backtrace loads what it needs; in the handler it must not allocate.
  void* warm[2];
  backtrace(warm, 2);
  static char* altStack = static_cast<char*>(std::malloc(kAltStackSize));
  if (altStack) {
    stack_t stack{};
    stack.ss_sp = altStack;
    stack.ss_size = kAltStackSize;
    sigaltstack(&stack, nullptr);
  }
  struct sigaction action {};
  action.sa_sigaction = CrashHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  SigactionFn real = RealSigaction();
  if (!real) return;
  for (int sig : kFatalSignals) real(sig, &action, nullptr);
}

CString GetCrashReportPath() { return g_reportPathText; }

// Libraries that load later reach these instead of the C library's: once the crash handler is
// installed they cannot take the fatal signals from it, as the report would otherwise be lost.
extern "C" int sigaction(int sig, const struct sigaction* action, struct sigaction* old) {
  SigactionFn real = RealSigaction();
  if (!real) {
    errno = ENOSYS;
    return -1;
  }
  if (action && g_installed.load() && IsGuarded(sig) && action->sa_sigaction != CrashHandler) {
    // Refused: report the current action as the old one, as if it had been replaced.
    return real(sig, nullptr, old);
  }
  return real(sig, action, old);
}

extern "C" sighandler_t signal(int sig, sighandler_t handler) {
  struct sigaction action {}, old {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(sig, &action, &old) != 0) return SIG_ERR;
  return old.sa_handler;
}
