// Running the headless probe from tests: what it prints and how it ended.
#pragma once

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace qlwtest {
struct ProbeRun {
  std::string out;
  int status = -1;  // exit code, 128 + signal when killed, -1 when the shell did not start
};

// Runs a shell command line and keeps its standard output.
inline ProbeRun RunShell(const std::string& command) {
  ProbeRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  return run;
}

// The probe with its arguments, as a shell command line to which redirections can be added.
inline std::string ProbeCommand(const std::string& args) { return std::string(QLW_BIN_DIR) + "/qlwprobe " + args; }

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace qlwtest
