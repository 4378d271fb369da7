// Residue library: the reader of the library text, the standard residue frame and the consistency check.
#pragma once

#include <array>
#include <iosfwd>

#include "molecule/state.hpp"

namespace veldrix {

// Lines of the built-in library text.
constexpr int builtin_library_lines = 1475;

// Reads one residue library into the library arrays of the data model, appending to
// what is loaded (callers that replace the library set naa, nattyp, maxdih and
// maxat to 0 first). `input` is an open text stream positioned at its start; it
// is read twice, rewound in between. nullptr reads the built-in library text.
// Residue types whose names are already loaded are skipped, atom types whose
// names exist keep their first definition. Every error is fatal.
void getlib(MoleculeState& s, std::istream* input);

// The built-in library into a data model that holds no library yet: what getlib and a
// passing libchk give it, read once per process and copied from then on (the text is
// constant, and so is what it reads to).
void load_builtin_library(MoleculeState& s);

// Checks the whole library: duplicate residue names, duplicate angle names and
// own-atom names within a residue type, and angles whose rotation moves an atom
// that defines an earlier angle of the same type. A finding is fatal.
void libchk(MoleculeState& s);

// Expresses the coordinates of residue type i in its standard frame: atom 1 at
// the origin, atom 3 on the positive x axis, atom 2 in the x-z plane with z < 0.
// A type without such a frame (fewer than 3 atoms, atoms 1, 2, 3 on one line) is fatal.
void librot(MoleculeState& s, int i);

// Cross product a x b.
std::array<double, 3> crossp(const std::array<double, 3>& a, const std::array<double, 3>& b);

}  // namespace veldrix
