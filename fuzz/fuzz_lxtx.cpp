// libFuzzer target of the text crystal format: the content test, the reader and, for a structure
// that reads, both writers and a read of what they wrote, then, for a small one, its reflexions.
#include "DiffractionSettings.h"
#include "QLCIFFile.h"
#include "QLCrystal.h"
#include "QLLXTXFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string g_folder;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

template <class File>
bool Read(const std::string& path, CQLPatternList& list) {
  File file;
  if (!file.Open(Wide(path).c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return false;
  return file.ReadFile(&list, nullptr, nullptr);
}

template <class File>
bool Write(const std::string& path, const CQLPatternPtr& pattern) {
  File file;
  if (!file.Open(Wide(path).c_str(), CLXFile::modeCreate | CLXFile::modeWrite)) return false;
  CQLPatternList source{pattern};
  return file.WriteFile(&source, nullptr, nullptr);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Alerts go to standard error (run with -close_fd_mask=2 to keep the fuzzer's own output
  // readable), settings to a scratch folder.
  setenv("QLW_QUIET", "1", 1);
  // In memory where there is one: every written file is synced to disk when complete.
  char dir[] = "/dev/shm/qlwfuzz.XXXXXX";
  char fallback[] = "/tmp/qlwfuzz.XXXXXX";
  const char* made = mkdtemp(dir);
  if (!made) made = mkdtemp(fallback);
  if (!made) return 1;
  g_folder = made;
  setenv("QLW_REGISTRY_DIR", (g_folder + "/registry").c_str(), 1);
  setenv("QLW_RUNTIME_DIR", (g_folder + "/run").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = g_folder + "/input.lxtx";
  FILE* f = std::fopen(input.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  uint32_t type = 0;
  CQLLXTXFile::TestFile(Wide(input).c_str(), type);
  CQLPatternList list;
  if (!Read<CQLLXTXFile>(input, list) || list.empty()) return 0;

  const CQLPatternPtr& pattern = list.front();
  CQLPatternList again;
  if (Write<CQLLXTXFile>(g_folder + "/again.lxtx", pattern)) Read<CQLLXTXFile>(g_folder + "/again.lxtx", again);
  if (Write<CQLCIFFile>(g_folder + "/again.cif", pattern)) Read<CQLCIFFile>(g_folder + "/again.cif", again);

  CDiffractionSettings settings(true);
  settings.m_restrictMaxNumRefs = true;
  settings.m_maxNumRefs = 200;
  // Small structures only: large cells make the engine slow under the sanitizers, and the CIF
  // target covers it.
  for (const auto& p : list)
    if (CQLCrystal* crystal = p->GetCrystal(); crystal && crystal->m_volume < 2000 && crystal->m_sites.size() < 50)
      crystal->Recompute(settings);
  return 0;
}
