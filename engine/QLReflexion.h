// One reflexion of a computed pattern; a plain record shared by the list, panes and hints.
#pragma once

#include <cstdint>

struct CQLReflexion
{
    std::int32_t h = 0, k = 0, l = 0;
    std::int32_t multiplicity = 0;          // members of the family, Friedel opposites included
    std::int32_t indexNorm = 0;             // h² + k² + l²
    double d = 0.0;                         // Å
    double x = 0.0;                         // position in the current x-axis unit
    double intensity = 0.0;
    double relativeIntensity = 0.0;
    double phase = 0.0;                     // radians in [0, 2π)
    double A = 0.0, B = 0.0;                // structure factor, real and imaginary
    double lorentzPolarisation = 0.0;
    double width = 0.0;                     // half width at x
};
