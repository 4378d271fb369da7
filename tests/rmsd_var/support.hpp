// Test support for the range analysis: backbone ensembles built in memory, level records, residue lists.
#pragma once

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "molecule/sequence.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/levels.hpp"
#include "test_support.hpp"

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

// How a residue's torsions behave across the conformers: fixed, swinging by up
// to 0.7 radians, or anything.
enum class Kind { rigid, hinge, floppy };

inline std::vector<Kind> layout(const std::vector<std::pair<Kind, int>>& runs) {
  std::vector<Kind> k;
  for (const auto& [kind, n] : runs) k.insert(k.end(), std::size_t(n), kind);
  return k;
}

// The data model of a backbone ensemble as a real run leaves it: residues A1,
// A2, ... of N, CA, C; angle 2r-1 PHI (axis N-CA) and 2r PSI (axis CA-C) of
// residue r, all free and rotating beyond the last atom. Each conformer is
// built on ideal bond geometry from helical torsions varied by residue kind,
// every atom then scattered by up to `jitter` A, the whole turned and shifted;
// its angle values are measured from its coordinates (the undefined PHI of
// residue 1 and PSI of the last residue take the generated values). The
// working structure is a copy of the last conformer; every atom is selected.
inline void ensemble(VokanData& v, const std::vector<Kind>& kinds, int nstr, double jitter = 0.2, unsigned seed = 1) {
  const int nr = int(kinds.size());
  v = VokanData{};
  v.nr = nr;
  v.na = 3 * nr;
  v.nd = v.ndfree = 2 * nr;
  v.ifira.allocate(Dim(nr + 1));
  v.rnum.allocate(Dim(nr));
  v.ichain.allocate(Dim(nr));
  v.ichain.fill(1);
  for (int r = 1; r <= nr + 1; ++r) v.ifira(r) = 3 * r - 2;
  for (int r = 1; r <= nr; ++r) v.rnum(r) = "A" + std::to_string(r);
  v.iael.allocate(Dim(v.na));
  v.iar.allocate(Dim(v.na));
  v.asel.allocate(Dim(v.na));
  v.adisp.allocate(Dim(v.na));
  v.asel.fill(true);
  for (int a = 1; a <= v.na; ++a) {
    v.iael(a) = (a - 1) % 3 == 0 ? 7 : 6;
    v.iar(a) = (a - 1) / 3 + 1;
  }
  v.idr.allocate(Dim(v.nd));
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int k = 1; k <= v.nd; ++k) {
    const int r = (k + 1) / 2, n = 3 * r - 2;
    v.idr(k) = r;
    v.ida(2, k) = k % 2 ? n : n + 1;  // PHI about N-CA, PSI about CA-C
    v.ida(3, k) = k % 2 ? n + 1 : n + 2;
    v.lda(k) = v.na + 1;
  }
  alostr(v, nstr, 0);
  v.nsstr = nstr;
  for (int k = 1; k <= nstr; ++k) v.isstr(k) = k;

  constexpr double deg = std::numbers::pi / 180.0;
  std::mt19937 gen(4242);
  std::uniform_real_distribution<double> turn(-std::numbers::pi, std::numbers::pi), scatter(-jitter, jitter);
  for (int s = 1; s <= nstr; ++s) {
    std::mt19937 tgen(seed * 1000 + unsigned(s));
    std::uniform_real_distribution<double> swing(-0.7, 0.7);
    std::vector<double> phi(std::size_t(nr) + 1, -1.0), psi(std::size_t(nr) + 1, -0.82);
    for (int r = 1; r <= nr; ++r) {
      const Kind k = kinds[std::size_t(r - 1)];
      if (k == Kind::rigid) continue;
      auto& dist = k == Kind::hinge ? swing : turn;
      phi[std::size_t(r)] += dist(tgen);
      psi[std::size_t(r)] += dist(tgen);
    }
    std::vector<Vec> x(std::size_t(v.na) + 1);
    x[1] = {0.0, 0.0, 0.0};
    x[2] = {1.458, 0.0, 0.0};
    x[3] = place({0.0, 1.0, 0.0}, x[1], x[2], 1.525, 111.2 * deg, 0.0);
    for (std::size_t a = 4; a < x.size(); ++a) {
      // N from psi of the residue before, CA across the trans peptide bond, C from phi.
      const std::size_t r = (a - 1) / 3 + 1, j = (a - 1) % 3;
      const double bond[3] = {1.329, 1.458, 1.525}, angle[3] = {116.2, 121.7, 111.2};
      const double tors[3] = {psi[r - 1], std::numbers::pi, phi[r]};
      x[a] = place(x[a - 3], x[a - 2], x[a - 1], bond[j], angle[j] * deg, tors[j]);
    }
    for (std::size_t a = 1; a < x.size() && jitter > 0.0; ++a)
      for (double& c : x[a]) c += scatter(gen);
    const Vec axis = unit({turn(gen), turn(gen), turn(gen) + 0.01});
    const double w = turn(gen), cw = std::cos(w), sw = std::sin(w);
    const Vec shift = {turn(gen) * 3, turn(gen) * 3, turn(gen) * 3};
    for (int a = 1; a <= v.na; ++a) {  // rotation about `axis` by w, then the shift
      const Vec p = x[std::size_t(a)], k = cross(axis, p);
      for (std::size_t i = 0; i < 3; ++i) {
        x[std::size_t(a)][i] = p[i] * cw + k[i] * sw + axis[i] * dot(axis, p) * (1 - cw) + shift[i];
        v.coo(int(i) + 1, v.col(s, a)) = x[std::size_t(a)][i];
      }
    }
    for (int r = 1; r <= nr; ++r) {
      const std::size_t n = std::size_t(3 * r - 2);
      v.dval(v.dix(s, 2 * r - 1)) = r > 1 ? *tor(x[n - 1], x[n], x[n + 1], x[n + 2]) : phi[1];
      v.dval(v.dix(s, 2 * r)) = r < nr ? *tor(x[n], x[n + 1], x[n + 2], x[n + 3]) : psi[std::size_t(nr)];
    }
  }
  copstr(v, nstr, 0);
}

inline LevelRecord level_of(const std::vector<std::vector<int>>& rows, int width = 0) {
  LevelRecord l;
  l.width = width;
  l.first.push_back(0);
  for (const auto& r : rows) {
    l.members.insert(l.members.end(), r.begin(), r.end());
    l.first.push_back(int(l.members.size()));
    if (width == 0) l.width = std::max(l.width, int(r.size()));
  }
  return l;
}

inline std::vector<int> span_of(int from, int to) {
  std::vector<int> s;
  for (int i = from; i <= to; ++i) s.push_back(i);
  return s;
}

// Columns of row d of a mask matrix that are set.
inline std::vector<int> set_in_row(const FArray<bool, 2>& mask, int d) {
  std::vector<int> out;
  for (int k = mask.lbound(1); k <= mask.ubound(1); ++k)
    if (mask(d, k)) out.push_back(k);
  return out;
}

}  // namespace veldrix::testing
