#include "DiffractionSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <typeinfo>

namespace
{
const double kPi = std::acos(-1.0);

TEST(Settings, FactoryRecordHoldsRulerThenCursorWithDSpacingReadout)
{
    for (bool factory : {true, false})
    {
        CDiffractionSettings settings(factory);
        ASSERT_EQ(settings.m_tools.size(), 2u) << factory;
        EXPECT_EQ(typeid(*settings.m_tools[0]), typeid(CRuler)) << factory;
        EXPECT_EQ(settings.GetCursor(false), settings.m_tools[1].get()) << factory;
        EXPECT_EQ(settings.GetCursor(false)->m_showDSpacing, 1) << factory;
    }
    CDiffractionSettings settings(true);
    EXPECT_EQ(typeid(*settings.m_tools[0]), typeid(CRuler));
    EXPECT_EQ(typeid(*settings.m_tools[1]), typeid(CCursor));
    CCursor* cursor = settings.GetCursor(false);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->m_showDSpacing, 1);
    EXPECT_EQ(cursor->m_rec.color, 0xFFFF0000u);

    CRuler::FlatRec ruler;
    settings.GetRuler(false)->GetRulerRec(ruler);
    EXPECT_EQ(ruler.color, 0xD81919FFu);
    EXPECT_EQ(ruler.length, 200.0f);
    EXPECT_EQ(ruler.numDivisions, 4);
}

TEST(Settings, MissingCursorIsCreatedInFrontOfTheRuler)
{
    CDiffractionSettings settings(true);
    settings.m_tools.erase(settings.m_tools.begin() + 1);
    EXPECT_EQ(settings.GetCursor(false), nullptr);
    CCursor* cursor = settings.GetCursor(true);
    ASSERT_EQ(settings.m_tools.size(), 2u);
    EXPECT_EQ(settings.m_tools[0].get(), cursor);
    EXPECT_EQ(typeid(*settings.m_tools[1]), typeid(CRuler));
}

TEST(Settings, CopiesShareTheirTools)
{
    CDiffractionSettings settings(true);
    CDiffractionSettings copy = settings;
    EXPECT_EQ(copy.m_tools[0].get(), settings.m_tools[0].get());
    EXPECT_EQ(copy.m_tools[1].get(), settings.m_tools[1].get());
}

TEST(Settings, DefaultAxisRanges)
{
    struct Case
    {
        std::uint32_t unit;
        double max;
    } cases[] = {{1, 180}, {2, 100}, {3, 5}, {4, 500}, {5, 180}, {6, 10 * kPi}, {0, 0}, {7, 0}};
    for (const auto& c : cases)
    {
        double min = -1, max = -1;
        GetDefaultAxisMaximum(static_cast<LXTypes::QLAxisType>(c.unit), &min, &max);
        EXPECT_EQ(min, 0.0) << c.unit;
        EXPECT_NEAR(max, c.max, 1e-12) << c.unit;
    }
    GetDefaultAxisMaximum(LXTypes::kAxis2Theta, nullptr, nullptr);
}

TEST(Settings, PositionsRoundTripThroughDSpacingInEveryUnit)
{
    CDiffractionSettings settings(true);
    for (std::uint32_t unit = 1; unit <= 6; ++unit)
    {
        settings.m_axisType = static_cast<LXTypes::QLAxisType>(unit);
        for (double d : {0.9, 2.0, 3.7})
        {
            double x = settings.ConvertFromDSpacing(d);
            EXPECT_NEAR(settings.ConvertToDSpacing(x), d, 1e-9 * d) << "unit " << unit;
        }
    }
    settings.m_axisType = static_cast<LXTypes::QLAxisType>(0);
    EXPECT_EQ(settings.ConvertFromDSpacing(2.0), 0.0);
    EXPECT_EQ(settings.ConvertToDSpacing(2.0), 0.0);
}

TEST(Settings, TwoThetaOfBraggLaw)
{
    CDiffractionSettings settings(true);
    // λ = 2 d sin θ with d = 2.82 Å
    const double expected = 2.0 * std::asin(1.5405 / (2.0 * 2.82)) * 180.0 / kPi;
    EXPECT_NEAR(settings.ConvertFromDSpacing(2.82), expected, 1e-12);

    // Electrons: the 2θ axis follows the electron wavelength, not the X-ray one.
    settings.m_simulationType = LXTypes::kSimElectrons;
    settings.m_lambdaTEM = 0.0251;
    const double electron = 2.0 * std::asin(0.0251 / (2.0 * 2.82)) * 180.0 / kPi;
    EXPECT_NEAR(settings.ConvertFromDSpacing(2.82), electron, 1e-12);
    EXPECT_NEAR(settings.ConvertToDSpacing(electron), 2.82, 1e-9);
}

TEST(Settings, ConvertWidthKeepsEqualUnitsAndUnknownTargets)
{
    CDiffractionSettings settings(true);
    const double w = 0.123456789;
    for (std::uint32_t unit = 1; unit <= 6; ++unit)
    {
        auto u = static_cast<LXTypes::QLAxisType>(unit);
        EXPECT_EQ(settings.ConvertWidth(w, u, u), w);
        EXPECT_EQ(settings.ConvertWidth(w, u, static_cast<LXTypes::QLAxisType>(0)), w);
        EXPECT_EQ(settings.ConvertWidth(w, u, static_cast<LXTypes::QLAxisType>(7)), w);
    }
}

TEST(Settings, NarrowWidthsFollowTheDerivativesAtThreeAngstrom)
{
    CDiffractionSettings settings(true);
    const double d0 = 3.0, wd = 1e-4;
    const double theta0 = std::asin(1.5405 / (2.0 * d0));
    struct Case
    {
        LXTypes::QLAxisType unit;
        double expected;
    } cases[] = {
        {LXTypes::kAxis2Theta, 2.0 * std::tan(theta0) * wd / d0 * 180.0 / kPi},
        {LXTypes::kAxisInverseD, wd / (d0 * d0)},
        {LXTypes::kAxisTimeOfFlight, wd * settings.m_tofFactor},
        {LXTypes::kAxisEnergy, settings.m_edxFactor * wd / (d0 * d0)},
        {LXTypes::kAxisTwoPiOverD, 2.0 * kPi * wd / (d0 * d0)},
    };
    for (const auto& c : cases)
    {
        EXPECT_NEAR(settings.ConvertWidth(wd, LXTypes::kAxisDSpacing, c.unit), c.expected, 1e-6 * c.expected)
            << c.unit;
        EXPECT_NEAR(settings.ConvertWidth(c.expected, c.unit, LXTypes::kAxisDSpacing), wd, 1e-6 * wd) << c.unit;
    }
}

TEST(Settings, InstrumentFactorsSurviveZeroAngles)
{
    CDiffractionSettings settings(true);
    EXPECT_NEAR(settings.m_tofFactor, 100.0 * 2.0 * 0.2527776062488556 * std::sin(1.57), 1e-12);
    settings.m_tofTheta = 0.0;
    settings.m_edxTheta = 0.0;
    settings.UpdateTOFFactor();
    EXPECT_EQ(settings.m_tofFactor, 0.0);
    EXPECT_TRUE(std::isinf(settings.m_edxFactor));
}

TEST(Settings, PeakWidthByInstrument)
{
    CDiffractionSettings settings(true);
    // X-rays on the 2θ axis: the 2θ width itself.
    EXPECT_EQ(settings.GetPeakWidth(30.0), 0.1);

    settings.m_simulationType = LXTypes::kSimElectrons;
    settings.m_axisType = LXTypes::kAxisInverseD;
    EXPECT_EQ(settings.GetPeakWidth(0.5), 0.02);

    settings.m_simulationType = LXTypes::kSimEnergyDispersive;
    settings.m_axisType = LXTypes::kAxisEnergy;
    EXPECT_EQ(settings.GetPeakWidth(20.0), 0.1);
    settings.m_axisType = LXTypes::kAxisDSpacing;
    EXPECT_DOUBLE_EQ(settings.GetPeakWidth(2.0), settings.ConvertWidth(0.1, LXTypes::kAxisEnergy, LXTypes::kAxisDSpacing));

    // Time of flight is the one width that grows with x.
    settings.m_simulationType = LXTypes::kSimTimeOfFlight;
    settings.m_axisType = LXTypes::kAxisTimeOfFlight;
    EXPECT_DOUBLE_EQ(settings.GetPeakWidth(200.0), 0.2);
    EXPECT_DOUBLE_EQ(settings.GetPeakWidth(400.0), 0.4);
}

TEST(Settings, ElectronWavelengthReplacesTheXRayOne)
{
    CDiffractionSettings settings(true);
    EXPECT_EQ(settings.GetWavelength(), 1.5405);
    settings.m_simulationType = LXTypes::kSimElectrons;
    EXPECT_EQ(settings.GetWavelength(), 0.037014);
}
}

namespace
{
TEST(Settings, UnitTextsFollowTheAxis)
{
    CDiffractionSettings settings(true);
    EXPECT_TRUE(settings.m_unitName == L"2θ");
    EXPECT_TRUE(settings.m_unitSymbol == L"°");
    EXPECT_TRUE(settings.m_yTitle == L"Intensity");
    settings.m_axisType = LXTypes::kAxisInverseD;
    settings.LoadUnitStrings();
    EXPECT_TRUE(settings.m_unitName == L"1/d");
    EXPECT_TRUE(settings.m_unitSymbol == L"Å⁻¹");
    // An unknown unit leaves the texts alone.
    settings.m_axisType = static_cast<LXTypes::QLAxisType>(9);
    settings.LoadUnitStrings();
    EXPECT_TRUE(settings.m_unitName == L"1/d");
}
}
