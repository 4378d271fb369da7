// Distances, variances, order parameters, knee and spread scale of the range analysis.
#include "rmsd_var/variance.hpp"

#include <cmath>
#include <vector>

#include "molecule/vokandata.hpp"

namespace veldrix {

double cdist(const VokanData& v, int i, int j, int s) {
  const int a = v.col(s, i), b = v.col(s, j);
  const double dx = v.coo(1, a) - v.coo(1, b);
  const double dy = v.coo(2, a) - v.coo(2, b);
  const double dz = v.coo(3, a) - v.coo(3, b);
  double d2 = dx * dx + dy * dy + dz * dz;
  if (d2 < 0.0) d2 = 0.0;
  return std::sqrt(d2);
}

double variance(std::span<const double> x) {
  if (x.empty()) return 0.0;
  const double n = double(x.size());
  double sum = 0.0;
  for (double v : x) sum += v;
  const double mean = sum / n;
  double sq = 0.0;
  for (double v : x) sq += (v - mean) * (v - mean);
  return sq / n;
}

double index_variance(const double* m, int n, std::span<const int> index) {
  const std::size_t k = index.size();
  const std::size_t ld = std::size_t(n);
  if (k == 2) return m[std::size_t(index[0] - 1) + std::size_t(index[1] - 1) * ld];
  if (k < 2) return 0.0;
  // One pass over the pairs p < q: count, sum and sum of squares.
  double c = 0.0, sx = 0.0, sxx = 0.0;
  for (std::size_t p = 0; p + 1 < k; ++p) {
    const double* row = m + std::size_t(index[p] - 1);
    for (std::size_t q = p + 1; q < k; ++q) {
      const double x = row[std::size_t(index[q] - 1) * ld];
      c += 1.0;
      sx += x;
      sxx += x * x;
    }
  }
  const double mean = sx / c;
  return sxx / c - mean * mean;
}

double variance_from_index(const FArray<double, 2>& m, std::span<const int> index) {
  if (index.size() < 2) return 0.0;
  return index_variance(m.ptr(m.lbound(0), m.lbound(1)), int(m.extent(0)), index);
}

double calc_order_parameter(std::span<const double> theta) {
  double c = 0.0, s = 0.0;
  for (double t : theta) {
    c += std::cos(t);
    s += std::sin(t);
  }
  if (theta.empty()) return 0.0;
  const double r = std::sqrt(c * c + s * s) / double(theta.size());
  return std::isfinite(r) ? r : 0.0;
}

int calc_cutoff(std::span<const double> y) {
  const int n = int(y.size());
  if (n <= 0) return 1;
  const double yn = y[n - 1];
  const double range = y[0] - yn;
  // A flat curve (or a single point) has no finite scale: the knee is the first point.
  if (range == 0.0) return 1;
  const double scale = double(n - 1) / range;
  int best = 0;
  double tbest = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double t = (y[i - 1] - yn) * scale + i;
    if (std::isnan(t)) continue;
    if (best == 0 || t > tbest) {
      if (best == 0 && t == -INFINITY) continue;  // never above the starting -inf
      best = i;
      tbest = t;
    }
  }
  return best == 0 ? 1 : best;
}

void normalize_avrg_spread(std::span<std::optional<double>> x) {
  const std::size_t n = x.size();
  if (n < 2) return;
  bool any = false;
  double mx = 0.0, mn = 0.0;
  for (std::size_t i = 1; i < n; ++i) {
    if (!x[i]) continue;
    if (!any || *x[i] > mx) mx = *x[i];
    if (!any || *x[i] < mn) mn = *x[i];
    any = true;
  }
  if (!any) return;
  // Equal values leave no scale: every entry of x(2..n) becomes undefined.
  if (mx == mn) {
    for (std::size_t i = 1; i < n; ++i) x[i].reset();
    return;
  }
  const double scale = double(n - 2) / (mx - mn);
  for (std::size_t i = 1; i < n; ++i) {
    if (!x[i]) continue;
    const double v = (*x[i] - mn) * scale + 1.0;
    if (std::isfinite(v))
      x[i] = v;
    else
      x[i].reset();
  }
}

void fill_variance_matrix(const VokanData& vk, FArray<double, 2>& v, std::span<const int> structures,
                          std::span<const int> atoms) {
  const int n = int(atoms.size());
  const std::size_t m = structures.size();
  v.allocate(Dim(n), Dim(n));
  // The coordinates of every atom in every structure, gathered once so that the
  // pair loop streams through memory; the arithmetic is that of cdist.
  std::vector<double> g(std::size_t(n) * m * 3);
  for (int i = 0; i < n; ++i)
    for (std::size_t k = 0; k < m; ++k) {
      const int c = vk.col(structures[k], atoms[i]);
      double* p = &g[(std::size_t(i) * m + k) * 3];
      p[0] = vk.coo(1, c);
      p[1] = vk.coo(2, c);
      p[2] = vk.coo(3, c);
    }
  std::vector<double> d(m);
  for (int i = 1; i <= n; ++i) v(i, i) = 0.0;
  for (int i = 0; i + 1 < n; ++i) {
    const double* pi = &g[std::size_t(i) * m * 3];
    for (int j = i + 1; j < n; ++j) {
      const double* pj = &g[std::size_t(j) * m * 3];
      for (std::size_t k = 0; k < m; ++k) {
        const double dx = pi[3 * k] - pj[3 * k];
        const double dy = pi[3 * k + 1] - pj[3 * k + 1];
        const double dz = pi[3 * k + 2] - pj[3 * k + 2];
        double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < 0.0) d2 = 0.0;
        d[k] = std::sqrt(d2);
      }
      const double var = variance(d);
      v(i + 1, j + 1) = var;
      v(j + 1, i + 1) = var;
    }
  }
}

int last_atom(const VokanData& v, int r) { return r >= v.nr ? v.na : v.ifira(r + 1) - 1; }

void get_core_atom_list(const VokanData& v, const FArray<bool>& axis, std::span<const int> angles, FArray<int>& core) {
  core.allocate(Dim(v.na));
  core.fill(-1000);
  std::vector<char> listed(std::size_t(v.na) + 1, 0);
  int pos = 1;
  for (int k : angles) {
    if (k <= 0 || k > v.nd) continue;
    const int r = v.idr(k);
    if (r < 1 || r > v.nr) continue;
    int count = 0, candidate = 0;
    for (int a = v.ifira(r); a <= last_atom(v, r); ++a) {
      if (axis(a) && ++count == 2) {
        candidate = a;
        break;
      }
    }
    if (candidate == 0 || listed[std::size_t(candidate)]) continue;
    listed[std::size_t(candidate)] = 1;
    core(pos++) = candidate;
  }
}

}  // namespace veldrix
