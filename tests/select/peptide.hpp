// A small peptide in memory for the selection tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "molecule/vokandata.hpp"
#include "test_support.hpp"

namespace veldrix::testing {

// Residues A1..An with the atoms N, CA, C, O, QB (QB of atom type DUMMY) and three
// dihedral angles per residue: axes N-CA and CA-C move atoms beyond the molecule
// (lda > na), the C-O axis does not (lda = na). The base columns -1 and 0 carry
// lda > na too but are no angles of the molecule.
inline void make_peptide(int nres, int nstr) {
  make_molecule(nres, 5, nstr);
  VokanData& v = vokandata;
  static const char* const names[] = {"N", "CA", "C", "O", "QB"};
  static const int types[] = {1, 2, 2, 3, 4};
  v.nattyp = 4;
  v.attyp.allocate(Dim(4));
  v.attyp(1) = "N";
  v.attyp(2) = "C";
  v.attyp(3) = "O";
  v.attyp(4) = "DUMMY";
  v.iatyp.allocate(Dim(v.na));
  for (int a = 1; a <= v.na; ++a) {
    v.anam(a) = names[(a - 1) % 5];
    v.iatyp(a) = types[(a - 1) % 5];
  }
  v.nd = 3 * nres;
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int r = 1; r <= nres; ++r) {
    const int b = v.ifira(r);
    const int k = 3 * (r - 1);
    const int rows[3][4] = {{b > 1 ? b - 3 : b + 3, b, b + 1, b + 2}, {b, b + 1, b + 2, b + 3}, {b + 1, b + 2, b + 3, b + 4}};
    const int last[3] = {v.na + 1, v.na + 7, v.na};
    for (int j = 0; j < 3; ++j) {
      for (int i = 1; i <= 4; ++i) v.ida(i, k + j + 1) = rows[j][i - 1];
      v.lda(k + j + 1) = last[j];
    }
  }
  for (int c = -1; c <= 0; ++c) {
    v.ida(2, c) = 5;
    v.ida(3, c) = 4;
    v.lda(c) = v.na + 1;
  }
}

// Atom numbers whose flag is set.
inline std::vector<int> flagged(const FArray<bool>& s) {
  std::vector<int> r;
  for (int a = 1; a <= vokandata.na; ++a)
    if (s(a)) r.push_back(a);
  return r;
}

// Atom numbers for which pred(atom name, residue) holds.
inline std::vector<int> atoms_where(const std::function<bool(const std::string&, int)>& pred) {
  std::vector<int> r;
  for (int a = 1; a <= vokandata.na; ++a)
    if (pred(vokandata.anam(a), vokandata.iar(a))) r.push_back(a);
  return r;
}

}  // namespace veldrix::testing
