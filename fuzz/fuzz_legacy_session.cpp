// libFuzzer target of the legacy session reader.
#include "FuzzInput.h"
#include "QLSessionPre6File.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qlwfuzz::Initialise("input.qlsf"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qlwfuzz::ReadSession<CQLSessionPre6File>(data, size);
}
