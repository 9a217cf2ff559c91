// libFuzzer target of the observed-data readers: the input read as an x-y data set and as a
// Rigaku file (content tests and ReadFile), then each pattern resampled onto the profile grid.
#include "FuzzInput.h"
#include "QLDatasetFile.h"
#include "QLObservedPattern.h"
#include "QLRigakuFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qlwfuzz::Initialise("input.dat"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = qlwfuzz::WriteInput(data, size);
  if (path.empty()) return 0;
  uint32_t type = 0;
  CQLDatasetFile::TestFile(path.c_str(), type);
  CQLRigakuFile::TestFile(path.c_str(), type);
  CQLPatternList list;
  {
    CQLDatasetFile file;
    if (file.Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) file.ReadFile(&list, nullptr, nullptr);
  }
  {
    CQLRigakuFile file;
    if (file.Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) file.ReadFile(&list, nullptr, nullptr);
  }
  CDiffractionSettings settings(true);
  settings.m_numProfilePoints = 2000;  // the grid's size is the settings', not the file's
  for (const auto& pattern : list) {
    if (auto* observed = dynamic_cast<CQLObservedPattern*>(pattern.get())) {
      observed->m_smoothing = 1;
      observed->ComputeSmoothedCurve();
    }
    pattern->ApplySettings(settings);
    pattern->GetComputedProfile(settings);
  }
  return 0;
}
