// Times the engine and the CIF reader on large inputs built here: reading 200,000 sites with
// anisotropic tensors, and 200,000 half-occupied sites that merge in pairs; then the structure
// factors of a 100 Å P 1 cell with 200,000 atoms at the factory count limit of 10,000 reflexions.
#include "FileTypes.h"
#include "QLCrystalPattern.h"

#include <omp.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <unistd.h>

namespace {
constexpr int kSites = 200000;
constexpr double kCell = 100.0;  // Å
const char* const kElements[] = {"O", "Si", "Al", "Fe"};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double ProcessorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Deterministic coordinates spread over the cell.
double Coordinate(int site, int axis)
{
    return std::fmod(0.0713 + (3.0 * site + axis + 1) * 0.6180339887498949, 1.0);
}

std::string WriteCif(const char* name, bool tensors)
{
    char path[] = "/tmp/qlwbench.XXXXXX";
    if (!mkdtemp(path)) return {};
    const std::string file = std::string(path) + "/" + name;
    FILE* f = std::fopen(file.c_str(), "w");
    if (!f) return {};
    std::fprintf(f, "data_large\n_cell_length_a %.1f\n_cell_length_b %.1f\n_cell_length_c %.1f\n"
                    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                    "_symmetry_space_group_name_H-M 'P 1'\n",
                 kCell, kCell, kCell);
    std::fprintf(f, "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
                    "_atom_site_fract_z\n_atom_site_occupancy\n");
    for (int i = 0; i < kSites; ++i) {
        // Without tensors, sites come in pairs of half occupancy on one position.
        const int position = tensors ? i : i / 2;
        std::fprintf(f, "A%d %s %.6f %.6f %.6f %s\n", i + 1, kElements[i % 4], Coordinate(position, 0),
                     Coordinate(position, 1), Coordinate(position, 2), tensors ? "1" : "0.5");
    }
    if (tensors) {
        std::fprintf(f, "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n"
                        "_atom_site_aniso_U_33\n_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n");
        for (int i = 0; i < kSites; ++i) std::fprintf(f, "A%d 0.011 0.012 0.013 0.001 0.002 0.003\n", i + 1);
    }
    std::fclose(f);
    return file;
}

bool ReadStructureFile(const std::string& path, CQLPatternList& list)
{
    const CString widePath(path.c_str());
    std::unique_ptr<CQlwFile> file(CreateFileForType(IdentifyFileType(widePath.GetString(), true)));
    if (!file || !file->Open(widePath.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return false;
    return file->ReadFile(&list, nullptr, nullptr);
}

int BenchRead(const char* what, bool tensors)
{
    const std::string path = WriteCif(tensors ? "tensors.cif" : "halves.cif", tensors);
    if (path.empty()) return 1;
    CQLPatternList list;
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ProcessorSeconds();
    const bool read = ReadStructureFile(path, list);
    const double seconds = Seconds(start), processor = ProcessorSeconds() - cpu;
    auto pattern = FindFirstCrystalPattern(list, false, false);
    if (!read || !pattern) {
        std::fprintf(stderr, "%s: not read\n", path.c_str());
        return 1;
    }
    std::printf("%-58s %.3f  (processor %.3f; %zu sites)\n", what, seconds, processor,
                pattern->m_crystal.m_sites.size());
    unlink(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
    return 0;
}

int BenchStructureFactors()
{
    CQLCrystal crystal;
    crystal.m_a = crystal.m_b = crystal.m_c = kCell;
    crystal.m_alpha = crystal.m_beta = crystal.m_gamma = 90.0;
    crystal.m_spaceGroupSymbol = L"P 1";
    crystal.ComputeMetrics();
    for (int i = 0; i < kSites; ++i) {
        CQLSite site;
        site.m_label.Format(L"A%d", i + 1);
        site.m_x = Coordinate(i, 0);
        site.m_y = Coordinate(i, 1);
        site.m_z = Coordinate(i, 2);
        site.m_species.emplace_back(CString(kElements[i % 4]).GetString(), 1.0);
        site.m_displacement = std::make_unique<CQLThermalEllipsoid>(0.01);
        crystal.m_sites.push_back(std::move(site));
    }
    crystal.InstallOperatorsFromSymbol();
    crystal.ExpandSitesBySymmetry();
    const CDiffractionSettings settings(true);  // factory settings: at most 10,000 reflexions
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ProcessorSeconds();
    if (!crystal.Recompute(settings)) {
        std::fprintf(stderr, "P 1 cell: recompute failed\n");
        return 1;
    }
    const double wall = Seconds(start), processor = ProcessorSeconds() - cpu;
    double sumF2 = 0.0;
    for (const auto& r : crystal.m_reflexions) sumF2 += r->A * r->A + r->B * r->B;
    std::printf("%-58s %zu\n", "P 1 cell: reflexions", crystal.m_reflexions.size());
    std::printf("%-58s %.6e\n", "P 1 cell: sum |F|^2 (no mult.)", sumF2);
    std::printf("%-58s %.3f  (processor %.3f)\n", "P 1 cell: recompute, wall [s]", wall, processor);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const bool readOnly = argc == 2 && std::strcmp(argv[1], "--read") == 0;
    const bool factorsOnly = argc == 2 && std::strcmp(argv[1], "--factors") == 0;
    if (argc > 2 || (argc == 2 && !readOnly && !factorsOnly)) {
        std::fprintf(stderr, "usage: bench_large [--read | --factors]\n");
        return 2;
    }
    InstallFileTypeRecogniser();
    std::printf("%-58s %d\n", "engine threads", omp_get_max_threads());
    int rc = 0;
    if (!factorsOnly) {
        rc |= BenchRead("read 200,000 sites with tensors [s]", true);
        rc |= BenchRead("read 200,000 half-occupied sites, merged in pairs [s]", false);
    }
    if (!readOnly) rc |= BenchStructureFactors();
    return rc;
}
