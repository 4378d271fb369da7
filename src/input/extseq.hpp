// The sequence of a coordinate file: residues from the ATOM records of its first model.
#pragma once

#include <string_view>

#include "molecule/state.hpp"

namespace veldrix {

class PdbText;

// Reads the residue sequence from the ATOM records of the first model of a PDB
// file and builds the molecule (`build`). format is the read command's
// coordinate-file code (2 or 3); chains is "first", "*", "all" or a pattern for
// the one-character chain identifier; unknown: 0 error, 1 warning, 2 skip for
// residue names the library lacks.
void extseq(MoleculeState& s, PdbText& in, int format, std::string_view chains, int unknown);

}  // namespace veldrix
