// The pattern base, the pattern tree and the pattern factory.
#include "QLPattern.h"

#include "LXColor.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <cmath>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>

namespace {
constexpr UINT kIdsNewPattern = 2104;
constexpr int kDefaultColourCount = 15;

// Index into the default colour table, shared by every pattern of the program.
int g_nextDefaultColour = 0;

// Binary crystal files carry a four-character magic at offset 0; the pre-version-5 form starts
// with a record length of 72 and carries the magic after it.
std::uint32_t RecogniseBinaryCrystalMagic(const CString& path)
{
    std::ifstream in(std::filesystem::path(path.ToUtf8()), std::ios::binary);
    char head[8] = {};
    if (!in.read(head, sizeof head)) return 0;
    if (std::memcmp(head, "LXDF", 4) == 0) return 1;
    if (std::memcmp(head, "LXD5", 4) == 0) return 4;
    const std::uint32_t firstWord = std::uint32_t(std::uint8_t(head[0])) << 24 | std::uint32_t(std::uint8_t(head[1])) << 16 |
                                    std::uint32_t(std::uint8_t(head[2])) << 8 | std::uint8_t(head[3]);
    if (firstWord == 72 && std::memcmp(head + 4, "LXDF", 4) == 0) return 6;
    return 0;
}

CQLPattern::FileTypeRecogniser g_fileTypeRecogniser = &RecogniseBinaryCrystalMagic;

}  // namespace

CQLPattern::CQLPattern(bool factoryDefaults)
{
    if (!factoryDefaults && g_pPreferences)
    {
        // Every kind starts from the crystal line values; the labels as the user left them.
        const CPreferences& p = *g_pPreferences;
        m_lineStyle = p.m_CrystalLineStyle.Get();
        m_markerStyle = p.m_CrystalMarkerStyle.Get();
        m_lineWidth = static_cast<float>(p.m_CrystalLineWidth.Get());
        m_markerSize = static_cast<float>(p.m_CrystalMarkerSize.Get());
        m_useShadow = p.m_CrystalUseShadow.Get() ? 1 : 0;
        m_labelAlignment = p.m_LabelAlignment.Get();
        m_labelColor = p.m_LabelColor.Get().GetValue();
        m_rotateLabels = p.m_RotateLabels.Get() ? 1 : 0;
        m_labelArrowhead = p.m_ShowLabelArrowhead.Get() ? 1 : 0;
        m_labelFrame = p.m_ShowLabelFrame.Get() ? 1 : 0;
        m_labelOutline = p.m_ShowLabelOutline.Get() ? 1 : 0;
        m_labelShadow = p.m_ShowLabelShadow.Get() ? 1 : 0;
        ReadLabelPreferences();
    }
    m_title.LoadString(kIdsNewPattern);
    m_profile.clear();
}

void CQLPattern::ClearProfile()
{
    m_profile.clear();
}

void CQLPattern::Recompute(const CDiffractionSettings& /*settings*/) {}

void CQLPattern::CollectPeaks(double /*xMin*/, double /*xMax*/, CQLPeakLabelList& list) const
{
    list.clear();
}

CQLProfile& CQLPattern::GetProfile(bool /*raw*/)
{
    return m_profile;
}

const CQLProfile& CQLPattern::GetProfile(bool raw) const
{
    return const_cast<CQLPattern*>(this)->GetProfile(raw);
}

void CQLPattern::ApplySettings(const CDiffractionSettings& /*settings*/)
{
    TakeDefaultColourIfNone();
    ClearProfile();
}

const CQLProfile& CQLPattern::GetComputedProfile(const CDiffractionSettings& settings)
{
    if (GetProfile(false).empty()) ComputeProfile(settings);
    return GetProfile(false);
}

void CQLPattern::ComputeProfile(const CDiffractionSettings& /*settings*/) {}

void CQLPattern::SetExpanded(bool /*expanded*/) {}

void CQLPattern::GetLegendText(CString& out) const
{
    if (m_fraction < 1.0)
        out.Format(L"%.2f  %s", m_fraction, m_title);
    else
        out = m_title;
}

double CQLPattern::GetDefaultAxisMinimum(LXTypes::QLAxisType /*unit*/) const
{
    return 0.0;
}

double CQLPattern::GetDefaultAxisMaximum(LXTypes::QLAxisType /*unit*/) const
{
    return 0.0;
}

void CQLPattern::AssignKindFields(const CQLPattern& /*from*/) {}

void CQLPattern::CopyPatternSettings(CQLPattern& to, const CQLPattern& from)
{
    if (typeid(to) != typeid(from)) throw CQLBadPatternCast();
    if (&to == &from) return;
    to = from;
    to.AssignKindFields(from);
}

void CQLPattern::SetFilePath(const CString& path)
{
    m_filePath = path;
    m_title = CString(std::filesystem::path(path.ToUtf8()).stem().string().c_str());
}

void CQLPattern::SetSelected(bool selected)
{
    m_selected = selected ? 1 : 0;
    if (selected) return;
    if (CQLPatternList* components = GetComponents())
        for (const CQLPatternPtr& p : *components) p->SetSelected(false);
}

void CQLPattern::TakeDefaultColourIfNone()
{
    if ((m_color >> 24) == 0) m_color = TakeNextDefaultPatternColour();
}

namespace {
// Raw y of the extreme point in range by the comparator; false when no point qualifies.
template <class Better>
bool ExtremeYInRange(const CQLPattern& pattern, double xMin, double xMax, Better better, double& y)
{
    const bool all = xMin == 0.0 && xMax == 0.0;
    bool found = false;
    for (const CQLProfilePoint& p : pattern.GetProfile(false)) {
        const double x = p.x + pattern.m_xOffset;
        if (!all && (x < xMin || x > xMax)) continue;
        if (!found || better(p.y, y)) y = p.y;
        found = true;
    }
    return found;
}
}  // namespace

double CQLPattern::GetMaxIntensityInRange(double xMin, double xMax) const
{
    double y = 0.0;
    if (!ExtremeYInRange(*this, xMin, xMax, [](double a, double b) { return a > b; }, y)) return 0.0;
    return PlottedY(y);
}

double CQLPattern::GetMinIntensityInRange(double xMin, double xMax) const
{
    double y = 0.0;
    if (!ExtremeYInRange(*this, xMin, xMax, [](double a, double b) { return a < b; }, y)) return 0.0;
    return PlottedY(y);
}

namespace {
// The profile's y at plotted position x, interpolated between the two nearest points; false
// outside the profile or with fewer than two points.
bool ProfileYAt(const CQLPattern& pattern, double x, double& y)
{
    const CQLProfile& profile = pattern.GetProfile(false);
    const size_t n = profile.size();
    if (n < 2) return false;
    const double u = x - pattern.m_xOffset;
    const double lo = std::min(profile.front().x, profile.back().x);
    const double hi = std::max(profile.front().x, profile.back().x);
    if (u < lo || u > hi) return false;

    size_t nearest = 0;
    double nearestDistance = std::fabs(profile[0].x - u);
    bool hasPrevious = false;
    size_t previous = 0;
    bool stopped = false;
    size_t stop = 0;
    for (size_t i = 1; i < n; ++i) {
        const double distance = std::fabs(profile[i].x - u);
        if (distance < nearestDistance) {
            previous = nearest;
            hasPrevious = true;
            nearest = i;
            nearestDistance = distance;
        } else {
            stopped = true;
            stop = i;
            break;
        }
    }

    size_t other;
    if (stopped)
        other = (!hasPrevious || std::fabs(profile[stop].x - u) < std::fabs(profile[previous].x - u)) ? stop : previous;
    else if (hasPrevious)
        other = previous;
    else
        return false;

    const CQLProfilePoint& p0 = profile[nearest];
    const CQLProfilePoint& p1 = profile[other];
    // Two points at one x would divide by zero; the nearest one's value is the answer there.
    y = p1.x == p0.x ? p0.y : p0.y + (u - p0.x) / (p1.x - p0.x) * (p1.y - p0.y);
    return true;
}
}  // namespace

double CQLPattern::GetIntensityAt(double x) const
{
    double y = 0.0;
    return ProfileYAt(*this, x, y) ? PlottedY(y) : 0.0;
}

double CQLPattern::GetReadoutIntensityAt(double x) const
{
    double y = 0.0;
    return ProfileYAt(*this, x, y) ? y * GetDrawnScale() : 0.0;
}

double CQLPattern::GetShare() const
{
    // A link left behind by a move out of the mixture is not trusted: the mixture must still hold it.
    if (const auto mixture = m_mixtureLink.mixture.lock()) {
        size_t i = 0;
        for (const CQLPatternPtr& p : mixture->m_components) {
            if (p.get() == this) return mixture->GetCurveWeights()[i];
            ++i;
        }
    }
    return m_fraction;
}

bool CQLPattern::IsProfileMissing() const
{
    if (!GetProfile(false).empty()) return false;
    if (IsShown()) return true;
    const CQLPatternList* components = GetComponents();
    if (!components) return false;
    for (const CQLPatternPtr& p : *components)
        if (p->IsProfileMissing()) return true;
    return false;
}

void CQLPattern::SetFileTypeRecogniser(FileTypeRecogniser recogniser)
{
    g_fileTypeRecogniser = recogniser ? recogniser : &RecogniseBinaryCrystalMagic;
}

std::uint32_t CQLPattern::RecogniseFileType(const CString& path)
{
    return g_fileTypeRecogniser(path);
}

void CQLPattern::ReadLabelPreferences()
{
    if (!g_pPreferences)
        return;
    const CPreferences& p = *g_pPreferences;
    m_showLabels = p.m_ShowLabels.Get() ? 1 : 0;
    m_labelThreshold = p.m_LabelThreshold.Get();
    m_labelDSpacing = p.m_LabelDSpacing.Get() ? 1 : 0;
    m_labelHKL = p.m_LabelHKL.Get() ? 1 : 0;
    m_labelPhaseName = p.m_LabelPhaseName.Get() ? 1 : 0;
    m_labelRelIntensity = p.m_LabelRelIntensity.Get() ? 1 : 0;
    m_labelXUnits = p.m_LabelXUnits.Get() ? 1 : 0;
}

void CQLPattern::StartLabels(bool factoryDefaults, bool hkl, bool phaseName)
{
    // The base constructor has already taken the user's labels when there were any to take.
    if (!factoryDefaults && g_pPreferences)
        return;
    m_labelHKL = hkl ? 1 : 0;
    m_labelPhaseName = phaseName ? 1 : 0;
}

CQLPatternPtr CQLPattern::NewPatternFromFilePath(const CString& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path.ToUtf8()), error)) return nullptr;
    CQLPatternPtr pattern;
    switch (RecogniseFileType(path)) {
        case 1:
        case 4:
        case 6: pattern = std::make_shared<CQLCrystalPattern>(); break;
        case 12:
        case 13:
        case 34:  // a Rigaku file is measured data too; dropped on the list it must not vanish
            pattern = std::make_shared<CQLObservedPattern>();
            break;
        default: return nullptr;  // no pattern kind reads this type
    }
    pattern->SetFilePath(path);
    return pattern;
}

std::uint32_t MakeArgbFrom16BitRgb(std::uint16_t red, std::uint16_t green, std::uint16_t blue)
{
    return 0xFF000000u | std::uint32_t(red >> 8) << 16 | std::uint32_t(green >> 8) << 8 | std::uint32_t(blue >> 8);
}

void ResetDefaultPatternColourIndex()
{
    g_nextDefaultColour = 0;
}

std::uint32_t TakeNextDefaultPatternColour()
{
    const std::uint32_t colour = g_DefaultPatternColors[g_nextDefaultColour];
    g_nextDefaultColour = (g_nextDefaultColour + 1) % kDefaultColourCount;
    return colour;
}

bool FindPatternNode(const CQLPattern* target, CQLPatternList& list, CQLPatternNode& node, bool recurse)
{
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->get() == target) {
            node.list = &list;
            node.it = it;
            return true;
        }
        if (recurse)
            if (CQLPatternList* components = (*it)->GetComponents())
                if (FindPatternNode(target, *components, node, true)) return true;
    }
    return false;
}

bool FindParentPatternNode(const CQLPatternNode& node, CQLPatternList& list, CQLPatternNode& parent)
{
    for (auto it = list.begin(); it != list.end(); ++it) {
        CQLPatternList* components = (*it)->GetComponents();
        if (!components) continue;
        if (components == node.list) {
            parent.list = &list;
            parent.it = it;
            return true;
        }
        if (FindParentPatternNode(node, *components, parent)) return true;
    }
    return false;
}

bool RemovePatternFromTree(const CQLPattern* target, CQLPatternList& topList)
{
    CQLPatternNode node;
    if (!FindPatternNode(target, topList, node, true)) return false;
    if (node.list != &topList) {
        // A component leaves through its mixture, which shares the fractions out anew.
        CQLPatternNode parent;
        if (FindParentPatternNode(node, topList, parent))
            if (auto* mixture = dynamic_cast<CQLMixturePattern*>(parent.it->get()))
                return mixture->RemoveComponent(target) != 0;
    }
    node.list->erase(node.it);
    return true;
}

bool LessByTitle(const CQLPatternPtr& a, const CQLPatternPtr& b)
{
    return CompareLogically(a->m_title.GetString(), b->m_title.GetString()) < 0;
}

bool LessByPatternType(const CQLPatternPtr& a, const CQLPatternPtr& b)
{
    return a->GetPatternType() < b->GetPatternType();
}

bool LessShownFirst(const CQLPatternPtr& a, const CQLPatternPtr& b)
{
    return a->IsShown() && !b->IsShown();
}

bool LessByColour(const CQLPatternPtr& a, const CQLPatternPtr& b)
{
    if (a->IsShown() != b->IsShown()) return a->IsShown();
    if (!a->IsShown()) return false;
    return LXGraphics::CColor::LessForPalette(LXGraphics::CColor(a->m_color), LXGraphics::CColor(b->m_color));
}

bool LessByFraction(const CQLPatternPtr& a, const CQLPatternPtr& b)
{
    return a->m_fraction < b->m_fraction;
}

void SortPatternTree(CQLPatternList& list, CQLPatternLess less)
{
    list.sort(less);  // a stable merge sort
    for (const CQLPatternPtr& p : list)
        if (CQLPatternList* components = p->GetComponents()) SortPatternTree(*components, less);
}

void AssignPaletteColours(CQLPatternList& list)
{
    for (const CQLPatternPtr& p : list) {
        if (p->IsShown()) p->m_color = TakeNextDefaultPatternColour();
        if (CQLPatternList* components = p->GetComponents()) AssignPaletteColours(*components);
    }
}

void AssignHueColours(CQLPatternList& list, int n, int& counter)
{
    for (const CQLPatternPtr& p : list) {
        if (p->IsShown()) {
            const float hue = float(counter) * 360.0f / float(n);
            p->m_color = LXGraphics::CColor::FromHLS(hue, 0.5f, 1.0f).GetValue();
            ++counter;
        }
        if (CQLPatternList* components = p->GetComponents()) AssignHueColours(*components, n, counter);
    }
}
