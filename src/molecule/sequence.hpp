// Sequence construction: residues from coordinate records, atom and angle layout, initialisation.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <string_view>

namespace veldrix {

using Vec3 = std::array<double, 3>;

// Reads the residue sequence from the ATOM records of the first model of a PDB
// file and builds the molecule (`build`). format is the read command's
// coordinate-file code (2 or 3); chains is "first", "*", "all" or a pattern for
// the one-character chain identifier; unknown: 0 error, 1 warning, 2 skip for
// residue names the library lacks.
void extseq(std::istream& in, int format, std::string_view chains, int unknown);

// Lays out atoms and dihedral angles of the sequence rnam(1..nr) from the
// library, joining consecutive residues through their overlap atoms (joffst).
void build();

// Initialises a freshly built molecule: fixed peptide-bond angles, torsion-angle
// tree, first coordinates, chain-end substitute atoms, selections and chains.
void iniseq();

// Assigns chains and levels (ichain, irlev, leveli, level) from the residue identifiers.
void setcha();

// Dihedral angle p1-p2-p3-p4 in radians (-pi..pi); nullopt when it is undefined
// (an axis or a bond that has no direction: coincident or collinear atoms).
std::optional<double> tor(const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4);

}  // namespace veldrix
