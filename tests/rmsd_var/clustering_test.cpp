// Clustering with spread values: the spread of every level and its RMSD rules.
#include <gtest/gtest.h>

#include <vector>

#include "rmsd_var/clustering.hpp"
#include "rmsd_var/variance.hpp"
#include "superpose/overlay.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Kind;
using testing::level_of;

// nr swinging residues in 5 conformers; core atoms are the CAs.
std::vector<int> swinging(int nr) {
  testing::reset_all();
  testing::ensemble(testing::layout({{Kind::hinge, nr}}), 5);
  std::vector<int> core;
  for (int r = 1; r <= nr; ++r) core.push_back(3 * r - 1);
  return core;
}

FArray<bool> atoms(std::initializer_list<int> list) {
  FArray<bool> sel(Dim(vokandata.na));
  for (int a : list) sel(a) = true;
  return sel;
}

FArray<bool> every_atom() {
  FArray<bool> sel(Dim(vokandata.na));
  sel.fill(true);
  return sel;
}

TEST(Clustering, SpreadOfEveryLevelIsItsClusterRmsd) {
  const std::vector<int> core = swinging(14);
  FArray<double, 2> v;
  fill_variance_matrix(v, testing::span_of(1, 5), core);
  std::vector<LevelRecord> levels(core.size()), plain(core.size());
  std::vector<double> spread(core.size());
  perform_clustering(levels, spread, core, every_atom(), v);
  cluster_levels(plain, v);
  EXPECT_EQ(spread[0], 10000.0);
  for (std::size_t k = 1; k < core.size(); ++k) {
    EXPECT_EQ(levels[k].members, plain[k].members);
    // RMSDs carried with their clusters give exactly the value computed afresh.
    EXPECT_EQ(spread[k], avrg_cluster_rmsd(core, levels[k], every_atom())) << "level " << k + 1;
    EXPECT_GT(spread[k], 0.0);
  }
}

TEST(Clustering, SpreadRules) {
  const std::vector<int> core = swinging(6);
  const double pair = armsd(atoms({4, 5, 6, 13, 14, 15}), 0);  // residues 2 and 5
  const double triple = armsd(atoms({1, 2, 3, 4, 5, 6, 7, 8, 9}), 0);
  ASSERT_GT(pair, 0.0);
  // The sum of the clusters' RMSDs over the number of items in them.
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(core, level_of({{2, 5}, {1}, {3}, {4}, {6}}), every_atom()), pair / 2.0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(core, level_of({{1, 2, 3}, {4}, {2, 5}}), every_atom()), (triple + pair) / 5.0);
  EXPECT_EQ(avrg_cluster_rmsd(core, level_of({{1}, {2}}), every_atom()), 0.0);
  // With only CAs as axis atoms a pair has two atoms: no RMSD, -1.0 enters the sum.
  FArray<bool> ca(Dim(vokandata.na));
  for (int a : core) ca(a) = true;
  EXPECT_EQ(avrg_cluster_rmsd(core, level_of({{1, 2}, {3}}), ca), -0.5);
  // The working structure decides which atoms count: an unknown coordinate
  // drops the atom, a large negative one does not.
  testing::set_xyz(0, 4, unknown_value, 0.0, 0.0);
  testing::set_xyz(0, 6, -2.0e10, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(core, level_of({{2, 3}}), every_atom()), armsd(atoms({5, 6, 7, 8, 9}), 0) / 2);
}

TEST(Clustering, OneAndTwoCoreAtoms) {
  swinging(3);
  FArray<double, 2> v;
  std::vector<LevelRecord> l1(1), l2(2);
  std::vector<double> s1(1), s2(2);
  fill_variance_matrix(v, testing::span_of(1, 5), std::vector<int>{5});
  perform_clustering(l1, s1, std::vector<int>{5}, every_atom(), v);
  EXPECT_EQ(s1[0], 10000.0);
  EXPECT_EQ(l1[0].rows(), 1);
  fill_variance_matrix(v, testing::span_of(1, 5), std::vector<int>{2, 8});
  perform_clustering(l2, s2, std::vector<int>{2, 8}, every_atom(), v);
  EXPECT_EQ(l2[1].members, (std::vector<int>{1, 2}));
  EXPECT_DOUBLE_EQ(s2[1], armsd(atoms({1, 2, 3, 7, 8, 9}), 0) / 2.0);
}

}  // namespace
}  // namespace veldrix
