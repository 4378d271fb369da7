// The molecular data model: library, sequence, atoms, angles, structures and selections.
//
// One instance per run owns every molecular array. Indices
// are 1-based unless an array's bounds say otherwise (the working structure 0,
// the torsion tree's base columns -1 and 0, the base pose in dval(-6..0)).
#pragma once

#include <array>
#include <string>

#include "util/farray.hpp"

namespace veldrix {

// Marks an unknown coordinate or angle value.
constexpr double unknown_value = 1.0e10;

// Coordinates of this magnitude or more are not positions: the reader refuses
// them, and every test for a present coordinate uses this one rule.
constexpr double max_coordinate = 1.0e8;
inline bool known_coordinate(double c) { return c < max_coordinate && c > -max_coordinate; }

struct VokanData {
  // Counts and scalars.
  int nattyp = 0;  // atom types in the library
  int naa = 0;     // residue types in the library
  int maxat = 0;   // largest atom count of a residue type
  int maxdih = 0;  // largest angle count of a residue type
  int nr = 0;      // residues of the molecule
  int na = 0;      // atoms of the molecule
  int nd = 0;      // dihedral angles of the molecule
  int nsstr = 0;   // structures held
  int i0styp = 0;  // type of the working structure: 0 plain, 1 flexible, 2 rigid
  int ndfree = 0;  // free (rotatable) dihedral angles

  // Library: atom types.
  FArray<std::string> attyp;  // (nattyp) names
  FArray<int> iatel;          // element number; 0 = pseudo atom
  // Library: residue types.
  FArray<std::string> aanam;  // (naa) names
  FArray<std::string> aatyp;  // kind of entry: "RESID"
  FArray<int> ndih, nat, ifirat, lasat;
  FArray<std::string, 2> dihnam;  // (maxdih, naa)
  FArray<int, 3> idihat;          // (4, maxdih, naa)
  FArray<int, 2> ldihat;          // (maxdih, naa)
  FArray<std::string, 2> atnam;   // (maxat, naa)
  FArray<int, 2> iattyp;          // (maxat, naa)
  FArray<double, 3> coord;        // (3, maxat, naa)
  FArray<int, 2> ipatom;          // (maxat, naa)

  // Sequence.
  FArray<std::string> rnam;  // (nr) residue names
  FArray<std::string> rnum;  // (nr) identifiers: chain letter + number, e.g. A12
  FArray<bool> cis;          // (nr) cis peptide bond before the residue
  FArray<int> irlib;         // (nr) library residue type
  FArray<int> ifira;         // (nr+1) first atom of each residue
  FArray<int> ifird;         // (nr+1) first angle of each residue
  FArray<int> ichain;        // (nr) chain number

  // Atoms.
  FArray<std::string> anam;  // (na)
  FArray<int> iatyp, iael, iar;
  FArray<double> adisp;  // mean displacement from the mean structure (last ensemble RMSD)

  // Dihedral angles.
  FArray<std::string> dnam;  // (nd)
  FArray<int> idr;           // (nd) residue of the angle
  FArray<int, 2> ida;        // (4, -1:nd) defining atoms
  FArray<int> lda;           // (-1:nd) last atom moved
  FArray<int> idord;         // (0:nd) new index of each angle after the tree's reordering
  FArray<double> dval0;      // (nd) standard value on the library geometry

  // Structures; n is the capacity.
  FArray<double, 2> coo;  // (3, 0:na*(n+1)); atom a of structure s is column s*na+a
  FArray<double> dval;    // (-6:nd*(n+1)); angle k of structure s is s*nd+k
  FArray<int> istyp;      // (0:n)
  FArray<int> isstr;      // (n) structure index of the k-th ensemble member

  // Selection.
  FArray<bool> asel;  // (na)

  // Torsion-angle tree.
  FArray<int> iprev;             // (-1:ndfree) parent unit
  FArray<int> iaunit;            // (0:na) unit of each atom
  FArray<double, 2> g1, g2, g3;  // (4, -1:ndfree) current transform rows
  FArray<double, 2> r0;          // (12, 0:ndfree) transform relative to the parent unit
  FArray<double, 2> coo0;        // (3, 0:na) coordinates in the frame of the atom's unit

  // Sequence construction.
  FArray<int, 2> joffst;   // (maxat, nr) molecule atom of library atom j of residue i
  int mdihat = 1;          // first library atom reached before the first residue
  int ida1 = 0, ida4 = 0;  // substitutes for the angle atoms beyond the chain ends
  double dcorr1 = 0.0, dcorr4 = 0.0;

  // Structure capacity: entries of isstr (0 when the structure arrays are absent).
  int structure_capacity() const { return isstr.allocated() ? int(isstr.extent()) : 0; }
  // Column of atom a of structure s in coo, element of angle k of structure s in dval.
  int col(int s, int a) const { return s * na + a; }
  int dix(int s, int k) const { return s * nd + k; }
};

// Growable 1-D arrays. ralo/lalo/salo: make the array hold at least n elements
// (k > 0: grow to n+k only when too small; k = 0: exactly n; k < 0: never resize);
// an absent array is allocated with max(n+k, 0). Elements 1..min(old, n) keep their values.
void ralo(FArray<double>& a, int n, int k);
void lalo(FArray<bool>& a, int n, int k);
void salo(FArray<std::string>& a, int n, int k);
// Allocates an absent array with max(n+k, 0) elements; an allocated one is left alone.
void ialo(FArray<int>& a, int n, int k);

// Brings every library array to exactly the given sizes, keeping entries at their indices.
void alolib(VokanData& v, int ntypes, int nres, int maxdih, int maxat);
// Resizes the structure arrays to a capacity of n structures (n = k = 0 releases them).
void alostr(VokanData& v, int n, int k);
// Releases every per-molecule array (not the library and not the sequence arrays).
void dstroy(VokanData& v);
// Copies structure `from` into structure `to` (0 = working structure).
void copstr(VokanData& v, int from, int to);

}  // namespace veldrix
