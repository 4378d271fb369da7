// Iterative superposition of an ensemble on its mean structure, and the RMSD figures it gives.
#include "stats/fit.hpp"

#include <cmath>

#include "superpose/rmsd.hpp"

namespace veldrix {

namespace {

std::vector<double> mean_of(std::span<const double> coords, int m, std::size_t block) {
  std::vector<double> mean(block, 0.0);
  for (int k = 0; k < m; ++k)
    for (std::size_t i = 0; i < block; ++i) mean[i] += coords[std::size_t(k) * block + i];
  for (double& e : mean) e /= m;
  return mean;
}

// RMS distance of n points to n others.
double rms_distance(std::span<const double> a, std::span<const double> b, int n) {
  if (n == 0) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < 3 * std::size_t(n); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(sum / n);
}

}  // namespace

MeanFit fit_to_mean(std::span<double> coords, int m, int n) {
  const std::size_t block = 3 * std::size_t(n);
  auto conformer = [&](int k) { return coords.subspan(std::size_t(k) * block, block); };
  const std::span<double> none;
  for (int k = 1; k < m; ++k) rmsd(conformer(k), conformer(0), n, -1, none, 0);
  MeanFit fit;
  fit.mean = mean_of(coords, m, block);
  while (fit.rounds < max_mean_fit_rounds) {
    ++fit.rounds;
    for (int k = 0; k < m; ++k) rmsd(conformer(k), fit.mean, n, -1, none, 0);
    std::vector<double> next = mean_of(coords, m, block);
    const double change = rms_distance(next, fit.mean, n);
    fit.mean = std::move(next);
    if (change < mean_fit_tolerance) break;
  }
  for (int k = 0; k < m; ++k) fit.rmsd.push_back(rms_distance(conformer(k), fit.mean, n));
  return fit;
}

RmsdStat summarise(const MeanFit& fit, int atoms) {
  RmsdStat s;
  s.atoms = atoms;
  s.conformers = int(fit.rmsd.size());
  if (s.conformers == 0) return s;
  for (const double r : fit.rmsd) s.mean += r;
  s.mean /= s.conformers;
  if (s.conformers < 2) return s;
  double sum = 0.0;
  for (const double r : fit.rmsd) sum += (r - s.mean) * (r - s.mean);
  s.sd = std::sqrt(sum / (s.conformers - 1));
  return s;
}

}  // namespace veldrix
