// Shared by the fuzz targets of the binary readers: the input as a scratch file, quiet alerts.
#pragma once

#include "DiffractionSettings.h"
#include "LXFile.h"
#include "QLCrystal.h"
#include "QLPattern.h"
#include "QlwDocWindowState.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace qlwfuzz {
inline std::string& InputPath() {
  static std::string path;
  return path;
}

// Alerts go to standard error (run with -close_fd_mask=2 so they do not flood the fuzzer's
// output) and settings to a scratch folder.
inline int Initialise(const char* fileName) {
  setenv("QLW_QUIET", "1", 1);
  char dir[] = "/tmp/qlwfuzz.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("QLW_REGISTRY_DIR", (std::string(dir) + "/registry").c_str(), 1);
  setenv("QLW_RUNTIME_DIR", (std::string(dir) + "/run").c_str(), 1);
  InputPath() = std::string(dir) + "/" + fileName;
  return 0;
}

// The input written to the scratch file; its wide path, empty when it could not be written.
inline std::wstring WriteInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(InputPath().c_str(), "wb");
  if (!f) return {};
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return std::wstring(InputPath().begin(), InputPath().end());
}

// What the document does next with what a reader gave it: reflexions and intensities, few of them.
// Cells above 1e5 Å³ take the engine seconds even without sanitizers (millions of candidate
// reflexions); they are the engine's own fuzzing's business, not the readers'.
inline void ComputeCrystals(const CQLPatternList& list) {
  CDiffractionSettings settings(true);
  settings.m_restrictMaxNumRefs = true;
  settings.m_maxNumRefs = 200;
  for (const auto& pattern : list) {
    if (CQLCrystal* crystal = pattern->GetCrystal()) {
      bool small = false;
      try {
        crystal->ComputeMetrics();
        small = crystal->m_volume > 0 && crystal->m_volume < 1e5;
      } catch (const CLXException&) {
      }
      if (small) crystal->Recompute(settings);
    }
    if (const CQLPatternList* components = pattern->GetComponents()) ComputeCrystals(*components);
  }
}

// The round of a session reader's target: the content test, the read of all three records
// through ReadFile, then the reflexions of every crystal in the tree.
template <class SessionFile>
int ReadSession(const uint8_t* data, size_t size) {
  const std::wstring path = WriteInput(data, size);
  if (path.empty()) return 0;
  uint32_t type = 0;
  SessionFile::TestFile(path.c_str(), type);
  SessionFile file;
  if (!file.Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return 0;
  CQLPatternList list;
  CDiffractionSettings settings(true);
  CQlwDocWindowState state;
  file.ReadFile(&list, &settings, &state);
  ComputeCrystals(list);
  return 0;
}
}  // namespace qlwfuzz
