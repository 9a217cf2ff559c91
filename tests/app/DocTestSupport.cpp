#include "DocTestSupport.h"

#include "TestSupport.h"

#include <filesystem>
#include <fstream>

namespace doctest {
std::string WriteScratchFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path dir = std::filesystem::path(qlwtest::ScratchDir()) / "doc";
  std::filesystem::create_directories(dir);
  const std::filesystem::path path = dir / name;
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

std::string RutilePath() { return std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif"; }
}  // namespace doctest
