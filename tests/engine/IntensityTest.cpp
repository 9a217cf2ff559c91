#include "CrystalFixtures.h"
#include "AlertRecorder.h"
#include "LXAlert.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>

using namespace crystalfixtures;

namespace
{
double F2(const CQLReflexion& r)
{
    return r.A * r.A + r.B * r.B;
}

using qlwtest::ScopedPresenter;

UINT g_answer = 1;
UINT g_lastKind = 99;
CString g_lastMessage, g_lastExplanation;
UINT AnsweringPresenter(const CLXAlert& alert)
{
    g_lastKind = alert.GetKind();
    g_lastMessage = alert.GetPart(1);
    g_lastExplanation = alert.GetPart(2);
    return g_answer;
}

TEST(Intensity, RocksaltMatchesIndependentValues)
{
    CQLCrystal nacl = NaCl();
    CDiffractionSettings settings(true);
    ASSERT_TRUE(nacl.Recompute(settings));

    struct Case
    {
        int h, k, l;
        double d;
        int m;
        double f2;
        double relative;
    } cases[] = {
        {0, 0, 2, 2.82000, 6, 7290.81, 1.0},
        {1, 1, 1, 3.25626, 8, 324.933, 0.08140},
        {0, 2, 2, 1.99404, 12, -1, 0.65843},
    };
    for (const auto& c : cases)
    {
        auto r = nacl.FindReflexion(c.h, c.k, c.l);
        ASSERT_NE(r, nullptr) << c.h << c.k << c.l;
        EXPECT_EQ(r->h, c.h);
        EXPECT_EQ(r->k, c.k);
        EXPECT_EQ(r->l, c.l);
        EXPECT_NEAR(r->d, c.d, 5e-6);
        EXPECT_EQ(r->multiplicity, c.m);
        if (c.f2 > 0)
        {
            EXPECT_NEAR(F2(*r), c.f2, 1e-5 * c.f2);
        }
        EXPECT_NEAR(r->relativeIntensity, c.relative, 6e-6);
    }
    EXPECT_EQ(nacl.m_maxIntensity, nacl.FindReflexion(0, 0, 2)->intensity);
}

TEST(Intensity, RutileMatchesIndependentValues)
{
    CQLCrystal rutile = Rutile();
    CDiffractionSettings settings(true);
    ASSERT_TRUE(rutile.Recompute(settings));
    auto r110 = rutile.FindReflexion(1, 1, 0);
    ASSERT_NE(r110, nullptr);
    EXPECT_EQ(r110->relativeIntensity, 1.0);
    EXPECT_NEAR(rutile.FindReflexion(0, 1, 1)->relativeIntensity, 0.46098, 6e-6);
    EXPECT_NEAR(rutile.FindReflexion(1, 2, 1)->relativeIntensity, 0.58657, 6e-6);
}

TEST(Intensity, ExtinctReflexionsLeaveTheList)
{
    // Two equal atoms at 0 and ½ in P 1: every odd h cancels exactly.
    CQLCrystal crystal = MakeCrystal(4, 5, 6, 90, 90, 90, L"P 1",
                                     {{L"Cu1", L"Cu", 0, 0, 0}, {L"Cu2", L"Cu", 0.5, 0, 0}});
    CDiffractionSettings settings(true);
    ASSERT_TRUE(crystal.Recompute(settings));
    ASSERT_FALSE(crystal.m_reflexions.empty());
    for (const auto& r : crystal.m_reflexions)
        EXPECT_EQ(r->h % 2, 0) << r->h << " " << r->k << " " << r->l;
}

TEST(Intensity, ResultsDoNotDependOnTheThreadCount)
{
    CDiffractionSettings settings(true);
    settings.m_maxNumRefs = 0;
    settings.m_restrictMaxNumRefs = 0;
    // Large enough that every loop runs on the team: some 80000 reflexions.
    auto run = [&](int threads) {
        omp_set_num_threads(threads);
        CQLCrystal crystal = MakeCrystal(25, 26, 27, 88, 91, 93, L"P 1",
                                         {{L"O1", L"O", 0.1, 0.2, 0.3}, {L"Ti1", L"Ti", 0.7, 0.1, 0.55},
                                          {L"O2", L"O", 0.45, 0.8, 0.05}});
        crystal.m_usePreferredOrientation = 1;
        crystal.m_poVector = {1, 1, 0};
        EXPECT_TRUE(crystal.Recompute(settings));
        return crystal;
    };
    const int saved = omp_get_max_threads();
    CQLCrystal one = run(1);
    CQLCrystal eight = run(8);
    omp_set_num_threads(saved);
    ASSERT_EQ(one.m_reflexions.size(), eight.m_reflexions.size());
    ASSERT_GT(one.m_reflexions.size(), 50000u);
    for (size_t i = 0; i < one.m_reflexions.size(); ++i)
    {
        EXPECT_EQ(one.m_reflexions[i]->intensity, eight.m_reflexions[i]->intensity);
        EXPECT_EQ(one.m_reflexions[i]->relativeIntensity, eight.m_reflexions[i]->relativeIntensity);
        EXPECT_EQ(one.m_reflexions[i]->phase, eight.m_reflexions[i]->phase);
    }
}

TEST(Intensity, ParallelLoopAgreesWithSingleReflexionSums)
{
    // The loop over all reflexions takes its phases from a table; one reflexion on its own
    // sums every position directly. Both must give the same structure factors.
    CQLCrystal rutile = Rutile();
    const double u[9] = {0.006, 0.001, 0, 0.001, 0.006, 0, 0, 0, 0.004};
    rutile.m_sites[1].m_displacement =
        std::make_unique<CQLAnisoThermalEllipsoid>(u, rutile.m_aStar, rutile.m_bStar, rutile.m_cStar);
    CQLCrystal crystals[] = {rutile, Magnesium(), ZincBlende(), TriclinicCopper()};
    CDiffractionSettings settings(true);
    for (auto& crystal : crystals)
    {
        ASSERT_TRUE(crystal.Recompute(settings));
        for (const auto& r : crystal.m_reflexions)
        {
            CQLReflexion single = *r;
            crystal.ComputeReflexionIntensity(single, settings);
            const double scale = std::sqrt(F2(*r)) + 1.0;
            EXPECT_NEAR(single.A, r->A, 1e-12 * scale);
            EXPECT_NEAR(single.B, r->B, 1e-12 * scale);
            EXPECT_NEAR(single.intensity, r->intensity, 1e-12 * r->intensity);
        }
    }
}

TEST(Intensity, CentredCellsSumOneMemberOfEachCosetLikeAllPositions)
{
    // The loop over all reflexions sums one position of each coset of the centring translations
    // and counts it for all; one reflexion on its own sums every position. Tensors on general and
    // special positions, for two, three and four translations in a coset.
    const double u[9] = {0.012, 0.003, -0.002, 0.003, 0.020, 0.004, -0.002, 0.004, 0.015};
    struct Case
    {
        CQLCrystal crystal;
        std::size_t cosetSize;
    } cases[] = {
        {MakeCrystal(4.1, 4.1, 9.3, 90, 90, 90, L"I 4/m m m",
                     {{L"Ti1", L"Ti", 0.1, 0.23, 0.31}, {L"O1", L"O", 0, 0, 0.35}, {L"Cu1", L"Cu", 0, 0, 0}}),
         2},
        {MakeCrystal(4.76, 4.76, 12.99, 90, 90, 120, L"R -3 c",
                     {{L"Al1", L"Al", 0, 0, 0.352}, {L"O1", L"O", 0.306, 0, 0.25}, {L"Cu1", L"Cu", 0.1, 0.2, 0.05}}),
         3},
        {MakeCrystal(8.08, 8.08, 8.08, 90, 90, 90, L"F d -3 m",
                     {{L"Mg1", L"Mg", 0.125, 0.125, 0.125}, {L"O1", L"O", 0.26, 0.26, 0.26},
                      {L"Al1", L"Al", 0.5, 0.5, 0.5}, {L"Cu1", L"Cu", 0.03, 0.07, 0.2}}),
         4},
    };
    CDiffractionSettings settings(true);
    for (auto& [crystal, cosetSize] : cases)
    {
        // Tensors set before the expansion, which makes each obey its site's symmetry.
        for (auto& site : crystal.m_sites)
            site.m_displacement =
                std::make_unique<CQLAnisoThermalEllipsoid>(u, crystal.m_aStar, crystal.m_bStar, crystal.m_cStar);
        crystal.ExpandSitesBySymmetry();
        ASSERT_TRUE(crystal.Recompute(settings));
        std::vector<std::vector<std::uint32_t>> firsts;
        EXPECT_EQ(crystal.FindCentringCosets(firsts), cosetSize) << crystal.m_spaceGroupSymbol.ToUtf8();
        for (const auto& r : crystal.m_reflexions)
        {
            CQLReflexion single = *r;
            crystal.ComputeReflexionIntensity(single, settings);
            const double scale = std::sqrt(F2(*r)) + 1.0;
            EXPECT_NEAR(single.A, r->A, 1e-12 * scale) << r->h << " " << r->k << " " << r->l;
            EXPECT_NEAR(single.B, r->B, 1e-12 * scale) << r->h << " " << r->k << " " << r->l;
        }
    }
}

TEST(Intensity, CosetsNeedEverySiteWhole)
{
    // A site that lost one of its images no longer falls into whole cosets: every position is summed.
    CQLCrystal crystal = MakeCrystal(4.1, 4.1, 9.3, 90, 90, 90, L"I 4/m m m", {{L"Ti1", L"Ti", 0.1, 0.23, 0.31}});
    std::vector<std::vector<std::uint32_t>> firsts;
    CDiffractionSettings settings(true);
    ASSERT_TRUE(crystal.Recompute(settings));
    EXPECT_EQ(crystal.FindCentringCosets(firsts), 2u);
    crystal.m_sites[0].m_positions.pop_back();
    crystal.m_sites[0].m_positions.pop_back();
    EXPECT_EQ(crystal.FindCentringCosets(firsts), 1u);
    EXPECT_TRUE(firsts.empty());
    ASSERT_TRUE(crystal.Recompute(settings));
    for (const auto& r : crystal.m_reflexions)
    {
        CQLReflexion single = *r;
        crystal.ComputeReflexionIntensity(single, settings);
        EXPECT_NEAR(single.A, r->A, 1e-12 * (std::fabs(r->A) + 1.0));
        EXPECT_NEAR(single.B, r->B, 1e-12 * (std::fabs(r->B) + 1.0));
    }
}

TEST(Intensity, ManyAlikeSitesSummedInBlocksAgreeWithDirectSums)
{
    // Thousands of atoms of one element with one displacement in P 1: they share one factor and
    // their positions are summed in several blocks, each with its own phase table, the blocks'
    // shares added afterwards. One reflexion on its own sums every position directly.
    CQLCrystal crystal = MakeCrystal(30, 31, 32, 89, 91, 92, L"P 1", {{L"O1", L"O", 0.1, 0.2, 0.3}});
    crystal.m_sites.clear();
    unsigned state = 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return double((state >> 8) & 0xFFFF) / 65536.0;
    };
    for (int i = 0; i < 3000; ++i)
    {
        CQLSite site = MakeSite({L"O", L"O", next(), next(), next()});
        site.m_displacement = std::make_unique<CQLThermalEllipsoid>(0.012);
        crystal.m_sites.push_back(std::move(site));
    }
    crystal.ExpandSitesBySymmetry();
    CDiffractionSettings settings(true);
    settings.m_dMin = 3.0;
    ASSERT_TRUE(crystal.Recompute(settings));
    ASSERT_GT(crystal.m_reflexions.size(), 500u);
    const double bound = 1e-13 * 8.0 * 3000;  // |f| of oxygen at most 8, per position
    for (const auto& r : crystal.m_reflexions)
    {
        CQLReflexion single = *r;
        crystal.ComputeReflexionIntensity(single, settings);
        EXPECT_NEAR(single.A, r->A, bound) << r->h << " " << r->k << " " << r->l;
        EXPECT_NEAR(single.B, r->B, bound) << r->h << " " << r->k << " " << r->l;
    }
}

TEST(Intensity, LargeParallelTableAgreesWithDirectSums)
{
    // Enough positions and rows that the table is built on the team; the images of each site
    // share coordinate values, which the table computes once for all of them. Rounding grows with
    // the number of terms, hence a bound from the largest possible |F|.
    CQLCrystal crystal = MakeCrystal(40, 40, 40, 90, 90, 90, L"F m -3 m",
                                     {{L"O1", L"O", 0.02, 0.09, 0.17}, {L"Si1", L"Si", 0.05, 0.11, 0.2},
                                      {L"Al1", L"Al", 0.03, 0.13, 0.22}, {L"O2", L"O", 0.04, 0.1, 0.19},
                                      {L"C1", L"C", 0.01, 0.14, 0.21}, {L"Na1", L"Na", 0.25, 0.25, 0.1},
                                      {L"Fe1", L"Fe", 0, 0, 0}});
    CDiffractionSettings settings(true);
    settings.m_dMin = 0.8;
    ASSERT_TRUE(crystal.Recompute(settings));
    std::size_t positions = 0;
    for (const auto& site : crystal.m_sites)
        positions += site.m_positions.size();
    int maxIndex = 0;
    for (const auto& r : crystal.m_reflexions)
        maxIndex = std::max({maxIndex, std::abs(r->h), std::abs(r->k), std::abs(r->l)});
    // Table entries: well above the size from which it is built in parallel.
    ASSERT_GT(3 * (maxIndex + 1) * static_cast<long>(positions), 120000L);
    const double bound = 1e-13 * 26.0 * static_cast<double>(positions);
    for (const auto& r : crystal.m_reflexions)
    {
        CQLReflexion single = *r;
        crystal.ComputeReflexionIntensity(single, settings);
        EXPECT_NEAR(single.A, r->A, bound) << r->h << " " << r->k << " " << r->l;
        EXPECT_NEAR(single.B, r->B, bound) << r->h << " " << r->k << " " << r->l;
    }
}

TEST(Intensity, SpeciesWithoutScatteringDataAreNamedOnceAndTheComputationGoesOn)
{
    CQLCrystal crystal = MakeCrystal(5, 5, 5, 90, 90, 90, L"P 1",
                                     {{L"Fe1", L"Fe3+", 0, 0, 0}, {L"Na1", L"Na", 0.5, 0, 0},
                                      {L"X1", L"Qq", 0, 0.5, 0}, {L"Fe2", L"Fe3+", 0, 0, 0.5}});
    CDiffractionSettings settings(true);
    testing::internal::CaptureStderr();
    const bool computed = crystal.Recompute(settings);
    const std::string alert = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(computed);
    EXPECT_FALSE(crystal.m_reflexions.empty());
    EXPECT_NE(alert.find("Fe3+, Qq"), std::string::npos) << alert;
    EXPECT_EQ(alert.find("Fe3+"), alert.rfind("Fe3+")) << alert;
}

TEST(Intensity, LorentzPolarisationAndWavelengthTermOfEveryInstrument)
{
    // Each instrument's factors written out from the geometry: angle-dispersive X-rays are
    // polarised, neutrons are not, the electron beam scatters at θ ≈ 0, energy-dispersive and
    // time-of-flight detectors sit at a fixed angle.
    CDiffractionSettings settings(true);
    const double lambda = settings.m_lambda, lambdaE = settings.m_lambdaTEM;
    const double edx = settings.m_edxTheta, tof = settings.m_tofTheta;
    auto polarised = [](double theta) { return (1.0 + std::pow(std::cos(2.0 * theta), 2)) / 2.0; };
    struct Case
    {
        LXTypes::QLSimulationType type;
        LXTypes::QLAxisType unit;
        std::function<double(double)> lp, w;  // of d
    } cases[] = {
        {LXTypes::kSimXRays, LXTypes::kAxis2Theta,
         [&](double d) {
             const double t = std::asin(lambda / (2.0 * d));
             return polarised(t) / (std::sin(2.0 * t) * std::sin(t));
         },
         [&](double) { return std::pow(lambda, 3); }},
        {LXTypes::kSimNeutrons, LXTypes::kAxis2Theta,
         [&](double d) {
             const double t = std::asin(lambda / (2.0 * d));
             return 1.0 / (std::sin(2.0 * t) * std::sin(t));
         },
         [&](double) { return std::pow(lambda, 3); }},
        {LXTypes::kSimEnergyDispersive, LXTypes::kAxisEnergy,
         [&](double) { return polarised(edx) / (std::sin(2.0 * edx) * std::sin(edx)); },
         [&](double d) { return 16.0 * std::pow(d * std::sin(edx), 3); }},
        {LXTypes::kSimTimeOfFlight, LXTypes::kAxisTimeOfFlight, [&](double d) { return std::pow(d, 4) * std::sin(tof); },
         [&](double) { return 1.0; }},
        {LXTypes::kSimElectrons, LXTypes::kAxis2Theta, [&](double d) { return 2.0 * d / lambdaE; },
         [&](double) { return std::pow(lambdaE, 3); }},
    };
    for (const auto& c : cases)
    {
        CQLCrystal nacl = NaCl();
        settings.m_simulationType = c.type;
        settings.m_axisType = c.unit;
        ASSERT_TRUE(nacl.Recompute(settings));
        for (auto hkl : {QLIndexTriple{1, 1, 1}, QLIndexTriple{0, 2, 4}})
        {
            const CQLReflexion& r = *nacl.FindReflexion(hkl[0], hkl[1], hkl[2]);
            const double lp = c.lp(r.d);
            EXPECT_NEAR(r.lorentzPolarisation, lp, 1e-12 * lp) << c.type;
            const double intensity = F2(r) * c.w(r.d) * lp * r.multiplicity / std::pow(nacl.m_volume, 2);
            EXPECT_NEAR(r.intensity, intensity, 1e-12 * intensity) << c.type;
        }
        if (c.unit != LXTypes::kAxis2Theta)
            continue;
        // Beyond the Bragg limit (λ/2d ≥ 1) the angle is 90°: L = 1 and the polarisation is 1.
        CQLReflexion beyond = *nacl.FindReflexion(0, 0, 2);
        beyond.d = settings.GetWavelength() / 2.5;
        nacl.ComputeReflexionIntensity(beyond, settings);
        EXPECT_DOUBLE_EQ(beyond.lorentzPolarisation, 1.0) << c.type;
    }
}

TEST(Reflexions, ManyReflexionsWithoutLimitAskWhetherToKeepThemAll)
{
    // Answer 1 "Continue" keeps every reflexion, answer 2 "Truncate" the 100000 of largest d.
    CQLCrystal all = MakeCrystal(30, 31, 32, 90, 90, 90, L"P 1", {{L"C1", L"C", 0, 0, 0}});
    ASSERT_TRUE(all.GenerateReflexions(0.8, 0));
    ASSERT_GT(all.m_reflexions.size(), 100000u);

    CQLCrystal truncated = all;
    g_answer = 2;
    {
        ScopedPresenter presenter(AnsweringPresenter);
        ASSERT_TRUE(truncated.GenerateReflexions(0.8, 0));
    }
    EXPECT_EQ(g_lastKind, static_cast<UINT>(CLXAlert::kQuestion));
    EXPECT_NE(g_lastExplanation.Find(L"0.1 million"), -1) << g_lastExplanation.ToUtf8();
    // Between 0.1 and 0.5 million the count is shown with its tenths, never as 0.
    std::smatch count;
    const std::string message = g_lastMessage.ToUtf8();
    ASSERT_TRUE(std::regex_search(message, count, std::regex("calculate (\\d+\\.\\d) million reflexions\\?")))
        << message;
    EXPECT_GE(std::stod(count[1].str()), 0.1) << message;
    ASSERT_EQ(truncated.m_reflexions.size(), 100000u);
    for (size_t i = 0; i < truncated.m_reflexions.size(); i += 997)
        EXPECT_EQ(truncated.m_reflexions[i]->d, all.m_reflexions[i]->d);
    // The recompute truncates alike.
    CDiffractionSettings settings(true);
    settings.m_restrictMaxNumRefs = 0;
    settings.m_dMin = 0.8;
    CQLCrystal recomputed = all;
    {
        ScopedPresenter presenter(AnsweringPresenter);
        ASSERT_TRUE(recomputed.Recompute(settings));
    }
    EXPECT_EQ(recomputed.m_reflexions.size(), 100000u);

    CQLCrystal kept = all;
    g_answer = 1;
    {
        ScopedPresenter presenter(AnsweringPresenter);
        ASSERT_TRUE(kept.GenerateReflexions(0.8, 0));
    }
    EXPECT_EQ(kept.m_reflexions.size(), all.m_reflexions.size());
}

TEST(Intensity, NeutronStructureFactorUsesScatteringLengths)
{
    CQLCrystal nacl = NaCl();
    CDiffractionSettings settings(true);
    settings.m_simulationType = LXTypes::kSimNeutrons;
    ASSERT_TRUE(nacl.Recompute(settings));
    const double bNa = nacl.m_sites[0].m_species[0].m_asf.m_neutronLength;
    const double bCl = nacl.m_sites[1].m_species[0].m_asf.m_neutronLength;
    EXPECT_NEAR(nacl.FindReflexion(0, 0, 2)->A, 4.0 * (bNa + bCl), 1e-9);
    EXPECT_NEAR(nacl.FindReflexion(1, 1, 1)->A, 4.0 * (bNa - bCl), 1e-9);
    EXPECT_NEAR(nacl.FindReflexion(1, 1, 1)->phase, std::acos(-1.0), 1e-15);
}

TEST(Intensity, DisplacementDampsHighAngles)
{
    CQLCrystal still = NaCl();
    CQLCrystal moving = NaCl();
    for (auto& site : moving.m_sites)
        site.m_displacement = std::make_unique<CQLThermalEllipsoid>(0.02);
    CDiffractionSettings settings(true);
    ASSERT_TRUE(still.Recompute(settings));
    ASSERT_TRUE(moving.Recompute(settings));
    for (auto hkl : {QLIndexTriple{0, 0, 2}, QLIndexTriple{2, 2, 4}})
    {
        const auto& a = *still.FindReflexion(hkl[0], hkl[1], hkl[2]);
        const auto& b = *moving.FindReflexion(hkl[0], hkl[1], hkl[2]);
        const double dw = std::exp(-2.0 * std::pow(std::acos(-1.0), 2) * 0.02 / (a.d * a.d));
        EXPECT_NEAR(b.intensity, a.intensity * dw * dw, 1e-9 * a.intensity);
    }
    moving.m_useThermalEllipsoids = false;
    ASSERT_TRUE(moving.Recompute(settings));
    EXPECT_EQ(moving.FindReflexion(2, 2, 4)->intensity, still.FindReflexion(2, 2, 4)->intensity);
}

TEST(Intensity, AnisotropicTensorTurnsWithEachImage)
{
    // One atom in P 2 against the same two atoms listed in P 1, the second with its tensor turned
    // by the two-fold axis along b by hand (U12 and U23 change sign).
    const double u[9] = {0.010, 0.004, 0.002, 0.004, 0.030, 0.005, 0.002, 0.005, 0.015};
    const double turned[9] = {0.010, -0.004, 0.002, -0.004, 0.030, -0.005, 0.002, -0.005, 0.015};
    CQLCrystal p2 = MakeCrystal(5, 6, 7, 90, 100, 90, L"P 1 2 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}});
    p2.m_sites[0].m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(u, p2.m_aStar, p2.m_bStar, p2.m_cStar);
    p2.ExpandSitesBySymmetry();
    CQLCrystal p1 = MakeCrystal(5, 6, 7, 90, 100, 90, L"P 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}, {L"Cu2", L"Cu", 0.9, 0.2, 0.7}});
    p1.m_sites[0].m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(u, p1.m_aStar, p1.m_bStar, p1.m_cStar);
    p1.m_sites[1].m_displacement =
        std::make_unique<CQLAnisoThermalEllipsoid>(turned, p1.m_aStar, p1.m_bStar, p1.m_cStar);
    // Split into single positions, each copy carries its own turned tensor.
    CQLCrystal split = p2;
    split.SplitMultiPositionSites();
    split.m_operators.clear();

    CDiffractionSettings settings(true);
    ASSERT_TRUE(p2.Recompute(settings));
    ASSERT_TRUE(p1.Recompute(settings));
    ASSERT_TRUE(split.Recompute(settings));
    for (auto hkl : {QLIndexTriple{1, 1, 1}, QLIndexTriple{-1, 1, 1}, QLIndexTriple{2, 3, -1}, QLIndexTriple{-2, 3, 1},
                     QLIndexTriple{3, 4, 5}})
    {
        auto expected = p1.FindReflexion(hkl[0], hkl[1], hkl[2]);
        ASSERT_NE(expected, nullptr);
        for (const CQLCrystal* crystal : {&p2, &split})
        {
            auto actual = crystal->FindReflexion(hkl[0], hkl[1], hkl[2]);
            ASSERT_NE(actual, nullptr);
            EXPECT_NEAR(F2(*actual), F2(*expected), 1e-9 * F2(*expected)) << hkl[0] << hkl[1] << hkl[2];
        }
    }

    // With a centre of symmetry a rotation's negative damps alike; the site split into single
    // positions, each with its own turned tensor, is the reference.
    CQLCrystal p2m = MakeCrystal(5, 6, 7, 90, 100, 90, L"P 1 2/m 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}});
    p2m.m_sites[0].m_displacement =
        std::make_unique<CQLAnisoThermalEllipsoid>(u, p2m.m_aStar, p2m.m_bStar, p2m.m_cStar);
    p2m.ExpandSitesBySymmetry();
    ASSERT_EQ(p2m.m_sites[0].m_positions.size(), 4u);
    CQLCrystal p2mSplit = p2m;
    p2mSplit.SplitMultiPositionSites();
    p2mSplit.m_operators.clear();
    ASSERT_TRUE(p2m.Recompute(settings));
    ASSERT_TRUE(p2mSplit.Recompute(settings));
    for (auto hkl : {QLIndexTriple{1, 1, 1}, QLIndexTriple{-1, 1, 1}, QLIndexTriple{2, 3, -1}, QLIndexTriple{3, 4, 5}})
    {
        auto expected = p2mSplit.FindReflexion(hkl[0], hkl[1], hkl[2]);
        auto actual = p2m.FindReflexion(hkl[0], hkl[1], hkl[2]);
        ASSERT_NE(expected, nullptr);
        ASSERT_NE(actual, nullptr);
        EXPECT_NEAR(F2(*actual), F2(*expected), 1e-9 * F2(*expected)) << hkl[0] << hkl[1] << hkl[2];
    }
}

TEST(Intensity, NoPreferredOrientationAtZeroAlignmentInEveryGroup)
{
    CDiffractionSettings settings(true);
    for (auto make : {NaCl, Rutile, Magnesium, ZincBlende, TriclinicCopper})
    {
        CQLCrystal off = make();
        CQLCrystal aligned = make();
        aligned.m_usePreferredOrientation = 1;
        aligned.m_poAlignment = 0.0;
        aligned.m_poVector = {1, 0, 2};
        ASSERT_TRUE(off.Recompute(settings));
        ASSERT_TRUE(aligned.Recompute(settings));
        ASSERT_EQ(off.m_reflexions.size(), aligned.m_reflexions.size());
        for (size_t i = 0; i < off.m_reflexions.size(); ++i)
            EXPECT_NEAR(aligned.m_reflexions[i]->intensity, off.m_reflexions[i]->intensity,
                        1e-9 * off.m_reflexions[i]->intensity)
                << off.m_spaceGroupSymbol.GetString() << " " << off.m_reflexions[i]->h << off.m_reflexions[i]->k
                << off.m_reflexions[i]->l;
    }
}

TEST(Intensity, PreferredOrientationFavoursPlanesNormalToTheVector)
{
    CDiffractionSettings settings(true);
    CQLCrystal plain = Rutile();
    ASSERT_TRUE(plain.Recompute(settings));
    for (auto type : {CQLCrystal::kReciprocalVector, CQLCrystal::kDirectVector})
    {
        CQLCrystal po = Rutile();
        po.m_usePreferredOrientation = 1;
        po.m_poAlignment = 0.5;
        po.m_poVector = {0, 0, 1};
        po.m_poVectorType = type;
        ASSERT_TRUE(po.Recompute(settings));
        // In a tetragonal cell [001] and (001) agree: (0 0 2) gains against (1 1 0).
        auto ratio = [](const CQLCrystal& c) {
            return c.FindReflexion(0, 0, 2)->intensity / c.FindReflexion(1, 1, 0)->intensity;
        };
        EXPECT_GT(ratio(po), ratio(plain) * 2.0) << type;
        // A zero vector is the same as no preferred orientation.
        po.m_poVector = {0, 0, 0};
        ASSERT_TRUE(po.Recompute(settings));
        EXPECT_NEAR(ratio(po), ratio(plain), 1e-12 * ratio(plain));
    }

    // In a hexagonal cell the direct axis [1 0 0] is the normal of (2 -1 0), not of (1 0 0):
    // the two bases must agree on the first and tell it from the second.
    auto oriented = [&](CQLCrystal::QLVectorType type, std::array<double, 3> vector) {
        CQLCrystal mg = Magnesium();
        mg.m_usePreferredOrientation = 1;
        mg.m_poAlignment = 0.6;
        mg.m_poVectorType = type;
        mg.m_poVector = vector;
        EXPECT_TRUE(mg.Recompute(settings));
        return mg;
    };
    const CQLCrystal direct = oriented(CQLCrystal::kDirectVector, {1, 0, 0});
    const CQLCrystal normal = oriented(CQLCrystal::kReciprocalVector, {2, -1, 0});
    const CQLCrystal other = oriented(CQLCrystal::kReciprocalVector, {1, 0, 0});
    ASSERT_EQ(direct.m_reflexions.size(), normal.m_reflexions.size());
    for (size_t i = 0; i < direct.m_reflexions.size(); ++i)
        EXPECT_NEAR(direct.m_reflexions[i]->intensity, normal.m_reflexions[i]->intensity,
                    1e-9 * normal.m_reflexions[i]->intensity);
    const auto r100 = [](const CQLCrystal& c) { return c.FindReflexion(1, 0, 0)->intensity; };
    EXPECT_LT(r100(direct), 0.9 * r100(other));
}

// Texture moves intensity between reflexions but leaves the phase as much of the pattern as it
// was: each reflexion is weighted by the mean of the March–Dollase function over its equivalents.
// In rutile every equivalent of (h k l) makes the same angle with c*, cos α = |l|·d/c.
TEST(Intensity, PreferredOrientationWeighsEachReflexionByTheMeanOverItsEquivalents)
{
    CDiffractionSettings settings(true);
    CQLCrystal plain = Rutile();
    ASSERT_TRUE(plain.Recompute(settings));
    const struct
    {
        CQLCrystal::PreferredOrientationType geometry;
        double r;
    } cases[] = {{CQLCrystal::kPOPlates, 0.5}, {CQLCrystal::kPONeedles, 2.0}};
    for (const auto& c : cases)
    {
        CQLCrystal po = Rutile();
        po.m_usePreferredOrientation = 1;
        po.m_poGeometry = c.geometry;
        po.m_poAlignment = 0.5;
        po.m_poVector = {0, 0, 1};
        ASSERT_TRUE(po.Recompute(settings));
        ASSERT_EQ(po.m_reflexions.size(), plain.m_reflexions.size());
        for (size_t i = 0; i < po.m_reflexions.size(); ++i)
        {
            const CQLReflexion& with = *po.m_reflexions[i];
            const CQLReflexion& without = *plain.m_reflexions[i];
            const double cosAlpha = std::abs(with.l) * with.d / 2.9587;
            const double sin2 = 1.0 - cosAlpha * cosAlpha;
            const double expected = std::pow(c.r * c.r * cosAlpha * cosAlpha + sin2 / c.r, -1.5);
            EXPECT_NEAR(with.intensity / without.intensity, expected, 1e-9 * expected)
                << c.geometry << ": " << with.h << with.k << with.l;
        }
    }
}

TEST(Intensity, PeakWidthsCombineInstrumentSizeAndStrain)
{
    CQLCrystal crystal;
    CDiffractionSettings settings(true);
    // Particle size at the cap leaves only the instrument width in 2θ.
    EXPECT_DOUBLE_EQ(crystal.PeakWidthAt(settings, 40.0), 0.05);
    crystal.m_particleSize = 500.0;
    const double pi = std::acos(-1.0);
    const double size = 0.888 / 500.0 / std::cos(20.0 * pi / 180.0) * 180.0 / pi * 1.5405;
    EXPECT_NEAR(crystal.PeakWidthAt(settings, 40.0), std::sqrt(size * size + 0.01) / 2.0, 1e-12);
    settings.m_profileType = LXTypes::kProfileLorentzian;
    EXPECT_NEAR(crystal.PeakWidthAt(settings, 40.0), (size + 0.1) / 2.0, 1e-12);
    settings.m_profileType = LXTypes::kProfileDelta;
    EXPECT_EQ(crystal.PeakWidthAt(settings, 40.0), 0.0);

    // In d the size term stays even at the cap.
    crystal.m_particleSize = 10000.0;
    settings.m_profileType = LXTypes::kProfileLorentzian;
    settings.m_axisType = LXTypes::kAxisDSpacing;
    EXPECT_NEAR(crystal.PeakWidthAt(settings, 2.0), (0.888 * 4.0 / 10000.0 + settings.GetPeakWidth(2.0)) / 2.0, 1e-15);
}

// The same strain is the same sample whatever unit the axis shows: read back as d spacings, the
// strain part of each width is Δd/d = 2g·e (g = 2√ln 2), as on the 2θ axis.
TEST(Intensity, StrainGivesOneRelativeWidthOnEveryAxis)
{
    const double e = 0.005;
    const double expected = 2.0 * 2.0 * std::sqrt(std::log(2.0)) * e;
    CQLCrystal strained = Rutile();
    strained.m_isotropicStrain = e;
    const CQLCrystal plain = Rutile();
    CDiffractionSettings settings(true);
    // Lorentzian widths add, so the difference of the two is the strain's own part.
    settings.m_profileType = LXTypes::kProfileLorentzian;
    const LXTypes::QLAxisType units[] = {LXTypes::kAxis2Theta,        LXTypes::kAxisDSpacing,
                                         LXTypes::kAxisInverseD,      LXTypes::kAxisTimeOfFlight,
                                         LXTypes::kAxisEnergy,        LXTypes::kAxisTwoPiOverD};
    const QLIndexTriple reflexions[] = {{1, 1, 0}, {1, 0, 1}, {2, 1, 1}};
    for (const auto unit : units)
    {
        settings.m_axisType = unit;
        for (const auto& hkl : reflexions)
        {
            const double d = plain.DSpacing(hkl[0], hkl[1], hkl[2]);
            const double x = settings.ConvertFromDSpacing(d);
            const double w = 2.0 * (strained.PeakWidthAt(settings, x) - plain.PeakWidthAt(settings, x));
            const double relative =
                std::fabs(settings.ConvertToDSpacing(x - w / 2) - settings.ConvertToDSpacing(x + w / 2)) / d;
            EXPECT_NEAR(relative, expected, 1e-3 * expected) << "unit " << unit << " hkl " << hkl[0] << hkl[1] << hkl[2];
        }
    }
}
}
