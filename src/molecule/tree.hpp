// Torsion-angle tree: rigid units joined by the free dihedral angles, coordinates from angles and back.
#pragma once

#include "molecule/vokandata.hpp"
#include "util/farray.hpp"

namespace veldrix {

// Builds the tree of a freshly built molecule. free(k), k = 1..nd in the order
// in which the angles were built, tells which angles rotate. The free angles
// are moved to the front (1..ndfree), the atoms are assigned to units, and the
// unit frames are computed (gencor).
void tree(VokanData& v, const FArray<bool>& free);

// Assembles the reference structure from the library geometry with the current
// angle values of the working structure and takes the unit frames and the
// atoms' unit coordinates from it.
void gencor(VokanData& v);

// The first step of gencor alone: the reference structure (library geometry with the
// current angle values) in coo0, in the molecule's frame rather than the units'. Until
// the next gencor, gener must not run.
void assemble_reference(VokanData& v);

// Coordinates of the working structure (atoms 0..na) from the base pose
// dval(-6..0) and the free angle values dval(1..ndfree); nothing for a rigid structure.
void gener(VokanData& v);

// Value of angle k in structure s in radians, or 1.0e10 when an atom it needs
// has no coordinates or the angle is undefined.
double calang(const VokanData& v, int k, int s);

}  // namespace veldrix
