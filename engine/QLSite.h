// One crystallographic site: asymmetric-unit position, all its images, species and displacement.
#pragma once

#include "LXASF.h"
#include "ThermalEllipsoid.h"
#include "Win.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

using QLPosition = std::array<double, 3>;  // fractional coordinates

// An occupancy read from a file counts as above one only beyond this: 1.00005 is one, rounded.
constexpr double kOccupancyRounding = 1e-4;

class CQLSite
{
public:
    CQLSite() = default;
    CQLSite(const CQLSite& other);
    CQLSite& operator=(const CQLSite& other);
    CQLSite(CQLSite&&) noexcept = default;
    CQLSite& operator=(CQLSite&&) noexcept = default;

    // Keeps the occupancy sum at most 1 after `changed` was edited (and fills vacancies when asked).
    void BalanceOccupancies(const CSiteSpecies& changed);
    void NormaliseOccupancies();
    bool SameSpecies(const CQLSite& other) const;
    double TotalOccupancy() const;

    std::vector<QLPosition> m_positions;
    std::vector<CSiteSpecies> m_species;
    bool m_fillVacancies = false;
    CString m_label;
    double m_x = 0.0;
    double m_y = 0.0;
    double m_z = 0.0;
    bool m_included = true;
    // Half a unit of the last decimal the file gave each of x, y, z: how far the true position may
    // lie from the written one. 0 where the value is exact or its decimals are not known.
    std::array<float, 3> m_rounding = {0.0f, 0.0f, 0.0f};
    std::unique_ptr<CQLThermalEllipsoid> m_displacement;
    std::int64_t m_speciesGroup = 0;

    // The rotation (fractional, row-major) that carried the asymmetric-unit position onto each
    // position, as an index into m_imageRotations: an anisotropic displacement turns with its image.
    // Left empty (or not matching the positions) every image takes the tensor unrotated.
    std::vector<std::array<int, 9>> m_imageRotations;
    std::vector<std::uint16_t> m_positionRotations;

    // True when m_positionRotations gives a valid rotation for every position.
    bool HasImageRotations() const;
};

// Half a unit of the last decimal of a number as written ("0.333" gives 0.0005, "1.25e-1" 0.0005,
// "0.3330(4)" 0.00005); 0 for a whole number, which is taken as exact, and for text that is no number.
float HalfUnitOfLastDecimal(std::string_view text);
