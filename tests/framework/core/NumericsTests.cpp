// 3x3 numerics: eigen-decomposition, lattice products, the Cartesian frame, angles, inversion.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <stdexcept>

#include "LXNumerics.h"
#include "LXXUtilities.h"

using LXTypes::CMatrix33;

namespace {
// Metric tensor of a cell with edges in Å and angles in degrees.
CMatrix33 Metric(double a, double b, double c, double alpha, double beta, double gamma) {
  const double d = std::acos(-1.0) / 180.0;
  const double ca = std::cos(alpha * d), cb = std::cos(beta * d), cg = std::cos(gamma * d);
  return CMatrix33(a * a, a * b * cg, a * c * cb, a * b * cg, b * b, b * c * ca, a * c * cb, b * c * ca, c * c);
}

CMatrix33 Multiply(const CMatrix33& x, const CMatrix33& y) {
  CMatrix33 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r(i, j) += x(i, k) * y(k, j);
  return r;
}
}  // namespace

TEST(Numerics, ElementAccessChecksIndices) {
  CMatrix33 m(1, 2, 3, 4, 5, 6, 7, 8, 9);
  EXPECT_EQ(m(1, 2), 6.0);
  EXPECT_EQ(m(2, 0), 7.0);
  EXPECT_THROW(m(3, 0), std::invalid_argument);
  EXPECT_THROW(m(0, -1), std::invalid_argument);
  try {
    m(0, 3);
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Invalid row or column index.");
  }
}

TEST(Numerics, JacobiOfDiagonalMatrixReturnsAtOnce) {
  CMatrix33 a(4, 0, 0, 0, -2, 0, 0, 0, 7), v(9, 9, 9, 9, 9, 9, 9, 9, 9);
  double d[3];
  JacobiEigen3x3(a, d, v);
  EXPECT_EQ(d[0], 4.0);
  EXPECT_EQ(d[1], -2.0);
  EXPECT_EQ(d[2], 7.0);
  EXPECT_EQ(v, CMatrix33::Identity());
}

TEST(Numerics, JacobiFindsEigenpairsInDiagonalPositions) {
  CMatrix33 a(2, 1, 0, 1, 2, 0, 0, 0, 5), v;
  double d[3];
  JacobiEigen3x3(a, d, v);
  EXPECT_NEAR(d[0], 1.0, 1e-12);
  EXPECT_NEAR(d[1], 3.0, 1e-12);
  EXPECT_NEAR(d[2], 5.0, 1e-12);
  const double r = std::sqrt(0.5);
  EXPECT_NEAR(std::fabs(v(0, 0)), r, 1e-12);
  EXPECT_NEAR(v(0, 0), -v(1, 0), 1e-12);  // (1, -1, 0) for eigenvalue 1
  EXPECT_NEAR(v(0, 1), v(1, 1), 1e-12);   // (1, 1, 0) for eigenvalue 3
  EXPECT_NEAR(std::fabs(v(2, 2)), 1.0, 1e-12);
}

TEST(Numerics, JacobiDecomposesAFullSymmetricMatrix) {
  const CMatrix33 original(4, 1, -2, 1, 3, 0.5, -2, 0.5, 6);
  CMatrix33 a = original, v;
  double d[3];
  JacobiEigen3x3(a, d, v);
  // A v_k = d_k v_k for every column, and the columns are orthonormal.
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 3; ++i) {
      double av = 0;
      for (int j = 0; j < 3; ++j) av += original(i, j) * v(j, k);
      EXPECT_NEAR(av, d[k] * v(i, k), 1e-12);
    }
  }
  CMatrix33 vt;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) vt(i, j) = v(j, i);
  const CMatrix33 identity = Multiply(vt, v);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(identity[i], CMatrix33::Identity()[i], 1e-12);
  EXPECT_NEAR(d[0] + d[1] + d[2], 13.0, 1e-12);
}

TEST(Numerics, CubicPlaneNormalsAndAngles) {
  const CMatrix33 G = CMatrix33::Identity();
  const double h110[3] = {1, 1, 0}, h100[3] = {1, 0, 0}, h010[3] = {0, 1, 0}, h111[3] = {1, 1, 1};
  double n[3];
  PlaneNormal(n, G, h110);
  EXPECT_NEAR(n[0], 1.0, 1e-15);
  EXPECT_NEAR(n[1], 1.0, 1e-15);
  EXPECT_NEAR(n[2], 0.0, 1e-15);
  EXPECT_NEAR(InterplanarAngle(h100, h010, G), 90.0, 1e-12);
  EXPECT_NEAR(InterplanarAngle(h100, h111, G), std::acos(1 / std::sqrt(3.0)) * 180 / std::acos(-1.0), 1e-12);
}

TEST(Numerics, PlaneNormalPointsAlongTheIndices) {
  // Negative indices: the normal is turned to have a non-negative dot product with (h k l).
  const CMatrix33 G = Metric(5, 6, 7, 80, 95, 110);
  const double hkl[3] = {-1, 2, -3};
  double n[3];
  PlaneNormal(n, G, hkl);
  EXPECT_GE(n[0] * hkl[0] + n[1] * hkl[1] + n[2] * hkl[2], 0.0);
}

TEST(Numerics, HexagonalInterplanarAngle) {
  // In a hexagonal cell the planes (1 0 0) and (0 1 0) are 60 degrees apart.
  const CMatrix33 G = Metric(3, 3, 5, 90, 90, 120);
  const double h100[3] = {1, 0, 0}, h010[3] = {0, 1, 0}, h001[3] = {0, 0, 1};
  EXPECT_NEAR(InterplanarAngle(h100, h010, G), 60.0, 1e-10);
  EXPECT_NEAR(InterplanarAngle(h100, h001, G), 90.0, 1e-10);
}

TEST(Numerics, OrthonormalizeCellMapsTheAxesToCartesianLengthsAndAngles) {
  const CMatrix33 G = Metric(5, 6, 7, 80, 95, 110);
  CMatrix33 M;
  OrthonormalizeCell(G, M);
  // M a_i . M a_j must equal G(i, j): the frame preserves the metric.
  CMatrix33 mt;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) mt(i, j) = M(j, i);
  const CMatrix33 g = Multiply(mt, M);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(g[i], G[i], 1e-10) << i;
  // c lies along z.
  EXPECT_NEAR(M(0, 2), 0.0, 1e-12);
  EXPECT_NEAR(M(1, 2), 0.0, 1e-12);
  EXPECT_NEAR(M(2, 2), 7.0, 1e-12);
}

TEST(Numerics, OrthonormalizeCellRejectsADegenerateFrame) {
  // A zero metric, and a cell whose a and b axes coincide.
  const CMatrix33 metrics[] = {CMatrix33(), CMatrix33(1, 1, 0, 1, 1, 0, 0, 0, 1)};
  for (const CMatrix33& G : metrics) {
    CMatrix33 M;
    try {
      OrthonormalizeCell(G, M);
      ADD_FAILURE() << "no exception";
    } catch (const CLXXInvalidMatrix& e) {
      EXPECT_EQ(e.GetSeverity(), 2u);
      EXPECT_EQ(e.GetErrorCode(), 0);
      EXPECT_EQ(e.GetMessageId(), 21585u);
    }
  }
}

TEST(Numerics, CrossProductTakesTheSecondOperandFirst) {
  const CMatrix33 G = CMatrix33::Identity();
  const double a[3] = {1, 0, 0}, b[3] = {0, 1, 0};
  double out[3];
  CrossProductLattice(out, a, b, G);  // b x a = -c
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1], 0.0);
  EXPECT_EQ(out[2], -1.0);
}

TEST(Numerics, AngleBetweenEdgeCases) {
  // For (1, 1, 1) the computed cosine with itself is 1 + 2^-52: still exactly 0 degrees.
  const double v[3] = {1, 1, 1}, w[3] = {-1, -1, -1}, zero[3] = {0, 0, 0};
  EXPECT_EQ(AngleBetween(v, v), 0.0);
  EXPECT_EQ(AngleBetween(v, w), 180.0);
  EXPECT_EQ(AngleBetween(v, zero), -DBL_MAX);
  EXPECT_EQ(AngleBetween(zero, v), -1.7976931348623157e308);
}

TEST(Numerics, Invert3x3GivesTheInverseOrTheIdentity) {
  const CMatrix33 m(2, 0, 1, 1, 3, 2, 1, 1, 2);
  CMatrix33 inv;
  Invert3x3(m, inv);
  const CMatrix33 p = Multiply(m, inv);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(p[i], CMatrix33::Identity()[i], 1e-14);

  CMatrix33 singular(1, 2, 3, 2, 4, 6, 0, 1, 1), out(5, 5, 5, 5, 5, 5, 5, 5, 5);
  EXPECT_EQ(Invert3x3(singular, out), CMatrix33::Identity());
  // In place.
  CMatrix33 same = m;
  Invert3x3(same, same);
  EXPECT_EQ(same, inv);
}
