// libFuzzer target of the session reader.
#include "FuzzInput.h"
#include "QLSessionFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qlwfuzz::Initialise("input.quillono"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qlwfuzz::ReadSession<CQLSessionFile>(data, size);
}
