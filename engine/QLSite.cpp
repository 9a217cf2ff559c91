// Site copies and the occupancy edits of the occupancy pane.
#include "QLSite.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

CQLSite::CQLSite(const CQLSite& other)
    : m_positions(other.m_positions),
      m_species(other.m_species),
      m_fillVacancies(other.m_fillVacancies),
      m_label(other.m_label),
      m_x(other.m_x),
      m_y(other.m_y),
      m_z(other.m_z),
      m_included(other.m_included),
      m_rounding(other.m_rounding),
      m_displacement(other.m_displacement ? other.m_displacement->Clone() : nullptr),
      m_speciesGroup(other.m_speciesGroup),
      m_imageRotations(other.m_imageRotations),
      m_positionRotations(other.m_positionRotations)
{
}

bool CQLSite::HasImageRotations() const
{
    if (m_imageRotations.empty() || m_positionRotations.size() != m_positions.size())
        return false;
    return std::all_of(m_positionRotations.begin(), m_positionRotations.end(),
                       [&](std::uint16_t i) { return i < m_imageRotations.size(); });
}

CQLSite& CQLSite::operator=(const CQLSite& other)
{
    if (this != &other)
    {
        CQLSite copy(other);
        *this = std::move(copy);
    }
    return *this;
}

double CQLSite::TotalOccupancy() const
{
    double sum = 0.0;
    for (const auto& species : m_species)
        sum += species.m_occupancy;
    return sum;
}

void CQLSite::BalanceOccupancies(const CSiteSpecies& changed)
{
    const size_t n = m_species.size();
    if (n < 2)
        return;
    auto isChanged = [&](const CSiteSpecies& s) {
        return s.m_name == changed.m_name && s.m_occupancy == changed.m_occupancy;
    };

    double sum = TotalOccupancy();
    if (sum > 1.0)
    {
        double excess = sum - 1.0;
        std::vector<CSiteSpecies*> others;
        for (auto& species : m_species)
            if (!isChanged(species))
                others.push_back(&species);
        if (n == 2)
        {
            for (CSiteSpecies* other : others)
                other->m_occupancy = std::max(0.0, other->m_occupancy - excess);
            return;
        }
        std::sort(others.begin(), others.end(),
                  [](const CSiteSpecies* a, const CSiteSpecies* b) { return CompareSpeciesByOccupancy(*a, *b); });
        size_t remaining = others.size();
        double share = remaining ? excess / static_cast<double>(remaining) : 0.0;
        for (CSiteSpecies* other : others)
        {
            if (other->m_occupancy > 0.0)
            {
                double updated = std::max(0.0, other->m_occupancy - share);
                excess -= other->m_occupancy - updated;
                other->m_occupancy = updated;
            }
            --remaining;
            if (remaining)
                share = excess / static_cast<double>(remaining);
        }
    }
    else if (sum < 1.0 && m_fillVacancies)
    {
        double gain = (1.0 - sum) / static_cast<double>(n - 1);
        for (auto& species : m_species)
            if (!isChanged(species))
                species.m_occupancy += gain;
    }
}

void CQLSite::NormaliseOccupancies()
{
    const size_t n = m_species.size();
    if (n < 2)
        return;
    double each = std::min(TotalOccupancy(), 1.0) / static_cast<double>(n);
    for (auto& species : m_species)
        species.m_occupancy = each;
}

bool CQLSite::SameSpecies(const CQLSite& other) const
{
    if (m_species.empty() || m_species.size() != other.m_species.size())
        return false;
    for (const auto& mine : m_species)
        for (const auto& theirs : other.m_species)
        {
            if (&mine == &theirs)
                continue;
            if (mine.m_name != theirs.m_name || mine.m_occupancy != theirs.m_occupancy)
                return false;
        }
    return true;
}

float HalfUnitOfLastDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i >= text.size() || text[i] != '.')
        return 0.0f;
    ++i;
    int decimals = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++decimals, ++digits;
    if (digits == 0)
        return 0.0f;
    // A standard uncertainty may stand between the number and its exponent, or after both.
    if (i < text.size() && text[i] == '(')
        while (i < text.size() && text[i] != ')')
            ++i;
    if (i < text.size() && text[i] == ')')
        ++i;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E'))
    {
        const std::string rest(text.substr(i + 1, 8));
        char* end = nullptr;
        exponent = std::strtol(rest.c_str(), &end, 10);
        if (end == rest.c_str())
            exponent = 0;
    }
    const long power = std::clamp(exponent - decimals, -60L, 30L);
    return static_cast<float>(0.5 * std::pow(10.0, static_cast<double>(power)));
}
