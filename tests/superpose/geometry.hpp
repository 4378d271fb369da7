// Test geometry: random rotations, point sets and in-memory ensembles for the superposition tests.
#pragma once

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "test_support.hpp"

namespace veldrix::testing {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>;  // column by column: (i, j) is [i + 3 j], 0-based

inline Vec3 rotate_by(const Mat3& r, const Vec3& p) {
  Vec3 q{};
  for (int i = 0; i < 3; ++i) q[i] = r[i] * p[0] + r[i + 3] * p[1] + r[i + 6] * p[2];
  return q;
}

inline double det3(const Mat3& m) {
  auto e = [&](int i, int j) { return m[i + 3 * j]; };
  return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) - e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
         e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
}

// A uniformly distributed proper rotation (from a random unit quaternion).
inline Mat3 random_rotation(std::mt19937& rng) {
  std::normal_distribution<double> g(0.0, 1.0);
  double q[4];
  double n = 0.0;
  for (double& c : q) {
    c = g(rng);
    n += c * c;
  }
  n = std::sqrt(n);
  for (double& c : q) c /= n;
  const double w = q[0], x = q[1], y = q[2], z = q[3];
  return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),
          2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),
          2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y)};
}

inline Vec3 random_vector(std::mt19937& rng, double scale) {
  std::uniform_real_distribution<double> u(-scale, scale);
  return {u(rng), u(rng), u(rng)};
}

// n random points, flattened (x, y, z per point).
inline std::vector<double> random_points(std::mt19937& rng, int n, double scale) {
  std::vector<double> p(3 * std::size_t(n));
  std::uniform_real_distribution<double> u(-scale, scale);
  for (double& c : p) c = u(rng);
  return p;
}

// Every point mapped to r * p + t.
inline std::vector<double> moved(const std::vector<double>& p, const Mat3& r, const Vec3& t) {
  std::vector<double> q(p.size());
  for (std::size_t k = 0; k < p.size() / 3; ++k) {
    const Vec3 a = rotate_by(r, {p[3 * k], p[3 * k + 1], p[3 * k + 2]});
    for (int i = 0; i < 3; ++i) q[3 * k + i] = a[i] + t[i];
  }
  return q;
}

inline double max_abs_diff(const std::vector<double>& a, const std::vector<double>& b) {
  double m = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
  return m;
}

// An ensemble of nstr structures of nres residues with `per` atoms each: every
// structure is a random rigid motion of one irregular helix, with Gaussian noise
// of the given size on every coordinate. Residue `displaced` (0: none) is shifted
// in every structure by its own random vector of length `shift`.
struct EnsembleSpec {
  int nres = 30;
  int per = 4;
  int nstr = 6;
  double noise = 0.01;
  int displaced = 0;
  double shift = 3.0;
  unsigned seed = 1;
};

inline void build_ensemble(const EnsembleSpec& e) {
  make_molecule(e.nres, e.per, e.nstr);
  std::mt19937 rng(e.seed);
  std::normal_distribution<double> g(0.0, 1.0);
  const int na = e.nres * e.per;
  std::vector<Vec3> base(std::size_t(na) + 1);
  for (int a = 1; a <= na; ++a) {
    const double t = 1.7 * a / e.per;
    base[a] = {5.0 * std::cos(t) + 0.3 * g(rng), 5.0 * std::sin(t) + 0.3 * g(rng), 1.5 * a / e.per + 0.3 * g(rng)};
  }
  for (int s = 1; s <= e.nstr; ++s) {
    const Mat3 r = random_rotation(rng);
    const Vec3 t = random_vector(rng, 20.0);
    Vec3 shift{0.0, 0.0, 0.0};
    if (e.displaced > 0) {
      Vec3 d{g(rng), g(rng), g(rng)};
      const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      for (int i = 0; i < 3; ++i) shift[i] = d[i] / len * e.shift;
    }
    for (int a = 1; a <= na; ++a) {
      Vec3 p = base[a];
      for (double& c : p) c += e.noise * g(rng);
      if ((a - 1) / e.per + 1 == e.displaced)
        for (int i = 0; i < 3; ++i) p[i] += shift[i];
      const Vec3 q = rotate_by(r, p);
      set_xyz(s, a, q[0] + t[0], q[1] + t[1], q[2] + t[2]);
    }
  }
}

}  // namespace veldrix::testing
