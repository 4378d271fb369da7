// The range analysis: well-ordered angles, core atoms, clustering, domains and the result lines.
#pragma once

#include "util/farray.hpp"

namespace veldrix {

// Runs the whole analysis on the ensemble held in the data model and prints
// one result line per domain. keep: 1..nr residues the overlay must not remove.
void find_best_superpos_ranges(const FArray<bool>& keep, double gap, double decrease, int minimum, int buffer,
                               int gapwidth, double absdecrease, double upper_rmsd);

}  // namespace veldrix
