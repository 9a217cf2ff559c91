#include "CrystalFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace crystalfixtures;

namespace
{
TEST(Crystal, NewCrystalIsAnEmptyOrthorhombicP1Cell)
{
    CQLCrystal crystal;
    EXPECT_EQ(crystal.m_a, 8.0);
    EXPECT_EQ(crystal.m_b, 9.0);
    EXPECT_EQ(crystal.m_c, 10.0);
    EXPECT_EQ(crystal.m_gamma, 90.0);
    EXPECT_TRUE(crystal.m_spaceGroupSymbol == L"P 1");
    EXPECT_TRUE(crystal.m_sites.empty());
    EXPECT_TRUE(crystal.m_reflexions.empty());
    EXPECT_NEAR(crystal.m_volume, 720.0, 1e-9);
    EXPECT_NEAR(crystal.m_aStar, 1.0 / 8.0, 1e-15);
}

TEST(Crystal, MetricsOfAMonoclinicCell)
{
    CQLCrystal crystal;
    crystal.m_a = 5.0;
    crystal.m_b = 6.0;
    crystal.m_c = 7.0;
    crystal.m_beta = 110.0;
    crystal.ComputeMetrics();
    crystal.ComputeReciprocalMetric();
    const double beta = 110.0 * std::acos(-1.0) / 180.0;
    EXPECT_NEAR(crystal.m_volume, 5.0 * 6.0 * 7.0 * std::sin(beta), 1e-9);
    EXPECT_NEAR(crystal.m_betaStar, 70.0, 1e-9);
    EXPECT_NEAR(crystal.m_aStar, 1.0 / (5.0 * std::sin(beta)), 1e-12);
    EXPECT_NEAR(crystal.m_metric[2], 5.0 * 7.0 * std::cos(beta), 1e-12);
    // G* is the inverse of G.
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
        {
            double sum = 0;
            for (int i = 0; i < 3; ++i)
                sum += crystal.m_metric[3 * r + i] * crystal.m_reciprocalMetric[3 * i + c];
            EXPECT_NEAR(sum, r == c ? 1.0 : 0.0, 1e-12);
        }
}

TEST(Crystal, DegenerateCellsAreRefused)
{
    struct Case
    {
        double a, b, c, alpha, beta, gamma;
    } cases[] = {
        {0, 5, 5, 90, 90, 90},      // zero length
        {5, -1, 5, 90, 90, 90},     // negative length
        {5, 5, 5, 0, 90, 90},       // flat angle
        {5, 5, 5, 90, 90, 180},
        {5, 5, 5, 120, 120, 120},   // three angles that cannot close a cell
        {5, 5, 5, 10, 60, 90},
    };
    for (const auto& c : cases)
    {
        CQLCrystal crystal;
        crystal.m_a = c.a;
        crystal.m_b = c.b;
        crystal.m_c = c.c;
        crystal.m_alpha = c.alpha;
        crystal.m_beta = c.beta;
        crystal.m_gamma = c.gamma;
        EXPECT_THROW(crystal.ComputeMetrics(), CLXXDegenerateCell) << c.a << " " << c.alpha;
        CDiffractionSettings settings(true);
        EXPECT_FALSE(crystal.Recompute(settings));
    }
}

TEST(Crystal, WrapsCoordinatesIntoTheCell)
{
    struct Case
    {
        double in, out;
    } cases[] = {{-0.25, 0.75}, {1.000001, 0.0}, {0.999995, 0.0}, {1.0, 0.0}, {2.3, 0.3}, {-1.5, 0.5},
                 {0.000005, 0.0}, {0.5, 0.5}};
    for (const auto& c : cases)
        EXPECT_NEAR(CQLCrystal::WrapCoordinate(c.in), c.out, 1e-12) << c.in;
}

TEST(Crystal, ExpandsSitesByTheFullOperatorList)
{
    CQLCrystal nacl = NaCl();
    ASSERT_EQ(nacl.m_sites.size(), 2u);
    EXPECT_EQ(nacl.m_sites[0].m_positions.size(), 4u);
    EXPECT_EQ(nacl.m_sites[1].m_positions.size(), 4u);
    nacl.ComputeDensity();
    EXPECT_NEAR(nacl.m_density, 2163.76, 0.01);

    CQLCrystal si = MakeCrystal(5.431, 5.431, 5.431, 90, 90, 90, L"F d -3 m", {{L"Si1", L"Si", 0, 0, 0}}, 1);
    EXPECT_EQ(si.m_sites[0].m_positions.size(), 8u);

    // z = 0.3333 maps to 0.99997 and to 0.00003: one position seen from both sides of the edge.
    CQLCrystal quartz = MakeCrystal(4.916, 4.916, 5.4054, 90, 90, 120, L"P 31 2 1",
                                    {{L"Si1", L"Si", 0.4673, 0, 0.3333}, {L"O1", L"O", 0.413, 0.2711, 0.2172}});
    EXPECT_EQ(quartz.m_sites[0].m_positions.size(), 3u);
    EXPECT_EQ(quartz.m_sites[1].m_positions.size(), 6u);
    // The coinciding images meet halfway, on the two-fold axes at thirds of c.
    for (const auto& p : quartz.m_sites[0].m_positions)
        EXPECT_NEAR(std::remainder(p[2] * 3.0, 1.0), 0.0, 1e-9) << p[2];
}

TEST(Crystal, ImagesThatRoundingSetsApartAreOneAtomAtTheSpecialPosition)
{
    // Sites given to three decimals beside special positions: their images lie some 0.003 to
    // 0.02 Å apart and are one atom, placed where the site symmetry puts it.
    struct Case
    {
        const char* what;
        CQLCrystal rounded, exact;
        std::size_t positions;
    };
    const Case cases[] = {
        {"magnesium, 1/3 2/3 1/4",
         MakeCrystal(3.2094, 3.2094, 5.2108, 90, 90, 120, L"P 63/m m c", {{L"Mg1", L"Mg", 0.333, 0.667, 0.25}}),
         Magnesium(), 2},
        {"a long hexagonal cell, 1/3 2/3 z",
         MakeCrystal(14.2, 14.2, 9.1, 90, 90, 120, L"P 63/m", {{L"Ca1", L"Ca", 0.333, 0.667, 0.0612}}),
         MakeCrystal(14.2, 14.2, 9.1, 90, 90, 120, L"P 63/m", {{L"Ca1", L"Ca", 1.0 / 3, 2.0 / 3, 0.0612}}), 4},
        {"rhombohedral centring, 1/3 2/3 z on a three-fold axis",
         MakeCrystal(4.98, 4.98, 17.06, 90, 90, 120, L"R -3 m", {{L"Bi1", L"Bi", 0.333, 0.667, 0.0712}}),
         MakeCrystal(4.98, 4.98, 17.06, 90, 90, 120, L"R -3 m", {{L"Bi1", L"Bi", 1.0 / 3, 2.0 / 3, 0.0712}}), 6},
        {"cubic, x x x",
         MakeCrystal(12.5, 12.5, 12.5, 90, 90, 90, L"P a -3", {{L"N1", L"N", 0.061, 0.0612, 0.0609}}),
         MakeCrystal(12.5, 12.5, 12.5, 90, 90, 90, L"P a -3", {{L"N1", L"N", 0.061, 0.061, 0.061}}), 8},
    };
    CDiffractionSettings settings(true);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CQLCrystal rounded = c.rounded, exact = c.exact;
        const auto& positions = rounded.m_sites[0].m_positions;
        ASSERT_EQ(positions.size(), c.positions);
        ASSERT_EQ(exact.m_sites[0].m_positions.size(), c.positions);
        // Each atom at the mean of its images: where the exact coordinates put it, but for the
        // free coordinates, which keep what the file gives.
        for (std::size_t i = 0; i < positions.size(); ++i)
        {
            const auto& e = exact.m_sites[0].m_positions[i];
            double far = 0.0;
            for (int k = 0; k < 3; ++k)
                far = std::max(far, std::fabs(std::remainder(positions[i][k] - e[k], 1.0)));
            EXPECT_LT(far, 4e-4) << i;
        }
        ASSERT_TRUE(rounded.Recompute(settings));
        ASSERT_TRUE(exact.Recompute(settings));
        EXPECT_NEAR(rounded.m_density, exact.m_density, exact.m_density * 1e-12);
        ASSERT_EQ(rounded.m_reflexions.size(), exact.m_reflexions.size());
        for (std::size_t i = 0; i < exact.m_reflexions.size(); ++i)
            EXPECT_NEAR(rounded.m_reflexions[i]->relativeIntensity, exact.m_reflexions[i]->relativeIntensity, 0.01)
                << i;
    }
    // The magnesium atom lands exactly on the three-fold axis.
    const CQLCrystal mg = cases[0].rounded;
    EXPECT_NEAR(mg.m_sites[0].m_positions[0][0], 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(mg.m_sites[0].m_positions[0][1], 2.0 / 3.0, 1e-12);

    // A site split about the axis into three, 0.3 Å apart and a third occupied, stays split.
    const double off = 0.1 / 3.2094;
    CQLCrystal split = MakeCrystal(3.2094, 3.2094, 5.2108, 90, 90, 120, L"P 63/m m c",
                                   {{L"Mg1", L"Mg", 1.0 / 3 + off, 2.0 / 3 + 2 * off, 0.25, 1.0 / 3}});
    EXPECT_EQ(split.m_sites[0].m_positions.size(), 6u);
}


TEST(Crystal, TheDecimalsGivenSetHowFarApartImagesOfOneAtomMayLie)
{
    // One site, its coordinates' rounding as a reader hands it over (half a unit of the last decimal).
    auto expand = [](const wchar_t* symbol, double a, double b, double c, double gamma, SiteDef def,
                     std::array<float, 3> rounding, std::vector<std::size_t>* joined = nullptr) {
        CQLCrystal crystal = MakeCrystal(a, b, c, 90, 90, gamma, symbol, {});
        crystal.m_sites.push_back(MakeSite(def));
        crystal.m_sites[0].m_rounding = rounding;
        const std::vector<std::size_t> sites = crystal.ExpandSitesBySymmetry();
        if (joined)
            *joined = sites;
        return crystal;
    };
    constexpr float k3 = 5e-4f, k4 = 5e-5f;
    struct Case
    {
        const char* what;
        CQLCrystal crystal;
        std::size_t positions;
    };
    const Case cases[] = {
        // 1/3 2/3 1/4 as 0.333 0.667 0.25 with a = 23 Å: images of the one atom up to 0.027 Å apart.
        {"three decimals, a = 23 Å",
         expand(L"P 63/m m c", 23, 23, 20, 120, {L"Mg1", L"Mg", 0.333, 0.667, 0.25}, {k3, k3, 5e-3f}), 2},
        {"decimals not known: the 0.02 Å rule alone",
         expand(L"P 63/m m c", 23, 23, 20, 120, {L"Mg1", L"Mg", 0.333, 0.667, 0.25}, {0, 0, 0}), 6},
        // Four decimals say 0.3330 is not 1/3: the images are distinct atoms.
        {"four decimals that place the site off the axis",
         expand(L"P 63/m m c", 23, 23, 20, 120, {L"Mg1", L"Mg", 0.333, 0.667, 0.25}, {k4, k4, k4}), 6},
        // A mirror at x = 0, a = 60 Å: images 0.036 Å apart, where rounding reaches 0.06 Å.
        {"within reach of the rounding", expand(L"P m m m", 60, 10, 10, 90, {L"Fe1", L"Fe", 0.0003, 0, 0}, {k3, 0, 0}),
         1},
        // Images 0.06 Å apart stay two atoms, however coarse the decimals.
        {"0.06 Å apart", expand(L"P m m m", 60, 10, 10, 90, {L"Fe1", L"Fe", 0.0005, 0, 0}, {1e-3f, 0, 0}), 2},
        // A site split about the axis, 0.3 Å apart, stays split.
        {"split site",
         expand(L"P 63/m m c", 23, 23, 20, 120, {L"Mg1", L"Mg", 1.0 / 3 + 0.01, 2.0 / 3 + 0.01, 0.25, 1.0 / 3},
                {k3, k3, k3}),
         12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.crystal.m_sites[0].m_positions.size(), c.positions) << c.what;

    // The one atom stands where the exact coordinates put it, and scatters as it does there: the
    // file's decimals gave |F|² of 0 1 0 as 387, where 1/3 2/3 1/4 gives 16.
    std::vector<std::size_t> joinedRounded, joinedExact;
    CQLCrystal rounded = expand(L"P 63/m m c", 23, 23, 20, 120, {L"Mg1", L"Mg", 0.333, 0.667, 0.25}, {k3, k3, 5e-3f},
                                &joinedRounded);
    CQLCrystal exact =
        expand(L"P 63/m m c", 23, 23, 20, 120, {L"Mg1", L"Mg", 1.0 / 3, 2.0 / 3, 0.25}, {}, &joinedExact);
    // The readers warn of the first when it is partly occupied; exact images are no news.
    EXPECT_EQ(joinedRounded, std::vector<std::size_t>{0});
    EXPECT_TRUE(joinedExact.empty());
    EXPECT_NEAR(rounded.m_sites[0].m_x, 1.0 / 3, 1e-9);
    EXPECT_NEAR(rounded.m_sites[0].m_y, 2.0 / 3, 1e-9);
    CDiffractionSettings settings(true);
    ASSERT_TRUE(rounded.Recompute(settings));
    ASSERT_TRUE(exact.Recompute(settings));
    ASSERT_EQ(rounded.m_reflexions.size(), exact.m_reflexions.size());
    const auto f010 = [](const CQLCrystal& crystal) {
        auto r = crystal.FindReflexion(0, 1, 0);
        if (!r)
            r = crystal.FindReflexion(1, 0, 0);
        return r ? r->A * r->A + r->B * r->B : -1.0;
    };
    ASSERT_GT(f010(exact), 0.0);
    EXPECT_NEAR(f010(rounded), f010(exact), 1e-6 * f010(exact));
    for (std::size_t i = 0; i < exact.m_reflexions.size(); ++i)
        EXPECT_NEAR(rounded.m_reflexions[i]->intensity, exact.m_reflexions[i]->intensity,
                    1e-6 * exact.m_maxIntensity)
            << i;
}
TEST(Crystal, IdentifiesItsGroupFromAFullOperatorList)
{
    // A reader that has operators: all 192 of rock salt, centring included.
    CQLCrystal reference = NaCl();
    std::vector<CSymmetryOperator> all;
    reference.GetFullOperatorList(all);
    ASSERT_EQ(all.size(), 192u);

    CQLCrystal crystal;
    crystal.m_a = crystal.m_b = crystal.m_c = 5.64;
    crystal.ComputeMetrics();
    crystal.ComputeReciprocalMetric();
    crystal.m_operators = all;
    crystal.m_sites.push_back(MakeSite({L"Na1", L"Na", 0, 0, 0}));
    crystal.m_sites.push_back(MakeSite({L"Cl1", L"Cl", 0.5, 0.5, 0.5}));
    EXPECT_EQ(crystal.IdentifySpaceGroup(), 1);
    EXPECT_TRUE(crystal.m_spaceGroupSymbol == L"F m -3 m") << crystal.m_spaceGroupSymbol.GetString();
    EXPECT_EQ(crystal.m_latticeLetter, 'F');
    crystal.ExpandSitesBySymmetry();
    EXPECT_EQ(crystal.m_sites[0].m_positions.size(), 4u);

    CDiffractionSettings settings(true);
    ASSERT_TRUE(crystal.Recompute(settings));
    ASSERT_TRUE(reference.Recompute(settings));
    ASSERT_EQ(crystal.m_reflexions.size(), reference.m_reflexions.size());
    for (size_t i = 0; i < crystal.m_reflexions.size(); ++i)
    {
        EXPECT_EQ(crystal.m_reflexions[i]->multiplicity, reference.m_reflexions[i]->multiplicity);
        EXPECT_NEAR(crystal.m_reflexions[i]->relativeIntensity, reference.m_reflexions[i]->relativeIntensity, 1e-12);
    }
}

TEST(Crystal, MergesCoincidentSitesThatHaveRoomForEachOther)
{
    CQLCrystal crystal;
    crystal.m_sites.push_back(MakeSite({L"Fe1", L"Fe", 0.1, 0.2, 0.3, 0.5}));
    crystal.m_sites.push_back(MakeSite({L"Ni1", L"Ni", 0.1, 0.2, 0.30005, 0.4}));
    crystal.m_sites.push_back(MakeSite({L"Co1", L"Co", 0.6, 0.2, 0.3, 0.6}));
    crystal.m_sites.push_back(MakeSite({L"Mn1", L"Mn", 0.6, 0.2, 0.3, 0.5}));
    crystal.MergeCoincidentSites();
    ASSERT_EQ(crystal.m_sites.size(), 3u);
    ASSERT_EQ(crystal.m_sites[0].m_species.size(), 2u);
    // Sorted by ascending occupancy.
    EXPECT_TRUE(crystal.m_sites[0].m_species[0].m_name == L"Ni");
    EXPECT_TRUE(crystal.m_sites[0].m_species[1].m_name == L"Fe");
    // 0.6 and 0.5 do not fit on one site.
    EXPECT_EQ(crystal.m_sites[1].m_species.size(), 1u);
    EXPECT_EQ(crystal.m_sites[2].m_species.size(), 1u);

    // Occupancies as a file reader hands them over (single precision) fill a site exactly;
    // the positions meet across the cell edge.
    CQLCrystal mixed;
    mixed.m_sites.push_back(MakeSite({L"Fe3", L"Fe", 0, 0, 0, static_cast<float>(0.888)}));
    mixed.m_sites.push_back(MakeSite({L"Mg3", L"Mg", 0.99995, 0, 0, static_cast<float>(0.112)}));
    mixed.MergeCoincidentSites();
    ASSERT_EQ(mixed.m_sites.size(), 1u);
    EXPECT_EQ(mixed.m_sites[0].m_species.size(), 2u);

    // A merged site has one displacement: sites that move differently stay apart.
    CQLCrystal moving;
    moving.m_sites.push_back(MakeSite({L"O3", L"O", 0.1, 0, 0.7, 0.75}));
    moving.m_sites.push_back(MakeSite({L"F3", L"F", 0.1, 0, 0.7, 0.25}));
    moving.m_sites[0].m_displacement = std::make_unique<CQLThermalEllipsoid>(0.0138);
    moving.m_sites[1].m_displacement = std::make_unique<CQLThermalEllipsoid>(0.0138);
    CQLCrystal apart = moving;
    apart.m_sites[1].m_displacement = std::make_unique<CQLThermalEllipsoid>(0.0120);
    moving.MergeCoincidentSites();
    apart.MergeCoincidentSites();
    EXPECT_EQ(moving.m_sites.size(), 1u);
    EXPECT_EQ(apart.m_sites.size(), 2u);
}

TEST(Crystal, MergingTakesTheFirstFittingEarlierSiteAcrossCellEdges)
{
    // Many part-occupied sites on a few positions that straddle cell edges: each site must merge
    // into the first earlier site that has room, as comparing every pair in order would find.
    const double coordinates[] = {0.0, 0.99995, 0.00008, 0.5, 0.50015};
    const double occupancies[] = {0.5, 0.25, 0.3, 0.6, 0.125};
    const wchar_t* elements[] = {L"Fe", L"Ni", L"Co"};
    CQLCrystal crystal;
    for (int i = 0; i < 300; ++i)
        crystal.m_sites.push_back(MakeSite({L"X", elements[i % 3], coordinates[i % 5], coordinates[(i / 5) % 5],
                                            coordinates[(i / 7) % 5], occupancies[(i / 3) % 5]}));
    std::vector<CQLSite> reference;
    for (const CQLSite& site : crystal.m_sites)
    {
        auto near = [](double a, double b) { return std::fabs(a - b - std::round(a - b)) < 0.00011; };
        auto fits = [&](const CQLSite& e) {
            return near(site.m_x, e.m_x) && near(site.m_y, e.m_y) && near(site.m_z, e.m_z) &&
                   site.TotalOccupancy() <= 1.0 - e.TotalOccupancy() + 1e-4;
        };
        auto target = std::find_if(reference.begin(), reference.end(), fits);
        if (site.TotalOccupancy() >= 0.9999 || target == reference.end())
        {
            reference.push_back(site);
            continue;
        }
        for (const auto& species : site.m_species)
        {
            auto same = std::find_if(target->m_species.begin(), target->m_species.end(),
                                     [&](const CSiteSpecies& e) { return e.m_name == species.m_name; });
            if (same != target->m_species.end())
                same->m_occupancy += species.m_occupancy;
            else
                target->m_species.push_back(species);
        }
    }
    crystal.MergeCoincidentSites();
    ASSERT_EQ(crystal.m_sites.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i)
    {
        EXPECT_EQ(crystal.m_sites[i].m_x, reference[i].m_x) << i;
        EXPECT_EQ(crystal.m_sites[i].m_species.size(), reference[i].m_species.size()) << i;
        EXPECT_NEAR(crystal.m_sites[i].TotalOccupancy(), reference[i].TotalOccupancy(), 1e-12) << i;
    }
}

TEST(Crystal, SplitsMultiPositionSitesWithRunningLabels)
{
    CQLCrystal crystal;
    CQLSite fe = MakeSite({L"Fe1", L"Fe", 0, 0, 0});
    fe.m_positions = {{0, 0, 0}, {0.5, 0.5, 0}, {0.5, 0, 0.5}, {0, 0.5, 0.5}};
    CQLSite o = MakeSite({L"O1", L"O", 0.25, 0.25, 0.25});
    o.m_positions = {{0.25, 0.25, 0.25}};
    CQLSite s = MakeSite({L"S1", L"S", 0.1, 0.1, 0.1});
    s.m_positions = {{0.1, 0.1, 0.1}, {0.9, 0.9, 0.9}};
    CQLSite empty = MakeSite({L"X1", L"Fe", 0.3, 0.3, 0.3});
    crystal.m_sites = {fe, o, s, empty};
    crystal.m_spaceGroupSymbol = L"F m -3 m";
    crystal.m_latticeLetter = 'F';
    crystal.SplitMultiPositionSites();

    std::vector<CString> labels;
    for (const auto& site : crystal.m_sites)
    {
        labels.push_back(site.m_label);
        EXPECT_EQ(site.m_positions.size(), 1u);
    }
    const std::vector<CString> expected = {L"Fe1", L"Fe1_2", L"Fe1_3", L"Fe1_4", L"O1", L"S1_5", L"S1_6"};
    EXPECT_EQ(labels, expected);
    EXPECT_TRUE(crystal.m_spaceGroupSymbol == L"P 1");
    EXPECT_EQ(crystal.m_latticeLetter, 'P');
}

TEST(Crystal, SiteGroupsFollowRunsOfEqualSpecies)
{
    CQLCrystal crystal;
    crystal.m_sites = {MakeSite({L"O1", L"O", 0, 0, 0}), MakeSite({L"O2", L"O", 0.1, 0, 0}),
                       MakeSite({L"Ti1", L"Ti", 0.2, 0, 0}), MakeSite({L"O3", L"O", 0.3, 0, 0}),
                       MakeSite({L"O4", L"O", 0.4, 0, 0, 0.5})};
    crystal.AssignSiteGroups();
    const std::int64_t expected[] = {0, 0, 2, 3, 4};
    for (size_t i = 0; i < crystal.m_sites.size(); ++i)
        EXPECT_EQ(crystal.m_sites[i].m_speciesGroup, expected[i]) << i;
}

TEST(Crystal, CopiesSitesDeeplyAndSharesReflexions)
{
    CQLCrystal crystal = NaCl();
    crystal.m_sites[0].m_displacement = std::make_unique<CQLThermalEllipsoid>(0.01);
    CDiffractionSettings settings(true);
    ASSERT_TRUE(crystal.Recompute(settings));
    CQLCrystal copy;
    copy.CopyFrom(crystal);
    ASSERT_NE(copy.m_sites[0].m_displacement, nullptr);
    EXPECT_NE(copy.m_sites[0].m_displacement.get(), crystal.m_sites[0].m_displacement.get());
    EXPECT_EQ(copy.m_sites[0].m_displacement->m_u, 0.01);
    EXPECT_EQ(copy.m_reflexions.front().get(), crystal.m_reflexions.front().get());
}

TEST(Site, BalancesAnExcessOverTheOtherSpecies)
{
    CQLSite site;
    site.m_species.emplace_back(L"Fe", 0.5);
    site.m_species.emplace_back(L"Ni", 0.3);
    site.m_species.emplace_back(L"Co", 0.4);
    site.BalanceOccupancies(site.m_species[0]);
    EXPECT_DOUBLE_EQ(site.m_species[0].m_occupancy, 0.5);
    EXPECT_NEAR(site.m_species[1].m_occupancy, 0.2, 1e-12);
    EXPECT_NEAR(site.m_species[2].m_occupancy, 0.3, 1e-12);

    CQLSite two;
    two.m_species.emplace_back(L"Fe", 0.9);
    two.m_species.emplace_back(L"Ni", 0.5);
    two.BalanceOccupancies(two.m_species[0]);
    EXPECT_NEAR(two.m_species[1].m_occupancy, 0.1, 1e-12);

    // A share that a small species cannot give is taken from the others.
    CQLSite uneven;
    uneven.m_species.emplace_back(L"Fe", 0.8);
    uneven.m_species.emplace_back(L"Ni", 0.05);
    uneven.m_species.emplace_back(L"Co", 0.45);
    uneven.BalanceOccupancies(uneven.m_species[0]);
    EXPECT_NEAR(uneven.m_species[1].m_occupancy, 0.0, 1e-12);
    EXPECT_NEAR(uneven.m_species[2].m_occupancy, 0.2, 1e-12);
    EXPECT_NEAR(uneven.TotalOccupancy(), 1.0, 1e-12);
}

TEST(Site, FillsVacanciesOnlyWhenAsked)
{
    CQLSite site;
    site.m_species.emplace_back(L"Fe", 0.4);
    site.m_species.emplace_back(L"Ni", 0.2);
    site.m_species.emplace_back(L"Co", 0.2);
    site.BalanceOccupancies(site.m_species[0]);
    EXPECT_NEAR(site.TotalOccupancy(), 0.8, 1e-12);
    site.m_fillVacancies = true;
    site.BalanceOccupancies(site.m_species[0]);
    EXPECT_NEAR(site.m_species[1].m_occupancy, 0.3, 1e-12);
    EXPECT_NEAR(site.m_species[2].m_occupancy, 0.3, 1e-12);
}

TEST(Site, SingleSpeciesIsNeverBalancedOrNormalised)
{
    CQLSite site;
    site.m_fillVacancies = true;
    site.m_species.emplace_back(L"Fe", 1.4);
    site.BalanceOccupancies(site.m_species[0]);
    site.NormaliseOccupancies();
    EXPECT_EQ(site.m_species[0].m_occupancy, 1.4);

    CQLSite pair;
    pair.m_species.emplace_back(L"Fe", 0.9);
    pair.m_species.emplace_back(L"Ni", 0.6);
    pair.NormaliseOccupancies();
    EXPECT_EQ(pair.m_species[0].m_occupancy, 0.5);
    EXPECT_EQ(pair.m_species[1].m_occupancy, 0.5);
}

TEST(Displacement, IsotropicAndAnisotropicFactors)
{
    const double pi = std::acos(-1.0);
    CQLThermalEllipsoid iso(0.02);
    EXPECT_NEAR(iso.GetTemperatureFactor(1, 1, 1, 2.0), std::exp(-2.0 * pi * pi * 0.02 / 4.0), 1e-15);

    // An isotropic tensor in a cubic cell behaves like U itself.
    const double a = 4.0;
    const double u[9] = {0.02, 0, 0, 0, 0.02, 0, 0, 0, 0.02};
    CQLAnisoThermalEllipsoid aniso(u, 1.0 / a, 1.0 / a, 1.0 / a);
    EXPECT_NEAR(aniso.m_u, 0.02, 1e-15);
    const double d = a / std::sqrt(1.0 + 4.0 + 9.0);
    EXPECT_NEAR(aniso.GetTemperatureFactor(1, 2, 3, 0.0), iso.GetTemperatureFactor(1, 2, 3, d), 1e-14);

    auto clone = aniso.Clone();
    EXPECT_NE(dynamic_cast<CQLAnisoThermalEllipsoid*>(clone.get()), nullptr);

    const double flat[9] = {0.02, 0, 0, 0, 0.0, 0, 0, 0, 0.02};
    EXPECT_TRUE(IsPositiveDefinite3x3(u));
    EXPECT_FALSE(IsPositiveDefinite3x3(flat));
}
}

TEST(ThermalEllipsoid, PositiveDefiniteNeedsEveryLeadingMinorOfTheUpperTriangle)
{
    struct Case
    {
        const char* what;
        double m[9];
        bool expected;
    };
    const Case cases[] = {
        {"det > 0 and a positive diagonal, eigenvalues 5, -1, -1", {1, 2, 2, 2, 1, 2, 2, 2, 1}, false},
        {"U12 = 2 typed over the identity, lower triangle stale", {1, 2, 0, 0, 1, 0, 0, 0, 1}, false},
        {"a stale lower triangle does not spoil a sound tensor", {0.02, 0.001, 0, 7, 0.03, 0, -9, 5, 0.01}, true},
        {"semi-definite", {1, 1, 0, 1, 1, 0, 0, 0, 1}, false},
        {"not finite", {1, 0, 0, 0, INFINITY, 0, 0, 0, 1}, false},
        {"oblique but positive", {0.02, 0.005, -0.004, 0.005, 0.03, 0.002, -0.004, 0.002, 0.01}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPositiveDefinite3x3(c.m), c.expected) << c.what;
}

namespace
{
// Counts the "Missing scattering factor data" alerts (standard error in quiet mode) of one call.
template <class F>
int MissingFactorAlerts(F&& run)
{
    testing::internal::CaptureStderr();
    run();
    const std::string text = testing::internal::GetCapturedStderr();
    int count = 0;
    for (std::size_t at = text.find("Missing scattering factor data"); at != std::string::npos;
         at = text.find("Missing scattering factor data", at + 1))
        ++count;
    return count;
}

// Every change of the settings recomputes: a crystal with a site of unknown element must not
// put the same alert up again for each wavelength, width or slider step.
TEST(Crystal, MissingScatteringFactorsAreReportedOnceUntilTheyChange)
{
    CQLCrystal crystal;
    MissingFactorAlerts([&] {
        crystal = MakeCrystal(5.64, 5.64, 5.64, 90, 90, 90, L"F m -3 m",
                              {{L"Na1", L"Na", 0, 0, 0}, {L"W1", L"Wa", 0.5, 0.5, 0.5}});
    });
    CDiffractionSettings settings(true);
    EXPECT_EQ(MissingFactorAlerts([&] { ASSERT_TRUE(crystal.Recompute(settings)); }), 1);
    EXPECT_EQ(MissingFactorAlerts([&] { ASSERT_TRUE(crystal.Recompute(settings)); }), 0);
    CQLCrystal copy = crystal;
    EXPECT_EQ(MissingFactorAlerts([&] { ASSERT_TRUE(copy.Recompute(settings)); }), 0) << "a duplicate was told";
    // Another unknown element is news; mending every site and breaking one again is too.
    MissingFactorAlerts([&] { crystal.m_sites[0].m_species[0] = CSiteSpecies(L"Qq", 1.0); });
    EXPECT_EQ(MissingFactorAlerts([&] { ASSERT_TRUE(crystal.Recompute(settings)); }), 1);
    crystal.m_sites[0].m_species[0] = CSiteSpecies(L"Na", 1.0);
    for (auto& site : crystal.m_sites)
        if (site.m_label == L"W1")
            site.m_species[0] = CSiteSpecies(L"O", 1.0);
    EXPECT_EQ(MissingFactorAlerts([&] { ASSERT_TRUE(crystal.Recompute(settings)); }), 0);
    MissingFactorAlerts([&] { crystal.m_sites.back().m_species[0] = CSiteSpecies(L"Wa", 1.0); });
    EXPECT_EQ(MissingFactorAlerts([&] { ASSERT_TRUE(crystal.Recompute(settings)); }), 1);
}
}
