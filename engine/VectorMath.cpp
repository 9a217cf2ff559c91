// Vectorised exponential: x = k ln 2 + r with |r| <= ln 2 / 2, e^r by its Taylor series to r^13
// (the remainder stays below 2^-56), 2^k put into the exponent bits.
#include "VectorMath.h"

#include <cstdint>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <cstring>
#include <limits>

namespace
{
constexpr double kLog2e = 1.4426950408889634;
// Added and taken away again, it rounds to the nearest integer and leaves that integer in the low
// bits of the sum.
constexpr double kRoundingShifter = 0x1.8p52;
constexpr double kLn2High = 6.93147180369123816490e-01;  // ln 2 split so that k ln 2 stays exact
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kLowestArgument = -708.0;
constexpr double kHighestArgument = 709.0;
}

QLW_SIMD_CLONES void ExpOfEach(const double* x, double* out,
                                                                            std::size_t n)
{
#pragma omp simd
    for (std::size_t i = 0; i < n; ++i)
    {
        const double given = x[i];
        const double v = given < kLowestArgument ? kLowestArgument : (given > kHighestArgument ? kHighestArgument : given);
        const double shifted = v * kLog2e + kRoundingShifter;
        const double k = shifted - kRoundingShifter;
        const double r = (v - k * kLn2High) - k * kLn2Low;
        double p = 1.0 / 6227020800.0;
        p = p * r + 1.0 / 479001600.0;
        p = p * r + 1.0 / 39916800.0;
        p = p * r + 1.0 / 3628800.0;
        p = p * r + 1.0 / 362880.0;
        p = p * r + 1.0 / 40320.0;
        p = p * r + 1.0 / 5040.0;
        p = p * r + 1.0 / 720.0;
        p = p * r + 1.0 / 120.0;
        p = p * r + 1.0 / 24.0;
        p = p * r + 1.0 / 6.0;
        p = p * r + 0.5;
        p = p * r + 1.0;
        p = p * r + 1.0;
        std::uint64_t bits;
        std::memcpy(&bits, &shifted, sizeof bits);
        bits = (bits + 1023) << 52;  // the low bits hold k: 2^k as a double
        double scale;
        std::memcpy(&scale, &bits, sizeof scale);
        const double value = given > kHighestArgument ? std::numeric_limits<double>::infinity() : p * scale;
        out[i] = given < kLowestArgument ? 0.0 : value;
    }
}

#if defined(__x86_64__) || defined(__i386__)
namespace {
__attribute__((target("avx"))) void ZeroUpperHalves() { _mm256_zeroupper(); }
}  // namespace
#endif

void ClearUpperVectorState()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) ZeroUpperHalves();
#endif
}
