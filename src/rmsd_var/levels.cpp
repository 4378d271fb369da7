// Clustering levels: the merge criterion, the level records and the kept pair scores.
#include "rmsd_var/levels.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "rmsd_var/state.hpp"
#include "rmsd_var/variance.hpp"
#include "util/sort.hpp"

namespace veldrix {

namespace {

// Pairs scoring at or above this are taken only when no pair scores below it.
constexpr double score_ceiling = 1.0e9;

// The kept state of the merge search. Every cluster lives in a slot (the slot
// of its first row when it was formed); the score of a pair of clusters depends
// only on their members and their row order, which later merges never change,
// so a score once known is kept. A new pair first gets bounds from sums kept per
// cluster; its exact score (the one-pass formula in scan order, bit for bit) is
// computed only when the bounds cannot rule it out as the least one.
struct MergeSearch {
  const double* v = nullptr;  // column-major n x n distance-variance matrix
  int n = 0;
  std::vector<std::vector<int>> members;  // by slot - 1, ascending items
  std::vector<double> s0, s1, sa;         // by slot - 1: sums of x, x^2, |x| over the cluster's own pairs
  std::vector<int> rows;                  // slot of each row, in row order
  std::vector<double> lb, ub;             // per slot pair: bounds of its score (equal when known)
  std::vector<char> known;                // per slot pair: lb holds the exact score
  // Per slot, over the pairs with the rows after it: the least lower bound (never
  // above the true least one) and the least upper bound (never below the true
  // least one), with the partner slots that gave them.
  std::vector<double> row_lb, row_ub;
  std::vector<int> arg_lb, arg_ub;
  std::vector<int> list;  // scratch item list
  // Per slot pair, while the matrix is symmetric: the sums of x, x^2 and |x| over the
  // entries between the two clusters, kept through the merges (a merged cluster's are
  // the sums of its parts'); an asymmetric matrix has them gathered entry by entry.
  bool additive = false;
  std::vector<double> c0, c1, ca;

  std::size_t pair(int s, int t) const {
    if (s > t) std::swap(s, t);
    return std::size_t(t - 1) * std::size_t(t - 2) / 2 + std::size_t(s - 1);
  }
  double at(int i, int j) const { return v[std::size_t(i - 1) + std::size_t(j - 1) * std::size_t(n)]; }
};

constexpr double lowest = std::numeric_limits<double>::lowest();
constexpr double highest = std::numeric_limits<double>::max();

// Least bounds of the row at position a (0-based) over its pairs with later rows.
// A score that is not a number can never be ruled out by its lower bound.
void row_minima(MergeSearch& ms, std::size_t a) {
  const int s = ms.rows[a];
  double lbm = highest, ubm = highest;
  int al = 0, au = 0;
  for (std::size_t b = a + 1; b < ms.rows.size(); ++b) {
    const int t = ms.rows[b];
    const std::size_t p = ms.pair(s, t);
    const double l = std::isnan(ms.lb[p]) ? lowest : ms.lb[p];
    if (al == 0 || l < lbm) {
      lbm = l;
      al = t;
    }
    const double h = ms.ub[p];
    if (!std::isnan(h) && (au == 0 || h < ubm)) {
      ubm = h;
      au = t;
    }
  }
  const std::size_t k = std::size_t(s - 1);
  ms.row_lb[k] = lbm;
  ms.row_ub[k] = ubm;
  ms.arg_lb[k] = al;
  ms.arg_ub[k] = au;
}

void init_search(MergeSearch& ms, const FArray<double, 2>& v, int n) {
  ms.v = v.ptr(v.lbound(0), v.lbound(1));
  ms.n = n;
  ms.members.assign(std::size_t(n), {});
  for (int s = 1; s <= n; ++s) ms.members[std::size_t(s - 1)] = {s};
  ms.s0.assign(std::size_t(n), 0.0);
  ms.s1.assign(std::size_t(n), 0.0);
  ms.sa.assign(std::size_t(n), 0.0);
  ms.rows.resize(std::size_t(n));
  for (int s = 1; s <= n; ++s) ms.rows[std::size_t(s - 1)] = s;
  const std::size_t np = std::size_t(n) * std::size_t(n - 1) / 2;
  ms.lb.assign(np, 0.0);
  ms.ub.assign(np, 0.0);
  ms.known.assign(np, 1);
  // Two single items score the matrix entry itself (row s before row t).
  for (int t = 2; t <= n; ++t)
    for (int s = 1; s < t; ++s) {
      const std::size_t p = ms.pair(s, t);
      ms.lb[p] = ms.ub[p] = ms.at(s, t);
    }
  ms.additive = true;
  for (int t = 2; t <= n && ms.additive; ++t)
    for (int q = 1; q < t; ++q)
      if (!(ms.at(q, t) == ms.at(t, q))) {
        ms.additive = false;
        break;
      }
  if (ms.additive) {
    ms.c0.assign(np, 0.0);
    ms.c1.assign(np, 0.0);
    ms.ca.assign(np, 0.0);
    for (int t = 2; t <= n; ++t)
      for (int q = 1; q < t; ++q) {
        const std::size_t p = ms.pair(q, t);
        const double x = ms.at(q, t);
        ms.c0[p] = x;
        ms.c1[p] = x * x;
        ms.ca[p] = std::fabs(x);
      }
  }
  ms.row_lb.assign(std::size_t(n), 0.0);
  ms.row_ub.assign(std::size_t(n), 0.0);
  ms.arg_lb.assign(std::size_t(n), 0);
  ms.arg_ub.assign(std::size_t(n), 0);
  for (std::size_t a = 0; a < std::size_t(n); ++a) row_minima(ms, a);
}

double exact_score(MergeSearch& ms, int first_slot, int second_slot) {
  const auto& a = ms.members[std::size_t(first_slot - 1)];
  const auto& b = ms.members[std::size_t(second_slot - 1)];
  ms.list.assign(a.begin(), a.end());
  ms.list.insert(ms.list.end(), b.begin(), b.end());
  return index_variance(ms.v, ms.n, ms.list);
}

// Rows (1-based) of the first least score in scan order.
std::array<int, 2> choose_pair(MergeSearch& ms) {
  const std::size_t c = ms.rows.size();
  if (c <= 2) return {1, 2};  // the last two clusters merge without a score
  // An upper bound of the least score: no pair whose lower bound lies above it
  // can be the least one.
  double u = highest;
  for (std::size_t a = 0; a + 1 < c; ++a) u = std::min(u, ms.row_ub[std::size_t(ms.rows[a] - 1)]);
  // When a single pair's bounds reach down to u, its score lies strictly below every
  // other pair's: it is the pick without its exact score.
  {
    int candidates = 0;
    std::array<int, 2> only{1, 2};
    std::size_t only_pair = 0;
    for (std::size_t a = 0; a + 1 < c && candidates < 2; ++a) {
      if (ms.row_lb[std::size_t(ms.rows[a] - 1)] > u) continue;
      for (std::size_t b = a + 1; b < c; ++b) {
        const std::size_t p = ms.pair(ms.rows[a], ms.rows[b]);
        if (ms.lb[p] > u) continue;
        if (++candidates > 1) break;
        only = {int(a) + 1, int(b) + 1};
        only_pair = p;
      }
    }
    constexpr double sure = 1.0e300;  // far from overflow in any order of summation
    if (candidates == 1 && ms.lb[only_pair] > -sure && ms.ub[only_pair] < sure) return only;
  }
  bool found = false;
  double best = 0.0;
  std::array<int, 2> pick{1, 2};
  for (std::size_t a = 0; a + 1 < c; ++a) {
    const std::size_t ka = std::size_t(ms.rows[a] - 1);
    if (ms.row_lb[ka] > u) continue;
    for (std::size_t b = a + 1; b < c; ++b) {
      const std::size_t p = ms.pair(ms.rows[a], ms.rows[b]);
      if (ms.lb[p] > u) continue;
      if (!ms.known[p]) {
        const double e = exact_score(ms, ms.rows[a], ms.rows[b]);
        ms.lb[p] = ms.ub[p] = e;
        ms.known[p] = 1;
        if (e < ms.row_ub[ka]) {
          ms.row_ub[ka] = e;
          ms.arg_ub[ka] = ms.rows[b];
        }
      }
      const double s = ms.lb[p];
      if (!std::isnan(s) && (!found || s < best)) {
        best = s;
        pick = {int(a) + 1, int(b) + 1};
        found = true;
      }
    }
  }
  return pick;
}

// Sums of x, x^2 and |x| over the pairs between two clusters, x = V(first, second).
void cross_sums(const MergeSearch& ms, const std::vector<int>& first, const std::vector<int>& second, bool ordered,
                double& x0, double& x1, double& xa) {
  x0 = x1 = xa = 0.0;
  for (int q : second) {
    for (int p : first) {
      const double x = ordered || p < q ? ms.at(p, q) : ms.at(q, p);
      x0 += x;
      x1 += x * x;
      xa += std::fabs(x);
    }
  }
}

void apply_merge(MergeSearch& ms, const std::array<int, 2>& merge) {
  const int si = ms.rows[std::size_t(merge[0] - 1)];
  const int sj = ms.rows[std::size_t(merge[1] - 1)];
  auto& mi = ms.members[std::size_t(si - 1)];
  auto& mj = ms.members[std::size_t(sj - 1)];
  // The merged cluster's own pairs: both clusters' pairs and those between them,
  // each entry taken as V(smaller item, larger item) as the sorted cluster lists it.
  double x0, x1, xa;
  if (ms.additive) {
    const std::size_t p = ms.pair(si, sj);
    x0 = ms.c0[p];
    x1 = ms.c1[p];
    xa = ms.ca[p];
  } else {
    cross_sums(ms, mi, mj, false, x0, x1, xa);
  }
  const std::size_t ki = std::size_t(si - 1), kj = std::size_t(sj - 1);
  ms.s0[ki] += ms.s0[kj] + x0;
  ms.s1[ki] += ms.s1[kj] + x1;
  ms.sa[ki] += ms.sa[kj] + xa;
  std::vector<int> merged(mi.size() + mj.size());
  std::merge(mi.begin(), mi.end(), mj.begin(), mj.end(), merged.begin());
  mi = std::move(merged);
  mj.clear();
  mj.shrink_to_fit();

  std::vector<int> rows;
  rows.reserve(ms.rows.size() - 1);
  rows.push_back(si);
  for (std::size_t r = 0; r < ms.rows.size(); ++r)
    if (int(r) + 1 != merge[0] && int(r) + 1 != merge[1]) rows.push_back(ms.rows[r]);
  ms.rows = std::move(rows);

  // Bounds of the new pairs (merged cluster first). A sequential sum of N terms
  // is off by at most about N u times the sum of magnitudes, and so is any other
  // order of summation; the score derived from the sums is then within
  // (2N + 6) u (S2/N + (SA/N)^2) of its exact value, for the exact one-pass
  // result as for the one from kept sums. Twice that margin is used.
  constexpr double u = std::numeric_limits<double>::epsilon() / 2;
  const double sm = double(mi.size());
  for (std::size_t r = 1; r < ms.rows.size(); ++r) {
    const int t = ms.rows[r];
    const auto& mt = ms.members[std::size_t(t - 1)];
    if (ms.additive) {
      const std::size_t pi = ms.pair(si, t), pj = ms.pair(sj, t);
      x0 = ms.c0[pi] += ms.c0[pj];
      x1 = ms.c1[pi] += ms.c1[pj];
      xa = ms.ca[pi] += ms.ca[pj];
    } else {
      cross_sums(ms, mi, mt, true, x0, x1, xa);
    }
    const std::size_t kt = std::size_t(t - 1);
    const double k = sm + double(mt.size());
    const double count = k * (k - 1.0) / 2.0;
    const double t0 = ms.s0[ki] + ms.s0[kt] + x0;
    const double t1 = ms.s1[ki] + ms.s1[kt] + x1;
    const double ta = ms.sa[ki] + ms.sa[kt] + xa;
    const double mean = t0 / count;
    const double approx = t1 / count - mean * mean;
    const double scale = ta / count;
    const double margin = 8.0 * (count + 8.0) * u * (t1 / count + scale * scale) + 1.0e-290;
    const std::size_t p = ms.pair(si, t);
    ms.known[p] = 0;
    if (std::isfinite(approx) && std::isfinite(margin)) {
      ms.lb[p] = approx - margin;
      ms.ub[p] = approx + margin;
    } else {
      ms.lb[p] = lowest;
      ms.ub[p] = highest;
    }
  }
  // The merged row's bounds are new; a row whose least bound came from one of
  // the two merged clusters has lost that pair.
  row_minima(ms, 0);
  for (std::size_t r = 1; r < ms.rows.size(); ++r) {
    const std::size_t k = std::size_t(ms.rows[r] - 1);
    if (ms.arg_lb[k] == si || ms.arg_lb[k] == sj || ms.arg_ub[k] == si || ms.arg_ub[k] == sj) row_minima(ms, r);
  }
}

}  // namespace

void largest_clusters(int& s1, int& s2, const LevelRecord& level) {
  s1 = 1;
  s2 = 1;
  for (int r = 1; r <= level.rows(); ++r) {
    const int s = level.size(r);
    if (s > s1 || s > s2) {
      if (s2 < s1)
        s2 = s;
      else
        s1 = s;
    }
  }
}

void find_nearest_neighbours(const LevelRecord& level, std::array<int, 2>& merge, const FArray<double, 2>& v,
                             int capacity) {
  const int c = level.rows();
  if (c == 2) {
    merge = {1, 2};
    return;
  }
  if (c < 2) return;
  std::vector<int> list;
  list.reserve(std::size_t(std::max(capacity, 0)));
  double best = score_ceiling;
  bool found = false;
  // The least score overall, for when nothing scores below the ceiling.
  double least = 0.0;
  std::array<int, 2> least_pair{0, 0};
  for (int i = 1; i < c; ++i)
    for (int j = i + 1; j <= c; ++j) {
      list.assign(level.row(i).begin(), level.row(i).end());
      list.insert(list.end(), level.row(j).begin(), level.row(j).end());
      const double s = variance_from_index(v, list);
      if (s < best) {
        best = s;
        merge = {i, j};
        found = true;
      }
      if (!std::isnan(s) && (least_pair[0] == 0 || s < least)) {
        least = s;
        least_pair = {i, j};
      }
    }
  if (!found) merge = least_pair[0] != 0 ? least_pair : std::array<int, 2>{1, 2};
}

void store_current_clustering(const LevelRecord& old, LevelRecord& next, const std::array<int, 2>& merge,
                              int capacity) {
  const int c = old.rows();
  const int i = merge[0], j = merge[1];
  next.width = capacity;
  next.first.clear();
  next.members.clear();
  next.first.reserve(std::size_t(c));
  next.members.reserve(old.members.size());
  next.first.push_back(0);
  if (i < 1 || j <= i || j > c) {  // no valid pair: the level is carried over unchanged
    next.members = old.members;
    next.first = old.first;
    return;
  }
  std::vector<int> merged(old.row(i).begin(), old.row(i).end());
  merged.insert(merged.end(), old.row(j).begin(), old.row(j).end());
  std::vector<int> perm(merged.size());
  isort(merged, perm, 0);
  next.members.insert(next.members.end(), merged.begin(), merged.end());
  next.first.push_back(int(next.members.size()));
  for (int r = 1; r <= c; ++r) {
    if (r == i || r == j) continue;
    next.members.insert(next.members.end(), old.row(r).begin(), old.row(r).end());
    next.first.push_back(int(next.members.size()));
  }
}

std::vector<std::array<int, 2>> cluster_levels(std::span<LevelRecord> levels, const FArray<double, 2>& v) {
  const int n = int(levels.size());
  std::vector<std::array<int, 2>> merges;
  if (n < 1) return merges;
  LevelRecord& first = levels[0];
  first.width = 1;
  first.first.resize(std::size_t(n) + 1);
  first.members.resize(std::size_t(n));
  for (int i = 0; i <= n; ++i) first.first[std::size_t(i)] = i;
  for (int i = 1; i <= n; ++i) first.members[std::size_t(i - 1)] = i;
  if (n < 2) return merges;
  merges.reserve(std::size_t(n - 1));
  MergeSearch ms;
  init_search(ms, v, n);
  for (int k = 1; k < n; ++k) {
    int s1, s2;
    largest_clusters(s1, s2, levels[std::size_t(k - 1)]);
    const std::array<int, 2> merge = choose_pair(ms);
    store_current_clustering(levels[std::size_t(k - 1)], levels[std::size_t(k)], merge, s1 + s2);
    merges.push_back(merge);
    if (k + 1 < n) apply_merge(ms, merge);
  }
  return merges;
}

int calc_cluster_cutoff(std::span<const std::optional<double>> spread, std::span<const LevelRecord> levels) {
  const std::size_t l = std::min(spread.size(), levels.size());
  int pick = 1;
  bool found = false;
  double best = 0.0;
  for (std::size_t i = 0; i < l; ++i) {
    if (!spread[i]) continue;  // an undefined spread never wins
    const double score = *spread[i] + double(levels[i].rows());
    if (!found || score < best) {
      best = score;
      pick = int(i) + 1;
      found = true;
    }
  }
  return pick;
}

}  // namespace veldrix
