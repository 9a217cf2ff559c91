// Times program starts from the fork to the first window the window manager maps for the process,
// two commands in turn (A B A B …), so that a comparison holds while the machine's speed drifts.
// Usage (on an X display with a window manager, see bench/startup_vs_fityk.sh):
//   bench_firstmap [--runs N] [--warmup N] 'COMMAND A' 'COMMAND B'
// Each command is split at blanks. A window counts once it is mapped on the root window (the
// manager's frame, or the window itself without a manager) and it or a child carries the started
// process's _NET_WM_PID; override-redirect windows (menus, tips) do not count. The process is
// then ended (SIGTERM to its group, SIGKILL after 3 s) before the next start.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace {
constexpr double kGiveUpMs = 30000;

double NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::vector<std::string> SplitWords(const std::string& command) {
  std::istringstream in(command);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool CarriesPid(Display* display, Window window, Atom pidAtom, pid_t pid, int depth) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
          Success &&
      data) {
    const bool match = format == 32 && count == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid;
    XFree(data);
    if (match) return true;
  }
  if (depth == 0) return false;
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &n)) return false;
  bool found = false;
  for (unsigned int i = 0; i < n && !found; ++i) found = CarriesPid(display, children[i], pidAtom, pid, depth - 1);
  if (children) XFree(children);
  return found;
}

// A window that vanished between its map and our look must not end the benchmark.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

void EndProcessGroup(pid_t pid) {
  kill(-pid, SIGTERM);
  const double until = NowMs() + 3000;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (NowMs() > until) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(5000);
  }
}

// Milliseconds from the fork to the first mapped window of the process; negative when none came.
double TimeOneStart(Display* display, Atom pidAtom, const std::vector<std::string>& words) {
  while (XPending(display)) {
    XEvent stale;
    XNextEvent(display, &stale);
  }
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  const double start = NowMs();
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    // What the programs say (toolkit warnings) is not ours to show.
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, STDOUT_FILENO);
      dup2(quiet, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return -1;
  setpgid(pid, pid);
  double mapped = -1;
  const int fd = ConnectionNumber(display);
  while (mapped < 0 && NowMs() - start < kGiveUpMs) {
    if (!XPending(display)) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 50);
      if (waitpid(pid, nullptr, WNOHANG) == pid) return -1;
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != MapNotify || event.xmap.override_redirect) continue;
    const double at = NowMs();
    if (CarriesPid(display, event.xmap.window, pidAtom, pid, 2)) mapped = at - start;
  }
  EndProcessGroup(pid);
  return mapped;
}

struct Figures {
  double min, median, max;
};

Figures Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  return {v.front(), median, v.back()};
}
}  // namespace

int main(int argc, char** argv) {
  int runs = 10, warmup = 1;
  std::vector<std::string> commands;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--warmup") == 0 && i + 1 < argc) warmup = std::max(0, std::atoi(argv[++i]));
    else commands.emplace_back(argv[i]);
  }
  if (commands.size() != 2) {
    std::fprintf(stderr, "usage: bench_firstmap [--runs N] [--warmup N] 'COMMAND A' 'COMMAND B'\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "bench_firstmap: no X display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXErrors);
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  const std::vector<std::string> a = SplitWords(commands[0]), b = SplitWords(commands[1]);
  for (int i = 0; i < warmup; ++i) {
    TimeOneStart(display, pidAtom, a);
    TimeOneStart(display, pidAtom, b);
  }
  std::vector<double> timesA, timesB, ratios;
  for (int r = 0; r < runs; ++r) {
    const double ta = TimeOneStart(display, pidAtom, a);
    const double tb = TimeOneStart(display, pidAtom, b);
    if (ta < 0 || tb < 0) {
      std::fprintf(stderr, "bench_firstmap: run %d: %s mapped no window\n", r + 1, ta < 0 ? "A" : "B");
      return 1;
    }
    timesA.push_back(ta);
    timesB.push_back(tb);
    ratios.push_back(ta / tb);
  }
  const Figures fa = Summarise(timesA), fb = Summarise(timesB), fr = Summarise(ratios);
  std::printf("start to first mapped window, %d runs each in turn after %d warm-up\n", runs, warmup);
  std::printf("A %-48.48s min %6.1f  median %6.1f  max %6.1f ms\n", commands[0].c_str(), fa.min, fa.median, fa.max);
  std::printf("B %-48.48s min %6.1f  median %6.1f  max %6.1f ms\n", commands[1].c_str(), fb.min, fb.median, fb.max);
  std::printf("A/B pair by pair                                   min %6.3f  median %6.3f  max %6.3f\n", fr.min, fr.median,
              fr.max);
  XCloseDisplay(display);
  return 0;
}
