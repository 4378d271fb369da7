// The pairwise superposition and its singular value decomposition: rotations recovered, the
// reflection guard, the write modes, thresholds and the fatal non-convergence.
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

const std::span<double> none;

// The decomposition of [[1, 1], [0, 1]], which has the singular values (sqrt 5 +- 1) / 2, scaled by f.
std::vector<double> golden_values(double f) {
  std::vector<double> a = {f, 0, f, f}, w(2), v(4);
  svd(a, 2, 2, 2, 2, w, v);
  std::sort(w.begin(), w.end());
  return w;
}

TEST(Svd, NegligibilityIsAbsoluteNonConvergenceIsFatalAndPythagIsRobust) {
  const std::vector<double> w = golden_values(1.0);
  EXPECT_NEAR(w[0], (std::sqrt(5.0) - 1) / 2, 1e-14);
  EXPECT_NEAR(w[1], (std::sqrt(5.0) + 1) / 2, 1e-14);
  // Scaled to 1e-15 the super-diagonal lies below the absolute threshold 2e-14 (as held in single
  // precision): the matrix is taken as split, and its diagonal comes back.
  EXPECT_EQ(golden_values(1e-15), (std::vector<double>{1e-15, 1e-15}));
  std::vector<double> a = {1, 2, 3, 4, std::numeric_limits<double>::quiet_NaN(), 6, 7, 8, 9}, w3(3), v(9);
  EXPECT_EQ(fatal_of([&] { svd(a, 3, 3, 3, 3, w3, v); }), "SVDCMP: No convergence in 30 iterations");
  for (const auto& [x, y, h] : std::vector<std::array<double, 3>>{
           {3, 4, 5}, {-3, 4, 5}, {0, 0, 0}, {3e200, 4e200, 5e200}, {3e-200, 4e-200, 5e-200}})
    EXPECT_DOUBLE_EQ(pythag(x, y), h);
}

std::array<double, 3> centroid(const std::vector<double>& p) {
  std::array<double, 3> c{};
  for (std::size_t k = 0; k < p.size(); ++k) c[k % 3] += p[k] / double(p.size() / 3);
  return c;
}

// The fit applied to the centroid of x and the three unit steps from it reveals rotation and image.
struct Fit {
  double rmsd;
  Mat3 r;
};
Fit fit_of(const std::vector<double>& x, const std::vector<double>& y) {
  const std::array<double, 3> c = centroid(x);
  std::vector<double> z, xc = x;
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 3; ++i) z.push_back(c[i] + (k == i + 1 ? 1.0 : 0.0));
  Fit f{rmsd(xc, y, int(x.size() / 3), 1, z, 4), {}};
  for (std::size_t j = 0; j < 3; ++j)
    for (std::size_t i = 0; i < 3; ++i) f.r[i + 3 * j] = z[3 * (j + 1) + i] - z[i];
  return f;
}

double det3(const Mat3& m) {
  return m[0] * (m[4] * m[8] - m[7] * m[5]) - m[3] * (m[1] * m[8] - m[7] * m[2]) + m[6] * (m[1] * m[5] - m[4] * m[2]);
}

// RMS distance of two point sets, point by point.
double rms(const std::vector<double>& a, const std::vector<double>& b) {
  double sq = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) sq += (a[k] - b[k]) * (a[k] - b[k]);
  return std::sqrt(sq / double(a.size() / 3));
}

TEST(Rmsd, RigidMotionsAreRecoveredAndMirrorImagesGetAProperRotation) {
  std::mt19937 rng(2024);
  for (int rep = 0; rep < 200; ++rep) {
    const int n = 4 + rep % 50;
    const std::vector<double> x0 = random_points(rng, n, 10.0);
    const Mat3 r = random_rotation(rng);
    const std::vector<double> t = random_points(rng, 1, 50.0);
    const std::vector<double> y = moved(x0, r, {t[0], t[1], t[2]});
    std::vector<double> x = x0;
    EXPECT_NEAR(rmsd(x, y, n, 0, none, 0), 0.0, 1e-9);
    EXPECT_EQ(x, x0) << "mode 0 writes nothing";
    EXPECT_NEAR(rmsd(x, y, n, -1, none, 0), 0.0, 1e-9);
    EXPECT_LT(rms(x, y), 1e-9);
    const Fit f = fit_of(x0, y);
    for (std::size_t k = 0; k < 9; ++k) EXPECT_NEAR(f.r[k], r[k], 1e-9);
    // The mirror image: still a proper rotation, and the value returned is that of the rotation applied.
    std::vector<double> mirror = y, fitted = x0;
    for (std::size_t k = 0; k < mirror.size(); k += 3) mirror[k] = -mirror[k];
    const Fit m = fit_of(x0, mirror);
    EXPECT_NEAR(det3(m.r), 1.0, 1e-12);
    EXPECT_GT(m.rmsd, 0.1);
    EXPECT_EQ(rmsd(fitted, mirror, n, -1, none, 0), m.rmsd);
    EXPECT_NEAR(rms(fitted, mirror), m.rmsd, 1e-10);
  }
}

TEST(Rmsd, ModesTiesAndTooFewPoints) {
  std::mt19937 rng(5);
  const int n = 12;
  const std::vector<double> x0 = random_points(rng, n, 6.0), y = random_points(rng, n, 6.0);
  const std::vector<double> z0 = random_points(rng, 5, 6.0);
  std::vector<double> x = x0, z = z0, fitted = x0, copy = x0;
  const double r0 = rmsd(x, y, n, 0, z, 5);
  EXPECT_EQ(rmsd(fitted, y, n, -1, z, 5), r0);
  EXPECT_EQ(rmsd(x, y, n, 1, copy, n), r0);
  EXPECT_EQ(x, x0);
  EXPECT_EQ(z, z0) << "only mode +1 writes to the extra points";
  EXPECT_LT(rms(copy, fitted), 1e-12) << "mode +1 moves a copy as mode -1 moves x";
  // No other rotation about the centroids fits better.
  const std::array<double, 3> cx = centroid(x0), cy = centroid(y);
  const std::vector<double> centred = moved(x0, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {-cx[0], -cx[1], -cx[2]});
  for (int trial = 0; trial < 300; ++trial) EXPECT_GE(rms(moved(centred, random_rotation(rng), cy), y), r0 - 1e-12);
  // Six points on the axes, inverted: three tied values and a negative determinant. A half turn
  // about one axis matches four of the six points: RMSD sqrt(8 / 6), far below the 2 of no turn.
  const std::vector<double> octahedron = {1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1};
  std::vector<double> inverted = octahedron;
  for (double& c : inverted) c = -c;
  const Fit f = fit_of(octahedron, inverted);
  EXPECT_NEAR(det3(f.r), 1.0, 1e-12);
  EXPECT_NEAR(f.rmsd, std::sqrt(8.0 / 6.0), 1e-12);
  for (int count = 0; count <= 3; ++count) {
    std::vector<double> a = x0, b = y, c = z0;
    EXPECT_EQ(rmsd(a, b, count, -1, c, 4), 0.0);
    EXPECT_EQ(rmsd(a, b, count, 1, c, 4), 0.0);
    EXPECT_TRUE(a == x0 && b == y && c == z0) << count << " points touch nothing";
  }
}

}  // namespace
}  // namespace veldrix::testing
