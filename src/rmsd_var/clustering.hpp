// Residue clustering: all levels of the core atoms with the spread value of each level.
#pragma once

#include <span>

#include "rmsd_var/levels.hpp"
#include "superpose/state.hpp"
#include "util/farray.hpp"

namespace veldrix {

// Builds levels 1..n of the n core atoms over the distance-variance matrix v and
// their spread values: 10000.0 for level 1, avrg_cluster_rmsd for every other.
void perform_clustering(SuperposeState& s, std::span<LevelRecord> levels, std::span<double> spread,
                        std::span<const int> core, const FArray<bool>& axis, const FArray<double, 2>& v);

// Spread of a level: the ensemble RMSDs of its clusters of two or more items
// (each over the axis atoms of its residues that have coordinates in the working
// structure) summed and divided by the number of items in those clusters. A
// cluster whose RMSD cannot be computed adds -1.0. A level of single items: 0.0.
double avrg_cluster_rmsd(SuperposeState& s, std::span<const int> core, const LevelRecord& level,
                         const FArray<bool>& axis);

}  // namespace veldrix
