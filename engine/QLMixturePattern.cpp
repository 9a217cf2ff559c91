// The mixture pattern: fractions, the summed profile and the labels across components.
#include "QLMixturePattern.h"

#include "QLCrystal.h"
#include "QLObservedPattern.h"
#include "ReflexionText.h"
#include "Status.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr UINT kIdsNewMixture = 2107;
constexpr UINT kIdsLabelSeparator = 2311;
constexpr UINT kIdsGeneratingProfile = 3707;
// Axis minimum of a mixture without components.
constexpr double kEmptyAxisMinimum = 999.9;

// The crystal's density in kg/m³, or 0 when it cannot be known: no cell, no atoms, or a species
// that took the default scattering record and so has no mass of its own.
double CrystalDensity(const CQLCrystal& crystal)
{
    for (const auto& site : crystal.m_sites)
        for (const auto& species : site.m_species)
            if (std::wcsncmp(species.m_asf.m_symbol, species.m_name.GetString(), CLXASF::kMaxSymbolLength) != 0)
                return 0.0;
    const double density = crystal.m_density;
    return std::isfinite(density) && density > 0.0 ? density : 0.0;
}

// Restores the balancing flag on every way out.
class BalancingScope
{
public:
    explicit BalancingScope(std::uint8_t& flag) : m_flag(flag), m_old(flag) { m_flag = 1; }
    ~BalancingScope() { m_flag = m_old; }
    BalancingScope(const BalancingScope&) = delete;
    BalancingScope& operator=(const BalancingScope&) = delete;

private:
    std::uint8_t& m_flag;
    std::uint8_t m_old;
};
}  // namespace

CQLMixturePattern::CQLMixturePattern(bool factoryDefaults) : CQLPattern(factoryDefaults)
{
    StartLabels(factoryDefaults, false, true);
    m_title.LoadString(kIdsNewMixture);
}

CQLPatternPtr CQLMixturePattern::Clone() const
{
    return std::make_shared<CQLMixturePattern>(*this);
}

void CQLMixturePattern::AssignKindFields(const CQLPattern& from)
{
    const auto& other = static_cast<const CQLMixturePattern&>(from);
    m_fillUp = other.m_fillUp;
    m_expanded = other.m_expanded;
    m_components = other.m_components;
    m_flag = other.m_flag;
    m_balancing = other.m_balancing;
}

void CQLMixturePattern::Recompute(const CDiffractionSettings& settings)
{
    LinkComponents();
    for (const CQLPatternPtr& p : m_components) p->Recompute(settings);
    m_profile.clear();
}

void CQLMixturePattern::ApplySettings(const CDiffractionSettings& settings)
{
    LinkComponents();
    for (const CQLPatternPtr& p : m_components) p->ApplySettings(settings);
    TakeDefaultColourIfNone();
    ClearProfile();
}

bool CQLMixturePattern::IsCalculated() const
{
    for (const CQLPatternPtr& p : m_components) {
        if (p->GetPatternType() == kPatternCrystal) return true;
        if (p->GetComponents() && p->IsCalculated()) return true;
    }
    return false;
}

bool CQLMixturePattern::HasData() const
{
    return std::all_of(m_components.begin(), m_components.end(), [](const CQLPatternPtr& p) { return p->HasData(); });
}

double CQLMixturePattern::GetDefaultAxisMinimum(LXTypes::QLAxisType unit) const
{
    double v = kEmptyAxisMinimum;
    for (const CQLPatternPtr& p : m_components) v = std::min(v, p->GetDefaultAxisMinimum(unit));
    return v;
}

double CQLMixturePattern::GetDefaultAxisMaximum(LXTypes::QLAxisType unit) const
{
    double v = 0.0;
    for (const CQLPatternPtr& p : m_components) v = std::max(v, p->GetDefaultAxisMaximum(unit));
    return v;
}

double CQLMixturePattern::GetTotalFraction() const
{
    double sum = 0.0;
    for (const CQLPatternPtr& p : m_components) sum += p->m_fraction;
    return sum;
}

void CQLMixturePattern::EqualiseFractions()
{
    const size_t n = m_components.size();
    if (n == 0) return;
    LinkComponents();
    for (const CQLPatternPtr& p : m_components) {
        p->m_fraction = 1.0 / double(n);
        if (auto* observed = dynamic_cast<CQLObservedPattern*>(p.get())) {
            observed->m_autoYScale = 0;
            observed->m_yScaleOn = 1;
        }
    }
    m_profile.clear();
}

int CQLMixturePattern::RemoveComponent(const CQLPattern* pattern)
{
    int removed = 0;
    for (auto it = m_components.begin(); it != m_components.end(); ++it) {
        if (it->get() == pattern) {
            m_components.erase(it);
            removed = 1;
            break;
        }
    }
    EqualiseFractions();
    return removed;
}

void CQLMixturePattern::BalanceFractions(const CQLPatternPtr& changed)
{
    BalancingScope scope(m_balancing);
    LinkComponents();
    const size_t n = m_components.size();
    if (n <= 1) return;
    const CQLPattern* fixed = changed.get();
    const double sum = GetTotalFraction();
    if (sum > 1.0) {
        double excess = sum - 1.0;
        if (n == 2) {
            for (const CQLPatternPtr& p : m_components)
                if (p.get() != fixed) p->m_fraction = std::max(p->m_fraction - excess, 0.0);
        } else {
            // The smallest give first; what they cannot give passes on to the larger ones.
            std::vector<CQLPatternPtr> order(m_components.begin(), m_components.end());
            std::stable_sort(order.begin(), order.end(), LessByFraction);
            size_t m = n - 1;
            double share = excess / double(m);
            for (const CQLPatternPtr& p : order) {
                if (p.get() == fixed) continue;
                const double f = p->m_fraction;
                if (f > 0.0) {
                    const double reduced = std::max(f - share, 0.0);
                    p->m_fraction = reduced;
                    excess -= f - reduced;
                }
                if (--m == 0) break;
                share = excess / double(m);
            }
        }
    } else if (sum < 1.0 && m_fillUp) {
        const double gain = (1.0 - sum) / double(n - 1);
        for (const CQLPatternPtr& p : m_components)
            if (p.get() != fixed) p->m_fraction += gain;
    }
    m_profile.clear();
}

double CQLMixturePattern::GetDensity() const
{
    double weight = 0.0, volume = 0.0;
    for (const CQLPatternPtr& p : m_components) {
        const double density = DensityOf(*p);
        if (!(density > 0.0)) return 0.0;
        weight += p->m_fraction;
        volume += p->m_fraction / density;
    }
    return volume > 0.0 ? weight / volume : 0.0;
}

double CQLMixturePattern::DensityOf(const CQLPattern& component)
{
    if (const CQLCrystal* crystal = component.GetCrystal()) return CrystalDensity(*crystal);
    if (const auto* mixture = dynamic_cast<const CQLMixturePattern*>(&component)) return mixture->GetDensity();
    return 0.0;
}

void CQLMixturePattern::LinkComponents()
{
    const std::weak_ptr<const CQLMixturePattern> self = weak_from_this();
    for (const CQLPatternPtr& p : m_components) p->m_mixtureLink.mixture = self;
}

std::vector<double> CQLMixturePattern::GetCurveWeights() const
{
    // Each pattern is per unit volume, so a phase enters by its volume share wᵢ/ρᵢ; the shares are
    // scaled to the total of the fractions they replace, leaving alone the components whose
    // density is unknown.
    std::vector<double> weights, densities;
    double byWeight = 0.0, byVolume = 0.0;
    for (const CQLPatternPtr& p : m_components) {
        const double density = DensityOf(*p);
        densities.push_back(density);
        weights.push_back(p->m_fraction);
        if (density > 0.0) {
            byWeight += p->m_fraction;
            byVolume += p->m_fraction / density;
        }
    }
    if (byVolume > 0.0)
        for (size_t i = 0; i < weights.size(); ++i)
            if (densities[i] > 0.0) weights[i] = weights[i] / densities[i] / byVolume * byWeight;
    return weights;
}

void CQLMixturePattern::ReportComponentsWithoutDensity()
{
    for (const CQLPatternPtr& p : m_components) {
        if (!p->GetCrystal() || DensityOf(*p) > 0.0) continue;
        auto& reported = m_reportedWithoutDensity;
        if (std::find(reported.begin(), reported.end(), p->m_title) != reported.end()) continue;
        reported.push_back(p->m_title);
        CLXXMixtureNoDensity(kLXSeverityMessage, 0, __LINE__, p->m_title).Report();
    }
}

void CQLMixturePattern::ComputeProfile(const CDiffractionSettings& settings)
{
    LinkComponents();
    if (!m_profile.empty()) return;
    CStatus status(kIdsGeneratingProfile, m_title);
    const auto count = static_cast<std::int32_t>(settings.m_numProfilePoints);
    if (count < 1) return;
    const double step = (settings.m_defaultXMax - settings.m_defaultXMin) / count;
    CQLProfile grid;
    grid.reserve(static_cast<size_t>(count));
    double x = settings.m_defaultXMin;
    for (std::int32_t i = 0; i < count; ++i, x += step) grid.push_back({x, 0.0});

    // The components' own computations give their densities.
    std::vector<const CQLProfile*> profiles;
    for (const CQLPatternPtr& component : m_components) profiles.push_back(&component->GetComputedProfile(settings));
    ReportComponentsWithoutDensity();
    const std::vector<double> weights = GetCurveWeights();
    size_t c = 0;
    for (const CQLPatternPtr& component : m_components) {
        const double fraction = weights[c];
        const CQLProfile& p = *profiles[c++];
        // A component without a profile is left out of the sum.
        if (p.empty()) continue;
        // An observed curve is resampled with its offset already applied; shifting it again
        // would move it twice.
        std::int64_t shift = 0;
        if (component->GetPatternType() != kPatternObserved && step != 0.0 && std::isfinite(step)) {
            const double steps = std::trunc(component->m_xOffset / step);
            shift = static_cast<std::int64_t>(std::clamp(steps, -double(count), double(count)));
        }
        const double scale = component->m_yScale * fraction;
        const std::int64_t size = static_cast<std::int64_t>(p.size());
        const std::int64_t first = std::max<std::int64_t>(shift, 0);
        const std::int64_t last = std::min<std::int64_t>(count, size + shift);
        for (std::int64_t i = first; i < last; ++i) grid[size_t(i)].y += p[size_t(i - shift)].y * scale;
    }
    m_profile = std::move(grid);
}

void CQLMixturePattern::CollectPeaks(double xMin, double xMax, CQLPeakLabelList& list) const
{
    list.clear();
    if (!m_showLabels || !IsCalculated()) return;
    const double threshold = m_labelThreshold * 0.01;
    // The labels weigh the components as the curve does.
    const std::vector<double> weights = GetCurveWeights();
    double strongest = 0.0;
    size_t c = 0;
    for (const CQLPatternPtr& p : m_components) {
        const double weight = weights[c++];
        if (const CQLCrystal* crystal = p->GetCrystal()) strongest = std::max(strongest, weight * crystal->m_maxIntensity);
    }
    if (!(strongest > 0.0)) return;
    CString separator;
    separator.LoadString(kIdsLabelSeparator);

    c = 0;
    for (const CQLPatternPtr& p : m_components) {
        const double weight = weights[c++];
        const CQLCrystal* crystal = p->GetCrystal();
        if (!crystal) continue;
        for (const auto& refl : crystal->m_reflexions) {
            if (refl->x < xMin - m_xOffset || refl->x > xMax - m_xOffset) continue;
            const double r = weight * refl->intensity / strongest;
            if (!(r > threshold)) continue;
            CString text;
            bool first = true;
            auto add = [&](const CString& part) {
                if (!first) text += separator;
                text += part;
                first = false;
            };
            if (m_labelPhaseName) add(p->m_title);
            if (m_labelHKL) add(QLReflexionText::FormatHKL(refl->h, refl->k, refl->l));
            if (m_labelDSpacing) add(QLReflexionText::FormatDSpacing(refl->d));
            if (m_labelXUnits) add(QLReflexionText::FormatPosition(refl->x));
            if (m_labelRelIntensity) add(QLReflexionText::FormatIntensity(*refl, r));
            CQLPeakLabel label;
            label.pattern = this;
            label.x = refl->x + m_xOffset;
            label.y = GetIntensityAt(label.x);
            label.text = text;
            list.push_back(std::move(label));
        }
    }
}

namespace {
std::shared_ptr<CQLMixturePattern> FindFirstMixtureIn(const CQLPatternList& list, bool selectedOnly, bool shownOnly)
{
    for (const CQLPatternPtr& p : list) {
        auto mixture = std::dynamic_pointer_cast<CQLMixturePattern>(p);
        if (mixture && PatternPasses<CQLMixturePattern>(*p, selectedOnly, shownOnly)) return mixture;
        if (const CQLPatternList* components = p->GetComponents()) {
            // Inside a mixture that is not the answer the shown filter no longer applies.
            const bool shown = mixture ? false : shownOnly;
            if (auto found = FindFirstMixtureIn(*components, selectedOnly, shown)) return found;
        }
    }
    return nullptr;
}
}  // namespace

std::shared_ptr<CQLMixturePattern> FindFirstMixturePattern(const CQLPatternList& list, bool selectedOnly,
                                                           bool shownOnly)
{
    return FindFirstMixtureIn(list, selectedOnly, shownOnly);
}

bool ClearMixturesHolding(const CQLPatternList& list, const CQLPatternList& changed)
{
    bool any = false;
    for (const CQLPatternPtr& p : list) {
        const CQLPatternList* components = p->GetComponents();
        if (!components) continue;
        bool holds = ClearMixturesHolding(*components, changed);
        for (const CQLPatternPtr& c : *components)
            holds = holds || std::find(changed.begin(), changed.end(), c) != changed.end();
        if (holds) p->ClearProfile();
        any = any || holds;
    }
    return any;
}
