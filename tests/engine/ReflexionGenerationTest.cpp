#include "CrystalFixtures.h"
#include "AlertRecorder.h"
#include "LXAlert.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace crystalfixtures;

namespace
{
// Every triple inside the sphere 1/d ≤ q, by brute force over a generous box.
std::vector<QLIndexTriple> AllTriplesWithin(const CQLCrystal& crystal, double dLimit, int box)
{
    std::vector<QLIndexTriple> out;
    for (int h = -box; h <= box; ++h)
        for (int k = -box; k <= box; ++k)
            for (int l = -box; l <= box; ++l)
                if ((h || k || l) && crystal.DSpacing(h, k, l) > dLimit)
                    out.push_back({h, k, l});
    return out;
}

TEST(Reflexions, TriclinicCellKeepsEveryFriedelPairApart)
{
    CQLCrystal crystal = TriclinicCopper();
    CDiffractionSettings settings(true);
    crystal.Recompute(settings);
    ASSERT_TRUE(crystal.GenerateReflexions(1.2, 0));
    for (const auto& r : crystal.m_reflexions)
        EXPECT_EQ(r->multiplicity, 2);
    // One reflexion per Friedel pair inside the sphere, none missing in the oblique cell.
    EXPECT_EQ(crystal.m_reflexions.size() * 2, AllTriplesWithin(crystal, 1.2, 8).size());
    for (size_t i = 1; i < crystal.m_reflexions.size(); ++i)
        EXPECT_GE(crystal.m_reflexions[i - 1]->d, crystal.m_reflexions[i]->d);
}

TEST(Reflexions, IndexLimitsEncloseTheSphereInObliqueCells)
{
    CQLCrystal mg = Magnesium();
    int hmax, kmax, lmax;
    long long count;
    mg.ComputeIndexLimits(1.0 / 0.77, hmax, kmax, lmax, count);
    EXPECT_EQ(hmax, 4);  // (-4 2 0) lies at d 0.80 Å
    EXPECT_EQ(lmax, 6);
    EXPECT_EQ(count, 9LL * 9 * 13 - 1);

    CDiffractionSettings settings(true);
    ASSERT_TRUE(mg.Recompute(settings));
    auto r220 = mg.FindReflexion(2, 2, 0);
    ASSERT_NE(r220, nullptr);
    EXPECT_EQ(r220->multiplicity, 6);
    EXPECT_NEAR(r220->d, 3.2094 / 4.0, 1e-12);
}

TEST(Reflexions, LatticeCentringAbsences)
{
    struct Case
    {
        char lattice;
        QLIndexTriple hkl;
        bool absent;
    } cases[] = {{'F', {1, 0, 0}, true},  {'F', {1, 1, 1}, false}, {'F', {2, 0, 0}, false}, {'F', {-1, 1, 2}, true},
                 {'I', {1, 1, 0}, false}, {'I', {1, 0, 0}, true},  {'C', {1, 0, 1}, true},  {'C', {1, 1, 1}, false},
                 {'A', {1, 1, 0}, true},  {'B', {0, 1, 1}, true},  {'P', {1, 0, 0}, false}};
    for (const auto& c : cases)
    {
        CQLCrystal crystal;
        crystal.m_latticeLetter = c.lattice;
        EXPECT_EQ(crystal.IsLatticeAbsent(c.hkl[0], c.hkl[1], c.hkl[2]), c.absent) << c.lattice;
    }

    CQLCrystal hexagonal;
    hexagonal.m_gamma = 120.0;
    hexagonal.m_latticeLetter = 'R';
    EXPECT_TRUE(hexagonal.IsLatticeAbsent(1, 0, 0));
    EXPECT_FALSE(hexagonal.IsLatticeAbsent(1, 0, 1));
    EXPECT_FALSE(hexagonal.IsLatticeAbsent(0, 1, 2));
    EXPECT_EQ(hexagonal.GetLatticePointCount(), 3);

    CQLCrystal rhombohedral;
    rhombohedral.m_alpha = rhombohedral.m_beta = rhombohedral.m_gamma = 80.0;
    rhombohedral.m_latticeLetter = 'R';
    EXPECT_FALSE(rhombohedral.IsLatticeAbsent(1, 0, 0));
    EXPECT_EQ(rhombohedral.GetLatticePointCount(), 1);
}

TEST(Reflexions, ScrewAxesAndGlidesExtinguish)
{
    CQLCrystal rutile = Rutile();
    // P 42/m n m: 0 k l with k + l odd and 0 0 l with l odd are absent.
    EXPECT_FALSE(rutile.IsAllowedBySymmetry(0, 1, 0));
    EXPECT_FALSE(rutile.IsAllowedBySymmetry(0, 0, 1));
    EXPECT_FALSE(rutile.IsAllowedBySymmetry(0, 1, 2));
    EXPECT_TRUE(rutile.IsAllowedBySymmetry(0, 1, 1));
    EXPECT_TRUE(rutile.IsAllowedBySymmetry(1, 1, 0));
    EXPECT_FALSE(rutile.IsAllowedBySymmetry(1, 0, 0));
}

TEST(Reflexions, FamiliesWithoutInversionCentreStayWhole)
{
    CQLCrystal zns = ZincBlende();
    CDiffractionSettings settings(true);
    ASSERT_TRUE(zns.Recompute(settings));
    auto r111 = zns.FindReflexion(1, 1, 1);
    ASSERT_NE(r111, nullptr);
    EXPECT_EQ(r111->multiplicity, 8);
    // No second reflexion at the same d.
    int atSameD = 0;
    for (const auto& r : zns.m_reflexions)
        atSameD += std::fabs(r->d - r111->d) < 1e-9;
    EXPECT_EQ(atSameD, 1);

}

TEST(Reflexions, MultiplicitiesCountEveryAllowedTripleOfTheSphere)
{
    CQLCrystal silicon = MakeCrystal(5.431, 5.431, 5.431, 90, 90, 90, L"F d -3 m", {{L"Si1", L"Si", 0, 0, 0}}, 1);
    CQLCrystal crystals[] = {ZincBlende(), Rutile(), Magnesium(), silicon};
    CDiffractionSettings settings(true);
    for (auto& crystal : crystals)
    {
        ASSERT_TRUE(crystal.Recompute(settings));
        const double dLimit = 0.7;
        ASSERT_TRUE(crystal.GenerateReflexions(dLimit, 0));
        long total = 0;
        for (const auto& r : crystal.m_reflexions)
            total += r->multiplicity;
        long expected = 0;
        for (const auto& hkl : AllTriplesWithin(crystal, dLimit, 10))
            expected += !crystal.IsLatticeAbsent(hkl[0], hkl[1], hkl[2]) &&
                        crystal.IsAllowedBySymmetry(hkl[0], hkl[1], hkl[2]);
        EXPECT_EQ(total, expected) << crystal.m_spaceGroupSymbol.GetString();
    }
}

TEST(Reflexions, LargeListsMergeAlikeOnAnyThreadCount)
{
    // Some 40000 candidates each, enumerated in parallel slabs and merged in list order.
    struct Case
    {
        double a, c, gamma;
        const wchar_t* symbol;
        double dLimit;
    };
    const Case cases[] = {{30, 30, 90, L"F m -3 m", 0.7}, {20, 30, 120, L"P 63/m m c", 0.8}};
    const int saved = omp_get_max_threads();
    for (const Case& test : cases)
    {
        auto run = [&](int threads) {
            omp_set_num_threads(threads);
            CQLCrystal crystal = MakeCrystal(test.a, test.a, test.c, 90, 90, test.gamma, test.symbol,
                                             {{L"O1", L"O", 0.1, 0.2, 0.3}});
            CDiffractionSettings settings(true);
            EXPECT_TRUE(crystal.Recompute(settings));
            EXPECT_TRUE(crystal.GenerateReflexions(test.dLimit, 0));
            return crystal;
        };
        const CQLCrystal one = run(1);
        const CQLCrystal eight = run(8);
        ASSERT_EQ(one.m_reflexions.size(), eight.m_reflexions.size()) << test.symbol;
        for (size_t i = 0; i < one.m_reflexions.size(); ++i)
        {
            const CQLReflexion& r = *one.m_reflexions[i];
            const CQLReflexion& s = *eight.m_reflexions[i];
            ASSERT_TRUE(r.h == s.h && r.k == s.k && r.l == s.l && r.multiplicity == s.multiplicity && r.d == s.d)
                << test.symbol << " at " << i;
        }
        // In a centrosymmetric group each family holds all its distinct images.
        std::vector<QLIndexTriple> equivalents;
        for (const auto& r : eight.m_reflexions)
        {
            eight.GetEquivalentReflexions({r->h, r->k, r->l}, true, equivalents);
            ASSERT_EQ(r->multiplicity, static_cast<int>(equivalents.size()))
                << test.symbol << " " << r->h << " " << r->k << " " << r->l;
        }
    }
    omp_set_num_threads(saved);
}

TEST(Reflexions, CanonicalTriplesAndLookUps)
{
    CQLCrystal nacl = NaCl();
    CDiffractionSettings settings(true);
    ASSERT_TRUE(nacl.Recompute(settings));
    auto r = nacl.FindReflexion(-2, 0, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r, nacl.FindReflexion(0, 0, 2));
    for (const auto& refl : nacl.m_reflexions)
    {
        EXPECT_GE(refl->h, 0);
        EXPECT_GE(refl->k, 0);
        EXPECT_GE(refl->l, 0);
        EXPECT_EQ(refl->indexNorm, refl->h * refl->h + refl->k * refl->k + refl->l * refl->l);
    }
    EXPECT_EQ(nacl.FindReflexion(1, 0, 0), nullptr);

    auto near = nacl.FindReflexionsNear(r->x + 0.05, 0.1);
    EXPECT_EQ(near, r);
    EXPECT_EQ(nacl.FindReflexionsNear(r->x + 0.05, 0.01), nullptr);
}

// The equivalents a texture factor weighs may carry indices of up to a million from a crafted cell:
// their squares must not wrap around as integers.
TEST(Reflexions, SpacingsOfIndicesWhoseSquaresExceedAnInteger)
{
    CQLCrystal nacl = NaCl();
    nacl.ComputeMetrics();
    nacl.ComputeReciprocalMetric();
    const int cases[][3] = {{100000, 0, 0}, {0, -174764, 0}, {60000, 60000, 1}, {999999, -999999, 999999}};
    for (const auto& hkl : cases)
    {
        const double h = hkl[0], k = hkl[1], l = hkl[2];
        const double expected = nacl.m_a / std::sqrt(h * h + k * k + l * l);
        EXPECT_NEAR(nacl.DSpacing(hkl[0], hkl[1], hkl[2]), expected, 1e-12 * expected) << h << " " << k << " " << l;
    }
}

TEST(Reflexions, CountLimitRaisesTheSmallestSpacing)
{
    CQLCrystal crystal = TriclinicCopper();
    CDiffractionSettings settings(true);
    crystal.Recompute(settings);
    ASSERT_TRUE(crystal.GenerateReflexions(0.3, 50));
    EXPECT_LE(crystal.m_reflexions.size(), 50u);
    // The cut keeps the largest spacings.
    CQLCrystal all = TriclinicCopper();
    all.Recompute(settings);
    all.GenerateReflexions(0.3, 0);
    ASSERT_GT(all.m_reflexions.size(), 50u);
    for (size_t i = 0; i < crystal.m_reflexions.size(); ++i)
        EXPECT_EQ(crystal.m_reflexions[i]->d, all.m_reflexions[i]->d);
}

TEST(Reflexions, CountLimitBelowTheSmallestIndexBoxStillEnds)
{
    // Even the ±1 index box of a triclinic cell holds more candidates than a limit of a few
    // reflexions allows; raising d cannot shrink it further.
    CDiffractionSettings settings(true);
    CQLCrystal all = MakeCrystal(7.1, 7.8, 5.6, 89.9, 101.2, 106.0, L"P -1", {{L"Al1", L"Al", 0.3, 0.7, 0.46}});
    all.Recompute(settings);
    ASSERT_TRUE(all.GenerateReflexions(0.8, 0));
    for (std::uint32_t limit = 1; limit <= 5; ++limit)
    {
        CQLCrystal crystal = all;
        ASSERT_TRUE(crystal.GenerateReflexions(0.8, limit));
        ASSERT_EQ(crystal.m_reflexions.size(), limit);
        for (size_t i = 0; i < limit; ++i)
            EXPECT_EQ(crystal.m_reflexions[i]->d, all.m_reflexions[i]->d) << limit;
    }
}

TEST(Reflexions, TinySpacingLimitIsRaisedToOneHundredthAngstrom)
{
    CQLCrystal crystal;
    crystal.m_a = crystal.m_b = crystal.m_c = 0.05;
    crystal.ComputeMetrics();
    crystal.ComputeReciprocalMetric();
    ASSERT_TRUE(crystal.GenerateReflexions(0.001, 0));
    for (const auto& r : crystal.m_reflexions)
        EXPECT_GT(r->d, 0.0099);
    EXPECT_NE(crystal.FindReflexion(5, 0, 0), nullptr);
    EXPECT_EQ(crystal.FindReflexion(6, 0, 0), nullptr);
}

TEST(Reflexions, PositionsInEveryUnit)
{
    CQLCrystal nacl = NaCl();
    CDiffractionSettings settings(true);
    ASSERT_TRUE(nacl.Recompute(settings));
    auto r = nacl.FindReflexion(0, 0, 2);
    for (std::uint32_t unit = 1; unit <= 6; ++unit)
    {
        settings.m_axisType = static_cast<LXTypes::QLAxisType>(unit);
        nacl.ComputeReflexionPositions(settings);
        EXPECT_NEAR(settings.ConvertToDSpacing(r->x), r->d, 1e-4 * r->d) << unit;
    }
    // λ/(2d) beyond 1 is clamped to 180°.
    settings.m_axisType = LXTypes::kAxis2Theta;
    settings.m_lambda = 7.0;
    nacl.ComputeReflexionPositions(settings);
    EXPECT_EQ(nacl.FindReflexion(1, 1, 1)->x, 180.0);
}
}

TEST(Reflexions, ACellThatContradictsItsGroupIsWarnedAboutAndStillMerges)
{
    // Cubic operators on a cell a million ångström long in b map index triples far outside the
    // index box; those images must be skipped, not turned into integers.
    CQLCrystal crystal = MakeCrystal(5, 1e6, 5, 90, 90, 90, L"P m -3 m", {{L"O1", L"O", 0, 0, 0}});
    CDiffractionSettings settings(true);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(crystal.Recompute(settings));
    const std::string alert = testing::internal::GetCapturedStderr();
    EXPECT_NE(alert.find("does not fit the space group P m -3 m"), std::string::npos) << alert;
    EXPECT_FALSE(crystal.m_reflexions.empty());
    // A cell that fits says nothing.
    CQLCrystal nacl = NaCl();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(nacl.Recompute(settings));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Reflexions, ACellThatStopsFittingItsGroupIsReportedOnceUntilItFitsOrTheGroupChanges)
{
    // Rutile's cell edited by steps of a, as the unit cell pane's slider does.
    CQLCrystal crystal = Rutile();
    CDiffractionSettings settings(true);
    const auto reports = [&](double a, const wchar_t* group = nullptr) {
        crystal.m_a = a;
        if (group)
        {
            crystal.m_spaceGroupSymbol = group;
            crystal.m_operators.clear();
        }
        testing::internal::CaptureStderr();
        EXPECT_TRUE(crystal.Recompute(settings));
        const std::string text = testing::internal::GetCapturedStderr();
        int count = 0;
        for (size_t at = text.find("does not fit"); at != std::string::npos; at = text.find("does not fit", at + 1))
            ++count;
        return count;
    };
    EXPECT_EQ(reports(4.5937), 0);
    EXPECT_EQ(reports(4.6), 1);
    EXPECT_EQ(reports(4.7), 0);
    EXPECT_EQ(reports(4.8), 0);
    EXPECT_EQ(reports(4.5937), 0) << "fits again";
    EXPECT_EQ(reports(4.9), 1) << "stopped fitting once more";
    EXPECT_EQ(reports(5.0, L"P 4/m m m"), 1) << "another group";
    EXPECT_EQ(reports(5.1), 0);
}

TEST(Reflexions, AListTooLargeToBuildIsAnErrorNotAnEmptySuccess)
{
    // 0.01 Å in a 50 Å cell: 10^11 index triples, terabytes of candidates.
    CQLCrystal crystal = MakeCrystal(50, 50, 50, 90, 90, 90, L"P 1", {{L"O1", L"O", 0, 0, 0}});
    EXPECT_THROW(crystal.GenerateReflexions(0.01, 0), CLXXDiffractTempReflErr);
    CDiffractionSettings settings(true);
    settings.m_restrictMaxNumRefs = 0;
    settings.m_lambda = 0.02;
    settings.m_dMin = 0.0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(crystal.Recompute(settings));
    const std::string alert = testing::internal::GetCapturedStderr();
    // Asked first (the quiet answer continues), then refused.
    EXPECT_NE(alert.find("million reflexions"), std::string::npos) << alert;
    EXPECT_NE(alert.find("Too many reflexions"), std::string::npos) << alert;
}

TEST(Reflexions, CountLimitCountsOnlyReflexionsThatScatter)
{
    // Body-centred iron written in a primitive cell: every reflexion with h + k + l odd is
    // extinct by the sites, not by the operators, and used to take the places of a small limit.
    auto iron = [] {
        return MakeCrystal(2.87, 2.87, 2.87, 90, 90, 90, L"P m -3 m",
                           {{L"Fe1", L"Fe", 0, 0, 0}, {L"Fe2", L"Fe", 0.5, 0.5, 0.5}});
    };
    CDiffractionSettings settings(true);
    settings.m_restrictMaxNumRefs = 0;
    CQLCrystal all = iron();
    ASSERT_TRUE(all.Recompute(settings));
    ASSERT_GT(all.m_reflexions.size(), 5u);
    settings.m_restrictMaxNumRefs = 1;
    for (std::uint32_t limit = 1; limit <= 5; ++limit)
    {
        settings.m_maxNumRefs = limit;
        CQLCrystal crystal = iron();
        ASSERT_TRUE(crystal.Recompute(settings)) << limit;
        ASSERT_EQ(crystal.m_reflexions.size(), limit);
        for (std::size_t i = 0; i < limit; ++i)
        {
            const CQLReflexion& r = *crystal.m_reflexions[i];
            EXPECT_EQ((r.h + r.k + r.l) % 2, 0) << limit;
            EXPECT_EQ(r.d, all.m_reflexions[i]->d) << limit;
        }
    }
}

namespace
{
// Answers the question about many reflexions as a person would (1 Continue, 2 Truncate) and
// keeps what it asked.
UINT g_manyAnswer = 1;
std::vector<CString> g_manyAsked;
UINT AnswerManyReflexions(const CLXAlert& alert)
{
    g_manyAsked.push_back(alert.GetPart(1));
    return g_manyAnswer;
}

class ManyReflexionsQuestion
{
public:
    explicit ManyReflexionsQuestion(UINT answer) : m_presenter(&AnswerManyReflexions)
    {
        g_manyAnswer = answer;
        g_manyAsked.clear();
    }

private:
    qlwtest::ScopedPresenter m_presenter;
};

// The d spacings of a list without its limit and at most so many of its first reflexions.
std::vector<double> Spacings(const CQLCrystal& crystal, std::size_t count)
{
    std::vector<double> d;
    for (std::size_t i = 0; i < std::min(count, crystal.m_reflexions.size()); ++i)
        d.push_back(crystal.m_reflexions[i]->d);
    return d;
}

CString InMillions(std::size_t count)
{
    CString text;
    text.Format(L"%.1f million", static_cast<double>(count) / 1e6);
    return text;
}
}  // namespace

TEST(Reflexions, ManyReflexionsAreAskedAboutWithTheirCountAndTruncatedToExactlyTheLargestD)
{
    // An oblique P 1 cell, where the index box holds far more triples than the sphere: the list
    // has some 140 000 reflexions and an estimate from the box said 0.2 million.
    CQLCrystal all = MakeCrystal(7.1, 8.3, 9.7, 62, 71, 113, L"P 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}});
    const double dLimit = 0.176;
    {
        ManyReflexionsQuestion question(1);
        ASSERT_TRUE(all.GenerateReflexions(dLimit, 0));
        ASSERT_EQ(g_manyAsked.size(), 1u);
    }
    const std::size_t count = all.m_reflexions.size();
    ASSERT_GT(count, 130000u);
    ASSERT_LT(count, 150000u);
    EXPECT_NE(g_manyAsked[0].Find(InMillions(count)), -1) << g_manyAsked[0].ToUtf8();

    CQLCrystal truncated = all;
    {
        ManyReflexionsQuestion question(2);
        ASSERT_TRUE(truncated.GenerateReflexions(dLimit, 0));
        ASSERT_EQ(g_manyAsked.size(), 1u);
        EXPECT_NE(g_manyAsked[0].Find(InMillions(count)), -1) << g_manyAsked[0].ToUtf8();
    }
    ASSERT_EQ(truncated.m_reflexions.size(), 100000u);
    EXPECT_EQ(Spacings(truncated, 100000), Spacings(all, 100000));

    // A list at most 100 000 long is not asked about.
    CQLCrystal few = all;
    ManyReflexionsQuestion question(2);
    ASSERT_TRUE(few.GenerateReflexions(all.m_reflexions[99999]->d, 0));
    EXPECT_TRUE(g_manyAsked.empty());
    EXPECT_EQ(Spacings(few, 100000), Spacings(all, 99999));
}

TEST(Reflexions, AListTooLargeToBuildTruncatesToExactlyTheLargestD)
{
    // 0.01 Å in a large oblique cell: asked beforehand, as no list could be built to count.
    CQLCrystal crystal = MakeCrystal(40, 46, 52, 58, 69, 116, L"P 1", {{L"O1", L"O", 0.1, 0.2, 0.3}});
    {
        ManyReflexionsQuestion question(2);
        ASSERT_TRUE(crystal.GenerateReflexions(0.01, 0));
        EXPECT_EQ(g_manyAsked.size(), 1u);
    }
    ASSERT_EQ(crystal.m_reflexions.size(), 100000u);
    // The same reflexions as a list built down to just below the last one kept.
    CQLCrystal wider = crystal;
    {
        ManyReflexionsQuestion question(1);
        ASSERT_TRUE(wider.GenerateReflexions(crystal.m_reflexions.back()->d * 0.999, 0));
    }
    ASSERT_GT(wider.m_reflexions.size(), 100000u);
    EXPECT_EQ(Spacings(crystal, 100000), Spacings(wider, 100000));
}
