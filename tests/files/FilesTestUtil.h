// Helpers of the file-layer tests: scratch files and wide paths.
#pragma once

#include "LXFile.h"
#include "TestSupport.h"

#include <fstream>
#include <iterator>
#include <string>

namespace filestest {
// Writes bytes to a file in this process's scratch folder and returns its path.
inline std::string WriteScratch(const std::string& name, const std::string& bytes) {
  const std::string path = qlwtest::ScratchDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The file base with no format of its own, in either byte order.
struct PlainFile : CLXFile {
  void ReadBlock(uint32_t) override {}
  void WriteBlock(uint32_t) override {}
};

struct BigEndianFile : PlainFile {
  bool IsBigEndian() const override { return true; }
};
}  // namespace filestest
