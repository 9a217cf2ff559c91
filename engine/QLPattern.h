// The abstract pattern CQLPattern, the pattern tree of shared pointers with its walks, sorters,
// colourers and queries, and the pattern factory; the crystal kind is in QLCrystalPattern.h.
#pragma once

#include "DiffractionSettings.h"
#include "Win.h"

#include <cstdint>
#include <list>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <vector>

class CQLCrystal;
class CQLFlatReader;
class CQLMixturePattern;
class CQLPattern;

using CQLPatternPtr = std::shared_ptr<CQLPattern>;
// The document's top list and each mixture's component list.
using CQLPatternList = std::list<CQLPatternPtr>;

// One point of a profile, unscaled, in the current x unit.
struct CQLProfilePoint
{
    double x = 0.0;
    double y = 0.0;
};
using CQLProfile = std::vector<CQLProfilePoint>;

// One peak label of the plot, at plotted coordinates.
struct CQLPeakLabel
{
    const CQLPattern* pattern = nullptr;
    double x = 0.0;
    double y = 0.0;
    CString text;
};
using CQLPeakLabelList = std::vector<CQLPeakLabel>;

// Pattern kind codes returned by GetPatternType.
enum : std::int32_t
{
    kPatternBase = 0,
    kPatternObserved = 1,
    kPatternCrystal = 2,
    kPatternMixture = 3,
};

// Thrown by CopyPatternSettings between patterns of different kinds.
class CQLBadPatternCast : public std::bad_cast
{
public:
    const char* what() const noexcept override { return "bad cast"; }
};

class CQLPattern
{
public:
    explicit CQLPattern(bool factoryDefaults = false);
    CQLPattern(const CQLPattern& other) = default;
    virtual ~CQLPattern() = default;

    // Only a mixture has components.
    virtual CQLPatternList* GetComponents() { return nullptr; }
    virtual const CQLPatternList* GetComponents() const { return nullptr; }
    virtual void ClearProfile();
    virtual CQLPatternPtr Clone() const = 0;
    virtual CQLCrystal* GetCrystal() { return nullptr; }
    virtual const CQLCrystal* GetCrystal() const { return nullptr; }
    virtual void Recompute(const CDiffractionSettings& settings);
    virtual void CollectPeaks(double xMin, double xMax, CQLPeakLabelList& list) const;
    virtual bool IsCalculated() const { return false; }
    virtual bool HasData() const = 0;
    virtual bool IsExpanded() const { return false; }
    // raw: the kind's unprocessed curve where it keeps one; the base has only the profile.
    virtual CQLProfile& GetProfile(bool raw = false);
    const CQLProfile& GetProfile(bool raw = false) const;
    virtual void ApplySettings(const CDiffractionSettings& settings);
    // Computes the profile when it is empty, then returns it.
    virtual const CQLProfile& GetComputedProfile(const CDiffractionSettings& settings);
    virtual void ComputeProfile(const CDiffractionSettings& settings);
    virtual void SetExpanded(bool expanded);
    virtual void GetLegendText(CString& out) const;
    virtual double GetDefaultAxisMinimum(LXTypes::QLAxisType unit) const;
    virtual double GetDefaultAxisMaximum(LXTypes::QLAxisType unit) const;
    virtual std::int32_t GetPatternType() const { return kPatternBase; }
    // The flat byte form carried between processes (QLPatternFlat.h): an upper bound of the
    // bytes Flatten writes, and the writing itself, which advances cursor and answers the count.
    // The base part alone has no form: a kind without one writes nothing.
    virtual std::uint64_t GetFlatSize() const;
    virtual std::uint64_t Flatten(std::uint8_t*& cursor) const;

    // Copies every base field and the kind's own fields; throws CQLBadPatternCast unless both
    // patterns are of the same class.
    static void CopyPatternSettings(CQLPattern& to, const CQLPattern& from);

    // Also sets the title to the file name without folder and extension.
    void SetFilePath(const CString& path);
    const CString& GetFilePath() const { return m_filePath; }
    // Clearing the flag on a mixture clears it on every component too.
    void SetSelected(bool selected);
    bool IsSelected() const { return m_selected != 0; }
    void SetShown(bool shown) { m_shown = shown ? 1 : 0; }
    bool IsShown() const { return m_shown != 0; }

    // Extremes of the plotted y over points whose plotted x lies in [xMin, xMax]; both limits
    // 0 take every point; 0 when no point qualifies.
    double GetMaxIntensityInRange(double xMin, double xMax) const;
    double GetMinIntensityInRange(double xMin, double xMax) const;
    // Plotted intensity at plotted position x, interpolated between the two nearest points.
    double GetIntensityAt(double x) const;
    // The same without the pattern's y offset, which stacking sets to its band's base: the
    // pattern's own intensity, as readouts show it.
    double GetReadoutIntensityAt(double x) const;
    // True when something shown still needs a profile.
    bool IsProfileMissing() const;

    // A new empty pattern of the kind that reads the file, or empty for a missing file or a
    // type no pattern reads; the caller reads the file into it.
    static CQLPatternPtr NewPatternFromFilePath(const CString& path);
    // The file-type code of a path by its content, 0 when unknown. The file layer installs its
    // recogniser here; until then a content test of the binary crystal magics serves.
    using FileTypeRecogniser = std::uint32_t (*)(const CString& path);
    static void SetFileTypeRecogniser(FileTypeRecogniser recogniser);
    static std::uint32_t RecogniseFileType(const CString& path);

    // The part of its mixture's sum that this pattern makes up: inside a mixture its weight
    // fraction taken as a share of the volume, elsewhere the fraction as it stands. A component is
    // drawn, labelled and read out at this share, so that the shown components add up to the mixture.
    double GetShare() const;
    // From a profile's y to the y the plot draws, before the y offset.
    double GetDrawnScale() const { return m_yScale * GetShare(); }
    // y as the plot draws it; a loop over many points takes GetDrawnScale once instead.
    double PlottedY(double y) const { return y * GetDrawnScale() + m_yOffset; }

    CString m_filePath;
    double m_plotValuePairs[3][2] = {};   // plot and pane values, copied with the pattern
    std::uint32_t m_plotWord = 0;
    std::uint32_t m_settingsPending = 0;  // a reader's new pattern awaits the document's settings
    CString m_title;
    std::uint8_t m_selected = 0;
    std::uint8_t m_shown = 0;
    std::uint32_t m_color = 0x00FFFFFFu;  // ARGB; alpha 0 means no colour yet
    std::uint32_t m_lineStyle = 1;        // LXTypes::QLLineStyle
    std::uint32_t m_markerStyle = 0;      // LXTypes::QLMarkerStyle
    float m_lineWidth = 1.0f;
    float m_markerSize = 4.0f;
    std::uint8_t m_useShadow = 1;
    bool m_fill = false;
    float m_fillOpacity = 0.1f;
    std::uint32_t m_labelAlignment = 3;   // LXTypes::QLLabelAlignment, Float
    std::uint32_t m_labelColor = 0xFF000000u;
    std::uint8_t m_rotateLabels = 1;
    std::uint8_t m_labelArrowhead = 1;
    std::uint8_t m_labelFrame = 0;
    std::uint8_t m_labelOutline = 1;
    std::uint8_t m_labelShadow = 0;
    double m_xOffset = 0.0;
    double m_yOffset = 0.0;
    double m_fraction = 1.0;              // weight fraction as a mixture component
    double m_yScale = 1.0;
    std::uint8_t m_yScaleOn = 0;          // state of the pane's check box only
    std::uint8_t m_showLabels = 0;
    double m_labelThreshold = 10.0;       // percent of the strongest peak
    std::uint8_t m_labelDSpacing = 0;
    std::uint8_t m_labelHKL = 0;
    std::uint8_t m_labelPhaseName = 0;
    std::uint8_t m_labelRelIntensity = 0;
    std::uint8_t m_labelXUnits = 0;
    CQLProfile m_profile;

protected:
    CQLPattern& operator=(const CQLPattern& other) = default;

    // The mixture that last summed this pattern. It is the pattern's place in the tree, not its
    // content: a copy is in no mixture until one sums it.
    struct MixtureLink
    {
        MixtureLink() = default;
        MixtureLink(const MixtureLink&) {}
        MixtureLink& operator=(const MixtureLink&) { return *this; }
        std::weak_ptr<const CQLMixturePattern> mixture;
    };
    MixtureLink m_mixtureLink;
    friend class CQLMixturePattern;

    // The kind's own part of CopyPatternSettings; from has this pattern's class.
    virtual void AssignKindFields(const CQLPattern& from);
    // The label values of the program's preference store, when there is one.
    void ReadLabelPreferences();
    // A labelling kind's start: its factory labels (indices or phase name) unless the user's
    // label preferences were taken.
    void StartLabels(bool factoryDefaults, bool hkl, bool phaseName);
    // Gives an uncoloured pattern the next colour of the rotating default table.
    void TakeDefaultColourIfNone();
    // The base fields at their places in a kind's flat image, and back.
    void WriteFlatBaseFields(std::uint8_t* image) const;
    void ReadFlatBaseFields(const std::uint8_t* image);
};

// Opaque ARGB from the high bytes of three 16-bit channels.
std::uint32_t MakeArgbFrom16BitRgb(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

// The next colour of the default table, shared by every pattern; the index wraps after 15.
std::uint32_t TakeNextDefaultPatternColour();
// Starts the default colours again at the first.
void ResetDefaultPatternColourIndex();

// A place in the tree: the list that holds a pattern and the pattern's position in it.
struct CQLPatternNode
{
    CQLPatternList* list = nullptr;
    CQLPatternList::iterator it;
};

// Tree walks, recursive through the component lists.
bool FindPatternNode(const CQLPattern* target, CQLPatternList& list, CQLPatternNode& node, bool recurse);
// The node of the mixture whose component list holds the pattern of node, at any depth.
bool FindParentPatternNode(const CQLPatternNode& node, CQLPatternList& list, CQLPatternNode& parent);
// False when target is nowhere in the tree.
bool RemovePatternFromTree(const CQLPattern* target, CQLPatternList& topList);

// Comparators of SortPatternTree: true when a goes before b.
using CQLPatternLess = bool (*)(const CQLPatternPtr& a, const CQLPatternPtr& b);
bool LessByTitle(const CQLPatternPtr& a, const CQLPatternPtr& b);
bool LessByPatternType(const CQLPatternPtr& a, const CQLPatternPtr& b);
bool LessShownFirst(const CQLPatternPtr& a, const CQLPatternPtr& b);
bool LessByColour(const CQLPatternPtr& a, const CQLPatternPtr& b);
bool LessByFraction(const CQLPatternPtr& a, const CQLPatternPtr& b);
// Stable sort of the list and then of every component list.
void SortPatternTree(CQLPatternList& list, CQLPatternLess less);

// Every shown pattern, a pattern before its components, takes the next default colour.
void AssignPaletteColours(CQLPatternList& list);
// Every shown pattern, in the same order, takes hue counter × 360 / n at lightness 0.5 and
// saturation 1; the counter advances per pattern.
void AssignHueColours(CQLPatternList& list, int n, int& counter);

// Tree queries by pattern class T; CQLPattern itself matches every pattern.
template <class T>
bool PatternPasses(const CQLPattern& p, bool selectedOnly, bool shownOnly)
{
    if constexpr (!std::is_same_v<T, CQLPattern>)
        if (dynamic_cast<const T*>(&p) == nullptr) return false;
    return (!selectedOnly || p.IsSelected()) && (!shownOnly || p.IsShown());
}

// Unless topLevelOnly, component lists are counted whether or not their mixture passes.
template <class T>
std::int64_t CountPatternsOfType(const CQLPatternList& list, bool selectedOnly, bool shownOnly, bool topLevelOnly)
{
    std::int64_t count = 0;
    for (const CQLPatternPtr& p : list) {
        if (PatternPasses<T>(*p, selectedOnly, shownOnly)) ++count;
        if (!topLevelOnly)
            if (const CQLPatternList* components = p->GetComponents())
                count += CountPatternsOfType<T>(*components, selectedOnly, shownOnly, false);
    }
    return count;
}

template <class T>
void CollectPatternsInto(const CQLPatternList& list, bool selectedOnly, bool shownOnly, bool componentsFirst,
                         CQLPatternList& out)
{
    for (const CQLPatternPtr& p : list) {
        const bool passes = PatternPasses<T>(*p, selectedOnly, shownOnly);
        if (passes && !componentsFirst) out.push_back(p);
        if (const CQLPatternList* components = p->GetComponents())
            CollectPatternsInto<T>(*components, selectedOnly, shownOnly, componentsFirst, out);
        if (passes && componentsFirst) out.push_back(p);
    }
}

template <class T>
CQLPatternList CollectPatternsOfType(const CQLPatternList& list, bool selectedOnly, bool shownOnly,
                                     bool componentsFirst)
{
    CQLPatternList out;
    CollectPatternsInto<T>(list, selectedOnly, shownOnly, componentsFirst, out);
    return out;
}

template <class T>
std::shared_ptr<T> FindFirstPatternOfType(const CQLPatternList& list, bool selectedOnly, bool shownOnly)
{
    for (const CQLPatternPtr& p : list) {
        if (PatternPasses<T>(*p, selectedOnly, shownOnly)) return std::dynamic_pointer_cast<T>(p);
        if (const CQLPatternList* components = p->GetComponents())
            if (std::shared_ptr<T> found = FindFirstPatternOfType<T>(*components, selectedOnly, shownOnly))
                return found;
    }
    return nullptr;
}

inline std::int64_t CountPatterns(const CQLPatternList& list, bool selectedOnly, bool shownOnly, bool topLevelOnly)
{
    return CountPatternsOfType<CQLPattern>(list, selectedOnly, shownOnly, topLevelOnly);
}

inline CQLPatternList CollectPatterns(const CQLPatternList& list, bool selectedOnly, bool shownOnly,
                                      bool componentsFirst)
{
    return CollectPatternsOfType<CQLPattern>(list, selectedOnly, shownOnly, componentsFirst);
}

inline void PatternListPushBack(CQLPatternList& list, const CQLPatternPtr& pattern)
{
    list.push_back(pattern);
}
