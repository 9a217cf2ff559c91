// The crystal pattern's profile, overlay curves and peak labels, on hand-made reflexion lists
// and on rock salt computed through the whole chain.
#include "PeakProfile.h"
#include "QLCrystalPattern.h"

#include <gtest/gtest.h>

#include <omp.h>

#include <algorithm>
#include <cmath>

namespace {
const double kRadToDeg = 180.0 / std::acos(-1.0);

// A pattern whose reflexions are given directly, placed in 2θ for wavelength lambda.
class CrystalProfile : public ::testing::Test
{
protected:
    CrystalProfile() : settings(true) {}

    std::shared_ptr<CQLReflexion> Add(double d, double intensity, double relative = 1.0)
    {
        auto r = std::make_shared<CQLReflexion>();
        r->h = 1;
        r->d = d;
        r->x = 2.0 * std::asin(settings.m_lambda / (2.0 * d)) * kRadToDeg;
        r->intensity = intensity;
        r->relativeIntensity = relative;
        pattern.m_crystal.m_reflexions.push_back(r);
        return r;
    }

    double Step() const { return (settings.m_defaultXMax - settings.m_defaultXMin) / settings.m_numProfilePoints; }

    double Area()
    {
        const CQLProfile& p = pattern.GetComputedProfile(settings);
        double sum = 0.0;
        for (const CQLProfilePoint& point : p) sum += point.y;
        return sum * Step();
    }

    // x of the largest point of the profile between lo and hi.
    double PeakPosition(double lo, double hi)
    {
        double best = -1.0, x = 0.0;
        for (const CQLProfilePoint& p : pattern.GetProfile())
            if (p.x >= lo && p.x <= hi && p.y > best) {
                best = p.y;
                x = p.x;
            }
        return x;
    }

    CDiffractionSettings settings;
    CQLCrystalPattern pattern{true};
};
}  // namespace

TEST_F(CrystalProfile, GaussianAreaEqualsSummedIntensity)
{
    Add(3.0, 100.0);
    Add(2.0, 35.5);
    Add(1.2, 7.25);
    Add(0.9, 60.0);
    const CQLProfile& profile = pattern.GetComputedProfile(settings);
    ASSERT_EQ(profile.size(), 72000u);
    EXPECT_DOUBLE_EQ(profile.front().x, 0.0);
    EXPECT_NEAR(profile.back().x, 180.0 - Step(), 1e-9);
    EXPECT_NEAR(Area(), 202.75, 202.75 * 1e-4);
    // Every reflexion got its half width from the settings: 0.1° full width.
    EXPECT_DOUBLE_EQ(pattern.m_crystal.m_reflexions[0]->width, 0.05);
}

TEST_F(CrystalProfile, AreaOfEveryShapeIsWhatItsCutOffKeeps)
{
    Add(2.5, 10.0);
    Add(1.5, 4.0);
    pattern.m_crystal.m_particleSize = 500.0;  // widths that differ by position
    // Within ±k widths a Lorentzian keeps (2/π) atan k of its area, a Gaussian all of it.
    const double kept = 2.0 / std::acos(-1.0);
    struct Case { LXTypes::QLProfileType type; double fraction; };
    const Case cases[] = {
        {LXTypes::kProfileGaussian, 1.0},
        {LXTypes::kProfileLorentzian, kept * std::atan(20.0)},
        {LXTypes::kProfilePseudoVoigt, 0.8 + 0.2 * kept * std::atan(8.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        settings.m_profileType = c.type;
        pattern.ClearProfile();
        EXPECT_NEAR(Area(), 14.0 * c.fraction, 14.0 * 1e-3);
    }
}

TEST_F(CrystalProfile, DeltaPeaksAreTrianglesNineStepsWide)
{
    settings.m_profileType = LXTypes::kProfileDelta;
    auto r = Add(2.0, 8.0);
    // Put the centre on a grid point so the top of the triangle is sampled.
    r->x = 1000 * Step();
    const CQLProfile& p = pattern.GetComputedProfile(settings);
    EXPECT_NEAR(p[1000].y, 8.0, 1e-9);
    EXPECT_NEAR(p[1003].y, 8.0 * (1 - 3.0 / 9.0), 1e-6);
    // Nine steps out the triangle ends: 0, but for the rounding of grid x added step by step.
    EXPECT_NEAR(p[1009].y, 0.0, 1e-9);
    EXPECT_NEAR(p[991].y, 0.0, 1e-9);
    EXPECT_EQ(p[1010].y, 0.0);
    EXPECT_EQ(p[990].y, 0.0);
}

TEST_F(CrystalProfile, ZeroPointsGiveAnEmptyProfileThatIsComputedAgainLater)
{
    Add(2.0, 1.0);
    settings.m_numProfilePoints = 0;
    EXPECT_TRUE(pattern.GetComputedProfile(settings).empty());
    settings.m_numProfilePoints = 1800;
    EXPECT_EQ(pattern.GetComputedProfile(settings).size(), 1800u);
}

TEST_F(CrystalProfile, UnknownShapeGivesZeroPoints)
{
    Add(2.0, 1.0);
    settings.m_profileType = static_cast<LXTypes::QLProfileType>(5);
    const CQLProfile& p = pattern.GetComputedProfile(settings);
    ASSERT_EQ(p.size(), 72000u);
    for (const CQLProfilePoint& point : p) ASSERT_EQ(point.y, 0.0);
}

TEST_F(CrystalProfile, NoReflexionsLeaveTheProfileEmpty)
{
    EXPECT_TRUE(pattern.GetComputedProfile(settings).empty());
    EXPECT_FALSE(pattern.HasData());
}

TEST_F(CrystalProfile, DoubletSplitsIntensityTwoToOneAtTheSecondWavelength)
{
    settings.m_monochromatic = 0;
    const double d = 1.5;
    Add(d, 30.0);
    const double c1 = pattern.m_crystal.m_reflexions[0]->x;
    const double c2 = 2.0 * std::asin(settings.m_lambda2 / (2.0 * d)) * kRadToDeg;
    EXPECT_NEAR(Area(), 30.0, 30.0 * 1e-4);
    EXPECT_NEAR(PeakPosition(c1 - 0.1, c1 + 0.1), c1, Step());
    EXPECT_NEAR(PeakPosition(c2 - 0.02, c2 + 0.1), c2, Step());
    const double top1 = pattern.GetIntensityAt(c1);
    const double top2 = pattern.GetIntensityAt(c2);
    EXPECT_NEAR(top2 / top1, 0.5, 0.02);
}

TEST_F(CrystalProfile, DoubletBeyondTheSecondWavelengthKeepsTheFullFirstPeak)
{
    settings.m_monochromatic = 0;
    // λ1/(2d) < 1 < λ2/(2d): the second line does not exist.
    Add(0.771, 12.0);
    EXPECT_NEAR(Area(), 12.0, 12.0 * 1e-4);
    settings.m_monochromatic = 1;
    pattern.ClearProfile();
    const CQLProfile mono = pattern.GetComputedProfile(settings);
    settings.m_monochromatic = 0;
    pattern.ClearProfile();
    const CQLProfile& doublet = pattern.GetComputedProfile(settings);
    ASSERT_EQ(mono.size(), doublet.size());
    for (size_t i = 0; i < mono.size(); ++i) ASSERT_EQ(mono[i].y, doublet[i].y);
}

TEST_F(CrystalProfile, DoubletDoesNotMoveLinesOffTheDSpacingAxis)
{
    // In d the two wavelengths give one position: a second line in 2θ degrees would land far off.
    settings.m_monochromatic = 0;
    settings.m_axisType = LXTypes::kAxisDSpacing;
    GetDefaultAxisMaximum(settings.m_axisType, &settings.m_defaultXMin, &settings.m_defaultXMax);
    auto r = Add(2.0, 5.0);
    r->x = 2.0;
    EXPECT_NEAR(Area(), 5.0, 5.0 * 1e-4);
    EXPECT_NEAR(PeakPosition(0.0, 100.0), 2.0, 2 * Step());
}

TEST_F(CrystalProfile, OverlayCurvesFollowTheProfileNearTheVisibleRange)
{
    settings.m_visibleXMin = 20.0;
    settings.m_visibleXMax = 80.0;
    Add(3.0, 10.0);   // 29.8°
    Add(1.5, 4.0);    // 61.8°
    Add(0.9, 1.0);    // 117.7°, outside the visible range
    pattern.GetComputedProfile(settings);
    const std::vector<CQLProfile> curves = pattern.ComputePeakCurves(settings);
    ASSERT_EQ(curves.size(), 2u);
    for (size_t i = 0; i < curves.size(); ++i) {
        const CQLReflexion& r = *pattern.m_crystal.m_reflexions[i];
        const CQLProfile& curve = curves[i];
        // 2 × 5 widths of 0.05 at the grid step, both cut-offs included.
        EXPECT_EQ(curve.size(), static_cast<size_t>(std::trunc(2 * 5 * 0.05 / Step())) + 1);
        EXPECT_NEAR(curve.back().x, r.x + 5 * 0.05, 1e-9) << "two hundred steps exactly";
        EXPECT_DOUBLE_EQ(curve.front().x, r.x - 5 * 0.05);
        double sum = 0.0;
        for (const CQLProfilePoint& p : curve) sum += p.y;
        EXPECT_NEAR(sum * Step(), r.intensity, r.intensity * 1e-3);
    }
}

TEST_F(CrystalProfile, DeltaOverlayCurveSpansTheWidthWithATriangleOneStepWide)
{
    settings.m_profileType = LXTypes::kProfileDelta;
    settings.m_visibleXMax = 180.0;
    auto r = Add(2.0, 8.0);
    r->x = 1000.4 * Step();
    pattern.GetComputedProfile(settings);
    // The width a reflexion carries: the span of its curve.
    const double w = 0.1;
    r->width = w;
    const std::vector<CQLProfile> curves = pattern.ComputePeakCurves(settings);
    ASSERT_EQ(curves.size(), 1u);
    const CQLProfile& curve = curves[0];
    ASSERT_EQ(curve.size(), static_cast<size_t>(std::trunc(2 * w / Step())) + 1);
    EXPECT_DOUBLE_EQ(curve.front().x, r->x - w);
    double sum = 0.0;
    for (const CQLProfilePoint& p : curve) {
        if (std::fabs(p.x - r->x) >= Step()) EXPECT_EQ(p.y, 0.0) << p.x;
        sum += p.y;
    }
    // The two points about the line share its intensity.
    EXPECT_NEAR(sum, 8.0, 1e-6);
}

TEST_F(CrystalProfile, PeakLabelsAboveTheThresholdWithTheChosenParts)
{
    Add(3.0, 10.0, 1.0);
    Add(2.0, 1.0, 0.1);   // exactly at the 10 % threshold: no label
    Add(1.5, 2.0, 0.2);
    auto& refls = pattern.m_crystal.m_reflexions;
    refls[0]->h = 1, refls[0]->k = 1, refls[0]->l = 1;
    refls[2]->h = 2, refls[2]->k = 0, refls[2]->l = 0;
    pattern.m_title = L"Halite";
    pattern.m_xOffset = 1.0;
    pattern.GetComputedProfile(settings);

    CQLPeakLabelList labels;
    pattern.CollectPeaks(0.0, 180.0, labels);
    EXPECT_TRUE(labels.empty()) << "labels are off";

    pattern.m_showLabels = 1;
    pattern.m_labelPhaseName = 1;
    pattern.m_labelDSpacing = 1;
    pattern.CollectPeaks(0.0, 180.0, labels);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].pattern, &pattern);
    EXPECT_DOUBLE_EQ(labels[0].x, refls[0]->x + 1.0);
    EXPECT_DOUBLE_EQ(labels[0].y, pattern.GetIntensityAt(labels[0].x));
    EXPECT_GT(labels[0].y, 0.0);
    EXPECT_EQ(labels[0].text, CString(L"Halite  \u2022  1 1 1  \u2022  3.000\u00C5"));
    EXPECT_EQ(labels[1].text, CString(L"Halite  \u2022  2 0 0  \u2022  1.500\u00C5"));

    // The range is in plotted x: the first reflexion sits at 30.8 when drawn.
    pattern.CollectPeaks(30.0, 31.0, labels);
    ASSERT_EQ(labels.size(), 1u);
    pattern.CollectPeaks(29.0, 30.0, labels);
    EXPECT_TRUE(labels.empty());
}

TEST_F(CrystalProfile, CloneSharesReflexionsAndCopySettingsTakesTheCrystal)
{
    Add(2.0, 3.0);
    pattern.m_showOverlay = 1;
    CQLPatternPtr clone = pattern.Clone();
    auto* copy = dynamic_cast<CQLCrystalPattern*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_crystal.m_reflexions[0], pattern.m_crystal.m_reflexions[0]);
    EXPECT_EQ(copy->m_showOverlay, 1);

    CQLCrystalPattern other(true);
    other.m_crystal.m_a = 4.0;
    CQLPattern::CopyPatternSettings(other, pattern);
    EXPECT_EQ(other.m_crystal.m_a, pattern.m_crystal.m_a);
    EXPECT_EQ(other.m_crystal.m_reflexions.size(), 1u);
    EXPECT_EQ(other.m_showOverlay, 1);
}

namespace {
// Rock salt, a = 5.64 Å: Na at 0 0 0, Cl at ½ ½ ½, no displacement.
void MakeRockSalt(CQLCrystal& crystal)
{
    crystal.m_a = crystal.m_b = crystal.m_c = 5.64;
    crystal.ComputeMetrics();
    crystal.m_spaceGroupSymbol = L"F m -3 m";
    const struct { const wchar_t* element; double xyz; } sites[] = {{L"Na", 0.0}, {L"Cl", 0.5}};
    for (const auto& s : sites) {
        CQLSite site;
        site.m_label = s.element;
        site.m_x = site.m_y = site.m_z = s.xyz;
        site.m_species.emplace_back(s.element, 1.0);
        crystal.m_sites.push_back(std::move(site));
    }
    crystal.InstallOperatorsFromSymbol();
    crystal.ExpandSitesBySymmetry();
}
}  // namespace

TEST(CrystalPatternChain, RockSaltProfileHoldsEveryIntensityWhateverTheThreadCount)
{
    CDiffractionSettings settings(true);
    const int threads = omp_get_max_threads();
    CQLProfile profiles[2];
    for (int run = 0; run < 2; ++run) {
        omp_set_num_threads(run == 0 ? 1 : 8);
        CQLCrystalPattern pattern(true);
        MakeRockSalt(pattern.m_crystal);
        pattern.ApplySettings(settings);
        ASSERT_TRUE(pattern.HasData());
        profiles[run] = pattern.GetComputedProfile(settings);

        const double step = (settings.m_defaultXMax - settings.m_defaultXMin) / settings.m_numProfilePoints;
        double sumI = 0.0, area = 0.0;
        for (const auto& r : pattern.m_crystal.m_reflexions) sumI += r->intensity;
        for (const CQLProfilePoint& p : profiles[run]) area += p.y;
        EXPECT_NEAR(area * step, sumI, sumI * 1e-4);

        // The strongest point lies on 0 0 2, the strongest reflexion.
        auto top = std::max_element(profiles[run].begin(), profiles[run].end(),
                                    [](const CQLProfilePoint& a, const CQLProfilePoint& b) { return a.y < b.y; });
        EXPECT_NEAR(top->x, 2.0 * std::asin(settings.m_lambda / (2.0 * 2.82)) * kRadToDeg, 2 * step);
    }
    omp_set_num_threads(threads);
    ASSERT_EQ(profiles[0].size(), profiles[1].size());
    for (size_t i = 0; i < profiles[0].size(); ++i) ASSERT_EQ(profiles[0][i].y, profiles[1][i].y) << i;
}

TEST_F(CrystalProfile, DoubletWithTheSecondLineBelowTheFirstKeepsBothLinesWhole)
{
    // A second wavelength shorter than the first puts its line on the low-angle side.
    settings.m_monochromatic = 0;
    settings.m_lambda2 = 1.5;
    Add(1.5, 30.0);
    const double c1 = pattern.m_crystal.m_reflexions[0]->x;
    const double c2 = 2.0 * std::asin(settings.m_lambda2 / (2.0 * 1.5)) * kRadToDeg;
    ASSERT_LT(c2, c1 - 1.0);
    EXPECT_NEAR(Area(), 30.0, 30.0 * 1e-4);
    EXPECT_NEAR(PeakPosition(c2 - 0.1, c2 + 0.1), c2, Step());
    EXPECT_NEAR(pattern.GetIntensityAt(c1 + 0.05), pattern.GetIntensityAt(c1 - 0.05), 1e-3 * pattern.GetIntensityAt(c1));
}

TEST_F(CrystalProfile, PeaksOfNoWidthAddNothingToTheProfile)
{
    settings.m_monochromatic = 0;
    settings.m_tthPeakWidth = 0.0;
    Add(1.5, 30.0);
    for (LXTypes::QLProfileType type : {LXTypes::kProfileLorentzian, LXTypes::kProfileGaussian,
                                        LXTypes::kProfilePseudoVoigt}) {
        SCOPED_TRACE(type);
        settings.m_profileType = type;
        pattern.ClearProfile();
        for (const CQLProfilePoint& p : pattern.GetComputedProfile(settings)) ASSERT_EQ(p.y, 0.0) << p.x;
    }
}

TEST_F(CrystalProfile, DoubletOverlayCurveCoversBothLines)
{
    // At 117.7° the second line lies 0.5° above the first, beyond five widths of 0.05°.
    settings.m_monochromatic = 0;
    settings.m_visibleXMax = 180.0;
    Add(0.9, 6.0);
    const double c2 = 2.0 * std::asin(settings.m_lambda2 / (2.0 * 0.9)) * kRadToDeg;
    pattern.GetComputedProfile(settings);
    const std::vector<CQLProfile> curves = pattern.ComputePeakCurves(settings);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_FALSE(curves[0].empty());
    EXPECT_GT(curves[0].back().x, c2 + 4 * 0.05);
    double sum = 0.0;
    for (const CQLProfilePoint& p : curves[0]) sum += p.y;
    EXPECT_NEAR(sum * Step(), 6.0, 6.0 * 1e-3);
}

TEST_F(CrystalProfile, BroadPeaksSumInListOrderOnEveryPointWhateverTheThreadCount)
{
    // Tiny particles and strain make peaks wider than the grid; the doublet adds a second line.
    // Enough peak values (some 10⁷) that the sum is shared among threads.
    settings.m_monochromatic = 0;
    settings.m_numProfilePoints = 15001;
    pattern.m_crystal.m_particleSize = 5.0;
    pattern.m_crystal.m_isotropicStrain = 0.1;
    for (int i = 0; i < 800; ++i) Add(0.78 + 0.0089 * ((i * 37) % 800), 1.0 + (i * 13) % 17);
    const int threads = omp_get_max_threads();
    for (LXTypes::QLProfileType type : {LXTypes::kProfileDelta, LXTypes::kProfileLorentzian,
                                        LXTypes::kProfileGaussian, LXTypes::kProfilePseudoVoigt}) {
        SCOPED_TRACE(type);
        settings.m_profileType = type;
        CQLProfile profiles[2];
        for (int run = 0; run < 2; ++run) {
            omp_set_num_threads(run == 0 ? 1 : 8);
            pattern.ClearProfile();
            profiles[run] = pattern.GetComputedProfile(settings);
        }
        omp_set_num_threads(threads);

        // The sum as defined: reflexion after reflexion, each over the points of its range.
        const CQLProfile& p = profiles[0];
        const double s = Step(), k = PeakCutOff(type, settings.m_eta);
        const double r = settings.m_lambdaRatio, a1 = r / (r + 1.0), a2 = 1.0 / (r + 1.0);
        std::vector<double> y(p.size(), 0.0);
        for (const auto& refl : pattern.m_crystal.m_reflexions) {
            const double c = refl->x, w = type == LXTypes::kProfileDelta ? 9.0 * s : refl->width;
            const double v = settings.m_lambda2 * 0.5 / refl->d;
            const bool second = v <= 1.0;
            const double c2 = second ? 2.0 * std::asin(v) * kRadToDeg : c;
            const double lo = std::min(c, c2) - k * w, hi = std::max(c, c2) + k * w;
            for (size_t i = 0; i < p.size(); ++i) {
                const double x = p[i].x, I = refl->intensity;
                if (x < lo || x > hi) continue;
                if (second)
                    y[i] += PeakShapeValue(type, x, c, w, settings.m_eta) * I * a1 +
                            PeakShapeValue(type, x, c2, w, settings.m_eta) * I * a2;
                else
                    y[i] += PeakShapeValue(type, x, c, w, settings.m_eta) * I;
            }
        }
        ASSERT_EQ(profiles[1].size(), p.size());
        for (size_t i = 0; i < p.size(); ++i) {
            ASSERT_EQ(p[i].y, y[i]) << i;
            ASSERT_EQ(profiles[1][i].y, y[i]) << i;
        }
        double widest = 0.0;
        for (const auto& refl : pattern.m_crystal.m_reflexions) widest = std::max(widest, k * refl->width);
        if (type != LXTypes::kProfileDelta) {
            EXPECT_GT(widest, 180.0) << "no peak spans the grid";
        }
    }
}

TEST_F(CrystalProfile, EveryShapeCoversExactlyTheGridPointsWithinItsCutOff)
{
    // Rock salt 002 at 31.7° and a line near the end of the grid, whose last point lies within
    // its cut-off; neither centre sits on a grid point.
    Add(2.8201, 10.0);
    auto last = Add(2.0, 5.0);
    last->x = 180.0 - 1.3 * Step();
    for (LXTypes::QLProfileType type : {LXTypes::kProfileDelta, LXTypes::kProfileLorentzian,
                                        LXTypes::kProfileGaussian, LXTypes::kProfilePseudoVoigt}) {
        SCOPED_TRACE(type);
        settings.m_profileType = type;
        pattern.ClearProfile();
        const CQLProfile& p = pattern.GetComputedProfile(settings);
        const double k = PeakCutOff(type, settings.m_eta);
        for (const auto& refl : pattern.m_crystal.m_reflexions) {
            const double c = refl->x;
            const double w = type == LXTypes::kProfileDelta ? 9.0 * Step() : refl->width;
            size_t inside = 0;
            for (const CQLProfilePoint& point : p) {
                if (std::fabs(point.x - c) > 1.5 * k * w) continue;
                const bool within = std::fabs(point.x - c) <= k * w;
                inside += within;
                const double expected = within ? PeakShapeValue(type, point.x, c, w, settings.m_eta) * refl->intensity : 0.0;
                ASSERT_EQ(point.y, expected) << "at " << point.x << " for the line at " << c;
            }
            EXPECT_GT(inside, 0u);
        }
        ASSERT_GT(p.back().y, 0.0) << "the last grid point lies within the last line's cut-off";
    }
}
