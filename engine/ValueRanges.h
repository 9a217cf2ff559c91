// The one range each edited physical quantity may take, so that the inspector panes, the
// dialogs, the editors and the preferences accept the same values; the electron wavelength
// and beam voltage ranges are in ElectronWavelength.h.
#pragma once

namespace QLRanges
{
// X-ray or neutron wavelength, Å
inline constexpr double kMinLambda = 0.0001;
inline constexpr double kMaxLambda = 100000.0;
// detector angle 2θ of the time-of-flight and energy-dispersive instruments, degrees
inline constexpr double kMinDetectorTwoTheta = 0.001;
inline constexpr double kMaxDetectorTwoTheta = 180.0;
// time-of-flight flight path, m
inline constexpr double kMinFlightPath = 0.01;
inline constexpr double kMaxFlightPath = 100000.0;
// time-of-flight resolution Δd/d
inline constexpr double kMinResolution = 0.00001;
inline constexpr double kMaxResolution = 1.0;
// particle size, µm (stored in Å, × 10000)
inline constexpr double kMinParticleSize = 0.0005;
inline constexpr double kMaxParticleSize = 1000.0;
// strain, percent (stored as a fraction)
inline constexpr double kMinStrain = 0.0;
inline constexpr double kMaxStrain = 100.0;
// unit cell edges, Å; angles, degrees; volume, Å³
inline constexpr double kMinCellEdge = 0.0001;
inline constexpr double kMaxCellEdge = 10000.0;
inline constexpr double kMinCellAngle = 1.0;
inline constexpr double kMaxCellAngle = 179.0;
inline constexpr double kMinCellVolume = 1e-12;
inline constexpr double kMaxCellVolume = 1e12;

// Whether a cell's lengths and angles are numbers within the ranges above (NaN and infinities are
// not); a bound stored in single precision may come back a rounding short of itself.
inline bool CellWithinRanges(double a, double b, double c, double alpha, double beta, double gamma)
{
    constexpr double kRounding = 1e-6;
    auto within = [](double v, double low, double high) {
        return v >= low * (1.0 - kRounding) && v <= high * (1.0 + kRounding);
    };
    return within(a, kMinCellEdge, kMaxCellEdge) && within(b, kMinCellEdge, kMaxCellEdge) &&
           within(c, kMinCellEdge, kMaxCellEdge) && within(alpha, kMinCellAngle, kMaxCellAngle) &&
           within(beta, kMinCellAngle, kMaxCellAngle) && within(gamma, kMinCellAngle, kMaxCellAngle);
}
}
