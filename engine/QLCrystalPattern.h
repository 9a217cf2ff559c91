// The pattern computed from one crystal structure: its profile on the settings grid, the
// per-reflexion overlay curves and the peak labels; the peak shapes are in PeakProfile.h.
#pragma once

#include "QLCrystal.h"
#include "QLPattern.h"

#include <cstdint>
#include <vector>

class CQLCrystalPattern : public CQLPattern
{
public:
    explicit CQLCrystalPattern(bool factoryDefaults = false);
    CQLCrystalPattern(const CQLCrystalPattern& other) = default;
    ~CQLCrystalPattern() override = default;

    CQLPatternPtr Clone() const override;
    CQLCrystal* GetCrystal() override { return &m_crystal; }
    const CQLCrystal* GetCrystal() const override { return &m_crystal; }
    void Recompute(const CDiffractionSettings& settings) override;
    void ApplySettings(const CDiffractionSettings& settings) override;
    bool HasData() const override;
    bool IsCalculated() const override { return true; }
    void CollectPeaks(double xMin, double xMax, CQLPeakLabelList& list) const override;
    void ComputeProfile(const CDiffractionSettings& settings) override;
    double GetDefaultAxisMaximum(LXTypes::QLAxisType unit) const override;
    std::int32_t GetPatternType() const override { return kPatternCrystal; }
    std::uint64_t GetFlatSize() const override;
    std::uint64_t Flatten(std::uint8_t*& cursor) const override;

    // Reads the form written by Flatten; the reader sits just behind the kind code.
    static std::shared_ptr<CQLCrystalPattern> CreateFromFlatBuffer(CQLFlatReader& reader);

    // One curve per reflexion near the visible range, for the plot's peak overlay.
    std::vector<CQLProfile> ComputePeakCurves(const CDiffractionSettings& settings) const;

    CQLCrystal m_crystal;
    std::uint8_t m_showOverlay = 0;
    std::uint32_t m_overlayColor = 0xFF000000u;  // ARGB
    std::uint32_t m_overlayLineStyle = 2;        // LXTypes::QLLineStyle
    float m_overlayLineWidth = 0.5f;

protected:
    void AssignKindFields(const CQLPattern& from) override;
};

inline std::int64_t CountCrystalPatterns(const CQLPatternList& list, bool selectedOnly, bool shownOnly,
                                         bool topLevelOnly)
{
    return CountPatternsOfType<CQLCrystalPattern>(list, selectedOnly, shownOnly, topLevelOnly);
}

inline std::shared_ptr<CQLCrystalPattern> FindFirstCrystalPattern(const CQLPatternList& list, bool selectedOnly,
                                                                  bool shownOnly)
{
    return FindFirstPatternOfType<CQLCrystalPattern>(list, selectedOnly, shownOnly);
}
