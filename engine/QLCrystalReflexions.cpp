// Reflexion generation: index limits, absences, merging of equivalents, canonical triples,
// positions on the x axis and look-ups.
#include "QLCrystal.h"

#include "EngineConstants.h"
#include "QLCrystalPhaseTable.h"
#include "Status.h"
#include "WorkerTeam.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <atomic>
#include <memory>
#include <omp.h>
#include <unordered_map>

using namespace QLEngineConstants;

namespace
{
constexpr double kImageTolerance = 0.00011000000085914508;
constexpr double kSmallestD = 0.009999999776482582;    // single precision 0.01
constexpr std::size_t kLotsOfReflexions = 100000;
constexpr std::size_t kAbsenceTableBudget = std::size_t(32) << 20;
// Fewer index triples are enumerated on the calling thread.
constexpr long long kParallelTriples = 200000;
// Fewer candidates are merged on the calling thread, in one range.
constexpr std::size_t kParallelMergeCandidates = 20000;
constexpr std::size_t kMergeBins = 4096;
// More index triples than this would take gigabytes of candidates: an error, not an attempt.
constexpr long long kMaxIndexTriples = 1LL << 26;
// An image of a plane beyond this index cannot be a listed reflexion (limits stop at 32767);
// operators that do not fit the cell make such images.
constexpr double kMaxImageIndex = 1e6;
// Relative tolerance of a cell's metric under its own rotations.
constexpr double kMetricTolerance = 1e-3;
// A phase h·t this close to a whole number of turns counts as whole (t: a centring translation).
constexpr double kWholeTurnTolerance = 1e-6;

constexpr UINT kIdsGenerating = 3706;
constexpr UINT kIdsMerging = 3709;
constexpr UINT kIdsOptimising = 3710;
constexpr UINT kIdsSorting = 3727;

int RoundIndex(double v)
{
    return static_cast<int>(v < 0.0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

int NonNegativeCount(int h, int k, int l)
{
    return (h >= 0) + (k >= 0) + (l >= 0);
}

// True when b is the nicer way to write a family than a.
bool PreferTriple(const QLIndexTriple& a, const QLIndexTriple& b)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(b[i]) != std::abs(a[i]))
            return std::abs(b[i]) < std::abs(a[i]);
    int nb = NonNegativeCount(b[0], b[1], b[2]), na = NonNegativeCount(a[0], a[1], a[2]);
    if (nb != na)
        return nb > na;
    for (int i = 0; i < 3; ++i)
        if (b[i] != a[i])
            return b[i] > a[i];
    return false;
}

// d of (h k l) from the reciprocal metric; inline so the enumeration loops need no call. The
// products are taken as doubles, exact for any index, where integers would wrap beyond 46340.
inline double DSpacingIn(const LXTypes::CMatrix33& g, int h, int k, int l)
{
    const double x = h, y = k, z = l;
    const double sum = (x * x) * g[0] + (y * y) * g[4] + (z * z) * g[8] + (2 * x * y) * g[1] + (2 * x * z) * g[2] +
                       (2 * y * z) * g[5];
    return 1.0 / std::sqrt(sum);
}

// The general position of the absence test, mapped by each operator once per list.
std::vector<std::array<double, 3>> AbsenceTestPoints(const std::vector<CSymmetryOperator>& ops,
                                                     const std::array<double, 3>& s)
{
    const double p[3] = {s[0] + 1.0 / 83.0, s[1] + 1.0 / 97.0, s[2] + 1.0 / 127.0};
    std::vector<std::array<double, 3>> points;
    points.reserve(ops.size());
    for (const auto& op : ops)
    {
        double image[3];
        op.Apply(p, image);
        points.push_back({image[0] - s[0], image[1] - s[1], image[2] - s[2]});
    }
    return points;
}

// One image of each coset of the operator list's centring translations (returned), or every image
// when there are none or the images do not fall into whole cosets.
std::vector<std::array<double, 3>> OneImagePerCoset(const std::vector<CSymmetryOperator>& ops,
                                                    const std::vector<std::array<double, 3>>& images,
                                                    std::vector<std::array<double, 3>>& translations)
{
    auto same = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
        for (int i = 0; i < 3; ++i)
        {
            const double diff = a[static_cast<std::size_t>(i)] - b[static_cast<std::size_t>(i)];
            if (!(std::fabs(diff - std::round(diff)) < kImageTolerance))
                return false;
        }
        return true;
    };
    translations.clear();
    const std::array<double, 3> origin = {0.0, 0.0, 0.0};
    for (const auto& op : ops)
    {
        bool pure = true;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                pure = pure && op.m_rotation[i][j] == (i == j ? 1.0 : 0.0);
        const std::array<double, 3> t = {op.m_translation[0], op.m_translation[1], op.m_translation[2]};
        if (pure && !same(t, origin) &&
            std::none_of(translations.begin(), translations.end(), [&](const auto& known) { return same(known, t); }))
            translations.push_back(t);
    }
    if (translations.empty())
        return images;
    std::vector<std::array<double, 3>> kept;
    for (const auto& p : images)
    {
        const bool joined = std::any_of(kept.begin(), kept.end(), [&](const auto& q) {
            return std::any_of(translations.begin(), translations.end(), [&](const auto& t) {
                return same({q[0] + t[0], q[1] + t[1], q[2] + t[2]}, p);
            });
        });
        if (!joined)
            kept.push_back(p);
    }
    if (kept.size() * (translations.size() + 1) != images.size())
    {
        translations.clear();
        return images;
    }
    return kept;
}

// A reflexion is absent when the operator sum of its phases vanishes.
bool NonZeroSum(double sumCos, double sumSin)
{
    return !(std::fabs(sumCos) < kZero && std::fabs(sumSin) < kZero);
}

bool AllowedAt(const std::vector<std::array<double, 3>>& points, int h, int k, int l)
{
    double sumCos = 0.0, sumSin = 0.0;
    for (const auto& p : points)
    {
        double phi = kTwoPi * (h * p[0] + k * p[1] + l * p[2]);
        sumCos += std::cos(phi);
        sumSin += std::sin(phi);
    }
    return NonZeroSum(sumCos, sumSin);
}

// PlaneNormal for many triples of one metric: the three lattice cross products made once.
class CPlaneNormals
{
public:
    explicit CPlaneNormals(const LXTypes::CMatrix33& G)
    {
        static const double a[3] = {1, 0, 0}, b[3] = {0, 1, 0}, c[3] = {0, 0, 1};
        CrossProductLattice(m_r1, b, c, G);
        CrossProductLattice(m_r2, c, a, G);
        CrossProductLattice(m_r3, a, b, G);
    }
    void Apply(const double hkl[3], double out[3]) const
    {
        double n[3];
        for (int i = 0; i < 3; ++i)
            n[i] = hkl[0] * m_r1[i] + hkl[1] * m_r2[i] + hkl[2] * m_r3[i];
        const double dot = n[0] * hkl[0] + n[1] * hkl[1] + n[2] * hkl[2];
        for (int i = 0; i < 3; ++i)
            out[i] = dot < 0.0 ? -n[i] : n[i];
    }

private:
    double m_r1[3], m_r2[3], m_r3[3];
};

// The rotations of a list once each, in order of first appearance. Operators that differ only
// in translation turn a plane normal into the same image, which the image list keeps once anyway.
using Rotation = std::array<double, 9>;
std::vector<Rotation> DistinctRotations(const std::vector<CSymmetryOperator>& ops)
{
    std::vector<Rotation> rotations;
    rotations.reserve(ops.size());
    for (const auto& op : ops)
    {
        Rotation r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r[static_cast<std::size_t>(3 * i + j)] = op.m_rotation[i][j];
        if (std::find(rotations.begin(), rotations.end(), r) == rotations.end())
            rotations.push_back(r);
    }
    return rotations;
}

// The images of a plane under the rotations (and their opposites), within the image tolerance
// kept once in order of appearance, turned back into index triples.
void EquivalentTriples(const QLIndexTriple& hkl, const CPlaneNormals& toNormal, const CPlaneNormals& toIndices,
                       const std::vector<Rotation>& rotations, bool addOpposites,
                       std::vector<std::array<double, 3>>& images, std::vector<QLIndexTriple>& out)
{
    out.clear();
    images.clear();
    const double triple[3] = {double(hkl[0]), double(hkl[1]), double(hkl[2])};
    double w[3];
    toNormal.Apply(triple, w);
    auto addImage = [&](const double v[3]) {
        for (const auto& im : images)
            if (std::fabs(im[0] - v[0]) < kImageTolerance && std::fabs(im[1] - v[1]) < kImageTolerance &&
                std::fabs(im[2] - v[2]) < kImageTolerance)
                return;
        images.push_back({v[0], v[1], v[2]});
    };
    for (const auto& R : rotations)
    {
        double image[3];
        for (int i = 0; i < 3; ++i)
            image[i] = R[static_cast<std::size_t>(3 * i)] * w[0] + R[static_cast<std::size_t>(3 * i + 1)] * w[1] +
                       R[static_cast<std::size_t>(3 * i + 2)] * w[2];
        addImage(image);
        if (addOpposites)
        {
            double opposite[3] = {-image[0], -image[1], -image[2]};
            addImage(opposite);
        }
    }
    for (const auto& im : images)
    {
        double back[3];
        toIndices.Apply(im.data(), back);
        // Checked as doubles: turned into an int, a huge or NaN image is undefined.
        if (!(std::fabs(back[0]) < kMaxImageIndex && std::fabs(back[1]) < kMaxImageIndex &&
              std::fabs(back[2]) < kMaxImageIndex))
            continue;
        out.push_back({RoundIndex(back[0]), RoundIndex(back[1]), RoundIndex(back[2])});
    }
}

// Whether every rotation leaves the cell's metric unchanged (Rᵀ G R = G), as a cell that fits its
// space group does.
bool CellFitsRotations(const std::vector<Rotation>& rotations, const LXTypes::CMatrix33& G)
{
    const double scale = std::max({std::fabs(G[0]), std::fabs(G[4]), std::fabs(G[8])});
    for (const auto& R : rotations)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
            {
                double sum = 0.0;
                for (int a = 0; a < 3; ++a)
                    for (int b = 0; b < 3; ++b)
                        sum += R[static_cast<std::size_t>(3 * a + i)] * G[3 * a + b] *
                               R[static_cast<std::size_t>(3 * b + j)];
                if (!(std::fabs(sum - G[3 * i + j]) <= kMetricTolerance * scale))
                    return false;
            }
    return true;
}

// True for the half of index space that the enumeration lists: l > 0, or l = 0 and k > 0, or
// k = l = 0 and h > 0.
bool InListedHalf(const QLIndexTriple& e)
{
    return e[2] > 0 || (e[2] == 0 && (e[1] > 0 || (e[1] == 0 && e[0] > 0)));
}

// Where each candidate triple (all in the listed half) stands in the list: a dense index box
// over l >= 0 while it stays small, a hash map for larger boxes.
class CTriplePlaces
{
public:
    CTriplePlaces(int hmax, int kmax, int lmax, const std::vector<CQLCrystal::Candidate>& candidates)
        : m_max{hmax, kmax, lmax}
    {
        const std::size_t box = static_cast<std::size_t>(2 * hmax + 1) * static_cast<std::size_t>(2 * kmax + 1) *
                                static_cast<std::size_t>(lmax + 1);
        if (box <= kDenseBox && candidates.size() < std::size_t(0x7FFFFFFF))
        {
            // Megabytes of places, filled by the team: every triple of the list has a cell of its own.
            m_dense = std::make_unique_for_overwrite<std::int32_t[]>(box);
            const bool parallel = box > kParallelPlaces;
            qlw::ParallelFor(static_cast<long>(box), 1 << 16, parallel, [&](long begin, long end) {
                std::fill(m_dense.get() + begin, m_dense.get() + end, -1);
            });
            qlw::ParallelFor(static_cast<long>(candidates.size()), 1 << 14, parallel, [&](long begin, long end) {
                for (long i = begin; i < end; ++i)
                {
                    const CQLCrystal::Candidate& c = candidates[static_cast<std::size_t>(i)];
                    m_dense[Cell(c.h, c.k, c.l)] = static_cast<std::int32_t>(i);
                }
            });
            return;
        }
        m_sparse.reserve(candidates.size());
        for (std::size_t i = 0; i < candidates.size(); ++i)
            m_sparse.emplace(Pack(candidates[i].h, candidates[i].k, candidates[i].l), i);
    }

    // The place of a triple, -1 when it is not in the list.
    long long Find(const QLIndexTriple& e) const
    {
        if (std::abs(e[0]) > m_max[0] || std::abs(e[1]) > m_max[1] || e[2] < 0 || e[2] > m_max[2])
            return -1;
        if (m_dense)
            return m_dense[Cell(e[0], e[1], e[2])];
        auto found = m_sparse.find(Pack(e[0], e[1], e[2]));
        return found != m_sparse.end() ? static_cast<long long>(found->second) : -1;
    }

private:
    static constexpr std::size_t kDenseBox = std::size_t(8) << 20;  // 32 MB of places
    static constexpr std::size_t kParallelPlaces = std::size_t(1) << 18;

    std::size_t Cell(int h, int k, int l) const
    {
        return (static_cast<std::size_t>(h + m_max[0]) * static_cast<std::size_t>(2 * m_max[1] + 1) +
                static_cast<std::size_t>(k + m_max[1])) *
                   static_cast<std::size_t>(m_max[2] + 1) +
               static_cast<std::size_t>(l);
    }
    static std::uint64_t Pack(int h, int k, int l)
    {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(h) & 0xFFFFu) << 32) |
               (static_cast<std::uint64_t>(static_cast<std::uint32_t>(k) & 0xFFFFu) << 16) |
               static_cast<std::uint64_t>(static_cast<std::uint32_t>(l) & 0xFFFFu);
    }

    int m_max[3];
    std::unique_ptr<std::int32_t[]> m_dense;
    std::unordered_map<std::uint64_t, std::size_t> m_sparse;
};

// Splits the candidates into ranges of d that no merge crosses: the candidates of range r are
// members[rangeStarts[r] .. rangeStarts[r + 1]) in list order, rangeOf[i] is candidate i's range.
// Bins of equal width in 1/d² are joined wherever a candidate lies within twice kSameD of their
// border; candidates of two ranges then differ in d by more than kSameD. One range when `split`
// is false.
void SplitIntoMergeRanges(const std::vector<CQLCrystal::Candidate>& candidates, bool split,
                          std::vector<std::uint32_t>& members, std::vector<std::size_t>& rangeStarts,
                          std::vector<std::uint32_t>& rangeOf)
{
    const std::size_t n = candidates.size();
    rangeOf.resize(n);
    members.resize(n);
    if (!split || n == 0)
    {
        std::fill(rangeOf.begin(), rangeOf.end(), 0);
        for (std::size_t i = 0; i < n; ++i)
            members[i] = static_cast<std::uint32_t>(i);
        rangeStarts = {0, n};
        return;
    }
    // The passes over the candidates run on the team; only the joining of bins and the ordering
    // by range go through them one by one.
    const long count = static_cast<long>(n);
    constexpr long kPiece = 8192;
    const auto q = std::make_unique_for_overwrite<double[]>(n);
    qlw::ParallelFor(count, kPiece, true, [&](long begin, long end) {
        for (long i = begin; i < end; ++i)
        {
            const double d = candidates[static_cast<std::size_t>(i)].d;
            q[static_cast<std::size_t>(i)] = 1.0 / (d * d);
        }
    });
    const auto [low, high] = std::minmax_element(q.get(), q.get() + n);
    const double qMin = *low, perBin = static_cast<double>(kMergeBins) / (*high - qMin);
    if (!(perBin > 0.0) || !std::isfinite(perBin))
    {
        std::fill(rangeOf.begin(), rangeOf.end(), 0);
        for (std::size_t i = 0; i < n; ++i)
            members[i] = static_cast<std::uint32_t>(i);
        rangeStarts = {0, n};
        return;
    }
    // Monotonic in q, which is all that the borders need.
    auto binOf = [&](double value) {
        const double b = (value - qMin) * perBin;
        if (!(b > 0.0))
            return std::uint32_t(0);
        return static_cast<std::uint32_t>(std::min(kMergeBins - 1, static_cast<std::size_t>(b)));
    };
    // Each candidate's bin and the bins its d ± 2 kSameD reach.
    const auto bins = std::make_unique_for_overwrite<std::array<std::uint32_t, 3>[]>(n);
    qlw::ParallelFor(count, kPiece, true, [&](long begin, long end) {
        for (long i = begin; i < end; ++i)
        {
            const std::size_t c = static_cast<std::size_t>(i);
            const double d = candidates[c].d;
            const double above = d + 2.0 * kSameD, below = d - 2.0 * kSameD;
            bins[c] = {binOf(q[c]), binOf(1.0 / (above * above)),
                       below > 0.0 ? binOf(1.0 / (below * below)) : std::uint32_t(kMergeBins - 1)};
        }
    });
    // joined[b]: bins b - 1 and b belong to one range.
    std::vector<int> joined(kMergeBins + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (bins[i][2] > bins[i][1])
        {
            ++joined[bins[i][1] + 1];
            --joined[bins[i][2] + 1];
        }
    std::vector<std::uint32_t> rangeOfBin(kMergeBins);
    std::uint32_t range = 0;
    int open = 0;
    for (std::size_t b = 0; b < kMergeBins; ++b)
    {
        open += joined[b];
        if (b > 0 && open == 0)
            ++range;
        rangeOfBin[b] = range;
    }
    qlw::ParallelFor(count, kPiece, true, [&](long begin, long end) {
        for (long i = begin; i < end; ++i)
            rangeOf[static_cast<std::size_t>(i)] = rangeOfBin[bins[static_cast<std::size_t>(i)][0]];
    });
    const std::size_t numRanges = range + 1;
    std::vector<std::size_t> counts(numRanges + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        ++counts[rangeOf[i] + 1];
    for (std::size_t r = 0; r < numRanges; ++r)
        counts[r + 1] += counts[r];
    rangeStarts = counts;
    for (std::size_t i = 0; i < n; ++i)
        members[counts[rangeOf[i]]++] = static_cast<std::uint32_t>(i);
}

bool HasInversionRotation(const CSymmetryOperator& op)
{
    static const CSymmetryOperator inversion(L"-x,-y,-z");
    return op.HasSameRotation(inversion);
}

// A list without operators still stands for the identity.
const std::vector<CSymmetryOperator>& OperatorsOrIdentity(const std::vector<CSymmetryOperator>& ops)
{
    static const std::vector<CSymmetryOperator> identityOnly(1, CSymmetryOperator(L"x,y,z"));
    return ops.empty() ? identityOnly : ops;
}

bool SkipsSymmetryTests(const std::vector<CSymmetryOperator>& ops)
{
    if (ops.size() < 2)
        return true;
    if (ops.size() == 2)
        return HasInversionRotation(ops[0]) || HasInversionRotation(ops[1]);
    return false;
}
}

double CQLCrystal::DSpacing(int h, int k, int l) const
{
    return DSpacingIn(m_reciprocalMetric, h, k, l);
}

void CQLCrystal::ComputeIndexLimits(double q, int& hmax, int& kmax, int& lmax, long long& numTriples) const
{
    // q·|a| bounds h over the whole sphere |h a* + k b* + l c*| ≤ q, also in oblique cells
    // where q / |a*| would cut off part of it.
    auto limit = [q](double length) {
        double v = std::floor(q * length);
        if (!(v >= 1.0))
            return 1;
        return v > 32767.0 ? 32767 : static_cast<int>(v);
    };
    hmax = limit(std::sqrt(m_metric[0]));
    kmax = limit(std::sqrt(m_metric[4]));
    lmax = limit(std::sqrt(m_metric[8]));
    numTriples = (2LL * hmax + 1) * (2LL * kmax + 1) * (2LL * lmax + 1) - 1;
}

bool CQLCrystal::IsLatticeAbsent(int h, int k, int l) const
{
    switch (m_latticeLetter)
    {
    case 'A': return ((k + l) & 1) != 0;
    case 'B': return ((h + l) & 1) != 0;
    case 'C': return ((h + k) & 1) != 0;
    case 'I': return ((h + k + l) & 1) != 0;
    case 'F':
    {
        int odd = (h & 1) + (k & 1) + (l & 1);
        return odd != 0 && odd != 3;
    }
    case 'R':
        if (m_beta == m_gamma)
            return false;
        return (-h + k + l) % 3 != 0;
    default: return false;
    }
}

int CQLCrystal::GetLatticePointCount() const
{
    switch (m_latticeLetter)
    {
    case 'A':
    case 'B':
    case 'C':
    case 'I': return 2;
    case 'F': return 4;
    case 'R': return m_gamma >= 120.0 ? 3 : 1;
    default: return 1;
    }
}

bool CQLCrystal::IsAllowedBySymmetry(int h, int k, int l) const
{
    if (SkipsSymmetryTests(m_operators))
        return true;
    return AllowedAt(AbsenceTestPoints(m_operators, m_originShift), h, k, l);
}

void CQLCrystal::AddReflexionCandidate(int h, int k, int l, double dLimit, std::vector<Candidate>& candidates) const
{
    const double d = DSpacing(h, k, l);
    if (d > dLimit && !IsLatticeAbsent(h, k, l) && IsAllowedBySymmetry(h, k, l))
        candidates.push_back({h, k, l, d, 2, h * h + k * k + l * l});
}

class CQLCrystal::CEquivalentsMaker
{
public:
    CEquivalentsMaker(const CQLCrystal& c, bool withFriedel)
        : toNormal(c.m_metric), toIndices(c.m_reciprocalMetric)
    {
        const auto& ops = OperatorsOrIdentity(c.m_operators);
        addOpposites = withFriedel && std::none_of(ops.begin(), ops.end(), HasInversionRotation);
        rotations = DistinctRotations(ops);
    }

    CPlaneNormals toNormal, toIndices;
    std::vector<Rotation> rotations;
    bool addOpposites = false;
};

std::shared_ptr<const CQLCrystal::CEquivalentsMaker> CQLCrystal::MakeEquivalentsMaker(bool withFriedel) const
{
    return std::make_shared<const CEquivalentsMaker>(*this, withFriedel);
}

void CQLCrystal::GetEquivalentReflexions(const QLIndexTriple& hkl, const CEquivalentsMaker& maker,
                                         std::vector<QLIndexTriple>& out) const
{
    std::vector<std::array<double, 3>> images;
    EquivalentTriples(hkl, maker.toNormal, maker.toIndices, maker.rotations, maker.addOpposites, images, out);
}

void CQLCrystal::GetEquivalentReflexions(const QLIndexTriple& hkl, bool withFriedel, std::vector<QLIndexTriple>& out) const
{
    GetEquivalentReflexions(hkl, CEquivalentsMaker(*this, withFriedel), out);
}

// Every unique reflexion with d above the limit, merged with its equivalents, sorted by
// decreasing d and written with its canonical signs.
void CQLCrystal::EnumerateUniqueCandidates(double d, int hmax, int kmax, int lmax, long long numTriples,
                                           std::vector<Candidate>& candidates)
{
    candidates.clear();
    const bool skipSymmetry = SkipsSymmetryTests(m_operators);
    const auto points = AbsenceTestPoints(m_operators, m_originShift);
    // Where a centring translation leaves a triple's phase whole, the images it joins add alike:
    // the sum runs over one image of each coset, counted for all of them.
    std::vector<std::array<double, 3>> translations;
    const std::vector<std::array<double, 3>> summed = OneImagePerCoset(m_operators, points, translations);
    const double cosetSize = static_cast<double>(translations.size() + 1);
    auto wholeTurns = [&](int h, int k, int l) {
        for (const auto& t : translations)
        {
            const double turns = h * t[0] + k * t[1] + l * t[2];
            if (!(std::fabs(turns - std::round(turns)) < kWholeTurnTolerance))
                return false;
        }
        return true;
    };
    // The operator sum of the absence test from phase factors, when the table stays small.
    const int limits[3] = {hmax, kmax, lmax};
    std::unique_ptr<CQLPhaseTable> phases;
    if (!skipSymmetry && CQLPhaseTable::Footprint(summed.size(), limits) <= kAbsenceTableBudget)
        phases = std::make_unique<CQLPhaseTable>(summed, limits);
    auto allowed = [&](int h, int k, int l) {
        if (skipSymmetry)
            return true;
        if (!phases || !wholeTurns(h, k, l))
            return AllowedAt(points, h, k, l);
        double sumCos, sumSin;
        phases->Sum(h, k, l, 0, summed.size(), sumCos, sumSin);
        return NonZeroSum(cosetSize * sumCos, cosetSize * sumSin);
    };
    // The lattice test first: in centred cells it turns most triples away before any arithmetic.
    auto add = [&](int h, int k, int l, std::vector<Candidate>& to) {
        if (IsLatticeAbsent(h, k, l))
            return;
        const double dd = DSpacingIn(m_reciprocalMetric, h, k, l);
        if (dd > d && allowed(h, k, l))
            to.push_back({h, k, l, dd, 2, h * h + k * k + l * l});
    };
    for (int h = 1; h <= hmax; ++h)
        add(h, 0, 0, candidates);
    for (int h = -hmax; h <= hmax; ++h)
        for (int k = 1; k <= kmax; ++k)
            add(h, k, 0, candidates);
    // The bulk of the enumeration, one slab of h per task, joined in order afterwards.
    std::vector<std::vector<Candidate>> slabs(static_cast<std::size_t>(2 * hmax + 1));
    qlw::ParallelFor(2 * hmax + 1, 1, numTriples > kParallelTriples, [&](long begin, long end) {
        for (long n = begin; n < end; ++n)
        {
            // Gathered in a buffer that each thread keeps, then copied once at their final size:
            // slabs grown one candidate at a time were copied over and over.
            thread_local std::vector<Candidate> gathered;
            gathered.clear();
            const int h = static_cast<int>(n) - hmax;
            for (int k = -kmax; k <= kmax; ++k)
                for (int l = 1; l <= lmax; ++l)
                    add(h, k, l, gathered);
            slabs[static_cast<std::size_t>(n)].assign(gathered.begin(), gathered.end());
        }
    });
    std::vector<std::size_t> slabStarts(slabs.size() + 1, candidates.size());
    for (std::size_t i = 0; i < slabs.size(); ++i)
        slabStarts[i + 1] = slabStarts[i] + slabs[i].size();
    candidates.resize(slabStarts.back());
    qlw::ParallelFor(static_cast<long>(slabs.size()), 4, numTriples > kParallelTriples, [&](long begin, long end) {
        for (long i = begin; i < end; ++i)
        {
            std::vector<Candidate>& slab = slabs[static_cast<std::size_t>(i)];
            std::copy(slab.begin(), slab.end(), candidates.begin() + static_cast<long>(slabStarts[static_cast<std::size_t>(i)]));
            std::vector<Candidate>().swap(slab);
        }
    });

    std::size_t uniqueCount = candidates.size();
    const bool merge = !(m_operators.size() < 2 || (m_operators.size() == 2 && m_centrosymmetric));
    if (merge)
    {
        CStatus::SetText(kIdsMerging);
        const std::vector<Rotation> rotations = DistinctRotations(OperatorsOrIdentity(m_operators));
        if (CellFitsRotations(rotations, m_metric))
            m_reportedCellMisfit.Empty();
        else if (m_reportedCellMisfit != m_spaceGroupSymbol)
        {
            m_reportedCellMisfit = m_spaceGroupSymbol;
            CLXXCellContradictsSymmetry(kLXSeverityMessage, 0, __LINE__, m_spaceGroupSymbol, m_a, m_b, m_c, m_alpha,
                                        m_beta, m_gamma)
                .Report();
        }
        uniqueCount = MergeEquivalentCandidates(candidates, hmax, kmax, lmax, rotations);
    }

    CStatus::SetText(kIdsSorting, static_cast<int>(candidates.size()));
    // Merged-away candidates would sort behind every kept one; dropping them first leaves the
    // kept ones in the same order.
    std::erase_if(candidates, [](const Candidate& c) { return c.count == 0; });
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.d > b.d; });
    candidates.resize(uniqueCount);

    CStatus::SetText(kIdsOptimising, static_cast<int>(uniqueCount));
    for (auto& c : candidates)
    {
        int nonNeg = NonNegativeCount(c.h, c.k, c.l), negNonNeg = NonNegativeCount(-c.h, -c.k, -c.l);
        bool flip = negNonNeg > nonNeg ||
                    (negNonNeg == nonNeg &&
                     (-c.h > c.h || (-c.h == c.h && (-c.k > c.k || (-c.k == c.k && -c.l > c.l)))));
        if (flip)
        {
            c.h = -c.h;
            c.k = -c.k;
            c.l = -c.l;
        }
    }
}

bool CQLCrystal::GenerateReflexions(double dLimit, std::uint32_t maxCount)
{
    return GenerateReflexions(dLimit, maxCount, true, nullptr);
}

bool CQLCrystal::GenerateReflexions(double dLimit, std::uint32_t maxCount, bool cutToCount, bool* raisedLimit)
{
    CStatus status(kIdsGenerating);
    if (raisedLimit)
        *raisedLimit = false;

    double d = dLimit > 0.01 ? dLimit : kSmallestD;
    int hmax, kmax, lmax;
    long long numTriples;
    ComputeIndexLimits(1.0 / d, hmax, kmax, lmax, numTriples);
    if (numTriples < 2)
        throw CLXXDiffractTempReflErr(kLXSeverityMessage, 0, __LINE__);

    const long long latticePoints = GetLatticePointCount();
    long long numOps = static_cast<long long>(m_operators.size());
    if (m_centrosymmetric)
        numOps -= 1;
    // A list without operators still stands for the identity; 0 would never end the loop.
    numOps = std::max(numOps, 1LL);

    // Raises d in 1 % steps until half the index triples fit 2·P·N·count. The index box never
    // shrinks below ±1 on each axis, so a count below what that box holds cannot be met by raising
    // d: it stops there and the cut to the count does the rest.
    auto raiseUntilWithin = [&](long long count) {
        while (numTriples / 2 > 2 * latticePoints * numOps * count && (hmax > 1 || kmax > 1 || lmax > 1))
        {
            d *= 1.01;
            if (raisedLimit)
                *raisedLimit = true;
            ComputeIndexLimits(1.0 / d, hmax, kmax, lmax, numTriples);
            if (numTriples < 2)
                throw CLXXDiffractTempReflErr(kLXSeverityMessage, 0, __LINE__);
        }
    };

    // Without a limit the question about many reflexions comes once the list is known, with its
    // count. Only a list too large to build at all is asked about beforehand, with an estimate:
    // truncating it then builds a list at a raised d that holds at least the reflexions kept.
    bool asked = false, truncateBeforehand = false;
    if (maxCount == 0 && numTriples > kMaxIndexTriples)
    {
        const long long estimate = numTriples / 2 / (2 * latticePoints * numOps);
        asked = true;
        CLXXLotsOfRefs question(kLXSeverityUser, 0, __LINE__, static_cast<double>(estimate) / 1e6,
                                static_cast<double>(kLotsOfReflexions) / 1e6);
        truncateBeforehand = !question.Report();
    }

    if (maxCount > 0)
        raiseUntilWithin(static_cast<long long>(maxCount));
    // Truncating a list too large to build: d raised from where it was asked until the list fits
    // the budget and memory. The estimate falls short in oblique cells, so the budget doubles
    // until the list holds the reflexions kept, as long as a list that large can be built.
    const double dAsked = d;
    long long budget = static_cast<long long>(kLotsOfReflexions);
    auto fitBudget = [&] {
        d = dAsked;
        ComputeIndexLimits(1.0 / d, hmax, kmax, lmax, numTriples);
        raiseUntilWithin(budget);
        while (numTriples > kMaxIndexTriples)
        {
            d *= 1.01;
            ComputeIndexLimits(1.0 / d, hmax, kmax, lmax, numTriples);
        }
    };
    if (truncateBeforehand)
        fitBudget();
    if (numTriples > kMaxIndexTriples)
        throw CLXXDiffractTempReflErr(kLXSeverityMessage, 0, __LINE__);

    std::vector<Candidate> candidates;
    for (;;)
    {
        EnumerateUniqueCandidates(d, hmax, kmax, lmax, numTriples, candidates);
        if (!truncateBeforehand || candidates.size() >= kLotsOfReflexions)
            break;
        const double tried = d;
        budget *= 2;
        fitBudget();
        if (!(d < tried))
            break;
    }

    // Truncating keeps the reflexions of largest d, exactly as many as the question says; on a
    // tie at the last place the list's order (the order of enumeration) decides.
    if (maxCount > 0)
    {
        if (cutToCount && candidates.size() > maxCount)
            candidates.resize(maxCount);
    }
    else if (truncateBeforehand)
    {
        if (candidates.size() > kLotsOfReflexions)
            candidates.resize(kLotsOfReflexions);
    }
    else if (!asked && candidates.size() > kLotsOfReflexions)
    {
        CLXXLotsOfRefs question(kLXSeverityUser, 0, __LINE__, static_cast<double>(candidates.size()) / 1e6,
                                static_cast<double>(kLotsOfReflexions) / 1e6);
        if (!question.Report())
            candidates.resize(kLotsOfReflexions);
    }

    std::vector<std::shared_ptr<CQLReflexion>> list;
    list.reserve(candidates.size());
    for (const auto& c : candidates)
    {
        auto r = std::make_shared<CQLReflexion>();
        r->h = c.h;
        r->k = c.k;
        r->l = c.l;
        r->multiplicity = c.count;
        r->indexNorm = c.indexNorm;
        r->d = c.d;
        list.push_back(std::move(r));
    }
    m_reflexions = std::move(list);
    return !m_reflexions.empty();
}

std::size_t CQLCrystal::MergeEquivalentCandidates(std::vector<Candidate>& candidates, int hmax, int kmax, int lmax,
                                                  const std::vector<std::array<double, 9>>& rotations) const
{
    // Where each original triple stands in the list; behind the current candidate only
    // untouched triples remain, so this answers the search for the first equal triple.
    const CTriplePlaces places(hmax, kmax, lmax, candidates);
    const CPlaneNormals toNormal(m_metric), toIndices(m_reciprocalMetric);

    // A family as the places of its members, each member taken in the listed half: the member
    // count first, then one place per member (-1 when it is not listed).
    const std::size_t stride = rotations.size() + 1;
    auto lookUpFamily = [&](const Candidate& c, std::vector<std::array<double, 3>>& images,
                            std::vector<QLIndexTriple>& equivalents, std::int32_t* record) {
        EquivalentTriples({c.h, c.k, c.l}, toNormal, toIndices, rotations, false, images, equivalents);
        record[0] = static_cast<std::int32_t>(equivalents.size());
        for (std::size_t m = 0; m < equivalents.size(); ++m)
        {
            const QLIndexTriple& e = equivalents[m];
            record[m + 1] = static_cast<std::int32_t>(
                places.Find(InListedHalf(e) ? e : QLIndexTriple{-e[0], -e[1], -e[2]}));
        }
    };

    // A candidate merges only with members within kSameD of its d, so the list falls apart into
    // ranges of d that no merge crosses. Each range is merged in list order on its own, which gives
    // the outcome of one pass over the whole list for any number of threads; a family is looked up
    // only when its candidate is reached unmerged.
    std::vector<std::uint32_t> members, rangeOf;
    std::vector<std::size_t> rangeStarts;
    SplitIntoMergeRanges(candidates, omp_get_max_threads() > 1 && candidates.size() > kParallelMergeCandidates,
                         members, rangeStarts, rangeOf);
    const std::size_t numRanges = rangeStarts.size() - 1;
    // Largest ranges first, so that no thread is left with a large one at the end.
    std::vector<std::uint32_t> rangeOrder(numRanges);
    for (std::size_t r = 0; r < numRanges; ++r)
        rangeOrder[r] = static_cast<std::uint32_t>(r);
    std::stable_sort(rangeOrder.begin(), rangeOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
        return rangeStarts[a + 1] - rangeStarts[a] > rangeStarts[b + 1] - rangeStarts[b];
    });

    std::atomic<std::size_t> uniqueCount{0};
    qlw::ParallelFor(static_cast<long>(numRanges), 1, numRanges > 1, [&](long begin, long end) {
        thread_local std::vector<std::array<double, 3>> images;
        thread_local std::vector<QLIndexTriple> equivalents;
        thread_local std::vector<std::int32_t> record;
        record.resize(stride);
        std::size_t unique = 0;
        for (long n = begin; n < end; ++n)
        {
            const std::uint32_t range = rangeOrder[static_cast<std::size_t>(n)];
            for (std::size_t j = rangeStarts[range]; j < rangeStarts[range + 1]; ++j)
            {
                const std::size_t i = members[j];
                Candidate& c = candidates[i];
                if (c.count == 0)
                    continue;
                ++unique;
                lookUpFamily(c, images, equivalents, record.data());
                // The current triple is always a listed one, so a member equal to it or to its
                // opposite is the one listed at its place.
                long long currentPlace = static_cast<long long>(i);
                for (std::int32_t m = 1; m <= record[0]; ++m)
                {
                    const long long place = record[static_cast<std::size_t>(m)];
                    if (place == currentPlace || place < 0 || static_cast<std::size_t>(place) <= i)
                        continue;
                    // A member of another range is never within kSameD (and another thread's).
                    if (rangeOf[static_cast<std::size_t>(place)] != range)
                        continue;
                    Candidate& other = candidates[static_cast<std::size_t>(place)];
                    if (!(std::fabs(other.d - c.d) < kSameD))
                        continue;
                    const QLIndexTriple current = {c.h, c.k, c.l};
                    const QLIndexTriple found = {other.h, other.k, other.l};
                    if (PreferTriple(current, found))
                    {
                        c.h = found[0];
                        c.k = found[1];
                        c.l = found[2];
                        c.indexNorm = other.indexNorm;
                        currentPlace = place;
                    }
                    c.count += other.count;
                    other.count = 0;
                    other.d = 0.0;
                }
            }
        }
        uniqueCount += unique;
    });
    return uniqueCount.load();
}

void CQLCrystal::ComputeReflexionPositions(const CDiffractionSettings& settings)
{
    const double lambda = settings.GetWavelength();
    const double sinTOF = ZeroIfTiny(std::sin(settings.m_tofTheta));
    for (auto& r : m_reflexions)
    {
        const double d = r->d;
        switch (settings.m_axisType)
        {
        case LXTypes::kAxis2Theta: r->x = 2.0 * std::asin(std::clamp(lambda / (2.0 * d), -1.0, 1.0)) * kRadToDeg; break;
        case LXTypes::kAxisDSpacing: r->x = d; break;
        case LXTypes::kAxisInverseD: r->x = 1.0 / d; break;
        case LXTypes::kAxisTimeOfFlight: r->x = 2.0 * d * settings.m_tofDistance * kTOFConstant * sinTOF; break;
        case LXTypes::kAxisEnergy: r->x = settings.m_edxFactor / d; break;
        case LXTypes::kAxisTwoPiOverD: r->x = kTwoPi / d; break;
        default: break;
        }
    }
}

std::shared_ptr<CQLReflexion> CQLCrystal::FindReflexion(int h, int k, int l) const
{
    std::vector<QLIndexTriple> equivalents;
    GetEquivalentReflexions({h, k, l}, true, equivalents);
    for (const auto& r : m_reflexions)
        for (const auto& e : equivalents)
            if (r->h == e[0] && r->k == e[1] && r->l == e[2])
                return r;
    return nullptr;
}

std::shared_ptr<CQLReflexion> CQLCrystal::FindReflexionsNear(double x, double tolerance) const
{
    std::shared_ptr<CQLReflexion> nearest;
    double best = 0.0;
    for (const auto& r : m_reflexions)
    {
        double distance = std::fabs(r->x - x);
        if (!nearest || distance <= best)
        {
            nearest = r;
            best = distance;
        }
    }
    if (nearest && best > tolerance)
        return nullptr;
    return nearest;
}
