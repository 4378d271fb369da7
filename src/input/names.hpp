// Today's residue and atom names (PDB v3, simulation programs) mapped to the names of the residue library.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace veldrix {

// A residue name of the input and the library residue it stands for.
struct ResidueRename {
  std::string_view from, to;
};

// An atom name, as the PDB reader reads it (a leading digit moved to the end; in
// nucleotides "*" read as "'"), and the library's name for it, in the library
// residues listed (blank-separated).
struct AtomRename {
  std::string_view residues;
  std::string_view from, to;
};

// The fixed renames. A, C and G are RNA (RADE, RCYT, RGUA) unless the residue has a
// 2'-deoxy sugar (a C2' atom and no O2'), as in DNA files of the old PDB format.
std::span<const ResidueRename> residue_renames();
std::span<const AtomRename> atom_renames();

struct NameMapping {
  std::string text;     // the PDB text with the library's names in the ATOM and HETATM records
  std::string warning;  // "Names mapped: DA→ADE (12), HN→H (760)."; empty when nothing was mapped
};

// Rewrites the residue names (columns 18-21, left-justified as the reader matches
// them) and atom names (columns 13-16) of the ATOM and HETATM records that reach
// column 27; nothing else changes, not even the length of a line. The warning
// lists each mapping once with its count: a residue counts once per stretch of
// consecutive records with the same residue identifier (name, chain, number,
// insertion code; MODEL and ENDMDL end a stretch), so once per residue and model;
// an atom counts once per record. Residues come first, then atoms, each in the
// order of their first occurrence; an atom mapping is named by the name as written.
NameMapping map_modern_names(std::string_view pdb_text);
// The same on the text itself (no copy of a large file): returns the warning.
std::string map_modern_names_in_place(std::string& pdb_text);

}  // namespace veldrix
