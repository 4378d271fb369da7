// Ensemble RMSD to the mean structure, and the structure-overlay refinement of a selection.
#pragma once

#include "util/farray.hpp"

namespace veldrix {

struct SuperposeState;

// Mean RMSD of the ensemble members (isstr(1..nsstr)) to their mean structure
// over the selected atoms (sel: 1..na) that have coordinates in every member;
// also sets adisp. Returns -1.0 with fewer than 2 structures or 4 usable atoms.
double armsd(SuperposeState& s, const FArray<bool>& sel);

// Removes residues from the selection asel while the ensemble RMSD falls enough,
// then closes short gaps. keep: 1..nr residues never removed; f: 1..nr+1
// residue flags (output). Leaves the refined selection in asel.
void ovrlay(SuperposeState& s, const FArray<bool>& keep, double gap, double decrease, double absdecrease, int gapwidth,
            FArray<bool>& f, double upper_rmsd);

}  // namespace veldrix
