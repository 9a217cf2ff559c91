// Isotropic and anisotropic displacement factors.
#include "ThermalEllipsoid.h"

#include "EngineConstants.h"
#include "LXNumerics.h"

#include <cmath>

using namespace QLEngineConstants;

namespace
{
const double kTwoPiSquared = 2.0 * kPi * kPi;
}

std::unique_ptr<CQLThermalEllipsoid> CQLThermalEllipsoid::Clone() const
{
    return std::make_unique<CQLThermalEllipsoid>(*this);
}

double CQLThermalEllipsoid::GetTemperatureFactor(int, int, int, double d) const
{
    return std::exp(-kTwoPiSquared * m_u / (d * d));
}

CQLAnisoThermalEllipsoid::CQLAnisoThermalEllipsoid(const double u[9], double aStar, double bStar, double cStar)
{
    const double star[3] = {aStar, bStar, cStar};
    const double uu[3][3] = {{u[0], u[1], u[2]}, {u[1], u[4], u[5]}, {u[2], u[5], u[8]}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m_beta[3 * i + j] = kTwoPiSquared * star[i] * star[j] * uu[i][j];

    // Ueq from the eigenvalues of U recovered from the betas.
    LXTypes::CMatrix33 back;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
        {
            double scale = kTwoPiSquared * star[i] * star[j];
            back[3 * i + j] = scale != 0.0 ? m_beta[3 * i + j] / scale : 0.0;
        }
    double eigen[3];
    LXTypes::CMatrix33 vectors;
    JacobiEigen3x3(back, eigen, vectors);
    m_u = (eigen[0] + eigen[1] + eigen[2]) / 3.0;
}

std::unique_ptr<CQLThermalEllipsoid> CQLAnisoThermalEllipsoid::Clone() const
{
    return std::make_unique<CQLAnisoThermalEllipsoid>(*this);
}

void CQLAnisoThermalEllipsoid::Rotate(const std::array<int, 9>& r)
{
    double rotated[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
        {
            double sum = 0.0;
            for (int m = 0; m < 3; ++m)
                for (int n = 0; n < 3; ++n)
                    sum += r[static_cast<std::size_t>(3 * i + m)] * m_beta[3 * m + n] * r[static_cast<std::size_t>(3 * j + n)];
            rotated[3 * i + j] = sum;
        }
    for (int i = 0; i < 9; ++i)
        m_beta[i] = rotated[i];
}

bool IsPositiveDefinite3x3(const double m[9])
{
    // Only the upper triangle is the tensor: a stale lower triangle must not decide. Sylvester's
    // test needs all three leading minors; a positive diagonal with det > 0 lets two negative
    // eigenvalues through.
    const double u11 = m[0], u12 = m[1], u13 = m[2], u22 = m[4], u23 = m[5], u33 = m[8];
    if (!(std::isfinite(u11) && std::isfinite(u12) && std::isfinite(u13) && std::isfinite(u22) &&
          std::isfinite(u23) && std::isfinite(u33)))
        return false;
    const double minor2 = u11 * u22 - u12 * u12;
    const double det = u11 * (u22 * u33 - u23 * u23) - u12 * (u12 * u33 - u23 * u13) + u13 * (u12 * u23 - u22 * u13);
    return u11 > 0.0 && minor2 > 0.0 && det > 0.0;
}
