// Test support for the range analysis: ensembles built in memory, level records, residue lists.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "rmsd_var/levels.hpp"
#include "test_support.hpp"

namespace veldrix::testing {

// Conformers of residues of three atoms (N, CA, C), one residue per character of
// `kinds`: 'r' rigid, 'f' floppy. Every atom has one random place in a box of 20 A,
// moved in each conformer, when its residue is floppy, by up to 1.5 A per coordinate
// times the residue's distance from the nearest rigid one (as a chain swings about
// its torsions), then scattered by up to `jitter` A. Angle 2r-1 (axis N-CA) and 2r (axis CA-C) of
// residue r are free and rotate beyond the last atom; their values are about 1 in
// rigid residues and anything in floppy ones. The working structure is a copy of
// the last conformer; every atom is selected.
inline void ensemble(VokanData& v, const std::string& kinds, int nstr, double jitter = 0.2, unsigned seed = 1) {
  v = VokanData{};
  make_molecule(v, int(kinds.size()), 3, nstr);
  v.nd = v.ndfree = 2 * v.nr;
  alostr(v, nstr, 0);
  v.idr.allocate(Dim(v.nd));
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int k = 1; k <= v.nd; ++k) {
    v.idr(k) = (k + 1) / 2;
    v.ida(2, k) = 3 * v.idr(k) - 1 - k % 2;
    v.ida(3, k) = v.ida(2, k) + 1;
    v.lda(k) = v.na + 1;
  }
  for (int a = 1; a <= v.na; a += 3) v.iael(a) = 7;
  auto floppy = [&](int r) { return kinds[std::size_t(r - 1)] == 'f'; };
  std::vector<double> swing(std::size_t(v.nr) + 1, 0.0);
  for (int r = 1; r <= v.nr; ++r) {
    int d = v.nr;
    for (int q = 1; q <= v.nr; ++q) d = floppy(q) ? d : std::min(d, std::abs(r - q));
    swing[std::size_t(r)] = 1.5 * d;
  }
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> place(3 * std::size_t(v.na));
  for (double& c : place) c = 10.0 * u(gen);
  for (int s = 1; s <= nstr; ++s) {
    for (int a = 1; a <= v.na; ++a)
      for (int x = 1; x <= 3; ++x)
        v.coo(x, v.col(s, a)) = place[3 * std::size_t(a - 1) + std::size_t(x - 1)] +
                                swing[std::size_t(v.iar(a))] * u(gen) + jitter * u(gen);
    for (int k = 1; k <= v.nd; ++k) v.dval(v.dix(s, k)) = floppy(v.idr(k)) ? 3.1 * u(gen) : 1.0 + 0.1 * jitter * u(gen);
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
