// Runs one test of this executable in a child process (its job chosen by QLW_APP_CHILD), or another
// program, with extra environment entries ("NAME=value" sets, a bare "NAME" removes) and a pipe on
// which it reports to the parent.
// Every wait on a child is bounded: a child that hangs makes a test fail, never hang.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace apptest {
constexpr int kChildWaitMs = 60000;

struct Child {
  pid_t pid = -1;
  int reportFd = -1;
  Child() = default;
  Child(pid_t p, int fd) : pid(p), reportFd(fd) {}
  Child(Child&& other) noexcept : pid(std::exchange(other.pid, -1)), reportFd(std::exchange(other.reportFd, -1)) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // A test that stops early still ends its child: a child left running would keep the test
  // runner's output pipe open until its time-out.
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (reportFd >= 0) close(reportFd);
  }
};

inline const char* Job() { return std::getenv("QLW_APP_CHILD"); }

inline void Report(const std::string& text) {
  const char* fd = std::getenv("QLW_APP_CHILD_FD");
  if (fd && write(std::atoi(fd), text.data(), text.size()) < 0) _exit(90);
}

// This process's environment without the job's entries, with extraEnv applied.
inline std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    bool replaced = std::strncmp(*e, "QLW_APP_CHILD", 13) == 0;
    for (const std::string& x : extraEnv) {
      const std::string prefix = x.substr(0, x.find('=')) + "=";
      if (std::strncmp(*e, prefix.c_str(), prefix.size()) == 0) replaced = true;
    }
    if (!replaced) env.emplace_back(*e);
  }
  for (const std::string& x : extraEnv)
    if (x.find('=') != std::string::npos) env.push_back(x);
  return env;
}

// Runs program with its arguments and the environment given; outputToReport sends its standard
// output and error to the report pipe.
inline Child Exec(const std::string& program, std::vector<std::string> args, std::vector<std::string> env,
                  bool outputToReport) {
  int fds[2];
  // Not inherited by other children, so that each report pipe ends when its own child does.
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  if (!outputToReport) env.push_back("QLW_APP_CHILD_FD=" + std::to_string(fds[1]));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = program;
  std::vector<char*> argv{exe.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (outputToReport) {
      dup2(fds[1], STDOUT_FILENO);
      dup2(fds[1], STDERR_FILENO);
    } else {
      fcntl(fds[1], F_SETFD, 0);
    }
    // Ends with the test too, even when that is killed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  return Child{pid, fds[0]};
}

inline Child Start(const std::string& test, const std::string& job, const std::vector<std::string>& extraEnv = {}) {
  std::vector<std::string> env = ChildEnvironment(extraEnv);
  env.push_back("QLW_APP_CHILD=" + job);
  return Exec("/proc/self/exe", {"--gtest_filter=" + test}, env, false);
}

// Runs another program, whose standard output and error are read from the report pipe.
inline Child StartProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {}) {
  return Exec(program, args, ChildEnvironment(extraEnv), true);
}

// Reads what the child reports until it has written `until` (when not empty), closed its end, or
// the time is up.
inline std::string ReadUntil(const Child& child, const std::string& until, int timeoutMs = kChildWaitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string out;
  while (until.empty() || out.size() < until.size() ||
         out.compare(out.size() - until.size(), until.size(), until) != 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd pfd{child.reportFd, POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char c;
    const ssize_t n = read(child.reportFd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) break;
    out += c;
  }
  return out;
}

namespace detail {
// Reaps the child after waitpid gave `done`: its exit code (128 + signal when killed), -1 on error.
inline int Reaped(Child& child, pid_t done, int status) {
  child.pid = -1;
  close(child.reportFd);
  child.reportFd = -1;
  if (done <= 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
}  // namespace detail

// Without waiting: true once the child has ended, with its exit code as Wait gives it. For a test
// that keeps its own message loop going while the child may still need it.
inline bool Ended(Child& child, int& exitCode) {
  if (child.pid <= 0) return false;
  int status = 0;
  pid_t done;
  while ((done = waitpid(child.pid, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (done == 0) return false;
  exitCode = detail::Reaped(child, done, status);
  return true;
}

// The child's exit code (128 + signal when killed); a child still running after the time-out is killed.
inline int Wait(Child& child, int timeoutMs = kChildWaitMs) {
  if (child.pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  pid_t done = 0;
  for (;;) {
    done = waitpid(child.pid, &status, WNOHANG);
    if (done < 0 && errno == EINTR) continue;
    if (done != 0 || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (done == 0) {
    kill(child.pid, SIGKILL);
    while ((done = waitpid(child.pid, &status, 0)) < 0 && errno == EINTR) {
    }
  }
  return detail::Reaped(child, done, status);
}
}  // namespace apptest
