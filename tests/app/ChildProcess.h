// Runs one test of this executable in a child process (its job chosen by QLW_APP_CHILD), with
// extra environment entries and a pipe on which it reports to the parent.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace apptest {
struct Child {
  pid_t pid = -1;
  int reportFd = -1;
};

inline const char* Job() { return std::getenv("QLW_APP_CHILD"); }

inline void Report(const std::string& text) {
  const char* fd = std::getenv("QLW_APP_CHILD_FD");
  if (fd && write(std::atoi(fd), text.data(), text.size()) < 0) _exit(90);
}

inline Child Start(const std::string& test, const std::string& job, const std::vector<std::string>& extraEnv = {}) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    bool replaced = std::strncmp(*e, "QLW_APP_CHILD", 13) == 0;
    for (const std::string& x : extraEnv)
      if (std::strncmp(*e, x.c_str(), x.find('=') + 1) == 0) replaced = true;
    if (!replaced) env.emplace_back(*e);
  }
  env.push_back("QLW_APP_CHILD=" + job);
  env.push_back("QLW_APP_CHILD_FD=" + std::to_string(fds[1]));
  for (const std::string& x : extraEnv) env.push_back(x);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=" + test;
  char exe[] = "/proc/self/exe";
  char* argv[] = {exe, filter.data(), nullptr};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    execve(exe, argv, envp.data());
    _exit(127);
  }
  close(fds[1]);
  return Child{pid, fds[0]};
}

// Reads what the child reports until it has written `until` or closed its end.
inline std::string ReadUntil(const Child& child, const std::string& until) {
  std::string out;
  char c;
  while (out.size() < until.size() || out.compare(out.size() - until.size(), until.size(), until) != 0) {
    if (read(child.reportFd, &c, 1) != 1) break;
    out += c;
  }
  return out;
}

inline int Wait(Child& child) {
  int status = 0;
  if (waitpid(child.pid, &status, 0) != child.pid) return -1;
  close(child.reportFd);
  child.reportFd = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
}  // namespace apptest
