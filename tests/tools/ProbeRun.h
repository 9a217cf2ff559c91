// Running the headless probe from tests: what it prints and how it ended.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
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

// Writes SCRIPT to FOLDER/FILE and runs it through `qlwprobe ui` from WORKDIR (FOLDER when empty);
// ENV sets the environment of the run, by default a fresh registry and runtime folder.
inline ProbeRun RunUiScript(const std::filesystem::path& folder, const std::string& script, const std::string& options = "",
                            const std::string& workdir = "",
                            const std::string& env = "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR",
                            const std::string& file = "script.txt") {
  std::filesystem::create_directories(folder);
  const std::filesystem::path path = folder / file;
  std::ofstream(path) << script;
  const std::string cwd = workdir.empty() ? folder.string() : workdir;
  return RunShell("cd '" + cwd + "' && " + env + " " + ProbeCommand("ui '" + path.string() + "' " + options) + " 2>/dev/null");
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace qlwtest
