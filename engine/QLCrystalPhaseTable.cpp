// Phase-factor tables; the sums are written so the compiler can vectorise them.
#include "QLCrystalPhaseTable.h"

namespace
{
const double kTwoPi = 2.0 * std::acos(-1.0);
constexpr double kSineZero = 1.1368683772161603e-13;  // 2^-43

double ZeroIfTiny(double v)
{
    return std::fabs(v) < kSineZero ? 0.0 : v;
}
}

CQLPhaseTable::CQLPhaseTable(const std::vector<Point>& points, const int maxIndex[3])
    : m_numPoints(points.size()), m_maxIndex{maxIndex[0], maxIndex[1], maxIndex[2]}
{
    for (int axis = 0; axis < 3; ++axis)
    {
        const std::size_t rows = static_cast<std::size_t>(m_maxIndex[axis]) + 1;
        m_cos[axis].resize(rows * m_numPoints);
        m_sin[axis].resize(rows * m_numPoints);
        const long total = static_cast<long>(rows * m_numPoints);
        double* cosRow = m_cos[axis].data();
        double* sinRow = m_sin[axis].data();
        // Both factors from the half angle (cos as 1 - 2 sin², as the crystal computes a phase),
        // values below 2^-43 set to 0 so that special positions cancel exactly.
#pragma omp parallel for schedule(static) if (total > 100000)
        for (long i = 0; i < total; ++i)
        {
            const std::size_t n = static_cast<std::size_t>(i) / m_numPoints;
            const std::size_t p = static_cast<std::size_t>(i) % m_numPoints;
            const double phi = kTwoPi * (static_cast<double>(n) * points[p][axis]);
            double halfSin, halfCos;
            sincos(phi * 0.5, &halfSin, &halfCos);
            cosRow[i] = ZeroIfTiny(1.0 - 2.0 * halfSin * halfSin);
            sinRow[i] = ZeroIfTiny(2.0 * halfSin * halfCos);
        }
    }
}

void CQLPhaseTable::Sum(int h, int k, int l, std::size_t first, std::size_t last, double& re, double& im) const
{
    const int idx[3] = {h, k, l};
    const double* c[3];
    const double* s[3];
    double sign[3];
    for (int axis = 0; axis < 3; ++axis)
    {
        const std::size_t n = static_cast<std::size_t>(idx[axis] < 0 ? -idx[axis] : idx[axis]);
        c[axis] = m_cos[axis].data() + n * m_numPoints;
        s[axis] = m_sin[axis].data() + n * m_numPoints;
        sign[axis] = idx[axis] < 0 ? -1.0 : 1.0;  // exp(-iθ) is the conjugate
    }
    const double* cx = c[0];
    const double* cy = c[1];
    const double* cz = c[2];
    const double* sx = s[0];
    const double* sy = s[1];
    const double* sz = s[2];
    const double gx = sign[0], gy = sign[1], gz = sign[2];
    double sumRe = 0.0, sumIm = 0.0;
#pragma omp simd reduction(+ : sumRe, sumIm)
    for (std::size_t p = first; p < last; ++p)
    {
        const double a = cx[p], b = gx * sx[p];
        const double cc = cy[p], d = gy * sy[p];
        const double e = cz[p], f = gz * sz[p];
        const double u = a * cc - b * d;
        const double v = a * d + b * cc;
        sumRe += u * e - v * f;
        sumIm += u * f + v * e;
    }
    re = sumRe;
    im = sumIm;
}

void CQLPhaseTable::WeightedSum(int h, int k, int l, std::size_t first, std::size_t last, const double* weights,
                                double& re, double& im) const
{
    const int idx[3] = {h, k, l};
    const double* c[3];
    const double* s[3];
    double sign[3];
    for (int axis = 0; axis < 3; ++axis)
    {
        const std::size_t n = static_cast<std::size_t>(idx[axis] < 0 ? -idx[axis] : idx[axis]);
        c[axis] = m_cos[axis].data() + n * m_numPoints;
        s[axis] = m_sin[axis].data() + n * m_numPoints;
        sign[axis] = idx[axis] < 0 ? -1.0 : 1.0;  // exp(-iθ) is the conjugate
    }
    const double* cx = c[0];
    const double* cy = c[1];
    const double* cz = c[2];
    const double* sx = s[0];
    const double* sy = s[1];
    const double* sz = s[2];
    const double gx = sign[0], gy = sign[1], gz = sign[2];
    double sumRe = 0.0, sumIm = 0.0;
#pragma omp simd reduction(+ : sumRe, sumIm)
    for (std::size_t p = first; p < last; ++p)
    {
        const double a = cx[p], b = gx * sx[p];
        const double cc = cy[p], d = gy * sy[p];
        const double e = cz[p], f = gz * sz[p];
        const double u = a * cc - b * d;
        const double v = a * d + b * cc;
        const double w = weights[p - first];
        sumRe += w * (u * e - v * f);
        sumIm += w * (u * f + v * e);
    }
    re = sumRe;
    im = sumIm;
}
