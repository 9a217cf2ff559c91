// Re-runs this test executable as a child process that does one job and exits, for the tests
// that need other processes (registry writers, mutex holders, mapping readers).
#pragma once
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qlwtest {

// The job this process was started for, or null in the normal test run.
inline const char* ChildJob() { return getenv("QLW_CHILD_JOB"); }
inline std::string ChildArg() {
  const char* a = getenv("QLW_CHILD_ARG");
  return a ? a : "";
}
// The write end of the pipe to the parent, -1 when there is none.
inline int ChildReportFd() {
  const char* fd = getenv("QLW_CHILD_FD");
  return fd ? atoi(fd) : -1;
}
inline void ChildReport(const std::string& text) {
  int fd = ChildReportFd();
  if (fd >= 0 && write(fd, text.data(), text.size()) < 0) _exit(90);
}

struct Child {
  pid_t pid = -1;
  int reportFd = -1;  // read end of the child's report pipe
};

// Starts /proc/self/exe with the job, its argument and extra "NAME=value" environment entries.
inline Child StartChild(const std::string& job, const std::string& arg = "",
                        const std::vector<std::string>& extraEnv = {}) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::vector<std::string> env;
  auto overridden = [&](const char* entry) {
    for (const auto& x : extraEnv) {
      const size_t eq = x.find('=');
      if (strncmp(entry, x.c_str(), eq + 1) == 0) return true;
    }
    return strncmp(entry, "QLW_CHILD_", 10) == 0;
  };
  for (char** e = environ; *e; ++e) {
    if (!overridden(*e)) env.emplace_back(*e);
  }
  env.push_back("QLW_CHILD_JOB=" + job);
  env.push_back("QLW_CHILD_ARG=" + arg);
  env.push_back("QLW_CHILD_FD=" + std::to_string(fds[1]));
  for (const auto& e : extraEnv) env.push_back(e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char exe[] = "/proc/self/exe";
  char* argv[] = {exe, nullptr};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    execve("/proc/self/exe", argv, envp.data());
    _exit(127);
  }
  close(fds[1]);
  return Child{pid, fds[0]};
}

// Reads until the child has reported `count` bytes (or closed its end).
inline std::string ReadReport(const Child& child, size_t count) {
  std::string out;
  char buf[256];
  while (out.size() < count) {
    ssize_t n = read(child.reportFd, buf, std::min(sizeof buf, count - out.size()));
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// Exit code of the child, or 128 + signal when a signal ended it.
inline int WaitChild(Child& child) {
  int status = 0;
  if (waitpid(child.pid, &status, 0) != child.pid) return -1;
  if (child.reportFd >= 0) close(child.reportFd);
  child.reportFd = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace qlwtest
