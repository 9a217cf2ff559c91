// Times the CIF reader on item layouts whose cost could grow faster than the file: a loop with a
// very long item name and all its values on one line, and one symmetry item repeated on every line.
// The files are built here, in a temporary folder.
#include "FileTypes.h"
#include "QLCrystal.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {
constexpr int kRuns = 3;  // the best counts: the machine is shared

const char kStructure[] =
    "data_bench\n_cell_length_a 5.0\n_cell_length_b 5.0\n_cell_length_c 5.0\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
    "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nNa1 0 0 0\n";

// One loop whose single item name of nameLength characters (after `prefix`) has values of "1"
// following it on the same line.
std::string LongNameLoop(const std::string& prefix, size_t nameLength, size_t values) {
  std::string text = std::string(kStructure) + "_symmetry_space_group_name_H-M 'P 1'\n";
  text += "loop_\n" + prefix + std::string(nameLength - prefix.size(), 'x');
  text.reserve(text.size() + 2 * values + 1);
  for (size_t i = 0; i < values; ++i) text += " 1";
  return text + "\n";
}

std::string RepeatedSymbol(const std::string& symbol, size_t lines) {
  std::string text = kStructure;
  for (size_t i = 0; i < lines; ++i) text += "_symmetry_space_group_name_H-M '" + symbol + "'\n";
  return text;
}

double ReadSeconds(const std::string& path, size_t& sites) {
  double best = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<CQlwFile> file(CreateFileForType(kFileTypeCIF));
    CQLPatternList list;
    const bool read = file->Open(CString(path.c_str()).GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite) &&
                      file->ReadFile(&list, nullptr, nullptr);
    file.reset();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    sites = read && !list.empty() ? list.front()->GetCrystal()->m_sites.size() : 0;
  }
  return best;
}
}  // namespace

int main() {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/bench_cif_items." + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"long name, 100,000 chars, 80,000 values", LongNameLoop("_", 100000, 80000)},
      {"long name, 262,144 chars, 240,000 values", LongNameLoop("_", 262144, 240000)},
      {"long _cell_ name, 100,000 chars, 80,000 values", LongNameLoop("_cell_", 100000, 80000)},
      {"long _symmetry_ name, 100,000 chars, 80,000 values", LongNameLoop("_symmetry_", 100000, 80000)},
      {"long _atom_site_ name, 100,000 chars, 80,000 values", LongNameLoop("_atom_site_", 100000, 80000)},
      {"80,000 lines of H-M 'F m -3 m'", RepeatedSymbol("F m -3 m", 80000)},
      {"80,000 lines of H-M 'P 1'", RepeatedSymbol("P 1", 80000)},
  };
  for (const auto& c : cases) {
    const std::string path = folder + "/bench.cif";
    std::ofstream(path, std::ios::binary) << c.text;
    size_t sites = 0;
    const double seconds = ReadSeconds(path, sites);
    std::printf("%-52s %7zu KB  %8.3f s  (%zu sites, best of %d)\n", c.name, c.text.size() / 1024, seconds, sites,
                kRuns);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
