// The range analysis: well-ordered angles, core atoms, clustering, domains and the result lines.
#pragma once

#include "rmsd_var/state.hpp"
#include "util/farray.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

// Runs the whole analysis on the ensemble held in the data model and prints
// one result line per domain. keep: 1..nr residues the overlay must not remove;
// params: the tuning parameters (range and library play no part here).
void find_best_superpos_ranges(Session& s, const FArray<bool>& keep, const Options& params);

}  // namespace veldrix
