// PDBx/mmCIF coordinates as PDB text: the _atom_site table written as the PDB reader takes it.
#pragma once

#include <string>
#include <string_view>

namespace veldrix {

// The atoms of the first data block of an mmCIF text as PDB records: one model
// per _atom_site.pdbx_PDB_model_num, in the order the models first appear, each
// between MODEL and ENDMDL; ATOM or HETATM after group_PDB (without it, HETATM for
// atoms of non-polymer and water entities); the author's atom and residue names,
// chain and residue number, falling back to the label_* items where an author
// item is absent or null; alternate location and insertion code; coordinates as
// %8.3f. Throws InputError for a CIF syntax error (with its line), for data without
// an _atom_site table or without coordinates, and for values that do not fit the
// PDB columns (chain names of more than one character, residue numbers outside
// -999..9999, coordinates outside the 8-column field, longer names).
std::string mmcif_to_pdb(std::string_view cif);

}  // namespace veldrix
