#include "ElectronWavelength.h"

#include <cmath>

namespace
{
constexpr double kRestMass = 9.10938215e-31;  // m₀, kg
constexpr double kPlanck = 6.62606896e-34;    // h, J s
constexpr double kLightSpeed = 299792458.0;   // c, m/s
constexpr double kJoulesPerKeV = 1.602176487e-16;
constexpr double kJoulesPerEV = 1.602176487e-19;
constexpr double kTwiceRestMass = 1.82187643e-30;             // 2 m₀, kg
constexpr double kTwiceRestEnergy = 1.6374208764810452e-13;   // 2 m₀ c², J
constexpr double kPlanckInAngstrom = 6.62606896e-24;          // h × 1e10, so λ comes out in Å
}

double ElectronEnergyFromWavelength(double lambda)
{
    const double metres = lambda * 1e-10;
    const double restEnergy = kRestMass * kLightSpeed * kLightSpeed;
    const double hc = kPlanck * kLightSpeed;
    const double total = std::sqrt(hc * hc / (metres * metres) + restEnergy * restEnergy);
    return (total - restEnergy) / kJoulesPerKeV;
}

double ElectronWavelengthFromEnergy(double energy)
{
    const double joules = energy * 1000.0 * kJoulesPerEV;
    const double momentum = std::sqrt((joules / kTwiceRestEnergy + 1.0) * joules * kTwiceRestMass);
    return kPlanckInAngstrom / momentum;
}

double MinElectronWavelength()
{
    return ElectronWavelengthFromEnergy(kMaxBeamVoltage);
}

double MaxElectronWavelength()
{
    return ElectronWavelengthFromEnergy(kMinBeamVoltage);
}
