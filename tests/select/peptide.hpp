// A small peptide in memory for the selection tests.
#pragma once

#include <string>
#include <vector>

#include "molecule/vokandata.hpp"
#include "test_support.hpp"

namespace veldrix::testing {

// Residues A1..An with the atoms N, CA, C, O, QB (QB of type DUMMY) and three angles per
// residue: axes N-CA and CA-C move atoms beyond the molecule (lda > na), the C-O axis does
// not (lda = na). The base columns -1 and 0 (axis QB-O) have lda > na but are no angles.
inline void make_peptide(int nres, int nstr) {
  make_molecule(nres, 5, nstr);
  VokanData& v = vokandata;
  static const char* const names[] = {"N", "CA", "C", "O", "QB"};
  static const int types[] = {1, 2, 2, 3, 4};
  v.nattyp = 4;
  v.attyp.allocate(Dim(4));
  v.attyp(1) = "N", v.attyp(2) = "C", v.attyp(3) = "O", v.attyp(4) = "DUMMY";
  v.iatyp.allocate(Dim(v.na));
  for (int a = 1; a <= v.na; ++a) {
    v.anam(a) = names[(a - 1) % 5];
    v.iatyp(a) = types[(a - 1) % 5];
  }
  v.nd = 3 * nres;
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int k = -1; k <= v.nd; ++k) {
    const int b = k <= 0 ? 4 : v.ifira((k - 1) / 3 + 1) + (k - 1) % 3;  // first axis atom
    v.ida(1, k) = b - 1, v.ida(2, k) = b, v.ida(3, k) = b + 1, v.ida(4, k) = b + 2;
    v.lda(k) = k > 0 && k % 3 == 0 ? v.na : v.na + 1;
  }
}

// Atom numbers whose flag is set.
inline std::vector<int> flagged(const FArray<bool>& s) {
  std::vector<int> r;
  for (int a = 1; a <= vokandata.na; ++a)
    if (s(a)) r.push_back(a);
  return r;
}

// Atom numbers for which pred(atom name, residue, atom) holds.
template <class Pred>
std::vector<int> atoms_where(Pred pred) {
  std::vector<int> r;
  for (int a = 1; a <= vokandata.na; ++a)
    if (pred(std::string(vokandata.anam(a)), vokandata.iar(a), a)) r.push_back(a);
  return r;
}

}  // namespace veldrix::testing
