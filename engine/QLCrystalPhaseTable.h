// Phase factors exp(2πi n x) of a set of fractional positions for every index n up to a limit,
// so that a structure-factor sum needs products instead of trigonometric calls per position.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

class CQLPhaseTable
{
public:
    using Point = std::array<double, 3>;

    // Bytes the table would take, so callers can refuse one that is too large.
    static std::size_t Footprint(std::size_t numPoints, const int maxIndex[3])
    {
        std::size_t rows = 0;
        for (int axis = 0; axis < 3; ++axis)
            rows += static_cast<std::size_t>(maxIndex[axis]) + 1;
        return rows * numPoints * 2 * sizeof(double);
    }

    CQLPhaseTable(const std::vector<Point>& points, const int maxIndex[3]);

    // Σ over points [first, last) of exp(2πi (h x + k y + l z)); indices within the limits.
    void Sum(int h, int k, int l, std::size_t first, std::size_t last, double& re, double& im) const;

    // The same with each point's term multiplied by weights[p - first].
    void WeightedSum(int h, int k, int l, std::size_t first, std::size_t last, const double* weights, double& re,
                     double& im) const;

    std::size_t Size() const { return m_numPoints; }

private:
    template <bool kWeighted>
    void SumRows(int h, int k, int l, std::size_t first, std::size_t last, const double* weights, double& re,
                 double& im) const;

    std::size_t m_numPoints;
    std::array<int, 3> m_maxIndex;
    // Per axis, row n holds cos and sin of 2π n x for every point (filled without a zeroing pass).
    std::array<std::unique_ptr<double[]>, 3> m_cos, m_sin;
};
