// Least-squares superposition of two point sets, with its own singular value decomposition.
#pragma once

#include <span>

namespace veldrix {

// Fits the n points of x onto the n points of y (each point three consecutive
// doubles) and returns the RMSD after the fit. mode < 0: x is replaced by its
// fitted coordinates; mode 0: nothing is written; mode > 0: the fit is applied
// to the m points of z. n <= 3 returns 0.0 and touches nothing.
double rmsd(std::span<double> x, std::span<const double> y, int n, int mode, std::span<double> z, int m);

}  // namespace veldrix
