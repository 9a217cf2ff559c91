// The pattern base: plotted-value queries, legend, colours, the tree walks and queries, the factory.
#include "QLCrystalPattern.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {
// A pattern with a component list, standing where a mixture stands in the tree.
class GroupPattern : public CQLPattern
{
public:
    explicit GroupPattern(const wchar_t* title) : CQLPattern(true) { m_title = title; }
    CQLPatternList* GetComponents() override { return &components; }
    const CQLPatternList* GetComponents() const override { return &components; }
    CQLPatternPtr Clone() const override { return std::make_shared<GroupPattern>(*this); }
    bool HasData() const override { return !components.empty(); }
    std::int32_t GetPatternType() const override { return kPatternMixture; }
    CQLPatternList components;
};

// A plain pattern that only carries a profile.
class CurvePattern : public CQLPattern
{
public:
    explicit CurvePattern(const wchar_t* title = L"curve") : CQLPattern(true) { m_title = title; }
    CQLPatternPtr Clone() const override { return std::make_shared<CurvePattern>(*this); }
    bool HasData() const override { return !m_profile.empty(); }
};

std::shared_ptr<CQLCrystalPattern> Crystal(const wchar_t* title, bool shown = true, bool selected = false)
{
    auto p = std::make_shared<CQLCrystalPattern>(true);
    p->m_title = title;
    p->SetShown(shown);
    p->m_selected = selected;
    return p;
}

std::vector<CString> Titles(const CQLPatternList& list)
{
    std::vector<CString> out;
    for (const CQLPatternPtr& p : list) out.push_back(p->m_title);
    return out;
}
}  // namespace

TEST(Pattern, NewPatternsCarryTheirKindsTitleAndNoColour)
{
    CurvePattern base;
    CQLCrystalPattern crystal(true);
    EXPECT_EQ(crystal.m_title, CString(L"New Crystal"));
    EXPECT_EQ(crystal.m_labelHKL, 1);
    EXPECT_EQ(crystal.GetPatternType(), kPatternCrystal);
    EXPECT_EQ(base.GetPatternType(), kPatternBase);
    EXPECT_EQ(crystal.m_color >> 24, 0u);
    EXPECT_TRUE(crystal.m_profile.empty());
    EXPECT_DOUBLE_EQ(crystal.GetDefaultAxisMaximum(LXTypes::kAxisTimeOfFlight), 500.0);
    EXPECT_DOUBLE_EQ(base.GetDefaultAxisMaximum(LXTypes::kAxis2Theta), 0.0);
}

TEST(Pattern, RangeExtremesAndInterpolationUsePlottedValues)
{
    CurvePattern p;
    p.m_profile = {{0.0, 2.0}, {1.0, 6.0}, {2.0, -1.0}, {3.0, 4.0}};
    p.m_xOffset = 10.0;
    p.m_yOffset = 1.0;
    p.m_yScale = 2.0;
    p.m_fraction = 0.5;  // y × 2 × 0.5 + 1
    EXPECT_DOUBLE_EQ(p.GetMaxIntensityInRange(0.0, 0.0), 7.0);
    EXPECT_DOUBLE_EQ(p.GetMinIntensityInRange(0.0, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(p.GetMaxIntensityInRange(11.5, 13.0), 5.0);
    EXPECT_DOUBLE_EQ(p.GetMinIntensityInRange(13.0, 20.0), 5.0);
    EXPECT_DOUBLE_EQ(p.GetMaxIntensityInRange(0.5, 1.0), 0.0) << "no point in range";

    EXPECT_DOUBLE_EQ(p.GetIntensityAt(10.25), 2.0 + 0.25 * 4.0 + 1.0);
    EXPECT_DOUBLE_EQ(p.GetIntensityAt(11.75), 6.0 - 0.75 * 7.0 + 1.0);
    EXPECT_DOUBLE_EQ(p.GetIntensityAt(13.0), 4.0 + 1.0);
    EXPECT_DOUBLE_EQ(p.GetIntensityAt(10.0), 2.0 + 1.0);
    EXPECT_EQ(p.GetIntensityAt(9.99), 0.0);
    EXPECT_EQ(p.GetIntensityAt(13.01), 0.0);
    p.m_profile.resize(1);
    EXPECT_EQ(p.GetIntensityAt(10.0), 0.0);
}

TEST(Pattern, LegendShowsAFractionBelowOne)
{
    CurvePattern p(L"A");
    CString text;
    p.m_fraction = 0.5;
    p.GetLegendText(text);
    EXPECT_EQ(text, CString(L"0.50  A"));
    p.m_fraction = 1.0;
    p.GetLegendText(text);
    EXPECT_EQ(text, CString(L"A"));
}

TEST(Pattern, ApplySettingsColoursFromTheRotatingTableOnlyOnce)
{
    CDiffractionSettings settings(true);
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < 16; ++i) {
        CurvePattern p;
        p.m_profile = {{0.0, 1.0}};
        p.ApplySettings(settings);
        EXPECT_TRUE(p.m_profile.empty());
        colours.push_back(p.m_color);
    }
    int start = -1;
    for (int i = 0; i < 15; ++i)
        if (g_DefaultPatternColors[i] == colours[0]) start = i;
    ASSERT_GE(start, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(colours[i], g_DefaultPatternColors[(start + i) % 15]) << i;
    EXPECT_EQ(colours[15], colours[0]);

    CurvePattern coloured;
    coloured.m_color = 0xFF123456u;
    coloured.ApplySettings(settings);
    EXPECT_EQ(coloured.m_color, 0xFF123456u);
}

TEST(Pattern, CopySettingsNeedsTheSameKind)
{
    CurvePattern curve;
    CQLCrystalPattern crystal(true);
    try {
        CQLPattern::CopyPatternSettings(curve, crystal);
        FAIL() << "no exception";
    } catch (const std::bad_cast& e) {
        EXPECT_STREQ(e.what(), "bad cast");
    }
    CurvePattern from(L"source");
    from.m_yScale = 3.0;
    from.m_profile = {{1.0, 2.0}};
    CQLPattern::CopyPatternSettings(curve, from);
    EXPECT_EQ(curve.m_title, CString(L"source"));
    EXPECT_EQ(curve.m_yScale, 3.0);
    EXPECT_EQ(curve.m_profile.size(), 1u);
}

TEST(Pattern, ProfileMissingOnlyWhereSomethingShownNeedsOne)
{
    CurvePattern p;
    EXPECT_FALSE(p.IsProfileMissing());
    p.SetShown(true);
    EXPECT_TRUE(p.IsProfileMissing());
    p.m_profile = {{0.0, 0.0}};
    EXPECT_FALSE(p.IsProfileMissing());

    GroupPattern group(L"g");
    EXPECT_FALSE(group.IsProfileMissing());
    auto part = Crystal(L"part", false);
    group.components.push_back(part);
    EXPECT_FALSE(group.IsProfileMissing());
    part->SetShown(true);
    EXPECT_TRUE(group.IsProfileMissing());
}

class PatternTree : public ::testing::Test
{
protected:
    // top: a, outer(b, inner(c, d)), e
    PatternTree()
    {
        a = Crystal(L"a", true, true);
        b = Crystal(L"b", false, true);
        c = Crystal(L"c", true, false);
        d = Crystal(L"d", true, true);
        e = Crystal(L"e", false, false);
        outer = std::make_shared<GroupPattern>(L"outer");
        inner = std::make_shared<GroupPattern>(L"inner");
        inner->components = {c, d};
        outer->components = {b, inner};
        outer->SetShown(true);
        top = {a, outer, e};
    }

    std::shared_ptr<CQLCrystalPattern> a, b, c, d, e;
    std::shared_ptr<GroupPattern> outer, inner;
    CQLPatternList top;
};

TEST_F(PatternTree, CountsWithFiltersAndDepth)
{
    EXPECT_EQ(CountPatterns(top, false, false, true), 3);
    EXPECT_EQ(CountPatterns(top, false, false, false), 7);
    EXPECT_EQ(CountCrystalPatterns(top, false, false, false), 5);
    EXPECT_EQ(CountCrystalPatterns(top, true, false, false), 3);
    EXPECT_EQ(CountCrystalPatterns(top, true, true, false), 2);
    EXPECT_EQ(CountCrystalPatterns(top, false, true, true), 1);
    // Components count even when their group fails the filter.
    outer->SetShown(false);
    EXPECT_EQ(CountCrystalPatterns(top, false, true, false), 3);
}

TEST_F(PatternTree, CollectsInTreeOrderWithComponentsBeforeOrAfter)
{
    using V = std::vector<CString>;
    EXPECT_EQ(Titles(CollectPatterns(top, false, false, false)), (V{L"a", L"outer", L"b", L"inner", L"c", L"d", L"e"}));
    EXPECT_EQ(Titles(CollectPatterns(top, false, false, true)), (V{L"a", L"b", L"c", L"d", L"inner", L"outer", L"e"}));
    EXPECT_EQ(Titles(CollectPatternsOfType<CQLCrystalPattern>(top, false, true, false)), (V{L"a", L"c", L"d"}));
    EXPECT_EQ(Titles(CollectPatternsOfType<CQLCrystalPattern>(top, true, false, true)), (V{L"a", L"b", L"d"}));
}

TEST_F(PatternTree, FindsFirstAndNodes)
{
    EXPECT_EQ(FindFirstCrystalPattern(top, false, false), a);
    a->SetShown(false);
    EXPECT_EQ(FindFirstCrystalPattern(top, false, true), c);
    EXPECT_EQ(FindFirstCrystalPattern(top, true, true), d);
    EXPECT_EQ(FindFirstCrystalPattern(CQLPatternList{}, false, false), nullptr);

    CQLPatternNode node, parent;
    EXPECT_FALSE(FindPatternNode(c.get(), top, node, false));
    ASSERT_TRUE(FindPatternNode(c.get(), top, node, true));
    EXPECT_EQ(node.list, &inner->components);
    EXPECT_EQ(node.it->get(), c.get());
    ASSERT_TRUE(FindParentPatternNode(node, top, parent));
    EXPECT_EQ(parent.it->get(), inner.get());
    EXPECT_EQ(parent.list, &outer->components);
    ASSERT_TRUE(FindPatternNode(a.get(), top, node, true));
    EXPECT_FALSE(FindParentPatternNode(node, top, parent));
}

TEST_F(PatternTree, RemovesFromTheInnermostListAndRefusesAbsentPatterns)
{
    EXPECT_TRUE(RemovePatternFromTree(d.get(), top));
    EXPECT_EQ(Titles(inner->components), (std::vector<CString>{L"c"}));
    EXPECT_EQ(CountPatterns(top, false, false, false), 6);
    EXPECT_FALSE(RemovePatternFromTree(d.get(), top));
    auto stranger = Crystal(L"x");
    EXPECT_FALSE(RemovePatternFromTree(stranger.get(), top));
    EXPECT_EQ(CountPatterns(top, false, false, false), 6);
    EXPECT_TRUE(RemovePatternFromTree(outer.get(), top));
    EXPECT_EQ(Titles(top), (std::vector<CString>{L"a", L"e"}));
}

TEST_F(PatternTree, ClearingSelectionOfAGroupClearsItsComponents)
{
    outer->SetSelected(true);
    EXPECT_TRUE(b->IsSelected());
    outer->SetSelected(false);
    EXPECT_FALSE(b->IsSelected());
    EXPECT_FALSE(d->IsSelected());
    EXPECT_TRUE(a->IsSelected());
}

TEST_F(PatternTree, SortsStablyAtEveryLevel)
{
    CQLPatternList list;
    for (const wchar_t* t : {L"Phase 10", L"phase 2", L"Phase 1b", L"Phase 1a"}) list.push_back(Crystal(t));
    SortPatternTree(list, LessByTitle);
    EXPECT_EQ(Titles(list), (std::vector<CString>{L"Phase 1a", L"Phase 1b", L"phase 2", L"Phase 10"}));

    top = {e, a, outer};
    inner->SetShown(true);
    SortPatternTree(top, LessShownFirst);
    EXPECT_EQ(Titles(top), (std::vector<CString>{L"a", L"outer", L"e"}));
    EXPECT_EQ(Titles(outer->components), (std::vector<CString>{L"inner", L"b"}));
    EXPECT_EQ(Titles(inner->components), (std::vector<CString>{L"c", L"d"})) << "equal keys keep their order";

    SortPatternTree(top, LessByPatternType);
    EXPECT_EQ(Titles(top), (std::vector<CString>{L"a", L"e", L"outer"}));
}

TEST_F(PatternTree, ColoursShownPatternsInTreeOrder)
{
    int counter = 0;
    AssignHueColours(top, 4, counter);
    EXPECT_EQ(counter, 4);  // a, outer, c, d
    EXPECT_EQ(a->m_color, 0xFFFF0000u);  // hue 0
    EXPECT_EQ(outer->m_color, LXGraphics::CColor::FromHLS(90.0f, 0.5f, 1.0f).GetValue());
    EXPECT_EQ(d->m_color, LXGraphics::CColor::FromHLS(270.0f, 0.5f, 1.0f).GetValue());
    EXPECT_EQ(b->m_color >> 24, 0u) << "hidden patterns keep theirs";

    AssignPaletteColours(top);
    int start = -1;
    for (int i = 0; i < 15; ++i)
        if (g_DefaultPatternColors[i] == a->m_color) start = i;
    ASSERT_GE(start, 0);
    EXPECT_EQ(outer->m_color, g_DefaultPatternColors[(start + 1) % 15]);
    EXPECT_EQ(c->m_color, g_DefaultPatternColors[(start + 2) % 15]);
    EXPECT_EQ(d->m_color, g_DefaultPatternColors[(start + 3) % 15]);

    // By colour: shown first, then the palette order (grey before red).
    a->m_color = 0xFFCC0000u;
    outer->m_color = 0xFF7F7F7Fu;
    SortPatternTree(top, LessByColour);
    EXPECT_EQ(Titles(top), (std::vector<CString>{L"outer", L"a", L"e"}));
}

TEST(PatternFactory, MakesCrystalPatternsForBinaryCrystalFilesAndObservedOnesForData)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(qlwtest::ScratchDir()) / "pattern-factory";
    fs::create_directories(dir);
    auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return CString((dir / name).string().c_str());
    };
    const CString crystal = write("Quartz low.lxdf", std::string("LXDF(Lumaxisworks)") + std::string(32, '\0'));
    const CString old = write("old.lxdf", std::string("\0\0\0\x48LXDF", 8) + std::string(80, '\0'));
    const CString text = write("data.txt", "10.0 25.0\n10.1 27.0\n");

    CQLPatternPtr p = CQLPattern::NewPatternFromFilePath(crystal);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetPatternType(), kPatternCrystal);
    EXPECT_EQ(p->GetFilePath(), crystal);
    EXPECT_EQ(p->m_title, CString(L"Quartz low"));
    EXPECT_NE(CQLPattern::NewPatternFromFilePath(old), nullptr);
    EXPECT_EQ(CQLPattern::NewPatternFromFilePath(text), nullptr);
    EXPECT_EQ(CQLPattern::NewPatternFromFilePath(CString((dir / "absent.lxdf").string().c_str())), nullptr);

    // The file layer's recogniser takes over once installed: data sets, profiles and Rigaku files
    // are observed.
    for (std::uint32_t type : {12u, 13u, 34u}) {
        static std::uint32_t answer;
        answer = type;
        CQLPattern::SetFileTypeRecogniser([](const CString&) -> std::uint32_t { return answer; });
        CQLPatternPtr observed = CQLPattern::NewPatternFromFilePath(text);
        ASSERT_NE(observed, nullptr) << type;
        EXPECT_EQ(observed->GetPatternType(), kPatternObserved);
        EXPECT_EQ(observed->m_title, CString(L"data"));
        EXPECT_TRUE(observed->GetProfile(true).empty()) << "the caller reads the file into it";
    }
    CQLPattern::SetFileTypeRecogniser([](const CString&) -> std::uint32_t { return 22; });
    EXPECT_EQ(CQLPattern::NewPatternFromFilePath(crystal), nullptr);
    CQLPattern::SetFileTypeRecogniser(nullptr);
    EXPECT_NE(CQLPattern::NewPatternFromFilePath(crystal), nullptr);
}

TEST(PatternColour, SixteenBitChannelsKeepTheirHighBytes)
{
    EXPECT_EQ(MakeArgbFrom16BitRgb(0xFFFF, 0x80FF, 0x00FF), 0xFFFF8000u);
}
