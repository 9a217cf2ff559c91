// Times the diffraction chain on a large cubic F structure built in code: reflexion generation,
// structure factors with intensities, the scaling steps and the 72000-point profile, and prints
// the peak memory. Then reads a giant-cell CIF through the file layer and times the read and the
// same stages on it. With --write-structure PATH it only writes the structure for cctbx_sf.py.
#include "FileTypes.h"
#include "QLCrystalPattern.h"

#include <sys/resource.h>
#include <unistd.h>

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {
constexpr double kCell = 45.0;              // Å
constexpr int kGeneralSites = 36;           // 36 × 192 positions of F m -3 m: 6912 atoms
constexpr double kLambda = 1.5405;          // Å, Cu Kα1
constexpr double kMaxTwoTheta = 120.0;      // degrees
constexpr double kUIso = 0.01;              // Å²
constexpr int kRuns = 5;  // the best counts: the machine is shared
const wchar_t* const kElements[] = {L"O", L"Si", L"Al", L"Na", L"C", L"Fe"};
const char* const kElementsNarrow[] = {"O", "Si", "Al", "Na", "C", "Fe"};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Deterministic general positions: 0 < x < y < z < 1/4, so no site lies on a mirror or a
// diagonal plane of the group and every one has all 192 images.
double Coordinate(int site, int axis)
{
    const double golden = 0.6180339887498949;
    const double low[3] = {0.01, 0.08, 0.16};
    const double span[3] = {0.05, 0.06, 0.07};
    const double v = std::fmod(0.0713 + (3 * site + axis + 1) * golden, 1.0);
    return low[axis] + span[axis] * v;
}

double DLimit()
{
    return kLambda / (2.0 * std::sin(kMaxTwoTheta * 0.5 * std::acos(-1.0) / 180.0));
}

bool WriteStructure(const char* path)
{
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::fprintf(f, "%.6f F m -3 m\n%.10f\n", kCell, DLimit());
    for (int i = 0; i < kGeneralSites; ++i)
        std::fprintf(f, "S%d %s %.12f %.12f %.12f %.6f 1.0\n", i + 1, kElementsNarrow[i % 6], Coordinate(i, 0),
                     Coordinate(i, 1), Coordinate(i, 2), kUIso);
    std::fclose(f);
    return true;
}

void BuildCrystal(CQLCrystal& crystal)
{
    crystal.m_a = crystal.m_b = crystal.m_c = kCell;
    crystal.m_alpha = crystal.m_beta = crystal.m_gamma = 90.0;
    crystal.ComputeMetrics();
    crystal.m_spaceGroupSymbol = L"F m -3 m";
    crystal.m_latticeLetter = 'F';
    crystal.m_sites.clear();
    for (int i = 0; i < kGeneralSites; ++i) {
        CQLSite site;
        site.m_label.Format(L"S%d", i + 1);
        site.m_x = Coordinate(i, 0);
        site.m_y = Coordinate(i, 1);
        site.m_z = Coordinate(i, 2);
        site.m_species.emplace_back(kElements[i % 6], 1.0);
        site.m_displacement = std::make_unique<CQLThermalEllipsoid>(kUIso);
        crystal.m_sites.push_back(std::move(site));
    }
    crystal.InstallOperatorsFromSymbol();
    crystal.ExpandSitesBySymmetry();
}

long PeakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct StageTimes {
    double generation = 1e300, intensities = 1e300, scaling = 1e300;
    size_t generated = 0;
};

// The recompute's stages one at a time, on a crystal that a recompute has prepared.
StageTimes TimeStages(CQLCrystal& crystal, const CDiffractionSettings& settings, double dLimit)
{
    StageTimes t;
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        crystal.GenerateReflexions(dLimit, 0);
        t.generation = std::min(t.generation, Seconds(start));
        t.generated = crystal.m_reflexions.size();
        start = std::chrono::steady_clock::now();
        crystal.ComputeIntensities(settings);
        t.intensities = std::min(t.intensities, Seconds(start));
        start = std::chrono::steady_clock::now();
        crystal.RemoveZeroIntensityReflexions();
        crystal.ComputeRelativeIntensities();
        crystal.ComputeReflexionPositions(settings);
        t.scaling = std::min(t.scaling, Seconds(start));
    }
    return t;
}

// The whole chain as the program runs it, recompute then profile; the best of a few runs
// counts, since the machine may be busy with other work.
bool TimeChain(CQLCrystalPattern& pattern, const CDiffractionSettings& settings, double& recompute, double& profile)
{
    recompute = profile = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        if (!pattern.m_crystal.Recompute(settings)) return false;
        recompute = std::min(recompute, Seconds(start));
        start = std::chrono::steady_clock::now();
        pattern.ClearProfile();
        pattern.ComputeProfile(settings);
        profile = std::min(profile, Seconds(start));
    }
    return true;
}

double SumF2(const CQLCrystal& crystal)
{
    double sum = 0.0;
    for (const auto& r : crystal.m_reflexions) sum += r->A * r->A + r->B * r->B;
    return sum;
}

size_t AtomsInCell(const CQLCrystal& crystal)
{
    size_t atoms = 0;
    for (const CQLSite& site : crystal.m_sites) atoms += site.m_positions.size();
    return atoms;
}

// One figure a line: the label padded to a column, so the figures line up across sections.
void PrintFigure(const std::string& prefix, const char* label, const char* figure)
{
    std::printf("%-58s %s\n", (prefix + label).c_str(), figure);
}

void PrintSeconds(const std::string& prefix, const char* label, double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", seconds);
    PrintFigure(prefix, label, text);
}

void PrintStages(const std::string& prefix, const StageTimes& t, const CDiffractionSettings& settings,
                 double recompute, double profile)
{
    PrintSeconds(prefix, "reflexion generation [s]", t.generation);
    // The engine computes a reflexion's structure factor and its intensity in the same loop
    // iteration, so the two cannot be timed apart.
    PrintSeconds(prefix, "structure factors + intensities, one loop [s]", t.intensities);
    PrintSeconds(prefix, "relative intensities, positions [s]", t.scaling);
    char label[64];
    std::snprintf(label, sizeof label, "profile, %llu points [s]",
                  static_cast<unsigned long long>(settings.m_numProfilePoints));
    PrintSeconds(prefix, label, profile);
    char text[96];
    std::snprintf(text, sizeof text, "%.4f  (recompute %.4f + profile %.4f)", recompute + profile, recompute, profile);
    PrintFigure(prefix, "whole chain [s]", text);
}

// Opens and reads a structure file the way the document does: type from the extension and the
// content, then the type's reader. False, with the reason on standard error, when it fails.
bool ReadStructureFile(const char* path, CQLPatternList& list)
{
    const CString widePath(path);
    uint32_t type = IdentifyFileType(widePath.GetString(), true);
    if (type == 0) type = IdentifyFileType(widePath.GetString(), false);
    std::unique_ptr<CQlwFile> file(CreateFileForType(type));
    if (!file) {
        std::fprintf(stderr, "%s: file type %u cannot be read\n", path, type);
        return false;
    }
    file->Open(widePath.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite);
    return file->ReadFile(&list, nullptr, nullptr);
}

// The giant cell read through the file layer, then its reflexions and profile stage by stage.
int BenchGiantCell(const char* path, const CDiffractionSettings& settings)
{
    if (!path || !*path || access(path, R_OK) != 0) {
        std::printf("giant cell: %s is absent, section skipped\n", path && *path ? path : "(no path)");
        return 0;
    }
    double read = 1e300;
    CQLPatternList list;
    for (int run = 0; run < kRuns; ++run) {
        list.clear();
        const auto start = std::chrono::steady_clock::now();
        if (!ReadStructureFile(path, list)) {
            std::fprintf(stderr, "giant cell: %s could not be read\n", path);
            return 1;
        }
        read = std::min(read, Seconds(start));
    }
    std::shared_ptr<CQLCrystalPattern> pattern = FindFirstCrystalPattern(list, false, false);
    if (!pattern) {
        std::fprintf(stderr, "giant cell: %s holds no crystal\n", path);
        return 1;
    }
    CQLCrystal& crystal = pattern->m_crystal;
    double recompute = 0.0, profile = 0.0;
    if (!TimeChain(*pattern, settings, recompute, profile)) {
        std::fprintf(stderr, "giant cell: recompute failed\n");
        return 1;
    }
    const size_t kept = crystal.m_reflexions.size();
    const double sumF2 = SumF2(crystal);
    const StageTimes t = TimeStages(crystal, settings, DLimit());
    const std::string prefix = "giant cell: ";
    char text[64];
    PrintFigure(prefix, "file", std::filesystem::path(path).lexically_normal().c_str());
    std::snprintf(text, sizeof text, "%.0f", crystal.m_volume);
    PrintFigure(prefix, "volume [A^3]", text);
    std::snprintf(text, sizeof text, "%zu", crystal.m_sites.size());
    PrintFigure(prefix, "sites", text);
    std::snprintf(text, sizeof text, "%zu", AtomsInCell(crystal));
    PrintFigure(prefix, "atoms in cell", text);
    std::snprintf(text, sizeof text, "%zu", t.generated);
    PrintFigure(prefix, "reflexions generated", text);
    std::snprintf(text, sizeof text, "%zu", kept);
    PrintFigure(prefix, "reflexions kept", text);
    std::snprintf(text, sizeof text, "%.6e", sumF2);
    PrintFigure(prefix, "sum |F|^2 (no mult.)", text);
    PrintSeconds(prefix, "file read (identify, open, parse, expand) [s]", read);
    PrintStages(prefix, t, settings, recompute, profile);
    std::snprintf(text, sizeof text, "%.1f", PeakMemoryKiB() / 1024.0);
    PrintFigure(prefix, "peak memory of the process so far [MiB]", text);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-structure") == 0) {
        if (!WriteStructure(argv[2])) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    std::string giantPath = QLW_TESTDATA_DIR "/cif/20_TaCuAl_giant_COD2104374.cif";
    if (argc == 3 && std::strcmp(argv[1], "--giant") == 0) {
        giantPath = argv[2];
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: bench_engine [--giant CIF | --write-structure PATH]\n");
        return 2;
    }

    CDiffractionSettings settings(true);
    settings.m_simulationType = LXTypes::kSimXRays;
    settings.m_axisType = LXTypes::kAxis2Theta;
    settings.m_profileType = LXTypes::kProfileGaussian;
    settings.m_lambda = kLambda;
    settings.m_monochromatic = 1;
    settings.m_dMin = DLimit();
    settings.m_restrictMaxNumRefs = 0;

    CQLCrystalPattern pattern(true);
    CQLCrystal& crystal = pattern.m_crystal;
    const auto start = std::chrono::steady_clock::now();
    BuildCrystal(crystal);
    const double build = Seconds(start);

    double recompute = 0.0, profile = 0.0;
    if (!TimeChain(pattern, settings, recompute, profile)) {
        std::fprintf(stderr, "recompute failed\n");
        return 1;
    }
    const size_t reflexions = crystal.m_reflexions.size();
    const double sumF2 = SumF2(crystal);
    const StageTimes t = TimeStages(crystal, settings, DLimit());

    char text[64];
    std::snprintf(text, sizeof text, "%d", omp_get_max_threads());
    PrintFigure("", "engine threads", text);
    std::snprintf(text, sizeof text, "%zu", AtomsInCell(crystal));
    PrintFigure("", "atoms in cell", text);
    std::snprintf(text, sizeof text, "%zu", t.generated);
    PrintFigure("", "reflexions generated", text);
    std::snprintf(text, sizeof text, "%zu", reflexions);
    PrintFigure("", "reflexions kept", text);
    std::snprintf(text, sizeof text, "%.6e", sumF2);
    PrintFigure("", "sum |F|^2 (no mult.)", text);
    PrintSeconds("", "build and expand [s]", build);
    PrintStages("", t, settings, recompute, profile);
    std::snprintf(text, sizeof text, "%.1f", PeakMemoryKiB() / 1024.0);
    PrintFigure("", "peak memory [MiB]", text);

    return BenchGiantCell(giantPath.c_str(), settings);
}
