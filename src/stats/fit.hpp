// Iterative superposition of an ensemble on its mean structure, and the RMSD figures it gives.
#pragma once

#include <span>
#include <vector>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// Rounds of fits onto the mean at most, and the RMS change of the mean that ends them (A).
constexpr int max_mean_fit_rounds = 50;
constexpr double mean_fit_tolerance = 1.0e-4;

struct MeanFit {
  std::vector<double> mean;  // 3n: the mean of the superposed conformers
  std::vector<double> rmsd;  // per conformer: RMSD to that mean
  int rounds = 0;            // fits onto the mean made
};

// Superposes m conformers of n points each (one block of 3n doubles after the other, replaced
// by the superposed coordinates): every conformer onto conformer 1, then onto the mean of all
// until the mean moves less than mean_fit_tolerance RMS, or max_mean_fit_rounds times.
MeanFit fit_to_mean(std::span<double> coords, int m, int n);

// Mean and sample standard deviation of the conformers' RMSDs, with the counts behind them.
RmsdStat summarise(const MeanFit& fit, int atoms);

}  // namespace veldrix
