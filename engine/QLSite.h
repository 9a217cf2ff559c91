// One crystallographic site: asymmetric-unit position, all its images, species and displacement.
#pragma once

#include "LXASF.h"
#include "ThermalEllipsoid.h"
#include "Win.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

using QLPosition = std::array<double, 3>;  // fractional coordinates

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
