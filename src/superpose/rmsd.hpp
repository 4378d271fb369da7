// Least-squares superposition of two point sets, with its own singular value decomposition.
#pragma once

#include <array>
#include <span>

namespace veldrix {

// Fits the n points of x onto the n points of y (each point three consecutive
// doubles) and returns the RMSD after the fit. mode < 0: x is replaced by its
// fitted coordinates; mode 0: nothing is written; mode > 0: the fit is applied
// to the m points of z. n <= 3 returns 0.0 and touches nothing.
double rmsd(std::span<double> x, std::span<const double> y, int n, int mode, std::span<double> z, int m);

// The best proper rotation of a least-squares fit, from the correlation matrix c of the
// centred point sets (column by column, c(i,j) the mean of moved(i) * target(j)): r maps
// the moved set onto the target (column by column), and trace is the sum of the singular
// values of c with the smallest one negated when the correlation is improper, the largest
// value of trace(r c) over rotations.
struct BestRotation {
  std::array<double, 9> r{};
  double trace = 0.0;
};
BestRotation best_rotation(std::array<double, 9> c);

// Singular value decomposition a = U * diag(w) * V^T of the m x n matrix a,
// stored column by column with leading dimension mp; v has leading dimension np.
// On return a holds U (m x n), w the n singular values (non-negative, in the
// order the iteration leaves them, not sorted) and v the matrix V itself.
// A value that does not converge within 30 iterations is fatal.
void svd(std::span<double> a, int m, int n, int mp, int np, std::span<double> w, std::span<double> v);

// sqrt(a*a + b*b) without destructive overflow or underflow.
double pythag(double a, double b);

// Negligibility threshold of the splitting test: 2.0e-14 as held in single precision.
inline const double svd_negligible = double(2.0e-14f);

}  // namespace veldrix
