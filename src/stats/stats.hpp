// Structure statistics of an analysed ensemble: per-domain RMSD figures and superpositions, per-residue profiles.
#pragma once

#include <optional>

#include "rmsd_var/state.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

// Fills, from the session's ensemble after the analysis, every domain's stats and
// superposition and the result's per_residue profiles (see veldrix.hpp).
void add_statistics(const Session& s, Result& r);

// The dihedral angle a-b-c-d in radians (-pi..pi), absent when three of the points are in line.
std::optional<double> dihedral(const double* a, const double* b, const double* c, const double* d);

}  // namespace veldrix
