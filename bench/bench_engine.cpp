// Times the diffraction chain on a large cubic F structure built in code: reflexion generation,
// structure factors with intensities, the scaling steps and the 72000-point profile, and prints
// the peak memory. With --write-structure PATH it also writes the structure for cctbx_sf.py.
#include "QLCrystalPattern.h"

#include <sys/resource.h>

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr double kCell = 45.0;              // Å
constexpr int kGeneralSites = 36;           // 36 × 192 positions of F m -3 m: 6912 atoms
constexpr double kLambda = 1.5405;          // Å, Cu Kα1
constexpr double kMaxTwoTheta = 120.0;      // degrees
constexpr double kUIso = 0.01;              // Å²
constexpr int kRuns = 3;
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
    auto start = std::chrono::steady_clock::now();
    BuildCrystal(crystal);
    const double build = Seconds(start);
    size_t atoms = 0;
    for (const CQLSite& site : crystal.m_sites) atoms += site.m_positions.size();

    // The whole chain as the program runs it, recompute then profile; the best of a few runs
    // counts, since the machine may be busy with other work.
    double recompute = 1e300, profile = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        start = std::chrono::steady_clock::now();
        if (!crystal.Recompute(settings)) {
            std::fprintf(stderr, "recompute failed\n");
            return 1;
        }
        recompute = std::min(recompute, Seconds(start));
        start = std::chrono::steady_clock::now();
        pattern.ClearProfile();
        pattern.ComputeProfile(settings);
        profile = std::min(profile, Seconds(start));
    }
    const size_t reflexions = crystal.m_reflexions.size();
    double sumF2 = 0.0;
    for (const auto& r : crystal.m_reflexions) sumF2 += r->A * r->A + r->B * r->B;

    // The stages again, one at a time, on the crystal the recompute prepared.
    double generation = 1e300, structureFactors = 1e300, scaling = 1e300;
    size_t generated = 0;
    for (int run = 0; run < kRuns; ++run) {
        start = std::chrono::steady_clock::now();
        crystal.GenerateReflexions(DLimit(), 0);
        generation = std::min(generation, Seconds(start));
        generated = crystal.m_reflexions.size();
        start = std::chrono::steady_clock::now();
        crystal.ComputeIntensities(settings);
        structureFactors = std::min(structureFactors, Seconds(start));
        start = std::chrono::steady_clock::now();
        crystal.RemoveZeroIntensityReflexions();
        crystal.ComputeRelativeIntensities();
        crystal.ComputeReflexionPositions(settings);
        scaling = std::min(scaling, Seconds(start));
    }

    std::printf("engine threads            %d\n", omp_get_max_threads());
    std::printf("atoms in cell             %zu\n", atoms);
    std::printf("reflexions generated      %zu\n", generated);
    std::printf("reflexions kept           %zu\n", reflexions);
    std::printf("sum |F|^2 (no mult.)      %.6e\n", sumF2);
    std::printf("build and expand     [s]  %.4f\n", build);
    std::printf("reflexion generation [s]  %.4f\n", generation);
    std::printf("structure factors and\n");
    std::printf("  intensities loop   [s]  %.4f\n", structureFactors);
    std::printf("relative intensities,\n");
    std::printf("  positions          [s]  %.4f\n", scaling);
    std::printf("profile, %llu points [s]  %.4f\n", static_cast<unsigned long long>(settings.m_numProfilePoints),
                profile);
    std::printf("whole chain          [s]  %.4f  (recompute %.4f + profile %.4f)\n", recompute + profile, recompute,
                profile);
    std::printf("peak memory        [MiB]  %.1f\n", PeakMemoryKiB() / 1024.0);
    return 0;
}
