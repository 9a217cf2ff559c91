// Phase-factor tables; the sums are written so the compiler can vectorise them.
#include "QLCrystalPhaseTable.h"

#include "EngineConstants.h"
#include "VectorMath.h"
#include "WorkerTeam.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

using namespace QLEngineConstants;

CQLPhaseTable::CQLPhaseTable(const std::vector<Point>& points, const int maxIndex[3])
    : m_numPoints(points.size()), m_maxIndex{maxIndex[0], maxIndex[1], maxIndex[2]}
{
    const std::size_t numPoints = m_numPoints;
    std::size_t rows[3], totalRows = 0;
    for (int axis = 0; axis < 3; ++axis)
    {
        rows[axis] = static_cast<std::size_t>(m_maxIndex[axis]) + 1;
        totalRows += rows[axis];
        m_cos[axis] = std::make_unique_for_overwrite<double[]>(rows[axis] * numPoints);
        m_sin[axis] = std::make_unique_for_overwrite<double[]>(rows[axis] * numPoints);
    }
    const bool parallel = totalRows * numPoints > 100000;

    // Symmetry images share few coordinate values per axis: each distinct value (by its bits)
    // gets its factors computed once and copied to every point that has it.
    std::vector<double> distinct[3];
    std::vector<std::uint32_t> which[3];
    qlw::ParallelFor(3, 1, parallel, [&](long begin, long end) {
        for (long axisIndex = begin; axisIndex < end; ++axisIndex)
        {
            const int axis = static_cast<int>(axisIndex);
            std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(numPoints);
            for (std::size_t p = 0; p < numPoints; ++p)
            {
                std::uint64_t bits;
                std::memcpy(&bits, &points[p][static_cast<std::size_t>(axis)], sizeof bits);
                keyed[p] = {bits, static_cast<std::uint32_t>(p)};
            }
            std::sort(keyed.begin(), keyed.end());
            which[axis].resize(numPoints);
            for (std::size_t i = 0; i < keyed.size(); ++i)
            {
                if (i == 0 || keyed[i].first != keyed[i - 1].first)
                    distinct[axis].push_back(points[keyed[i].second][static_cast<std::size_t>(axis)]);
                which[axis][keyed[i].second] = static_cast<std::uint32_t>(distinct[axis].size() - 1);
            }
        }
    });

    // Both factors from the half angle (cos as 1 - 2 sin², as the crystal computes a phase),
    // values below 2^-43 set to 0 so that special positions cancel exactly.
    const long taskCount = static_cast<long>(totalRows);
    qlw::ParallelFor(taskCount, 4, parallel, [&](long begin, long end) {
        for (long task = begin; task < end; ++task)
        {
            int axis = 0;
            std::size_t n = static_cast<std::size_t>(task);
            while (n >= rows[axis])
                n -= rows[axis++];
            const std::vector<double>& values = distinct[axis];
            std::vector<double> distinctCos(values.size()), distinctSin(values.size());
            for (std::size_t u = 0; u < values.size(); ++u)
            {
                const double phi = kTwoPi * (static_cast<double>(n) * values[u]);
                double halfSin, halfCos;
                sincos(phi * 0.5, &halfSin, &halfCos);
                distinctCos[u] = ZeroIfTiny(1.0 - 2.0 * halfSin * halfSin);
                distinctSin[u] = ZeroIfTiny(2.0 * halfSin * halfCos);
            }
            double* cosRow = m_cos[axis].get() + n * numPoints;
            double* sinRow = m_sin[axis].get() + n * numPoints;
            const std::uint32_t* index = which[axis].data();
            for (std::size_t p = 0; p < numPoints; ++p)
            {
                cosRow[p] = distinctCos[index[p]];
                sinRow[p] = distinctSin[index[p]];
            }
        }
    });
}

namespace
{
// Σ over points of the product of the three axes' factors; signs conjugate the factors of negative
// indices. Inlined into one function per instruction set below.
template <bool kWeighted>
__attribute__((always_inline)) inline void SumOfProducts(const double* cx, const double* sx, const double* cy,
                                                         const double* sy, const double* cz, const double* sz,
                                                         double gx, double gy, double gz, const double* weights,
                                                         std::size_t first, std::size_t last, double& re, double& im)
{
    double sumRe = 0.0, sumIm = 0.0;
#pragma omp simd reduction(+ : sumRe, sumIm)
    for (std::size_t p = first; p < last; ++p)
    {
        const double a = cx[p], b = gx * sx[p];
        const double cc = cy[p], d = gy * sy[p];
        const double e = cz[p], f = gz * sz[p];
        const double u = a * cc - b * d;
        const double v = a * d + b * cc;
        if constexpr (kWeighted)
        {
            const double w = weights[p - first];
            sumRe += w * (u * e - v * f);
            sumIm += w * (u * f + v * e);
        }
        else
        {
            sumRe += u * e - v * f;
            sumIm += u * f + v * e;
        }
    }
    re = sumRe;
    im = sumIm;
}

QLW_SIMD_CLONES void PlainSum(
    const double* cx, const double* sx, const double* cy, const double* sy, const double* cz, const double* sz,
    double gx, double gy, double gz, std::size_t first, std::size_t last, double& re, double& im)
{
    SumOfProducts<false>(cx, sx, cy, sy, cz, sz, gx, gy, gz, nullptr, first, last, re, im);
}

QLW_SIMD_CLONES void WeightedSum(
    const double* cx, const double* sx, const double* cy, const double* sy, const double* cz, const double* sz,
    double gx, double gy, double gz, const double* weights, std::size_t first, std::size_t last, double& re,
    double& im)
{
    SumOfProducts<true>(cx, sx, cy, sy, cz, sz, gx, gy, gz, weights, first, last, re, im);
}
}

template <bool kWeighted>
void CQLPhaseTable::SumRows(int h, int k, int l, std::size_t first, std::size_t last, const double* weights,
                            double& re, double& im) const
{
    const int idx[3] = {h, k, l};
    const double* c[3];
    const double* s[3];
    double sign[3];
    for (int axis = 0; axis < 3; ++axis)
    {
        const std::size_t n = static_cast<std::size_t>(idx[axis] < 0 ? -idx[axis] : idx[axis]);
        c[axis] = m_cos[axis].get() + n * m_numPoints;
        s[axis] = m_sin[axis].get() + n * m_numPoints;
        sign[axis] = idx[axis] < 0 ? -1.0 : 1.0;  // exp(-iθ) is the conjugate
    }
    if constexpr (kWeighted)
        ::WeightedSum(c[0], s[0], c[1], s[1], c[2], s[2], sign[0], sign[1], sign[2], weights, first, last, re, im);
    else
        PlainSum(c[0], s[0], c[1], s[1], c[2], s[2], sign[0], sign[1], sign[2], first, last, re, im);
}

void CQLPhaseTable::Sum(int h, int k, int l, std::size_t first, std::size_t last, double& re, double& im) const
{
    SumRows<false>(h, k, l, first, last, nullptr, re, im);
}

void CQLPhaseTable::WeightedSum(int h, int k, int l, std::size_t first, std::size_t last, const double* weights,
                                double& re, double& im) const
{
    SumRows<true>(h, k, l, first, last, weights, re, im);
}
