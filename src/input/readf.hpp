// The read command: the residue library and the models of a PDB coordinate file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// Fields of the read command kept between calls.
struct ReadData {
  std::string action;                        // lib, pdb, ...
  std::string filnam;                        // file name after default-extension processing
  std::string chains;                        // "chains" value handed to the PDB reader
  std::string typ = "PDB coordinate file ";  // description used in messages
  int rigid = 0, flexible = 0;               // conformers of the last coordinate file
  std::optional<std::string_view> content;   // the coordinate file's bytes, when the caller holds them in memory
  Names names = Names::library;              // how the file's names meet the library's
  FileFormat format;                         // of the last coordinate file
  std::vector<Transform> frames;             // per model read: the motion of its coordinates as kept onto the file's
};

struct InputState;

// Handler of the read command. words: the command's words (action, file,
// name=value pairs); check: the file must exist and is opened first (the
// built-in library is read when a library is asked for without it).
void readf(InputState& s, std::vector<std::string>& words, bool check);

// Whether `models` stored models of `atoms` atoms each stay in proportion to the
// `positions` (atom coordinates) their records gave: a file of mere fragments of
// models is refused before it claims memory far beyond its own size.
bool models_fit(int models, int atoms, long long positions);

}  // namespace veldrix
