// The whole state of one run: everything below, and the results of the range analysis.
#pragma once

#include <vector>

#include "input/state.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

struct RmsdVar {
  std::vector<Domain> domains;  // the domains reported, in printed order
  int range_residues = 0;       // residues with an atom in the analysed range
};

// One analysis: created for it, dropped after it. Nothing of a run lives anywhere else.
struct Session : InputState {
  RmsdVar rmsd_var;
};

}  // namespace veldrix
