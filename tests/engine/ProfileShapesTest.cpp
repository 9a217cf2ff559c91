// The four peak shapes: height, half width, area and cut-off.
#include "PeakProfile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
const double kPi = std::acos(-1.0);

// Midpoint sum of a shape over c ± span.
double Area(int type, double c, double w, double eta, double span)
{
    const int n = 200000;
    const double h = 2.0 * span / n;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += PeakShapeValue(type, c - span + (i + 0.5) * h, c, w, eta);
    return sum * h;
}
}  // namespace

TEST(PeakShape, LorentzianAndGaussianHaveUnitAreaAndHalfMaximumAtOneWidth)
{
    const double c = 30.0, w = 0.2;
    for (int type : {QLPeakShape::kLorentzian, QLPeakShape::kGaussian}) {
        SCOPED_TRACE(type);
        const double top = PeakShapeValue(type, c, c, w, 0.0);
        EXPECT_NEAR(PeakShapeValue(type, c + w, c, w, 0.0), top / 2, 1e-7 * top);
        EXPECT_NEAR(PeakShapeValue(type, c - w, c, w, 0.0), top / 2, 1e-7 * top);
    }
    EXPECT_NEAR(Area(QLPeakShape::kGaussian, c, w, 0.0, 10 * w), 1.0, 1e-9);
    // The Lorentzian's tails beyond ±t hold 1 − (2/π) atan t of its area.
    EXPECT_NEAR(Area(QLPeakShape::kLorentzian, c, w, 0.0, 1000 * w), 2.0 / kPi * std::atan(1000.0), 1e-6);
}

TEST(PeakShape, GaussianPeakValueAndExactZeroBeyondTheExponentFloor)
{
    const double w = 0.05;
    EXPECT_DOUBLE_EQ(GaussianPeak(10.0, 10.0, w), std::sqrt(QLPeakShape::kLn2 / kPi) / w);
    // The exponent −ln2·t² reaches −30 at about 6.5788 widths.
    EXPECT_GT(GaussianPeak(10.0 + 6.57 * w, 10.0, w), 0.0);
    EXPECT_EQ(GaussianPeak(10.0 + 6.58 * w, 10.0, w), 0.0);
    EXPECT_EQ(GaussianPeak(10.0 - 7.0 * w, 10.0, w), 0.0);
}

TEST(PeakShape, TriangleAndPseudoVoigt)
{
    EXPECT_DOUBLE_EQ(TrianglePeak(5.0, 5.0, 2.0), 1.0);
    EXPECT_DOUBLE_EQ(TrianglePeak(6.0, 5.0, 2.0), 0.5);
    EXPECT_DOUBLE_EQ(TrianglePeak(3.5, 5.0, 2.0), 0.25);
    EXPECT_EQ(TrianglePeak(7.0, 5.0, 2.0), 0.0);
    EXPECT_EQ(TrianglePeak(9.0, 5.0, 2.0), 0.0);

    const double eta = 0.3, x = 1.07, c = 1.0, w = 0.1;
    EXPECT_DOUBLE_EQ(PseudoVoigtPeak(x, c, w, eta), 0.7 * GaussianPeak(x, c, w) + 0.3 * LorentzianPeak(x, c, w));
    EXPECT_NEAR(Area(QLPeakShape::kPseudoVoigt, c, w, 0.0, 10 * w), 1.0, 1e-9);
}

TEST(PeakShape, CutOffsAndUnknownTypes)
{
    struct Case { int type; double eta; double cutOff; };
    const Case cases[] = {
        {QLPeakShape::kDelta, 0.2, 1.0},        {QLPeakShape::kLorentzian, 0.2, 20.0},
        {QLPeakShape::kGaussian, 0.2, 5.0},     {QLPeakShape::kPseudoVoigt, 0.2, 0.8 * 5.0 + 0.2 * 20.0},
        {QLPeakShape::kPseudoVoigt, 1.0, 20.0}, {0, 0.2, 0.0}, {5, 0.2, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_DOUBLE_EQ(PeakCutOff(c.type, c.eta), c.cutOff);
    }
    EXPECT_EQ(PeakShapeValue(5, 1.0, 1.0, 0.1, 0.2), 0.0);
    EXPECT_EQ(PeakShapeValue(0, 1.0, 1.0, 0.1, 0.2), 0.0);
}

TEST(PeakShape, ArrayFormGivesTheSingleValuesBitForBit)
{
    // Points across the centre, the half width, the Gaussian's exponent floor and the cut-offs,
    // with lengths that leave odd tails after the vectorised part of each loop.
    std::vector<double> x;
    for (int i = 0; i < 1001; ++i) x.push_back(-3.0 + i * 0.00613);
    x.push_back(1.0 + 6.5788 * 0.1);
    x.push_back(1.0 - 6.5788 * 0.1);
    x.push_back(1.0);
    for (int type : {QLPeakShape::kDelta, QLPeakShape::kLorentzian, QLPeakShape::kGaussian, QLPeakShape::kPseudoVoigt, 0, 5})
        for (double w : {0.1, 0.0137, 250.0})
            for (size_t n : {size_t(0), size_t(1), size_t(3), x.size()}) {
                SCOPED_TRACE(testing::Message() << "type " << type << " w " << w << " n " << n);
                std::vector<double> out(n + 1, -1.0);
                PeakShapeValues(type, x.data(), n, 1.0, w, 0.35, out.data());
                for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], PeakShapeValue(type, x[i], 1.0, w, 0.35)) << x[i];
                EXPECT_EQ(out[n], -1.0) << "written past the end";
            }
}
