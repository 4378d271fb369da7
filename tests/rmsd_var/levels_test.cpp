// Clustering levels: merge criterion, tie rules, level layout and level scores.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "rmsd_var/levels.hpp"
#include "rmsd_var/state.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

LevelRecord make_level(const std::vector<std::vector<int>>& rows, int width) {
  LevelRecord l;
  l.width = width;
  l.first.push_back(0);
  for (const auto& r : rows) {
    l.members.insert(l.members.end(), r.begin(), r.end());
    l.first.push_back(int(l.members.size()));
  }
  return l;
}

std::vector<std::vector<int>> rows_of(const LevelRecord& l) {
  std::vector<std::vector<int>> out;
  for (int r = 1; r <= l.rows(); ++r) out.emplace_back(l.row(r).begin(), l.row(r).end());
  return out;
}

FArray<double, 2> symmetric(int n, const std::vector<std::array<double, 3>>& entries, double rest) {
  FArray<double, 2> v(Dim(1, n), Dim(1, n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) v(i, j) = i == j ? 0.0 : rest;
  for (const auto& e : entries) {
    v(int(e[0]), int(e[1])) = e[2];
    v(int(e[1]), int(e[0])) = e[2];
  }
  return v;
}

// Levels built step by step with the plain merge search.
std::vector<LevelRecord> plain_levels(const FArray<double, 2>& v, int n, std::vector<std::array<int, 2>>& merges) {
  std::vector<LevelRecord> levels(static_cast<std::size_t>(n));
  std::vector<std::vector<int>> singles;
  for (int i = 1; i <= n; ++i) singles.push_back({i});
  levels[0] = make_level(singles, 1);
  std::array<int, 2> merge{0, 0};
  for (int k = 1; k < n; ++k) {
    int s1, s2;
    largest_clusters(s1, s2, levels[std::size_t(k - 1)]);
    find_nearest_neighbours(levels[std::size_t(k - 1)], merge, v, s1 + s2);
    merges.push_back(merge);
    store_current_clustering(levels[std::size_t(k - 1)], levels[std::size_t(k)], merge, s1 + s2);
  }
  return levels;
}

class Levels : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::reset_all();
    reset_rmsd_var();
  }
};

TEST_F(Levels, LargestClusterSizes) {
  int s1 = 0, s2 = 0;
  largest_clusters(s1, s2, make_level({{1, 2, 3}, {4, 5, 6, 7, 8}, {9, 10, 11, 12}, {13}}, 5));
  EXPECT_EQ(std::min(s1, s2), 4);
  EXPECT_EQ(std::max(s1, s2), 5);
  largest_clusters(s1, s2, make_level({{1}, {2}, {3}}, 1));
  EXPECT_EQ(s1, 1);
  EXPECT_EQ(s2, 1);
}

TEST_F(Levels, SlotsReadAsFilledMatrix) {
  const LevelRecord l = make_level({{2, 5}, {1}}, 3);
  EXPECT_EQ(l.rows(), 2);
  EXPECT_EQ(l.item(1, 2), 5);
  EXPECT_EQ(l.item(1, 3), -1000);
  EXPECT_EQ(l.item(2, 2), -1000);
}

TEST_F(Levels, HandMadeMatrixMergesInOrder) {
  // Pairs of single items score their entry; at level 2 the pair {2},{4}
  // (entry 2) beats {1,3} with {2} (variance of 1, 5, 4 = 2.89).
  const FArray<double, 2> v =
      symmetric(4, {{1, 2, 5}, {1, 3, 1}, {1, 4, 6}, {2, 3, 4}, {2, 4, 2}, {3, 4, 7}}, 0.0);
  std::vector<LevelRecord> levels(4);
  const auto merges = cluster_levels(levels, v);
  ASSERT_EQ(merges.size(), 3u);
  EXPECT_EQ(merges[0], (std::array<int, 2>{1, 3}));
  EXPECT_EQ(merges[1], (std::array<int, 2>{2, 3}));
  EXPECT_EQ(merges[2], (std::array<int, 2>{1, 2}));
  EXPECT_EQ(rows_of(levels[0]), (std::vector<std::vector<int>>{{1}, {2}, {3}, {4}}));
  EXPECT_EQ(rows_of(levels[1]), (std::vector<std::vector<int>>{{1, 3}, {2}, {4}}));
  EXPECT_EQ(rows_of(levels[2]), (std::vector<std::vector<int>>{{2, 4}, {1, 3}}));
  EXPECT_EQ(rows_of(levels[3]), (std::vector<std::vector<int>>{{1, 2, 3, 4}}));
  EXPECT_EQ(levels[1].width, 2);
  EXPECT_EQ(levels[3].width, 4);
  EXPECT_EQ(rmsd_var.merge_clusters, (std::array<int, 2>{1, 2}));

  std::array<int, 2> merge{0, 0};
  find_nearest_neighbours(levels[1], merge, v, 3);
  EXPECT_EQ(merge, (std::array<int, 2>{2, 3}));
}

TEST_F(Levels, TiesGoToTheFirstPairInScanOrder) {
  std::array<int, 2> merge{0, 0};
  const LevelRecord singles = make_level({{1}, {2}, {3}, {4}}, 1);
  // (1,4) and (2,3) tie: the lower first row wins.
  find_nearest_neighbours(singles, merge, symmetric(4, {{1, 4, 1}, {2, 3, 1}}, 3), 2);
  EXPECT_EQ(merge, (std::array<int, 2>{1, 4}));
  // (2,3) and (2,4) tie: then the lower second row.
  find_nearest_neighbours(singles, merge, symmetric(4, {{2, 4, 0.5}, {2, 3, 0.5}}, 3), 2);
  EXPECT_EQ(merge, (std::array<int, 2>{2, 3}));
  // The same through the kept-score search.
  std::vector<LevelRecord> levels(4);
  EXPECT_EQ(cluster_levels(levels, symmetric(4, {{1, 4, 1}, {2, 3, 1}}, 3))[0], (std::array<int, 2>{1, 4}));
}

TEST_F(Levels, TwoRowsMergeWithoutScoreAndOneRowKeepsThePair) {
  // Scores would be undefined-free anyway; two rows merge whatever the matrix says.
  const FArray<double, 2> v = symmetric(3, {}, 1.0e12);
  std::array<int, 2> merge{5, 9};
  find_nearest_neighbours(make_level({{1, 3}, {2}}, 2), merge, v, 3);
  EXPECT_EQ(merge, (std::array<int, 2>{1, 2}));
  merge = {5, 9};
  find_nearest_neighbours(make_level({{1, 2, 3}}, 3), merge, v, 3);
  EXPECT_EQ(merge, (std::array<int, 2>{5, 9}));
}

TEST_F(Levels, EnormousScoresStillMergeTheLeastPair) {
  // Core atoms without coordinates in some structure give enormous variances;
  // the least pair merges, never the pair of the previous step.
  std::array<int, 2> merge{7, 9};
  const LevelRecord singles = make_level({{1}, {2}, {3}, {4}}, 1);
  find_nearest_neighbours(singles, merge, symmetric(4, {{2, 4, 2.0e9}, {3, 4, 2.0e9}}, 5.0e9), 2);
  EXPECT_EQ(merge, (std::array<int, 2>{2, 4}));
  std::vector<LevelRecord> levels(4);
  const auto merges = cluster_levels(levels, symmetric(4, {{2, 4, 2.0e9}, {3, 4, 2.0e9}}, 5.0e9));
  EXPECT_EQ(merges[0], (std::array<int, 2>{2, 4}));
  for (const auto& m : merges) {
    EXPECT_GE(m[0], 1);
    EXPECT_LT(m[0], m[1]);
  }
}

TEST_F(Levels, MergedClusterComesFirstOthersKeepOrder) {
  const LevelRecord old = make_level({{4, 9}, {1}, {2, 7}, {3}, {5}}, 3);
  LevelRecord next;
  store_current_clustering(old, next, {1, 3}, 4);
  EXPECT_EQ(rows_of(next), (std::vector<std::vector<int>>{{2, 4, 7, 9}, {1}, {3}, {5}}));
  EXPECT_EQ(next.width, 4);
}

// The kept-score search must give exactly the levels of the plain search.
void expect_same_levels(const FArray<double, 2>& v, int n, const std::string& what) {
  std::vector<std::array<int, 2>> plain_merges;
  const std::vector<LevelRecord> plain = plain_levels(v, n, plain_merges);
  std::vector<LevelRecord> kept(static_cast<std::size_t>(n));
  const auto merges = cluster_levels(kept, v);
  ASSERT_EQ(merges, plain_merges) << what;
  for (int k = 0; k < n; ++k) {
    ASSERT_EQ(kept[std::size_t(k)].members, plain[std::size_t(k)].members) << what << " level " << k + 1;
    ASSERT_EQ(kept[std::size_t(k)].first, plain[std::size_t(k)].first) << what << " level " << k + 1;
    ASSERT_EQ(kept[std::size_t(k)].width, plain[std::size_t(k)].width) << what << " level " << k + 1;
  }
}

TEST_F(Levels, KeptScoresGiveTheSameLevelsAsThePlainSearch) {
  std::mt19937 gen(2024);
  for (int trial = 0; trial < 160; ++trial) {
    const int n = 3 + trial % 29;
    FArray<double, 2> v(Dim(1, n), Dim(1, n));
    const int kind = trial % 5;
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::uniform_int_distribution<int> small(0, 3);
    // Two rigid groups: tiny variances inside, larger ones between.
    std::vector<int> group(static_cast<std::size_t>(n + 1));
    for (int i = 1; i <= n; ++i) group[std::size_t(i)] = int(u(gen) * 3);
    for (int i = 1; i <= n; ++i) {
      v(i, i) = 0.0;
      for (int j = i + 1; j <= n; ++j) {
        double x = 0.0;
        switch (kind) {
          case 0: x = u(gen) * 10.0; break;                       // continuous values
          case 1: x = double(small(gen)); break;                  // many exact ties
          case 2: x = u(gen) < 0.2 ? 1.0e20 * (1 + u(gen)) : u(gen); break;  // absent coordinates
          case 3: x = 1.0 + 1.0e-15 * small(gen); break;          // near-equal values
          case 4: x = group[std::size_t(i)] == group[std::size_t(j)] ? 1.0e-4 * u(gen) : 2.0 + u(gen); break;
        }
        v(i, j) = x;
        v(j, i) = x;
      }
    }
    expect_same_levels(v, n, "trial " + std::to_string(trial));
  }
}

TEST_F(Levels, KeptScoresOnALargerMatrix) {
  std::mt19937 gen(99);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int n = 90;
  FArray<double, 2> v(Dim(1, n), Dim(1, n));
  for (int i = 1; i <= n; ++i) {
    v(i, i) = 0.0;
    for (int j = i + 1; j <= n; ++j) {
      // A rigid core of the first 60 items and floppy rest, as in a real ensemble.
      const double x = i <= 60 && j <= 60 ? 0.01 * u(gen) : 0.5 + 3.0 * u(gen);
      v(i, j) = x;
      v(j, i) = x;
    }
  }
  expect_same_levels(v, n, "large");
}

TEST_F(Levels, LevelScoreTiesAndUndefinedSpreads) {
  std::vector<LevelRecord> levels{make_level({{1}, {2}, {3}}, 1), make_level({{1, 2}, {3}}, 2),
                                  make_level({{1, 2, 3}}, 3)};
  // Scores 10003, 2.5 + 2 = 4.5, 3.5 + 1 = 4.5: the lower level wins the tie.
  std::vector<std::optional<double>> spread{10000.0, 2.5, 3.5};
  EXPECT_EQ(calc_cluster_cutoff(spread, levels), 2);
  EXPECT_EQ(rmsd_var.cutoff, 2);
  // An undefined spread never wins; the first level keeps its raw value and can.
  spread = {0.1, std::nullopt, std::nullopt};
  EXPECT_EQ(calc_cluster_cutoff(spread, levels), 1);
  spread = {10000.0, std::nullopt, 0.5};
  EXPECT_EQ(calc_cluster_cutoff(spread, levels), 3);
  spread = {std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(calc_cluster_cutoff(spread, levels), 1);
  EXPECT_EQ(calc_cluster_cutoff({}, {}), 1);
}

}  // namespace
}  // namespace veldrix
