// In-memory backbone ensembles for the range analysis: residues of N, CA, C with PHI and PSI.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "molecule/vokandata.hpp"

namespace veldrix::testing {

using Vec = std::array<double, 3>;

inline Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec unit(const Vec& a) {
  const double l = std::sqrt(dot(a, a));
  return {a[0] / l, a[1] / l, a[2] / l};
}

// Torsion angle a-b-c-d in radians, -pi..pi.
inline double torsion(const Vec& a, const Vec& b, const Vec& c, const Vec& d) {
  const Vec b1 = sub(b, a), b2 = sub(c, b), b3 = sub(d, c);
  const Vec n1 = cross(b1, b2), n2 = cross(b2, b3);
  const Vec m1 = cross(n1, unit(b2));
  return std::atan2(dot(m1, n2), dot(n1, n2));
}

// Atom d placed from a, b, c: bond c-d of length len, angle b-c-d, torsion a-b-c-d.
inline Vec place(const Vec& a, const Vec& b, const Vec& c, double len, double angle, double tors) {
  const Vec bc = unit(sub(c, b));
  const Vec n = unit(cross(sub(b, a), bc));
  const Vec m = cross(n, bc);
  const double x = -len * std::cos(angle), y = len * std::sin(angle) * std::cos(tors),
               z = len * std::sin(angle) * std::sin(tors);
  return {c[0] + x * bc[0] + y * m[0] + z * n[0], c[1] + x * bc[1] + y * m[1] + z * n[1],
          c[2] + x * bc[2] + y * m[2] + z * n[2]};
}

// Torsions of one conformer: phi and psi of every residue (1-based, index 0 unused).
struct Torsions {
  std::vector<double> phi, psi;
};

// Builds the data model of a backbone ensemble: nr residues of N, CA, C (chain
// "A", or the given labels and chain numbers), angle 2r-1 PHI (axis N-CA) and
// 2r PSI (axis CA-C) of residue r, every angle free and rotating beyond the
// last atom. Conformer s gets the torsions make(s) on ideal bond geometry and a
// rigid rotation of its own; its angle values are measured from the coordinates
// (the undefined PHI of residue 1 and PSI of the last residue take the given
// values). jitter: every coordinate of every conformer is then moved by up to
// that many A at random, as the local scatter of a real ensemble. The working
// structure is a copy of the last conformer; every atom is selected.
inline void build_backbone(int nr, int nstr, const std::function<Torsions(int)>& make, double jitter = 0.0,
                           const std::vector<std::string>& labels = {}, const std::vector<int>& chains = {}) {
  VokanData& v = vokandata;
  v = VokanData{};
  v.nr = nr;
  v.na = 3 * nr;
  v.nd = 2 * nr;
  v.ndfree = v.nd;
  v.ifira.allocate(Dim(nr + 1));
  v.rnum.allocate(Dim(nr));
  v.rnam.allocate(Dim(nr));
  v.ichain.allocate(Dim(nr));
  for (int r = 1; r <= nr; ++r) {
    v.ifira(r) = 3 * r - 2;
    v.rnum(r) = labels.empty() ? "A" + std::to_string(r) : labels[std::size_t(r - 1)];
    v.rnam(r) = "ALA";
    v.ichain(r) = chains.empty() ? 1 : chains[std::size_t(r - 1)];
  }
  v.ifira(nr + 1) = v.na + 1;
  v.anam.allocate(Dim(v.na));
  v.iael.allocate(Dim(v.na));
  v.iar.allocate(Dim(v.na));
  v.asel.allocate(Dim(v.na));
  v.adisp.allocate(Dim(v.na));
  const char* names[3] = {"N", "CA", "C"};
  for (int a = 1; a <= v.na; ++a) {
    v.anam(a) = names[(a - 1) % 3];
    v.iael(a) = (a - 1) % 3 == 0 ? 7 : 6;
    v.iar(a) = (a - 1) / 3 + 1;
    v.asel(a) = true;
  }
  v.dnam.allocate(Dim(v.nd));
  v.idr.allocate(Dim(v.nd));
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int r = 1; r <= nr; ++r) {
    const int n = 3 * r - 2, ca = n + 1, c = n + 2;
    const int phi = 2 * r - 1, psi = 2 * r;
    v.dnam(phi) = "PHI";
    v.dnam(psi) = "PSI";
    v.idr(phi) = v.idr(psi) = r;
    v.ida(1, phi) = r > 1 ? c - 3 : 0;
    v.ida(2, phi) = n;
    v.ida(3, phi) = ca;
    v.ida(4, phi) = c;
    v.ida(1, psi) = n;
    v.ida(2, psi) = ca;
    v.ida(3, psi) = c;
    v.ida(4, psi) = r < nr ? c + 1 : 0;
    v.lda(phi) = v.lda(psi) = v.na + 1;
  }
  alostr(nstr, 0);
  v.nsstr = nstr;
  for (int k = 1; k <= nstr; ++k) v.isstr(k) = k;

  constexpr double deg = std::numbers::pi / 180.0;
  std::mt19937 gen(4242);
  std::uniform_real_distribution<double> turn(-std::numbers::pi, std::numbers::pi), scatter(-jitter, jitter);
  for (int s = 1; s <= nstr; ++s) {
    const Torsions t = make(s);
    std::vector<Vec> x(std::size_t(v.na) + 1);
    x[1] = {0.0, 0.0, 0.0};
    x[2] = {1.458, 0.0, 0.0};
    x[3] = place({0.0, 1.0, 0.0}, x[1], x[2], 1.525, 111.2 * deg, 0.0);
    for (int r = 1; r < nr; ++r) {
      const int n = 3 * r - 2;
      x[std::size_t(n + 3)] = place(x[std::size_t(n)], x[std::size_t(n + 1)], x[std::size_t(n + 2)], 1.329,
                                    116.2 * deg, t.psi[std::size_t(r)]);
      x[std::size_t(n + 4)] = place(x[std::size_t(n + 1)], x[std::size_t(n + 2)], x[std::size_t(n + 3)], 1.458,
                                    121.7 * deg, std::numbers::pi);
      x[std::size_t(n + 5)] = place(x[std::size_t(n + 2)], x[std::size_t(n + 3)], x[std::size_t(n + 4)], 1.525,
                                    111.2 * deg, t.phi[std::size_t(r + 1)]);
    }
    if (jitter > 0.0)
      for (int a = 1; a <= v.na; ++a)
        for (double& c : x[std::size_t(a)]) c += scatter(gen);
    // A rotation about a random axis and a shift of the whole conformer.
    const Vec axis = unit({turn(gen), turn(gen), turn(gen) + 0.01});
    const double w = turn(gen), cw = std::cos(w), sw = std::sin(w);
    const Vec shift = {turn(gen) * 3, turn(gen) * 3, turn(gen) * 3};
    for (int a = 1; a <= v.na; ++a) {
      const Vec p = x[std::size_t(a)];
      const Vec k = cross(axis, p);
      const double d = dot(axis, p);
      Vec q;
      for (int i = 0; i < 3; ++i) q[std::size_t(i)] = p[std::size_t(i)] * cw + k[std::size_t(i)] * sw +
                                                     axis[std::size_t(i)] * d * (1 - cw) + shift[std::size_t(i)];
      x[std::size_t(a)] = q;
      for (int i = 0; i < 3; ++i) v.coo(i + 1, v.col(s, a)) = q[std::size_t(i)];
    }
    for (int r = 1; r <= nr; ++r) {
      const int n = 3 * r - 2;
      v.dval(v.dix(s, 2 * r - 1)) =
          r > 1 ? torsion(x[std::size_t(n - 1)], x[std::size_t(n)], x[std::size_t(n + 1)], x[std::size_t(n + 2)])
                : t.phi[1];
      v.dval(v.dix(s, 2 * r)) =
          r < nr ? torsion(x[std::size_t(n)], x[std::size_t(n + 1)], x[std::size_t(n + 2)], x[std::size_t(n + 3)])
                 : t.psi[std::size_t(nr)];
    }
  }
  copstr(nstr, 0);
}

}  // namespace veldrix::testing
