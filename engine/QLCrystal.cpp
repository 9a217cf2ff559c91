// Cell geometry, site lists and the recompute sequence of the crystal model.
#include "QLCrystal.h"

#include "EngineConstants.h"
#include "Preferences.h"
#include "SpaceGroups.h"
#include "ValueRanges.h"
#include "VectorMath.h"
#include "WorkerTeam.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <unordered_map>

using namespace QLEngineConstants;

namespace
{
// Coordinates this close to a cell edge count as on it (single precision 1e-5).
constexpr double kEdgeLow = 9.99999974737875e-06;
constexpr double kEdgeHigh = 0.9999900000002526;
// Positions equal within this, per coordinate (single precision 1.1e-4).
constexpr double kPositionTolerance = 0.00011000000085914508;
// A phase h·t this close to a whole number of turns counts as whole (t: a centring translation).
constexpr double kWholeTurnTolerance = 1e-6;
// Fewer site images than this are made on the calling thread.
constexpr std::size_t kParallelSiteImages = 4096;
// Images of one site closer than this (Å) are one atom whatever decimals the file gave: coordinates
// given to three decimals next to a special position (0.333 for 1/3) put its images up to some
// 0.01 Å apart, while split sites lie tenths of an Å apart.
constexpr double kSameAtomDistance = 0.02;
// Images this far apart (Å) stay distinct atoms, however few decimals the file gave: a site
// split that finely is meant.
constexpr double kDistinctAtomDistance = 0.05;
// Amu per Å³ to kg/m³, single precision.
constexpr double kDensityConstant = 1660.56005859375;

// Occupancy sums read from files carry rounding (0.888 + 0.112 is not exactly 1 in binary).
constexpr double kOccupancyTolerance = 1e-4;

// Fractional coordinates equal modulo whole cells: 0.99995 and 0 are one position.
bool SameCoordinate(double a, double b)
{
    const double diff = a - b;
    return std::fabs(diff - std::round(diff)) < kPositionTolerance;
}

bool WithinTolerance(const QLPosition& a, const QLPosition& b)
{
    return SameCoordinate(a[0], b[0]) && SameCoordinate(a[1], b[1]) && SameCoordinate(a[2], b[2]);
}

using QLRotation = std::array<int, 9>;  // fractional, row-major

enum class ImageMatch
{
    kApart,   // two atoms
    kSame,    // the same position within the fractional tolerance
    kJoined,  // one atom, set apart by the rounding of the coordinates
};

// Squared (Å²) how far rounding of the coordinates by `rounding` (fractional half-widths) can set
// two images apart that the rotations ra and rb make of one atom: their difference is
// (ra − rb)·δ for the error δ, largest at a corner of the box |δ_i| ≤ rounding_i.
double RoundingReachSquared(const QLRotation& ra, const QLRotation& rb, const std::array<float, 3>& rounding,
                            const double g[9])
{
    double largest = 0.0;
    for (int corner = 0; corner < 4; ++corner)
    {
        const double delta[3] = {rounding[0], (corner & 1) ? -rounding[1] : rounding[1],
                                 (corner & 2) ? -rounding[2] : rounding[2]};
        double v[3];
        for (int i = 0; i < 3; ++i)
        {
            v[i] = 0.0;
            for (int j = 0; j < 3; ++j)
                v[i] += (ra[3 * i + j] - rb[3 * i + j]) * delta[j];
        }
        double squared = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                squared += v[i] * g[3 * i + j] * v[j];
        largest = std::max(largest, squared);
    }
    return largest;
}

// Whether images a and b (made by the rotations ra and rb) of one site are one atom: equal within
// the fractional tolerance, or closer in the cell (metric g) than rounding of the coordinates explains,
// at least kSameAtomDistance and less than kDistinctAtomDistance.
ImageMatch MatchImages(const QLPosition& a, const QLPosition& b, const QLRotation& ra, const QLRotation& rb,
                       const std::array<float, 3>& rounding, const double g[9])
{
    if (WithinTolerance(a, b))
        return ImageMatch::kSame;
    double d[3];
    for (int c = 0; c < 3; ++c)
    {
        const double diff = a[c] - b[c];
        d[c] = diff - std::round(diff);
    }
    double squared = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            squared += d[i] * g[3 * i + j] * d[j];
    if (squared < kSameAtomDistance * kSameAtomDistance)
        return ImageMatch::kJoined;
    if (!(squared < kDistinctAtomDistance * kDistinctAtomDistance) ||
        (rounding[0] == 0.0f && rounding[1] == 0.0f && rounding[2] == 0.0f))
        return ImageMatch::kApart;
    return squared < RoundingReachSquared(ra, rb, rounding, g) ? ImageMatch::kJoined : ImageMatch::kApart;
}

// A merged site keeps one displacement, so only sites that move alike may merge.
bool SameDisplacement(const CQLThermalEllipsoid* a, const CQLThermalEllipsoid* b)
{
    if (!a || !b)
        return a == b;
    const auto* anisoA = dynamic_cast<const CQLAnisoThermalEllipsoid*>(a);
    const auto* anisoB = dynamic_cast<const CQLAnisoThermalEllipsoid*>(b);
    if ((anisoA == nullptr) != (anisoB == nullptr))
        return false;
    if (!anisoA)
        return a->m_u == b->m_u;
    return std::equal(std::begin(anisoA->m_beta), std::end(anisoA->m_beta), std::begin(anisoB->m_beta));
}

QLRotation IntegerRotation(const CSymmetryOperator& op)
{
    QLRotation rotation;
    for (std::size_t r = 0; r < 9; ++r)
        rotation[r] = static_cast<int>(std::lround(op.m_rotation[r / 3][r % 3]));
    return rotation;
}
}

CQLCrystal::CQLCrystal(bool keepSettings)
{
    Reset(keepSettings);
}

void CQLCrystal::Reset(bool keepSettings)
{
    if (!keepSettings && g_pPreferences)
    {
        const CPreferences& p = *g_pPreferences;
        m_particleSize = p.m_ParticleSize.Get();
        m_isotropicStrain = p.m_IsotropicStrain.Get();
        m_useThermalEllipsoids = p.m_UseThermalEllipsoids.Get();
        m_usePreferredOrientation = p.m_UsePreferredOrientation.Get() ? 1 : 0;
        m_poAlignment = p.m_PreferredOrientationAlignment.Get();
        m_poGeometry = p.m_PreferredOrientationGeometry.Get();
        const LXTypes::CVectorT<double> v = p.m_PreferredOrientationVector.Get();
        m_poVector = {v.x, v.y, v.z};
        m_poVectorType = p.m_PreferredOrientationVectorType.Get();
    }
    ComputeMetrics();
    ComputeDensity();
    ComputeReciprocalMetric();
    m_sites.clear();
    m_reflexions.clear();
}

bool CQLCrystal::AcceptCell(const CString& title) const
{
    if (QLRanges::CellWithinRanges(m_a, m_b, m_c, m_alpha, m_beta, m_gamma))
        return true;
    CLXXCellOutOfRange(kLXSeverityMessage, 0, __LINE__, title, m_a, m_b, m_c, m_alpha, m_beta, m_gamma).Report();
    return false;
}

void CQLCrystal::CopyFrom(const CQLCrystal& other)
{
    if (this != &other)
        *this = other;
}

void CQLCrystal::ComputeMetrics()
{
    const double ca = std::cos(m_alpha * kDegToRad), cb = std::cos(m_beta * kDegToRad),
                 cg = std::cos(m_gamma * kDegToRad);
    const double sa = std::sin(m_alpha * kDegToRad), sb = std::sin(m_beta * kDegToRad),
                 sg = std::sin(m_gamma * kDegToRad);

    // Refuse a cell that has no volume rather than fill the metrics with NaN and infinities.
    const double volumeFactor = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
    const bool lengthsOk = std::isfinite(m_a) && std::isfinite(m_b) && std::isfinite(m_c) && m_a > 0.0 &&
                           m_b > 0.0 && m_c > 0.0;
    const bool anglesOk = m_alpha > 0.0 && m_alpha < 180.0 && m_beta > 0.0 && m_beta < 180.0 &&
                          m_gamma > 0.0 && m_gamma < 180.0;
    if (!lengthsOk || !anglesOk || !(volumeFactor > 1e-12))
        throw CLXXDegenerateCell(kLXSeverityMessage, 0, __LINE__, m_a, m_b, m_c, m_alpha, m_beta, m_gamma);

    auto clamp1 = [](double v) { return std::clamp(v, -1.0, 1.0); };
    const double caStar = clamp1((cb * cg - ca) / (sb * sg));
    const double cbStar = clamp1((ca * cg - cb) / (sa * sg));
    const double cgStar = clamp1((ca * cb - cg) / (sa * sb));
    m_alphaStar = std::acos(caStar) * kRadToDeg;
    m_betaStar = std::acos(cbStar) * kRadToDeg;
    m_gammaStar = std::acos(cgStar) * kRadToDeg;
    m_aStar = 1.0 / (m_a * sg * std::sin(m_betaStar * kDegToRad));
    m_bStar = 1.0 / (m_b * sa * std::sin(m_gammaStar * kDegToRad));
    m_cStar = 1.0 / (m_c * sb * std::sin(m_alphaStar * kDegToRad));
    m_volume = m_a * m_b * sg / m_cStar;
}

void CQLCrystal::ComputeReciprocalMetric()
{
    const double ca = std::cos(m_alpha * kDegToRad), cb = std::cos(m_beta * kDegToRad),
                 cg = std::cos(m_gamma * kDegToRad);
    m_metric = LXTypes::CMatrix33(m_a * m_a, m_a * m_b * cg, m_a * m_c * cb, m_a * m_b * cg, m_b * m_b,
                                  m_b * m_c * ca, m_a * m_c * cb, m_b * m_c * ca, m_c * m_c);

    const double cas = std::cos(m_alphaStar * kDegToRad), cbs = std::cos(m_betaStar * kDegToRad),
                 cgs = std::cos(m_gammaStar * kDegToRad);
    m_reciprocalMetric = LXTypes::CMatrix33(
        m_aStar * m_aStar, m_aStar * m_bStar * cgs, m_aStar * m_cStar * cbs, m_aStar * m_bStar * cgs,
        m_bStar * m_bStar, m_bStar * m_cStar * cas, m_aStar * m_cStar * cbs, m_bStar * m_cStar * cas,
        m_cStar * m_cStar);
}

void CQLCrystal::ComputeDensity()
{
    if (m_volume == 0.0)
        return;
    double mass = 0.0;
    for (const auto& site : m_sites)
    {
        double siteMass = 0.0;
        for (const auto& species : site.m_species)
            if (species.m_occupancy > 0.001)
                siteMass += species.m_occupancy * species.m_asf.m_weight;
        mass += static_cast<double>(site.m_positions.size()) * siteMass;
    }
    m_density = kDensityConstant * mass / m_volume;
}

double CQLCrystal::WrapCoordinate(double v)
{
    if (v > 1.0)
        v -= std::trunc(v);
    else if (v < 0.0)
        v = v - std::trunc(v) + 1.0;
    if (!(v >= kEdgeLow && v <= kEdgeHigh))
        v = 0.0;
    return v;
}

std::vector<std::size_t> CQLCrystal::ExpandSitesBySymmetry()
{
    std::vector<CSymmetryOperator> listed;
    GetFullOperatorList(listed);
    // A list that names the centring operators and a centred symbol as well gives every operator
    // again with a whole-cell shift: the same images, so one of each is kept.
    std::vector<CSymmetryOperator> ops;
    std::vector<QLRotation> opRotations;
    ops.reserve(listed.size());
    opRotations.reserve(listed.size());
    for (const auto& op : listed)
    {
        const QLRotation rotation = IntegerRotation(op);
        const QLPosition shift = {op.m_translation[0], op.m_translation[1], op.m_translation[2]};
        bool known = false;
        for (std::size_t k = 0; k < ops.size() && !known; ++k)
            known = opRotations[k] == rotation &&
                    WithinTolerance({ops[k].m_translation[0], ops[k].m_translation[1], ops[k].m_translation[2]}, shift);
        if (known)
            continue;
        ops.push_back(op);
        opRotations.push_back(rotation);
    }
    static constexpr QLRotation kIdentity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const auto& s = m_originShift;
    // The cell's metric from its edges and angles, which the reader has just set.
    const double ca = std::cos(m_alpha * kDegToRad), cb = std::cos(m_beta * kDegToRad),
                 cg = std::cos(m_gamma * kDegToRad);
    const double metric[9] = {m_a * m_a,      m_a * m_b * cg, m_a * m_c * cb, m_a * m_b * cg, m_b * m_b,
                              m_b * m_c * ca, m_a * m_c * cb, m_b * m_c * ca, m_c * m_c};
    // Sites whose images the distance rule joined, by index, each written by its own worker.
    std::vector<char> joined(m_sites.size(), 0);
    // Each site's images are its own: the sites are spread over the worker team.
    const bool parallel = m_sites.size() * ops.size() > kParallelSiteImages;
    qlw::ParallelFor(static_cast<long>(m_sites.size()), 1, parallel, [&](long begin, long end) {
        // Working lists of one site, kept for the next: a large structure has hundreds of thousands.
        std::vector<QLPosition> sums;
        std::vector<int> counts;
        std::vector<QLRotation> stabiliser;
        for (long n = begin; n < end; ++n)
        {
            CQLSite& site = m_sites[static_cast<std::size_t>(n)];
            site.m_x = WrapCoordinate(site.m_x);
            site.m_y = WrapCoordinate(site.m_y);
            site.m_z = WrapCoordinate(site.m_z);
            const double p[3] = {site.m_x + s[0], site.m_y + s[1], site.m_z + s[2]};
            site.m_positions.clear();
            site.m_imageRotations.clear();
            site.m_positionRotations.clear();
            // Images that coincide mark a special position given to a few decimals (x = 0.333 for
            // 1/3); their mean is the position the site symmetry demands, so each kept position
            // becomes the mean of its images, taken on the same side of the cell edge.
            sums.clear();
            counts.clear();
            // Rotations of the operators that leave the site where it is (its site symmetry).
            stabiliser.clear();
            const QLPosition home = {site.m_x, site.m_y, site.m_z};
            std::size_t homeAtom = SIZE_MAX;
            for (std::size_t o = 0; o < ops.size(); ++o)
            {
                const QLRotation& rotation = opRotations[o];
                double image[3];
                ops[o].Apply(p, image);
                QLPosition pos = {WrapCoordinate(image[0] - s[0]), WrapCoordinate(image[1] - s[1]),
                                  WrapCoordinate(image[2] - s[2])};
                const bool atHome =
                    MatchImages(pos, home, rotation, kIdentity, site.m_rounding, metric) != ImageMatch::kApart;
                if (atHome)
                    stabiliser.push_back(rotation);
                std::size_t i = 0;
                ImageMatch match = ImageMatch::kApart;
                for (; i < site.m_positions.size(); ++i)
                {
                    const QLRotation& first = site.m_imageRotations[site.m_positionRotations[i]];
                    match = MatchImages(site.m_positions[i], pos, first, rotation, site.m_rounding, metric);
                    if (match != ImageMatch::kApart)
                        break;
                }
                if (atHome && homeAtom == SIZE_MAX)
                    homeAtom = i;
                if (i == site.m_positions.size())
                {
                    site.m_positions.push_back(pos);
                    sums.push_back(pos);
                    counts.push_back(1);
                    auto seen = std::find(site.m_imageRotations.begin(), site.m_imageRotations.end(), rotation);
                    if (seen == site.m_imageRotations.end())
                        seen = site.m_imageRotations.insert(seen, rotation);
                    site.m_positionRotations.push_back(
                        static_cast<std::uint16_t>(seen - site.m_imageRotations.begin()));
                    continue;
                }
                if (match == ImageMatch::kJoined)
                    joined[static_cast<std::size_t>(n)] = 1;
                const QLPosition& known = site.m_positions[i];
                for (int c = 0; c < 3; ++c)
                {
                    const double diff = pos[c] - known[c];
                    sums[i][c] += known[c] + diff - std::round(diff);
                }
                ++counts[i];
            }
            for (std::size_t i = 0; i < site.m_positions.size(); ++i)
                if (counts[i] > 1)
                    for (int c = 0; c < 3; ++c)
                        site.m_positions[i][c] = WrapCoordinate(sums[i][c] / counts[i]);
            // The site itself moves to the special position, so that a crystal written or edited
            // from here finds its images together without the decimals the file gave.
            if (joined[static_cast<std::size_t>(n)] && homeAtom < site.m_positions.size())
            {
                site.m_x = site.m_positions[homeAtom][0];
                site.m_y = site.m_positions[homeAtom][1];
                site.m_z = site.m_positions[homeAtom][2];
            }

            // Likewise a tensor given to a few decimals need not obey the site symmetry exactly (U22 =
            // 2 U12 on a two-fold axis along a): it becomes its mean over the site symmetry, so that
            // every operator reaching an image gives that image the same tensor.
            auto* aniso = stabiliser.size() > 1 ? dynamic_cast<CQLAnisoThermalEllipsoid*>(site.m_displacement.get())
                                                : nullptr;
            if (aniso)
            {
                double mean[9] = {};
                for (const auto& rotation : stabiliser)
                {
                    CQLAnisoThermalEllipsoid image(*aniso);
                    image.Rotate(rotation);
                    for (int n = 0; n < 9; ++n)
                        mean[n] += image.m_beta[n] / static_cast<double>(stabiliser.size());
                }
                std::copy(std::begin(mean), std::end(mean), std::begin(aniso->m_beta));
            }
        }
    });
    std::vector<std::size_t> joinedSites;
    for (std::size_t n = 0; n < joined.size(); ++n)
        if (joined[n])
            joinedSites.push_back(n);
    return joinedSites;
}

std::size_t CQLCrystal::FindCentringCosets(std::vector<std::vector<std::uint32_t>>& representatives) const
{
    representatives.clear();
    std::vector<CSymmetryOperator> ops;
    GetFullOperatorList(ops);
    static constexpr std::array<int, 9> kIdentity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const QLPosition origin = {0.0, 0.0, 0.0};
    std::vector<QLPosition> translations;
    for (const auto& op : ops)
    {
        const QLPosition t = {op.m_translation[0], op.m_translation[1], op.m_translation[2]};
        if (IntegerRotation(op) != kIdentity || WithinTolerance(t, origin))
            continue;
        if (std::none_of(translations.begin(), translations.end(),
                         [&](const QLPosition& known) { return WithinTolerance(known, t); }))
            translations.push_back(t);
    }
    if (translations.empty())
        return 1;
    // Only where every translation leaves each reflexion's phase whole do the members of a coset
    // add alike.
    for (const auto& r : m_reflexions)
        for (const auto& t : translations)
        {
            const double turns = r->h * t[0] + r->k * t[1] + r->l * t[2];
            if (!(std::fabs(turns - std::round(turns)) < kWholeTurnTolerance))
                return 1;
        }
    const std::size_t cosetSize = translations.size() + 1;
    std::vector<std::vector<std::uint32_t>> found(m_sites.size());
    // Sites are independent: they are looked at on the worker team, and any site that does not fall
    // into whole cosets makes the answer 1.
    std::atomic<bool> whole{true};
    std::size_t numPositions = 0;
    for (const auto& site : m_sites)
        numPositions += site.m_positions.size();
    qlw::ParallelFor(static_cast<long>(m_sites.size()), 1, numPositions * translations.size() > kParallelSiteImages,
                     [&](long begin, long end) {
        for (long n = begin; n < end && whole.load(std::memory_order_relaxed); ++n)
        {
            const std::size_t i = static_cast<std::size_t>(n);
            const CQLSite& site = m_sites[i];
            const auto& positions = site.m_positions;
            if (positions.size() % cosetSize != 0)
            {
                whole = false;
                return;
            }
            // A member of a coset may have been reached by another rotation than its first member
            // when the site is on a special position; the expansion made the tensor obey the site
            // symmetry, so both rotations turn it alike.
            std::vector<char> taken(positions.size(), 0);
            for (std::size_t p = 0; p < positions.size(); ++p)
            {
                if (taken[p])
                    continue;
                taken[p] = 1;
                found[i].push_back(static_cast<std::uint32_t>(p));
                for (std::size_t j = 0; j < translations.size(); ++j)
                {
                    const QLPosition& t = translations[j];
                    const QLPosition moved = {positions[p][0] + t[0], positions[p][1] + t[1],
                                              positions[p][2] + t[2]};
                    auto matches = [&](std::size_t q) { return !taken[q] && WithinTolerance(positions[q], moved); };
                    // The expansion applies the operators translation by translation, so the image
                    // usually stands a whole coset's length further on.
                    std::size_t q = p + (j + 1) * (positions.size() / cosetSize);
                    if (q >= positions.size() || !matches(q))
                        for (q = 0; q < positions.size() && !matches(q); ++q)
                        {
                        }
                    if (q == positions.size())
                    {
                        whole = false;
                        return;
                    }
                    taken[q] = 1;
                }
            }
        }
    });
    if (!whole)
        return 1;
    representatives = std::move(found);
    return cosetSize;
}

namespace
{
// Kept sites by position, in cells of at least the position tolerance, so that a site finds
// every kept site within the tolerance (modulo whole cells) in the 27 cells around its own.
class CSiteGrid
{
public:
    void Add(const QLPosition& p, std::size_t index) { m_cells[Key(Cell(p[0]), Cell(p[1]), Cell(p[2]))].push_back(index); }

    // Calls visit(index) for every kept site near p.
    template <typename Visit>
    void ForEachNear(const QLPosition& p, Visit visit) const
    {
        const long c[3] = {Cell(p[0]), Cell(p[1]), Cell(p[2])};
        for (long dx = -1; dx <= 1; ++dx)
            for (long dy = -1; dy <= 1; ++dy)
                for (long dz = -1; dz <= 1; ++dz)
                {
                    const auto found = m_cells.find(Key(c[0] + dx, c[1] + dy, c[2] + dz));
                    if (found != m_cells.end())
                        for (std::size_t index : found->second)
                            visit(index);
                }
    }

private:
    static constexpr long kCells = static_cast<long>(1.0 / (2.0 * kPositionTolerance));

    static long Cell(double v)
    {
        const double w = v - std::floor(v);
        if (!(w >= 0.0 && w < 1.0))
            return 0;  // not a number: one cell for all, where the exact test refuses it
        return static_cast<long>(w * kCells) % kCells;
    }
    static std::uint64_t Key(long x, long y, long z)
    {
        auto wrap = [](long v) { return static_cast<std::uint64_t>((v % kCells + kCells) % kCells); };
        return (wrap(x) << 40) | (wrap(y) << 20) | wrap(z);
    }

    std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_cells;
};
}

void CQLCrystal::MergeCoincidentSites()
{
    // Sites that stay are moved to the front, in order; a site merging into an earlier one takes
    // the first that fits, found through the grid rather than by comparing all pairs. The grid is
    // made when the first site looks for a partner: full sites never do, and a large file of
    // them needs neither the grid nor a second list of sites.
    std::size_t keptCount = 0;
    CSiteGrid grid;
    std::size_t inGrid = 0;
    for (std::size_t n = 0; n < m_sites.size(); ++n)
    {
        CQLSite& site = m_sites[n];
        const QLPosition position = {site.m_x, site.m_y, site.m_z};
        const double occS = site.TotalOccupancy();
        std::size_t target = keptCount;
        if (site.m_species.empty() || occS < 0.9999)
        {
            for (; inGrid < keptCount; ++inGrid)
                grid.Add({m_sites[inGrid].m_x, m_sites[inGrid].m_y, m_sites[inGrid].m_z}, inGrid);
            grid.ForEachNear(position, [&](std::size_t j) {
                if (j >= target)
                    return;
                const CQLSite& earlier = m_sites[j];
                if (WithinTolerance(position, {earlier.m_x, earlier.m_y, earlier.m_z}) &&
                    occS <= 1.0 - earlier.TotalOccupancy() + kOccupancyTolerance &&
                    SameDisplacement(site.m_displacement.get(), earlier.m_displacement.get()))
                    target = j;
            });
        }
        if (target == keptCount)
        {
            if (n != keptCount)
                m_sites[keptCount] = std::move(site);
            ++keptCount;
            continue;
        }
        CQLSite& earlier = m_sites[target];
        for (const auto& species : site.m_species)
        {
            auto same = std::find_if(earlier.m_species.begin(), earlier.m_species.end(),
                                     [&](const CSiteSpecies& e) { return e.m_name == species.m_name; });
            if (same != earlier.m_species.end())
                same->m_occupancy += species.m_occupancy;
            else
                earlier.m_species.push_back(species);
        }
    }
    m_sites.erase(m_sites.begin() + static_cast<std::ptrdiff_t>(keptCount), m_sites.end());
    // A site of one species has nothing to sort, and stable_sort would still ask for a buffer.
    for (auto& site : m_sites)
        if (site.m_species.size() > 1)
            std::stable_sort(site.m_species.begin(), site.m_species.end(), CompareSpeciesByOccupancyOnly);
}

void CQLCrystal::SplitMultiPositionSites()
{
    std::vector<CQLSite> split;
    long number = 0;
    for (const auto& site : m_sites)
    {
        if (site.m_positions.size() == 1)
        {
            split.push_back(site);
            continue;
        }
        const bool rotations = site.HasImageRotations();
        for (std::size_t i = 0; i < site.m_positions.size(); ++i)
        {
            CQLSite copy(site);
            copy.m_positions.assign(1, site.m_positions[i]);
            // Each copy stands alone from now on: its tensor is turned to its image once.
            copy.m_imageRotations.clear();
            copy.m_positionRotations.clear();
            if (rotations)
                if (auto* aniso = dynamic_cast<CQLAnisoThermalEllipsoid*>(copy.m_displacement.get()))
                    aniso->Rotate(site.m_imageRotations[site.m_positionRotations[i]]);
            ++number;
            if (number > 1)
                copy.m_label.Format(L"%s_%ld", site.m_label.GetString(), number);
            split.push_back(std::move(copy));
        }
    }
    m_sites = std::move(split);
    m_spaceGroupSymbol = L"P 1";
    m_latticeLetter = 'P';
}

void CQLCrystal::AssignSiteGroups()
{
    size_t groupFirst = 0;
    for (size_t i = 0; i < m_sites.size(); ++i)
    {
        if (i == 0 || !m_sites[i].SameSpecies(m_sites[groupFirst]))
            groupFirst = i;
        m_sites[i].m_speciesGroup = static_cast<std::int64_t>(groupFirst);
    }
}

void CQLCrystal::InstallOperatorsFromSymbol()
{
    CInstalledOperators installed =
        ::InstallOperatorsFromSymbol(m_spaceGroupSymbol, m_originChoice, m_alpha, m_beta, m_gamma);
    m_spaceGroupSymbol = installed.symbol;
    m_latticeLetter = static_cast<char>(installed.lattice);
    m_operators.insert(m_operators.end(), installed.operators.begin(), installed.operators.end());
}

void CQLCrystal::GetFullOperatorList(std::vector<CSymmetryOperator>& out) const
{
    out = BuildFullOperatorList(m_operators, m_spaceGroupSymbol, m_originChoice,
                                static_cast<wchar_t>(m_latticeLetter), m_alpha, m_beta, m_gamma);
}

int CQLCrystal::IdentifySpaceGroup()
{
    if (m_operators.empty())
        return 0;
    CSpaceGroupMatch match = IdentifySpaceGroupFromOperators(m_operators, static_cast<wchar_t>(m_latticeLetter));
    if (match.result)
    {
        m_spaceGroupSymbol = match.symbol;
        m_originChoice = match.originChoice;
        m_latticeLetter = static_cast<char>(match.lattice);
    }
    m_operators = std::move(match.operators);
    return match.result;
}

void CQLCrystal::RemoveCentringOperators()
{
    m_operators = ::RemoveCentringOperators(m_operators, static_cast<wchar_t>(m_latticeLetter));
}

void CQLCrystal::AddCentringOperators()
{
    m_operators = ::AddCentringOperators(m_operators, static_cast<wchar_t>(m_latticeLetter));
}

bool CQLCrystal::Recompute(const CDiffractionSettings& settings)
{
    // Form factors and displacement terms call glibc's maths on the calling thread.
    ClearUpperVectorState();
    m_reflexions.clear();
    try
    {
        ComputeMetrics();
        ComputeDensity();
        ComputeReciprocalMetric();
        if (m_operators.empty())
            InstallOperatorsFromSymbol();

        CSymmetryOperator inversion(L"-x,-y,-z");
        m_centrosymmetric = std::any_of(m_operators.begin(), m_operators.end(),
                                        [&](const CSymmetryOperator& op) { return op.HasSameRotation(inversion); });

        CheckScatteringFactors();

        double dMin = 0.1;
        switch (settings.m_axisType)
        {
        case LXTypes::kAxis2Theta:
        case LXTypes::kAxisDSpacing:
        case LXTypes::kAxisInverseD:
        case LXTypes::kAxisTwoPiOverD: dMin = settings.GetWavelength() / 2.0; break;
        default: break;
        }
        if (settings.m_dMin > dMin)
            dMin = settings.m_dMin;

        const std::uint32_t maxCount = settings.m_restrictMaxNumRefs ? settings.m_maxNumRefs : 0;
        // Reflexions without intensity (extinct by special positions) must not use up the limit:
        // the list keeps every reflexion of the raised d limit and is cut once they are gone; when
        // they leave too few, the limit is widened, at most until d is back at its own limit.
        std::uint32_t room = maxCount;
        for (;;)
        {
            bool raised = false;
            if (!GenerateReflexions(dMin, room, false, &raised))
                return false;
            ComputeIntensities(settings);
            const std::size_t generated = m_reflexions.size();
            RemoveZeroIntensityReflexions();
            const bool dropped = m_reflexions.size() < generated;
            if (maxCount == 0 || m_reflexions.size() >= maxCount || !dropped || !raised || room > (1u << 30))
                break;
            room *= 2;
        }
        if (maxCount > 0 && m_reflexions.size() > maxCount)
            m_reflexions.resize(maxCount);
        ComputeRelativeIntensities();
        ComputeReflexionPositions(settings);
        return true;
    }
    catch (CLXException& error)
    {
        // The crystal stays as far as it got; the user learns why there is no list.
        error.Report();
        return false;
    }
    catch (...)
    {
        // Allocation failures and the like: the list was too large to build.
        CLXXDiffractTempReflErr(kLXSeverityMessage, 0, __LINE__).Report();
        return false;
    }
}
