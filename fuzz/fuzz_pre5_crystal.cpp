// libFuzzer target of the pre-version-5 binary crystal reader: the content test, the read
// through ReadFile, then the structure's reflexions.
#include "FuzzInput.h"
#include "QLPre5CrystalFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qlwfuzz::Initialise("input.lxdf"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = qlwfuzz::WriteInput(data, size);
  if (path.empty()) return 0;
  uint32_t type = 0;
  CQLPre5CrystalFile::TestFile(path.c_str(), type);
  CQLPre5CrystalFile file;
  if (!file.Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return 0;
  CQLPatternList list;
  file.ReadFile(&list, nullptr, nullptr);
  qlwfuzz::ComputeCrystals(list);
  return 0;
}
