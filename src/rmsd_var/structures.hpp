// The structures command: reads the overlay parameters and runs the range analysis.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rmsd_var/state.hpp"
#include "util/farray.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

// The overlay action's parameter template; its defaults are those of Options.
std::string overlay_template();

// Parses the command's words into the tuning parameters and `keep` (1..nr:
// residues the overlay must not remove); empty for every action but overlay
// (they are accepted and do nothing).
std::optional<Options> read_structures_command(Session& s, std::vector<std::string>& words, FArray<bool>& keep);

// The handler of the structures command ("struct" is taken by the language).
void structures(Session& s, std::vector<std::string>& words);

}  // namespace veldrix
