// libFuzzer target of the session reader: the content test, the read of all three records
// through ReadFile, then the reflexions of every crystal in the tree.
#include "FuzzInput.h"
#include "QLSessionFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qlwfuzz::Initialise("input.quillono"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = qlwfuzz::WriteInput(data, size);
  if (path.empty()) return 0;
  uint32_t type = 0;
  CQLSessionFile::TestFile(path.c_str(), type);
  CQLSessionFile file;
  if (!file.Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return 0;
  CQLPatternList list;
  CDiffractionSettings settings(true);
  CQlwDocWindowState state;
  file.ReadFile(&list, &settings, &state);
  qlwfuzz::ComputeCrystals(list);
  return 0;
}
