// Atomic displacement of a site: isotropic U or an anisotropic tensor turned into betas.
#pragma once

#include <array>
#include <cmath>
#include <memory>

class CQLThermalEllipsoid
{
public:
    CQLThermalEllipsoid() = default;
    explicit CQLThermalEllipsoid(double u) : m_u(u) {}
    virtual ~CQLThermalEllipsoid() = default;

    virtual std::unique_ptr<CQLThermalEllipsoid> Clone() const;
    // d in Å; the anisotropic form ignores it.
    virtual double GetTemperatureFactor(int h, int k, int l, double d) const;

    double m_u = 0.0;   // isotropic mean-square displacement (Å²), Ueq for the anisotropic form
};

class CQLAnisoThermalEllipsoid : public CQLThermalEllipsoid
{
public:
    // u: the U tensor row-major (U11 U12 U13 U22 U23 U33 are read); reciprocal lengths in 1/Å.
    CQLAnisoThermalEllipsoid(const double u[9], double aStar, double bStar, double cStar);

    std::unique_ptr<CQLThermalEllipsoid> Clone() const override;
    double GetTemperatureFactor(int h, int k, int l, double) const override { return FactorAt(h, k, l); }
    // The factor without a virtual call, for loops over many images.
    double FactorAt(int h, int k, int l) const { return std::exp(ExponentAt(h, k, l)); }
    // The exponent of the factor, for callers that take the exponentials of many at once; even in
    // (h, k, l), bit for bit.
    double ExponentAt(int h, int k, int l) const
    {
        const double* b = m_beta;
        return -(b[0] * h * h + b[4] * k * k + b[8] * l * l + 2.0 * b[1] * h * k + 2.0 * b[2] * h * l +
                 2.0 * b[5] * k * l);
    }
    // The tensor of the image that the fractional rotation r (row-major) makes: beta' = r beta rᵀ.
    void Rotate(const std::array<int, 9>& r);

    double m_beta[9] = {};  // row-major, symmetric
};

// True when the symmetric tensor of the upper triangle of a row-major 3×3 matrix is positive definite.
bool IsPositiveDefinite3x3(const double m[9]);
