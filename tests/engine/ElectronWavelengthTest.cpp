#include "CrystalFixtures.h"
#include "DiffractionSettings.h"
#include "ElectronWavelength.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
TEST(ElectronWavelength, MicroscopeVoltagesGiveTheirTabulatedWavelengths)
{
    const struct
    {
        double keV, angstrom;
    } cases[] = {{60, 0.0487}, {80, 0.0418}, {100, 0.0370}, {200, 0.0251}, {300, 0.0197}, {400, 0.0164}};
    for (const auto& c : cases)
        EXPECT_NEAR(ElectronWavelengthFromEnergy(c.keV), c.angstrom, 0.00005) << c.keV;
    EXPECT_NEAR(ElectronWavelengthFromEnergy(200), 0.02507933907, 1e-11);
}

TEST(ElectronWavelength, WavelengthGivesBackItsVoltage)
{
    EXPECT_NEAR(ElectronEnergyFromWavelength(0.0251), 199.7, 0.05);
    EXPECT_EQ(std::lround(ElectronEnergyFromWavelength(0.0370)), 100);
    for (double keV : {1.0, 60.0, 200.0, 1000.0})
        EXPECT_NEAR(ElectronEnergyFromWavelength(ElectronWavelengthFromEnergy(keV)), keV, keV * 1e-12) << keV;
}

TEST(ElectronWavelength, RangeEndsBelongToTheVoltageEnds)
{
    EXPECT_NEAR(MinElectronWavelength(), 0.0087192, 5e-8);
    EXPECT_NEAR(MaxElectronWavelength(), 0.3876403, 5e-8);
    EXPECT_NEAR(ElectronEnergyFromWavelength(MinElectronWavelength()), kMaxBeamVoltage, 1e-9);
    EXPECT_NEAR(ElectronEnergyFromWavelength(MaxElectronWavelength()), kMinBeamVoltage, 1e-12);
}

TEST(ElectronWavelength, PeaksOfA200KeVBeamLieAtTheirBraggAngles)
{
    CQLCrystal nacl = crystalfixtures::NaCl();
    CDiffractionSettings settings(true);
    settings.m_simulationType = LXTypes::kSimElectrons;
    settings.m_lambdaTEM = ElectronWavelengthFromEnergy(200);
    ASSERT_TRUE(nacl.Recompute(settings));
    const CQLReflexion* r002 = crystalfixtures::Find(nacl, 0, 0, 2);
    ASSERT_NE(r002, nullptr);
    EXPECT_NEAR(r002->x, 0.5096, 0.00005);
}
}
