#include "VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

TEST(VectorMath, ExponentialStaysWithinOneUnitInTheLastPlace)
{
    // Damping exponents run from 0 down to hundreds; a few positive values as well, and a length
    // that leaves a remainder after every vector width.
    std::vector<double> x;
    for (int i = 0; i < 200003; ++i)
        x.push_back(-700.0 * i / 200003.0 + 1e-3 * (i % 11));
    for (double v : {0.0, -0.0, 1e-300, -1e-300, 0.5 * std::log(2.0), -0.5 * std::log(2.0), 1.0, 700.0, -707.9})
        x.push_back(v);
    std::vector<double> e(x.size());
    ExpOfEach(x.data(), e.data(), x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        const double expected = std::exp(x[i]);
        const double ulp = std::nextafter(expected, std::numeric_limits<double>::infinity()) - expected;
        ASSERT_LE(std::fabs(e[i] - expected), ulp) << "x = " << x[i];
    }
}

TEST(VectorMath, ExponentialOutsideTheNormalRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double x[] = {-708.5, -1e6, -std::numeric_limits<double>::infinity(), 709.5,
                        std::numeric_limits<double>::infinity(), nan};
    double e[6];
    ExpOfEach(x, e, 6);
    EXPECT_EQ(e[0], 0.0);
    EXPECT_EQ(e[1], 0.0);
    EXPECT_EQ(e[2], 0.0);
    EXPECT_EQ(e[3], std::numeric_limits<double>::infinity());
    EXPECT_EQ(e[4], std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(e[5]));
}
