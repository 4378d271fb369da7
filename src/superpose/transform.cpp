// Rigid motions: the least-squares fit of one point set onto another as a motion, applied, composed, inverted.
#include "superpose/transform.hpp"

#include <array>
#include <vector>

#include "superpose/rmsd.hpp"

namespace veldrix {

Transform fit_transform(std::span<const double> x, std::span<const double> y, int n) {
  if (n <= 3) return {};
  // The fit applied to the origin and the three unit points gives the translation and the
  // rotation's columns: the kernel's own arithmetic, without a second formula for the motion.
  std::array<double, 12> basis{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::vector<double> moved(x.begin(), x.begin() + 3 * std::ptrdiff_t(n));
  rmsd(moved, y, n, 1, basis, 4);
  Transform t;
  for (int i = 0; i < 3; ++i) {
    t.translation[std::size_t(i)] = basis[std::size_t(i)];
    for (int j = 0; j < 3; ++j)
      t.rotation[std::size_t(3 * i + j)] = basis[std::size_t(3 * (j + 1) + i)] - basis[std::size_t(i)];
  }
  return t;
}

void apply(const Transform& t, double* p) {
  const auto& r = t.rotation;
  const double x = p[0], y = p[1], z = p[2];
  for (std::size_t i = 0; i < 3; ++i) p[i] = r[3 * i] * x + r[3 * i + 1] * y + r[3 * i + 2] * z + t.translation[i];
}

Transform then(const Transform& a, const Transform& b) {
  Transform c;
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) {
      double s = 0.0;
      for (std::size_t k = 0; k < 3; ++k) s += b.rotation[3 * i + k] * a.rotation[3 * k + j];
      c.rotation[3 * i + j] = s;
    }
  }
  c.translation = a.translation;
  apply(b, c.translation.data());
  return c;
}

Transform inverse(const Transform& t) {
  Transform u;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) u.rotation[3 * i + j] = t.rotation[3 * j + i];
  for (std::size_t i = 0; i < 3; ++i) {
    double s = 0.0;
    for (std::size_t k = 0; k < 3; ++k) s += u.rotation[3 * i + k] * t.translation[k];
    u.translation[i] = -s;
  }
  return u;
}

}  // namespace veldrix
