// The ensemble RMSD of armsd from additive statistics of atom groups.
#include "superpose/moments.hpp"

#include <array>
#include <cmath>

#include "superpose/rmsd.hpp"

namespace veldrix {

namespace {

// Offset of the moments of members k <= j (0-based) among the pairs.
std::size_t pair_index(int ns, int k, int j) {
  return std::size_t(k) * std::size_t(ns) - std::size_t(k) * std::size_t(k - 1) / 2 + std::size_t(j - k);
}

// Horn's 4 x 4 matrix of a correlation matrix c (column by column, rows the moved set): its
// largest eigenvalue is the largest value of trace(r c) over proper rotations r, and its unit
// eigenvector the quaternion of that rotation. The eigenvalue comes from Newton's method on
// the characteristic polynomial from above (as in Theobald's QCP).
struct Horn {
  double k[4][4];
  double lambda = -1.0;  // negative when no accurate value was found
  double slope = 0.0;    // of the characteristic polynomial at lambda: the product of the gaps
  double norm = 0.0;     // Frobenius norm of c

  // above: an upper bound of the eigenvalue to start from (0: the general one).
  explicit Horn(const std::array<double, 9>& c, double above = 0.0) {
    const double sxx = c[0], syx = c[1], szx = c[2], sxy = c[3], syy = c[4], szy = c[5], sxz = c[6], syz = c[7],
                 szz = c[8];
    const double rows[4][4] = {{sxx + syy + szz, syz - szy, szx - sxz, sxy - syx},
                               {syz - szy, sxx - syy - szz, sxy + syx, szx + sxz},
                               {szx - sxz, sxy + syx, -sxx + syy - szz, syz + szy},
                               {sxy - syx, szx + sxz, syz + szy, -sxx - syy + szz}};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) k[i][j] = rows[i][j];
    double squares = 0.0;
    for (const double x : c) squares += x * x;
    if (!(squares > 0.0) || !std::isfinite(squares)) return;
    norm = std::sqrt(squares);
    const double det = sxx * (syy * szz - syz * szy) - sxy * (syx * szz - syz * szx) + sxz * (syx * szy - syy * szx);
    const double a0 = k[0][0] * k[1][1] - k[0][1] * k[1][0], a1 = k[0][0] * k[1][2] - k[0][2] * k[1][0];
    const double a2 = k[0][0] * k[1][3] - k[0][3] * k[1][0], a3 = k[0][1] * k[1][2] - k[0][2] * k[1][1];
    const double a4 = k[0][1] * k[1][3] - k[0][3] * k[1][1], a5 = k[0][2] * k[1][3] - k[0][3] * k[1][2];
    const double b0 = k[2][0] * k[3][1] - k[2][1] * k[3][0], b1 = k[2][0] * k[3][2] - k[2][2] * k[3][0];
    const double b2 = k[2][0] * k[3][3] - k[2][3] * k[3][0], b3 = k[2][1] * k[3][2] - k[2][2] * k[3][1];
    const double b4 = k[2][1] * k[3][3] - k[2][3] * k[3][1], b5 = k[2][2] * k[3][3] - k[2][3] * k[3][2];
    const double c0 = a0 * b5 - a1 * b4 + a2 * b3 + a3 * b2 - a4 * b1 + a5 * b0;
    const double c1 = -8.0 * det, c2 = -2.0 * squares;
    // The sum of the singular values is at most sqrt(3) times their root sum of squares; a
    // bound given that lies above the root (the polynomial is positive there) starts closer.
    const double general = std::sqrt(3.0 * squares);
    double l = above > 0.0 && above < general ? above : general;
    const auto value = [&](double x) { return ((x * x + c2) * x + c1) * x + c0; };
    if (l != general && !(value(l) > 0.0)) l = general;
    double d = 0.0;
    for (int it = 0; it < 100; ++it) {
      const double l2 = l * l;
      const double p = (l2 + c2) * l2 + c1 * l + c0;
      d = (4.0 * l2 + 2.0 * c2) * l + c1;
      if (!(d > 0.0)) return;
      const double next = l - p / d;
      if (!(next < l)) break;
      l = next;
    }
    // Rounding in the polynomial's value near the root, over its slope there.
    const double l2 = l * l;
    const double size = l2 * l2 + std::fabs(c2) * l2 + std::fabs(c1) * l + std::fabs(c0);
    if (!(size * 1.0e-16 <= 1.0e-14 * l * d)) return;
    lambda = l;
    slope = d;
  }

  // The rotation (column by column) of the eigenvector, from the largest column of the
  // adjugate of K - lambda I; false when the next eigenvalue lies too close for it to be
  // as accurate as the decomposition's.
  bool rotation(double* r) const {
    if (lambda < 0.0) return false;
    // The gap to the next eigenvalue: the slope over the other two gaps, each at most
    // lambda + 2 sqrt(3) |c|.
    const double far = lambda + 2.0 * std::sqrt(3.0) * norm;
    if (!(slope >= 1.0e-4 * norm * far * far)) return false;
    double m[4][4];
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) m[i][j] = k[i][j] - (i == j ? lambda : 0.0);
    const auto minor3 = [&](int skip_row, int skip_col) {
      int rr[3], cc[3];
      for (int i = 0, n = 0; i < 4; ++i)
        if (i != skip_row) rr[n++] = i;
      for (int j = 0, n = 0; j < 4; ++j)
        if (j != skip_col) cc[n++] = j;
      const auto e = [&](int i, int j) { return m[rr[i]][cc[j]]; };
      return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) - e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
             e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
    };
    // The adjugate is the slope times q q^T: its largest diagonal entry marks the column
    // of the largest norm.
    int j = 0;
    double diagonal[4];
    for (int i = 0; i < 4; ++i) {
      diagonal[i] = minor3(i, i);
      if (std::fabs(diagonal[i]) > std::fabs(diagonal[j])) j = i;
    }
    double best[4], best_norm = 0.0;
    for (int i = 0; i < 4; ++i) {
      best[i] = i == j ? diagonal[i] : ((i + j) % 2 == 0 ? 1.0 : -1.0) * minor3(j, i);
      best_norm += best[i] * best[i];
    }
    if (!(best_norm > 0.0) || !std::isfinite(best_norm)) return false;
    const double n = std::sqrt(best_norm);
    const double q0 = best[0] / n, q1 = best[1] / n, q2 = best[2] / n, q3 = best[3] / n;
    r[0] = q0 * q0 + q1 * q1 - q2 * q2 - q3 * q3;
    r[1] = 2.0 * (q1 * q2 + q0 * q3);
    r[2] = 2.0 * (q1 * q3 - q0 * q2);
    r[3] = 2.0 * (q1 * q2 - q0 * q3);
    r[4] = q0 * q0 - q1 * q1 + q2 * q2 - q3 * q3;
    r[5] = 2.0 * (q2 * q3 + q0 * q1);
    r[6] = 2.0 * (q1 * q3 + q0 * q2);
    r[7] = 2.0 * (q2 * q3 - q0 * q1);
    r[8] = q0 * q0 - q1 * q1 - q2 * q2 + q3 * q3;
    return true;
  }
};

}  // namespace

void EnsembleMoments::prepare(const VokanData& v, const FArray<bool>& around) {
  v_ = &v;
  ns_ = std::max(v.nsstr, 0);
  size_ = 1 + 3 * std::size_t(ns_) + 9 * std::size_t(ns_) * std::size_t(ns_ + 1) / 2;
  base_.resize(std::size_t(ns_));
  for (int k = 0; k < ns_; ++k) base_[std::size_t(k)] = v.coo.ptr(1, v.col(v.isstr(k + 1), 0));
  usable_.assign(std::size_t(std::max(v.na, 0)) + 1, 1);
  usable_[0] = 0;
  for (int k = 0; k < ns_; ++k) {
    const double* base = base_[std::size_t(k)];
    for (int a = 1; a <= v.na; ++a) {
      const double* c = base + 3 * std::size_t(a);
      if (!(known_coordinate(c[0]) && known_coordinate(c[1]) && known_coordinate(c[2]))) usable_[std::size_t(a)] = 0;
    }
  }
  centre_.assign(3 * std::size_t(ns_), 0.0);
  int count = 0, first = 0;
  const int limit = around.allocated() ? std::min(v.na, around.ubound()) : 0;
  for (int a = std::max(1, around.allocated() ? around.lbound() : 1); a <= limit; ++a)
    if (around(a) && usable(a)) {
      if (first == 0) first = a;
      ++count;
      for (int k = 0; k < ns_; ++k)
        for (int x = 0; x < 3; ++x)
          centre_[3 * std::size_t(k) + std::size_t(x)] += base_[std::size_t(k)][3 * std::size_t(a) + std::size_t(x)];
    }
  for (double& c : centre_) c = count > 0 ? c / count : 0.0;
  m_.assign(9 * std::size_t(ns_) * std::size_t(ns_), 0.0);
  r_.assign(9 * std::size_t(ns_), 0.0);
  t_.assign(9 * std::size_t(ns_), 0.0);
  c_.assign(3 * std::size_t(ns_), 0.0);
  y_.assign(3 * std::size_t(ns_), 0.0);
}

void EnsembleMoments::add_atom(std::span<double> block, int a, double sign) {
  const std::size_t ns = std::size_t(ns_);
  double* y = y_.data();
  for (std::size_t k = 0; k < ns; ++k)
    for (std::size_t x = 0; x < 3; ++x) y[3 * k + x] = base_[k][3 * std::size_t(a) + x] - centre_[3 * k + x];
  double* b = block.data();
  b[0] += sign;
  for (std::size_t k = 0; k < 3 * ns; ++k) b[1 + k] += sign * y[k];
  double* p = b + 1 + 3 * ns;
  for (std::size_t k = 0; k < ns; ++k) {
    const double l0 = sign * y[3 * k], l1 = sign * y[3 * k + 1], l2 = sign * y[3 * k + 2];
    for (std::size_t j = k; j < ns; ++j, p += 9) {
      const double* r = y + 3 * j;
      p[0] += l0 * r[0];
      p[1] += l1 * r[0];
      p[2] += l2 * r[0];
      p[3] += l0 * r[1];
      p[4] += l1 * r[1];
      p[5] += l2 * r[1];
      p[6] += l0 * r[2];
      p[7] += l1 * r[2];
      p[8] += l2 * r[2];
    }
  }
}

std::optional<double> EnsembleMoments::fit(std::span<const double> block, bool keep_rotations) {
  const int ns = ns_;
  const double n = block.empty() ? 0.0 : block[0];
  if (ns < 2 || !(n >= 4.0)) return -1.0;
  const double* sum = block.data() + 1;
  const double* pairs = sum + 3 * std::size_t(ns);
  for (int k = 0; k < 3 * ns; ++k) c_[std::size_t(k)] = sum[k] / n;
  // Centred moments M(k, j)(a, b) = sum over the atoms of (x_k - c_k)(a) (x_j - c_j)(b), for every pair.
  auto m = [&](int k, int j) { return m_.data() + 9 * (std::size_t(k) * std::size_t(ns) + std::size_t(j)); };
  for (int k = 0; k < ns; ++k)
    for (int j = k; j < ns; ++j) {
      const double* s = pairs + 9 * pair_index(ns, k, j);
      double* out = m(k, j);
      double* mirror = m(j, k);
      for (int b = 0; b < 3; ++b)
        for (int a = 0; a < 3; ++a) {
          const double value = s[a + 3 * b] - sum[3 * k + a] * c_[std::size_t(3 * j + b)];
          out[a + 3 * b] = value;
          mirror[b + 3 * a] = value;
        }
    }

  // Every member onto member 1.
  double* r = r_.data();
  for (int x = 0; x < 9; ++x) r[x] = x % 4 == 0 ? 1.0 : 0.0;
  for (int k = 1; k < ns; ++k) {
    std::array<double, 9> corr;
    const double* mk = m(k, 0);
    for (int x = 0; x < 9; ++x) corr[std::size_t(x)] = mk[x] / n;
    // trace(r c) is at most the root of the two members' sums of squares over n.
    const double* m0 = m(0, 0);
    const double* mkk = m(k, k);
    const double above = std::sqrt((mkk[0] + mkk[4] + mkk[8]) * (m0[0] + m0[4] + m0[8])) / n;
    if (Horn(corr, above * (1.0 + 1.0e-9)).rotation(r + 9 * k)) continue;
    const BestRotation best = best_rotation(corr);
    for (int x = 0; x < 9; ++x) r[9 * k + x] = best.r[std::size_t(x)];
  }

  // Every member onto the mean of the fitted members: N_k = sum_j M(k, j) R_j^T gives the
  // correlation with the mean and, through trace(R_k N_k), the mean's own sum of squares.
  std::vector<double>& own = y_;  // per member: sum of squares and the fit's trace
  if (own.size() < 2 * std::size_t(ns)) own.resize(2 * std::size_t(ns));
  if (nk_.size() < 9 * std::size_t(ns)) nk_.resize(9 * std::size_t(ns));
  double mean_squares = 0.0;
  for (int k = 0; k < ns; ++k) {
    double* nk = nk_.data() + 9 * std::size_t(k);
    std::fill(nk, nk + 9, 0.0);
    for (int j = 0; j < ns; ++j) {
      const double* mkj = m(k, j);
      const double* rj = r + 9 * j;
      for (int c = 0; c < 3; ++c)
        for (int a = 0; a < 3; ++a) nk[a + 3 * c] += mkj[a] * rj[c] + mkj[a + 3] * rj[c + 3] + mkj[a + 6] * rj[c + 6];
    }
    double rn = 0.0;
    for (int c = 0; c < 3; ++c)
      for (int a = 0; a < 3; ++a) rn += r[9 * k + c + 3 * a] * nk[a + 3 * c];
    mean_squares += rn;
    const double* mkk = m(k, k);
    own[2 * std::size_t(k)] = mkk[0] + mkk[4] + mkk[8];
  }
  mean_squares /= double(ns) * double(ns);
  for (int k = 0; k < ns; ++k) {
    std::array<double, 9> corr;
    for (int x = 0; x < 9; ++x) corr[std::size_t(x)] = nk_[9 * std::size_t(k) + std::size_t(x)] / (n * ns);
    // trace(r c) is at most the root of the member's and the mean's sums of squares over n.
    const double above = std::sqrt(own[2 * std::size_t(k)] * mean_squares) / n;
    // The trace comes from one route whether or not the rotations are kept: a selection's RMSD must not
    // depend on which of the two asked for it, or a removal that changes nothing would change the value.
    double trace = Horn(corr, above * (1.0 + 1.0e-9)).lambda;
    if (trace < 0.0 || keep_rotations) {
      const BestRotation best = best_rotation(corr);
      if (keep_rotations)
        for (int x = 0; x < 9; ++x) t_[9 * std::size_t(k) + std::size_t(x)] = best.r[std::size_t(x)];
      if (trace < 0.0) trace = best.trace;
    }
    own[2 * std::size_t(k) + 1] = trace;
  }
  double total = 0.0;
  for (int k = 0; k < ns; ++k) {
    const double squares = own[2 * std::size_t(k)] + mean_squares;
    const double residual = squares - 2.0 * n * own[2 * std::size_t(k) + 1];
    if (!(residual * 1.0e6 >= squares)) return std::nullopt;
    total += std::sqrt(residual / n);
  }
  return total / ns;
}

std::optional<double> EnsembleMoments::rmsd(std::span<const double> block) { return fit(block, false); }

std::optional<double> EnsembleMoments::rmsd(std::span<const double> block, std::span<const int> atoms,
                                            FArray<double>& adisp) {
  const VokanData& v = *v_;
  const std::optional<double> value = fit(block, true);
  if (!value || *value < 0.0) return value;
  if (!adisp.allocated() || adisp.lbound() != 1 || adisp.ubound() != v.na) adisp.allocate(Dim(v.na));
  adisp.fill(0.0);
  const std::size_t ns = std::size_t(ns_);
  std::vector<double> a(3 * ns);
  for (const int atom : atoms) {
    // Centred coordinates of the atom in every member, and its place in the mean of the fitted members.
    double mean[3] = {0.0, 0.0, 0.0};
    for (std::size_t k = 0; k < ns; ++k) {
      const double* p = base_[k] + 3 * std::size_t(atom);
      double* q = &a[3 * k];
      for (std::size_t x = 0; x < 3; ++x) q[x] = p[x] - centre_[3 * k + x] - c_[3 * k + x];
      const double* rk = &r_[9 * k];
      for (std::size_t x = 0; x < 3; ++x) mean[x] += rk[x] * q[0] + rk[x + 3] * q[1] + rk[x + 6] * q[2];
    }
    for (double& x : mean) x /= double(ns);
    double dist = 0.0;
    for (std::size_t k = 0; k < ns; ++k) {
      const double* q = &a[3 * k];
      const double* tk = &t_[9 * k];
      double d2 = 0.0;
      for (std::size_t x = 0; x < 3; ++x) {
        const double d = tk[x] * q[0] + tk[x + 3] * q[1] + tk[x + 6] * q[2] - mean[x];
        d2 += d * d;
      }
      dist += std::sqrt(d2);
    }
    adisp(atom) = dist / double(ns);
  }
  return value;
}

}  // namespace veldrix
