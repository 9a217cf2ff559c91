// Relativistic conversion between an electron's wavelength and its beam voltage, and the one
// range each of them may take; used by the electron instrument pane, the electron wavelength
// dialog and the diffraction preferences page.
#pragma once

// Beam voltage range, keV (kinetic energy of the electrons).
inline constexpr double kMinBeamVoltage = 1.0;
inline constexpr double kMaxBeamVoltage = 1000.0;

// lambda: electron wavelength, in Å. Returns the kinetic energy in keV.
double ElectronEnergyFromWavelength(double lambda);
// energy: kinetic energy (beam voltage), in keV. Returns the wavelength in Å.
double ElectronWavelengthFromEnergy(double energy);

// Wavelength range, Å, matching the voltage range through the conversion: the shortest
// wavelength belongs to the highest voltage.
double MinElectronWavelength();
double MaxElectronWavelength();
