// Test geometry for the superposition tests: random rotations and point sets, and noisy ensembles in memory.
#pragma once

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "test_support.hpp"

namespace veldrix::testing {

using Mat3 = std::array<double, 9>;  // column by column: (i, j) is [i + 3 j], 0-based

// A uniformly distributed proper rotation (from a random unit quaternion).
inline Mat3 random_rotation(std::mt19937& rng) {
  std::normal_distribution<double> g(0.0, 1.0);
  double q[4], n = 0.0;
  for (double& c : q) {
    c = g(rng);
    n += c * c;
  }
  for (double& c : q) c /= std::sqrt(n);
  const double w = q[0], x = q[1], y = q[2], z = q[3];
  return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),
          2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),
          2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y)};
}

// n random points in a cube of half-width `scale`, flattened (x, y, z per point).
inline std::vector<double> random_points(std::mt19937& rng, int n, double scale) {
  std::uniform_real_distribution<double> u(-scale, scale);
  std::vector<double> p(3 * std::size_t(n));
  for (double& c : p) c = u(rng);
  return p;
}

// Every point mapped to r * p + t.
inline std::vector<double> moved(const std::vector<double>& p, const Mat3& r, const std::array<double, 3>& t) {
  std::vector<double> q(p.size());
  for (std::size_t k = 0; k < p.size(); k += 3)
    for (std::size_t i = 0; i < 3; ++i) q[k + i] = r[i] * p[k] + r[i + 3] * p[k + 1] + r[i + 6] * p[k + 2] + t[i];
  return q;
}

// nstr structures of nres residues with `per` atoms each: random rigid motions of one irregular
// helix with Gaussian noise on every coordinate; residue `displaced` (0: none) is shifted in every
// structure by its own random vector of length `shift`.
struct EnsembleSpec {
  int nres = 30, per = 4, nstr = 6;
  double noise = 0.01;
  int displaced = 0;
  double shift = 3.0;
  unsigned seed = 1;
};

inline void build_ensemble(VokanData& v, const EnsembleSpec& e) {
  make_molecule(v, e.nres, e.per, e.nstr);
  std::mt19937 rng(e.seed);
  std::normal_distribution<double> g(0.0, 1.0);
  std::vector<double> base;
  for (int a = 1; a <= v.na; ++a) {
    const double t = 1.7 * a / e.per;
    base.insert(base.end(), {5 * std::cos(t) + 0.3 * g(rng), 5 * std::sin(t) + 0.3 * g(rng), t + 0.3 * g(rng)});
  }
  for (int s = 1; s <= e.nstr; ++s) {
    const Mat3 r = random_rotation(rng);
    const std::vector<double> t = random_points(rng, 1, 20.0);
    double d[3] = {g(rng), g(rng), g(rng)};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    std::vector<double> p = base;
    for (std::size_t k = 0; k < p.size(); ++k)
      p[k] += e.noise * g(rng) + (v.iar(int(k / 3) + 1) == e.displaced ? d[k % 3] / len * e.shift : 0.0);
    p = moved(p, r, {t[0], t[1], t[2]});
    for (std::size_t a = 1; a <= std::size_t(v.na); ++a)
      set_xyz(v, s, int(a), p[3 * a - 3], p[3 * a - 2], p[3 * a - 1]);
  }
}

}  // namespace veldrix::testing
