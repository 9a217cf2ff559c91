// Times a mixture of the giant 93,000 Å³ cell and two small structures on the default
// 72,000-point grid: the first full computation, then the recompute after one fraction changes
// (the balance and the new summed profile), which is what the mixture pane asks for.
// Usage: bench_mixture [GIANT.cif]
#include "FileTypes.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {
constexpr int kRuns = 20;  // the best counts: the machine is shared

double Milliseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The first structure of a file, read the way the document opens one.
CQLPatternPtr ReadStructure(const std::string& path)
{
    const CString wide(path.c_str());
    std::unique_ptr<CQlwFile> file(CreateFileForType(IdentifyFileType(wide.GetString(), true)));
    if (!file || !file->Open(wide.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return nullptr;
    CQLPatternList list;
    if (!file->ReadFile(&list, nullptr, nullptr) || list.empty()) return nullptr;
    return list.front();
}
}  // namespace

int main(int argc, char** argv)
{
    InstallFileTypeRecogniser();
    const std::string giantPath = argc > 1 ? argv[1] : QLW_TESTDATA_DIR "/cif/20_TaCuAl_giant_COD2104374.cif";
    const std::string paths[] = {giantPath, QLW_SOURCE_DIR "/examples/rutile.cif",
                                 QLW_TESTDATA_DIR "/cif/04_Cu_COD9008468.cif"};
    CDiffractionSettings settings(true);
    auto mixture = std::make_shared<CQLMixturePattern>(true);
    for (const std::string& path : paths) {
        if (!std::filesystem::exists(path)) {
            std::printf("%s is absent: nothing measured\n", path.c_str());
            return 0;
        }
        CQLPatternPtr p = ReadStructure(path);
        if (!p) {
            std::fprintf(stderr, "%s could not be read\n", path.c_str());
            return 1;
        }
        mixture->m_components.push_back(p);
    }
    mixture->EqualiseFractions();
    std::printf("threads %d, grid %llu points\n", omp_get_max_threads(),
                static_cast<unsigned long long>(settings.m_numProfilePoints));

    auto start = std::chrono::steady_clock::now();
    mixture->ApplySettings(settings);
    const CQLProfile& first = mixture->GetComputedProfile(settings);
    std::printf("first computation (components recomputed and profiled, then summed)  %10.2f ms\n",
                Milliseconds(start));
    size_t reflexions = 0;
    for (const CQLPatternPtr& p : mixture->m_components) reflexions += p->GetCrystal()->m_reflexions.size();
    std::printf("reflexions of the three components                                   %10zu\n", reflexions);
    if (first.size() != settings.m_numProfilePoints) {
        std::fprintf(stderr, "the mixture profile has %zu points\n", first.size());
        return 1;
    }

    double best = 1e300;
    const CQLPatternPtr changed = mixture->m_components.back();
    for (int run = 0; run < kRuns; ++run) {
        changed->m_fraction = run % 2 ? 0.5 : 0.2;
        start = std::chrono::steady_clock::now();
        mixture->BalanceFractions(changed);
        const CQLProfile& profile = mixture->GetComputedProfile(settings);
        const double ms = Milliseconds(start);
        if (profile.size() != first.size()) return 1;
        best = std::min(best, ms);
    }
    std::printf("recompute after one fraction changes (balance and sum, best of %d)  %10.3f ms\n", kRuns, best);
    return 0;
}
