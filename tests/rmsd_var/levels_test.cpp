// Distances, variances, order parameters, knee, spread scale; clustering levels and their spread values.
#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "rmsd_var/clustering.hpp"
#include "rmsd_var/variance.hpp"
#include "superpose/overlay.hpp"
#include "support.hpp"

namespace veldrix::testing {
namespace {

using V = std::vector<double>;
using O = std::vector<std::optional<double>>;
using Pair = std::array<int, 2>;
using Rows = std::vector<std::vector<int>>;

TEST(Variance, OrderParametersKneeAndScale) {
  EXPECT_EQ(variance(V{1.0, 3.0}), 1.0);  // division by n
  FArray<double, 2> m(Dim(4), Dim(4));
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) m(i, j) = 10.0 * i + j;
  EXPECT_EQ(variance_from_index(m, std::vector<int>{3, 2}), 32.0);  // the entry, in index order
  // Entries m(1,2), m(1,4), m(2,4) = 12, 14, 24: mean 50/3.
  EXPECT_NEAR(variance_from_index(m, std::vector<int>{1, 2, 4}), (144.0 + 196.0 + 576.0) / 3.0 - 2500.0 / 9.0, 1e-11);
  EXPECT_NEAR(calc_order_parameter(V{0.0, std::numbers::pi / 2}), std::sqrt(0.5), 1e-15);
  EXPECT_EQ(calc_order_parameter(V{0.0, NAN}), 0.0);  // never a NaN for the sort
  for (const auto& [curve, knee] : std::vector<std::pair<V, int>>{{{1.0, 0.9, 0.8, 0.1}, 3},
                                                                  {{1.0, 0.8, 0.6, 0.4, 0.2}, 1},  // every t equal
                                                                  {{0.99, 0.98, 0.97, 0.96, 0.3, 0.2, 0.1}, 4},
                                                                  {{0.5, 0.5, 0.5}, 1},  // flat: no scale
                                                                  {{}, 1}})
    EXPECT_EQ(calc_cutoff(curve), knee);
  for (auto [x, expected] : std::vector<std::pair<O, O>>{
           {{7.0, 2.0, 4.0, 6.0}, {7.0, 1.0, 2.0, 3.0}},
           {{10000.0, 0.4, 0.4}, {10000.0, std::nullopt, std::nullopt}},  // equal values leave no scale
           {{3.0}, {3.0}}}) {
    normalize_avrg_spread(x);
    EXPECT_EQ(x, expected);
  }
}

TEST(Variance, MatrixMatchesPairwiseDistancesAndCoreAtoms) {
  Session s;
  VokanData& v = s.vokandata;
  make_molecule(v, 9, 1, 6);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-20.0, 20.0);
  for (int k = 0; k <= 6; ++k)
    for (int a = 1; a <= 9; ++a) set_xyz(v, k, a, u(gen), u(gen), u(gen));
  set_xyz(v, 4, 5, unknown_value, unknown_value, unknown_value);  // huge but finite
  const std::vector<int> structures{5, 2, 4, 6}, atoms{2, 3, 5, 8, 9};
  FArray<double, 2> var;
  fill_variance_matrix(v, var, structures, atoms);
  for (int i = 1; i <= 5; ++i)
    for (int j = 1; j <= 5; ++j) {
      V d;
      for (int k : structures) d.push_back(cdist(v, atoms[std::size_t(i - 1)], atoms[std::size_t(j - 1)], k));
      EXPECT_EQ(var(i, j), i == j ? 0.0 : variance(d)) << i << " " << j;  // bit for bit
    }
  // Angles 1..6 of residues 2, 1, 2, 3, 2, 1 of four atoms; residue 3 has one axis atom only.
  make_molecule(v, 3, 4, 2);
  v.nd = 6;
  v.idr.allocate(Dim(6));
  for (int k = 1; k <= 6; ++k) v.idr(k) = std::vector<int>{2, 1, 2, 3, 2, 1}[std::size_t(k - 1)];
  FArray<bool> axis(Dim(v.na));
  for (int a : {2, 3, 5, 7, 8, 10}) axis(a) = true;
  FArray<int> core;
  get_core_atom_list(v, axis, std::vector<int>{1, 3, 4, 0, 2, 5, 6, -1000}, core);
  std::vector<int> want(12, -1000);
  want[0] = 7;  // second axis atom of residue 2, once for its three angles
  want[1] = 3;
  EXPECT_EQ(std::vector<int>(core.begin(), core.end()), want);
}

Rows rows_of(const LevelRecord& l) {
  Rows out;
  for (int r = 1; r <= l.rows(); ++r) out.emplace_back(l.row(r).begin(), l.row(r).end());
  return out;
}

// Symmetric matrix with zero diagonal, `rest` everywhere but the given entries.
FArray<double, 2> symmetric(int n, const std::vector<std::array<double, 3>>& entries, double rest) {
  FArray<double, 2> v(Dim(1, n), Dim(1, n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) v(i, j) = i == j ? 0.0 : rest;
  for (const auto& e : entries) v(int(e[0]), int(e[1])) = v(int(e[1]), int(e[0])) = e[2];
  return v;
}

Pair nearest(const LevelRecord& l, const FArray<double, 2>& v, Pair merge = {0, 0}) {
  find_nearest_neighbours(l, merge, v, 2);
  return merge;
}

TEST(Levels, MergeOrderTiesAndLayout) {
  int s1 = 0, s2 = 0;
  largest_clusters(s1, s2, level_of({{1, 2, 3}, {4, 5, 6, 7, 8}, {9, 10, 11, 12}, {13}}));
  EXPECT_EQ(std::minmax(s1, s2), std::minmax(4, 5));
  // Single items score their entry; at level 2 the pair {2},{4} (entry 2) beats
  // {1,3} with {2} (variance of 1, 5, 4 = 2.89).
  const auto v = symmetric(4, {{1, 2, 5}, {1, 3, 1}, {1, 4, 6}, {2, 3, 4}, {2, 4, 2}, {3, 4, 7}}, 0.0);
  std::vector<LevelRecord> levels(4);
  EXPECT_EQ(cluster_levels(levels, v), (std::vector<Pair>{{1, 3}, {2, 3}, {1, 2}}));
  EXPECT_EQ(std::vector<Rows>({rows_of(levels[1]), rows_of(levels[2]), rows_of(levels[3])}),
            std::vector<Rows>({{{1, 3}, {2}, {4}}, {{2, 4}, {1, 3}}, {{1, 2, 3, 4}}}));
  EXPECT_EQ(levels[1].width, 2);
  EXPECT_EQ(levels[1].item(2, 2), -1000);
  LevelRecord next;
  store_current_clustering(level_of({{4, 9}, {1}, {2, 7}, {3}, {5}}), next, {1, 3}, 4);
  EXPECT_EQ(rows_of(next), (Rows{{2, 4, 7, 9}, {1}, {3}, {5}}));  // merged first, others in order

  const LevelRecord singles = level_of({{1}, {2}, {3}, {4}});
  // Ties go to the lower first row, then to the lower second row.
  EXPECT_EQ(nearest(singles, symmetric(4, {{1, 4, 1}, {2, 3, 1}}, 3)), Pair({1, 4}));
  EXPECT_EQ(nearest(singles, symmetric(4, {{2, 4, 0.5}, {2, 3, 0.5}}, 3)), Pair({2, 3}));
  // Two rows merge without a score; one row leaves the pair alone.
  EXPECT_EQ(nearest(level_of({{1, 3}, {2}}), symmetric(3, {}, 1e12), {5, 9}), Pair({1, 2}));
  EXPECT_EQ(nearest(level_of({{1, 2, 3}}), symmetric(3, {}, 1e12), {5, 9}), Pair({5, 9}));
  // Core atoms without coordinates give enormous variances: the least pair still merges.
  const auto huge = symmetric(4, {{2, 4, 2.0e9}, {3, 4, 2.0e9}}, 5.0e9);
  EXPECT_EQ(nearest(singles, huge, {7, 9}), Pair({2, 4}));
  EXPECT_EQ(cluster_levels(levels, huge)[0], Pair({2, 4}));

  // Level scores: ties to the lower level; an undefined spread never wins.
  const std::vector<LevelRecord> three{level_of({{1}, {2}, {3}}), level_of({{1, 2}, {3}}), level_of({{1, 2, 3}})};
  EXPECT_EQ(calc_cluster_cutoff(O{10000.0, 2.5, 3.5}, three), 2);
  EXPECT_EQ(calc_cluster_cutoff(O{0.1, std::nullopt, std::nullopt}, three), 1);
  EXPECT_EQ(calc_cluster_cutoff(O{10000.0, std::nullopt, 0.5}, three), 3);
  EXPECT_EQ(calc_cluster_cutoff(O{std::nullopt, std::nullopt, std::nullopt}, three), 1);
}

// The kept-score search must give exactly the levels of the plain search.
TEST(Levels, KeptScoresGiveTheLevelsOfThePlainSearch) {
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_int_distribution<int> small(0, 3);
  for (int trial = 0; trial < 161; ++trial) {
    const bool large = trial == 160;
    const int n = large ? 90 : 3 + trial % 29, kind = large ? 4 : trial % 5;
    std::vector<int> group(std::size_t(n) + 1);
    for (int& g : group) g = large ? 0 : int(u(gen) * 3);
    FArray<double, 2> v(Dim(1, n), Dim(1, n));
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) {
        double x = 0.0;
        switch (kind) {
          case 0: x = 10.0 * u(gen); break;                                  // continuous
          case 1: x = small(gen); break;                                     // many exact ties
          case 2: x = u(gen) < 0.2 ? 1.0e20 * (1 + u(gen)) : u(gen); break;  // absent coordinates
          case 3: x = 1.0 + 1.0e-15 * small(gen); break;                     // near-equal values
          default:  // rigid groups (for the large case: the first 60 items)
            x = (large ? i <= 60 && j <= 60 : group[std::size_t(i)] == group[std::size_t(j)]) ? 1.0e-4 * u(gen)
                                                                                              : 2.0 + u(gen);
        }
        v(i, j) = v(j, i) = i == j ? 0.0 : x;
      }
    std::vector<LevelRecord> plain{std::size_t(n)}, kept{std::size_t(n)};
    Rows singles;
    for (int i = 1; i <= n; ++i) singles.push_back({i});
    plain[0] = level_of(singles, 1);
    std::vector<Pair> merges;
    for (std::size_t k = 1; k < plain.size(); ++k) {
      int s1, s2;
      Pair merge{0, 0};
      largest_clusters(s1, s2, plain[k - 1]);
      find_nearest_neighbours(plain[k - 1], merge, v, s1 + s2);
      merges.push_back(merge);
      store_current_clustering(plain[k - 1], plain[k], merge, s1 + s2);
    }
    ASSERT_EQ(cluster_levels(kept, v), merges) << "trial " << trial;
    for (std::size_t k = 0; k < kept.size(); ++k)
      ASSERT_EQ(std::pair(rows_of(kept[k]), kept[k].width), std::pair(rows_of(plain[k]), plain[k].width))
          << "trial " << trial << " level " << k + 1;
  }
}

// Spread values of 14 floppy residues in 5 conformers; the core atoms are the CAs.
TEST(Clustering, SpreadOfALevelIsTheMeanRmsdOfItsClusters) {
  Session s;
  VokanData& v = s.vokandata;
  ensemble(v, std::string(14, 'f'), 5);
  std::vector<int> core;
  for (int r = 1; r <= 14; ++r) core.push_back(3 * r - 1);
  FArray<bool> all(Dim(v.na)), ca(Dim(v.na));
  all.fill(true);
  for (int a : core) ca(a) = true;
  FArray<double, 2> var;
  fill_variance_matrix(v, var, span_of(1, 5), core);
  std::vector<LevelRecord> levels(core.size()), plain(core.size());
  std::vector<double> spread(core.size());
  perform_clustering(s, levels, spread, core, all, var);
  cluster_levels(plain, var);
  EXPECT_EQ(spread[0], 10000.0);
  for (std::size_t k = 1; k < core.size(); ++k) {  // RMSDs carried with their clusters, bit for bit
    EXPECT_EQ(levels[k].members, plain[k].members);
    EXPECT_EQ(spread[k], avrg_cluster_rmsd(s, core, levels[k], all)) << "level " << k + 1;
  }
  auto rmsd_of = [&](std::initializer_list<int> atoms) {
    FArray<bool> sel(Dim(v.na));
    for (int a : atoms) sel(a) = true;
    return armsd(s, sel);
  };
  const double pair = rmsd_of({4, 5, 6, 13, 14, 15}), triple = rmsd_of({1, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_GT(pair, 0.0);
  // The sum of the clusters' RMSDs over the number of items in them.
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(s, core, level_of({{2, 5}, {1}, {3}, {4}, {6}}), all), pair / 2.0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(s, core, level_of({{1, 2, 3}, {4}, {2, 5}}), all), (triple + pair) / 5.0);
  EXPECT_EQ(avrg_cluster_rmsd(s, core, level_of({{1}, {2}}), all), 0.0);
  // With only CAs as axis atoms a pair has two atoms: no RMSD, -1.0 enters the sum.
  EXPECT_EQ(avrg_cluster_rmsd(s, core, level_of({{1, 2}, {3}}), ca), -0.5);
  // The working structure decides which atoms count: an unknown coordinate drops the atom.
  set_xyz(v, 0, 4, unknown_value, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(s, core, level_of({{2, 3}}), all), rmsd_of({5, 6, 7, 8, 9}) / 2);
}

}  // namespace
}  // namespace veldrix::testing
