// Clustering with spread values: the spread of every level and its RMSD rules.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ensemble.hpp"
#include "rmsd_var/clustering.hpp"
#include "rmsd_var/state.hpp"
#include "rmsd_var/variance.hpp"
#include "superpose/overlay.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

// An ensemble of nr residues whose torsions wander by `spread` radians around a fixed shape.
void wobbly_backbone(int nr, int nstr, double spread, unsigned seed) {
  testing::build_backbone(nr, nstr, [&](int s) {
    std::mt19937 gen(seed + unsigned(s));
    std::uniform_real_distribution<double> u(-spread, spread);
    testing::Torsions t;
    t.phi.assign(std::size_t(nr) + 1, 0.0);
    t.psi.assign(std::size_t(nr) + 1, 0.0);
    for (int r = 1; r <= nr; ++r) {
      t.phi[std::size_t(r)] = -1.1 + u(gen);
      t.psi[std::size_t(r)] = -0.8 + u(gen);
    }
    return t;
  });
}

std::vector<int> ca_atoms(int nr) {
  std::vector<int> c;
  for (int r = 1; r <= nr; ++r) c.push_back(3 * r - 1);
  return c;
}

FArray<bool> all_atoms() {
  FArray<bool> axis(Dim(vokandata.na));
  axis.fill(true);
  return axis;
}

LevelRecord level_of(const std::vector<std::vector<int>>& rows) {
  LevelRecord l;
  l.first.push_back(0);
  for (const auto& r : rows) {
    l.members.insert(l.members.end(), r.begin(), r.end());
    l.first.push_back(int(l.members.size()));
    l.width = std::max(l.width, int(r.size()));
  }
  return l;
}

class Clustering : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::reset_all();
    reset_rmsd_var();
  }
};

TEST_F(Clustering, SpreadOfEveryLevelIsItsClusterRmsd) {
  const int nr = 14;
  wobbly_backbone(nr, 5, 0.3, 11);
  const std::vector<int> core = ca_atoms(nr);
  const FArray<bool> axis = all_atoms();
  FArray<double, 2> v;
  fill_variance_matrix(v, std::vector<int>{1, 2, 3, 4, 5}, core);
  std::vector<LevelRecord> levels(core.size()), plain(core.size());
  std::vector<double> spread(core.size());
  perform_clustering(levels, spread, core, axis, v);
  cluster_levels(plain, v);
  EXPECT_EQ(spread[0], 10000.0);
  for (std::size_t k = 1; k < core.size(); ++k) {
    EXPECT_EQ(levels[k].members, plain[k].members);
    // Carried cluster RMSDs must give exactly the value computed from scratch.
    EXPECT_EQ(spread[k], avrg_cluster_rmsd(core, levels[k], axis)) << "level " << k + 1;
    EXPECT_GT(spread[k], 0.0);
  }
}

TEST_F(Clustering, SpreadDividesByItemsNotClusters) {
  wobbly_backbone(6, 4, 0.4, 3);
  const std::vector<int> core = ca_atoms(6);
  const FArray<bool> axis = all_atoms();
  // One cluster of residues 2 and 5: its RMSD over their six atoms, halved.
  FArray<bool> sel(Dim(vokandata.na));
  for (int a : {4, 5, 6, 13, 14, 15}) sel(a) = true;
  const double pair = armsd(sel, 0);
  ASSERT_GT(pair, 0.0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(core, level_of({{2, 5}, {1}, {3}, {4}, {6}}), axis), pair / 2.0);
  // Two clusters of two and three items: the sum of both RMSDs over five items.
  FArray<bool> sel3(Dim(vokandata.na));
  for (int a = 1; a <= 9; ++a) sel3(a) = true;
  const double triple = armsd(sel3, 0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(core, level_of({{1, 2, 3}, {4}, {2, 5}}), axis), (triple + pair) / 5.0);
  EXPECT_EQ(avrg_cluster_rmsd(core, level_of({{1}, {2}}), axis), 0.0);
}

TEST_F(Clustering, ClusterWithoutRmsdAddsMinusOne) {
  wobbly_backbone(6, 4, 0.4, 5);
  const std::vector<int> core = ca_atoms(6);
  // Only CA atoms are axis atoms: a cluster of two residues has two usable atoms.
  FArray<bool> axis(Dim(vokandata.na));
  for (int a : core) axis(a) = true;
  EXPECT_EQ(avrg_cluster_rmsd(core, level_of({{1, 2}, {3}}), axis), -0.5);
}

TEST_F(Clustering, WorkingStructureDecidesWhichAtomsCount) {
  wobbly_backbone(6, 4, 0.4, 9);
  const std::vector<int> core = ca_atoms(6);
  const FArray<bool> axis = all_atoms();
  // An atom without coordinates in the working structure is left out, even though
  // the ensemble members have it; a negative coordinate is not "unknown".
  testing::set_xyz(0, 4, unknown_value, 0.0, 0.0);
  testing::set_xyz(0, 6, -2.0e10, 0.0, 0.0);
  FArray<bool> sel(Dim(vokandata.na));
  for (int a : {5, 6, 7, 8, 9}) sel(a) = true;
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(core, level_of({{2, 3}}), axis), armsd(sel, 0) / 2.0);
}

TEST_F(Clustering, OneAndTwoCoreAtoms) {
  wobbly_backbone(3, 3, 0.4, 1);
  const FArray<bool> axis = all_atoms();
  FArray<double, 2> v;
  std::vector<int> one{5};
  fill_variance_matrix(v, std::vector<int>{1, 2, 3}, one);
  std::vector<LevelRecord> l1(1);
  std::vector<double> s1(1);
  perform_clustering(l1, s1, one, axis, v);
  EXPECT_EQ(s1[0], 10000.0);
  EXPECT_EQ(l1[0].rows(), 1);

  std::vector<int> two{2, 8};
  fill_variance_matrix(v, std::vector<int>{1, 2, 3}, two);
  std::vector<LevelRecord> l2(2);
  std::vector<double> s2(2);
  perform_clustering(l2, s2, two, axis, v);
  ASSERT_EQ(l2[1].rows(), 1);
  EXPECT_EQ(std::vector<int>(l2[1].row(1).begin(), l2[1].row(1).end()), (std::vector<int>{1, 2}));
  FArray<bool> sel(Dim(vokandata.na));
  for (int a : {1, 2, 3, 7, 8, 9}) sel(a) = true;
  EXPECT_DOUBLE_EQ(s2[1], armsd(sel, 0) / 2.0);
}

}  // namespace
}  // namespace veldrix
