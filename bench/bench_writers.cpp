// Times writing the 93,000 Å³ cell through the program's own writers, CIF and text crystal file,
// as the program writes a structure: a file object of the type, open, WriteFile, close.
#include "FileTypes.h"
#include "QLCrystal.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {
constexpr int kRuns = 20;  // the best counts: the machine is shared

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool Write(const std::string& path, uint32_t type, const CQLPatternPtr& pattern) {
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file || !file->Open(CString(path.c_str()).GetString(), CLXFile::modeCreate | CLXFile::modeWrite)) return false;
  CQLPatternList source{pattern};
  const bool written = file->WriteFile(&source, nullptr, nullptr);
  file->Close();
  return written;
}
}  // namespace

int main(int argc, char** argv) {
  std::string giant = std::string(QLW_TESTDATA_DIR) + "/cif/20_TaCuAl_giant_COD2104374.cif";
  if (argc == 3 && std::string(argv[1]) == "--giant") giant = argv[2];
  if (!std::filesystem::exists(giant)) {
    std::printf("giant cell: %s not found, nothing to time\n", giant.c_str());
    return 0;
  }
  CQLPatternList list;
  std::unique_ptr<CQlwFile> reader(CreateFileForType(IdentifyFileType(CString(giant.c_str()).GetString(), true)));
  if (!reader || !reader->Open(CString(giant.c_str()).GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite) ||
      !reader->ReadFile(&list, nullptr, nullptr) || list.empty()) {
    std::fprintf(stderr, "cannot read %s\n", giant.c_str());
    return 1;
  }
  const CQLPatternPtr pattern = list.front();
  const CQLCrystal& c = *pattern->GetCrystal();
  size_t atoms = 0;
  for (const CQLSite& s : c.m_sites) atoms += s.m_positions.size();
  std::printf("giant cell: %zu sites, %zu atoms in the cell, %.0f A^3\n", c.m_sites.size(), atoms, c.m_volume);

  const std::string folder = std::filesystem::temp_directory_path().string() + "/bench_writers." + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  for (const auto& [type, name] : {std::pair{kFileTypeCIF, "giant.cif"}, std::pair{kFileTypeLXTX, "giant.lxtx"}}) {
    const std::string path = folder + "/" + name;
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
      const auto start = std::chrono::steady_clock::now();
      if (!Write(path, type, pattern)) {
        std::fprintf(stderr, "writing %s failed\n", path.c_str());
        return 1;
      }
      best = std::min(best, Seconds(start));
    }
    std::printf("write %-10s %8.2f ms  (%ju bytes, best of %d)\n", name, best * 1e3,
                static_cast<uintmax_t>(std::filesystem::file_size(path)), kRuns);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
