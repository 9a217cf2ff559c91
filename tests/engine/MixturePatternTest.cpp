// The mixture pattern: fraction balancing, the summed profile with offsets, labels across
// components, and rock salt mixed with itself through the whole chain.
#include "CrystalFixtures.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
// A component whose profile is given directly.
class CurvePattern : public CQLPattern
{
public:
    explicit CurvePattern(CQLProfile profile) : CQLPattern(true) { m_profile = std::move(profile); }
    CQLPatternPtr Clone() const override { return std::make_shared<CurvePattern>(*this); }
    bool HasData() const override { return !m_profile.empty(); }
};

CQLPatternPtr WithFraction(double fraction)
{
    auto p = std::make_shared<CurvePattern>(CQLProfile{});
    p->m_fraction = fraction;
    return p;
}

std::shared_ptr<CQLMixturePattern> MixtureOf(std::initializer_list<CQLPatternPtr> components)
{
    auto mixture = std::make_shared<CQLMixturePattern>(true);
    for (const CQLPatternPtr& p : components) mixture->m_components.push_back(p);
    return mixture;
}

std::vector<double> Fractions(const CQLMixturePattern& m)
{
    std::vector<double> out;
    for (const CQLPatternPtr& p : m.m_components) out.push_back(p->m_fraction);
    return out;
}

// Settings of a ten-point grid over 0..10: one step per unit of x.
CDiffractionSettings SmallGrid()
{
    CDiffractionSettings s(true);
    s.m_defaultXMin = 0.0;
    s.m_defaultXMax = 10.0;
    s.m_numProfilePoints = 10;
    return s;
}

std::shared_ptr<CQLCrystalPattern> Phase(const CQLCrystal& crystal, const wchar_t* title, double fraction,
                                          const CDiffractionSettings& settings)
{
    auto p = std::make_shared<CQLCrystalPattern>(true);
    p->m_crystal = crystal;
    p->m_title = title;
    p->m_fraction = fraction;
    p->ApplySettings(settings);
    return p;
}

std::shared_ptr<CQLCrystalPattern> RockSalt(const wchar_t* title, const CDiffractionSettings& settings)
{
    return Phase(crystalfixtures::NaCl(), title, 1.0, settings);
}
}  // namespace

TEST(MixturePattern, BalancesFractionsAfterAnEdit)
{
    const struct {
        const char* name;
        std::vector<double> before;  // the first is the one just set
        bool fillUp;
        std::vector<double> after;
    } cases[] = {
        {"two over one: the other gives the excess", {0.7, 0.5}, true, {0.7, 0.3}},
        {"three over one: the smallest gives first", {0.6, 0.5, 0.2}, true, {0.6, 0.35, 0.05}},
        {"a component at zero gives nothing", {0.9, 0.0, 0.4}, true, {0.9, 0.0, 0.1}},
        {"short of one with fill-up", {0.4, 0.2, 0.2}, true, {0.4, 0.3, 0.3}},
        {"short of one without fill-up", {0.4, 0.2, 0.2}, false, {0.4, 0.2, 0.2}},
        {"two: never below zero", {1.0, 0.3}, true, {1.0, 0.0}},
    };
    for (const auto& c : cases) {
        auto mixture = MixtureOf({});
        for (double f : c.before) mixture->m_components.push_back(WithFraction(f));
        mixture->m_fillUp = c.fillUp ? 1 : 0;
        mixture->m_profile = {{0.0, 1.0}};
        mixture->BalanceFractions(mixture->m_components.front());
        const std::vector<double> got = Fractions(*mixture);
        ASSERT_EQ(got.size(), c.after.size()) << c.name;
        for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.after[i], 1e-12) << c.name << " #" << i;
        EXPECT_TRUE(mixture->m_profile.empty()) << c.name;
        EXPECT_EQ(mixture->m_balancing, 0) << c.name;
    }
}

TEST(MixturePattern, EqualisesWhenComponentsComeAndGo)
{
    auto observed = std::make_shared<CQLObservedPattern>(true);
    auto a = WithFraction(0.9);
    auto mixture = MixtureOf({a, WithFraction(0.1), observed});
    CurvePattern stranger({});
    EXPECT_EQ(mixture->RemoveComponent(&stranger), 0);
    EXPECT_EQ(Fractions(*mixture), std::vector<double>(3, 1.0 / 3.0)) << "removing a stranger still equalises";
    EXPECT_EQ(observed->m_autoYScale, 0);
    EXPECT_EQ(observed->m_yScaleOn, 1);

    EXPECT_EQ(mixture->RemoveComponent(a.get()), 1);
    EXPECT_EQ(Fractions(*mixture), std::vector<double>(2, 0.5));
    EXPECT_DOUBLE_EQ(mixture->GetTotalFraction(), 1.0);
}

TEST(MixturePattern, RemovalFromTheTreeGoesThroughTheInnermostMixture)
{
    auto leaf = WithFraction(1.0);
    auto inner = MixtureOf({leaf, WithFraction(1.0), WithFraction(1.0)});
    auto outer = MixtureOf({inner, WithFraction(1.0)});
    CQLPatternList top{outer};
    ASSERT_TRUE(RemovePatternFromTree(leaf.get(), top));
    EXPECT_EQ(Fractions(*inner), std::vector<double>(2, 0.5));
    EXPECT_EQ(outer->m_components.size(), 2u);
    EXPECT_FALSE(RemovePatternFromTree(leaf.get(), top));
}

TEST(MixturePattern, ClonesShareComponentsAndQueriesSpanThem)
{
    const CDiffractionSettings settings(true);
    auto a = std::make_shared<CQLCrystalPattern>(true);
    auto b = std::make_shared<CQLCrystalPattern>(true);
    auto mixture = MixtureOf({a, b});
    EXPECT_EQ(mixture->m_title, CString(L"New Mixture"));
    EXPECT_EQ(mixture->m_labelPhaseName, 1);
    EXPECT_EQ(mixture->GetPatternType(), kPatternMixture);

    auto copy = std::static_pointer_cast<CQLMixturePattern>(mixture->Clone());
    ASSERT_EQ(copy->m_components.size(), 2u);
    EXPECT_EQ(copy->m_components.front().get(), a.get());

    EXPECT_DOUBLE_EQ(mixture->GetDefaultAxisMaximum(LXTypes::kAxis2Theta), 180.0);
    EXPECT_DOUBLE_EQ(mixture->GetDefaultAxisMinimum(LXTypes::kAxis2Theta), 0.0);
    auto empty = MixtureOf({});
    EXPECT_DOUBLE_EQ(empty->GetDefaultAxisMinimum(LXTypes::kAxis2Theta), 999.9);
    EXPECT_DOUBLE_EQ(empty->GetDefaultAxisMaximum(LXTypes::kAxis2Theta), 0.0);
    EXPECT_FALSE(empty->IsCalculated());
    EXPECT_TRUE(empty->HasData());
    EXPECT_TRUE(mixture->IsCalculated());
    EXPECT_TRUE(MixtureOf({mixture})->IsCalculated()) << "a crystal inside a nested mixture";
    EXPECT_FALSE(MixtureOf({std::make_shared<CQLObservedPattern>(true)})->IsCalculated());

    mixture->SetSelected(true);
    CQLPatternList top{std::make_shared<CQLObservedPattern>(true), mixture};
    EXPECT_EQ(FindFirstMixturePattern(top), mixture);
    EXPECT_EQ(CountMixturePatterns(top, false, false, false), 1);
    EXPECT_EQ(CountCrystalPatterns(top, false, false, false), 2);
}

TEST(MixturePattern, SumsComponentsOnItsGridWithTheirOffsets)
{
    CDiffractionSettings settings = SmallGrid();
    CQLProfile ramp;
    for (int i = 0; i < 10; ++i) ramp.push_back({double(i), double(i + 1)});
    auto plain = std::make_shared<CurvePattern>(ramp);
    plain->m_fraction = 0.5;
    plain->m_yScale = 2.0;
    plain->m_yOffset = 100.0;  // an offset moves the drawing only, never the sum
    auto shifted = std::make_shared<CurvePattern>(ramp);
    shifted->m_fraction = 0.25;
    shifted->m_xOffset = 2.5;  // two whole steps
    auto empty = std::make_shared<CurvePattern>(CQLProfile{});
    auto mixture = MixtureOf({plain, shifted, empty});

    const CQLProfile& sum = mixture->GetComputedProfile(settings);
    ASSERT_EQ(sum.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const double fromShifted = i >= 2 ? 0.25 * (i - 2 + 1) : 0.0;
        EXPECT_DOUBLE_EQ(sum[i].x, double(i));
        EXPECT_DOUBLE_EQ(sum[i].y, (i + 1) * 1.0 + fromShifted) << i;
    }

    shifted->m_xOffset = -1.0;
    mixture->ClearProfile();
    EXPECT_DOUBLE_EQ(mixture->GetComputedProfile(settings)[0].y, 1.0 + 0.25 * 2.0) << "a negative offset shifts left";
    EXPECT_DOUBLE_EQ(mixture->GetComputedProfile(settings)[9].y, 10.0) << "nothing shifted in past the end";
}

TEST(MixturePattern, AnObservedComponentIsShiftedOnce)
{
    CDiffractionSettings settings = SmallGrid();
    auto observed = std::make_shared<CQLObservedPattern>(CQLProfile{{0.0, 0.0}, {10.0, 10.0}}, true);
    observed->m_xOffset = 3.0;
    auto mixture = MixtureOf({observed});
    const CQLProfile& sum = mixture->GetComputedProfile(settings);
    ASSERT_EQ(sum.size(), 10u);
    EXPECT_DOUBLE_EQ(sum[2].y, 0.0);
    EXPECT_DOUBLE_EQ(sum[5].y, 2.0) << "the measured value of x 2 drawn at 5";
    EXPECT_DOUBLE_EQ(observed->GetIntensityAt(5.0), 2.0) << "where the plot draws it";
}

TEST(MixturePattern, TwoHalvesOfRockSaltAreRockSalt)
{
    CDiffractionSettings settings(true);
    auto whole = RockSalt(L"NaCl", settings);
    auto half1 = RockSalt(L"NaCl a", settings);
    auto half2 = RockSalt(L"NaCl b", settings);
    auto mixture = MixtureOf({half1, half2});
    mixture->EqualiseFractions();

    const CQLProfile& expected = whole->GetComputedProfile(settings);
    const CQLProfile& got = mixture->GetComputedProfile(settings);
    ASSERT_EQ(expected.size(), 72000u);
    ASSERT_EQ(got.size(), expected.size());
    double peak = 0.0;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].x, expected[i].x) << i;
        ASSERT_EQ(got[i].y, expected[i].y) << i;
        peak = std::max(peak, got[i].y);
    }
    EXPECT_GT(peak, 0.0);
}

// Each phase's pattern is per unit volume, so a weight fraction w enters the curve as the volume
// share (w/ρ)/Σ(w/ρ): rutile (4248 kg/m³) and rock salt (2164 kg/m³) at 0.7 : 0.3 by weight are
// 0.543 : 0.457 by volume. The fractions themselves stay as the user set them.
TEST(MixturePattern, WeightFractionsEnterTheCurveByVolume)
{
    CDiffractionSettings settings(true);
    auto rutile = Phase(crystalfixtures::Rutile(), L"Rutile", 0.7, settings);
    auto salt = Phase(crystalfixtures::NaCl(), L"Salt", 0.3, settings);
    auto mixture = MixtureOf({rutile, salt});
    const CQLProfile& sum = mixture->GetComputedProfile(settings);

    const double rhoR = rutile->m_crystal.m_density, rhoS = salt->m_crystal.m_density;
    EXPECT_NEAR(rhoR, 4248.0, 2.0);  // kg/m³
    EXPECT_NEAR(rhoS, 2164.0, 2.0);
    const double vR = (0.7 / rhoR) / (0.7 / rhoR + 0.3 / rhoS), vS = 1.0 - vR;
    const CQLProfile& pR = rutile->GetComputedProfile(settings);
    const CQLProfile& pS = salt->GetComputedProfile(settings);
    ASSERT_EQ(sum.size(), pR.size());
    ASSERT_EQ(sum.size(), pS.size());
    double peak = 0.0;
    for (const auto& point : sum) peak = std::max(peak, point.y);
    ASSERT_GT(peak, 0.0);
    for (size_t i = 0; i < sum.size(); ++i)
        ASSERT_NEAR(sum[i].y, vR * pR[i].y + vS * pS[i].y, 1e-12 * peak) << i;
    EXPECT_EQ(Fractions(*mixture), (std::vector<double>{0.7, 0.3}));
    EXPECT_NEAR(mixture->GetDensity(), 1.0 / (0.7 / rhoR + 0.3 / rhoS), 1e-12);

    // A mixture inside a mixture is a phase of the density its own fractions give.
    mixture->m_fraction = 0.5;
    auto outer = MixtureOf({mixture, Phase(crystalfixtures::Rutile(), L"Rutile too", 0.5, settings)});
    const std::vector<double> weights = outer->GetCurveWeights();
    const double inner = 0.5 / mixture->GetDensity(), other = 0.5 / rhoR;
    ASSERT_EQ(weights.size(), 2u);
    EXPECT_NEAR(weights[0], inner / (inner + other), 1e-12);
}

// The components the plot draws, marks and reads out must add up to the mixture: each counts at
// its share of the sum, not at its weight fraction.
TEST(MixturePattern, ComponentsAreDrawnAndReadAtTheirShareOfTheSum)
{
    CDiffractionSettings settings(true);
    auto rutile = Phase(crystalfixtures::Rutile(), L"Rutile", 0.7, settings);
    auto salt = Phase(crystalfixtures::NaCl(), L"Salt", 0.3, settings);
    rutile->m_yScale = 2.0;
    auto mixture = MixtureOf({rutile, salt});
    mixture->GetComputedProfile(settings);
    const std::vector<double> shares = mixture->GetCurveWeights();
    ASSERT_EQ(shares.size(), 2u);
    ASSERT_GT(std::abs(shares[0] - 0.7), 0.1) << "the densities differ enough to tell share from fraction";
    EXPECT_EQ(rutile->GetShare(), shares[0]);
    EXPECT_EQ(salt->GetShare(), shares[1]);
    EXPECT_EQ(rutile->GetDrawnScale(), 2.0 * shares[0]);

    // Near rutile 110, rock salt 200 and where both phases have lines.
    for (double x : {27.45, 31.7, 56.5}) {
        const double whole = mixture->GetIntensityAt(x);
        ASSERT_GT(whole, 0.0) << x;
        EXPECT_NEAR(rutile->GetIntensityAt(x) + salt->GetIntensityAt(x), whole, 1e-9 * whole) << x;
        EXPECT_NEAR(rutile->GetReadoutIntensityAt(x) + salt->GetReadoutIntensityAt(x), whole, 1e-9 * whole) << x;
    }

    // Outside a mixture the fraction scales as it stands: a copy, a pattern taken out of the list
    // behind the mixture's back, a top-level pattern.
    CQLPatternPtr copy = rutile->Clone();
    EXPECT_EQ(copy->GetShare(), 0.7);
    mixture->m_components.remove(salt);
    EXPECT_EQ(salt->GetShare(), 0.3);
    auto alone = Phase(crystalfixtures::Rutile(), L"Alone", 0.4, settings);
    EXPECT_EQ(alone->GetShare(), 0.4);
}

// A phase whose density cannot be computed (an element without a mass of its own) keeps its
// weight fraction; the others share what remains by volume, and the user is told once.
TEST(MixturePattern, APhaseOfUnknownDensityKeepsItsFractionAndIsNamedOnce)
{
    CDiffractionSettings settings(true);
    auto rutile = Phase(crystalfixtures::Rutile(), L"Rutile", 0.4, settings);
    auto salt = Phase(crystalfixtures::NaCl(), L"Salt", 0.2, settings);
    testing::internal::CaptureStderr();
    auto unknown = Phase(crystalfixtures::MakeCrystal(5, 5, 5, 90, 90, 90, L"P 1", {{L"Q1", L"Qq", 0, 0, 0}}),
                         L"Mystery", 0.4, settings);
    auto mixture = MixtureOf({rutile, unknown, salt});
    mixture->GetComputedProfile(settings);
    mixture->ClearProfile();
    mixture->GetComputedProfile(settings);
    const std::string alerts = testing::internal::GetCapturedStderr();

    const double rhoR = rutile->m_crystal.m_density, rhoS = salt->m_crystal.m_density;
    const std::vector<double> weights = mixture->GetCurveWeights();
    ASSERT_EQ(weights.size(), 3u);
    EXPECT_NEAR(weights[0], 0.6 * (0.4 / rhoR) / (0.4 / rhoR + 0.2 / rhoS), 1e-12);
    EXPECT_EQ(weights[1], 0.4);
    EXPECT_NEAR(weights[0] + weights[2], 0.6, 1e-12);
    EXPECT_EQ(mixture->GetDensity(), 0.0);
    const size_t first = alerts.find("Mystery");
    EXPECT_NE(first, std::string::npos) << alerts;
    EXPECT_EQ(alerts.find("Mystery", first + 1), std::string::npos) << alerts;
}

TEST(MixturePattern, LabelsComeFromEveryCrystalComponent)
{
    CDiffractionSettings settings(true);
    auto salt = RockSalt(L"Salt", settings);
    auto rutile = std::make_shared<CQLCrystalPattern>(true);
    rutile->m_crystal = crystalfixtures::Rutile();
    rutile->m_title = L"Rutile";
    rutile->ApplySettings(settings);
    ASSERT_FALSE(salt->m_crystal.m_reflexions.empty());
    ASSERT_FALSE(rutile->m_crystal.m_reflexions.empty());
    salt->m_fraction = 0.8;
    rutile->m_fraction = 0.2;
    auto mixture = MixtureOf({salt, rutile});
    mixture->m_showLabels = 1;
    mixture->m_labelThreshold = 0.0;
    mixture->m_labelRelIntensity = 1;
    mixture->m_xOffset = 1.0;
    mixture->GetComputedProfile(settings);

    CQLPeakLabelList labels;
    mixture->CollectPeaks(0.0, 181.0, labels);
    const double strongest = std::max(0.8 * salt->m_crystal.m_maxIntensity, 0.2 * rutile->m_crystal.m_maxIntensity);
    size_t fromSalt = 0, fromRutile = 0, at100 = 0;
    for (const CQLPeakLabel& label : labels) {
        EXPECT_EQ(label.pattern, mixture.get());
        const bool isSalt = label.text.Find(L"Salt") == 0;
        EXPECT_TRUE(isSalt || label.text.Find(L"Rutile") == 0) << label.text.ToUtf8();
        (isSalt ? fromSalt : fromRutile)++;
        if (label.text.Find(L"100%") >= 0) ++at100;
    }
    EXPECT_EQ(fromSalt, salt->m_crystal.m_reflexions.size());
    EXPECT_EQ(fromRutile, rutile->m_crystal.m_reflexions.size());
    EXPECT_EQ(at100, 1u) << "relative to the strongest weighted reflexion of all components";
    EXPECT_GT(strongest, 0.0);

    // A threshold keeps only the weighted reflexions above it; the plotted x carries the mixture's offset.
    mixture->m_labelThreshold = 50.0;
    mixture->CollectPeaks(0.0, 181.0, labels);
    ASSERT_FALSE(labels.empty());
    for (const CQLPeakLabel& label : labels) EXPECT_EQ(label.text.Find(L"Rutile"), -1) << label.text.ToUtf8();
    const auto& first = salt->m_crystal.m_reflexions;
    bool found = false;
    for (const auto& r : first)
        if (labels.front().x == r->x + 1.0) found = true;
    EXPECT_TRUE(found);
    EXPECT_DOUBLE_EQ(labels.front().y, mixture->GetIntensityAt(labels.front().x));

    mixture->m_showLabels = 0;
    mixture->CollectPeaks(0.0, 181.0, labels);
    EXPECT_TRUE(labels.empty());
}
