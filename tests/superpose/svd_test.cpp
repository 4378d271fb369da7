// The singular value decomposition: reconstruction, orthogonality, known values, thresholds, failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "geometry.hpp"
#include "superpose/rmsd.hpp"

namespace veldrix::testing {
namespace {

struct Decomposition {
  int m, n, mp;
  std::vector<double> a;  // input, mp x n
  std::vector<double> u;  // U, mp x n
  std::vector<double> w;
  std::vector<double> v;  // n x n
};

// Decomposes an m x n matrix given row by row, stored with leading dimension mp.
Decomposition decompose(int m, int n, int mp, const std::vector<double>& rows) {
  Decomposition d{m, n, mp, std::vector<double>(std::size_t(mp) * n, 0.0), {}, std::vector<double>(n, -7.0),
                  std::vector<double>(std::size_t(n) * n, -7.0)};
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) d.a[i + std::size_t(mp) * j] = rows[std::size_t(i) * n + j];
  d.u = d.a;
  svd(d.u, m, n, mp, n, d.w, d.v);
  return d;
}

double largest_entry(const Decomposition& d) {
  double s = 0.0;
  for (double x : d.a) s = std::max(s, std::fabs(x));
  return s;
}

// U * diag(w) * V^T reproduces a.
void expect_reconstructs(const Decomposition& d, double tol) {
  for (int i = 0; i < d.m; ++i)
    for (int j = 0; j < d.n; ++j) {
      double s = 0.0;
      for (int k = 0; k < d.n; ++k) s += d.u[i + std::size_t(d.mp) * k] * d.w[k] * d.v[j + std::size_t(d.n) * k];
      EXPECT_NEAR(s, d.a[i + std::size_t(d.mp) * j], tol) << "entry (" << i + 1 << ", " << j + 1 << ")";
    }
}

// V^T V = I; the columns of U that belong to non-zero singular values are orthonormal.
void expect_orthogonal(const Decomposition& d, double tol) {
  for (int p = 0; p < d.n; ++p)
    for (int q = 0; q < d.n; ++q) {
      double sv = 0.0;
      for (int k = 0; k < d.n; ++k) sv += d.v[k + std::size_t(d.n) * p] * d.v[k + std::size_t(d.n) * q];
      EXPECT_NEAR(sv, p == q ? 1.0 : 0.0, tol) << "V columns " << p + 1 << ", " << q + 1;
      if (d.w[p] == 0.0 || d.w[q] == 0.0) continue;
      double su = 0.0;
      for (int k = 0; k < d.m; ++k) su += d.u[k + std::size_t(d.mp) * p] * d.u[k + std::size_t(d.mp) * q];
      EXPECT_NEAR(su, p == q ? 1.0 : 0.0, tol) << "U columns " << p + 1 << ", " << q + 1;
    }
}

void expect_valid(const Decomposition& d) {
  const double scale = std::max(largest_entry(d), 1.0e-300);
  for (double x : d.w) EXPECT_GE(x, 0.0);
  expect_reconstructs(d, 1.0e-12 * scale);
  expect_orthogonal(d, 1.0e-12);
}

TEST(Svd, AssortedMatricesAreReconstructed) {
  const std::vector<std::vector<double>> square = {
      {2, -1, 0, -1, 2, -1, 0, -1, 2},                 // symmetric positive definite
      {1, 2, 3, 4, 5, 6, 7, 8, 10},                    // general
      {1, 2, 3, 2, 4, 6, 3, 6, 9},                     // rank 1
      {1, 2, 3, 4, 5, 6, 7, 8, 9},                     // rank 2
      {0, 1, 0, 0, 0, 1, 0, 0, 0},                     // nilpotent shift, zero diagonal
      {1, 1, 0, 0, 0, 1, 0, 0, 1},                     // bidiagonal with a zero on the diagonal
      {-3, 0, 0, 0, 2, 0, 0, 0, -1e-9},                // diagonal with negative entries
      {1e-3, 5e2, -7, 0.25, -1e-2, 3e4, 12, 0, -8e-1}  // wide spread of magnitudes
  };
  for (const auto& rows : square) {
    SCOPED_TRACE(::testing::Message() << "matrix starting " << rows[0] << ", " << rows[1]);
    expect_valid(decompose(3, 3, 3, rows));
  }
  // Tall, and with a leading dimension larger than the row count.
  expect_valid(decompose(5, 3, 5, {1, 0, 2, -1, 3, 1, 4, 4, 0, 2, -2, 5, 0, 1, 1}));
  expect_valid(decompose(4, 4, 6, {4, 1, -2, 2, 1, 2, 0, 1, -2, 0, 3, -2, 2, 1, -2, -1}));
}

TEST(Svd, KnownSingularValuesOfRotatedDiagonals) {
  std::mt19937 rng(11);
  const std::vector<Vec3> values = {{5.0, 2.0, 0.5}, {1.0, 1.0, 1.0}, {3.0, 3.0, 0.0}, {7.0, 0.0, 0.0}, {2.0, 1.0, 1.0}};
  for (const Vec3& s : values)
    for (int rep = 0; rep < 20; ++rep) {
      // a = P * diag(s) * Q^T with random rotations P and Q.
      const Mat3 p = random_rotation(rng), q = random_rotation(rng);
      std::vector<double> rows(9);
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
          double x = 0.0;
          for (int k = 0; k < 3; ++k) x += p[i + 3 * k] * s[k] * q[j + 3 * k];
          rows[3 * i + j] = x;
        }
      const Decomposition d = decompose(3, 3, 3, rows);
      expect_valid(d);
      std::vector<double> got = d.w, want(s.begin(), s.end());
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 1e-12);
    }
}

TEST(Svd, ZeroMatrixGivesZeroValuesAndIdentityV) {
  const Decomposition d = decompose(3, 3, 3, std::vector<double>(9, 0.0));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(d.w[k], 0.0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(d.v[i + 3 * j], i == j ? 1.0 : 0.0);
}

TEST(Svd, ValuesAreLeftUnsorted) {
  // diag(1, 2, 3) is already diagonal: every value converges where it stands.
  const Decomposition d = decompose(3, 3, 3, {1, 0, 0, 0, 2, 0, 0, 0, 3});
  EXPECT_DOUBLE_EQ(d.w[0], 1.0);
  EXPECT_DOUBLE_EQ(d.w[1], 2.0);
  EXPECT_DOUBLE_EQ(d.w[2], 3.0);
  expect_valid(d);
}

TEST(Svd, NegligibilityIsAbsoluteNotRelative) {
  EXPECT_NE(svd_negligible, 2.0e-14);
  EXPECT_EQ(float(svd_negligible), 2.0e-14f);

  // The bidiagonal [[1, 1], [0, 1]] has singular values (sqrt 5 +- 1) / 2.
  const double golden = (std::sqrt(5.0) + 1.0) / 2.0;
  Decomposition big = decompose(2, 2, 2, {1, 1, 0, 1});
  std::sort(big.w.begin(), big.w.end());
  EXPECT_NEAR(big.w[0], golden - 1.0, 1e-14);
  EXPECT_NEAR(big.w[1], golden, 1e-14);

  // Scaled down to 1e-15 every super-diagonal element lies under the absolute
  // threshold: the bidiagonal form is taken as already split and its diagonal,
  // which is 1e-15 in magnitude twice, comes back instead of the true values.
  const Decomposition tiny = decompose(2, 2, 2, {1e-15, 1e-15, 0, 1e-15});
  EXPECT_DOUBLE_EQ(tiny.w[0], 1e-15);
  EXPECT_DOUBLE_EQ(tiny.w[1], 1e-15);
  for (double x : tiny.w) EXPECT_GT(std::fabs(x - golden * 1e-15), 0.5e-15);

  // A diagonal element of 1e-14 under a super-diagonal of 1e-13 is negligible too:
  // the super-diagonal is rotated into the next value, which becomes
  // sqrt(2) * 1e-13, while the small one stays 1e-14. (The true values are
  // about 1.4177e-13 and 7.05e-15.)
  const Decomposition cancel = decompose(2, 2, 2, {1e-14, 1e-13, 0, 1e-13});
  EXPECT_NEAR(cancel.w[0], 1e-14, 1e-27);
  EXPECT_NEAR(cancel.w[1], std::sqrt(2.0) * 1e-13, 1e-26);
}

TEST(Svd, NonConvergenceIsFatal) {
  Captured out;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> a = {1, 2, 3, 4, nan, 6, 7, 8, 9}, w(3), v(9);
  EXPECT_EQ(stop_status([&] { svd(a, 3, 3, 3, 3, w, v); }), 1);
  EXPECT_NE(out.text().find("SVDCMP: No convergence in 30 iterations"), std::string::npos) << out.text();
}

TEST(Svd, PythagIsRobust) {
  EXPECT_DOUBLE_EQ(pythag(3.0, 4.0), 5.0);
  EXPECT_DOUBLE_EQ(pythag(-3.0, 4.0), 5.0);
  EXPECT_EQ(pythag(0.0, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(pythag(3e200, 4e200), 5e200);    // a*a would overflow
  EXPECT_DOUBLE_EQ(pythag(3e-200, 4e-200), 5e-200);  // a*a would underflow
}

}  // namespace
}  // namespace veldrix::testing
