// 3x3 numerics in double precision for the crystal model: symmetric eigen-decomposition,
// lattice cross products and plane normals, the Cartesian frame of a cell, angles, inversion.
// The errors thrown here (CLXXInvalidMatrix) are declared in LXXUtilities.h.
#pragma once

#include <cstddef>

namespace LXTypes {

// Nine doubles, row-major: element (r, c) at index 3r + c.
struct CMatrix33 {
  double m[9]{};

  constexpr CMatrix33() = default;
  constexpr CMatrix33(double m0, double m1, double m2, double m3, double m4, double m5, double m6, double m7,
                      double m8)
      : m{m0, m1, m2, m3, m4, m5, m6, m7, m8} {}

  static constexpr CMatrix33 Identity() { return CMatrix33(1, 0, 0, 0, 1, 0, 0, 0, 1); }

  // Checked access: a row or column outside 0..2 throws std::invalid_argument.
  double& operator()(int row, int col);
  double operator()(int row, int col) const;

  // Unchecked access by flat index.
  double& operator[](std::size_t i) { return m[i]; }
  double operator[](std::size_t i) const { return m[i]; }

  friend bool operator==(const CMatrix33& a, const CMatrix33& b) {
    for (int i = 0; i < 9; ++i)
      if (a.m[i] != b.m[i]) return false;
    return true;
  }
};

// out = M * v.
void MultiplyMatrixVector(const CMatrix33& M, const double v[3], double out[3]);

}  // namespace LXTypes

// Cyclic Jacobi method on the symmetric matrix a (its elements above the diagonal are
// destroyed). d receives the eigenvalues, unsorted; column k of v is the unit eigenvector
// of d[k]. Returns after 50 sweeps with what it reached if it has not converged.
void JacobiEigen3x3(LXTypes::CMatrix33& a, double d[3], LXTypes::CMatrix33& v);

// Direct-lattice components of v x u for the metric G: ((G v) x (G u)) / sqrt(det G).
double* CrossProductLattice(double out[3], const double u[3], const double v[3], const LXTypes::CMatrix33& G);

// Normal of the plane (h k l) on the direct axes: V (h a* + k b* + l c*).
double* PlaneNormal(double out[3], const LXTypes::CMatrix33& G, const double hkl[3]);

// Matrix taking direct-lattice components to Cartesian coordinates (z along c, y normal
// to c). Throws CLXXInvalidMatrix (severity 2, code 0) for a degenerate frame.
void OrthonormalizeCell(const LXTypes::CMatrix33& G, LXTypes::CMatrix33& out);

// Angle in degrees between two lattice planes.
double InterplanarAngle(const double hkl1[3], const double hkl2[3], const LXTypes::CMatrix33& G);

// Angle in degrees between two Cartesian vectors; -DBL_MAX when either has zero length.
double AngleBetween(const double a[3], const double b[3]);

// Inverse by cofactors; a singular matrix gives the identity.
LXTypes::CMatrix33& Invert3x3(const LXTypes::CMatrix33& m, LXTypes::CMatrix33& out);
