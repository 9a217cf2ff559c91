// The mixture pattern: a weighted sum of component patterns shared by pointer, with the balancing
// of their fractions and the peak labels of its crystal components.
#pragma once

#include "QLPattern.h"

#include <cstdint>
#include <vector>

class CQLMixturePattern : public CQLPattern, public std::enable_shared_from_this<CQLMixturePattern>
{
public:
    explicit CQLMixturePattern(bool factoryDefaults = false);
    CQLMixturePattern(const CQLMixturePattern& other) = default;
    ~CQLMixturePattern() override = default;

    CQLPatternList* GetComponents() override { return &m_components; }
    const CQLPatternList* GetComponents() const override { return &m_components; }
    // The copy shares the components with this mixture.
    CQLPatternPtr Clone() const override;
    void Recompute(const CDiffractionSettings& settings) override;
    void ApplySettings(const CDiffractionSettings& settings) override;
    bool IsCalculated() const override;
    bool HasData() const override;
    bool IsExpanded() const override { return m_expanded != 0; }
    void SetExpanded(bool expanded) override { m_expanded = expanded ? 1 : 0; }
    void CollectPeaks(double xMin, double xMax, CQLPeakLabelList& list) const override;
    void ComputeProfile(const CDiffractionSettings& settings) override;
    double GetDefaultAxisMinimum(LXTypes::QLAxisType unit) const override;
    double GetDefaultAxisMaximum(LXTypes::QLAxisType unit) const override;
    std::int32_t GetPatternType() const override { return kPatternMixture; }
    std::uint64_t GetFlatSize() const override;
    std::uint64_t Flatten(std::uint8_t*& cursor) const override;

    // Keeps the fractions summing to one after the user set changed's fraction.
    void BalanceFractions(const CQLPatternPtr& changed);
    // Every component takes 1/n.
    void EqualiseFractions();
    // 1 when pattern was a component and is gone, else 0; the fractions are equalised either way.
    int RemoveComponent(const CQLPattern* pattern);
    double GetTotalFraction() const;
    // What each component's fraction, a weight fraction, does to the curve: phases of known
    // density enter by their share of the volume, the others by their fraction as it stands.
    // A component's GetShare answers its weight from here; it writes nothing, so that threads
    // mapping curves may ask.
    std::vector<double> GetCurveWeights() const;
    // The density that the fractions give the mixture, 0 when a component's density is unknown.
    double GetDensity() const;
    // A crystal's or a mixture's density in kg/m³, 0 when it cannot be known.
    static double DensityOf(const CQLPattern& component);
    // Tells every component that this mixture sums it, so that it is drawn at its share. Each step
    // that sums, recomputes or balances does it; a plot does it for the mixtures it does not sum.
    void LinkComponents();

    // Reads the form written by Flatten; the reader sits just behind the kind code. depth: the
    // mixtures around this one in the block.
    static std::shared_ptr<CQLMixturePattern> CreateFromFlatBuffer(CQLFlatReader& reader, int depth = 0);


    std::uint8_t m_fillUp = 1;     // a shortfall after an edit is shared among the others
    std::uint8_t m_expanded = 1;
    CQLPatternList m_components;
    std::uint8_t m_flag = 0;       // carried with the pattern and its flat form
    std::uint8_t m_balancing = 0;  // set while BalanceFractions runs
    // Components already said to have no density: each is named once.
    std::vector<CString> m_reportedWithoutDensity;

protected:
    void AssignKindFields(const CQLPattern& from) override;

private:
    void ReportComponentsWithoutDensity();
};

inline std::int64_t CountMixturePatterns(const CQLPatternList& list, bool selectedOnly, bool shownOnly,
                                         bool topLevelOnly)
{
    return CountPatternsOfType<CQLMixturePattern>(list, selectedOnly, shownOnly, topLevelOnly);
}

// A mixture sums its components' profiles with their fractions, offsets and scales: every mixture
// of list that holds a pattern of changed, at any depth, drops its sum so that it sums again.
// True when any did.
bool ClearMixturesHolding(const CQLPatternList& list, const CQLPatternList& changed);

// The first selected mixture of the document's top list, searched through the tree; a mixture
// that fails the shown filter is searched among its components without it.
std::shared_ptr<CQLMixturePattern> FindFirstMixturePattern(const CQLPatternList& list, bool selectedOnly = true,
                                                           bool shownOnly = false);
