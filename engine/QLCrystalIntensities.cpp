// Structure factors, Lorentz-polarisation, preferred orientation, intensities and peak widths.
#include "QLCrystal.h"

#include "EngineConstants.h"
#include "QLCrystalPhaseTable.h"
#include "Status.h"
#include "VectorMath.h"
#include "WorkerTeam.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <unordered_map>

using namespace QLEngineConstants;

namespace
{
constexpr double kMinimumR = 0.0015;
constexpr double kScherrer = 0.888;
constexpr double kLn2 = 0.6931471824645996;            // single precision ln 2

constexpr UINT kIdsIndexingASF = 3708;
// Below these amounts of work a loop runs on the calling thread: waking the team costs more.
constexpr long kParallelPhaseTerms = 200000;
constexpr long kParallelReflexions = 20000;
// Above this the phase table is not built and every phase is computed on its own.
constexpr std::size_t kPhaseTableBudget = std::size_t(128) << 20;
// Positions per block of the blocked sums: the block's phase table stays in a core's cache.
constexpr std::size_t kPointBlock = 1024;
// Bytes of per-block shares of the reflexions' sums held at a time.
constexpr std::size_t kShareBudget = std::size_t(32) << 20;

// The values that decide a site's factor, as bytes: sites with equal signatures share it.
std::string FactorSignature(const CQLSite& site)
{
    std::string key;
    auto add = [&key](const void* p, std::size_t n) { key.append(static_cast<const char*>(p), n); };
    for (const auto& species : site.m_species)
    {
        add(species.m_name.GetString(), sizeof(wchar_t) * static_cast<std::size_t>(species.m_name.GetLength() + 1));
        add(&species.m_occupancy, sizeof(double));
        add(&species.m_asf.m_Z, sizeof species.m_asf.m_Z);
        add(species.m_asf.m_coefficients, sizeof species.m_asf.m_coefficients);
        add(&species.m_asf.m_neutronLength, sizeof(double));
    }
    key += '|';
    if (const CQLThermalEllipsoid* t = site.m_displacement.get())
    {
        if (const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(t))
        {
            key += 'a';
            add(aniso->m_beta, sizeof aniso->m_beta);
        }
        else
        {
            key += 'i';
            add(&t->m_u, sizeof t->m_u);
        }
    }
    return key;
}

std::array<int, 3> IndexMagnitudes(const CQLReflexion& r)
{
    return {std::abs(r.h), std::abs(r.k), std::abs(r.l)};
}

// The largest |h|, |k|, |l| of the list: the extent of a phase table that serves all of them.
std::array<int, 3> MaxIndexMagnitudes(const std::vector<std::shared_ptr<CQLReflexion>>& reflexions)
{
    std::array<int, 3> out = {0, 0, 0};
    for (const auto& r : reflexions)
    {
        const std::array<int, 3> m = IndexMagnitudes(*r);
        for (int i = 0; i < 3; ++i)
            out[i] = std::max(out[i], m[i]);
    }
    return out;
}

int RadiationFor(LXTypes::QLSimulationType type)
{
    switch (type)
    {
    case LXTypes::kSimNeutrons:
    case LXTypes::kSimTimeOfFlight: return kRadiationNeutrons;
    case LXTypes::kSimXRays:
    case LXTypes::kSimEnergyDispersive: return kRadiationXRays;
    case LXTypes::kSimElectrons: return kRadiationElectrons;
    default: return 0;
    }
}

// The positions of a site that the sums visit: all, or the listed ones.
void AppendSummedPositions(const CQLSite& site, const std::vector<std::uint32_t>* listed,
                           std::vector<CQLPhaseTable::Point>& points)
{
    if (!listed)
        points.insert(points.end(), site.m_positions.begin(), site.m_positions.end());
    else
        for (std::uint32_t p : *listed)
            points.push_back(site.m_positions[p]);
}

// Per pair of site and image rotation, the site's damping exponent at the turned indices: the same
// operations as CQLAnisoThermalEllipsoid::ExponentAt, so the same bits. R: the nine rotation
// entries, b: β11 β22 β33 β12 β13 β23, one array each.
QLW_SIMD_CLONES void DampingExponents(
    const int* const R[9], const double* const b[6], int h, int k, int l, double* __restrict x, std::size_t numPairs)
{
    for (std::size_t q = 0; q < numPairs; ++q)
    {
        const int th = R[0][q] * h + R[3][q] * k + R[6][q] * l;
        const int tk = R[1][q] * h + R[4][q] * k + R[7][q] * l;
        const int tl = R[2][q] * h + R[5][q] * k + R[8][q] * l;
        x[q] = -(b[0][q] * th * th + b[1][q] * tk * tk + b[2][q] * tl * tl + 2.0 * b[3][q] * th * tk +
                 2.0 * b[4][q] * th * tl + 2.0 * b[5][q] * tk * tl);
    }
}

QLW_SIMD_CLONES void PointWeights(
    const double* siteFactors, const double* dampings, const std::uint32_t* siteOf, const std::uint32_t* pairOf,
    double* __restrict weights, std::size_t numPoints)
{
    for (std::size_t p = 0; p < numPoints; ++p)
        weights[p] = siteFactors[siteOf[p]] * dampings[pairOf[p]];
}

// The sites whose tensor turns with each image, all at once per reflexion: one damping exponent per
// pair of site and image rotation (the indices turned in integers, as the tensor's own factor turns
// them), their exponentials in one vector loop, and one weighted sum over all their table points
// with each point's weight the site's scattering factor times its rotation's damping.
class CPerImageSums
{
public:
    // cosetFirsts: per site, the positions summed (all when empty).
    CPerImageSums(const std::vector<CQLSite>& sites, const std::vector<std::size_t>& perImageSites,
                  const std::vector<std::vector<std::uint32_t>>& cosetFirsts)
    {
        for (std::size_t s = 0; s < perImageSites.size(); ++s)
        {
            const CQLSite& site = sites[perImageSites[s]];
            const auto* tensor = static_cast<const CQLAnisoThermalEllipsoid*>(site.m_displacement.get());
            const std::uint32_t firstPair = static_cast<std::uint32_t>(m_numPairs);
            for (const auto& R : site.m_imageRotations)
            {
                for (int e = 0; e < 9; ++e)
                    m_rotation[e].push_back(R[static_cast<std::size_t>(e)]);
                const double* b = tensor->m_beta;
                const double betas[6] = {b[0], b[4], b[8], b[1], b[2], b[5]};
                for (int e = 0; e < 6; ++e)
                    m_beta[e].push_back(betas[e]);
                ++m_numPairs;
            }
            auto add = [&](std::size_t p) {
                m_pairOf.push_back(firstPair + site.m_positionRotations[p]);
                m_siteOf.push_back(static_cast<std::uint32_t>(s));
            };
            if (cosetFirsts.empty())
                for (std::size_t p = 0; p < site.m_positions.size(); ++p)
                    add(p);
            else
                for (std::uint32_t p : cosetFirsts[perImageSites[s]])
                    add(p);
        }
    }

    // siteFactors: the scattering factor of each per-image site at this reflexion.
    void Sum(int h, int k, int l, const double* siteFactors, const CQLPhaseTable& table, double& A, double& B) const
    {
        thread_local std::vector<double> exponents, dampings, weights;
        exponents.resize(m_numPairs);
        dampings.resize(m_numPairs);
        weights.resize(m_pairOf.size());
        const int* R[9];
        for (int e = 0; e < 9; ++e)
            R[e] = m_rotation[e].data();
        const double* b[6];
        for (int e = 0; e < 6; ++e)
            b[e] = m_beta[e].data();
        DampingExponents(R, b, h, k, l, exponents.data(), m_numPairs);
        ExpOfEach(exponents.data(), dampings.data(), m_numPairs);
        PointWeights(siteFactors, dampings.data(), m_siteOf.data(), m_pairOf.data(), weights.data(), m_pairOf.size());
        const double* w = weights.data();
        table.WeightedSum(h, k, l, 0, m_pairOf.size(), w, A, B);
    }

private:
    std::size_t m_numPairs = 0;
    std::array<std::vector<int>, 9> m_rotation;     // row-major rotation entries, one vector each
    std::array<std::vector<double>, 6> m_beta;      // β11 β22 β33 β12 β13 β23 of the pair's site
    std::vector<std::uint32_t> m_pairOf, m_siteOf;  // per table point
};

double PhaseOf(double A, double B)
{
    if (A == 0.0)
    {
        if (std::fabs(B) < kZero)
            return 0.0;
        return B > 0.0 ? kHalfPi : 3.0 * kHalfPi;
    }
    if (std::fabs(B) < kZero)
        return A > 0.0 ? 0.0 : kPi;
    const double phi0 = std::atan(std::fabs(B / A));
    if (A > 0.0)
        return B >= 0.0 ? phi0 : kTwoPi - phi0;
    return B > 0.0 ? kPi - phi0 : kPi + phi0;
}
}

void CQLCrystal::CheckScatteringFactors()
{
    CStatus status(kIdsIndexingASF);
    std::vector<CString> missing;
    for (const auto& site : m_sites)
        for (const auto& species : site.m_species)
        {
            if (std::wcsncmp(species.m_asf.m_symbol, species.m_name.GetString(), CLXASF::kMaxSymbolLength) == 0)
                continue;
            if (std::find(missing.begin(), missing.end(), species.m_name) == missing.end())
                missing.push_back(species.m_name);
        }
    CString names;
    for (std::size_t i = 0; i < missing.size(); ++i)
    {
        if (i)
            names += L", ";
        names += missing[i];
    }
    if (names == m_reportedMissingFactors)
        return;
    m_reportedMissingFactors = names;
    if (!names.IsEmpty())
        CLXXDiffractNoASF(kLXSeverityMessage, 0, __LINE__, names).Report();
}

void CQLCrystal::ComputeIntensities(const CDiffractionSettings& settings)
{
    AssignSiteGroups();
    // Sites whose factor is one number per reflexion are summed in blocks over all reflexions;
    // sites whose tensor turns with each image are summed per reflexion from a phase table.
    const SiteTermList terms = MakeSiteTerms(true);
    const std::vector<double> formFactors = FormFactorsOfRecords(terms, settings);
    // Reflexions that share index magnitudes read the same table rows: visited together, those
    // rows stay in cache.
    const std::size_t numRefl = m_reflexions.size();
    std::vector<std::size_t> order(numRefl);
    for (std::size_t i = 0; i < numRefl; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return IndexMagnitudes(*m_reflexions[a]) < IndexMagnitudes(*m_reflexions[b]);
    });
    // In a centred lattice only one member of each coset of positions is summed, the sum counted
    // once for each member.
    std::vector<std::vector<std::uint32_t>> cosetFirsts;
    const std::size_t cosetSize = FindCentringCosets(cosetFirsts);
    std::vector<double> plain = SumPlainSites(settings, terms, formFactors, order, cosetFirsts);
    for (double& v : plain)
        v *= static_cast<double>(cosetSize);
    std::vector<CQLPhaseTable::Point> points;
    std::vector<std::size_t> perImageSites;
    for (std::size_t i = 0; i < m_sites.size(); ++i)
        if (m_sites[i].m_included && terms[i].perImage)
        {
            perImageSites.push_back(i);
            AppendSummedPositions(m_sites[i], cosetFirsts.empty() ? nullptr : &cosetFirsts[i], points);
        }
    const std::array<int, 3> maxIndex = MaxIndexMagnitudes(m_reflexions);
    std::unique_ptr<CQLPhaseTable> table;
    if (!points.empty() && !m_reflexions.empty() &&
        CQLPhaseTable::Footprint(points.size(), maxIndex.data()) <= kPhaseTableBudget)
        table = std::make_unique<CQLPhaseTable>(points, maxIndex.data());

    const long count = static_cast<long>(numRefl);
    const long work = count * static_cast<long>(points.size() + perImageSites.size() + 1);
    const std::size_t numRecords = terms.records.size();
    const int radiation = RadiationFor(settings.m_simulationType);
    std::unique_ptr<CPerImageSums> perImage;
    if (table)
        perImage = std::make_unique<CPerImageSums>(m_sites, perImageSites, cosetFirsts);
    // Every reflexion's texture factor turns it by the same rotations: gathered once, not per reflexion.
    const std::shared_ptr<const CEquivalentsMaker> equivalents =
        m_usePreferredOrientation ? MakeEquivalentsMaker(true) : nullptr;
    qlw::ParallelFor(count, 16, work > kParallelPhaseTerms, [&](long begin, long end) {
        for (long n = begin; n < end; ++n)
        {
            const std::size_t i = order[static_cast<std::size_t>(n)];
            CQLReflexion& refl = *m_reflexions[i];
            const double* rowFactors = formFactors.empty() ? nullptr : formFactors.data() + i * numRecords;
            if (!perImage)
            {
                ComputeReflexionIntensity(refl, settings, table.get(), terms, plain.data() + 2 * i, &perImageSites,
                                          rowFactors, equivalents.get());
                continue;
            }
            thread_local std::vector<double> siteFactors;
            siteFactors.resize(perImageSites.size());
            for (std::size_t s = 0; s < perImageSites.size(); ++s)
                siteFactors[s] = SiteScatteringFactor(perImageSites[s], refl.d, radiation, terms, rowFactors);
            double A = 0.0, B = 0.0;
            perImage->Sum(refl.h, refl.k, refl.l, siteFactors.data(), *table, A, B);
            const double scale = static_cast<double>(cosetSize);
            FinishReflexion(refl, settings, plain[2 * i] + scale * A, plain[2 * i + 1] + scale * B,
                            equivalents.get());
        }
    });
}

std::vector<double> CQLCrystal::FormFactorsOfRecords(const SiteTermList& terms,
                                                     const CDiffractionSettings& settings) const
{
    std::vector<double> values;
    if (RadiationFor(settings.m_simulationType) == kRadiationNeutrons || terms.records.empty())
        return values;
    const std::size_t numRecords = terms.records.size();
    const long count = static_cast<long>(m_reflexions.size());
    values.resize(static_cast<std::size_t>(count) * numRecords);
    qlw::ParallelFor(count, 256, count * static_cast<long>(numRecords) > kParallelReflexions, [&](long begin, long end) {
        for (long n = begin; n < end; ++n)
        {
            // s² as the species computes it, so that the factors are the same to the bit.
            const double d = m_reflexions[static_cast<std::size_t>(n)]->d;
            const double s2 = 1.0 / (4.0 * d * d);
            for (std::size_t r = 0; r < numRecords; ++r)
                values[static_cast<std::size_t>(n) * numRecords + r] = terms.records[r]->XRayFormFactor(s2);
        }
    });
    return values;
}

double CQLCrystal::SiteScatteringFactor(std::size_t i, double d, int radiation, const SiteTermList& terms,
                                        const double* formFactors) const
{
    const CQLSite& site = m_sites[i];
    double f = 0.0;
    if (!formFactors)
    {
        for (const auto& species : site.m_species)
            f += species.GetScatteringFactor(d, radiation);
        return f;
    }
    const std::uint32_t* records = terms[i].records.data();
    for (std::size_t j = 0; j < site.m_species.size(); ++j)
        f += site.m_species[j].GetScatteringFactor(d, radiation, formFactors[records[j]]);
    return f;
}

std::vector<double> CQLCrystal::SumPlainSites(const CDiffractionSettings& settings, const SiteTermList& terms,
                                              const std::vector<double>& formFactors,
                                              const std::vector<std::size_t>& order,
                                              const std::vector<std::vector<std::uint32_t>>& cosetFirsts) const
{
    const std::size_t numRefl = m_reflexions.size();
    std::vector<double> sums(2 * numRefl, 0.0);
    const int radiation = RadiationFor(settings.m_simulationType);

    // Sites alike in species, occupancies, scattering data and displacement share one factor per
    // reflexion: their positions are summed together and the sum multiplied once.
    std::vector<std::size_t> keyOf(m_sites.size(), SIZE_MAX), representative;
    std::unordered_map<std::string, std::size_t> keys;
    for (std::size_t i = 0; i < m_sites.size(); ++i)
    {
        const CQLSite& site = m_sites[i];
        if (!site.m_included || site.m_positions.empty() || IsPerImageSite(site))
            continue;
        const auto [it, added] = keys.emplace(FactorSignature(site), representative.size());
        if (added)
            representative.push_back(i);
        keyOf[i] = it->second;
    }
    if (representative.empty() || numRefl == 0)
        return sums;

    // Positions in key order, cut into blocks of one key each.
    std::vector<CQLPhaseTable::Point> points;
    struct Block
    {
        std::size_t key, first, last;
    };
    std::vector<Block> blocks;
    std::vector<std::vector<std::size_t>> sitesOfKey(representative.size());
    for (std::size_t i = 0; i < m_sites.size(); ++i)
        if (keyOf[i] != SIZE_MAX)
            sitesOfKey[keyOf[i]].push_back(i);
    for (std::size_t key = 0; key < representative.size(); ++key)
    {
        const std::size_t start = points.size();
        for (std::size_t i : sitesOfKey[key])
            AppendSummedPositions(m_sites[i], cosetFirsts.empty() ? nullptr : &cosetFirsts[i], points);
        for (std::size_t first = start; first < points.size(); first += kPointBlock)
            blocks.push_back({key, first, std::min(points.size(), first + kPointBlock)});
    }

    const std::array<int, 3> maxIndex = MaxIndexMagnitudes(m_reflexions);
    const std::size_t numRecords = terms.records.size();

    // Each block's share of every reflexion is kept apart and the shares are added in block order,
    // so the sums do not depend on the number of threads; the reflexions are taken in chunks that
    // keep the shares within budget.
    const std::size_t chunk = std::max<std::size_t>(1, kShareBudget / (blocks.size() * 2 * sizeof(double)));
    // Every share is written before it is read: no zeroing of megabytes.
    const auto shares = std::make_unique_for_overwrite<double[]>(blocks.size() * std::min(chunk, numRefl) * 2);
    const long numBlocks = static_cast<long>(blocks.size());
    const bool parallel = static_cast<double>(numRefl) * static_cast<double>(points.size()) > kParallelPhaseTerms;
    for (std::size_t from = 0; from < numRefl; from += chunk)
    {
        const std::size_t to = std::min(numRefl, from + chunk), width = to - from;
        qlw::ParallelFor(numBlocks, 1, parallel, [&](long firstBlock, long endBlock) {
            for (long b = firstBlock; b < endBlock; ++b)
            {
                const Block& block = blocks[static_cast<std::size_t>(b)];
                const std::vector<CQLPhaseTable::Point> blockPoints(points.begin() + static_cast<long>(block.first),
                                                                    points.begin() + static_cast<long>(block.last));
                const CQLPhaseTable table(blockPoints, maxIndex.data());
                const CQLSite& site = m_sites[representative[block.key]];
                const bool displaced = m_useThermalEllipsoids && site.m_displacement;
                double* out = shares.get() + static_cast<std::size_t>(b) * width * 2;
                for (std::size_t n = from; n < to; ++n)
                {
                    const CQLReflexion& r = *m_reflexions[order[n]];
                    double f = SiteScatteringFactor(representative[block.key], r.d, radiation, terms,
                                                    formFactors.empty() ? nullptr
                                                                        : formFactors.data() + order[n] * numRecords);
                    if (displaced)
                        f *= site.m_displacement->GetTemperatureFactor(r.h, r.k, r.l, r.d);
                    double re, im;
                    table.Sum(r.h, r.k, r.l, 0, blockPoints.size(), re, im);
                    out[2 * (n - from)] = f * re;
                    out[2 * (n - from) + 1] = f * im;
                }
            }
        });
        // Each reflexion's shares added in block order, whichever thread adds them.
        qlw::ParallelFor(static_cast<long>(width), 512, parallel, [&](long begin, long end) {
            for (long m = begin; m < end; ++m)
            {
                const std::size_t n = from + static_cast<std::size_t>(m);
                double A = 0.0, B = 0.0;
                for (std::size_t b = 0; b < blocks.size(); ++b)
                {
                    A += shares[(b * width + (n - from)) * 2];
                    B += shares[(b * width + (n - from)) * 2 + 1];
                }
                sums[2 * order[n]] = A;
                sums[2 * order[n] + 1] = B;
            }
        });
    }
    return sums;
}

bool CQLCrystal::IsPerImageSite(const CQLSite& site) const
{
    return m_useThermalEllipsoids && site.m_displacement && site.HasImageRotations() &&
           dynamic_cast<const CQLAnisoThermalEllipsoid*>(site.m_displacement.get()) != nullptr;
}

CQLCrystal::SiteTermList CQLCrystal::MakeSiteTerms(bool perImageOnly) const
{
    SiteTermList terms;
    terms.sites.resize(m_sites.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < m_sites.size(); ++i)
    {
        const CQLSite& site = m_sites[i];
        SiteTerms& term = terms.sites[i];
        for (const auto& species : site.m_species)
        {
            const double* c = species.m_asf.m_coefficients;
            auto same = std::find_if(terms.records.begin(), terms.records.end(), [c](const CLXASF* record) {
                return std::memcmp(record->m_coefficients, c, sizeof record->m_coefficients) == 0;
            });
            term.records.push_back(static_cast<std::uint32_t>(same - terms.records.begin()));
            if (same == terms.records.end())
                terms.records.push_back(&species.m_asf);
        }
        // An anisotropic tensor turns with its image: the image made by rotation R damps h as the
        // site itself damps Rᵀh.
        if (IsPerImageSite(site))
            term.perImage = static_cast<const CQLAnisoThermalEllipsoid*>(site.m_displacement.get());
        term.first = next;
        if (site.m_included && (!perImageOnly || term.perImage))
            next += site.m_positions.size();
        term.last = next;
    }
    return terms;
}

void CQLCrystal::ComputeReflexionIntensity(CQLReflexion& refl, const CDiffractionSettings& settings) const
{
    ComputeReflexionIntensity(refl, settings, nullptr, MakeSiteTerms(false), nullptr, nullptr, nullptr);
}

void CQLCrystal::ComputeReflexionIntensity(CQLReflexion& refl, const CDiffractionSettings& settings,
                                           const CQLPhaseTable* table, const SiteTermList& terms,
                                           const double* plainSum, const std::vector<std::size_t>* visit,
                                           const double* formFactors, const CEquivalentsMaker* equivalents) const
{
    const int h = refl.h, k = refl.k, l = refl.l;
    const double d = refl.d;
    const int radiation = RadiationFor(settings.m_simulationType);

    // Structure factor; the scattering sum is shared by consecutive sites of one species group.
    double A = plainSum ? plainSum[0] : 0.0, B = plainSum ? plainSum[1] : 0.0;
    double f = 0.0;
    std::int64_t fGroup = -1;
    // Kept between reflexions: a loop over thousands of them would otherwise allocate each time.
    thread_local std::vector<double> exponents, rotationFactors, weights;
    const std::size_t numVisited = visit ? visit->size() : m_sites.size();
    for (std::size_t v = 0; v < numVisited; ++v)
    {
        const std::size_t i = visit ? (*visit)[v] : v;
        const CQLSite& site = m_sites[i];
        if (!site.m_included)
            continue;
        if (site.m_speciesGroup != fGroup)
        {
            f = SiteScatteringFactor(i, d, radiation, terms, formFactors);
            fGroup = site.m_speciesGroup;
        }
        double factor = f;
        const bool displaced = m_useThermalEllipsoids && site.m_displacement;
        const CQLAnisoThermalEllipsoid* turned = terms[i].perImage;
        const bool perImage = turned != nullptr;
        if (displaced && !perImage)
            factor *= site.m_displacement->GetTemperatureFactor(h, k, l, d);
        if (perImage)
        {
            const std::size_t numRotations = site.m_imageRotations.size();
            exponents.resize(numRotations);
            rotationFactors.resize(numRotations);
            for (std::size_t r = 0; r < numRotations; ++r)
            {
                const auto& R = site.m_imageRotations[r];
                exponents[r] = turned->ExponentAt(R[0] * h + R[3] * k + R[6] * l, R[1] * h + R[4] * k + R[7] * l,
                                                  R[2] * h + R[5] * k + R[8] * l);
            }
            ExpOfEach(exponents.data(), rotationFactors.data(), numRotations);
            weights.resize(site.m_positions.size());
            for (std::size_t p = 0; p < weights.size(); ++p)
                weights[p] = rotationFactors[site.m_positionRotations[p]];
        }
        double siteA = 0.0, siteB = 0.0;
        if (table && perImage)
            table->WeightedSum(h, k, l, terms[i].first, terms[i].last, weights.data(), siteA, siteB);
        else if (table)
            table->Sum(h, k, l, terms[i].first, terms[i].last, siteA, siteB);
        else
            for (std::size_t n = 0; n < site.m_positions.size(); ++n)
            {
                const auto& p = site.m_positions[n];
                const double phi = kTwoPi * (h * p[0] + k * p[1] + l * p[2]);
                const double halfSin = std::sin(phi * 0.5);
                const double w = perImage ? weights[n] : 1.0;
                siteA += w * ZeroIfTiny(1.0 - 2.0 * halfSin * halfSin);
                siteB += w * ZeroIfTiny(std::sin(phi));
            }
        A += factor * siteA;
        B += factor * siteB;
    }
    FinishReflexion(refl, settings, A, B, equivalents);
}

void CQLCrystal::FinishReflexion(CQLReflexion& refl, const CDiffractionSettings& settings, double A, double B,
                                 const CEquivalentsMaker* equivalents) const
{
    const double d = refl.d;
    const int radiation = RadiationFor(settings.m_simulationType);

    // Lorentz factor, wavelength term and Bragg angle of the geometry.
    double L = 1.0, W = 1.0, theta = 0.0;
    switch (settings.m_simulationType)
    {
    case LXTypes::kSimEnergyDispersive:
    {
        theta = settings.m_edxTheta;
        const double s = ZeroIfTiny(std::sin(theta));
        W = 16.0 * d * d * d * s * s * s;
        L = 1.0 / (ZeroIfTiny(std::sin(2.0 * theta)) * s);
        break;
    }
    case LXTypes::kSimTimeOfFlight:
        theta = settings.m_tofTheta;
        W = 1.0;
        L = d * d * d * d * ZeroIfTiny(std::sin(theta));
        break;
    case LXTypes::kSimElectrons:
    {
        const double lambda = settings.m_lambdaTEM;
        W = lambda * lambda * lambda;
        const double s = lambda / (2.0 * d);
        if (s < 1.0)
            L = 1.0 / s;
        else
        {
            L = 1.0;
            theta = kHalfPi;
        }
        break;
    }
    default:
    {
        const double lambda = settings.m_lambda;
        W = lambda * lambda * lambda;
        const double s = lambda / (2.0 * d);
        if (s < 1.0)
        {
            theta = std::asin(std::clamp(s, -1.0, 1.0));
            L = 1.0 / (ZeroIfTiny(std::sin(2.0 * theta)) * s);
        }
        else
        {
            L = 1.0;
            theta = kHalfPi;
        }
        break;
    }
    }

    double P = 1.0;
    if (radiation != kRadiationNeutrons)
    {
        const double sinTheta = ZeroIfTiny(std::sin(theta));
        const double cos2Theta = ZeroIfTiny(1.0 - 2.0 * sinTheta * sinTheta);
        P = (1.0 + cos2Theta * cos2Theta) / 2.0;
    }
    refl.lorentzPolarisation = P * L;
    refl.A = A;
    refl.B = B;
    refl.phase = PhaseOf(A, B);

    double intensity = (A * A + B * B) * W * P * L / (m_volume * m_volume);
    if (m_usePreferredOrientation)
        intensity *= PreferredOrientationFactor(refl, equivalents);
    else
        intensity *= refl.multiplicity;
    refl.intensity = intensity;
}

double CQLCrystal::PreferredOrientationFactor(const CQLReflexion& refl) const
{
    return PreferredOrientationFactor(refl, nullptr);
}

double CQLCrystal::PreferredOrientationFactor(const CQLReflexion& refl, const CEquivalentsMaker* equivalents) const
{
    const double* v = m_poVector.data();
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!m_usePreferredOrientation || length < 1e-5)
        return refl.multiplicity;

    double r = std::max(1.0 - m_poAlignment, kMinimumR);
    if (m_poGeometry == kPONeedles)
        r = 1.0 / r;

    LXTypes::CMatrix33 toCartesian;
    double cartesianVector[3] = {};
    if (m_poVectorType == kDirectVector)
    {
        OrthonormalizeCell(m_metric, toCartesian);
        LXTypes::MultiplyMatrixVector(toCartesian, v, cartesianVector);
    }

    std::shared_ptr<const CEquivalentsMaker> gathered;
    if (!equivalents)
    {
        gathered = MakeEquivalentsMaker(true);
        equivalents = gathered.get();
    }
    std::vector<QLIndexTriple> triples;
    GetEquivalentReflexions({refl.h, refl.k, refl.l}, *equivalents, triples);
    double sum = 0.0;
    int count = 0;
    for (const auto& e : triples)
    {
        if (std::fabs(DSpacing(e[0], e[1], e[2]) - refl.d) > kSameD)
            continue;
        ++count;
        const double hkl[3] = {double(e[0]), double(e[1]), double(e[2])};
        double alpha;
        if (m_poVectorType == kDirectVector)
        {
            double normal[3], cartesianNormal[3];
            PlaneNormal(normal, m_metric, hkl);
            LXTypes::MultiplyMatrixVector(toCartesian, normal, cartesianNormal);
            alpha = AngleBetween(cartesianVector, cartesianNormal);
        }
        else
            alpha = InterplanarAngle(hkl, v, m_metric);
        if (alpha > 90.0)
            alpha = 180.0 - alpha;
        const double a = alpha / kRadToDeg;
        const double c = std::cos(a), s = std::sin(a);
        sum += std::pow(r * r * c * c + s * s / r, -1.5);
    }
    // The distribution is normalised over the sphere already: the mean over the equivalents takes
    // the place of the multiplicity, so texture moves intensity between reflexions without
    // shrinking the phase as a whole.
    if (count == 0)
        return refl.multiplicity;
    return refl.multiplicity * (sum / count);
}

void CQLCrystal::RemoveZeroIntensityReflexions()
{
    std::erase_if(m_reflexions, [](const std::shared_ptr<CQLReflexion>& r) { return std::fabs(r->intensity) < kZero; });
}

void CQLCrystal::ComputeRelativeIntensities()
{
    m_maxIntensity = 0.0;
    const long count = static_cast<long>(m_reflexions.size());
    double maximum = 0.0;
    std::mutex maximumMutex;
    qlw::ParallelFor(count, 4096, count > kParallelReflexions, [&](long begin, long end) {
        double pieceMaximum = 0.0;
        for (long i = begin; i < end; ++i)
            pieceMaximum = std::max(pieceMaximum, m_reflexions[static_cast<std::size_t>(i)]->intensity);
        std::lock_guard<std::mutex> lock(maximumMutex);
        maximum = std::max(maximum, pieceMaximum);
    });
    m_maxIntensity = maximum;
    qlw::ParallelFor(count, 4096, count > kParallelReflexions, [&](long begin, long end) {
        for (long i = begin; i < end; ++i)
        {
            CQLReflexion& r = *m_reflexions[static_cast<std::size_t>(i)];
            r.relativeIntensity = r.intensity / maximum;
        }
    });
}

double CQLCrystal::PeakWidthAt(const CDiffractionSettings& settings, double x) const
{
    const double wI = settings.GetPeakWidth(x);
    const double Ls = std::clamp(m_particleSize, 0.0, 10000.0);
    const double e = std::clamp(m_isotropicStrain, 0.0, 1.0);
    const double g = 2.0 * std::sqrt(kLn2);
    // Strain widens every reflexion by the same Δd/d = 2g·e whichever unit the axis shows; on the
    // 2θ axis that is 4g·e·tan θ. In the units proportional to d or 1/d the width is Δd/d times x.
    const double strainDd = 2.0 * g * e;
    double wS = 0.0, wE = 0.0;
    switch (settings.m_axisType)
    {
    case LXTypes::kAxis2Theta:
    {
        const double halfAngle = x / 2.0 / kRadToDeg;
        wS = Ls >= 10000.0 ? 0.0 : (kScherrer / Ls) / std::cos(halfAngle) * kRadToDeg * settings.GetWavelength();
        wE = e == 0.0 ? 0.0 : std::tan(halfAngle) * kRadToDeg * 4.0 * g * e;
        break;
    }
    case LXTypes::kAxisDSpacing:
        wS = kScherrer * x * x / Ls;
        wE = strainDd * x;
        break;
    case LXTypes::kAxisInverseD:
        wS = kScherrer / Ls;
        wE = strainDd * x;
        break;
    case LXTypes::kAxisTimeOfFlight:
        wS = kScherrer * x * x / (Ls * settings.m_tofFactor);
        wE = strainDd * x;
        break;
    case LXTypes::kAxisEnergy:
        wS = kScherrer * settings.m_edxFactor / Ls;
        wE = strainDd * x;
        break;
    case LXTypes::kAxisTwoPiOverD:
        wS = kScherrer * kTwoPi / Ls;
        wE = strainDd * x;
        break;
    default: break;
    }
    double full = 0.0;
    switch (settings.m_profileType)
    {
    case LXTypes::kProfileLorentzian: full = wS + wI + wE; break;
    case LXTypes::kProfileGaussian: full = std::sqrt(wS * wS + wI * wI + wE * wE); break;
    case LXTypes::kProfilePseudoVoigt:
        full = (1.0 - settings.m_eta) * std::sqrt(wS * wS + wI * wI + wE * wE) + settings.m_eta * (wS + wI + wE);
        break;
    default: break;
    }
    return full / 2.0;
}

void CQLCrystal::UpdatePeakWidths(const CDiffractionSettings& settings)
{
    for (auto& r : m_reflexions)
        r->width = PeakWidthAt(settings, r->x);
}
