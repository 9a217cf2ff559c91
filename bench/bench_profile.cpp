// Times the crystal pattern's profile alone (the sum of one peak per reflexion over the grid) on
// an 8 × 9 × 10 Å P 1 cell with the factory settings, for peaks of ordinary width and for peaks
// so broad (large strain, tiny particles) that each one spans the whole grid. Prints the median
// and best of the runs and a hash of the profile's bytes, to compare results before and after a
// change and across thread counts. With --save PREFIX each case's profile is written to
// PREFIX-NAME.bin as raw doubles. With --dirty-upper each run starts with the upper halves of
// the vector registers in use, as code on the window's thread has been seen to leave them.
#include "QLCrystalPattern.h"

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
struct Case
{
    const char* name;
    LXTypes::QLProfileType shape;
    bool doublet;
    double particleSize;  // Å
    double strain;        // fraction
    int runs;
};

// Narrow cases repeat often enough for a steady median; the broad ones take seconds a run.
const Case kCases[] = {
    {"normal-gaussian", LXTypes::kProfileGaussian, false, 10000.0, 0.0, 21},
    {"normal-pvoigt-doublet", LXTypes::kProfilePseudoVoigt, true, 10000.0, 0.0, 21},
    {"strain10-gaussian", LXTypes::kProfileGaussian, false, 10000.0, 0.1, 3},
    {"size5A-gaussian", LXTypes::kProfileGaussian, false, 5.0, 0.0, 3},
    {"strain10-pvoigt-doublet", LXTypes::kProfilePseudoVoigt, true, 10000.0, 0.1, 3},
};

void BuildCell(CQLCrystal& crystal)
{
    crystal.m_a = 8.0;
    crystal.m_b = 9.0;
    crystal.m_c = 10.0;
    crystal.m_alpha = crystal.m_beta = crystal.m_gamma = 90.0;
    crystal.ComputeMetrics();
    crystal.ComputeReciprocalMetric();
    crystal.m_spaceGroupSymbol = L"P 1";
    const struct { const wchar_t* element; double x, y, z; } atoms[] = {
        {L"Si", 0.11, 0.23, 0.37}, {L"O", 0.61, 0.14, 0.82}, {L"Na", 0.35, 0.71, 0.29}, {L"Fe", 0.87, 0.52, 0.64}};
    for (const auto& a : atoms) {
        CQLSite site;
        site.m_label = a.element;
        site.m_x = a.x;
        site.m_y = a.y;
        site.m_z = a.z;
        site.m_species.emplace_back(a.element, 1.0);
        crystal.m_sites.push_back(std::move(site));
    }
    crystal.InstallOperatorsFromSymbol();
    crystal.ExpandSitesBySymmetry();
}

void DirtyUpperHalves()
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) __asm__ volatile("vpcmpeqb %%ymm8, %%ymm8, %%ymm8" ::: "xmm8");
#endif
}

std::uint64_t HashBytes(const CQLProfile& profile)
{
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (const CQLProfilePoint& p : profile) {
        unsigned char bytes[sizeof(double)];
        std::memcpy(bytes, &p.y, sizeof bytes);
        for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    }
    return h;
}
}  // namespace

int main(int argc, char** argv)
{
    const char* savePrefix = nullptr;
    const char* only = nullptr;
    bool dirtyUpper = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc)
            savePrefix = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--dirty-upper") == 0)
            dirtyUpper = true;
        else {
            std::fprintf(stderr, "usage: bench_profile [--only NAME-PART] [--save PREFIX] [--dirty-upper]\n");
            return 2;
        }
    }
    std::printf("engine threads %d\n", omp_get_max_threads());
    for (const Case& c : kCases) {
        if (only && !std::strstr(c.name, only)) continue;
        CDiffractionSettings settings(true);
        settings.m_profileType = c.shape;
        settings.m_monochromatic = c.doublet ? 0 : 1;
        CQLCrystalPattern pattern(true);
        BuildCell(pattern.m_crystal);
        pattern.m_crystal.m_particleSize = c.particleSize;
        pattern.m_crystal.m_isotropicStrain = c.strain;
        pattern.ApplySettings(settings);
        if (!pattern.HasData()) {
            std::fprintf(stderr, "%s: no reflexions\n", c.name);
            return 1;
        }
        std::vector<double> times;
        for (int run = 0; run < c.runs; ++run) {
            pattern.ClearProfile();
            if (dirtyUpper) DirtyUpperHalves();
            const auto start = std::chrono::steady_clock::now();
            pattern.ComputeProfile(settings);
            times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        const CQLProfile& profile = pattern.GetProfile();
        std::printf("%-24s %5zu reflexions  median %9.4f s  best %9.4f s  hash %016llx\n", c.name,
                    pattern.m_crystal.m_reflexions.size(), times[times.size() / 2], times.front(),
                    static_cast<unsigned long long>(HashBytes(profile)));
        if (savePrefix) {
            const std::string path = std::string(savePrefix) + "-" + c.name + ".bin";
            if (FILE* f = std::fopen(path.c_str(), "wb")) {
                for (const CQLProfilePoint& p : profile) std::fwrite(&p.y, sizeof p.y, 1, f);
                std::fclose(f);
            }
        }
        std::fflush(stdout);
    }
    return 0;
}
