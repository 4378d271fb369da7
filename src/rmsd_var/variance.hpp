// Numerical building blocks of the range analysis: distances, variances, order parameters, knee, spread scale.
#pragma once

#include <optional>
#include <span>

#include "molecule/vokandata.hpp"
#include "util/farray.hpp"

namespace veldrix {

// Distance in A between atoms i and j of structure s (coordinates of the data model).
double cdist(const VokanData& v, int i, int j, int s);

// Population variance (division by n) of x, two passes. An empty sample has no
// spread: 0.0.
double variance(std::span<const double> x);

// Variance of the entries m(index(p), index(q)), p < q, in one pass; with two
// indices the entry itself. Fewer than two indices select nothing: 0.0.
double variance_from_index(const FArray<double, 2>& m, std::span<const int> index);

// The same on a raw column-major n x n matrix (the clustering's inner kernel).
double index_variance(const double* m, int n, std::span<const int> index);

// Circular order parameter sqrt(C^2 + S^2) / n of angles in radians.
// No angles, or values that give no finite result, count as unordered: 0.0.
double calc_order_parameter(std::span<const double> theta);

// Knee of a curve sorted from its largest value down: the first index of the
// largest (y(i) - y(n)) (n - 1) / (y(1) - y(n)) + i; 1 when y(1) = y(n) or n < 2.
int calc_cutoff(std::span<const double> y);

// Maps x(2..n) linearly onto [1, n - 1], x(1) unchanged. When the values of
// x(2..n) are all equal the scale is undefined and so are those entries.
void normalize_avrg_spread(std::span<std::optional<double>> x);

// V(i, j): population variance over the structures of the distance between
// atoms(i) and atoms(j); V is (re)allocated n x n, symmetric, zero diagonal.
void fill_variance_matrix(const VokanData& vk, FArray<double, 2>& v, std::span<const int> structures,
                          std::span<const int> atoms);

// Core atoms of the residues that own the given angles: the second axis atom of
// each residue, each atom once. core gets na entries, unfilled ones -1000.
void get_core_atom_list(const VokanData& v, const FArray<bool>& axis, std::span<const int> angles, FArray<int>& core);

// Last atom of residue r.
int last_atom(const VokanData& v, int r);

}  // namespace veldrix
