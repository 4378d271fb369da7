// The structures command: reads the overlay parameters and runs the range analysis.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "util/farray.hpp"

namespace veldrix {

// The analysis parameters of one structures command.
struct OverlayRequest {
  FArray<bool> keep;  // 1..nr residues the overlay must not remove
  double gap = 0.4;
  double decrease = 1.2;
  double absdecrease = 1.6;
  int gapwidth = 3;
  int minimum = 8;
  int buffer = 3;
  double upper_rmsd = 0.1;
};

// Parses the command's words; empty for every action but overlay (they are
// accepted and do nothing) and after a parameter error.
std::optional<OverlayRequest> read_structures_command(std::vector<std::string>& words);

// The handler of the structures command ("struct" is taken by the language).
void structures(std::vector<std::string>& words);

}  // namespace veldrix
