// libFuzzer target of the CIF reader: every structure block of the input is read and, when it
// reads, its reflexions and intensities are computed with a small count limit.
#include "DiffractionSettings.h"
#include "QLCIFFile.h"
#include "QLCrystal.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string g_path;
bool g_recompute = true;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Alerts go to standard error, settings to a scratch folder.
  setenv("QLW_QUIET", "1", 1);
  char dir[] = "/tmp/qlwfuzz.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("QLW_REGISTRY_DIR", (std::string(dir) + "/registry").c_str(), 1);
  setenv("QLW_RUNTIME_DIR", (std::string(dir) + "/run").c_str(), 1);
  g_path = std::string(dir) + "/input.cif";
  // The reader alone runs many times faster; the engine behind it is where damaged cells bite.
  g_recompute = std::getenv("QLW_FUZZ_READ_ONLY") == nullptr;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(g_path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::wstring path(g_path.begin(), g_path.end());

  uint32_t type = 0;
  CQLCIFFile::TestFile(path.c_str(), type);

  struct Reader : CQLCIFFile {
    void ReadAll(CQLPatternList& list) {
      m_readTarget = &list;
      try {
        IndexBlocks();
        for (uint32_t i = 0; i < GetBlockCount(false); ++i) {
          try {
            ReadBlock(i);
          } catch (const CLXException&) {
          }
        }
      } catch (const CLXException&) {
      }
      m_readTarget = nullptr;
    }
  } reader;
  if (!reader.Open(path.c_str(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return 0;
  CQLPatternList list;
  reader.ReadAll(list);
  reader.Close();

  if (!g_recompute) return 0;
  CDiffractionSettings settings(true);
  settings.m_restrictMaxNumRefs = true;
  settings.m_maxNumRefs = 200;
  // Cells above 1e5 Å³ take the engine minutes under the sanitizers (millions of candidate
  // reflexions): the engine's own business, as in the targets of the binary readers.
  for (const auto& pattern : list) {
    CQLCrystal* crystal = pattern->GetCrystal();
    if (!crystal) continue;
    bool small = false;
    try {
      crystal->ComputeMetrics();
      small = crystal->m_volume > 0 && crystal->m_volume < 1e5;
    } catch (const CLXException&) {
    }
    if (small) crystal->Recompute(settings);
  }
  return 0;
}
