// Clustering levels: merge criterion, tie rules, level layout and level scores.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "rmsd_var/levels.hpp"
#include "rmsd_var/state.hpp"
#include "support.hpp"

namespace veldrix {
namespace {

using testing::level_of;
using Pair = std::array<int, 2>;
using Rows = std::vector<std::vector<int>>;

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

TEST(Levels, LargestClusterSizes) {
  int s1 = 0, s2 = 0;
  largest_clusters(s1, s2, level_of({{1, 2, 3}, {4, 5, 6, 7, 8}, {9, 10, 11, 12}, {13}}));
  EXPECT_EQ(std::minmax(s1, s2), std::minmax(4, 5));
  largest_clusters(s1, s2, level_of({{1}, {2}}));
  EXPECT_EQ(Pair({s1, s2}), Pair({1, 1}));
}

TEST(Levels, HandMadeMatrixMergesInOrder) {
  reset_rmsd_var();
  // Single items score their entry; at level 2 the pair {2},{4} (entry 2) beats
  // {1,3} with {2} (variance of 1, 5, 4 = 2.89).
  const auto v = symmetric(4, {{1, 2, 5}, {1, 3, 1}, {1, 4, 6}, {2, 3, 4}, {2, 4, 2}, {3, 4, 7}}, 0.0);
  std::vector<LevelRecord> levels(4);
  EXPECT_EQ(cluster_levels(levels, v), (std::vector<Pair>{{1, 3}, {2, 3}, {1, 2}}));
  EXPECT_EQ(rows_of(levels[0]), (Rows{{1}, {2}, {3}, {4}}));
  EXPECT_EQ(rows_of(levels[1]), (Rows{{1, 3}, {2}, {4}}));
  EXPECT_EQ(rows_of(levels[2]), (Rows{{2, 4}, {1, 3}}));
  EXPECT_EQ(rows_of(levels[3]), (Rows{{1, 2, 3, 4}}));
  EXPECT_EQ(levels[1].width, 2);
  EXPECT_EQ(levels[3].width, 4);
  EXPECT_EQ(levels[1].item(2, 2), -1000);
  EXPECT_EQ(rmsd_var.merge_clusters, Pair({1, 2}));
  EXPECT_EQ(nearest(levels[1], v), Pair({2, 3}));
}

TEST(Levels, TieAndDegenerateRules) {
  const LevelRecord singles = level_of({{1}, {2}, {3}, {4}});
  // Ties go to the lower first row, then to the lower second row.
  EXPECT_EQ(nearest(singles, symmetric(4, {{1, 4, 1}, {2, 3, 1}}, 3)), Pair({1, 4}));
  EXPECT_EQ(nearest(singles, symmetric(4, {{2, 4, 0.5}, {2, 3, 0.5}}, 3)), Pair({2, 3}));
  std::vector<LevelRecord> levels(4);
  EXPECT_EQ(cluster_levels(levels, symmetric(4, {{1, 4, 1}, {2, 3, 1}}, 3))[0], Pair({1, 4}));
  // Two rows merge without a score; one row leaves the pair alone.
  EXPECT_EQ(nearest(level_of({{1, 3}, {2}}), symmetric(3, {}, 1e12), {5, 9}), Pair({1, 2}));
  EXPECT_EQ(nearest(level_of({{1, 2, 3}}), symmetric(3, {}, 1e12), {5, 9}), Pair({5, 9}));
  // Core atoms without coordinates give enormous variances: the least pair
  // still merges, never the pair of an earlier step.
  const auto huge = symmetric(4, {{2, 4, 2.0e9}, {3, 4, 2.0e9}}, 5.0e9);
  EXPECT_EQ(nearest(singles, huge, {7, 9}), Pair({2, 4}));
  EXPECT_EQ(cluster_levels(levels, huge)[0], Pair({2, 4}));
}

TEST(Levels, MergedClusterComesFirstOthersKeepOrder) {
  LevelRecord next;
  store_current_clustering(level_of({{4, 9}, {1}, {2, 7}, {3}, {5}}), next, {1, 3}, 4);
  EXPECT_EQ(rows_of(next), (Rows{{2, 4, 7, 9}, {1}, {3}, {5}}));
  EXPECT_EQ(next.width, 4);
}

// The kept-score search must give exactly the levels of the plain search.
TEST(Levels, KeptScoresGiveTheLevelsOfThePlainSearch) {
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_int_distribution<int> small(0, 3);
  for (int trial = 0; trial < 161; ++trial) {
    const int n = trial == 160 ? 90 : 3 + trial % 29;
    const int kind = trial == 160 ? 4 : trial % 5;
    std::vector<int> group(static_cast<std::size_t>(n) + 1);
    for (int& g : group) g = trial == 160 ? 0 : int(u(gen) * 3);
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
            x = (trial == 160 ? i <= 60 && j <= 60 : group[std::size_t(i)] == group[std::size_t(j)])
                    ? 1.0e-4 * u(gen)
                    : 2.0 + u(gen);
        }
        v(i, j) = v(j, i) = i == j ? 0.0 : x;
      }
    std::vector<LevelRecord> plain(static_cast<std::size_t>(n)), kept(static_cast<std::size_t>(n));
    Rows singles;
    for (int i = 1; i <= n; ++i) singles.push_back({i});
    plain[0] = level_of(singles, 1);
    std::vector<Pair> merges;
    Pair merge{0, 0};
    for (int k = 1; k < n; ++k) {
      int s1, s2;
      largest_clusters(s1, s2, plain[std::size_t(k - 1)]);
      find_nearest_neighbours(plain[std::size_t(k - 1)], merge, v, s1 + s2);
      merges.push_back(merge);
      store_current_clustering(plain[std::size_t(k - 1)], plain[std::size_t(k)], merge, s1 + s2);
    }
    ASSERT_EQ(cluster_levels(kept, v), merges) << "trial " << trial;
    for (std::size_t k = 0; k < kept.size(); ++k) {
      ASSERT_EQ(rows_of(kept[k]), rows_of(plain[k])) << "trial " << trial << " level " << k + 1;
      ASSERT_EQ(kept[k].width, plain[k].width) << "trial " << trial << " level " << k + 1;
    }
  }
}

TEST(Levels, LevelScoreTiesAndUndefinedSpreads) {
  reset_rmsd_var();
  using O = std::vector<std::optional<double>>;
  const std::vector<LevelRecord> levels{level_of({{1}, {2}, {3}}), level_of({{1, 2}, {3}}), level_of({{1, 2, 3}})};
  EXPECT_EQ(calc_cluster_cutoff(O{10000.0, 2.5, 3.5}, levels), 2);  // 4.5 twice: the lower level
  EXPECT_EQ(rmsd_var.cutoff, 2);
  // An undefined spread never wins; the section's first level keeps its raw value and can.
  EXPECT_EQ(calc_cluster_cutoff(O{0.1, std::nullopt, std::nullopt}, levels), 1);
  EXPECT_EQ(calc_cluster_cutoff(O{10000.0, std::nullopt, 0.5}, levels), 3);
  EXPECT_EQ(calc_cluster_cutoff(O{std::nullopt, std::nullopt, std::nullopt}, levels), 1);
  EXPECT_EQ(calc_cluster_cutoff(O{}, {}), 1);
}

}  // namespace
}  // namespace veldrix
