// Elementwise loops over arrays of doubles, each built for several instruction sets and chosen
// when the program loads; the phase-table sums are in QLCrystalPhaseTable.cpp.
#pragma once

#include <cstddef>

// Function clones for several instruction sets, chosen when the program loads. Only GCC: clang 14
// cannot link such clones into the sanitizer builds of the fuzz targets.
#if defined(__GNUC__) && !defined(__clang__)
#define QLW_SIMD_CLONES __attribute__((target_clones("default", "avx2", "avx512f")))
#else
#define QLW_SIMD_CLONES
#endif

// out[i] = e^x[i] within one unit in the last place of std::exp between x = -708 and 709; 0 below
// that range and +inf above it, where the result would leave the normal doubles.
void ExpOfEach(const double* x, double* out, std::size_t n);

// Code that left the upper halves of the vector registers in use (seen on the window's thread after
// Qt loads its plugins) makes every switch between glibc's AVX maths and SSE code a state
// transition costing some twenty times an exp; clearing them first is free when they are clean.
void ClearUpperVectorState();
