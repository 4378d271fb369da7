// The pairwise superposition: exact fits, mirror images, the write modes, ties and optimality.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry.hpp"
#include "superpose/rmsd.hpp"

namespace veldrix::testing {
namespace {

const std::span<double> none;

Vec3 centroid(const std::vector<double>& p) {
  Vec3 c{0, 0, 0};
  const std::size_t n = p.size() / 3;
  for (std::size_t k = 0; k < n; ++k)
    for (int i = 0; i < 3; ++i) c[i] += p[3 * k + i];
  for (double& x : c) x /= double(n);
  return c;
}

// The fit applied to extra points reveals the rotation: z = (cx, cx + e1, cx + e2, cx + e3).
struct Fit {
  double rmsd;
  Mat3 r;
  Vec3 t;  // image of cx, i.e. cy
};

Fit fit_of(const std::vector<double>& x, const std::vector<double>& y) {
  std::vector<double> xc = x;
  const Vec3 c = centroid(x);
  std::vector<double> z;
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 3; ++i) z.push_back(c[i] + (k > 0 && i == k - 1 ? 1.0 : 0.0));
  Fit f{};
  f.rmsd = rmsd(xc, y, int(x.size() / 3), 1, z, 4);
  for (int i = 0; i < 3; ++i) f.t[i] = z[i];
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) f.r[i + 3 * j] = z[3 * (j + 1) + i] - z[i];
  return f;
}

void expect_proper_rotation(const Mat3& r) {
  for (int p = 0; p < 3; ++p)
    for (int q = 0; q < 3; ++q) {
      double s = 0.0;
      for (int k = 0; k < 3; ++k) s += r[k + 3 * p] * r[k + 3 * q];
      EXPECT_NEAR(s, p == q ? 1.0 : 0.0, 1e-12);
    }
  EXPECT_NEAR(det3(r), 1.0, 1e-12);
}

// RMSD of r * (x - cx) + cy against y, computed directly.
double rmsd_with(const Mat3& r, const std::vector<double>& x, const std::vector<double>& y) {
  const Vec3 cx = centroid(x), cy = centroid(y);
  const std::size_t n = x.size() / 3;
  double s = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const Vec3 p = rotate_by(r, {x[3 * k] - cx[0], x[3 * k + 1] - cx[1], x[3 * k + 2] - cx[2]});
    for (int i = 0; i < 3; ++i) s += std::pow(p[i] + cy[i] - y[3 * k + i], 2);
  }
  return std::sqrt(s / double(n));
}

TEST(Rmsd, RigidMotionFitsBackExactly) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> count(4, 60);
  for (int rep = 0; rep < 500; ++rep) {
    const int n = count(rng);
    const std::vector<double> x0 = random_points(rng, n, 10.0);
    const Mat3 r = random_rotation(rng);
    const std::vector<double> y = moved(x0, r, random_vector(rng, 50.0));

    std::vector<double> x = x0;
    EXPECT_NEAR(rmsd(x, y, n, 0, none, 0), 0.0, 1e-9);
    EXPECT_EQ(x, x0);

    EXPECT_NEAR(rmsd(x, y, n, -1, none, 0), 0.0, 1e-9);
    EXPECT_LT(max_abs_diff(x, y), 1e-9) << "repetition " << rep;

    // The recovered rotation is the one that was applied.
    const Fit f = fit_of(x0, y);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(f.r[k], r[k], 1e-9);
  }
}

TEST(Rmsd, MirrorImageGivesProperRotationAndPositiveRmsd) {
  std::mt19937 rng(7);
  for (int rep = 0; rep < 50; ++rep) {
    const int n = 10 + rep;
    const std::vector<double> x = random_points(rng, n, 8.0);
    std::vector<double> mirror = x;
    for (int k = 0; k < n; ++k) mirror[3 * k] = -mirror[3 * k];
    const std::vector<double> y = moved(mirror, random_rotation(rng), random_vector(rng, 30.0));

    const Fit f = fit_of(x, y);
    expect_proper_rotation(f.r);
    EXPECT_GT(f.rmsd, 0.1);
    // The returned value is the RMSD of the rotation that was applied.
    EXPECT_NEAR(f.rmsd, rmsd_with(f.r, x, y), 1e-10);
    const Vec3 cy = centroid(y);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(f.t[i], cy[i], 1e-10);
  }
}

TEST(Rmsd, NoRotationFitsBetter) {
  std::mt19937 rng(99);
  for (int rep = 0; rep < 20; ++rep) {
    const int n = 8;
    const std::vector<double> x = random_points(rng, n, 5.0);
    const std::vector<double> y = random_points(rng, n, 5.0);  // unrelated sets
    const Fit f = fit_of(x, y);
    expect_proper_rotation(f.r);
    for (int trial = 0; trial < 300; ++trial)
      EXPECT_GE(rmsd_with(random_rotation(rng), x, y), f.rmsd - 1e-12);
  }
}

TEST(Rmsd, ThreePointsOrFewerTouchNothing) {
  std::mt19937 rng(3);
  for (int n = 0; n <= 3; ++n)
    for (int mode : {-1, 0, 1}) {
      const std::vector<double> x0 = random_points(rng, 4, 5.0), y0 = random_points(rng, 4, 5.0),
                                z0 = random_points(rng, 4, 5.0);
      std::vector<double> x = x0, y = y0, z = z0;
      EXPECT_EQ(rmsd(x, y, n, mode, z, 4), 0.0);
      EXPECT_EQ(x, x0);
      EXPECT_EQ(y, y0);
      EXPECT_EQ(z, z0);
    }
}

TEST(Rmsd, ModesWriteOnlyWhatTheyShould) {
  std::mt19937 rng(5);
  const int n = 12;
  const std::vector<double> x0 = random_points(rng, n, 6.0), y = random_points(rng, n, 6.0),
                            z0 = random_points(rng, 5, 6.0);

  std::vector<double> x = x0, z = z0;
  const double r0 = rmsd(x, y, n, 0, z, 5);
  EXPECT_EQ(x, x0);
  EXPECT_EQ(z, z0);

  const double r1 = rmsd(x, y, n, 1, z, 0);  // mode +1 with no extra points
  EXPECT_EQ(x, x0);
  EXPECT_EQ(z, z0);

  std::vector<double> fitted = x0;
  const double rm = rmsd(fitted, y, n, -1, z, 5);  // mode -1 never touches z
  EXPECT_EQ(z, z0);
  EXPECT_NE(fitted, x0);

  // Mode +1 applied to a copy of x moves the copy exactly as mode -1 moves x.
  std::vector<double> copy = x0;
  const double rp = rmsd(x, y, n, 1, copy, n);
  EXPECT_EQ(x, x0);
  EXPECT_LT(max_abs_diff(copy, fitted), 1e-12);

  EXPECT_EQ(r0, r1);
  EXPECT_EQ(r0, rm);
  EXPECT_EQ(r0, rp);
  EXPECT_NEAR(r0, rmsd_with(fit_of(x0, y).r, x0, y), 1e-12);
  // Fitting the fitted set again changes nothing.
  std::vector<double> again = fitted;
  EXPECT_NEAR(rmsd(again, y, n, -1, none, 0), r0, 1e-12);
  EXPECT_LT(max_abs_diff(again, fitted), 1e-10);
}

// Six points on the axes, (+-a, 0, 0), (0, +-b, 0), (0, 0, +-c): centred, and with a
// diagonal correlation matrix, so equal singular values are exactly equal.
std::vector<double> axis_points(double a, double b, double c) {
  return {a, 0, 0, -a, 0, 0, 0, b, 0, 0, -b, 0, 0, 0, c, 0, 0, -c};
}

TEST(Rmsd, TiedSmallestValuesStillGiveTheBestProperRotation) {
  // Two tied minima and a negative determinant: the mirror image through z = 0.
  {
    const std::vector<double> x = axis_points(2, 1, 1);
    std::vector<double> y = x;
    for (int k = 0; k < 6; ++k) y[3 * k + 2] = -y[3 * k + 2];
    const Fit f = fit_of(x, y);
    expect_proper_rotation(f.r);
    // The best proper fit leaves the four unit points 2 apart pairwise: sqrt(8 / 6).
    EXPECT_NEAR(f.rmsd, std::sqrt(8.0 / 6.0), 1e-12);
  }
  // Three tied values and a negative determinant: the inversion of a regular octahedron.
  {
    const std::vector<double> x = axis_points(1, 1, 1);
    std::vector<double> y = x;
    for (double& c : y) c = -c;
    const Fit f = fit_of(x, y);
    expect_proper_rotation(f.r);
    // A half turn about one axis matches four of the six points; leaving every
    // point where it is (distance 2 each, RMSD 2) would be far worse.
    EXPECT_NEAR(f.rmsd, std::sqrt(8.0 / 6.0), 1e-12);
    EXPECT_NEAR(f.rmsd, rmsd_with(f.r, x, y), 1e-12);
  }
  // Three tied values and a positive determinant: a pure rotation fits exactly.
  {
    const std::vector<double> x = axis_points(1, 1, 1);
    const Mat3 quarter = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    const Fit f = fit_of(x, moved(x, quarter, {1, 2, 3}));
    expect_proper_rotation(f.r);
    EXPECT_NEAR(f.rmsd, 0.0, 1e-12);
  }
}

TEST(Rmsd, CollinearPointsFit) {
  // Collinear sets leave two singular values tied at zero; the fit along the line is exact.
  std::mt19937 rng(17);
  for (int rep = 0; rep < 100; ++rep) {
    const int n = 6;
    std::vector<double> x(3 * n);
    std::uniform_real_distribution<double> u(-5.0, 5.0);
    for (int k = 0; k < n; ++k) {
      const double s = u(rng);
      x[3 * k] = s;
      x[3 * k + 1] = 2.0 * s + 1.0;
      x[3 * k + 2] = -s;
    }
    const std::vector<double> y = moved(x, random_rotation(rng), random_vector(rng, 20.0));
    std::vector<double> xf = x;
    EXPECT_NEAR(rmsd(xf, y, n, -1, none, 0), 0.0, 1e-9);
    EXPECT_LT(max_abs_diff(xf, y), 1e-9);

    // A mirror image of a line is a rotated copy of it: whatever sign the
    // vanishing determinant takes, the fit is exact.
    std::vector<double> mirror = y;
    for (int k = 0; k < n; ++k) mirror[3 * k + 1] = -mirror[3 * k + 1];
    const Fit f = fit_of(x, mirror);
    EXPECT_NEAR(f.rmsd, 0.0, 1e-9);
    EXPECT_NEAR(std::fabs(det3(f.r)), 1.0, 1e-12);
  }
}

}  // namespace
}  // namespace veldrix::testing
