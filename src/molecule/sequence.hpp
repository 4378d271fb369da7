// Sequence construction: residues from coordinate records, atom and angle layout, initialisation.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <unordered_map>

#include "molecule/state.hpp"

namespace veldrix {

using Vec3 = std::array<double, 3>;

// Residue names of the library: the first "RESID" entry of each name.
std::unordered_map<std::string, int> residue_types(const VokanData& v);

// Lays out atoms and dihedral angles of the sequence rnam(1..nr) from the
// library, joining consecutive residues through their overlap atoms (joffst).
void build(MoleculeState& s);

// Initialises a freshly built molecule: fixed peptide-bond angles, torsion-angle
// tree, first coordinates, chain-end substitute atoms, selections and chains.
void iniseq(MoleculeState& s);

// Splits every residue identifier into its text prefix (the chain letter) and number.
void msplit(const VokanData& v, FArray<std::string>& prefixes, FArray<int>& numbers, bool& anyprefix);

// Assigns the chain numbers (ichain) from the residue identifiers.
void setcha(VokanData& v);

// Dihedral angle p1-p2-p3-p4 in radians (-pi..pi); nullopt when it is undefined
// (an axis or a bond that has no direction: coincident or collinear atoms).
std::optional<double> tor(const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4);

}  // namespace veldrix
