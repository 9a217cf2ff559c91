// 3x3 numerics; see LXNumerics.h.
#include "LXNumerics.h"

#include <cfloat>
#include <cmath>
#include <stdexcept>

#include "LXGeometry.h"
#include "LXXUtilities.h"

using LXTypes::CMatrix33;

namespace LXTypes {

static void CheckIndex(int row, int col) {
  if (row < 0 || row > 2 || col < 0 || col > 2) throw std::invalid_argument("Invalid row or column index.");
}

double& CMatrix33::operator()(int row, int col) {
  CheckIndex(row, col);
  return m[3 * row + col];
}

double CMatrix33::operator()(int row, int col) const {
  CheckIndex(row, col);
  return m[3 * row + col];
}

void MultiplyMatrixVector(const CMatrix33& M, const double v[3], double out[3]) {
  const double x = v[0], y = v[1], z = v[2];
  for (int r = 0; r < 3; ++r) out[r] = M.m[3 * r] * x + M.m[3 * r + 1] * y + M.m[3 * r + 2] * z;
}

}  // namespace LXTypes

namespace {

inline void Rotate(double& x, double& y, double s, double tau) {
  const double g = x, h = y;
  x = g - s * (h + g * tau);
  y = h + s * (g - h * tau);
}

double Determinant(const CMatrix33& m) {
  const double* a = m.m;
  return a[0] * (a[4] * a[8] - a[7] * a[5]) + a[1] * (a[5] * a[6] - a[3] * a[8]) + a[2] * (a[7] * a[3] - a[4] * a[6]);
}

}  // namespace

void JacobiEigen3x3(CMatrix33& a, double d[3], CMatrix33& v) {
  constexpr int kMaxSweeps = 50;
  v = CMatrix33::Identity();
  double b[3], z[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) b[i] = d[i] = a(i, i);

  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    const double sum = std::fabs(a(0, 1)) + std::fabs(a(0, 2)) + std::fabs(a(1, 2));
    if (sum == 0.0) return;
    const double threshold = sweep < 4 ? 0.2 * sum / 9.0 : 0.0;

    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        const double g = 100.0 * std::fabs(a(p, q));
        if (sweep > 4 && std::fabs(d[p]) + g == std::fabs(d[p]) && std::fabs(d[q]) + g == std::fabs(d[q])) {
          a(p, q) = 0.0;
          continue;
        }
        if (std::fabs(a(p, q)) <= threshold) continue;

        double h = d[q] - d[p];
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = a(p, q) / h;
        } else {
          const double theta = 0.5 * h / a(p, q);
          t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
          if (theta < 0.0) t = -t;
        }
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double s = t * c;
        const double tau = s / (1.0 + c);
        h = t * a(p, q);
        z[p] -= h;
        z[q] += h;
        d[p] -= h;
        d[q] += h;
        a(p, q) = 0.0;
        for (int j = 0; j < p; ++j) Rotate(a(j, p), a(j, q), s, tau);
        for (int j = p + 1; j < q; ++j) Rotate(a(p, j), a(j, q), s, tau);
        for (int j = q + 1; j < 3; ++j) Rotate(a(p, j), a(q, j), s, tau);
        for (int j = 0; j < 3; ++j) Rotate(v(j, p), v(j, q), s, tau);
      }
    }
    for (int i = 0; i < 3; ++i) {
      b[i] += z[i];
      d[i] = b[i];
      z[i] = 0.0;
    }
  }
}

double* CrossProductLattice(double out[3], const double u[3], const double v[3], const CMatrix33& G) {
  double gu[3], gv[3];
  LXTypes::MultiplyMatrixVector(G, u, gu);
  LXTypes::MultiplyMatrixVector(G, v, gv);
  const double volume = std::sqrt(Determinant(G));
  const double x = gv[1] * gu[2] - gv[2] * gu[1];
  const double y = gv[2] * gu[0] - gv[0] * gu[2];
  const double z = gv[0] * gu[1] - gv[1] * gu[0];
  out[0] = x / volume;
  out[1] = y / volume;
  out[2] = z / volume;
  return out;
}

double* PlaneNormal(double out[3], const CMatrix33& G, const double hkl[3]) {
  static const double a[3] = {1, 0, 0}, b[3] = {0, 1, 0}, c[3] = {0, 0, 1};
  double r1[3], r2[3], r3[3];
  CrossProductLattice(r1, b, c, G);
  CrossProductLattice(r2, c, a, G);
  CrossProductLattice(r3, a, b, G);
  double n[3];
  for (int i = 0; i < 3; ++i) n[i] = hkl[0] * r1[i] + hkl[1] * r2[i] + hkl[2] * r3[i];
  const double dot = n[0] * hkl[0] + n[1] * hkl[1] + n[2] * hkl[2];
  for (int i = 0; i < 3; ++i) out[i] = dot < 0.0 ? -n[i] : n[i];
  return out;
}

void OrthonormalizeCell(const CMatrix33& G, CMatrix33& out) {
  const double z[3] = {0.0, 0.0, 1.0 / std::sqrt(G.m[8])};
  double w[3];
  LXTypes::MultiplyMatrixVector(G, z, w);
  double u[3];
  if (std::fabs(w[0]) > 1e-5) {
    u[0] = -w[1];
    u[1] = w[0];
    u[2] = 0.0;
  } else {
    u[0] = 0.0;
    u[1] = w[2];
    u[2] = -w[1];
  }
  double gu[3];
  LXTypes::MultiplyMatrixVector(G, u, gu);
  const double norm = std::sqrt(u[0] * gu[0] + u[1] * gu[1] + u[2] * gu[2]);
  const double y[3] = {u[0] / norm, u[1] / norm, u[2] / norm};
  double x[3];
  CrossProductLattice(x, z, y, G);

  CMatrix33 P;
  for (int r = 0; r < 3; ++r) {
    P.m[3 * r] = x[r];
    P.m[3 * r + 1] = y[r];
    P.m[3 * r + 2] = z[r];
  }
  // A degenerate metric yields infinities or NaN rather than an exact zero: refuse those too.
  const double det = Determinant(P);
  if (det == 0.0 || !std::isfinite(det)) throw CLXXInvalidMatrix(kLXSeverityMessage, 0, __LINE__);
  Invert3x3(P, out);
}

double InterplanarAngle(const double hkl1[3], const double hkl2[3], const CMatrix33& G) {
  double a[3], b[3];
  PlaneNormal(a, G, hkl1);
  PlaneNormal(b, G, hkl2);
  CMatrix33 M;
  OrthonormalizeCell(G, M);
  double ca[3], cb[3];
  LXTypes::MultiplyMatrixVector(M, a, ca);
  LXTypes::MultiplyMatrixVector(M, b, cb);
  return AngleBetween(ca, cb);
}

double AngleBetween(const double a[3], const double b[3]) {
  const double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
  const double lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
  if (la == 0.0 || lb == 0.0) return -DBL_MAX;
  const double cosine = (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (la * lb);
  if (cosine > 1.0) return 0.0;
  if (cosine < -1.0) return 180.0;
  return AcosDegrees(cosine);
}

CMatrix33& Invert3x3(const CMatrix33& m, CMatrix33& out) {
  const double* a = m.m;
  const double det = Determinant(m);
  if (!(std::fabs(det) > 0.0)) {
    out = CMatrix33::Identity();
    return out;
  }
  const CMatrix33 adj(a[4] * a[8] - a[5] * a[7], a[2] * a[7] - a[1] * a[8], a[1] * a[5] - a[2] * a[4],
                      a[5] * a[6] - a[3] * a[8], a[0] * a[8] - a[2] * a[6], a[2] * a[3] - a[0] * a[5],
                      a[3] * a[7] - a[4] * a[6], a[1] * a[6] - a[0] * a[7], a[0] * a[4] - a[1] * a[3]);
  for (int i = 0; i < 9; ++i) out.m[i] = adj.m[i] / det;
  return out;
}
