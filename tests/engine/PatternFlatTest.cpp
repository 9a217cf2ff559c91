// The flat byte form: each kind read back as it was written, whole species names, the
// transfer block's same-process rule, and blocks that end early or carry unknown kinds.
#include "CrystalFixtures.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QLPatternFlat.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
using crystalfixtures::MakeCrystal;

std::vector<std::uint8_t> Flat(const CQLPattern& p, std::uint64_t* written = nullptr)
{
    std::vector<std::uint8_t> bytes(size_t(p.GetFlatSize()), 0);
    std::uint8_t* cursor = bytes.data();
    const std::uint64_t n = p.Flatten(cursor);
    EXPECT_EQ(n, std::uint64_t(cursor - bytes.data()));
    EXPECT_LE(n, bytes.size()) << "Flatten wrote past its announced size";
    if (written) *written = n;
    bytes.resize(size_t(n));
    return bytes;
}

CQLPatternPtr Unflat(const std::vector<std::uint8_t>& bytes)
{
    CQLFlatReader reader(bytes.data(), bytes.size());
    const std::uint32_t kind = reader.Read<std::uint32_t>();
    CQLPatternPtr p = ReadFlatPattern(kind, reader);
    EXPECT_EQ(reader.Remaining(), 0u);
    return p;
}

std::shared_ptr<CQLCrystalPattern> CrystalPattern(CQLCrystal crystal, const wchar_t* title)
{
    auto p = std::make_shared<CQLCrystalPattern>(true);
    p->m_crystal = std::move(crystal);
    p->m_title = title;
    return p;
}

// Lithium hydride in the rock-salt structure, given as ions.
CQLCrystal LithiumHydride()
{
    return MakeCrystal(4.083, 4.083, 4.083, 90, 90, 90, L"F m -3 m",
                       {{L"Li1", L"Li+1", 0, 0, 0}, {L"H1", L"H-1", 0.5, 0.5, 0.5}});
}

void ExpectSameReflexions(const CQLCrystal& a, const CQLCrystal& b)
{
    ASSERT_EQ(a.m_reflexions.size(), b.m_reflexions.size());
    ASSERT_FALSE(a.m_reflexions.empty());
    for (size_t i = 0; i < a.m_reflexions.size(); ++i) {
        const CQLReflexion& x = *a.m_reflexions[i];
        const CQLReflexion& y = *b.m_reflexions[i];
        EXPECT_EQ(x.h, y.h);
        EXPECT_EQ(x.k, y.k);
        EXPECT_EQ(x.l, y.l);
        EXPECT_EQ(x.multiplicity, y.multiplicity) << x.h << x.k << x.l;
        EXPECT_NEAR(x.d, y.d, 1e-12);
        EXPECT_NEAR(x.intensity, y.intensity, 1e-9 * x.intensity) << x.h << " " << x.k << " " << x.l;
    }
}
}  // namespace

TEST(PatternFlat, CrystalCarriesWholeSpeciesNamesAndComputesAlike)
{
    CDiffractionSettings settings(true);
    auto original = CrystalPattern(LithiumHydride(), L"LiH");
    original->ApplySettings(settings);
    original->SetFilePath(L"/data/LiH.cif");
    original->m_title = L"Lithium hydride";
    original->m_xOffset = 0.25;
    original->m_fraction = 0.5;
    original->m_labelDSpacing = 1;
    original->m_showOverlay = 1;
    original->m_selected = 1;
    original->m_settingsPending = 1;
    original->m_crystal.m_particleSize = 500.0;
    original->m_crystal.m_usePreferredOrientation = 1;
    original->m_crystal.m_poVector = {0.0, 0.0, 1.0};
    original->GetComputedProfile(settings);

    std::uint64_t written = 0;
    const std::vector<std::uint8_t> bytes = Flat(*original, &written);
    EXPECT_EQ(written, original->GetFlatSize());
    EXPECT_EQ(bytes[0], 2u);
    auto copy = std::dynamic_pointer_cast<CQLCrystalPattern>(Unflat(bytes));
    ASSERT_NE(copy, nullptr);

    EXPECT_EQ(copy->m_title, CString(L"Lithium hydride"));
    EXPECT_EQ(copy->GetFilePath(), CString(L"/data/LiH.cif"));
    EXPECT_EQ(copy->m_color, original->m_color);
    EXPECT_EQ(copy->m_xOffset, 0.25);
    EXPECT_EQ(copy->m_fraction, 0.5);
    EXPECT_EQ(copy->m_labelDSpacing, 1);
    EXPECT_EQ(copy->m_showOverlay, 1);
    EXPECT_EQ(copy->m_selected, 0);
    EXPECT_EQ(copy->m_settingsPending, 0);
    EXPECT_EQ(copy->m_crystal.m_particleSize, 500.0);
    EXPECT_EQ(copy->m_crystal.m_usePreferredOrientation, 1);
    EXPECT_EQ(copy->m_crystal.m_poVector[2], 1.0);
    EXPECT_EQ(copy->m_profile.size(), original->m_profile.size());
    EXPECT_EQ(copy->m_crystal.m_reflexions.size(), original->m_crystal.m_reflexions.size());

    ASSERT_EQ(copy->m_crystal.m_sites.size(), 2u);
    const CQLSite& hydride = copy->m_crystal.m_sites[1];
    EXPECT_TRUE(hydride.m_label.IsEmpty()) << "labels do not travel";
    ASSERT_EQ(hydride.m_species.size(), 1u);
    EXPECT_EQ(hydride.m_species[0].m_name, CString(L"H-1"));
    EXPECT_STREQ(hydride.m_species[0].m_asf.GetSymbol(), L"H-1") << "the hydride's own record, not silicon";
    EXPECT_EQ(hydride.m_species[0].m_asf.m_Z, 1);
    EXPECT_EQ(copy->m_crystal.m_sites[0].m_species[0].m_name, CString(L"Li+1"));
    EXPECT_EQ(copy->m_crystal.m_latticeLetter, 'F') << "the lattice comes back from the operators";

    // Recomputed on the receiving side, it gives the sender's reflexions.
    original->m_crystal.m_usePreferredOrientation = 0;
    copy->m_crystal.m_usePreferredOrientation = 0;
    original->ApplySettings(settings);
    copy->ApplySettings(settings);
    ExpectSameReflexions(original->m_crystal, copy->m_crystal);
}

TEST(PatternFlat, AnisotropicSitesKeepTheirTurnedImages)
{
    const double u[9] = {0.010, 0.004, 0.002, 0.004, 0.030, 0.005, 0.002, 0.005, 0.015};
    CQLCrystal p2 = MakeCrystal(5, 6, 7, 90, 100, 90, L"P 1 2 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}});
    p2.m_sites[0].m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(u, p2.m_aStar, p2.m_bStar, p2.m_cStar);
    p2.ExpandSitesBySymmetry();
    auto original = CrystalPattern(std::move(p2), L"P2");
    auto copy = std::dynamic_pointer_cast<CQLCrystalPattern>(Unflat(Flat(*original)));
    ASSERT_NE(copy, nullptr);
    const auto* tensor = dynamic_cast<const CQLAnisoThermalEllipsoid*>(copy->m_crystal.m_sites[0].m_displacement.get());
    ASSERT_NE(tensor, nullptr);
    const auto* sent = dynamic_cast<const CQLAnisoThermalEllipsoid*>(original->m_crystal.m_sites[0].m_displacement.get());
    for (int i = 0; i < 9; ++i) EXPECT_EQ(tensor->m_beta[i], sent->m_beta[i]);
    EXPECT_EQ(tensor->m_u, sent->m_u);

    CDiffractionSettings settings(true);
    original->ApplySettings(settings);
    copy->ApplySettings(settings);
    ExpectSameReflexions(original->m_crystal, copy->m_crystal);
}

TEST(PatternFlat, MixtureCarriesItsComponentsInOrder)
{
    auto salt = CrystalPattern(crystalfixtures::NaCl(), L"Salt");
    auto rutile = CrystalPattern(crystalfixtures::Rutile(), L"Rutile");
    auto data = std::make_shared<CQLObservedPattern>(CQLProfile{{1.0, 2.0}, {3.0, 4.0}}, true);
    data->m_title = L"Scan";
    auto inner = std::make_shared<CQLMixturePattern>(true);
    inner->m_components = {rutile, data};
    auto mixture = std::make_shared<CQLMixturePattern>(true);
    mixture->m_title = L"My mix";
    mixture->m_components = {salt, inner};
    mixture->m_fillUp = 0;
    mixture->m_expanded = 0;
    mixture->m_flag = 1;
    salt->m_fraction = 0.3;

    std::uint64_t written = 0;
    const std::vector<std::uint8_t> bytes = Flat(*mixture, &written);
    EXPECT_LE(written, mixture->GetFlatSize());
    EXPECT_EQ(bytes[0], 4u) << "the mixture's kind code";
    // The first component's form follows the image, three empty blocks, the points and the count.
    const size_t firstComponent = 4 + 248 + 24 + 8 + 8;
    EXPECT_EQ(bytes[firstComponent], 2u);

    auto copy = std::dynamic_pointer_cast<CQLMixturePattern>(Unflat(bytes));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_title, CString(L"New Mixture")) << "a mixture's title does not travel";
    EXPECT_EQ(copy->m_fillUp, 0);
    EXPECT_EQ(copy->m_expanded, 1);
    EXPECT_EQ(copy->m_flag, 1);
    ASSERT_EQ(copy->m_components.size(), 2u);
    EXPECT_EQ(copy->m_components.front()->m_title, CString(L"Salt"));
    EXPECT_EQ(copy->m_components.front()->m_fraction, 0.3);
    auto copiedInner = std::dynamic_pointer_cast<CQLMixturePattern>(copy->m_components.back());
    ASSERT_NE(copiedInner, nullptr);
    ASSERT_EQ(copiedInner->m_components.size(), 2u);
    EXPECT_EQ(copiedInner->m_components.front()->GetPatternType(), kPatternCrystal);
    EXPECT_EQ(copiedInner->m_components.back()->m_title, CString(L"Scan"));
}

TEST(PatternFlat, ObservedCarriesItsCurvesAndStyles)
{
    CQLProfile points;
    for (int i = 0; i < 30; ++i) points.push_back({10.0 + i, 100.0 + (i % 7) * 3.0});
    CQLObservedPattern original(points, true);
    original.m_title = L"Run 7";
    original.SetFilePath(L"/data/run7.xy");
    original.m_title = L"Run 7";
    original.m_smoothing = 1;
    original.m_smoothingPoints = 2;
    original.m_subtractBackground = 1;
    original.m_previewSubtraction = 0;
    original.m_smoothedStyle.lineWidth = 1.5f;
    original.m_backgroundStyle.color = 0xFF112233u;
    original.m_extraStyle.markerSize = 7.0f;
    original.AddBackgroundCurve();
    original.AddBackgroundPoint();
    original.m_controlPoints[1].flag = 1.0;
    original.ComputeSmoothedCurve();
    CDiffractionSettings settings(true);
    original.GetComputedProfile(settings);

    std::uint64_t written = 0;
    const std::vector<std::uint8_t> bytes = Flat(original, &written);
    EXPECT_EQ(written, original.GetFlatSize());
    auto copy = std::dynamic_pointer_cast<CQLObservedPattern>(Unflat(bytes));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_title, CString(L"Run 7"));
    EXPECT_EQ(copy->GetFilePath(), CString(L"/data/run7.xy"));
    EXPECT_EQ(copy->m_smoothing, 1);
    EXPECT_EQ(copy->m_smoothingPoints, 2);
    EXPECT_EQ(copy->m_previewSubtraction, 0);
    EXPECT_EQ(copy->m_smoothedStyle.lineWidth, 1.5f);
    EXPECT_EQ(copy->m_backgroundStyle.color, 0xFF112233u);
    EXPECT_EQ(copy->m_extraStyle.markerSize, 7.0f);
    ASSERT_EQ(copy->m_controlPoints.size(), 3u);
    EXPECT_EQ(copy->m_controlPoints[1].flag, 1.0);
    EXPECT_EQ(copy->m_controlPoints[1].owner, copy.get());
    EXPECT_EQ(copy->m_controlPoints[2].leftX, original.m_controlPoints[2].leftX);
    EXPECT_EQ(copy->m_backgroundCurve.size(), original.m_backgroundCurve.size());
    EXPECT_EQ(copy->m_smoothedCurve.size(), 26u);
    EXPECT_EQ(copy->m_processedCurve.size(), original.m_processedCurve.size());
    EXPECT_EQ(copy->m_interpolatedCurve.size(), original.m_interpolatedCurve.size());
    EXPECT_EQ(copy->GetProfile(true).size(), 30u);
    EXPECT_EQ(copy->GetProfile(true)[29].y, points[29].y);
    EXPECT_EQ(copy->GetBackgroundAt(20.0), original.GetBackgroundAt(20.0));
    CString a, b;
    original.GetLegendText(a);
    copy->GetLegendText(b);
    EXPECT_EQ(a, b);
}

TEST(PatternFlat, TransferBlockFromThisProcessIsNotParsed)
{
    CQLPatternList list{CrystalPattern(crystalfixtures::NaCl(), L"Salt"),
                        std::make_shared<CQLObservedPattern>(CQLProfile{{1.0, 1.0}}, true)};
    const std::vector<std::uint8_t> block = FlattenPatternList(list, 4242u, 0x1234u);
    std::uint64_t expected = 20;
    for (const CQLPatternPtr& p : list) expected += p->GetFlatSize();
    EXPECT_EQ(block.size(), expected);

    CQLFlatDrop same = ReadFlatPatternList(block.data(), block.size(), 4242u);
    EXPECT_TRUE(same.sameProcess);
    EXPECT_EQ(same.listAddress, 0x1234u);
    EXPECT_TRUE(same.patterns.empty());

    CQLFlatDrop other = ReadFlatPatternList(block.data(), block.size(), 7u);
    EXPECT_FALSE(other.sameProcess);
    ASSERT_EQ(other.patterns.size(), 2u);
    EXPECT_EQ(other.patterns.front()->m_title, CString(L"Salt"));
    EXPECT_EQ(other.patterns.back()->GetPatternType(), kPatternObserved);
}

TEST(PatternFlat, DamagedBlocksKeepOnlyWholePatterns)
{
    auto salt = CrystalPattern(crystalfixtures::NaCl(), L"Salt");
    auto data = std::make_shared<CQLObservedPattern>(CQLProfile{{1.0, 1.0}, {2.0, 3.0}}, true);
    const std::vector<std::uint8_t> block = FlattenPatternList({salt, data}, 1u, 0u);
    const size_t saltEnd = 20 + size_t(Flat(*salt).size());

    // Cut at every length: nothing is read past the end, and only whole patterns are kept.
    for (size_t cut = 0; cut < block.size(); ++cut) {
        const std::vector<std::uint8_t> part(block.begin(), block.begin() + cut);
        CQLFlatDrop drop = ReadFlatPatternList(part.data(), part.size(), 2u);
        ASSERT_EQ(drop.patterns.size(), cut >= saltEnd ? 1u : 0u) << cut;
    }

    // An unknown kind ends the reading; what came before stays.
    std::vector<std::uint8_t> unknown = block;
    unknown[saltEnd] = 3;
    EXPECT_EQ(ReadFlatPatternList(unknown.data(), unknown.size(), 2u).patterns.size(), 1u);

    // A count far beyond the block is refused before anything is allocated for it.
    std::vector<std::uint8_t> huge = block;
    const std::uint64_t count = ~std::uint64_t(0) / 2;
    std::memcpy(huge.data() + 12, &count, 8);
    EXPECT_EQ(ReadFlatPatternList(huge.data(), huge.size(), 2u).patterns.size(), 0u);
    std::memcpy(huge.data() + 12, block.data() + 12, 8);
    std::memcpy(huge.data() + 20 + 4 + 696, &count, 8);  // the crystal's file-path length
    EXPECT_EQ(ReadFlatPatternList(huge.data(), huge.size(), 2u).patterns.size(), 0u);
}

namespace {
int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}
}  // namespace

// A damaged block gave a crystal with b = 1.4e308 Å, which was added and shown: a cell no editor
// takes leaves its pattern out, by name, at the top and inside a mixture, and the rest is kept.
TEST(PatternFlat, CrystalsWithCellsNoEditorTakesAreLeftOutByName)
{
    const double nan = std::nan(""), inf = INFINITY;
    struct Case {
        const char* what;
        double CQLCrystal::*field;
        double value;
        bool kept;
    } cases[] = {
        {"b of 1.4e308", &CQLCrystal::m_b, 1.4e308, false},
        {"a not a number", &CQLCrystal::m_a, nan, false},
        {"c infinite", &CQLCrystal::m_c, inf, false},
        {"a negative length", &CQLCrystal::m_a, -5.64, false},
        {"c beyond 10000", &CQLCrystal::m_c, 2e4, false},
        {"alpha below 1", &CQLCrystal::m_alpha, 0.5, false},
        {"gamma above 179", &CQLCrystal::m_gamma, 179.5, false},
        {"the shortest edge", &CQLCrystal::m_a, 0.0001, true},
        {"the widest angle", &CQLCrystal::m_beta, 179.0, true},
    };
    for (const Case& c : cases) {
        CQLCrystal odd = crystalfixtures::NaCl();
        odd.*c.field = c.value;
        auto mixture = std::make_shared<CQLMixturePattern>(true);
        mixture->m_components = {CrystalPattern(odd, L"Odd part"), CrystalPattern(crystalfixtures::NaCl(), L"Part")};
        const std::vector<std::uint8_t> block = FlattenPatternList(
            {CrystalPattern(odd, L"Odd salt"), CrystalPattern(crystalfixtures::NaCl(), L"Salt"), mixture}, 1u, 0u);

        testing::internal::CaptureStderr();
        const CQLFlatDrop drop = ReadFlatPatternList(block.data(), block.size(), 2u);
        const std::string alerts = testing::internal::GetCapturedStderr();

        std::vector<CString> titles;
        for (const CQLPatternPtr& p : drop.patterns) titles.push_back(p->m_title);
        std::vector<CString> expected{L"Odd salt", L"Salt", mixture->m_title};
        if (!c.kept) expected.erase(expected.begin());
        ASSERT_EQ(titles.size(), expected.size()) << c.what;
        EXPECT_EQ(titles.back(), CString(L"New Mixture")) << c.what;
        EXPECT_EQ(titles.at(titles.size() - 2), CString(L"Salt")) << c.what;
        const CQLPatternList* parts = drop.patterns.back()->GetComponents();
        ASSERT_NE(parts, nullptr) << c.what;
        ASSERT_EQ(parts->size(), c.kept ? 2u : 1u) << c.what;
        EXPECT_EQ(parts->back()->m_title, CString(L"Part")) << c.what;
        EXPECT_EQ(Occurrences(alerts, "The unit cell of Odd salt is out of range"), c.kept ? 0 : 1) << c.what << alerts;
        EXPECT_EQ(Occurrences(alerts, "The unit cell of Odd part is out of range"), c.kept ? 0 : 1) << c.what << alerts;
        EXPECT_EQ(Occurrences(alerts, "out of range"), c.kept ? 0 : 2) << c.what << alerts;
    }
}

namespace {
// The block of `levels` mixtures, each the only component of the one around it, around one scan.
std::vector<std::uint8_t> NestedMixtures(size_t levels)
{
    auto scan = std::make_shared<CQLObservedPattern>(CQLProfile{{1.0, 1.0}, {2.0, 3.0}}, true);
    auto mixture = std::make_shared<CQLMixturePattern>(true);
    mixture->m_components = {scan};
    const std::vector<std::uint8_t> one = Flat(*mixture);
    // A mixture's form up to its first component: kind, image, three empty blocks, points, count.
    const size_t head = 4 + 248 + 24 + 8 + 8;
    std::vector<std::uint8_t> block(20, 0);
    const std::uint64_t count = 1;
    std::memcpy(block.data() + 12, &count, 8);
    for (size_t i = 0; i < levels; ++i) block.insert(block.end(), one.begin(), one.begin() + head);
    block.insert(block.end(), one.begin() + head, one.end());
    return block;
}

size_t Depth(const CQLPatternPtr& p)
{
    size_t depth = 0;
    for (auto m = std::dynamic_pointer_cast<CQLMixturePattern>(p); m && !m->m_components.empty();
         m = std::dynamic_pointer_cast<CQLMixturePattern>(m->m_components.front()))
        ++depth;
    return depth;
}

// A crystal form whose operator block is replaced by `ops`.
std::vector<std::uint8_t> CrystalWithOperators(const std::vector<CSymmetryOperator>& ops)
{
    auto crystal = CrystalPattern(MakeCrystal(5, 5, 5, 90, 90, 90, L"P 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}}), L"X");
    const std::vector<std::uint8_t> form = Flat(*crystal);
    const size_t at = 4 + 696 + size_t(FlatStringSize(crystal->GetFilePath()) + FlatStringSize(crystal->m_title));
    std::uint64_t carried = 0;
    std::memcpy(&carried, form.data() + at, 8);
    std::vector<std::uint8_t> block(20, 0);
    const std::uint64_t count = 1;
    std::memcpy(block.data() + 12, &count, 8);
    block.insert(block.end(), form.begin(), form.begin() + at);
    std::uint8_t* cursor = nullptr;
    std::vector<std::uint8_t> opBytes(8 + 96 * ops.size());
    cursor = opBytes.data();
    WriteFlat<std::uint64_t>(cursor, ops.size());
    for (const CSymmetryOperator& op : ops) {
        for (const auto& row : op.m_rotation)
            for (double v : row) WriteFlat(cursor, v);
        for (double v : op.m_translation) WriteFlat(cursor, v);
    }
    block.insert(block.end(), opBytes.begin(), opBytes.end());
    block.insert(block.end(), form.begin() + at + 8 + 96 * size_t(carried), form.end());
    return block;
}
}  // namespace

TEST(PatternFlat, MixturesNestedBeyondTheLimitAreRefused)
{
    const struct {
        size_t levels;
        size_t patterns;
    } cases[] = {{1, 1}, {kMaxFlatNesting, 1}, {kMaxFlatNesting + 1, 0}, {100000, 0}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> block = NestedMixtures(c.levels);
        const CQLFlatDrop drop = ReadFlatPatternList(block.data(), block.size(), 2u);
        ASSERT_EQ(drop.patterns.size(), c.patterns) << c.levels;
        if (c.patterns) {
            EXPECT_EQ(Depth(drop.patterns.front()), c.levels);
        }
    }
}

TEST(PatternFlat, OperatorsAreCheckedBeforeTheyAreExpanded)
{
    const CSymmetryOperator identity(L"x,y,z");
    const CSymmetryOperator inversion(L"-x,-y,-z");
    CSymmetryOperator half = identity;
    half.m_rotation[0][0] = 0.5;
    CSymmetryOperator flat = identity;
    flat.m_rotation[2][2] = 0.0;
    CSymmetryOperator notANumber = identity;
    notANumber.m_translation[1] = std::nan("");

    std::vector<CSymmetryOperator> many(kMaxFlatOperators, identity);
    for (size_t i = 0; i < many.size(); ++i) many[i].m_translation[0] = double(i) / double(many.size());
    std::vector<CSymmetryOperator> tooMany = many;
    tooMany.push_back(inversion);

    const struct {
        const char* what;
        std::vector<CSymmetryOperator> ops;
        size_t patterns;
    } cases[] = {
        {"P -1", {identity, inversion}, 1},
        {"192 operators", many, 1},
        {"193 operators", tooMany, 0},
        {"a half in the rotation", {identity, half}, 0},
        {"a singular rotation", {identity, flat}, 0},
        {"a translation that is no number", {identity, notANumber}, 0},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> block = CrystalWithOperators(c.ops);
        const CQLFlatDrop drop = ReadFlatPatternList(block.data(), block.size(), 2u);
        EXPECT_EQ(drop.patterns.size(), c.patterns) << c.what;
    }
}
