// Small crystals built in code for the engine tests (structure files are read elsewhere).
#pragma once

#include "QLCrystal.h"

#include <initializer_list>
#include <utility>

namespace crystalfixtures
{
struct SiteDef
{
    const wchar_t* label;
    const wchar_t* element;
    double x, y, z;
    double occupancy = 1.0;
};

inline CQLSite MakeSite(const SiteDef& def)
{
    CQLSite site;
    site.m_label = def.label;
    site.m_x = def.x;
    site.m_y = def.y;
    site.m_z = def.z;
    site.m_species.emplace_back(def.element, def.occupancy);
    return site;
}

// Cell, symbol and asymmetric-unit sites, prepared in the order structure readers use.
inline CQLCrystal MakeCrystal(double a, double b, double c, double alpha, double beta, double gamma,
                              const wchar_t* symbol, std::initializer_list<SiteDef> sites, int originChoice = 0)
{
    CQLCrystal crystal;
    crystal.m_a = a;
    crystal.m_b = b;
    crystal.m_c = c;
    crystal.m_alpha = alpha;
    crystal.m_beta = beta;
    crystal.m_gamma = gamma;
    crystal.ComputeMetrics();
    crystal.ComputeReciprocalMetric();
    crystal.m_spaceGroupSymbol = symbol;
    crystal.m_originChoice = originChoice;
    for (const auto& def : sites)
        crystal.m_sites.push_back(MakeSite(def));
    crystal.InstallOperatorsFromSymbol();
    crystal.ExpandSitesBySymmetry();
    return crystal;
}

inline CQLCrystal NaCl()
{
    return MakeCrystal(5.64, 5.64, 5.64, 90, 90, 90, L"F m -3 m",
                       {{L"Na1", L"Na", 0, 0, 0}, {L"Cl1", L"Cl", 0.5, 0.5, 0.5}});
}

inline CQLCrystal Rutile()
{
    return MakeCrystal(4.5937, 4.5937, 2.9587, 90, 90, 90, L"P 42/m n m",
                       {{L"Ti1", L"Ti", 0, 0, 0}, {L"O1", L"O", 0.3048, 0.3048, 0}});
}

inline CQLCrystal Magnesium()
{
    return MakeCrystal(3.2094, 3.2094, 5.2108, 90, 90, 120, L"P 63/m m c",
                       {{L"Mg1", L"Mg", 1.0 / 3.0, 2.0 / 3.0, 0.25}});
}

inline CQLCrystal ZincBlende()
{
    return MakeCrystal(5.409, 5.409, 5.409, 90, 90, 90, L"F -4 3 m",
                       {{L"Zn1", L"Zn", 0, 0, 0}, {L"S1", L"S", 0.25, 0.25, 0.25}});
}

// Everything in the cell listed as P 1: no merging, every candidate its own reflexion.
inline CQLCrystal TriclinicCopper()
{
    return MakeCrystal(3.5, 4.0, 4.5, 80, 85, 95, L"P 1", {{L"Cu1", L"Cu", 0.1, 0.2, 0.3}});
}

inline const CQLReflexion* Find(const CQLCrystal& crystal, int h, int k, int l)
{
    auto r = crystal.FindReflexion(h, k, l);
    return r.get();
}
}
