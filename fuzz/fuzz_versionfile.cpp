// libFuzzer target of the update check's version file: the input read as the server's answer.
#include "VersionFileParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> versions;
  LXVersionFile::ReadVersionTexts(reinterpret_cast<const char*>(data), size, "quillonographic", "windows", versions);
  return 0;
}
